#!/usr/bin/env bash
# Drives the Windows program under wine, on a private Xvfb display with a window manager, the
# way a user does: clicks, keys and typed text only (xdotool). Journeys: the whole install of
# examples/SampleMap.w3m with the file dialog and the backup; a map and a program folder named
# in Cyrillic, CJK and accents; a map whose (listfile) has a wrong check; a map of an unknown
# tileset; a path pasted in quotes; Enter after Previous; a missing template; a missing list file;
# Exit, Escape and the close box; the pages at 144 dpi. After each install the map is opened with
# smpq: its five entries must be the templates. Screenshots go to docs/screenshots/windows/. Before the
# journeys the Win32 window's own test runs on the same display.
# Exits non-zero when any journey fails.
#   bash scripts/windows-journeys.sh        (builds build-windows/ first where needed)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${VORNAK_WINDOWS_BUILD:-build-windows}
out=${VORNAK_SCREENSHOTS:-docs/screenshots/windows} # the test command keeps them in the build
for tool in wine wineserver Xvfb openbox xdotool import compare smpq cmake; do
  command -v "$tool" >/dev/null || { echo "journeys need $tool: run scripts/setup.sh first"; exit 1; }
done

if [ ! -f "$build/CMakeCache.txt" ]; then
  . scripts/ccache.sh
  args=()
  [ -n "${VORNAK_THIRD_PARTY_DIR:-}" ] && args+=(-DVORNAK_THIRD_PARTY_DIR="$VORNAK_THIRD_PARTY_DIR")
  cmake --preset windows -B "$build" "${args[@]}" >/dev/null || exit 1
fi
cmake --build "$build" -j2 --target vornak-installer win32_form_tests file_holder >/dev/null ||
  { echo "the Windows build failed"; exit 1; }
app_built=$root/$build/app

work=$(mktemp -d)
pids=()
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

. scripts/private-display.sh 1280x1024

