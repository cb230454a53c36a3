"""Every change of the data files goes through here: the append lock
that allows one at a time, the journal of renames that a stop cannot
leave half done, the undo list of months appended in place, and
`recover`, which finishes or takes back whatever was stopped, and removes
what a stopped import left."""

import fcntl
import os
import shutil
import time

from tidecharter_data import CheckFailed

JOURNAL = ".append_commit"
SUFFIX = ".append"
# Data files appended in place, each with its size and record count before:
# until the commit journal is there, a recover takes the months back.
UNDO = ".append_undo"
# What an import keeps in the drive root's tmp while it runs: links to its
# new files and the derived files made from them, unpacked inputs.
IMPORT_PREFIX = ".import-"
# The derived files as derived writes them before they are whole.
DERIVED_PARTIAL = ("RG_ArgoClim_Derived.nc.partial", "RG_ArgoClim_SVAN.nc.partial")


def append_lock(home):
    """The lock tcAppUp.bat holds while it appends, and an import from its
    start to its end: one change of the data files at a time."""
    directory = os.path.join(home, "tmp", "update")
    os.makedirs(directory, exist_ok=True)
    lock = open(os.path.join(directory, "append.lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        print("waiting for the monthly update to finish its append")
        fcntl.flock(lock, fcntl.LOCK_EX)
    return lock


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


def recover_installed(home, wait=5.0):
    """recover for the installation at home, once no append holds the
    lock; None when one does."""
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
