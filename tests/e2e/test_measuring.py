"""A whole measuring session as a practitioner does it: measure with the
virtual probe, store under a new subject, look through every page of the
analysis (every chart, a printed report), measure again for the same subject,
load a stored measurement back, and leave."""

import shutil
import subprocess
import unittest

from lumodriver import extents, is_checked, is_focused, name, role
from session import ANALYSIS, BROWSER, MEASURING, Session

SUBJECT_NUMBER = "E2E1001"
SUBJECT_NAME = "Chen Tester"

ANALYSIS_PAGES = ["體能狀況", "分析圖表", "表裡對應", "經絡分析", "醫方資料", "養生建議", "專家療程", "處置記錄", "資料列印"]

# The file dialog's name field, whichever language Qt's own dialog speaks.
FILE_NAME_FIELD = ("檔案名稱:", "檔案名稱：", "文件名:", "File name:")


def same_number(a, b):
    """Two displays of one value, each rounded at its own precision."""
    def parse(t):
        t = t.strip()
        return float(t), (len(t.split(".", 1)[1]) if "." in t else 0)
    try:
        (x, dx), (y, dy) = parse(a), parse(b)
    except ValueError:
        return False
    return abs(x - y) <= 0.5 * 10 ** -dx + 0.5 * 10 ** -dy + 1e-9


