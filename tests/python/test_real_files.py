"""Every file of the real data folder, read and analysed, against figures known from the files.
Plain observation files are also read by a plain reading of their text, independent of the library:
an epoch counts when one of its satellites has a nonzero, readable value for a code of its system's
list, a satellite once it has such a value. Those counts agree with the figures published with the data."""

from __future__ import annotations

import json
import math
import re

import pytest

import quorsin_cn0 as q
from conftest import DATA_DIR, check_document_shape, needs_data

RINEX2_CODES = {"C1": "C1C", "P1": "C1P", "L1": "L1C", "S1": "S1C", "C2": "C2C", "P2": "C2P", "L2": "L2C",
                "S2": "S2C", "C5": "C5Q", "L5": "L5Q", "S5": "S5Q"}
EPOCH2 = re.compile(r" [ \d]\d [ \d]\d [ \d]\d [ \d]\d [ \d]\d [ \d]\d\.\d{7}  \d[ \d]{2}\d")


def number(text: str) -> float | None:
    try:
        return float(text) or None
    except ValueError:
        return None


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


# One case a line (a continuation line starts with blanks): a file, or observation + navigation file, "|", what it
# gives. TLE file: its element sets. Navigation file: satellites per constellation. Compressed observation
# file: version, epochs, satellites, S values and valid ones, sum of the means per satellite. Plain observation
# file: satellites per system as published, "|", then for every analysis: observations, satellites, epochs, mean
# C/N0 and deviation of the series, anomalies/critical, assessment score and grade, score view and grade, sky
# coverage, observations per constellation (? for none known); with navigation data (every constellation
# selected), "|" predicted, observed, missing, unexpected per epoch, confirmation rate, visibility anomalies.
TABLE = """
matrtklib_20240624_static_base.obs | G12 R9 E9 C25 J2 | 42434 57 301 39.682939 0.163187 0/0 62.6321D 83.7711B 0.1543 C18144 E7818 G11054 J0 R5418
matrtklib_20230711_base_100s.obs | G11 R7 E7 J4 C8 | 5700 37 100 41.735088 0.061803 0/0 67.4205D 85.0698B 0.1543 G1900 R1300 E1200 J0 C1300
SEPT265G.21O | G8 E8 J4 | 22781 20 360 42.080028 0.637423 0/0 68.2253D 79.2023C 0.1543 E11011 G11770 J0
3034265G.21O | G8 E6 J4 | 15840 18 360 43.756244 0.120605 0/0 72.1365C 82.2455B 0.1543 G9360 J0 E6480
GEOP092I.24o | G9 R8 E10 C9 | 27685 36 599 31.955947 0.415595 0/0 44.6025F 56.4377F 0.1543 C4594 E10997 G7917 R4177
CEDA00USA_R_20182100000_23H_15S_MO.rnx | E15 R4 | 37391 19 4675 47.537984 3.344196 0/0 75.0386C 75.8487C 0.1543 E32696 R4695
TLSE00FRA_R_20230010000_10S_01S_MO.rnx | G11 R9 E9 C16 S5 I2 | 2035 52 11 43.497150 0.032367 0/0 71.5319C 90.7639A 0.1543 C748 E495 G440 I0 R352 S0
zimm0010.21o | G31 | 69054 31 2880 40.743572 1.205414 1/1 64.9680D 51.0340F 0.1543 G69054
delf0010.21o | G14 R10 | 4153 24 105 40.913797 0.527954 1/1 61.6946D 74.4333C 0.1543 G2491 R1662
slac1180.21o | G13 R9 E8 | 13913 30 241 43.935197 0.899410 0/0 72.5540C 81.3519B 0.1543 G5520 R2592 E5801
tlse001b.23o | G10 R10 E9 S4 | 900 33 10 44.939667 0.045623 0/0 74.8978C 94.1679A 0.1543 E450 G270 R180 S0
matrtklib_20240624_static_base.obs+matrtklib_20240624_static_base.nav | 38103 57 301 41.120273 0.103541 0/0 58.8095F 87.0419B 9.5679 C15050 E6498 G9933 J1806 R4816
    | 52.295681 56.647841 4.000000 8.352159 92.351185 0
matrtklib_20230711_base_100s.obs+matrtklib_20230711_base.nav | 6005 37 100 41.963197 0.052187 0/0 59.3595F 88.5226B 6.0185 G1800 R1205 E1200 J500 C1300
    | 37.050000 37.000000 4.000000 3.950000 89.203779 0
SEPT265G.21O+SEPT2650.21P | 25751 20 360 42.637089 0.797273 0/0 66.4342D 81.0299B 4.0123 E9793 G11770 J4188
    | 21.019444 19.661111 2.294444 0.936111 89.084181 0
3034265G.21O+SEPT2650.21P | 23040 18 360 43.975872 0.095520 0/0 70.6792C 83.9029B 3.7037 G9360 J7200 E6480
    | 21.000000 18.000000 3.000000 0.000000 85.714286 0
GEOP092I.24o+CORD00ARG_R_20240920000_01D_MN.rnx | 27685 36 599 31.955947 0.415595 0/0 35.2221F 61.8725D 7.4074 C4594 E10997 G7917 R4177
    | 25.018364 32.020033 3.994992 10.996661 84.031763 0
GEOP092I.24o+HERT00GBR_R_20240920000_01D_GN.rnx | 27685 36 599 31.955947 0.415595 0/0 42.9303F 57.8027F 2.9321 C4594 E10997 G7917 R4177
    | 8.789649 7.749583 1.040067 0.000000 88.167142 0
CEDA00USA_R_20182100000_23H_15S_MO.rnx+ELKO00USA_R_20182100000_01D_MN.rnx | 36333 19 4675 47.751782 3.368485 0/0 72.7109C 71.4327C 41.9753 E32369 R3964
    | 27.289626 3.176257 24.504813 0.391444 10.204658 0
TLSE00FRA_R_20230010000_10S_01S_MO.rnx+BRDC00IGS_R_20230010000_01D_MN.rnx | 1994 52 11 44.036760 0.037957 0/0 67.8691D 87.9295B 6.3272 C660 E495 G385 I0 R352 S80 ?22
    | 43.000000 45.000000 1.000000 3.000000 97.674419 0
zimm0010.21o+brdc0010.21n | 69004 31 2880 40.750920 1.204927 1/1 82.2888B 51.0539F 72.0679 G69004
    | 10.183681 9.857639 0.334722 0.008681 96.713151 0
delf0010.21o+brdc0010.21n | 3951 24 105 41.869400 0.506815 0/0 64.9170D 77.4231C 10.1852 G2289 R1662
    | 13.123810 11.876190 2.219048 0.971429 83.091437 0
slac1180.21o+brdc1180.21n | 13856 30 241 43.985335 0.898753 0/0 76.8946C 80.8118B 20.3704 G5463 R2592 E5801
    | 9.991701 9.775934 0.315353 0.099585 96.843854 0
tlse001b.23o+BRDC00IGS_R_20230010000_01D_MN.rnx | 940 33 10 44.897234 0.039905 0/0 67.5376D 92.6850A 4.4753 E450 G270 R160 S60
    | 41.000000 29.000000 13.000000 1.000000 68.292683 0
AJAC00FRA_R_20242090000_01D_30S_MO.crx.gz | 3.04 2880 122 392371 392371 5521.4946
amel0010.21g | G0 R24 E0 C0
AMEL00NLD_R_20210010000_01D_MN.rnx | G34 R24 E22 C23
brdc0010.21n | G32 R0 E0 C0
BRDC00IGS_R_20230010000_01D_MN.rnx | G35 R25 E26 C43
BRDC00IGS_R_20240010000_01D_MN.rnx.gz | G36 R25 E25 C45
brdc1180.21n | G32 R0 E0 C0
CEBR00ESP_R_20182000000_01D_30S_MO.crx.gz | 3.03 2880 101 293310 293310 4168.5732
CORD00ARG_R_20240920000_01D_MN.rnx | G32 R26 E25 C29
delf0010.21d | 2.11 2880 55 107522 107522 2279.4849
ELKO00USA_R_20182100000_01D_MN.rnx | G32 R24 E20 C13
ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz | 3.05 2880 113 432050 432050 4460.4576
ESBC00DNK_R_20201770000_01D_MN.rnx | G34 R23 E24 C29
gnss_2024-06-08.txt | 64
GRAS00FRA_R_20242090000_01D_EN.rnx | G0 R0 E23 C0
HERT00GBR_R_20240920000_01D_GN.rnx | G32 R0 E0 C0
KMS300DNK_R_20221591000_01H_MN.rnx | G22 R10 E18 C23
matrtklib_20230711_base.nav | G36 R24 E24 C22
matrtklib_20240624_static_base.nav | G16 R10 E14 C32
NYA100NOR_S_20241240000_01D_30S_MO.crx.gz | 3.05 2880 96 364751 364751 4113.8078
NYA100NOR_S_20241240000_01D_CN.rnx | G0 R0 E0 C18
NYA100NOR_S_20241240000_01D_EN.rnx | G0 R0 E23 C0
NYA100NOR_S_20241240000_01D_GN.rnx | G31 R0 E0 C0
SEPT2650.21P | G27 R0 E14 C0
TLSE00FRA_R_20230010000_10S_01S_MO.crx | 3.04 10 52 1942 1942 2201.2210
TLSE00FRA_R_20240011200_15M_01S_MO.crx.gz | 3.04 900 50 148145 148145 2117.7594
wsra0010.21d | 2.11 2880 55 107962 107962 2160.1762
york0440.15d | 2.11 2880 30 54119 54119 1218.8815
zegv0010.21d | 2.11 2880 54 132886 132886 2248.5266

"""
CASES = dict(line.split(" | ", 1) for line in TABLE.replace("\n    | ", " | ").strip().splitlines())
LETTER = {"GPS": "G", "GLONASS": "R", "Galileo": "E", "BeiDou": "C", "QZSS": "J", "SBAS": "S", "IRNSS": "I", "Unknown": "?"}


