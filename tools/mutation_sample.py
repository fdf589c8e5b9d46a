#!/usr/bin/env python3
"""Mutation sample: how many small faults in the core does the test suite catch?

Mutants come from universalmutator (PyPI) with its C++ rules, over every src/**/*.cpp outside
src/python. A fixed seed draws them, so two runs on different test suites judge the same faults.
A mutant counts only if it compiles; it is killed when the test command with fuzzing off fails
(the release build, the C++ tests, then the Python tests; each stops at its first failure).

    python3 tools/mutation_sample.py --rev 77a4d1a --label before --count 150
    python3 tools/mutation_sample.py --rev HEAD --label after --count 150

The first run draws the mutants from its revision into tools/mutation/queue.json; every run judges
that queue in order, so two suites are judged on the same faults, and records the verdicts in
tools/mutation/LABEL.json mutant by mutant (a rerun resumes). Each job works in its own git worktree
beside the repository (so ../shared/data resolves), removed at the end. Not run by CI: a mutant
takes from 20 s (killed by a C++ test) to over a minute (survives every test) on two cores.
"""
from __future__ import annotations

import argparse
import json
import os
import random
import subprocess
import sys
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
RECORDS = REPO / "tools" / "mutation"
TEST_TIMEOUT = 600


def run(cmd, cwd, timeout, env=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           timeout=timeout, text=True, errors="replace")
        return p.returncode, p.stdout
    except subprocess.TimeoutExpired:
        return "timeout", ""


