"""A whole firmware update of a connected pair, driven only through accessible actions (no
coordinates), with what a screen reader would announce checked in order: the check, the copy to
the earbuds, the result dialog with its message, and the new version.

usage (inside run-under-session.sh): firmware_update_test.py BIN_DIR"""

import os
import sys
import tempfile
import time

import atspi_session as s
import programs


def announcements(log):
    """What a reader speaks of the events: new names of texts, and the windows that open."""
    spoken = []
    for kind, source, _, data in log.events:
        if kind == "object:property-change:accessible-name" and data:
            spoken.append(str(data))
        elif kind == "object:property-change:accessible-value":
            spoken.append("value %g" % data)
        elif kind == "window:create":
            spoken.append("window: %s" % source)
    return spoken


def in_order(spoken, expected):
    """Whether expected occur in spoken in this order (others may come between)."""
    position = 0
    for line in spoken:
        if position < len(expected) and line == expected[position]:
            position += 1
    return position == len(expected)


def main(bin_dir):
    log_dir = tempfile.mkdtemp(prefix="a11y-firmware-")
    sim = programs.Neighbourhood(bin_dir, log_dir)
    manager = None
    try:
        manager, app = programs.start_manager(bin_dir, log_dir, sim)
        offer = s.window_of(s.wait_find(app, ident="SNeedUpdateDlg", timeout=10))
        s.press(s.find(offer, "push button", "Cancel"))
        home = programs.connect_pair(app, "Auralis+ (4F2A)")
        version = s.wait_find(home, "label", ident="Label Current version")
        assert s.text_of(version) == "Current software version: 2.1.0", s.text_of(version)

        events = s.EventLog()
        s.press(s.wait_find(home, "push button", "Check for updates"))
        s.press(s.wait_find(home, "push button", "Update", timeout=15))
        result = s.wait_for("the result dialog", lambda: next(
            (w for w in s.children(app) if s.role_name(w) in ("dialog", "alert") and
             s.find(w, "push button", "OK")), None), timeout=30)
        message = " ".join(s.text_of(label) for label in s.walk(result)
                           if s.role_name(label) == "label")
        assert "The update is complete." in message, message
        result_name = result.name
        s.press(s.find(result, "push button", "OK"))
        # The earbuds restart and reconnect: the home screen is shown anew.
        s.wait_find(app, "label", "Current software version: 2.2.0", timeout=30)
        events.pump(0.5)
        spoken = announcements(events)
        expected = ["window: Earbud software update",  # the check
                    # Progress the sim makes within one comparison of the trees (100 ms) is
                    # not told step by step, so only the phases are certain here.
                    "Copying the update to your earbuds…",
                    "window: " + result_name]
        assert in_order(spoken, expected), "announced: %r" % spoken
        events.close()
    except Exception:
        s.dump(s.application("AuralisManager"))
        raise
    finally:
        if manager is not None:
            manager.stop()
        sim.stop()
    return 0


if __name__ == "__main__":
    started = time.monotonic()
    status = main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.getcwd(), "build", "bin"))
    print("firmware update through accessible actions: passed in %.1f s" %
          (time.monotonic() - started))
    sys.exit(status)
