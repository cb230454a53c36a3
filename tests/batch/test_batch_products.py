#!/usr/bin/python3
"""tidecharter --batch: the request file's faults, the example bulletin
drawn end to end in every kind and format, and the pictures' data, in a
drive root of its own."""

import contextlib
import fcntl
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import netCDF4
import numpy as np

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from drive_root import REPO, DriveRoot, ppm_colours, processes, working_directory  # noqa: E402

PROGRAM = os.environ.get("TC_PROGRAM", os.path.join(REPO, "build", "tidecharter"))
EXAMPLE = os.path.join(REPO, "installation", "examples", "bulletin.ini")
GOLDEN_MAP = os.path.join(REPO, "tests", "plots_map_ver_pro", "golden", "map_salinity_plot.txt")
MAGIC = {".jpg": b"\xff\xd8", ".png": b"\x89PNG", ".pdf": b"%PDF", ".ps": b"%!"}


def sections(text):
    """The example's sections by name, each as its key lines."""
    found, name = {}, None
    for line in text.splitlines():
        header = re.match(r"\[(.+)\]$", line.strip())
        if header:
            name = header.group(1)
            found[name] = []
        elif name and "=" in line and not line.lstrip().startswith(";"):
            found[name].append(line.strip())
    return found


def colours(path):
    """Distinct colours of the picture, and the share of the commonest."""
    if path.endswith((".pdf", ".ps")):
        command = ["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=ppmraw", "-r20",
                   "-sOutputFile=-", path]
    else:
        command = ["/usr/bin/convert", path, "-resize", "300x300", "ppm:-"]
    return ppm_colours(subprocess.run(command, capture_output=True, check=True).stdout)


