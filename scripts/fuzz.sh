#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, AddressSanitizer + UndefinedBehaviorSanitizer) into
# build-fuzz/ and runs each one for a bounded time, seeded from the real maps beside the project.
#   scripts/fuzz.sh            60 seconds per target (what the test command runs)
#   scripts/fuzz.sh 3600       an hour per target
# A target that finds a crash or a broken property in our code fails; its input is kept as
# build-fuzz/artifacts/<target>-crash-* (rerun it: build-fuzz/fuzz/<target> <that file>).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
realmaps=${VORNAK_REALMAPS_DIR:-../shared/realmaps}
out=build-fuzz

. scripts/ccache.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

# Seeds are made at run time from the real maps; nothing of them enters the project.
seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/MapInfoFuzzer" "$seeds/CameraLineFuzzer" "$seeds/ArchiveFuzzer" "$out/artifacts"
if [ -d "$realmaps/maps" ]; then
  realmaps=$(cd "$realmaps" && pwd)
  cp "$realmaps"/w3i/*.w3i "$seeds/MapInfoFuzzer/"
  for map in "$realmaps"/maps/*; do
    name=$(basename "$map")
    # Map info files out of every map; smpq extracts into the current folder.
    (cd "$seeds/MapInfoFuzzer" && cp "$map" "tmp-$name" && chmod u+w "tmp-$name" &&
      smpq -x -q "tmp-$name" war3map.w3i >/dev/null 2>&1 && mv war3map.w3i "$name.w3i"; rm -f "tmp-$name") || true
    # Whole maps below 256 KB: larger ones only slow every run.
    if [ "$(stat -c %s "$map")" -lt 262144 ]; then cp "$map" "$seeds/ArchiveFuzzer/"; fi
  done
  # The part of each script around its camera line; the first byte picks the reader's buffer size.
  for script in "$realmaps"/j/*.j; do
    { printf '\x07'; grep -a -i -B 40 -A 8 "call SetCameraBounds" "$script" | head -c 3800; } \
      > "$seeds/CameraLineFuzzer/$(basename "$script")"
  done
else
  echo "fuzz: $realmaps is absent; the targets start from nothing"
fi

# Each target is a test of the label fuzz, run one after the other (scripts/fuzz-target.sh).
VORNAK_FUZZ_SECONDS=$seconds ctest --preset fuzz
echo "fuzz: done, $seconds s per target"
