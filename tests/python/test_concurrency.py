"""Real threads: a file analysis releases the interpreter lock, its analyzer refuses set_navigation meanwhile
("Already borrowed") and stays as it was, and two analyses of one analyzer side by side give the lone result.
The input repeats a real file's epochs, 301 s later each time, into some 35 MB, so one analysis lasts a while."""

from __future__ import annotations

import datetime
import threading

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, needs_data

OBS, NAV, SMALL, SMALL_NAV = (str(DATA_DIR / n) for n in ("matrtklib_20240624_static_base.obs", "matrtklib_20240624_static_base.nav",
                                                          "matrtklib_20230711_base_100s.obs", "matrtklib_20230711_base.nav"))


@pytest.fixture(scope="module")
def big(tmp_path_factory) -> str:
    raw = open(OBS, "rb").read()
    end = raw.index(b"\n", raw.index(b"END OF HEADER")) + 1
    parts = [raw[:end]]
    for k in range(10):
        for line in raw[end:].splitlines(keepends=True):
            t = datetime.datetime(*map(int, line[1:20].split())) + datetime.timedelta(seconds=float(line[20:29]) + 301 * k) \
                if line.startswith(b">") else None
            parts.append(f"> {t:%Y %m %d %H %M}{t.second + t.microsecond / 1e6:11.7f}".encode() + line[29:] if t else line)
    (path := tmp_path_factory.mktemp("threads") / "long.obs").write_bytes(b"".join(parts))
    return str(path)


def in_thread(fn) -> tuple[threading.Thread, dict]:
    box: dict = {}
    (thread := threading.Thread(target=lambda: box.update(result=fn()))).start()
    return thread, box


@needs_data
def test_threads_and_file_analyses(big):
    navs, expected = [q.read_navigation(SMALL_NAV), q.read_navigation(NAV)], []
    for nav in navs:
        (ref := q.CN0Analyzer.from_obs(q.read_rinex_obs(SMALL))).set_navigation(nav)
        expected.append(ref.analyze().to_json())
    (an := q.CN0Analyzer.from_obs(q.read_rinex_obs(SMALL))).set_navigation(navs[0])
    alone = an.analyze_with_nav(big, NAV)
    assert (alone.total_epochs, alone.start_time, alone.end_time) == (3010, "2024-06-24T08:20:00.000Z", "2024-06-24T09:10:09.000Z")
    # While the analysis runs (it has released the lock, or this thread could not run), set_navigation is refused
    # and changes nothing; a call before it starts simply goes through.
    thread, box = in_thread(lambda: an.analyze_with_nav(big, NAV))
    refused, in_place, calls = 0, 0, 0
    while thread.is_alive() and refused < 3:
        calls += 1
        try:
            an.set_navigation(navs[calls % 2])
            in_place, refused = calls % 2, 0
        except RuntimeError as e:
            assert str(e) == "Already borrowed"
            refused += 1
    during = an.analyze().to_json()  # reading the analyzer is allowed meanwhile
    thread.join()
    assert refused == 3, "the analysis ended before set_navigation was refused"
    assert (box["result"].to_json(), during, an.analyze().to_json()) == (alone.to_json(), expected[in_place], expected[in_place])
    an.set_navigation(navs[1])
    assert an.analyze().to_json() == expected[1]
    threads = [in_thread(lambda: an.analyze_with_nav(big, NAV)) for _ in range(2)]
    [thread.join() for thread, _ in threads]
    assert [box["result"].to_json() == alone.to_json() for _, box in threads] == [True, True]
