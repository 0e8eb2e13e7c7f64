"""The panel as a screen reader finds it, driven through AT-SPI (pyatspi) and the keyboard.

Run by accessibility_e2e.sh, which provides the X server, the window manager, a session bus
and an accessibility bus of the test's own, and a home for the program.
Usage: accessibility_e2e.py <trovimo> <scratch folder>
"""

import http.server
import json
import os
import re
import subprocess
import sys
import threading
import time

import pyatspi

program, work = sys.argv[1], sys.argv[2]
settings_file = os.path.join(os.environ["XDG_CONFIG_HOME"], "Trovimo", "Trovimo.conf")
processes = []


def fail(message):
    print("FAIL: " + message, flush=True)  # the shell prints the logs
    sys.exit(1)


def passed(message):
    print("ok: " + message, flush=True)


def poll(what, condition, seconds=45):
    """Returns the condition's first true value; fails with `what` after the deadline."""
    deadline = time.monotonic() + seconds
    while True:
        try:
            value = condition()
        except Exception as error:  # an object that went away between two calls
            value, last = None, error
        else:
            last = None
        if value:
            return value
        if time.monotonic() >= deadline:
            fail("%s (after %d s%s)" % (what, seconds, ", %s" % last if last else ""))
        time.sleep(0.1)


def start(arguments, log_name):
    log = open(os.path.join(work, log_name), "ab")
    process = subprocess.Popen(arguments, stdout=log, stderr=subprocess.STDOUT)
    processes.append(process)
    return process


def run(*arguments):
    return subprocess.run(arguments, capture_output=True, text=True, timeout=30)


def setting(key):
    if not os.path.exists(settings_file):
        return None
    with open(settings_file, encoding="utf-8") as stored:
        found = re.search(r"^%s=(.*)$" % re.escape(key), stored.read(), re.MULTILINE)
    return found.group(1) if found else None


def set_status(property_name, on):
    result = run("dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                 "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
                 "string:org.a11y.Status", "string:" + property_name,
                 "variant:boolean:" + ("true" if on else "false"))
    if result.returncode != 0:
        fail("could not set %s: %s" % (property_name, result.stderr.strip()))


# --- AT-SPI helpers. Each read asks the program again: the client's cache is dropped first.

def application(pid):
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == pid:
            app.clear_cache()
            return app
    return None


def children(accessible):
    return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]


def role(accessible):
    return accessible.getRoleName()


def has(accessible, state):
    return accessible.getState().contains(state)


def text(accessible):
    return accessible.queryText().getText(0, -1)


def actions(accessible):
    action = accessible.queryAction()
    return [action.getName(i) for i in range(action.nActions)]


def act(accessible, name):
    action = accessible.queryAction()
    for index in range(action.nActions):
        if action.getName(index) == name:
            return action.doAction(index)
    fail("%s %r has no action %s (%s)" % (role(accessible), accessible.name, name,
                                          actions(accessible)))


def window(app, window_role, name):
    for child in children(app):
        if child is not None and role(child) == window_role and child.name == name:
            return child
    return None


def panel(app):
    return window(app, "frame", "Trovimo")


def item(frame, name):
    for child in children(frame):
        if child.name == name:
            return child
    return None


def focused_item(pid):
    app = application(pid)
    frame = panel(app) if app else None
    if frame is None or not has(frame, pyatspi.STATE_ACTIVE):
        return None
    for child in children(frame):
        if has(child, pyatspi.STATE_FOCUSED):
            return child.name
    return None


def key(*names):
    result = run("xdotool", "key", "--clearmodifiers", *names)
    if result.returncode != 0:
        fail("xdotool key %s: %s" % (" ".join(names), result.stderr.strip()))


def active_window():
    return run("xdotool", "getactivewindow").stdout.strip()


# --- A feed that announces a required update, so the badge shows.

class Feed(http.server.BaseHTTPRequestHandler):
    body = json.dumps({"latestVersion": "9.9.0", "minimumVersion": "9.0",
                       "url": "https://www.tsukimi-labs.jp/trovimo/"}).encode()

    def do_GET(self):
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(self.body)))
        self.end_headers()
        self.wfile.write(self.body)

    def log_message(self, *arguments):
        pass


