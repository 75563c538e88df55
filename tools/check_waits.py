#!/usr/bin/env python3
"""Every wait of the window tests goes through the one wait of tests/gui/gui_test_support.h and its
limit: Qt's own waits (qWaitFor*, QTRY_*) give up after 5 s, which a loaded machine running many
tests in one process overruns. Fails, naming file and line, on a Qt wait used directly, a waitFor
given a limit shorter than the helper's (a number, or a named constant of the file or the helper,
worked out), a fixed pause (QTest::qWait: a test waits for the event it stands in for, or says with
guitest::settle why it lets time pass), and waitForActive outside the set-up: it asks for the
activation itself, so it is only an ASSERT that a window the test has just asked to activate is
active, never a check that the program brought a window forward.

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
SETTLE_LIMIT = re.compile(r"inline\s+constexpr\s+int\s+kSettleLimitMs\s*=\s*(\d+)\s*;")
# A named whole-number constant: constexpr or const, of any integer type.
CONSTANT = re.compile(r"\b(?:static\s+)?(?:inline\s+)?(?:constexpr|const)\s+(?:std::)?\w+\s+(\w+)\s*(?:=\s*|\{\s*)"
                      r"([^;{}]+?)\s*\}?\s*;")
FIXED_PAUSE = re.compile(r"\bQTest::qWait\s*\(|(?<![\w:])qWait\s*\(")
SETTLE = re.compile(r"(?<![\w.>])(?:guitest::)?settle\s*\(")
WAIT_FOR_ACTIVE = re.compile(r"(?<![\w.>])(?:guitest::)?waitForActive\s*\(")


def without_comments(text):
    """The text with comments and string contents blanked, lines kept where they were."""
    def blank(match):
        return re.sub(r"[^\n]", " ", match.group(0))
    return re.sub(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"', blank, text, flags=re.S)


def split_arguments(text, open_paren):
    """The top-level arguments of the call whose "(" is at `open_paren` as written, blank ones kept,
    and whether the call closes."""
    depth, start, found = 0, open_paren + 1, []
    for i in range(open_paren, len(text)):
        c = text[i]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                found.append(text[start:i].strip())
                return found, True
        elif c == "," and depth == 1:
            found.append(text[start:i].strip())
            start = i + 1
    return found, False


def last_argument(text, open_paren):
    """The last top-level argument of the call whose "(" is at `open_paren`; None when it has one."""
    found, closed = split_arguments(text, open_paren)
    return found[-1] if closed and len(found) > 1 else None


def arguments(text, open_paren):
    """The top-level arguments of the call whose "(" is at `open_paren`."""
    found, closed = split_arguments(text, open_paren)
    return [a for a in found if a] if closed else found


def constants_in(text):
    """The named constants a text defines, as their written values."""
    return {name: value.strip() for name, value in CONSTANT.findall(without_comments(text))}


def value_of(expression, constants, depth=0):
    """The whole number an expression of numbers and named constants works out to; None when it
    holds anything else (a call, a variable)."""
    if depth > 8:
        return None
    names = set(re.findall(r"[A-Za-z_][\w:]*", expression))
    worked = expression.replace("'", "")
    for name in sorted(names, key=len, reverse=True):
        short = name.split("::")[-1]
        if short not in constants:
            return None
        value = value_of(constants[short], constants, depth + 1)
        if value is None:
            return None
        worked = re.sub(r"(?<![\w:])" + re.escape(name) + r"(?![\w:])", str(value), worked)
    if not re.fullmatch(r"[\d\s+\-*/()]+", worked):
        return None
    try:
        return int(eval(worked.replace("/", "//"), {"__builtins__": {}}))  # digits and operators only
    except (SyntaxError, ZeroDivisionError):
        return None


def line_of(code, at):
    return code.count("\n", 0, at) + 1


def asserted_set_up(code, at, window):
    """Whether the waitForActive at `at` is an ASSERT of a window the test asked to activate on one
    of the three lines before."""
    start = code.rfind("\n", 0, at) + 1
    if not re.fullmatch(r"\s*ASSERT_TRUE\s*\(\s*", code[start:at]):
        return False
    before = "\n".join(code[:start].split("\n")[-4:])
    name = re.escape(window.lstrip("&").strip())
    return re.search(name + r"\s*(?:->|\.)\s*activateWindow\s*\(", before) is not None


def faults_in(text, limit, constants=None, settle_limit=500):
    """(line, what) for each wait of `text` that does not keep to the helper's wait and limit."""
    code = without_comments(text)
    known = dict(constants or {})
    known.update(constants_in(text))
    faults = []
    for match in QT_WAIT.finditer(code):
        faults.append((line_of(code, match.start()),
                       f"{match.group(0).rstrip('( ')} waits with Qt's own limit: use guitest::waitFor, "
                       "waitForActive or waitForExposed"))
    for match in WAIT_FOR.finditer(code):
        given = last_argument(code, match.end() - 1)
        if not given:
            continue
        number = value_of(given, known)
        if number is None:
            faults.append((line_of(code, match.start()),
                           f"waitFor's limit {given} is no number or named constant the check can read"))
        elif number < limit:
            faults.append((line_of(code, match.start()),
                           f"waitFor gives up after {number} ms ({given}), under the {limit} ms every wait keeps"))
    for match in FIXED_PAUSE.finditer(code):
        faults.append((line_of(code, match.start()),
                       "a fixed pause: wait for the event it stands in for, or guitest::settle with the reason"))
    for match in SETTLE.finditer(code):
        given = arguments(code, match.end() - 1)
        number = value_of(given[0], known) if given else None
        # The reason is a string literal (blanked in `code`; read in the text at the same place).
        call = text[match.end() - 1:match.end() + len(", ".join(given)) + 200]
        if not re.match(r'\(\s*[^,]+,\s*"[^"]{10,}"\s*\)', call):
            faults.append((line_of(code, match.start()), "a settle without its reason"))
        elif number is None or number > settle_limit:
            faults.append((line_of(code, match.start()),
                           f"a settle of {given[0]}: longer than {settle_limit} ms or not a number"))
    for match in WAIT_FOR_ACTIVE.finditer(code):
        given = arguments(code, match.end() - 1)
        if not given or not asserted_set_up(code, match.start(), given[0]):
            faults.append((line_of(code, match.start()),
                           "waitForActive checks an activation it asks for itself: only as an ASSERT "
                           "after the test's own activateWindow() of that window"))
    return sorted(faults)


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    sources, limit, settle_limit, helper_constants = [], None, 0, {}
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
                        found = SETTLE_LIMIT.search(text)
                        settle_limit = int(found.group(1)) if found else 0
                        helper_constants = constants_in(text)
                    else:
                        sources.append((path, text))
    if limit is None:
        print(f"check_waits: no kWaitLimitMs in a {HELPER} under {' '.join(argv[1:])}", file=sys.stderr)
        return 1
    count = 0
    for path, text in sources:
        for line, what in faults_in(text, limit, helper_constants, settle_limit):
            print(f"{path}:{line}: {what}")
            count += 1
    print(f"{count} wait(s) shorter than the tests' limit of {limit} ms in {len(sources)} files")
    return 1 if count else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
