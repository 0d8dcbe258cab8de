#!/usr/bin/env bash
# Runs each libFuzzer harness for a bounded time (default 600 s each), or over its seed corpus
# only with --seeds-only. New inputs go to a scratch corpus, never into the committed seeds.
#   scripts/fuzz.sh [--build-dir DIR] [--seconds N] [--seeds-only] [harness...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
seconds=600
seeds_only=0
harnesses=()
while [ $# -gt 0 ]; do
    case $1 in
        --build-dir) build=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --seeds-only) seeds_only=1; shift ;;
        *) harnesses+=("$1"); shift ;;
    esac
done
[ ${#harnesses[@]} -gt 0 ] || harnesses=(fuzz_ini fuzz_wav fuzz_aiff fuzz_sphere fuzz_weights fuzz_dictionary fuzz_lexicon)

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVOXTRAIL_FUZZ=ON -DVOXTRAIL_SANITIZE=ON
fi
cmake --build "$build" --target "${harnesses[@]}"

for h in "${harnesses[@]}"; do
    seeds=$root/tests/fuzz/corpus/$h
    exe=$(find "$build" -type f -name "$h" -perm -u+x | head -n 1)
    if [ "$seeds_only" = 1 ]; then
        echo "== $h: seed corpus"
        "$exe" -runs=0 "$seeds"
    else
        work=$build/corpus-work/$h
        mkdir -p "$work" "$build/artifacts"
        echo "== $h: ${seconds}s"
        "$exe" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
            -artifact_prefix="$build/artifacts/$h-" "$work" "$seeds"
    fi
done
