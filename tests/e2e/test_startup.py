"""Start-up and quitting: the status window's lamp sequence, a usable main
window, and an orderly end through the program's own exit."""

import unittest

from lumodriver import MAIN_TITLE, PROBE_WINDOW, is_showing, name
from session import STATUS, Session

NETWORK_NOTICE = "資料目錄位於網路磁碟，多台工作站共用時建議改用資料庫伺服器。"


class Startup(Session):
    def test_start_and_quit(self):
        lumo = self.lumo
        seen_status = self.start_to_main()
        if not seen_status:
            # It runs for about a second; on a slow machine the program may reach
            # the accessibility bus only after it closed.  Not a failure of the program.
            lumo.step(f"note: the start-up status window {STATUS!r} closed before it could be seen")
        self.assertFalse(lumo.windows(STATUS), "the start-up status window is still open")
        main = self.main_window()
        self.assertEqual(name(main), MAIN_TITLE)
        self.assertTrue(is_showing(main))
        buttons = [name(b) for b in self.toolbar_buttons(main)]
        for wanted in ("經絡測量", "離開系統"):
            self.assertIn(wanted, buttons, f"the main tool bar has no {wanted!r}; it shows {buttons}")
        self.assertIsNotNone(lumo.find_window(PROBE_WINDOW), "the virtual probe panel is not showing")
        lumo.screenshot("main-window-ready")
        self.quit_program()

    def test_network_folder_notice(self):
        """A data directory in a network folder (forced: this machine has none)
        is told once, in the program's own notice, and the program goes on."""
        lumo = self.lumo
        lumo.env["LUMO_NETWORK_FOLDER"] = "1"
        lumo.start()
        notice = lumo.message(NETWORK_NOTICE, 60, "the notice that the data directory is in a network folder")
        lumo.screenshot("network-folder-notice")
        lumo.press("確  定", notice)
        main = self.wait_toolbar_enabled(60, "the main tool bar after the network-folder notice")
        self.assertEqual(name(main), MAIN_TITLE)
        self.assertFalse([w for w in lumo.windows() if any(NETWORK_NOTICE in t for t in lumo.texts(w))],
                         "the network-folder notice is still showing (or showed twice)")
        with lumo.db() as db:
            mode = db.execute("PRAGMA journal_mode").fetchone()[0]
        self.assertEqual(mode, "delete", "the main database does not use the rollback journal in a network folder")
        self.quit_program()


if __name__ == "__main__":
    unittest.main()
