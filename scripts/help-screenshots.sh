#!/usr/bin/env bash
# scripts/help-screenshots.sh   remakes the manual's screenshots in resources/help/bilder/
# from the program's own windows, on an X server of its own (Xvfb, one 1920x1080 monitor).
# The build does not run this; the pictures are committed.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${SCORELANE_BUILD_DIR:-$top/build}
[ -f "$build/CMakeCache.txt" ] || cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target help_screenshots
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
# A throwaway settings folder: the pictures must not depend on the operator's settings.
XDG_CONFIG_HOME=$(mktemp -d) QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1920x1080x24" "$build/tools/help_screenshots" "$top/resources/help/bilder"
