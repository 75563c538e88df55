#pragma once
// System notifications: the desktop's notification service (org.freedesktop.Notifications over
// D-Bus), else a message of the tray icon, else only the log. Never blocks the GUI thread.
// A burst of one kind (one title) is one notification: a notification with the title of one still
// to go out, or still on the desktop, joins it as a line; the desktop's is then replaced, at most
// once a second, by one listing the newest kListedLines lines and how many more came before them.
#include "gui/app/gathered_lines.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>

class QSystemTrayIcon;
class QTimer;

namespace tc::gui {

class Language;

// True when a D-Bus session bus can be reached without starting one.
bool sessionBusAvailable();

// The desktop's Notify call for a title and text: shown for a few seconds and transient, so the
// desktop does not keep it in its list for the rest of the session. `replaces` is the desktop's id
// of the notification it takes the place of (0: none).
QDBusMessage notifyCall(const QString& title, const QString& text, std::uint32_t replaces = 0);

class SystemNotifier : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kListedLines = 5;
    // Kinds followed at once; the oldest is let go past this (a new one of it starts afresh).
    static constexpr std::size_t kMaxBursts = 8;

    explicit SystemNotifier(const Language& language, QObject* parent = nullptr);

    // Shows title and text one second from now, gathered as above.
    void notify(const QString& title, const QString& text);

Q_SIGNALS:
    // What went out, each time a notification is given to the desktop (or the tray, or the log).
    void sent(const QString& title, const QString& text);
    // Where a notification went: "dbus", "tray" or "log".
    void delivered(const QString& route);

private:
    struct Burst {
        QString title;
        GatheredLines lines{kListedLines};
        bool due = false;            // a delivery is coming
        QElapsedTimer sentAt;        // invalid until first sent
        std::uint32_t desktopId = 0; // the desktop's id of the notification shown
        std::uint64_t serial = 0;
    };

    void deliver(std::uint64_t serial);
    void showInTray(const QString& title, const QString& text);

    const Language& language_;
    std::deque<Burst> bursts_;
    std::uint64_t serials_ = 0;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* trayTimer_ = nullptr;
};

} // namespace tc::gui
