#!/usr/bin/python3
"""tidecharter-import on fixtures written here in the published layouts:
an import read back through the go scripts (end dates, a map across 180E,
a section, time series), an update package appended by the real update
scripts, and every kind of bad input refused with the data left as they
were.

usage: test_import.py [unittest arguments]
       test_import.py --make-data DIR   (fixtures imported into DIR, for the
                                         picture tests)
Environment: TIDECHARTER_UPDATE_CACHE as for test_update_scripts.py.

The fixtures are coarse subsets (every fifth cell) of the real grids, with
the real pressure levels, built on the Levitus climatology that Debian's
ferret-datasets ships, plus anomalies known in closed form:
- Argo: the Roemmich-Gilson 2019 release as its product page
  (https://sio-argo.ucsd.edu/RG_Climatology.html) and the file headers
  recorded in open-science-pillars/ocean-science,
  knowledge/datasets/roemmich-gilson-argo-climatology.md, describe it:
  RG_ArgoClim_{Temperature,Salinity}_2019.nc with ARGO_*_MEAN, ARGO_*_ANOMALY,
  BATHYMETRY_MASK (1 in the water column, fill -9) and MAPPING_MASK (the
  pressure limit of each column), fill -999, TIME in "months since
  2004-01-01" at mid-month, LONGITUDE 20.5 to 379.5 (modulo), LATITUDE
  64.5S to 79.5N, 58 levels 2.5 to 1975 dbar; RG_ArgoClim_YYYYMM_2019.nc
  with one month of both anomalies.
- SST: NOAA PSL's OI SST V2 monthly mean, sst.mnmean.nc and lsmask.nc
  (https://psl.noaa.gov/data/gridded/data.noaa.oisst.v2.html): sst(time,
  lat, lon), lat 89.5 to -89.5, lon 0.5 to 359.5, time in "days since
  1800-1-1 00:00:00" at the first of each month; packed shorts (scale 0.01,
  missing_value 32767) as older releases, floats as newer ones.
- ADT: Copernicus Marine's SEALEVEL_GLO_PHY_L4_MY_008_047 monthly means
  (dataset cmems_obs-sl_glo_phy-ssh_my_allsat-l4-duacs-0.25deg_P1M-m, files
  dt_global_allsat_msla_h_yYYYY_mMM.nc): adt(time, latitude, longitude) in
  m, packed ints (scale 0.0001), longitude -179.875 to 179.875, time in
  "days since 1950-01-01"; the other form: floats on 0.125 to 359.875.
Layout A (packed, north-to-south SST with a mask file, CMEMS longitudes,
mid-month Argo times) is the main import; layout B (unpacked, south-to-north,
land missing, 0-360 ADT, Argo on -180 to 180 with month-start times) a
small one.
"""

import datetime
import gzip
import os
import shutil
import signal
import subprocess
import sys
import tarfile
import tempfile
import time
import unittest

import numpy as np
import netCDF4

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
IMPORTER = os.path.join(TOP, "installation", "import", "tidecharter-import")
SAMPLE_RECIPE = os.path.join(TOP, "installation", "sampledata", "make_sample_data.py")
sys.path.insert(0, HERE)
from test_update_scripts import APPEND_COMMANDS, DATA_FILES, DriveRoot, command_line, processes, status  # noqa: E402
sys.path.insert(0, os.path.join(TOP, "tests", "go_scripts_2"))
from test_science import heat_potential  # noqa: E402
sys.path.insert(0, os.path.join(TOP, "installation", "bin"))
import tc_derived  # noqa: E402

LEVELS = np.array([2.5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160, 170,
                   182.5, 200, 220, 240, 260, 280, 300, 320, 340, 360, 380, 400, 420, 440, 462.5, 500,
                   550, 600, 650, 700, 750, 800, 850, 900, 950, 1000, 1050, 1100, 1150, 1200, 1250,
                   1300, 1350, 1412.5, 1500, 1600, 1700, 1800, 1900, 1975])
LON = np.arange(95.5, 316.0, 5.0)          # every fifth RG longitude around the Pacific
LAT = np.arange(-64.5, 80.0, 5.0)
SEA_OF_JAPAN = (slice(20, 22), slice(7, 9))  # mapped to 675 dbar only
MONTHS_A, MONTHS_B = 57, 4                 # the package month is MONTHS_A + 1


def levitus():
    """Levitus temperature and salinity on the fixture grid and levels
    (metres taken as dbar), NaN under the sea floor and on land."""
    out = []
    with netCDF4.Dataset("/usr/share/ferret-vis/data/levitus_climatology.cdf") as nc:
        depth = nc["ZAXLEVITR"][:]
        rows, cols = ((LAT + 89.5).astype(int), ((LON - 20.5) % 360).astype(int))
        for name in ("TEMP", "SALT"):
            field = np.ma.filled(nc[name][:, rows, :][:, :, cols].astype(float), np.nan)
            levels = np.full((len(LEVELS),) + field.shape[1:], np.nan)
            for j, i in np.ndindex(field.shape[1:]):
                good = np.isfinite(field[:, j, i])
                if good.any():
                    bottom = depth[good].max()
                    levels[LEVELS <= bottom, j, i] = np.interp(LEVELS[LEVELS <= bottom], depth[good],
                                                               field[good, j, i])
            out.append(levels)
    return out


def anomaly(kind, month, lon=LON):
    """The fixtures' monthly anomaly [level, lat, lon] (salinity a tenth):
    a seasonal wave, and a slower one for the anomaly plots."""
    wave = (np.sin(2 * np.pi * (month + lon[None, :] / 30.0) / 12.0)
            + weather(month, lon[None, :], LAT[:, None]))[None]
    size = (0.8 * np.exp(-LEVELS / 150.0) + 0.05)[:, None, None]
    value = size * wave + 0.02 * month + 0.001 * LAT[None, :, None]
    return value if kind == "TEMPERATURE" else 0.1 * value


def weather(month, lon, lat):
    return 0.6 * np.sin(0.37 * month + lon / 25.0 - lat / 20.0)


