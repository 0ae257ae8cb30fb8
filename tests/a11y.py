#!/usr/bin/python3
"""Reads the running program's accessibility tree (AT-SPI), as assistive technology does.

The real-window checks find controls and read results here instead of calling into the
program. Objects are named by role and accessible name; labels carry their text as name.

  a11y.py dump                      the whole tree of the program's windows
  a11y.py center ROLE NAME          "x y" of the object's centre on the screen
  a11y.py after TEXT                name of the label that follows the label TEXT
  a11y.py field TEXT                "x y" of the centre of the text box after the label TEXT
  a11y.py value TEXT                what the text box after the label TEXT holds
  a11y.py description ROLE NAME     the object's accessible description
  a11y.py names ROLE [PARENT]       names of all objects of the role (under PARENT's name)
  a11y.py alert                     the text of the message box that is open, if any
  a11y.py bars WINDOW               "h|v x y w h" of the window's own scroll bars: the lowest
                                    horizontal and the rightmost vertical one
NAME may be a regular expression written as /.../. Exit status 1 when nothing matches.
"""
import re
import sys
import time

import pyatspi

APP = "Kelvora"


def matches(pattern, text):
    if pattern.startswith("/") and pattern.endswith("/") and len(pattern) > 1:
        return re.search(pattern[1:-1], text or "") is not None
    return (text or "") == pattern


def application():
    # The bus may need a moment after the program starts.
    for _ in range(50):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == APP:
                return app
        time.sleep(0.1)
    sys.exit("no accessible application named " + APP)


def walk(acc, depth=0):
    try:
        yield acc, depth
        for i in range(acc.childCount):
            child = acc.getChildAtIndex(i)
            if child is not None:
                yield from walk(child, depth + 1)
    except Exception:  # an object that went away while walking
        return


def showing(acc):
    try:
        return acc.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def find(role, name, on_screen=True):
    for acc, _ in walk(application()):
        if acc.getRoleName() == role and matches(name, acc.name) and (
                showing(acc) or not on_screen):
            return acc
    return None


def main(argv):
    if not argv:
        sys.exit(__doc__)
    command, args = argv[0], argv[1:]
    if command == "dump":
        for acc, depth in walk(application()):
            print("%s%s|%s|%s" % ("  " * depth, acc.getRoleName(), acc.name,
                                   acc.description))
        return 0
    if command == "center":
        acc = find(args[0], args[1])
        if acc is None:
            return 1
        ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        print(ext.x + ext.width // 2, ext.y + ext.height // 2)
        return 0
    if command == "after":
        labels = [a for a, _ in walk(application())
                  if a.getRoleName() == "label" and showing(a)]
        for i, acc in enumerate(labels[:-1]):
            if matches(args[0], acc.name):
                print(labels[i + 1].name)
                return 0
        return 1
    if command in ("field", "value"):
        # Text boxes have no names of their own; they are found by the caption before them.
        caption = False
        for acc, _ in walk(application()):
            if not showing(acc):
                continue
            if acc.getRoleName() == "label" and matches(args[0], acc.name):
                caption = True
            elif caption and acc.getRoleName() == "text":
                if command == "value":
                    print(acc.queryText().getText(0, -1))
                    return 0
                ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                print(ext.x + ext.width // 2, ext.y + ext.height // 2)
                return 0
        return 1
    if command == "description":
        acc = find(args[0], args[1], on_screen=False)  # a row scrolled away too
        if acc is None:
            return 1
        print(acc.description)
        return 0
    if command == "names":
        root = application()
        if len(args) > 1:
            root = next((a for a, _ in walk(root) if matches(args[1], a.name)), None)
            if root is None:
                return 1
        for acc, _ in walk(root):
            if acc.getRoleName() == args[0] and acc is not root:
                print(acc.name)
        return 0
    if command == "bars":
        window = next((a for a, _ in walk(application())
                       if a.getRoleName() in ("frame", "dialog") and matches(args[0], a.name)
                       and showing(a)), None)
        if window is None:
            return 1
        edge = {}
        for acc, _ in walk(window):
            if acc.getRoleName() == "scroll bar" and showing(acc):
                e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                way, far = ("h", e.y + e.height) if e.width > e.height else ("v", e.x + e.width)
                if far > edge.get(way, (-1, None))[0]:
                    edge[way] = (far, e)
        for way, (_, e) in sorted(edge.items()):
            print(way, e.x, e.y, e.width, e.height)
        return 0
    if command == "alert":
        for acc, _ in walk(application()):
            if acc.getRoleName() == "alert" and showing(acc):
                texts = [a.name for a, _ in walk(acc) if a.getRoleName() == "label" and a.name]
                print("\n".join(texts))
                return 0
        return 1
    sys.exit("unknown command " + command)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
