#!/usr/bin/python3
"""Times looking through months, by hand (not part of CI), on a private
Xvfb display without a window manager, and prints one table.

    bench/browse_bench.py [--build DIR] [--root DRIVE_ROOT] [--rounds N]
                          [--play SECONDS] [--display :N] [--gap SECONDS]

  Plot        the program started, Map view's default request: Plot pressed
              (xdotool) to the new plot window mapped with its picture
              (bench/map_watch.c); the first Plot of the program, then N
              more, each beside a bare PyFerret drawing the same command
              file to a PNG in a fresh process (the reference); each
              --gap seconds (default 0.5) after the window before, whose
              months are prepared and drawn ahead meanwhile
  step        a key to the window showing the new month (the title's month
              follows the picture): Page Down to a month not drawn yet,
              Page Up back to one drawn before
  play        Space: the months shown per second over the first pass and
              over the second (each SECONDS long)
  memory      the plot windows' process: resident memory with one window
              and per extra window, and after play (the frame cache's
              share)

--root names a drive root laid out with installation/install.sh (for
real-size data, bench/make_real_size_data.py into its tidecharter/data);
by default the sample is laid out in a temporary directory.  Needs Xvfb,
xdotool, x11-utils, gcc and libx11-dev.
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def control(dialog, field):
    """Title, size and the place of control FIELD of dialog DIALOG, in
    dialog units, from its definition."""
    title, size, place = "", None, None
    with open(os.path.join(HERE, "resources", f"dialog_{dialog}.dlg")) as f:
        for line in f:
            words = line.split()
            if words[:1] == ["DIALOG"]:
                size = int(words[2]), int(words[3])
            elif words[:1] == ["TITLE"]:
                title = line.strip()[len("TITLE "):].strip('"')
            elif words[:2] == ["CONTROL", str(field)]:
                place = [int(w) for w in words[4:8]]
    return title, size, place


class Display:
    def __init__(self, name, env):
        self.name = name
        self.env = {**env, "DISPLAY": name}

    def run(self, *words):
        return subprocess.run(words, env=self.env, capture_output=True, text=True).stdout

    def geometry(self, title):
        info = self.run("xwininfo", "-name", title)
        values = {k: int(v) for k, v in re.findall(r"(Absolute upper-left [XY]|Width|Height):\s+(-?\d+)", info)}
        if len(values) < 4:
            return None
        return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"],
                values["Height"])

    def wait_window(self, title, seconds=60):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if "IsViewable" in self.run("xwininfo", "-name", title):
                return True
            time.sleep(0.05)
        return False

    def point(self, dialog, field):
        title, (dw, dh), (x, y, w, h) = control(dialog, field)
        gx, gy, gw, gh = self.geometry(title)
        return title, gx + (x + w / 2) * gw / dw, gy + (y + h / 2) * gh / dh

    def click(self, dialog, field):
        title, x, y = self.point(dialog, field)
        self.run("xdotool", "search", "--name", f"^{title}$", "windowraise")
        self.run("xdotool", "mousemove", str(int(x)), str(int(y)), "click", "1")


def watched(display, watch, title, *program):
    """Milliseconds from starting PROGRAM to a window named TITLE."""
    out = tempfile.mktemp(prefix="map_watch.")
    result = subprocess.run([watch, title, out, *program], env=display.env, timeout=90)
    try:
        with open(out) as f:
            return int(f.read().split()[0]) if result.returncode == 0 else None
    finally:
        if os.path.exists(out):
            os.remove(out)


def resident_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))


def viewer_pid(root):
    """The plot windows' process listed last that is still running."""
    with open(os.path.join(root, "tidecharter", "tmp", "tcferret_windows.pid")) as f:
        return [int(p) for p in f.read().split() if os.path.exists(f"/proc/{p}")][-1]


