"""The one reader and the one writer of NetCDF.

Reading: the input files, gzipped ones unpacked first, opened when needed
and checked against truncation, their axes refused when longer than any
grid of the products; values as stored with the missing-value rule of
the library's masked arrays, without their cost.  Writing: the data and
package files, classic where Ferret appends to them, each record summed
as it is written and read back against the sums; months appended after a
data file's records."""

import concurrent.futures
import datetime
import errno
import gzip
import math
import os
import re
import shutil
import tempfile
import zlib

import numpy as np
import netCDF4

from tidecharter_data import Refused
from tidecharter_data.journal import IMPORT_PREFIX
from tidecharter_data.months import mid_month_days, month_indices, months_of

# The program that writes the data files, in their history.
WRITER = "tidecharter-import"

# The longest axis of each kind that the products' grids may have (a
# twelfth of a degree, a thousand levels or years of months): a damaged
# header may declare billions of cells, and is refused before any is read.
AXIS_LIMITS = {"longitude": 4320, "latitude": 2160, "pressure": 1000, "time": 12000}

# The fill values of the data files.
FILL = np.float32(-99999.0)
STATION_FILL = np.int16(-1)


class Inputs:
    """The input files, opened when needed and checked against truncation;
    only the last few stay open (a record of monthly files is hundreds).
    Gzipped ones are read from their unpacked copies in `scratch`."""

    KEEP = 16

    def __init__(self):
        self.open = {}
        self.unpacked = {}
        self.scratch = None

    def __call__(self, path):
        nc = self.open.pop(path, None) or open_checked(self.unpacked.get(path, path), path)
        self.open[path] = nc
        while len(self.open) > self.KEEP:
            self.open.pop(next(iter(self.open))).close()
        return nc

    def unpack(self, paths):
        """Unpacks the gzipped files among `paths` into scratch, two at a
        time (the library reads no gzip), once the room for all of them
        is there."""
        packed = sorted({p for p in paths if p.endswith(".gz")} - set(self.unpacked))
        sizes = [unpacked_size(p) for p in packed]
        free = shutil.disk_usage(self.scratch).free
        if sum(sizes) > free:
            raise Refused(f"{packed[0]}: not enough room to unpack {'it' if len(packed) == 1 else 'the gzipped files'} "
                          f"in {self.scratch}: {megabytes(sum(sizes))} needed, {megabytes(free)} free")
        for path in packed:
            handle, self.unpacked[path] = tempfile.mkstemp(prefix=IMPORT_PREFIX + "unpacked-",
                                                           suffix=".nc", dir=self.scratch)
            os.close(handle)
        with concurrent.futures.ThreadPoolExecutor(2) as unpacking:
            for done in [unpacking.submit(unpack, p, self.unpacked[p], n) for p, n in zip(packed, sizes)]:
                done.result()

    def close(self):
        for nc in self.open.values():
            nc.close()
        self.open = {}
        for path in self.unpacked.values():
            try:
                os.remove(path)
            except FileNotFoundError:
                pass
        self.unpacked = {}


def unpacked_size(path):
    """What a gzip file unpacks to, as its trailer says (modulo 4 GiB: at
    least as much as it holds)."""
    try:
        with open(path, "rb") as f:
            if f.read(2) != b"\x1f\x8b":
                raise Refused(f"{path}: not a gzip file")
            f.seek(-4, os.SEEK_END)
            size = int.from_bytes(f.read(4), "little")
            packed = f.tell()
    except OSError as error:
        raise Refused(f"{path}: cannot be read: {error.strerror or error}") from error
    while size < packed:
        size += 1 << 32
    return size


def unpack(path, target, size):
    try:
        with gzip.open(path, "rb") as packed, open(target, "wb") as out:
            shutil.copyfileobj(packed, out, 1 << 20)
    except (EOFError, zlib.error, gzip.BadGzipFile) as error:
        raise Refused(f"{path}: cannot be unpacked (a gzip file cut short?): {error}") from error
    except OSError as error:
        if error.errno in (errno.ENOSPC, errno.EDQUOT):
            raise Refused(f"{path}: not enough room to unpack it in {os.path.dirname(target)}: "
                          f"{megabytes(size)} needed") from error
        raise Refused(f"{error.filename or path}: cannot be unpacked: {error.strerror or error}") from error


def megabytes(size):
    return f"{size / 1e6:.1f} MB"


