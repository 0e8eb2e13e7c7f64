# Shared by the X11 end-to-end scripts: what e2e-common.sh gives, and an X server (Xvfb) of
# the test's own. Source it, then call start_x_server.
source "$(dirname "${BASH_SOURCE[0]}")/e2e-common.sh"

for tool in Xvfb openbox xdotool xprop xwininfo; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/deps test)"
done

# start_x_server [XVFB OPTION...]: exports DISPLAY for a new Xvfb.
# Xvfb picks a free display number itself (-displayfd): other test runs may start their
# own X servers at the same moment, and a check-then-start would race with them.
# -noreset: the server would otherwise reset, refusing connections for a moment, each
# time its last client (the readiness probe) leaves.
start_x_server() {
    local display=""
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset "$@" \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    if wait_for 15 grep -qs '^[0-9]' "$work/display"; then
        display=":$(head -n 1 "$work/display")"
        xprop -display "$display" -root _NET_NOTHING >/dev/null 2>&1 || display=""
    fi
    [ -n "$display" ] || skip "no X server could be started: $(tail -n 3 "$work/xvfb.log")"
    export DISPLAY=$display
    unset WAYLAND_DISPLAY
}

# start_window_manager [OPENBOX OPTION...]: openbox on $DISPLAY, once it has taken over the
# screen and published its work area (a moment after it took over).
start_window_manager() {
    openbox --sm-disable "$@" >"$work/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 15 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id" &&
        xprop -root _NET_WORKAREA | grep -q "= "' || fail "openbox did not start"
}

# use_scratch_home: a home, configuration and private runtime folder of the test's own.
use_scratch_home() {
    mkdir -p "$work/home" "$work/config" "$work/runtime"
    chmod 700 "$work/runtime"
    export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
}
