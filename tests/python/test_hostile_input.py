"""Hostile input through the Python surface. Every prefix of real files, packed files cut short,
empty and endless inputs, random bytes, NUL and non-ASCII bytes, absurd satellite counts, numbers
of thousands of digits and calendar fields out of range: the readers give their lenient reading or
their one described error ("No END OF HEADER found", or a decoder's message naming its format),
never a crash, and every analysis of what they read writes valid JSON.

No test measures time; the inputs are sized so that a reader that turned quadratic would make this
file crawl (benchmarks/bench_hostile.py gives the figures)."""

from __future__ import annotations

import gzip
import itertools
import json
import math
import random
import shutil
import subprocess

import pytest

import quorsin_cn0 as q
from conftest import (DATA_DIR, end_of_header, have_data, header_line, v2_epoch, v2_obs_types, v2_record,
                      v3_epoch, v3_obs_types, v3_sat, version_line)

NO_HEADER = "No END OF HEADER found"
V3_FILE = "TLSE00FRA_R_20230010000_10S_01S_MO.rnx"
CRX_FILE = "TLSE00FRA_R_20230010000_10S_01S_MO.crx"  # its first 10 epochs, Compact RINEX
V2_FILE = "tlse001b.23o"
NAV_FILE = "BRDC00IGS_R_20230010000_01D_MN.rnx"  # broadcast records of the same day as the three above
POSITION = header_line("  4627852.7427   119640.5773  4372995.1476", "APPROX POSITION XYZ")

needs_data = pytest.mark.skipif(not have_data(), reason=f"real data folder {DATA_DIR} not found")


def real(name: str) -> bytes:
    return (DATA_DIR / name).read_bytes()


def header_end(data: bytes) -> int:
    """Length of the shortest prefix whose last line carries the END OF HEADER label."""
    return data.index(b"END OF HEADER") + len(b"END OF HEADER")


def strict_json(text: str):
    """JSON as the standard defines it: NaN and Infinity are not numbers of the language."""
    def refuse(word: str):
        raise ValueError(f"not JSON: {word}")
    return json.loads(text, parse_constant=refuse)


def answers(obs: q.RinexObsData) -> tuple:
    """Everything a parsed file tells, in a comparable form."""
    return (repr(obs), obs.version, obs.marker_name, obs.receiver_type, obs.interval, obs.num_epochs,
            obs.num_satellites, obs.satellites_by_system(), obs.obs_types_by_system(), obs.snr_availability(),
            obs.snr_stats_by_satellite(), obs.debug_info())


def read(data: bytes | str, filename: str = "hostile.rnx") -> q.RinexObsData:
    if isinstance(data, str):
        data = data.encode("latin-1")
    return q.read_rinex_obs_bytes(data, filename)


def exercise(result: q.AnalysisResult) -> dict:
    """Reads every attribute and calls every method of a result and of its quality score; the two
    JSON layouts must be standard JSON and hold the same document, which is returned."""
    for obj in (result, result.quality_score):
        for name in dir(type(obj)):
            if name.startswith("_"):
                continue
            value = getattr(obj, name)
            if callable(value) and name == "get_constellation_summary":
                for constellation in ("GPS", "GLONASS", "Galileo", "BeiDou", "", "nothing"):
                    value(constellation)
            elif callable(value):
                value()
        repr(obj)
    compact = strict_json(result.to_json())
    assert strict_json(result.to_json_pretty()) == compact
    return compact


def analyses(tmp_path, data: bytes | str, nav: str | None = None) -> list[dict]:
    """The JSON documents of every way of analysing the data: analyze_cn0, analyze_file (with the
    navigation file as nav_file), analyze_with_nav, and from_obs + set_navigation + analyze."""
    if isinstance(data, str):
        data = data.encode("latin-1")
    path = tmp_path / "hostile.rnx"
    path.write_bytes(data)
    results = [q.analyze_cn0(str(path), nav),
               q.CN0Analyzer(q.AnalysisConfig(nav_file=nav)).analyze_file(str(path))]
    analyzer = q.CN0Analyzer.from_obs(q.read_rinex_obs(str(path)))
    if nav is not None:
        results.append(q.CN0Analyzer(q.AnalysisConfig()).analyze_with_nav(str(path), nav))
        analyzer.set_navigation(q.read_navigation(nav))
    results.append(analyzer.analyze())
    return [exercise(r) for r in results]


@pytest.fixture(scope="module")
def nav_path() -> str:
    if not have_data():
        pytest.skip(f"real data folder {DATA_DIR} not found")
    return str(DATA_DIR / NAV_FILE)


