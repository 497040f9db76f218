"""Runs `lzhtool extract` on crafted archives inside a throw-away sandbox and
checks what every run must leave: nothing touched outside the install folder,
exactly the files expected inside it, no file whose size or CRC differs from
a member header, no hang, no signal and no sanitizer report.

Sandbox layout (ROOT is a fresh temporary folder per case):
    ROOT/outside/victim.txt, ROOT/outside/dir/keep.txt   targets for links
    ROOT/a/b/FOLDER                                       the install folder
Three levels of ".." from FOLDER still land inside ROOT, where the snapshot
sees them.
"""

import dataclasses
import hashlib
import os
import resource
import shutil
import signal
import struct
import subprocess
import tempfile
import time

TIMEOUT = 10.0
DEFAULT_FSIZE_LIMIT = 64 << 20
NOBODY = 65534
SANITIZER_MARKS = (b"AddressSanitizer", b"LeakSanitizer", b"runtime error:",
                   b"UndefinedBehaviorSanitizer", b"depends on uninitialised",
                   b"Use of uninitialised", b"Invalid read", b"Invalid write")
# Memcheck for runs of a build without the sanitizers: it sees the reads of
# heap bytes never written, which AddressSanitizer does not.
VALGRIND = ["valgrind", "--quiet", "--error-exitcode=99", "--track-origins=yes"]
MEMCHECK_TIMEOUT = 60.0


@dataclasses.dataclass
class Case:
    name: str
    archive: object                  # bytes, or a function of the Sandbox
    expect: dict = dataclasses.field(default_factory=dict)    # rel -> bytes, must exist
    optional: dict = dataclasses.field(default_factory=dict)  # rel -> bytes or None (any), may exist
    free: bool = False               # any entry may appear; files still must match a header
    rc: tuple = (0,)
    codepage: int = 0
    plant: object = None             # function of the Sandbox, run before extraction
    replaceable: tuple = ()          # planted entries the run may replace
    as_nobody: bool = False
    fsize_limit: int = DEFAULT_FSIZE_LIMIT
    folder_length: int = 0           # exact length of FOLDER in bytes, 0 for the default
    folder_suffix: bytes = b""       # last bytes of FOLDER's own name
    relative_folder: bool = False    # pass FOLDER relative to its parent
    note: str = ""                   # what the outcome shows, for the log


@dataclasses.dataclass
class Outcome:
    rc: int = 0
    signal: int = 0
    timed_out: bool = False
    stderr: bytes = b""
    written: int = 0
    elapsed: float = 0.0


class Sandbox:
    def __init__(self, base, case):
        self.root = tempfile.mkdtemp(prefix="zvhz-", dir=base).encode()
        os.chmod(self.root, 0o777)
        self.outside = os.path.join(self.root, b"outside")
        os.makedirs(os.path.join(self.outside, b"dir"))
        _write(os.path.join(self.outside, b"victim.txt"), b"outside: must stay\n")
        _write(os.path.join(self.outside, b"dir", b"keep.txt"), b"outside dir\n")
        parent = os.path.join(self.root, b"a", b"b")
        self.folder = _folder_path(parent, case.folder_length, case.folder_suffix)
        os.makedirs(self.folder)
        for path, _, _ in os.walk(self.root):
            os.chmod(path, 0o777)

    def path(self, rel):
        return os.path.join(self.folder, rel)

    def remove(self):
        for path, dirs, _ in os.walk(self.root):
            for d in dirs:
                full = os.path.join(path, d)
                if not os.path.islink(full):
                    os.chmod(full, 0o777)
        shutil.rmtree(self.root, ignore_errors=True)


def _write(path, data, mode=0o666):
    with open(path, "wb") as f:
        f.write(data)
    os.chmod(path, mode)


