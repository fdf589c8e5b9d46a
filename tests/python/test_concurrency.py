"""File analyses with real threads: analyze_file and analyze_with_nav let other Python threads
run while they read, parse and analyse; an analyzer inside such a call refuses set_navigation
with RuntimeError "Already borrowed" and stays as it was; analyses of one analyzer run side by
side and give the result of a lone run.

The input is a real RINEX 3 file whose epochs are repeated with shifted times into a file of
some 35 MB, so that one analysis lasts long enough for another thread to act meanwhile. No test
measures time."""

from __future__ import annotations

import datetime
import hashlib
import pathlib
import threading
import time

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, NO_DATA_REASON, have_data

pytestmark = pytest.mark.skipif(not have_data(), reason=NO_DATA_REASON)

# Five minutes at 1 s of a mixed G/R/E/C/J receiver, and the ephemerides it decoded (they cover
# the hours after the file, so every repetition still has positions).
SOURCE = "matrtklib_20240624_static_base.obs"
NAV = "matrtklib_20240624_static_base.nav"
# Ten repetitions: 3010 epochs, about 35 MB.
COPIES = 10
# A small file of another day for the analyzer's own (old-API) data.
SMALL_OBS = "matrtklib_20230711_base_100s.obs"
SMALL_NAV = "matrtklib_20230711_base.nav"


def epoch_time(line: bytes) -> datetime.datetime:
    # RINEX 3 epoch lines start with '>'; year, month, day, hour, minute and the F11.7 second
    # fill columns 2..28, the flag and the satellite count follow.
    year, month, day, hour, minute, second = line[1:29].split()
    return datetime.datetime(int(year), int(month), int(day), int(hour), int(minute)) + datetime.timedelta(
        seconds=float(second))


def epoch_line(t: datetime.datetime, rest: bytes) -> bytes:
    second = t.second + t.microsecond / 1e6
    return f"> {t.year:4d} {t.month:02d} {t.day:02d} {t.hour:02d} {t.minute:02d}{second:11.7f}".encode() + rest


def repeated_rinex3(raw: bytes, copies: int) -> bytes:
    """The header, then the epochs of the file `copies` times, each repetition shifted by the
    span of the file plus one interval, so the epoch times keep increasing."""
    end = raw.index(b"\n", raw.index(b"END OF HEADER")) + 1
    header, lines = raw[:end], raw[end:].splitlines(keepends=True)
    epochs = [i for i, line in enumerate(lines) if line.startswith(b">")]
    times = {i: epoch_time(lines[i]) for i in epochs}
    step = times[epochs[1]] - times[epochs[0]]
    shift = times[epochs[-1]] - times[epochs[0]] + step
    parts = [header]
    for k in range(copies):
        copy = list(lines)
        for i in epochs:
            copy[i] = epoch_line(times[i] + k * shift, lines[i][29:])
        parts.append(b"".join(copy))
    return b"".join(parts)


@pytest.fixture(scope="module")
def big_obs(tmp_path_factory) -> str:
    out = tmp_path_factory.mktemp("threads") / "long.obs"
    out.write_bytes(repeated_rinex3((DATA_DIR / SOURCE).read_bytes(), COPIES))
    return str(out)


def nav_path() -> str:
    return str(DATA_DIR / NAV)


def digest(result: q.AnalysisResult) -> str:
    return hashlib.sha256(result.to_json().encode()).hexdigest()


def test_repeated_file_reads_as_the_repetitions(big_obs):
    # The input the other tests rely on: every epoch repeated, times increasing.
    one = q.read_rinex_obs(str(DATA_DIR / SOURCE))
    many = q.read_rinex_obs(big_obs)
    assert many.num_epochs == COPIES * one.num_epochs
    assert many.num_satellites == one.num_satellites
    assert pathlib.Path(big_obs).stat().st_size > 30_000_000
    r = q.CN0Analyzer(q.AnalysisConfig()).analyze_with_nav(big_obs, nav_path())
    assert r.start_time == "2024-06-24T08:20:00.000Z"
    assert r.end_time == "2024-06-24T09:10:09.000Z"
    assert r.has_visibility_prediction


# --- the interpreter lock is released ------------------------------------------------------------


