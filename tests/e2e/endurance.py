#!/usr/bin/python3
"""End-to-end endurance and fault cases: many drops, big drops, hard paths,
a failing tool, a higher DPI and dark mode, through the real window.
usage: endurance.py GROUP [COUNT]"""

import contextlib
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import (Checks, fake_report, headers, tool_name, touch, value_of,  # noqa: E402
                     windows_path, write_png)


def close_quietly(c, p):
    """No box came up during the run, and the program closes with exit code 0."""
    c.check(p.message_boxes() == [], "no message box came up")
    p.post("sc_close")
    c.check(p.wait_exit(30) == 0, "the program ends with exit code 0")


def process_facts():
    rc, lines = harness.observe("process")
    return lines[0] if rc == 0 and lines else None


def soak(c, count):
    """Many drops in a row: each report is its own file's, and handles and
    memory do not grow with the drops."""
    with c.program("soak") as p:
        x, y = p.box_centre()
        names = [write_png(os.path.join(p.files, f"soak-{i:05d}.png"), comment=f"n{i}",
                           width=1 + i % 7, height=1 + i % 5) for i in range(count)]
        wrong = []
        # Looked at halfway, past what the system makes lazily in the first
        # drops, and at the end: a leak grows with the drops between.
        halfway = None
        half = count // 2
        begun = time.monotonic()
        for i, name in enumerate(names):
            base = os.path.basename(name)
            rc, info = p.drop(x, y, [name])
            waited = time.monotonic()
            text = p.text(60, base)
            if (rc != 0 or text is None or headers(text) != []
                    or value_of(text, "File Name") != base
                    or value_of(text, "Directory") != tool_name(p.files)
                    or value_of(text, "Comment") != f"n{i}"):
                # What the box holds now, and how long the wait took, tell
                # a lost report from a slow one.
                wrong.append((i, rc, (text or "")[:200], f"{time.monotonic() - waited:.1f} s",
                              (p.text() or "")[-200:]))
                if len(wrong) > 3:
                    break
            if i == half - 1:
                time.sleep(0.5)
                halfway = process_facts()
        c.check(not wrong, f"each of {count} drops shows its own file's report", str(wrong))
        print(f"     {count} drops in {time.monotonic() - begun:.1f} s")
        time.sleep(0.5)
        at_end = process_facts()
        print(f"     after {half}: {halfway}\n     after {count}: {at_end}")
        if c.check(halfway is not None and at_end is not None, "the process can be read from outside"):
            # Read from the system's handle table, which Wine fills.
            c.check(halfway["table_handles"] > 0
                    and at_end["table_handles"] <= halfway["table_handles"] + 5,
                    "no handles leak over the drops",
                    f"{halfway['table_handles']} -> {at_end['table_handles']}")
            c.check(at_end["working_set"] <= halfway["working_set"] + 8 * 2**20,
                    "the working set stays put",
                    f"{halfway['working_set']} -> {at_end['working_set']}")
        close_quietly(c, p)


def many_files(c, count=1000):
    """One drop of many files: one report, each file once, in drop order."""
    with c.program("many-files") as p:
        x, y = p.box_centre()
        # Dropped in an order that is not the names' sorted one.
        names = [write_png(os.path.join(p.files, f"m{(i * 7919) % count:04d}.png"))
                 for i in range(count)]
        rc, info = p.drop(x, y, names, timeout=60)
        c.check(rc == 0, f"a drop of {count} files is taken", info)
        text = p.text(180, f"{count} image files read")
        if c.check(text is not None, "one report for the whole drop"):
            got = headers(text)
            want = [tool_name(n) for n in names]
            first_bad = next((i for i, (g, w) in enumerate(zip(got, want)) if g != w), None)
            c.check(got == want, f"each of the {count} files is reported once, in drop order",
                    f"{len(got)} headers, first difference at {first_bad}")
            c.check("{ready" not in text, "no ready marker in the box")
        close_quietly(c, p)


