"""The sample data: Pacific data sets built from the climatologies that
Debian's ferret-datasets ships (Levitus temperature and salinity, the
monthly ocean-atlas temperature, COADS SST) plus an El Nino / La Nina
signal scaled by the published Oceanic Nino Index and smooth red noise,
January 2004 to August 2008 in the data files' layout.  They look like
the real products but are not observations.  Also the main menu's data
line, which says whether the data are the sample."""

import os
import warnings

import numpy as np
import netCDF4

from tidecharter_data import derived
from tidecharter_data.months import month_text, months_of
from tidecharter_data.months import mid_month_days as month_axis
from tidecharter_data.products import DATA_FILES

# What the recipe writes as every file's source; an append keeps it.
SAMPLE_SOURCE = "Tidecharter sample data built from the Ferret climatologies; not observations"

SOURCE_DIR = "/usr/share/ferret-vis/data"

# Argo grid: 2-degree cells, 60S-66N, 120E-290E, 26 pressure levels.
ARGO_LON = np.arange(121.0, 290.0, 2.0)
ARGO_LAT = np.arange(-59.0, 66.0, 2.0)
PRESSURE = np.array([0, 10, 20, 30, 50, 75, 100, 125, 150, 200, 250, 300,
                     400, 500, 600, 700, 800, 900, 1000, 1100, 1200, 1300,
                     1400, 1500, 1750, 2000], dtype=float)
# Surface products: 1-degree cells over the same box.
SURF_LON = np.arange(120.5, 290.0, 1.0)
SURF_LAT = np.arange(-59.5, 66.0, 1.0)

NMONTHS = 56            # January 2004 .. August 2008

# Oceanic Nino Index (3-month running mean of Nino 3.4 SST anomalies, deg C),
# one row per year, DJF .. NDJ, as published by NOAA's Climate Prediction
# Center.
ONI = {
    2004: [0.4, 0.3, 0.2, 0.2, 0.2, 0.3, 0.5, 0.6, 0.7, 0.7, 0.7, 0.7],
    2005: [0.6, 0.6, 0.4, 0.4, 0.3, 0.1, -0.1, -0.1, -0.1, -0.3, -0.6, -0.8],
    2006: [-0.9, -0.8, -0.6, -0.4, -0.1, 0.0, 0.1, 0.3, 0.5, 0.8, 0.9, 0.9],
    2007: [0.7, 0.2, -0.1, -0.3, -0.4, -0.5, -0.6, -0.8, -1.1, -1.3, -1.5,
           -1.6],
    2008: [-1.6, -1.5, -1.3, -1.0, -0.8, -0.6, -0.4, -0.2, -0.2, -0.4, -0.6,
           -0.7],
    2009: [-0.8, -0.8, -0.6, -0.3, 0.0, 0.3, 0.5, 0.6, 0.7, 1.0, 1.4, 1.6],
    2010: [1.5, 1.2, 0.8, 0.4, -0.2, -0.7, -1.0, -1.3, -1.6, -1.6, -1.6, -1.6],
}
# The zonal-mean equatorial thermocline (the warm water volume) recharges
# before an El Nino and discharges after it: it follows the ONI this many
# months ahead.  The zonal tilt follows it two months ahead.
RECHARGE_LEAD = 7
TILT_LEAD = 2
# Bump when the recipe changes, so that old sample files are built again.
RECIPE_VERSION = 2

SEED = 20040101


def rho_surface(s, t):
    """Density at one atmosphere (UNESCO 1980), kg/m3."""
    rw = (999.842594 + 6.793952e-2 * t - 9.095290e-3 * t**2
          + 1.001685e-4 * t**3 - 1.120083e-6 * t**4 + 6.536332e-9 * t**5)
    return (rw
            + s * (0.824493 - 4.0899e-3 * t + 7.6438e-5 * t**2
                   - 8.2467e-7 * t**3 + 5.3875e-9 * t**4)
            + s**1.5 * (-5.72466e-3 + 1.0227e-4 * t - 1.6546e-6 * t**2)
            + 4.8314e-4 * s**2)


