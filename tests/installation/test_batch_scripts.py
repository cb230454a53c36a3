#!/usr/bin/python3
"""The installation and its batch scripts: install.sh, the end dates,
path mapping, failures, bad requests to the go scripts, the plot window
under a private X server, the X check and the journal clean-up."""

import filecmp
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from install_fixture import (DriveRoot, command_line, go_line, map_labels,  # noqa: E402
                             picture_colours, ppm_colours, processes, running, section_labels, status)


def read_end_date(path):
    """Line 3, columns 24-27, as the program reads it: (23X,I4)."""
    with open(path) as f:
        lines = f.read().split("\n")
    return int(lines[2][23:27])


def free_display_digits():
    return [d for d in range(10)
            if not os.path.exists(f"/tmp/.X{d}-lock")
            and not os.path.exists(f"/tmp/.X11-unix/X{d}")]


def read_words(path):
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return f.read().split()


def group_members(group):
    """Running processes of a process group: pid -> command name."""
    members = {}

    def member(pid):
        name, state, pgrp = status(pid)
        if pgrp == int(group) and state != "Z":
            members[int(pid)] = name
    processes(member)
    return members


def wait_until(condition, seconds):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def window_names(display):
    result = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True,
                            env={**os.environ, "DISPLAY": display})
    return result.stdout


