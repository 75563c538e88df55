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

QDBusMessage notifyCall(const QString& title, const QString& text) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("transient"), true}};
    call << QApplication::applicationDisplayName() << 0u << QStringLiteral("dialog-information") << title
         << text << QStringList() << hints << kShowMs;
    return call;
}

SystemNotifier::SystemNotifier(QObject* parent) : QObject(parent) {}

void SystemNotifier::notify(const QString& title, const QString& text) {
    QTimer::singleShot(kDelayMs, this, [this, title, text] { deliver(title, text); });
}

void SystemNotifier::deliver(const QString& title, const QString& text) {
    if (!sessionBusAvailable()) {
        showInTray(title, text);
        return;
    }
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(notifyCall(title, text)), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, title, text] {
        watcher->deleteLater();
        if (watcher->isError()) {
            platform::Log::info("no notification service ({}); using the tray",
                                watcher->error().name().toStdString());
            showInTray(title, text);
            return;
        }
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
