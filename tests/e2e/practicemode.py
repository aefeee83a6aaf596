"""Practice mode for the sessions: operators made with lumo-cli before the
start, and the login screen answered by keys, as an operator does it."""

import subprocess

import pyatspi
from lumodriver import binary, states

LOGIN = "操作人員登入"


def cli(lumo, args, lines=()):
    """lumo-cli on the session's data directory, the lines as its standard input."""
    subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(lumo.data_dir)] + list(args),
                   input="".join(line + "\n" for line in lines), text=True, check=True, capture_output=True,
                   timeout=60)


def add_operator(lumo, name, password, role="admin"):
    """The first operator (an admin) turns practice mode on."""
    cli(lumo, ["operator", "add", "--name", name, "--role", role], [password])


def log_in(lumo, name, password):
    """Name, Tab, password, Enter on the login screen; waits until it is gone."""
    w = lumo.window(LOGIN, what="the login screen after the start-up status")
    lumo.wait_until(lambda: states(w).contains(pyatspi.STATE_ACTIVE), 10, "the login screen to become active")
    lumo.type_text(name)
    lumo.key("Tab")
    lumo.type_text(password)
    lumo.key("Return")
    lumo.wait_until(lambda: not lumo.find_window(LOGIN), 15, "the login screen to close")
