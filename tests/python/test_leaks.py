"""No leaks: every public function, method and attribute, success and error paths alike, is run
many times after a warm-up, and afterwards the process holds no more memory than before (resident
size, bytes in use by the C allocator, blocks of Python's object allocator), no more open file
descriptors, and the arguments have the reference counts they had before."""

from __future__ import annotations

import ctypes
import gc
import gzip
import os
import stat
import sys
from typing import Callable

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, have_data, header_line, v3_text

PAGE = os.sysconf("SC_PAGE_SIZE")
RSS_TOLERANCE = 2 << 20     # bytes of resident memory
HEAP_TOLERANCE = 64 << 10   # bytes in use by malloc


class _MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in
                ("arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks", "fsmblks", "uordblks", "fordblks",
                 "keepcost")]


def _malloc_in_use() -> Callable[[], int] | None:
    """Bytes the C allocator has handed out (glibc), which sees a leaked C++ object byte by byte."""
    try:
        mallinfo2 = ctypes.CDLL(None).mallinfo2
    except (OSError, AttributeError):
        return None
    mallinfo2.restype = _MallInfo2

    def in_use() -> int:
        info = mallinfo2()
        return info.uordblks + info.hblkhd
    return in_use


heap_in_use = _malloc_in_use()


def _under_sanitizer() -> bool:
    """AddressSanitizer keeps freed memory in quarantine and allocates outside glibc's heap, so the
    memory figures mean nothing there; reference counts, blocks and descriptors still do."""
    if os.environ.get("QCN0_UNDER_SANITIZER") == "1":
        return True
    with open("/proc/self/maps") as f:
        return "libasan" in f.read()


UNDER_SANITIZER = _under_sanitizer()


def resident() -> int:
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * PAGE


def open_descriptors() -> list[str]:
    return sorted(os.listdir("/proc/self/fd"))


def raises(kind: type[BaseException], call: Callable[[], object]) -> None:
    try:
        call()
    except kind:
        return
    raise AssertionError(f"{call} did not raise {kind.__name__}")