# --- Files cut short -----------------------------------------------------------------------------


def prefix_lengths(size: int, every_byte_until: int, stride: int) -> list[int]:
    return sorted(set(range(0, min(every_byte_until, size) + 1)) | set(range(every_byte_until, size, stride)) | {size})


@needs_data
@pytest.mark.parametrize("name", [V3_FILE, V2_FILE])
def test_every_prefix_of_a_real_file_reads_or_lacks_its_header_end(name):
    data = real(name)
    done = header_end(data)
    whole = read(data)
    epochs_so_far = 0
    for n in prefix_lengths(len(data), done + 8192, 61):
        if n < done:
            with pytest.raises(ValueError, match=f"^{NO_HEADER}$"):
                read(data[:n])
            continue
        obs = read(data[:n])
        # A longer prefix holds every epoch of a shorter one; the last one may still be partial.
        assert epochs_so_far <= obs.num_epochs <= whole.num_epochs
        epochs_so_far = obs.num_epochs
        assert obs.num_satellites <= whole.num_satellites
        if n % 997 == 0:
            answers(obs)
    assert epochs_so_far == whole.num_epochs


@needs_data
def test_a_rinex3_prefix_ending_before_an_epoch_line_holds_exactly_the_epochs_before_it():
    data = real(V3_FILE)
    whole = read(data)
    starts = [k + 1 for k in range(len(data) - 1) if data[k:k + 2] == b"\n>"]
    assert len(starts) == whole.num_epochs == 11
    for count, start in enumerate(starts):
        obs = read(data[:start])
        assert obs.num_epochs == count
        # Cutting the epoch line itself anywhere leaves that epoch out.
        for cut in range(start + 1, data.index(b"\n", start) + 1):
            assert read(data[:cut]).num_epochs == count


def check_packed_prefixes(packed: bytes, lengths: list[int], format_words: tuple[str, ...], whole_epochs: int):
    """Each prefix reads (never more epochs than the whole file, and no fewer than a shorter prefix
    that read) or fails with the header error or a message naming the packing."""
    read_before = 0
    for n in lengths:
        try:
            obs = read(packed[:n])
        except ValueError as error:
            message = str(error)
            assert message == NO_HEADER or any(w in message for w in format_words), (n, message)
            continue
        assert read_before <= obs.num_epochs <= whole_epochs, n
        read_before = obs.num_epochs


@needs_data
def test_every_prefix_of_a_compact_rinex_file_reads_or_names_the_format():
    packed = real(CRX_FILE)
    assert read(packed).num_epochs == 10
    check_packed_prefixes(packed, prefix_lengths(len(packed), header_end(packed) + 4096, 29), ("compact RINEX",), 10)


@needs_data
def test_prefixes_of_gzip_files_read_or_name_the_format():
    plain = real(V3_FILE)
    packed = gzip.compress(plain, mtime=0)
    assert answers(read(packed)) == answers(read(plain))
    check_packed_prefixes(packed, prefix_lengths(len(packed), 256, 13)[:-1], ("gzip",), 11)
    # Cut short, gzip data always lacks its end: the decoder says so.
    for n in range(3, len(packed), 101):
        with pytest.raises(ValueError, match="gzip"):
            read(packed[:n])
    # Compact RINEX inside gzip, as stations publish it: the outer layer is the one cut short.
    nested = real("TLSE00FRA_R_20240011200_15M_01S_MO.crx.gz")[:300_000]
    for n in range(3, len(nested), 7919):
        with pytest.raises(ValueError, match="gzip"):
            read(nested[:n])


@needs_data
@pytest.mark.skipif(shutil.which("compress") is None, reason="the Unix compress program is not installed")
def test_prefixes_of_unix_compress_files_read_or_name_the_format():
    plain = real(V3_FILE)
    packed = subprocess.run(["compress", "-c"], input=plain, capture_output=True, check=True).stdout
    assert packed[:2] == b"\x1f\x9d"
    assert answers(read(packed)) == answers(read(plain))
    # LZW has no end marker: a cut at a code boundary decodes to a shorter text, read leniently.
    check_packed_prefixes(packed, prefix_lengths(len(packed), 512, 7), ("compress",), 11)


# --- Empty, bare and endless inputs --------------------------------------------------------------


