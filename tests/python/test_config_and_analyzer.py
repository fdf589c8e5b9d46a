"""AnalysisConfig (defaults, threshold scaling, the time-bin rule, strict conversions, read-only
attributes) and CN0Analyzer (construction, the old from_obs/set_navigation/analyze API, the
file-based analyze_file/analyze_with_nav API, the order in which their failures are raised, and
agreement of the two APIs on real observation/navigation pairs)."""

from __future__ import annotations

import gc
import hashlib
import json
import pathlib

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, have_data, NO_DATA_REASON

needs_data = pytest.mark.skipif(not have_data(), reason=NO_DATA_REASON)

ENOENT = "No such file or directory (os error 2)"

# A small mixed RINEX 3 file (G, R, E, J, C; 100 epochs) and the navigation file of its receiver.
OBS = "matrtklib_20230711_base_100s.obs"
NAV = "matrtklib_20230711_base.nav"
# Navigation of another day and receiver: gives different look angles and visibility for OBS.
OTHER_NAV = "SEPT2650.21P"

CONFIG_FIELDS = [
    "min_elevation", "min_cn0", "max_cn0", "time_bin_seconds", "systems", "anomaly_threshold_low",
    "anomaly_threshold_high", "anomaly_threshold_critical", "detect_anomalies", "anomaly_sensitivity",
    "interference_threshold_db", "verbose", "nav_file", "spoofing_unexpected_threshold",
    "spoofing_min_unexpected_count",
]


def path(name: str) -> str:
    return str(DATA_DIR / name)


def analyzer(**settings) -> q.CN0Analyzer:
    return q.CN0Analyzer(q.AnalysisConfig(**settings))


def fp(result: q.AnalysisResult) -> str:
    """A short stand-in for the JSON text of a result: equal texts, equal fingerprints."""
    return hashlib.sha256(result.to_json().encode()).hexdigest()


# --- AnalysisConfig ---------------------------------------------------------------------------


def test_config_defaults():
    c = q.AnalysisConfig()
    assert c.min_elevation == 5.0
    assert c.min_cn0 == 0.0
    assert c.max_cn0 == 60.0
    assert c.time_bin_seconds == 60
    assert c.systems is None
    # Low and high are scaled by 1 - 0.5 * 0.5 = 0.75; critical never is.
    assert c.anomaly_threshold_low == 2.25
    assert c.anomaly_threshold_high == 4.5
    assert c.anomaly_threshold_critical == 10.0
    assert c.detect_anomalies is True
    assert c.anomaly_sensitivity == 0.5
    assert c.interference_threshold_db == 6.0
    assert c.verbose is False
    assert c.nav_file is None
    assert c.spoofing_unexpected_threshold == 0.40
    assert c.spoofing_min_unexpected_count == 8.0
    for name in CONFIG_FIELDS:
        if name in ("systems", "nav_file"):
            continue
        expected = {"time_bin_seconds": int, "detect_anomalies": bool, "verbose": bool}.get(name, float)
        assert type(getattr(c, name)) is expected, name


@pytest.mark.parametrize("kwargs, low, high, critical", [
    ({"anomaly_sensitivity": 0.0}, 3.0, 6.0, 10.0),
    ({"anomaly_sensitivity": 1.0, "anomaly_threshold_low": 4.0}, 2.0, 3.0, 10.0),
    ({"anomaly_sensitivity": 1.0, "anomaly_threshold_critical": 12.0}, 1.5, 3.0, 12.0),
    ({"anomaly_sensitivity": 2.0}, 0.0, 0.0, 10.0),
    # No range is enforced: above 2.0 the scaled thresholds turn negative.
    ({"anomaly_sensitivity": 4.0, "anomaly_threshold_high": 8.0}, -3.0, -8.0, 10.0),
    ({"anomaly_threshold_low": 8.0, "anomaly_threshold_high": 12.0}, 6.0, 9.0, 10.0),
], ids=["sens0", "sens1-low4", "sens1-crit12", "sens2", "sens4", "default-sens"])
def test_threshold_scaling(kwargs, low, high, critical):
    c = q.AnalysisConfig(**kwargs)
    assert (c.anomaly_threshold_low, c.anomaly_threshold_high, c.anomaly_threshold_critical) == (low, high, critical)
    assert c.anomaly_sensitivity == kwargs.get("anomaly_sensitivity", 0.5)


