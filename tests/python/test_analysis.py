"""The one-call analysis `analyze_cn0` and the analyses behind it seen from Python: its arguments
and errors, the sample filters, the file information, a file without accepted samples, the
visibility part with and without navigation data, and the same document on every run."""

from __future__ import annotations

import json
import os
import pathlib

import pytest

import quorsin_cn0 as q
from analysis_files import RECEIVER, central_angle, check_document_shape, nav_text, obs_text, rinex2_text

# Two epochs of GPS, Galileo and QZSS.
SIMPLE = obs_text([
    (0, [("G01", [45.0]), ("E05", [40.0]), ("J02", [38.0])]),
    (30, [("G01", [44.0]), ("E05", [41.0])]),
])


def write(tmp_path: pathlib.Path, name: str, text: str | bytes) -> str:
    path = tmp_path / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(text.encode() if isinstance(text, str) else text)
    return str(path)


@pytest.fixture
def simple_path(tmp_path: pathlib.Path) -> str:
    return write(tmp_path, "simple.24o", SIMPLE)


# --- arguments and errors ----------------------------------------------------------------------


def test_arguments_bind_by_position_or_keyword(tmp_path, simple_path):
    nav = write(tmp_path, "gps.24n", nav_text([("G01", 0.0)]))
    reference = q.analyze_cn0(simple_path).to_json()
    assert q.analyze_cn0(obs_path=simple_path).to_json() == reference
    assert q.analyze_cn0(simple_path, None, 5.0, None).to_json() == reference
    assert q.analyze_cn0(simple_path, nav_path=None, systems=None).to_json() == reference
    with_nav = q.analyze_cn0(simple_path, nav, 10.0, ["G"]).to_json()
    assert q.analyze_cn0(systems=["G"], min_elevation=10.0, nav_path=nav, obs_path=simple_path).to_json() == with_nav


def test_missing_files(tmp_path, simple_path):
    missing = str(tmp_path / "absent.24o")
    with pytest.raises(OSError) as e:
        q.analyze_cn0(missing)
    assert str(e.value) == "Cannot read obs file: No such file or directory (os error 2)"
    with pytest.raises(OSError) as e:
        q.analyze_cn0(simple_path, str(tmp_path / "absent.24n"))
    assert str(e.value) == "Cannot read nav file: No such file or directory (os error 2)"
    # The observation file is read first.
    with pytest.raises(OSError) as e:
        q.analyze_cn0(missing, str(tmp_path / "absent.24n"))
    assert str(e.value).startswith("Cannot read obs file: ")
    # A directory is not a file to read.
    with pytest.raises(OSError) as e:
        q.analyze_cn0(str(tmp_path))
    assert str(e.value).startswith("Cannot read obs file: ")


def test_rejected_content(tmp_path, simple_path):
    no_header_end = write(tmp_path, "broken.24o", "     3.04           OBSERVATION DATA    M\n")
    with pytest.raises(ValueError) as e:
        q.analyze_cn0(no_header_end)
    assert str(e.value) == "No END OF HEADER found"
    bad_nav = write(tmp_path, "broken.24n", "G01 2024 01 07 00 00 00\n")
    with pytest.raises(ValueError) as e:
        q.analyze_cn0(simple_path, bad_nav)
    assert str(e.value) == "No END OF HEADER found"
    # A missing navigation file is found only after the observation file was read and parsed.
    with pytest.raises(ValueError):
        q.analyze_cn0(no_header_end, str(tmp_path / "absent.24n"))


def test_argument_conversions(simple_path):
    with pytest.raises(TypeError) as e:
        q.analyze_cn0(simple_path, systems="G")
    assert str(e.value) == "argument 'systems': Can't extract `str` to `Vec`"
    with pytest.raises(TypeError) as e:
        q.analyze_cn0(simple_path, systems=["G", 7])
    assert str(e.value).startswith("argument 'systems': ")
    with pytest.raises(TypeError) as e:
        q.analyze_cn0(simple_path, min_elevation="10")
    assert str(e.value).startswith("argument 'min_elevation': ")
    with pytest.raises(TypeError) as e:
        q.analyze_cn0(pathlib.Path(simple_path))
    assert str(e.value).startswith("argument 'obs_path': ")
    with pytest.raises(TypeError) as e:
        q.analyze_cn0(simple_path, 5)
    assert str(e.value).startswith("argument 'nav_path': ")


