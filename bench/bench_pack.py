#!/usr/bin/env python3
"""Packing benchmark: `lzhtool pack` against `jlha` (-lh5-, header level 1)
on the same corpus in the same run, interleaved (A, B, A, B ...) over
several rounds; the median time of each counts.

usage: bench/bench_pack.py [--rounds N] [--corpus DIR] [--lzhtool PATH]
                           [--set mixed|single|small] [--big [random|corpus]]

The corpus comes from bench/make_corpus.py (made in DIR when missing;
default $TMPDIR/zv-corpus). Archives go to a RAM-backed folder (/dev/shm
when there is one). Prints a table and, last, one line:
  pack_size_vs_jlha=Y.YYY pack_speed_vs_jlha=Z.Z
(compressed size of lzhtool's archive over jlha's; jlha's time over
lzhtool's, so above 1 means lzhtool packs faster).

--big packs one 1 GiB file instead, made in the RAM-backed folder: seeded
random bytes (`random`, the default) or the `single` set laid end to end
(`corpus`), once with each packer, and prints their wall time and peak
memory (the %M of /usr/bin/time) and, last, one line:
  big_rss_vs_jlha=R.RRR big_speed_vs_jlha=S.S
(lzhtool's peak memory over jlha's; jlha's time over lzhtool's).
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def input_bytes(folder):
    total = 0
    for root, _, files in os.walk(folder):
        for f in files:
            total += os.path.getsize(os.path.join(root, f))
    return total


def timed(cmd, cwd=None):
    start = time.perf_counter()
    subprocess.run(cmd, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def run_measured(cmd, cwd=None):
    """Runs cmd under /usr/bin/time, which reports the peak resident set of
    the command alone (a child of this script would count the script's own
    pages from before its exec). Returns (exit status, wall seconds, user +
    system seconds, peak KiB, stderr)."""
    with tempfile.NamedTemporaryFile('r', prefix='peak-') as peak:
        start = time.perf_counter()
        proc = subprocess.Popen(['/usr/bin/time', '-f', '%M', '-o', peak.name] + cmd, cwd=cwd,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        err = proc.stderr.read()
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
        proc.returncode = os.waitstatus_to_exitcode(status)
        kib = int(peak.read().split()[-1])
    return proc.returncode, wall, usage.ru_utime + usage.ru_stime, kib, err.decode(errors='replace')


def ram_folder():
    base = '/dev/shm' if os.path.isdir('/dev/shm') else None
    return tempfile.mkdtemp(prefix='zv-bench-', dir=base)


def packers(lzhtool, source, out):
    """The two packers as (name, archive, command, working folder)."""
    entries = sorted(os.listdir(source))
    return [
        ('jlha', os.path.join(out, 'jlha.lzh'),
         lambda a: ['jlha', 'a1o5q', a] + entries, source),
        ('lzhtool', os.path.join(out, 'lzhtool.lzh'),
         lambda a: [lzhtool, 'pack', '--level', '1', a, source], None),
    ]


BIG_BYTES = 1 << 30


def make_big(kind, corpus, path):
    """1 GiB of seeded random bytes, or of the single set over and over."""
    if kind == 'random':
        rng = random.Random(18)
        chunk = lambda: rng.randbytes(1 << 20)
    else:
        with open(os.path.join(corpus, 'single', 'single.bin'), 'rb') as f:
            block = f.read()
        chunk = lambda: block
    with open(path, 'wb') as out:
        written = 0
        while written < BIG_BYTES:
            data = chunk()[:BIG_BYTES - written]
            out.write(data)
            written += len(data)


def bench_big(lzhtool, kind, corpus):
    out = ram_folder()
    try:
        source = os.path.join(out, 'big.bin')
        make_big(kind, corpus, source)
        results = {}
        for name, command in (('jlha', ['jlha', 'a1o5q']), ('lzhtool', [lzhtool, 'pack', '--level', '1'])):
            archive = os.path.join(out, name + '.lzh')
            rc, wall, cpu, peak, err = run_measured(command + [archive, 'big.bin'], out)
            if rc != 0:
                sys.exit('bench_pack: %s failed: %s' % (name, err.strip()))
            results[name] = (wall, cpu, peak, os.path.getsize(archive))
            os.remove(archive)
    finally:
        shutil.rmtree(out, ignore_errors=True)
    print('1 GiB of %s data, one run each' % kind)
    print('%-8s %12s %9s %9s %10s' % ('packer', 'archive', 'seconds', 'cpu s', 'peak MiB'))
    for name in ('jlha', 'lzhtool'):
        wall, cpu, peak, size = results[name]
        print('%-8s %12d %9.1f %9.1f %10.1f' % (name, size, wall, cpu, peak / 1024))
    print('big_rss_vs_jlha=%.3f big_speed_vs_jlha=%.1f' % (
        results['lzhtool'][2] / results['jlha'][2], results['jlha'][0] / results['lzhtool'][0]))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--rounds', type=int, default=3)
    parser.add_argument('--corpus', default=os.path.join(os.environ.get('TMPDIR', '/tmp'), 'zv-corpus'))
    parser.add_argument('--lzhtool', default=os.path.join(ROOT, 'build', 'host', 'bin', 'lzhtool'))
    parser.add_argument('--set', default='mixed', choices=['mixed', 'single', 'small'])
    parser.add_argument('--big', nargs='?', const='random', choices=['random', 'corpus'])
    args = parser.parse_args()
    for tool in (args.lzhtool, shutil.which('jlha')):
        if not tool or not os.path.exists(tool):
            sys.exit('bench_pack: missing %s' % (tool or 'jlha'))
    if args.big == 'corpus' and not os.path.exists(os.path.join(args.corpus, 'single.manifest')):
        subprocess.run([sys.executable, os.path.join(HERE, 'make_corpus.py'), args.corpus, 'single'], check=True)
    if args.big:
        return bench_big(os.path.abspath(args.lzhtool), args.big, args.corpus)
    if not os.path.exists(os.path.join(args.corpus, args.set + '.manifest')):
        subprocess.run([sys.executable, os.path.join(HERE, 'make_corpus.py'), args.corpus, args.set], check=True)
    source = os.path.join(args.corpus, args.set)
    size = input_bytes(source)
    out = ram_folder()
    try:
        times = {}
        sizes = {}
        tools = packers(os.path.abspath(args.lzhtool), source, out)
        for _ in range(args.rounds):
            for name, archive, command, cwd in tools:
                if os.path.exists(archive):
                    os.remove(archive)
                times.setdefault(name, []).append(timed(command(archive), cwd))
                sizes[name] = os.path.getsize(archive)
    finally:
        shutil.rmtree(out, ignore_errors=True)
    print('corpus %s: %d bytes, %d rounds, median times' % (source, size, args.rounds))
    print('%-8s %12s %8s %9s %8s' % ('packer', 'archive', 'ratio', 'seconds', 'MB/s'))
    for name in ('jlha', 'lzhtool'):
        t = statistics.median(times[name])
        print('%-8s %12d %8.4f %9.3f %8.2f' % (name, sizes[name], sizes[name] / size, t, size / t / 1e6))
    size_ratio = sizes['lzhtool'] / sizes['jlha']
    speed_ratio = statistics.median(times['jlha']) / statistics.median(times['lzhtool'])
    print('pack_size_vs_jlha=%.3f pack_speed_vs_jlha=%.1f' % (size_ratio, speed_ratio))


if __name__ == '__main__':
    main()
