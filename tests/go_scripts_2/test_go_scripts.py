#!/usr/bin/python3
"""Every go script of the time series, line drawings and derived products,
run headless on the sample data through tcferret.bat with a metafile line,
then tcMeta2PS.bat and tcPS2jpg.bat, with the label lines the program
writes: each must leave an upright, decodable JPG of a real picture and a
Ferret log without errors.  Bad requests must end in an empty frame that
names the reason.

usage: test_go_scripts.py [--gallery DIR] [--only TEXT] [unittest options]
  --gallery DIR  also write one small JPG per script family into DIR
  --only TEXT    run only the scripts whose name contains TEXT (repeatable)
Prints the Ferret time of every script and the mean and maximum of each
family."""

import argparse
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from go_fixture import (BLANK_FILL, CONVERT, REPO, DriveRoot, ferret, jpeg_size, line_labels,  # noqa: E402
                        list_directed, metafile_colours, picture_colours, product_geometry, product_label,
                        quoted, ts_go_line, ts_label, ts_positions)

# Families drawn as curves on paper rather than filled.
CURVES = ("line", "T-S diagram", "warm water")
# The gallery picture of each family: the first request of the family.
GALLERY = {"time series": "temp_time_series", "hovmoller": "temp_hovmoller", "line": "temp_line",
           "T-S diagram": "temp_psal", "isotherm depth": "depth20", "mixed layer": "mld",
           "heat potential": "tchp", "warm water": "wwv", "nino index": "nino_ind"}
MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def date(index):
    return f"{MONTHS[(index - 1) % 12]} {2004 + (index - 1) // 12}"


# ------------------------------------------------------------ time series

TS_SCRIPTS = ["temp", "temp", "psal", "psal", "podens", "podens", "dyn_ht", "alt_ht", "sst"]
TS_TITLES = {
    (1, 1): "Time series of Argo Temperature (^oC)",
    (1, 2): "Time Series of Argo Temperature Difference from Four Year Mean (2004-2007)",
    (1, 3): "Time Series of Argo Temperature Anomaly from Monthly Mean",
    (3, 1): "Time series of Argo Salinity",
    (3, 2): "Time Series of Argo Salinity Difference from Four Year Mean (2004-2007) ",
    (3, 3): "Time Series of Argo Salinity Anomaly from Monthly Mean",
    (5, 1): "Time series of Argo Potential Density",
    (5, 2): "Time Series of Argo Potential Density Difference from Four Year Mean (2004-2007)       ",
    (5, 3): "Time Series of Argo Potential Density Anomaly from Monthly Mean",
    (7, 1): "Time series of Argo Dynamic Height",
    (7, 2): "Time Series of Argo Dynamic Height Difference from Four Year Mean (2004-2007)  ",
    (7, 3): "Time Series of Argo Dynamic Height Anomaly from Monthly Mean",
    (8, 1): "Time series of Aviso Altimetric Height",
    (8, 2): "Time Series of Aviso Dynamic Height Difference from Four Year Mean (2004-2007) ",
    (8, 3): "Time Series of Aviso Altimetric Height Anomaly from Monthly Mean",
    (9, 1): "Time series of Reynolds Sea Surface Temperature",
    (9, 2): "Time Series of Reynolds SST Difference from Four Year Mean (2004-2007) ",
    (9, 3): "Time Series of Reynolds Sea Surface Temperature Anomaly from Monthly Mean  ",
}
TYPE_SUFFIX = {1: "", 2: "_yearly_anom", 3: "_monthly_anom"}


def hemi_lat(v):
    return "^oS" if v < 0 else "^oN"


