#!/usr/bin/python3
"""Every derived quantity of the go scripts against numpy, on the sample data.

Ferret computes each quantity with the go scripts' own helpers
(tc_months, tc_field, tc_derive, tc_dynamic, tc_prod_derive, tc_prod_nino,
tc_ts_series, from installation/ferret/go) in one headless session and
lists it; numpy computes it
again from the NetCDF files: the recipe's UNESCO equation of state and
potential temperature, trapezoid integrals, centred differences on a sphere
of 6371 km, exact cell areas, plain means of months.  Prints one line per
quantity with the largest difference; the missing cells must agree too.
The tolerances lie far below what a wrong box, half a grid cell, a wrong
sign or a wrong constant gives.

usage: test_science.py"""

import os
import csv
import shutil
import subprocess
import sys
import tempfile
import time
import warnings

import numpy as np
import netCDF4

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from go_fixture import REPO, data_cache, ferret_with  # noqa: E402

sys.path.insert(0, os.path.join(REPO, "installation", "sampledata"))
import make_sample_data as sample  # noqa: E402

GO = os.path.join(REPO, "installation", "ferret", "go")
PLOT_DATA = os.path.join(REPO, "installation", "bin", "tc_plot_data.py")
# The map's CSV checked at these (latitude, longitude), the last on land.
MAP_POINTS = ((-41.0, 221.0), (1.0, 181.0), (25.0, 141.0), (-25.0, 135.0))
RADIUS, OMEGA = 6371.0e3, 7.2921e-5
A, B = 49, 54            # January to June 2008, averaged before deriving
MONTH = 54               # June 2008 for the products
SEC_X = 221.0            # the sections run along 139W
LINE_AT = (-41.0, 221.0)  # the line drawing's place, a cell centre
BAND = 6.0               # no geostrophic velocity nearer the equator
NINO = {"Nino 1+2": ("12", (270, 280, -10, 0)), "Nino 3": ("3", (210, 270, -5, 5)),
        "Nino 3.4": ("34", (190, 240, -5, 5)), "Nino 4": ("4", (160, 210, -5, 5))}
STORED = ("d20", "mld", "tchp", "warm")
# UNESCO 1980 (Fofonoff and Millard 1983): density at (psu, deg C, dbar).
EOS_CHECK = {(0, 5, 0): 999.96675, (35, 5, 0): 1027.67547, (35, 25, 10000): 1062.53817}
ONI = np.array([v for year in sorted(sample.ONI) for v in sample.ONI[year]])


# ------------------------------------------------------------------ numpy

def read(path, *names):
    with netCDF4.Dataset(path) as nc:
        values = [np.array(nc.variables[n][:].filled(np.nan), dtype=float) for n in names]
        lon, lat = (np.array(nc.variables[a][:], dtype=float) for a in ("LONGITUDE", "LATITUDE"))
    return values, lon, lat


def integral_below(p, f, lower):
    """Trapezoid integral of f[z, ...] from each level down to the level
    `lower`; NaN below it and where f is missing."""
    k = list(p).index(lower)
    out = np.full(f.shape, np.nan)
    out[k] = 0.0 * f[k]
    for j in range(k - 1, -1, -1):
        out[j] = out[j + 1] + 0.5 * (f[j] + f[j + 1]) * (p[j + 1] - p[j])
    return out


def centred(f, axis, step):
    """Centred difference along an axis, NaN at both ends."""
    out = np.full(f.shape, np.nan)
    inner = [slice(None)] * f.ndim
    inner[axis] = slice(1, -1)
    out[tuple(inner)] = (np.take(f, range(2, f.shape[axis]), axis) -
                         np.take(f, range(f.shape[axis] - 2), axis)) / (2 * step)
    return out


def crossing(p, t, target):
    """First pressure where t, linear between levels, reaches target."""
    for k in range(1, len(p)):
        a, b = t[k - 1] - target, t[k] - target
        if np.isnan(b):
            return None
        if a == 0:
            return p[k - 1]
        if a * b < 0 or b == 0:
            return p[k - 1] + (p[k] - p[k - 1]) * a / (a - b)
    return None