def bulk_modulus(s, t, p_bar):
    kw = (19652.21 + 148.4206 * t - 2.327105 * t**2 + 1.360477e-2 * t**3
          - 5.155288e-5 * t**4)
    aw = 3.239908 + 1.43713e-3 * t + 1.16092e-4 * t**2 - 5.77905e-7 * t**3
    bw = 8.50935e-5 - 6.12293e-6 * t + 5.2787e-8 * t**2
    k0 = (kw + s * (54.6746 - 0.603459 * t + 1.09987e-2 * t**2
                    - 6.1670e-5 * t**3)
          + s**1.5 * (7.944e-2 + 1.6483e-2 * t - 5.3009e-4 * t**2))
    a = aw + s * (2.2838e-3 - 1.0981e-5 * t - 1.6078e-6 * t**2) \
        + 1.91075e-4 * s**1.5
    b = bw + s * (-9.9348e-7 + 2.0816e-8 * t + 9.1697e-10 * t**2)
    return k0 + a * p_bar + b * p_bar**2


def rho(s, t, p_dbar):
    """In-situ density (UNESCO 1980), kg/m3."""
    p_bar = p_dbar / 10.0
    return rho_surface(s, t) / (1.0 - p_bar / bulk_modulus(s, t, p_bar))


def specific_volume_anomaly(s, t, p_dbar):
    """m3/kg, relative to S=35, T=0 at the same pressure."""
    return 1.0 / rho(s, t, p_dbar) - 1.0 / rho(35.0, 0.0, p_dbar)


def potential_temperature(s, t, p_dbar):
    """Bryden (1973), reference pressure 0."""
    p = p_dbar / 10.0
    return (t - p * (3.6504e-4 + 8.3198e-5 * t - 5.4065e-7 * t**2
                     + 4.0274e-9 * t**3)
            - p * (s - 35.0) * (1.7439e-5 - 2.9778e-7 * t)
            - p**2 * (8.9309e-7 - 3.1628e-8 * t + 2.1987e-10 * t**2)
            + 4.1057e-9 * (s - 35.0) * p**2
            - p**3 * (-1.6056e-10 + 5.0484e-12 * t))


def fill_laterally(field, passes=12):
    """Fills missing cells, field[..., y, x], from their neighbours, so
    that water below a shelf takes the properties of the open ocean at the
    same level."""
    field = field.copy()
    for _ in range(passes):
        missing = ~np.isfinite(field)
        if not missing.any():
            break
        padded = np.pad(field, [(0, 0)] * (field.ndim - 2) + [(1, 1)] * 2,
                        constant_values=np.nan)
        around = np.stack([padded[..., :-2, 1:-1], padded[..., 2:, 1:-1],
                           padded[..., 1:-1, :-2], padded[..., 1:-1, 2:]])
        with np.errstate(invalid="ignore"):
            mean = np.nanmean(around, axis=0)
        field[missing] = mean[missing]
    # Closed basins out of reach take the level's mean.
    with np.errstate(invalid="ignore"):
        level_mean = np.nanmean(field, axis=(-2, -1), keepdims=True)
    return np.where(np.isfinite(field), field, level_mean)


def dynamic_height(s, t, pressure):
    """Dynamic height of each level relative to the deepest one, dyn cm.

    s, t: [..., z, y, x].  Water that is missing below a shallow column
    takes its neighbours' properties; what stays missing adds nothing.
    """
    s = fill_laterally(s)
    t = fill_laterally(t)
    p = pressure.reshape((-1, 1, 1))
    svan = specific_volume_anomaly(s, t, p)
    svan = np.where(np.isfinite(svan), svan, 0.0)
    dp = np.diff(pressure).reshape((-1, 1, 1))
    layer = 0.5 * (svan[..., 1:, :, :] + svan[..., :-1, :, :]) * dp
    below = np.cumsum(layer[..., ::-1, :, :], axis=-3)[..., ::-1, :, :]
    zero = np.zeros_like(svan[..., :1, :, :])
    return 1.0e5 * np.concatenate([below, zero], axis=-3)


