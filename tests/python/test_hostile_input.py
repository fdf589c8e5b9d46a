"""Hostile input: prefixes of real and packed files, random and damaged bytes, absurd counts, numbers of thousands
of digits, calendar fields out of range. Readers give their lenient reading or their one described error (no header
end, or a decoder naming its format), never a crash, and every analysis writes standard JSON. The inputs are sized so
that a reader that turned quadratic would make this file crawl."""

from __future__ import annotations

import gzip
import itertools
import json
import random
import shutil
import subprocess

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, code_lines, epoch_line, header_line, needs_data, obs_text, rinex2_text, sat_line

NO_HEADER = "^No END OF HEADER found$"
V3, V2, NAV = "TLSE00FRA_R_20230010000_10S_01S_MO.rnx", "tlse001b.23o", "BRDC00IGS_R_20230010000_01D_MN.rnx"
HEAD = obs_text([], codes={"G": ["C1C", "L1C", "S1C"], "R": ["S1C"]}, position=(4627852.7, 119640.6, 4372995.1))
NEXT = epoch_line(60, 2) + sat_line("G07", [2e7, 1e8, 41.0]) + sat_line("R02", [39.0])
SAT = sat_line("G01", [2e7, 1e8, 45.0])


def read(data: bytes | str, name: str = "hostile.rnx") -> q.RinexObsData:
    return q.read_rinex_obs_bytes(data.encode("latin-1") if isinstance(data, str) else data, name)


def answers(obs: q.RinexObsData) -> tuple:
    return (repr(obs), obs.marker_name, obs.interval, obs.satellites_by_system(), obs.obs_types_by_system(),
            obs.snr_availability(), obs.snr_stats_by_satellite(), obs.debug_info())


def analyses(tmp_path, data: bytes | str, nav: str | None = None) -> list[dict]:
    """The documents of every entry point after every view of the result was read: standard JSON in both layouts."""
    path = tmp_path / "hostile.rnx"
    path.write_bytes(data.encode("latin-1") if isinstance(data, str) else data)
    docs, analyzer = [], q.CN0Analyzer.from_obs(q.read_rinex_obs(str(path)))
    analyzer.set_navigation(q.read_navigation(nav)) if nav else None
    for r in (q.analyze_cn0(str(path), nav), q.CN0Analyzer(q.AnalysisConfig(nav_file=nav)).analyze_file(str(path)), analyzer.analyze()):
        for obj in (r, r.quality_score):
            for name in (n for n in dir(type(obj)) if not n.startswith("_")):
                value, signature = getattr(obj, name), getattr(getattr(type(obj), name), "__text_signature__", None)
                value("GPS") if name == "get_constellation_summary" else value() if signature == "($self)" else None
        strict = [json.loads(t, parse_constant=lambda w: pytest.fail(f"not JSON: {w}")) for t in (r.to_json(), r.to_json_pretty())]
        assert strict[0] == strict[1]
        docs.append(strict[0])
    return docs


def compress(data: bytes) -> bytes:
    if shutil.which("compress") is None:
        pytest.skip("the Unix compress program is not installed")
    return subprocess.run(["compress", "-c"], input=data, capture_output=True, check=True).stdout


@needs_data
@pytest.mark.parametrize("name, pack, stride, epochs, words", [
    (V3, bytes, 61, 11, ()), (V2, bytes, 61, 10, ()), ("TLSE00FRA_R_20230010000_10S_01S_MO.crx", bytes, 97, 10, ("compact RINEX",)),
    (V3, lambda d: gzip.compress(d, mtime=0), 13, 11, ("gzip",)), (V3, compress, 29, 11, ("compress",)),
])
def test_every_prefix_reads_or_names_its_fault(name, pack, stride, epochs, words):
    data = pack((DATA_DIR / name).read_bytes())
    assert read(data).num_epochs == epochs
    if pack is not bytes:
        assert answers(read(data)) == answers(read((DATA_DIR / name).read_bytes()))
    before = 0
    for n in sorted(set(range(0, min(len(data), 600))) | set(range(600, len(data), stride))):
        try:
            obs = read(data[:n])
        except ValueError as error:
            assert str(error) == "No END OF HEADER found" or any(w in str(error) for w in words), (n, str(error))
            assert words or b"END OF HEADER" not in data[:n]
            continue
        # A longer prefix holds every epoch of a shorter one.
        assert before <= obs.num_epochs <= epochs
        before = obs.num_epochs
    # A RINEX 3 prefix ending anywhere in an epoch line holds exactly the epochs before it.
    for count, start in enumerate(k + 1 for k in range(len(data) - 1) if name == V3 and pack is bytes and data[k:k + 2] == b"\n>"):
        assert {read(data[:cut]).num_epochs for cut in range(start, data.index(b"\n", start) + 1, 7)} == {count}


