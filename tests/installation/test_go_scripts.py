#!/usr/bin/python3
"""Every map-view and vertical-section go script, run headless through
tcferret.bat with a metafile line, then tcMeta2PS.bat and tcPS2jpg.bat, on
the sample data: each must leave an upright JPG of a real picture and a
Ferret log without errors.

usage: test_go_scripts.py [--gallery DIR] [--only SUBSTRING] [--skip SUBSTRING]
  --gallery DIR  also keep one small JPG per script family in DIR
  --only TEXT    run only the scripts whose name contains TEXT
  --skip TEXT    leave out the scripts whose name contains TEXT
Prints the render time of every script and of each family."""

import argparse
import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from install_fixture import (DriveRoot, go_line, jpeg_size, map_labels,  # noqa: E402
                             picture_colours, section_labels)

S, N, W, E = -60.0, 25.0, 130.0, 250.0
MAP_DATE = "Jun 2008"
AVG_TITLE = "September Average(2004-2008)"


def map_cases():
    """(family, script, values, labels) as the map view writes them for
    the dialog's defaults (June 2008, 0-500 dbar, 60S-25N, 130E-250E)."""
    region = [S, N, W, E]
    cases = []
    for prop, title in (("temp", "Argo Temperature (^oC)"), ("psal", "Argo Salinity"),
                        ("podens", "Argo Potential Density"), ("dyn_ht", "Argo Dynamic Height")):
        pres = "   0/ 500 dbar" if prop in ("dyn_ht", "podens") else "Averaged    0- 500 dbar"
        dyn = prop == "dyn_ht"
        lab = lambda t, date=MAP_DATE: map_labels(t, N, S, W, E, date, pres)
        extra = [0, 1] if dyn else [0]
        cases.append((f"{prop} map", f"fer_{prop}_map", [54, 54, 0, 500, *region, 1, *extra], lab(title)))
        cases.append((f"{prop} map", f"fer_{prop}_map_yearly_anom", [49, 54, 0, 500, *region, 1],
                      lab(title + " Difference from Four Year Mean (2004-2007)", "Jan 2008 - Jun 2008")))
        cases.append((f"{prop} map", f"fer_{prop}_map_monthly_anom", [54, 6, 0, 500, *region, 1, 0],
                      lab(title + " Anomaly from Monthly Mean")))
        cases.append((f"{prop} map", f"fer_{prop}_avg_map", [9, 0, 500, *region, 1, 0] + ([1] if dyn else []),
                      lab(title + " " + AVG_TITLE, None)))
    for prop, name in (("temp", "Temperature"), ("psal", "Salinity")):
        cases.append(("station map", f"fer_{prop}_station_loc", [54, 54, 0, 500, *region, 1],
                      map_labels(f"Argo {name} station distribution", N, S, W, E,
                                 MAP_DATE, "   0/ 500 dbar")))
    cases.append(("geo_vel map", "fer_geo_vel_map", [54, 54, 0, 1000, *region, 1, 2, 2],
                  map_labels("Argo Geostrophic Velocity", N, S, W, E, MAP_DATE, "   0/1000 dbar")))
    cases.append(("geo_vel map", "fer_geo_vel_avg_map", [9, 0, 1000, *region, 1, 2, 2],
                  map_labels("Argo Geostrophic Velocity " + AVG_TITLE, N, S, W, E, None, "   0/1000 dbar")))
    for prop, title in (("alt_ht", "Aviso Altimetric Height (cm)"),
                        ("sst", "Reynolds Sea Surface Temperature")):
        lab = lambda t, date=MAP_DATE: map_labels(t, N, S, W, E, date, None, surface=True)
        cases.append((f"{prop} map", f"fer_{prop}_map", [54, 54, *region, 1], lab(title)))
        cases.append((f"{prop} map", f"fer_{prop}_map_yearly_anom", [49, 54, *region, 1],
                      lab(title + " Difference from Four Year Mean (2004-2007)", "Jan 2008 - Jun 2008")))
        cases.append((f"{prop} map", f"fer_{prop}_map_monthly_anom", [54, 6, *region, 1],
                      lab(title + " Anomaly from Monthly Mean")))
        cases.append((f"{prop} map", f"fer_{prop}_avg_map", [9, *region, 1], lab(title + " " + AVG_TITLE, None)))
    return cases