class Installation(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = DriveRoot()

    @classmethod
    def tearDownClass(cls):
        cls.root.cleanup()

    def test_layout_and_second_run(self):
        home = self.root.home
        for path in ["bin/tcferret.bat", "bin/tcMeta2PS.bat", "bin/tcPS2jpg.bat",
                     "bin/tcLookForX.bat", "bin/tcKillCygwinX.bat", "bin/tcJnlrm.bat",
                     "bin/notepad", "bin/xwininfo.txt", "bin/pacific/versioninfo.txt",
                     "bin/pacific/TDC_city_locations.csv", "ferret/TMAP/go/GetDates.jnl",
                     "Help/README_tdc.txt", "data/RG_ArgoClim_Temperature.nc",
                     "data/Aviso_ADT.nc", "data/Reynolds_SST.nc"]:
            self.assertTrue(os.path.isfile(os.path.join(home, path)), path)
        self.assertTrue(os.path.isdir(self.root.tmp))
        with open(os.path.join(self.root.bin, "xwininfo.txt")) as f:
            self.assertEqual(f.read(1), "0")
        with open(os.path.join(self.root.bin, "tc_paths.sh")) as f:
            self.assertIn(f"TC_DRIVE='{self.root.path}'", f.read())

        # From a copy, so that files edited meanwhile do not count as changes.
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                              "installation")
        snapshot = os.path.join(self.root.path, "installation_copy")
        shutil.copytree(source, snapshot)
        for _ in range(2):
            started = time.monotonic()
            again = subprocess.run(["sh", os.path.join(snapshot, "install.sh"), self.root.path],
                                   capture_output=True, text=True)
            seconds = time.monotonic() - started
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertIn("0 file(s) installed", again.stdout)
        self.assertIn("already present", again.stdout)
        self.assertLess(seconds, 20)
        with open(os.path.join(home, "installation.txt")) as f:
            self.assertIn(f"source {snapshot}\n", f.read())
        self.assertFalse(os.path.exists(os.path.join(home, "install.unfinished")))

        # A location table left as installed follows the installation; one
        # the user edited is kept, and the new one put beside it.
        table = os.path.join(self.root.bin, "pacific", "TDC_city_locations.csv")
        shipped = os.path.join(snapshot, "bin", "pacific", "TDC_city_locations.csv")
        original = os.path.join(source, "bin", "pacific", "TDC_city_locations.csv")
        install = ["sh", os.path.join(snapshot, "install.sh"), self.root.path]
        try:
            for edit in ("Added by the installation\n", "Added by the user\n"):
                with open(shipped if "installation" in edit else table, "a") as f:
                    f.write(edit)
                result = subprocess.run(install, capture_output=True, text=True)
                self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("kept your edited TDC_city_locations.csv", result.stdout)
            with open(table) as f:
                self.assertTrue(f.read().endswith("Added by the installation\nAdded by the user\n"))
            self.assertTrue(filecmp.cmp(table + ".new", shipped, shallow=False))
        finally:
            shutil.copy(original, table)
            if os.path.exists(table + ".new"):
                os.remove(table + ".new")

    def test_location_file_columns(self):
        with open(os.path.join(self.root.bin, "pacific", "TDC_city_locations.csv")) as f:
            lines = f.read().splitlines()
        self.assertTrue(31 <= len(lines) <= 50, len(lines))
        self.assertEqual(lines[0][:34].rstrip(), "Choose  location")
        widths = [34, 6, 8, 8, 8, 12, 12, 11, 12]
        for line in lines:
            fields, pos = [], 0
            for w in widths:
                fields.append(line[pos:pos + w])
                pos += w
            south, north, west, east = (int(v) for v in fields[1:5])
            lat, lon = float(fields[5]), float(fields[6])
            int(fields[7]), int(fields[8])
            self.assertLess(south, north, line)
            self.assertLess(west, east, line)
            self.assertTrue(0 <= west and east <= 360, line)
            self.assertTrue(south <= lat <= north and west <= lon <= east, line)

    def test_end_dates(self):
        getdates = "/cygdrive/c/tidecharter/ferret/TMAP/go/GetDates.jnl"
        result, seconds = self.root.run("tcferret.bat", getdates)
        self.assertEqual(result.returncode, 0, result.stderr)
        print(f"\nGetDates.jnl took {seconds:.2f} s", file=sys.stderr)
        for name in ("ArgoEndDate.txt", "AvisoEndDate.txt", "ReynoldsEndDate.txt"):
            self.assertEqual(read_end_date(self.root.tmp_file(name)), 56, name)

        # A data set that cannot be read leaves no stale file; the others
        # are still written.
        aviso = os.path.join(self.root.home, "data", "Aviso_ADT.nc")
        os.rename(aviso, aviso + ".away")
        try:
            result, _ = self.root.run("tcferret.bat", getdates)
        finally:
            os.rename(aviso + ".away", aviso)
        self.assertFalse(os.path.exists(self.root.tmp_file("AvisoEndDate.txt")))
        self.assertEqual(read_end_date(self.root.tmp_file("ArgoEndDate.txt")), 56)
        self.assertEqual(read_end_date(self.root.tmp_file("ReynoldsEndDate.txt")), 56)

    def test_end_date_query_runs_ferret_only_after_a_change(self):
        # A stand-in for PyFerret's Python notes each run and writes the end
        # dates as GetDates.jnl does.
        standin = os.path.join(self.root.path, "standin_python")
        with open(standin, "w") as f:
            f.write("echo run >> runs.txt\nfor n in Argo Aviso Reynolds; do\n"
                    "  printf '%s\\nAug2008\\nMonth index, Jan2004=1:  56\\n' $n > ${n}EndDate.txt\n"
                    "done\n")
        os.chmod(standin, 0o755)
        stamp, aviso = self.root.tmp_file("EndDates.stamp"), os.path.join(self.root.home, "data", "Aviso_ADT.nc")

        def shift_time(path, seconds):
            os.utime(path, ns=(0, os.stat(path).st_mtime_ns + seconds * 10**9))

        def rewrite(path, text):
            with open(path, "w") as f:
                f.write(text)

        cases = [("first query", None, 1), ("nothing changed", None, 0),
                 ("data file touched", lambda: shift_time(aviso, 1), 1),
                 ("data file appended to", lambda: open(aviso, "ab").write(b"\0"), 1),
                 ("data file replaced by an older copy", lambda: (
                     shutil.copy2(aviso, aviso + ".new"), os.replace(aviso + ".new", aviso),
                     shift_time(aviso, -3600)), 1),
                 ("nothing changed", None, 0),
                 ("end-date file removed", lambda: os.remove(self.root.tmp_file("AvisoEndDate.txt")), 1),
                 ("stamp garbled", lambda: rewrite(stamp, "drive x\n"), 1),
                 ("stamp of another drive root", lambda: rewrite(
                     stamp, open(stamp).read().replace(self.root.path, "/elsewhere")), 1),
                 ("nothing changed", None, 0)]
        os.rename(aviso, aviso + ".kept")  # the shared sample data stay as they are
        try:
            shutil.copy2(os.path.realpath(aviso + ".kept"), aviso)
            for what, change, runs in cases:
                if change:
                    change()
                before = len(read_words(self.root.tmp_file("runs.txt")))
                result, _ = self.root.run("tcferret.bat", "/cygdrive/c/tidecharter/ferret/TMAP/go/GetDates.jnl",
                                          env={"TC_PYTHON": standin})
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(len(read_words(self.root.tmp_file("runs.txt"))) - before, runs, what)
        finally:
            os.replace(aviso + ".kept", aviso)
            for name in ("EndDates.stamp", "ArgoEndDate.txt", "AvisoEndDate.txt", "ReynoldsEndDate.txt"):
                if os.path.exists(self.root.tmp_file(name)):
                    os.remove(self.root.tmp_file(name))

    def test_paths_and_failures(self):
        # The c:\ spelling maps like the Cygwin one.
        result, _ = self.root.run("tcferret.bat",
                                  "c:\\tidecharter\\ferret\\TMAP\\go\\GetDates.jnl")
        self.assertEqual(result.returncode, 0, result.stderr)
        # Every spelling, however its slashes run, maps onto the drive root.
        for given, host in [("C:\\\\tidecharter\\tmp/a b\\", "tidecharter/tmp/a b/"),
                            ("c:/tidecharter\\*\\x.txt", "tidecharter/*/x.txt"),
                            ("/cygdrive/C/tidecharter/x", "tidecharter/x"),
                            ("c:\\", ""), ("relative\\x", "relative\\x")]:
            mapped = subprocess.run(
                ["sh", "-c", '. "$0"; tc_host_path "$1"', os.path.join(self.root.bin, "tc_paths.sh"),
                 given], capture_output=True, text=True, check=True).stdout
            expected = host if host.startswith("relative") else f"{self.root.path}/{host}"
            self.assertEqual(mapped, expected + "\n", given)

        result, seconds = self.root.run("tcferret.bat", "/cygdrive/c/tidecharter/tmp/nosuch.txt")
        self.assertNotEqual(result.returncode, 0)
        self.assertIn("nosuch.txt", result.stderr)
        self.assertLess(seconds, 2)

        result, _ = self.root.run("tcMeta2PS.bat", "zzz9")
        self.assertNotEqual(result.returncode, 0)
        self.assertFalse(os.path.exists(self.root.tmp_file("zzz9.ps")))
        result, _ = self.root.run("tcferret.bat")
        self.assertEqual(result.returncode, 2)
        self.assertIn("usage", result.stderr)

    def test_look_for_x_on_a_display_that_hangs(self):
        # It takes the connection and never answers: the previous answer is
        # gone while the question is asked, and "HAVE" comes within 3 s.
        hung = socket.socket()
        hung.settimeout(20)
        for number in range(10, 64):
            try:
                hung.bind(("127.0.0.1", 6000 + number))
                break
            except OSError:
                continue
        hung.listen(4)
        batch_log = self.root.tmp_file("batch.log")
        with open(batch_log, "w") as f:
            f.write("FOUND an X server on display :0\n")
        outcome = []
        runner = threading.Thread(target=lambda: outcome.append(self.root.run(
            "tcLookForX.bat", "0", env={"DISPLAY": f"127.0.0.1:{number}"})))
        runner.start()
        try:
            connection, _ = hung.accept()
            old_answer_gone = not os.path.exists(batch_log)
            runner.join(30)
            connection.close()
        finally:
            hung.close()
        result, seconds = outcome[0]
        self.assertTrue(old_answer_gone)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertLess(seconds, 3)
        with open(batch_log) as f:
            self.assertEqual(f.read(4), "HAVE")

    def test_journal_removal(self):
        for name in ("ferret.jnl", "ferret.jnl.~1~", "GetDates.jnl", "keep.txt"):
            open(self.root.tmp_file(name), "w").close()
        result, _ = self.root.run("tcJnlrm.bat")
        self.assertEqual(result.returncode, 0)
        left = set(os.listdir(self.root.tmp))
        self.assertFalse({"ferret.jnl", "ferret.jnl.~1~"} & left)
        self.assertTrue({"GetDates.jnl", "keep.txt"} <= left)

    def draw(self, script, values, labels, kind="map"):
        cygwin = self.root.write_command_file(kind, 2, go_line(script, values), labels, True)
        meta = self.root.tmp_file(f"meta{kind}2")
        if os.path.exists(meta):
            os.remove(meta)
        result, seconds = self.root.run("tcferret.bat", cygwin, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.root.tmp_file("tcferret.log")) as f:
            log = f.read()
        for step in ("tcMeta2PS.bat", "tcPS2jpg.bat"):
            self.assertEqual(self.root.run(step, f"{kind}2")[0].returncode, 0, step)
        self.assertFalse([n for n in os.listdir(self.root.tmp) if "partial" in n])
        return log, picture_colours(self.root.tmp_file(f"{kind}2.ps"))

    def test_requests_without_data_draw_a_message(self):
        labels = map_labels("Argo Salinity", 25, -60, 130, 250, "Jan 2009", None)
        cases = [
            ("fer_psal_map", [61, 61, 0, 0, -60.0, 25.0, 130.0, 250.0, 1, 0],
             "No Argo data for month index 61"),
            ("fer_temp_map", [54, 54, 0, 0, 10.0, 10.0, 130.0, 250.0, 1, 1],
             "Empty region"),
            ("fer_temp_map", [54, 54, 0, 0, -30.0, -20.0, 125.0, 140.0, 0, 1],
             "No Argo data in this region"),
            ("fer_sst_map_monthly_anom", [70, 10, -60.0, 25.0, 130.0, 250.0, 1],
             "No Reynolds data for month index 70"),
            ("fer_dyn_ht_map", [54, 54, 500, 500, -60.0, 25.0, 130.0, 250.0, 1, 0, 1],
             "Dynamic height needs an upper pressure above the lower one"),
        ]
        for script, values, message in cases:
            with self.subTest(script=script, message=message):
                log, (colours, _) = self.draw(script, values, labels)
                self.assertIn(message, log)
                self.assertNotIn("**ERROR", log)
                self.assertGreater(colours, 1)
        log, _ = self.draw("fer_temp_section", ["E", 10.0, 10.0, 54, 54, 500, 500, 150.0, 250.0],
                           section_labels("Argo Temperature (^oC)", 150, 250, 500, 500,
                                          "Jun 2008", " 10.0^oN"), kind="ver")
        self.assertIn("A section needs an upper pressure above the lower one", log)
        self.assertNotIn("**ERROR", log)

    def test_failing_go_line_still_gives_a_picture(self):
        log, (colours, _) = self.draw("fer_no_such_script", [1, 2], [])
        self.assertIn("fer_no_such_script", log)
        self.assertGreater(colours, 1)

    def test_user_fill_levels(self):
        # One band from 0 to 40 deg C paints the ocean in one colour: far
        # fewer colours than the default levels, so the text reached /levels.
        values = [54, 54, 0, 0, -60.0, 25.0, 130.0, 250.0, 1, 0]
        labels = map_labels("Argo Temperature (^oC)", 25, -60, 130, 250, "Jun 2008", "at   0 dbar")
        _, (default_colours, _) = self.draw("fer_temp_map", values, labels)
        cygwin = self.root.write_command_file(
            "map", 2, go_line("fer_temp_map", values, fill="(0,40,40)" + " " * 35), labels, True)
        result, _ = self.root.run("tcferret.bat", cygwin)
        self.assertEqual(result.returncode, 0, result.stderr)
        for step in ("tcMeta2PS.bat", "tcPS2jpg.bat"):
            self.assertEqual(self.root.run(step, "map2")[0].returncode, 0, step)
        one_band, _ = picture_colours(self.root.tmp_file("map2.ps"))
        self.assertLess(one_band * 2, default_colours)
        # The JPG shows that band as one colour: no lighter seams between
        # the cells' polygons over the open ocean in the middle.
        middle = subprocess.run(["/usr/bin/convert", self.root.tmp_file("map2.jpg"), "-gravity", "center",
                                 "-crop", "40%x40%+0+0", "+repage", "-depth", "8", "ppm:-"],
                                capture_output=True, check=True).stdout
        self.assertGreater(ppm_colours(middle)[1], 0.9)

    THE_MAP = [go_line("fer_temp_map", [54, 54, 0, 0, -60.0, 25.0, 130.0, 250.0, 1, 0]),
               *map_labels("Argo Temperature (^oC)", 25, -60, 130, 250, "Jun 2008", "at   0 dbar")]

    def request(self, lines, env=None, slot=3, background=False, niced=False):
        """Draws a command file through tcferret.bat; its picture's lines."""
        name = f"tcferretinwarm{slot}.txt"
        with open(self.root.tmp_file(name), "w") as f:
            f.write("\n".join([" cancel mode journal", f"set mode metafile metawarm{slot}",
                               *lines, " ppl clsplt"]) + "\n")
        meta = self.root.tmp_file(f"metawarm{slot}")
        if os.path.exists(meta):
            os.remove(meta)
        args = ["nice", "-n", "10"] * niced + ["/bin/sh", os.path.join(self.root.bin, "tcferret.bat"),
                                              f"/cygdrive/c/tidecharter/tmp/{name}"]
        environment = self.root.environment(env, unset=("XDG_RUNTIME_DIR",))
        if background:
            return subprocess.Popen(args, env=environment,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        result = subprocess.run(args, env=environment, capture_output=True, text=True, timeout=120)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(meta) as f:
            # The header's creation time differs from run to run.
            return [line for line in f if not line.startswith("%%CreationDate")]

    @staticmethod
    def servers(owner):
        """The Ferrets kept for the owner: tc_ferret_warm.py serve SOCKET
        OWNER START."""
        def serving(argv):
            return argv[2:3] == [b"serve"] and argv[4:5] == [str(owner.pid).encode()]
        return set(processes(lambda pid: serving(command_line(pid))))

    def test_ferret_kept_warm(self):
        """Under an owner one Ferret draws request after request, each from
        a clean state; one that hangs, is killed or grows too large is
        replaced, and none outlives the owner."""
        owner = subprocess.Popen(["sleep", "600"])
        self.addCleanup(owner.kill)
        warm = {"TC_FERRET_OWNER": str(owner.pid)}
        request = self.request

        def servers():
            return self.servers(owner)

        the_map = self.THE_MAP
        cold = request(the_map)
        self.assertFalse(servers())
        self.assertEqual(request(the_map, warm), cold)
        first = servers()
        self.assertEqual(len(first), 1)
        # What a go script leaves behind is undone for the next request.
        section = request([go_line("fer_temp_section", ["E", 0.0, 0.0, 54, 54, 0, 500, 150.0,
                                                        250.0])], warm)
        self.assertNotEqual(section, cold)
        self.assertEqual(request(the_map, warm), cold)
        self.assertEqual(servers(), first)
        # Commands beyond the program's own (settings, aliases, the axes)
        # end their Ferret: the next map is a fresh one's.
        request(["set region/x=140:150/y=0:10", "let tc_extra = 1", "set mode interpolate",
                 "define alias go say", "define alias label say", "ppl axset 0,0,0,0",
                 "ppl axlen 3,3", "set viewport ul"], warm)
        self.assertTrue(wait_until(lambda: not servers() & first, 10))
        self.assertEqual(request(the_map, warm), cold)

        # A failing request is drawn as a fresh Ferret draws it, whatever
        # came before; one that hangs past its limit and one whose Ferret
        # is killed are reported, and the next request draws as before.
        failing = [go_line("fer_no_such_script", [1, 2]), *the_map[1:]]
        self.assertEqual(request(failing, warm), request(failing))
        with open(self.root.tmp_file("tcferret.log")) as f:
            self.assertIn("fer_no_such_script", f.read())
        self.assertEqual(request(the_map, warm), cold)
        started = time.monotonic()
        request(["spawn sleep 600"], {**warm, "TC_FERRET_LIMIT": "3"})
        self.assertLess(time.monotonic() - started, 60)
        with open(self.root.tmp_file("tcferret.log")) as f:
            self.assertIn("took more than 3 s", f.read())
        self.assertTrue(wait_until(lambda: not servers(), 10))
        self.assertEqual(request(the_map, warm), cold)
        hanging = request(["spawn sleep 600"], warm, background=True)
        self.assertTrue(wait_until(lambda: servers() and any(
            "sleep" in group_members(pid).values() for pid in servers()), 60))
        for pid in servers():
            # With the sleep it spawned, which would otherwise outlive the test.
            os.killpg(pid, signal.SIGKILL)
        self.assertEqual(hanging.wait(timeout=20), 0)
        self.assertEqual(request(the_map, warm), cold)

        # Past its memory cap after a request, a Ferret ends.
        self.assertTrue(servers())
        request(the_map, {**warm, "TC_FERRET_WARM_MB": "1"})
        self.assertTrue(wait_until(lambda: not servers(), 10))

        self.assertEqual(request(the_map, warm), cold)
        # Work ahead of the user (niced) has a Ferret of its own, at its
        # priority: the one a Plot draws in stays free and at full speed.
        plot = servers()
        self.assertEqual(request(the_map, warm, niced=True), cold)
        ahead = servers() - plot
        self.assertEqual(len(ahead), 1)
        self.assertGreater(os.getpriority(os.PRIO_PROCESS, next(iter(ahead))), 0)
        self.assertEqual([os.getpriority(os.PRIO_PROCESS, pid) for pid in plot], [0])
        last = servers()
        self.assertTrue(last)
        owner.kill()
        owner.wait()
        self.assertTrue(wait_until(lambda: not any(running(pid) for pid in last), 10))
        home = os.path.join(os.environ.get("TMPDIR") or "/tmp", f"tcferret-{os.getuid()}")
        leftovers = [n for n in os.listdir(home)
                     if n.startswith(f"{owner.pid}-")]
        self.assertEqual(leftovers, [])


    def test_ferret_kept_warm_trusts_no_other_user(self):
        """What another user plants where the warm Ferrets live (a link to
        the user's files, a directory open to all with a planted pid file,
        a socket of theirs) changes nothing outside it, learns nothing, and
        the picture is still drawn."""
        if os.geteuid() != 0:
            self.skipTest("acting as a second user needs root (setuid)")
        other = 54321
        shared = tempfile.mkdtemp(prefix="tc_shared_tmp_")
        self.addCleanup(shutil.rmtree, shared, True)
        os.chmod(shared, 0o1777)
        owner = subprocess.Popen(["sleep", "600"])
        self.addCleanup(owner.wait)
        self.addCleanup(owner.kill)
        warm = {"TC_FERRET_OWNER": str(owner.pid), "TMPDIR": shared}
        home = os.path.join(shared, f"tcferret-{os.getuid()}")
        mine = tempfile.mkdtemp(dir=self.root.path)
        for name in ("notes.txt", "paper.tex", ".bashrc"):
            with open(os.path.join(mine, name), "w") as f:
                f.write(f"the user's own {name}\n")
        def contents():
            found = {}
            for name in os.listdir(mine):
                with open(os.path.join(mine, name)) as f:
                    found[name] = f.read()
            return found
        untouched = contents()

        def as_other(plant):
            child = os.fork()
            if child == 0:
                try:
                    os.setgid(other)
                    os.setuid(other)
                    plant()
                finally:
                    os._exit(0)
            os.waitpid(child, 0)

        def drawn_and_untouched():
            self.assertEqual(self.request(self.THE_MAP, warm), cold)
            self.assertEqual(contents(), untouched)

        def reset():
            for pid in self.servers(owner):
                os.killpg(pid, signal.SIGKILL)
            self.assertTrue(wait_until(lambda: not self.servers(owner), 10))
            if os.path.islink(home):
                os.remove(home)
            shutil.rmtree(home, ignore_errors=True)

        cold = self.request(self.THE_MAP)
        # The names a warm Ferret of this owner uses, as the other user
        # would learn them.
        drawn_and_untouched()
        names = sorted(os.listdir(home))
        pid_file = next(n for n in names if n.endswith(".pid"))
        socket_name = pid_file[:-len(".pid")] + ".sock"
        reset()

        as_other(lambda: os.symlink(mine, home))
        drawn_and_untouched()
        self.assertFalse(self.servers(owner))
        reset()

        def open_to_all():
            os.mkdir(home)
            os.chmod(home, 0o777)
            os.symlink(os.path.join(mine, ".bashrc"), os.path.join(home, pid_file))
        as_other(open_to_all)
        drawn_and_untouched()
        drawn_and_untouched()
        reset()

        # A socket bound where the server's goes, listening as the other
        # user: nothing is sent to it.
        drawn_and_untouched()
        for pid in self.servers(owner):
            os.killpg(pid, signal.SIGKILL)
        self.assertTrue(wait_until(lambda: not self.servers(owner), 10))
        heard, said = os.pipe()
        child = os.fork()
        if child == 0:
            try:
                os.close(heard)
                listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                if os.path.exists(os.path.join(home, socket_name)):
                    os.remove(os.path.join(home, socket_name))
                listener.bind(os.path.join(home, socket_name))
                os.setgid(other)
                os.setuid(other)
                listener.listen(1)
                os.write(said, b"ready\n")
                conn, _ = listener.accept()
                conn.settimeout(30)
                os.write(said, b"told:" + conn.recv(65536) + b"\n")
            finally:
                os._exit(0)
        os.close(said)
        with os.fdopen(heard) as told:
            self.assertEqual(told.readline(), "ready\n")
            drawn_and_untouched()
            self.assertEqual(told.readline(), "told:\n")
        os.waitpid(child, 0)


def start_xvfb(display):
    """A private X server, or None when it does not answer.  It must not
    reset when its last client leaves: a client connecting meanwhile, such
    as the window manager after the first check, would be turned away."""
    server = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x1024x24", "-nolisten",
                               "tcp", "-noreset"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, start_new_session=True)
    for _ in range(50):
        if subprocess.run(["xdpyinfo"], env={**os.environ, "DISPLAY": display},
                          capture_output=True).returncode == 0:
            return server
        time.sleep(0.1)
    server.kill()
    return None


