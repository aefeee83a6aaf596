"""Practice mode's login, by keys alone: an admin made with lumo-cli before
the start, the login screen after the start-up status, a wrong password told
as such, then the right one and a usable main window."""

import subprocess
import unittest

from lumodriver import binary, is_showing
from test_keyboard import KeyboardSession

LOGIN = "操作人員登入"
WRONG = "帳號或密碼錯誤。"
ADMIN = ("Chen", "s3cret-pw")


class PracticeLogin(KeyboardSession):
    def add_admin(self):
        cli = binary().with_name("lumo-cli")
        subprocess.run([str(cli), "--data-dir", str(self.lumo.data_dir), "operator", "add", "--name", ADMIN[0],
                        "--role", "admin"], input=ADMIN[1] + "\n", text=True, check=True, capture_output=True,
                       timeout=60)

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


if __name__ == "__main__":
    unittest.main()
