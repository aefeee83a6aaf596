#!/usr/bin/env python3
"""scripts/layers on a tree of four folders (tree/), each case a change to a copy of it."""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "scripts", "layers")


def append(path, text):
    def change(root):
        full = Path(root, path)
        full.parent.mkdir(parents=True, exist_ok=True)
        full.write_text((full.read_text() if full.exists() else "") + text)
    return change


def replace(path, old, new):
    def change(root):
        full = Path(root, path)
        assert old in full.read_text(), old
        full.write_text(full.read_text().replace(old, new))
    return change


# name, change to the tree, exit code, a text the messages must hold
CASES = [
    ("clean", lambda root: None, 0, ""),
    ("up from the bottom", append("src/base/b.h", '#include "top/ui/v.h"\n'), 1,
     'src/base/b.h:2: includes "top/ui/v.h", from base (floor 0) up to top/ui (floor 3)'),
    ("listed arrow, unlisted file", append("src/mid/m.h", '#include "top/t.h"\n'), 1, "src/mid/m.h:3:"),
    ("same floor", append("src/mid/m.h", '#include "side/s.h"\n'), 1, "from mid (floor 1) up to side (floor 1)"),
    ("listed arrow gone", replace("src/mid/m.cpp", '#include "top/t.h"\n', ""), 1,
     "the listed arrow mid -> top no longer runs up"),
    ("listed file gone", replace("ARCHITECTURE.md", "`mid/m.cpp`", "`mid/m.cpp`, `mid/old.cpp`"), 1,
     "names src/mid/old.cpp, which no longer includes along it"),
    ("folder on no floor", append("src/extra/e.h", "#pragma once\n"), 1, "src/extra/ is on no floor"),
    ("no floor table", replace("ARCHITECTURE.md", "| Floor |", "| Level |"), 2, "no table headed"),
]


class Layers(unittest.TestCase):
    def test_cases(self):
        for name, change, code, message in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                shutil.copytree(os.path.join(HERE, "tree"), root, dirs_exist_ok=True)
                change(root)
                run = subprocess.run([sys.executable, SCRIPT, "--root", root], capture_output=True, text=True)
                self.assertEqual(run.returncode, code, run.stderr)
                self.assertIn(message, run.stderr)
                self.assertEqual(run.stderr.count("layers:"), 1 if code else 0, run.stderr)


if __name__ == "__main__":
    unittest.main()
