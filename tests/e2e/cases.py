#!/usr/bin/python3
"""End-to-end cases: the real exe in a real (virtual) X display, files
dropped on it by XDND. usage: cases.py GROUP"""

import os
import pathlib
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import (CANCELLED, Checks, Program, fake_report, headers, tool_name, touch,  # noqa: E402
                     value_of, windows_path, write_png)

SCREENSHOT = os.path.join(harness.TEST_ROOT, "screenshot.png")


def tag_lines(report):
    """The report's lines as (tag, value), CR LF split."""
    pairs = []
    for line in report.split("\r\n"):
        if " : " in line:
            tag, value = line.split(" : ", 1)
            pairs.append((tag.strip(), value))
        elif line:
            pairs.append((line, None))
    return pairs


def real_tool_report(c):
    """One file's report is exactly the tool's own; a second drop replaces it."""
    with c.program("real-report") as p:
        image = write_png(os.path.join(p.files, "sample.png"), "metadrop sample", 320, 200)
        rc, info = p.drop_on_box([image])
        c.check(rc == 0, "the box takes a dropped file", info)
        text = p.text(60, "Megapixels")
        c.require(text is not None, "the report of the file appears")
        c.check("{ready" not in text, "no ready marker in the box")
        c.check(value_of(text, "File Name") == "sample.png", "the report names the file")
        c.check(value_of(text, "Comment") == "metadrop sample", "the report holds the file's comment")
        own = harness.tool_report(image)
        # Reading the file again may move its access time; nothing else.
        strip = lambda r: [t for t in tag_lines(r) if t[0] != "File Access Date/Time"]
        c.check(strip(text) == strip(own), "the box holds exactly the tool's own report",
                f"box {text!r}\ntool {own!r}")
        c.check(text.endswith("\r\n") and "\n" not in text.replace("\r\n", ""),
                "the report's lines end in CR LF")
        p.screenshot(SCREENSHOT)
        print(f"     screenshot: {SCREENSHOT}")

        second = write_png(os.path.join(p.files, "second.png"), "two", 64, 32)
        rc, info = p.drop_on_box([second])
        c.check(rc == 0, "a second drop is taken", info)
        text = p.text(60, "second.png")
        c.check(text is not None and value_of(text, "File Name") == "second.png"
                and "sample.png" not in text and text.count("File Name") == 1,
                "a second drop's report replaces the first", repr(text)[:300])
        c.check(p.message_boxes() == [], "no message box came up")
        p.close(c, lambda: p.post("sc_close"), "close after reports")


def real_tool_names(c):
    """Several files and a folder in one drop; a file with a Cyrillic name."""
    with c.program("real-names") as p:
        first = write_png(os.path.join(p.files, "b-first.png"), width=16, height=16)
        folder = os.path.join(p.files, "a folder")
        os.makedirs(folder)
        inner = [write_png(os.path.join(folder, n), width=8, height=8) for n in ("c1.png", "c2.png")]
        last = write_png(os.path.join(p.files, "a-last.png"), width=24, height=24)
        rc, info = p.drop_on_box([first, folder, last])
        c.check(rc == 0, "a drop of files and a folder is taken", info)
        text = p.text(60, "image files read")
        if c.check(text is not None, "one report for the whole drop"):
            want = [tool_name(first)] + [tool_name(f) for f in inner] + [tool_name(last)]
            c.check(headers(text) == want,
                    "each file reported once, in drop order, the folder's files in place",
                    f"{headers(text)} != {want}")
            c.check(re.search(r"^ +1 directories scanned\r$", text, re.M) is not None
                    and re.search(r"^ +4 image files read\r$", text, re.M) is not None,
                    "the tool's own summary closes the report")
            c.check("{ready" not in text, "no ready marker in the box")

        cyrillic = write_png(os.path.join(p.files, "Фото отпуск.png"), width=40, height=30)
        rc, info = p.drop_on_box([cyrillic])
        c.check(rc == 0, "a file with a Cyrillic name is taken", info)
        text = p.text(60, "Megapixels")
        c.check(text is not None and value_of(text, "File Name") == "Фото отпуск.png"
                and value_of(text, "Image Size") == "40x30" and "Error" not in text,
                "the Cyrillic-named file gets its real report, shown rightly", repr(text)[:400])
        p.close(c, lambda: p.post("sc_close"), "close")