@needs_data
def test_empty_and_endless_inputs(tmp_path):
    empty, v3, nav = tmp_path / "empty.rnx", str(DATA_DIR / V3), str(DATA_DIR / NAV)
    empty.write_bytes(b"")
    an = q.CN0Analyzer(q.AnalysisConfig())
    for call in (lambda: q.read_rinex_obs(str(empty)), lambda: q.read_navigation(str(empty)),
                 lambda: q.analyze_cn0(str(empty)), lambda: q.analyze_cn0(v3, str(empty)), lambda: an.analyze_file(str(empty)),
                 lambda: an.analyze_with_nav(v3, str(empty)), lambda: an.analyze_with_nav(str(empty), nav),
                 lambda: q.read_rinex_obs("/dev/null"), lambda: read(b"A" * 20_000_000),
                 lambda: q.read_navigation_bytes(b"A" * 20_000_000)):
        with pytest.raises(ValueError, match=NO_HEADER):
            call()
    rng = random.Random(20240305)
    for _ in range(100):
        blob = rng.randbytes(rng.randrange(0, 6000))
        for call in (read, q.read_navigation_bytes):
            with pytest.raises(ValueError, match=NO_HEADER):
                call(blob)
        assert q.parse_tle_content(blob.decode("latin-1")) == 0
    # The header end may stand anywhere after column 60; a satellite line may never end.
    assert read(b" " * 60 + b"X" * 20_000_000 + b" END OF HEADER").num_epochs == 0
    obs = read(obs_text([], codes={"G": ["S1C"]}) + epoch_line(0, 1) + "G01" + "        45.250  " * 1_000_000)
    assert obs.snr_stats_by_satellite() == {"G01": {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 45.25}}


@needs_data
@pytest.mark.parametrize("name", [V3, V2])
def test_damaged_real_files(tmp_path, name):
    data, nav = (DATA_DIR / name).read_bytes(), str(DATA_DIR / NAV)
    start = data.index(b"\n", data.index(b"END OF HEADER")) + 1
    whole, expected = answers(read(data)), analyses(tmp_path, data)
    # NUL bytes after the last column of every line and bytes beyond ASCII in comments change nothing.
    salted = b"\n".join([line + (b" \x00" if line.startswith(b">") else b"\x00") for line in data.split(b"\n")])
    at = data.index(b"\n") + 1
    salted = salted[:at] + (bytes(range(160, 215)) + b"\x00Zrich").ljust(60) + b"COMMENT\n" + salted[at:]
    assert (answers(read(salted)), analyses(tmp_path, salted)) == (whole, expected)
    # Bytes flipped, dropped, doubled and lines broken anywhere after the header; NUL bytes sprinkled.
    rng = random.Random(name)
    for round_ in range(20):
        body = bytearray(data[start:])
        for _ in range(rng.randrange(1, 200)):
            at, cut = rng.randrange(len(body)), rng.randrange(1, 100)
            body[at:at + cut * (rng.random() < 0.5)] = rng.choice([bytes([rng.randrange(256)]), body[at:at + 4 * cut], b"\n",
                                                                    b"\r\n", b"\x00", b">", b" 999999999\n"])
        if round_ % 5 == 4:
            body = bytes(b if k % (7 * round_) else 0 for k, b in enumerate(data[start:]))
        obs = read(data[:start] + bytes(body))
        assert obs.obs_types_by_system() == whole[4]
        answers(obs)
        if round_ % 4 == 0:
            analyses(tmp_path, data[:start] + bytes(body), nav if round_ % 8 == 0 else None)


def epoch(fields: str, count: str = "1", flag: str = "0") -> str:
    return f"> {fields}  {flag} {count}\n"


def codes(n: int, first: str) -> list[str]:
    return [first + "".join(t) for t in itertools.islice(itertools.product("ABCDEFGHIJKLMNOPQRSTUVWXYZ", repeat=4), n)]


def v3(code_list: str, body: str) -> str:
    return header_line("3.04".rjust(9), "RINEX VERSION / TYPE") + code_list + header_line("", "END OF HEADER") + body


