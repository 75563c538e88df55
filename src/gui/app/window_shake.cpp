#include "gui/app/window_shake.h"

#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

namespace tc::gui {
namespace {

constexpr char kAnimationName[] = "tcShakeAnimation";
constexpr float kSwing = 0.06f; // of the window's width
constexpr int kSwingMs = 100;
constexpr int kSwings = 3;

} // namespace

void shakeWindow(QWidget* window) {
    if (!window)
        return;
    QPoint rest = window->pos();
    // A shake in progress is stopped where it rests, so the window never creeps away.
    if (auto* running = window->findChild<QPropertyAnimation*>(QLatin1String(kAnimationName))) {
        rest = running->property("rest").toPoint();
        running->stop();
        delete running;
    }
    const int swing = static_cast<int>(static_cast<float>(window->width()) * kSwing);
    auto* animation = new QPropertyAnimation(window, "pos", window);
    animation->setObjectName(QLatin1String(kAnimationName));
    animation->setProperty("rest", rest);
    animation->setDuration(kSwingMs);
    animation->setLoopCount(kSwings);
    animation->setKeyValueAt(0.0, rest);
    animation->setKeyValueAt(0.25, rest - QPoint(swing, 0));
    animation->setKeyValueAt(0.75, rest + QPoint(swing, 0));
    animation->setKeyValueAt(1.0, rest);
    QObject::connect(animation, &QPropertyAnimation::finished, window,
                     [window = QPointer<QWidget>(window), rest, animation] {
                         if (window)
                             window->move(rest);
                         animation->deleteLater();
                     });
    animation->start();
}

} // namespace tc::gui
