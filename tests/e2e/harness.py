"""Wine sessions for the end-to-end runs: a virtual display, one Wine prefix
per scenario cloned from a template, the registry, the installer process and
the window driver (windriver.exe) that operates its windows."""
import fcntl
import os
import shutil
import struct
import subprocess
import tempfile
import time
from pathlib import Path

SCRIPTS = Path(__file__).resolve().parents[2] / "scripts"
# Caption and menu fonts with Japanese glyphs, as a Japanese system has.
JAPANESE_FONTS = Path(__file__).resolve().parents[1] / "wine" / "japanese-fonts.reg"
SKIP_CODE = 77           # CTest's skip code for the Wine tests
WINE_TIMEOUT = 60        # seconds for one wine command (reg, driver)
INSTALLER_TIMEOUT = 60   # seconds for the installer to exit once dismissed


class Failure(Exception):
    """A scenario's expectation that did not hold."""


def expect(condition, message):
    if not condition:
        raise Failure(message)


def expect_eq(actual, wanted, what):
    if actual != wanted:
        raise Failure(f"{what}: got {actual!r}, wanted {wanted!r}")


def pe_machine(exe):
    """The machine field of a PE file's header: 0x14C i386, 0x8664 x64."""
    with open(exe, "rb") as f:
        head = f.read(4096)
    (offset,) = struct.unpack_from("<I", head, 0x3C)
    return struct.unpack_from("<H", head, offset + 4)[0]


def choose_wine(exe):
    """Sets up this process's environment for the Wine that runs exe. Returns
    None, or the reason why a 32-bit exe cannot run on this machine."""
    if pe_machine(exe) == 0x8664:
        os.environ["PATH"] = f"{SCRIPTS / 'wine64'}:{os.environ['PATH']}"
        os.environ["WINEARCH"] = "win64"
        return None
    probe = subprocess.run(["bash", str(SCRIPTS / "probe32.sh")], capture_output=True,
                           text=True, timeout=600)
    return None if probe.returncode == 0 else probe.stdout.strip().removeprefix("no: ")


class Display:
    """An Xvfb server on a free display number, or the caller's DISPLAY."""

    def __init__(self, use_existing):
        self.process = None
        if use_existing and os.environ.get("DISPLAY"):
            self.name = os.environ["DISPLAY"]
            return
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"], pass_fds=(write_end,),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number

    def close(self):
        if self.process:
            self.process.terminate()
            self.process.wait(10)


def base_env(display, prefix, lang):
    env = dict(os.environ)
    env.update(WINEPREFIX=str(prefix), WINEDEBUG="-all", DISPLAY=display,
               WINEDLLOVERRIDES="mscoree,mshtml=", LANG=lang, LC_ALL=lang)
    return env


def make_template(work, display):
    """Creates the template prefix once; later callers wait for it."""
    template = work / "template"
    work.mkdir(parents=True, exist_ok=True)
    with open(work / "template.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if (template / "system.reg").exists() and (template / ".complete").exists():
            return template
        shutil.rmtree(template, ignore_errors=True)
        env = base_env(display, template, "C.UTF-8")
        subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # A crashing program must end, not wait behind a crash dialog.
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v",
                        "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f"],
                       env=env, check=True, timeout=WINE_TIMEOUT,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Unmanaged windows draw their own caption bars, which a display
        # without a window manager would otherwise leave black in pictures.
        subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v",
                        "Managed", "/d", "N", "/f"], env=env, check=True, timeout=WINE_TIMEOUT,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=env, timeout=120)
        (template / ".complete").touch()
    return template


def clone_prefix(template, prefix):
    """Hard links the template's files; the registry files, which the Wine
    server rewrites, are real copies so the template never changes."""
    shutil.rmtree(prefix, ignore_errors=True)
    prefix.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["cp", "-al", str(template), str(prefix)], check=True)
    for name in ("system.reg", "user.reg", "userdef.reg"):
        if (prefix / name).exists():
            (prefix / name).unlink()
            shutil.copy2(template / name, prefix / name)


