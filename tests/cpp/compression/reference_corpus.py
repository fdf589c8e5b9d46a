"""Reference outputs of CRX2RNX: python3 reference_corpus.py OUT_DIR DATA_DIR GENERATED_PER_VERSION

Writes OUT_DIR/manifest.tsv, "compact file<TAB>RINEX written by CRX2RNX" per case: every Compact RINEX
file of DATA_DIR; random RINEX 2 and 3 files compressed by RNX2CRX (satellites coming and going, blank
fields, flags, clock offsets, event epochs, new types, re-initialisation); a file with every order of
differences. RNX2CRX and CRX2RNX run through the `hatanaka` package; exits with 3 without it."""
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
          "R": ["C1C", "L1C", "S1C", "C2P", "L2P", "S2P"], "C": ["C2I", "L2I", "S2I", "C7I", "L7I", "S7I"],
          "E": ["C1C", "L1C", "S1C", "C5Q", "L5Q", "S5Q", "C7Q", "L7Q", "S7Q", "C8Q", "L8Q", "S8Q"]}


header_line = lambda text, label: text.ljust(60) + label + "\n"  # noqa: E731


def type_lines(system, codes):
    """ "# / TYPES OF OBSERV" lines (system None, RINEX 2) or "SYS / # / OBS TYPES" lines."""
    label, per_line, width = ("# / TYPES OF OBSERV", 9, 6) if system is None else ("SYS / # / OBS TYPES", 13, 4)
    first = "%6d" % len(codes) if system is None else "%s  %3d" % (system, len(codes))
    return "".join(header_line((first if k == 0 else "      ") + "".join(c.rjust(width) for c in codes[k:k + per_line]), label)
                   for k in range(0, len(codes), per_line))


