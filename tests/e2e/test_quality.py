"""Readings a practitioner can trust: a run whose third point the hand holds
unsteadily, the point marked C at once, measured again with the R key after
the run and kept, the grade line on the analysis screen, and the grades and
the repeat stored with the measurement."""

import json
import unittest

from lumodriver import PROBE_AUTO, PROBE_LIFT, PROBE_TOUCH, is_enabled, name
from session import ANALYSIS, MEASURING, Session

SUBJECT_NUMBER = "Q2701"
SUBJECT_NAME = "Quality Tester"
NOISY_POINT = 3
REPEAT_QUESTION = "重新測量"


def hand_script(path):
    points = [{"value": 40 + p % 7, "noise_pct": 0.5} for p in range(1, 25)]
    points[NOISY_POINT - 1] = {"value": 45, "noise_pct": 15}
    path.write_text(json.dumps({"points": points}))


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
        lumo.key("Return")  # 是: keep the new reading
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
        lumo.screenshot("analysis-quality-line")
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
