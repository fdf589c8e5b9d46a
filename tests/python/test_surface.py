"""The Python surface as one table (every name, its kind, text signature and docstring), the exact member sets,
read-only objects, "No constructor defined", and the texts of argument-binding and conversion errors."""

from __future__ import annotations

import pathlib
import types

import pytest

import quorsin_cn0 as q

ALL = ("VERSION __version__ RinexObsData NavigationData AnalysisConfig CN0Analyzer AnalysisResult QualityScore "
       "read_rinex_obs read_rinex_obs_bytes parse_rinex read_navigation read_navigation_bytes analyze_cn0 version "
       "download_tle parse_tle_content").split()
CONFIG_SIGNATURE = (
    "(min_elevation=5.0, min_cn0=0.0, max_cn0=60.0, time_bin_seconds=None, time_bin=None, systems=None, "
    "anomaly_threshold_low=3.0, anomaly_threshold_high=6.0, anomaly_threshold_critical=10.0, detect_anomalies=True, "
    "anomaly_sensitivity=0.5, interference_threshold_db=6.0, verbose=False, nav_file=None, "
    "spoofing_unexpected_threshold=0.40, spoofing_min_unexpected_count=8.0)")
S = "($self)"


def table(text: str) -> list[tuple[str, str]]:
    """'name: doc | name: doc ...' as pairs; lines of the text are joined by a blank."""
    return [tuple(item.strip().split(": ", 1)) for item in " ".join(line.strip() for line in text.splitlines()).split(" | ")]


