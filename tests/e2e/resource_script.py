"""The installer's ids, texts and dialog templates as the resource scripts
state them (resources/resource.h, strings.rc, maindialog.rc, installer.rc):
the one place both check_installer_pe.py and e2e.py take them from.

  ID["IDC_FOLDER"]       101        a name of resource.h, IDOK or IDCANCEL
  STRINGS[1036]          the text   every string of the string table
  DIALOGS[1], DIALOGS["DESTDIR_DLG"]
      {"caption": text, "controls": [(id, class, text), ...]} in template
      order; the class of a CONTROL statement is its name ("STATIC"), as
      the template stores it, the others' an ordinal (0x80 button, 0x81
      edit, 0x82 static); an id of -1 is 0xFFFF."""
import re
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parents[2] / "resources"
KINDS = {"DEFPUSHBUTTON": 0x80, "PUSHBUTTON": 0x80, "AUTOCHECKBOX": 0x80, "EDITTEXT": 0x81,
         "LTEXT": 0x82, "CONTROL": None}
QUOTED = r'"((?:[^"\\]|\\.)*)"'


def unquote(text):
    """A resource script's string: C escapes, octal ones included."""
    escapes = {"n": "\n", "t": "\t", "\\": "\\", '"': '"'}
    return re.sub(r"\\([0-7]{1,3}|.)",
                  lambda m: chr(int(m[1], 8)) if m[1][0] in "01234567" else escapes[m[1]], text)


def number(token):
    token = token.strip()
    return 0xFFFF if token == "-1" else ID[token] if token in ID else int(token, 0)


def read_ids():
    ids = {"IDOK": 1, "IDCANCEL": 2}
    for name, value in re.findall(r"^#define (\w+) (\d+)", (SCRIPTS / "resource.h").read_text(), re.M):
        ids[name] = int(value)
    return ids


def read_strings():
    table = (SCRIPTS / "strings.rc").read_text(encoding="utf-8")
    return {number(ident): unquote(text) for ident, text in re.findall(rf"^\s+(\w+) {QUOTED}$", table, re.M)}


def control(line):
    """(id, class, text) of one control line of a template."""
    kind = line.split()[0]
    rest = line[len(kind):].strip()
    text = ""
    if rest.startswith('"'):
        quoted = re.match(QUOTED, rest)
        text, rest = unquote(quoted[1]), rest[quoted.end():].lstrip(", ")
    fields = [f.strip() for f in rest.split(",")]
    klass = KINDS[kind] if KINDS[kind] is not None else fields[1].strip('"')
    return number(fields[0]), klass, text


def read_dialogs():
    dialogs = {}
    for name in ("maindialog.rc", "installer.rc"):
        script = (SCRIPTS / name).read_text(encoding="utf-8")
        for ident, body in re.findall(r"^(\w+) DIALOG [^\n]*\n(.*?)^END", script, re.M | re.S):
            caption = unquote(re.search(rf"^CAPTION {QUOTED}", body, re.M)[1])
            block = body.split("BEGIN", 1)[1]
            controls = [control(l.strip()) for l in block.splitlines() if l.strip().split(" ")[0] in KINDS]
            dialogs[ID.get(ident, ident)] = {"caption": caption, "controls": controls}
    return dialogs


ID = read_ids()
STRINGS = read_strings()
DIALOGS = read_dialogs()
