"""The Roemmich-Gilson Argo climatology of one release: the temperature
and salinity files (RG_ArgoClim_{Temperature,Salinity}_YYYY.nc: the mean,
monthly anomalies from January 2004, the bathymetry and mapping masks)
and any of its monthly extension files (RG_ArgoClim_YYYYMM_YYYY.nc, both
anomalies of one month), plain or gzipped.  Written as the temperature,
salinity and station files of the Pacific on the product's 1-degree
grid and its levels; extension files alone are appended."""

import concurrent.futures
import os
import re

import numpy as np

from tidecharter_data import Refused
from tidecharter_data.argo_index import STATION_UNITS, station_month, write_stations
from tidecharter_data.grid import horizontal, levels_text
from tidecharter_data.months import month_text, span_text
from tidecharter_data.netcdf_io import (FILL, Installed, Output, coordinate, input_months, own_float,
                                        unit_word, variable)
from tidecharter_data.product import (KELVIN, Append, Product, appended_months, grown_by_one,
                                      physical)

QUANTITIES = ("TEMPERATURE", "SALINITY")
RG_NAME = re.compile(r"RG_ArgoClim_(Temperature|Salinity|\d{6})(?:_(\d{4}))?\.nc(?:\.gz)?$")
# What each quantity may hold, in the data files' units: anything outside
# is in other units than declared, or damaged.
LIMITS = {"TEMPERATURE": (-3.0, 40.0, "degree_C", "temperature"), "SALINITY": (0.0, 45.0, "psu", "salinity")}


