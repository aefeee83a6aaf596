"""Every screen gives control back: each one opened from the measuring screen
returns to a usable measuring screen, and each one opened from the main
window returns to the main window with its tool bar enabled.  A notice
("本功能尚未安裝。") counts as a screen: it must close and give control back.

Each screen is tried in a program of its own (so one broken return does not
hide the others), and then all of them one after another in one program."""

import unittest

from lumodriver import MAIN_TITLE, name, role
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

    def test_main_missing_programs_not_shown(self):
        self.start_to_main()
        main = self.wait_toolbar_enabled()
        shown = [name(b) for b in self.toolbar_buttons(main)]
        for caption in MISSING_PROGRAM_BUTTONS:
            self.assertNotIn(caption, shown, f"{caption} is shown although its program is not on this machine")
        self.assertIn("功能1", shown)

    # ---- all in one program

    def test_measuring_screens_in_one_run(self):
        self.start_to_main()
        m = self.open_measuring()
        m = self.fill_grid(m)
        for button, ident, title, _ in MEASURING_SCREENS:
            self.lumo.step(f"--- {button}")
            m = self.visit_from_measuring(m, button, ident, title)
        self.leave_measuring()
        self.quit_program()

    def test_main_screens_in_one_run(self):
        self.start_to_main()
        for button, ident, title in MAIN_SCREENS:
            self.lumo.step(f"--- {button}")
            self.visit_from_main(button, ident, title)
        self.quit_program()


def _measuring_case(button, ident, title, needs_values):
    def test(self):
        self.start_to_main()
        m = self.open_measuring()
        if needs_values:
            m = self.fill_grid(m)
        self.visit_from_measuring(m, button, ident, title)
        self.leave_measuring()
    return test


def _main_case(button, ident, title):
    def test(self):
        self.start_to_main()
        self.visit_from_main(button, ident, title)
    return test


for _button, _id, _title, _needs in MEASURING_SCREENS:
    setattr(Navigation, f"test_measuring_{_id}_returns", _measuring_case(_button, _id, _title, _needs))
for _button, _id, _title in MAIN_SCREENS:
    setattr(Navigation, f"test_main_{_id}_returns", _main_case(_button, _id, _title))


if __name__ == "__main__":
    unittest.main()
