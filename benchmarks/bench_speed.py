"""Reading speed and memory of observation files, for two builds of the module in the same run.

Shows, for a baseline build ("before") and the current one ("after"):
  1. reading a compressed file against reading its plain text (.crx.gz, .crx, .rnx.gz, .rnx.Z, .21d);
  2. MB/s on plain RINEX 3 and RINEX 2 text;
  3. peak memory above the interpreter's baseline, as a multiple of the plain text size;
  4. `analyze_cn0` of a full-day .crx.gz with its navigation file, end to end;
  5. two such analyses in two threads against the same two one after the other.

Every measurement of a build runs in a fresh interpreter whose PYTHONPATH starts with that build's
folder, so the two modules never meet in one process; the builds take turns figure by figure.
Times are the best of 15 calls (QCN0_BENCH_REPEAT) and of at least a second after a warm-up; the
two sides of a time ratio alternate. The inputs (decoded with the `hatanaka` package, recompressed
with gzip and, if it is on PATH, `compress`) live in a temporary folder deleted at the end.

    python benchmarks/bench_speed.py [--baseline DIR] [--current DIR] [--json FILE]

--baseline defaults to /work/baseline-build/python; without --current the installed module is used.
A baseline is any earlier revision built beside the checkout, e.g. the one before the reader took
its input in pieces:

    git worktree add ../baseline 9e17034
    cmake -S ../baseline -B ../baseline-build -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build ../baseline-build --target quorsin_cn0
    python benchmarks/bench_speed.py --baseline ../baseline-build/python --current build-tests/python
"""

from __future__ import annotations

import argparse
import gzip
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Any, Callable

sys.path.insert(0, str(Path(__file__).resolve().parent))
from common import best_time, mb, peak_memory_above_baseline, require_data, run_in_threads  # noqa: E402

DEFAULT_BASELINE = "/work/baseline-build/python"
REPEAT = int(os.environ.get("QCN0_BENCH_REPEAT", "15"))  # a shared machine has bursts of load
MIN_SECONDS = 1.0
ESBC = "ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz"
ESBC_NAV = "ESBC00DNK_R_20201770000_01D_MN.rnx"
OTHER_DAYS = {  # label -> full-day Compact RINEX 3 in gzip
    "AJAC": "AJAC00FRA_R_20242090000_01D_30S_MO.crx.gz",
    "CEBR": "CEBR00ESP_R_20182000000_01D_30S_MO.crx.gz",
    "NYA1": "NYA100NOR_S_20241240000_01D_30S_MO.crx.gz",
}

# (figure, target, child group, key in the child's answer); one row of the table each.
ROWS = [
    ("read ESBC .crx.gz / plain", "<= 1.3", "compressed", "esbc.crx.gz"),
    ("read ESBC .crx / plain", "<= 1.3", "compressed", "esbc.crx"),
    ("read ESBC .rnx.gz / plain", "<= 1.3", "compressed", "esbc.rnx.gz"),
    ("read ESBC .rnx.Z / plain", "<= 1.3", "compressed", "esbc.rnx.Z"),
    ("read AJAC .crx.gz / plain", "<= 1.3", "compressed", "ajac.crx.gz"),
    ("read CEBR .crx.gz / plain", "<= 1.3", "compressed", "cebr.crx.gz"),
    ("read NYA1 .crx.gz / plain", "<= 1.3", "compressed", "nya1.crx.gz"),
    ("read delf .21d / plain", "<= 1.3", "compressed", "delf0010.21d"),
    ("MB/s ESBC .rnx (RINEX 3)", ">= 1000", "plain", "esbc.rnx"),
    ("MB/s zimm0010.21o (RINEX 2)", ">= 800", "plain", "zimm0010.21o"),
    ("MB/s delf0010.21o (RINEX 2)", ">= 800", "plain", "delf0010.21o"),
    ("memory / plain size, read ESBC .rnx", "<= 1.0", "memory", "read esbc.rnx"),
    ("memory / plain size, read ESBC .crx.gz", "<= 1.0", "memory", "read esbc.crx.gz"),
    ("memory / plain size, analyze ESBC .crx.gz + nav", "<= 2.0", "memory", "analyze esbc.crx.gz"),
    ("analyze ESBC .crx.gz + nav, ms", "<= 120", "end_to_end", "analyze"),
    ("2 threads / one after the other", "<= 0.6", "threads", "ratio"),
]
GROUPS = list(dict.fromkeys(group for _, _, group, _ in ROWS))


