#!/usr/bin/env bash
# Which StormLib survives hostile maps better: the archive fuzzer runs for the same time against
# Debian's StormLib 9.22 (VORNAK_SYSTEM_STORMLIB=ON) and against the pinned 9.40 built from
# source (instrumented like the rest of the program), from the same seeds, one worker each;
# then every input that crashed 9.22 is run once against 9.40.
#   scripts/fuzz-stormlib.sh          300 seconds per release
#   scripts/fuzz-stormlib.sh 1800
# Builds go to build-fuzz-922/ and build-fuzz-940/; inputs and logs to build-fuzz-stormlib/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
realmaps=${VORNAK_REALMAPS_DIR:-../shared/realmaps}
out=build-fuzz-stormlib

for release in 922 940; do
  system=OFF
  [ "$release" = 922 ] && system=ON
  cmake -S . -B "build-fuzz-$release" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
    -DCMAKE_CXX_COMPILER=clang++-14 -DVORNAK_BUILD_FUZZERS=ON -DVORNAK_BUILD_WIZARD=OFF -DVORNAK_BUILD_TESTS=OFF \
    -DVORNAK_SYSTEM_STORMLIB=$system >/dev/null
  cmake --build "build-fuzz-$release" -j"$(nproc)" --target ArchiveFuzzer
done

# The same seeds as scripts/fuzz.sh gives the archive target: whole real maps below 256 KB.
rm -rf "$out"
mkdir -p "$out/seeds"
if [ -d "$realmaps/maps" ]; then
  for map in "$realmaps"/maps/*; do
    if [ "$(stat -c %s "$map")" -lt 262144 ]; then cp "$map" "$out/seeds/"; fi
  done
else
  echo "fuzz-stormlib: $realmaps is absent; both runs start from nothing"
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The first stack frame that is neither the sanitizers', libFuzzer's, libc's nor an allocator's.
crash_site() {
  { "$@" 2>&1 || true; } | grep -E '^ +#[0-9]+ ' |
    grep -vE '__sanitizer|__interceptor|fuzzer::|libc\.so|__assert|in raise|in abort|pthread_kill|in (malloc|calloc|realloc|operator new)|LLVMFuzzerTestOneInput' |
    head -n 1 | sed -E 's/^ +#[0-9]+ 0x[0-9a-f]+ in //; s#/[^ ]*/##' || true
}

for release in 922 940; do
  fuzzer="build-fuzz-$release/fuzz/ArchiveFuzzer"
  mkdir -p "$out/$release/corpus" "$out/$release/artifacts"
  echo "fuzz-stormlib: StormLib $release for $seconds s"
  "$fuzzer" -fork=1 -ignore_crashes=1 -max_total_time="$seconds" -timeout=60 -max_len=262144 \
    -artifact_prefix="$out/$release/artifacts/" "$out/$release/corpus" "$out/seeds" >"$out/$release.log" 2>&1 || true
  last=$(grep -E '^#[0-9]+: ' "$out/$release.log" | tail -n 1)
  echo "fuzz-stormlib: $release executions: $(echo "$last" | sed -E 's/^#([0-9]+):.*/\1/'), oom/timeout/crash: $(echo "$last" | sed -E 's#.*oom/timeout/crash: ([0-9/]+).*#\1#')"
  : >"$out/$release/sites.txt"
  for artifact in "$out/$release/artifacts/"*; do
    [ -e "$artifact" ] || continue
    echo "$(basename "$artifact" | cut -d- -f1) $(stat -c %s "$artifact") B: $(crash_site "$fuzzer" "$artifact")" |
      tee -a "$out/$release/sites.txt" | sed "s/^/fuzz-stormlib: $release /"
  done
  echo "fuzz-stormlib: $release distinct sites: $(cut -d: -f2- "$out/$release/sites.txt" | sort -u | grep -c . || true)"
done

# What 9.22 crashed on, once through 9.40.
still=0 total=0
for artifact in "$out/922/artifacts/"*; do
  [ -e "$artifact" ] || continue
  total=$((total + 1))
  if build-fuzz-940/fuzz/ArchiveFuzzer -timeout=60 "$artifact" >"$out/replay.log" 2>&1; then
    echo "fuzz-stormlib: 9.40 on $(basename "$artifact"): clean"
  else
    still=$((still + 1))
    echo "fuzz-stormlib: 9.40 on $(basename "$artifact"): FAILS at $(crash_site build-fuzz-940/fuzz/ArchiveFuzzer "$artifact")"
  fi
done
echo "fuzz-stormlib: of 9.22's $total inputs, $still still fail on 9.40"
