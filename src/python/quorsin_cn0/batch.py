"""Many observation files at once: one table row per file, on threads here or on a Dask cluster.

    from quorsin_cn0.batch import analyze_many
    files, events = analyze_many("archive/**/*.crx.gz")                  # threads on this machine
    files, events = analyze_many(paths, scheduler="tcp://scheduler:8786")  # a Dask cluster

Each file is analysed where it is read: by a thread here (the analysis releases the interpreter
lock, so threads use every core) or by a Dask worker, which reads the file by its path. Only the
file's row and its event rows travel back, never the whole result, so the caller's memory does not
grow with the size of the files. A file that cannot be read or analysed becomes a row with its
error text; it never stops the run. A Dask worker that dies has its files run again by Dask's
scheduler on another worker; a file whose task still cannot finish gets a row with that error.

Navigation data is paired with each observation file as given (one path or list for all files, or
a mapping from observation file to its navigation files), else found in the same folder by the
usual names: the station's own RINEX 3 ``..._MN.rnx`` of the same day (or its per-constellation
``_GN``, ``_EN``, ``_RN``, ``_CN``, ... files), the station's RINEX 2 ``ssssddd#.yyn`` (``.yyg``,
``.yyl``, ``.yyp``, ...), then a daily broadcast file of the day: ``BRDC00IGS_R_YYYYDDD0000_01D_MN.rnx``
or ``brdcddd0.yyn``. Files without any are analysed without navigation (no visibility prediction).

pandas is needed for the tables, pyarrow to write Parquet and dask's distributed package for a
cluster; each is imported when first used (``pip install 'quorsin_cn0[batch]'`` brings all three).
"""

from __future__ import annotations

import concurrent.futures
import glob
import importlib
import math
import os
import re
import sys
import time
from typing import Any, Dict, Iterable, Iterator, List, Mapping, NamedTuple, Optional, Sequence, Tuple, Union

import quorsin_cn0 as _q
from quorsin_cn0 import _summary

SYSTEMS = "GRECJSI"

# Columns of the file table and their pandas types; "epoch" columns become datetime64 (the
# receiver's time scale, GPS time for most files, without a time zone).
FILE_COLUMNS: Dict[str, str] = {
    "path": "str", "station": "str", "first_epoch": "epoch", "last_epoch": "epoch",
    "interval": "float64", "epochs": "Int64", "duration_hours": "float64",
    **{f"sats_{s}": "Int64" for s in SYSTEMS},
    **{f"cn0_{b}": "float64" for b in _summary.BANDS},
    "mean_cn0": "float64", "score": "float64", "grade": "str",
    "completeness_percent": "float64", "in_pass_gap_epochs": "Int64", "cycle_slips": "Int64",
    "anomalies": "Int64", "critical_anomalies": "Int64",
    "jamming": "boolean", "spoofing": "boolean", "interference": "boolean",
    "interference_verdict": "str", "events": "Int64",
    "navigation": "list", "run_time_s": "float64", "error": "str",
}
EVENT_COLUMNS: Dict[str, str] = {
    "path": "str", "station": "str", "start": "epoch", "end": "epoch", "duration_s": "float64",
    "kind": "str", "bands": "list", "depth_db": "float64", "signals_affected": "Int64",
    "signals_tracked": "Int64",
}

NavSpec = Union[None, str, "os.PathLike[str]", Sequence[str], Mapping[str, Union[str, Sequence[str]]]]


class BatchTables(NamedTuple):
    """The two tables of a batch: one row per observation file, one row per interference event."""

    files: Any  # pandas.DataFrame
    events: Any  # pandas.DataFrame


def need(name: str, extra: str = "batch") -> Any:
    """The module `name`, or an ImportError that says what to install."""
    try:
        return importlib.import_module(name)
    except ImportError as e:
        package = {"distributed": "dask[distributed]"}.get(name, name)
        raise ImportError(f"this needs the package {package!r}: pip install '{package}' "
                          f"(or pip install 'quorsin_cn0[{extra}]' for pandas, pyarrow and dask)") from e


# ---------------------------------------------------------------------------------------------
# Inputs and navigation pairing

def expand_inputs(inputs: Union[str, "os.PathLike[str]", Iterable[Union[str, "os.PathLike[str]"]]]) -> List[str]:
    """Paths from a path, a glob pattern (``**`` recurses) or an iterable of them; sorted within
    each pattern, first occurrence kept. A plain path is kept even when missing (its row says so)."""
    items = [inputs] if isinstance(inputs, (str, os.PathLike)) else list(inputs)
    out: List[str] = []
    seen = set()
    for item in items:
        text = os.fspath(item)
        found = sorted(glob.glob(text, recursive=True)) if glob.has_magic(text) else [text]
        for path in found:
            if path not in seen and not os.path.isdir(path):
                seen.add(path)
                out.append(path)
    return out


