"""Start-up and quitting: the status window's lamp sequence, a usable main
window, and an orderly end through the program's own exit."""

import unittest

from lumodriver import MAIN_TITLE, PROBE_WINDOW, is_showing, name
from session import STATUS, Session


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


if __name__ == "__main__":
    unittest.main()