def surface(kind, month, lon, lat):
    """SST (deg C) or ADT (m) on a surface grid, NaN on land."""
    tmean = levitus.cache[0][0][0]
    rows = np.clip(np.round((lat + 64.5) / 5).astype(int), 0, len(LAT) - 1)
    cols = np.round(((lon - 95.5) % 360) / 5).astype(int)
    inside = cols < len(LON)
    base = np.where(inside[None, :], tmean[rows][:, np.minimum(cols, len(LON) - 1)], np.nan)
    base[np.abs(lat) > 66] = np.nan
    change = np.sin(2 * np.pi * month / 12 + lon / 40.0)[None, :] + weather(month, lon[None, :], lat[:, None])
    if kind == "SST":
        return base + 0.5 * change
    return 0.02 * base + 0.3 * np.cos(np.radians(lon))[None, :] + 0.05 * change


def write(path, dims, coords, variables, attrs=None):
    """dims: [(name, size or None)]; coords: {name: (values, attrs)};
    variables: [(name, type, dims, values, attrs)]."""
    with netCDF4.Dataset(path, "w", format="NETCDF3_64BIT_OFFSET") as nc:
        nc.setncatts(attrs or {})
        for name, size in dims:
            nc.createDimension(name, size)
        for name, (values, a) in coords.items():
            nc.createVariable(name, "f8" if name.lower().startswith("t") else "f4", (name,))
            nc[name].setncatts(a)
            nc[name][:] = values
        for name, kind, vdims, values, a in variables:
            fill = a.pop("_FillValue", None)
            v = nc.createVariable(name, kind, vdims, fill_value=fill)
            v.setncatts(a)
            v[:] = np.ma.masked_invalid(values)


def rg_file(path, months, quantities, layout, climatology=None):
    lon = LON if layout == "A" else (LON + 180) % 360 - 180
    order = np.argsort(lon)
    times = np.array(months) - (0.5 if layout == "A" else 1.0)
    coords = {"LONGITUDE": (lon[order], {"units": "degrees_east", "modulo": 360.0}),
              "LATITUDE": (LAT, {"units": "degrees_north"}),
              "PRESSURE": (LEVELS, {"units": "dbar", "positive": "down"}),
              "TIME": (times, {"units": "months since 2004-01-01 00:00:00", "axis": "T"})}
    dims = [("LONGITUDE", len(LON)), ("LATITUDE", len(LAT)), ("PRESSURE", len(LEVELS)), ("TIME", None)]
    grid3, grid4 = ("PRESSURE", "LATITUDE", "LONGITUDE"), ("TIME", "PRESSURE", "LATITUDE", "LONGITUDE")
    fill = {"_FillValue": -999.0, "missing_value": -999.0}
    variables = []
    for q in quantities:
        mean = levitus.cache[0][QUANTITIES.index(q)]
        field = np.stack([np.where(np.isfinite(mean), anomaly(q, m), np.nan) for m in months])
        variables.append((f"ARGO_{q}_ANOMALY", "f4", grid4, field[..., order], dict(fill)))
        if climatology:
            variables.append((f"ARGO_{q}_MEAN", "f4", grid3, mean[..., order], dict(fill)))
            water = np.where(np.isfinite(mean), 1.0, np.where(np.isfinite(mean[0]), 0.0, np.nan))
            limit = np.where(np.isfinite(mean[0]), 2000.0, np.nan)
            limit[SEA_OF_JAPAN] = np.minimum(limit[SEA_OF_JAPAN], 675.0)
            variables += [("BATHYMETRY_MASK", "f4", grid3, water[..., order], {"_FillValue": -9.0}),
                          ("MAPPING_MASK", "f4", grid3, np.broadcast_to(limit[..., order], water.shape),
                           {"_FillValue": -9.0})]
    write(path, dims, coords, variables)


