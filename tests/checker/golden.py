#!/usr/bin/env python3
# One run of ferrowind-check, written once as data: the files it reads, then its whole output.
#
#   # what it shows
#   args --json Setup.cfg          the arguments (default: Setup.cfg), split at blanks
#   folder Files\Lib               a folder beside the file (parents made too)
#   readonly Files\Lib\a.dcu       a file or folder made read-only
#   copy examples\ide ide          a folder of this repository copied in, before the files
#   env FERROWIND_REGISTRY=<work>\registry.reg    the checker's environment
#   -- Setup.cfg --                a file's lines, each ended with CR LF; "(raw)": lines joined
#   ...                            by LF, with the scenarios' escapes (\r \n \t \xHH and {N*text})
#   == output                      then the exit code, then standard output and error as printed
#
# <work> in a file, in the environment and in the output stands for the folder the checker runs
# in, "\" separators in a path for "/".
#   exit 1
#
#   golden.py FILE CHECKER [--update]    --update writes what the checker printed into FILE
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scenarios"))
from scenario import Unescape  # noqa: E402  the scenarios' escapes, one rule for both


def Main(path, checker, update):
    lines = open(path, encoding="utf-8").read().split("\n")[:-1]
    cut = lines.index("== output")
    args, folders, readonly, files, section, copies, env = ["Setup.cfg"], [], [], {}, None, [], {}
    for line in lines[:cut]:
        header = re.fullmatch(r"-- (.+?)( \(raw\))? --", line)
        if header:
            section = header.group(1)
            files[section] = (bool(header.group(2)), [])
        elif section:
            files[section][1].append(line)
        elif line.startswith("args"):
            args = line.split()[1:]
        elif line.startswith("copy "):
            copies.append(line.split()[1:])
        elif line.startswith("env "):
            env.update([line[4:].split("=", 1)])
        elif line.startswith("folder ") or line.startswith("readonly "):
            (folders if line[0] == "f" else readonly).append(line.split(" ", 1)[1].replace("\\", "/"))
        elif line.strip() and not line.startswith("#"):
            sys.exit("%s: unknown line %s" % (path, line))
    work = tempfile.mkdtemp(prefix="ferrowind-golden-")
    placed = lambda text: text.replace("<work>", work).replace("\\", "/")
    try:
        top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        for source, target in copies:
            shutil.copytree(os.path.join(top, source.replace("\\", "/")), os.path.join(work, target), dirs_exist_ok=True)
        for folder in folders:
            os.makedirs(os.path.join(work, folder), exist_ok=True)
        for name, (raw, text) in files.items():
            target = os.path.join(work, name.replace("\\", "/"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            data = Unescape("\n".join(text)) if raw else b"".join(l.replace("<work>", work).encode("utf-8") + b"\r\n"
                                                                   for l in text)
            open(target, "wb").write(data)
        for name in readonly:
            os.chmod(os.path.join(work, name), 0o555 if os.path.isdir(os.path.join(work, name)) else 0o444)
        run = subprocess.run([checker] + args, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             env=dict(os.environ, **{k: placed(v) for k, v in env.items()}))
        seen = ["exit %d" % run.returncode] + run.stdout.decode("utf-8", "backslashreplace").replace(work, "<work>").split("\n")
    finally:
        for base, dirs, _ in os.walk(work):
            for d in dirs:
                os.chmod(os.path.join(base, d), 0o755)
        shutil.rmtree(work)
    if update:
        open(path, "w", encoding="utf-8").write("\n".join(lines[:cut + 1] + seen))
    elif seen != lines[cut + 1:] + [""]:
        expected = lines[cut + 1:] + [""]
        first = next(i for i in range(max(len(seen), len(expected))) if seen[i:i + 1] != expected[i:i + 1])
        print("%s: output differs from line %d of the expected output:\n  expected %r\n  seen     %r" %
              (path, first + 1, expected[first:first + 1], seen[first:first + 1]))
        print("the whole output:\n" + "\n".join(seen))
        sys.exit(1)


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit("usage: golden.py FILE CHECKER [--update]")
    Main(sys.argv[1], sys.argv[2], sys.argv[3:] == ["--update"])
