#!/usr/bin/python3
"""Drops files on the X window under a point of the screen, as a file manager
would, by the XDND protocol; no pointer is moved.

usage: xdnd_drop.py [--timeout S] X Y PATH...

Prints one JSON line and exits 0 when the target took the drop (XdndFinished
came), 3 when it refused it, 4 when no XDND-aware window is at the point and
5 on a timeout. A target may act on the drop after it has finished it, so
callers look at the target's own state for the result.
"""

import argparse
import json
import os
import sys
import time
import urllib.parse

from Xlib import X, Xatom, display, error
from Xlib.protocol import event

VERSION = 5
URI_LIST = "text/uri-list"


def uri_list(paths):
    """The paths as file URIs, percent-encoded, each line ending in CR LF."""
    lines = []
    for path in paths:
        absolute = os.fsencode(os.path.abspath(path))
        lines.append(b"file://" + urllib.parse.quote_from_bytes(absolute, safe="/").encode())
    return b"".join(line + b"\r\n" for line in lines)


class DragSource:
    def __init__(self, disp):
        self.d = disp
        self.root = disp.screen().root
        self.atom = lambda name: disp.intern_atom(name)
        # Unmapped: it only has to exist to own the selection and get replies.
        self.window = self.root.create_window(
            -10, -10, 1, 1, 0, X.CopyFromParent, override_redirect=True
        )
        self.data = b""

    def aware_version(self, window):
        try:
            prop = window.get_full_property(self.atom("XdndAware"), X.AnyPropertyType)
        except error.XError:
            return None
        if prop is None or not len(prop.value):
            return None
        return int(prop.value[0])

    def target_at(self, x, y):
        """The top-most viewable XDND-aware window containing the root point,
        searched from the top of the stack down and into children."""

        def search(parent, px, py):
            try:
                children = parent.query_tree().children
            except error.XError:
                return None
            for child in reversed(children):
                try:
                    attrs = child.get_attributes()
                    geo = child.get_geometry()
                except error.XError:
                    continue
                if attrs.map_state != X.IsViewable or attrs.win_class == X.InputOnly:
                    continue
                if not (geo.x <= px < geo.x + geo.width and geo.y <= py < geo.y + geo.height):
                    continue
                version = self.aware_version(child)
                if version is not None:
                    return child, version
                return search(child, px - geo.x, py - geo.y)
            return None

        return search(self.root, x, y)

    def send(self, target, name, data):
        message = event.ClientMessage(
            window=target,
            client_type=self.atom(name),
            data=(32, (list(data) + [0] * 5)[:5]),
        )
        target.send_event(message, event_mask=X.NoEventMask)
        self.d.flush()

    def answer(self, request):
        """Hands the URIs to whoever asks for the drag's selection."""
        prop = request.property or request.target
        targets = [self.atom("TARGETS"), self.atom(URI_LIST)]
        if request.selection != self.atom("XdndSelection"):
            prop = X.NONE
        elif request.target == self.atom("TARGETS"):
            request.requestor.change_property(prop, Xatom.ATOM, 32, targets)
        elif request.target == self.atom(URI_LIST):
            request.requestor.change_property(prop, self.atom(URI_LIST), 8, self.data)
        else:
            prop = X.NONE
        reply = event.SelectionNotify(
            time=request.time,
            requestor=request.requestor,
            selection=request.selection,
            target=request.target,
            property=prop,
        )
        request.requestor.send_event(reply, event_mask=X.NoEventMask)
        self.d.flush()

    def next_message(self, deadline):
        """The next XDND client message for us, answering selection requests
        meanwhile; None at the deadline."""
        while time.monotonic() < deadline:
            if not self.d.pending_events():
                time.sleep(0.005)
                continue
            ev = self.d.next_event()
            if ev.type == X.SelectionRequest:
                self.answer(ev)
            elif ev.type == X.ClientMessage:
                return ev
        return None

    def drop(self, x, y, paths, timeout):
        self.data = uri_list(paths)
        found = self.target_at(x, y)
        if found is None:
            return 4, {"result": "no-target"}
        target, their_version = found
        version = min(VERSION, their_version)
        self.window.set_selection_owner(self.atom("XdndSelection"), X.CurrentTime)
        self.d.flush()
        me = self.window.id
        deadline = time.monotonic() + timeout
        self.send(target, "XdndEnter", [me, version << 24, self.atom(URI_LIST)])
        self.send(
            target,
            "XdndPosition",
            [me, 0, (x << 16) | y, X.CurrentTime, self.atom("XdndActionCopy")],
        )
        info = {"target": hex(target.id), "version": version}
        while True:
            msg = self.next_message(deadline)
            if msg is None:
                self.send(target, "XdndLeave", [me])
                return 5, dict(info, result="timeout", waiting="XdndStatus")
            if msg.client_type == self.atom("XdndStatus"):
                break
        if not msg.data[1][1] & 1:
            self.send(target, "XdndLeave", [me])
            return 3, dict(info, result="refused")
        self.send(target, "XdndDrop", [me, 0, X.CurrentTime])
        info["dropped_at"] = time.time()
        while True:
            msg = self.next_message(deadline)
            if msg is None:
                return 5, dict(info, result="timeout", waiting="XdndFinished")
            if msg.client_type == self.atom("XdndFinished"):
                return 0, dict(info, result="dropped")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--timeout", type=float, default=10.0)
    parser.add_argument("x", type=int)
    parser.add_argument("y", type=int)
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args()
    disp = display.Display()
    try:
        code, info = DragSource(disp).drop(args.x, args.y, args.paths, args.timeout)
    finally:
        disp.close()
    print(json.dumps(info))
    return code


if __name__ == "__main__":
    sys.exit(main())