def test_an_empty_input_lacks_its_header_end(tmp_path, nav_path):
    empty = tmp_path / "empty.rnx"
    empty.write_bytes(b"")
    for call in (lambda: q.read_rinex_obs_bytes(b"", "x"), lambda: q.parse_rinex(b"", "x"),
                 lambda: q.read_rinex_obs(str(empty)), lambda: q.read_navigation_bytes(b""),
                 lambda: q.read_navigation(str(empty)), lambda: q.analyze_cn0(str(empty)),
                 lambda: q.analyze_cn0(str(DATA_DIR / V3_FILE), str(empty)),
                 lambda: q.CN0Analyzer(q.AnalysisConfig()).analyze_file(str(empty)),
                 lambda: q.CN0Analyzer(q.AnalysisConfig()).analyze_with_nav(str(DATA_DIR / V3_FILE), str(empty)),
                 lambda: q.CN0Analyzer(q.AnalysisConfig()).analyze_with_nav(str(empty), nav_path)):
        with pytest.raises(ValueError, match=f"^{NO_HEADER}$"):
            call()
    assert q.parse_tle_content("") == 0
    with pytest.raises(ValueError, match=f"^{NO_HEADER}$"):
        q.read_rinex_obs("/dev/null")
    for call in (q.read_rinex_obs, q.read_navigation, q.CN0Analyzer(q.AnalysisConfig()).analyze_file):
        with pytest.raises(OSError, match=r"\(os error \d+\)$"):
            call(str(tmp_path))


HEADERS_ONLY = {
    "rinex3": version_line("3.04") + POSITION + v3_obs_types("G", ["C1C", "S1C"]) + end_of_header(),
    "rinex2": version_line("2.11") + POSITION + v2_obs_types(["C1", "S1"]) + end_of_header(),
    "no version": end_of_header(),
}


@pytest.mark.parametrize("kind", list(HEADERS_ONLY))
def test_a_file_of_only_a_header_has_no_epochs(tmp_path, nav_path, kind):
    obs = read(HEADERS_ONLY[kind], "bare.rnx")
    assert (obs.num_epochs, obs.num_satellites) == (0, 0)
    assert obs.satellites_by_system() == {} and obs.snr_stats_by_satellite() == {}
    assert obs.marker_name == "bare.rnx"
    for document in analyses(tmp_path, HEADERS_ONLY[kind]) + analyses(tmp_path, HEADERS_ONLY[kind], nav_path):
        assert document["summary"]["total_epochs"] == 0
        assert document["summary"]["total_observations"] == 0
        assert document["satellite_stats"] == {} and document["anomalies"] == []
    nav = q.read_navigation_bytes(HEADERS_ONLY[kind].encode())
    assert not nav.has_data() and nav.satellite_count == 0


def test_fifty_megabytes_on_one_line():
    endless = b"A" * 50_000_000
    with pytest.raises(ValueError, match=f"^{NO_HEADER}$"):
        read(endless)
    with pytest.raises(ValueError, match=f"^{NO_HEADER}$"):
        q.read_navigation_bytes(endless)
    assert q.parse_tle_content(endless.decode()) == 0

    # The header end may stand anywhere after column 60: one endless label still ends the header.
    label = b" " * 60 + b"X" * 50_000_000 + b" END OF HEADER"
    assert read(label).num_epochs == 0
    assert not q.read_navigation_bytes(label).has_data()

    # One epoch whose satellite line never ends: its first field is the only one with a code.
    head = version_line("3.04") + v3_obs_types("G", ["S1C"]) + end_of_header() + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1)
    obs = read(head.encode() + b"G01" + b"        45.250  " * 3_000_000)
    assert obs.num_epochs == 1
    assert obs.snr_stats_by_satellite() == {"G01": {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 45.25}}


# --- Random and damaged bytes ------------------------------------------------------------------


def test_random_bytes_lack_a_header_end():
    rng = random.Random(20240305)
    for _ in range(150):
        blob = rng.randbytes(rng.randrange(0, 6000))
        with pytest.raises(ValueError, match=f"^{NO_HEADER}$"):
            read(blob)
        with pytest.raises(ValueError, match=f"^{NO_HEADER}$"):
            q.read_navigation_bytes(blob)
        assert q.parse_tle_content(blob.decode("latin-1")) == 0


RINEX_ALPHABET = b"  \n\n0123456789.-+>GRECJSI \r\x00\xb0\xff"


@pytest.mark.parametrize("kind", ["rinex3", "rinex2"])
def test_random_records_after_a_header_read_leniently(tmp_path, nav_path, kind):
    rng = random.Random(1 if kind == "rinex3" else 2)
    head = HEADERS_ONLY[kind].encode()
    for round_ in range(120):
        body = bytes(rng.choice(RINEX_ALPHABET) for _ in range(rng.randrange(0, 3000)))
        obs = read(head + body)
        answers(obs)
        if round_ % 20 == 0:
            analyses(tmp_path, head + body, nav_path if round_ % 40 == 0 else None)


