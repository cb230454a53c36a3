#!/usr/bin/python3
"""Derived Argo fields, computed once when the data arrive.

usage: tc_derived.py [--append] [--check] DATA_DIR

Writes DATA_DIR/RG_ArgoClim_Derived.nc from RG_ArgoClim_Temperature.nc:
per month (on the temperature file's own time axis) the 2-D fields
  D20   depth of the 20-degree isotherm, m
  MLD   mixed-layer depth, m
  TCHP  tropical cyclone heat potential, kJ/cm2
  WARM  thickness of the water above the 20-degree isotherm, m
each with its calendar-month climatology over all months of the data
(D20_CLIM, ..., on a 12-month axis).  The definitions are those of the go
scripts' tc_prod_derive.jnl, which computes them on the fly; the go
scripts read this file instead (tc_prod_fields.jnl).

Derived data are never trusted: RG_ArgoClim_Derived.stamp records the
size, modification time and file number of the temperature file and of
the derived file itself, and this script's MD5 sum; the batch scripts
compare it (tc_derived_fresh in tc_paths.sh) and run this script when
anything differs.  --check only
says, by its exit status, whether the stamp still holds.  --append, after
the monthly update appended months, computes only the new months when the
file was current before the append (the stamp holds for the file and the
script, and the temperature file has only grown); otherwise everything.
One run at a time per data directory (a flock on the directory)."""

import fcntl
import hashlib
import os
import sys
import time

import numpy as np
import netCDF4

TEMPERATURE = "RG_ArgoClim_Temperature.nc"
DERIVED = "RG_ArgoClim_Derived.nc"
STAMP = "RG_ArgoClim_Derived.stamp"
FIELDS = {
    "D20": ("m", "Depth of the 20-degree isotherm"),
    "MLD": ("m", "Mixed-layer depth (0.2 deg C from 10 dbar)"),
    "TCHP": ("kJ/cm^2", "Tropical cyclone heat potential"),
    "WARM": ("m", "Thickness of the water above the 20-degree isotherm"),
}
RHO_CP = 1025 * 4178e-7     # J/(m3 K), and J/m2 to kJ/cm2


# ------------------------------------------------------------ the fields

def nearest(p, value):
    """Index of the level Ferret picks for z=value."""
    return int(np.argmin(np.abs(p - value)))


def crossing(p, t, target):
    """First pressure below p[0] where t[z, ...], linear between levels,
    reaches target, searching down to the first missing level; NaN where
    it never does."""
    d = t - target
    a, b = d[:-1], d[1:]
    zero = d == 0
    with np.errstate(invalid="ignore"):
        hit = zero[:-1] | (a * b < 0) | zero[1:]
    first = np.argmax(hit, axis=0)
    # The search stops at the first missing level.
    missing = np.isnan(b)
    gap = np.argmax(missing, axis=0)
    gap[~np.take_along_axis(missing, gap[None], 0)[0]] = len(b)
    found = np.take_along_axis(hit, first[None], 0)[0] & (first < gap)
    # Interpolated at the first crossing only, not at every level.
    a, b = np.take_along_axis(a, first[None], 0)[0], np.take_along_axis(b, first[None], 0)[0]
    with np.errstate(invalid="ignore", divide="ignore"):
        at = np.where(a == 0, 0.0, (p[1:] - p[:-1])[first] * a / (a - b)) + p[:-1][first]
    return np.where(found, at, np.nan)


