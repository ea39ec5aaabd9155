#!/usr/bin/python3
# Takes the README picture of a GTK print dialog with a letterhead printer:
# the dialog with the printer chosen (General) and its options (Advanced),
# each screen saved as SHOT-general.png and SHOT-options.png. Needs
# gir1.2-gtk-3.0, ImageMagick, a display (xvfb-run) and CUPS_SERVER naming a
# cupsd with a letterhead printer "HP-Office-Briefpapier" (scripts/private-cupsd
# and quillary-printer add). Joined with: convert A B +append -resize 1200x OUT.
#
#   CUPS_SERVER=... xvfb-run -s "-screen 0 720x760x24" scripts/letterhead-dialog-shot.py SHOT
import sys, gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk, GLib
import subprocess

shot = sys.argv[1]
operation = Gtk.PrintOperation()
settings = Gtk.PrintSettings()
settings.set_printer("HP-Office-Briefpapier")
operation.set_print_settings(settings)
operation.set_n_pages(3)
operation.connect("draw-page", lambda *a: None)

def notebook(widget):
    if isinstance(widget, Gtk.Notebook):
        return widget
    if isinstance(widget, Gtk.Container):
        for child in widget.get_children():
            found = notebook(child)
            if found:
                return found
    return None

step = [0]
def tick():
    step[0] += 1
    dialogs = [w for w in Gtk.Window.list_toplevels() if w.get_visible()]
    nb = None
    for w in dialogs:
        nb = nb or notebook(w)
    if step[0] == 1:
        for w in dialogs:
            if isinstance(w, Gtk.Dialog):
                w.resize(700, 740)
        return True
    if step[0] == 2:
        subprocess.run(["import", "-window", "root", shot + "-general.png"])
        labels = [nb.get_tab_label_text(nb.get_nth_page(i)) for i in range(nb.get_n_pages())]
        print("tabs:", labels, flush=True)
        for i, label in enumerate(labels):
            if label and "Letterhead" in label:
                nb.set_current_page(i)
                break
        else:
            for i, label in enumerate(labels):
                if label and "Advanced" in label:
                    nb.set_current_page(i)
        return True
    if step[0] == 3:
        page = nb.get_nth_page(nb.get_current_page())
        def scrolled(widget):
            if isinstance(widget, Gtk.ScrolledWindow):
                return widget
            if isinstance(widget, Gtk.Container):
                for child in widget.get_children():
                    found = scrolled(child)
                    if found:
                        return found
            return None
        sw = scrolled(page)
        if sw:
            adj = sw.get_vadjustment()
            adj.set_value(adj.get_upper())
        return True
    subprocess.run(["import", "-window", "root", shot + "-options.png"])
    for w in dialogs:
        if isinstance(w, Gtk.Dialog):
            w.response(Gtk.ResponseType.CANCEL)
    return False

GLib.timeout_add_seconds(4, tick)
operation.run(Gtk.PrintOperationAction.PRINT_DIALOG, None)