def hard_paths(c):
    """Awkward paths, one drop each: each gets a report of its own."""
    with c.program("hard-paths") as p:
        x, y = p.box_centre()
        f = p.files
        for d in (" leading space", "#hash dir", "dir drop"):
            os.makedirs(os.path.join(f, d))
        deep = os.path.join(f, "long", *(["d" * 60] * 4))
        os.makedirs(deep)
        cases = [
            ("spaces", write_png(os.path.join(f, "with some spaces.png")), "with some spaces.png"),
            ("leading-space folder", write_png(os.path.join(f, " leading space", "inlead.png")),
             "inlead.png"),
            ("'#' folder", write_png(os.path.join(f, "#hash dir", "inhash.png")), "inhash.png"),
            ("'-' file", write_png(os.path.join(f, "-dash-first.png")), "-dash-first.png"),
            ("Cyrillic", write_png(os.path.join(f, "Фото кириллица.png")), "Фото кириллица.png"),
            ("CJK", write_png(os.path.join(f, "写真テスト.png")), "写真テスト.png"),
            ("path over 260", write_png(os.path.join(deep, "deep-file.png")), "deep-file.png"),
            ("folder", os.path.join(f, "dir drop"), "dir-inner-b.png"),
            ("vanished", os.path.join(f, "vanish-me.png"), "vanish-me.png"),
        ]
        write_png(os.path.join(f, "dir drop", "dir-inner-a.png"))
        write_png(os.path.join(f, "dir drop", "dir-inner-b.png"))
        write_png(cases[-1][1])
        print(f"     long path: {len(windows_path(cases[6][1]))} characters")
        previous = None
        for label, path, needle in cases:
            if label == "vanished":
                os.remove(path)
            begun = time.monotonic()
            rc, info = p.drop(x, y, [path])
            text = p.text(60, needle)
            took = time.monotonic() - begun
            ok = c.check(rc == 0 and text is not None, f"{label}: a report of its own comes",
                         f"rc {rc} {info} after {took:.1f} s, box {p.text()!r}"[:600])
            if ok:
                c.check(previous is None or previous not in text,
                        f"{label}: not the previous drop's report", text[:400])
                if label == "folder":
                    c.check(headers(text) == [tool_name(os.path.join(path, n))
                                              for n in ("dir-inner-a.png", "dir-inner-b.png")],
                            "folder: both its files are reported", text[:400])
                elif label == "vanished":
                    # The tool says so on standard error only.
                    c.check(text == f"Error: File not found - {tool_name(path)}\r\n",
                            "vanished: the box shows the tool's own error line", text[:400])
                else:
                    # One file's report has no "======== " header line.
                    directory = tool_name(os.path.dirname(path))
                    c.check(headers(text) == [] and value_of(text, "File Name") == needle
                            and value_of(text, "Directory") == directory,
                            f"{label}: the file's own report", text[:400])
            previous = needle
        after = write_png(os.path.join(f, "after-vanished.png"))
        rc, info = p.drop(x, y, [after])
        text = p.text(60, "after-vanished.png")
        c.check(rc == 0 and text is not None and value_of(text, "File Name") == "after-vanished.png"
                and "Error" not in text,
                "the next drop after the vanished file gets its report alone", repr(text)[:300])

        good = write_png(os.path.join(f, "good-one.png"))
        gone = write_png(os.path.join(f, "gone-one.png"))
        os.remove(gone)
        rc, info = p.drop(x, y, [good, gone])
        text = p.text(60, "not found")
        error = f"Error: File not found - {tool_name(gone)}\r\n"
        c.check(rc == 0 and text is not None and text.startswith("======== " + tool_name(good))
                and re.search(r" 1 files could not be read\r\n" + re.escape(error) + "$", text),
                "a good file and a vanished one: the good one's report, then the error line",
                repr(text)[-400:])
        close_quietly(c, p)


