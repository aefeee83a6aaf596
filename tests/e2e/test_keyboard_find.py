"""Keyboard only, finding subjects: the filter box of the browser (Ctrl+F)
and the recent subjects (Ctrl+R) after a restart.  No mouse event reaches the
program's windows (KeyboardSession fails the session on one)."""

import sqlite3
import unittest

from lumodriver import name, role
from session import BROWSER, MEASURING
from test_keyboard import SEEDED, KeyboardSession, seed

RECENT = "最近的受測者"
TREND = "歷次能量趨勢"
EDITOR_CHANGE = "受測者資料修改"
TOOL_BAR = ["載入資料", "客戶修改", "客戶刪除", "修改資料", "刪除資料", "歷次趨勢", "匯出個人資料", "合併受測者", "離  開"]


class KeyboardFind(KeyboardSession):
    def test_filter_by_keys(self):
        """Ctrl+F in the browser: the list narrows to the subjects whose name
        or telephone holds the typed text, Down enters the first of them."""
        lumo = self.lumo
        seed(lumo.data_dir)
        with sqlite3.connect(str(lumo.data_dir / "lumo4.mdb")) as db:
            db.executemany("INSERT INTO ZUCUST (CUSTNO, NAME, TEL, TEL2) VALUES (?, ?, ?, ?)",
                           [("E2E4002", "Lin Meiling", "02-2345", ""), ("E2E4003", "WANG Other", "", "0912-000-111"),
                            ("E2E4004", "Chen Ming", "07-1234567", "")])
        self.start_to_main()
        m = self.open_measuring_by_keys()
        lumo.key("ctrl+o")
        b = self.active_window(BROWSER, "the browser after Ctrl+O")
        subjects = lumo.table_with_header(b, "姓名")
        lumo.key("ctrl+f")
        self.wait_focus(b, lambda f: role(f) == "text" and name(f) == "篩選", "the filter box to have the focus after Ctrl+F")
        lumo.type_text("wang")
        lumo.wait_until(lambda: subjects.queryTable().nRows == 2, 10, "the list to show the two subjects named Wang")
        lumo.screenshot("filter-wang")

        lumo.step("the current subject's and measurement's buttons, wherever the focus is")
        for caption in TOOL_BAR[:5]:
            lumo.button(caption, b, enabled=True, what=f"{caption} to be enabled for the subject the filter found")
        self.tab_to(b, "push button", TOOL_BAR[-1], back=True)  # back from the filter: no list on the way
        walked = [name(self.focused(b))]
        for _ in TOOL_BAR[1:]:
            lumo.key("shift+Tab")
            lumo.poll(lambda: name(self.focused(b)) != walked[-1], 3)
            walked.append(name(self.focused(b)))
        self.assertEqual(walked, TOOL_BAR[::-1], "Shift+Tab does not walk the tool bar in its order")
        for caption in TOOL_BAR[:5]:
            lumo.button(caption, b, enabled=True, what=f"{caption} to stay enabled with the focus on the tool bar")
        lumo.key("Delete")
        q = self.question("確定要刪除這筆經絡能量數據嗎?", "the question after Del")
        lumo.key("Return")
        lumo.window_gone(name(q), what="the question to close after Enter")
        lumo.key("shift+Delete")
        q = self.question("確定要刪除本受測者的所有資料嗎?", "the question after Shift+Del")
        lumo.key("Return")
        lumo.window_gone(name(q), what="the question to close after Enter")
        with sqlite3.connect(str(lumo.data_dir / "lumo4.mdb")) as db:
            self.assertEqual(db.execute("SELECT COUNT(*) FROM ZUDATA").fetchone()[0], 2, "Enter deleted")

        lumo.step("Ctrl+F from the tool bar, after the trend")
        self.tab_to(b, "push button", "歷次趨勢", back=True)
        lumo.key("Return")
        self.active_window(TREND, "the trend after Enter on 歷次趨勢")
        lumo.key("Escape")
        lumo.window_gone(TREND, what="the trend to close on Esc")
        lumo.key("ctrl+f")
        self.wait_focus(b, lambda f: role(f) == "text" and name(f) == "篩選",
                        "the filter box to have the focus after Ctrl+F with the focus on the tool bar")
        lumo.key("ctrl+a")
        lumo.type_text("0912")
        lumo.wait_until(lambda: subjects.queryTable().nRows == 1, 10, "the list to show the one mobile number 0912...")
        lumo.key("Down")
        self.wait_focus(b, lambda f: role(f) in ("table", "table cell"), "the subject list to have the focus after Down")
        lumo.button("客戶修改", b, enabled=True, what="客戶修改 to be enabled on the subject found")
        self.assertEqual(lumo.cell_text(subjects, 0, 1), "E2E4003")
        lumo.screenshot("filter-0912-entered")
        lumo.key("F2")
        self.active_window(EDITOR_CHANGE, "the subject editor after F2 (客戶修改)")
        lumo.key("Escape")
        lumo.window_gone(EDITOR_CHANGE, what="the editor to close on Esc")
        lumo.key("ctrl+f")
        lumo.key("BackSpace")
        lumo.wait_until(lambda: subjects.queryTable().nRows == 4, 10, "every subject to show again when the box is empty")
        self.leave_browser_and_quit()

    def test_recent_subjects_by_keys(self):
        """A subject loaded is offered by Ctrl+R in the main window after a
        restart; its digit opens the measuring screen on it."""
        lumo = self.lumo
        seed(lumo.data_dir)
        self.start_to_main()
        m = self.open_measuring_by_keys()
        b = self.open_browser_on_subject(m)
        lumo.key("Return")  # to the measurements
        lumo.button("載入資料", b, enabled=True, what="載入資料 to be enabled on the first measurement")
        lumo.key("Return")  # loads
        lumo.window_gone(BROWSER, what="the browser to close after loading")
        self.back("loading")
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")
        self.quit_by_keys()

        self.start_to_main()  # a new start: the subject is one key away
        lumo.key("ctrl+r")
        r = self.active_window(RECENT, "the recent subjects after Ctrl+R")
        lines = lambda: lumo.texts(r) + [name(a) for a in lumo.find_all("list item", within=r)]  # noqa: E731
        lumo.wait_until(lambda: any(SEEDED[0] in t and SEEDED[1] in t for t in lines()), 10,
                        "the recent subjects to list the subject loaded before the restart")
        lumo.screenshot("recent-subjects")
        lumo.key("1")
        m = self.active_window(MEASURING, "the measuring screen after choosing the subject by its digit")
        lumo.wait_until(lambda: SEEDED[0] in lumo.texts(m), 10, "the measuring screen to show the subject chosen")
        lumo.screenshot("measuring-recent-subject")
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")
        self.quit_by_keys()


if __name__ == "__main__":
    unittest.main()
