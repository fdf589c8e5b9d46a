"""The complete Python surface of the module in one place: names and their order in __all__, the
version texts, every text signature and docstring of the functions, classes, methods and
attributes, and the exact attribute and method sets of each class. Any drift of the surface
fails here."""

from __future__ import annotations

import types

import pytest

import quorsin_cn0 as q

ALL = [
    "VERSION",
    "__version__",
    "RinexObsData",
    "NavigationData",
    "AnalysisConfig",
    "CN0Analyzer",
    "AnalysisResult",
    "QualityScore",
    "read_rinex_obs",
    "read_rinex_obs_bytes",
    "parse_rinex",
    "read_navigation",
    "read_navigation_bytes",
    "analyze_cn0",
    "version",
    "download_tle",
    "parse_tle_content",
]

CLASSES = ["RinexObsData", "NavigationData", "AnalysisConfig", "CN0Analyzer", "AnalysisResult", "QualityScore"]

FUNCTIONS = {
    "read_rinex_obs": ("(path)", "Read RINEX observation file from path"),
    "read_rinex_obs_bytes": ("(data, filename)", "Read RINEX observation file from bytes"),
    "parse_rinex": ("(data, filename)", "Alias for read_rinex_obs_bytes - parse RINEX from bytes"),
    "read_navigation": ("(path)", "Read navigation file from path"),
    "read_navigation_bytes": ("(data)", "Read navigation file from bytes"),
    "analyze_cn0": ("(obs_path, nav_path=None, min_elevation=5.0, systems=None)", "Quick analysis function"),
    "version": ("()", "Get library version"),
    "download_tle": ("()", "Download GNSS TLE from CelesTrak"),
    "parse_tle_content": ("(content)", "Parse TLE content and return satellite count"),
}

CLASS_DOCS = {
    "RinexObsData": "Python wrapper for RinexObsData",
    "NavigationData": "Python wrapper for NavigationData",
    "AnalysisConfig": "Python wrapper for AnalysisConfig",
    "CN0Analyzer": "Python wrapper for CN0Analyzer - supports both config-based and direct API",
    "AnalysisResult": "Python wrapper for AnalysisResult",
    "QualityScore": "Python wrapper for QualityScore with notebook-compatible attributes",
}

CLASS_SIGNATURES = {
    "AnalysisConfig": (
        "(min_elevation=5.0, min_cn0=0.0, max_cn0=60.0, time_bin_seconds=None, time_bin=None, systems=None, "
        "anomaly_threshold_low=3.0, anomaly_threshold_high=6.0, anomaly_threshold_critical=10.0, "
        "detect_anomalies=True, anomaly_sensitivity=0.5, interference_threshold_db=6.0, verbose=False, "
        "nav_file=None, spoofing_unexpected_threshold=0.40, spoofing_min_unexpected_count=8.0)"
    ),
    "CN0Analyzer": "(config)",
}

