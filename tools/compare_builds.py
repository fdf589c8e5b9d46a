"""Whether two builds of the module give bit-identical results on every real observation file.

    python3 tools/compare_builds.py OLD_PYTHON_DIR NEW_PYTHON_DIR [data_dir]

For each observation file of the data folder (plain, gzip, Compact RINEX) each build, in its own
interpreter, reads the file and analyses it with and without its navigation file; the digest
covers every array of the observations (values, indicators, times, satellites, codes), the
header fields, and the analysis result's JSON, pickle, events and health. Prints one line per
file and exits 1 on any difference.
"""

from __future__ import annotations

import json
import os
import subprocess
import sys
from pathlib import Path

DIGEST = r"""
import hashlib, json, pickle, sys
import numpy as np
import quorsin_cn0 as q
out = {}
for path, nav in json.loads(sys.argv[1]):
    h = hashlib.sha256()
    try:
        obs = q.read_rinex_obs(path)
        for name in ("version", "marker_name", "receiver_type", "interval", "num_epochs", "num_satellites"):
            h.update(repr(getattr(obs, name)).encode())
        h.update(repr(obs.obs_types_by_system()).encode() if callable(obs.obs_types_by_system) else repr(obs.obs_types_by_system).encode())
        ds = obs.to_xarray()
        for name in sorted(ds.variables):
            a = np.asarray(ds[name].values)
            h.update(name.encode()); h.update(str(a.dtype).encode()); h.update(repr(a.shape).encode())
            h.update(a.tobytes() if a.dtype != object else repr(a.tolist()).encode())
        for nav_file in ([None, nav] if nav else [None]):
            r = q.analyze_cn0(path, nav_path=nav_file) if nav_file else q.analyze_cn0(path)
            h.update(r.to_json().encode()); h.update(pickle.dumps(r))
            h.update(repr(r.interference_events()).encode()); h.update(repr(r.health()).encode())
            for name in sorted(n for n in dir(r) if n.startswith("get_") and n != "get_constellation_summary"):
                h.update(name.encode()); h.update(repr(getattr(r, name)()).encode())
            for name in r.constellations:
                h.update(repr(r.get_constellation_summary(name)).encode())
            for what in ("satellites", "constellations", "timeseries", "anomalies", "events", "samples"):
                h.update(what.encode()); h.update(r.to_dataframe(what).to_csv().encode())
    except (ValueError, OSError) as e:  # a file a reader rejects; anything else is a fault
        h.update(("error " + type(e).__name__ + str(e)).encode())
    out[path] = h.hexdigest()
print(json.dumps(out))
"""


def navigation_for(data: Path, name: str) -> str | None:
    """The navigation file of the same station and day, else a broadcast file of that day."""
    names = sorted(p.name for p in data.iterdir())
    if len(name) > 23 and name[9:12] in ("_R_", "_S_"):  # STATIONxxx_R_YYYYDDDHHMM_...
        day = name[12:19]
        same_day = [n for n in names if n[12:19] == day and n.endswith(("N.rnx", "N.rnx.gz"))]
        same_day.sort(key=lambda n: (n[:9] != name[:9], "MN." not in n, n))  # own, mixed first
        return str(data / same_day[0]) if same_day else None
    stem, _, ext = name.rpartition(".")
    if len(ext) == 3 and ext[:2].isdigit():
        for cand in (stem + "." + ext[:2] + "n", stem + "." + ext[:2] + "N", "brdc" + stem[4:7] + "0." + ext[:2] + "n"):
            if cand in names:
                return str(data / cand)
    cand = name.replace(".obs", ".nav")
    return str(data / cand) if cand != name and cand in names else None


def observation_files(data: Path) -> list[tuple[str, str | None]]:
    files = []
    for p in sorted(data.iterdir()):
        name = p.name
        obs = name != "README.md" and name.endswith(("MO.rnx", "MO.crx", "MO.crx.gz", "o", "O", "d", "base.obs", "base_100s.obs"))
        if not obs or name.endswith((".nav", "N.rnx")):
            continue
        files.append((str(p), navigation_for(data, name)))
    return files


def digests(python_dir: str, files: list) -> dict[str, str]:
    env = dict(os.environ, PYTHONPATH=python_dir)
    out = subprocess.run([sys.executable, "-c", DIGEST, json.dumps(files)], env=env,
                         capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit(f"{python_dir}: the digest failed:\n{out.stderr[-3000:]}")
    return json.loads(out.stdout.strip().splitlines()[-1])


def main() -> int:
    old, new = sys.argv[1], sys.argv[2]
    data = Path(sys.argv[3]) if len(sys.argv) > 3 else Path(__file__).resolve().parents[2] / "shared" / "data"
    files = observation_files(data)
    a, b = digests(old, files), digests(new, files)
    bad = 0
    for path, _ in files:
        same = a[path] == b[path]
        bad += not same
        print(f"{'same' if same else 'DIFFERENT'}  {Path(path).name}")
    print(f"{len(files) - bad} of {len(files)} files identical")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
