"""Screens on a 1920x1080 desktop: each screen opened, maximised from the
keyboard (the window manager's Alt+Space menu), its chart or list grown with
it and nothing cut off or overlapping; the charts still draw over their whole
new area.  Inside the screens the flows are done with keys: pages by
Ctrl+Tab, entries and visits by the arrow keys.

Run by ctest's e2e_1920 (E2E_SCREEN=1920x1080); on the default screen these
sessions are listed as not run."""

import unittest

import test_comparison as practice
from lumodriver import extents, is_focused, name
from session import ANALYSIS, BROWSER
from test_comparison import MULTI, PICKER, TREND


class LargeScreen(practice.Comparison):
    SCREEN = "1920x1080"
    # The comparison sessions are the default screen's; this class borrows only their practice and helpers.
    test_measurement_compared_with_a_stored_one = None
    test_six_measurements_picked_compared_and_printed = None
    test_trend_shown_picked_and_printed = None

    def grown(self, chart, before, what):
        """The chart's extents after maximising: much larger in both directions."""
        _, _, w0, h0 = before
        self.lumo.wait_until(lambda: extents(chart)[2] > w0 * 1.4 and extents(chart)[3] > h0 * 1.2, 10,
                             f"{what} to grow with its maximised window (it was {w0}x{h0}, "
                             f"it is {extents(chart)[2]}x{extents(chart)[3]})")

    def drawn_to_the_edges(self, chart, what):
        """A chart scaled, not just framed: its right and bottom quarters hold drawing."""
        pixels = self.lumo.grab(chart)
        x, y, w, h = extents(chart)
        background = pixels[0:3]

        def drawn(x0, x1, y0, y1):
            for row in range(y0, y1, 3):
                line = pixels[3 * (row * w + x0):3 * (row * w + x1)]
                for i in range(0, len(line), 3):
                    if line[i:i + 3] != background:
                        return True
            return False
        self.assertTrue(drawn(w * 3 // 4, w, 0, h), f"{what}: nothing drawn in its right quarter")
        self.assertTrue(drawn(0, w, h * 3 // 4, h), f"{what}: nothing drawn in its bottom quarter")

    def load_into_measuring(self, m, number, row):
        lumo = self.lumo
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what="the record browser after 讀取資料")
        lumo.click(self.cell(b, number), f"subject {number} in the browser")
        lumo.click(self.row_cell(b, "測量日期", row, 3), f"measurement {row + 1} of {number}")
        lumo.press("載入資料", b)
        lumo.window_gone(BROWSER, what="the browser to close after 載入資料")
        return self.back_on_measuring(f"loading {number}'s measurement")

    # ---- sessions

    def test_measuring_browser_and_analysis_maximised(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring()
        grid = lumo.grid(m)
        before = extents(grid)
        self.maximise(m, "the measuring screen")
        lumo.wait_until(lambda: extents(grid)[2] > before[2] + 500, 10, "the value grid to widen")
        self.assert_laid_out(m, "maximised")
        lumo.screenshot("measuring-maximised")

        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what="the record browser after 讀取資料")
        lumo.click(self.cell(b, "E2E3003"), "subject E2E3003 in the browser")
        values = lumo.wait_until(lambda: lumo.table_with_header(b, "測量日期"), 10, "the measurement list")
        self.maximise(b, "the record browser")
        # All 28 columns side by side: every heading inside the list.
        lx, _, lw, _ = extents(values)
        ti = values.queryTable()
        for c in range(ti.nColumns):
            hx, _, hw, _ = extents(ti.getColumnHeader(c))
            self.assertTrue(hx >= lx and hx + hw <= lx + lw, f"column {c + 1} of the measurement list is cut off")
        self.assert_laid_out(b, "maximised")
        lumo.screenshot("browser-maximised")
        lumo.click(self.row_cell(b, "測量日期", 0, 3), "the first measurement of E2E3003")
        lumo.press("載入資料", b)
        lumo.window_gone(BROWSER, what="the browser to close after 載入資料")
        m = self.back_on_measuring("loading E2E3003's first measurement")

        lumo.press("能量分析", m)
        a = lumo.window(ANALYSIS, what="the analysis screen after 能量分析")
        leave = lumo.button("離  開", a)
        opened, leave_at = extents(a), extents(leave)
        # Page by page with Ctrl+Tab: the window keeps its size and 離  開 its place.
        tabs = lumo.get("page tab list", None, a)
        for page in ("分析圖表", "表裡對應", "經絡分析"):
            lumo.key("ctrl+Tab")
            # The tab list carries the name of the page it shows.
            lumo.wait_until(lambda page=page: name(tabs) == page, 10, f"the page {page} to show after Ctrl+Tab")
            self.assertEqual(extents(a), opened, f"the analysis window changed when {page} showed")
            self.assertEqual(extents(leave), leave_at, f"離  開 moved when {page} showed")
        # 多經絡分析 under the list shows all its rows.
        master = lumo.find_all("list", within=a)[-1]
        mx, my, mw, mh = extents(master)
        rows = lumo.find_all("list item", within=master)
        self.assertTrue(rows, "no master program listed")
        for r in rows:
            x, y, w, h = extents(r)
            self.assertTrue(my <= y and y + h <= my + mh, f"the master program {name(r)!r} is not in view")
        lumo.screenshot("analysis-master-programs")
        for _ in range(2):
            lumo.key("ctrl+shift+Tab")
        chart = lumo.get(None, "經絡虛實分析圖", a, what="the chart area on 分析圖表")
        before = extents(chart)
        self.maximise(a, "the analysis screen")
        self.grown(chart, before, "the analysis chart")
        self.drawn_to_the_edges(chart, "the analysis chart")
        self.assert_laid_out(a, "maximised")
        lumo.screenshot("analysis-chart-maximised")
        lumo.press("離  開", a)
        lumo.window_gone(ANALYSIS, what="the analysis screen to close")
        self.leave_measuring()
        self.quit_program()

    def test_comparisons_and_trend_maximised(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring()
        m = self.load_into_measuring(m, "E2E3001", 0)
        lumo.press("能量比對", m)
        c = lumo.window("能量比對", what="the comparison after 能量比對")
        chart = lumo.get(None, "經絡能量比對圖", c)
        before = extents(chart)
        self.maximise(c, "the comparison")
        self.grown(chart, before, "the comparison chart")
        self.drawn_to_the_edges(chart, "the comparison chart")
        self.assert_laid_out(c, "maximised")
        lumo.screenshot("comparison-maximised")
        lumo.press("離  開", c)
        lumo.window_gone("能量比對", what="the comparison to close")

        # The trend: a visit chosen with the arrow keys marks the chart and enables 載入比對.
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what="the record browser")
        lumo.click(self.cell(b, "E2E3003"), "subject E2E3003")
        lumo.press("歷次趨勢", b)
        t = lumo.window(TREND, what="the trend after 歷次趨勢")
        chart = lumo.get(None, "歷次能量趨勢圖", t)
        before = extents(chart)
        self.maximise(t, "the trend")
        self.grown(chart, before, "the trend chart")
        self.drawn_to_the_edges(chart, "the trend chart")
        table = lumo.table_with_header(t, "身體能量")
        tx, _, tw, _ = extents(table)
        ti = table.queryTable()
        for col in range(ti.nColumns):
            hx, _, hw, _ = extents(ti.getColumnHeader(col))
            self.assertTrue(hx >= tx and hx + hw <= tx + tw, f"column {col + 1} of the trend table is hidden")
        self.assertEqual(lumo.cell_text(table, 0, 8), "肝經", "偏高經絡 names the meridians")
        # The extra height went to the chart: the table ends within a row below its last row.
        _, ty, _, th = extents(table)
        _, ry, _, rh = extents(lumo.cell(table, ti.nRows - 1, 0))
        self.assertLess(ty + th - (ry + rh), 2 * rh, f"the trend table keeps {ty + th - (ry + rh)} px of empty rows")
        self.assertGreater(extents(chart)[3], extents(t)[3] * 0.55, "the trend chart has less than half the window")
        unmarked = lumo.grab(chart)
        lumo.wait_until(lambda: is_focused(chart), 10, "the chart to have the focus as the trend opens")
        lumo.key("Tab")
        lumo.wait_until(lambda: is_focused(table), 10, "the trend table to take the focus after Tab")
        lumo.key("Down")
        lumo.button("載入比對", t, enabled=True, what="載入比對 to be enabled once a visit is chosen with the keys")
        lumo.wait_until(lambda: lumo.grab(chart) != unmarked, 10, "the chart to mark the chosen visit")
        self.assert_laid_out(t, "maximised")
        lumo.screenshot("trend-maximised-visit-chosen")
        lumo.press("離  開", t)
        b = lumo.window(BROWSER, what="the browser after the trend")
        lumo.press("離  開", b)
        lumo.window_gone(BROWSER, what="the browser to close")
        self.leave_measuring()

        # The multi-record comparison of three visits, one entry chosen with the arrow keys.
        main = self.wait_toolbar_enabled()
        lumo.press("多重比對", main)
        w = lumo.window(MULTI, what="the multi-record comparison")
        lumo.press("載入資料", w)
        p = lumo.window(PICKER, what="the picker")
        for number, row in (("E2E3001", 0), ("E2E3001", 1), ("E2E3003", 0)):
            lumo.click(self.cell(p, number), f"subject {number} in the picker")
            lumo.click(self.row_cell(p, "測量日期", row, 3), f"measurement {row + 1} of {number}", double=True)
        lumo.wait_until(lambda: self.picked_count(p) == 3, 10, "three picked rows")
        picked = lumo.table_with_header(p, "No.")
        self.assertRegex(lumo.cell_text(picked, 1, 3), r"^\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}$",
                         "the picked list gives each visit's date and time")
        self.maximise(p, "the picker")
        self.assert_laid_out(p, "maximised")
        lumo.screenshot("picker-maximised")
        lumo.press("離  開", p)
        w = lumo.window(MULTI, what="the multi-record comparison after the picker")
        items = lumo.wait_until(lambda: [name(i) for i in lumo.find_all("list item", within=w)] or None, 10,
                                "the subject list")
        for item in items[:3]:
            self.assertRegex(item, r"^\d\.  \S+  \d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}$", "a visit's line")
        self.assertNotEqual(items[0], items[1], "two visits of one subject read the same")
        chart = lumo.get(None, "多重能量比對圖", w)
        before = extents(chart)
        self.maximise(w, "the multi-record comparison")
        self.grown(chart, before, "the multi-record chart")
        self.drawn_to_the_edges(chart, "the multi-record chart")
        entries = lumo.get("list", None, w)
        # The keys went back to 載入資料, which opened the picker; a click on
        # the list's empty part below its entries gives them to the list
        # without choosing an entry.
        x, y, width, height = extents(entries)
        lumo.click_point(x + width // 2, y + height - 20, "the empty part of the subject list")
        lumo.wait_until(lambda: is_focused(entries), 10, "the subject list to have the keyboard focus")
        lumo.key("Down")
        lumo.wait_until(lambda: self.value_beside(w, "編號:") == "E2E3001", 10,
                        "the header to show the first entry after Down")
        lumo.key("End")
        lumo.key("Up")
        lumo.wait_until(lambda: self.value_beside(w, "編號:") == "E2E3003", 10,
                        "the header to show the third entry after End, Up")
        self.assert_laid_out(w, "maximised")
        lumo.screenshot("multi-maximised-entry-chosen")
        lumo.press("離  開", w)
        lumo.window_gone(MULTI, what="the multi-record comparison to close")
        self.quit_program()


if __name__ == "__main__":
    unittest.main()