@needs_data
@pytest.mark.parametrize("name", [V3_FILE, V2_FILE])
def test_mutated_real_files_read_and_analyse(tmp_path, nav_path, name):
    """Bytes flipped, dropped, doubled and lines broken anywhere after the header."""
    data = real(name)
    start = data.index(b"\n", header_end(data)) + 1
    whole = read(data)
    rng = random.Random(name)
    for round_ in range(24):
        body = bytearray(data[start:])
        for _ in range(rng.randrange(1, 200)):
            at = rng.randrange(len(body))
            action = rng.randrange(4)
            if action == 0:
                body[at] = rng.randrange(256)
            elif action == 1:
                del body[at:at + rng.randrange(1, 100)]
            elif action == 2:
                body[at:at] = body[at:at + rng.randrange(1, 400)]
            else:
                body[at:at] = rng.choice([b"\n", b"\r\n", b"\x00", b">", b" 999999999\n"])
        mutated = data[:start] + bytes(body)
        obs = read(mutated)
        answers(obs)
        assert obs.obs_types_by_system() == whole.obs_types_by_system()
        if round_ % 6 == 0:
            analyses(tmp_path, mutated, nav_path if round_ % 12 == 0 else None)


def with_nul_after_every_line(data: bytes) -> bytes:
    """A NUL after the last column of every line (after a blank on epoch lines, whose last piece
    is the satellite count), and a line of NULs before every epoch line."""
    lines = data.split(b"\n")
    out = []
    for line in lines[:-1]:
        if line.startswith(b">"):
            out.append(b"\x00" * 80)
            out.append(line + b" \x00")
        else:
            out.append(line + b"\x00")
    return b"\n".join(out + lines[-1:])


@needs_data
@pytest.mark.parametrize("name", [V3_FILE, V2_FILE])
def test_nul_bytes_outside_the_fields_change_nothing(tmp_path, name):
    data = real(name)
    salted = with_nul_after_every_line(data)
    assert salted.count(b"\x00") > 1000
    comment = header_line("\x00 NUL \x00 in a comment \x00", "COMMENT").encode("latin-1")
    at = data.index(b"\n") + 1
    salted = salted[:at] + comment + salted[at:]
    assert answers(read(salted)) == answers(read(data))
    assert analyses(tmp_path, salted) == analyses(tmp_path, data)


@needs_data
@pytest.mark.parametrize("name", [V3_FILE, V2_FILE])
def test_nul_bytes_sprinkled_over_a_real_file(tmp_path, nav_path, name):
    data = real(name)
    whole = read(data)
    rng = random.Random(0)
    for spacing in (7, 50, 400):
        salted = bytearray(data)
        for at in range(rng.randrange(spacing), len(salted), spacing):
            salted[at] = 0
        try:
            obs = read(bytes(salted))
        except ValueError as error:
            assert str(error) == NO_HEADER
            continue
        answers(obs)
        if name == V3_FILE:
            # NUL bytes cannot start a line with ">", so no epoch appears that was not there.
            assert obs.num_epochs <= whole.num_epochs
        analyses(tmp_path, bytes(salted), nav_path)


# --- Line ends and bytes beyond ASCII ------------------------------------------------------------


@needs_data
def test_windows_and_mixed_line_ends_analyse_like_line_feeds(tmp_path):
    for name in (V3_FILE, V2_FILE):
        data = real(name)
        lines = data.split(b"\n")
        mixed = b"".join(line + (b"\r\n" if k % 2 else b"\n") for k, line in enumerate(lines[:-1])) + lines[-1]
        expected = analyses(tmp_path, data)
        assert analyses(tmp_path, data.replace(b"\n", b"\r\n")) == expected
        assert analyses(tmp_path, mixed) == expected
        assert answers(read(mixed)) == answers(read(data))


@needs_data
def test_navigation_with_windows_line_ends_and_bytes_beyond_ascii_reads_the_same():
    data = real("brdc0010.21n")
    counts = lambda nav: (repr(nav), nav.gps_count, nav.satellite_count, nav.has_data())  # noqa: E731
    expected = counts(q.read_navigation_bytes(data))
    assert expected[1] > 20
    assert counts(q.read_navigation_bytes(data.replace(b"\n", b"\r\n"))) == expected
    at = data.index(b"\n") + 1
    junk = b"\xff\xfe \xc3\x28 caf\xc3\xa9 \xb0 \xe2\x82".ljust(60) + b"COMMENT\n"
    assert counts(q.read_navigation_bytes(data[:at] + junk * 3 + data[at:])) == expected


