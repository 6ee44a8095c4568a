"""Runs copies of metadrop.exe under the tests' Wine session and looks at them
from outside: through observer.exe, the XDND drag source and the X display.

Every wait here is bounded and generous; how long a thing took is only ever
checked against loose did-not-hang bounds.
"""

import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
# Wine 8 or 10, as METADROP_WINE says.
WINE = os.path.join(HERE, "..", "wine", "wine")
WINE_VERSION = os.environ.get("METADROP_WINE", "8")
CAPTION = "Drag and drop file(s) or folder(s) to see any supported meta data"


def env_path(name):
    value = os.environ.get(name)
    if not value:
        sys.exit(f"{name} is not set: run through ctest")
    return value


PREFIX = env_path("METADROP_WINE_PREFIX")
WIN_DIR = env_path("METADROP_WIN_DIR")
TOOL_DIR = env_path("METADROP_TOOL_DIR")
TEST_ROOT = env_path("METADROP_TEST_ROOT")
OBSERVER = os.path.join(WIN_DIR, "tests", "windows", "observer", "observer.exe")
STAND_IN = os.path.join(WIN_DIR, "tests", "windows", "stand_in", "fake_exiftool.exe")


def session_env():
    """What tests/wine/session-env sets up, for processes started from here."""
    env = dict(os.environ)
    env.update(
        WINEPREFIX=PREFIX,
        WINEDEBUG="-all",
        WINEDLLOVERRIDES="mscoree,mshtml=",
        LANG="C.UTF-8",
    )
    env.pop("LC_ALL", None)
    display = os.path.join(PREFIX, ".session", "display")
    if os.path.exists(display):
        with open(display) as f:
            env["DISPLAY"] = f.read().strip()
    return env


ENV = session_env()


def windows_path(path):
    """Wine maps the Unix root to drive Z:."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run_quiet(args, timeout, errors=None):
    """Runs a program with its output in files, never in a pipe: Wine's
    services inherit the handles and would keep a pipe open.
    Returns (exit code, stdout text); stderr's text goes into `errors`, a
    list, when one is given."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=out, stderr=err, env=ENV)
        try:
            rc = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            raise
        out.seek(0)
        if errors is not None:
            err.seek(0)
            errors.append(err.read().decode("utf-8", "replace"))
        return rc, out.read().decode("utf-8", "replace")


class ObserverFailed(Exception):
    """The observer could not look: nothing can be said of the program."""


# The observer's commands that only read; any other is run once, as a
# second run could press a button that the case counts.
READ_ONLY = {"window", "text", "boxes", "gone", "process", "lines", "answers", "find", "file_dialog"}


def observe(*args, timeout=60):
    """Runs observer.exe; returns (exit code, its JSON lines).

    The observer answers with exit code 0, 1 (always with its timeout line)
    or 2. A run that ended otherwise, or with 1 and nothing said, did not
    run its command through (Wine could not start it, or it died), and one
    that says "error" could not finish it (a file it could not write):
    neither says anything about the program under test. A command that only
    reads is tried again; when the observer still could not look, or could
    not run a command with effects, ObserverFailed fails the case, so that
    no check of "nothing there" passes on a look that did not happen."""
    command = [WINE, OBSERVER] + [str(a) for a in args]
    tries = 3 if args[0] in READ_ONLY else 1
    for attempt in range(tries):
        errors = []
        rc, text = run_quiet(command, timeout, errors)
        lines = [json.loads(l) for l in text.splitlines() if l.startswith("{")]
        unanswered = rc not in (0, 1, 2) or (rc == 1 and not lines)
        failed = unanswered or any("error" in l for l in lines)
        if not failed:
            return rc, lines
        print(f"note: observer {args[0]} exited {rc:#x} (try {attempt + 1}):"
              f" {lines} {errors[0][-600:]!r}")
        sys.stdout.flush()
        time.sleep(0.5)
    raise ObserverFailed(f"observer {' '.join(str(a) for a in args)}: {rc:#x} {lines}")


