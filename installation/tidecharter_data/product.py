"""What every product shares: the months its files hold (each once, in an
unbroken run from January 2004 for a whole import), its grid, the range
its values must lie in, the units it converts from, and the months it
appends after the data there.

Every product module (argo_rg, sst, adt) holds one PRODUCT with the same
attributes and functions, which the importer asks without knowing which
product it is:

    name, option, argument   its name in messages; its command-line
                             option and argparse's keywords for it
    files                    the data files it writes in data/
    package                  its part of an update package: (stem,
                             [(data file, [variables appended])]), or
                             None for a product the packages leave out
    takes_counts             whether the station counts are written with it
    arguments_error(paths)   what is wrong with the files given, or None
    read(inputs, paths)      recognises its files (refusing any other),
                             reads their months and grid: a Product, whole
                             when it reaches back to January 2004, real
                             when the data are then the product's
    month(inputs, product, month, what)
                             one month on its grid, in range
    write(directory, inputs, product, suffix, counts, ready)
                             its data files, named with suffix until checked
    plan_append(data, inputs, product, counts)
                             its later months, to append to the data there
    package_files(work, code, inputs, product, month, counts)
                             its files of one month's update package
"""

import os

import numpy as np

from tidecharter_data import Refused
from tidecharter_data.grid import levels_text
from tidecharter_data.months import month_text, span_text
from tidecharter_data.netcdf_io import unit_word

# Temperatures in kelvin, as units may say it.
KELVIN = ("k", "kelvin", "degk", "degreek", "degreesk")

class Product:
    """One product's months: month index -> (file, variable, time step)."""

    def __init__(self, name):
        self.name = name
        self.months = {}
        self.grid = None
        self.grid_file = None

    def add(self, path, var_name, indices, what=None):
        for step, month in enumerate(indices):
            key = (what, month)
            if key in self.months:
                raise Refused(f"{path}: {month_text(month)} overlaps the same month in "
                              f"{self.months[key][0]}")
            self.months[key] = (path, var_name, step)

    def use_grid(self, path, grid):
        if self.grid is None:
            self.grid, self.grid_file = grid, path
        elif not grid.same(self.grid):
            raise Refused(f"{path}: its grid differs from that of {self.grid_file}")

    def indices(self, what=None):
        return sorted(m for w, m in self.months if w == what)

    def run_end(self, what=None):
        """The last month of the unbroken run from January 2004."""
        indices = [m for m in self.indices(what) if m >= 1]
        if not indices:
            last = self.indices(what)[-1]
            raise Refused(f"{self.months[(what, last)][0]}: the {self.name} data end in "
                          f"{month_text(last)}, before January 2004")
        if indices[0] != 1:
            raise Refused(f"{self.months[(what, indices[0])][0]}: the {self.name} data begin in "
                          f"{month_text(indices[0])}; they must begin by January 2004")
        for a, b in zip(indices, indices[1:]):
            if b != a + 1:
                raise Refused(f"{self.months[(what, b)][0]}: the {self.name} months leave a gap: "
                              f"{month_text(a + 1)} is missing after {month_text(a)} in "
                              f"{self.months[(what, a)][0]}")
        return indices[-1]

    def source(self, month, what=None):
        if (what, month) not in self.months:
            raise Refused(f"{self.grid_file}: no {self.name} data for {month_text(month)} "
                          f"in the files given")
        return self.months[(what, month)]


def physical(path, name, values, limits, month=None):
    """The values, once some are there and all lie in the quantity's range
    `limits`: (lowest, highest, units, the quantity's name)."""
    # The extremes ignoring NaN, without copying the good values out;
    # infinities are missing values too, so those take the long way.
    least = most = np.nan
    if values.size:
        least, most = np.fmin.reduce(values, axis=None), np.fmax.reduce(values, axis=None)
    if not (np.isfinite(least) and np.isfinite(most)):
        good = values[np.isfinite(values)]
        least, most = (good.min(), good.max()) if good.size else (None, None)
    low, high, units, quantity = limits
    what = f"{name} of {month_text(month)}" if month else name
    if least is None:
        raise Refused(f"{path}: {what} holds no values over the Pacific (all missing)")
    if least < low or most > high:
        raise Refused(f"{path}: {what} ranges from {least:g} to {most:g} {units}, outside "
                      f"the {low:g} to {high:g} {units} of {quantity}")
    return values


def conversion(path, var, conversions, product):
    """(scale, offset) from a variable's units into the data files', from
    the product's table of units."""
    units = unit_word(var)
    if units not in conversions:
        raise Refused(f"{path}: {var.name} is in units {getattr(var, 'units', '(none)')!r}, "
                      f"which cannot be converted for {product}")
    return conversions[units]


def grown_by_one(product, months, what=None):
    """Refuses months to append that leave a gap among themselves."""
    for a, b in zip(months, months[1:]):
        if b != a + 1:
            raise Refused(f"{product.source(b, what)[0]}: {month_text(b)} leaves a gap after {month_text(a)}")


def appended_months(product, installed, indices):
    """The months to append after the data there: each the next one."""
    first = indices[0]
    source = product.months[next(k for k in product.months if k[1] == first)][0]
    if first <= installed.end:
        raise Refused(f"{source}: {month_text(first)} is already in {installed.path} "
                      f"(its data end in {month_text(installed.end)})")
    if first != installed.end + 1:
        raise Refused(f"{source}: {month_text(first)} leaves a gap: the data in {installed.path} "
                      f"end in {month_text(installed.end)}")
    return indices


class Append:
    """Months appended to one data file: its variables' values per month."""

    def __init__(self, installed, months, values):
        self.installed, self.months, self.values = installed, months, values
        self.name = os.path.basename(installed.path)


def describe(out, months):
    levels = f", {levels_text(out.pressure)}" if out.pressure is not None else ""
    return (f"{span_text(months)}, {out.grid.describe()}{levels}, "
            f"{os.path.getsize(out.path) / 1e6:.1f} MB")