def stand_in_faults(c):
    """A noisy, odd or dying tool: the window answers each, and says so."""
    with c.program("faults", tool="stand-in", timeout=30) as p:
        x, y = p.box_centre()

        def plain(name):
            path = touch(os.path.join(p.files, name))
            return path, fake_report(path)

        # Wine 10 copies the text another process reads onto the program's
        # stack: with the default 2 MiB it ended the program past about a
        # million characters. Wine 8 copies it elsewhere.
        size = 2000000
        path, want = plain("after-stderr.txt")
        rc, info = p.drop(x, y, [touch(os.path.join(p.files, f"fake-stderr-{size}")), path])
        # Lines of 64 bytes: the needle is the last.
        text = p.text(120, f"Line {size // 64 - 1} ")
        c.check(rc == 0 and text is not None and text.startswith(want + "Line 0 : x")
                and len(text) == len(want) + size,
                f"{size // 1000} kB on stderr: the report comes, the tool's lines after it",
                repr(text)[:200])

        rc, info = p.drop(x, y, [touch(os.path.join(p.files, "fake-zero"))])
        c.check(p.text(30, "after") == "before\u2400after\r\n",
                "a NUL in the report: the box shows all of it, the NUL as a mark", repr(p.text()))

        # Only names made outside Windows hold line breaks; the request cannot.
        path, want = plain("beside-break.txt")
        broken = touch(os.path.join(p.files, "line\nbreak\r.txt"))
        p.drop(x, y, [path, broken])
        note = ("Not handed to exiftool, as a line break in a name would break its request: "
                + windows_path(broken).replace("\n", "<LF>").replace("\r", "<CR>") + "\r\n")
        c.check(p.text(30, "beside-break.txt") == want + note,
                "a name with line breaks: the box names it after the others' report", repr(p.text()))

        c.check(p.message_boxes() == [], "no message box came up so far")

        pids = p.tools()
        c.require(len(pids) >= 1, "the tool's process is found", str(pids))
        for pid in pids:
            os.kill(pid, 9)
        deadline = time.monotonic() + 20
        while p.tools() and time.monotonic() < deadline:
            time.sleep(0.1)
        time.sleep(1)
        path, want = plain("after-kill.txt")
        rc, info = p.drop(x, y, [path])
        c.check(rc == 0 and p.text(30, "after-kill.txt") == want,
                "killed tool: the next drop is answered by a new one", repr(p.text()))
        c.check(p.tools() != [] and not set(p.tools()) & set(pids), "killed tool: a new one runs")
        close_quietly(c, p)


def ready_alignment(c):
    """Metadata holding ready markers, moved across the tool's 8192-byte
    writes: each report is whole and its own."""
    with c.program("ready-align") as p:
        x, y = p.box_centre()
        inject = "{ready}{ready1}{ready123456789}"
        # Where the comment's value starts in the tool's output.
        probe = write_png(os.path.join(p.files, "probe-00.png"), comment="P")
        rc, info = p.drop(x, y, [probe])
        text = p.text(60, "probe-00.png")
        if not c.check(text is not None, "the probe's report comes"):
            return
        raw = text.encode("utf-8")
        start = raw.index(b"\r\nComment") + 2
        start = raw.index(b": P", start) + 2
        wrong = []
        files = []
        offsets = []
        for i, shift in enumerate(range(-16, 17)):
            # Names of the probe's length keep the output before the comment the same size.
            name = os.path.join(p.files, f"ready-{i:02d}.png")
            pad = 8192 - start + shift
            comment = "A" * pad + inject + "Z" * 40
            files.append((name, comment))
            write_png(name, comment=comment)
        for name, comment in files:
            base = os.path.basename(name)
            rc, info = p.drop(x, y, [name])
            text = p.text(60, base)
            # The name shows with the first piece; the report is whole once
            # its last line has come.
            deadline = time.monotonic() + 30
            while (text is not None and time.monotonic() < deadline
                   and not re.search(r"Megapixels +: [0-9.]+\r\n$", text)):
                time.sleep(0.1)
                text = p.text()
            if text is not None and inject in text:
                offsets.append(text.encode("utf-8").index(inject.encode()))
            others = [os.path.basename(n) for n, _ in files if n != name and os.path.basename(n) in (text or "")]
            if (rc != 0 or text is None or headers(text) != [] or value_of(text, "File Name") != base
                    or value_of(text, "Comment") != comment or others
                    or not re.search(r"\r\nImage Size +: 1x1\r\nMegapixels +: [0-9.]+\r\n$", text)):
                wrong.append((base, rc, others, (text or "")[-200:]))
        print(f"     markers at output bytes {offsets[0]}..{offsets[-1]}" if offsets else "")
        c.check(not wrong, f"{len(files)} reports with markers around byte 8192: each whole and its own",
                str(wrong[:3]))
        close_quietly(c, p)


DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
PERSONALIZE_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize"


def reg(*args):
    return harness.run_quiet([harness.WINE, "reg"] + list(args), 60)


def reg_dword(key, name):
    rc, out = reg("query", key, "/v", name)
    m = re.search(name + r"\s+REG_DWORD\s+0x([0-9a-fA-F]+)", out)
    return int(m.group(1), 16) if rc == 0 and m else None


def set_dword(key, name, value):
    """Sets the value; None deletes it."""
    if value is None:
        reg("delete", key, "/v", name, "/f")
    else:
        reg("add", key, "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f")


@contextlib.contextmanager
def prefix_value(c, key, name, value):
    """A value of the test prefix's registry set for the case and put back
    after it. Kept on disk too, so that a run killed before its end is undone
    by the next one."""
    saved = os.path.join(harness.TEST_ROOT, f"{name}-before.txt")
    if os.path.exists(saved):
        with open(saved) as fh:
            kept = fh.read().strip()
        set_dword(key, name, None if kept == "none" else int(kept))
        os.remove(saved)
    original = reg_dword(key, name)
    print(f"     {name} was {original}")
    with open(saved, "w") as fh:
        fh.write("none" if original is None else str(original))
    try:
        set_dword(key, name, value)
        yield
    finally:
        set_dword(key, name, original)
        if c.check(reg_dword(key, name) == original, f"{name} is restored"):
            os.remove(saved)


def dpi_measure(c, label):
    """The window's layout and the box's line height under the current DPI."""
    with c.program(f"dpi-{label}", tool="stand-in", timeout=30) as p:
        facts = p.facts
        name = touch(os.path.join(p.files, "two-lines.txt"))
        x, y = p.box_centre()
        rc, info = p.drop(x, y, [name])
        c.check(p.text(30, "Fake Name") is not None, f"{label}: the two-line report comes")
        rc, lines = harness.observe("lines")
        cl, ct, cr, cb = facts["window"]["client"]
        bl, bt, br, bb = facts["box"]["rect"]
        result = {"client": (cr - cl, cb - ct), "margins": (bl - cl, bt - ct, cr - br, cb - bb),
                  "line": lines[0] if rc == 0 and lines else None}
        print(f"     {label}: {result}")
        p.post("sc_close")
        c.check(p.wait_exit(30) == 0, f"{label}: the program ends with exit code 0")
        return result


