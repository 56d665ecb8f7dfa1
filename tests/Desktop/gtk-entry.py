#!/usr/bin/python3
# A GTK 3 window to select text in: one entry ("entry: ..." printed on every change), or with
# --view a multi-line text view ("view: ..." printed on every change), its text given or read
# from a file ("@path"), with --select-all all of it selected.
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

arguments = sys.argv[1:]
view = "--view" in arguments
if view:
    arguments.remove("--view")
select_all = "--select-all" in arguments
if select_all:
    arguments.remove("--select-all")
text = arguments[0] if arguments else ""
if text.startswith("@"):
    with open(text[1:], encoding="utf-8") as source:
        text = source.read()
if view:
    window = Gtk.Window(title="Ambrel GTK text view")
    window.set_default_size(420, 120)
    window.move(100, 580)
    area = Gtk.TextView()
    area.get_buffer().set_text(text)
    area.get_buffer().connect(
        "changed", lambda b: print("view: " + b.get_text(b.get_start_iter(), b.get_end_iter(), False), flush=True))
    if select_all:
        area.get_buffer().select_range(area.get_buffer().get_start_iter(), area.get_buffer().get_end_iter())
    scrolled = Gtk.ScrolledWindow()
    scrolled.add(area)
    window.add(scrolled)
else:
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
