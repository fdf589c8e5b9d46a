"""NumPy, xarray and pandas views of observation files and results.

The compiled methods ``RinexObsData.to_xarray``, ``RinexObsData.cn0`` and
``AnalysisResult.to_dataframe`` write every number into bytearray buffers in one pass over their
own storage and call the functions here, which only wrap those buffers (``numpy.frombuffer``
shares their memory) in the array libraries' types. The libraries are optional: each is imported
when first needed, and its absence is reported with the package to install.

Where ``to_xarray`` differs from ``georinex.load`` (and why):

- ``time`` has one row per epoch the reader stored, in file order; georinex merges epochs into a
  sorted, duplicate-free axis. A file that repeats or reorders epochs keeps them as written here,
  as the rest of the library does. An epoch whose fields are all blank or 0.0 is not stored (so no
  row); georinex keeps it.
- Times are exact to the nanosecond; georinex truncates fractional seconds to the microsecond
  (``.981`` becomes ``.980999``). An epoch outside datetime64[ns] (before 1678 or after 2261)
  is NaT instead of an error.
- A 0.0 field is NaN: RINEX writes 0.0 (or blanks) for a missing observation and the reader never
  stores it; georinex returns 0.0.
- ``sv`` lists the satellites with at least one stored value; georinex lists every satellite named
  on an epoch line, with or without values.
- RINEX 2 codes are named as the library reads them (C1 as C1C, P1 as C1P, S1 as S1C, ...), so
  that the same code has the same name in both versions and in ``obs_types_by_system``;
  ``meas`` accepts the RINEX 2 names too. georinex keeps the two-letter names.
- No loss-of-lock or signal-strength indicator variables (georinex's ``useindicators``), no
  ``tlim`` or ``interval`` decimation (select with ``ds.sel``); ``use`` selecting no system gives
  an empty dataset rather than georinex's KeyError.
- Attributes: version, interval, rinextype, filename, marker_name, receiver_type, antenna_type and
  position (when the header has one); not georinex's time_system, position_geodetic, time_offset
  or fast_processing.
"""

from __future__ import annotations

import importlib
from typing import Any

_EVENT_COLUMNS = (
    "start",
    "end",
    "duration_s",
    "kind",
    "bands",
    "depth_db",
    "signals_affected",
    "signals_tracked",
)


def _need(name: str) -> Any:
    try:
        return importlib.import_module(name)
    except ImportError as e:
        raise ImportError(
            f"this needs the package {name!r}: pip install {name} "
            f"(or pip install 'quorsin_cn0[arrays]' for numpy, pandas and xarray)"
        ) from e


def observation_dataset(times, satellites, codes, values, attrs):
    np = _need("numpy")
    xr = _need("xarray")
    t = np.frombuffer(times, dtype="datetime64[ns]")
    sv = np.array(satellites, dtype=str)
    grid = np.frombuffer(values, dtype=np.float64).reshape(len(codes), t.size, sv.size)
    attrs = dict(attrs)
    if attrs["interval"] is None:
        # No INTERVAL line: the median spacing of the epochs, NaN with fewer than two.
        steps = np.diff(t[~np.isnat(t)]) / np.timedelta64(1, "s")
        attrs["interval"] = float(np.median(steps)) if steps.size else float("nan")
    if "position" in attrs:
        attrs["position"] = list(attrs["position"])
    data = {code: (("time", "sv"), grid[i]) for i, code in enumerate(codes)}
    return xr.Dataset(data, coords={"time": t, "sv": sv}, attrs=attrs)


def cn0_arrays(times, satellites, codes, values):
    np = _need("numpy")
    t = np.frombuffer(times, dtype="datetime64[ns]")
    sats = np.array(satellites, dtype=str)
    names = np.array(codes, dtype=str)
    grid = np.frombuffer(values, dtype=np.float32).reshape(t.size, sats.size, names.size)
    return t, sats, names, grid


def frame(columns):
    np = _need("numpy")
    pd = _need("pandas")
    kinds = {"f8": np.float64, "i8": np.int64, "M8": "datetime64[ns]"}
    data = {}
    for name, kind, payload, extra in columns:
        if kind in kinds:
            data[name] = np.frombuffer(payload, dtype=kinds[kind])
        elif kind == "cat":
            categories, ordered = extra
            codes = np.frombuffer(payload, dtype=np.int32)
            data[name] = pd.Categorical.from_codes(
                codes, categories=pd.Index(categories, dtype=object), ordered=ordered
            )
        else:
            data[name] = pd.Series(payload, dtype=object)
    return pd.DataFrame(data)


def _times(pd, values):
    # Result timestamps end in "Z" but are the file's own time scale: naive datetime64[ns].
    return pd.to_datetime(pd.Series(values, dtype=object), utc=True).dt.tz_localize(None)


def events_frame(result):
    pd = _need("pandas")
    method = getattr(result, "interference_events", None)
    events = method() if method is not None else []
    table = pd.DataFrame(list(events), columns=list(_EVENT_COLUMNS))
    for name in ("start", "end"):
        table[name] = _times(pd, table[name]) if len(table) else pd.Series([], dtype="datetime64[ns]")
    table["kind"] = table["kind"].astype("category")
    for name in ("duration_s", "depth_db"):
        table[name] = table[name].astype("float64")
    for name in ("signals_affected", "signals_tracked"):
        table[name] = table[name].astype("int64")
    return table
