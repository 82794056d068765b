#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Reads the running map window as a screen reader does, over AT-SPI, and prints JSON:
the box's name, the progress line and the open More menu's entries, each with its own.
It waits for the menu to open (the test opens it with a key).

Then it listens as a screen reader listens to what changes while the user works: every
name change, and every control the program announces as checked, shown or enabled. Each
announcement of a watched kind is printed as it arrives, as {"heard": kind, "name": name},
so the test can wait for one before it types on. Once the names of each watched kind have arrived (the
box's, the progress line's, a checked button's, quick find's count), or the deadline has
passed, it prints a last line of JSON with all it heard.

Exits 77 when the AT-SPI client library is missing, 2 when the program never shows up on
the accessibility bus within the deadline given as the first argument (seconds). The
second argument, when given, is the box's caption to wait for, the third the start of
the progress line to wait for, the fourth the button to hear checked, the fifth quick
find's count. A sixth names a check button whose "Toggle" action it runs, as a screen
reader's user does, once it has read the window and before it prints what it read.
"""
import json
import sys
import time

try:
    import gi

    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi, GLib
except (ImportError, ValueError) as error:
    print(f"no AT-SPI client library: {error}", file=sys.stderr)
    sys.exit(77)

APPLICATION = "Veldamar Interactive Map"
MENUS = (Atspi.Role.MENU, Atspi.Role.POPUP_MENU)
LISTENED = (
    "object:property-change:accessible-name",
    "object:state-changed:checked",
    "object:state-changed:showing",
    "object:state-changed:enabled",
)


def children(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            yield child


def walk(node, depth=0):
    yield node
    if depth < 40:
        for child in children(node):
            yield from walk(child, depth + 1)


def application(deadline):
    while time.monotonic() < deadline:
        for app in children(Atspi.get_desktop(0)):
            if app.get_name() == APPLICATION and app.get_child_count() > 0:
                return app
        time.sleep(0.1)
    return None


def ask(app):
    """Asks the program something it answers itself (the client caches none of it)."""
    for window in children(app):
        component = window.get_component_iface()
        if component is not None:
            component.get_extents(Atspi.CoordType.SCREEN)
            return


def toggle(app, name):
    """Runs the named check button's own toggle action; prints what it found to stderr."""
    for node in walk(app):
        if node.get_role() == Atspi.Role.CHECK_BOX and node.get_name() == name:
            actions = node.get_action_iface()
            names = [actions.get_action_name(i) for i in range(actions.get_n_actions())]
            if "Toggle" in names:
                actions.do_action(names.index("Toggle"))
                return
            print(f"'{name}' offers no Toggle: {names}", file=sys.stderr)
            return
    print(f"no check button '{name}'", file=sys.stderr)


def entries(menu):
    """The entries of a menu, each with the entries of its submenu."""
    listed = []
    for item in children(menu):
        submenu = [c for c in children(item) if c.get_role() in MENUS]
        listed.append({"name": item.get_name(), "entries": entries(submenu[0]) if submenu else []})
    return listed


class Heard:
    """What the program announced: names as they changed, buttons as they were checked."""

    def __init__(self):
        self.box = []
        self.progress = []
        self.checked = []
        self.found = []
        self.shown = []
        self.enabled = []
        self.telling = False

    def __call__(self, event):
        try:
            source = event.source
            if event.type.startswith("object:property-change:accessible-name"):
                name = event.any_data if isinstance(event.any_data, str) else source.get_name()
                if source.get_description() == "Selected location":
                    self.tell("box", name)
                elif source.get_role() == Atspi.Role.LABEL and name.startswith("Visited "):
                    self.tell("progress", name)
                elif source.get_role() == Atspi.Role.LABEL and name.endswith(" found"):
                    self.tell("found", name)
            elif event.type.startswith("object:state-changed:checked") and event.detail1 == 1:
                self.tell("checked", source.get_name())
            elif event.type.startswith("object:state-changed:showing") and event.detail1 == 1:
                self.tell("shown", source.get_name())
            elif event.type.startswith("object:state-changed:enabled") and event.detail1 == 1:
                self.tell("enabled", source.get_name())
        except GLib.Error:
            pass  # the source went before it could be asked

    def tell(self, kind, name):
        getattr(self, kind).append(name)
        # Nothing is printed before the first line, which the test reads first.
        if self.telling:
            print(json.dumps({"heard": kind, "name": name}), flush=True)

    def complete(self, box, progress, button, found):
        return (
            (box is None or box in self.box)
            and (progress is None or any(p.startswith(progress) for p in self.progress))
            and (button is None or button in self.checked)
            and (found is None or found in self.found)
        )


def listen(heard, deadline, wanted):
    """Runs the event loop until every wanted announcement came or the deadline passed."""

    def check():
        if heard.complete(*wanted) or time.monotonic() > deadline:
            Atspi.event_quit()
            return False
        return True

    GLib.timeout_add(50, check)
    Atspi.event_main()


def main():
    deadline = time.monotonic() + float(sys.argv[1] if len(sys.argv) > 1 else 20)
    wanted = tuple(sys.argv[i] if len(sys.argv) > i else None for i in (2, 3, 4, 5))
    app = application(deadline)
    if app is None:
        print("the program is not on the accessibility bus", file=sys.stderr)
        return 2
    # The toolkit reads the registered listeners once as it joins the bus and then follows
    # the registry's notices of new ones: a listener registered between the two is never
    # told of. Registering once the program has answered leaves no such gap, and a second
    # answer after it comes only once the program has taken the notices in.
    ask(app)
    heard = Heard()
    listener = Atspi.EventListener.new(heard)
    for event in LISTENED:
        listener.register(event)
    ask(app)
    found = {"box": None, "boxDescription": None, "progress": None, "menu": None}
    # The open menu stands among the application's windows; the test opens it by a key.
    while found["menu"] is None and time.monotonic() < deadline:
        for window in children(app):
            if window.get_role() in MENUS and window.get_name() == "More":
                found["menu"] = entries(window)
        if found["menu"] is None:
            time.sleep(0.1)
    if found["menu"] is None:
        seen = [f"{w.get_role_name()} '{w.get_name()}'" for w in children(app)]
        print("no open menu among the windows: " + ", ".join(seen), file=sys.stderr)
    for node in walk(app):
        description = node.get_description()
        name = node.get_name()
        if description == "Selected location":
            found["box"], found["boxDescription"] = name, description
        elif name.startswith("Visited ") and node.get_role() == Atspi.Role.LABEL:
            found["progress"] = name
    # Before the first line: the test types on once it has read it, and a key typed while
    # the program answers the action would wait on the reader, which waits on the program.
    if len(sys.argv) > 6:
        toggle(app, sys.argv[6])
    print(json.dumps(found), flush=True)
    heard.telling = True
    if any(w is not None for w in wanted):
        listen(heard, deadline, wanted)
        print(
            json.dumps({"box": heard.box, "progress": heard.progress, "checked": heard.checked, "found": heard.found}),
            flush=True,
        )
    return 0


if __name__ == "__main__":
    sys.exit(main())
