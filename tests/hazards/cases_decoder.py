"""Compressed data that lies: code tables that are incomplete, over-full or
all zero, lengths and counts past every array, single values that are not
symbols, tree walks into children never set, data that ends inside a block
header, and a few bytes that ask for gigabytes."""

from harness import Case
from lzhcraft import archive, lh5, stored, crc16, raw_block, cl_entries, canonical_codes, CL_LENGTHS
from cases_paths import FIRST, LATER, BOTH

HOSTILE_NAME = b"hostile.bin"
UNLIKELY_CRC = 0xBEEF
ZEROS = [(0, 8)] * 64


def hostile(packed_data, original=64, crc=UNLIKELY_CRC):
    return lh5(HOSTILE_NAME, b"", packed_data=packed_data, original=original, crc=crc)


def table_case(name, bw):
    """The damaged member between two good ones: it leaves no file unless
    its output happens to match its header, and the walk goes on."""
    body = archive(stored(*FIRST), hostile(bw.getvalue()), lh5(*LATER))
    return Case("table." + name, body, expect=dict(BOTH), optional={HOSTILE_NAME: None})


def lengths_entries(lengths):
    """Entries under the fixed code-length code for explicit symbol lengths."""
    return cl_entries([(length + 2, 0, 0) if length else (0, 0, 0) for length in lengths])


DEEP = list(range(1, 17)) + [16]                 # complete, codes up to 16 bits
OVERFULL_DEEP = [1, 1, 1] + list(range(2, 16)) + [16, 16]


def table_cases():
    single0 = ("single", 0)
    lit = ("single", 0x41)
    match = ("single", 256)
    cases = [
        ("sym_count_511", raw_block(64, ("single", 3), (511, []), single0, ZEROS)),
        ("zero_run_past_510", raw_block(64, ("single", 2), (510, [(511, 9)]), single0, ZEROS)),
        ("zero_run_from_500", raw_block(64, CL_LENGTHS, (510, cl_entries([(2, 480, 9), (2, 0, 9)])),
                                        single0, ZEROS)),
        ("sym_count_511_last_length", raw_block(64, CL_LENGTHS, (511, cl_entries(
            [(2, 490, 9), (3, 0, 0)])), single0, ZEROS)),
        ("overfull_510_ones", raw_block(64, ("single", 3), (510, []), single0, ZEROS)),
        ("overfull_4_ones", raw_block(64, CL_LENGTHS, (4, lengths_entries([1] * 4)), single0, ZEROS)),
        ("overfull_deep", raw_block(64, CL_LENGTHS, (19, lengths_entries(OVERFULL_DEEP)), single0,
                                    ZEROS)),
        ("cl_overfull_4_ones", raw_block(64, ("lengths", [1, 1, 1, 1], 0), (10, []), single0, ZEROS)),
        ("off_overfull_4_ones", raw_block(64, ("single", 3), match, [1, 1, 1, 1], ZEROS)),
        ("all_zero_sym", raw_block(64, ("single", 0), (510, []), single0, ZEROS)),
        ("all_zero_cl", raw_block(64, [0] * 19, (10, []), single0, ZEROS)),
        ("all_zero_off", raw_block(64, ("single", 3), match, [0] * 14, ZEROS)),
        ("incomplete_sym", raw_block(64, ("single", 3), (1, []), single0, ZEROS)),
        ("incomplete_cl", raw_block(64, ("lengths", [1, 0, 0], 0), (10, []), single0, ZEROS)),
        ("incomplete_off", raw_block(64, ("single", 3), match, [1], ZEROS)),
        ("cl_count_31", raw_block(64, [3] * 31, lit, single0, ZEROS)),
        ("off_count_15", raw_block(64, ("single", 3), lit, [4] * 15, ZEROS)),
    ]
    for length in range(17, 21):
        cases.append(("cl_length_%d" % length, raw_block(64, [length], (10, []), single0, ZEROS)))
        cases.append(("off_length_%d" % length, raw_block(64, ("single", 3), match, [length], ZEROS)))
    for value in (19, 31):
        cases.append(("cl_single_%d" % value, raw_block(64, ("single", value), (10, []), single0,
                                                        ZEROS)))
    for value in (510, 511):
        cases.append(("sym_single_%d" % value, raw_block(64, ("single", 3), ("single", value),
                                                         single0, ZEROS)))
    for value in (14, 15):
        cases.append(("off_single_%d" % value, raw_block(64, ("single", 3), match,
                                                         ("single", value), ZEROS)))
    return [table_case(name, bw) for name, bw in cases] + [stale_tree_case()] + regression_cases()


# Found by fuzz_extract: its first block's code-length code leaves the
# symbol code unread, so the first symbol is looked up in tables and code
# lengths that no block has written (memcheck sees the read; with garbage
# there, the bit reader was asked to drop more than 32 bits).
FIRST_BLOCK_UNREAD = bytes.fromhex("279c9092492492db6dff555d" + "dd" * 12)


def regression_cases():
    body = archive(stored(*FIRST), hostile(FIRST_BLOCK_UNREAD, 39, 0xBE58), lh5(*LATER))
    return [Case("table.regression_first_block_unread", body, expect=dict(BOTH),
                 optional={HOSTILE_NAME: None})]


def deep_block(symbols):
    """A complete block whose codes reach 16 bits, so that decoding walks trees."""
    codes = canonical_codes(DEEP)
    body = [codes[s] for s in symbols]
    return raw_block(len(symbols), CL_LENGTHS, (len(DEEP), lengths_entries(DEEP)), ("single", 0),
                     body)



def stale_tree_case():
    """A second block whose all-zero lengths pass the completeness test and
    leave the first block's tables and trees (partly overwritten) in use."""
    bw = deep_block([16, 15, 14, 13])
    raw_block(64, ("single", 0), (510, []), ("single", 0), ZEROS, bw=bw)
    return table_case("stale_tree_second_block", bw)


def deep_valid_case():
    symbols = [16, 15, 14, 13, 12, 0, 1, 2]
    data = bytes(symbols)
    return Case("table.deep_codes_valid",
                archive(stored(*FIRST), hostile(deep_block(symbols).getvalue(), len(data),
                                                crc16(data)), lh5(*LATER)),
                expect={**BOTH, HOSTILE_NAME: data})


GROUPS = {
    "tables": table_cases,
}
