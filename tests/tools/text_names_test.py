#!/usr/bin/env python3
"""The names the build gives the English texts."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import text_names  # noqa: E402


class TextNames(unittest.TestCase):
    def test_names_come_from_the_first_sentence_without_filler_or_placeholders(self):
        cases = {
            "Please enter the server address.": "kEnterServerAddress",
            "Login failed. Please check your user name and password.": "kLoginFailed",
            "Time in Force": "kTimeInForce",  # a short text keeps every word
            "Prev. Close": "kPrevClose",  # an abbreviation is no sentence
            "Buy limit order for {0} lot(s) of {1} at {2} is placed.": "kBuyLimitOrderLotPlaced",
            "The server's reply to the login could not be opened.": "kServersReplyLoginCouldNot",
            "P/L": "kPL",
            "…": "",
        }
        for text, name in cases.items():
            with self.subTest(text=text):
                self.assertEqual(text_names.derived_name(text), name)

    def test_twins_keep_apart_by_key_and_overrides_win(self):
        texts = {"0467": "Password", "0078": "Password", "0100": "…", "0101": "—", "0200": "Close"}
        names, faults = text_names.assign_names(texts, {"0200": "kCloseWindow"})
        self.assertEqual(faults, [])
        self.assertEqual(names, {"0078": "kPassword", "0467": "kPassword0467", "0100": "kText0100",
                                 "0101": "kText0101", "0200": "kCloseWindow"})
        # Adding a lower twin renames the one that held the plain name: overrides pin names that matter.
        names, _ = text_names.assign_names({**texts, "0001": "Password"}, {})
        self.assertEqual(names["0001"], "kPassword")

    def test_overrides_that_clash_or_name_no_text_are_faults(self):
        texts = {"0001": "Buy", "0002": "Sell"}
        names, faults = text_names.assign_names(texts, {"0002": "kBuy"})
        self.assertEqual((names, faults), ({"0001": "kBuy0001", "0002": "kBuy"}, []))
        _, faults = text_names.assign_names(texts, {"0001": "kTrade", "0002": "kTrade"})
        self.assertEqual(faults, ["names file: kTrade given to 0001 and 0002"])
        _, faults = text_names.assign_names(texts, {"0003": "kGone"})
        self.assertEqual(faults, ["names file: key 0003 is not in the table"])

    def test_header_names_each_key_beside_its_text_and_keeps_an_unchanged_file(self):
        with tempfile.TemporaryDirectory() as root:
            table = os.path.join(root, "Localizable.txt")
            names = os.path.join(root, "names.txt")
            out = os.path.join(root, "gui", "texts.h")
            with open(table, "w", encoding="utf-8") as f:
                f.write("# header\n0009\tBuy\n0010\tSell\\nnow\n")
            with open(names, "w", encoding="utf-8") as f:
                f.write("# comment\n10\tkSellNow\n")
            by_name = os.path.join(root, "gui", "texts_by_name.h")
            self.assertEqual(text_names.main(["text_names.py", table, names, out, "--by-name", by_name]), 0)
            with open(out, encoding="utf-8") as f:
                header = f.read()
            self.assertIn('// Buy\ninline constexpr char kBuy[] = "0009";', header)
            self.assertIn('// Sell\\nnow\ninline constexpr char kSellNow[] = "0010";', header)
            # The forms' lookup: every name once, sorted for a binary search.
            with open(by_name, encoding="utf-8") as f:
                self.assertIn('std::array<NamedKey, 2> kKeysByName{{\n    {"kBuy", "0009"},\n'
                              '    {"kSellNow", "0010"},\n}};', f.read())
            os.utime(out, (1, 1))
            self.assertEqual(text_names.main(["text_names.py", table, names, out]), 0)
            self.assertEqual(os.stat(out).st_mtime, 1)
            with open(names, "a", encoding="utf-8") as f:
                f.write("0011\tkGone\n")
            self.assertEqual(text_names.main(["text_names.py", table, names, out]), 1)


if __name__ == "__main__":
    unittest.main()