D5000, IDS = "9" * 5000, ["G" + a + b for a in map(chr, range(33, 127)) for b in map(chr, range(33, 127))]
G01 = {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 45.0}
NONE = {"obs_count": 1.0, "valid_count": 0.0, "mean_snr": 0.0}
# text -> (epochs, start time, satellites by system, S statistics of G01); None: not checked.
HOSTILE = [
    (HEAD + epoch("2024 13 40 25 61 75.0") + SAT + NEXT, 2, "2024-13-40T25:61:75.000Z", None, G01),
    (HEAD + epoch(f"2024 03 05 07 08 0.{'1' * 5000}") + SAT, 1, "2024-03-05T07:08:00.111Z", None, None),
    (HEAD + epoch("2024 4294967295 4294967295 4294967295 4294967295 0.0") + SAT, 1,
     "2024-4294967295-4294967295T4294967295:4294967295:00.000Z", None, None),
    (HEAD + epoch("2147483647 03 05 07 08 9.0") + SAT, 1, "2147483647-03-05T07:08:09.000Z", None, None),
    *[(HEAD + epoch(f) + SAT, 1, None, None, G01) for f in ("-2147483648 03 05 07 08 9.0", "2024 03 05 07 08 1e400",
                                                          "2024 03 05 07 08 nan", "2024 03 05 07 08 -inf", "2024 03 05 07 08 4e-320")],
    # Epoch lines that do not read are skipped with their satellites, and so are counts that do not.
    *[(HEAD + epoch(f, c) + SAT + NEXT, 1, "2024-01-07T00:01:00.000Z", {"G": ["G07"], "R": ["R02"]}, None) for f, c in (
        ("2024 -3 05 07 08 9.0", "1"), ("2024 03 05 07 08 9.0.0", "1"), (f"{'2' * 5000} 03 05 07 08 9.0", "1"),
        ("2147483648 03 05 07 08 9.0", "1"), ("2024 4294967296 05 07 08 9.0", "1"), ("", "1"), ("2024 03 05 07 08 9.0", D5000))],
    (HEAD + epoch("2024 03 05 07 08 9.0", "1", D5000) + SAT + NEXT, 2, None, None, G01),  # a flag that does not read is 0
    # More satellites announced than follow: the next epoch line ends the list.
    *[(HEAD + epoch("2024 03 05 07 08 9.0", c) + SAT + sat_line("R01", [43.0]) + NEXT, 2, None,
       {"G": ["G01", "G07"], "R": ["R01", "R02"]}, G01) for c in ("999999999", "18446744073709551615")],
    (HEAD + epoch("2024 03 05 07 08 9.0", "3") + "G01" + "           inf  " * 3 + "\nG02" + "           nan  " * 3
     + "\nR01          -inf  \n" + NEXT, 2, None, None, NONE),
    (HEAD + epoch("2024 03 05 07 08 9.0") + "G01" + D5000 + "\n", 1, None, None, NONE),
    (rinex2_text([], ["C1", "L1", "S1"]) + " 24  1  7  0  0  0.0000000  0  1G01\n" + D5000 + "\n", 1, None, None, NONE),
    # Two-digit years below 80 are of the 2000s, -5 included; a sign is not a digit of a field.
    (rinex2_text([], ["S1"]) + " -5 13 40 25 61 75.0000000  0  1G01\n        45.000\n"
     + " 24 -3  5  7  8  9.0000000  0  1G01\n        46.000\n", 1, "1995-13-40T25:61:75.000Z", None, G01),
    (rinex2_text([], ["S1"]) + " 24  1  7  0  0  0.0000000  0999G01G02\n" + "        45.000\n" * 3, 0, None, {}, None),
    # A satellite repeated in one epoch keeps its last line.
    (v3(code_lines("G", ["S1C"]), epoch("2024 03 05 07 08 9.0", str(len(IDS) + 20_000)) + "".join(sat_line(s, [30.0]) for s in IDS)
     + "".join(sat_line("G01", [21.0 + k % 25]) for k in range(20_000))), 1, None, None, G01),
    # Codes named twice keep the later field, for thousands of codes; 65537 codes keep the last field to the last code.
    (v3(code_lines("G", codes(3000, "S") * 2, 9), epoch_line(0, 1) + "G01" + "".join(f"{10.0 + k % 7:14.3f}  " for k in range(3000))
        + f"{45.0:14.3f}  " * 3000 + "\n"), 1, None, None, {"obs_count": 3000.0, "valid_count": 3000.0, "mean_snr": 45.0}),
    (v3(code_lines("G", codes(65536, "C") + ["SAAAA"], 9), epoch_line(0, 1) + "G01" + " " * 16 * 65536 + "        45.000  \n"),
     1, None, None, G01),
    # A hundred thousand GLONASS slots in the header.
    (v3("".join(header_line(" ".join(f"R{k * 8 + j:02d} {j - 4:2d}" for j in range(8)), "GLONASS SLOT / FRQ #")
                for k in range(12_500)) * 2 + code_lines("R", ["S1C"]), epoch_line(0, 1) + sat_line("R07", [41.0])),
     1, None, {"R": ["R07"]}, None),
]


@pytest.mark.parametrize("text, epochs, start, satellites, g01", HOSTILE, ids=[str(k) for k in range(len(HOSTILE))])
def test_hostile_records(tmp_path, text, epochs, start, satellites, g01):
    name = 'a"b\\c\nd\x01\x7f\u00e9\u2603'  # the file name is escaped in the document
    obs = read(text, name)
    assert obs.num_epochs == epochs
    assert satellites is None or obs.satellites_by_system() == satellites
    assert g01 is None or obs.snr_stats_by_satellite()["G01"] == g01
    doc = analyses(tmp_path, text)[0]
    assert start is None or doc["file_info"]["start_time"] == start
    assert json.loads(q.CN0Analyzer.from_obs(obs).analyze().to_json())["file_info"]["filename"] == name
