#!/usr/bin/env bash
# Installs, through apt-get, what the build, the wizard and the tests use.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git patch
  qt6-base-dev libgl-dev
  smpq zlib1g-dev libdeflate-dev
  # The system's StormLib and its crypto: the VORNAK_SYSTEM_STORMLIB build and scripts/fuzz-stormlib.sh.
  libstorm-dev libtomcrypt-dev libtommath-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine wine64 zip ccache
  clang-14 libfuzzer-14-dev libclang-rt-14-dev
  xvfb xauth fonts-wine
  xdotool openbox imagemagick
  gnuplot-nox time
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
