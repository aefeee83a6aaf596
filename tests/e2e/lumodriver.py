"""Drives the real lumo program the way a person does.

The program runs on the X server named by DISPLAY (scripts/e2e starts one) with
its accessibility bridge switched on.  The accessibility tree (AT-SPI) is used
to find things and to check what the program shows; every press and every key
goes through the X server (xdotool), as a person's would, so that modality,
focus and stacking act on the test exactly as they act on a user.  Pressing
through AT-SPI's action interface would skip all of that and is never used.

Waiting is always on something the tree shows, with a limit; when the limit is
reached the failure says what did not appear, and carries a dump of the
visible tree, a screenshot and the end of the program's output.

The driver is put together from modules of one job each: lumotree (the
accessibility tree and finding in it), lumoinput (clicks and keys through the
X server) and lumoscreens (reading screens, the grid, the probe panel, the
database).  Every name the sessions use is importable from here.
"""

import atexit
import datetime
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

# Logins at OWASP's floor in the program and every lumo-cli a session runs: the sessions stay quick.
os.environ.setdefault("LUMO_PASSWORD_COST", "floor")

import pyatspi

from lumoinput import SCREEN_H, SCREEN_W, Input, _run, title_belongs, x_windows_top_down
from lumoscreens import (PROBE_AUTO, PROBE_LIFT, PROBE_PLUG, PROBE_STOP_AUTO, PROBE_TOUCH, PROBE_UNPLUG, PROBE_WINDOW,
                         ScreenReading)
from lumotree import (TreeQueries, children, describe, description, dump_tree, extents, is_checked, is_enabled,
                      is_focused, is_selected, is_showing, matches, name, role, shows_value, states, text_of, toplevel,
                      walk)

# What the sessions import from here, wherever it is written.
__all__ = [
    "MAIN_TITLE", "PROBE_AUTO", "PROBE_LIFT", "PROBE_PLUG", "PROBE_STOP_AUTO", "PROBE_TOUCH", "PROBE_UNPLUG",
    "PROBE_WINDOW", "REPO", "SCREEN_H", "SCREEN_W", "Lumo", "LumoFailure", "_run", "artifacts_root", "binary",
    "children", "describe", "description", "dump_tree", "extents", "is_checked", "is_enabled", "is_focused",
    "is_selected", "is_showing", "matches", "name", "role", "shows_value", "states", "text_of", "title_belongs",
    "toplevel", "ui_locale", "walk", "x_windows_top_down",
]

REPO = Path(__file__).resolve().parents[2]

MAIN_TITLE = "L.U.M.O. 經絡能量分析系統"


def binary():
    b = Path(os.environ.get("LUMO_BIN", "build/bin/lumo"))
    return b if b.is_absolute() else REPO / b


def artifacts_root():
    a = Path(os.environ.get("E2E_ARTIFACTS", "build/e2e-artifacts"))
    return a if a.is_absolute() else REPO / a


def ui_locale():
    """zh_TW.UTF-8 where the machine has it, else C.UTF-8 (Qt's texts are the same)."""
    try:
        have = subprocess.run(["locale", "-a"], capture_output=True, text=True, timeout=10).stdout.split()
    except (OSError, subprocess.SubprocessError):
        have = []
    norm = {h.lower().replace("-", "") for h in have}
    return "zh_TW.UTF-8" if "zh_tw.utf8" in norm else "C.UTF-8"


# ---------------------------------------------------------------- the driver

class LumoFailure(AssertionError):
    pass


# Programs still running when the suite itself is ended (a signal, an error
# outside a session) are killed on the way out, by their process group, and
# their temporary folders removed.
_started = {}


@atexit.register
def _kill_leftovers():
    for p, tmp in list(_started.items()):
        if p.poll() is None:
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            p.wait(10)
        shutil.rmtree(tmp, ignore_errors=True)


