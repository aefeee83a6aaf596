"""The instrument pulled out during a measuring run, as it happens at a
practice: the measuring screen says the instrument is missing and how to stop;
plugged in again, the run waits for the probe as before and stores points;
pulled out again, nothing more is stored and 停止測量 ends the run."""

import unittest

from lumodriver import PROBE_AUTO, PROBE_STOP_AUTO, PROBE_UNPLUG, is_enabled
from session import Session

MISSING = "找不到測量儀器！請檢查USB連線，重新插上後即可繼續測量；或按【停止測量】結束測量。"
CONTACT = "請至指定的代表測定點開始測量,或以滑鼠點選測量位置"
PROBE_PLUG = ("插上", "plug")


class Unplug(Session):
    def shows(self, w, text):
        return any(text in t for t in self.lumo.texts(w))

    def filled(self, m):
        return sum(1 for v in self.lumo.grid_values(m) if v)

    def wait_text(self, w, text, timeout, what):
        self.lumo.wait_until(lambda: self.shows(w, text), timeout, what)

    def test_unplugged_during_a_run(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring()

        lumo.step("a run started, then the instrument pulled out while it waits for the probe")
        lumo.press("經絡測量", m)
        lumo.button("停止測量", m, enabled=True, what="停止測量 to be enabled once the run started")
        self.wait_text(m, CONTACT, 10, "the run's prompt to touch the point")
        lumo.click(lumo.probe_button(PROBE_UNPLUG), "the virtual probe's 拔除")
        self.wait_text(m, MISSING, 10, "the status line to say that the instrument is missing")
        self.assertTrue(is_enabled(lumo.button("停止測量", m)), "停止測量 is not offered while the instrument is missing")
        lumo.screenshot("instrument-missing")

        lumo.step("plugged in again: the prompt again, and the probe's hand stores points")
        lumo.click(lumo.probe_button(PROBE_PLUG), "the virtual probe's 插上")
        self.wait_text(m, CONTACT, 10, "the prompt to touch the point after plugging in")
        self.assertFalse(self.shows(m, MISSING), "the missing-instrument text stayed after plugging in")
        lumo.click(lumo.probe_button(PROBE_AUTO), "the virtual probe's 自動測量")
        lumo.wait_until(lambda: lumo.grid_values(m)[0], 30, "the first point to be stored after plugging in")
        lumo.screenshot("stored-after-plugging-in")

        lumo.step("pulled out again: the run waits, and 停止測量 ends it")
        lumo.click(lumo.probe_button(PROBE_UNPLUG), "the virtual probe's 拔除")
        self.wait_text(m, MISSING, 10, "the missing-instrument text again")
        stored = self.filled(m)
        lumo.press("停止測量", m)
        lumo.button("經絡測量", m, enabled=True, what="經絡測量 to be enabled after 停止測量")
        lumo.click(lumo.probe_button(PROBE_STOP_AUTO), "the virtual probe's 停止自動測量")
        self.assertFalse(self.shows(m, MISSING), "the missing-instrument text stayed after the run ended")
        self.assertEqual(self.filled(m), stored, "a point was stored while the instrument was missing")
        self.assertLess(stored, 24)
        lumo.screenshot("stopped-while-missing")
        lumo.click(lumo.probe_button(PROBE_PLUG), "the virtual probe's 插上")
        self.leave_measuring()
        self.quit_program()


if __name__ == "__main__":
    unittest.main()
