#!/usr/bin/env python3
"""One installation scenario, written once as data, run on any host and compared with the
outcome it expects. A scenario file holds:

    # what it shows
    start example                      the bundled example: examples/ide, examples/package
    readonly <ide>\\Help\\Delphi3.cfg  changes to the start: a file made read-only,
    remove <ide>\\Help                 a file or folder removed,
    value HKLM\\...\\3.0 "RootDir" "x"  a value set (or removed, with no data)
    held <ide>\\Help\\Delphi3.cfg      a file another program holds open, sharing nothing
    wine-root <ide> C:\\Tools\\Delphi 3  where the folder lies under Wine (default C:\\fw\\s\\<name>\\ide)
    wine-value64 KEY "name" "data"     a value in the 64-bit registry view only, which 64-bit
                                       Windows has beside the 32-bit one the IDEs use
    skip wine: why                     a host that cannot show it, and why
    runs 2                             runs the installer twice: the outcome is the last run's
    -- <pkg>\\Setup.cfg --             a file's lines, each ended with CR LF; "(raw)" after
    ...                                the path: lines joined by LF, escapes decoded, no end
    == expect
    box confirmation ok <text>         each box: kind, answer (ok or cancel), text
    reg [HKCU\\...\\Palette] "Widgets"="TA;TB;"   each value changed, as it ends
    help <ide>\\Help\\Delphi3.cfg +:LINK W.hlp     each line a help file gains (+) or loses (-)
    file created <ide>\\Lib\\W.dcu     each file or folder made, replaced, removed, or whose
                                       attributes alone change

Texts and quoted strings take the escapes \\r \\n \\t \\xHH \\" \\\\; any other backslash is
itself. Paths and registry names compare as Windows compares them: case folded.

Commands (run by CTest, see CMakeLists.txt):
    scenario.py run HOST FILE [--work DIR] [--program EXE]
        HOST: memory (EXE: the in-memory runner), posix (EXE: ferrowind-setup),
        preview (EXE: ferrowind-check)
    scenario.py layout FILE DRIVEC   (for the Wine runner: the start on drive C:, with
        registry.reg in code page 1252 in the scenario's folder C:\\fw\\s\\<name>; prints
        the number of runs, the confirmation to cancel in a preview (0: none) and the
        answers, one per box; on lines of their own the IDE and package folders as Windows
        names them, the scenario's folder, the IDE and package folders on this side; then
        the held files, tab-separated)
    scenario.py compare FILE DRIVEC  (after the Wine run: the scenario's folder holds
        boxes.txt, after.reg, before and before.reg as they were before the last run, and
        preview.json, the preview of that run)
"""
import json
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import difflib
import fcntl

Top = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SkipCode = 77

# --- the text of a scenario ---------------------------------------------------------------


def Unescape(text):
    out, i = bytearray(), 0
    raw = text.encode("utf-8")
    table = {ord("r"): b"\r", ord("n"): b"\n", ord("t"): b"\t", ord('"'): b'"', ord("\\"): b"\\"}
    while i < len(raw):
        c = raw[i]
        if c == ord("\\") and i + 1 < len(raw):
            n = raw[i + 1]
            if n in table:
                out += table[n]
                i += 2
                continue
            if n == ord("x") and re.fullmatch(rb"[0-9A-Fa-f]{2}", raw[i + 2:i + 4]):
                out.append(int(raw[i + 2:i + 4], 16))
                i += 4
                continue
        out.append(c)
        i += 1
    return bytes(out)


def Show(data):
    """Bytes as a scenario writes them."""
    out = ""
    for b in data:
        c = chr(b)
        out += {"\r": "\\r", "\n": "\\n", "\t": "\\t", '"': '\\"', "\\": "\\"}.get(c) or (
            c if 32 <= b < 127 else "\\x%02x" % b)
    return out


Quoted = r'"((?:[^"\\]|\\.)*)"'