class BatchProducts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.drive = DriveRoot(prefix="tc_batch_", data_dir=os.environ.get("TC_TEST_DATA_CACHE"),
                              unset=("DISPLAY", "WAYLAND_DISPLAY"))
        cls.work = tempfile.mkdtemp(prefix="tc_batch_work_")

    @classmethod
    def tearDownClass(cls):
        cls.drive.cleanup()
        shutil.rmtree(cls.work, ignore_errors=True)

    def batch(self, *args, tmpdir=None):
        env = self.drive.environment()
        if tmpdir:
            env["TMPDIR"] = tmpdir
        return subprocess.run([PROGRAM, *args], capture_output=True, text=True,
                              env=env, timeout=600, cwd=self.work)

    def write(self, name, text):
        path = os.path.join(self.work, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def test_request_file_faults(self):
        # Faults of the whole file: nothing is drawn.
        self.write("binary.ini", "[a]\nkind = map\x00\n")
        self.write("prose.ini", "This is a letter, not a list of pictures.\n")
        for name, said in (("missing.ini", "missing.ini: cannot be read: No such file"),
                           ("binary.ini", "binary.ini: not an INI file"),
                           ("prose.ini", "prose.ini: not an INI file: line 1 is neither")):
            result = self.batch("--batch", name, "--check")
            self.assertEqual(result.returncode, 1, name)
            self.assertIn(said, result.stderr)
            self.assertNotIn("would draw", result.stdout)
        self.assertEqual(self.batch("--batch", "x.ini", "--colour").returncode, 2)

        # Faults of single sections: those are refused, each message naming
        # the file, section and key and what would do; the others go on.
        self.write("faulty.ini", """
[good]
kind = map
start = latest
output = good.png
[empty]
[twice]
kind = map
output = a.jpg
[twice]
kind = map
output = b.jpg
[unknown-key]
kind = map
colour = red
output = c.jpg
[key-of-another-kind]
kind = map
direction = east-west
output = d.jpg
[bad-kind]
kind = globe
output = e.jpg
[bad-region]
kind = map
region = 60S-25N
output = f.jpg
[bad-month]
kind = map
start = 2008-13
output = g.jpg
[bad-output]
kind = map
output = h.tif
[bad-placeholder]
kind = map
output = map_{yy}.jpg
[no-such-property]
kind = map
property = chlorophyll
output = i.jpg
[ambiguous-property]
kind = map
property = dynamic
output = j.jpg
[pressure-not-offered]
kind = map
pressure = 0-750m
output = k.jpg
[beyond-the-years]
kind = map
start = 2016-01
output = l.jpg
[section-along-two-longitudes]
kind = section
region = 20S-20N 140W-130W
output = m.jpg
[shared-a]
kind = map
output = shared.png
[shared-b]
kind = product
output = shared.pdf
[months-of-a-series]
kind = time series
months = 2008-01..2008-03
output = s{yyyy}{mm}.png
[months-of-a-curve]
kind = product
property = argo warm
months = 2008-01..2008-03
output = w{yyyy}{mm}.png
[months-reversed]
kind = map
months = 2008-03..2008-01
output = r{yyyy}{mm}.png
[months-beyond-the-data]
kind = map
months = 2008-06..2008-10
output = beyond.gif
[months-and-start]
kind = map
months = 2008-01..2008-03
start = 2008-01
output = x{yyyy}{mm}.png
[months-into-one-picture]
kind = map
months = 2008-01..2008-03
output = one.png
[animation-without-months]
kind = map
output = y.gif
""")
        faulty = "faulty.ini"
        result = self.batch("--batch", faulty, "--check")
        self.assertEqual(result.returncode, 1)
        expected = {
            "empty": "empty section",
            "twice": "the section appears more than once (lines 7 and 10)",
            "unknown-key": 'unknown key "colour"; a map takes kind, property, pressure',
            "key-of-another-kind": '"direction" is not a key of a map',
            "bad-kind": 'kind: "globe" is not a kind; one of map, section, time series, line, product',
            "bad-region": 'region: "60S-25N" is not a region; south-north west-east',
            "bad-month": 'start: "2008-13" is not a month; YYYY-MM, latest or latest-N',
            "bad-output": "the extension picks the format: .jpg, .png, .pdf or .ps, .gif or .mp4 for an animation",
            "bad-placeholder": '"{yy}" is not a placeholder; {yyyy}, {mm} or {mon}',
            "no-such-property": 'property: "chlorophyll" matches no item; one of Temperature - Argo data',
            "ambiguous-property": 'property: "dynamic" matches more than one item: Dynamic height - Argo data, '
                                  "Dynamic height with Geostrophic velocity - Argo data",
            "pressure-not-offered": "pressure: \"0-750m\" is not a pressure; P or U-L in dbar",
            "beyond-the-years": "start: Jan 2016 is not a month of the dialog, Jan 2004 to Dec 2015",
            "section-along-two-longitudes": "a north-south section runs along one longitude",
            "shared-a": "output: shared.png and shared.pdf of [shared-b] would share shared.jnl",
            "months-of-a-series": "months: a time series has time on an axis, so there is no month to step through",
            "months-of-a-curve": "months: this plot has time on an axis",
            "months-reversed": "Input error: Please enter End date either equal to or greater than Start date.",
            "months-beyond-the-data": "Input out of range: Argo grid current through Aug2008",
            "months-and-start": "months and start or end: give months alone, or start and end",
            "months-into-one-picture": "one file per month needs {yyyy} and {mm} or {mon} in its name",
            "animation-without-months": "an animation needs months = FIRST..LAST",
        }
        for name, said in expected.items():
            self.assertIn(f"{faulty} [{name}]: ", result.stderr)
            self.assertIn(said, result.stderr, name)
        self.assertIn(f"{faulty} [good]: would draw good.png: go fer_temp_map 56 56 ", result.stdout)
        self.assertIn("1 of 25 pictures would be drawn", result.stdout)
        # Without ffmpeg an animation is refused, naming the Debian package.
        self.write("animation.ini", "[film]\nkind = map\nmonths = 2008-01..2008-03\noutput = film.mp4\n")
        env = self.drive.environment({"TC_FFMPEG": os.path.join(self.work, "no-ffmpeg")})
        result = subprocess.run([PROGRAM, "--batch", "animation.ini", "--check"], capture_output=True, text=True,
                                env=env, timeout=600, cwd=self.work)
        self.assertIn("animation.ini [film]: output: film.mp4: an animation needs ffmpeg, which is not installed; "
                      "install the Debian package ffmpeg", result.stderr)

        # A directory that cannot be made stops the run before anything.
        blocker = self.write("blocker", "a file, not a directory\n")
        result = self.batch("--batch", EXAMPLE, "--out", os.path.join(blocker, "products"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot write pictures in", result.stderr)
        self.assertEqual(os.path.getsize(blocker), 24)

        # Hostile names. A line break in the request file's path, --out or
        # an output would start a Ferret command (spawn) in the command
        # file's heading; an output may not lead out of the output
        # directory. Nothing runs, nothing is written outside, each section
        # is refused by name.
        # Ferret works in a directory of its own in TMPDIR: a spawned
        # command that got through would leave PWN there.
        tmpdir = tempfile.mkdtemp(dir=self.work)
        marker = os.path.join(tmpdir, "PWN")
        spawn = "\nspawn cd .. && touch PWN #\n"
        outside = tempfile.mkdtemp(dir=self.work)
        out = os.path.join(self.work, "hostile_out")
        os.makedirs(out)
        os.symlink(outside, os.path.join(out, "link"))
        hostile = self.write("hostile.ini", f"""
[up]
kind = map
output = sub/../../up.ps
[absolute]
kind = map
output = {outside}/absolute.ps
[through-link]
kind = map
output = link/deeper/x.ps
[carriage-return]
kind = map
output = a\rspawn cd .. && touch PWN\rx.ps
[inside]
kind = map
output = sub/deeper/inside.ps
[land]
kind = map
region = 28S-22S 125E-135E
output = land.ps
""")
        result = self.batch("--batch", hostile, "--out", out, tmpdir=tmpdir)
        self.assertEqual(result.returncode, 1)
        for name, said in (("up", 'without ".."'), ("absolute", "not an absolute path"),
                           ("through-link", "leads out of the output directory"),
                           ("carriage-return", "holds a control character")):
            self.assertIn(f"hostile.ini [{name}]: ", result.stderr)
            self.assertIn(said, result.stderr, name)
        # An empty frame is kept, but is not a picture written.
        self.assertIn("hostile.ini [land]: no data: No Argo data in this region", result.stderr)
        self.assertTrue(os.path.exists(os.path.join(out, "land.ps")))
        self.assertIn("1 of 6 pictures written", result.stdout)
        self.assertTrue(os.path.exists(os.path.join(out, "sub", "deeper", "inside.ps")))
        self.assertEqual(os.listdir(outside), [])
        self.assertFalse(os.path.exists(os.path.join(self.work, "up.ps")))
        renamed = self.write("req" + spawn + ".ini", "[good]\nkind = map\noutput = good.ps\n")
        for args in (("--batch", renamed, "--out", out), ("--batch", hostile, "--out", out + spawn)):
            result = self.batch(*args, tmpdir=tmpdir)
            self.assertEqual(result.returncode, 1)
            self.assertIn("holds a control character", result.stderr)
        self.assertIn("0 of", self.batch("--batch", renamed, "--out", out, tmpdir=tmpdir).stdout)
        self.assertFalse(os.path.exists(out + spawn))
        self.assertFalse(os.path.exists(marker))

    def test_example_bulletin(self):
        with open(EXAMPLE) as f:
            example = f.read()
        found = sections(example)
        # The example draws each kind in some formats; these add the others,
        # so that every kind is drawn in all four, and one request that its
        # dialog refuses.
        extra = {"salinity-map": [".ps"], "temperature-section-140W": [".png", ".pdf"],
                 "temperature-hovmoller": [".pdf", ".ps"], "guam-temperature-line": [".jpg", ".ps"],
                 "depth20": [".pdf", ".ps"]}
        text = example
        for name, formats in extra.items():
            keys = [k for k in found[name] if not k.startswith("output")]
            for fmt in formats:
                text += f"\n[{name}{fmt}]\n" + "\n".join(keys) + f"\noutput = more/{name}_{fmt[1:]}{fmt}\n"
        text += "\n[refused]\nkind = map\nstart = 2008-12\noutput = refused.jpg\n"
        request = self.write("bulletin.ini", text)
        out = os.path.join(self.work, "products")

        result = self.batch("--batch", "bulletin.ini", "--out", "products")
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertEqual(result.stderr.strip(),
                         "bulletin.ini [refused]: Input out of range: Argo grid current through Aug2008")
        self.assertIn("bulletin.ini: 20 of 21 pictures written", result.stdout)

        pictures = sorted(os.path.join(d, f) for d, _, files in os.walk(out)
                          for f in files if not f.endswith(".jnl"))
        self.assertEqual(len(pictures), 20, pictures)
        kinds_formats = set()
        for picture in pictures:
            with open(picture, "rb") as f:
                self.assertEqual(f.read(4)[:len(MAGIC[os.path.splitext(picture)[1]])],
                                 MAGIC[os.path.splitext(picture)[1]], picture)
            # Blank is one colour; a line drawing has three or more.
            count, commonest = colours(picture)
            self.assertGreaterEqual(count, 3, picture)
            self.assertLess(commonest, 0.97, picture)
            with open(os.path.splitext(picture)[0] + ".jnl") as f:
                journal = f.read()
            self.assertIn(f"! request: {request} [", journal)
            self.assertIn("! data end dates: Argo Aug2008, Aviso Aug2008, Reynolds Aug2008", journal)
            self.assertIn("! program: Tidecharter Version 1.0 Sample Jan 2004 - Aug 2008", journal)
            name = re.sub(r"\.\w+$", "", re.search(r"^! request: .* \[(.+)\]$", journal, re.M).group(1))
            kinds_formats.add((next(k for k in found[name] if k.startswith("kind")),
                               os.path.splitext(picture)[1]))
        self.assertEqual(len(kinds_formats), 20, kinds_formats)
        leftovers = [f for _, _, files in os.walk(out) for f in files if f.startswith(".")]
        self.assertEqual(leftovers, [])
        self.assertFalse(os.path.exists(os.path.join(out, "refused.jpg")))

        # The map view's worked example holds the dialog's own go line.
        with open(os.path.join(out, "maps", "salinity_200806.jnl")) as f:
            drawn = [line for line in f if line.lstrip().startswith("go ")]
        with open(GOLDEN_MAP) as f:
            dialog = [line for line in f if line.lstrip().startswith("go ")]
        self.assertEqual(drawn, dialog)

        # Nothing of the program's own: slots, outputs, run log.
        self.assertEqual([f for f in os.listdir(self.drive.tmp)
                          if f.startswith(("tcferretin", "meta", "tidecharter.log"))], [])

        # The heading's command draws it again as written, in the host's
        # paths, into the PostScript it names.
        with open(os.path.join(out, "maps", "salinity_200806.jnl")) as f:
            again = re.search(r"^! draw it again: (.+) \(PostScript into (\S+), named", f.read(), re.M)
        self.assertEqual(again.group(2), self.drive.tmp)
        self.assertEqual(subprocess.run(["sh", "-c", again.group(1)], env=self.drive.environment(),
                                        capture_output=True, timeout=300).returncode, 0)
        shutil.move(os.path.join(self.drive.tmp, "metamap1"), os.path.join(self.work, "again.ps"))
        self.assertGreater(colours(os.path.join(self.work, "again.ps"))[0], 2)

    def test_interrupted_run_leaves_nothing_behind(self):
        # Interrupted once a picture is out: the pictures being drawn end,
        # no partial file or working directory stays, and the run ends as
        # interrupted.
        tmp = tempfile.mkdtemp(prefix="tc_batch_tmp_", dir=self.work)
        out = os.path.join(self.work, "interrupted")
        run = subprocess.Popen([PROGRAM, "--batch", EXAMPLE, "--out", out], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True, cwd=self.work,
                               env=self.drive.environment({"TMPDIR": tmp}))
        try:
            first = run.stdout.readline()
            self.assertIn(": wrote ", first)
            run.send_signal(signal.SIGINT)
            rest, errors = run.communicate(timeout=60)
        finally:
            run.kill()
        self.assertEqual(run.returncode, -signal.SIGINT, errors)
        self.assertRegex(rest, r"\d+ of 11 pictures written in [\d.]+ s, then interrupted\n$")
        # (Qt may make its runtime directory there too.)
        self.assertEqual([f for f in os.listdir(tmp) if f.startswith(("tidecharter-batch-", "tcbatchplot."))], [])
        files = [f for _, _, found in os.walk(out) for f in found]
        self.assertEqual([f for f in files if f.startswith(".")], [])
        self.assertLess(len(files), 22)
        pictures = sorted(os.path.splitext(f)[0] for f in files if not f.endswith(".jnl"))
        self.assertEqual(pictures, sorted(os.path.splitext(f)[0] for f in files if f.endswith(".jnl")))
        # The Ferrets kept for the run end with it (killed, a large one takes
        # a moment to go), and their sockets.
        deadline = time.monotonic() + 10
        def inside():
            return processes(lambda pid: working_directory(pid).startswith(tmp))
        while inside() and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(inside(), [])
        while os.listdir(os.path.join(tmp, f"tcferret-{os.getuid()}")) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(os.listdir(os.path.join(tmp, f"tcferret-{os.getuid()}")), [])

        # Stopped while it renames the picture and its .jnl into place (a
        # stand-in Ferret gets there quickly), tcBatchPlot.bat leaves both or neither.
        standin = self.write("standin", "#!/bin/sh\nf=$(sed -n 's/^frame.file=\"\\(.*\\)\"$/\\1/p'); echo %! > \"$f\"\n")
        os.chmod(standin, 0o755)
        pair, outcomes = os.path.join(self.work, "pair"), set()
        for attempt in range(40):
            shutil.rmtree(pair, ignore_errors=True)
            os.makedirs(pair)
            plot = subprocess.Popen(["sh", os.path.join(self.drive.bin, "tcBatchPlot.bat"), EXAMPLE,
                                     os.path.join(pair, "p.ps")], start_new_session=True, stderr=subprocess.DEVNULL,
                                    env=self.drive.environment({"TC_PYTHON": standin}))
            while plot.poll() is None and not any(f.endswith(".jnl.partial") for f in os.listdir(pair)):
                pass
            time.sleep(attempt % 5 / 1000)
            with contextlib.suppress(ProcessLookupError):
                os.killpg(plot.pid, signal.SIGTERM)
            plot.wait(30)
            outcomes.add(tuple(sorted(os.listdir(pair))))
        self.assertLessEqual(outcomes, {(), ("p.jnl", "p.ps")})

        # Waiting for the directory's lock, which another process holds, it
        # still ends at an interrupt and leaves nothing. (Started with the
        # signals at their defaults, as the program starts it: a shell that
        # finds SIGINT ignored, as in a background job, cannot trap it.)
        shutil.rmtree(pair)
        os.makedirs(pair)
        held = os.open(pair, os.O_RDONLY)
        self.addCleanup(os.close, held)
        fcntl.flock(held, fcntl.LOCK_EX)
        plot = subprocess.Popen(["sh", os.path.join(self.drive.bin, "tcBatchPlot.bat"), EXAMPLE,
                                 os.path.join(pair, "p.ps")], start_new_session=True, stderr=subprocess.DEVNULL,
                                env=self.drive.environment({"TC_PYTHON": standin}),
                                preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        while len(os.listdir(pair)) < 2:
            self.assertIsNone(plot.poll())
            time.sleep(0.01)
        os.killpg(plot.pid, signal.SIGINT)
        self.assertEqual(plot.wait(10), 1)
        self.assertEqual(os.listdir(pair), [])

    def test_months_as_pictures_command_files_and_an_animation(self):
        self.write("months.ini", """
[film]
kind = map
months = 2008-04..2008-06
speed = 3
output = film/temperature.gif
[sections]
kind = section
months = latest-1..latest
output = section_{yyyy}{mm}.png
[steps]
kind = map
property = salinity
months = 2008-01..latest
output = steps/m{yyyy}{mm}.jnl
""")
        out = os.path.join(self.work, "months")
        result = self.batch("--batch", "months.ini", "--out", "months")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("months.ini: 11 of 11 pictures written", result.stdout)
        self.assertIn("months.ini [film]: wrote months/film/temperature.gif, 3 months at 3 a second", result.stdout)
        self.assertEqual(sorted(os.listdir(os.path.join(out, "film"))), ["temperature.gif"])

        # Three frames that differ, with the same colour key (the right
        # edge of the picture) in each.
        frames = os.path.join(self.work, "frames")
        os.makedirs(frames)
        subprocess.run(["/usr/bin/convert", os.path.join(out, "film", "temperature.gif"), "-coalesce",
                        os.path.join(frames, "f%d.ppm")], check=True)
        self.assertEqual(sorted(os.listdir(frames)), ["f0.ppm", "f1.ppm", "f2.ppm"])
        # Three a second: their delays (hundredths) make one second.
        delays = subprocess.run(["/usr/bin/identify", "-format", "%T ", os.path.join(out, "film", "temperature.gif")],
                                capture_output=True, text=True, check=True).stdout.split()
        self.assertAlmostEqual(sum(map(int, delays)), 100, delta=2)
        def part(name, left, right):
            """Columns left% to right% of a frame."""
            path = os.path.join(frames, name)
            width = int(subprocess.run(["/usr/bin/identify", "-format", "%w", path], capture_output=True,
                                       text=True, check=True).stdout)
            crop = f"{width * (right - left) // 100}x10000+{width * left // 100}+0"
            return subprocess.run(["/usr/bin/convert", path, "-crop", crop, "+repage", "ppm:-"],
                                  capture_output=True, check=True).stdout
        keys = {part(f"f{i}.ppm", 92, 100) for i in range(3)}
        maps = {part(f"f{i}.ppm", 0, 85) for i in range(3)}
        self.assertEqual((len(keys), len(maps)), (1, 3))

        self.assertEqual(sorted(os.listdir(out)), ["film", "section_200807.jnl", "section_200807.png",
                                                   "section_200808.jnl", "section_200808.png", "steps"])
        # The command files alone, each with the levels all months share.
        steps = sorted(os.listdir(os.path.join(out, "steps")))
        self.assertEqual(steps, [f"m2008{m:02d}.jnl" for m in range(1, 9)])
        levels = set()
        for name in steps:
            with open(os.path.join(out, "steps", name)) as f:
                text = f.read()
            shared = re.search(r"^! levels (\(-inf\)\([-\d.]+,[-\d.]+,[\d.]+\)\(inf\))$", text, re.M).group(1)
            month = int(name[5:7])
            self.assertRegex(text, rf"\n go fer_psal_map +{48 + month} {48 + month} .* {re.escape(shared)} *\n")
            levels.add(shared)
        self.assertEqual(len(levels), 1)

    def test_data_files(self):
        out = os.path.join(self.work, "data_out")
        os.makedirs(out)
        with open(os.path.join(out, "not_a_folder"), "w") as f:
            f.write("a file, where a folder would be\n")
        self.write("data.ini", """
[section]
kind = section
region = 60S-65N 140W
pressure = 0-2000
start = 2008-06
output = data/section.nc
[map]
kind = map
output = data/map.csv
[series]
kind = map
region = 10S-10N 160E-160W
months = 2008-06..latest
output = data/series.nc
[land]
kind = map
region = 28S-22S 125E-135E
output = data/land.csv
[up]
kind = map
output = data/../../up.csv
[blocked]
kind = map
output = not_a_folder/x.nc
[month-in-a-series]
kind = map
months = 2008-06..latest
output = s{yyyy}.nc
""")
        result = self.batch("--batch", "data.ini", "--out", out)
        self.assertEqual(result.returncode, 1)
        self.assertIn("data.ini: 3 of 7 pictures written", result.stdout)
        self.assertIn("data.ini [series]: wrote", result.stdout)
        for name, said in (("land", "no data: No Argo data in this region"), ("up", 'without ".."'),
                           ("blocked", "cannot make"), ("month-in-a-series", "has no month in its name")):
            self.assertIn(f"data.ini [{name}]: ", result.stderr)
            self.assertIn(said, result.stderr, name)
        self.assertEqual(sorted(os.listdir(os.path.join(out, "data"))),
                         ["map.csv", "map.jnl", "section.jnl", "section.nc", "series.nc"])
        with open(os.path.join(out, "data", "map.csv")) as f:
            header = f.read(600)
        self.assertIn("# data end dates: Argo Aug2008, Aviso Aug2008, Reynolds Aug2008\n"
                      "# program: Tidecharter Version 1.0 Sample Jan 2004 - Aug 2008\n", header)

        # The section: pressure down, latitude across, as drawn, with its
        # units and fill value, and the values of the data file there.
        data = os.path.join(self.drive.home, "data", "RG_ArgoClim_Temperature.nc")
        with netCDF4.Dataset(os.path.join(out, "data", "section.nc")) as nc, netCDF4.Dataset(data) as d:
            t = nc.variables["temperature"]
            self.assertEqual(t.dimensions, ("pressure", "latitude"))
            self.assertEqual((t.units, nc["pressure"].units, nc["pressure"].positive, nc["latitude"].units),
                             ("degC", "dbar", "down", "degrees_north"))
            self.assertEqual(t._FillValue, np.float32(-1e34))
            i = list(d["LONGITUDE"][:]).index(nc["longitude"][...])
            want = d["ARGO_TEMPERATURE_MEAN"][:, :, i] + d["ARGO_TEMPERATURE_ANOMALY"][53, :, :, i]
            self.assertEqual(list(nc["latitude"][:]), list(d["LATITUDE"][:]))
            self.assertTrue(np.array_equal(t[:].mask, want.mask) and want.mask.any())
            self.assertLess(np.abs(t[:] - want).max(), 1e-5)
        with netCDF4.Dataset(os.path.join(out, "data", "series.nc")) as nc:
            self.assertEqual(nc["temperature"].dimensions, ("time", "latitude", "longitude"))
            dates = netCDF4.num2date(nc["time"][:], nc["time"].units)
            self.assertEqual([(d.year, d.month) for d in dates], [(2008, 6), (2008, 7), (2008, 8)])

        # A full disk: the data cannot be written, and nothing of it is left.
        full = os.path.join(self.work, "full_out")
        result = subprocess.run(["prlimit", "--fsize=40000", PROGRAM, "--batch", "data.ini", "--out", full],
                                capture_output=True, text=True, env=self.drive.environment(), timeout=600,
                                cwd=self.work)
        self.assertIn("data.ini [map]: cannot write", result.stderr)
        self.assertNotIn("map.csv", os.listdir(os.path.join(full, "data")))
        self.assertEqual([f for f in os.listdir(os.path.join(full, "data")) if f.startswith(".")], [])

    def test_argo_data_to_2016_and_a_shallow_pressure(self):
        # Argo data imported alone to January 2016 (on the real levels, 2.5
        # and 10 dbar among them) beside the sample's other data sets.
        sys.path.insert(0, os.path.join(REPO, "tests", "update"))
        import test_import as fixture  # noqa: E402
        fixture.levitus.cache = (fixture.levitus(),)
        drive = DriveRoot(prefix="tc_batch_2016_", data_dir=os.environ.get("TC_TEST_DATA_CACHE"),
                          unset=("DISPLAY", "WAYLAND_DISPLAY"))
        self.addCleanup(drive.cleanup)
        files = []
        for q in fixture.QUANTITIES:
            files.append(os.path.join(self.work, f"RG_ArgoClim_{q.title()}_2019.nc"))
            fixture.rg_file(files[-1], list(range(1, 146)), [q], "A", True)
        done = fixture.run_import("--argo", *files, "--drive-root", drive.path)
        self.assertEqual(done.returncode, 0, done.stderr)

        self.write("to2016.ini", """
[latest-map]
kind = map
start = latest
output = latest.ps
[shallow-map]
kind = map
pressure = 10
start = latest-2
output = shallow.ps
[shallow-range]
kind = time series
property = 1
pressure = 2.5-20
start = 2015-01
end = latest
location = guam
output = range.ps
[after-the-years]
kind = map
start = 2017-01
output = after.ps
[reversed]
kind = map
pressure = 100-10
output = reversed.ps
""")
        result = subprocess.run([PROGRAM, "--batch", "to2016.ini", "--out", "to2016"], capture_output=True,
                                text=True, env=drive.environment(), timeout=600, cwd=self.work)
        self.assertIn("3 of 5 pictures written", result.stdout, result.stderr)
        # The year menus reach 2016, and no further; the dialog's own
        # check of the pressures.
        self.assertIn("to2016.ini [after-the-years]: start: Jan 2017 is not a month of the dialog, "
                      "Jan 2004 to Dec 2016", result.stderr)
        self.assertIn("to2016.ini [reversed]: Input Error: Please re-enter 2) Vertical units", result.stderr)
        out = os.path.join(self.work, "to2016")
        journals = {}
        for name in ("latest", "shallow", "range"):
            with open(os.path.join(out, name + ".jnl")) as f:
                journals[name] = f.read()
            self.assertGreaterEqual(colours(os.path.join(out, name + ".ps"))[0], 3, name)
        self.assertIn("! data end dates: Argo Jan2016, Aviso Aug2008, Reynolds Aug2008", journals["latest"])
        self.assertRegex(journals["latest"], r"go fer_temp_map +145 145 0 0 ")
        self.assertRegex(journals["shallow"], r"go fer_temp_map +143 143 10 10 ")
        self.assertIn("at  10 dbar", journals["shallow"])
        self.assertRegex(journals["range"], r"go fer_temp_time_series +133\.0 +145\.0 +2 +20 ")


if __name__ == "__main__":
    unittest.main(verbosity=2)
