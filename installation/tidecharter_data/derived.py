"""Derived Argo fields, computed once when the data arrive: per month of
the temperature file the 2-D fields D20, MLD, TCHP and WARM with their
calendar-month climatologies (RG_ArgoClim_Derived.nc; D20_CLIM is missing
where fewer than half of the calendar month's years have 20-degree
water), and with the
salinity file the specific volume anomaly on the data's own levels
(RG_ArgoClim_SVAN.nc).  The definitions are those of the go scripts
(tc_prod_derive.jnl, tc_derive.jnl).  Never trusted: each file has a
stamp of its inputs, itself and this module's MD5 sum, which the batch
scripts compare (tc_derived_fresh in tc_paths.sh) before a picture."""

import ctypes
import fcntl
import hashlib
import os
import sys
import time

import numpy as np
import netCDF4

from tidecharter_data import INSTALLED_IN
from tidecharter_data.netcdf_io import values_and_missing

# The program that runs this module, in its installation's bin/.
PROGRAM = os.path.join(INSTALLED_IN, "bin", "tc_derived.py")

TEMPERATURE = "RG_ArgoClim_Temperature.nc"
SALINITY = "RG_ArgoClim_Salinity.nc"
DERIVED = "RG_ArgoClim_Derived.nc"
STAMP = "RG_ArgoClim_Derived.stamp"
# The 3-D anomaly has a file and stamp of its own: it is some thirty
# times the 2-D fields, and a salinity change or a failed run there must
# not hold up or throw away the 2-D products.
SVAN = "RG_ArgoClim_SVAN.nc"
SVAN_STAMP = "RG_ArgoClim_SVAN.stamp"
SVAN_FILES = (TEMPERATURE, SALINITY, SVAN)
FIELDS = {
    "D20": ("m", "Depth of the 20-degree isotherm"),
    "MLD": ("m", "Mixed-layer depth (0.2 deg C from 10 dbar)"),
    "TCHP": ("kJ/cm^2", "Tropical cyclone heat potential"),
    "WARM": ("m", "Thickness of the water above the 20-degree isotherm"),
}
# Where the isotherm comes and goes from year to year, its climatology is
# the mean of the few years that had it, and a year with it stands out as
# a spike of tens of metres: D20's climatology is left out where fewer than
# this share of the calendar month's years have 20-degree water.
LEAST_SHARE = {"D20": 0.5}
RHO_CP = 1025 * 4178e-7     # J/(m3 K), and J/m2 to kJ/cm2
FILL = np.float32(-1e34)


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


def fields_by_rows(p, t, rows=8):
    """fields() a few rows of columns at a time, the same values: the
    intermediate arrays then stay in the processor's cache."""
    parts = [fields(p, t[:, j:j + rows]) for j in range(0, t.shape[1], rows)]
    return {name: np.concatenate([part[name] for part in parts]) for name in parts[0]}


def density(s, t, p):
    """Seawater density, kg/m3, UNESCO 1980 (the go scripts' tc_eos.jnl):
    salinity s (psu), temperature t (deg C), pressure p (dbar)."""
    p = p / 10
    s15 = s * np.sqrt(s)    # once: a power of 1.5 is slow
    r0 = (999.842594 + t * (6.793952e-2 + t * (-9.095290e-3 + t * (1.001685e-4 + t * (-1.120083e-6 + t * 6.536332e-9))))
          + s * (0.824493 + t * (-4.0899e-3 + t * (7.6438e-5 + t * (-8.2467e-7 + t * 5.3875e-9))))
          + s15 * (-5.72466e-3 + t * (1.0227e-4 - t * 1.6546e-6)) + 4.8314e-4 * s * s)
    k0 = (19652.21 + t * (148.4206 + t * (-2.327105 + t * (1.360477e-2 - t * 5.155288e-5)))
          + s * (54.6746 + t * (-0.603459 + t * (1.09987e-2 - t * 6.1670e-5)))
          + s15 * (7.944e-2 + t * (1.6483e-2 - t * 5.3009e-4)))
    a = (3.239908 + t * (1.43713e-3 + t * (1.16092e-4 - t * 5.77905e-7))
         + s * (2.2838e-3 + t * (-1.0981e-5 - t * 1.6078e-6)) + 1.91075e-4 * s15)
    b = 8.50935e-5 + t * (-6.12293e-6 + t * 5.2787e-8) + s * (-9.9348e-7 + t * (2.0816e-8 + t * 9.1697e-10))
    return r0 / (1 - p / (k0 + p * (a + p * b)))


