"""A product's horizontal grid cut to the Pacific: latitudes south to
north, longitudes in degrees east from 120E, whatever the file's order
and longitude convention; a month read onto it; its levels."""

import numpy as np

from tidecharter_data import Refused
from tidecharter_data.netcdf_io import coordinate, filled, values_and_missing

# The Pacific the program covers: cell centres inside these limits.
SOUTH, NORTH, WEST, EAST = -60.0, 66.0, 120.0, 290.0


def pick(path, centres, low, high, what):
    """Indices of the cells whose centres lie in [low, high], by increasing
    centre, and those centres; refuses a grid with holes, or whose cells
    stop more than one cell short of either end."""
    order = np.argsort(centres, kind="stable")
    values = centres[order]
    steps = np.diff(values)
    step = float(np.median(steps)) if len(steps) else 0.0
    inside = (values >= low - 1e-6) & (values <= high + 1e-6)
    chosen, kept = order[inside], values[inside]
    if (step <= 0 or len(kept) < 2 or kept[0] - low > step + 1e-6
            or high - kept[-1] > step + 1e-6
            or np.max(np.diff(kept)) > 1.5 * step or np.min(np.diff(kept)) < 0.5 * step):
        raise Refused(f"{path}: the grid does not cover the Pacific ({what})")
    return chosen, kept


def stretches(indices):
    """Runs of consecutive indices as (first, stop, reversed) slices."""
    runs, start = [], 0
    for k in range(1, len(indices) + 1):
        if k < len(indices) and abs(int(indices[k]) - int(indices[k - 1])) == 1 and (
                k - start < 2 or indices[k] - indices[k - 1] == indices[start + 1] - indices[start]):
            continue
        run = indices[start:k]
        runs.append((int(min(run)), int(max(run)) + 1, len(run) > 1 and run[1] < run[0]))
        start = k
    return runs


class Grid:
    """The Pacific part of a product's horizontal grid: latitudes running
    south to north, longitudes in degrees east from 120E, whatever the
    file's order and longitude convention."""

    def __init__(self, path, lon, lat):
        lat_index, self.lat = pick(path, lat, SOUTH, NORTH, "60S to 66N")
        lon_index, east = pick(path, np.mod(lon - WEST, 360.0), 0.0, EAST - WEST,
                               "120E to 290E")
        self.lon = WEST + east
        self.rows, self.columns = stretches(lat_index), stretches(lon_index)
        self.descending = lat[0] > lat[-1]

    def same(self, other):
        return (self.lon.shape == other.lon.shape and self.lat.shape == other.lat.shape
                and np.allclose(self.lon, other.lon) and np.allclose(self.lat, other.lat))

    def read(self, path, var, lead=(), dtype=float):
        """var[lead..., latitude, longitude] over the Pacific, float64 (or
        dtype), NaN where missing (packed values are unpacked by the
        library)."""
        try:
            rows = []
            for first, stop, flip_rows in self.rows:
                blocks = []
                for west, east, flip_columns in self.columns:
                    index = tuple(lead) + (Ellipsis, slice(first, stop), slice(west, east))
                    read = values_and_missing(var, index)
                    if read is None:
                        block = filled(var[index], dtype)
                    else:
                        block = read[0].astype(dtype)
                        np.copyto(block, np.nan, where=read[1])
                    if flip_rows:
                        block = block[..., ::-1, :]
                    if flip_columns:
                        block = block[..., ::-1]
                    blocks.append(block)
                rows.append(joined(blocks, -1))
            return joined(rows, -2)
        except (OSError, RuntimeError, IndexError, ValueError) as error:
            raise Refused(f"{path}: {var.name} cannot be read: {error}") from error

    def describe(self):
        step = float(np.median(np.diff(self.lon)))
        south = f"{abs(self.lat[0]):g}{'S' if self.lat[0] < 0 else 'N'}"
        north = f"{abs(self.lat[-1]):g}{'S' if self.lat[-1] < 0 else 'N'}"
        return (f"{len(self.lon)} x {len(self.lat)} cells of {step:g} degree{'' if step == 1 else 's'} "
                f"({self.lon[0]:g}E-{self.lon[-1]:g}E, {south}-{north})")


def joined(blocks, axis):
    # One block, as the usual grids give, needs no copy.
    return blocks[0] if len(blocks) == 1 else np.concatenate(blocks, axis=axis)


def horizontal(path, nc, var):
    lat_dim, lon_dim = var.dimensions[-2:]
    return Grid(path, coordinate(path, nc, lon_dim, "longitude"), coordinate(path, nc, lat_dim, "latitude"))


def levels_text(pressure):
    return f"{len(pressure)} levels {pressure[0]:g}-{pressure[-1]:g} dbar"