# Methods of each class: name -> (text signature, docstring). from_obs is static, so it has no $self.
METHODS = {
    "CN0Analyzer": {
        "from_obs": ("(obs_data, min_elevation=5.0, time_bin_seconds=60, systems=None)",
                     "Alternative constructor from observation data (legacy API)"),
        "set_navigation": ("($self, nav_data)", "Set navigation data for satellite position computation (old API)"),
        "analyze": ("($self)", "Run CN0 analysis (old API - requires obs_data set via from_obs)"),
        "analyze_file": ("($self, obs_path)", "Analyze RINEX observation file from path (new API)"),
        "analyze_with_nav": ("($self, obs_path, nav_path)", "Analyze with separate navigation file (new API)"),
    },
    "AnalysisResult": {
        "to_json": ("($self)", "Convert to JSON string"),
        "to_json_pretty": ("($self)", "Convert to pretty JSON string"),
        "get_anomalies": ("($self)", "Get anomalies list"),
        "get_constellation_summary": ("($self, name)", "Get constellation summary by name"),
        "get_systems": ("($self)", "Get systems observed"),
        "get_timeseries_data": ("($self)", "Get timeseries data as dict"),
        "get_timestamps": ("($self)", "Get timeseries timestamps"),
        "get_timeseries_cn0": ("($self)", "Get timeseries mean CN0 values"),
        "get_mean_cn0_series": ("($self)", "Get timeseries mean CN0 values"),
        "get_satellite_count_series": ("($self)", "Get timeseries satellite counts"),
        "get_satellite_ids": ("($self)", "Get satellite IDs"),
        "get_anomaly_timestamps": ("($self)", "Get anomaly timestamps"),
        "get_anomaly_severities": ("($self)", "Get anomaly severities"),
        "get_anomaly_cn0_drops": ("($self)", "Get anomaly CN0 drops"),
        "get_skyplot_data": ("($self)", "Get skyplot data as list of trace dicts"),
        "get_frequently_missing_satellites": ("($self)", "Get frequently missing satellites (possible obstructions)"),
        "get_frequently_unexpected_satellites": ("($self)",
                                                 "Get frequently unexpected satellites (possible spoofing)"),
        "get_visibility_anomaly_types": ("($self)", "Get visibility anomaly types"),
        "get_visibility_anomaly_descriptions": ("($self)", "Get visibility anomaly descriptions"),
        "visibility_debug": ("($self)", "Get detailed visibility debug info per system"),
        "to_dataframe": ("($self, what)",
                         "A table of the result as a pandas DataFrame: what is 'satellites', 'constellations',\n"
                         "'timeseries', 'anomalies', 'events' or 'samples' (the accepted C/N0 samples: time,\n"
                         "satellite, code, cn0, elevation, azimuth). Times are datetime64[ns], satellites, systems\n"
                         "and codes categorical. Needs pandas (pip install 'quorsin_cn0[arrays]')."),
    },
    "RinexObsData": {
        "satellites_by_system": ("($self)", "Get satellites grouped by constellation system\n"
                                 "Returns dict like {'G': ['G01', 'G02', ...], 'R': ['R01', ...], ...}"),
        "obs_types_by_system": ("($self)", "Get observation types by constellation system\n"
                                "Returns dict like {'G': ['C1C', 'L1C', 'S1C', ...], 'C': ['C1I', 'L1I', 'S1I', ...], ...}"),
        "snr_availability": ("($self)", "Check if S (SNR) observations exist for each system"),
        "debug_info": ("($self)", "Get detailed debug info about parsing"),
        "snr_stats_by_satellite": ("($self)", "Get SNR statistics per satellite\n"
                                   "Returns HashMap with satellite ID as key, stats dict as value"),
        "to_xarray": ("($self, use=None, meas=None)",
                      "The observations as an xarray.Dataset laid out like georinex.load's: dimensions time\n"
                      "(datetime64[ns], one row per stored epoch, in file order) and sv (identifiers, ascending);\n"
                      "one float64 variable per observation code, NaN where nothing was observed (a 0.0 field is\n"
                      "no observation); the header facts as attributes.\n\n"
                      "use: system letters to keep ('G' or ['G', 'E']); meas: codes to keep, each item keeping\n"
                      "the codes that start with it ('S' keeps every signal strength). RINEX 2 codes are named as\n"
                      "read (S1 as S1C, P2 as C2P); a two-letter RINEX 2 name in meas selects the code it was read\n"
                      "as.\nNeeds numpy and xarray (pip install 'quorsin_cn0[arrays]')."),
        "cn0": ("($self)",
                "Signal strength as NumPy arrays: (times, satellites, codes, values), values being a float32\n"
                "array of shape (time, satellite, signal-strength code), NaN where absent. times are\n"
                "datetime64[ns], one per stored epoch; satellites ascending; codes in header order.\n"
                "Needs numpy only."),
    },
    "NavigationData": {
        "has_data": ("($self)", "Check if navigation data is available"),
    },
    "AnalysisConfig": {},
    "QualityScore": {},
}

JAMMING_DOC = (
    "Check if jamming detected\n"
    "Real jamming causes: severe CN0 drops (>10dB) across MULTIPLE satellites simultaneously\n"
    "AND low average CN0 (<35 dB-Hz) or high percentage of critical anomalies"
)
SPOOFING_DOC = (
    "Check if spoofing detected\n"
    "Real spoofing indicators:\n"
    "1. Many unexpected satellites (>40% not in ephemeris) with GOOD signals\n"
    "2. Satellites appearing with impossible geometry (wrong hemisphere, etc.)\n"
    "Note: Low CN0 std deviation is NOT a spoofing indicator - it's actually good data!"
)
INTERFERENCE_DOC = (
    "Check if interference detected\n"
    "Requires meaningful anomaly count - not just isolated events"
)