@needs_data
@pytest.mark.parametrize("name", [V3_FILE, V2_FILE])
def test_bytes_beyond_ascii_in_comments_change_nothing(tmp_path, name):
    data = real(name)
    at = data.index(b"\n") + 1
    comments = b"".join((bytes(range(128 + 52 * k, min(256, 180 + 52 * k))) + b" Z\xc3\xbcrich").ljust(60)[:60]
                        + b"COMMENT\n" for k in range(3))
    salted = data[:at] + comments + data[at:]
    assert answers(read(salted)) == answers(read(data))
    assert analyses(tmp_path, salted) == analyses(tmp_path, data)


def test_bytes_beyond_ascii_in_names_read_as_question_marks(tmp_path):
    text = (version_line("3.04") + header_line("SITE\xb0\xff", "MARKER NAME")
            + header_line(" " * 20 + "REC\xe9\x80", "REC # / TYPE / VERS") + v3_obs_types("G", ["S1C"])
            + end_of_header() + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1) + v3_sat("G\xb01", [45.0]))
    obs = read(text)
    assert (obs.marker_name, obs.receiver_type) == ("SITE??", "REC??")
    assert obs.satellites_by_system() == {"G": ["G?1"]}
    for document in analyses(tmp_path, text):
        assert document["file_info"]["marker_name"] == "SITE??"
        assert list(document["satellite_stats"]) == ["G?1"]


def test_file_names_with_quotes_and_control_characters_are_escaped_in_json():
    name = 'a"b\\c\nd\x01\x7f\u00e9\u2603'
    obs = read(HEADERS_ONLY["rinex3"] + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1) + v3_sat("G01", [2e7, 45.0]), name)
    assert obs.marker_name == name
    document = exercise(q.CN0Analyzer.from_obs(obs).analyze())
    assert document["file_info"]["filename"] == name == document["file_info"]["marker_name"]


# --- Satellite counts, long numbers, calendar fields ---------------------------------------------

V3_HEAD = (version_line("3.04") + POSITION + v3_obs_types("G", ["C1C", "L1C", "S1C"]) + v3_obs_types("R", ["S1C"])
           + end_of_header())
V3_NEXT = v3_epoch(2024, 3, 5, 7, 9, 0.0, 0, 2) + v3_sat("G07", [2e7, 1e8, 41.0]) + v3_sat("R02", [39.0])


def v3_epoch_text(fields: str, count: str = "1", flag: str = "0") -> str:
    return f"> {fields}  {flag} {count}\n"


@pytest.mark.parametrize("count", ["999999999", "18446744073709551615", "4294967296"])
def test_rinex3_epoch_announcing_more_satellites_than_follow(count):
    text = (V3_HEAD + v3_epoch_text("2024 03 05 07 08  9.0000000", count)
            + v3_sat("G01", [2e7, 1e8, 45.0]) + v3_sat("G02", [2e7, None, 44.0]) + v3_sat("R01", [43.0]) + V3_NEXT)
    obs = read(text)
    assert obs.num_epochs == 2
    assert obs.satellites_by_system() == {"G": ["G01", "G02", "G07"], "R": ["R01", "R02"]}
    # At the end of the data the satellite lines simply run out.
    assert read(V3_HEAD + v3_epoch_text("2024 03 05 07 08  9.0000000", count) + v3_sat("G01", [2e7])).num_epochs == 1


def test_rinex3_satellite_counts_and_flags_of_thousands_of_digits():
    digits = "9" * 5000
    sats = v3_sat("G01", [2e7, 1e8, 45.0])
    # A count too long for any integer type does not read: that epoch is dropped, the next is read.
    obs = read(V3_HEAD + v3_epoch_text("2024 03 05 07 08  9.0000000", digits) + sats + V3_NEXT)
    assert obs.num_epochs >= 1 and "G07" in obs.satellites_by_system()["G"]
    # A flag that does not read is 0, and the epoch is kept.
    obs = read(V3_HEAD + v3_epoch_text("2024 03 05 07 08  9.0000000", "1", digits) + sats + V3_NEXT)
    assert obs.num_epochs == 2