def drop_targets(c):
    """Only the box takes drops; the stand-in's texts reach the box whole."""
    with c.program("drop-targets", tool="stand-in", timeout=30) as p:
        facts = p.facts
        box = facts["box"]
        c.check(int(box["exstyle"], 16) & 0x10 and not int(facts["window"]["exstyle"], 16) & 0x10,
                "the box, not the window, accepts files")
        cl, ct, cr, cb = facts["window"]["client"]
        bl, bt, br, bb = box["rect"]
        mx, my = (bl + br) // 2, (bt + bb) // 2
        # The 5-unit margin is 9 px across and 8 px down at 7x13 base units.
        c.check((bl - cl, bt - ct, cr - br, cb - bb) == (9, 8, 9, 8),
                "the box sits 5 dialog units inside the window", str((bl - cl, bt - ct, cr - br, cb - bb)))

        # Wine 8 hands a drop on the box to the box; Wine 10 hands it to the
        # main window, which must pass it on by its point. Opposite corners,
        # scroll bar and all, are the box's edges.
        for corner, (x, y) in (("bottom right", (br - 2, bb - 2)), ("top left", (bl + 1, bt + 1))):
            name = touch(os.path.join(p.files, corner.replace(" ", "-") + ".txt"))
            rc, info = p.drop(x, y, [name])
            want = fake_report(name)
            text = p.text(30, os.path.basename(name))
            c.check(rc == 0 and text == want,
                    f"a drop on the box's {corner} corner is answered with exactly the tool's report",
                    f"{info} {text!r}")

        other = touch(os.path.join(p.files, "other.txt"))
        margin_points = {"left": (cl + 4, my), "top": (mx, ct + 3), "right": (cr - 4, my),
                         "bottom": (mx, cb - 3)}
        for side, (x, y) in margin_points.items():
            rc, info = p.drop(x, y, [other])
            c.check(rc == 3, f"a drop on the {side} margin is refused", info)
        c.check(p.quiet_text() == want, "refused drops leave the text as it was")

        for command, needle, check in [
            ("fake-utf8", "Title", lambda t: t == "Title : résumé Ж\r\n"),
            # Not UTF-8: the ANSI code page's characters for its bytes.
            ("fake-ansi", "Title", lambda t: t == "Title : r\u00e9sum\u00e9\r\n"),
            # 3125 lines of 64 bytes: the needle is the last.
            ("fake-big-200000", "Line 3124 ", lambda t: len(t) == 200000
             and t.startswith("Line 0 : x") and t.endswith("x\r\n")),
        ]:
            rc, info = p.drop(mx, my, [touch(os.path.join(p.files, command))])
            text = p.text(30, needle)
            c.check(rc == 0 and text is not None and check(text),
                    f"{command}: its report reaches the box whole",
                    repr(text)[:200] + f" ({len(text or '')} chars)")

        # After that long report, an empty one: blank on screen too, not
        # only to WM_GETTEXT.
        rc, info = p.drop(mx, my, [touch(os.path.join(p.files, "fake-empty"))])
        deadline = time.monotonic() + 30
        while p.text() != "" and time.monotonic() < deadline:
            time.sleep(0.2)
        c.check(p.text() == "", "an empty report empties the box")
        time.sleep(0.5)
        left, top, right, bottom = box["client"]
        # Clear of the caret at the start of the first line.
        colours = p.colours([left + 12, top, right, bottom])
        c.check(colours == 1, "the emptied box shows nothing of the report before",
                f"{colours} colours")
        p.close(c, lambda: p.post("sc_close"), "close")


def missing_tool(c):
    """No exiftool.exe beside the program: two boxes in order, no window."""
    with Program("missing-tool", tool=None).start() as p:
        expected = [("Error - Missing Executable", "Missing exiftool.exe"),
                    ("Error starting exiftool", "Child process exiftool failed to initialize")]
        for caption, text in expected:
            boxes = p.message_boxes(30, 1)
            got = [(b["caption"], b["text"]) for b in boxes]
            c.check(got == [(caption, text)], f"the box \"{text}\" comes, alone", str(got))
            rc, _ = harness.observe("window", 0)
            c.check(rc == 1, f"no main window while \"{text}\" is up")
            c.check(p.press_ok() is not None, f"OK closes \"{text}\"")
        rc = p.wait_exit(30)
        c.check(rc == 0, "the program then ends with exit code 0", f"exit code {rc}")


