# A GTK text view for the end-to-end tests: prints its window id once shown, and writes its whole
# text to the file given as the first argument whenever it changes. Arguments: file, title, class.
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
gi.require_version("GdkX11", "3.0")
from gi.repository import Gdk, GdkX11, Gtk  # noqa: E402,F401

out = sys.argv[1]
if len(sys.argv) > 3:
    Gdk.set_program_class(sys.argv[3])  # the window class
window = Gtk.Window(title=sys.argv[2] if len(sys.argv) > 2 else "client")
window.set_default_size(420, 240)
view = Gtk.TextView()
window.add(view)
buffer = view.get_buffer()


def save(*_):
    text = buffer.get_text(buffer.get_start_iter(), buffer.get_end_iter(), True)
    with open(out + ".tmp", "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(out + ".tmp", out)


def shown(*_):
    print(window.get_window().get_xid(), flush=True)
    return False


buffer.connect("changed", save)
save()
window.connect("map-event", shown)
window.connect("destroy", Gtk.main_quit)
window.show_all()
view.grab_focus()
Gtk.main()
