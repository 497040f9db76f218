#!/usr/bin/env python3
"""Writes two payloads that the build would refuse, from a good one: its
first member's data with a byte flipped (broken.lzh) and its first header at
level 2 (level2.lzh). usage: damage_payload.py ARCHIVE FOLDER"""
import sys
from pathlib import Path

data, out = Path(sys.argv[1]).read_bytes(), Path(sys.argv[2])
size, packed = data[0], int.from_bytes(data[7:11], "little")
broken = bytearray(data)
broken[size + 2 + packed // 2] ^= 0x55
out.mkdir(parents=True, exist_ok=True)
(out / "broken.lzh").write_bytes(broken)
(out / "level2.lzh").write_bytes(data[:20] + b"\x02" + data[21:])
