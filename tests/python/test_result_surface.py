"""AnalysisResult and QualityScore as Python sees them: the type of every attribute, read-only
objects handing out fresh values, the values of a small hand-checked analysis, the dictionary
views, and the JSON document's shape and text."""

from __future__ import annotations

import json
import math
import pathlib
import statistics

import pytest

import quorsin_cn0 as q
from analysis_files import RECEIVER, check_document_shape, nav_text, obs_text, stamp

# Three epochs 20 s apart (INTERVAL 20). GPS: G01 42, 44, 46 and G02 48 three times; Galileo:
# E01 39.5 and 40.5 (absent at the middle epoch, one data gap) and E02 39 three times.
# Eleven samples, mean 43.0 dB-Hz.
INTERVAL = "    20.000".ljust(60) + "INTERVAL\n"
MARKER = "HAND".ljust(60) + "MARKER NAME\n"
HAND_CHECKED = obs_text([
    (0, [("G01", [42.0]), ("G02", [48.0]), ("E01", [39.5]), ("E02", [39.0])]),
    (20, [("G01", [44.0]), ("G02", [48.0]), ("E02", [39.0])]),
    (40, [("G01", [46.0]), ("G02", [48.0]), ("E01", [40.5]), ("E02", [39.0])]),
], extra_header=MARKER + INTERVAL)

# Twelve epochs 5 s apart of G01, G02, E01 at 45 dB-Hz; at the seventh G01 and E01 fall to 21.
# Each baseline is then 43 dB-Hz with a deviation of sqrt(44): the drop of 22 dB exceeds
# 3 x sqrt(44) = 19.9, so that epoch is one critical anomaly across two constellations.
DROP_EPOCH = 6
WITH_DROP = obs_text([
    (5.0 * k, [("G01", [21.0 if k == DROP_EPOCH else 45.0]), ("G02", [45.0]),
               ("E01", [21.0 if k == DROP_EPOCH else 45.0])])
    for k in range(12)
])


def write(tmp_path: pathlib.Path, name: str, text: str) -> str:
    path = tmp_path / name
    path.write_text(text)
    return str(path)


@pytest.fixture
def result(tmp_path):
    return q.analyze_cn0(write(tmp_path, "hand.24o", HAND_CHECKED))


@pytest.fixture
def dropped(tmp_path):
    return q.analyze_cn0(write(tmp_path, "drop.24o", WITH_DROP))


@pytest.fixture
def with_visibility(tmp_path):
    nav = write(tmp_path, "gps.24n", nav_text([("G01", -15.0), ("G02", -5.0), ("G03", 5.0), ("G04", 15.0),
                                               ("E01", 25.0)]))
    everyone = [("G01", [45.0]), ("G02", [45.0]), ("G03", [45.0]), ("G04", [45.0]), ("E01", [44.0])]
    path = write(tmp_path, "vis.24o", obs_text(
        [(0, everyone), (30, everyone[:1]), (60, everyone[3:]), (90, everyone)], position=RECEIVER))
    return q.analyze_cn0(path, nav)


# --- attributes and methods (their names, docstrings and signatures are checked with the whole
# module surface) --------------------------------------------------------------------------------

ATTRIBUTE_TYPES = {
    str: ["filename", "rinex_version", "station_name", "receiver_type", "antenna_type", "start_time", "end_time",
          "quality_grade", "summary", "visibility_prediction_source"],
    float: ["duration_hours", "interval", "mean_cn0", "avg_cn0", "min_cn0", "max_cn0", "cn0_std_dev", "score",
            "skyplot_coverage", "visibility_confirmation_rate", "visibility_mean_predicted",
            "visibility_mean_observed", "visibility_mean_missing", "visibility_mean_unexpected", "position_lat",
            "position_lon"],
    int: ["total_observations", "total_satellites", "total_epochs", "epoch_count", "anomaly_count",
          "critical_count", "skyplot_trace_count", "visibility_anomaly_count"],
    bool: ["jamming_detected", "spoofing_detected", "interference_detected", "has_visibility_prediction"],
    list: ["constellations"],
}

METHODS = ["to_json", "to_json_pretty", "get_anomalies", "get_constellation_summary", "get_systems",
           "get_timeseries_data", "get_timestamps", "get_timeseries_cn0", "get_mean_cn0_series",
           "get_satellite_count_series", "get_satellite_ids", "get_anomaly_timestamps", "get_anomaly_severities",
           "get_anomaly_cn0_drops", "get_skyplot_data", "get_frequently_missing_satellites",
           "get_frequently_unexpected_satellites", "get_visibility_anomaly_types",
           "get_visibility_anomaly_descriptions", "visibility_debug"]

