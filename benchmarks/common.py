"""Shared helpers of the benchmarks: where the real data lives, timing and peak memory."""

from __future__ import annotations

import os
import subprocess
import sys
import time
from pathlib import Path

DATA_DIR = Path(os.environ.get("QCN0_DATA_DIR", Path(__file__).resolve().parents[1].parent / "shared" / "data"))


def require_data() -> Path:
    if not DATA_DIR.is_dir():
        sys.exit(f"real data folder {DATA_DIR} not found (set QCN0_DATA_DIR)")
    return DATA_DIR


def best_time(fn, repeat: int = 5) -> float:
    """Best wall time of `repeat` calls, in seconds."""
    best = float("inf")
    for _ in range(repeat):
        t = time.perf_counter()
        fn()
        best = min(best, time.perf_counter() - t)
    return best


def peak_memory_above_baseline(setup: str, work: str) -> int:
    """Peak resident memory (bytes) that `work` adds above the state after `setup`, measured in a
    fresh interpreter: the kernel's high-water mark is reset after `setup` (clear_refs 5) and read
    back after `work`."""
    code = f"""
import gc, sys
{setup}
gc.collect()
def status(key):
    with open('/proc/self/status') as f:
        for line in f:
            if line.startswith(key):
                return int(line.split()[1]) * 1024
with open('/proc/self/clear_refs', 'w') as f:
    f.write('5')
base = status('VmRSS:')
{work}
print(max(status('VmHWM:') - base, 0))
"""
    out = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True, text=True)
    return int(out.stdout.strip().splitlines()[-1])


def mb(n: float) -> float:
    return n / 1e6


def run_in_threads(tasks) -> None:
    """Runs each callable in a thread of its own, all released at once; re-raises the first
    error once every thread has ended."""
    import threading

    errors: list = []
    start = threading.Barrier(len(tasks))

    def run(task) -> None:
        try:
            start.wait()
            task()
        except BaseException as e:  # noqa: BLE001 - handed to the caller
            errors.append(e)

    threads = [threading.Thread(target=run, args=(task,)) for task in tasks]
    for th in threads:
        th.start()
    for th in threads:
        th.join()
    if errors:
        raise errors[0]
