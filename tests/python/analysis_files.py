"""Small RINEX observation and navigation files for the analysis tests, every field at its column.

Epoch times count seconds from Sunday 2024-01-07 00:00:00, the start of a GPS week. The
navigation builder writes circular orbits in the equatorial plane whose time of ephemeris is that
instant, so a satellite stands where it is placed at the first epoch and drifts slowly (about
0.25 degree per minute) afterwards. The receiver of these files sits on the equator at longitude 0.
"""

from __future__ import annotations

import math

RECEIVER = (6378137.0, 0.0, 0.0)
GPS_RADIUS = 26_560_000.0


def header_line(value: str, label: str) -> str:
    """The value padded (or cut) to 60 columns, then the label."""
    return value[:60].ljust(60) + label + "\n"


def clock(seconds: float) -> tuple[int, int, int, float]:
    """(day of January 2024, hour, minute, second) of a time in seconds from 2024-01-07 00:00."""
    day = 7 + int(seconds // 86400)
    rest = seconds - (day - 7) * 86400
    hour = int(rest // 3600)
    minute = int((rest - hour * 3600) // 60)
    return day, hour, minute, rest - hour * 3600 - minute * 60


def stamp(seconds: float) -> str:
    """The analysis timestamp text of an epoch."""
    day, hour, minute, second = clock(seconds)
    return f"2024-01-{day:02d}T{hour:02d}:{minute:02d}:{second:06.3f}Z"


def field(value: float | str | None) -> str:
    """F14.3 value and blank indicator columns; a str is written as it is (e.g. 'nan')."""
    if value is None:
        return " " * 16
    if isinstance(value, str):
        return value.rjust(14) + "  "
    return f"{value:14.3f}  "


Epoch = tuple[float, list[tuple[str, list[float | str | None]]]]


def obs_text(epochs: list[Epoch], codes: dict[str, list[str]] | None = None,
             position: tuple[float, float, float] | None = None, extra_header: str = "",
             version: str = "3.04") -> str:
    """A RINEX 3 observation file. Every constellation letter reads the single code S1C unless
    `codes` names its list; epochs are (seconds, [(satellite, values), ...]) in file order."""
    codes = codes or {}
    text = header_line(version.rjust(9) + "           OBSERVATION DATA    M (MIXED)", "RINEX VERSION / TYPE")
    text += extra_header
    if position is not None:
        text += header_line("".join(f"{v:14.4f}" for v in position), "APPROX POSITION XYZ")
    for system in "GRECJSI":
        names = codes.get(system, ["S1C"])
        text += header_line(f"{system}  {len(names):3d}" + "".join(" " + c for c in names), "SYS / # / OBS TYPES")
    text += header_line("", "END OF HEADER")
    for seconds, sats in epochs:
        day, hour, minute, second = clock(seconds)
        text += f"> 2024 01 {day:02d} {hour:02d} {minute:02d} {second:10.7f}  0 {len(sats):2d}\n"
        for sat, values in sats:
            text += sat.ljust(3)[:3] + "".join(field(v) for v in values) + "\n"
    return text


def rinex2_text(epochs: list[Epoch], codes: list[str]) -> str:
    """A RINEX 2.11 observation file (at most 12 satellites and 5 codes per epoch)."""
    text = header_line("     2.11           OBSERVATION DATA    M (MIXED)", "RINEX VERSION / TYPE")
    text += header_line(f"{len(codes):6d}" + "".join(c.rjust(6) for c in codes), "# / TYPES OF OBSERV")
    text += header_line("", "END OF HEADER")
    for seconds, sats in epochs:
        day, hour, minute, second = clock(seconds)
        text += f" 24  1 {day:2d} {hour:2d} {minute:2d}{second:11.7f}  0{len(sats):3d}" + "".join(s for s, _ in sats) + "\n"
        for _, values in sats:
            text += "".join(field(v) for v in values) + "\n"
    return text


# --- navigation ------------------------------------------------------------------------------


def _nav_number(v: float) -> str:
    return f"{v:19.12E}"


def central_angle(elevation_deg: float, radius: float = GPS_RADIUS) -> float:
    """Angle at the Earth's centre between the receiver and a satellite seen at this elevation."""
    e = math.radians(elevation_deg)
    return 90.0 - elevation_deg - math.degrees(math.asin(RECEIVER[0] * math.cos(e) / radius))


def nav_record(sat: str, angle_deg: float, radius: float = GPS_RADIUS, toc_seconds: float = 0.0) -> str:
    """A RINEX 3 Keplerian record: circular equatorial orbit, the satellite `angle_deg` east of
    the receiver's meridian (0 overhead, 180 behind the Earth) at 0 s of the GPS week."""
    day, hour, minute, second = clock(toc_seconds)
    head = f"{sat} 2024 01 {day:02d} {hour:02d} {minute:02d} {int(second):02d}"
    lines = [head + "".join(_nav_number(v) for v in (0.0, 0.0, 0.0))]
    orbit = [
        (0.0, 0.0, 0.0, math.radians(angle_deg)),  # IODE, Crs, delta n, M0
        (0.0, 0.0, 0.0, math.sqrt(radius)),         # Cuc, e, Cus, sqrt(A)
        (0.0, 0.0, 0.0, 0.0),                       # toe, Cic, OMEGA0, Cis
        (0.0, 0.0, 0.0, 0.0),                       # i0, Crc, omega, OMEGA DOT
        (0.0, 0.0, 2296.0, 0.0),                    # IDOT, codes, week, L2P flag
        (0.0, 0.0, 0.0, 0.0),
        (0.0, 0.0, 0.0, 0.0),
    ]
    for values in orbit:
        lines.append("    " + "".join(_nav_number(v) for v in values))
    return "\n".join(lines) + "\n"


def nav_text(records: list[tuple]) -> str:
    """A RINEX 3.04 mixed navigation file of nav_record(*args) for each entry."""
    text = header_line("     3.04           N: GNSS NAV DATA    M: Mixed", "RINEX VERSION / TYPE")
    text += header_line("", "END OF HEADER")
    return text + "".join(nav_record(*r) for r in records)


# --- the analysis document -----------------------------------------------------------------------

TOP_LEVEL = ["file_info", "quality_score", "summary", "constellation_stats", "satellite_stats", "timeseries",
             "skyplot", "heatmap", "anomalies", "visibility", "spoofing_unexpected_threshold",
             "spoofing_min_unexpected_count"]
FILE_INFO = ["filename", "marker_name", "receiver_type", "antenna_type", "start_time", "end_time", "duration_hours",
             "interval", "position_lat", "position_lon", "position_height"]
QUALITY = ["overall", "cn0_score", "coverage_score", "consistency_score", "grade", "interpretation"]
SUMMARY = ["total_observations", "total_satellites", "total_epochs", "systems_observed", "mean_cn0", "min_cn0",
           "max_cn0", "anomaly_count", "critical_count", "high_count", "low_count"]
CONSTELLATION = ["system", "satellite_count", "observation_count", "mean_cn0", "min_cn0", "max_cn0", "std_cn0",
                 "satellites_expected", "availability_ratio", "cycle_slips", "data_gaps"]
SATELLITE = ["satellite", "system", "observation_count", "mean_cn0", "min_cn0", "max_cn0", "std_cn0",
             "mean_elevation"]
TIMESERIES = ["timestamps", "mean_cn0", "satellite_count", "satellite_timeseries", "constellation_timeseries"]
SATELLITE_SERIES = ["satellite", "system", "signal", "cn0_series"]
TIME_POINT = ["timestamp", "cn0", "elevation", "azimuth"]
SKYPLOT = ["traces", "heatmap_points", "coverage_percent"]
TRACE = ["satellite", "system", "points"]
SKY_POINT = ["azimuth", "elevation", "cn0", "satellite"]
HEAT_POINT = ["azimuth_bin", "elevation_bin", "mean_cn0", "count"]
HEATMAP = ["azimuth_bins", "elevation_bins", "cn0_matrix", "count_matrix"]
CN0_ANOMALY = ["timestamp", "severity", "event_type", "description", "cn0_drop", "affected_satellites",
               "affected_systems"]
VISIBILITY = ["has_prediction", "prediction_source", "confirmation_rate", "mean_predicted", "mean_observed",
              "mean_missing", "mean_unexpected", "frequently_missing", "frequently_unexpected", "by_system",
              "anomalies"]
SYSTEM_VISIBILITY = ["system", "predicted_satellites", "observed_satellites", "confirmation_rate",
                     "missing_satellites", "unexpected_satellites"]
VISIBILITY_ANOMALY = ["start_time", "end_time", "duration_seconds", "anomaly_type", "severity",
                      "affected_satellites", "affected_systems", "description"]


def check_document_shape(doc: dict) -> None:
    """Every record of an analysis document with all its members, in the order of the record's
    fields."""
    assert list(doc) == TOP_LEVEL
    assert list(doc["file_info"]) == FILE_INFO
    assert list(doc["quality_score"]) == QUALITY
    assert list(doc["summary"]) == SUMMARY
    for name, stats in doc["constellation_stats"].items():
        assert list(stats) == CONSTELLATION
        assert stats["system"] == name
    for sat, stats in doc["satellite_stats"].items():
        assert list(stats) == SATELLITE
        assert stats["satellite"] == sat
    ts = doc["timeseries"]
    assert list(ts) == TIMESERIES
    assert len(ts["timestamps"]) == len(ts["mean_cn0"]) == len(ts["satellite_count"])
    for sat, series in ts["satellite_timeseries"].items():
        assert list(series) == SATELLITE_SERIES
        assert all(list(p) == TIME_POINT for p in series["cn0_series"])
    for points in ts["constellation_timeseries"].values():
        assert all(list(p) == TIME_POINT for p in points)
    assert list(doc["skyplot"]) == SKYPLOT
    for trace in doc["skyplot"]["traces"]:
        assert list(trace) == TRACE
        assert all(list(p) == SKY_POINT for p in trace["points"])
    assert all(list(h) == HEAT_POINT for h in doc["skyplot"]["heatmap_points"])
    assert list(doc["heatmap"]) == HEATMAP
    if doc["summary"]["total_observations"]:
        assert len(doc["heatmap"]["azimuth_bins"]) == 36
        assert len(doc["heatmap"]["elevation_bins"]) == 18
        assert [len(row) for row in doc["heatmap"]["cn0_matrix"]] == [36] * 18
        assert [len(row) for row in doc["heatmap"]["count_matrix"]] == [36] * 18
    for anomaly in doc["anomalies"]:
        assert list(anomaly) == CN0_ANOMALY
    v = doc["visibility"]
    if v is not None:
        assert list(v) == VISIBILITY
        for name, sv in v["by_system"].items():
            assert list(sv) == SYSTEM_VISIBILITY
            assert sv["system"] == name
        for anomaly in v["anomalies"]:
            assert list(anomaly) == VISIBILITY_ANOMALY