# --- inputs -------------------------------------------------------------------------------------

def make_inputs(data: Path, folder: Path) -> list[str]:
    """Write every input into `folder`; return notes on what could not be made."""
    import hatanaka

    notes = []
    shutil.copyfile(data / ESBC, folder / "esbc.crx.gz")
    (folder / "esbc.crx").write_bytes(gzip.decompress((data / ESBC).read_bytes()))
    text = hatanaka.decompress((data / ESBC).read_bytes())
    (folder / "esbc.rnx").write_bytes(text)
    (folder / "esbc.rnx.gz").write_bytes(gzip.compress(text, compresslevel=6))
    if shutil.which("compress"):
        with open(folder / "esbc.rnx.Z", "wb") as out:
            subprocess.run(["compress", "-c", str(folder / "esbc.rnx")], stdout=out, check=True)
    else:
        notes.append("`compress` (ncompress) not on PATH: no .rnx.Z row")
    shutil.copyfile(data / ESBC_NAV, folder / "esbc_nav.rnx")
    shutil.copyfile(data / "zimm0010.21o", folder / "zimm0010.21o")
    shutil.copyfile(data / "delf0010.21d", folder / "delf0010.21d")
    (folder / "delf0010.21o").write_bytes(hatanaka.decompress((data / "delf0010.21d").read_bytes()))
    for label, name in OTHER_DAYS.items():
        raw = (data / name).read_bytes()
        (folder / f"{label.lower()}.crx.gz").write_bytes(raw)
        (folder / f"{label.lower()}.rnx").write_bytes(hatanaka.decompress(raw))
    return notes


# --- measurements, run in a child interpreter ---------------------------------------------------

def warm_best(fn: Callable[[], object]) -> float:
    """Best wall time after one warm-up call, over REPEAT calls and at least MIN_SECONDS."""
    fn()
    best, start, n = float("inf"), time.perf_counter(), 0
    while n < REPEAT or time.perf_counter() - start < MIN_SECONDS:
        best = min(best, best_time(fn, repeat=1))
        n += 1
    return best


def paired_best(a: Callable[[], object], b: Callable[[], object]) -> tuple[float, float]:
    """Best wall times of `a` and `b` over REPEAT rounds that alternate them, after one warm-up
    each, for at least MIN_SECONDS a side: a burst of load from other jobs then hits both sides of
    a ratio alike, and short reads are sampled long enough to see a quiet moment."""
    a()
    b()
    best_a = best_b = float("inf")
    start, n = time.perf_counter(), 0
    while n < REPEAT or time.perf_counter() - start < 2 * MIN_SECONDS:
        best_a = min(best_a, best_time(a, repeat=1))
        best_b = min(best_b, best_time(b, repeat=1))
        n += 1
    return best_a, best_b


def measure_compressed(q: Any, folder: Path) -> dict[str, Any]:
    def read(name: str) -> Callable[[], object]:
        return lambda: q.read_rinex_obs(str(folder / name))

    plain_of = {"esbc.crx.gz": "esbc.rnx", "esbc.crx": "esbc.rnx", "esbc.rnx.gz": "esbc.rnx",
                "esbc.rnx.Z": "esbc.rnx", "delf0010.21d": "delf0010.21o"}
    plain_of.update({f"{k.lower()}.crx.gz": f"{k.lower()}.rnx" for k in OTHER_DAYS})
    times: dict[str, float] = {}
    values: dict[str, Any] = {}
    for packed, plain in plain_of.items():
        if not (folder / packed).exists():
            continue
        try:
            plain_time, times[packed] = paired_best(read(plain), read(packed))
            times[plain] = min(plain_time, times.get(plain, plain_time))
            values[packed] = times[packed] / plain_time
        except Exception as e:  # noqa: BLE001 - an older build may not read every format
            values[packed] = f"error: {type(e).__name__}: {e}"
    return {"values": values, "seconds": times}