_LONG_OBS = re.compile(r"^(?P<site>[A-Z0-9]{9})_[A-Z]_(?P<year>\d{4})(?P<doy>\d{3})\d{4}_", re.I)
_SHORT_OBS = re.compile(r"^(?P<site>[a-z0-9]{4})(?P<doy>\d{3})[a-z0-9]\.(?P<yy>\d{2})[od](\.gz|\.z)?$", re.I)
_COMPRESSED = r"(\.gz|\.Z)?$"


def _day_of(name: str) -> Optional[Tuple[str, int, str, str]]:
    """(site, year, day of year, form) of an observation file name in either naming convention."""
    m = _LONG_OBS.match(name)
    if m:
        return m["site"], int(m["year"]), m["doy"], "long"
    m = _SHORT_OBS.match(name)
    if m:
        yy = int(m["yy"])
        return m["site"], (1900 if yy >= 80 else 2000) + yy, m["doy"], "short"
    return None


def find_navigation(obs_path: str, listing: Optional[Dict[str, List[str]]] = None) -> List[str]:
    """Navigation files for an observation file, found in its folder by their names (see the
    module's description); an empty list when there are none. `listing` caches folder contents
    between calls."""
    folder, name = os.path.split(obs_path)
    day = _day_of(name)
    if day is None:
        return []
    site, year, doy, _ = day
    cache = listing if listing is not None else {}
    if folder not in cache:
        try:
            cache[folder] = sorted(os.listdir(folder or "."))
        except OSError:
            cache[folder] = []
    names = cache[folder]

    def matching(pattern: str) -> List[str]:
        rx = re.compile(pattern + _COMPRESSED, re.I)
        return [os.path.join(folder, n) for n in names if rx.match(n)]

    yy = f"{year % 100:02d}"
    own_long = rf"{re.escape(site)}_[A-Z]_{year}{doy}\d{{4}}_\w+_"
    own_short = rf"{re.escape(site[:4])}{doy}[a-z0-9]\.{yy}"
    for found in (matching(own_long + r"MN\.rnx"), matching(own_long + r"[GRECJIS]N\.rnx"),
                  matching(own_short + "p"), matching(own_short + "[nglfhq]"),
                  matching(rf"BRDC00\w{{3}}_[A-Z]_{year}{doy}0000_01D_MN\.rnx"),
                  matching(rf"brdc{doy}0\.{yy}n")):
        if found:
            return found
    return []


def pair_navigation(paths: Sequence[str], nav: NavSpec = None) -> List[List[str]]:
    """The navigation files of each observation file: `nav` as given (one path or a list for every
    file, or a mapping from observation path to its files), else found beside the file."""
    listing: Dict[str, List[str]] = {}
    if nav is None:
        return [find_navigation(p, listing) for p in paths]
    if isinstance(nav, (str, os.PathLike)):
        return [[os.fspath(nav)] for _ in paths]
    if isinstance(nav, Mapping):
        out = []
        for p in paths:
            given = nav.get(p, nav.get(os.path.abspath(p)))
            if given is None:
                out.append(find_navigation(p, listing))
            else:
                out.append([os.fspath(given)] if isinstance(given, (str, os.PathLike)) else [os.fspath(g) for g in given])
        return out
    files = [os.fspath(n) for n in nav]
    return [list(files) for _ in paths]


def config_options(config: Any) -> Dict[str, Any]:
    """AnalysisConfig keyword arguments from None, an AnalysisConfig or a dict of them: plain values
    that travel to Dask workers, where the configuration is built again.

    None gives the settings of analyze_cn0: AnalysisConfig's own defaults would scale the anomaly
    thresholds by a sensitivity of 0.5, analyze_cn0 takes them as they are."""
    if config is None:
        return {"anomaly_sensitivity": 0.0}
    if isinstance(config, Mapping):
        return dict(config)
    names = ("min_elevation", "min_cn0", "max_cn0", "time_bin_seconds", "systems", "anomaly_threshold_low",
             "anomaly_threshold_high", "anomaly_threshold_critical", "detect_anomalies", "interference_threshold_db",
             "spoofing_unexpected_threshold", "spoofing_min_unexpected_count")
    # An AnalysisConfig holds its thresholds already scaled by its sensitivity; passed on with no
    # further scaling, the configuration built again analyses exactly as this one.
    return {**{n: getattr(config, n) for n in names}, "anomaly_sensitivity": 0.0}


