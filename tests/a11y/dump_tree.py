"""Prints the accessible tree of a running program: python3 dump_tree.py AuralisManager"""

import sys

import atspi_session

if __name__ == "__main__":
    name = sys.argv[1] if len(sys.argv) > 1 else "AuralisManager"
    atspi_session.dump(atspi_session.application(name))
