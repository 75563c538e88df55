#!/usr/bin/env python3
"""Lists what each language table still lacks, for the people who translate them.

    tools/missing_texts.py [--resources DIR] [--summary] [--same-as-english] [LANGUAGE...]

LANGUAGE is a folder name (fr, spanish, zh-Hans, ...), a language number (0-11) or "all" (the
default). Per language it prints:
  missing       English keys the table has no entry for, as KEY<TAB>English text lines in the
                English order, ready to be translated and pasted into the table
  placeholders  keys whose {0}, {1}... differ from the English text in set or order
  empty         keys whose text is empty
  twice         keys defined more than once (the later entry wins)
  unreadable    lines the program skips (no tab, bad key, unknown escape, control character)
  not in English  keys the English table does not have (a mistyped key, or one no longer used)
With --same-as-english it also lists the keys whose text is the English text word for word (names
and trading terms may rightly stay so; anything else is English left untranslated).
Every other line of the output starts with "#", so the whole output reads as a table too.
For English it also lists the keys the program uses (C++ string literals under src/, langKey and
langToolTipKey of the .ui files, by number or by name) that have no English text, and the English
keys nothing uses: no literal or text name (texts::kBid) in the code, no .ui file and no entry of
the product localisation list names them (a text left behind, to be taken out of every table).

A table that is complete goes into tools/finished_languages.txt (its folder name on a line of its
own); from then on ctest's language_tables.complete_finished_languages fails when any of the above
(but "not in English") comes back in it. Exit status: 1 when a table named lacks anything, else 0.
"""

import argparse
import os
import re
import signal
import sys
import xml.etree.ElementTree as ElementTree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABLE_FILE = "Localizable.txt"
FINISHED_FILE = os.path.join(ROOT, "tools", "finished_languages.txt")

# Language numbers, their folders and names, in the order of the language chooser.
LANGUAGES = [
    ("en", "English"),
    ("zh-Hans", "Chinese"),
    ("ne", "Nepali"),
    ("fa-AF", "Dari"),
    ("ps-AF", "Pashto"),
    ("ar", "Arabic"),
    ("ru", "Russian"),
    ("fr", "French"),
    ("indonesien", "Indonesian"),
    ("Bengali", "Bengali"),
    ("spanish", "Spanish"),
    ("albanian", "Albanian"),
]

# Four- and five-digit string literals under src/ that are not text keys: (file, literal).
NOT_TEXT_KEYS = {
    ("src/session/business/session_requests.cpp", "1000"),  # page size on the wire
    ("src/gui/funding/screens.cpp", "1500"),  # amount typed into a sample form
    ("src/gui/statements/screens.cpp", "20001"),  # demo account numbers
    ("src/gui/funding/screens.cpp", "20003"),
}

KEY_RE = re.compile(r"^[0-9]{1,16}$")
PLACEHOLDER_RE = re.compile(r"\{([0-9]+)\}")
CODE_KEY_RE = re.compile(r"^[0-9]{4,5}$")


class Table:
    """One Localizable.txt as the program reads it, with what the program would skip or override."""

    def __init__(self):
        self.texts = {}  # key -> decoded text (the last entry of a key, as the program takes it)
        self.order = []  # keys in the order of their first entry
        self.lines = {}  # key -> line numbers of its entries
        self.unreadable = []  # (line number, reason)

    def twice(self):
        return [k for k in self.order if len(self.lines[k]) > 1]


def decode(raw):
    """The text of an entry with its escapes resolved, or (None, reason)."""
    for ch in raw:
        if (ord(ch) < 0x20 and ch != "\t") or ord(ch) == 0x7F:
            return None, "control character in text"
    out = []
    i = 0
    while i < len(raw):
        ch = raw[i]
        if ch != "\\":
            out.append(ch)
            i += 1
            continue
        if i + 1 == len(raw):
            return None, "backslash at end of line"
        nxt = raw[i + 1]
        if nxt not in "nt\\":
            return None, "unknown escape \\" + nxt
        out.append({"n": "\n", "t": "\t", "\\": "\\"}[nxt])
        i += 2
    return "".join(out), None


