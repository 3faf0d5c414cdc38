#!/usr/bin/env bash
# Makes the two packages in dist/, from what scripts/build.sh and scripts/build-windows.sh built:
#   dist/VornakModInstaller-<version>-win64.zip          the Windows program, Data\, banner.gif, README.txt
#   dist/vornak-installer-<version>-linux-x86_64.tar.gz  the Linux program, Data/, banner.gif, README.txt
# Data comes from the project, not from a build's app folder, whose templates a trial install may
# have rewritten.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt 2>/dev/null || true)
[ -n "$version" ] || { echo "package: no build/ to package; run scripts/build.sh first" >&2; exit 1; }
exe=build-windows/app/vornak-installer.exe
program=build/app/vornak-installer
for f in "$exe" "$program"; do
  [ -f "$f" ] || { echo "package: $f is missing; run scripts/build.sh and scripts/build-windows.sh first" >&2; exit 1; }
done

# Windows' own DLLs, which every Windows has: the program must need no other.
windows_dlls='^(kernel32|user32|gdi32|gdiplus|comdlg32|comctl32|shell32|shlwapi|ole32|oleaut32|advapi32|uxtheme|windowscodecs|msimg32|version|imm32|winmm|dwmapi|shcore|wininet|ws2_32|bcrypt|crypt32|rpcrt4|msvcrt|ucrtbase|api-ms-win-.*)\.dll$'
foreign=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | grep -viE "$windows_dlls" || true)
if [ -n "$foreign" ]; then
  echo "package: $exe needs DLLs that Windows does not have: $foreign" >&2
  exit 1
fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p dist

# The files beside the program, as the build puts them there (Data without the install's scratch files).
app_files() {
  mkdir -p "$1"
  cp src/wizard/art/banner.gif "$1/"
  (cd Data && find . -type f ! -path './temp/*' ! -name war3map.j2 -print0) |
    while IFS= read -r -d '' f; do install -D -m 644 "Data/$f" "$1/Data/$f"; done
}

win="$stage/VornakModInstaller"
app_files "$win"
x86_64-w64-mingw32-strip -o "$win/vornak-installer.exe" "$exe"
sed 's/$/\r/' >"$win/README.txt" <<EOF
Vornak MOD Installer $version for Windows

Installs the VQ MOD into a Warcraft III map (.w3m) of your choice: the map keeps its camera bounds,
playable area and tileset, and gets the modification's script, units, strings, map info and cameras.

How to use it
1. Extract the zip first: right-click it, choose "Extract All...", and pick a folder that is
   yours to change, such as Downloads or the Desktop. Not Program Files: the installer writes
   into its own Data folder. Started from inside the zip, it cannot find its Data folder, since
   Windows then runs the program alone from a temporary folder.
2. Close the map in the map editor and in the game.
3. Start vornak-installer.exe in the extracted folder, press Next, choose the map with the
   ". . ." button (or paste its path, quotes and all, into the box), press Next.
4. Press "Backup of <map>" first: it copies the map to <map name>_BackUp.w3m beside it.
5. Press Next: the modification is installed, and the last page says so.

"Windows protected your PC"
The program is not signed, so Windows SmartScreen may stop it the first time with a blue box
"Windows protected your PC". Press "More info", check that the program is vornak-installer.exe
from this zip, then press "Run anyway".

The way back
The backup is the only way back to the map as it was: to undo the install, copy
<map name>_BackUp.w3m over the map. The installer changes a map all or nothing: if it stops with
a message, the map is exactly as it was.
EOF
zip_name="VornakModInstaller-$version-win64.zip"
rm -f "dist/$zip_name"
(cd "$stage" && zip -qr -X "$OLDPWD/dist/$zip_name" VornakModInstaller)

# The Linux program's run-time packages: those holding the libraries it names itself (apt brings
# what they need), Qt's plugin for X11 windows, and Wine's fonts for the window's Tahoma.
needed=$(objdump -p "$program" | sed -n 's/^ *NEEDED *//p')
runtime=$( (ldd "$program" | while read -r name _ path _; do
             grep -qxF "$name" <<<"$needed" || continue
             dpkg -S "$(readlink -f "$path")" 2>/dev/null || dpkg -S "$path"
           done | cut -d: -f1; echo qt6-qpa-plugins; echo fonts-wine) | sort -u | paste -sd' ')
lin="$stage/vornak-installer-$version"
app_files "$lin"
strip -o "$lin/vornak-installer" "$program"
cat >"$lin/README.txt" <<EOF
Vornak MOD Installer $version for Linux (x86_64)

Installs the VQ MOD into a Warcraft III map (.w3m) of your choice: the map keeps its camera bounds,
playable area and tileset, and gets the modification's script, units, strings, map info and cameras.

Start ./vornak-installer from this folder (it needs banner.gif and Data/ beside it), press Next,
choose the map, press Next, make the backup ("Backup of <map>"), and press Next.

The backup (<map name>_BackUp.w3m beside the map) is the only way back: copy it over the map to
undo the install. A failed install leaves the map as it was.

It needs these Debian packages at run time (Debian 12):
  apt-get install $runtime
EOF
tar_name="vornak-installer-$version-linux-x86_64.tar.gz"
tar -czf "dist/$tar_name" -C "$stage" --owner=0 --group=0 "vornak-installer-$version"

ls -l "dist/$zip_name" "dist/$tar_name"
