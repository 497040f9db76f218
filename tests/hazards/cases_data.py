"""Data that runs out or expands: members cut anywhere, a block header cut
in two, a few bytes declaring gigabytes, and random damage to good members
(each run under a timeout, so that a hang in a tree walk shows)."""

import os
import random

from harness import Case
from lzhcraft import (archive, lh5, stored, crc16, BitWriter, single_symbol_block, lh5_literals,
                      lh5_tokens)
from cases_paths import FIRST, LATER, BOTH
from cases_decoder import HOSTILE_NAME, hostile, deep_block, deep_valid_case

FIRST_ONLY = {FIRST[0]: FIRST[1]}
TEXT = b"The quick brown fox jumps over the lazy dog. " * 12
TOKENS = [ord(c) for c in "abcdefgh"] + [(10, 3), (256, 0), (5, 7), (40, 100)] + list(b"xyz")


def expand(symbol_blocks, padding=0):
    """-lh5- data of blocks (size, single symbol) that spend no bits per symbol."""
    bw = BitWriter()
    for size, symbol in symbol_blocks:
        single_symbol_block(bw, size, symbol)
    return bw.getvalue() + b"\x00" * padding


def expansion_cases():
    a100k = b"A" * 100000
    spaces = b" " * 1000000
    ten = expand([(0, 0x41)], padding=3)
    ten_match = expand([(0, 509)], padding=3)
    assert len(ten) == len(ten_match) == 10
    return [
        Case("expand.ffffffff_from_10_bytes.last", archive(stored(*FIRST),
                                                           hostile(ten, 0xFFFFFFFF), end=False),
             expect=FIRST_ONLY, fsize_limit=4 << 20),
        Case("expand.ffffffff_from_10_bytes", archive(stored(*FIRST), hostile(ten, 0xFFFFFFFF),
                                                      lh5(*LATER)),
             expect=BOTH, fsize_limit=4 << 20),
        Case("expand.ffffffff_matches_from_10_bytes",
             archive(stored(*FIRST), hostile(ten_match, 0xFFFFFFFF), end=False),
             expect=FIRST_ONLY, fsize_limit=64 << 20),
        Case("expand.declared_100000_crc_right",
             archive(hostile(expand([(0, 0x41), (34464, 0x41)]), len(a100k), crc16(a100k)),
                     lh5(*LATER)),
             expect={HOSTILE_NAME: a100k, LATER[0]: LATER[1]}),
        Case("expand.declared_100000_crc_wrong",
             archive(hostile(expand([(0, 0x41), (34464, 0x41)]), len(a100k), crc16(a100k) ^ 1),
                     lh5(*LATER)),
             expect={LATER[0]: LATER[1]}),
        Case("expand.cut_at_declared_50000",
             archive(hostile(expand([(0, 0x41)]), 50000, crc16(a100k[:50000])), lh5(*LATER)),
             expect={HOSTILE_NAME: a100k[:50000], LATER[0]: LATER[1]}),
        Case("expand.matches_of_spaces_1000000",
             archive(hostile(expand([(4000, 509)]), len(spaces), crc16(spaces)), lh5(*LATER)),
             expect={HOSTILE_NAME: spaces, LATER[0]: LATER[1]}),
    ]


def ending_cases():
    literal = lh5_literals(TEXT)
    cases = [
        Case("ends_in_block_header.last",
             archive(stored(*FIRST), hostile(literal[:3], len(TEXT), crc16(TEXT)), end=False),
             expect=FIRST_ONLY),
        Case("ends_in_block_header.then_member",
             archive(stored(*FIRST), hostile(literal[:3], len(TEXT), crc16(TEXT)), lh5(*LATER)),
             expect=dict(BOTH), optional={HOSTILE_NAME: None}),
        Case("ends_in_symbols.last",
             archive(stored(*FIRST), hostile(literal[:len(literal) * 3 // 5], len(TEXT),
                                             crc16(TEXT)), end=False),
             expect=FIRST_ONLY),
        Case("stored_runs_out.last",
             archive(stored(*FIRST), stored(HOSTILE_NAME, TEXT)[:-100], end=False),
             expect=FIRST_ONLY),
        Case("zero_size_member", archive(hostile(b"", 0, 0), lh5(*LATER)),
             expect={HOSTILE_NAME: b"", LATER[0]: LATER[1]}),
        deep_valid_case(),
    ]
    return cases


def good_members():
    out = bytearray()
    for t in TOKENS:
        if isinstance(t, int):
            out.append(t)
        else:
            for _ in range(t[0]):
                out.append(out[len(out) - t[1] - 1] if len(out) > t[1] else 0x20)
    tokens_member = lh5(b"tokens.bin", b"", packed_data=lh5_tokens(TOKENS), original=len(out),
                        crc=crc16(bytes(out)))
    return [stored(*FIRST), tokens_member, lh5(b"text.txt", TEXT[:90], level=0),
            stored(b"dir.txt", b"in a directory\n", ext=[(2, b"D\xffE\xff")])]


def good_archive():
    return archive(*good_members())


def truncation_cases():
    """The good archive cut short: complete members may be written, a cut one
    never; the first member is written once its data is whole. Every cut near
    a member boundary (headers, first and last data bytes), every 9th elsewhere."""
    whole = good_archive()
    first_end = len(stored(*FIRST))
    cuts, start = set(range(0, len(whole) + 1, 9)), 0
    for member in good_members():
        cuts |= set(range(max(start - 4, 0), start + 40)) | set(range(start + len(member) - 4,
                                                                      start + len(member) + 1))
        start += len(member)
    cases = []
    for cut in sorted(c for c in cuts if c < len(whole)):
        expect = FIRST_ONLY if cut >= first_end else {}
        cases.append(Case("cut_at_%d" % cut, whole[:cut], expect=expect, free=True))
    return cases


def mutation_cases(seeds_dir=None, count=300, seed=20240601):
    """Random damage to good archives: bytes replaced, bits flipped, runs
    duplicated or dropped."""
    seeds = [good_archive(), archive(hostile(deep_block([16, 15, 14, 13, 12, 0, 1, 2]).getvalue(),
                                             8, crc16(bytes([16, 15, 14, 13, 12, 0, 1, 2]))))]
    if seeds_dir and os.path.isdir(seeds_dir):
        for name in sorted(os.listdir(seeds_dir))[:50]:
            with open(os.path.join(seeds_dir, name), "rb") as f:
                data = f.read()
            if 0 < len(data) <= 4096:
                seeds.append(data)
    rng = random.Random(seed)
    cases = []
    for i in range(count):
        data = bytearray(rng.choice(seeds))
        for _ in range(rng.randint(1, 6)):
            mutate(rng, data)
        cases.append(Case("mutant_%03d" % i, bytes(data), rc=(0, 8), free=True))
    return cases


def mutate(rng, data):
    if not data:
        data.append(rng.randrange(256))
        return
    at = rng.randrange(len(data))
    kind = rng.randrange(4)
    if kind == 0:
        data[at] = rng.randrange(256)
    elif kind == 1:
        data[at] ^= 1 << rng.randrange(8)
    elif kind == 2:
        data[at:at] = data[at:at + rng.randint(1, 16)]
    else:
        del data[at:at + rng.randint(1, 8)]


GROUPS = {
    "expansion": expansion_cases,
    "data_ends": lambda: ending_cases() + truncation_cases(),
    "mutations": mutation_cases,
}
