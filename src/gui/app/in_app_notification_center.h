#pragma once
// The program's own notification banners: small frameless windows that slide in at the top right
// of the screen with an icon, a title, a subtitle, a text and optionally two buttons, and fade out
// after their delay. A dismissal that arrives while a banner is still sliding in waits until it is
// in place, so a banner never stays on screen after it was dismissed. A banner of the same kind as
// one on screen (same title, subtitle, sound and delay; no buttons, nothing to act on) joins it as
// a line of its list rather than a window of its own: a burst of 200 settlements is one window with
// one sound, listing the newest kBannerLines lines and how many more came before them. Banners of
// other kinds stack under those on screen, so none covers another before its time; those the screen
// has no room for wait, gathered as they are behind the console lock, until a place is free. Past
// kMaxHeld waiting, those whose words are kept elsewhere (chat messages, notices) go, oldest first,
// and a banner says how many and where to read them; the others (a margin call, a refusal, a late
// answer) are never dropped: past kMaxWaiting kinds they gather as lines of one banner, each line
// standing for its banner: taken back, it leaves; a click on it acts as the banner or its button.
#include "gui/app/banner_geometry.h"
#include "gui/app/gathered_lines.h"
#include "interfaces/application_interface.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

class QLabel;
class QParallelAnimationGroup;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tc::gui {

class Language;
class SoundNotification;

// The banners folded into the one banner of many kinds, oldest first, each standing for its line
// there: what a withdrawal takes out again and what a click on the line acts as. Past kKept the
// oldest are only counted, as the oldest lines are.
class FoldedBanners {
public:
    static constexpr std::size_t kKept = 1000;
    void add(const interfaces::InAppNotification& notification);
    // Takes out those `which` picks; true when any was.
    bool remove(const std::function<bool(const interfaces::InAppNotification&)>& which);
    const std::deque<interfaces::InAppNotification>& kept() const { return kept_; }
    std::int64_t forgotten() const { return forgotten_; }
    // The one the `index`th of the kept `lines` made of them stands for (lines keep the newest).
    const interfaces::InAppNotification* of(const GatheredLines& lines, std::size_t index) const;

private:
    std::deque<interfaces::InAppNotification> kept_;
    std::int64_t forgotten_ = 0;
};

class InAppNotificationBannerController : public QWidget {
    Q_OBJECT
    // The window's opacity as the animations drive it.
    Q_PROPERTY(double fade READ fade WRITE setFade)
public:
    enum class Phase { Prepared, Showing, Shown, Hiding, Closed };
    // Activation types.
    static constexpr int kClicked = 1;
    static constexpr int kActionButton = 2;
    // The lines a banner lists at most: the newest, then "and N more".
    static constexpr std::size_t kBannerLines = 50;

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
    // so the last line is shown for as long as a banner of its own would be. Its cost does not grow
    // with the lines before it: past kBannerLines the oldest listed leaves as the new one comes.
    void gather(const interfaces::InAppNotification& notification);
    // Before it is presented: lists `lines` (gathered while it waited) in place of its own text.
    void gatherAll(const GatheredLines& lines);
    // The informative texts the banner lists, oldest first (one for a banner of its own).
    const GatheredLines& lines() const { return lines_; }
    // Lists `lines` in place of those it lists (some were taken back).
    void relist(const GatheredLines& lines);
    // Of the banner of many kinds: the banners its lines stand for.
    FoldedBanners& folded() { return folded_; }
    const FoldedBanners& folded() const { return folded_; }

    // How far below the first place (the top right) the banner stands, and the room from the first
    // place to the bottom of the screen.
    double place() const { return place_; }
    double room() const { return room_; }
    // Moves the banner to `offset` below the first place, where it is or where it is going.
    void placeAt(double offset);