@pytest.mark.parametrize("kwargs, expected", [
    ({}, 60),
    ({"time_bin": 30}, 30),
    ({"time_bin_seconds": 120}, 120),
    ({"time_bin_seconds": 120, "time_bin": 30}, 120),
    ({"time_bin_seconds": None, "time_bin": 30}, 30),
    ({"time_bin_seconds": 0}, 0),
    ({"time_bin_seconds": 0, "time_bin": 30}, 0),
    ({"time_bin": 4294967295}, 4294967295),
], ids=["neither", "alias", "seconds", "both", "seconds-none", "zero", "zero-wins", "max"])
def test_time_bin_rule(kwargs, expected):
    c = q.AnalysisConfig(**kwargs)
    assert c.time_bin_seconds == expected
    assert type(c.time_bin_seconds) is int


@pytest.mark.parametrize("param", ["time_bin_seconds", "time_bin"])
@pytest.mark.parametrize("value", [-1, 2**32, 2**63 - 1, -(2**63)], ids=["minus1", "2^32", "i64max", "i64min"])
def test_time_bin_out_of_range(param, value):
    with pytest.raises(OverflowError) as e:
        q.AnalysisConfig(**{param: value})
    assert str(e.value) == "out of range integral type conversion attempted"


@pytest.mark.parametrize("param", ["time_bin_seconds", "time_bin"])
def test_time_bin_far_out_of_range(param):
    with pytest.raises(OverflowError):
        q.AnalysisConfig(**{param: 2**70})


def test_unused_time_bin_alias_is_still_checked():
    with pytest.raises(OverflowError):
        q.AnalysisConfig(time_bin_seconds=120, time_bin=-1)


@pytest.mark.parametrize("param", ["time_bin_seconds", "time_bin"])
@pytest.mark.parametrize("value", [1.5, 30.0, "30"], ids=["1.5", "30.0", "str"])
def test_time_bin_must_be_an_integer(param, value):
    with pytest.raises(TypeError) as e:
        q.AnalysisConfig(**{param: value})
    assert str(e.value).startswith(f"argument '{param}': ")


def test_time_bin_accepts_index_objects():
    class Thirty:
        def __index__(self):
            return 30

    assert q.AnalysisConfig(time_bin_seconds=Thirty()).time_bin_seconds == 30


@pytest.mark.parametrize("param", ["verbose", "detect_anomalies"])
@pytest.mark.parametrize("value", [1, 0, None, "True", 1.0], ids=["1", "0", "None", "str", "float"])
def test_flags_are_strict_bools(param, value):
    with pytest.raises(TypeError) as e:
        q.AnalysisConfig(**{param: value})
    assert str(e.value).startswith(f"argument '{param}': ")


@pytest.mark.parametrize("param", ["verbose", "detect_anomalies"])
def test_flags_accept_bools_and_numpy_bools(param):
    np = pytest.importorskip("numpy")
    for value in (True, False, np.bool_(True), np.bool_(False)):
        got = getattr(q.AnalysisConfig(**{param: value}), param)
        assert got is bool(value)


@pytest.mark.parametrize("param", ["min_elevation", "min_cn0", "max_cn0", "anomaly_threshold_critical",
                                   "anomaly_sensitivity", "interference_threshold_db",
                                   "spoofing_unexpected_threshold", "spoofing_min_unexpected_count"])
def test_numbers_accept_ints_and_float_likes(param):
    class Seven:
        def __float__(self):
            return 7.0

    got = getattr(q.AnalysisConfig(**{param: 7}), param)
    assert got == 7.0 and type(got) is float
    assert getattr(q.AnalysisConfig(**{param: Seven()}), param) == 7.0
    with pytest.raises(TypeError) as e:
        q.AnalysisConfig(**{param: "7"})
    assert str(e.value).startswith(f"argument '{param}': ")


