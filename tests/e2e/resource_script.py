"""The installer's ids, texts and dialog templates as resources/ states them,
for check_installer_pe.py and e2e.py: ID (resource.h's names, IDOK and
IDCANCEL), STRINGS (id: text) and DIALOGS (1, 2, "DESTDIR_DLG", ...: caption
and controls (id, class, text) in template order; a CONTROL's class is its
name as the template stores it, the others' an ordinal; an id -1 is 0xFFFF)."""
import re
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parents[2] / "resources"
KINDS = {"DEFPUSHBUTTON": 0x80, "PUSHBUTTON": 0x80, "AUTOCHECKBOX": 0x80, "EDITTEXT": 0x81,
         "LTEXT": 0x82, "CONTROL": None}
QUOTED = r'"((?:[^"\\]|\\.)*)"'
ESCAPES = {"n": "\n", "t": "\t", "\\": "\\", '"': '"'}


def unquote(text):   # C escapes, octal ones included
    return re.sub(r"\\([0-7]{1,3}|.)", lambda m: ESCAPES.get(m[1]) or chr(int(m[1], 8)), text)


def number(token):
    return 0xFFFF if token == "-1" else ID[token] if token in ID else int(token, 0)


def control(line):
    """(id, class, text) of one control statement."""
    kind, text, ident, name = re.match(rf'(\w+)\s+(?:{QUOTED},\s*)?(-?\w+)(?:,\s*"(\w+)")?', line).groups()
    return number(ident), KINDS[kind] or name, unquote(text or "")


def read_dialogs():
    dialogs = {}
    for name in ("maindialog.rc", "installer.rc"):
        script = (SCRIPTS / name).read_text(encoding="utf-8")
        for ident, body in re.findall(r"^(\w+) DIALOG [^\n]*\n(.*?)^END", script, re.M | re.S):
            lines = [l.strip() for l in body.split("BEGIN", 1)[1].splitlines()]
            dialogs[ID.get(ident, ident)] = {"caption": unquote(re.search(rf"^CAPTION {QUOTED}", body, re.M)[1]),
                                             "controls": [control(l) for l in lines if l.split(" ")[0] in KINDS]}
    return dialogs


ID = {"IDOK": 1, "IDCANCEL": 2, **{name: int(value) for name, value in
      re.findall(r"^#define (\w+) (\d+)", (SCRIPTS / "resource.h").read_text(), re.M)}}
STRINGS = {number(ident): unquote(text) for ident, text in
           re.findall(rf"^\s+(\w+) {QUOTED}$", (SCRIPTS / "strings.rc").read_text(encoding="utf-8"), re.M)}
DIALOGS = read_dialogs()
