#!/usr/bin/env python3
"""Writes the seed corpora of the three fuzz targets from the project's own
tools: archives from `lzhtool pack` (levels 0 and 1, -lh5- and -lh0-, with
and without folders), the crafted hostile archives of tests/hazards, and the
-lh5- streams cut out of the packed archives.

    make_seeds.py --lzhtool PATH OUTDIR

OUTDIR/fuzz_extract, OUTDIR/fuzz_decoder and OUTDIR/fuzz_roundtrip are
created; libFuzzer's -merge=1 then keeps the inputs that add coverage.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "hazards"))

import hazards     # noqa: E402
import lzhcraft    # noqa: E402

MAX_SEED = 4096

# Sample contents: text, a repetitive run, binary counting, and data with
# matches far back in the 8 KiB window.
SAMPLES = {
    "text.txt": b"Quova reads and writes LZH archives.\r\n" * 20,
    "zeros.bin": b"\x00" * 3000,
    "count.bin": bytes(range(256)) * 4,
    "far.bin": bytes((i * 7919) & 0xFF for i in range(1500)) + b"far match" * 3,
    "one.bin": b"\x93",
    "empty.bin": b"",
}


def packed_archives(lzhtool, work):
    """(name, archive bytes) for every level and method over the samples."""
    src = os.path.join(work, "src")
    os.makedirs(os.path.join(src, "DOC", "EN"))
    for name, data in SAMPLES.items():
        with open(os.path.join(src, name), "wb") as f:
            f.write(data)
    with open(os.path.join(src, "DOC", "EN", "readme.txt"), "wb") as f:
        f.write(SAMPLES["text.txt"][:200])
    out = []
    for level in ("0", "1"):
        for method in ("lh5", "lh0", "auto"):
            path = os.path.join(work, "pack-%s-%s.lzh" % (level, method))
            subprocess.run([lzhtool, "pack", "--level", level, "--method", method, path,
                            "text.txt", "far.bin", "one.bin", "empty.bin", "DOC"],
                           cwd=src, check=True, env=dict(os.environ, SOURCE_DATE_EPOCH="981168000"))
            with open(path, "rb") as f:
                out.append((os.path.basename(path), f.read()))
    return out


def lh5_streams(archive):
    """(original size, CRC, data) of each -lh5- member, read as the engine does."""
    found, pos = [], 0
    while pos + 22 < len(archive) and archive[pos]:
        size = archive[pos]
        method = archive[pos + 2:pos + 7]
        packed, original = struct.unpack_from("<II", archive, pos + 7)
        level, n = archive[pos + 20], archive[pos + 21]
        crc = struct.unpack_from("<H", archive, pos + 22 + n)[0]
        data_at, extended = pos + size + 2, 0
        if level == 1:
            for _ in range(256):
                m = struct.unpack_from("<H", archive, pos + size + extended)[0]
                extended += m
                if m == 0:
                    break
            data_at = pos + size + 2 + extended
        data = archive[data_at:pos + size + 2 + packed]
        if method == b"-lh5-":
            found.append((original, crc, data))
        pos += size + 2 + packed
    return found


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lzhtool", required=True)
    parser.add_argument("outdir")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        archives = packed_archives(os.path.abspath(args.lzhtool), work)
        crafted = os.path.join(work, "crafted")
        hazards.write_archives(crafted)
        for name in sorted(os.listdir(crafted)):
            with open(os.path.join(crafted, name), "rb") as f:
                data = f.read()
            if len(data) <= MAX_SEED:
                archives.append((name, data))
    extract_dir = os.path.join(args.outdir, "fuzz_extract")
    decoder_dir = os.path.join(args.outdir, "fuzz_decoder")
    for name, data in archives:
        write(extract_dir, name, data)
        try:
            streams = lh5_streams(data)
        except struct.error:       # a crafted archive the simple walk cannot follow
            streams = []
        for i, (original, crc, stream) in enumerate(streams):
            write(decoder_dir, "%s.%d" % (name, i), struct.pack("<IH", original, crc) + stream)
    for i, (name, data) in enumerate(sorted(SAMPLES.items())):
        for options in (0x00, 0x03, 0x05, 0x0B, 0x31, 0x73):
            write(os.path.join(args.outdir, "fuzz_roundtrip"), "%s.%02x" % (name, options),
                  bytes([options]) + data[:MAX_SEED - 1])
    print("seeds written below %s" % args.outdir)
    return 0


if __name__ == "__main__":
    sys.exit(main())
