"""The GDAC profile index (ar_index_global_prof.txt, plain or gzipped):
Argo profiles counted per grid cell and month become the station counts
of the Argo data, at every level (the index holds no depth)."""

import contextlib
import gzip
import os
import zlib

import numpy as np

from tidecharter_data import Refused
from tidecharter_data.grid import WEST, Grid
from tidecharter_data.months import FIRST_YEAR
from tidecharter_data.netcdf_io import Installed, Output

OPTION = "--argo-index"
ARGUMENT = dict(metavar="FILE", help="the GDAC profile index ar_index_global_prof.txt[.gz]: Argo profiles "
                                     "per grid cell and month as the station counts")

INDEX_HEADER = "file,date,latitude,longitude,ocean,profiler_type,institution,date_update"

# A row of the index is under 200 characters: a longer line is not one,
# and a file without line breaks is never read whole.
LINE_LIMIT = 4096

# The published index opens with a handful of comment lines.
HEADER_WITHIN = 1000

# Rows parsed before they are counted on the grid at once.
BATCH = 1 << 16

# After this many rows, an index that is mostly rows without a date and
# position is junk, not a profile index with a few blank rows.
JUNK_AFTER = 10000


class ProfileCounts:
    """Argo profiles per grid cell and month, from the GDAC profile index.
    It unpacks to hundreds of megabytes and more each year: it is read a
    block of lines at a time, its header when it is named, its rows once
    the grid is known, and only the counts are kept."""

    def __init__(self, path):
        self.path = path
        self.rows = self.skipped = self.counted = 0
        self.grid = None
        header = None
        with contextlib.closing(self.blocks()) as blocks:
            for first, lines in blocks:
                comments = 0
                while comments < len(lines) and lines[comments].startswith(b"#"):
                    comments += 1
                if first + comments > HEADER_WITHIN:
                    raise Refused(f"{path}: not an Argo profile index: no header in its first "
                                  f"{HEADER_WITHIN} lines")
                if comments < len(lines):
                    header = lines[comments].rstrip(b"\r")
                    break
        if header is None or header.strip() != INDEX_HEADER.encode():
            shown = header.decode("ascii", "replace")[:80] if header is not None else "missing"
            raise Refused(f"{path}: not an Argo profile index: the header is {shown!r}, "
                          f"not {INDEX_HEADER!r}")

    def blocks(self):
        """(number of the first line, lines without their breaks) for each
        block of the file, every line within LINE_LIMIT; a last line
        without its break is refused."""
        opener = gzip.open if self.path.endswith(".gz") else open
        number, rest = 1, b""
        try:
            with opener(self.path, "rb") as f:
                while True:
                    block = f.read(1 << 20)
                    if not block:
                        break
                    lines = (rest + block).split(b"\n")
                    rest = lines.pop()
                    if max(map(len, lines), default=0) > LINE_LIMIT or len(rest) > LINE_LIMIT:
                        longest = next(k for k, line in enumerate(lines + [rest]) if len(line) > LINE_LIMIT)
                        raise Refused(f"{self.path}: not an Argo profile index: line {number + longest} "
                                      f"is longer than {LINE_LIMIT} characters")
                    yield number, lines
                    number += len(lines)
        except (OSError, EOFError, zlib.error) as error:
            raise Refused(f"{self.path}: cannot be read (a gzip file cut short?): {error}") from error
        if rest:
            raise Refused(f"{self.path}: the last line is cut short: "
                          f"{rest.decode('ascii', 'replace')[:60]!r}")

    def on(self, grid, last):
        """Counts on a grid's cells for the months 1 to `last`: the cell
        whose centre is nearest, for positions within half a cell of one."""
        self.grid, self.last, self.cells = grid, last, {}
        self.rows = self.skipped = self.counted = 0
        months, lats, lons = [], [], []
        header = False
        with contextlib.closing(self.blocks()) as blocks:
            for _first, lines in blocks:
                for line in lines:
                    if line.startswith(b"#"):
                        continue
                    if not header:
                        header = True
                        continue
                    self.rows += 1
                    fields = line.rstrip(b"\r").split(b",")
                    try:
                        date, lat, lon = fields[1], float(fields[2]), float(fields[3])
                        year, month = int(date[0:4]), int(date[4:6])
                        if len(date) < 8 or not 1 <= month <= 12 or not (-90 <= lat <= 90) or \
                                not (-180 <= lon <= 360):
                            raise ValueError(date)
                    except (IndexError, ValueError):
                        self.skipped += 1
                        continue
                    months.append((year - FIRST_YEAR) * 12 + month)
                    lats.append(lat)
                    lons.append(lon)
                if self.rows >= JUNK_AFTER and 2 * self.skipped > self.rows:
                    raise Refused(f"{self.path}: not an Argo profile index: {self.skipped} of its first "
                                  f"{self.rows} rows hold no valid date and position")
                if len(months) >= BATCH:
                    self.count(months, lats, lons)
                    months, lats, lons = [], [], []
        self.count(months, lats, lons)
        return self

    def count(self, months, lats, lons):
        grid = self.grid

        def cell(values, centres):
            step = float(np.median(np.diff(centres)))
            index = np.rint((values - centres[0]) / step).astype(int)
            good = (index >= 0) & (index < len(centres))
            index = np.clip(index, 0, len(centres) - 1)
            return index, good & (np.abs(values - centres[index]) <= step / 2 + 1e-6)

        month_of = np.array(months, dtype=int)
        j, jgood = cell(np.array(lats, dtype=float), grid.lat)
        i, igood = cell(np.mod(np.array(lons, dtype=float) - WEST, 360.0) + WEST, grid.lon)
        inside = jgood & igood
        self.counted += int(np.count_nonzero(inside))
        # Months outside the data's are never written: not kept either.
        wanted = inside & (month_of >= 1) & (month_of <= self.last)
        for month in np.unique(month_of[wanted]):
            chosen = wanted & (month_of == month)
            counts = self.cells.setdefault(int(month), np.zeros((len(grid.lat), len(grid.lon)), dtype=np.int32))
            np.add.at(counts, (j[chosen], i[chosen]), 1)

    def month(self, month):
        counts = self.cells.get(month)
        if counts is None:
            counts = np.zeros((len(self.grid.lat), len(self.grid.lon)), dtype=np.int32)
        return np.minimum(counts, np.iinfo(np.int16).max)

    def summary(self):
        return (f"read {self.path}: {self.rows} profiles, {self.counted} in the Pacific grid counted "
                f"per cell and month at every level (the index holds no depth); "
                f"{self.skipped} rows skipped for a blank or invalid position or date")