# A prefix of the journeys' own, since they change its dpi: Tahoma (scripts/wine-prefix.sh),
# Marlett for the caption buttons, and Wine drawing the window frame itself, as Windows does.
. scripts/wine-prefix.sh "$root/$build/wine-journeys"
set +e
if [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
fi

dpi=96
set_dpi() { # dots per inch for the next programs
  dpi=$1
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1; wineserver -w; wineserver -p >/dev/null 2>&1
}
scaled() { echo $(( ($1 * dpi + 48) / 96 )); } # a design length at this dpi, rounded as Windows does

failures=()
fail() { echo "  FAILED: $*"; failures+=("$journey: $*"); }
ok() { echo "  ok: $*"; }

# The program folder and map of one journey, copied so that nothing of the build changes.
new_app() { # folder
  rm -rf "$1"; mkdir -p "$(dirname "$1")"; cp -r "$app_built" "$1"
}
winpath() { echo "Z:${1//\//\\}"; }

start() { # program
  wine "$1" >>"$work/wine.log" 2>&1 &
  program=$!
}
finished() { # expected exit code: waits for the program's end
  local code
  for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$program" 2>/dev/null; then fail "the program did not end"; kill "$program"; return 1; fi
  wait "$program"; code=$?
  [ "$code" = "$1" ] && ok "the program ended with code $code" || fail "the program ended with code $code, not $1"
}
find_window() { # exact title; the newest window that has it
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
main_window() {
  win=$(find_window "Vornak MOD Installer") || { fail "the window did not appear"; return 1; }
  # The frame Wine draws around the client area: border and caption.
  eval "$(xdotool getwindowgeometry --shell "$win")"
  border=$(( (WIDTH - $(scaled 482)) / 2 ))
  caption=$(( HEIGHT - $(scaled 293) - 2 * border ))
  sleep 0.5
}
key() { xdotool windowactivate --sync "$win" >/dev/null 2>&1; xdotool key --clearmodifiers "$1"; sleep 0.4; }
click() { # client x y at 96 dpi, as the design gives them
  xdotool mousemove --window "$win" $((border + $(scaled "$1"))) $((border + caption + $(scaled "$2"))) click 1
  sleep 0.4
}
close_box() {
  xdotool mousemove --window "$win" $((WIDTH - border - caption / 2)) $((border + caption / 2)) click 1
}
shot() { # name window
  sleep 0.3
  import -silent -window "$2" "$out/$1.png" && echo "  saved $out/$1.png"
}
answer_box() { # title: presses Enter in the message box, after a screenshot when a name is given
  local box
  box=$(find_window "$1") || { fail "no \"$1\" box"; return 1; }
  ok "the \"$1\" box came up"
  [ -n "${2:-}" ] && shot "$2" "$box"
  xdotool windowactivate --sync "$box" >/dev/null 2>&1; xdotool key Return; sleep 0.4
}
choose_map() { # map path: the ". . ." button, then the file dialog
  click 384 144
  local dialog
  dialog=$(find_window "Open") || { fail "the file dialog did not open"; return 1; }
  sleep 0.5
  xdotool windowactivate --sync "$dialog" >/dev/null 2>&1
  if LC_ALL=C grep -q '^[ -~]*$' <<<"$1"; then
    xdotool type --delay 30 "$(winpath "$1")"   # the whole path typed into the file name box
    xdotool key Return
  else
    # xdotool cannot type other scripts into Wine: the folder above the map's (the only one in
    # its parent) is typed, then the map's folder and the map are opened by double clicks.
    xdotool type --delay 30 "$(winpath "$(dirname "$(dirname "$1")")")\\"
    xdotool key Return; sleep 0.8
    xdotool mousemove --window "$dialog" 140 67 click --repeat 2 --delay 80 1; sleep 0.8
    xdotool mousemove --window "$dialog" 140 67 click --repeat 2 --delay 80 1
  fi
  for _ in $(seq 50); do xdotool getwindowname "$dialog" >/dev/null 2>&1 || break; sleep 0.1; done
  sleep 0.3
}
entries_are_templates() { # map app-folder
  local x="$work/extract"
  rm -rf "$x"; mkdir -p "$x"
  (cd "$x" && smpq -x -q "$1" war3map.j war3map.w3u war3map.wts war3map.w3i war3map.w3c) >/dev/null 2>&1
  local entry bad=0
  for entry in war3map.j war3map.w3u war3map.wts war3map.w3i war3map.w3c; do
    cmp -s "$x/$entry" "$2/Data/$entry" || { fail "$entry in the map is not the template"; bad=1; }
  done
  [ $bad = 0 ] && ok "the map's five entries are the templates (smpq)"
}
differs() { # two screenshots must not be the same picture
  [ "$(compare -metric AE "$1" "$2" null: 2>&1)" != "0" ]
}

# A journey from the welcome page to the finished page: Next, choose the map, Next, the
# backup, Next (the install), credits and back, Finish, and the checks after it. Screenshots
# take the given suffix; with "page3" the installing page is caught while the install waits for a
# program that holds its staged map, as a virus scanner does (file_holder, 5 s on each new or
# changed file beside the map, which the rename over the map waits out): meanwhile the page must
# stay in front and painted.
install_journey() { # app map suffix [page3]
  local app=$1 map=$2 suffix=$3
  cp "$map" "$work/original.w3m"
  start "$app/vornak-installer.exe"
  main_window || return 1
  shot "page0-welcome$suffix" "$win"
  key Return                                   # Enter presses Next, the default button
  choose_map "$map" || return 1
  shot "page1-map$suffix" "$win"
  key alt+n                                    # Next by its access key
  shot "page2-backup$suffix" "$win"
  click 244 177                                # Backup
  answer_box "BackUp" "backup-box$suffix"
  cmp -s "${map%????}_BackUp.w3m" "$work/original.w3m" && ok "the backup holds the map as it was" ||
    fail "no backup of the map beside it"
  local holding=""
  if [ "${4:-}" = page3 ]; then
    wine "$root/$build/tests/install/file_holder.exe" 90 5000 "$(winpath "$(dirname "$map")")" >/dev/null 2>&1 &
    holding=$!
    sleep 7 # what was there when it started it holds first; then only the install's new files
  fi
  key Return                                   # Enter: Next, and the install runs
  if [ -n "$holding" ]; then
    # Shots while the install runs; the last one taken before it ended falls in the wait.
    for _ in $(seq 200); do [ -e "$map.vqinstall" ] && break; sleep 0.05; done
    while [ -e "$map.vqinstall" ]; do
      import -silent -window "$win" "$work/shot.png" 2>/dev/null &&
        [ -e "$map.vqinstall" ] && mv "$work/shot.png" "$out/page3-installing$suffix.png"
    done
    [ -e "$out/page3-installing$suffix.png" ] && echo "  saved page3-installing$suffix"
  fi
  # The install stages its work beside the map; the finished page follows once that is gone.
  for _ in $(seq 600); do [ -e "$map.vqinstall" ] || break; sleep 0.1; done
  [ -n "$holding" ] && { kill "$holding" 2>/dev/null; wait "$holding" 2>/dev/null; }
  sleep 1
  shot "page4-finished$suffix" "$win"
  key alt+c                                    # View Credits
  shot "page5-credits$suffix" "$win"
  key alt+c                                    # Close: the same access key, on the page in front
  differs "$out/page4-finished$suffix.png" "$out/page5-credits$suffix.png" ||
    fail "View Credits did not show the credits"
  if [ "${4:-}" = page3 ]; then
    differs "$out/page3-installing$suffix.png" "$out/page2-backup$suffix.png" &&
      differs "$out/page3-installing$suffix.png" "$out/page4-finished$suffix.png" &&
      ok "the installing page was on the screen during the install" ||
      fail "the installing page was not caught on the screen"
  fi
  key alt+f                                    # Finish
  finished 0
  entries_are_templates "$map" "$app"
}

# A map big enough that the install takes a few seconds, so that its page can be seen.
big_map() { # path
  cp examples/SampleMap.w3m "$1"
  head -c 300M /dev/urandom >"$work/filler.bin" # does not compress: the install copies it all
  (cd "$work" && smpq -a -q "$1" filler.bin) || fail "smpq could not make the big map"
}

echo "== the window's own test, on this display"
journey=test
wine "$build/tests/wizard/win32_form_tests.exe" >"$work/test.log" 2>&1 && ok "win32_form_tests passed" ||
  { cat "$work/test.log"; fail "win32_form_tests failed"; }

mkdir -p "$out"
set_dpi 96

echo "== the whole journey on the sample map (96 dpi)"
journey=sample
new_app "$work/app"
mkdir -p "$work/maps"; cp examples/SampleMap.w3m "$work/maps/SampleMap.w3m"
install_journey "$work/app" "$work/maps/SampleMap.w3m" ""

echo "== the installing page, on a map big enough to see it"
journey=page3
new_app "$work/app"
big_map "$work/maps/Big.w3m"
install_journey "$work/app" "$work/maps/Big.w3m" "-big" page3
mv "$out/page3-installing-big.png" "$out/page3-installing.png"

echo "== a map and a program folder in Cyrillic, CJK and accents"
journey=names
new_app "$work/Программа 程序 Café"
mkdir -p "$work/names/Карты 地図 Éé"
cp examples/SampleMap.w3m "$work/names/Карты 地図 Éé/Ñandú 島.w3m"
install_journey "$work/Программа 程序 Café" "$work/names/Карты 地図 Éé/Ñandú 島.w3m" "-names"
mv "$out/page2-backup-names.png" "$out/page2-backup-non-ascii.png"

echo "== a map whose list of file names has a wrong check, as maps from the field come"
journey=listfile
if [ -x build/tests/support/make_journey_map ]; then
  new_app "$work/app"
  mkdir -p "$work/field"
  build/tests/support/make_journey_map "$work/field/Field.w3m"
  listed() { smpq -l "$1" | awk '{print $NF}' | tr 'a-z/' 'A-Z\\' | sort -u; }
  listed "$work/field/Field.w3m" >"$work/listed-before"
  install_journey "$work/app" "$work/field/Field.w3m" "-field"
  lost=$(listed "$work/field/Field.w3m" | comm -23 "$work/listed-before" -)
  [ -z "$lost" ] && ok "smpq lists all $(wc -l <"$work/listed-before") names of the map's files after the install" ||
    fail "the install lost names of the map's files: $lost"
else
  echo "  skipped: build/tests/support/make_journey_map is missing (scripts/build.sh makes it)"
fi

echo "== a map of a tileset the game does not know: the warning, then the install goes on"
journey=tileset
new_app "$work/app"
mkdir -p "$work/tileset"; cp examples/SampleMap.w3m "$work/tileset/Odd.w3m"
# The tileset letter follows the map info's four texts and 14 numbers; "l" is no tileset.
(cd "$work/tileset" && smpq -x -q Odd.w3m war3map.w3i && python3 -c '
import sys
d = bytearray(open("war3map.w3i", "rb").read()); o = 12
for _ in range(4): o = d.index(0, o) + 1
d[o + 60] = ord("l"); open("war3map.w3i", "wb").write(d)' && smpq -a -f -q Odd.w3m war3map.w3i) ||
  fail "the map with an unknown tileset could not be made"
start "$work/app/vornak-installer.exe"
if main_window; then
  key Return; choose_map "$work/tileset/Odd.w3m"; key alt+n; key alt+n
  answer_box "Tileset Problem" tileset-box
  sleep 1; key Return                          # Finish!, which has the focus after the install
  finished 0
  entries_are_templates "$work/tileset/Odd.w3m" "$work/app"
fi

echo "== a path pasted from Explorer's \"Copy as path\", in quotes, typed into the box"
journey=quoted
new_app "$work/app"
cp examples/SampleMap.w3m "$work/maps/Quoted.w3m"
start "$work/app/vornak-installer.exe"
if main_window; then
  key Return; click 190 145                    # the map page, then into the box
  xdotool type --delay 30 " \"$(winpath "$work/maps/Quoted.w3m")\" "
  key Return; key Return; sleep 2              # Next, Next: the install
  key Return                                   # Finish!
  finished 0
  entries_are_templates "$work/maps/Quoted.w3m" "$work/app"
fi

echo "== Enter after Previous from the map page with the box empty goes on"
journey=previous
start "$work/app/vornak-installer.exe"
if main_window; then
  key Return; key alt+p; key Return            # map page, Previous (which then disables itself), Enter
  shot enter-after-previous "$win"
  differs "$out/enter-after-previous.png" "$out/page0-welcome.png" && ok "Enter went on from the welcome page" ||
    fail "Enter after Previous did not show the map page"
  xdotool getwindowname "$win" >/dev/null 2>&1 && ok "the program is still running" ||
    fail "Enter after Previous ended the program"
  close_box; finished 0
fi

echo "== a missing template: the Required File box, the map unchanged"
journey=template
new_app "$work/app"; rm "$work/app/Data/war3map.wts"
cp examples/SampleMap.w3m "$work/maps/Missing.w3m"
start "$work/app/vornak-installer.exe"
if main_window; then
  key Return; choose_map "$work/maps/Missing.w3m"; key alt+n; key alt+n
  answer_box "Required File" required-template
  finished 0
  cmp -s "$work/maps/Missing.w3m" examples/SampleMap.w3m && ok "the map is unchanged" || fail "the map changed"
fi

echo "== a missing list file: only the Required File box, no window"
journey=listfile
new_app "$work/bare"; rm "$work/bare/Data/listw3m.txt"
start "$work/bare/vornak-installer.exe"
answer_box "Required File" required-file
finished 0
xdotool search --onlyvisible --name "^Vornak MOD Installer\$" >/dev/null 2>&1 && fail "the window was shown"

echo "== Exit, Escape and the close box end the program"
journey=exit
new_app "$work/app"
start "$work/app/vornak-installer.exe"; main_window && { key Return; click 70 271; finished 0; }   # Exit, page 1
start "$work/app/vornak-installer.exe"; main_window && { key Escape; finished 0; }                # Escape, page 0
start "$work/app/vornak-installer.exe"; main_window && { close_box; finished 0; }                 # close box, page 0
cp examples/SampleMap.w3m "$work/maps/Close.w3m"
start "$work/app/vornak-installer.exe"
if main_window; then # the close box on the finished page, where Exit is disabled
  key Return; choose_map "$work/maps/Close.w3m"; key alt+n; key alt+n; sleep 2
  key Escape
  xdotool getwindowname "$win" >/dev/null 2>&1 && ok "Escape does nothing on the finished page" ||
    fail "Escape ended the program on the finished page"
  close_box; finished 0
fi

echo "== the pages at 144 dpi"
journey=dpi144
set_dpi 144
new_app "$work/app"
big_map "$work/maps/Big.w3m"
install_journey "$work/app" "$work/maps/Big.w3m" "-144dpi" page3
set_dpi 96

rm -f "$out"/*-big.png "$out"/*-names.png "$out/backup-box-144dpi.png" "$out/enter-after-previous.png"
if [ ${#failures[@]} -gt 0 ]; then
  echo "wine's last words:"; tail -20 "$work/wine.log"
  echo "Windows journeys: ${#failures[@]} failed:"; printf '  %s\n' "${failures[@]}"
  exit 1
fi
echo "Windows journeys: all passed."
