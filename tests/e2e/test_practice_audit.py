"""稽核紀錄 by keys alone: an admin made with lumo-cli before the start logs
in, loads a subject's measurement in the record browser, opens the audit log
from 系統支援 and finds the view listed under their name; Esc closes the page.
Afterwards `lumo-cli audit --verify`, logged in as the admin, finds the chain whole."""

import os
import subprocess
import unittest

from lumodriver import binary, role, text_of
from session import BROWSER, MEASURING
from test_keyboard import SEEDED, KeyboardSession, seed

LOGIN = "操作人員登入"
AUDIT = "稽核紀錄"
ADMIN = ("Chen", "s3cret-pw")
COLUMNS = 7  # time, operator, workstation, action, subject number, measurement key, detail


class PracticeAudit(KeyboardSession):
    def cli(self, args, password=None, stdin=""):
        env = dict(os.environ, **({"LUMO_PASSWORD": password} if password else {}))
        return subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(self.lumo.data_dir)] + args,
                              input=stdin, text=True, capture_output=True, timeout=60, env=env)

    def log_in(self):
        lumo = self.lumo
        self.active_window(LOGIN, "the login screen after the start-up status")
        lumo.type_text(ADMIN[0])
        lumo.key("Tab")
        lumo.type_text(ADMIN[1])
        lumo.key("Return")
        lumo.window_gone(LOGIN, 15, "the login screen to close")
        self.wait_toolbar_enabled(15, "the main tool bar after the login")

    def load_subject(self):
        """F5, Ctrl+O, Enter on the subject, Enter on its first measurement, Esc back to the main window."""
        lumo = self.lumo
        lumo.key("F5")
        self.active_window(MEASURING, "the measuring screen after F5")
        lumo.key("ctrl+o")
        b = self.active_window(BROWSER, "the browser after Ctrl+O")
        self.subject_cell(b, SEEDED[0])
        self.wait_focus(b, lambda f: role(f) in ("table", "table cell"), "the subject list to have the focus")
        lumo.key("Return")  # to the subject's measurements
        lumo.key("Return")  # load the first
        lumo.window_gone(BROWSER, what="the browser to close after Enter on a measurement")
        self.back("loading a measurement")
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")

    def open_audit_page(self):
        """The menu bar by Alt, 系統支援 (the fifth entry), 稽核紀錄 in it."""
        lumo = self.lumo
        self.wait_toolbar_enabled()
        lumo.support_menu_item(AUDIT)
        return self.active_window(AUDIT, "the audit page opened from the menu by keys")

    def rows(self, page):
        grid = self.lumo.get("table", "稽核紀錄列表", page, what="the audit log's table")
        cells = [text_of(c).strip() for c in self.lumo.find_all("table cell", within=grid)]
        return [cells[i:i + COLUMNS] for i in range(0, len(cells) - COLUMNS + 1, COLUMNS)]

    def test_admin_reads_the_log_by_keys(self):
        lumo = self.lumo
        seed(lumo.data_dir)
        made = self.cli(["operator", "add", "--name", ADMIN[0], "--role", "admin"], stdin=ADMIN[1] + "\n")
        self.assertEqual(made.returncode, 0, made.stderr)
        lumo.start()
        self.log_in()
        lumo.step("a subject's measurement loaded in the browser")
        self.load_subject()

        lumo.step("the audit page from 系統支援")
        page = self.open_audit_page()
        viewed = lambda: [r for r in self.rows(page)
                          if r[1] == ADMIN[0] and r[3] == "檢視量測資料" and r[4] == SEEDED[0]]
        lumo.wait_until(viewed, 15, "a 檢視量測資料 row of Chen for the seeded subject")
        self.assert_fits(page, "when opened at this screen size")
        lumo.screenshot("audit-page")

        # The filter by keys: the action's key typed, Enter applies it; only logins
        # (登入, 登入失敗) remain, each shown by its Chinese name.
        self.tab_to(page, "text", "受測者編號")
        lumo.key("Tab", "Tab", "Tab")
        lumo.type_text("login")
        lumo.key("Return")
        lumo.wait_until(lambda: self.rows(page) and all(r[3] in ("登入", "登入失敗") for r in self.rows(page)), 10,
                        "only the login rows after Enter in the filter")
        self.assertTrue(any(r[3] == "登入" and r[1] == ADMIN[0] for r in self.rows(page)), self.rows(page))
        lumo.screenshot("audit-page-filtered")
        lumo.key("Escape")
        lumo.window_gone(AUDIT, what="the audit page to close on Esc")
        self.quit_by_keys()

        checked = self.cli(["--operator", ADMIN[0], "audit", "--verify"], password=ADMIN[1])
        self.assertEqual(checked.returncode, 0, checked.stderr)
        self.assertIn("稽核紀錄的鏈結完整", checked.stdout)


if __name__ == "__main__":
    unittest.main()