class Background:
    """An observer run beside the case, for a look that must begin before an
    action: start() returns once it says that it looks; finish() waits for
    its end and gives its JSON lines."""

    def __init__(self, *args, timeout=60):
        self.args = [str(a) for a in args]
        self.timeout = timeout
        self.out = tempfile.TemporaryFile()
        self.proc = subprocess.Popen([WINE, OBSERVER] + self.args, stdin=subprocess.DEVNULL,
                                     stdout=self.out, stderr=subprocess.DEVNULL, env=ENV)

    def lines(self):
        self.out.seek(0)
        return [json.loads(l) for l in self.out.read().decode().splitlines() if l.startswith("{")]

    def start(self):
        deadline = time.monotonic() + 30
        while self.proc.poll() is None and time.monotonic() < deadline:
            if self.lines():
                return self
            time.sleep(0.02)
        if not self.lines():
            raise ObserverFailed(f"observer {' '.join(self.args)} did not start to look")
        return self

    def finish(self):
        try:
            self.proc.wait(timeout=self.timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        lines = self.lines()
        self.out.close()
        return lines


class Stopped(Exception):
    """A case cannot go on; the failed check before it says why."""


class Checks:
    """Collects failed checks, so that every case of a group runs and reports."""

    def __init__(self, group):
        self.group = group
        self.failures = []

    def check(self, condition, what, detail=""):
        status = "ok  " if condition else "FAIL"
        print(f"{status} {what}" + (f": {detail}" if detail and not condition else ""))
        sys.stdout.flush()
        if not condition:
            self.failures.append(what)
        return condition

    def require(self, condition, what, detail=""):
        """A check the rest of the case stands on."""
        if not self.check(condition, what, detail):
            raise Stopped(what)
        return condition

    def program(self, name, tool="real", log=False, timeout=60, args=()):
        """A copy of the program started, with `args` on its command line,
        and its window seen; use it in a with statement, which ends the copy
        however the case ends."""
        p = Program(name, tool, log).start(args)
        try:
            self.require(p.window(timeout) is not None, f"{name}: the main window appears")
        except BaseException:
            p.stop()
            raise
        return p

    def run(self, case):
        """Runs a group's case; one that had to stop, or whose observer
        could not look, has failed."""
        try:
            case(self)
        except Stopped:
            pass
        except ObserverFailed as failure:
            self.check(False, "the observer could look", str(failure))

    def finish(self):
        if self.failures:
            print(f"{self.group}: {len(self.failures)} check(s) failed")
            return 1
        print(f"{self.group}: all checks passed")
        return 0


class Program:
    """One copy of metadrop.exe (or of another build's `exe`) in its own
    folder, with the real tool, the stand-in or no tool at all beside it."""

    def __init__(self, name, tool="real", log=False, exe=None):
        self.folder = os.path.join(TEST_ROOT, name)
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        self.exe = os.path.join(self.folder, "metadrop.exe")
        shutil.copy(exe or os.path.join(WIN_DIR, "metadrop.exe"), self.exe)
        if tool == "real":
            shutil.copy(os.path.join(TOOL_DIR, "exiftool.exe"), self.folder)
            # The tool's 35 MB of files, shared rather than copied.
            os.symlink(
                os.path.join(TOOL_DIR, "exiftool_files"),
                os.path.join(self.folder, "exiftool_files"),
            )
        elif tool == "stand-in":
            shutil.copy(STAND_IN, os.path.join(self.folder, "exiftool.exe"))
        self.files = os.path.join(self.folder, "files")
        os.makedirs(self.files)
        # The stand-in logs what it was started as and every byte it read.
        self.log = os.path.join(self.folder, "log") if log else None
        if self.log:
            os.makedirs(self.log)
        self.proc = None
        self.exited_at = None
        self.facts = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self, args=()):
        self.out = open(os.path.join(self.folder, "wine.out"), "wb")
        self.err = open(os.path.join(self.folder, "wine.err"), "wb")
        env = dict(ENV, FAKE_EXIFTOOL_LOG=windows_path(self.log)) if self.log else ENV
        self.proc = subprocess.Popen(
            [WINE, self.exe] + list(args),
            cwd=self.folder,
            stdin=subprocess.DEVNULL,
            stdout=self.out,
            stderr=self.err,
            env=env,
        )
        threading.Thread(target=self._watch, daemon=True).start()
        return self

    def _watch(self):
        self.proc.wait()
        self.exited_at = time.time()

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_exit(self, timeout=30):
        """The exit code, or None if the process did not end in time."""
        try:
            rc = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        # The watcher stamps the time; give it its moment.
        for _ in range(100):
            if self.exited_at is not None:
                break
            time.sleep(0.01)
        return rc

    def window(self, timeout=30):
        """The main window's and the box's facts, or None if there is none."""
        rc, lines = observe("window", timeout)
        if rc != 0:
            return None
        self.facts = {"window": lines[0], "box": lines[1] if len(lines) > 1 else None}
        return self.facts

    def drop(self, x, y, paths, timeout=20):
        """Drops the paths at a screen point; returns the drag source's exit
        code (0 taken, 3 refused) and its account."""
        rc, text = run_quiet(
            ["/usr/bin/python3", os.path.join(HERE, "xdnd_drop.py"),
             "--timeout", str(timeout), str(x), str(y)] + list(paths),
            timeout + 10,
        )
        info = json.loads(text.strip().splitlines()[-1]) if text.strip() else {}
        return rc, info

    def box_centre(self):
        left, top, right, bottom = self.facts["box"]["client"]
        return (left + right) // 2, (top + bottom) // 2

    def drop_on_box(self, paths, timeout=20):
        """Drops the paths on the box's centre; as drop()."""
        return self.drop(*self.box_centre(), paths, timeout)

    def release(self):
        """Lets the stand-in write what a "fake-hold" holds back."""
        with open(os.path.join(self.log, "release"), "wb"):
            pass

    def text(self, timeout=0, needle=None):
        """The box's text; with a timeout, once it holds the needle (or once
        it is not empty). None if the wait ran out."""
        out = os.path.join(self.folder, "box-text.txt")
        if os.path.exists(out):
            os.remove(out)
        args = ["text", windows_path(out), timeout]
        if needle is not None:
            args.append(needle)
        rc, _ = observe(*args, timeout=timeout + 30)
        if rc != 0 or not os.path.exists(out):
            return None
        # Bytes, so that the box's CR LF line ends stay as they are.
        with open(out, "rb") as f:
            return f.read().decode("utf-8")

    def selection(self, wanted=None, timeout=10):
        """The box's selection as [start, end]; with `wanted`, once it is
        that (the keys that make it may still wait in the window's queue)."""
        deadline = time.monotonic() + timeout
        while True:
            rc, lines = observe("lines")
            got = lines[0]["selection"] if rc == 0 and lines else None
            if wanted is None or got == wanted or time.monotonic() > deadline:
                return got
            time.sleep(0.1)

    def quiet_text(self, settle=1.5):
        """The box's text after a pause in which a late change would show."""
        time.sleep(settle)
        return self.text()

    def message_boxes(self, timeout=0, count=0):
        """The message boxes up now, or once `count` are, within `timeout`."""
        rc, lines = observe("boxes", timeout, count, timeout=timeout + 30)
        return [l for l in lines if "message_box" in l]

    def press_ok(self, timeout=10):
        """Presses OK on a message box once one is up; the box, or None."""
        rc, lines = observe("ok", timeout, timeout=timeout + 30)
        return lines[0] if rc == 0 and lines and "message_box" in lines[0] else None

    def file_dialog(self, timeout=10):
        """The facts of the Open or Save As dialog the window owns, or None."""
        rc, lines = observe("file_dialog", timeout, timeout=timeout + 30)
        return lines[0] if rc == 0 and lines else None

    def post(self, what):
        rc, _ = observe("post", what)
        return rc == 0

    def wait_gone(self, timeout=20):
        """The Unix time at which the window was seen gone, or None."""
        rc, lines = observe("gone", timeout, timeout=timeout + 30)
        return lines[0]["gone_at"] if rc == 0 else None

    def keys(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "50"] + list(keys), env=ENV, check=True,
                       stdout=subprocess.DEVNULL, timeout=20)

    def type(self, text, enter=False):
        subprocess.run(["xdotool", "type", "--delay", "50", text], env=ENV, check=True,
                       stdout=subprocess.DEVNULL, timeout=20)
        if enter:
            self.keys("Return")

    def screenshot(self, path, rect=None):
        """A part of the screen as a PNG: the window's, or the rectangle's."""
        left, top, right, bottom = rect or self.facts["window"]["rect"]
        crop = f"{right - left}x{bottom - top}+{left}+{top}"
        subprocess.run(["import", "-display", ENV["DISPLAY"], "-window", "root", "-crop", crop,
                        "+repage", path], env=ENV, check=True, timeout=60)
        return path

    def colours(self, rect):
        """How many colours the screen shows in the rectangle."""
        shot = self.screenshot(os.path.join(self.folder, "colours.png"), rect)
        out = subprocess.run(["identify", "-format", "%k", shot], env=ENV, check=True,
                             capture_output=True, text=True, timeout=60).stdout
        return int(out.strip())

    def point_at(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], env=ENV, check=True,
                       stdout=subprocess.DEVNULL, timeout=20)
        time.sleep(0.3)

    def tools(self):
        """Linux pids of the tools run from this copy's folder."""
        wanted = [windows_path(self.folder).lower(), self.folder.lower()]
        return linux_pids(lambda cmd: "exiftool.exe" in cmd and any(w in cmd for w in wanted))

    def logged(self, name):
        """The stand-in's log: "args.txt" (one exe= line per start) or
        "input.bin" (every byte it read)."""
        try:
            with open(os.path.join(self.log, name), "rb") as f:
                return f.read().decode("utf-8", "replace")
        except FileNotFoundError:
            return ""

    def answers(self, seconds, length=-1):
        """Asks the window whether it takes messages, from now on, for
        `seconds` or until the box holds `length` characters; start() it,
        act, and finish() it for the observer's account (its last line)."""
        return Background("answers", seconds, length, timeout=seconds + 60)

    def main_thread_switches(self):
        """How often the program's main thread has slept and woken so far
        (its voluntary context switches), or None."""
        wanted = [windows_path(self.exe).lower(), self.exe.lower()]
        for pid in linux_pids(lambda cmd: any(w in cmd for w in wanted)):
            try:
                # Wine runs the program's main thread on the process's first one.
                with open(f"/proc/{pid}/task/{pid}/status") as fh:
                    for line in fh:
                        if line.startswith("voluntary_ctxt_switches:"):
                            return int(line.split()[1])
            except OSError:
                continue
        return None

    def dismiss_boxes(self, timeout=30):
        """Presses OK on every message box until the process ends; returns
        the boxes seen, in order."""
        seen = []
        deadline = time.monotonic() + timeout
        while self.running() and time.monotonic() < deadline:
            pressed = self.press_ok(timeout=2)
            if pressed is not None:
                seen.append(pressed)
        return seen

    def close(self, checks, how, label):
        """Closes the window by `how` (a callable), then checks the end: the
        window goes, the stand-in (when it logs) was sent the stop lines,
        and the process ends with code 0. Returns the Unix times at which
        the window went and the process ended."""
        # Watching before the close, so the time it sees is the close's.
        watcher = Background("gone", 30, timeout=40).start()
        watching = watcher.lines()[0].get("watching", False)
        how()
        gone = [l["gone_at"] for l in watcher.finish() if "gone_at" in l]
        checks.check(watching and gone, f"{label}: the window, seen before, goes")
        rc = self.wait_exit(30)
        checks.check(rc == 0, f"{label}: exit code 0", f"exit code {rc}")
        if self.log:
            checks.check(self.logged("input.bin").endswith("-stay_open\r\nFalse\r\n"),
                         f"{label}: the tool was asked to stop",
                         repr(self.logged("input.bin")[-80:]))
        return (gone[0] if gone else None), self.exited_at

    def stop(self):
        """Ends a copy that a failed case left running."""
        if self.running():
            self.proc.kill()
            self.proc.wait()
        for f in (getattr(self, "out", None), getattr(self, "err", None)):
            if f is not None:
                f.close()


