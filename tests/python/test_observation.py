"""The module surface for observation files: module attributes and functions, the class
RinexObsData, reading by path and from bytes, and the queries on small files built here."""

from __future__ import annotations

import gc
import inspect
import os

import pytest

import quorsin_cn0 as q
from conftest import (end_of_header, header_line, v2_epoch, v2_obs_types, v2_record, v3_obs_types, v3_text,
                      version_line)

# Every name the module may export, in the order it adds them.
ALL_NAMES = ["VERSION", "__version__", "RinexObsData", "NavigationData", "AnalysisConfig", "CN0Analyzer",
             "AnalysisResult", "QualityScore", "read_rinex_obs", "read_rinex_obs_bytes", "parse_rinex",
             "read_navigation", "read_navigation_bytes", "analyze_cn0", "version", "download_tle",
             "parse_tle_content"]
OBSERVATION_NAMES = ["VERSION", "__version__", "RinexObsData", "read_rinex_obs", "read_rinex_obs_bytes",
                     "parse_rinex", "version"]

GPS = ["C1C", "L1C", "D1C", "S1C"]


def read(text: str, filename: str = "test.obs") -> q.RinexObsData:
    return q.read_rinex_obs_bytes(text.encode("latin-1"), filename)


def small() -> q.RinexObsData:
    """Two epochs: G05, R07, G02 then E11, G05, G01."""
    return read(v3_text(
        {"G": GPS, "R": ["C1C", "S1C"], "E": ["C1X", "S1X", "S5X"]},
        [(0.0, [("G05", [2e7, None, None, 45.0]), ("R07", [2e7, 38.5]), ("G02", [2e7, None, None, 0.0])]),
         (1.0, [("E11", [None, 41.0, 120.0]), ("G05", [2e7, None, None, 47.0]), ("G01", [2e7])])],
        header=header_line("SITE", "MARKER NAME") + header_line(" " * 20 + "SEPT POLARX5", "REC # / TYPE / VERS")
        + header_line("    30.000", "INTERVAL")))


# --- module ----------------------------------------------------------------------------------


def test_version_everywhere():
    assert q.VERSION == "0.4.2"
    assert q.__version__ == "0.4.2"
    assert q.version() == "0.4.2"


def test_all_lists_the_names_in_the_order_they_are_added():
    exported = list(q.__all__)
    assert len(exported) == len(set(exported))
    for name in OBSERVATION_NAMES:
        assert name in exported
    # Nothing outside the module's names, and those in their order.
    assert [n for n in ALL_NAMES if n in exported] == exported
    for name in exported:
        assert hasattr(q, name), name


@pytest.mark.parametrize("name, signature, doc", [
    ("read_rinex_obs", "(path)", "Read RINEX observation file from path"),
    ("read_rinex_obs_bytes", "(data, filename)", "Read RINEX observation file from bytes"),
    ("parse_rinex", "(data, filename)", "Alias for read_rinex_obs_bytes - parse RINEX from bytes"),
    ("version", "()", "Get library version"),
])
def test_function_signatures_and_docstrings(name, signature, doc):
    f = getattr(q, name)
    assert f.__text_signature__ == signature
    assert f.__doc__ == doc
    assert str(inspect.signature(f)) == signature


# --- the class -------------------------------------------------------------------------------

PROPERTIES = [
    ("version", "Get RINEX version"),
    ("marker_name", "Get marker name"),
    ("receiver_type", "Get receiver type"),
    ("interval", "Get interval"),
    ("num_epochs", "Get number of epochs"),
    ("num_satellites", "Get number of satellites"),
]
METHODS = [
    ("satellites_by_system", "Get satellites grouped by constellation system\n"
                             "Returns dict like {'G': ['G01', 'G02', ...], 'R': ['R01', ...], ...}"),
    ("obs_types_by_system", "Get observation types by constellation system\n"
                            "Returns dict like {'G': ['C1C', 'L1C', 'S1C', ...], 'C': ['C1I', 'L1I', 'S1I', ...], ...}"),
    ("snr_availability", "Check if S (SNR) observations exist for each system"),
    ("debug_info", "Get detailed debug info about parsing"),
    ("snr_stats_by_satellite", "Get SNR statistics per satellite\n"
                               "Returns HashMap with satellite ID as key, stats dict as value"),
]


