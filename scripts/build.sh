#!/usr/bin/env bash
# Configures and builds into build/ (the program lands in build/app with Data/ and banner.gif).
set -euo pipefail
cd "$(dirname "$0")/.."
launchers=()
if command -v ccache >/dev/null; then
  launchers=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launchers[@]}" "$@"
cmake --build build -j"$(nproc)"
