#!/usr/bin/env python3
# Kills the POSIX installer with SIGKILL at many moments while it rewrites a large registry
# file (PACKAGEFILE) and saves large help files (HELPFILE). Wherever it dies, each file must
# be exactly its old or its new content, the steps must show in their order, and a later run
# must still finish the installation. A run whose saves find the disk full must leave every
# file as it was and no temporary file; a save keeps the registry file's mode.
#
#   kill.py SETUP    SETUP: the built ferrowind-setup
import os
import random
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

setup = os.path.abspath(sys.argv[1])
# Memory-backed when there is such a folder: a killed process leaves the page cache as it was
# on any file system, and the kills stay quick without the disk's syncs.
work = tempfile.mkdtemp(prefix="ferrowind-crash-", dir="/dev/shm" if os.access("/dev/shm", os.W_OK) else None)
package, host = os.path.join(work, "package"), os.path.join(work, "host")
help = os.path.join(host, "Delphi 3", "Help", "Delphi3.")
key = "\\SOFTWARE\\Borland\\Delphi\\3.0"
# Help files far larger than a real IDE has, so that their saves take long enough to hit, and a
# registry file with thousands of values around the keys the run writes.
registry = ('REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE%s]\r\n"RootDir"="%s"\r\n"Version"="Client/Server"\r\n\r\n'
            "[HKEY_CURRENT_USER%s\\Known Packages]\r\n" % (key, os.path.join(host, "Delphi 3"), key) +
            "".join('"C:\\\\Vendors\\\\pack%d.dpl"="Vendor package %d"\r\n' % (i, i) for i in range(1500)) +
            '\r\n[HKEY_CURRENT_USER%s\\Palette]\r\n"Standard"="TLabel;TEdit;"\r\n' % key)
old = {os.path.join(host, "registry.reg"): registry.encode(),
       help + "cfg": "".join(":Link vendor%d.hlp\r\n" % i for i in range(6000)).encode(),
       help + "cnt": (":Base delphi3.hlp\r\n:Title Delphi Help\r\n" +
                      "".join(":Index Vendor %d=vendor%d.hlp\r\n" % (i, i) for i in range(2000))).encode(),
       help + "gid": b"index cache"}
paths = list(old)  # in the order the run changes them
os.makedirs(package)
open(os.path.join(package, "Setup.cfg"), "wb").write(
    b"PACKAGE=Widget Pack\r\nLANGUAGE=Delphi 3\r\nPACKAGEFILE=WidgetPack.dpl\r\nHELPFILE=Widgets.hlp\r\n\r\n")
answers = os.path.join(work, "answers")
open(answers, "wb").write(b"\n" * 16)
env = dict(os.environ, FERROWIND_REGISTRY=paths[0])
failures = []


def Restore():
    """The IDE as before the installation, without what killed runs left beside the files."""
    shutil.rmtree(host, ignore_errors=True)
    for path, data in old.items():
        os.makedirs(os.path.dirname(path), exist_ok=True)
        open(path, "wb").write(data)


def Read(path):
    return open(path, "rb").read() if os.path.exists(path) else None


def Start(output=subprocess.DEVNULL, limit=None):
    return subprocess.Popen([setup], cwd=package, env=env, stdin=open(answers, "rb"), stdout=output,
                            stderr=subprocess.DEVNULL, preexec_fn=limit)


def DiskFull():
    """A file may grow to 64 bytes, and the signal for a larger one is ignored: writes fail."""
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (64, resource.RLIM_INFINITY))


def Install():
    run = Start(subprocess.PIPE)
    output = run.communicate()[0]
    if run.returncode != 0 or b"All Components installed\nHelp installed" not in output:
        sys.exit("the installation did not finish: exit %d\n%s" % (run.returncode, output.decode(errors="replace")))
    return {path: Read(path) for path in paths}


try:
    Restore()
    started = time.monotonic()
    new = Install()
    full = time.monotonic() - started
    # Each rewritten, except the index cache, which is gone.
    if any(new[p] == old[p] or (new[p] is None) != (p == paths[-1]) for p in paths):
        sys.exit("the installation left a file as it was")
    rng, states, midway = random.Random(12345), set(), 0
    for kill in range(200):
        Restore()
        # Kill moments spread over the whole run, a little past its end included.
        delay = rng.uniform(0, max(full * 1.1, 0.001))
        child = Start()
        time.sleep(delay)
        child.send_signal(signal.SIGKILL)
        child.wait()
        state = ""
        for letter, path in zip("RCIG", paths):  # registry, help configuration, contents, cache
            now = Read(path)
            if now not in (old[path], new[path]):
                sys.exit("%s torn by a kill at %.0f us" % (path, delay * 1e6))
            state += letter if now == new[path] else "-"
        states.add(state)
        # The directives act in file order: registration, then the link, then the cache removal.
        if state[1] != "-" and state[0] != "R":
            failures.append("help saved before the package was registered: " + state)
        if state[3] != "-" and state[1:3] != "CI":
            failures.append("cache removed before the help was saved: " + state)
        midway += child.returncode == -signal.SIGKILL and state not in ("----", "RCIG")
        # Every twentieth time, a new run over what the killed one left must finish the job.
        if kill % 20 == 0 and Install() != new:
            failures.append("a run after kill %d did not finish the installation" % kill)
    Restore()
    os.chmod(paths[0], 0o640)
    output = Start(subprocess.PIPE, DiskFull).communicate()[0]
    left = sorted(os.path.join(b, n) for b, _, ns in os.walk(host) for n in ns)
    if b"NO Components installed\nNO Help installed" not in output or left != sorted(paths) or \
            any(Read(p) != old[p] for p in paths):
        failures.append("a full disk left files changed or behind: %s\n%s" % (left, output.decode(errors="replace")))
    if Install() != new or os.stat(paths[0]).st_mode & 0o777 != 0o640:
        failures.append("the registry file lost its mode 0640")
    # The kills must have landed between the steps, not only before or after the run.
    if midway < 3 or len(states) < 3:
        failures.append("kill moments missed the writes: %d midway, states %s" % (midway, sorted(states)))
finally:
    shutil.rmtree(work, ignore_errors=True)
print("\n".join(failures) or "every file old or new at 200 kills (states %s)" % " ".join(sorted(states)))
sys.exit(1 if failures else 0)
