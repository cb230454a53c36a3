#!/usr/bin/python3
"""The Debian package as a user gets it: unpacked into a temporary root with
dpkg-deb -x, lintian, appstreamcli and desktop-file-validate content with it
(those installed), --version, --help and the manual in agreement, and a first
start with an empty HOME that lays out the drive root and draws a batch
picture with no display."""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from drive_root import ppm_colours  # noqa: E402

VERSION = os.environ.get("TC_VERSION", "1.0")
DESKTOP_ID = os.environ.get("TC_DESKTOP_ID", "org.example.tidecharter")


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, **options)


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="tc_package_")
        package = os.environ.get("TIDECHARTER_PACKAGE")
        if not package:
            packed = run("cpack", "-G", "DEB", "-B", cls.work, cwd=os.environ["TC_BUILD"])
            assert packed.returncode == 0, packed.stdout + packed.stderr
            package = glob.glob(os.path.join(cls.work, "tidecharter_*.deb"))[0]
        cls.package = package
        cls.root = os.path.join(cls.work, "root")
        subprocess.run(["dpkg-deb", "-x", package, cls.root], check=True)
        cls.program = os.path.join(cls.root, "usr", "bin", "tidecharter")
        cls.share = os.path.join(cls.root, "usr", "share")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_debian_and_desktop_checks(self):
        self.assertRegex(os.path.basename(self.package), rf"^tidecharter_{re.escape(VERSION)}_\w+\.deb$")
        # The entry, the metainfo and the icon share the desktop's name.
        entry = os.path.join(self.share, "applications", f"{DESKTOP_ID}.desktop")
        metainfo = os.path.join(self.share, "metainfo", f"{DESKTOP_ID}.metainfo.xml")
        with open(entry) as f:
            self.assertIn(f"\nIcon={DESKTOP_ID}\n", f.read())
        with open(metainfo) as f:
            text = f.read()
        self.assertIn(f"<id>{DESKTOP_ID}</id>", text)
        self.assertIn(f'<release version="{VERSION}"', text)
        for size in (16, 24, 32, 48, 64, 128, 256):
            with open(os.path.join(self.share, f"icons/hicolor/{size}x{size}/apps/{DESKTOP_ID}.png"), "rb") as f:
                header = f.read(24)
            self.assertEqual((header[:4], int.from_bytes(header[16:20], "big")), (b"\x89PNG", size))
        with open(os.path.join(self.share, f"icons/hicolor/scalable/apps/{DESKTOP_ID}.svg")) as f:
            self.assertIn('viewBox="0 0 256 256"', f.read())
        self.assertTrue(os.path.isfile(os.path.join(self.share, "doc", "tidecharter", "copyright")))

        # Debian's and the desktop's own checks, each where installed: any
        # error or warning fails (desktop-file-validate passes its warnings).
        checks = {
            "desktop-file-validate": [entry],
            "appstreamcli": ["validate-tree", "--no-net", self.root],
            "lintian": ["--fail-on", "error,warning", self.package],
        }
        missing = [tool for tool in checks if not shutil.which(tool)]
        for tool, arguments in checks.items():
            if tool in missing:
                continue
            began = time.monotonic()
            # Lintian leaves a file in TMPDIR at every run.
            result = run(tool, *arguments, env=dict(os.environ, TMPDIR=self.work))
            print(f"{tool}: {time.monotonic() - began:.1f} s")
            self.assertEqual(result.returncode, 0, f"{tool}:\n{result.stdout}{result.stderr}")
            if tool == "desktop-file-validate":
                self.assertEqual(result.stdout, "", result.stdout)
        if missing:
            self.skipTest("not installed: " + ", ".join(missing))

    def test_version_help_and_manual_agree(self):
        version = run(self.program, "--version")
        self.assertEqual((version.returncode, version.stdout), (0, f"tidecharter {VERSION}\n"))
        wrong = run(self.program, "--colour")
        self.assertEqual((wrong.returncode, len(wrong.stderr.splitlines())), (2, 1), wrong.stderr)
        self.assertIn("--colour", wrong.stderr)

        usage = run(self.program, "--help")
        self.assertEqual(usage.returncode, 0)
        manual = run("man", "-l", os.path.join(self.share, "man", "man1", "tidecharter.1.gz"),
                     env=dict(os.environ, MANWIDTH="200"))
        self.assertEqual(manual.returncode, 0, manual.stderr)
        self.assertIn(f"Tidecharter {VERSION}", manual.stdout)
        options = re.findall(r"^  (?:-\w, )?(--[a-z]+)", usage.stdout, re.M)
        self.assertEqual(sorted(options), ["--batch", "--check", "--help", "--out", "--version"])
        documented = set(re.findall(r"^ {7}(?:-\w, )?(--[a-z]+)", manual.stdout, re.M))
        self.assertEqual(documented, set(options))
        for said in ("Exit status: 0 when every picture was written (with --check: would be), "
                     "1 otherwise, 2 for a wrong command line.", "(TIDECHARTER_DRIVE_C)"):
            self.assertIn(said, " ".join(usage.stdout.split()))
        flat = " ".join(manual.stdout.split())
        self.assertIn("EXIT STATUS 0 when every picture was written (with --check: would be), "
                      "1 otherwise, 2 for a wrong command line.", flat)
        self.assertIn("TIDECHARTER_DRIVE_C the drive root", flat)
        self.assertIn("SEE ALSO tidecharter-import(1), tidecharter-view(1),", flat)

        # The plot viewer's manual documents the options its usage names.
        usage = run(os.path.join(self.root, "usr", "bin", "tidecharter-view"))
        self.assertEqual(usage.returncode, 2, usage.stderr)
        manual = run("man", "-l", os.path.join(self.share, "man", "man1", "tidecharter-view.1.gz"),
                     env=dict(os.environ, MANWIDTH="200"))
        self.assertEqual(manual.returncode, 0, manual.stderr)
        self.assertEqual(set(re.findall(r"^ {7}(--[a-z]+)", manual.stdout, re.M)),
                         set(re.findall(r"--[a-z]+", usage.stderr)))

        # The importer is on the PATH, and its manual documents its options.
        usage = run(os.path.join(self.root, "usr", "bin", "tidecharter-import"), "--help")
        self.assertEqual(usage.returncode, 0, usage.stderr)
        manual = run("man", "-l", os.path.join(self.share, "man", "man1", "tidecharter-import.1.gz"),
                     env=dict(os.environ, MANWIDTH="200"))
        self.assertEqual(manual.returncode, 0, manual.stderr)
        options = set(re.findall(r"^  (?:-\w, )?(--[a-z-]+)", usage.stdout, re.M))
        self.assertIn("--argo-index", options)
        self.assertEqual(set(re.findall(r"^ {7}(?:-\w, )?(--[a-z-]+)", manual.stdout, re.M)), options)

    def test_first_start_with_an_empty_home(self):
        home = os.path.join(self.work, "home")
        os.makedirs(home)
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "TIDECHARTER_DRIVE_C", "XDG_DATA_HOME")}
        env["HOME"] = home
        request = os.path.join(self.work, "sst.ini")
        with open(request, "w") as f:
            f.write("[sst]\nkind = map\nproperty = sea surface\nstart = latest\noutput = sst.png\n")
        usage = run(self.program, "--help", env=env)
        drive = os.path.join(home, ".local", "share", "tidecharter", "drive_c")
        self.assertIn(f"Drive root: {drive} ", usage.stdout)
        self.assertIn(f"Installation: {os.path.join(self.share, 'tidecharter')}\n", usage.stdout)

        times = []
        for start in ("first", "later", "stopped"):
            if start == "stopped":
                # A set-up stopped half way: the mark stays, a script is missing.
                open(os.path.join(drive, "tidecharter", "install.unfinished"), "w").close()
                os.remove(os.path.join(drive, "tidecharter", "bin", "tcBatchPlot.bat"))
            began = time.monotonic()
            result = run(self.program, "--batch", request, "--out", os.path.join(self.work, start),
                         env=env, timeout=600)
            times.append(time.monotonic() - began)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            self.assertEqual("laying out the drive root" in result.stdout, start != "later", result.stdout)
            picture = os.path.join(self.work, start, "sst.png")
            ppm = subprocess.run(["/usr/bin/convert", picture, "-resize", "300x300", "ppm:-"],
                                 capture_output=True, check=True).stdout
            count, commonest = ppm_colours(ppm)
            self.assertGreaterEqual(count, 3)
            self.assertLess(commonest, 0.97)
        print(f"first start {times[0]:.1f} s, later start {times[1]:.1f} s, completing {times[2]:.1f} s")
        with open(os.path.join(drive, "tidecharter", "installation.txt")) as f:
            self.assertIn(f"source {os.path.join(self.share, 'tidecharter')}\n", f.read())
        with open(os.path.join(drive, "tidecharter", "Help", "README_tdc.txt")) as f:
            help_text = f.read()
        self.assertIn(f"    {drive}/tidecharter/tmp/map1.jpg\n", help_text)
        # Help and --help name the example where the package put it.
        example = os.path.join(self.share, "tidecharter", "examples", "bulletin.ini")
        self.assertTrue(os.path.isfile(example))
        self.assertIn(f"    {example}\n", help_text)
        self.assertIn(f"The example bulletin: {example}\n", usage.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