def test_positional_arguments_follow_the_signature_order():
    c = q.AnalysisConfig(1.0, 2.0, 3.0, 4, 5, ["R"], 6.0, 7.0, 8.0, False, 0.0, 9.0, True, "n.rnx", 0.25, 3.0)
    assert c.min_elevation == 1.0
    assert c.min_cn0 == 2.0
    assert c.max_cn0 == 3.0
    assert c.time_bin_seconds == 4
    assert c.systems == ["R"]
    assert c.anomaly_threshold_low == 6.0
    assert c.anomaly_threshold_high == 7.0
    assert c.anomaly_threshold_critical == 8.0
    assert c.detect_anomalies is False
    assert c.anomaly_sensitivity == 0.0
    assert c.interference_threshold_db == 9.0
    assert c.verbose is True
    assert c.nav_file == "n.rnx"
    assert c.spoofing_unexpected_threshold == 0.25
    assert c.spoofing_min_unexpected_count == 3.0
    # time_bin is the fifth parameter: given alone by position it feeds the time bin.
    assert q.AnalysisConfig(5.0, 0.0, 60.0, None, 45).time_bin_seconds == 45


@pytest.mark.parametrize("args, kwargs", [
    (tuple(range(17)), {}),
    ((), {"min_elev": 5.0}),
    ((), {"time_bin_sec": 5}),
    ((10.0,), {"min_elevation": 10.0}),
], ids=["surplus", "unknown", "unknown-time-bin", "twice"])
def test_config_binding_errors(args, kwargs):
    with pytest.raises(TypeError):
        q.AnalysisConfig(*args, **kwargs)


@pytest.mark.parametrize("name", CONFIG_FIELDS)
def test_config_attributes_are_read_only(name):
    c = q.AnalysisConfig()
    before = getattr(c, name)
    with pytest.raises(AttributeError):
        setattr(c, name, before)
    assert getattr(c, name) == before


def test_systems_are_kept_as_given_in_a_copy():
    given = ["GPS", "", "e", "Galileo"]
    c = q.AnalysisConfig(systems=given)
    assert c.systems == ["GPS", "", "e", "Galileo"]
    given.append("C")
    assert c.systems == ["GPS", "", "e", "Galileo"]
    got = c.systems
    got.clear()
    assert c.systems == ["GPS", "", "e", "Galileo"]
    assert q.AnalysisConfig(systems=("G", "R")).systems == ["G", "R"]
    assert q.AnalysisConfig(systems=[]).systems == []
    assert q.AnalysisConfig(systems=None).systems is None


def test_systems_must_be_a_list_of_text():
    with pytest.raises(TypeError) as e:
        q.AnalysisConfig(systems="GPS")
    assert str(e.value) == "argument 'systems': Can't extract `str` to `Vec`"
    for bad in (["G", 1], ["G", None], 5, [b"G"]):
        with pytest.raises(TypeError) as e:
            q.AnalysisConfig(systems=bad)
        assert str(e.value).startswith("argument 'systems': ")


def test_nav_file_is_optional_text():
    assert q.AnalysisConfig(nav_file="a/b.nav").nav_file == "a/b.nav"
    with pytest.raises(TypeError) as e:
        q.AnalysisConfig(nav_file=pathlib.Path("a/b.nav"))
    assert str(e.value).startswith("argument 'nav_file': ")


# --- CN0Analyzer construction -----------------------------------------------------------------


def test_analyzer_needs_a_config():
    with pytest.raises(TypeError):
        q.CN0Analyzer()
    assert isinstance(q.CN0Analyzer(config=q.AnalysisConfig()), q.CN0Analyzer)
    assert isinstance(q.CN0Analyzer(q.AnalysisConfig()), q.CN0Analyzer)
    with pytest.raises(TypeError):
        q.CN0Analyzer(q.AnalysisConfig(), q.AnalysisConfig())
    with pytest.raises(TypeError):
        q.CN0Analyzer(settings=q.AnalysisConfig())


