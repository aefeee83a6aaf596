"""Keyboard only, 候診區顯示 and the screen lock's idle time.
- F12 in the record browser masks the subjects' names, numbers, telephones and
  birth dates in its list and puts the mark in the main window's status bar;
  the choice outlasts a restart, and F12 again shows the real values.
- 螢幕鎖定 on the user settings screen (系統支援 → 用戶資料設定 by Alt and the
  arrows): typed, saved with Ctrl+S, shown again after a restart.
No mouse event reaches the program's windows (KeyboardSession fails the
session on one)."""

import sqlite3
import unittest

from lumodriver import is_focused, role
from session import BROWSER, MEASURING
from test_keyboard import KeyboardSession, seed

MARK = "候診區顯示"
SETTINGS = "用戶基本資料設定"
DAY_1980_01_01 = 29221
# (CUSTNO, NAME, TEL) as stored, and the name as the masked list shows it.
SUBJECTS = [("E2E5001", "王小明", "0912345678", "王○明"), ("E2E5002", "李美", "02-2345-6789", "李○"),
            ("E2E5003", "歐陽小華", "", "歐○華")]


class KeyboardMasking(KeyboardSession):
    def names_shown(self, b):
        subjects = self.lumo.table_with_header(b, "姓名")
        if subjects is None:
            return []
        col = self.lumo.column_headers(subjects).index("姓名")
        return [row[col] for row in self.lumo.table_rows(subjects)]

    def numbers_shown(self, b):
        subjects = self.lumo.table_with_header(b, "姓名")
        col = self.lumo.column_headers(subjects).index("編號")
        return [row[col] for row in self.lumo.table_rows(subjects)]

    def rows(self, b):
        return self.lumo.table_rows(self.lumo.table_with_header(b, "姓名"))

    def mark_shown(self):
        return MARK in self.lumo.texts(self.main_window())

    def open_browser_by_keys(self):
        lumo = self.lumo
        self.open_measuring_by_keys()
        lumo.key("ctrl+o")
        b = self.active_window(BROWSER, "the browser after Ctrl+O")
        self.wait_focus(b, lambda f: role(f) in ("table", "table cell"), "the subject list to have the focus")
        lumo.wait_until(lambda: len(self.names_shown(b)) == len(SUBJECTS) + 1, 10, "the browser to list every subject")
        return b

    def leave_browser(self):
        lumo = self.lumo
        lumo.key("Escape")
        lumo.window_gone(BROWSER, what="the browser to close on Esc")
        self.back("leaving the browser")
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")

    def test_waiting_room_by_keys(self):
        lumo = self.lumo
        seed(lumo.data_dir)
        with sqlite3.connect(str(lumo.data_dir / "lumo4.mdb")) as db:
            db.executemany("INSERT INTO ZUCUST (CUSTNO, NAME, TEL, SEX) VALUES (?, ?, ?, 1)",
                           [s[:3] for s in SUBJECTS])
            db.execute("UPDATE ZUCUST SET DBIRTH = ? WHERE CUSTNO = ?", (DAY_1980_01_01, SUBJECTS[0][0]))
        real = [s[1] for s in SUBJECTS]
        masked = [s[3] for s in SUBJECTS]
        self.start_to_main()
        self.assertFalse(self.mark_shown(), "the mark shows before F12 was pressed")
        b = self.open_browser_by_keys()
        self.assertTrue(set(real) <= set(self.names_shown(b)), "the list does not show the real names at first")

        lumo.step("F12 masks the list")
        lumo.key("F12")
        lumo.wait_until(lambda: set(masked) <= set(self.names_shown(b)), 10,
                        "the list to show the names masked (王○明) after F12")
        lumo.wait_until(self.mark_shown, 10, f"the mark {MARK} in the main window's status bar after F12")
        self.assertFalse(set(real) & set(self.names_shown(b)), "a real name still shows in the masked list")
        self.assertNotIn("E2E5001", self.numbers_shown(b), "the numbers are not masked")
        row = next(r for r in self.rows(b) if "王○明" in r)
        self.assertIn("1980", row, "the birth date is not shown as its year")
        self.assertFalse(any("0912345678" in c or "1980/" in c for c in row), f"a value shows unmasked: {row}")
        lumo.screenshot("browser-masked")
        self.leave_browser()
        lumo.screenshot("main-masked")
        self.quit_by_keys()

        lumo.step("a restart keeps the choice of this workstation")
        self.start_to_main()
        lumo.wait_until(self.mark_shown, 10, f"the mark {MARK} in the status bar after the restart")
        b = self.open_browser_by_keys()
        self.assertTrue(set(masked) <= set(self.names_shown(b)), "the list is not masked after the restart")
        lumo.screenshot("browser-masked-after-restart")

        lumo.step("F12 again shows the real names")
        lumo.key("F12")
        lumo.wait_until(lambda: set(real) <= set(self.names_shown(b)), 10, "the real names after F12 again")
        lumo.wait_until(lambda: not self.mark_shown(), 10, "the mark to go after F12 again")
        self.assertIn("E2E5001", self.numbers_shown(b))
        lumo.screenshot("browser-real-again")
        self.leave_browser()
        self.quit_by_keys()

    def open_settings_by_keys(self):
        """The menu bar by Alt, 系統支援 (the fifth entry), 用戶資料設定 by the arrows."""
        lumo = self.lumo
        self.wait_toolbar_enabled(what="the main tool bar before the menu")
        lumo.support_menu_item("用戶資料設定")
        s = self.active_window(SETTINGS, "the user settings opened from the menu by keys")
        box = lumo.field_beside("螢幕鎖定:", s, role_="spin button")
        self.assertIsNotNone(box, "no spin box beside 螢幕鎖定:")
        return s, box

    def test_idle_time_by_keys(self):
        lumo = self.lumo
        self.start_to_main()
        s, box = self.open_settings_by_keys()
        self.assertEqual(lumo.label_text(box).split()[0], "10", "the idle time is not 10 minutes at first")
        for _ in range(20):
            if is_focused(box):
                break
            lumo.key("Tab")
            lumo.poll(lambda: is_focused(box), 1)
        lumo.wait_until(lambda: is_focused(box), 5, "the 螢幕鎖定 box to take the focus by Tab")
        lumo.key("ctrl+a")
        lumo.type_text("25")
        lumo.wait_until(lambda: lumo.label_text(box).startswith("25"), 5, "the box to show 25")
        lumo.screenshot("settings-idle-time")
        lumo.key("ctrl+s")
        lumo.window_gone(SETTINGS, what="the user settings to close after Ctrl+S")
        self.assertEqual((lumo.data_dir / "LumoIdleLock.txt").read_text().strip(), "25")
        self.quit_by_keys()

        lumo.step("the time set is shown after a restart")
        self.start_to_main()
        s, box = self.open_settings_by_keys()
        self.assertEqual(lumo.label_text(box).split()[0], "25")
        lumo.key("Escape")
        lumo.window_gone(SETTINGS, what="the user settings to close on Esc")
        self.quit_by_keys()


if __name__ == "__main__":
    unittest.main()
