"""Zoravuvi.exe read back as a file. It must load on the oldest systems it
serves: a GUI program of its build's machine (32-bit; the win64 test build is
x64), header versions 3.10, only the imports of allowed_imports.txt (the
shell's folder browser, COM and SetDefaultDllDirectories are looked up at
run time), no debug data. Its resources: the payload unchanged as raw data 1,
every text exactly and within its caller's buffer, classic dialog
templates, the file dialog showing only directories and drives, a 16-colour
icon, and the browser callback exported undecorated. For Windows Vista and
later: a manifest as strict as Windows reads it, and a version resource.

  check_installer_pe.py ZORAVUVI.EXE PAYLOAD.LZH [win32|win64]"""
import re
import struct
import sys
import unittest
from pathlib import Path
from xml.etree import ElementTree

import pefile

from resource_script import DIALOGS, ID, STRINGS

RT_ICON, RT_STRING, RT_DIALOG, RT_RCDATA, RT_GROUP_ICON = 3, 6, 5, 10, 14
MACHINES = {"win32": 0x14C, "win64": 0x8664}
ALLOWLIST = Path(__file__).with_name("allowed_imports.txt")
RUN_TIME_LOOKUPS = ["SetDefaultDllDirectories", "SHGetMalloc", "SHBrowseForFolderA",
                    "SHGetPathFromIDListA", "CoInitialize", "CoUninitialize"]
# Buffers the callers pass, terminator included, by even id; 256 elsewhere.
CALLER_CAPACITY = {ID["IDS_CAUTION"]: 64, ID["IDS_COMMON_DIALOG_ERROR"]: 128}
# The old file dialog needs all of its controls; the person sees only these.
FILE_DIALOG_SHOWN = {0xFFFF, ID["IDC_DIR_PATH"], ID["IDC_DIR_LIST"], ID["IDC_DRIVE_LABEL"],
                     ID["IDC_DRIVE_LIST"], ID["IDOK"], ID["IDCANCEL"]}
WS_VISIBLE = 0x10000000
# The manifest: the only elements Windows is given, and the systems it may name.
RT_VERSION, RT_MANIFEST = 16, 24
ASM = "{urn:schemas-microsoft-com:asm.v1}"
SECURITY, COMPAT = "{urn:schemas-microsoft-com:asm.v3}", "{urn:schemas-microsoft-com:compatibility.v1}"
MANIFEST_TAGS = {ASM + "assembly", ASM + "assemblyIdentity", ASM + "description", COMPAT + "compatibility",
                 COMPAT + "application", COMPAT + "supportedOS", SECURITY + "trustInfo",
                 SECURITY + "security", SECURITY + "requestedPrivileges", SECURITY + "requestedExecutionLevel"}
# Vista, 7, 8, 8.1, and 10 and 11: the ids Windows knows.
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}
MANIFEST_ARCH = {"win32": "x86", "win64": "amd64"}
VERSION_STRINGS = {"CompanyName": "Dorvalen", "InternalName": "Zoravuvi", "OriginalFilename": "Zoravuvi.exe",
                   "ProductName": "Quova"}
VERSION_BLOCKS = {"040904B0": "Quova installer", "041103A4": "Quovaインストーラ"}
PE, PAYLOAD, ARCH = None, b"", "win32"


def resources(type_id):
    """{name: (language, bytes)} of one resource type."""
    found = {}
    for kind in PE.DIRECTORY_ENTRY_RESOURCE.entries:
        for named in kind.directory.entries if kind.id == type_id else []:
            for lang in named.directory.entries:
                data = lang.data.struct
                name = str(named.name) if named.name is not None else named.id
                found[name] = (lang.id, PE.get_data(data.OffsetToData, data.Size))
    return found


