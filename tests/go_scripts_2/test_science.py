#!/usr/bin/python3
"""The derived products against independent computations.

- The 20-degree isotherm depth, the mixed-layer depth, the tropical
  cyclone heat potential and the warm water volume that tc_prod_derive.jnl
  defines, computed by Ferret on a small synthetic Argo data set of known
  profiles, against numpy: root finding on the profile, a fine-grid
  integral and the exact area of the sphere.
- The Nino 3.4 index of the sample data (tc_prod_nino.jnl) against the
  Oceanic Nino Index the sample data was built from.

usage: test_science.py [unittest options]"""

import math
import os
import shutil
import sys
import tempfile
import unittest

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from go_fixture import REPO, DriveRoot, ferret  # noqa: E402

sys.path.insert(0, os.path.join(REPO, "installation", "sampledata"))
import make_sample_data as sample  # noqa: E402

PRESSURE = sample.PRESSURE
LON = np.arange(121.0, 290.0, 2.0)       # the Argo grid's 2-degree cells
LAT = np.arange(-9.0, 10.0, 2.0)
MONTH = 5                                 # the month the checks look at
RHO, CP = 1025.0, 4178.0


def profile(surface, mixed, scale, deep=4.0):
    """Temperature at the Argo levels: mixed to `mixed` dbar, then falling
    exponentially towards `deep`."""
    below = np.maximum(PRESSURE - mixed, 0.0)
    t = deep + (surface - deep) * np.exp(-below / scale)
    # A slight stratification inside the mixed layer, so the 0.2-degree
    # criterion falls between levels.
    return t - 0.002 * np.minimum(PRESSURE, mixed)


def synthetic_temperature():
    """[month, level, lat, lon] temperature; land (NaN) in one corner."""
    nt = sample.NMONTHS
    temp = np.empty((nt, len(PRESSURE), len(LAT), len(LON)))
    for j, lat in enumerate(LAT):
        for i, lon in enumerate(LON):
            surface = 18.0 + 11.0 * math.cos(math.radians(lat * 10)) + 0.01 * (lon - 200)
            mixed = 15.0 + 1.3 * ((i * 7 + j * 3) % 60)
            scale = 60.0 + 0.7 * ((i * 5 + j * 11) % 90)
            for k in range(nt):
                temp[k, :, j, i] = profile(surface + 0.3 * math.sin(k), mixed, scale)
    temp[:, :, :2, :3] = np.nan
    return temp


def first_crossing(p, values, target):
    """Pressure where `values`, linear between levels, first reaches
    `target` going down; None when it never does."""
    for k in range(1, len(p)):
        a, b = values[k - 1] - target, values[k] - target
        if a == 0:
            return p[k - 1]
        if a * b < 0 or b == 0:
            return p[k - 1] + (p[k] - p[k - 1]) * a / (a - b)
    return None


def heat_potential(p, t):
    """rho cp times the integral of (T - 26)+ over a 0.01 dbar grid with T
    linear between levels, in kJ/cm2."""
    fine = np.arange(0.0, 500.0 + 1e-9, 0.01)
    excess = np.maximum(np.interp(fine, p, t) - 26.0, 0.0)
    return RHO * CP * np.trapz(excess, fine) * 1e-7


def mixed_layer(p, t):
    t10 = t[list(p).index(10.0)]
    below = p >= 10.0
    return first_crossing(p[below], t10 - t[below], 0.2)


