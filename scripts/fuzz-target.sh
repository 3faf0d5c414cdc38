#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time: what `ctest --preset fuzz` runs for each target
# (label fuzz), after scripts/fuzz.sh built them and made their seeds.
#   fuzz-target.sh TARGET PROGRAM BUILD_FOLDER      seconds from VORNAK_FUZZ_SECONDS (60)
# A crash or a broken property in our code fails the run; its input is kept as
# BUILD_FOLDER/artifacts/TARGET-crash-* (rerun it: PROGRAM <that file>).
set -euo pipefail
target=$1 program=$2 out=$3
seconds=${VORNAK_FUZZ_SECONDS:-60}
seeds="$out/seeds"
mkdir -p "$seeds/$target" "$out/artifacts"

run() {
  local target=$1 max_len=$2
  shift 2
  mkdir -p "$out/corpus/$target"
  echo "fuzz: $target for $seconds s"
  "$program" -max_total_time="$seconds" -timeout=60 -max_len="$max_len" -print_final_stats=1 \
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
  "$program" -fork=1 -ignore_crashes=1 -max_total_time="$seconds" -timeout=60 -max_len=262144 \
    -artifact_prefix="$out/artifacts/$target-" "$out/corpus/$target" "$seeds/$target" >"$out/$target.log" 2>&1 || true
  local last
  last=$(grep -E '^#[0-9]+: ' "$out/$target.log" | tail -n 1)
  [ -n "$last" ] || { tail -n 40 "$out/$target.log"; echo "fuzz: $target FAILED to run"; exit 1; }
  echo "fuzz: $target executions: $(echo "$last" | sed -E 's/^#([0-9]+):.*/\1/'), oom/timeout/crash: $(echo "$last" | sed -E 's#.*oom/timeout/crash: ([0-9/]+).*#\1#')"
  local ours=0 library=0 artifact site
  for artifact in "$out/artifacts/$target-"*; do
    [ -e "$artifact" ] || continue
    site=$(crash_site "$program" -timeout=60 "$artifact") # a hang is reported, not repeated for ever
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

case $target in
  MapInfoFuzzer) run MapInfoFuzzer 4096 ;;
  CameraLineFuzzer) run CameraLineFuzzer 4096 -dict="$(dirname "$0")/../fuzz/camera.dict" ;;
  ArchiveFuzzer) run_archive ;;
  *) echo "fuzz: no such target $target" >&2; exit 2 ;;
esac
