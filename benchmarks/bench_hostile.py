"""Reading and analysis time of hostile inputs, per megabyte, as the input grows.

    python benchmarks/bench_hostile.py [--sizes 1,2,4,8,16] [--only NAME[,NAME...]]

Each case builds a synthetic input of 1, 2, 4, 8 and 16 MB (the sizes can be changed) that is
the worst of its kind for the readers or the analysis: one endless line, millions of short
lines, epoch lines announcing a billion satellites, thousands of satellites or observation codes
per epoch, the same satellite repeated within an epoch, hundreds of thousands of tiny epochs, and
so on. The table gives milliseconds per megabyte at each size; a reader that is linear in its
input keeps that figure flat, so the last column (the figure at the largest size divided by the
one at the smallest) stays near 1. A figure that doubles with every doubling of the size is a
quadratic cost.

The analysis rows need the real navigation file BRDC00IGS_R_20230010000_01D_MN.rnx from the data
folder (../shared/data, or QCN0_DATA_DIR) for the "with nav" case; without it that row is left
out.
"""

from __future__ import annotations

import argparse
import gzip
import itertools
import os
import sys
import tempfile
import time
from pathlib import Path
from typing import Callable

sys.path.insert(0, str(Path(__file__).resolve().parent))
from common import DATA_DIR  # noqa: E402

import quorsin_cn0  # noqa: E402

MB = 1 << 20


# --- RINEX text pieces -------------------------------------------------------------------------


def header_line(value: str, label: str) -> str:
    return value[:60].ljust(60) + label + "\n"


def v3_header(codes: dict[str, list[str]], extra: str = "") -> str:
    text = header_line("     3.04           OBSERVATION DATA    M (MIXED)", "RINEX VERSION / TYPE")
    text += header_line("  4627852.7427   119640.5773  4372995.1476", "APPROX POSITION XYZ")
    text += extra
    for system, names in codes.items():
        # Nine codes of up to five characters per line keep every code inside column 60.
        for first in range(0, len(names), 9):
            head = f"{system}  {len(names) % 1000:3d}" if first == 0 else " " * 6
            text += header_line(head + "".join(" " + c for c in names[first:first + 9]), "SYS / # / OBS TYPES")
    return text + header_line("", "END OF HEADER")


def v2_header(codes: list[str]) -> str:
    text = header_line("     2.11           OBSERVATION DATA    M (MIXED)", "RINEX VERSION / TYPE")
    for first in range(0, len(codes), 9):
        head = f"{len(codes) % 1000000:6d}" if first == 0 else " " * 6
        text += header_line(head + "".join(c.rjust(6) for c in codes[first:first + 9]), "# / TYPES OF OBSERV")
    return text + header_line("", "END OF HEADER")