def test_min_elevation_accepts_numbers(simple_path):
    # Without navigation data every sample stands at 45 degrees (four GPS and Galileo values).
    assert q.analyze_cn0(simple_path, min_elevation=10).total_observations == 4
    assert q.analyze_cn0(simple_path, min_elevation=45).total_observations == 4
    assert q.analyze_cn0(simple_path, min_elevation=46).total_observations == 0

    class Mask:
        def __float__(self):
            return 50.0

    assert q.analyze_cn0(simple_path, min_elevation=Mask()).total_observations == 0
    assert q.analyze_cn0(simple_path, min_elevation=True).total_observations == 4


def test_systems_selection(simple_path):
    def ids(**kwargs):
        return q.analyze_cn0(simple_path, **kwargs).get_satellite_ids()

    assert ids() == ["G01", "E05"]              # QZSS is not selected by default
    assert ids(systems=None) == ["G01", "E05"]
    assert ids(systems=["G"]) == ["G01"]
    assert ids(systems=["Galileo"]) == ["G01"]  # first character: G
    assert ids(systems=["E", "", "J"]) == ["E05", "J02"]
    assert ids(systems=("E",)) == ["E05"]       # any sequence of str
    assert ids(systems=["e"]) == []
    empty = q.analyze_cn0(simple_path, systems=[])
    assert empty.get_satellite_ids() == []
    assert empty.total_observations == 0
    assert empty.total_satellites == 3


# --- file information --------------------------------------------------------------------------


def test_file_information(tmp_path):
    header = (
        "SITE".ljust(60) + "MARKER NAME\n"
        + ("4711".ljust(20) + "SEPT POLARX5".ljust(20) + "5.3.2").ljust(60) + "REC # / TYPE\n"
        + ("0815".ljust(20) + "TRM59800.00     SCIS").ljust(60) + "ANT # / TYPE\n"
        + "    30.000".ljust(60) + "INTERVAL\n"
    )
    text = obs_text([(0, [("G01", [45.0])]), (5430.5, [("G01", [44.0])])], position=RECEIVER,
                    extra_header=header)
    r = q.analyze_cn0(write(tmp_path, "deep/dir/site0070.24o", text))
    assert r.filename == "site0070.24o"
    assert r.station_name == "SITE"
    assert r.receiver_type == "SEPT POLARX5"
    assert r.antenna_type == "TRM59800.00     SCIS"
    assert r.interval == 30.0
    assert r.start_time == "2024-01-07T00:00:00.000Z"
    assert r.end_time == "2024-01-07T01:30:30.500Z"
    assert r.duration_hours == pytest.approx(5430.5 / 3600, abs=1e-7)
    assert r.position_lat == pytest.approx(0.0, abs=1e-9)
    assert r.position_lon == pytest.approx(0.0, abs=1e-9)
    info = json.loads(r.to_json())["file_info"]
    assert info["filename"] == "site0070.24o"
    assert info["position_height"] == pytest.approx(0.0, abs=1e-3)


def test_last_epoch_earlier_gives_negative_duration(tmp_path):
    text = obs_text([(3600, [("G01", [45.0])]), (0, [("G01", [44.0])])])
    r = q.analyze_cn0(write(tmp_path, "back.24o", text))
    assert r.start_time == "2024-01-07T01:00:00.000Z"
    assert r.end_time == "2024-01-07T00:00:00.000Z"
    assert r.duration_hours == pytest.approx(-1.0, abs=1e-7)


