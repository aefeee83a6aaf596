"""The screen lock of practice mode, by keys alone.
- The desktop's screen saver comes on (its ActiveChanged signal on the session
  bus): the lock screen covers the open user settings; a wrong password is
  refused with its message, the right one gives back the settings as they
  were, with the typed text still in its field and the focus on it.
- A practitioner's lock, from GNOME's screen saver signal: five wrong passwords make the lock screen count the
  wait down with 解除鎖定 disabled; then an admin's name and password take it away.
- The idle time set to one minute: a measuring run that waits for the probe
  longer than that is not interrupted; a minute after its end the lock comes.
The log has the lock, the refused try, the unlock and the logout at the
program's end (lumo-cli audit)."""

import json
import os
import subprocess
import unittest

import pyatspi
from lumodriver import binary, is_focused, name, states, text_of
from practicemode import add_operator, cli, log_in
from session import MEASURING
from test_keyboard import DISCARD, KeyboardSession

LOCK = "畫面已鎖定"
WRONG = "操作人員或密碼不正確。"
SETTINGS = "用戶基本資料設定"
ADMIN = ("Chen", "s3cret-pw")
PRACTITIONER = ("Wu", "wu-pw-1")
DRAFT = "-draft"


def screen_saver_on(path="/org/freedesktop/ScreenSaver", interface="org.freedesktop.ScreenSaver"):
    """What the desktop's screen saver says on the session bus when it starts
    (GNOME's lock says it under its own name)."""
    subprocess.run(["dbus-send", "--session", "--type=signal", path, interface + ".ActiveChanged",
                    "boolean:true"], check=True, timeout=10)