def open_checked(path, name=None):
    """The NetCDF file at path, called `name` (the file given, of which
    path may be the unpacked copy) in what it says."""
    name = name or path
    try:
        nc = netCDF4.Dataset(path)
    except (OSError, RuntimeError, ValueError) as error:
        raise Refused(f"{name}: cannot be read as NetCDF (damaged or cut short?): {error}") from error
    # A classic-format file cut short still opens, and reads zeros where
    # its data are missing: it must be at least as long as its data.
    if nc.data_model.startswith("NETCDF3"):
        data = 0
        for var in nc.variables.values():
            dims = [nc.dimensions[d] for d in var.dimensions]
            # Every dimension's length, the record dimension's included.
            data += var.dtype.itemsize * math.prod(len(d) for d in dims)
        if os.path.getsize(path) < data:
            nc.close()
            raise Refused(f"{name}: the file is truncated ({os.path.getsize(path)} bytes, "
                          f"its data need {data})")
    return nc


def variable(path, nc, name, ndim):
    if name not in nc.variables:
        raise Refused(f"{path}: the variable {name} is missing")
    var = nc.variables[name]
    if var.ndim != ndim:
        raise Refused(f"{path}: {name} has {var.ndim} dimensions, not {ndim}")
    return var


def axis_values(path, var, kind):
    """The values of a coordinate variable, once its size is known to be
    one of a product's grids."""
    if var.ndim != 1:
        raise Refused(f"{path}: the coordinate {var.name} is not a plain axis")
    if var.size > AXIS_LIMITS[kind]:
        raise Refused(f"{path}: the {kind} axis {var.name} has {var.size} steps, more than the "
                      f"{AXIS_LIMITS[kind]} of any grid of these products")
    try:
        return var[:]
    except (OSError, RuntimeError, IndexError, ValueError, MemoryError) as error:
        raise Refused(f"{path}: the coordinate {var.name} cannot be read: {error}") from error


def coordinate(path, nc, dim, kind):
    if dim not in nc.variables:
        raise Refused(f"{path}: the coordinate variable {dim} is missing")
    values = np.ma.filled(np.ma.asarray(axis_values(path, nc.variables[dim], kind), dtype=float), np.nan)
    if values.ndim != 1 or not np.all(np.isfinite(values)):
        raise Refused(f"{path}: the coordinate {dim} is not a plain axis")
    return values


def coordinate_variable(path, nc, dim):
    if dim not in nc.variables:
        raise Refused(f"{path}: the coordinate variable {dim} is missing")
    return nc.variables[dim]


def input_months(path, nc, dim):
    """The month index of every step of an input's time axis `dim`."""
    time = coordinate_variable(path, nc, dim)
    return month_indices(path, time, axis_values(path, time, "time"))


def values_and_missing(var, index):
    """var[index] as stored, in the machine's byte order, and where it is
    missing as the library's masked array would have it (its _FillValue
    or missing_value; the library's default fill value without a
    _FillValue); None for packed values or a valid range, which need the
    library.  The masked array costs more than the reading."""
    attributes = set(var.ncattrs())
    if var.dtype.kind != "f" or attributes & {"scale_factor", "add_offset", "valid_min", "valid_max", "valid_range"}:
        return None
    masked = var.mask
    var.set_auto_mask(False)
    try:
        values = np.asarray(var[index])
    finally:
        var.set_auto_mask(masked)
    if not values.dtype.isnative:
        values = values.byteswap().view(values.dtype.newbyteorder())
    fills = [var.getncattr(a) for a in ("_FillValue", "missing_value") if a in attributes]
    if "_FillValue" not in attributes:
        fills.append(netCDF4.default_fillvals[values.dtype.str[1:]])
    missing = np.zeros(values.shape, bool)
    for fill in fills:
        missing |= values == values.dtype.type(fill)
    return values, missing


def filled(block, dtype):
    """A block as read, in dtype, with NaN where the library masked it."""
    values = np.array(np.ma.getdata(block), dtype=dtype)
    mask = np.ma.getmask(block)
    if mask is not np.ma.nomask:
        np.copyto(values, np.nan, where=mask)
    return values


def own_float(var):
    """The dtype a variable's values keep unchanged: its own when it is
    float32 and not packed (the anomalies are), else float64."""
    packed = hasattr(var, "scale_factor") or hasattr(var, "add_offset")
    return np.float32 if var.dtype == np.float32 and not packed else float


def unit_word(var):
    return re.sub(r"[\s_]", "", str(getattr(var, "units", ""))).lower()


