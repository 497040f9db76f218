"""What the installer should make of a member's path, written independently
of the engine so that the tests can tell which members must be refused.

A member is refused when its relative path (the directory name without one
leading backslash, then the file name) split at '\\' and '/' holds a ".."
component, holds a ':' anywhere, has a component that Windows reserves for a
device, or makes a target longer than 255 bytes. Under code page 932 the split
steps over double-byte characters, so a trail byte 0x5C is part of a name.
"""

MAX_TARGET = 255
DEVICES = {b"CON", b"PRN", b"AUX", b"NUL"} | {b"COM%d" % i for i in range(1, 10)} \
    | {b"LPT%d" % i for i in range(1, 10)}


def is_lead_byte(b, cp932):
    return cp932 and (0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC)


def components(rel, cp932):
    """rel split at '\\' and '/', double-byte characters kept whole."""
    parts, current, i = [], bytearray(), 0
    while i < len(rel):
        b = rel[i]
        if is_lead_byte(b, cp932) and i + 1 < len(rel):
            current += rel[i:i + 2]
            i += 2
            continue
        if b in (0x5C, 0x2F):
            parts.append(bytes(current))
            current = bytearray()
        else:
            current.append(b)
        i += 1
    parts.append(bytes(current))
    return parts


def is_device(component):
    stem = component.split(b".", 1)[0].rstrip(b" ")
    return stem.upper() in DEVICES


def relative_path(directory, name):
    """The member's path below the folder, as the target path joins it."""
    if directory.startswith(b"\\"):
        directory = directory[1:]
    return directory + name


def refused(rel, cp932=False, folder_length=0):
    """folder_length: bytes of the install folder with its trailing separator."""
    if b":" in rel or folder_length + len(rel) > MAX_TARGET:
        return True
    return any(c == b".." or is_device(c) for c in components(rel, cp932))


def landing(rel, cp932=False):
    """Where an accepted member lands below the folder, as a POSIX relative
    path (empty and "." components vanish the way the file system folds them)."""
    kept = [c for c in components(rel, cp932) if c not in (b"", b".")]
    return b"/".join(kept)


def type2_directory(raw):
    """A type-2 extended directory name as the header reader leaves it: from
    the first byte up to the first byte below 0x20, 0xFF becomes '\\' and a
    space '_'."""
    out = bytearray(raw)
    for i, b in enumerate(out):
        if b < 0x20:
            break
        if b == 0xFF:
            out[i] = 0x5C
        elif b == 0x20:
            out[i] = 0x5F
    return bytes(out)


def stored_name(raw):
    """A base or type-1 name as the reader keeps it: bytes up to 0x20 become '_'."""
    return bytes(0x5F if b <= 0x20 else b for b in raw)