@pytest.mark.parametrize("bad", [None, {}, "config", 1.0], ids=["None", "dict", "str", "float"])
def test_analyzer_rejects_other_types(bad):
    with pytest.raises(TypeError) as e:
        q.CN0Analyzer(bad)
    assert str(e.value).startswith("argument 'config': ")


def test_analyze_without_observations():
    an = analyzer()
    for _ in range(2):
        with pytest.raises(ValueError) as e:
            an.analyze()
        assert str(e.value) == "No observation data. Use analyze_file() or CN0Analyzer.from_obs()"


def test_analyzer_exposes_no_attributes():
    an = analyzer()
    with pytest.raises(AttributeError):
        an.config  # noqa: B018
    with pytest.raises(AttributeError):
        an.extra = 1


# --- from_obs, set_navigation, analyze ----------------------------------------------------------


@pytest.fixture(scope="module")
def obs() -> q.RinexObsData:
    if not have_data():
        pytest.skip(NO_DATA_REASON)
    return q.read_rinex_obs(path(OBS))


@pytest.fixture(scope="module")
def nav() -> q.NavigationData:
    if not have_data():
        pytest.skip(NO_DATA_REASON)
    return q.read_navigation(path(NAV))


@pytest.fixture(scope="module")
def other_nav() -> q.NavigationData:
    if not have_data():
        pytest.skip(NO_DATA_REASON)
    return q.read_navigation(path(OTHER_NAV))


def constellation_counts(result: q.AnalysisResult) -> dict[str, int]:
    stats = json.loads(result.to_json())["constellation_stats"]
    return {name: s["observation_count"] for name, s in stats.items()}


def test_from_obs_selects_systems_by_first_letter(obs):
    an = q.CN0Analyzer.from_obs(obs, systems=["GPS", "", "E"])
    r = an.analyze()
    counts = constellation_counts(r)
    assert counts["GPS"] > 0 and counts["Galileo"] > 0
    # The file's other constellations are reported, but without samples.
    assert counts["GLONASS"] == 0 and counts["BeiDou"] == 0 and counts["QZSS"] == 0
    ids = r.get_satellite_ids()
    assert ids and {s[0] for s in ids} == {"G", "E"}
    assert r.total_observations == counts["GPS"] + counts["Galileo"]
    # The same selection made through a configuration gives the same result.
    same = analyzer(systems=["GPS", "", "E"], anomaly_sensitivity=0.0).analyze_file(path(OBS))
    assert fp(same) == fp(r)
    # Only the first character counts, case kept: "Galileo" selects GPS, "e" selects nothing.
    galileo = q.CN0Analyzer.from_obs(obs, systems=["Galileo"]).analyze()
    assert {s[0] for s in galileo.get_satellite_ids()} == {"G"}
    assert q.CN0Analyzer.from_obs(obs, systems=["e", ""]).analyze().total_observations == 0


def test_from_obs_defaults(obs):
    # Default selection G, R, E, C; unscaled thresholds 3 and 6; min_cn0 0, max_cn0 60.
    r = q.CN0Analyzer.from_obs(obs).analyze()
    counts = constellation_counts(r)
    assert all(counts[name] > 0 for name in ("GPS", "GLONASS", "Galileo", "BeiDou"))
    assert counts["QZSS"] == 0
    assert fp(r) == fp(analyzer(anomaly_sensitivity=0.0).analyze_file(path(OBS)))
    # Given by keyword and by position.
    by_keyword = q.CN0Analyzer.from_obs(obs_data=obs, min_elevation=5.0, time_bin_seconds=60, systems=None)
    by_position = q.CN0Analyzer.from_obs(obs, 5.0, 60, None)
    assert fp(by_keyword.analyze()) == fp(r) == fp(by_position.analyze())


