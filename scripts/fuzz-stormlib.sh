#!/usr/bin/env bash
# Which StormLib survives hostile maps better: the archive fuzzer runs for the same time against
# Debian's StormLib 9.22 (VORNAK_SYSTEM_STORMLIB=ON) and against the pinned 9.40 built from
# source (instrumented like the rest of the program), from the same seeds, one worker each;
# then each release runs what the other found: 9.22's failing inputs and both corpora.
#   scripts/fuzz-stormlib.sh          300 seconds per release
#   scripts/fuzz-stormlib.sh 1800
# Seeds: the real maps scripts/fuzz.sh gives the archive target, and a few crafted maps.
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

# Whole real maps below 256 KB, as scripts/fuzz.sh gives the archive target.
rm -rf "$out"
mkdir -p "$out/seeds"
if [ -d "$realmaps/maps" ]; then
  for map in "$realmaps"/maps/*; do
    if [ "$(stat -c %s "$map")" -lt 262144 ]; then cp "$map" "$out/seeds/"; fi
  done
else
  echo "fuzz-stormlib: $realmaps is absent; both runs start from the crafted seeds"
fi
# Small maps made with smpq whose entries take the ways real maps seldom take, into the code the
# structure check cannot reach: encrypted entries (also with the key fixed to their place),
# PKWARE, Huffman with ADPCM, bzip2, sparse, sector checksums. VORNAK_FUZZ_CRAFTED=0 leaves them out.
if [ "${VORNAK_FUZZ_CRAFTED:-1}" != 0 ]; then
  seeds=$(cd "$out/seeds" && pwd)
  # add <map> "<smpq options>" <entries from Data/>...
  add() { local map=$1 options=$2; shift 2; (cd Data && smpq -q -a $options "$seeds/$map" "$@"); }
  for map in encrypted-zlib encrypted-pkware huffman-adpcm bzip2-sparse crc-pkware; do
    smpq -q -M 1 -c "$seeds/$map.w3x"
  done
  add encrypted-zlib.w3x "-E -C ZLIB" war3map.j war3map.w3i
  add encrypted-pkware.w3x "-E -F -C PKWARE" war3map.j war3map.wts
  add huffman-adpcm.w3x "-C HUFFMANN+ADPCM_MONO" war3map.w3u
  add huffman-adpcm.w3x "-C HUFFMANN+ADPCM_STEREO" war3map.w3c
  add huffman-adpcm.w3x "-E -C HUFFMANN" war3map.j
  add bzip2-sparse.w3x "-C BZIP2" war3map.j
  add bzip2-sparse.w3x "-C SPARSE+ZLIB" war3map.w3i
  add crc-pkware.w3x "-S -E -C ZLIB+PKWARE" war3map.j war3map.wts
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Runs one input once (a hang is cut at 10 s): prints nothing when it ends well, else what
# ended it and the first stack frame that is neither the sanitizers', libFuzzer's, libc's nor an
# allocator's (functions by name, unnamed code by library; lines kept, offsets dropped).
outcome() {
  local log="$out/one.log" kind frame
  "$1" -timeout=10 "$2" >"$log" 2>&1 && return 0
  kind=$(grep -oE 'libFuzzer: timeout|AddressSanitizer: [a-z-]+|LeakSanitizer|out-of-memory|libFuzzer: deadly signal' "$log" | head -n 1)
  frame=$(grep -E '^ +#[0-9]+ ' "$log" |
    grep -vE '__sanitizer|__interceptor|fuzzer::|libc\.so|__assert|in raise|in abort|pthread_kill|in (malloc|calloc|realloc|operator new)|LLVMFuzzerTestOneInput| in _init ' |
    head -n 1 | sed -E 's/^ +#[0-9]+ 0x[0-9a-f]+ (in )?//; s/ ?\(BuildId[^)]*\)//; s#/[^ ]*/##g; s/\+0x[0-9a-f]+//')
  echo "${kind:-failure} in ${frame:-?}"
}

# replay <fuzzer> <folder> <label>: every input of the folder once; each failure, then the count.
replay() {
  local total=0 failed=0 input result
  : >"$out/$3.txt"
  for input in "$2"/*; do
    [ -e "$input" ] || continue
    total=$((total + 1))
    result=$(outcome "$1" "$input")
    [ -n "$result" ] || continue
    failed=$((failed + 1))
    echo "$(basename "$input") $(stat -c %s "$input") B: $result" >>"$out/$3.txt"
  done
  sed "s/^/fuzz-stormlib: $3: /" "$out/$3.txt"
  echo "fuzz-stormlib: $3: $failed of $total inputs fail, at $(cut -d: -f2- "$out/$3.txt" | sort -u | grep -c . || true) distinct sites"
}

for release in 922 940; do
  mkdir -p "$out/$release/corpus" "$out/$release/artifacts"
  echo "fuzz-stormlib: StormLib $release for $seconds s"
  "build-fuzz-$release/fuzz/ArchiveFuzzer" -fork=1 -ignore_crashes=1 -max_total_time="$seconds" -timeout=60 \
    -max_len=262144 -artifact_prefix="$out/$release/artifacts/" "$out/$release/corpus" "$out/seeds" \
    >"$out/$release.log" 2>&1 || true
  last=$(grep -E '^#[0-9]+: ' "$out/$release.log" | tail -n 1)
  echo "fuzz-stormlib: $release executions: $(echo "$last" | sed -E 's/^#([0-9]+):.*/\1/'), oom/timeout/crash: $(echo "$last" | sed -E 's#.*oom/timeout/crash: ([0-9/]+).*#\1#')"
  replay "build-fuzz-$release/fuzz/ArchiveFuzzer" "$out/$release/artifacts" "$release-inputs-on-$release"
done

# Each release on what the other kept: 9.22's failing inputs, and both corpora (the inputs that
# reached new code; 9.40's reach into StormLib itself, whose code is instrumented there).
replay build-fuzz-940/fuzz/ArchiveFuzzer "$out/922/artifacts" 922-inputs-on-940
replay build-fuzz-940/fuzz/ArchiveFuzzer "$out/922/corpus" 922-corpus-on-940
replay build-fuzz-922/fuzz/ArchiveFuzzer "$out/940/corpus" 940-corpus-on-922