def figures(r: q.AnalysisResult) -> str:
    doc = json.loads(r.to_json())
    qs = doc["quality_score"]
    text = (f"{r.total_observations} {r.total_satellites} {r.total_epochs} {r.mean_cn0:.6f} {r.cn0_std_dev:.6f} "
            f"{r.anomaly_count}/{r.critical_count} {qs['overall']:.4f}{qs['grade']} {r.score:.4f}{r.quality_grade} "
            f"{r.skyplot_coverage:.4f} " + " ".join(f"{LETTER[n]}{s['observation_count']}" for n, s in doc["constellation_stats"].items()))
    if r.has_visibility_prediction:
        text += (f" | {r.visibility_mean_predicted:.6f} {r.visibility_mean_observed:.6f} {r.visibility_mean_missing:.6f} "
                 f"{r.visibility_mean_unexpected:.6f} {r.visibility_confirmation_rate:.6f} {r.visibility_anomaly_count}")
    return text


def answers(obs: q.RinexObsData) -> tuple:
    return (repr(obs), obs.marker_name, obs.interval, obs.satellites_by_system(), obs.obs_types_by_system(),
            obs.snr_availability(), obs.snr_stats_by_satellite(), obs.debug_info())


@needs_data
def test_every_file_of_the_data_folder_is_covered():
    files = {p.name for p in DATA_DIR.iterdir() if p.suffix not in (".md", "") and p.name != "SHA256SUMS"}
    assert files == {n for c in CASES for n in c.split("+")}


