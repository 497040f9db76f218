"""Member paths: traversal, drive letters and colons, double-byte trail bytes,
device names and every length limit. Each hostile member stands between two
ordinary ones, so that the walk's going on is checked as well."""

from harness import Case
from lzhcraft import archive, lh5, stored
import pathmodel as pm

FIRST = (b"first.txt", b"first member\n")
LATER = (b"later.txt", b"later member\n" * 3)
BOTH = dict([FIRST, LATER])

# Paths as components; the file name is the last one.
TRAVERSALS = [
    ("dotdot", [b"..", b"zv_evil.txt"]),
    ("dotdot2", [b"..", b"..", b"zv_evil.txt"]),
    ("dotdot3", [b"..", b"..", b"..", b"zv_evil.txt"]),
    ("inner_dotdot", [b"D", b"..", b"..", b"D", b"Test.TXT"]),
    ("dotdot_work", [b"..", b"..", b"WORK", b"Test.TXT"]),
    ("dotdot_last", [b"D", b".."]),
    ("drive", [b"C:", b"zv_evil.txt"]),
    ("drive_relative", [b"C:zv_evil.txt"]),
    ("stream", [b"file.txt:zv_stream"]),
    ("long_prefix", [b"", b"", b"?", b"C:", b"zv_evil.txt"]),
    ("nt_prefix", [b"", b"??", b"C:", b"zv_evil.txt"]),
    ("leading_separator", [b"", b"WORK", b"Test.TXT"]),
    ("double_leading", [b"", b"", b"abs.txt"]),
    ("three_dots", [b"D", b"...", b"Test.TXT"]),
    ("dot_dir", [b".", b"x.txt"]),
]
SEPARATORS = [("bslash", b"\\"), ("slash", b"/"), ("ff", b"\xff")]


def member(container, name_bytes, directory, data, method, level=1):
    """A member whose path is (directory, name) in the given container:
    level0 / type1 carry the whole path in the name, type2 in a directory record."""
    make = stored if method == "lh0" else lh5
    if container == "level0":
        return make(directory + name_bytes, data, level=0)
    if container == "type1":
        return make(b"decoy.txt", data, ext=[(1, directory + name_bytes)])
    ext = [(2, directory)] if directory else []
    return make(name_bytes, data, level=level, ext=ext)


def model_rel(container, name_bytes, directory):
    if container == "type2":
        return pm.relative_path(pm.type2_directory(directory), pm.stored_name(name_bytes))
    return pm.stored_name(directory + name_bytes)


def hostile_case(name, container, name_bytes, directory, method="lh5", codepage=0,
                 strict=False, folder_length=0):
    """First, the hostile member, later. A refused hostile member leaves
    nothing; an accepted one lands where the model says (always when strict)."""
    data = b"hostile member " + name.encode() + b"\n"
    rel = model_rel(container, name_bytes, directory)
    body = archive(stored(*FIRST), member(container, name_bytes, directory, data, method),
                   lh5(*LATER))
    case = Case(name, body, expect=dict(BOTH), codepage=codepage, folder_length=folder_length)
    if not pm.refused(rel, codepage == 932, folder_length + 1 if folder_length else 0):
        target = pm.landing(rel, codepage == 932)
        (case.expect if strict else case.optional)[target] = data
        if not strict:
            # Only '\' makes directories; a '/' path whose folders are
            # missing cannot be created, which ends the run with 8 when
            # the member is decoded.
            case.rc = (0, 8)
            case.optional[LATER[0]] = case.expect.pop(LATER[0])
    return case


def traversal_cases():
    cases = []
    for vname, comps in TRAVERSALS:
        for container in ("level0", "type1", "type2"):
            for sname, sep in SEPARATORS:
                for method in ("lh0", "lh5"):
                    directory = sep.join(comps[:-1]) + sep if len(comps) > 1 else b""
                    cases.append(hostile_case("%s.%s.%s.%s" % (vname, container, sname, method),
                                              container, comps[-1], directory, method))
    relative = hostile_case("dotdot.relative_folder", "level0", b"zv_evil.txt", b"..\\..\\")
    relative.relative_folder = True
    return cases + [relative]


