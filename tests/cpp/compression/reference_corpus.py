"""Reference outputs of CRX2RNX for the compression tests.

    python3 reference_corpus.py OUT_DIR DATA_DIR GENERATED_PER_VERSION

Writes OUT_DIR/manifest.tsv, one "compact file<TAB>RINEX written by CRX2RNX" line per case:
every Compact RINEX file of DATA_DIR (".crx", ".crx.gz", ".YYd"), random RINEX 2 and 3 files
compressed by RNX2CRX (satellites coming and going, blank and missing fields, flags, clock
offsets appearing and vanishing, event epochs with and without new observation types, periodic
re-initialisation), and hand-written compact files with every order of differences. CRX2RNX and
RNX2CRX are run through the `hatanaka` package. Exits with 3 when it is not installed.
"""

import gzip
import random
import sys
from pathlib import Path

try:
    import hatanaka
except ImportError:
    sys.exit(3)

CODES2 = ["L1", "L2", "C1", "P1", "P2", "S1", "S2", "C2", "C5", "L5", "S5", "D1", "D2", "C7"]
CODES3 = {"G": ["C1C", "L1C", "D1C", "S1C", "C2W", "L2W", "S2W", "C5Q", "L5Q", "S5Q"],
          "R": ["C1C", "L1C", "S1C", "C2P", "L2P", "S2P"],
          "E": ["C1C", "L1C", "S1C", "C5Q", "L5Q", "S5Q", "C7Q", "L7Q", "S7Q", "C8Q", "L8Q", "S8Q"],
          "C": ["C2I", "L2I", "S2I", "C7I", "L7I", "S7I"], "J": ["C1C", "L1C", "S1C"]}


def header_line(text, label):
    return text.ljust(60) + label + "\n"


def types_v2(codes):
    lines, line = "", "%6d" % len(codes)
    for i, c in enumerate(codes):
        if i and i % 9 == 0:
            lines, line = lines + header_line(line, "# / TYPES OF OBSERV"), "      "
        line += "%6s" % c
    return lines + header_line(line, "# / TYPES OF OBSERV")


def types_v3(system, codes):
    lines, line = "", "%s  %3d" % (system, len(codes))
    for i, c in enumerate(codes):
        if i and i % 13 == 0:
            lines, line = lines + header_line(line, "SYS / # / OBS TYPES"), "      "
        line += " " + c
    return lines + header_line(line, "SYS / # / OBS TYPES")


class Observations:
    """Smooth series per satellite and type, with gaps, jumps and flags."""

    def __init__(self, rng):
        self.rng, self.state = rng, {}

    def fields(self, sat, count):
        out = []
        for i in range(count):
            key = (sat, i)
            if self.rng.random() < 0.08:
                self.state.pop(key, None)
                out.append(" " * 16)
                continue
            if key not in self.state or self.rng.random() < 0.02:
                x = self.rng.random()
                base = (self.rng.uniform(-1, 1) if x < 0.15 else self.rng.uniform(1e6, 9e8) * self.rng.choice([1, -1])
                        if x < 0.6 else self.rng.uniform(10, 60) if x < 0.9 else self.rng.uniform(-9e8, 9.9e9))
                self.state[key] = [base, self.rng.uniform(-1000, 1000), self.rng.uniform(-1, 1)]
            s = self.state[key]
            s[1] += s[2]
            s[0] += s[1]
            if not -9.9e8 < s[0] < 9.9e9:
                s[0] = 0.0
            flags = "".join(" " if self.rng.random() < 0.75 else self.rng.choice("0123456789") for _ in range(2))
            out.append("%14.3f" % s[0] + flags)
        return out


