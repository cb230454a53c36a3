#!/usr/bin/python3
"""Derived Argo fields, computed once when the data arrive.

usage: tc_derived.py [--append] [--check] [--anomaly] DATA_DIR

Writes DATA_DIR/RG_ArgoClim_Derived.nc from RG_ArgoClim_Temperature.nc:
per month (on the temperature file's own time axis) the 2-D fields
  D20   depth of the 20-degree isotherm, m
  MLD   mixed-layer depth, m
  TCHP  tropical cyclone heat potential, kJ/cm2
  WARM  thickness of the water above the 20-degree isotherm, m
each with its calendar-month climatology over all months of the data
(D20_CLIM, ..., on a 12-month axis; D20_CLIM is missing where fewer than
half of the calendar month's years have 20-degree water).  The
definitions are those of the go
scripts' tc_prod_derive.jnl, which computes them on the fly; the go
scripts read this file instead (tc_prod_fields.jnl).

With RG_ArgoClim_Salinity.nc beside it, also RG_ArgoClim_SVAN.nc: per
month the specific volume anomaly SVAN (m3/kg) on the data's own pressure
levels, as tc_derive.jnl computes it (UNESCO 1980), which the dynamic
height and velocity pictures of a single month read (tc_dynamic.jnl).

Derived data are never trusted: RG_ArgoClim_Derived.stamp records the
size, modification time and file number of the temperature file and of
the derived file itself, and the MD5 sum of the definitions,
tidecharter_data/derived.py (RG_ArgoClim_SVAN.stamp
the same of the temperature, salinity and SVAN files); the batch scripts
compare it (tc_derived_fresh in tc_paths.sh) and run this script when
anything differs.  --check only
says, by its exit status, whether the stamp still holds.  --append, after
the monthly update appended months, computes only the new months when the
file was current before the append (the stamp holds for the file and the
script, and the temperature file has only grown); otherwise everything.
--anomaly leaves the 2-D fields alone: the importer computes them in
another process beside it.  One run at a time per data directory (a flock
on the directory).  Started by the importer (TC_DERIVED_PARENT names it),
it ends when the importer does, however that ends."""

import sys

from tidecharter_data.lifetime import end_with_parent

# An orphan ends before the heavy imports.
end_with_parent()

from tidecharter_data.derived import compute, fresh, keep_heap  # noqa: E402
# The file names, for the code that imports this program.
from tidecharter_data.derived import DERIVED, SVAN  # noqa: F401


def main(argv):
    keep_heap()
    args = [a for a in argv if not a.startswith("--")]
    flags = {a for a in argv if a.startswith("--")}
    if len(args) != 1 or flags - {"--append", "--check", "--anomaly"}:
        print("usage: tc_derived.py [--append] [--check] [--anomaly] DATA_DIR", file=sys.stderr)
        return 2
    data = args[0]
    if "--check" in flags:
        return 0 if fresh(data) else 1
    try:
        done = compute(data, append="--append" in flags, fields="--anomaly" not in flags)
    except (OSError, KeyError, RuntimeError, ValueError) as error:
        print(f"tc_derived.py: {data}: the derived fields cannot be computed: {error}", file=sys.stderr)
        return 1
    print(done or f"the derived fields in {data} are current")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
