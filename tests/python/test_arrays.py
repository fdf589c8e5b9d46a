"""Array views: RinexObsData.to_xarray / cn0 and AnalysisResult.to_dataframe, on small built
files and against georinex on the real plain observation files."""

from __future__ import annotations

import re
import sys
import warnings
from datetime import datetime

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, obs_text, rinex2_text, sat_line

np = pytest.importorskip("numpy")
xr = pytest.importorskip("xarray")
pd = pytest.importorskip("pandas")

T0 = np.datetime64("2024-01-07T00:00:00", "ns")
CODES = {"G": ["S1C", "C1C"], "E": ["S1C", "C5Q"], "C": ["S2I", "C2I"]}
EPOCHS = [(0, [("G05", [45.0, 0.0]), ("E11", [None, 2.5e7])]), (1.5, [("G05", [46.0, 2.1e7])]),
          (30, [("C01", [33.0, 3.9e7]), ("E11", [41.0])])]


@pytest.fixture
def obs(write):
    return q.read_rinex_obs(write("a.obs", obs_text(EPOCHS, CODES, position=(1.0, 2.0, 3.0))))


def test_dataset_is_laid_out_like_georinex(obs):
    ds = obs.to_xarray()
    assert list(ds.sv.values) == ["C01", "E11", "G05"]  # ascending, like georinex
    assert list(ds.time.values) == [T0, T0 + np.timedelta64(1500, "ms"), T0 + np.timedelta64(30, "s")]
    assert list(ds.data_vars) == ["S1C", "C1C", "C5Q", "S2I", "C2I"]  # header order
    assert all(v.dims == ("time", "sv") and v.dtype == np.float64 for v in ds.data_vars.values())
    # A 0.0 field and a blank one are both "no observation".
    np.testing.assert_array_equal(ds.C1C.sel(sv="G05"), [np.nan, 2.1e7, np.nan])
    np.testing.assert_array_equal(ds.S1C.sel(sv="E11"), [np.nan, np.nan, 41.0])
    assert ds.S2I.sel(sv="C01").values.tolist()[-1] == 33.0 and int(ds.S2I.notnull().sum()) == 1
    assert ds.attrs["version"] == 3.04 and ds.attrs["position"] == [1.0, 2.0, 3.0]
    assert ds.attrs["interval"] == 15.0  # no INTERVAL line: median epoch spacing
    ds.S1C[0, 0] = 1.0  # the arrays are the caller's to change


@pytest.mark.parametrize("use, meas, svs, codes", [
    ("G", None, ["G05"], ["S1C", "C1C"]),
    ({"E", "C"}, "S", ["C01", "E11"], ["S1C", "S2I"]),
    (None, ["C1", "C2I"], ["C01", "E11", "G05"], ["C1C", "C2I"]),
    (["R"], None, [], []),
])
def test_use_and_meas_select_like_georinex(obs, use, meas, svs, codes):
    ds = obs.to_xarray(use=use, meas=meas)
    assert list(ds.sv.values) == svs and list(ds.data_vars) == codes and ds.sizes["time"] == 3


@pytest.mark.parametrize("meas, codes", [(None, ["C1C", "C1P", "S1C", "L2C"]), ("P1", ["C1P"]),
                                         ("C1", ["C1C"]), (["S", "L"], ["S1C", "L2C"])])
def test_rinex2_codes_are_named_as_read_and_selected_as_written(write, meas, codes):
    path = write("b.21o", rinex2_text([(0, [("G05", [2.1e7, 2.2e7, 44.0, 1e8]), ("R07", [2.3e7])])],
                                      ["C1", "P1", "S1", "L2"]))
    ds = q.read_rinex_obs(path).to_xarray(meas=meas)
    assert list(ds.data_vars) == codes and list(ds.sv.values) == ["G05", "R07"]


def test_epoch_times_as_written(write):
    dates = ["2024 01 07 00 00  0.0157000", "2023 12 31 23 59 60.0000000", "2023 13 01 00 00  0.0000000",
             "2300 01 01 00 00  0.0000000", "2024 01 07 00 00 1e30", "2024 01 07 00 00 nan"]
    text = obs_text([]) + "".join(f"> {d}  0  1\n" + sat_line("G01", [40.0]) for d in dates)
    times = q.read_rinex_obs(write("c.obs", text)).to_xarray().time.values
    # Nanoseconds rounded to the nearest; outside datetime64[ns] or not a number: NaT.
    expected = ["2024-01-07T00:00:00.0157", "2024-01-01", "2024-01-01", "NaT", "NaT", "NaT"]
    np.testing.assert_array_equal(times, np.array(expected, dtype="datetime64[ns]"))


def test_cn0_arrays(obs):
    times, sats, codes, values = obs.cn0()
    assert values.dtype == np.float32 and values.shape == (3, 3, 2) and times.dtype == "datetime64[ns]"
    assert list(sats) == ["C01", "E11", "G05"] and list(codes) == ["S1C", "S2I"]
    assert values[0, 2, 0] == 45.0 and values[2, 0, 1] == 33.0 and int(np.isfinite(values).sum()) == 4


