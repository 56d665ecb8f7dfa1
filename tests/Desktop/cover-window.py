#!/usr/bin/python3
# A GTK 3 window that never takes the keyboard focus, with nothing in it but a drawing area,
# placed over another application's window: cover-window.py X Y WIDTH HEIGHT [--accessible].
# With --accessible it tells the accessibility bus about itself (its drawing area holds no text);
# without, it tells the bus nothing.
import os
import sys

arguments = sys.argv[1:]
accessible = "--accessible" in arguments
if accessible:
    arguments.remove("--accessible")
    os.environ["GTK_A11Y"] = "atspi"
    os.environ["NO_AT_BRIDGE"] = "0"
else:
    os.environ["NO_AT_BRIDGE"] = "1"
    os.environ["GTK_A11Y"] = "none"

import gi  # noqa: E402

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

x, y, width, height = (int(v) for v in arguments[:4])
window = Gtk.Window(title="Ambrel cover window")
window.set_accept_focus(False)
window.set_focus_on_map(False)
window.set_keep_above(True)
window.set_default_size(width, height)
window.move(x, y)
window.add(Gtk.DrawingArea())
window.connect("destroy", Gtk.main_quit)
window.show_all()
print("ready", flush=True)
Gtk.main()