def field(data, at):
    """A template's string or ordinal field: (value, offset after it)."""
    (first,) = struct.unpack_from("<H", data, at)
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0]:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def dialog(data):
    """A classic template: (width, [(id, class, text, style, x, width)])."""
    assert struct.unpack_from("<HH", data) != (1, 0xFFFF), "extended template"
    style, _, count, _, _, width, _ = struct.unpack_from("<IIHhhhh", data)
    at = 18
    for _ in range(3):  # menu, class, caption
        _, at = field(data, at)
    if style & 0x40:  # DS_SETFONT
        _, at = field(data, at + 2)
    controls = []
    for _ in range(count):
        at = (at + 3) & ~3
        c_style, _, x, _, cx, _, ident = struct.unpack_from("<IIhhhhH", data, at)
        kind, at = field(data, at + 18)
        text, at = field(data, at)
        at += 2 + struct.unpack_from("<H", data, at)[0]
        controls.append((ident, kind, text, c_style, x, cx))
    return width, controls


def version_numbers():
    """The four numbers of the version, from the main dialog's caption ("ver0.13")."""
    data = resources(RT_DIALOG)[1][1]
    title = field(data, field(data, field(data, 18)[1])[1])[0]  # after the menu and class
    return (*map(int, re.search(r"ver(\d+)\.(\d+)$", title).groups()), 0, 0)


def imports():
    return {(entry.dll.decode().lower(), i.name.decode() if i.name else f"#{i.ordinal}")
            for entry in getattr(PE, "DIRECTORY_ENTRY_IMPORT", []) for i in entry.imports}


def allowlist():
    rows = [line.split() for line in ALLOWLIST.read_text().splitlines()
            if line.strip() and not line.startswith("#")]
    return {(dll.lower(), name): (win95, nt) for dll, name, win95, nt in rows}


class InstallerFile(unittest.TestCase):
    def test_header(self):
        header = PE.OPTIONAL_HEADER
        self.assertEqual(MACHINES[ARCH], PE.FILE_HEADER.Machine)
        self.assertEqual(2, header.Subsystem, "GUI")
        self.assertEqual([(3, 10)] * 2, [
            (header.MajorSubsystemVersion, header.MinorSubsystemVersion),
            (header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion)])
        code = next(s for s in PE.sections if s.Name.startswith(b".text\0"))
        self.assertTrue(code.contains_rva(header.AddressOfEntryPoint))

    def test_imports_only_functions_of_95_and_nt_351(self):
        for (dll, name), (win95, nt) in allowlist().items():
            self.assertEqual("95", win95, name)
            self.assertLessEqual(tuple(map(int, nt.split("."))), (3, 51), name)
        self.assertEqual([], sorted(f"{d} {n}" for d, n in imports() - set(allowlist())))
        for name in RUN_TIME_LOOKUPS:
            self.assertNotIn(name, {n for _, n in imports()})
            self.assertNotEqual(-1, PE.__data__.find(name.encode() + b"\0"), name)

    def test_no_debug_data_or_symbols(self):
        names = [s.Name.rstrip(b"\0").decode() for s in PE.sections]
        self.assertEqual([], [n for n in names if n.startswith((".debug", ".stab", "/"))])
        debug = PE.OPTIONAL_HEADER.DATA_DIRECTORY[6]
        self.assertEqual((0, 0, 0), (debug.Size, PE.FILE_HEADER.PointerToSymbolTable,
                                     PE.FILE_HEADER.NumberOfSymbols))

    def test_payload_is_raw_data_1_unchanged(self):
        self.assertEqual([1], list(resources(RT_RCDATA)))
        lang, data = resources(RT_RCDATA)[1]
        self.assertEqual(0, lang)
        self.assertTrue(data == PAYLOAD, "resource differs from the payload archive")

    def test_every_text_fits_its_callers_buffer_in_code_page_932(self):
        strings = {}
        for kind in PE.DIRECTORY_ENTRY_RESOURCE.entries:
            for block in kind.directory.entries if kind.id == RT_STRING else []:
                strings.update(block.directory.strings)
        self.assertEqual(STRINGS, strings)
        for ident, text in strings.items():
            self.assertLess(len(text.encode("cp932")), CALLER_CAPACITY.get(ident & ~1, 256), ident)

    def test_dialog_templates_as_the_scripts_state_them(self):
        self.assertEqual(sorted(DIALOGS, key=str), sorted(resources(RT_DIALOG), key=str))
        for name, template in DIALOGS.items():
            _, controls = dialog(resources(RT_DIALOG)[name][1])
            self.assertEqual(template["controls"], [c[:3] for c in controls], name)

    def test_file_dialog_shows_only_directories_and_drives(self):
        for name in ("DESTDIR_DLG", "DESTDIR_DLGJ"):
            width, controls = dialog(resources(RT_DIALOG)[name][1])
            shown = {i for i, _, _, style, x, cx in controls
                     if style & WS_VISIBLE and x + cx > 0 and x < width}
            self.assertEqual(FILE_DIALOG_SHOWN, shown, name)

    def test_icon_has_16_and_32_pixels_in_16_colours(self):
        images = resources(RT_ICON)
        (group,) = resources(RT_GROUP_ICON).values()
        _, _, count = struct.unpack_from("<HHH", group[1])
        sizes = []
        for at in range(6, 6 + 14 * count, 14):
            width, height, colours, _, _, bits, size, ident = struct.unpack_from("<BBBBHHIH",
                                                                                 group[1], at)
            self.assertEqual((16, 4, size), (colours, bits, len(images[ident][1])))
            sizes.append((width, height))
        self.assertEqual([(16, 16), (32, 32)], sorted(sizes))

    def test_browser_callback_exported_undecorated(self):
        names = [s.name.decode() for s in PE.DIRECTORY_ENTRY_EXPORT.symbols if s.name]
        self.assertIn("BFFCallback", names)


