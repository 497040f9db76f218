"""Targets that already exist in the install folder as something else: a
directory, a file where a directory is needed, a read-only file or folder,
and symbolic links pointing out of the folder. Nothing outside the folder may
change, whatever the engine decides to do with the link."""

import os

from harness import Case
from lzhcraft import archive, lh5, stored
from cases_paths import FIRST, LATER, BOTH

FIRST_ONLY = {FIRST[0]: FIRST[1]}
TARGET = (b"QUOVA.TXT", b"new content from the archive\n")
IN_DIR = (b"DIR\\x.txt", b"file below DIR\n")


def make(method, name, data):
    return (stored if method == "lh0" else lh5)(name, data)


def sandwich(method, name, data):
    return archive(stored(*FIRST), make(method, name, data), stored(*LATER))


def plant_dir(box):
    os.mkdir(box.path(b"QUOVA.TXT"))
    with open(box.path(b"QUOVA.TXT/keep.txt"), "wb") as f:
        f.write(b"keep\n")


def plant_file_as_parent(box):
    with open(box.path(b"DIR"), "wb") as f:
        f.write(b"a file where a directory is wanted\n")


def plant_read_only(box):
    path = box.path(b"QUOVA.TXT")
    with open(path, "wb") as f:
        f.write(b"read-only old content\n")
    os.chmod(path, 0o444)


def plant_read_only_dir(box):
    os.mkdir(box.path(b"DIR"))
    os.chmod(box.path(b"DIR"), 0o555)


def link(target_of):
    """A planter making `name` a symbolic link to target_of(box)."""
    def plant(box, name):
        os.symlink(target_of(box), box.path(name))
    return plant


LINKS = [
    # (label, link name in FOLDER, target, member path)
    ("file_to_outside_file", b"QUOVA.TXT", lambda box: os.path.join(box.outside, b"victim.txt"),
     TARGET[0]),
    ("file_to_missing_outside", b"QUOVA.TXT", lambda box: os.path.join(box.outside, b"new.txt"),
     TARGET[0]),
    ("file_relative_dotdot", b"QUOVA.TXT", lambda box: b"../../../outside/victim.txt", TARGET[0]),
    ("dir_to_outside_dir", b"DIR", lambda box: os.path.join(box.outside, b"dir"), IN_DIR[0]),
    ("dir_relative_dotdot", b"DIR", lambda box: b"../../../outside/dir", IN_DIR[0]),
]


def link_cases():
    cases = []
    for label, name, target_of, member_path in LINKS:
        for method in ("lh0", "lh5"):
            planter = link(target_of)
            data = TARGET[1]
            rel = member_path.replace(b"\\", b"/")
            cases.append(Case("symlink.%s.%s" % (label, method),
                              sandwich(method, member_path, data),
                              expect=dict(BOTH) if method == "lh0" else FIRST_ONLY,
                              optional={rel: data, LATER[0]: LATER[1]},
                              rc=(0, 8), replaceable=(name,),
                              plant=lambda box, p=planter, n=name: p(box, n),
                              note="a link in the folder: replaced or refused"))
    chain = Case("symlink.chain_inside_then_out", sandwich("lh5", b"A\\x.txt", TARGET[1]),
                 expect=FIRST_ONLY, optional={b"A/x.txt": TARGET[1], LATER[0]: LATER[1]},
                 rc=(0, 8), replaceable=(b"A", b"B"), plant=plant_chain)
    return cases + [chain]


def plant_chain(box):
    os.symlink(b"B", box.path(b"A"))
    os.symlink(os.path.join(box.outside, b"dir"), box.path(b"B"))


def existing_cases():
    dir_kept = {b"QUOVA.TXT/keep.txt": b"keep\n"}
    return [
        Case("directory_at_target.lh0", sandwich("lh0", *TARGET), expect={**BOTH, **dir_kept},
             plant=plant_dir),
        Case("directory_at_target.lh5", sandwich("lh5", *TARGET), rc=(8,),
             expect={**FIRST_ONLY, **dir_kept}, plant=plant_dir),
        Case("file_where_directory_needed.lh0", sandwich("lh0", *IN_DIR), expect=BOTH,
             plant=plant_file_as_parent),
        Case("file_where_directory_needed.lh5", sandwich("lh5", *IN_DIR), rc=(8,),
             expect=FIRST_ONLY, plant=plant_file_as_parent),
    ]


def read_only_cases():
    """Run as an unprivileged user: root writes through mode 0444."""
    return [
        Case("read_only_file.lh0", sandwich("lh0", *TARGET), expect=BOTH, plant=plant_read_only,
             as_nobody=True),
        Case("read_only_file.lh5", sandwich("lh5", *TARGET), rc=(8,), expect=FIRST_ONLY,
             plant=plant_read_only, as_nobody=True),
        Case("read_only_directory.lh0", sandwich("lh0", *IN_DIR), expect=BOTH,
             plant=plant_read_only_dir, as_nobody=True),
        Case("read_only_directory.lh5", sandwich("lh5", *IN_DIR), rc=(8,), expect=FIRST_ONLY,
             plant=plant_read_only_dir, as_nobody=True),
    ]


GROUPS = {
    "links": link_cases,
    "existing": existing_cases,
    "read_only": read_only_cases,
}