def tool_dies(c):
    """The tool ends mid-report: an E09 box, then what had come and {error}
    in the box; the next drop, made while the box is up, is answered after it
    by a new tool. A tool removed meanwhile is missed by the next drop, which
    says so."""
    with c.program("tool-dies", tool="stand-in", log=True, timeout=30) as p:
        rc, info = p.drop_on_box([touch(os.path.join(p.files, "fake-die"))])
        c.check(rc == 0, "the drop is taken", info)
        boxes = p.message_boxes(30, 1)
        c.check(len(boxes) == 1 and boxes[0]["caption"] == "Error"
                and re.match(r"E09 ReadFile failed with error \d+\r\n", boxes[0]["text"]),
                "an Error box tells of the failed read", str(boxes))
        c.check(p.press_ok() is not None, "OK closes the error box")
        c.check(p.text(30, "{error}") == "======== partial\r\nFake Name : par\r\n{error}",
                "the box keeps what had come, then says {error} on a line of its own", repr(p.text()))

        p.drop_on_box([touch(os.path.join(p.files, "fake-exit"))])
        c.check(len(p.message_boxes(30, 1)) == 1, "a tool started anew dies again: its E09 box")
        name = touch(os.path.join(p.files, "while-box.txt"))
        # Clear of the box, which stands over the window's centre.
        left, top = p.facts["box"]["client"][:2]
        rc, info = p.drop(left + 20, top + 20, [name])
        c.check(rc == 0, "a drop while the error box is up is taken", info)
        c.check(len(p.message_boxes()) == 1, "and waits for the box")
        c.check(p.press_ok() is not None, "OK closes the error box")
        c.check(p.text(30, "while-box.txt") == fake_report(name),
                "then that drop is answered by a new tool, with no box", repr(p.text()))
        c.check(p.message_boxes() == [], "no box for the new tool")

        # The tool is gone for good: each drop says so and the window stays.
        for pid in p.tools():
            os.kill(pid, 9)
        os.remove(os.path.join(p.folder, "exiftool.exe"))
        time.sleep(1)
        p.drop_on_box([touch(os.path.join(p.files, "no-tool.txt"))])
        boxes = p.message_boxes(30, 1)
        c.check([(b["caption"], b["text"]) for b in boxes]
                == [("Error - Missing Executable", "Missing exiftool.exe")],
                "a drop with the tool removed shows the missing-tool box alone", str(boxes))
        # The tool is back, and a drop made, while the box is up.
        shutil.copy(harness.STAND_IN, os.path.join(p.folder, "exiftool.exe"))
        name = touch(os.path.join(p.files, "tool-back.txt"))
        p.drop(left + 20, top + 20, [touch(os.path.join(p.files, "fake-hold")), name])
        p.press_ok()
        c.check(p.text(30, "{error}") == "{error}",
                "the box says {error} alone; the drop made meanwhile waits behind it", repr(p.text()))
        p.release()
        c.check(p.text(30, "tool-back.txt") == fake_report(name),
                "with the tool back, that drop is answered", repr(p.text()))
        c.check(p.message_boxes() == [], "no further box")
        p.close(c, lambda: p.post("sc_close"), "close")

    with c.program("closed-under-box", tool="stand-in", timeout=30) as p:
        p.drop_on_box([touch(os.path.join(p.files, "fake-die"))])
        c.check(len(p.message_boxes(30, 1)) == 1, "the E09 box comes")
        p.post("sc_close")
        c.check(p.wait_gone() is not None, "the window closes while the E09 box is open")
        seen = p.dismiss_boxes()
        labels = [b["text"].split(" failed")[0] for b in seen]
        print(f"     boxes: {labels}")
        c.check(labels == ["E09 ReadFile"], "the E09 box alone: no stop lines to a dead tool",
                str(seen))
        c.check(p.wait_exit(30) == 0, "the program then ends with exit code 0")