def mixed_layer(p, t):
    """de Boyer Montegut et al. (2004): |T - T(10 dbar)| reaches 0.2."""
    found = [crossing(p[1:], t[1] - t[1:], d) for d in (0.2, -0.2)]
    return min([f for f in found if f is not None], default=None)


def heat_potential(p, t):
    """rho cp times the integral of (T - 26)+ down to 500 dbar, kJ/cm2: the
    trapezoid rule on the levels and the 26-degree crossings, exact for T
    linear between levels; water above the first level counts as mixed."""
    nodes, excess = ([0.0], [max(t[0] - 26, 0.0)]) if p[0] > 0 else ([], [])
    for k in range(len(p)):
        if p[k] > 500 or np.isnan(t[k]):
            break
        if k and (t[k - 1] - 26) * (t[k] - 26) < 0:
            nodes.append(p[k - 1] + (p[k] - p[k - 1]) * (26 - t[k - 1]) / (t[k] - t[k - 1]))
            excess.append(0.0)
        nodes.append(p[k])
        excess.append(max(t[k] - 26, 0.0))
    return 1025.0 * 4178.0 * np.trapz(excess, nodes) * 1e-7


def warm_layer(p, t):
    """Depth of the 20-degree isotherm; without one, 0 for a cold column
    and the deepest level for one warm to the bottom."""
    d = crossing(p, t, 20.0)
    if d is not None:
        return d
    return p[~np.isnan(t)][-1] if t[0] >= 20 else 0.0


def columns(function, p, field):
    """function(p, profile) for every column of field[z, y, x] with data."""
    out = np.full(field.shape[1:], np.nan)
    for j, i in zip(*np.nonzero(~np.isnan(field[0]))):
        value = function(p, field[:, j, i])
        out[j, i] = np.nan if value is None else value
    return out


def cell_areas(lon, lat, west, east, south, north):
    """Area of each cell's part inside the box, on the sphere, [y, x]."""
    dlon, dlat = lon[1] - lon[0], lat[1] - lat[0]
    wx = np.clip(np.minimum(lon + dlon / 2, east) - np.maximum(lon - dlon / 2, west), 0, None)
    lo, hi = np.maximum(lat - dlat / 2, south), np.minimum(lat + dlat / 2, north)
    band = np.where(hi > lo, np.sin(np.radians(hi)) - np.sin(np.radians(lo)), 0.0)
    return RADIUS ** 2 * np.radians(wx)[None, :] * band[:, None]


def box_mean(field, lon, lat, box):
    """Area mean over the box's cells with data, field[t, y, x]."""
    area = cell_areas(lon, lat, *box)[None] * ~np.isnan(field)
    return np.nansum(field * area, axis=(1, 2)) / area.sum(axis=(1, 2))


def less_clim(series, months):
    """series[t, ...] less the mean of its calendar month over its first
    `months` months."""
    clim = np.array([np.nanmean(series[m:months:12], axis=0) for m in range(12)])
    return series - clim[np.arange(len(series)) % 12]


# ----------------------------------------------------------------- ferret

