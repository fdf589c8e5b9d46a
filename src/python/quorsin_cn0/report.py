"""One self-contained HTML report of an analysis: facts first, then the verdict with its evidence,
then the plots and tables.

The plots are plotly figures. plotly.js is embedded once, gzip-compressed and base64-encoded, and
unpacked by the browser's own DecompressionStream, so the page needs no network and a day of data
stays well under 5 MB. The data behind each plot is aggregated for display (five-minute means for
a long file); every figure comes from the analysis result itself.
"""

from __future__ import annotations

import base64
import gzip
import html
import json
import math
import os
import re
from typing import Any, Dict, List, Optional, Sequence

from quorsin_cn0 import _summary

_NOT_FINITE = re.compile(r"\bNaN\b|-?\bInfinity\b")
PLOT_CONFIG = {"displaylogo": False, "responsive": True}
VERDICT_CLASS = {"none": "ok", "interference": "bad", "possible_spoofing": "bad"}
SYSTEM_COLOURS = {"G": "#1f77b4", "R": "#d62728", "E": "#2ca02c", "C": "#ff7f0e", "J": "#9467bd",
                  "S": "#8c564b", "I": "#e377c2"}
BAND_DASH = {"L1": "solid", "G1": "solid", "L2": "dash", "G2": "dash", "L5": "dot", "E5b": "dashdot",
             "E6": "longdash", "other": "longdashdot"}


# --- plotly.js, compressed once per plotly version -------------------------------------------


def _plotly_js_packed() -> str:
    import plotly  # type: ignore[import-untyped, unused-ignore]
    from plotly.offline import get_plotlyjs  # type: ignore[import-untyped, unused-ignore]

    cache_dir = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "quorsin_cn0")
    cache = os.path.join(cache_dir, f"plotly-{plotly.__version__}.min.js.gz.b64")
    try:
        with open(cache, encoding="ascii") as f:
            return f.read()
    except OSError:
        pass
    packed = base64.b64encode(gzip.compress(get_plotlyjs().encode("utf-8"), compresslevel=6, mtime=0)).decode()
    try:
        os.makedirs(cache_dir, exist_ok=True)
        tmp = cache + f".{os.getpid()}.tmp"
        with open(tmp, "w", encoding="ascii") as f:
            f.write(packed)
        os.replace(tmp, cache)
    except OSError:
        pass  # no writable cache: pack again next time
    return packed


# --- data for the plots ----------------------------------------------------------------------


def _times(stamps: Sequence[str]) -> List[str]:
    return [s.rstrip("Z").replace("T", " ") for s in stamps]


def _bucket_seconds(duration_hours: float) -> int:
    if duration_hours > 6:
        return 300
    if duration_hours > 1:
        return 60
    return 0