def parse_table(data):
    table = Table()
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    for number, line in enumerate(data.split(b"\n"), start=1):
        if line.endswith(b"\r"):
            line = line[:-1]
        try:
            text = line.decode("utf-8")
        except UnicodeDecodeError:
            table.unreadable.append((number, "invalid UTF-8"))
            continue
        stripped = text.lstrip(" \t")
        if not stripped or stripped.startswith("#"):
            continue
        if "\t" not in text:
            table.unreadable.append((number, "no tab between key and text"))
            continue
        key, raw = text.split("\t", 1)
        if not KEY_RE.match(key):
            table.unreadable.append((number, "key is not 1 to 16 decimal digits"))
            continue
        decoded, reason = decode(raw)
        if decoded is None:
            table.unreadable.append((number, reason))
            continue
        if key not in table.lines:
            table.order.append(key)
            table.lines[key] = []
        table.lines[key].append(number)
        table.texts[key] = decoded
    return table


def table_path(resources, folder):
    return os.path.join(resources, folder + ".lproj", TABLE_FILE)


def load_table(resources, folder):
    path = table_path(resources, folder)
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        return parse_table(f.read())


def placeholders(text):
    return PLACEHOLDER_RE.findall(text)


def padded(key):
    """Control tags double as keys: short keys are padded with zeros to four digits."""
    return key if len(key) >= 4 or not key else key.zfill(4)


class Problems:
    def __init__(self):
        self.missing = []  # keys
        self.placeholders = []  # (key, English placeholders, these placeholders)
        self.empty = []  # keys
        self.twice = []  # (key, line numbers)
        self.unreadable = []  # (line number, reason)
        self.unknown = []  # keys not in English
        self.same = []  # keys whose text is the English one, letters and all
        self.used_without_text = []  # (key, where) keys the program uses that English lacks
        self.unused = []  # English keys nothing uses

    def faults(self):
        """Everything that makes a table incomplete (unknown keys do no harm)."""
        return (len(self.missing) + len(self.placeholders) + len(self.empty) + len(self.twice) +
                len(self.unreadable) + len(self.used_without_text) + len(self.unused))


def compare(english, table):
    """What `table` lacks against the English table."""
    p = Problems()
    for key in english.order:
        if key not in table.texts:
            p.missing.append(key)
            continue
        text = table.texts[key]
        if not text.strip():
            p.empty.append(key)
        elif placeholders(text) != placeholders(english.texts[key]):
            p.placeholders.append((key, placeholders(english.texts[key]), placeholders(text)))
    p.twice = [(k, table.lines[k]) for k in table.twice()]
    p.unreadable = list(table.unreadable)
    p.unknown = [k for k in table.order if k not in english.texts]
    p.same = [k for k in english.order if table.texts.get(k) == english.texts[k] and
              any(ch.isalpha() for ch in english.texts[k])]
    return p


def check_english(english, used):
    """The English table on its own: empty texts, keys twice, keys the program uses without a text."""
    p = Problems()
    p.empty = [k for k in english.order if not english.texts[k].strip()]
    p.twice = [(k, english.lines[k]) for k in english.twice()]
    p.unreadable = list(english.unreadable)
    p.used_without_text = [(k, where) for k, where in sorted(used.items()) if k not in english.texts]
    p.unused = [k for k in english.texts if k not in used]
    return p


# --- keys the program uses ---------------------------------------------------------------------

def cpp_string_literals(source):
    """The contents of the ordinary string literals of a C++ source, comments left out."""
    out = []
    i, n = 0, len(source)
    while i < n:
        ch = source[i]
        if source.startswith("//", i):
            j = source.find("\n", i)
            i = n if j < 0 else j
        elif source.startswith("/*", i):
            j = source.find("*/", i + 2)
            i = n if j < 0 else j + 2
        elif ch == "R" and source.startswith('R"', i) and (i == 0 or not (source[i - 1].isalnum() or
                                                                       source[i - 1] == "_")):
            open_paren = source.find("(", i + 2)
            if open_paren < 0:
                break
            delim = source[i + 2:open_paren]
            j = source.find(")" + delim + '"', open_paren)
            i = n if j < 0 else j + len(delim) + 2
        elif ch == '"':
            j = i + 1
            while j < n and source[j] != '"' and source[j] != "\n":
                j += 2 if source[j] == "\\" else 1
            out.append(source[i + 1:j])
            i = j + 1
        elif ch == "'":
            # A character literal, or a digit separator (1'000) which has no closing quote nearby.
            j = i + 1
            while j < n and source[j] != "'" and source[j] != "\n" and j - i < 8:
                j += 2 if source[j] == "\\" else 1
            i = j + 1 if j < n and source[j] == "'" else i + 1
        else:
            i += 1
    return out