def specific_volume_anomaly(p, t, s):
    """SVAN, m3/kg, of t[z, y, x] and s[z, y, x] on pressures p (dbar),
    against water of 35 psu and 0 deg C at the same pressure."""
    out = np.empty_like(t)
    pz = p.reshape((-1, 1, 1))
    with np.errstate(invalid="ignore"):
        standard = 1 / density(35.0, 0.0, pz)
        # A few levels at a time: the equation's forty-odd intermediate
        # arrays then stay in the processor's cache instead of each going
        # out to memory and back, which took longer than the arithmetic.
        for k in range(0, len(p), 4):
            z = slice(k, k + 4)
            out[z] = 1 / density(s[z], t[z], pz[z]) - standard[z]
    return out


def record(data, names=(TEMPERATURE, DERIVED)):
    """What a stamp holds: its input files and the derived file as
    `stat -L -c '%s %.9Y %i'` prints them (nothing for a missing file),
    then the MD5 sum of this module, so that a changed definition counts
    too, wherever the script is installed."""
    lines = []
    for name in names:
        try:
            st = os.stat(os.path.join(data, name))
        except OSError:
            continue
        lines.append(f"{st.st_size} {st.st_mtime_ns // 10**9}.{st.st_mtime_ns % 10**9:09d} {st.st_ino}")
    with open(os.path.abspath(__file__), "rb") as f:
        lines.append(hashlib.md5(f.read()).hexdigest())
    return lines


def read_stamp(data, stamp=STAMP):
    try:
        with open(os.path.join(data, stamp)) as f:
            return f.read().splitlines()
    except OSError:
        return None


def has_salinity(data):
    return os.path.exists(os.path.join(data, SALINITY))


def fresh(data):
    return read_stamp(data) == record(data) and \
        (not has_salinity(data) or read_stamp(data, SVAN_STAMP) == record(data, SVAN_FILES))


def write_stamp(data, stamp=STAMP, names=(TEMPERATURE, DERIVED)):
    path = os.path.join(data, stamp)
    with open(path + ".partial", "w") as f:
        f.write("\n".join(record(data, names)) + "\n")
    os.replace(path + ".partial", path)


def remove_stamp(data, stamp):
    """The stamp goes first: a run stopped halfway leaves no stamp, so the
    next look recomputes everything."""
    try:
        os.remove(os.path.join(data, stamp))
    except FileNotFoundError:
        pass


def argo_reader(data, file=TEMPERATURE, quantity="TEMPERATURE"):
    """(the open file, pressures, month reader: mean plus the month's
    anomaly, NaN where missing)."""
    nc = netCDF4.Dataset(os.path.join(data, file))
    mean = nc.variables[f"ARGO_{quantity}_MEAN"]
    anomaly = nc.variables[f"ARGO_{quantity}_ANOMALY"]
    pressure = np.array(nc.variables[mean.dimensions[0]][:], dtype=np.float64)
    base = np.ma.filled(mean[:].astype(np.float64), np.nan)

    def month(k):
        read = values_and_missing(anomaly, k)
        if read is None:
            return base + np.ma.filled(anomaly[k].astype(np.float64), np.nan)
        values, missing = read
        out = base + values
        out[missing] = np.nan
        return out
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
                              chunksizes=(1, ny, nx), fill_value=FILL)
        v.units, v.long_name = units, long_name
        c = nc.createVariable(name + "_CLIM", "f4", ("CALENDAR_MONTH", ydim, xdim), zlib=True,
                              complevel=1, shuffle=True, chunksizes=(1, ny, nx),
                              fill_value=FILL)
        c.units, c.long_name = units, long_name + ", mean of the calendar month over all months"
        if name in LEAST_SHARE:
            c.long_name += f", missing where fewer than {LEAST_SHARE[name]:.0%} of them have one"
    return nc