def test_rinex2_epoch_announcing_more_satellites_than_follow():
    head = version_line("2.11") + POSITION + v2_obs_types(["C1", "L1", "S1"]) + end_of_header()
    good = (v2_epoch(24, 3, 5, 7, 8, 0.0, 0, ["G01", "G02"]) + v2_record([2e7, 1e8, 45.0])
            + v2_record([2e7, None, 44.0])
            + v2_epoch(24, 3, 5, 7, 8, 30.0, 0, ["R01"]) + v2_record([2e7, 1e8, 40.0]))
    assert read(head + good).num_epochs == 2
    # Count 999: the lines after the list are taken as its continuation lines, and nothing is
    # left for observations, so the epoch is dropped; the epochs before it stand.
    huge = v2_epoch(24, 3, 5, 7, 9, 0.0, 0, ["G01", "G02"], count=999) + v2_record([2e7, 1e8, 45.0]) * 3
    assert read(head + good + huge).num_epochs == 2
    # Nine digits written into a three-column count: 999, then "999" slots in the satellite list.
    line = v2_epoch(24, 3, 5, 7, 9, 0.0, 0, [], count=0).rstrip("\n")[:29] + "999999999\n"
    assert read(head + good + line + v2_record([2e7, 1e8, 45.0]) * 2).num_epochs == 2


def test_value_fields_of_thousands_of_digits():
    digits = "9" * 5000
    # Fields are 14 columns wide, followed by the two indicator columns: every field reads 14 nines.
    obs = read(V3_HEAD + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1) + "G01" + digits + "\n")
    assert obs.snr_stats_by_satellite() == {"G01": {"obs_count": 1.0, "valid_count": 0.0, "mean_snr": 0.0}}
    head2 = version_line("2.11") + v2_obs_types(["C1", "L1", "S1"]) + end_of_header()
    obs = read(head2 + v2_epoch(24, 3, 5, 7, 8, 0.0, 0, ["G01"]) + digits + "\n")
    assert obs.snr_stats_by_satellite() == {"G01": {"obs_count": 1.0, "valid_count": 0.0, "mean_snr": 0.0}}
    # A TLE number too long for 32 bits identifies nothing.
    line1 = "1 24876U 97035A   24160.50000000  .00000000  00000-0  00000-0 0  9990"
    line2 = "2 24876  55.5000 100.0000 0050000 100.0000 260.0000  2.00560000 12345"
    assert q.parse_tle_content(f"GPS BIIR-2  (PRN 13)\n{line1}\n{line2}\n") == 1
    for name in (f"GPS BIIR-2  (PRN {digits})", f"GSAT{digits}", f"QZS-{digits}", f"GALILEO (E{digits})"):
        assert q.parse_tle_content(f"{name}\n{line1}\n{line2}\n") == 0


def start_times(text: str) -> tuple[int, str]:
    obs = read(text)
    document = exercise(q.CN0Analyzer.from_obs(obs).analyze())
    return obs.num_epochs, document["file_info"]["start_time"]


SAT = v3_sat("G01", [2e7, 1e8, 45.0])


@pytest.mark.parametrize("fields, expected", [
    ("2024 13 40 25 61 75.0", "2024-13-40T25:61:75.000Z"),
    ("2024 00 00 00 00 0.0", "2024-00-00T00:00:00.000Z"),
    (f"2024 03 05 07 08 0.{'1' * 5000}", "2024-03-05T07:08:00.111Z"),
    (f"2024 03 05 07 08 1e-{'9' * 5000}", "2024-03-05T07:08:00.000Z"),
    ("2024 4294967295 4294967295 4294967295 4294967295 0.0",
     "2024-4294967295-4294967295T4294967295:4294967295:00.000Z"),
    ("2147483647 03 05 07 08 9.0", "2147483647-03-05T07:08:09.000Z"),
])
def test_rinex3_calendar_fields_out_of_range_are_kept_as_written(fields, expected):
    assert start_times(V3_HEAD + v3_epoch_text(fields) + SAT) == (1, expected)


@pytest.mark.parametrize("fields", [
    "-5 13 40 25 61 75.0", "-2147483648 03 05 07 08 9.0", f"2024 03 05 07 08 {'1' * 5000}",
    "2024 03 05 07 08 1e400", "2024 03 05 07 08 -1e400", "2024 03 05 07 08 nan", "2024 03 05 07 08 -inf",
    "2024 03 05 07 08 1e308", "2024 03 05 07 08 -1e308", "2024 03 05 07 08 4e-320",
])
def test_rinex3_extreme_years_and_seconds_are_read(fields):
    epochs, start = start_times(V3_HEAD + v3_epoch_text(fields) + SAT)
    assert epochs == 1 and start.endswith("Z")