def ferret_listings(data, out, nt):
    """Runs the helpers as the entry scripts do and lists each quantity
    into out/NAME.txt; returns Ferret's output."""
    lines = []

    def dump(name, expression):
        lines.append(f'list/nohead/quiet/clobber/format=(1PE22.14)/file="{out}/{name}.txt" '
                     + expression)
    # Potential density, specific volume anomaly, dynamic height and
    # velocity of the months A to B, as the map and section scripts do.
    lines += ["go tc_begin", "go tc_data argo", f"go tc_months range tc_temp {A} {B}",
              f"go tc_months range tc_psal {A} {B}", "go tc_derive now"]
    dump("sigma", f"tc_sigma_now[x={SEC_X}]")
    dump("svan", f"tc_svan_now[x={SEC_X}]")
    lines.append("go tc_dynamic map 0 1000")
    for name in ("field", "u", "v"):
        dump("map_" + name, "tc_" + name)
    lines.append("go tc_dynamic section 0 2000")
    dump("section", f"tc_field[x={SEC_X},z=0:2000]")
    dump("section_u", f"tc_u[x={SEC_X},z=0:2000]")
    for upper in (0, 300, 1000):
        lines.append(f"go tc_dynamic map {upper} 2000")
        dump(f"map_{upper}", f"tc_field[x={SEC_X}]")
    # The time treatments of maps (with tc_field) and of time series; the
    # dynamic height and velocity of A to B against 2004-2007.
    lines += [f"go tc_months yearly tc_temp {A} {B}", "go tc_field tc_temp 0 500"]
    dump("yearly", "tc_field")
    lines += [f"go tc_months yearly tc_psal {A} {B}", "go tc_derive now", "go tc_derive ref",
              "go tc_dynamic map 0 1000"]
    dump("ref_field", "tc_field")
    dump("ref_u", "tc_u")
    # The equation of state at its published check values.
    for i, (salt, temp, pres) in enumerate(EOS_CHECK):
        lines.append(f"go tc_eos tc_check{i} {salt} {temp} {pres}")
        dump(f"eos_{i}", f"tc_check{i}")
    lines += [f"go tc_months monthly tc_temp {MONTH} 6", "go tc_field tc_temp 100 100"]
    dump("monthly", "tc_field")
    lines += ["go tc_months average tc_temp 9", "go tc_field tc_temp 0 0"]
    dump("average", "tc_field")
    lines += ["go tc_end", "go tc_begin", "go tc_data argo", f"let tc_ts_raw = tc_temp[x={SEC_X},y=-41]"]
    for kind in ("yearly", "monthly"):
        lines.append(f"go tc_ts_series {kind} tc_ts_raw 1 {nt} ts_{kind}")
        dump("ts_" + kind, f"ts_{kind}[z=0:2000]")
    # The products of one month, and the warm water volume of every month.
    lines.append("go tc_prod_derive")
    for name in ("d20", "mld", "tchp", "warm"):
        dump(name, f"tc_{name}[l={MONTH}]")
    dump("wwv", f"tc_wwv[l=1:{nt}]")
    # The same of every month from the fields computed once (read through
    # tc_prod_fields under the same names), against a snapshot of these
    # in double precision; D20 and TCHP also as monthly anomalies, from the
    # stored climatology against tc_ts_series' own.
    for name in STORED:
        lines.append(f"let fly_{name} = tc_{name}")
    lines.append(f"let fly_wwv = tc_wwv[l=1:{nt}]")
    for name in ("d20", "tchp"):
        lines += [f"go tc_ts_series monthly tc_{name} 1 {nt} an_{name}", f"let fly_an_{name} = an_{name}[l=1:{nt}]"]
    # No D20 climatology where fewer than half of the calendar month's years
    # have 20-degree water.
    lines += ["let an_d20_count = an_d20_on[gt=tc_ts_cal@modngd]", "let an_d20_every = an_d20_count[gt=tc_ts_taxis]",
              f"let an_d20_years = INT(({nt} - MOD(L[gt=tc_ts_taxis] - 1, 12) - 1) / 12) + 1",
              f"let fly_an_d20 = IF 2 * an_d20_every GE an_d20_years THEN an_d20[l=1:{nt}]"]
    for names in (STORED, ("wwv",), ("an_d20", "an_tchp")):
        lines.append(f'save/clobber/quiet/outtype=double/file="{out}/fly_{names[0]}.nc" '
                     + ", ".join("fly_" + n for n in names))
        lines.append(f'use "{out}/fly_{names[0]}.nc"')
    lines += ["cancel variable fly_*", "go tc_prod_fields"]
    for name in ("d20", "tchp"):
        lines.append(f"go tc_ts_series monthly tc_{name} 1 {nt} an_{name} tc_{name}_clim")
    for name, file in [(n, STORED[0]) for n in STORED] + [("wwv", "wwv"), ("an_d20", "an_d20"),
                                                          ("an_tchp", "an_d20")]:
        stored, fly = ("tc_" if name in STORED + ("wwv",) else "") + name, f"fly_{name}[d=fly_{file}]"
        axes = "l=@max" if name == "wwv" else "x=@max,y=@max,l=@max"
        lines += [f"let cmp_diff_{name} = ABS({stored} - {fly})", f"let cmp_max_{name} = ABS({fly})",
                  f"let cmp_missing_{name} = ABS(MISSING(0*{stored}, 1) - MISSING(0*{fly}, 1))"]
        dump(f"stored_{name}_diff", f"cmp_diff_{name}[{axes}]")
        dump(f"stored_{name}_max", f"cmp_max_{name}[{axes}]")
        dump(f"stored_{name}_missing", f"cmp_missing_{name}[{axes.replace('max', 'sum')}]")
    lines += [f"cancel data fly_{STORED[0]}", "cancel data fly_wwv", "cancel data fly_an_d20",
              "go tc_ts_end"]
    # The specific volume anomaly computed once, every month, against the
    # same on the fly; one month's dynamic height and speed on the fly, for
    # the entry scripts below, which read it.
    lines += ["go tc_begin", "go tc_data argo", "let tc_temp_now = tc_temp", "let tc_psal_now = tc_psal",
              "go tc_derive now", "use RG_ArgoClim_SVAN.nc"]
    for part, expression in (("diff", "ABS(SVAN[d=RG_ArgoClim_SVAN] - tc_svan_now)"),
                             ("max", "ABS(tc_svan_now)"),
                             ("missing", "ABS(MISSING(0*SVAN[d=RG_ArgoClim_SVAN], 1) - MISSING(0*tc_svan_now, 1))")):
        how = "sum" if part == "missing" else "max"
        lines.append(f"let cmp_svan_{part} = {expression}")
        dump(f"stored_svan_{part}", f"cmp_svan_{part}[x=@{how},y=@{how},z=@{how},l=@{how}]")
    for name in ("temp", "psal"):
        lines.append(f"let tc_{name}_now = tc_{name}[l={MONTH}:{MONTH}@sum] / tc_{name}[l={MONTH}:{MONTH}@ngd]")
    lines += ["go tc_derive now", "define symbol tc_withref = 0", "go tc_dynamic map 0 1000"]
    dump("fly_month_field", "tc_field")
    dump("fly_month_speed", "tc_speed")
    lines.append("go tc_end")
    # Each box from both data sets: K 1 to 4 as the program sends them,
    # then the other two boxes.
    for k, box in ((1, ""), (2, ""), (3, ""), (4, ""), (1, "12"), (1, "4"), (3, "12"), (3, "4")):
        lines += ["go tc_begin", f"go tc_prod_nino {k} 1 {nt} {box}"]
        box = box or ("3" if k in (1, 3) else "34")
        dump(f"nino_{k}_{box}", f"tc_prod_series[l=1:{nt}]")
        dump(f"oni_{k}_{box}", f"tc_prod_running[l=1:{nt}]")
        dump(f"nino_anom_{k}_{box}", f"tc_prod_anom[l={nt}]")
        lines.append("go tc_ts_end")
    # Entry scripts as the program runs them: what each drew last is
    # listed as it ends, by a tc_end and a tc_ts_end put first on the path.
    for name in ("tc_end", "tc_ts_end"):
        with open(f"{out}/{name}.jnl", "w") as f:
            f.write('IF ($capture_file"0|*>1") THEN\n'
                    '  list/nohead/quiet/clobber/format=(1PE22.14)/file="($capture_file)" ($capture_what)\n'
                    '  cancel symbol capture_file\nENDIF\n'
                    f'go "{GO}/{name}.jnl"\n')
    for name, what, go in (
            ("entry_geo_vel_section", f"tc_field[x={SEC_X},z=0:2000]",
             f"fer_geo_vel_section N -60 66 {A} {B} 0 2000 {SEC_X} {SEC_X}"),
            ("entry_dyn_ht_line", f"tc_line_curve[l=1:{nt}]",
             f"fer_dyn_ht_line 1 1 {nt} 0 1000 {LINE_AT[0]} {LINE_AT[0]} {LINE_AT[1]} {LINE_AT[1]}"),
            ("entry_dyn_ht_map", "tc_field", f"fer_dyn_ht_map {MONTH} {MONTH} 0 1000 -60 65 120 290 1 0 0"),
            ("entry_geo_vel_map", "tc_field", f"fer_geo_vel_map {MONTH} {MONTH} 0 1000 -60 65 120 290 1 2 2")):
        lines += [f'define symbol capture_file = {out}/{name}.txt', f"define symbol capture_what = {what}",
                  f"go {go}"]
    # The same entry scripts in data mode: what they would draw, saved.
    for name, go in (("data_map", f"fer_temp_map {MONTH} {MONTH} 100 100 -60 65 120 290 1 1"),
                     ("data_nino", f"fer_nino_ind 4 1 {nt}")):
        os.mkdir(f"{out}/{name}")
        lines += [f"define symbol tcdata_dir = {out}/{name}", f"go {go}", "cancel symbol tcdata_dir"]
    return ferret_with(f"{out} {GO}", data, "\n".join(lines), timeout=600)


