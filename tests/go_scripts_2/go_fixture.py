"""Shared pieces of the go-script tests: a drive root made by install.sh,
command files written as the program writes them for time series, line
drawings and derived products, and checks on the pictures."""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from drive_root import BLANK_FILL, REPO, jpeg_size, ppm_colours  # noqa: E402,F401
from drive_root import DriveRoot as InstalledDriveRoot  # noqa: E402
from drive_root import postscript_colours as metafile_colours  # noqa: E402,F401

SAMPLE = os.path.join(REPO, "installation", "sampledata", "make_sample_data.py")
CONVERT = "/usr/bin/convert"   # ImageMagick's own, by its full path


def data_cache():
    """The sample data, built once into $TC_TEST_DATA_CACHE (or a directory
    under /tmp) and shared by every drive root of the tests."""
    cache = os.environ.get("TC_TEST_DATA_CACHE") or os.path.join(
        tempfile.gettempdir(), "tc_go_scripts_2_data")
    subprocess.run(["/usr/bin/python3", SAMPLE, cache], check=True, capture_output=True)
    return cache


class DriveRoot(InstalledDriveRoot):
    """A temporary drive root with everything installed by install.sh and
    the sample data linked in from the cache.  Its batch scripts run
    headless: without DISPLAY."""

    def __init__(self):
        super().__init__(prefix="tc_go2_", data_dir=data_cache(), unset=("DISPLAY",))

    def run(self, script, *args, timeout=120):
        return super().run(script, *args, timeout=timeout)

    def render(self, kind, lines, slot=1, jpg=True):
        """Writes the Create JPG command file of `kind` (tim, lin, pro) with
        the given lines between the frame's first lines and its last, runs
        tcferret.bat and, with `jpg`, the two conversion steps.  Returns
        (seconds for Ferret, the JPG's path or else the metafile's, Ferret's
        log)."""
        name = f"{kind}{slot}"
        for old in (f"meta{name}", f"{name}.ps", f"{name}.jpg"):
            if os.path.exists(self.tmp_file(old)):
                os.remove(self.tmp_file(old))
        text = [" cancel mode journal", f"set mode metafile meta{name}", *lines, " ppl clsplt"]
        with open(self.tmp_file(f"tcferretin{name}.txt"), "w") as f:
            f.write("\n".join(text) + "\n")
        result, seconds = self.run("tcferret.bat", f"/cygdrive/c/tidecharter/tmp/tcferretin{name}.txt")
        if result.returncode != 0:
            raise AssertionError(f"tcferret.bat failed: {result.stderr}")
        with open(self.tmp_file("tcferret.log"), errors="replace") as f:
            log = f.read()
        if not jpg:
            return seconds, self.tmp_file(f"meta{name}"), log
        for step in ("tcMeta2PS.bat", "tcPS2jpg.bat"):
            result, _ = self.run(step, name)
            if result.returncode != 0:
                raise AssertionError(f"{step} failed: {result.stderr}")
        return seconds, self.tmp_file(f"{name}.jpg"), log


def ferret(drive, commands, data_dir=None, timeout=120):
    """Runs Ferret headless on `commands` with the installed go scripts
    (and `data_dir` searched first for data); returns its output."""
    data = (data_dir + " " if data_dir else "") + os.path.join(drive.home, "data")
    return ferret_with(drive.go, data, commands, drive.environment(), timeout)


def ferret_with(go_dirs, data_dirs, commands, env=None, timeout=120):
    """Runs Ferret headless on `commands`, the given directories (blank
    separated) searched first for go scripts and data; returns its output."""
    script = (". /usr/share/ferret-vis/bin/ferret_paths 2>/dev/null; "
              'FER_GO="$1 $FER_GO"; FER_DATA="$2 $FER_DATA"; export FER_GO FER_DATA; '
              "exec /usr/bin/python3 -c 'import sys, pyferret; pyferret.init(sys.argv[1:], True)' "
              "-nodisplay -nojnl -quiet")
    result = subprocess.run(["/bin/sh", "-c", script, "sh", go_dirs, data_dirs],
                            input=commands + "\nquit\n", capture_output=True, text=True,
                            env=env, timeout=timeout)
    return result.stdout + result.stderr


