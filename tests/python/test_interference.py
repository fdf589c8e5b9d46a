"""The band-wise interference monitor on real recordings: quiet on clean days, and finding jamming,
an attenuator step and spoofing injected into copies of them (the sweep is
benchmarks/bench_interference.py)."""
from __future__ import annotations

import datetime as dt
import random
import sys
from pathlib import Path

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, have_data

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
from inject_events import ObsText  # noqa: E402

pytestmark = pytest.mark.skipif(not have_data(), reason="real GNSS data folder ../shared/data not found")
ESBC = "ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz"
ESBC_NAV = "ESBC00DNK_R_20201770000_01D_MN.rnx"
ALL_ESBC = ["L1", "G1", "L2", "G2", "L5", "E5b", "E6"]


@pytest.fixture(scope="module")
def texts():
    pytest.importorskip("hatanaka")
    return {name: ObsText.load(DATA_DIR / name) for name in (ESBC, "zimm0010.21o")}


def analyse(tmp_path, text: str, name: str, nav):
    path = tmp_path / name
    path.write_text(text)
    return q.analyze_cn0(str(path), str(DATA_DIR / nav) if nav else None)


@pytest.mark.parametrize("obs,nav", [(ESBC, None), (ESBC, ESBC_NAV), ("zimm0010.21o", "brdc0010.21n")])
def test_clean_days_have_no_events(obs, nav):
    r = q.analyze_cn0(str(DATA_DIR / obs), str(DATA_DIR / nav) if nav else None)
    assert r.interference_events() == [] and r.interference_verdict == "none"
    health = r.health()
    assert (health["completeness_percent"] is None) == (nav is None)
    if nav is None:  # every sample at the stand-in 45 degrees: one elevation bin
        assert all([v is not None for v in bins] == [i == 4 for i in range(9)] for bins in health["cn0_by_elevation"].values())
    else:
        assert 50.0 < health["completeness_percent"] <= 100.0


@pytest.mark.parametrize(
    "obs,nav,at,seconds,delta,bands,expected",
    [
        (ESBC, None, "12:00:00", 1800, 6.0, ["L1"], ["L1"]),  # one band jammed for half an hour
        (ESBC, ESBC_NAV, "06:10:00", 60, 3.0, None, ALL_ESBC),  # the smallest required: 3 dB, 2 epochs
        (ESBC, ESBC_NAV, "12:00:00", 1080, 20.0, None, ALL_ESBC),  # the 20 dB attenuator, 18 minutes
        ("zimm0010.21o", "brdc0010.21n", "03:00:00", 7200, 25.0, ["L2"], ["L2"]),  # RINEX 2, L2 lost 2 h
        ("zimm0010.21o", None, "15:00:00", 600, 4.0, None, ["L1", "L2"]),
    ],
)
def test_injected_drop_is_found(tmp_path, texts, obs, nav, at, seconds, delta, bands, expected):
    text = texts[obs]
    start = dt.datetime.combine(text.start().date(), dt.time.fromisoformat(at))
    r = analyse(tmp_path, text.inject(start, seconds, delta, bands), "day.rnx" if text.version >= 3 else "day.21o", nav)
    events = r.interference_events()
    assert [(e["kind"], e["bands"], e["start"]) for e in events] == [("cn0_drop", expected, f"{start:%Y-%m-%dT%H:%M:%S}.000Z")]
    e = events[0]
    end = start + dt.timedelta(seconds=seconds - text.interval)
    assert e["end"] == f"{end:%Y-%m-%dT%H:%M:%S}.000Z" and e["duration_s"] == pytest.approx(seconds, abs=1e-3)
    assert e["depth_db"] == pytest.approx(delta, abs=1.0)
    assert 0 < e["signals_affected"] <= e["signals_tracked"] and e["signals_affected"] >= 0.8 * e["signals_tracked"]
    assert r.interference_verdict == "interference"


def test_lost_signals_are_gaps_inside_passes(tmp_path, texts):
    text = texts["zimm0010.21o"]
    clean = q.analyze_cn0(str(DATA_DIR / "zimm0010.21o"), str(DATA_DIR / "brdc0010.21n")).health()
    start = dt.datetime.combine(text.start().date(), dt.time(9, 0))
    lost = analyse(tmp_path, text.inject(start, 120, 60.0, None), "day.21o", "brdc0010.21n").health()
    added = lost["in_pass_gap_epochs"] - clean["in_pass_gap_epochs"]
    assert added % 4 == 0 and added >= 4 * 6  # four epochs for every satellite tracked through
    assert lost["completeness_percent"] < clean["completeness_percent"]


def test_flattened_constellation_is_possible_spoofing(tmp_path, texts):
    text = texts[ESBC]
    start = dt.datetime.combine(text.start().date(), dt.time(15, 0))
    r = analyse(tmp_path, text.flatten(start, 900, "G", 45.0, random.Random(3)), "day.rnx", None)
    kinds = {e["kind"] for e in r.interference_events() if e["start"].startswith(f"{start:%Y-%m-%dT%H}")}
    assert "cn0_flattening" in kinds and r.interference_verdict == "possible_spoofing"
