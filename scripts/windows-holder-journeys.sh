#!/usr/bin/env bash
# Runs the Windows build's install under wine beside a program that holds files as a virus
# scanner does (file_holder: each new or changed file in the map's folder and in Data\ opened for
# reading, sharing reading and writing but not deletion, for 300 ms). The backup and the install
# must wait it out: both succeed, the map's five entries are the templates (smpq), and nothing is
# left beside the map or in Data\. Then the same with the map held throughout the install: the
# in-use message, the map byte for byte as it was, nothing left beside it.
# Exits non-zero when a journey fails.
#   bash scripts/windows-holder-journeys.sh   (after scripts/build-windows.sh)
set -uo pipefail
cd "$(dirname "$0")/.."
build=${VORNAK_WINDOWS_BUILD:-build-windows}
for tool in wine wineserver winepath smpq cmake; do
  command -v "$tool" >/dev/null || { echo "holder journeys need $tool: run scripts/setup.sh first"; exit 1; }
done
cmake --build "$build" -j2 --target vornak-installer install_child file_holder >/dev/null ||
  { echo "the Windows build failed"; exit 1; }
child=$PWD/$build/tests/reliability/install_child.exe
holder=$PWD/$build/tests/install/file_holder.exe

. scripts/wine-prefix.sh "$PWD/$build/wine"
set +e
work=$(mktemp -d)
cleanup() { wineserver -k >/dev/null 2>&1; rm -rf "$work"; }
trap cleanup EXIT

failures=0
ok() { echo "  ok: $1"; }
fail() { echo "  FAILED: $1"; failures=$((failures + 1)); }
win() { winepath -w "$1" 2>/dev/null; }

fresh() { # a program folder and a map alone in its folder
  rm -rf "$work/app" "$work/maps"
  cp -r "$build/app" "$work/app"
  mkdir -p "$work/maps"
  cp examples/SampleMap.w3m "$work/maps/SampleMap.w3m"
}

echo "Journey: a scanner holds each new file for 300 ms during the backup and the install"
fresh
wine "$holder" 40 300 "$(win "$work/maps")" "$(win "$work/app/Data")" "$(win "$work/app/Data/temp")" &
holding=$!
sleep 2 # the holder running before the first file appears
start=$(date +%s%N)
wine "$child" "$(win "$work/app")" "$(win "$work/maps/SampleMap.w3m")" backup 2>"$work/error.txt"
status=$?
took=$((($(date +%s%N) - start) / 1000000))
kill "$holding" 2>/dev/null; wait "$holding" 2>/dev/null
if [ $status = 0 ]; then ok "backed up and installed in $took ms"; else fail "the install failed: $(cat "$work/error.txt")"; fi
cmp -s "$work/maps/SampleMap_BackUp.w3m" examples/SampleMap.w3m && ok "the backup is the map as it was" ||
  fail "the backup is not the map as it was"
x=$work/extract; mkdir -p "$x"
(cd "$x" && smpq -x -q "$work/maps/SampleMap.w3m" war3map.j war3map.w3u war3map.wts war3map.w3i war3map.w3c) >/dev/null 2>&1
bad=0
for entry in war3map.j war3map.w3u war3map.wts war3map.w3i war3map.w3c; do
  cmp -s "$x/$entry" "$work/app/Data/$entry" || { fail "$entry in the map is not the template"; bad=1; }
done
[ $bad = 0 ] && ok "the map's five entries are the templates (smpq)"
left=$(ls -A "$work/maps" | grep -v -x -e SampleMap.w3m -e SampleMap_BackUp.w3m)
[ -z "$left" ] && ok "nothing left beside the map" || fail "left beside the map: $left"
left=$(cd "$work/app/Data" && ls -A | grep -e '\.tmp$' -e '\.j2$' -e '^temp$' -e '\.vqinstall$')
[ -z "$left" ] && ok "nothing left in Data" || fail "left in Data: $left"

echo "Journey: the map held without sharing deletion for the whole install"
fresh
wine "$holder" 30 30000 "$(win "$work/maps")" &
holding=$!
sleep 2
wine "$child" "$(win "$work/app")" "$(win "$work/maps/SampleMap.w3m")" 2>"$work/error.txt"
status=$?
kill "$holding" 2>/dev/null; wait "$holding" 2>/dev/null
if [ $status != 0 ] && grep -q "is in use by another program" "$work/error.txt"; then
  ok "refused: $(tr -d '\r' <"$work/error.txt" | head -c 160)…"
else
  fail "not refused as in use (status $status): $(cat "$work/error.txt")"
fi
cmp -s "$work/maps/SampleMap.w3m" examples/SampleMap.w3m && ok "the map is byte for byte as it was" ||
  fail "the map changed"
left=$(ls -A "$work/maps" | grep -v -x SampleMap.w3m)
[ -z "$left" ] && ok "nothing left beside the map" || fail "left beside the map: $left"

if [ $failures = 0 ]; then echo "holder journeys: all passed"; else echo "holder journeys: $failures failed"; fi
[ $failures = 0 ]
