"""Practice mode on a disk without encryption: the start-up status says so
once a day, with the advice to use the system's disk encryption; by keys
alone (the notice's 確  定 is its default button)."""

import datetime
import shutil
import sqlite3
import subprocess
import unittest

from lumodriver import Lumo, binary
from session import STATUS, Session

NOT_ENCRYPTED = "不在加密的檔案系統上"
ADVICE = "建議：啟用作業系統的磁碟加密"
DAY_FILE = "lumo_encryption_notice"


def practice(data_dir):
    """A data directory with one operator: practice mode from the first start."""
    subprocess.run([str(binary().with_name("lumo-cli")), "--data-dir", str(data_dir), "init"], check=True,
                   capture_output=True, timeout=120)
    db = sqlite3.connect(str(data_dir / "lumo4.mdb"))
    with db:
        db.execute("INSERT INTO LUMOOPER (NAME, ROLE, PWHASH) VALUES ('admin', 'admin', 'x')")
    db.close()


class AtRest(Session):
    def test_unencrypted_disk_notice_keyboard(self):
        lumo = self.lumo
        # The machine's test disk has no encryption: this session is the first start of its day.
        (lumo.data_dir / DAY_FILE).unlink()
        practice(lumo.data_dir)
        lumo.start()
        notice = lumo.wait_until(
            lambda: next((w for w in lumo.windows("重要資訊") if any(NOT_ENCRYPTED in t for t in lumo.texts(w))),
                         None), 60, "the start-up notice that the data directory is not encrypted")
        texts = " ".join(lumo.texts(notice))
        self.assertIn(str(lumo.data_dir), texts, "the notice does not name the data directory")
        self.assertIn(ADVICE, texts, "the notice gives no advice")
        self.assertTrue(lumo.find_window(STATUS), "the notice did not come from the start-up status")
        lumo.screenshot("notice")
        lumo.key("Return")
        self.wait_toolbar_enabled(60, "the main tool bar after the notice")
        self.assertEqual((lumo.data_dir / DAY_FILE).read_text(), datetime.date.today().isoformat())
        again = Lumo(self.session_name() + "-again")
        shutil.rmtree(again.data_dir)
        shutil.copytree(lumo.data_dir, again.data_dir)
        lumo.close()

        lumo.step("the second start of the day says nothing")
        self.lumo = again
        self.addCleanup(again.close)
        self.start_to_main()
        self.assertFalse(any(NOT_ENCRYPTED in t for w in again.windows("重要資訊") for t in again.texts(w)))


if __name__ == "__main__":
    unittest.main()