class Derived(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = DriveRoot()
        cls.data = tempfile.mkdtemp(prefix="tc_go2_synthetic_")
        cls.temp = synthetic_temperature()
        salt = np.where(np.isfinite(cls.temp), 35.0, np.nan)
        grid3 = ("PRESSURE", "LATITUDE", "LONGITUDE")
        grid4 = ("TIME",) + grid3
        for name, var, data in (("Temperature", "TEMPERATURE", cls.temp), ("Salinity", "SALINITY", salt)):
            m = np.nanmean(data, axis=0)
            sample.write_dataset(os.path.join(cls.data, f"RG_ArgoClim_{name}.nc"), "synthetic", LON, LAT, [
                (f"ARGO_{var}_MEAN", grid3, m, {"units": "x"}),
                (f"ARGO_{var}_ANOMALY", grid4, data - m[None], {"units": "x"})], PRESSURE)
        sample.write_dataset(os.path.join(cls.data, "RG_ArgoClim_Stations.nc"), "synthetic", LON, LAT, [
            ("NSTATIONS", grid4, np.where(np.isfinite(cls.temp), 1.0, np.nan), {"kind": "i2"})], PRESSURE)
        # Ferret writes each product of one month, every cell, longitude
        # fastest; missing values come out as its bad value (-1e34).
        commands = ["go tc_data argo", "go tc_prod_derive"]
        for name in ("tc_d20", "tc_mld", "tc_tchp"):
            commands.append(f"list/nohead/quiet/clobber/format=(E17.9)/file=\"{cls.data}/{name}.txt\" "
                            f"{name}[l={MONTH}]")
        commands.append(f"say WWV `tc_d20[x=120:280@din,y=-5:5@din,l={MONTH}],prec=9`")
        cls.output = ferret(cls.root, "\n".join(commands), data_dir=cls.data)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.data, ignore_errors=True)
        cls.root.cleanup()

    def from_ferret(self, name):
        """Ferret's listing as [lat, lon], NaN where missing."""
        path = os.path.join(self.data, name + ".txt")
        self.assertTrue(os.path.exists(path), self.output[-3000:])
        with open(path) as f:
            values = np.array([float(v) for v in f.read().split()])
        self.assertEqual(values.size, LAT.size * LON.size, self.output[-3000:])
        values[values < -1e30] = np.nan
        return values.reshape(LAT.size, LON.size)

    def reference(self, function):
        """numpy's value of every ocean cell in the month checked."""
        out = np.full((LAT.size, LON.size), np.nan)
        for j in range(LAT.size):
            for i in range(LON.size):
                t = self.temp[MONTH - 1, :, j, i]
                if np.isfinite(t).all():
                    value = function(PRESSURE, t)
                    out[j, i] = np.nan if value is None else value
        return out

    def assert_same(self, ferret_values, numpy_values, tolerance, what):
        np.testing.assert_array_equal(np.isnan(ferret_values), np.isnan(numpy_values),
                                      f"{what}: missing in different cells")
        both = np.isfinite(numpy_values)
        worst = np.max(np.abs(ferret_values[both] - numpy_values[both]))
        self.assertLess(worst, tolerance, f"{what}: largest difference {worst}")

    def test_isotherm_depth(self):
        expected = self.reference(lambda p, t: first_crossing(p, t, 20.0))
        # The rows at 9S and 9N are colder than 20 degrees from the surface
        # down; the others cross it.
        self.assertTrue(np.isnan(expected[-1, :]).all() and np.isfinite(expected).sum() > 400)
        self.assert_same(self.from_ferret("tc_d20"), expected, 1e-3, "20-degree isotherm depth")

    def test_mixed_layer_depth(self):
        expected = self.reference(mixed_layer)
        self.assertGreater(np.nanmax(expected) - np.nanmin(expected), 50)
        self.assert_same(self.from_ferret("tc_mld"), expected, 1e-3, "mixed-layer depth")

    def test_heat_potential(self):
        expected = self.reference(heat_potential)
        self.assertTrue((expected == 0).any() and np.nanmax(expected) > 50, "zero and large cases")
        self.assert_same(self.from_ferret("tc_tchp"), expected, 0.01, "heat potential (kJ/cm2)")

    def test_warm_water_volume(self):
        d20 = self.reference(lambda p, t: first_crossing(p, t, 20.0))
        radius = 6371.0e3
        volume = 0.0
        for j, lat in enumerate(LAT):
            south, north = max(lat - 1, -5.0), min(lat + 1, 5.0)
            if south >= north:
                continue
            for i, lon in enumerate(LON):
                if lon < 280 and np.isfinite(d20[j, i]):
                    area = radius ** 2 * math.radians(2.0) * (math.sin(math.radians(north)) -
                                                             math.sin(math.radians(south)))
                    volume += d20[j, i] * area
        words = [line.split() for line in self.output.splitlines() if line.startswith("WWV")]
        self.assertEqual(len(words), 1, self.output[-2000:])
        # Ferret measures a degree as 111.195 km, the sphere of radius
        # 6371 km has 111.195 km too: the two agree closely.
        self.assertAlmostEqual(float(words[0][1]) / volume, 1.0, delta=0.005)


class NinoIndex(unittest.TestCase):
    """The sample data carries an ENSO signal scaled by the Oceanic Nino
    Index; the Nino 3.4 index computed from it must follow that index."""

    @classmethod
    def setUpClass(cls):
        cls.root = DriveRoot()
        cls.oni = np.array([v for year in sorted(sample.ONI) for v in sample.ONI[year]])[:sample.NMONTHS]

    @classmethod
    def tearDownClass(cls):
        cls.root.cleanup()

    def index(self, k):
        listing = os.path.join(self.root.tmp, f"nino{k}.txt")
        out = ferret(self.root, f"go tc_prod_nino {k} 1 {sample.NMONTHS}\n"
                                f"list/nohead/quiet/clobber/format=(F10.5)/file=\"{listing}\" "
                                f"tc_prod_series[l=1:{sample.NMONTHS}]")
        self.assertTrue(os.path.exists(listing), out[-2000:])
        with open(listing) as f:
            values = np.array([float(v) for v in f.read().split()])
        self.assertEqual(values.size, sample.NMONTHS, out[-2000:])
        return values

    def check(self, index, slope_range):
        strong = np.abs(self.oni) >= 0.5
        self.assertTrue(np.all(np.sign(index[strong]) == np.sign(self.oni[strong])),
                        f"sign differs in months {np.nonzero(strong & (np.sign(index) != np.sign(self.oni)))[0] + 1}")
        self.assertGreater(np.corrcoef(index, self.oni)[0, 1], 0.9)
        slope = np.polyfit(self.oni, index, 1)[0]
        self.assertTrue(slope_range[0] < slope < slope_range[1], slope)
        self.assertLess(np.mean(np.abs(index - self.oni)), 0.35)

    def test_reynolds_nino34_follows_the_oni(self):
        self.check(self.index(4), (0.6, 1.4))

    def test_argo_nino34_follows_the_oni(self):
        self.check(self.index(2), (0.6, 1.4))


if __name__ == "__main__":
    unittest.main(verbosity=2)