def climatology_of(stack, share=0.0):
    """The mean of stack[t, y, x] over the months with data; NaN where
    fewer than `share` of the months have data."""
    return mean_of(np.nansum(stack, axis=0), np.sum(~np.isnan(stack), axis=0), share * len(stack))


def mean_of(total, count, least=0.0):
    """total / count, NaN where count is 0 or below least."""
    with np.errstate(invalid="ignore", divide="ignore"):
        return np.where((count > 0) & (count >= least), total / count, np.nan)


def compute(data, append=False, fields=True):
    """Brings the derived files up to date (the anomaly only, without
    fields); returns what it did, or None when they were current."""
    path = os.path.join(data, DERIVED)
    lock = os.open(data, os.O_RDONLY)
    try:
        fcntl.flock(lock, fcntl.LOCK_EX)
        done = [update(data, path, append)] if fields else []
        if has_salinity(data):
            done.append(update_svan(data, append))
        return "\n".join(d for d in done if d) or None
    finally:
        os.close(lock)


def months_held(path, tname, times):
    """How many of `times` the derived file at path already holds, when
    it holds fewer and they are the same months; else 0."""
    try:
        with netCDF4.Dataset(path) as nc:
            held = len(nc.variables[tname])
            same = np.array_equal(np.array(nc.variables[tname][:], dtype=np.float64), times[:held])
    except (OSError, KeyError, RuntimeError):
        return 0
    return held if same and held < len(times) else 0


def update(data, path, append):
    """compute() under the lock, for the 2-D fields."""
    old = read_stamp(data)
    now = record(data)
    if old == now:
        return None
    started = time.monotonic()
    source, pressure, month = argo_reader(data)
    try:
        tname, times = times_of(source, "TEMPERATURE")
        nt = len(times)
        held = 0
        if append and old and len(old) == len(now) == 3 and old[1:] == now[1:] and \
                int(old[0].split()[0]) <= int(now[0].split()[0]):
            held = months_held(path, tname, times)
        remove_stamp(data, STAMP)
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
    # Written from the start, the climatologies are summed on the way
    # (the same sums, in the same order, as climatology_of's) instead of
    # reading every month back.
    sums = {} if first == 0 else None
    for k in range(first, last):
        for name, field in fields_by_rows(pressure, month(k)).items():
            stored = field.astype(np.float32)
            out.variables[name][k] = np.ma.masked_invalid(stored)
            if sums is not None:
                total, count = sums.setdefault((name, k % 12), (np.zeros(field.shape), np.zeros(field.shape, int)))
                valid = ~np.isnan(stored)
                total += np.where(valid, stored, 0)
                count += valid
        out.variables[tname][k] = times[k]
    changed = sorted({k % 12 for k in range(first, last)}) if first else range(12)
    for name in FIELDS:
        v = out.variables[name]
        share = LEAST_SHARE.get(name, 0.0)
        for m in changed:
            if sums is not None and (name, m) in sums:
                mean = mean_of(*sums[name, m], share * len(range(m, last, 12)))
            else:
                mean = climatology_of(np.ma.filled(v[m::12].astype(np.float64), np.nan), share)
            out.variables[name + "_CLIM"][m] = np.ma.masked_invalid(mean.astype(np.float32))


def times_of(nc, quantity):
    tname = nc.variables[f"ARGO_{quantity}_ANOMALY"].dimensions[0]
    return tname, np.array(nc.variables[tname][:], dtype=np.float64)