def generate_mutants(tree: Path) -> list[dict]:
    """Every mutant universalmutator makes of the core's .cpp files, as (file, line, old, new)."""
    mutants = []
    sources = sorted(p for p in (tree / "src").rglob("*.cpp") if "python" not in p.relative_to(tree / "src").parts[:1])
    with tempfile.TemporaryDirectory() as out:
        for src in sources:
            rel = src.relative_to(tree).as_posix()
            d = Path(out) / rel.replace("/", "_")
            d.mkdir()
            subprocess.run(["mutate", str(src), "cpp", "--noCheck", "--mutantDir", str(d)],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            original = src.read_text().splitlines(keepends=True)
            for m in sorted(d.iterdir()):
                changed = m.read_text().splitlines(keepends=True)
                if len(changed) != len(original):
                    continue
                diff = [i for i, (a, b) in enumerate(zip(original, changed)) if a != b]
                if len(diff) != 1:
                    continue
                i = diff[0]
                mutants.append({"file": rel, "line": i + 1, "old": original[i], "new": changed[i]})
    return mutants


class Worker:
    def __init__(self, rev: str, name: str, python_path: str):
        self.tree = REPO.parent / f"qcn0-mutation-{name}"
        if self.tree.exists():
            subprocess.run(["git", "worktree", "remove", "--force", str(self.tree)], cwd=REPO)
        subprocess.run(["git", "worktree", "add", "--detach", str(self.tree), rev], cwd=REPO, check=True,
                       stdout=subprocess.DEVNULL)
        self.build = self.tree / "build-mutation"
        self.python_path = str(self.tree / python_path.replace("BUILD", "build-mutation"))
        subprocess.run(["cmake", "-S", ".", "-B", str(self.build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DQCN0_BUILD_PYTHON=ON", "-DQCN0_BUILD_TESTS=ON"], cwd=self.tree, check=True,
                       stdout=subprocess.DEVNULL)
        code, out = run(["cmake", "--build", str(self.build), "-j", "1"], self.tree, 3600)
        if code != 0:
            sys.exit(f"unmutated build failed in {self.tree}:\n{out[-3000:]}")
        code, out = self.tests()
        if code != "survived":
            sys.exit(f"unmutated tests fail in {self.tree} ({code}):\n{out[-3000:]}")

    def tests(self):
        env = dict(os.environ, PYTHONPATH=self.python_path)
        code, out = run(["ctest", "--test-dir", str(self.build), "--stop-on-failure", "-Q"], self.tree, TEST_TIMEOUT)
        if code != 0:
            return "killed", out
        code, out = run([sys.executable, "-m", "pytest", "-x", "-q", "-p", "no:cacheprovider", "tests/python"],
                        self.tree, TEST_TIMEOUT, env)
        return ("survived" if code == 0 else "killed"), out

    def judge(self, m: dict) -> str:
        path = self.tree / m["file"]
        original = path.read_text()
        lines = original.splitlines(keepends=True)
        # The file may have moved on since the mutant was drawn: the same line nearest to where it
        # was still carries the same fault.
        at = [i for i, l in enumerate(lines) if l == m["old"]]
        if not at:
            return "stale"
        i = min(at, key=lambda i: abs(i - (m["line"] - 1)))
        lines[i] = m["new"]
        path.write_text("".join(lines))
        try:
            code, _ = run(["cmake", "--build", str(self.build), "-j", "1"], self.tree, 1800)
            if code != 0:
                return "uncompiled"
            return self.tests()[0]
        finally:
            path.write_text(original)
            os.utime(path, (time.time() + 1, time.time() + 1))

    def close(self):
        subprocess.run(["git", "worktree", "remove", "--force", str(self.tree)], cwd=REPO)


def main() -> None:
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--rev", default="HEAD", help="revision whose tests judge the mutants")
    ap.add_argument("--label", required=True, help="name of the record written to tools/mutation/")
    ap.add_argument("--count", type=int, default=150, help="compiling mutants to judge")
    ap.add_argument("--seed", type=int, default=20261207)
    ap.add_argument("--queue", default=str(RECORDS / "queue.json"),
                    help="the drawn mutants in order; drawn from --rev when the file does not exist yet")
    ap.add_argument("--jobs", type=int, default=1)
    ap.add_argument("--python-path", default="BUILD/python",
                    help="PYTHONPATH for the tests, relative to the worktree; BUILD is the build folder")
    args = ap.parse_args()

    RECORDS.mkdir(parents=True, exist_ok=True)
    record_path = RECORDS / f"{args.label}.json"
    workers = [Worker(args.rev, f"{args.label}-{j}", args.python_path) for j in range(args.jobs)]
    queue_path = Path(args.queue)
    if not queue_path.exists():
        queue = generate_mutants(workers[0].tree)
        random.Random(args.seed).shuffle(queue)
        queue_path.write_text(json.dumps({"seed": args.seed, "rev": args.rev, "mutants": queue[:2000]}) + "\n")
        print(f"{len(queue)} mutants generated; drawn with seed {args.seed}", flush=True)
    queue = json.loads(queue_path.read_text())["mutants"]

    # A record grows mutant by mutant, so an interrupted run resumes where it stopped.
    results: list[dict] = json.loads(record_path.read_text())["results"] if record_path.exists() else []
    done = {r["index"] for r in results}
    lock = threading.Lock()
    cursor = iter([(i, m) for i, m in enumerate(queue) if i not in done])
    rev = subprocess.run(["git", "rev-parse", args.rev], cwd=REPO, text=True, stdout=subprocess.PIPE).stdout.strip()

    def counted():
        return sum(r["verdict"] in ("killed", "survived") for r in results)

    def save():
        killed = sum(r["verdict"] == "killed" for r in results)
        judged = counted()
        record = {"rev": rev, "seed": args.seed, "judged": judged, "killed": killed,
                  "kill_rate": round(100.0 * killed / max(judged, 1), 1),
                  "results": sorted(results, key=lambda r: r["index"])}
        record_path.write_text(json.dumps(record, indent=1) + "\n")
        return record

    def work(worker: Worker):
        while True:
            with lock:
                if counted() >= args.count:
                    return
                item = next(cursor, None)
            if item is None:
                return
            index, m = item
            verdict = worker.judge(m)
            with lock:
                results.append({"index": index, "verdict": verdict, "mutant": m})
                save()
                print(f"[{counted():3d}] #{index:<4d} {verdict:10s} {m['file']}:{m['line']}  {m['new'].strip()[:90]}",
                      flush=True)

    try:
        with ThreadPoolExecutor(len(workers)) as pool:
            list(pool.map(work, workers))
    finally:
        for w in workers:
            w.close()
    record = save()
    print(f"\n{args.label}: {record['killed']} of {record['judged']} compiling mutants killed ({record['kill_rate']} %)")
    for r in record["results"]:
        if r["verdict"] == "survived":
            m = r["mutant"]
            print(f"  survived #{r['index']} {m['file']}:{m['line']}\n    - {m['old'].strip()}\n    + {m['new'].strip()}")


if __name__ == "__main__":
    main()
