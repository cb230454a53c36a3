#!/usr/bin/python3
"""Checks for the monthly update: the package, and the appended data files.

usage: tc_update_check.py package PKGDIR DATADIR MMYYYY
       tc_update_check.py commit DATADIR PKGDIR MMYYYY
       tc_update_check.py recover [DATADIR]
       tc_update_check.py dataline HOMEDIR

package  checks that PKGDIR holds the three package files of month MMYYYY,
         one month each, on the grids of the data files in DATADIR, and
         that MMYYYY comes after the last month of the Argo data (the end
         date the program counts from): an earlier package, however well
         signed, is never installed again.
commit   checks the copies <data file>.append that fer_append_new_month
         wrote (one month longer than the data file, every old value the
         same, the last month MMYYYY holding the package's values) and
         then renames them over the data files.  Either every data file
         reaches MMYYYY afterwards, or none is changed and the copies are
         removed.
recover  run before an append, and by the program before it reads the
         data: finishes the renames of a commit that was stopped half way
         (its journal lists them), or takes back the months that an import
         appended in place without getting to its commit, then removes
         copies left by an append that never got to its commit, and what a
         stopped import or derived-field run left in tmp and the data
         (.import-* in tmp; the derived files' .partial, unless a run of
         tc_derived.py holds the data directory's lock).  Without
         DATADIR, the data of the installation this file is in, under the
         lock of its appends
         (tmp/update/append.lock): an append or import that holds it for
         more than a few seconds is running and finishes its own commit,
         and nothing is done.
dataline writes the data line of HOMEDIR/bin/pacific/versioninfo.txt from
         the data files in HOMEDIR/data: "Sample 2004-YY" while they are
         all the sample, else "Data 2004-YYYY", YYYY the latest year.

Exit status 0 when done, 1 when a check failed (the reason on stderr).
"""

import datetime
import fcntl
import os
import shutil
import sys
import time

import numpy as np
import netCDF4

# Package file stem -> (data file, variables appended from the package).
PACKAGE_LAYOUT = {
    "RG_ArgoClim_": [("RG_ArgoClim_Temperature.nc", ["ARGO_TEMPERATURE_ANOMALY"]),
                     ("RG_ArgoClim_Salinity.nc", ["ARGO_SALINITY_ANOMALY"]),
                     ("RG_ArgoClim_Stations.nc", ["NSTATIONS"])],
    "Reynolds_": [("Reynolds_SST.nc", ["SST"])],
    "Aviso_": [("Aviso_ADT.nc", ["ADT"])],
}
HERE = os.path.dirname(os.path.abspath(__file__))
TIME = "TIME"
# The data file whose last month is the program's Argo end date.
ARGO_END_FILE = "RG_ArgoClim_Temperature.nc"
JOURNAL = ".append_commit"
SUFFIX = ".append"
# Data files appended in place, each with its size and record count before:
# until the commit journal is there, a recover takes the months back.
UNDO = ".append_undo"
DATA_FILES = [name for parts in PACKAGE_LAYOUT.values() for name, _ in parts]
# What an import keeps in the drive root's tmp while it runs: links to its
# new files and the derived files made from them, unpacked inputs.
IMPORT_PREFIX = ".import-"
# The derived files as tc_derived.py writes them before they are whole.
DERIVED_PARTIAL = ("RG_ArgoClim_Derived.nc.partial", "RG_ArgoClim_SVAN.nc.partial")
VERSION_FILE = os.path.join("bin", "pacific", "versioninfo.txt")
LINE_WIDTH = 15


class CheckFailed(Exception):
    pass


def month_index(code):
    """Month index (January 2004 = 1) of an MMYYYY code."""
    if len(code) != 6 or not code.isdigit() or not 1 <= int(code[:2]) <= 12:
        raise CheckFailed(f"bad month code {code!r}")
    return (int(code[2:]) - 2004) * 12 + int(code[:2])


def months_of(nc):
    """Month indices of every step of a file's time axis."""
    t = nc.variables[TIME]
    dates = netCDF4.num2date(np.asarray(t[:], dtype=float), t.units,
                             getattr(t, "calendar", "standard"))
    return [(d.year - 2004) * 12 + d.month for d in np.atleast_1d(dates)]