def _folder_path(parent, length, suffix):
    """FOLDER below parent, padded with 100-byte components to `length` bytes."""
    if not length:
        return os.path.join(parent, b"FOLDER" + suffix)
    path = parent
    while len(path) + 1 + 100 < length - len(suffix) - 1:
        path = os.path.join(path, b"L" * 100)
    last = length - len(path) - 1
    assert last > len(suffix), "folder too short for its parent"
    return os.path.join(path, b"F" * (last - len(suffix)) + suffix)


def entry(path):
    """What one directory entry looks like, without following links."""
    st = os.lstat(path)
    if os.path.islink(path):
        return ("link", os.readlink(path))
    if os.path.isdir(path):
        return ("dir", st.st_mode & 0o7777)
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    return ("file", st.st_mode & 0o7777, st.st_size, st.st_mtime_ns, digest)


def snapshot(top, skip=None):
    """Every entry below top (links not followed), minus the subtree skip."""
    seen = {}
    for path, dirs, files in os.walk(top):
        dirs[:] = [d for d in dirs if os.path.join(path, d) != skip]
        for name in dirs + files:
            full = os.path.join(path, name)
            seen[os.path.relpath(full, top)] = entry(full)
    return seen


def tree(folder):
    """Entries below the install folder: rel -> ("dir",) | ("file", bytes) | ("link", target)."""
    found = {}
    for path, dirs, files in os.walk(folder):
        for name in dirs + files:
            full = os.path.join(path, name)
            rel = os.path.relpath(full, folder)
            if os.path.islink(full):
                found[rel] = ("link", os.readlink(full))
            elif os.path.isdir(full):
                found[rel] = ("dir",)
            else:
                with open(full, "rb") as f:
                    found[rel] = ("file", f.read())
    return found


def header_pairs(data):
    """(original size, CRC) of a header read at every start the scan can
    yield: any position from three bytes before the data on (when no method
    matches within its window the scan settles on the last hyphen it saw).
    Bytes outside the data read as 0, as the stream yields them."""
    padded = b"\x00" * 3 + data + b"\x00" * 280
    pairs = set()
    for p in range(len(data) + 3):
        original = struct.unpack_from("<I", padded, p + 11)[0]
        crc = struct.unpack_from("<H", padded, p + 22 + padded[p + 21])[0]
        pairs.add((original, crc))
    return pairs


def run_extract(lzhtool, archive_path, folder, case, cwd, memcheck=False):
    argv = (VALGRIND if memcheck else []) + [lzhtool, "extract"]
    if case.codepage:
        argv += ["--codepage", str(case.codepage)]
    argv += [archive_path, folder]
    if case.as_nobody and os.getuid() == 0:
        argv = ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY,
                "--clear-groups", "--"] + argv

    def limits():
        resource.setrlimit(resource.RLIMIT_FSIZE, (case.fsize_limit, case.fsize_limit))
        os.setpgrp()

    out = Outcome()
    with tempfile.TemporaryFile() as err:
        started = time.monotonic()
        proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=err, cwd=cwd,
                                preexec_fn=limits)
        out.timed_out = not _wait_zombie(proc.pid, started + (MEMCHECK_TIMEOUT if memcheck else TIMEOUT))
        if out.timed_out:
            os.killpg(proc.pid, signal.SIGKILL)
            _wait_zombie(proc.pid, time.monotonic() + TIMEOUT)
        out.written = _bytes_written(proc.pid)
        code = proc.wait()
        out.elapsed = time.monotonic() - started
        out.rc, out.signal = (code, 0) if code >= 0 else (0, -code)
        err.seek(0)
        out.stderr = err.read()
    return out


def _wait_zombie(pid, deadline):
    """Waits for the child to end but leaves it unreaped, so that its I/O
    figures can still be read."""
    while time.monotonic() < deadline:
        info = os.waitid(os.P_PID, pid, os.WEXITED | os.WNOWAIT | os.WNOHANG)
        if info is not None:
            return True
        time.sleep(0.002)
    return False


def _bytes_written(pid):
    try:
        with open("/proc/%d/io" % pid) as f:
            for line in f:
                if line.startswith("wchar:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0
