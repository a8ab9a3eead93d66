#!/usr/bin/env bash
# Runs a command as a Wayland client of Weston with two 1280x1024 outputs side by side
# (Weston's X11 backend on an X server of its own). Exit 77 when weston or Qt's Wayland
# plugin is missing: scripts/install-deps.sh does not install them, the run is on demand.
set -u
command -v weston >/dev/null || { echo "weston is not installed" >&2; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${SCORELANE_IN_WESTON_X:-}" ]; then
    SCORELANE_IN_WESTON_X=1 exec "$here/two-monitors.sh" "$0" "$@"
fi
runtime=$(mktemp -d)
chmod 700 "$runtime"
XDG_RUNTIME_DIR=$runtime weston --backend=x11-backend.so --output-count=2 --width=1280 --height=1024 \
    --use-pixman --socket=scorelane --debug >"$runtime/weston.log" 2>&1 &
weston=$!
trap 'kill $weston 2>/dev/null; wait $weston 2>/dev/null; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do
    [ -S "$runtime/scorelane" ] && break
    sleep 0.1
done
[ -S "$runtime/scorelane" ] || { echo "weston did not start" >&2; cat "$runtime/weston.log" >&2; exit 1; }
# An absolute socket path: the tests use a runtime folder of their own.
export WAYLAND_DISPLAY=$runtime/scorelane QT_QPA_PLATFORM=wayland
unset DISPLAY
timeout 100 "$@"
