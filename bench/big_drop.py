#!/usr/bin/python3
"""The big drop, measured from outside the program as a user meets it: a
folder of 1000 files whose report has about 6.7 million characters, one
line of each file's wrapped, dropped on the window; then one of 3000 files
(about 20 million characters).

usage: big_drop.py BENCH_EXE NEW_EXE [OLD_EXE]

Prints a table row per build and round, new and old taken in turn, each
after the tool alone has written the same report to a bare client: the time
from the drop to the first text of the report in the box and to all of it,
that time as a ratio to the tool's, the slowest answer of the window to a
message sent as the system sends them to tell a hung window, and the
program's peak working set. Runs in the tests' Wine session (scripts/bench
starts it)."""

import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402
from harness import Checks, Program, windows_path, write_png  # noqa: E402

SIZES = (1000, 3000)


XMP_PROPERTIES = ["City", "State", "Country", "Credit", "Source", "Headline", "Instructions",
                  "AuthorsPosition", "CaptionWriter", "Category", "TransmissionReference",
                  "DateCreated", "Urgency", "SupplementalCategories", "ColorMode", "ICCProfile",
                  "History", "LegacyIPTCDigest", "SidecarForExtension"]


def xmp(i):
    """A photo's XMP as a photo library writes it: a keyword list of about
    4,200 characters, a title, a description and two dozen other properties."""
    keywords = "".join(f"<rdf:li>keyword{k:03d}</rdf:li>" for k in range(350))
    simple = "".join(f"<photoshop:{name}>{name.lower()} of photo {i}</photoshop:{name}>"
                     for name in XMP_PROPERTIES)
    return ('<?xpacket begin="" id="W5M0MpCehiHzreSzNTczkc9d"?>'
            '<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF '
            'xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">'
            '<rdf:Description rdf:about="" xmlns:dc="http://purl.org/dc/elements/1.1/" '
            'xmlns:photoshop="http://ns.adobe.com/photoshop/1.0/" '
            'xmlns:xmp="http://ns.adobe.com/xap/1.0/">'
            f'<dc:subject><rdf:Bag>{keywords}</rdf:Bag></dc:subject>'
            f'<dc:title><rdf:Alt><rdf:li xml:lang="x-default">Photo {i}</rdf:li></rdf:Alt></dc:title>'
            '<dc:description><rdf:Alt><rdf:li xml:lang="x-default">A photo of the benchmark, '
            f'number {i}</rdf:li></rdf:Alt></dc:description>'
            f'<dc:creator><rdf:Seq><rdf:li>Photographer {i % 7}</rdf:li></rdf:Seq></dc:creator>'
            f'{simple}<xmp:CreatorTool>metadrop benchmark</xmp:CreatorTool>'
            f'<xmp:Rating>{i % 5}</xmp:Rating>'
            '</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end="w"?>')


def make_folder(folder, files):
    """PNGs, each with its XMP, so that each file's report has about 44
    lines, one of them a keyword list the box wraps over many lines."""
    marker = os.path.join(folder, ".complete")
    if os.path.exists(marker):
        return
    os.makedirs(folder, exist_ok=True)
    for i in range(files):
        body = b"XML:com.adobe.xmp\0\0\0\0\0" + xmp(i).encode("utf-8")
        write_png(os.path.join(folder, f"photo{i:04d}.png"), width=4, height=3,
                  chunks=[(b"iTXt", body)])
    open(marker, "w").close()


def bare_client(bench, folder):
    rc, text = harness.run_quiet([harness.WINE, bench, "--bare-client",
                                  windows_path(os.path.join(harness.TOOL_DIR, "exiftool.exe")),
                                  windows_path(folder)], 600)
    return json.loads(text.strip().splitlines()[-1])


def measure(c, label, exe, folder, characters):
    with Program(f"big-drop-{label}", exe=exe).start() as p:
        c.require(p.window(60) is not None, f"{label}: the window appears")
        asking = p.answers(600, characters).start()
        rc, info = p.drop_on_box([folder], timeout=60)
        account = asking.finish()[-1]
        facts = harness.observe("process")[1][0]
        p.post("sc_close")
        p.wait_exit(30)
    dropped = info.get("dropped_at")
    if rc != 0 or dropped is None or account.get("whole_at") is None:
        c.check(False, f"{label}: the report came whole", f"{rc} {info} {account}")
        return None
    return {
        "first": account["changed_at"] - dropped,
        "whole": account["whole_at"] - dropped,
        "slowest_ms": account["slowest_ms"],
        "unanswered": account["unanswered"],
        "peak_mib": facts["peak_working_set"] / 2**20,
    }


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    bench, builds = sys.argv[1], [("new", sys.argv[2])]
    if len(sys.argv) == 4:
        builds = [("old", sys.argv[3])] + builds
    c = Checks("big drop")
    for files in SIZES:
        # The 1000-file folder keeps its name: Find is measured in it too.
        suffix = "" if files == 1000 else f"-{files}"
        folder = os.path.join(harness.TEST_ROOT, "big-drop-files" + suffix)
        make_folder(folder, files)
        reference = bare_client(bench, folder)
        print(f"\nbig drop: {files} files, {reference['characters']} characters,"
              f" Wine {harness.WINE_VERSION}\n")
        print("| build | the tool alone | first text | all of it | ratio | slowest answer |"
              " unanswered | peak working set |")
        print("|---|---|---|---|---|---|---|---|")
        for _ in range(3):
            for label, exe in builds:
                tool = bare_client(bench, folder)["bare_client_s"]
                try:
                    r = measure(c, label, exe, folder, reference["characters"])
                except (harness.Stopped, harness.ObserverFailed) as failure:
                    c.check(False, f"{label}: measured", str(failure))
                    r = None
                if r:
                    print(f"| {label} | {tool:.2f} s | {r['first']:.2f} s | {r['whole']:.2f} s |"
                          f" {r['whole'] / tool:.2f} | {r['slowest_ms']} ms | {r['unanswered']} |"
                          f" {r['peak_mib']:.0f} MiB |")
                    sys.stdout.flush()
    return c.finish()


if __name__ == "__main__":
    sys.exit(main())
