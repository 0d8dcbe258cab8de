#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job on the bundled evaluation sounds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh >&2
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOXTRAIL_BUILD_TESTS=OFF >&2
cmake --build build/release -j "$(nproc)" >&2

sounds=build/release/KvParlo/Evaluation_Sounds
for sound in "$sounds"/*.wav; do
    build/release/tools/soundinfo/vx-soundinfo "$sound"
done
