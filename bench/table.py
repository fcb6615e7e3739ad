#!/usr/bin/env python3
"""Rows of the performance table for the cipher, paper loading, scoring and examdesk's windows.

Reads what cipher_bench and paper_bench wrote with --benchmark_out (JSON) and what
examdesk_bench wrote with --json, and prints markdown table rows with the columns
| # | Figure | Measured | Reference | Ratio / limit | Met |
Micro-benchmark times are CPU time per run, the median of the repetitions, so that a
neighbour's build taking the processor now and then moves them less than wall time would.
"""

import argparse
import json
import sys
from pathlib import Path

HEADER = ("| # | Figure | Measured | Reference | Ratio / limit | Met |\n"
          "|---|---|---|---|---|---|")

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


class Missing(Exception):
    """A figure the table needs is not in the results."""


def load_runs(path):
    """Benchmark name -> {"ns": CPU ns per run, "bytes_per_second": ...}; medians when repeated."""
    data = json.loads(Path(path).read_text())
    runs, medians, failed = {}, {}, []
    for b in data.get("benchmarks", []):
        name = b.get("run_name", b["name"])
        if b.get("error_occurred"):
            failed.append(f"{name}: {b.get('error_message', 'failed')}")
            continue
        entry = dict(b, ns=b["cpu_time"] * UNIT_NS[b.get("time_unit", "ns")])
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                medians[name] = entry
        else:
            runs.setdefault(name, entry)
    if failed:
        raise Missing("; ".join(failed))
    runs.update(medians)
    return runs


def pick(runs, name):
    if name not in runs:
        raise Missing(f"no result for {name}")
    return runs[name]


def duration(ns):
    """A time with the unit that keeps three or so significant digits."""
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3), ("ns", 1.0)):
        if ns >= scale or unit == "ns":
            value = ns / scale
            digits = 0 if value >= 100 else 1 if value >= 10 else 2
            return f"{value:.{digits}f} {unit}"


def with_rate(ns, bytes_per_second):
    """A time, and the bytes a second it comes to where the benchmark counted them."""
    if not bytes_per_second:
        return duration(ns)
    for unit, scale in (("GB/s", 1e9), ("MB/s", 1e6), ("kB/s", 1e3)):
        if bytes_per_second >= scale or unit == "kB/s":
            return f"{duration(ns)} ({bytes_per_second / scale:.2f} {unit})"


def verdict(ok):
    return "yes" if ok else "**no**"


def row(number, figure, measured, reference="—", limit="—", met="—"):
    return f"| {number} | {figure} | {measured} | {reference} | {limit} | {met} |"


def cipher_rows(runs):
    out = []
    for direction, product, reference in (("HexEncrypt", "cipher/HexEncrypt", "cipher/ReferenceEncode"),
                                          ("HexDecrypt", "cipher/HexDecrypt", "cipher/ReferenceDecode")):
        p, r = pick(runs, product), pick(runs, reference)
        lines = int(p.get("lines", 0))
        speed = r["ns"] / p["ns"]  # the product's speed as a share of the reference's
        out.append(row(1, f"{direction}, {lines} paper lines a run",
                       with_rate(p["ns"], p.get("bytes_per_second")),
                       "table-driven hex-and-XOR loop: " + with_rate(r["ns"], r.get("bytes_per_second")),
                       f"speed {speed:.2f} of the reference (≥ 0.5)", verdict(speed >= 0.5)))
    return out


def paper_rows(runs):
    load, reference = pick(runs, "paper/LoadPaper"), pick(runs, "paper/DecipherPaper")
    questions = int(load.get("questions", 0))
    ratio = load["ns"] / reference["ns"]
    out = [row(2, f"Loading a {questions}-question paper, six options each: every line deciphered into a record "
                  "(text and options cut from it when first shown)",
               with_rate(load["ns"], load.get("bytes_per_second")),
               f"its lines read and deciphered alone: {duration(reference['ns'])}",
               f"{ratio:.2f}× the reference (≤ 2)", verdict(ratio <= 2.0))]
    if "paper/ReadLines" in runs:
        read = runs["paper/ReadLines"]
        out.append(row("2", "… of which reading the file's lines", duration(read["ns"])))
    score = pick(runs, "scoring/Score")
    out.append(row(3, f"Scoring a candidate's answers to the {questions}-question paper", duration(score["ns"]),
                   "—", "< 10 ms", verdict(score["ns"] < 10e6)))
    if "scoring/FullMarks" in runs:
        out.append(row("3", "… its full marks, counted the same way", duration(runs["scoring/FullMarks"]["ns"])))
    return out


def examdesk_rows(figures):
    start, nxt, prev = figures["start"], figures["next"], figures["previous"]
    questions = figures["questions"]

    def spread(f):
        return f"median {f['median_ms']:.2f} ms, max {f['max_ms']:.2f} ms"

    return [
        row(7, f"examdesk: Start to the first question shown, {questions} questions ({start['count']} runs)",
            spread(start), "—", "< 1 s", verdict(start["count"] > 0 and start["max_ms"] < 1000)),
        row(7, f"examdesk: next question shown ({nxt['count']} moves)", spread(nxt), "—", "< 20 ms",
            verdict(nxt["count"] > 0 and nxt["max_ms"] < 20)),
        row(7, f"examdesk: previous question shown ({prev['count']} moves)", spread(prev), "—", "< 20 ms",
            verdict(prev["count"] > 0 and prev["max_ms"] < 20)),
    ]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("results", help="the folder holding cipher.json, paper.json and examdesk.json")
    parser.add_argument("--header", action="store_true", help="print the table's header first")
    args = parser.parse_args(argv)

    folder = Path(args.results)
    rows = []
    problems = []
    for name, build in (("cipher.json", lambda p: cipher_rows(load_runs(p))),
                        ("paper.json", lambda p: paper_rows(load_runs(p))),
                        ("examdesk.json", lambda p: examdesk_rows(json.loads(Path(p).read_text())))):
        try:
            rows += build(folder / name)
        except (OSError, ValueError, KeyError, Missing) as error:
            problems.append(f"{name}: {error}")
    if args.header:
        print(HEADER)
    for r in rows:
        print(r)
    for p in problems:
        print(f"table: {p}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
