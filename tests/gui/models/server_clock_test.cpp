// The server's clock as the windows offer it: the last clock the server sent, moved on by the
// computer's, whatever the computer's zone; and a date as shown carried to the wire as shown.
#include "gui/models/server_clock.h"
#include "model/text/formatter.h"
#include "support/computer_zone.h"

#include <gtest/gtest.h>

namespace {

using tc::gui::ServerClock;
using tc::testing_support::ComputerZone;

QDateTime at(int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

TEST(ServerClock, ReadsTheServersFieldsMovedOnByTheComputersClockInAnyZone) {
    ComputerZone zone("Pacific/Kiritimati");
    ServerClock clock;
    const QDateTime computer = at(2026, 12, 10, 8, 10, 59); // Kiritimati: 18:10:59 of the 9th in UTC
    // Not heard yet: the computer's own.
    EXPECT_FALSE(clock.known());
    EXPECT_EQ(clock.now(computer), computer);

    ASSERT_TRUE(clock.heard("20261209181059", computer));
    EXPECT_TRUE(clock.known());
    EXPECT_EQ(clock.now(computer), at(2026, 12, 9, 18, 10, 59));
    // A minute and a half later on the computer's clock, the server's across its midnight.
    EXPECT_EQ(clock.now(computer.addSecs(6 * 3600 + 90)), at(2026, 12, 10, 0, 12, 29));

    // A text that is no time keeps what was heard.
    EXPECT_FALSE(clock.heard("2026120918105", computer));
    EXPECT_FALSE(clock.heard("20261309181059", computer));
    EXPECT_EQ(clock.now(computer), at(2026, 12, 9, 18, 10, 59));

    // A server a zone away from universal time too (New York), heard again later.
    ASSERT_TRUE(clock.heard("20261209131100", computer.addSecs(1)));
    EXPECT_EQ(clock.now(computer.addSecs(61)), at(2026, 12, 9, 13, 12, 0));
}

TEST(ServerClock, ADateAsShownGoesToTheWireAsShownWhateverTheComputersZone) {
    ComputerZone zone("Asia/Kathmandu");
    // Kathmandu is 5:45 from the device's zone (universal time here): the fields shown are carried,
    // never the computer's reading of them, across a day and a leap day too.
    for (const QDateTime& shown :
         {at(2026, 12, 9, 21, 43, 22), at(2026, 3, 29, 2, 30, 0), at(2024, 2, 29, 0, 0, 0)})
        EXPECT_EQ(tc::Formatter::setAmpFormat(tc::gui::wireMomentOf(shown)),
                  shown.toString(QStringLiteral("yyyyMMddHHmmss")).toStdString());
}

} // namespace
