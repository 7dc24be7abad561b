"""Starts auralis-sim and the programs inside the test session, and brings the main program to
the home screen of a connected pair through accessible actions only."""

import os
import re
import subprocess
import time

import atspi_session as s


class Neighbourhood:
    """auralis-sim --demo on the session's private socket, with its update server."""

    def __init__(self, bin_dir, log_dir, extra=()):
        self.log = open(os.path.join(log_dir, "sim.log"), "w+")
        self.process = subprocess.Popen([os.path.join(bin_dir, "auralis-sim"), "--demo", *extra],
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.url = s.wait_for("the sim's update server", self._server_url, timeout=10)

    def _server_url(self):
        self.log.seek(0)
        match = re.search(r"update server: (http://\S+)", self.log.read())
        return match.group(1) if match else None

    def stop(self):
        self.process.terminate()
        self.process.wait(5)


def program_environment(sim, language):
    env = os.environ.copy()
    env.update({"AURALIS_BACKEND": "sim", "AURALIS_LANG": language,
                "AURALIS_UPDATE_URL": sim.url, "AURALIS_WINDOW_BACKEND": "sdl"})
    return env


def start_manager(bin_dir, log_dir, sim, language="en-US"):
    program = s.Program([os.path.join(bin_dir, "AuralisManager"), "-v"],
                        env=program_environment(sim, language),
                        log=os.path.join(log_dir, "manager.log"))
    return program, s.application("AuralisManager", timeout=15)


def connect_pair(app, pair_name):
    """Welcome screen → Connect → the pairing list → the pair's row → its home screen."""
    s.press(s.wait_find(app, ident="SCommonButton _btnConnect"))
    row = s.wait_find(app, "list item", pair_name, timeout=15)
    s.press(row)
    return s.wait_find(app, ident="_homeView", timeout=20)
