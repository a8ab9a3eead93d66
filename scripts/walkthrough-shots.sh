#!/usr/bin/env bash
# Remakes the pictures of docs/walkthrough.md from examples/, offscreen:
#   scripts/walkthrough-shots.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target walkthrough_shots
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
"$build/tools/walkthrough_shots" "$top/examples" "$top/docs"
