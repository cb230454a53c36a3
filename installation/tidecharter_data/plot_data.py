"""The numbers behind a picture, as CSV or NetCDF, from what the go
scripts saved in their data mode (tc_save.jnl): each plot helper saved
there, with Ferret's SAVE, what it would have drawn, one variable per file
(N_NAME.nc, in the order saved), with long_name, units and the attributes
tc_data, tc_months, tc_pressure and tc_region.  bin/tc_plot_data.py is
its program; see its usage for what is written."""

import csv
import datetime
import os
import re
import tempfile

import numpy as np
import netCDF4

from tidecharter_data import Refused
from tidecharter_data.months import FIRST_YEAR, month_indices, month_text

ORDER = "XYTZ"   # the CSV's columns, as the picture reads them
AXIS_NAMES = {"X": "longitude", "Y": "latitude", "Z": "pressure", "T": "time"}
EPOCH = datetime.date(FIRST_YEAR, 1, 1)   # month index 1; the data's own time origin
FILL = np.float32(-1e34)            # Ferret's missing value
# The go scripts' units (Ferret's notation) as a reader writes them, and
# in UDUNITS for the NetCDF file.
UNITS = {"^oC": ("deg C", "degC"), "psu": ("psu", "psu"), "kg/m^3": ("kg/m3", "kg m-3"),
         "dyn cm": ("dyn cm", "0.1 m2 s-2"), "cm/s": ("cm/s", "cm s-1"), "cm": ("cm", "cm"),
         "m": ("m", "m"), "kJ/cm^2": ("kJ/cm2", "kJ cm-2"), "10^14 m^3": ("10^14 m3", "1e14 m3"),
         "profiles": ("profiles", "1"), "profiles, any depth": ("profiles, any depth", "1")}
COORDINATES = {"X": ("degrees_east", "longitude", "Longitude"),
               "Y": ("degrees_north", "latitude", "Latitude"),
               "Z": ("dbar", "sea_water_pressure", "Pressure"),
               "T": ("days since 2004-01-01 00:00:00", "time", "Time")}


class Field:
    """One variable the go scripts saved: its values (NaN where missing),
    its axes in array order (kind, values) and the 1-point axes taken away
    (kind -> value)."""

    def __init__(self, name, values, axes, points, attributes):
        self.values, self.axes, self.points = values, axes, points
        self.long_name = attributes.get("long_name", name)
        # The helpers' generic names give way to the quantity's.
        if name in ("field", "curve", "index"):
            name = re.sub(r"[^a-z0-9]+", "_", re.split(r"[,(]", self.long_name)[0].lower()).strip("_") or name
        self.name = name
        self.units = attributes.get("units", "")
        self.data = attributes.get("tc_data", "")
        self.months = attributes.get("tc_months", "")
        self.pressure = attributes.get("tc_pressure", "")
        self.region = attributes.get("tc_region", "")

    def grid(self):
        return [(kind, tuple(np.round(v, 6))) for kind, v in self.axes]


# ------------------------------------------------------------ months

def month_of(index):
    year, month = divmod(int(index) - 1, 12)
    return FIRST_YEAR + year, month + 1


def month_days(index):
    """Start, middle and end of a month, in days since 1 January 2004."""
    year, month = month_of(index)
    start = (datetime.date(year, month, 1) - EPOCH).days
    year, month = month_of(index + 1)
    end = (datetime.date(year, month, 1) - EPOCH).days
    return start, (start + end) / 2.0, end


def months_text(months):
    """The tc_months attribute ("A B", or "M L 12") in words."""
    words = months.split()
    if len(words) < 2:
        return ""
    first, last = int(words[0]), int(words[1])
    if len(words) > 2 and words[2] == "12":
        year_first, month = month_of(first)
        return f"{datetime.date(FIRST_YEAR, month, 1).strftime('%B')} of every year, {year_first}-{month_of(last)[0]}"
    if first == last:
        return month_text(first)
    return f"{month_text(first)} - {month_text(last)}"


# --------------------------------------------------------- positions

def number(value):
    return f"{float(value):.6g}"


