"""Every file of the real data folder, read and analysed, against figures known from the files.

Plain observation files are also read here by a plain reading of their text, independent of the
library: an epoch counts when one of its satellites has a nonzero, readable value for a code of its
system's list; a satellite counts once it has such a value. Those counts agree with the figures
published with the data. The analysis figures of each file (alone, and with the navigation files of
its day) are pinned exactly: totals, means, scores, the visibility comparison."""

from __future__ import annotations

import functools
import hashlib
import json
import math
import os
import re
import subprocess
import sys

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, check_document_shape, needs_data

RINEX2_CODES = {"C1": "C1C", "P1": "C1P", "L1": "L1C", "S1": "S1C", "C2": "C2C", "P2": "C2P", "L2": "L2C",
                "S2": "S2C", "C5": "C5Q", "L5": "L5Q", "S5": "S5Q"}
EPOCH2 = re.compile(r" [ \d]\d [ \d]\d [ \d]\d [ \d]\d [ \d]\d [ \d]\d\.\d{7}  \d[ \d]{2}\d")


def number(text: str) -> float | None:
    try:
        value = float(text)
    except ValueError:
        return None
    return value or None


class Plain:
    """Epochs with at least one value, satellites in order of first appearance, S values per satellite."""

    def __init__(self, name: str) -> None:
        lines = (DATA_DIR / name).read_bytes().decode("latin-1").splitlines()
        self.version = self.interval = 0.0
        self.codes: dict[str, list[str]] = {}
        self.epochs, self.satellites, self.snr = 0, {}, {}
        rinex2, system, start = [], "", 0
        for start, line in enumerate(lines, 1):
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
                break
        (self.rinex3 if self.version >= 3 else self.rinex2)(lines[start:])

    def keep(self, sat: str, codes: list[str], fields: list[str]) -> bool:
        values = [(code, v) for code, text in zip(codes, fields) if (v := number(text)) is not None]
        if values:
            group = self.satellites.setdefault(sat[0], [])
            group += [sat] if sat not in group else []
            self.snr.setdefault(sat, []).extend(v for code, v in values if code.startswith("S"))
        return bool(values)

    def rinex3(self, lines: list[str]) -> None:
        i = 0
        while i < len(lines):
            parts = lines[i][1:].split() if lines[i].startswith(">") else []
            i, stored = i + 1, False
            for _ in range(int(parts[7]) if len(parts) > 7 else 0):
                if i == len(lines) or not lines[i] or lines[i].startswith(">"):
                    break
                sat, codes = lines[i][:3].strip(), self.codes.get(lines[i][0], [])
                stored |= self.keep(sat, codes, [lines[i][3 + 16 * k:17 + 16 * k] for k in range(len(codes))])
                i += 1
            self.epochs += stored

    def rinex2(self, lines: list[str]) -> None:
        codes = self.codes.get("G", [])
        rows, i = math.ceil(len(codes) / 5), 0
        while i < len(lines):
            line, i = lines[i], i + 1
            if not EPOCH2.match(line):
                continue
            count, slots, stored = int(line[29:32]), line[32:68], False
            while len(slots) < 3 * count:
                slots, i = slots + lines[i][32:68], i + 1
            for k in range(count):
                sat = slots[3 * k:3 * k + 3].strip()
                record = "".join(row.ljust(80)[:80] for row in lines[i:i + rows])
                i += rows
                stored |= self.keep(sat if len(sat) == 3 else f"G{int(sat):02d}", codes,
                                    [record[16 * j:16 * j + 14] for j in range(len(codes))])
            self.epochs += stored


# Satellites per system of the plain observation files, as published with the data.
PUBLISHED = {
    "matrtklib_20240624_static_base.obs": {"G": 12, "R": 9, "E": 9, "C": 25, "J": 2},
    "matrtklib_20230711_base_100s.obs": {"G": 11, "R": 7, "E": 7, "J": 4, "C": 8},
    "SEPT265G.21O": {"G": 8, "E": 8, "J": 4}, "3034265G.21O": {"G": 8, "E": 6, "J": 4},
    "GEOP092I.24o": {"G": 9, "R": 8, "E": 10, "C": 9}, "CEDA00USA_R_20182100000_23H_15S_MO.rnx": {"E": 15, "R": 4},
    "TLSE00FRA_R_20230010000_10S_01S_MO.rnx": {"G": 11, "R": 9, "E": 9, "C": 16, "S": 5, "I": 2},
    "zimm0010.21o": {"G": 31}, "delf0010.21o": {"G": 14, "R": 10}, "slac1180.21o": {"G": 13, "R": 9, "E": 8},
    "tlse001b.23o": {"G": 10, "R": 10, "E": 9, "S": 4},
}

