"""Analyses of small files built here, whose every figure follows by hand: a result's values, views and JSON text,
sample filters, C/N0 anomalies, visibility, files without samples, AnalysisConfig, CN0Analyzer and its failures."""

from __future__ import annotations

import json
import statistics

import pytest

import quorsin_cn0 as q
from conftest import RECEIVER, central_angle, check_document_shape, header_line, nav_text, obs_text, rinex2_text, stamp

# Three epochs 20 s apart. GPS: G01 42, 44, 46 and G02 48 three times; Galileo: E01 39.5 and 40.5
# (absent at the middle epoch: one data gap) and E02 39 three times. Eleven samples, mean 43.0.
HAND = obs_text([
    (0, [("G01", [42.0]), ("G02", [48.0]), ("E01", [39.5]), ("E02", [39.0])]),
    (20, [("G01", [44.0]), ("G02", [48.0]), ("E02", [39.0])]),
    (40, [("G01", [46.0]), ("G02", [48.0]), ("E01", [40.5]), ("E02", [39.0])]),
], header=header_line("HAND", "MARKER NAME") + header_line("    20.000", "INTERVAL"))
# Twelve epochs 5 s apart of G01, G02, E01 at 45; at the seventh G01 and E01 fall to 21. Each
# baseline is then 43 with a deviation of sqrt(44): the drop of 22 exceeds 3 x sqrt(44) = 19.9.
DROP = obs_text([(5.0 * k, [("G01", [21.0 if k == 6 else 45.0]), ("G02", [45.0]), ("E01", [21.0 if k == 6 else 45.0])])
                 for k in range(12)])
# Five satellites in view at every epoch; seen: all, G01 only, G04 and E01, all.
EVERYONE = [("G01", [45.0]), ("G02", [45.0]), ("G03", [45.0]), ("G04", [45.0]), ("E01", [44.0])]
VISIBLE = obs_text([(0, EVERYONE), (30, EVERYONE[:1]), (60, EVERYONE[3:]), (90, EVERYONE)], position=RECEIVER)
VISIBLE_NAV = nav_text([("G01", -15.0), ("G02", -5.0), ("G03", 5.0), ("G04", 15.0), ("E01", 25.0)])