QUALITY_SCORE_ATTRIBUTES = ["overall", "rating", "cn0_quality", "availability", "continuity", "stability",
                            "diversity", "post_processing_suitable"]


def test_every_attribute_has_its_type(result, with_visibility):
    for r in (result, with_visibility):
        for kind, names in ATTRIBUTE_TYPES.items():
            for name in names:
                assert type(getattr(r, name)) is kind, name
        assert isinstance(r.quality_score, q.QualityScore)
    attributes = {n for n, v in vars(q.AnalysisResult).items() if type(v).__name__ == "getset_descriptor"}
    assert attributes == {n for names in ATTRIBUTE_TYPES.values() for n in names} | {"quality_score"}


def test_read_only(result):
    names = [n for n in dir(q.AnalysisResult) if not n.startswith("_")]
    assert len(names) == 60
    for name in names + ["something_new"]:
        with pytest.raises(AttributeError):
            setattr(result, name, 1)
    score = result.quality_score
    for name in QUALITY_SCORE_ATTRIBUTES + ["something_new"]:
        with pytest.raises(AttributeError):
            setattr(score, name, 1)


def test_methods_take_no_arguments(result):
    for name in METHODS:
        if name == "get_constellation_summary":
            continue
        with pytest.raises(TypeError):
            getattr(result, name)(1)


def test_values_are_fresh_copies(result):
    for getter in (lambda r: r.constellations, lambda r: r.get_systems(), lambda r: r.get_timestamps(),
                   lambda r: r.get_satellite_ids(), lambda r: r.get_timeseries_cn0(),
                   lambda r: r.get_satellite_count_series()):
        first = getter(result)
        first.append("changed")
        assert getter(result)[-1] != "changed"
    data = result.get_timeseries_data()
    data["hours"].clear()
    data["extra"] = 1
    assert len(result.get_timeseries_data()["hours"]) == 3
    summary = result.get_constellation_summary("GPS")
    summary["system"] = "changed"
    assert result.get_constellation_summary("GPS")["system"] == "GPS"
    traces = result.get_skyplot_data()
    traces[0]["satellite"] = "changed"
    assert result.get_skyplot_data()[0]["satellite"] != "changed"
    assert result.quality_score is not result.quality_score


# --- values of the hand-checked file -------------------------------------------------------------


def test_file_and_summary_values(result):
    assert repr(result) == "AnalysisResult(observations=11, satellites=4, epochs=3, mean_cn0=43.0, anomalies=0)"
    assert result.filename == "hand.24o"
    assert result.rinex_version == "3.04"
    assert result.station_name == "HAND"
    assert result.receiver_type == ""
    assert result.interval == 20.0
    assert result.start_time == stamp(0)
    assert result.end_time == stamp(40)
    assert result.duration_hours == pytest.approx(40 / 3600, abs=1e-7)
    assert result.total_observations == 11
    assert result.total_satellites == 4
    assert result.total_epochs == result.epoch_count == 3
    assert result.constellations == result.get_systems() == ["GPS", "Galileo"]
    assert result.mean_cn0 == result.avg_cn0 == 43.0
    assert result.min_cn0 == 39.0
    assert result.max_cn0 == 48.0
    assert result.anomaly_count == 0
    assert result.critical_count == 0
    assert result.position_lat == 0.0 and result.position_lon == 0.0
    assert result.skyplot_coverage == pytest.approx(100 / 648)
    assert result.skyplot_trace_count == 4


def test_time_series_views(result):
    means = [(42 + 48 + 39.5 + 39) / 4, (44 + 48 + 39) / 3, (46 + 48 + 40.5 + 39) / 4]
    assert result.get_timestamps() == [stamp(0), stamp(20), stamp(40)]
    assert result.get_timeseries_cn0() == pytest.approx(means)
    assert result.get_mean_cn0_series() == result.get_timeseries_cn0()
    assert result.get_satellite_count_series() == [4, 3, 4]
    assert all(type(v) is int for v in result.get_satellite_count_series())
    data = result.get_timeseries_data()
    assert list(data) == ["hours", "mean_cn0", "satellite_count"]
    assert data["hours"] == pytest.approx([0.0, 20 / 3600, 40 / 3600])
    assert data["mean_cn0"] == result.get_timeseries_cn0()
    assert data["satellite_count"] == [4.0, 3.0, 4.0]
    assert all(type(v) is float for values in data.values() for v in values)
    # Population deviation of the series (divisor n).
    assert result.cn0_std_dev == pytest.approx(statistics.pstdev(means))