# Each file, or observation file + navigation file, and what it gives: the reading of a
# compressed observation file (with its counts of S values and their sum), the counts of a
# navigation file, the element sets of the TLE file, and the analysis of an observation file:
# marker; observations, satellites, epochs, mean, deviation of the series; anomalies/critical;
# assessment score and grade; score view and grade; sky coverage; observations per constellation
# (by system letter; ? for samples of no known constellation);
# then with navigation data (and every constellation selected): predicted, observed, missing, unexpected per epoch, confirmation rate
# and visibility anomalies.
CASES = {
    "matrtklib_20240624_static_base.obs":
        "SEPT; 42434 57 301 39.682939 0.163187 0/0; 62.632104 D 83.771091 B 0.154321; C18144 E7818 G11054 J0 R5418",
    "matrtklib_20230711_base_100s.obs":
        "matrtklib_20230711_base_100s.obs; 5700 37 100 41.735088 0.061803 0/0; 67.420452 D 85.069846 B 0.154321; "
        "G1900 R1300 E1200 J0 C1300",
    "SEPT265G.21O": "SEPT; 22781 20 360 42.080028 0.637423 0/0; 68.225313 D 79.202290 C 0.154321; E11011 G11770 J0",
    "3034265G.21O":
        "3034265G.21O; 15840 18 360 43.756244 0.120605 0/0; 72.136482 C 82.245537 B 0.154321; G9360 J0 E6480",
    "GEOP092I.24o":
        "Geo++; 27685 36 599 31.955947 0.415595 0/0; 44.602457 F 56.437687 F 0.154321; C4594 E10997 G7917 R4177",
    "CEDA00USA_R_20182100000_23H_15S_MO.rnx":
        "ceda; 37391 19 4675 47.537984 3.344196 0/0; 75.038580 C 75.848684 C 0.154321; E32696 R4695",
    "TLSE00FRA_R_20230010000_10S_01S_MO.rnx":
        "TLSE; 2035 52 11 43.497150 0.032367 0/0; 71.531930 C 90.763855 A 0.154321; C748 E495 G440 I0 R352 S0",
    "zimm0010.21o": "ZIMM; 69054 31 2880 40.743572 1.205414 1/1; 64.968025 D 51.033971 F 0.154321; G69054",
    "delf0010.21o": "DELFT-16; 4153 24 105 40.913797 0.527954 1/1; 61.694583 D 74.433282 C 0.154321; G2491 R1662",
    "slac1180.21o": "SLAC; 13913 30 241 43.935197 0.899410 0/0; 72.554041 C 81.351892 B 0.154321; G5520 R2592 E5801",
    "tlse001b.23o": "TLSE; 900 33 10 44.939667 0.045623 0/0; 74.897802 C 94.167853 A 0.154321; E450 G270 R180 S0",
    "matrtklib_20240624_static_base.obs+matrtklib_20240624_static_base.nav":
        "SEPT; 38103 57 301 41.120273 0.103541 0/0; 58.809516 F 87.041859 B 9.567901; "
        "C15050 E6498 G9933 J1806 R4816; 52.295681 56.647841 4.000000 8.352159 92.351185 0",
    "matrtklib_20230711_base_100s.obs+matrtklib_20230711_base.nav":
        "matrtklib_20230711_base_100s.obs; 6005 37 100 41.963197 0.052187 0/0; 59.359512 F 88.522641 B 6.018519; "
        "G1800 R1205 E1200 J500 C1300; 37.050000 37.000000 4.000000 3.950000 89.203779 0",
    "SEPT265G.21O+SEPT2650.21P":
        "SEPT; 25751 20 360 42.637089 0.797273 0/0; 66.434242 D 81.029857 B 4.012346; E9793 G11770 J4188; "
        "21.019444 19.661111 2.294444 0.936111 89.084181 0",
    "3034265G.21O+SEPT2650.21P":
        "3034265G.21O; 23040 18 360 43.975872 0.095520 0/0; 70.679152 C 83.902876 B 3.703704; G9360 J7200 E6480; "
        "21.000000 18.000000 3.000000 0.000000 85.714286 0",
    "GEOP092I.24o+CORD00ARG_R_20240920000_01D_MN.rnx":
        "Geo++; 27685 36 599 31.955947 0.415595 0/0; 35.222081 F 61.872470 D 7.407407; C4594 E10997 G7917 R4177; "
        "25.018364 32.020033 3.994992 10.996661 84.031763 0",
    "GEOP092I.24o+HERT00GBR_R_20240920000_01D_GN.rnx":
        "Geo++; 27685 36 599 31.955947 0.415595 0/0; 42.930330 F 57.802703 F 2.932099; C4594 E10997 G7917 R4177; "
        "8.789649 7.749583 1.040067 0.000000 88.167142 0",
    "CEDA00USA_R_20182100000_23H_15S_MO.rnx+ELKO00USA_R_20182100000_01D_MN.rnx":
        "ceda; 36333 19 4675 47.751782 3.368485 0/0; 72.710939 C 71.432676 C 41.975309; E32369 R3964; "
        "27.289626 3.176257 24.504813 0.391444 10.204658 0",
    "TLSE00FRA_R_20230010000_10S_01S_MO.rnx+BRDC00IGS_R_20230010000_01D_MN.rnx":
        "TLSE; 1994 52 11 44.036760 0.037957 0/0; 67.869114 D 87.929548 B 6.327160; C660 E495 G385 I0 R352 S80 ?22; "
        "43.000000 45.000000 1.000000 3.000000 97.674419 0",
    "zimm0010.21o+brdc0010.21n":
        "ZIMM; 69004 31 2880 40.750920 1.204927 1/1; 82.288836 B 51.053950 F 72.067901; G69004; "
        "10.183681 9.857639 0.334722 0.008681 96.713151 0",
    "delf0010.21o+brdc0010.21n":
        "DELFT-16; 3951 24 105 41.869400 0.506815 0/0; 64.916994 D 77.423072 C 10.185185; G2289 R1662; "
        "13.123810 11.876190 2.219048 0.971429 83.091437 0",
    "slac1180.21o+brdc1180.21n":
        "SLAC; 13856 30 241 43.985335 0.898753 0/0; 76.894641 C 80.811758 B 20.370370; G5463 R2592 E5801; "
        "9.991701 9.775934 0.315353 0.099585 96.843854 0",
    "tlse001b.23o+BRDC00IGS_R_20230010000_01D_MN.rnx":
        "TLSE; 940 33 10 44.897234 0.039905 0/0; 67.537577 D 92.685049 A 4.475309; E450 G270 R160 S60; "
        "41.000000 29.000000 13.000000 1.000000 68.292683 0",
    "AJAC00FRA_R_20242090000_01D_30S_MO.crx.gz":
        "RinexObsData(version=3.04, epochs=2880, satellites=122) 392371 392371 5521.4946",
    "amel0010.21g": "NavigationData(GPS=0, GLONASS=24, Galileo=0, BeiDou=0)",
    "AMEL00NLD_R_20210010000_01D_MN.rnx": "NavigationData(GPS=34, GLONASS=24, Galileo=22, BeiDou=23)",
    "brdc0010.21n": "NavigationData(GPS=32, GLONASS=0, Galileo=0, BeiDou=0)",
    "BRDC00IGS_R_20230010000_01D_MN.rnx": "NavigationData(GPS=35, GLONASS=25, Galileo=26, BeiDou=43)",
    "BRDC00IGS_R_20240010000_01D_MN.rnx.gz": "NavigationData(GPS=36, GLONASS=25, Galileo=25, BeiDou=45)",
    "brdc1180.21n": "NavigationData(GPS=32, GLONASS=0, Galileo=0, BeiDou=0)",
    "CEBR00ESP_R_20182000000_01D_30S_MO.crx.gz":
        "RinexObsData(version=3.03, epochs=2880, satellites=101) 293310 293310 4168.5732",
    "CORD00ARG_R_20240920000_01D_MN.rnx": "NavigationData(GPS=32, GLONASS=26, Galileo=25, BeiDou=29)",
    "delf0010.21d": "RinexObsData(version=2.11, epochs=2880, satellites=55) 107522 107522 2279.4849",
    "ELKO00USA_R_20182100000_01D_MN.rnx": "NavigationData(GPS=32, GLONASS=24, Galileo=20, BeiDou=13)",
    "ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz":
        "RinexObsData(version=3.05, epochs=2880, satellites=113) 432050 432050 4460.4576",
    "ESBC00DNK_R_20201770000_01D_MN.rnx": "NavigationData(GPS=34, GLONASS=23, Galileo=24, BeiDou=29)",
    "gnss_2024-06-08.txt": "64",
    "GRAS00FRA_R_20242090000_01D_EN.rnx": "NavigationData(GPS=0, GLONASS=0, Galileo=23, BeiDou=0)",
    "HERT00GBR_R_20240920000_01D_GN.rnx": "NavigationData(GPS=32, GLONASS=0, Galileo=0, BeiDou=0)",
    "KMS300DNK_R_20221591000_01H_MN.rnx": "NavigationData(GPS=22, GLONASS=10, Galileo=18, BeiDou=23)",
    "matrtklib_20230711_base.nav": "NavigationData(GPS=36, GLONASS=24, Galileo=24, BeiDou=22)",
    "matrtklib_20240624_static_base.nav": "NavigationData(GPS=16, GLONASS=10, Galileo=14, BeiDou=32)",
    "NYA100NOR_S_20241240000_01D_30S_MO.crx.gz":
        "RinexObsData(version=3.05, epochs=2880, satellites=96) 364751 364751 4113.8078",
    "NYA100NOR_S_20241240000_01D_CN.rnx": "NavigationData(GPS=0, GLONASS=0, Galileo=0, BeiDou=18)",
    "NYA100NOR_S_20241240000_01D_EN.rnx": "NavigationData(GPS=0, GLONASS=0, Galileo=23, BeiDou=0)",
    "NYA100NOR_S_20241240000_01D_GN.rnx": "NavigationData(GPS=31, GLONASS=0, Galileo=0, BeiDou=0)",
    "SEPT2650.21P": "NavigationData(GPS=27, GLONASS=0, Galileo=14, BeiDou=0)",
    "TLSE00FRA_R_20230010000_10S_01S_MO.crx":
        "RinexObsData(version=3.04, epochs=10, satellites=52) 1942 1942 2201.2210",
    "TLSE00FRA_R_20240011200_15M_01S_MO.crx.gz":
        "RinexObsData(version=3.04, epochs=900, satellites=50) 148145 148145 2117.7594",
    "wsra0010.21d": "RinexObsData(version=2.11, epochs=2880, satellites=55) 107962 107962 2160.1762",
    "york0440.15d": "RinexObsData(version=2.11, epochs=2880, satellites=30) 54119 54119 1218.8815",
    "zegv0010.21d": "RinexObsData(version=2.11, epochs=2880, satellites=54) 132886 132886 2248.5266",

}


