"""Records that travel: 匯入受測者清單 from 檔案處理 (a Big5 file with a row
whose number is already there, shown and skipped), with the mouse and with
the keyboard alone; 匯出個人資料 and 合併受測者 from the record browser (the
folder written, two subjects of one number merged and the merge undone); and
an appending import of a transfer file that brings a number already there,
after which the screen offers the merge."""

import shutil
import sqlite3
import subprocess
import unittest

from lumodriver import binary, is_checked, is_enabled, is_focused, name
from session import Session

TRANSFER = "檔案匯入/匯出作業"
IMPORT = "匯入受測者清單"
EXPORT = "匯出個人資料"
MERGE = "合併受測者"
BROWSER = "經絡能量資料讀取"
IMPORT_QUESTION = "確定要匯入 2 位受測者嗎？"
IMPORT_DONE = "受測者清單匯入完成：新增 2 位受測者，1 筆編號已經存在而略過。"
EXPORT_DONE = "個人資料已匯出"
MERGE_QUESTION = "確定要將 ["
MERGE_DONE = "合併完成"
UNDO_QUESTION = "確定要復原上次的合併嗎？"
UNDO_DONE = "已復原上次的合併"
APPEND_QUESTION = "執行本功能會將資料附加至現有的資料中"
APPENDED = "資料匯入成功，資料已經附加 !!"
OFFER = "匯入的受測者中有 1 位的編號原本就已存在"


def seed(data_dir, subjects):
    """A practice as the program leaves one, with (number, name, tel, measurements) subjects."""
    subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(data_dir), "init"], check=True,
                   capture_output=True, timeout=120)
    db = sqlite3.connect(str(data_dir / "lumo4.mdb"))
    with db:
        for number, subject, tel, count in subjects:
            db.execute("INSERT INTO ZUCUST (CUSTNO, NAME, SEX, TEL) VALUES (?, ?, 1, ?)", (number, subject, tel))
            for day in range(count):
                values = [20.0 + p + day for p in range(24)]
                db.execute("INSERT INTO ZUDATA (CUSTNO, ZUDATE, ZUVOTA, " + ", ".join(f"ZU{i}" for i in range(1, 25)) +
                           ") VALUES (?, ?, 0, " + ", ".join("?" * 24) + ")", [number, 45356.6 + day] + values)
    db.close()


