"""The main dialog as a person sees it: language, controls, the shortcut box
by Windows version, Browse, and the keys and close box that cancel."""
from common import (DEFAULT_FOLDER, EN_CAPTION, ENGLISH, ID_BROWSE, ID_CANCEL,
                    ID_FOLDER, ID_LABEL, ID_SHORTCUT, ID_START, JA_CAPTION, JAPANESE,
                    WS_DISABLED, controls_by_id, expect, expect_eq, finish_cancelled,
                    folder_text, no_program_files, open_main_dialog, scenario,
                    set_version)

BS_TYPE_MASK = 0xF
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3
WS_TABSTOP = 0x00010000
DIALOG_STYLE = 0x80000000 | 0x10000000 | 0x00C00000 | 0x00080000  # popup, visible, caption, sysmenu
BROWSER = "Browse for Folder"   # the shell folder browser's caption under Wine

TEXTS = {
    EN_CAPTION: ["Start installation", "Cancel", None, "Install folder:", "Browse",
                 "Create a shortcut on your Desktop"],
    JA_CAPTION: ["インストール開始", "Cancel", None, "インストール先:", "インストール先を選ぶ",
                 "デスクトップにショートカットを作る"],
}
ORDER = [ID_START, ID_CANCEL, ID_FOLDER, ID_LABEL, ID_BROWSE, ID_SHORTCUT]
CLASSES = ["button", "button", "edit", "static", "button", "button"]
BUTTON_TYPES = {ID_START: BS_DEFPUSHBUTTON, ID_CANCEL: BS_PUSHBUTTON,
                ID_BROWSE: BS_PUSHBUTTON, ID_SHORTCUT: BS_AUTOCHECKBOX}


def check_layout(session, caption):
    """Caption, control order, classes, texts and button kinds."""
    window, controls = session.dump(caption)
    expect_eq(window["text"], caption, "caption")
    expect_eq(int(window["style"], 16) & DIALOG_STYLE, DIALOG_STYLE, "dialog style bits")
    expect_eq([int(c["id"]) for c in controls], ORDER, "controls in template order")
    expect_eq([c["class"].lower() for c in controls], CLASSES, "control classes")
    for control, text in zip(controls, TEXTS[caption]):
        if text is not None:
            expect_eq(control["text"], text, f"text of control {control['id']}")
    for control in controls:
        ident, style = int(control["id"]), int(control["style"], 16)
        if ident in BUTTON_TYPES:
            expect_eq(style & BS_TYPE_MASK, BUTTON_TYPES[ident], f"button kind of {ident}")
        expect_eq(bool(style & WS_TABSTOP), ident != ID_LABEL, f"tab stop of {ident}")


def shortcut_state(session, caption):
    _, controls = controls_by_id(session, caption)
    box = controls[ID_SHORTCUT]
    return int(box["checked"]), box["enabled"] == "1", bool(int(box["style"], 16) & WS_DISABLED)


@scenario("dialogs")
def english_dialog_esc_cancels(ctx):
    s = ctx.session("english_dialog")
    open_main_dialog(s, EN_CAPTION)
    check_layout(s, EN_CAPTION)
    expect_eq(folder_text(s, EN_CAPTION), "C:\\Program Files\\Quova\\", "folder")
    ctx.screenshots.append(s.screenshot(EN_CAPTION, "main-dialog-en"))
    s.drive("key", EN_CAPTION, "esc")
    finish_cancelled(s, "C:\\Program Files\\Quova\\")


@scenario("dialogs")
def japanese_dialog_close_box_cancels(ctx):
    s = ctx.session("japanese_dialog", JAPANESE)
    no_program_files(s)
    open_main_dialog(s, JA_CAPTION)
    check_layout(s, JA_CAPTION)
    expect_eq(folder_text(s, JA_CAPTION), DEFAULT_FOLDER, "folder")
    ctx.screenshots.append(s.screenshot(JA_CAPTION, "main-dialog-ja"))
    s.drive("close", JA_CAPTION)
    finish_cancelled(s, DEFAULT_FOLDER)


def other_double_byte(ctx, name, locale, codec, marker):
    """A double-byte code page other than 932 keeps the English dialog."""
    lang = ctx.locale(locale)
    s = ctx.session(name, lang)
    # The locale took effect: Wine's own messages come in its code page.
    said = s.wine("cmd", "/c", "chcp").stdout.decode(codec, "replace")
    expect(marker in said, f"{locale} not in effect under Wine: {said!r}")
    open_main_dialog(s, EN_CAPTION)
    expect_eq(s.drive("text", EN_CAPTION, str(ID_START))[:-1], "Start installation", "button 1")
    s.drive("click", EN_CAPTION, str(ID_CANCEL))
    finish_cancelled(s, None)


@scenario("dialogs")
def chinese_code_page_936_is_english(ctx):
    other_double_byte(ctx, "code_page_936", "zh_CN", "cp936", "代码页")


@scenario("dialogs")
def korean_code_page_949_is_english(ctx):
    other_double_byte(ctx, "code_page_949", "ko_KR", "cp949", "코드")


@scenario("dialogs")
def shortcut_by_version(ctx):
    """Checked and enabled from 3.95 on; unchecked and disabled below."""
    for version, wanted in (("3.95", (1, True, False)), ("3.94", (0, False, True))):
        s = ctx.session("version_" + version)
        set_version(s, version)
        open_main_dialog(s, EN_CAPTION)
        expect_eq(shortcut_state(s, EN_CAPTION), wanted,
                  f"shortcut box (checked, enabled, WS_DISABLED) on {version}")
        s.drive("click", EN_CAPTION, str(ID_CANCEL))
        finish_cancelled(s, None)


@scenario("dialogs")
def browse_cancel_shows_trimmed_folder(ctx):
    s = ctx.session("browse_cancel")
    open_main_dialog(s, EN_CAPTION)
    s.drive("click", EN_CAPTION, str(ID_BROWSE))
    _, browser = s.dump(BROWSER)
    texts = [c["text"] for c in browser]
    expect("Install to.." in texts, f"browser title missing from {texts!r}")
    s.drive("click", BROWSER, str(ID_CANCEL))
    s.drive("gone", BROWSER, "10000")
    expect_eq(folder_text(s, EN_CAPTION), "C:\\Program Files\\Quova", "folder after Cancel")
    s.drive("click", EN_CAPTION, str(ID_CANCEL))
    finish_cancelled(s, None)


@scenario("dialogs")
def typed_folder_then_browse_starts_there(ctx):
    """The browser opens on the typed folder: OK returns it in the file
    system's own letter case."""
    s = ctx.session("typed_then_browse")
    open_main_dialog(s, EN_CAPTION)
    s.drive("settext", EN_CAPTION, str(ID_FOLDER), "C:\\WINDOWS\\Temp\\")
    s.drive("click", EN_CAPTION, str(ID_BROWSE))
    labels = [l for l in s.drive("tree", BROWSER).split("\n") if l]
    expect(labels and labels[-1].lower() == "temp", f"browser selection {labels!r}")
    s.drive("click", BROWSER, str(ID_START))
    s.drive("gone", BROWSER, "10000")
    expect_eq(folder_text(s, EN_CAPTION), "C:\\windows\\temp", "folder after OK")
    s.drive("click", EN_CAPTION, str(ID_CANCEL))
    finish_cancelled(s, None)
