"""Readings a practitioner can trust: a run whose third point the hand holds
unsteadily, the point marked C at once, measured again with the R key after
the run and kept, the grade line on the analysis screen, and the grades and
the repeat stored with the measurement."""

import json
import sqlite3
import subprocess
import unittest

from lumodriver import PROBE_AUTO, PROBE_LIFT, PROBE_TOUCH, binary, description, is_enabled, name
from session import ANALYSIS, BROWSER, MEASURING, Session

SUBJECT_NUMBER = "Q2701"
SUBJECT_NAME = "Quality Tester"
NOISY_POINT = 3
REPEAT_QUESTION = "重新測量"


def hand_script(path):
    points = [{"value": 40 + p % 7, "noise_pct": 0.5} for p in range(1, 25)]
    points[NOISY_POINT - 1] = {"value": 45, "noise_pct": 15}
    path.write_text(json.dumps({"points": points}))


PRACTICE_SUBJECT = "Q2702"


def seed_practice(lumo):
    """A subject measured twice with the command line's scripted hand (one
    point unsteady each time), the first at 09:00 after hard exercise, the
    second at 15:00 at rest: a pair whose differences the times and the
    conditions may explain."""
    cli = binary().with_name("lumo-cli")
    data = str(lumo.data_dir)
    subprocess.run([str(cli), "--data-dir", data, "init"], check=True, capture_output=True, timeout=60)
    with sqlite3.connect(str(lumo.data_dir / "lumo4.mdb")) as db:
        db.execute("INSERT INTO ZUCUST (CUSTNO, NAME, SEX) VALUES (?, 'Pair Tester', 1)", (PRACTICE_SUBJECT,))
    script = lumo.tmp / "practice.json"
    hand_script(script)
    first = None
    for _ in range(2):
        repeat = ["--repeat-of", str(first)] if first else []
        run = subprocess.run([str(cli), "--data-dir", data, "--simulate", "--probe-script", str(script), "measure",
                              "--store", PRACTICE_SUBJECT] + repeat, check=True, capture_output=True, timeout=120)
        first = first or json.loads(run.stdout)["MKEY"]
    with sqlite3.connect(str(lumo.data_dir / "lumo4.mdb")) as db:
        keys = [k for (k,) in db.execute("SELECT MKEY FROM ZUDATA ORDER BY MKEY")]
        for key, hour, exercise in zip(keys, (9, 15), (3, 1)):
            db.execute("UPDATE ZUDATA SET ZUDATE = 46300 + ? / 24.0 WHERE MKEY = ?", (hour, key))
            if not db.execute("UPDATE ZUCOND SET EXERCISE = ? WHERE DATAKEY = ?", (exercise, key)).rowcount:
                db.execute("INSERT INTO ZUCOND (DATAKEY, EXERCISE) VALUES (?, ?)", (key, exercise))
        # An older pair of another subject minutes apart that nothing marked as a repeat: counted, not used.
        for minutes in (0, 10):
            db.execute("INSERT INTO ZUDATA (CUSTNO, ZUDATE, ZUVOTA, " + ", ".join(f"ZU{p}" for p in range(1, 25))
                       + ") SELECT 'Q2703', 46200 + ? / 1440.0, ZUVOTA, " + ", ".join(f"ZU{p}" for p in range(1, 25))
                       + " FROM ZUDATA WHERE MKEY = ?", (minutes, keys[0]))