def test_from_obs_arguments(obs):
    np = pytest.importorskip("numpy")
    assert isinstance(q.CN0Analyzer.from_obs(obs, min_elevation=10, time_bin_seconds=np.int64(30)), q.CN0Analyzer)
    assert isinstance(q.CN0Analyzer.from_obs(obs, time_bin_seconds=0), q.CN0Analyzer)
    with pytest.raises(OverflowError):
        q.CN0Analyzer.from_obs(obs, time_bin_seconds=-1)
    with pytest.raises(OverflowError):
        q.CN0Analyzer.from_obs(obs, time_bin_seconds=2**32)
    with pytest.raises(TypeError):
        q.CN0Analyzer.from_obs(obs, time_bin_seconds=1.5)
    with pytest.raises(TypeError) as e:
        q.CN0Analyzer.from_obs(obs, systems="GPS")
    assert str(e.value) == "argument 'systems': Can't extract `str` to `Vec`"
    with pytest.raises(TypeError):
        q.CN0Analyzer.from_obs()
    for bad in (None, path(OBS), q.AnalysisConfig()):
        with pytest.raises(TypeError) as e:
            q.CN0Analyzer.from_obs(bad)
        assert str(e.value).startswith("argument 'obs_data': ")


def test_from_obs_keeps_its_own_copy():
    if not have_data():
        pytest.skip(NO_DATA_REASON)
    data = q.read_rinex_obs(path(OBS))
    an = q.CN0Analyzer.from_obs(data, systems=["G"])
    before = fp(an.analyze())
    # Use the observation object every way Python can, then let it go.
    data.satellites_by_system()["G"].clear()
    data.obs_types_by_system().clear()
    data.snr_stats_by_satellite()
    data.debug_info()
    q.CN0Analyzer.from_obs(data, min_elevation=50.0, systems=["R"]).analyze()
    del data
    gc.collect()
    assert fp(an.analyze()) == before


def test_analyze_repeats_identically(obs, nav):
    an = q.CN0Analyzer.from_obs(obs)
    first = fp(an.analyze())
    assert fp(an.analyze()) == first
    an.set_navigation(nav)
    with_nav = an.analyze()
    assert with_nav.has_visibility_prediction
    assert fp(with_nav) != first
    assert fp(an.analyze()) == fp(with_nav)


def test_set_navigation(obs, nav, other_nav):
    reference = q.CN0Analyzer.from_obs(obs)
    assert reference.set_navigation(nav) is None
    with_nav = fp(reference.analyze())
    other = q.CN0Analyzer.from_obs(obs)
    assert other.set_navigation(nav_data=other_nav) is None
    with_other = fp(other.analyze())
    assert with_nav != with_other

    # The last call wins, in either order.
    an = q.CN0Analyzer.from_obs(obs)
    an.set_navigation(nav)
    an.set_navigation(other_nav)
    assert fp(an.analyze()) == with_other
    an.set_navigation(nav)
    assert fp(an.analyze()) == with_nav


def test_set_navigation_checks_its_argument(obs, nav):
    an = q.CN0Analyzer.from_obs(obs)
    an.set_navigation(nav)
    expected = fp(an.analyze())
    for bad in (None, obs, path(NAV), q.AnalysisConfig()):
        with pytest.raises(TypeError) as e:
            an.set_navigation(bad)
        assert str(e.value).startswith("argument 'nav_data': ")
    with pytest.raises(TypeError):
        an.set_navigation()
    with pytest.raises(TypeError):
        an.set_navigation(nav, nav)
    # A refused call leaves the stored navigation data in place.
    assert fp(an.analyze()) == expected


# --- analyze_file and analyze_with_nav -----------------------------------------------------------


@needs_data
def test_analyze_file_reads_the_configured_nav_file(nav, other_nav):
    plain = analyzer().analyze_file(path(OBS))
    assert not plain.has_visibility_prediction
    configured = analyzer(nav_file=path(NAV))
    r = configured.analyze_file(path(OBS))
    assert r.has_visibility_prediction
    assert fp(r) == fp(analyzer().analyze_with_nav(path(OBS), path(NAV)))
    # Navigation held by the analyzer plays no part in file analyses.
    configured.set_navigation(other_nav)
    assert fp(configured.analyze_file(path(OBS))) == fp(r)
    no_file = analyzer()
    no_file.set_navigation(nav)
    assert fp(no_file.analyze_file(path(OBS))) == fp(plain)