def bare_ferret(root, command_file, work):
    """Seconds for a fresh PyFerret drawing the command file to a PNG."""
    with open(command_file) as f:
        lines = [line for line in f.read().splitlines() if "ppl clsplt" not in line.lower()]
    script = os.path.join(work, "bare.jnl")
    with open(script, "w") as f:
        f.write("\n".join(lines + [f'frame/file="{work}/bare.png"', "quit"]) + "\n")
    shell = (f'. "{root}/tidecharter/bin/tc_paths.sh"; tc_ferret_env; cd "{work}"; '
             f'/usr/bin/python3 -c "import sys, pyferret; pyferret.init(sys.argv[1:], True)" '
             f'-nodisplay -nojnl -quiet -script "{script}" > /dev/null 2>&1')
    started = time.monotonic()
    subprocess.run(["/bin/sh", "-c", shell], check=False)
    return time.monotonic() - started


def months_prepared(root, windows):
    """Whether the months of all WINDOWS windows are prepared."""
    tmp = os.path.join(root, "tidecharter", "tmp")
    done = 0
    for view in os.listdir(tmp):
        log = os.path.join(tmp, view, "months", "batch.log")
        if view.startswith("view.") and os.path.exists(log):
            with open(log) as f:
                lines = f.read().splitlines()
            done += bool(lines) and "written" in lines[-1]
    return done >= windows