def measure_plain(q: Any, folder: Path) -> dict[str, Any]:
    values, times = {}, {}
    for name in ("esbc.rnx", "zimm0010.21o", "delf0010.21o"):
        path = str(folder / name)
        times[name] = warm_best(lambda: q.read_rinex_obs(path))
        values[name] = mb((folder / name).stat().st_size) / times[name]
    return {"values": values, "seconds": times}


def measure_memory(q: Any, folder: Path) -> dict[str, Any]:
    # The setup only imports the module: the file's bytes are allocated inside the measured work.
    plain = (folder / "esbc.rnx").stat().st_size
    obs, packed, nav = (str(folder / n) for n in ("esbc.rnx", "esbc.crx.gz", "esbc_nav.rnx"))
    works = {
        "read esbc.rnx": f"d = quorsin_cn0.read_rinex_obs({obs!r})",
        "read esbc.crx.gz": f"d = quorsin_cn0.read_rinex_obs({packed!r})",
        "analyze esbc.crx.gz": f"r = quorsin_cn0.analyze_cn0({packed!r}, nav_path={nav!r})",
    }
    peaks = {key: peak_memory_above_baseline("import quorsin_cn0", work) for key, work in works.items()}
    return {"values": {k: v / plain for k, v in peaks.items()}, "peak_bytes": peaks, "plain_bytes": plain}


def measure_end_to_end(q: Any, folder: Path) -> dict[str, Any]:
    packed, nav = str(folder / "esbc.crx.gz"), str(folder / "esbc_nav.rnx")
    seconds = warm_best(lambda: q.analyze_cn0(packed, nav_path=nav))
    return {"values": {"analyze": seconds * 1e3}, "seconds": seconds}


def measure_threads(q: Any, folder: Path) -> dict[str, Any]:
    packed, nav = str(folder / "esbc.crx.gz"), str(folder / "esbc_nav.rnx")

    def analyse() -> None:
        q.analyze_cn0(packed, nav_path=nav)

    def one_after_the_other() -> None:
        analyse()
        analyse()

    def two_threads() -> None:
        run_in_threads([analyse, analyse])

    serial, threaded = paired_best(one_after_the_other, two_threads)
    return {"values": {"ratio": threaded / serial}, "seconds": {"serial": serial, "threads": threaded}}


MEASURES = {"compressed": measure_compressed, "plain": measure_plain, "memory": measure_memory,
            "end_to_end": measure_end_to_end, "threads": measure_threads}


def child(group: str, folder: Path) -> None:
    import quorsin_cn0 as q

    answer = MEASURES[group](q, folder)
    answer["module"] = str(Path(q.__file__).resolve().parent)
    answer["version"] = q.version()
    print(json.dumps(answer))


# --- the parent: inputs, children, table --------------------------------------------------------

def environment_for(build: str | None) -> dict[str, str]:
    """The environment of a child: PYTHONPATH starts with `build`, or is left as it is."""
    env = dict(os.environ)
    if build is not None:
        env["PYTHONPATH"] = os.pathsep.join(p for p in (build, env.get("PYTHONPATH")) if p)
    return env


def run_child(group: str, build: str | None, folder: Path) -> dict[str, Any]:
    cmd = [sys.executable, str(Path(__file__).resolve()), "--child", group, "--inputs", str(folder)]
    out = subprocess.run(cmd, env=environment_for(build), cwd=folder, capture_output=True, text=True)
    if out.returncode != 0:
        tail = out.stderr.strip().splitlines()[-1:] or [f"exit status {out.returncode}"]
        return {"values": {}, "failed": tail[0]}
    return json.loads(out.stdout.strip().splitlines()[-1])


def machine() -> dict[str, Any]:
    return {"cores": os.cpu_count(), "cores_available": len(os.sched_getaffinity(0)),
            "loadavg": [round(x, 2) for x in os.getloadavg()]}


def cell(value: Any) -> str:
    if value is None:
        return ""
    if isinstance(value, str):
        return "failed"
    return f"{value:.0f}" if abs(value) >= 100 else f"{value:.2f}"


def meets(value: Any, target: str) -> bool:
    if not isinstance(value, (float, int)):
        return False
    op, bound = target.split()
    return value <= float(bound) if op == "<=" else value >= float(bound)


