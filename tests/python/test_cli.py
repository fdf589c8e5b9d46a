"""The quorsin-cn0 command line run as a user runs it: a subprocess, its output and exit status."""

from __future__ import annotations

import gzip
import json
import os
import subprocess
import sys

import pytest

from conftest import DATA_DIR, NO_DATA_REASON, have_data

ESBC = ("ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz", "ESBC00DNK_R_20201770000_01D_MN.rnx")


def run(*args: str, cwd=None) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-m", "quorsin_cn0", *args], capture_output=True, text=True,
                          timeout=300, cwd=cwd, env=dict(os.environ, COLUMNS="200"))


@pytest.fixture(scope="module")
def example():
    from quorsin_cn0.cli import example_paths

    obs, nav = example_paths()
    return obs, nav[0]


def test_example_is_small_real_and_licensed(example):
    obs, nav = example
    assert os.path.getsize(obs) + os.path.getsize(nav) <= 300_000
    folder = os.path.dirname(obs)
    readme = open(os.path.join(folder, "README.md"), encoding="utf-8").read()
    assert "MPL-2.0" in readme and "nav-solutions/data" in readme
    assert gzip.decompress(open(nav, "rb").read()).startswith(b"     3.05           NAVIGATION DATA")


def test_table_of_the_example(example):
    p = run("--example")
    assert p.returncode == 0, p.stderr
    head, row = p.stdout.splitlines()
    assert head.split()[:3] == ["station", "first", "epoch"]
    # Station, first epoch, three hours, 360 epochs, satellites of four systems, a grade, a verdict.
    assert row.split()[:5] == ["ESBC00DNK", "2020-06-25", "06:00:00", "3h00m", "360"]
    for part in ("G19", "R14", "E12", "C15", "L1:", "none"):
        assert part in row
    assert p.stderr == ""


def test_json_lines_carry_the_result_events_and_health(example):
    obs, nav = example
    p = run(obs, obs, "--nav", nav, "--json")
    assert p.returncode == 0, p.stderr
    lines = p.stdout.splitlines()
    assert len(lines) == 2
    doc = json.loads(lines[0])
    assert doc["file"] == obs and doc["summary"]["total_epochs"] == 360
    assert doc["visibility"]["has_prediction"] is True
    assert doc["verdict"] in ("none", "interference", "possible_spoofing")
    assert isinstance(doc["events"], list) and "band_cn0" in doc
    assert "health" in doc
    assert json.loads(lines[1])["summary"] == doc["summary"]


def test_several_navigation_files_merge(example, tmp_path):
    obs, nav = example
    # The same records twice give the same visibility as once: merging keeps every record.
    one = json.loads(run(obs, "--nav", nav, "--json").stdout)
    two = json.loads(run(obs, "--nav", nav, "--nav", nav, "--json").stdout)
    assert one["visibility"]["prediction_source"] == two["visibility"]["prediction_source"]
    assert one["summary"] == two["summary"]


@pytest.mark.parametrize("bad, reason", [
    ("missing.rnx", "No such file"),
    ("corrupt.rnx", ""),
    ("folder", ""),
])
def test_bad_files_among_good_ones(example, tmp_path, bad, reason):
    obs, _ = example
    (tmp_path / "corrupt.rnx").write_bytes(b"\x1f\x8b\x08\x00garbage" * 50)
    (tmp_path / "folder").mkdir()
    p = run(obs, str(tmp_path / bad), obs)
    assert p.returncode == 1
    errors = p.stderr.splitlines()
    assert len(errors) == 1 and str(tmp_path / bad) in errors[0] and reason in errors[0]
    assert len(p.stdout.splitlines()) == 3  # head and the two good files


def test_bad_navigation_file_is_named(example, tmp_path):
    obs, nav = example
    p = run(obs, "--nav", nav, "--nav", str(tmp_path / "gone.rnx"))
    assert p.returncode == 1 and "gone.rnx" in p.stderr


@pytest.mark.parametrize("args", [[], ["--min-elevation", "high", "x"], ["--systems", "X", "x"], ["report"],
                                  ["--no-such-option"]])
def test_usage_errors_exit_2(args):
    p = run(*args)
    assert p.returncode == 2, (p.stdout, p.stderr)


def test_help_shows_an_example():
    p = run("--help")
    assert p.returncode == 0 and "quorsin-cn0 report --example -o example.html" in p.stdout


def test_report_is_written_whole_or_not_at_all(example, tmp_path):
    out = tmp_path / "r.html"
    p = run("report", "--example", "-o", str(out))
    assert p.returncode == 0, p.stderr
    text = out.read_text(encoding="utf-8")
    assert text.startswith("<!DOCTYPE html>") and text.endswith("</html>")
    assert "Verdict:" in text and "http" not in text.split("<script")[0].lower().replace("https://mozilla", "")
    before = sorted(os.listdir(tmp_path))
    p = run("report", str(tmp_path / "missing.rnx"), "-o", str(tmp_path / "x.html"))
    assert p.returncode == 1 and "missing.rnx" in p.stderr
    assert sorted(os.listdir(tmp_path)) == before  # no half-written or temporary file left


def test_notebook_card_is_plain_html(example):
    import quorsin_cn0 as q

    card = q.analyze_cn0(*example)._repr_html_()
    assert "<script" not in card and "grade" in card and len(card) < 20_000


@pytest.mark.skipif(not have_data(), reason=NO_DATA_REASON)
def test_full_day_report_size(tmp_path):
    out = tmp_path / "esbc.html"
    p = run("report", str(DATA_DIR / ESBC[0]), "--nav", str(DATA_DIR / ESBC[1]), "-o", str(out))
    assert p.returncode == 0, p.stderr
    assert out.stat().st_size <= 5_000_000
