"""Practice mode's login, by keys alone: an admin made with lumo-cli before
the start, the login screen after the start-up status, a wrong password told
as such, then the right one and a usable main window."""

import sqlite3
import unittest

from lumodriver import is_enabled, is_focused, is_showing, name
from practicemode import add_operator, cli, log_in
from test_keyboard import KeyboardSession

LOGIN = "操作人員登入"
WRONG = "帳號或密碼錯誤。"
SETTINGS = "用戶基本資料設定"
ADMIN = ("Chen", "s3cret-pw")
GUARD = "稽核紀錄的保護觸發程序不見了"
NO_ADMIN = "沒有任何啟用中的管理者"


class PracticeLogin(KeyboardSession):
    def cli(self, args, lines):
        cli(self.lumo, args, lines)

    def add_admin(self):
        add_operator(self.lumo, *ADMIN)

    def log_in(self, who, password):
        log_in(self.lumo, who, password)

    def tamper(self, sql):
        """What the file's owner can do with the sqlite3 shell while the program is not running."""
        db = sqlite3.connect(str(self.lumo.data_dir / "lumo4.mdb"))
        with db:
            db.execute(sql)
        db.close()

    def notice(self, title, text, what):
        lumo = self.lumo
        return lumo.wait_until(
            lambda: next((w for w in lumo.windows(title) if any(text in t for t in lumo.texts(w))), None), 60, what)

    def test_guard_recreated_notice(self):
        """The log's guard dropped behind the program's back: made again at the
        start, told before the login, and logged."""
        lumo = self.lumo
        self.add_admin()
        self.tamper("DROP TRIGGER LUMOAUDIT_NO_DELETE")
        lumo.start()
        self.notice("重要資訊", GUARD, "the notice that the guard was made again")
        lumo.screenshot("guard-recreated")
        lumo.key("Return")
        self.log_in(*ADMIN)
        self.wait_toolbar_enabled(15, "the main tool bar after the login")
        with lumo.db() as db:
            logged = db.execute("SELECT COUNT(*) FROM LUMOAUDIT WHERE ACTION = 'audit.guard'").fetchone()[0]
            guard = db.execute("SELECT COUNT(*) FROM sqlite_master WHERE name = 'LUMOAUDIT_NO_DELETE'").fetchone()[0]
        self.assertEqual((logged, guard), (1, 1), "the guard was not made again and logged once")

    def test_no_enabled_admin_refused(self):
        """Every admin disabled behind the program's back: the program says so
        and how to come back, and ends at 確  定 without a login."""
        lumo = self.lumo
        self.add_admin()
        self.tamper("UPDATE LUMOOPER SET DISABLED = 1")
        lumo.start()
        self.notice("注意", NO_ADMIN, "the refusal naming the way back")
        lumo.screenshot("no-enabled-admin")
        self.assertIsNone(lumo.find_window(LOGIN), "the login screen was offered all the same")
        lumo.key("Return")
        lumo.wait_exit(30, "the program to end after the refusal")

    def test_login_by_keys(self):
        lumo = self.lumo
        self.add_admin()
        lumo.start()
        login = self.active_window(LOGIN, "the login screen after the start-up status")
        lumo.screenshot("login-screen")
        main = self.main_window()
        self.assertTrue(self.toolbar_disabled_names(main), "the main tool bar is usable before the login")

        # The focus starts in the name; Tab goes on to the password; Enter logs in.
        lumo.type_text(ADMIN[0])
        lumo.key("Tab")
        lumo.type_text("not-the-password")
        lumo.key("Return")
        lumo.wait_until(lambda: WRONG in " ".join(lumo.texts(login)), 15, "the wrong password's message")
        lumo.screenshot("wrong-password")
        self.assertTrue(self.toolbar_disabled_names(main), "a wrong password made the main tool bar usable")

        # The password field has the focus again and was emptied.
        lumo.type_text(ADMIN[1])
        lumo.key("Return")
        lumo.wait_until(lambda: not lumo.find_window(LOGIN), 15, "the login screen to close")
        self.wait_toolbar_enabled(15, "the main tool bar after the login")
        self.assertTrue(is_showing(main))
        lumo.screenshot("logged-in")
        with lumo.db() as db:
            fails = db.execute("SELECT FAILS FROM LUMOOPER WHERE NAME = ?", (ADMIN[0],)).fetchone()[0]
        self.assertEqual(fails, 0, "the successful login did not clear the count of wrong passwords")


    def test_assistant_sees_refusals(self):
        """The front desk measures; comparisons, knowledge and treatment pages
        stay disabled, each saying why."""
        lumo = self.lumo
        self.add_admin()
        self.cli(["--operator", ADMIN[0], "operator", "add", "--name", "Lin", "--role", "assistant"],
                 [ADMIN[1], "desk-pw"])
        lumo.start()
        self.log_in("lin", "desk-pw")
        main = self.main_window()
        buttons = lambda: {name(b): b for b in self.toolbar_buttons(main)}
        lumo.wait_until(lambda: is_enabled(buttons()["經絡測量"]), 15, "經絡測量 to be usable for the assistant")
        lumo.screenshot("assistant-main-window")
        for refused in ("多重比對", "經絡解說", "專家療程", "檔案處理"):
            b = buttons()[refused]
            self.assertFalse(is_enabled(b), f"{refused} is usable for an assistant")
            self.assertIn("權限不足", b.description, f"{refused} does not say why it is disabled")
        self.assertTrue(is_enabled(buttons()["數位校準"]), "數位校準 is not usable for the assistant")


    def focus_on(self, window, role_, name_, most=30):
        """Tab until this control has the focus (a table's current cell keeps
        its focused state after the table lost the focus, so the control itself is asked)."""
        lumo = self.lumo
        target = lumo.find(role_, name_, window)
        self.assertIsNotNone(target, f"no {role_} {name_!r}")
        for _ in range(most):
            if lumo.poll(lambda: is_focused(target), 0.4):
                return target
            lumo.key("Tab")
        lumo.fail(f"{role_} {name_!r} never took the focus after {most} presses of Tab")

    def test_admin_adds_operator_by_keys(self):
        """用戶資料設定 → 操作人員: a practitioner added by keys alone is listed and stored."""
        lumo = self.lumo
        self.add_admin()
        lumo.start()
        self.log_in(ADMIN[0], ADMIN[1])
        self.wait_toolbar_enabled(15, "the main tool bar after the login")
        lumo.support_menu_item("用戶資料設定")
        s = self.active_window(SETTINGS, "the user settings opened from the menu by keys")
        # Ctrl+Tab turns the pages once the focus is inside them.
        self.tab_to(s, "text", "用戶名稱1:")
        for _ in range(2):
            lumo.key("ctrl+Tab")
            lumo.poll(lambda: False, 0.3)
        lumo.wait_until(lambda: lumo.find("text", "新操作人員名稱", s) is not None and
                        is_showing(lumo.find("text", "新操作人員名稱", s)), 10, "the page 操作人員")
        self.focus_on(s, "text", "新操作人員名稱")
        lumo.type_text("Wu")
        lumo.key("Tab", "Down")  # the role: 醫師/治療師
        self.focus_on(s, "password text", "新密碼")
        lumo.type_text("wu-pw-1")
        lumo.key("Tab")
        lumo.type_text("wu-pw-1")
        self.focus_on(s, "push button", "新增操作人員")
        lumo.key("space")
        lumo.wait_until(lambda: "Wu" in lumo.texts(s), 10, "the new operator in the list")
        lumo.screenshot("operator-added")
        with lumo.db() as db:
            row = db.execute("SELECT ROLE, PWHASH FROM LUMOOPER WHERE NAME = 'Wu'").fetchone()
        self.assertEqual(row[0], "practitioner")
        self.assertTrue(row[1].startswith("$argon2id$"), "the password is not stored as its Argon2id hash")


if __name__ == "__main__":
    unittest.main()
