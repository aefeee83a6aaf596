"""The operator's own treatment programs and settings, worked as a person
works them: a program added in the group editor with a picture and a
program button, a condition built in the panels, changed, given up and
deleted, the program changed and deleted; a program built so that a typed
measurement meets it is proposed by the analysis screen; the user settings
changed, with the main window following.  Every screen must give the main
window back with its tool bar enabled."""

import struct
import unittest
import zlib

from lumodriver import MAIN_TITLE, Lumo, children, extents, is_checked, is_enabled, is_showing, name, role, text_of

PROGRAMS = "自訂專家療程"
EDITOR = "專家療程異動"
PICTURE_DIALOG = "選擇圖片"
SETTINGS = "用戶基本資料設定"
MEASURING = "經絡量測"
MANUAL = "經絡能量數據新增輸入"
ANALYSIS = "資料分析"
QUERY = "【查詢療程模式】"
ADDING = "【新增條件模式】"
MODIFYING = "【修改療程模式】"
ZEROS = "0" * 24


def caption(text):
    """A tool button's caption as shown (the system's captions keep blanks around them)."""
    return lambda n: n.strip() == text


def write_png(path, width, height, rgb):
    """A plain PNG without any imaging library."""
    raw = b"".join(b"\x00" + bytes(rgb) * width for _ in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")
    path.write_bytes(png)


def position(cond, p):
    return cond[:p - 1] + "1" + cond[p:]


class Treatment(unittest.TestCase):
    def setUp(self):
        module = type(self).__module__.replace("test_", "", 1)
        self.lumo = Lumo(f"{module}.{self._testMethodName.replace('test_', '', 1)}")
        self.addCleanup(self._finish)

    def _finish(self):
        outcome = getattr(self, "_outcome", None)
        if outcome is None or not getattr(outcome, "success", False):
            self.lumo.keep_data()
        rc = self.lumo.close()
        self.lumo.step(f"finished (program exit code {rc})")

    # ---- the main window

    def main(self):
        return self.lumo.window(MAIN_TITLE, 60, role_="frame", what="the main window to show")

    def toolbar(self, main):
        bars = self.lumo.find_all("tool bar", within=main)
        return [b for b in children(bars[0]) if role(b) == "push button" and is_showing(b)] if bars else []

    def main_ready(self, after):
        """The main window with every tool bar button enabled."""
        main = self.main()
        self.lumo.wait_until(lambda: self.toolbar(main) and all(is_enabled(b) for b in self.toolbar(main)), 30,
                             f"the main window's tool bar to be enabled after {after}")
        return main

    def start(self):
        self.lumo.start()
        self.main_ready("start-up")
        self.lumo.screenshot("main-window")

    def quit(self):
        lumo = self.lumo
        lumo.press("離開系統", self.main_ready("the last screen"))
        q = lumo.message("您確定要結束本系統嗎", what="the question whether to end the program")
        lumo.press("是", q)
        self.assertEqual(lumo.wait_exit(30), 0, "the program's exit code")

    # ---- reading the screens

    def status(self, window):
        texts = self.lumo.texts(window)
        return next((t for t in texts if t.startswith("【") and t.endswith("模式】")), None)

    def wait_status(self, window, wanted, after):
        self.lumo.wait_until(lambda: self.status(window) == wanted, 15,
                             f"the status line to read {wanted!r} after {after} (it reads {self.status(window)!r})")

    def grid_with(self, window, header):
        t = self.lumo.table_with_header(window, header)
        if t is None and header in ("條件名稱", "必須", "說明"):  # an empty grid shows no column headers
            t = self.lumo.find("table", "療程條件", window)
        self.assertIsNotNone(t, f"no grid with the column {header!r} in {name(window)!r}")
        return t

    def cell_showing(self, window, header, text):
        grid = self.grid_with(window, header)

        def look():
            for r in range(grid.queryTable().nRows):
                for c in range(grid.queryTable().nColumns):
                    if self.lumo.cell_text(grid, r, c) == text:
                        return self.lumo.cell(grid, r, c)
            return None
        return self.lumo.wait_until(look, 15, f"a cell reading {text!r} in the grid with {header!r}")

    def box(self, window, label):
        return self.lumo.get("check box", label, window)

    def tick(self, window, label, on=True):
        b = self.box(window, label)
        if is_checked(b) != on:
            self.lumo.click(b, f"the box {label!r}")
            self.lumo.wait_until(lambda: is_checked(b) == on, 10, f"the box {label!r} to be {'ticked' if on else 'unticked'}")

    def type_into(self, field, text, what, replace=False):
        lumo = self.lumo
        lumo.click(field, what)
        if replace:
            lumo.key("ctrl+a")
        lumo.type_text(text)
        lumo.wait_until(lambda: text_of(field).strip() == text.strip(), 10, f"{what} to read {text!r}")

    def field(self, window, label):
        f = self.lumo.field_beside(label, window)
        self.assertIsNotNone(f, f"no text field beside {label!r} in {name(window)!r}")
        return f

    def named_field(self, window, accessible):
        return self.lumo.get("text", accessible, window)

    def stored(self):
        with self.lumo.db() as db:
            programs = db.execute("SELECT ProNo, ProName, ProFN, length(ProPict), ProScal, ProPrg1, ProParm1 "
                                  "FROM ZUPRO ORDER BY MKEY").fetchall()
            conditions = db.execute("SELECT ProNo, ProSubN, ProCond, ProAnd, ProFlg FROM ZUPRDT ORDER BY MKEY").fetchall()
        return programs, conditions

    # ---- the steps

    def open_programs(self):
        lumo = self.lumo
        lumo.press("專家療程", self.main_ready("before 專家療程"))
        w = lumo.window(PROGRAMS, what=f"the treatment program screen {PROGRAMS!r} after 專家療程")
        self.wait_status(w, QUERY, "opening")
        return w

    def add_program(self, w, number, program_name, picture):
        """新增療程: number, name, a picture through the picture dialog, program row 1."""
        lumo = self.lumo
        lumo.press("新增療程", w)
        e = lumo.window(EDITOR, what=f"the group editor {EDITOR!r} after 新增療程")
        save = lumo.button(caption("儲存資料"), e)
        self.assertFalse(is_enabled(save), "儲存資料 is enabled while the number is empty")
        lumo.screenshot("group-editor-add")
        self.type_into(self.field(e, "療程編號"), number, "the number field 療程編號")
        lumo.button(caption("儲存資料"), e, enabled=True, what="儲存資料 to be enabled once a number is typed")
        self.type_into(self.field(e, "療程名稱"), program_name, "the name field 療程名稱")
        lumo.press("異  動", e)
        d = lumo.window(PICTURE_DIALOG, what=f"the picture dialog {PICTURE_DIALOG!r} after 異  動")
        lumo.screenshot("picture-dialog")
        lumo.type_text(str(picture))
        lumo.key("Return")
        lumo.window_gone(PICTURE_DIALOG, what="the picture dialog to close after choosing the file")
        self.tick(e, "程式 1")
        self.type_into(self.named_field(e, "執行功能程式 1"), "/bin/true", "program row 1's program")
        self.type_into(self.named_field(e, "參數與檔案 1"), "--version", "program row 1's parameter")
        lumo.screenshot("group-editor-filled")
        lumo.press(caption("儲存資料"), e)
        lumo.window_gone(EDITOR, what="the group editor to close after 儲存資料")
        self.cell_showing(w, "療程編號", number)

    def enter_condition_grid(self, w):
        grid = self.grid_with(w, "條件名稱")
        x, y, width, height = extents(grid)
        self.lumo.click_point(x + width // 2, y + height - 12, "the condition grid")

    def add_condition(self, w, condition_name, boxes):
        lumo = self.lumo
        self.enter_condition_grid(w)
        lumo.press("新增條件", w)
        self.wait_status(w, ADDING, "新增條件")
        self.type_into(self.field(w, "條件名稱:"), condition_name, "the condition name 條件名稱")
        for b in boxes:
            self.tick(w, b)
        lumo.screenshot("adding-a-condition")
        lumo.press("確認異動", w)
        self.wait_status(w, QUERY, "確認異動")

    # ---- the sessions

    def test_programs_and_settings(self):
        lumo = self.lumo
        picture = lumo.tmp / "liver.png"
        write_png(picture, 120, 80, (200, 120, 40))
        self.start()
        w = self.open_programs()
        self.assertFalse(is_enabled(lumo.button("修改療程", w)), "修改療程 is enabled without programs")
        lumo.screenshot("programs-empty")
        self.add_program(w, "LIV01", "Liver care", picture)
        programs, _ = self.stored()
        self.assertEqual(len(programs), 1, f"programs stored: {programs}")
        no, pname, flags, picture_bytes, _, prog, parm = programs[0]
        self.assertEqual((no, pname, flags, prog, parm), ("LIV01", "Liver care", "1000", "/bin/true", "--version"))
        self.assertEqual(picture_bytes, picture.stat().st_size, "the stored picture is not the chosen file")
        lumo.button("自訂功能鍵 1", w, enabled=True, what="program button 1 to be enabled for the new program")
        lumo.screenshot("program-added")
        self.conditions_built_and_changed(w)
        self.program_changed(w)
        self.deletions(w)
        lumo.press("離  開", w)
        lumo.window_gone(PROGRAMS, what="the treatment program screen to close after 離  開")
        self.user_settings(self.main_ready("leaving the treatment program screen"))
        self.quit()

    def conditions_built_and_changed(self, w):
        """A condition (肺經 required and 虛證, itself required), a change given
        up with 放  棄, and a change confirmed."""
        lumo = self.lumo
        self.add_condition(w, "lung weak", ["肺經", "肺經虛證", "必須條件"])
        _, conditions = self.stored()
        self.assertEqual(conditions, [("LIV01", "lung weak", position(ZEROS, 6), position(ZEROS, 6), 1)])
        self.cell_showing(w, "必須", "X")
        lumo.screenshot("condition-added")
        lumo.click(self.cell_showing(w, "條件名稱", "lung weak"), "the condition's row")
        lumo.press("修改條件", w)
        self.wait_status(w, MODIFYING, "修改條件")
        self.tick(w, "脾經實證")
        lumo.screenshot("modifying-a-condition")
        lumo.press("放  棄", w)
        self.wait_status(w, QUERY, "放  棄")
        self.assertEqual(self.stored()[1], conditions, "放  棄 changed the stored condition")
        lumo.press("修改條件", w)
        self.tick(w, "性別條件")
        lumo.click(lumo.get("radio button", "女性", w), "女性")
        lumo.press("確認異動", w)
        self.wait_status(w, QUERY, "確認異動 of the change")
        cond = self.stored()[1][0][2]
        self.assertEqual(cond, position(ZEROS, 6)[:23] + "2", "the changed condition string")

    def program_changed(self, w):
        """修改療程: the number stays, the name changes, the condition stays."""
        lumo = self.lumo
        lumo.click(self.cell_showing(w, "療程編號", "LIV01"), "the program's row")
        lumo.press("修改療程", w)
        e = lumo.window(EDITOR, what="the group editor after 修改療程")
        self.assertFalse(is_enabled(self.field(e, "療程編號")), "the number can be changed in edit mode")
        lumo.screenshot("group-editor-edit")
        self.type_into(self.field(e, "療程名稱"), "Liver and gall", "the name field", replace=True)
        lumo.press(caption("儲存資料"), e)
        lumo.window_gone(EDITOR, what="the group editor to close after saving the change")
        self.cell_showing(w, "療程名稱", "Liver and gall")
        self.assertEqual(len(self.stored()[1]), 1, "the changed program lost its condition")

    def deletions(self, w):
        """刪除條件 answered 否, then 是; 刪除療程 of a program with three conditions."""
        lumo = self.lumo
        self.enter_condition_grid(w)
        lumo.click(self.cell_showing(w, "條件名稱", "lung weak"), "the condition's row")
        lumo.press("刪除條件", w)
        q = lumo.message("您確定要刪除【lung weak】這筆條件嗎 ?")
        lumo.screenshot("delete-condition-question")
        lumo.press("否", q)
        self.wait_status(w, QUERY, "否")
        self.assertEqual(len(self.stored()[1]), 1)
        lumo.press("刪除條件", w)
        lumo.press("是", lumo.message("這筆條件嗎"))
        lumo.wait_until(lambda: not self.stored()[1], 10, "the condition to be deleted")
        for n in (1, 2, 3):
            self.add_condition(w, f"c{n}", [f"{'心經' if n == 1 else '胃經'}虛證"])
        self.assertEqual(len(self.stored()[1]), 3)
        lumo.click(self.cell_showing(w, "療程編號", "LIV01"), "the program's row")
        lumo.press("刪除療程", w)
        q = lumo.message("您確定要刪除【Liver and gall】這筆療程群組嗎 ?")
        lumo.screenshot("delete-program-question")
        lumo.press("是", q)
        lumo.wait_until(lambda: self.stored() == ([], []), 10, "the program and its three conditions to be deleted")
        self.wait_status(w, QUERY, "deleting the program")

    def user_settings(self, main):
        """用戶資料設定: a new name in the status bar, custom button 2 hidden."""
        lumo = self.lumo
        lumo.click(lumo.get("menu item", "系統支援", main), "the menu 系統支援")
        lumo.click(lumo.get("menu item", "用戶資料設定"), "the menu item 用戶資料設定")
        s = lumo.window(SETTINGS, what=f"the user settings {SETTINGS!r}")
        lumo.screenshot("settings-user-page")
        self.type_into(self.field(s, "用戶名稱1:"), "Renxin Clinic", "用戶名稱1", replace=True)
        lumo.click(lumo.get("page tab", "外掛功能", s), "the page 外掛功能")
        self.tick(s, "程式 2", on=False)
        lumo.screenshot("settings-custom-buttons")
        lumo.press(caption("儲存資料"), s)
        lumo.window_gone(SETTINGS, what="the user settings to close after 儲存資料")
        main = self.main_ready("saving the user settings")
        lumo.wait_until(lambda: "Renxin Clinic" in lumo.texts(main), 10, "the status bar to show the new name")
        shown = [name(b) for b in self.toolbar(main)]
        self.assertNotIn("功能 2", shown, f"custom button 2 still shows: {shown}")
        self.assertIn("功能1", shown)
        lumo.screenshot("main-after-settings")
        lines = (lumo.data_dir / "ZuDefTw.ini").read_bytes().decode("cp950").split("\r\n")
        self.assertEqual((lines[6], lines[17]), ("Renxin Clinic", "101000"))

    def test_built_program_is_proposed(self):
        """A program whose one condition is 肺經 虛證: a measurement with both
        lung points far below the others is proposed it on page 專家療程."""
        lumo = self.lumo
        picture = lumo.tmp / "lung.png"
        write_png(picture, 60, 40, (40, 120, 200))
        self.start()
        w = self.open_programs()
        self.add_program(w, "LU1", "Lung support", picture)
        self.add_condition(w, "both lungs low", ["肺經虛證"])
        lumo.press("離  開", w)
        lumo.window_gone(PROGRAMS)
        main = self.main_ready("leaving the treatment program screen")

        lumo.press("經絡測量", main)
        m = lumo.window(MEASURING, what="the measuring screen")
        lumo.press("數據輸入", m)
        e = lumo.window(MANUAL, what="the manual-entry screen")
        grid = lumo.grid(e)
        for k in range(1, 25):
            value = "5" if k in (1, 7) else "50"  # points 1 and 7: the lung, left and right
            r, c = lumo.grid_position(k)
            lumo.click(lumo.cell(grid, r, c), f"cell {k}")
            lumo.type_text(value)
            lumo.key("Return")
        lumo.screenshot("typed-values")
        lumo.press("儲存數據", e)
        lumo.window_gone(MANUAL)
        m = lumo.window(MEASURING)
        lumo.press("能量分析", m)
        a = lumo.window(ANALYSIS, what="the analysis screen")
        lumo.click(lumo.get("page tab", "專家療程", a), "the page 專家療程")
        lumo.get("list item", "Lung support", a, what="the program to be proposed on page 專家療程")
        lumo.screenshot("analysis-proposes-the-program")
        lumo.press("離  開", a)
        lumo.window_gone(ANALYSIS)
        m = lumo.window(MEASURING)
        lumo.press("離  開", m)
        lumo.window_gone(MEASURING)
        self.quit()


if __name__ == "__main__":
    unittest.main()
