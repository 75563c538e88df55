#!/usr/bin/env python3
"""The forms name their texts as the code does: the rewrite of numbers and the build's check."""

import io
import os
import sys
import tempfile
import unittest
from contextlib import redirect_stderr

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import ui_texts  # noqa: E402

FORM = """<ui>
 <widget class="QLabel" name="bid">
  <property name="langKey" stdset="0"><string>316</string></property>
  <property name="text"><string>0316</string></property>
 </widget>
 <widget class="QPushButton" name="price">
  <property name="langToolTipKey" stdset="0">
   <string>kPrice0232</string>
  </property>
  <property name="langKey" stdset="0"><string>kAsk</string></property>
 </widget>
 <widget class="QLabel" name="gone">
  <property name="langKey" stdset="0"><string>%s</string></property>
 </widget>
</ui>
"""


class UiTexts(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.table = self.file("Localizable.txt", "0316\tBid\n0317\tAsk\n0232\tPrice\n0240\tPrice\n")
        self.names = self.file("names.txt", "0232\tkOrderPrice\n")

    def tearDown(self):
        self.dir.cleanup()

    def file(self, name, content):
        path = os.path.join(self.dir.name, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(content)
        return path

    def run_tool(self, *args):
        err = io.StringIO()
        with redirect_stderr(err):
            status = ui_texts.main(["--table", self.table, "--names", self.names, *args])
        return status, err.getvalue()

    def test_numbers_and_stale_names_are_rewritten_and_the_rest_kept(self):
        form = self.file("a.ui", FORM % "9999")
        status, err = self.run_tool(form)
        self.assertEqual((status, err), (1, f"{form}:13: 9999: key 9999 is not in the English table\n"))
        with open(form, encoding="utf-8") as f:
            fixed = f.read()
        # Only the text properties change, the one it cannot name stays for a person to fix.
        expected = (FORM % "9999").replace(">316<", ">kBid<").replace("kPrice0232", "kOrderPrice")
        self.assertEqual(fixed, expected)

        self.file("a.ui", FORM % "kPrice")
        self.assertEqual(self.run_tool(form), (0, ""))
        self.assertEqual(self.run_tool("--check", form), (0, ""))

    def test_check_refuses_numbers_and_unknown_names_and_stamps_only_when_clean(self):
        form = self.file("a.ui", FORM % "kBidd")
        stamp = os.path.join(self.dir.name, "ok.stamp")
        status, err = self.run_tool("--check", "--stamp", stamp, form)
        self.assertEqual(status, 1)
        self.assertEqual(err.splitlines(), [
            f"{form}:3: key 316 given by number; tools/ui_texts.py names it",
            f"{form}:8: kPrice0232 is now named kOrderPrice; tools/ui_texts.py names it",
            f"{form}:13: kBidd names no English text",
        ])
        self.assertFalse(os.path.exists(stamp))
        with open(form, encoding="utf-8") as f:
            self.assertEqual(f.read(), FORM % "kBidd")
        # A broken names file fails before any form is read.
        self.file("names.txt", "9999\tkGone\n")
        self.assertEqual(self.run_tool("--check", form),
                         (1, "ui_texts: names file: key 9999 is not in the table\n"))
        self.file("names.txt", "")
        self.file("a.ui", FORM.replace("316", "kBid").replace("kPrice0232", "kPrice") % "kPrice0240")
        self.assertEqual(self.run_tool("--check", "--stamp", stamp, form), (0, ""))
        self.assertTrue(os.path.exists(stamp))


if __name__ == "__main__":
    unittest.main()
