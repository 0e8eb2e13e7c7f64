#!/usr/bin/env bash
# The program as a Linux user starts it: --help and --version without a display, wrong
# options, the sample tool's options; then, under Xvfb and openbox, one panel per display
# (a second start brings the panel forward, two racing starts leave one panel, a killed
# panel does not block the next start) and the log categories.
# Usage: instance_cli_e2e.sh <trovimo> <trovimo-sample>. Exit 77 only without an X server.
set -u
program=$1
sample=$2
source "$(dirname "$0")/../support/x11-session.sh"

# --- Command line, no display at all; a hang shows as the timeout's 124.
nodisplay() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10 "$@"; }
for option in --help -h --version -v; do
    nodisplay "$program" "$option" >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" -eq 0 ] || fail "trovimo $option: exit $status without a display"
    [ -s "$work/out" ] && [ ! -s "$work/err" ] || fail "trovimo $option: output on the wrong stream"
done
grep -qx "trovimo [0-9][0-9.]*" "$work/out" || fail "trovimo -v printed: $(cat "$work/out")"
for arguments in --frobnicate "-x" "extra" "-platform"; do
    nodisplay "$program" $arguments >"$work/out" 2>"$work/err"
    status=$?
    [ "$status" -eq 2 ] || fail "trovimo $arguments: exit $status, expected 2"
    [ ! -s "$work/out" ] && [ "$(wc -l <"$work/err")" -le 2 ] ||
        fail "trovimo $arguments: not a short error on stderr"
done
pass "trovimo: --help and --version without a display, wrong arguments exit 2"

"$sample" --help >"$work/out" || fail "trovimo-sample --help failed"
for field in cpu.total cpu.perCore gpu memory.used memory.total memory.app memory.wired \
    memory.compressed memory.swapUsed memory.swapTotal memory.pressure network.download \
    network.upload networkInfo.interfaceName networkInfo.bsdName networkInfo.displayName \
    networkInfo.ssid networkInfo.wifiGeneration networkInfo.detailText disk.used disk.total \
    disk.system disk.purgeable selfStats.cpu selfStats.memory; do
    grep -q "^  $field " "$work/out" || fail "trovimo-sample --help does not describe $field"
done
grep -q "bytes per second" "$work/out" && grep -q "fraction 0-1" "$work/out" &&
    grep -q "null" "$work/out" || fail "trovimo-sample --help does not give the units"
"$sample" --version | grep -qx "trovimo-sample [0-9][0-9.]*" || fail "trovimo-sample --version"
for interval in "--interval=0.05" "--interval 0.05"; do
    # shellcheck disable=SC2086 # the split is the point
    lines=$("$sample" $interval --count 2 | wc -l)
    [ "$lines" -eq 2 ] || fail "trovimo-sample $interval --count 2 printed $lines lines"
done
"$sample" --no-such-option >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 2 ] && [ -s "$work/err" ] && [ ! -s "$work/out" ] ||
    fail "trovimo-sample --no-such-option: exit $status"
pass "trovimo-sample: --help lists every field, --version, --interval both ways, bad option exits 2"

# --- One panel per display.
start_x_server
start_window_manager
use_scratch_home
export QT_QPA_PLATFORM=xcb
# No network here: the update check fails at once on a closed local port, which gives
# every panel one log line of the trovimo.update category.
mkdir -p "$work/config/Trovimo"
printf '[General]\nupdateFeedURL=http://127.0.0.1:9/v.json\n' >"$work/config/Trovimo/Trovimo.conf"

# Top-level windows titled Trovimo, mapped or not (Qt's 1x1 client leader window carries
# the application's name too, but no _NET_WM_PID).
panels() {
    local id
    for id in $(xdotool search --name '^Trovimo$' 2>/dev/null); do
        xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -q = && echo "$id"
    done
}
panel_count() { panels | wc -l; }
panel_shown() { [ -n "$(xdotool search --onlyvisible --name '^Trovimo$' 2>/dev/null)" ]; }
exited() { ! kill -0 "$1" 2>/dev/null; }
# start NAME: runs the program in the background, its output in NAME.log, its pid in $started.
start() {
    "$program" >"$work/$1.log" 2>&1 &
    started=$!
    pids+=("$started")
}
# second_start NAME: a start that must hand over and end with 0 without a window.
second_start() {
    start "$1"
    wait_for 10 exited "$started" || fail "$1: a second start is still running"
    wait "$started"
    local status=$?
    [ "$status" -eq 0 ] || fail "$1: a second start exited with $status"
    [ "$(panel_count)" -eq 1 ] || fail "$1: $(panel_count) panels"
}

start first
first=$started
wait_for 20 panel_shown || fail "no panel"
wait_for 10 grep -q '^UpdateStore: ' "$work/first.log" ||
    fail "the update check's failure was not logged as its bare text"
