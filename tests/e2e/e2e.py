#!/usr/bin/env python3
"""Runs Zoravuvi.exe under Wine as a person would, one Wine prefix per
scenario, and checks what it shows, writes and launches.

  e2e.py --group NAME --exe Zoravuvi.exe --driver windriver.exe
         --payload payload.lzh --work DIR [--alt-exe EXE --alt-payload LZH]
         [--visible] [--keep] [--only SCENARIO]

Groups: folders, dialogs, install, payload, demo. Exit status 0 when every
scenario of the group passed, 1 otherwise, 64 on bad arguments, 77 when the
installer is a 32-bit program and this machine cannot run one."""
import argparse
import os
import shutil
import subprocess
import sys
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import demo  # noqa: E402,F401  (each module registers its scenarios)
import dialogs  # noqa: E402,F401
import folders  # noqa: E402,F401
import install  # noqa: E402,F401
from common import SCENARIOS  # noqa: E402
from harness import SKIP_CODE, Display, Failure, Session, choose_wine, make_template  # noqa: E402


def extract_reference(archive, folder):
    """The payload as the reference decoder unpacks it, time stamps included."""
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    subprocess.run(["7zz", "x", "-y", f"-o{folder}", str(archive)], check=True,
                   stdout=subprocess.DEVNULL, timeout=120)
    return folder


class Context:
    def __init__(self, args, display):
        self.work = Path(args.work).resolve()
        self.exe = Path(args.exe).resolve()
        self.driver = Path(args.driver).resolve()
        self.display = display.name
        self.keep = args.keep
        self.template = make_template(self.work, self.display)
        self.payload_dir = extract_reference(Path(args.payload), self.work / f"ref-{args.group}")
        self.stand_in = next(p for p in self.payload_dir.rglob("*") if p.name.lower() == "quova.exe")
        self.alt_exe = Path(args.alt_exe).resolve() if args.alt_exe else None
        self.alt_payload_dir = None
        if args.alt_payload:
            self.alt_payload_dir = extract_reference(Path(args.alt_payload),
                                                     self.work / f"ref-alt-{args.group}")
        self.screenshots = []
        self.report = []
        self.sessions = []
        self.locpath = None
        self.visible = args.visible and bool(os.environ.get("DISPLAY"))

    def pause(self):
        """Gives a person watching a real display time to see each step."""
        if self.visible:
            time.sleep(1.5)

    def session(self, name, lang="C.UTF-8"):
        s = Session(self, name, lang)
        if self.locpath and not lang.startswith(("C.", "ja_JP")):
            s.env["LOCPATH"] = str(self.locpath)
        self.sessions.append(s)
        return s

    def locale(self, name):
        """Builds NAME.UTF-8 into the work folder, for code pages the machine
        has no locale for."""
        self.locpath = self.work / "locale"
        target = self.locpath / f"{name}.UTF-8"
        if not target.exists():
            self.locpath.mkdir(parents=True, exist_ok=True)
            subprocess.run(["localedef", "-i", name, "-f", "UTF-8", str(target)],
                           check=False, timeout=300,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not target.exists():
            raise Failure(f"cannot build the locale {name}.UTF-8")
        return f"{name}.UTF-8"

    def close_sessions(self):
        for s in self.sessions:
            s.close()
        self.sessions = []


def run_group(ctx, group, only):
    failures = 0
    chosen = [(n, f) for g, n, f in SCENARIOS if g == group and (not only or n == only)]
    if not chosen:
        print(f"no scenario in group {group!r}", file=sys.stderr)
        return 1
    for name, function in chosen:
        start = time.monotonic()
        status, detail = "PASS", ""
        try:
            function(ctx)
        except Failure as failure:
            status, detail = "FAIL", f": {failure}"
        except Exception:  # a broken step is a failed scenario, with its trace
            status, detail = "ERROR", ":\n" + traceback.format_exc()
        finally:
            ctx.close_sessions()
        failures += status != "PASS"
        print(f"{status} {name} ({time.monotonic() - start:.1f} s){detail}", flush=True)
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--group", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--payload", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--alt-exe")
    parser.add_argument("--alt-payload")
    parser.add_argument("--only")
    parser.add_argument("--visible", action="store_true", help="use $DISPLAY when set")
    parser.add_argument("--keep", action="store_true", help="keep the scenario prefixes")
    args = parser.parse_args()
    for path in (args.exe, args.driver, args.payload):
        if not os.path.isfile(path):
            print(f"e2e: no such file: {path}", file=sys.stderr)
            return 64
    cannot_run = choose_wine(args.exe)
    if cannot_run:
        print(f"skipped: 32-bit programs cannot run under Wine on this machine ({cannot_run})")
        return SKIP_CODE
    display = Display(args.visible)
    try:
        ctx = Context(args, display)
        failures = run_group(ctx, args.group, args.only)
    finally:
        display.close()
    for png in ctx.screenshots:
        print(f"screenshot: {png}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