def test_hand_checked_result(write):
    r = q.analyze_cn0(write("hand.24o", HAND))
    assert repr(r) == "AnalysisResult(observations=11, satellites=4, epochs=3, mean_cn0=43.0, anomalies=0)"
    assert (r.filename, r.rinex_version, r.station_name, r.receiver_type, r.interval) == ("hand.24o", "3.04", "HAND", "", 20.0)
    assert (r.start_time, r.end_time, r.duration_hours) == (stamp(0), stamp(40), pytest.approx(40 / 3600, abs=1e-7))
    assert (r.total_observations, r.total_satellites, r.total_epochs, r.epoch_count) == (11, 4, 3, 3)
    assert r.constellations == r.get_systems() == ["GPS", "Galileo"]
    assert (r.mean_cn0, r.avg_cn0, r.min_cn0, r.max_cn0, r.anomaly_count, r.critical_count) == (43.0, 43.0, 39.0, 48.0, 0, 0)
    assert (r.skyplot_coverage, r.skyplot_trace_count) == (pytest.approx(100 / 648), 4)
    means = [(42 + 48 + 39.5 + 39) / 4, (44 + 48 + 39) / 3, (46 + 48 + 40.5 + 39) / 4]
    assert r.get_timestamps() == [stamp(0), stamp(20), stamp(40)]
    assert r.get_timeseries_cn0() == r.get_mean_cn0_series() == pytest.approx(means)
    assert r.get_satellite_count_series() == [4, 3, 4]
    assert r.get_timeseries_data() == {"hours": pytest.approx([0.0, 20 / 3600, 40 / 3600]),
                                       "mean_cn0": pytest.approx(means), "satellite_count": [4.0, 3.0, 4.0]}
    assert r.cn0_std_dev == pytest.approx(statistics.pstdev(means))
    # Assessment: C/N0 (43 - 30) / 15; one sky cell of 648; no anomaly.
    doc = json.loads(r.to_json())
    assert doc["quality_score"] == {"overall": pytest.approx(100 / 648 * 0.25 + 13 / 15 * 100 * 0.35 + 100 * 0.4),
                                    "cn0_score": pytest.approx(13 / 15 * 100), "coverage_score": pytest.approx(100 / 648),
                                    "consistency_score": 100.0, "grade": "C",
                                    "interpretation": "Fair GNSS signal quality with some issues"}
    assert r.summary == "Fair GNSS signal quality with some issues"
    # Score view: availability 4 of 22 expected, one gap in 2 x 3 steps, deviations below 2 dB,
    # two constellations.
    s = r.quality_score
    assert (s.availability, s.continuity, s.stability, s.diversity, s.cn0_quality) == pytest.approx(
        (4 / 22 * 100, 5 / 6 * 100, 100.0, 50.0, 13 / 15 * 100))
    assert s.overall == r.score == pytest.approx(4 / 22 * 25 + 13 / 15 * 30 + 5 / 6 * 20 + 15 + 5)
    assert (s.rating, s.post_processing_suitable, r.quality_grade) == ("D - Poor", True, "D")
    assert repr(s) == "QualityScore(overall=67, rating='D - Poor')"
    keys = ("satellite_count", "satellites_expected", "observation_count", "mean_cn0", "min_cn0", "max_cn0", "std_cn0",
            "availability_ratio", "data_gaps")
    assert [r.get_constellation_summary("GPS")[k] for k in keys] == ["2", "12", "6", "46.0", "42.0", "48.0", "2.31", "0.167", "0"]
    assert [r.get_constellation_summary(name="Galileo")[k] for k in keys] == ["2", "10", "5", "39.4", "39.0", "40.5", "0.58", "0.200", "1"]
    assert [r.get_constellation_summary(n) for n in ("gps", "G", "GLONASS", "", "GPS ")] == [None] * 5
    assert r.get_satellite_ids() == [t["satellite"] for t in r.get_skyplot_data()] == ["G01", "G02", "E01", "E02"]
    assert [r.get_skyplot_data()[2][k] for k in ("system", "azimuths", "elevations", "cn0_values")] == ["Galileo", "0,0", "45,45", "39.5,40.5"]
    assert doc["satellite_stats"]["G01"] == {"satellite": "G01", "system": "GPS", "observation_count": 3,
                                             "mean_cn0": 44.0, "min_cn0": 42.0, "max_cn0": 46.0,
                                             "std_cn0": pytest.approx(statistics.pstdev([42, 44, 46])), "mean_elevation": 45.0}
    # Without navigation data there is no visibility part and no anomaly.
    assert (r.has_visibility_prediction, r.visibility_prediction_source, r.visibility_anomaly_count) == (False, "None", 0)
    assert [r.visibility_mean_predicted, r.visibility_confirmation_rate, r.visibility_mean_missing] == [0.0] * 3
    assert r.visibility_debug() == {} and r.get_anomalies() == [] and r.get_frequently_missing_satellites() == []
    assert (r.jamming_detected, r.spoofing_detected, r.interference_detected) == (False, False, False)
    # The document's text in both layouts.
    compact, pretty = r.to_json(), r.to_json_pretty()
    assert compact.startswith('{"file_info":{"filename":"hand.24o","marker_name":"HAND",')
    assert '"mean_cn0":43.0,"min_cn0":39.0,"max_cn0":48.0,' in compact and '"anomalies":[],' in compact
    assert compact.endswith('"visibility":null,"spoofing_unexpected_threshold":0.4,"spoofing_min_unexpected_count":8.0}')
    assert not any(c.isspace() for c in "".join(compact.split('"')[::2]))
    assert pretty.startswith('{\n  "file_info": {\n    "filename": "hand.24o",\n')
    assert pretty.endswith('\n  "visibility": null,\n  "spoofing_unexpected_threshold": 0.4,\n'
                           '  "spoofing_min_unexpected_count": 8.0\n}')
    assert json.loads(pretty) == doc
    check_document_shape(doc)