# ---------------------------------------------------------------------------------------------
# One file

def _reason(e: BaseException) -> str:
    return (str(e) or type(e).__name__).replace("\n", " ")


def _empty_row(path: str, nav: Sequence[str]) -> Dict[str, Any]:
    row: Dict[str, Any] = {c: None for c in FILE_COLUMNS}
    row.update(path=path, station="", grade="", interference_verdict="", navigation=list(nav), error="")
    return row


def result_rows(result: Any, path: str, nav: Sequence[str] = ()) -> Tuple[Dict[str, Any], List[Dict[str, Any]]]:
    """The file row and event rows of one analysis result, from the same facts the command line
    shows."""
    f = _summary.facts(result, path, _summary.samples_frame(result))
    health = _summary.health(result) or {}
    summaries = [result.get_constellation_summary(name) for name in result.constellations]
    row = _empty_row(path, nav)
    row.update(
        station=result.station_name, first_epoch=f["first_epoch"], last_epoch=f["last_epoch"],
        interval=f["interval"], epochs=f["epochs"], duration_hours=f["duration_hours"],
        **{f"sats_{s}": f["satellites"].get(s, 0) for s in SYSTEMS},
        **{f"cn0_{b}": f["band_cn0"].get(b, math.nan) for b in _summary.BANDS},
        mean_cn0=f["mean_cn0"], score=f["score"], grade=f["grade"],
        completeness_percent=health.get("completeness_percent"),
        in_pass_gap_epochs=health.get("in_pass_gap_epochs"),
        cycle_slips=sum(int(s["cycle_slips"]) for s in summaries if s is not None),
        anomalies=f["anomalies"], critical_anomalies=result.critical_count,
        jamming=f["jamming"], spoofing=f["spoofing"], interference=f["interference"],
        interference_verdict=f["verdict"], events=f["events"],
    )
    events = [{"path": path, "station": result.station_name, **{k: e.get(k) for k in list(EVENT_COLUMNS)[2:]}}
              for e in _summary.events(result)]
    return row, events


def analyze_one(path: str, nav: Sequence[str] = (), options: Optional[Dict[str, Any]] = None
                ) -> Tuple[Dict[str, Any], List[Dict[str, Any]]]:
    """Analyses one file and returns its row and event rows; any failure becomes the row's error.
    This is the task that threads and Dask workers run."""
    start = time.perf_counter()
    try:
        analyzer = _q.CN0Analyzer(_q.AnalysisConfig(**(config_options(None) if options is None else options)))
        # CN0Analyzer reads and analyses with the interpreter lock released.
        result = analyzer.analyze_with_nav(path, list(nav)) if nav else analyzer.analyze_file(path)
        row, events = result_rows(result, path, nav)
        del result
    except Exception as e:  # one bad file never stops a batch
        row, events = _empty_row(path, nav), []
        row["error"] = _reason(e)
    row["run_time_s"] = time.perf_counter() - start
    return row, events


# ---------------------------------------------------------------------------------------------
# Many files

def _on_threads(paths: Sequence[str], navs: Sequence[Sequence[str]], options: Dict[str, Any],
                workers: Optional[int]) -> Iterator[Tuple[int, Dict[str, Any], List[Dict[str, Any]]]]:
    if workers == 1:
        for i, (p, n) in enumerate(zip(paths, navs)):
            yield (i, *analyze_one(p, n, options))
        return
    pool = concurrent.futures.ThreadPoolExecutor(max_workers=workers or os.cpu_count() or 1,
                                                 thread_name_prefix="quorsin-batch")
    try:
        index = {pool.submit(analyze_one, p, n, options): i for i, (p, n) in enumerate(zip(paths, navs))}
        for future in concurrent.futures.as_completed(index):
            yield (index.pop(future), *future.result())
    finally:
        pool.shutdown(wait=True, cancel_futures=True)


def _on_dask(paths: Sequence[str], navs: Sequence[Sequence[str]], options: Dict[str, Any],
             scheduler: Any) -> Iterator[Tuple[int, Dict[str, Any], List[Dict[str, Any]]]]:
    distributed = need("distributed")
    own = not isinstance(scheduler, distributed.Client)
    client = distributed.Client(scheduler) if own else scheduler
    try:
        # pure=False: a file may have changed since an earlier run on the same cluster.
        futures = client.map(analyze_one, list(paths), [list(n) for n in navs], options=options, pure=False)
        index = {f.key: i for i, f in enumerate(futures)}
        for future in distributed.as_completed(futures):
            i = index.pop(future.key)
            try:
                row, events = future.result()
            except Exception as e:  # e.g. KilledWorker: the scheduler gave up after its own retries
                row, events = _empty_row(paths[i], navs[i]), []
                row["error"] = f"{type(e).__name__}: {_reason(e)}"
            future.release()  # the cluster forgets the row as soon as it is here
            yield i, row, events
        del futures
    finally:
        if own:
            client.close()