class ArgoRG:
    """The product (see product for what its functions do)."""

    name = "Argo"
    option = "--argo"
    argument = dict(nargs="+", action="extend", metavar="FILE",
                    help="Roemmich-Gilson climatology files (temperature, salinity) and "
                         "monthly extension files; extension files alone are appended")
    files = ["RG_ArgoClim_Temperature.nc", "RG_ArgoClim_Salinity.nc", "RG_ArgoClim_Stations.nc"]
    package = ("RG_ArgoClim_", [("RG_ArgoClim_Temperature.nc", ["ARGO_TEMPERATURE_ANOMALY"]),
                                ("RG_ArgoClim_Salinity.nc", ["ARGO_SALINITY_ANOMALY"]),
                                ("RG_ArgoClim_Stations.nc", ["NSTATIONS"])])
    takes_counts = True

    def arguments_error(self, paths):
        return None

    def read(self, inputs, paths):
        argo = Product(self.name)
        # The climatology given (path, values), and where it holds an analysis;
        # an appended month's range is checked against the climatology there.
        argo.means, argo.keep, argo.installed_means = {}, {}, {}
        argo.pressure = None
        # The release is in the names only: RG_ArgoClim_Temperature_2019.nc.
        releases = {}
        for path in paths:
            named = RG_NAME.match(os.path.basename(path))
            if named and named[2]:
                releases[path] = named[2]
        for path, release in releases.items():
            first, first_release = next(iter(releases.items()))
            if release != first_release:
                raise Refused(f"{path}: mixed versions: release {release}, but {first} is "
                              f"release {first_release}")
        for path in paths:
            nc = inputs(path)
            named = RG_NAME.match(os.path.basename(path))
            if not named and not any(v.startswith("ARGO_") for v in nc.variables):
                raise Refused(f"{path}: not a file of the Roemmich-Gilson Argo climatology "
                              f"(no ARGO_ variables; it holds {', '.join(sorted(nc.variables)) or 'nothing'})")
            if "ARGO_TEMPERATURE_MEAN" in nc.variables or (named and named[1] == "Temperature"):
                kinds = ["TEMPERATURE"]
            elif "ARGO_SALINITY_MEAN" in nc.variables or (named and named[1] == "Salinity"):
                kinds = ["SALINITY"]
            else:
                kinds = None
            climatology = kinds is not None
            anomalies = {q: variable(path, nc, f"ARGO_{q}_ANOMALY", 4) for q in (kinds or QUANTITIES)}
            first = next(iter(anomalies.values()))
            grid = horizontal(path, nc, first)
            argo.use_grid(path, grid)
            pressure = levels(path, coordinate(path, nc, first.dimensions[1], "pressure"))
            if argo.pressure is None:
                argo.pressure = pressure
            elif pressure.shape != argo.pressure.shape or not np.allclose(pressure, argo.pressure):
                raise Refused(f"{path}: its pressure levels differ from those of {argo.grid_file}")
            months = input_months(path, nc, first.dimensions[0])
            for q, var in anomalies.items():
                if var.dimensions != first.dimensions:
                    raise Refused(f"{path}: {var.name} is not laid out as {first.name}")
                argo.add(path, var.name, months, q)
            if climatology:
                q = kinds[0]
                if q in argo.means:
                    raise Refused(f"{path}: a second {q.lower()} climatology (the first is {argo.means[q][0]})")
                argo.keep[q], mean = masked_mean(path, nc, q, grid, pressure, first.dimensions[1:])
                argo.means[q] = (path, mean)
                what = f"Argo {q.lower()} mean and anomalies"
            else:
                what = "Argo temperature and salinity anomalies"
            print(f"read {path}: {what}, {span_text(months)}, {first.shape[3]} x {first.shape[2]} cells, "
                  f"{levels_text(pressure)}")
        # Extension files alone are months to append to the Argo data there.
        for q in QUANTITIES if argo.means else ():
            if q not in argo.means:
                raise Refused(f"{paths[0]}: no {q.lower()} climatology among the Argo files "
                              f"(RG_ArgoClim_{q.title()}_*.nc with ARGO_{q}_MEAN)")
        argo.release = next(iter(releases.values()), None)
        for month in sorted(set(argo.indices("TEMPERATURE")) ^ set(argo.indices("SALINITY"))):
            have = "TEMPERATURE" if ("TEMPERATURE", month) in argo.months else "SALINITY"
            raise Refused(f"{argo.months[(have, month)][0]}: {month_text(month)} has "
                          f"{have.lower()} but no {'salinity' if have == 'TEMPERATURE' else 'temperature'}")
        # Extension files alone are appended.
        argo.whole = argo.real = bool(argo.means)
        return argo

    def month(self, inputs, argo, month, q=None):
        path, name, step = argo.source(month, q)
        var = inputs(path).variables[name]
        values = argo.grid.read(path, var, (step,), own_float(var))
        np.copyto(values, np.nan, where=~argo.keep[q])
        # The anomaly's range is that of the mean plus it.
        mean = argo.means[q][1] if q in argo.means else argo.installed_means[q]
        physical(path, name, mean + values, LIMITS[q], month)
        return values

    def write(self, directory, inputs, argo, suffix, counts=None, ready=None):
        """The three Argo data files, named with `suffix` until checked;
        ready(path) as the temperature and then the salinity file is closed."""
        months = list(range(1, min(argo.run_end("TEMPERATURE"), argo.run_end("SALINITY")) + 1))
        written = []
        grid, pressure = argo.grid, argo.pressure
        grid4 = ("TIME", "PRESSURE", "LATITUDE", "LONGITUDE")
        grid3 = grid4[1:]
        records = list(enumerate(months))
        layout = [("TEMPERATURE", "RG_ArgoClim_Temperature.nc", "degree_C", "temperature"),
                  ("SALINITY", "RG_ArgoClim_Salinity.nc", "psu", "salinity")]
        for q, name, units, word in layout:
            out = Output(os.path.join(directory, name + suffix),
                         f"Argo {word} (Roemmich-Gilson), Pacific", [argo.means[q][0]], grid, pressure)
            written.append(out)
            out.add(f"ARGO_{q}_MEAN", grid3, units, f"Mean {word}")
            out.add(f"ARGO_{q}_ANOMALY", grid4, units, f"{word.capitalize()} anomaly from the mean")
            out.times(months)
            out.put(f"ARGO_{q}_MEAN", None, argo.means[q][1])
            out.records()
            # The next month is read while this one is written: the library
            # is used by the reading thread alone meanwhile.
            with concurrent.futures.ThreadPoolExecutor(1) as reading:
                pending = reading.submit(self.month, inputs, argo, months[0], q)
                for record, month in records:
                    values = pending.result()
                    if record + 1 < len(months):
                        pending = reading.submit(self.month, inputs, argo, months[record + 1], q)
                    out.put(f"ARGO_{q}_ANOMALY", record, values)
            out.close()
            if ready is not None:
                ready(out.path)
        written.append(write_stations(directory, argo, months, suffix, counts,
                                      [argo.means["TEMPERATURE"][0]]))
        return [(out, months) for out in written]

    def plan_append(self, data, inputs, argo, counts=None):
        temperature = Installed(data, "RG_ArgoClim_Temperature.nc")
        grid_of = f"{argo.grid.describe()}, {levels_text(argo.pressure)}"
        months = argo.indices("TEMPERATURE")
        for month in months:
            source = argo.source(month, "TEMPERATURE")[0]
            there = re.search(r"RG_ArgoClim_(?:Temperature|Salinity)_(\d{4})", temperature.source)
            if argo.release and there and there[1] != argo.release:
                raise Refused(f"{source}: {month_text(month)} is of release {argo.release}, the data there "
                              f"of release {there[1]}")
            if not temperature.same_grid(argo.grid, argo.pressure):
                raise Refused(f"{source}: {month_text(month)} is on another grid than the data in "
                              f"{temperature.path} ({grid_of}): another release's grid")
        grown_by_one(argo, months, "TEMPERATURE")
        appended_months(argo, temperature, months)
        plans = []
        for q, name in (("TEMPERATURE", "RG_ArgoClim_Temperature.nc"), ("SALINITY", "RG_ArgoClim_Salinity.nc")):
            installed = temperature if q == "TEMPERATURE" else Installed(data, name)
            appended_months(argo, installed, months)
            # Where the climatology there holds no analysis stays missing.
            mean = installed.read(f"ARGO_{q}_MEAN", slice(None))
            argo.keep[q] = mean != FILL
            argo.installed_means[q] = np.where(argo.keep[q], mean, np.nan)
            plans.append(Append(installed, months, {f"ARGO_{q}_ANOMALY": lambda m, q=q: self.month(inputs, argo, m, q)}))
        stations = Installed(data, "RG_ArgoClim_Stations.nc")
        appended_months(argo, stations, months)
        plans.append(Append(stations, months, {"NSTATIONS": lambda m: station_month(counts, argo, m)}))
        return plans


    def package_files(self, work, code, inputs, argo, month, counts=None):
        """One Argo file holds both anomalies and the station counts."""
        out = Output(os.path.join(work, f"RG_ArgoClim_{code}.nc"),
                     f"Tidecharter update {code}: Argo anomalies (Roemmich-Gilson), Pacific",
                     [argo.source(month, q)[0] for q in QUANTITIES], argo.grid, argo.pressure)
        grid4 = ("TIME", "PRESSURE", "LATITUDE", "LONGITUDE")
        out.add("ARGO_TEMPERATURE_ANOMALY", grid4, "degree_C", "Temperature anomaly from the mean")
        out.add("ARGO_SALINITY_ANOMALY", grid4, "psu", "Salinity anomaly from the mean")
        out.add("NSTATIONS", grid4, *STATION_UNITS[counts is not None], "i2")
        out.times([month])
        for q in QUANTITIES:
            out.put(f"ARGO_{q}_ANOMALY", 0, self.month(inputs, argo, month, q))
        out.put("NSTATIONS", 0, station_month(counts, argo, month))
        out.close()
        return [out]


