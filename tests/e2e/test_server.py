"""Sessions with the main database on a PostgreSQL server: the throwaway
cluster that ctest starts for them (scripts/pgcluster; LUMO_PG_STATE names
its connection string), one database per session.  The session that restarts
its server has a cluster of its own: ctest's is shared with tests that run at
the same time.

- two workstations on one server, each seeing the other's measurement within a second;
- a subject two workstations change at once: the second save is refused with
  the conflict message and nothing is lost (also by keyboard alone);
- the server restarted under a running program, which goes on without an error;
- the password asked for at start-up (keyboard only), kept in memory only."""

import contextlib
import itertools
import os
import re
import subprocess
import time
import unittest

import pyatspi

from lumodriver import PROBE_WINDOW, REPO, Lumo, describe, extents, is_focused, name, role, states, text_of, \
    toplevel, walk
from session import BROWSER, MEASURING, QUIT_QUESTION, TYPED_VALUES, Session

EDITOR_CHANGE = "受測者資料修改"
CONFLICT = "這筆資料已被其他工作站修改，請重新載入後再修改。"
DISCARD = "輸入的資料尚未儲存"
PASSWORD_TITLE = "資料庫伺服器登入"
PASSWORD_AGAIN = "密碼不正確"
SECRET = "lumo-test-secret"  # the cluster's role lumo_password signs in with it

_numbers = itertools.count()


def cluster_state():
    state = os.environ.get("LUMO_PG_STATE", "")
    if not state or not os.path.exists(state):
        raise AssertionError("no test server: LUMO_PG_STATE must name the state file of scripts/pgcluster "
                             "(ctest's fixture pgcluster starts one)")
    return state


def cluster_conninfo(state=None):
    with open(state or cluster_state()) as f:
        return f.read().strip()


def own_cluster(session):
    """A cluster for this session alone, stopped at its end. Its state file
    lies in scripts/e2e's folder (LUMO_E2E_RUN), whose exit stops it too when
    the session is cut short."""
    state = os.path.join(os.environ.get("LUMO_E2E_RUN") or str(session.lumo.tmp), "restart.conninfo")
    pgcluster = str(REPO / "scripts" / "pgcluster")
    subprocess.run([pgcluster, "start", state], check=True, timeout=120)
    session.addCleanup(subprocess.run, [pgcluster, "stop", state], timeout=120)
    return state


def psql(conninfo, sql):
    r = subprocess.run(["psql", "-X", "-q", "-A", "-t", "-d", conninfo, "-c", sql], capture_output=True, text=True,
                       timeout=60)
    if r.returncode != 0:
        raise AssertionError(f"psql {sql!r} failed: {r.stderr.strip()}")
    return r.stdout.strip()


def new_database(owner=None, state=None):
    """A new, empty database on the cluster (ctest's, or the one of `state`); its connection string."""
    db = f"lumo_e2e_{os.getpid()}_{next(_numbers)}"
    psql(cluster_conninfo(state), f"CREATE DATABASE {db}" + (f" OWNER {owner}" if owner else ""))
    conninfo = cluster_conninfo(state).replace("dbname=postgres", f"dbname={db}")
    return conninfo.replace("user=postgres", f"user={owner}") if owner else conninfo


def as_superuser(conninfo):
    """The same database, for the session's own checks."""
    return " ".join("user=postgres" if part.startswith("user=") else part for part in conninfo.split())


def restart_server(state):
    subprocess.run([str(REPO / "scripts" / "pgcluster"), "restart", state], check=True, timeout=120)


def run(*cmd):
    return subprocess.run(list(cmd), capture_output=True, text=True, timeout=30).stdout


def viewable_windows():
    """(window id, process id) of the managed windows that show, bottom first."""
    out = []
    for wid in re.findall(r"0x[0-9a-fA-F]+", run("xprop", "-root", "_NET_CLIENT_LIST_STACKING")):
        if "IsViewable" in run("xwininfo", "-id", wid):
            out.append((str(int(wid, 16)), run("xdotool", "getwindowpid", str(int(wid, 16))).strip()))
    return out


def bring_forward(lumo):
    """Two workstations share this one screen: before one is used, its windows
    come forward in their own order, as if its user sat down at it (the
    windows of both have the same titles, so a click could not tell them apart)."""
    pid = str(lumo.proc.pid)
    mine = [wid for wid, owner in viewable_windows() if owner == pid]
    for wid in mine:
        run("xdotool", "windowraise", wid)
    if mine:
        run("xdotool", "windowactivate", mine[-1])
        lumo.wait_until(lambda: viewable_windows()[-1][1] == pid, 10,
                        "the workstation's windows to come forward", dump=False)


