#!/usr/bin/env python3
"""Runs Zoravuvi.exe under Wine as a person would and checks what it shows,
writes and launches: the scenarios of one session kind (--group), in one Wine
prefix. Exit status 0 when all passed, 1 otherwise, the --skip-code given
(CTest's skip code) when the installer is a 32-bit program that this machine
cannot run; --help tells the options."""
import argparse
import os
import shutil
import subprocess
import sys
import time
import traceback
from pathlib import Path

from harness import (Failure, Session, cannot_run, expect, expect_eq, start_display,
                     template_prefix, wait_for)
from resource_script import DIALOGS, ID, STRINGS

EN, JA = "C.UTF-8", "ja_JP.UTF-8"
KINDS = {"en": (EN, "6.1"), "ja": (JA, "6.1"), "en-3.51": (EN, "3.51"), "ja-3.51": (JA, "3.51"),
         "demo": (EN, "6.1")}
TEMPLATE = {EN: DIALOGS[ID["IDD_MAIN"]], JA: DIALOGS[ID["IDD_MAIN_J"]]}
CAPTION = {lang: template["caption"] for lang, template in TEMPLATE.items()}
# The completion box: its caption is the program's, its text a string's.
DONE = {EN: ("Install finished", STRINGS[ID["IDS_FINISHED"] + 1]),
        JA: ("インストール完了", STRINGS[ID["IDS_FINISHED"]])}
BROWSER = {EN: "Browse for Folder", JA: "フォルダーの参照"}
BROWSER_TITLE = {EN: "Install to..", JA: "インストール先"}
FILE_DIALOG = {EN: "Open File", JA: "ファイルを開く"}
START, CANCEL, FOLDER, BROWSE, SHORTCUT = (ID[n] for n in "IDOK IDCANCEL IDC_FOLDER IDC_BROWSE IDC_SHORTCUT".split())
DIRECTORY_LINE, DIRECTORY_LIST = ID["IDC_DIR_PATH"], ID["IDC_DIR_LIST"]
TREE = 14145                                   # the tree of Wine's folder browser
LOG = "quova-launch.log"
EXIT_SECONDS = 20   # a stray message box keeps the installer from ending
PF, PF_QUOVA, STRING_1030 = "C:\\Program Files", "C:\\Program Files\\Quova\\", STRINGS[ID["IDS_DEFAULT_FOLDER"]]
ROOT_KEY = r"HKEY_CURRENT_USER\Software\Dorvalen\Quova"
VERSION_KEY = r"HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion"
PF_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion"

# The main dialog's texts but the folder's, in template order: the template
# of the session's language, which check_installer_pe.py reads back too.
TEXTS = {lang: [text for ident, _, text in template["controls"] if ident != FOLDER]
         for lang, template in TEMPLATE.items()}
WS_DISABLED = 0x08000000
long_path = lambda length: "C:\\" + "q" * (length - 3)
DEEP = "C:\\zv\\" + "d" * 200 + "\\" + "e" * 48      # 255 bytes
DEEPER = DEEP + "f"                                  # 256 bytes, its next sibling
LONG_FOLDER = "C:\\" + "L" * 240 + "\\"              # a 258-byte command with both switches

# ----------------------------------------------------------------- the table
# (session kinds, name, setup, steps). Setup: registry values "root",
# "pf_dir", "pf_path" as (type, data), None to delete, ("unterminated", n)
# for n characters without a terminating zero; "version"; "dirs" and
# "files" to plant; "locale" for the installer's own. Unset values are
# Wine's own, the InstallRoot key absent.
OPEN, CANCELLED = ("start",), ("cancel",)
NO_PF = {"pf_dir": None}
folder_row = lambda name, setup, shown: ("en", name, setup, [OPEN, ("folder", shown), CANCELLED])

