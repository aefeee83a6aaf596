"""What every end-to-end session shares: a fresh program per test, and the
steps that many sessions take (start-up, the measuring screen, storing,
quitting).  Each step waits for what a person would look for before going on,
and says precisely what did not appear when it fails."""

import unittest

import pyatspi

from lumodriver import (MAIN_TITLE, PROBE_AUTO, PROBE_STOP_AUTO, PROBE_WINDOW, SCREEN_H, SCREEN_W, Lumo, children,
                        describe, extents, is_checked, is_enabled, is_focused, is_selected, is_showing, name, role,
                        shows_value, states, toplevel)

MEASURING = "經絡量測"
MANUAL = "經絡能量數據新增輸入"
SAVE = "經絡能量資料儲存"
SUBJECT_NEW = "受測者資料新增"
BROWSER = "經絡能量資料讀取"
ANALYSIS = "資料分析"
STATUS = "系統狀態設定"

PREVIEW = "預覽列印"

QUIT_QUESTION = "您確定要結束本系統嗎"
STORE_QUESTION = "您要將檢測資料存於這個受測者資料中嗎"
NOT_INSTALLED = "本功能尚未安裝。"

# A measuring run: 24 points; the simulated probe holds each for a few seconds.
RUN_TIMEOUT = 240

# Values for the manual-entry sessions: distinct, inside 0.1 - 200.0, one decimal.
TYPED_VALUES = [12.5, 23.4, 34.3, 45.2, 56.1, 67.0, 18.9, 29.8, 30.7, 41.6, 52.5, 63.4,
                14.3, 25.2, 36.1, 47.0, 58.9, 69.8, 10.7, 21.6, 32.5, 43.4, 54.3, 65.2]