def ts_request(prop, ptype, a, b, upper, lower, s, n, w, e, fill=BLANK_FILL):
    """The go line and label lines of dialog 104 for one request (no matched
    location; all longitudes east)."""
    group = "zt" if prop in (1, 3, 5) else "xt"
    kind = "time_series" if group == "zt" else "hovmoller"
    script = f"fer_{TS_SCRIPTS[prop - 1]}_{kind}{TYPE_SUFFIX[ptype]}"
    pressures = prop <= 7
    go = ts_go_line(script, a, b, s, n, w, (e + 360 if group == "xt" and w > e else e),
                    upper if pressures else None, lower if pressures else None, fill)
    lines = [go]
    if prop in (5, 6, 7, 8) and ptype == 1:
        lines.append(" ")
    title = quoted(TS_TITLES[(prop if prop in (7, 8, 9) else prop - (prop + 1) % 2, ptype)])
    lat = quoted(f"{abs(s):4.1f}{hemi_lat(s)}" + (f"-{abs(n):4.1f}{hemi_lat(n)}" if s != n else " " * 8))
    centre, left, right, ty, sy = ts_positions(group, a, b, upper, lower, w, e)
    if prop >= 8:
        lines += [f"label/nouser 4.50,6.10,0,0,0.15 {title}", f"label/nouser 4.50,5.60,0,0,0.15 {lat}"]
        return script, lines
    if group == "zt":
        second = quoted(f"{w:5.1f}^oE" + (f"-{e:5.1f}^oE" if w != e else " " * 9))
    elif prop == 7:
        second = quoted(f"{upper:4d}/{lower:4d} dbar")
    elif upper == lower:
        second = quoted(" " * 9 + f"{upper:4d} dbar" + " " * 5)
    else:
        second = quoted(f"Averaged {upper:4d}-{lower:4d} dbar")
    lines += [ts_label(centre, ty, title), ts_label(left, sy, lat), ts_label(right, sy, second)]
    return script, lines


# ---------------------------------------------------------- line drawings

LINE_SCRIPTS = {1: "temp", 2: "temp", 3: "temp", 4: "temp", 5: "psal", 6: "psal", 7: "psal",
                8: "psal", 9: "temp_psal", 10: "temp_psal", 11: "dyn_ht", 12: "alt_ht", 13: "sst"}
LINE_TITLES = {
    ("temp", 2): "Argo Temperature Difference from Four Year Mean (2004-2007)",
    ("temp", 3): "Argo Temperature Anomaly from Monthly Mean",
    ("psal", 2): "Argo Salinity Difference from Four Year Mean (2004-2007)",
    ("psal", 3): "Argo Salinity Anomaly from Monthly Mean",
    ("dyn_ht", 2): "Argo Dynamic Height Difference from Four Year Mean (2004-2007)",
    ("dyn_ht", 3): "Argo Dynamic Height Anomaly from Monthly Mean",
    ("alt_ht", 2): "Aviso Altimetric Height Difference from Four Year Mean (2004-2007)",
    ("alt_ht", 3): "Aviso Altimetric Height Anomaly from Monthly Mean",
    ("sst", 2): "Reynolds SST Difference from Four Year Mean (2004-2007)",
    ("sst", 3): "Reynolds SST Anomaly from Monthly Mean" + " " * 17,
}


def line_request(prop, ptype, a, b, upper, lower, s, n, w, e, place=None):
    """The go line and label lines of dialog 109 for one request."""
    sel = [1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 1, 1, 1][prop - 1]
    if ptype == 3 and prop in (2, 3, 4, 6, 7, 8):
        b = a
    name = LINE_SCRIPTS[prop]
    script = f"fer_{name}_line{TYPE_SUFFIX[ptype]}" if prop not in (9, 10) else "fer_temp_psal"
    items = ([] if ptype == 2 and prop >= 11 else [sel]) + [a, b, upper, lower, float(s), float(n),
                                                            float(w), float(e)]
    pressure_text = f"{upper:4d} dbar" if upper == lower else f"Averaged {upper:4d}-{lower:4d} dbar"
    time_text = f"{date(a)} " + (f"- {date(b)}" if a != b else " " * 10)
    lat_text = f"{abs(s):4.1f} {hemi_lat(s)}" + (f" - {abs(n):4.1f} {hemi_lat(n)}" if s != n else " " * 11)
    lon_text = f"{w:5.1f} ^oE" + (f" - {e:5.1f}^oE " if w != e else " " * 12)
    pressure = ([("0.70", pressure_text)] if prop in (1, 3, 4, 5, 7, 8)
                else [("1.00", pressure_text)] if prop == 9 else [])
    times = ([("0.70", time_text)] if prop in (2, 6, 9, 10, 11, 12, 13)
             else [("0.40", time_text)] if prop in (3, 4, 7, 8) else [])
    lats = ([("0.40", lat_text)] if prop in (1, 2, 5, 6, 9, 10, 11, 12, 13)
            else [("0.10", lat_text)])
    lons = [] if prop in (4, 8) else [("0.10", lon_text)]
    title = LINE_TITLES.get((name, ptype))
    return script, [list_directed(script, *items)] + line_labels(pressure, times, lats, lons, title, place)


# -------------------------------------------------------------- products

