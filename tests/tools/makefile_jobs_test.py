#!/usr/bin/env python3
"""The Makefile's build jobs: make's own -j when given, JOBS= over it, every core otherwise. Read
from `make -n`, which prints the commands without running them."""

import os
import subprocess
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")


def build_jobs(*args):
    """The -j of the `cmake --build` command `make build` would run."""
    # Nothing of a make (or a JOBS) this test runs under reaches the make it asks.
    env = {k: v for k, v in os.environ.items() if k not in ("MAKEFLAGS", "MFLAGS", "MAKELEVEL", "JOBS")}
    out = subprocess.run(["make", "-n", "-C", ROOT, "--no-print-directory", "build", *args],
                         env=env, capture_output=True, text=True, check=True).stdout
    line = next(line for line in out.splitlines() if line.startswith("cmake --build"))
    return line.split("-j", 1)[1].split()[0]


class MakefileJobs(unittest.TestCase):
    def test_makes_own_jobs_bound_the_build(self):
        cores = str(len(os.sched_getaffinity(0)))  # as nproc counts them
        cases = {("-j3",): "3", ("--jobs=2",): "2", ("-j", "5"): "5", ("-kj3",): "3",
                 (): cores, ("-j",): cores, ("JOBS=4", "-j2"): "4"}
        for args, jobs in cases.items():
            with self.subTest(args=args):
                self.assertEqual(build_jobs(*args), jobs)


if __name__ == "__main__":
    unittest.main()
