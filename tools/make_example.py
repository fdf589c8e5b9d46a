"""Builds the sample shipped in src/python/quorsin_cn0/example/ from the station ESBC's files of
2020-06-25 (observation file ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz and navigation file
ESBC00DNK_R_20201770000_01D_MN.rnx, from nav-solutions/data, MPL-2.0).

The sample keeps three hours (06:00 to 09:00) of the observation file, with only the signal-strength
(S) observations of GPS, GLONASS, Galileo and BeiDou and one pseudorange per system; and the
navigation records of those systems whose time of clock lies within two hours of that window.
The observation part is written as Compact RINEX (gzip), the navigation part as gzip.

    python3 tools/make_example.py [DATA_DIR]
"""

from __future__ import annotations

import gzip
import sys
from pathlib import Path

import hatanaka

REPO = Path(__file__).resolve().parent.parent
DATA = Path(sys.argv[1]) if len(sys.argv) > 1 else REPO.parent / "shared" / "data"
OUT = REPO / "src" / "python" / "quorsin_cn0" / "example"
OBS = "ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz"
NAV = "ESBC00DNK_R_20201770000_01D_MN.rnx"
OBS_OUT = "ESBC00DNK_R_20201770600_03H_30S_MO.crx.gz"
NAV_OUT = "ESBC00DNK_R_20201770600_03H_MN.rnx.gz"
SYSTEMS = "GREC"
START, END = (2020, 6, 25, 6, 0), (2020, 6, 25, 8, 59, 30)


def header_line(value: str, label: str) -> str:
    return value[:60].ljust(60) + label


def cut_observations(text: str) -> str:
    lines = text.splitlines()
    end = next(i for i, ln in enumerate(lines) if ln[60:].startswith("END OF HEADER"))
    header, body = lines[: end + 1], lines[end + 1:]
    # Observation types per system, and which columns to keep.
    types: dict = {}
    current = None
    for ln in header:
        if ln[60:].startswith("SYS / # / OBS TYPES"):
            if ln[0] != " ":
                current = ln[0]
                types[current] = []
            types[current] += ln[7:60].split()
    keep = {}
    for s, codes in types.items():
        if s not in SYSTEMS:
            continue
        first_c = next(i for i, c in enumerate(codes) if c[0] == "C")
        keep[s] = [i for i, c in enumerate(codes) if c[0] == "S" or i == first_c]
    out = []
    done_types = False
    for ln in header:
        label = ln[60:]
        if label.startswith("SYS / # / OBS TYPES"):
            if not done_types:
                for s in sorted(keep):
                    codes = [types[s][i] for i in keep[s]]
                    for k in range(0, len(codes), 13):
                        head = f"{s}  {len(codes):3d}" if k == 0 else " " * 6
                        out.append(header_line(head + "".join(" " + c for c in codes[k:k + 13]), "SYS / # / OBS TYPES"))
                done_types = True
            continue
        if label.startswith(("TIME OF FIRST OBS", "TIME OF LAST OBS")):
            t = START if "FIRST" in label else END
            out.append(header_line(f"{t[0]:6d}{t[1]:6d}{t[2]:6d}{t[3]:6d}{t[4]:6d}{(t[5] if len(t) > 5 else 0):13.7f}"
                                   "     GPS", label.strip()))
            continue
        if label.startswith(("SYS / PHASE SHIFT", "GLONASS COD/PHS/BIS", "# OF SATELLITES", "PRN / # OF OBS")):
            continue
        if label.startswith("END OF HEADER"):
            out.append(header_line("Cut to 06:00-09:00, S observations of G R E C (quorsin_cn0 sample)", "COMMENT"))
        out.append(ln)
    i = 0
    while i < len(body):
        ln = body[i]
        n = int(ln[32:35])
        parts = ln[1:29].split()
        t = tuple(int(x) for x in parts[:5]) + (float(parts[5]),)
        sats = body[i + 1: i + 1 + n]
        i += 1 + n
        if not (START <= t[:5] and t <= END):
            continue
        rows = []
        for s in sats:
            if s[0] not in keep:
                continue
            fields = [s[3 + 16 * k: 3 + 16 * (k + 1)].ljust(16) for k in keep[s[0]]]
            row = (s[:3] + "".join(fields)).rstrip()
            if len(row) > 3:
                rows.append(row)
        out.append(ln[:32] + f"{len(rows):3d}" + ln[35:])
        out += rows
    return "\n".join(out) + "\n"


def cut_navigation(text: str) -> str:
    lines = text.splitlines()
    end = next(i for i, ln in enumerate(lines) if ln[60:].startswith("END OF HEADER"))
    header = [ln for ln in lines[: end + 1] if not ln.startswith("B_")]
    out = header[:]
    body = lines[end + 1:]
    i = 0
    sizes = {"G": 8, "E": 8, "C": 8, "J": 8, "R": 4, "S": 4, "I": 8}
    while i < len(body):
        ln = body[i]
        n = sizes.get(ln[0], 8)
        record = body[i: i + n]
        i += n
        hour = int(ln[15:17]) if ln[4:14] == "2020 06 25" else -99
        if ln[0] in SYSTEMS and START[3] - 2 <= hour <= END[3] + 2:
            out += record
    return "\n".join(out) + "\n"


def main() -> None:
    OUT.mkdir(parents=True, exist_ok=True)
    obs = hatanaka.decompress((DATA / OBS).read_bytes()).decode("ascii")
    cut = cut_observations(obs)
    crx = hatanaka.rnx2crx(cut.encode("ascii"))
    (OUT / OBS_OUT).write_bytes(gzip.compress(crx, compresslevel=9, mtime=0))
    nav = cut_navigation((DATA / NAV).read_text(encoding="ascii"))
    (OUT / NAV_OUT).write_bytes(gzip.compress(nav.encode("ascii"), compresslevel=9, mtime=0))
    for name in (OBS_OUT, NAV_OUT):
        print(name, (OUT / name).stat().st_size, "bytes")


if __name__ == "__main__":
    main()
