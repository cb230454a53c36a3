"""The monthly update packages: one month of every product, on the grids
of the data files, as MMYYYY.tar.gz (RG_ArgoClim_MMYYYY.nc,
Reynolds_MMYYYY.nc, Aviso_MMYYYY.nc).  Written from the products
(tidecharter-import --package) or from the sample recipe run on
(make_update_packages.py); checked against the data before it is
appended; the appended copies checked and committed through the journal,
all or none."""

import os
import tarfile
import tempfile

import numpy as np
import netCDF4

from tidecharter_data import CheckFailed, sample
from tidecharter_data.journal import SUFFIX, finish_journal, remove_copies, write_journal
from tidecharter_data.months import month_code, month_index, months_of
from tidecharter_data.netcdf_io import raw, same
from tidecharter_data.product import describe
from tidecharter_data.products import PACKAGE_LAYOUT, PACKAGED

TIME = "TIME"
# The data file whose last month is the program's Argo end date.
ARGO_END_FILE = "RG_ArgoClim_Temperature.nc"


def write_package(outdir, code, files):
    """MMYYYY.tar.gz of the package files, the form tcGetUp.bat fetches:
    written under a temporary name and renamed when complete."""
    partial = os.path.join(outdir, f".{code}.tar.gz.partial")
    target = os.path.join(outdir, f"{code}.tar.gz")
    try:
        with tarfile.open(partial, "w:gz") as archive:
            for path in files:
                archive.add(path, arcname=os.path.basename(path))
        os.replace(partial, target)
    except BaseException:
        if os.path.exists(partial):
            os.remove(partial)
        raise
    return target


def write_update_package(outdir, month, work, inputs, given, counts=None):
    """The package of `month` from the products given, written in `work`
    and then packed into outdir."""
    code = month_code(month)
    written = []
    for product in PACKAGED:
        written += product.package_files(work, code, inputs, given[product], month, counts)
    for out in written:
        out.check([month])
    for out in written:
        print(f"packed {os.path.basename(out.path)}: {describe(out, [month])}")
    target = write_package(outdir, code, [out.path for out in written])
    print(f"wrote {target}: {os.path.getsize(target) / 1e6:.1f} MB")


def targets(datadir, pkgdir, code):
    for stem, parts in PACKAGE_LAYOUT.items():
        for data_name, names in parts:
            yield (os.path.join(pkgdir, f"{stem}{code}.nc"),
                   os.path.join(datadir, data_name), names)


def check_package(pkgdir, datadir, code):
    wanted = month_index(code)
    try:
        with netCDF4.Dataset(os.path.join(datadir, ARGO_END_FILE)) as data:
            last = max(months_of(data))
    except (OSError, KeyError, ValueError) as error:
        raise CheckFailed(f"{ARGO_END_FILE}: {error}") from error
    if wanted <= last:
        raise CheckFailed(f"month {code} is not after the data's last month "
                          f"(index {last}): an earlier package is refused")
    for pkg_path, data_path, names in targets(datadir, pkgdir, code):
        if not os.path.isfile(pkg_path):
            raise CheckFailed(f"{os.path.basename(pkg_path)} is missing")
        try:
            with netCDF4.Dataset(pkg_path) as pkg, netCDF4.Dataset(data_path) as data:
                if months_of(pkg) != [wanted]:
                    raise CheckFailed(f"{pkg_path} does not hold exactly month {code}")
                for name in names:
                    if name not in pkg.variables:
                        raise CheckFailed(f"{pkg_path} has no {name}")
                    pv, dv = pkg.variables[name], data.variables[name]
                    if pv.dimensions != dv.dimensions:
                        raise CheckFailed(f"{name} of {pkg_path} is not laid out as in the data")
                    for dim in pv.dimensions:
                        if dim != TIME and not same(raw(pkg.variables[dim]),
                                                    raw(data.variables[dim])):
                            raise CheckFailed(f"{pkg_path}: axis {dim} differs from the data's")
                    raw(pv)  # the values must be readable
        except (OSError, KeyError, ValueError, AttributeError) as error:
            raise CheckFailed(f"{pkg_path}: {error}") from error


