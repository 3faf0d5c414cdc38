#!/usr/bin/env bash
# Fresh machine to running wizard: set-up, build, start.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
# build/app holds the program with Data/ and banner.gif beside it.
if { [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; } ||
   [ "${QT_QPA_PLATFORM:-}" = offscreen ] || [ "${QT_QPA_PLATFORM:-}" = minimal ]; then
  echo "Built build/app/vornak-installer, but no display is available to show the wizard on (DISPLAY is not set)."
  exit 0
fi
exec build/app/vornak-installer
