#!/usr/bin/env bash
# Makes the two packages in dist/ with CPack, from what scripts/build.sh and
# scripts/build-windows.sh built (the install rules: cmake/Packaging.cmake):
#   dist/VornakModInstaller-<version>-win64.zip          the Windows program, Data\, banner.gif, README.txt
#   dist/vornak-installer-<version>-linux-x86_64.tar.gz  the Linux program, Data/, banner.gif, README.txt
set -euo pipefail
cd "$(dirname "$0")/.."

for build in build build-windows; do
  [ -f "$build/CPackConfig.cmake" ] ||
    { echo "package: no $build/ to package; run scripts/build.sh and scripts/build-windows.sh first" >&2; exit 1; }
done

cpack --preset windows
cpack --preset default
# CPack stages each package's files beside the packages; only the packages stay.
rm -rf dist/_CPack_Packages
