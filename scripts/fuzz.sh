#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, AddressSanitizer + UndefinedBehaviorSanitizer) into
# build-fuzz/ and runs each one for a bounded time, seeded from the real maps beside the project.
#   scripts/fuzz.sh            60 seconds per target (what the test command runs)
#   scripts/fuzz.sh 3600       an hour per target
# A target that finds a crash or a broken property in our code stops the script; its input is
# kept as build-fuzz/artifacts/<target>-crash-* (rerun it: build-fuzz/fuzz/<target> <that file>).
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

run() {
  local target=$1 max_len=$2
  shift 2
  mkdir -p "$out/corpus/$target"
  echo "fuzz: $target for $seconds s"
  "$out/fuzz/$target" -max_total_time="$seconds" -timeout=60 -max_len="$max_len" -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$target-" "$@" "$out/corpus/$target" "$seeds/$target" \
    >"$out/$target.log" 2>&1 || { tail -n 60 "$out/$target.log"; echo "fuzz: $target FAILED"; exit 1; }
  grep -E "stat::number_of_executed_units|stat::new_units_added" "$out/$target.log" | sed "s/^/fuzz: $target /"
}

# Where a crash happened: the first stack frame that is neither the sanitizers', libFuzzer's,
# libc's nor an allocator's (an out-of-memory report belongs to whoever asked for the memory).
crash_site() {
  { "$@" 2>&1 || true; } | grep -E '^ +#[0-9]+ ' |
    grep -vE '__sanitizer|__interceptor|fuzzer::|libc\.so|__assert|in raise|in abort|pthread_kill|in (malloc|calloc|realloc|operator new)|LLVMFuzzerTestOneInput' |
    head -n 1 || true
}

# The archive target also drives StormLib: the pinned release built with the rest (AddressSanitizer
# inside it too), or with VORNAK_SYSTEM_STORMLIB Debian's 9.22, which crashes or hangs on some
# hostile archives inside its own code. It runs in fork mode so that such a crash does not end
# the run; every crash is then judged by where it happened: inside StormLib (its source, or
# libstorm.so and the libz and libbz2 it calls) it is reported as the library's, anywhere else
# it fails the script.
run_archive() {
  local target=ArchiveFuzzer
  mkdir -p "$out/corpus/$target"
  rm -f "$out/artifacts/$target-"*
  echo "fuzz: $target for $seconds s (fork mode)"
  "$out/fuzz/$target" -fork=1 -ignore_crashes=1 -max_total_time="$seconds" -timeout=60 -max_len=262144 \
    -artifact_prefix="$out/artifacts/$target-" "$out/corpus/$target" "$seeds/$target" >"$out/$target.log" 2>&1 || true
  local last
  last=$(grep -E '^#[0-9]+: ' "$out/$target.log" | tail -n 1)
  [ -n "$last" ] || { tail -n 40 "$out/$target.log"; echo "fuzz: $target FAILED to run"; exit 1; }
  echo "fuzz: $target executions: $(echo "$last" | sed -E 's/^#([0-9]+):.*/\1/'), oom/timeout/crash: $(echo "$last" | sed -E 's#.*oom/timeout/crash: ([0-9/]+).*#\1#')"
  local ours=0 library=0 artifact site
  for artifact in "$out/artifacts/$target-"*; do
    [ -e "$artifact" ] || continue
    site=$(crash_site "$out/fuzz/$target" -timeout=60 "$artifact") # a hang is reported, not repeated for ever
    if [[ "$site" =~ libstorm\.so|libbz2\.so|libz\.so|/stormlib-src/ ]]; then
      library=$((library + 1))
      echo "fuzz: $target: StormLib crashed inside itself on $(basename "$artifact"):$site"
    else
      ours=$((ours + 1))
      echo "fuzz: $target: crash in our code on $(basename "$artifact"):$site"
    fi
  done
  echo "fuzz: $target crashes inside StormLib: $library, elsewhere: $ours"
  [ "$ours" -eq 0 ] || { echo "fuzz: $target FAILED"; exit 1; }
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run MapInfoFuzzer 4096
run CameraLineFuzzer 4096 -dict=fuzz/camera.dict
run_archive
echo "fuzz: done, $seconds s per target"
