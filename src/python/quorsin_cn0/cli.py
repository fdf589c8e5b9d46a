"""The `quorsin-cn0` command line: a one-line check per file, JSON lines, and the HTML report.

Exit status: 0 when every file went through, 1 when some file failed (each failure is one line on
stderr naming the file and the reason; the other files still go through), 2 for a usage error.
"""

from __future__ import annotations

import functools
import json
import os
import sys
import tempfile
import threading
import time
from importlib import resources
from typing import Any, Callable, Iterable, List, Optional, Sequence, Tuple

import click

import quorsin_cn0 as _core
from quorsin_cn0 import _summary

PROGRESS_AFTER_S = 2.0
EXAMPLE_OBS = "ESBC00DNK_R_20201770600_03H_30S_MO.crx.gz"
EXAMPLE_NAV = "ESBC00DNK_R_20201770600_03H_MN.rnx.gz"


def example_paths() -> Tuple[str, List[str]]:
    """The observation file and navigation file shipped with the package."""
    folder = resources.files("quorsin_cn0") / "example"
    return str(folder / EXAMPLE_OBS), [str(folder / EXAMPLE_NAV)]


def replace_atomically(path: str, write: Callable[[str], None], suffix: str = ".tmp") -> None:
    """Writes the whole file or nothing: write(temporary path) in the same folder, then a rename."""
    folder = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=".quorsin-", suffix=suffix, dir=folder)
    os.close(fd)
    try:
        write(tmp)
        os.chmod(tmp, 0o644)
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise


def write_atomically(path: str, text: str) -> None:
    """Writes the whole text or nothing."""

    def write(tmp: str) -> None:
        with open(tmp, "w", encoding="utf-8") as f:
            f.write(text)

    replace_atomically(path, write)


class _Progress:
    """A progress bar on stderr, only when stderr is a terminal and the run has lasted more than
    a couple of seconds; nothing otherwise."""

    def __init__(self, total: int) -> None:
        self.total = total
        self.done = 0
        self.start = time.monotonic()
        self.bar: Any = None
        self.enabled = sys.stderr.isatty()

    def wait(self, thread: threading.Thread, label: str) -> None:
        while thread.is_alive():
            thread.join(0.2)
            self._show(label)

    def _show(self, label: str) -> None:
        if not self.enabled or time.monotonic() - self.start < PROGRESS_AFTER_S:
            return
        if self.bar is None:
            self.bar = click.progressbar(length=self.total, file=sys.stderr, label="analysing",
                                         show_pos=True)
            self.bar.__enter__()
            self.bar.update(self.done)
        self.bar.label = os.path.basename(label)[:40]
        self.bar.render_progress()

    def step(self) -> None:
        self.done += 1
        if self.bar is not None:
            self.bar.update(1)

    def close(self) -> None:
        if self.bar is not None:
            self.bar.__exit__(None, None, None)


def _run(work: Callable[[], Any], progress: _Progress, label: str) -> Any:
    """Runs one analysis in a worker thread (the analysis releases the interpreter lock) so the
    progress bar can appear while it runs."""
    box: dict = {}

    def target() -> None:
        try:
            box["value"] = work()
        except BaseException as e:  # handed back to the caller's thread
            box["error"] = e

    thread = threading.Thread(target=target, daemon=True)
    thread.start()
    progress.wait(thread, label)
    if "error" in box:
        raise box["error"]
    return box["value"]


def analyse(path: str, nav: Sequence[str], min_elevation: float, systems: Optional[List[str]]) -> Any:
    return _core.analyze_cn0(path, list(nav) if nav else None, min_elevation, systems)


def _reason(e: BaseException) -> str:
    text = str(e) or type(e).__name__
    return text.replace("\n", " ")


def _fail(path: str, e: BaseException) -> None:
    click.echo(f"quorsin-cn0: {path}: {_reason(e)}", err=True)


def _systems(value: Optional[str]) -> Optional[List[str]]:
    if value is None:
        return None
    letters = [s.strip() for s in value.split(",") if s.strip()]
    bad = [s for s in letters if s[:1].upper() not in "GRECJSI"]
    if bad or not letters:
        raise click.BadParameter(f"unknown constellation {', '.join(bad) or value!r}; use letters of G,R,E,C,J,S,I")
    return [s[:1].upper() for s in letters]


