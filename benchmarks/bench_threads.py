"""Two file analyses in two threads against the same two one after the other.

CN0Analyzer.analyze_file releases the interpreter lock while it reads, parses and analyses, so
two analyses in two threads should take well under the time of running them in turn: the target
is a ratio (two threads / one after the other) of at most 0.6 on a machine with two or more cores.

The input is a real RINEX 3 file (five minutes at 1 s, G/R/E/C/J) whose epochs are repeated with
shifted times into a long file, written twice, analysed with the receiver's own navigation file.
As a reference for what the machine can do, the same ratio is measured for two processes that
each count in a pure Python loop.

    python benchmarks/bench_threads.py [copies]      (default 20 repetitions, about 70 MB a file)
"""

from __future__ import annotations

import datetime
import multiprocessing
import os
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from common import mb, require_data, run_in_threads  # noqa: E402

import quorsin_cn0  # noqa: E402

SOURCE = "matrtklib_20240624_static_base.obs"
NAV = "matrtklib_20240624_static_base.nav"
REPEAT = 3


def epoch_time(line: bytes) -> datetime.datetime:
    # RINEX 3 epoch lines start with '>'; the time fills columns 2..28 (seconds as F11.7).
    year, month, day, hour, minute, second = line[1:29].split()
    return datetime.datetime(int(year), int(month), int(day), int(hour), int(minute)) + datetime.timedelta(
        seconds=float(second))


def repeated_rinex3(raw: bytes, copies: int) -> bytes:
    """The header, then the file's epochs `copies` times, each repetition shifted by the span of
    the file plus one interval."""
    end = raw.index(b"\n", raw.index(b"END OF HEADER")) + 1
    header, lines = raw[:end], raw[end:].splitlines(keepends=True)
    epochs = [i for i, line in enumerate(lines) if line.startswith(b">")]
    times = {i: epoch_time(lines[i]) for i in epochs}
    step = times[epochs[1]] - times[epochs[0]]
    shift = times[epochs[-1]] - times[epochs[0]] + step
    parts = [header]
    for k in range(copies):
        copy = list(lines)
        for i in epochs:
            t = times[i] + k * shift
            second = t.second + t.microsecond / 1e6
            copy[i] = (f"> {t.year:4d} {t.month:02d} {t.day:02d} {t.hour:02d} {t.minute:02d}{second:11.7f}".encode()
                       + lines[i][29:])
        parts.append(b"".join(copy))
    return b"".join(parts)


def timed(fn) -> tuple[float, float]:
    """Wall time and process CPU time (all threads, user + system) of one call."""
    cpu, wall = time.process_time(), time.perf_counter()
    fn()
    return time.perf_counter() - wall, time.process_time() - cpu


def one_after_the_other(analyzer: quorsin_cn0.CN0Analyzer, files: list[str]) -> None:
    for f in files:
        analyzer.analyze_file(f)


def in_threads(analyzer: quorsin_cn0.CN0Analyzer, files: list[str]) -> None:
    run_in_threads([lambda f=f: analyzer.analyze_file(f) for f in files])


def count(n: int) -> int:
    s = 0
    for i in range(n):
        s += i
    return s


def process_reference(n: int = 20_000_000) -> tuple[float, float]:
    """Two CPU-bound processes: in turn, then at once."""
    t = time.perf_counter()
    count(n)
    count(n)
    serial = time.perf_counter() - t
    with multiprocessing.get_context("fork").Pool(2) as pool:
        pool.map(count, [1, 1])  # start the workers outside the measurement
        t = time.perf_counter()
        pool.map(count, [n, n])
        parallel = time.perf_counter() - t
    return serial, parallel


def main() -> None:
    data = require_data()
    copies = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    raw = repeated_rinex3((data / SOURCE).read_bytes(), copies)
    with tempfile.TemporaryDirectory() as tmp:
        files = []
        for name in ("first.obs", "second.obs"):
            path = Path(tmp) / name
            path.write_bytes(raw)
            files.append(str(path))
        analyzer = quorsin_cn0.CN0Analyzer(quorsin_cn0.AnalysisConfig(nav_file=str(data / NAV)))
        check = analyzer.analyze_file(files[0])
        print(f"input: 2 x {mb(len(raw)):.1f} MB ({check.total_epochs} epochs, {check.total_observations} C/N0 "
              f"samples each), navigation {NAV}; cores available: {len(os.sched_getaffinity(0))}")
        del check
        one_after_the_other(analyzer, files)  # warm the page cache and the allocator
        serial, serial_cpu = min(timed(lambda: one_after_the_other(analyzer, files)) for _ in range(REPEAT))
        threaded, threaded_cpu = min(timed(lambda: in_threads(analyzer, files)) for _ in range(REPEAT))

    ratio = threaded / serial
    # CPU time over wall time: about 1 when one core works, about 2 when two work at once.
    print(f"one after the other: {serial:.3f} s  (CPU {serial_cpu:.3f} s, {serial_cpu / serial:.2f} cores busy)")
    print(f"two threads:         {threaded:.3f} s  (CPU {threaded_cpu:.3f} s, {threaded_cpu / threaded:.2f} cores busy)")
    print(f"ratio:               {ratio:.2f}  (target <= 0.60: {'met' if ratio <= 0.6 else 'NOT met'})")
    p_serial, p_parallel = process_reference()
    print(f"machine reference, two CPU-bound processes: {p_serial:.3f} s in turn, {p_parallel:.3f} s at once, "
          f"ratio {p_parallel / p_serial:.2f}")


if __name__ == "__main__":
    main()