def check_copy(copy_path, data_path, pkg_path, names, wanted):
    with netCDF4.Dataset(copy_path) as copy, netCDF4.Dataset(data_path) as data, \
            netCDF4.Dataset(pkg_path) as pkg:
        old, new = months_of(data), months_of(copy)
        if new != old + [wanted]:
            raise CheckFailed(f"{copy_path}: time axis is not the data's plus month {wanted}")
        for dim, size in data.dimensions.items():
            if dim != TIME and len(copy.dimensions.get(dim, ())) != len(size):
                raise CheckFailed(f"{copy_path}: dimension {dim} changed")
        for name, dv in data.variables.items():
            cv = copy.variables.get(name)
            if cv is None or cv.dimensions != dv.dimensions or cv.dtype != dv.dtype:
                raise CheckFailed(f"{copy_path}: variable {name} changed")
            kept = raw(cv, slice(0, len(old))) if TIME in dv.dimensions else raw(cv)
            if not same(kept, raw(dv)):
                raise CheckFailed(f"{copy_path}: old values of {name} changed")
        for name in names:
            if not same(raw(copy.variables[name], -1), raw(pkg.variables[name], 0)):
                raise CheckFailed(f"{copy_path}: the new month of {name} is not the package's")


def commit(datadir, pkgdir, code):
    wanted = month_index(code)
    ready = []
    try:
        for pkg_path, data_path, names in targets(datadir, pkgdir, code):
            copy_path = data_path + SUFFIX
            if os.path.exists(copy_path):
                check_copy(copy_path, data_path, pkg_path, names, wanted)
                ready.append(os.path.basename(data_path))
            else:
                with netCDF4.Dataset(data_path) as data:
                    if wanted not in months_of(data):
                        raise CheckFailed(f"{data_path} did not get month {code}")
    except CheckFailed:
        remove_copies(datadir)
        raise
    except Exception as error:  # noqa: BLE001 - any unreadable copy is refused
        # A copy cut short by a stopped append holds garbage wherever the
        # copying had not reached: time values that overflow the date
        # conversion, sizes the netCDF library refuses. Whatever the
        # error, the copies must go.
        remove_copies(datadir)
        raise CheckFailed(f"{type(error).__name__}: {error}") from error
    try:
        for name in ready:
            with open(os.path.join(datadir, name + SUFFIX), "rb+") as copy:
                os.fsync(copy.fileno())
        # From here on the copies are good: a stop between the renames is
        # finished by the next recover.
        write_journal(datadir, ready)
    except OSError as error:
        remove_copies(datadir)
        raise CheckFailed(f"{error.filename}: cannot be written: {error.strerror or error}; "
                          f"the copies are removed") from error
    finish_journal(datadir)
    return ready


# ------------------------------------------------- the sample's packages

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


def recipe_months(last_index):
    """The sample recipe's fields for months 1..last_index, by variable
    name, as absolute values (anomaly + the recipe's own mean), plus the
    time axis."""
    fields = {}

    def capture(path, title, lon, lat, variables, pressure=None):
        by_name = {name: data for name, _dims, data, _attrs in variables}
        for name, data in by_name.items():
            if name in MEANS.values():
                continue
            mean = by_name.get(MEANS.get(name))
            fields[name] = data + mean[None] if mean is not None else data

    sample.build("", last_index, capture)
    return fields, sample.month_axis(last_index)


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
        paths = []
        for stem, parts in PACKAGE_LAYOUT.items():
            paths.append(os.path.join(work, f"{stem}{code}.nc"))
            write_package_file(paths[-1], index, times[index - 1], parts, fields, datadir)
        return write_package(outdir, code, paths)
