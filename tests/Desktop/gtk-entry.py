#!/usr/bin/python3
# A GTK 3 window with one entry to select text in; prints "entry: ..." on every change.
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

text = sys.argv[1] if len(sys.argv) > 1 else ""
window = Gtk.Window(title="Ambrel GTK target")
window.set_default_size(420, 80)
window.move(100, 450)
entry = Gtk.Entry()
entry.set_text(text)
entry.connect("changed", lambda e: print("entry: " + e.get_text(), flush=True))
window.add(entry)
window.connect("destroy", Gtk.main_quit)
window.show_all()
print("ready", flush=True)
Gtk.main()
