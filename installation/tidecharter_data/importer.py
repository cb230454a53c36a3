"""tidecharter-import: the products given into the data files of an
installation, each on its own, whole or its later months appended, under
the append lock and through the journal; or, with --package, into one
month's update package."""

import contextlib
import fcntl
import os
import shutil
import subprocess
import sys
import tempfile
import threading

from tidecharter_data import Refused, argo_rg, derived
from tidecharter_data.argo_index import ProfileCounts, recount_stations
from tidecharter_data.journal import (IMPORT_PREFIX, SUFFIX, UNDO, append_lock, finish_journal, recover,
                                      remove_copies, undo_appends, write_journal, write_undo)
from tidecharter_data.months import month_code, span_text
from tidecharter_data.netcdf_io import Inputs, append_records, check_appended, fsync
from tidecharter_data.package import write_update_package
from tidecharter_data.product import describe
from tidecharter_data.products import PRODUCTS
from tidecharter_data.sample import write_data_line

PROGRAM = "tidecharter-import"


def run(args):
    """What the command line asks for, its messages on stdout and stderr;
    the exit status."""
    inputs = Inputs()
    try:
        with contextlib.ExitStack() as held:
            # Where gzipped inputs are unpacked: the installation's tmp,
            # under the lock of its data from here on; the package's own
            # directory in --out.
            if args.package is None:
                home = installation(args)
                held.enter_context(append_lock(home))
                # What a stopped import or update left, before this one
                # puts anything in tmp.
                recover(os.path.join(home, "data"))
                inputs.scratch = os.path.join(home, "tmp")
            else:
                if not os.path.isdir(args.out):
                    raise Refused(f"{args.out}: no such directory for the update package")
                inputs.scratch = held.enter_context(
                    tempfile.TemporaryDirectory(dir=args.out, prefix=f".{month_code(args.package)}."))
            held.callback(inputs.close)
            chosen = [(product, files_given(args, product)) for product in PRODUCTS]
            inputs.unpack([path for _product, paths in chosen for path in paths or ()])
            counts = ProfileCounts(args.argo_index) if args.argo_index else None
            given = {product: product.read(inputs, paths) for product, paths in chosen if paths}
            for product, read in given.items():
                if counts is not None and product.takes_counts:
                    counts.on(read.grid, max(month for _what, month in read.months))
            if args.package is None:
                import_data(home, args, inputs, given, counts)
            else:
                write_update_package(args.out, args.package, inputs.scratch, inputs, given, counts)
    except Refused as refusal:
        print(f"{PROGRAM}: {refusal}", file=sys.stderr)
        return 1
    except OSError as error:
        where = f"{error.filename}: " if error.filename else ""
        print(f"{PROGRAM}: {where}{error.strerror or error}", file=sys.stderr)
        return 1
    except RuntimeError as error:
        # The NetCDF library's own failures, a full disk among them.
        print(f"{PROGRAM}: {error}", file=sys.stderr)
        return 1
    except Exception as error:  # noqa: BLE001 - one line, whatever an input holds
        print(f"{PROGRAM}: cannot import: {type(error).__name__}: {error}", file=sys.stderr)
        return 1
    return 0


def files_given(args, product):
    """The files given with a product's option."""
    return getattr(args, product.option.lstrip("-").replace("-", "_"))


def default_drive_root():
    return os.environ.get("TIDECHARTER_DRIVE_C") or os.path.join(
        os.environ.get("XDG_DATA_HOME") or os.path.join(os.path.expanduser("~"), ".local", "share"),
        "tidecharter", "drive_c")