def test_quality_assessment_and_score(result):
    # Assessment: C/N0 (43 - 30) / 15 -> 86.67; one sky cell of 648; no anomaly.
    overall = 100 / 648 * 0.25 + (13 / 15 * 100) * 0.35 + 100 * 0.4
    doc = json.loads(result.to_json())["quality_score"]
    assert doc["overall"] == pytest.approx(overall)
    assert doc["grade"] == "C"
    assert result.summary == "Fair GNSS signal quality with some issues"
    # Score view: availability 4 of 22 expected, continuity 1 gap over 2 x 3, both deviations
    # below 2 dB (stability 100), two constellations (diversity 50).
    score = result.quality_score
    assert score.availability == pytest.approx(4 / 22 * 100)
    assert score.continuity == pytest.approx((1 - 1 / 6) * 100)
    assert score.stability == 100.0
    assert score.diversity == 50.0
    assert score.cn0_quality == pytest.approx(13 / 15 * 100)
    expected = 4 / 22 * 100 * 0.25 + 13 / 15 * 100 * 0.3 + (5 / 6 * 100) * 0.2 + 100 * 0.15 + 50 * 0.1
    assert score.overall == pytest.approx(expected)  # 67.2
    assert score.rating == "D - Poor"
    assert score.post_processing_suitable is True
    assert repr(score) == "QualityScore(overall=67, rating='D - Poor')"
    assert result.score == score.overall
    # The grade letter comes from the score view's rating, not from the assessment's grade.
    assert result.quality_grade == "D"


def test_constellation_summary(result):
    assert result.get_constellation_summary("GPS") == {
        "system": "GPS", "constellation": "GPS", "satellite_count": "2", "satellites_observed": "2",
        "satellites_expected": "12", "observation_count": "6", "mean_cn0": "46.0", "cn0_mean": "46.0",
        "min_cn0": "42.0", "max_cn0": "48.0", "std_cn0": "2.31", "cn0_std": "2.31",
        "availability_ratio": "0.167", "cycle_slips": "0", "data_gaps": "0"}
    galileo = result.get_constellation_summary(name="Galileo")
    assert galileo["mean_cn0"] == "39.4"
    assert galileo["min_cn0"] == "39.0"
    assert galileo["max_cn0"] == "40.5"
    assert galileo["std_cn0"] == "0.58"
    assert galileo["availability_ratio"] == "0.200"
    assert galileo["satellites_expected"] == "10"
    assert galileo["data_gaps"] == "1"
    for name in ("gps", "G", "GLONASS", "Unknown", "", "GPS "):
        assert result.get_constellation_summary(name) is None
    with pytest.raises(TypeError) as e:
        result.get_constellation_summary(3)
    assert str(e.value).startswith("argument 'name': ")
    with pytest.raises(TypeError):
        result.get_constellation_summary()
    with pytest.raises(TypeError):
        result.get_constellation_summary("GPS", "x")


def test_skyplot_data(result):
    traces = result.get_skyplot_data()
    assert [t["satellite"] for t in traces] == ["G01", "G02", "E01", "E02"]
    assert traces[0] == {"satellite": "G01", "system": "GPS", "azimuths": "0,0,0", "elevations": "45,45,45",
                         "cn0_values": "42,44,46"}
    assert traces[2] == {"satellite": "E01", "system": "Galileo", "azimuths": "0,0", "elevations": "45,45",
                         "cn0_values": "39.5,40.5"}
    assert result.get_satellite_ids() == ["G01", "G02", "E01", "E02"]


def test_without_visibility(result):
    assert result.has_visibility_prediction is False
    assert result.visibility_prediction_source == "None"
    for name in ("visibility_confirmation_rate", "visibility_mean_predicted", "visibility_mean_observed",
                 "visibility_mean_missing", "visibility_mean_unexpected"):
        assert getattr(result, name) == 0.0
    assert result.visibility_anomaly_count == 0
    assert result.get_frequently_missing_satellites() == []
    assert result.get_frequently_unexpected_satellites() == []
    assert result.get_visibility_anomaly_types() == []
    assert result.get_visibility_anomaly_descriptions() == []
    assert result.visibility_debug() == {}
    assert result.spoofing_detected is False
    assert result.get_anomalies() == []
    assert result.get_anomaly_timestamps() == []
    assert result.get_anomaly_severities() == []
    assert result.get_anomaly_cn0_drops() == []


