#!/usr/bin/env bash
# Shows each refusal of docs/messages.md as a user meets it: the real program under a private
# Xvfb display, a map typed into the map box, Next, Next, Next, and a PNG of the message box in
# docs/screenshots/messages/. The maps are real ones from ../shared/realmaps where they show the
# case, else built here with smpq from the program's own templates.
set -euo pipefail
cd "$(dirname "$0")/.."
out=docs/screenshots/messages
for tool in Xvfb openbox xdotool import smpq python3; do
  command -v "$tool" >/dev/null || { echo "message screenshots need $tool: run scripts/setup.sh first"; exit 1; }
done
cmake -S . -B build >/dev/null
cmake --build build -j2 --target vornak-installer >/dev/null

. scripts/scratch.sh
. scripts/private-display.sh 800x600
sleep 1
mkdir -p "$out" "$work/maps"

# A map built from the templates, with its map info replaced by the given file.
built_map() { # map-path w3i-file
  local dir=$work/build-$RANDOM
  mkdir -p "$dir"
  cp build/app/Data/war3map.j build/app/Data/war3map.w3c build/app/Data/war3map.wts build/app/Data/war3map.w3u "$dir/"
  cp "$2" "$dir/war3map.w3i"
  (cd "$dir" && smpq -c -q -M 1 "$1" war3map.j war3map.w3i war3map.w3c war3map.wts war3map.w3u)
}
real_map() { # name
  cp "../shared/realmaps/maps/$1" "$work/maps/"
  chmod u+w "$work/maps/$1"
  echo "$work/maps/$1"
}

shoot() { # name map-path
  rm -rf "$work/app" && cp -r build/app "$work/app"
  "$work/app/vornak-installer" >/dev/null 2>&1 &
  local program=$!
  local win
  win=$(xdotool search --sync --onlyvisible --name '^Vornak MOD Installer$' | head -1)
  xdotool windowactivate --sync "$win" >/dev/null 2>&1 || true
  xdotool key --clearmodifiers alt+n; sleep 0.5
  xdotool mousemove --window "$win" 148 154 click 1; sleep 0.3
  xdotool type --delay 10 "$2"; sleep 0.3
  xdotool key --clearmodifiers alt+n; sleep 0.5
  xdotool key --clearmodifiers alt+n
  sleep 1.5
  local box
  box=$(xdotool getactivewindow)
  import -silent -window "$box" -frame "$out/$1.png"
  echo "saved $out/$1.png"
  xdotool key Return
  wait "$program" || true
}

if [ -d ../shared/realmaps/maps ]; then
  shoot protected "$(real_map war3net_JurassicParkSurvivalEE_v6.4.w3x)"
  shoot too-old-editor "$(real_map war3net_betaroc100_4_LostTemple.w3m)"
  shoot lua-map "$(real_map war3net_DotF_v1.4.w3x)"
else
  echo "../shared/realmaps is absent: the protected, too-old and Lua cases are not shown"
fi
head -c 40 build/app/Data/war3map.w3i >"$work/short.w3i"
built_map "$work/maps/Cut Info.w3m" "$work/short.w3i"
shoot map-info-cut-short "$work/maps/Cut Info.w3m"
python3 - "$work/nan.w3i" build/app/Data/war3map.w3i <<'PY'
import struct, sys
data = bytearray(open(sys.argv[2], 'rb').read())
at = 12
for _ in range(4):
    at = data.index(0, at) + 1
data[at + 8:at + 12] = struct.pack('<f', float('nan'))  # the third camera bound
open(sys.argv[1], 'wb').write(data)
PY
built_map "$work/maps/No Number.w3m" "$work/nan.w3i"
shoot camera-bound-not-a-number "$work/maps/No Number.w3m"
built_map "$work/maps/Read Only.w3m" build/app/Data/war3map.w3i
chmod a-w "$work/maps/Read Only.w3m"
shoot read-only "$work/maps/Read Only.w3m"
