#!/usr/bin/python3
"""Data of the real size for timing the pictures: what tidecharter-import
writes from the published products, 180 months (2004-2018) by default.

usage: make_real_size_data.py DATA_DIR [--months N]

Writes the five data files into DATA_DIR in the importer's layout: Argo
temperature and salinity on the 1-degree grid (cell centres 120.5E-289.5E,
59.5S-65.5N) with the 58 levels 2.5-1975 dbar, station counts all missing,
SST on 1 degree and ADT on 0.25 degree, mid-month times in days since
January 2004; then the derived fields (tidecharter_data.derived).  The values are the
Levitus climatology of Debian's ferret-datasets with the import test's
closed-form anomalies (a seasonal wave and slower weather), plus a
thermocline heave that follows a 4-year cycle, so D20, TCHP and the warm
water volume vary as in the ocean.  For measurements only (about 1.8 GB
and a few minutes); never part of the tests."""

import argparse
import datetime
import os
import sys
import time

import numpy as np
import netCDF4

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(TOP, "tests", "update"))
sys.path.insert(0, os.path.join(TOP, "installation"))
import test_import as fixture  # noqa: E402
from tidecharter_data import derived, sample  # noqa: E402
from tidecharter_data.months import mid_month_days  # noqa: E402
from tidecharter_data.netcdf_io import FILL  # noqa: E402
LON = np.arange(120.5, 290.0, 1.0)
LAT = np.arange(-59.5, 66.0, 1.0)


def create(path, title, lon, lat, pressure, months, compressed=False):
    nc = netCDF4.Dataset(path, "w", format="NETCDF4_CLASSIC" if compressed else "NETCDF3_64BIT_OFFSET")
    nc.title, nc.history = title, f"{datetime.datetime.now():%Y-%m-%d %H:%M:%S} make_real_size_data.py"
    sample.define_axes(nc, lon, lat, pressure, mid_month_days(months))
    return nc


def add(nc, name, dims, units, kind="f4", compressed=False):
    fill = np.int16(-1) if kind == "i2" else FILL
    v = nc.createVariable(name, kind, dims, fill_value=fill, zlib=compressed, complevel=1)
    v.missing_value, v.units = fill, units
    v.set_auto_mask(False)
    return v


def filled(values, fill=FILL):
    return np.where(np.isfinite(values), values, fill).astype(np.float32)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("data_dir")
    parser.add_argument("--months", type=int, default=180)
    args = parser.parse_args(argv)
    started = time.monotonic()
    os.makedirs(args.data_dir, exist_ok=True)
    fixture.LON, fixture.LAT = LON, LAT
    tmean, smean = fixture.levitus()
    nz = len(fixture.LEVELS)
    grid4 = ("TIME", "PRESSURE", "LATITUDE", "LONGITUDE")
    # A 4-year cycle heaving the tropical thermocline by up to 30 m.
    cycle = np.sin(2 * np.pi * np.arange(args.months) / 48.0)
    tropics = np.exp(-(LAT[:, None] / 12.0) ** 2) * np.cos(np.radians(LON - 205))[None, :]
    gradient = np.nan_to_num(np.gradient(tmean, fixture.LEVELS, axis=0))
    for q, mean, units in (("TEMPERATURE", tmean, "degree_C"), ("SALINITY", smean, "psu")):
        path = os.path.join(args.data_dir, f"RG_ArgoClim_{q.title()}.nc")
        with create(path + ".partial", f"Argo {q.lower()}, Pacific (real-size stand-in)",
                    LON, LAT, fixture.LEVELS, args.months) as nc:
            add(nc, f"ARGO_{q}_MEAN", grid4[1:], units)[:] = filled(mean)
            anomaly = add(nc, f"ARGO_{q}_ANOMALY", grid4, units)
            for k in range(args.months):
                value = fixture.anomaly(q, k + 1, LON)
                if q == "TEMPERATURE":
                    value = value - 30 * cycle[k] * tropics[None] * gradient
                anomaly[k] = filled(np.where(np.isfinite(mean), value, np.nan))
        os.replace(path + ".partial", path)
    path = os.path.join(args.data_dir, "RG_ArgoClim_Stations.nc")
    with create(path + ".partial", "Argo station counts: all missing", LON, LAT, fixture.LEVELS,
                args.months, compressed=True) as nc:
        stations = add(nc, "NSTATIONS", grid4, "count", "i2", compressed=True)
        for k in range(args.months):
            stations[k] = np.full((nz, len(LAT), len(LON)), -1, dtype=np.int16)
    os.replace(path + ".partial", path)
    for name, variable, units, step in (("Reynolds_SST.nc", "SST", "degree_C", 1),
                                        ("Aviso_ADT.nc", "ADT", "cm", 4)):
        lon = np.arange(120 + 0.5 / step, 290, 1.0 / step)
        lat = np.arange(-60 + 0.5 / step, 66, 1.0 / step)
        base = np.repeat(np.repeat(tmean[0], step, axis=0), step, axis=1)
        path = os.path.join(args.data_dir, name)
        with create(path + ".partial", f"{variable}, Pacific (real-size stand-in)", lon, lat, None,
                    args.months) as nc:
            v = add(nc, variable, ("TIME", "LATITUDE", "LONGITUDE"), units)
            for k in range(args.months):
                change = np.sin(2 * np.pi * (k + 1) / 12 + lon / 40.0)[None, :] + \
                    fixture.weather(k + 1, lon[None, :], lat[:, None])
                v[k] = filled(base + 0.5 * change if variable == "SST" else 2 * base + 5 * change)
        os.replace(path + ".partial", path)
    print(f"wrote {args.months} months of real-size data into {args.data_dir} "
          f"in {time.monotonic() - started:.1f} s")
    print(derived.compute(args.data_dir))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
