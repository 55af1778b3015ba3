#!/usr/bin/env bash
# Installs what is missing, then configures and builds the program, the tests and the benchmarks.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/install-deps.sh"
build="${MERLON_BUILD_DIR:-$top/build}"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
jobs="${MERLON_JOBS:-$(nproc)}"
cmake --build "$build" -j "$jobs"
