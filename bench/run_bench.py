#!/usr/bin/env python3
"""The whole benchmark: decoding and packing against the independent tools.

usage: bench/run_bench.py [--build DIR] [--work DIR] [--rounds N]
                          [--pack-rounds N] [--quick] [--no-build]

1. Builds lzhtool and lzh_ceiling with the host preset into DIR (default
   build/host) unless --no-build is given.
2. Makes the corpus with bench/make_corpus.py under WORK (default
   /dev/shm/lzh-bench, a RAM-backed folder): `mixed` (~48 MiB in folders),
   `single` (one 32 MiB file), `small` (3,000 files of 1 to 16 KiB), and
   `sample` (every 12th file of `mixed` and 1/12 of its repetitive and random
   files, ~3 MiB), the smaller archive for the instruction counts.
3. Packs each set with jlha (-lh5-, header level 1) and with lzhtool pack;
   the packing of `mixed` is timed interleaved over --pack-rounds rounds:
   jlha, lzhtool pack with its default threads, lzhtool pack on one thread.
4. Decodes the archives interleaved over --rounds rounds (the order of the
   tools turns each round): lzhtool extract, 7zz x, unar, and lzh_ceiling on
   the same files, each into an empty folder under WORK; every output tree is
   compared with the corpus once. MB/s is output bytes per second, from the
   wall time (and, in brackets, from user + system time); peak memory is the
   maximum resident set size, the %M of /usr/bin/time.
5. Counts instructions per output byte under valgrind --tool=callgrind on
   the sample archive made by jlha.

Prints the tables and, last, one line:
  decode_vs_7zz=X.XX pack_size_vs_jlha=Y.YYY pack_speed_vs_jlha=Z.Z
decode_vs_7zz: lzhtool's median MB/s over 7zz's on jlha's archive of the
mixed corpus; pack_size_vs_jlha: lzhtool's archive of the mixed corpus over
jlha's; pack_speed_vs_jlha: jlha's median packing time over lzhtool's (with
its default threads; the one-thread figure is in the table).

unar stops on about one member in five of valid jlha archives ("Attempted to
read more data than was available"): its failures are counted and shown, its
MB/s counts only the bytes it wrote, and the run goes on.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import bench_pack  # noqa: E402  (the packer commands and run_measured, shared with bench_pack.py)

SETS = ('mixed', 'single', 'small', 'sample')
SAMPLE_EVERY = 12
DECODE_ARCHIVES = (('mixed', 'jlha'), ('mixed', 'lzhtool'), ('single', 'jlha'), ('small', 'jlha'))


run_measured = bench_pack.run_measured


def tree_listing(folder):
    """Relative path -> size, for comparing an output with the corpus."""
    found = {}
    for root, _, files in os.walk(folder):
        for f in files:
            p = os.path.join(root, f)
            found[os.path.relpath(p, folder)] = os.path.getsize(p)
    return found


def same_tree(a, b):
    if tree_listing(a) != tree_listing(b):
        return False
    return subprocess.run(['diff', '-rq', a, b], stdout=subprocess.DEVNULL).returncode == 0


def fresh(folder):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


def build(build_dir):
    subprocess.run(['cmake', '--preset', 'host', '-B', build_dir], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(['cmake', '--build', build_dir, '-j2', '--target', 'lzhtool', 'lzh_ceiling'], cwd=ROOT,
                   check=True, stdout=subprocess.DEVNULL)


def make_sample(corpus):
    """Every 12th file of mixed, and the first 12th of each big seeded file."""
    mixed = os.path.join(corpus, 'mixed')
    sample = os.path.join(corpus, 'sample')
    if os.path.isdir(sample):
        return
    files = sorted((os.path.relpath(os.path.join(r, f), mixed) for r, _, fs in os.walk(mixed) for f in fs),
                   key=lambda s: s.encode())
    big = {'repetitive.log', 'random.bin'}
    picked = [f for f in files if f not in big][::SAMPLE_EVERY]
    for rel in picked + sorted(big):
        src, dst = os.path.join(mixed, rel), os.path.join(sample, rel)
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        with open(src, 'rb') as f:
            data = f.read()
        with open(dst, 'wb') as f:
            f.write(data[:len(data) // SAMPLE_EVERY] if rel in big else data)


def make_corpus(corpus):
    subprocess.run([sys.executable, os.path.join(HERE, 'make_corpus.py'), corpus, 'all'], check=True,
                   stdout=subprocess.DEVNULL)
    make_sample(corpus)


def one_thread_pack(lzhtool):
    """The command prefix that packs on one thread: --jobs 1 when lzhtool has
    it, otherwise the default threads held to one processor."""
    probe = subprocess.run([lzhtool, 'pack', '--jobs', '1'], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if b'unknown option' not in probe.stderr:
        return [lzhtool, 'pack', '--jobs', '1'], '--jobs 1'
    return ['taskset', '-c', '0', lzhtool, 'pack'], 'one processor (taskset)'


def pack_all(lzhtool, corpus, arcs, rounds):
    """Packs every set; times the packers on mixed. Returns (rows, sizes)."""
    sizes = {}
    times = {}
    single, single_label = one_thread_pack(lzhtool)
    for name in SETS:
        source = os.path.join(corpus, name)
        out = fresh(os.path.join(arcs, name))
        tools = bench_pack.packers(lzhtool, source, out)
        if name == 'mixed':
            archive = os.path.join(out, 'lzhtool-1.lzh')
            tools.append(('lzhtool-1', archive, lambda a: single + ['--level', '1', a, source], None))
        for r in range(rounds if name == 'mixed' else 1):
            for tool, archive, command, cwd in (tools if r % 2 == 0 else tools[::-1]):
                if os.path.exists(archive):
                    os.remove(archive)
                rc, wall, cpu, peak, err = run_measured(command(archive), cwd)
                if rc != 0:
                    sys.exit('run_bench: %s failed on %s: %s' % (tool, name, err.strip()))
                times.setdefault((name, tool), []).append((wall, cpu, peak))
                sizes[(name, tool)] = os.path.getsize(archive)
    return times, sizes, single_label


def decoders(lzhtool, ceiling, archive, source):
    """(name, command) of each decoder writing into the current folder."""
    return [
        ('lzhtool', lambda out: [lzhtool, 'extract', archive, out]),
        ('7zz', lambda out: ['7zz', 'x', '-y', '-o' + out, archive]),
        ('unar', lambda out: ['unar', '-q', '-f', '-D', '-o', out, archive]),
        ('ceiling', lambda out: [ceiling, source, out]),
    ]


def decode_all(lzhtool, ceiling, corpus, arcs, work, rounds):
    results = {}
    for name, packer in DECODE_ARCHIVES:
        archive = os.path.join(arcs, name, packer + '.lzh')
        source = os.path.join(corpus, name)
        expected = bench_pack.input_bytes(source)
        tools = decoders(lzhtool, ceiling, archive, source)
        for r in range(rounds):
            order = tools[r % len(tools):] + tools[:r % len(tools)]
            for tool, command in order:
                out = fresh(os.path.join(work, 'out'))
                rc, wall, cpu, peak, err = run_measured(command(out))
                written = bench_pack.input_bytes(out)
                entry = results.setdefault((name, packer, tool), {'runs': [], 'rc': set(), 'failed': 0})
                entry['runs'].append((written / wall / 1e6, written / max(cpu, 1e-6) / 1e6, peak))
                entry['rc'].add(rc)
                entry['failed'] = max(entry['failed'], len(re.findall(r'Failed!', err)))
                if r == 0:
                    entry['same'] = same_tree(out, source)
                    entry['written'] = written
                    entry['expected'] = expected
        shutil.rmtree(os.path.join(work, 'out'), ignore_errors=True)
    return results


def callgrind(cmd, out):
    """Instructions counted by callgrind over the bytes written into out."""
    fresh(out)
    proc = subprocess.run(['valgrind', '--tool=callgrind', '--callgrind-out-file=/dev/null'] + cmd(out),
                          stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    counts = [int(m.replace(',', '')) for m in re.findall(r'Collected : ([\d,]+)', proc.stderr)]
    written = bench_pack.input_bytes(out)
    return (sum(counts) / written if written else 0.0), written


def count_instructions(lzhtool, ceiling, corpus, arcs, work):
    archive = os.path.join(arcs, 'sample', 'jlha.lzh')
    source = os.path.join(corpus, 'sample')
    rows = []
    for tool, command in decoders(lzhtool, ceiling, archive, source):
        per_byte, written = callgrind(command, os.path.join(work, 'cg'))
        rows.append((tool, per_byte, written))
    shutil.rmtree(os.path.join(work, 'cg'), ignore_errors=True)
    return rows, bench_pack.input_bytes(source)


def print_decode(results, rounds):
    print('\nDecoding: median of %d interleaved rounds, output into a RAM-backed folder' % rounds)
    print('%-7s %-8s %-8s %10s %12s %9s  %s' % ('corpus', 'packer', 'tool', 'MB/s', '(CPU MB/s)', 'peak KiB',
                                                 'output'))
    for (name, packer, tool), e in results.items():
        wall = statistics.median(x[0] for x in e['runs'])
        cpu = statistics.median(x[1] for x in e['runs'])
        peak = max(x[2] for x in e['runs'])
        if e['same']:
            note = 'identical to the corpus'
        elif tool == 'unar' and e['failed']:
            note = 'exit %s: %d members failed, %d of %d bytes written' % (
                '/'.join(map(str, sorted(e['rc']))), e['failed'], e['written'], e['expected'])
        else:
            note = 'DIFFERS from the corpus (exit %s)' % '/'.join(map(str, sorted(e['rc'])))
        print('%-7s %-8s %-8s %10.1f %12s %9d  %s' % (name, packer, tool, wall, '(%.1f)' % cpu, peak, note))
    print('ceiling: lzh_ceiling writes the same files doing only the per-byte work of any decoder of this design')
    print('\nlzhtool\'s median MB/s over the others\' on the same archive:')
    for name, packer in DECODE_ARCHIVES:
        mbs = {t: statistics.median(x[0] for x in results[(name, packer, t)]['runs']) for t in ('lzhtool', '7zz', 'ceiling')}
        print('  %-7s %-8s  vs 7zz %.2f   vs ceiling %.2f' % (name, packer, mbs['lzhtool'] / mbs['7zz'],
                                                           mbs['lzhtool'] / mbs['ceiling']))


def print_pack(times, sizes, corpus, single_label):
    source_bytes = bench_pack.input_bytes(os.path.join(corpus, 'mixed'))
    print('\nPacking the mixed corpus (%d bytes): median of interleaved rounds' % source_bytes)
    print('%-10s %12s %8s %9s %10s %12s %9s' % ('packer', 'archive', 'ratio', 'seconds', 'MB/s', '(CPU MB/s)',
                                               'peak KiB'))
    for tool in ('jlha', 'lzhtool', 'lzhtool-1'):
        runs = times[('mixed', tool)]
        wall = statistics.median(x[0] for x in runs)
        cpu = statistics.median(x[1] for x in runs)
        size = sizes[('mixed', tool)]
        print('%-10s %12d %8.4f %9.2f %10.2f %12s %9d' % (tool, size, size / source_bytes, wall,
                                                         source_bytes / wall / 1e6,
                                                         '(%.2f)' % (source_bytes / cpu / 1e6),
                                                         max(x[2] for x in runs)))
    print('lzhtool: default threads (one per processor, %d here); lzhtool-1: %s' % (min(os.cpu_count() or 1, 8),
                                                                                  single_label))
    print('\nArchive sizes of the other sets (bytes):')
    for name in SETS[1:]:
        print('  %-7s jlha %10d   lzhtool %10d   ratio %.4f' % (name, sizes[(name, 'jlha')], sizes[(name, 'lzhtool')],
                                                              sizes[(name, 'lzhtool')] / sizes[(name, 'jlha')]))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--build', default=os.path.join(ROOT, 'build', 'host'))
    parser.add_argument('--work', default='/dev/shm/lzh-bench' if os.path.isdir('/dev/shm') else '/tmp/lzh-bench')
    parser.add_argument('--rounds', type=int, default=7)
    parser.add_argument('--pack-rounds', type=int, default=3)
    parser.add_argument('--quick', action='store_true', help='3 decoding rounds, 1 packing round')
    parser.add_argument('--no-build', action='store_true')
    args = parser.parse_args()
    if args.quick:
        args.rounds, args.pack_rounds = 3, 1
    for tool in ('jlha', '7zz', 'unar', 'valgrind', 'taskset'):
        if shutil.which(tool) is None:
            sys.exit('run_bench: %s is missing (bash scripts/setup.sh installs it)' % tool)
    build_dir = os.path.abspath(args.build)
    if not args.no_build:
        build(build_dir)
    lzhtool = os.path.join(build_dir, 'bin', 'lzhtool')
    ceiling = os.path.join(build_dir, 'bin', 'lzh_ceiling')
    work = os.path.abspath(args.work)
    corpus, arcs = os.path.join(work, 'corpus'), os.path.join(work, 'archives')
    make_corpus(corpus)
    times, sizes, single_label = pack_all(lzhtool, corpus, arcs, args.pack_rounds)
    results = decode_all(lzhtool, ceiling, corpus, arcs, work, args.rounds)
    counts, sample_bytes = count_instructions(lzhtool, ceiling, corpus, arcs, work)

    print('Corpus under %s; machine: %s, %d processors' % (corpus, os.uname().machine, os.cpu_count()))
    print_decode(results, args.rounds)
    print('\nInstructions per output byte under callgrind, jlha archive of the sample set (%d bytes)' %
          sample_bytes)
    for tool, per_byte, written in counts:
        print('  %-8s %7.1f%s' % (tool, per_byte, '' if written == sample_bytes else
                                  '   (over the %d bytes it wrote)' % written))
    print_pack(times, sizes, corpus, single_label)

    def median_mbs(tool):
        return statistics.median(x[0] for x in results[('mixed', 'jlha', tool)]['runs'])

    pack_time = {t: statistics.median(x[0] for x in times[('mixed', t)]) for t in ('jlha', 'lzhtool')}
    print('decode_vs_7zz=%.2f pack_size_vs_jlha=%.3f pack_speed_vs_jlha=%.1f' % (
        median_mbs('lzhtool') / median_mbs('7zz'),
        sizes[('mixed', 'lzhtool')] / sizes[('mixed', 'jlha')],
        pack_time['jlha'] / pack_time['lzhtool']))


if __name__ == '__main__':
    main()
