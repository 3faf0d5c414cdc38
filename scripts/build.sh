#!/usr/bin/env bash
# Configures and builds into build/ (the program lands in build/app with Data/ and banner.gif),
# through the "default" preset of CMakePresets.json. Extra arguments go to cmake's configure.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/ccache.sh
cmake --preset default "$@"
cmake --build --preset default -j"$(nproc)"