def main():
    server = http.server.HTTPServer(("127.0.0.1", 0), Feed)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    os.makedirs(os.path.dirname(settings_file), exist_ok=True)
    with open(settings_file, "w", encoding="utf-8") as stored:
        stored.write("[General]\nupdateFeedURL=http://127.0.0.1:%d/trovimo/version.json\n"
                     % server.server_address[1])

    # A window that has the keyboard before the panel takes it.
    start(["xmessage", "-name", "typing", "the window that had the keyboard"], "xmessage.log")
    typing = poll("the other window has no focus",
                  lambda: run("xdotool", "search", "--onlyvisible", "--classname",
                              "typing").stdout.split()[:1])[0]
    poll("the other window has no focus", lambda: active_window() == typing)

    # --- Started while no assistive technology is on: the panel stays off the bus, and comes
    # on it (with a new start in the same process) when a screen reader is switched on.
    set_status("IsEnabled", False)
    set_status("ScreenReaderEnabled", False)
    trovimo = start([program], "trovimo.log")
    poll("no panel window", lambda: run("xdotool", "search", "--onlyvisible", "--name",
                                        "^Trovimo$").stdout.strip())
    if application(trovimo.pid) is not None:
        fail("the panel is on the accessibility bus though nothing asked for it")
    set_status("ScreenReaderEnabled", True)
    app = poll("a screen reader switched on after the start does not find the panel",
               lambda: application(trovimo.pid))
    if trovimo.poll() is not None:
        fail("the panel ended instead of starting again")
    passed("a screen reader switched on after the start finds the panel (same process)")

    # --- The tree: every shown block with its name and value in words, the controls.
    poll("no update badge", lambda: item(panel(application(trovimo.pid)), "要アップデート"))
    app = application(trovimo.pid)
    frame = panel(app)
    names = [child.name for child in children(frame)]
    expected = ["要アップデート", "時刻", "CPU", "GPU", "メモリ", "ネットワーク", "ディスク",
                "設定", "最前面に表示"]
    if names != expected:
        fail("panel items %s, expected %s" % (names, expected))
    for child in children(frame)[:-2]:
        for value in (text(child), child.description):
            if not value or re.search("[↓↑—]", value) or re.search(r"\d(B|K|M|G|T)\b", value):
                fail("%s reads %r: not in words" % (child.name, value))
    badge = item(frame, "要アップデート")
    if role(badge) != "push button" or text(badge) != "バージョン 9.9.0" or \
            "Press" not in actions(badge):
        fail("badge: %s %r %s" % (role(badge), text(badge), actions(badge)))
    clock = item(frame, "時刻")
    if role(clock) != "label" or not re.search(r"\d", text(clock)):
        fail("clock: %s %r" % (role(clock), text(clock)))
    network = text(item(frame, "ネットワーク"))
    if "ダウンロード" not in network or "アップロード" not in network:
        fail("network reads %r" % network)
    gear, pin = item(frame, "設定"), item(frame, "最前面に表示")
    if role(gear) != "push button" or "Press" not in actions(gear):
        fail("settings control: %s %s" % (role(gear), actions(gear)))
    if role(pin) != "check box" or "Toggle" not in actions(pin) or \
            not has(pin, pyatspi.STATE_CHECKED):
        fail("pin control: %s %s, checked %s" % (role(pin), actions(pin),
                                                 has(pin, pyatspi.STATE_CHECKED)))
    box = clock.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    hit = frame.queryComponent().getAccessibleAtPoint(
        box.x + box.width // 2, box.y + box.height // 2, pyatspi.DESKTOP_COORDS)
    if hit is None or hit.name != "時刻":
        fail("a hit test on the clock finds %r" % (hit.name if hit else None))
    passed("blocks, clock and badge with names and values in words; controls with actions")

    # A value read twice changes: some load on a core moves the CPU figure.
    first = {name: text(item(frame, name)) for name in ("CPU", "メモリ")}
    # The loop is the process itself: killing it ends the load (a `timeout` in between would
    # die alone and leave the loop spinning for ever).
    spinner = start(["sh", "-c", "while :; do :; done"], "spinner.log")

    def changed():
        now = panel(application(trovimo.pid))
        return any(text(item(now, name)) != value for name, value in first.items())

    poll("no value changed between two reads", changed)
    spinner.kill()
    passed("a value read again is the new one")

    # --- The keyboard: a second start hands the panel the keyboard.
    second = run(program)
    if second.returncode != 0:
        fail("a second start exited with %d" % second.returncode)
    focused = poll("the panel did not take the keyboard", lambda: focused_item(trovimo.pid))
    if focused != "要アップデート":
        fail("the keyboard landed on %r, not the first item" % focused)
    panel_window = active_window()
    key("Down")
    poll("Down did not move to the clock", lambda: focused_item(trovimo.pid) == "時刻")
    key("Up")
    poll("Up did not move back", lambda: focused_item(trovimo.pid) == "要アップデート")
    key("End")
    poll("End did not reach the pin", lambda: focused_item(trovimo.pid) == "最前面に表示")
    key("space")
    poll("Space on the pin did not write alwaysOnTop", lambda: setting("alwaysOnTop") == "false")
    poll("the pin still reads as checked", lambda: not has(
        item(panel(application(trovimo.pid)), "最前面に表示"), pyatspi.STATE_CHECKED))
    passed("a second start gives the panel the keyboard; arrows, End and Space work")

    key("Escape")
    poll("Escape did not give the keyboard back", lambda: active_window() == typing)
    passed("Escape gives the keyboard back to the window that had it")

    # --- The menu from the keyboard, its toggles with their states, 設定… opens the settings.
    run(program)
    poll("the panel did not take the keyboard again", lambda: active_window() == panel_window)
    poll("no item focused", lambda: focused_item(trovimo.pid))

    def open_menu():
        for child in children(panel(application(trovimo.pid))):
            if role(child) == "popup menu" and child.childCount > 0:
                return child
        return None

    key("Menu")
    menu = poll("the Menu key opened no menu", open_menu)
    toggles = {child.name: has(child, pyatspi.STATE_CHECKED)
               for child in children(menu) if role(child) == "check box"}
    if toggles != {"最前面に表示": False, "画面端に吸着": True}:
        fail("menu toggles %s" % toggles)
    act(item(menu, "最前面に表示"), "Toggle")
    poll("the menu's toggle did not write alwaysOnTop", lambda: setting("alwaysOnTop") == "true")
    key("shift+F10")
    poll("Shift+F10 opened no menu", open_menu)
    key("Down")

    def selected():
        entries = [child for child in children(open_menu()) if role(child) != "separator"]
        focused = [i for i, child in enumerate(entries) if has(child, pyatspi.STATE_FOCUSED)]
        target = [i for i, child in enumerate(entries) if child.name == "設定…"]
        return (focused[0], target[0]) if focused and target else None

    focused, target = poll("Down selected nothing in the menu", selected)
    key(*(["Down"] * (target - focused)), "Return")
    dialog = poll("設定… opened no settings window",
                  lambda: window(application(trovimo.pid), "dialog", "設定"))
    passed("Menu key and Shift+F10 open the menu; its toggles are check boxes with states")

    # --- The settings window through AT-SPI: a switch and the threshold land in the file.
    own_load = None
    for group in children(dialog):
        own_load = own_load or item(group, "Trovimo 自身の負荷")
    if own_load is None or role(own_load) != "check box":
        fail("no switch for the own load")
    act(own_load, "Toggle")
    poll("the switch did not write showSelf", lambda: setting("showSelf") == "true")
    poll("the switched-on block is not in the panel",
         lambda: text(item(panel(application(trovimo.pid)), "Trovimo 自身の負荷")))
    slider = None
    for group in children(dialog):
        for child in children(group):
            slider = slider or (child if role(child) == "slider" else None)
    value = slider.queryValue()
    if (value.currentValue, value.minimumValue, value.maximumValue) != (90, 50, 95):
        fail("threshold slider %s of %s-%s" % (value.currentValue, value.minimumValue,
                                                value.maximumValue))
    value.currentValue = 85
    poll("the slider did not write 0.85", lambda: setting("diskAlertThreshold") == "0.85")
    passed("a switch toggled through AT-SPI shows its block; the slider reads percent")


try:
    main()
finally:
    for process in processes:
        if process.poll() is None:
            process.kill()
        process.wait()
