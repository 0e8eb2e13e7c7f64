#!/usr/bin/python3
"""Prints the colours of screen points as a compositor itself shows them, taken through its
own screenshot interface on the session bus (DBUS_SESSION_BUS_ADDRESS).

    compositor_pixels.py kwin|gnome-shell X,Y [X,Y ...]   ->   "pixel X Y #rrggbb" per point

KWin answers when started with KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1. GNOME Shell answers
only the screenshot tools it knows by their bus names; on the test's private bus this
script takes one of those names. Exit status 1 when no screenshot could be taken."""
import os
import sys
import tempfile
import time

import gi

gi.require_version("Gio", "2.0")
gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf, Gio, GLib  # noqa: E402


def kwin_area(bus, x, y, width, height):
    """(width, height, stride, bytes, channel order, channels) of the area, raw from KWin."""
    reader, writer = os.pipe()
    fds = Gio.UnixFDList()
    fds.append(writer)
    os.close(writer)
    reply, _ = bus.call_with_unix_fd_list_sync(
        "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2",
        "CaptureArea", GLib.Variant("(iiuua{sv}h)", (x, y, width, height, {}, 0)),
        GLib.VariantType("(a{sv})"), Gio.DBusCallFlags.NONE, 20000, fds, None)
    del fds
    data = bytearray()
    with os.fdopen(reader, "rb") as stream:
        while chunk := stream.read(65536):
            data += chunk
    meta = reply.unpack()[0]
    # QImage formats: 4-6 are 32-bit ARGB words (B, G, R, A in memory here), 16-18 RGBA bytes.
    order = "bgr" if meta["format"] in (4, 5, 6) else "rgb"
    return meta["width"], meta["height"], meta["stride"], bytes(data), order, 4


def gnome_shell_area(bus, x, y, width, height):
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", GLib.Variant("(su)", ("org.gnome.Screenshot", 4)),
                  None, Gio.DBusCallFlags.NONE, 10000, None)
    path = os.path.join(tempfile.mkdtemp(), "area.png")
    deadline = time.monotonic() + 20
    while True:  # the shell learns of the name's new owner asynchronously
        try:
            bus.call_sync("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                          "org.gnome.Shell.Screenshot", "ScreenshotArea",
                          GLib.Variant("(iiiibs)", (x, y, width, height, False, path)),
                          GLib.VariantType("(bs)"), Gio.DBusCallFlags.NONE, 20000, None)
            break
        except GLib.Error:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.2)
    image = GdkPixbuf.Pixbuf.new_from_file(path)
    return (image.get_width(), image.get_height(), image.get_rowstride(), image.get_pixels(),
            "rgb", image.get_n_channels())


def main():
    kind, points = sys.argv[1], [tuple(map(int, p.split(","))) for p in sys.argv[2:]]
    left, top = min(p[0] for p in points), min(p[1] for p in points)
    width = max(p[0] for p in points) - left + 1
    height = max(p[1] for p in points) - top + 1
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    take = kwin_area if kind == "kwin" else gnome_shell_area
    got_width, got_height, stride, data, order, channels = take(bus, left, top, width, height)
    if (got_width, got_height) != (width, height):
        print(f"screenshot is {got_width}x{got_height}, asked for {width}x{height}")
        return 1
    for x, y in points:
        at = (y - top) * stride + (x - left) * channels
        red, green, blue = data[at:at + 3] if order == "rgb" else reversed(data[at:at + 3])
        print(f"pixel {x} {y} #{red:02x}{green:02x}{blue:02x}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
