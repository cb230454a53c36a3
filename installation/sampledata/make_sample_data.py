#!/usr/bin/python3
"""Build the sample Pacific data sets the go scripts read.

usage: make_sample_data.py OUTDIR [--force]

Writes into OUTDIR, January 2004 to August 2008 (56 months):
  RG_ArgoClim_Temperature.nc  ARGO_TEMPERATURE_MEAN, ARGO_TEMPERATURE_ANOMALY
  RG_ArgoClim_Salinity.nc     ARGO_SALINITY_MEAN, ARGO_SALINITY_ANOMALY
  RG_ArgoClim_Stations.nc     NSTATIONS (profiles per cell and month)
  Aviso_ADT.nc                ADT (altimetric height, cm)
  Reynolds_SST.nc             SST (deg C)

The fields are built from the climatologies shipped with Ferret's data
package (Levitus temperature and salinity, the monthly ocean-atlas
temperature and COADS SST) plus an El Nino / La Nina signal scaled by the
published Oceanic Nino Index and smooth red noise.  They look like the real
products and have the same layout, but they are not observations.
"""

import argparse
import os
import sys
import time

from tidecharter_data.sample import build, current, derive, is_sample
# The recipe's index and seawater, for the code that imports this program.
from tidecharter_data.sample import ONI, PRESSURE, potential_temperature, rho, specific_volume_anomaly  # noqa: F401


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("outdir")
    parser.add_argument("--force", action="store_true",
                        help="rebuild even when the files exist")
    args = parser.parse_args(argv)
    names = ["RG_ArgoClim_Temperature.nc", "RG_ArgoClim_Salinity.nc",
             "RG_ArgoClim_Stations.nc", "Aviso_ADT.nc", "Reynolds_SST.nc"]
    if not args.force and all(
            current(os.path.join(args.outdir, n)) for n in names):
        print(f"sample data already present in {args.outdir}")
        return derive(args.outdir)
    paths = [os.path.join(args.outdir, n) for n in names]
    if not any(is_sample(p) or not os.path.exists(p) for p in paths):
        print(f"{args.outdir} holds other data than the sample: no sample data built")
        return derive(args.outdir)
    os.makedirs(args.outdir, exist_ok=True)
    print(f"building the sample data in {args.outdir} (half a minute or so)", flush=True)
    started = time.time()
    build(args.outdir)
    written = [p for p in paths if is_sample(p)]
    size = sum(os.path.getsize(p) for p in written)
    print(f"sample data written to {args.outdir}: {len(written)} files, "
          f"{size / 1e6:.1f} MB in {time.time() - started:.1f} s")
    return derive(args.outdir)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