SCENARIOS = [
    folder_row("root_used", {"root": ("REG_SZ", r"D:\Tools\Q")}, r"D:\Tools\Q"),
    folder_row("root_expand_sz", {"root": ("REG_EXPAND_SZ", r"D:\T"), "pf_dir": ("REG_SZ", r"C:\PF")},
               "C:\\PF\\Quova\\"),
    folder_row("root_empty", {"root": ("REG_SZ", ""), "pf_dir": ("REG_SZ", r"C:\PF")}, "C:\\PF\\Quova\\"),
    folder_row("root_255", {"root": ("REG_SZ", long_path(255))}, long_path(255)),
    folder_row("root_256", {"root": ("REG_SZ", long_path(256))}, PF_QUOVA),
    folder_row("root_unterminated_256", {"root": ("unterminated", 256)}, PF_QUOVA),
    folder_row("root_unterminated_255", {"root": ("unterminated", 255)}, "A" * 255),
    folder_row("pf_dir_backslash", {"pf_dir": ("REG_SZ", "C:\\Apps\\")}, "C:\\Apps\\\\Quova\\"),
    folder_row("pf_path_dir_missing", {"pf_dir": None, "pf_path": ("REG_SZ", r"C:\P")}, "C:\\P\\Quova\\"),
    folder_row("pf_path_dir_not_sz", {"pf_dir": ("REG_EXPAND_SZ", r"C:\X"), "pf_path": ("REG_SZ", r"C:\P")},
               "C:\\P\\Quova\\"),
    folder_row("pf_path_dir_empty", {"pf_dir": ("REG_SZ", ""), "pf_path": ("REG_SZ", r"C:\P")}, "C:\\P\\Quova\\"),
    folder_row("pf_dir_fills_255", {"pf_dir": ("REG_SZ", long_path(248))}, long_path(248) + "\\Quova\\"),
    folder_row("pf_dir_no_room", {"pf_dir": ("REG_SZ", long_path(249)), "pf_path": ("REG_SZ", r"C:\P")},
               "C:\\P\\Quova\\"),
    folder_row("pf_over_255", {"pf_dir": ("REG_SZ", long_path(256)), "pf_path": ("REG_SZ", long_path(300))},
               STRING_1030),
    ("en", "string_1030_registry_untouched", NO_PF,
     [OPEN, ("folder", STRING_1030), CANCELLED, ("no_install_root",)]),
    ("en", "layout_esc", {}, [OPEN, ("layout",), ("folder", PF_QUOVA), ("shortcut", 1, False),
                              ("shot", "main-dialog-en"), ("key", "esc"), ("cancelled", PF_QUOVA)]),
    ("en", "code_page_936", {"locale": ("zh_CN", "cp936", "代码页")}, [OPEN, ("folder", PF_QUOVA), CANCELLED]),
    ("en", "code_page_949", {"locale": ("ko_KR", "cp949", "코드")}, [OPEN, ("folder", PF_QUOVA), CANCELLED]),
    ("en", "version_3.95", {"version": "3.95"}, [OPEN, ("shortcut", 1, False), CANCELLED]),
    ("en", "version_3.94", {"version": "3.94"}, [OPEN, ("shortcut", 0, True), CANCELLED]),
    ("en", "browser_cancels_trim", {}, [
        OPEN, ("browse", None), ("leave", "key", "esc"), ("folder", PF + "\\Quova"),
        ("browse", None), ("leave", "close"), ("browse", None), ("leave", "click", CANCEL),
        ("folder", PF + "\\Quova"), CANCELLED]),
    ("en", "browser_starts_at_typed", {}, [
        OPEN, ("type", "C:\\WINDOWS\\Temp\\"), ("browse", "temp"), ("leave", "click", START),
        ("folder", "C:\\windows\\temp"), CANCELLED]),
    ("en", "browser_refuses_256", {"dirs": [DEEP, DEEPER]}, [
        OPEN, ("type", DEEP), ("browse", DEEP[-48:]), ("browser_key", "down", DEEPER[-49:]),
        ("leave", "click", START), ("folder", DEEP), CANCELLED]),
    ("en", "install_enter_planted_program", {"pf_dir": None, "files": {"C:\\Program.exe": "stand-in"}}, [
        OPEN, ("folder", STRING_1030), ("key", "enter", FOLDER),
        ("install", STRING_1030, '"C:\\Program files\\Quova\\quova" -s- -l', "completion-en"),
        ("stand_in_alone", STRING_1030), ("no_install_root",)]),
    ("en", "install_3.94_no_shortcut_switch", {"version": "3.94"}, [
        OPEN, ("click", START), ("install", PF_QUOVA, '"C:\\Program Files\\Quova\\quova" -s-')]),
    ("en", "install_long_folder", {}, [
        OPEN, ("type", LONG_FOLDER), ("click", START), ("install", LONG_FOLDER, f'"{LONG_FOLDER}quova" -s- -l')]),
    ("en", "write_error", {"files": {"C:\\blocker": "in the way"}}, [
        OPEN, ("type", "C:\\blocker\\sub"), ("click", START),
        ("error", STRINGS[ID["IDS_RESULT_BASE"] + 2 * 8 + 1])]),   # result 8, in English
    ("en", "other_payload", {}, [
        ("start", "alt"), ("click", START), ("install", PF_QUOVA, None)]),
    # Payloads the build refuses: the intact members are written, the result shown, nothing launched.
    ("en", "broken_payload", {}, [("start", "broken"), ("click", START), ("refused", PF_QUOVA, "Broken file", 3)]),
    ("en", "level2_payload", {}, [("start", "level2"), ("click", START), ("refused", PF_QUOVA, "Unknown type", 0)]),
    ("en", "path_scans", {}, [("scan", "cut", "C:a", "C:"), ("scan", "cut", "C:\\Q\\a", "C:\\Q\\"),
                              ("scan", "cut", "a", ""), ("scan", "trim", "C:\\", "C:\\")]),
    ("ja", "layout_close_box", NO_PF, [OPEN, ("layout",), ("folder", STRING_1030), ("shot", "main-dialog-ja"),
                                       ("close",), ("cancelled", STRING_1030)]),
    ("ja", "install_root_no_shortcut", {"root": ("REG_SZ", r"C:\Tools\Q")}, [
        OPEN, ("folder", r"C:\Tools\Q"), ("click", SHORTCUT), ("click", START),
        ("install", "C:\\Tools\\Q\\", '"C:\\Tools\\Q\\quova" -s-', "completion-ja")]),
    ("ja", "browser_double_byte", {"dirs": ["C:\\zv\\表"]}, [
        OPEN, ("type", "C:\\zv\\表\\"), ("browse", "表"), ("shot", "browser-ja"), ("leave", "click", START),
        ("folder", "C:\\zv\\表"), CANCELLED]),
    # 表 is 0x95 0x5C: its trail byte is no backslash to trim.
    ("ja", "browser_trail_byte_kept", {}, [
        OPEN, ("type", "C:\\zv\\a表"), ("browse", None), ("leave", "click", CANCEL),
        ("folder", "C:\\zv\\a表"), CANCELLED]),
    ("ja", "broken_payload", {}, [("start", "broken"), ("click", START),
                                  ("refused", PF_QUOVA, "ファイルが壊れています", 3)]),
    ("ja", "level2_payload", {}, [("start", "level2"), ("click", START), ("refused", PF_QUOVA, "未知の形式", 0)]),
    ("ja", "path_scans", {}, [("scan", "cut", "C:\\表\\a", "C:\\表\\"), ("scan", "cut", "C:\\ソ表", "C:\\"),
                              ("scan", "trim", "C:\\ソ\\", "C:\\ソ"), ("scan", "trim", "C:\\a表", "C:\\a表")]),
    ("en-3.51", "file_dialog_cancels_untrimmed", {"dirs": ["C:\\zv"]}, [
        OPEN, ("shortcut", 0, True), ("type", "C:\\zv\\"), ("file_dialog", "c:\\zv"), ("leave", "click", CANCEL),
        ("file_dialog", "c:\\zv"), ("leave", "key", "esc"), ("file_dialog", "c:\\zv"), ("leave", "close"),
        ("folder", "C:\\zv\\"), CANCELLED]),
    ("en-3.51", "file_dialog_install", {"dirs": ["C:\\zv\\Beta"]}, [
        OPEN, ("type", "C:\\zv\\"), ("file_dialog", "c:\\zv"), ("open", "[beta]", "c:\\zv\\beta"),
        ("shot", "file-dialog-en"), ("leave", "click", START), ("folder", "C:\\zv\\Beta\\"), ("click", START),
        ("install", "C:\\zv\\Beta\\", '"C:\\zv\\Beta\\quova" -s-')]),
    ("ja-3.51", "file_dialog_double_byte", {"dirs": ["C:\\zv\\表"]}, [
        OPEN, ("type", "C:\\zv\\"), ("file_dialog", "c:\\zv"), ("shows", FILE_DIALOG[JA], "ディレクトリ("),
        ("open", "[表]", "c:\\zv\\表"), ("shot", "file-dialog-ja"),
        ("leave", "click", START), ("folder", "C:\\zv\\表\\"), CANCELLED]),
    ("demo", "complete_installation", {}, [
        OPEN, ("shot", "demo-main-dialog"), ("click", START),
        ("install", PF_QUOVA, '"C:\\Program Files\\Quova\\quova" -s- -l', "demo-completion")]),
]

