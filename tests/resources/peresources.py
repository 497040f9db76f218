"""Reads resources back from a built Win32 executable: string tables,
classic dialog templates, icon groups and the export names. Shared by the
check_*.py scripts beside it; each takes the executable's path as its only
argument and is registered once per executable by CMakeLists.txt."""
import struct
import sys

import pefile

RT_ICON, RT_STRING, RT_DIALOG, RT_GROUP_ICON = 3, 6, 5, 14
LANG_NEUTRAL = 0


def executable_from_argv():
    if len(sys.argv) < 2:
        sys.exit("usage: %s EXECUTABLE [unittest options]" % sys.argv[0])
    path = sys.argv.pop(1)
    return pefile.PE(path, fast_load=False)


def entries(pe, type_id):
    """Yields (name, language, bytes) of every resource of one type; name is
    an int or a str."""
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in root.entries if root else []:
        if kind.id != type_id:
            continue
        for named in kind.directory.entries:
            name = str(named.name) if named.name is not None else named.id
            for lang in named.directory.entries:
                data = lang.data.struct
                yield name, lang.id, pe.get_data(data.OffsetToData, data.Size)


def string_table(pe):
    """Every non-empty string: {id: (text, language)}. An empty slot of a
    block is no string: LoadString finds nothing there."""
    strings = {}
    for block, lang, data in entries(pe, RT_STRING):
        at = 0
        for slot in range(16):
            (length,) = struct.unpack_from("<H", data, at)
            at += 2
            if length:
                text = data[at:at + 2 * length].decode("utf-16-le")
                strings[(block - 1) * 16 + slot] = (text, lang)
            at += 2 * length
    return strings


def _sz_or_ord(data, at):
    (first,) = struct.unpack_from("<H", data, at)
    if first == 0:
        return "", at + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def _align(at):
    return (at + 3) & ~3


def parse_dialog(data):
    """A classic DLGTEMPLATE with its items, as dicts. An extended template
    (DIALOGEX) is reported as such rather than parsed."""
    if struct.unpack_from("<HH", data, 0) == (1, 0xFFFF):
        return {"extended": True}
    style, ex_style, count, x, y, cx, cy = struct.unpack_from("<IIHhhhh", data, 0)
    dialog = {"extended": False, "style": style, "exStyle": ex_style, "count": count,
              "rect": (x, y, cx, cy)}
    at = 18
    dialog["menu"], at = _sz_or_ord(data, at)
    dialog["class"], at = _sz_or_ord(data, at)
    dialog["caption"], at = _sz_or_ord(data, at)
    dialog["fontSize"], dialog["font"] = None, None
    if style & 0x40:  # DS_SETFONT
        (dialog["fontSize"],) = struct.unpack_from("<H", data, at)
        dialog["font"], at = _sz_or_ord(data, at + 2)
    dialog["controls"] = []
    for _ in range(count):
        at = _align(at)
        c_style, c_ex, x, y, cx, cy, ident = struct.unpack_from("<IIhhhhH", data, at)
        control = {"style": c_style, "exStyle": c_ex, "rect": (x, y, cx, cy), "id": ident}
        control["class"], at = _sz_or_ord(data, at + 18)
        control["text"], at = _sz_or_ord(data, at)
        (extra,) = struct.unpack_from("<H", data, at)
        control["extra"] = data[at + 2:at + 2 + extra]
        at += 2 + extra
        dialog["controls"].append(control)
    return dialog


def dialogs(pe):
    """{name: (parsed template, language)}"""
    return {name: (parse_dialog(data), lang) for name, lang, data in entries(pe, RT_DIALOG)}


def icon_groups(pe):
    """{group id: (language, [entry dicts])}, each entry with the image's
    own BITMAPINFOHEADER values under "image"."""
    images = {name: (lang, data) for name, lang, data in entries(pe, RT_ICON)}
    groups = {}
    for name, lang, data in entries(pe, RT_GROUP_ICON):
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        items = []
        for i in range(count):
            w, h, colours, _, planes, bits, size, ident = struct.unpack_from(
                "<BBBBHHIH", data, 6 + 14 * i)
            image_lang, image = images[ident]
            header = struct.unpack_from("<IiiHHIIiiII", image, 0)
            items.append({"width": w or 256, "height": h or 256, "colours": colours,
                          "planes": planes, "bits": bits, "size": size, "id": ident,
                          "language": image_lang, "image": {
                              "width": header[1], "height": header[2], "planes": header[3],
                              "bits": header[4], "compression": header[5]},
                          "bytes": len(image)})
        groups[name] = (lang, {"type": kind, "reserved": reserved, "entries": items})
    return groups


def export_names(pe):
    exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    return [s.name.decode() for s in exports.symbols if s.name] if exports else []
