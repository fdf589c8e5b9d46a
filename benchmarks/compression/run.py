"""Decoding speed of compressed observation files, against the reference decoder CRX2RNX.

    python3 benchmarks/compression/run.py [file ...]

Builds bench_compression.cpp optimised (g++ -O2, as the release build), runs it on every
Compact RINEX file of ../shared/data (or the files given), and times CRX2RNX from the
`hatanaka` package on the same Compact RINEX text in the same run: once as its Python call
(`hatanaka.crx2rnx`, which pipes the text through the program) and once as the bare program
reading a file. Times are the best of several runs. Columns:

  hatanaka       our Hatanaka decoding alone (Compact RINEX text to RINEX text)
  crx2rnx        the bare reference program on the same text; "x" = crx2rnx / hatanaka
  crx2rnx.py     hatanaka.crx2rnx on the same text
  decode         decode_input on the file as stored (gzip + Hatanaka)
  read           the observation reader on the decoded text
  e2e/read       (decode + read) / read: the cost of reading the compressed file instead of
                 the plain text
"""

from __future__ import annotations

import gzip
import subprocess
import sys
import tempfile
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
sys.path.insert(0, str(HERE.parent))
from common import require_data  # noqa: E402


def build(out: Path) -> None:
    src = ROOT / "src"
    sources = [HERE / "bench_compression.cpp"] + sorted((src / "compression").glob("*.cpp"))
    sources += sorted((src / "rinex").glob("*.cpp")) + sorted((src / "core").glob("*.cpp"))
    subprocess.run(["g++", "-O2", "-DNDEBUG", "-std=c++20", f"-I{src}", *map(str, sources), "-lz", "-o", str(out)],
                   check=True)


def best(fn, repeat: int = 5) -> float:
    t_best = float("inf")
    for _ in range(repeat):
        t = time.perf_counter()
        fn()
        t_best = min(t_best, time.perf_counter() - t)
    return t_best


def compact_files(data: Path) -> list[Path]:
    return sorted(p for p in data.iterdir()
                  if p.name.endswith((".crx", ".crx.gz")) or (len(p.name) > 4 and p.name[-4] == "." and p.name[-1] == "d"))


def main() -> None:
    files = [Path(a) for a in sys.argv[1:]] or compact_files(require_data())
    try:
        import hatanaka
        crx2rnx_program = Path(hatanaka.__file__).parent / "bin" / "crx2rnx"
    except ImportError:
        hatanaka = None
        print("(the hatanaka package is not installed: no reference timings; pip install hatanaka)")
    with tempfile.TemporaryDirectory() as tmp:
        program = Path(tmp) / "bench_compression"
        build(program)
        rows = subprocess.run([str(program), *map(str, files)], check=True, capture_output=True, text=True).stdout
        header, *lines = rows.strip().split("\n")
        print(f"{'file':44} {'RINEX MB':>8} {'hatanaka':>9} {'MB/s':>6} {'crx2rnx':>8} {'x':>5} {'crx2rnx.py':>10}"
              f" {'decode':>8} {'MB/s':>6} {'read':>8} {'e2e/read':>8}")
        for line in lines:
            name, stored, crx, rnx, inflate, ours, whole, read, both = line.split("\t")
            rnx_mb = int(rnx) / 1e6
            ours, whole, read, both = (float(v) / 1e3 for v in (ours, whole, read, both))
            ref = ref_py = float("nan")
            if hatanaka is not None:
                raw = (files[[f.name for f in files].index(name)]).read_bytes()
                text = gzip.decompress(raw) if name.endswith(".gz") else raw
                crx_path = Path(tmp) / "in.crx"
                crx_path.write_bytes(text)
                with open(crx_path, "rb") as src, open("/dev/null", "wb") as sink:
                    def run_program() -> None:
                        src.seek(0)
                        subprocess.run([str(crx2rnx_program), "-"], stdin=src, stdout=sink, check=True)
                    ref = best(run_program)
                ref_py = best(lambda: hatanaka.crx2rnx(text))
            print(f"{name:44} {rnx_mb:8.2f} {ours * 1e3:7.1f}ms {rnx_mb / ours:6.0f} {ref * 1e3:6.1f}ms {ref / ours:5.1f}"
                  f" {ref_py * 1e3:8.1f}ms {whole * 1e3:6.1f}ms {rnx_mb / whole:6.0f} {read * 1e3:6.1f}ms"
                  f" {(whole + read) / read:8.2f}")


if __name__ == "__main__":
    main()
