"""Reading observation, navigation and TLE text built here, whose every answer is known: the queries
of RinexObsData, file errors and name rules, navigation counts, and the TLE download through a fake curl."""

from __future__ import annotations

import gzip
import os
import re

import pytest

import quorsin_cn0 as q
from conftest import header_line, nav_text, obs_text, rinex2_text

GPS = ["C1C", "L1C", "D1C", "S1C"]
SMALL = obs_text(
    [(0, [("G05", [2e7, None, None, 45.0]), ("R07", [2e7, 99.5]), ("G02", [2e7, None, None, 0.0])]),
     (1, [("E11", [None, 41.0, 120.0]), ("G05", [2e7, None, None, 47.0]), ("G01", [2e7])]),
     (2, [("G09", [0.0, 0.0, 0.0, 0.0])])],  # nothing but zeros: not an epoch
    codes={"G": GPS, "R": ["C1C", "S1C"], "E": ["C1X", "S1X", "S5X"]},
    header=header_line("SITE", "MARKER NAME") + header_line(" " * 20 + "SEPT POLARX5", "REC # / TYPE / VERS")
    + header_line("    30.000", "INTERVAL"))


def read(text: str, name: str = "x.obs") -> q.RinexObsData:
    return q.read_rinex_obs_bytes(text.encode("latin-1"), name)


def answers(obs: q.RinexObsData) -> tuple:
    return (repr(obs), obs.version, obs.marker_name, obs.receiver_type, obs.interval, obs.num_epochs,
            obs.num_satellites, obs.satellites_by_system(), obs.obs_types_by_system(), obs.snr_availability(),
            obs.snr_stats_by_satellite(), obs.debug_info())


def test_queries_of_a_small_file():
    obs = read(SMALL)
    assert repr(obs) == str(obs) == "RinexObsData(version=3.04, epochs=2, satellites=5)"
    assert (obs.version, obs.marker_name, obs.receiver_type, obs.interval) == (3.04, "SITE", "SEPT POLARX5", 30.0)
    assert (type(obs.version), type(obs.num_epochs)) == (float, int)
    # First appearance in file order; G02 counts (a pseudorange), G09 has only zeros.
    assert obs.satellites_by_system() == {"G": ["G05", "G02", "G01"], "R": ["R07"], "E": ["E11"]}
    assert obs.obs_types_by_system() == {"G": GPS, "R": ["C1C", "S1C"], "E": ["C1X", "S1X", "S5X"]}
    # G02's only S value is 0.000 and G01 has none; E11 pools S1X and S5X, only 41.0 lies in (0, 100); R07 sits just inside it.
    assert obs.snr_stats_by_satellite() == {"G05": {"obs_count": 2.0, "valid_count": 2.0, "mean_snr": 46.0},
                                            "R07": {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 99.5},
                                            "E11": {"obs_count": 2.0, "valid_count": 1.0, "mean_snr": 41.0}}
    assert obs.debug_info() == {
        "version": "3.04", "num_epochs": "2", "num_satellites": "5",
        "G_satellites": "3", "G_sat_list": "G05,G02,G01", "R_satellites": "1", "R_sat_list": "R07",
        "E_satellites": "1", "E_sat_list": "E11",
        "G_obs_types_count": "4", "G_obs_types": "C1C,L1C,D1C,S1C", "G_snr_types": "S1C",
        "R_obs_types_count": "2", "R_obs_types": "C1C,S1C", "R_snr_types": "S1C",
        "E_obs_types_count": "3", "E_obs_types": "C1X,S1X,S5X", "E_snr_types": "S1X,S5X"}
    # Every query hands out a fresh copy.
    for name in ("satellites_by_system", "obs_types_by_system", "snr_availability", "snr_stats_by_satellite",
                 "debug_info"):
        getattr(obs, name)().clear()
    assert answers(obs) == answers(read(SMALL))