def regrid(src_lon, src_lat, field, dst_lon, dst_lat, min_weight=0.5):
    """Bilinear interpolation between regular lon/lat grids, field[..., y, x].

    Missing neighbours are left out and the weights renormalised; a point
    whose valid weight is below min_weight stays missing.  Longitudes wrap
    when the source goes round the globe; otherwise a point beyond its
    edge takes the edge column.
    """
    dlon = src_lon[1] - src_lon[0]
    dlat = src_lat[1] - src_lat[0]
    if abs(len(src_lon) * dlon - 360.0) < 1e-6:
        fi = np.mod(dst_lon - src_lon[0], 360.0) / dlon
        i0 = np.floor(fi).astype(int) % len(src_lon)
        i1 = (i0 + 1) % len(src_lon)
    else:
        fi = np.clip((np.mod(dst_lon - src_lon[0] + 180.0, 360.0) - 180.0) / dlon,
                     0, len(src_lon) - 1)
        i0 = np.floor(fi).astype(int)
        i1 = np.minimum(i0 + 1, len(src_lon) - 1)
    wi = fi - np.floor(fi)
    fj = np.clip((dst_lat - src_lat[0]) / dlat, 0, len(src_lat) - 1)
    j0 = np.floor(fj).astype(int)
    j1 = np.minimum(j0 + 1, len(src_lat) - 1)
    wj = fj - j0
    total = 0.0
    weight = 0.0
    for jj, wy in ((j0, 1 - wj), (j1, wj)):
        for ii, wx in ((i0, 1 - wi), (i1, wi)):
            v = field[..., jj[:, None], ii[None, :]]
            w = wy[:, None] * wx[None, :] * np.isfinite(v)
            total = total + np.where(np.isfinite(v), v, 0.0) * w
            weight = weight + w
    with np.errstate(invalid="ignore", divide="ignore"):
        out = total / weight
    out[weight < min_weight] = np.nan
    return out


def to_pressure(src_z, field, dst_z):
    """Linear interpolation in depth, field[..., z, y, x]; a missing
    neighbour makes the result missing (the bottom stays where it was)."""
    out = np.empty(field.shape[:-3] + (len(dst_z),) + field.shape[-2:])
    for k, z in enumerate(dst_z):
        j = np.searchsorted(src_z, z)
        if j < len(src_z) and src_z[j] == z:
            out[..., k, :, :] = field[..., j, :, :]
        elif j == 0 or j == len(src_z):
            out[..., k, :, :] = np.nan
        else:
            w = (z - src_z[j - 1]) / (src_z[j] - src_z[j - 1])
            out[..., k, :, :] = ((1 - w) * field[..., j - 1, :, :]
                                 + w * field[..., j, :, :])
    return out


def smooth(field, sigma, axes):
    """Gaussian smoothing along the given axes (longitude wraps)."""
    half = int(3 * sigma + 0.5)
    kernel = np.exp(-0.5 * (np.arange(-half, half + 1) / sigma) ** 2)
    kernel /= kernel.sum()
    for axis in axes:
        padded = np.concatenate(
            [np.take(field, range(-half, 0), axis=axis), field,
             np.take(field, range(0, half), axis=axis)], axis=axis)
        field = np.apply_along_axis(
            lambda v: np.convolve(v, kernel, mode="valid"), axis, padded)
    return field


def red_noise(rng, nt, ny, nx, sigma, persistence):
    """Unit-variance noise, smooth in space, AR(1) in time."""
    white = rng.standard_normal((nt, ny, nx))
    field = smooth(white, sigma, axes=(1, 2))
    field /= field.std()
    out = np.empty_like(field)
    out[0] = field[0]
    scale = np.sqrt(1 - persistence**2)
    for k in range(1, nt):
        out[k] = persistence * out[k - 1] + scale * field[k]
    return out


def read(name, var):
    with netCDF4.Dataset(os.path.join(SOURCE_DIR, name)) as nc:
        v = nc.variables[var]
        v.set_auto_mask(False)
        data = np.array(v[:], dtype=float)
        fill = getattr(v, "missing_value", getattr(v, "_FillValue", None))
        if fill is not None:
            data[np.isclose(data, fill, rtol=1e-5)] = np.nan
        dims = [np.array(nc.variables[d][:], dtype=float)
                for d in v.dimensions]
    return data, dims


def oni_monthly(count):
    """The ONI from January 2004 on, far enough for the recharge lead."""
    values = [v for year in sorted(ONI) for v in ONI[year]]
    if len(values) < count + RECHARGE_LEAD:
        raise SystemExit(f"make_sample_data.py: the ONI table ends before month "
                         f"{count + RECHARGE_LEAD}")
    return np.array(values[:count + RECHARGE_LEAD])


