#pragma once
// The user's idle time: the desktop's idle monitor over D-Bus where one answers (GNOME's Mutter,
// then the freedesktop screen saver), else the time since the program's own last keyboard or mouse
// input. D-Bus is asked asynchronously; each reading gives the latest answer and asks again.
#include "gui/login/idle_time.h"

#include <QElapsedTimer>
#include <QObject>

#include <cstdint>

namespace tc::gui {

class DesktopIdleSource : public QObject, public IdleSource {
    Q_OBJECT
public:
    // Watches the application's input events from now on.
    explicit DesktopIdleSource(QObject* parent = nullptr);
    ~DesktopIdleSource() override;

    std::int64_t idleSeconds() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Monitor { Mutter, ScreenSaver, None };
    void ask();

    QElapsedTimer sinceInput_;
    Monitor monitor_ = Monitor::Mutter;
    bool asking_ = false;
    std::int64_t desktopIdleMs_ = -1; // latest answer of the desktop monitor
};

} // namespace tc::gui
