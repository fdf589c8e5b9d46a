"""Real observation files from ../shared/data, checked against a plain reading of their text done
here, independently of the library, and against the figures published with the data.

A reading of the data section stores an epoch when at least one of its satellites has a nonzero,
readable value for a code of its system's list; a satellite counts once it has such a value. The
plain reading below applies exactly that rule to the epoch structure of each RINEX version."""

from __future__ import annotations

import functools
import math
import re

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, NO_DATA_REASON, have_data

# RINEX 2 observation files end in .YYo; RINEX 3 ones here end in .obs or _MO.rnx. Compact RINEX
# (.crx, .YYd) and gzipped files are not plain observation text.
OBSERVATION_NAME = re.compile(r"(\.\d\d[oO]|\.obs|_MO\.rnx)$")

# Published figures: version, epochs, satellites per system, header interval, marker name.
PUBLISHED = {
    "matrtklib_20240624_static_base.obs": (3.04, 301, {"G": 12, "R": 9, "E": 9, "C": 25, "J": 2}, 1.0, "SEPT"),
    "matrtklib_20230711_base_100s.obs": (3.03, 100, {"G": 11, "R": 7, "E": 7, "J": 4, "C": 8}, 0.0,
                                         "matrtklib_20230711_base_100s.obs"),
    "SEPT265G.21O": (3.04, 360, {"G": 8, "E": 8, "J": 4}, 1.0, "SEPT"),
    "3034265G.21O": (3.04, 360, {"G": 8, "E": 6, "J": 4}, 0.0, "3034265G.21O"),
    "GEOP092I.24o": (3.03, 599, {"G": 9, "R": 8, "E": 10, "C": 9}, 0.0, "Geo++"),
    "CEDA00USA_R_20182100000_23H_15S_MO.rnx": (3.03, 4675, {"E": 15, "R": 4}, 15.0, "ceda"),
    "TLSE00FRA_R_20230010000_10S_01S_MO.rnx": (3.04, 11, {"G": 11, "R": 9, "E": 9, "C": 16, "S": 5, "I": 2}, 1.0,
                                               None),
    "zimm0010.21o": (2.11, 2880, {"G": 31}, 30.0, None),
    "delf0010.21o": (2.11, 105, {"G": 14, "R": 10}, 30.0, "DELFT-16"),
    "slac1180.21o": (2.11, 241, {"G": 13, "R": 9, "E": 8}, 30.0, "SLAC"),
    "tlse001b.23o": (2.11, 10, {"G": 10, "R": 10, "E": 9, "S": 4}, 1.0, None),
}

SMALL_FILES = ["TLSE00FRA_R_20230010000_10S_01S_MO.rnx", "tlse001b.23o", "matrtklib_20230711_base_100s.obs",
               "delf0010.21o", "GEOP092I.24o"]

RINEX2_CODES = {"C1": "C1C", "P1": "C1P", "L1": "L1C", "S1": "S1C", "C2": "C2C", "P2": "C2P", "L2": "L2C",
                "S2": "S2C", "C5": "C5Q", "L5": "L5Q", "S5": "S5Q"}


def observation_files() -> list[str]:
    if not have_data():
        return []
    return sorted(p.name for p in DATA_DIR.iterdir() if p.is_file() and OBSERVATION_NAME.search(p.name))


def files_or_skip(names: list[str]) -> list:
    if not have_data():
        return [pytest.param(None, marks=pytest.mark.skip(reason=NO_DATA_REASON))]
    return names


# --- the plain reading -----------------------------------------------------------------------


def number(text: str) -> float | None:
    """A nonzero value of a field, or None for a blank, unreadable or zero field."""
    text = text.strip()
    if not text:
        return None
    try:
        value = float(text)
    except ValueError:
        return None
    return value if value != 0.0 else None


