#!/usr/bin/env bash
# The core must build for Windows: compile every core source with the mingw-w64
# cross compiler (syntax only), against the headers of the StormLib a Windows build uses:
# the pinned release from the shared tarball (cmake/StormLib.cmake), or Debian's where that
# tarball is absent.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++-posix
tarball=${VORNAK_THIRD_PARTY_DIR:-../shared/third_party}/StormLib-9.40.tar.gz
inc=$(mktemp -d)
trap 'rm -rf "$inc"' EXIT
if [ -f "$tarball" ]; then
  tar -xzf "$tarball" -C "$inc" --strip-components=2 StormLib-9.40/src/StormLib.h StormLib-9.40/src/StormPort.h
  echo "Windows cross-compile check: against StormLib 9.40 from $tarball"
else
  for h in /usr/include/StormLib.h /usr/include/StormPort.h; do
    [ -e "$h" ] && ln -s "$h" "$inc/"
  done
  echo "Windows cross-compile check: against Debian's StormLib headers ($tarball is absent)"
fi
shopt -s nullglob
status=0
for f in src/base/*.cpp src/archive/*.cpp src/install/*.cpp; do
  [[ $f == *Posix.cpp ]] && continue # the POSIX half of the platform layer
  if ! "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -DUNICODE -D_UNICODE -Isrc -I"$inc" "$f"; then
    echo "Windows build fails: $f"
    status=1
  fi
done
if [ -f src/wizard/vornak-installer.rc ]; then
  x86_64-w64-mingw32-windres -I src/wizard src/wizard/vornak-installer.rc -O coff -o "$inc/res.o" || { echo "Windows resource script fails"; status=1; }
fi
[ $status -eq 0 ] && echo "Windows cross-compile check: all core sources compile for Windows."
exit $status