def salinity_window_file(root, slot):
    labels = map_labels("Argo Salinity", 25, -60, 130, 250, "Jun 2008", "at   0 dbar")
    return root.write_command_file(
        "map", slot, go_line("fer_psal_map", [54, 54, 0, 0, -60.0, 25.0, 130.0, 250.0, 1, 0]),
        labels, metafile=False)


def salinity_with_request(root, slot):
    """The map of salinity_window_file with the dialog's request beside it,
    as Plot leaves it."""
    commands = salinity_window_file(root, slot)
    with open(root.tmp_file(f"tcferretinmap{slot}.ini"), "w") as f:
        f.write(f"[map{slot}]\nkind = map\nproperty = Salinity - Argo data\nplot = Property\n"
                "land = Land only  (faster)\npressure = 0\nregion = 60S-25N 130E-250E\n"
                "fill = default\nstart = 2008-06\nend = 2008-06\n")
    return commands


def isotherm_window_file(root, slot):
    """The isotherm product's two panels, as Plot writes them."""
    return root.write_command_file("pro", slot, go_line("fer_depth20", [54, 54, -25.0, 25.0, 120.0, 290.0, 1, 0]), [
        " set view top",
        'label 121.00, 32.92,-1,0,0.17 "Top: Depth of 20^o isotherm from Argo data"',
        'label 121.00, 27.16,-1,0,0.17 "Bottom: Depth of 20^o isotherm anomaly from monthly mean"',
        'label 288.00, 32.92,0,0,0.17 "Jun 2008"'], metafile=False)


