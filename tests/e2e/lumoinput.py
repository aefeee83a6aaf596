"""Input the way a person gives it: real mouse clicks and keys through the X
server (xdotool), so that modality, focus and stacking act on a session
exactly as they act on a user, and the X server's own view of the windows
to tell whether something else covers what is about to be clicked.

Pressing through AT-SPI's action interface would skip all of that and is
never used."""

import os
import re
import subprocess

from lumotree import describe, extents, is_enabled, is_focused, is_selected, is_showing, name, toplevel


# The screen scripts/e2e started (E2E_SCREEN, WIDTHxHEIGHT); 1366x768 when run without it.
SCREEN_W, SCREEN_H = (int(v) for v in os.environ.get("E2E_SCREEN", "1366x768").lower().split("x"))


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


class Input:
    """The driver's pressing and typing; the accessible is waited for with
    the driver's wait_until before the X server is told to press it."""

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

    def hover(self, acc, what=None):
        """The mouse rests at the centre of acc (a tool tip shows after a moment)."""
        x, y, w, h = extents(acc)
        self.step(f"hover over {what or describe(acc)} at ({x + w // 2},{y + h // 2})")
        _run(["xdotool", "mousemove", "--sync", str(x + w // 2), str(y + h // 2)])

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

    def support_menu_item(self, label, most=12):
        """Opens an item of 系統支援 the way a keyboard user does: the menu bar
        by Alt, 系統支援 (its fifth entry) by the arrows, Down until `label` is
        highlighted, then Enter. Returns the menu item."""
        self.key("alt")
        self.key("Right", "Right", "Right", "Right", "Down")
        item = self.get("menu item", label, what=f"the menu item {label} in 系統支援")
        for _ in range(most):
            if self.poll(lambda: is_focused(item) or is_selected(item), 0.5):
                break
            self.key("Down")
        self.key("Return")
        return item