# ----------------------------------------------------------------- setup
def reg_data(kind, data):
    """A value as .reg hex: type 1 REG_SZ, 2 REG_EXPAND_SZ; UTF-16 with its zero."""
    if kind == "unterminated":
        return "hex(1):" + ",".join(["41,00"] * data)
    raw = (data + "\0").encode("utf-16-le")
    return f"hex({1 if kind == 'REG_SZ' else 2}):" + ",".join(f"{b:02x}" for b in raw)

def registry_text(setup, version):
    """Puts every value a scenario may change back to Wine's, then applies its own."""
    values = {"pf_dir": ("REG_SZ", PF), "pf_path": ("REG_EXPAND_SZ", "%ProgramFiles%"), **setup}
    named = lambda name, key: f'"{name}"=' + ("-" if values[key] is None else reg_data(*values[key]))
    lines = ["Windows Registry Editor Version 5.00", "", f"[-{ROOT_KEY}]", f"[{ROOT_KEY}]"]
    if "root" in setup:
        lines += [f"[{ROOT_KEY}\\InstallRoot]", "@=" + reg_data(*setup["root"])]
    lines += [f"[{PF_KEY}]", named("ProgramFilesDir", "pf_dir"), named("ProgramFilesPath", "pf_path"),
              f"[{VERSION_KEY}]", f'"CurrentVersion"="{setup.get("version", version)}"', ""]
    return "\r\n".join(lines)