def frames_in(pgm):
    """The plot frames of a grey picture (binary PGM): (left, top, right,
    bottom) in pixels, top to bottom, found as its long dark lines."""
    with open(pgm, "rb") as f:
        data = f.read()
    header, at = [], 0
    while len(header) < 4:
        token = re.compile(rb"\s*(#[^\n]*\n\s*)*(\S+)").match(data, at)
        header.append(token.group(2))
        at = token.end()
    width, height = int(header[1]), int(header[2])
    pixels = data[at + 1:]
    dark = [[pixels[y * width + x] < 100 for x in range(width)] for y in range(height)]

    def runs(cells):
        best = length = 0
        for cell in cells:
            length = length + 1 if cell else 0
            best = max(best, length)
        return best

    def groups(indices):
        found = []
        for i in indices:
            if found and i - found[-1][-1] <= 2:
                found[-1].append(i)
            else:
                found.append([i])
        return [g[len(g) // 2] for g in found]
    rows = groups([y for y in range(height) if runs(dark[y]) > width * 0.4])
    frames = []
    for top, bottom in zip(rows[0::2], rows[1::2]):
        columns = groups([x for x in range(width)
                          if runs(dark[y][x] for y in range(top, bottom + 1)) > (bottom - top) * 0.9])
        frames.append((columns[0], top, columns[1], bottom))
    return frames, width, height


class PlotWindow(unittest.TestCase):
    """Under a private Xvfb with a window manager: the viewer's window
    appears titled with the plot, cascades, closing it ends the viewer,
    tcKillCygwinX.bat closes the windows and leaves the X server alone."""

    @classmethod
    def setUpClass(cls):
        digits = free_display_digits()
        if len(digits) < 3:
            raise unittest.SkipTest("no free X display numbers")
        cls.digit, cls.spare = digits[0], digits[1]
        cls.display = f":{cls.digit}"
        cls.xvfb = start_xvfb(cls.display)
        if cls.xvfb is None:
            raise unittest.SkipTest("Xvfb did not start")
        # A desktop's windows have a manager with a close box.
        cls.env = {"DISPLAY": cls.display}
        messages = tempfile.TemporaryFile()
        cls.manager = subprocess.Popen(["openbox"], env={**os.environ, **cls.env},
                                       stdout=messages, stderr=subprocess.STDOUT)
        if not wait_until(lambda: subprocess.run(["wmctrl", "-m"], env={**os.environ, **cls.env},
                                                 capture_output=True).returncode == 0, 20):
            cls.manager.kill()
            os.killpg(cls.xvfb.pid, signal.SIGTERM)
            messages.seek(0)
            raise RuntimeError("openbox did not start: " + messages.read().decode())
        cls.root = DriveRoot()

    @classmethod
    def tearDownClass(cls):
        cls.root.run("tcKillCygwinX.bat")
        cls.manager.terminate()
        cls.manager.wait(timeout=10)
        os.killpg(cls.xvfb.pid, signal.SIGTERM)
        cls.xvfb.wait(timeout=10)
        cls.root.cleanup()

    def test_look_for_x(self):
        def answer(digit, display):
            env = {"DISPLAY": display} if display else {}
            result, _ = self.root.run("tcLookForX.bat", str(digit), env=env,
                                      unset=() if display else ("DISPLAY",))
            self.assertEqual(result.returncode, 0, result.stderr)
            with open(self.root.tmp_file("batch.log")) as f:
                return f.read(4)

        # A display still free now: another X server on this machine may
        # have taken the one free when the class began.
        dead = next(d for d in free_display_digits() if d != self.digit)
        # Without $DISPLAY the plot windows go to :DIGIT.
        self.assertNotEqual(answer(self.digit, None), "HAVE")
        self.assertEqual(answer(dead, None), "HAVE")
        # With one, they go there whatever xwininfo.txt says.
        self.assertNotEqual(answer(dead, self.display), "HAVE")
        self.assertEqual(answer(self.digit, f":{dead}"), "HAVE")

    def x(self, *command):
        return subprocess.run(command, env={**os.environ, **self.env}, capture_output=True,
                              text=True).stdout

    def plot_windows(self):
        """Window id -> (x, y, width, height, title) of the plot windows."""
        windows = {}
        for line in self.x("wmctrl", "-lG").splitlines():
            words = line.split(None, 7)
            # (notepad's window is the help's)
            if len(words) == 8 and "README_tdc.txt" not in words[7]:
                windows[words[0]] = (*map(int, words[2:6]), words[7])
        return windows

    def views(self):
        return {d for d in os.listdir(self.root.tmp) if d.startswith("view.")}

    def viewers(self):
        """The running plot windows' processes listed for tcKillCygwinX.bat."""
        return [g for g in read_words(self.root.tmp_file("tcferret_windows.pid")) if running(g)]

    def open_window(self, slot, script=salinity_window_file):
        """Runs tcferret.bat on a map; returns the windows' process, the
        seconds tcferret.bat took and the new window's directory."""
        before = self.views()
        result, seconds = self.root.run("tcferret.bat", script(self.root, slot), env=self.env)
        self.assertEqual(result.returncode, 0, result.stderr)
        viewers = self.viewers()
        self.assertEqual(len(viewers), 1)
        made = self.views() - before
        self.assertEqual(len(made), 1)
        return viewers[0], seconds, os.path.join(self.root.tmp, made.pop())

    def test_window_opens_returns_and_closes(self):
        first, seconds, _ = self.open_window(4)
        print(f"\ntcferret.bat returned after {seconds:.2f} s with the window shown",
              file=sys.stderr)
        self.assertIn("tidecharter-vie", group_members(first).values())
        self.assertTrue(wait_until(lambda: len(self.plot_windows()) == 1, 5))
        (x1, y1, w1, h1, title), = self.plot_windows().values()
        self.assertEqual(title, "Argo Salinity - Jun 2008 - at 0 dbar")

        # The next one is the same process's, cascading from it, inside
        # the screen.
        second, _, _ = self.open_window(4)
        self.assertEqual(second, first)
        self.assertTrue(wait_until(lambda: len(self.plot_windows()) == 2, 5))
        x2, y2, w2, h2, _ = [g for g in self.plot_windows().values() if g[:2] != (x1, y1)][0]
        self.assertEqual((x2 - x1, y2 - y1), (32, 32))
        self.assertLessEqual(x2 + w2, 1280)
        self.assertLessEqual(y2 + h2, 1024)

        result, _ = self.root.run("tcKillCygwinX.bat")
        self.assertEqual(result.returncode, 0)
        self.assertTrue(wait_until(lambda: not self.plot_windows(), 5))
        self.assertTrue(wait_until(lambda: not group_members(first), 5))
        self.assertFalse(self.views())
        self.assertIsNone(self.xvfb.poll(), "the X server must keep running")

        # With every window closed, the cascade starts afresh.
        third, _, _ = self.open_window(4)
        self.assertTrue(wait_until(lambda: len(self.plot_windows()) == 1, 5))
        self.assertEqual(next(iter(self.plot_windows().values()))[:2], (x1, y1))
        self.root.run("tcKillCygwinX.bat")
        self.assertTrue(wait_until(lambda: not group_members(third), 5))

    def test_closing_windows(self):
        # Closing one of two windows removes its files and leaves the
        # other, also once minimised; closing the last ends the process.
        listed = self.root.tmp_file("tcferret_windows.pid")
        viewer, _, one = self.open_window(6)
        _, _, other = self.open_window(7)
        self.assertTrue(wait_until(lambda: len(self.plot_windows()) == 2, 5))
        closing = next(iter(self.plot_windows()))
        self.x("wmctrl", "-i", "-c", closing)
        self.assertTrue(wait_until(lambda: os.path.exists(one) != os.path.exists(other), 3),
                        "no window's files went within 3 s of its closing")
        left = list(self.plot_windows())
        self.assertEqual(len(left), 1)
        self.x("xdotool", "windowminimize", left[0])
        self.assertTrue(wait_until(lambda: "Iconic" in self.x("xprop", "-id", left[0], "WM_STATE"), 5))
        self.assertFalse(wait_until(lambda: not group_members(viewer), 1), "the open window's process ended")
        self.assertIn(viewer, read_words(listed))

        self.x("wmctrl", "-i", "-c", left[0])
        self.assertTrue(wait_until(lambda: not group_members(viewer), 5))
        self.assertFalse(os.path.exists(one) or os.path.exists(other))
        self.assertNotIn(viewer, read_words(listed))

    def test_point_to_series(self):
        # Ctrl+click on a map: the batch run writes the time series there,
        # shown in a window of its own.
        _, _, view = self.open_window(10)
        self.assertTrue(wait_until(lambda: len(self.plot_windows()) == 1, 5))
        (first, (x, y, w, h, _)), = self.plot_windows().items()
        before = self.views()
        self.x("xdotool", "mousemove", str(x + w // 2), str(y + h // 2),
               "keydown", "ctrl", "click", "1", "keyup", "ctrl")
        self.assertTrue(wait_until(lambda: len(self.plot_windows()) == 2, 120),
                        "no time-series window within 120 s")
        series, = self.views() - before
        with open(os.path.join(self.root.tmp, series, "commands.txt")) as f:
            commands = f.read()
        self.assertIn("go fer_psal_line", commands)
        self.assertNotIn("set mode metafile", commands.lower())
        self.assertRegex(self.plot_windows()[next(w for w in self.plot_windows() if w != first)][4],
                         r"^Argo Salinity - 0 dbar - \d+\.\d [NS] - \d+\.\d E")
        self.root.run("tcKillCygwinX.bat")
        self.assertTrue(wait_until(lambda: not self.plot_windows(), 5))

    def test_months_of_a_window(self):
        """Right steps to the next month, title and picture; End and then
        Right stay at the data's last month."""
        self.open_window(11, script=salinity_with_request)
        self.addCleanup(self.root.run, "tcKillCygwinX.bat")
        # The first key comes while the window's months are being prepared:
        # it is taken once they are.
        window = self.x("xdotool", "search", "--name", "Argo Salinity").split()[0]
        self.x("xdotool", "windowactivate", "--sync", window)

        def title():
            return self.x("xdotool", "getwindowname", window)

        def picture():
            return self.x("import", "-window", window, "-crop", "60%x60%+0+120", "-format", "%#", "info:")

        def step(key, month):
            self.x("xdotool", "key", "--window", window, key)
            self.assertTrue(wait_until(lambda: month in title(), 120), f"{key}: {title()}")

        june = picture()
        step("Right", "Jul 2008")
        self.assertNotEqual(picture(), june)
        step("End", "Aug 2008")
        self.x("xdotool", "key", "--window", window, "Right")
        self.assertFalse(wait_until(lambda: "Aug 2008" not in title(), 3))
        self.root.run("tcKillCygwinX.bat")
        self.assertTrue(wait_until(lambda: not self.plot_windows(), 5))

    def test_readout_on_both_panels(self):
        """On the isotherm product's two panels, the readout just inside
        each frame's corners is the region's, to a grid cell."""
        _, _, view = self.open_window(12, script=isotherm_window_file)
        pgm = os.path.join(self.root.path, "panels.pgm")
        subprocess.run(["/bin/sh", "-c", '. "$0"; tc_ps_raster "$1" "$2" pgmraw 1000',
                        os.path.join(self.root.bin, "tc_paths.sh"), os.path.join(view, "picture.ps"), pgm],
                       check=True)
        frames, width, height = frames_in(pgm)
        self.assertEqual(len(frames), 2, frames)
        viewer = os.environ["TIDECHARTER_VIEW"]
        for left, top, right, bottom in frames:
            for x, y, expected in ((left + 3, bottom - 3, (120, -25)), (right - 3, top + 3, (290, 25))):
                said = subprocess.run([viewer, "--readout", str(x / width), str(y / height), view],
                                      capture_output=True, text=True).stdout
                lon, east, lat, north = re.match(r"Longitude ([\d.]+)([EW])   Latitude ([\d.]+)([NS])", said).groups()
                lon = float(lon) if east == "E" else 360 - float(lon)
                lat = float(lat) if north == "N" else -float(lat)
                self.assertLess(abs(lon - expected[0]), 1.5, said)
                self.assertLess(abs(lat - expected[1]), 1.5, said)
        self.root.run("tcKillCygwinX.bat")

    def test_save_as_and_faults(self):
        _, _, view = self.open_window(8)
        viewer = os.environ["TIDECHARTER_VIEW"]
        drive = self.root.environment()
        # A directory of the user's own, not tcferret.bat's.
        theirs = tempfile.mkdtemp(dir=self.root.path)
        shutil.copy(os.path.join(view, "picture.ps"), theirs)
        out = tempfile.mkdtemp(dir=self.root.path)
        # Each format is what its name says, with the command file beside.
        magic = {"png": b"\x89PNG", "jpg": b"\xff\xd8", "pdf": b"%PDF", "ps": b"%!PS"}
        for kind, start in magic.items():
            target = os.path.join(out, f"salinity_{kind}.{kind}")
            saved = subprocess.run([viewer, "--save", target, view], env=drive, capture_output=True,
                                   text=True)
            self.assertEqual(saved.returncode, 0, saved.stderr)
            with open(target, "rb") as f:
                self.assertEqual(f.read(len(start)), start, kind)
            with open(os.path.join(out, f"salinity_{kind}.jnl")) as f:
                self.assertIn("go fer_psal_map", f.read())
        # A landscape picture's PDF page is landscape, as it is seen.
        with open(os.path.join(out, "salinity_pdf.pdf"), "rb") as f:
            box = [float(v) for v in re.search(rb"/MediaBox ?\[([^\]]*)\]", f.read()).group(1).split()]
        self.assertGreater(box[2] - box[0], box[3] - box[1])
        # A picture saved is white, and sharp on a 4K screen.
        picture = os.path.join(out, "salinity_png.png")
        size = self.x("identify", "-format", "%w %h", picture).split()
        self.assertAlmostEqual(max(map(int, size)), 3840, delta=10)
        corner = self.x("convert", picture, "-format", "%[pixel:p{5,5}]", "info:")
        self.assertIn(corner, ("white", "srgb(255,255,255)"))
        # Never over another picture's commands; never through a name
        # planted beside the target.
        with open(os.path.join(out, "analysis.jnl"), "w") as f:
            f.write("the user's own commands\n")
        os.symlink(os.path.join(out, "salinity_png.jnl"), os.path.join(out, ".analysis.png.partial"))
        saved = subprocess.run([viewer, "--save", os.path.join(out, "analysis.png"), view],
                               env=drive, capture_output=True, text=True)
        self.assertEqual(saved.returncode, 1)
        self.assertIn("analysis.jnl exists", saved.stderr)
        self.assertFalse(os.path.exists(os.path.join(out, "analysis.png")))
        os.remove(os.path.join(out, "analysis.jnl"))
        saved = subprocess.run([viewer, "--save", os.path.join(out, "analysis.png"), view],
                               env=drive, capture_output=True, text=True)
        self.assertEqual(saved.returncode, 0, saved.stderr)
        with open(os.path.join(out, "salinity_png.jnl")) as f:
            self.assertIn("go fer_psal_map", f.read())
        os.remove(os.path.join(out, ".analysis.png.partial"))
        # The cursor's readout: the axes' corners are the region's (Ferret
        # widens it to whole grid cells), a point outside them reads nothing.
        with open(os.path.join(view, "axes.txt")) as f:
            page = [float(v) for v in f.readline().split()[1:]]
        width, height, xorg, yorg, xlen, ylen = page

        def readout(px, py, where=view):
            return subprocess.run([viewer, "--readout", str(px / width), str(1 - py / height), where],
                                  capture_output=True, text=True).stdout.strip()
        self.assertRegex(readout(xorg + 0.001, yorg + 0.001), r"^Longitude 13[01]\.0E   Latitude 5[89]\.\dS$")
        self.assertRegex(readout(xorg + xlen / 2, yorg + ylen - 0.001), r"^Longitude 170\.0W   Latitude 2[45]\.\dN$")
        self.assertEqual(readout(xorg - 0.1, yorg), "")
        # A section names the axis it crosses, by its direction.
        section = tempfile.mkdtemp(dir=self.root.path)
        shutil.copy(os.path.join(view, "axes.txt"), section)
        for direction, named in (("N", r"^Latitude 13[01]\.0N   Pressure "), ("E", r"^Longitude 13[01]\.0E   Pressure ")):
            with open(os.path.join(section, "commands.txt"), "w") as f:
                f.write(f" go fer_temp_section {direction} -60 65 54 54 0 2000 220 220\n")
            self.assertRegex(readout(xorg + 0.001, yorg + 0.001, section), named)
        # A directory that cannot be written says so and is left as it was.
        blocked = os.path.join(out, "salinity_png.png", "x.pdf")
        before = sorted(os.listdir(out))
        saved = subprocess.run([viewer, "--save", blocked, view], env=drive, capture_output=True,
                               text=True)
        self.assertEqual(saved.returncode, 1)
        self.assertIn("cannot save into", saved.stderr)
        if os.geteuid() != 0:
            os.chmod(out, 0o555)
            saved = subprocess.run([viewer, "--save", os.path.join(out, "y.png"), view],
                                   env=drive, capture_output=True, text=True)
            os.chmod(out, 0o755)
            self.assertIn("cannot be written", saved.stderr)
        self.assertEqual(sorted(os.listdir(out)), before)
        self.root.run("tcKillCygwinX.bat")

        # A picture that cannot be read shows why, in its window; closed,
        # it removes the directory tcferret.bat made for it, and no other.
        broken = tempfile.mkdtemp(prefix="view.", dir=self.root.tmp)
        open(os.path.join(broken, "made_by_tcferret"), "w").close()
        with open(os.path.join(broken, "picture.ps"), "w") as f:
            f.write("%!PS-Adobe-3.0\n%%BoundingBox: 0 0 600 400\nnot a picture\n")
        with open(os.path.join(broken, "commands.txt"), "w") as f:
            f.write('label 1,1,0,0,0.17 "Argo Salinity broken"\n')
        for shown in (broken, theirs):
            result = subprocess.run([viewer, shown], env={**os.environ, **self.env,
                                                          "TIDECHARTER_DRIVE_C": self.root.path},
                                    capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
        self.assertTrue(wait_until(lambda: "Argo Salinity broken" in self.x("wmctrl", "-l"), 10))
        self.root.run("tcKillCygwinX.bat")
        self.assertTrue(wait_until(lambda: not os.path.exists(broken), 5))
        self.assertEqual(os.listdir(theirs), ["picture.ps"])

        # Without a display it fails and says so (one still free now).
        dead = next(d for d in free_display_digits() if d != self.digit)
        result, _ = self.root.run("tcferret.bat", salinity_window_file(self.root, 9),
                                  env={"DISPLAY": f":{dead}"})
        self.assertEqual(result.returncode, 1)
        self.assertIn("the plot window did not open", result.stderr)
        result = subprocess.run([viewer, theirs], env={**os.environ, "DISPLAY": f":{dead}",
                                                       "TIDECHARTER_DRIVE_C": self.root.path},
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(os.listdir(theirs), ["picture.ps"])

    def test_window_ends_with_its_display(self):
        # A window whose X server went away must not leave Ferret waiting
        # on its input for ever.
        display = f":{self.spare}"
        server = start_xvfb(display)
        if server is None:
            self.skipTest("second Xvfb did not start")
        windows = self.root.tmp_file("tcferret_windows.pid")
        before = read_words(windows)
        result, _ = self.root.run("tcferret.bat", salinity_window_file(self.root, 5),
                                  env={"DISPLAY": display})
        self.assertEqual(result.returncode, 0, result.stderr)
        groups = [g for g in read_words(windows) if g not in before]
        self.assertEqual(len(groups), 1)
        os.killpg(server.pid, signal.SIGTERM)
        server.wait(timeout=10)
        for _ in range(300):
            if not running(groups[0]):
                break
            time.sleep(0.1)
        self.assertFalse(running(groups[0]), "the window's group lives on")

    def test_notepad_shows_the_help(self):
        result, _ = self.root.run("notepad", "c:\\tidecharter\\Help\\README_tdc.txt",
                                  env={"DISPLAY": self.display})
        self.assertEqual(result.returncode, 0, result.stderr)
        for _ in range(50):
            if "README_tdc.txt" in window_names(self.display):
                break
            time.sleep(0.1)
        self.assertIn("README_tdc.txt", window_names(self.display))


if __name__ == "__main__":
    unittest.main(verbosity=2)
