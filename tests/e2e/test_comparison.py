"""Comparing measurements in the real program: a measurement compared with a
stored one and printed; six stored measurements picked, compared and printed
(the seventh refused); a subject's trend shown, one of its measurements
picked for the comparison, and printed.  Every screen must return to the one
that opened it, fit the screen, and every print must give a PDF page.

The practice's stored measurements are put into the data directory before
the program starts, as a practice that has been working for a while has them."""

import sqlite3
import subprocess
import unittest

from lumodriver import binary, is_checked, is_enabled, is_focused, name
from session import BROWSER, Session

COMPARE = "能量比對"
MULTI = "多重能量比對"
PICKER = "比對分析資料異動"
TREND = "歷次能量趨勢"
PRINT_TITLE = "列印"

# Three subjects: two with two measurements, one with eight (its fourth empty, so refused).
SUBJECTS = [("E2E3001", "陳基準", 1, 2), ("E2E3002", "林比對", 0, 2), ("E2E3003", "王趨勢", 1, 8)]
FIRST_DAY = 46000.40  # 2025-12-09 09:36


def seed(data_dir):
    """The data directory as the program prepares it, with the practice's measurements."""
    cli = binary().with_name("lumo-cli")
    subprocess.run([str(cli), "--data-dir", str(data_dir), "init"], check=True, capture_output=True, timeout=60)
    db = sqlite3.connect(str(data_dir / "lumo4.mdb"))
    for s, (number, subject_name, male, count) in enumerate(SUBJECTS):
        db.execute("INSERT INTO ZUCUST (CUSTNO, NAME, SEX) VALUES (?, ?, ?)", (number, subject_name, male))
        for i in range(count):
            values = [round(25 + ((p * 7 + i * 5 + s * 3) % 50) + 0.1 * i, 1) for p in range(24)]
            if s == 2 and i == 3:
                values = [0.0] * 24
            cols = ", ".join(f"ZU{p}" for p in range(1, 25))
            db.execute(f"INSERT INTO ZUDATA (CUSTNO, ZUDATE, ZUVOTA, {cols}) VALUES (?, ?, ?, {', '.join('?' * 24)})",
                       [number, FIRST_DAY + s + 21.25 * i, i % 2] + values)
    db.commit()
    db.close()


