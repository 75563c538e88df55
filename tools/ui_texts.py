#!/usr/bin/env python3
"""Names the texts of the Designer forms as the code does, and checks those names.

    tools/ui_texts.py [--check] [--stamp FILE] [--table FILE] [--names FILE] [FORM...]

A form's langKey and langToolTipKey properties hold the name of an English text (kBid), the one
tools/text_names.py gives it and gui/texts.h declares. Without --check, every key given by number
(0316) and every name that carries a key the table has since named otherwise (kPrice0232 after
0232 was named kOrderPrice) is rewritten to the text's name, in place: run it after merging a form
that still holds numbers. With --check nothing is written: a number, or a name the English table
does not give, is a fault (FILE:LINE: ...) and the exit status is 1; the build runs it on every
form, and with --stamp touches FILE when all is well. FORM defaults to every .ui under src/gui.
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import missing_texts  # noqa: E402
import text_names  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TABLE = os.path.join(ROOT, "resources", "en.lproj", "Localizable.txt")
NAMES = os.path.join(ROOT, "resources", "text-names.txt")
# The value of a text property, over one line or several.
PROPERTY_RE = re.compile(
    r'(<property\s+name="(?:langKey|langToolTipKey)"[^>]*>\s*<string>)([^<]*)(</string>)')
NUMBER_RE = re.compile(r"^[0-9]+$")
KEY_SUFFIX_RE = re.compile(r"^k[A-Za-z0-9]*?([0-9]{2,})$")


def forms_under(folder):
    found = []
    for parent, _, files in os.walk(folder):
        found += [os.path.join(parent, f) for f in files if f.endswith(".ui")]
    return sorted(found)


class Namer:
    def __init__(self, names):
        self.names = names  # key -> name
        self.keys = {name: key for key, name in names.items()}

    def name_for(self, value):
        """(the name the value should read, or None when there is none; why it is not that name)."""
        if NUMBER_RE.match(value):
            key = missing_texts.padded(value)
            if key in self.names:
                return self.names[key], f"key {value} given by number"
            return None, f"key {value} is not in the English table"
        if value in self.keys:
            return value, ""
        suffix = KEY_SUFFIX_RE.match(value)
        for cut in range(len(suffix.group(1)) - 1) if suffix else []:
            # The longest key the name ends with: kTime91306 is text 91306, not 1306.
            key = suffix.group(1)[cut:]
            if key in self.names:
                return self.names[key], f"{value} is now named {self.names[key]}"
        return None, f"{value} names no English text"


def fix(text, namer):
    """The form with its values named, and (line, value, reason) for each value it cannot name."""
    unnamed = []

    def replace(match):
        value = match.group(2).strip()
        if not value:
            return match.group(0)
        name, reason = namer.name_for(value)
        if name is None:
            unnamed.append((text.count("\n", 0, match.start(2)) + 1, value, reason))
            return match.group(0)
        return match.group(1) + name + match.group(3)

    return PROPERTY_RE.sub(replace, text), unnamed


def check(text, namer):
    """(line, reason) for each value that is not a text's name."""
    faults = []
    for match in PROPERTY_RE.finditer(text):
        value = match.group(2).strip()
        name, reason = namer.name_for(value) if value else (value, "")
        if name != value:
            hint = "; tools/ui_texts.py names it" if name else ""
            faults.append((text.count("\n", 0, match.start(2)) + 1, reason + hint))
    return faults


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n", 1)[1],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("forms", nargs="*", metavar="FORM")
    parser.add_argument("--check", action="store_true", help="change nothing; report what is not named")
    parser.add_argument("--stamp", help="file to touch when the check passes")
    parser.add_argument("--table", default=TABLE)
    parser.add_argument("--names", default=NAMES)
    args = parser.parse_args(argv)

    _, names, faults = text_names.load(args.table, args.names)
    for fault in faults:
        print("ui_texts: " + fault, file=sys.stderr)
    if faults:
        return 1
    namer = Namer(names)
    status = 0
    for path in args.forms or forms_under(os.path.join(ROOT, "src", "gui")):
        with open(path, encoding="utf-8") as f:
            text = f.read()
        if args.check:
            problems = check(text, namer)
        else:
            fixed, unnamed = fix(text, namer)
            problems = [(line, f"{value}: {reason}") for line, value, reason in unnamed]
            if fixed != text:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(fixed)
        for line, reason in problems:
            print(f"{path}:{line}: {reason}", file=sys.stderr)
        status = 1 if problems else status
    if status == 0 and args.stamp:
        with open(args.stamp, "w", encoding="utf-8"):
            pass
    return status


if __name__ == "__main__":
    sys.exit(main())