def latitude_text(value):
    return f"{number(abs(value))}{'S' if value < 0 else 'N'}"


def longitude_text(value):
    value = float(value) % 360.0
    return f"{number(360.0 - value)}W" if value > 180.0 else f"{number(value)}E"


def region_text(region):
    """The tc_region attribute (S N W E) as a batch request writes it."""
    try:
        s, n, w, e = (float(v) for v in region.split())
    except ValueError:
        return region
    lat = latitude_text(s) if s == n else f"{latitude_text(s)}-{latitude_text(n)}"
    lon = longitude_text(w) if w == e else f"{longitude_text(w)}-{longitude_text(e)}"
    return f"{lat} {lon}"


def point_text(kind, value):
    return longitude_text(value) if kind == "X" else latitude_text(value)


# --------------------------------------------------------- reading

def read_saved(folder, empty=False):
    """The variables the go scripts saved in `folder`, in their order;
    with `empty`, none when it is empty (a month without data)."""
    try:
        names = [n for n in os.listdir(folder) if re.match(r"\d+_\w+\.nc$", n)]
    except OSError as error:
        raise Refused(f"{folder}: cannot be read: {error.strerror}")
    fields = []
    for name in sorted(names, key=lambda n: int(n.split("_")[0])):
        fields += read_file(os.path.join(folder, name))
    if not fields and not empty:
        raise Refused(f"{folder}: the go scripts saved nothing there")
    return fields


def read_file(path):
    """The tc_save_ variables of one file the go scripts saved; one that
    Ferret could not write whole (a full disk) is refused."""
    try:
        return read_variables(path)
    except (OSError, RuntimeError, ValueError, IndexError) as error:
        raise Refused(f"what Ferret saved cannot be read, a full disk perhaps ({os.path.basename(path)}: "
                      f"{getattr(error, 'strerror', None) or error})")


def read_variables(path):
    fields = []
    with netCDF4.Dataset(path) as nc:
        nc.set_auto_mask(False)
        for name, var in nc.variables.items():
            if not name.upper().startswith("TC_SAVE_"):
                continue
            values = np.array(var[:], dtype=np.float64)
            fill = var.getncattr("_FillValue") if "_FillValue" in var.ncattrs() else FILL
            values[(values == fill) | (np.abs(values) > 1e33)] = np.nan
            attributes = {a: var.getncattr(a) for a in var.ncattrs()}
            axes, points, keep = [], {}, []
            for dim in var.dimensions:
                coordinate = nc.variables.get(dim)
                kind = coordinate.getncattr("axis").upper() if coordinate is not None and \
                    "axis" in coordinate.ncattrs() else None
                if kind not in AXIS_NAMES:
                    raise Refused(f"{path}: {name} has an axis that is no longitude, latitude, pressure or time")
                coord = np.array(coordinate[:], dtype=np.float64)
                if kind == "T":
                    coord = np.array(month_indices(path, coordinate, coord), dtype=np.float64)
                if len(coord) == 1:
                    # A place taken at its nearest grid point; a single
                    # pressure is a side effect of the water's reach or
                    # the reference level, which tc_pressure says better.
                    if kind != "Z":
                        points[kind] = coord[0]
                else:
                    axes.append((kind, coord))
                keep.append(len(coord) > 1)
            shape = [n for n, k in zip(values.shape, keep) if k]
            fields.append(Field(name[len("TC_SAVE_"):].lower(), values.reshape(shape), axes, points, attributes))
    return fields


