"""Shared pieces of the installation tests: a drive root made by
install.sh, command files written the way the program writes them, and
checks on the pictures the batch scripts leave."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from drive_root import (BLANK_FILL, REPO, command_line, jpeg_size, ppm_colours, processes,  # noqa: E402,F401
                        running, status)
from drive_root import DriveRoot as InstalledDriveRoot  # noqa: E402
from drive_root import postscript_colours as picture_colours  # noqa: E402,F401


class DriveRoot(InstalledDriveRoot):
    """A temporary drive root with everything installed.  The sample data
    is shared through TC_TEST_DATA_CACHE when that names a directory (the
    build takes most of the set-up time); else install.sh builds it."""

    def __init__(self):
        super().__init__(prefix="tc_drive_", data_dir=os.environ.get("TC_TEST_DATA_CACHE"))

    def write_command_file(self, kind, slot, go_line, labels, metafile):
        """Writes tmp/tcferretin<kind><slot>.txt and returns its Cygwin path."""
        name = f"tcferretin{kind}{slot}.txt"
        lines = [" cancel mode journal"]
        if metafile:
            lines.append(f"set mode metafile meta{kind}{slot}")
        lines.append(go_line)
        lines.extend(labels)
        lines.append(" ppl clsplt")
        with open(self.tmp_file(name), "w") as f:
            f.write("\n".join(lines) + "\n")
        return f"/cygdrive/c/tidecharter/tmp/{name}"


def go_line(script, values, fill=BLANK_FILL):
    """A list-directed go line: one leading blank, the script text, the
    numbers set off by blanks, the fill text written in full."""
    items = []
    for v in values:
        items.append(f"{v:.1f}" if isinstance(v, float) else str(v))
    return f" go {script} " + " ".join(f" {i}" for i in items) + " " + fill


def map_labels(title, n, s, w, e, date=None, pressure=None, surface=False):
    """Label lines placed as the map view places them."""
    width = e - w
    height = n - s
    xmid = w + width * 0.5
    x1 = w + (xmid - w) * 0.5
    x3 = xmid + (e - xmid) * 0.5
    ratio = height / width if e > w else 0.5
    if ratio < 0.5:
        t, sub = 0.095, 0.026
    elif ratio < 2:
        t, sub = 0.0833, 0.0266
    else:
        t, sub = 0.065, 0.015
    ytitle = n + height * t
    ysub = n + height * sub
    if surface:
        x1 = xmid
    lines = [f'label {xmid:6.2f},{ytitle:6.2f},0,0,0.17 "{title}"']
    if date:
        lines.append(f'label {x1:6.2f},{ysub:6.2f},0,0,0.17 "{date}"')
    else:
        x3 = xmid
    if pressure:
        lines.append(f'label {x3:6.2f},{ysub:6.2f},0,0,0.17 "{pressure}"')
    return lines


def section_labels(title, a, b, upper, lower, date, position):
    """Label lines placed as the vertical section places them."""
    d = lower - upper
    centre = a + 0.5 * (b - a)
    left = a + 0.5 * (centre - a)
    right = centre + 0.5 * (b - centre)
    ytitle = upper - 0.0933 * d
    ysub = upper - 0.0266 * d
    lines = [f'label {centre:7.2f},{ytitle:7.2f},0,0,0.17 "{title}"']
    if date:
        lines.append(f'label {left:7.2f},{ysub:7.2f},0,0,0.17 "{date}"')
    else:
        right = centre
    lines.append(f'label {right:7.2f},{ysub:7.2f},0,0,0.17 "{position}"')
    return lines
