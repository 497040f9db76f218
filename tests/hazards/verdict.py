"""One case from archive to verdict, and the figures of a whole group."""

import dataclasses
import os

import harness
import lzhcraft


@dataclasses.dataclass
class Figures:
    cases: int = 0
    failures: int = 0
    hangs: int = 0
    crashes: int = 0          # signals and sanitizer reports
    escapes: int = 0          # entries created, changed or removed outside FOLDER
    leftovers: int = 0        # files matching no header, debris of refused members
    amplification: float = 0.0
    slowest: float = 0.0
    outcomes: list = dataclasses.field(default_factory=list)


def parents(rel):
    out, head = set(), os.path.dirname(rel)
    while head:
        out.add(head)
        head = os.path.dirname(head)
    return out


def run_case(lzhtool, case, base, figures, memcheck=False):
    box = harness.Sandbox(base, case)
    try:
        if case.plant:
            case.plant(box)
        data = case.archive(box) if callable(case.archive) else case.archive
        archive_path = os.path.join(box.root, b"archive.lzh")
        with open(archive_path, "wb") as f:
            f.write(data)
        outside_before = harness.snapshot(box.root, skip=box.folder)
        inside_before = harness.tree(box.folder)
        folder = box.folder
        cwd = None
        if case.relative_folder:
            cwd, folder = os.path.split(box.folder)
        outcome = harness.run_extract(lzhtool, archive_path, folder, case, cwd, memcheck)
        outside_after = harness.snapshot(box.root, skip=box.folder)
        inside_after = harness.tree(box.folder)
    finally:
        box.remove()
    problems = judge_run(case, outcome, figures)
    problems += judge_outside(outside_before, outside_after, figures)
    problems += judge_inside(case, data, inside_before, inside_after, figures)
    figures.cases += 1
    figures.amplification = max(figures.amplification, outcome.written / max(len(data), 1))
    figures.slowest = max(figures.slowest, outcome.elapsed)
    if problems:
        figures.failures += 1
    figures.outcomes.append((case.name, outcome.rc, outcome.written, len(data),
                             describe(case, inside_after)))
    return problems


def judge_run(case, outcome, figures):
    problems = []
    if outcome.timed_out:
        figures.hangs += 1
        problems.append("did not end within %.0f s" % harness.TIMEOUT)
    elif outcome.signal:
        figures.crashes += 1
        problems.append("ended by signal %d" % outcome.signal)
    if any(mark in outcome.stderr for mark in harness.SANITIZER_MARKS):
        figures.crashes += 1
        problems.append("sanitizer report:\n" + outcome.stderr.decode(errors="replace")[-3000:])
    if not outcome.timed_out and not outcome.signal and outcome.rc not in case.rc:
        problems.append("exit status %d, expected one of %s (stderr: %s)" % (
            outcome.rc, case.rc, outcome.stderr.decode(errors="replace").strip()[-300:]))
    return problems


def judge_outside(before, after, figures):
    problems = []
    for rel in sorted(set(before) | set(after)):
        if before.get(rel) != after.get(rel):
            what = "created" if rel not in before else "removed" if rel not in after else "changed"
            problems.append("escape: %s outside the folder was %s" % (rel, what))
    figures.escapes += len(problems)
    return problems


def judge_inside(case, data, before, after, figures):
    problems = []
    pairs = harness.header_pairs(data)
    allowed = set(case.expect) | set(case.optional)
    for rel in list(allowed):
        allowed |= parents(rel)
    for rel, content in case.expect.items():
        if after.get(rel) != ("file", content):
            problems.append("%s: missing or wrong (%s)" % (rel, short(after.get(rel))))
    for rel, now in sorted(after.items()):
        if rel in before and now == before[rel]:
            continue
        if rel in before and rel not in case.replaceable and rel not in allowed:
            problems.append("planted %s was changed to %s" % (rel, short(now)))
            continue
        if rel not in before and rel not in allowed and not case.free:
            figures.leftovers += 1
            problems.append("left behind: %s (%s)" % (rel, short(now)))
            continue
        if now[0] == "file":
            if case.optional.get(rel) not in (None, now[1]):
                problems.append("%s: content differs from its member" % rel)
            if (len(now[1]), lzhcraft.crc16(now[1])) not in pairs:
                figures.leftovers += 1
                problems.append("%s: size/CRC match no member header" % rel)
    for rel in before:
        if rel not in after and rel not in case.replaceable:
            problems.append("planted %s was removed" % rel)
    return problems


def short(state):
    if state is None:
        return "absent"
    if state[0] == "file":
        return "file of %d bytes" % len(state[1])
    return "%s %s" % (state[0], state[1:] if len(state) > 1 else "")


def describe(case, after):
    """The fate of the optional and replaceable entries, for the log."""
    words = []
    for rel in sorted(set(case.optional) | set(case.replaceable)):
        state = after.get(rel)
        kind = "absent" if state is None else state[0]
        words.append("%s:%s" % (rel.decode(errors="backslashreplace"), kind))
    return " ".join(words)
