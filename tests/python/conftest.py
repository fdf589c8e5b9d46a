"""Shared pieces of the Python tests: where the real data lives, builders of small RINEX observation and navigation
texts that put every field at its column (epoch times in seconds from 2024-01-07 00:00; circular equatorial orbits
seen from RECEIVER, on the equator at longitude 0), and the members of the analysis document."""

from __future__ import annotations

import datetime
import math
import pathlib

import pytest

REPO_DIR = pathlib.Path(__file__).resolve().parents[2]
# Real RINEX files live beside the repository, never inside it.
DATA_DIR = (REPO_DIR / ".." / "shared" / "data").resolve()
NO_DATA_REASON = f"real GNSS data folder not found at {DATA_DIR} (../shared/data beside the repository)"
needs_data = pytest.mark.skipif(not DATA_DIR.is_dir(), reason=NO_DATA_REASON)


def have_data() -> bool:
    return DATA_DIR.is_dir()


@pytest.fixture
def data_dir() -> pathlib.Path:
    if not DATA_DIR.is_dir():
        pytest.skip(NO_DATA_REASON)
    return DATA_DIR


@pytest.fixture
def write(tmp_path):
    """write(name, text or bytes) -> path of a new file in the test's folder."""
    def write(name: str, text: str | bytes) -> str:
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(text.encode("latin-1") if isinstance(text, str) else text)
        return str(path)
    return write


# --- RINEX observation text ------------------------------------------------------------------

RECEIVER = (6378137.0, 0.0, 0.0)
GPS_RADIUS = 26_560_000.0


def header_line(value: str, label: str) -> str:
    """The value padded (or cut) to 60 columns, then the label."""
    return value[:60].ljust(60) + label + "\n"


def clock(seconds: float) -> tuple[datetime.datetime, float]:
    """The time `seconds` after 2024-01-07 00:00 (the start of a GPS week), and its second with fraction."""
    t = datetime.datetime(2024, 1, 7) + datetime.timedelta(seconds=seconds)
    return t, t.second + t.microsecond / 1e6


def stamp(seconds: float) -> str:
    """The analysis timestamp text of an epoch."""
    return f"{clock(seconds)[0]:%Y-%m-%dT%H:%M:%S.%f}"[:-3] + "Z"


def field(value: float | str | None) -> str:
    """F14.3 value and blank indicator columns; a str is written as it is ('nan'); None is blank."""
    if value is None:
        return " " * 16
    return (value.rjust(14) if isinstance(value, str) else f"{value:14.3f}") + "  "


def epoch_line(seconds: float, count: int, flag: int = 0) -> str:
    t, second = clock(seconds)
    return f"> {t:%Y %m %d %H %M} {second:10.7f}  {flag:d} {count:2d}\n"


def sat_line(sat: str, values: list) -> str:
    return sat.ljust(3)[:3] + "".join(field(v) for v in values) + "\n"


def code_lines(system: str, codes: list[str], per_line: int = 13) -> str:
    """System letter in column 0, count in 3..6, codes of 4 (or 5) columns; continuation lines
    leave the system column blank."""
    out = ""
    for first in range(0, max(len(codes), 1), per_line):
        head = f"{system}  {len(codes) % 1000:3d}" if first == 0 else " " * 6
        out += header_line(head + "".join(" " + c for c in codes[first:first + per_line]), "SYS / # / OBS TYPES")
    return out


def obs_text(epochs: list, codes: dict[str, list[str]] | None = None, position=None, header: str = "",
             version: str = "3.04") -> str:
    """A RINEX 3 observation file: extra header lines, the code lists (S1C for every system
    unless `codes` names them), then epochs (seconds, [(satellite, values), ...]) in file order."""
    text = header_line(version.rjust(9) + "           OBSERVATION DATA    M (MIXED)", "RINEX VERSION / TYPE")
    text += header
    if position is not None:
        text += header_line("".join(f"{v:14.4f}" for v in position), "APPROX POSITION XYZ")
    for system, names in (codes or dict.fromkeys("GRECJSI", ["S1C"])).items():
        text += code_lines(system, names)
    text += header_line("", "END OF HEADER")
    for seconds, sats in epochs:
        text += epoch_line(seconds, len(sats)) + "".join(sat_line(s, v) for s, v in sats)
    return text


def rinex2_text(epochs: list, codes: list[str], header: str = "") -> str:
    """A RINEX 2.11 file: count and 9 codes of 6 columns per line; epoch lines list 12 satellites
    of 3 columns from column 32 per line; five fields per observation line."""
    text = header_line("     2.11           OBSERVATION DATA    M (MIXED)", "RINEX VERSION / TYPE") + header
    for first in range(0, len(codes), 9):
        head = f"{len(codes):6d}" if first == 0 else " " * 6
        text += header_line(head + "".join(c.rjust(6) for c in codes[first:first + 9]), "# / TYPES OF OBSERV")
    text += header_line("", "END OF HEADER")
    for seconds, sats in epochs:
        t, second = clock(seconds)
        line = f" {t:%y} {t.month:2d} {t.day:2d} {t.hour:2d} {t.minute:2d}{second:11.7f}  0{len(sats):3d}"
        for k, (sat, _) in enumerate(sats):
            line += ("\n" + " " * 32 if k and k % 12 == 0 else "") + sat.ljust(3)
        text += line + "\n"
        for _, values in sats:
            values = list(values) + [None] * (len(codes) - len(values))
            text += "".join("".join(field(v) for v in values[k:k + 5]) + "\n" for k in range(0, len(values), 5))
    return text


