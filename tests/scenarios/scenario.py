#!/usr/bin/env python3
# One installation scenario, written once as data, run on any host and compared with the
# outcome it expects. A scenario file holds:
#
#   # what it shows
#   start example                       the bundled example: examples/ide, examples/package
#   readonly <ide>\Help\Delphi3.cfg     changes to the start: a file made read-only (or
#                                       <registry>, the POSIX host's registry file, which a
#                                       "-- <registry> --" section gives whole, before and after),
#   remove <ide>\Help                   a file or folder removed,
#   folder <pkg>\Files\Lib\Empty        an empty folder made (in a folder that is there),
#   value HKLM\...\3.0 "RootDir" "x"    a value set (or removed, with no data)
#   held <ide>\Help\Delphi3.cfg         a file another program holds open, sharing nothing
#   wine-root <ide> C:\Tools\Delphi 3   where the folder lies under Wine (default C:\fw\s\<name>\ide)
#   wine-value64 KEY "name" "data"      a value in the 64-bit registry view only, which 64-bit
#                                       Windows has beside the 32-bit one the IDEs use
#   skip wine: why                      a host that cannot show it, and why
#   runs 2                              runs the installer twice: the outcome is the last run's
#   -- <pkg>\Setup.cfg --               a file's lines, each ended with CR LF; "(raw)" after the
#   ...                                 path: lines joined by LF, escapes decoded, no end
#   == expect
#   box confirmation ok <text>          each box: kind, answer (ok or cancel), text
#   reg [HKCU\...\Palette] "Widgets"="TA;TB;"   each value changed, as it ends
#   help <ide>\Help\Delphi3.cfg +:LINK W.hlp    each line a help file gains (+) or loses (-)
#   file created <ide>\Lib\W.dcu        each file or folder made, replaced, removed, or whose
#                                       attributes alone change
#   -- <ide>\Help\Delphi3.cfg --        a file's whole content afterwards, written as above
#                                       (a preview shows no content: it is not compared there)
#
# Texts and quoted strings take the escapes \r \n \t \xHH \" \\ and {N*text}, N copies of
# text; any other backslash is itself. Bytes are those of code page 1252, the system's: in the registry, in files and, but
# under Wine (whose Unix names are UTF-8), in file names. Paths and registry names compare as
# Windows compares them: case folded.
#
# Commands (CTest runs the first, tests/wine/scenario.sh the others):
#   scenario.py run HOST FILE --work DIR --program EXE
#       HOST: memory (EXE: ferrowind-memory-run), posix (ferrowind-setup), preview
#       (ferrowind-check, with ferrowind-setup beside it for the runs before the last)
#   scenario.py layout FILE DRIVEC
#       the start on drive C:, the registry files in code page 1252 in the scenario's folder
#       C:\fw\s\<name>; prints the number of runs, the confirmation a preview cancels (0:
#       none) and the answers; then, a line each, the IDE and package folders as Windows
#       names them, the scenario's folder, the IDE and package folders on this side, and the
#       held files, tab-separated
#   scenario.py compare FILE DRIVEC
#       after the Wine run: the scenario's folder holds boxes.txt, after.reg, before and
#       before.reg as they were before the last run, and preview.json, that run's preview
import difflib
import fcntl
import json
import os
import re
import shutil
import stat
import subprocess
import sys

Top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
Quoted = r'"((?:[^"\\]|\\.)*)"'
Escapes = {"r": b"\r", "n": b"\n", "t": b"\t", '"': b'"', "\\": b"\\"}


def Bytes(text):
    return text.encode("cp1252", "surrogateescape")


def Text(data):
    return data.decode("cp1252", "surrogateescape")


def Unescape(text):
    text = re.sub(r"\{(\d+)\*([^}]*)\}", lambda m: m.group(2) * int(m.group(1)), text)
    return re.sub(rb'\\(x[0-9A-Fa-f]{2}|[rnt"\\])', lambda m: bytes.fromhex(m.group(1)[1:].decode())
                  if m.group(1)[:1] == b"x" else Escapes[m.group(1).decode()], Bytes(text))


def Show(data):
    """Bytes as a scenario writes them."""
    shown = {v[0]: "\\" + k for k, v in Escapes.items() if k != "\\"}
    return "".join(shown.get(b) or (chr(b) if 32 <= b < 127 else "\\x%02x" % b) for b in data)