def Fold(text):
    """Windows' case fold of a path or registry name, as bytes."""
    if isinstance(text, str):
        text = text.encode("utf-8")
    return text.replace(b"/", b"\\").upper().rstrip(b"\\")


class Scenario:
    def __init__(self, path):
        self.Path = path
        self.Name = os.path.splitext(os.path.basename(path))[0]
        self.Changes, self.Files, self.Skips, self.Runs, self.Held = [], {}, {}, 1, []
        self.WineRoots = {label: "C:\\fw\\s\\%s\\%s" % (self.Name, label[1:-1]) for label in ("<ide>", "<pkg>")}
        self.Boxes, self.Values, self.Help, self.FileChanges = [], {}, {}, {}
        section, expecting = None, False
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        if lines and lines[-1] == "":
            lines.pop()
        for number, line in enumerate(lines, 1):
            where = "%s:%d" % (path, number)
            header = re.fullmatch(r"-- (.+?)( \(raw\))? --", line)
            if header:
                section = (header.group(1), bool(header.group(2)))
                self.Files[section[0]] = []
                continue
            if line == "== expect":
                section, expecting = None, True
                continue
            if section:
                self.Files[section[0]].append(line)
                if section[1]:
                    self.Files[section[0]] = ["\x00raw"] + [l for l in self.Files[section[0]] if l != "\x00raw"]
                continue
            if not line.strip() or line.startswith("#"):
                continue
            word, _, rest = line.partition(" ")
            if not expecting:
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
                elif word in ("start", "readonly", "remove", "value", "wine-value64"):
                    self.Changes.append((word, rest, where))
                else:
                    raise SystemExit(where + ": unknown line " + line)
            elif word == "box":
                kind, answer, text = (rest.split(" ", 2) + [""])[:3]
                self.Boxes.append({"kind": kind, "answer": answer, "text": Unescape(text)})
            elif word == "reg":
                m = re.fullmatch(r"\[(.+)\] " + Quoted + "=" + Quoted, rest)
                if not m:
                    raise SystemExit(where + ": reg [KEY] \"name\"=\"data\"")
                self.Values[(Fold(m.group(1)), Fold(Unescape(m.group(2))))] = Unescape(m.group(3))
            elif word == "help":
                path, _, text = rest.partition(" ")
                self.Help.setdefault(Fold(path), []).append(Unescape(text))
            elif word == "file":
                change, _, path = rest.partition(" ")
                self.FileChanges[Fold(path)] = change
            else:
                raise SystemExit(where + ": unknown expectation " + line)

    def FileBytes(self, name):
        lines = self.Files[name]
        if lines and lines[0] == "\x00raw":
            return Unescape("\n".join(lines[1:]))
        return b"".join(l.encode("utf-8") + b"\r\n" for l in lines)

    def CancelAt(self):
        """The confirmation, counted from 1, that is answered Cancel; 0 for none."""
        cancels = [i for i, b in enumerate(self.Boxes) if b["answer"] == "cancel"]
        return sum(1 for b in self.Boxes[:cancels[0] + 1] if b["kind"] == "confirmation") if cancels else 0

    def Answers(self):
        return [b["answer"] if b["kind"] == "confirmation" else "ok" for b in self.Boxes]

# --- a state: files and registry values -------------------------------------------------
# files: folded "<ide>\..." -> (shown path, None for a folder or bytes, read-only)
# values: (folded "HKCU\key", folded name) -> (shown key, shown name, data)


def ReadTree(folder, label, files):
    for base, dirs, names in os.walk(folder):
        for name in dirs + names:
            full = os.path.join(base, name)
            rel = os.path.relpath(full, folder).replace("/", "\\")
            shown = label + "\\" + rel
            readonly = not os.lstat(full).st_mode & stat.S_IWUSR
            if os.path.isdir(full):
                files[Fold(shown)] = (shown, None, readonly)
            else:
                with open(full, "rb") as f:
                    files[Fold(shown)] = (shown, f.read(), readonly)


class Dword(bytes):
    """A dword value's four bytes, written back as a dword."""


