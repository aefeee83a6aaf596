"""Locating an acupoint and calibrating the probe, as a practitioner does it
with the virtual probe: 數位校準 (a stop while waiting, a successful and a
failed calibration whose values are declined and one whose values are kept,
each logged), and 穴道定位 (a sweep along the skin in the
search mode, then the locating mode graded near, on and away from the point).
Each returns to the main window with its tool bar enabled."""

import re
import unittest

from lumodriver import (MAIN_TITLE, PROBE_WINDOW, SCREEN_H, SCREEN_W, Lumo, children, extents, is_checked,
                        is_enabled, is_showing, name, role, text_of, _run)

CALIBRATION = "數位自動校準系統"
LOCATING = "穴道定位"
STATUS = "系統狀態設定"
QUIT_QUESTION = "您確定要結束本系統嗎"

CONTACT_PROMPT = "請將探測棒的棉花端接觸金屬握把後，系統即開始自動校準"
PHASE_STATUS = "系統正在執行校準中，請勿將探測棒分開！"
REMOVE_STATUS = "請將探測棒移開"
IDLE_STATUS = "環境校準值為本次與前一次的校準比值。"
WRONG_CALIBRATION = "自動校準系統發現錯誤的校準方式！請重新校準一次"
LOW_CONDUCTIVITY = "檢測棒的導電度過低，您需要重新校準！"
KEEP_FAILED = "是否仍要使用本次的校準值"