def waiting(c):
    """The wait cursor while the tool works, the box's own after; the tool
    ends with the program however the program ends."""
    with c.program("waiting", tool="stand-in", log=True, timeout=30) as p:
        x, y = p.box_centre()
        left, top = p.facts["window"]["client"][:2]
        p.point_at(left + 3, top + 3)
        arrow = harness.cursor()
        p.point_at(x, y)
        beam = harness.cursor()
        c.check(arrow != beam, "the margin and the box have cursors of their own")

        # Looked at while the stand-in holds the report back, as its log shows.
        name = touch(os.path.join(p.files, "after-wait.txt"))
        p.drop(x, y, [touch(os.path.join(p.files, "fake-hold")), name])
        deadline = time.monotonic() + 30
        while "fake-hold" not in p.logged("input.bin") and time.monotonic() < deadline:
            time.sleep(0.05)
        seen = []
        for _ in range(3):
            time.sleep(0.3)
            seen.append(harness.cursor())
        p.release()
        c.check(all(s not in (arrow, beam) for s in seen),
                "while the tool works the cursor is neither the arrow nor the I-beam", str(seen))
        c.check(p.text(30, "after-wait.txt") is not None, "the report comes")
        deadline = time.monotonic() + 10
        while harness.cursor() != beam and time.monotonic() < deadline:
            time.sleep(0.1)
        c.check(harness.cursor() == beam, "then the box's I-beam is back")
        c.check(p.message_boxes() == [], "no message box came up")

        p.drop(x, y, [touch(os.path.join(p.files, "fake-slow-60000"))], timeout=2)
        c.check(p.tools() != [], "the tool is answering slowly")
        p.stop()
        deadline = time.monotonic() + 20
        while p.tools() and time.monotonic() < deadline:
            time.sleep(0.05)
        c.check(not p.tools(), "the tool ends with the program")


def small_screen(c):
    """On a 1366x768 screen the window fits: all of the box on screen, its
    margins kept, the last line of a long report reachable."""
    harness.use_screen("1366x768")
    try:
        with c.program("small-screen", tool="stand-in") as p:
            facts = p.facts
            wl, wt, wr, wb = facts["window"]["rect"]
            cl, ct, cr, cb = facts["window"]["client"]
            bl, bt, br, bb = facts["box"]["rect"]
            print(f"     window {facts['window']['rect']}, box {facts['box']['rect']}")
            c.check(0 <= wl and 0 <= wt and wr <= 1366 and wb <= 768, "the window is on the screen")
            c.check((wr - wl, wb - wt) == (1366, 768), "it takes the whole screen it did not fit")
            c.check(cl <= bl and ct <= bt and br <= cr and bb <= cb and br <= 1366 and bb <= 768,
                    "the box, scroll bar and all, is on the screen")
            c.check((bl - cl, bt - ct, cr - br, cb - bb) == (9, 8, 9, 8),
                    "the box keeps its 5-unit margin", str((bl - cl, bt - ct, cr - br, cb - bb)))

            p.drop_on_box([touch(os.path.join(p.files, "fake-big-20000"))])
            c.check(p.text(30, "Line 0") is not None, "a report longer than the box comes")
            rc, lines = harness.observe("lines")
            p.post("box_bottom")
            time.sleep(0.5)
            rc2, bottom = harness.observe("lines")
            if c.check(rc == 0 and rc2 == 0, "the box's lines can be read", f"{lines} {bottom}"):
                height = lines[0]["line1"][1] - lines[0]["line0"][1]
                end = bottom[0]
                print(f"     {end}")
                c.check(end["first_visible"] > 0 and 0 <= end["last_line"][1]
                        and end["last_line"][1] + height <= end["box_client"][3],
                        "scrolled to its end, the box shows its last line", str(end))
            p.close(c, lambda: p.post("sc_close"), "close")
    finally:
        harness.use_screen("1920x1200")


