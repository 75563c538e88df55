#!/usr/bin/env python3
"""The screenshot tool's options: --help prints the usage, a wrong option is refused, and neither is
taken for the folder the screenshots go to.

    screens_options_test.py PATH/TO/tradegui_screens
"""

import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else ""
# Far longer than printing the usage or a refusal takes; a run that renders the screens takes more.
LIMIT_S = 60


def run(*args):
    """The tool's exit status, output and error output, run in an empty folder, and what it left there."""
    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        try:
            done = subprocess.run([TOOL, *args], cwd=folder, env=env, capture_output=True, text=True,
                                  timeout=LIMIT_S)
            result = (done.returncode, done.stdout, done.stderr)
        except subprocess.TimeoutExpired:
            result = (None, "", f"still running after {LIMIT_S} s")
        return (*result, sorted(os.listdir(folder)))


class ScreensOptions(unittest.TestCase):
    def test_help_prints_the_usage_with_the_screens_and_writes_nothing(self):
        for option in ("--help", "-h"):
            with self.subTest(option=option):
                code, out, err, left = run(option)
                self.assertEqual(code, 0, err)
                self.assertEqual(left, [])
                self.assertIn("tradegui_screens --check-layout", out)
                for name in ("login", "main-window", "quotes-board", "zh-Hans"):
                    self.assertRegex(out, rf"(?m)[ :]{name}( |$)")

    def test_an_unknown_option_or_one_without_its_value_is_refused(self):
        for args, says in ((["--bogus"], "unknown option --bogus"), (["-x", "login"], "unknown option -x"),
                           (["shots", "--check-layuot"], "unknown option --check-layuot"),
                           (["--languages"], "--languages needs a value")):
            with self.subTest(args=args):
                code, _, err, left = run(*args)
                self.assertEqual(code, 2, err)
                self.assertIn(says, err)
                self.assertEqual(left, [])


if __name__ == "__main__":
    unittest.main()
