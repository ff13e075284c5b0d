#!/usr/bin/env python3
"""Reads a Windows executable's PE header and import table and states the oldest Windows
that can load it: the subsystem version its header asks for, and every imported function
looked up in the list of functions that Windows XP's system DLLs export.

    pe-check.py FUNCTIONS_FILE EXE...

Exit 0 when every executable loads on Windows XP SP3, 1 otherwise."""

import struct
import sys

# What the header's subsystem version means to the Windows loader, which refuses an image
# whose version is above its own.
WINDOWS_VERSIONS = [((4, 0), "Windows NT 4.0"), ((5, 0), "Windows 2000"), ((5, 1), "Windows XP"),
                    ((5, 2), "Windows Server 2003 and XP x64"), ((6, 0), "Windows Vista"),
                    ((6, 1), "Windows 7"), ((6, 2), "Windows 8"), ((6, 3), "Windows 8.1"),
                    ((10, 0), "Windows 10")]
OLDEST_WANTED = (5, 1)


def Oldest(version):
    named = [name for known, name in WINDOWS_VERSIONS if known >= version]
    return named[0] if named else "no Windows known here"


class TImage:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        if self.data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, sections, self.timestamp, _, _, optional_size,
         _) = struct.unpack_from("<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        self.pe32plus = magic == 0x20B
        (self.os_version, self.subsystem_version) = (
            struct.unpack_from("<HH", self.data, optional + 40), struct.unpack_from("<HH", self.data, optional + 48))
        self.checksum, self.subsystem = struct.unpack_from("<IH", self.data, optional + 64)
        directories = optional + (112 if self.pe32plus else 96)
        self.import_rva = struct.unpack_from("<I", self.data, directories + 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            _, virtual_size, virtual_address, raw_size, raw_pointer = struct.unpack_from(
                "<8sIIII", self.data, table + 40 * i)
            self.sections.append((virtual_address, max(virtual_size, raw_size), raw_pointer))

    def Offset(self, rva):
        for address, size, raw in self.sections:
            if address <= rva < address + size:
                return rva - address + raw
        raise ValueError("address %#x lies in no section" % rva)

    def Text(self, rva):
        start = self.Offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def Imports(self):
        """{DLL name in upper case: [function names, or #ordinal]}"""
        imports = {}
        entry = self.Offset(self.import_rva) if self.import_rva else None
        width, ordinal_flag = (8, 1 << 63) if self.pe32plus else (4, 1 << 31)
        while entry is not None:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, entry)
            if name == 0:
                break
            functions = imports.setdefault(self.Text(name).upper(), [])
            slot = self.Offset(lookup or thunks)
            while True:
                value = struct.unpack_from("<Q" if self.pe32plus else "<I", self.data, slot)[0]
                if value == 0:
                    break
                functions.append("#%d" % (value & 0xFFFF) if value & ordinal_flag else self.Text(value + 2))
                slot += width
            entry += 20
        return imports


def LoadFunctions(path):
    """The functions file: '[DLL]' lines, then one function a line; '#' starts a comment."""
    present, dll = {}, None
    with open(path) as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line.startswith("[") and line.endswith("]"):
                dll = present.setdefault(line[1:-1].upper(), set())
            elif line:
                dll.add(line)
    return present


def Check(path, present):
    image = TImage(path)
    name = path.rsplit("/", 1)[-1]
    kind = {2: "GUI", 3: "console"}.get(image.subsystem, "subsystem %d" % image.subsystem)
    print("%s: %s %s program, subsystem version %d.%02d (%s or later), OS version %d.%02d, "
          "time stamp %d, checksum %#x" % (name, "PE32+" if image.pe32plus else "PE32", kind,
                                           image.subsystem_version[0], image.subsystem_version[1],
                                           Oldest(image.subsystem_version), image.os_version[0],
                                           image.os_version[1], image.timestamp, image.checksum))
    ok = True
    if image.subsystem_version > OLDEST_WANTED:
        print("FAIL: %s: the header asks for %s; Windows XP refuses it" % (name, Oldest(image.subsystem_version)))
        ok = False
    imports = image.Imports()
    count = 0
    for dll, functions in sorted(imports.items()):
        known = present.get(dll)
        if known is None:
            print("FAIL: %s imports %s, which is not among Windows XP's DLLs here" % (name, dll))
            ok = False
            continue
        for function in functions:
            count += 1
            if function not in known:
                print("FAIL: %s imports %s!%s, not in Windows XP's list" % (name, dll, function))
                ok = False
    print("%s: %d functions from %s%s" % (name, count, ", ".join(sorted(imports)),
                                           ", every one present in Windows XP" if ok else ""))
    return ok


def Main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    present = LoadFunctions(argv[1])
    results = [Check(path, present) for path in argv[2:]]
    if all(results):
        print("oldest Windows: Windows XP SP3 (the header allows it, every import is there, and SP3 reads"
              " the manifest); older ones are not checked")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(Main(sys.argv))
