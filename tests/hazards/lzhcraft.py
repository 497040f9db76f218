"""Builds LZH archives byte by byte, including ones no honest packer writes.

Member headers of level 0 and 1 (with any extended-header chain), stored and
-lh5- data, and an -lh5- bit writer that can send every field of a block
header with any value, so that damaged code tables can be spelled out.
"""

import struct

END_OF_ARCHIVE = b"\x00"
DOS_TIME = (12 << 11) | (34 << 5) | (56 // 2)      # 12:34:56
DOS_DATE = ((2001 - 1980) << 9) | (2 << 5) | 3     # 2001-02-03


def _crc_table():
    table = []
    for i in range(256):
        value = i
        for _ in range(8):
            value = (value >> 1) ^ 0xA001 if value & 1 else value >> 1
        table.append(value)
    return table


CRC_TABLE = _crc_table()


def crc16(data):
    crc = 0
    for b in data:
        crc = CRC_TABLE[(crc ^ b) & 0xFF] ^ (crc >> 8)
    return crc


class BitWriter:
    """Most significant bit first, as the -lh5- bit reader takes them."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.bits = 0

    def put(self, value, width):
        assert 0 <= value < (1 << width) or width == 0
        for shift in range(width - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> shift) & 1)
            self.bits += 1
            if self.bits == 8:
                self.out.append(self.acc)
                self.acc = 0
                self.bits = 0

    def getvalue(self):
        if self.bits:
            return bytes(self.out) + bytes([self.acc << (8 - self.bits)])
        return bytes(self.out)


def canonical_codes(lengths):
    """Code of each symbol of a canonical prefix code: shorter codes first,
    symbol order within a length, each code the previous one plus one."""
    codes = {}
    code = 0
    for length in range(1, 17):
        for symbol, sym_len in enumerate(lengths):
            if sym_len == length:
                codes[symbol] = (code, length)
                code += 1
        code <<= 1
    return codes


def put_small_length(bw, length):
    """One small-length entry: 3 bits below 7, else 111, the 1s beyond 7 and
    one more bit (any bit after thirteen 1s)."""
    if length < 7:
        bw.put(length, 3)
        return
    ones = length - 7
    bw.put(7, 3)
    bw.put((1 << ones) - 1, ones)
    bw.put(0, 1)


# A complete code-length code over all 19 entries: 13 of 4 bits, 6 of 5 bits.
CL_LENGTHS = [4] * 13 + [5] * 6
# A complete literal/length code: two symbols of 8 bits, the other 508 of 9.
SYM_LENGTHS = [8, 8] + [9] * 508
# A complete offset code: two of 3 bits, twelve of 4.
OFF_LENGTHS = [3, 3] + [4] * 12


def symbol_entries(lengths):
    """Code-length-code entries (x, extra bits, extra width) for lengths."""
    entries = []
    i = 0
    while i < len(lengths):
        if lengths[i]:
            entries.append((lengths[i] + 2, 0, 0))
            i += 1
            continue
        run = 1
        while i + run < len(lengths) and lengths[i + run] == 0 and run < 531:
            run += 1
        if run >= 20:
            entries.append((2, run - 20, 9))
        elif run >= 3:
            entries.append((1, run - 3, 4))
        else:
            entries.extend([(0, 0, 0)] * run)
        i += run
    return entries


def put_small_code(bw, lengths, count_bits, zero_run_slot):
    """A small code sent as lengths (a zero count of 0 after the third)."""
    bw.put(len(lengths), count_bits)
    for i, length in enumerate(lengths):
        put_small_length(bw, length)
        if zero_run_slot and i + 1 == 3:
            bw.put(0, 2)


def put_block_header(bw, block_size, sym_lengths=SYM_LENGTHS, off_lengths=OFF_LENGTHS):
    """A well-formed block header for complete codes."""
    bw.put(block_size & 0xFFFF, 16)
    put_small_code(bw, CL_LENGTHS, 5, True)
    cl_codes = canonical_codes(CL_LENGTHS)
    bw.put(len(sym_lengths), 9)
    for x, extra, width in symbol_entries(sym_lengths):
        code, length = cl_codes[x]
        bw.put(code, length)
        bw.put(extra, width)
    if off_lengths is None:
        bw.put(0, 4)
        bw.put(0, 4)
    else:
        put_small_code(bw, off_lengths, 4, False)


def cl_entries(entries):
    """Bits of symbol-length entries (x, extra, width) under the fixed
    code-length code CL_LENGTHS."""
    cl_codes = canonical_codes(CL_LENGTHS)
    bits = []
    for x, extra, width in entries:
        bits.append(cl_codes[x])
        bits.append((extra, width))
    return bits


def raw_block(block_size, cl, sym, off, body=(), bw=None):
    """A block header spelt out field by field, for damaged tables.
    cl and off: ("single", v) or a list of small lengths (cl also takes
    ("lengths", lengths, z) for a zero run z after the third);
    sym: ("single", v) or (count, bits), bits a list of (value, width).
    Appends to bw when given."""
    bw = bw or BitWriter()
    bw.put(block_size & 0xFFFF, 16)
    _raw_small(bw, cl, 5, True)
    if sym[0] == "single":
        bw.put(0, 9)
        bw.put(sym[1], 9)
    else:
        bw.put(sym[0], 9)
        for value, width in sym[1]:
            bw.put(value, width)
    _raw_small(bw, off, 4, False)
    for value, width in body:
        bw.put(value, width)
    return bw


def _raw_small(bw, code, count_bits, zero_run_slot):
    if isinstance(code, tuple) and code[0] == "single":
        bw.put(0, count_bits)
        bw.put(code[1], count_bits)
        return
    zero_run = 0
    if isinstance(code, tuple):
        _, code, zero_run = code
    bw.put(len(code), count_bits)
    for i, length in enumerate(code):
        put_small_length(bw, length)
        if zero_run_slot and i + 1 == 3:
            bw.put(zero_run, 2)


def lh5_tokens(tokens):
    """-lh5- data for tokens: ints are literals, (length, distance) pairs are
    matches. One block with the fixed codes above."""
    bw = BitWriter()
    put_block_header(bw, len(tokens))
    sym_codes = canonical_codes(SYM_LENGTHS)
    off_codes = canonical_codes(OFF_LENGTHS)
    for token in tokens:
        if isinstance(token, int):
            bw.put(*sym_codes[token])
            continue
        length, distance = token
        bw.put(*sym_codes[length + 253])
        j = distance.bit_length()
        bw.put(*off_codes[j])
        if j > 1:
            bw.put(distance - (1 << (j - 1)), j - 1)
    return bw.getvalue()


def lh5_literals(data):
    """-lh5- data holding data as literals only, in blocks of up to 65,535."""
    bw = BitWriter()
    sym_codes = canonical_codes(SYM_LENGTHS)
    for start in range(0, max(len(data), 1), 65535):
        chunk = data[start:start + 65535]
        put_block_header(bw, len(chunk), off_lengths=None)
        for b in chunk:
            bw.put(*sym_codes[b])
    return bw.getvalue()


def single_symbol_block(bw, block_size, symbol):
    """A block whose literal/length code is the single value `symbol`: every
    symbol of the block is `symbol` and costs no bits."""
    bw.put(block_size & 0xFFFF, 16)
    bw.put(0, 5)
    bw.put(0, 5)
    bw.put(0, 9)
    bw.put(symbol, 9)
    bw.put(0, 4)
    bw.put(0, 4)


def header(name=b"", method=b"-lh0-", packed=0, original=0, crc=0, level=1,
           ext=(), raw_chain=None, size_byte=None, base_extra=b"",
           time=DOS_TIME, date=DOS_DATE, level_byte=None):
    """Bytes of one member header. `ext` lists (type, data) records; raw_chain
    replaces the whole chain from offset S (first size field included)."""
    body = bytearray(method)
    body += struct.pack("<IIHHBB", packed & 0xFFFFFFFF, original & 0xFFFFFFFF,
                        time, date, 0x20, level if level_byte is None else level_byte)
    body += bytes([len(name) & 0xFF]) + name + struct.pack("<H", crc & 0xFFFF)
    if level == 0:
        body += base_extra
        size = len(body)
        chain = b""
    else:
        body += b"M" + base_extra
        size = len(body) + 2          # S: where the first extended size stands
        chain = raw_chain if raw_chain is not None else ext_chain(ext)
    size = size if size_byte is None else size_byte
    checksum = (sum(body) + sum(chain[:2])) & 0xFF
    return bytes([size & 0xFF, checksum]) + bytes(body) + chain


def ext_chain(records):
    """The chain from offset S: each record's size counts its type byte, its
    data and the next size field; a size of 0 ends the chain."""
    out = bytearray()
    for rtype, data in records:
        out += struct.pack("<H", len(data) + 3) + bytes([rtype]) + data
    return bytes(out + b"\x00\x00")


def chain_sum(records):
    return sum(len(data) + 3 for _, data in records)


def stored(name, data, level=1, ext=(), method=b"-lh0-", **kw):
    """A stored member; packed and original size both len(data)."""
    packed = len(data) + (chain_sum(ext) if level == 1 else 0)
    return header(name, method, packed, len(data), crc16(data), level, ext, **kw) + data


def lh5(name, data, level=1, ext=(), packed_data=None, **kw):
    """A -lh5- member of data; packed_data overrides the compressed bytes."""
    body = lh5_literals(data) if packed_data is None else packed_data
    original = kw.pop("original", len(data))
    crc = kw.pop("crc", crc16(data))
    packed = kw.pop("packed", len(body) + (chain_sum(ext) if level == 1 else 0))
    return header(name, b"-lh5-", packed, original, crc, level, ext, **kw) + body


def archive(*members, end=True):
    return b"".join(members) + (END_OF_ARCHIVE if end else b"")
