#!/usr/bin/env python3
"""Builds the benchmark corpus from files of this Debian system and seeded
random data, the same bytes on every run of the same system.

usage: bench/make_corpus.py OUTDIR [mixed|single|small|all]

  mixed   OUTDIR/mixed/, about 48 MiB in folders:
            text/  manual pages (unpacked), licences, C headers  ~16 MiB
            bin/   executables from /usr/bin                      ~12 MiB
            lib/   shared libraries                               ~12 MiB
            repetitive.log  highly repetitive text (seeded)         4 MiB
            random.bin      incompressible bytes (seeded)           4 MiB
  single  OUTDIR/single/single.bin: one 32 MiB file, the mixed corpus's
          files laid end to end (built from mixed): 12 MiB of text, 8 of
          executables, 8 of libraries, 2 repetitive, 2 random
  small   OUTDIR/small/: 3,000 small files (manual pages of 1 to 16 KiB)
  all     all three (the default)

Files are picked in byte order of their system paths until each share is
full, and their stored names keep to plain ASCII letters, digits, '.', '_'
and '-'. OUTDIR/<set>.manifest lists every file with its size and SHA-256,
so two machines can tell whether they measured the same corpus.
"""
import gzip
import hashlib
import os
import random
import re
import sys

MIB = 1 << 20
SEED = 20240611
TEXT_BUDGET = 16 * MIB
BIN_BUDGET = 12 * MIB
LIB_BUDGET = 12 * MIB
REPETITIVE_SIZE = 4 * MIB
RANDOM_SIZE = 4 * MIB
SINGLE_SIZE = 32 * MIB
SMALL_COUNT = 3000
SMALL_MIN, SMALL_MAX = 1024, 16 * 1024
MAX_ONE_FILE = 2 * MIB  # no single system file dominates a share

SAFE = re.compile(r'[^A-Za-z0-9._-]')


def safe_name(name):
    return SAFE.sub('_', name)[:60]


def sorted_files(folders, pattern=None):
    """Regular files (not links) below the folders, in byte order of path."""
    found = []
    for top in folders:
        for root, dirs, files in os.walk(top):
            dirs.sort()
            for f in files:
                p = os.path.join(root, f)
                if os.path.islink(p) or not os.path.isfile(p):
                    continue
                if pattern is None or pattern.search(f):
                    found.append(p)
    return sorted(found, key=lambda s: s.encode())


def read_text_source(path):
    with open(path, 'rb') as f:
        data = f.read()
    if path.endswith('.gz'):
        try:
            data = gzip.decompress(data)
        except (OSError, EOFError):
            return b''
    return data


def fill(outdir, sources, budget, reader, suffix=''):
    """Copies sources in order into outdir until budget bytes are written."""
    os.makedirs(outdir, exist_ok=True)
    used, names = 0, set()
    for path in sources:
        if used >= budget:
            break
        data = reader(path)
        if not data or len(data) > MAX_ONE_FILE:
            continue
        data = data[:budget - used]
        name = safe_name(os.path.basename(path).removesuffix('.gz')) + suffix
        while name.lower() in names:
            name = '_' + name
        names.add(name.lower())
        with open(os.path.join(outdir, name), 'wb') as f:
            f.write(data)
        used += len(data)
    return used


def read_binary(path):
    with open(path, 'rb') as f:
        head = f.read(4)
        if head != b'\x7fELF':
            return b''
        return head + f.read()


