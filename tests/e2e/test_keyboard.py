"""Keyboard only: no mouse event reaches the program's windows (a click there
fails the session); the virtual probe panel, which stands for the hand on the
instrument, is the only thing clicked.  Every key goes through the X server
to whatever has the focus, as a person's would.

- Enter never deletes: the questions before deleting a subject and a
  measurement answer 否 to Enter, and show their text as text.
- Esc never throws typed work away: manual entry and the new-subject form ask.
- The birth date is typed from the field's start, an impossible one is refused,
  and Enter goes on to 地址.
- A practice day: measure, store under a new and under the same subject,
  analyse, print to a PDF, compare, see the trend, change the subject, quit."""

import sqlite3
import subprocess
import unittest
from datetime import date

import pyatspi

from lumodriver import PROBE_WINDOW, binary, describe, is_checked, is_enabled, is_focused, name, role, states, toplevel, walk
from session import ANALYSIS, BROWSER, MANUAL, MEASURING, QUIT_QUESTION, SAVE, STORE_QUESTION, SUBJECT_NEW, \
    TYPED_VALUES, Session

EDITOR_CHANGE = "受測者資料修改"
COMPARE = "能量比對"
TREND = "歷次能量趨勢"
DISCARD = "輸入的資料尚未儲存"
BIRTH_REFUSED = "不是正確的日期"
DAY_1980_01_01 = 29221  # day number of 1980-01-01 (day 0 is 1899-12-30)

SEEDED = ("E2E4001", "Wang Keys")


def seed(data_dir):
    """A practice with one subject and two measurements, as lumo-cli prepares the directory."""
    cli = binary().with_name("lumo-cli")
    subprocess.run([str(cli), "--data-dir", str(data_dir), "init"], check=True, capture_output=True, timeout=60)
    db = sqlite3.connect(str(data_dir / "lumo4.mdb"))
    db.execute("INSERT INTO ZUCUST (CUSTNO, NAME, SEX) VALUES (?, ?, 1)", SEEDED)
    cols = ", ".join(f"ZU{p}" for p in range(1, 25))
    for i in range(2):
        values = [30.0 + p + i for p in range(24)]
        db.execute(f"INSERT INTO ZUDATA (CUSTNO, ZUDATE, ZUVOTA, {cols}) VALUES (?, ?, 0, {', '.join('?' * 24)})",
                   [SEEDED[0], 46000.4 + i] + values)
    db.commit()
    db.close()


