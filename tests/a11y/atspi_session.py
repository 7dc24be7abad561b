"""Drives the programs through the desktop's accessibility bus, as a screen reader or an
automation tool would: finds accessibles by role and name or by AccessibleId, performs their
actions, reads their text and values and records the events they raise.

Run under Xvfb and a private session bus (run-under-session.sh), where the accessibility bus
and registry start by D-Bus activation."""

import os
import subprocess
import sys
import time

import pyatspi


def wait_for(what, predicate, timeout=10.0, step=0.05):
    """The first true result of predicate() within timeout seconds; fails the test otherwise."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            result = predicate()
        except Exception:  # an accessible that went away while being read
            result = None
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(step)


def children(acc):
    return [acc.getChildAtIndex(i) for i in range(acc.childCount)]


def role_name(acc):
    return acc.getRoleName()


def accessible_id(acc):
    return acc.get_accessible_id() if hasattr(acc, "get_accessible_id") else acc.accessibleId


def walk(acc):
    """Every accessible under acc (itself included), depth first."""
    yield acc
    for child in children(acc):
        if child is not None:
            yield from walk(child)


def application(name, timeout=10.0):
    desktop = pyatspi.Registry.getDesktop(0)

    def find():
        for app in children(desktop):
            if app is not None and app.name == name:
                return app
        return None

    return wait_for("application " + name + " on the desktop", find, timeout)


def window_of(acc):
    """The window (a child of the application) that holds acc."""
    while acc.parent is not None and role_name(acc.parent) != "application":
        acc = acc.parent
    return acc


def find(root, role=None, name=None, ident=None):
    for acc in walk(root):
        if role is not None and role_name(acc) != role:
            continue
        if name is not None and acc.name != name:
            continue
        if ident is not None and accessible_id(acc) != ident:
            continue
        return acc
    return None


def wait_find(root, role=None, name=None, ident=None, timeout=10.0):
    what = "%s %r %r" % (role, name, ident)
    return wait_for(what, lambda: find(root, role, name, ident), timeout)


def press(acc, timeout=5.0):
    """Performs the accessible's first action (click, jump) once it can be used: a window
    under a modal dialog becomes usable again only when the dialog has gone."""
    wait_for("%s %r to be usable" % (role_name(acc), acc.name),
             lambda: "sensitive" in states(acc), timeout)
    action = acc.queryAction()
    if action.nActions < 1:
        raise AssertionError("%s %r has no action" % (role_name(acc), acc.name))
    if not action.doAction(0):
        raise AssertionError("%s %r refused its action" % (role_name(acc), acc.name))


def states(acc):
    return {pyatspi.stateToString(s) for s in acc.getState().getStates()}


def text_of(acc):
    text = acc.queryText()
    return text.getText(0, -1)


def value_of(acc):
    return acc.queryValue().currentValue


def dump(acc, depth=0, out=sys.stdout):
    """The tree as a screen-reader user's tool shows it: role, name, id, states of note, value."""
    notes = []
    if acc.childCount == 0 or role_name(acc) in ("push button", "check box", "link"):
        interesting = states(acc) & {"focused", "checked", "selected", "active", "modal"}
        if "enabled" not in states(acc) and role_name(acc) != "application":
            interesting.add("disabled")
        notes.extend(sorted(interesting))
    try:
        notes.append("value %g" % value_of(acc))
    except NotImplementedError:
        pass
    line = "%s%s %r" % ("  " * depth, role_name(acc), acc.name)
    ident = accessible_id(acc)
    if ident:
        line += " [%s]" % ident
    if notes:
        line += " (" + ", ".join(notes) + ")"
    print(line, file=out)
    for child in children(acc):
        dump(child, depth + 1, out)


class EventLog:
    """Records the events a screen reader listens to, in order, as (type, source name, detail)."""

    TYPES = ["object:state-changed", "object:property-change:accessible-name",
             "object:property-change:accessible-value", "object:children-changed",
             "window:create", "window:activate", "window:deactivate", "window:destroy"]

    def __init__(self):
        self.events = []
        pyatspi.Registry.registerEventListener(self._record, *self.TYPES)

    def _record(self, event):
        try:
            source = event.source.name
        except Exception:
            source = None
        self.events.append((event.type, source, event.detail1, event.any_data))

    def pump(self, seconds=0.3):
        """Lets queued events arrive (pyatspi delivers them from its main loop)."""
        from gi.repository import GLib
        context = GLib.MainContext.default()
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            context.iteration(False)
            time.sleep(0.01)

    def close(self):
        pyatspi.Registry.deregisterEventListener(self._record, *self.TYPES)


class Program:
    """A program started with the environment of the test session; stopped at the end."""

    def __init__(self, argv, env=None, log=None):
        self.log = open(log, "w") if log else subprocess.DEVNULL
        self.process = subprocess.Popen(argv, env=env or os.environ.copy(), stdout=self.log,
                                        stderr=subprocess.STDOUT)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
