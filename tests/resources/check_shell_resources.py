"""The installer's string table, file-dialog templates, icon and export,
read back from the built executable and compared value by value."""
import sys
import unittest

import peresources as pr

STRINGS = {
    1024: "Zoravuvi",
    1026: "quova.ini",
    1028: "CAUTION!",
    1030: "C:\\Program files\\Quova\\",
    1034: "Quova",
    1036: "インストール完了です。\nQuovaを起動します。",
    1037: "Installation finished.\nLaunch Quova...",
    2048: " ",
    2050: "キャンセルされました", 2051: "Cancel",
    2052: "書庫が見つかりません", 2053: "Not Archive",
    2054: "未知の形式", 2055: "Unknown type",
    2056: "ファイルが壊れています", 2057: "Broken file",
    2058: "メモリーが足りません", 2059: "Memory empty",
    2060: "メモリーエラー", 2061: "Memory error",
    2062: "読込みエラー", 2063: "Read error",
    2064: "書込みエラー\nインストール先を確認してください。",
    2065: "Write error\nCheck 'destination folder'.",
    2066: "内部エラー", 2067: "Internal err",
    2080: "コモンダイアログでエラー#%ld が発生しました",
    2081: "Error (#%ld) in Common dialog",
}

# Buffer sizes the callers pass, terminator included, by even id.
CALLER_CAPACITY = {1028: 64, 2080: 128}

RS, US = "\u001e", "\u001f"
# Controls of both file-dialog templates: id, class, text (English,
# Japanese), rectangle, style.
FILE_DIALOG_CONTROLS = [
    (1090, "STATIC", (":", ":"), (-98, 3, 76, 9), 0x50020000),
    (1152, "EDIT", ("", ""), (-98, 13, 90, 12), 0x40810C80),
    (1120, "LISTBOX", ("", ""), (-98, 29, 90, 68), 0x40A01053),
    (0xFFFF, "STATIC", ("&Directory:", "ディレクトリ(" + RS + "D" + US + "ﾃ):"), (6, 3, 92, 9),
     0x50020000),
    (1088, "STATIC", ("", ""), (6, 15, 92, 9), 0x50020080),
    (1121, "LISTBOX", ("", ""), (6, 29, 92, 71), 0x50A11153),
    (1089, "STATIC", (":", ":"), (-98, 101, 90, 9), 0x50020000),
    (1136, "COMBOBOX", ("", ""), (-98, 111, 90, 80), 0x40A00043),
    (1091, "STATIC", ("Dri&ve:", "ドライブ(" + RS + "V" + US + "ﾄ):"), (6, 107, 92, 9), 0x50020000),
    (1137, "COMBOBOX", ("", ""), (6, 117, 92, 82), 0x50A10353),
    (1, "BUTTON", ("OK", "OK"), (7, 138, 44, 14), 0x50030001),
    (2, "BUTTON", ("Cancel", "Cancel"), (54, 138, 44, 14), 0x50030000),
    (1038, "BUTTON", ("ﾍﾙﾌﾟ(" + RS + "H" + US + "ﾍ)",) * 2, (106, 43, 50, 14), 0x50030000),
    (1040, "BUTTON", ("上書き禁止(" + RS + "R" + US + "ｺ)",) * 2, (118, 66, 62, 12), 0x50030003),
]

FILE_DIALOGS = {
    "DESTDIR_DLG": ("Destination", "MS Sans Serif", 8, 0),
    "DESTDIR_DLGJ": ("インストール先", "ＭＳ Ｐゴシック", 9, 1),
}

PE = None


class StringTable(unittest.TestCase):
    def test_every_text_and_no_other(self):
        table = pr.string_table(PE)
        self.assertEqual(sorted(STRINGS), sorted(table))
        for ident, text in STRINGS.items():
            with self.subTest(id=ident):
                self.assertEqual(text, table[ident][0])
                self.assertEqual(pr.LANG_NEUTRAL, table[ident][1])

    def test_longest_text_fits_its_buffer_in_code_page_932(self):
        table = pr.string_table(PE)
        self.assertEqual(47, len(table[2064][0].encode("cp932")))
        for ident, (text, _) in table.items():
            with self.subTest(id=ident):
                capacity = CALLER_CAPACITY.get(ident & ~1, 256)
                self.assertLess(len(text.encode("cp932")), capacity)


