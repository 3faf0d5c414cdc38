#!/usr/bin/env bash
# Fresh machine to full test run: set-up, build, the whole suite. Fails when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
# Tests that drive the window need no display.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
# The real Linux program driven as a user drives it, under a private Xvfb, into a map whose
# (listfile) has a wrong check: every name of the map's files must stay.
bash scripts/linux-journey.sh
# The Windows program and its tests, run under wine; the window driven as a user drives it,
# under wine and a private Xvfb (screenshots kept in the build); then both packages in dist/.
bash scripts/build-windows.sh
VORNAK_SCREENSHOTS=build-windows/journey-screenshots bash scripts/windows-journeys.sh
# The install beside a program that holds files as a virus scanner does.
bash scripts/windows-holder-journeys.sh
bash scripts/package.sh

# The whole suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
# StormLib's own leaks are suppressed (scripts/lsan.supp); everything else must be clean.
launchers=()
if command -v ccache >/dev/null; then
  launchers=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNAK_SANITIZE=ON "${launchers[@]}"
cmake --build build-asan -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 900
# Each fuzz target for a bounded time (longer runs: scripts/fuzz.sh <seconds>).
bash scripts/fuzz.sh 60
