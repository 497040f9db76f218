"""Wine sessions for the end-to-end scenarios: a virtual display, a Wine
prefix cloned from a template, and the window driver (windriver.exe)."""
import fcntl
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parents[2] / "scripts"
# Caption and menu fonts with Japanese glyphs, as a Japanese system has.
JAPANESE_FONTS = Path(__file__).resolve().parents[1] / "wine" / "japanese-fonts.reg"
WINE_TIMEOUT = 60
LOADER_RETRIES = 2
QUIET = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}

class Failure(Exception):
    """An expectation of a scenario that did not hold."""

def expect(condition, message):
    if not condition:
        raise Failure(message)

def expect_eq(actual, wanted, what):
    expect(actual == wanted, f"{what}: got {actual!r}, wanted {wanted!r}")

def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while not (met := condition()) and time.monotonic() < deadline:
        time.sleep(0.1)
    return met

def cannot_run(exe):
    """Sets up the Wine that runs exe; None, or why a 32-bit exe cannot run here."""
    head = Path(exe).read_bytes()[:4096]
    if struct.unpack_from("<H", head, struct.unpack_from("<I", head, 0x3C)[0] + 4)[0] == 0x8664:
        os.environ.update(PATH=f"{SCRIPTS / 'wine64'}:{os.environ['PATH']}", WINEARCH="win64")
        return None
    probe = subprocess.run(["bash", str(SCRIPTS / "probe32.sh")], capture_output=True, text=True)
    return None if probe.returncode == 0 else probe.stdout.strip().removeprefix("no: ")

def run_wine(args, env):
    """A Windows program run to its end; its output. On a busy machine the
    Wine loader now and then exits 1 before the program runs, and nothing
    run here exits 1 by itself: such a run is tried again."""
    for _ in range(LOADER_RETRIES + 1):
        # Files, not pipes: the services that the first command starts
        # inherit its output and would hold a pipe open past its end.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(["wine", *args], env=env, stdout=out, stderr=err,
                                  timeout=WINE_TIMEOUT).returncode
            out.seek(0), err.seek(0)
            said, complaint = out.read(), err.read().decode(errors="replace").strip()
        if code != 1:
            break
        print(f"note: wine {args[0]} exited 1 ({complaint[:300]}); trying again", flush=True)
    expect(code == 0, f"wine {' '.join(args)} exited {code}: {complaint}")
    return said

def start_display():
    """An Xvfb server on a free display number: its name and process."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                             "-nolisten", "tcp"], pass_fds=(write_end,), **QUIET)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    expect(number, "Xvfb did not start")
    return ":" + number, xvfb

def wine_env(display, prefix, lang):
    return dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all", DISPLAY=display,
                WINEDLLOVERRIDES="mscoree,mshtml=", LANG=lang, LC_ALL=lang)

def template_prefix(work, display):
    """Made once for all sessions; later callers wait for it."""
    template = work / "template"
    work.mkdir(parents=True, exist_ok=True)
    with open(work / "template.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if (template / ".complete").exists():
            return template
        shutil.rmtree(template, ignore_errors=True)
        env = wine_env(display, template, "C.UTF-8")
        subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300, **QUIET)
        # A crashing program must end, not wait behind a crash dialog; and
        # unmanaged windows draw their own captions on a bare display.
        for key, value, kind, data in ((r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0"),
                                       (r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N")):
            run_wine(["reg", "add", key, "/v", value, "/t", kind, "/d", data, "/f"], env)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        (template / ".complete").touch()
    return template

def clone_prefix(template, prefix):
    """Hard links, but real copies of the registry files that the server
    rewrites, so that the template never changes."""
    shutil.rmtree(prefix, ignore_errors=True)
    prefix.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["cp", "-al", str(template), str(prefix)], check=True)
    for name in ("system.reg", "user.reg", "userdef.reg"):
        (prefix / name).unlink()
        shutil.copy2(template / name, prefix / name)

def parse_dump(output):
    """The driver's dump as (window, controls), each a dictionary of fields."""
    records = []
    for line in output.splitlines():
        kind, *fields = line.split("\t")
        record = dict(field.partition("=")[::2] for field in fields)
        record["text"] = re.sub(r"\\(.)", lambda m: {"t": "\t", "r": "\r", "n": "\n"}.get(m[1], m[1]),
                                record.get("text", ""))
        records.append(record)
    return records[0], records[1:]

class Session:
    """A Wine prefix whose server and window driver keep running between
    the scenarios, so that each pays only for starting the installer."""

    def __init__(self, ctx, name, lang):
        self.ctx, self.lang = ctx, lang
        self.prefix = ctx.work / "prefixes" / name
        clone_prefix(ctx.template, self.prefix)
        self.env = wine_env(ctx.display, self.prefix, lang)
        self.installer = self.driver = None
        subprocess.run(["wineserver", "-p30"], env=self.env, check=True, timeout=30)
        if lang.startswith("ja"):
            self.reg_import(JAPANESE_FONTS.read_text())

    def wine(self, *args, env=None):
        return run_wine(args, env or self.env)

    def drive(self, *args):
        """One windriver command; its output. When the driver has ended (the
        loader may give up on it at its start), it is started again."""
        for _ in range(LOADER_RETRIES + 1):
            if not self.driver or self.driver.poll() is not None:
                self.driver = subprocess.Popen(["wine", str(self.ctx.driver)], env=self.env,
                                               stdin=subprocess.PIPE, stdout=subprocess.PIPE)
            try:
                self.driver.stdin.write(("\t".join(args) + "\n").encode())
                self.driver.stdin.flush()
            except BrokenPipeError:
                pass
            said = []
            for line in iter(self.driver.stdout.readline, b""):
                if line.startswith(b"\x04"):
                    text = b"".join(said).decode()
                    expect(line[1:].strip() == b"0", f"windriver {' '.join(args)}: {text.strip()}")
                    return text
                said.append(line)
            print(f"note: windriver ended with {self.driver.wait()}; starting it again", flush=True)
        raise Failure("windriver keeps ending")

    def text(self, caption, ident, verb="text"):
        return self.drive(verb, caption, str(ident))[:-1]

    def dump(self, caption):
        return parse_dump(self.drive("dump", caption))

    def reg_import(self, text):
        path = self.prefix / "drive_c" / "import.reg"
        path.write_bytes(("\ufeff" + text).encode("utf-16-le"))
        self.wine("reg", "import", r"C:\import.reg")

    def host_path(self, windows_path):
        """C:\\... in the prefix, each component matched without regard to
        case as Wine does; missing components keep their case."""
        expect(windows_path[:2].upper() == "C:", f"not on drive C: {windows_path}")
        path = self.prefix / "drive_c"
        for part in [p for p in windows_path[2:].split("\\") if p]:
            same = [c for c in path.iterdir() if c.name.lower() == part.lower()] if path.is_dir() else []
            path = same[0] if same else path / part
        return path

    def start(self, *command, env=None):
        return subprocess.Popen(["wine", *command], env=env or self.env, **QUIET)

    def end_programs(self):
        """After a failed scenario: whatever it left open goes."""
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30)
        subprocess.run(["wineserver", "-p30"], env=self.env, timeout=30)

    def close(self, keep):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30)
        if not keep:
            shutil.rmtree(self.prefix, ignore_errors=True)