# name -> (kind, text signature, docstring); kind: fn, class, method, static, attr or py (a Python function);
# docstring None where none is fixed, ending in "..." where only its start is.
SURFACE = {
    "read_rinex_obs": ("fn", "(path)", "Read RINEX observation file from path"),
    "read_rinex_obs_bytes": ("fn", "(data, filename)", "Read RINEX observation file from bytes"),
    "parse_rinex": ("fn", "(data, filename)", "Alias for read_rinex_obs_bytes - parse RINEX from bytes"),
    "read_navigation": ("fn", "(path)", "Read navigation file from path"),
    "read_navigation_bytes": ("fn", "(data)", "Read navigation file from bytes"),
    "analyze_cn0": ("fn", "(obs_path, nav_path=None, min_elevation=5.0, systems=None)", "Quick analysis function"),
    "version": ("fn", "()", "Get library version"),
    "download_tle": ("fn", "()", "Download GNSS TLE from CelesTrak"),
    "parse_tle_content": ("fn", "(content)", "Parse TLE content and return satellite count"),
    "RinexObsData": ("class", None, "Python wrapper for RinexObsData"),
    "NavigationData": ("class", None, "Python wrapper for NavigationData"),
    "AnalysisConfig": ("class", CONFIG_SIGNATURE, "Python wrapper for AnalysisConfig"),
    "CN0Analyzer": ("class", "(config)", "Python wrapper for CN0Analyzer - supports both config-based and direct API"),
    "AnalysisResult": ("class", None, "Python wrapper for AnalysisResult"),
    "QualityScore": ("class", None, "Python wrapper for QualityScore with notebook-compatible attributes"),
    "CN0Analyzer.from_obs": ("static", "(obs_data, min_elevation=5.0, time_bin_seconds=60, systems=None)",
                             "Alternative constructor from observation data (legacy API)"),
    "CN0Analyzer.set_navigation": ("method", "($self, nav_data)",
                                   "Set navigation data for satellite position computation (old API)"),
    "CN0Analyzer.analyze": ("method", S, "Run CN0 analysis (old API - requires obs_data set via from_obs)"),
    "CN0Analyzer.analyze_file": ("method", "($self, obs_path)", "Analyze RINEX observation file from path (new API)"),
    "CN0Analyzer.analyze_with_nav": ("method", "($self, obs_path, nav_path)",
                                     "Analyze with separate navigation file (new API)"),
    "RinexObsData.satellites_by_system": ("method", S, "Get satellites grouped by constellation system\n"
                                          "Returns dict like {'G': ['G01', 'G02', ...], 'R': ['R01', ...], ...}"),
    "RinexObsData.obs_types_by_system": ("method", S, "Get observation types by constellation system\nReturns dict "
                                         "like {'G': ['C1C', 'L1C', 'S1C', ...], 'C': ['C1I', 'L1I', 'S1I', ...], ...}"),
    "RinexObsData.snr_availability": ("method", S, "Check if S (SNR) observations exist for each system"),
    "RinexObsData.debug_info": ("method", S, "Get detailed debug info about parsing"),
    "RinexObsData.snr_stats_by_satellite": ("method", S, "Get SNR statistics per satellite\n"
                                            "Returns HashMap with satellite ID as key, stats dict as value"),
    "NavigationData.has_data": ("method", S, "Check if navigation data is available"),
    # The array and table views and the interference monitor (their own tests pin their texts).
    "RinexObsData.cn0": ("method", S, "Signal strength as NumPy arrays: (times, satellites, codes, values)..."),
    "RinexObsData.to_xarray": ("method", "($self, use=None, meas=None)",
                               "The observations as an xarray.Dataset laid out like georinex.load's..."),
    "AnalysisResult.to_dataframe": ("method", "($self, what)", "A table of the result as a pandas DataFrame..."),
    "AnalysisResult.health": ("method", S, "Station health: completeness_percent (observed over expected..."),
    "AnalysisResult.interference_events": ("method", S, "Interference and spoofing events found band by band..."),
    "AnalysisResult.interference_verdict": ("attr", None, "Verdict of the band-wise interference monitor..."),
    "AnalysisResult._repr_html_": ("py", None, "HTML summary card for notebooks: verdict, grade, key figures and a "
                                   "small C/N0 plot."),
    **{f"RinexObsData.{n}": ("attr", None, d) for n, d in table("""
    version: Get RINEX version | marker_name: Get marker name | receiver_type: Get receiver type | interval: Get
    interval | num_epochs: Get number of epochs | num_satellites: Get number of satellites""")},
    **{f"NavigationData.{n}": ("attr", None, d) for n, d in table("""
    satellite_count: Get satellite count | gps_count: Get GPS satellite count | glonass_count: Get GLONASS
    satellite count | galileo_count: Get Galileo satellite count | beidou_count: Get BeiDou satellite count""")},
    **{f"AnalysisConfig.{n}": ("attr", None, None) for n in (
        "min_elevation min_cn0 max_cn0 time_bin_seconds systems anomaly_threshold_low anomaly_threshold_high "
        "anomaly_threshold_critical detect_anomalies anomaly_sensitivity interference_threshold_db verbose nav_file "
        "spoofing_unexpected_threshold spoofing_min_unexpected_count").split()},
    **{f"QualityScore.{n}": ("attr", None, None) for n in
       "overall rating cn0_quality availability continuity stability diversity post_processing_suitable".split()},
    **{f"AnalysisResult.{n}": ("method", S, d) for n, d in table("""
    to_json: Convert to JSON string | to_json_pretty: Convert to pretty JSON string | get_anomalies: Get anomalies
    list | get_systems: Get systems observed | get_timeseries_data: Get timeseries data as dict | get_timestamps:
    Get timeseries timestamps | get_timeseries_cn0: Get timeseries mean CN0 values | get_mean_cn0_series: Get
    timeseries mean CN0 values | get_satellite_count_series: Get timeseries satellite counts | get_satellite_ids:
    Get satellite IDs | get_anomaly_timestamps: Get anomaly timestamps | get_anomaly_severities: Get anomaly
    severities | get_anomaly_cn0_drops: Get anomaly CN0 drops | get_skyplot_data: Get skyplot data as list of
    trace dicts | get_frequently_missing_satellites: Get frequently missing satellites (possible obstructions) |
    get_frequently_unexpected_satellites: Get frequently unexpected satellites (possible spoofing) |
    get_visibility_anomaly_types: Get visibility anomaly types | get_visibility_anomaly_descriptions: Get
    visibility anomaly descriptions | visibility_debug: Get detailed visibility debug info per system""")},
    "AnalysisResult.get_constellation_summary": ("method", "($self, name)", "Get constellation summary by name"),
    **{f"AnalysisResult.{n}": ("attr", None, d) for n, d in table("""
    filename: Get filename | rinex_version: Get RINEX version (placeholder) | station_name: Get station name
    (marker name) | receiver_type: Get receiver type | antenna_type: Get antenna type | start_time: Get start time
    | end_time: Get end time | duration_hours: Get duration in hours | interval: Get observation interval |
    total_observations: Get total observations | total_satellites: Get total satellites | total_epochs: Get total
    epochs (alias: epoch_count) | epoch_count: Get epoch count (alias for total_epochs) | constellations: Get
    constellations observed | mean_cn0: Get mean CN0 (alias: avg_cn0) | avg_cn0: Get average CN0 (alias for
    mean_cn0) | min_cn0: Get min CN0 | max_cn0: Get max CN0 | cn0_std_dev: Get CN0 standard deviation (computed
    from timeseries) | anomaly_count: Get anomaly count | critical_count: Get critical anomaly count |
    quality_score: Get quality score object with all metrics | score: Get quality score value (alias for overall)
    | quality_grade: Get quality grade | summary: Get summary interpretation | skyplot_coverage: Get skyplot
    coverage percent | skyplot_trace_count: Get number of skyplot traces | has_visibility_prediction: Check if
    visibility prediction is available | visibility_prediction_source: Get visibility prediction source |
    visibility_confirmation_rate: Get visibility confirmation rate | visibility_mean_predicted: Get mean predicted
    satellites | visibility_mean_observed: Get mean observed satellites | visibility_mean_missing: Get mean
    missing satellites per epoch | visibility_mean_unexpected: Get mean unexpected satellites per epoch (seen but
    not predicted) | visibility_anomaly_count: Get visibility anomaly count | position_lat: Get receiver latitude
    | position_lon: Get receiver longitude""")},
    **{f"AnalysisResult.{n}": ("attr", None, d) for n, d in [
        ("jamming_detected", "Check if jamming detected\nReal jamming causes: severe CN0 drops (>10dB) across "
         "MULTIPLE satellites simultaneously\nAND low average CN0 (<35 dB-Hz) or high percentage of critical anomalies"),
        ("spoofing_detected", "Check if spoofing detected\nReal spoofing indicators:\n1. Many unexpected satellites "
         "(>40% not in ephemeris) with GOOD signals\n2. Satellites appearing with impossible geometry (wrong "
         "hemisphere, etc.)\nNote: Low CN0 std deviation is NOT a spoofing indicator - it's actually good data!"),
        ("interference_detected", "Check if interference detected\n"
         "Requires meaningful anomaly count - not just isolated events")]},
}
CLASSES = [n for n, e in SURFACE.items() if e[0] == "class"]


