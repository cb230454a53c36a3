"""Monthly absolute dynamic topography: Copernicus Marine's monthly means
(dt_global_allsat_msla_h_yYYYY_mMM.nc, variable adt in m, packed or not,
longitudes -180 to 180 or 0 to 360), written in cm.  Files of sea level
anomalies alone (sla, no adt) are not it."""

from tidecharter_data.surface import Surface

PRODUCT = Surface(
    name="ADT", option="--adt", help="monthly absolute dynamic topography files",
    variable="adt",
    conversions={**dict.fromkeys(("cm", "centimeter", "centimeters", "centimetre", "centimetres"), (1.0, 0.0)),
                 **dict.fromkeys(("m", "meter", "meters", "metre", "metres"), (100.0, 0.0))},
    # Anything outside is in other units than declared, or damaged.
    limits=(-500.0, 500.0, "cm", "adt"),
    file="Aviso_ADT.nc", stored="ADT", units="cm", long_name="Altimetric height",
    title="Absolute dynamic topography, Pacific", stem="Aviso_")