def ParseRegedit(text, values):
    """REGEDIT4 or 5 text (str) into values, which it returns; strings and dwords."""
    key = None
    logical = re.sub(r"\\\n\s*", "", text.replace("\r\n", "\n"))
    for line in logical.split("\n"):
        m = re.fullmatch(r"\[(.+)\]", line)
        if m:
            key = m.group(1).replace("HKEY_LOCAL_MACHINE", "HKLM").replace("HKEY_CURRENT_USER", "HKCU")
            continue
        m = re.fullmatch(r'(?:@|' + Quoted + r')=(?:' + Quoted + r'|dword:([0-9a-fA-F]{8}))', line)
        if key and m:
            name = RegUnescape(m.group(1) or "")
            data = RegUnescape(m.group(2)) if m.group(2) is not None else Dword(bytes.fromhex(m.group(3))[::-1])
            values[(Fold(key), Fold(name))] = (key, name, data)
    return values


def RegUnescape(text):
    return re.sub(r"\\([\\\"])", r"\1", text).encode("utf-8") if isinstance(text, str) else text


def RegEscape(data):
    return data.replace(b"\\", b"\\\\").replace(b'"', b'\\"')


def StartState(scenario, ideRoot, pkgRoot, program, view64=False):
    """The scenario's start: files as {shown path: bytes or None} and values (with view64,
    the values of the 64-bit view only)."""
    files, values, values64 = {}, {}, {}
    for word, rest, where in scenario.Changes:
        if word == "start":
            if rest != "example":
                raise SystemExit(where + ": the only start is example")
            ReadTree(os.path.join(Top, "examples", "ide"), "<ide>", files)
            ReadTree(os.path.join(Top, "examples", "package"), "<pkg>", files)
            files[Fold("<pkg>\\Setup.exe")] = ("<pkg>\\Setup.exe", program, False)
            with open(os.path.join(Top, "examples", "registry.reg.in"), encoding="utf-8") as f:
                ParseRegedit(f.read(), values)
        elif word == "readonly":
            shown, data, _ = files[Fold(rest)]
            files[Fold(rest)] = (shown, data, True)
        elif word == "remove":
            for key in [k for k in files if k == Fold(rest) or k.startswith(Fold(rest) + b"\\")]:
                del files[key]
        elif word in ("value", "wine-value64"):
            target = values64 if word == "wine-value64" else values
            m = re.fullmatch(r"(\S+(?: [^\"]\S*)*) " + Quoted + "(?: " + Quoted + ")?", rest)
            if not m:
                raise SystemExit(where + ": value KEY \"name\" [\"data\"]")
            key, name = m.group(1), Unescape(m.group(2))
            if m.group(3) is None:
                target.pop((Fold(key), Fold(name)), None)
            else:
                target[(Fold(key), Fold(name))] = (key, name, Unescape(m.group(3)))
    for name in scenario.Files:
        parts = Fold(name).split(b"\\")
        for i in range(2, len(parts)):
            folder = name.replace("/", "\\").split("\\")[:i]
            files.setdefault(Fold("\\".join(folder)), ("\\".join(folder), None, False))
        files[Fold(name)] = (name.replace("/", "\\"), scenario.FileBytes(name), False)
    # The registry names the IDE folder as the host spells it.
    roots = {"@ROOT@": ideRoot.encode("utf-8"), "<ide>": ideRoot.encode("utf-8")}
    placed = {}
    for (fk, fn), (key, name, data) in (values64 if view64 else values).items():
        for mark, root in roots.items():
            name = name.replace(mark.encode(), root)
            data = data if isinstance(data, Dword) else data.replace(mark.encode(), root)
        placed[(fk, Fold(name))] = (key, name, data)
    return files, placed


def Placed(path, ideRoot, pkgRoot):
    """A scenario's path as the host names it."""
    label, _, rest = path.partition("\\")
    root = {"<ide>": ideRoot, "<pkg>": pkgRoot}[label]
    return root + ("\\" + rest if rest else "") if "\\" in root else os.path.join(root, *rest.split("\\"))


