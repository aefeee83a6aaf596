"""Runs the end-to-end sessions with a few pytest-like arguments.

    run.py [FILE ...] [-k SUBSTRING] [-x] [-q] [--list] [--sized] [--shard K/N]
    run.py --update-times FILE ...

FILE selects test_*.py files (default: all in this folder); -k keeps the
sessions whose id (module.Class.test) contains SUBSTRING (may be given more
than once, any match keeps it; a leading 'not ' drops instead); -x stops at
the first failing session.  A session class that names a SCREEN ("1920x1080")
runs only on a screen of that size (E2E_SCREEN); the others run on any size
but are meant for the default one, and --sized leaves them out.  Sessions left
out for their screen are named in the output, never dropped silently.

--shard K/N runs the K-th of N shards of what was selected, so that N runs on
N screens share the sessions: the shards are balanced by the seconds each
session took (times.txt beside this file; a session not listed there counts
as the median of those listed), so a new session lands in a shard by itself.
Each run writes its sessions' seconds to session-times.txt in E2E_ARTIFACTS;
--update-times merges such files into times.txt.

Ends with the line 'N passed, N failed' and exits 1 when a session failed, 5
when none was selected (an empty shard passes).
"""

import argparse
import os
import re
import signal
import statistics
import sys
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
TIMES = HERE / "times.txt"
# What a shard may take by the recorded times (measured on a busy machine), so
# that a ctest run stays short and no test nears its time limit.
SHARD_SECONDS = 300


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


def read_times(path):
    """{session id: seconds} from lines 'SECONDS ID'; '#' starts a comment."""
    times = {}
    if path.exists():
        for line in path.read_text().splitlines():
            parts = line.split("#", 1)[0].split()
            if len(parts) == 2 and re.fullmatch(r"\d+(\.\d+)?", parts[0]):
                times[parts[1]] = float(parts[0])
    return times


def write_times(path, times, header=""):
    rows = "".join(f"{times[t]:.0f} {t}\n" for t in sorted(times))
    path.write_text(header + rows)


def update_times(files):
    """Merges measured session times into times.txt: a session measured again
    takes its new time, the others keep theirs."""
    header = "".join(line + "\n" for line in TIMES.read_text().splitlines() if line.startswith("#")) \
        if TIMES.exists() else ""
    times = read_times(TIMES)
    for f in files:
        times.update(read_times(Path(f)))
    write_times(TIMES, times, header)
    print(f"{TIMES}: {len(times)} sessions, {sum(times.values()):.0f} s in all")
    return 0


def shard(tests, k, n, times):
    """The sessions of shard k (1-based) of n and their expected seconds: the
    longest first, each to the shard with the least so far (ties to the lower
    one), so every run computes the same shards from the same table."""
    default = statistics.median(times.values()) if times else 60.0
    loads = [0.0] * n
    mine = set()
    for t in sorted(tests, key=lambda t: (-times.get(t.id(), default), t.id())):
        i = min(range(n), key=lambda j: (loads[j], j))
        loads[i] += times.get(t.id(), default)
        if i == k - 1:
            mine.add(t.id())
    return [t for t in tests if t.id() in mine], loads[k - 1]


def shard_arg(text):
    m = re.fullmatch(r"(\d+)/(\d+)", text)
    if not m or not 1 <= int(m.group(1)) <= int(m.group(2)):
        raise argparse.ArgumentTypeError(f"--shard takes K/N with 1 <= K <= N, not {text!r}")
    return int(m.group(1)), int(m.group(2))


class Result(unittest.TextTestResult):
    took = {}

    def startTest(self, test):
        print(f"\n===== {test.id()} =====", flush=True)
        self._t0 = time.monotonic()
        super().startTest(test)

    def stopTest(self, test):
        super().stopTest(test)
        took = time.monotonic() - self._t0
        Result.took[test.id()] = took
        print(f"----- {test.id()} took {took:.1f}s", flush=True)


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
    p.add_argument("--sized", action="store_true", help="only the sessions that name this screen's size")
    p.add_argument("--shard", type=shard_arg, metavar="K/N")
    p.add_argument("--update-times", action="store_true", help="merge the FILEs into times.txt")
    a = p.parse_args(argv)
    if a.update_times:
        return update_times(a.files)

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
    if a.sized:
        tests = [t for t in tests if screen_of(t) == here]
    if a.shard:
        k, n = a.shard
        times = read_times(TIMES)
        tests, expected = shard(tests, k, n, times)
        print(f"shard {k} of {n}: {len(tests)} sessions, about {expected:.0f} s by the {len(times)} times "
              f"in {TIMES.name}")
        if expected > SHARD_SECONDS:
            print(f"warning: this shard takes more than {SHARD_SECONDS} s: give ctest more shards "
                  "(lumo_e2e in tests/CMakeLists.txt)")
        if not tests:
            print("0 passed, 0 failed")
            return 0
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
    artifacts = Path(os.environ.get("E2E_ARTIFACTS", HERE.parents[1] / "build" / "e2e-artifacts"))
    if artifacts.is_dir():
        write_times(artifacts / "session-times.txt", Result.took)
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
