// The desktop notification the program asks for: its texts, a few seconds on screen, and not kept
// by the desktop once it has gone.
#include "gui/app/system_notifier.h"

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
}

} // namespace