class Plain:
    """What a file holds: epochs with at least one value, satellites with values in order of
    first appearance, and every S value per satellite."""

    def __init__(self, name: str) -> None:
        lines = (DATA_DIR / name).read_bytes().decode("latin-1").splitlines()
        self.version = 0.0
        self.interval = 0.0
        self.codes: dict[str, list[str]] = {}
        rinex2: list[str] = []
        system = ""
        start = None
        for index, line in enumerate(lines):
            label = line[60:]
            if "RINEX VERSION" in label:
                self.version = float(line[:9])
            elif "INTERVAL" in label:
                self.interval = float(line[:10])
            elif "SYS / # / OBS TYPES" in label:
                system = line[0] if line[0] != " " else system
                self.codes.setdefault(system, []).extend(line[6:60].split())
            elif "# / TYPES OF OBSERV" in label:
                rinex2 += [RINEX2_CODES.get(w, w) for w in line[:60].split() if not w[0].isdigit()]
                self.codes = {s: list(rinex2) for s in "GREC"}
            elif "END OF HEADER" in label:
                start = index + 1
                break
        assert start is not None
        self.epochs = 0
        self.satellites: dict[str, list[str]] = {}
        self.snr: dict[str, list[float]] = {}
        if self.version >= 3:
            self._rinex3(lines[start:])
        else:
            self._rinex2(lines[start:])

    def _keep(self, sat: str, codes: list[str], fields: list[str]) -> bool:
        values = [(code, number(text)) for code, text in zip(codes, fields)]
        values = [(code, v) for code, v in values if v is not None]
        if not values:
            return False
        group = self.satellites.setdefault(sat[0], [])
        if sat not in group:
            group.append(sat)
        self.snr.setdefault(sat, []).extend(v for code, v in values if code.startswith("S"))
        return True

    def _rinex3(self, lines: list[str]) -> None:
        i = 0
        while i < len(lines):
            parts = lines[i][1:].split() if lines[i].startswith(">") else []
            i += 1
            count = int(parts[7]) if len(parts) > 7 else 0
            stored = False
            for _ in range(count):
                if i == len(lines) or not lines[i] or lines[i].startswith(">"):
                    break
                line = lines[i]
                i += 1
                sat = line[:3].strip()
                codes = self.codes.get(sat[:1], [])
                fields = [line[3 + 16 * k:17 + 16 * k] for k in range(len(codes))]
                stored = self._keep(sat, codes, fields) or stored
            self.epochs += stored

    EPOCH2 = re.compile(r" [ \d]\d [ \d]\d [ \d]\d [ \d]\d [ \d]\d [ \d]\d\.\d{7}  \d[ \d]{2}\d")

    def _rinex2(self, lines: list[str]) -> None:
        codes = self.codes.get("G", [])
        per_satellite = math.ceil(len(codes) / 5)
        i = 0
        while i < len(lines):
            line = lines[i]
            i += 1
            if not self.EPOCH2.match(line):
                continue
            count = int(line[29:32])
            slots = line[32:68]
            while len(slots) < 3 * count:
                slots += lines[i][32:68]
                i += 1
            stored = False
            for k in range(count):
                sat = slots[3 * k:3 * k + 3].strip()
                sat = sat if len(sat) == 3 else f"G{int(sat):02d}"
                record = "".join(row.ljust(80)[:80] for row in lines[i:i + per_satellite])
                i += per_satellite
                fields = [record[16 * k:16 * k + 14] for k in range(len(codes))]
                stored = self._keep(sat, codes, fields) or stored
            self.epochs += stored


@functools.lru_cache(maxsize=None)
def plain(name: str) -> Plain:
    return Plain(name)


@functools.lru_cache(maxsize=None)
def parsed(name: str) -> q.RinexObsData:
    return q.read_rinex_obs(str(DATA_DIR / name))


# --- tests -----------------------------------------------------------------------------------


def test_the_published_files_are_all_found(data_dir):
    assert set(PUBLISHED) <= set(observation_files())


