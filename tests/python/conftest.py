"""Shared pieces of the Python tests: where the real data lives, and builders of small RINEX
observation texts that put every field at its column."""

from __future__ import annotations

import pathlib

import pytest

REPO_DIR = pathlib.Path(__file__).resolve().parents[2]
# Real RINEX files live beside the repository, never inside it.
DATA_DIR = (REPO_DIR / ".." / "shared" / "data").resolve()
NO_DATA_REASON = f"real GNSS data folder not found at {DATA_DIR} (../shared/data beside the repository)"


def have_data() -> bool:
    return DATA_DIR.is_dir()


@pytest.fixture
def data_dir() -> pathlib.Path:
    if not have_data():
        pytest.skip(NO_DATA_REASON)
    return DATA_DIR


# --- RINEX text builders ---------------------------------------------------------------------


def header_line(value: str, label: str) -> str:
    """The value padded (or cut) to 60 columns, then the label."""
    return value[:60].ljust(60) + label + "\n"


def version_line(version: str) -> str:
    return header_line(version.rjust(9) + "           OBSERVATION DATA    M (MIXED)", "RINEX VERSION / TYPE")


def end_of_header() -> str:
    return header_line("", "END OF HEADER")


def v3_obs_types(system: str, codes: list[str]) -> str:
    """System letter in column 0, count in 3..6, 13 codes of 4 columns per line; continuation
    lines leave the system column blank."""
    out = ""
    for first in range(0, max(len(codes), 1), 13):
        head = f"{system}  {len(codes):3d}" if first == 0 else " " * 6
        out += header_line(head + "".join(" " + c for c in codes[first:first + 13]), "SYS / # / OBS TYPES")
    return out


def v2_obs_types(codes: list[str]) -> str:
    """Count in columns 0..6, then 9 codes of 6 columns per line."""
    out = ""
    for first in range(0, len(codes), 9):
        head = f"{len(codes):6d}" if first == 0 else " " * 6
        out += header_line(head + "".join(c.rjust(6) for c in codes[first:first + 9]), "# / TYPES OF OBSERV")
    return out


def v3_epoch(year: int, month: int, day: int, hour: int, minute: int, second: float, flag: int, count: int) -> str:
    return f"> {year:4d} {month:02d} {day:02d} {hour:02d} {minute:02d} {second:10.7f}  {flag:d} {count:2d}\n"


def field(value: float | None, lli: str = " ", ssi: str = " ") -> str:
    """One observation field: F14.3 value, loss-of-lock and strength characters; absent: blanks."""
    if value is None:
        return " " * 16
    return f"{value:14.3f}{lli}{ssi}"


def v3_sat(sat: str, values: list[float | None]) -> str:
    return sat.ljust(3)[:3] + "".join(field(v) for v in values) + "\n"


def v2_epoch(yy: int, month: int, day: int, hour: int, minute: int, second: float, flag: int,
             sats: list[str], count: int | None = None) -> str:
    """Epoch line with 12 satellite slots of 3 columns from column 32, continued on further lines."""
    if count is None:
        count = len(sats)
    line = f" {yy:2d} {month:2d} {day:2d} {hour:2d} {minute:2d}{second:11.7f}  {flag:d}{count:3d}"
    for k, sat in enumerate(sats):
        if k and k % 12 == 0:
            line += "\n" + " " * 32
        line += sat.ljust(3)
    return line + "\n"


def v2_record(values: list[float | None]) -> str:
    """The observation lines of one satellite, five fields to a line."""
    out = ""
    for k in range(0, len(values), 5):
        out += "".join(field(v) for v in values[k:k + 5]) + "\n"
    return out


def v3_text(obs_types: dict[str, list[str]], epochs: list[tuple[float, list[tuple[str, list[float | None]]]]],
            header: str = "", version: str = "3.04") -> str:
    """A RINEX 3 file: the code lists, extra header lines, then epochs of 2024-03-05 07:08 given
    as (second, [(satellite, values), ...])."""
    text = version_line(version) + header
    for system, codes in obs_types.items():
        text += v3_obs_types(system, codes)
    text += end_of_header()
    for second, sats in epochs:
        text += v3_epoch(2024, 3, 5, 7, 8, second, 0, len(sats))
        for sat, values in sats:
            text += v3_sat(sat, values)
    return text
