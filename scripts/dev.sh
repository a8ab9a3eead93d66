#!/usr/bin/env bash
# scripts/dev.sh run   installs what is missing, builds and starts Scorelane
# scripts/dev.sh test  installs what is missing, builds and runs every test
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"
"$top/scripts/install-deps.sh"

configure() {
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

case "${1:-}" in
run)
    configure
    cmake --build "$build" --target Scorelane
    exec "$build/src/Scorelane"
    ;;
test)
    configure -DSCORELANE_WERROR=ON
    cmake --build "$build" -j "$(nproc)"
    export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
    chmod 700 "$XDG_RUNTIME_DIR"
    cd "$build"
    # One X server for the tests that need X11; the others run offscreen.
    exec xvfb-run -a -s "-screen 0 1920x1080x24" \
        ctest --output-on-failure --timeout 180 -j "$(nproc)"
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