def fields(p, t):
    """D20, MLD, TCHP and WARM of one month's temperature t[z, y, x]
    (deg C, NaN where missing) on pressures p (dbar)."""
    wet = ~np.isnan(t[0])
    d20 = crossing(p, t, 20.0)

    k10 = nearest(p, 10.0)
    dt10 = t[k10] - t[k10:]
    colder, warmer = (crossing(p[k10:], dt10, d) for d in (0.2, -0.2))
    mld = np.fmin(colder, warmer)

    # Each layer's part warmer than 26 deg C, exact for T linear between
    # levels; water above the first level is mixed at its temperature.
    k500 = nearest(p, 500.0)
    g = t[:k500 + 1] - 26
    gup, glo = g[:-1], g[1:]
    dp = (p[1:k500 + 1] - p[:k500]).reshape((-1, 1, 1))
    pos = (np.maximum(gup, 0) + np.maximum(glo, 0)) ** 2
    width = np.abs(gup) + np.abs(glo)
    with np.errstate(invalid="ignore", divide="ignore"):
        layer = np.where(width > 0, 0.5 * dp * pos / width, 0.0)
    # A layer with a missing end has a NaN width and adds 0, as Ferret's
    # @SUM: a column without a whole layer sums to 0.
    layers = np.sum(layer, axis=0)
    tchp = np.where(wet, RHO_CP * (p[0] * np.maximum(g[0], 0) + layers), np.nan)

    with np.errstate(invalid="ignore"):
        cools = np.fmin.reduce(t, axis=0) < 20
    # The deepest level with a value (pressures increase downwards).
    bottom = p[len(p) - 1 - np.argmax(~np.isnan(t[::-1]), axis=0)]
    warm = np.where(cools, np.where(np.isnan(d20), 0.0, d20), bottom)
    warm = np.where(wet, warm, np.nan)
    return {"D20": d20, "MLD": mld, "TCHP": tchp, "WARM": warm}


# ------------------------------------------------------------- the files

def record(data):
    """What the stamp holds: the temperature file and the derived file as
    `stat -L -c '%s %.9Y %i'` prints them (nothing for a missing file),
    then the MD5 sum of this script, so that a changed definition counts
    too, wherever the script is installed."""
    lines = []
    for name in (TEMPERATURE, DERIVED):
        try:
            st = os.stat(os.path.join(data, name))
        except OSError:
            continue
        lines.append(f"{st.st_size} {st.st_mtime_ns // 10**9}.{st.st_mtime_ns % 10**9:09d} {st.st_ino}")
    with open(os.path.abspath(__file__), "rb") as f:
        lines.append(hashlib.md5(f.read()).hexdigest())
    return lines


def read_stamp(data):
    try:
        with open(os.path.join(data, STAMP)) as f:
            return f.read().splitlines()
    except OSError:
        return None


def fresh(data):
    return read_stamp(data) == record(data)


def write_stamp(data):
    path = os.path.join(data, STAMP)
    with open(path + ".partial", "w") as f:
        f.write("\n".join(record(data)) + "\n")
    os.replace(path + ".partial", path)


def temperature_reader(data):
    """(pressure, time variable's values and attributes, month reader)."""
    nc = netCDF4.Dataset(os.path.join(data, TEMPERATURE))
    mean = nc.variables["ARGO_TEMPERATURE_MEAN"]
    anomaly = nc.variables["ARGO_TEMPERATURE_ANOMALY"]
    pressure = np.array(nc.variables[mean.dimensions[0]][:], dtype=np.float64)
    base = np.ma.filled(mean[:].astype(np.float64), np.nan)

    def month(k):
        return base + np.ma.filled(anomaly[k].astype(np.float64), np.nan)
    return nc, pressure, month


def create(path, source):
    """A new derived file with the temperature file's horizontal and time
    axes (their values and attributes), the time axis empty."""
    nc = netCDF4.Dataset(path, "w", format="NETCDF4")
    nc.title = "Derived Argo fields, Pacific"
    nc.history = "tc_derived.py"
    anomaly = source.variables["ARGO_TEMPERATURE_ANOMALY"]
    tdim, _, ydim, xdim = anomaly.dimensions
    for dim in (xdim, ydim):
        size = len(source.dimensions[dim])
        nc.createDimension(dim, size)
        axis = nc.createVariable(dim, "f8", (dim,))
        axis.setncatts({a: source.variables[dim].getncattr(a) for a in source.variables[dim].ncattrs()
                        if a != "_FillValue"})
        axis[:] = source.variables[dim][:]
    nc.createDimension(tdim, None)
    taxis = nc.createVariable(tdim, "f8", (tdim,))
    taxis.setncatts({a: source.variables[tdim].getncattr(a) for a in source.variables[tdim].ncattrs()
                     if a != "_FillValue"})
    nc.createDimension("CALENDAR_MONTH", 12)
    cal = nc.createVariable("CALENDAR_MONTH", "f8", ("CALENDAR_MONTH",))
    cal.units = "month of the year"
    cal.axis = "T"
    cal[:] = np.arange(1, 13)
    ny, nx = len(source.dimensions[ydim]), len(source.dimensions[xdim])
    for name, (units, long_name) in FIELDS.items():
        v = nc.createVariable(name, "f4", (tdim, ydim, xdim), zlib=True, complevel=1, shuffle=True,
                              chunksizes=(1, ny, nx), fill_value=np.float32(-1e34))
        v.units, v.long_name = units, long_name
        c = nc.createVariable(name + "_CLIM", "f4", ("CALENDAR_MONTH", ydim, xdim), zlib=True,
                              complevel=1, shuffle=True, chunksizes=(1, ny, nx),
                              fill_value=np.float32(-1e34))
        c.units, c.long_name = units, long_name + ", mean of the calendar month over all months"
    return nc


