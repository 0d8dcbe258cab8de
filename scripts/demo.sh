#!/usr/bin/env bash
# Installs what is needed, builds, and runs the main job: a lip-sync analysis of each bundled
# evaluation sound with its transcript, printed as one line per phoneme (start, end, name).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/install-deps.sh >&2
# A folder of its own: a tests-off cache where scripts/test.sh builds would leave its release
# stage with no tests.
build=build/demo
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOXTRAIL_BUILD_TESTS=OFF \
    -DVOXTRAIL_BUILD_BENCHMARKS=OFF >&2
cmake --build "$build" -j "$(nproc)" >&2

# The shipped data (trained networks, dictionary); the tiny test data stands in while any of
# the six files is missing.
data=data/KvParlo/Data
missing=()
for f in DtC6dal.dat DtC6dl.dat Wt16M9bs.dat Wt16M9fs.dat Wt8S9bs.dat Wt8S9fs.dat; do
    [ -f "$data/$f" ] || missing+=("$f")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "demo.sh: the shipped data folder $data lacks ${missing[*]}." >&2
    echo "demo.sh: falling back to the tiny test networks and dictionary of tests/data;" >&2
    echo "demo.sh: the phonemes below are then NOT meaningful (the networks are random)." >&2
    data=$(mktemp -d)
    trap 'rm -rf "$data"' EXIT
    cp tests/data/recognizer/networks/Wt*.dat tests/data/recognizer/dictionary/DtC6d*.dat "$data"/
fi

voxtrail=$build/cli/voxtrail
sounds=$build/KvParlo/Evaluation_Sounds
status=0
for sound in "$sounds"/*.wav; do
    transcript=${sound%.wav}.txt
    echo "== $(basename "$sound"): $(tr -d '\n' < "$transcript" 2>/dev/null || echo '(no transcript)')"
    # The transcript beside the sound is picked up on its own; the seed fixes the gestures.
    "$voxtrail" analyze "$sound" --data "$data" --seed 1 --format tsv || status=1
done
exit "$status"