def create_svan(path, source):
    """A new SVAN file on the temperature file's axes, the time axis empty;
    a chunk per month and level, so that a map reads only its levels."""
    nc = netCDF4.Dataset(path, "w", format="NETCDF4")
    nc.title = "Specific volume anomaly of the Argo data, Pacific"
    nc.history = "tc_derived.py"
    dims = source.variables["ARGO_TEMPERATURE_ANOMALY"].dimensions
    for dim in dims:
        axis = source.variables[dim]
        nc.createDimension(dim, None if dim == dims[0] else len(source.dimensions[dim]))
        copy = nc.createVariable(dim, "f8", (dim,))
        copy.setncatts({a: axis.getncattr(a) for a in axis.ncattrs() if a != "_FillValue"})
        if dim != dims[0]:
            copy[:] = axis[:]
    ny, nx = (len(source.dimensions[d]) for d in dims[2:])
    # Not compressed: deflating took longer than computing the anomaly,
    # on the import and on every picture that reads it; the file is then
    # the size of the temperature file.
    v = nc.createVariable("SVAN", "f4", dims, chunksizes=(1, 1, ny, nx), fill_value=FILL)
    v.units = "m3/kg"
    v.long_name = "Specific volume anomaly (UNESCO 1980)"
    return nc


def update_svan(data, append):
    """compute() under the lock, for SVAN: as update(), with the salinity
    file among the inputs.  Months that only one of the two files holds
    are left out."""
    path = os.path.join(data, SVAN)
    old = read_stamp(data, SVAN_STAMP)
    now = record(data, SVAN_FILES)
    if old == now:
        return None
    started = time.monotonic()
    temperature, pressure, t_month = argo_reader(data)
    try:
        salinity, _, s_month = argo_reader(data, SALINITY, "SALINITY")
        try:
            tname, times = times_of(temperature, "TEMPERATURE")
            _, s_times = times_of(salinity, "SALINITY")
            nt = min(len(times), len(s_times))
            while nt and not np.array_equal(times[:nt], s_times[:nt]):
                nt -= 1
            held = 0
            grown = old and len(old) == len(now) == 4 and old[2:] == now[2:] and \
                all(int(a.split()[0]) <= int(b.split()[0]) for a, b in zip(old[:2], now[:2]))
            if append and grown:
                held = months_held(path, tname, times[:nt])
            remove_stamp(data, SVAN_STAMP)
            out = netCDF4.Dataset(path, "a") if held else create_svan(path + ".partial", temperature)
            try:
                v = out.variables["SVAN"]
                v.set_var_chunk_cache(size=1 << 20)
                # The fill value put in directly: a masked array costs
                # twice the month's writing.
                v.set_auto_mask(False)
                for k in range(held, nt):
                    anomaly = specific_volume_anomaly(pressure, t_month(k), s_month(k)).astype(np.float32)
                    anomaly[np.isnan(anomaly)] = FILL
                    v[k] = anomaly
                    out.variables[tname][k] = times[k]
            finally:
                out.close()
            if not held:
                os.replace(path + ".partial", path)
        finally:
            salinity.close()
    finally:
        temperature.close()
    write_stamp(data, SVAN_STAMP, SVAN_FILES)
    done = "appended" if held else "computed"
    return (f"{done} the specific volume anomaly of months {held + 1} to {nt} in {path} "
            f"in {time.monotonic() - started:.1f} s")


def keep_heap():
    """Arrays of a month's size come and go hundreds of times: kept on the
    heap instead of being mapped and unmapped each time, which costs a
    page fault every 4 kB (glibc's malloc; elsewhere nothing changes).
    The importer keeps its heap so too."""
    try:
        mallopt = ctypes.CDLL(None).mallopt
    except (OSError, AttributeError):
        return
    # M_MMAP_THRESHOLD, M_TRIM_THRESHOLD, M_TOP_PAD
    for option, value in ((-3, 32 << 20), (-1, 1 << 30), (-2, 64 << 20)):
        mallopt(ctypes.c_int(option), ctypes.c_int(value))
