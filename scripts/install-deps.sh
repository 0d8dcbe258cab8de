#!/usr/bin/env bash
# Installs every system package the project needs to build, test and fuzz; with --training also
# what regenerates the shipped models. Idempotent; run as root (or with sudo available).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    clang libclang-rt-dev
    libgtest-dev googletest libbenchmark-dev
    libsndfile1-dev libkissfft-dev libcli11-dev nlohmann-json3-dev librsvg2-bin libpng-dev
    sox libsox-fmt-all espeak-ng
    libpocketsphinx-dev libsphinxbase-dev pocketsphinx-en-us
    python3 python3-numpy python3-torch
    qtbase5-dev qtscript5-dev qtmultimedia5-dev libqt5multimedia5-plugins xvfb xauth
    blender
)
if [ "${1:-}" = "--training" ]; then
    # OpenBLAS in place of the reference BLAS Debian's PyTorch falls back to: the trainer's
    # small matrix products run about six times faster (serial: training runs one thread each).
    # pocketsphinx is the training-time teacher that labels every corpus at the phone level.
    packages+=(festlex-cmu pocketsphinx pocketsphinx-en-us libopenblas0-serial)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
    echo "install-deps.sh: all packages present"
    exit 0
fi
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps.sh: run as root (apt-get needs it)" >&2; exit 1; }
    as_root=(sudo)
fi
echo "install-deps.sh: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