def _points_from_skyplot(result: Any) -> Dict[str, List[Any]]:
    """Samples without time or code, from the skyplot traces (used when pandas is absent)."""
    out: Dict[str, List[Any]] = {"satellite": [], "system": [], "azimuth": [], "elevation": [], "cn0": []}
    for trace in result.get_skyplot_data():
        az = [float(v) for v in trace["azimuths"].split(",") if v]
        el = [float(v) for v in trace["elevations"].split(",") if v]
        cn = [float(v) for v in trace["cn0_values"].split(",") if v]
        step = max(1, len(az) // 300)
        sat = trace["satellite"]
        out["satellite"] += [sat] * len(az[::step])
        out["system"] += [sat[:1]] * len(az[::step])
        out["azimuth"] += az[::step]
        out["elevation"] += el[::step]
        out["cn0"] += cn[::step]
    return out


def _shapes_for_events(evs: List[Dict[str, Any]]) -> List[Dict[str, Any]]:
    shapes = []
    for e in evs:
        start, end = _times([e["start"], e["end"]])
        colour = "rgba(214,39,40,0.18)" if "drop" in e["kind"] or "CN0" in e["kind"] else "rgba(148,103,189,0.2)"
        shapes.append({"type": "rect", "xref": "x", "yref": "paper", "x0": start, "x1": end, "y0": 0, "y1": 1,
                       "fillcolor": colour, "line": {"width": 1, "color": colour}, "layer": "below"})
    return shapes


def _layout(title: str, **extra: Any) -> Dict[str, Any]:
    base = {"title": {"text": title, "x": 0.01, "font": {"size": 15}}, "margin": {"l": 55, "r": 20, "t": 40, "b": 45},
            "height": 360, "template": "plotly_white", "legend": {"font": {"size": 10}}}
    base.update(extra)
    return base


def _figures(result: Any, frame: Any, evs: List[Dict[str, Any]]) -> List[Dict[str, Any]]:
    """The plots to draw: a list of {id, title, data, layout}."""
    figs: List[Dict[str, Any]] = []
    bucket = _bucket_seconds(result.duration_hours)
    shapes = _shapes_for_events(evs)

    # Events on a timeline.
    if result.start_time:
        t0, t1 = _times([result.start_time, result.end_time])
        data = []
        for i, e in enumerate(evs):
            s, t = _times([e["start"], e["end"]])
            label = "+".join(e.get("bands") or []) or e.get("systems", "") or "all"
            data.append({"type": "scatter", "mode": "lines", "x": [s, t], "y": [label, label],
                         "line": {"width": 14, "color": "#d62728" if e["depth_db"] >= 0 else "#9467bd"},
                         "name": e["kind"], "showlegend": False,
                         "hovertext": f"{e['kind']} {e['depth_db']:.1f} dB, {e['start']} to {e['end']}",
                         "hoverinfo": "text"})
        if not data:
            data.append({"type": "scatter", "mode": "markers", "x": [t0, t1], "y": ["no event", "no event"],
                         "marker": {"opacity": 0}, "showlegend": False, "hoverinfo": "skip"})
        figs.append({"id": "timeline", "title": "Events", "data": data,
                     "layout": _layout("Events on the time axis", height=200, xaxis={"range": [t0, t1]},
                                       yaxis={"automargin": True})})

    # C/N0 over time per band and constellation.
    data = []
    if frame is not None and "time" in frame:
        f = frame[["time", "band", "system", "cn0"]]
        if bucket:
            f = f.assign(time=f["time"].dt.floor(f"{bucket}s"))
        grouped = f.groupby(["system", "band", "time"], observed=True)["cn0"].mean().reset_index()
        for (system, band), g in grouped.groupby(["system", "band"], observed=True, sort=True):
            data.append({"type": "scattergl", "mode": "lines", "x": [str(t) for t in g["time"]],
                         "y": [round(v, 2) for v in g["cn0"]], "name": f"{_summary.SYSTEM_NAMES.get(system, system)} {band}",
                         "line": {"color": SYSTEM_COLOURS.get(system, "#555"), "dash": BAND_DASH.get(band, "solid"),
                                  "width": 1.3}})
    else:
        stamps = _times(result.get_timestamps())
        step = max(1, len(stamps) // 600)
        data.append({"type": "scattergl", "mode": "lines", "x": stamps[::step],
                     "y": [round(v, 2) for v in result.get_mean_cn0_series()[::step]], "name": "all signals"})
    figs.append({"id": "cn0_time", "title": "C/N0 over time",
                 "data": data, "layout": _layout("Mean C/N0 per constellation and band (dB-Hz), events shaded",
                                                 height=420, shapes=shapes, yaxis={"title": "dB-Hz"})})

    # Points for the sky plots.
    if frame is not None:
        f = frame
        if bucket:
            f = f.assign(time=f["time"].dt.floor(f"{bucket}s"))
        pts = f.groupby(["satellite", "time"], observed=True).agg(
            azimuth=("azimuth", "mean"), elevation=("elevation", "mean"), cn0=("cn0", "mean")).reset_index()
        points = {"satellite": [str(s) for s in pts["satellite"]], "azimuth": pts["azimuth"].round(1).tolist(),
                  "elevation": pts["elevation"].round(1).tolist(), "cn0": pts["cn0"].round(1).tolist()}
    else:
        points = _points_from_skyplot(result)
    with_angles = result.has_visibility_prediction
    if with_angles:
        figs.append({"id": "skyplot", "title": "Skyplot", "data": [{
            "type": "scatterpolargl", "mode": "markers", "r": [90 - e for e in points["elevation"]],
            "theta": points["azimuth"], "text": points["satellite"],
            "marker": {"size": 4, "color": points["cn0"], "colorscale": "Viridis", "cmin": 20, "cmax": 55,
                       "colorbar": {"title": {"text": "dB-Hz"}}},
            "hovertemplate": "%{text}<br>C/N0 %{marker.color} dB-Hz<extra></extra>"}],
            "layout": _layout("Skyplot coloured by C/N0", height=460, polar={
                "angularaxis": {"rotation": 90, "direction": "clockwise"},
                "radialaxis": {"range": [0, 90], "tickvals": [0, 30, 60, 90], "ticktext": ["90°", "60°", "30°", "0°"]}})})

    # C/N0 against elevation per band.
    data = []
    profiles = (_summary.health(result) or {}).get("cn0_by_elevation") or {}
    if profiles:
        for band, bins in profiles.items():
            xs = [5 + 10 * i for i, v in enumerate(bins) if v is not None]
            ys = [round(v, 2) for v in bins if v is not None]
            data.append({"type": "scatter", "mode": "lines+markers", "x": xs, "y": ys, "name": band})
    elif frame is not None:
        g = frame.assign(el=(frame["elevation"] // 5) * 5 + 2.5).groupby(["band", "el"], observed=True)["cn0"].mean()
        for band in [b for b in (*_summary.BANDS, "other") if b in g.index.get_level_values(0)]:
            s = g.loc[band]
            data.append({"type": "scatter", "mode": "lines+markers", "x": s.index.tolist(),
                         "y": s.round(2).tolist(), "name": band})
    if data and with_angles:
        figs.append({"id": "cn0_elevation", "title": "C/N0 against elevation", "data": data,
                     "layout": _layout("Mean C/N0 against elevation per band", xaxis={"title": "elevation (°)"},
                                       yaxis={"title": "dB-Hz"})})

    # Azimuth/elevation heatmap: mean C/N0 in 10 x 5 degree cells; empty cells stay blank.
    if with_angles and points["azimuth"]:
        sums = [[0.0] * 36 for _ in range(18)]
        counts = [[0] * 36 for _ in range(18)]
        for az, el, cn in zip(points["azimuth"], points["elevation"], points["cn0"]):
            if math.isfinite(cn) and 0 <= el <= 90:
                i, j = min(int(el // 5), 17), int(az % 360 // 10)
                sums[i][j] += cn
                counts[i][j] += 1
        z = [[round(s / n, 1) if n else None for s, n in zip(rs, rn)] for rs, rn in zip(sums, counts)]
        figs.append({"id": "heatmap", "title": "Azimuth/elevation heatmap", "data": [{
            "type": "heatmap", "x": [5 + 10 * j for j in range(36)], "y": [2.5 + 5 * i for i in range(18)], "z": z,
            "colorscale": "Viridis", "zmin": 20, "zmax": 55, "hoverongaps": False,
            "colorbar": {"title": {"text": "dB-Hz"}}}],
            "layout": _layout("Mean C/N0 by azimuth and elevation", xaxis={"title": "azimuth (°)", "range": [0, 360]},
                              yaxis={"title": "elevation (°)", "range": [0, 90]})})

    # Expected against observed satellites.
    if result.has_visibility_prediction:
        stamps = _times(result.get_timestamps())
        counts = result.get_satellite_count_series()
        step = max(1, len(stamps) // 600)
        figs.append({"id": "visibility", "title": "Expected and observed satellites", "data": [
            {"type": "scatter", "mode": "lines", "x": stamps[::step], "y": counts[::step], "name": "observed (per epoch)"},
            {"type": "scatter", "mode": "lines", "x": [stamps[0], stamps[-1]] if stamps else [],
             "y": [result.visibility_mean_predicted] * 2, "name": "expected (mean per epoch)",
             "line": {"dash": "dash"}}],
            "layout": _layout("Satellites observed against expected from the navigation data", shapes=shapes,
                              yaxis={"title": "satellites"})})
    return figs


# --- HTML --------------------------------------------------------------------------------------


def _e(v: Any) -> str:
    return html.escape(str(v))


def _num(v: Any, digits: int = 1) -> str:
    try:
        f = float(v)
    except (TypeError, ValueError):
        return _e(v)
    return "–" if not math.isfinite(f) else f"{f:.{digits}f}"


def _table(head: Sequence[str], rows: Sequence[Sequence[Any]], sortable: bool = False, cls: str = "") -> str:
    attrs = f' class="{cls}{" sortable" if sortable else ""}"'
    out = [f"<table{attrs}><thead><tr>" + "".join(f"<th>{_e(h)}</th>" for h in head) + "</tr></thead><tbody>"]
    for r in rows:
        out.append("<tr>" + "".join(f"<td>{c}</td>" for c in r) + "</tr>")
    out.append("</tbody></table>")
    return "".join(out)


def _satellite_rows(result: Any, frame: Any) -> List[List[str]]:
    rows = []
    if hasattr(result, "to_dataframe") and frame is not None:
        t = result.to_dataframe("satellites")
        for r in t.itertuples(index=False):
            rows.append([_e(r.satellite), _e(r.system), str(int(r.observation_count)), _num(r.mean_cn0),
                         _num(r.min_cn0), _num(r.max_cn0), _num(r.std_cn0, 2), _num(r.mean_elevation)])
    else:
        acc: Dict[str, List[float]] = {}
        for trace in result.get_skyplot_data():
            cn = [float(v) for v in trace["cn0_values"].split(",") if v]
            el = [float(v) for v in trace["elevations"].split(",") if v]
            if cn:
                rows.append([_e(trace["satellite"]), _e(trace["system"]), str(len(cn)), _num(sum(cn) / len(cn)),
                             _num(min(cn)), _num(max(cn)), "–", _num(sum(el) / len(el))])
        del acc
    rows.sort(key=lambda r: r[0])
    return rows


_CSS = """
body{font:14px/1.45 system-ui,-apple-system,Segoe UI,Roboto,sans-serif;margin:0;color:#1d2330;background:#f4f6f9}
main{max-width:1180px;margin:0 auto;padding:18px 22px 40px}
h1{font-size:22px;margin:4px 0 2px} h2{font-size:17px;margin:26px 0 8px} .sub{color:#5b6475;margin:0 0 14px}
.cards{display:grid;grid-template-columns:repeat(auto-fill,minmax(165px,1fr));gap:10px}
.card{background:#fff;border:1px solid #dde2ea;border-radius:8px;padding:9px 12px}
.card b{display:block;font-size:11px;color:#5b6475;font-weight:600;text-transform:uppercase;letter-spacing:.04em}
.card span{font-size:17px;font-weight:600}
.verdict{border-radius:10px;padding:14px 18px;margin:18px 0 8px;border:1px solid}
.verdict.ok{background:#e8f6ec;border-color:#8fd0a2} .verdict.bad{background:#fdecea;border-color:#ec9a94}
.verdict h2{margin:0 0 6px;font-size:20px} .verdict ul{margin:4px 0 0 18px;padding:0}
.plot{background:#fff;border:1px solid #dde2ea;border-radius:8px;margin:12px 0;min-height:200px}
table{border-collapse:collapse;background:#fff;font-size:12.5px;width:100%}
th,td{border:1px solid #dde2ea;padding:3px 7px;text-align:left} th{background:#eef1f6}
table.sortable th{cursor:pointer} table.sortable th:after{content:" ⇅";color:#9aa3b2}
.facts td:first-child{color:#5b6475;width:190px}
.scroll{max-height:420px;overflow:auto;border:1px solid #dde2ea;border-radius:6px}
#loading{color:#5b6475;font-style:italic}
footer{color:#7a8394;font-size:12px;margin-top:30px}
"""

_SORT_JS = """
document.querySelectorAll('table.sortable').forEach(function(t){
 t.querySelectorAll('th').forEach(function(th,i){th.addEventListener('click',function(){
  var b=t.tBodies[0],rows=Array.from(b.rows),asc=th.dataset.asc!=='1';th.dataset.asc=asc?'1':'0';
  rows.sort(function(x,y){var a=x.cells[i].textContent,c=y.cells[i].textContent,
   na=parseFloat(a),nc=parseFloat(c);var r=(!isNaN(na)&&!isNaN(nc))?na-nc:a.localeCompare(c);return asc?r:-r;});
  rows.forEach(function(r){b.appendChild(r);});});});});
"""

_LOAD_JS = """
(async function(){
 var packed=document.getElementById('plotly-gz').textContent.trim();
 var bytes=Uint8Array.from(atob(packed),function(c){return c.charCodeAt(0);});
 var stream=new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
 var code=await new Response(stream).text();
 (0,eval)(code);
 var figs=JSON.parse(document.getElementById('figures').textContent);
 for(var i=0;i<figs.length;i++){var f=figs[i];
  await Plotly.newPlot(f.id,f.data,f.layout,CONFIG);}
 var l=document.getElementById('loading'); if(l) l.remove();
 // Where each plot sits on the page, for checks of the rendered page.
 document.body.setAttribute('data-plot-rects',JSON.stringify(figs.map(function(f){
  var r=document.getElementById(f.id).getBoundingClientRect();
  return [f.id,Math.round(r.left+scrollX),Math.round(r.top+scrollY),Math.round(r.width),Math.round(r.height)];})));
 document.body.setAttribute('data-plots-ready','1');
})().catch(function(e){var l=document.getElementById('loading');if(l)l.textContent='Plots could not be drawn: '+e;});
"""


def render(result: Any, path: str, nav_paths: Sequence[str] = ()) -> str:
    """The report of one analysis as one HTML text."""
    frame = _summary.samples_frame(result)
    f = _summary.facts(result, path, frame)
    evs = _summary.events(result)
    word = f["verdict"]
    figs = _figures(result, frame, evs)

    station = f["station"]
    cards = [
        ("Station", station), ("First epoch", (f["first_epoch"] or "–").replace("T", " ").rstrip("Z")[:19]),
        ("Duration", _summary.fmt_duration(f["duration_hours"])), ("Epochs", f"{f['epochs']} × {_num(f['interval'], 0)} s"),
        ("Satellites", " ".join(f"{k} {v}" for k, v in f["satellites"].items()) or "–"),
        ("Mean C/N0", f"{_num(f['mean_cn0'])} dB-Hz"), ("Grade", f"{f['grade']} ({_num(f['score'], 0)}/100)"),
        ("Events", str(f["events"])),
    ]
    health = _summary.health(result) or {}
    if health.get("completeness_percent") is not None:
        cards.append(("Completeness", f"{_num(health['completeness_percent'])} %"))
    band_cells = " · ".join(f"{b} {_num(v)}" for b, v in f["band_cn0"].items())
    facts_rows = [
        ["File", _e(os.path.basename(path))],
        ["Navigation", _e(", ".join(os.path.basename(n) for n in nav_paths) or "none (no look angles, no visibility)")],
        ["Receiver", _e(result.receiver_type or "–")], ["Antenna", _e(result.antenna_type or "–")],
        ["Position", f"{_num(result.position_lat, 4)}°, {_num(result.position_lon, 4)}°"],
        ["Span", _e(f"{result.start_time} to {result.end_time}")],
        ["Mean C/N0 per band (dB-Hz)", _e(band_cells or "–")],
        ["Quality", _e(f"{result.quality_grade} – {result.summary}; score {result.score:.0f}")],
        ["Sky coverage", f"{_num(result.skyplot_coverage)} %"],
    ]
    if result.has_visibility_prediction:
        facts_rows.append(["Visibility", _e(f"{result.visibility_mean_observed:.1f} observed / "
                                            f"{result.visibility_mean_predicted:.1f} expected per epoch; "
                                            f"confirmation {result.visibility_confirmation_rate:.1f} %")])

    ev_rows = [[_e(e["start"]), _e(e["end"]), _num(e["duration_s"], 0), _e(e["kind"]),
                _e(", ".join(e.get("bands") or []) or e.get("systems", "")), _num(e["depth_db"]),
                _e(f"{e['signals_affected']}/{e['signals_tracked']}" if e.get("signals_tracked") is not None
                   else e["signals_affected"])] for e in evs]
    an_rows = [[_e(a["start_time"]), _e(a["severity"]), _e(a["anomaly_type"]), _num(a["cn0_drop"]),
                _e(a["affected_satellites"]), _e(a["affected_systems"]), _e(a["description"])]
               for a in result.get_anomalies()]

    parts = [
        "<!DOCTYPE html><html lang='en'><head><meta charset='utf-8'>",
        f"<meta name='viewport' content='width=device-width,initial-scale=1'><title>{_e(station)} – quorsin-cn0 report</title>",
        f"<style>{_CSS}</style></head><body><main>",
        f"<h1>{_e(station)} · GNSS signal quality</h1>",
        f"<p class='sub'>{_e(os.path.basename(path))} · quorsin_cn0 {_e(_core_version())}</p>",
        "<div class='cards'>" + "".join(f"<div class='card'><b>{_e(k)}</b><span>{_e(v)}</span></div>" for k, v in cards) + "</div>",
        f"<section class='verdict {VERDICT_CLASS.get(word, 'bad')}' id='verdict'>",
        f"<h2>Verdict: {_e(_summary.VERDICT_TEXT.get(word, word))}</h2><ul>",
        "".join(f"<li>{_e(line)}</li>" for line in _summary.evidence(result, evs)),
        "</ul></section>",
        "<h2>File and station</h2>", _table(["", ""], facts_rows, cls="facts"),
        "<h2>Plots</h2><p id='loading'>Drawing plots…</p>",
        "".join(f"<div class='plot' id='{fg['id']}' data-title='{_e(fg['title'])}'></div>" for fg in figs),
        f"<h2>Events ({len(ev_rows)})</h2>",
        _table(["start", "end", "duration s", "kind", "bands", "change dB", "signals"], ev_rows, sortable=True)
        if ev_rows else "<p>None.</p>",
        f"<h2>C/N0 anomalies ({len(an_rows)})</h2>",
        "<div class='scroll'>" + _table(["time", "severity", "type", "drop dB", "satellites", "systems", "description"],
                                        an_rows, sortable=True) + "</div>" if an_rows else "<p>None.</p>",
        "<h2>Satellites</h2><div class='scroll'>",
        _table(["satellite", "system", "samples", "mean", "min", "max", "std", "mean elev."],
               _satellite_rows(result, frame), sortable=True),
        "</div><footer>Written by quorsin-cn0. Plots by plotly (embedded, works offline). "
        "Times are the file's own time scale.</footer></main>",
        f"<script>{_SORT_JS}</script>",
        "<script type='application/json' id='figures'>",
        _NOT_FINITE.sub("null", json.dumps(figs, separators=(",", ":"), default=_jsonable)).replace("</", "<\\/"),
        "</script>",
        "<script type='text/plain' id='plotly-gz'>", _plotly_js_packed(), "</script>",
        f"<script>var CONFIG={json.dumps(PLOT_CONFIG)};{_LOAD_JS}</script>",
        "</body></html>",
    ]
    return "".join(parts)


def _jsonable(v: Any) -> Any:
    try:
        return float(v)
    except (TypeError, ValueError):
        return str(v)


def _core_version() -> str:
    import quorsin_cn0

    return quorsin_cn0.__version__


def write(result: Any, path: str, output: str, nav_paths: Sequence[str] = ()) -> None:
    """Renders the report and writes it whole or not at all."""
    from quorsin_cn0.cli import write_atomically

    write_atomically(output, render(result, path, nav_paths))


__all__ = ["render", "write"]