    Phase phase() const { return phase_; }
    bool animationIsRunning() const { return phase_ == Phase::Showing || phase_ == Phase::Hiding; }
    // Dismissed: leaving, or to leave once in place.
    bool isLeaving() const { return phase_ == Phase::Hiding || dismissPending_; }
    const interfaces::InAppNotification& notification() const { return notification_; }
    const BannerLayout& bannerLayout() const { return layout_; }
    double fade() const { return fade_; }
    void setFade(double value);

Q_SIGNALS:
    void activated(int type);
    void presented();
    void closed();
    // Its list was made: it is taller now.
    void grew();
    // A click on it: the index of the kept line clicked, -1 for none (the banner as a whole).
    void clicked(int line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void prepareNotificationBanner(const Language& language);
    void animateTo(const BannerRect& frame, double opacity, int durationMs);
    void animationEnded();
    void listLines();
    void appendToList(const QString& line, bool oldestLetGo);
    void describe();
    // The kept line shown at `at` of the list's viewport; -1 for "and N more" or below the lines.
    int lineAt(const QPoint& at) const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    interfaces::InAppNotification notification_;
    const Language& language_;
    GatheredLines lines_{kBannerLines};
    FoldedBanners folded_;
    BannerLayout layout_;
    double place_ = 0;
    double room_ = 0;
    Phase phase_ = Phase::Prepared;
    bool dismissPending_ = false;
    double fade_ = 0.0;
    QLabel* title_ = nullptr;
    QLabel* subtitle_ = nullptr;
    QLabel* informativeText_ = nullptr;
    QPlainTextEdit* list_ = nullptr; // built when a second line joins
    qsizetype letGoBlocks_ = 1;      // the list's blocks of the oldest line kept
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
    // own time, and the new one takes the first place free under them. One of the same kind as a
    // banner on screen joins the newest such silently and that banner is returned. While held, or
    // while the screen has no room, only the sound plays and the banner waits (null is returned);
    // one of the kind of a waiting one joins it, silently.
    InAppNotificationBannerController* deliverNotification(const interfaces::InAppNotification& notification);
    // The console lock hides everything behind it, banners too: holding closes the open banners at
    // once; those not leaving, and banners delivered meanwhile (each with the lines that joined it,
    // within the bound above), show when the hold ends.
    void setHeld(bool held);
    bool isHeld() const { return held_; }
    // Banners waiting past which those kept elsewhere are dropped.
    static constexpr std::size_t kMaxHeld = 8;
    // Kinds waiting past which a new kind that must be told joins the one banner of many kinds.
    static constexpr std::size_t kMaxWaiting = 32;
    // Banners waiting for the hold to end or for a place on screen, oldest first.
    std::size_t waitingBanners() const { return waiting_.size(); }
    // Their first notifications, oldest first.
    std::vector<interfaces::InAppNotification> waitingNotifications() const;
    // Who acts on a clicked banner or its action button; without one a click only announces itself.
    void setDelegate(interfaces::ApplicationInterface::BannerActivation delegate);
    // Another user signed in: the banners on screen close at once and those held are dropped.
    void forgetAll();
    // "InAppNotificationDismissBannerNotification": every banner on screen leaves.
    void dismissAllBanners();
    // What `which` picks no longer holds: those on screen leave, those waiting (held behind the
    // lock, or for a place) are dropped, and lines of the banner of many kinds standing for one go
    // (the banner with them once it has none left).
    void withdraw(const std::function<bool(const interfaces::InAppNotification&)>& which);
    QList<InAppNotificationBannerController*> banners() const;

Q_SIGNALS:
    void activatedWithType(int type);
    void bannerPresented();

private:
    // A banner still to show: its first notification and every line gathered since.
    struct Waiting {
        interfaces::InAppNotification first;
        GatheredLines lines{InAppNotificationBannerController::kBannerLines};
        FoldedBanners folded;
    };

    // The delegate acts on `notification` (the banner's own by default).
    void activate(InAppNotificationBannerController* banner, int type,
                  const interfaces::InAppNotification* notification = nullptr);
    // The waiting banner shown in the first place free for it; null, nothing shown, without room.
    InAppNotificationBannerController* present(const Waiting& waiting);
    // `foldedFrom`: the banner `notification` is the line of many kinds of.
    InAppNotificationBannerController* deliver(const interfaces::InAppNotification& notification,
                                               const interfaces::InAppNotification* foldedFrom);
    // The notification as a line of the banner of many kinds.
    interfaces::InAppNotification folded(const interfaces::InAppNotification& notification) const;
    // The lines of the banner of many kinds that `folded` stand for.
    GatheredLines foldedLines(const FoldedBanners& folded) const;
    // Drops those kept elsewhere, oldest first, while more than kMaxHeld wait, and says how many.
    void trimWaiting();
    // Adds `count`, `locked` of them dropped behind the console lock, to the banner that says how many
    // were not shown, waiting or on screen, or makes one.
    void tellNotShown(std::int64_t count, std::int64_t locked);
    // Shows those waiting, oldest first, while there is room.
    void presentWaiting();
    // Pushes down banners a taller one above now overlaps; one pushed past the screen's end waits
    // for a place again, first.
    void restack();
    QList<InAppNotificationBannerController*> onScreen() const;

    const Language& language_;
    SoundNotification& sounds_;
    interfaces::ApplicationInterface::BannerActivation delegate_;
    QList<QPointer<InAppNotificationBannerController>> banners_;
    bool held_ = false;
    std::deque<Waiting> waiting_;
};

} // namespace tc::gui