class Session(unittest.TestCase):
    """One test = one run of the program in its own data directory."""

    def setUp(self):
        self.lumo = Lumo(self.session_name())
        self.addCleanup(self._finish)

    def session_name(self):
        module = type(self).__module__.replace("test_", "", 1)
        return f"{module}.{self._testMethodName.replace('test_', '', 1)}"

    def _failed(self):
        # Cleanups run in a fresh part of the outcome, so ask the result, not outcome.success.
        result = getattr(getattr(self, "_outcome", None), "result", None)
        if result is None:
            return True
        return any(t is self for t, _ in result.failures + result.errors)

    def _finish(self):
        if self._failed():
            self.lumo.keep_data()
        rc = self.lumo.close()
        self.lumo.step(f"finished (program exit code {rc})")

    # ---- the main window

    def main_window(self, timeout=60):
        return self.lumo.window(MAIN_TITLE, timeout, role_="frame", what="the main window to show")

    def toolbar_buttons(self, main):
        bars = self.lumo.find_all("tool bar", within=main)
        if not bars:
            return []
        return [b for b in children(bars[0]) if role(b) == "push button" and is_showing(b)]

    def toolbar_disabled_names(self, main):
        buttons = self.toolbar_buttons(main)
        if not buttons:
            return ["(no tool bar buttons)"]
        return [name(b) for b in buttons if not is_enabled(b)]

    def wait_toolbar_enabled(self, timeout=30, what="the main window's tool bar to be enabled"):
        main = self.main_window()
        self.lumo.wait_until(lambda: not self.toolbar_disabled_names(main), timeout, what)
        return main

    def start_to_main(self):
        """Starts the program and waits, through the start-up status window,
        for a usable main window.  Returns whether the status window was seen
        (it may have come and gone before the program was on the bus)."""
        lumo = self.lumo
        lumo.start()
        seen = [False]

        def ready():
            if lumo.find_window(STATUS):
                if not seen[0]:
                    seen[0] = True
                    lumo.step("the start-up status window shows")
                    lumo.screenshot("startup-status")
                return False
            main = lumo.find_window(MAIN_TITLE)
            return main is not None and not self.toolbar_disabled_names(main)
        lumo.wait_until(ready, 60, "the start-up status window to close and the main tool bar to be enabled")
        lumo.screenshot("main-window")
        return seen[0]

    def quit_program(self):
        """離開系統, answer 是, and the program must end by itself with exit code 0."""
        lumo = self.lumo
        main = self.wait_toolbar_enabled(what="the main tool bar to be enabled before quitting")
        lumo.press("離開系統", main)
        q = lumo.message(QUIT_QUESTION, what="the question whether to end the program after 離開系統")
        lumo.screenshot("quit-question")
        lumo.press("是", q)
        rc = lumo.wait_exit(30, "the program to end after answering 是")
        self.assertEqual(rc, 0, f"the program ended with exit code {rc}")

    # ---- any screen

    def new_window(self, known, timeout=30, what="a window to open"):
        """Waits for a showing window of the program that is not one of `known`
        (the main window, the probe panel and the screens already open)."""
        lumo = self.lumo
        known = set(known) | {MAIN_TITLE} | set(PROBE_WINDOW)

        def look():
            for w in lumo.windows():
                if name(w) not in known:
                    return w
            return None
        return lumo.wait_until(look, timeout, what)

    def print_preview(self, after, timeout=60):
        """The preview that every 列  印 shows first; waits until it shows its pages."""
        lumo = self.lumo
        p = lumo.wait_until(lambda: next((w for w in lumo.windows() if name(w).startswith(PREVIEW)), None), timeout,
                            f"the print preview {PREVIEW!r} after {after}")
        counter = lumo.wait_until(lambda: next((t for t in lumo.texts(p) if t.startswith("第 ") and "共" in t), None),
                                  timeout, "the preview to say how many pages the report has")
        self.assert_fits(p, "when previewing")
        lumo.screenshot("print-preview")
        pages = int(counter.split("共 ")[1].split(" ")[0])
        if pages > 1:
            # The counter follows the page turned to by the keys, there and back.
            lumo.wait_until(lambda: states(p).contains(pyatspi.STATE_ACTIVE), 10, "the preview to be active")
            for key, page in (("Page_Down", 2), ("Page_Up", 1)):
                lumo.key(key)
                lumo.wait_until(lambda page=page: f"第 {page} 頁，共 {pages} 頁" in lumo.texts(p), 10,
                                f"the preview's counter to say page {page} of {pages} after {key}")
                if page == 2:
                    lumo.screenshot("print-preview-page-2")
        return p

    def pass_print_preview(self, after):
        """列  印 in the preview: on to the printer or the PDF file."""
        lumo = self.lumo
        p = self.print_preview(after)
        lumo.press("列  印", p)
        lumo.window_gone(name(p), what="the print preview to close after its 列  印")

    def is_notice(self, window):
        return any(NOT_INSTALLED in t for t in self.lumo.texts(window))

    def close_screen(self, window):
        """Leaves a screen by its own button: 確  定 on a notice, 離  開 on a screen."""
        lumo = self.lumo
        title = name(window)
        for caption in ("確  定", "離  開"):
            b = lumo.find("push button", caption, window)
            if b is not None:
                lumo.click(b, f"{caption!r} in {title!r}")
                lumo.window_gone(title, what=f"{title!r} to close after {caption!r}")
                return
        lumo.fail(f"{title!r} has neither 確  定 nor 離  開 to leave it by")

    # ---- the measuring screen

    def open_measuring(self):
        lumo = self.lumo
        main = self.wait_toolbar_enabled(what="the main tool bar to be enabled before 經絡測量")
        lumo.press("經絡測量", main)
        m = lumo.window(MEASURING, what=f"the measuring screen {MEASURING!r} after 經絡測量")
        lumo.button("離  開", m, enabled=True)
        self.assert_fits(m, "when opened")
        lumo.screenshot("measuring-screen")
        return m

    def back_on_measuring(self, after):
        """The measuring screen must show again, and answer (its 離  開 enabled)."""
        lumo = self.lumo
        m = lumo.window(MEASURING, what=f"the measuring screen {MEASURING!r} to show again after {after}")
        lumo.button("離  開", m, enabled=True, what=f"the measuring screen's 離  開 to be enabled after {after}")
        self.assert_fits(m, f"after {after}")
        return m

    def assert_fits(self, window, when):
        """A screen a person must use has to be wholly on the screen."""
        x, y, w, h = extents(window)
        self.assertTrue(x >= 0 and y >= 0 and x + w <= SCREEN_W and y + h <= SCREEN_H,
                        f"{name(window)!r} does not fit the {SCREEN_W}x{SCREEN_H} screen {when}: it is at ({x},{y}), "
                        f"{w}x{h}, so its lower or right part cannot be reached")

    def maximise(self, window, what):
        """Maximises a screen the way a keyboard user does: Alt+Space opens the
        window manager's menu of the active window, x is its Maximize.  Returns
        the extents before."""
        lumo = self.lumo
        before = extents(window)
        lumo.key("alt+space")
        lumo.key("x")
        lumo.wait_until(lambda: extents(window)[2] >= SCREEN_W - 20 and extents(window)[3] >= SCREEN_H - 80, 10,
                        f"{what} to fill the {SCREEN_W}x{SCREEN_H} screen after Alt+Space, x (it was {before})")
        return before

    def assert_laid_out(self, window, when):
        """Nothing cut off or on top of another: every control lies inside its
        window, and no two buttons, labels or boxes overlap."""
        wx, wy, ww, wh = extents(window)
        kinds = ("push button", "check box", "radio button", "label", "page tab", "combo box", "text", "table")
        shown = [a for a in self.lumo.find_all(None, within=window) if role(a) in kinds and is_showing(a)]
        boxes = []
        for a in shown:
            x, y, w, h = extents(a)
            if w <= 0 or h <= 0:
                continue
            self.assertTrue(x >= wx and y >= wy and x + w <= wx + ww and y + h <= wy + wh,
                            f"{describe(a)} at ({x},{y}) {w}x{h} reaches outside {name(window)!r} "
                            f"({wx},{wy}) {ww}x{wh} {when}")
            if role(a) in ("push button", "check box", "radio button", "label"):
                boxes.append((a, (x, y, w, h)))
        for i, (a, (x, y, w, h)) in enumerate(boxes):
            for b, (x2, y2, w2, h2) in boxes[i + 1:]:
                if x < x2 + w2 and x2 < x + w and y < y2 + h2 and y2 < y + h:
                    # A control inside a group shares the group's rectangle; only siblings count.
                    if a.parent == b.parent:
                        self.fail(f"{describe(a)} and {describe(b)} overlap in {name(window)!r} {when}")

    def leave_measuring(self):
        lumo = self.lumo
        m = self.back_on_measuring("the last step")
        lumo.press("離  開", m)
        lumo.window_gone(MEASURING, what="the measuring screen to close after 離  開")
        main = self.wait_toolbar_enabled(what="the main tool bar to be enabled after leaving the measuring screen")
        lumo.screenshot("main-window-after-measuring")
        return main

    def measure(self, m, stored=False):
        """A whole automatic run, done as a person does it: start the run on
        the screen, then put the virtual probe in automatic mode (the run waits
        for the probe's first touch, so the order leaves nothing to timing)."""
        lumo = self.lumo
        lumo.press("經絡測量", m)
        if stored:
            # The grid holds a stored measurement: the program asks to clear it first.
            q = lumo.message("您要先清除表格中的資料再開始檢測嗎？", 30,
                             "the question whether to clear the stored measurement before measuring")
            lumo.screenshot("clear-before-measuring")
            lumo.press("是", q)
        lumo.button("停止測量", m, enabled=True, what="停止測量 to be enabled once the run started")
        lumo.screenshot("run-started")
        self.assertFalse(lumo.probe_automatic_on(), "the virtual probe is still in automatic mode from before")
        auto = lumo.probe_button(PROBE_AUTO)
        resting = name(auto)
        lumo.click(auto, f"the virtual probe's {resting!r} button")
        # On: the button reads its stop caption (or stays down); the same button is watched,
        # whatever the caption becomes.
        lumo.wait_until(lambda: name(auto) != resting or is_checked(auto), 10,
                        f"the virtual probe to switch to automatic (its {resting!r} button to change to one of "
                        f"{PROBE_STOP_AUTO} or stay down) after pressing it while the measuring screen is open")
        progress = [0]

        def done():
            values = lumo.grid_values(m)
            filled = sum(1 for v in values if v)
            if filled != progress[0]:
                progress[0] = filled
                lumo.step(f"{filled} of 24 values")
                if filled == 12:
                    lumo.screenshot("run-half")
            if filled < 24:
                return False
            save = lumo.find("push button", "儲存資料", m)
            stop = lumo.find("push button", "停止測量", m)
            return save is not None and is_enabled(save) and stop is not None and not is_enabled(stop)
        lumo.wait_until(done, RUN_TIMEOUT, "all 24 grid cells to hold values and the run to end "
                        "(儲存資料 enabled, 停止測量 disabled)")
        texts = lumo.grid_values(m)
        lumo.screenshot("run-done")
        values = []
        for k, t in enumerate(texts, 1):
            try:
                values.append(float(t))
            except ValueError:
                self.fail(f"value {k} reads {t!r} after the run")
            self.assertGreater(values[-1], 0, f"value {k} is {t!r} after the run")
        self.assert_fits(m, "after the run")
        # Back to rest: a probe left in automatic would be switched off, not on, by the next run's press.
        if name(auto) != resting or is_checked(auto):
            lumo.click(auto, f"the virtual probe's {name(auto)!r} button")
            lumo.wait_until(lambda: name(auto) == resting and not is_checked(auto), 10,
                            "the virtual probe to leave automatic mode")
        return texts

    def enter_values(self, m, values, enter_moves_on=True):
        """The manual-entry screen, filled as a person does.  With
        enter_moves_on: click the first cell, then each value followed by one
        Enter (the cursor moves on by itself, along 左 側 and on to 右 側 after
        the twelfth); otherwise each cell is clicked before its value."""
        lumo = self.lumo
        lumo.press("數據輸入", m)
        e = lumo.window(MANUAL, what=f"the manual-entry screen {MANUAL!r} after 數據輸入")
        lumo.screenshot("manual-entry-empty")
        grid = lumo.grid(e)
        lumo.click(lumo.cell(grid, 0, 0), "the first cell of the manual-entry grid")
        # Typed in the order the cursor moves: 左 側 from column 1 to 12, then 右 側.
        # Value k (point k) sits where grid_position(k) says, so the left row
        # takes values 1-6 and then 13-18.
        at = {lumo.grid_position(k): k for k in range(1, 25)}
        for n in range(24):
            r, c = divmod(n, 12)
            k = at[(r, c)]
            v = values[k - 1]
            if not enter_moves_on and n > 0:
                lumo.click(lumo.cell(grid, r, c), f"cell {k} of the manual-entry grid")
            text = f"{v:g}"
            lumo.type_text(text)
            lumo.key("Return")
            if not lumo.poll(lambda: shows_value(lumo.cell_text(grid, r, c), v), 10):
                lumo.fail(f"after typing value {k} ({text}) and one Enter it does not show in "
                          f"{'左  側' if r == 0 else '右  側'}, column {c + 1} of the manual-entry grid; "
                          f"the grid holds (values 1-24 in order): {lumo.grid_values(e)}; "
                          f"the current cell is {self.current_cell(grid)}")
        lumo.screenshot("manual-entry-filled")
        lumo.press("儲存數據", e)
        lumo.window_gone(MANUAL, what="the manual-entry screen to close after 儲存數據")
        m = self.back_on_measuring("saving the manual entry with 儲存數據")
        got = lumo.wait_until(lambda: (lambda g: g if all(g) else None)(lumo.grid_values(m)), 10,
                              "the measuring screen's grid to hold the typed values")
        wrong = [(k, t, v) for k, (t, v) in enumerate(zip(got, values), 1) if not shows_value(t, v)]
        self.assertFalse(wrong, f"the measuring screen shows other values than typed (value, shown, typed): {wrong}")
        lumo.screenshot("measuring-with-typed-values")
        return m

    def current_cell(self, grid):
        """Where the grid's cursor is, as a person would say it."""
        lumo = self.lumo
        ti = grid.queryTable()
        for r in range(ti.nRows):
            for c in range(ti.nColumns):
                cell = ti.getAccessibleAt(r, c)
                if is_focused(cell) or is_selected(cell):
                    return f"{'左  側' if r == 0 else '右  側'}, column {c + 1} (reading {name(cell).strip()!r})"
        focused = [describe(a) for a in lumo.find_all(None, within=toplevel(grid)) if is_focused(a)]
        return f"none (focus on {focused or 'nothing'})"

    # ---- storing

    def store_question(self):
        lumo = self.lumo
        for w in lumo.windows():
            if role(w) in ("dialog", "alert") and any(STORE_QUESTION in t for t in lumo.texts(w)):
                return w
        return None

    def save_new_subject(self, m, number, subject_name):
        """儲存資料 → 新增受測者 → type number and name → 儲存資料 → 是."""
        lumo = self.lumo
        lumo.press("儲存資料", m)
        s = lumo.window(SAVE, what=f"the save screen {SAVE!r} after 儲存資料")
        lumo.screenshot("save-screen")
        lumo.press("新增受測者", s)
        ed = lumo.window(SUBJECT_NEW, what=f"the subject editor {SUBJECT_NEW!r} after 新增受測者")
        lumo.screenshot("subject-editor-empty")
        for caption, text in (("編號:", number), ("姓名:", subject_name)):
            f = lumo.field_beside(caption, ed)
            self.assertIsNotNone(f, f"no text field beside {caption!r} in the subject editor")
            lumo.click(f, f"the {caption} field")
            lumo.wait_until(lambda f=f: is_focused(f), 10, f"the {caption} field to have the keyboard focus")
            lumo.type_text(text)
            lumo.wait_until(lambda f=f, t=text: lumo.label_text(f) == t, 10, f"the {caption} field to read {text!r}")
        lumo.screenshot("subject-editor-filled")
        lumo.press("儲存資料", ed)
        q = lumo.message(STORE_QUESTION, what=f"the question {STORE_QUESTION!r} after 儲存資料 in the subject editor")
        lumo.screenshot("store-question")
        lumo.press("是", q)
        lumo.window_gone(SUBJECT_NEW, what="the subject editor to close after 是")
        lumo.window_gone(SAVE, what="the save screen to close after storing")
        return self.back_on_measuring("storing under a new subject")

    def save_existing_subject(self, m, number):
        """儲存資料 → the subject's row in the grid → 儲存數據."""
        lumo = self.lumo
        lumo.press("儲存資料", m)
        s = lumo.window(SAVE, what=f"the save screen {SAVE!r} after 儲存資料")
        lumo.click(self.subject_cell(s, number), f"the row of subject {number}")
        lumo.button("儲存數據", s, enabled=True, what="儲存數據 to be enabled once a subject is picked")
        lumo.screenshot("save-screen-subject-picked")
        lumo.press("儲存數據", s)
        # The program may ask first, as it does for a new subject; either way the screen must close.
        asked = lumo.wait_until(lambda: self.store_question() or (not lumo.windows(SAVE) and "closed"), 30,
                                "the save screen to close (or ask whether to store) after 儲存數據")
        if asked != "closed":
            lumo.screenshot("store-question-existing")
            lumo.press("是", asked)
            lumo.window_gone(SAVE, what="the save screen to close after storing")
        return self.back_on_measuring("storing under an existing subject")

    def subject_cell(self, window, number):
        """The cell showing the subject number in a window's subject grid."""
        lumo = self.lumo

        def look():
            for cell in lumo.find_all("table cell", within=window):
                if name(cell).strip() == number:
                    return cell
            return None
        return lumo.wait_until(look, 30, f"subject {number!r} to be listed in {name(window)!r}")

    # ---- the database

    def stored(self):
        """(subjects, measurements) as stored: [(CUSTNO, NAME)], [(CUSTNO, [ZU1..ZU24])]."""
        with self.lumo.db() as db:
            subjects = db.execute("SELECT CUSTNO, NAME FROM ZUCUST ORDER BY MKEY").fetchall()
            cols = ", ".join(f"ZU{i}" for i in range(1, 25))
            rows = db.execute(f"SELECT CUSTNO, {cols} FROM ZUDATA ORDER BY MKEY").fetchall()
        return subjects, [(r[0], [float(v or 0) for v in r[1:]]) for r in rows]

    def assert_stored_values(self, stored, shown, what):
        """Stored values must be what the screen showed, at the precision shown."""
        wrong = [(k, s, t) for k, (s, t) in enumerate(zip(stored, shown), 1) if not shows_value(t, s)]
        self.assertFalse(wrong, f"{what}: stored values differ from the shown ones (value, stored, shown): {wrong}")
