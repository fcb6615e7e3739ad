#!/usr/bin/env python3
"""The performance table's rows: which way each ratio goes, units, limits, and failed or missing results."""

import io
import json
import sys
import tempfile
import types
import unittest
from contextlib import redirect_stderr, redirect_stdout
from pathlib import Path

TABLE = Path(__file__).resolve().parents[2] / "bench" / "table.py"
# bench/table.py is a script, not a package module: its code is run into a module of its own.
table = types.ModuleType("table")
table.__file__ = str(TABLE)
exec(compile(TABLE.read_text(encoding="utf-8"), str(TABLE), "exec"), table.__dict__)


def run(name, cpu, unit="ns", repeated=True, **extra):
    """One benchmark's entries as Google Benchmark writes them; with repetitions, the median
    is the figure and the single runs around it must not be."""
    base = dict(run_name=name, cpu_time=cpu, real_time=cpu * 3, time_unit=unit, **extra)
    if not repeated:
        return [dict(base, name=name, run_type="iteration")]
    return [dict(base, name=name, run_type="iteration", cpu_time=cpu * 50),
            dict(base, name=name + "_mean", run_type="aggregate", aggregate_name="mean", cpu_time=cpu * 20),
            dict(base, name=name + "_median", run_type="aggregate", aggregate_name="median"),
            dict(base, name=name + "_stddev", run_type="aggregate", aggregate_name="stddev", cpu_time=cpu / 10)]


def cells(line):
    return [c.strip() for c in line.strip().strip("|").split("|")]


class Table(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.folder = Path(self.dir.name)

    def tearDown(self):
        self.dir.cleanup()

    def write(self, name, benchmarks):
        (self.folder / name).write_text(json.dumps({"benchmarks": benchmarks}))

    def write_all(self, encode=400.0, load_ms=30.0, score_ms=4.0, next_max=5.0, repeated=True):
        self.write("cipher.json",
                   run("cipher/HexEncrypt", encode, lines=4001, bytes_per_second=2e9, repeated=repeated)
                   + run("cipher/ReferenceEncode", 200.0, bytes_per_second=4e9, repeated=repeated)
                   + run("cipher/HexDecrypt", 1000.0, lines=4001, repeated=repeated)
                   + run("cipher/ReferenceDecode", 900.0, repeated=repeated))
        self.write("paper.json",
                   run("paper/LoadPaper", load_ms, "ms", questions=32766, repeated=repeated)
                   + run("paper/DecipherPaper", 15.0, "ms", repeated=repeated)
                   + run("scoring/Score", score_ms, "ms", repeated=repeated))
        (self.folder / "examdesk.json").write_text(json.dumps({
            "questions": 32766,
            "start": {"median_ms": 40.0, "max_ms": 55.0, "count": 5},
            "next": {"median_ms": 0.8, "max_ms": next_max, "count": 300},
            "previous": {"median_ms": 0.7, "max_ms": 1.5, "count": 300},
        }))

    def rows(self):
        out, err = io.StringIO(), io.StringIO()
        with redirect_stdout(out), redirect_stderr(err):
            status = table.main([str(self.folder), "--header"])
        lines = out.getvalue().splitlines()
        return status, lines, err.getvalue()

    def test_every_target_row_is_there_with_the_header_once(self):
        self.write_all()
        status, lines, err = self.rows()
        self.assertEqual(status, 0, err)
        self.assertEqual(lines[0], "| # | Figure | Measured | Reference | Ratio / limit | Met |")
        self.assertEqual(sum(1 for line in lines if line.startswith("| # |")), 1)
        body = [cells(line) for line in lines[2:]]
        self.assertTrue(all(len(c) == 6 for c in body))
        self.assertEqual([c[0] for c in body if c[5] != "—"], ["1", "1", "2", "3", "7", "7", "7"])

    def test_cipher_speed_is_the_reference_time_over_the_cipher_time(self):
        self.write_all(encode=400.0)  # the reference takes 200 ns: half the speed, just met
        _, lines, _ = self.rows()
        encode = cells(next(line for line in lines if "HexEncrypt" in line))
        self.assertIn("speed 0.50", encode[4])
        self.assertEqual(encode[5], "yes")
        self.assertIn("4001 paper lines", encode[1])
        self.write_all(encode=401.0)
        _, lines, _ = self.rows()
        self.assertEqual(cells(next(line for line in lines if "HexEncrypt" in line))[5], "**no**")

    def test_loading_is_judged_against_twice_the_reference_in_its_own_unit(self):
        self.write_all(load_ms=30.0)
        _, lines, _ = self.rows()
        load = cells(next(line for line in lines if line.startswith("| 2 |")))
        self.assertEqual(load[2], "30.0 ms")
        self.assertIn("15.0 ms", load[3])
        self.assertIn("2.00×", load[4])
        self.assertEqual(load[5], "yes")
        self.write_all(load_ms=30.3)
        _, lines, _ = self.rows()
        self.assertEqual(cells(next(line for line in lines if line.startswith("| 2 |")))[5], "**no**")

    def test_absolute_limits_for_scoring_and_moving_between_questions(self):
        self.write_all(score_ms=10.0, next_max=20.0)
        _, lines, _ = self.rows()
        score = cells(next(line for line in lines if "Scoring" in line))
        self.assertEqual(score[5], "**no**", "10 ms is not under 10 ms")
        moving = cells(next(line for line in lines if "next question" in line))
        self.assertEqual(moving[5], "**no**", "the slowest move decides")
        self.assertIn("max 20.00 ms", moving[2])

    def test_single_runs_of_a_smoke_test_serve_when_there_are_no_medians(self):
        self.write_all(repeated=False)
        status, lines, err = self.rows()
        self.assertEqual(status, 0, err)
        load = cells(next(line for line in lines if line.startswith("| 2 |")))
        self.assertIn("2.00×", load[4])

    def test_a_failed_or_missing_benchmark_is_reported_and_fails_the_run(self):
        self.write_all()
        self.write("paper.json", run("paper/LoadPaper", 30.0, "ms")
                   + [{"name": "paper/DecipherPaper", "run_name": "paper/DecipherPaper", "run_type": "iteration",
                       "error_occurred": True, "error_message": "the lines did not decipher",
                       "cpu_time": 0, "time_unit": "ms"}])
        (self.folder / "examdesk.json").unlink()
        status, lines, err = self.rows()
        self.assertEqual(status, 1)
        self.assertIn("the lines did not decipher", err)
        self.assertIn("examdesk.json", err)
        # What could be read is still shown.
        self.assertTrue(any("HexDecrypt" in line for line in lines))
        self.assertFalse(any(line.startswith("| 2 |") for line in lines))


if __name__ == "__main__":
    unittest.main()