def FoldChar(c):
    upper = c.upper()
    return upper if len(upper) == 1 and Text(Bytes(upper)) == upper and not 0xD800 <= ord(upper) < 0xE000 else c


def FoldName(text):
    """Windows' case fold of a registry value name, as bytes: every other byte stays."""
    return Bytes("".join(map(FoldChar, Text(text) if isinstance(text, bytes) else text)))


def Fold(text):
    """Windows' case fold of a path or registry key, as bytes: a run of separators is one."""
    return re.sub(rb"\\+", rb"\\", FoldName(text).replace(b"/", b"\\")).rstrip(b"\\")


class Dword(bytes):
    """A dword value's four bytes, written back as a dword."""


class Scenario:
    def __init__(self, path):
        self.Name = os.path.splitext(os.path.basename(path))[0]
        self.Changes, self.Files, self.Skips, self.Runs, self.Held = [], {}, {}, 1, []
        self.WineRoots = {label: "C:\\fw\\s\\%s\\%s" % (self.Name, label[1:-1]) for label in ("<ide>", "<pkg>")}
        self.Boxes, self.Values, self.Help, self.FileChanges, self.After = [], {}, {}, {}, {}
        section, expecting = None, False
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")[:-1]
        for number, line in enumerate(lines, 1):
            where = "%s:%d: " % (path, number)
            header = re.fullmatch(r"-- (.+?)( \(raw\))? --", line)
            if header:
                section = header.group(1)
                (self.After if expecting else self.Files)[section] = (bool(header.group(2)), [])
            elif line == "== expect":
                section, expecting = None, True
            elif section:
                (self.After if expecting else self.Files)[section][1].append(line)
            elif not line.strip() or line.startswith("#"):
                continue
            elif not expecting:
                self.Setting(line, where)
            else:
                self.Expectation(line, where)

    def Setting(self, line, where):
        word, _, rest = line.partition(" ")
        if word == "skip":
            host, _, why = rest.partition(":")
            self.Skips[host.strip()] = why.strip()
        elif word == "runs":
            self.Runs = int(rest)
        elif word == "held":
            self.Held.append(rest)
        elif word == "wine-root":
            label, _, root = rest.partition(" ")
            self.WineRoots[label] = root
        elif word in ("start", "readonly", "remove", "value", "wine-value64", "folder"):
            self.Changes.append((word, rest, where))
        else:
            raise SystemExit(where + "unknown line " + line)

    def Expectation(self, line, where):
        word, _, rest = line.partition(" ")
        if word == "box":
            kind, answer, text = (rest.split(" ", 2) + [""])[:3]
            self.Boxes.append({"kind": kind, "answer": answer, "text": Unescape(text)})
        elif word == "reg" and re.fullmatch(r"\[(.+)\] " + Quoted + "=" + Quoted, rest):
            key, name, data = re.fullmatch(r"\[(.+)\] " + Quoted + "=" + Quoted, rest).groups()
            self.Values[(Fold(key), FoldName(Unescape(name)))] = Unescape(data)
        elif word == "help":
            path, _, text = rest.partition(" ")
            self.Help.setdefault(Fold(path), []).append(Unescape(text))
        elif word == "file":
            change, _, path = rest.partition(" ")
            self.FileChanges[Fold(path)] = change
        else:
            raise SystemExit(where + "unknown expectation " + line)

    def FileBytes(self, name, files=None):
        raw, lines = (files or self.Files)[name]
        return Unescape("\n".join(lines)) if raw else b"".join(Bytes(l) + b"\r\n" for l in lines)

    def CancelAt(self):
        """The confirmation, counted from 1, that is answered Cancel; 0 for none."""
        confirmations = [b for b in self.Boxes if b["kind"] == "confirmation"]
        return next((i + 1 for i, b in enumerate(confirmations) if b["answer"] == "cancel"), 0)

    def Answers(self):
        return [b["answer"] if b["kind"] == "confirmation" else "ok" for b in self.Boxes]

    def Outcome(self, ideRoot):
        """What must come out, with the IDE folder named as the host names it."""
        root = Bytes(ideRoot)
        values = {(k, n.replace(FoldName("<ide>"), FoldName(root))): d.replace(b"<ide>", root) for (k, n), d in self.Values.items()}
        contents = {Fold(p): self.FileBytes(p, self.After).replace(b"<ide>", root) for p in self.After}
        return Outcome(self.Boxes, self.FileChanges, self.Help, values, contents)

