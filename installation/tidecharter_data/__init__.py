"""Tidecharter's data side: the published products read onto the Pacific
grids and written into the data files, the monthly update's packages,
checks and journal, the derived fields, and the sample data.

    months       the month index (January 2004 = 1) and its texts
    netcdf_io    the one reader (its missing-value rule, gzipped inputs)
                 and the one writer (classic files, read back and checked)
    grid         a product's grid cut to the Pacific
    product      what every product shares, and the shape of one
    surface      what a monthly surface product is: read, written, appended
    argo_rg      the Roemmich-Gilson Argo climatology   \\  one module each,
    sst          monthly sea-surface temperature         |  each with a
    adt          monthly absolute dynamic topography     /  PRODUCT
    products     the table of them: a new product is one line there
    argo_index   the GDAC profile index: the station counts
    journal      the rename journal, the undo list, recover, the append lock
    derived      D20, MLD, TCHP, the warm layer, the specific volume anomaly
    lifetime     a derived run the importer started ends with the importer
    importer     the products into the data files, or into a package
    package      the monthly update packages: written, checked, committed
    sample       the sample data, and the data line that names it
    plot_data    the numbers behind a picture, from the go scripts' data
                 mode, as CSV or CF NetCDF

The programs in bin/, import/, update/ and sampledata/ beside this folder
are thin entries over it: each reads its command line and makes one call.
Each of those folders holds a link to this one (tidecharter_data ->
../tidecharter_data), so the programs import it by name.
"""

import os

# Where the package is installed (installation/ in the sources, the share
# tree, the drive root's tidecharter/): its programs are in bin/ there.
# Each program's folder has a link to the package, which Python finds by
# name beside the program; the link is resolved here.
INSTALLED_IN = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))


class Refused(Exception):
    """An input that cannot be imported, or an output that cannot be
    written; the message names the file and what is wrong."""


class CheckFailed(Exception):
    """A check of the monthly update that failed; the message says why."""