def climatology_of(stack):
    """The mean of stack[t, y, x] over the months with data."""
    count = np.sum(~np.isnan(stack), axis=0)
    with np.errstate(invalid="ignore", divide="ignore"):
        return np.where(count > 0, np.nansum(stack, axis=0) / count, np.nan)


def compute(data, append=False):
    """Brings the derived file up to date; returns what it did, or None
    when it was current."""
    path = os.path.join(data, DERIVED)
    lock = os.open(data, os.O_RDONLY)
    try:
        fcntl.flock(lock, fcntl.LOCK_EX)
        return update(data, path, append)
    finally:
        os.close(lock)


def update(data, path, append):
    """compute() under the lock."""
    old = read_stamp(data)
    now = record(data)
    if old == now:
        return None
    started = time.monotonic()
    source, pressure, month = temperature_reader(data)
    try:
        tname = source.variables["ARGO_TEMPERATURE_ANOMALY"].dimensions[0]
        times = np.array(source.variables[tname][:], dtype=np.float64)
        nt = len(times)
        held = 0
        if append and old and len(old) == len(now) == 3 and old[1:] == now[1:] and \
                int(old[0].split()[0]) <= int(now[0].split()[0]):
            try:
                with netCDF4.Dataset(path) as nc:
                    held = len(nc.variables["D20"])
                    same = np.array_equal(np.array(nc.variables[tname][:], dtype=np.float64),
                                          times[:held])
                held = held if same and held < nt else 0
            except (OSError, KeyError, RuntimeError):
                held = 0
        # The stamp goes first: a run stopped halfway leaves no
        # stamp, so the next look recomputes everything.
        try:
            os.remove(os.path.join(data, STAMP))
        except FileNotFoundError:
            pass
        if held:
            out = netCDF4.Dataset(path, "a")
        else:
            out = create(path + ".partial", source)
        try:
            write(out, pressure, month, times, held, nt)
        finally:
            out.close()
        if not held:
            os.replace(path + ".partial", path)
    finally:
        source.close()
    write_stamp(data)
    done = "appended" if held else "computed"
    return (f"{done} the derived fields of months {held + 1} to {nt} in {path} "
            f"in {time.monotonic() - started:.1f} s")


def write(out, pressure, month, times, first, last):
    tname = out.variables["D20"].dimensions[0]
    # A month's chunks are not written again: a small cache keeps the
    # memory the same however many months there are.
    for name in FIELDS:
        for v in (out.variables[name], out.variables[name + "_CLIM"]):
            v.set_var_chunk_cache(size=1 << 20)
    for k in range(first, last):
        for name, field in fields(pressure, month(k)).items():
            out.variables[name][k] = np.ma.masked_invalid(field.astype(np.float32))
        out.variables[tname][k] = times[k]
    changed = sorted({k % 12 for k in range(first, last)}) if first else range(12)
    for name in FIELDS:
        v = out.variables[name]
        for m in changed:
            stack = np.ma.filled(v[m::12].astype(np.float64), np.nan)
            out.variables[name + "_CLIM"][m] = np.ma.masked_invalid(
                climatology_of(stack).astype(np.float32))


def main(argv):
    args = [a for a in argv if not a.startswith("--")]
    flags = {a for a in argv if a.startswith("--")}
    if len(args) != 1 or flags - {"--append", "--check"}:
        print("usage: tc_derived.py [--append] [--check] DATA_DIR", file=sys.stderr)
        return 2
    data = args[0]
    if "--check" in flags:
        return 0 if fresh(data) else 1
    try:
        done = compute(data, append="--append" in flags)
    except (OSError, KeyError, RuntimeError, ValueError) as error:
        print(f"tc_derived.py: {data}: the derived fields cannot be computed: {error}", file=sys.stderr)
        return 1
    print(done or f"the derived fields in {data} are current")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
