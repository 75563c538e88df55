#!/usr/bin/env python3
"""tools/check_waits.py: Qt's own waits and waitFor limits under the helper's are found, in calls
over several lines too and given as named constants; fixed pauses, settles without a reason or
past their limit, and waitForActive as anything but the set-up of the test's own activation are
found; the helper's waits, other objects' waitFor and comments are not."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import check_waits  # noqa: E402

SOURCE = """\
    ASSERT_TRUE(QTest::qWaitForWindowActive(ticket));
    QTRY_COMPARE(rows(), 3);
    EXPECT_TRUE(waitFor([&] { return f(1, 2); }, 5000));
    EXPECT_TRUE(guitest::waitFor(
        [&] { return g(); },
        10'000));
    EXPECT_TRUE(waitFor([&] { return f(1, 5000); }));
    EXPECT_TRUE(waitFor([&] { return true; }, 30000));
    ticket->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(ticket));
    ASSERT_TRUE(server->waitFor([](const auto& s) { return s.logins > 0; }, 2000));
    // QTest::qWaitForWindowExposed(w) waits 5 s; "QTRY_VERIFY(x)"
    const char* text = "waitFor(x, 10)";
"""

PAUSES = """\
constexpr int kShortMs = 2'000;
constexpr int kLongMs{3 * kWaitLimitMs};
    EXPECT_TRUE(waitFor([&] { return f(); }, kShortMs));
    EXPECT_TRUE(waitFor([&] { return f(); }, guitest::kWaitLimitMs));
    EXPECT_TRUE(waitFor([&] { return f(); }, kLongMs));
    EXPECT_TRUE(waitFor([&] { return f(); }, limitOf(x)));
    QTest::qWait(20);
    guitest::settle(100, "no alert comes: the time one would take");
    guitest::settle(100, "");
    guitest::settle(kLongMs, "no alert comes: the time one would take");
    window->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(window));
    EXPECT_TRUE(guitest::waitForActive(window));
    ASSERT_TRUE(guitest::waitForActive(ticket));
"""


class CheckWaits(unittest.TestCase):
    def test_finds_qt_waits_and_short_limits_only(self):
        found = check_waits.faults_in(SOURCE, 15000)
        self.assertEqual([line for line, _ in found], [1, 2, 3, 4])
        self.assertIn("QTest::qWaitForWindowActive", found[0][1])
        self.assertIn("10000 ms", found[3][1])

    def test_finds_named_limits_fixed_pauses_and_waits_for_activation_outside_the_set_up(self):
        found = check_waits.faults_in(PAUSES, 15000, {"kWaitLimitMs": "15000"}, 500)
        self.assertEqual([line for line, _ in found], [3, 6, 7, 9, 10, 13, 14])
        self.assertIn("2000 ms (kShortMs)", found[0][1])
        self.assertIn("limitOf(x)", found[1][1])
        self.assertIn("fixed pause", found[2][1])
        self.assertIn("without its reason", found[3][1])
        self.assertIn("kLongMs", found[4][1])
        self.assertIn("waitForActive", found[5][1])

    def test_the_window_tests_keep_to_the_limit(self):
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui")
        self.assertEqual(check_waits.main(["check_waits.py", root]), 0)


if __name__ == "__main__":
    unittest.main()
