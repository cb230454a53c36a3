#!/usr/bin/python3
"""Prints the id (0x...) of the top-level window that process PID shows
on $DISPLAY, so that tc_plot_window.sh can watch Ferret's plot window.

The X server names the process behind each local client through its
X-Resource extension; every window a client creates has an id between
the client's resource base and base + mask.  PID must connect the way
this program does (same display, same host): when the server names this
program but not PID, PID has no connection there any more.

Exit status: 0 with the id printed; 1 when PID has no window on the
display (none made, or destroyed, or its connection killed); 2 when the
server cannot tell (no extension, a client that is not local, no
display).  The reason goes to stderr.
"""

import argparse
import os
import sys

from Xlib import display, error
from Xlib.ext import res

NO_WINDOW, CANNOT_TELL = 1, 2


class NotFound(Exception):
    def __init__(self, status, reason):
        super().__init__(reason)
        self.status = status


def client_of(disp, pid):
    """Resource base and mask of the client that process pid opened."""
    if not disp.has_extension("X-Resource"):
        raise NotFound(CANNOT_TELL, "the X server has no X-Resource extension")
    ids = disp.res_query_client_ids([{"client": 0, "mask": res.LocalClientPIDMask}])
    pids = {entry.spec.client: list(entry.value) for entry in ids.ids
            if entry.spec.mask == res.LocalClientPIDMask}
    bases = [base for base, value in pids.items() if value == [pid]]
    if not bases:
        if [os.getpid()] not in pids.values():
            raise NotFound(CANNOT_TELL, "the X server does not name this program's process")
        raise NotFound(NO_WINDOW, f"process {pid} is no X client of this display")
    masks = {c.resource_base: c.resource_mask for c in disp.res_query_clients().clients}
    if bases[0] not in masks:
        raise NotFound(NO_WINDOW, f"process {pid} left the display")
    return bases[0], masks[bases[0]]


def top_window(disp, base, mask):
    """The client's first window from the root down, breadth first, so
    that a window manager's frame around it is passed through."""
    level = [disp.screen(n).root for n in range(disp.screen_count())]
    while level:
        below = []
        for window in level:
            try:
                children = window.query_tree().children
            except error.BadWindow:
                continue  # went away while we looked
            for child in children:
                if (child.id & ~mask) == base:
                    return child.id
                below.append(child)
        level = below
    raise NotFound(NO_WINDOW, "the process has no window")


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n", maxsplit=1)[0],
        epilog="Exit status 0: found; 1: no window; 2: cannot tell.")
    parser.add_argument("pid", type=int, help="process id of the X client")
    args = parser.parse_args()
    try:
        disp = display.Display()
        base, mask = client_of(disp, args.pid)
        print(f"0x{top_window(disp, base, mask):x}")
    except NotFound as problem:
        print(f"tc_find_window.py: {problem}", file=sys.stderr)
        return problem.status
    except (error.DisplayError, error.ConnectionClosedError, error.XError) as problem:
        print(f"tc_find_window.py: {problem}", file=sys.stderr)
        return CANNOT_TELL
    return 0


if __name__ == "__main__":
    sys.exit(main())
