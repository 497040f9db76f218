"""Whole installations: the files and their time stamps, the completion
message, the launch of the stand-in application and the failure path."""
import shutil
import time

from common import (DEFAULT_FOLDER, EN_CAPTION, ID_FOLDER, ID_SHORTCUT, ID_START,
                    INSTALL_ROOT, JA_CAPTION, JAPANESE, expect, expect_eq,
                    folder_text, no_program_files, open_main_dialog, read_launch_log,
                    scenario, set_version)
from harness import wait_for_file

LOG = "quova-launch.log"
EN_DONE = ("Install finished", "Installation finished.\nLaunch Quova...")
JA_DONE = ("インストール完了", "インストール完了です。\nQuovaを起動します。")
NO_LAUNCH_SETTLE = 2.0   # seconds in which a wrong launch would have shown


def installed_files(root):
    return {p.relative_to(root).as_posix().lower(): p
            for p in root.rglob("*") if p.is_file() and p.name != LOG}


def check_installed(s, folder, reference):
    """Every payload member byte for byte, with the archive's time stamp."""
    target = s.host_path(folder)
    expect(target.is_dir(), f"{folder} was not created")
    got, wanted = installed_files(target), installed_files(reference)
    expect_eq(sorted(got), sorted(wanted), f"files in {folder}")
    for name, source in wanted.items():
        expect(got[name].read_bytes() == source.read_bytes(), f"{name} differs from the payload")
        expect_eq(int(got[name].stat().st_mtime), int(source.stat().st_mtime), f"time of {name}")
    return sorted(p.relative_to(target).as_posix() for p in got.values())


def completion(s, caption_text, screenshot, ctx):
    """The completion box: MB_OK alone, shown after the files are written
    and before anything is launched."""
    caption, text = caption_text
    box = s.message_box(caption)
    expect_eq((box["caption"], box["text"]), caption_text, "completion message")
    # No icon: Windows creates no icon control; Wine keeps an empty one,
    # which the driver cannot match with any standard icon.
    expect(box["icon"] in ("none", "unknown"), f"completion message icon {box['icon']}")
    expect_eq(box["buttons"], ["OK"], "completion message buttons")
    if screenshot:
        ctx.screenshots.append(s.screenshot(caption, screenshot))
    return box


def dismiss_and_read_launch(s, caption, folder):
    s.drive("click", caption, "1")
    expect_eq(s.exit_code(), 0, "exit code")
    log = s.host_path(folder) / LOG
    expect(wait_for_file(log, 20), "the stand-in application did not start")
    return read_launch_log(log)


@scenario("install")
def english_enter_default_folder_with_space_planted_program(ctx):
    """Enter in the folder box starts; C:\\Program.exe, planted, never runs."""
    s = ctx.session("install_english")
    no_program_files(s)
    shutil.copy(ctx.stand_in, s.prefix / "drive_c" / "Program.exe")
    open_main_dialog(s, EN_CAPTION)
    expect_eq(folder_text(s, EN_CAPTION), DEFAULT_FOLDER, "folder")
    s.drive("key", EN_CAPTION, "enter", str(ID_FOLDER))
    s.drive("wait", EN_DONE[0], "60000")
    files = check_installed(s, DEFAULT_FOLDER, ctx.payload_dir)
    expect(not (s.host_path(DEFAULT_FOLDER) / LOG).exists(), "launched before the message")
    completion(s, EN_DONE, "completion-en", ctx)
    line = dismiss_and_read_launch(s, EN_DONE[0], DEFAULT_FOLDER)
    expect_eq(line, '"C:\\Program files\\Quova\\quova" -s- -l', "launch command")
    expect(not (s.prefix / "drive_c" / LOG).exists(), "the planted C:\\Program.exe ran")
    ctx.report.append(("english", DEFAULT_FOLDER, files, line))


@scenario("install")
def japanese_root_without_backslash_no_shortcut(ctx):
    """The InstallRoot value is normalised only at extraction."""
    s = ctx.session("install_japanese", JAPANESE)
    s.reg_add(INSTALL_ROOT, None, "REG_SZ", r"C:\Tools\Q")
    open_main_dialog(s, JA_CAPTION)
    expect_eq(folder_text(s, JA_CAPTION), r"C:\Tools\Q", "folder")
    s.drive("click", JA_CAPTION, str(ID_SHORTCUT))
    s.drive("click", JA_CAPTION, str(ID_START))
    s.drive("wait", JA_DONE[0], "60000")
    files = check_installed(s, "C:\\Tools\\Q\\", ctx.payload_dir)
    completion(s, JA_DONE, "completion-ja", ctx)
    line = dismiss_and_read_launch(s, JA_DONE[0], "C:\\Tools\\Q\\")
    expect_eq(line, '"C:\\Tools\\Q\\quova" -s-', "launch command")
    ctx.report.append(("japanese", "C:\\Tools\\Q\\", files, line))


@scenario("install")
def old_version_never_adds_shortcut_switch(ctx):
    s = ctx.session("install_version_3_94")
    set_version(s, "3.94")
    open_main_dialog(s, EN_CAPTION)
    s.drive("click", EN_CAPTION, str(ID_START))
    completion(s, EN_DONE, None, ctx)
    line = dismiss_and_read_launch(s, EN_DONE[0], "C:\\Program Files\\Quova\\")
    expect_eq(line, '"C:\\Program Files\\Quova\\quova" -s-', "launch command")


@scenario("install")
def write_error_through_a_file(ctx):
    """A folder path running through a file: message 8, nothing else."""
    s = ctx.session("write_error")
    (s.prefix / "drive_c" / "blocker").write_bytes(b"in the way\n")
    open_main_dialog(s, EN_CAPTION)
    s.drive("settext", EN_CAPTION, str(ID_FOLDER), "C:\\blocker\\sub")
    s.drive("click", EN_CAPTION, str(ID_START))
    box = s.message_box("CAUTION!")
    expect_eq(box["text"], "Write error\nCheck 'destination folder'.", "message")
    expect_eq(box["icon"], "information", "message icon")
    s.drive("click", "CAUTION!", "1")
    # A completion message would keep the installer from exiting.
    expect_eq(s.exit_code(), 0, "exit code")
    time.sleep(NO_LAUNCH_SETTLE)
    logs = list((s.prefix / "drive_c").glob("**/" + LOG))
    expect(not logs, f"something was launched: {logs}")


@scenario("payload")
def other_payload_installs_that_payload(ctx):
    expect(ctx.alt_exe is not None, "no installer with another payload was built")
    s = ctx.session("other_payload")
    open_main_dialog(s, EN_CAPTION, ctx.alt_exe)
    s.drive("click", EN_CAPTION, str(ID_START))
    completion(s, EN_DONE, None, ctx)
    s.drive("click", EN_DONE[0], "1")
    expect_eq(s.exit_code(), 0, "exit code")
    check_installed(s, "C:\\Program Files\\Quova\\", ctx.alt_payload_dir)


@scenario("install")
def long_folder_launch_command_not_cut(ctx):
    """A 244-byte folder makes a quoted command of 258 bytes with both
    switches; it reaches the application whole."""
    folder = "C:\\" + "L" * 240 + "\\"
    s = ctx.session("install_long_folder")
    open_main_dialog(s, EN_CAPTION)
    s.drive("settext", EN_CAPTION, str(ID_FOLDER), folder)
    s.drive("click", EN_CAPTION, str(ID_START))
    completion(s, EN_DONE, None, ctx)
    line = dismiss_and_read_launch(s, EN_DONE[0], folder)
    expect_eq(line, f'"{folder}quova" -s- -l', "launch command")
