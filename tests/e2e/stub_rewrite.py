"""lzhtool installer against the linker: a payload put into a built installer
gives the bytes the build gives, whichever stub it starts from.

usage: stub_rewrite.py LZHTOOL INSTALLER PAYLOAD OTHER_INSTALLER OTHER_FOLDER NON_INSTALLER [default]
("default": the stub shipped beside LZHTOOL is the INSTALLER's bytes)."""
import os
import pathlib
import struct
import subprocess
import sys
import tempfile

LZHTOOL, EXE, PAYLOAD, OTHER_EXE, OTHER_FOLDER, NON_INSTALLER = sys.argv[1:7]
DEFAULT_STUB = sys.argv[7:] == ["default"]
WORK = pathlib.Path(tempfile.mkdtemp(prefix="zv-stub-"))


def security_directory(data):
    """File offset of the certificate table's entry in the data directory."""
    optional = struct.unpack_from("<I", data, 0x3C)[0] + 24
    wide = struct.unpack_from("<H", data, optional)[0] == 0x20B
    return optional + (112 if wide else 96) + 4 * 8, optional + 64


def signed(data):
    """A copy with a certificate table after the sections, as a signing tool appends it."""
    data = bytearray(data)
    entry, _ = security_directory(data)
    data += bytes(-len(data) % 8)
    certificate = struct.pack("<IHH", 8 + 24, 0x200, 2) + b"fake PKCS#7 signature\0\0\0"
    struct.pack_into("<II", data, entry, len(data), len(certificate))
    return bytes(data + certificate)


def without_checksum(data):
    data = bytearray(data)
    struct.pack_into("<I", data, security_directory(data)[1], 0)
    return bytes(data)


def stub_file(name, data):
    path = WORK / name
    path.write_bytes(data)
    return str(path)


exe, other = pathlib.Path(EXE).read_bytes(), pathlib.Path(OTHER_EXE).read_bytes()
damaged = bytearray(pathlib.Path(PAYLOAD).read_bytes())
damaged[len(damaged) // 2] ^= 0xFF
no_program = str(WORK / "no-program.lzh")
subprocess.run([LZHTOOL, "pack", "--force", no_program, str(pathlib.Path(OTHER_FOLDER) / "OTHER.TXT")], check=True)
# name, stub (path or bytes; None: no --stub), payload, exit status, expected bytes, text on stderr
ROWS = [
    ("shipped payload into its own stub", EXE, PAYLOAD, 0, exe, ""),
    ("a folder, packed as the build packs it", EXE, OTHER_FOLDER, 0, other, ""),
    ("growing: the relocations after the resources move", OTHER_EXE, PAYLOAD, 0, exe, ""),
    ("a signed stub loses its certificate table", signed(exe), PAYLOAD, 0, exe, "signature was removed"),
    ("a zero checksum stays zero", without_checksum(other), OTHER_FOLDER, 0, without_checksum(other), ""),
    ("a program that is not an installer", NON_INSTALLER, PAYLOAD, 65, None, "is not an installer"),
    ("a stub cut short", exe[: len(exe) // 2], PAYLOAD, 65, None, "stub"),
    ("a payload that does not install", EXE, stub_file("damaged.lzh", bytes(damaged)), 65, None, "broken file"),
    ("a payload without the program to start", EXE, no_program, 65, None, "no member quova"),
    ("no stub: beside lzhtool, else ZV_STUB", None, PAYLOAD, 0 if DEFAULT_STUB else 66,
     exe if DEFAULT_STUB else None, "" if DEFAULT_STUB else "--stub STUB.exe or ZV_STUB"),
]

failures = 0
for i, (name, stub, payload, status, expected, text) in enumerate(ROWS):
    output = WORK / f"out{i}.exe"
    stub_args = [] if stub is None else ["--stub", stub if isinstance(stub, str) else stub_file(f"stub{i}.exe", stub)]
    env = dict(os.environ, ZV_STUB="" if DEFAULT_STUB else str(WORK / "missing.exe"))
    run = subprocess.run([LZHTOOL, "installer", *stub_args, str(output), payload],
                         capture_output=True, text=True, env=env)
    got = output.read_bytes() if output.exists() else None
    problems = [what for what, bad in [
        (f"exit {run.returncode}, expected {status}", run.returncode != status),
        ("output differs from the build's", got != expected),
        (f"output lacks '{text}': {run.stderr.strip()}", text not in run.stderr + run.stdout),
        ("stderr is not one line", run.stderr.count("\n") > 1 and text != "broken file")] if bad]
    print(("FAIL " if problems else "ok   ") + name + "".join("\n     " + p for p in problems))
    failures += bool(problems)
sys.exit(1 if failures else 0)
