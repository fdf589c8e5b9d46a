"""End-to-end figures on every real file of the data folder: read, analyse without and with
navigation data, JSON export, with MB/s, epochs/s, peak memory, and the ratio against georinex
reading the same file in the same run.

    python benchmarks/bench_end_to_end.py [--no-peer] [--peer-max-mb N] [--repeat N]

Prints a Markdown table.
"""

from __future__ import annotations

import argparse
import os
import sys
import time
import warnings
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from common import best_time, mb, peak_memory_above_baseline, require_data  # noqa: E402

import quorsin_cn0 as q  # noqa: E402

# Observation file -> its navigation file (same day; see the data folder's README).
PAIRS = {
    "matrtklib_20240624_static_base.obs": "matrtklib_20240624_static_base.nav",
    "matrtklib_20230711_base_100s.obs": "matrtklib_20230711_base.nav",
    "SEPT265G.21O": "SEPT2650.21P",
    "3034265G.21O": "SEPT2650.21P",
    "GEOP092I.24o": "CORD00ARG_R_20240920000_01D_MN.rnx",
    "CEDA00USA_R_20182100000_23H_15S_MO.rnx": "ELKO00USA_R_20182100000_01D_MN.rnx",
    "TLSE00FRA_R_20230010000_10S_01S_MO.rnx": "BRDC00IGS_R_20230010000_01D_MN.rnx",
    "TLSE00FRA_R_20230010000_10S_01S_MO.crx": "BRDC00IGS_R_20230010000_01D_MN.rnx",
    "tlse001b.23o": "BRDC00IGS_R_20230010000_01D_MN.rnx",
    "zimm0010.21o": "brdc0010.21n",
    "delf0010.21o": "brdc0010.21n",
    "slac1180.21o": "brdc1180.21n",
    "ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz": "ESBC00DNK_R_20201770000_01D_MN.rnx",
    "NYA100NOR_S_20241240000_01D_30S_MO.crx.gz": "NYA100NOR_S_20241240000_01D_GN.rnx",
    "AJAC00FRA_R_20242090000_01D_30S_MO.crx.gz": "GRAS00FRA_R_20242090000_01D_EN.rnx",
    "TLSE00FRA_R_20240011200_15M_01S_MO.crx.gz": "BRDC00IGS_R_20240010000_01D_MN.rnx.gz",
    "delf0010.21d": "brdc0010.21n",
    "wsra0010.21d": "brdc0010.21n",
    "zegv0010.21d": "brdc0010.21n",
}

NAV_SUFFIXES = ("MN.rnx", "GN.rnx", "EN.rnx", "CN.rnx", "MN.rnx.gz", ".nav", ".21n", ".21g", ".21P")


def kind_of(name: str) -> str:
    if name.endswith(".txt"):
        return "tle"
    if name.endswith(NAV_SUFFIXES):
        return "nav"
    return "obs"


def peer_time(path: Path) -> float | None:
    try:
        import georinex
    except ImportError:
        return None
    warnings.filterwarnings("ignore")
    t = time.perf_counter()
    try:
        georinex.load(str(path))
    except Exception:  # the peer may not read every file
        return None
    return time.perf_counter() - t


def main() -> None:
    ap = argparse.ArgumentParser()
    ap.add_argument("--no-peer", action="store_true", help="skip georinex")
    ap.add_argument("--peer-max-mb", type=float, default=4.5, help="largest file (MB as stored) given to georinex")
    ap.add_argument("--repeat", type=int, default=3)
    args = ap.parse_args()
    data = require_data()
    files = sorted(p for p in data.iterdir() if p.is_file() and p.name not in ("README.md", "SHA256SUMS", ".gitattributes"))

    print("| file | MB | epochs | read ms | MB/s | epochs/s | analyse ms | with nav ms | JSON ms | peak MB | georinex s | ratio |")
    print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
    for path in files:
        name = path.name
        size = path.stat().st_size
        kind = kind_of(name)
        row = {"file": name, "MB": f"{mb(size):.2f}"}
        if kind == "tle":
            text = path.read_text()
            t = best_time(lambda: q.parse_tle_content(text), args.repeat)
            row.update({"read ms": f"{t * 1e3:.2f}", "MB/s": f"{mb(size) / t:.0f}"})
            work = f"quorsin_cn0.parse_tle_content(open({str(path)!r}).read())"
        elif kind == "nav":
            t = best_time(lambda: q.read_navigation(str(path)), args.repeat)
            row.update({"read ms": f"{t * 1e3:.2f}", "MB/s": f"{mb(size) / t:.0f}"})
            work = f"quorsin_cn0.read_navigation({str(path)!r})"
        else:
            t = best_time(lambda: q.read_rinex_obs(str(path)), args.repeat)
            obs = q.read_rinex_obs(str(path))
            ta = best_time(lambda: q.analyze_cn0(str(path)), args.repeat)
            row.update({"epochs": str(obs.num_epochs), "read ms": f"{t * 1e3:.2f}",
                        "MB/s": f"{mb(size) / t:.0f}", "epochs/s": f"{obs.num_epochs / t:.0f}",
                        "analyse ms": f"{ta * 1e3:.1f}"})
            nav = PAIRS.get(name)
            if nav and (data / nav).exists():
                tn = best_time(lambda: q.analyze_cn0(str(path), str(data / nav)), args.repeat)
                row["with nav ms"] = f"{tn * 1e3:.1f}"
                result = q.analyze_cn0(str(path), str(data / nav))
                work = f"r = quorsin_cn0.analyze_cn0({str(path)!r}, {str(data / nav)!r}); j = r.to_json()"
            else:
                result = q.analyze_cn0(str(path))
                work = f"r = quorsin_cn0.analyze_cn0({str(path)!r}); j = r.to_json()"
            tj = best_time(result.to_json, args.repeat)
            row["JSON ms"] = f"{tj * 1e3:.1f}"
        row["peak MB"] = f"{mb(peak_memory_above_baseline('import quorsin_cn0', work)):.1f}"
        # georinex reads compressed files too, but a full day of Compact RINEX takes it minutes
        # (see bench_read_obs.py --decompressed): the peer runs on the plain files.
        packed = name.endswith((".gz", ".crx", ".Z")) or name[-1:] == "d"
        if not args.no_peer and kind != "tle" and not packed and mb(size) <= args.peer_max_mb:
            tp = peer_time(path)
            if tp is not None:
                row["georinex s"] = f"{tp:.2f}"
                row["ratio"] = f"{tp / t:.0f}x"
        cols = ["file", "MB", "epochs", "read ms", "MB/s", "epochs/s", "analyse ms", "with nav ms", "JSON ms", "peak MB", "georinex s", "ratio"]
        print("| " + " | ".join(row.get(c, "") for c in cols) + " |", flush=True)
    print(f"\nmachine: {os.cpu_count()} cores, {os.uname().machine}, Python {sys.version.split()[0]}")


if __name__ == "__main__":
    main()