@pytest.mark.parametrize("fields", [
    "2024 -3 05 07 08 9.0", "2024 03 05 07 -8 9.0", "2024 03 05 07 08 9.0.0", f"{'2' * 5000} 03 05 07 08 9.0",
    f"2024 {'1' * 5000} 05 07 08 9.0", f"2024 03 05 07 {'5' * 5000} 9.0", "2147483648 03 05 07 08 9.0",
    "2024 4294967296 05 07 08 9.0", "2024 03 05 07 08", "",
])
def test_rinex3_epoch_lines_that_do_not_read_are_skipped(fields):
    assert read(V3_HEAD + v3_epoch_text(fields) + SAT + V3_NEXT).num_epochs == 1


def test_rinex2_calendar_fields_out_of_range_are_kept_as_written():
    head = version_line("2.11") + v2_obs_types(["C1", "L1", "S1"]) + end_of_header()
    record = v2_record([2e7, 1e8, 45.0])
    line = " -5 13 40 25 61 75.0000000  0  1G01\n"
    # Two-digit years below 80 belong to the 2000s, -5 included.
    assert start_times(head + line + record) == (1, "1995-13-40T25:61:75.000Z")
    assert start_times(head + " 99  0  0  0  0  0.0000000  0  1G01\n" + record) == (1, "1999-00-00T00:00:00.000Z")
    # Signs are not digits of an unsigned field: the line is not an epoch line.
    assert read(head + " 24 -3  5  7  8  9.0000000  0  1G01\n" + record).num_epochs == 0


HOSTILE_FILES = {
    "calendar out of range": V3_HEAD + v3_epoch_text("2024 13 40 25 61 75.0") + SAT + V3_NEXT,
    "negative year": V3_HEAD + v3_epoch_text("-5 01 01 00 00 0.0") + SAT + V3_NEXT,
    "extreme fields": V3_HEAD + v3_epoch_text("2147483647 4294967295 4294967295 4294967295 4294967295 1e308") + SAT
    + v3_epoch_text("-2147483648 0 0 0 0 -1e308") + SAT,
    "infinite and NaN seconds": V3_HEAD + v3_epoch_text("2024 03 05 07 08 inf") + SAT
    + v3_epoch_text("2024 03 05 07 08 nan") + SAT + v3_epoch_text("2024 03 05 07 08 -inf") + SAT,
    "infinite and NaN values": V3_HEAD + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 3) + "G01" + "           inf  " * 3 + "\n"
    + "G02" + "           nan  " * 3 + "\n" + "R01" + "          -inf  \n" + V3_NEXT,
    "epochs out of order": V3_HEAD + V3_NEXT + v3_epoch_text("2024 03 05 07 08 9.0") + SAT + V3_NEXT,
    "huge count": V3_HEAD + v3_epoch_text("2024 03 05 07 08  9.0000000", "999999999") + SAT * 5 + V3_NEXT,
    "one satellite many times": V3_HEAD + v3_epoch_text("2024 03 05 07 08  9.0000000", "400")
    + "".join(v3_sat("G01", [2e7, 1e8, 20.0 + k % 30]) for k in range(400)),
}


@pytest.mark.parametrize("kind", list(HOSTILE_FILES))
def test_analyses_of_hostile_files_write_valid_json(tmp_path, nav_path, kind):
    text = HOSTILE_FILES[kind]
    read(text)
    for document in analyses(tmp_path, text) + analyses(tmp_path, text, nav_path):
        assert document["summary"]["total_epochs"] >= 1
        for value in document["timeseries"]["mean_cn0"]:
            assert value is None or math.isfinite(value)


# --- Code lists, slot lists and satellites beyond every real file ---------------------------------


def many_codes(n: int, first: str) -> list[str]:
    return [first + "".join(t) for t in itertools.islice(itertools.product("ABCDEFGHIJKLMNOPQRSTUVWXYZ", repeat=4), n)]


def v3_code_lines(system: str, codes: list[str]) -> str:
    """Nine codes of up to five characters per line, so that every code stays inside column 60."""
    out = ""
    for first in range(0, len(codes), 9):
        head = f"{system}  {len(codes) % 1000:3d}" if first == 0 else " " * 6
        out += header_line(head + "".join(" " + c for c in codes[first:first + 9]), "SYS / # / OBS TYPES")
    return out


@pytest.mark.parametrize("snr_code_at", [0, 65536])
def test_more_than_65536_codes_keep_each_value_under_its_own_code(tmp_path, snr_code_at):
    # 65537 codes, one of them an S code: the value in field 65536 belongs to code 65536 only.
    codes = many_codes(65537, "C")
    codes[snr_code_at] = "SAAAA"
    text = (version_line("3.04") + v3_code_lines("G", codes) + end_of_header() + v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1)
            + "G01" + " " * 16 * 65536 + "        45.250  \n")
    obs = read(text)
    assert obs.obs_types_by_system()["G"] == codes
    expected = {"G01": {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 45.25}} if snr_code_at == 65536 else {}
    assert obs.snr_stats_by_satellite() == expected
    assert analyses(tmp_path, text)[0]["summary"]["total_observations"] == len(expected)


