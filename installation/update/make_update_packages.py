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
import os
import sys

from tidecharter_data.months import month_code
from tidecharter_data.package import build_package, holds_sample, recipe_months


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
    fields, times = recipe_months(max(wanted))
    for index in wanted:
        path = build_package(index, args.outdir, args.datadir, fields, times)
        print(f"update package {path}: {os.path.getsize(path) / 1e6:.1f} MB")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