def iter_rows(paths: Sequence[str], navs: Sequence[Sequence[str]], options: Optional[Dict[str, Any]] = None,
              workers: Optional[int] = None, scheduler: Any = None
              ) -> Iterator[Tuple[int, Dict[str, Any], List[Dict[str, Any]]]]:
    """(index into paths, file row, event rows) of each file as it completes."""
    if scheduler is not None:
        return _on_dask(paths, navs, config_options(None) if options is None else options, scheduler)
    return _on_threads(paths, navs, config_options(None) if options is None else options, workers)


class Progress:
    """A bar on stderr while files complete, only when stderr is a terminal."""

    def __init__(self, total: int, enabled: bool = True) -> None:
        self.bar: Any = None
        if enabled and total > 0 and sys.stderr.isatty():
            import click

            self.bar = click.progressbar(length=total, file=sys.stderr, label="analysing", show_pos=True,
                                         show_eta=True)
            self.bar.__enter__()

    def step(self) -> None:
        if self.bar is not None:
            self.bar.update(1)

    def close(self) -> None:
        if self.bar is not None:
            self.bar.__exit__(None, None, None)
            self.bar = None


def _typed(pd: Any, rows: List[Dict[str, Any]], columns: Dict[str, str]) -> Any:
    frame = pd.DataFrame.from_records(rows, columns=list(columns)) if rows else pd.DataFrame(
        {c: [] for c in columns})
    for name, kind in columns.items():
        col = frame[name]
        if kind == "epoch":
            frame[name] = pd.to_datetime(col, format="%Y-%m-%dT%H:%M:%S.%fZ", errors="coerce").astype("datetime64[ns]")
        elif kind == "list":
            frame[name] = col.astype(object)
        elif kind == "str":
            frame[name] = col.fillna("").astype(str)
        else:
            frame[name] = col.astype(kind)
    return frame


def files_frame(rows: List[Dict[str, Any]]) -> Any:
    return _typed(need("pandas"), rows, FILE_COLUMNS)


def events_frame(rows: List[Dict[str, Any]]) -> Any:
    return _typed(need("pandas"), rows, EVENT_COLUMNS)


def analyze_many(inputs: Union[str, "os.PathLike[str]", Iterable[Union[str, "os.PathLike[str]"]]],
                 nav: NavSpec = None, config: Any = None, workers: Optional[int] = None,
                 scheduler: Any = None, progress: bool = True) -> BatchTables:
    """Analyses many observation files and returns their tables: (files, events).

    inputs: a path, a glob pattern ("archive/**/*.crx.gz") or an iterable of them.
    nav: navigation files: one path or a list for every file, or a mapping from observation path
        to its path or list; None finds them beside each file by name; [] uses none.
    config: an AnalysisConfig or a dict of its keyword arguments (None: the settings of
        analyze_cn0, so that each row holds what analyze_cn0 gives for the file).
    workers: threads on this machine (None: one per core; 1: one file after the other here).
    scheduler: a Dask scheduler address ("tcp://host:8786"), a distributed.Client or a cluster
        object; the files then run on that cluster's workers, which read them by path.
    progress: show a progress bar on stderr when it is a terminal.

    `files` has one row per file in input order; a file that failed has its error text in
    `error` and no figures. `events` has one row per interference event.
    """
    need("pandas")  # before any work, not after it
    paths = expand_inputs(inputs)
    if nav is None and config is not None and not isinstance(config, Mapping):
        nav = getattr(config, "nav_file", None)
    navs = pair_navigation(paths, nav)
    rows: List[Optional[Dict[str, Any]]] = [None] * len(paths)
    events: List[List[Dict[str, Any]]] = [[] for _ in paths]
    bar = Progress(len(paths), progress)
    try:
        for i, row, evs in iter_rows(paths, navs, config_options(config), workers, scheduler):
            rows[i], events[i] = row, evs
            bar.step()
    finally:
        bar.close()
    return BatchTables(files_frame([r for r in rows if r is not None]),
                       events_frame([e for evs in events for e in evs]))
