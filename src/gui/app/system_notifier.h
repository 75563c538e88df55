#pragma once
// System notifications: the desktop's notification service (org.freedesktop.Notifications over
// D-Bus), else a message of the tray icon, else only the log. Never blocks the GUI thread.
#include <QDBusMessage>
#include <QObject>
#include <QString>

class QSystemTrayIcon;
class QTimer;

namespace tc::gui {

// True when a D-Bus session bus can be reached without starting one.
bool sessionBusAvailable();

// The desktop's Notify call for a title and text: shown for a few seconds and transient, so the
// desktop does not keep it in its list for the rest of the session.
QDBusMessage notifyCall(const QString& title, const QString& text);

class SystemNotifier : public QObject {
    Q_OBJECT
public:
    explicit SystemNotifier(QObject* parent = nullptr);

    // Shows title and text one second from now.
    void notify(const QString& title, const QString& text);

Q_SIGNALS:
    // Where a notification went: "dbus", "tray" or "log".
    void delivered(const QString& route);

private:
    void deliver(const QString& title, const QString& text);
    void showInTray(const QString& title, const QString& text);

    QSystemTrayIcon* tray_ = nullptr;
    QTimer* trayTimer_ = nullptr;
};

} // namespace tc::gui