def main() -> None:
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--baseline", default=DEFAULT_BASELINE, help="folder holding the older build's quorsin_cn0")
    ap.add_argument("--current", default=None, help="folder holding the current build (default: the installed one)")
    ap.add_argument("--json", type=Path, default=None, help="also write the figures to this file")
    ap.add_argument("--child", choices=GROUPS, help=argparse.SUPPRESS)
    ap.add_argument("--inputs", type=Path, help=argparse.SUPPRESS)
    args = ap.parse_args()
    if args.child:
        child(args.child, args.inputs)
        return

    data = require_data()
    if args.current is not None and not Path(args.current).is_dir():
        sys.exit(f"--current {args.current}: no such folder")
    builds: dict[str, str | None] = {}
    notes = []
    if Path(args.baseline).is_dir():
        builds["before"] = str(Path(args.baseline).resolve())
    else:
        notes.append(f"baseline folder {args.baseline} not found: the 'after' column only")
        print(f"note: {notes[-1]}")
    builds["after"] = str(Path(args.current).resolve()) if args.current else None

    start = machine()
    print(f"machine at start: {start['cores']} cores ({start['cores_available']} available), "
          f"load average {start['loadavg']}")
    answers: dict[str, dict[str, dict[str, Any]]] = {side: {} for side in builds}
    with tempfile.TemporaryDirectory(prefix="bench_speed_") as tmp:
        folder = Path(tmp)
        t = time.perf_counter()
        notes += make_inputs(data, folder)
        print(f"inputs made in {time.perf_counter() - t:.1f} s "
              f"(ESBC plain text {mb((folder / 'esbc.rnx').stat().st_size):.1f} MB)")
        for group in GROUPS:  # the builds take turns, so a change of load hits both alike
            for side, build in builds.items():
                answers[side][group] = run_child(group, build, folder)
    end = machine()

    modules = {}
    for side, build in builds.items():
        found = {a.get("module") for a in answers[side].values() if "module" in a}
        versions = {a.get("version") for a in answers[side].values() if "version" in a}
        modules[side] = {"requested": build or "installed", "module": sorted(found), "version": sorted(versions)}
        print(f"{side}: {', '.join(sorted(found)) or 'not imported'}"
              + (f" (version {', '.join(sorted(versions))})" if versions else ""))
        if build is not None and any(not m.startswith(build) for m in found):
            notes.append(f"{side}: the module came from {sorted(found)}, not from {build}")
        for group, a in answers[side].items():
            if "failed" in a:
                notes.append(f"{side}, {group}: child failed: {a['failed']}")
            for key, v in a.get("values", {}).items():
                if isinstance(v, str):
                    notes.append(f"{side}, {key}: {v}")

    sides = list(builds)
    table = [["figure", "target", *sides]]
    records = []
    for figure, target, group, key in ROWS:
        values = {side: answers[side].get(group, {}).get("values", {}).get(key) for side in sides}
        if all(v is None for v in values.values()):
            continue  # an input that could not be made
        values = {side: answers[side][group].get("failed", v) if v is None else v for side, v in values.items()}
        table.append([figure, target, *(cell(values[s]) for s in sides)])
        records.append({"figure": figure, "target": target, **values,
                        "met": meets(values["after"], target)})
    widths = [max(len(row[i]) for row in table) for i in range(len(table[0]))]
    print()
    for n, row in enumerate(table):
        print("| " + " | ".join(c.ljust(w) if i == 0 else c.rjust(w) for i, (c, w) in enumerate(zip(row, widths)))
              + " |")
        if n == 0:
            print("|" + "|".join("-" * (w + 1) + (":" if i else "-") for i, w in enumerate(widths)) + "|")
    print()
    missed = [r["figure"] for r in records if not r["met"]]
    print(f"targets met by 'after': {len(records) - len(missed)} of {len(records)}")
    print(f"machine at end: load average {end['loadavg']}")
    for note in notes:
        print(f"note: {note}")
    if args.json:
        args.json.write_text(json.dumps({"machine": {"start": start, "end": end}, "builds": modules,
                                         "figures": records, "details": answers, "notes": notes}, indent=2))


if __name__ == "__main__":
    main()
