#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through CTest.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${MERLON_BUILD_DIR:-$top/build}"
MERLON_BUILD_DIR="$build" bash "$top/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j "${MERLON_JOBS:-$(nproc)}" --timeout 600

# The fuzz targets are built with clang and run briefly on their seed corpora.
if [ -f "$top/fuzz/CMakeLists.txt" ]; then
  fbuild="$build-fuzz"
  CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$fbuild" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMERLON_FUZZ=ON -DMERLON_TESTS=OFF -DMERLON_BENCH=OFF -DMERLON_GUI=OFF >/dev/null
  cmake --build "$fbuild" -j "${MERLON_JOBS:-$(nproc)}"
  ctest --test-dir "$fbuild" --output-on-failure -L fuzz -j "${MERLON_JOBS:-$(nproc)}"
fi
