#!/usr/bin/python3
"""What the installed program loads, against what its package declares.

    check_loaded.py PACKAGE.deb ROOT

ROOT holds the package's files (dpkg-deb -x). The program is run from there as
a practice runs it: the window on an X server (Xvfb) with the simulated
instrument until it has drawn its first screen, and the command line's
demonstration, which measures, stores and prints a report to PDF. Each run is
watched for the shared objects the dynamic loader maps (libraries and Qt's
plugins, LD_DEBUG) and the files it opens (fonts, translations: strace).

Every installed package that owns one of them must be among the package's
dependencies (directly, or through the dependencies of those), unless the
system cannot be without it (Essential); and every package the package names
directly must own something the program loaded, so that the list says what the
program needs, no more. Fontconfig's own configuration is left out: it reads
that of every font installed, which is the machine's, not the program's.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

# What the machine decides, not the program: its settings (/etc: time zone,
# users, fontconfig's configuration of every font installed), fontconfig's
# rules, the C library's locale aliases, the desktop's icon and cursor themes
# (looked up when present); and run-time state.
IGNORED = ("/etc/", "/usr/share/fontconfig/", "/usr/share/locale/", "/usr/share/icons/", "/var/", "/proc/",
           "/sys/", "/dev/", "/run/", "/tmp/")
# Libraries Qt loads by name only when the machine has them, and goes on
# without: the X cursor library, for the desktop's cursor theme (with what it
# needs). Qt's plugins are not among them: a missing one is a missing feature.
OPTIONAL = {"libXcursor.so.1"}
# Packages of programs the binaries start by name rather than load (opening a
# document or an address, a server's backup): declared when a binary names
# the program.
STARTED = {"xdg-utils": b"xdg-open", "sensible-utils": b"sensible-browser", "postgresql-client": b"pg_dump",
           "postgresql-client-15": b"pg_dump"}


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def watched(program, logs, wrapper=(), until=None, limit=120):
    """Runs the program with the loader's and strace's logs in `logs` (only the
    program is watched, not the wrapper such as xvfb-run); with `until`, it is
    ended, with its whole process group, once until(paths) holds."""
    trace = logs / "strace"
    argv = list(wrapper) + ["strace", "-f", "-qq", "-e", "trace=openat,open", "-e", "status=successful", "-o",
                            str(trace), "--", "env", "LD_DEBUG=files", f"LD_DEBUG_OUTPUT={logs / 'ld'}"] + program
    p = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, start_new_session=True)
    what = " ".join(program)
    try:
        if until is None:
            _, err = p.communicate(timeout=limit)
            if p.returncode != 0:
                fail(f"{what} ended with {p.returncode}: {err.decode(errors='replace')}")
        else:
            deadline = time.monotonic() + limit
            while not until(loaded(logs)):
                if p.poll() is not None:
                    fail(f"{what} ended early with {p.returncode}: {p.stderr.read().decode(errors='replace')}")
                if time.monotonic() > deadline:
                    fail(f"{what} did not show its window within {limit} s")
                time.sleep(0.5)
    finally:
        if p.poll() is None:
            # The program first (the loader's log is named after its process), so
            # that a wrapper such as xvfb-run ends by itself and cleans up after it.
            for f in logs.glob("ld.*"):
                pid = int(f.suffix[1:]) if f.suffix[1:].isdigit() else 0
                if pid and descends(pid, p.pid):
                    os.kill(pid, signal.SIGTERM)
            try:
                p.wait(30)
            except subprocess.TimeoutExpired:
                os.killpg(p.pid, signal.SIGKILL)
                p.wait()
    return loaded(logs)


def descends(pid, ancestor):
    """Whether process pid still runs and was started, at any depth, by ancestor."""
    while pid > 1:
        try:
            status = Path(f"/proc/{pid}/status").read_text()
        except OSError:
            return False
        pid = int(re.search(r"^PPid:\s*(\d+)", status, re.M).group(1))
        if pid == ancestor:
            return True
    return False


def loaded(logs):
    """The shared objects the loader initialised and the regular files opened,
    without the optional libraries and those only they need."""
    paths, needed_by = set(), {}
    for f in logs.glob("ld.*"):
        for line in f.read_text(errors="replace").splitlines():
            m = re.search(r"calling init: (/\S+)", line)
            if m:
                paths.add(m.group(1))
            m = re.search(r"file=(\S+) \[\d+\];  needed by (\S+)", line)
            if m:
                needed_by.setdefault(os.path.basename(m.group(1)), set()).add(os.path.basename(m.group(2)))
    optional = set(OPTIONAL)
    while True:
        more = {lib for lib, parents in needed_by.items() if lib not in optional and parents <= optional}
        if not more:
            break
        optional |= more
    paths = {p for p in paths if os.path.basename(p) not in optional}
    trace = logs / "strace"
    if trace.exists():
        for line in trace.read_text(errors="replace").splitlines():
            m = re.search(r'open(?:at)?\((?:AT_FDCWD, )?"(/[^"]+)"', line)
            if m and ".so" not in Path(m.group(1)).name:
                paths.add(m.group(1))
    return {p for p in paths if os.path.isfile(p)}


def owners(paths, root):
    """The installed package owning each path (merged /usr: a file may be known under /lib)."""
    found = {}
    for path in sorted(paths):
        if path.startswith(str(root)) or path.startswith(IGNORED):
            continue
        real = os.path.realpath(path)
        candidates = [path, real]
        for p in list(candidates):
            if p.startswith("/usr/lib/"):
                candidates.append(p[len("/usr"):])
            elif p.startswith("/lib/"):
                candidates.append("/usr" + p)
        for c in candidates:
            r = subprocess.run(["dpkg-query", "-S", c], capture_output=True, text=True)
            if r.returncode == 0:
                pkg = r.stdout.splitlines()[0].split(":")[0].split(",")[0].strip()
                found.setdefault(pkg, []).append(path)
                break
    return found


def names(field):
    """Package names of a Depends field, every alternative of each."""
    out = set()
    for group in field.split(","):
        for alt in group.split("|"):
            alt = alt.strip()
            if alt:
                out.add(re.split(r"[\s(:]", alt, 1)[0])
    return out


def installed():
    """name -> (depends, essential), and virtual name -> providers."""
    fmt = "${Package}\t${db:Status-Status}\t${Essential}\t${Depends}, ${Pre-Depends}\t${Provides}\n"
    r = subprocess.run(["dpkg-query", "-W", "-f", fmt], capture_output=True, text=True, check=True)
    packages, provides = {}, {}
    for line in r.stdout.splitlines():
        name, status, essential, depends, provided = (line.split("\t") + [""] * 5)[:5]
        if status != "installed":
            continue
        packages[name] = (names(depends), essential == "yes")
        for v in names(provided):
            provides.setdefault(v, set()).add(name)
    return packages, provides


def closure(direct, packages, provides):
    seen, todo = set(), list(direct)
    while todo:
        n = todo.pop()
        for real in ({n} if n in packages else set()) | provides.get(n, set()):
            if real not in seen:
                seen.add(real)
                todo.extend(packages[real][0])
    return seen


def main():
    deb, root = Path(sys.argv[1]), Path(sys.argv[2]).resolve()
    declared = names(subprocess.run(["dpkg-deb", "-f", str(deb), "Depends"], capture_output=True, text=True,
                                    check=True).stdout)
    work = Path(tempfile.mkdtemp(prefix="lumo-loaded-"))
    try:
        check(root, declared, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def check(root, declared, work):
    for k in [k for k in os.environ if k.startswith("QT_")]:
        del os.environ[k]
    os.environ.update(HOME=str(work / "home"), XDG_RUNTIME_DIR=str(work / "runtime"), LANG="C.UTF-8")
    os.makedirs(work / "runtime", mode=0o700)

    gui_logs, cli_logs = work / "gui", work / "cli"
    gui_logs.mkdir()
    cli_logs.mkdir()
    # The window: drawn once its widgets' font and Qt's Chinese texts are in.
    drawn = lambda paths: (any(p.endswith("/libqxcb.so") for p in paths) and any(p.endswith(".qm") for p in paths)
                           and any(p.startswith("/usr/share/fonts/") for p in paths))
    used = watched([str(root / "usr/bin/lumo"), "--simulate", "--data-dir", str(work / "gui-data")], gui_logs,
                   ["xvfb-run", "-a", "-s", "-screen 0 1366x768x24"], drawn)
    used |= watched([str(root / "usr/bin/lumo-cli"), "--data-dir", str(work / "cli-data"), "demo", "--out",
                     str(work / "report")], cli_logs)
    if not list((work / "report").glob("*.pdf")):
        fail("the demonstration printed no report")

    packages, provides = installed()
    reached = closure(declared, packages, provides)
    by_package = owners(used, root)
    missing = {p: files for p, files in by_package.items() if p not in reached and not packages.get(p, ((), False))[1]}
    binaries = b"".join((root / "usr/bin" / b).read_bytes() for b in ("lumo", "lumo-cli"))
    started = {d for d in declared if STARTED.get(d, b"\0") in binaries}
    unused = sorted(d for d in declared
                    if d not in started and not (({d} | provides.get(d, set())) & set(by_package)))
    for p, files in sorted(missing.items()):
        print(f"used but not declared: {p} ({', '.join(files[:3])})", file=sys.stderr)
    for d in unused:
        print(f"declared but never loaded: {d}", file=sys.stderr)
    if missing or unused:
        fail("the package's dependencies are not what the program loads")
    print(f"loaded: {len(used)} files of {len(by_package)} packages, all declared; "
          f"every one of the {len(declared)} declared packages loaded")


if __name__ == "__main__":
    main()