# (name, container, directory, file name, code page); all strict.
DOUBLE_BYTE = [
    ("hyo_dir", "level0", b"\x95\x5c\\", b"x.txt"),
    ("hyo_dir_type1", "type1", b"\x95\x5c\\", b"x.txt"),
    ("hyo_dir_type2", "type2", b"\x95\x5c\xff", b"x.txt"),
    ("hyo_dotdot_joined", "level0", b"\x95\x5c..\\", b"x"),
    ("hyo_then_dotdot", "level0", b"\x95\x5c\\..\\", b"x"),
    ("so_dotdot2", "type2", b"\x83\x5c\xff..\xff..\xff", b"x"),
    ("so_in_name", "level0", b"", b"\x83\x5cx.txt"),
]


def double_byte_cases():
    cases = []
    for name, container, directory, file_name in DOUBLE_BYTE:
        for codepage in (0, 932):
            cases.append(hostile_case("%s.cp%d" % (name, codepage or 1252), container,
                                      file_name, directory, codepage=codepage, strict=True))
    folder = Case("folder_ends_in_hyo.cp932", archive(lh5(b"x.txt", b"x\n"),
                                                      stored(b"y", b"y\n", ext=[(2, b"\x83\x5c\xff")])),
                  expect={b"x.txt": b"x\n", b"\x83\x5c/y": b"y\n"}, codepage=932,
                  folder_suffix=b"\x95\x5c")
    return cases + [folder]


DEVICES = [
    ("nul", b"", b"NUL", True), ("con", b"", b"CON", True), ("con_lower", b"", b"con", True),
    ("com1", b"", b"COM1", True), ("aux_txt", b"", b"AUX.TXT", True),
    ("lpt9_log", b"", b"LPT9.log", True), ("nul_tar_gz", b"", b"nul.tar.gz", True),
    ("com1_space", b"", b"COM1 ", True), ("com10", b"", b"COM10", True),
    ("nul_dir", b"NUL\xff", b"x.txt", True), ("prn_dir", b"D\xffprn.x\xff", b"x.txt", True),
    ("com1_space_dir", b"\x01/COM1 /", b"x.txt", True), ("trailing_dot", b"", b"A.", False),
]


def device_cases():
    return [hostile_case("device." + name, "type2", file_name, directory, strict=strict)
            for name, directory, file_name, strict in DEVICES]


def length_cases():
    d199 = b"d" * 199 + b"\xff"
    cases = [
        hostile_case("base_name_101.level0", "level0", b"n" * 101, b"", strict=True),
        hostile_case("base_name_101.level1", "type2", b"n" * 101, b"", strict=True),
        hostile_case("type1_name_100", "type1", b"n" * 100, b"", strict=True),
        hostile_case("type2_dir_200", "type2", b"x", d199, strict=True),
        hostile_case("type2_dir_200_name_101", "type2", b"n" * 101, d199),
        hostile_case("target_255", "type2", b"n" * 34, b"d" * 99 + b"\xff", strict=True,
                     folder_length=120),
        hostile_case("target_256", "type2", b"n" * 35, b"d" * 99 + b"\xff", folder_length=120),
    ]
    first_only = {FIRST[0]: FIRST[1]}
    refused_headers = [
        ("base_name_102.level0", stored(b"n" * 102, b"z", level=0)),
        ("base_name_102.level1", stored(b"n" * 102, b"z")),
        ("type1_name_101", stored(b"z", b"z", ext=[(1, b"n" * 101)])),
        ("type2_dir_201", stored(b"z", b"z", ext=[(2, b"d" * 200 + b"\xff")])),
        ("type2_dir_empty", stored(b"z", b"z", ext=[(2, b"")])),
    ]
    for name, hostile in refused_headers:
        cases.append(Case(name, archive(stored(*FIRST), hostile, lh5(*LATER)), expect=first_only))
    edge = archive(lh5(b"n" * 2, b"two\n"), stored(b"x", b"one\n"))
    cases.append(Case("folder_253", edge, expect={b"x": b"one\n"}, folder_length=253))
    cases.append(Case("folder_254", edge, folder_length=254))
    cases.append(Case("folder_300", edge, rc=(0,) + tuple(range(64, 80)), folder_length=300,
                      optional={b"x": b"one\n", b"nn": b"two\n"}))
    return cases


GROUPS = {
    "traversal": traversal_cases,
    "double_byte": double_byte_cases,
    "devices": device_cases,
    "lengths": length_cases,
}