@pytest.mark.parametrize("name", files_or_skip(observation_files()))
def test_counts_match_a_plain_reading(name):
    expected = plain(name)
    obs = parsed(name)
    assert obs.version == expected.version
    assert obs.num_epochs == expected.epochs
    assert obs.num_satellites == sum(len(s) for s in expected.satellites.values())
    assert obs.satellites_by_system() == expected.satellites
    info = obs.debug_info()
    assert info["num_epochs"] == str(expected.epochs)
    for system, sats in expected.satellites.items():
        assert info[f"{system}_satellites"] == str(len(sats))
        assert info[f"{system}_sat_list"] == ",".join(sats)
    assert obs.interval == expected.interval
    assert obs.obs_types_by_system() == expected.codes
    assert obs.snr_availability() == {s: any(c.startswith("S") for c in codes) for s, codes in expected.codes.items()}


@pytest.mark.parametrize("name", files_or_skip(sorted(PUBLISHED)))
def test_published_figures(name):
    if not (DATA_DIR / name).is_file():
        pytest.skip(f"{name} is not in {DATA_DIR}")
    version, epochs, per_system, interval, marker = PUBLISHED[name]
    # The plain reading agrees with the published figures...
    assert plain(name).epochs == epochs
    assert {s: len(v) for s, v in plain(name).satellites.items()} == per_system
    # ...and so does the library.
    obs = parsed(name)
    assert obs.version == version
    assert obs.num_epochs == epochs
    assert obs.num_satellites == sum(per_system.values())
    assert {s: len(v) for s, v in obs.satellites_by_system().items()} == per_system
    assert obs.interval == interval
    if marker is not None:
        assert obs.marker_name == marker
    assert repr(obs) == f"RinexObsData(version={version:.2f}, epochs={epochs}, satellites={sum(per_system.values())})"


@pytest.mark.parametrize("name", files_or_skip(SMALL_FILES))
def test_snr_statistics_match_a_plain_reading(name):
    if not (DATA_DIR / name).is_file():
        pytest.skip(f"{name} is not in {DATA_DIR}")
    expected = {}
    for sat, values in plain(name).snr.items():
        if not values:
            continue
        valid = [v for v in values if 0.0 < v < 100.0]
        expected[sat] = (float(len(values)), float(len(valid)), sum(valid) / len(valid) if valid else 0.0)
    stats = parsed(name).snr_stats_by_satellite()
    assert set(stats) == set(expected)
    for sat, (count, valid, mean) in expected.items():
        assert stats[sat]["obs_count"] == count, sat
        assert stats[sat]["valid_count"] == valid, sat
        assert stats[sat]["mean_snr"] == pytest.approx(mean, rel=1e-12), sat


def test_known_details():
    if not have_data():
        pytest.skip(NO_DATA_REASON)
    geop = parsed("GEOP092I.24o")
    assert geop.receiver_type == "Xiaomi"
    # J is declared in the header but never observed.
    assert "J" in geop.obs_types_by_system() and "J" not in geop.satellites_by_system()
    assert geop.obs_types_by_system()["E"] == ["C1B", "L1B", "D1B", "S1B", "C1C", "L1C", "D1C", "S1C",
                                               "C5Q", "L5Q", "D5Q", "S5Q"]
    # delf0010.21o: seven RINEX 2 types, shared by GPS and GLONASS.
    delf = parsed("delf0010.21o")
    assert delf.obs_types_by_system()["R"] == ["L1C", "L2C", "C1C", "C2P", "C1P", "S1C", "S2C"]
    assert delf.debug_info()["G_snr_types"] == "S1C,S2C"


@pytest.mark.parametrize("name", files_or_skip(["TLSE00FRA_R_20230010000_10S_01S_MO.rnx", "delf0010.21o"]))
def test_bytes_path_and_line_ends_agree(name):
    data = (DATA_DIR / name).read_bytes()
    by_path = parsed(name)
    from_bytes = q.read_rinex_obs_bytes(data, name)
    crlf = q.parse_rinex(data.replace(b"\n", b"\r\n"), name)
    for obs in (from_bytes, crlf):
        assert repr(obs) == repr(by_path)
        assert obs.marker_name == by_path.marker_name
        assert obs.satellites_by_system() == by_path.satellites_by_system()
        assert obs.snr_stats_by_satellite() == by_path.snr_stats_by_satellite()
        assert obs.debug_info() == by_path.debug_info()
