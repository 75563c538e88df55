#include "gui/app/system_notifier.h"

#include "platform/log.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVariantMap>

#include <algorithm>
#include <iterator>

namespace tc::gui {
namespace {

constexpr int kDelayMs = 1000;
constexpr int kShowMs = 8000;

} // namespace

bool sessionBusAvailable() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return QDBusConnection::sessionBus().isConnected();
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return QDBusConnection::sessionBus().isConnected();
    return false;
}

QDBusMessage notifyCall(const QString& title, const QString& text, std::uint32_t replaces) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("transient"), true}};
    call << QApplication::applicationDisplayName() << replaces << QStringLiteral("dialog-information")
         << title << text << QStringList() << hints << kShowMs;
    return call;
}

SystemNotifier::SystemNotifier(const Language& language, QObject* parent)
    : QObject(parent), language_(language) {}

void SystemNotifier::notify(const QString& title, const QString& text) {
    auto burst = std::find_if(bursts_.begin(), bursts_.end(), [&](const Burst& b) {
        // Still coming, or still on the desktop: it takes the line.
        return b.title == title && (b.due || (b.sentAt.isValid() && !b.sentAt.hasExpired(kShowMs)));
    });
    if (burst == bursts_.end()) {
        std::erase_if(bursts_, [&](const Burst& b) { return b.title == title; });
        if (bursts_.size() >= kMaxBursts)
            bursts_.pop_front();
        bursts_.push_back(Burst{title, GatheredLines(kListedLines), false, {}, 0, ++serials_});
        burst = std::prev(bursts_.end());
    }
    burst->lines.add(text);
    if (burst->due)
        return; // the coming delivery takes this line too
    burst->due = true;
    // Within the second since the last went out, the next waits its turn: at most one a second.
    const qint64 wait =
        burst->sentAt.isValid() ? std::max<qint64>(0, kDelayMs - burst->sentAt.elapsed()) : kDelayMs;
    QTimer::singleShot(int(wait), this, [this, serial = burst->serial] { deliver(serial); });
}

void SystemNotifier::deliver(std::uint64_t serial) {
    const auto burst =
        std::find_if(bursts_.begin(), bursts_.end(), [&](const Burst& b) { return b.serial == serial; });
    if (burst == bursts_.end())
        return; // let go meanwhile
    burst->due = false;
    burst->sentAt.start();
    const QString title = burst->title;
    const QString text = burst->lines.joined(moreLinesText(language_, burst->lines.dropped()));
    Q_EMIT sent(title, text);
    if (!sessionBusAvailable()) {
        showInTray(title, text);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(notifyCall(title, text, burst->desktopId)), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, text, serial] {
        watcher->deleteLater();
        if (watcher->isError()) {
            platform::Log::info("no notification service ({}); using the tray",
                                watcher->error().name().toStdString());
            showInTray(title, text);
            return;
        }
        // The next of the burst replaces this one on the desktop rather than adding one.
        const QDBusPendingReply<uint> reply = *watcher;
        for (Burst& b : bursts_)
            if (b.serial == serial && reply.isValid())
                b.desktopId = reply.value();
        Q_EMIT delivered(QStringLiteral("dbus"));
    });
}

void SystemNotifier::showInTray(const QString& title, const QString& text) {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        platform::Log::info("notification: {}: {}", title.left(200).toStdString(),
                            text.left(200).toStdString());
        Q_EMIT delivered(QStringLiteral("log"));
        return;
    }
    if (!tray_) {
        tray_ = new QSystemTrayIcon(QApplication::windowIcon(), this);
        // The icon is there only for its messages: it goes with the last one, not with the session.
        trayTimer_ = new QTimer(this);
        trayTimer_->setSingleShot(true);
        connect(trayTimer_, &QTimer::timeout, tray_, &QSystemTrayIcon::hide);
    }
    tray_->show();
    tray_->showMessage(title, text, QSystemTrayIcon::Information, kShowMs);
    trayTimer_->start(kShowMs);
    Q_EMIT delivered(QStringLiteral("tray"));
}

} // namespace tc::gui