def WriteState(files, values, folder, ideFolder, pkgFolder, regedit, encoding="utf-8"):
    """Lays the start out: <ide> in ideFolder, <pkg> in pkgFolder, the registry in folder."""
    where = {"<ide>": ideFolder, "<pkg>": pkgFolder}
    for folded in sorted(files, key=len):
        shown, data, _ = files[folded]
        label, _, rel = shown.partition("\\")
        path = os.path.join(where[label], *rel.split("\\")) if rel else where[label]
        if data is None:
            os.makedirs(path, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
            if shown == "<pkg>\\Setup.exe":
                os.chmod(path, 0o755)
    for folded in sorted(files, key=len, reverse=True):
        shown, data, readonly = files[folded]
        label, _, rel = shown.partition("\\")
        if readonly:
            path = os.path.join(where[label], *rel.split("\\"))
            os.chmod(path, os.stat(path).st_mode & ~0o222)
    if regedit:
        text = b"REGEDIT4\r\n"
        for key in sorted({v[0] for v in values.values()}, key=Fold):
            long = key.replace("HKLM", "HKEY_LOCAL_MACHINE", 1).replace("HKCU", "HKEY_CURRENT_USER", 1)
            text += b"\r\n[" + long.encode() + b"]\r\n"
            for (k, name, data) in sorted((v for v in values.values() if v[0] == key), key=lambda v: v[1]):
                shown = b"dword:%08x" % int.from_bytes(data, "little") if isinstance(data, Dword) else \
                    b'"' + RegEscape(data) + b'"'
                text += b'"' + RegEscape(name) + b'"=' + shown + b"\r\n"
        with open(os.path.join(folder, "registry.reg"), "wb") as f:
            f.write(text.decode("utf-8").encode(encoding) if encoding != "utf-8" else text)
    else:
        with open(os.path.join(folder, "registry.tsv"), "w") as f:
            for (key, name, data) in values.values():
                f.write("%s\t%s\t%s\n" % (key, name.hex(), data.hex()))

# --- comparing an outcome ----------------------------------------------------------------


def Changes(before, after):
    """The files made, replaced, removed or whose attributes changed, by folded path."""
    out = {}
    for key in set(before) | set(after):
        old, new = before.get(key), after.get(key)
        if old is None:
            out[key] = "folder" if new[1] is None else "created"
        elif new is None:
            out[key] = "removed"
        elif old[1] != new[1]:
            out[key] = "replaced"
        elif old[2] != new[2]:
            out[key] = "attributes"
    return out


def LineChanges(old, new):
    split = lambda data: re.split(rb"\r\n|\r|\n", data)[:-1] if data else []
    out = []
    for op in difflib.ndiff([l.decode("latin-1") for l in split(old)], [l.decode("latin-1") for l in split(new)]):
        if op[0] in "+-":
            out.append((op[0] + op[2:]).encode("latin-1"))
    return sorted(out)


class Outcome:
    def __init__(self):
        self.Problems = []

    def Expect(self, what, expected, seen):
        if expected != seen:
            self.Problems.append("%s:\n  expected %s\n  seen     %s" % (what, expected, seen))


def CompareBoxes(scenario, outcome, boxes, kinds=True):
    want = [(b["kind"] if kinds else "", b["text"]) for b in scenario.Boxes]
    seen = [((b["kind"] if kinds else ""), b["text"]) for b in boxes]
    outcome.Expect("boxes", [(k, Show(t)) for k, t in want], [(k, Show(t)) for k, t in seen])


def CompareState(scenario, outcome, beforeFiles, afterFiles, beforeValues, afterValues, ideRoot):
    fileChanges = Changes(beforeFiles, afterFiles)
    outcome.Expect("files", sorted((p.decode("latin-1"), c) for p, c in scenario.FileChanges.items()),
                   sorted((p.decode("latin-1"), c) for p, c in fileChanges.items()))
    for path, lines in scenario.Help.items():
        old, new = beforeFiles.get(path), afterFiles.get(path)
        outcome.Expect("help lines of " + path.decode("latin-1"), sorted(Show(l) for l in lines),
                       sorted(Show(l) for l in LineChanges(old[1] if old else b"", new[1] if new else b"")))
    root = ideRoot.encode("utf-8")
    want = {(k, n.replace(Fold("<ide>"), Fold(root))): d.replace(b"<ide>", root)
            for (k, n), d in scenario.Values.items()}
    # A string's terminating zero, which some hosts show and others do not, is not a change.
    bare = lambda d: d[:-1] if d.endswith(b"\0") else d
    seen = {key: bare(data) for key, (_, _, data) in afterValues.items()
            if key not in beforeValues or bare(beforeValues[key][2]) != bare(data)}
    seen.update({key: None for key in beforeValues if key not in afterValues})
    show = lambda d: sorted((k.decode("latin-1"), n.decode("latin-1"), Show(v) if v is not None else None)
                            for (k, n), v in d.items())
    outcome.Expect("registry values changed", show(want), show(seen))


def Finish(outcome, host, scenario):
    if outcome.Problems:
        print("%s on %s: %d difference(s)" % (scenario.Name, host, len(outcome.Problems)))
        for p in outcome.Problems:
            print(p)
        sys.exit(1)
    print("%s on %s: as expected" % (scenario.Name, host))
    sys.exit(0)

# --- the hosts ---------------------------------------------------------------------------


def PosixBoxes(output):
    boxes = []
    for m in re.finditer(rb"\[Ferrowind Component Installer: (\w+)\]\n(.*?)\n\[(OK|OK/Cancel)\]\n", output, re.S):
        kind = m.group(1).decode().lower()
        boxes.append({"kind": kind, "text": m.group(2).replace(b"\n", b"\r\n")})
    return boxes


def TreeOf(ide, pkg):
    files = {}
    ReadTree(ide, "<ide>", files)
    ReadTree(pkg, "<pkg>", files)
    return files


def RegistryFile(path):
    values = {}
    with open(path, "rb") as f:
        ParseRegedit(f.read().decode("utf-8", "surrogateescape"), values)
    return {k: (a, b, d) for k, (a, b, d) in values.items()}


def Times(folder):
    return {os.path.join(b, n): os.lstat(os.path.join(b, n)).st_mtime_ns
            for b, ds, ns in os.walk(folder) for n in ds + ns}


def LoadTsv(path):
    values = {}
    with open(path) as f:
        for line in f:
            key, name, data = line.rstrip("\n").split("\t")
            name, data = bytes.fromhex(name), bytes.fromhex(data)
            values[(Fold(key), Fold(name))] = (key, name, data)
    return values


def ComparePreview(scenario, outcome, report, ide, pkg, ideRoot):
    summary = scenario.Boxes and re.search(rb"\r\n(All|NO) files copied\r\n", scenario.Boxes[-1]["text"])
    outcome.Expect("exit code", 0 if summary else 1, report["exitCode"])
    CompareBoxes(scenario, outcome, [{"kind": b["kind"], "text": b["text"].encode("latin-1")} for b in report["boxes"]])
    place = lambda p: next((label + p[len(r):] for r, label in ((ide, "<ide>"), (pkg, "<pkg>")) if p.startswith(r)), p)
    seen = {Fold(place(f["path"])): f["change"] for f in report["files"] if f["change"] != "same"}
    outcome.Expect("files", sorted((p.decode("latin-1"), c) for p, c in scenario.FileChanges.items()),
                   sorted((p.decode("latin-1"), c) for p, c in seen.items()))
    lines = lambda h: [("-" + l).encode("latin-1") for l in h["removed"]] + [("+" + l).encode("latin-1") for l in h["added"]]
    outcome.Expect("help lines", {p: sorted(map(Show, ls)) for p, ls in scenario.Help.items()},
                   {Fold(place(h["path"])): sorted(map(Show, lines(h))) for h in report["help"]})
    root = ideRoot.encode("utf-8")
    want = {(k, n.replace(Fold("<ide>"), Fold(root))): d.replace(b"<ide>", root) for (k, n), d in scenario.Values.items()}
    seen = {(Fold(("HKLM\\" if v["root"] == "HKEY_LOCAL_MACHINE" else "HKCU\\") + v["key"]),
             Fold(v["name"].encode("latin-1"))): v["new"].encode("latin-1") for v in report["registry"]}
    outcome.Expect("registry values changed", sorted((k, n, Show(v)) for (k, n), v in want.items()),
                   sorted((k, n, Show(v)) for (k, n), v in seen.items()))


def RunHost(host, scenario, work, program):
    if host in scenario.Skips:
        print("SKIPPED: %s cannot show %s: %s" % (host, scenario.Name, scenario.Skips[host]))
        sys.exit(SkipCode)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    outcome = Outcome()
    ide, pkg = os.path.join(work, "ide"), os.path.join(work, "pkg")
    ideRoot, pkgRoot = ("C:\\IDE", "C:\\PKG") if host == "memory" else (ide, pkg)
    # The POSIX program runs as Setup.exe in the package folder; so does the preview's first run.
    setup = os.path.join(os.path.dirname(program), "ferrowind-setup") if host == "preview" else program
    with open(setup, "rb") as f:
        image = f.read() if host != "memory" else b"MZ"
    files, values = StartState(scenario, ideRoot, pkgRoot, image)
    WriteState(files, values, work, ide, pkg, regedit=host != "memory")
    answers = scenario.Answers()
    registry = os.path.join(work, "registry.reg")
    env = dict(os.environ, FERROWIND_REGISTRY=registry)
    held = [Placed(path, ideRoot, pkgRoot) for path in scenario.Held]
    if host == "memory":
        with open(os.path.join(work, "held.txt"), "w") as f:
            f.writelines(path + "\n" for path in held)
        run = subprocess.run([program, work, str(scenario.Runs)] + answers, capture_output=True)
        if run.returncode != 0:
            outcome.Problems.append("the runner failed: " + run.stderr.decode(errors="replace"))
            Finish(outcome, host, scenario)
        boxes = [json.loads(line) for line in run.stdout.decode().splitlines()]
        for b in boxes:
            b["text"] = bytes.fromhex(b["text"])
        CompareBoxes(scenario, outcome, boxes)
        before, after = os.path.join(work, "before"), os.path.join(work, "after")
        CompareState(scenario, outcome, TreeOf(os.path.join(before, "ide"), os.path.join(before, "pkg")),
                     TreeOf(os.path.join(after, "ide"), os.path.join(after, "pkg")),
                     LoadTsv(os.path.join(before, "registry.tsv")), LoadTsv(os.path.join(after, "registry.tsv")),
                     ideRoot)
        Finish(outcome, host, scenario)
    stdin = ("".join(a + "\n" for a in answers) + "ok\n" * 20).encode()
    # Another program's hold: an exclusive lock, which is how the POSIX host shares files.
    holds = [open(path, "rb") for path in held]
    for f in holds:
        fcntl.flock(f, fcntl.LOCK_EX)
    for _ in range(1, scenario.Runs + (host == "posix")):
        files, values = TreeOf(ide, pkg), RegistryFile(registry)
        run = subprocess.run([os.path.join(pkg, "Setup.exe")], cwd=pkg, env=env, input=stdin, capture_output=True)
        outcome.Expect("exit code", 0, run.returncode)
    for f in holds:
        f.close()
    if host == "posix":
        CompareBoxes(scenario, outcome, PosixBoxes(run.stdout))
        CompareState(scenario, outcome, files, TreeOf(ide, pkg), values, RegistryFile(registry), ideRoot)
    elif host == "preview":
        files = TreeOf(ide, pkg)
        with open(registry, "rb") as f:
            registryBytes = f.read()
        times = Times(work)
        cancelAt = scenario.CancelAt()
        args = [program, "--preview", "--json"] + (["--cancel-at", str(cancelAt)] if cancelAt else []) + ["Setup.cfg"]
        run = subprocess.run(args, cwd=pkg, env=env, capture_output=True)
        with open(registry, "rb") as f:
            outcome.Expect("the preview left the registry file as it was", True, f.read() == registryBytes)
        outcome.Expect("the preview left every file as it was", True, TreeOf(ide, pkg) == files and Times(work) == times)
        ComparePreview(scenario, outcome, json.loads(run.stdout), ide, pkg, ideRoot)
    Finish(outcome, host, scenario)


def main(argv):
    if len(argv) >= 3 and argv[0] == "run":
        host, scenario = argv[1], Scenario(argv[2])
        work = argv[argv.index("--work") + 1] if "--work" in argv else tempfile.mkdtemp(prefix="scenario-")
        program = os.path.abspath(argv[argv.index("--program") + 1])
        RunHost(host, scenario, os.path.join(work, host, scenario.Name), program)
    if len(argv) != 3 or argv[0] not in ("layout", "compare"):
        print(__doc__)
        sys.exit(2)
    scenario, driveC = Scenario(argv[1]), argv[2]
    ideRoot, pkgRoot = scenario.WineRoots["<ide>"], scenario.WineRoots["<pkg>"]
    unix = lambda path: os.path.join(driveC, *path[3:].split("\\"))
    ide, pkg, folder = unix(ideRoot), unix(pkgRoot), unix("C:\\fw\\s\\" + scenario.Name)
    if argv[0] == "layout":
        for path in (folder, ide, pkg):
            for base, dirs, names in os.walk(path):
                os.chmod(base, 0o755)
            shutil.rmtree(path, ignore_errors=True)
        os.makedirs(os.path.join(folder, "logs"))
        files, values = StartState(scenario, ideRoot, pkgRoot, b"")
        del files[Fold("<pkg>\\Setup.exe")]
        WriteState(files, values, folder, ide, pkg, regedit=True, encoding="cp1252")
        values64 = StartState(scenario, ideRoot, pkgRoot, b"", view64=True)[1]
        if values64:
            os.makedirs(os.path.join(folder, "view64"))
            WriteState({}, values64, os.path.join(folder, "view64"), ide, pkg, regedit=True, encoding="cp1252")
        print(scenario.Runs, scenario.CancelAt(), " ".join(scenario.Answers()))
        print(ideRoot, pkgRoot, folder, ide, pkg, sep="\n")
        print("\t".join(Placed(path, ideRoot, pkgRoot) for path in scenario.Held))
    else:
        outcome = Outcome()
        with open(os.path.join(folder, "boxes.txt"), "rb") as f:
            shown = [Unescape(l.decode("utf-8")) for l in f.read().split(b"\n")[:-1]]
        CompareBoxes(scenario, outcome, [{"kind": "", "text": t} for t in shown], kinds=False)
        exported = lambda name: ParseRegedit(open(os.path.join(folder, name), encoding="utf-8").read(), {})
        before = TreeOf(os.path.join(folder, "before", "ide"), os.path.join(folder, "before", "pkg"))
        before.pop(Fold("<pkg>\\Setup.exe"), None)
        after = TreeOf(ide, pkg)
        after.pop(Fold("<pkg>\\Setup.exe"), None)
        CompareState(scenario, outcome, before, after, exported("before.reg"), exported("after.reg"), ideRoot)
        preview = os.path.join(folder, "preview.json")
        if os.path.exists(preview):
            with open(preview, "rb") as f:
                ComparePreview(scenario, outcome, json.loads(f.read().decode("latin-1")), ideRoot, pkgRoot, ideRoot)
        Finish(outcome, "wine", scenario)


if __name__ == "__main__":
    main(sys.argv[1:])