def test_long_code_lists_read_whole():
    codes = many_codes(17000, "S")
    v3 = read(version_line("3.04") + v3_code_lines("G", codes) + v3_code_lines("E", codes[::-1]) + end_of_header())
    assert v3.obs_types_by_system() == {"G": codes, "E": codes[::-1]}
    v2 = read(version_line("2.11") + v2_obs_types(codes + ["C1", "S1"]) + end_of_header())
    assert v2.obs_types_by_system() == {s: codes + ["C1C", "S1C"] for s in "GREC"}
    assert v2.debug_info()["R_obs_types_count"] == str(len(codes) + 2)


def test_rinex2_code_lines_mixed_with_rinex3_code_lines():
    # Each RINEX 2 line makes the growing list the list of G, R, E and C; a RINEX 3 line extends
    # the list of its system as it stands.
    def v2_line(codes: list[str]) -> str:
        return header_line(f"{len(codes):6d}" + "".join(c.rjust(6) for c in codes), "# / TYPES OF OBSERV")
    head = version_line("2.11") + v2_line(["C1", "S1"]) + v3_obs_types("G", ["S5X"])
    obs = read(head + end_of_header())
    assert obs.obs_types_by_system() == {"G": ["C1C", "S1C", "S5X"], "R": ["C1C", "S1C"], "E": ["C1C", "S1C"],
                                         "C": ["C1C", "S1C"]}
    obs = read(head + v2_line(["L1"]) + end_of_header())
    assert obs.obs_types_by_system() == {s: ["C1C", "S1C", "L1C"] for s in "GREC"}


def test_a_code_named_twice_keeps_the_later_field():
    head = version_line("3.04") + v3_obs_types("G", ["S1C", "C1C", "S1C"]) + end_of_header()
    epoch = v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1)
    assert read(head + epoch + v3_sat("G01", [40.0, 2e7, 45.0])).snr_stats_by_satellite()["G01"] == \
        {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 45.0}
    assert read(head + epoch + v3_sat("G01", [40.0, 2e7, None])).snr_stats_by_satellite()["G01"] == \
        {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 40.0}
    # Many codes, each named twice: every satellite keeps one value per code, the later one.
    codes = many_codes(3000, "S")
    head = version_line("3.04") + v3_code_lines("G", codes + codes) + end_of_header()
    line = "G01" + "".join(f"{10.0 + k % 7:14.3f}  " for k in range(3000)) + f"{50.0:14.3f}  " * 3000
    stats = read(head + epoch + line + "\n").snr_stats_by_satellite()["G01"]
    assert stats == {"obs_count": 3000.0, "valid_count": 3000.0, "mean_snr": 50.0}


def test_a_satellite_repeated_in_one_epoch_keeps_its_last_line():
    chars = [chr(c) for c in range(33, 127)]
    ids = ["G" + a + b for a in chars for b in chars]
    head = version_line("3.04") + v3_obs_types("G", ["S1C"]) + end_of_header()
    repeats = 20_000
    body = "".join(v3_sat(sat, [30.0]) for sat in ids) + "".join(v3_sat("G01", [20.0 + k % 25]) for k in range(repeats))
    obs = read(head + v3_epoch_text("2024 03 05 07 08  9.0000000", str(len(ids) + repeats)) + body)
    assert (obs.num_epochs, obs.num_satellites) == (1, len(ids))
    stats = obs.snr_stats_by_satellite()
    assert stats["G01"] == {"obs_count": 1.0, "valid_count": 1.0, "mean_snr": 20.0 + (repeats - 1) % 25}
    assert stats["G~~"]["mean_snr"] == 30.0


def test_a_header_of_a_hundred_thousand_glonass_slots_reads():
    lines = "".join(header_line(" ".join(f"R{k * 8 + j:02d} {j - 4:2d}" for j in range(8)), "GLONASS SLOT / FRQ #")
                    for k in range(12_500))
    text = version_line("3.04") + lines * 2 + v3_obs_types("R", ["S1C"]) + end_of_header() + \
        v3_epoch(2024, 3, 5, 7, 8, 9.0, 0, 1) + v3_sat("R07", [41.0])
    obs = read(text)
    assert obs.num_epochs == 1 and obs.satellites_by_system() == {"R": ["R07"]}
