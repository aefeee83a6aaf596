"""Practice mode on a disk without encryption: the start-up status says so
once a day, with the advice to use the system's disk encryption; by keys
alone (the notice's 確  定 is its default button)."""

import datetime
import shutil
import unittest

from lumodriver import Lumo
from practicemode import add_operator, log_in
from session import STATUS, Session

NOT_ENCRYPTED = "不在加密的檔案系統上"
ADVICE = "建議：啟用作業系統的磁碟加密"
DAY_FILE = "lumo_encryption_notice"


ADMIN = ("Chen", "s3cret-pw")


class AtRest(Session):
    def test_unencrypted_disk_notice_keyboard(self):
        lumo = self.lumo
        # The machine's test disk has no encryption: this session is the first start of its day.
        (lumo.data_dir / DAY_FILE).unlink()
        add_operator(lumo, *ADMIN)
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
        log_in(lumo, *ADMIN)
        self.wait_toolbar_enabled(60, "the main tool bar after the notice and the login")
        self.assertEqual((lumo.data_dir / DAY_FILE).read_text(), datetime.date.today().isoformat())
        again = Lumo(self.session_name() + "-again")
        shutil.rmtree(again.data_dir)
        shutil.copytree(lumo.data_dir, again.data_dir)
        lumo.close()

        lumo.step("the second start of the day says nothing")
        self.lumo = again
        self.addCleanup(again.close)
        again.start()
        log_in(again, *ADMIN)
        self.wait_toolbar_enabled(60, "the main tool bar after the login")
        self.assertFalse(any(NOT_ENCRYPTED in t for w in again.windows("重要資訊") for t in again.texts(w)))


if __name__ == "__main__":
    unittest.main()