def enso_surface_pattern(lon, lat):
    """SST anomaly per degree of ONI: warm tongue along the equator and a
    weaker opposite horseshoe in the western subtropics."""
    lon2, lat2 = np.meshgrid(lon, lat)
    tongue = np.exp(-((lon2 - 235) / 42) ** 2) * np.exp(-(lat2 / 8) ** 2)
    horseshoe = np.exp(-((lon2 - 160) / 22) ** 2) * (
        np.exp(-((lat2 - 22) / 8) ** 2) + np.exp(-((lat2 + 22) / 8) ** 2))
    return 1.15 * tongue - 0.35 * horseshoe


def enso_thermocline_pattern(lon, lat):
    """Thermocline depth anomaly per degree of ONI, m (deeper in the east
    during El Nino, shallower in the west)."""
    lon2, lat2 = np.meshgrid(lon, lat)
    return 15.0 * np.tanh((lon2 - 190) / 35) * np.exp(-(lat2 / 6) ** 2)


def recharge_pattern(lon, lat):
    """Deepening of the whole equatorial thermocline per degree of the ONI
    RECHARGE_LEAD months later, m: the warm water volume of 5S-5N grows by
    about 1.7e14 m3 per degree."""
    _, lat2 = np.meshgrid(lon, lat)
    return 12.0 * np.exp(-(lat2 / 9) ** 2)


def season_taper(pressure):
    """Share of the atlas's seasonal cycle kept at each pressure: all of it
    in the upper 50 dbar, where the atlas is well sampled, fading to a
    tenth at 200 dbar and to nothing below 300 dbar.  Deeper down the
    atlas's month-to-month differences are sampling noise."""
    below = np.maximum(pressure - 50.0, 0.0)
    return np.exp(-(below / 100.0) ** 2)


def noise_amplitude(pressure, surface, deep):
    """Amplitude of the weather noise: it fades slowly from the surface (3 %
    less at 50 dbar, 11 % at 100 dbar), so that it moves the upper water
    as a whole instead of making steps that the 0.2 deg C mixed-layer
    criterion would take for the base of the mixed layer."""
    return surface * np.exp(-(pressure / 300.0) ** 2) + deep


def enso_rain_pattern(lon, lat):
    """Surface freshening per degree of ONI under the displaced rain band."""
    lon2, lat2 = np.meshgrid(lon, lat)
    return -0.3 * np.exp(-((lon2 - 185) / 25) ** 2) * np.exp(-(lat2 / 9) ** 2)


def define_axes(nc, lon, lat, pressure, times):
    """The axes of a data file in the importer's layout (pressure None for
    a surface field; TIME unlimited, in days since January 2004)."""
    nc.createDimension("LONGITUDE", len(lon))
    nc.createDimension("LATITUDE", len(lat))
    if pressure is not None:
        nc.createDimension("PRESSURE", len(pressure))
    nc.createDimension("TIME", None)
    v = nc.createVariable("LONGITUDE", "f4", ("LONGITUDE",))
    v.units, v.axis, v.modulo = "degrees_east", "X", 360.0
    v[:] = lon
    v = nc.createVariable("LATITUDE", "f4", ("LATITUDE",))
    v.units, v.axis = "degrees_north", "Y"
    v[:] = lat
    if pressure is not None:
        v = nc.createVariable("PRESSURE", "f4", ("PRESSURE",))
        v.units, v.axis, v.positive = "dbar", "Z", "down"
        v.long_name = "Pressure"
        v[:] = pressure
    v = nc.createVariable("TIME", "f8", ("TIME",))
    v.units, v.axis = "days since 2004-01-01 00:00:00", "T"
    v.calendar = "standard"
    v[:] = times


def write_dataset(path, title, lon, lat, variables, pressure=None):
    """variables: list of (name, dims, array, attributes); dims use the
    names TIME, PRESSURE, LATITUDE, LONGITUDE."""
    if os.path.exists(path) and not is_sample(path):
        print(f"kept {path}: not a sample file", flush=True)
        return
    partial = path + ".partial"
    with netCDF4.Dataset(partial, "w", format="NETCDF3_64BIT_OFFSET") as nc:
        nc.title = title
        nc.source = SAMPLE_SOURCE
        nc.history = "make_sample_data.py"
        nc.recipe_version = RECIPE_VERSION
        define_axes(nc, lon, lat, pressure, month_axis(NMONTHS))
        for name, dims, data, attrs in variables:
            kind = attrs.pop("kind", "f4")
            fill = -1 if kind == "i2" else np.float32(-99999.0)
            v = nc.createVariable(name, kind, dims, fill_value=fill)
            v.missing_value = np.array(fill, dtype=kind)
            for key, value in attrs.items():
                setattr(v, key, value)
            data = np.where(np.isfinite(data), data, fill)
            v[:] = data.astype(kind)
    os.replace(partial, path)


