#!/usr/bin/python3
"""Build sample monthly update packages that continue the sample data.

usage: make_update_packages.py DATADIR OUTDIR [INDEX ...] [--force]

DATADIR holds the installed sample data (RG_ArgoClim_Temperature.nc, ...);
OUTDIR receives one package per month index (default 57 and 58, September
and October 2008), each a gzipped tar archive MMYYYY.tar.gz holding

  RG_ArgoClim_MMYYYY.nc  ARGO_TEMPERATURE_ANOMALY, ARGO_SALINITY_ANOMALY,
                         NSTATIONS
  Reynolds_MMYYYY.nc     SST
  Aviso_MMYYYY.nc        ADT

on the grids of the data files.  The months come from the sample-data
recipe (installation/sampledata/make_sample_data.py) run on to the last
requested month; Argo anomalies are taken against the means already in
DATADIR, as the monthly files of the real product are.
"""

import argparse
import io
import os
import sys
import tarfile
import tempfile

import numpy as np
import netCDF4

HERE = os.path.dirname(os.path.abspath(__file__))
RECIPE_DIRS = [os.path.join(HERE, "..", "sampledata"), HERE]

# Package file stem -> (data file, variables taken from it).
PACKAGE_LAYOUT = {
    "RG_ArgoClim_": [("RG_ArgoClim_Temperature.nc", ["ARGO_TEMPERATURE_ANOMALY"]),
                     ("RG_ArgoClim_Salinity.nc", ["ARGO_SALINITY_ANOMALY"]),
                     ("RG_ArgoClim_Stations.nc", ["NSTATIONS"])],
    "Reynolds_": [("Reynolds_SST.nc", ["SST"])],
    "Aviso_": [("Aviso_ADT.nc", ["ADT"])],
}
SAMPLE_SOURCE = ("Tidecharter sample data built from the Ferret "
                 "climatologies; not observations")
MEANS = {"ARGO_TEMPERATURE_ANOMALY": "ARGO_TEMPERATURE_MEAN",
         "ARGO_SALINITY_ANOMALY": "ARGO_SALINITY_MEAN"}


def holds_sample(datadir):
    """Whether the data files are the sample's: imported data have other
    grids, and packages of their own products."""
    for parts in PACKAGE_LAYOUT.values():
        for data_name, _names in parts:
            with netCDF4.Dataset(os.path.join(datadir, data_name)) as data:
                if getattr(data, "source", "") != SAMPLE_SOURCE:
                    return False
    return True


def month_code(index):
    year, month = 2004 + (index - 1) // 12, (index - 1) % 12 + 1
    return f"{month:02d}{year:04d}"


def load_recipe():
    for directory in RECIPE_DIRS:
        if os.path.exists(os.path.join(directory, "make_sample_data.py")):
            sys.path.insert(0, directory)
            import make_sample_data
            return make_sample_data
    raise SystemExit("make_update_packages.py: sample-data recipe not found")


def run_recipe(last_index):
    """The recipe's fields for months 1..last_index, by variable name, as
    absolute values (anomaly + the recipe's own mean) plus the time axis."""
    recipe = load_recipe()
    recipe.NMONTHS = last_index
    fields = {}

    def capture(path, title, lon, lat, variables, pressure=None):
        by_name = {name: data for name, _dims, data, _attrs in variables}
        for name, data in by_name.items():
            if name in MEANS.values():
                continue
            mean = by_name.get(MEANS.get(name))
            fields[name] = data + mean[None] if mean is not None else data

    recipe.write_dataset = capture
    recipe.build("")
    return fields, recipe.month_axis()


def write_package_file(path, index, time_value, parts, fields, datadir):
    with netCDF4.Dataset(path, "w", format="NETCDF3_64BIT_OFFSET") as out:
        out.title = f"Tidecharter sample update, month {month_code(index)}"
        out.source = SAMPLE_SOURCE
        for data_name, names in parts:
            with netCDF4.Dataset(os.path.join(datadir, data_name)) as data:
                for name in names:
                    template = data.variables[name]
                    for dim in template.dimensions:
                        if dim in out.dimensions:
                            continue
                        coord = data.variables[dim]
                        out.createDimension(dim, None if dim == "TIME" else len(coord))
                        v = out.createVariable(dim, coord.dtype, (dim,))
                        v.setncatts({k: coord.getncattr(k) for k in coord.ncattrs()})
                        v[:] = [time_value] if dim == "TIME" else coord[:]
                    attrs = {k: template.getncattr(k) for k in template.ncattrs()}
                    fill = attrs.pop("_FillValue", None)
                    v = out.createVariable(name, template.dtype, template.dimensions,
                                           fill_value=fill)
                    v.setncatts(attrs)
                    value = fields[name][index - 1]
                    if name in MEANS:
                        value = value - np.array(data.variables[MEANS[name]][:], dtype=float)
                    fill_value = fill if fill is not None else -99999.0
                    value = np.where(np.isfinite(value), value, fill_value)
                    if np.issubdtype(template.dtype, np.integer):
                        value = np.rint(value)
                    v.set_auto_mask(False)
                    v[0] = value.astype(template.dtype)


def build_package(index, outdir, datadir, fields, times):
    code = month_code(index)
    with tempfile.TemporaryDirectory(dir=outdir) as work:
        names = []
        for stem, parts in PACKAGE_LAYOUT.items():
            name = f"{stem}{code}.nc"
            write_package_file(os.path.join(work, name), index, times[index - 1],
                               parts, fields, datadir)
            names.append(name)
        partial = os.path.join(outdir, f".{code}.tar.gz.partial")
        with tarfile.open(partial, "w:gz") as archive:
            for name in names:
                archive.add(os.path.join(work, name), arcname=name)
        os.replace(partial, os.path.join(outdir, f"{code}.tar.gz"))
    return os.path.join(outdir, f"{code}.tar.gz")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("datadir")
    parser.add_argument("outdir")
    parser.add_argument("index", nargs="*", type=int, default=[57, 58])
    parser.add_argument("--force", action="store_true",
                        help="rebuild packages that exist")
    args = parser.parse_args(argv)
    wanted = [i for i in args.index
              if args.force or not os.path.exists(
                  os.path.join(args.outdir, f"{month_code(i)}.tar.gz"))]
    if not wanted:
        print(f"update packages already present in {args.outdir}")
        return 0
    if not holds_sample(args.datadir):
        print(f"{args.datadir} holds other data than the sample: no sample update packages built")
        return 0
    if min(wanted) < 2 or max(wanted) > 58:
        raise SystemExit("make_update_packages.py: month index must be 2..58 "
                         "(the recipe's index table runs two months ahead)")
    os.makedirs(args.outdir, exist_ok=True)
    fields, times = run_recipe(max(wanted))
    for index in wanted:
        path = build_package(index, args.outdir, args.datadir, fields, times)
        print(f"update package {path}: {os.path.getsize(path) / 1e6:.1f} MB")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
