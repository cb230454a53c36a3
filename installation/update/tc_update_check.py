#!/usr/bin/python3
"""Checks for the monthly update: the package, and the appended data files.

usage: tc_update_check.py package PKGDIR DATADIR MMYYYY
       tc_update_check.py commit DATADIR PKGDIR MMYYYY
       tc_update_check.py recover [DATADIR]
       tc_update_check.py dataline HOMEDIR

package  checks that PKGDIR holds the three package files of month MMYYYY,
         one month each, on the grids of the data files in DATADIR, and
         that MMYYYY comes after the last month of the Argo data (the end
         date the program counts from): an earlier package, however well
         signed, is never installed again.
commit   checks the copies <data file>.append that fer_append_new_month
         wrote (one month longer than the data file, every old value the
         same, the last month MMYYYY holding the package's values) and
         then renames them over the data files.  Either every data file
         reaches MMYYYY afterwards, or none is changed and the copies are
         removed.
recover  run before an append, and by the program before it reads the
         data: finishes the renames of a commit that was stopped half way
         (its journal lists them), or takes back the months that an import
         appended in place without getting to its commit, then removes
         copies left by an append that never got to its commit, and what a
         stopped import or derived-field run left in tmp and the data
         (.import-* in tmp; the derived files' .partial, unless a run of
         tc_derived.py holds the data directory's lock).  Without
         DATADIR, the data of the installation this file is in, under the
         lock of its appends
         (tmp/update/append.lock): an append or import that holds it for
         more than a few seconds is running and finishes its own commit,
         and nothing is done.
dataline writes the data line of HOMEDIR/bin/pacific/versioninfo.txt from
         the data files in HOMEDIR/data: "Sample Jan 2004 - Aug 2008"
         while they are all the sample (with the sample update's months),
         else "Data Jan 2004 - Mar 2016"; the end is the earliest of the
         Argo, Aviso and Reynolds data's last months.

Exit status 0 when done, 1 when a check failed (the reason on stderr).
"""

import datetime
import os
import sys

from tidecharter_data import CheckFailed
from tidecharter_data.journal import recover, recover_installed
from tidecharter_data.package import check_package, commit
from tidecharter_data.sample import write_data_line
# What the code that imports this program uses too.
from tidecharter_data.journal import write_journal  # noqa: F401
from tidecharter_data.months import months_of  # noqa: F401
from tidecharter_data.package import targets  # noqa: F401

# The installation this file is in.
HOME = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def main(argv):
    stamp = datetime.datetime.now().strftime("%Y-%m-%d %H:%M:%S")
    try:
        if len(argv) == 4 and argv[0] == "package":
            check_package(argv[1], argv[2], argv[3])
            print(f"{stamp} package {argv[3]} checked")
        elif len(argv) == 4 and argv[0] == "commit":
            names = commit(argv[1], argv[2], argv[3])
            print(f"{stamp} month {argv[3]} appended to: {' '.join(names) or 'none (already there)'}")
        elif len(argv) == 2 and argv[0] == "dataline":
            line = write_data_line(argv[1])
            if line is not None:
                print(f"{stamp} data line: {line.rstrip()}")
        elif len(argv) in (1, 2) and argv[0] == "recover":
            names = recover(argv[1]) if len(argv) == 2 else recover_installed(HOME)
            if names is None:
                print(f"{stamp} an append is running: it finishes its own commit")
            elif names:
                print(f"{stamp} finished an earlier commit: {' '.join(names)}")
        else:
            print(__doc__.split("\n\n")[1], file=sys.stderr)
            return 2
    except CheckFailed as failure:
        print(f"{stamp} tc_update_check.py {argv[0]}: {failure}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"{stamp} tc_update_check.py {argv[0]}: {error.filename or ''}{': ' if error.filename else ''}"
              f"{error.strerror or error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