class Travel(Session):
    def answer(self, text, button, shot, keyboard=False):
        lumo = self.lumo
        m = lumo.message(text, what=f"the message {text!r}")
        lumo.screenshot(shot)
        if keyboard:
            lumo.key("Return")  # 是 and 確  定 are the default buttons
        else:
            lumo.press(button, m)
        lumo.wait_until(lambda: not any(text in t for w in lumo.windows() if w is not None for t in lumo.texts(w)
                                        if name(w) in ("詢問資訊", "注意", "重要資訊")),
                        20, f"the message {text!r} to close")

    def subjects(self):
        with self.lumo.db() as db:
            return db.execute("SELECT CUSTNO, NAME, TEL FROM ZUCUST ORDER BY MKEY").fetchall()

    def measurements_of(self, number):
        with self.lumo.db() as db:
            return db.execute("SELECT COUNT(*) FROM ZUDATA WHERE CUSTNO = ?", (number,)).fetchone()[0]

    def write_list(self):
        """A subject list as an older program here writes it: Big5, tabs, CR LF."""
        path = self.lumo.tmp / "subjects.csv"
        text = "編號\t姓名\t性別\t生日\t手機\r\nN01\t王小明\t男\t民國64年6月15日\t0912-345-678\r\n" \
               "N02\t李大同\t女\t1980/2/3\t\r\nA01\t重覆\t男\t\t\r\n"
        path.write_bytes(text.encode("cp950"))
        return path

    # ---- 匯入受測者清單

    def test_subject_list(self):
        self.subject_list(keyboard=False)

    def test_subject_list_keyboard(self):
        self.subject_list(keyboard=True)

    def subject_list(self, keyboard):
        lumo = self.lumo
        seed(lumo.data_dir, [("A01", "Old", "", 0)])
        path = self.write_list()
        self.start_to_main()
        main = self.wait_toolbar_enabled(what="the main tool bar")
        if keyboard:
            # The menu bar by the keyboard: Alt, then 系統支援 (the fifth item),
            # its menu opened with Down, 檔案匯入/匯出 the fourth action.
            lumo.key("alt")
            for _ in range(4):
                lumo.key("Right")
            for _ in range(4):
                lumo.key("Down")
            lumo.key("Return")
        else:
            lumo.press("檔案處理", main)
        w = lumo.window(TRANSFER, what="the transfer screen")
        if keyboard:
            lumo.key("ctrl+l")
        else:
            lumo.press("匯入受測者清單", w)
        s = lumo.window(IMPORT, what=f"the screen {IMPORT!r}")
        self.assert_fits(s, "when opened")
        box = lumo.get("text", "CSV 檔案", s)
        if keyboard:
            lumo.wait_until(lambda: is_focused(box), 10, "the file box to have the focus as the screen opens")
        else:
            lumo.click(box, "the file box")
        lumo.type_text(str(path))
        lumo.key("Return")
        lumo.get("label", "Big5 編碼，Tab 分隔，3 筆資料", s, what="what the file is")
        lumo.wait_until(lambda: any("第 4 行 (編號 A01)：編號已經存在" in t for t in lumo.texts(s)), 10,
                        "the row whose number is there to be listed")
        lumo.wait_until(lambda: any("可以新增 2 位受測者" in t for t in lumo.texts(s)), 10, "the summary")
        imp = lumo.button("匯  入", s, enabled=True)
        lumo.screenshot("subject-list-preview")
        if keyboard:
            while not is_focused(imp):
                lumo.key("Tab")
            lumo.key("space")
        else:
            lumo.click(imp, "匯  入")
        self.answer(IMPORT_QUESTION, "是", "import-question", keyboard)
        self.answer(IMPORT_DONE, "確  定", "import-done", keyboard)
        lumo.window_gone(IMPORT, what="the import screen to close after its notice")
        numbers = [r[0] for r in self.subjects()]
        self.assertEqual(numbers, ["A01", "N01", "N02"])
        self.assertEqual(self.subjects()[1][1], "王小明")
        if keyboard:
            lumo.close()
        else:
            lumo.press("離  開", w)
            lumo.window_gone(TRANSFER, what="the transfer screen to close")
            self.quit_program()

    # ---- 匯出個人資料 and 合併受測者 from the browser

    def test_browser_export_and_merge(self):
        lumo = self.lumo
        seed(lumo.data_dir, [("A01", "Wang", "", 2), ("A01", "Wang Xiao", "02-1234", 0), ("B01", "Lin", "", 1)])
        out = lumo.tmp / "stick"
        out.mkdir()
        self.start_to_main()
        m = self.open_measuring()
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what="the record browser")
        lumo.click(self.subject_cell(b, "B01"), "the row of B01")
        lumo.button(EXPORT, b, enabled=True)
        lumo.press(EXPORT, b)
        e = lumo.window(EXPORT, what=f"the screen {EXPORT!r}")
        self.assert_fits(e, "when opened")
        box = lumo.get("text", "匯出到資料夾", e)
        lumo.click(box, "the folder box")
        lumo.key("ctrl+a")
        lumo.type_text(str(out))
        lumo.screenshot("export-ready")
        lumo.press("匯  出", e)
        self.answer(EXPORT_DONE, "確  定", "export-done")
        lumo.window_gone(EXPORT, what="the export screen to close after its notice")
        folders = list(out.iterdir())
        self.assertEqual(len(folders), 1, f"the stick holds {folders}")
        files = sorted(p.name for p in folders[0].iterdir())
        self.assertIn("subject.json", files)
        self.assertEqual(len([f for f in files if f.endswith(".pdf")]), 1)

        lumo.click(self.subject_cell(b, "A01"), "the row of the first A01")
        lumo.press(MERGE, b)
        g = lumo.window(MERGE, what=f"the screen {MERGE!r}")
        self.assert_fits(g, "when opened")
        self.assert_laid_out(g, "when opened")
        lumo.get("label", "2 筆", g, what="the kept subject's measurements")
        choice = lumo.get("radio button", "姓名：併入的", g)
        lumo.click(choice, "the merged-in subject's name")
        lumo.wait_until(lambda: is_checked(choice), 10, "the other name to be chosen")
        lumo.screenshot("merge-chosen")
        lumo.press("合併受測者", g)
        self.answer(MERGE_QUESTION, "是", "merge-question")
        self.answer(MERGE_DONE, "確  定", "merge-done")
        self.assertEqual(self.subjects(), [("A01", "Wang Xiao", "02-1234"), ("B01", "Lin", "")])
        self.assertEqual(self.measurements_of("A01"), 2)
        lumo.press("復原上次合併", g)
        self.answer(UNDO_QUESTION, "是", "undo-question")
        self.answer(UNDO_DONE, "確  定", "undo-done")
        self.assertEqual(len(self.subjects()), 3)
        self.assertEqual(self.subjects()[0][1], "Wang")
        lumo.press("離  開", g)
        lumo.window_gone(MERGE, what="the merge screen to close")
        lumo.press("離  開", b)
        self.leave_measuring()
        self.quit_program()

    # ---- an appending import that brings a number already there

    def test_import_offers_merge(self):
        lumo = self.lumo
        stick = lumo.tmp / "stick"
        stick.mkdir()
        other = lumo.tmp / "other"
        other.mkdir()
        seed(other, [("A01", "Wang Elsewhere", "02-9999", 1)])
        subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(other), "export", "--to", str(stick),
                        "--records"], check=True, capture_output=True, timeout=120)
        seed(lumo.data_dir, [("A01", "Wang", "", 2)])
        self.start_to_main()
        main = self.wait_toolbar_enabled(what="the main tool bar")
        lumo.press("檔案處理", main)
        w = lumo.window(TRANSFER, what="the transfer screen")
        lumo.click(lumo.get("page tab", "匯入", w), "the import page")
        box = lumo.get("check box", "病歷檢測資料", w)
        lumo.click(box, "病歷檢測資料")
        lumo.wait_until(lambda: is_checked(box), 10, "病歷檢測資料 to be ticked")
        field = lumo.get("text", None, w, what="the import page's directory path box")
        lumo.click(field, "the import directory box")
        lumo.key("ctrl+a")
        lumo.type_text(str(stick))
        lumo.key("Return")
        lumo.press("匯入資料", w)
        self.answer(APPEND_QUESTION, "是", "append-question")
        self.answer(APPENDED, "確  定", "appended")
        self.answer(OFFER, "是", "merge-offer")
        g = lumo.window(MERGE, what="the merge screen after the offer")
        lumo.get("label", "A01 Wang", g, what="the subject that was there, kept")
        lumo.screenshot("merge-after-import")
        lumo.press("合併受測者", g)
        self.answer(MERGE_QUESTION, "是", "merge-question")
        self.answer(MERGE_DONE, "確  定", "merge-done")
        self.assertEqual([r[0] for r in self.subjects()], ["A01"])
        self.assertEqual(self.measurements_of("A01"), 3)
        lumo.press("離  開", g)
        lumo.window_gone(MERGE, what="the merge screen to close")
        lumo.press("離  開", w)
        lumo.window_gone(TRANSFER, what="the transfer screen to close")
        self.quit_program()


if __name__ == "__main__":
    unittest.main()
