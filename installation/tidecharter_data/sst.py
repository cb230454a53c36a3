"""Monthly sea-surface temperature: NOAA PSL's OI SST (sst.mnmean.nc,
packed or not, latitudes either way) with its land-sea mask file
(lsmask.nc, variable mask, 1 = sea), or any file of the same form."""

from tidecharter_data.product import KELVIN
from tidecharter_data.surface import Surface

PRODUCT = Surface(
    name="SST", option="--sst", help="the monthly SST file, and optionally its land-sea mask file",
    variable="sst", mask="mask", most_files=2,
    conversions={**dict.fromkeys(("degc", "degreec", "degreesc", "celsius", "degreescelsius"), (1.0, 0.0)),
                 **dict.fromkeys(KELVIN, (1.0, -273.15))},
    # Anything outside is in other units than declared, or damaged.
    limits=(-3.0, 40.0, "degree_C", "sst"),
    file="Reynolds_SST.nc", stored="SST", units="degree_C", long_name="Sea surface temperature",
    title="Sea surface temperature, Pacific", stem="Reynolds_")