@pytest.mark.parametrize("text, satellites, stats, availability", [
    # Header only: nothing read; a system without S codes is not available.
    (obs_text([], codes={"G": GPS, "C": ["C2I", "L2I"]}), {}, {}, {"G": True, "C": False}),
    # Values outside (0, 100) count but are not valid.
    (obs_text([(0, [("G01", [150.0, -3.0])])], codes={"G": ["S1C", "S2W"]}), {"G": ["G01"]},
     {"G01": {"obs_count": 2.0, "valid_count": 0.0, "mean_snr": 0.0}}, {"G": True}),
    # A code named twice keeps the later field; a blank later field leaves the earlier value.
    (obs_text([(0, [("G01", [40.0, 2e7, 45.0])]), (1, [("G01", [30.0, 2e7, None])])], codes={"G": ["S1C", "C1C", "S1C"]}),
     {"G": ["G01"]}, {"G01": {"obs_count": 2.0, "valid_count": 2.0, "mean_snr": 37.5}}, {"G": True}),
    # A satellite number written with a blank is the same satellite.
    (obs_text([(0, [("G 7", [45.0]), ("R 1", [40.0])]), (1, [("G07", [47.0])])], codes={"G": ["S1C"], "R": ["S1C"]}),
     {"G": ["G07"], "R": ["R01"]}, {"G07": {"obs_count": 2.0, "valid_count": 2.0, "mean_snr": 46.0},
                                    "R01": {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 40.0}},
     {"G": True, "R": True}),
    # RINEX 2: one code list for G, R, E and C; "  3" is G03; five fields to a line.
    (rinex2_text([(0, [("E05", [2e7, None, 40.0, None, None, 35.0]), ("  3", [2e7, None, 41.0]), ("R10", [2e7])]),
                  (30, [("G 3", [None, None, 43.0])])], ["C1", "L1", "S1", "P2", "L2", "S2"]),
     {"E": ["E05"], "G": ["G03"], "R": ["R10"]},
     {"E05": {"obs_count": 2.0, "valid_count": 2.0, "mean_snr": 37.5},
      "G03": {"obs_count": 2.0, "valid_count": 2.0, "mean_snr": 42.0}}, dict.fromkeys("GREC", True)),
], ids=["header-only", "invalid-values", "code-twice", "blank-in-number", "rinex2"])
def test_satellites_and_signal_strengths(text, satellites, stats, availability):
    obs = read(text)
    assert obs.satellites_by_system() == satellites
    assert obs.num_satellites == sum(map(len, satellites.values()))
    assert obs.snr_stats_by_satellite() == stats
    assert obs.snr_availability() == availability


def test_rinex2_codes_and_long_series():
    obs = read(rinex2_text([], ["C1", "P1", "L1", "S1", "C2", "P2", "L2", "S2", "C5", "S5"], header=header_line("    30.000", "INTERVAL")))
    assert obs.obs_types_by_system() == dict.fromkeys("GREC", ["C1C", "C1P", "L1C", "S1C", "C2C", "C2P", "L2C", "S2C", "C5Q", "S5Q"])
    assert (repr(obs), obs.interval, obs.debug_info()["R_snr_types"]) == ("RinexObsData(version=2.11, epochs=0, satellites=0)", 30.0, "S1C,S2C,S5Q")
    stats = read(obs_text([(k, [("G07", [40.0 + k % 2, 30.0 + (k >= 50) * 2])]) for k in range(100)], codes={"G": ["S1C", "S2W"]}))
    assert stats.snr_stats_by_satellite()["G07"] == {"obs_count": 200.0, "valid_count": 200.0, "mean_snr": 35.75}


@pytest.mark.parametrize("data", [b"", b"\n", b"random bytes\xff\n",
                                  b"     3.04".ljust(60) + b"RINEX VERSION / TYPE\n" + b" " * 40 + b"END OF HEADER\n"])
def test_no_end_of_header(data, write):
    for call in (lambda: q.read_rinex_obs_bytes(data, "x"), lambda: q.parse_rinex(data, "x"),
                 lambda: q.read_rinex_obs(write("x.obs", data)), lambda: q.read_navigation_bytes(data)):
        with pytest.raises(ValueError, match="^No END OF HEADER found$"):
            call()


def test_file_errors_and_names(tmp_path, write, monkeypatch):
    plain = write("obs dir/site.24o", obs_text([(0, [("G01", [45.0])])]))
    for path, message in [(tmp_path / "missing.obs", "No such file or directory (os error 2)"),
                          (tmp_path, "Is a directory (os error 21)"), (plain + "/", "Not a directory (os error 20)")]:
        for reader in (q.read_rinex_obs, q.read_navigation):
            with pytest.raises(OSError, match=f"^{re.escape(message)}$"):
                reader(str(path))
    # Without a marker name in the header, the last component of the path is the marker name; bytes keep theirs.
    monkeypatch.chdir(tmp_path)
    assert {q.read_rinex_obs(p).marker_name for p in (plain, "obs dir/site.24o", "./obs dir/../obs dir/site.24o")} == {"site.24o"}
    assert q.read_rinex_obs(write("café.obs", obs_text([]))).marker_name == "café.obs"
    assert [q.read_rinex_obs_bytes(b"END OF HEADER".rjust(73), n).marker_name for n in ("d/x.obs", "", "/")] == ["d/x.obs", "", "/"]
    os.rename(plain, os.path.join(os.fsencode(str(tmp_path)), b"\xff.obs"))
    assert q.read_rinex_obs(os.fsdecode(os.path.join(os.fsencode(str(tmp_path)), b"\xff.obs"))).marker_name == "unknown.obs"