# --- navigation ------------------------------------------------------------------------------


def central_angle(elevation_deg: float, radius: float = GPS_RADIUS) -> float:
    """Angle at the Earth's centre between the receiver and a satellite seen at this elevation."""
    e = math.radians(elevation_deg)
    return 90.0 - elevation_deg - math.degrees(math.asin(RECEIVER[0] * math.cos(e) / radius))


def nav_record(sat: str, angle_deg: float) -> str:
    """A RINEX 3 Keplerian record: circular equatorial orbit, the satellite `angle_deg` east of
    the receiver's meridian (0 overhead, 180 behind the Earth) at 0 s of GPS week 2296."""
    rows = [(0.0, 0.0, 0.0, math.radians(angle_deg)), (0.0, 0.0, 0.0, math.sqrt(GPS_RADIUS)), (0.0,) * 4,
            (0.0,) * 4, (0.0, 0.0, 2296.0, 0.0), (0.0,) * 4, (0.0,) * 4]
    text = f"{sat} 2024 01 07 00 00 00" + f"{0.0:19.12E}" * 3 + "\n"
    return text + "".join("    " + "".join(f"{v:19.12E}" for v in row) + "\n" for row in rows)


def nav_text(records: list[tuple[str, float]]) -> str:
    text = header_line("     3.04           N: GNSS NAV DATA    M: Mixed", "RINEX VERSION / TYPE")
    return text + header_line("", "END OF HEADER") + "".join(nav_record(*r) for r in records)


# --- the analysis document: the members of every record, in the order of its fields ------------

POINT = "timestamp cn0 elevation azimuth"
SHAPE = {
    "": "file_info quality_score summary constellation_stats satellite_stats timeseries skyplot heatmap anomalies "
        "visibility spoofing_unexpected_threshold spoofing_min_unexpected_count",
    "file_info": "filename marker_name receiver_type antenna_type start_time end_time duration_hours interval "
                 "position_lat position_lon position_height",
    "quality_score": "overall cn0_score coverage_score consistency_score grade interpretation",
    "summary": "total_observations total_satellites total_epochs systems_observed mean_cn0 min_cn0 max_cn0 anomaly_count "
               "critical_count high_count low_count",
    "constellation_stats": {"*": "system satellite_count observation_count mean_cn0 min_cn0 max_cn0 std_cn0 "
                                 "satellites_expected availability_ratio cycle_slips data_gaps"},
    "satellite_stats": {"*": "satellite system observation_count mean_cn0 min_cn0 max_cn0 std_cn0 mean_elevation"},
    "timeseries": {"": "timestamps mean_cn0 satellite_count satellite_timeseries constellation_timeseries",
                   "satellite_timeseries": {"*": {"": "satellite system signal cn0_series", "cn0_series": [POINT]}},
                   "constellation_timeseries": {"*": [POINT]}},
    "skyplot": {"": "traces heatmap_points coverage_percent",
                "traces": [{"": "satellite system points", "points": ["azimuth elevation cn0 satellite"]}],
                "heatmap_points": ["azimuth_bin elevation_bin mean_cn0 count"]},
    "heatmap": "azimuth_bins elevation_bins cn0_matrix count_matrix",
    "anomalies": ["timestamp severity event_type description cn0_drop affected_satellites affected_systems"],
    "visibility": {"": "has_prediction prediction_source confirmation_rate mean_predicted mean_observed mean_missing "
                       "mean_unexpected frequently_missing frequently_unexpected by_system anomalies",
                   "by_system": {"*": "system predicted_satellites observed_satellites confirmation_rate "
                                      "missing_satellites unexpected_satellites"},
                   "anomalies": ["start_time end_time duration_seconds anomaly_type severity affected_satellites "
                                 "affected_systems description"]},
}


def check_document_shape(doc, shape=SHAPE) -> None:
    """Every record of an analysis document with all its members, in order; 36 x 18 sky cells."""
    if isinstance(shape, str):
        assert list(doc) == shape.split()
    elif isinstance(shape, list):
        [check_document_shape(item, shape[0]) for item in doc]
    elif doc is not None:
        for key, sub in shape.items():
            if key == "":
                assert list(doc) == sub.split()
            for item in (doc.values() if key == "*" else [doc[key]] if key else []):
                check_document_shape(item, sub)
    if shape is SHAPE and doc["summary"]["total_observations"]:
        assert [len(row) for row in doc["heatmap"]["cn0_matrix"] + doc["heatmap"]["count_matrix"]] == [36] * 36
