#!/usr/bin/env bash
# Installs what is needed, then builds and runs the whole test suite twice: a release build with
# warnings as errors, and an AddressSanitizer/UndefinedBehaviorSanitizer build. The fuzz
# harnesses replay their seed corpora in both; a clang build checks that they link libFuzzer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-$(nproc)}

bash scripts/install-deps.sh

# Every option a stage needs is passed, so a cache left by another configuration (the demo's,
# a hand build) cannot turn the tests off; ctest fails rather than pass with none found.
run_suite() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja -DVOXTRAIL_WERROR=ON -DVOXTRAIL_BUILD_TESTS=ON \
        -DVOXTRAIL_FUZZ=OFF "$@"
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --no-tests=error --timeout 600
}

echo "== release build"
run_suite build/release -DCMAKE_BUILD_TYPE=Release -DVOXTRAIL_SANITIZE=OFF

echo "== sanitizer build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOXTRAIL_SANITIZE=ON

echo "== fuzz harnesses (libFuzzer, seed corpora only)"
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DVOXTRAIL_FUZZ=ON -DVOXTRAIL_SANITIZE=ON -DVOXTRAIL_WERROR=ON
bash scripts/fuzz.sh --build-dir build/fuzz --seeds-only