def find_in_report(c, p):
    """Find, with the keys a user types: Ctrl+F and the dialog, F3 and
    Shift+F3, Up, whole words, case in letters beyond ASCII, a text not
    there, and a report still coming in."""
    names = [touch(os.path.join(p.files, n))
             for n in ("lens one.txt", "lenses.txt", "Lens two.txt", "ÉTÉ ŒUVRE.txt")]
    report = "".join(fake_report(n) for n in names)
    p.drop_on_box(names)
    c.require(p.text(30, "ŒUVRE") == report, "a report to search comes")

    def at(needle, start=0):
        return report.index(needle, start)

    def selected(wanted, text=report):
        got = p.selection(wanted)
        return c.check(got == wanted, f"selected {wanted}: {text[wanted[0]:wanted[1]]!r}", str(got))

    def find_what(text):
        # Alt+N goes back to "Find what", whose text it replaces.
        p.keys("alt+n", "End", "shift+Home")
        p.type(text)

    c.check(int(p.facts["box"]["style"], 16) & 0x100,
            "the box shows its selection while Find has the focus (ES_NOHIDESEL)")
    p.keys("ctrl+f")
    rc, found = harness.observe("find", 10)
    c.require(rc == 0 and found[0]["owner_is_main"] and found[0]["what"] == "",
              "Ctrl+F opens the Find dialog, owned by the window", str(found))
    p.type("fake name")
    p.keys("Return")
    first = at("Fake Name")
    selected([first, first + 9])
    p.keys("Return")
    second = at("Fake Name", first + 1)
    selected([second, second + 9])
    p.keys("Escape")
    c.check(harness.observe("find", 0)[0] == 1 and p.running(),
            "Escape closes the dialog and the window stays")
    c.check(p.window()["window"]["focus_in_box"], "the box has the focus again")
    p.keys("F3")
    third = at("Fake Name", second + 1)
    selected([third, third + 9])
    p.keys("shift+F3")
    selected([second, second + 9])

    # Up, from the selection, which the dialog starts with.
    p.keys("ctrl+f")
    rc, found = harness.observe("find", 10)
    c.check(rc == 0 and found[0]["what"] == "Fake Name", "the dialog starts with the selection",
            str(found))
    p.keys("alt+u", "Return")
    selected([first, first + 9])

    # Whole words, down from the start.
    p.keys("alt+d", "alt+w")
    find_what("lens")
    whole = [m.start() for m in re.finditer(r"(?i)\blens\b", report)]
    # Down from the selection, round the end.
    order = [m for m in whole if m >= first + 9] + [m for m in whole if m < first + 9]
    for m in order:
        p.keys("Return")
        selected([m, m + 4])

    # Letters of the ANSI code page beyond ASCII, in another case.
    p.keys("alt+w")
    find_what("été œuvre")
    p.keys("Return")
    upper = at("ÉTÉ ŒUVRE")
    selected([upper, upper + 9])
    p.keys("alt+c", "Return")
    boxes = p.message_boxes(10, 1)
    rc, found = harness.observe("find", 0)
    c.check([(b["caption"], b["text"]) for b in boxes] == [("Find", 'Cannot find "été œuvre"')]
            and rc == 0 and boxes[0]["owner"] == found[0]["find"],
            "with Match case it is not there: a box owned by the dialog says so", str(boxes))
    p.press_ok()
    c.check(p.selection() == [upper, upper + 9], "and the selection stays")

    # What has come of a report still coming in.
    coming = touch(os.path.join(p.files, "coming-first.txt"))
    p.drop_on_box([coming, touch(os.path.join(p.files, "fake-hold")),
                   touch(os.path.join(p.files, "coming-later.txt"))])
    c.check(p.text(30, "coming-first.txt") == fake_report(coming), "the first piece of a report shows")
    p.keys("alt+c")
    find_what("coming-first")
    p.keys("Return")
    now = fake_report(coming).index("coming-first")
    selected([now, now + 12], fake_report(coming))
    find_what("coming-later")
    p.keys("Return")
    c.check([b["text"] for b in p.message_boxes(10, 1)] == ['Cannot find "coming-later"'],
            "what has not come yet is not found")
    p.press_ok()
    p.release()
    c.check(p.text(30, "coming-later.txt") is not None, "the rest comes")
    p.keys("Return")
    everything = p.text()
    later = everything.index("coming-later")
    selected([later, later + 12], everything)
    p.keys("Escape")
    c.check(harness.observe("find", 0)[0] == 1, "Escape closes the dialog")


def closing(c):
    """Enter, Escape and a bare WM_CLOSE leave the window; Find searches the
    report; Alt+F4 and SC_CLOSE close the window, and the tool is asked to
    stop."""
    with c.program("closing-keys", tool="stand-in", log=True, timeout=30) as p:
        c.check(p.facts["window"]["focus_in_box"], "the box has the focus")
        p.type("Q")
        c.check(p.text(10, "Q") == "Q", "keys reach the box")
        p.keys("Return")
        p.keys("Escape")
        p.post("wm_close")
        # Once a key typed after them shows, the window has handled them.
        p.type("R")
        c.check(p.text(10, "R") == "QR" and harness.observe("window", 0)[0] == 0 and p.running(),
                "Enter, Escape and WM_CLOSE leave the window open", repr(p.text()))
        c.check(p.message_boxes() == [], "no message box came up")
        find_in_report(c, p)
        p.close(c, lambda: p.keys("alt+F4"), "Alt+F4")

    with c.program("closing-command", tool="stand-in", log=True, timeout=30) as p:
        p.close(c, lambda: p.post("sc_close"), "SC_CLOSE")


