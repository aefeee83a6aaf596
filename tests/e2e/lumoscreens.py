"""What the program's screens show, read the way a person reads them: labels,
fields beside their captions, tables and messages; and the helpers of
particular screens (the 2 x 12 meridian grid, the virtual probe panel) and
of the database the program writes."""

import sqlite3

from lumotree import extents, is_checked, name, role, text_of


# The virtual probe panel is changing from English to Chinese captions; until
# that is done both are accepted, the Chinese ones first.
PROBE_WINDOW = ("虛擬探測棒", "virtual probe")
PROBE_TOUCH = ("接觸", "touch")
PROBE_LIFT = ("抬起", "lift")
PROBE_AUTO = ("自動測量", "automatic")
PROBE_STOP_AUTO = ("停止自動測量", "停止自動", "stop automatic")
PROBE_UNPLUG = ("拔除", "unplug")
PROBE_PLUG = ("插上", "plug")


class ScreenReading:
    """The driver's reading of screens; finding and waiting are the driver's."""

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
