#!/usr/bin/env bash
# The real program on the desktops users run, each compositor started headless here with
# XWayland: GNOME Shell, mutter and KWin manage the panel as an X11 window, and there it
# must behave as on any X11 desktop: first placed 8 px inside the work area's top-right
# corner, above (or, set so, below) another window in _NET_CLIENT_LIST_STACKING, on every
# workspace, out of the taskbar, sampling paused while covered, a move by the window
# manager snapped and kept after SIGTERM and a restart, and its pixels in the compositor's
# own screenshot (KWin and GNOME Shell offer one). sway and weston place X11 windows
# themselves: there the panel shows, samples, says in one line that placement is the
# compositor's, writes no position and quits cleanly. "wayland" runs it on sway without
# XWayland: an ordinary window, its one log line, and settings and quit reached from the
# context menu with the keyboard.
# Each run prints its measurements as one row of the table in docs/window-behaviour.md
# ("row: | ... |").
# Usage: compositor_e2e.sh gnome-shell|mutter|kwin|sway|weston|wayland <trovimo> <window host>
set -u
kind=$1
program=$2
host=$3
here=$(dirname "$0")
source "$here/../support/e2e-common.sh"
source "$here/../support/compositor-session.sh"
for tool in xdotool xprop xwininfo xhost python3 gdbus wtype swaymsg grim; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/deps test)"
done

if [ "$kind" = wayland ]; then
    start_compositor sway no-xwayland
else
    start_compositor "$kind"
fi
unset QT_QPA_PLATFORM
mkdir -p "$work/home" "$work/config/Trovimo" "$work/data" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
settings=$work/config/Trovimo/Trovimo.conf
# No network here: the update check fails at once on a closed local port.
feed='updateFeedURL=http://127.0.0.1:9/trovimo/version.json'