def random_rinex(seed, rinex3):
    rng, series = random.Random(seed), {}

    def fields(sat, count):  # smooth series with gaps, jumps and flags
        out = []
        for i in range(count):
            if rng.random() < 0.08:
                series.pop((sat, i), None)
                out.append(" " * 16)
                continue
            if (sat, i) not in series or rng.random() < 0.02:
                series[(sat, i)] = [rng.choice([rng.uniform(-1, 1), rng.uniform(-9e8, 9.9e9), rng.uniform(10, 60)]),
                                    rng.uniform(-1000, 1000), rng.uniform(-1, 1)]
            s = series[(sat, i)]
            s[1] += s[2]
            s[0] = s[0] + s[1] if -9.9e8 < s[0] + s[1] < 9.9e9 else 0.0
            out.append("%14.3f" % s[0] + "".join(rng.choice("   0123456789"[:rng.choice([3, 13])]) for _ in range(2)))
        return out

    pick = lambda s: rng.sample(CODES3[s] if s else CODES2, rng.randint(1, len(CODES3[s] if s else CODES2)))  # noqa: E731

    systems = rng.sample(sorted(CODES3), rng.randint(1, 4)) if rinex3 else [None]
    codes = {s: pick(s) for s in systems}
    text = header_line("     %s           OBSERVATION DATA    M" % ("3.04" if rinex3 else "2.11"), "RINEX VERSION / TYPE")
    text += "".join(type_lines(s, codes[s]) for s in systems) + header_line("", "END OF HEADER")
    pool = ["%s%02d" % (s, n) for s in (systems if rinex3 else "GRE") for n in range(1, 20)]
    current, clock = rng.sample(pool, rng.randint(1, min(25, len(pool)))), None
    for epoch in range(rng.randint(1, 40)):
        time_text = ("> 2021 01 01 00 %02d%11.7f" if rinex3 else " 21  1  1  0 %2d%11.7f") % (epoch // 6, epoch % 6 * 10)
        for _ in range(rng.randint(0, 3) if rng.random() < 0.3 else 0):
            if current and rng.random() < 0.5:
                current.remove(rng.choice(current))
            elif (s := rng.choice(pool)) not in current:
                current.insert(rng.randint(0, len(current)), s)
        current = current or [rng.choice(pool)]
        if rng.random() < 0.06:  # an event epoch, possibly with new observation types
            flag = rng.choice([2, 3, 4, 5])
            records = [("  EVENT %d" % epoch).ljust(60) + "COMMENT"] * rng.randint(0, 2)
            if flag == 4 and rng.random() < 0.5:
                s = rng.choice(systems)
                codes[s] = pick(s)
                records = type_lines(s, codes[s]).splitlines()
            head = time_text if flag in (2, 5) or rng.random() < 0.5 else time_text[0] + " " * (len(time_text) - 1)
            text += head + "  %d%3d\n" % (flag, len(records)) + "".join(r + "\n" for r in records)
            continue
        x = rng.random()
        clock = None if x < 0.3 else rng.uniform(-0.9, 0.9) if x < 0.5 or clock is None else clock + rng.uniform(-1e-5, 1e-5)
        line = time_text + "  %d%3d" % (1 if rng.random() < 0.05 else 0, len(current))
        if rinex3:
            text += line + ("      %15.12f" % clock if clock is not None else "") + "\n"
            text += "".join((s + "".join(fields(s, len(codes[s[0]])))).rstrip() + "\n" for s in current)
            continue
        line += "".join(current[:12])
        text += (line.ljust(68) + "%12.9f" % clock if clock is not None else line) + "\n"
        text += "".join(" " * 32 + "".join(current[k:k + 12]) + "\n" for k in range(12, len(current), 12))
        for s in current:
            f = fields(s, len(codes[None]))
            text += "".join("".join(f[k:k + 5]).rstrip() + "\n" for k in range(0, len(f), 5))
    return text


def every_order():
    """Arcs of every order from 0 to 5, two of them restarted with another order mid-way."""
    text = (header_line("1.0                 COMPACT RINEX FORMAT", "CRINEX VERS   / TYPE")
            + header_line("RNX2CRX ver.4.1.0", "CRINEX PROG / DATE")
            + header_line("     2.11           OBSERVATION DATA    M", "RINEX VERSION / TYPE")
            + type_lines(None, ["L1", "L2", "C1", "P1", "P2", "S1"]) + header_line("", "END OF HEADER")
            + "&21  1  1  0  0  0.0000000  0  1G01\n3&-12345\n0&5 1&-7 2&123456789 3&-987654321 4&42 5&1000\n")
    rng = random.Random(9)
    for second in range(1, 10):
        items = [str(rng.randint(-500, 500)) for _ in range(6)]
        if second == 6:
            items[2], items[4] = "5&77", "1&-3"
        text += " " * 17 + "%d\n%d\n" % (second, rng.randint(-99, 99)) + " ".join(items) + "\n"
    return text


def main():
    out, data, per_version = Path(sys.argv[1]), Path(sys.argv[2]), int(sys.argv[3])
    cases = []
    for path in sorted(data.iterdir()) if data.is_dir() else []:
        if path.name.endswith((".crx", ".crx.gz")) or (path.name[-4:-3] == "." and path.name.endswith("d")):
            compact = gzip.decompress(path.read_bytes()) if path.name.endswith(".gz") else path.read_bytes()
            (out / (path.name + ".rnx")).write_bytes(hatanaka.crx2rnx(compact))
            cases.append((path, out / (path.name + ".rnx")))
    made = {"every_order": every_order().encode()}
    for seed in range(per_version):
        for rinex3 in (False, True):
            reinit = {"reinit_every_nth": 5} if seed % 4 == 3 else {}
            made["generated_%d_%d" % (seed, 3 if rinex3 else 2)] = hatanaka.rnx2crx(random_rinex(seed, rinex3).encode(), **reinit)
    for name, compact in made.items():
        (out / (name + ".crx")).write_bytes(compact)
        (out / (name + ".rnx")).write_bytes(hatanaka.crx2rnx(compact))
        cases.append((out / (name + ".crx"), out / (name + ".rnx")))
    (out / "manifest.tsv").write_text("".join("%s\t%s\n" % c for c in cases))


main()
