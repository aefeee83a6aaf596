"""Runs the end-to-end sessions with a few pytest-like arguments.

    run.py [FILE ...] [-k SUBSTRING] [-x] [-q] [--list]

FILE selects test_*.py files (default: all in this folder); -k keeps the
sessions whose id (module.Class.test) contains SUBSTRING (may be given more
than once, any match keeps it; a leading 'not ' drops instead); -x stops at
the first failing session.  A session class that names a SCREEN ("1920x1080")
runs only on a screen of that size (E2E_SCREEN); the others run on any size
but are meant for the default one.  Sessions left out for their screen are
named in the output, never dropped silently.  Ends with the line 'N passed, N failed' and exits
1 when a session failed, 5 when none was selected.
"""

import argparse
import os
import signal
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent


def sessions(files):
    loader = unittest.TestLoader()
    suite = unittest.TestSuite()
    for f in files:
        mod = Path(f).stem
        suite.addTests(loader.loadTestsFromName(mod))
    out = []

    def flatten(s):
        for t in s:
            if isinstance(t, unittest.TestSuite):
                flatten(t)
            else:
                out.append(t)
    flatten(suite)
    return out


def screen_of(test):
    """The screen size a session needs, or None when any will do."""
    return getattr(type(test), "SCREEN", None)


def selected(test, keys):
    if not keys:
        return True
    tid = test.id()
    keep = [k for k in keys if not k.startswith("not ")]
    drop = [k[4:] for k in keys if k.startswith("not ")]
    if any(d in tid for d in drop):
        return False
    return not keep or any(k in tid for k in keep)


class Result(unittest.TextTestResult):
    def startTest(self, test):
        print(f"\n===== {test.id()} =====", flush=True)
        self._t0 = time.monotonic()
        super().startTest(test)

    def stopTest(self, test):
        super().stopTest(test)
        print(f"----- {test.id()} took {time.monotonic() - self._t0:.1f}s", flush=True)


def main(argv):
    # Ended from outside: as an interrupt, which unittest lets through (it would record
    # SystemExit as one failed session and go on); the programs still running are then killed.
    def interrupted(*_):
        raise KeyboardInterrupt("terminated")
    signal.signal(signal.SIGTERM, interrupted)
    p = argparse.ArgumentParser(description="lumo end-to-end sessions")
    p.add_argument("files", nargs="*")
    p.add_argument("-k", action="append", default=[])
    p.add_argument("-x", "--exitfirst", action="store_true")
    p.add_argument("-q", "--quiet", action="store_true")
    p.add_argument("--list", action="store_true")
    a = p.parse_args(argv)

    sys.path.insert(0, str(HERE))
    # Start-up first: when it fails, nothing after it can be trusted.
    files = [Path(f) for f in a.files] or sorted(HERE.glob("test_*.py"), key=lambda f: (f.name != "test_startup.py", f.name))
    for f in files:
        if not (HERE / f.name).exists():
            print(f"no such session file: {f}", file=sys.stderr)
            return 4
    tests = [t for t in sessions(files) if selected(t, a.k)]
    here = os.environ.get("E2E_SCREEN", "1366x768")
    elsewhere = [t for t in tests if screen_of(t) not in (None, here)]
    tests = [t for t in tests if t not in elsewhere]
    for t in elsewhere:
        print(f"not run on this {here} screen: {t.id()} (needs E2E_SCREEN={screen_of(t)})")
    if a.list:
        for t in tests:
            print(t.id())
        return 0
    if not tests:
        print("no sessions selected")
        print("0 passed, 0 failed")
        return 5

    runner = unittest.TextTestRunner(stream=sys.stdout, verbosity=1 if a.quiet else 2, failfast=a.exitfirst,
                                     resultclass=Result, warnings=None)
    result = runner.run(unittest.TestSuite(tests))
    failed = len(result.failures) + len(result.errors)
    skipped = len(result.skipped)
    passed = result.testsRun - failed - skipped
    if failed:
        print("\nFailed sessions:")
        for t, _ in result.failures + result.errors:
            print(f"  {t.id()}")
    line = f"{passed} passed, {failed} failed" + (f", {skipped} skipped" if skipped else "")
    print(line, flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
