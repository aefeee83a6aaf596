"""資料備份 under 系統支援: a copy of the main database now, into a folder the
operator names, encrypted with the practice's backup passphrase when ticked.

- By mouse, in practice mode with the admin's passphrase set by lumo-cli: a
  plain copy to a typed folder; then an encrypted one, a wrong passphrase
  refused in the screen (nothing written, the field keeps the focus) and the
  right one accepted; both backups in the audit log with their file and
  whether encrypted. Afterwards `lumo-cli restore` of the encrypted copy,
  logged in with LUMO_PASSWORD and the passphrase on standard input, decrypts it.
- By keys alone, a practitioner alone at home with no passphrase set yet: the
  menu by Alt and the arrows, the folder typed, Tab to 加密備份, Space, the new
  passphrase typed twice, Enter; the copy is encrypted and the passphrase set.
- By keys alone with the main database on a server: 加密備份 is offered there
  too, and the server's dump is written encrypted, with its manifest."""

import json
import os
import subprocess
import unittest
from datetime import date

from lumodriver import binary, extents, is_checked, is_focused, name, text_of
from practicemode import add_operator, log_in
from session import Session
from test_keyboard import KeyboardSession, seed
from test_server import new_database

BACKUP = "資料備份"
ENCRYPT = "加密備份 (檔案離開本機時使用)"
ADMIN = ("Chen", "s3cret-pw")
PASSPHRASE = "river-stone-42"
TODAY = date.today().strftime("%Y%m%d")


def lumo_cli(lumo, args, stdin="", env=None):
    return subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(lumo.data_dir)] + args,
                          input=stdin, text=True, capture_output=True, timeout=120,
                          env=dict(os.environ, **(env or {})))


class BackupSteps:
    """What both sessions share: the screen's fields as a person finds them."""

    def folder_field(self, dialog):
        return self.lumo.get("text", "備份到資料夾", dialog, what="the folder field of 資料備份")

    def passphrase_field(self, dialog, caption):
        return self.lumo.get("password text", caption, dialog, what=f"the field {caption!r}")

    def shows(self, dialog, text):
        return any(text in t for t in self.lumo.texts(dialog))

    def check_fits(self, dialog, when):
        self.assert_fits(dialog, when)
        self.lumo.screenshot("backup-" + when.replace(" ", "-"))

    def encrypt_first_time_by_keys(self, where, when):
        """From the menu by keys: the folder typed, 加密備份 ticked by Space,
        the new passphrase typed twice, Enter; the folder the copy went to."""
        lumo = self.lumo
        lumo.support_menu_item(BACKUP)
        d = self.active_window(BACKUP, f"the backup screen {where}, opened by keys")
        self.wait_focus(d, lambda f: name(f) == "備份到資料夾", "the folder field to have the focus")
        stick = lumo.tmp / "stick"
        lumo.key("ctrl+a")
        lumo.type_text(str(stick))
        box = self.tab_to(d, "check box", ENCRYPT)
        lumo.key("space")
        lumo.wait_until(lambda: is_checked(box), 5, f"加密備份 to be ticked by Space {where}")
        lumo.key("Tab")
        self.wait_focus(d, lambda f: name(f) == "新的備份密語", "the new passphrase field after Tab")
        lumo.type_text(PASSPHRASE)
        lumo.key("Tab")
        self.wait_focus(d, lambda f: name(f) == "再輸入一次備份密語", "the second typing after Tab")
        lumo.type_text(PASSPHRASE)
        self.check_fits(d, when)
        lumo.key("Return")
        return stick