class Comparison(Session):
    def setUp(self):
        super().setUp()
        seed(self.lumo.data_dir)

    # ---- helpers

    def cell(self, window, text, table_header=None):
        """A showing table cell that reads `text` (in the table with that column header)."""
        lumo = self.lumo

        def look():
            tables = [lumo.table_with_header(window, table_header)] if table_header else [window]
            for t in tables:
                if t is None:
                    continue
                for c in lumo.find_all("table cell", within=t):
                    if name(c).strip() == text:
                        return c
            return None
        return lumo.wait_until(look, 30, f"a cell reading {text!r} in {name(window)!r}")

    def row_cell(self, window, header, row, column):
        """A cell of the table with that header.  The measurement lists' dates
        start near the left edge, under the virtual probe panel at 1366x768:
        sessions click a column further right (3, 測量方式) to choose a row."""
        lumo = self.lumo
        t = lumo.wait_until(lambda: lumo.table_with_header(window, header), 30,
                            f"the table headed {header!r} in {name(window)!r}")
        return lumo.cell(t, row, column)

    def value_beside(self, window, caption):
        """The text shown right of a caption of a header block (編號:, 姓名: ...)."""
        lumo = self.lumo
        f = lumo.field_beside(caption, window, role_="label")
        return lumo.label_text(f).strip() if f is not None else None

    def print_to_pdf(self, window, path, ident):
        """列  印 on a machine without printers: the program asks for a PDF file."""
        lumo = self.lumo
        lumo.press("列  印", window)
        self.pass_print_preview(f"列  印 in {name(window)!r}")
        dialog = lumo.wait_until(lambda: next((w for w in lumo.windows(PRINT_TITLE)
                                               if lumo.find("text", None, w) is not None), None), 30,
                                 "the file dialog 列印 asking where the PDF goes (there is no printer)")
        self.assert_fits(dialog, "when asking for the PDF file")
        lumo.screenshot(f"{ident}-pdf-file-dialog")
        field = next((t for t in lumo.find_all("text", within=dialog) if is_focused(t)), None) or \
            lumo.find("text", None, dialog)
        lumo.click(field, "the file name field of the 列印 dialog")
        lumo.key("ctrl+a")
        lumo.type_text(str(path))
        lumo.key("Return")
        lumo.wait_until(lambda: path.exists() and path.stat().st_size > 0, 60, f"the PDF file {path} to be written")
        # The program says where the report went, naming the file.
        notice = lumo.message(str(path), 30, f"a notice naming {path} after the PDF was written")
        lumo.screenshot(f"{ident}-pdf-written-notice")
        lumo.press("確  定", notice)
        lumo.wait_until(lambda: not lumo.windows(PRINT_TITLE), 30, "the 列印 windows to close after printing")
        pages = lumo.art / f"{ident}-page"
        subprocess.run(["pdftoppm", "-png", "-r", "100", str(path), str(pages)], check=True, timeout=60)
        shown = sorted(lumo.art.glob(f"{ident}-page*.png"))
        self.assertTrue(shown, f"no page could be made of {path}")
        lumo.step(f"printed {path}: {len(shown)} page(s) {', '.join(p.name for p in shown)}")
        text = subprocess.run(["pdftotext", str(path), "-"], capture_output=True, text=True, timeout=60).stdout
        return text, shown

    def band(self, caption, window):
        return self.lumo.get("check box", caption, window)

    def pdf_path(self, stem):
        return self.lumo.tmp / f"{stem}.pdf"

    # ---- sessions

    def test_measurement_compared_with_a_stored_one(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring()
        # The base: the first subject's first measurement, read into the measuring screen.
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what="the record browser after 讀取資料")
        lumo.click(self.cell(b, "E2E3001"), "subject E2E3001 in the browser")
        lumo.click(self.row_cell(b, "測量日期", 0, 3), "the first measurement of E2E3001")
        lumo.press("載入資料", b)
        lumo.window_gone(BROWSER, what="the browser to close after 載入資料")
        m = self.back_on_measuring("loading E2E3001's first measurement")

        lumo.press("能量比對", m)
        c = lumo.window(COMPARE, what=f"the comparison {COMPARE!r} after 能量比對")
        self.assert_fits(c, "when opened")
        lumo.screenshot("comparison-opened")
        self.assertEqual(self.value_beside(c, "編號:"), "E2E3001", "the base block's number")
        # The three band buttons are a group of which one is down.
        self.assertFalse(is_enabled(self.band("比對資料", c)), "比對資料 is enabled before anything was loaded")
        self.assertTrue(is_checked(self.band("隱  藏", c)), "隱  藏 is not down on opening")
        self.assertTrue(any("請按 [載入資料] 鍵更改欲比對資料。" in t for t in lumo.texts(c)), "the opening status line")

        # The record browser in comparison mode, over the comparison.
        lumo.press("載入資料", c)
        b = lumo.window(BROWSER, what="the record browser after 載入資料 on the comparison")
        self.assert_fits(b, "opened from the comparison")
        lumo.click(self.cell(b, "E2E3002"), "subject E2E3002 in the browser")
        lumo.click(self.row_cell(b, "測量日期", 1, 3), "the second measurement of E2E3002")
        lumo.screenshot("browser-comparison-mode")
        lumo.press("載入資料", b)
        lumo.window_gone(BROWSER, what="the browser to close after loading the comparison record")
        c = lumo.window(COMPARE, what="the comparison to show again after the browser")
        lumo.wait_until(lambda: is_enabled(self.band("比對資料", c)), 10, "比對資料 to be enabled after the load")
        self.assertTrue(is_checked(self.band("隱  藏", c)), "a load puts the band choice to 隱  藏")
        numbers = [t for t in lumo.texts(c) if t in ("E2E3001", "E2E3002")]
        self.assertEqual(sorted(numbers), ["E2E3001", "E2E3002"], "both header blocks' numbers")
        lumo.screenshot("comparison-two-curves")
        lumo.click(self.band("比對資料", c), "the band button 比對資料")
        lumo.wait_until(lambda: is_checked(self.band("比對資料", c)), 10, "比對資料 to be down after pressing it")
        self.assertFalse(is_checked(self.band("隱  藏", c)), "隱  藏 stays down beside 比對資料")
        lumo.screenshot("comparison-band-of-the-comparison")

        text, pages = self.print_to_pdf(c, self.pdf_path("comparison"), "comparison-print")
        self.assertEqual(len(pages), 1, "the comparison report is one page")
        # The PDF's text does not map every glyph back (digits among letters
        # read as blanks); the page pictures are for looking at.
        self.assertIn("L.U.M.O.", text)
        self.assertIn("XX", text, "the mark of the record whose band is drawn")

        lumo.press("離  開", c)
        lumo.window_gone(COMPARE, what="the comparison to close after 離  開")
        self.leave_measuring()
        self.quit_program()

    def test_six_measurements_picked_compared_and_printed(self):
        lumo = self.lumo
        self.start_to_main()
        main = self.wait_toolbar_enabled()
        lumo.press("多重比對", main)
        w = lumo.window(MULTI, what=f"the multi-record comparison {MULTI!r} after 多重比對")
        self.assert_fits(w, "when opened")
        self.assertTrue(any("請點選 [載入資料] 選擇欲比對資料." in t for t in lumo.texts(w)), "the empty set's status")
        lumo.screenshot("multi-empty")

        lumo.press("載入資料", w)
        p = lumo.window(PICKER, what=f"the record picker {PICKER!r} after 載入資料")
        self.assert_fits(p, "when opened")
        picks = [("E2E3001", 0), ("E2E3001", 1), ("E2E3002", 0), ("E2E3002", 1), ("E2E3003", 0), ("E2E3003", 4)]
        for n, (number, row) in enumerate(picks, 1):
            lumo.click(self.cell(p, number), f"subject {number} in the picker")
            lumo.click(self.row_cell(p, "測量日期", row, 3), f"measurement {row + 1} of {number}", double=True)
            lumo.wait_until(lambda n=n: self.picked_count(p) == n, 10, f"{n} rows in the picked list")
        lumo.screenshot("picker-six-picked")
        # The seventh: refused with the limit notice.
        lumo.click(self.cell(p, "E2E3003"), "subject E2E3003 in the picker")
        lumo.click(self.row_cell(p, "測量日期", 1, 3), "measurement 2 of E2E3003", double=True)
        notice = lumo.message("您已選取了超過 6 個比對資料", what="the limit notice after a seventh measurement")
        lumo.screenshot("picker-limit-notice")
        lumo.press("確  定", notice)
        lumo.window_gone(name(notice), what="the notice to close")
        self.assertEqual(self.picked_count(p), 6, "picked rows after the refused seventh")
        lumo.press("離  開", p)
        lumo.window_gone(PICKER, what="the picker to close after 離  開")

        w = lumo.window(MULTI, what="the multi-record comparison to show again after the picker")
        items = lumo.wait_until(lambda: [name(i) for i in lumo.find_all("list item", within=w)] or None, 10,
                                "the subject list to fill")
        self.assertEqual(len(items), 7, f"six entries and [隱藏生理界線]: {items}")
        self.assertTrue(items[1].startswith("2.  "), items)
        self.assertEqual(items[-1], "[隱藏生理界線]")
        second = lumo.find("list item", items[1], w)
        lumo.click(second, "entry 2 of the subject list")
        lumo.wait_until(lambda: self.value_beside(w, "編號:") == "E2E3001", 10, "the header to show entry 2")
        lumo.screenshot("multi-entry-2-with-band")

        text, pages = self.print_to_pdf(w, self.pdf_path("multi"), "multi-print")
        self.assertEqual(len(pages), 1, "the multi-record report is one page")
        self.assertIn("L.U.M.O.", text)
        self.assertIn("]:", text, "the marked legend label of the selected entry")

        lumo.press("離  開", w)
        lumo.window_gone(MULTI, what="the multi-record comparison to close")
        self.wait_toolbar_enabled(what="the main tool bar to be enabled after the multi-record comparison")
        self.quit_program()

    def picked_count(self, picker):
        t = self.lumo.table_with_header(picker, "No.")
        if t is None:
            return -1
        return sum(1 for r in self.lumo.table_rows(t) if r[0])

    def test_trend_shown_picked_and_printed(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring()
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what="the record browser after 讀取資料")
        lumo.click(self.cell(b, "E2E3003"), "subject E2E3003 in the browser")
        lumo.button("歷次趨勢", b, enabled=True, what="歷次趨勢 to be enabled for a subject with eight measurements")
        lumo.press("歷次趨勢", b)
        t = lumo.window(TREND, what=f"the trend {TREND!r} after 歷次趨勢")
        self.assert_fits(t, "when opened")
        lumo.screenshot("trend-opened")
        table = lumo.wait_until(lambda: lumo.table_with_header(t, "身體能量"), 10, "the trend table")
        rows = lumo.table_rows(table)
        self.assertEqual(len(rows), 8, "one row per measurement")
        self.assertEqual(rows[3][3], "無法分析", "the empty measurement is marked")
        self.assertFalse(is_enabled(lumo.button("載入比對", t)), "載入比對 is enabled with nothing chosen")
        lumo.click(lumo.cell(table, 1, 0), "the second measurement in the trend table")
        lumo.button("載入比對", t, enabled=True, what="載入比對 to be enabled once a row is chosen")
        lumo.screenshot("trend-row-chosen")
        lumo.press("載入比對", t)
        lumo.wait_until(lambda: any("已載入多重比對資料 (1 / 6)" in x for x in lumo.texts(t)), 10,
                        "the status line to tell the measurement joined the comparison")
        lumo.press("載入比對", t)
        notice = lumo.message("這筆資料已經選取", what="the duplicate notice after picking the same measurement again")
        lumo.press("確  定", notice)
        lumo.window_gone(name(notice), what="the notice to close")

        text, pages = self.print_to_pdf(t, self.pdf_path("trend"), "trend-print")
        self.assertGreaterEqual(len(pages), 1)
        self.assertIn("L.U.M.O.", text)

        lumo.press("離  開", t)
        lumo.window_gone(TREND, what="the trend to close after 離  開")
        b = lumo.window(BROWSER, what="the browser to show again after the trend")
        lumo.button("離  開", b, enabled=True, what="the browser to answer again after the trend")
        lumo.press("離  開", b)
        lumo.window_gone(BROWSER, what="the browser to close")
        self.leave_measuring()
        # The picked measurement waits in the multi-record comparison.
        main = self.wait_toolbar_enabled()
        lumo.press("多重比對", main)
        w = lumo.window(MULTI, what="the multi-record comparison after the trend")
        items = lumo.wait_until(lambda: [name(i) for i in lumo.find_all("list item", within=w)] or None, 10,
                                "the subject list to show the picked measurement")
        self.assertEqual(len(items), 2, items)
        self.assertRegex(items[0], r"^1\.  王趨勢  \d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}$", "the entry names its visit")
        self.assertEqual(items[1], "[隱藏生理界線]")
        self.assertNotIn("E2E3003", lumo.texts(w), "the header is empty until an entry is chosen")
        lumo.screenshot("multi-after-trend")
        lumo.press("離  開", w)
        lumo.window_gone(MULTI, what="the multi-record comparison to close")
        self.quit_program()


if __name__ == "__main__":
    unittest.main()
