#!/usr/bin/python3
"""End-to-end cases: the real exe in a real (virtual) X display, files
dropped on it by XDND. usage: cases.py GROUP"""

import os
import re
import shutil
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
from harness import Checks, Program, make_image, touch, windows_path  # noqa: E402

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


def value_of(report, tag):
    for name, value in tag_lines(report):
        if name == tag:
            return value
    return None


def real_tool_report(c):
    """One file's report is exactly the tool's own; a second drop replaces it."""
    p = Program("real-report").start()
    try:
        facts = p.window(60)
        if not c.check(facts is not None, "the main window appears"):
            return
        image = make_image(os.path.join(p.files, "sample.jpg"))
        x, y = p.box_centre()
        rc, info = p.drop(x, y, [image])
        c.check(rc == 0, "the box takes a dropped file", info)
        text = p.text(60, "Megapixels")
        if not c.check(text is not None, "the report of the file appears"):
            return
        c.check("{ready" not in text, "no ready marker in the box")
        c.check(value_of(text, "File Name") == "sample.jpg", "the report names the file")
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

        second = make_image(os.path.join(p.files, "second.png"), size="64x32", comment="two")
        rc, info = p.drop(x, y, [second])
        c.check(rc == 0, "a second drop is taken", info)
        text = p.text(60, "second.png")
        c.check(text is not None and value_of(text, "File Name") == "second.png"
                and "sample.jpg" not in text and text.count("File Name") == 1,
                "a second drop's report replaces the first", repr(text)[:300])
        c.check(p.message_boxes() == [], "no message box came up")
        p.close_and_time(c, lambda: p.post("sc_close"), "close after reports")
    finally:
        p.stop()


def real_tool_names(c):
    """Several files and a folder in one drop; a file with a Cyrillic name."""
    p = Program("real-names").start()
    try:
        if not c.check(p.window(60) is not None, "the main window appears"):
            return
        x, y = p.box_centre()
        first = make_image(os.path.join(p.files, "b-first.jpg"), size="16x16")
        folder = os.path.join(p.files, "a folder")
        os.makedirs(folder)
        inner = [make_image(os.path.join(folder, n), size="8x8") for n in ("c1.jpg", "c2.jpg")]
        last = make_image(os.path.join(p.files, "a-last.png"), size="24x24")
        rc, info = p.drop(x, y, [first, folder, last])
        c.check(rc == 0, "a drop of files and a folder is taken", info)
        text = p.text(60, "image files read")
        if c.check(text is not None, "one report for the whole drop"):
            heads = [l[len("======== "):] for l in text.split("\r\n") if l.startswith("======== ")]
            want = [windows_path(first).replace("\\", "/")]
            want += [windows_path(folder).replace("\\", "/") + "/" + os.path.basename(f)
                     for f in inner]
            want += [windows_path(last).replace("\\", "/")]
            c.check(heads == want, "each file reported once, in drop order, the folder's files in place",
                    f"{heads} != {want}")
            c.check(re.search(r"^ +1 directories scanned\r$", text, re.M) is not None
                    and re.search(r"^ +4 image files read\r$", text, re.M) is not None,
                    "the tool's own summary closes the report")
            c.check("{ready" not in text, "no ready marker in the box")

        cyrillic = make_image(os.path.join(p.files, "Фото отпуск.jpg"), size="40x30")
        rc, info = p.drop(x, y, [cyrillic])
        c.check(rc == 0, "a file with a Cyrillic name is taken", info)
        text = p.text(60, "Megapixels")
        c.check(text is not None and value_of(text, "File Name") == "Фото отпуск.jpg"
                and value_of(text, "Image Size") == "40x30" and "Error" not in text,
                "the Cyrillic-named file gets its real report, shown rightly", repr(text)[:400])
        p.close_and_time(c, lambda: p.post("sc_close"), "close")
    finally:
        p.stop()


def drop_targets(c):
    """Only the box takes drops; the stand-in's texts reach the box whole."""
    p = Program("drop-targets", tool="stand-in").start()
    try:
        facts = p.window(30)
        if not c.check(facts is not None, "the main window appears"):
            return
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
            want = f"======== {windows_path(name)}\r\nFake Name : {os.path.basename(name)}\r\n"
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

        for command, check in [
            ("fake-utf8", lambda t: t == "Title : résumé Ж\r\n"),
            ("fake-big-200000", lambda t: len(t) == 200000 and t.startswith("Line 0 : x")
             and t.endswith("x\r\n")),
        ]:
            rc, info = p.drop(mx, my, [touch(os.path.join(p.files, command))])
            text = p.text(30, "Line 0" if "big" in command else "Title")
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
        p.close_and_time(c, lambda: p.post("sc_close"), "close")
    finally:
        p.stop()