PRODUCT_TITLES = {1: ("Top: Depth of 20^o isotherm from Argo data",
                      "Bottom: Depth of 20^o isotherm anomaly from monthly mean"),
                  2: "Argo Mixed Layer Depth",
                  3: ("Top: Argo Tropical Cyclone Heat Potential",
                      "Bottom: Argo Tropical Cyclone Heat Potential anomaly from monthly mean"),
                  5: "Argo Nino-3", 6: "Argo Nino-3.4", 7: "Reynolds Nino-3", 8: "Reynolds Nino-3.4"}


def product_request(prop, t1, t2, s=-25.0, n=25.0, w=120.0, e=290.0, land=1, stations=0,
                    single=True, fill=BLANK_FILL):
    """The lines of dialog 110 for one request."""
    xmid, y1, y2, e_labels = product_geometry(s, n, w, e, single)
    d = quoted(date(t1)) if t1 == t2 else quoted(f"{date(t1)} - {date(t2)}")
    if prop in (1, 2, 3):
        script = ["fer_depth20", "fer_mld", "fer_tchp"][prop - 1]
        go = list_directed(script, t1, t2, s, n, w, e, land, stations,
                           fill=fill if prop != 3 else None)
        if prop == 2:
            return script, [go, product_label(xmid, y1, PRODUCT_TITLES[2]), product_label(xmid, y2, d[1:-1])]
        top, bottom = PRODUCT_TITLES[prop]
        x_date = e_labels - 2 if prop == 1 else e_labels - 5
        return script, [go, " set view top", product_label(w + 1, y1, top, left=True),
                        product_label(w + 1, y2, bottom, left=True), product_label(x_date, y1, d[1:-1])]
    if prop == 4:
        return "fer_wwv", [list_directed("fer_wwv", t1, t2),
                           'label/nouser 4.10,5.70,0,0,0.17 "Argo Warm Water Volume"']
    return "fer_nino_ind", [list_directed("fer_nino_ind", prop - 4, t1, t2),
                            product_label(xmid, y1, PRODUCT_TITLES[prop])]


# ------------------------------------------------------------------ cases

def script_cases():
    """(family, script, kind, lines) for every go script, from requests the
    dialogs would send: their defaults where they make a plot (January 2004
    to June 2008 at 40S 140W, 0 to 2000 dbar; products over 25S-25N,
    120E-290E in August 2008), a band along the equator where a span of
    longitudes is needed."""
    cases = []
    for ptype in (1, 2, 3):
        for prop in range(1, 10):
            if prop in (1, 3, 5):
                script, lines = ts_request(prop, ptype, 1, 54, 0, 2000, -40.0, -40.0, 220.0, 220.0)
                family = "time series"
            else:
                script, lines = ts_request(prop, ptype, 1, 54, 0, 500 if prop != 7 else 1000,
                                           -5.0, 5.0, 140.0, 270.0)
                family = "hovmoller"
            cases.append((family, script, "tim", lines))
    for ptype in (1, 2, 3):
        for prop in range(1, 14):
            if prop in (9, 10) and ptype != 1:
                continue
            upper, lower = (0, 500) if prop in (2, 6, 9, 10) else (0, 100)
            script, lines = line_request(prop, ptype, 1, 54, upper, lower, -5.0, 5.0, 190.0, 200.0,
                                         place="Tarawa, Kiribati")
            family = "T-S diagram" if prop in (9, 10) else "line"
            cases.append((family, script, "lin", lines))
    products = [("isotherm depth", 1, 56, 56), ("mixed layer", 2, 56, 56), ("heat potential", 3, 56, 56),
                ("warm water", 4, 1, 56)] + [("nino index", prop, 1, 56) for prop in (5, 6, 7, 8)]
    for family, prop, t1, t2 in products:
        script, lines = product_request(prop, t1, t2)
        cases.append((family, script, "pro", lines))
    return cases


def unique_cases():
    """One case per script: the first request that names it."""
    seen, result = set(), []
    for case in script_cases():
        if (case[1], case[3][0]) in seen:
            continue
        seen.add((case[1], case[3][0]))
        result.append(case)
    return result


