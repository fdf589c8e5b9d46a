"""The HTML report opened in headless Chromium as a colleague would open it: offline, every plot
drawn (its area on the screenshot is not blank) and the verdict on the page."""

from __future__ import annotations

import json
import os
import re
import shutil
import subprocess
import sys

import pytest

from conftest import DATA_DIR, have_data

Image = pytest.importorskip("PIL.Image", reason="Pillow reads the screenshots: pip install pillow")

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
pytestmark = pytest.mark.skipif(CHROMIUM is None, reason="headless Chromium not installed (Debian: apt-get install chromium)")
WIDTH, HEIGHT = 1280, 6000


def chromium(*args: str) -> subprocess.CompletedProcess:
    # No network at all: --proxy-server to nowhere makes any fetch fail, so the page must be self-contained.
    return subprocess.run([CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                           "--proxy-server=127.0.0.1:9", f"--window-size={WIDTH},{HEIGHT}",
                           "--virtual-time-budget=30000", *args], capture_output=True, timeout=120,
                          env={k: v for k, v in os.environ.items() if k != "LD_PRELOAD"})  # no sanitizer runtime


def png_pixels(path):
    """Width, height, bytes per pixel and rows of RGB bytes of a screenshot."""
    image = Image.open(path).convert("RGB")
    w, h = image.size
    data = image.tobytes()
    return w, h, 3, [data[y * w * 3:(y + 1) * w * 3] for y in range(h)]


def distinct_colours(rows, bpp, x, y, w, h) -> int:
    seen = set()
    for row in rows[y + 30:y + h - 10:3]:  # skip the title line
        for i in range(x + 10, x + w - 10, 3):
            seen.add(row[i * bpp:i * bpp + 3])
    return len(seen)


def render_and_check(tmp_path, name: str, cli_args: list) -> str:
    html = tmp_path / f"{name}.html"
    p = subprocess.run([sys.executable, "-m", "quorsin_cn0", "report", *cli_args, "-o", str(html)],
                       capture_output=True, text=True, timeout=300)
    assert p.returncode == 0, p.stderr
    dom = chromium("--dump-dom", html.as_uri()).stdout.decode("utf-8", "replace")
    assert 'data-plots-ready="1"' in dom, "plots were not drawn"
    assert re.search(r"Verdict: (No interference found|Interference|Possible spoofing)<", dom)
    rects = json.loads(re.search(r"data-plot-rects=\"([^\"]*)\"", dom).group(1).replace("&quot;", '"'))
    assert {r[0] for r in rects} >= {"timeline", "cn0_time"}
    shot = tmp_path / f"{name}.png"
    chromium(f"--screenshot={shot}", html.as_uri())
    w, h, bpp, rows = png_pixels(shot)
    for plot_id, x, y, pw, ph in rects:
        assert y + ph <= h, f"{plot_id} below the screenshot"
        # A blank plot area is one or two colours (background, grid); a drawn one has many.
        assert distinct_colours(rows, bpp, x, y, pw, ph) > 8, f"{plot_id} looks blank"
    return dom


def test_example_report_renders(tmp_path):
    dom = render_and_check(tmp_path, "example", ["--example"])
    assert {"skyplot", "heatmap", "visibility", "cn0_elevation"} <= set(re.findall(r"class=\"plot[^\"]*\" id=\"(\w+)\"", dom))


@pytest.mark.skipif(not have_data(), reason="real GNSS data folder not found (../shared/data)")
def test_full_day_report_with_events_renders(tmp_path):
    # A day of station ESBC: C/N0 anomalies and events, and a visibility prediction.
    dom = render_and_check(tmp_path, "esbc", [str(DATA_DIR / "ESBC00DNK_R_20201770000_01D_30S_MO.crx.gz"), "--nav",
                                              str(DATA_DIR / "ESBC00DNK_R_20201770000_01D_MN.rnx")])
    assert int(re.search(r"C/N0 anomalies \((\d+)\)", dom).group(1)) > 0