class PracticeLock(KeyboardSession):
    def audit_rows(self):
        """The log as lumo-cli prints it, logged in as the admin."""
        env = dict(os.environ, LUMO_PASSWORD=ADMIN[1])
        out = subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(self.lumo.data_dir),
                              "--operator", ADMIN[0], "audit"], env=env, text=True, capture_output=True,
                             timeout=60)
        self.assertEqual(out.returncode, 0, out.stderr)
        return [json.loads(line) for line in out.stdout.splitlines() if line.strip()]

    def start_as(self, who, password):
        self.lumo.start()
        log_in(self.lumo, who, password)
        self.wait_toolbar_enabled(15, "the main tool bar after the login")

    def wait_lock(self, timeout, what):
        lumo = self.lumo
        lock = lumo.window(LOCK, timeout, what=what)
        lumo.wait_until(lambda: states(lock).contains(pyatspi.STATE_ACTIVE), 10, "the lock screen to be active")
        password = lumo.get("password text", "密碼", lock, what="the lock screen's password field")
        lumo.wait_until(lambda: is_focused(password), 10, "the lock screen's password field to have the focus")
        return lock

    def unlock(self, password, gone=True):
        lumo = self.lumo
        lumo.type_text(password)
        lumo.key("Return")
        if gone:
            lumo.window_gone(LOCK, 15, "the lock screen to go after the right password")

    def open_settings_by_keys(self):
        """The menu bar by Alt, 系統支援 (the fifth entry), 用戶資料設定 by the arrows."""
        lumo = self.lumo
        lumo.support_menu_item("用戶資料設定")
        return self.active_window(SETTINGS, "the user settings opened from the menu by keys")

    def test_desktop_lock_keeps_the_screen(self):
        lumo = self.lumo
        add_operator(lumo, *ADMIN)
        self.start_as(*ADMIN)
        s = self.open_settings_by_keys()
        field = self.tab_to(s, "text", "用戶名稱1:")
        lumo.key("End")
        lumo.type_text(DRAFT)
        typed = lumo.wait_until(lambda: (lambda t: t if t.endswith(DRAFT) else None)(text_of(field)), 5,
                                "the typed text in 用戶名稱1")

        lumo.step("the screen saver comes on")
        screen_saver_on()
        lock = self.wait_lock(15, "the lock screen after the screen saver's signal")
        lumo.screenshot("locked-over-settings")
        self.unlock("not-the-password", gone=False)
        lumo.wait_until(lambda: WRONG in " ".join(lumo.texts(lock)), 15, "the wrong password's message")
        self.assertTrue(lumo.find_window(LOCK), "a wrong password took the lock away")
        lumo.screenshot("wrong-password")

        self.unlock(ADMIN[1])
        s = self.active_window(SETTINGS, "the user settings to be active again after the unlock")
        lumo.wait_until(lambda: is_focused(field), 10, "the focus back in 用戶名稱1 after the unlock")
        self.assertEqual(text_of(field), typed, "the typed text changed under the lock")
        lumo.screenshot("unlocked-settings")
        lumo.key("Escape")
        self.question(DISCARD, "the question whether to give up the typed text")
        lumo.key("y")
        lumo.window_gone(SETTINGS, what="the user settings to close")
        self.quit_by_keys()

        rows = [(r["ACTION"], r["OPERATOR"], r["DETAIL"]) for r in self.audit_rows()]
        at = rows.index(("lock", ADMIN[0], "screensaver"))
        self.assertEqual([a for a, _, _ in rows[at:at + 3]], ["lock", "login.failed", "unlock"], rows)
        self.assertEqual(rows[at + 2][2], ADMIN[0], "the unlock does not name who unlocked")
        self.assertIn(("logout", ADMIN[0], ""), rows[at + 3:], "leaving the program is not logged")

    def test_admin_unlocks_a_practitioners_lock(self):
        lumo = self.lumo
        add_operator(lumo, *ADMIN)
        cli(lumo, ["--operator", ADMIN[0], "operator", "add", "--name", PRACTITIONER[0], "--role",
                   "practitioner"], [ADMIN[1], PRACTITIONER[1]])
        self.start_as(*PRACTITIONER)
        m = self.open_measuring_by_keys()
        screen_saver_on("/org/gnome/ScreenSaver", "org.gnome.ScreenSaver")
        lock = self.wait_lock(15, "the lock screen over the practitioner's measuring screen")
        who = lumo.get("text", "操作人員", lock, what="the lock screen's operator field")
        self.assertEqual(text_of(who), PRACTITIONER[0], "the lock screen does not name the operator who worked")

        lumo.step("five wrong passwords: the seconds left count down")
        for _ in range(5):
            self.unlock("not-wu", gone=False)
        button = lumo.get("push button", "解除鎖定", lock, what="the lock screen's 解除鎖定")
        lumo.wait_until(lambda: "秒後再試" in " ".join(lumo.texts(lock)), 15, "the wait's message")
        self.assertFalse(states(button).contains(pyatspi.STATE_ENABLED), "解除鎖定 takes tries during the wait")
        first = " ".join(lumo.texts(lock))
        lumo.wait_until(lambda: " ".join(lumo.texts(lock)) != first and "秒後再試" in " ".join(lumo.texts(lock)),
                        5, "the seconds left to count down")
        lumo.screenshot("unlock-waits")
        lumo.wait_until(lambda: "請再試一次。" in " ".join(lumo.texts(lock)), 40, "the wait's end")
        lumo.wait_until(lambda: states(button).contains(pyatspi.STATE_ENABLED), 5, "解除鎖定 after the wait")

        lumo.step("the admin's name and password")
        lumo.key("shift+Tab")
        lumo.wait_until(lambda: is_focused(who), 5, "Shift+Tab to reach the operator field")
        lumo.key("ctrl+a")
        lumo.type_text(ADMIN[0])
        lumo.key("Tab")
        lumo.screenshot("admin-unlocks")
        self.unlock(ADMIN[1])
        self.back("the admin's unlock")
        self.assertEqual(name(m), MEASURING)
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")
        self.quit_by_keys()
        # The unlock is the admin's act on the practitioner's screens; the session stays the practitioner's.
        rows = [(r["ACTION"], r["OPERATOR"], r["DETAIL"]) for r in self.audit_rows()]
        self.assertEqual([(o, d) for a, o, d in rows if a == "unlock"],
                         [(ADMIN[0], "解除 %s 的鎖定" % PRACTITIONER[0])])
        self.assertIn(("logout", PRACTITIONER[0], ""), rows, "the session is no longer the practitioner's")

    def test_idle_lock_waits_for_the_run(self):
        lumo = self.lumo
        add_operator(lumo, *ADMIN)
        self.start_as(*ADMIN)
        s = self.open_settings_by_keys()
        box = lumo.field_beside("螢幕鎖定:", s, role_="spin button")
        for _ in range(20):
            if lumo.poll(lambda: is_focused(box), 1):
                break
            lumo.key("Tab")
        lumo.key("ctrl+a")
        lumo.type_text("1")
        lumo.wait_until(lambda: lumo.label_text(box).split()[0] == "1", 5, "the box to show 1")
        lumo.key("ctrl+s")
        lumo.window_gone(SETTINGS, what="the user settings to close after Ctrl+S")

        lumo.step("a run waits for the probe longer than the idle time")
        m = self.open_measuring_by_keys()
        lumo.key("F5")
        lumo.button("停止測量", m, enabled=True, what="the run to start after F5")
        self.assertFalse(lumo.poll(lambda: lumo.find_window(LOCK), 75), "the lock came during the measuring run")
        lumo.screenshot("run-not-locked")
        lumo.key("F6")
        lumo.button("經絡測量", m, enabled=True, what="經絡測量 to be enabled after F6")

        lumo.step("idle after the run: the lock comes")
        self.wait_lock(100, "the lock screen a minute after the run's end")
        lumo.screenshot("idle-locked")
        self.unlock(ADMIN[1])
        m = self.back("the unlock after the idle lock")
        lumo.wait_until(lambda: states(m).contains(pyatspi.STATE_ACTIVE), 10, "the measuring screen to be active")
        lumo.key("Escape")
        lumo.window_gone(MEASURING, what="the measuring screen to close on Esc")
        self.quit_by_keys()
        self.assertIn(("lock", "idle"), [(r["ACTION"], r["DETAIL"]) for r in self.audit_rows()])


if __name__ == "__main__":
    unittest.main()