def test_class_identity():
    cls = q.RinexObsData
    assert cls.__module__ == "builtins"
    assert cls.__name__ == "RinexObsData"
    assert cls.__doc__ == "Python wrapper for RinexObsData"
    assert type(small()) is cls


@pytest.mark.parametrize("args, kwargs", [((), {}), ((1, 2), {}), ((), {"version": 3.04})])
def test_class_cannot_be_constructed(args, kwargs):
    with pytest.raises(TypeError) as err:
        q.RinexObsData(*args, **kwargs)
    assert str(err.value) == "No constructor defined for RinexObsData"


@pytest.mark.parametrize("name, doc", PROPERTIES)
def test_properties_are_documented_and_read_only(name, doc):
    assert getattr(q.RinexObsData, name).__doc__ == doc
    obs = small()
    before = getattr(obs, name)
    with pytest.raises(AttributeError):
        setattr(obs, name, before)
    with pytest.raises(AttributeError):
        delattr(obs, name)
    assert getattr(obs, name) == before


def test_no_new_attributes():
    obs = small()
    with pytest.raises(AttributeError):
        obs.note = "x"


@pytest.mark.parametrize("name, doc", METHODS)
def test_methods_are_documented_and_take_no_arguments(name, doc):
    method = getattr(q.RinexObsData, name)
    assert method.__doc__ == doc
    assert method.__text_signature__ == "($self)"
    obs = small()
    with pytest.raises(TypeError):
        getattr(obs, name)(1)
    with pytest.raises(TypeError):
        getattr(obs, name)(x=1)


def test_property_values_and_types():
    obs = small()
    assert obs.version == 3.04 and type(obs.version) is float
    assert obs.marker_name == "SITE"
    assert obs.receiver_type == "SEPT POLARX5"
    assert obs.interval == 30.0 and type(obs.interval) is float
    assert obs.num_epochs == 2 and type(obs.num_epochs) is int
    # G05, R07, G02 (a pseudorange and a zero S value), E11 and G01.
    assert obs.num_satellites == 5 and type(obs.num_satellites) is int


def test_repr():
    assert repr(small()) == "RinexObsData(version=3.04, epochs=2, satellites=5)"
    empty = read(version_line("2") + end_of_header())
    assert repr(empty) == "RinexObsData(version=2.00, epochs=0, satellites=0)"
    assert str(empty) == repr(empty)


# --- reading ---------------------------------------------------------------------------------


def test_missing_file(tmp_path):
    with pytest.raises(OSError) as err:
        q.read_rinex_obs(str(tmp_path / "missing.obs"))
    assert str(err.value) == "No such file or directory (os error 2)"


def test_directory(tmp_path):
    with pytest.raises(OSError) as err:
        q.read_rinex_obs(str(tmp_path))
    assert str(err.value) == "Is a directory (os error 21)"


def test_file_path_with_trailing_separator(tmp_path):
    path = tmp_path / "site.obs"
    path.write_text(v3_text({"G": GPS}, []))
    with pytest.raises(OSError) as err:
        q.read_rinex_obs(str(path) + "/")
    assert str(err.value) == "Not a directory (os error 20)"


def test_path_with_a_nul_character_is_an_unreadable_file(tmp_path):
    with pytest.raises(OSError):
        q.read_rinex_obs(str(tmp_path / "a\0b.obs"))


def test_missing_end_of_header():
    for data in [b"", b"\n", b"random bytes\xff\n", version_line("3.04").encode() + b" " * 40 + b"END OF HEADER\n"]:
        for reader in (q.read_rinex_obs_bytes, q.parse_rinex):
            with pytest.raises(ValueError) as err:
                reader(data, "x.obs")
            assert str(err.value) == "No END OF HEADER found"


