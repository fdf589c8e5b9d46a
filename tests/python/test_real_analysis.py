"""analyze_cn0 on the real observation files of the shared data folder, alone and with the
navigation files of the same day: a complete, valid and repeatable document, the file figures of
the data folder's README, and the visibility comparison limited to the constellations that the
navigation data covers."""

from __future__ import annotations

import hashlib
import json
import os
import subprocess
import sys

import pytest

import quorsin_cn0 as q
from analysis_files import check_document_shape
from conftest import DATA_DIR, NO_DATA_REASON, have_data

pytestmark = pytest.mark.skipif(not have_data(), reason=NO_DATA_REASON)

# Plain observation files: (name, RINEX version, epochs, satellites per letter, latitude,
# longitude, navigation files of the same day), from the data folder's README.
FILES = [
    ("matrtklib_20240624_static_base.obs", "3.04", 301, {"G": 12, "R": 9, "E": 9, "C": 25, "J": 2},
     35.135, 136.978, ["matrtklib_20240624_static_base.nav"]),
    ("matrtklib_20230711_base_100s.obs", "3.03", 100, {"G": 11, "R": 7, "E": 7, "J": 4, "C": 8},
     35.135, 136.978, ["matrtklib_20230711_base.nav"]),
    ("SEPT265G.21O", "3.04", 360, {"G": 8, "E": 8, "J": 4}, 35.339, 139.522, ["SEPT2650.21P"]),
    ("3034265G.21O", "3.04", 360, {"G": 8, "E": 6, "J": 4}, 35.327, 139.466, ["SEPT2650.21P"]),
    ("GEOP092I.24o", "3.03", 599, {"G": 9, "R": 8, "E": 10, "C": 9}, 48.873, 2.246,
     ["CORD00ARG_R_20240920000_01D_MN.rnx", "HERT00GBR_R_20240920000_01D_GN.rnx"]),
    ("CEDA00USA_R_20182100000_23H_15S_MO.rnx", "3.03", 4675, {"E": 15, "R": 4}, 40.681, -112.860,
     ["ELKO00USA_R_20182100000_01D_MN.rnx"]),
    ("TLSE00FRA_R_20230010000_10S_01S_MO.rnx", "3.04", 11, {"G": 11, "R": 9, "E": 9, "C": 16, "S": 5, "I": 2},
     43.561, 1.481, ["BRDC00IGS_R_20230010000_01D_MN.rnx"]),
    ("zimm0010.21o", "2.11", 2880, {"G": 31}, 46.877, 7.465, ["brdc0010.21n"]),
    ("delf0010.21o", "2.11", 105, {"G": 14, "R": 10}, 51.986, 4.388, ["brdc0010.21n"]),
    ("slac1180.21o", "2.11", 241, {"G": 13, "R": 9, "E": 8}, 37.417, -122.204, ["brdc1180.21n"]),
    ("tlse001b.23o", "2.11", 10, {"G": 10, "R": 10, "E": 9, "S": 4}, 43.561, 1.481,
     ["BRDC00IGS_R_20230010000_01D_MN.rnx"]),
]
NAMES = {"G": "GPS", "R": "GLONASS", "E": "Galileo", "C": "BeiDou", "J": "QZSS", "S": "SBAS", "I": "IRNSS"}
CASES = [(f[0], None) for f in FILES] + [(f[0], nav) for f in FILES for nav in f[6]]


def path(name: str) -> str:
    return str(DATA_DIR / name)


def case_id(case) -> str:
    obs, nav = case
    return obs if nav is None else f"{obs}+{nav}"


# Each analysis once per session: the tests below read the same results.
_RESULTS: dict = {}


def analysed(obs: str, nav: str | None):
    key = (obs, nav)
    if key not in _RESULTS:
        _RESULTS[key] = q.analyze_cn0(path(obs), None if nav is None else path(nav))
    return _RESULTS[key]


def facts(obs: str):
    return next(f for f in FILES if f[0] == obs)


def is_plain_observation_file(name: str) -> bool:
    """.obs, RINEX 3 "_MO.rnx" and RINEX 2 ".YYo" names; Compact RINEX (.crx, .YYd) and gzip are not."""
    suffix = name.rsplit(".", 1)[-1]
    return (suffix == "obs" or name.endswith("_MO.rnx")
            or (len(suffix) == 3 and suffix[:2].isdigit() and suffix[2] in "oO"))