LETTER = {"GPS": "G", "GLONASS": "R", "Galileo": "E", "BeiDou": "C", "QZSS": "J", "SBAS": "S", "IRNSS": "I", "Unknown": "?"}


def figures(r: q.AnalysisResult) -> str:
    doc = json.loads(r.to_json())
    qs, v = doc["quality_score"], r.visibility_debug()
    text = (f"{r.station_name}; {r.total_observations} {r.total_satellites} {r.total_epochs} {r.mean_cn0:.6f} "
            f"{r.cn0_std_dev:.6f} {r.anomaly_count}/{r.critical_count}; {qs['overall']:.6f} {qs['grade']} "
            f"{r.score:.6f} {r.quality_grade} {r.skyplot_coverage:.6f}; "
            + " ".join(f"{LETTER[n]}{s['observation_count']}" for n, s in doc["constellation_stats"].items()))
    if r.has_visibility_prediction:
        text += (f"; {r.visibility_mean_predicted:.6f} {r.visibility_mean_observed:.6f} {r.visibility_mean_missing:.6f} "
                 f"{r.visibility_mean_unexpected:.6f} {r.visibility_confirmation_rate:.6f} {r.visibility_anomaly_count}")
    return text


@functools.lru_cache(maxsize=None)
def analysed(obs: str, nav: str | None):
    # With navigation data every constellation is selected, SBAS and IRNSS included.
    return q.analyze_cn0(str(DATA_DIR / obs), nav and str(DATA_DIR / nav), systems=nav and list("GRECJSI"))