def _format_table(rows: Iterable[Tuple[str, ...]]) -> str:
    rows = [_summary.TABLE_HEAD] + list(rows)
    widths = [max(len(r[i]) for r in rows) for i in range(len(_summary.TABLE_HEAD))]
    return "\n".join("  ".join(c.ljust(w) for c, w in zip(r, widths)).rstrip() for r in rows)


def _json_line(path: str, result: Any, frame: Any) -> str:
    # The result's own JSON is spliced, not re-parsed: a day of 30-second data is tens of MB.
    extra = {
        "file": path,
        "verdict": _summary.verdict(result),
        "band_cn0": _summary.band_means(frame),
        "events": _summary.events(result),
        "health": _summary.health(result),
    }
    head = result.to_json()
    tail = json.dumps(extra, separators=(",", ":"), allow_nan=False, default=str)
    return head[:-1] + "," + tail[1:]


class _DefaultGroup(click.Group):
    """`quorsin-cn0 FILE ...` checks files; `quorsin-cn0 report ...` writes a report."""

    def parse_args(self, ctx: click.Context, args: List[str]) -> List[str]:
        if args and args[0] not in self.commands and args[0] not in ("--help", "-h", "--version"):
            args = ["check", *args]
        return super().parse_args(ctx, args)

    def format_usage(self, ctx: click.Context, formatter: click.HelpFormatter) -> None:
        formatter.write_usage("quorsin-cn0", "FILE [FILE ...] [OPTIONS] | report FILE -o OUT.html | "
                              "batch PATTERN --out OUT.parquet | --example")


_EPILOG = """\b
Examples:
  quorsin-cn0 --example
  quorsin-cn0 site1.crx.gz site2.rnx --nav BRDC.rnx --nav site_EN.rnx
  quorsin-cn0 site1.crx.gz --json > site1.jsonl
  quorsin-cn0 report --example -o example.html
  quorsin-cn0 report site1.crx.gz --nav BRDC.rnx -o site1.html
  quorsin-cn0 batch 'archive/**/*.crx.gz' --out kpis.parquet --events events.parquet --resume
"""


@click.group(cls=_DefaultGroup, epilog=_EPILOG, context_settings={"help_option_names": ["-h", "--help"]})
@click.version_option(_core.__version__, prog_name="quorsin-cn0")
def main() -> None:
    """GNSS signal-quality check of RINEX observation files: C/N0 per band, grade, interference
    events and verdicts, one row per file; or a self-contained HTML report of one file."""


def _common(f: Callable[..., Any]) -> Callable[..., Any]:
    f = click.option("--systems", metavar="G,E,...", help="Constellations to analyse (letters).")(f)
    f = click.option("--min-elevation", type=float, default=5.0, show_default=True, metavar="DEG",
                     help="Elevation mask in degrees (needs navigation data).")(f)
    f = click.option("--nav", "nav", multiple=True, type=click.Path(dir_okay=False), metavar="NAV",
                     help="Navigation file; repeat for one file per constellation.")(f)
    f = click.option("--example", is_flag=True, help="Use the sample shipped with the package.")(f)
    return f


@main.command("check", epilog=_EPILOG)
@click.argument("files", nargs=-1, type=click.Path(dir_okay=True))
@_common
@click.option("--json", "as_json", is_flag=True, help="One JSON object per line per file.")
def check(files: Tuple[str, ...], nav: Tuple[str, ...], min_elevation: float, systems: Optional[str],
          example: bool, as_json: bool) -> None:
    """Summarise each FILE: one table row (or one JSON line) per file."""
    chosen = _systems(systems)
    paths = list(files)
    navs = list(nav)
    if example:
        obs, example_nav = example_paths()
        paths.insert(0, obs)
        navs = navs or example_nav
    if not paths:
        raise click.UsageError("no observation file given (or use --example)")
    rows = []
    failed = False
    progress = _Progress(len(paths))
    try:
        for path in paths:
            try:
                result = _run(functools.partial(analyse, path, navs, min_elevation, chosen), progress, path)
                frame = _summary.samples_frame(result)
                if as_json:
                    line = _json_line(path, result, frame)
                else:
                    rows.append(_summary.table_cells(_summary.facts(result, path, frame)))
            except (OSError, ValueError, MemoryError) as e:
                failed = True
                _fail(path, e)
                progress.step()
                continue
            progress.step()
            if as_json:
                click.echo(line)
    finally:
        progress.close()
    if rows:
        click.echo(_format_table(rows))
    sys.exit(1 if failed else 0)