# --- states: files {folded "<ide>\...": (shown, bytes or None for a folder, read-only)} and
# registry values {(folded key, folded name): (key, name, data)} --------------------------


def ReadTree(folder, label, files, names="cp1252"):
    for base, dirs, entries in os.walk(os.fsencode(folder)):
        for name in dirs + entries:
            full = os.path.join(base, name)
            shown = label + "\\" + os.path.relpath(full, os.fsencode(folder)).decode(names, "surrogateescape").replace("/", "\\")
            readonly = not os.lstat(full).st_mode & stat.S_IWUSR
            data = None if os.path.isdir(full) else open(full, "rb").read()
            files[Fold(shown)] = (shown, data, readonly)
    return files


def TreeOf(ide, pkg, program=True, names="cp1252"):
    files = ReadTree(pkg, "<pkg>", ReadTree(ide, "<ide>", {}, names), names)
    return files if program else {k: v for k, v in files.items() if k != Fold("<pkg>\\Setup.exe")}


def ParseRegedit(text, values=None):
    """REGEDIT4 or 5 text into values, which it returns: strings and dwords."""
    values, key, parsed = {} if values is None else values, None, set()
    for line in re.sub(r"\\\n\s*", "", text.replace("\r\n", "\n")).split("\n"):
        if re.fullmatch(r"\[(.+)\]", line):
            key = line[1:-1].replace("HKEY_LOCAL_MACHINE", "HKLM").replace("HKEY_CURRENT_USER", "HKCU")
        m = re.fullmatch(r'(?:@|' + Quoted + r')=(?:' + Quoted + r'|dword:([0-9a-fA-F]{8})|hex\(1\):([0-9a-fA-F,]*))', line)
        if key and m:
            # Wine writes an LF in a string as \n.
            unescape = lambda t: Bytes(re.sub(r"\\([\\\"n])", lambda e: {"n": "\n"}.get(e.group(1), e.group(1)), t))
            name = unescape(m.group(1) or "")
            data = (unescape(m.group(2)) if m.group(2) is not None else bytes.fromhex(m.group(4).replace(",", ""))
                    if m.group(4) is not None else Dword(bytes.fromhex(m.group(3))[::-1]))
            # A second value whose name differs only in case is one Windows would not keep.
            folded = (Fold(key), FoldName(name) + (b" (a second time)" if (Fold(key), FoldName(name)) in parsed else b""))
            parsed.add(folded)
            values[folded] = (key, name, data)
    return values


def RegistryFile(path):
    return ParseRegedit(Text(open(path, "rb").read()))


def StartState(scenario, ideRoot, program, view64=False):
    """The scenario's start: files, and values (with view64, those of the 64-bit view only)."""
    files, values, values64 = {}, {}, {}
    for word, rest, where in scenario.Changes:
        if word == "start":
            ReadTree(os.path.join(Top, "examples", "ide"), "<ide>", files)
            ReadTree(os.path.join(Top, "examples", "package"), "<pkg>", files)
            files[Fold("<pkg>\\Setup.exe")] = ("<pkg>\\Setup.exe", program, False)
            ParseRegedit(open(os.path.join(Top, "examples", "registry.reg.in"), encoding="utf-8").read(), values)
        elif word == "readonly":
            continue  # once the scenario's own files are there too
        elif word == "folder":
            files[Fold(rest)] = (rest, None, False)
        elif word == "remove":
            for key in [k for k in files if k == Fold(rest) or k.startswith(Fold(rest) + b"\\")]:
                del files[key]
        else:
            m = re.fullmatch(r"(\S+(?: [^\"]\S*)*) " + Quoted + "(?: " + Quoted + ")?", rest)
            if not m:
                raise SystemExit(where + "value KEY \"name\" [\"data\"]")
            target, key, name = values64 if word == "wine-value64" else values, m.group(1), Unescape(m.group(2))
            target.pop((Fold(key), FoldName(name)), None)
            if m.group(3) is not None:
                target[(Fold(key), FoldName(name))] = (key, name, Unescape(m.group(3)))
    for name in (name for name in scenario.Files if name != "<registry>"):
        parts = name.replace("/", "\\").split("\\")
        for i in range(2, len(parts)):
            files.setdefault(Fold("\\".join(parts[:i])), ("\\".join(parts[:i]), None, False))
        files[Fold(name)] = ("\\".join(parts), scenario.FileBytes(name), False)
    for path in (rest for word, rest, _ in scenario.Changes if word == "readonly" and rest != "<registry>"):
        files[Fold(path)] = files[Fold(path)][:2] + (True,)
    # The registry names the IDE folder as the host spells it.
    root, placed = Bytes(ideRoot), {}
    for (key, name, data) in (values64 if view64 else values).values():
        name = name.replace(b"@ROOT@", root).replace(b"<ide>", root)
        data = data if isinstance(data, Dword) else data.replace(b"@ROOT@", root).replace(b"<ide>", root)
        placed[(Fold(key), FoldName(name))] = (key, name, data)
    return files, placed


