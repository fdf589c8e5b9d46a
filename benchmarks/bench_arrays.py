"""`read_rinex_obs(path).to_xarray()` against `georinex.load(path)` on the largest plain RINEX 3
observation file, in the same run, and the peak memory of the conversion against the size of the
arrays it returns.

    python benchmarks/bench_arrays.py [file]
"""

from __future__ import annotations

import sys
import warnings
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from bench_read_obs import largest_rinex3_observation_file  # noqa: E402
from common import best_time, mb, peak_memory_above_baseline, require_data  # noqa: E402

import quorsin_cn0  # noqa: E402


def main() -> None:
    data = require_data()
    path = Path(sys.argv[1]) if len(sys.argv) > 1 else largest_rinex3_observation_file(data)
    import xarray  # noqa: F401  (imported once, outside the timings, as a user's session would)

    ds = quorsin_cn0.read_rinex_obs(str(path)).to_xarray()
    arrays = sum(v.nbytes for v in ds.variables.values())
    print(f"file: {path.name} ({mb(path.stat().st_size):.2f} MB); dataset {dict(ds.sizes)}, "
          f"{len(ds.data_vars)} codes, arrays {mb(arrays):.2f} MB")

    ours = best_time(lambda: quorsin_cn0.read_rinex_obs(str(path)).to_xarray(), repeat=10)
    obs = quorsin_cn0.read_rinex_obs(str(path))
    convert = best_time(obs.to_xarray, repeat=10)
    print(f"read_rinex_obs(path).to_xarray(): {ours * 1e3:8.2f} ms  (to_xarray alone {convert * 1e3:.2f} ms)")

    # Peak resident memory above the state with the file read. xarray and pandas load more of
    # themselves on their first Dataset (a one-off of the session, ~35 MB here): the steady figure
    # is taken after one small conversion (a single code), the first-call figure includes it.
    read = f"import quorsin_cn0, xarray\nobs = quorsin_cn0.read_rinex_obs({str(path)!r})"
    warm = f"{read}\nobs.to_xarray(meas={list(ds.data_vars)[0]!r})"
    peak = peak_memory_above_baseline(warm, "ds = obs.to_xarray()")
    first = peak_memory_above_baseline(read, "ds = obs.to_xarray()")
    print(f"peak memory of to_xarray: {mb(peak):.2f} MB = {peak / arrays:.2f} x the arrays "
          f"(first call of the session: {mb(first):.2f} MB)")
    try:
        import georinex
    except ImportError:
        print("georinex not installed (pip install georinex): no peer figure")
        return
    warnings.filterwarnings("ignore")
    peer = best_time(lambda: georinex.load(str(path)), repeat=1)
    print(f"georinex.load(path):              {peer * 1e3:8.2f} ms")
    print(f"speed-up over georinex: {peer / ours:.0f} x")


if __name__ == "__main__":
    main()