def sst_file(path, months, layout):
    lat = np.arange(89.5, -90, -5.0) if layout == "A" else np.arange(-89.5, 90, 5.0)
    lon = np.arange(0.5, 360, 5.0)
    days = [(datetime.date(2004 + (m - 1) // 12, (m - 1) % 12 + 1, 1) - datetime.date(1800, 1, 1)).days
            for m in months]
    field = np.stack([surface("SST", m, lon, lat) for m in months])
    dims = [("lon", len(lon)), ("lat", len(lat)), ("time", None)]
    coords = {"lat": (lat, {"units": "degrees_north"}), "lon": (lon, {"units": "degrees_east"}),
              "time": (days, {"units": "days since 1800-1-1 00:00:00"})}
    if layout == "A":   # packed, land filled in, a separate mask
        attrs = {"scale_factor": np.float32(0.01), "add_offset": np.float32(0.0),
                 "missing_value": np.int16(32767), "units": "degC"}
        write(path, dims, coords, [("sst", "i2", ("time", "lat", "lon"), np.nan_to_num(field, nan=12.34),
                                    attrs)])
        sea = np.isfinite(field[0]).astype(np.int8)[None]
        write(os.path.join(os.path.dirname(path), "lsmask.nc"), dims, {k: coords[k] for k in ("lat", "lon")}
              | {"time": ([0.0], {"units": "days since 1800-1-1 00:00:00"})},
              [("mask", "i1", ("time", "lat", "lon"), sea, {})])
    else:
        write(path, dims, coords, [("sst", "f4", ("time", "lat", "lon"), field,
                                    {"missing_value": np.float32(-9.96921e36), "units": "degC"})])


def adt_file(path, months, layout):
    lat = np.arange(-89.875, 90, 5.0)
    lon = np.arange(-179.875, 180, 5.0) if layout == "A" else np.arange(0.125, 360, 5.0)
    ydim, xdim = ("latitude", "longitude") if layout == "A" else ("lat", "lon")
    days = [(datetime.date(2004 + (m - 1) // 12, (m - 1) % 12 + 1, 15) - datetime.date(1950, 1, 1)).days
            for m in months]
    field = np.stack([surface("ADT", m, lon, lat) for m in months])
    attrs = ({"scale_factor": 0.0001, "_FillValue": np.int32(-2147483647), "units": "m"} if layout == "A"
             else {"_FillValue": np.float32(1e20), "units": "m"})
    write(path, [(xdim, len(lon)), (ydim, len(lat)), ("time", None)],
          {ydim: (lat, {"units": "degrees_north"}), xdim: (lon, {"units": "degrees_east"}),
           "time": (days, {"units": "days since 1950-01-01 00:00:00"})},
          [("adt", "i4" if layout == "A" else "f4", ("time", ydim, xdim), field, attrs)])


QUANTITIES = ("TEMPERATURE", "SALINITY")


def fixtures(directory, layout):
    """Writes one layout's fixture files; returns the importer's arguments
    (A: to MONTHS_A, and the package month's files apart)."""
    if not hasattr(levitus, "cache"):
        levitus.cache = (levitus(),)
    os.makedirs(directory, exist_ok=True)
    path = lambda name: os.path.join(directory, name)  # noqa: E731
    climatology = range(1, 49) if layout == "A" else range(1, MONTHS_B + 1)
    for q in QUANTITIES:
        rg_file(path(f"RG_ArgoClim_{q.title()}_2019.nc"), list(climatology), [q], layout, True)
    argo = [path(f"RG_ArgoClim_{q.title()}_2019.nc") for q in QUANTITIES]
    if layout == "B":
        sst_file(path("sst.mnmean.nc"), range(1, MONTHS_B + 1), "B")
        adt_file(path("adt_monthly.nc"), range(1, MONTHS_B + 1), "B")
        return ["--argo", *argo, "--sst", path("sst.mnmean.nc"), "--adt", path("adt_monthly.nc")]
    for m in range(49, MONTHS_A + 2):
        rg_file(path(f"RG_ArgoClim_2008{m - 48:02d}_2019.nc"), [m], QUANTITIES, "A")
    adt = []
    for m in range(1, MONTHS_A + 2):
        adt.append(path(f"dt_global_allsat_msla_h_y{2004 + (m - 1) // 12}_m{(m - 1) % 12 + 1:02d}.nc"))
        adt_file(adt[-1], [m], "A")
    sst_file(path("sst.mnmean.nc"), range(0, MONTHS_A + 2), "A")
    return ["--argo", *argo, *[path(f"RG_ArgoClim_2008{m:02d}_2019.nc") for m in range(1, 10)],
            "--sst", path("sst.mnmean.nc"), path("lsmask.nc"), "--adt", *adt[:-1]]


# ------------------------------------------------------------------ checks

def run_import(*args):
    """The importer's result, and its peak resident memory in MB
    (peak_mb), its derived processes' included."""
    with tempfile.TemporaryFile("w+") as out, tempfile.TemporaryFile("w+") as err:
        importer = subprocess.Popen(["/usr/bin/python3", IMPORTER, *args], stdout=out, stderr=err, text=True)
        _pid, status, usage = os.wait4(importer.pid, 0)
        importer.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        done = subprocess.CompletedProcess(importer.args, importer.returncode, out.read(), err.read())
    done.peak_mb = usage.ru_maxrss / 1024
    return done


def ferret_values(root, *lines):
    """The value of every line "=EXPRESSION" among Ferret commands, run
    through tcferret.bat as GetDates.jnl runs; NaN where Ferret finds it
    missing."""
    expressions = [line[1:] for line in lines if line.startswith("=")]
    with open(root.path("tmp", "tc_import_check.jnl"), "w") as f:
        f.write("".join(f"say VALUE `{line[1:]},prec=7`\n" if line.startswith("=") else line + "\n"
                        for line in lines))
    root.run("tcferret.bat", "/cygdrive/c/tidecharter/tmp/tc_import_check.jnl")
    with open(root.path("tmp", "tcferret.log")) as f:
        log = f.read()
    values = [float("nan") if w == "bad" else float(w)
              for w in (line.split()[1] for line in log.splitlines() if line.startswith("VALUE "))]
    if len(values) != len(expressions):
        raise AssertionError(log[-3000:])
    return values


def argo(kind, month, lon, lat, level):
    i, j, k = list(LON).index(lon), list(LAT).index(lat), list(LEVELS).index(level)
    mean = levitus.cache[0][QUANTITIES.index(kind)]
    return mean[k, j, i] + anomaly(kind, month)[k, j, i]


def point(kind, month, lon, lat):
    return surface(kind, month, np.array([lon]), np.array([lat]))[0, 0]


def copy(source, target, drop=(), cut=None):
    """A copy of a NetCDF file without the variables `drop`, and with
    dimension cut[0] limited to the slice cut[1]."""
    with netCDF4.Dataset(source) as src, netCDF4.Dataset(target, "w", format=src.data_model) as dst:
        for name, dim in src.dimensions.items():
            size = len(range(len(dim))[cut[1]]) if cut and name == cut[0] else len(dim)
            dst.createDimension(name, None if dim.isunlimited() else size)
        for name, var in src.variables.items():
            if name in drop:
                continue
            attrs = {a: var.getncattr(a) for a in var.ncattrs()}
            v = dst.createVariable(name, var.dtype, var.dimensions, fill_value=attrs.pop("_FillValue", None))
            v.setncatts(attrs)
            var.set_auto_maskandscale(False)
            v.set_auto_maskandscale(False)
            v[:] = var[tuple(cut[1] if cut and d == cut[0] else slice(None) for d in var.dimensions)]


def spoil(source, target, name, change, units=None):
    """A copy of a NetCDF file whose variable `name` is set to
    change(values), and said to be in `units` when given."""
    copy(source, target)
    with netCDF4.Dataset(target, "a") as nc:
        nc[name][:] = change(nc[name][:])
        if units:
            nc[name].units = units


def gzip_bomb(path, head, unit):
    """A gzip file of a few MB that unpacks to `head`, then 1 GiB of
    `unit` again and again (one small member, repeated)."""
    member = gzip.compress(unit * ((1 << 20) // len(unit)))
    with open(path, "wb") as f:
        f.write(gzip.compress(head) + member * 1024)


def surface_declaring(path, dim, size, time=0.0):
    """A small NetCDF-4 ADT file whose dimension `dim` is declared `size`
    long (nothing of it written), with one time step `time`."""
    axes = {"time": [time], "lat": np.arange(-87.5, 90, 5.0), "lon": np.arange(2.5, 360, 5.0)}
    with netCDF4.Dataset(path, "w", format="NETCDF4") as nc:
        for name, values in axes.items():
            nc.createDimension(name, size if name == dim else len(values))
            v = nc.createVariable(name, "f8", (name,), zlib=True)
            if name != dim:
                v[:] = values
        nc["time"].units = "days since 1950-01-01 00:00:00"
        nc.createVariable("adt", "f4", ("time", "lat", "lon"), zlib=True).units = "m"


class Import(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="tidecharter-import-")
        cls.args = {layout: fixtures(os.path.join(cls.work, layout), layout) for layout in "AB"}
        cls.r = DriveRoot()

    @classmethod
    def tearDownClass(cls):
        cls.r.remove()
        shutil.rmtree(cls.work, ignore_errors=True)

    def fixture(self, layout, name):
        return os.path.join(self.work, layout, name)

    def test_import_then_an_update_package_appended(self):
        r = self.r
        # The SST to September 2008 as the others (each product goes to its
        # own end), and the update source kept: it serves --package output.
        a = list(self.args["A"])
        a[a.index("--sst") + 1] = cut = os.path.join(self.work, "sst_to_sep2008.nc")
        copy(self.fixture("A", "sst.mnmean.nc"), cut, cut=("time", slice(0, 58)))
        done = run_import(*a, "--drive-root", r.root, "--update-source",
                          "file:///cygdrive/c/tidecharter/update_source/")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("Jan 2004 - Sep 2008 (57 months), 34 x 26 cells of 5 degrees (120.5E-285.5E, "
                      "59.5S-65.5N), 58 levels 2.5-1975 dbar", done.stdout)
        self.assertEqual(r.end_dates(), [57, 57, 57])
        self.assertEqual(r.leftovers(), [])
        # The derived files, computed beside the import, are in the data,
        # current (not computed once more after it), and nothing of that
        # work is left in tmp.
        for what, name in (("derived fields", tc_derived.DERIVED), ("specific volume anomaly", tc_derived.SVAN)):
            self.assertIn(f"computed the {what} of months 1 to 57 in {r.path('data', name)} ", done.stdout)
            self.assertEqual(done.stdout.count(f"computed the {what} "), 1, done.stdout)
        tmp = r.path("tmp")
        self.assertEqual([n for n in os.listdir(tmp) if os.path.isdir(os.path.join(tmp, n))], ["update"])
        # Building the sample again, as a set-up does, keeps the real data.
        data = r.path("data")
        before = {n: os.stat(os.path.join(data, n)).st_mtime_ns for n in os.listdir(data)}
        again = subprocess.run(["/usr/bin/python3", SAMPLE_RECIPE, "--force", data], capture_output=True, text=True)
        self.assertIn("holds other data than the sample: no sample data built", again.stdout, again.stderr)
        self.assertEqual({n: os.stat(os.path.join(data, n)).st_mtime_ns for n in os.listdir(data)}, before)

        # A map at 0 dbar (the 2.5 dbar level) on both sides of 180E; a
        # section along 140W whose pressures fall either side of a level
        # boundary (1381.25 dbar); below the mapping limit of a marginal
        # sea; a time series across the climatology's last month; the heat
        # potential with the water above 2.5 dbar.
        got = ferret_values(r, "go tc_begin", "go tc_data argo", "go tc_months range tc_temp 54 54",
                            "go tc_field tc_temp 0 0", "=tc_field[x=175.5,y=0.5]", "=tc_field[x=185.5,y=0.5]",
                            "go tc_field tc_temp", "=tc_field[x=220,y=0.5,z=1380]",
                            "=tc_field[x=220,y=0.5,z=1385]", "=tc_field[x=220,y=-39.5,z=1000]",
                            "=tc_temp[x=135.5,y=40.5,z=500,l=54]", "=tc_temp[x=135.5,y=40.5,z=1000,l=54]",
                            *[f"=tc_psal[x=220,y=-39.5,z=100,l={m}]" for m in (1, 48, 49, 57)],
                            "go tc_prod_derive", "=tc_tchp[x=160.5,y=0.5,l=56]")
        want = [argo("TEMPERATURE", 54, 175.5, 0.5, 2.5), argo("TEMPERATURE", 54, 185.5, 0.5, 2.5),
                argo("TEMPERATURE", 54, 220.5, 0.5, 1350), argo("TEMPERATURE", 54, 220.5, 0.5, 1412.5),
                argo("TEMPERATURE", 54, 220.5, -39.5, 1000), argo("TEMPERATURE", 54, 135.5, 40.5, 500),
                np.nan] + [argo("SALINITY", m, 220.5, -39.5, 100) for m in (1, 48, 49, 57)] + [
                heat_potential(LEVELS, [argo("TEMPERATURE", 56, 160.5, 0.5, p) for p in LEVELS])]
        np.testing.assert_allclose(got, want, atol=2e-4)
        # SST from packed shorts with the land masked by the mask file, ADT
        # from metres on -180..180 into centimetres.
        got = ferret_values(r, "go tc_data reynolds", "=tc_sst[x=180.5,y=-0.5,l=57]",
                            "=tc_sst[x=135.5,y=-25.5,l=57]", "go tc_data aviso",
                            "=tc_alt[x=200.125,y=0.125,l=57]")  # -159.875 in the file
        np.testing.assert_allclose(got, [point("SST", 57, 180.5, -0.5), np.nan,
                                         100 * point("ADT", 57, -159.875, 0.125)], atol=6e-3)

        # The next month as an update package, fetched, checked and
        # appended by the update's own scripts.
        source = r.path("update_source")
        made = run_import("--package", "2008-10", "--out", source, *self.args["A"],
                          self.fixture("A", "dt_global_allsat_msla_h_y2008_m10.nc"),
                          "--argo", self.fixture("A", "RG_ArgoClim_200810_2019.nc"))
        self.assertEqual(made.returncode, 0, made.stderr)
        with tarfile.open(os.path.join(source, "102008.tar.gz")) as archive:
            self.assertEqual(sorted(archive.getnames()),
                             ["Aviso_102008.nc", "RG_ArgoClim_102008.nc", "Reynolds_102008.nc"])
        r.sign(os.path.join(source, "102008.tar.gz"))
        r.run("tcGetUp.bat", "102008")
        r.run("tcRunUp.bat", "102008")
        self.assertEqual(r.status("runup.log"), ["DIDI", "DONE"])
        with open(r.path("tmp", "tcferret102008.txt"), "w") as f:
            f.write(APPEND_COMMANDS.format("102008"))
        self.assertEqual(r.run("tcAppUp.bat", "102008").returncode, 0, r.appup_log())
        self.assertEqual(r.end_dates(), [58, 58, 58])
        got = ferret_values(r, "go tc_data argo", "=tc_temp[x=220,y=0.5,z=0,l=58]")
        np.testing.assert_allclose(got, [argo("TEMPERATURE", 58, 220.5, 0.5, 2.5)], atol=2e-4)
        # The derived fields gained that one month, and equal those of
        # all 58 months computed afresh, climatologies included.
        self.assertIn("appended the derived fields of months 58 to 58", r.appup_log())
        self.assertIn("appended the specific volume anomaly of months 58 to 58", r.appup_log())
        afresh = tempfile.mkdtemp(prefix="tc_derived_")
        self.addCleanup(shutil.rmtree, afresh, True)
        shutil.copy(r.path("data", "RG_ArgoClim_Temperature.nc"), afresh)
        shutil.copy(r.path("data", "RG_ArgoClim_Salinity.nc"), afresh)
        self.assertIn("computed the derived fields of months 1 to 58", tc_derived.compute(afresh))
        for derived in (tc_derived.DERIVED, tc_derived.SVAN):
            with netCDF4.Dataset(r.path("data", derived)) as got, \
                    netCDF4.Dataset(os.path.join(afresh, derived)) as want:
                for name in want.variables:
                    np.testing.assert_array_equal(got[name][:], want[name][:], name)
        check = ["/usr/bin/python3", r.path("bin", "tc_derived.py"), "--check", r.path("data")]
        self.assertEqual(subprocess.run(check).returncode, 0)
        # Touched, the derived file is no longer trusted: the batch
        # scripts' look before a picture computes it again.
        os.utime(r.path("data", tc_derived.DERIVED))
        self.assertEqual(subprocess.run(check).returncode, 1)
        log = r.path("tmp", "derived_test.log")
        subprocess.run(["/bin/sh", "-c", '. "$0/tc_paths.sh"; tc_derived_fresh "$1"', r.path("bin"), log],
                       check=True)
        with open(log) as f:
            self.assertIn("computed the derived fields of months 1 to 58", f.read())
        self.assertEqual(subprocess.run(check).returncode, 0)
        # A touched salinity file: only the anomaly is computed again.
        os.utime(r.path("data", "RG_ArgoClim_Salinity.nc"))
        self.assertEqual(subprocess.run(check).returncode, 1)
        os.remove(log)
        subprocess.run(["/bin/sh", "-c", '. "$0/tc_paths.sh"; tc_derived_fresh "$1"', r.path("bin"), log],
                       check=True)
        with open(log) as f:
            self.assertEqual(f.read().split(" in ")[0], "computed the specific volume anomaly of months 1 to 58")
        self.assertEqual(subprocess.run(check).returncode, 0)

    def test_killed_import_cleaned_up_at_start_up(self):
        # Killed with its derived processes just started: they end with it,
        # and the program's start-up recovery removes what it left.
        r = DriveRoot()
        self.addCleanup(r.remove)
        importer = subprocess.Popen(["/usr/bin/python3", IMPORTER, *self.args["B"], "--drive-root", r.root],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        children = f"/proc/{importer.pid}/task/{importer.pid}/children"
        while importer.poll() is None:
            with open(children) as f:
                if f.read().split():
                    break
            time.sleep(0.002)
        # Stopped with its group as soon as a child is there: killed before
        # any could finish.
        self.assertIsNone(importer.poll(), "the import ended before its derived processes were seen")
        os.killpg(importer.pid, signal.SIGSTOP)
        importer.kill()
        self.assertEqual(importer.wait(), -signal.SIGKILL)
        try:
            os.killpg(importer.pid, signal.SIGCONT)
        except ProcessLookupError:
            pass
        tmp = r.path("tmp")
        left = [n for n in os.listdir(tmp) if n.startswith(".import-derived-")]
        self.assertTrue(left)

        def derived():
            # Its process group too: a child stopped between fork and exec
            # does not show its arguments yet.
            def left(pid):
                _name, state, group = status(pid)
                return state != "Z" and (group == importer.pid or
                                         any(w.startswith(tmp.encode()) for w in command_line(pid)))
            return processes(left)
        deadline = time.monotonic() + 30
        while derived() and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertEqual(derived(), [])
        # Nothing was computed to the end after the importer's death.
        for name in left:
            self.assertNotIn(tc_derived.SVAN, os.listdir(os.path.join(tmp, name)))
            self.assertNotIn(tc_derived.DERIVED, os.listdir(os.path.join(tmp, name)))
        subprocess.run([r.path("bin", "tc_update_check.py"), "recover"], check=True)
        self.assertEqual([n for n in os.listdir(tmp) if n.startswith(".import-")], [])
        self.assertEqual(r.leftovers(), [])

    def test_other_layouts_then_bad_inputs_change_nothing(self):
        r = self.r
        b = self.args["B"]
        # The Argo pair gzipped, as it is served.
        packed = [os.path.join(self.work, os.path.basename(name) + ".gz") for name in b[1:3]]
        for name, gzipped in zip(b[1:3], packed):
            with open(name, "rb") as f, gzip.open(gzipped, "wb") as g:
                shutil.copyfileobj(f, g)
        done = run_import("--argo", *packed, *b[3:], "--drive-root", r.root)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(r.end_dates(), [4, 4, 4])
        got = ferret_values(r, "go tc_data argo", "=tc_temp[x=185.5,y=0.5,z=0,l=4]", "go tc_data reynolds",
                            "=tc_sst[x=180.5,y=0.5,l=3]", "go tc_data aviso", "=tc_alt[x=180.125,y=0.125,l=2]")
        np.testing.assert_allclose(got, [argo("TEMPERATURE", 4, 185.5, 0.5, 2.5), point("SST", 3, 180.5, 0.5),
                                         100 * point("ADT", 2, 180.125, 0.125)], atol=2e-4)

        bad = os.path.join(self.work, "bad")
        os.makedirs(bad)
        path = lambda name: os.path.join(bad, name)  # noqa: E731
        salinity, sst, adt = b[2], b[4], b[6]
        copy(salinity, path("RG_ArgoClim_Salinity_2019.nc"), drop=("ARGO_SALINITY_ANOMALY",))
        copy(adt, path("adt_narrow.nc"), cut=("lon", slice(30, 50)))
        rg_file(path("RG_ArgoClim_200402_2019.nc"), [2], QUANTITIES, "B")
        rg_file(path("RG_ArgoClim_200405_2018.nc"), [5], QUANTITIES, "B")
        adt_file(path("adt_gap.nc"), [1, 2, 4], "B")
        with open(sst, "rb") as f, open(path("sst_cut.nc"), "wb") as g:
            g.write(f.read()[:os.path.getsize(sst) * 3 // 5])
        with open(packed[1], "rb") as f, open(path("RG_ArgoClim_Salinity_2019.nc.gz"), "wb") as g:
            whole = f.read()
            g.write(whole[:len(whole) // 2] + whole[-8:])   # its own trailer: the size it had
        temperature = path("RG_ArgoClim_Temperature_2019.nc")
        spoil(sst, path("sst_empty.nc"), "sst", lambda v: np.full(v.shape, np.nan))
        spoil(adt, path("adt_empty.nc"), "adt", lambda v: np.full(v.shape, np.nan))
        for name in ("ARGO_TEMPERATURE_MEAN", "ARGO_TEMPERATURE_ANOMALY"):
            os.makedirs(path(name))
            spoil(b[1], os.path.join(path(name), "RG_ArgoClim_Temperature_2019.nc"), name,
                  lambda v: np.full(v.shape, np.nan))
        spoil(b[1], temperature, "ARGO_TEMPERATURE_MEAN", lambda v: v + 273.15)
        surface_declaring(path("adt_wide.nc"), "lon", 2 ** 31)
        surface_declaring(path("adt_long.nc"), "time", 2 ** 31)
        surface_declaring(path("adt_far.nc"), None, 0, time=1e300)

        # Argo temperature in kelvin, said so, is taken in degrees C; an
        # infinite SST is missing, not out of range.
        os.makedirs(path("kelvin"))
        kelvin = os.path.join(path("kelvin"), "RG_ArgoClim_Temperature_2019.nc")
        spoil(b[1], kelvin, "ARGO_TEMPERATURE_MEAN", lambda v: v + 273.15, units="K")

        def infinite(values):   # at 180.5E 0.5N on the 5-degree grid from 89.5S, 0.5E
            values[0, 18, 36] = np.inf
            return values
        spoil(sst, path("sst_inf.nc"), "sst", infinite)
        done = run_import("--argo", kelvin, *b[2:4], path("sst_inf.nc"), *b[5:], "--drive-root", r.root)
        self.assertEqual(done.returncode, 0, done.stderr)
        with netCDF4.Dataset(r.path("data", "RG_ArgoClim_Temperature.nc")) as got:
            i, j = list(got["LONGITUDE"][:]).index(185.5), list(got["LATITUDE"][:]).index(0.5)
            self.assertAlmostEqual(float(got["ARGO_TEMPERATURE_MEAN"][0, j, i]),
                                   levitus.cache[0][0][0, list(LAT).index(0.5), list(LON).index(185.5)], 3)
        with netCDF4.Dataset(r.path("data", "Reynolds_SST.nc")) as got:
            got.set_auto_mask(False)
            i, j = list(got["LONGITUDE"][:]).index(180.5), list(got["LATITUDE"][:]).index(0.5)
            self.assertEqual(got["SST"][0, j, i], -99999.0)
            self.assertAlmostEqual(float(got["SST"][0, j, i + 1]), point("SST", 1, 185.5, 0.5), 3)
        cases = [  # (arguments, the file named, what the message says)
            (["--argo", b[1], adt, "--sst", sst, "--adt", adt], adt, "not a file of the Roemmich-Gilson"),
            (["--argo", b[1], path("RG_ArgoClim_Salinity_2019.nc"), *b[3:]],
             path("RG_ArgoClim_Salinity_2019.nc"), "ARGO_SALINITY_ANOMALY is missing"),
            ([*b[:6], path("adt_narrow.nc")], path("adt_narrow.nc"), "does not cover the Pacific (120E"),
            ([*b[:3], path("RG_ArgoClim_200402_2019.nc"), *b[3:]], path("RG_ArgoClim_200402_2019.nc"),
             "Feb 2004 overlaps"),
            ([*b[:6], path("adt_gap.nc")], path("adt_gap.nc"), "gap: Mar 2004 is missing"),
            ([*b[:3], path("RG_ArgoClim_200405_2018.nc"), *b[3:]], path("RG_ArgoClim_200405_2018.nc"),
             "mixed versions"),
            ([*b[:4], path("sst_cut.nc"), *b[5:]], path("sst_cut.nc"), "truncated"),
            ([b[0], packed[0], path("RG_ArgoClim_Salinity_2019.nc.gz"), *b[3:]],
             path("RG_ArgoClim_Salinity_2019.nc.gz"), "cannot be unpacked (a gzip file cut short?)"),
            ([*b[:4], path("sst_empty.nc"), *b[5:]], path("sst_empty.nc"),
             "sst of Jan 2004 holds no values over the Pacific (all missing)"),
            ([*b[:6], path("adt_empty.nc")], path("adt_empty.nc"), "adt of Jan 2004 holds no values"),
            *[(["--argo", os.path.join(path(name), "RG_ArgoClim_Temperature_2019.nc"), *b[2:]],
               os.path.join(path(name), "RG_ArgoClim_Temperature_2019.nc"), f"{name}{month} holds no values")
              for name, month in (("ARGO_TEMPERATURE_MEAN", ""), ("ARGO_TEMPERATURE_ANOMALY", " of Jan 2004"))],
            (["--argo", temperature, *b[2:]], temperature,
             "ARGO_TEMPERATURE_MEAN ranges from 27"),  # kelvin, not said so
            ([*b[:6], path("adt_wide.nc")], path("adt_wide.nc"), "axis lon has 2147483648 steps"),
            ([*b[:6], path("adt_long.nc")], path("adt_long.nc"), "axis time has 2147483648 steps"),
            ([*b[:6], path("adt_far.nc")], path("adt_far.nc"), "cannot be read as dates"),
        ]
        digest = r.data_digest()
        for args, named, reason in cases:
            with self.subTest(reason):
                refused = run_import(*args, "--drive-root", r.root)
                self.assertEqual(refused.returncode, 1, refused.stdout + refused.stderr)
                self.assertEqual(len(refused.stderr.splitlines()), 1, refused.stderr)
                self.assertIn(f"tidecharter-import: {named}: ", refused.stderr)
                self.assertIn(reason, refused.stderr)
                self.assertEqual(r.data_digest(), digest)
                self.assertEqual(r.leftovers(), [])
                self.assertEqual([n for n in os.listdir(r.path("tmp")) if n.startswith(".import-")], [])

        # A disk that fills up just as the copies are written: the journal
        # cannot be, and the copies go.
        with self.subTest("full disk"):
            data = r.path("data")
            shutil.copytree(data, path("data"))
            mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64m", "tidecharter-full", data],
                                     capture_output=True, text=True)
            if mounted.returncode != 0:
                print(f"full disk not tried: no tmpfs mounted: {mounted.stderr.strip()}", file=sys.stderr)
                self.skipTest("cannot mount a tmpfs here")
            try:
                for name in digest:
                    shutil.copy(os.path.join(path("data"), name), data)
                # Room for copies of the same size as the data files, and
                # not a page more.
                pages = sum(-(-os.path.getsize(os.path.join(data, n)) // 4096) * 4096 for n in digest)
                room = os.statvfs(data)
                with open(os.path.join(data, ".filler"), "wb") as filler:
                    os.posix_fallocate(filler.fileno(), 0, room.f_bavail * room.f_frsize - pages)
                refused = run_import(*b, "--drive-root", r.root)
                os.remove(os.path.join(data, ".filler"))
                self.assertEqual(refused.returncode, 1, refused.stdout + refused.stderr)
                self.assertEqual(refused.stderr, f"tidecharter-import: {data}/.append_commit: cannot be "
                                 "written: No space left on device; nothing has changed\n")
                self.assertEqual(r.leftovers(), [])
                self.assertEqual(r.data_digest(), digest)
            finally:
                subprocess.run(["umount", data], check=True)
            # No room in tmp for the gzipped pair unpacked.
            tmp = r.path("tmp")
            subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tidecharter-full", tmp], check=True)
            try:
                refused = run_import("--argo", *packed, "--drive-root", r.root)
                need, free = sum(map(os.path.getsize, b[1:3])), shutil.disk_usage(tmp).free
                self.assertEqual(refused.stderr, f"tidecharter-import: {packed[1]}: not enough room to unpack the "
                                 f"gzipped files in {tmp}: {need / 1e6:.1f} MB needed, {free / 1e6:.1f} MB free\n")
                self.assertEqual(os.listdir(tmp), ["update"])
            finally:
                subprocess.run(["umount", tmp], check=True)
    def test_products_one_by_one_a_month_appended_and_profiles_counted(self):
        # Argo alone over the sample: its own end date, the sample's others.
        r = DriveRoot()
        self.addCleanup(r.remove)
        a = self.args["A"]
        done = run_import(*a[:a.index("--sst")], "--drive-root", r.root)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(r.end_dates(), [57, 56, 56])
        with open(r.path("bin", "pacific", "versioninfo.txt")) as f:
            self.assertEqual(f.read().split("\n")[1], "Data Jan 2004 - Aug 2008".ljust(30))
        with open(r.path("bin", "update_source.txt")) as f:
            self.assertEqual(f.read(), "none\n")

        # The next extension month appended in place; then refusals that
        # name the month and change nothing.
        october = self.fixture("A", "RG_ArgoClim_200810_2019.nc")
        done = run_import("--argo", october, "--drive-root", r.root)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("appended Oct 2008 to ", done.stdout)
        self.assertEqual(r.end_dates(), [58, 56, 56])
        got = ferret_values(r, "go tc_data argo", "=tc_temp[x=220,y=0.5,z=0,l=58]",
                            "=tc_psal[x=135.5,y=40.5,z=100,l=58]", "=tc_temp[x=220,y=0.5,z=0,l=57]")
        np.testing.assert_allclose(got, [argo("TEMPERATURE", 58, 220.5, 0.5, 2.5),
                                         argo("SALINITY", 58, 135.5, 40.5, 100),
                                         argo("TEMPERATURE", 57, 220.5, 0.5, 2.5)], atol=2e-4)
        bad = os.path.join(self.work, "append")
        os.makedirs(bad, exist_ok=True)
        path = lambda name: os.path.join(bad, name)  # noqa: E731
        rg_file(path("RG_ArgoClim_200812_2019.nc"), [60], QUANTITIES, "A")
        shutil.copy(october, path("RG_ArgoClim_200811_2020.nc"))
        shutil.copy(october, path("RG_ArgoClim_200811_2019.nc"))
        with netCDF4.Dataset(path("RG_ArgoClim_200811_2019.nc"), "a") as nc:
            nc["TIME"][:] = [58.5]
            nc["LONGITUDE"][:] = nc["LONGITUDE"][:] + 1.0
        digest = r.data_digest()
        for name, reason in ((october, "Oct 2008 is already in"), (path("RG_ArgoClim_200812_2019.nc"),
                             "Dec 2008 leaves a gap"), (path("RG_ArgoClim_200811_2020.nc"), "Oct 2008 is of release 2020"),
                             (path("RG_ArgoClim_200811_2019.nc"), "Nov 2008 is on another grid")):
            with self.subTest(reason):
                refused = run_import("--argo", name, "--drive-root", r.root)
                self.assertEqual(refused.returncode, 1, refused.stdout)
                self.assertEqual(refused.stderr.count("\n"), 1, refused.stderr)
                self.assertIn(f"tidecharter-import: {name}: {reason}", refused.stderr)
                self.assertEqual(r.data_digest(), digest)
                self.assertEqual(r.leftovers(), [])

        # Station counts from the profile index, at every level: three known
        # cells, and rows without a position or date skipped.
        index = path("ar_index_global_prof.txt")
        rows = ["aoml/1/profiles/R1_001.nc,20081002120000,0.1,180.2,P,846,AO,20090101000000",
                "aoml/1/profiles/R1_002.nc,20081015000000,-1.0,-179.0,P,846,AO,20090101000000",
                "aoml/2/profiles/R2_001.nc,20081020000000,2.9,178.9,P,846,AO,20090101000000",
                "csio/3/profiles/R3_001.nc,20081005000000,-40.0,-139.0,P,846,CS,20090101000000",
                "csio/3/profiles/R3_002.nc,20081006000000,-38.0,-141.0,P,846,CS,20090101000000",
                "jma/4/profiles/R4_001.nc,20040110000000,30.5,140.5,P,846,JA,20090101000000",
                "coriolis/5/profiles/R5_001.nc,20081003000000,0.0,10.0,A,846,IF,20090101000000",
                "coriolis/5/profiles/R5_002.nc,20081003000000,,,P,846,IF,20090101000000",
                "coriolis/5/profiles/R5_003.nc,,1.0,180.0,P,846,IF,20090101000000",
                "coriolis/5/profiles/R5_004.nc,20081003000000,99999,99999,P,846,IF,20090101000000"]
        text = ("# Title : Profile directory file of the Argo GDAC\n# FTP root number 1 : ftp://x\n"
                "file,date,latitude,longitude,ocean,profiler_type,institution,date_update\n"
                + "".join(row + "\n" for row in rows))
        with gzip.open(index + ".gz", "wt") as f:
            f.write(text)
        with open(path("cut.txt"), "w") as f:
            f.write(text[:-30])
        with open(path("header.txt"), "w") as f:
            f.write(text.replace("latitude,longitude", "lat,lon"))
        with open(index + ".gz", "rb") as f, open(path("cut.txt.gz"), "wb") as g:
            g.write(f.read()[:-20])
        # Gzip bombs: read a line at a time, refused in one line.
        gzip_bomb(path("zeros.txt.gz"), b"", b"\0")
        gzip_bomb(path("junk.txt.gz"), text.encode(), b"junk,junk\n")
        digest = r.data_digest()
        for name, reason in (("cut.txt", "the last line is cut short"), ("header.txt", "the header is"),
                             ("cut.txt.gz", "cannot be read"), ("zeros.txt.gz", "line 1 is longer than"),
                             ("junk.txt.gz", "rows hold no valid date and position")):
            with self.subTest(reason):
                refused = run_import("--argo-index", path(name), "--drive-root", r.root)
                self.assertEqual(refused.returncode, 1, refused.stdout)
                self.assertEqual(refused.stderr.count("\n"), 1, refused.stderr)
                self.assertIn(reason, refused.stderr)
                self.assertLess(refused.peak_mb, 300)
                self.assertEqual(r.data_digest(), digest)
        done = run_import("--argo-index", index + ".gz", "--drive-root", r.root)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("3 rows skipped", done.stdout)
        with netCDF4.Dataset(r.path("data", "RG_ArgoClim_Stations.nc")) as nc:
            counts = nc["NSTATIONS"][:]
            self.assertEqual(nc["NSTATIONS"].units, "count_all_levels")
        cell = lambda lon, lat: (list(LAT).index(lat) - 1, list(LON).index(lon) - 5)  # noqa: E731
        self.assertEqual(counts.shape[0], 58)
        for month, lon, lat, want in ((58, 180.5, 0.5, 3), (58, 220.5, -39.5, 2), (1, 140.5, 30.5, 1)):
            j, i = cell(lon, lat)
            self.assertEqual(list(counts[month - 1, :, j, i]), [want] * len(LEVELS), (month, lon, lat))
        self.assertEqual(int(counts.sum()), 6 * len(LEVELS))


def make_data(directory):
    """Layout A imported into DIRECTORY/root, once: the data of the picture
    tests' run on imported data."""
    data = os.path.join(directory, "root", "tidecharter", "data")
    if all(os.path.exists(os.path.join(data, name)) for name in DATA_FILES):
        return 0
    os.makedirs(data, exist_ok=True)
    done = run_import(*fixtures(os.path.join(directory, "fixtures"), "A"), "--drive-root",
                      os.path.join(directory, "root"))
    shutil.rmtree(os.path.join(directory, "fixtures"), ignore_errors=True)
    sys.stdout.write(done.stdout + done.stderr)
    return done.returncode


if __name__ == "__main__":
    if sys.argv[1:2] == ["--make-data"]:
        sys.exit(make_data(sys.argv[2]))
    unittest.main(verbosity=2)