def missing_tool(c):
    """No exiftool.exe beside the program: two boxes in order, no window."""
    p = Program("missing-tool", tool=None).start()
    try:
        expected = [("Error - Missing Executable", "Missing exiftool.exe"),
                    ("Error starting exiftool", "Child process exiftool failed to initialize")]
        for caption, text in expected:
            boxes = p.message_boxes(30, 1)
            got = [(b["caption"], b["text"]) for b in boxes]
            c.check(got == [(caption, text)], f"the box \"{text}\" comes, alone", str(got))
            rc, _ = harness.observe("window", 0)
            c.check(rc != 0, f"no main window while \"{text}\" is up")
            c.check(p.press_ok() is not None, f"OK closes \"{text}\"")
        rc = p.wait_exit(30)
        c.check(rc == 0, "the program then ends with exit code 0", f"exit code {rc}")
    finally:
        p.stop()


def tool_dies(c):
    """The tool ends mid-report: an E09 box, then {error} in the box; the
    next drop, made while the box is up, is answered after it by a new tool.
    A tool removed meanwhile is missed by the next drop, which says so."""
    p = Program("tool-dies", tool="stand-in").start()
    try:
        if not c.check(p.window(30) is not None, "the main window appears"):
            return
        x, y = p.box_centre()
        rc, info = p.drop(x, y, [touch(os.path.join(p.files, "fake-die"))])
        c.check(rc == 0, "the drop is taken", info)
        boxes = p.message_boxes(30, 1)
        c.check(len(boxes) == 1 and boxes[0]["caption"] == "Error"
                and re.match(r"E09 ReadFile failed with error \d+\r\n", boxes[0]["text"]),
                "an Error box tells of the failed read", str(boxes))
        c.check(p.press_ok() is not None, "OK closes the error box")
        c.check(p.text(30, "{error}") == "{error}", "the box then says {error}")

        p.drop(x, y, [touch(os.path.join(p.files, "fake-die"))])
        c.check(len(p.message_boxes(30, 1)) == 1, "a tool started anew dies again: its E09 box")
        name = touch(os.path.join(p.files, "while-box.txt"))
        # Clear of the box, which stands over the window's centre.
        left, top = p.facts["box"]["client"][:2]
        rc, info = p.drop(left + 20, top + 20, [name])
        c.check(rc == 0, "a drop while the error box is up is taken", info)
        time.sleep(1)
        c.check(len(p.message_boxes()) == 1, "and waits for the box")
        c.check(p.press_ok() is not None, "OK closes the error box")
        c.check(p.text(30, "while-box.txt") == f"======== {windows_path(name)}\r\n"
                "Fake Name : while-box.txt\r\n",
                "then that drop is answered by a new tool, with no box", repr(p.text()))
        c.check(p.message_boxes() == [], "no box for the new tool")

        # The tool is gone for good: each drop says so and the window stays.
        for pid in p.tools():
            os.kill(pid, 9)
        os.remove(os.path.join(p.folder, "exiftool.exe"))
        time.sleep(1)
        p.drop(x, y, [touch(os.path.join(p.files, "no-tool.txt"))])
        boxes = p.message_boxes(30, 1)
        c.check([(b["caption"], b["text"]) for b in boxes]
                == [("Error - Missing Executable", "Missing exiftool.exe")],
                "a drop with the tool removed shows the missing-tool box alone", str(boxes))
        p.press_ok()
        c.check(p.text(30, "{error}") == "{error}", "and the box says {error}")
        shutil.copy(harness.STAND_IN, os.path.join(p.folder, "exiftool.exe"))
        name = touch(os.path.join(p.files, "tool-back.txt"))
        p.drop(x, y, [name])
        c.check(p.text(30, "tool-back.txt") is not None, "with the tool back, the next drop is answered")
        c.check(p.message_boxes() == [], "no further box")
        p.close_and_time(c, lambda: p.post("sc_close"), "close")
    finally:
        p.stop()

    p = Program("closed-under-box", tool="stand-in").start()
    try:
        if not c.check(p.window(30) is not None, "the main window appears again"):
            return
        x, y = p.box_centre()
        p.drop(x, y, [touch(os.path.join(p.files, "fake-die"))])
        c.check(len(p.message_boxes(30, 1)) == 1, "the E09 box comes")
        p.post("sc_close")
        c.check(p.wait_gone() is not None, "the window closes while the E09 box is open")
        seen = p.dismiss_boxes()
        labels = [b["text"].split(" failed")[0] for b in seen]
        print(f"     boxes: {labels}")
        c.check(labels == ["E09 ReadFile"], "the E09 box alone: no stop lines to a dead tool",
                str(seen))
        c.check(p.wait_exit(30) == 0, "the program then ends with exit code 0")
    finally:
        p.stop()