def test_missing_end_of_header_from_a_path(tmp_path):
    path = tmp_path / "broken.obs"
    path.write_bytes(version_line("3.04").encode() + v3_obs_types("G", GPS).encode())
    with pytest.raises(ValueError) as err:
        q.read_rinex_obs(str(path))
    assert str(err.value) == "No END OF HEADER found"


NO_MARKER = v3_text({"G": GPS}, [(0.0, [("G01", [None, None, None, 45.0])])])


def test_marker_name_from_the_last_path_component(tmp_path, monkeypatch):
    sub = tmp_path / "obs dir"
    sub.mkdir()
    (sub / "site.24o").write_text(NO_MARKER)
    assert q.read_rinex_obs(str(sub / "site.24o")).marker_name == "site.24o"
    monkeypatch.chdir(tmp_path)
    assert q.read_rinex_obs("obs dir/site.24o").marker_name == "site.24o"
    assert q.read_rinex_obs("./obs dir/../obs dir/site.24o").marker_name == "site.24o"
    monkeypatch.chdir(sub)
    assert q.read_rinex_obs("site.24o").marker_name == "site.24o"
    # A marker name in the header wins over the file name.
    (sub / "named.obs").write_text(v3_text({"G": GPS}, [], header=header_line("ABCD", "MARKER NAME")))
    assert q.read_rinex_obs("named.obs").marker_name == "ABCD"


def test_marker_name_of_a_non_utf8_file_name(tmp_path):
    raw = os.path.join(os.fsencode(str(tmp_path)), b"\xff.obs")
    try:
        with open(raw, "wb") as f:
            f.write(NO_MARKER.encode())
    except OSError:
        pytest.skip("the file system refuses a file name that is not UTF-8")
    obs = q.read_rinex_obs(os.fsdecode(raw))
    assert obs.marker_name == "unknown.obs"
    assert obs.num_epochs == 1


def test_non_ascii_file_name_is_kept(tmp_path):
    path = tmp_path / "café.obs"
    path.write_text(NO_MARKER)
    assert q.read_rinex_obs(str(path)).marker_name == "café.obs"


def test_bytes_readers_use_the_file_name_as_given():
    for name in ["dir/x.obs", "", "../..", "café.obs", "/"]:
        assert q.read_rinex_obs_bytes(NO_MARKER.encode(), name).marker_name == name
        assert q.parse_rinex(NO_MARKER.encode(), name).marker_name == name


def answers(obs: q.RinexObsData) -> tuple:
    return (obs.version, obs.marker_name, obs.receiver_type, obs.interval, obs.num_epochs, obs.num_satellites,
            obs.satellites_by_system(), obs.obs_types_by_system(), obs.snr_availability(),
            obs.snr_stats_by_satellite(), obs.debug_info(), repr(obs))


def test_path_bytes_and_alias_agree(tmp_path):
    text = v3_text({"G": GPS, "R": ["C1C", "S1C"]},
                                [(0.0, [("G05", [2e7, None, None, 45.0]), ("R07", [2e7, 38.5])])],
                                header=header_line("SITE", "MARKER NAME"))
    path = tmp_path / "x.obs"
    path.write_text(text)
    by_path = answers(q.read_rinex_obs(str(path)))
    assert by_path == answers(q.read_rinex_obs_bytes(text.encode(), "x.obs"))
    assert by_path == answers(q.parse_rinex(text.encode(), "x.obs"))


def test_windows_line_ends_read_like_line_feeds():
    text = v3_text({"G": GPS, "E": ["C1X", "S1X"]},
                   [(0.0, [("G05", [2e7, None, None, 45.0]), ("E07", [2e7, 38.5])]),
                    (1.0, [("G06", [2e7, None, None, 46.0])])],
                   header=header_line("SITE", "MARKER NAME") + header_line("    30.000", "INTERVAL"))
    lf = q.read_rinex_obs_bytes(text.encode(), "x")
    crlf = q.read_rinex_obs_bytes(text.replace("\n", "\r\n").encode(), "x")
    assert answers(lf) == answers(crlf)
    assert lf.num_epochs == 2


