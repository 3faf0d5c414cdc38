#!/usr/bin/env bash
# The real Linux program, driven like a user under a private Xvfb display (keys, clicks and
# typed text through xdotool), installs into a map whose (listfile) is stored with a wrong
# check, as maps from the field come. Afterwards smpq, another reader of maps, must still list
# every file of the map by its name, and find the five entries as the templates.
#   bash scripts/linux-journey.sh        (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in Xvfb openbox xdotool smpq; do
  command -v "$tool" >/dev/null || { echo "the journey needs $tool: run scripts/setup.sh first"; exit 1; }
done
[ -x build/app/vornak-installer ] && [ -x build/tests/support/make_journey_map ] ||
  { echo "build/ has no program or make_journey_map: run scripts/build.sh first"; exit 1; }

. scripts/scratch.sh
. scripts/private-display.sh 800x600

cp -r build/app "$work/app"
mkdir "$work/maps"
map=$work/maps/Field.w3m
build/tests/support/make_journey_map "$map"
names() { smpq -l "$1" | awk '{print $NF}' | tr 'a-z/' 'A-Z\\' | sort -u; }
names "$map" >"$work/before"

press() { # window-id key
  xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers "$2"
  sleep 0.5
}
"$work/app/vornak-installer" >"$work/program.log" 2>&1 &
program=$!
pids+=("$program")
win=$(timeout 30 xdotool search --sync --onlyvisible --name '^Vornak MOD Installer$' | head -1)
[ -n "$win" ] || { echo "FAIL: the program's window did not come up"; exit 1; }
press "$win" alt+n                                    # Next: the map page
xdotool mousemove --window "$win" 196 144 click 1     # into the box, and the map's path typed
xdotool type --delay 10 "$map"
press "$win" alt+n                                    # Next: the backup page
press "$win" alt+n                                    # Next: install
for _ in $(seq 100); do names "$map" | grep -qx 'WAR3MAP.W3U' && break; sleep 0.1; done
sleep 1
press "$win" alt+f                                    # Finish! ends the program
for _ in $(seq 50); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then echo "FAIL: the program did not end on Finish!"; exit 1; fi

names "$map" >"$work/after"
lost=$(comm -23 "$work/before" "$work/after")
[ -z "$lost" ] || { echo "FAIL: the install lost these names of the map's files:"; echo "$lost"; exit 1; }
for entry in war3map.j war3map.w3u war3map.wts war3map.w3i war3map.w3c; do
  (mkdir -p "$work/out" && cd "$work/out" && smpq -x "$map" "$entry")
  cmp -s "$work/out/$entry" "$work/app/Data/$entry" || { echo "FAIL: $entry in the map is not the template"; exit 1; }
done
echo "Linux journey: installed into a map whose list has a wrong check; all $(wc -l <"$work/before") names kept"