def random_rinex(seed, rinex3):
    rng = random.Random(seed)
    obs = Observations(rng)
    if rinex3:
        systems = rng.sample(sorted(CODES3), rng.randint(1, 5))
        codes = {s: rng.sample(CODES3[s], rng.randint(1, len(CODES3[s]))) for s in systems}
        text = header_line("     3.04           OBSERVATION DATA    M", "RINEX VERSION / TYPE")
        text += "".join(types_v3(s, codes[s]) for s in systems)
        pool = [s + "%02d" % n for s in systems for n in range(1, 20)]
    else:
        codes = rng.sample(CODES2, rng.randint(1, 14))
        text = header_line("     2.11           OBSERVATION DATA    M", "RINEX VERSION / TYPE") + types_v2(codes)
        pool = ["%s%02d" % (s, n) for s in "GRE" for n in range(1, 30)]
    text += header_line("", "END OF HEADER")
    current, clock, t = rng.sample(pool, rng.randint(1, min(25, len(pool)))), None, 0
    for _ in range(rng.randint(1, 40)):
        t += rng.choice([1, 1, 15, 30])
        hour, minute, second = t // 3600 % 24, t // 60 % 60, t % 60
        for _ in range(rng.randint(0, 3) if rng.random() < 0.3 else 0):
            if current and rng.random() < 0.5:
                current.remove(rng.choice(current))
            elif (s := rng.choice(pool)) not in current:
                current.insert(rng.randint(0, len(current)), s)
        if rng.random() < 0.05:
            rng.shuffle(current)
        current = current or [rng.choice(pool)]
        if rng.random() < 0.06:
            flag = rng.choice([2, 3, 4, 5])
            records = [("  EVENT %d" % rng.randint(0, 99)).ljust(60) + "COMMENT"] * rng.randint(0, 2)
            if flag == 4 and rng.random() < 0.5:
                if rinex3:
                    s = rng.choice(systems)
                    codes[s] = rng.sample(CODES3[s], rng.randint(1, len(CODES3[s])))
                    records = types_v3(s, codes[s]).splitlines()
                else:
                    codes = rng.sample(CODES2, rng.randint(1, 14))
                    records = types_v2(codes).splitlines()
            if rinex3:
                line = "> 2021 01 01 %02d %02d%11.7f  %d%3d" % (hour, minute, second, flag, len(records))
            else:
                line = " 21  1  1 %2d %2d%11.7f  %d%3d" % (hour, minute, second, flag, len(records))
            if flag in (3, 4) and rng.random() < 0.5:
                line = line[0] + " " * (len(line) - 5) + line[-4:]
            text += line + "\n" + "".join(r + "\n" for r in records)
            continue
        x = rng.random()
        clock = None if x < 0.3 else rng.uniform(-0.9, 0.9) if x < 0.5 or clock is None else clock + rng.uniform(-1e-5, 1e-5)
        flag = 1 if rng.random() < 0.05 else 0
        if rinex3:
            text += "> 2021 01 01 %02d %02d%11.7f  %d%3d" % (hour, minute, second, flag, len(current))
            text += ("      %15.12f" % clock if clock is not None else "") + "\n"
            for s in current:
                text += (s + "".join(obs.fields(s, len(codes[s[0]])))).rstrip() + "\n"
        else:
            line = " 21  1  1 %2d %2d%11.7f  %d%3d" % (hour, minute, second, flag, len(current)) + "".join(current[:12])
            text += (line.ljust(68) + "%12.9f" % clock if clock is not None else line) + "\n"
            for k in range(12, len(current), 12):
                text += " " * 32 + "".join(current[k:k + 12]) + "\n"
            for s in current:
                fields = obs.fields(s, len(codes))
                for k in range(0, len(fields), 5):
                    text += "".join(fields[k:k + 5]).rstrip() + "\n"
    return text


def every_order():
    """Arcs of every order from 0 to 5, restarted with another order mid-way."""
    head = (header_line("1.0                 COMPACT RINEX FORMAT", "CRINEX VERS   / TYPE")
            + header_line("RNX2CRX ver.4.1.0", "CRINEX PROG / DATE")
            + header_line("     2.11           OBSERVATION DATA    M", "RINEX VERSION / TYPE")
            + types_v2(["L1", "L2", "C1", "P1", "P2", "S1"]) + header_line("", "END OF HEADER"))
    previous = " 21  1  1  0  0  0.0000000  0  1G01"
    body = "&" + previous[1:] + "\n3&-12345\n0&5 1&-7 2&123456789 3&-987654321 4&42 5&1000\n"
    rng = random.Random(9)
    for second in range(1, 12):
        line = " 21  1  1  0  0%11.7f  0  1G01" % second
        body += "".join(" " if a == b else b for a, b in zip(previous, line)).rstrip() + "\n"
        body += "%d\n" % rng.randint(-99, 99)
        previous = line
        items = [str(rng.randint(-500, 500)) for _ in range(6)]
        if second == 6:
            items[2] = "5&77"
            items[4] = "1&-3"
        body += " ".join(items) + "\n"
    return head + body


def main():
    out, data, per_version = Path(sys.argv[1]), Path(sys.argv[2]), int(sys.argv[3])
    cases = []
    if data.is_dir():
        for path in sorted(data.iterdir()):
            name = path.name
            if not (name.endswith((".crx", ".crx.gz")) or (len(name) > 4 and name[-4] == "." and name[-1] == "d")):
                continue
            compact = path.read_bytes()
            if name.endswith(".gz"):
                compact = gzip.decompress(compact)
            reference = out / (name + ".rnx")
            reference.write_bytes(hatanaka.crx2rnx(compact))
            cases.append((path, reference))
    made = {"every_order": every_order().encode()}
    for seed in range(per_version):
        for rinex3 in (False, True):
            rnx = random_rinex(seed, rinex3).encode()
            reinit = {"reinit_every_nth": 5} if seed % 4 == 3 else {}
            made["generated_%d_%d" % (seed, 3 if rinex3 else 2)] = hatanaka.rnx2crx(rnx, **reinit)
    for name, compact in made.items():
        (out / (name + ".crx")).write_bytes(compact)
        (out / (name + ".rnx")).write_bytes(hatanaka.crx2rnx(compact))
        cases.append((out / (name + ".crx"), out / (name + ".rnx")))
    (out / "manifest.tsv").write_text("".join("%s\t%s\n" % c for c in cases))


if __name__ == "__main__":
    main()