class Output:
    """One data or package file written month by month, with the sum of
    every record kept for the check after writing."""

    def __init__(self, path, title, sources, grid, pressure=None, compressed=False):
        self.path = path
        self.grid, self.pressure = grid, pressure
        self.sums = {}
        self.compressed = compressed
        self.raw = self.last = None
        self.nc = netCDF4.Dataset(path, "w", format="NETCDF4_CLASSIC" if compressed
                                  else "NETCDF3_64BIT_OFFSET")
        nc = self.nc
        # Every value is written and read back: filling first would write
        # each record twice.
        nc.set_fill_off()
        nc.title = title
        nc.source = "imported from " + ", ".join(sorted({os.path.basename(s) for s in sources}))
        nc.history = f"{datetime.datetime.now():%Y-%m-%d %H:%M:%S} {WRITER}"
        nc.createDimension("LONGITUDE", len(grid.lon))
        nc.createDimension("LATITUDE", len(grid.lat))
        if pressure is not None:
            nc.createDimension("PRESSURE", len(pressure))
        nc.createDimension("TIME", None)
        v = nc.createVariable("LONGITUDE", "f4", ("LONGITUDE",))
        v.units, v.axis, v.modulo = "degrees_east", "X", 360.0
        v[:] = grid.lon
        v = nc.createVariable("LATITUDE", "f4", ("LATITUDE",))
        v.units, v.axis = "degrees_north", "Y"
        v[:] = grid.lat
        if pressure is not None:
            v = nc.createVariable("PRESSURE", "f4", ("PRESSURE",))
            v.units, v.axis, v.positive, v.long_name = "dbar", "Z", "down", "Pressure"
            v[:] = pressure
        v = nc.createVariable("TIME", "f8", ("TIME",))
        v.units, v.axis, v.calendar = "days since 2004-01-01 00:00:00", "T", "standard"

    def times(self, months):
        self.nc.variables["TIME"][:] = mid_month_days(months[-1])[np.array(months) - 1]

    def add(self, name, dims, units, long_name, kind="f4"):
        fill = STATION_FILL if kind == "i2" else FILL
        v = self.nc.createVariable(name, kind, dims, fill_value=fill, zlib=self.compressed, complevel=1)
        v.missing_value = fill
        v.units, v.long_name = units, long_name
        v.set_auto_mask(False)
        return v

    def put(self, name, record, values):
        if record is not None and not self.compressed:
            return self.put_record(name, record, values)
        v = self.nc.variables[name]
        # The same values again (station counts without an index are
        # missing every month) are converted and summed once.
        if self.last is None or self.last[0] is not values or self.last[1].dtype != v.dtype:
            data = stored(values, v.dtype)
            self.last = (values, data, checksum(data))
        _, data, total = self.last
        try:
            if record is None:
                v[:] = data
            else:
                v[record] = data
        except RuntimeError as error:
            raise Refused(f"{self.path}: cannot be written: {error}") from error
        self.sums[(name, record)] = total

    def records(self):
        """Closes the library's handle of a classic file once its header,
        axes and means are final: its records are written directly."""
        if self.raw is None:
            dtypes = {n: v.dtype for n, v in self.nc.variables.items()}
            self.nc.close()
            self.raw = os.open(self.path, os.O_RDWR)
            self.layout = classic_layout(os.pread(self.raw, 1 << 20, 0)) + (dtypes,)

    def put_record(self, name, record, values):
        """A record of a classic file, written where its header puts it:
        one write of the stored bytes instead of the library's many small
        ones.  The header, axes and means are final by then."""
        self.records()
        variables, size, count, dtypes = self.layout
        begin, vsize, is_record = variables[name]
        data = stored(values, dtypes[name])
        wanted = data.astype(data.dtype.newbyteorder(">"))
        if not is_record or not 0 <= record < count or wanted.nbytes > vsize:
            raise ValueError(f"{self.path}: record {record} of {name} is not in the file")
        view, at = memoryview(wanted).cast("B"), begin + record * size
        try:
            while view:
                done = os.pwrite(self.raw, view, at)
                view, at = view[done:], at + done
        except OSError as error:
            raise OSError(error.errno, error.strerror, self.path) from error
        self.sums[(name, record)] = checksum(data)

    def close(self):
        if self.raw is not None:
            raw, self.raw = self.raw, None
            os.close(raw)
        elif self.nc.isopen():
            self.nc.close()

    def check(self, months):
        """Reads the file back: the months expected, and every record as
        written."""
        try:
            with netCDF4.Dataset(self.path) as nc:
                if months_of(nc) != list(months):
                    raise Refused(f"{self.path}: the time axis did not come out as written")
                for (name, record), total in self.sums.items():
                    v = nc.variables[name]
                    v.set_auto_mask(False)
                    data = v[:] if record is None else v[record]
                    if checksum(np.asarray(data)) != total:
                        raise Refused(f"{self.path}: {name} did not come out as written")
        except (OSError, RuntimeError, ValueError) as error:
            raise Refused(f"{self.path}: cannot be read back: {error}") from error


# Bytes per value of each classic NetCDF type.
SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 4, 6: 8, 7: 1, 8: 2, 9: 4, 10: 8, 11: 8}