class LocatingCalibration(unittest.TestCase):
    def setUp(self):
        module = type(self).__module__.replace("test_", "", 1)
        self.lumo = Lumo(f"{module}.{self._testMethodName.replace('test_', '', 1)}")
        self.addCleanup(self.lumo.close)

    # ---- the main window

    def main_window(self):
        return self.lumo.window(MAIN_TITLE, 60, role_="frame", what="the main window to show")

    def disabled_tools(self, main):
        bars = self.lumo.find_all("tool bar", within=main)
        buttons = [b for b in children(bars[0]) if role(b) == "push button" and is_showing(b)] if bars else []
        return [name(b) for b in buttons if not is_enabled(b)] if buttons else ["(no tool bar)"]

    def wait_toolbar_enabled(self, what):
        main = self.main_window()
        self.lumo.wait_until(lambda: not self.disabled_tools(main), 30, what)
        return main

    def start_to_main(self):
        lumo = self.lumo
        lumo.start()
        lumo.wait_until(lambda: not lumo.find_window(STATUS) and lumo.find_window(MAIN_TITLE) is not None
                        and not self.disabled_tools(lumo.find_window(MAIN_TITLE)), 60,
                        "the start-up status window to close and the main tool bar to be enabled")

    def quit_program(self):
        lumo = self.lumo
        main = self.wait_toolbar_enabled("the main tool bar to be enabled before quitting")
        lumo.press("離開系統", main)
        lumo.press("是", lumo.message(QUIT_QUESTION))
        self.assertEqual(lumo.wait_exit(30, "the program to end after 是"), 0)

    def open_screen(self, tool, title):
        lumo = self.lumo
        main = self.wait_toolbar_enabled(f"the main tool bar to be enabled before {tool}")
        lumo.press(tool, main)
        w = lumo.window(title, what=f"the screen {title!r} after {tool}")
        self.assert_fits(w)
        self.assert_beside_probe(w)
        return w

    def leave_screen(self, w, title):
        lumo = self.lumo
        lumo.press("離  開", w)
        lumo.window_gone(title, what=f"{title!r} to close after 離  開")
        self.wait_toolbar_enabled(f"the main tool bar to be enabled after leaving {title!r}")
        lumo.screenshot(f"main-after-{'calibration' if title == CALIBRATION else 'locating'}")

    def assert_fits(self, w):
        x, y, ww, h = extents(w)
        self.assertTrue(x >= 0 and y >= 0 and x + ww <= SCREEN_W and y + h <= SCREEN_H,
                        f"{name(w)!r} at ({x},{y}) {ww}x{h} does not fit the {SCREEN_W}x{SCREEN_H} screen")

    def assert_beside_probe(self, w):
        px, py, pw, ph = extents(self.lumo.probe_window())
        x, y, ww, h = extents(w)
        self.assertTrue(x >= px + pw, f"{name(w)!r} at x={x} lies under the virtual probe panel (up to x={px + pw})")

    # ---- reading a screen

    def shows(self, w, text):
        return any(text in t for t in self.lumo.texts(w))

    def wait_text(self, w, text, timeout=30, what=None):
        self.lumo.wait_until(lambda: self.shows(w, text), timeout,
                             what or f"{name(w)!r} to show {text!r}")

    def value_beside(self, w, caption):
        """The value label to the right of a caption on the same line."""
        f = self.lumo.field_beside(caption, w, role_="label")
        self.assertIsNotNone(f, f"no value beside {caption!r} in {name(w)!r}")
        return text_of(f).strip()

    def config_line(self, n):
        """Line n (1-based) of the configuration file."""
        for f in self.lumo.data_dir.iterdir():
            if f.name.lower() == "zudeftw.ini":
                return f.read_bytes().decode("big5", errors="replace").splitlines()[n - 1].strip()
        self.fail("no configuration file in the data directory")

    def calibration_log(self):
        with self.lumo.db() as db:
            return db.execute("SELECT CALSTD, CALHIGH, SUCCESS, APPLIED FROM CALIBLOG ORDER BY LOGKEY").fetchall()

    def log_results(self, w):
        grid = self.lumo.table_with_header(w, "結果")
        self.assertIsNotNone(grid, "no calibration log grid with the column 結果")
        return [row[5] for row in self.lumo.table_rows(grid)]

    def fail_calibration(self, w, handle, answer, label):
        """A calibration whose standard value stays below 3000: the result, then
        the question whether to use its values, answered with `answer`."""
        lumo = self.lumo
        lumo.press("開始校準", w)
        self.wait_text(w, CONTACT_PROMPT)
        self.click_again(handle, "the virtual probe's 棉花端接觸握把")
        question = lumo.message(KEEP_FAILED, 30, "the question whether to keep the failed calibration's values")
        self.assertTrue(self.shows(w, "【校準失敗】"), "the failure's result line under the question")
        lumo.screenshot(f"calibration-failure-question-{label}")
        lumo.press(answer, question)
        self.wait_text(w, REMOVE_STATUS, 10)
        lumo.screenshot(f"calibration-failure-{label}")
        self.click_again(handle, "the virtual probe's 棉花端接觸握把 (off the handle)")
        lumo.button("開始校準", w, enabled=True, what="開始校準 to be enabled after the failed calibration")
        self.wait_text(w, LOW_CONDUCTIVITY)
        self.assertTrue(self.shows(w, "【校準失敗】"), "the failure's result line after the tip came off")
        lumo.screenshot(f"calibration-failure-done-{label}")

    # ---- the virtual probe

    def click_again(self, acc, what):
        """A second click on the same place: xdotool's synchronous move waits for
        a motion that never comes when the pointer is already there, so the
        pointer first leaves (to the main window's status line, which takes no clicks)."""
        _run(["xdotool", "mousemove", "--sync", str(SCREEN_W - 20), str(SCREEN_H - 10)])
        self.lumo.click(acc, what)

    def probe(self, caption):
        self.unfold_probe()
        return self.lumo.get(None, caption, self.lumo.probe_window(), what=f"the virtual probe's {caption!r}")

    def unfold_probe(self):
        """The panel folds its calibration and locating contacts away until asked for."""
        lumo = self.lumo
        w = lumo.probe_window()
        if lumo.find(None, "棉花端接觸握把", w) is None:
            # A checkable button: AT-SPI reports it as a check box.
            lumo.click(lumo.get(None, "校準與定位", w), "the virtual probe's 校準與定位")
            lumo.get(None, "棉花端接觸握把", w, what="the probe panel's calibration contacts to unfold")

    def set_count(self, index, value):
        """Picks a count in one of the panel's two short-circuit choices (the
        panel never takes the keyboard, so counts are picked, not typed)."""
        lumo = self.lumo
        self.unfold_probe()
        boxes = lumo.find_all("combo box", within=lumo.probe_window())
        self.assertEqual(len(boxes), 2, f"the probe panel's count choices: {[name(b) for b in boxes]}")
        box = boxes[index]
        lumo.click(box, f"short-circuit count choice {index + 1}")
        item = lumo.wait_until(lambda: next((a for a in lumo.find_all("list item", str(value))
                                             if is_showing(a)), None), 10, f"the count {value} in the opened list")
        # The list is a popup of its own, partly outside the panel: clicked where it shows.
        x, y, w, h = extents(item)
        lumo.click_point(x + w // 2, y + h // 2, f"the count {value}")
        lumo.wait_until(lambda: name(box) == str(value) or text_of(box).strip() == str(value), 10,
                        f"count choice {index + 1} to read {value}")

    def skin_position(self):
        t = text_of(self.lumo.get("label", re.compile(r"位置 \d+ / 100"), self.lumo.probe_window()))
        return int(re.search(r"位置 (\d+)", t).group(1))

    def move_along_skin(self, mm, steps=8):
        """Drags the slider's handle, as a hand moves the probe, to within 1 mm."""
        lumo = self.lumo
        sliders = lumo.find_all("slider", within=lumo.probe_window())
        self.assertEqual(len(sliders), 2, "the probe panel's sliders (the value, the skin position)")
        slider = max(sliders, key=lambda s: extents(s)[1])  # the lower one, in the 穴道定位 group
        x, y, w, h = extents(slider)
        handle = 16  # about the handle's width; the reading below corrects the rest
        cy = y + h // 2
        for _ in range(6):
            now = self.skin_position()
            if abs(now - mm) <= 1:
                return
            hx = x + handle // 2 + round(now / 100 * (w - handle))
            tx = x + handle // 2 + round(mm / 100 * (w - handle))
            lumo.step(f"drag the skin slider from {now} mm towards {mm} mm")
            _run(["xdotool", "mousemove", "--sync", str(hx), str(cy), "mousedown", "1"])
            for k in range(1, steps + 1):
                _run(["xdotool", "mousemove", "--sync", str(hx + (tx - hx) * k // steps), str(cy)])
            _run(["xdotool", "mouseup", "1"])
            lumo.poll(lambda: self.skin_position() != now, 2)
        self.fail(f"the skin slider did not reach {mm} mm (it shows {self.skin_position()} mm)")

    # ---- the sessions

    def test_calibrate(self):
        lumo = self.lumo
        self.start_to_main()
        w = self.open_screen("數位校準", CALIBRATION)
        lumo.screenshot("calibration-screen")
        self.assertTrue(self.shows(w, IDLE_STATUS), "the calibration screen's status line on opening")
        previous = self.value_beside(w, "標準電位值:")
        self.assertEqual(previous, "4,000", "the previous standard value shown on opening")

        lumo.step("a calibration stopped while waiting for the tip")
        lumo.press("開始校準", w)
        self.wait_text(w, CONTACT_PROMPT)
        lumo.button("停止校準", w, enabled=True)
        self.assertFalse(is_enabled(lumo.button("離  開", w)), "離  開 is enabled during a calibration")
        lumo.screenshot("calibration-waiting")
        lumo.press("停止校準", w)
        lumo.button("開始校準", w, enabled=True, what="開始校準 to be enabled after 停止校準")
        self.assertEqual(self.calibration_log(), [], "a stopped calibration stored something")

        lumo.step("the tip lifted during the standard phase: the notice, and a new start")
        handle = self.probe("棉花端接觸握把")
        lumo.press("開始校準", w)
        self.wait_text(w, CONTACT_PROMPT)
        # The indicator climbs a tick every 280 ms: the status line and the
        # indicator are found first and then read alone, which is quick enough
        # to see each tick on a busy machine; reading the whole screen is not.
        status = lumo.find("status bar", within=w)
        indicator = lumo.field_beside("標準電位值:", lumo.find("panel", "數位校準指標", w), role_="label")
        lumo.click(handle, "the virtual probe's 棉花端接觸握把")
        lumo.wait_until(lambda: PHASE_STATUS in lumo.texts(status), 10, f"the status line to read {PHASE_STATUS!r}",
                        interval=0.05)
        lumo.wait_until(lambda: text_of(indicator).strip() == "1,500", 10,
                        "the standard indicator to climb to 1,500 (the third tick)", interval=0.05)
        self.click_again(handle, "the virtual probe's 棉花端接觸握把 (off the handle, too early)")
        notice = lumo.message(WRONG_CALIBRATION, what="the wrong-calibration notice after lifting the tip")
        lumo.screenshot("calibration-wrong-notice")
        lumo.press("確  定", notice)
        self.wait_text(w, CONTACT_PROMPT, 10, "the contact prompt again after the notice")
        lumo.screenshot("calibration-restarted")
        lumo.press("停止校準", w)
        lumo.button("開始校準", w, enabled=True, what="開始校準 to be enabled after 停止校準")
        self.assertEqual(self.calibration_log(), [], "a restarted and stopped calibration stored something")

        lumo.step("a successful calibration")
        lumo.press("開始校準", w)
        self.wait_text(w, CONTACT_PROMPT)
        self.click_again(handle, "the virtual probe's 棉花端接觸握把")
        self.wait_text(w, PHASE_STATUS, 10)
        lumo.screenshot("calibration-standard-phase")
        self.wait_text(w, "【校準成功】", 30)
        lumo.screenshot("calibration-success")
        self.wait_text(w, REMOVE_STATUS, 10)
        self.click_again(handle, "the virtual probe's 棉花端接觸握把 (off the handle)")
        lumo.button("開始校準", w, enabled=True, what="開始校準 to be enabled after the tip came off")
        self.wait_text(w, IDLE_STATUS)
        lumo.screenshot("calibration-done")
        self.assertEqual(self.calibration_log(), [(3996, 4000, 1, 1)])
        self.assertEqual((self.config_line(1), self.config_line(2)), ("3996", "4000"))

        lumo.step("a calibration with too little conductivity, its values declined")
        self.set_count(0, 2990)
        self.set_count(1, 2990)
        self.fail_calibration(w, handle, "否", "declined")
        self.assertEqual(self.calibration_log(), [(3996, 4000, 1, 1), (2987, 2990, 0, 0)])
        self.assertEqual((self.config_line(1), self.config_line(2)), ("3996", "4000"),
                         "a declined failure changed the values in use")
        self.assertEqual(self.value_beside(w, "標準電位值:"), "3,996", "the previous values after 否")
        self.assertIn("失敗，未採用", self.log_results(w), "the log grid's result of a declined failure")

        lumo.step("a calibration with too little conductivity, its values kept by choice")
        self.fail_calibration(w, handle, "是", "kept")
        self.assertEqual(self.calibration_log(), [(3996, 4000, 1, 1), (2987, 2990, 0, 0), (2987, 2990, 0, 1)])
        self.assertEqual((self.config_line(1), self.config_line(2)), ("2987", "2990"))
        self.assertEqual(self.value_beside(w, "校準日期:") != "", True)

        self.leave_screen(w, CALIBRATION)
        self.quit_program()

    def test_locate(self):
        lumo = self.lumo
        self.start_to_main()
        w = self.open_screen("穴道定位", LOCATING)
        lumo.screenshot("locating-screen")
        self.assertTrue(self.shows(w, "無"), "the state on opening")
        self.assertTrue(self.shows(w, "標準電位定位"), "the potential text on opening")
        self.assertFalse(is_enabled(lumo.get("radio button", "開始穴道定位", w)),
                         "the locating mode is available before any highest value")

        lumo.step("search mode: a sweep along the skin over the point")
        lumo.press("開始定位", w)
        lumo.button("停止定位", w, enabled=True)
        self.wait_text(w, "記憶最高數據模式")
        lumo.click(self.probe("沿皮膚移動"), "the virtual probe's 沿皮膚移動")
        self.move_along_skin(35)
        self.move_along_skin(62)
        lumo.screenshot("locating-search-on-the-point")
        self.move_along_skin(90)
        highest = float(self.value_beside(w, "最高數據:"))
        self.assertGreater(highest, 55.0, "the highest value after sweeping over the point")
        lumo.screenshot("locating-search-beyond")

        lumo.step("locating mode: away from, near and on the point")
        lumo.click(lumo.get("radio button", "開始穴道定位", w), "開始穴道定位")
        lumo.wait_until(lambda: is_checked(lumo.get("radio button", "開始穴道定位", w)), 10, "the locating mode")
        for mm, state in ((40, "不在穴道位置"), (56, "接近穴道位置"), (62, "正確穴道位置")):
            self.move_along_skin(mm)
            self.wait_text(w, state, 10, f"the state {state!r} at {mm} mm")
            lumo.screenshot(f"locating-{mm}mm")
        lumo.press("停止定位", w)
        lumo.button("開始定位", w, enabled=True, what="開始定位 to be enabled after 停止定位")
        self.wait_text(w, "無")
        self.click_again(self.probe("沿皮膚移動"), "the virtual probe's 沿皮膚移動 (off the skin)")
        lumo.press("清除數據", w)
        lumo.wait_until(lambda: self.value_beside(w, "最高數據:") == "0.0", 10, "the highest value to be cleared")
        lumo.screenshot("locating-cleared")
        self.leave_screen(w, LOCATING)
        self.assertEqual(float(self.config_line(15)), 0.0, "LocateHighest saved on closing")
        self.quit_program()


if __name__ == "__main__":
    unittest.main()