def test_filename_from_every_entry_point(tmp_path):
    path = write(tmp_path, "obs/station.24o", SIMPLE)
    nav = write(tmp_path, "gps.24n", nav_text([("G01", 0.0)]))
    assert q.analyze_cn0(path).filename == "station.24o"
    assert q.analyze_cn0(path, nav).filename == "station.24o"
    analyzer = q.CN0Analyzer(q.AnalysisConfig())
    assert analyzer.analyze_file(path).filename == "station.24o"
    assert analyzer.analyze_with_nav(path, nav).filename == "station.24o"
    assert q.CN0Analyzer(q.AnalysisConfig(nav_file=nav)).analyze_file(path).filename == "station.24o"
    # Parsed data keeps its name: the path's last component, or the name given with the bytes.
    assert q.CN0Analyzer.from_obs(q.read_rinex_obs(path)).analyze().filename == "station.24o"
    data = SIMPLE.encode()
    assert q.CN0Analyzer.from_obs(q.read_rinex_obs_bytes(data, "x.obs")).analyze().filename == "x.obs"
    assert q.CN0Analyzer.from_obs(q.parse_rinex(data, "y.24o")).analyze().filename == "y.24o"


@pytest.mark.skipif(os.name != "posix", reason="needs a file system that takes any bytes as a file name")
def test_file_name_that_is_not_utf8(tmp_path):
    raw = os.fsencode(tmp_path) + b"/\xff\xfe.24o"
    with open(raw, "wb") as f:
        f.write(SIMPLE.encode())
    r = q.analyze_cn0(os.fsdecode(raw))
    assert r.filename == "unknown.obs"
    assert r.total_observations == 4


def test_rinex_version_of_the_analysed_file(tmp_path):
    assert q.analyze_cn0(write(tmp_path, "a.24o", SIMPLE)).rinex_version == "3.04"
    v302 = obs_text([(0, [("G01", [45.0])])], version="3.02")
    assert q.analyze_cn0(write(tmp_path, "b.24o", v302)).rinex_version == "3.02"
    v2 = rinex2_text([(0, [("G01", [45.0]), ("R05", [40.0])])], ["S1"])
    r = q.analyze_cn0(write(tmp_path, "c.24o", v2))
    assert r.rinex_version == "2.11"
    assert r.mean_cn0 == 42.5
    # Reported for results without samples too.
    assert q.analyze_cn0(write(tmp_path, "d.24o", SIMPLE), systems=[]).rinex_version == "3.04"


def test_two_character_codes_keep_fields_aligned(tmp_path):
    # A receiver's channel number "X1" between the codes: the S field after it is still S1C.
    text = obs_text([(0, [("G01", [2.2e7, 7.0, 45.5]), ("G02", [2.3e7, 11.0, 38.5])])],
                    codes={"G": ["C1C", "X1", "S1C"]})
    r = q.analyze_cn0(write(tmp_path, "x1.24o", text))
    assert r.total_observations == 2
    assert r.min_cn0 == 38.5
    assert r.max_cn0 == 45.5


# --- filters -----------------------------------------------------------------------------------


def test_cn0_window_is_inclusive_and_refuses_nan(tmp_path):
    text = obs_text([(0, [("G01", [0.001, 60.0, 60.001, "nan", -3.0, 25.25])])],
                    codes={"G": ["S1C", "S1W", "S2W", "S2L", "S5Q", "S7Q"]})
    r = q.analyze_cn0(write(tmp_path, "window.24o", text))
    # analyze_cn0 accepts 0.0 to 60.0 dB-Hz, both ends included.
    assert r.total_observations == 3
    assert r.min_cn0 == 0.001
    assert r.max_cn0 == 60.0
    assert json.loads(r.to_json())["satellite_stats"]["G01"]["observation_count"] == 3