def linux_pids(wanted):
    """Pids of the processes whose command line, lower-cased, `wanted` takes."""
    pids = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as fh:
                cmd = fh.read().replace(b"\0", b" ").decode("utf-8", "replace").lower()
        except OSError:
            continue
        if wanted(cmd):
            pids.append(int(pid))
    return pids


def cursor():
    """The pointer's cursor as X shows it: size, hot spot and a digest of
    its pixels."""
    from Xlib import display
    disp = display.Display(ENV["DISPLAY"])
    try:
        disp.xfixes_query_version()
        image = disp.xfixes_get_cursor_image(disp.screen().root)
        pixels = hash(tuple(image.cursor_image))
        return (image.width, image.height, image.xhot, image.yhot, pixels)
    finally:
        disp.close()


def use_screen(size):
    """The tests' session again on a virtual screen of that size ("WxH")."""
    run_quiet([os.path.join(HERE, "..", "wine", "session"), "screen", size], 120)
    ENV.update(session_env())


def write_png(path, comment="", width=1, height=1, texts=(), chunks=()):
    """A valid PNG with a tEXt comment, further (keyword, value) tEXt chunks
    and any (type, data) chunks, written directly: fast, and any file name
    the file system takes."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + b"\x80\x40\x20" * width for _ in range(height))
    texts = ([("Comment", comment)] if comment else []) + list(texts)
    data = (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + b"".join(chunk(b"tEXt", k.encode("latin-1") + b"\0" + v.encode("latin-1"))
                       for k, v in texts)
            + b"".join(chunk(kind, body) for kind, body in chunks)
            + chunk(b"IDAT", zlib.compress(rows))
            + chunk(b"IEND", b""))
    with open(path, "wb") as f:
        f.write(data)
    return path


def touch(path):
    open(path, "wb").close()
    return path


def tool_name(path):
    """The path as the tool writes it in its "======== " header."""
    return windows_path(path).replace("\\", "/")


def headers(report):
    """The files a report of several names, in order."""
    return [l[len("======== "):] for l in report.split("\r\n") if l.startswith("======== ")]


def value_of(report, tag):
    """The value of a report's first line of the tag, or None."""
    for line in report.split("\r\n"):
        if " : " in line:
            name, value = line.split(" : ", 1)
            if name.strip() == tag:
                return value
    return None


def fake_report(path):
    """What the stand-in reports for an ordinary name."""
    return f"======== {windows_path(path)}\r\nFake Name : {os.path.basename(path)}\r\n"


CANCELLED = "The drop was cancelled: exiftool was stopped, and the next drop starts it again.\r\n"
STOP_LINES = "-stay_open\r\nFalse\r\n"


def tool_report(*paths):
    """The real tool's own report on the files, asked the way the program
    asks (UTF-8 file names), read as the box would show it."""
    out = os.path.join(TEST_ROOT, "tool-report.txt")
    with open(out, "wb") as f:
        subprocess.run([WINE, os.path.join(TOOL_DIR, "exiftool.exe"), "-charset", "filename=utf8"]
                       + [windows_path(p) for p in paths], stdin=subprocess.DEVNULL,
                       stdout=f, stderr=subprocess.DEVNULL, env=ENV, timeout=120)
    with open(out, "rb") as f:
        return f.read().decode("utf-8")
