"""The accessibility tree (AT-SPI) of the program, read the way the sessions
need it: what an accessible is, shows and holds, walks and dumps of the
visible tree, and the driver's part that finds windows and controls in it.

Only finding and reading happen here; nothing is ever pressed through the
tree (see lumoinput for why)."""

import re
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402
import pyatspi  # noqa: E402

# pyatspi still calls the deprecated get_*_iface wrappers; their warnings would bury the steps.
warnings.filterwarnings("ignore", category=DeprecationWarning, module="pyatspi")

# A hung program must not hang the suite: every accessibility call gives up
# after a few seconds, and the waits above it keep their own overall limit.
Atspi.set_timeout(5000, 20000)


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


class TreeQueries:
    """The driver's finding: windows and controls of the program, by role,
    name and description, waited for with the driver's wait_until."""

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