@pytest.mark.parametrize("name", SURFACE)
def test_surface_entry(name):
    kind, signature, doc = SURFACE[name]
    owner, _, member = name.rpartition(".")
    obj = getattr(getattr(q, owner) if owner else q, member)
    raw = vars(getattr(q, owner))[member] if owner else obj
    expected_type = {"fn": types.BuiltinFunctionType, "class": type, "static": staticmethod,
                     "method": types.MethodDescriptorType, "attr": types.GetSetDescriptorType,
                     "py": types.FunctionType}[kind]
    assert isinstance(raw, expected_type)
    if kind not in ("attr", "py"):
        assert obj.__text_signature__ == signature
    if doc is not None:
        text = (raw if kind == "attr" else obj).__doc__
        assert text.startswith(doc[:-3]) if doc.endswith("...") else text == doc
    if kind == "class":
        assert (obj.__name__, obj.__module__) == (member, "builtins")
        assert ("__repr__" in vars(obj)) == (member not in ("AnalysisConfig", "CN0Analyzer"))


def test_module_names_and_member_sets():
    assert q.__all__ == ALL
    assert q.VERSION == q.__version__ == q.version() == "0.4.2"
    assert {n for n in ALL if isinstance(getattr(q, n), (type, types.BuiltinFunctionType))} == \
        {n for n in SURFACE if "." not in n}
    for cls in CLASSES:
        own = {n for n in vars(getattr(q, cls)) if not (n.startswith("__") and n.endswith("__"))}
        assert own == {n.split(".")[1] for n in SURFACE if n.startswith(cls + ".")}, cls