# Attributes of each class: name -> docstring, or None where no docstring is fixed.
ATTRIBUTES = {
    "AnalysisResult": {
        "filename": "Get filename",
        "rinex_version": "Get RINEX version (placeholder)",
        "station_name": "Get station name (marker name)",
        "receiver_type": "Get receiver type",
        "antenna_type": "Get antenna type",
        "start_time": "Get start time",
        "end_time": "Get end time",
        "duration_hours": "Get duration in hours",
        "interval": "Get observation interval",
        "total_observations": "Get total observations",
        "total_satellites": "Get total satellites",
        "total_epochs": "Get total epochs (alias: epoch_count)",
        "epoch_count": "Get epoch count (alias for total_epochs)",
        "constellations": "Get constellations observed",
        "mean_cn0": "Get mean CN0 (alias: avg_cn0)",
        "avg_cn0": "Get average CN0 (alias for mean_cn0)",
        "min_cn0": "Get min CN0",
        "max_cn0": "Get max CN0",
        "cn0_std_dev": "Get CN0 standard deviation (computed from timeseries)",
        "anomaly_count": "Get anomaly count",
        "critical_count": "Get critical anomaly count",
        "jamming_detected": JAMMING_DOC,
        "spoofing_detected": SPOOFING_DOC,
        "interference_detected": INTERFERENCE_DOC,
        "quality_score": "Get quality score object with all metrics",
        "score": "Get quality score value (alias for overall)",
        "quality_grade": "Get quality grade",
        "summary": "Get summary interpretation",
        "skyplot_coverage": "Get skyplot coverage percent",
        "skyplot_trace_count": "Get number of skyplot traces",
        "has_visibility_prediction": "Check if visibility prediction is available",
        "visibility_prediction_source": "Get visibility prediction source",
        "visibility_confirmation_rate": "Get visibility confirmation rate",
        "visibility_mean_predicted": "Get mean predicted satellites",
        "visibility_mean_observed": "Get mean observed satellites",
        "visibility_mean_missing": "Get mean missing satellites per epoch",
        "visibility_mean_unexpected": "Get mean unexpected satellites per epoch (seen but not predicted)",
        "visibility_anomaly_count": "Get visibility anomaly count",
        "position_lat": "Get receiver latitude",
        "position_lon": "Get receiver longitude",
    },
    "RinexObsData": {
        "version": "Get RINEX version",
        "marker_name": "Get marker name",
        "receiver_type": "Get receiver type",
        "interval": "Get interval",
        "num_epochs": "Get number of epochs",
        "num_satellites": "Get number of satellites",
    },
    "NavigationData": {
        "satellite_count": "Get satellite count",
        "gps_count": "Get GPS satellite count",
        "glonass_count": "Get GLONASS satellite count",
        "galileo_count": "Get Galileo satellite count",
        "beidou_count": "Get BeiDou satellite count",
    },
    "AnalysisConfig": dict.fromkeys([
        "min_elevation", "min_cn0", "max_cn0", "time_bin_seconds", "systems", "anomaly_threshold_low",
        "anomaly_threshold_high", "anomaly_threshold_critical", "detect_anomalies", "anomaly_sensitivity",
        "interference_threshold_db", "verbose", "nav_file", "spoofing_unexpected_threshold",
        "spoofing_min_unexpected_count",
    ]),
    "QualityScore": dict.fromkeys([
        "overall", "rating", "cn0_quality", "availability", "continuity", "stability", "diversity",
        "post_processing_suitable",
    ]),
    "CN0Analyzer": {},
}


def own_names(cls: type) -> dict[str, object]:
    """The names a class defines itself, without the machinery every type carries."""
    return {n: v for n, v in vars(cls).items() if not (n.startswith("__") and n.endswith("__"))}


# --- module ----------------------------------------------------------------------------------


def test_all_lists_the_seventeen_names_in_order():
    assert q.__all__ == ALL
    assert type(q.__all__) is list
    for name in ALL:
        assert hasattr(q, name), name