# The units say where the counts come from: the station plots say that
# counts from the index are of profiles of any depth.
INDEX_UNITS = "count_all_levels"

STATION_UNITS = {False: ("count", "Argo profiles reaching this pressure (unknown)"),
                 True: (INDEX_UNITS, "Argo profiles in the cell and month, from the GDAC profile "
                                     "index (no depth: counted at every level)")}


def station_month(counts, argo, month):
    """NSTATIONS of a month: the index's profiles per cell at every level,
    or all missing without an index."""
    shape = (len(argo.pressure), len(argo.grid.lat), len(argo.grid.lon))
    if counts is None:
        return np.full(shape, np.nan)
    return np.broadcast_to(counts.month(month), shape).astype(float)


def write_stations(directory, argo, months, suffix, counts, sources):
    # Compressed: all missing or mostly small counts take almost no room,
    # and Ferret appends to it as to the others.
    title = ("Argo station counts from the GDAC profile index" if counts is not None
             else "Argo station counts: not in the imported product, all missing")
    out = Output(os.path.join(directory, "RG_ArgoClim_Stations.nc" + suffix), title,
                 sources + ([counts.path] if counts is not None else []), argo.grid, argo.pressure,
                 compressed=True)
    units, long_name = STATION_UNITS[counts is not None]
    out.add("NSTATIONS", ("TIME", "PRESSURE", "LATITUDE", "LONGITUDE"), units, long_name, "i2")
    out.times(months)
    missing = station_month(None, argo, months[0]) if counts is None else None
    for record, month in enumerate(months):
        out.put("NSTATIONS", record, missing if counts is None else station_month(counts, argo, month))
    out.close()
    return out


class InstalledArgo:
    """The Argo grid of the data there, for counts without a new import."""

    def __init__(self, data):
        self.installed = Installed(data, "RG_ArgoClim_Temperature.nc")
        self.grid = self
        self.lon, self.lat = self.installed.lon, self.installed.lat
        self.pressure = self.installed.pressure

    def describe(self):
        return Grid.describe(self)


def recount_stations(data, counts, suffix):
    argo = InstalledArgo(data)
    months = argo.installed.months
    counts.on(argo.grid, months[-1] if months else 0)
    if months != list(range(1, len(months) + 1)):
        raise Refused(f"{argo.installed.path}: its months do not run from January 2004 without a gap")
    return write_stations(data, argo, months, suffix, counts, []), months
