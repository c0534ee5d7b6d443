#!/usr/bin/env bash
# Configures and builds everything for the programs this machine runs (see
# common.sh) into their build folder. Where those are the 64-bit build, the
# 32-bit program is built as well, into build/. Arguments go to the main build.
set -euo pipefail
source "$(dirname "$0")/common.sh"
select_arch

configure() { # build folder, architecture, extra options
  local dir=$1 arch=$2
  shift 2
  [ -f "$dir/CMakeCache.txt" ] ||
    cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw.cmake" \
      -DVISTORO_ARCH="$arch" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
}

build=$(build_dir)
configure "$build" "$VISTORO_ARCH"
cmake --build "$build" -j"$(nproc)" "$@"
if [ "$VISTORO_ARCH" != i686 ]; then
  configure "$root/build" i686 -DVISTORO_TESTS=OFF -DVISTORO_BENCH=OFF
  cmake --build "$root/build" -j"$(nproc)" --target vistoro >/dev/null
fi