def test_elevation_mask_with_navigation_data(tmp_path):
    # G01 overhead, G02 at 30 degrees, G03 at 8 degrees, G04 without ephemeris (fixed 45).
    nav = write(tmp_path, "gps.24n", nav_text([
        ("G01", 0.0), ("G02", central_angle(30.0)), ("G03", -central_angle(8.0)),
    ]))
    epochs = [(0, [("G01", [50.0]), ("G02", [40.0]), ("G03", [30.0]), ("G04", [35.0])])]
    path = write(tmp_path, "mask.24o", obs_text(epochs, position=RECEIVER))

    def ids(mask):
        return q.analyze_cn0(path, nav, min_elevation=mask).get_satellite_ids()

    assert ids(5.0) == ["G01", "G02", "G03", "G04"]
    assert ids(10) == ["G01", "G02", "G04"]
    assert ids(40.0) == ["G01", "G04"]
    assert ids(50.0) == ["G01"]
    r = q.analyze_cn0(path, nav)
    traces = {t["satellite"]: t for t in r.get_skyplot_data()}
    assert float(traces["G02"]["elevations"]) == pytest.approx(30.0, abs=1e-6)
    assert float(traces["G02"]["azimuths"]) == pytest.approx(90.0, abs=1e-6)
    assert float(traces["G03"]["azimuths"]) == pytest.approx(270.0, abs=1e-6)
    assert traces["G04"]["elevations"] == "45"
    assert traces["G04"]["azimuths"] == "0"

    # Without a receiver position the orbits cannot place anything: 45 degrees for all.
    no_position = write(tmp_path, "nopos.24o", obs_text(epochs))
    assert q.analyze_cn0(no_position, nav, min_elevation=45).total_observations == 4
    assert q.analyze_cn0(no_position, nav, min_elevation=50).total_observations == 0
    assert {t["elevations"] for t in q.analyze_cn0(no_position, nav).get_skyplot_data()} == {"45"}


# --- files without accepted samples --------------------------------------------------------------


NO_SAMPLES = obs_text(
    [(0, [("G01", [2.2e7, None]), ("E05", [None, 75.0])]), (30, [("G01", [2.2e7, 61.0]), ("J02", [None, 40.0])])],
    codes={"G": ["C1C", "S1C"], "E": ["C1C", "S1C"], "J": ["C1C", "S1C"]},
    position=RECEIVER,
)


def check_no_sample_result(r) -> None:
    assert r.total_epochs == 2
    assert r.epoch_count == 2
    assert r.total_satellites == 3
    assert r.constellations == ["GPS", "Galileo", "QZSS"]
    assert r.total_observations == 0
    assert r.mean_cn0 == 0.0
    assert r.min_cn0 == 0.0
    assert r.max_cn0 == 0.0
    assert r.get_satellite_ids() == []
    assert r.get_timestamps() == []
    assert r.anomaly_count == 0
    assert r.quality_grade == "N/A"
    assert r.summary == "No data"
    assert r.start_time == "2024-01-07T00:00:00.000Z"
    assert r.end_time == "2024-01-07T00:00:30.000Z"
    assert not r.has_visibility_prediction
    assert r.visibility_prediction_source == "None"
    assert r.visibility_debug() == {}
    doc = json.loads(r.to_json())
    assert doc["quality_score"] == {"overall": 0.0, "cn0_score": 0.0, "coverage_score": 0.0,
                                    "consistency_score": 0.0, "grade": "N/A", "interpretation": "No data"}
    assert doc["constellation_stats"] == {}
    assert doc["visibility"] is None
    assert doc["spoofing_unexpected_threshold"] == 0.4
    assert doc["spoofing_min_unexpected_count"] == 8.0
    assert not r.spoofing_detected and not r.jamming_detected and not r.interference_detected
    check_document_shape(doc)
    assert doc["heatmap"] == {"azimuth_bins": [], "elevation_bins": [], "cn0_matrix": [], "count_matrix": []}
    # The score view of a result without statistics: availability 50, stability 62.5, continuity
    # 100, diversity from the three observed systems.
    score = r.quality_score
    assert (score.availability, score.stability, score.continuity, score.diversity, score.cn0_quality) == (
        50.0, 62.5, 100.0, 75.0, 0.0)
    assert score.overall == pytest.approx(50 * 0.25 + 100 * 0.2 + 62.5 * 0.15 + 75 * 0.1)
    assert score.rating == "F - Very Poor"
    assert score.post_processing_suitable is False