@main.command("report", epilog=_EPILOG)
@click.argument("file", required=False, type=click.Path(dir_okay=False))
@_common
@click.option("-o", "--output", type=click.Path(dir_okay=False, writable=True), metavar="OUT.html",
              help="Where to write the report (default: the file's name with .html, here).")
def report_command(file: Optional[str], nav: Tuple[str, ...], min_elevation: float, systems: Optional[str],
                   example: bool, output: Optional[str]) -> None:
    """Write one self-contained HTML report of FILE (opens offline; plots and scripts embedded)."""
    from quorsin_cn0 import report as report_module

    chosen = _systems(systems)
    navs = list(nav)
    if example:
        if file is not None:
            raise click.UsageError("give either FILE or --example, not both")
        file, example_nav = example_paths()
        navs = navs or example_nav
    if file is None:
        raise click.UsageError("no observation file given (or use --example)")
    if output is None:
        name = os.path.basename(file)
        for ext in (".gz", ".Z", ".crx", ".rnx"):
            name = name[: -len(ext)] if name.endswith(ext) else name
        output = name + ".html"
    progress = _Progress(1)
    try:
        result = _run(lambda: analyse(file, navs, min_elevation, chosen), progress, file)
        html = report_module.render(result, file, navs)
    except (OSError, ValueError, MemoryError) as e:
        _fail(file, e)
        sys.exit(1)
    finally:
        progress.close()
    try:
        write_atomically(output, html)
    except OSError as e:
        _fail(output, e)
        sys.exit(1)
    click.echo(output)


@main.command("batch", epilog=_EPILOG)
@click.argument("inputs", nargs=-1, required=True, metavar="PATTERN...")
@click.option("--out", required=True, type=click.Path(dir_okay=False), metavar="OUT.parquet",
              help="Parquet file of one row per observation file.")
@click.option("--events", "events_out", type=click.Path(dir_okay=False), metavar="EVENTS.parquet",
              help="Parquet file of one row per interference event.")
@click.option("--nav", "nav", multiple=True, type=click.Path(dir_okay=False), metavar="NAV",
              help="Navigation file for every input (repeatable); default: found beside each file by name.")
@click.option("--min-elevation", type=float, default=None, metavar="DEG", help="Elevation mask in degrees.")
@click.option("--systems", metavar="G,E,...", help="Constellations to analyse (letters).")
@click.option("--workers", type=click.IntRange(min=1), default=None, metavar="N",
              help="Threads on this machine (default: one per core).")
