"""Interference injected into a copy of a real RINEX observation file, at the text level.

A broadband jammer or a step attenuator lowers every signal of a band by the same number of dB;
a signal pushed below the tracking threshold (20 dB-Hz) is lost, so its field is blanked, as a
receiver would leave it. A spoofer gives all satellites of a constellation one level. Both are
done here on the signal-strength (S) fields of the real file, leaving everything else as it was,
so that the monitor is tested on real noise, real geometry and real gaps.

Used by the detection tests and by benchmarks/bench_interference.py:

    text = ObsText.load(path)                      # plain, .gz or Compact RINEX (hatanaka)
    out = text.inject(start, seconds, delta=6.0, bands={"L1"})
    out = text.flatten(start, seconds, system="G", level=45.0, rng=random.Random(1))
"""
from __future__ import annotations

import datetime as dt
import gzip
import pathlib
import random
from typing import Callable, Iterable, Optional

# Carrier band of a signal: constellation letter and the frequency digit of its code.
BANDS = {
    "G": {"1": "L1", "2": "L2", "5": "L5"},
    "J": {"1": "L1", "2": "L2", "5": "L5", "6": "E6"},
    "S": {"1": "L1", "5": "L5"},
    "I": {"1": "L1", "5": "L5"},
    "R": {"1": "G1", "4": "G1", "2": "G2", "6": "G2", "3": "E5b"},
    "E": {"1": "L1", "5": "L5", "8": "L5", "7": "E5b", "6": "E6"},
    "C": {"1": "L1", "2": "L1", "5": "L5", "8": "L5", "7": "E5b", "6": "E6"},
}
TRACKING_FLOOR = 20.0


def band_of(system: str, code: str) -> Optional[str]:
    return BANDS.get(system, {}).get(code[1:2])


def decode(path: pathlib.Path) -> str:
    data = path.read_bytes()
    if data[:2] == b"\x1f\x8b":
        data = gzip.decompress(data)
    if b"COMPACT RINEX" in data[:200]:
        import hatanaka  # test extra: the reference Compact RINEX decoder

        data = hatanaka.decompress(data)
    return data.decode("ascii", errors="replace")