def build(outdir, count=NMONTHS, write=None):
    """The sample's data files in outdir, or its fields of `count` months
    (the months after August 2008 as the sample's update packages hold
    them) given to write(path, title, lon, lat, variables, pressure)."""
    write = write or write_dataset
    # Land columns make all-missing means; they stay missing on purpose.
    warnings.filterwarnings("ignore", message="Mean of empty slice")
    rng = np.random.default_rng(SEED)
    oni = oni_monthly(count)
    months = np.arange(count) % 12

    # Annual-mean temperature and salinity on the Argo grid.
    lev_t, (lev_z, lev_lat, lev_lon) = read("levitus_climatology.cdf", "TEMP")
    lev_s, _ = read("levitus_climatology.cdf", "SALT")
    tmean = to_pressure(lev_z, regrid(lev_lon, lev_lat, lev_t,
                                      ARGO_LON, ARGO_LAT), PRESSURE)
    smean = to_pressure(lev_z, regrid(lev_lon, lev_lat, lev_s,
                                      ARGO_LON, ARGO_LAT), PRESSURE)
    ocean = np.isfinite(tmean) & np.isfinite(smean)
    tmean[~ocean] = np.nan
    smean[~ocean] = np.nan

    # Seasonal temperature cycle from the monthly ocean atlas (upper 1000 m).
    atl, (_, atl_z, atl_lat, atl_lon) = read("ocean_atlas_subset.nc", "TEMP")
    atl = regrid(atl_lon, atl_lat, atl, ARGO_LON, ARGO_LAT)
    atl = atl - np.nanmean(atl, axis=0)
    tseason = to_pressure(atl_z, atl, PRESSURE)
    tseason = np.where(np.isfinite(tseason), tseason, 0.0)
    tseason *= season_taper(PRESSURE)[None, :, None, None]

    # Seasonal salinity: rain under the ITCZ peaking in boreal autumn.
    lon2, lat2 = np.meshgrid(ARGO_LON, ARGO_LAT)
    itcz = np.exp(-((lat2 - 7) / 6) ** 2)
    phase = np.cos(2 * np.pi * (np.arange(12) - 9) / 12)
    sseason = (-0.12 * phase[:, None, None, None] * itcz[None, None]
               * np.exp(-PRESSURE / 40)[None, :, None, None])

    # ENSO: surface warming, thermocline heave (the zonal tilt leading SST
    # by two months, the recharge of the whole equatorial band by seven)
    # and freshening under the rain band.
    z = PRESSURE[None, :, None, None]
    # Gradients next to the bottom are missing and left out.
    dtdz = np.nan_to_num(np.gradient(tmean, PRESSURE, axis=0))
    dsdz = np.nan_to_num(np.gradient(smean, PRESSURE, axis=0))
    tilt = oni[TILT_LEAD:count + TILT_LEAD][:, None, None, None]
    recharge = oni[RECHARGE_LEAD:count + RECHARGE_LEAD][:, None, None, None]
    heave = (tilt * enso_thermocline_pattern(ARGO_LON, ARGO_LAT)[None, None]
             + recharge * recharge_pattern(ARGO_LON, ARGO_LAT)[None, None])
    onik = oni[:count][:, None, None, None]
    t_enso = (onik * enso_surface_pattern(ARGO_LON, ARGO_LAT)[None, None]
              * np.exp(-z / 60) - dtdz[None] * heave)
    s_enso = (onik * enso_rain_pattern(ARGO_LON, ARGO_LAT)[None, None]
              * np.exp(-z / 50) - dsdz[None] * heave)

    # Weather: smooth red noise, strongest near the surface.
    tnoise = red_noise(rng, count, len(ARGO_LAT), len(ARGO_LON), 1.5, 0.7)
    snoise = red_noise(rng, count, len(ARGO_LAT), len(ARGO_LON), 1.5, 0.7)
    t_amp = noise_amplitude(PRESSURE, 0.35, 0.01)[None, :, None, None]
    s_amp = noise_amplitude(PRESSURE, 0.05, 0.002)[None, :, None, None]

    temp = (tmean[None] + tseason[months] + t_enso
            + t_amp * tnoise[:, None])
    psal = (smean[None] + sseason[months] + s_enso
            + s_amp * snoise[:, None])
    temp = np.maximum(temp, -1.9)
    temp[:, ~ocean] = np.nan
    psal[:, ~ocean] = np.nan

    # Stations: the float array grew from about 1200 floats in 2004 to
    # 3000 in 2007; the South Pacific filled last.  Most floats profile
    # to 2000 dbar, the rest to 1000 dbar.
    growth = np.linspace(0.45, 2.2, count)[:, None, None]
    south = 1.0 - 0.5 * (lat2 < -20)[None] * np.linspace(1, 0, count)[
        :, None, None]
    rate = growth * south * np.cos(np.radians(lat2))[None]
    deep_share = np.linspace(0.7, 0.9, count)[:, None, None]
    deep = rng.poisson(rate * deep_share)
    shallow = rng.poisson(rate * (1 - deep_share))
    stations = (deep[:, None] + shallow[:, None]
                * (PRESSURE <= 1000)[None, :, None, None]).astype(float)
    stations[:, ~ocean] = np.nan

    # Altimetric height: steric height of the Argo field (0/2000 dbar)
    # less a reference, on the 1-degree grid with small eddies added.
    dyn = dynamic_height(psal, temp, PRESSURE)[:, 0]
    dyn[:, ~ocean[0]] = np.nan
    adt = regrid(ARGO_LON, ARGO_LAT, dyn - 140.0, SURF_LON, SURF_LAT, 0.01)
    lev_surface = regrid(lev_lon, lev_lat, lev_t[0], SURF_LON, SURF_LAT)
    sea = np.isfinite(lev_surface)
    eddies = red_noise(rng, count, len(SURF_LAT), len(SURF_LON), 1.2, 0.6)
    adt = adt + 3.0 * eddies
    adt[:, ~sea] = np.nan

    # Reynolds SST: annual mean surface temperature with the COADS seasonal
    # cycle, the ENSO pattern and the Argo field's surface weather.
    coads, (_, c_lat, c_lon) = read("coads_climatology.cdf", "SST")
    cseason = coads - np.nanmean(coads, axis=0)
    cseason = regrid(c_lon, c_lat, cseason, SURF_LON, SURF_LAT, 0.01)
    cseason = np.where(np.isfinite(cseason), cseason, 0.0)
    weather = regrid(ARGO_LON, ARGO_LAT, tnoise, SURF_LON, SURF_LAT, 0.01)
    weather = np.where(np.isfinite(weather), weather, 0.0)
    sst = (lev_surface[None] + cseason[months]
           + oni[:count, None, None]
           * enso_surface_pattern(SURF_LON, SURF_LAT)[None]
           + 0.36 * weather)
    sst = np.maximum(sst, -1.8)
    sst[:, ~sea] = np.nan

    tm = np.nanmean(temp, axis=0)
    sm = np.nanmean(psal, axis=0)
    grid4 = ("TIME", "PRESSURE", "LATITUDE", "LONGITUDE")
    grid3 = ("PRESSURE", "LATITUDE", "LONGITUDE")
    write(
        os.path.join(outdir, "RG_ArgoClim_Temperature.nc"),
        "Sample Argo temperature, Pacific, 2-degree grid", ARGO_LON,
        ARGO_LAT, [
            ("ARGO_TEMPERATURE_MEAN", grid3, tm,
             {"units": "degree_C", "long_name": "Mean temperature"}),
            ("ARGO_TEMPERATURE_ANOMALY", grid4, temp - tm[None],
             {"units": "degree_C",
              "long_name": "Temperature anomaly from the mean"}),
        ], PRESSURE)
    write(
        os.path.join(outdir, "RG_ArgoClim_Salinity.nc"),
        "Sample Argo salinity, Pacific, 2-degree grid", ARGO_LON, ARGO_LAT, [
            ("ARGO_SALINITY_MEAN", grid3, sm,
             {"units": "psu", "long_name": "Mean salinity"}),
            ("ARGO_SALINITY_ANOMALY", grid4, psal - sm[None],
             {"units": "psu",
              "long_name": "Salinity anomaly from the mean"}),
        ], PRESSURE)
    write(
        os.path.join(outdir, "RG_ArgoClim_Stations.nc"),
        "Sample Argo station counts, Pacific, 2-degree grid", ARGO_LON,
        ARGO_LAT, [
            ("NSTATIONS", grid4, stations,
             {"kind": "i2", "units": "count",
              "long_name": "Argo profiles reaching this pressure"}),
        ], PRESSURE)
    write(
        os.path.join(outdir, "Aviso_ADT.nc"),
        "Sample altimetric height, Pacific, 1-degree grid", SURF_LON,
        SURF_LAT, [
            ("ADT", ("TIME", "LATITUDE", "LONGITUDE"), adt,
             {"units": "cm", "long_name": "Altimetric height"}),
        ])
    write(
        os.path.join(outdir, "Reynolds_SST.nc"),
        "Sample sea surface temperature, Pacific, 1-degree grid", SURF_LON,
        SURF_LAT, [
            ("SST", ("TIME", "LATITUDE", "LONGITUDE"), sst,
             {"units": "degree_C", "long_name": "Sea surface temperature"}),
        ])