def waiting(c):
    """The wait cursor while the tool works, the box's own after; the tool
    ends with the program however the program ends."""
    p = Program("waiting", tool="stand-in").start()
    try:
        facts = p.window(30)
        if not c.check(facts is not None, "the main window appears"):
            return
        x, y = p.box_centre()
        left, top = facts["window"]["client"][:2]
        p.point_at(left + 3, top + 3)
        arrow = harness.cursor()
        p.point_at(x, y)
        beam = harness.cursor()
        c.check(arrow != beam, "the margin and the box have cursors of their own")

        name = touch(os.path.join(p.files, "after-wait.txt"))
        dropping = threading.Thread(target=p.drop, args=(
            x, y, [touch(os.path.join(p.files, "fake-slow-4000")), name]))
        dropping.start()
        seen = []
        for _ in range(3):
            time.sleep(0.7)
            seen.append(harness.cursor())
        dropping.join()
        c.check(all(s not in (arrow, beam) for s in seen),
                "while the tool works the cursor is neither the arrow nor the I-beam", str(seen))
        c.check(p.text(30, "after-wait.txt") is not None, "the slow report comes")
        time.sleep(0.3)
        c.check(harness.cursor() == beam, "then the box's I-beam is back")
        c.check(p.message_boxes() == [], "no message box came up")

        p.drop(x, y, [touch(os.path.join(p.files, "fake-slow-60000"))], timeout=2)
        c.check(p.tools() != [], "the tool is answering slowly")
        p.stop()
        gone = None
        begun = time.monotonic()
        while time.monotonic() - begun < 20:
            if not p.tools():
                gone = time.monotonic() - begun
                break
            time.sleep(0.05)
        print(f"     tool gone {gone} s after the program was killed")
        c.check(gone is not None and gone <= 2, "the tool ends within 2 s of the program")
    finally:
        p.stop()


def small_screen(c):
    """On a 1366x768 screen the window fits: all of the box on screen, its
    margins kept, the last line of a long report reachable."""
    harness.use_screen("1366x768")
    p = Program("small-screen", tool="stand-in")
    try:
        p.start()
        facts = p.window(60)
        if not c.check(facts is not None, "the main window appears"):
            return
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

        x, y = p.box_centre()
        rc, info = p.drop(x, y, [touch(os.path.join(p.files, "fake-big-20000"))])
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
        p.close_and_time(c, lambda: p.post("sc_close"), "close")
    finally:
        p.stop()
        harness.use_screen("1920x1200")


def closing(c):
    """Enter, Escape and a bare WM_CLOSE leave the window; Alt+F4 and
    SC_CLOSE close it, and the program ends about 2 s later."""
    p = Program("closing-keys", tool="stand-in").start()
    try:
        facts = p.window(30)
        if not c.check(facts is not None, "the main window appears"):
            return
        c.check(facts["window"]["focus_in_box"], "the box has the focus")
        p.type("Q")
        c.check(p.text(10, "Q") == "Q", "keys reach the box")
        p.keys("Return")
        p.keys("Escape")
        p.post("wm_close")
        time.sleep(1.5)
        rc, _ = harness.observe("window", 0)
        c.check(rc == 0 and p.running(), "Enter, Escape and WM_CLOSE leave the window open")
        c.check(p.message_boxes() == [], "no message box came up")
        p.close_and_time(c, lambda: p.keys("alt+F4"), "Alt+F4")
    finally:
        p.stop()

    p = Program("closing-command", tool="stand-in").start()
    try:
        if c.check(p.window(30) is not None, "the main window appears again"):
            p.close_and_time(c, lambda: p.post("sc_close"), "SC_CLOSE")
    finally:
        p.stop()


