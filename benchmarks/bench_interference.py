"""Does the interference monitor hold on real recordings? Prints four tables:

1. every real observation file, with and without its navigation data: events and verdict;
2. a sweep of injected jamming on real full days (RINEX 2 and 3, several stations): every signal
   of one band, or of all bands, lowered by delta dB over a window, lost below 20 dB-Hz; delta
   from 1 to 25 dB, windows from 60 s to 2 h, random times (seeded). For delta >= 3 dB an
   injection counts as found when one "cn0_drop" event overlaps it with the right bands, a start
   within one epoch and a depth within 1 dB (the depth is checked where some signal of the band
   survives; when all are lost only a lower bound can be had);
3. injected spoofing (one constellation at one level +- 1 dB for 15 minutes) and the 20 dB
   attenuator step of 18 minutes;
4. what the monitor and the health figures cost: run `benchmarks/analysis/bench_products.cpp`.

    python benchmarks/bench_interference.py [--injections 20] [--seed 7]

Needs the module (pip install .) and the hatanaka package for Compact RINEX.
"""
from __future__ import annotations

import argparse
import datetime as dt
import math
import os
import random
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tools"))
from common import require_data  # noqa: E402
from inject_events import ObsText, band_of  # noqa: E402

import quorsin_cn0 as q  # noqa: E402

# Observation files and the navigation data of their day, where the data folder has it.
NAV = {
    "ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz": ["ESBC00DNK_R_20201770000_01D_MN.rnx"],
    "NYA100NOR_S_20241240000_01D_30S_MO.crx.gz": [
        "NYA100NOR_S_20241240000_01D_GN.rnx",
        "NYA100NOR_S_20241240000_01D_EN.rnx",
        "NYA100NOR_S_20241240000_01D_CN.rnx",
    ],
    "AJAC00FRA_R_20242090000_01D_30S_MO.crx.gz": ["GRAS00FRA_R_20242090000_01D_EN.rnx"],
    "zimm0010.21o": ["brdc0010.21n"],
    "delf0010.21o": ["brdc0010.21n"],
    "slac1180.21o": ["brdc1180.21n"],
    "TLSE00FRA_R_20240011200_15M_01S_MO.crx.gz": ["BRDC00IGS_R_20240010000_01D_MN.rnx.gz"],
    "TLSE00FRA_R_20230010000_10S_01S_MO.rnx": ["BRDC00IGS_R_20230010000_01D_MN.rnx"],
    "SEPT265G.21O": ["SEPT2650.21P"],
    "3034265G.21O": ["SEPT2650.21P"],
    "matrtklib_20240624_static_base.obs": ["matrtklib_20240624_static_base.nav"],
    "matrtklib_20230711_base_100s.obs": ["matrtklib_20230711_base.nav"],
}
SWEEP = ["ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz", "NYA100NOR_S_20241240000_01D_30S_MO.crx.gz",
         "AJAC00FRA_R_20242090000_01D_30S_MO.crx.gz", "CEBR00ESP_R_20182000000_01D_30S_MO.crx.gz", "zimm0010.21o"]
OBS_SUFFIXES = (".crx", ".crx.gz", "O", "o", "_MO.rnx", ".obs")


def is_observation(name: str) -> bool:
    return name.endswith(OBS_SUFFIXES) and not name.endswith(("MN.rnx", "GN.rnx", "EN.rnx", "CN.rnx"))


def stamp(text: str) -> dt.datetime:
    return dt.datetime.strptime(text[:19], "%Y-%m-%dT%H:%M:%S")


def analyse(text: str, suffix: str, nav):
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, "injected" + suffix)
        with open(path, "w") as f:
            f.write(text)
        return q.analyze_cn0(path, nav)


def clean_table(data: Path) -> int:
    print("\n## 1. Real files as recorded\n")
    print("| file | navigation | epochs | events | verdict | ms |")
    print("|---|---|---:|---:|---|---:|")
    total = 0
    for name in sorted(p.name for p in data.iterdir() if is_observation(p.name)):
        navs = [None] + ([[str(data / n) for n in NAV[name]]] if name in NAV else [])
        for nav in navs:
            t = time.perf_counter()
            r = q.analyze_cn0(str(data / name), nav)
            ms = 1000 * (time.perf_counter() - t)
            events = r.interference_events()
            total += len(events)
            nav_text = "none" if nav is None else "+".join(Path(n).name[:12] for n in nav)
            print(f"| {name} | {nav_text} | {r.total_epochs} | {len(events)} | {r.interference_verdict} | {ms:.0f} |")
            for e in events:
                print(f"|  | event | {e['start'][11:19]}-{e['end'][11:19]} | {e['kind']} {','.join(e['bands'])} | "
                      f"{e['depth_db']:.1f} dB | {e['signals_affected']}/{e['signals_tracked']} |")
    return total


def survivors(text: ObsText, start: dt.datetime, bands, delta: float) -> dict[str, int]:
    """Per band: signals at the window's first epoch that stay above 20 dB-Hz after the drop."""
    out: dict[str, int] = {}

    def look(system, code, value):
        b = band_of(system, code)
        if b is not None and (bands is None or b in bands) and value - delta >= 20.0:
            out[b] = out.get(b, 0) + 1
        return value

    text._rewrite(start, 1e-3, look)
    return out


def band_counts(text: ObsText, start: dt.datetime) -> dict[str, int]:
    return survivors(text, start, None, 0.0)


