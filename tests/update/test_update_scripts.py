#!/usr/bin/python3
"""The monthly update's outside programs in a drive root of their own:
fetching from a directory and from a local web server, verifying the
signature, unpacking and checking packages, installing a new program, and
appending with real Ferret, including an append that is stopped part-way.

usage: test_update_scripts.py [unittest arguments, e.g. Fetch Append]
Environment: TIDECHARTER_UPDATE_CACHE, where the sample data and packages
are built once (default /tmp/tidecharter-update-cache); TC_PROGRAM, the
program (default build/tidecharter).
"""

import filecmp
import functools
import hashlib
import io
import http.server
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tarfile
import tempfile
import threading
import time
import unittest

import netCDF4

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
CACHE = os.environ.get("TIDECHARTER_UPDATE_CACHE", "/tmp/tidecharter-update-cache")
SIGN = os.path.join(TOP, "installation", "update", "sign_update_packages.sh")
PROGRAM = os.environ.get("TC_PROGRAM", os.path.join(TOP, "build", "tidecharter"))
EXAMPLE = os.path.join(TOP, "installation", "examples", "bulletin.ini")
sys.path.insert(0, os.path.join(TOP, "installation", "update"))
import tc_update_check  # noqa: E402
sys.path.insert(0, os.path.join(TOP, "tests"))
from drive_root import command_line, processes, status  # noqa: E402

DATA_FILES = ["RG_ArgoClim_Temperature.nc", "RG_ArgoClim_Salinity.nc",
              "RG_ArgoClim_Stations.nc", "Reynolds_SST.nc", "Aviso_ADT.nc"]
APPEND_COMMANDS = (" cancel mode journal\n"
                   " go fer_append_new_month RG_ArgoClim_{0}.nc Reynolds_{0}.nc Aviso_{0}.nc\n"
                   " quit\n")


class DriveRoot:
    """An installed drive root with the sample data at August 2008."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="tidecharter-update-")
        subprocess.run(["sh", os.path.join(HERE, "make_drive_root.sh"), self.root, CACHE],
                       check=True)
        self.home = os.path.join(self.root, "tidecharter")

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.home, *parts)

    def run(self, script, *args, timeout=300):
        return subprocess.run(["sh", self.path("bin", script), *args], timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)

    def status(self, name):
        with open(self.path("tmp", name)) as f:
            return [line.rstrip("\n") for line in f]

    def sign(self, package, keydir=None):
        """Signs with the sample source's key, or with the key in keydir."""
        subprocess.run(["sh", SIGN, keydir or self.path("update_signing"), package],
                       check=True, stdout=subprocess.DEVNULL)

    def set_source(self, url):
        with open(self.path("bin", "update_source.txt"), "w") as f:
            f.write(url + "\n")

    def end_dates(self):
        """The three end dates GetDates.jnl writes, read as the program reads
        them: line 3, columns 24 to 27."""
        for name in ("ArgoEndDate.txt", "AvisoEndDate.txt", "ReynoldsEndDate.txt"):
            if os.path.exists(self.path("tmp", name)):
                os.remove(self.path("tmp", name))
        self.run("tcferret.bat", "/cygdrive/c/tidecharter/ferret/TMAP/go/GetDates.jnl")
        ends = []
        for name in ("ArgoEndDate.txt", "AvisoEndDate.txt", "ReynoldsEndDate.txt"):
            with open(self.path("tmp", name)) as f:
                ends.append(int(f.read().split("\n")[2][23:27]))
        return ends

    def data_digest(self):
        digest = {}
        for name in DATA_FILES:
            with open(self.path("data", name), "rb") as f:
                digest[name] = hashlib.sha256(f.read()).hexdigest()
        return digest

    def months(self, name):
        with netCDF4.Dataset(self.path("data", name)) as nc:
            return tc_update_check.months_of(nc)

    def leftovers(self):
        derived = ("RG_ArgoClim_Derived.nc", "RG_ArgoClim_Derived.stamp", "RG_ArgoClim_SVAN.nc", "RG_ArgoClim_SVAN.stamp")
        return [n for n in os.listdir(self.path("data")) if n not in DATA_FILES + list(derived)]

    def appup_log(self):
        """The end of tcAppUp.bat's log, to explain a failed check."""
        try:
            with open(self.path("tmp", "appup.log")) as f:
                return "appup.log:\n" + "".join(f.readlines()[-30:])
        except OSError:
            return "no appup.log"


