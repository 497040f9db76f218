"""Zoravuvi.exe as a file: one 32-bit GUI executable that imports system
DLLs only, looks up SetDefaultDllDirectories at run time, and carries the
payload archive unchanged as raw-data resource 1.

  check_installer_pe.py ZORAVUVI.EXE PAYLOAD.LZH"""
import sys
import unittest

import pefile

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll",
               "comdlg32.dll", "msvcrt.dll"}
RT_RCDATA = 10
I386 = 0x14C
GUI = 2

PE = None
PAYLOAD = b""


def imports(pe):
    return {entry.dll.decode().lower(): [i.name.decode() for i in entry.imports if i.name]
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}


class InstallerFile(unittest.TestCase):
    def test_32_bit_gui(self):
        self.assertEqual(I386, PE.FILE_HEADER.Machine)
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
        sys.exit("usage: check_installer_pe.py ZORAVUVI.EXE PAYLOAD.LZH")
    PE = pefile.PE(sys.argv.pop(1))
    with open(sys.argv.pop(1), "rb") as archive:
        PAYLOAD = archive.read()
    unittest.main(argv=sys.argv, verbosity=2)
