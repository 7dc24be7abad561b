"""An application update driven only through accessible actions, across both programs: the
main program's offer is accepted, the update client's download fails once (the sim's server
answers 500) and its alert is read and answered with Retry, then the installer runs.

usage (inside run-under-session.sh): application_update_test.py BIN_DIR"""

import os
import socket
import sys
import tempfile
import time

import atspi_session as s
import programs
from accessible_tree_test import check_subtree, failures


def sim_command(line):
    client = socket.socket(socket.AF_UNIX)
    client.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], "auralis-sim.sock"))
    client.sendall((line + "\n").encode())
    answer = client.recv(99).decode()
    client.close()
    assert answer.startswith("OK"), answer


def main(bin_dir):
    log_dir = tempfile.mkdtemp(prefix="a11y-app-update-")
    install_log = os.path.join(log_dir, "install.log")
    os.environ["AURALIS_SIM_INSTALL_LOG"] = install_log
    sim = programs.Neighbourhood(bin_dir, log_dir)
    manager = None
    try:
        manager, app = programs.start_manager(bin_dir, log_dir, sim)
        offer = s.window_of(s.wait_find(app, ident="SNeedUpdateDlg", timeout=10))
        sim_command("CTL SERVER error500=1")  # the download, not the offer, fails
        s.press(s.find(offer, "push button", "Update"))

        client = s.application("AuralisManagerUpdateClient", timeout=15)
        alert = s.wait_for("the download failure", lambda: next(
            (w for w in s.children(client) if s.role_name(w) == "alert"), None), timeout=15)
        message = s.find(alert, "label", ident="SMessageTextPanel")
        assert "could not be downloaded" in s.text_of(message), s.text_of(message)
        check_subtree(client)
        sim_command("CTL SERVER error500=0")
        s.press(s.find(alert, "push button", "Retry"))
        s.wait_for("the installer to run", lambda: os.path.exists(install_log) and
                   "1.0.1" in open(install_log).read(), timeout=20)
    except Exception:
        for each in s.children(s.pyatspi.Registry.getDesktop(0)):
            if each is not None and each.name.startswith("AuralisManager"):
                s.dump(each)
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
    print("application update through accessible actions: %s in %.1f s" %
          ("failed" if status else "passed", time.monotonic() - started))
    sys.exit(status)