def Placed(path, ideRoot, pkgRoot):
    """A scenario's path as the host names it."""
    label, _, rest = path.partition("\\")
    root = {"<ide>": ideRoot, "<pkg>": pkgRoot}[label]
    return root + "\\" + rest if "\\" in root else os.path.join(root, *rest.split("\\"))


def WriteState(files, values, folder, ide, pkg, names="cp1252"):
    """Lays the start out: <ide> in ide, <pkg> in pkg, the registry in folder."""
    where = lambda shown: os.path.join(os.fsencode({"<ide>": ide, "<pkg>": pkg}[shown[:5]]),
                                       *(n.encode(names, "surrogateescape") for n in shown[6:].split("\\")))
    for shown, data, _ in sorted(files.values(), key=lambda f: len(f[0])):
        os.makedirs(where(shown) if data is None else os.path.dirname(where(shown)), exist_ok=True)
        if data is not None:
            open(where(shown), "wb").write(data)
            os.chmod(where(shown), 0o755 if shown == "<pkg>\\Setup.exe" else 0o644)
    for shown, data, readonly in sorted(files.values(), key=lambda f: -len(f[0])):
        if readonly:
            os.chmod(where(shown), os.stat(where(shown)).st_mode & ~0o222)
    text = "REGEDIT4\r\n"
    for key in sorted({v[0] for v in values.values()}, key=Fold):
        text += "\r\n[%s]\r\n" % key.replace("HKLM", "HKEY_LOCAL_MACHINE", 1).replace("HKCU", "HKEY_CURRENT_USER", 1)
        for (_, name, data) in sorted((v for v in values.values() if v[0] == key), key=lambda v: v[1]):
            escape = lambda b: '"%s"' % Text(b).replace("\\", "\\\\").replace('"', '\\"')
            # A string holding a NUL or a line break goes as its bytes, which a quoted one cannot hold.
            text += "%s=%s\r\n" % (escape(name), "dword:%08x" % int.from_bytes(data, "little")
                                   if isinstance(data, Dword) else escape(data) if not re.search(b"[\0\r\n]", data)
                                   else "hex(1):" + ",".join("%02x" % c for c in data + b"\0"))
    open(os.path.join(folder, "registry.reg"), "wb").write(Bytes(text))

# --- outcomes -----------------------------------------------------------------------------


def Outcome(boxes, files, help, values, contents=None):
    shown = {} if contents is None else {"contents": {p.decode("latin-1"): Show(d) for p, d in contents.items()}}
    return {**shown, "boxes": [(b["kind"], Show(b["text"])) for b in boxes],
            "files": sorted((p.decode("latin-1"), c) for p, c in files.items()),
            "help": {p.decode("latin-1"): sorted(map(Show, lines)) for p, lines in help.items()},
            "registry values changed": sorted((k.decode("latin-1"), n.decode("latin-1"), Show(d) if d is not None else None)
                                              for (k, n), d in values.items())}


def LineChanges(old, new):
    split = lambda data: [l.decode("latin-1") for l in re.split(rb"\r\n|\r|\n", data or b"")[:-1]]
    return [(op[0] + op[2:]).encode("latin-1") for op in difflib.ndiff(split(old), split(new)) if op[0] in "+-"]