def test_version_texts():
    assert q.VERSION == "0.4.2"
    assert q.__version__ == "0.4.2"
    assert q.version() == "0.4.2"
    assert type(q.VERSION) is str and type(q.version()) is str


@pytest.mark.parametrize("name", FUNCTIONS)
def test_function_signature_and_doc(name):
    fn = getattr(q, name)
    signature, doc = FUNCTIONS[name]
    assert isinstance(fn, types.BuiltinFunctionType)
    assert fn.__text_signature__ == signature
    assert fn.__doc__ == doc


def test_functions_and_classes_are_exactly_the_listed_ones():
    functions = {n for n in ALL if isinstance(getattr(q, n), types.BuiltinFunctionType)}
    classes = {n for n in ALL if isinstance(getattr(q, n), type)}
    assert functions == set(FUNCTIONS)
    assert classes == set(CLASSES)


# --- classes ---------------------------------------------------------------------------------


@pytest.mark.parametrize("name", CLASSES)
def test_class_doc_and_module(name):
    cls = getattr(q, name)
    assert cls.__name__ == name
    assert cls.__module__ == "builtins"
    assert cls.__doc__ == CLASS_DOCS[name]


def test_which_classes_have_their_own_repr():
    for name in ("AnalysisConfig", "CN0Analyzer"):
        assert "__repr__" not in vars(getattr(q, name)), name
    for name in ("RinexObsData", "NavigationData", "AnalysisResult", "QualityScore"):
        assert "__repr__" in vars(getattr(q, name)), name


@pytest.mark.parametrize("name", sorted(CLASS_SIGNATURES))
def test_constructor_signatures(name):
    assert getattr(q, name).__text_signature__ == CLASS_SIGNATURES[name]


@pytest.mark.parametrize("name", CLASSES)
def test_class_defines_exactly_its_methods_and_attributes(name):
    cls = getattr(q, name)
    own = own_names(cls)
    attributes = {n for n, v in own.items() if isinstance(v, types.GetSetDescriptorType)}
    methods = {n for n in own if n not in attributes}
    assert attributes == set(ATTRIBUTES[name])
    assert methods == set(METHODS[name])


def test_attribute_counts():
    # Fifteen settings, eight score figures, six file facts, five navigation counts.
    assert len(ATTRIBUTES["AnalysisConfig"]) == 15
    assert len(ATTRIBUTES["QualityScore"]) == 8
    assert len(ATTRIBUTES["RinexObsData"]) == 6
    assert len(ATTRIBUTES["NavigationData"]) == 5
    assert len(ATTRIBUTES["AnalysisResult"]) == 40


METHOD_CASES = [(c, m) for c, ms in METHODS.items() for m in ms]


@pytest.mark.parametrize("cls_name, method", METHOD_CASES, ids=[f"{c}.{m}" for c, m in METHOD_CASES])
def test_method_signature_and_doc(cls_name, method):
    cls = getattr(q, cls_name)
    signature, doc = METHODS[cls_name][method]
    fn = getattr(cls, method)
    assert fn.__text_signature__ == signature
    assert fn.__doc__ == doc


def test_from_obs_is_a_static_method():
    assert isinstance(vars(q.CN0Analyzer)["from_obs"], staticmethod)
    for name in ("set_navigation", "analyze", "analyze_file", "analyze_with_nav"):
        assert isinstance(vars(q.CN0Analyzer)[name], types.MethodDescriptorType), name


DOC_CASES = [(c, a) for c, attrs in ATTRIBUTES.items() for a, d in attrs.items() if d is not None]


@pytest.mark.parametrize("cls_name, attribute", DOC_CASES, ids=[f"{c}.{a}" for c, a in DOC_CASES])
def test_attribute_doc(cls_name, attribute):
    descriptor = vars(getattr(q, cls_name))[attribute]
    assert descriptor.__doc__ == ATTRIBUTES[cls_name][attribute]


@pytest.mark.parametrize("name", ["RinexObsData", "NavigationData", "AnalysisResult", "QualityScore"])
def test_result_classes_cannot_be_constructed(name):
    with pytest.raises(TypeError) as e:
        getattr(q, name)()
    assert str(e.value) == f"No constructor defined for {name}"
