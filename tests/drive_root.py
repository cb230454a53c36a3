"""The drive root and picture checks that the Python tests of the outside
programs share: a temporary drive root laid out by install.sh, batch
scripts run the way the program runs them, and the colours and size of
the pictures they leave."""

import os
import shutil
import subprocess
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
INSTALL = os.path.join(REPO, "installation", "install.sh")
BLANK_FILL = " " * 44


class DriveRoot:
    """A temporary drive root with everything installed.  The data files
    of `data_dir` (a directory of sample data built once and shared) are
    linked in; without one, install.sh builds the sample data itself.
    Batch scripts run without the variables named in `unset`."""

    def __init__(self, prefix="tc_drive_", data_dir=None, unset=()):
        self.path = tempfile.mkdtemp(prefix=prefix)
        self.unset = tuple(unset)
        data = os.path.join(self.path, "tidecharter", "data")
        if data_dir and os.path.isdir(data_dir) and os.listdir(data_dir):
            os.makedirs(data)
            for name in os.listdir(data_dir):
                if name.endswith(".nc"):
                    os.symlink(os.path.join(data_dir, name), os.path.join(data, name))
        result = subprocess.run(["sh", INSTALL, "--display", "0", self.path],
                                capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError("install.sh failed:\n" + result.stdout + result.stderr)
        self.install_output = result.stdout
        self.home = os.path.join(self.path, "tidecharter")
        self.bin = os.path.join(self.home, "bin")
        self.tmp = os.path.join(self.home, "tmp")
        self.go = os.path.join(self.home, "ferret", "TMAP", "go")

    def cleanup(self):
        shutil.rmtree(self.path, ignore_errors=True)

    def environment(self, env=None, unset=()):
        environment = dict(os.environ)
        environment["TIDECHARTER_DRIVE_C"] = self.path
        if env:
            environment.update(env)
        for name in self.unset + tuple(unset):
            if not env or name not in env:
                environment.pop(name, None)
        return environment

    def run(self, script, *args, env=None, unset=(), timeout=60):
        """Runs a batch script the way the program does: sh, its own
        session, the arguments as given.  Returns the result and the
        seconds it took."""
        started = time.monotonic()
        result = subprocess.run(["/bin/sh", os.path.join(self.bin, script), *args],
                                capture_output=True, text=True,
                                env=self.environment(env, unset),
                                timeout=timeout, start_new_session=True)
        return result, time.monotonic() - started

    def tmp_file(self, name):
        return os.path.join(self.tmp, name)


# What the tests learn of processes, all from /proc.

def processes(where):
    """Pids of the running processes for which where(pid) holds; a process
    that ends while it is looked at is left out."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if where(pid):
                found.append(int(pid))
        except OSError:
            pass
    return found


def command_line(pid):
    """A process's arguments, as bytes."""
    with open(f"/proc/{pid}/cmdline", "rb") as f:
        return f.read().split(b"\0")


def status(pid):
    """A process's command name, state letter and process group; raises
    OSError once it is gone."""
    with open(f"/proc/{pid}/stat") as f:
        stat = f.read()
    state, _parent, group = stat.rsplit(")", 1)[1].split()[:3]
    return stat[stat.index("(") + 1:stat.rindex(")")], state, int(group)


def running(pid):
    """True while the process exists and is not a zombie awaiting its
    parent."""
    try:
        return status(pid)[1] != "Z"
    except OSError:
        return False


def working_directory(pid):
    return os.readlink(f"/proc/{pid}/cwd")


def jpeg_size(path):
    """Width and height from a JPEG's frame header; raises for anything
    that is not a JPEG."""
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


def ppm_colours(ppm):
    """Distinct colours of a binary PPM and the share of the commonest."""
    # P6, width, height, maximum, each after blanks or comment lines, then
    # one blank and the pixels.
    fields, pos = [], 0
    while len(fields) < 4:
        while ppm[pos:pos + 1].isspace():
            pos += 1
        if ppm[pos:pos + 1] == b"#":
            pos = ppm.index(b"\n", pos) + 1
            continue
        end = pos
        while not ppm[end:end + 1].isspace():
            end += 1
        fields.append(ppm[pos:end])
        pos = end
    if fields[0] != b"P6":
        raise ValueError("not decoded to a picture")
    width, height = int(fields[1]), int(fields[2])
    pixels = ppm[pos + 1:pos + 1 + width * height * 3]
    counts = {}
    for k in range(0, len(pixels), 3):
        key = pixels[k:k + 3]
        counts[key] = counts.get(key, 0) + 1
    return len(counts), max(counts.values()) / (width * height)


def postscript_colours(ps_path):
    """Colours of a PostScript page drawn small by Ghostscript."""
    with open(ps_path, "rb") as f:
        if f.read(2) != b"%!":
            raise ValueError(f"{ps_path} is no PostScript file")
    return ppm_colours(subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE",
                                       "-sDEVICE=ppmraw", "-r20", "-sOutputFile=-", ps_path],
                                      capture_output=True, check=True).stdout)