def raw(variable, index=None):
    variable.set_auto_mask(False)
    return np.asarray(variable[:] if index is None else variable[index])


def same(a, b):
    return a.shape == b.shape and np.array_equal(a, b, equal_nan=a.dtype.kind == "f")


def targets(datadir, pkgdir, code):
    for stem, parts in PACKAGE_LAYOUT.items():
        for data_name, names in parts:
            yield (os.path.join(pkgdir, f"{stem}{code}.nc"),
                   os.path.join(datadir, data_name), names)


# ---------------------------------------------------------------- package

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


# ----------------------------------------------------------------- commit

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


def write_journal(datadir, names):
    """The list of renames to finish; when it cannot be written (a full
    disk), nothing of it is left and the error names the journal."""
    partial = os.path.join(datadir, JOURNAL + ".partial")
    try:
        with open(partial, "w") as journal:
            journal.write("".join(f"{n}\n" for n in names))
            journal.flush()
            os.fsync(journal.fileno())
        os.replace(partial, os.path.join(datadir, JOURNAL))
    except OSError as error:
        try:
            os.remove(partial)
        except OSError:
            pass
        raise OSError(error.errno, error.strerror, os.path.join(datadir, JOURNAL)) from error


def finish_journal(datadir):
    journal = os.path.join(datadir, JOURNAL)
    with open(journal) as listing:
        names = [line.strip() for line in listing if line.strip()]
    for name in names:
        copy = os.path.join(datadir, name + SUFFIX)
        if os.path.exists(copy):
            os.replace(copy, os.path.join(datadir, name))
    # The months appended in place stay: the undo list goes before the
    # journal that makes them final.
    if os.path.exists(os.path.join(datadir, UNDO)):
        os.remove(os.path.join(datadir, UNDO))
    os.remove(journal)
    return names


def record_count_width(head):
    """The width of the record count after the magic of a classic file."""
    if head[:4] in (b"CDF\x01", b"CDF\x02"):
        return 4
    if head[:4] == b"CDF\x05":
        return 8
    return 0


def write_undo(datadir, names):
    """Notes the size and record count of classic data files about to be
    appended in place."""
    lines = []
    for name in names:
        path = os.path.join(datadir, name)
        with open(path, "rb") as f:
            head = f.read(12)
        width = record_count_width(head)
        if not width:
            raise CheckFailed(f"{path}: not a classic NetCDF file, cannot be appended in place")
        count = int.from_bytes(head[4:4 + width], "big")
        lines.append(f"{name} {os.path.getsize(path)} {count}\n")
    partial = os.path.join(datadir, UNDO + ".partial")
    with open(partial, "w") as undo:
        undo.write("".join(lines))
        undo.flush()
        os.fsync(undo.fileno())
    os.replace(partial, os.path.join(datadir, UNDO))


def undo_appends(datadir):
    """Cuts every file of the undo list back to its size and record count."""
    undo = os.path.join(datadir, UNDO)
    with open(undo) as listing:
        entries = [line.split() for line in listing if line.strip()]
    names = []
    for name, size, count in entries:
        path = os.path.join(datadir, name)
        if not os.path.exists(path):
            continue
        with open(path, "rb+") as f:
            width = record_count_width(f.read(12))
            f.truncate(int(size))
            f.seek(4)
            f.write(int(count).to_bytes(width, "big"))
            f.flush()
            os.fsync(f.fileno())
        names.append(name)
    os.remove(undo)
    return names


def remove_copies(datadir):
    for name in os.listdir(datadir):
        if name.endswith(SUFFIX):
            os.remove(os.path.join(datadir, name))


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


def recover(datadir):
    finished = []
    if os.path.exists(os.path.join(datadir, JOURNAL)):
        finished = finish_journal(datadir)
        # Newer than any end dates read from the mixed files, which then
        # count as stale.
        for name in finished:
            if os.path.exists(os.path.join(datadir, name)):
                os.utime(os.path.join(datadir, name))
    elif os.path.exists(os.path.join(datadir, UNDO)):
        undo_appends(datadir)
    remove_copies(datadir)
    remove_stopped_work(datadir)
    return finished


