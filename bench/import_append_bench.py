#!/usr/bin/python3
"""Times tidecharter-import on stand-ins of the real Argo product's size:
the climatology of MONTHS months imported alone, then one extension month
appended.  Not part of CI (it writes about 1 GB per two years of months).

usage: bench/import_append_bench.py [--months N] [--work DIR] [--rounds N]
                                   [--keep-inputs] [--vs IMPORTER]

Prints the wall and processor time and peak resident memory of both runs,
and of a reference that reads the inputs with cat and writes as many bytes
with fsync; with --rounds the import and the reference take turns, and the
ratio is taken round by round.  --keep-inputs leaves the inputs in DIR for
the next run, which uses them when they have as many months.  --vs takes
another importer (another checkout's) into each round, after this one.
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

import numpy as np
import netCDF4

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
IMPORTER = os.path.join(TOP, "installation", "import", "tidecharter-import")
LEVELS = np.array([2.5, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160, 170,
                   182.5, 200, 220, 240, 260, 280, 300, 320, 340, 360, 380, 400, 420, 440, 462.5, 500,
                   550, 600, 650, 700, 750, 800, 850, 900, 950, 1000, 1050, 1100, 1150, 1200, 1250,
                   1300, 1350, 1412.5, 1500, 1600, 1700, 1800, 1900, 1975])
LON = np.arange(20.5, 380.0, 1.0)
LAT = np.arange(-64.5, 80.0, 1.0)


def rg_file(path, months, quantities, climatology):
    rng = np.random.default_rng(len(months))
    with netCDF4.Dataset(path, "w", format="NETCDF3_64BIT_OFFSET") as nc:
        for name, size in (("LONGITUDE", len(LON)), ("LATITUDE", len(LAT)), ("PRESSURE", len(LEVELS)),
                           ("TIME", None)):
            nc.createDimension(name, size)
        for name, values, units in (("LONGITUDE", LON, "degrees_east"), ("LATITUDE", LAT, "degrees_north"),
                                    ("PRESSURE", LEVELS, "dbar"),
                                    ("TIME", np.array(months) - 0.5, "months since 2004-01-01")):
            v = nc.createVariable(name, "f8" if name == "TIME" else "f4", (name,))
            v.units = units
            v[:] = values
        grid3, grid4 = ("PRESSURE", "LATITUDE", "LONGITUDE"), ("TIME",) + ("PRESSURE", "LATITUDE", "LONGITUDE")
        shape = (len(LEVELS), len(LAT), len(LON))
        for q in quantities:
            v = nc.createVariable(f"ARGO_{q}_ANOMALY", "f4", grid4, fill_value=-999.0)
            for k in range(len(months)):
                v[k] = rng.standard_normal(shape, dtype=np.float32)
            if climatology:
                nc.createVariable(f"ARGO_{q}_MEAN", "f4", grid3, fill_value=-999.0)[:] = 10.0
                nc.createVariable("BATHYMETRY_MASK", "f4", grid3, fill_value=-9.0)[:] = 1.0
                nc.createVariable("MAPPING_MASK", "f4", grid3, fill_value=-9.0)[:] = 2000.0


# Runs a command under a Python of its own, so that the peak resident
# memory reported is that command's alone.
PEAK = ("import resource, subprocess, sys; r = subprocess.run(sys.argv[1:]); "
        "u = resource.getrusage(resource.RUSAGE_CHILDREN); "
        "print(u.ru_maxrss, u.ru_utime + u.ru_stime); sys.exit(r.returncode)")


def timed(command):
    """Wall seconds, processor seconds and peak MB of a command."""
    started = time.monotonic()
    result = subprocess.run(["/usr/bin/python3", "-c", PEAK, *command], capture_output=True, text=True)
    seconds = time.monotonic() - started
    if result.returncode != 0:
        sys.exit(result.stderr)
    peak, cpu = result.stdout.split()[-2:]
    return seconds, float(cpu), int(peak) / 1024.0


# cat of the inputs, then as many bytes as the outputs written with fsync.
REFERENCE = """
import os, subprocess, sys
scratch, total, inputs = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
subprocess.run(["cat", *inputs], stdout=subprocess.DEVNULL, check=True)
block = bytes(1 << 20)
with open(scratch, "wb") as f:
    for _ in range(0, total, len(block)):
        f.write(block)
    f.flush()
    os.fsync(f.fileno())