class Server(Session):

    @contextlib.contextmanager
    def on(self, lumo):
        """The shared steps of session.py, taken on another workstation."""
        mine = self.lumo
        self.lumo = lumo
        if lumo.app is not None:
            bring_forward(lumo)
        try:
            yield lumo
        finally:
            self.lumo = mine
            if mine.app is not None:
                bring_forward(mine)

    def workstation(self, label, conninfo):
        other = Lumo(f"{self.session_name()}.{label}", ["--database", conninfo])
        self.addCleanup(other.close)
        return other

    def open_browser(self, m):
        lumo = self.lumo
        lumo.press("讀取資料", m)
        b = lumo.window(BROWSER, what=f"the browser {BROWSER!r} after 讀取資料")
        # An empty table tells no column headers; the subject list is then the topmost table.
        subjects = lumo.wait_until(lambda: lumo.table_with_header(b, "姓名") or self.topmost_table(b), 10,
                                   "the browser's subject list")
        return b, subjects

    def topmost_table(self, window):
        tables = self.lumo.find_all("table", within=window)
        return min(tables, key=lambda t: extents(t)[1]) if tables else None

    def listed(self, subjects, number):
        for c in self.lumo.find_all("table cell", within=subjects):
            if name(c).strip() == number:
                return c
        return None

    def measurements_of(self, browser):
        """The measurement list: the lower of the browser's two tables."""
        tables = self.lumo.find_all("table", within=browser)
        return self.lumo.table_with_header(browser, "測量日期") or max(tables, key=lambda t: extents(t)[1])

    # ---- two workstations

    def test_two_workstations_see_each_other(self):
        conninfo = new_database()
        a = self.lumo
        a.args += ["--database", conninfo]
        b = self.workstation("b", conninfo)
        self.start_to_main()
        with self.on(b):
            self.start_to_main()
            mb = self.open_measuring()
            browser_b, subjects_b = self.open_browser(mb)
            b.screenshot("b-browser-empty")

        ma = self.open_measuring()
        ma = self.enter_values(ma, TYPED_VALUES)
        ma = self.save_new_subject(ma, "S1", "Alpha")
        stored = time.monotonic()
        cell = b.wait_until(lambda: self.listed(subjects_b, "S1"), 1.0,
                            "workstation b's open browser to list the subject workstation a stored, within a second")
        b.step(f"b lists S1 {time.monotonic() - stored:.2f}s after a stored it")
        with self.on(b):
            b.screenshot("b-browser-sees-a")
            b.click(cell, "subject S1 on workstation b")
            b.wait_until(lambda: self.measurements_of(browser_b).queryTable().nRows == 1, 10,
                         "workstation b to list a's measurement of S1")

        browser_a, subjects_a = self.open_browser(ma)
        a.click(self.listed(subjects_a, "S1") or a.fail("S1 is not listed on workstation a"), "subject S1")
        a.wait_until(lambda: self.measurements_of(browser_a).queryTable().nRows == 1, 10, "one measurement of S1")
        with self.on(b):
            b.press("離  開", browser_b)
            b.window_gone(BROWSER, what="workstation b's browser to close")
            mb = self.back_on_measuring("leaving the browser")
            mb = self.enter_values(mb, [v + 1 for v in TYPED_VALUES])
            self.save_existing_subject(mb, "S1")
        stored = time.monotonic()
        a.wait_until(lambda: self.measurements_of(browser_a).queryTable().nRows == 2, 1.0,
                     "workstation a's open browser to list b's measurement, within a second")
        a.step(f"a lists b's measurement {time.monotonic() - stored:.2f}s after b stored it")
        a.screenshot("a-browser-sees-b")
        self.assertEqual(psql(conninfo, "SELECT COUNT(*) FROM ZUCUST"), "1")
        self.assertEqual(psql(conninfo, "SELECT COUNT(*) FROM ZUDATA"), "2")
        a.press("離  開", browser_a)
        a.window_gone(BROWSER)
        self.leave_measuring()
        self.quit_program()
        with self.on(b):
            self.leave_measuring()
            self.quit_program()

    # ---- a subject changed on two workstations at once

    def edit_subject(self, number):
        """Measuring screen → 讀取資料 → the subject → 客戶修改: the editor."""
        lumo = self.lumo
        m = self.open_measuring()
        browser, subjects = self.open_browser(m)
        cell = lumo.wait_until(lambda: self.listed(subjects, number), 10, f"subject {number!r} to be listed")
        lumo.click(cell, f"subject {number!r}")
        lumo.press("客戶修改", browser)
        editor = lumo.window(EDITOR_CHANGE, what=f"the subject editor {EDITOR_CHANGE!r} after 客戶修改")
        return browser, subjects, editor

    def retype_name(self, editor, text):
        lumo = self.lumo
        field = lumo.field_beside("姓名:", editor)
        self.assertIsNotNone(field, "no text field beside 姓名: in the subject editor")
        lumo.click(field, "the 姓名 field")
        lumo.wait_until(lambda: is_focused(field), 10, "the 姓名 field to have the keyboard focus")
        lumo.key("ctrl+a")
        lumo.type_text(text)
        lumo.wait_until(lambda: text_of(field) == text, 10, f"the 姓名 field to read {text!r}")
        return field

    def test_conflict_message(self):
        conninfo = new_database()
        a = self.lumo
        a.args += ["--database", conninfo]
        b = self.workstation("b", conninfo)
        self.start_to_main()  # the first connection creates the schema
        psql(conninfo, "INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('S1', 'Alpha')")
        browser_a, subjects_a, editor_a = self.edit_subject("S1")
        with self.on(b):
            self.start_to_main()
            _, _, editor_b = self.edit_subject("S1")
            self.retype_name(editor_b, "Beta")
            b.press("儲存資料", editor_b)
            b.window_gone(EDITOR_CHANGE, what="workstation b's editor to close after 儲存資料")

        field = self.retype_name(editor_a, "Gamma")
        a.press("儲存資料", editor_a)
        notice = a.message(CONFLICT, what="the conflict message after saving a subject workstation b changed")
        a.screenshot("conflict-message")
        a.press("確  定", notice)
        a.wait_until(lambda: not a.windows(name(notice)) or not any(CONFLICT in t for t in a.texts(notice)), 10,
                     "the conflict message to close")
        self.assertIsNotNone(a.find_window(EDITOR_CHANGE), "the editor closed after the refused save")
        self.assertEqual(text_of(field), "Gamma", "what was typed in the editor is gone after the refused save")
        a.screenshot("editor-kept")
        self.assertEqual(psql(conninfo, "SELECT NAME FROM ZUCUST"), "Beta")
        # What was typed is still unsaved: leaving asks before it drops it.
        a.press("離  開", editor_a)
        a.press("是", a.message(DISCARD, what="the question whether to drop what was typed"))
        a.window_gone(EDITOR_CHANGE)
        a.wait_until(lambda: self.listed(subjects_a, "Beta"), 10, "the browser to list the name b saved")
        a.screenshot("browser-after-conflict")

    # ---- the conflict by keyboard alone

    def keyboard_only(self):
        lumo = self.lumo
        allowed = lumo.click

        def refuse(acc, what=None, timeout=30, button=1, double=False):
            top = name(toplevel(acc))
            if top not in PROBE_WINDOW:
                self.fail(f"a mouse click on {what or describe(acc)} in {top!r}: this session uses the keyboard only")
            return allowed(acc, what, timeout, button, double)
        lumo.click = refuse

    def active(self, title, what):
        lumo = self.lumo
        w = lumo.window(title, what=what)
        lumo.wait_until(lambda: states(w).contains(pyatspi.STATE_ACTIVE), 10, f"{title!r} to become the active window")
        return w

    def focus_on(self, window, wanted, what):
        def look():
            for _, a in walk(window):
                if is_focused(a) and wanted(a):
                    return a
            return None
        return self.lumo.wait_until(look, 10, what)

    def test_conflict_by_keyboard(self):
        """Another workstation saves the subject (its update raises the row's
        version, as the records layer's does) while this one has it in its
        editor; everything here by keys."""
        conninfo = new_database()
        lumo = self.lumo
        lumo.args += ["--database", conninfo]
        self.keyboard_only()
        self.start_to_main()
        psql(conninfo, "INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('S1', 'Alpha')")
        self.wait_toolbar_enabled()
        lumo.key("F5")
        self.active(MEASURING, "the measuring screen after F5")
        lumo.key("ctrl+o")
        b = self.active(BROWSER, "the browser after Ctrl+O")
        self.focus_on(b, lambda a: role(a) in ("table", "table cell"), "the subject list to have the focus")
        lumo.key("space")
        lumo.button("客戶修改", b, enabled=True, what="客戶修改 to be enabled once the row is entered with Space")
        on_edit = lambda: any(is_focused(a) and role(a) == "push button" and name(a) == "客戶修改"  # noqa: E731
                              for _, a in walk(b))
        for _ in range(30):
            if lumo.poll(on_edit, 0.5):
                break
            lumo.key("shift+Tab")
        lumo.key("Return")
        editor = self.active(EDITOR_CHANGE, "the subject editor after 客戶修改")
        field = self.focus_on(editor, lambda a: role(a) == "text" and text_of(a) == "Alpha", "the 姓名 field")
        psql(conninfo, "UPDATE ZUCUST SET NAME = 'Beta', ROWVER = ROWVER + 1 WHERE CUSTNO = 'S1'")
        lumo.key("ctrl+a")
        lumo.type_text("Gamma")
        lumo.key("ctrl+s")
        notice = lumo.message(CONFLICT, what="the conflict message after Ctrl+S")
        lumo.screenshot("conflict-by-keys")
        lumo.key("Return")
        lumo.wait_until(lambda: not any(CONFLICT in t for w in lumo.windows() for t in lumo.texts(w)), 10,
                        "the conflict message to close after Enter")
        self.assertEqual(text_of(field), "Gamma", "what was typed is gone after the refused save")
        self.assertEqual(psql(conninfo, "SELECT NAME FROM ZUCUST"), "Beta")
        lumo.key("Escape")
        lumo.message(DISCARD, what="the question whether to drop what was typed")
        lumo.key("y")
        lumo.window_gone(EDITOR_CHANGE, what="the editor to close after Y")
        lumo.wait_until(lambda: self.listed(lumo.find("table", within=b), "Beta"), 10,
                        "the browser to list the name the other workstation saved")
        lumo.key("Escape")
        lumo.window_gone(BROWSER, what="the browser to close on Esc")
        self.back_on_measuring("Esc in the browser")
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")
        self.wait_toolbar_enabled()
        lumo.key("ctrl+q")
        lumo.message(QUIT_QUESTION, what="the question whether to end the program")
        lumo.key("y")
        self.assertEqual(lumo.wait_exit(30, "the program to end after Y"), 0)

    # ---- the server restarted under a running program

    def test_server_restart(self):
        state = own_cluster(self)
        conninfo = new_database(state=state)
        self.lumo.args += ["--database", conninfo]
        lumo = self.lumo
        self.start_to_main()
        psql(conninfo, "INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('S1', 'Alpha')")
        m = self.open_measuring()
        browser, subjects = self.open_browser(m)
        lumo.wait_until(lambda: self.listed(subjects, "S1"), 10, "subject S1 to be listed")
        lumo.step("restarting the server")
        restart_server(state)
        psql(conninfo, "INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('S2', 'Beta')")
        # The program listens again and reads its lists again: what came meanwhile shows.
        lumo.wait_until(lambda: self.listed(subjects, "S2"), 15,
                        "the browser to list a subject stored after the server came back")
        lumo.screenshot("browser-after-restart")
        lumo.press("離  開", browser)
        lumo.window_gone(BROWSER)
        m = self.back_on_measuring("leaving the browser")
        m = self.enter_values(m, TYPED_VALUES)
        self.save_existing_subject(m, "S1")
        self.assertEqual(psql(conninfo, "SELECT COUNT(*) FROM ZUDATA WHERE CUSTNO = 'S1'"), "1")
        self.assertFalse([w for w in lumo.windows() if any("連線中斷" in t for t in lumo.texts(w))],
                         "an error was shown after the server came back")
        self.leave_measuring()
        self.quit_program()

    # ---- the password, keyboard only

    def test_password_by_keyboard(self):
        conninfo = new_database(owner="lumo_password")
        lumo = self.lumo
        lumo.args += ["--database", conninfo]
        lumo.env["PGPASSFILE"] = str(lumo.tmp / "no-pgpass")  # nothing for libpq to find
        lumo.start()
        question = lumo.window(PASSWORD_TITLE, what=f"the password question {PASSWORD_TITLE!r} at start-up")
        box = lumo.get(None, "密碼", question, what="the password box")
        lumo.wait_until(lambda: is_focused(box), 10, "the password box to have the keyboard focus")
        lumo.screenshot("password-question")
        lumo.type_text("wrong")
        lumo.key("Return")
        again = lumo.wait_until(lambda: next((w for w in lumo.windows(PASSWORD_TITLE)
                                              if any(PASSWORD_AGAIN in t for t in lumo.texts(w))), None), 30,
                                "the question again, saying the password was refused")
        lumo.screenshot("password-refused")
        box = lumo.get(None, "密碼", again, what="the password box")
        lumo.wait_until(lambda: is_focused(box), 10, "the password box to have the keyboard focus again")
        lumo.type_text(SECRET)
        lumo.key("Return")
        main = self.main_window()
        lumo.wait_until(lambda: not self.toolbar_disabled_names(main), 60, "the main tool bar to be enabled")
        lumo.screenshot("main-window-on-the-server")
        version = re.search(r"constexpr int SchemaVersion = (\d+);", (REPO / "src/records/schema.h").read_text())
        self.assertEqual(psql(as_superuser(conninfo), "SELECT MAX(VERSION) FROM LUMOVERSION"), version.group(1))
        for root, _, files in os.walk(lumo.data_dir):
            for f in files:
                with open(os.path.join(root, f), "rb") as fh:
                    self.assertNotIn(SECRET.encode(), fh.read(), f"{f} in the data directory holds the password")


if __name__ == "__main__":
    unittest.main()