def write_archive(path, members):
    """members: (name, bytes) for files, (name, None, target) for links."""
    with tarfile.open(path, "w:gz") as archive:
        for member in members:
            info = tarfile.TarInfo(member[0])
            if member[1] is None:
                info.type, info.linkname = tarfile.SYMTYPE, member[2]
                archive.addfile(info)
            else:
                info.size = len(member[1])
                archive.addfile(info, io.BytesIO(member[1]))


def package_members(root, code, rename_to=None):
    """The files of the sample package `code`, optionally named as another
    month's."""
    with tarfile.open(root.path("update_source", f"{code}.tar.gz")) as archive:
        members = [(m.name, archive.extractfile(m).read()) for m in archive.getmembers()]
    if rename_to:
        members = [(name.replace(code, rename_to), data) for name, data in members]
    return members


class Fetch(unittest.TestCase):
    """tcGetUp.bat, tcRunUp.bat and tcInstallNewExe.bat."""

    @classmethod
    def setUpClass(cls):
        cls.r = DriveRoot()

    @classmethod
    def tearDownClass(cls):
        cls.r.remove()

    def fetched(self, code):
        """The package and its signature arrived as the source has them."""
        return all(filecmp.cmp(self.r.path("tmp", "update", name),
                               self.r.path("update_source", name), shallow=False)
                   for name in (f"{code}.tar.gz", f"{code}.tar.gz.sig"))

    def test_directory_source(self):
        r = self.r
        # The sample source builds and signs its packages when first asked
        # for one.
        for name in ("092008.tar.gz", "092008.tar.gz.sig", "102008.tar.gz", "102008.tar.gz.sig"):
            os.remove(r.path("update_source", name))
        r.run("tcGetUp.bat", "092008")
        self.assertEqual(r.status("getup.log"), ["TRYD", "FOUN"])
        r.run("tcRunUp.bat", "092008")
        self.assertEqual(r.status("runup.log"), ["DIDI", "DONE"])
        self.assertTrue(os.path.exists(r.path("update_source", "102008.tar.gz.sig")))
        for source in ("file:///cygdrive/c/tidecharter/update_source/",
                       "file://" + r.path("update_source")):
            r.set_source(source)
            r.run("tcGetUp.bat", "092008")
            self.assertEqual(r.status("getup.log"), ["TRYD", "FOUN"], source)
            self.assertTrue(self.fetched("092008"))
            r.run("tcGetUp.bat", "112008")
            self.assertEqual(r.status("getup.log"), ["TRYD", "ERRO", "NOFI"], source)
        r.set_source("file:///cygdrive/c/tidecharter/no_such_directory/")
        r.run("tcGetUp.bat", "092008")
        self.assertEqual(r.status("getup.log"), ["TRYD", "ERRO", "NOHO"])
        # After an import of real data there is no source; the detail log
        # names the source of every try.
        r.set_source("none")
        r.run("tcGetUp.bat", "092008")
        self.assertEqual(r.status("getup.log"), ["TRYD", "ERRO", "NONE"])
        with open(r.path("tmp", "getup_detail.log")) as f:
            self.assertIn("update source: none", f.read().splitlines()[-2])
        r.set_source("file:///cygdrive/c/tidecharter/update_source/")

    def test_web_source(self):
        r = self.r
        class Quiet(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

        handler = functools.partial(Quiet, directory=r.path("update_source"))
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        try:
            r.set_source(f"http://127.0.0.1:{server.server_address[1]}/")
            r.run("tcGetUp.bat", "102008")
            self.assertEqual(r.status("getup.log"), ["TRYD", "FOUN"])
            self.assertTrue(self.fetched("102008"))
            r.run("tcGetUp.bat", "112008")
            self.assertEqual(r.status("getup.log"), ["TRYD", "ERRO", "NOFI"])
            self.assertFalse(os.path.exists(r.path("tmp", "update", "112008.tar.gz")))
            # An address without a scheme means https://, which a plain web
            # server does not answer.
            r.set_source(f"127.0.0.1:{server.server_address[1]}/")
            r.run("tcGetUp.bat", "102008")
            self.assertEqual(r.status("getup.log"), ["TRYD", "ERRO", "NOHO"])
        finally:
            server.shutdown()
            server.server_close()
        with socket.socket() as s:  # a port that nothing listens on
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        r.set_source(f"http://127.0.0.1:{port}/")
        r.run("tcGetUp.bat", "092008")
        self.assertEqual(r.status("getup.log"), ["TRYD", "ERRO", "NOHO"])

    def test_package_saved_by_hand_needs_no_source(self):
        r = self.r
        r.set_source("file:///cygdrive/c/tidecharter/no_such_directory/")
        saved = r.path("tmp", "092008_monthly_update.exe")
        shutil.copy(r.path("update_source", "092008.tar.gz"), saved)
        shutil.copy(r.path("update_source", "092008.tar.gz.sig"), saved + ".sig")
        try:
            r.run("tcGetUp.bat", "092008")
        finally:
            os.remove(saved)
            os.remove(saved + ".sig")
        self.assertEqual(r.status("getup.log"), ["TRYD", "FOUN"])
        self.assertTrue(self.fetched("092008"))

    def run_up(self, members, code="092008", parent=None, spoil=None, env=None):
        """Writes the package and signs it with the source's key, lets
        spoil(package) change it, and runs tcRunUp.bat."""
        r = self.r
        os.makedirs(r.path("tmp", "update"), exist_ok=True)
        archive = r.path("tmp", "update", f"{code}.tar.gz")
        if isinstance(members, bytes):
            with open(archive, "wb") as f:
                f.write(members)
        else:
            write_archive(archive, members)
        r.sign(archive)
        if spoil:
            spoil(archive)
        command = ["sh", r.path("bin", "tcRunUp.bat"), code]
        subprocess.run(([parent, "120"] if parent else []) + command, check=True, timeout=120,
                       env=env)
        return r.status("runup.log")

    def test_packages_are_checked_before_use(self):
        r = self.r
        good = package_members(r, "092008")
        self.assertEqual(self.run_up(good), ["DIDI", "DONE"])
        self.assertEqual(sorted(os.listdir(r.path("tmp", "update", "092008"))),
                         ["Aviso_092008.nc", "RG_ArgoClim_092008.nc", "Reynolds_092008.nc"])

        with open(r.path("update_source", "092008.tar.gz"), "rb") as f:
            whole = f.read()
        outside = r.path("tmp", "evil.nc")
        bad = {
            "truncated archive": whole[:len(whole) // 2],
            "not an archive": b"this is not a package\n",
            "a member missing": good[:2],
            "another month's data": package_members(r, "102008", rename_to="092008"),
            "a file outside": good + [("../evil.nc", b"x")],
            "an unexpected file": good + [("notes.txt", b"x")],
            "a link": [("RG_ArgoClim_092008.nc", None, "/etc/passwd")] + good[1:],
            "a program that is not one": good + [("tidecharter", b"#!/bin/sh\necho hi\n")],
        }
        for what, members in bad.items():
            with self.subTest(what):
                self.assertEqual(self.run_up(members), ["SKIP", "NONE"])
                self.assertFalse(os.path.exists(outside))
                self.assertFalse(os.path.exists(r.path("tmp", "update", ".092008.unpack")))

    def test_only_packages_signed_by_the_source_key_are_used(self):
        r = self.r
        work = tempfile.mkdtemp(dir=r.root)
        runner = os.path.join(work, "tidecharter")  # the program, as below
        shutil.copy("/usr/bin/timeout", runner)
        exe = {name: pathlib.Path("/usr/bin", name).read_bytes() for name in ("true", "false")}
        members = package_members(r, "092008") + [("tidecharter", exe["true"])]
        flipped = [(n, d[:-1] + bytes([d[-1] ^ 1]) if n.startswith("Aviso") else d)
                   for n, d in members]
        keyring = r.path("bin", "update_keyring.gpg")
        no_gpgv = os.path.join(work, "bin")
        os.mkdir(no_gpgv)
        for name in set(os.listdir("/usr/bin")) - {"gpgv"}:
            os.symlink(os.path.join("/usr/bin", name), os.path.join(no_gpgv, name))
        bad = "is not a good signature"
        cases = {  # what: (change after signing, reason logged)
            "tampered data": (lambda p: write_archive(p, flipped), bad),
            "another program, same signature": (lambda p: write_archive(
                p, members[:-1] + [("tidecharter", exe["false"])]), bad),
            "missing signature": (lambda p: os.remove(p + ".sig"), "no signature"),
            "truncated signature": (lambda p: os.truncate(p + ".sig", 60), bad),
            "signature of another package": (lambda p: shutil.copy(
                r.path("update_source", "102008.tar.gz.sig"), p + ".sig"), bad),
            "another key": (lambda p: r.sign(p, os.path.join(work, "other_key")), bad),
            "keyring missing": (lambda p: os.rename(keyring, keyring + ".away"),
                                "no readable keyring"),
            "gpgv missing": (None, "gpgv is missing"),
            "earlier month": (None, "an earlier package is refused"),
        }
        digest = r.data_digest()
        detail = r.path("tmp", "runup_detail.log")
        for what, (spoil, reason) in cases.items():
            with self.subTest(what):
                shutil.rmtree(r.path("tmp", "update"), ignore_errors=True)
                open(detail, "w").close()
                code = "082008" if what == "earlier month" else "092008"
                package = package_members(r, code) if code == "082008" else members
                env = dict(os.environ, PATH=no_gpgv) if what == "gpgv missing" else None
                try:
                    status = self.run_up(package, code, runner, spoil, env)
                finally:
                    if os.path.exists(keyring + ".away"):
                        os.rename(keyring + ".away", keyring)
                self.assertEqual(status, ["SKIP", "NONE"])
                with open(detail) as f:
                    self.assertIn(reason, f.read())
                # Nothing unpacked, ready or staged.
                self.assertLessEqual(set(os.listdir(r.path("tmp", "update"))),
                                     {f"{code}.tar.gz", f"{code}.tar.gz.sig"})
        self.assertEqual(r.data_digest(), digest)
        self.assertEqual(self.run_up(members, parent=runner), ["DIDI", "NEWP"])

    def test_new_program_is_staged_then_installed_after_the_program_ends(self):
        r = self.r
        work = tempfile.mkdtemp(dir=r.root)
        # Stand-ins for the running program: it starts tcRunUp.bat and waits
        # for it, as the program does.
        runner = os.path.join(work, "tidecharter")
        shutil.copy("/usr/bin/timeout", runner)
        with open("/usr/bin/true", "rb") as f:
            new_program = f.read()
        status = self.run_up(package_members(r, "092008") + [("tidecharter", new_program)],
                             parent=runner)
        self.assertEqual(status, ["DIDI", "NEWP"])
        staged = r.path("tmp", "update", "newexe")
        with open(os.path.join(staged, "target")) as f:
            self.assertEqual(f.read().split("\n")[1], runner)

        # The program to replace runs for another moment after the installer
        # starts; the installer must wait for it.
        shutil.copy("/usr/bin/sleep", runner)
        with open(runner, "rb") as f:
            old_program = f.read()
        program = subprocess.Popen([runner, "1.5"])
        with open(os.path.join(staged, "target"), "w") as f:
            f.write(f"{program.pid}\n{runner}\n")
        reaper = threading.Thread(target=program.wait)
        reaper.start()
        started = time.monotonic()
        r.run("tcInstallNewExe.bat")
        self.assertGreater(time.monotonic() - started, 1.0)
        self.assertIsNotNone(program.poll())
        reaper.join()
        with open(runner, "rb") as f:
            self.assertEqual(f.read(), new_program)
        with open(runner + ".old", "rb") as f:
            self.assertEqual(f.read(), old_program)
        self.assertFalse(os.path.exists(staged))


def ferret_of(append_jnl):
    """Process id of the Ferret run on `append_jnl`, or None."""
    def runs_it(words):
        return b"pyferret" in b" ".join(words) and append_jnl.encode() in words
    return next(iter(processes(lambda pid: runs_it(command_line(pid)))), None)


class Append(unittest.TestCase):
    """tcAppUp.bat with fer_append_new_month and the commit check."""

    def setUp(self):
        self.r = DriveRoot()
        r = self.r
        self.assertEqual(r.run("tcGetUp.bat", "092008").returncode, 0)
        r.run("tcRunUp.bat", "092008")
        self.assertEqual(r.status("runup.log"), ["DIDI", "DONE"])
        with open(r.path("tmp", "tcferret092008.txt"), "w") as f:
            f.write(APPEND_COMMANDS.format("092008"))
        self.wrapper = r.path("tmp", "update", "append_092008.jnl")

    def tearDown(self):
        self.r.remove()

    def start_and_stop(self, whole_group):
        """Starts tcAppUp.bat and kills Ferret (or everything) as soon as
        Ferret has begun writing the first copy."""
        r = self.r
        appup = subprocess.Popen(["sh", r.path("bin", "tcAppUp.bat"), "092008"],
                                 start_new_session=True)
        copy = r.path("data", "RG_ArgoClim_Temperature.nc.append")
        deadline = time.monotonic() + 120
        ferret = None
        while time.monotonic() < deadline and appup.poll() is None:
            ferret = ferret_of(self.wrapper)
            if ferret and os.path.exists(copy) and os.path.getsize(copy) > 0:
                break
            time.sleep(0.02)
        self.assertIsNotNone(ferret, "Ferret was not seen running")
        if whole_group:
            os.killpg(appup.pid, signal.SIGKILL)
        else:
            os.kill(ferret, signal.SIGKILL)
        return appup.wait(timeout=120)

    def assert_unchanged(self, digest):
        r = self.r
        self.assertEqual(r.data_digest(), digest)
        for name in DATA_FILES:
            self.assertEqual(r.months(name), list(range(1, 57)), name)
        self.assertEqual(r.end_dates(), [56, 56, 56])

    def test_stopped_append_leaves_the_data_as_they_were(self):
        r = self.r
        digest = r.data_digest()

        # Ferret dies: the commit check refuses the copies and removes them,
        # and says so to the program.
        self.assertNotEqual(self.start_and_stop(whole_group=False), 0)
        self.assertEqual(r.leftovers(), [], r.appup_log())
        self.assertEqual(r.status("commit.log")[0][:4], "ERRO")
        self.assert_unchanged(digest)

        # Everything dies: half-written copies stay behind, unused, and no
        # word from an earlier run is left for the program.
        self.start_and_stop(whole_group=True)
        self.assertFalse(os.path.exists(r.path("tmp", "commit.log")))
        self.assert_unchanged(digest)

        # The next run clears them and appends the month once; another run
        # of the same month adds nothing.
        for _ in range(2):
            self.assertEqual(r.run("tcAppUp.bat", "092008").returncode, 0)
            self.assertEqual(r.leftovers(), [], r.appup_log())
            self.assertEqual(r.status("commit.log")[0][:4], "DONE")
            for name in DATA_FILES:
                self.assertEqual(r.months(name), list(range(1, 58)), name)
        self.assertEqual(r.end_dates(), [57, 57, 57])
        # The sample's own month still counts as the sample.
        with open(r.path("bin", "pacific", "versioninfo.txt")) as f:
            self.assertEqual(f.read().split("\n")[1], "Sample Jan 2004 - Sep 2008".ljust(30))

    def test_commit_is_all_or_none(self):
        r = self.r
        data = r.path("data")
        packages = r.path("tmp", "update", "092008")
        digest = r.data_digest()

        def good_copies():
            for pkg, path, names in tc_update_check.targets(data, packages, "092008"):
                shutil.copy(path, path + ".append")
                with netCDF4.Dataset(path + ".append", "a") as copy, \
                        netCDF4.Dataset(pkg) as month:
                    n = len(copy.dimensions["TIME"])
                    copy.variables["TIME"][n] = month.variables["TIME"][0]
                    for name in names:
                        copy.variables[name][n] = month.variables[name][0]

        # A copy that lost the old months (as when the copy step fails and
        # Ferret writes a new file) stops the whole commit.
        good_copies()
        os.remove(os.path.join(data, "Aviso_ADT.nc.append"))
        shutil.copy(os.path.join(packages, "Aviso_092008.nc"),
                    os.path.join(data, "Aviso_ADT.nc.append"))
        with self.assertRaises(tc_update_check.CheckFailed):
            tc_update_check.commit(data, packages, "092008")
        self.assertEqual(r.leftovers(), [])
        self.assertEqual(r.data_digest(), digest)

        # A copy whose new month is not the package's is refused too.
        good_copies()
        with netCDF4.Dataset(os.path.join(data, "Reynolds_SST.nc.append"), "a") as copy:
            copy.variables["SST"][56, 0, 0] = 99.0
        with self.assertRaises(tc_update_check.CheckFailed):
            tc_update_check.commit(data, packages, "092008")
        self.assertEqual(r.data_digest(), digest)

        # A copy cut short holds garbage where the copying had not reached:
        # time values beyond any date are refused like any other fault, and
        # the copies go.
        good_copies()
        with netCDF4.Dataset(os.path.join(data, "RG_ArgoClim_Salinity.nc.append"), "a") as copy:
            copy.variables["TIME"][10] = 1.0e300
        with self.assertRaises(tc_update_check.CheckFailed):
            tc_update_check.commit(data, packages, "092008")
        self.assertEqual(r.leftovers(), [])
        self.assertEqual(r.data_digest(), digest)

        # Stopped between two renames: the journal lets the next start of
        # the program finish, with no package to be had (a batch run here,
        # which starts as the desktop program does).
        good_copies()
        tc_update_check.write_journal(data, DATA_FILES)
        os.replace(os.path.join(data, DATA_FILES[0] + ".append"),
                   os.path.join(data, DATA_FILES[0]))
        r.set_source("file:///cygdrive/c/tidecharter/no_such_directory/")
        run = subprocess.run([PROGRAM, "--batch", EXAMPLE, "--check", "--out", r.path("tmp", "products")],
                             capture_output=True, text=True, timeout=300,
                             env=dict(os.environ, TIDECHARTER_DRIVE_C=r.root))
        self.assertIn("pictures would be drawn", run.stdout, run.stderr)
        self.assertEqual(r.leftovers(), [])
        for name in DATA_FILES:
            self.assertEqual(r.months(name), list(range(1, 58)), name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