class Report:
    def __init__(self, out, output):
        self.out, self.output, self.lines, self.failures = out, output, [], []

    def listed(self, name, shape):
        path = os.path.join(self.out, name + ".txt")
        if not os.path.exists(path):
            raise AssertionError(f"Ferret listed no {name}:\n{self.output[-3000:]}")
        with open(path) as f:
            values = np.array([float(v) for v in f.read().split()])
        values[values < -1e30] = np.nan
        return values.reshape(shape)

    def stored(self, name, tolerance):
        """A field computed once against the same computed on the fly:
        Ferret's largest difference, largest value and count of cells
        missing in one of them only."""
        diff, top, missing = (self.listed(f"stored_{name}_{part}", (1,))[0]
                              for part in ("diff", "max", "missing"))
        worst = diff / top if top > 0 else np.inf
        self.lines.append(f"{'stored ' + name:38s} largest difference {worst:.3g} of the largest value")
        if not worst <= tolerance or missing != 0:
            self.failures.append(f"stored {name}: {diff:g} of {top:g} apart, {missing:g} cells missing in one")

    def compare(self, name, pairs, tolerance, unit, relative=False, note="", least=10):
        """pairs: (Ferret's values, numpy's); relative: against the largest
        of numpy's values."""
        got = np.concatenate([np.ravel(g) for g, _ in pairs])
        want = np.concatenate([np.ravel(w) for _, w in pairs])
        problems = []
        if got.shape != want.shape:
            problems.append(f"{got.size} values against {want.size}")
            worst = np.inf
        else:
            if (np.isnan(got) != np.isnan(want)).any():
                problems.append(f"missing in {np.sum(np.isnan(got) != np.isnan(want))} other cells")
            both = ~np.isnan(got) & ~np.isnan(want)
            worst = np.abs(got - want)[both].max() if both.sum() >= least else np.inf
            if relative:
                worst /= np.abs(want[both]).max()
        if not worst <= tolerance:
            problems.append(f"above the tolerance {tolerance:g}")
        self.lines.append(f"{name:38s} largest difference {worst:.3g} "
                          f"{'of the largest value' if relative else unit}{note}")
        if problems:
            self.failures.append(f"{name}: " + "; ".join(problems))


