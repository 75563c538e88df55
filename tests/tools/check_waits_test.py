#!/usr/bin/env python3
"""tools/check_waits.py: Qt's own waits and waitFor limits under the helper's are found, in calls
over several lines too; the helper's waits, other objects' waitFor and comments are not."""

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
    ASSERT_TRUE(guitest::waitForActive(ticket));
    ASSERT_TRUE(server->waitFor([](const auto& s) { return s.logins > 0; }, 2000));
    // QTest::qWaitForWindowExposed(w) waits 5 s; "QTRY_VERIFY(x)"
    const char* text = "waitFor(x, 10)";
"""


class CheckWaits(unittest.TestCase):
    def test_finds_qt_waits_and_short_limits_only(self):
        found = check_waits.faults_in(SOURCE, 15000)
        self.assertEqual([line for line, _ in found], [1, 2, 3, 4])
        self.assertIn("QTest::qWaitForWindowActive", found[0][1])
        self.assertIn("10000 ms", found[3][1])

    def test_the_window_tests_keep_to_the_limit(self):
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui")
        self.assertEqual(check_waits.main(["check_waits.py", root]), 0)


if __name__ == "__main__":
    unittest.main()
