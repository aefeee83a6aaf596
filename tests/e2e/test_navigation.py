"""Every screen gives control back: each one opened from the measuring screen
returns to a usable measuring screen, and each one opened from the main
window returns to the main window with its tool bar enabled.  A notice
("本功能尚未安裝。") counts as a screen: it must close and give control back.

All screens of a window are tried one after another in one program, each as
a sub-test: after one that does not give control back the program is started
again for the next, so one broken return does not hide the others."""

import unittest

from lumodriver import MAIN_TITLE, Lumo, name, role
from session import ANALYSIS, BROWSER, MANUAL, MEASURING, SAVE, TYPED_VALUES, Session

# Button on the measuring screen -> the screen it opens (None: whatever shows,
# a notice for now), and whether it needs values in the grid first.
MEASURING_SCREENS = [
    ("能量分析", "analysis", ANALYSIS, True),
    ("儲存資料", "save", SAVE, True),
    ("讀取資料", "browser", BROWSER, False),
    ("數據輸入", "manual_entry", MANUAL, False),
    ("能量比對", "comparison", None, True),
]

# Button on the main tool bar -> the screen it opens; None: whatever shows (a
# notice for a part not installed); "outside": it starts something outside the
# program (here the maker's web page) and opens no window of its own, or, on a
# machine that cannot open it, a notice saying why.
MAIN_SCREENS = [
    ("經絡測量", "measuring", MEASURING),
    ("多重比對", "comparison", None),
    ("穴道定位", "acupoints", None),
    ("經絡解說", "meridian_guide", "經絡圖示解說"),
    ("專家療程", "expert_programs", None),
    ("數位校準", "calibration", None),
    ("檔案處理", "file_exchange", None),
    ("功能1", "function_1", "outside"),
]

# 功能 2 and 功能 3 name programs of another system (wmplayer.exe, winword.exe):
# on a machine without them the buttons are not shown.
MISSING_PROGRAM_BUTTONS = ["功能 2", "功能 3"]

# A main-window screen that is known to open and close; used to show that the
# program still answers after a button that opens nothing.
PROBE_SCREEN = ("經絡解說", "經絡圖示解說")


class Navigation(Session):
    def fill_grid(self, m):
        # Each cell clicked before its value: independent of where Enter moves the cursor.
        return self.enter_values(m, TYPED_VALUES, enter_moves_on=False)

    def visit_from_measuring(self, m, button, ident, title):
        lumo = self.lumo
        lumo.press(button, m)
        w = lumo.window(title, what=f"{title!r} after {button}") if title else \
            self.new_window([MEASURING], what=f"a screen or notice after {button}")
        lumo.screenshot(f"{ident}-opened")
        if title is None:
            lumo.step(f"{button} opened {name(w)!r}" + (" (a notice)" if self.is_notice(w) else ""))
        self.close_screen(w)
        m = self.back_on_measuring(f"leaving what {button} opened")
        lumo.screenshot(f"{ident}-back-on-measuring")
        return m

    def visit_from_main(self, button, ident, title):
        lumo = self.lumo
        main = self.wait_toolbar_enabled(what=f"the main tool bar to be enabled before {button}")
        lumo.press(button, main)
        notice = lumo.poll(lambda: next((w for w in lumo.windows() if role(w) in ("dialog", "alert")), None), 5) \
            if title == "outside" else None
        if notice is not None:
            lumo.step(f"{button} said why nothing opened: {' '.join(lumo.texts(notice))!r}")
            w = notice
        elif title == "outside":
            # Nothing to wait for; that the program still answers is shown by a screen that opens next.
            b, t = PROBE_SCREEN
            main = self.wait_toolbar_enabled(what=f"the main tool bar to be enabled after {button}")
            lumo.press(b, main)
            w = lumo.window(t, what=f"{t!r} after {b} (pressed to show the program still answers after {button})")
        else:
            w = lumo.window(title, what=f"{title!r} after {button}") if title else \
                self.new_window([], what=f"a screen or notice after {button}")
            if title is None:
                lumo.step(f"{button} opened {name(w)!r}" + (" (a notice)" if self.is_notice(w) else ""))
        lumo.screenshot(f"{ident}-opened")
        self.close_screen(w)
        main = self.wait_toolbar_enabled(what=f"the main tool bar to be enabled again after leaving what {button} "
                                              "opened")
        self.assertIsNotNone(lumo.find_window(MAIN_TITLE), "the main window is not showing")
        lumo.screenshot(f"{ident}-back-on-main")
        return main

    def visit_each(self, screens, visit, reach, state):
        """Visits every screen of `screens` through `visit(state, *screen)`,
        each a sub-test; after one that failed, `reach()` gets a new program
        to where the next one starts. Returns the state after the last."""
        for screen in screens:
            done = False
            with self.subTest(screen=screen[1]):
                self.lumo.step(f"--- {screen[0]}")
                state = visit(state, *screen)
                done = True
            if not done:
                self.lumo.keep_data()
                self.lumo.close()
                self.lumo = Lumo(f"{self.session_name()}.after-{screen[1]}")
                state = reach()
        return state

    def test_measuring_screens_in_one_run(self):
        def reach(filled):
            self.start_to_main()
            m = self.open_measuring()
            return self.fill_grid(m) if filled else m

        def visit(m, button, ident, title, _):
            return self.visit_from_measuring(m, button, ident, title)
        # The screens that need no values first on the empty grid, then every one on a filled grid.
        m = self.visit_each([s for s in MEASURING_SCREENS if not s[3]], visit, lambda: reach(False), reach(False))
        m = self.visit_each(MEASURING_SCREENS, visit, lambda: reach(True), self.fill_grid(m))
        self.leave_measuring()
        self.quit_program()

    def test_main_screens_in_one_run(self):
        self.start_to_main()
        main = self.wait_toolbar_enabled()
        shown = [name(b) for b in self.toolbar_buttons(main)]
        for caption in MISSING_PROGRAM_BUTTONS:
            self.assertNotIn(caption, shown, f"{caption} is shown although its program is not on this machine")
        self.assertIn("功能1", shown)
        self.visit_each(MAIN_SCREENS, lambda _, *screen: self.visit_from_main(*screen), self.start_to_main, None)
        self.quit_program()


if __name__ == "__main__":
    unittest.main()
