"""The products, one line each: the order is that of the command line,
of the messages and of an update package's files.  A new product is one
module with a PRODUCT (see product) and one line here."""

from tidecharter_data import adt, argo_rg, sst

PRODUCTS = [argo_rg.PRODUCT, sst.PRODUCT, adt.PRODUCT]

# The products of the monthly update packages, and their package files:
# stem -> (data file, variables appended from the package).
PACKAGED = [product for product in PRODUCTS if product.package]
PACKAGE_LAYOUT = dict(product.package for product in PACKAGED)
DATA_FILES = [name for parts in PACKAGE_LAYOUT.values() for name, _ in parts]