second_start second
pass "a second start exits 0 and leaves one panel"

# Hidden (minimised): the second start shows it again. The window manager may not take
# the request while it is still settling the newly mapped panel, so it is asked again.
state() { xprop -id "$panel" WM_STATE 2>/dev/null | grep -q "window state: $1"; }
minimised() {
    panel=$(panels)
    xdotool windowminimize "$panel" 2>/dev/null
    sleep 0.3
    state Iconic
}
wait_for 10 minimised || fail "the panel could not be minimised for the test"
second_start third
wait_for 10 state Normal || fail "the minimised panel was not shown again"
pass "a second start shows a minimised panel again"

# A killed panel leaves its lock and socket files behind; neither may block the next start.
kill -KILL "$first"
wait "$first" 2>/dev/null
no_panel() { [ "$(panel_count)" -eq 0 ]; }
wait_for 10 no_panel || fail "the killed panel's window stays"
ls "$work/runtime"/trovimo-*.socket >/dev/null 2>&1 || fail "no socket file was left to test with"
start after_kill
wait_for 20 panel_shown || fail "no panel after kill -9 of the previous one"
kill -TERM "$started"
wait_for 10 exited "$started" || fail "panel did not quit on SIGTERM"
pass "a panel killed with SIGKILL does not block the next start"

# Started with nohup, or as a script's background job: the hangup and the terminal's
# interrupt were ignored at start and stay so; SIGTERM still ends the panel.
sh -c 'trap "" HUP INT; exec "$0"' "$program" >"$work/ignoring.log" 2>&1 &
started=$!
pids+=("$started")
wait_for 20 panel_shown || fail "no panel with SIGHUP and SIGINT ignored"
kill -HUP "$started"
kill -INT "$started"
sleep 1
exited "$started" && fail "a SIGHUP or SIGINT ignored at start ended the panel"
kill -TERM "$started"
wait_for 10 exited "$started" || fail "panel did not quit on SIGTERM"
pass "SIGHUP and SIGINT ignored at start stay ignored"

# Two starts at once, a few times over, with and without a runtime directory (a private
# folder in the user's cache directory stands in). Exactly one runs the panel, the other
# ends with 0.
for round in 1 2 3 4; do
    [ "$round" -eq 3 ] && unset XDG_RUNTIME_DIR
    start race_a
    a=$started
    start race_b
    b=$started
    wait_for 10 sh -c "! kill -0 $a 2>/dev/null || ! kill -0 $b 2>/dev/null" ||
        fail "round $round: neither racing start ended"
    if exited "$a"; then loser=$a winner=$b; else loser=$b winner=$a; fi
    wait "$loser"
    status=$?
    [ "$status" -eq 0 ] || fail "round $round: the racing start that lost exited with $status"
    wait_for 20 panel_shown || fail "round $round: no panel"
    sleep 0.3
    [ "$(panel_count)" -eq 1 ] || fail "round $round: $(panel_count) panels"
    exited "$winner" && fail "round $round: the panel ended"
    kill -TERM "$winner"
    wait_for 10 exited "$winner" || fail "round $round: panel did not quit on SIGTERM"
done
fallback="$HOME/.cache/trovimo"
[ "$(stat -c '%a %u' "$fallback")" = "700 $(id -u)" ] || fail "$fallback is not private"
pass "racing starts end with one panel, also without XDG_RUNTIME_DIR ($fallback)"

# A runtime directory so deep that the socket's path does not fit a socket address: the
# second start still reaches the panel, at once.
export XDG_RUNTIME_DIR="$work/runtime/$(printf '%0100d' 0)"
mkdir -m 700 "$XDG_RUNTIME_DIR"
start deep
deep=$started
wait_for 20 panel_shown || fail "no panel with a deep runtime directory"
second_start deep_second
kill -TERM "$deep"
wait_for 10 exited "$deep" || fail "panel did not quit on SIGTERM"
pass "a socket path longer than a socket address holds still hands over"

# Log categories: silenced, and widened to their debug lines.
export XDG_RUNTIME_DIR="$work/runtime"
QT_LOGGING_RULES='trovimo.update.warning=false' start quiet
quiet=$started
wait_for 20 panel_shown || fail "no panel"
QT_LOGGING_RULES='trovimo.app.debug=true' second_start verbose
grep -q '^SingleInstance: ' "$work/verbose.log" || fail "trovimo.app.debug=true printed nothing"
sleep 2 # the update check fails within a second here
grep -q . "$work/quiet.log" && fail "trovimo.update.warning=false still printed: $(cat "$work/quiet.log")"
pass "QT_LOGGING_RULES silences and widens the trovimo.* categories"
exit 0