def test_cn0_drop_is_a_critical_anomaly_and_jamming(write):
    r = q.analyze_cn0(write("drop.24o", DROP))
    when = stamp(30.0)
    assert r.get_anomalies() == [{
        "start_time": when, "end_time": when, "severity": "critical", "anomaly_type": "Multi-system CN0 drop",
        "description": "22.0 dB-Hz drop affecting 2 satellite(s)", "cn0_drop": "22",
        "affected_satellites": "G01,E01", "affected_systems": "GPS,Galileo"}]
    assert (r.get_anomaly_timestamps(), r.get_anomaly_severities(), r.get_anomaly_cn0_drops()) == ([when], ["critical"], [22.0])
    assert repr(r) == "AnalysisResult(observations=36, satellites=3, epochs=12, mean_cn0=43.7, anomalies=1)"
    # One critical anomaly in 12 steps (> 5 %) over two constellations: jamming. Interference
    # needs three anomalies; spoofing a visibility prediction.
    assert (r.critical_count, r.jamming_detected, r.interference_detected, r.spoofing_detected) == (1, True, False, False)
    doc = json.loads(r.to_json())
    check_document_shape(doc)
    assert doc["anomalies"][0]["cn0_drop"] == 22.0
    assert (doc["summary"]["critical_count"], doc["summary"]["high_count"], doc["summary"]["low_count"]) == (1, 0, 0)
    # Thresholds do not reach the one-call analysis, but the configuration's do reach its analyzer.
    assert q.CN0Analyzer(q.AnalysisConfig(anomaly_sensitivity=0.0, anomaly_threshold_low=30.0,
                                          anomaly_threshold_high=40.0)).analyze_file(write("d.24o", DROP)).anomaly_count == 0


def test_visibility_views(write):
    r = q.analyze_cn0(write("vis.24o", VISIBLE), write("vis.24n", VISIBLE_NAV))
    assert (r.has_visibility_prediction, r.visibility_prediction_source) == (True, "BRDC Navigation (5 satellites)")
    assert (r.visibility_mean_predicted, r.visibility_mean_observed, r.visibility_mean_missing,
            r.visibility_mean_unexpected, r.visibility_confirmation_rate) == (5.0, 3.25, 1.75, 0.0, pytest.approx(65.0))
    # Missing in more than a quarter of the four epochs: G02 and G03 (twice each).
    assert (sorted(r.get_frequently_missing_satellites()), r.get_frequently_unexpected_satellites(), r.visibility_anomaly_count,
            r.get_visibility_anomaly_types()) == (["G02", "G03"], [], 1, ["missing_satellites"])
    assert r.get_visibility_anomaly_descriptions() == ["5 satellites missing for 30s - possible jamming or obstruction"]
    debug = r.visibility_debug()
    assert (list(debug), debug["GPS"]["missing_sats"], debug["Galileo"]["predicted"], debug["_overall"]["confirmation_rate"]) == (
        ["GPS", "GLONASS", "Galileo", "BeiDou", "_overall"], "G02, G03", "1", "65.0%")
    doc = json.loads(r.to_json())
    check_document_shape(doc)
    assert [(a["anomaly_type"], a["duration_seconds"]) for a in doc["visibility"]["anomalies"]] == [("missing_satellites", pytest.approx(30.0, abs=1e-5))]