def is_sample(path):
    """True for a file this recipe wrote, also once a sample update has
    appended to it (which keeps its source but adds to its history); a
    real product, or a file that cannot be read, is not one."""
    try:
        with netCDF4.Dataset(path) as nc:
            return getattr(nc, "source", "") == SAMPLE_SOURCE
    except OSError:
        return False


def current(path):
    """False when path is missing or a sample file of an older recipe;
    anything else (a real product put in its place) is left alone."""
    if not os.path.exists(path):
        return False
    try:
        with netCDF4.Dataset(path) as nc:
            if getattr(nc, "history", "") != "make_sample_data.py":
                return True
            return getattr(nc, "recipe_version", 1) == RECIPE_VERSION
    except OSError:
        return True


def derive(outdir):
    """The fields the product scripts read, derived from the temperature
    file, computed again when missing or stale (real data too)."""
    if os.path.exists(os.path.join(outdir, derived.TEMPERATURE)):
        print(derived.compute(outdir) or f"the derived fields in {outdir} are current", flush=True)
    return 0


# ------------------------------------------------------------ data line

VERSION_FILE = os.path.join("bin", "pacific", "versioninfo.txt")
LINE_WIDTH = 30
# The files whose last months are the program's three end dates.
PRODUCT_FILES = ("RG_ArgoClim_Temperature.nc", "Aviso_ADT.nc", "Reynolds_SST.nc")