class Ahead:
    """Work on the new Argo files done beside the rest of the import: their
    write-back to disk begun as each is closed, and, once both are, the
    derived files computed by processes of their own on links to them,
    each in a directory of its own: the 2-D fields and the specific
    volume anomaly.
    What comes out whole is moved into the data once the import is final;
    whatever does not is computed after the import, as for an append."""

    PREFIX = IMPORT_PREFIX + "derived-"
    # What each job makes: the derived file, then its stamp.
    MADE = {(): (derived.DERIVED, derived.STAMP),
            ("--anomaly",): (derived.SVAN, derived.SVAN_STAMP)}

    def __init__(self, home):
        self.tmp = os.path.join(home, "tmp")
        self.closed, self.jobs = [], []
        self.syncing, self.sync_error = [], None

    def written(self, path):
        """The new Argo file at path is closed."""
        thread = threading.Thread(target=self.sync, args=(path,))
        thread.start()
        self.syncing.append(thread)
        self.closed.append(path)
        names = [os.path.basename(p)[:-len(SUFFIX)] for p in self.closed]
        # Both begin once both files are written: the 2-D fields begun
        # with the temperature file slowed the salinity file's writing
        # more than they gained, as the anomaly is what the import waits
        # for.
        if sorted(names) == sorted([derived.TEMPERATURE, derived.SALINITY]):
            self.begin(("--anomaly",), self.closed)
            self.begin((), [self.closed[names.index(derived.TEMPERATURE)]])

    def begin(self, flags, paths):
        directory = None
        try:
            os.makedirs(self.tmp, exist_ok=True)
            directory = tempfile.mkdtemp(prefix=self.PREFIX, dir=self.tmp)
            for path in paths:
                os.link(path, os.path.join(directory, os.path.basename(path)[:-len(SUFFIX)]))
            # It ends with this process (TC_DERIVED_PARENT): started from
            # the main thread, as the kernel takes a thread's end for its
            # parent's.
            process = subprocess.Popen([sys.executable, derived.PROGRAM, *flags, directory],
                                       stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL, text=True,
                                       env={**os.environ, "TC_DERIVED_PARENT": str(os.getpid())})
        except OSError:
            if directory is not None:
                shutil.rmtree(directory, ignore_errors=True)
            return
        self.jobs.append((directory, process, self.MADE[flags]))
        if not flags:
            # The 2-D fields take less time than the anomaly: they yield
            # the processor to it.  Only a matter of speed if refused.
            try:
                os.setpriority(os.PRIO_PROCESS, process.pid, 10)
            except OSError:
                pass

    def sync(self, path):
        try:
            fsync(path)
        except OSError as error:
            # A failed write-back may not be reported twice: kept for the
            # fsync before the journal.
            self.sync_error = error

    def synced(self):
        for thread in self.syncing:
            thread.join()
        self.syncing = []
        if self.sync_error is not None:
            raise self.sync_error

    def discard(self):
        for thread in self.syncing:
            thread.join()
        self.syncing = []
        for directory, process, _made in self.jobs:
            process.kill()
            process.communicate()
            shutil.rmtree(directory, ignore_errors=True)
        self.jobs = []

    def derived(self, data):
        """Moves into the data the derived files that came out whole; what
        was done."""
        said = []
        while self.jobs:
            directory, process, made = self.jobs.pop(0)
            out, _ = process.communicate()
            ok = process.returncode == 0 and all(os.path.exists(os.path.join(directory, n)) for n in made)
            if not ok:
                shutil.rmtree(directory, ignore_errors=True)
                continue
            # The lock derived takes on the data directory; the stamp
            # goes first and comes last, as derived has it.
            lock = os.open(data, os.O_RDONLY)
            try:
                fcntl.flock(lock, fcntl.LOCK_EX)
                derived.remove_stamp(data, made[1])
                for name in made:
                    os.replace(os.path.join(directory, name), os.path.join(data, name))
            finally:
                os.close(lock)
            shutil.rmtree(directory, ignore_errors=True)
            said.append(out.strip().replace(directory, data))
        return said


def installation(args):
    """The installation's home directory that the import goes into."""
    home = os.path.join(os.path.abspath(args.drive_root or default_drive_root()), "tidecharter")
    data = os.path.join(home, "data")
    if not os.path.isdir(data):
        raise Refused(f"{data}: no Tidecharter installation there (run installation/install.sh first)")
    return home


