"""A monthly surface product (SST, ADT): files of time, latitude and
longitude holding any number of months each, a variable in known units,
perhaps a land-sea mask file beside them; one data file of the Pacific
on the product's own grid."""

import os

import numpy as np

from tidecharter_data import Refused
from tidecharter_data.grid import horizontal
from tidecharter_data.months import month_text, span_text
from tidecharter_data.netcdf_io import FILL, Installed, Output, input_months, variable
from tidecharter_data.product import Append, Product, appended_months, conversion, grown_by_one, physical


class Surface:
    """One surface product: what its files hold and what it writes.  The
    functions are those of every product (see product)."""

    takes_counts = False

    def __init__(self, name, option, help, variable, conversions, limits, file, stored, units,
                 long_name, title, stem, mask=None, most_files=None):
        self.name, self.option = name, option
        self.argument = dict(nargs="+", action="extend", metavar="FILE", help=help)
        # The input's variable, the units it may come in, and the range of
        # its values in the data files' units.
        self.variable, self.conversions, self.limits = variable, conversions, limits
        # The data file, its variable, units and long name, its title.
        self.file, self.stored, self.units, self.long_name, self.title = file, stored, units, long_name, title
        self.files = [file]
        # Its file stem in an update package; None keeps it out of them.
        self.package = (stem, [(file, [stored])]) if stem else None
        self.mask, self.most_files = mask, most_files

    def arguments_error(self, paths):
        if self.most_files and len(paths) > self.most_files:
            return f"{self.option} takes the {self.name} file and at most its mask file"
        return None

    def read(self, inputs, paths):
        surface = Product(self.name)
        surface.mask = None
        surface.convert = {}
        for path in paths:
            nc = inputs(path)
            if self.variable not in nc.variables:
                if self.mask and self.mask in nc.variables:
                    mask = nc.variables[self.mask]
                    grid = horizontal(path, nc, mask)
                    surface.mask = (path, grid, grid.read(path, mask, (0,) * (mask.ndim - 2)) > 0.5)
                    print(f"read {path}: the land-sea mask of the {self.name}, "
                          f"{mask.shape[-1]} x {mask.shape[-2]} cells")
                    continue
                raise Refused(f"{path}: not a monthly {self.name} file (no variable {self.variable}; it holds "
                              f"{', '.join(sorted(nc.variables)) or 'nothing'})")
            var = variable(path, nc, self.variable, 3)
            surface.use_grid(path, horizontal(path, nc, var))
            surface.convert[path] = conversion(path, var, self.conversions, self.name)
            months = input_months(path, nc, var.dimensions[0])
            surface.add(path, self.variable, months)
            print(f"read {path}: {self.name}, {span_text(months)}, "
                  f"{var.shape[2]} x {var.shape[1]} cells")
        if surface.grid is None:
            raise Refused(f"{paths[0]}: no {self.name} data among the files given")
        if surface.mask is not None:
            path, grid, surface.sea = surface.mask
            if not grid.same(surface.grid):
                raise Refused(f"{path}: the mask is not on the grid of {surface.grid_file}")
        surface.whole = 1 in surface.indices()
        surface.real = True
        return surface

    def month(self, inputs, surface, month, what=None):
        path, name, step = surface.source(month)
        scale, offset = surface.convert[path]
        values = surface.grid.read(path, inputs(path).variables[name], (step,)) * scale + offset
        # The mask file's sea, or the sea of the data there for an appended month.
        if getattr(surface, "sea", None) is not None:
            values = np.where(surface.sea, values, np.nan)
        return physical(path, name, values, self.limits, month)

    def write(self, directory, inputs, surface, suffix, counts=None, ready=None):
        months = list(range(1, surface.run_end() + 1))
        return [(self.write_file(os.path.join(directory, self.file + suffix), self.title, inputs, surface,
                                 months), months)]

    def write_file(self, path, title, inputs, surface, months):
        out = Output(path, title, [src[0] for src in surface.months.values()], surface.grid)
        out.add(self.stored, ("TIME", "LATITUDE", "LONGITUDE"), self.units, self.long_name)
        out.times(months)
        for record, month in enumerate(months):
            out.put(self.stored, record, self.month(inputs, surface, month))
        out.close()
        return out

    def plan_append(self, data, inputs, surface, counts=None):
        installed = Installed(data, self.file)
        months = surface.indices()
        source = surface.source(months[0])[0]
        if not installed.same_grid(surface.grid):
            raise Refused(f"{source}: {month_text(months[0])} is on another grid than the data in "
                          f"{installed.path} ({surface.grid.describe()})")
        grown_by_one(surface, months)
        appended_months(surface, installed, months)
        if surface.mask is None:
            surface.sea = installed.read(self.stored, -1) != FILL
        return [Append(installed, months, {self.stored: lambda m: self.month(inputs, surface, m)})]

    def package_files(self, work, code, inputs, surface, month, counts=None):
        surface.source(month)
        stem = self.package[0]
        return [self.write_file(os.path.join(work, f"{stem}{code}.nc"),
                                f"Tidecharter update {code}: {self.long_name}, Pacific", inputs, surface,
                                [month])]