def last_month(root):
    """The Argo data's last month index, from the end-date file."""
    with open(os.path.join(root, "tidecharter", "tmp", "ArgoEndDate.txt")) as f:
        return int(f.read().split("\n")[2][23:27])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(HERE, "build"))
    parser.add_argument("--root")
    parser.add_argument("--rounds", type=int, default=6)
    parser.add_argument("--play", type=int, default=30)
    parser.add_argument("--display", default=":93")
    parser.add_argument("--gap", type=float, default=0.5,
                        help="seconds between a window drawn and the next Plot (the windows' work "
                             "ahead runs meanwhile)")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="browse_bench.")
    watch = os.path.join(work, "map_watch")
    subprocess.run(["gcc", "-O2", "-o", watch, os.path.join(HERE, "bench", "map_watch.c"), "-lX11"], check=True)
    root = args.root
    if not root:
        root = os.path.join(work, "root")
        subprocess.run(["sh", os.path.join(HERE, "installation", "install.sh"), root], check=True,
                       stdout=subprocess.DEVNULL)
    root = os.path.abspath(root)
    program = os.path.join(os.path.abspath(args.build), "tidecharter")
    env = {**os.environ, "TIDECHARTER_DRIVE_C": root,
           "TIDECHARTER_VIEW": os.path.join(os.path.abspath(args.build), "tidecharter-view")}
    xvfb = subprocess.Popen(["Xvfb", args.display, "-screen", "0", "1920x1200x24", "-nolisten", "tcp",
                             "-noreset"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    display = Display(args.display, env)
    app = None
    results = {}
    try:
        time.sleep(1)
        app = subprocess.Popen([program], env=display.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        main_menu = control(101, 0)[0]
        if not display.wait_window(main_menu):
            sys.exit("browse_bench.py: no main menu")
        display.click(101, 1)
        map_dialog = control(103, 0)[0]
        display.wait_window(map_dialog)
        time.sleep(1)
        title, x, y = display.point(103, 1035)
        plot = ["xdotool", "mousemove", str(int(x)), str(int(y)), "click", "1"]
        command_file = os.path.join(root, "tidecharter", "tmp", "tcferretinmap1.txt")

        results["first"] = watched(display, watch, "Argo Temperature", *plot)
        viewer = viewer_pid(root)
        one_window = resident_kb(viewer)
        plots, bare = [], []
        for _ in range(args.rounds):
            time.sleep(args.gap)
            display.run("xdotool", "search", "--name", f"^{title}$", "windowraise")
            plots.append(watched(display, watch, "Argo Temperature", *plot))
            bare.append(bare_ferret(root, command_file, work) * 1000)
        time.sleep(1)
        windows = args.rounds + 1
        results["plot"] = plots
        results["bare"] = bare
        results["rss_one"] = one_window
        results["rss_per_window"] = (resident_kb(viewer) - one_window) / (windows - 1)

        # Steps, in every window once its months are prepared: Home and End
        # to months not drawn yet, Page Up to one drawn ahead (Ferret has
        # drawn it, it is rendered at the step), Page Down and Home back to
        # months shown before.
        deadline = time.monotonic() + 300
        while not months_prepared(root, windows) and time.monotonic() < deadline:
            time.sleep(0.5)
        fresh, ahead, cached = [], [], []
        for wid in display.run("xdotool", "search", "--name", "Argo Temperature").split():
            # Without a window manager the keys go where the focus is put.
            display.run("xdotool", "windowraise", wid)
            display.run("xdotool", "windowfocus", "--sync", wid)
            for key, store in (("Home", fresh), ("End", fresh), ("Page_Up", ahead), ("Page_Down", cached),
                               ("Home", cached)):
                time.sleep(2)
                before = display.run("xdotool", "getwindowname", wid)
                if key == "Home":
                    month = 1
                elif key == "End":
                    month = last_month(root)
                else:
                    shown = re.search(r"(\w{3}) (\d{4})", before)
                    month = (int(shown.group(2)) - 2004) * 12 + MONTHS.index(shown.group(1)) + 1
                    month += -12 if key == "Page_Up" else 12
                store.append(watched(display, watch, month_name(month), "xdotool", "key", key))
        results["step_fresh"] = fresh
        results["step_ahead"] = ahead
        results["step_cached"] = cached

        # Play at the fastest speed: two passes over every month.
        x, y = re.search(r"Position: (\d+),(\d+)", display.run("xdotool", "getwindowgeometry", wid)).groups()
        display.run("xdotool", "mousemove", str(int(x) + 150), str(int(y) + 37), "click", "1")
        display.run("xdotool", "key", "ctrl+a", "type", "10")
        display.run("xdotool", "key", "Return")
        display.run("xdotool", "windowfocus", "--sync", wid)
        before = resident_kb(viewer)
        log = os.path.join(work, "names")
        for name in ("first", "second"):
            subprocess.run([watch, "--names", str(args.play), log, "xdotool", "key", "space"]
                           if name == "first" else [watch, "--names", str(args.play), log, "true"],
                           env=display.env)
            with open(log) as f:
                names = [line.split(" ", 1)[1] for line in f.read().splitlines()]
            # Each title is set as two properties, the old and the new name.
            shown = [n for i, n in enumerate(names) if i == 0 or n != names[i - 1]]
            results[f"play_{name}"] = len(shown) / args.play
        results["rss_after_play"] = resident_kb(viewer) - before
    finally:
        if app:
            app.kill()
        subprocess.run(["sh", os.path.join(root, "tidecharter", "bin", "tcKillCygwinX.bat")], env=display.env)
        xvfb.kill()
        shutil.rmtree(work, ignore_errors=True)

    def figure(values):
        values = [v for v in values if v is not None]
        return f"{statistics.median(values):.0f} ms (min {min(values):.0f}, max {max(values):.0f})" if values else "-"
    load = open("/proc/loadavg").read().split()[:3]
    print(f"load average {' '.join(load)}")
    print("| measurement | figure | reference |")
    print("|---|---|---|")
    bare_median = statistics.median(results["bare"])
    print(f"| first Plot, click to drawn window | {results['first']} ms | "
          f"{results['first'] / bare_median:.2f}x the bare PyFerret |")
    print(f"| Plot, click to drawn window | {figure(results['plot'])} | "
          f"{statistics.median([v for v in results['plot'] if v]) / bare_median:.2f}x the bare PyFerret |")
    print(f"| bare PyFerret, the command file to a PNG | {figure(results['bare'])} | |")
    print(f"| a month step, not drawn yet (Home, End) | {figure(results['step_fresh'])} | |")
    print(f"| a month step, drawn ahead by Ferret (Page Up) | {figure(results['step_ahead'])} | |")
    print(f"| a month step, shown before (Page Down, Home) | {figure(results['step_cached'])} | |")
    print(f"| play, first pass | {results['play_first']:.1f} months/s | |")
    print(f"| play, second pass | {results['play_second']:.1f} months/s | |")
    print(f"| windows' process, one window | {results['rss_one'] / 1024:.1f} MB | |")
    print(f"| each extra window | {results['rss_per_window'] / 1024:.1f} MB | |")
    print(f"| growth over the play (frames kept) | {results['rss_after_play'] / 1024:.1f} MB | |")


MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def month_name(index):
    return f"{MONTHS[(index - 1) % 12]} {2004 + (index - 1) // 12}"


if __name__ == "__main__":
    main()
