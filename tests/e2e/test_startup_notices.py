"""What the start-up status tells before the first measuring run: a data
directory that takes no writes (the program opens it for reading and keeps a
mark in its status bar), and an earlier database put back after it was
converted (set aside again, nothing appended twice)."""

import hashlib
import shutil
import sqlite3
import subprocess
import unittest

from lumodriver import Lumo, binary, name
from session import STATUS, Session

READ_ONLY = "資料目錄無法寫入，目前只能查閱資料"
READ_ONLY_MARK = "唯讀：資料無法儲存"
PUT_BACK = "lumo.mdb 的資料先前已經轉換到目前的資料庫中"

# Root passes file permissions by; without these capabilities it is bound by them.
UNPRIVILEGED = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search,-fowner", "--inh-caps=-all", "--"]


def prepare(data_dir, subjects=()):
    subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(data_dir), "init"], check=True,
                   capture_output=True, timeout=120)
    db = sqlite3.connect(str(data_dir / "lumo4.mdb"))
    with db:
        for number in subjects:
            db.execute("INSERT INTO ZUCUST (CUSTNO, NAME) VALUES (?, 'Old Subject')", (number,))
    db.close()


def contents(folder):
    """Each data file with its hash; a reader's index and empty log hold no data."""
    out = {}
    for f in sorted(folder.rglob("*")):
        if f.is_file() and not f.name.endswith("-shm") and not (f.name.endswith("-wal") and f.stat().st_size == 0):
            out[str(f.relative_to(folder))] = hashlib.sha256(f.read_bytes()).hexdigest()
    return out


class StartupNotices(Session):
    """Each scenario twice: with the mouse, and with the keyboard alone (the
    notice's 確  定 is its default button; the program is then ended by the
    session, so that no mouse event reaches its windows)."""

    def answer_notice(self, text, what, keyboard):
        """The notice, not the status window behind it (whose status bar says the same)."""
        lumo = self.lumo
        notice = lumo.wait_until(
            lambda: next((w for w in lumo.windows("重要資訊") if any(text in t for t in lumo.texts(w))), None), 60,
            what)
        status = lumo.find_window(STATUS)
        self.assertTrue(status and any(text[:8] in t for t in lumo.texts(status)),
                        "the start-up status window's status bar does not say it")
        lumo.screenshot("notice")
        if keyboard:
            lumo.key("Return")
        else:
            lumo.press("確  定", notice)
        return self.wait_toolbar_enabled(60, "the main tool bar after the notice")

    def end(self, keyboard):
        if keyboard:
            self.lumo.close()
        else:
            self.quit_program()

    def test_read_only_data_directory(self):
        self.read_only_data_directory(False)

    def test_read_only_data_directory_keyboard(self):
        self.read_only_data_directory(True)

    def test_converted_database_put_back(self):
        self.converted_database_put_back(False)

    def test_converted_database_put_back_keyboard(self):
        self.converted_database_put_back(True)

    def read_only_data_directory(self, keyboard):
        lumo = self.lumo
        prepare(lumo.data_dir, ["R1"])
        for p in [lumo.data_dir] + list(lumo.data_dir.rglob("*")):
            p.chmod(0o500 if p.is_dir() else 0o400)
        before = contents(lumo.data_dir)
        lumo.prefix = UNPRIVILEGED
        lumo.start()
        main = self.answer_notice(READ_ONLY, "the start-up notice that nothing can be stored", keyboard)
        self.assertIn(READ_ONLY_MARK, lumo.texts(main), "no read-only mark in the main window's status bar")
        lumo.screenshot("main-window-read-only")
        with lumo.db() as db:
            self.assertEqual(db.execute("SELECT CUSTNO FROM ZUCUST").fetchall(), [("R1",)])
        after = contents(lumo.data_dir)
        self.end(keyboard)
        self.assertEqual(after, before, "a file of the read-only data directory changed")

    def converted_database_put_back(self, keyboard):
        lumo = self.lumo
        prepare(lumo.data_dir)
        old = lumo.data_dir / "old.mdb"
        shutil.copy(lumo.data_dir / "lumo4.mdb", old)
        prepare_old = sqlite3.connect(str(old))
        with prepare_old:
            prepare_old.execute("INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('OLD1', 'Old Subject')")
        prepare_old.close()
        shutil.copy(old, lumo.data_dir / "lumo.mdb")

        lumo.step("the first start converts lumo.mdb")
        self.start_to_main()
        self.assertFalse((lumo.data_dir / "lumo.mdb").exists(), "lumo.mdb was not set aside after converting")
        with lumo.db() as db:
            self.assertEqual(db.execute("SELECT COUNT(*) FROM ZUCUST").fetchone()[0], 1)
        again = Lumo(self.session_name() + "-again")
        shutil.rmtree(again.data_dir)
        shutil.copytree(lumo.data_dir, again.data_dir)
        old = shutil.copy(old, again.tmp / "old.mdb")  # the first run's folder goes with it
        self.end(keyboard)
        self.addCleanup(lumo.close)  # the session's own cleanup takes the second run

        lumo.step("the same file put back: told, set aside, not appended again")
        shutil.copy(old, again.data_dir / "lumo.mdb")
        self.lumo = lumo = again
        lumo.start()
        self.answer_notice(PUT_BACK, "the notice that lumo.mdb was converted before", keyboard)
        self.assertFalse((lumo.data_dir / "lumo.mdb").exists(), "the put-back lumo.mdb was not set aside")
        self.assertTrue((lumo.data_dir / "lumo_BAK.mdb").exists())
        with lumo.db() as db:
            self.assertEqual(db.execute("SELECT COUNT(*) FROM ZUCUST").fetchone()[0], 1, "appended twice")
        self.end(keyboard)


if __name__ == "__main__":
    unittest.main()