def keys_in_code(root):
    """Text keys the C++ code under src/ names: every four- or five-digit string literal."""
    used = {}
    src = os.path.join(root, "src")
    for folder, _, files in sorted(os.walk(src)):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root)
            with open(path, encoding="utf-8", errors="replace") as f:
                literals = cpp_string_literals(f.read())
            for literal in literals:
                if CODE_KEY_RE.match(literal) and (rel, literal) not in NOT_TEXT_KEYS:
                    used.setdefault(literal, rel)
    return used


TEXT_NAME_RE = re.compile(r"\btexts::(k\w+)")
# A string literal (kept: "//" inside one starts no comment) or a comment (dropped).
STRING_OR_COMMENT_RE = re.compile(r'"(?:\\.|[^"\\\n])*"|//[^\n]*|/\*.*?\*/', re.S)


def without_comments(source):
    return STRING_OR_COMMENT_RE.sub(lambda m: m.group(0) if m.group(0).startswith('"') else " ", source)


def keys_named_in_code(root, resources=None):
    """Keys the C++ code under src/ names by their generated text names (texts::kBid)."""
    by_name = text_keys_by_name(resources or os.path.join(root, "resources"))
    used = {}
    for folder, _, files in sorted(os.walk(os.path.join(root, "src"))):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", errors="replace") as f:
                for text_name in TEXT_NAME_RE.findall(without_comments(f.read())):
                    if text_name in by_name:
                        used.setdefault(by_name[text_name], os.path.relpath(path, root))
    return used


def stale_exceptions(root):
    """Entries of NOT_TEXT_KEYS whose file no longer holds the literal (they would hide a key)."""
    stale = []
    for rel, literal in sorted(NOT_TEXT_KEYS):
        path = os.path.join(root, rel)
        literals = []
        if os.path.isfile(path):
            with open(path, encoding="utf-8", errors="replace") as f:
                literals = cpp_string_literals(f.read())
        if literal not in literals:
            stale.append((rel, literal))
    return stale


def text_keys_by_name(resources):
    """Name -> key of the English texts, as tools/text_names.py names them."""
    import text_names  # it imports this module

    table = table_path(resources, "en")
    if not os.path.isfile(table):
        return {}
    _, names, _ = text_names.load(table, os.path.join(resources, "text-names.txt"))
    return {name: key for key, name in names.items()}


def keys_in_forms(root, resources=None):
    """Keys of the langKey and langToolTipKey properties of the .ui files under src/: a number, or
    a text's name (kBid). A name no text has stays as it is, a key English lacks."""
    by_name = text_keys_by_name(resources or os.path.join(root, "resources"))
    used = {}
    for folder, _, files in sorted(os.walk(os.path.join(root, "src"))):
        for name in sorted(files):
            if not name.endswith(".ui"):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, root)
            for prop in ElementTree.parse(path).iter("property"):
                if prop.get("name") not in ("langKey", "langToolTipKey"):
                    continue
                value = prop.find("string")
                key = (value.text or "").strip() if value is not None else ""
                if key:
                    used.setdefault(by_name.get(key, padded(key)), rel)
    return used


def keys_in_product_localization(resources):
    """Keys the product localisation list redirects to (the values of its per-product maps)."""
    path = os.path.join(resources, "ProductLocalization.plist")
    used = {}
    if not os.path.isfile(path):
        return used
    for value in ElementTree.parse(path).iter("string"):
        key = (value.text or "").strip()
        if KEY_RE.match(key):
            used.setdefault(padded(key), os.path.relpath(path, ROOT))
    return used


