"""Many files at once: threads, a two-worker Dask cluster on the loopback interface, one-by-one
analysis, a worker killed mid-run, bad files among good ones, pickled results and --resume."""

from __future__ import annotations

import faulthandler
import gzip
import os
import pickle
import random
import struct
import subprocess
import sys

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, NO_DATA_REASON

pd = pytest.importorskip("pandas", reason="the batch tables need pandas")
batch = pytest.importorskip("quorsin_cn0.batch")

SHORT = "TLSE00FRA_R_20230010000_10S_01S_MO"
BRDC3 = "BRDC00IGS_R_20230010000_01D_MN.rnx"


@pytest.fixture(scope="module")
def archive(tmp_path_factory):
    """Real files linked under distinct station names, with bad ones among them."""
    if not DATA_DIR.is_dir():
        pytest.skip(NO_DATA_REASON)
    root = tmp_path_factory.mktemp("archive")
    (root / "r3").mkdir(), (root / "r2").mkdir()
    links = {"r3/" + BRDC3: BRDC3, "r3/TLSE00FRA_R_20230010000_10S_01S_MO.rnx": SHORT + ".rnx",
             "r3/TLS200FRA_R_20230010000_10S_01S_MO.crx": SHORT + ".crx",
             "r2/brdc0010.21n": "brdc0010.21n", "r2/zimm0010.21o": "zimm0010.21o", "r2/zim20010.21o": "zimm0010.21o"}
    for name, source in links.items():
        (root / name).symlink_to(DATA_DIR / source)
    (root / "r3/BAD_00XXX_R_20230010000_10S_01S_MO.rnx").write_text("not a RINEX file\n")
    packed = gzip.compress((DATA_DIR / (SHORT + ".rnx")).read_bytes())
    (root / "r3/CUT_00XXX_R_20230010000_10S_01S_MO.rnx.gz").write_bytes(packed[: len(packed) // 2])
    good = [str(root / n) for n in links if "MO." in n or n.endswith("o")]
    bad = [str(root / "r3/BAD_00XXX_R_20230010000_10S_01S_MO.rnx"), str(root / "r3/CUT_00XXX_R_20230010000_10S_01S_MO.rnx.gz"),
           str(root / "r3/missing.rnx")]
    return root, good, bad


@pytest.fixture(scope="module")
def client():
    distributed = pytest.importorskip("distributed", reason="the cluster tests need dask[distributed]")
    faulthandler.dump_traceback_later(600, exit=True)  # a hung cluster ends the run, not the CI time
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None, silence_logs=40) as cluster, \
            distributed.Client(cluster, timeout=60) as c:
        c.wait_for_workers(2, timeout=120)
        yield c
    faulthandler.cancel_dump_traceback_later()


def without_times(frame):
    return frame.drop(columns=["run_time_s"], errors="ignore").reset_index(drop=True)


@pytest.mark.parametrize("obs, folder, expected", [
    ("ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz", ["ESBC00DNK_R_20201770000_01D_MN.rnx", "ESBC00DNK_R_20201770000_01D_GN.rnx",
     "BRDC00IGS_R_20201770000_01D_MN.rnx.gz"], ["ESBC00DNK_R_20201770000_01D_MN.rnx"]),
    ("NYA100NOR_S_20241241200_01H_30S_MO.crx.gz", ["NYA100NOR_S_20241240000_01D_GN.rnx", "NYA100NOR_S_20241240000_01D_EN.rnx",
     "NYA100NOR_S_20241250000_01D_CN.rnx", "NYA200NOR_S_20241240000_01D_CN.rnx"],
     ["NYA100NOR_S_20241240000_01D_EN.rnx", "NYA100NOR_S_20241240000_01D_GN.rnx"]),
    ("AJAC00FRA_R_20242090000_01D_30S_MO.crx.gz", ["GRAS00FRA_R_20242090000_01D_EN.rnx", "BRDC00IGS_R_20242090000_01D_MN.rnx.gz",
     "BRDC00IGS_R_20242100000_01D_MN.rnx.gz", "brdc2090.24n"], ["BRDC00IGS_R_20242090000_01D_MN.rnx.gz"]),
    ("SEPT265G.21O", ["SEPT2650.21P", "SEPT2650.21N", "brdc2650.21n"], ["SEPT2650.21P"]),
    ("amel0010.21d.Z", ["amel0010.21n", "amel0010.21g", "amel0020.21n", "brdc0010.21n"], ["amel0010.21g", "amel0010.21n"]),
    ("zimm0010.21o", ["brdc0010.21n", "brdc0010.20n", "BRDC00IGS_R_20210010000_01D_MN.rnx"],
     ["BRDC00IGS_R_20210010000_01D_MN.rnx"]),
    ("york0440.15d", ["brdc0440.15n"], ["brdc0440.15n"]),
    ("site.obs", ["brdc0010.21n"], []),
    ("zimm0010.21o", [], []),
])
def test_navigation_found_by_name(tmp_path, obs, folder, expected):
    for name in [obs, *folder]:
        (tmp_path / name).write_text("")
    assert batch.find_navigation(str(tmp_path / obs)) == [str(tmp_path / n) for n in expected]


def test_navigation_given_explicitly(tmp_path):
    a, b = str(tmp_path / "a.obs"), str(tmp_path / "b.obs")
    assert batch.pair_navigation([a, b], "n.rnx") == [["n.rnx"], ["n.rnx"]]
    assert batch.pair_navigation([a, b], ["n1", "n2"]) == [["n1", "n2"], ["n1", "n2"]]
    assert batch.pair_navigation([a, b], {a: "n1", b: ["n2", "n3"]}) == [["n1"], ["n2", "n3"]]
    assert batch.pair_navigation([a], []) == [[]] and batch.pair_navigation([a], {}) == [[]]


def test_cluster_threads_and_one_by_one_give_the_same_tables(archive, client):
    root, good, bad = archive
    paths = good + bad
    # The pairs of the data's README, given as a mapping; the other two runs find them by name.
    known = {p: [os.path.join(os.path.dirname(p), BRDC3 if "_R_" in p else "brdc0010.21n")] for p in good}
    threads = batch.analyze_many(paths, workers=2, progress=False)
    cluster = batch.analyze_many(paths, scheduler=client, progress=False)
    serial = batch.analyze_many(paths, nav=known, workers=1, progress=False)
    for tables in (cluster, serial):
        pd.testing.assert_frame_equal(without_times(tables.files), without_times(threads.files))
        pd.testing.assert_frame_equal(tables.events, threads.events)
    files = threads.files.set_index("path")
    assert list(threads.files["path"]) == paths and set(files.loc[good, "error"]) == {""}
    assert files.loc[bad, "error"].str.len().gt(0).all() and files.loc[bad, "epochs"].isna().all()
    for path in good:  # the row holds what analysing the file alone gives
        result = q.analyze_cn0(path, known[path])
        row = files.loc[path]
        assert list(row["navigation"]) == known[path] and row["station"] == result.station_name
        assert row["first_epoch"] == pd.Timestamp(result.start_time[:-1]) and row["interval"] == result.interval
        assert (row["epochs"], row["score"], row["grade"]) == (result.total_epochs, result.score, result.quality_grade)
        assert (row["interference_verdict"], row["anomalies"]) == (result.interference_verdict, result.anomaly_count)
        evs = threads.events[threads.events["path"] == path]
        assert row["events"] == len(evs) == len(result.interference_events())
        assert list(evs["kind"]) == [e["kind"] for e in result.interference_events()]
    assert files.loc[good[-1], "sats_G"] == 31 and files.loc[good[0], "cn0_L1"] > 30


def test_worker_killed_mid_run_still_yields_every_row(archive, client):
    root, good, _ = archive
    paths = [p for p in good if p.endswith("o")] * 4  # full days: long enough to be killed in
    navs = batch.pair_navigation(paths)
    pids = client.run(os.getpid)
    rows = []
    for _, row, _ in batch.iter_rows(paths, navs, scheduler=client):
        if not rows:
            os.kill(next(iter(pids.values())), 9)
        rows.append(row)
    assert len(rows) == len(paths) and {r["error"] for r in rows} == {""}
    client.wait_for_workers(2, timeout=120)
    assert set(client.run(os.getpid).values()) != set(pids.values())  # the nanny started a new one


def test_pickled_result_round_trip_and_damaged_states(archive):
    root, good, _ = archive
    for path, nav in ((good[0], [str(root / "r3" / BRDC3)]), (good[-1], [str(root / "r2/brdc0010.21n")])):
        result = q.analyze_cn0(path, nav)
        back = pickle.loads(pickle.dumps(result))
        assert back.to_json() == result.to_json() and back.rinex_version == result.rinex_version
        assert back.interference_events() == result.interference_events() and back.health() == result.health()
        assert back.to_dataframe("samples").equals(result.to_dataframe("samples"))
    restore, (state,) = result.__reduce__()
    assert restore.__module__ == "quorsin_cn0._core" and restore(state).to_json() == result.to_json()
    small = q.analyze_cn0(good[0]).__reduce__()[1][0]
    damaged = [state[:n] for n in (0, 4, 5, 6, 200, len(state) // 2, len(state) - 1)]
    damaged += [state[:4] + b"\x02" + state[5:], b"QCN0" + state[4:], state + b"\0"]
    for bad in damaged:
        with pytest.raises(ValueError, match="^AnalysisResult state: "):
            restore(bad)
    rng = random.Random(14)
    for _ in range(400):  # any altered byte: a result or ValueError, never a crash
        i = rng.randrange(5, len(small))
        try:
            restore(small[:i] + bytes([rng.randrange(256)]) + small[i + 1:]).to_json()
        except ValueError:
            pass
    with pytest.raises(TypeError):
        restore(bytearray(state))


def test_state_with_samples_outside_their_tables_is_refused(write):
    path = write("a.24o", "     3.04".ljust(60) + "RINEX VERSION / TYPE\n" + "".ljust(60) + "END OF HEADER\n")
    restore, (state,) = q.analyze_cn0(path).__reduce__()
    # No samples (nine empty columns), no events, verdict "none", no health figures.
    tail = b"\0" * 9 + b"\0\x04none\0\0\0"
    assert state.endswith(tail) and restore(state).to_json() == q.analyze_cn0(path).to_json()
    head, number = state[:-len(tail)], b"\x01" + struct.pack("<d", 40.0)
    for columns, why in [(b"\x01\x05\x01\0\x01\0" + number * 3, "sample index out of its table"),
                         (b"\x01\0\0\0" + number * 3, "sample columns differ in length")]:
        with pytest.raises(ValueError, match=why):
            restore(head + b"\0\0\0" + columns + tail[9:])


def run_batch(*args):
    return subprocess.run([sys.executable, "-m", "quorsin_cn0", "batch", *args], capture_output=True, text=True,
                          timeout=300, env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})


def test_resume_continues_and_retries_failures(archive, tmp_path):
    pq = pytest.importorskip("pyarrow.parquet", reason="Parquet output needs pyarrow")
    root, _, _ = archive
    out, events = tmp_path / "kpis.parquet", tmp_path / "events.parquet"
    first = run_batch(str(root / "r3/*_MO.*"), "--out", str(out), "--events", str(events))
    assert first.returncode == 1 and "BAD_00XXX" in first.stderr and "CUT_00XXX" in first.stderr
    before = pq.read_table(out).to_pandas()
    assert len(before) == 4 and (before["error"] != "").sum() == 2
    second = run_batch(str(root / "r3/*_MO.*"), str(root / "r2/*.21o"), "--out", str(out), "--events",
                       str(events), "--resume", "--workers", "2")
    assert second.returncode == 1 and "4 analysed, 2 failed, 2 already done" in second.stderr
    after = pq.read_table(out).to_pandas()
    kept = after[after["path"].isin(before.loc[before["error"] == "", "path"])]
    pd.testing.assert_frame_equal(kept.reset_index(drop=True), before[before["error"] == ""].reset_index(drop=True))
    assert len(after) == 6 and after["path"].is_unique and (after["error"] != "").sum() == 2
    ev = pq.read_table(events).to_pandas()
    assert ev.groupby("path").size().to_dict() == after.set_index("path")["events"][lambda s: s > 0].to_dict()
    assert sorted(os.listdir(tmp_path)) == ["events.parquet", "kpis.parquet"]  # no temporary file left
    usage = run_batch(str(root / "nothing-*.rnx"), "--out", str(out))
    assert usage.returncode == 2 and "no file matches" in usage.stderr