runs=0
start_panel() {
    runs=$((runs + 1))
    "$program" >"$work/trovimo$runs.log" 2>&1 &
    app=$!
    pids+=("$app")
}
# stop_panel [ALLOWED LINE PATTERN]: SIGTERM, status 0, nothing printed but the update
# check's failure and the allowed line.
stop_panel() {
    kill -TERM "$app"
    wait_for 20 sh -c "! kill -0 $app 2>/dev/null" || fail "still running 20 s after SIGTERM"
    wait "$app"
    local status=$?
    [ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
    if grep -v '^UpdateStore: ' "$work/trovimo$runs.log" | grep -v "${1:-^$}" | grep -q .; then
        fail "the program printed more than expected"
    fi
}
quit_cleanly_checked() { pass "SIGTERM ends it normally (status 0), nothing else printed"; }

# Sampling reads /proc every tick (about 3.5 kB a second); a paused panel reads nothing.
reads() { awk '/^rchar/ { print $2 }' "/proc/$app/io"; }
reading() {
    local before
    before=$(reads)
    sleep 2.5
    [ $(($(reads) - before)) -ge 2048 ]
}
not_reading() {
    local before
    before=$(reads)
    sleep 3
    [ $(($(reads) - before)) -lt 1024 ]
}
sampling() { wait_for 30 reading; }
paused() { wait_for 30 not_reading; }

if [ "$kind" = wayland ]; then
    # Native: the window is sway's to know; wtype types on a virtual keyboard.
    printf '[General]\n%s\n' "$feed" >"$settings"
    start_panel
    window_named() { swaymsg -q "[title=\"^$1\$\"] focus" 2>/dev/null; }
    wait_for 30 window_named Trovimo || fail "no window titled Trovimo"
    wait_for 10 grep -q 'X11 で動作していない' "$work/trovimo1.log" ||
        fail "no line saying the window behaviour is unavailable"
    sampling || fail "the panel does not sample"
    pass "an ordinary window, one log line, sampling"
    # One virtual keyboard stays for the whole run: each wtype brings its own and takes it
    # away when it ends, and a seat left without a keyboard closes the open menu.
    wtype -s 600000 &
    pids+=("$!")
    # The context menu opens at the panel's centre and reaches past its right edge: a pixel
    # there, in the compositor's own picture (grim), tells when it shows.
    pixel_at() { grim -g "$1,$2 1x1" -t ppm - 2>/dev/null | tail -c 3 | od -An -tx1 | tr -d ' \n'; }
    menu_point() {
        swaymsg -t get_tree | python3 -c 'import json, sys
def walk(node):
    if node.get("name") == "Trovimo" and node.get("pid"):
        r = node["rect"]
        print(r["x"] + r["width"] + 30, r["y"] + r["height"] // 2 + 30)
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
    }
    menu_shown() { [ "$(pixel_at "$probe_x" "$probe_y")" != "$background" ]; }
    # choose_from_menu DOWN|UP COUNT CHECK...: opens the context menu with the menu key,
    # waits until it shows, picks an item and waits for CHECK.
    choose_from_menu() {
        local key=$1 count=$2 attempt i keys=()
        for ((i = 0; i < count; i++)); do
            keys+=(-k "$key")
        done
        shift 2
        for attempt in 1 2 3; do
            window_named Trovimo
            read -r probe_x probe_y <<<"$(menu_point)"
            background=$(pixel_at "$probe_x" "$probe_y")
            wtype -k Menu
            if wait_for 20 menu_shown; then
                wtype "${keys[@]}" -k Return
                wait_for 20 "$@" && return 0
            fi
            wtype -k Escape
        done
        return 1
    }
    choose_from_menu Down 3 window_named 設定 || fail "settings did not open from the menu"
    # The settings window's first control is 時刻 (show the clock).
    wtype -k space
    wait_for 10 grep -q '^showClock=false' "$settings" || fail "showClock=false not written"
    pass "the menu opens the settings, whose switch writes the setting"
    ended() { ! kill -0 "$app" 2>/dev/null; }
    choose_from_menu Up 1 ended || fail "quit from the menu did not end the program"
    wait "$app"
    status=$?
    [ "$status" -eq 0 ] || fail "exit status $status after quit"
    if grep -v -e '^UpdateStore: ' -e 'X11 で動作していない' "$work/trovimo1.log" | grep -q .; then
        fail "the program printed more than its one line"
    fi
    pass "quit from the menu ends it normally"
    echo "row: | $compositor_name, no XWayland | an ordinary window, one log line | – | – | – | – | – | – |"
    exit 0
fi

# X11 through XWayland from here on: the program picks it while both displays are there.
panel_id() { xdotool search --onlyvisible --pid "$app" --name '^Trovimo$' 2>/dev/null | head -n 1; }
wait_panel() {
    wait_for 60 sh -c "xdotool search --onlyvisible --pid $app --name '^Trovimo\$' >/dev/null" ||
        fail "no window titled Trovimo"
    wid=$(printf '0x%x' "$(panel_id)")
}
geometry() { # ID -> x y width height, where the X server shows it
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^  Width/ {w=$NF} /^  Height/ {h=$NF} END {print x, y, w, h}'
}
at() { [ "$(geometry "$wid" | cut -d' ' -f1-2)" = "$1 $2" ]; }
state() { xprop -id "$wid" _NET_WM_STATE; }
has_state() { state | grep -q "$1"; }
stacking() { xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g' | tr ' ' '\n'; }
# above A B: window A is stacked above window B.
above() {
    local a b
    a=$(stacking | grep -n -x "$1" | cut -d: -f1)
    b=$(stacking | grep -n -x "$2" | cut -d: -f1)
    [ -n "$a" ] && [ -n "$b" ] && [ "$a" -gt "$b" ]
}
# _NET_WORKAREA, or the whole screen where there is none (KWin with one desktop publishes
# none), as Qt takes it.
work_area() {
    area=$(xprop -root _NET_WORKAREA 2>/dev/null | sed -n 's/.*= //p' | sed 's/,//g')
    [ -n "$area" ] || area="0 0 $(xwininfo -root | awk '/^  Width/ {w=$NF} /^  Height/ {h=$NF}
        END {print w, h}')"
    read -r area_x area_y area_w area_h _ <<<"$area"
}
covers=0
# start_cover X Y W H [--above]: an ordinary window there (kept above with --above).
start_cover() {
    covers=$((covers + 1))
    local log=$work/cover$covers.out
    "$host" --cover "$1,$2,$3,$4" ${5:-} >"$log" 2>"$work/cover$covers.err" &
    coverpid=$!
    pids+=("$coverpid")
    wait_for 30 grep -qs '^cover 0x[0-9a-f]*$' "$log" || fail "cover window did not show"
    cover=$(sed -n 's/^cover \(0x[0-9a-f]*\)$/\1/p' "$log")
    viewable() { xwininfo -id "$cover" 2>/dev/null | grep -q IsViewable; }
    wait_for 30 viewable || fail "cover window not mapped"
    # A window manager may place a new window where it likes.
    at_cover() { [ "$(frame "$cover" | cut -d' ' -f1-2)" = "$1 $2" ]; }
    wait_for 5 at_cover "$1" "$2" || xdotool windowmove "$cover" "$1" "$2"
    wait_for 10 at_cover "$1" "$2"
}
# frame ID -> x y width height of the window with the frame its window manager drew.
frame() {
    local x y w h left right top bottom
    read -r x y w h <<<"$(geometry "$1")"
    read -r left right top bottom < <(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null |
        sed -n 's/.*= //p' | tr -d ,)
    echo $((x - ${left:-0})) $((y - ${top:-0})) $((w + ${left:-0} + ${right:-0})) \
        $((h + ${top:-0} + ${bottom:-0}))
}
# covering A B: window A's frame holds all of window B.
covering() {
    local ax ay aw ah bx by bw bh
    read -r ax ay aw ah <<<"$(frame "$1")"
    read -r bx by bw bh <<<"$(geometry "$2")"
    [ "$ax" -le "$bx" ] && [ "$ay" -le "$by" ] && [ $((ax + aw)) -ge $((bx + bw)) ] &&
        [ $((ay + ah)) -ge $((by + bh)) ]
}
stop_cover() {
    kill "$coverpid"
    wait "$coverpid" 2>/dev/null
}

if [ "$kind" = sway ] || [ "$kind" = weston ]; then
    # The compositor places the window: what it does is measured, not required.
    placement_line='配置はコンポジタに任せます'
    printf '[General]\n%s\n' "$feed" >"$settings"
    start_panel
    wait_panel
    wait_for 20 grep -q "$placement_line" "$work/trovimo1.log" ||
        fail "no line saying placement is the compositor's"
    sampling || fail "the panel does not sample"
    pass "shows, samples, says placement is the compositor's"
    sleep 1 # let the compositor place it
    read -r x y w h <<<"$(geometry "$wid")"
    work_area
    if [ $((x + w)) -eq $((area_x + area_w - 8)) ] && [ "$y" -eq $((area_y + 8)) ]; then
        placed="8 px inside the top-right"
    elif [ $((2 * (x - area_x) + w - area_w)) -le 2 ] && [ $((2 * (x - area_x) + w - area_w)) -ge -2 ]; then
        placed="centred"
    else
        placed="at $x,$y"
    fi
    has_state _NET_WM_STATE_SKIP_TASKBAR && taskbar=yes || taskbar=no
    stacked=–
    if xprop -root _NET_SUPPORTED | grep -q _NET_CLIENT_LIST_STACKING; then
        start_cover "$x" "$y" 300 200
        xdotool windowactivate "$wid" 2>/dev/null
        xdotool windowactivate "$cover" 2>/dev/null
        sleep 1
        above "$wid" "$cover" && stacked=yes || stacked="no (under a newer window)"
        stop_cover
    fi
    workspaces=–
    if [ "$kind" = sway ]; then
        swaymsg -q workspace 2
        panel_on_sway() {
            swaymsg -t get_tree | python3 -c 'import json, sys
def walk(node):
    if node.get("name") == "Trovimo":
        print("yes" if node.get("visible") else "no")
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
        }
        [ "$(panel_on_sway)" = yes ] && workspaces=yes || workspaces=no
        swaymsg -q workspace 1
    fi
    stop_panel "$placement_line"
    grep -q TrovimoMain "$settings" && fail "the compositor's placement was saved"
    pass "quits cleanly; no position written"
    # Where a position saved on another desktop leaves it.
    printf '[General]\n%s\n[windowFrames]\nTrovimoMain=300 200 %s %s\n' "$feed" "$w" "$h" \
        >"$settings"
    start_panel
    wait_panel
    sleep 1
    at 300 200 && kept=yes || kept="no ($(geometry "$wid" | cut -d' ' -f1-2 | tr ' ' ,))"
    stop_panel "$placement_line"
    grep -q "TrovimoMain=300 200 $w $h" "$settings" || fail "the saved position was rewritten"
    pass "measured: placed $placed, saved place kept: $kept, above: $stacked"
    echo "row: | $compositor_name | yes | $placed / $kept | $stacked | $workspaces | $taskbar | – | – |"
    exit 0
fi

### GNOME Shell, mutter, KWin. First run: placement, workspaces, taskbar, above, pixels.
printf '[General]\n%s\n' "$feed" >"$settings"
start_panel
wait_panel
work_area
read -r _ _ w h <<<"$(geometry "$wid")"
right=$((area_x + area_w - w - 8))
wait_for 20 at "$right" $((area_y + 8)) ||
    fail "first placed at $(geometry "$wid"), work area $area_x $area_y $area_w $area_h"
sampling || fail "the panel does not sample"
pass "first placed 8 px inside the work area's top-right corner ($area_x,$area_y ${area_w}x$area_h), sampling"

wait_for 10 has_state _NET_WM_STATE_SKIP_TASKBAR || fail "in the taskbar: $(state)"
has_state _NET_WM_STATE_SKIP_PAGER || fail "in the pager: $(state)"
pass "no taskbar or pager entry"

[ "$(xprop -id "$wid" _NET_WM_DESKTOP | sed 's/.*= //')" = 4294967295 ] ||
    fail "not on all workspaces: $(xprop -id "$wid" _NET_WM_DESKTOP)"
desktops=$(xprop -root _NET_NUMBER_OF_DESKTOPS | sed 's/.*= //')
[ "${desktops:-1}" -ge 2 ] 2>/dev/null || xdotool set_num_desktops 2
wait_for 20 sh -c 'xprop -root _NET_NUMBER_OF_DESKTOPS | grep -q "= [2-9]"' ||
    fail "a second workspace could not be made"
xdotool set_desktop 1
wait_for 20 sh -c "xprop -root _NET_CURRENT_DESKTOP | grep -q '= 1$'" ||
    fail "the workspace did not change"
wait_for 10 sh -c "xwininfo -id $wid | grep -q IsViewable" || fail "left behind on workspace 0"
has_state _NET_WM_STATE_HIDDEN && fail "hidden on another workspace: $(state)"
sampling || fail "no sampling on another workspace"
xdotool set_desktop 0
wait_for 20 sh -c "xprop -root _NET_CURRENT_DESKTOP | grep -q '= 0$'" ||
    fail "the workspace did not change back"
pass "on every workspace"

# The compositor's own picture: the panel drawn where the X server has it, the desktop
# showing through its rounded corner. Nothing covers it yet.
shot=–
case "$kind" in kwin | gnome-shell) shot=yes ;; esac
if [ "$shot" = yes ]; then
    read -r x y w h <<<"$(geometry "$wid")"
    pixels=$(/usr/bin/python3 "$here/../support/compositor_pixels.py" "$kind" \
        "$((x - 6)),$((y + h / 2))" "$((x + 4)),$((y + h / 2))" "$x,$y") ||
        fail "no screenshot from $compositor_name: $pixels"
    read -r desktop inside corner < <(awk '{ printf "%s ", $4 }' <<<"$pixels")
    distance() { # two #rrggbb colours -> the sum of their channels' differences
        local a=$1 b=$2 i sum=0 d
        for i in 1 3 5; do
            d=$((16#${a:i:2} - 16#${b:i:2}))
            sum=$((sum + (d < 0 ? -d : d)))
        done
        echo "$sum"
    }
    [ "$(distance "$desktop" "$inside")" -gt 40 ] ||
        fail "the panel does not show in the screenshot: $pixels"
    [ "$(distance "$desktop" "$corner")" -lt 40 ] ||
        fail "the desktop does not show through the rounded corner: $pixels"
    pass "the screenshot shows the panel ($inside) on the desktop ($desktop)"
fi

# Above: a newer, active ordinary window over part of the panel stays under it.
read -r x y w h <<<"$(geometry "$wid")"
start_cover $((x - 150)) $((y + 40)) 300 200
xdotool windowactivate "$cover" 2>/dev/null
wait_for 20 above "$wid" "$cover" || fail "not above an active window: $(stacking | tr '\n' ' ')"
has_state _NET_WM_STATE_ABOVE || fail "not above: $(state)"
sampling || fail "sampling stopped while partly covered"
stop_cover
pass "above another window (stacking order), sampling while partly covered"
stop_panel
grep -q TrovimoMain "$settings" && fail "the program's own placement was saved"
quit_cleanly_checked

### Second run: below, covered, a move by the window manager.
printf '[General]\n%s\nalwaysOnTop=false\n' "$feed" >"$settings"
start_panel
wait_panel
wait_for 20 at "$right" $((area_y + 8)) || fail "second run placed at $(geometry "$wid")"
wait_for 10 has_state _NET_WM_STATE_BELOW || fail "not below: $(state)"
read -r x y w h <<<"$(geometry "$wid")"
# Generous below: the panel's height follows its content, which may still grow.
start_cover $((x - 20)) $((y - 4)) $((w + 40)) $((h + 100))
covering "$cover" "$wid" || fail "cover at $(frame "$cover") leaves part of $(geometry "$wid")"
xdotool windowactivate "$wid" 2>/dev/null
wait_for 20 above "$cover" "$wid" || fail "not below the other window: $(stacking | tr '\n' ' ')"
paused || fail "sampling goes on while covered"
stop_cover
sampling || fail "sampling did not resume when uncovered"
pass "below another window even when activated; covered: sampling pauses, then resumes"

# The window manager moves it near the left edge: snapped like a drag, and kept.
xdotool windowmove "$wid" $((area_x + 15)) $((area_y + 200))
wait_for 20 at $((area_x + 8)) $((area_y + 200)) || fail "no snap after the move: $(geometry "$wid")"
stop_panel
grep -q "^TrovimoMain=$((area_x + 8)) $((area_y + 200)) " "$settings" ||
    fail "the window manager's move was not saved: $(grep TrovimoMain "$settings")"
pass "a move by the window manager is snapped and saved"

### Third run: the saved position is where it comes back.
start_panel
wait_panel
wait_for 20 at $((area_x + 8)) $((area_y + 200)) || fail "not restored: $(geometry "$wid")"
stop_panel
grep -q "^TrovimoMain=$((area_x + 8)) $((area_y + 200)) " "$settings" ||
    fail "the saved position changed: $(grep TrovimoMain "$settings")"
pass "the saved position is kept"
echo "row: | $compositor_name | yes | 8 px inside the work area's top-right / yes | yes (below too) | yes | yes | yes | $shot |"
exit 0
