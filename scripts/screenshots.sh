#!/usr/bin/env bash
# Starts the real program under a private Xvfb display with a window manager, walks it
# through its six pages like a user (keys and clicks through xdotool) and saves PNGs of
# every page and of the "Required File" and "BackUp" boxes into docs/screenshots/.
# The installing page is in front only while the install runs, so the program runs under
# gdb, which holds it at the start of the install for that one picture.
set -euo pipefail
cd "$(dirname "$0")/.."
out=docs/screenshots
for tool in Xvfb openbox xdotool import gdb smpq; do
  command -v "$tool" >/dev/null || { echo "screenshots need $tool: run scripts/setup.sh first"; exit 1; }
done

cmake -S . -B build >/dev/null
cmake --build build -j2 --target vornak-installer >/dev/null
[ -f build/app/Data/listw3m.txt ] || { echo "build/app/Data has no listw3m.txt: the project's Data/ folder is missing"; exit 1; }

. scripts/scratch.sh

. scripts/private-display.sh 800x600
sleep 1

# A copy of the program's folder, so the install changes nothing of the build, and a map.
cp -r build/app "$work/app"
app=$work/app
mkdir -p "$work/maps"
map=$work/maps/Arena.w3m
if [ -f ../shared/realmaps/maps/gowc3_test_roc.w3m ]; then
  cp ../shared/realmaps/maps/gowc3_test_roc.w3m "$map"
  chmod u+w "$map"   # the shared copies are read-only
else
  (cd "$app/Data" && smpq -c -q -M 1 "$map" war3map.j war3map.w3i war3map.w3c war3map.wts war3map.w3u)
fi
mkdir -p "$out"

shot() { # name window-id
  sleep 0.6
  import -silent -window "$2" -frame "$out/$1.png"
  echo "saved $out/$1.png"
}
wait_window() { # exact title
  xdotool search --sync --onlyvisible --name "^$1\$" | head -1
}
press() { # window-id key
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers "$2"
  sleep 0.5   # an access key presses its button after a short animation
}
click() { # window-id x y (client coordinates)
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# Without the list file the program shows only its "Required File" box.
mkdir -p "$work/bare"
cp "$app/vornak-installer" "$work/bare/"
"$work/bare/vornak-installer" >/dev/null 2>&1 &
bare=$!
box=$(wait_window "Required File")
shot required-file "$box"
press "$box" Return
wait "$bare" || true

# The real run, held by gdb at the start of the install.
gdb -q -batch -ex 'set pagination off' -ex 'set breakpoint pending on' \
  -ex 'break vornak::InstallProcedure::Run' -ex run \
  -ex "shell sleep 0.5; import -silent -window \$(cat $work/wid) -frame $out/page3-installing.png; echo saved $out/page3-installing.png" \
  -ex continue --args "$app/vornak-installer" >"$work/gdb.log" 2>&1 &
pids+=($!)
win=$(wait_window "Vornak MOD Installer")
echo "$win" >"$work/wid"
shot page0-welcome "$win"

press "$win" alt+n                        # Next
click "$win" 384 144                      # ". . ." opens the file dialog
sleep 1.5
dialog=$(xdotool getactivewindow)
xdotool type --delay 15 "$map"
xdotool key Return
for _ in $(seq 40); do xdotool getwindowname "$dialog" >/dev/null 2>&1 || break; sleep 0.1; done
shot page1-map "$win"

press "$win" alt+n                        # Next (Enter would press the focused ". . .")
shot page2-backup "$win"
click "$win" 244 177                      # Backup
box=$(wait_window "BackUp")
shot backup-box "$box"
press "$box" Return

press "$win" alt+n                        # Next: install (gdb takes page 3 on the way)
for _ in $(seq 60); do [ -f "$out/page3-installing.png" ] && break; sleep 0.25; done
sleep 2
shot page4-finished "$win"
press "$win" alt+c                        # View Credits
shot page5-credits "$win"
press "$win" alt+c                        # Close
press "$win" alt+f                        # Finish ends the program
sleep 1
if grep -q "exited normally" "$work/gdb.log"; then
  echo "the program ended normally on Finish"
else
  echo "the program did not end as expected:"; cat "$work/gdb.log"; exit 1
fi