def StateOutcome(scenario, boxes, before, after, beforeValues, afterValues):
    """What a run did: its boxes, and the changes from one state to the other."""
    files = {}
    for key in set(before) | set(after):
        old, new = before.get(key), after.get(key)
        files[key] = ("folder" if new[1] is None else "created") if old is None else "removed" if new is None else \
            "replaced" if old[1] != new[1] else "attributes" if old[2] != new[2] else None
    # A string as the installer reads it, up to its first NUL: the terminating zero some hosts
    # show is no change, and Wine's export shows no more.
    bare = lambda v: v and (v[2] if isinstance(v[2], Dword) else v[2].split(b"\0")[0])
    values = {key: bare(afterValues.get(key)) for key in set(beforeValues) | set(afterValues)
              if bare(beforeValues.get(key)) != bare(afterValues.get(key))}
    help = {p: LineChanges((before.get(p) or (0, b""))[1], (after.get(p) or (0, b""))[1]) for p in scenario.Help}
    contents = {Fold(p): (after.get(Fold(p)) or (0, b"(none)"))[1] or b"(a folder)" for p in scenario.After}
    return Outcome(boxes, {k: c for k, c in files.items() if c}, help, values, contents)


def PreviewOutcome(report, ide, pkg):
    """What a preview said. Its JSON is UTF-8: under Wine, of the code page 1252 text; on
    POSIX, of what was UTF-8 already, any other byte written as \\xHH."""
    latin = lambda t: Bytes(t) if ide[1:2] == ":" else re.sub(
        rb"\\x([0-9A-F]{2})", lambda m: bytes.fromhex(m.group(1).decode()), t.encode("utf-8"))
    def place(path):
        path = Text(latin(path))
        return Fold(next((label + path[len(r):] for r, label in ((ide, "<ide>"), (pkg, "<pkg>")) if path.startswith(r)),
                         path))
    boxes = [{"kind": b["kind"], "text": latin(b["text"])} for b in report["boxes"]]
    files = {place(f["path"]): f["change"] for f in report["files"] if f["change"] != "same"}
    help = {place(h["path"]): [latin("-" + l) for l in h["removed"]] + [latin("+" + l) for l in h["added"]]
            for h in report["help"]}
    values = {(Fold(("HKLM\\" if v["root"] == "HKEY_LOCAL_MACHINE" else "HKCU\\") + Text(latin(v["key"]))), FoldName(latin(v["name"]))):
              latin(v["new"]) for v in report["registry"]}
    return Outcome(boxes, files, help, values)


def Compare(expected, seen, problems=None):
    problems = [] if problems is None else problems
    for what in seen:
        if expected[what] != seen[what]:
            problems.append("%s:\n  expected %s\n  seen     %s" % (what, expected[what], seen[what]))
    return problems


def Finish(scenario, host, problems):
    print("%s on %s: %s" % (scenario.Name, host, "%d difference(s)" % len(problems) if problems else "as expected"))
    print("\n".join(problems))
    sys.exit(1 if problems else 0)

# --- the hosts ----------------------------------------------------------------------------