def test_non_ascii_bytes_read_as_question_marks():
    # The degree sign (two bytes) and a lone 0xB0 are three characters; the label stays at 60.
    line = b"PIER\xc2\xb0\xb0".ljust(60) + b"MARKER NAME\n"
    data = version_line("3.04").encode() + b"antenna \xb0 north".ljust(60) + b"COMMENT\n" + line + end_of_header().encode()
    assert q.read_rinex_obs_bytes(data, "x").marker_name == "PIER???"


def test_object_owns_its_data():
    data = bytes(bytearray(small_text_bytes()))
    obs = q.read_rinex_obs_bytes(data, "mine.obs")
    expected = answers(obs)
    del data
    gc.collect()
    # Other reads in between do not disturb it.
    for _ in range(3):
        q.read_rinex_obs_bytes(b"x" * 1000 + small_text_bytes(), "other")
    assert answers(obs) == expected


def small_text_bytes() -> bytes:
    return v3_text({"G": GPS}, [(0.0, [("G05", [2e7, None, None, 45.0])])],
                   header=header_line("OWNED", "MARKER NAME")).encode()


# --- queries ---------------------------------------------------------------------------------


def test_satellites_by_system():
    groups = small().satellites_by_system()
    assert groups == {"G": ["G05", "G02", "G01"], "R": ["R07"], "E": ["E11"]}
    # First appearance in file order.
    assert groups["G"] == ["G05", "G02", "G01"]


def test_obs_types_and_snr_availability():
    obs = small()
    assert obs.obs_types_by_system() == {"G": GPS, "R": ["C1C", "S1C"], "E": ["C1X", "S1X", "S5X"]}
    no_s = read(v3_text({"G": GPS, "C": ["C2I", "L2I"]}, []))
    availability = no_s.snr_availability()
    assert availability == {"G": True, "C": False}
    assert all(type(v) is bool for v in availability.values())


def test_snr_stats():
    stats = small().snr_stats_by_satellite()
    # G02's only S value is 0.000 (not stored) and G01 has none: both absent.
    assert set(stats) == {"G05", "R07", "E11"}
    assert stats["G05"] == {"obs_count": 2.0, "valid_count": 2.0, "mean_snr": 46.0}
    assert stats["R07"] == {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 38.5}
    # 41.0 and 120.0 pool S1X and S5X; only 41.0 lies in (0, 100).
    assert stats["E11"] == {"obs_count": 2.0, "valid_count": 1.0, "mean_snr": 41.0}
    for inner in stats.values():
        assert all(type(v) is float for v in inner.values())


def test_snr_stats_of_a_satellite_without_valid_values():
    obs = read(v3_text({"G": ["S1C", "S2W"]}, [(0.0, [("G01", [150.0, -3.0])])]))
    assert obs.snr_stats_by_satellite() == {"G01": {"obs_count": 2.0, "valid_count": 0.0, "mean_snr": 0.0}}


def test_snr_stats_over_many_epochs():
    epochs = [(float(k), [("G07", [None, 40.0 + k % 2, 30.0])]) for k in range(50)]
    epochs += [(50.0 + k, [("G07", [None, 42.0, 32.0])]) for k in range(50)]
    obs = read(v3_text({"G": ["C1C", "S1C", "S2W"]}, epochs))
    assert obs.num_epochs == 100
    stats = obs.snr_stats_by_satellite()["G07"]
    assert stats["obs_count"] == 200.0
    assert stats["valid_count"] == 200.0
    assert stats["mean_snr"] == pytest.approx((25 * 40 + 25 * 41 + 50 * 30 + 50 * 42 + 50 * 32) / 200)


def test_debug_info():
    info = small().debug_info()
    assert info == {
        "version": "3.04",
        "num_epochs": "2",
        "num_satellites": "5",
        "G_satellites": "3", "G_sat_list": "G05,G02,G01",
        "R_satellites": "1", "R_sat_list": "R07",
        "E_satellites": "1", "E_sat_list": "E11",
        "G_obs_types_count": "4", "G_obs_types": "C1C,L1C,D1C,S1C", "G_snr_types": "S1C",
        "R_obs_types_count": "2", "R_obs_types": "C1C,S1C", "R_snr_types": "S1C",
        "E_obs_types_count": "3", "E_obs_types": "C1X,S1X,S5X", "E_snr_types": "S1X,S5X",
    }


