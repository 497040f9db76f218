#!/usr/bin/env python3
"""Packing benchmark: `lzhtool pack` against `jlha` (-lh5-, header level 1)
on the same corpus in the same run, interleaved (A, B, A, B ...) over
several rounds; the median time of each counts.

usage: bench/bench_pack.py [--rounds N] [--corpus DIR] [--lzhtool PATH]
                           [--set mixed|single|small]

The corpus comes from bench/make_corpus.py (made in DIR when missing;
default $TMPDIR/zv-corpus). Archives go to a RAM-backed folder (/dev/shm
when there is one). Prints a table and, last, one line:
  pack_size_vs_jlha=Y.YYY pack_speed_vs_jlha=Z.Z
(compressed size of lzhtool's archive over jlha's; jlha's time over
lzhtool's, so above 1 means lzhtool packs faster).
"""
import argparse
import os
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


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--rounds', type=int, default=3)
    parser.add_argument('--corpus', default=os.path.join(os.environ.get('TMPDIR', '/tmp'), 'zv-corpus'))
    parser.add_argument('--lzhtool', default=os.path.join(ROOT, 'build', 'host', 'bin', 'lzhtool'))
    parser.add_argument('--set', default='mixed', choices=['mixed', 'single', 'small'])
    args = parser.parse_args()
    for tool in (args.lzhtool, shutil.which('jlha')):
        if not tool or not os.path.exists(tool):
            sys.exit('bench_pack: missing %s' % (tool or 'jlha'))
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