class FileDialogTemplates(unittest.TestCase):
    def test_header(self):
        found = pr.dialogs(PE)
        for name, (caption, font, size, _) in FILE_DIALOGS.items():
            with self.subTest(name=name):
                dialog, lang = found[name]
                self.assertFalse(dialog["extended"], "classic template form")
                self.assertEqual(pr.LANG_NEUTRAL, lang)
                self.assertEqual(0x80C800C4, dialog["style"])
                self.assertEqual(0, dialog["exStyle"])
                self.assertEqual((0, 0, 104, 156), dialog["rect"])
                self.assertEqual(14, dialog["count"])
                self.assertEqual("", dialog["menu"])
                self.assertEqual("", dialog["class"])
                self.assertEqual(caption, dialog["caption"])
                self.assertEqual((font, size), (dialog["font"], dialog["fontSize"]))

    def test_controls_field_by_field(self):
        found = pr.dialogs(PE)
        for name, (_, _, _, language) in FILE_DIALOGS.items():
            controls = found[name][0]["controls"]
            self.assertEqual(len(FILE_DIALOG_CONTROLS), len(controls), name)
            for index, (ident, kind, texts, rect, style) in enumerate(FILE_DIALOG_CONTROLS):
                with self.subTest(name=name, control=index + 1):
                    control = controls[index]
                    self.assertEqual(ident, control["id"])
                    self.assertEqual(kind, control["class"])
                    self.assertEqual(texts[language], control["text"])
                    self.assertEqual(rect, control["rect"])
                    self.assertEqual(hex(style), hex(control["style"]))
                    self.assertEqual(0, control["exStyle"])
                    self.assertEqual(b"", control["extra"])

    def test_user_sees_only_directories_drives_ok_and_cancel(self):
        for name in FILE_DIALOGS:
            dialog = pr.dialogs(PE)[name][0]
            width = dialog["rect"][2]
            shown = set()
            for control in dialog["controls"]:
                x, _, w, _ = control["rect"]
                if control["style"] & 0x10000000 and x + w > 0 and x < width:  # WS_VISIBLE
                    shown.add(control["id"])
            self.assertEqual({0xFFFF, 1088, 1121, 1091, 1137, 1, 2}, shown, name)


class Icon(unittest.TestCase):
    def test_one_group_with_32_and_16_pixels_in_16_colours(self):
        groups = pr.icon_groups(PE)
        self.assertEqual([1], sorted(groups))
        lang, group = groups[1]
        self.assertEqual(pr.LANG_NEUTRAL, lang)
        self.assertEqual(1, group["type"])
        sizes = sorted((e["width"], e["height"]) for e in group["entries"])
        self.assertEqual([(16, 16), (32, 32)], sizes)
        for entry in group["entries"]:
            with self.subTest(size=entry["width"]):
                self.assertEqual((16, 4, 1), (entry["colours"], entry["bits"], entry["planes"]))
                image = entry["image"]
                self.assertEqual((entry["width"], 2 * entry["height"]),
                                 (image["width"], image["height"]))
                self.assertEqual((4, 0), (image["bits"], image["compression"]))
                self.assertEqual(entry["size"], entry["bytes"])
                self.assertEqual(pr.LANG_NEUTRAL, entry["language"])


class Export(unittest.TestCase):
    def test_browse_callback_exported_undecorated(self):
        self.assertIn("BFFCallback", pr.export_names(PE))
        self.assertFalse([n for n in pr.export_names(PE) if n.startswith("BFFCallback@")])


if __name__ == "__main__":
    PE = pr.executable_from_argv()
    unittest.main(argv=sys.argv, verbosity=2)
