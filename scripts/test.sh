#!/usr/bin/env bash
# Fresh machine to full test run: set-up, build, the whole suite. Fails when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
# Every test; the window's without a display (the preset makes Qt draw offscreen).
ctest --preset default -j"$(nproc)"
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
. scripts/ccache.sh
cmake --preset asan
cmake --build --preset asan -j"$(nproc)"
ctest --preset asan -j"$(nproc)"
# Each fuzz target for a bounded time (longer runs: scripts/fuzz.sh <seconds>).
bash scripts/fuzz.sh 60