def test_objects_are_read_only_and_results_not_constructible(write):
    path = write("a.24o", "     3.04".ljust(60) + "RINEX VERSION / TYPE\n" + "".ljust(60) + "END OF HEADER\n")
    r = q.analyze_cn0(path)
    objects = {"RinexObsData": q.read_rinex_obs(path), "NavigationData": q.read_navigation(path), "AnalysisResult": r,
               "QualityScore": r.quality_score, "AnalysisConfig": q.AnalysisConfig(), "CN0Analyzer": q.CN0Analyzer(q.AnalysisConfig())}
    for obj, member in [(objects[n.split(".")[0]], n.split(".")[1]) for n in SURFACE if "." in n] + [
            (obj, "something_new") for obj in objects.values()]:
        with pytest.raises(AttributeError):
            setattr(obj, member, 1)
    for cls in list(objects)[:4]:
        with pytest.raises(TypeError, match=f"^No constructor defined for {cls}$"):
            getattr(q, cls)("x", 2)


# Binding follows Python's rules with Python's texts; a failed conversion names its parameter.
BINDING_ERRORS = [
    (lambda: q.read_rinex_obs(), "read_rinex_obs() missing 1 required positional argument: 'path'"),
    (lambda: q.read_rinex_obs("a", "b"), "read_rinex_obs() takes 1 positional argument but 2 were given"),
    (lambda: q.read_rinex_obs_bytes(b"", "f", data=b""), "read_rinex_obs_bytes() got multiple values for argument 'data'"),
    (lambda: q.version(x=1), "version() got an unexpected keyword argument 'x'"),
    (lambda: q.AnalysisConfig(*range(17)), "AnalysisConfig() takes from 0 to 16 positional arguments but 17 were given"),
    (lambda: q.read_rinex_obs(pathlib.Path("x")), "argument 'path': 'PosixPath' object cannot be converted to 'str'"),
    (lambda: q.parse_rinex(bytearray(b"x"), "f"), "argument 'data': 'bytearray' object cannot be converted to 'bytes'"),
    (lambda: q.analyze_cn0("x", min_elevation="10"), "argument 'min_elevation': must be real number, not str"),
    (lambda: q.AnalysisConfig(systems="G"), "argument 'systems': Can't extract `str` to `Vec`"),
    (lambda: q.AnalysisConfig(systems=["G", 1]), "argument 'systems': 'int' object cannot be converted to 'str'"),
    (lambda: q.AnalysisConfig(verbose=1), "argument 'verbose': 'int' object cannot be converted to 'bool'"),
    (lambda: q.AnalysisConfig(time_bin=1.5), "argument 'time_bin': 'float' object cannot be interpreted as an integer"),
    (lambda: q.CN0Analyzer.from_obs(None), "argument 'obs_data': 'NoneType' object cannot be converted to 'RinexObsData'"),
    (lambda: q.CN0Analyzer(q.AnalysisConfig()).analyze_with_nav("x", b"n"), "argument 'nav_path': 'bytes' object cannot be converted to 'str'"),
    (lambda: q.CN0Analyzer(q.AnalysisConfig()).analyze(), "No observation data. Use analyze_file() or CN0Analyzer.from_obs()"),
]


@pytest.mark.parametrize("call, message", BINDING_ERRORS)
def test_binding_error_texts(call, message):
    with pytest.raises(ValueError if message.startswith("No obs") else TypeError) as e:
        call()
    assert str(e.value) == message
