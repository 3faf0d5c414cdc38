#!/usr/bin/env bash
# Prepares a wine prefix for running the Windows program and its tests headless, and starts
# its wineserver. Source it: it exports WINEPREFIX and WINEDEBUG.
#   . scripts/wine-prefix.sh [prefix folder]   (default: build-windows/wine)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${1:-$root/build-windows/wine}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installers on a closed network
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wineserver -w
  # A crash ends the run instead of waiting at a dialog nobody sees.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  wineserver -w
fi
# Debian's wine does not load its own fonts folder: the window's Tahoma goes where Windows keeps
# it, set from its outlines, whose widths are Windows' Tahoma's. Wine's files also carry bitmaps
# for the small sizes and no hinting of their own, and FreeType's auto-hinter then sets the
# window's 11 pixels about a pixel wider a letter; outline-font.py drops both. Prefixes made
# before are brought up to date.
for face in tahoma tahomabd; do
  if ! cmp -s <(python3 "$root/scripts/outline-font.py" "/usr/share/wine/fonts/$face.ttf" /dev/stdout) \
      "$WINEPREFIX/drive_c/windows/Fonts/$face.ttf"; then
    python3 "$root/scripts/outline-font.py" "/usr/share/wine/fonts/$face.ttf" "$WINEPREFIX/drive_c/windows/Fonts/$face.ttf"
  fi
done
# Started before any test: otherwise ctest waits for ever on wine's background services.
wineserver -p >/dev/null 2>&1 || true