def data_line(datadir):
    """The main menu's data line, "Sample Jan 2004 - Aug 2008" or "Data
    Jan 2004 - Mar 2016": what the data files hold, up to the month that
    every product reaches."""
    paths = [os.path.join(datadir, n) for n in DATA_FILES if os.path.exists(os.path.join(datadir, n))]
    ends = []
    for name in PRODUCT_FILES:
        try:
            with netCDF4.Dataset(os.path.join(datadir, name)) as nc:
                ends.append(max(months_of(nc)))
        except (OSError, KeyError, ValueError):
            continue
    if not ends or min(ends) < 1:
        return "No data"
    kind = "Sample" if all(is_sample(p) for p in paths) else "Data"
    return f"{kind} {month_text(1)} - {month_text(min(ends))}"


def write_data_line(home):
    """Rewrites the second line of versioninfo.txt within its width; the
    other lines stay as they are."""
    path = os.path.join(home, VERSION_FILE)
    try:
        with open(path, newline="") as f:
            lines = f.read().split("\n")
    except FileNotFoundError:
        return None
    while len(lines) < 3:
        lines.append("")
    line = data_line(os.path.join(home, "data"))[:LINE_WIDTH].ljust(LINE_WIDTH)
    end = "\r" if lines[1].endswith("\r") else ""
    lines[1] = line + end
    partial = path + ".partial"
    with open(partial, "w", newline="") as f:
        f.write("\n".join(lines))
    os.replace(partial, path)
    return line