def test_every_plain_observation_file_is_covered():
    assert {p.name for p in DATA_DIR.iterdir() if is_plain_observation_file(p.name)} == {f[0] for f in FILES}


@pytest.mark.parametrize("case", CASES, ids=case_id)
def test_document_is_complete_valid_and_repeatable(case):
    obs, nav = case
    r = analysed(*case)
    compact = r.to_json()
    doc = json.loads(compact)
    check_document_shape(doc)
    assert json.loads(r.to_json_pretty()) == doc
    # A second analysis of the same files writes the same bytes.
    again = q.analyze_cn0(path(obs), None if nav is None else path(nav))
    assert again.to_json() == compact
    assert again.to_json_pretty() == r.to_json_pretty()
    # Every accepted value lies in the window analyze_cn0 uses.
    assert doc["summary"]["total_observations"] > 0
    assert 0.0 <= doc["summary"]["min_cn0"] <= doc["summary"]["mean_cn0"] <= doc["summary"]["max_cn0"] <= 60.0
    assert sum(s["observation_count"] for s in doc["satellite_stats"].values()) == doc["summary"]["total_observations"]
    assert doc["quality_score"]["grade"] in ("A", "B", "C", "D", "F")
    assert (doc["visibility"] is None) == (nav is None)


@pytest.mark.parametrize("case", CASES, ids=case_id)
def test_every_attribute_and_method_reads(case):
    r = analysed(*case)
    for name in dir(q.AnalysisResult):
        if name.startswith("_"):
            continue
        value = getattr(r, name)
        if callable(value):
            value = value("GPS") if name == "get_constellation_summary" else value()
        assert value is not None or name == "get_constellation_summary"
    for verdict in (r.jamming_detected, r.spoofing_detected, r.interference_detected,
                    r.has_visibility_prediction, r.quality_score.post_processing_suitable):
        assert type(verdict) is bool
    assert r.quality_grade in ("A", "B", "C", "D", "F")
    assert r.quality_grade == r.quality_score.rating[0]
    assert repr(r).startswith(f"AnalysisResult(observations={r.total_observations}, ")


@pytest.mark.parametrize("name", [f[0] for f in FILES])
def test_file_figures(name):
    _, version, epochs, sats, lat, lon, _ = facts(name)
    r = analysed(name, None)
    assert r.filename == name
    assert r.rinex_version == version
    assert r.total_epochs == epochs
    assert r.total_satellites == sum(sats.values())
    assert sorted(r.constellations) == sorted(NAMES[letter] for letter in sats)
    assert r.position_lat == pytest.approx(lat, abs=0.001)
    assert r.position_lon == pytest.approx(lon, abs=0.001)
    doc = json.loads(r.to_json())
    for letter, count in sats.items():
        assert doc["constellation_stats"][NAMES[letter]]["satellite_count"] == count
    # Without navigation data every sample stands at 45 degrees in one sky cell.
    assert {s["mean_elevation"] for s in doc["satellite_stats"].values()} == {45.0}
    assert r.skyplot_coverage == pytest.approx(100 / 648)
    # The default selection: the S values of GPS, GLONASS, Galileo and BeiDou satellites.
    stats = q.read_rinex_obs(path(name)).snr_stats_by_satellite()
    assert r.total_observations == sum(int(s["valid_count"]) for sat, s in stats.items() if sat[0] in "GREC")


@pytest.mark.parametrize("case", [c for c in CASES if c[1] is not None], ids=case_id)
def test_prediction_with_navigation_data(case):
    obs, nav = case
    r = analysed(*case)
    assert r.has_visibility_prediction
    assert r.visibility_prediction_source == f"BRDC Navigation ({q.read_navigation(path(nav)).satellite_count} satellites)"
    assert r.visibility_mean_predicted > 0
    assert 0.0 < r.visibility_confirmation_rate <= 100.0
    doc = json.loads(r.to_json())
    assert list(doc["visibility"]["by_system"]) == ["GPS", "GLONASS", "Galileo", "BeiDou"]
    for sv in doc["visibility"]["by_system"].values():
        assert 0.0 <= sv["confirmation_rate"] <= 100.0
    # Samples now carry look angles: elevations above the mask, not all at 45 degrees.
    elevations = [s["mean_elevation"] for s in doc["satellite_stats"].values()]
    assert min(elevations) >= 5.0
    assert len(set(elevations)) > 1


