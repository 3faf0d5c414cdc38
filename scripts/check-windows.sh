#!/usr/bin/env bash
# The core must build for Windows: compile every core source with the mingw-w64
# cross compiler (syntax only, against the same StormLib and libtomcrypt headers).
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++-posix
inc=$(mktemp -d)
trap 'rm -rf "$inc"' EXIT
for h in /usr/include/StormLib.h /usr/include/StormPort.h /usr/include/tomcrypt*.h /usr/include/tommath*.h; do
  [ -e "$h" ] && ln -s "$h" "$inc/"
done
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
