"""Where the default folder comes from: the four sources in their order,
with their type, emptiness and length rules. Each case opens the dialog,
reads the folder box and cancels."""
from common import (CURRENT_VERSION, DEFAULT_FOLDER, EN_CAPTION, ID_CANCEL,
                    INSTALL_ROOT, expect_eq, finish_cancelled, folder_text,
                    open_main_dialog, scenario)


def root(kind, data):
    return lambda s: s.reg_add(INSTALL_ROOT, None, kind, data)


def pf_dir(kind, data):
    return lambda s: s.reg_add(CURRENT_VERSION, "ProgramFilesDir", kind, data)


def pf_path(kind, data):
    return lambda s: s.reg_add(CURRENT_VERSION, "ProgramFilesPath", kind, data)


def no_pf_dir(s):
    s.reg_delete(CURRENT_VERSION, "ProgramFilesDir")


def unterminated_root(length):
    """A REG_SZ whose data is `length` characters and no terminating zero,
    which reg add cannot write."""
    data = ",".join(["41,00"] * length)
    text = ("Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Dorvalen\\Quova\\InstallRoot]\r\n"
            f"@=hex(1):{data}\r\n")
    return lambda s: s.reg_import(text)


def long_path(length):
    """C:\\ followed by letters, `length` characters in all."""
    return "C:\\" + "q" * (length - 3)


P = r"C:\PFPath"
FOLDER_CASES = [
    # name, registry changes, folder shown
    ("root_used_unchanged", [root("REG_SZ", r"D:\Tools\Q")], r"D:\Tools\Q"),
    ("root_expand_sz_ignored", [root("REG_EXPAND_SZ", r"D:\Tools\Q"),
                                pf_dir("REG_SZ", r"C:\PFDir")], "C:\\PFDir\\Quova\\"),
    ("root_empty_ignored", [root("REG_SZ", ""), pf_dir("REG_SZ", r"C:\PFDir")],
     "C:\\PFDir\\Quova\\"),
    ("root_255_used", [root("REG_SZ", long_path(255))], long_path(255)),
    ("root_256_ignored", [root("REG_SZ", long_path(256))], "C:\\Program Files\\Quova\\"),
    ("root_unterminated_ignored", [unterminated_root(256)], "C:\\Program Files\\Quova\\"),
    ("root_unterminated_255_used", [unterminated_root(255)], "A" * 255),
    ("program_files_dir", [pf_dir("REG_SZ", r"C:\Program Files")],
     "C:\\Program Files\\Quova\\"),
    ("program_files_dir_backslash", [pf_dir("REG_SZ", "C:\\Apps\\")], "C:\\Apps\\\\Quova\\"),
    ("program_files_path_dir_missing", [no_pf_dir, pf_path("REG_SZ", P)], P + "\\Quova\\"),
    ("program_files_path_dir_not_sz", [pf_dir("REG_EXPAND_SZ", r"C:\X"),
                                       pf_path("REG_SZ", P)], P + "\\Quova\\"),
    ("program_files_path_dir_empty", [pf_dir("REG_SZ", ""), pf_path("REG_SZ", P)],
     P + "\\Quova\\"),
    ("program_files_dir_fills_255", [pf_dir("REG_SZ", long_path(248))],
     long_path(248) + "\\Quova\\"),
    ("program_files_dir_no_room", [pf_dir("REG_SZ", long_path(249)), pf_path("REG_SZ", P)],
     P + "\\Quova\\"),
    ("program_files_over_255_ignored", [pf_dir("REG_SZ", long_path(256)),
                                        pf_path("REG_SZ", long_path(300))], DEFAULT_FOLDER),
    ("no_source_string_1030", [no_pf_dir], DEFAULT_FOLDER),
]


def make_case(name, changes, wanted):
    def run(ctx):
        s = ctx.session(name)
        for change in changes:
            change(s)
        open_main_dialog(s, EN_CAPTION)
        expect_eq(folder_text(s, EN_CAPTION), wanted, "folder shown")
        s.drive("click", EN_CAPTION, str(ID_CANCEL))
        finish_cancelled(s, wanted if wanted.startswith("C:") else None)
    run.__name__ = name
    return run


for case in FOLDER_CASES:
    scenario("folders")(make_case(*case))
