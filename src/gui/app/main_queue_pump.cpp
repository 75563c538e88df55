#include "gui/app/main_queue_pump.h"

#include "platform/dispatch.h"

#include <QMetaObject>

#include <algorithm>

#include <atomic>
#include <chrono>
#include <mutex>

namespace tc::gui {

// Shared with the wake-up hook, which other threads may be running while the pump goes away.
struct MainQueuePump::Hook {
    std::mutex mutex;
    MainQueuePump* pump = nullptr;
    std::atomic<bool> drainPosted{false};
};

MainQueuePump::MainQueuePump(QObject* parent) : QObject(parent), hook_(std::make_shared<Hook>()) {
    hook_->pump = this;
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &MainQueuePump::drain);
    platform::RunLoop::main().bindToCurrentThread();
    platform::MainQueue::setWakeUpHandler([hook = hook_] {
        // One queued drain at a time: work that arrives meanwhile runs in it or in the next one.
        if (hook->drainPosted.exchange(true))
            return;
        std::lock_guard lock(hook->mutex);
        if (hook->pump)
            QMetaObject::invokeMethod(hook->pump, &MainQueuePump::drain, Qt::QueuedConnection);
    });
    requestDrain(); // work posted before the pump existed
}

MainQueuePump::~MainQueuePump() {
    platform::MainQueue::setWakeUpHandler({});
    std::lock_guard lock(hook_->mutex);
    hook_->pump = nullptr;
}

void MainQueuePump::requestDrain() {
    if (!hook_->drainPosted.exchange(true))
        QMetaObject::invokeMethod(this, &MainQueuePump::drain, Qt::QueuedConnection);
}

void MainQueuePump::drain() {
    hook_->drainPosted = false;
    platform::RunLoop& loop = platform::RunLoop::main();
    loop.drain();
    // Inside a task's own event loop the queue refuses to drain; the pass under way arms the timer
    // when it ends, and a 0 ms timer now would only spin.
    if (loop.isDraining())
        return;
    const auto next = loop.timeUntilNextDue();
    // A hand-moved clock wakes the queue itself when it moves; real time must not poll it.
    if (!next || platform::Clock::current()->isManual()) {
        timer_.stop();
        return;
    }
    // Round up, so the timer never fires just before the task is due and spins once more.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next);
    timer_.start(static_cast<int>(std::min<std::chrono::milliseconds::rep>(ms.count(), 24 * 3600 * 1000)));
}

} // namespace tc::gui
