"""Manual entry: 24 values typed with one Enter each, stored under a new
subject, and the stored values where the grid showed them."""

import unittest

from session import ANALYSIS, TYPED_VALUES, Session

SUBJECT_NUMBER = "E2E2001"
SUBJECT_NAME = "Lin Typist"


class ManualEntry(Session):
    def test_type_store_analyse(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring()
        m = self.enter_values(m, TYPED_VALUES, enter_moves_on=True)
        m = self.save_new_subject(m, SUBJECT_NUMBER, SUBJECT_NAME)

        subjects, rows = self.stored()
        self.assertEqual(subjects, [(SUBJECT_NUMBER, SUBJECT_NAME)], "the stored subjects")
        self.assertEqual(len(rows), 1, "measurements stored")
        self.assertEqual(rows[0][0], SUBJECT_NUMBER, "the measurement's subject")
        self.assert_typed(rows[0][1])

        lumo.press("能量分析", m)
        a = lumo.window(ANALYSIS, what=f"the analysis screen {ANALYSIS!r} after 能量分析")
        lumo.screenshot("analysis-of-typed-values")
        lumo.press("離  開", a)
        lumo.window_gone(ANALYSIS, what="the analysis screen to close after 離  開")
        self.back_on_measuring("leaving the analysis screen")
        self.leave_measuring()
        self.quit_program()

        subjects, rows = self.stored()
        self.assertEqual(len(rows), 1, "measurements stored, after quitting")
        self.assert_typed(rows[0][1])

    def assert_typed(self, stored):
        """ZU1..ZU24 are values 1..24 in the order typed (the grid's 左 側 row
        holds 1-6 and 13-18, 右 側 holds 7-12 and 19-24)."""
        wrong = [(f"ZU{k}", s, t) for k, (s, t) in enumerate(zip(stored, TYPED_VALUES), 1) if abs(s - t) > 0.05]
        self.assertFalse(wrong, f"stored values differ from the typed ones (column, stored, typed): {wrong}")


if __name__ == "__main__":
    unittest.main()
