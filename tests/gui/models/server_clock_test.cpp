// The server's clock as the windows offer it: the last ping reply's clock, moved on by the monotonic
// clock from the moment that reply arrived, whatever the computer's zone; and a date as shown carried
// to the wire as shown.
#include "gui/models/server_clock.h"
#include "model/text/formatter.h"
#include "support/computer_zone.h"
#include "support/device_zone.h"

#include <gtest/gtest.h>

namespace {

using tc::gui::ServerClock;
using tc::testing_support::ComputerZone;
using Moment = tc::platform::Clock::time_point;

// The server's fields as the windows hold them.
QDateTime at(int y, int mo, int d, int h, int mi, int s) {
    return tc::gui::serverMoment(QDate(y, mo, d), QTime(h, mi, s));
}

TEST(ServerClock, ReadsTheServersFieldsMovedOnFromTheRepliesArrivalInAnyZone) {
    ComputerZone zone("Pacific/Kiritimati");
    ServerClock clock;
    const Moment arrived{std::chrono::hours(5)};
    EXPECT_FALSE(clock.known());
    EXPECT_FALSE(clock.at(arrived).isValid());

    ASSERT_TRUE(clock.heard("20261209181059", arrived));
    EXPECT_TRUE(clock.known());
    EXPECT_EQ(clock.at(arrived), at(2026, 12, 9, 18, 10, 59));
    // Six hours and a minute and a half later, the server's across its midnight.
    EXPECT_EQ(clock.at(arrived + std::chrono::seconds(6 * 3600 + 90)), at(2026, 12, 10, 0, 12, 29));

    // A text that is no time keeps what was heard.
    EXPECT_FALSE(clock.heard("2026120918105", arrived));
    EXPECT_FALSE(clock.heard("20261309181059", arrived));
    EXPECT_EQ(clock.at(arrived), at(2026, 12, 9, 18, 10, 59));

    // The same reply told again later (a silence, a network change) moves nothing: the clock runs on
    // from the reply's arrival, never back to its time.
    ASSERT_TRUE(clock.heard("20261209181059", arrived));
    EXPECT_EQ(clock.at(arrived + std::chrono::seconds(5)), at(2026, 12, 9, 18, 11, 4));

    // A server a zone away from universal time too (New York), heard again later.
    ASSERT_TRUE(clock.heard("20261209131100", arrived + std::chrono::seconds(1)));
    EXPECT_EQ(clock.at(arrived + std::chrono::seconds(61)), at(2026, 12, 9, 13, 12, 0));
}

TEST(ServerClock, NeverRunsBackAtAReplyThatLeftOutMoreOfASecond) {
    // The server's 18:10:02.99, sent as 18:10:02, arrives when the running clock reads 18:10:03.05:
    // the time shown stays where it was; a clock set back by seconds is taken.
    ServerClock clock;
    const Moment arrived{std::chrono::hours(5)};
    ASSERT_TRUE(clock.heard("20261209181000", arrived));
    const QDateTime before = clock.at(arrived + std::chrono::milliseconds(3050));
    ASSERT_TRUE(clock.heard("20261209181002", arrived + std::chrono::milliseconds(3050)));
    EXPECT_EQ(clock.at(arrived + std::chrono::milliseconds(3050)), before);
    ASSERT_TRUE(clock.heard("20261209180900", arrived + std::chrono::seconds(4)));
    EXPECT_EQ(clock.at(arrived + std::chrono::seconds(5)), at(2026, 12, 9, 18, 9, 1));
}

TEST(ServerClock, AServerTimeInTheHourTheComputersZoneSkipsIsHeldAsSent) {
    // Berlin skips 02:00-03:00 on 29 March 2026; a server elsewhere reads 02:30 then.
    ComputerZone zone("Europe/Berlin");
    ServerClock clock;
    const Moment arrived{std::chrono::hours(5)};
    ASSERT_TRUE(clock.heard("20260329023000", arrived));
    // The fields as sent, as the status bar shows them: not the computer's first time after the gap.
    for (const auto& [later, expected] : {std::pair{std::chrono::seconds(0), QTime(2, 30, 0)},
                                          std::pair{std::chrono::seconds(75), QTime(2, 31, 15)},
                                          std::pair{std::chrono::seconds(3600), QTime(3, 30, 0)}}) {
        const QDateTime shown = clock.at(arrived + later);
        EXPECT_EQ(shown.date(), QDate(2026, 3, 29));
        EXPECT_EQ(shown.time(), expected);
        EXPECT_EQ(tc::gui::serverMomentText(shown), "03/29/2026 " + expected.toString("HH:mm:ss"));
    }
    // Ordered and moved on as they read: 02:59:59 comes a second before 03:00:00.
    EXPECT_EQ(at(2026, 3, 29, 2, 59, 59).secsTo(at(2026, 3, 29, 3, 0, 0)), 1);
    EXPECT_LT(clock.at(arrived), at(2026, 3, 29, 2, 30, 1));
    // Before the server's clock is heard, the computer's own fields stand in.
    const QDateTime computer = QDateTime::currentDateTime();
    EXPECT_LE(std::abs(ServerClock().now().secsTo(at(computer.date().year(), computer.date().month(),
                                                     computer.date().day(), computer.time().hour(),
                                                     computer.time().minute(), computer.time().second()))),
              2);
}

TEST(ServerClock, ADateAsShownGoesToTheWireAsShownWhateverTheComputersZone) {
    ComputerZone zone("Asia/Kathmandu");
    // Kathmandu is 5:45 from the device's zone (universal time here): the fields shown are carried,
    // never the computer's reading of them, across a day and a leap day too.
    for (const QDateTime& shown :
         {at(2026, 12, 9, 21, 43, 22), at(2026, 3, 29, 2, 30, 0), at(2024, 2, 29, 0, 0, 0)})
        EXPECT_EQ(tc::wireDateTime(tc::gui::wireMomentOf(shown)),
                  shown.toString(QStringLiteral("yyyyMMddHHmmss")).toStdString());
    // Nor a time the zone the program prints in skips: Berlin's 02:30 on 29 March 2026 goes as shown.
    tc::testing_support::DeviceZone device("Europe/Berlin");
    EXPECT_EQ(tc::wireDateTime(tc::gui::wireMomentOf(at(2026, 3, 29, 2, 30, 0))), "20260329023000");
}

} // namespace