def test_tables_match_the_result(obs, write):
    r = q.analyze_cn0(write("d.obs", obs_text(EPOCHS, CODES)))
    samples = r.to_dataframe("samples")
    assert list(samples.columns) == ["time", "satellite", "code", "cn0", "elevation", "azimuth"]
    assert samples.time.dtype == "datetime64[ns]" and samples.satellite.dtype == "category"
    # The accepted samples are exactly the signal strengths of the file (all within the bounds).
    times, sats, codes, values = obs.cn0()
    t, s, c = np.nonzero(np.isfinite(values))
    got = sorted(zip(samples.time, samples.satellite, samples.code, samples.cn0))
    assert got == sorted(zip(times[t], sats[s], codes[c], values[t, s, c].astype(float)))
    ts = r.to_dataframe("timeseries")
    assert list(ts.time) == list(pd.to_datetime([x.rstrip("Z") for x in r.get_timestamps()]))
    assert ts.mean_cn0.tolist() == r.get_timeseries_cn0()
    sat = r.to_dataframe("satellites")
    assert list(sat.satellite) == r.get_satellite_ids() and sat.satellite.dtype == "category"
    assert len(r.to_dataframe("anomalies")) == r.anomaly_count
    assert r.to_dataframe("constellations").constellation.tolist() == r.constellations
    events = r.to_dataframe("events")
    assert list(events.columns[:4]) == ["start", "end", "duration_s", "kind"] and events.start.dtype == "datetime64[ns]"
    with pytest.raises(ValueError, match="unknown table 'sky'"):
        r.to_dataframe("sky")


@pytest.mark.parametrize("module, call", [("xarray", lambda o, r: o.to_xarray()),
                                          ("numpy", lambda o, r: o.cn0()),
                                          ("pandas", lambda o, r: r.to_dataframe("samples"))])
def test_missing_library_is_named(obs, write, monkeypatch, module, call):
    r = q.analyze_cn0(write("e.obs", obs_text(EPOCHS, CODES)))
    monkeypatch.setitem(sys.modules, module, None)
    with pytest.raises(ImportError, match=f"pip install {module}"):
        call(obs, r)


# --- against georinex ------------------------------------------------------------------------

PLAIN = sorted(p.name for p in DATA_DIR.glob("*") if re.search(r"(\.\d\d[oO]|\.obs|_MO\.rnx)$", p.name))
# georinex's RINEX 3 reader merges a Dataset per epoch, which grows with the square of the epochs
# (minutes for a full day): both readers are compared on the first WINDOW epochs (its tlim).
WINDOW = 30
# georinex's RINEX 2 reader holds PRNs 1 to 36 per system and fails on SBAS S48: these systems only.
PEER_SYSTEMS = {"tlse001b.23o": ["G", "R", "E"]}
RINEX2_NAMES = {"C1": "C1C", "P1": "C1P", "L1": "L1C", "S1": "S1C", "C2": "C2C", "P2": "C2P", "L2": "L2C",
                "S2": "S2C", "C5": "C5Q", "L5": "L5Q", "S5": "S5Q"}


@pytest.mark.skipif(not PLAIN, reason="real GNSS data folder not found")
@pytest.mark.parametrize("name", PLAIN)
def test_same_numbers_as_georinex(name):
    georinex = pytest.importorskip("georinex")
    use = PEER_SYSTEMS.get(name)
    ours = q.read_rinex_obs(str(DATA_DIR / name)).to_xarray(use=use)
    window = ours.isel(time=slice(0, WINDOW))
    # georinex keeps a fractional second only to the microsecond, truncated (0.981 can become
    # 0.980999): its time limits get a millisecond of margin, and times agree within 1 us.
    margin = np.timedelta64(1, "ms")
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        first, last = (pd.Timestamp(t).to_pydatetime() for t in window.time.values[[0, -1]] + [-margin, margin])
        peer = georinex.load(DATA_DIR / name, tlim=(first, last), use=use)
    assert peer.time.size == window.time.size
    assert np.abs(peer.time.values.astype("datetime64[ns]") - window.time.values).max() <= np.timedelta64(1, "us")
    for code in peer.data_vars:
        mine = window[RINEX2_NAMES.get(code, code) if ours.attrs["version"] < 3 else code]
        # georinex stores a 0.0 field as 0.0; in RINEX it means "no observation" (NaN here). It also
        # lists every satellite named on an epoch line, with or without values.
        theirs = peer[code].where(peer[code] != 0).dropna("sv", how="all")
        mine = mine.dropna("sv", how="all")
        assert list(mine.sv.values) == list(theirs.sv.values), code
        np.testing.assert_array_equal(mine.values, theirs.values, err_msg=code)