@needs_data
def test_analyze_with_nav_ignores_the_configured_nav_file():
    expected = fp(analyzer().analyze_with_nav(path(OBS), path(NAV)))
    assert fp(analyzer(nav_file="/nonexistent/x.nav").analyze_with_nav(path(OBS), path(NAV))) == expected
    assert fp(analyzer(nav_file=path(OTHER_NAV)).analyze_with_nav(path(OBS), path(NAV))) == expected


def test_file_analyses_leave_the_analyzer_unchanged(obs, nav):
    an = q.CN0Analyzer.from_obs(obs, systems=["G"])
    an.set_navigation(nav)
    before = fp(an.analyze())
    # An unrelated file and navigation go through the analyzer without touching its data.
    an.analyze_file(path("SEPT265G.21O"))
    an.analyze_with_nav(path("SEPT265G.21O"), path(OTHER_NAV))
    assert fp(an.analyze()) == before


def test_file_analyses_use_the_analyzer_settings():
    if not have_data():
        pytest.skip(NO_DATA_REASON)
    r = analyzer(systems=["R"]).analyze_file(path(OBS))
    assert {s[0] for s in r.get_satellite_ids()} == {"R"}
    assert analyzer(min_elevation=50.0).analyze_file(path(OBS)).total_observations == 0


@needs_data
def test_settings_the_analysis_does_not_read():
    # Flags, the interference level and the time bin are carried but change no result.
    reference = fp(analyzer().analyze_with_nav(path(OBS), path(NAV)))
    for settings in ({"detect_anomalies": False}, {"verbose": True}, {"interference_threshold_db": 1.0},
                     {"time_bin_seconds": 1}, {"time_bin": 3600}):
        assert fp(analyzer(**settings).analyze_with_nav(path(OBS), path(NAV))) == reference, settings


def test_analysis_methods_check_their_arguments(tmp_path):
    an = analyzer()
    with pytest.raises(TypeError):
        an.analyze_file()
    with pytest.raises(TypeError) as e:
        an.analyze_file(tmp_path / "x.obs")
    assert str(e.value).startswith("argument 'obs_path': ")
    with pytest.raises(TypeError):
        an.analyze_with_nav(str(tmp_path / "x.obs"))
    with pytest.raises(TypeError) as e:
        an.analyze_with_nav(str(tmp_path / "x.obs"), b"x.nav")
    assert str(e.value).startswith("argument 'nav_path': ")


# --- failures and their order --------------------------------------------------------------------

NO_HEADER_END = b"     3.04           NAVIGATION DATA     M (MIXED)           RINEX VERSION / TYPE\n"


@pytest.fixture
def files(tmp_path: pathlib.Path) -> dict[str, str]:
    bad_obs = tmp_path / "bad.obs"
    bad_obs.write_bytes(b"     3.04           OBSERVATION DATA    M (MIXED)           RINEX VERSION / TYPE\n")
    bad_nav = tmp_path / "bad.nav"
    bad_nav.write_bytes(NO_HEADER_END)
    a_dir = tmp_path / "dir.nav"
    a_dir.mkdir()
    return {
        "missing": str(tmp_path / "missing.obs"),
        "missing_nav": str(tmp_path / "missing.nav"),
        "bad_obs": str(bad_obs),
        "bad_nav": str(bad_nav),
        "dir": str(a_dir),
    }


def test_missing_obs_is_reported_before_the_nav_file_is_looked_at(files):
    # The navigation "file" is a directory: reading it would fail with another text.
    for call in (lambda: analyzer().analyze_with_nav(files["missing"], files["dir"]),
                 lambda: analyzer(nav_file=files["dir"]).analyze_file(files["missing"]),
                 lambda: analyzer().analyze_with_nav(files["missing"], files["bad_nav"]),
                 lambda: analyzer().analyze_with_nav(files["missing"], files["missing_nav"])):
        with pytest.raises(OSError) as e:
            call()
        assert str(e.value) == ENOENT


