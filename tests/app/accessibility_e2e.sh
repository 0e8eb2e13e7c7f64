#!/usr/bin/env bash
# The panel as a screen reader user meets it, checked with the real AT-SPI client (pyatspi, as
# Orca sees it) under Xvfb and openbox, on a session bus and an accessibility bus of the test's
# own: found once a screen reader is switched on, every block named and read in words, the
# keyboard from a second start to Escape, the menu, the settings through AT-SPI
# (accessibility_e2e.py).
# Usage: accessibility_e2e.sh <trovimo>. Exit 77 only without an X server.
set -u
program=$1
source "$(dirname "$0")/../support/x11-session.sh"
# Debian's interpreter, where python3-pyatspi installs; not whatever python3 comes first.
python=/usr/bin/python3
launcher=/usr/libexec/at-spi-bus-launcher
for tool in dbus-daemon dbus-send xmessage "$launcher" "$python"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/deps test)"
done
"$python" -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is not installed (scripts/deps test)"

start_x_server
start_window_manager

use_scratch_home
# A session bus of our own: nobody else's screen reader, settings or applications on it.
dbus-daemon --config-file="$(dirname "$0")/../support/session-bus.conf" --nofork \
    --print-address=4 4>"$work/bus" >"$work/dbus.log" 2>&1 &
pids+=($!)
wait_for 15 grep -qs . "$work/bus" || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
# The accessibility bus beside it, in a process group of its own (the launcher starts the bus
# and the registry): the whole group ends with the test. Its socket lies in our runtime
# folder, its settings in memory, never in the user's dconf. Without DISPLAY, because the
# launcher would also name the bus on the X root window, which Qt takes for "switched on"
# whatever the status says.
env -u DISPLAY GSETTINGS_BACKEND=memory setsid "$launcher" --launch-immediately \
    >"$work/launcher.log" 2>&1 &
groups+=($!)
registry() {
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
        >/dev/null 2>&1
}
wait_for 15 registry || fail "no accessibility bus"

export QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="trovimo.app.debug=true"
# Desktop integration a real session has, none of which may reach outside the test.
unset XDG_CURRENT_DESKTOP SESSION_MANAGER AT_SPI_BUS_ADDRESS QT_LINUX_ACCESSIBILITY_ALWAYS_ON

"$python" "$(dirname "$0")/accessibility_e2e.py" "$program" "$work" || fail "see above"