def sweep(data: Path, n: int, seed: int) -> list[str]:
    rng = random.Random(seed)
    print(f"\n## 2. Injected jamming ({n} per station and mode, seed {seed})\n")
    print("| station | mode | delta dB | window s | bands | found | start off (epochs) | depth dB | verdict |")
    print("|---|---|---:|---:|---|---|---:|---:|---|")
    failures: list[str] = []
    rates: dict[str, list[int]] = {}
    for name in SWEEP:
        text = ObsText.load(data / name)
        suffix = ".rnx" if text.version >= 3 else ".21o"
        step = text.interval or 30.0
        day0 = text.start()
        for nav in [None] + ([[str(data / x) for x in NAV[name]]] if name in NAV else []):
            mode = "nav" if nav else "no nav"
            for _ in range(n):
                delta = round(rng.uniform(1.0, 25.0), 1) if rng.random() < 0.8 else round(rng.uniform(1.0, 3.0), 1)
                seconds = max(2 * step, step * round(math.exp(rng.uniform(math.log(60), math.log(7200))) / step))
                start = day0 + dt.timedelta(seconds=step * round(rng.uniform(3600, 79200) / step))
                counts = band_counts(text, start)
                if not counts:
                    continue
                if rng.random() < 0.5:
                    bands = None
                    expected = {b for b, c in counts.items() if c >= 6}
                else:
                    choices = sorted(b for b, c in counts.items() if c >= 6)
                    if not choices:
                        continue
                    bands = {rng.choice(choices)}
                    expected = set(bands)
                r = analyse(text.inject(start, seconds, delta, bands), suffix, nav)
                end = start + dt.timedelta(seconds=seconds)
                hits = [e for e in r.interference_events() if e["kind"] == "cn0_drop"
                        and stamp(e["start"]) < end and stamp(e["end"]) >= start]
                measurable = sum(survivors(text, start, bands, delta).values()) >= 3
                ok = False
                off = depth = float("nan")
                if hits:
                    e = min(hits, key=lambda e: abs((stamp(e["start"]) - start).total_seconds()))
                    off = (stamp(e["start"]) - start).total_seconds() / step
                    depth = e["depth_db"]
                    right_bands = expected <= set(e["bands"]) <= (set(counts) if bands is None else expected)
                    ok = right_bands and abs(off) <= 1 and (not measurable or abs(depth - delta) <= 1.0)
                bucket = "1-3" if delta < 3 else "3-25"
                rates.setdefault(f"{bucket} {mode}", [0, 0])
                rates[f"{bucket} {mode}"][0] += ok
                rates[f"{bucket} {mode}"][1] += 1
                label = "all" if bands is None else ",".join(sorted(bands))
                print(f"| {name[:9]} | {mode} | {delta} | {seconds:.0f} | {label} | {'yes' if ok else 'NO'} | "
                      f"{off:.0f} | {depth:.1f} | {r.interference_verdict} |")
                if delta >= 3 and not ok:
                    failures.append(f"{name} {mode} delta={delta} {start:%H:%M:%S}+{seconds:.0f}s {label}: "
                                    f"{[(e['start'][11:19], e['bands'], round(e['depth_db'], 1)) for e in hits]}")
    print("\n| delta | mode | found |")
    print("|---|---|---:|")
    for key, (found, total) in sorted(rates.items()):
        print(f"| {key.split()[0]} dB | {' '.join(key.split()[1:])} | {found}/{total} ({100 * found / total:.0f} %) |")
    return failures


def spoofing_and_attenuator(data: Path, seed: int) -> list[str]:
    rng = random.Random(seed)
    print("\n## 3. Injected spoofing and the attenuator step\n")
    print("| station | mode | injection | events | verdict |")
    print("|---|---|---|---|---|")
    failures = []
    for name in SWEEP:
        text = ObsText.load(data / name)
        suffix = ".rnx" if text.version >= 3 else ".21o"
        step = text.interval or 30.0
        noon = text.start().replace(hour=12, minute=0, second=0)
        for nav in [None] + ([[str(data / x) for x in NAV[name]]] if name in NAV else []):
            mode = "nav" if nav else "no nav"
            cases = [("attenuator 20 dB, 18 min", text.inject(noon, 1080, 20.0, None), noon)]
            spoof_at = noon + dt.timedelta(hours=3)
            cases.append(("GPS at 45 +- 1 dB, 15 min", text.flatten(spoof_at, 900, "G", 45.0, rng), spoof_at))
            for label, injected, at in cases:
                r = analyse(injected, suffix, nav)
                events = r.interference_events()
                near = [e for e in events if abs((stamp(e["start"]) - at).total_seconds()) <= 900]
                shown = "; ".join(f"{e['kind']} {e['start'][11:19]} {','.join(e['bands'])} {e['depth_db']:.1f}" for e in near)
                print(f"| {name[:9]} | {mode} | {label} | {shown} | {r.interference_verdict} |")
                if label.startswith("attenuator"):
                    drops = [e for e in near if e["kind"] == "cn0_drop"]
                    if len(drops) != 1 or abs((stamp(drops[0]["start"]) - at).total_seconds()) > step:
                        failures.append(f"{name} {mode} {label}: {shown}")
                elif not any(e["kind"] in ("cn0_flattening", "cn0_rise") for e in near):
                    failures.append(f"{name} {mode} {label}: {shown}")
    return failures


def main() -> None:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--injections", type=int, default=20, help="jamming injections per station and mode")
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--skip-clean", action="store_true")
    args = ap.parse_args()
    data = require_data()
    if not args.skip_clean:
        clean_table(data)
    failures = sweep(data, args.injections, args.seed)
    failures += spoofing_and_attenuator(data, args.seed)
    print(f"\n{len(failures)} required detections missed")
    for f in failures:
        print("  " + f)


if __name__ == "__main__":
    main()
