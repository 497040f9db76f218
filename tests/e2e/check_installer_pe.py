"""Zoravuvi.exe as a file: a GUI program of its build's machine (32-bit; the
win64 test build is x64) that loads on the oldest systems it serves: only
allowlisted imports (allowed_imports.txt), header versions 3.10 (NT 3.51
and Windows 95 load it), no debug data or symbol table; it looks up
SetDefaultDllDirectories and the shell's folder browser at run time, and
carries the payload archive unchanged as raw-data resource 1.

  check_installer_pe.py ZORAVUVI.EXE PAYLOAD.LZH [win32|win64]"""
import sys
import unittest
from pathlib import Path

import pefile

RT_RCDATA = 10
GUI = 2
MACHINES = {"win32": 0x14C, "win64": 0x8664}
OLDEST_VERSION = (3, 10)
ALLOWLIST = Path(__file__).with_name("allowed_imports.txt")
RUN_TIME_LOOKUPS = ["SetDefaultDllDirectories", "SHGetMalloc", "SHBrowseForFolderA",
                    "SHGetPathFromIDListA"]

PE = None
PAYLOAD = b""
ARCH = "win32"


def imports(pe):
    return {(entry.dll.decode().lower(), i.name.decode() if i.name else f"#{i.ordinal}")
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) for i in entry.imports}


def allowlist():
    allowed = {}
    for line in ALLOWLIST.read_text().splitlines():
        if line.strip() and not line.startswith("#"):
            dll, function, win95, nt = line.split()
            allowed[(dll.lower(), function)] = (win95, nt)
    return allowed


def version_tuple(text):
    return tuple(int(part) for part in text.split("."))


class InstallerFile(unittest.TestCase):
    def test_gui_program_of_its_build(self):
        self.assertEqual(MACHINES[ARCH], PE.FILE_HEADER.Machine)
        self.assertEqual(GUI, PE.OPTIONAL_HEADER.Subsystem)

    def test_entry_point_lies_in_the_code(self):
        entry = PE.OPTIONAL_HEADER.AddressOfEntryPoint
        code = next(s for s in PE.sections if s.Name.startswith(b".text\0"))
        self.assertTrue(code.VirtualAddress <= entry < code.VirtualAddress + code.Misc_VirtualSize)

    def test_header_asks_for_the_oldest_systems(self):
        header = PE.OPTIONAL_HEADER
        self.assertEqual(OLDEST_VERSION, (header.MajorSubsystemVersion,
                                          header.MinorSubsystemVersion))
        self.assertEqual(OLDEST_VERSION, (header.MajorOperatingSystemVersion,
                                          header.MinorOperatingSystemVersion))

    def test_allowlist_names_only_functions_of_95_and_nt_351(self):
        for (dll, function), (win95, nt) in allowlist().items():
            self.assertEqual("95", win95, f"{dll} {function}")
            self.assertLessEqual(version_tuple(nt), (3, 51), f"{dll} {function}")

    def test_imports_only_allowlisted_functions(self):
        unknown = sorted(f"{dll} {name}" for dll, name in imports(PE) - set(allowlist()))
        self.assertEqual([], unknown, "imports outside allowed_imports.txt")

    def test_run_time_lookups_are_not_imported(self):
        imported = {name for _, name in imports(PE)}
        for name in RUN_TIME_LOOKUPS:
            self.assertNotIn(name, imported)
            self.assertNotEqual(-1, PE.__data__.find(name.encode() + b"\0"), name)

    def test_no_debug_data_or_symbols(self):
        sections = [s.Name.rstrip(b"\0").decode() for s in PE.sections]
        self.assertEqual([], [s for s in sections if s.startswith((".debug", ".stab", "/"))])
        debug = PE.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_DEBUG"]]
        self.assertEqual((0, 0), (debug.VirtualAddress, debug.Size))
        self.assertEqual((0, 0), (PE.FILE_HEADER.PointerToSymbolTable,
                                  PE.FILE_HEADER.NumberOfSymbols))

    def test_payload_is_rcdata_1_unchanged(self):
        found = []
        for kind in PE.DIRECTORY_ENTRY_RESOURCE.entries:
            if kind.id != RT_RCDATA:
                continue
            for named in kind.directory.entries:
                for lang in named.directory.entries:
                    data = lang.data.struct
                    found.append((named.id, lang.id,
                                  PE.get_data(data.OffsetToData, data.Size)))
        self.assertEqual([1], [ident for ident, _, _ in found])
        self.assertEqual(0, found[0][1], "language neutral")
        self.assertTrue(found[0][2] == PAYLOAD, "resource differs from payload.lzh")


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: check_installer_pe.py ZORAVUVI.EXE PAYLOAD.LZH [win32|win64]")
    PE = pefile.PE(sys.argv.pop(1))
    with open(sys.argv.pop(1), "rb") as archive:
        PAYLOAD = archive.read()
    if len(sys.argv) > 1 and sys.argv[1] in MACHINES:
        ARCH = sys.argv.pop(1)
    unittest.main(argv=sys.argv, verbosity=2)
