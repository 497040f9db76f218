"""Zoravuvi.exe as a file: one GUI executable (32-bit, or 64-bit in the
win64 test build) that imports system
DLLs only, looks up SetDefaultDllDirectories at run time, and carries the
payload archive unchanged as raw-data resource 1.

  check_installer_pe.py ZORAVUVI.EXE PAYLOAD.LZH [win32|win64]"""
import sys
import unittest

import pefile

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll",
               "comdlg32.dll", "msvcrt.dll"}
RT_RCDATA = 10
MACHINES = {"win32": 0x14C, "win64": 0x8664}
GUI = 2

PE = None
PAYLOAD = b""
ARCH = "win32"


def imports(pe):
    return {entry.dll.decode().lower(): [i.name.decode() for i in entry.imports if i.name]
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}


class InstallerFile(unittest.TestCase):
    def test_gui_program_of_its_build(self):
        self.assertEqual(MACHINES[ARCH], PE.FILE_HEADER.Machine)
        self.assertEqual(GUI, PE.OPTIONAL_HEADER.Subsystem)

    def test_imports_system_dlls_only(self):
        self.assertLessEqual(set(imports(PE)), SYSTEM_DLLS)

    def test_dll_search_call_looked_up_at_run_time(self):
        every = [name for names in imports(PE).values() for name in names]
        self.assertNotIn("SetDefaultDllDirectories", every)
        self.assertIn("GetProcAddress", every)
        self.assertNotEqual(-1, PE.__data__.find(b"SetDefaultDllDirectories\0"))

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