class BackupByMouse(BackupSteps, Session):
    def open_backup(self):
        lumo = self.lumo
        main = self.wait_toolbar_enabled(what="the main tool bar before the menu")
        lumo.click(lumo.get("menu item", "系統支援", main), "the menu 系統支援")
        lumo.click(lumo.get("menu item", BACKUP), "the menu item 資料備份")
        return lumo.window(BACKUP, what="the backup screen opened from the menu")

    def notice(self, text, what):
        lumo = self.lumo
        n = lumo.message(text, 120, what)
        lumo.screenshot("backup-notice")
        lumo.press("確  定", n)
        lumo.window_gone(name(n), what="the notice to close after 確  定")

    def test_plain_then_encrypted_by_mouse(self):
        lumo = self.lumo
        seed(lumo.data_dir)
        add_operator(lumo, *ADMIN)
        set_ = lumo_cli(lumo, ["--operator", ADMIN[0], "backup-passphrase", "set"],
                        env={"LUMO_PASSWORD": ADMIN[1], "LUMO_BACKUP_PASSPHRASE": PASSPHRASE})
        self.assertEqual(set_.returncode, 0, set_.stderr)
        stick = lumo.tmp / "stick"
        lumo.start()
        log_in(lumo, *ADMIN)

        lumo.step("a plain copy to a typed folder")
        d = self.open_backup()
        self.check_fits(d, "opened")
        lumo.click(self.folder_field(d), "the folder field")
        lumo.key("ctrl+a")
        lumo.type_text(str(stick))
        lumo.press("開始備份", d)
        plain = stick / f"lumo4-{TODAY}.mdb"
        self.notice(str(plain), "the notice naming the plain copy")
        lumo.window_gone(BACKUP, what="the backup screen to close after the copy")
        self.assertTrue(plain.is_file(), f"{plain} was not written")

        lumo.step("an encrypted copy: the wrong passphrase refused, then the right one")
        d = self.open_backup()
        self.assertEqual(text_of(self.folder_field(d)).strip(), str(stick),
                         "the folder used last is not proposed again")
        lumo.press(ENCRYPT, d, role_="check box")
        field = self.passphrase_field(d, "備份密語")
        lumo.click(field, "the passphrase field")
        lumo.type_text("not-the-one")
        start = lumo.press("開始備份", d)
        where = extents(start)
        lumo.wait_until(lambda: self.shows(d, "不符"), 60, "the wrong passphrase told in the screen")
        self.assertTrue(is_focused(field), "the passphrase field lost the focus after the refusal")
        self.assertEqual(extents(start), where, "開始備份 moved when the refusal was told")
        self.check_fits(d, "wrong passphrase")
        encrypted = stick / f"lumo4-{TODAY}.mdb.enc"
        self.assertFalse(encrypted.exists(), "a copy was written under a wrong passphrase")
        lumo.type_text(PASSPHRASE)  # the refused text is selected: typing replaces it
        lumo.press("開始備份", d)
        self.notice(str(encrypted), "the notice naming the encrypted copy")
        self.assertTrue(encrypted.is_file())
        self.assertNotIn(b"SQLite format", encrypted.read_bytes()[:64])

        db = lumo.db()
        rows = [r[0] for r in db.execute("SELECT DETAIL FROM LUMOAUDIT WHERE ACTION = 'backup' ORDER BY MKEY")]
        db.close()  # the restore refuses a database another program holds open
        self.assertIn(f"{plain}（未加密）", rows)
        self.assertIn(f"{encrypted}（加密）", rows)
        self.quit_program()

        lumo.step("lumo-cli restore of the encrypted copy")
        restored = lumo_cli(lumo, ["--operator", ADMIN[0], "restore", str(encrypted)], stdin=PASSPHRASE + "\n",
                            env={"LUMO_PASSWORD": ADMIN[1]})
        self.assertEqual(restored.returncode, 0, restored.stderr)
        self.assertIn("已還原資料庫", restored.stdout)


class BackupByKeys(BackupSteps, KeyboardSession):
    def test_first_passphrase_by_keys(self):
        lumo = self.lumo
        seed(lumo.data_dir)
        self.start_to_main()
        self.wait_toolbar_enabled(what="the main tool bar before the menu")
        stick = self.encrypt_first_time_by_keys("in the data directory", "first passphrase")
        encrypted = stick / f"lumo4-{TODAY}.mdb.enc"
        n = self.question(str(encrypted), "the notice naming the encrypted copy")
        lumo.key("Return")
        lumo.window_gone(name(n), what="the notice to close on Enter")
        lumo.window_gone(BACKUP, what="the backup screen to close after the copy")
        self.assertTrue(encrypted.is_file())
        self.assertTrue((lumo.data_dir / "lumo_backup_passphrase").is_file(), "the passphrase was not set")

        lumo.step("Esc leaves the screen without a copy")
        lumo.support_menu_item(BACKUP)
        self.active_window(BACKUP, "the backup screen again")
        lumo.key("Escape")
        lumo.window_gone(BACKUP, what="the backup screen to close on Esc")
        self.assertEqual(sorted(p.name for p in stick.iterdir() if not p.name.endswith(".json")),
                         [encrypted.name])
        self.quit_by_keys()


class ServerBackupByKeys(BackupSteps, KeyboardSession):
    def test_encrypted_dump_by_keys(self):
        lumo = self.lumo
        lumo.args += ["--database", new_database()]
        self.start_to_main()
        self.wait_toolbar_enabled(what="the main tool bar before the menu")
        stick = self.encrypt_first_time_by_keys("on a server", "encrypted dump")
        encrypted = stick / f"lumo4-{TODAY}.dump.enc"
        n = self.question(str(encrypted), "the notice naming the encrypted dump")
        lumo.screenshot("backup-encrypted-dump-notice")
        lumo.key("Return")
        lumo.window_gone(name(n), what="the notice to close on Enter")
        lumo.window_gone(BACKUP, what="the backup screen to close after the dump")
        self.assertNotIn(b"PGDMP", encrypted.read_bytes()[:256], "the dump was written in clear")
        manifest = json.loads((stick / f"{encrypted.name}.json").read_text())
        self.assertTrue(manifest["encrypted"])
        self.assertEqual(sorted(p.name for p in stick.iterdir()), [encrypted.name, f"{encrypted.name}.json"])
        self.assertFalse((lumo.data_dir / "lumo4_encrypting.dump").exists(), "the clear dump was left behind")
        self.quit_by_keys()


if __name__ == "__main__":
    unittest.main()
