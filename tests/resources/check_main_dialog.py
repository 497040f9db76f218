"""Main dialog templates 1 (English) and 2 (Japanese), read back from the
built executable and compared field by field."""
import sys
import unittest

import peresources as pr

# The predefined window classes as a classic template names them.
BUTTON, EDIT, STATIC = 0x80, 0x81, 0x82

# WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_SETFONT
DIALOG_STYLE = 0x80000000 | 0x10000000 | 0x00C00000 | 0x00080000 | 0x80 | 0x04 | 0x40
CHILD_VISIBLE = 0x50000000
TABSTOP, GROUP, BORDER = 0x00010000, 0x00020000, 0x00800000
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3
ES_AUTOHSCROLL, SS_LEFT = 0x80, 0

TEMPLATES = {
    1: ("Quova installer ver0.13", "MS Sans Serif", 8),
    2: ("Quovaインストーラ ver0.13", "ＭＳ Ｐゴシック", 9),
}

# id, class, style beyond WS_CHILD | WS_VISIBLE, rectangle, texts (1, 2)
CONTROLS = [
    (1, BUTTON, TABSTOP | BS_DEFPUSHBUTTON, (10, 63, 109, 14),
     ("Start installation", "インストール開始")),
    (2, BUTTON, TABSTOP | BS_PUSHBUTTON, (132, 63, 50, 14), ("Cancel", "Cancel")),
    (101, EDIT, BORDER | TABSTOP | ES_AUTOHSCROLL, (8, 14, 178, 11), ("", "")),
    (0xFFFF, STATIC, GROUP | SS_LEFT, (9, 4, 115, 10), ("Install folder:", "インストール先:")),
    (102, BUTTON, TABSTOP | BS_PUSHBUTTON, (95, 29, 90, 13), ("Browse", "インストール先を選ぶ")),
    (103, BUTTON, TABSTOP | BS_AUTOCHECKBOX, (28, 47, 154, 12),
     ("Create a shortcut on your Desktop", "デスクトップにショートカットを作る")),
]

PE = None


class MainDialogTemplates(unittest.TestCase):
    def test_header(self):
        found = pr.dialogs(PE)
        for ident, (caption, font, size) in TEMPLATES.items():
            with self.subTest(template=ident):
                dialog, lang = found[ident]
                self.assertFalse(dialog["extended"], "classic template form")
                self.assertEqual(pr.LANG_NEUTRAL, lang)
                self.assertEqual(hex(DIALOG_STYLE), hex(dialog["style"]))
                self.assertEqual(0, dialog["exStyle"])
                self.assertEqual((6, 15, 194, 82), dialog["rect"])
                self.assertEqual(len(CONTROLS), dialog["count"])
                self.assertEqual("", dialog["menu"])
                self.assertEqual("", dialog["class"])
                self.assertEqual(caption, dialog["caption"])
                self.assertEqual((font, size), (dialog["font"], dialog["fontSize"]))

    def test_controls_field_by_field_in_tab_order(self):
        found = pr.dialogs(PE)
        for ident in TEMPLATES:
            controls = found[ident][0]["controls"]
            self.assertEqual(len(CONTROLS), len(controls))
            for index, (cid, kind, style, rect, texts) in enumerate(CONTROLS):
                with self.subTest(template=ident, control=index + 1):
                    control = controls[index]
                    self.assertEqual(cid, control["id"])
                    self.assertEqual(kind, control["class"])
                    self.assertEqual(hex(CHILD_VISIBLE | style), hex(control["style"]))
                    self.assertEqual(rect, control["rect"])
                    self.assertEqual(texts[ident - 1], control["text"])
                    self.assertEqual(0, control["exStyle"])
                    self.assertEqual(b"", control["extra"])

    def test_no_other_numbered_dialog(self):
        numbered = sorted(n for n in pr.dialogs(PE) if isinstance(n, int))
        self.assertEqual([1, 2], numbered)


if __name__ == "__main__":
    PE = pr.executable_from_argv()
    unittest.main(argv=sys.argv, verbosity=2)