# ---------------------------------------------------------------- lines

def quoted(text, width=None):
    return '"' + (text if width is None else text.ljust(width)) + '"'


def ts_go_line(script, a, b, s, n, w, e, upper=None, lower=None, fill=BLANK_FILL):
    """The time-series go line: fixed layout, coordinates back to back."""
    line = f"go {script} {float(a):5.1f} {float(b):5.1f} "
    if upper is not None:
        line += f"{upper:4d} {lower:4d} "
    return line + f"{s:8.2f}{n:8.2f}{w:8.2f}{e:8.2f} " + fill.ljust(44)


def ts_label(x, y, text):
    return f"label {x:7.2f},{y:7.1f},0,0,0.14 {text}"


def ts_positions(group, a, b, upper=0, lower=0, w=0.0, e=0.0):
    """(centre, left, right, title y, subtitle y) of the time-series labels."""
    if group == "zt":
        d = lower - upper
        centre = a + 0.5 * (b - a)
        left, right = a + 0.5 * (centre - a), centre + 0.5 * (b - centre)
        ty, sy = upper - 0.0933 * d, upper - 0.0266 * d
    else:
        if w > e:
            e += 360.0
        d = b - a
        centre = w + 0.5 * (e - w)
        left, right = w + 0.5 * (centre - w), centre + 0.5 * (e - centre)
        ty, sy = b + 0.0933 * d, b + 0.0266 * d
    if centre < 2.0:
        centre = 1.0
    return centre, left, right, ty, sy


def list_directed(script, *items, fill=None):
    """A list-directed go line: one leading blank, numbers set off by blanks."""
    words = []
    for v in items:
        words.append(f"{v:.1f}" if isinstance(v, float) else str(v))
    line = f" go {script} " + "".join(" " + w for w in words)
    return line + (" " + fill.ljust(44) if fill is not None else "")


def line_labels(pressure, time_text, lat_text, lon_text, title=None, place=None):
    """The line drawing's page labels; each text without quotes or @C016."""
    lines = []
    if title:
        lines.append(f"label/nouser 4.10,6.10,0,0,0.15 {quoted(title)}")
    for y, text in pressure + time_text + lat_text + lon_text:
        lines.append(f"label/nouser 7.05,{y},0,0,0.15 \"@C016{text}\"")
    if place:
        lines.append(f"label/nouser 2.50,0.10,0,0,0.15 \"@C016{place.ljust(34)}\"")
    return lines


def product_label(x, y, text, left=False):
    return f"label {x:6.2f},{y:6.2f}{',-1,0,0.17 ' if left else ',0,0,0.17 '}{quoted(text)}"


def product_geometry(s, n, w, e, single=True):
    if w > e:
        e += 360.0
    dlon, dlat = e - w, n - s
    ratio = dlat / dlon
    f1, f2 = (0.099, 0.027) if ratio < 0.5 else (0.0963, 0.0356) if ratio < 2.0 else (0.065, 0.015)
    if single:
        f1, f2 = f1 * 1.6, f2 * 1.6
    return w + 0.5 * dlon, n + dlat * f1, n + dlat * f2, e


# --------------------------------------------------------------- pictures

def picture_colours(jpg):
    """Colours of the JPG decoded and shrunk to 200 pixels across (nearest
    neighbour, so no new colours are mixed in).  Raises when the file is
    not a decodable JPG."""
    return ppm_colours(subprocess.run([CONVERT, jpg, "-filter", "point", "-resize", "200x",
                                       "-colors", "256", "-depth", "8", "ppm:-"],
                                      capture_output=True, check=True).stdout)
