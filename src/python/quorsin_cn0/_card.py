"""The notebook card of an AnalysisResult: plain HTML and CSS, no script, a few kilobytes.

It shows the verdict, the grade and the key figures, and a small bar plot of the mean C/N0 over
the file (one bar per slice of time, drawn with CSS) so that a notebook stays light.
"""

from __future__ import annotations

import html
import math
from typing import Any, List

from quorsin_cn0 import _summary

_BARS = 48
_COLOURS = {"none": ("#e8f6ec", "#2e7d32"), "interference": ("#fdecea", "#c62828"),
            "possible_spoofing": ("#fdecea", "#c62828")}


def _slices(values: List[float]) -> List[float]:
    if not values:
        return []
    n = min(_BARS, len(values))
    out = []
    for k in range(n):
        part = [v for v in values[k * len(values) // n:(k + 1) * len(values) // n] if math.isfinite(v)]
        out.append(sum(part) / len(part) if part else float("nan"))
    return out


def result_card(result: Any) -> str:
    word = _summary.verdict(result)
    back, fore = _COLOURS.get(word, _COLOURS["interference"])
    evs = _summary.events(result)
    e = html.escape
    figures = [
        ("station", result.station_name or "–"),
        ("span", f"{result.start_time[:16].replace('T', ' ')} + {_summary.fmt_duration(result.duration_hours)}"),
        ("epochs", f"{result.total_epochs} × {result.interval:g} s"),
        ("satellites", " ".join(f"{k}{v}" for k, v in _summary.satellites_by_system(result).items()) or "–"),
        ("mean C/N0", f"{result.mean_cn0:.1f} dB-Hz"),
        ("events", str(len(evs))),
        ("anomalies", f"{result.anomaly_count} ({result.critical_count} critical)"),
        ("navigation", "yes" if result.has_visibility_prediction else "no"),
    ]
    series = _slices(result.get_mean_cn0_series())
    finite = [v for v in series if math.isfinite(v)]
    lo, hi = (min(finite), max(finite)) if finite else (0.0, 1.0)
    span = max(hi - lo, 1.0)
    bars = "".join(
        f"<i style='height:{(8 + 42 * (v - lo) / span) if math.isfinite(v) else 0:.0f}px' title='{v:.1f} dB-Hz'></i>"
        for v in series)
    rows = "".join(f"<tr><th>{e(k)}</th><td>{e(v)}</td></tr>" for k, v in figures)
    return (
        "<div class='qcn0-card' style='font:13px/1.4 system-ui,sans-serif;max-width:560px;"
        "border:1px solid #d0d5dd;border-radius:8px;overflow:hidden'>"
        f"<div style='background:{back};color:{fore};padding:6px 10px;font-weight:600'>"
        f"{e(_summary.VERDICT_TEXT.get(word, word))} · grade {e(result.quality_grade)} "
        f"({result.score:.0f}/100)</div>"
        "<div style='display:flex;gap:12px;padding:8px 10px'>"
        f"<table style='border-collapse:collapse;font-size:12px'>{rows}</table>"
        "<div style='flex:1;min-width:160px'><div style='font-size:11px;color:#667'>mean C/N0 over time "
        f"({lo:.0f}–{hi:.0f} dB-Hz)</div>"
        "<div style='display:flex;align-items:flex-end;gap:1px;height:52px;border-bottom:1px solid #99a'>"
        f"{bars}</div></div></div>"
        "<style>.qcn0-card th{text-align:left;color:#667;font-weight:500;padding:0 8px 0 0}"
        ".qcn0-card td{padding:0}.qcn0-card i{flex:1;background:#4c78a8;display:block}</style></div>"
    )
