#!/usr/bin/env python3
"""Every wait of the window tests goes through the one wait of tests/gui/gui_test_support.h and its
limit: Qt's own waits (qWaitFor*, QTRY_*) give up after 5 s, which a loaded machine running many
tests in one process overruns. Fails, naming file and line, on a Qt wait used directly or a
waitFor given a limit shorter than the helper's.

    check_waits.py DIR...
"""

import os
import re
import sys

HELPER = "gui_test_support.h"
QT_WAIT = re.compile(r"\bQTest::qWaitFor\w*\s*\(|\bqWaitForWindow\w*\s*\(|\bQTRY_\w+\s*\(")
# The helper's wait called as a function, not another object's waitFor (server->waitFor).
WAIT_FOR = re.compile(r"(?<![\w.>])(?:guitest::)?waitFor\s*\(")
LIMIT = re.compile(r"inline\s+constexpr\s+int\s+kWaitLimitMs\s*=\s*(\d+)\s*;")


def without_comments(text):
    """The text with comments and string contents blanked, lines kept where they were."""
    def blank(match):
        return re.sub(r"[^\n]", " ", match.group(0))
    return re.sub(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"', blank, text, flags=re.S)


def last_argument(text, open_paren):
    """The last top-level argument of the call whose "(" is at `open_paren`; None when it has one."""
    depth, start, commas = 0, open_paren + 1, 0
    for i in range(open_paren, len(text)):
        c = text[i]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                return text[start:i].strip() if commas else None
        elif c == "," and depth == 1:
            start, commas = i + 1, commas + 1
    return None


def faults_in(text, limit):
    """(line, what) for each wait of `text` that does not keep to the helper's wait and limit."""
    code = without_comments(text)
    faults = []
    for match in QT_WAIT.finditer(code):
        faults.append((code.count("\n", 0, match.start()) + 1,
                       f"{match.group(0).rstrip('( ')} waits with Qt's own limit: use guitest::waitFor, "
                       "waitForActive or waitForExposed"))
    for match in WAIT_FOR.finditer(code):
        given = last_argument(code, match.end() - 1)
        number = given.replace("'", "") if given else ""
        if number.isdigit() and int(number) < limit:
            faults.append((code.count("\n", 0, match.start()) + 1,
                           f"waitFor gives up after {number} ms, under the {limit} ms every wait keeps"))
    return sorted(faults)


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    sources, limit = [], None
    for root in argv[1:]:
        for folder, _, files in os.walk(root):
            for name in sorted(files):
                if name.endswith((".cpp", ".h")):
                    path = os.path.join(folder, name)
                    with open(path, encoding="utf-8") as f:
                        text = f.read()
                    if name == HELPER:
                        found = LIMIT.search(text)
                        limit = int(found.group(1)) if found else None
                    else:
                        sources.append((path, text))
    if limit is None:
        print(f"check_waits: no kWaitLimitMs in a {HELPER} under {' '.join(argv[1:])}", file=sys.stderr)
        return 1
    count = 0
    for path, text in sources:
        for line, what in faults_in(text, limit):
            print(f"{path}:{line}: {what}")
            count += 1
    print(f"{count} wait(s) shorter than the tests' limit of {limit} ms in {len(sources)} files")
    return 1 if count else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
