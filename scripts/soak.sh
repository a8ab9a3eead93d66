#!/usr/bin/env bash
# scripts/soak.sh SECONDS
#
# Runs the real program for SECONDS on an X server of its own (two monitors, openbox)
# with a start list of 1,000 competitors, opened through Ctrl+O and the file dialog,
# and presses random keys the way an operator might: marks, Enter, Esc, Tab, arrows,
# page keys, F9, Ctrl+A, Ctrl+T, F5, F2 with changes in the settings dialog, Alt+0 to
# Alt+5. Any dialog or message box that opens is dismissed. Every few seconds the
# program must answer a Ctrl+T or F5 within a second; at the end its resident memory
# must have grown by less than 10 MiB over the second half of the run, and it must
# end through its closing question with status 0. Settings and data go to a
# throwaway folder. Exits non-zero, saying why, on any failure.
#
# SCORELANE_BUILD_DIR names the build folder (default: build); SOAK_SEED fixes the keys;
# SOAK_KEEP=1 keeps the working folder (program output, pictures of the dialogs seen).
set -euo pipefail

usage() {
    echo "usage: $0 SECONDS" >&2
    exit 2
}
[ $# -eq 1 ] || usage
[[ "$1" =~ ^[1-9][0-9]*$ ]] || usage
duration=$1

top=$(cd "$(dirname "$0")/.." && pwd)
build=${SCORELANE_BUILD_DIR:-$top/build}
program="$build/src/Scorelane"
checkEvery=3 # seconds between the answer checks
maxGrowthKiB=$((10 * 1024))

for tool in Xvfb openbox xdotool xwininfo xprop xrandr; do
    command -v "$tool" >/dev/null || { echo "soak: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
# A fresh clone has no build yet: configure one as scripts/dev.sh does.
if [ ! -f "$build/CMakeCache.txt" ]; then
    echo "soak: configuring a build in $build"
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target Scorelane scorelane-xlsreader >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/scorelane-soak.XXXXXX")
pid=""
wmPid=""
serverPid=""
finished=0

cleanup() {
    local status=$?
    [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
    [ -n "$wmPid" ] && kill "$wmPid" 2>/dev/null
    [ -n "$serverPid" ] && kill "$serverPid" 2>/dev/null
    wait 2>/dev/null
    if [ "$finished" -eq 1 ] && [ -z "${SOAK_KEEP:-}" ]; then
        rm -rf "$work"
    else
        echo "soak: the program's output, the start list and pictures of the dialogs are kept in $work" >&2
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Milliseconds since the epoch.
now() { echo $((${EPOCHREALTIME/[.,]/} / 1000)); }
started=$(now)
log() {
    local ms=$(($(now) - started))
    printf 'soak %5d.%ds: %s\n' $((ms / 1000)) $((ms % 1000 / 100)) "$*"
}
fail() {
    log "FAILED: $*" >&2
    if [ -s "$work/program.log" ]; then
        echo "--- last lines of the program's output:" >&2
        tail -n 20 "$work/program.log" >&2
    fi
    exit 1
}

# Polls cmd every 50 ms for up to seconds; true as soon as it succeeds.
within() {
    local deadline=$(($(now) + $1 * 1000))
    shift
    while :; do
        "$@" && return 0
        [ "$(now)" -gt "$deadline" ] && return 1
        sleep 0.05
    done
}

# --- The X server, two monitors as on an operator's desk, and the window manager.
mkdir -p "$work/config" "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=xcb
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 3200x1080x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
serverPid=$!
exec 3>&-
within 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"
# The primary monitor (1920x1080) on the right, a second one (1280x1024) left of it.
xrandr --setmonitor RIGHT 1920/508x1080/286+1280+0 screen >/dev/null
xrandr --setmonitor LEFT 1280/338x1024/270+0+0 none >/dev/null
openbox >"$work/openbox.log" 2>&1 &
wmPid=$!
within 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || fail "openbox did not start"
log "X server $DISPLAY with openbox"

# --- A start list of 1,000 competitors, Windows-1252 with CR LF, as clubs send them.
startList="$work/Starterliste.txt"
{
    printf 'Nr.\tName\tVerein\r\n'
    for n in $(seq 1 1000); do
        printf '%d\tM\xfcller-%d, J\xf6rg\tTSC Gr\xfcn-Wei\xdf %d\r\n' "$n" "$n" $((n % 37))
    done
} >"$startList"

# --- The program.
"$program" >"$work/program.log" 2>&1 &
pid=$!

windowsOfProgram() { xdotool search --onlyvisible --pid "$pid" 2>/dev/null || true; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
alive() { kill -0 "$pid" 2>/dev/null || fail "the program ended by itself"; }
rssKiB() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }

findMain() { main=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Scorelane 1\.6$' 2>/dev/null | head -n 1) && [ -n "$main" ]; }
within 20 findMain || fail "the main window did not appear"
log "main window $main, process $pid"
# The pointer rests in a corner, away from tool buttons and their tool tips.
xdotool mousemove 3199 1079
tv=""

# Dialogs and message boxes: the program's windows that stand for another one. The
# search also finds native child windows (the TV window's video area), tool tips and
# pop-ups, which are none.
# A window keeps its kind, so each is asked once: fewer processes, more keys per second.
declare -A kind=()
isDialog() {
    if [ -z "${kind[$1]:-}" ]; then
        kind[$1]=other
        xprop -id "$1" WM_TRANSIENT_FOR 2>/dev/null | grep -q 'window id' && kind[$1]=dialog
    fi
    [ "${kind[$1]}" = dialog ]
}
# Fills openDialogs; true when there is one.
openDialogs=()
findDialogs() {
    openDialogs=()
    local w
    for w in $(windowsOfProgram); do
        isDialog "$w" && openDialogs+=("$w")
    done
    [ ${#openDialogs[@]} -gt 0 ]
}

# Without --sync, which waits for ever on a window that never becomes active.
activate() {
    xdotool windowactivate "$1" 2>/dev/null || return 0
    within 1 sh -c "[ \"\$(xdotool getactivewindow 2>/dev/null)\" = $1 ]" || true
}

focusProgram() {
    local active
    active=$(xdotool getactivewindow 2>/dev/null || true)
    [ -n "$active" ] && { [ "$active" = "$main" ] || [ "$active" = "$tv" ]; } && return 0
    if viewable "$main"; then
        activate "$main"
    elif [ -n "$tv" ] && viewable "$tv"; then
        activate "$tv"
    else
        fail "neither the main window nor the TV window is shown"
    fi
}

declare -A dismissed=()
dismissDialogs() {
    local attempt w name
    for attempt in $(seq 1 12); do
        findDialogs || return 0
        for w in "${openDialogs[@]}"; do
            name=$(xdotool getwindowname "$w" 2>/dev/null || echo "?")
            if [ "$attempt" -eq 1 ]; then
                if [ -z "${dismissed["$name"]:-}" ]; then
                    log "first \"$name\" window ($w) dismissed"
                    # For the record, when ImageMagick is there to take the picture.
                    command -v import >/dev/null && import -window root "$work/dialog-${#dismissed[@]}.png" 2>/dev/null || true
                fi
                dismissed["$name"]=$((${dismissed["$name"]:-0} + 1))
            fi
            activate "$w"
            # Esc first; a window that ignores it gets Enter.
            if [ "$attempt" -le 6 ]; then xdotool key Escape; else xdotool key Return; fi
        done
        sleep 0.1
    done
    findDialogs && fail "a dialog stays open: \"$(xdotool getwindowname "${openDialogs[0]}")\""
    return 0
}

# --- Open the start list as the operator does: Ctrl+O, the path, Enter.
focusProgram
readBefore=$(awk '/^rchar:/ { print $2 }' "/proc/$pid/io")
xdotool key ctrl+o
within 10 findDialogs || fail "Ctrl+O opened no file dialog"
fileDialog=${openDialogs[0]}
log "file dialog \"$(xdotool getwindowname "$fileDialog")\""
activate "$fileDialog"
xdotool key ctrl+a
xdotool type --delay 5 "$startList"
xdotool key Return
# The name completer may take the first Enter.
within 3 sh -c "! xwininfo -id $fileDialog 2>/dev/null | grep -q IsViewable" || xdotool key Return
within 10 sh -c "! xwininfo -id $fileDialog 2>/dev/null | grep -q IsViewable" \
    || fail "the file dialog did not take the start list's path"
sleep 1
findDialogs && fail "opening the start list brought up \"$(xdotool getwindowname "${openDialogs[0]}")\""
readAfter=$(awk '/^rchar:/ { print $2 }' "/proc/$pid/io")
listSize=$(stat -c %s "$startList")
[ $((readAfter - readBefore)) -ge "$listSize" ] || fail "the program did not read the start list"
log "start list of 1,000 competitors read ($listSize bytes)"

# --- The answer check: Ctrl+T, or F5 while the TV window is up, must change a window's
# map state within a second. The first Ctrl+T also finds the TV window.
checks=0
samples=()
check() {
    alive
    dismissDialogs
    focusProgram
    if [ -z "$tv" ]; then
        xdotool key ctrl+t
        # The window manager's WM_STATE marks a top-level window, not a dialog.
        findTv() {
            local w
            for w in $(windowsOfProgram | grep -vx "$main"); do
                if ! isDialog "$w" && xprop -id "$w" WM_STATE 2>/dev/null | grep -q 'window state'; then
                    tv=$w
                    return 0
                fi
            done
            return 1
        }
        # The first showing builds the window; only the later ones must be quick.
        within 5 findTv || fail "Ctrl+T showed no TV window within 5 seconds"
        log "TV window $tv"
    elif viewable "$tv" && [ $((checks % 2)) -eq 1 ]; then
        # With the TV window over the main window (one monitor), F5 brings a main window that
        # is shown but not in front to the front, and puts away the one in front.
        local mainWas=1
        viewable "$main" || mainWas=0
        local mainActive=0
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$main" ] && mainActive=1
        xdotool key F5
        if [ "$mainWas" -eq 0 ]; then
            within 1 viewable "$main" || fail "F5 did not show the main window within a second"
        elif [ "$mainActive" -eq 1 ]; then
            within 1 sh -c "! xwininfo -id $main | grep -q IsViewable" || fail "F5 did not hide the main window within a second"
        else
            within 1 sh -c "[ \"\$(xdotool getactivewindow)\" = $main ]" || fail "F5 did not bring the main window to the front within a second"
        fi
    else
        local tvWas=1
        viewable "$tv" || tvWas=0
        xdotool key ctrl+t
        if [ "$tvWas" -eq 1 ]; then
            within 1 sh -c "! xwininfo -id $tv | grep -q IsViewable" || fail "Ctrl+T did not hide the TV window within a second"
            # Hiding the TV window brings a hidden main window back.
            within 1 viewable "$main" || fail "no window left after the TV window was hidden"
        else
            within 1 viewable "$tv" || fail "Ctrl+T did not show the TV window within a second"
        fi
    fi
    checks=$((checks + 1))
    samples+=("$(($(now) - soakStart)) $(rssKiB)")
}

# --- The random phase. Digits come most often, as marks do.
keys=(0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9 0 1 2 3 4 5 6 7 8 9
    Return Return Return Return Escape Tab Tab Up Down Left Right Prior Next
    F9 ctrl+a ctrl+t F5 F5 F2 alt+0 alt+1 alt+2 alt+3 alt+4 alt+5)
RANDOM=${SOAK_SEED:-$$}
declare -A sent=()
settingsChanges=0

settingsDialog() {
    local dialog
    findSettings() { dialog=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Einstellungen$' 2>/dev/null | head -n 1) && [ -n "$dialog" ]; }
    if ! within 2 findSettings; then
        # A message box that came up late keeps F2 from its window.
        findDialogs || fail "F2 opened no settings dialog within 2 seconds"
        dismissDialogs
        return 0
    fi
    activate "$dialog"
    # Move between the judge count, the monitor and the buttons, and change what has the focus.
    local steps=$((RANDOM % 5)) i
    for i in $(seq 1 $steps); do
        case $((RANDOM % 3)) in
        0) xdotool key Tab ;;
        1) xdotool key Up ;;
        2) xdotool key Down ;;
        esac
    done
    if [ $((RANDOM % 4)) -eq 0 ]; then xdotool key Escape; else xdotool key Return; fi
    settingsChanges=$((settingsChanges + 1))
}

soakStart=$(now)
end=$((soakStart + duration * 1000))
check
rssStart=$(rssKiB)
log "random keys for $duration s; resident memory at the start $rssStart KiB"
nextCheck=$(($(now) + checkEvery * 1000))
pressed=0
while [ "$(now)" -lt "$end" ]; do
    key=${keys[$((RANDOM % ${#keys[@]}))]}
    # Each look at the windows costs processes: every few keys is often enough.
    [ $((pressed % 4)) -eq 0 ] && focusProgram
    xdotool key "$key"
    sent["$key"]=$((${sent["$key"]:-0} + 1))
    pressed=$((pressed + 1))
    [ "$key" = F2 ] && settingsDialog
    [ $((pressed % 4)) -eq 0 ] && findDialogs && dismissDialogs
    sleep 0.0$((RANDOM % 5))
    if [ "$(now)" -ge "$nextCheck" ]; then
        check
        nextCheck=$(($(now) + checkEvery * 1000))
        [ $((checks % 20)) -eq 0 ] && log "$pressed keys, $checks answer checks, resident memory $(rssKiB) KiB"
    fi
done
check

[ -n "${SOAK_KEEP:-}" ] && command -v import >/dev/null && { import -window root "$work/end.png" || true; }

# --- Memory over the second half of the run.
half=$((duration * 500))
rssHalf=""
for sample in "${samples[@]}"; do
    set -- $sample
    if [ "$1" -ge "$half" ]; then
        rssHalf=$2
        break
    fi
done
rssEnd=$(rssKiB)
rssMax=$(printf '%s\n' "${samples[@]}" | awk '$2 > m { m = $2 } END { print m }')
summary=""
for key in "${!sent[@]}"; do summary+="$key:${sent[$key]} "; done
log "sent $pressed keys: $summary"
log "settings dialog changed or cancelled $settingsChanges times; $checks answer checks passed"
for name in "${!dismissed[@]}"; do log "dismissed \"$name\" ${dismissed[$name]} times"; done
log "resident memory: start $rssStart KiB, half-time $rssHalf KiB, end $rssEnd KiB, largest $rssMax KiB"
growth=$((rssEnd - rssHalf))
[ "$growth" -lt "$maxGrowthKiB" ] || fail "resident memory grew by $growth KiB over the second half"

# --- The end, through the closing question. The main window must be up for it.
dismissDialogs
if viewable "$tv"; then
    focusProgram
    xdotool key ctrl+t
    within 2 sh -c "! xwininfo -id $tv | grep -q IsViewable" || fail "Ctrl+T did not hide the TV window"
fi
within 2 viewable "$main" || fail "the main window is not shown at the end"
activate "$main"
xdotool key alt+F4
within 5 findDialogs || fail "closing the main window asked no question"
question=${openDialogs[0]}
[ "$(xdotool getwindowname "$question")" = "Scorelane" ] \
    || fail "closing the main window opened \"$(xdotool getwindowname "$question")\""
# "Ja" sits at 39,60 in the dialog, 75 x 25 pixels.
xdotool mousemove --window "$question" 76 72 click 1
within 15 sh -c "! kill -0 $pid 2>/dev/null" || fail "the program did not end after \"Ja\""
status=0
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
[ -f "$XDG_CONFIG_HOME/Quellmark/Scorelane.ini" ] || fail "the program stored no settings at its end"
log "ended through \"Beenden?\" and \"Ja\" with status 0; growth over the second half $growth KiB"
finished=1