class KeyboardSession(Session):
    """The keyboard-only rule and the steps by keys; the sessions are below and in test_keyboard_find.py."""
    def setUp(self):
        super().setUp()
        lumo = self.lumo
        # Reports are proposed in the home folder the first time: this run's own.
        self.home = lumo.tmp / "home"
        self.home.mkdir()
        lumo.env["HOME"] = str(self.home)
        allowed = lumo.click

        def keyboard_only(acc, what=None, timeout=30, button=1, double=False):
            top = name(toplevel(acc))
            if top not in PROBE_WINDOW:
                self.fail(f"a mouse click on {what or describe(acc)} in {top!r}: this session uses the keyboard only")
            return allowed(acc, what, timeout, button, double)
        lumo.click = keyboard_only

    # ---- the keyboard

    def active_window(self, title, what):
        """A window of the program once it is the active one: keys go to the
        active window, and one sent before the window manager activated the
        new screen would go to the screen below it, which waits."""
        lumo = self.lumo
        w = lumo.window(title, what=what)
        lumo.wait_until(lambda: states(w).contains(pyatspi.STATE_ACTIVE), 10, f"{title!r} to become the active window")
        return w

    def back(self, after):
        """The measuring screen shows again and has the keys."""
        m = self.back_on_measuring(after)
        self.lumo.wait_until(lambda: states(m).contains(pyatspi.STATE_ACTIVE), 10,
                             f"the measuring screen to be the active window after {after}")
        return m

    def focused(self, window):
        for _, a in walk(window):
            if is_focused(a) and role(a) not in ("dialog", "frame", "filler", "panel"):
                return a
        return None

    def wait_focus(self, window, predicate, what, timeout=10):
        return self.lumo.wait_until(lambda: (lambda f: f if f is not None and predicate(f) else None)(
            self.focused(window)), timeout, what)

    def tab_to(self, window, role_, name_, back=False, most=60):
        """Tab (or Shift+Tab) until the control shows the focus."""
        lumo = self.lumo
        for _ in range(most):
            f = self.focused(window)
            if f is not None and role(f) == role_ and name(f).strip() == name_.strip():
                return f
            before = describe(f) if f is not None else None
            lumo.key("shift+Tab" if back else "Tab")
            lumo.poll(lambda: (lambda g: g is not None and describe(g) != before)(self.focused(window)), 3)
        lumo.fail(f"{role_} {name_!r} never took the focus after {most} presses of {'Shift+Tab' if back else 'Tab'}")

    def field_focused(self, window, caption):
        """The focus is in the field beside `caption` (a form's label)."""
        lumo = self.lumo
        field = lumo.field_beside(caption, window)
        self.assertIsNotNone(field, f"no field beside {caption!r}")
        lumo.wait_until(lambda: is_focused(field), 10, f"the field beside {caption!r} to have the focus")
        return field

    def status_text(self, window):
        return " ".join(self.lumo.texts(self.lumo.find("status bar", None, window)))

    def question(self, text, what):
        """A question or notice showing `text` as text: a label, never an edit box."""
        lumo = self.lumo
        q = lumo.message(text, 30, what)
        labels = [a for a in lumo.find_all("label", within=q) if text in lumo.label_text(a)]
        self.assertTrue(labels, f"the text {text!r} is not shown as a label")
        self.assertFalse(lumo.find_all("text", within=q), "the message shows an edit box")
        return q

    # ---- steps

    def open_measuring_by_keys(self):
        lumo = self.lumo
        self.wait_toolbar_enabled()
        lumo.key("F5")
        m = self.active_window(MEASURING, "the measuring screen after F5 in the main window")
        first = self.wait_focus(m, lambda f: role(f) == "push button", "a tool button to have the focus")
        self.assertEqual(name(first), "經絡測量", "the measuring screen opens on 經絡測量, not on a potential button")
        lumo.screenshot("measuring-by-keys")
        return m

    def measure_by_keys(self, m, stored=False):
        lumo = self.lumo
        lumo.key("F5")
        if stored:
            q = self.question("您要先清除表格中的資料再開始檢測嗎", "the question whether to clear the stored measurement")
            lumo.key("y")
            lumo.window_gone(name(q), what="the question to close after Y")
        lumo.button("停止測量", m, enabled=True, what="the run to start after F5")
        auto = lumo.probe_button(("自動測量", "automatic"))
        resting = name(auto)
        lumo.click(auto, "the virtual probe's automatic mode")
        lumo.wait_until(lambda: all(lumo.grid_values(m)) and is_enabled(lumo.find("push button", "儲存資料", m)), 240,
                        "the run to measure all 24 points")
        # Back to rest when the probe does not stop by itself after the last point.
        at_rest = lambda: name(auto) == resting and not is_checked(auto)  # noqa: E731
        if not lumo.poll(at_rest, 5):
            lumo.click(auto, "the virtual probe's automatic mode, off")
        lumo.wait_until(at_rest, 10, "the virtual probe to rest")
        lumo.screenshot("run-done")
        return lumo.grid_values(m)

    def store_new_subject(self, m, number, subject_name, birth=None, address=None):
        lumo = self.lumo
        lumo.key("ctrl+s")
        s = self.active_window(SAVE, "the save screen after Ctrl+S")
        lumo.key("ctrl+n")
        ed = self.active_window(SUBJECT_NEW, "the subject editor after Ctrl+N")
        self.field_focused(ed, "編號:")
        lumo.type_text(number)
        lumo.key("Tab")
        self.field_focused(ed, "姓名:")
        lumo.type_text(subject_name)
        if birth is not None:
            lumo.key("Return")
            self.field_focused(ed, "生日:")
            lumo.type_text(birth)
            lumo.key("Return")
            self.field_focused(ed, "地址:")
            lumo.type_text(address)
        lumo.screenshot("subject-editor-by-keys")
        lumo.key("ctrl+s")
        q = self.question(STORE_QUESTION, "the question whether to store under the new subject")
        lumo.screenshot("store-question-by-keys")
        lumo.key("Return")  # 是 is this question's default
        lumo.window_gone(SUBJECT_NEW, what="the editor to close after storing")
        lumo.window_gone(SAVE, what="the save screen to close after storing")
        return self.back("storing under a new subject")

    def leave_browser_and_quit(self, after="leaving the browser"):
        """Esc closes the browser, Esc the measuring screen, then Ctrl+Q."""
        lumo = self.lumo
        lumo.key("Escape")
        lumo.window_gone(BROWSER, what="the browser to close on Esc")
        self.back(after)
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")
        self.quit_by_keys()

    def quit_by_keys(self):
        """Ctrl+Q: Enter keeps the program (否 is the default), Y ends it."""
        lumo = self.lumo
        self.wait_toolbar_enabled()
        lumo.key("ctrl+q")
        q = self.question(QUIT_QUESTION, "the question whether to end the program")
        lumo.key("Return")
        lumo.window_gone(name(q), what="the question to close after Enter")
        self.assertTrue(lumo.running(), "Enter ended the program: 否 must be the default")
        lumo.key("ctrl+q")
        self.question(QUIT_QUESTION, "the question again")
        lumo.key("y")
        rc = lumo.wait_exit(30, "the program to end after Y")
        self.assertEqual(rc, 0)

    def subjects(self):
        with self.lumo.db() as db:
            return db.execute("SELECT CUSTNO, NAME, DBIRTH, ADDR FROM ZUCUST ORDER BY MKEY").fetchall()

    def measurement_count(self):
        with self.lumo.db() as db:
            return db.execute("SELECT COUNT(*) FROM ZUDATA").fetchone()[0]

    def open_browser_on_subject(self, m):
        """Ctrl+O: the browser with the current subject's row, entered with Space."""
        lumo = self.lumo
        lumo.key("ctrl+o")
        b = self.active_window(BROWSER, "the browser after Ctrl+O")
        self.wait_focus(b, lambda f: role(f) in ("table", "table cell"), "the subject list to have the focus")
        lumo.key("space")
        lumo.button("客戶修改", b, enabled=True, what="客戶修改 to be enabled once the row is entered with Space")
        return b