def test_header_without_s_codes_for_a_system():
    obs = read(v3_text({"G": GPS, "R": ["C1C", "L1C"]}, [(0.0, [("R01", [2e7, 1e8])])]))
    info = obs.debug_info()
    assert info["R_snr_types"] == ""
    assert info["R_satellites"] == "1"
    assert obs.snr_availability() == {"G": True, "R": False}
    assert obs.snr_stats_by_satellite() == {}


def test_empty_record():
    obs = read(v3_text({"G": GPS, "E": ["S1X"]}, []))
    assert obs.num_epochs == 0
    assert obs.num_satellites == 0
    assert obs.satellites_by_system() == {}
    assert obs.snr_stats_by_satellite() == {}
    assert obs.debug_info() == {
        "version": "3.04", "num_epochs": "0", "num_satellites": "0",
        "G_obs_types_count": "4", "G_obs_types": "C1C,L1C,D1C,S1C", "G_snr_types": "S1C",
        "E_obs_types_count": "1", "E_obs_types": "S1X", "E_snr_types": "S1X",
    }


def test_version2_file():
    text = (version_line("2.11") + header_line("    30.000", "INTERVAL") + v2_obs_types(["C1", "L1", "S1", "P2"])
            + end_of_header()
            + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, ["E05", "  3", "R10"]) + v2_record([2e7, None, 40.0])
            + v2_record([2e7, None, 41.0]) + v2_record([2e7, None, None]))
    obs = read(text)
    codes = ["C1C", "L1C", "S1C", "C2P"]
    assert obs.obs_types_by_system() == {"G": codes, "R": codes, "E": codes, "C": codes}
    assert obs.snr_availability() == {"G": True, "R": True, "E": True, "C": True}
    assert obs.satellites_by_system() == {"E": ["E05"], "G": ["G03"], "R": ["R10"]}
    assert obs.snr_stats_by_satellite() == {"E05": {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 40.0},
                                            "G03": {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 41.0}}
    assert obs.debug_info()["version"] == "2.11"
    assert obs.interval == 30.0


def test_satellite_number_written_with_a_blank_is_one_satellite():
    v3 = read(v3_text({"G": ["S1C"], "R": ["S1C"]},
                      [(0.0, [("G 7", [45.0]), ("R 1", [40.0])]), (1.0, [("G07", [46.0]), ("R01", [41.0])])]))
    assert v3.num_satellites == 2
    assert v3.satellites_by_system() == {"G": ["G07"], "R": ["R01"]}
    assert v3.snr_stats_by_satellite()["G07"]["obs_count"] == 2.0
    v2 = read(version_line("2.11") + v2_obs_types(["S1"]) + end_of_header()
              + v2_epoch(21, 1, 1, 0, 0, 0.0, 0, ["G 7", "R 1"]) + v2_record([45.0]) + v2_record([40.0])
              + v2_epoch(21, 1, 1, 0, 0, 30.0, 0, ["G07", "R01", "  7"]) + v2_record([46.0]) + v2_record([41.0])
              + v2_record([47.0]))
    assert v2.num_satellites == 2
    assert v2.satellites_by_system() == {"G": ["G07"], "R": ["R01"]}
    assert v2.debug_info()["G_sat_list"] == "G07"


def test_returned_values_are_fresh_copies():
    obs = small()
    for name in ("satellites_by_system", "obs_types_by_system", "snr_availability", "snr_stats_by_satellite",
                 "debug_info"):
        first = getattr(obs, name)()
        second = getattr(obs, name)()
        assert first == second and first is not second
        snapshot = repr(first)
        for key, value in list(first.items()):
            if isinstance(value, list):
                value.append("X99")
            elif isinstance(value, dict):
                value["obs_count"] = -1.0
            first[key] = value
        first["Z"] = "changed"
        assert repr(getattr(obs, name)()) == snapshot, name
    assert obs.satellites_by_system()["G"] is not obs.satellites_by_system()["G"]
