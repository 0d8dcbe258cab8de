#!/usr/bin/env bash
# The README's two commands, run against stand-ins for cmake and ctest that log their arguments:
# the demo must not leave a tests-off cache where the test script builds, and every ctest run
# must fail when it finds no tests.
#   build_scripts_test.sh SOURCE_DIR
set -uo pipefail
src=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/stubs" "$work/tree"
cp -r "$src/scripts" "$work/tree/"
log=$work/log
for tool in cmake ctest; do
    printf '#!/bin/sh\necho "%s $*" >> "%s"\n' "$tool" "$log" > "$work/stubs/$tool"
done
# Every package counts as installed, so nothing is fetched.
printf '#!/bin/sh\nprintf "install ok installed"\n' > "$work/stubs/dpkg-query"
chmod +x "$work/stubs"/*

PATH=$work/stubs:$PATH bash "$work/tree/scripts/demo.sh" >/dev/null 2>&1
demo=$(cat "$log" 2>/dev/null)
: > "$log"
PATH=$work/stubs:$PATH bash "$work/tree/scripts/test.sh" >/dev/null 2>&1
suite=$(cat "$log")

fail=0
check() { # description, condition
    if ! eval "$2"; then
        echo "FAIL: $1"
        fail=1
    fi
}
demo_dir=$(sed -n 's/^cmake .*-B \([^ ]*\).*/\1/p' <<< "$demo" | head -n 1)
release=$(grep -m1 -- '-DCMAKE_BUILD_TYPE=Release' <<< "$suite")
check "the demo configures a build folder" '[ -n "$demo_dir" ]'
check "the demo's build folder ($demo_dir) is not one the test script builds" \
    '! grep -q -- "-B $demo_dir " <<< "$suite"'
check "the release stage turns the tests on" 'grep -q -- "-DVOXTRAIL_BUILD_TESTS=ON" <<< "$release"'
check "ctest runs" 'grep -q "^ctest " <<< "$suite"'
check "every ctest run fails without tests" \
    '! grep "^ctest " <<< "$suite" | grep -qv -- "--no-tests=error"'
[ "$fail" = 0 ] && echo "build scripts: ok"
exit "$fail"