def test_file_without_accepted_samples(tmp_path):
    path = write(tmp_path, "quiet.24o", NO_SAMPLES)
    nav = write(tmp_path, "gps.24n", nav_text([("G01", 0.0), ("E05", 10.0), ("J02", 5.0)]))
    check_no_sample_result(q.analyze_cn0(path))
    check_no_sample_result(q.analyze_cn0(path, nav))  # no visibility even with navigation data
    # The spoofing settings are not copied into a result without samples.
    config = q.AnalysisConfig(spoofing_unexpected_threshold=0.9, spoofing_min_unexpected_count=2.0)
    check_no_sample_result(q.CN0Analyzer(config).analyze_with_nav(path, nav))
    r = q.analyze_cn0(path)
    assert r.filename == "quiet.24o"
    assert r.rinex_version == "3.04"


def test_spoofing_settings_are_copied_when_there_are_samples(simple_path):
    config = q.AnalysisConfig(spoofing_unexpected_threshold=0.9, spoofing_min_unexpected_count=2)
    doc = json.loads(q.CN0Analyzer(config).analyze_file(simple_path).to_json())
    assert doc["spoofing_unexpected_threshold"] == 0.9
    assert doc["spoofing_min_unexpected_count"] == 2.0


# --- visibility ----------------------------------------------------------------------------------


def test_visibility_with_navigation_data(tmp_path):
    # GPS-only navigation data: G01, G02, G03 predicted; G02 never seen, G09 seen without an
    # ephemeris. Galileo, SBAS and IRNSS have no ephemeris at all and are not compared.
    nav = write(tmp_path, "gps.24n", nav_text([("G01", 0.0), ("G02", 15.0), ("G03", -15.0), ("G04", 180.0)]))
    sats = [("G01", [45.0]), ("G03", [44.0]), ("G09", [30.0]), ("E05", [40.0]), ("S20", [39.0]), ("I03", [38.0])]
    path = write(tmp_path, "vis.24o", obs_text([(30.0 * k, sats) for k in range(4)], position=RECEIVER))
    r = q.analyze_cn0(path, nav, systems=["G", "E", "S", "I"])
    assert r.has_visibility_prediction
    assert r.visibility_prediction_source == "BRDC Navigation (4 satellites)"
    assert r.visibility_mean_predicted == 3.0
    assert r.visibility_mean_observed == 3.0
    assert r.visibility_mean_missing == 1.0
    assert r.visibility_mean_unexpected == 1.0
    assert r.visibility_confirmation_rate == pytest.approx(200.0 / 3.0)
    assert r.get_frequently_missing_satellites() == ["G02"]
    assert r.get_frequently_unexpected_satellites() == ["G09"]
    assert r.visibility_anomaly_count == 0
    assert not r.spoofing_detected
    debug = r.visibility_debug()
    assert list(debug) == ["GPS", "GLONASS", "Galileo", "BeiDou", "_overall"]
    assert debug["GPS"] == {"predicted": "3", "observed": "3", "confirmation_rate": "100.0%",
                            "missing_count": "1", "missing_sats": "G02",
                            "unexpected_count": "1", "unexpected_sats": "G09"}
    assert debug["Galileo"] == {"predicted": "0", "observed": "0", "confirmation_rate": "0.0%",
                                "missing_count": "0", "missing_sats": "",
                                "unexpected_count": "0", "unexpected_sats": ""}
    assert debug["_overall"] == {"source": "BRDC Navigation (4 satellites)", "mean_predicted": "3.0",
                                 "mean_observed": "3.0", "mean_missing": "1.0", "mean_unexpected": "1.0",
                                 "confirmation_rate": "66.7%"}
    # The constellations without ephemerides keep their C/N0 statistics.
    for name, count in (("Galileo", 4), ("SBAS", 4)):
        assert r.get_constellation_summary(name)["observation_count"] == str(count)
    assert r.get_constellation_summary("GPS")["satellites_expected"] == "3"
    assert r.get_constellation_summary("Galileo")["satellites_expected"] == "10"


