"""Keyboard only, a run started again over values the grid holds: F5 over
unsaved typed values asks, keeps them and measures only the missing points,
marks the kept cells; the keys and the status after the run; and first the
list of keys under 系統支援.  No mouse event
reaches the program's windows (KeyboardSession fails the session on one);
the virtual probe is the only thing clicked."""

import unittest

from lumodriver import description, is_checked, is_enabled, name, role, shows_value
from session import ANALYSIS, MANUAL, MEASURING, TYPED_VALUES
from test_keyboard import KeyboardSession


class Restart(KeyboardSession):
    def test_restart_never_splices(self):
        """快速鍵一覽 lists the keys of every screen's actions. F5 over unsaved
        typed values asks; Enter keeps them and measures only the four missing
        points, the kept cells marked as earlier values; the run's end gives
        the keys to 能量分析, the status follows at once; stored, F5 and Y
        start empty, and F6 after three points leaves those three alone in the
        grid with the keys on 儲存資料."""
        lumo = self.lumo
        self.start_to_main()
        lumo.support_menu_item("快速鍵一覽")
        keys = self.question("各畫面共用的快速鍵", "the list of keys")
        lumo.screenshot("keys-list")
        listed = " ".join(lumo.texts(keys))
        for key in ("F12", "R：重新測量", "Ctrl+E", "Ctrl+M", "Ctrl+L", "Ctrl+Q", "F2：客戶修改", "Shift+Del：客戶刪除"):
            self.assertIn(key, listed, "快速鍵一覽 lacks a key")
        lumo.key("Return")
        lumo.window_gone(name(keys), what="the list to close on Enter")
        m = self.open_measuring_by_keys()
        lumo.key("F9")
        e = self.active_window(MANUAL, "the manual entry after F9")
        for v in TYPED_VALUES[:20]:  # 左 側 whole, 右 側 columns 1-8: points 21-24 stay empty
            lumo.type_text(f"{v:g}")
            lumo.key("Return")
        lumo.wait_until(lambda: sum(1 for t in lumo.grid_values(e) if t.strip()) == 20, 10, "the 20 typed values")
        lumo.key("ctrl+s")
        lumo.window_gone(MANUAL, what="the manual entry to close after Ctrl+S")
        m = self.back("Ctrl+S in the manual entry")
        lumo.wait_until(lambda: "缺少 4 個測量點" in self.status_text(m), 10, "the status to name the 4 missing points")

        lumo.step("F5 over the unsaved values: Enter keeps them")
        lumo.key("F5")
        q = self.question("表格中有 20 個尚未儲存的測量值", "the question before a run over unsaved values")
        lumo.screenshot("restart-question")
        lumo.key("Return")
        lumo.window_gone(name(q), what="the question to close after Enter")
        lumo.button("停止測量", m, enabled=True, what="the run to start on the missing points")
        kept = [lumo.grid_position(k) for k in range(1, 21)]  # points 21-24 are the missing ones
        grid = lumo.grid(m)
        lumo.wait_until(lambda: all(description(lumo.cell(grid, r, c)).startswith("先前的數值") for r, c in kept), 10,
                        "the 20 kept cells to be marked as earlier values")
        values = self.run_probe(m, lambda v: all(v))
        lumo.screenshot("restart-kept-done")
        at = {lumo.grid_position(k): k for k in range(1, 25)}  # typed along 左 側, then 右 側
        typed = {at[divmod(n, 12)]: v for n, v in enumerate(TYPED_VALUES[:20])}
        changed = {k: (values[k - 1], v) for k, v in typed.items() if not shows_value(values[k - 1], v)}
        self.assertFalse(changed, "the kept values changed (point: shown, typed)")
        self.wait_focus(m, lambda f: role(f) == "push button" and name(f) == "能量分析",
                        "能量分析 to have the keys after the run")
        lumo.wait_until(lambda: "本筆量測由 2 次測量組成" in self.status_text(m) and "缺少" not in self.status_text(m),
                        10, "the status to say the measurement is of two runs, with nothing missing")
        lumo.key("F7")
        a = self.active_window(ANALYSIS, "the analysis after F7")
        lumo.wait_until(lambda: any("先前的數值 20 點" in t for t in lumo.texts(a)), 10,
                        "the analysis to name the 20 earlier values")
        lumo.key("Escape")
        lumo.window_gone(ANALYSIS, what="the analysis to close on Esc")
        m = self.store_new_subject(self.back("leaving the analysis"), "E2E4401", "Kept Runs")
        with lumo.db() as db:
            blob = db.execute("SELECT QUALITY FROM ZUQUAL").fetchone()[0]
        self.assertEqual(blob[0], 4, "the stored grades do not say which points came from the earlier values")

        lumo.step("stored: F5, Y starts empty; F6 after three points")
        self.measure_by_keys_start(m)
        values = self.run_probe(m, lambda v: sum(1 for t in v if t.strip()) >= 3, stop=True)
        filled = [k for k, t in enumerate(values, 1) if t.strip()]
        self.assertLessEqual(len(filled), 4, f"the stopped run's grid holds earlier values: {values}")
        self.assertTrue(all(not description(lumo.cell(grid, *lumo.grid_position(k))).startswith("先前")
                            for k in filled), "a cell of the new run is marked as earlier")
        self.wait_focus(m, lambda f: role(f) == "push button" and name(f) == "儲存資料",
                        "儲存資料 to have the keys after F6 (能量分析 needs 24 points)")
        lumo.wait_until(lambda: "缺少" in self.status_text(m), 10, "the status to count the missing points at once")
        lumo.screenshot("restart-stopped")
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")
        self.quit_by_keys()

    def measure_by_keys_start(self, m):
        """F5 on a stored measurement, Y: the grid is emptied before the run."""
        lumo = self.lumo
        lumo.key("F5")
        q = self.question("您要先清除表格中的資料再開始檢測嗎", "the question whether to clear the stored measurement")
        lumo.key("y")
        lumo.window_gone(name(q), what="the question to close after Y")
        lumo.button("停止測量", m, enabled=True, what="the run to start after Y")
        lumo.wait_until(lambda: not any(lumo.grid_values(m)), 10, "the grid to be empty")

    def run_probe(self, m, enough, stop=False):
        """The virtual probe in automatic mode until `enough(values)`; F6 then
        when `stop`; waits for the run's end and for the probe to rest."""
        lumo = self.lumo
        auto = lumo.probe_button(("自動測量", "automatic"))
        resting = name(auto)
        lumo.click(auto, "the virtual probe's automatic mode")
        lumo.wait_until(lambda: enough(lumo.grid_values(m)), 120, "the run to measure the points")
        if stop:
            lumo.key("F6")
        lumo.wait_until(lambda: not is_enabled(lumo.find("push button", "停止測量", m)), 60, "the run to end")
        if not (name(auto) == resting and not is_checked(auto)):
            lumo.click(auto, "the virtual probe's automatic mode, off")
        lumo.wait_until(lambda: name(auto) == resting and not is_checked(auto), 10, "the virtual probe to rest")
        return lumo.grid_values(m)


if __name__ == "__main__":
    unittest.main()
