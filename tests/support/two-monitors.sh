#!/usr/bin/env bash
# Runs a command on an X server of its own with two monitors side by side:
# the primary one (1920x1080) on the right and a second one (1280x1024) left of it.
#   two-monitors.sh [--wm openbox] command ...
# With --wm the window manager runs on that server first, and the command sees its name in
# SCORELANE_WM. A missing window manager skips the run (exit 77): scripts/install-deps.sh
# installs it.
set -u
wm=""
if [ "${1:-}" = "--wm" ]; then
    wm=$2
    shift 2
    command -v "$wm" >/dev/null || { echo "$wm is not installed: run scripts/install-deps.sh" >&2; exit 77; }
fi
scratch=$(mktemp -d)
# The server picks a free display itself and names it once it listens: two runs started at
# once (ctest -j) that chose by lock files could both pick the same one and share a screen.
Xvfb -displayfd 3 -screen 0 3200x1080x24 -noreset -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
server=$!
wmpid=""
cleanup() {
    [ -n "$wmpid" ] && kill "$wmpid" 2>/dev/null && wait "$wmpid" 2>/dev/null
    kill $server 2>/dev/null
    wait $server 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
for _ in $(seq 100); do
    grep -q . "$scratch/display" 2>/dev/null && break
    kill -0 $server 2>/dev/null || break
    sleep 0.1
done
display=":$(head -n1 "$scratch/display" 2>/dev/null)"
[ "$display" != ":" ] || { echo "Xvfb did not start" >&2; exit 1; }
for _ in $(seq 50); do
    DISPLAY=$display xrandr --listmonitors >/dev/null 2>&1 && break
    sleep 0.1
done
export DISPLAY=$display
# Giving the server's own output to the right-hand monitor replaces the automatic
# monitor that would otherwise cover the whole screen.
xrandr --setmonitor RIGHT 1920/508x1080/286+1280+0 screen >/dev/null
xrandr --setmonitor LEFT 1280/338x1024/270+0+0 none >/dev/null

if [ -n "$wm" ]; then
    # The window manager's own settings, not the user's.
    XDG_CONFIG_HOME=$scratch XDG_CACHE_HOME=$scratch HOME=$scratch "$wm" >"$scratch/wm.log" 2>&1 &
    wmpid=$!
    # Ready once it has put up its check window on the root window (EWMH).
    ready=""
    for _ in $(seq 100); do
        if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
            ready=1
            break
        fi
        kill -0 "$wmpid" 2>/dev/null || break
        sleep 0.1
    done
    [ -n "$ready" ] || { echo "$wm did not start" >&2; cat "$scratch/wm.log" >&2; exit 1; }
    export SCORELANE_WM=$wm
fi

export QT_QPA_PLATFORM=xcb
# Below the test's own time limit, so that the servers are always cleaned up.
timeout 100 "$@"