def classic_layout(head):
    """Where a classic file's header puts each variable: name -> (begin,
    vsize, record?), the size of one record, and the record count."""
    version = head[3]
    if head[:3] != b"CDF" or version not in (1, 2, 5):
        raise ValueError("not a classic NetCDF file")
    pos = 4
    width = 8 if version == 5 else 4

    def count():
        nonlocal pos
        value = int.from_bytes(head[pos:pos + width], "big")
        pos += width
        return value

    def word():
        nonlocal pos
        pos += 4
        return int.from_bytes(head[pos - 4:pos], "big")

    def name():
        nonlocal pos
        n = count()
        text = head[pos:pos + n].decode()
        pos += -(-n // 4) * 4
        return text

    def attributes():
        nonlocal pos
        word()
        for _ in range(count()):
            name()
            kind = word()
            size = count() * SIZES[kind]
            pos += -(-size // 4) * 4

    records = count()
    word()
    dims = []
    for _ in range(count()):
        dims.append((name(), count()))
    attributes()
    word()
    variables = {}
    for _ in range(count()):
        var = name()
        ids = [count() for _ in range(count())]
        attributes()
        word()
        vsize = count()
        begin = int.from_bytes(head[pos:pos + (4 if version == 1 else 8)], "big")
        pos += 4 if version == 1 else 8
        variables[var] = (begin, vsize, bool(ids) and dims[ids[0]][1] == 0)
    sizes = [vsize for _b, vsize, rec in variables.values() if rec]
    return variables, sum(sizes), records


def stored(values, dtype):
    """Values as the data files hold them: the fill value where missing."""
    fill = STATION_FILL if dtype == np.int16 else FILL
    missing = ~np.isfinite(values)
    if dtype == np.int16:
        return np.where(missing, fill, values).astype(dtype)
    data = values.astype(dtype)
    np.copyto(data, fill, where=missing)
    return data


def checksum(data):
    """A record's bytes, to compare with what is read back."""
    data = np.ascontiguousarray(data, dtype=data.dtype.newbyteorder("="))
    return data.dtype.str, data.shape, zlib.crc32(memoryview(data).cast("B"))


class Installed:
    """What a data file there holds: its months, grid and levels."""

    def __init__(self, data, name):
        self.path = os.path.join(data, name)
        try:
            with netCDF4.Dataset(self.path) as nc:
                self.months = months_of(nc)
                self.lon = np.asarray(nc.variables["LONGITUDE"][:], dtype=float)
                self.lat = np.asarray(nc.variables["LATITUDE"][:], dtype=float)
                self.pressure = (np.asarray(nc.variables["PRESSURE"][:], dtype=float)
                                 if "PRESSURE" in nc.variables else None)
                self.source = str(getattr(nc, "source", ""))
                self.classic = nc.data_model.startswith("NETCDF3")
        except (OSError, KeyError, ValueError, IndexError) as error:
            raise Refused(f"{self.path}: cannot be appended to: {error}") from error
        self.end = self.months[-1] if self.months else 0

    def same_grid(self, grid, pressure=None):
        if self.lon.shape != grid.lon.shape or self.lat.shape != grid.lat.shape:
            return False
        if not (np.allclose(self.lon, grid.lon) and np.allclose(self.lat, grid.lat)):
            return False
        if pressure is None:
            return True
        return (self.pressure is not None and self.pressure.shape == pressure.shape
                and np.allclose(self.pressure, pressure))

    def read(self, name, index):
        with netCDF4.Dataset(self.path) as nc:
            v = nc.variables[name]
            v.set_auto_mask(False)
            return np.asarray(v[index])


def append_records(path, plan):
    """Writes the plan's months after the records of `path`; returns the
    sums of what was written, for the check."""
    sums = {}
    with netCDF4.Dataset(path, "a") as nc:
        nc.set_fill_off()
        time = nc.variables["TIME"]
        start = len(time)
        for k, month in enumerate(plan.months):
            record = start + k
            time[record] = mid_month_days(month)[month - 1]
            for name, values in plan.values.items():
                v = nc.variables[name]
                v.set_auto_mask(False)
                data = stored(values(month), v.dtype)
                v[record] = data
                sums[(name, record)] = checksum(data)
    return sums


def check_appended(path, plan, sums):
    try:
        with netCDF4.Dataset(path) as nc:
            if months_of(nc) != plan.installed.months + plan.months:
                raise Refused(f"{path}: the time axis did not come out as written")
            for (name, record), total in sums.items():
                v = nc.variables[name]
                v.set_auto_mask(False)
                if checksum(np.asarray(v[record])) != total:
                    raise Refused(f"{path}: {name} did not come out as written")
    except (OSError, RuntimeError, ValueError) as error:
        raise Refused(f"{path}: cannot be read back: {error}") from error


def fsync(path):
    with open(path, "rb+") as f:
        os.fsync(f.fileno())


def raw(variable, index=None):
    variable.set_auto_mask(False)
    return np.asarray(variable[:] if index is None else variable[index])


def same(a, b):
    return a.shape == b.shape and np.array_equal(a, b, equal_nan=a.dtype.kind == "f")