def section_cases():
    """Sections as the vertical-section dialog writes them for its
    defaults: north-south along 140W from 60S to 65N, 0-2000 dbar."""
    lat_s, lat_n, lon = -60.0, 65.0, 220.0
    cases = []
    for prop, title in (("temp", "Argo Temperature (^oC)"), ("psal", "Argo Salinity"),
                        ("dyn_ht", "Argo Dynamic Height"), ("podens", "Argo Potential Density"),
                        ("geo_vel", "Argo Geostrophic Velocity")):
        flag = [0] if prop == "dyn_ht" else []
        lab = lambda t, date="Jun 2008": section_labels(t, lat_s, lat_n, 0, 2000, date, "140.0^oW")
        head = ["N", lat_s, lat_n]
        cases.append((f"{prop} section", f"fer_{prop}_section",
                      head + [54, 54, 0, 2000, lon, lon] + flag, lab(title)))
        cases.append((f"{prop} section", f"fer_{prop}_section_yearly_anom",
                      head + [49, 54, 0, 2000, lon, lon],
                      lab(title + " Difference from Four Year Mean (2004-2007)", "Jan 2008 - Jun 2008")))
        cases.append((f"{prop} section", f"fer_{prop}_section_monthly_anom",
                      head + [54, 6, 0, 2000, lon, lon], lab(title + " Anomaly from Monthly Mean")))
        cases.append((f"{prop} section", f"fer_{prop}_avg_section",
                      head + [9, 0, 2000, lon, lon] + flag, lab(title + " " + AVG_TITLE, None)))
    return cases


# The picture kept per family for docs/gallery.
GALLERY = {"fer_temp_map", "fer_psal_map", "fer_podens_map_yearly_anom", "fer_dyn_ht_map",
           "fer_geo_vel_map", "fer_alt_ht_map", "fer_sst_map_monthly_anom",
           "fer_temp_station_loc", "fer_temp_section", "fer_psal_avg_section",
           "fer_dyn_ht_section", "fer_podens_section_monthly_anom", "fer_geo_vel_section"}


def render(root, kind, script, values, labels):
    """Runs the three batch steps; returns (seconds for Ferret, jpg path)."""
    cygwin = root.write_command_file(kind, 1, go_line(script, values), labels, metafile=True)
    for name in (f"meta{kind}1", f"{kind}1.ps", f"{kind}1.jpg"):
        if os.path.exists(root.tmp_file(name)):
            os.remove(root.tmp_file(name))
    result, seconds = root.run("tcferret.bat", cygwin)
    if result.returncode != 0:
        raise AssertionError(f"{script}: tcferret.bat failed: {result.stderr}")
    for step in ("tcMeta2PS.bat", "tcPS2jpg.bat"):
        result, _ = root.run(step, f"{kind}1")
        if result.returncode != 0:
            raise AssertionError(f"{script}: {step} failed: {result.stderr}")
    return seconds, root.tmp_file(f"{kind}1.jpg")


class GoScriptPictures(unittest.TestCase):
    only = ""
    skip = []
    gallery = None

    @classmethod
    def setUpClass(cls):
        cls.root = DriveRoot()
        cls.times = {}

    @classmethod
    def tearDownClass(cls):
        if cls.times:
            print("\nrender time per family (Ferret step, headless):", file=sys.stderr)
            for family, values in sorted(cls.times.items()):
                print(f"  {family:16s} mean {sum(values) / len(values):5.2f} s"
                      f"  max {max(values):5.2f} s  ({len(values)} scripts)", file=sys.stderr)
        cls.root.cleanup()

    def check_cases(self, kind, cases):
        for family, script, values, labels in cases:
            if self.only not in script or any(text in script for text in self.skip):
                continue
            with self.subTest(script=script):
                seconds, jpg = render(self.root, kind, script, values, labels)
                self.times.setdefault(family, []).append(seconds)
                print(f"  {script:36s} {seconds:5.2f} s", file=sys.stderr)
                with open(self.root.tmp_file("tcferret.log")) as f:
                    log = f.read()
                self.assertNotIn("**ERROR", log, f"{script} reported an error:\n{log[-2000:]}")
                width, height = jpeg_size(jpg)
                self.assertGreaterEqual(max(width, height), 1000)
                self.assertGreater(width, height, "a plot page is wider than high when upright")
                colours, commonest = picture_colours(self.root.tmp_file(f"{kind}1.ps"))
                self.assertGreater(colours, 8, f"{script} drew a nearly blank picture")
                self.assertLess(commonest, 0.9, f"{script} drew a nearly blank picture")
                if self.gallery and script in GALLERY:
                    target = os.path.join(self.gallery, family.replace(" ", "_") + ".jpg")
                    subprocess.run(["convert", jpg, "-resize", "700x700", "-quality", "70",
                                    target], check=True)

    def test_map_view_scripts(self):
        self.check_cases("map", map_cases())

    def test_vertical_section_scripts(self):
        self.check_cases("ver", section_cases())

    def test_every_script_is_exercised(self):
        go_dir = os.path.join(self.root.home, "ferret", "TMAP", "go")
        installed = {f[:-4] for f in os.listdir(go_dir) if f.startswith("fer_") and
                     ("_map" in f or "_section" in f or "station_loc" in f)}
        exercised = {case[1] for case in map_cases() + section_cases()}
        self.assertEqual(installed - exercised, set())


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--gallery")
    parser.add_argument("--only", default="")
    parser.add_argument("--skip", action="append", default=[])
    args, rest = parser.parse_known_args()
    GoScriptPictures.only = args.only
    GoScriptPictures.skip = args.skip
    GoScriptPictures.gallery = args.gallery
    if args.gallery:
        os.makedirs(args.gallery, exist_ok=True)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
