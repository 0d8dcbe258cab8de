#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds a small C program against the installed
# package twice: with find_package(voxtrail) and with pkg-config.
#   install_consumer.sh BUILD_DIR C_COMPILER
set -euo pipefail
build=${1:?build dir}
cc=${2:-cc}
work=$(mktemp -d /tmp/vx_install_XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

libdir=$(dirname "$(find "$prefix" -name 'libvoxtrail.so' | head -n 1)")
if find "$prefix/share/voxtrail" -name .gitkeep | grep -q .; then
    echo "placeholder files were installed"; exit 1
fi

mkdir -p "$work/consumer"
cat > "$work/consumer/main.c" <<'C'
#include <voxtrail.h>

int main(void) {
    char text[64];
    VOXTRAIL_ANALYSIS* analysis = 0;
    if (VoxtrailGetErrorString(VOXTRAIL_NOERR, sizeof text, text) != VOXTRAIL_NOERR) return 1;
    return VoxtrailGetAnalysis(&analysis, "x.wav", 0, 0) == VOXTRAIL_STARTUP_NOT_CALLED ? 0 : 2;
}
C
cat > "$work/consumer/CMakeLists.txt" <<'C'
cmake_minimum_required(VERSION 3.18)
project(consumer C)
find_package(voxtrail 1.5 REQUIRED)
add_executable(consumer main.c)
target_link_libraries(consumer PRIVATE voxtrail::voxtrail)
C

# Sanitized libraries need their runtime loaded first; the consumer is not instrumented.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0:detect_leaks=0

cmake -S "$work/consumer" -B "$work/consumer-build" -G Ninja -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer-build" >/dev/null
"$work/consumer-build/consumer"

export PKG_CONFIG_PATH=$libdir/pkgconfig
"$cc" -o "$work/consumer-pc" "$work/consumer/main.c" $(pkg-config --cflags --libs voxtrail) \
    -Wl,-rpath,"$(pkg-config --variable=libdir voxtrail)"
"$work/consumer-pc"

# Installed under any prefix, the tool (linked to its installed library) reads the data installed
# with it, not the configured location nor the checkout's: with one file hidden it names its folder.
installed_data=$prefix/share/voxtrail/KvParlo/Data
mv "$installed_data/DtC6dal.dat" "$work/hidden.dat"
if env -u VOXTRAIL_DATA "$prefix/bin/voxtrail" analyze "$work/absent.wav" 2>"$work/err"; then
    echo "the installed tool ran without its installed data"; exit 1
fi
if ! grep -q "data folder '$installed_data'" "$work/err"; then
    echo "the installed tool did not read the data installed with it:"; cat "$work/err"; exit 1
fi
echo "installed package works with find_package and pkg-config"
