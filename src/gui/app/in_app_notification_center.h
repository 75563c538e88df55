#pragma once
// The program's own notification banners: small frameless windows that slide in at the top right
// of the screen with an icon, a title, a subtitle, a text and optionally two buttons, and fade out
// after their delay. A dismissal that arrives while a banner is still sliding in waits until it is
// in place, so a banner never stays on screen after it was dismissed. A banner of the same kind as
// the one on top (same title, subtitle, sound and delay; no buttons, nothing to act on) joins it as
// a line of its list rather than a window of its own: a burst of 200 settlements is one window that
// lists the 200 in order, built once, with one sound.
#include "gui/app/banner_geometry.h"
#include "interfaces/application_interface.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class QLabel;
class QParallelAnimationGroup;
class QPlainTextEdit;
class QPushButton;
class QTimer;

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

    // True when `notification` may join the banner as a line of its list rather than a window.
    static bool sameKind(const interfaces::InAppNotification& a, const interfaces::InAppNotification& b);
    // Whether this banner, still coming or on screen, takes `notification` as one more line.
    bool canGather(const interfaces::InAppNotification& notification) const;
    // Adds the notification's text under those already listed and starts the banner's time again,
    // so the last line is shown for as long as a banner of its own would be.
    void gather(const interfaces::InAppNotification& notification);
    // The informative texts the banner lists, oldest first (one for a banner of its own).
    const QStringList& lines() const { return lines_; }

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
    void listLines();
    bool eventFilter(QObject* watched, QEvent* event) override;

    interfaces::InAppNotification notification_;
    QStringList lines_;
    BannerLayout layout_;
    Phase phase_ = Phase::Prepared;
    bool dismissPending_ = false;
    double fade_ = 0.0;
    QLabel* title_ = nullptr;
    QLabel* subtitle_ = nullptr;
    QLabel* informativeText_ = nullptr;
    QPlainTextEdit* list_ = nullptr; // built when a second line joins
    QTimer* dismissTimer_ = nullptr;
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
    // own time, and the new one takes the same place, on top. One of the same kind as the banner on
    // top joins its list silently and that banner is returned. While held, only the sound plays and
    // the banner waits (null is returned); one of the kind of the last waiting joins it, silently.
    InAppNotificationBannerController* deliverNotification(const interfaces::InAppNotification& notification);
    // The console lock hides everything behind it, banners too: holding closes the open banners at
    // once, and banners delivered meanwhile (the last kMaxHeld, each with the lines that joined it)
    // show when the hold ends.
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
    InAppNotificationBannerController* present(const QList<interfaces::InAppNotification>& gathered);

    const Language& language_;
    SoundNotification& sounds_;
    interfaces::ApplicationInterface::BannerActivation delegate_;
    QList<QPointer<InAppNotificationBannerController>> banners_;
    bool held_ = false;
    QList<QList<interfaces::InAppNotification>> waiting_; // each: a banner and the lines that joined it
};

} // namespace tc::gui