@click.option("--scheduler", metavar="tcp://HOST:8786", help="Run on this Dask cluster instead of here.")
@click.option("--resume", is_flag=True, help="Skip the files that already have a row without error in OUT.")
def batch_command(inputs: Tuple[str, ...], out: str, events_out: Optional[str], nav: Tuple[str, ...],
                  min_elevation: Optional[float], systems: Optional[str], workers: Optional[int],
                  scheduler: Optional[str], resume: bool) -> None:
    """Analyse every file matching PATTERN (quote it; ** recurses) and write one Parquet row per
    file: station, epochs, satellites per system, C/N0 per band, grade, health, verdicts, events.

    The output is rewritten every minute and at the end, each time to a temporary file renamed over
    the old one: an interrupted run leaves a complete table, and --resume continues from it."""
    from quorsin_cn0 import batch

    try:
        batch.need("pandas")
        batch.need("pyarrow")
        if scheduler:
            batch.need("distributed")
    except ImportError as e:
        raise click.UsageError(str(e))
    config = batch.config_options(None)
    if min_elevation is not None:
        config["min_elevation"] = min_elevation
    chosen = _systems(systems)
    if chosen:
        config["systems"] = chosen
    paths = batch.expand_inputs(inputs)
    if not paths:
        raise click.UsageError(f"no file matches {' '.join(inputs)}")
    done_rows, done_events = _done(out, events_out) if resume else ([], [])
    done = {os.path.abspath(r["path"]) for r in done_rows}
    todo = [p for p in paths if os.path.abspath(p) not in done]
    navs = batch.pair_navigation(todo, list(nav) if nav else None)
    # New rows by their input position, so the table keeps the input order whatever order the
    # files complete in.
    new: dict = {}
    failed = 0
    last_write = time.monotonic()
    bar = batch.Progress(len(todo))
    try:
        for i, row, evs in batch.iter_rows(todo, navs, config, workers, scheduler):
            new[i] = (row, evs)
            bar.step()
            if row["error"]:
                failed += 1
                click.echo(f"\nquorsin-cn0: {row['path']}: {row['error']}" if bar.bar else
                           f"quorsin-cn0: {row['path']}: {row['error']}", err=True)
            if time.monotonic() - last_write > CHECKPOINT_S:
                _write_tables(batch, done_rows, done_events, new, out, events_out)
                last_write = time.monotonic()
    except KeyboardInterrupt:
        bar.close()
        _write_tables(batch, done_rows, done_events, new, out, events_out)
        click.echo(f"quorsin-cn0: interrupted; {len(done_rows) + len(new)} rows in {out} (rerun with --resume)",
                   err=True)
        sys.exit(130)
    finally:
        bar.close()
    rows, events = _write_tables(batch, done_rows, done_events, new, out, events_out)
    skipped = len(paths) - len(todo)
    click.echo(f"{out}: {rows} files ({len(todo)} analysed, {failed} failed, {skipped} already done)"
               + (f"; {events_out}: {events} events" if events_out else ""), err=True)
    sys.exit(1 if failed else 0)


CHECKPOINT_S = 60.0


def _done(out: str, events_out: Optional[str]) -> Tuple[List[dict], List[dict]]:
    """Rows of an earlier run that went through, and their events."""
    if not os.path.exists(out):
        return [], []
    import pyarrow.parquet as pq  # type: ignore[import-untyped, import-not-found, unused-ignore]

    try:
        rows = [r for r in pq.read_table(out).to_pylist() if not r.get("error")]
        paths = {r["path"] for r in rows}
        events = []
        if events_out and os.path.exists(events_out):
            events = [e for e in pq.read_table(events_out).to_pylist() if e.get("path") in paths]
    except Exception as e:  # an unreadable or foreign file is not silently replaced
        raise click.UsageError(f"--resume: cannot read {out}: {_reason(e)}")
    return rows, events


def _write_parquet(pa: Any, pq: Any, frame: Any, path: str) -> None:
    table = pa.Table.from_pandas(frame, preserve_index=False)
    replace_atomically(path, lambda tmp: pq.write_table(table, tmp), ".parquet.tmp")


def _write_tables(batch: Any, done_rows: List[dict], done_events: List[dict], new: dict, out: str,
                  events_out: Optional[str]) -> Tuple[int, int]:
    """Writes the rows of the earlier run, then the new ones in input order; (rows, events)."""
    rows = done_rows + [new[i][0] for i in sorted(new)]
    events = done_events + [e for i in sorted(new) for e in new[i][1]]
    import pyarrow as pa  # type: ignore[import-untyped, import-not-found, unused-ignore]
    import pyarrow.parquet as pq  # type: ignore[import-untyped, import-not-found, unused-ignore]

    # Events first: a run stopped between the two files leaves events of files not yet in OUT,
    # which --resume drops, never rows whose events are missing.
    if events_out:
        _write_parquet(pa, pq, batch.events_frame(events), events_out)
    _write_parquet(pa, pq, batch.files_frame(rows), out)
    return len(rows), len(events)


if __name__ == "__main__":  # pragma: no cover
    main(prog_name="quorsin-cn0")
