"""The facts of one analysis that the command line, the HTML report and the notebook card show.

Everything here reads the compiled result's own figures; nothing is re-analysed. Newer results
carry interference events, a verdict word and station health; older ones only the anomaly list
and the three verdict flags, which are used instead.
"""

from __future__ import annotations

import math
from typing import Any, Dict, List, Optional, Tuple

# Carrier bands in the order shown, and which (system letter, code digit) belong to each. GPS,
# QZSS, SBAS and NavIC share L1/L2/L5; Galileo E1/E5a/E5b/E6; BeiDou B1C (1) and B1I (2) are L1,
# B2a (5) L5, B2I/B2b (7) E5b, B3 (6) E6; GLONASS G1/G2 and G3 (3) with E5b.
BANDS = ("L1", "G1", "L2", "G2", "L5", "E5b", "E6")
_BAND_OF = {}
for _s in "GJSI":
    _BAND_OF.update({(_s, "1"): "L1", (_s, "2"): "L2", (_s, "5"): "L5"})
_BAND_OF.update({("J", "6"): "E6"})
_BAND_OF.update({("E", "1"): "L1", ("E", "5"): "L5", ("E", "8"): "L5", ("E", "7"): "E5b", ("E", "6"): "E6"})
_BAND_OF.update({("C", "1"): "L1", ("C", "2"): "L1", ("C", "5"): "L5", ("C", "8"): "L5",
                 ("C", "7"): "E5b", ("C", "6"): "E6"})
_BAND_OF.update({("R", "1"): "G1", ("R", "4"): "G1", ("R", "2"): "G2", ("R", "6"): "G2", ("R", "3"): "E5b"})

SYSTEM_NAMES = {"G": "GPS", "R": "GLONASS", "E": "Galileo", "C": "BeiDou", "J": "QZSS", "S": "SBAS",
                "I": "IRNSS"}
SYSTEM_LETTERS = {v: k for k, v in SYSTEM_NAMES.items()}

VERDICT_TEXT = {
    "none": "No interference found",
    "interference": "Interference",
    "possible_spoofing": "Possible spoofing",
}


def band_of(system: str, code: str) -> Optional[str]:
    """Carrier band of an observation code ("S1C", or "S1" in RINEX 2) of a system letter."""
    if len(code) < 2:
        return None
    return _BAND_OF.get((system, code[1]))


def samples_frame(result: Any) -> Any:
    """The accepted samples as a pandas DataFrame with system and band columns, or None when
    pandas (or the samples view) is not available."""
    if not hasattr(result, "to_dataframe"):
        return None
    try:
        import pandas  # type: ignore[import-untyped, import-not-found, unused-ignore]  # noqa: F401
    except ImportError:
        return None
    import numpy as np
    import pandas as pd  # type: ignore[import-untyped, import-not-found, unused-ignore]

    frame = result.to_dataframe("samples")
    # Work on the categories (a few dozen satellites and codes), not on the 10^5..10^6 rows.
    sats = frame["satellite"].cat
    codes = frame["code"].cat
    letters = [str(s)[:1] for s in sats.categories]
    systems = sorted(set(letters))
    frame["system"] = pd.Categorical.from_codes(
        np.array([systems.index(x) for x in letters], dtype=np.int32)[sats.codes], categories=systems)
    labels = [*BANDS, "other"]
    table = np.array([[labels.index(band_of(x, str(c)) or "other") for c in codes.categories] for x in letters],
                     dtype=np.int32).reshape(len(letters), len(codes.categories))
    frame["band"] = pd.Categorical.from_codes(table[sats.codes, codes.codes], categories=labels)
    return frame


def band_means(frame: Any) -> Dict[str, float]:
    """Mean C/N0 per band, bands in their fixed order."""
    if frame is None or len(frame) == 0:
        return {}
    means = frame.groupby("band", observed=True)["cn0"].mean()
    return {b: float(means[b]) for b in BANDS if b in means.index}


def verdict(result: Any) -> str:
    """'none', 'interference' or 'possible_spoofing'."""
    word = getattr(result, "interference_verdict", None)
    if isinstance(word, str) and word:
        return word
    if result.spoofing_detected:
        return "possible_spoofing"
    if result.jamming_detected or result.interference_detected:
        return "interference"
    return "none"


