"""A derived run's lifetime, settled before anything heavy is imported:
an orphan must end at once, not after loading numpy."""

import ctypes
import os
import signal
import sys


def end_with_parent():
    """A run the importer started is killed when the importer ends, even
    by kill -9: nothing else would stop it, and its files would outlive
    the import.  An importer already gone by the time this is set is seen
    as a new parent."""
    parent = os.environ.get("TC_DERIVED_PARENT")
    if not parent:
        return
    try:
        prctl = ctypes.CDLL(None, use_errno=True).prctl
    except (OSError, AttributeError):
        return
    PR_SET_PDEATHSIG = 1
    prctl(PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)
    if str(os.getppid()) != parent:
        sys.exit(1)