class Measuring(Session):
    def test_measure_store_analyse_print_reload(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring()

        lumo.step("first run")
        first = self.measure(m)
        m = self.save_new_subject(m, SUBJECT_NUMBER, SUBJECT_NAME)
        lumo.screenshot("measuring-after-first-store")
        subjects, rows = self.stored()
        self.assertEqual(subjects, [(SUBJECT_NUMBER, SUBJECT_NAME)], "the stored subjects after the first store")
        self.assertEqual(len(rows), 1, "measurements stored after the first store")
        self.assert_stored_values(rows[0][1], first, "the first run")

        m = self.analyse(m)

        lumo.step("second run, same subject")
        second = self.measure(m, stored=True)
        m = self.save_existing_subject(m, SUBJECT_NUMBER)
        subjects, rows = self.stored()
        self.assertEqual(len(rows), 2, "measurements stored after the second store")
        self.assert_stored_values(rows[1][1], second, "the second run")

        m = self.load_from_browser(m, SUBJECT_NUMBER)
        self.leave_measuring()
        self.quit_program()

        subjects, rows = self.stored()
        self.assertEqual([s for s in subjects if s[0] == SUBJECT_NUMBER], [(SUBJECT_NUMBER, SUBJECT_NAME)],
                         "exactly one subject with the typed number")
        self.assertEqual(len(subjects), 1, f"subjects stored: {subjects}")
        mine = [values for custno, values in rows if custno == SUBJECT_NUMBER]
        self.assertEqual(len(mine), 2, f"measurements stored under {SUBJECT_NUMBER}: {len(mine)} (all: {len(rows)})")
        for i, values in enumerate(mine, 1):
            zeros = [k for k, v in enumerate(values, 1) if not v > 0]
            self.assertFalse(zeros, f"measurement {i} has no value at ZU{zeros}")
        self.assert_stored_values(mine[0], first, "the first run, after quitting")
        self.assert_stored_values(mine[1], second, "the second run, after quitting")

    # ---- the analysis screen

    def analyse(self, m):
        lumo = self.lumo
        lumo.press("能量分析", m)
        a = lumo.window(ANALYSIS, what=f"the analysis screen {ANALYSIS!r} after 能量分析")
        lumo.screenshot("analysis")
        for i, page in enumerate(ANALYSIS_PAGES, 1):
            tab = lumo.get("page tab", page, a, what=f"the analysis page tab {page!r}")
            lumo.click(tab, f"page tab {page!r}")
            lumo.wait_until(lambda: lumo.find("page tab list", page, a), 10, f"{page!r} to become the current page")
            lumo.screenshot(f"analysis-page-{i}")
            if page == "分析圖表":
                self.press_charts(a)
            elif page == "資料列印":
                self.print_report(a)
        lumo.press("離  開", a)
        lumo.window_gone(ANALYSIS, what="the analysis screen to close after 離  開")
        return self.back_on_measuring("leaving the analysis screen")

    def press_charts(self, a):
        """Each chart button on 分析圖表 (checkable tool buttons; they may carry
        only an icon, so their accessible name or hint identifies them)."""
        lumo = self.lumo
        buttons = [b for b in lumo.find_all(None, within=a)
                   if role(b) in ("check box", "toggle button", "push button") and name(b) != "離  開"
                   and role(b) != "page tab"]
        charts = [b for b in buttons if role(b) in ("check box", "toggle button")]
        self.assertGreaterEqual(len(charts), 2, "分析圖表 shows fewer than two chart buttons: "
                                f"{[(role(b), name(b)) for b in buttons]}")
        surface = self.chart_surface(a, charts)
        for j, b in enumerate(charts, 1):
            label = name(b) or b.description or f"chart button {j}"
            was_down = is_checked(b)
            before = lumo.grab(surface)
            lumo.click(b, f"chart button {label!r}")
            lumo.wait_until(lambda b=b: is_checked(b), 10, f"chart button {label!r} to be down once pressed")
            if not was_down:
                lumo.wait_until(lambda: lumo.grab(surface) != before, 10,
                                f"the chart to change after pressing {label!r}")
            lumo.screenshot(f"analysis-chart-{j}")

    def chart_surface(self, a, charts):
        """The drawing below the chart buttons: the largest childless area there."""
        lumo = self.lumo
        below = max(extents(b)[1] + extents(b)[3] for b in charts)
        best = None
        for f in lumo.find_all("filler", within=a):
            x, y, w, h = extents(f)
            if f.childCount == 0 and y >= below and (best is None or w * h > best[0]):
                best = (w * h, f)
        self.assertIsNotNone(best, "no chart drawing below the chart buttons on 分析圖表")
        return best[1]

    def print_report(self, a):
        """列  印 with no printer: the program offers a PDF file instead."""
        lumo = self.lumo
        pdf = lumo.tmp / "report.pdf"
        # The meridians' texts too: a report of several pages, paged in the preview.
        box = lumo.get("check box", "單經絡能量辨證", a)
        lumo.click(box, "單經絡能量辨證")
        lumo.wait_until(lambda: is_checked(box), 10, "單經絡能量辨證 to be ticked")
        lumo.press("列  印", a)
        self.pass_print_preview("列  印 on 資料列印")
        d = self.new_window([ANALYSIS, MEASURING], what="a file dialog offering a PDF file after 列  印 (no printer)")
        lumo.screenshot("print-file-dialog")
        field = lumo.find("text", FILE_NAME_FIELD, d)
        if field is None:
            focused = [t for t in lumo.find_all("text", within=d) if is_focused(t)]
            field = focused[0] if focused else None
        self.assertIsNotNone(field, f"no file name field in {name(d)!r}")
        lumo.click(field, "the file name field")
        lumo.key("ctrl+a")
        # Typed without its suffix, as people do: the dialog offers PDF files only, so the program adds it.
        typed = str(pdf.with_suffix(""))
        lumo.type_text(typed)
        lumo.wait_until(lambda: lumo.label_text(field) == typed, 10, "the file name field to hold the path")
        lumo.key("Return")
        lumo.window_gone(name(d), what=f"the file dialog {name(d)!r} to close after Enter")

        def written():
            if not pdf.exists() or pdf.stat().st_size == 0:
                return False
            data = pdf.read_bytes()
            return data.startswith(b"%PDF") and b"%%EOF" in data[-1024:]
        lumo.wait_until(written, 60, f"a complete PDF at {pdf}")
        # The program says where the report went, naming the file, and waits for 確  定.
        notice = lumo.message(str(pdf), 30, f"a notice naming {pdf} after the PDF was written")
        lumo.screenshot("pdf-written-notice")
        lumo.press("確  定", notice)
        lumo.wait_until(lambda: not any(str(pdf) in t for w in lumo.windows() for t in lumo.texts(w)), 30,
                        "the notice naming the PDF to close after 確  定")
        kept = lumo.art / "report.pdf"
        shutil.copyfile(pdf, kept)
        if shutil.which("pdftoppm"):
            subprocess.run(["pdftoppm", "-png", "-r", "50", "-f", "1", "-l", "2", str(kept), str(lumo.art / "report")],
                           check=False, timeout=60)
        lumo.screenshot("after-print")
        self.assertIsNotNone(lumo.find_window(ANALYSIS), "the analysis screen is gone after printing")

    # ---- the browser

    def load_from_browser(self, m, number):
        lumo = self.lumo
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what=f"the browser {BROWSER!r} after 讀取資料")
        lumo.screenshot("browser")
        subjects = lumo.wait_until(lambda: lumo.table_with_header(b, "姓名"), 10, "the browser's subject list")
        cell = lumo.wait_until(lambda: next((c for c in lumo.find_all("table cell", within=subjects)
                                             if name(c).strip() == number), None), 10,
                               f"subject {number!r} in the browser's subject list")
        lumo.click(cell, f"subject {number!r}")
        measurements = lumo.wait_until(lambda: lumo.table_with_header(b, "測量日期"), 10,
                                       "the browser's measurement list")
        lumo.wait_until(lambda: measurements.queryTable().nRows >= 2, 10,
                        f"both measurements of {number!r} to be listed")
        headers = lumo.column_headers(measurements)
        first_value = headers.index("測量方式") + 1 if "測量方式" in headers else 4
        row = lumo.table_rows(measurements)[0]
        listed = row[first_value:first_value + 24]
        self.assertEqual(len(listed), 24, f"the measurement row has {len(listed)} values: {row}")
        # 測量方式: the date column starts under the virtual probe panel on a 1366-pixel screen.
        lumo.click(lumo.cell(measurements, 0, first_value - 1), "the first measurement row")
        lumo.screenshot("browser-picked")
        lumo.press("載入資料", b)
        lumo.window_gone(BROWSER, what="the browser to close after 載入資料")
        m = self.back_on_measuring("載入資料 in the browser")
        shown = lumo.wait_until(lambda: (lambda g: g if all(g) else None)(lumo.grid_values(m)), 10,
                                "the loaded values on the measuring screen")
        wrong = [(k, s, l) for k, (s, l) in enumerate(zip(shown, listed), 1) if not same_number(s, l)]
        self.assertFalse(wrong, f"the measuring screen shows other values than the loaded row (value, shown, listed): "
                         f"{wrong}")
        lumo.screenshot("measuring-loaded")
        return m


if __name__ == "__main__":
    unittest.main()