def unescape(text):
    """Undoes the driver's C-style escapes (\\\\ \\t \\n \\r \\xHH)."""
    simple = {"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            if text[i + 1] == "x":
                out.append(chr(int(text[i + 2:i + 4], 16)))
                i += 4
                continue
            out.append(simple.get(text[i + 1], text[i + 1]))
            i += 2
            continue
        out.append(text[i])
        i += 1
    return "".join(out)


def parse_fields(line):
    kind, *fields = line.split("\t")
    record = {"kind": kind}
    for field in fields:
        key, _, value = field.partition("=")
        record[key] = unescape(value) if key == "text" else value
    return record


class Session:
    """One scenario's Wine prefix, with its registry, processes and windows."""

    def __init__(self, ctx, name, lang="C.UTF-8"):
        self.ctx = ctx
        self.name = name
        self.prefix = ctx.work / "prefixes" / name
        clone_prefix(ctx.template, self.prefix)
        self.env = base_env(ctx.display, self.prefix, lang)
        self.installer = None
        # A lingering server keeps one session's commands from paying for a
        # restart each; close() ends it, and a run killed midway leaves it
        # to end by itself half a minute after its last program.
        subprocess.run(["wineserver", "-p30"], env=self.env, check=True, timeout=30)
        if lang.startswith("ja"):
            self.reg_import(JAPANESE_FONTS.read_text())

    def wine(self, *args, check=True, timeout=WINE_TIMEOUT, loader_retries=0):
        # Files, not pipes: the Wine services that the first command starts
        # inherit its output and would hold a pipe open past its end.
        for attempt in range(loader_retries + 1):
            with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
                code = subprocess.run(["wine", *args], env=self.env, timeout=timeout,
                                      stdout=out, stderr=err).returncode
                out.seek(0)
                err.seek(0)
                result = subprocess.CompletedProcess(args, code, out.read(), err.read())
            # On a busy machine the Wine loader now and then gives up with
            # exit 1 before the program runs; callers whose program never
            # exits 1 (or may simply run again) ask for another try.
            if code != 1 or attempt == loader_retries:
                break
            print(f"note: wine {args[0]} exited 1 ({result.stderr.decode(errors='replace').strip()[:300]}); "
                  "trying again", flush=True)
        if check and result.returncode != 0:
            said = (result.stdout + result.stderr).decode(errors="replace").strip()
            raise Failure(f"wine {' '.join(args)} exited {result.returncode}: {said}")
        return result

    # Registry -------------------------------------------------------------
    def reg_add(self, key, value, kind, data):
        name = ["/ve"] if value is None else ["/v", value]
        self.wine("reg", "add", key, *name, "/t", kind, "/d", data, "/f", loader_retries=2)

    def reg_delete(self, key, value=None):
        name = [] if value is None else ["/v", value]
        self.wine("reg", "delete", key, *name, "/f", check=False)

    def reg_import(self, text):
        """Imports a .reg file, for data that reg add cannot write (a string
        without its terminating zero)."""
        path = self.prefix / "drive_c" / "import.reg"
        path.write_bytes(("\ufeff" + text).encode("utf-16-le"))
        self.wine("reg", "import", r"C:\import.reg", loader_retries=2)

    # Files ----------------------------------------------------------------
    def host_path(self, windows_path):
        """Maps C:\\... to the prefix, matching each component without regard
        to case as Wine does; components that do not exist keep their case."""
        drive, _, rest = windows_path.partition(":")
        expect(drive.upper() == "C", f"not on drive C: {windows_path}")
        path = self.prefix / "drive_c"
        for part in [p for p in rest.split("\\") if p]:
            match = None
            if path.is_dir():
                match = next((c for c in path.iterdir() if c.name.lower() == part.lower()), None)
            path = match if match else path / part
        return path

    # Installer and driver -------------------------------------------------
    def start(self, exe):
        self.installer = subprocess.Popen(["wine", str(exe)], env=self.env,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def exit_code(self):
        try:
            return self.installer.wait(INSTALLER_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure("the installer did not exit")

    def drive(self, *args, check=True):
        result = self.wine(str(self.ctx.driver), *args, check=False, loader_retries=2)
        if check and result.returncode != 0:
            raise Failure(f"windriver {' '.join(args)}: exit {result.returncode}, "
                          f"{result.stderr.decode('utf-8', 'replace').strip()}")
        return result.stdout.decode("utf-8").replace("\r\n", "\n")

    def dump(self, selector):
        lines = [l for l in self.drive("dump", selector).split("\n") if l]
        records = [parse_fields(l) for l in lines]
        window = records[0]
        controls = [r for r in records[1:] if r["kind"] == "control"]
        return window, controls

    def message_box(self, selector):
        info = {"buttons": []}
        for line in self.drive("msgbox", selector).split("\n"):
            key, _, value = line.partition("=")
            if key == "button":
                info["buttons"].append(unescape(value))
            elif key:
                info[key] = unescape(value)
        return info

    def screenshot(self, selector, name):
        """Saves a PNG of the window under the build folder's screenshots."""
        folder = self.ctx.work / "screenshots"
        folder.mkdir(parents=True, exist_ok=True)
        bmp = self.prefix / "drive_c" / "capture.bmp"
        self.drive("capture", selector, r"C:\capture.bmp")
        png = folder / f"{name}.png"
        subprocess.run(["convert", str(bmp), str(png)], check=True, timeout=60)
        bmp.unlink()
        return png

    def close(self):
        if self.installer and self.installer.poll() is None:
            self.installer.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not self.ctx.keep:
            shutil.rmtree(self.prefix, ignore_errors=True)


def wait_for_file(path, seconds):
    """Polls until the file exists and is not empty; bounded by seconds."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if path.exists() and path.stat().st_size > 0:
            time.sleep(0.2)  # let the writer finish its line
            return True
        time.sleep(0.1)
    return False
