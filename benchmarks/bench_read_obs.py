"""Observation reading speed and memory on the largest uncompressed RINEX 3 file, against georinex.

    python benchmarks/bench_read_obs.py [file]
    python benchmarks/bench_read_obs.py --decompressed   # the largest full-day .crx.gz, decoded
                                                         # first (needs the hatanaka package)
"""

from __future__ import annotations

import sys
import warnings
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from common import best_time, mb, peak_memory_above_baseline, require_data  # noqa: E402

import quorsin_cn0  # noqa: E402


def largest_rinex3_observation_file(data: Path) -> Path:
    candidates = []
    for p in data.iterdir():
        name = p.name
        if name.endswith((".crx", ".gz", ".Z")) or name.endswith("d"):
            continue
        with open(p, "rb") as f:
            head = f.read(80)
        if len(head) >= 61 and head[20:21] == b"O" and head[:9].strip().startswith(b"3"):
            candidates.append(p)
    return max(candidates, key=lambda p: p.stat().st_size)


def main() -> None:
    data = require_data()
    if sys.argv[1:] == ["--decompressed"]:
        import tempfile

        import hatanaka

        packed = max(data.glob("*.crx.gz"), key=lambda p: p.stat().st_size)
        tmp = Path(tempfile.mkdtemp()) / packed.name.replace(".crx.gz", ".rnx")
        tmp.write_bytes(hatanaka.decompress(packed.read_bytes()))
        path = tmp
    else:
        path = Path(sys.argv[1]) if len(sys.argv) > 1 else largest_rinex3_observation_file(data)
    size = path.stat().st_size
    ours = best_time(lambda: quorsin_cn0.read_rinex_obs(str(path)), repeat=10)
    obs = quorsin_cn0.read_rinex_obs(str(path))
    print(f"file: {path.name} ({mb(size):.2f} MB, {obs.num_epochs} epochs, {obs.num_satellites} satellites)")
    print(f"quorsin_cn0.read_rinex_obs: {ours * 1e3:8.2f} ms  {mb(size) / ours:8.1f} MB/s")
    peak = peak_memory_above_baseline("import quorsin_cn0", f"d = quorsin_cn0.read_rinex_obs({str(path)!r})")
    print(f"peak memory above baseline: {mb(peak):.2f} MB = {peak / size:.2f} x file size")
    try:
        import georinex
    except ImportError:
        print("georinex not installed (pip install georinex): no peer figure")
        return
    warnings.filterwarnings("ignore")
    peer = best_time(lambda: georinex.load(str(path)), repeat=1)
    print(f"georinex.load:              {peer * 1e3:8.2f} ms  {mb(size) / peer:8.2f} MB/s")
    print(f"speed-up over georinex: {peer / ours:.0f} x")


if __name__ == "__main__":
    main()
