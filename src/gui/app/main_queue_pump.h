#pragma once
// Makes the Qt GUI thread the platform's main queue. Whenever work arrives (from any thread) the
// queue's wake-up hook posts one queued drain into the Qt event loop; after each drain a single-shot
// timer is armed for the next delayed task or main-queue timer. Nothing polls, and there is no
// second main thread. Make one, on the GUI thread, before anything posts to the main queue.
#include <QObject>
#include <QTimer>

#include <memory>

namespace tc::gui {

class MainQueuePump : public QObject {
    Q_OBJECT
public:
    explicit MainQueuePump(QObject* parent = nullptr);
    ~MainQueuePump() override;

private:
    struct Hook;
    void requestDrain();
    void drain();

    std::shared_ptr<Hook> hook_;
    QTimer timer_;
};

} // namespace tc::gui