def import_data(home, args, inputs, given, counts):
    """The import, under the append lock that main holds from its start
    to its end: what is in tmp is a dead import's only while nobody holds
    it, for the recovery."""
    data = os.path.join(home, "data")
    summary = []
    ahead = Ahead(home)
    try:
        suffix = SUFFIX
        written, appends, copies = [], [], []
        try:
            # Whole products from January 2004, each to its own end; later
            # months alone appended; the station counts alone written again.
            for product in PRODUCTS:
                read = given.get(product)
                if read is not None and read.whole:
                    written += product.write(data, inputs, read, suffix, counts, ahead.written)
                elif read is not None:
                    appends += product.plan_append(data, inputs, read, counts)
                elif counts is not None and product.takes_counts:
                    written.append(recount_stations(data, counts, suffix))
            for out, months in written:
                out.check(months)
            # Months after the data: in place in the classic files, noted
            # first so that a stop takes them back; in a copy otherwise.
            in_place = [a for a in appends if a.installed.classic]
            if in_place:
                write_undo(data, [a.name for a in in_place])
            for plan in appends:
                target = plan.installed.path
                if not plan.installed.classic:
                    target += suffix
                    shutil.copyfile(plan.installed.path, target)
                    copies.append(plan.name)
                check_appended(target, plan, append_records(target, plan))
                fsync(target)
            # On disk before the journal says they are good, as the update's
            # commit does; a journal that cannot be written (a full disk)
            # takes everything back below.
            ahead.synced()
            for out, _months in written:
                fsync(out.path)
            names = [os.path.basename(out.path)[:-len(suffix)] for out, _months in written] + copies
            write_journal(data, names)
        except BaseException as error:
            ahead.discard()
            for out, _months in written:
                try:
                    out.close()
                except (RuntimeError, OSError):
                    pass
            if os.path.exists(os.path.join(data, UNDO)):
                undo_appends(data)
            remove_copies(data)
            # A full disk shows up when a file is closed, without its name.
            if isinstance(error, (OSError, RuntimeError)):
                named = getattr(error, "filename", None)
                what = f"{named}: cannot be written" if named else \
                    f"{data}: the new data files cannot be written"
                raise Refused(f"{what}: {getattr(error, 'strerror', None) or error}; "
                              f"nothing has changed") from error
            raise
        finish_journal(data)
        for out, months in written:
            out.path = out.path[:-len(suffix)]
            summary.append(f"wrote {out.path}: {describe(out, months)}")
        for plan in appends:
            summary.append(f"appended {span_text(plan.months)} to {plan.installed.path}")
        line = write_data_line(home)
        if any(read.real for read in given.values()):
            summary.append(set_update_source(home, args.update_source))
    except BaseException:
        ahead.discard()
        raise
    for text in summary:
        print(text)
    if line:
        print(f"the main menu now says: {line.rstrip()}")
    argo = given.get(argo_rg.PRODUCT)
    if counts is not None:
        print(counts.summary())
    elif argo is not None and argo.whole:
        print("the Argo files carry no profile counts, so the station plots stay empty "
              "(add them with --argo-index ar_index_global_prof.txt.gz)")
    if argo is not None:
        # D20, MLD, TCHP and the warm layer, once, for the pictures: only
        # the new months when the Argo files were appended to.
        replaced = any(os.path.basename(out.path) == "RG_ArgoClim_Temperature.nc" for out, _months in written)
        try:
            done = ahead.derived(data)
            # What did not come out whole ahead, or is stale all the same.
            done.append(derived.compute(data, append=not replaced))
        finally:
            ahead.discard()
        for text in done:
            if text:
                print(text)


NO_SOURCE = "none"


def set_update_source(home, source):
    """Real data are not the sample source's: the update source becomes
    the one named, or none."""
    path = os.path.join(home, "bin", "update_source.txt")
    text = (source or NO_SOURCE).strip()
    # Data alone, without an installation around them, have no update.
    if not os.path.isdir(os.path.dirname(path)):
        return f"no update source set: {os.path.dirname(path)} is not there"
    partial = path + ".partial"
    with open(partial, "w") as f:
        f.write(text + "\n")
    os.replace(partial, path)
    return f"update source: {text}" + ("" if source else
                                       " (add a month with tidecharter-import; --update-source names one)")
