// The desktop notification the program asks for: its texts, a few seconds on screen, and not kept
// by the desktop once it has gone.
#include "gui/app/system_notifier.h"
#include "gui/gui_test_support.h"

#include <QVariantMap>
#include <gtest/gtest.h>

namespace {

TEST(SystemNotifications, TheDesktopShowsThemForAWhileAndDoesNotKeepThem) {
    const QDBusMessage call =
        tc::gui::notifyCall(QStringLiteral("Notices"), QStringLiteral("New notices: 1"));
    EXPECT_EQ(call.service(), QStringLiteral("org.freedesktop.Notifications"));
    EXPECT_EQ(call.member(), QStringLiteral("Notify"));
    const QList<QVariant> args = call.arguments();
    ASSERT_EQ(args.size(), 8);
    EXPECT_EQ(args[1].toUInt(), 0u); // a new notification, replacing none
    EXPECT_EQ(args[3].toString(), QStringLiteral("Notices"));
    EXPECT_EQ(args[4].toString(), QStringLiteral("New notices: 1"));
    // Transient: a desktop that keeps notifications in a list until the session ends skips it.
    EXPECT_TRUE(args[6].toMap().value(QStringLiteral("transient")).toBool());
    EXPECT_GT(args[7].toInt(), 0); // it leaves the screen by itself
    // The next of a burst takes the place of the one the desktop shows.
    EXPECT_EQ(tc::gui::notifyCall(QStringLiteral("Notices"), QStringLiteral("2"), 17).arguments()[1].toUInt(),
              17u);
}

class DesktopNotifications : public guitest::ShellTest {};

// What went out, as title and text.
std::pair<std::string, std::string> notification(const QList<QVariant>& sent) {
    return {sent.at(0).toString().toStdString(), sent.at(1).toString().toStdString()};
}

QString settlement(int n) {
    return QStringLiteral("#%1\nSettled EURUSD @1.0850").arg(700000 + n);
}

// A Close All of 200 is one notification on the desktop, not 200: the newest few lines and how many
// more; a later one of the burst replaces it with the line added; another kind goes on its own.
TEST_F(DesktopNotifications, ABurstOfOneKindIsOneNotificationListingItsNewestLines) {
    tc::gui::SystemNotifier& notifier = context->systemNotifier();
    QSignalSpy sent(&notifier, &tc::gui::SystemNotifier::sent);
    const QString title = QStringLiteral("Order Settled");
    for (int n = 0; n < 200; ++n)
        notifier.notify(title, settlement(n));
    notifier.notify(QStringLiteral("Trade Confirmation"), QStringLiteral("Bought 1 EURUSD"));
    ASSERT_TRUE(guitest::waitFor([&] { return sent.count() >= 2; }));
    const std::size_t kept = tc::gui::SystemNotifier::kListedLines;
    QStringList lines;
    for (int n = 200 - int(kept); n < 200; ++n)
        lines << settlement(n);
    lines << QStringLiteral("and %1 more").arg(200 - kept);
    EXPECT_EQ(notification(sent.at(0)),
              std::pair(title.toStdString(), lines.join(QLatin1Char('\n')).toStdString()));
    EXPECT_EQ(notification(sent.at(1)),
              std::pair(std::string("Trade Confirmation"), std::string("Bought 1 EURUSD")));

    notifier.notify(title, settlement(200));
    ASSERT_TRUE(guitest::waitFor([&] { return sent.count() >= 3; }));
    lines.removeFirst();
    lines.insert(int(kept) - 1, settlement(200));
    lines.last() = QStringLiteral("and %1 more").arg(201 - kept);
    EXPECT_EQ(notification(sent.at(2)),
              std::pair(title.toStdString(), lines.join(QLatin1Char('\n')).toStdString()));
    EXPECT_EQ(sent.count(), 3);
}

} // namespace
