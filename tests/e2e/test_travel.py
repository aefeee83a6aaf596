"""Records that travel, each flow once with the mouse and once by the keyboard
alone (no mouse event in the program's windows):

- 匯入受測者清單 from 檔案處理: a Big5, tab-separated file whose third row has
  a number the practice holds (listed, skipped, the others stored);
- 匯出個人資料 and 合併受測者 from the record browser: the export of a number
  two subjects hold refused with the reason, the two merged with the other
  name chosen, the folder then written with a report per measurement, and
  the merge undone;
- an appending import of a transfer file that brings a number already there,
  after which 檔案處理 says so and offers the merge, which is accepted."""

import subprocess
import sqlite3
import unittest

import pyatspi

from lumodriver import PROBE_WINDOW, binary, describe, description, is_checked, is_focused, name, role, states, \
    text_of, toplevel
from session import BROWSER, MEASURING, QUIT_QUESTION, Session

TRANSFER = "檔案匯入/匯出作業"
IMPORT = "匯入受測者清單"
EXPORT = "匯出個人資料"
MERGE = "合併受測者"
IMPORT_QUESTION = "確定要匯入 2 位受測者嗎？"
IMPORT_DONE = "受測者清單匯入完成：新增 2 位受測者，1 筆編號已經存在而略過。"
EXPORT_DONE = "個人資料已匯出"
SHARED = "編號 A01 有 2 位受測者，無法分辨各自的測量資料；請先以「合併受測者」合併後再匯出。"
MERGE_QUESTION = "確定要將 ["
MERGE_DONE = "合併完成"
UNDO_QUESTION = "確定要復原上次的合併嗎？"
UNDO_DONE = "已復原上次的合併"
APPEND_QUESTION = "執行本功能會將資料附加至現有的資料中"
APPENDED = "資料匯入成功，資料已經附加 !!"
OFFER = "匯入的受測者中有 1 位的編號原本就已存在"
EXISTING_ROW = "第 4 行 (編號 A01)：編號已經存在"


def cli(*args):
    subprocess.run([str(binary().with_name("lumo-cli"))] + [str(a) for a in args], check=True,
                   capture_output=True, timeout=120)


def seed(data_dir, subjects):
    """A practice as the program leaves one, with (number, name, tel, measurements[, birth day]) subjects."""
    cli("--data-dir", data_dir, "init")
    db = sqlite3.connect(str(data_dir / "lumo4.mdb"))
    cols = ", ".join(f"ZU{i}" for i in range(1, 25))
    with db:
        for number, subject, tel, count, *birth in subjects:
            db.execute("INSERT INTO ZUCUST (CUSTNO, NAME, SEX, TEL, DBIRTH) VALUES (?, ?, 1, ?, ?)",
                       (number, subject, tel, birth[0] if birth else 0))
            for day in range(count):
                db.execute(f"INSERT INTO ZUDATA (CUSTNO, ZUDATE, ZUVOTA, {cols}) VALUES (?, ?, 0, {', '.join('?' * 24)})",
                           [number, 45356.6 + day] + [20.0 + p + day for p in range(24)])
    db.close()