def repetitive_text(size, rng):
    """A log of a few hundred distinct lines repeated with small changes."""
    words = ['open', 'read', 'close', 'seek', 'write', 'stat', 'map', 'sync']
    lines = [('%s: %s %s ok\r\n' % (rng.choice(words), rng.choice(words), '/var/lib/quova/' + rng.choice(words)))
             .encode() for _ in range(300)]
    out = bytearray()
    n = 0
    while len(out) < size:
        out += b'%08d ' % (n // 7) + lines[rng.randrange(len(lines)) if n % 16 == 0 else n % len(lines)]
        n += 1
    return bytes(out[:size])


def make_mixed(out):
    base = os.path.join(out, 'mixed')
    rng = random.Random(SEED)
    man = sorted_files(['/usr/share/man'], re.compile(r'\.gz$'))
    text = (sorted_files(['/usr/share/common-licenses'])
            + [p for p in man if '/man/man' in p]
            + sorted_files(['/usr/include'], re.compile(r'\.h$')))
    fill(os.path.join(base, 'text'), text, TEXT_BUDGET, read_text_source)
    fill(os.path.join(base, 'bin'), sorted_files(['/usr/bin']), BIN_BUDGET, read_binary)
    fill(os.path.join(base, 'lib'), sorted_files(['/usr/lib/x86_64-linux-gnu'], re.compile(r'\.so')),
         LIB_BUDGET, read_binary)
    with open(os.path.join(base, 'repetitive.log'), 'wb') as f:
        f.write(repetitive_text(REPETITIVE_SIZE, rng))
    with open(os.path.join(base, 'random.bin'), 'wb') as f:
        f.write(rng.randbytes(RANDOM_SIZE))


SINGLE_SHARES = [('text', 12 * MIB), ('bin', 8 * MIB), ('lib', 8 * MIB),
                 ('repetitive.log', 2 * MIB), ('random.bin', 2 * MIB)]


def make_single(out):
    base = os.path.join(out, 'single')
    os.makedirs(base, exist_ok=True)
    mixed = os.path.join(out, 'mixed')
    if not os.path.isdir(mixed):
        make_mixed(out)
    with open(os.path.join(base, 'single.bin'), 'wb') as f:
        for name, share in SINGLE_SHARES:
            path = os.path.join(mixed, name)
            parts = list_files(path) if os.path.isdir(path) else [path]
            for p in parts:
                if share <= 0:
                    break
                with open(p, 'rb') as g:
                    data = g.read(share)
                f.write(data)
                share -= len(data)


def make_small(out):
    base = os.path.join(out, 'small')
    os.makedirs(base, exist_ok=True)
    count = 0
    for path in sorted_files(['/usr/share/man'], re.compile(r'\.gz$')):
        if count >= SMALL_COUNT:
            break
        data = read_text_source(path)
        if not SMALL_MIN <= len(data) <= SMALL_MAX:
            continue
        name = '%04d-%s' % (count, safe_name(os.path.basename(path).removesuffix('.gz')))
        with open(os.path.join(base, name), 'wb') as f:
            f.write(data)
        count += 1
    if count < SMALL_COUNT:
        sys.exit('make_corpus: only %d small manual pages on this system' % count)


def list_files(top):
    if not os.path.isdir(top):
        return []
    return sorted_files([top])


def write_manifest(out, name):
    top = os.path.join(out, name)
    total = 0
    with open(os.path.join(out, name + '.manifest'), 'w') as m:
        for p in list_files(top):
            with open(p, 'rb') as f:
                data = f.read()
            total += len(data)
            m.write('%s %d %s\n' % (hashlib.sha256(data).hexdigest(), len(data), os.path.relpath(p, top)))
    print('%s: %d files, %d bytes' % (top, len(list_files(top)), total))


def main():
    if len(sys.argv) not in (2, 3) or (len(sys.argv) == 3 and sys.argv[2] not in ('mixed', 'single', 'small', 'all')):
        sys.exit(__doc__)
    out = sys.argv[1]
    which = sys.argv[2] if len(sys.argv) == 3 else 'all'
    makers = {'mixed': make_mixed, 'single': make_single, 'small': make_small}
    for name in ('mixed', 'single', 'small'):
        if which in (name, 'all'):
            if os.path.exists(os.path.join(out, name + '.manifest')):
                print('%s: already there' % os.path.join(out, name))
                continue
            makers[name](out)
            write_manifest(out, name)


if __name__ == '__main__':
    main()
