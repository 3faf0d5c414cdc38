#!/usr/bin/env bash
# Fresh machine to full test run: set-up, build, the whole suite. Fails when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
# Tests that drive the window need no display.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 600
bash scripts/check-windows.sh