def stack(files):
    """Fields of consecutive months, one request each, along a time axis;
    a month without data (no fields) is all missing."""
    known = [(n, fields) for n, fields in enumerate(files) if fields]
    if not known:
        raise Refused("no data in any of the months")
    first = known[0][1]
    start = None
    for n, fields in known:
        words = fields[0].months.split()
        if len(words) != 2 or words[0] != words[1] or any(k == "T" for k, _ in fields[0].axes):
            raise Refused("only pictures of one month each can be stacked along time")
        if start is None:
            start = int(words[0]) - n
        if int(words[0]) != start + n:
            raise Refused("the months to stack do not follow one another")
        if [f.name for f in fields] != [f.name for f in first] or \
                [f.grid() for f in fields] != [f.grid() for f in first]:
            raise Refused("the months to stack hold different variables or grids")
    months = [float(start + n) for n in range(len(files))]
    files = [fields or [Field(f.name, np.full(f.values.shape, np.nan), f.axes, f.points, {}) for f in first]
             for fields in files]
    stacked = []
    for i, field in enumerate(first):
        values = np.stack([fields[i].values for fields in files])
        axes = [("T", np.array(months))] + field.axes
        attributes = {"long_name": field.long_name, "units": field.units, "tc_data": field.data,
                      "tc_months": f"{int(months[0])} {int(months[-1])}", "tc_pressure": field.pressure,
                      "tc_region": field.region}
        stacked.append(Field(field.name, values, axes, dict(field.points), attributes))
    return stacked


def heading(journal):
    """The batch run's heading lines of a command file: key -> text."""
    found = {}
    if not journal:
        return found
    try:
        with open(journal, errors="replace") as f:
            for line in f:
                match = re.match(r"!\s*(request|data end dates|program):\s*(.*?)\s*$", line)
                if match:
                    found[match.group(1)] = match.group(2)
    except OSError as error:
        raise Refused(f"{journal}: cannot be read: {error.strerror}")
    return found


def facts(main, journal):
    """(name, text) of the header lines, from the first field."""
    units = UNITS.get(main.units, (main.units, main.units))[0]
    lines = [("property", main.long_name + (f" ({main.data})" if main.data else "")), ("units", units),
             ("months", months_text(main.months)), ("pressure", main.pressure),
             ("region", region_text(main.region)),
             ("grid point", " ".join(point_text(k, main.points[k]) for k in "YX" if k in main.points))]
    told = heading(journal)
    lines += [(key, told.get(key, "")) for key in ("data end dates", "program", "request")]
    return [(k, v) for k, v in lines if v]


# --------------------------------------------------------- writing

def value_text(values):
    """Float32 values at the data's precision; missing values empty."""
    text = np.char.mod("%.7g", values.astype(np.float32).astype(np.float64))
    return np.where(np.isnan(values), "", text)


def coordinate_texts(kind, values):
    if kind == "T":
        return ["%04d-%02d" % month_of(v) for v in values]
    return [number(v) for v in values]


def column_title(kind):
    return "month" if kind == "T" else f"{AXIS_NAMES[kind]} ({COORDINATES[kind][0]})"


def write_csv(out, fields, lines):
    main = fields[0]
    group = [f for f in fields if f.grid() == main.grid()]
    kinds = [k for k in ORDER if any(k == a for a, _ in main.axes)]
    order = [next(i for i, (a, _) in enumerate(main.axes) if a == k) for k in kinds]
    coords = [dict(main.axes)[k] for k in kinds]
    grids = np.meshgrid(*[np.arange(len(c)) for c in coords], indexing="ij")
    columns = [np.array(coordinate_texts(k, c), dtype=object)[g.ravel()] for k, c, g in zip(kinds, coords, grids)]
    columns += [value_text(np.transpose(f.values, order).ravel()) for f in group]
    titles = [column_title(k) for k in kinds]
    titles += [f"{f.long_name} ({UNITS.get(f.units, (f.units,))[0]})" for f in group]
    for key, text in lines:
        out.write(f"# {key}: {text}\n")
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(titles)
    writer.writerows(zip(*columns))