def responsive(c):
    """The window never waits on the tool: it sleeps at rest, answers while
    the tool works, keeps every drop, cancels one on Escape, and closes at
    once during one."""
    p = Program("responsive", tool="stand-in", log=True).start()
    try:
        if not c.check(p.window(30) is not None, "the main window appears"):
            return
        x, y = p.box_centre()
        time.sleep(1)
        before = p.main_thread_switches()
        time.sleep(5)
        after = p.main_thread_switches()
        rate = (after - before) / 5 if before is not None and after is not None else None
        print(f"     at rest the window's thread wakes {rate} times a second")
        # Polling every millisecond woke it over a thousand times a second.
        c.check(rate is not None and rate < 100, "at rest the window's thread sleeps", str(rate))

        answered = {}
        asking = threading.Thread(target=lambda: answered.update(p.answers(7) or {}))
        asking.start()
        time.sleep(0.5)
        rc, info = p.drop(x, y, [touch(os.path.join(p.files, "fake-slow-6000"))])
        asking.join()
        print(f"     while the tool works 6 s: {answered}")
        c.check(rc == 0 and answered.get("asked", 0) >= 30 and answered.get("unanswered") == 0
                and answered.get("slowest_ms", 10**6) <= 1000,
                "while the tool works, the window answers each message within 1 s", str(answered))

        names = [touch(os.path.join(p.files, f"queued-{i}.txt")) for i in range(3)]
        rc, info = p.drop(x, y, [touch(os.path.join(p.files, "fake-slow-3000"))])
        for name in names:
            p.drop(x, y, [name])
        last = f"======== {windows_path(names[-1])}\r\nFake Name : queued-2.txt\r\n"
        c.check(p.text(30, "queued-2.txt") == last, "three drops made during a request: the last shows",
                repr(p.text()))
        sent = p.logged("input.bin")
        where = [sent.find(windows_path(n)) for n in names]
        c.check(-1 not in where and where == sorted(where) and sent.count("-execute") == 5,
                "each was sent to the tool on its own, in the order it came", str(where))

        p.keys("ctrl+a")
        rc, lines = harness.observe("lines")
        c.check(rc == 0 and lines[0]["selection"] == [0, len(last)],
                "Ctrl+A selects the whole report", str(lines))

        p.drop(x, y, [touch(os.path.join(p.files, "fake-slow-60000"))])
        time.sleep(0.5)
        working = p.tools()
        p.keys("Escape")
        pressed = time.monotonic()
        while p.tools() and time.monotonic() - pressed < 10:
            time.sleep(0.05)
        took = time.monotonic() - pressed
        print(f"     Escape: the tool gone after {took:.2f} s")
        c.check(working and not p.tools() and took <= 1, "Escape ends the working tool within 1 s",
                f"{working} {took:.2f} s")
        c.check(p.text(10, "cancelled") == "The drop was cancelled: exiftool was stopped, and "
                "the next drop starts it again.\r\n", "the box says the drop was cancelled")
        name = touch(os.path.join(p.files, "after-cancel.txt"))
        p.drop(x, y, [name])
        c.check(p.text(30, "after-cancel.txt") is not None and p.tools() != []
                and p.logged("args.txt").count("exe=") == 2,
                "the next drop is answered by a tool started anew", p.logged("args.txt"))
        c.check(p.message_boxes() == [], "no message box came up")
        p.close_and_time(c, lambda: p.post("sc_close"), "close at rest")
    finally:
        p.stop()

    p = Program("close-during-drop", tool="stand-in").start()
    try:
        if not c.check(p.window(30) is not None, "the main window appears again"):
            return
        x, y = p.box_centre()
        p.drop(x, y, [touch(os.path.join(p.files, "fake-slow-30000"))])
        time.sleep(0.5)
        c.check(p.tools() != [], "the tool works on a 30 s request")
        clicked = time.time()
        p.keys("alt+F4")
        gone_at = p.wait_gone(10)
        rc = p.wait_exit(10)
        c.check(gone_at is not None and gone_at - clicked <= 1.5, "Alt+F4 during a drop: the window goes at once",
                f"{None if gone_at is None else gone_at - clicked}")
        ended = None if p.exited_at is None else p.exited_at - clicked
        print(f"     Alt+F4 during a drop: the process ended {ended} s after the key")
        c.check(rc == 0 and ended is not None and ended <= 4,
                "the process ends within 4 s, with exit code 0", f"{rc} after {ended}")
        c.check(p.tools() == [], "the tool is gone too")
    finally:
        p.stop()


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
}


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in GROUPS:
        sys.exit(f"usage: cases.py {'|'.join(GROUPS)}")
    group = sys.argv[1]
    os.makedirs(harness.TEST_ROOT, exist_ok=True)
    c = Checks(group)
    GROUPS[group](c)
    return c.finish()


if __name__ == "__main__":
    sys.exit(main())
