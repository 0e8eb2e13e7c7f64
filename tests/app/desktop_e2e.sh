#!/usr/bin/env bash
# The real program as a Linux desktop sees it, under Xvfb and openbox without a compositing
# manager: the panel maps once, at its final place; it stays out of the taskbar and pagers
# while its settings and about windows do not; its window class is the menu entry's; the
# desktop shows through its rounded corners, and it turns translucent while xcompmgr runs
# (same window); its tooltips show while another window is active. Start at login from an
# install path full of odd characters writes a valid entry with TryExec; from a path that
# is not UTF-8 it writes nothing, says so in the log and the switch stays off.
# Usage: desktop_e2e.sh <trovimo> <trovimo_window_host> <desktop entry>
# Exit 77 (skipped) only when no X server can be started or a tool is missing.
set -u
program=$1
host=$2
menu_entry=$3
source "$(dirname "$0")/../support/x11-session.sh"
for tool in xsetroot xcompmgr desktop-file-validate; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/deps test)"
done
start_x_server
desktop_colour='#ff00ff'
xsetroot -solid "$desktop_colour"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 15 sh -c 'xprop -root _NET_WORKAREA | grep -q "= "' || fail "openbox did not start"
read -r area_x area_y area_w _ < <(xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g')

# The home and the install path hold what the shell and desktop entries treat specially.
odd_home="$work/home dir's 100%"
odd_bin="$odd_home/My Apps/\"q\" \$HOME \`x\` \\b;&=~#"
mkdir -p "$odd_bin" "$odd_home/.config/Trovimo" "$work/runtime"
chmod 700 "$work/runtime"
cp "$program" "$odd_bin/trovimo"
export HOME=$odd_home XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
printf '[General]\nupdateFeedURL=http://127.0.0.1:9/trovimo/version.json\n' \
    >"$HOME/.config/Trovimo/Trovimo.conf"
autostart="$HOME/.config/autostart/jp.tsukimilabs.Trovimo.desktop"

geometry() { # ID -> x y width height
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^  Width/ {w=$NF} /^  Height/ {h=$NF} END {print x, y, w, h}'
}
windows() { xdotool search --onlyvisible --pid "$app" 2>/dev/null; }
titled() {
    local id
    for id in $(windows); do
        xprop -id "$id" _NET_WM_NAME 2>/dev/null | grep -qF "= \"$1\"" && echo "$id"
    done
}
tooltip_shown() {
    local id
    for id in $(windows); do
        xprop -id "$id" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP && return 0
    done
    return 1
}
tooltip_gone() { ! tooltip_shown; }
settings_open() { [ -n "$(titled 設定)" ]; }
pixels() { echo $("$host" --pixels "$*" | cut -d' ' -f4); }
# The panel's four corner pixels (1 px inside the cut), one of its plain background and
# one of the desktop beside it.
sample_panel() {
    read -r x y w h < <(geometry "$panel")
    read -r c1 c2 c3 c4 inside desktop < <(pixels "$((x + 1)),$((y + 1))" \
        "$((x + w - 2)),$((y + 1))" "$((x + 1)),$((y + h - 2))" "$((x + w - 2)),$((y + h - 2))" \
        "$((x + 4)),$((y + h / 2))" "$((x - 4)),$((y + h / 2))")
}
corners_show_desktop() { [ "$c1 $c2 $c3 $c4" = "$desktop $desktop $desktop $desktop" ]; }
# Without a compositor the desktop is the root window's colour and the background is
# opaque grey, untouched by it.
opaque() {
    sample_panel
    local r=$((16#${inside:1:2})) g=$((16#${inside:3:2}))
    [ "$desktop" = "$desktop_colour" ] && corners_show_desktop && [ $((r - g)) -lt 8 ] &&
        opaque_inside=$inside
}
# xcompmgr paints a desktop of its own (grey) and blends the background into it.
translucent() { sample_panel && corners_show_desktop && [ "$inside" != "$opaque_inside" ]; }
# menu_item N: the Nth entry of the panel's context menu (3: 設定…, 4: Trovimo について).
menu_item() {
    read -r _ _ w h < <(geometry "$panel")
    xdotool mousemove --window "$panel" $((w / 2)) $((h - 4)) click 3
    sleep 0.5
    local i
    for ((i = 0; i < $1; i++)); do
        xdotool key Down
    done
    xdotool key Return
}
about_open() { [ -n "$(titled "Trovimo について")" ]; }
# press_login_switch: opens the settings window from the panel's menu and presses the
# start-at-login switch (the tenth control).
press_login_switch() {
    if [ -z "$(titled 設定)" ]; then
        menu_item 3
        wait_for 10 settings_open || fail "settings window did not open"
    fi
    local settings_window
    settings_window=$(titled 設定)
    xdotool windowactivate --sync "$settings_window"
    sleep 0.3
    xdotool key --delay 50 Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab space
}

### First start, from the odd install path.
"$odd_bin/trovimo" >"$work/trovimo.log" 2>&1 &
app=$!
pids+=("$app")
first=""
for _ in $(seq 1 600); do
    panel=$(windows | head -n 1)
    [ -n "$panel" ] && first=$(geometry "$panel") && break
    sleep 0.01
done
[ -n "$first" ] || fail "no panel mapped"
read -r x y w _ <<<"$first"
[ "$((area_x + area_w - x - w))" -eq 8 ] && [ "$((y - area_y))" -eq 8 ] ||
    fail "first mapped at $first, not 8 px inside the top-right corner of $area_x $area_y $area_w"
sleep 1
read -r later_x later_y _ < <(geometry "$panel")
[ "$later_x $later_y" = "$x $y" ] || fail "moved after mapping: $first -> $(geometry "$panel")"
pass "first mapped at its final place, 8 px inside the corner"

state=$(xprop -id "$panel" _NET_WM_STATE)
grep -q _NET_WM_STATE_SKIP_TASKBAR <<<"$state" && grep -q _NET_WM_STATE_SKIP_PAGER <<<"$state" ||
    fail "panel is in the taskbar or pager: $state"
wm_class=$(sed -n 's/^StartupWMClass=//p' "$menu_entry")
[ -n "$wm_class" ] || fail "no StartupWMClass in $menu_entry"
[ "$(xprop -id "$panel" WM_CLASS)" = "WM_CLASS(STRING) = \"trovimo\", \"$wm_class\"" ] ||
    fail "panel $(xprop -id "$panel" WM_CLASS), menu entry says $wm_class"
pass "panel: no taskbar or pager entry, WM_CLASS matches the menu entry"

pixel_report() { echo "corners $c1 $c2 $c3 $c4, background $inside, desktop $desktop"; }
wait_for 5 opaque || fail "without a compositor: $(pixel_report)"
pass "without a compositor: desktop in the corners, opaque background ($(pixel_report))"
xcompmgr >"$work/xcompmgr.log" 2>&1 &
compositor=$!
pids+=("$compositor")
wait_for 10 translucent || fail "not translucent under xcompmgr: $(pixel_report)"
pass "under xcompmgr: $(pixel_report)"
kill "$compositor"
wait_for 10 opaque || fail "not opaque again after xcompmgr quit: $(pixel_report)"
[ "$(windows | head -n 1)" = "$panel" ] || fail "the panel's window was re-created"
pass "xcompmgr started: translucent; stopped: opaque again; the same window throughout"

press_login_switch
wait_for 5 test -f "$autostart" || fail "no autostart entry at $autostart"
menu_item 4
wait_for 10 about_open || fail "about window did not open"
for title in 設定 "Trovimo について"; do
    id=$(titled "$title")
    xprop -id "$id" _NET_WM_STATE | grep -q SKIP && fail "$title: $(xprop -id "$id" _NET_WM_STATE)"
    xprop -id "$id" WM_CLASS | grep -qF "\"$wm_class\"" || fail "$title: $(xprop -id "$id" WM_CLASS)"
done
xdotool windowactivate --sync "$(titled 設定)"
try_exec=$(sed -n 's/^TryExec=//p' "$autostart" | sed 's/\\s/ /g; s/\\\\/\\/g')
[ "$try_exec" = "$odd_bin/trovimo" ] || fail "TryExec=$try_exec, not $odd_bin/trovimo"
desktop-file-validate "$autostart" || fail "invalid autostart entry: $(cat "$autostart")"
pass "settings and about windows are ordinary; start at login from an odd path: valid entry, TryExec names the program"

# Inactive panel (the settings window has the focus): tooltips on hover of gear and pin.
[ "$(xdotool getactivewindow)" != "$panel" ] || fail "the panel is the active window"
read -r x y w _ < <(geometry "$panel")
for control in $((w - 30)) $((w - 13)); do
    xdotool mousemove $((x + w / 2)) $((y + 60))
    wait_for 5 tooltip_gone || fail "a tooltip stays up"
    xdotool mousemove $((x + control)) $((y + 12))
    wait_for 5 tooltip_shown || fail "no tooltip over the control at $control of an inactive panel"
done
pass "gear and pin tooltips show on an inactive panel"
kill -TERM "$app"
wait "$app"

### A program path that is not UTF-8: no entry can name it.
rm -f "$autostart"
bad_bin="$work/bin-$(printf '\xff\xfe')"
mkdir -p "$bad_bin"
cp "$program" "$bad_bin/trovimo"
"$bad_bin/trovimo" >"$work/trovimo-bad.log" 2>&1 &
app=$!
pids+=("$app")
panel_mapped() { panel=$(windows | head -n 1) && [ -n "$panel" ]; }
wait_for 20 panel_mapped || fail "no panel from $bad_bin"
press_login_switch
wait_for 5 grep -q '^AutostartLoginItem: ' "$work/trovimo-bad.log" || fail "no log line"
[ ! -e "$autostart" ] || fail "an entry was written: $(cat "$autostart")"
# Shown off, a second press tries again (a second line); shown on, it would switch off.
xdotool key space
wait_for 5 sh -c "[ \$(grep -c '^AutostartLoginItem: ' '$work/trovimo-bad.log') -eq 2 ]" ||
    fail "the switch did not fall back to off"
pass "a path that is not UTF-8: no entry, one log line per try, the switch stays off"
exit 0