def remove_stopped_work(datadir):
    """What a stopped import left in tmp (it holds the append lock while it
    runs, as the callers of recover do), and derived files left half
    written in the data by a run that no longer holds its lock."""
    tmp = os.path.join(os.path.dirname(os.path.abspath(datadir)), "tmp")
    for name in os.listdir(tmp) if os.path.isdir(tmp) else ():
        if name.startswith(IMPORT_PREFIX):
            path = os.path.join(tmp, name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path, ignore_errors=True)
            else:
                os.remove(path)
    lock = os.open(datadir, os.O_RDONLY)
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        for name in DERIVED_PARTIAL:
            if os.path.exists(os.path.join(datadir, name)):
                os.remove(os.path.join(datadir, name))
    except BlockingIOError:
        pass
    finally:
        os.close(lock)


def recover_installed(wait=5.0):
    """recover for the installation of bin/ this file is in, once no
    append holds the lock; None when one does."""
    home = os.path.dirname(HERE)
    locks = os.path.join(home, "tmp", "update")
    os.makedirs(locks, exist_ok=True)
    with open(os.path.join(locks, "append.lock"), "a") as lock:
        deadline = time.monotonic() + wait
        while True:
            try:
                fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
                break
            except BlockingIOError:
                if time.monotonic() >= deadline:
                    return None
                time.sleep(0.05)
        return recover(os.path.join(home, "data"))


# ---------------------------------------------------------------- data line

def is_sample(path):
    try:
        with netCDF4.Dataset(path) as nc:
            return getattr(nc, "history", "") == "make_sample_data.py"
    except OSError:
        return False


def data_line(datadir):
    """The main menu's data line: what the data files hold."""
    paths = [os.path.join(datadir, n) for n in DATA_FILES if os.path.exists(os.path.join(datadir, n))]
    last = 0
    for path in paths:
        try:
            with netCDF4.Dataset(path) as nc:
                last = max([last] + months_of(nc))
        except (OSError, KeyError, ValueError):
            continue
    year = 2004 + (last - 1) // 12 if last >= 1 else 2004
    if paths and all(is_sample(p) for p in paths):
        return f"Sample 2004-{year % 100:02d}"
    return f"Data 2004-{year}" if last >= 1 else "No data"


def write_data_line(home):
    """Rewrites the second line of versioninfo.txt within its width; the
    other lines stay as they are."""
    path = os.path.join(home, VERSION_FILE)
    try:
        with open(path, newline="") as f:
            lines = f.read().split("\n")
    except FileNotFoundError:
        return None
    while len(lines) < 3:
        lines.append("")
    line = data_line(os.path.join(home, "data"))[:LINE_WIDTH].ljust(LINE_WIDTH)
    end = "\r" if lines[1].endswith("\r") else ""
    lines[1] = line + end
    partial = path + ".partial"
    with open(partial, "w", newline="") as f:
        f.write("\n".join(lines))
    os.replace(partial, path)
    return line


def main(argv):
    stamp = datetime.datetime.now().strftime("%Y-%m-%d %H:%M:%S")
    try:
        if len(argv) == 4 and argv[0] == "package":
            check_package(argv[1], argv[2], argv[3])
            print(f"{stamp} package {argv[3]} checked")
        elif len(argv) == 4 and argv[0] == "commit":
            names = commit(argv[1], argv[2], argv[3])
            print(f"{stamp} month {argv[3]} appended to: {' '.join(names) or 'none (already there)'}")
        elif len(argv) == 2 and argv[0] == "dataline":
            line = write_data_line(argv[1])
            if line is not None:
                print(f"{stamp} data line: {line.rstrip()}")
        elif len(argv) in (1, 2) and argv[0] == "recover":
            names = recover(argv[1]) if len(argv) == 2 else recover_installed()
            if names is None:
                print(f"{stamp} an append is running: it finishes its own commit")
            elif names:
                print(f"{stamp} finished an earlier commit: {' '.join(names)}")
        else:
            print(__doc__.split("\n\n")[1], file=sys.stderr)
            return 2
    except CheckFailed as failure:
        print(f"{stamp} tc_update_check.py {argv[0]}: {failure}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"{stamp} tc_update_check.py {argv[0]}: {error.filename or ''}{': ' if error.filename else ''}"
              f"{error.strerror or error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