@needs_data
@pytest.mark.parametrize("case", CASES)
def test_real_file(case):
    name, _, nav = case.partition("+")
    path, expected = str(DATA_DIR / name), CASES[case]
    if name.endswith(".txt"):
        assert str(q.parse_tle_content((DATA_DIR / name).read_text())) == expected
        return
    obs = q.read_rinex_obs(path)
    if not obs.num_epochs:
        n = q.read_navigation(path)
        assert f"G{n.gps_count} R{n.glonass_count} E{n.galileo_count} C{n.beidou_count}" == expected
        assert (n.satellite_count, n.has_data()) == (n.gps_count + n.glonass_count + n.galileo_count + n.beidou_count, True)
        return
    stats = obs.snr_stats_by_satellite()
    if "|" not in expected and not nav:
        assert (f"{obs.version:.2f} {obs.num_epochs} {obs.num_satellites} {sum(s['obs_count'] for s in stats.values()):.0f} "
                f"{sum(s['valid_count'] for s in stats.values()):.0f} {sum(s['mean_snr'] for s in stats.values()):.4f}") == expected
        return
    r = q.analyze_cn0(path, str(DATA_DIR / nav) if nav else None, systems=list("GRECJSI") if nav else None)
    published, _, expected = expected.rpartition(" | ") if not nav else ("", "", expected)
    assert figures(r) == expected
    doc = json.loads(r.to_json())
    check_document_shape(doc)
    assert json.loads(r.to_json_pretty()) == doc
    assert sum(s["observation_count"] for s in doc["satellite_stats"].values()) == r.total_observations
    if nav:
        navigation = q.read_navigation(str(DATA_DIR / nav))
        assert r.visibility_prediction_source == f"BRDC Navigation ({navigation.satellite_count} satellites)"
        assert list(doc["visibility"]["by_system"]) == list(LETTER)[:4]
        # Only constellations with ephemerides are compared; SBAS and IRNSS never are.
        for system, count in zip(LETTER, ("gps_count", "glonass_count", "galileo_count", "beidou_count")):
            if getattr(navigation, count) == 0:
                assert r.visibility_debug()[system]["predicted"] == r.visibility_debug()[system]["observed"] == "0"
        unexpected = set(doc["visibility"]["frequently_unexpected"]).union(
            *(s["unexpected_satellites"] for s in doc["visibility"]["by_system"].values()))
        assert not {s for s in unexpected if s[0] in "SI"}
        return
    # Without navigation data every sample stands at 45 degrees; the default selection takes the
    # S values of GPS, GLONASS, Galileo and BeiDou satellites.
    assert {s["mean_elevation"] for s in doc["satellite_stats"].values()} == {45.0}
    assert r.total_observations == sum(int(s["valid_count"]) for sat, s in stats.items() if sat[0] in "GREC")
    plain = Plain(name)
    assert sorted(f"{s}{len(v)}" for s, v in plain.satellites.items()) == sorted(published.split())
    assert (obs.version, obs.num_epochs, obs.interval) == (plain.version, plain.epochs, plain.interval)
    assert (obs.satellites_by_system(), obs.obs_types_by_system()) == (plain.satellites, plain.codes)
    assert set(stats) == {s for s, v in plain.snr.items() if v}
    for sat, values in plain.snr.items():
        valid = [v for v in values if 0.0 < v < 100.0]
        if values:
            assert (stats[sat]["obs_count"], stats[sat]["valid_count"]) == (len(values), len(valid))
            assert stats[sat]["mean_snr"] == pytest.approx(sum(valid) / len(valid) if valid else 0.0, rel=1e-12)
    # Path, bytes, alias and Windows line ends read alike.
    data = (DATA_DIR / name).read_bytes()
    assert answers(q.read_rinex_obs_bytes(data, name)) == answers(obs) == answers(q.parse_rinex(data.replace(b"\n", b"\r\n"), name))
