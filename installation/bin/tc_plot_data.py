#!/usr/bin/python3
"""The numbers behind a picture, as CSV or NetCDF.

usage: tc_plot_data.py [--journal COMMANDFILE] OUTPUT SAVED [SAVED ...]

SAVED is the directory that the go scripts wrote in data mode (the
symbol tcdata_dir set before the go line, tc_save.jnl): what each plot
helper would have drawn, one variable per file.  OUTPUT's extension picks
what is written:

  .csv  one row per point: the picture's coordinates (longitude,
        latitude, month, pressure, in that order, those the values vary
        along) and one column per variable on the first variable's grid,
        each with its unit in the header; above them "#" lines naming the
        property, units, months, pressure, region, the grid point taken,
        the data's end dates, the program and the request.  Missing
        values are empty.
  .nc   every variable, following the CF conventions (the classic
        format): named axes with units, long_name, _FillValue, a time
        coordinate with bounds, and the same facts as attributes.

Several SAVED directories, one month each, are stacked along a time axis
in the order given (an empty one, a month without data, all missing).
The end dates, program and request come from the heading comment lines
of COMMANDFILE, as the batch run writes them.  The values are written as
Ferret computed them, at the data's float precision; nothing is computed
here but months and units.  OUTPUT is written under a temporary name
beside it and renamed; on a failure (a full disk, a stop) nothing is left
and one line on stderr says why (exit status 1)."""

import argparse
import os
import signal
import sys

from tidecharter_data import Refused
from tidecharter_data.plot_data import write_data


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="tc_plot_data.py", description="The numbers behind a picture, from the go scripts' data mode, "
        "as CSV or NetCDF (the output's extension picks which).")
    parser.add_argument("--journal", metavar="COMMANDFILE",
                        help="the picture's command file, whose heading names the data end dates and program")
    parser.add_argument("output", metavar="OUTPUT", help="the file to write, .csv or .nc")
    parser.add_argument("saved", metavar="SAVED", nargs="+",
                        help="the directory the go scripts saved into; several (one month each) are "
                        "stacked along time")
    args = parser.parse_args(argv)
    # Stopped (a batch run interrupted), the partial file goes too.
    for stop in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(stop, lambda number, frame: sys.exit(128 + number))
    try:
        write_data(args.output, args.saved, args.journal)
    except Refused as problem:
        print(f"tc_plot_data.py: {problem}", file=sys.stderr)
        return 1
    except (OSError, RuntimeError) as error:
        print(f"tc_plot_data.py: cannot write {args.output}: {getattr(error, 'strerror', None) or error}",
              file=sys.stderr, flush=True)
        # The NetCDF library may crash tidying up a file it failed to
        # write; the partial file is gone already.
        os._exit(1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