def responsive(c):
    """The window never waits on the tool: it sleeps at rest, answers while
    the tool works, shows a report as it comes, keeps every drop, cancels one
    on Escape, and closes at once during one."""
    with c.program("responsive", tool="stand-in", log=True, timeout=30) as p:
        time.sleep(1)
        before = p.main_thread_switches()
        time.sleep(5)
        after = p.main_thread_switches()
        rate = (after - before) / 5 if before is not None and after is not None else None
        print(f"     at rest the window's thread wakes {rate} times a second")
        # Polling every millisecond woke it over a thousand times a second.
        c.check(rate is not None and rate < 100, "at rest the window's thread sleeps", str(rate))

        # The report as it comes: the first file's, while the stand-in holds
        # the rest back; the marker's first part never.
        files = [touch(os.path.join(p.files, f"piece-{i}.txt")) for i in range(3)]
        first, both = fake_report(files[0]), fake_report(files[0]) + fake_report(files[1])
        asking = p.answers(120, len(both)).start()
        hold = touch(os.path.join(p.files, "fake-hold"))
        p.drop_on_box([files[0], hold, files[1], hold, files[2],
                       touch(os.path.join(p.files, "fake-split-9-hold"))])
        c.check(p.text(30, "piece-0.txt") == first, "the first piece shows while the rest is held",
                repr(p.text()))
        # The user selects its first line meanwhile, upwards.
        header = [0, len(first.split("\r\n")[0])]
        p.keys("ctrl+Home", "End", "shift+Home")
        c.check(p.selection(header) == header, "the user selects the first line")
        p.release()
        c.check(p.text(30, "piece-1.txt") == both, "the second follows, no part of the marker",
                repr(p.text()))
        c.check(p.selection() == header, "the user's selection is kept")
        p.keys("shift+Right")
        c.check(p.selection([1, header[1]]) == [1, header[1]],
                "its anchor stays where the user put it", str(p.selection()))
        # Down to the very end, past which the box places no character.
        p.keys("ctrl+Home", "shift+ctrl+End")
        c.check(p.selection([0, len(both)]) == [0, len(both)], "the user selects it all")
        p.release()
        c.check(p.text(30, "piece-2.txt") is not None, "the third follows")
        # Back over the line end, CR LF as one.
        p.keys("shift+Left")
        c.check(p.selection([0, len(both) - 2]) == [0, len(both) - 2],
                "a selection down to the end keeps its anchor too", str(p.selection()))
        p.release()
        answered = asking.finish()[-1]
        print(f"     while the tool works: {answered}")
        c.check(answered.get("asked", 0) > 0 and answered.get("unanswered") == 0
                and answered.get("whole_at") is not None,
                "the window answers every message the system would send it", str(answered))

        names = [touch(os.path.join(p.files, f"queued-{i}.txt")) for i in range(3)]
        p.drop_on_box([touch(os.path.join(p.files, "fake-hold"))])
        for name in names:
            p.drop_on_box([name])
        p.release()
        c.check(p.text(30, "queued-2.txt") == fake_report(names[-1]),
                "three drops made during a request: the last shows", repr(p.text()))
        sent = p.logged("input.bin")
        where = [sent.find(windows_path(n)) for n in names]
        c.check(-1 not in where and where == sorted(where) and sent.count("-execute") == 5,
                "each was sent to the tool on its own, in the order it came", str(where))

        p.keys("ctrl+a")
        whole = [0, len(fake_report(names[-1]))]
        c.check(p.selection(whole) == whole, "Ctrl+A selects the whole report")

        # The tool dies once the first piece shows.
        died = touch(os.path.join(p.files, "before-death.txt"))
        p.drop_on_box([died, touch(os.path.join(p.files, "fake-hold")),
                       touch(os.path.join(p.files, "fake-die"))])
        c.check(p.text(30, "before-death.txt") == fake_report(died), "the first piece shows")
        p.release()
        c.check(p.press_ok(30) is not None, "the tool dies: its E09 box")
        c.check(p.text(30, "{error}") == fake_report(died) + "======== partial\r\nFake Name : par"
                "\r\n{error}", "what had come stays, then {error} on a line of its own",
                repr(p.text()))

        # The dialog manager's Escape, which reaches the window, not the box.
        held = touch(os.path.join(p.files, "before-idcancel.txt"))
        p.drop_on_box([held, touch(os.path.join(p.files, "fake-hold")), names[0]])
        c.check(p.text(30, "before-idcancel.txt") == fake_report(held), "the first piece shows")
        c.check(p.post("idcancel") and p.text(30, "cancelled") == fake_report(held) + CANCELLED,
                "IDCANCEL to the window cancels the drop too", repr(p.text()))
        # Keys typed after it are taken after it, by a window still open.
        shown = fake_report(held) + CANCELLED
        p.post("idcancel")
        p.keys("ctrl+a")
        c.check(p.selection([0, len(shown)]) == [0, len(shown)] and p.text() == shown,
                "at rest it changes nothing, and the window stays open", repr(p.text()))

        # Escape once the first piece shows, with a drop queued behind.
        kept = touch(os.path.join(p.files, "before-cancel.txt"))
        after = touch(os.path.join(p.files, "after-cancel.txt"))
        p.drop_on_box([kept, touch(os.path.join(p.files, "fake-hold")), names[0]])
        # Held before it writes anything, so the box goes on showing the last.
        p.drop_on_box([touch(os.path.join(p.files, "fake-hold")), after])
        c.check(p.text(30, "before-cancel.txt") == fake_report(kept), "the first piece shows")
        starts = p.logged("args.txt").count("exe=")
        working = p.tools()
        p.keys("Escape")
        c.check(p.text(30, "cancelled") == fake_report(kept) + CANCELLED,
                "Escape: what had come stays, and the box says the drop was cancelled",
                repr(p.text()))
        deadline = time.monotonic() + 10
        while set(working) & set(p.tools()) and time.monotonic() < deadline:
            time.sleep(0.05)
        c.check(working and not set(working) & set(p.tools()), "the working tool is ended")
        p.release()
        c.check(p.text(30, "after-cancel.txt") == fake_report(after)
                and p.logged("args.txt").count("exe=") == starts + 1,
                "the queued drop is answered by a tool started anew", p.logged("args.txt"))

        c.check(p.message_boxes() == [], "no other message box came up")
        p.close(c, lambda: p.post("sc_close"), "close at rest")

    with c.program("close-during-drop", tool="stand-in", timeout=30) as p:
        p.drop_on_box([touch(os.path.join(p.files, "fake-slow-30000"))])
        for i in range(2):
            p.drop_on_box([touch(os.path.join(p.files, f"queued-{i}.txt"))])
        c.check(p.tools() != [], "the tool works on a 30 s request, two drops queued behind")
        pressed = time.time()
        gone_at, exited_at = p.close(c, lambda: p.keys("alt+F4"), "Alt+F4 during a drop")
        # Waiting for the request would take 30 s.
        c.check(gone_at is not None and gone_at - pressed <= 10,
                "Alt+F4 during a drop: the window goes at once",
                f"{None if gone_at is None else gone_at - pressed}")
        ended = None if exited_at is None else exited_at - pressed
        print(f"     Alt+F4 during a drop: the process ended {ended} s after the key")
        c.check(ended is not None and ended <= 15, "the process ends with its pause, not the request",
                f"after {ended}")
        c.check(p.tools() == [], "the tool is gone too")