class ForModernWindows(unittest.TestCase):
    def test_manifest_as_strict_as_windows(self):
        self.assertEqual({1: 0}, {name: lang for name, (lang, _) in resources(RT_MANIFEST).items()})
        data = resources(RT_MANIFEST)[1][1]
        self.assertFalse(data.startswith(b"\xef\xbb\xbf"), "a byte-order mark")
        self.assertTrue(data.isascii(), "not plain ASCII")
        root = ElementTree.fromstring(data)
        self.assertEqual(set(), {e.tag for e in root.iter()} - MANIFEST_TAGS, "unexpected elements")
        identity = root.find(ASM + "assemblyIdentity")
        self.assertEqual(("win32", MANIFEST_ARCH[ARCH], True), (identity.get("type"),
                         identity.get("processorArchitecture"), bool(identity.get("name"))))
        self.assertEqual(".".join(map(str, version_numbers())), identity.get("version"))
        level = root.find(f"{SECURITY}trustInfo/{SECURITY}security/{SECURITY}requestedPrivileges/"
                          f"{SECURITY}requestedExecutionLevel")
        self.assertEqual({"level": "requireAdministrator", "uiAccess": "false"}, level.attrib)
        self.assertEqual(sorted(SUPPORTED_OS), sorted(e.get("Id") for e in root.iter(COMPAT + "supportedOS")))

    def test_version_resource_in_english_and_japanese(self):
        numbers, fixed = version_numbers(), PE.VS_FIXEDFILEINFO[0]
        for high, low in ((fixed.FileVersionMS, fixed.FileVersionLS),
                          (fixed.ProductVersionMS, fixed.ProductVersionLS)):
            self.assertEqual(numbers, (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF))
        tables = {table.LangID.decode(): {k.decode(): v.decode() for k, v in table.entries.items()}
                  for info in PE.FileInfo[0] for table in getattr(info, "StringTable", [])}
        text = "%d.%d" % numbers[:2]
        self.assertEqual({block: dict(VERSION_STRINGS, FileDescription=description, FileVersion=text,
                                      ProductVersion=text)
                          for block, description in VERSION_BLOCKS.items()}, tables)
        data = resources(RT_VERSION)[1][1]
        at = data.find("Translation\0".encode("utf-16-le")) + 24
        self.assertEqual((0x409, 1200, 0x411, 932), struct.unpack_from("<4H", data, (at + 3) & ~3))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: check_installer_pe.py ZORAVUVI.EXE PAYLOAD.LZH [win32|win64]")
    PE = pefile.PE(sys.argv.pop(1))
    PAYLOAD = Path(sys.argv.pop(1)).read_bytes()
    if len(sys.argv) > 1 and sys.argv[1] in MACHINES:
        ARCH = sys.argv.pop(1)
    unittest.main(argv=sys.argv, verbosity=2)