class RequestsAreTheProgramsOwn(unittest.TestCase):
    """The requests above must be the lines the program writes: the golden
    command files of the program's own tests, between the frame's lines."""

    def golden(self, relative, frame_lines):
        with open(os.path.join(REPO, "tests", relative)) as f:
            return f.read().splitlines()[frame_lines:-1]

    def test_against_the_programs_golden_files(self):
        self.assertEqual(ts_request(1, 1, 1, 48, 0, 2000, -40.0, -40.0, 220.0, 220.0)[1],
                         self.golden("plots_tim_lin/timeseries_example.txt", 1))
        self.assertEqual(line_request(9, 1, 1, 48, 0, 500, -5.0, 5.0, 190.0, 200.0, place="Tarawa, Kiribati")[1],
                         self.golden("plots_tim_lin/linedrawing_matched_jpg.txt", 2))
        self.assertEqual(product_request(1, 56, 58, fill="(8,22,2)(22,32,1)")[1],
                         self.golden("plots_map_ver_pro/golden/pro_depth20_jpg.txt", 2))
        self.assertEqual(product_request(2, 56, 56)[1], self.golden("plots_map_ver_pro/golden/pro_mld_plot.txt", 1))


class GoScriptPictures(unittest.TestCase):
    only = [""]
    gallery = None

    @classmethod
    def setUpClass(cls):
        cls.root = DriveRoot()
        cls.times = {}

    @classmethod
    def tearDownClass(cls):
        if cls.times:
            print("\nFerret time per family (headless, one request each):", file=sys.stderr)
            for family, values in sorted(cls.times.items()):
                print(f"  {family:16s} mean {sum(values) / len(values):5.2f} s"
                      f"  max {max(values):5.2f} s  ({len(values)} requests)", file=sys.stderr)
        cls.root.cleanup()

    def check_picture(self, jpg, what):
        width, height = jpeg_size(jpg)
        self.assertGreaterEqual(max(width, height), 1000, what)
        self.assertGreater(width, height, f"{what}: a plot page is wider than high when upright")
        return picture_colours(jpg)

    def test_every_script_draws_a_picture(self):
        """The first request of each family goes all the way to the JPG;
        the others stop at Ferret's picture, which is what differs."""
        families = set()
        for family, script, kind, lines in unique_cases():
            if not any(text in script for text in self.only):
                continue
            whole = family not in families
            families.add(family)
            with self.subTest(script=script, go=lines[0].strip()[:60]):
                seconds, picture, log = self.root.render(kind, lines, jpg=whole)
                self.times.setdefault(family, []).append(seconds)
                print(f"  {script:38s} {seconds:5.2f} s", file=sys.stderr)
                self.assertNotIn("**ERROR", log, f"{script}:\n{log[-3000:]}")
                self.assertNotIn("Empty frame", log, f"{script}:\n{log[-3000:]}")
                if whole:
                    colours, commonest = self.check_picture(picture, script)
                else:
                    colours, commonest = metafile_colours(picture)
                # Line drawings are mostly paper in a few colours (paper,
                # axes, curves); filled plots show their palette.
                curve = family in CURVES
                self.assertGreaterEqual(colours, 3 if curve else 9, f"{script} drew too few colours")
                self.assertLess(commonest, 0.985 if curve else 0.9, f"{script} drew a nearly blank picture")
                if self.gallery and whole:
                    target = os.path.join(self.gallery, GALLERY[family] + ".jpg")
                    subprocess.run([CONVERT, picture, "-resize", "700x700", "-quality", "70", "-strip",
                                    target], check=True)

    def test_every_installed_script_is_exercised(self):
        mine = {os.path.splitext(f)[0] for f in os.listdir(self.root.go)
                if f.startswith("fer_") and any(k in f for k in ("time_series", "hovmoller", "_line",
                                                                  "temp_psal", "depth20", "fer_mld",
                                                                  "tchp", "wwv", "nino"))}
        self.assertEqual(len(mine), 48)
        self.assertEqual(mine - {case[1] for case in script_cases()}, set())

    def test_bad_requests_draw_an_empty_frame_with_the_reason(self):
        """Requests the scripts cannot draw end in an empty frame whose
        message (also in Ferret's log) names the reason; none hangs."""
        cases = [
            ("land only", "tim", ts_request(1, 1, 1, 54, 0, 2000, -25.0, -25.0, 135.0, 135.0)[1],
             "land only"),
            ("beyond the data", "tim", ts_request(2, 3, 50, 70, 0, 500, -5.0, 5.0, 140.0, 270.0)[1],
             "No Argo data for month index 70"),
            ("one month", "tim", ts_request(9, 1, 12, 12, 0, 0, -5.0, 5.0, 140.0, 270.0)[1],
             "at least two months"),
            ("outside the data", "tim", ts_request(8, 2, 1, 54, 0, 0, 10.0, 20.0, 350.0, 10.0)[1],
             "outside the data"),
            ("no span of longitudes", "tim", ts_request(2, 1, 1, 54, 0, 500, -5.0, 5.0, 200.0, 200.0)[1],
             "two different longitudes"),
            ("curve on land", "lin", line_request(1, 1, 1, 54, 0, 100, -25.0, -25.0, 135.0, 135.0)[1],
             "land only"),
            ("profile with one pressure", "lin", line_request(9, 1, 1, 54, 500, 500, -5.0, 5.0, 190.0, 200.0)[1],
             "upper pressure above the lower"),
            ("index of one month", "pro", product_request(4, 30, 30)[1], "at least two months"),
        ]
        for what, kind, lines, reason in cases:
            with self.subTest(what):
                seconds, meta, log = self.root.render(kind, lines, jpg=False)
                self.assertLess(seconds, 60)
                self.assertNotIn("**ERROR", log, log[-3000:])
                self.assertIn("Empty frame", log, log[-3000:])
                self.assertIn(reason, log)
                colours, commonest = metafile_colours(meta)
                self.assertGreater(commonest, 0.8, f"{what}: the frame should be nearly empty")
        # Data ending in March 2005 hold no 2004-2007 mean: a difference
        # from it or a Nino index says so rather than drawing another
        # period's mean under that name.
        short = os.path.join(self.root.path, "short_data")
        os.mkdir(short)
        ferret(self.root, f'use Reynolds_SST.nc\nsave/file="{short}/Reynolds_SST.nc" SST[l=1:15]')
        for go in ("fer_sst_map_yearly_anom 1 3 -30 30 150 270 1", "fer_sst_line_yearly_anom 1 15 0 0 -5 5 190 200",
                   "fer_nino_ind 4 1 15"):
            with self.subTest(go):
                self.assertIn("Empty frame: The 2004-2007 mean needs data through DEC-2007: the Reynolds data end"
                              " in MAR-2005", ferret(self.root, "go " + go, data_dir=short))

    def test_coordinates_that_run_together(self):
        """The program writes the four coordinates as 8-character fields
        back to back, so values of 8 characters run together; the script
        must still read them as four numbers, and find fill levels among
        the words."""
        read = ferret(self.root, "\n".join(
            f"go tc_ts_args {words}\nsay READ ($tc_ts_s) ($tc_ts_n) ($tc_ts_w) ($tc_ts_e) ($tc_ts_fill) "
            f"($tc_problem\"-\")\ncancel symbol tc_*" for words in (
                "-40.00 -40.00 220.00 220.00",
                "-10.00 10.00 160.00-1000.00 (33,36,0.2)",
                "-10.00-10.00-1000.00-1000.00 (2,6,0.5) (6,30,2)",
                "-5 5 140 270",
                "12.5012.50")))
        self.assertEqual([line[5:] for line in read.splitlines() if line.startswith("READ ")], [
            "-40.00 -40.00 220.00 220.00 default -",
            "-10.00 10.00 160.00 -1000.00 (33,36,0.2) -",
            "-10.00 -10.00 -1000.00 -1000.00 (2,6,0.5)(6,30,2) -",
            "-5 5 140 270 default -",
            "0 0 0 1 default The region of the go line cannot be read (12.5012.50)"])

        # An east longitude of 1360 typed as "W" becomes -1000: the request
        # is read, and refused as an empty region, not as unreadable.
        script, lines = ts_request(3, 1, 1, 12, 0, 100, -10.0, 10.0, 160.0, -1000.0)
        self.assertIn("  160.00-1000.00 ", lines[0])
        seconds, meta, log = self.root.render("tim", lines, jpg=False)
        self.assertNotIn("**ERROR", log, log[-2000:])
        self.assertIn("Empty frame: Empty region: the eastern longitude -1000.00 lies west", log)
        # Fill levels given by the user reach the plot.
        script, lines = ts_request(4, 1, 1, 12, 0, 100, -10.0, 10.0, 160.0, 200.0,
                                   fill="(33,36,0.2)")
        seconds, meta, log = self.root.render("tim", lines, jpg=False)
        self.assertNotIn("**ERROR", log, log[-2000:])
        self.assertNotIn("Empty frame", log)

if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--gallery")
    parser.add_argument("--only", action="append")
    args, rest = parser.parse_known_args()
    GoScriptPictures.only = args.only or [""]
    GoScriptPictures.gallery = args.gallery
    if args.gallery:
        os.makedirs(args.gallery, exist_ok=True)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
