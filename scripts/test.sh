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

# The walks' and runs' test programs run whole under AddressSanitizer, the balances' core under
# ThreadSanitizer, each in a tree of its own holding only those programs and what they link.
for san in asan tsan; do
  sbuild="$build-$san"
  cmake -S "$top" -B "$sbuild" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERLON_${san^^}=ON \
    -DMERLON_BENCH=OFF >/dev/null
  cmake --build "$sbuild" -j "${MERLON_JOBS:-$(nproc)}" --target merlon_${san}_tests
  ctest --test-dir "$sbuild" --output-on-failure -L "$san" -j "${MERLON_JOBS:-$(nproc)}"
done