def data_csv(out, name):
    """The CSV a user gets from a data-mode run: header lines, and the
    columns by their titles as text."""
    subprocess.run(["/usr/bin/python3", PLOT_DATA, f"{out}/{name}.csv", f"{out}/{name}"], check=True)
    with open(f"{out}/{name}.csv") as f:
        text = f.read().splitlines()
    header = dict(line[2:].split(": ", 1) for line in text if line.startswith("# "))
    rows = list(csv.reader(line for line in text if not line.startswith("#")))
    return header, {title: [row[i] for row in rows[1:]] for i, title in enumerate(rows[0])}


def main():
    started = time.monotonic()
    warnings.filterwarnings("ignore", message="Mean of empty slice")
    data, out = data_cache(), tempfile.mkdtemp(prefix="tc_science_")
    (tm, ta), lon, lat = read(data + "/RG_ArgoClim_Temperature.nc", "ARGO_TEMPERATURE_MEAN",
                              "ARGO_TEMPERATURE_ANOMALY")
    (sm, sa), _, _ = read(data + "/RG_ArgoClim_Salinity.nc", "ARGO_SALINITY_MEAN",
                          "ARGO_SALINITY_ANOMALY")
    (sst,), slon, slat = read(data + "/Reynolds_SST.nc", "SST")
    temp, psal, p = tm[None] + ta, sm[None] + sa, sample.PRESSURE
    nt, nz, ny, nx = temp.shape
    sx = int(np.argmin(np.abs(lon - SEC_X)))
    r = Report(out, ferret_listings(data, out, nt))
    if "**ERROR" in r.output:
        r.failures.append("Ferret reported an error:\n" + r.output[r.output.index("**ERROR") - 1500:][:3000])

    t_ab, s_ab = temp[A - 1:B].mean(axis=0), psal[A - 1:B].mean(axis=0)
    pz = p[:, None, None]
    theta = sample.potential_temperature(s_ab, t_ab, pz)
    sigma = sample.rho(s_ab, theta, 0.0) - 1000
    r.compare("sigma-theta", [(r.listed("sigma", (nz, ny)), sigma[..., sx])], 1e-8, "kg/m3")
    svan = sample.specific_volume_anomaly(s_ab, t_ab, pz)
    r.compare("specific volume anomaly", [(r.listed("svan", (nz, ny)), svan[..., sx])], 1e-14, "m3/kg")

    # Dynamic height in dyn cm: 1 dbar = 1e4 Pa, 1 dyn cm = 0.1 m2/s2.
    dyn_1000, dyn_2000 = (integral_below(p, svan, lower) * 1e5 for lower in (1000.0, 2000.0))
    r.compare("dynamic height map", [(r.listed("map_field", (ny, nx)), dyn_1000[0])], 1e-6, "dyn cm")
    section = r.listed("section", (nz, ny))
    r.compare("dynamic height section", [(section, dyn_2000[..., sx])], 1e-6, "dyn cm")
    maps = [(section[list(p).index(u)], r.listed(f"map_{u}", (ny,))) for u in (0, 300, 1000)]
    r.compare("dynamic height section = map", maps, 1e-9, "dyn cm", note=" at 0, 300, 1000 dbar")

    # Geostrophic velocity in cm/s from the geopotential anomaly in m2/s2;
    # missing within BAND degrees of the equator.
    cor = np.where(np.abs(lat) >= BAND, 2 * OMEGA * np.sin(np.radians(lat)), np.nan)[:, None]
    dy = RADIUS * np.radians(lat[1] - lat[0])
    dx = RADIUS * np.radians(lon[1] - lon[0]) * np.cos(np.radians(lat))[:, None]
    u = -100 * centred(dyn_1000[0] / 10, 0, dy) / cor
    v = 100 * centred(dyn_1000[0] / 10, 1, 1.0) / dx / cor
    u_section = -100 * centred(dyn_2000[..., sx] / 10, 1, dy) / cor[:, 0]
    r.compare("geostrophic velocity", [(r.listed("map_u", (ny, nx)), u), (r.listed("map_v", (ny, nx)), v),
                                       (r.listed("section_u", (nz, ny)), u_section)], 1e-4, "",
              relative=True)

    # Against 2004-2007: both states' dynamic height and velocity.
    s_ref, t_ref = psal[:48].mean(axis=0), temp[:48].mean(axis=0)
    dyn_ref = integral_below(p, sample.specific_volume_anomaly(s_ref, t_ref, pz), 1000.0) * 1e5
    u_ref = -100 * centred(dyn_ref[0] / 10, 0, dy) / cor
    r.compare("dynamic height against 2004-2007", [(r.listed("ref_field", (ny, nx)), dyn_1000[0] - dyn_ref[0])],
              1e-6, "dyn cm")
    r.compare("velocity against 2004-2007", [(r.listed("ref_u", (ny, nx)), u - u_ref)], 1e-4, "",
              relative=True)
    eos = [(r.listed(f"eos_{i}", (1,)), np.array([want])) for i, want in enumerate(EOS_CHECK.values())]
    eos.append((sample.rho(*np.array(list(EOS_CHECK)).T.astype(float)), np.array(list(EOS_CHECK.values()))))
    r.compare("equation of state check values", eos, 1e-5, "kg/m3", note=" (Ferret and numpy)", least=6)

    # Entry scripts: the velocity section along a meridian draws u; the
    # dynamic height line drawing, month by month, in dyn cm.
    r.compare("entry script: velocity section", [(r.listed("entry_geo_vel_section", (nz, ny)), u_section)],
              1e-4, "", relative=True)
    column = (slice(None), slice(None), list(lat).index(LINE_AT[0]), list(lon).index(LINE_AT[1]))
    svan_line = sample.specific_volume_anomaly(psal[column], temp[column], p[None, :])
    r.compare("entry script: dynamic height line",
              [(r.listed("entry_dyn_ht_line", (nt,)), integral_below(p, svan_line.T, 1000.0)[0] * 1e5)],
              1e-6, "dyn cm")

    # One month's map, from the anomaly computed once, as on the fly.
    r.stored("svan", 1e-6)
    for name, fly in (("entry_dyn_ht_map", "fly_month_field"), ("entry_geo_vel_map", "fly_month_speed")):
        r.compare("entry script: " + name[6:].replace("_", " ") + " of a month",
                  [(r.listed(name, (ny, nx)), r.listed(fly, (ny, nx)))], 1e-6, "", relative=True)

    # The products of one month and the warm water volume of all months.
    t_month = temp[MONTH - 1]
    d20 = columns(lambda q, t: crossing(q, t, 20.0), p, t_month)
    r.compare("D20", [(r.listed("d20", (ny, nx)), d20)], 1e-6, "m")
    mld = columns(mixed_layer, p, t_month)
    signed = columns(lambda q, t: crossing(q[1:], t[1] - t[1:], 0.2), p, t_month)
    r.compare("MLD", [(r.listed("mld", (ny, nx)), mld)], 1e-6, "m",
              note=f"; inversions in {np.sum(np.abs(mld - signed) > 1)} columns")
    r.compare("TCHP", [(r.listed("tchp", (ny, nx)), columns(heat_potential, p, t_month))], 1e-6, "kJ/cm2")
    area = cell_areas(lon, lat, 120, 280, -5, 5)
    rows = np.nonzero(area.sum(axis=1))[0]
    wwv = np.array([np.nansum(columns(warm_layer, p, temp[k][:, rows]) * area[rows])
                    for k in range(nt)]) / 1e14
    warm = columns(warm_layer, p, t_month)
    r.compare("WWV warm layer", [(r.listed("warm", (ny, nx)), warm)], 1e-6, "m",
              note=f"; shelf columns warm to the bottom: {np.sum(np.isnan(d20) & (warm > 0))}")
    got = r.listed("wwv", (nt,))
    lead = max(range(13), key=lambda m: np.corrcoef(less_clim(got, nt), ONI[m:m + nt])[0, 1])
    r.compare("WWV", [(got, wwv)], 1e-5, "", relative=True, note=f"; leads the ONI by {lead} months")
    if not 6 <= lead <= 9:
        r.failures.append(f"WWV: leads the ONI by {lead} months, not by 6 to 9")

    # The fields computed once, every month, against the on-the-fly ones.
    for name in STORED + ("wwv", "an_d20", "an_tchp"):
        r.stored(name, 1e-6)
    (d20s, clim), _, _ = read(data + "/RG_ArgoClim_Derived.nc", "D20", "D20_CLIM")
    years = [d20s[m::12] for m in range(12)]
    want = [np.where(2 * np.sum(~np.isnan(y), axis=0) >= len(y), np.nanmean(y, axis=0), np.nan) for y in years]
    r.compare("D20 climatology", [(clim, np.array(want))], 1e-6, "", relative=True,
              note=f"; left out in {np.sum(np.isnan(want) & ~np.isnan([np.nanmean(y, axis=0) for y in years]))} cells")

    # Nino indices: the box mean less its 2004-2007 calendar-month mean,
    # and the map of the last month's anomaly.
    for name, (box, limits) in NINO.items():
        pairs = []
        for k, field, x, y in ((1, temp[:, 0], lon, lat), (3, sst, slon, slat)):
            k += box == "34"
            index = less_clim(box_mean(field, x, y, limits), 48)
            pairs.append((r.listed(f"nino_{k}_{box}", (nt,)), index))
            running = np.convolve(index, np.ones(3) / 3, mode="same")
            running[[0, -1]] = np.nan
            pairs.append((r.listed(f"oni_{k}_{box}", (nt,)), running))
            pairs.append((r.listed(f"nino_anom_{k}_{box}", field.shape[1:]), less_clim(field, 48)[-1]))
        corr = np.corrcoef(pairs[3][0], ONI[:nt])[0, 1]
        r.compare(name, pairs, 1e-6, "deg C", note=f"; Reynolds index against the ONI: r = {corr:.2f}")
        if box == "34" and corr < 0.9:
            r.failures.append(f"{name}: follows the ONI with r = {corr:.2f} only")

    # Data mode: the map's CSV at three grid points and on land (an empty
    # field), and the Reynolds Nino 3.4 index at two months, against the
    # files read here; both to the data's float32 precision.
    header, cells = data_csv(out, "data_map")
    k100 = list(p).index(100.0)
    got, want = [], []
    for y, x in MAP_POINTS:
        row = [i for i, (a, b) in enumerate(zip(cells["latitude (degrees_north)"],
                                                   cells["longitude (degrees_east)"])) if (float(a), float(b)) == (y, x)]
        got.append(np.nan if len(row) != 1 or cells["Temperature (deg C)"][row[0]] == ""
                   else float(cells["Temperature (deg C)"][row[0]]))
        want.append(temp[MONTH - 1, k100, list(lat).index(y), list(lon).index(x)])
    if header.get("months") != "Jun 2008" or header.get("pressure") != "100 dbar" or header.get("units") != "deg C":
        r.failures.append(f"data mode map: header {header}")
    r.compare("data mode: map CSV at 3 points", [(np.array(got), np.array(want))], 1e-6, "",
              relative=True, least=3)
    header, cells = data_csv(out, "data_nino")
    index = less_clim(box_mean(sst, slon, slat, NINO["Nino 3.4"][1]), 48)
    months = [cells["month"].index(m) for m in ("2004-12", "2008-06")]
    r.compare("data mode: Nino 3.4 CSV at 2 months",
              [(np.array([float(cells["Nino 3.4 index (deg C)"][m]) for m in months]), index[[11, 53]])],
              2e-6, "deg C", least=2)
    if header.get("region") != "5S-5N 170W-120W" or header.get("months") != "Jan 2004 - Aug 2008":
        r.failures.append(f"data mode Nino 3.4: header {header}")

    # Time treatments: a map averaged over 0-500 dbar, at 100 dbar and at
    # the surface, and a time series of profiles at 41S 139W.
    def over_0_500(field):
        return integral_below(p, field, 500.0)[0] / 500
    profiles = temp[:, :, list(lat).index(-41.0), sx]
    r.compare("difference from the 2004-2007 mean",
              [(r.listed("yearly", (ny, nx)), over_0_500(t_ab) - over_0_500(temp[:48].mean(axis=0))),
               (r.listed("ts_yearly", (nt, nz)), profiles - profiles[:48].mean(axis=0))], 1e-9, "deg C")
    r.compare("monthly anomaly",
              [(r.listed("monthly", (ny, nx)), less_clim(temp[:, k100], nt)[MONTH - 1]),
               (r.listed("ts_monthly", (nt, nz)), less_clim(profiles, nt))], 1e-9, "deg C")
    r.compare("monthly average", [(r.listed("average", (ny, nx)), np.nanmean(temp[8::12, 0], axis=0))],
              1e-9, "deg C")

    shutil.rmtree(out, ignore_errors=True)
    print("\n".join(r.lines))
    print(f"run time {time.monotonic() - started:.1f} s")
    if r.failures:
        print("FAILED:\n  " + "\n  ".join(r.failures))
    return 1 if r.failures else 0


if __name__ == "__main__":
    sys.exit(main())