def test_unexpected_satellites_and_constellations_without_ephemerides(write):
    # GPS-only navigation data: G01, G02, G03 predicted; G02 never seen, G09 seen without an
    # ephemeris. Galileo, SBAS and IRNSS have no ephemeris at all and are not compared.
    nav = write("gps.24n", nav_text([("G01", 0.0), ("G02", 15.0), ("G03", -15.0), ("G04", 180.0)]))
    sats = [("G01", [45.0]), ("G03", [44.0]), ("G09", [30.0]), ("E05", [40.0]), ("S20", [39.0]), ("I03", [38.0])]
    path = write("vis.24o", obs_text([(30.0 * k, sats) for k in range(4)], position=RECEIVER))
    r = q.analyze_cn0(path, nav, systems=["G", "E", "S", "I"])
    assert (r.visibility_mean_predicted, r.visibility_mean_observed, r.visibility_mean_missing,
            r.visibility_mean_unexpected, r.visibility_confirmation_rate) == (3.0, 3.0, 1.0, 1.0, pytest.approx(200 / 3))
    assert (r.get_frequently_missing_satellites(), r.get_frequently_unexpected_satellites()) == (["G02"], ["G09"])
    assert (r.visibility_anomaly_count, r.spoofing_detected) == (0, False)
    by_system = json.loads(r.to_json())["visibility"]["by_system"]
    assert by_system["GPS"] == {"system": "GPS", "predicted_satellites": 3, "observed_satellites": 3, "confirmation_rate": 100.0,
                                "missing_satellites": ["G02"], "unexpected_satellites": ["G09"]}
    assert [by_system["Galileo"]["predicted_satellites"], r.visibility_debug()["_overall"]["confirmation_rate"]] == [0, "66.7%"]
    assert [r.get_constellation_summary(n)["observation_count"] for n in ("Galileo", "SBAS", "Unknown")] == ["4"] * 3
    assert [r.get_constellation_summary(n)["satellites_expected"] for n in ("GPS", "Galileo")] == ["3", "10"]
    # Without a receiver position the orbits place nothing: no prediction, same assessment.
    no_position = q.analyze_cn0(write("nopos.24o", obs_text([(30.0 * k, sats) for k in range(4)])), nav)
    assert (no_position.has_visibility_prediction, no_position.visibility_prediction_source) == (False, "")
    doc = json.loads(no_position.to_json())
    assert [doc["visibility"][k] for k in ("confirmation_rate", "mean_predicted", "frequently_missing", "by_system")] == [0.0, 0.0, [], {}]
    assert doc["quality_score"] == json.loads(q.analyze_cn0(write("nopos.24o", obs_text(
        [(30.0 * k, sats) for k in range(4)]))).to_json())["quality_score"]


def test_elevation_mask_and_look_angles(write):
    # G01 overhead, G02 at 30 degrees in the east, G03 at 8 in the west, G04 without ephemeris (45).
    nav = write("gps.24n", nav_text([("G01", 0.0), ("G02", central_angle(30.0)), ("G03", -central_angle(8.0))]))
    epochs = [(0, [("G01", [50.0]), ("G02", [40.0]), ("G03", [30.0]), ("G04", [35.0])])]
    path = write("mask.24o", obs_text(epochs, position=RECEIVER))
    for mask, ids in [(5.0, ["G01", "G02", "G03", "G04"]), (10, ["G01", "G02", "G04"]), (40.0, ["G01", "G04"]),
                      (50.0, ["G01"])]:
        assert q.analyze_cn0(path, nav, min_elevation=mask).get_satellite_ids() == ids
    traces = {t["satellite"]: t for t in q.analyze_cn0(path, nav).get_skyplot_data()}
    assert [float(traces[s][k]) for s, k in [("G02", "elevations"), ("G02", "azimuths"), ("G03", "azimuths")]] == \
        pytest.approx([30.0, 90.0, 270.0], abs=1e-6)
    assert (traces["G04"]["elevations"], traces["G04"]["azimuths"]) == ("45", "0")
    r = q.analyze_cn0(path, nav)
    assert (r.position_lat, r.position_lon) == (pytest.approx(0.0, abs=1e-9), pytest.approx(0.0, abs=1e-9))
    assert json.loads(r.to_json())["file_info"]["position_height"] == pytest.approx(0.0, abs=1e-3)


