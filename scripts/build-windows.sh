#!/usr/bin/env bash
# Builds the Windows program and its tests with mingw-w64 into build-windows/ (the program lands
# in build-windows/app with Data\ and banner.gif), then runs the tests as Windows programs under
# wine, in the prefix scripts/wine-prefix.sh prepares. Extra arguments go to cmake's configure.
set -euo pipefail
cd "$(dirname "$0")/.."

# The "windows" preset: optimised as the Linux build, without its debug information (GCC 12
# warns falsely at -O3), and the window is the Win32 front-end's.
. scripts/ccache.sh
args=()
if [ -n "${VORNAK_THIRD_PARTY_DIR:-}" ]; then
  args+=(-DVORNAK_THIRD_PARTY_DIR="$VORNAK_THIRD_PARTY_DIR")
fi
cmake --preset windows "${args[@]}" "$@"
cmake --build --preset windows -j"$(nproc)"

. scripts/wine-prefix.sh "$PWD/build-windows/wine"
# The wineserver wine-prefix.sh started stays until the tests are done, then goes.
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Wine's background services, started here: the first program ctest runs would start them
# holding ctest's output, and ctest would wait for them until its timeout.
wine cmd /c exit >/dev/null 2>&1
ctest --preset windows -j"$(nproc)"
