#!/usr/bin/env bash
# Runs a command on an X server of its own with two monitors side by side:
# the primary one (1920x1080) on the right and a second one (1280x1024) left of it.
set -u
display=""
for n in $(seq 40 99); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }

Xvfb "$display" -screen 0 3200x1080x24 -noreset -nolisten tcp >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null' EXIT
for _ in $(seq 50); do
    DISPLAY=$display xrandr --listmonitors >/dev/null 2>&1 && break
    sleep 0.1
done
export DISPLAY=$display
# Giving the server's own output to the right-hand monitor replaces the automatic
# monitor that would otherwise cover the whole screen.
xrandr --setmonitor RIGHT 1920/508x1080/286+1280+0 screen >/dev/null
xrandr --setmonitor LEFT 1280/338x1024/270+0+0 none >/dev/null
export QT_QPA_PLATFORM=xcb
"$@"