def events(result: Any) -> List[Dict[str, Any]]:
    """Interference events when the result has them, else the C/N0 anomalies in the same shape."""
    method = getattr(result, "interference_events", None)
    if method is not None:
        return [dict(e) for e in method()]
    out = []
    for a in result.get_anomalies():
        out.append({
            "start": a["start_time"], "end": a["end_time"], "duration_s": 0.0,
            "kind": a["anomaly_type"], "bands": [], "depth_db": float(a["cn0_drop"]),
            "signals_affected": len([s for s in a["affected_satellites"].split(",") if s]),
            "signals_tracked": None, "severity": a["severity"], "systems": a["affected_systems"],
        })
    return out


def health(result: Any) -> Optional[Dict[str, Any]]:
    method = getattr(result, "health", None)
    return dict(method()) if method is not None else None


def satellites_by_system(result: Any, frame: Any = None) -> Dict[str, int]:
    """Satellites per system letter, in the usual G R E C J S I order."""
    counts: Dict[str, int] = {}
    for name in result.constellations:
        summary = result.get_constellation_summary(name)
        letter = SYSTEM_LETTERS.get(name, name[:1])
        if summary is not None:
            counts[letter] = int(summary["satellite_count"])
    order = "GRECJSI"
    return {k: counts[k] for k in sorted(counts, key=lambda k: (order.find(k) % 99, k))}


def fmt_duration(hours: float) -> str:
    if not math.isfinite(hours) or hours <= 0:
        return "0m"
    minutes = int(round(hours * 60))
    h, m = divmod(minutes, 60)
    return f"{h}h{m:02d}m" if h else f"{m}m"


def facts(result: Any, path: str, frame: Any = None) -> Dict[str, Any]:
    """One row of the command line's table, and the head of the report, as plain values."""
    evs = events(result)
    return {
        "file": path,
        "station": result.station_name or "-",
        "first_epoch": result.start_time,
        "last_epoch": result.end_time,
        "duration_hours": result.duration_hours,
        "interval": result.interval,
        "epochs": result.total_epochs,
        "satellites": satellites_by_system(result),
        "band_cn0": band_means(frame),
        "mean_cn0": result.mean_cn0,
        "grade": result.quality_grade,
        "score": result.score,
        "events": len(evs),
        "verdict": verdict(result),
        "jamming": result.jamming_detected,
        "spoofing": result.spoofing_detected,
        "interference": result.interference_detected,
        "anomalies": result.anomaly_count,
        "navigation": result.has_visibility_prediction,
    }


def evidence(result: Any, evs: List[Dict[str, Any]]) -> List[str]:
    """Short sentences that say why the verdict is what it is."""
    lines = []
    if evs:
        kinds: Dict[str, int] = {}
        for e in evs:
            kinds[e["kind"]] = kinds.get(e["kind"], 0) + 1
        deepest = max(evs, key=lambda e: abs(e.get("depth_db") or 0.0))
        lines.append(f"{len(evs)} event(s): " + ", ".join(f"{n} {k}" for k, n in kinds.items())
                     + f"; the largest C/N0 change {abs(deepest['depth_db']):.1f} dB at {deepest['start']}.")
    else:
        lines.append("No interference event in the file.")
    lines.append(f"C/N0 anomalies: {result.anomaly_count} ({result.critical_count} critical); "
                 f"jamming {'yes' if result.jamming_detected else 'no'}, "
                 f"spoofing {'yes' if result.spoofing_detected else 'no'}, "
                 f"interference {'yes' if result.interference_detected else 'no'}.")
    if result.has_visibility_prediction:
        lines.append(f"Visibility: {result.visibility_mean_observed:.1f} satellites observed per epoch against "
                     f"{result.visibility_mean_predicted:.1f} predicted; "
                     f"{result.visibility_mean_unexpected:.1f} unexpected, {result.visibility_mean_missing:.1f} "
                     f"missing per epoch.")
    else:
        lines.append("No navigation data: no visibility prediction, so spoofing cannot be judged.")
    return lines


def table_cells(f: Dict[str, Any]) -> Tuple[str, ...]:
    sats = " ".join(f"{k}{v}" for k, v in f["satellites"].items()) or "-"
    bands = " ".join(f"{b}:{v:.1f}" for b, v in f["band_cn0"].items()) or f"all:{f['mean_cn0']:.1f}"
    flags = ",".join(n for n in ("jamming", "spoofing", "interference") if f[n]) or "-"
    first = (f["first_epoch"] or "-").replace("T", " ").rstrip("Z")[:19]
    return (f["station"], first, fmt_duration(f["duration_hours"]), str(f["epochs"]), sats, bands,
            f["grade"], str(f["events"]), f["verdict"], flags)


TABLE_HEAD = ("station", "first epoch", "dur", "epochs", "satellites", "mean C/N0 dB-Hz", "grade",
              "events", "verdict", "flags")
