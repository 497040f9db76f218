#!/usr/bin/env python3
"""Runs the hostile-archive cases through `lzhtool extract` and prints the
figures: cases, failures, hangs, crashes, escapes, files left behind, the
largest ratio of bytes written to archive bytes and the slowest run.

    hazards.py --lzhtool PATH [--group NAME]... [--seeds DIR] [--memcheck] [--verbose]
    hazards.py --write DIR          writes every fixed crafted archive to DIR

Exit status: 0 all cases held, 1 a case failed, 77 the group cannot run here
(e.g. the read-only cases need root to drop to an unprivileged user).
"""

import argparse
import os
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import cases_data      # noqa: E402
import cases_decoder   # noqa: E402
import cases_headers   # noqa: E402
import cases_paths     # noqa: E402
import cases_targets   # noqa: E402
import verdict         # noqa: E402

SKIP = 77


def all_groups():
    groups = {}
    for module in (cases_paths, cases_headers, cases_decoder, cases_data, cases_targets):
        groups.update(module.GROUPS)
    return groups


def cannot_run(cases, memcheck):
    if memcheck and not shutil.which("valgrind"):
        return "valgrind is missing"
    if any(c.as_nobody for c in cases) and os.getuid() == 0 and not shutil.which("setpriv"):
        return "setpriv is missing: cannot drop to an unprivileged user"
    return None


def run_group(name, make, args):
    cases = make(args.seeds) if name == "mutations" else make()
    reason = cannot_run(cases, args.memcheck)
    if reason:
        print("hazards %s: skipped: %s" % (name, reason))
        return SKIP
    figures = verdict.Figures()
    base = tempfile.mkdtemp(prefix="zvhz-base-")
    os.chmod(base, 0o755)
    failed = []
    try:
        for case in cases:
            problems = verdict.run_case(args.lzhtool, case, base, figures, args.memcheck)
            if problems:
                failed.append((case.name, problems))
    finally:
        shutil.rmtree(base, ignore_errors=True)
    for case_name, problems in failed:
        print("FAIL %s" % case_name)
        for p in problems:
            print("    " + p)
    if args.verbose:
        for case_name, rc, written, size, fate in figures.outcomes:
            print("  %-44s exit %d, wrote %d bytes for %d %s" % (case_name, rc, written, size, fate))
    print("hazards %s: %d cases, %d failed; hangs %d, crashes %d, escapes %d, left behind %d; "
          "at most %.0f bytes written per archive byte; slowest %.2f s" % (
              name, figures.cases, figures.failures, figures.hangs, figures.crashes,
              figures.escapes, figures.leftovers, figures.amplification, figures.slowest))
    return 1 if failed else 0


def write_archives(folder):
    """Every crafted archive that does not depend on the sandbox, for seeds."""
    os.makedirs(folder, exist_ok=True)
    count = 0
    for name, make in sorted(all_groups().items()):
        if name in ("mutations", "data_ends"):
            continue
        for case in make():
            if callable(case.archive) or not case.archive:
                continue
            with open(os.path.join(folder, case.name + ".lzh"), "wb") as f:
                f.write(case.archive)
            count += 1
    print("wrote %d archives to %s" % (count, folder))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lzhtool")
    parser.add_argument("--group", action="append", help="one of: " + ", ".join(all_groups()))
    parser.add_argument("--seeds", help="folder of good archives to mutate")
    parser.add_argument("--write", help="write the crafted archives to this folder and stop")
    parser.add_argument("--memcheck", action="store_true",
                        help="run lzhtool under valgrind's memcheck (a build without sanitizers)")
    parser.add_argument("--verbose", action="store_true")
    args = parser.parse_args()
    if args.write:
        write_archives(args.write)
        return 0
    if not args.lzhtool or not os.access(args.lzhtool, os.X_OK):
        parser.error("--lzhtool must name the lzhtool executable")
    args.lzhtool = os.path.abspath(args.lzhtool)
    groups = all_groups()
    status = 0
    for name in args.group or sorted(groups):
        if name not in groups:
            parser.error("unknown group %s" % name)
        result = run_group(name, groups[name], args)
        status = result if status == 0 else status
    return status


if __name__ == "__main__":
    sys.exit(main())
