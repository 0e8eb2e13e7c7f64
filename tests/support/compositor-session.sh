# Shared by the compositor end-to-end scripts: a headless Wayland compositor of the test's
# own (GNOME Shell, mutter, KWin, sway or weston), with XWayland or without, rendering in
# software. Its Wayland socket lies in a runtime folder of its own, XWayland picks a free
# display itself, and the compositor, its session bus (and, for GNOME, its system bus) run in
# process groups that are stopped when the script exits: parallel runs never meet.
# Source it after e2e-common.sh, then call start_compositor KIND [no-xwayland]. It exports
# WAYLAND_DISPLAY (an absolute path), DBUS_SESSION_BUS_ADDRESS and, with XWayland, DISPLAY
# and XAUTHORITY; compositor_name holds the name and version for reports.
# A compositor that does not start fails the test: it is installed by scripts/deps.

compositor_runtime=$work/compositor-runtime
mkdir -p "$compositor_runtime"
chmod 700 "$compositor_runtime"

# start_group LOG COMMAND...: runs the command in a process group of its own; sets $group.
start_group() {
    local log=$1
    shift
    setsid "$@" >"$log" 2>&1 </dev/null &
    group=$!
    groups+=("$group")
}

# A session bus per compositor: without one, Qt programs and the compositor would each
# start one of their own that outlives them.
start_session_bus() {
    start_group "$work/session-bus.log" dbus-daemon --session --nofork \
        --address="unix:path=$work/session-bus"
    wait_for 20 test -S "$work/session-bus" || fail "no session bus"
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/session-bus
}

# mutter and GNOME Shell ask the system bus for logind, locale and accounts; a private one
# that owns none of them answers at once that they are not there.
start_system_bus() {
    cat >"$work/system-bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system-bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    start_group "$work/system-bus.log" dbus-daemon --config-file="$work/system-bus.conf" --nofork
    wait_for 20 test -S "$work/system-bus" || fail "no private system bus"
}

package_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null | sed 's/^[0-9]*://; s/[-+~].*//'; }

# The display XWayland was started on, and its authority file, from its command line: the
# compositor picked a free display number itself. Needs $group.
xwayland_of_group() {
    local line
    line=$(ps -e -o pgid=,args= | awk -v g="$group" '$1 == g && $2 ~ /Xwayland$/ { $1 = ""; print }')
    [ -n "$line" ] || return 1
    xwayland_display=$(grep -o ' :[0-9]\+' <<<"$line" | head -n 1 | tr -d ' ')
    xwayland_auth=$(sed -n 's/.* -auth \([^ ]*\).*/\1/p' <<<"$line")
    [ -n "$xwayland_display" ]
}

use_x_display() {
    export DISPLAY=$1 XAUTHORITY=${2:-}
    [ -n "$XAUTHORITY" ] || unset XAUTHORITY
    # XWayland is ready once its window manager has taken the root window.
    wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    wait_for 60 wm_ready || fail "$compositor_name: XWayland on $DISPLAY does not answer"
}

