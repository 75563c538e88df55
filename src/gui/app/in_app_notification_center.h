#pragma once
// The program's own notification banners: small frameless windows that slide in at the top right
// of the screen with an icon, a title, a subtitle, a text and optionally two buttons, and fade out
// after their delay. A dismissal that arrives while a banner is still sliding in waits until it is
// in place, so a banner never stays on screen after it was dismissed.
#include "gui/app/banner_geometry.h"
#include "interfaces/application_interface.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QLabel;
class QParallelAnimationGroup;
class QPushButton;

namespace tc::gui {

class Language;
class SoundNotification;

class InAppNotificationBannerController : public QWidget {
    Q_OBJECT
    // The window's opacity as the animations drive it.
    Q_PROPERTY(double fade READ fade WRITE setFade)
public:
    enum class Phase { Prepared, Showing, Shown, Hiding, Closed };
    // Activation types.
    static constexpr int kClicked = 1;
    static constexpr int kActionButton = 2;

    InAppNotificationBannerController(const interfaces::InAppNotification& notification,
                                      const Language& language);

    // Slides the banner in and dismisses it after `seconds`; a delay of 0 or less keeps it until the
    // user acts or every banner is dismissed.
    void presentBannerDismissAfter(double seconds);
    void presentBanner();
    void dismissBanner();
    // Gone at once, without the hide animation.
    void closeNow();

    Phase phase() const { return phase_; }
    bool animationIsRunning() const { return phase_ == Phase::Showing || phase_ == Phase::Hiding; }
    const interfaces::InAppNotification& notification() const { return notification_; }
    const BannerLayout& bannerLayout() const { return layout_; }
    double fade() const { return fade_; }
    void setFade(double value);

Q_SIGNALS:
    void activated(int type);
    void presented();
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void prepareNotificationBanner(const Language& language);
    void animateTo(const BannerRect& frame, double opacity, int durationMs);
    void animationEnded();

    interfaces::InAppNotification notification_;
    BannerLayout layout_;
    Phase phase_ = Phase::Prepared;
    bool dismissPending_ = false;
    double fade_ = 0.0;
    QLabel* title_ = nullptr;
    QLabel* subtitle_ = nullptr;
    QLabel* informativeText_ = nullptr;
    QLabel* image_ = nullptr;
    QPushButton* actionButton_ = nullptr;
    QPushButton* otherButton_ = nullptr;
    QParallelAnimationGroup* animation_ = nullptr;
};

class InAppNotificationCenter : public QObject {
    Q_OBJECT
public:
    InAppNotificationCenter(const Language& language, SoundNotification& sounds, QObject* parent = nullptr);
    ~InAppNotificationCenter() override;

    // Shows the banner for its dismiss delay and plays its sound; earlier banners stay until their
    // own time, and the new one takes the same place, on top. While held, only the sound plays and
    // the banner waits (null is returned).
    InAppNotificationBannerController* deliverNotification(const interfaces::InAppNotification& notification);
    // The console lock hides everything behind it, banners too: holding closes the open banners at
    // once, and banners delivered meanwhile (the last kMaxHeld) show when the hold ends.
    void setHeld(bool held);
    bool isHeld() const { return held_; }
    static constexpr qsizetype kMaxHeld = 8;
    // Who acts on a clicked banner or its action button; without one a click only announces itself.
    void setDelegate(interfaces::ApplicationInterface::BannerActivation delegate);
    // Another user signed in: the banners on screen close at once and those held are dropped.
    void forgetAll();
    // "InAppNotificationDismissBannerNotification": every banner on screen leaves.
    void dismissAllBanners();
    QList<InAppNotificationBannerController*> banners() const;

Q_SIGNALS:
    void activatedWithType(int type);
    void bannerPresented();

private:
    void activate(InAppNotificationBannerController* banner, int type);
    InAppNotificationBannerController* present(const interfaces::InAppNotification& notification);

    const Language& language_;
    SoundNotification& sounds_;
    interfaces::ApplicationInterface::BannerActivation delegate_;
    QList<QPointer<InAppNotificationBannerController>> banners_;
    bool held_ = false;
    QList<interfaces::InAppNotification> waiting_;
};

} // namespace tc::gui