def write_netcdf(path, fields, lines):
    # The classic format: any reader takes it, and a full disk is an error,
    # where the HDF5 library may crash.
    with netCDF4.Dataset(path, "w", format="NETCDF3_64BIT_OFFSET") as nc:
        nc.Conventions = "CF-1.8"
        nc.title = fields[0].long_name
        if fields[0].data:
            nc.source = f"{fields[0].data} data"
        for key, text in lines:
            if key not in ("property", "units"):
                setattr(nc, key.replace(" ", "_"), text)
        nc.history = f"{datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M:%S} UTC: written by tc_plot_data.py from the go scripts' data mode"
        made = {}   # (kind, values, scalar) -> variable name

        def coordinate(kind, values, scalar=False, bounds=None):
            """The coordinate variable of an axis (a dimension of its own)
            or of a single point; months become days with their bounds."""
            if kind == "T" and scalar and bounds is None:
                bounds = month_days(values[0])
            key = (kind, tuple(np.round(values, 6)) if bounds is None else bounds, scalar)
            if key in made:
                return made[key]
            name = AXIS_NAMES[kind]
            for n in range(2, 100):
                if name not in nc.variables:
                    break
                name = f"{AXIS_NAMES[kind]}_{n}"
            shape = () if scalar else (name,)
            if not scalar:
                nc.createDimension(name, len(values))
            var = nc.createVariable(name, "f8", shape)
            var.units, var.standard_name, var.long_name = COORDINATES[kind]
            if not scalar:
                var.axis = kind
            if kind == "Z":
                var.positive = "down"
            if kind == "T":
                days = [month_days(v) for v in values] if bounds is None else [bounds]
                var.calendar = "standard"
                var.bounds = name + "_bnds"
                if "nv" not in nc.dimensions:
                    nc.createDimension("nv", 2)
                nc.createVariable(name + "_bnds", "f8", shape + ("nv",))[:] = \
                    np.array([[d[0], d[2]] for d in days]).reshape(var.shape + (2,))
                values = [d[1] for d in days]
            var[:] = np.array(values, dtype=np.float64).reshape(var.shape)
            made[key] = name
            return name

        for field in fields:
            names = [coordinate(kind, values) for kind, values in field.axes]
            var = nc.createVariable(field.name, "f4", names, fill_value=FILL)
            var.long_name = field.long_name
            var.units = UNITS.get(field.units, (field.units, field.units))[1]
            scalars = [coordinate(k, np.array([field.points[k]]), True) for k in ORDER if k in field.points]
            words = field.months.split()
            if "T" not in field.points and "T" not in dict(field.axes) and len(words) == 2:
                # The months averaged: their middle, bounded by the first's
                # start and the last's end.
                start, end = month_days(int(words[0]))[0], month_days(int(words[1]))[2]
                scalars.append(coordinate("T", np.array([0.0]), True, (start, (start + end) / 2.0, end)))
                if words[0] != words[1]:
                    var.cell_methods = f"{scalars[-1]}: mean"
            if scalars:
                var.coordinates = " ".join(scalars)
            for attribute, text in (("months", months_text(field.months)), ("pressure", field.pressure),
                                    ("region", region_text(field.region)), ("source", field.data)):
                if text:
                    setattr(var, attribute, text)
            values = field.values.astype(np.float32)
            values[np.isnan(field.values)] = FILL
            var[:] = values


def write(output, fields, lines):
    """OUTPUT under a temporary name beside it, then renamed."""
    folder = os.path.dirname(os.path.abspath(output))
    fd, part = tempfile.mkstemp(prefix=".tc_plot_data.", suffix=".partial", dir=folder)
    try:
        if output.lower().endswith(".csv"):
            with os.fdopen(fd, "w", newline="") as out:
                write_csv(out, fields, lines)
                out.flush()
                os.fsync(out.fileno())
        else:
            os.close(fd)
            write_netcdf(part, fields, lines)
        os.chmod(part, 0o644 & ~current_umask())
        os.replace(part, output)
    except BaseException:
        if os.path.exists(part):
            os.unlink(part)
        raise


def current_umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def write_data(output, saved, journal=None):
    """OUTPUT (.csv or .nc) from the directories SAVED; raises Refused, or
    OSError or RuntimeError when it cannot be written."""
    if not output.lower().endswith((".csv", ".nc")):
        raise Refused(f"{output}: not a data file name (.csv or .nc)")
    files = [read_saved(path, len(saved) > 1) for path in saved]
    fields = files[0] if len(files) == 1 else stack(files)
    write(output, fields, facts(fields[0], journal))
