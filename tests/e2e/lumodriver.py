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
"""

import atexit
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import tempfile
import time
from pathlib import Path

import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

# pyatspi still calls the deprecated get_*_iface wrappers; their warnings would bury the steps.
warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")

REPO = Path(__file__).resolve().parents[2]
# The screen scripts/e2e started (E2E_SCREEN, WIDTHxHEIGHT); 1366x768 when run without it.
SCREEN_W, SCREEN_H = (int(v) for v in os.environ.get("E2E_SCREEN", "1366x768").lower().split("x"))

# A hung program must not hang the suite: every accessibility call gives up
# after a few seconds, and the waits above it keep their own overall limit.
Atspi.set_timeout(5000, 20000)

# The virtual probe panel is changing from English to Chinese captions; until
# that is done both are accepted, the Chinese ones first.
PROBE_WINDOW = ("虛擬探測棒", "virtual probe")
PROBE_TOUCH = ("接觸", "touch")
PROBE_LIFT = ("抬起", "lift")
PROBE_AUTO = ("自動測量", "automatic")
PROBE_STOP_AUTO = ("停止自動測量", "停止自動", "stop automatic")
PROBE_UNPLUG = ("拔除", "unplug")
PROBE_PLUG = ("插上", "plug")

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


# ---------------------------------------------------------------- accessibles

def role(acc):
    return acc.getRoleName()


def name(acc):
    return acc.name or ""


def description(acc):
    try:
        return acc.description or ""
    except Exception:
        return ""


def children(acc):
    out = []
    for i in range(acc.childCount):
        c = acc.getChildAtIndex(i)
        if c is not None:
            out.append(c)
    return out


def states(acc):
    return acc.getState()


def is_showing(acc):
    return states(acc).contains(pyatspi.STATE_SHOWING)


def is_enabled(acc):
    s = states(acc)
    return s.contains(pyatspi.STATE_ENABLED) and s.contains(pyatspi.STATE_SENSITIVE)


def is_checked(acc):
    s = states(acc)
    return s.contains(pyatspi.STATE_CHECKED) or s.contains(pyatspi.STATE_PRESSED)


def is_selected(acc):
    return states(acc).contains(pyatspi.STATE_SELECTED)


def is_focused(acc):
    return states(acc).contains(pyatspi.STATE_FOCUSED)


def extents(acc):
    e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def text_of(acc):
    """What a label, a text field or a cell shows.

    An empty Qt label reports its group's title as its name, so the text
    interface is asked first and the name only where there is none."""
    try:
        t = acc.queryText()
        return t.getText(0, -1)
    except NotImplementedError:
        return name(acc)
    except Exception:
        return name(acc)


def toplevel(acc):
    """The window (a child of the application) that holds acc."""
    cur = acc
    while True:
        p = cur.parent
        if p is None or role(p) == "application":
            return cur
        cur = p


def matches(value, want):
    """want: None (anything), a string (exact), a list/tuple of strings, a
    compiled pattern (full match) or a predicate."""
    if want is None:
        return True
    if isinstance(want, str):
        return value == want
    if isinstance(want, (list, tuple, set, frozenset)):
        return value in want
    if isinstance(want, re.Pattern):
        return want.fullmatch(value) is not None
    return bool(want(value))


def shows_value(text, value):
    """Whether a displayed number is `value` at the precision it is shown with."""
    t = text.strip()
    try:
        shown = float(t)
    except ValueError:
        return False
    decimals = len(t.split(".", 1)[1]) if "." in t else 0
    return abs(shown - value) <= 0.5 * 10 ** -decimals + 1e-9


def describe(acc):
    try:
        d = description(acc)
        return f"[{role(acc)}] {name(acc)!r}" + (f" ({d!r})" if d and d != name(acc) else "")
    except Exception as e:  # the program may have gone away
        return f"<accessible not answering: {e}>"


def walk(root, showing_only=True, depth=0, max_depth=40):
    """Depth-first: (depth, accessible).  Subtrees of hidden nodes are skipped
    when showing_only, which keeps walks over large screens short."""
    yield depth, root
    if depth >= max_depth:
        return
    for c in children(root):
        if showing_only and not is_showing(c):
            continue
        yield from walk(c, showing_only, depth + 1, max_depth)


def dump_tree(root, showing_only=True, budget_s=20.0, max_lines=4000):
    lines = []
    start = time.monotonic()
    try:
        for d, a in walk(root, showing_only):
            if time.monotonic() - start > budget_s or len(lines) >= max_lines:
                lines.append("  " * d + "... (dump cut short)")
                break
            st = states(a)
            flags = "".join(f for f, s in (("S", pyatspi.STATE_SHOWING), ("E", pyatspi.STATE_ENABLED),
                                            ("F", pyatspi.STATE_FOCUSED), ("C", pyatspi.STATE_CHECKED),
                                            ("L", pyatspi.STATE_SELECTED)) if st.contains(s))
            try:
                x, y, w, h = extents(a)
                where = f" @{x},{y} {w}x{h}"
            except Exception:
                where = ""
            txt = ""
            if role(a) in ("label", "text", "table cell", "status bar"):
                t = text_of(a)
                if t != name(a):
                    txt = f" text={t!r}"
            desc = description(a)
            lines.append("  " * d + f"[{role(a)}] {name(a)!r}" + (f" desc={desc!r}" if desc else "")
                         + txt + f" {{{flags}}}{where}")
    except Exception as e:
        lines.append(f"(the program stopped answering accessibility requests: {e})")
    return "\n".join(lines)


# ---------------------------------------------------------------- X helpers

def _run(cmd, timeout=30, check=True):
    r = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout)
    if check and r.returncode != 0:
        raise RuntimeError(f"{' '.join(cmd)} failed ({r.returncode}): {r.stderr.strip()}")
    return r.stdout


def x_windows_top_down():
    """Managed client windows, topmost first: (title, x, y, w, h)."""
    out = _run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"], check=False)
    ids = re.findall(r"0x[0-9a-fA-F]+", out)
    wins = []
    for wid in reversed(ids):
        info = _run(["xwininfo", "-id", wid], check=False)
        if "IsViewable" not in info:
            continue
        try:
            x = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1))
            y = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1))
            w = int(re.search(r"Width:\s+(\d+)", info).group(1))
            h = int(re.search(r"Height:\s+(\d+)", info).group(1))
        except AttributeError:
            continue
        title = _run(["xdotool", "getwindowname", str(int(wid, 16))], check=False).strip()
        # The window manager's frame (title bar, borders) belongs to the window as well.
        fe = re.findall(r"\d+", _run(["xprop", "-id", wid, "_NET_FRAME_EXTENTS"], check=False).split("=")[-1])
        if len(fe) == 4:
            left, right, top, bottom = map(int, fe)
            x, y, w, h = x - left, y - top, w + left + right, h + top + bottom
        wins.append((title, x, y, w, h))
    return wins


def title_belongs(x_title, window_name):
    """Qt puts ' — <application display name>' after a window's own title."""
    return x_title == window_name or x_title.startswith(window_name + " \u2014 ") or \
        x_title.startswith(window_name + " - ")


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