def assert_no_growth(body: Callable[[], object], n: int, watched: tuple = ()) -> None:
    for _ in range(max(n // 10, 20)):
        body()
    gc.collect()
    counts = [sys.getrefcount(o) for o in watched]
    descriptors = open_descriptors()
    rss_before, blocks_before = resident(), sys.getallocatedblocks()
    heap_before = heap_in_use() if heap_in_use else 0
    for _ in range(n):
        body()
    gc.collect()
    heap_growth = (heap_in_use() - heap_before) if heap_in_use else 0
    blocks_growth = sys.getallocatedblocks() - blocks_before
    rss_growth = resident() - rss_before
    assert [sys.getrefcount(o) for o in watched] == counts, "an argument's reference count changed"
    assert open_descriptors() == descriptors, "file descriptors left open"
    # A leaked Python object per call would add n blocks; a leaked C++ object n times its size.
    assert blocks_growth < n // 10, f"{blocks_growth} Python blocks more after {n} calls"
    if not UNDER_SANITIZER:
        assert heap_growth < HEAP_TOLERANCE, f"{heap_growth} bytes more in use after {n} calls"
        assert rss_growth < RSS_TOLERANCE, f"{rss_growth} bytes more resident after {n} calls"


# --- Inputs --------------------------------------------------------------------------------------

POSITION = header_line("  4627852.7427   119640.5773  4372995.1476", "APPROX POSITION XYZ")
SATS = ["G01", "G02", "G03", "G05", "G07", "E11", "E12", "R01", "C20"]


def anomaly_text() -> str:
    """Twenty epochs of nine satellites of four constellations, all of them 25 dB down at one
    epoch: a C/N0 anomaly."""
    epochs = [(float(k), [(sat, [2e7, (21.0 if k == 12 else 46.0) + i * 0.5]) for i, sat in enumerate(SATS)])
              for k in range(20)]
    return v3_text({"G": ["C1C", "S1C"], "E": ["C1X", "S1X"], "R": ["C1C", "S1C"], "C": ["C2I", "S2I"]}, epochs,
                   header=POSITION + header_line("LEAK", "MARKER NAME"))


TLE = ("GPS BIIR-2  (PRN 13)\n"
       "1 24876U 97035A   24160.50000000  .00000000  00000-0  00000-0 0  9990\n"
       "2 24876  55.5000 100.0000 0050000 100.0000 260.0000  2.00560000 12345\n")


class Inputs:
    def __init__(self, root) -> None:
        self.text = anomaly_text().encode()
        self.obs_path = str(root / "anomaly.rnx")
        (root / "anomaly.rnx").write_bytes(self.text)
        self.bad_path = str(root / "bad.rnx")
        (root / "bad.rnx").write_bytes(b"no header here\n")
        self.missing = str(root / "missing.rnx")
        self.gz = gzip.compress(self.text, mtime=0)
        self.filename = "anomaly.rnx"
        self.obs = q.read_rinex_obs_bytes(self.text, self.filename)
        self.real_obs = self.real_nav = None
        if have_data():
            # Three epochs of a real station and the start of the broadcast file of that day: an
            # analysis that predicts visibility, quickly.
            data = (DATA_DIR / "TLSE00FRA_R_20230010000_10S_01S_MO.rnx").read_bytes()
            cut = [k for k in range(len(data) - 1) if data[k:k + 2] == b"\n>"][3] + 1
            (root / "real.rnx").write_bytes(data[:cut])
            (root / "real.nav").write_bytes((DATA_DIR / "BRDC00IGS_R_20230010000_01D_MN.rnx").read_bytes()[:400_000])
            self.real_obs, self.real_nav = str(root / "real.rnx"), str(root / "real.nav")
            self.crx = (DATA_DIR / "TLSE00FRA_R_20230010000_10S_01S_MO.crx").read_bytes()
        self.nav_bytes = (root / "real.nav").read_bytes() if self.real_nav else b""
        self.nav = q.read_navigation(self.real_nav) if self.real_nav else None
        self.config = q.AnalysisConfig(min_elevation=5.0, systems=["G", "E", "R", "C"])
        self.result = q.CN0Analyzer.from_obs(self.obs).analyze()
        self.nav_result = (q.CN0Analyzer(self.config).analyze_with_nav(self.real_obs, self.real_nav)
                           if self.real_nav else None)


@pytest.fixture(scope="module")
def inputs(tmp_path_factory) -> Inputs:
    return Inputs(tmp_path_factory.mktemp("leaks"))


@pytest.fixture
def real(inputs) -> Inputs:
    if inputs.real_nav is None:
        pytest.skip(f"real data folder {DATA_DIR} not found")
    return inputs


def test_the_inputs_reach_every_part_of_a_result(inputs):
    assert inputs.result.anomaly_count >= 1 and inputs.result.get_anomalies()
    assert inputs.result.get_constellation_summary("GPS") is not None
    if inputs.nav_result is not None:
        assert inputs.nav_result.has_visibility_prediction and inputs.nav_result.visibility_debug()


# --- Module functions ----------------------------------------------------------------------------


def test_version(inputs):
    assert_no_growth(lambda: (q.version(), raises(TypeError, lambda: q.version(1)),
                              raises(TypeError, lambda: q.version(x=1))), 20000)


def test_read_rinex_obs(inputs):
    path = inputs.obs_path

    def body():
        q.read_rinex_obs(path)
        q.read_rinex_obs(path=path)
        raises(OSError, lambda: q.read_rinex_obs(inputs.missing))
        raises(ValueError, lambda: q.read_rinex_obs(inputs.bad_path))
        raises(TypeError, lambda: q.read_rinex_obs(path.encode()))
        raises(TypeError, lambda: q.read_rinex_obs())
        raises(TypeError, lambda: q.read_rinex_obs(path, path))
        raises(TypeError, lambda: q.read_rinex_obs(path, path=path))
        raises(OSError, lambda: q.read_rinex_obs("nul\x00byte"))
    assert_no_growth(body, 2000, (path, inputs.missing))


@pytest.mark.parametrize("function", ["read_rinex_obs_bytes", "parse_rinex"])
def test_reading_observation_bytes(inputs, function):
    read = getattr(q, function)
    data, name, gz = inputs.text, inputs.filename, inputs.gz

    def body():
        read(data, name)
        read(data=data, filename=name)
        read(gz, name)
        raises(ValueError, lambda: read(gz[:len(gz) // 2], name))
        raises(ValueError, lambda: read(b"junk", name))
        raises(TypeError, lambda: read(data.decode(), name))
        raises(TypeError, lambda: read(bytearray(data), name))
        raises(TypeError, lambda: read(data, 5))
        raises(TypeError, lambda: read(data))
        raises(TypeError, lambda: read(data, name, filename=name))
        raises(TypeError, lambda: read(data, name, unknown=1))
    assert_no_growth(body, 2000, (data, name, gz))


def test_reading_compact_rinex(real):
    data = real.crx

    def body():
        q.read_rinex_obs_bytes(data, "x.crx")
        raises(ValueError, lambda: q.read_rinex_obs_bytes(data[:len(data) // 2], "x.crx"))
    assert_no_growth(body, 300, (data,))


def test_read_navigation(real):
    path, data = real.real_nav, real.nav_bytes

    def body():
        q.read_navigation(path)
        q.read_navigation_bytes(data)
        q.read_navigation_bytes(data=gzip.compress(data[:20000], mtime=0))
        raises(OSError, lambda: q.read_navigation(real.missing))
        raises(ValueError, lambda: q.read_navigation(real.bad_path))
        raises(ValueError, lambda: q.read_navigation_bytes(b"junk"))
        raises(TypeError, lambda: q.read_navigation_bytes(data.decode("latin-1")))
        raises(TypeError, lambda: q.read_navigation_bytes(bytearray(b"x")))
        raises(TypeError, lambda: q.read_navigation(5))
        raises(TypeError, lambda: q.read_navigation())
    assert_no_growth(body, 300, (path, data))


def test_analyze_cn0(inputs):
    path, systems = inputs.obs_path, ["G", "E", ""]

    def body():
        q.analyze_cn0(path)
        q.analyze_cn0(path, None, 10, systems)
        q.analyze_cn0(obs_path=path, min_elevation=7.5, systems=[])
        raises(OSError, lambda: q.analyze_cn0(inputs.missing))
        raises(OSError, lambda: q.analyze_cn0(path, inputs.missing))
        raises(ValueError, lambda: q.analyze_cn0(inputs.bad_path))
        raises(ValueError, lambda: q.analyze_cn0(path, inputs.bad_path))
        raises(TypeError, lambda: q.analyze_cn0(path, systems="G"))
        raises(TypeError, lambda: q.analyze_cn0(path, systems=["G", 1]))
        raises(TypeError, lambda: q.analyze_cn0(path, min_elevation="high"))
        raises(TypeError, lambda: q.analyze_cn0(path, nav_path=5))
        raises(TypeError, lambda: q.analyze_cn0())
    assert_no_growth(body, 300, (path, systems))


def test_analyze_cn0_with_navigation(real):
    obs, nav = real.real_obs, real.real_nav
    assert_no_growth(lambda: q.analyze_cn0(obs, nav), 150, (obs, nav))


def test_parse_tle_content(inputs):
    content = TLE * 3 + "junk\n"

    def body():
        assert q.parse_tle_content(content) == 3
        q.parse_tle_content(content=content)
        raises(TypeError, lambda: q.parse_tle_content(content.encode()))
        raises(TypeError, lambda: q.parse_tle_content(None))
        raises(TypeError, lambda: q.parse_tle_content())
    assert_no_growth(body, 5000, (content,))


def fake_curl(directory, script: str) -> str:
    path = directory / "curl"
    path.write_text("#!/bin/sh\n" + script)
    path.chmod(path.stat().st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)
    return str(directory)


def test_download_tle_with_a_failing_curl(tmp_path, monkeypatch):
    monkeypatch.setenv("PATH", fake_curl(tmp_path, "exit 1\n"))
    assert_no_growth(lambda: raises(OSError, q.download_tle), 200)


def test_download_tle_with_a_curl_that_answers(tmp_path, monkeypatch):
    # Only the fake is on the search path, so the script sticks to shell builtins.
    lines = " ".join(f"'{line}'" for line in TLE.splitlines())
    monkeypatch.setenv("PATH", fake_curl(tmp_path, f"printf '%s\\n' {lines}\n"))
    assert q.download_tle() == TLE
    assert_no_growth(lambda: (q.download_tle(), raises(TypeError, lambda: q.download_tle(1))), 200)


# --- Classes -------------------------------------------------------------------------------------


def touch_everything(obj: object) -> None:
    """Every public attribute read, every public method without arguments called, and the repr."""
    for name in dir(type(obj)):
        if name.startswith("_") or name in ("from_obs", "set_navigation", "analyze_file", "analyze_with_nav",
                                            "get_constellation_summary"):
            continue
        value = getattr(obj, name)
        if callable(value):
            try:
                value()
            except ValueError:
                pass  # CN0Analyzer.analyze without observation data
    repr(obj)
    str(obj)


def test_rinex_obs_data(inputs):
    obs = inputs.obs
    names = {"version", "marker_name", "receiver_type", "interval", "num_epochs", "num_satellites",
             "satellites_by_system", "obs_types_by_system", "snr_availability", "debug_info", "snr_stats_by_satellite"}
    assert names <= set(dir(q.RinexObsData))

    def body():
        touch_everything(obs)
        raises(TypeError, q.RinexObsData)
        raises(AttributeError, lambda: setattr(obs, "version", 1.0))
        raises(TypeError, lambda: obs.debug_info(1))
    assert_no_growth(body, 2000, (obs,))


def test_navigation_data(real):
    nav = real.nav
    names = {"has_data", "satellite_count", "gps_count", "glonass_count", "galileo_count", "beidou_count"}
    assert names <= set(dir(q.NavigationData))

    def body():
        touch_everything(nav)
        raises(TypeError, q.NavigationData)
        raises(AttributeError, lambda: setattr(nav, "gps_count", 1))
    assert_no_growth(body, 5000, (nav,))


def test_analysis_config(inputs):
    systems, nav_file = ["G", "E"], "brdc.nav"

    def body():
        config = q.AnalysisConfig(10.0, 20.0, 55.0, 30, None, systems, 3.0, 6.0, 12.0, False, 0.2, 5.0, True,
                                  nav_file, 0.3, 4.0)
        touch_everything(config)
        q.AnalysisConfig(time_bin=2**32 - 1, systems=("G",))
        raises(OverflowError, lambda: q.AnalysisConfig(time_bin_seconds=-1))
        raises(OverflowError, lambda: q.AnalysisConfig(time_bin=2**40))
        raises(OverflowError, lambda: q.AnalysisConfig(time_bin=2**80))
        raises(TypeError, lambda: q.AnalysisConfig(time_bin_seconds=1.5))
        raises(TypeError, lambda: q.AnalysisConfig(verbose=1))
        raises(TypeError, lambda: q.AnalysisConfig(detect_anomalies="yes"))
        raises(TypeError, lambda: q.AnalysisConfig(systems="G"))
        raises(TypeError, lambda: q.AnalysisConfig(systems=["G", None]))
        raises(TypeError, lambda: q.AnalysisConfig(min_elevation="x"))
        raises(TypeError, lambda: q.AnalysisConfig(nav_file=b"x"))
        raises(TypeError, lambda: q.AnalysisConfig(colour="blue"))
        raises(AttributeError, lambda: setattr(config, "min_elevation", 1.0))
    assert_no_growth(body, 3000, (systems, nav_file))


def test_analyzer_construction_and_navigation(real):
    config, obs, nav, systems = real.config, real.obs, real.nav, ["GPS", "", "E"]

    def body():
        analyzer = q.CN0Analyzer(config)
        q.CN0Analyzer(config=config)
        touch_everything(analyzer)
        analyzer.set_navigation(nav)
        analyzer.set_navigation(nav_data=nav)
        from_obs = q.CN0Analyzer.from_obs(obs, 10.0, 30, systems)
        q.CN0Analyzer.from_obs(obs_data=obs, systems=None)
        from_obs.set_navigation(nav)
        raises(TypeError, lambda: q.CN0Analyzer())
        raises(TypeError, lambda: q.CN0Analyzer(5))
        raises(TypeError, lambda: q.CN0Analyzer(config, config))
        raises(TypeError, lambda: analyzer.set_navigation(obs))
        raises(TypeError, lambda: analyzer.set_navigation())
        raises(TypeError, lambda: q.CN0Analyzer.from_obs(nav))
        raises(OverflowError, lambda: q.CN0Analyzer.from_obs(obs, time_bin_seconds=-1))
        raises(TypeError, lambda: q.CN0Analyzer.from_obs(obs, systems="G"))
        raises(ValueError, analyzer.analyze)
    assert_no_growth(body, 500, (config, obs, nav, systems))


def test_analyzer_analyses(real):
    config, obs, nav = real.config, real.obs, real.nav
    path, real_obs, real_nav = real.obs_path, real.real_obs, real.real_nav
    with_nav_file = q.AnalysisConfig(nav_file=real_nav)
    missing_nav_file = q.AnalysisConfig(nav_file=real.missing)
    analyzer = q.CN0Analyzer.from_obs(obs)
    analyzer.set_navigation(nav)
    plain = q.CN0Analyzer(config)

    def body():
        analyzer.analyze()
        plain.analyze_file(path)
        plain.analyze_file(obs_path=path)
        q.CN0Analyzer(with_nav_file).analyze_file(real_obs)
        plain.analyze_with_nav(real_obs, real_nav)
        raises(OSError, lambda: plain.analyze_file(real.missing))
        raises(ValueError, lambda: plain.analyze_file(real.bad_path))
        raises(OSError, lambda: q.CN0Analyzer(missing_nav_file).analyze_file(path))
        raises(OSError, lambda: plain.analyze_with_nav(path, real.missing))
        raises(OSError, lambda: plain.analyze_with_nav(real.missing, real_nav))
        raises(ValueError, lambda: plain.analyze_with_nav(path, real.bad_path))
        raises(TypeError, lambda: plain.analyze_with_nav(path, None))
        raises(TypeError, lambda: plain.analyze_file(5))
        raises(TypeError, lambda: analyzer.analyze(1))
    assert_no_growth(body, 100, (path, real_obs, real_nav, with_nav_file, analyzer, plain))


def test_analysis_result_and_quality_score(real):
    results = (real.result, real.nav_result)
    names = {"to_json", "to_json_pretty", "get_anomalies", "get_timeseries_data", "visibility_debug", "quality_score",
             "jamming_detected", "cn0_std_dev", "get_skyplot_data", "get_frequently_missing_satellites"}
    assert names <= set(dir(q.AnalysisResult))

    def body():
        for result in results:
            touch_everything(result)
            touch_everything(result.quality_score)
            for name in ("GPS", "GLONASS", "Galileo", "BeiDou", "nothing"):
                result.get_constellation_summary(name)
            result.get_constellation_summary(name="GPS")
            raises(TypeError, lambda: result.get_constellation_summary(5))
            raises(TypeError, lambda: result.get_constellation_summary())
            raises(AttributeError, lambda: setattr(result, "mean_cn0", 1.0))
            raises(AttributeError, lambda: setattr(result.quality_score, "overall", 1.0))
        raises(TypeError, q.AnalysisResult)
        raises(TypeError, q.QualityScore)
    assert_no_growth(body, 300, results)
