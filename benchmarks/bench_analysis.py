"""analyze_cn0 with navigation data against reading the same observation file, on the largest
uncompressed real observation file and its navigation file; and how the analysis grows with the
number of epochs (the first quarter, half and whole of the file).

    python benchmarks/bench_analysis.py [OBS NAV]
"""

from __future__ import annotations

import re
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from common import best_time, mb, require_data  # noqa: E402

import quorsin_cn0 as q  # noqa: E402

RINEX2_EPOCH = re.compile(rb"^ \d\d [ \d]\d [ \d]\d [ \d]\d [ \d]\d [ \d]\d\.\d{7}  \d", re.M)
RINEX3_EPOCH = re.compile(rb"^> ", re.M)


def epoch_offsets(text: bytes) -> list[int]:
    header_end = text.index(b"END OF HEADER")
    body = RINEX3_EPOCH if text[:9].strip().startswith(b"3") else RINEX2_EPOCH
    return [m.start() for m in body.finditer(text, header_end)]


def main() -> None:
    data = require_data()
    obs = Path(sys.argv[1]) if len(sys.argv) > 2 else data / "zimm0010.21o"
    nav = Path(sys.argv[2]) if len(sys.argv) > 2 else data / "brdc0010.21n"
    size = obs.stat().st_size
    read = best_time(lambda: q.read_rinex_obs(str(obs)), 10)
    plain = best_time(lambda: q.analyze_cn0(str(obs)), 10)
    with_nav = best_time(lambda: q.analyze_cn0(str(obs), str(nav)), 10)
    print(f"{obs.name} ({mb(size):.2f} MB) with {nav.name}")
    print(f"read_rinex_obs:              {read * 1e3:8.2f} ms")
    print(f"analyze_cn0 without nav:     {plain * 1e3:8.2f} ms  ({plain / read:.2f} x read)")
    print(f"analyze_cn0 with nav:        {with_nav * 1e3:8.2f} ms  ({with_nav / read:.2f} x read)")

    text = obs.read_bytes()
    offsets = epoch_offsets(text)
    print("\nepochs   analyze_cn0 with nav   per epoch")
    with tempfile.TemporaryDirectory() as tmp:
        for share in (4, 2, 1):
            count = len(offsets) // share
            cut = offsets[count] if count < len(offsets) else len(text)
            part = Path(tmp) / f"part{share}_{obs.name}"
            part.write_bytes(text[:cut])
            t = best_time(lambda: q.analyze_cn0(str(part), str(nav)), 10)
            print(f"{count:6d}   {t * 1e3:10.2f} ms          {t / count * 1e6:7.1f} us")


if __name__ == "__main__":
    main()