def test_anomaly_views_and_verdicts(dropped):
    assert dropped.anomaly_count == 1
    assert dropped.critical_count == 1
    when = stamp(5.0 * DROP_EPOCH)
    assert dropped.get_anomalies() == [{
        "start_time": when, "end_time": when, "severity": "critical", "anomaly_type": "Multi-system CN0 drop",
        "description": "22.0 dB-Hz drop affecting 2 satellite(s)", "cn0_drop": "22",
        "affected_satellites": "G01,E01", "affected_systems": "GPS,Galileo"}]
    assert dropped.get_anomaly_timestamps() == [when]
    assert dropped.get_anomaly_severities() == ["critical"]
    assert dropped.get_anomaly_cn0_drops() == [22.0]
    assert repr(dropped) == "AnalysisResult(observations=36, satellites=3, epochs=12, mean_cn0=43.7, anomalies=1)"
    # One critical anomaly in 12 steps (> 5 %) naming two constellations: jamming. Interference
    # needs three anomalies; spoofing a visibility prediction.
    assert dropped.jamming_detected is True
    assert dropped.interference_detected is False
    assert dropped.spoofing_detected is False


def test_visibility_views(with_visibility):
    # Five satellites predicted at every epoch; seen: 5, 1, 2, 5.
    r = with_visibility
    assert r.has_visibility_prediction is True
    assert r.visibility_prediction_source == "BRDC Navigation (5 satellites)"
    assert r.visibility_mean_predicted == 5.0
    assert r.visibility_mean_observed == 3.25
    assert r.visibility_mean_missing == 1.75
    assert r.visibility_mean_unexpected == 0.0
    assert r.visibility_confirmation_rate == pytest.approx(65.0)
    # Missing in more than a quarter of the four epochs: G02 and G03 (twice each).
    assert sorted(r.get_frequently_missing_satellites()) == ["G02", "G03"]
    assert r.get_frequently_unexpected_satellites() == []
    assert r.visibility_anomaly_count == 1
    assert r.get_visibility_anomaly_types() == ["missing_satellites"]
    assert r.get_visibility_anomaly_descriptions() == [
        "5 satellites missing for 30s - possible jamming or obstruction"]
    debug = r.visibility_debug()
    assert list(debug) == ["GPS", "GLONASS", "Galileo", "BeiDou", "_overall"]
    assert debug["GPS"] == {"predicted": "4", "observed": "4", "confirmation_rate": "100.0%",
                            "missing_count": "2", "missing_sats": "G02, G03",
                            "unexpected_count": "0", "unexpected_sats": ""}
    assert debug["Galileo"]["predicted"] == "1"
    overall = debug["_overall"]
    assert list(overall) == ["source", "mean_predicted", "mean_observed", "mean_missing", "mean_unexpected",
                             "confirmation_rate"]
    assert overall["source"] == "BRDC Navigation (5 satellites)"
    assert overall["mean_predicted"] == "5.0"
    assert overall["mean_unexpected"] == "0.0"
    assert overall["confirmation_rate"] == "65.0%"
    # 3.25 and 1.75 with one decimal (the tie may round either way).
    assert overall["mean_observed"] in ("3.2", "3.3")
    assert overall["mean_missing"] in ("1.7", "1.8")
    assert r.spoofing_detected is False


# --- JSON document -------------------------------------------------------------------------------

def test_document_shape(result, dropped, with_visibility):
    for r in (result, dropped, with_visibility):
        compact = r.to_json()
        pretty = r.to_json_pretty()
        assert json.loads(compact) == json.loads(pretty)
        check_document_shape(json.loads(compact))
    assert json.loads(dropped.to_json())["anomalies"][0]["cn0_drop"] == 22.0
    doc = json.loads(with_visibility.to_json())
    assert list(doc["visibility"]["by_system"]) == ["GPS", "GLONASS", "Galileo", "BeiDou"]
    assert len(doc["visibility"]["anomalies"]) == 1


def test_document_text(result):
    compact = result.to_json()
    assert compact.startswith('{"file_info":{"filename":"hand.24o","marker_name":"HAND",')
    assert compact.endswith('"visibility":null,"spoofing_unexpected_threshold":0.4,"spoofing_min_unexpected_count":8.0}')
    assert '"mean_cn0":43.0,"min_cn0":39.0,"max_cn0":48.0,' in compact
    assert '"anomalies":[],' in compact
    # No whitespace outside strings.
    outside = "".join(part for k, part in enumerate(compact.split('"')) if k % 2 == 0)
    assert not any(c.isspace() for c in outside)

    pretty = result.to_json_pretty()
    assert pretty.startswith('{\n  "file_info": {\n    "filename": "hand.24o",\n')
    assert pretty.endswith('\n  "visibility": null,\n  "spoofing_unexpected_threshold": 0.4,\n'
                           '  "spoofing_min_unexpected_count": 8.0\n}')
    assert '\n  "anomalies": [],\n' in pretty
    assert '\n    "mean_cn0": 43.0,\n' in pretty
    # Numbers are written alike in both layouts.
    assert json.loads(pretty) == json.loads(compact)
    assert not math.isnan(json.loads(compact)["summary"]["mean_cn0"])
