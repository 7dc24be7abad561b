"""Walks the main program's screens and dialogs on the accessibility bus as a screen reader
would, in German: the welcome screen, the update offer (and Tab through it), the pairing list, the home screen of a connected pair,
the window menu, the about dialog and the firmware check. Every widget a user can act on must
have a role, a name in the active language and an action; pictures that carry information
must be named; parent and child links must agree both ways.

usage (inside run-under-session.sh): accessible_tree_test.py BIN_DIR"""

import os
import subprocess
import sys
import tempfile
import time

import atspi_session as s
import programs

ACTIONABLE_ROLES = {"push button", "check box", "menu item", "list item", "link"}
INFORMATIVE_PICTURES = {"_staticImgBatteryL", "_staticImgBatteryR", "_staticImgEarBuds", "Logo"}
# A message dialog's buttons are found by the result they give, whatever the language.
MESSAGE_BUTTON_IDS = {"Button OK", "Button Cancel", "Button Abort", "Button Retry", "Button Ignore",
                      "Button Yes", "Button No", "Button Continue"}
failures = []
message_buttons = []


def expect(condition, message):
    if not condition:
        failures.append(message)


def describe(acc):
    return "%s %r [%s]" % (s.role_name(acc), acc.name, s.accessible_id(acc))


def check_subtree(root):
    """The rules above, for everything under root; returns how many accessibles it saw."""
    seen = 0
    for acc in s.walk(root):
        seen += 1
        role = s.role_name(acc)
        expect(role not in ("", "unknown", "invalid"), "no role: " + describe(acc))
        try:
            actions = acc.queryAction().nActions
        except NotImplementedError:
            actions = 0
        if role in ACTIONABLE_ROLES or actions > 0:
            expect(actions > 0, "nothing to do: " + describe(acc))
            expect(acc.name.strip() != "", "unnamed: " + describe(acc))
            expect(role in ACTIONABLE_ROLES, "an action on a %s: %s" % (role, describe(acc)))
        if role == "push button" and s.accessible_id(acc.parent) == "SMessageButtonPanel":
            if not message_buttons:
                s.dump(s.window_of(acc))  # for the record: the first message dialog met
            message_buttons.append((s.accessible_id(acc), acc.name))
            expect(s.accessible_id(acc) in MESSAGE_BUTTON_IDS, "message button id: " + describe(acc))
        if role == "image" and s.accessible_id(acc) in INFORMATIVE_PICTURES:
            expect(acc.name.strip() != "", "unnamed picture: " + describe(acc))
        for index, child in enumerate(s.children(acc)):
            expect(child.parent == acc, "parent link differs: " + describe(child))
            expect(child.getIndexInParent() == index, "index in parent differs: " + describe(child))
    return seen


def window_of(app, role, name=None):
    return s.wait_for("a %s %r" % (role, name),
                      lambda: next((w for w in s.children(app) if s.role_name(w) == role and
                                    (name is None or w.name == name)), None))


def check_settled(read_root, attempts=3):
    """check_subtree on a window that may be rebuilt while it is read (the window menu's items
    follow the connection, whose reports keep arriving after the home screen shows). An attempt
    that meets an object that went away, or finds fault, is tried again on the window as it is
    then; a fault that stays is recorded by the last attempt."""
    for attempt in range(attempts):
        last = attempt == attempts - 1
        before = len(failures)
        try:
            root = read_root()
            check_subtree(root)
        except Exception:
            if last:
                raise
            del failures[before:]
            time.sleep(0.3)
            continue
        if last or len(failures) == before:
            return root
        del failures[before:]
        time.sleep(0.3)
    return None