class Lumo(TreeQueries, Input, ScreenReading):
    """One run of the program in its own fresh data directory."""

    def __init__(self, session, args=()):
        self.session = session
        self.args = list(args)
        # Variables a session adds to the program's environment (set before start()).
        self.env = {}
        # A command the program is started under (set before start()); it must
        # run the program in its own process, as setpriv does.
        self.prefix = []
        self.art = artifacts_root() / session
        if self.art.exists():
            shutil.rmtree(self.art)
        self.art.mkdir(parents=True)
        self.shots = 0
        self.tmp = Path(tempfile.mkdtemp(prefix=f"lumo-e2e-{session}-"))
        self.data_dir = self.tmp / "data"
        self.data_dir.mkdir(mode=0o700)  # a readable one is reported at start-up
        # Practice mode tells once a day that this disk is not encrypted; the
        # sessions that are not about it start as on the second start of a day.
        (self.data_dir / "lumo_encryption_notice").write_text(datetime.date.today().isoformat())
        self.proc = None
        self.app = None
        self.log_path = self.art / "lumo.log"
        self._log = None
        self.t0 = time.monotonic()

    # ---- life cycle

    def start(self, timeout=60):
        exe = binary()
        if not exe.exists():
            raise LumoFailure(f"no program at {exe} (set LUMO_BIN)")
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)  # must be the real X server, not offscreen
        loc = ui_locale()
        env.update(QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1", LANG=loc, LC_ALL=loc)
        # Settings and caches of this run only: nothing from an earlier session or the user's own.
        for var, sub in (("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"), ("XDG_DATA_HOME", "share")):
            (self.tmp / sub).mkdir(exist_ok=True)
            env[var] = str(self.tmp / sub)
        env.update(self.env)
        self._log = open(self.log_path, "w")
        cmd = self.prefix + [str(exe), "--simulate", "--data-dir", str(self.data_dir)] + self.args
        self.step(f"start {' '.join(cmd)}")
        # Started in its temporary folder, so that file dialogs open there and not in the work tree.
        self.proc = subprocess.Popen(cmd, env=env, cwd=self.tmp, stdin=subprocess.DEVNULL, stdout=self._log,
                                     stderr=subprocess.STDOUT, start_new_session=True)
        _started[self.proc] = self.tmp
        self.app = self.wait_until(self._find_app, timeout, "the program to appear on the accessibility desktop",
                                   dump=False)
        return self

    def _find_app(self):
        desk = pyatspi.Registry.getDesktop(0)
        for a in children(desk):
            try:
                if a.name == "lumo" and a.get_process_id() == self.proc.pid:
                    return a
            except Exception:
                continue
        return None

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=30, what="the program to end"):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.fail(f"timed out after {timeout}s waiting for {what}: the program is still running")

    def close(self):
        """Ends the program if it still runs (TERM, then KILL) and removes the data directory."""
        rc = None
        if self.proc is not None:
            if self.proc.poll() is None:
                self.step("the program still runs: terminating it")
                try:
                    os.killpg(self.proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
                try:
                    self.proc.wait(10)
                except subprocess.TimeoutExpired:
                    self.step("no end after TERM: killing it")
                    try:
                        os.killpg(self.proc.pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                    self.proc.wait(10)
            rc = self.proc.returncode
            _started.pop(self.proc, None)
        if self._log:
            self._log.close()
            self._log = None
        shutil.rmtree(self.tmp, ignore_errors=True)
        return rc

    def keep_data(self):
        """Copies the data files into the artefacts folder (after a failure)."""
        if self.data_dir.exists():
            dest = self.art / "data"
            shutil.copytree(self.data_dir, dest, dirs_exist_ok=True,
                            ignore=shutil.ignore_patterns("Data", "lumoTW.mdb", "lumoMTW.mdb", "Zuspa.mdb"))

    # ---- reporting

    def step(self, text):
        line = f"[{self.session} {time.monotonic() - self.t0:7.1f}s] {text}"
        print(line, flush=True)

    def screenshot(self, label):
        self.shots += 1
        slug = re.sub(r"[^A-Za-z0-9_.-]+", "-", label).strip("-") or "shot"
        path = self.art / f"{self.shots:02d}-{slug}.png"
        try:
            _run(["import", "-window", "root", str(path)], timeout=30)
        except Exception:
            xwd = path.with_suffix(".xwd")
            _run(["xwd", "-root", "-silent", "-out", str(xwd)], timeout=30)
            _run(["convert", str(xwd), str(path)], timeout=30)
            xwd.unlink()
        return path

    def grab(self, acc):
        """The pixels (raw RGB) under acc's rectangle, to tell whether what it
        draws has changed."""
        x, y, w, h = extents(acc)
        r = subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", "rgb:-"],
                           capture_output=True, timeout=30)
        return r.stdout

    def visible_windows(self):
        try:
            return [f"{role(w)} {name(w)!r}" for w in children(self.app) if is_showing(w)]
        except Exception as e:
            return [f"(not answering: {e})"]

    def fail(self, message, dump=True):
        parts = [message]
        if self.proc is not None and self.proc.poll() is not None:
            parts.append(f"The program has ended, exit code {self.proc.returncode}.")
        if self.app is not None and dump:
            parts.append("Showing windows: " + ", ".join(self.visible_windows()))
            tree = dump_tree(self.app) if self.running() else "(no program)"
            tree_path = self.art / f"tree-{self.shots + 1:02d}.txt"
            tree_path.write_text(tree + "\n")
            lines = tree.splitlines()
            shown = "\n".join(lines[:150]) + (f"\n... {len(lines) - 150} more lines in {tree_path}"
                                               if len(lines) > 150 else "")
            parts.append("Visible accessibility tree:\n" + shown)
        try:
            parts.append(f"Screenshot: {self.screenshot('FAILED')}")
        except Exception as e:
            parts.append(f"(no screenshot: {e})")
        if self._log:
            self._log.flush()
        try:
            tail = self.log_path.read_text(errors="replace").splitlines()[-15:]
            if tail:
                parts.append("Program output (last lines):\n  " + "\n  ".join(tail))
        except OSError:
            pass
        raise LumoFailure("\n".join(parts))

    # ---- waiting

    def wait_until(self, predicate, timeout, what, interval=0.15, dump=True, allow_exit=False):
        """Polls predicate until it returns something truthy, which is returned.

        Errors from the accessibility bus count as 'not yet' (a window may be
        closing under the walk); the last one is reported on timeout.  When the
        program ends meanwhile the wait fails at once, unless allow_exit."""
        deadline = time.monotonic() + timeout
        last_error = None
        while True:
            if not allow_exit and self.proc is not None and self.proc.poll() is not None:
                self.fail(f"the program ended (exit code {self.proc.returncode}) while waiting for {what}",
                          dump=False)
            try:
                v = predicate()
                if v:
                    return v
                last_error = None
            except LumoFailure:
                raise
            except Exception as e:
                last_error = e
            if time.monotonic() >= deadline:
                msg = f"timed out after {timeout}s waiting for {what}"
                if last_error is not None:
                    msg += f" (last accessibility error: {last_error})"
                self.fail(msg, dump=dump)
            time.sleep(interval)

    def poll(self, predicate, timeout, interval=0.15):
        """Like wait_until, but returns None on timeout and leaves the failure
        (with its own, more telling message) to the caller."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                v = predicate()
                if v:
                    return v
            except Exception:
                pass
            if time.monotonic() >= deadline or (self.proc is not None and self.proc.poll() is not None):
                return None
            time.sleep(interval)
