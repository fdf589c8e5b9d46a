"""Navigation files, TLE counting and the TLE download, through the Python surface."""

from __future__ import annotations

import gzip
import os
import stat

import pytest

import quorsin_cn0 as q

from conftest import header_line

HEADER = (
    header_line("     3.04           N: GNSS NAV DATA    M: Mixed", "RINEX VERSION / TYPE")
    + header_line("", "END OF HEADER")
)

# One GPS record: epoch line, then seven orbit lines of four 19-column fields from column 4.
GPS_RECORD = (
    "G05 2024 01 01 02 00 00 1.000000000000E-04 0.000000000000E+00 0.000000000000E+00\n"
    + "".join("    " + "".join(f"{v:19.12E}" for v in vals) + "\n" for vals in [
        (1.0, 0.0, 4.0e-9, 1.0), (0.0, 0.01, 0.0, 5153.6), (7200.0, 0.0, 1.0, 0.0),
        (0.96, 0.0, 0.5, -8.0e-9), (0.0, 0.0, 2295.0, 0.0), (2.0, 0.0, 0.0, 1.0), (0.0, 4.0, 0.0, 0.0)])
)


def test_reading_from_bytes_and_path(tmp_path):
    nav = q.read_navigation_bytes((HEADER + GPS_RECORD).encode())
    assert (nav.gps_count, nav.glonass_count, nav.galileo_count, nav.beidou_count) == (1, 0, 0, 0)
    assert nav.satellite_count == 1 and nav.has_data()
    assert repr(nav) == "NavigationData(GPS=1, GLONASS=0, Galileo=0, BeiDou=0)"

    path = tmp_path / "brdc.24n.gz"
    path.write_bytes(gzip.compress((HEADER + GPS_RECORD).encode()))
    assert q.read_navigation(str(path)).gps_count == 1

    empty = q.read_navigation_bytes(HEADER.encode())
    assert not empty.has_data() and empty.satellite_count == 0


def test_failures_name_their_cause(tmp_path):
    with pytest.raises(OSError) as err:
        q.read_navigation(str(tmp_path / "missing.nav"))
    assert str(err.value) == "No such file or directory (os error 2)"
    with pytest.raises(ValueError, match="^No END OF HEADER found$"):
        q.read_navigation_bytes(b"G05 2024 01 01 02 00 00\n")
    with pytest.raises(TypeError, match="^argument 'data': "):
        q.read_navigation_bytes(HEADER)
    with pytest.raises(ValueError, match="gzip"):
        q.read_navigation_bytes(gzip.compress((HEADER + GPS_RECORD).encode())[:-12])


def test_navigation_objects_are_read_only_and_not_constructible():
    nav = q.read_navigation_bytes(HEADER.encode())
    with pytest.raises(AttributeError):
        nav.gps_count = 3
    with pytest.raises(TypeError, match="^No constructor defined for NavigationData$"):
        q.NavigationData()


TLE = (
    "GPS BIIR-2  (PRN 13)    \r\n"
    "1 24876U 97035A   24160.52102539  .00000032  00000+0  00000+0 0  9994\r\n"
    "2 24876  55.6213 142.0734 0083843  54.3540 306.4216  2.00563125197394\r\n"
    "COSMOS 2425 (716K)\n"
    "1 29670U 06062A   24160.13131313  .00000012  00000+0  00000+0 0  9991\n"
    "2 29670  64.9613 122.9281 0012620 211.5536 148.4360  2.13103325135498\n"
    "GSAT0101 (PRN E11)\n"
    "1 37846U 11060A   24160.50000000 -.00000012  00000+0  00000+0 0  9990\n"
    "2 37846  57.0000 100.0000 0003000  10.0000 350.0000  1.70475903 78001\n"
)


def test_tle_counting():
    # GPS with a PRN and Galileo by its GSAT number count; GLONASS never does.
    assert q.parse_tle_content(TLE) == 2
    assert q.parse_tle_content("") == 0
    with pytest.raises(TypeError, match="^argument 'content': "):
        q.parse_tle_content(TLE.encode())


def fake_curl(directory, body: str | None):
    """A curl on PATH that prints `body` and succeeds, or fails when body is None; it records
    its arguments, one call per line."""
    script = directory / "curl"
    log = directory / "calls"
    if body is None:
        script.write_text(f'#!/bin/sh\necho "$@" >> "{log}"\nexit 22\n')
    else:
        (directory / "body").write_text(body)
        script.write_text(f'#!/bin/sh\necho "$@" >> "{log}"\ncat "{directory / "body"}"\n')
    script.chmod(script.stat().st_mode | stat.S_IEXEC)
    return log


def test_download_takes_the_first_source_that_gives_element_sets(tmp_path, monkeypatch):
    log = fake_curl(tmp_path, TLE)
    monkeypatch.setenv("PATH", f"{tmp_path}{os.pathsep}{os.environ['PATH']}")
    assert q.download_tle() == TLE
    assert log.read_text().splitlines() == [
        "-sL --connect-timeout 10 https://celestrak.org/NORAD/elements/gp.php?GROUP=gnss&FORMAT=tle"]


def test_download_fails_after_every_source_failed(tmp_path, monkeypatch):
    log = fake_curl(tmp_path, None)
    monkeypatch.setenv("PATH", f"{tmp_path}{os.pathsep}{os.environ['PATH']}")
    with pytest.raises(OSError, match="^Failed to download TLE from all sources$"):
        q.download_tle()
    assert [line.split()[-1] for line in log.read_text().splitlines()] == [
        "https://celestrak.org/NORAD/elements/gp.php?GROUP=gnss&FORMAT=tle",
        "https://celestrak.org/NORAD/elements/gnss.txt",
        "https://celestrak.com/NORAD/elements/gnss.txt",
    ]


def test_download_passes_over_pages_without_element_sets(tmp_path, monkeypatch):
    fake_curl(tmp_path, "<html>Service unavailable</html>")
    monkeypatch.setenv("PATH", f"{tmp_path}{os.pathsep}{os.environ['PATH']}")
    with pytest.raises(OSError):
        q.download_tle()
