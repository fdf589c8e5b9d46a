"""Batch runs: files per second one by one, on threads and on a two-worker Dask LocalCluster, and
the client's peak memory as the number of files grows.

100 station-days are built in a temporary folder by linking the real full-day and hourly
observation files of ../shared/data under distinct station names, with their navigation files
renamed to match where the station has its own (ESBC, NYA1, SEPT) and the daily broadcast files
linked once, so that quorsin_cn0.batch pairs them by name as it would in an archive.

The cluster runs in this process; each cluster measurement is a fresh client process that
connects to it by address, analyses the first N files and reports its own peak resident memory
above its state after the imports and the connection. Only rows come back to the client, so that
peak must stay flat as N grows.

    python benchmarks/bench_batch.py [station-days] [--no-serial]
"""

from __future__ import annotations

import os
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from common import mb, require_data  # noqa: E402

from quorsin_cn0 import batch  # noqa: E402

# Observation files (full days, then the hourly and shorter sessions) and the navigation files
# that go with them: renamed with the station when they are the station's own, else linked as
# they are (the daily broadcast files); None for files of no pair.
SOURCES = {
    "ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz": ["ESBC00DNK_R_20201770000_01D_MN.rnx"],
    "NYA100NOR_S_20241240000_01D_30S_MO.crx.gz": ["NYA100NOR_S_20241240000_01D_GN.rnx",
                                                  "NYA100NOR_S_20241240000_01D_EN.rnx",
                                                  "NYA100NOR_S_20241240000_01D_CN.rnx"],
    "AJAC00FRA_R_20242090000_01D_30S_MO.crx.gz": None,
    "CEBR00ESP_R_20182000000_01D_30S_MO.crx.gz": None,
    "CEDA00USA_R_20182100000_23H_15S_MO.rnx": None,
    "zimm0010.21o": ["brdc0010.21n"],
    "delf0010.21d": ["brdc0010.21n"],
    "wsra0010.21d": ["brdc0010.21n"],
    "zegv0010.21d": ["brdc0010.21n"],
    "york0440.15d": None,
    "slac1180.21o": ["brdc1180.21n"],
    "delf0010.21o": ["brdc0010.21n"],
    "TLSE00FRA_R_20240011200_15M_01S_MO.crx.gz": ["BRDC00IGS_R_20240010000_01D_MN.rnx.gz"],
    "GEOP092I.24o": None,
    "SEPT265G.21O": ["SEPT2650.21P"],
}


def renamed(name: str, site: str) -> str:
    """The file name with its station replaced by `site` (4 characters)."""
    if re.match(r"^[A-Z0-9]{9}_", name):
        return site.upper() + name[4:]
    if not name.lower().startswith("brdc"):
        return (site.lower() if name[:4].islower() else site.upper()) + name[4:]
    return name


def build(folder: Path, data: Path, count: int) -> list:
    paths = []
    sources = list(SOURCES.items())
    for i in range(count):
        obs, navs = sources[i % len(sources)]
        site = f"S{i:03d}"
        for name in [obs, *(navs or [])]:
            target = folder / renamed(name, site)
            if not target.exists():
                target.symlink_to(data / name)
        paths.append(str(folder / renamed(obs, site)))
    return paths


def rate(label: str, n: int, seconds: float, reference: float = 0.0) -> float:
    r = n / seconds
    extra = f"   {r / reference:.2f}x one by one" if reference else ""
    print(f"{label:<28} {n:4d} files in {seconds:7.1f} s = {r:6.2f} files/s{extra}", flush=True)
    return r


CLIENT = """
import gc, json, sys, time
from quorsin_cn0 import batch
import distributed, pandas, pyarrow
paths = sys.argv[2:]
client = distributed.Client(sys.argv[1])
def status(key):
    with open('/proc/self/status') as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1]) * 1024
gc.collect()
with open('/proc/self/clear_refs', 'w') as f:
    f.write('5')
base = status('VmRSS:')
t = time.perf_counter()
tables = batch.analyze_many(paths, scheduler=client, progress=False)
seconds = time.perf_counter() - t
failed = int((tables.files['error'] != '').sum())
print(json.dumps({'seconds': seconds, 'peak': max(status('VmHWM:') - base, 0), 'failed': failed,
                  'rows': len(tables.files), 'events': len(tables.events)}))
client.close()
"""


def _count(n: int) -> None:
    while n:
        n -= 1


def parallel_reference(n: int = 4_000_000) -> float:
    """What the machine gives two busy processes right now: time of two pure-Python loops one
    after the other over the time of the same two in two processes (2.0 on two idle cores)."""
    import multiprocessing

    t = time.perf_counter()
    _count(n), _count(n)
    serial = time.perf_counter() - t
    procs = [multiprocessing.Process(target=_count, args=(n,)) for _ in range(2)]
    t = time.perf_counter()
    for p in procs:
        p.start()
    for p in procs:
        p.join()
    return serial / (time.perf_counter() - t)


def main() -> None:
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    count = int(args[0]) if args else 100
    data = require_data()
    load = os.getloadavg()
    print(f"machine: {os.cpu_count()} cores, load average {load[0]:.1f} / {load[1]:.1f} / {load[2]:.1f} "
          "(other jobs share the cores: the figures are indicative)")
    print(f"two busy processes against one after the other, now: {parallel_reference():.2f}x "
          "(the most that threads or workers can reach at this load)")
    with tempfile.TemporaryDirectory(prefix="qcn0-batch-") as tmp:
        paths = build(Path(tmp), data, count)
        navs = batch.pair_navigation(paths)
        size = sum(os.path.getsize(p) for p in paths)
        print(f"{count} station-days from {len(SOURCES)} real files: {mb(size):.0f} MB as stored, "
              f"{sum(1 for n in navs if n)} with navigation found by name\n", flush=True)
        batch.analyze_many(paths[:3], workers=1, progress=False)  # imports and page cache

        serial = 0.0
        if "--no-serial" not in sys.argv:
            t = time.perf_counter()
            one = batch.analyze_many(paths, workers=1, progress=False)
            serial = rate("one by one", count, time.perf_counter() - t)
        t = time.perf_counter()
        threads = batch.analyze_many(paths, workers=os.cpu_count(), progress=False)
        rate(f"threads ({os.cpu_count()})", count, time.perf_counter() - t, serial)
        if serial:
            same = one.files.drop(columns="run_time_s").equals(threads.files.drop(columns="run_time_s"))
            print(f"{'':28} same table as one by one: {same}")
        failed = threads.files[threads.files["error"] != ""]
        if len(failed):
            print(f"{'':28} {len(failed)} files failed: {failed['error'].iloc[0]}")

        import distributed

        with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                      dashboard_address=None, silence_logs=40) as cluster:
            print(f"\nLocalCluster, 2 worker processes, one thread each; client in its own process")
            print(f"{'files':>6} {'s':>7} {'files/s':>8} {'client peak MB':>15} {'rows':>5} {'events':>7}")
            for n in sorted({max(count // 4, 1), max(count // 2, 1), count}):
                out = subprocess.run([sys.executable, "-c", CLIENT, cluster.scheduler_address, *paths[:n]],
                                     check=True, capture_output=True, text=True)
                import json

                r = json.loads(out.stdout.strip().splitlines()[-1])
                print(f"{n:6d} {r['seconds']:7.1f} {n / r['seconds']:8.2f} {mb(r['peak']):15.1f} {r['rows']:5d} "
                      f"{r['events']:7d}", flush=True)


if __name__ == "__main__":
    main()
