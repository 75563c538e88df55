#!/usr/bin/env python3
"""The language tables against the keys the program uses, and the lister that finds their gaps."""

import io
import os
import re
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import missing_texts as texts  # noqa: E402


def write(root, relative, content):
    path = os.path.join(root, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(content.encode("utf-8"))
    return path


class Lister(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.root = self.dir.name
        write(self.root, "en.lproj/Localizable.txt",
              "# header\n0001\tBuy\n0002\tOrder {0} of {1}\n0003\tLine\\none\n0004\tSell\n")

    def tearDown(self):
        self.dir.cleanup()

    def table(self, content):
        write(self.root, "fr.lproj/Localizable.txt", content)
        return texts.load_table(self.root, "fr")

    def test_missing_empty_and_placeholders_out_of_order(self):
        english = texts.load_table(self.root, "en")
        p = texts.compare(english, self.table("0001\tAcheter\n0002\tOrdre {1} de {0}\n0003\t  \n0009\tx\n"))
        self.assertEqual(p.missing, ["0004"])
        self.assertEqual(p.placeholders, [("0002", ["0", "1"], ["1", "0"])])
        self.assertEqual(p.empty, ["0003"])
        self.assertEqual(p.unknown, ["0009"])
        self.assertEqual(p.faults(), 3)  # a key English lacks does no harm
        dropped = texts.compare(english, self.table("0001\tA\n0002\tOrdre {0}\n0003\tL\n0004\tV\n"))
        self.assertEqual(dropped.placeholders, [("0002", ["0", "1"], ["0"])])

    def test_keys_twice_and_lines_the_program_skips(self):
        table = self.table("\ufeff0001\tA\n0002\tB {0} {1}\r\n0001\tC\nno tab\nx1\tD\n0003\tbad \\q\n"
                           "0004\tE\x01\n")
        self.assertEqual(table.texts["0001"], "C")  # the later entry wins, as in the program
        self.assertEqual(table.texts["0002"], "B {0} {1}")
        self.assertEqual(table.twice(), ["0001"])
        self.assertEqual(table.lines["0001"], [1, 3])
        self.assertEqual([n for n, _ in table.unreadable], [4, 5, 6, 7])
        p = texts.compare(texts.load_table(self.root, "en"), table)
        self.assertEqual(p.twice, [("0001", [1, 3])])
        self.assertEqual(p.missing, ["0003", "0004"])

    def test_output_is_a_table_of_what_to_translate(self):
        self.table("0001\tAcheter\n0002\tOrdre {0}\n0001\tAchat\n")
        out = io.StringIO()
        stdout, sys.stdout = sys.stdout, out
        try:
            status = texts.main(["--resources", self.root, "fr"])
        finally:
            sys.stdout = stdout
        lines = out.getvalue().splitlines()
        self.assertEqual(status, 1)
        self.assertEqual(lines[0], "# fr (French): missing 2, placeholders 1, twice 1")
        self.assertIn("0003\tLine\\none", lines)  # escapes as the table writes them
        self.assertIn("0004\tSell", lines)
        self.assertIn("# placeholders 0002: English {0} {1}, here {0}", lines)
        self.assertIn("# twice 0001: lines 1, 3", lines)
        self.assertTrue(all(line.startswith("#") or "\t" in line for line in lines))

        self.table("0001\tA\n0002\t{0} {1}\n0003\tLine\\none\n0004\tV\n")
        out = io.StringIO()
        stdout, sys.stdout = sys.stdout, out
        try:
            status = texts.main(["--resources", self.root, "7"])
            self.assertEqual((status, out.getvalue()), (0, "# fr (French): complete\n"))
            out.truncate(0)
            out.seek(0)
            texts.main(["--resources", self.root, "--same-as-english", "fr"])
        finally:
            sys.stdout = stdout
        # A text left in English is named on request; one without letters ({0} {1}) is no text.
        self.assertEqual(out.getvalue(), "# fr (French): complete\n# same as English 0003: Line\\none\n")

    def test_keys_in_code_are_literals_outside_comments(self):
        source = ('// "1111" in a comment\n/* "2222"\n "3333" */ x = text("0004");\n'
                  'auto s = R"("5555")"; char q = \'"\'; int n = 1\'000; f("44444", "123", "0x12");\n')
        self.assertEqual([s for s in texts.cpp_string_literals(source) if texts.CODE_KEY_RE.match(s)],
                         ["0004", "44444"])
        write(self.root, "src/gui/a.cpp", source)
        write(self.root, "src/gui/a.ui",
              '<ui><widget><property name="langKey" stdset="0"><string>12</string></property>'
              '<property name="langToolTipKey" stdset="0"><string>90001</string></property>'
              '<property name="text"><string>7777</string></property></widget></ui>')
        # A form names its texts as the code does; a name no text has is a key English lacks.
        write(self.root, "src/gui/b.ui",
              '<ui><widget><property name="langKey" stdset="0"><string>kSell</string></property>'
              '<property name="langToolTipKey" stdset="0"><string>kGone</string></property></widget></ui>')
        self.assertEqual(sorted(texts.keys_in_code(self.root)), ["0004", "44444"])
        self.assertEqual(len(texts.stale_exceptions(self.root)), len(texts.NOT_TEXT_KEYS))
        self.assertEqual(texts.keys_in_forms(self.root, self.root),
                         {"0012": "src/gui/a.ui", "90001": "src/gui/a.ui", "0004": "src/gui/b.ui",
                          "kGone": "src/gui/b.ui"})
        english = texts.load_table(self.root, "en")
        p = texts.check_english(english, texts.keys_used(self.root, self.root))
        self.assertEqual([k for k, _ in p.used_without_text], ["0012", "44444", "90001", "kGone"])
        # Buy and Line are used nowhere; a text name in the code uses its key, a name in a comment
        # or one that is no text's does not.
        self.assertEqual(p.unused, ["0001", "0002", "0003"])
        write(self.root, "src/gui/c.cpp", '// texts::kBuy\nf(texts::kOrderOf); g(texts::kNone);\n')
        p = texts.check_english(english, texts.keys_used(self.root, self.root))
        self.assertEqual(p.unused, ["0001", "0003"])

    def test_finished_list_names_folders_one_a_line(self):
        path = write(self.root, "finished.txt", "# comment\n\nfr\n spanish  # done\n")
        self.assertEqual(texts.finished_languages(path), ["fr", "spanish"])
        self.assertEqual(texts.finished_languages(os.path.join(self.root, "none.txt")), [])


class ShippedTables(unittest.TestCase):
    """The tables in resources/ as they ship."""

    resources = os.path.join(texts.ROOT, "resources")

    def setUp(self):
        self.english = texts.load_table(self.resources, "en")
        self.assertIsNotNone(self.english)

    def test_english_holds_every_key_the_program_uses(self):
        p = texts.check_english(self.english, texts.keys_used(texts.ROOT, self.resources))
        self.assertGreater(len(self.english.texts), 400)
        self.assertEqual(p.used_without_text, [], "keys with no English text (key, first use)")
        self.assertEqual(p.empty, [], "English keys with an empty text")
        self.assertEqual(p.unreadable, [], "English lines the program skips (line, reason)")
        self.assertEqual(texts.stale_exceptions(texts.ROOT), [],
                         "literals NOT_TEXT_KEYS passes over that their file no longer holds")

    def test_every_english_key_is_used(self):
        p = texts.check_english(self.english, texts.keys_used(texts.ROOT, self.resources))
        self.assertEqual(p.unused, [], "English keys no code, form or product list uses: take them "
                                       "out of every table")

    def test_no_key_twice_in_any_table(self):
        for folder, _ in texts.LANGUAGES:
            table = texts.load_table(self.resources, folder)
            self.assertIsNotNone(table, folder)
            self.assertEqual([(k, table.lines[k]) for k in table.twice()], [],
                             "%s: keys defined twice (key, lines)" % folder)

    def test_counted_texts_read_right_for_one(self):
        # A count written before a plural noun reads wrong for one ("1 new notices"): these texts
        # name the thing first and give the count after it, which suits every count in every language.
        for folder, _ in texts.LANGUAGES:
            with self.subTest(language=folder):
                table = texts.load_table(self.resources, folder)
                self.assertIsNotNone(table)
                for key in ("20234",):
                    self.assertRegex(table.texts.get(key, ""), r"\{0\}[.。۔]?$", "%s: %s" % (folder, key))

    def test_core_reasons_come_from_the_tables(self):
        # A reason the core hands a window (a refusal, a failed request or load, a sign-in that cannot
        # start, the text of a refusal it passes on) is the text of a key in the user's language: an
        # English literal there reads English in every language. Passed as an argument or assigned,
        # whatever the right-hand side (a literal, a format, one side of a choice).
        sinks = re.compile(
            r'(CommandResult::refused|requestFailed|requestAbandoned|connectionRequestFailed|endLogin)\('
            r'[^;"]*"(?![0-9]*")'
            r'|\{\s*false,\s*(std::string\()?"'
            r'|\b(load|base|result|out)\.error\s*=\s*(std::string\()?"(?![0-9]*")'
            r'|\.(text|reason)\s*=[^=;"]*"(?![0-9]*")')
        core = os.path.join(texts.ROOT, "src")
        found = []
        for layer in ("chat", "client", "connection", "funding", "news", "orders", "session", "statements"):
            for folder, _, files in os.walk(os.path.join(core, layer)):
                for name in files:
                    if not name.endswith(".cpp"):
                        continue
                    path = os.path.join(folder, name)
                    with open(path, encoding="utf-8") as f:
                        source = re.sub(r"//[^\n]*", "", f.read())
                    for match in sinks.finditer(source):
                        line = source.count("\n", 0, match.start()) + 1
                        found.append("%s:%d" % (os.path.relpath(path, texts.ROOT), line))
        self.assertEqual(found, [], "English reasons handed to a window; use a text key")

    def test_finished_languages_are_complete(self):
        folders = [f for f, _ in texts.LANGUAGES]
        for folder in texts.finished_languages():
            with self.subTest(language=folder):
                self.assertIn(folder, folders[1:], "unknown folder in %s" % texts.FINISHED_FILE)
                table = texts.load_table(self.resources, folder)
                self.assertIsNotNone(table)
                p = texts.compare(self.english, table)
                hint = "%s: run tools/missing_texts.py %s" % (folder, folder)
                self.assertEqual(p.missing, [], hint)
                self.assertEqual(p.placeholders, [], hint)
                self.assertEqual(p.empty, [], hint)
                self.assertEqual(p.unreadable, [], hint)


if __name__ == "__main__":
    unittest.main()