def keys_used(root, resources):
    used = keys_in_product_localization(resources)
    for found in (keys_in_forms(root, resources), keys_in_code(root), keys_named_in_code(root, resources)):
        for key, where in found.items():
            used.setdefault(key, where)
    return used


def finished_languages(path=FINISHED_FILE):
    """Folder names listed in the finished-languages file."""
    if not os.path.isfile(path):
        return []
    out = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                out.append(line)
    return out


# --- output --------------------------------------------------------------------------------------

def escaped(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")


def braces(numbers):
    return " ".join("{%s}" % n for n in numbers) or "none"


def report(folder, name, english, p, summary, out, same=False):
    counts = [("missing", len(p.missing)), ("placeholders", len(p.placeholders)),
              ("empty", len(p.empty)), ("twice", len(p.twice)), ("unreadable", len(p.unreadable)),
              ("not in English", len(p.unknown))]
    if p.used_without_text:
        counts.insert(0, ("used without a text", len(p.used_without_text)))
    if p.unused:
        counts.append(("used nowhere", len(p.unused)))
    listed = [(label, n) for label, n in counts if n]
    head = "# %s (%s): " % (folder, name)
    out.write(head + (", ".join("%s %d" % (label, n) for label, n in listed) if listed else "complete") + "\n")
    if summary:
        return
    for key, where in p.used_without_text:
        out.write("# used without a text: %s (%s)\n" % (key, where))
    for key in p.missing:
        out.write("%s\t%s\n" % (key, escaped(english.texts[key])))
    for key, theirs, ours in p.placeholders:
        out.write("# placeholders %s: English %s, here %s\n" % (key, braces(theirs), braces(ours)))
    for key in p.empty:
        out.write("# empty %s\n" % key)
    for key, lines in p.twice:
        out.write("# twice %s: lines %s\n" % (key, ", ".join(str(n) for n in lines)))
    for number, reason in p.unreadable:
        out.write("# unreadable line %d: %s\n" % (number, reason))
    for key in p.unknown:
        out.write("# not in English %s\n" % key)
    for key in p.unused:
        out.write("# used nowhere %s: %s\n" % (key, escaped(english.texts[key])))
    if same:
        for key in p.same:
            out.write("# same as English %s: %s\n" % (key, escaped(english.texts[key])))


def resolve(names):
    folders = [f for f, _ in LANGUAGES]
    if not names or "all" in names:
        return list(range(len(LANGUAGES)))
    picked = []
    for name in names:
        if name.isdigit() and int(name) < len(LANGUAGES):
            picked.append(int(name))
        elif name in folders:
            picked.append(folders.index(name))
        else:
            raise SystemExit("missing_texts: unknown language %r (one of: all, %s, or 0-%d)" %
                             (name, ", ".join(folders), len(LANGUAGES) - 1))
    return picked


def main(argv=None):
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n", 1)[1], formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("languages", nargs="*", metavar="LANGUAGE")
    parser.add_argument("--resources", default=os.path.join(ROOT, "resources"),
                        help="folder holding the <language>.lproj folders (default: resources/)")
    parser.add_argument("--summary", action="store_true", help="one line per language, no details")
    parser.add_argument("--same-as-english", action="store_true",
                        help="also list texts that are the English text word for word")
    args = parser.parse_args(argv)

    english = load_table(args.resources, "en")
    if english is None:
        sys.stderr.write("missing_texts: no %s\n" % table_path(args.resources, "en"))
        return 2
    faults = 0
    for number in resolve(args.languages):
        folder, name = LANGUAGES[number]
        if number == 0:
            p = check_english(english, keys_used(ROOT, args.resources))
        else:
            table = load_table(args.resources, folder)
            p = compare(english, table if table is not None else Table())
        faults += p.faults()
        report(folder, name, english, p, args.summary, sys.stdout, args.same_as_english)
    return 1 if faults else 0


if __name__ == "__main__":
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # quiet when piped into head
    sys.exit(main())
