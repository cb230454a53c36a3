"""The month index that the data files and messages count in (January
2004 = 1), its texts, the data files' time axis, and the months of a
file's time axis."""

import datetime
import re

import numpy as np
import netCDF4

from tidecharter_data import CheckFailed, Refused

FIRST_YEAR = 2004
MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def month_text(index):
    return f"{MONTHS[(index - 1) % 12]} {FIRST_YEAR + (index - 1) // 12}"


def month_code(index):
    return f"{(index - 1) % 12 + 1:02d}{FIRST_YEAR + (index - 1) // 12:04d}"


def span_text(indices):
    if len(indices) == 1:
        return month_text(indices[0])
    return f"{month_text(indices[0])} - {month_text(indices[-1])} ({len(indices)} months)"


def month_index(code):
    """Month index of an MMYYYY code."""
    if len(code) != 6 or not code.isdigit() or not 1 <= int(code[:2]) <= 12:
        raise CheckFailed(f"bad month code {code!r}")
    return (int(code[2:]) - FIRST_YEAR) * 12 + int(code[:2])


def mid_month_days(count):
    """The data files' time axis: mid-month, days since January 2004."""
    origin = datetime.date(FIRST_YEAR, 1, 1)
    days = []
    for k in range(count):
        year, month = FIRST_YEAR + k // 12, k % 12 + 1
        start = datetime.date(year, month, 1)
        end = datetime.date(year + month // 12, month % 12 + 1, 1)
        days.append((start - origin).days + (end - start).days / 2.0)
    return np.array(days)


def months_of(nc):
    """Month indices of every step of a data file's time axis."""
    t = nc.variables["TIME"]
    dates = netCDF4.num2date(np.asarray(t[:], dtype=float), t.units,
                             getattr(t, "calendar", "standard"))
    return [(d.year - FIRST_YEAR) * 12 + d.month for d in np.atleast_1d(dates)]


def month_indices(path, time, values):
    """Month index of every step of an input's time axis `time` holding
    `values`, in "months since" (not a CF calendar unit) or in any CF unit
    of days."""
    units = getattr(time, "units", "")
    values = np.ma.filled(np.ma.asarray(values, dtype=float), np.nan).ravel()
    if not np.all(np.isfinite(values)):
        raise Refused(f"{path}: the time axis has missing values")
    counted = re.match(r"\s*months\s+since\s+(\d{1,4})-(\d{1,2})", units, re.IGNORECASE)
    if counted:
        base = (int(counted[1]) - FIRST_YEAR) * 12 + int(counted[2]) - 1
        indices = [base + int(np.floor(v + 1e-6)) + 1 for v in values]
    else:
        try:
            dates = netCDF4.num2date(values, units, getattr(time, "calendar", "standard"))
            indices = [(d.year - FIRST_YEAR) * 12 + d.month for d in np.atleast_1d(dates)]
        except (ValueError, TypeError, AttributeError, OverflowError) as error:
            raise Refused(f"{path}: the time axis ({units!r}) cannot be read as dates: {error}") from error
    # Month texts and the gap checks need years of four digits.
    outside = [v for v, m in zip(values, indices) if not -12 * FIRST_YEAR < m <= 12 * (9999 - FIRST_YEAR)]
    if outside:
        raise Refused(f"{path}: the time axis ({units!r}) holds {outside[0]:g}, not a date of years "
                      f"1 to 9999")
    return indices
