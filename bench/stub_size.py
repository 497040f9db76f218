#!/usr/bin/env python3
"""How many bytes the installer takes besides its payload, and what takes
them: code and data per library (from the link map the build writes beside
the executable), resources per type, and the file's headers and padding.

  bench/stub_size.py [EXE]        (default build/win32/bin/Zoravuvi.exe)

The stub is the file less the payload resource; the goal is at most 32 KiB.
Run it on the system interpreter, which has pefile (python3-pefile)."""
import re
import sys
from collections import defaultdict
from pathlib import Path

import pefile

LIMIT = 32 * 1024
RT_RCDATA = 10
RESOURCE_TYPES = {3: "icons", 5: "dialogs", 6: "strings", 10: "payload (raw data 1)",
                  14: "icon group", 16: "version", 24: "manifest"}
ENTRY = re.compile(r"^ (\.[\w$.]+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def input_group(path):
    """The library or object file that an input section came from."""
    library = re.search(r"lib(\w+)\.a\(", path)
    if library:
        return "system import thunks" if path.startswith("/usr/") else library.group(1)
    return "app: " + Path(path).name.replace(".cpp.obj", "")


def map_sizes(map_file):
    """Bytes per (input group, output section kind), from the ld map."""
    sizes = defaultdict(int)
    text = map_file.read_text(errors="replace")
    text = text[text.find("Linker script and memory map"):]
    pending = None
    for line in text.splitlines():
        if re.match(r"^ \.[\w$.]+$", line):          # a long name wraps its entry
            pending = line.strip()
            continue
        match = ENTRY.match(line)
        if not match:
            pending = None
            continue
        section = match.group(1) or pending
        pending = None
        size = int(match.group(3), 16)
        if not section or size == 0 or int(match.group(2), 16) == 0:
            continue
        kind = "code" if section.startswith(".text") else \
            "data" if section.startswith((".rdata", ".data", ".bss", ".pdata", ".xdata")) else None
        if kind:
            sizes[(input_group(match.group(4)), kind)] += size
    return sizes


def resource_sizes(pe):
    sizes = defaultdict(int)
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for named in kind.directory.entries:
            for lang in named.directory.entries:
                sizes[RESOURCE_TYPES.get(kind.id, f"type {kind.id}")] += lang.data.struct.Size
    return sizes


def main():
    exe = Path(sys.argv[1] if len(sys.argv) > 1 else "build/win32/bin/Zoravuvi.exe")
    if not exe.is_file():
        sys.exit(f"stub_size: no such file: {exe}")
    pe = pefile.PE(str(exe))
    total = exe.stat().st_size
    resources = resource_sizes(pe)
    payload = resources.pop("payload (raw data 1)", 0)
    stub = total - payload
    print(f"{exe}: {total:,} bytes, payload {payload:,}, stub {stub:,} "
          f"({stub / 1024:.1f} KiB, limit 32 KiB: {'within' if stub <= LIMIT else 'OVER'})")
    print("\nsections (raw bytes in the file):")
    raw = 0
    for section in pe.sections:
        raw += section.SizeOfRawData
        name = section.Name.rstrip(b"\0").decode()
        print(f"  {name:8} {section.SizeOfRawData:7,}"
              f"   (used {section.Misc_VirtualSize:,})")
    print(f"  headers  {total - raw:7,}")
    map_file = Path(str(exe) + ".map")
    if map_file.is_file():
        sizes = map_sizes(map_file)
        print("\ncode and data by origin (bytes before section alignment):")
        for group in sorted({g for g, _ in sizes}):
            print(f"  {group:28} code {sizes[(group, 'code')]:6,}   data {sizes[(group, 'data')]:6,}")
    print("\nresources besides the payload:")
    for name, size in sorted(resources.items()):
        print(f"  {name:28} {size:6,}")
    print(f"stub_bytes={stub}")
    return 0 if stub <= LIMIT else 1


if __name__ == "__main__":
    sys.exit(main())