def answers(obs: q.RinexObsData) -> tuple:
    return (repr(obs), obs.marker_name, obs.interval, obs.satellites_by_system(), obs.obs_types_by_system(),
            obs.snr_availability(), obs.snr_stats_by_satellite(), obs.debug_info())


@needs_data
def test_every_file_of_the_data_folder_is_covered():
    files = {p.name for p in DATA_DIR.iterdir() if p.suffix not in (".md", "") and p.name != "SHA256SUMS"}
    assert files == {c.split("+")[0] for c in CASES} | {c.split("+")[1] for c in CASES if "+" in c}


@needs_data
@pytest.mark.parametrize("case", CASES)
def test_real_file(case):
    name, _, nav = case.partition("+")
    path, expected = str(DATA_DIR / name), CASES[case]
    if name.endswith(".txt"):
        assert str(q.parse_tle_content((DATA_DIR / name).read_text())) == expected
    elif expected.startswith("NavigationData"):
        assert repr(q.read_navigation(path)) == expected
    elif expected.startswith("RinexObsData"):
        stats = q.read_rinex_obs(path).snr_stats_by_satellite().values()
        assert (f"{q.read_rinex_obs(path)!r} {sum(s['obs_count'] for s in stats):.0f} "
                f"{sum(s['valid_count'] for s in stats):.0f} {sum(s['mean_snr'] for s in stats):.4f}") == expected
    else:
        r = analysed(name, nav or None)
        assert figures(r) == expected
        doc = json.loads(r.to_json())
        check_document_shape(doc)
        assert json.loads(r.to_json_pretty()) == doc
        assert sum(s["observation_count"] for s in doc["satellite_stats"].values()) == r.total_observations
        if nav:
            assert list(doc["visibility"]["by_system"]) == ["GPS", "GLONASS", "Galileo", "BeiDou"]
            assert r.visibility_prediction_source == f"BRDC Navigation ({q.read_navigation(str(DATA_DIR / nav)).satellite_count} satellites)"
            # Only constellations with ephemerides are compared; SBAS and IRNSS never are.
            debug = r.visibility_debug()
            for system, count in (("GPS", "gps_count"), ("GLONASS", "glonass_count"), ("Galileo", "galileo_count"), ("BeiDou", "beidou_count")):
                if getattr(q.read_navigation(str(DATA_DIR / nav)), count) == 0:
                    assert debug[system]["predicted"] == debug[system]["observed"] == "0"
            unexpected = set(doc["visibility"]["frequently_unexpected"]).union(
                *(s["unexpected_satellites"] for s in doc["visibility"]["by_system"].values()))
            assert not {s for s in unexpected if s[0] in "SI"}
        else:
            # Without navigation data every sample stands at 45 degrees.
            assert {s["mean_elevation"] for s in doc["satellite_stats"].values()} == {45.0}
            # The default selection: the S values of GPS, GLONASS, Galileo and BeiDou satellites.
            stats = q.read_rinex_obs(path).snr_stats_by_satellite()
            assert r.total_observations == sum(int(s["valid_count"]) for sat, s in stats.items() if sat[0] in "GREC")
            plain, obs = Plain(name), q.read_rinex_obs(path)
            assert {s: len(v) for s, v in plain.satellites.items()} == PUBLISHED[name]
            assert (obs.version, obs.num_epochs, obs.interval) == (plain.version, plain.epochs, plain.interval)
            assert obs.satellites_by_system() == plain.satellites
            assert obs.obs_types_by_system() == plain.codes
            assert set(stats) == {s for s, v in plain.snr.items() if v}
            for sat, values in plain.snr.items():
                valid = [v for v in values if 0.0 < v < 100.0]
                if values:
                    assert (stats[sat]["obs_count"], stats[sat]["valid_count"]) == (len(values), len(valid))
                    assert stats[sat]["mean_snr"] == pytest.approx(sum(valid) / len(valid) if valid else 0.0, rel=1e-12)
            # Path, bytes, alias and Windows line ends read alike.
            data = (DATA_DIR / name).read_bytes()
            assert answers(q.read_rinex_obs_bytes(data, name)) == answers(obs)
            assert answers(q.parse_rinex(data.replace(b"\n", b"\r\n"), name)) == answers(obs)


@needs_data
def test_same_document_in_another_process():
    # Nothing in the document depends on the process: hash seeds, addresses or allocation order.
    paths = [str(DATA_DIR / n) for n in ("TLSE00FRA_R_20230010000_10S_01S_MO.rnx", "BRDC00IGS_R_20230010000_01D_MN.rnx")]
    script = "import sys, hashlib, quorsin_cn0 as q; print(hashlib.sha256(q.analyze_cn0(*sys.argv[1:]).to_json().encode()).hexdigest())"
    here = hashlib.sha256(q.analyze_cn0(*paths).to_json().encode()).hexdigest()
    for seed in ("1", "2"):
        assert subprocess.run([sys.executable, "-c", script, *paths], check=True, capture_output=True, text=True,
                              env={**os.environ, "PYTHONHASHSEED": seed}).stdout.strip() == here