class Quality(Session):
    def test_noisy_point_measured_again_by_key(self):
        lumo = self.lumo
        script = lumo.tmp / "hand.json"
        hand_script(script)
        lumo.args = ["--probe-script", str(script)]
        self.start_to_main()
        m = self.open_measuring()

        lumo.step("a run with an unsteady hand at point 3")
        texts = self.measure_graded(m)
        cell = texts[NOISY_POINT - 1]
        self.assertTrue(cell.strip().endswith("C"), f"point {NOISY_POINT} is not marked C after the run: {cell!r}")
        others = [k for k, t in enumerate(texts, 1) if k != NOISY_POINT and t.strip().endswith("C")]
        self.assertFalse(others, f"steady points marked C: {others}")
        lumo.screenshot("run-with-poor-point")

        lumo.step("R measures the poor point again")
        lumo.key("r")
        lumo.wait_until(lambda: self.status_contains(m, "請至指定的代表測定點"), 20,
                        "the screen to wait for the probe on the point measured again after R")
        lumo.screenshot("remeasure-waiting")
        lumo.click(lumo.probe_button(PROBE_TOUCH), "the virtual probe's 接觸 (on the point again)")
        # Read, then held on: after 3 s the program asks which reading to keep, lifted or not.
        q = lumo.message(REPEAT_QUESTION, 30, "the question which reading to keep")
        lumo.screenshot("repeat-question")
        self.assertTrue(any("C" in t and "波動" in t for t in lumo.texts(q)),
                        f"the question does not name the first reading's grade: {lumo.texts(q)}")
        lumo.key("y")  # 是: keep the new reading (否 is the default: the first reading stays unless chosen)
        lumo.click(lumo.probe_button(PROBE_LIFT), "the virtual probe's 抬起")
        lumo.wait_until(lambda: not lumo.grid_values(m)[NOISY_POINT - 1].strip().endswith("C"), 20,
                        f"point {NOISY_POINT} to lose its C mark once the new reading is kept")
        lumo.screenshot("after-repeat")

        lumo.step("the grade in the analysis")
        lumo.press("能量分析", m)
        a = lumo.window(ANALYSIS, what="the analysis screen after 能量分析")
        line = lumo.wait_until(lambda: next((t for t in lumo.texts(a) if t.startswith("測量品質：")), None), 20,
                               "the line 測量品質：... on 體能狀況")
        self.assertIn("C 0", line, f"the analysis still counts a poor point: {line!r}")
        self.assertIn("數值標準誤", line, f"the quality line without the values' uncertainty: {line!r}")
        lumo.screenshot("analysis-quality-line")

        lumo.step("each value's uncertainty beside its grade")
        grid = lumo.grid(a)
        cell = lumo.cell(grid, *lumo.grid_position(1))
        lumo.hover(cell)
        tip = lumo.wait_until(lambda: next((t for w in lumo.find_all("tool tip", showing=False)
                                            for t in [name(w) or description(w)] if "標準誤" in t), None), 10,
                              "the tool tip of point 1 with its grade and uncertainty")
        for expected in ("測量品質 A", "不表示數值是否正確", "±"):
            self.assertIn(expected, tip, f"the grid's tool tip of point 1: {tip!r}")
        lumo.screenshot("grade-tooltip")

        lumo.press("離  開", a)
        lumo.window_gone(ANALYSIS, what="the analysis screen to close")
        m = self.back_on_measuring("the analysis")

        m = self.save_new_subject(m, SUBJECT_NUMBER, SUBJECT_NAME)
        with lumo.db() as db:
            grades, blob = db.execute("SELECT GRADES, QUALITY FROM ZUQUAL").fetchone()
        self.assertEqual(len(grades), 24, f"stored grades: {grades!r}")
        self.assertNotIn("C", grades, f"stored grades: {grades!r}")
        self.assertLessEqual(len(blob), 2048, "the stored quality of one measurement")
        self.leave_measuring()
        self.quit_program()

    def test_comparison_band_trend_and_noise_page(self):
        lumo = self.lumo
        seed_practice(lumo)
        self.start_to_main()

        lumo.step("系統支援 → 量測誤差")
        main = self.wait_toolbar_enabled()
        lumo.click(lumo.get("menu item", "系統支援", main), "the menu 系統支援")
        lumo.click(lumo.get("menu item", "量測誤差"), "the menu item 量測誤差")
        page = lumo.window("量測誤差", what="the page 量測誤差")
        self.assert_fits(page, "when opened")
        for expected in ("同次 1 對", "另有 1 對舊的量測", "不表示數值是否正確"):
            lumo.wait_until(lambda e=expected: any(e in t for t in lumo.texts(page)), 10,
                            f"the page to say {expected!r} (one keyed pair, one older unkeyed pair)")
        table = lumo.wait_until(lambda: lumo.table_with_header(page, "同次 MDC95 (%)"), 10, "the table of figures")
        rows = lumo.table_rows(table)
        self.assertEqual(len(rows), 18, "twelve meridians, the whole body and five indices")
        self.assertTrue(all("–" in row[2] for row in rows), f"each MDC with its 95 % interval: {rows[:2]}")
        lumo.screenshot("noise-page")
        lumo.press("離  開", page)
        lumo.window_gone("量測誤差", what="the page to close")

        lumo.step("the two measurements compared")
        m = self.open_measuring()
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what="the record browser")
        lumo.click(self.subject_cell(b, PRACTICE_SUBJECT), f"subject {PRACTICE_SUBJECT}")
        measurements = lumo.wait_until(lambda: lumo.table_with_header(b, "測量日期"), 10, "the measurement list")
        lumo.click(lumo.cell(measurements, 0, 4), "the first measurement")  # right of the probe panel
        lumo.press("載入資料", b)
        lumo.window_gone(BROWSER, what="the browser to close")
        m = self.back_on_measuring("loading the first measurement")
        lumo.press("能量比對", m)
        c = lumo.window("能量比對", what="the two-record comparison")
        lumo.press("載入資料", c)
        b = lumo.window(BROWSER, what="the browser over the comparison")
        lumo.click(self.subject_cell(b, PRACTICE_SUBJECT), f"subject {PRACTICE_SUBJECT}")
        measurements = lumo.wait_until(lambda: lumo.table_with_header(b, "測量日期"), 10, "the measurement list")
        lumo.click(lumo.cell(measurements, 1, 4), "the second measurement")
        lumo.press("載入資料", b)
        lumo.window_gone(BROWSER, what="the browser to close")
        c = lumo.window("能量比對", what="the comparison to show again")
        notes = lumo.wait_until(lambda: " ".join(t for t in lumo.texts(c) if "量測" in t) or None, 10,
                                "the notes beside the chart")
        for expected in ("兩次量測時段相差 6 小時", "運動（激烈／無）", "本次量測有 1 點品質不佳", "變化在量測誤差內",
                         "預期約 1 點因偶然而超出", "未判定（品質 C", "本診所同次重複量測 1 對"):
            self.assertIn(expected, notes, "the comparison's notes")
        lumo.screenshot("comparison-notes-and-band")
        lumo.press("離  開", c)
        lumo.window_gone("能量比對", what="the comparison to close")

        lumo.step("the trend")
        m = self.back_on_measuring("the comparison")
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what="the record browser")
        lumo.click(self.subject_cell(b, PRACTICE_SUBJECT), f"subject {PRACTICE_SUBJECT}")
        lumo.press("歷次趨勢", b)
        t = lumo.window("歷次能量趨勢", what="the trend")
        for expected in ("品質不佳：第 1 次 1 點、第 2 次 1 點", "第 2 次與第 1 次時段相差 3 小時以上",
                         "第 2 次與第 1 次量測條件不同"):
            lumo.wait_until(lambda e=expected: any(e in x for x in lumo.texts(t)), 10,
                            f"the trend's note {expected!r}")
        lumo.screenshot("trend-notes-and-band")
        lumo.press("離  開", t)
        lumo.window_gone("歷次能量趨勢", what="the trend to close")
        b = lumo.window(BROWSER, what="the browser after the trend")
        lumo.press("離  開", b)
        lumo.window_gone(BROWSER, what="the browser to close")
        self.leave_measuring()
        self.quit_program()

    def status_contains(self, window, text):
        return any(text in t for t in self.lumo.texts(window))

    def measure_graded(self, m):
        """A run with the scripted automatic hand; returns the grid's texts."""
        lumo = self.lumo
        lumo.press("經絡測量", m)
        lumo.button("停止測量", m, enabled=True, what="停止測量 to be enabled once the run started")
        auto = lumo.probe_button(PROBE_AUTO)
        lumo.click(auto, "the virtual probe's 自動測量 button")

        def done():
            values = lumo.grid_values(m)
            stop = lumo.find("push button", "停止測量", m)
            return all(values) and stop is not None and not is_enabled(stop)
        lumo.wait_until(done, 240, "all 24 cells to hold values and the run to end")
        lumo.wait_until(lambda: name(auto) == "自動測量", 10, "the virtual probe to leave automatic mode after point 24")
        return lumo.grid_values(m)


if __name__ == "__main__":
    unittest.main()