start_weston() {
    # XWayland in weston 10 makes its socket in /tmp/.X11-unix and crashes without the folder.
    if [ ! -d /tmp/.X11-unix ]; then
        mkdir -m 1777 /tmp/.X11-unix 2>/dev/null || fail "weston needs /tmp/.X11-unix (mode 1777)"
    fi
    local xwayland=(--xwayland)
    [ "$1" = no-xwayland ] && xwayland=()
    # --idle-time=0: the headless output would otherwise go to sleep after five minutes.
    start_group "$work/weston.log" env XDG_RUNTIME_DIR="$compositor_runtime" weston \
        --backend=headless-backend.so --use-pixman --idle-time=0 --no-config \
        --width=1280 --height=800 --socket=wayland-e2e "${xwayland[@]}"
    export WAYLAND_DISPLAY=$compositor_runtime/wayland-e2e
    wait_for 60 test -S "$WAYLAND_DISPLAY" || fail "weston did not start"
    if [ ${#xwayland[@]} -gt 0 ]; then
        wait_for 30 grep -q 'xserver listening on display' "$work/weston.log" ||
            fail "weston did not start XWayland"
        use_x_display "$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' \
            "$work/weston.log" | head -n 1)"
    fi
    compositor_name="weston $(package_version weston)"
}

start_sway() {
    local user=() runtime=$compositor_runtime
    # sway refuses to run as root: there it runs as nobody, in a runtime folder of nobody's
    # that the test (root) can still reach.
    if [ "$(id -u)" -eq 0 ]; then
        chmod 711 "$work"
        runtime=$work/sway-runtime
        mkdir -p "$runtime"
        chown nobody "$runtime"
        chmod 700 "$runtime"
        user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
    local mode=enable
    [ "$1" = no-xwayland ] && mode=disable
    # XWayland starts with the first X client, here the exec line, which lets the test's
    # user in (XWayland belongs to nobody) and says where it is.
    cat >"$work/sway.config" <<EOF
xwayland $mode
output HEADLESS-1 resolution 1280x800
EOF
    [ "$mode" = enable ] && cat >>"$work/sway.config" <<EOF
exec sh -c 'xhost +si:localuser:$(id -un) >/dev/null; echo "\$DISPLAY" >"$runtime/display"'
EOF
    chmod 644 "$work/sway.config"
    start_group "$work/sway.log" env -i PATH="$PATH" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" \
        WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        "${user[@]}" sway -c "$work/sway.config"
    sway_socket() { compgen -G "$runtime/wayland-[0-9]" >/dev/null; }
    wait_for 60 sway_socket || fail "sway did not start"
    export WAYLAND_DISPLAY
    WAYLAND_DISPLAY=$(compgen -G "$runtime/wayland-[0-9]" | head -n 1)
    export SWAYSOCK
    wait_for 30 eval 'SWAYSOCK=$(compgen -G "$runtime/sway-ipc.*.sock")' ||
        fail "no sway IPC socket"
    if [ "$mode" = enable ]; then
        wait_for 60 grep -qs '^:[0-9]' "$runtime/display" || fail "sway did not start XWayland"
        use_x_display "$(cat "$runtime/display")"
    fi
    compositor_name="sway $(package_version sway)"
}

start_kwin() {
    # /usr/bin/kwin_wayland carries a file capability (CAP_SYS_RESOURCE) that a container
    # cannot grant, so exec fails there; a copy without it runs alike (it must keep its name).
    mkdir -p "$work/kwin"
    cp /usr/bin/kwin_wayland "$work/kwin/kwin_wayland" || fail "kwin_wayland is not installed"
    local xwayland=(--xwayland)
    [ "$1" = no-xwayland ] && xwayland=()
    start_group "$work/kwin.log" env XDG_RUNTIME_DIR="$compositor_runtime" \
        XDG_CONFIG_HOME="$work/kwin" KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
        "$work/kwin/kwin_wayland" --virtual --width 1280 --height 800 \
        --socket wayland-e2e "${xwayland[@]}"
    export WAYLAND_DISPLAY=$compositor_runtime/wayland-e2e
    wait_for 60 test -S "$WAYLAND_DISPLAY" || fail "KWin did not start"
    if [ ${#xwayland[@]} -gt 0 ]; then
        wait_for 60 xwayland_of_group || fail "KWin did not start XWayland"
        use_x_display "$xwayland_display" "$xwayland_auth"
    fi
    compositor_name="KWin $(package_version kwin-wayland)"
}

# mutter, or GNOME Shell (which is mutter with the shell's own panel and overview).
start_mutter() {
    local program=$1 xwayland=() options=()
    [ "$2" = no-xwayland ] && xwayland=(--no-x11)
    start_system_bus
    if [ "$program" = gnome-shell ]; then
        # Started this way GNOME Shell opens its overview, which hides every window; a
        # session mode like the user's, without the overview, shows the desktop instead.
        mkdir -p "$work/data/gnome-shell/modes"
        echo '{ "parentMode": "user", "hasOverview": false }' \
            >"$work/data/gnome-shell/modes/e2e.json"
        options=(--mode=e2e)
    fi
    start_group "$work/$program.log" env XDG_RUNTIME_DIR="$compositor_runtime" \
        XDG_CONFIG_HOME="$work/$program-config" XDG_DATA_HOME="$work/data" \
        GSETTINGS_BACKEND=memory DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/system-bus" \
        "$program" --headless --wayland --virtual-monitor 1280x800 \
        --wayland-display=wayland-e2e "${xwayland[@]}" "${options[@]}"
    export WAYLAND_DISPLAY=$compositor_runtime/wayland-e2e
    wait_for 90 test -S "$WAYLAND_DISPLAY" || fail "$program did not start"
    if [ ${#xwayland[@]} -eq 0 ]; then
        wait_for 60 xwayland_of_group || fail "$program did not start XWayland"
        use_x_display "$xwayland_display" "$xwayland_auth"
    fi
    if [ "$program" = gnome-shell ]; then
        compositor_name="GNOME Shell $(package_version gnome-shell)"
        shell_ready() {
            gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
                -m org.freedesktop.DBus.Properties.Get org.gnome.Shell Mode 2>/dev/null |
                grep -q e2e
        }
        wait_for 90 shell_ready || fail "GNOME Shell did not start its session mode"
        # The pointer of a headless seat rests at 0,0, in the hot corner that opens the
        # overview; closed, it stays closed.
        shell_property() {
            gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell \
                -m "org.freedesktop.DBus.Properties.$1" org.gnome.Shell OverviewActive ${2:+"$2"}
        }
        overview_closed() {
            shell_property Set '<false>' >/dev/null 2>&1
            shell_property Get 2>/dev/null | grep -q false
        }
        wait_for 30 overview_closed || fail "GNOME Shell's overview does not close"
    else
        compositor_name="mutter $(package_version mutter)"
    fi
}

# start_compositor gnome-shell|mutter|kwin|sway|weston [no-xwayland]
start_compositor() {
    local kind=$1 mode=${2:-xwayland}
    command -v setsid >/dev/null || fail "setsid is not installed"
    start_session_bus
    case "$kind" in
    gnome-shell | mutter) start_mutter "$kind" "$mode" ;;
    kwin) start_kwin "$mode" ;;
    sway) start_sway "$mode" ;;
    weston) start_weston "$mode" ;;
    *) fail "unknown compositor $kind" ;;
    esac
    [ "$mode" = no-xwayland ] && unset DISPLAY XAUTHORITY
    pass "$compositor_name started ($mode)"
}
