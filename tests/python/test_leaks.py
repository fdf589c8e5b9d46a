"""No leaks: entry points, success and error paths alike, run many times after a warm-up leave no more resident
memory, Python blocks or open descriptors, and the arguments' reference counts as they were."""

from __future__ import annotations

import ctypes
import gc
import gzip
import os
import sys

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, needs_data, obs_text

SATS = ["G01", "G02", "G03", "G05", "G07", "E11", "E12", "R01", "C20"]
# Twenty epochs of nine satellites, all 25 dB down at one epoch: a C/N0 anomaly.
TEXT = obs_text([(float(k), [(s, [(21.0 if k == 12 else 46.0) + i * 0.5]) for i, s in enumerate(SATS)]) for k in range(20)]).encode()
TLE = ("GPS BIIR-2  (PRN 13)\n1 24876U 97035A   24160.50000000  .00000000  00000-0  00000-0 0  9990\n"
       "2 24876  55.5000 100.0000 0050000 100.0000 260.0000  2.00560000 12345\n")


MALLINFO2 = getattr(ctypes.CDLL(None), "mallinfo2", None)  # glibc: bytes the C allocator handed out, f4 + f7
if MALLINFO2:
    MALLINFO2.restype = type("MallInfo2", (ctypes.Structure,), {"_fields_": [(f"f{k}", ctypes.c_size_t) for k in range(10)]})


def measures() -> tuple[int, int, list[str]]:
    with open("/proc/self/statm") as f:
        rss = int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")
    return rss + ((lambda i: i.f4 + i.f7)(MALLINFO2()) << 5 if MALLINFO2 else 0), sys.getallocatedblocks(), sorted(os.listdir("/proc/self/fd"))


def raises(kind, call):
    with pytest.raises(kind):
        call()


def touch(obj) -> None:
    for name in (n for n in dir(type(obj)) if not n.startswith("_") and n not in ("analyze", "cn0")):
        value, signature = getattr(obj, name), getattr(getattr(type(obj), name), "__text_signature__", None)
        value("GPS") if name == "get_constellation_summary" else value() if signature == "($self)" else None


@pytest.fixture(scope="module")
def io(tmp_path_factory):
    root = tmp_path_factory.mktemp("leaks")
    data = (DATA_DIR / "TLSE00FRA_R_20230010000_10S_01S_MO.rnx").read_bytes()
    files = {"obs": TEXT, "bad": b"no header\n", "real": data[:data.index(b"\n> 2023 01 01 00 00  3")],
             "nav": (DATA_DIR / "BRDC00IGS_R_20230010000_01D_MN.rnx").read_bytes()[:400_000]}
    p = {name: str(root / name) for name in files} | {"missing": str(root / "missing")}
    [(root / name).write_bytes(content) for name, content in files.items()]
    assert q.analyze_cn0(p["obs"]).anomaly_count == 1 and q.analyze_cn0(p["real"], p["nav"]).has_visibility_prediction
    return p, q.read_rinex_obs(p["obs"]), q.read_navigation(p["nav"]), q.AnalysisConfig(systems=["G", "E"]), gzip.compress(TEXT)


CASES = {  # name -> (calls, body(paths, obs, nav, config, gz))
    "read": (300, lambda p, obs, nav, c, gz: (
        q.read_rinex_obs(p["obs"]), q.parse_rinex(data=gz, filename="x"), q.read_navigation(p["nav"]), q.parse_tle_content(TLE * 3),
        touch(obs), touch(nav), raises(OSError, lambda: q.read_rinex_obs(p["missing"])), raises(ValueError, lambda: q.read_rinex_obs(p["bad"])),
        raises(ValueError, lambda: q.parse_rinex(gz[:len(gz) // 2], "x")), raises(ValueError, lambda: q.read_navigation_bytes(b"x")),
        raises(TypeError, lambda: q.read_rinex_obs_bytes(TEXT, "x", filename="x")), raises(OSError, lambda: q.read_rinex_obs("a\0")))),
    "analyses": (150, lambda p, obs, nav, c, gz: (
        touch(q.analyze_cn0(p["obs"], None, 10, ["G", "E", ""])), touch(q.CN0Analyzer(c).analyze_with_nav(p["real"], p["nav"])),
        (a := q.CN0Analyzer.from_obs(obs, 10.0, 30, ["GPS", ""])).set_navigation(nav), a.analyze(), touch(c),
        raises(OSError, lambda: q.analyze_cn0(p["obs"], p["missing"])), raises(ValueError, lambda: q.analyze_cn0(p["obs"], p["bad"])),
        raises(ValueError, q.CN0Analyzer(c).analyze), raises(TypeError, lambda: a.set_navigation(obs)),
        raises(OverflowError, lambda: q.AnalysisConfig(time_bin=2**40)), raises(TypeError, lambda: q.AnalysisConfig(systems=["G", None])))),
}


@needs_data
@pytest.mark.parametrize("case", CASES)
def test_no_growth(io, case):
    n, body = CASES[case]
    for _ in range(n // 10):
        body(*io)
    counts, (rss, blocks, fds) = [sys.getrefcount(o) for o in io], (gc.collect(), measures())[1]
    for _ in range(n):
        body(*io)
    rss_after, blocks_after, fds_after = (gc.collect(), measures())[1]
    assert [sys.getrefcount(o) for o in io] == counts, "an argument's reference count changed"
    assert fds_after == fds, "file descriptors left open"
    assert blocks_after - blocks < n // 10, f"{blocks_after - blocks} Python blocks more after {n} calls"
    # Resident size plus 32 times the C heap in use (64 KiB more in use fails). AddressSanitizer quarantines freed memory.
    if "QCN0_UNDER_SANITIZER" not in os.environ:
        assert rss_after - rss < 2 << 20, f"{rss_after - rss} more bytes (resident + 32 x heap) after {n} calls"