def test_bad_obs_is_reported_before_the_nav_file_is_looked_at(files):
    for nav_path in (files["missing_nav"], files["dir"], files["bad_nav"]):
        with pytest.raises(ValueError) as e:
            analyzer().analyze_with_nav(files["bad_obs"], nav_path)
        assert str(e.value) == "No END OF HEADER found"
        with pytest.raises(ValueError):
            analyzer(nav_file=nav_path).analyze_file(files["bad_obs"])


@needs_data
def test_nav_failures_after_a_good_obs(files):
    with pytest.raises(OSError) as e:
        analyzer().analyze_with_nav(path(OBS), files["missing_nav"])
    assert str(e.value) == ENOENT
    with pytest.raises(OSError) as e:
        analyzer(nav_file=files["missing_nav"]).analyze_file(path(OBS))
    assert str(e.value) == ENOENT
    with pytest.raises(OSError) as e:
        analyzer().analyze_with_nav(path(OBS), files["dir"])
    assert str(e.value).endswith(" (os error 21)")
    with pytest.raises(ValueError) as e:
        analyzer().analyze_with_nav(path(OBS), files["bad_nav"])
    assert str(e.value) == "No END OF HEADER found"
    with pytest.raises(ValueError) as e:
        analyzer(nav_file=files["bad_nav"]).analyze_file(path(OBS))
    assert str(e.value) == "No END OF HEADER found"


def test_failed_analysis_can_be_followed_by_a_good_one(files):
    if not have_data():
        pytest.skip(NO_DATA_REASON)
    an = analyzer()
    with pytest.raises(OSError):
        an.analyze_file(files["missing"])
    with pytest.raises(ValueError):
        an.analyze_with_nav(path(OBS), files["bad_nav"])
    an.set_navigation(q.read_navigation(path(NAV)))  # not refused: no analysis is running
    assert an.analyze_with_nav(path(OBS), path(NAV)).has_visibility_prediction


# --- the two APIs agree on real files ----------------------------------------------------------

PAIRS = [
    ("matrtklib_20230711_base_100s.obs", "matrtklib_20230711_base.nav"),
    ("matrtklib_20240624_static_base.obs", "matrtklib_20240624_static_base.nav"),
    ("3034265G.21O", "SEPT2650.21P"),
    ("GEOP092I.24o", "HERT00GBR_R_20240920000_01D_GN.rnx"),
    ("TLSE00FRA_R_20230010000_10S_01S_MO.rnx", "BRDC00IGS_R_20230010000_01D_MN.rnx"),
    ("tlse001b.23o", "BRDC00IGS_R_20230010000_01D_MN.rnx"),
    ("delf0010.21o", "brdc0010.21n"),
    ("slac1180.21o", "brdc1180.21n"),
]


@needs_data
@pytest.mark.parametrize("obs_name, nav_name", PAIRS, ids=[p[0] for p in PAIRS])
def test_old_and_new_api_agree(obs_name, nav_name):
    old = q.CN0Analyzer.from_obs(q.read_rinex_obs(path(obs_name)))
    old.set_navigation(q.read_navigation(path(nav_name)))
    old_result = old.analyze()
    # from_obs does not scale its thresholds: sensitivity 0.0 gives the same 3.0 and 6.0.
    new = q.CN0Analyzer(q.AnalysisConfig(anomaly_sensitivity=0.0))
    new_result = new.analyze_with_nav(path(obs_name), path(nav_name))
    assert new_result.total_observations > 0
    assert new_result.has_visibility_prediction
    assert fp(old_result) == fp(new_result)
    by_config = q.CN0Analyzer(q.AnalysisConfig(anomaly_sensitivity=0.0, nav_file=path(nav_name)))
    assert fp(by_config.analyze_file(path(obs_name))) == fp(new_result)
