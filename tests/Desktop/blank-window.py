#!/usr/bin/python3
# A GTK 3 window that shows nothing to select and tells the accessibility bus nothing: a drag in
# it takes no selection anywhere.
import os

os.environ["NO_AT_BRIDGE"] = "1"
os.environ["GTK_A11Y"] = "none"

import gi  # noqa: E402

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

window = Gtk.Window(title="Ambrel blank window")
window.set_default_size(300, 200)
window.move(700, 450)
window.add(Gtk.DrawingArea())
window.connect("destroy", Gtk.main_quit)
window.show_all()
print("ready", flush=True)
Gtk.main()