def dpi(c):
    """At 120 DPI the window is still 800x600 dialog units with the box 5
    units in, and the box's font is taller than at 96."""
    with prefix_value(c, DESKTOP_KEY, "LogPixels", 96):
        low = dpi_measure(c, "96")
        set_dword(DESKTOP_KEY, "LogPixels", 120)
        c.check(reg_dword(DESKTOP_KEY, "LogPixels") == 120, "LogPixels is set to 120")
        high = dpi_measure(c, "120")
    if low is None or high is None or low["line"] is None or high["line"] is None:
        c.check(False, "both DPI runs measured")
        return
    c.check(low["client"] == (1400, 975) and low["margins"] == (9, 8, 9, 8),
            "96 DPI: 800x600 units at 7x13 base units, 5-unit margins", str(low))
    w, h = high["client"]
    if not c.check(high["client"] != low["client"], "Wine honours LogPixels: the window scales",
                   str(high)):
        return
    # Base units back from the client size; the margins must match them.
    bx, by = w * 4 / 800, h * 8 / 600
    c.check(w % 200 == 0 and h % 75 == 0 and bx > 7 and by > 13,
            "120 DPI: the client is 800x600 units of larger base units", f"{w}x{h}")
    mx, my = round(5 * bx / 4), round(5 * by / 8)
    c.check(high["margins"] == (mx, my, mx, my), "120 DPI: the box keeps its 5-unit margin",
            f"{high['margins']} for base units {bx}x{by}")
    low_h = low["line"]["line1"][1] - low["line"]["line0"][1]
    high_h = high["line"]["line1"][1] - high["line"]["line0"][1]
    print(f"     line height: {low_h} px at 96, {high_h} px at 120")
    # lfHeight -11 and -13 are 11 and 13 px of character height, plus leading.
    c.check(low_h >= 11 and high_h > low_h and high_h - low_h in (1, 2, 3),
            "the box's font is taller at 120 DPI, as -13 against -11", f"{low_h} -> {high_h}")


def tones(p, rect):
    """The darkest, the mean and the lightest grey (0 to 1) the screen shows
    in the rectangle."""
    shot = p.screenshot(os.path.join(p.folder, "tones.png"), rect)
    out = subprocess.run(["convert", shot, "-colorspace", "Gray", "-format",
                          "%[fx:minima] %[fx:mean] %[fx:maxima]", "info:"], env=harness.ENV,
                         check=True, capture_output=True, text=True, timeout=60).stdout
    return [round(float(v), 2) for v in out.split()]


def dark(c):
    """Apps set to dark: the box is dark and its text light; set back to
    light and told so, the system's colours again."""
    with prefix_value(c, PERSONALIZE_KEY, "AppsUseLightTheme", 0), \
            c.program("dark", tool="stand-in", timeout=30) as p:
        p.drop_on_box([touch(os.path.join(p.files, "dark.txt"))])
        c.require(p.text(30, "Fake Name") is not None, "the report comes")
        time.sleep(0.5)
        low, mean, high = tones(p, p.facts["box"]["client"])
        c.check(mean < 0.25 and high > 0.8, "dark: the box is dark, its text light",
                f"{low} {mean} {high}")
        set_dword(PERSONALIZE_KEY, "AppsUseLightTheme", 1)
        c.require(p.post("setting:ImmersiveColorSet"), "the change is told to the window")
        time.sleep(0.5)
        low, mean, high = tones(p, p.facts["box"]["client"])
        c.check(mean > 0.75 and low < 0.25, "light again: the box is light, its text dark",
                f"{low} {mean} {high}")
        close_quietly(c, p)


GROUPS = {
    "soak": lambda c: soak(c, int(sys.argv[2]) if len(sys.argv) > 2 else 300),
    "many_files": many_files,
    "hard_paths": hard_paths,
    "stand_in_faults": stand_in_faults,
    "ready_alignment": ready_alignment,
    "dpi": dpi,
    "dark": dark,
}


def main():
    if len(sys.argv) not in (2, 3) or sys.argv[1] not in GROUPS:
        sys.exit(f"usage: endurance.py {'|'.join(GROUPS)} [COUNT]")
    os.makedirs(harness.TEST_ROOT, exist_ok=True)
    c = Checks(sys.argv[1])
    c.run(GROUPS[sys.argv[1]])
    return c.finish()


if __name__ == "__main__":
    sys.exit(main())
