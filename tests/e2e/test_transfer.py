"""Import and export: 檔案處理 in the main window, both groups exported to a
directory, the research files written (and read back with Python's csv
module), the transfer file imported twice (appended, then replacing), and the
main window usable again afterwards."""

import csv
import re
import shutil
import sqlite3
import subprocess
import unittest

import pyatspi
from lumodriver import binary, is_checked, is_enabled, is_focused, name, role
from session import Session

TRANSFER = "檔案匯入/匯出作業"
EXPORT_QUESTION = "請確定目的地的磁片或磁碟空間容量許可"
EXPORT_DONE = "資料匯出成功 !!"
APPEND_QUESTION = "執行本功能會將資料附加至現有的資料中"
REPLACE_QUESTION = "執行本功能將會取代現有的資料"
COMMANDS_QUESTION = "匯入的專家療程含有以下外部執行程式"
APPENDED = "資料匯入成功，資料已經附加 !!"
# Appending the practice's own export brings every number a second time; the merge is offered.
MERGE_OFFER = "匯入的受測者中有 3 位的編號原本就已存在"
REPLACED = "資料匯入成功，原有的資料已被取代 !!"
COMMAND = "/usr/bin/xdg-open"

SUBJECTS = [("T001", "Chen, \"Ming\"", 1, "first line\r\nsecond, line"),
            ("T002", "Lin Mei", 0, ""),
            ("T003", "Wang Hong", 1, "quote \" inside")]


def seed(data_dir):
    """A practice prepared the way the program leaves one: two programs (one
    starting an external program), three subjects with two measurements each."""
    subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(data_dir), "init"], check=True,
                   capture_output=True, timeout=120)
    db = sqlite3.connect(str(data_dir / "lumo4.mdb"))
    with db:
        for no, prg in (("P1", ""), ("P2", COMMAND)):
            db.execute("INSERT INTO ZUPRO (ProNo, ProName, ProData, ProPict, ProFN, ProPrg1, ProParm1) "
                       "VALUES (?, ?, ?, ?, '1000', ?, ?)",
                       (no, f"Program {no}", "text", bytes(range(256)), prg, "/tmp/handout.pdf" if prg else ""))
            db.execute("INSERT INTO ZUPRDT (ProNo, ProSubN, ProCond) VALUES (?, 'cond', '1200')", (no,))
        for number, subject, sex, memo in SUBJECTS:
            db.execute("INSERT INTO ZUCUST (CUSTNO, NAME, SEX, DBIRTH, ADDR, MEMO) VALUES (?, ?, ?, 24000, 'Taipei', ?)",
                       (number, subject, sex, memo))
            for day in range(2):
                values = [20.0 + p + day for p in range(24)]
                db.execute("INSERT INTO ZUDATA (CUSTNO, ZUDATE, ZUVOTA, " + ", ".join(f"ZU{i}" for i in range(1, 25)) +
                           ") VALUES (?, ?, ?, " + ", ".join("?" * 24) + ")", [number, 45356.6 + day, day] + values)
    db.close()


PADDED = "Calm" + " " * 3000 + "\n" * 40
HIDDEN_COMMAND = ("/bin/sh", "-c 'touch /tmp/lumo-e2e-ran'")


def hand_over(data_dir, stick):
    """A transfer file someone hands over: one program whose name pushes
    anything after it out of a fixed box (thousands of blanks, forty line
    breaks) and whose first button starts a shell."""
    target = stick / "ZuTran.mdb"
    shutil.copy(data_dir / "Zuspa.mdb", target)
    db = sqlite3.connect(str(target))
    with db:
        db.execute("INSERT INTO ZUPRO (ProNo, ProName, ProFN, ProScrp1, ProPrg1, ProParm1) "
                   "VALUES ('P9', ?, '1000', 'calming', ?, ?)", (PADDED,) + HIDDEN_COMMAND)
        db.execute("INSERT INTO ZUPRDT (ProNo, ProSubN, ProCond) VALUES ('P9', 'cond', '1200')")
    db.close()