class ObsText:
    """A RINEX 2 or 3 observation file split into header and epochs."""

    def __init__(self, text: str):
        lines = text.splitlines(keepends=True)
        end = next(i for i, l in enumerate(lines) if l[60:73] == "END OF HEADER")
        self.header = "".join(lines[: end + 1])
        self.version = float(lines[0][:9])
        self.types: dict[str, list[str]] = {}
        self.interval = 0.0
        current = None
        for l in lines[:end]:
            label = l[60:80].strip()
            if label == "SYS / # / OBS TYPES":
                if l[0] != " ":
                    current = l[0]
                    self.types[current] = []
                self.types[current] += l[7:60].split()
            elif label == "# / TYPES OF OBSERV":
                self.types.setdefault("*", []).extend(l[6:60].split())
            elif label == "INTERVAL":
                self.interval = float(l[:10])
        # epochs: (time, first line index, line count)
        self.lines = lines[end + 1 :]
        self.epochs: list[tuple[dt.datetime, int, int]] = []
        i = 0
        n = len(self.lines)
        while i < n:
            l = self.lines[i]
            if self.version >= 3:
                if not l.startswith(">"):
                    i += 1
                    continue
                t = dt.datetime(int(l[2:6]), int(l[7:9]), int(l[10:12]), int(l[13:15]), int(l[16:18])) + dt.timedelta(
                    seconds=float(l[18:29])
                )
                flag, count = int(l[31]), int(l[32:35])
                size = 1 + (count if flag < 2 else count)
            else:
                y = int(l[1:3])
                t = dt.datetime(y + (2000 if y < 80 else 1900), int(l[4:6]), int(l[7:9]), int(l[10:12]), int(l[13:15])) + dt.timedelta(
                    seconds=float(l[15:26])
                )
                flag, count = int(l[28]), int(l[29:32])
                if flag > 1:
                    size = 1 + count
                else:
                    sat_lines = (count + 11) // 12
                    per_sat = (len(self.types["*"]) + 4) // 5
                    size = sat_lines + count * per_sat
            self.epochs.append((t, i, size))
            i += size

    @classmethod
    def load(cls, path: str | pathlib.Path) -> "ObsText":
        return cls(decode(pathlib.Path(path)))

    def start(self) -> dt.datetime:
        return self.epochs[0][0]

    def _rewrite(self, start: dt.datetime, seconds: float, change: Callable[[str, str, float], Optional[float]]) -> str:
        """The file with every S field of the epochs in [start, start + seconds) passed through
        change(system, code, value) -> new value (None blanks the field)."""
        end = start + dt.timedelta(seconds=seconds)
        out = list(self.lines)
        for t, first, size in self.epochs:
            if not (start <= t < end):
                continue
            if self.version >= 3:
                for j in range(first + 1, first + size):
                    out[j] = self._line3(out[j], change)
            else:
                self._epoch2(out, first, size, change)
        return self.header + "".join(out)

    def _line3(self, line: str, change) -> str:
        system = line[0]
        body = line.rstrip("\r\n")
        tail = line[len(body) :]
        codes = self.types.get(system, [])
        fields = [body[3 + 16 * k : 3 + 16 * k + 16] for k in range(len(codes))]
        changed = False
        for k, code in enumerate(codes):
            if code[0] != "S" or not fields[k][:14].strip():
                continue
            fields[k] = self._field(fields[k], change(system, code, float(fields[k][:14])))
            changed = True
        if not changed:
            return line
        return (body[:3] + "".join(f.ljust(16) for f in fields)).rstrip() + tail

    def _epoch2(self, out: list[str], first: int, size: int, change) -> None:
        count = int(out[first][29:32])
        sat_lines = (count + 11) // 12
        sats = "".join(out[first + k][32:68].rstrip("\r\n") for k in range(sat_lines))
        codes = self.types["*"]
        per_sat = (len(codes) + 4) // 5
        j = first + sat_lines
        for s in range(count):
            system = sats[3 * s] if sats[3 * s] != " " else "G"
            for row in range(per_sat):
                line = out[j + row]
                body = line.rstrip("\r\n")
                tail = line[len(body) :]
                fields = [body[16 * k : 16 * k + 16] for k in range(5)]
                for k in range(5):
                    c = row * 5 + k
                    if c >= len(codes) or codes[c][0] != "S" or not fields[k][:14].strip():
                        continue
                    fields[k] = self._field(fields[k], change(system, codes[c], float(fields[k][:14])))
                out[j + row] = "".join(f.ljust(16) for f in fields).rstrip() + tail
            j += per_sat

    @staticmethod
    def _field(field: str, value: Optional[float]) -> str:
        if value is None:
            return " " * 16
        return f"{value:14.3f}" + field[14:16].ljust(2)

    def inject(self, start: dt.datetime, seconds: float, delta: float, bands: Optional[Iterable[str]] = None) -> str:
        """Every signal of the bands (all when None) lowered by delta dB; below 20 dB-Hz, lost."""
        wanted = None if bands is None else set(bands)

        def change(system: str, code: str, value: float) -> Optional[float]:
            band = band_of(system, code)
            if band is None or (wanted is not None and band not in wanted):
                return value
            value -= delta
            return None if value < TRACKING_FLOOR else value

        return self._rewrite(start, seconds, change)

    def flatten(self, start: dt.datetime, seconds: float, system: str, level: float, rng: random.Random) -> str:
        """Every signal of one constellation at one level +- 1 dB, as a single spoofing transmitter
        would give them."""

        def change(sys_: str, code: str, value: float) -> Optional[float]:
            if sys_ != system or band_of(sys_, code) is None:
                return value
            return level + rng.uniform(-1.0, 1.0)

        return self._rewrite(start, seconds, change)
