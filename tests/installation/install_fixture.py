"""Shared pieces of the installation tests: a drive root made by
install.sh, command files written the way the program writes them, and
checks on the pictures the batch scripts leave."""

import os
import shutil
import subprocess
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
INSTALL = os.path.join(REPO, "installation", "install.sh")
BLANK_FILL = " " * 44


class DriveRoot:
    """A temporary drive root with everything installed.  The sample data
    is built once per process and shared through TC_TEST_DATA_CACHE when
    that names a directory (the build takes most of the set-up time)."""

    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="tc_drive_")
        cache = os.environ.get("TC_TEST_DATA_CACHE")
        data = os.path.join(self.path, "tidecharter", "data")
        if cache and os.path.isdir(cache) and os.listdir(cache):
            os.makedirs(data)
            for name in os.listdir(cache):
                os.symlink(os.path.join(cache, name), os.path.join(data, name))
        result = subprocess.run(["sh", INSTALL, "--display", "0", self.path],
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError("install.sh failed:\n" + result.stdout + result.stderr)
        self.install_output = result.stdout
        self.home = os.path.join(self.path, "tidecharter")
        self.bin = os.path.join(self.home, "bin")
        self.tmp = os.path.join(self.home, "tmp")

    def cleanup(self):
        shutil.rmtree(self.path, ignore_errors=True)

    def run(self, script, *args, env=None, unset=(), timeout=60):
        """Runs a batch script the way the program does: sh, its own
        session, the arguments as given; `unset` names variables to remove
        from the environment."""
        environment = dict(os.environ)
        environment["TIDECHARTER_DRIVE_C"] = self.path
        if env:
            environment.update(env)
        for name in unset:
            environment.pop(name, None)
        started = time.monotonic()
        result = subprocess.run(["/bin/sh", os.path.join(self.bin, script), *args],
                                capture_output=True, text=True, env=environment,
                                timeout=timeout, start_new_session=True)
        return result, time.monotonic() - started

    def tmp_file(self, name):
        return os.path.join(self.tmp, name)

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


def jpeg_size(path):
    """Width and height from a JPEG's frame header."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8":
        raise ValueError(f"{path} is not a JPEG file")
    i = 2
    while i < len(data):
        if data[i] != 0xFF:
            i += 1
            continue
        marker = data[i + 1]
        length = int.from_bytes(data[i + 2:i + 4], "big")
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height = int.from_bytes(data[i + 5:i + 7], "big")
            width = int.from_bytes(data[i + 7:i + 9], "big")
            return width, height
        i += 2 + length
    raise ValueError(f"{path} has no frame header")


def picture_colours(ps_path):
    """Distinct colours of a PostScript page rendered small by Ghostscript,
    and the share of the most common one."""
    with tempfile.NamedTemporaryFile(suffix=".ppm") as out:
        subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=ppmraw",
                        "-r20", f"-sOutputFile={out.name}", ps_path], check=True)
        raw = out.read()
    # P6, width, height, maximum, each after blanks or comment lines, then
    # one blank and the pixels.
    fields, pos = [], 0
    while len(fields) < 4:
        while raw[pos:pos + 1].isspace():
            pos += 1
        if raw[pos:pos + 1] == b"#":
            pos = raw.index(b"\n", pos) + 1
            continue
        end = pos
        while not raw[end:end + 1].isspace():
            end += 1
        fields.append(raw[pos:end])
        pos = end
    width, height = int(fields[1]), int(fields[2])
    pixels = raw[pos + 1: pos + 1 + width * height * 3]
    counts = {}
    for k in range(0, len(pixels), 3):
        key = pixels[k:k + 3]
        counts[key] = counts.get(key, 0) + 1
    return len(counts), max(counts.values()) / (width * height)