class Transfer(Session):
    def counts(self):
        with self.lumo.db() as db:
            return {t: db.execute(f"SELECT COUNT(*) FROM {t}").fetchone()[0] for t in ("ZUCUST", "ZUDATA", "ZUPRO")}

    def commands(self):
        with self.lumo.db() as db:
            return sorted(r[0] for r in db.execute("SELECT ProPrg1 FROM ZUPRO"))

    def tick(self, w, caption):
        box = self.lumo.get("check box", caption, w)
        self.lumo.click(box, f"the box {caption!r}")
        self.lumo.wait_until(lambda: is_checked(box), 10, f"{caption!r} to be ticked")

    def choose_directory(self, w, path):
        """Types the directory into the visible path box, as a user may."""
        lumo = self.lumo
        box = lumo.get("text", None, w, what="the directory path box")
        lumo.click(box, "the directory path box")
        lumo.key("ctrl+a")
        lumo.type_text(str(path))
        lumo.key("Return")

    def answer(self, text, button, shot, what):
        lumo = self.lumo
        m = lumo.message(text, what=what)
        lumo.screenshot(shot)
        lumo.press(button, m)

        def gone():
            return not any(text in t for d in lumo.windows() if role(d) in ("dialog", "alert") for t in lumo.texts(d))
        lumo.wait_until(gone, 20, f"the message {text!r} to close after {button}")

    def test_export_import_and_research_files(self):
        lumo = self.lumo
        seed(lumo.data_dir)
        stick = lumo.tmp / "stick"
        stick.mkdir()
        self.start_to_main()
        main = self.wait_toolbar_enabled(what="the main tool bar before 檔案處理")
        lumo.press("檔案處理", main)
        w = lumo.window(TRANSFER, what=f"the screen {TRANSFER!r} after 檔案處理")
        self.assert_fits(w, "when opened")
        lumo.screenshot("transfer-opened")
        self.assertFalse(is_enabled(lumo.button("資料匯出", w)), "資料匯出 works before a box is ticked")
        self.export_both_groups(w, stick)
        self.export_research_files(w, stick)
        self.import_appended_then_replacing(w, stick)
        lumo.press("離  開", w)
        lumo.window_gone(TRANSFER, what=f"{TRANSFER!r} to close after 離  開")
        self.wait_toolbar_enabled(what="the main tool bar to be enabled after leaving the transfer screen")
        lumo.screenshot("main-window-after-transfer")
        self.quit_program()

    def export_both_groups(self, w, stick):
        """Both groups, their lists and counts, to the directory typed."""
        lumo = self.lumo
        self.tick(w, "專家療程資料")
        self.tick(w, "病歷檢測資料")
        lumo.get("label", "[     3]", w, what="the subjects' count [     3]")
        lumo.get("label", "[     2]", w, what="the programs' count [     2]")
        self.choose_directory(w, stick)
        lumo.get("label", "此目錄中沒有 ZuTran.mdb", w)
        lumo.screenshot("export-page-ready")
        lumo.press("資料匯出", w)
        self.answer(EXPORT_QUESTION, "是", "export-question", "the export question")
        self.answer(EXPORT_DONE, "確  定", "export-done", "the export's success notice")
        lumo.get("label", "此目錄中有 ZuTran.mdb", w)
        with sqlite3.connect(f"file:{stick / 'ZuTran.mdb'}?mode=ro", uri=True) as t:
            self.assertEqual(t.execute("SELECT COUNT(*) FROM ZUCUST").fetchone()[0], 3)
            self.assertEqual(t.execute("SELECT COUNT(*) FROM ZUDATA").fetchone()[0], 6)
            self.assertEqual(t.execute("SELECT ProPict FROM ZUPRO WHERE ProNo = 'P1'").fetchone()[0], bytes(range(256)))
        self.assertFalse((lumo.data_dir / "ZuTran.mdb").exists(), "the working copy stayed in the data directory")

    def export_research_files(self, w, stick):
        """The research files, without the persons, read back with the csv module."""
        lumo = self.lumo
        self.tick(w, "研究用 CSV 檔案")
        self.tick(w, "不含個人資料")
        lumo.press("資料匯出", w)
        self.answer(EXPORT_QUESTION, "是", "csv-question", "the export question for the research files")
        self.answer(EXPORT_DONE, "確  定", "csv-done", "the success notice after the research files")
        with open(stick / "lumo-subjects.csv", encoding="utf-8-sig", newline="") as f:
            subjects = list(csv.DictReader(f))
        with open(stick / "lumo-measurements.csv", encoding="utf-8-sig", newline="") as f:
            measurements = list(csv.DictReader(f))
        for column in ("CUSTNO", "NAME", "MEMO", "DBIRTH", "MKEY"):
            self.assertNotIn(column, subjects[0], f"the anonymous file holds {column}")
        pseudonyms = [s["SUBJECT"] for s in subjects]
        self.assertEqual(len(set(pseudonyms)), 3, "one pseudonym per subject")
        self.assertTrue(all(re.fullmatch(r"P[0-9A-F]{8}", p) for p in pseudonyms), pseudonyms)
        self.assertEqual({s["BIRTHYEAR"] for s in subjects}, {"1965"}, "the birth year in place of the date")
        self.assertEqual(len(measurements), 6)
        self.assertEqual(sorted(m["SUBJECT"] for m in measurements), sorted(pseudonyms * 2))
        self.assertEqual(sorted(m["ZUDATE"] for m in measurements)[0], "2024-03-05T14:24:00")
        self.assertEqual(sorted(float(m["ZU24"]) for m in measurements), [43.0] * 3 + [44.0] * 3)
        self.assertTrue(all(m["BodyEnergy"] for m in measurements), "no analysis figures in the research file")

    def import_appended_then_replacing(self, w, stick):
        """The file appended with the external program declined, then replacing with it accepted."""
        lumo = self.lumo
        lumo.click(lumo.get("page tab", "匯入", w), "the page tab 匯入")
        lumo.wait_until(lambda: "本功能會將您所指定的磁碟或目錄中檔案資料，匯入到系統工作目錄中。" in lumo.texts(w), 10,
                        "the import page's status text")
        self.tick(w, "專家療程資料")
        self.tick(w, "病歷檢測資料")
        self.choose_directory(w, stick)
        lumo.get("list item", "ZuTran.mdb", w, what="ZuTran.mdb in the import file list")
        lumo.button("匯入資料", w, enabled=True, what="匯入資料 enabled once the file is listed")
        lumo.screenshot("import-page-ready")
        lumo.press("匯入資料", w)
        self.answer(APPEND_QUESTION, "是", "append-question", "the append question")
        self.answer(COMMANDS_QUESTION, "否", "commands-question", "the question about the external programs")
        self.answer(APPENDED, "確  定", "appended", "the notice that the data were appended")
        self.answer(MERGE_OFFER, "否", "merge-offer-declined", "the offer to merge the subjects of one number")
        self.assertEqual(self.counts(), {"ZUCUST": 6, "ZUDATA": 12, "ZUPRO": 4})
        self.assertEqual(self.commands(), ["", "", "", COMMAND], "the declined command arrived")
        with self.lumo.db() as db:
            flags = sorted(r[0] for r in db.execute("SELECT ProFN FROM ZUPRO"))
        self.assertEqual(flags, ["", "", "1000", "1000"], "the declined programs kept their button flags")

        lumo.click(lumo.get("radio button", "取代原有資料", w), "取代原有資料")
        lumo.press("匯入資料", w)
        self.answer(REPLACE_QUESTION, "是", "replace-question", "the replace question")
        self.answer(COMMANDS_QUESTION, "是", "commands-accepted", "the question about the external programs")
        self.answer(REPLACED, "確  定", "replaced", "the notice that the data were replaced")
        self.assertEqual(self.counts(), {"ZUCUST": 3, "ZUDATA": 6, "ZUPRO": 2})
        self.assertEqual(self.commands(), ["", COMMAND])
        lumo.screenshot("after-replace")

    # ---- keyboard only: no mouse event reaches the program's windows

    def tab_to(self, acc, what, most=40):
        """Tab (forward) until `acc` has the focus."""
        for _ in range(most):
            if is_focused(acc):
                return
            self.lumo.key("Tab")
            self.lumo.poll(lambda: is_focused(acc), 1.0)
        self.lumo.fail(f"Tab never reached {what}")

    def answer_by_keys(self, text, button, shot, what):
        """Moves to `button` with Tab and presses it with the space bar."""
        lumo = self.lumo
        m = lumo.message(text, what=what)
        lumo.screenshot(shot)
        self.tab_to(lumo.button(button, m), f"{button} in {what}")
        lumo.key("space")
        lumo.wait_until(lambda: not any(text in t for d in lumo.windows() if role(d) in ("dialog", "alert")
                                        for t in lumo.texts(d)), 20, f"{what} to close after {button}")

    def test_import_by_keyboard_declines_hidden_command(self):
        """檔案處理 from the menu, the import page, the boxes and the directory,
        匯入資料, all by keys; the question lists the program with its padded
        name shown as one short mark and its command in full, and Enter
        answers 否: the program arrives without its command, flag or hint."""
        lumo = self.lumo
        subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(lumo.data_dir), "init"], check=True,
                       capture_output=True, timeout=120)
        stick = lumo.tmp / "stick"
        stick.mkdir()
        hand_over(lumo.data_dir, stick)
        self.start_to_main()
        self.wait_toolbar_enabled(what="the main tool bar before the menu")
        lumo.support_menu_item("檔案匯入/匯出")
        w = lumo.window(TRANSFER, what=f"the screen {TRANSFER!r} opened from the menu by keys")
        lumo.wait_until(lambda: w.getState().contains(pyatspi.STATE_ACTIVE), 10,
                        f"{TRANSFER!r} to take the keys (its window active)")
        lumo.screenshot("keys-transfer-opened")
        lumo.key("ctrl+Tab")
        lumo.wait_until(lambda: "本功能會將您所指定的磁碟或目錄中檔案資料，匯入到系統工作目錄中。" in lumo.texts(w), 10,
                        "the import page after Ctrl+Tab")
        box = lumo.get("check box", "專家療程資料", w)
        self.tab_to(box, "the box 專家療程資料")
        lumo.key("space")
        lumo.wait_until(lambda: is_checked(box), 10, "專家療程資料 ticked by the space bar")
        path = lumo.get("text", None, w, what="the directory path box")
        self.tab_to(path, "the directory path box")
        lumo.key("ctrl+a")
        lumo.type_text(str(stick))
        lumo.key("Return")
        lumo.get("list item", "ZuTran.mdb", w, what="ZuTran.mdb in the import file list")
        go = lumo.button("匯入資料", w, enabled=True, what="匯入資料 enabled once the file is listed")
        self.tab_to(go, "the tool button 匯入資料")
        lumo.screenshot("keys-import-ready")
        lumo.key("space")
        self.answer_by_keys(APPEND_QUESTION, "是", "keys-append-question", "the append question")

        q = lumo.message(COMMANDS_QUESTION, what="the question about the external programs")
        items = [name(i) for i in lumo.find_all("list item", within=q)]
        self.assertEqual(len(items), 1, f"the question lists {items!r}")
        self.assertIn("Calm⟨空白×3000⟩⟨換行×40⟩", items[0], "the padded name is not shown as a mark")
        self.assertTrue(items[0].endswith("/bin/sh -c 'touch /tmp/lumo-e2e-ran'"), items[0])
        lumo.screenshot("keys-commands-question")
        lumo.key("Return")  # 否 is the default
        lumo.wait_until(lambda: lumo.find_window(name(q)) is None or not any(
            COMMANDS_QUESTION in t for t in lumo.texts(q)), 20, "the question to close after Enter")
        self.answer_by_keys(APPENDED, "確  定", "keys-appended", "the notice that the data were appended")
        with self.lumo.db() as db:
            rows = db.execute("SELECT ProNo, ProFN, ProScrp1, ProPrg1, ProParm1 FROM ZUPRO").fetchall()
        self.assertEqual(rows, [("P9", "", "", "", "")], "the declined command came with its button")
        self.tab_to(lumo.button("離  開", w), "the tool button 離  開")
        lumo.key("space")
        lumo.window_gone(TRANSFER, what=f"{TRANSFER!r} to close after 離  開 by keys")
        self.wait_toolbar_enabled(what="the main tool bar after the transfer screen closed")


if __name__ == "__main__":
    unittest.main()