class Lumo:
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

    # ---- finding

    def windows(self, name_=None, role_=None, showing=True):
        return [w for w in children(self.app)
                if matches(name(w), name_) and matches(role(w), role_) and (not showing or is_showing(w))]

    def find_window(self, name_, role_=None):
        for w in self.windows(name_, role_):
            return w
        return None

    def window(self, name_, timeout=30, role_=None, what=None):
        """Waits for a showing window of the program with that title."""
        return self.wait_until(lambda: self.find_window(name_, role_), timeout,
                               what or f"window {name_!r} to show")

    def window_gone(self, name_, timeout=30, what=None):
        self.wait_until(lambda: not self.windows(name_), timeout, what or f"window {name_!r} to close")

    def _scope(self, within):
        if within is None:
            return [self.app]
        if isinstance(within, (str, tuple, list)):
            w = self.windows(within)
            return w
        return [within]

    def find_all(self, role_=None, name_=None, within=None, showing=True, desc=None):
        """Every match for role and name (see matches()), in tree order."""
        out = []
        for root in self._scope(within):
            for _, a in walk(root, showing):
                if matches(role(a), role_) and matches(name(a), name_) and \
                        (desc is None or matches(description(a), desc)):
                    if showing and not is_showing(a):
                        continue
                    out.append(a)
        return out

    def find(self, role_=None, name_=None, within=None, showing=True, desc=None):
        """The first match; with several names given, the earlier name wins."""
        found = self.find_all(role_, name_, within, showing, desc)
        if not found:
            return None
        if isinstance(name_, (list, tuple)):
            for n in name_:
                for a in found:
                    if name(a) == n:
                        return a
        return found[0]

    def get(self, role_=None, name_=None, within=None, timeout=30, desc=None, enabled=None, what=None):
        """Waits for a showing match (optionally in a given enabled state)."""
        def look():
            a = self.find(role_, name_, within, True, desc)
            if a is not None and enabled is not None and is_enabled(a) != enabled:
                return None
            return a
        if what is None:
            what = f"{role_ or 'anything'} {name_!r}" + (f" described {desc!r}" if desc else "")
            if within is not None:
                what += f" in {within if isinstance(within, (str, tuple, list)) else name(within)!r}"
            if enabled is not None:
                what += " enabled" if enabled else " disabled"
        return self.wait_until(look, timeout, what)

    def button(self, name_, within=None, timeout=30, enabled=None, what=None):
        return self.get("push button", name_, within, timeout, enabled=enabled, what=what)

    # ---- pressing and typing

    def _covering_window(self, x, y, window_name):
        """None when (x, y) lands on the named window, else the title of the
        window on top there."""
        for title, wx, wy, ww, wh in x_windows_top_down():
            if wx <= x < wx + ww and wy <= y < wy + wh:
                return None if title_belongs(title, window_name) else title
        return None  # not a managed window (a popup, a menu): nothing to compare

    def click(self, acc, what=None, timeout=30, button=1, double=False):
        """A real mouse click at the centre of acc, once it shows and is enabled."""
        label = what or describe(acc)
        self.wait_until(lambda: is_showing(acc) and is_enabled(acc), timeout,
                        f"{label} to be showing and enabled before clicking it")
        x, y, w, h = extents(acc)
        if w <= 0 or h <= 0:
            self.fail(f"{label} has no area on screen ({x},{y} {w}x{h})")
        cx, cy = x + w // 2, y + h // 2
        if not (0 <= cx < SCREEN_W and 0 <= cy < SCREEN_H):
            self.fail(f"{label} is off the {SCREEN_W}x{SCREEN_H} screen: its centre is at ({cx},{cy})")
        top = name(toplevel(acc))
        cover = self._covering_window(cx, cy, top)
        if cover is not None:
            # A window closing or a tooltip fading may still be there; anything else is a real cover.
            self.wait_until(lambda: self._covering_window(cx, cy, top) is None, 10,
                            f"{label} at ({cx},{cy}) in {top!r} to be uncovered: window {cover!r} is on top of it")
        self.step(f"click {label} at ({cx},{cy})")
        cmd = ["xdotool", "mousemove", "--sync", str(cx), str(cy), "click"]
        if double:
            cmd += ["--repeat", "2"]
        _run(cmd + [str(button)])

    def click_point(self, x, y, what):
        self.step(f"click {what} at ({x},{y})")
        _run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"])

    def press(self, name_, within=None, timeout=30, role_="push button"):
        """Finds a button by its caption and clicks it."""
        b = self.get(role_, name_, within, timeout)
        self.click(b, f"{role_} {name(b)!r}" + (f" in {name(toplevel(b))!r}" if within is not None else ""),
                   timeout)
        return b

    def type_text(self, text):
        if any(ord(ch) > 126 or (ord(ch) < 32) for ch in text):
            raise ValueError(f"only printable ASCII can be typed reliably: {text!r}")
        self.step(f"type {text!r}")
        _run(["xdotool", "type", "--delay", "40", "--", text])

    def key(self, *keys):
        self.step(f"key {' '.join(keys)}")
        _run(["xdotool", "key", "--delay", "60", "--"] + list(keys))

    # ---- reading

    def label_text(self, acc):
        return text_of(acc)

    def title(self, window):
        return name(window)

    def table(self, within, rows=None, cols=None):
        for t in self.find_all("table", within=within):
            ti = t.queryTable()
            if (rows is None or ti.nRows == rows) and (cols is None or ti.nColumns == cols):
                return t
        return None

    def table_with_header(self, within, header):
        """The table one of whose column headers reads `header`."""
        for t in self.find_all("table", within=within):
            ti = t.queryTable()
            for c in range(ti.nColumns):
                h = ti.getColumnHeader(c)
                if h is not None and name(h).strip() == header:
                    return t
        return None

    def column_headers(self, table):
        ti = table.queryTable()
        out = []
        for c in range(ti.nColumns):
            h = ti.getColumnHeader(c)
            out.append(name(h).strip() if h is not None else "")
        return out

    def cell(self, table, r, c):
        return table.queryTable().getAccessibleAt(r, c)

    def cell_text(self, table, r, c):
        return name(self.cell(table, r, c)).strip()

    def table_rows(self, table):
        ti = table.queryTable()
        return [[name(ti.getAccessibleAt(r, c)).strip() for c in range(ti.nColumns)] for r in range(ti.nRows)]

    def field_beside(self, label, within, role_="text"):
        """The input to the right of a caption, on the same line: a form's
        field is found by what a person reads next to it, whether or not the
        field carries the caption as its accessible name."""
        labels = [a for a in self.find_all("label", within=within) if text_of(a).strip() == label]
        if not labels:
            return None
        lx, ly, lw, lh = extents(labels[0])
        mid = ly + lh / 2
        best = None
        for a in self.find_all(role_, within=within):
            x, y, w, h = extents(a)
            if x >= lx + lw - 2 and y <= mid <= y + h:
                if best is None or x < best[0]:
                    best = (x, a)
        return best[1] if best else None

    def texts(self, within):
        """Every text a window shows (labels, text fields, status bars)."""
        out = []
        for a in self.find_all(None, within=within):
            if role(a) in ("label", "text", "status bar", "table cell"):
                t = text_of(a).strip()
                if t:
                    out.append(t)
        return out

    def message(self, text, timeout=30, what=None):
        """Waits for a window of the program that shows `text` (a question or a
        notice; its title is not relied on) and returns it."""
        def look():
            for w in self.windows():
                if role(w) in ("dialog", "alert") and any(text in t for t in self.texts(w)):
                    return w
            return None
        return self.wait_until(look, timeout, what or f"a message saying {text!r}")

    # ---- the 2 x 12 meridian grid

    @staticmethod
    def grid_position(k):
        """Row and column of value k (1-24) in the grid: 左 側 holds 1-6 and
        13-18, 右 側 holds 7-12 and 19-24 (hand meridians left, foot right)."""
        i = k - 1
        row = (i // 6) % 2
        col = (i % 6) + (6 if i >= 12 else 0)
        return row, col

    def grid(self, within):
        t = self.table(within, 2, 12)
        if t is None:
            self.fail(f"no 2 x 12 value grid in {within if isinstance(within, str) else name(within)!r}")
        return t

    def grid_values(self, within):
        """The 24 texts in value order 1..24."""
        t = self.grid(within)
        rows = self.table_rows(t)
        return [rows[self.grid_position(k)[0]][self.grid_position(k)[1]] for k in range(1, 25)]

    # ---- the virtual probe panel

    def probe_window(self, timeout=30):
        return self.window(PROBE_WINDOW, timeout, what="the virtual probe panel to show")

    def probe_button(self, names, timeout=30):
        return self.get("push button", names, self.probe_window(timeout), timeout)

    def probe_automatic_on(self):
        w = self.find_window(PROBE_WINDOW)
        if w is None:
            return False
        if self.find("push button", PROBE_STOP_AUTO, w):
            return True
        b = self.find("push button", PROBE_AUTO, w)
        return b is not None and is_checked(b)

    # ---- the database

    def db_path(self):
        for f in self.data_dir.iterdir():
            if f.name.lower() == "lumo4.mdb":
                return f
        return self.data_dir / "lumo4.mdb"

    def db(self):
        """A read-only connection (safe while the program runs)."""
        return sqlite3.connect(f"file:{self.db_path()}?mode=ro", uri=True, timeout=30)