os.remove(scratch)
"""


def median(values):
    return sorted(values)[len(values) // 2]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--months", type=int, default=24)
    parser.add_argument("--work", default="/tmp/tidecharter-import-bench")
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--keep-inputs", action="store_true")
    parser.add_argument("--vs", metavar="IMPORTER")
    args = parser.parse_args(argv)
    inputs = os.path.join(args.work, "inputs")
    home = os.path.join(args.work, "root", "tidecharter")
    shutil.rmtree(os.path.join(args.work, "root"), ignore_errors=True)
    made = os.path.join(inputs, f"{args.months}.months")
    if not os.path.exists(made):
        shutil.rmtree(inputs, ignore_errors=True)
    # A drive root as install.sh lays it out, as far as the importer uses
    # it: its tmp holds the derived files' work during the import.
    for d in (inputs, os.path.join(home, "data"), os.path.join(home, "bin", "pacific"), os.path.join(home, "tmp")):
        os.makedirs(d, exist_ok=True)
    files = [os.path.join(inputs, f"RG_ArgoClim_{q}_2019.nc") for q in ("Temperature", "Salinity")]
    code = f"{2004 + args.months // 12}{args.months % 12 + 1:02d}"
    extension = os.path.join(inputs, f"RG_ArgoClim_{code}_2019.nc")
    if not os.path.exists(made):
        for path in files:
            rg_file(path, list(range(1, args.months + 1)), [os.path.basename(path)[12:-8].upper()], True)
        rg_file(extension, [args.months + 1], ["TEMPERATURE", "SALINITY"], False)
        open(made, "w").close()
    subprocess.run(["sync"], check=True)

    root = ["--drive-root", os.path.join(args.work, "root")]
    data = os.path.join(home, "data")
    ratios, others = [], []
    for _ in range(args.rounds):
        if args.vs:
            seconds, cpu, peak = timed(["/usr/bin/python3", args.vs, "--argo", *files, *root])
            others.append(seconds)
            print(f"{args.vs}: {seconds:.1f} s wall, {cpu:.1f} s processor, peak {peak:.0f} MB resident",
                  flush=True)
        seconds, cpu, peak = timed(["/usr/bin/python3", IMPORTER, "--argo", *files, *root])
        if args.vs:
            others[-1] = seconds / others[-1]
        total = sum(os.path.getsize(os.path.join(data, n)) for n in os.listdir(data))
        ref, ref_cpu, _ = timed(["/usr/bin/python3", "-c", REFERENCE, os.path.join(data, "scratch"),
                                 str(total), *files])
        ratios.append(seconds / ref)
        print(f"import of {args.months} months of Argo ({total / 1e6:.0f} MB written): {seconds:.1f} s "
              f"wall, {cpu:.1f} s processor, peak {peak:.0f} MB resident; reference (cat + fsync'd "
              f"write) {ref:.1f} s wall, {ref_cpu:.1f} s processor; ratio {seconds / ref:.2f}", flush=True)
    if args.rounds > 1:
        print(f"median ratio over {args.rounds} rounds: {median(ratios):.2f}")
    if args.vs:
        print(f"wall time against {args.vs}, round by round: {' '.join(f'{r:.2f}' for r in others)}")
    seconds, cpu, peak = timed(["/usr/bin/python3", IMPORTER, "--argo", extension, *root])
    print(f"append of one extension month: {seconds:.2f} s wall, {cpu:.2f} s processor, "
          f"peak {peak:.0f} MB resident")
    shutil.rmtree(os.path.join(args.work, "root"), ignore_errors=True)
    if not args.keep_inputs:
        shutil.rmtree(args.work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