def test_sample_filters_and_file_information(write):
    simple = write("deep/simple.24o", obs_text([(0, [("G01", [45.0]), ("E05", [40.0]), ("J02", [38.0])]),
                                                (30, [("G01", [44.0]), ("E05", [41.0])])]))
    # Without navigation every sample stands at 45 degrees; QZSS is not selected by default.
    for kwargs, ids in [({}, ["G01", "E05"]), ({"min_elevation": 45}, ["G01", "E05"]), ({"min_elevation": 46}, []),
                        ({"min_elevation": True}, ["G01", "E05"]), ({"systems": ["Galileo"]}, ["G01"]),
                        ({"systems": ["E", "", "J"]}, ["E05", "J02"]), ({"systems": ("E",)}, ["E05"]),
                        ({"systems": ["e"]}, []), ({"systems": []}, [])]:
        r = q.analyze_cn0(simple, **kwargs)
        assert (r.get_satellite_ids(), r.total_observations, r.total_satellites) == (ids, 2 * len(ids) - ("J02" in ids), 3)
    assert q.analyze_cn0(obs_path=simple, nav_path=None, min_elevation=5.0, systems=None).to_json() == q.analyze_cn0(simple).to_json()
    # The window 0 to 60 dB-Hz takes both ends and refuses NaN and negative values.
    window = q.analyze_cn0(write("w.24o", obs_text([(0, [("G01", [0.001, 60.0, 60.001, "nan", -3.0, 25.25])])],
                                                  codes={"G": ["S1C", "S1W", "S2W", "S2L", "S5Q", "S7Q"]})))
    assert (window.total_observations, window.min_cn0, window.max_cn0) == (3, 0.001, 60.0)
    # A receiver's channel number "X1" between the codes keeps the S field aligned.
    x1 = q.analyze_cn0(write("x1.24o", obs_text([(0, [("G01", [2.2e7, 7.0, 45.5]), ("G02", [2.3e7, 11.0, 38.5])])],
                                                codes={"G": ["C1C", "X1", "S1C"]})))
    assert (x1.total_observations, x1.min_cn0, x1.max_cn0) == (2, 38.5, 45.5)
    header = (header_line("SITE", "MARKER NAME") + header_line("4711".ljust(20) + "SEPT POLARX5".ljust(20) + "5.3.2", "REC # / TYPE")
              + header_line("0815".ljust(20) + "TRM59800.00     SCIS", "ANT # / TYPE"))
    info = q.analyze_cn0(write("x/site.24o", obs_text([(3600, [("G01", [45.0])]), (0, [("G01", [44.0])])],
                                                      header=header, version="3.02")))
    assert (info.filename, info.station_name, info.receiver_type, info.antenna_type, info.rinex_version) == (
        "site.24o", "SITE", "SEPT POLARX5", "TRM59800.00     SCIS", "3.02")
    # The last epoch earlier than the first: a negative duration.
    assert (info.start_time, info.end_time, info.duration_hours) == (stamp(3600), stamp(0), pytest.approx(-1.0, abs=1e-7))
    v2 = q.analyze_cn0(write("c.24o", rinex2_text([(0, [("G01", [45.0]), ("R05", [40.0])])], ["S1"])))
    assert (v2.rinex_version, v2.mean_cn0, v2.constellations) == ("2.11", 42.5, ["GPS", "GLONASS"])


def test_file_without_accepted_samples(write):
    text = obs_text([(0, [("G01", [2.2e7, None]), ("E05", [None, 75.0])]), (30, [("G01", [2.2e7, 61.0]), ("J02", [None, 40.0])])],
                    codes={"G": ["C1C", "S1C"], "E": ["C1C", "S1C"], "J": ["C1C", "S1C"]}, position=RECEIVER)
    path, nav = write("quiet.24o", text), write("gps.24n", nav_text([("G01", 0.0), ("E05", 10.0)]))
    config = q.AnalysisConfig(spoofing_unexpected_threshold=0.9, spoofing_min_unexpected_count=2.0)
    for r in (q.analyze_cn0(path), q.analyze_cn0(path, nav), q.CN0Analyzer(config).analyze_with_nav(path, nav)):
        assert (r.total_epochs, r.total_satellites, r.total_observations) == (2, 3, 0)
        assert r.constellations == ["GPS", "Galileo", "QZSS"]
        assert (r.mean_cn0, r.min_cn0, r.max_cn0, r.quality_grade, r.summary) == (0.0, 0.0, 0.0, "N/A", "No data")
        assert (r.start_time, r.end_time, r.has_visibility_prediction, r.visibility_prediction_source) == (
            stamp(0), stamp(30), False, "None")
        assert r.get_timestamps() == [] and r.visibility_debug() == {}
        doc = json.loads(r.to_json())
        check_document_shape(doc)
        assert doc["quality_score"] == {"overall": 0.0, "cn0_score": 0.0, "coverage_score": 0.0,
                                        "consistency_score": 0.0, "grade": "N/A", "interpretation": "No data"}
        assert (doc["constellation_stats"], doc["visibility"]) == ({}, None)
        # The spoofing settings are copied only into results with samples.
        assert (doc["spoofing_unexpected_threshold"], doc["spoofing_min_unexpected_count"]) == (0.4, 8.0)
        assert doc["heatmap"] == {"azimuth_bins": [], "elevation_bins": [], "cn0_matrix": [], "count_matrix": []}
        s = r.quality_score
        assert (s.availability, s.stability, s.continuity, s.diversity, s.cn0_quality) == (50.0, 62.5, 100.0, 75.0, 0.0)
        assert (s.overall, s.rating, s.post_processing_suitable) == (pytest.approx(50 * 0.25 + 20 + 62.5 * 0.15 + 7.5),
                                                                     "F - Very Poor", False)
    doc = json.loads(q.CN0Analyzer(config).analyze_file(write("hand.24o", HAND)).to_json())
    assert (doc["spoofing_unexpected_threshold"], doc["spoofing_min_unexpected_count"]) == (0.9, 2.0)