def command_line(c):
    """The paths it is started with are its first drop, in the tool's own
    words: files, a folder, a relative path with a wildcard for the tool, a
    quoted one with spaces, and one that names nothing (nor is an option)."""
    files = os.path.join(harness.TEST_ROOT, "command-line-files")
    shutil.rmtree(files, ignore_errors=True)
    os.makedirs(os.path.join(files, "d"))
    paths = [os.path.join(files, n) for n in ("1.png", "d", "d/2.png", "re.png", "s p.png")]
    for path in paths[:1] + paths[2:]:
        write_png(path, width=8, height=8)
    args = [windows_path(paths[0]), windows_path(paths[1]), "..\\command-line-files\\r*.png",
            windows_path(paths[4]), "-ver"]
    with c.program("command-line", args=args) as p:
        text = p.text(60, "-ver")
        own = harness.tool_report(*paths[:2], *paths[3:], os.path.join(p.folder, "-ver"))
        strip = lambda r: [t for t in tag_lines(r) if t[0] != "File Access Date/Time"]
        error = "Error: File not found - " + tool_name(p.folder) + "/-ver\r\n"
        c.check(text is not None and strip(text) == strip(own + error),
                "the box holds the tool's report on them, then its error for the last", text)
        p.close(c, lambda: p.post("sc_close"), "close")