class Keyboard(KeyboardSession):
    # ---- sessions

    def test_enter_never_deletes(self):
        lumo = self.lumo
        seed(lumo.data_dir)
        self.start_to_main()
        m = self.open_measuring_by_keys()
        b = self.open_browser_on_subject(m)
        self.tab_to(b, "push button", "客戶刪除", back=True)
        lumo.key("Return")
        q = self.question("確定要刪除本受測者的所有資料嗎?", "the question before deleting the subject")
        lumo.screenshot("delete-subject-question")
        lumo.key("Return")
        lumo.window_gone(name(q), what="the question to close after Enter")
        self.assertEqual([s[0] for s in self.subjects()], [SEEDED[0]], "Enter deleted the subject")
        # The measurements: Enter on the subject (the focus went back to it) goes to its list,
        # whose first row becomes the current one with its buttons.
        self.wait_focus(b, lambda f: role(f) in ("table", "table cell"), "the subject list to have the focus again")
        lumo.key("Return")
        lumo.button("刪除資料", b, enabled=True, what="刪除資料 to be enabled once Enter went to the measurements")
        self.tab_to(b, "push button", "刪除資料")  # the buttons come after the lists
        lumo.key("Return")
        q = self.question("確定要刪除這筆經絡能量數據嗎?", "the question before deleting the measurement")
        lumo.key("Return")
        lumo.window_gone(name(q), what="the question to close after Enter")
        self.assertEqual(self.measurement_count(), 2, "Enter deleted the measurement")
        self.leave_browser_and_quit("Esc in the browser")

    def test_escape_keeps_typed_work(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring_by_keys()
        lumo.key("F9")
        e = self.active_window(MANUAL, "the manual entry after F9")
        for v in TYPED_VALUES:
            lumo.type_text(f"{v:g}")
            lumo.key("Return")
        lumo.wait_until(lambda: all(lumo.grid_values(e)), 10, "the 24 typed values in the grid")
        lumo.key("Escape")
        q = self.question(DISCARD, "the question before the typed values are thrown away")
        lumo.screenshot("discard-question")
        lumo.key("Return")  # 否: stay
        lumo.window_gone(name(q), what="the question to close after Enter")
        self.assertTrue(lumo.find_window(MANUAL), "Enter on the question closed the manual entry")
        self.assertTrue(all(lumo.grid_values(e)), "the typed values are gone")
        lumo.key("ctrl+s")
        lumo.window_gone(MANUAL, what="the manual entry to close after Ctrl+S")
        m = self.back("Ctrl+S in the manual entry")
        self.assertTrue(all(lumo.grid_values(m)), "the measuring screen lacks the typed values")

        lumo.key("ctrl+s")
        s = self.active_window(SAVE, "the save screen after Ctrl+S")
        lumo.key("ctrl+n")
        ed = self.active_window(SUBJECT_NEW, "the subject editor after Ctrl+N")
        self.field_focused(ed, "編號:")
        lumo.type_text("E2E4101")
        lumo.key("Escape")
        self.question(DISCARD, "the question before the typed subject is thrown away")
        lumo.key("Return")
        self.assertTrue(lumo.find_window(SUBJECT_NEW), "Enter on the question closed the subject editor")
        self.assertEqual(lumo.label_text(lumo.field_beside("編號:", ed)), "E2E4101")
        lumo.key("Escape")
        self.question(DISCARD, "the question again")
        lumo.key("y")
        lumo.window_gone(SUBJECT_NEW, what="the editor to close after Y")
        self.assertEqual(self.subjects(), [], "a subject was stored although the editor was left")
        lumo.key("Escape")
        lumo.window_gone(SAVE, what="the save screen to close on Esc")
        self.back("leaving the save screen")
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")
        self.quit_by_keys()

    def test_birth_date_typed(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring_by_keys()
        lumo.key("F9")
        self.active_window(MANUAL, "the manual entry after F9")
        for v in TYPED_VALUES:
            lumo.type_text(f"{v:g}")
            lumo.key("Return")
        lumo.key("ctrl+s")
        lumo.window_gone(MANUAL, what="the manual entry to close after Ctrl+S")
        m = self.back("Ctrl+S in the manual entry")
        lumo.key("ctrl+s")
        self.active_window(SAVE, "the save screen after Ctrl+S")
        lumo.key("ctrl+n")
        ed = self.active_window(SUBJECT_NEW, "the subject editor after Ctrl+N")
        self.field_focused(ed, "編號:")
        lumo.type_text("E2E4201")
        lumo.key("Tab")
        lumo.type_text("Chen Birth")
        lumo.key("Return")
        self.field_focused(ed, "生日:")
        lumo.type_text("2019/75/09")
        lumo.key("Return")
        n = self.question(BIRTH_REFUSED, "the notice that 2019/75/09 is no date")
        lumo.screenshot("impossible-date")
        lumo.key("Return")
        lumo.window_gone(name(n), what="the notice to close after Enter")
        self.field_focused(ed, "生日:")
        lumo.type_text("19800101")
        lumo.key("Return")
        self.field_focused(ed, "地址:")
        lumo.type_text("Taipei 1")
        lumo.screenshot("birth-date-typed")
        lumo.key("ctrl+s")
        self.question(STORE_QUESTION, "the question whether to store under the new subject")
        lumo.key("Return")
        lumo.window_gone(SAVE, what="the save screen to close after storing")
        self.back("storing")
        self.assertEqual(self.subjects(), [("E2E4201", "Chen Birth", DAY_1980_01_01, "Taipei 1")])
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")
        self.quit_by_keys()

    def test_practice_day(self):
        lumo = self.lumo
        self.start_to_main()
        m = self.open_measuring_by_keys()

        lumo.step("a subject's first visit")
        self.measure_by_keys(m)
        m = self.store_new_subject(m, "E2E4301", "Lin Day", "19750315", "Tainan")
        lumo.wait_until(lambda: "已儲存 E2E4301 Lin Day" in self.status_text(m), 10,
                        "the status bar to say that the measurement was stored")
        lumo.screenshot("stored-said")

        lumo.step("analysis and its report, under the waiting-room display")
        lumo.key("F7")
        a = self.active_window(ANALYSIS, "the analysis screen after F7")
        lumo.key("F12")  # 候診區顯示: the file dialog is on the screen too
        lumo.key("ctrl+p")
        p = self.print_preview("Ctrl+P in the analysis")
        lumo.key("ctrl+p")
        lumo.window_gone(name(p), what="the preview to close after Ctrl+P")
        proposed = f"E○○○○○1_L○y_{date.today():%Y%m%d}.pdf"
        pdf = self.home / proposed
        d = self.new_window([ANALYSIS, MEASURING], what="the file dialog for the PDF")
        lumo.wait_until(lambda: any(proposed in lumo.label_text(t) for t in lumo.find_all("text", within=d)), 10,
                        f"the file dialog to propose {proposed}")
        lumo.screenshot("pdf-proposed")
        lumo.key("Return")
        lumo.wait_until(lambda: pdf.exists() and pdf.stat().st_size > 0, 60, f"the report at {pdf}")
        notice = lumo.message(proposed, 30, "the notice naming the PDF")
        lumo.key("Return")
        lumo.window_gone(name(notice), what="the notice to close after Enter")
        lumo.key("F12")  # the real names again
        lumo.key("Escape")
        lumo.window_gone(ANALYSIS, what="the analysis screen to close on Esc")
        m = self.back("leaving the analysis")

        lumo.step("the second visit, stored under the same subject")
        self.measure_by_keys(m, stored=True)
        lumo.key("ctrl+s")
        s = self.active_window(SAVE, "the save screen after Ctrl+S")
        self.wait_focus(s, lambda f: role(f) in ("table", "table cell"), "the subject list with the subject found")
        lumo.key("Return")  # 儲存數據, the default: stores under the subject found
        lumo.window_gone(SAVE, what="the save screen to close after Enter")
        m = self.back("storing under the same subject")
        lumo.wait_until(lambda: "已儲存 E2E4301 Lin Day" in self.status_text(m), 10,
                        "the status bar to say that the second measurement was stored")
        self.assertEqual(self.measurement_count(), 2)

        lumo.step("comparing with the first visit")
        lumo.key("F8")
        c = self.active_window(COMPARE, "the comparison after F8")
        lumo.key("ctrl+o")
        b = self.active_window(BROWSER, "the browser after Ctrl+O in the comparison")
        self.wait_focus(b, lambda f: role(f) in ("table", "table cell"), "the subject list to have the focus")
        lumo.key("Return")  # to the subject's measurements
        lumo.key("Return")  # load the first
        lumo.window_gone(BROWSER, what="the browser to close after Enter on a measurement")
        lumo.wait_until(lambda: lumo.find_window(COMPARE), 10, "the comparison to show again")
        lumo.wait_until(lambda: any("Lin Day" in t for t in lumo.texts(c)) and
                        sum(1 for t in lumo.texts(c) if "E2E4301" in t) >= 2, 10,
                        "both records in the comparison's header blocks")
        lumo.screenshot("compared")
        lumo.key("ctrl+p")
        p = self.print_preview("Ctrl+P in the comparison")
        lumo.key("Escape")
        lumo.window_gone(name(p), what="the preview to close on Esc")
        lumo.key("Escape")
        lumo.window_gone(COMPARE, what="the comparison to close on Esc")
        m = self.back("leaving the comparison")

        lumo.step("the trend and a change of the subject")
        b = self.open_browser_on_subject(m)
        lumo.key("ctrl+t")
        t = self.active_window(TREND, "the trend after Ctrl+T")
        lumo.screenshot("trend")
        lumo.key("Escape")
        lumo.window_gone(TREND, what="the trend to close on Esc")
        lumo.button("客戶修改", b, enabled=True)
        self.tab_to(b, "push button", "客戶修改", back=True)
        lumo.key("Return")
        ed = self.active_window(EDITOR_CHANGE, "the subject editor after 客戶修改")
        self.field_focused(ed, "姓名:")
        lumo.key("ctrl+a")
        lumo.type_text("Lin Day-Two")
        lumo.key("ctrl+s")
        lumo.window_gone(EDITOR_CHANGE, what="the editor to close after Ctrl+S")
        self.leave_browser_and_quit()
        self.assertEqual(self.subjects(), [("E2E4301", "Lin Day-Two", 27468, "Tainan")])
        self.assertEqual(self.measurement_count(), 2)


if __name__ == "__main__":
    unittest.main()