def plant(s, setup):
    for folder in setup.get("dirs", []):
        s.host_path(folder).mkdir(parents=True, exist_ok=True)
    for path, content in setup.get("files", {}).items():
        target = s.host_path(path)
        shutil.copy(s.ctx.stand_in, target) if content == "stand-in" else target.write_text(content)

def locale_env(s, name, codec, marker):
    """The installer's environment in another locale, built into the work
    folder where the machine has none; Wine's own messages prove it."""
    locpath = s.ctx.work / "locale"
    if not (locpath / f"{name}.UTF-8").exists():
        subprocess.run(["localedef", "-i", name, "-f", "UTF-8", str(locpath / f"{name}.UTF-8")],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    env = dict(s.env, LANG=f"{name}.UTF-8", LC_ALL=f"{name}.UTF-8", LOCPATH=str(locpath))
    said = s.wine("cmd", "/c", "chcp", env=env).decode(codec, "replace")
    expect(marker in said, f"{name} not in effect under Wine: {said!r}")
    return env

# ----------------------------------------------------------------- steps
def exit_code(s):
    try:
        return s.installer.wait(EXIT_SECONDS)
    except subprocess.TimeoutExpired:
        raise Failure(f"the installer did not exit within {EXIT_SECONDS} s")

def cancelled(s, folder=None):
    expect_eq(exit_code(s), 0, "exit code")
    expect(not folder or not s.host_path(folder).exists(), f"{folder} was created")

def start(s, which="main"):
    s.installer = s.start(str(s.ctx.exe if which == "main" else getattr(s.ctx, which + "_exe")), env=s.row_env)
    s.drive("wait", s.main, "30000")

def layout(s):
    texts = [c["text"] for c in s.dump(s.main)[1] if int(c["id"]) != FOLDER]
    expect_eq(texts, TEXTS[s.lang], "the dialog's texts")

def shortcut(s, checked, disabled):
    box = next(c for c in s.dump(s.main)[1] if int(c["id"]) == SHORTCUT)
    state = (int(box["checked"]), bool(int(box["style"], 16) & WS_DISABLED))
    expect_eq(state, (checked, disabled), "shortcut box (checked, disabled)")

def selection_is(s, label):
    return s.text(s.dialog, TREE, "tree") == label

def browse(s, label):
    """The shell's browser, opened on the folder typed, trimmed. Wine's
    browser at times misses a folder it has not shown before; a person
    would close it and browse again."""
    s.dialog = BROWSER[s.lang]
    for _ in range(3):
        s.drive("click", s.main, str(BROWSE))
        if not label or wait_for(lambda: selection_is(s, label), 3):
            break
        leave(s, "click", CANCEL)
    expect(not label or selection_is(s, label), f"the browser does not select {label!r}")
    expect(BROWSER_TITLE[s.lang] in [c["text"] for c in s.dump(s.dialog)[1]], "the browser's title")

def browser_key(s, key, label):
    s.drive("key", s.dialog, key, str(TREE))
    expect(wait_for(lambda: selection_is(s, label), 10), f"the browser does not select {label!r}")

def directory_shown(s, wanted):
    """The old file dialog's current directory, which Wine shows in lower case."""
    shown = lambda: s.text(s.dialog, DIRECTORY_LINE).lower()
    expect(wait_for(lambda: shown() == wanted, 10), f"file dialog shows {shown()!r}, not {wanted!r}")

def file_dialog(s, directory):
    s.dialog = FILE_DIALOG[s.lang]
    s.drive("click", s.main, str(BROWSE))
    directory_shown(s, directory)

def open_item(s, item, directory):
    s.drive("open", s.dialog, str(DIRECTORY_LIST), item)
    directory_shown(s, directory)

def shows(s, dialog, text):
    expect(any(c["text"].startswith(text) for c in s.dump(dialog)[1]), f"no {text!r} in {dialog}")

def leave(s, *action):
    """Ends the browser or file dialog with a button, Esc or its close box."""
    s.drive(action[0], s.dialog, *map(str, action[1:]))
    s.drive("gone", s.dialog)

def installed_files(root):
    return {p.relative_to(root).as_posix().lower(): p for p in root.rglob("*")
            if p.is_file() and p.name != LOG}

def check_files(s, folder, reference):
    """Every member byte for byte, with the archive's time stamp."""
    got, wanted = installed_files(s.host_path(folder)), installed_files(reference)
    expect_eq(sorted(got), sorted(wanted), f"files in {folder}")
    for name, source in wanted.items():
        expect(got[name].read_bytes() == source.read_bytes(), f"{name} differs from the payload")
        expect_eq(int(got[name].stat().st_mtime), int(source.stat().st_mtime), f"time of {name}")
    return len(got)

def message_box(s, title):
    window, controls = s.dump(title)
    text = "".join(c["text"] for c in controls if c["class"].lower() == "static")
    buttons = [c["text"] for c in controls if c["class"].lower() == "button"]
    icon = any(c["checked"] == "1" for c in controls if c["class"].lower() == "static")
    return window["text"], text, buttons, icon

def screenshot(s, name):
    (s.ctx.work / "screenshots").mkdir(exist_ok=True)
    subprocess.run(["import", "-display", s.ctx.display, "-window", "root",
                    str(s.ctx.work / "screenshots" / f"{name}.png")], timeout=30)

def launch_lines(log):
    return log.read_bytes().decode("latin-1").split("\r\n")[:-1] if log.exists() else []

def install(s, folder, command, shot=None):
    """The files before the completion box, the box, and then the launch."""
    title, text = DONE[s.lang]
    s.drive("wait", title, "60000")
    s.created.append(folder)
    log = s.host_path(folder) / LOG
    reference = s.ctx.alt_payload if s.installer.args[1] == str(s.ctx.alt_exe) else s.ctx.payload
    count = check_files(s, folder, reference)
    expect(not log.exists(), "launched before the completion box was confirmed")
    expect_eq(message_box(s, title), (title, text, ["OK"], False), "completion box")
    if shot:
        screenshot(s, shot)
    s.drive("click", title, "1")
    expect_eq(exit_code(s), 0, "exit code")
    if command is None:   # a payload without the application
        return
    expect(wait_for(lambda: launch_lines(log), 20), "the installed application did not start")
    expect_eq(launch_lines(log), [command], "launched command line")
    print(f"  installed {count} files in {folder}; launched {command}")
    # The stand-in shows its folder and switches; Esc ends it.
    s.drive("wait", "Quova", "20000")
    expect_eq(s.text("Quova", 101), folder, "stand-in's folder")
    expect_eq(s.text("Quova", 102), command.split('" ')[1], "stand-in's switches")
    s.drive("key", "Quova", "esc")
    s.drive("gone", "Quova")

def stand_in_alone(s, folder):
    """Started by hand without switches: says so, the close box ends it,
    and its log gains a second line."""
    s.start(folder + "quova.exe")
    expect_eq(s.text("Quova", 102), "(none)", "stand-in's switches")
    s.drive("close", "Quova")
    s.drive("gone", "Quova")
    expect(wait_for(lambda: len(launch_lines(s.host_path(folder) / LOG)) == 2, 10), "second log line")

def error(s, text):
    expect_eq(message_box(s, "CAUTION!"), ("CAUTION!", text, ["OK"], True), "error box")
    s.drive("click", "CAUTION!", "1")
    expect_eq(exit_code(s), 0, "exit code")

def refused(s, folder, text, files):
    s.created.append(folder)
    error(s, text)
    root = s.host_path(folder)
    expect_eq(len(installed_files(root)) if root.exists() else 0, files, f"files in {folder}")
    expect(not (root / LOG).exists(), "the application was launched")

def no_install_root(s):
    said = s.wine("reg", "query", ROOT_KEY).decode(errors="replace")
    expect("InstallRoot" not in said, f"the installer created its key: {said!r}")

def scan(s, how, path, wanted):
    said = s.wine(str(s.ctx.pathscan), how, path).decode("cp932" if s.lang == JA else "cp1252")
    expect_eq(said, wanted, f"{how} {path}")

STEPS = {
    "start": start, "layout": layout, "shortcut": shortcut, "cancelled": cancelled,
    "browse": browse, "browser_key": browser_key, "file_dialog": file_dialog, "open": open_item,
    "shows": shows, "leave": leave, "install": install, "stand_in_alone": stand_in_alone,
    "error": error, "refused": refused, "no_install_root": no_install_root, "scan": scan,
    "shot": screenshot,
    "folder": lambda s, wanted: expect_eq(s.text(s.main, FOLDER), wanted, "folder"),
    "type": lambda s, text: s.drive("settext", s.main, str(FOLDER), text),
    "click": lambda s, ident: s.drive("click", s.main, str(ident)),
    "key": lambda s, key, *ident: s.drive("key", s.main, key, *map(str, ident)),
    "close": lambda s: s.drive("close", s.main),
    "cancel": lambda s: (s.drive("click", s.main, str(CANCEL)), cancelled(s)),
}

# ----------------------------------------------------------------- running
def extract_reference(archive, folder):
    shutil.rmtree(folder, ignore_errors=True)
    subprocess.run(["7zz", "x", "-y", f"-o{folder}", str(archive)], check=True,
                   stdout=subprocess.DEVNULL, timeout=120)
    return folder

def run_scenario(s, setup, steps, version):
    registry = {k: v for k, v in setup.items() if k in ("root", "pf_dir", "pf_path", "version")}
    s.reg_import(registry_text(registry, version))
    plant(s, setup)
    s.row_env = locale_env(s, *setup["locale"]) if "locale" in setup else s.env
    s.installer, s.dialog, s.created, s.main = None, None, [], CAPTION[s.lang]
    try:
        for verb, *args in steps:
            STEPS[verb](s, *args)
    finally:
        for folder in s.created:
            shutil.rmtree(s.host_path(folder), ignore_errors=True)

def run_group(ctx):
    lang, version = KINDS[ctx.group]
    rows = [row[1:] for row in SCENARIOS if row[0] == ctx.group and ctx.only in (None, row[1])]
    s, failures = Session(ctx, ctx.name, lang), 0
    try:
        for name, setup, steps in rows:
            began, status = time.monotonic(), "PASS"
            try:
                run_scenario(s, setup, steps, version)
            except Failure as failure:
                status = f"FAIL: {failure}"
            except Exception:  # a broken step is a failed scenario, with its trace
                status = "ERROR:\n" + traceback.format_exc()
            if status != "PASS":
                failures += 1
                s.end_programs()
            print(f"{status.split(':')[0]} {name} ({time.monotonic() - began:.1f} s){status[4:]}", flush=True)
    finally:
        s.close(ctx.keep)
    print(f"{len(rows) - failures} passed, {failures} failed")
    return failures

def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    for option in ("--group", "--exe", "--driver", "--payload", "--work"):
        parser.add_argument(option, required=True, type=Path if option != "--group" else str)
    for option in ("--pathscan", "--alt-exe", "--alt-payload", "--broken-exe", "--level2-exe"):
        parser.add_argument(option, type=Path)
    parser.add_argument("--only")
    parser.add_argument("--skip-code", type=int, default=1, help="exit status of a run that cannot start")
    parser.add_argument("--visible", action="store_true", help="use $DISPLAY when set")
    parser.add_argument("--keep", action="store_true", help="keep the prefix")
    ctx = parser.parse_args()
    reason = cannot_run(ctx.exe)
    if reason:
        print(f"skipped: 32-bit programs cannot run under Wine on this machine ({reason})")
        return ctx.skip_code
    ctx.work = ctx.work.resolve()
    ctx.name = ctx.group + (f"-{ctx.only}" if ctx.only else "")   # runs side by side keep apart
    ctx.pathscan = ctx.pathscan or ctx.driver.with_name("pathscan.exe")
    ctx.display, xvfb = (os.environ["DISPLAY"], None) if ctx.visible and os.environ.get("DISPLAY") \
        else start_display()
    try:
        ctx.template = template_prefix(ctx.work, ctx.display)
        ctx.payload = extract_reference(ctx.payload, ctx.work / f"ref-{ctx.name}")
        ctx.stand_in = next(p for p in ctx.payload.rglob("*") if p.name.lower() == "quova.exe")
        if ctx.alt_payload:
            ctx.alt_payload = extract_reference(ctx.alt_payload, ctx.work / f"ref-alt-{ctx.name}")
        return 1 if run_group(ctx) else 0
    finally:
        if xvfb:
            xvfb.terminate()

if __name__ == "__main__":
    sys.exit(main())