# --- AnalysisConfig ----------------------------------------------------------------------------


def test_config_defaults_and_copies():
    c = q.AnalysisConfig()
    assert [c.min_elevation, c.min_cn0, c.max_cn0, c.time_bin_seconds, c.systems, c.anomaly_threshold_critical, c.detect_anomalies,
            c.anomaly_sensitivity, c.interference_threshold_db, c.verbose, c.nav_file, c.spoofing_unexpected_threshold,
            c.spoofing_min_unexpected_count] == [5.0, 0.0, 60.0, 60, None, 10.0, True, 0.5, 6.0, False, None, 0.4, 8.0]
    c = q.AnalysisConfig(1, 2, 3, 4, 5, ("R",), 6, 7, 8, False, 0, 9, True, "n", 0.25, 3)
    assert [c.anomaly_threshold_low, c.anomaly_threshold_high, c.systems, c.nav_file, c.spoofing_min_unexpected_count] == [6.0, 7.0, ["R"], "n", 3.0]
    c.systems.clear()
    assert c.systems == ["R"]
    # time_bin is an alias of time_bin_seconds, which wins when given (0 included); both are checked.
    assert [q.AnalysisConfig(**k).time_bin_seconds for k in ({"time_bin": 30}, {"time_bin_seconds": 0, "time_bin": 30})] == [30, 0]
    with pytest.raises(OverflowError, match="^out of range integral type conversion attempted$"):
        q.AnalysisConfig(time_bin_seconds=120, time_bin=-1)


@pytest.mark.parametrize("kwargs, low, high, critical", [
    ({}, 2.25, 4.5, 10.0),  # low and high scaled by 1 - 0.5 * sensitivity, critical never
    ({"anomaly_sensitivity": 0.0}, 3.0, 6.0, 10.0),
    ({"anomaly_sensitivity": 1.0, "anomaly_threshold_low": 4.0, "anomaly_threshold_critical": 12.0}, 2.0, 3.0, 12.0),
    ({"anomaly_sensitivity": 4.0, "anomaly_threshold_high": 8.0}, -3.0, -8.0, 10.0),  # no range is enforced
    ({"anomaly_threshold_low": 8.0, "anomaly_threshold_high": 12.0}, 6.0, 9.0, 10.0),
])
def test_threshold_scaling(kwargs, low, high, critical):
    c = q.AnalysisConfig(**kwargs)
    assert (c.anomaly_threshold_low, c.anomaly_threshold_high, c.anomaly_threshold_critical) == (low, high, critical)


# --- CN0Analyzer -------------------------------------------------------------------------------