def test_visibility_without_receiver_position(tmp_path):
    nav = write(tmp_path, "gps.24n", nav_text([("G01", 0.0), ("G02", 15.0)]))
    path = write(tmp_path, "nopos.24o", SIMPLE)
    r = q.analyze_cn0(path, nav)
    assert not r.has_visibility_prediction
    assert r.visibility_prediction_source == ""
    for value in (r.visibility_mean_predicted, r.visibility_mean_observed, r.visibility_mean_missing,
                  r.visibility_mean_unexpected, r.visibility_confirmation_rate):
        assert value == 0.0
    assert r.get_frequently_missing_satellites() == []
    assert r.visibility_debug() == {"_overall": {
        "source": "", "mean_predicted": "0.0", "mean_observed": "0.0", "mean_missing": "0.0",
        "mean_unexpected": "0.0", "confirmation_rate": "0.0%"}}
    visibility = json.loads(r.to_json())["visibility"]
    assert visibility == {
        "has_prediction": False, "prediction_source": "", "confirmation_rate": 0.0, "mean_predicted": 0.0,
        "mean_observed": 0.0, "mean_missing": 0.0, "mean_unexpected": 0.0, "frequently_missing": [],
        "frequently_unexpected": [], "by_system": {}, "anomalies": []}
    # No prediction, so the quality assessment neither penalises nor warns: the same figures as
    # without navigation data.
    without = q.analyze_cn0(path)
    assert r.summary == without.summary
    assert json.loads(r.to_json())["quality_score"] == json.loads(without.to_json())["quality_score"]


# --- entry points agree, same document every time ----------------------------------------------


def test_entry_points_agree(tmp_path):
    path = write(tmp_path, "same.24o", obs_text(
        [(30.0 * k, [("G01", [45.0 - k]), ("G02", [40.0 + k]), ("E05", [42.0])]) for k in range(12)],
        position=RECEIVER))
    nav = write(tmp_path, "same.24n", nav_text([("G01", 0.0), ("G02", 20.0), ("E05", -20.0)]))
    reference = q.analyze_cn0(path, nav).to_json()
    from_obs = q.CN0Analyzer.from_obs(q.read_rinex_obs(path))
    from_obs.set_navigation(q.read_navigation(nav))
    assert from_obs.analyze().to_json() == reference
    # The keyword configuration scales its thresholds; with sensitivity 0 it matches.
    analyzer = q.CN0Analyzer(q.AnalysisConfig(anomaly_sensitivity=0.0))
    assert analyzer.analyze_with_nav(path, nav).to_json() == reference
    assert q.CN0Analyzer(q.AnalysisConfig(anomaly_sensitivity=0.0, nav_file=nav)).analyze_file(path).to_json() == reference


def test_same_input_gives_byte_identical_documents(tmp_path):
    epochs = [(30.0 * k, [("G05", [45.0, 40.0 - k]), ("E11", [41.0]), ("G01", [39.0, 30.0]), ("C07", [36.0]),
                          ("R03", [37.0 + k]), ("J02", [44.0])]) for k in range(6)]
    path = write(tmp_path, "det.24o", obs_text(epochs, codes={"G": ["S1C", "S2W"]}, position=RECEIVER))
    nav = write(tmp_path, "det.24n", nav_text([("G05", 10.0), ("G01", -30.0), ("E11", 40.0), ("G07", 5.0)]))
    first = q.analyze_cn0(path, nav)
    second = q.analyze_cn0(path, nav)
    assert first.to_json() == second.to_json()
    assert first.to_json_pretty() == second.to_json_pretty()
    # Entries in order of first appearance.
    assert first.get_satellite_ids() == ["G05", "E11", "G01", "C07", "R03"]
    assert list(json.loads(first.to_json())["constellation_stats"]) == ["GPS", "Galileo", "BeiDou", "GLONASS", "QZSS"]