def unexpected_anywhere(r) -> set[str]:
    doc = json.loads(r.to_json())
    v = doc["visibility"]
    found = set(v["frequently_unexpected"])
    for sv in v["by_system"].values():
        found |= set(sv["unexpected_satellites"])
    for anomaly in v["anomalies"]:
        if anomaly["anomaly_type"] == "unexpected_satellites":
            found |= set(anomaly["affected_satellites"])
    return found


def test_gps_only_navigation_compares_gps_only():
    # HERT holds GPS ephemerides only: the Galileo, GLONASS and BeiDou satellites of the file are
    # neither observed nor unexpected, but keep their C/N0 statistics.
    r = analysed("GEOP092I.24o", "HERT00GBR_R_20240920000_01D_GN.rnx")
    assert {s[0] for s in unexpected_anywhere(r)} <= {"G"}
    assert r.spoofing_detected is False
    debug = r.visibility_debug()
    for name in ("GLONASS", "Galileo", "BeiDou"):
        assert debug[name]["predicted"] == "0"
        assert debug[name]["observed"] == "0"
        assert int(r.get_constellation_summary(name)["observation_count"]) > 0
    # At most the 9 GPS satellites of the file are seen per epoch.
    assert r.visibility_mean_observed <= 9.0
    assert int(debug["GPS"]["observed"]) <= 9


def test_sbas_and_irnss_are_never_unexpected():
    # The IGS file has SBAS and IRNSS records, which the navigation reader passes over.
    r = q.analyze_cn0(path("TLSE00FRA_R_20230010000_10S_01S_MO.rnx"), path("BRDC00IGS_R_20230010000_01D_MN.rnx"),
                      systems=["G", "R", "E", "C", "J", "S", "I"])
    assert not {s for s in unexpected_anywhere(r) if s[0] in "SI"}
    # Their values are still analysed: SBAS by name, IRNSS samples as "Unknown".
    assert int(r.get_constellation_summary("SBAS")["observation_count"]) > 0
    assert int(r.get_constellation_summary("Unknown")["observation_count"]) > 0
    assert r.get_constellation_summary("IRNSS")["satellite_count"] == "2"


def test_two_character_code_keeps_signal_strengths_plausible():
    # Septentrio's "X1" channel number leads every code list of this file.
    obs = q.read_rinex_obs(path("matrtklib_20240624_static_base.obs"))
    assert all(codes[0] == "X1" for codes in obs.obs_types_by_system().values())
    stats = obs.snr_stats_by_satellite()
    assert len(stats) == 57
    for sat, s in stats.items():
        assert 15.0 < s["mean_snr"] < 60.0, sat
    r = analysed("matrtklib_20240624_static_base.obs", None)
    for sat, s in json.loads(r.to_json())["satellite_stats"].items():
        assert 15.0 < s["mean_cn0"] < 60.0, sat
    assert 20.0 <= r.mean_cn0 <= 60.0


def test_same_document_in_another_process():
    # Nothing in the document depends on the process: hash seeds, addresses or allocation order.
    obs, nav = "TLSE00FRA_R_20230010000_10S_01S_MO.rnx", "BRDC00IGS_R_20230010000_01D_MN.rnx"
    here = hashlib.sha256(analysed(obs, nav).to_json().encode()).hexdigest()
    script = ("import hashlib, sys, quorsin_cn0 as q; "
              "print(hashlib.sha256(q.analyze_cn0(sys.argv[1], sys.argv[2]).to_json().encode()).hexdigest())")
    for seed in ("1", "2"):
        out = subprocess.run([sys.executable, "-c", script, path(obs), path(nav)], check=True, capture_output=True,
                             text=True, env={**os.environ, "PYTHONHASHSEED": seed}).stdout.strip()
        assert out == here
