"""Names, texts and steps shared by the scenarios."""
from harness import Failure, expect, expect_eq

ENGLISH = "C.UTF-8"
JAPANESE = "ja_JP.UTF-8"

EN_CAPTION = "Quova installer ver0.13"
JA_CAPTION = "Quovaインストーラ ver0.13"
DEFAULT_FOLDER = "C:\\Program files\\Quova\\"   # string 1030, both languages

INSTALL_ROOT = r"HKCU\Software\Dorvalen\Quova\InstallRoot"
CURRENT_VERSION = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion"
NT_VERSION = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"

ID_START, ID_CANCEL, ID_FOLDER, ID_LABEL, ID_BROWSE, ID_SHORTCUT = 1, 2, 101, 65535, 102, 103
WS_DISABLED = 0x08000000

SCENARIOS = []


def scenario(group):
    """Registers a scenario function under a CTest group."""
    def register(function):
        SCENARIOS.append((group, function.__name__, function))
        return function
    return register


def set_version(session, text):
    """Wine's GetVersion follows this value: "3.95" gives 863."""
    session.reg_add(NT_VERSION, "CurrentVersion", "REG_SZ", text)


def no_program_files(session):
    """Leaves only string 1030: Wine's ProgramFilesPath is REG_EXPAND_SZ."""
    session.reg_delete(CURRENT_VERSION, "ProgramFilesDir")


def open_main_dialog(session, caption, exe=None):
    session.start(exe or session.ctx.exe)
    session.drive("wait", caption, "30000")


def controls_by_id(session, caption):
    window, controls = session.dump(caption)
    return window, {int(c["id"]): c for c in controls}


def folder_text(session, caption):
    return session.drive("text", caption, str(ID_FOLDER))[:-1]


def finish_cancelled(session, folder):
    """The program ends with 0 and leaves nothing behind."""
    expect_eq(session.exit_code(), 0, "exit code")
    if folder:
        expect(not session.host_path(folder).exists(), f"{folder} was created")


def read_launch_log(path):
    expect(path.exists(), f"no launch log at {path}")
    lines = path.read_text(encoding="latin-1").splitlines()
    expect(len(lines) == 1, f"expected one launch, log holds {lines!r}")
    return lines[0]


__all__ = ["Failure", "expect", "expect_eq"]
