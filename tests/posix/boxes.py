#!/usr/bin/env python3
# The POSIX program's boxes on the terminal: how each typed answer is taken. The installer
# asks twice (two LANGUAGE lines), so a row's input answers the first question and, when that
# is OK, the second; the transcript shows how often it asked and whether the run reached its
# summary. An answer it does not know asks again; the end of input is Cancel; an information
# box takes any answer as OK; nothing after an answer's line is read for it.
#
#   boxes.py SETUP    SETUP: the built ferrowind-setup
import os
import subprocess
import sys
import tempfile

Rows = [  # input, questions asked, summary reached
    ("", 1, False), ("C\n", 1, False), ("cancel\n", 1, False), ("n\n", 1, False), ("No\r\n", 1, False),
    ("\nn\n", 2, False), ("ok\nn\n", 2, False), ("O\nn\n", 2, False), ("y\nn\n", 2, False), (" YES\r\nn\n", 2, False),
    ("maybe\nyes\nn\n", 3, False), ("what\n", 2, False), ("\n\ncancel\n", 2, True)]
failures = []
with tempfile.TemporaryDirectory() as work:
    open(os.path.join(work, "Setup.cfg"), "wb").write(b"PACKAGE=P\r\nLANGUAGE=Delphi 3\r\nLANGUAGE=Delphi 3\r\n\r\n")
    registry = os.path.join(work, "registry.reg")
    for typed, asked, summary in Rows:
        open(registry, "wb").write(b'REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\Delphi\\3.0]\r\n"RootDir"="%s"\r\n'
                                   % work.encode())
        # Input for whatever runs next stays unread once the run has its summary.
        with tempfile.TemporaryFile() as given:
            given.write(typed.encode() + (b"rest of input\n" if summary else b""))
            given.seek(0)
            shown = subprocess.run([os.path.abspath(sys.argv[1])], cwd=work, stdin=given, capture_output=True,
                                   env=dict(os.environ, FERROWIND_REGISTRY=registry)).stdout.decode()
            read = os.lseek(given.fileno(), 0, os.SEEK_CUR)
        seen = (shown.count("[OK/Cancel]\n"), "\nNO Help installed\n[OK]\n" in shown and read == len(typed))
        if seen != (asked, summary):
            failures.append("%r: asked %d times, summary %s; expected %d, %s\n%s" % (typed, *seen, asked, summary, shown))
print("\n".join(failures) or "%d inputs taken as they should be" % len(Rows))
sys.exit(1 if failures else 0)