class Travel(Session):
    # ---- the two ways of working

    def keys_only(self):
        """From here on a click in the program's windows fails the session."""
        self.keys = True
        allowed = self.lumo.click

        def keyboard_only(acc, what=None, timeout=30, button=1, double=False):
            top = name(toplevel(acc))
            if top not in PROBE_WINDOW:
                self.fail(f"a mouse click on {what or describe(acc)} in {top!r}: this session uses the keyboard only")
            return allowed(acc, what, timeout, button, double)
        self.lumo.click = keyboard_only

    keys = False

    def active(self, title, what):
        """A screen once it is the active window: keys sent earlier would reach the one below."""
        w = self.lumo.window(title, what=what)
        self.lumo.wait_until(lambda: states(w).contains(pyatspi.STATE_ACTIVE), 10, f"{title!r} to become active")
        return w

    def tab_to(self, acc, what, most=60):
        for _ in range(most):
            if is_focused(acc):
                return
            self.lumo.key("Tab")
            self.lumo.poll(lambda: is_focused(acc), 1.0)
        self.lumo.fail(f"Tab never reached {what}")

    def push(self, caption, window, role_="push button"):
        """A button pressed: clicked, or reached with Tab and pressed with Enter."""
        lumo = self.lumo
        b = lumo.get(role_, caption, window, enabled=True, what=f"{caption!r} enabled")
        if self.keys:
            self.tab_to(b, caption)
            lumo.key("Return")
        else:
            lumo.click(b, caption)

    def answer(self, text, shot, yes=True):
        """A question answered 是 (Y by keys: Enter would give the default 否), a notice 確  定."""
        lumo = self.lumo
        m = lumo.message(text, what=f"the message {text!r}")
        lumo.screenshot(shot)
        if self.keys:
            lumo.key("y" if yes else "Return")
        else:
            lumo.press("是" if yes else "確  定", m)
        lumo.wait_until(lambda: not any(text in t for d in lumo.windows() if role(d) in ("dialog", "alert")
                                        for t in lumo.texts(d)), 20, f"the message {text!r} to close")

    def notice(self, text, shot):
        self.answer(text, shot, yes=False)

    def leave(self, title, window):
        """A screen left by its 離  開, or by Esc."""
        if self.keys:
            self.lumo.key("Escape")
        else:
            self.lumo.press("離  開", window)
        self.lumo.window_gone(title, what=f"{title!r} to close")

    def quit(self):
        lumo = self.lumo
        if not self.keys:
            self.quit_program()
            return
        self.wait_toolbar_enabled()
        lumo.key("ctrl+q")
        lumo.message(QUIT_QUESTION, what="the question whether to end the program")
        lumo.key("y")
        self.assertEqual(lumo.wait_exit(30, "the program to end after Y"), 0)

    # ---- the data

    def subjects(self):
        with self.lumo.db() as db:
            return db.execute("SELECT CUSTNO, NAME, COALESCE(TEL, '') FROM ZUCUST ORDER BY MKEY").fetchall()

    def measurements_of(self, number):
        with self.lumo.db() as db:
            return db.execute("SELECT COUNT(*) FROM ZUDATA WHERE CUSTNO = ?", (number,)).fetchone()[0]

    # ---- 檔案處理

    def open_transfer(self):
        lumo = self.lumo
        main = self.wait_toolbar_enabled(what="the main tool bar")
        if not self.keys:
            lumo.press("檔案處理", main)
            return lumo.window(TRANSFER, what="the transfer screen")
        lumo.support_menu_item("檔案匯入/匯出")
        return self.active(TRANSFER, "the transfer screen opened from the menu by keys")

    def write_list(self):
        """A subject list as an older program here writes it: Big5, tabs, CR LF."""
        path = self.lumo.tmp / "subjects.csv"
        text = "編號\t姓名\t性別\t生日\t手機\r\nN01\t王小明\t男\t民國64年6月15日\t0912-345-678\r\n" \
               "N02\t李大同\t女\t1980/2/3\t\r\nA01\t重覆\t男\t\t\r\n"
        path.write_bytes(text.encode("cp950"))
        return path

    def subject_list(self):
        lumo = self.lumo
        seed(lumo.data_dir, [("A01", "Old", "", 0)])
        path = self.write_list()
        self.start_to_main()
        w = self.open_transfer()
        if self.keys:
            lumo.key("ctrl+l")
            s = self.active(IMPORT, f"the screen {IMPORT!r} after Ctrl+L")
        else:
            lumo.press(IMPORT, w)
            s = lumo.window(IMPORT, what=f"the screen {IMPORT!r}")
        self.assert_fits(s, "when opened")
        box = lumo.get("text", "CSV 檔案", s)
        if self.keys:
            lumo.wait_until(lambda: is_focused(box), 10, "the file box to have the focus as the screen opens")
        else:
            lumo.click(box, "the file box")
        lumo.type_text(str(path))
        lumo.key("Return")
        lumo.get("label", "Big5 編碼，Tab 分隔，3 筆資料", s, what="what the file is")
        lumo.get("list item", EXISTING_ROW, s, what="the row whose number is there, listed")
        lumo.wait_until(lambda: any("可以新增 2 位受測者" in t for t in lumo.texts(s)), 10, "the summary")
        # The preview shows the dates as they will be stored, not as the file writes them.
        lumo.get("table cell", "1975/06/15", s, what="民國64年6月15日 as the date stored")
        lumo.get("table cell", "1980/02/03", s, what="1980/2/3 as the date stored")
        self.assert_laid_out(s, "with the file read")
        lumo.screenshot("subject-list-preview")
        self.push("匯  入", s)
        self.answer(IMPORT_QUESTION, "import-question")
        self.notice(IMPORT_DONE, "import-done")
        lumo.window_gone(IMPORT, what="the import screen to close after its notice")
        self.assertEqual(self.subjects(), [("A01", "Old", ""), ("N01", "王小明", ""), ("N02", "李大同", "")])
        with lumo.db() as db:
            self.assertEqual(db.execute("SELECT TEL2 FROM ZUCUST WHERE CUSTNO = 'N01'").fetchone()[0], "0912-345-678")
        self.leave(TRANSFER, w)
        self.quit()

    def test_subject_list(self):
        self.subject_list()

    def test_subject_list_keyboard(self):
        self.keys_only()
        self.subject_list()

    # ---- 匯出個人資料 and 合併受測者 from the browser

    def open_browser(self):
        lumo = self.lumo
        if not self.keys:
            m = self.open_measuring()
            lumo.press("讀取資料", m)
            b = lumo.window(BROWSER, what="the record browser")
            lumo.click(self.subject_cell(b, "A01"), "the row of the first A01")
            return b
        self.wait_toolbar_enabled()
        lumo.key("F5")
        self.active(MEASURING, "the measuring screen after F5")
        lumo.key("ctrl+o")
        b = self.active(BROWSER, "the browser after Ctrl+O")
        self.subject_cell(b, "A01")
        lumo.key("space")  # the first row, A01 with its two measurements, entered
        return b

    def open_from_browser(self, b, caption, key):
        lumo = self.lumo
        lumo.button(caption, b, enabled=True, what=f"{caption} enabled on the entered subject")
        if self.keys:
            lumo.key(key)
            w = self.active(caption, f"the screen {caption!r} after {key}")
        else:
            lumo.press(caption, b)
            w = lumo.window(caption, what=f"the screen {caption!r}")
        self.assert_fits(w, "when opened")
        self.assert_laid_out(w, "when opened")
        return w

    def new_folder_by_keys(self, e, folder):
        """The chooser's 新增資料夾 by Tab and Space, the name typed: the new folder is chosen."""
        lumo = self.lumo
        self.tab_to(lumo.get("push button", "新增資料夾", e), "新增資料夾")
        lumo.key("space")
        ask = self.active("新增資料夾", "the question for the new folder's name")
        lumo.type_text(folder.name)
        lumo.key("Return")
        lumo.window_gone(name(ask), what="the question for the folder's name to close")
        box = lumo.get("text", "匯出到資料夾", e)
        lumo.wait_until(lambda: text_of(box) == str(folder), 10, f"the chooser to choose the new folder {folder}")
        self.assertTrue(folder.is_dir(), f"{folder} was not made")

    def export_subject(self, b, out, shared=False):
        """The subject's folder written into `out`; refused while its number is shared. By keys
        a folder is made in `out` with the chooser's 新增資料夾, and the folder is written there."""
        lumo = self.lumo
        e = self.open_from_browser(b, EXPORT, "ctrl+e")
        box = lumo.get("text", "匯出到資料夾", e)
        if self.keys:
            lumo.wait_until(lambda: is_focused(box), 10, "the folder box to have the focus as the screen opens")
        else:
            lumo.click(box, "the folder box")
        lumo.key("ctrl+a")
        lumo.type_text(str(out))
        if self.keys and not shared:
            out = out / "visit"
            self.new_folder_by_keys(e, out)
            lumo.screenshot("export-ready")
            self.push("匯  出", e)  # from 新增資料夾, Enter would press it again
        elif self.keys:
            lumo.screenshot("export-ready")
            lumo.key("Return")  # 匯  出 is the default button
        else:
            lumo.screenshot("export-ready")
            lumo.press("匯  出", e)
        if shared:
            self.notice(SHARED, "export-refused")
            self.assertEqual(list(out.iterdir()), [], "a refused export left something behind")
            self.leave(EXPORT, e)
            return
        self.notice(EXPORT_DONE, "export-done")
        lumo.window_gone(EXPORT, what="the export screen to close after its notice")
        folders = list(out.iterdir())
        self.assertEqual(len(folders), 1, f"the stick holds {folders}")
        files = sorted(p.name for p in folders[0].iterdir())
        self.assertIn("subject.json", files)
        self.assertEqual(len([f for f in files if f.endswith(".pdf")]), 2, files)
        # The next export starts in the folder used last.
        e = self.open_from_browser(b, EXPORT, "ctrl+e")
        box = lumo.get("text", "匯出到資料夾", e)
        lumo.wait_until(lambda: text_of(box) == str(out), 10, f"the export to start in {out}, the folder used last")
        lumo.screenshot("export-last-folder")
        self.leave(EXPORT, e)

    def merge(self, b):
        lumo = self.lumo
        g = self.open_from_browser(b, MERGE, "ctrl+m")
        lumo.get("label", "2 筆", g, what="the kept subject's measurements")
        number = lumo.get("radio button", "編號：併入的", g)
        if self.keys:
            # After the number's other holder, W09 of the same name and birth date is proposed.
            others = lumo.get("combo box", "A01 Wang Xiao", g, what="the number's other holder to merge in")
            self.tab_to(others, "the list of subjects to merge in")
            lumo.key("Down")
            lumo.wait_until(lambda: name(others) == "W09 Wang  (可能重覆：同姓名及生日)", 10,
                            "the subject of the same name and birth date to be proposed next")
            lumo.wait_until(lambda: description(number) == "W09", 10, "its number among the fields to choose")
            lumo.screenshot("merge-likely-duplicate")
            lumo.key("Up")
            lumo.wait_until(lambda: description(number) == "A01", 10, "the other A01 to be chosen again by Up")
        choice = lumo.get("radio button", "姓名：併入的", g)
        if self.keys:
            # Tab reaches the field's chosen side; the arrow goes to the other side and chooses it.
            self.tab_to(lumo.get("radio button", "姓名：保留的", g), "the kept subject's name")
            lumo.key("Right")
        else:
            lumo.click(choice, "the merged-in subject's name")
        lumo.wait_until(lambda: is_checked(choice), 10, "the other name to be chosen")
        self.assertFalse(is_checked(lumo.get("radio button", "姓名：保留的", g)), "both names chosen")
        lumo.screenshot("merge-chosen")
        self.push("合併受測者", g)
        self.answer(MERGE_QUESTION, "merge-question")
        self.notice(MERGE_DONE, "merge-done")
        self.assertEqual(self.subjects(), [("A01", "Wang Xiao", "02-1234"), ("B01", "Lin", ""), ("W09", "Wang", "")])
        self.assertEqual(self.measurements_of("A01"), 2)
        lumo.screenshot("merged")
        self.leave(MERGE, g)

    def undo(self, b):
        lumo = self.lumo
        g = self.open_from_browser(b, MERGE, "ctrl+m")
        lumo.wait_until(lambda: any("上次合併：" in t for t in lumo.texts(g)), 10, "the last merge to be said")
        self.push("復原上次合併", g)
        self.answer(UNDO_QUESTION, "undo-question")
        self.notice(UNDO_DONE, "undo-done")
        self.assertEqual(self.subjects(), [("A01", "Wang", ""), ("A01", "Wang Xiao", "02-1234"), ("B01", "Lin", ""),
                                           ("W09", "Wang", "")])
        self.leave(MERGE, g)

    def browser_export_and_merge(self):
        lumo = self.lumo
        seed(lumo.data_dir, [("A01", "Wang", "", 2, 27000), ("A01", "Wang Xiao", "02-1234", 0), ("B01", "Lin", "", 1),
                             ("W09", "Wang", "", 0, 27000)])
        out = lumo.tmp / "stick"
        out.mkdir()
        self.start_to_main()
        b = self.open_browser()
        self.export_subject(b, out, shared=True)
        self.merge(b)
        self.export_subject(b, out)
        self.undo(b)
        self.leave(BROWSER, b)
        self.leave(MEASURING, lumo.window(MEASURING, what="the measuring screen again"))
        self.quit()

    def test_browser_export_and_merge(self):
        self.browser_export_and_merge()

    def test_browser_export_and_merge_keyboard(self):
        self.keys_only()
        self.browser_export_and_merge()

    # ---- an appending import that brings a number already there

    def import_offers_merge(self):
        lumo = self.lumo
        stick = lumo.tmp / "stick"
        stick.mkdir()
        other = lumo.tmp / "other"
        other.mkdir()
        seed(other, [("A01", "Wang Elsewhere", "02-9999", 1)])
        cli("--data-dir", other, "export", "--to", stick, "--records")
        seed(lumo.data_dir, [("A01", "Wang", "", 2)])
        self.start_to_main()
        w = self.open_transfer()
        if self.keys:
            lumo.key("ctrl+Tab")
        else:
            lumo.click(lumo.get("page tab", "匯入", w), "the import page")
        box = lumo.get("check box", "病歷檢測資料", w)
        if self.keys:
            self.tab_to(box, "病歷檢測資料")
            lumo.key("space")
        else:
            lumo.click(box, "病歷檢測資料")
        lumo.wait_until(lambda: is_checked(box), 10, "病歷檢測資料 to be ticked")
        field = lumo.get("text", None, w, what="the import page's directory path box")
        if self.keys:
            self.tab_to(field, "the directory path box")
        else:
            lumo.click(field, "the import directory box")
        lumo.key("ctrl+a")
        lumo.type_text(str(stick))
        lumo.key("Return")
        lumo.get("list item", "ZuTran.mdb", w, what="ZuTran.mdb in the import file list")
        self.push("匯入資料", w)
        self.answer(APPEND_QUESTION, "append-question")
        self.notice(APPENDED, "appended")
        self.answer(OFFER, "merge-offer")
        g = self.active(MERGE, "the merge screen after the offer")
        lumo.get("label", "A01 Wang", g, what="the subject that was there, kept")
        lumo.screenshot("merge-after-import")
        self.push("合併受測者", g)
        self.answer(MERGE_QUESTION, "merge-question")
        self.notice(MERGE_DONE, "merge-done")
        self.assertEqual([r[0] for r in self.subjects()], ["A01"])
        self.assertEqual(self.measurements_of("A01"), 3)
        self.leave(MERGE, g)
        self.leave(TRANSFER, w)
        self.quit()

    def test_import_offers_merge(self):
        self.import_offers_merge()

    def test_import_offers_merge_keyboard(self):
        self.keys_only()
        self.import_offers_merge()


if __name__ == "__main__":
    unittest.main()