def Run(host, scenario, work, program):
    if host in scenario.Skips:
        print("SKIPPED: %s cannot show %s: %s" % (host, scenario.Name, scenario.Skips[host]))
        sys.exit(77)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    ide, pkg, registry = os.path.join(work, "ide"), os.path.join(work, "pkg"), os.path.join(work, "registry.reg")
    ideRoot, pkgRoot = ("C:\\IDE", "C:\\PKG") if host == "memory" else (ide, pkg)
    # The POSIX program runs as Setup.exe in the package folder; so do the preview's first runs.
    setup = os.path.join(os.path.dirname(program), "ferrowind-setup") if host == "preview" else program
    files, values = StartState(scenario, ideRoot, open(setup, "rb").read() if host != "memory" else b"MZ")
    held = [Placed(path, ideRoot, pkgRoot) for path in scenario.Held]
    if host == "memory":
        # A folder is 16, a file 32; either read-only adds 1.
        open(os.path.join(work, "start.txt"), "wb").write(b"".join(
            [b"%s\t%s\t%d\t%s\n" % (b"D" if d is None else b"F", Bytes(Placed(s, ideRoot, pkgRoot)),
                                     (16 if d is None else 32) | r, (d or b"").hex().encode()) for s, d, r in files.values()] +
            [b"V\t%s\t%s\t%s\n" % (Bytes(k), n.hex().encode(), d.hex().encode()) for k, n, d in values.values()] +
            [b"H\t%s\n" % Bytes(path) for path in held]))
    else:
        WriteState(files, values, work, ide, pkg)
    if "<registry>" in scenario.Files:
        open(registry, "wb").write(scenario.FileBytes("<registry>").replace(b"<ide>", Bytes(ideRoot)))
    if ("readonly", "<registry>") in ((word, rest) for word, rest, _ in scenario.Changes):
        os.chmod(registry, 0o444)
    expected, problems = scenario.Outcome(ideRoot), []
    if host == "memory":
        run = subprocess.run([program, work, str(scenario.Runs)] + scenario.Answers(), capture_output=True)
        if run.returncode != 0:
            Finish(scenario, host, ["the runner failed: " + run.stderr.decode(errors="replace")])
        boxes = [dict(b, text=bytes.fromhex(b["text"])) for b in map(json.loads, run.stdout.decode().splitlines())]
        before, after = MemoryState(os.path.join(work, "before.txt")), MemoryState(os.path.join(work, "after.txt"))
        Finish(scenario, host, Compare(expected, StateOutcome(scenario, boxes, before[0], after[0], before[1], after[1])))
    env = dict(os.environ, FERROWIND_REGISTRY=registry)
    stdin = ("".join(a + "\n" for a in scenario.Answers()) + "ok\n" * 20).encode()
    # Another program's hold: an exclusive lock, which is how the POSIX host shares files.
    holds = [open(path, "rb") for path in held]
    for f in holds:
        fcntl.flock(f, fcntl.LOCK_EX)
    for _ in range(scenario.Runs - (host == "preview")):
        before, beforeValues = TreeOf(ide, pkg), RegistryFile(registry)
        run = subprocess.run([os.path.join(pkg, "Setup.exe")], cwd=pkg, env=env, input=stdin, capture_output=True)
        if run.returncode != 0:
            problems.append("exit code %d" % run.returncode)
    if host == "posix":
        boxes = [{"kind": m.group(1).decode().lower(), "text": m.group(2).replace(b"\n", b"\r\n")} for m in re.finditer(
            rb"\[Ferrowind Component Installer: (\w+)\]\n(.*?)\n\[(?:OK|OK/Cancel)\]\n", run.stdout, re.S)]
        seen = StateOutcome(scenario, boxes, before, TreeOf(ide, pkg), beforeValues, RegistryFile(registry))
        if "<registry>" in scenario.After:
            seen["contents"][Fold("<registry>").decode("latin-1")] = Show(open(registry, "rb").read())
        Finish(scenario, host, Compare(expected, seen, problems))
    else:
        files, registryBytes, times = TreeOf(ide, pkg), open(registry, "rb").read(), Times(work)
        cancel = ["--cancel-at", str(scenario.CancelAt())] if scenario.CancelAt() else []
        run = subprocess.run([program, "--preview", "--json"] + cancel + ["Setup.cfg"], cwd=pkg, env=env,
                             capture_output=True)
        if open(registry, "rb").read() != registryBytes or TreeOf(ide, pkg) != files or Times(work) != times:
            problems.append("the preview changed the registry file or a file")
        seen = PreviewExitCode(scenario, json.loads(run.stdout), problems, ide, pkg)
    Finish(scenario, host, Compare(expected, seen, problems))


def PreviewExitCode(scenario, report, problems, ide, pkg):
    """The preview's outcome, after checking that it ends as the run would."""
    summary = scenario.Boxes and re.search(rb"\r\n(All|NO) files copied\r\n", scenario.Boxes[-1]["text"])
    if report["exitCode"] != (0 if summary else 1):
        problems.append("the preview's exit code %d" % report["exitCode"])
    return PreviewOutcome(report, ide, pkg)


def Times(folder):
    return {os.path.join(b, n): os.lstat(os.path.join(b, n)).st_mtime_ns for b, ds, ns in os.walk(folder) for n in ds + ns}


