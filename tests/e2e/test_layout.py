"""Layouts that hold still on the 1366x768 screen, worked with the keys once
the screen is open: the export page's check boxes ticked with Space stay
where they are while their lists appear under them; the analysis screen's
pages, walked with Ctrl+Tab, neither grow the window nor move 離  開; a
trend's visit chosen with the arrow keys."""

import unittest

import test_comparison as practice
from lumodriver import extents, is_checked, is_focused, name
from session import ANALYSIS, BROWSER
from test_comparison import TREND

TRANSFER = "檔案匯入/匯出作業"


class Layout(practice.Comparison):
    # Only the practice and the helpers of the comparison sessions are borrowed.
    test_measurement_compared_with_a_stored_one = None
    test_six_measurements_picked_compared_and_printed = None
    test_trend_shown_picked_and_printed = None

    def tab_to(self, control, what, back=False, limit=12):
        """Tab (or Shift+Tab) until `control` has the focus, as a keyboard user does."""
        lumo = self.lumo
        for _ in range(limit):
            if is_focused(control):
                return
            lumo.key("shift+Tab" if back else "Tab")
            lumo.poll(lambda: is_focused(control), 1)
        self.assertTrue(is_focused(control), f"{what} never took the focus after {limit} Tabs")

    def test_export_boxes_stay_put(self):
        lumo = self.lumo
        self.start_to_main()
        main = self.wait_toolbar_enabled()
        lumo.press("檔案處理", main)
        w = lumo.window(TRANSFER, what=f"{TRANSFER!r} after 檔案處理")
        boxes = [lumo.get("check box", caption, w) for caption in ("專家療程資料", "病歷檢測資料", "研究用 CSV 檔案")]
        where = [extents(b) for b in boxes]
        lists = len(lumo.find_all("table", within=w))
        # The boxes lie one after the other in the Tab chain: forward to the
        # second, back to the first, and so on.
        for box, on, back in ((boxes[1], True, False), (boxes[0], True, True), (boxes[1], False, False),
                              (boxes[0], False, True)):
            self.tab_to(box, name(box), back)
            lumo.key("space")
            lumo.wait_until(lambda box=box, on=on: is_checked(box) == on, 10, f"{name(box)} to turn {on} with Space")
            shown = len(lumo.find_all("table", within=w))
            self.assertEqual([extents(b) for b in boxes], where, f"a box moved after {name(box)} turned {on}")
            if on:
                self.assertGreater(shown, lists, f"no list appeared under the boxes after ticking {name(box)}")
                lumo.screenshot(f"export-{len(lumo.find_all('table', within=w))}-lists")
            lists = shown
        self.assert_laid_out(w, "with the lists")
        self.close_screen(w)
        self.quit_program()

    def test_analysis_pages_and_a_trend_visit_by_keys(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring()
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what="the record browser after 讀取資料")
        self.assert_laid_out(b, "when opened")
        lumo.click(self.cell(b, "E2E3003"), "subject E2E3003 in the browser")
        lumo.press("歷次趨勢", b)
        t = lumo.window(TREND, what="the trend after 歷次趨勢")
        chart = lumo.get(None, "歷次能量趨勢圖", t)
        table = lumo.table_with_header(t, "身體能量")
        self.assert_laid_out(t, "when opened")
        before = lumo.grab(chart)
        lumo.wait_until(lambda: is_focused(chart), 10, "the chart to have the focus as the trend opens")
        lumo.key("Tab")
        lumo.wait_until(lambda: is_focused(table), 10, "the trend table to take the focus after Tab")
        lumo.key("Down")
        lumo.button("載入比對", t, enabled=True, what="載入比對 to be enabled once a visit is chosen with Down")
        lumo.wait_until(lambda: lumo.grab(chart) != before, 10, "the chart to mark the visit chosen")
        lumo.screenshot("trend-visit-chosen-by-keys")
        lumo.press("離  開", t)
        b = lumo.window(BROWSER, what="the browser after the trend")
        lumo.click(self.row_cell(b, "測量日期", 0, 3), "the first measurement of E2E3003")
        lumo.press("載入資料", b)
        lumo.window_gone(BROWSER, what="the browser to close after 載入資料")
        m = self.back_on_measuring("loading E2E3003's first measurement")

        lumo.press("能量分析", m)
        a = lumo.window(ANALYSIS, what="the analysis screen after 能量分析")
        self.assert_fits(a, "when opened")
        leave = lumo.button("離  開", a)
        opened, leave_at = extents(a), extents(leave)
        tabs = lumo.get("page tab list", None, a)
        for i, page in enumerate(("分析圖表", "表裡對應", "經絡分析", "醫方資料", "養生建議", "專家療程"), 1):
            lumo.key("ctrl+Tab")
            lumo.wait_until(lambda page=page: name(tabs) == page, 10, f"the page {page} to show after Ctrl+Tab")
            self.assertEqual(extents(a), opened, f"the analysis window changed when {page} showed")
            self.assertEqual(extents(leave), leave_at, f"離  開 moved when {page} showed")
            self.assert_laid_out(a, f"on {page}")
            lumo.screenshot(f"analysis-page-{i}")
        lumo.press("離  開", a)
        lumo.window_gone(ANALYSIS, what="the analysis screen to close")
        self.leave_measuring()
        self.quit_program()


if __name__ == "__main__":
    unittest.main()