def test_entry_points_agree_and_navigation_is_replaced(write):
    path = write("same.24o", obs_text([(30.0 * k, [("G01", [45.0 - k]), ("G02", [40.0 + k]), ("E05", [42.0])])
                                       for k in range(12)], position=RECEIVER))
    nav = write("a.24n", nav_text([("G01", 0.0), ("G02", 20.0), ("E05", -20.0)]))
    other = write("b.24n", nav_text([("G01", 60.0), ("G07", 0.0)]))
    reference, plain = q.analyze_cn0(path, nav).to_json(), q.analyze_cn0(path).to_json()
    with_other = q.analyze_cn0(path, other).to_json()
    assert len({reference, plain, with_other}) == 3
    # from_obs keeps the unscaled thresholds: it matches a configuration of sensitivity 0.
    an = q.CN0Analyzer.from_obs(q.read_rinex_obs(path))
    assert (an.analyze().to_json(), an.set_navigation(q.read_navigation(nav)), an.analyze().to_json()) == (plain, None, reference)
    an.set_navigation(nav_data=q.read_navigation(other))
    assert an.analyze().to_json() == with_other
    assert q.CN0Analyzer(q.AnalysisConfig(anomaly_sensitivity=0.0)).analyze_with_nav(path, nav).to_json() == reference
    assert q.CN0Analyzer(q.AnalysisConfig(anomaly_sensitivity=0.0, nav_file=nav)).analyze_file(path).to_json() == reference
    # analyze_with_nav ignores the configured file; file analyses ignore the analyzer's own data.
    assert q.CN0Analyzer(q.AnalysisConfig(anomaly_sensitivity=0.0, nav_file="/nonexistent.nav")).analyze_with_nav(
        path, nav).to_json() == reference
    assert an.analyze_file(path).to_json() == plain and an.analyze().to_json() == with_other
    # Settings the analysis does not read change nothing.
    settings = {"detect_anomalies": False, "verbose": True, "interference_threshold_db": 1.0, "time_bin": 1}
    assert q.CN0Analyzer(q.AnalysisConfig(anomaly_sensitivity=0.0, **settings)).analyze_with_nav(path, nav).to_json() == reference
    assert q.CN0Analyzer(q.AnalysisConfig(systems=["E"])).analyze_file(path).get_satellite_ids() == ["E05"]
    assert q.CN0Analyzer.from_obs(q.read_rinex_obs(path), systems=["GPS", ""]).analyze().get_satellite_ids() == ["G01", "G02"]
    # from_obs settings hold for file analyses too.
    assert q.CN0Analyzer.from_obs(q.read_rinex_obs(path), min_elevation=50.0).analyze_file(path).total_observations == 0


def test_failures_and_their_order(write, tmp_path):
    good = write("good.24o", HAND)
    bad_obs = write("bad.24o", "     3.04".ljust(60) + "RINEX VERSION / TYPE\n")
    bad_nav = write("bad.24n", "G01 2024 01 07 00 00 00\n")
    missing, missing_nav, a_dir, enoent = str(tmp_path / "m.24o"), str(tmp_path / "m.24n"), str(tmp_path), "No such file or directory (os error 2)"
    an = q.CN0Analyzer(q.AnalysisConfig())
    for call, kind, message in [
        (lambda: q.analyze_cn0(missing, a_dir), OSError, "Cannot read obs file: " + enoent),
        (lambda: q.analyze_cn0(good, missing_nav), OSError, "Cannot read nav file: " + enoent),
        (lambda: q.analyze_cn0(a_dir), OSError, "Cannot read obs file: Is a directory (os error 21)"),
        (lambda: q.analyze_cn0(bad_obs, missing_nav), ValueError, "No END OF HEADER found"),
        (lambda: q.analyze_cn0(good, bad_nav), ValueError, "No END OF HEADER found"),
        (lambda: an.analyze_with_nav(missing, a_dir), OSError, enoent),
        (lambda: q.CN0Analyzer(q.AnalysisConfig(nav_file=a_dir)).analyze_file(missing), OSError, enoent),
        (lambda: an.analyze_with_nav(bad_obs, a_dir), ValueError, "No END OF HEADER found"),
        (lambda: q.CN0Analyzer(q.AnalysisConfig(nav_file=missing_nav)).analyze_file(bad_obs), ValueError, "No END OF HEADER found"),
        (lambda: q.CN0Analyzer(q.AnalysisConfig(nav_file=missing_nav)).analyze_file(good), OSError, enoent),
        (lambda: an.analyze_with_nav(good, a_dir), OSError, "Is a directory (os error 21)"),
        (lambda: q.CN0Analyzer(q.AnalysisConfig(nav_file=bad_nav)).analyze_file(good), ValueError, "No END OF HEADER found"),
    ]:
        with pytest.raises(kind) as e:
            call()
        assert str(e.value) == message
    # A failed analysis leaves the analyzer usable.
    assert an.analyze_with_nav(good, write("n.24n", nav_text([]))).total_observations == 11


def test_navigation_of_another_day_positions_nothing(data_dir):
    # Broadcast records months away from every epoch are no orbit: every sample stays at the
    # stand-in 45 degrees, one sky cell of 648.
    r = q.analyze_cn0(str(data_dir / "zimm0010.21o"), str(data_dir / "brdc1180.21n"))
    assert r.total_observations > 0 and r.skyplot_coverage == pytest.approx(100 / 648)