def MemoryState(path):
    """The memory runner's state: files as TreeOf gives them, and values."""
    files, values = {}, {}
    for kind, name, *rest in (line.split(b"\t") for line in open(path, "rb").read().split(b"\n")[:-1]):
        if kind == b"V":
            values[(Fold(name), FoldName(bytes.fromhex(rest[0].decode())))] = (Text(name), *map(bytes.fromhex, map(bytes.decode, rest)))
            continue
        for root, label in ((b"C:\\IDE\\", "<ide>\\"), (b"C:\\PKG\\", "<pkg>\\")):
            if Fold(name).startswith(root):
                shown = label + Text(name[len(root):])
                files[Fold(shown)] = (shown, bytes.fromhex(rest[1].decode()) if kind == b"F" else None, int(rest[0]) & 1 == 1)
    return files, values


def Wine(command, scenario, driveC):
    ideRoot, pkgRoot = scenario.WineRoots["<ide>"], scenario.WineRoots["<pkg>"]
    unix = lambda path: os.path.join(driveC, *path[3:].split("\\"))
    ide, pkg, folder = unix(ideRoot), unix(pkgRoot), unix("C:\\fw\\s\\" + scenario.Name)
    if command == "layout":
        for path in (folder, ide, pkg):
            for base, _, _ in os.walk(path):
                os.chmod(base, 0o755)
            shutil.rmtree(path, ignore_errors=True)
        os.makedirs(os.path.join(folder, "logs"))
        files, values = StartState(scenario, ideRoot, b"")
        del files[Fold("<pkg>\\Setup.exe")]
        WriteState(files, values, folder, ide, pkg, names="utf-8")
        values64 = StartState(scenario, ideRoot, b"", view64=True)[1]
        if values64:
            os.makedirs(os.path.join(folder, "view64"))
            WriteState({}, values64, os.path.join(folder, "view64"), ide, pkg, names="utf-8")
        print(scenario.Runs, scenario.CancelAt(), " ".join(scenario.Answers()))
        print(ideRoot, pkgRoot, folder, ide, pkg, "\t".join(Placed(p, ideRoot, pkgRoot) for p in scenario.Held), sep="\n")
        return
    # Wine's trace gives a box's text, not its kind: the kinds compared are the scenario's own.
    texts = open(os.path.join(folder, "boxes.txt"), "rb").read().split(b"\n")[:-1]
    # The trace writes \r \n \t \\ \" and any character beyond ASCII as \ and four hex digits.
    traced = lambda t: Bytes(re.sub(r'\\([0-9a-fA-F]{4}|.)', lambda m: chr(int(m.group(1), 16)) if len(m.group(1)) == 4
                                    else {"r": "\r", "n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), t.decode("utf-8")))
    boxes = [dict(b, text=traced(t)) for b, t in zip(scenario.Boxes + [{"kind": "?"}] * len(texts), texts)]
    exported = lambda name: ParseRegedit(open(os.path.join(folder, name), encoding="utf-8").read())
    before = TreeOf(os.path.join(folder, "before", "ide"), os.path.join(folder, "before", "pkg"), False, "utf-8")
    seen = StateOutcome(scenario, boxes, before, TreeOf(ide, pkg, False, "utf-8"), exported("before.reg"),
                        exported("after.reg"))
    problems = Compare(scenario.Outcome(ideRoot), seen)
    if os.path.exists(os.path.join(folder, "preview.json")):
        report = json.loads(open(os.path.join(folder, "preview.json"), "rb").read())
        preview = PreviewExitCode(scenario, report, problems, ideRoot, pkgRoot)
        Compare(scenario.Outcome(ideRoot), preview, problems)
    Finish(scenario, "wine", problems)


if __name__ == "__main__":
    args = sys.argv[1:]
    if len(args) == 7 and args[0] == "run":
        scenario = Scenario(args[2])
        Run(args[1], scenario, os.path.join(args[4], args[1], scenario.Name), os.path.abspath(args[6]))
    elif len(args) == 3 and args[0] in ("layout", "compare"):
        Wine(args[0], Scenario(args[1]), args[2])
    else:
        sys.exit("usage: scenario.py run HOST FILE --work DIR --program EXE | layout FILE DRIVEC | compare FILE DRIVEC")
