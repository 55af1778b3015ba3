#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Without an argument it opens
# the demo dossier, creating it first when there is none.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${MERLON_BUILD_DIR:-$top/build}"
MERLON_BUILD_DIR="$build" bash "$top/scripts/build.sh"
home="${MERLON_HOME:-$HOME/.local/share/merlon}"
args=("$@")
if [ ${#args[@]} -eq 0 ] && [ -x "$build/tools/merlon-demo" ]; then
  demo="$home/demo"
  if ! ls "$demo"/c10*.dbf >/dev/null 2>&1; then
    "$build/tools/merlon-demo" --folder "$demo" --code DEMO --lines 5000
  fi
  args=("$(ls "$demo"/c10*.dbf | head -n 1)")
fi
exec "$build/src/app/merlon" "${args[@]}"