def test_bytes_gzip_and_line_ends_agree():
    assert answers(q.parse_rinex(gzip.compress(SMALL.replace("\n", "\r\n").encode()), "x.obs")) == answers(read(SMALL))
    # Bytes beyond ASCII read as one question mark each; the label stays at column 60.
    line = b"PIER\xc2\xb0\xb0".ljust(60) + b"MARKER NAME\n"
    assert q.read_rinex_obs_bytes(line + b"END OF HEADER".rjust(73), "x").marker_name == "PIER???"


# --- navigation and TLE ------------------------------------------------------------------------


def test_navigation(write):
    text = nav_text([("G05", 0.0), ("G07", 10.0), ("G05", 20.0), ("E11", 5.0), ("C20", 0.0), ("J02", 0.0)])
    nav = q.read_navigation_bytes(text.encode())
    # G05 twice is one satellite; QZSS ephemerides are kept (and counted) with GPS.
    assert repr(nav) == "NavigationData(GPS=3, GLONASS=0, Galileo=1, BeiDou=1)"
    assert (nav.satellite_count, nav.has_data()) == (5, True)
    assert repr(q.read_navigation(write("n.24n.gz", gzip.compress(text.encode())))) == repr(nav)
    assert repr(q.read_navigation_bytes(text.replace("\n", "\r\n").encode())) == repr(nav)
    empty = q.read_navigation_bytes(nav_text([]).encode())
    assert (empty.has_data(), empty.satellite_count) == (False, 0)
    with pytest.raises(ValueError, match="gzip"):
        q.read_navigation_bytes(gzip.compress(text.encode())[:-12])


# GPS with a PRN and Galileo by its GSAT number count as element sets; GLONASS never does.
TLE = ("GPS BIIR-2  (PRN 13)    \r\n1 24876U 97035A   24160.52102539  .00000032  00000+0  00000+0 0  9994\r\n"
       "2 24876  55.6213 142.0734 0083843  54.3540 306.4216  2.00563125197394\r\nCOSMOS 2425 (716K)\n"
       "1 29670U 06062A   24160.13131313  .00000012  00000+0  00000+0 0  9991\n"
       "2 29670  64.9613 122.9281 0012620 211.5536 148.4360  2.13103325135498\nGSAT0101 (PRN E11)\n"
       "1 37846U 11060A   24160.50000000 -.00000012  00000+0  00000+0 0  9990\n"
       "2 37846  57.0000 100.0000 0003000  10.0000 350.0000  1.70475903 78001\n")


def test_tle_counting():
    assert (q.parse_tle_content(TLE), q.parse_tle_content("")) == (2, 0)
    lines = TLE.splitlines()[1:3]
    for name in ("GPS BIIR-2  (PRN 9999999999999)", "GSAT99999999999", "QZS-9999999999", "GALILEO (E99999999999)"):
        assert q.parse_tle_content("\n".join([name, *lines])) == 0


SOURCES = ["https://celestrak.org/NORAD/elements/gp.php?GROUP=gnss&FORMAT=tle",
           "https://celestrak.org/NORAD/elements/gnss.txt", "https://celestrak.com/NORAD/elements/gnss.txt"]


@pytest.mark.parametrize("body, calls", [(TLE, 1), (None, 3), ("<html>Service unavailable</html>", 3)])
def test_download_tle_takes_the_first_source_with_element_sets(tmp_path, monkeypatch, body, calls):
    log = tmp_path / "calls"
    (tmp_path / "body").write_text(body or "")
    script = tmp_path / "curl"
    script.write_text(f'#!/bin/sh\necho "$@" >> "{log}"\n' + ("exit 22\n" if body is None else f'cat "{tmp_path}/body"\n'))
    script.chmod(0o755)
    monkeypatch.setenv("PATH", f"{tmp_path}{os.pathsep}{os.environ['PATH']}")
    if calls == 1:
        assert q.download_tle() == TLE
    else:
        with pytest.raises(OSError, match="^Failed to download TLE from all sources$"):
            q.download_tle()
    assert log.read_text().splitlines() == [f"-sL --connect-timeout 10 {url}" for url in SOURCES[:calls]]
