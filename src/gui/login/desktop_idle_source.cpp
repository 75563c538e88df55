#include "gui/login/desktop_idle_source.h"

#include "gui/app/system_notifier.h"
#include "platform/log.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>

namespace tc::gui {

DesktopIdleSource::DesktopIdleSource(QObject* parent) : QObject(parent) {
    sinceInput_.start();
    if (!sessionBusAvailable())
        monitor_ = Monitor::None;
    QCoreApplication::instance()->installEventFilter(this);
    ask();
}

DesktopIdleSource::~DesktopIdleSource() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool DesktopIdleSource::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        sinceInput_.restart();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

std::int64_t DesktopIdleSource::idleSeconds() {
    if (monitor_ == Monitor::None || desktopIdleMs_ < 0)
        return sinceInput_.elapsed() / 1000;
    const std::int64_t seconds = desktopIdleMs_ / 1000;
    ask();
    return seconds;
}

void DesktopIdleSource::ask() {
    if (monitor_ == Monitor::None || asking_)
        return;
    QDBusMessage call =
        monitor_ == Monitor::Mutter
            ? QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Mutter.IdleMonitor"),
                                             QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core"),
                                             QStringLiteral("org.gnome.Mutter.IdleMonitor"),
                                             QStringLiteral("GetIdletime"))
            : QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                             QStringLiteral("/org/freedesktop/ScreenSaver"),
                                             QStringLiteral("org.freedesktop.ScreenSaver"),
                                             QStringLiteral("GetSessionIdleTime"));
    asking_ = true;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        asking_ = false;
        const QDBusMessage reply = watcher->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            // Both monitors answer milliseconds (the screen saver's call in its common implementation).
            bool ok = false;
            const qulonglong ms = reply.arguments().front().toULongLong(&ok);
            if (ok) {
                desktopIdleMs_ = static_cast<std::int64_t>(ms);
                return;
            }
        }
        desktopIdleMs_ = -1;
        monitor_ = monitor_ == Monitor::Mutter ? Monitor::ScreenSaver : Monitor::None;
        if (monitor_ == Monitor::None)
            platform::Log::info("no desktop idle monitor answers; idle time is the program's own");
        ask();
    });
}

} // namespace tc::gui