def main(bin_dir):
    log_dir = tempfile.mkdtemp(prefix="a11y-walk-")
    sim = programs.Neighbourhood(bin_dir, log_dir)
    manager = None
    try:
        manager, app = programs.start_manager(bin_dir, log_dir, sim, language="de-DE")
        frame = window_of(app, "frame")
        expect(frame.get_object_locale().startswith("de"), "locale " + frame.get_object_locale())
        s.wait_find(frame, ident="SCommonButton _btnConnect")
        expect(s.find(frame, "push button", "Schließen") is not None, "no German close button")

        # The sim's server offers a newer program: the offer comes first, over a main window
        # that takes no input meanwhile, with its message readable.
        offer = s.window_of(s.wait_find(app, ident="SNeedUpdateDlg", timeout=10))
        expect(s.role_name(offer) == "dialog" and "modal" in s.states(offer), describe(offer))
        message = s.find(offer, "label", ident="SNeedUpdateDlg")
        expect(message is not None and "Auralis Manager" in s.text_of(message), "offer text")
        connect = s.find(frame, ident="SCommonButton _btnConnect")
        expect("sensitive" not in s.states(connect), "connect usable under a modal dialog")
        expect(not connect.queryAction().doAction(0), "connect pressed under a modal dialog")
        check_subtree(app)

        # Tab moves the keyboard focus through the offer, and the accessible focus follows it,
        # announced as it goes.
        # Without a window manager a new window need not get the keyboard; the check runs
        # when it has it (it does on most runs under bare Xvfb).
        try:
            s.wait_for("the offer to have the keyboard", lambda: "active" in s.states(offer), 3)
            keyboard = True
        except AssertionError:
            keyboard = False
            print("note: the offer did not get the keyboard; Tab not checked")
        if keyboard:
            events = s.EventLog()
            focused = []
            for _ in range(2):
                subprocess.run(["xdotool", "key", "Tab"], check=True)
                focused.append(s.wait_for("the focus to move", lambda: next(
                    (s.accessible_id(a) for a in s.walk(offer) if "focused" in s.states(a) and
                     s.accessible_id(a) not in focused), None)))
            events.pump(0.3)
            expect(focused == ["CloseButton", "ReCheck"], "focus went %r" % focused)
            gains = [source for kind, source, gained, _ in events.events
                     if kind == "object:state-changed:focused" and gained]
            expect(gains[-2:] == ["Schließen", "Nicht mehr erinnern"], "focus told %r" % gains)
            events.close()

        # Grab focus puts the keyboard focus where a client asks; the point inside a button
        # finds that button, on the screen and in the window alike.
        cancel = s.find(offer, "push button", "Abbrechen")
        cancel.queryComponent().grabFocus()
        if keyboard:
            s.wait_for("focus on Abbrechen", lambda: "focused" in s.states(cancel))
        for coords in (s.pyatspi.DESKTOP_COORDS, s.pyatspi.WINDOW_COORDS):
            box = cancel.queryComponent().getExtents(coords)
            x, y = box.x + box.width // 2, box.y + box.height // 2
            expect(cancel.queryComponent().contains(x, y, coords), "contains %r" % (box,))
            hit = offer.queryComponent().getAccessibleAtPoint(x, y, coords)
            expect(hit == cancel, "at %d,%d (%d): %s" % (x, y, coords,
                                                          describe(hit) if hit else None))
        s.press(cancel)
        s.wait_for("the offer to close", lambda: offer not in s.children(app))

        # The pairing list, reached as a user would.
        s.press(s.find(frame, ident="SCommonButton _btnConnect"))
        pairing = window_of(app, "dialog")
        row = s.wait_find(pairing, "list item", "Auralis+ (4F2A)", timeout=15)
        check_subtree(pairing)
        s.press(row)
        home = s.wait_find(frame, ident="_homeView", timeout=20)
        left = s.wait_find(home, "image", ident="_staticImgBatteryL")
        # One level for both buds while they are close, the left one's otherwise.
        expect(left.name.startswith(("Linker Ohrhörer, ", "Beide Ohrhörer, ")) and
               left.name.endswith(" %"), "left battery picture: " + left.name)
        expect(0 < s.value_of(left) <= 100, "left battery value %r" % s.value_of(left))
        name_label = s.find(home, "label", ident="_lbDeviceName")
        expect(name_label is not None and s.text_of(name_label) == "Auralis+ (4F2A)",
               "pair name text")
        check_subtree(app)

        # The window menu opens as a popup menu of named items and closes again.
        s.press(s.find(frame, "push button", "Menü"))
        items = []

        def read_menu():
            menu = window_of(app, "popup menu")
            items[:] = [m for m in s.walk(menu) if s.role_name(m) == "menu item"]
            return menu

        check_settled(read_menu)
        expect(len(items) >= 2, "menu items: %d" % len(items))
        s.press(s.find(frame, "push button", "Menü"))
        s.wait_for("the menu to close",
                   lambda: not any(s.role_name(w) == "popup menu" for w in s.children(app)))

        # The about dialog, closed by its title bar's close button.
        s.press(s.find(frame, ident="About PC Program Button"))
        about = window_of(app, "dialog")
        check_subtree(about)
        s.press(s.find(about, "push button", "Schließen"))
        s.wait_for("the about dialog to close",
                   lambda: not any(s.role_name(w) == "dialog" for w in s.children(app)))

        # The firmware check: its answer, whatever it is, is a window with named buttons.
        s.press(s.find(frame, ident="Button CheckFimwareUpdate"))
        answer = s.wait_for("an answer to the check", lambda: next(
            (w for w in s.children(app) if s.role_name(w) in ("dialog", "alert")), None), 30)
        check_subtree(answer)
        # The message dialogs met on the way (in German) had their buttons' ids in English.
        expect(any(name != ident[len("Button "):] for ident, name in message_buttons),
               "message buttons seen: %r" % message_buttons)
    except Exception:
        for program_app in [a for a in s.children(s.pyatspi.Registry.getDesktop(0)) if a]:
            if program_app.name == "AuralisManager":
                s.dump(program_app)
        raise
    finally:
        if manager is not None:
            manager.stop()
        sim.stop()
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    started = time.monotonic()
    status = main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.getcwd(), "build", "bin"))
    print("accessible tree walk: %s in %.1f s" % ("failed" if status else "passed",
                                                   time.monotonic() - started))
    sys.exit(status)
