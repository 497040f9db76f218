#!/usr/bin/env python3
"""How many realistic faults does the test suite catch?

Puts one fault of scripts/mutations.txt at a time into the source tree, in
place, rebuilds the build that compiles it, runs the tests that can see it,
and puts the file back in a finally block. extract/, platform/ and tools/
faults are tested by the whole host suite (build/host); app/ and resources/
faults by the win64 suite under 64-bit Wine (build/win64), minus the tests listed in
WIN64_UNRELATED, which build nothing from app/. A fault is caught when a test
fails in the run and again when the failed tests are run once more, or when
the run times out; a test that fails only once is noted as flaky. A fault
whose build fails is counted apart as not compilable. Builds and tests run
one at a time, at the lowest priority.

  scripts/mutate.py --list                    check every fault's anchor, list them
  scripts/mutate.py --only path-two-dots      one fault (repeat or comma-separate)
  scripts/mutate.py --area app --report FILE  one area; one line per fault in FILE
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
PRESET = {"extract": "host", "platform": "host", "tools": "host", "app": "win64",
          "resources": "win64"}
# win64 tests whose programs contain no app/ code: the engine under Wine, the
# payload archive, the icon.
WIN64_UNRELATED = ["engine_tests", "pack_payload", "resources_icon_generator"]


@dataclass
class Fault:
    id: str
    file: str = ""
    what: str = ""
    anchor: str = ""
    replacement: str = ""
    problem: str = ""  # why the fault cannot be applied; empty when it can

    @property
    def area(self):
        return self.file.split("/", 1)[0]


def load_faults(path):
    """Parses the fault file (format in its header); anchors are checked too."""
    faults, part, lines = [], None, []

    def close():
        if faults and part == "+++":
            faults[-1].replacement = "".join(l + "\n" for l in trim(lines))

    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("== ") or (part != "---" and line.startswith("# ")):
            close()
            part, lines = None, []
            if line.startswith("== "):
                faults.append(Fault(line[3:].strip()))
        elif part is None and faults and line.startswith(("file: ", "what: ")):
            setattr(faults[-1], line[:4], line[6:].strip())
        elif part is None and faults and line == "---":
            part, lines = "---", []
        elif part == "---" and line == "+++":
            faults[-1].anchor = "".join(l + "\n" for l in trim(lines))
            part, lines = "+++", []
        elif part is not None:
            lines.append(line)
        elif line.strip() and not line.startswith("#"):
            sys.exit(f"{path}: stray line outside any fault: {line!r}")
    close()
    seen = set()
    for f in faults:
        f.problem = check(f, seen)
        seen.add(f.id)
    return faults


def trim(lines):
    while lines and not lines[-1].strip():
        lines = lines[:-1]
    return lines


def line_starts(text, anchor):
    """Positions where anchor occurs at the start of a line."""
    found, at = [], text.find(anchor)
    while at >= 0:
        if at == 0 or text[at - 1] == "\n":
            found.append(at)
        at = text.find(anchor, at + 1)
    return found


def check(f, seen):
    if f.id in seen:
        return "duplicate id"
    if not (f.file and f.what and f.anchor):
        return "needs file:, what: and an anchor between --- and +++"
    if f.area not in PRESET:
        return f"file outside {', '.join(PRESET)}"
    if not (ROOT / f.file).is_file():
        return f"no such file {f.file}"
    if f.anchor == f.replacement:
        return "the replacement equals the anchor"
    n = len(line_starts((ROOT / f.file).read_text(encoding="utf-8"), f.anchor))
    return "" if n == 1 else ("anchor not found" if n == 0 else f"anchor found {n} times")


def run(cmd, log, timeout=None):
    """Runs cmd with its output appended to log; returns (exit code, output), code None on timeout."""
    with open(log, "a", encoding="utf-8") as out:
        out.write(f"$ {' '.join(cmd)}\n")
        out.flush()
        p = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True, errors="replace", start_new_session=True)
        try:
            text, _ = p.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            text, _ = p.communicate()
            out.write(text + f"\n[timed out after {timeout} s]\n")
            return None, text
        except BaseException:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
            raise
        out.write(text)
        return p.returncode, text


def build(preset, jobs, log):
    if not (ROOT / "build" / preset / "build.ninja").exists():
        if run(["cmake", "--preset", preset], log)[0] != 0:
            return False
    return run(["cmake", "--build", "--preset", preset, "-j", str(jobs)], log)[0] == 0


def failures(code, text):
    if code is None:
        return ["(timeout)"]
    names = re.findall(r"^\s*\d+ - (\S+) \(", text.split("The following tests FAILED:", 1)[-1], re.M) \
        if "The following tests FAILED:" in text else []
    return names or ([f"(ctest exit {code})"] if code else [])


def test(preset, jobs, timeout, log):
    """Runs the preset's tests, then those that failed once more: a test counts
    as failed only when it fails twice, since a Wine test can miss a window on
    a busy machine. Returns (failed tests, notes on skipped and flaky tests)."""
    cmd = ["ctest", "--preset", preset, "-j", str(jobs)]
    if preset == "win64":
        cmd += ["-E", "^(" + "|".join(WIN64_UNRELATED) + ")$"]
    code, text = run(cmd, log, timeout)
    skipped = re.findall(r"Test +#\d+: (\S+) .*\*\*\*Skipped", text)
    notes = [f"skipped: {','.join(skipped)}"] if skipped else []
    failed = failures(code, text)
    if failed and not failed[0].startswith("("):
        again = failures(*run(cmd + ["--rerun-failed"], log, timeout))
        if not again or not again[0].startswith("("):
            flaky = [t for t in failed if t not in again]
            failed = [t for t in failed if t in again]
            notes += [f"failed once only: {','.join(flaky)}"] if flaky else []
    return failed, notes


def try_fault(f, args, logs):
    path, log = ROOT / f.file, logs / f"{f.id}.log"
    log.write_text(f"{f.id}: {f.what}\n", encoding="utf-8")
    original = path.read_bytes()
    text = original.decode("utf-8")
    at = line_starts(text, f.anchor)
    if len(at) != 1:
        return "invalid", ["anchor no longer unique"], []
    try:
        path.write_bytes((text[:at[0]] + f.replacement + text[at[0] + len(f.anchor):]).encode("utf-8"))
        if not build(PRESET[f.area], args.jobs, log):
            return "not-compilable", [], []
        failed, notes = test(PRESET[f.area], args.jobs, args.timeout, log)
        return ("caught" if failed else "survived"), failed, notes
    finally:
        path.write_bytes(original)


def dirty(files):
    out = subprocess.run(["git", "status", "--porcelain", "--", *sorted(files)], cwd=ROOT,
                         capture_output=True, text=True, check=True).stdout
    return out.strip()


def interrupted(*_):
    raise KeyboardInterrupt  # so that SIGTERM, like Ctrl-C, runs the finally blocks


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--faults", type=Path, default=ROOT / "scripts" / "mutations.txt")
    ap.add_argument("--list", action="store_true", help="check and list the faults, run nothing")
    ap.add_argument("--only", action="append", default=[], help="fault ids (repeat or comma-separate)")
    ap.add_argument("--area", action="append", default=[], choices=sorted(PRESET))
    ap.add_argument("--jobs", type=int, default=2, help="build and ctest parallelism (default 2)")
    ap.add_argument("--timeout", type=int, default=1800, help="seconds for one ctest run (default 1800)")
    ap.add_argument("--report", type=Path, help="one line per fault: id, area, result, failed tests")
    ap.add_argument("--skip-baseline", action="store_true", help="do not run the unchanged suite first")
    args = ap.parse_args()
    signal.signal(signal.SIGTERM, interrupted)
    os.nice(max(0, 19 - os.nice(0)))

    faults = load_faults(args.faults)
    only = {i for o in args.only for i in o.split(",") if i}
    if only - {f.id for f in faults}:
        sys.exit(f"unknown fault ids: {', '.join(sorted(only - {f.id for f in faults}))}")
    chosen = [f for f in faults if (not only or f.id in only) and (not args.area or f.area in args.area)]
    bad = [f for f in chosen if f.problem]
    for f in bad:
        print(f"FAULT {f.id} ({f.file}): {f.problem}", file=sys.stderr)
    if args.list:
        for f in chosen:
            print(f"{f.id:30} {f.area:9} {f.file:32} {f.what}", flush=True)
        print(f"{len(chosen)} faults, {len(bad)} unusable", file=sys.stderr)
        return 1 if bad else 0
    files = {f.file for f in chosen}
    if dirty(files):
        sys.exit("these files have changes; commit or stash them first:\n" + dirty(files))

    logs = ROOT / "build" / "mutate" / "logs"
    logs.mkdir(parents=True, exist_ok=True)
    started = time.monotonic()
    results = {f.id: ("invalid", [f.problem], []) for f in bad}
    presets = [p for p in ("host", "win64") if any(PRESET[f.area] == p for f in chosen if not f.problem)]
    try:
        if "win64" in presets and not build("host", args.jobs, logs / "build-host.log"):
            sys.exit("the host build (lzhtool packs the win64 payload) fails unchanged")
        for preset in presets:
            base = logs / f"baseline-{preset}.log"
            base.write_text("", encoding="utf-8")
            if not build(preset, args.jobs, base):
                sys.exit(f"the {preset} build fails without any fault: see {base}")
            if not args.skip_baseline:
                failed, notes = test(preset, args.jobs, args.timeout, base)
                if failed:
                    sys.exit(f"the {preset} suite fails without any fault ({', '.join(failed)}): see {base}")
                for note in notes:
                    print(f"warning: unchanged {preset} suite: {note}", file=sys.stderr)
            for f in (f for f in chosen if PRESET[f.area] == preset and not f.problem):
                t0 = time.monotonic()
                results[f.id] = try_fault(f, args, logs)
                status, failed, notes = results[f.id]
                print(f"{f.id:30} {f.area:9} {status:15} {time.monotonic() - t0:6.0f} s  "
                      + "  ".join([",".join(failed)] + notes), flush=True)
            # The last fault's objects are still in the build: make it match the tree again.
            build(preset, args.jobs, logs / f"restore-{preset}.log")
    finally:
        if dirty(files):
            print("WARNING: files still differ from git:\n" + dirty(files), file=sys.stderr)
        write_summary(chosen, results, args.report, time.monotonic() - started)
    return 1 if bad else 0


def write_summary(chosen, results, report, seconds):
    done = [f for f in chosen if f.id in results]
    lines = []
    for f in done:
        status, failed, notes = results[f.id]
        lines.append(f"{f.id:30} {f.area:9} {status:15} " + "  ".join([",".join(failed)] + notes))
    if report:
        report.write_text("\n".join(lines) + "\n", encoding="utf-8")
    print("\narea       caught / compiled   not compilable   invalid")
    for area in list(PRESET) + ["all"]:
        mine = [results[f.id][0] for f in done if area in ("all", f.area)]
        if mine:
            compiled = [s for s in mine if s in ("caught", "survived")]
            print(f"{area:10} {mine.count('caught'):6} / {len(compiled):<8} "
                  f"{mine.count('not-compilable'):16} {mine.count('invalid'):9}")
    survivors = [f.id for f in done if results[f.id][0] == "survived"]
    print(f"survivors: {', '.join(survivors) or 'none'}")
    print(f"wall time: {seconds / 60:.1f} min")


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("interrupted: the mutated file is restored, the build may hold its objects")