@pytest.mark.parametrize("method", ["analyze_file", "analyze_with_nav"])
def test_other_threads_run_during_a_file_analysis(big_obs, method):
    count = 0
    stop = threading.Event()

    def counter():
        # Each step sleeps, handing the lock back: while the analysis holds the lock the counter
        # is stuck, while the analysis has released it the counter keeps going.
        nonlocal count
        while not stop.is_set():
            count += 1
            time.sleep(0.0002)

    an = q.CN0Analyzer(q.AnalysisConfig())
    call = (lambda: an.analyze_file(big_obs)) if method == "analyze_file" else (
        lambda: an.analyze_with_nav(big_obs, nav_path()))
    worker = threading.Thread(target=counter)
    worker.start()
    try:
        before = count
        result = call()
        during = count - before
    finally:
        stop.set()
        worker.join()
    assert result.total_epochs == COPIES * 301
    assert during > 20, f"the counting thread advanced only {during} steps during the analysis"


# --- set_navigation is refused while a file analysis runs ------------------------------------------


def run_in_thread(fn):
    """Starts fn in a thread; returns (thread, started event, box with 'result' or 'error')."""
    started = threading.Event()
    box: dict[str, object] = {}

    def body():
        started.set()
        try:
            box["result"] = fn()
        except BaseException as e:  # noqa: BLE001 - handed to the test thread
            box["error"] = e

    thread = threading.Thread(target=body)
    thread.start()
    return thread, started, box


@pytest.mark.parametrize("method", ["analyze_file", "analyze_with_nav"])
def test_set_navigation_is_refused_during_a_file_analysis(big_obs, method):
    small = q.read_rinex_obs(str(DATA_DIR / SMALL_OBS))
    navs = [q.read_navigation(str(DATA_DIR / SMALL_NAV)), q.read_navigation(nav_path())]
    expected = []
    for nav in navs:
        ref = q.CN0Analyzer.from_obs(small)
        ref.set_navigation(nav)
        expected.append(digest(ref.analyze()))
    assert expected[0] != expected[1]

    an = q.CN0Analyzer.from_obs(small)
    an.set_navigation(navs[0])
    lone = q.CN0Analyzer.from_obs(small)
    if method == "analyze_file":
        call = lambda: an.analyze_file(big_obs)  # noqa: E731
        lone_result = lone.analyze_file(big_obs)
    else:
        call = lambda: an.analyze_with_nav(big_obs, nav_path())  # noqa: E731
        lone_result = lone.analyze_with_nav(big_obs, nav_path())

    thread, started, box = run_in_thread(call)
    started.wait()
    # Alternate between the two navigation sets until two calls in a row were refused, the last
    # one with the set that is not in place. A call that goes through before the analysis has
    # started (or after it ended) simply sets its data.
    in_place = 0
    refused_in_a_row = 0
    calls = 0
    while thread.is_alive():
        choice = calls % 2
        calls += 1
        try:
            an.set_navigation(navs[choice])
        except RuntimeError as e:
            assert str(e) == "Already borrowed"
            refused_in_a_row += 1
            if refused_in_a_row >= 2 and choice != in_place:
                break
        else:
            in_place = choice
            refused_in_a_row = 0
    # Reading the analyzer is allowed meanwhile.
    during = digest(an.analyze())
    thread.join()

    assert refused_in_a_row >= 2, "the analysis ended before set_navigation was ever refused"
    assert "error" not in box, box.get("error")
    result = box["result"]
    assert isinstance(result, q.AnalysisResult)
    assert (result.total_observations, result.mean_cn0, result.anomaly_count) == (
        lone_result.total_observations, lone_result.mean_cn0, lone_result.anomaly_count)
    # The refused calls changed nothing: the navigation set last accepted is still in place.
    assert during == expected[in_place]
    assert digest(an.analyze()) == expected[in_place]
    # Once the analysis has returned, set_navigation works again.
    assert an.set_navigation(navs[1 - in_place]) is None
    assert digest(an.analyze()) == expected[1 - in_place]


# --- analyses side by side -----------------------------------------------------------------------


@pytest.mark.parametrize("method", ["analyze_file", "analyze_with_nav"])
def test_two_analyses_of_one_analyzer_side_by_side(big_obs, method):
    if method == "analyze_file":
        an = q.CN0Analyzer(q.AnalysisConfig(nav_file=nav_path()))
        call = lambda: an.analyze_file(big_obs)  # noqa: E731
    else:
        an = q.CN0Analyzer(q.AnalysisConfig())
        call = lambda: an.analyze_with_nav(big_obs, nav_path())  # noqa: E731
    alone = digest(call())

    barrier = threading.Barrier(2)
    digests: list[str] = []
    errors: list[BaseException] = []

    def body():
        try:
            barrier.wait()
            result = call()
            digests.append(digest(result))
        except BaseException as e:  # noqa: BLE001 - handed to the test thread
            errors.append(e)

    threads = [threading.Thread(target=body) for _ in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == []
    assert digests == [alone, alone]