def open_and_save(c):
    """Ctrl+O opens files as a drop; Ctrl+S saves what the box holds, UTF-8
    after a byte-order mark, never over a read-only file and not on Cancel;
    a report held back while Save As is open comes whole once it closes."""
    with c.program("open-save", tool="stand-in", log=True, timeout=30) as p:
        os.makedirs(out := os.path.join(p.folder, "out"))
        chosen = [touch(os.path.join(p.files, n)) for n in ("one.txt", "two words.txt")]
        p.keys("ctrl+o")
        c.require((p.file_dialog() or {}).get("caption") == "Open", "Ctrl+O: the Open dialog")
        # As a user would: the folder, then two names at once.
        p.type(windows_path(p.files) + "\\", enter=True)
        p.type('"one.txt" "two words.txt"', enter=True)
        c.check(p.text(30, "two words") == "".join(fake_report(n) for n in chosen),
                "the two files chosen are a drop", repr(p.text()))

        p.drop_on_box([touch(os.path.join(p.files, n)) for n in ("Фото отпуск.txt", "Ещё.txt")])
        p.text(30, "Ещё")
        p.keys("ctrl+End", "Q", "ctrl+s")
        shown, facts = p.text(10, "Q"), p.file_dialog()
        c.check(facts == {"caption": "Save As", "name": "Фото отпуск.txt metadata.txt",
                          "type": "Text", "types": 2},
                "Ctrl+S: Save As, owned by the window, named after the first file", str(facts))
        p.type(windows_path(os.path.join(out, "saved")), enter=True)
        saved, deadline = os.path.join(out, "saved.txt"), time.monotonic() + 10
        while not os.path.exists(saved) and time.monotonic() < deadline:
            time.sleep(0.1)
        c.check(os.path.exists(saved) and pathlib.Path(saved).read_bytes() == b"\xef\xbb\xbf"
                + shown.encode(), "saved: a byte-order mark, then the box's text and edit in UTF-8")
        old = os.path.join(out, "old.txt")
        pathlib.Path(old).write_bytes(b"old")
        os.chmod(old, 0o444)
        p.keys("ctrl+s")
        p.file_dialog()
        p.type(windows_path(old), enter=True)
        c.check(len(p.message_boxes(10, 1)) == 1, "over a file, the dialog asks first")
        p.keys("y")
        box, said = p.press_ok(10) or {"text": ""}, f'The report was not saved as "{windows_path(old)}"' \
            '. Any file of that name is as it was.\r\nE15 MoveFileEx failed with error 5\r\n'
        c.check(box["text"].startswith(said) and box["text"] != said,
                "over a read-only file: a box names it and gives the system's reason", str(box))
        c.check(pathlib.Path(old).read_bytes() == b"old" and sorted(os.listdir(out)) == [
            "old.txt", "saved.txt"], "that file is unchanged, and no other is left", str(os.listdir(out)))

        first, later = (touch(os.path.join(p.files, n)) for n in ("first.txt", "later.txt"))
        p.drop_on_box([first, touch(os.path.join(p.files, "fake-hold")), later])
        p.text(30, "first.txt")
        p.keys("ctrl+s")
        c.require((p.file_dialog() or {}).get("caption") == "Save As",
                  "Ctrl+S while a report is held back: Save As")
        p.release()
        time.sleep(2)
        # Where a save could go: the program's folder, and the one saved in.
        listing = lambda: (sorted(os.listdir(p.folder)), sorted(os.listdir(out)))
        before = listing()
        p.keys("Escape")
        c.check(p.text(30, "later.txt") == fake_report(first) + fake_report(later),
                "once it closes, all of the report comes", repr(p.text()))
        c.check(listing() == before, "Cancel wrote nothing", str(listing()))
        p.close(c, lambda: p.post("sc_close"), "close")


GROUPS = {
    "real_tool_report": real_tool_report,
    "real_tool_names": real_tool_names,
    "drop_targets": drop_targets,
    "missing_tool": missing_tool,
    "tool_dies": tool_dies,
    "waiting": waiting,
    "small_screen": small_screen,
    "closing": closing,
    "responsive": responsive,
    "command_line": command_line,
    "open_and_save": open_and_save,
}


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in GROUPS:
        sys.exit(f"usage: cases.py {'|'.join(GROUPS)}")
    group = sys.argv[1]
    os.makedirs(harness.TEST_ROOT, exist_ok=True)
    c = Checks(group)
    c.run(GROUPS[group])
    return c.finish()


if __name__ == "__main__":
    sys.exit(main())
