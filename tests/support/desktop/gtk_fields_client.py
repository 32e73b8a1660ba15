#!/usr/bin/python3
# SPDX-License-Identifier: MIT
# A GTK 3 window for the desktop integration tests: a single-line field, a multi-line field, a
# password field and a button (window class "GtkFields"). Commands arrive on standard input, one per
# line; answers go to standard output:
#   focus NAME     -> "focused NAME"
#   text NAME      -> "text NAME <contents, newlines as \n>"
#   clear NAME     -> "cleared NAME"
#   geometry NAME  -> "geometry NAME x y width height" (root window coordinates)
#   quit
# With --objects N the window also holds N labels, for tests of large accessibility trees.
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def main():
    objects = 0
    if "--objects" in sys.argv:
        objects = int(sys.argv[sys.argv.index("--objects") + 1])

    window = Gtk.Window(title="GTK fields")
    window.set_wmclass("gtk-fields", "GtkFields")
    window.set_default_size(420, 320)
    box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=4)
    single = Gtk.Entry()
    multi = Gtk.TextView()
    multi.set_size_request(400, 80)
    password = Gtk.Entry()
    password.set_visibility(False)
    button = Gtk.Button(label="Press")
    for widget in (single, multi, password, button):
        box.pack_start(widget, False, False, 0)
    if objects:
        labels = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
        for index in range(objects):
            labels.pack_start(Gtk.Label(label="label %d" % index), False, False, 0)
        scrolled = Gtk.ScrolledWindow()
        scrolled.set_size_request(400, 120)
        scrolled.add(labels)
        box.pack_start(scrolled, True, True, 0)
    window.add(box)
    widgets = {"single": single, "multi": multi, "password": password, "button": button}

    def text_of(widget):
        if isinstance(widget, Gtk.TextView):
            buffer = widget.get_buffer()
            return buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
        if isinstance(widget, Gtk.Entry):
            return widget.get_text()
        return widget.get_label()

    def answer(line):
        print(line, flush=True)

    def command(source, condition):
        line = sys.stdin.readline()
        if not line:
            Gtk.main_quit()
            return False
        parts = line.split()
        if not parts:
            return True
        verb, name = parts[0], parts[1] if len(parts) > 1 else ""
        if verb == "quit":
            Gtk.main_quit()
            return False
        widget = widgets.get(name)
        if widget is None:
            answer("error unknown widget " + name)
        elif verb == "focus":
            window.present()
            widget.grab_focus()
            answer("focused " + name)
        elif verb == "text":
            answer("text %s %s" % (name, text_of(widget).replace("\\", "\\\\").replace("\n", "\\n")))
        elif verb == "clear":
            if isinstance(widget, Gtk.TextView):
                widget.get_buffer().set_text("")
            elif isinstance(widget, Gtk.Entry):
                widget.set_text("")
            answer("cleared " + name)
        elif verb == "geometry":
            gdk_window = widget.get_window()
            origin_x, origin_y = gdk_window.get_origin()[1:]
            allocation = widget.get_allocation()
            if widget.get_has_window():
                x, y = origin_x, origin_y
            else:
                x, y = origin_x + allocation.x, origin_y + allocation.y
            answer("geometry %s %d %d %d %d" % (name, x, y, allocation.width, allocation.height))
        else:
            answer("error unknown command " + verb)
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, command)
    window.connect("destroy", Gtk.main_quit)

    def ready(*_):
        GLib.idle_add(lambda: answer("ready") or False)

    window.connect("map-event", ready)
    window.show_all()
    single.grab_focus()
    Gtk.main()


main()
