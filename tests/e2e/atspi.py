"""Reads the texts of the program's widgets through the accessibility bus, for the end-to-end tests.

    atspi.py dump                   every accessible of the program: depth, role, name, description, text
    atspi.py text REGEX [SECONDS]   waits for a widget whose name or text matches, prints that text whole
    atspi.py window REGEX [SECONDS] waits for a top-level window holding such a widget, prints the texts of all
                                    its widgets, one a line (line breaks inside a text shown as \\n)

Exits 1 when nothing matches within the time (default 10 s). Needs DISPLAY and DBUS_SESSION_BUS_ADDRESS
of the test's own session.
"""

import re
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

PROGRAM = "hourlink"


def program():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == PROGRAM:
            # Names change under us (a status line, a balloon that comes and goes): read them afresh.
            app.clear_cache()
            return app
    return None


def children(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield child


def text_of(node):
    if "Text" not in node.get_interfaces():
        return ""
    return Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node))


def values(node):
    """The name and the text of a widget, the ones that are not empty."""
    return [v for v in (node.get_name() or "", text_of(node)) if v]


def walk(node, depth=0):
    yield depth, node
    for child in children(node):
        yield from walk(child, depth + 1)


def find(pattern):
    """The first widget whose name or text matches, with its top-level window."""
    app = program()
    if app is None:
        return None, None
    for window in children(app):
        for _, node in walk(window):
            for value in values(node):
                if pattern.search(value):
                    return window, value
    return None, None


def wait_for(pattern, seconds):
    deadline = time.monotonic() + seconds
    while True:
        try:
            window, value = find(pattern)
        except GLib.Error:
            # A widget that went away while being read; the next pass reads the tree again.
            window, value = None, None
        if window is not None:
            return window, value
        if time.monotonic() >= deadline:
            return None, None
        time.sleep(0.2)


def main(argv):
    if len(argv) >= 2 and argv[1] == "dump":
        app = program()
        if app is None:
            return 1
        for depth, node in walk(app):
            fields = [str(depth), node.get_role_name(), node.get_name() or "", node.get_description() or "",
                      text_of(node)]
            print("\t".join(f.replace("\n", "\\n") for f in fields))
        return 0
    if len(argv) in (3, 4) and argv[1] in ("text", "window"):
        pattern = re.compile(argv[2])
        seconds = float(argv[3]) if len(argv) == 4 else 10.0
        window, value = wait_for(pattern, seconds)
        if window is None:
            return 1
        if argv[1] == "text":
            print(value)
        else:
            for _, node in walk(window):
                for v in values(node):
                    print(v.replace("\n", "\\n"))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
