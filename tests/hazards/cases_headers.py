"""Header fields that lie: extended sizes that underflow, overrun or wrap,
base sizes shorter than the fixed fields, packed sizes that point backwards
or wrap the 32-bit position, and sizes near 2^32."""

import struct

from harness import Case
from lzhcraft import archive, header, lh5, stored, crc16
from cases_paths import FIRST, LATER, BOTH

FIRST_ONLY = {FIRST[0]: FIRST[1]}
HOSTILE = (b"hostile.txt", b"hostile member\n")


def sandwich(hostile, end=True):
    return archive(stored(*FIRST), hostile, lh5(*LATER), end=end)


def chain_cases():
    """Extended records whose size field is below its own overhead: types 1
    and 2 are refused (the walk ends); other types are stepped over."""
    cases = []
    for rtype in (1, 2, 0x40):
        for size in (1, 2):
            raw = struct.pack("<HB", size, rtype) + b"\x00" * 8
            body = sandwich(stored(*HOSTILE, raw_chain=raw))
            if rtype in (1, 2):
                cases.append(Case("ext_size_%d.type%d" % (size, rtype), body, expect=FIRST_ONLY))
            else:
                cases.append(Case("ext_size_%d.type0x40" % size, body, expect=FIRST_ONLY,
                                  optional={b"later.txt": LATER[1]}))
    overrun = struct.pack("<HB", 0x7000, 0x40) + b"x" * 5 + b"\x00\x00"
    cases.append(Case("ext_skip_past_payload", sandwich(stored(*HOSTILE, raw_chain=overrun)),
                      expect=FIRST_ONLY))
    cut = stored(*HOSTILE, ext=[(1, b"n" * 50)])[:-30]
    cases.append(Case("ext_name_past_payload", archive(stored(*FIRST), cut, end=False),
                      expect=FIRST_ONLY))
    # The chain of the mend: E = 5, then 5 + 0xFFFB wraps to 0 and the walk
    # would return to the first record for ever.
    loop = bytes.fromhex("0500400000fbff40") + b"\x00" * 8
    cases.append(Case("ext_sum_wraps", sandwich(stored(*HOSTILE, raw_chain=loop)),
                      expect=FIRST_ONLY))
    many = b"".join(struct.pack("<HB", 0x0FFF, 0x40) + b"\x00" * 0x0FFC for _ in range(17))
    cases.append(Case("ext_sum_past_65535", sandwich(stored(*HOSTILE, raw_chain=many + b"\0\0")),
                      expect=FIRST_ONLY))
    fine = stored(*HOSTILE, ext=[(0x40, b"\x00" * 300), (0x41, b"")])
    cases.append(Case("ext_unknown_types", sandwich(fine), expect={**BOTH, HOSTILE[0]: HOSTILE[1]}))
    return cases


def base_size_cases():
    """S from 0 to 21, shorter than the fixed fields it claims to hold."""
    cases = []
    for level in (0, 1):
        for size in range(0, 22):
            hostile = stored(*HOSTILE, level=level, size_byte=size)
            cases.append(Case("base_size_%d.level%d" % (size, level), sandwich(hostile),
                              expect=FIRST_ONLY,
                              optional={b"later.txt": LATER[1], HOSTILE[0]: HOSTILE[1]}))
    return cases


def packed_below_chain():
    ext = [(0x40, b"\x00" * 20)]
    data = HOSTILE[1]
    hostile = header(HOSTILE[0], b"-lh0-", 5, len(data), crc16(data), 1, ext) + data
    return Case("packed_below_extended_sum", sandwich(hostile), expect=FIRST_ONLY,
                optional={b"later.txt": LATER[1], HOSTILE[0]: data})


def backwards_cases():
    """packedSize chosen so that the next header position is at or before the
    member's own start, directly or after 32-bit wrapping; the walk must end."""
    cases = []
    name, data = b"loop.txt", b"this member must be written once\n"
    size = len(header(name, level=1)) - 2          # S of a level-1 header
    for label, back in (("same", 0), ("minus1", 1), ("plus1", -1), ("plus2", -2),
                        ("to_start", None)):
        def make(_box, back=back):
            first = stored(*FIRST)
            # next = H + S + 2 + packed (mod 2^32); H is where this member starts.
            start = len(first)
            target = 0 if back is None else start - back
            packed = (target - start - size - 2) & 0xFFFFFFFF
            loop = header(name, b"-lh0-", packed, len(data), crc16(data), 1) + data
            return archive(first, loop, lh5(*LATER))
        cases.append(Case("next_header." + label, make,
                          expect={FIRST[0]: FIRST[1], name: data}))
    return cases


def near_2_32_cases():
    cases = []
    data = b"0123456789"
    for label, packed, original in (("stored_ffffffff", 0xFFFFFFFF, 0xFFFFFFFF),
                                    ("stored_fffffff0", 0xFFFFFFF0, 0xFFFFFFF0),
                                    ("stored_packed_80000000", 0x80000000, 10),
                                    ("stored_packed_7fffffff", 0x7FFFFFFF, 10),
                                    ("stored_packed_fffffffe", 0xFFFFFFFE, 10)):
        hostile = header(HOSTILE[0], b"-lh0-", packed, original, crc16(data), 1) + data
        optional = {b"later.txt": LATER[1]}
        if original == len(data):
            optional[HOSTILE[0]] = data
        cases.append(Case(label, sandwich(hostile), expect=FIRST_ONLY, optional=optional))
    for label, packed in (("lh5_packed_ffffffff", 0xFFFFFFFF), ("lh5_packed_80000000", 0x80000000)):
        hostile = lh5(*HOSTILE, packed=packed)
        cases.append(Case(label, sandwich(hostile), expect=FIRST_ONLY,
                          optional={b"later.txt": LATER[1], HOSTILE[0]: HOSTILE[1]}))
    return cases


def other_header_cases():
    return [
        Case("stored_original_above_packed",
             sandwich(header(HOSTILE[0], b"-lh0-", 10, 0xFFFFFFFF, 0, 1) + b"0123456789"),
             expect=BOTH),
        Case("level_2", sandwich(stored(*HOSTILE, level_byte=2)), expect=FIRST_ONLY),
        Case("level_ff", sandwich(stored(*HOSTILE, level_byte=0xFF)), expect=FIRST_ONLY),
        Case("no_end_marker", sandwich(stored(*HOSTILE), end=False),
             expect={**BOTH, HOSTILE[0]: HOSTILE[1]}),
        Case("method_lhd_copied_as_stored", sandwich(stored(*HOSTILE, method=b"-lhd-")),
             expect={**BOTH, HOSTILE[0]: HOSTILE[1]}),
        Case("method_lh6_packed_below_original",
             sandwich(header(HOSTILE[0], b"-lh6-", 3, 15, 0, 1) + b"abc"), expect=BOTH),
        Case("empty_archive", b""),
        Case("only_end_marker", b"\x00"),
        Case("hyphens_only", b"-" * 5000),
        Case("header_after_2045", b"x" * 2046 + archive(stored(*FIRST))),
        Case("header_at_2045", b"x" * 2045 + archive(stored(*FIRST)), expect=FIRST_ONLY),
    ]


GROUPS = {
    "ext_headers": chain_cases,
    "base_sizes": lambda: base_size_cases() + [packed_below_chain()],
    "positions": lambda: backwards_cases() + near_2_32_cases() + other_header_cases(),
}