def v3_epoch_line(k: int, count: int | str) -> str:
    """Epoch k of a run at one second spacing from 2023-01-01 00:00:00."""
    hour, rest = divmod(k % 86400, 3600)
    minute, second = divmod(rest, 60)
    day = 1 + (k // 86400) % 28
    return f"> 2023 01 {day:02d} {hour:02d} {minute:02d} {second:10.7f}  0 {count}\n"


def v2_epoch_line(k: int, sats: list[str], count: int | None = None) -> str:
    hour, rest = divmod(k % 86400, 3600)
    minute, second = divmod(rest, 60)
    day = 1 + (k // 86400) % 28
    n = len(sats) if count is None else count
    return f" 23  1 {day:2d} {hour:2d} {minute:2d}{second:11.7f}  0{n:3d}" + "".join(sats[:12]) + "\n"


def field(value: float) -> str:
    return f"{value:14.3f}  "


def distinct_ids(letter: str) -> list[str]:
    """Every three-character identifier of one system letter made of printable characters."""
    chars = [chr(c) for c in range(33, 127)]
    return [letter + a + b for a in chars for b in chars]


def distinct_codes(n: int, first: str = "S") -> list[str]:
    out = []
    for tail in itertools.product("ABCDEFGHIJKLMNOPQRSTUVWXYZ", repeat=3):
        out.append(first + "".join(tail))
        if len(out) == n:
            break
    return out


def repeat_to(size: int, head: str, make_block: Callable[[int], str]) -> bytes:
    """head, then blocks make_block(0), make_block(1), ... until the text holds `size` bytes."""
    parts = [head]
    total = len(head)
    k = 0
    while total < size:
        block = make_block(k)
        parts.append(block)
        total += len(block)
        k += 1
    return "".join(parts).encode("latin-1")[:size]


# --- Observation inputs --------------------------------------------------------------------------

GPS_S = {"G": ["C1C", "L1C", "S1C"]}
SAT_LINE = "G01" + field(21000000.0) + field(110000000.0) + field(45.25) + "\n"


def obs_one_long_line(size: int) -> bytes:
    return b"A" * size


def obs_long_header_line(size: int) -> bytes:
    # A header line whose label is long: every label test scans it.
    return (" " * 60 + "X" * (size - 80) + " END OF HEADER\n").encode()


def obs_long_data_line(size: int) -> bytes:
    head = v3_header(GPS_S) + v3_epoch_line(0, 1)
    return (head + "G01" + field(45.0) * ((size - len(head)) // 16)).encode()


def obs_many_empty_lines(size: int) -> bytes:
    head = v3_header(GPS_S)
    return head.encode() + b"\n" * (size - len(head))


def obs_many_short_lines_no_header(size: int) -> bytes:
    return b"x\n" * (size // 2)


def obs_v3_huge_counts(size: int) -> bytes:
    return repeat_to(size, v3_header(GPS_S), lambda k: v3_epoch_line(k, 999999999) + SAT_LINE * 3)


def obs_v2_huge_counts(size: int) -> bytes:
    def block(k: int) -> str:
        return v2_epoch_line(k, ["G01", "G02"], count=999) + (field(21000000.0) + field(45.0) + "\n") * 4
    return repeat_to(size, v2_header(["C1", "S1"]), block)


def obs_many_satellites_per_epoch(size: int) -> bytes:
    ids = distinct_ids("G") + distinct_ids("E")
    lines = [sat + field(21000000.0) + field(110000000.0) + field(40.0 + (i % 13)) + "\n" for i, sat in enumerate(ids)]
    body = "".join(lines)
    return repeat_to(size, v3_header({"G": GPS_S["G"], "E": GPS_S["G"]}), lambda k: v3_epoch_line(k, len(lines)) + body)


def obs_repeated_satellite(size: int) -> bytes:
    ids = distinct_ids("G")
    first = "".join(sat + field(45.0) + "\n" for sat in ids)
    head = v3_header({"G": ["S1C"]}) + v3_epoch_line(0, 999999999) + first
    return repeat_to(size, head, lambda k: ids[-1] + field(30.0 + k % 20) + "\n")


def obs_many_tiny_epochs_v3(size: int) -> bytes:
    return repeat_to(size, v3_header(GPS_S), lambda k: v3_epoch_line(k, 1) + SAT_LINE)


def obs_many_tiny_epochs_v2(size: int) -> bytes:
    def block(k: int) -> str:
        return v2_epoch_line(k, ["G01"]) + field(21000000.0) + field(110000000.0) + field(45.25) + "\n"
    return repeat_to(size, v2_header(["C1", "L1", "S1"]), block)


def obs_many_codes_v3(size: int) -> bytes:
    # Half the file is the code list of G (distinct codes, the first one repeated at the end),
    # the other half satellite lines with a value for every code.
    n = min(size // 2 // 5, 17000)
    codes = distinct_codes(n) + ["SAAA"]
    line = "G01" + field(45.0) * len(codes) + "\n"
    return repeat_to(size, v3_header({"G": codes}), lambda k: v3_epoch_line(k, 1) + line)


def obs_many_codes_v2(size: int) -> bytes:
    codes = distinct_codes(min(size // 6, 17000))
    head = v2_header(codes)
    return (head + "\n" * (size - len(head))).encode()


def obs_glonass_slots(size: int) -> bytes:
    def block(k: int) -> str:
        return header_line(" ".join(f"R{k * 8 + j} {j - 4}" for j in range(8)), "GLONASS SLOT / FRQ #")
    head = header_line("     3.04           OBSERVATION DATA    M (MIXED)", "RINEX VERSION / TYPE")
    return repeat_to(size - 81, head, block) + header_line("", "END OF HEADER").encode()


def obs_long_numbers(size: int) -> bytes:
    digits = "1" * 2000

    def block(k: int) -> str:
        return f"> 2023 01 01 00 00 {k % 60}.{digits}  0 1\n" + "G01" + digits + "\n"
    return repeat_to(size, v3_header(GPS_S), block)


def obs_gzip_tiny_epochs(size: int) -> bytes:
    # `size` bytes of text, packed: the decoder's time is what is measured.
    return gzip.compress(obs_many_tiny_epochs_v3(size), compresslevel=1)


# --- Navigation and TLE inputs -------------------------------------------------------------------

NAV_HEADER = header_line("     3.04           N: GNSS NAV DATA    M (MIXED)", "RINEX VERSION / TYPE") + \
    header_line("", "END OF HEADER")


def nav_record(prn: int) -> str:
    orbit = "    " + "".join(f"{v:19.12E}" for v in (1.0e1, 2.0e-9, 0.5, 1.0e-6)) + "\n"
    return f"G{prn % 100:02d} 2023 01 01 00 00 00" + "".join(f"{v:19.12E}" for v in (1e-4, 1e-12, 0.0)) + "\n" + \
        orbit.replace("1.000000000000E+01", "5.153700000000E+03") * 7


def nav_many_records(size: int) -> bytes:
    return repeat_to(size, NAV_HEADER, nav_record)


def nav_one_long_line(size: int) -> bytes:
    return NAV_HEADER.encode() + b"G" * (size - len(NAV_HEADER))


def nav_invalid_utf8(size: int) -> bytes:
    return NAV_HEADER.encode() + bytes([0xC3, 0x28, 0xFF, 0x0A]) * ((size - len(NAV_HEADER)) // 4)


def tle_many_sets(size: int) -> bytes:
    line1 = "1 24876U 97035A   24160.50000000  .00000000  00000-0  00000-0 0  9990\n"
    line2 = "2 24876  55.5000 100.0000 0050000 100.0000 260.0000  2.00560000 12345\n"
    return repeat_to(size, "", lambda k: f"GPS BIIR-2  (PRN {k % 32 + 1:02d})\n" + line1 + line2)


def tle_long_name(size: int) -> bytes:
    line1 = "1 24876U 97035A   24160.50000000  .00000000  00000-0  00000-0 0  9990\n"
    line2 = "2 24876  55.5000 100.0000 0050000 100.0000 260.0000  2.00560000 12345\n"
    return ("GPS PRN" + "9" * (size - 150) + "\n" + line1 + line2).encode()


# --- Runners -------------------------------------------------------------------------------------


def read_obs(data: bytes) -> None:
    quorsin_cn0.read_rinex_obs_bytes(data, "hostile.rnx")


def read_obs_tolerant(data: bytes) -> None:
    try:
        quorsin_cn0.read_rinex_obs_bytes(data, "hostile.rnx")
    except ValueError:
        pass


def read_nav(data: bytes) -> None:
    quorsin_cn0.read_navigation_bytes(data)


def parse_tle(data: bytes) -> None:
    quorsin_cn0.parse_tle_content(data.decode("latin-1"))


class FileAnalysis:
    """analyze_cn0 on a temporary file holding the data (reading included)."""

    def __init__(self, nav: str | None = None) -> None:
        self.nav = nav
        self.dir = tempfile.mkdtemp(prefix="qcn0_bench_")

    def __call__(self, data: bytes) -> None:
        path = os.path.join(self.dir, "hostile.rnx")
        with open(path, "wb") as f:
            f.write(data)
        quorsin_cn0.analyze_cn0(path, self.nav).to_json()


def cases() -> list[tuple[str, Callable[[int], bytes], Callable[[bytes], None]]]:
    out = [
        ("obs: one long line, no header", obs_one_long_line, read_obs_tolerant),
        ("obs: one long header line", obs_long_header_line, read_obs),
        ("obs: one long satellite line", obs_long_data_line, read_obs),
        ("obs: empty lines", obs_many_empty_lines, read_obs),
        ("obs: short lines, no header", obs_many_short_lines_no_header, read_obs_tolerant),
        ("obs: v3 epochs of count 999999999", obs_v3_huge_counts, read_obs),
        ("obs: v2 epochs of count 999", obs_v2_huge_counts, read_obs),
        ("obs: 17672 satellites per epoch", obs_many_satellites_per_epoch, read_obs),
        ("obs: one satellite repeated", obs_repeated_satellite, read_obs),
        ("obs: v3 tiny epochs", obs_many_tiny_epochs_v3, read_obs),
        ("obs: v2 tiny epochs", obs_many_tiny_epochs_v2, read_obs),
        ("obs: v3 header of many codes", obs_many_codes_v3, read_obs),
        ("obs: v2 header of many codes", obs_many_codes_v2, read_obs),
        ("obs: GLONASS slot lines", obs_glonass_slots, read_obs),
        ("obs: 2000-digit numbers", obs_long_numbers, read_obs),
        ("obs: gzip of v3 tiny epochs (text MB)", obs_gzip_tiny_epochs, read_obs),
        ("nav: records", nav_many_records, read_nav),
        ("nav: one long line", nav_one_long_line, read_nav),
        ("nav: invalid UTF-8", nav_invalid_utf8, read_nav),
        ("tle: sets", tle_many_sets, parse_tle),
        ("tle: one long name", tle_long_name, parse_tle),
        ("analysis: v3 tiny epochs", obs_many_tiny_epochs_v3, FileAnalysis()),
        ("analysis: v2 tiny epochs", obs_many_tiny_epochs_v2, FileAnalysis()),
        ("analysis: 17672 satellites per epoch", obs_many_satellites_per_epoch, FileAnalysis()),
        ("analysis: one satellite repeated", obs_repeated_satellite, FileAnalysis()),
    ]
    nav = DATA_DIR / "BRDC00IGS_R_20230010000_01D_MN.rnx"
    if nav.is_file():
        out.append(("analysis with nav: v3 tiny epochs", obs_many_tiny_epochs_v3, FileAnalysis(str(nav))))
    return out


def timed(run: Callable[[bytes], None], data: bytes, repeat: int) -> float:
    best = float("inf")
    for _ in range(repeat):
        start = time.perf_counter()
        run(data)
        best = min(best, time.perf_counter() - start)
    return best


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", default="1,2,4,8,16", help="input sizes in MB, comma-separated")
    parser.add_argument("--only", default="", help="run only cases whose name contains one of these words")
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    wanted = [w.strip() for w in args.only.split(",") if w.strip()]

    name_width = 42
    sizes_text = "".join(f"{str(s) + ' MB':>9s}" for s in sizes)
    print(f"{'case (ms per MB)':{name_width}s}{sizes_text}{'last/first':>12s}")
    for name, make, run in cases():
        if wanted and not any(w in name for w in wanted):
            continue
        per_mb = []
        for size in sizes:
            data = make(size * MB)
            seconds = timed(run, data, repeat=3 if size <= 4 else 1)
            per_mb.append(seconds * 1e3 / size)
        ratio = per_mb[-1] / per_mb[0] if per_mb[0] > 0 else float("nan")
        print(f"{name:{name_width}s}" + "".join(f"{v:9.2f}" for v in per_mb) + f"{ratio:12.2f}", flush=True)


if __name__ == "__main__":
    main()