PRODUCT = ArgoRG()


def levels(path, pressure):
    """The pressure axis, which the go scripts address from 0 to 2000 dbar."""
    if len(pressure) < 2 or np.any(np.diff(pressure) <= 0):
        raise Refused(f"{path}: the pressure levels do not increase")
    top = pressure[0] - (pressure[1] - pressure[0]) / 2
    bottom = pressure[-1] + (pressure[-1] - pressure[-2]) / 2
    if top > 0 or bottom < 2000:
        raise Refused(f"{path}: the pressure levels ({pressure[0]:g} to {pressure[-1]:g} dbar) "
                      f"do not span 0 to 2000 dbar")
    return pressure


def masked_mean(path, nc, q, grid, pressure, dims):
    """Where the climatology holds an analysis, and its mean there: not
    below the sea floor, nor below the mapping limit of a marginal sea."""
    mean = variable(path, nc, f"ARGO_{q}_MEAN", 3)
    bathymetry = variable(path, nc, "BATHYMETRY_MASK", 3)
    mapping = variable(path, nc, "MAPPING_MASK", 3)
    for var in (mean, bathymetry, mapping):
        if var.dimensions != dims:
            raise Refused(f"{path}: {var.name} is not on the grid of the anomalies")
    limit = np.nan_to_num(grid.read(path, mapping), nan=-1.0)
    values = grid.read(path, mean)
    if q == "TEMPERATURE" and unit_word(mean) in KELVIN:
        values = values - 273.15
    keep = (grid.read(path, bathymetry) == 1) & (pressure[:, None, None] <= limit) & np.isfinite(values)
    return keep, physical(path, mean.name, np.where(keep, values, np.nan), LIMITS[q])
