#include "gui/app/in_app_notification_center.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/sound_notification.h"
#include "gui/texts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QParallelAnimationGroup>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tc::gui {
namespace {

constexpr int kShowMs = 420;
constexpr int kHideMs = 560;
constexpr double kSlide = 22.0; // how far a banner moves down as it appears
constexpr double kRadius = 5.0;
constexpr int kListedLines = 6; // text lines a banner's list shows before it scrolls
// Mid greys on the light banner: quieter than black, still dark enough to read at small sizes.
const QColor kTitleColour = QColor::fromRgbF(0.28f, 0.28f, 0.28f);
const QColor kTextColour = QColor::fromRgbF(0.36f, 0.36f, 0.36f);
// The user-info entries of the banner that says how many were not shown: the count it says, and
// how many of them went behind the console lock (the rest went for want of room on the screen).
constexpr char kNotShownCount[] = "BannersNotShown";
constexpr char kNotShownLocked[] = "BannersNotShownLocked";

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

// A line as the list's document holds it: one block per line of its text, so that the blocks a line
// takes are its line breaks plus one.
QString listed(const std::string& text) {
    QString line = fromStd(text);
    line.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    line.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    line.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return line;
}

QFont bannerFont(int pixelSize, bool bold) {
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QRect toRect(const BannerRect& r) {
    return QRect(qRound(r.x), qRound(r.y), qRound(r.width), qRound(r.height));
}

Qt::TextElideMode elideMode(std::int32_t lineBreakMode) {
    switch (lineBreakMode) {
    case 3:
        return Qt::ElideLeft;
    case 5:
        return Qt::ElideMiddle;
    case 2:
        return Qt::ElideNone;
    default:
        return Qt::ElideRight;
    }
}

QLabel* makeLabel(QWidget* parent, const char* name, const QFont& font, const QColor& colour) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

void FoldedBanners::add(const interfaces::InAppNotification& notification) {
    kept_.push_back(notification);
    if (kept_.size() <= kKept)
        return;
    kept_.pop_front();
    ++forgotten_;
}

bool FoldedBanners::remove(const std::function<bool(const interfaces::InAppNotification&)>& which) {
    return std::erase_if(kept_, which) > 0;
}

const interfaces::InAppNotification* FoldedBanners::of(const GatheredLines& lines, std::size_t index) const {
    const std::size_t shown = lines.kept().size();
    if (index >= shown || shown > kept_.size())
        return nullptr;
    return &kept_[kept_.size() - shown + index];
}

InAppNotificationBannerController::InAppNotificationBannerController(
    const interfaces::InAppNotification& notification, const Language& language)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      notification_(notification), language_(language) {
    lines_.add(listed(notification.informativeText));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setObjectName(QStringLiteral("notificationBanner"));
    setFade(0.0);
    prepareNotificationBanner(language);
}

void InAppNotificationBannerController::prepareNotificationBanner(const Language& language) {
    const QFont titleFont = bannerFont(12, true);
    const QFont subtitleFont = bannerFont(11, true);
    const QFont textFont = bannerFont(11, false);
    title_ = makeLabel(this, "titleLabel", titleFont, kTitleColour);
    subtitle_ = makeLabel(this, "subtitleLabel", subtitleFont, kTitleColour);
    informativeText_ = makeLabel(this, "informativeTextLabel", textFont, kTextColour);
    image_ = new QLabel(this);
    image_->setAttribute(Qt::WA_TransparentForMouseEvents);

    const QString info = fromStd(notification_.informativeText);
    const std::int32_t mode = notification_.feature.lineBreakMode;
    BannerMeasures m;
    m.labelHeight = QFontMetrics(titleFont).height();
    m.multiLine = mode == 0 || mode == 1;
    const QFontMetricsF textMetrics(textFont);
    m.informativeNaturalWidth = textMetrics.horizontalAdvance(info);
    m.informativeHeightForWidth = [textMetrics, info](double width) {
        return textMetrics.boundingRect(QRectF(0, 0, width, INT_MAX), Qt::TextWordWrap, info).height() + 5.0;
    };

    if (notification_.hasActionButton) {
        auto title = [&](const std::string& text, std::string_view key) {
            return text.empty() ? language.text(key) : fromStd(text);
        };
        // The notification record names only the action button; the other one always reads "Close".
        otherButton_ = new QPushButton(language.text(texts::kCloseButton), this);
        otherButton_->setObjectName(QStringLiteral("otherButton"));
        actionButton_ =
            new QPushButton(title(notification_.actionButtonTitle, texts::kNotificationShow), this);
        actionButton_->setObjectName(QStringLiteral("actionButton"));
        for (QPushButton* b : {otherButton_, actionButton_}) {
            b->setFocusPolicy(Qt::NoFocus);
            b->setStyleSheet(QStringLiteral(
                "QPushButton { color: #3d3d3d; border: 1px solid #5e5e5e; border-radius: 4px; padding: 2px "
                "10px;"
                " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fafafa, stop:1 #cccccc); }"
                "QPushButton:pressed { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #cccccc,"
                " stop:1 #fafafa); }"));
        }
        m.hasButtons = true;
        m.buttonWidth = std::max(otherButton_->sizeHint().width(), actionButton_->sizeHint().width());
        m.buttonHeight = std::max(otherButton_->sizeHint().height(), actionButton_->sizeHint().height());
        connect(otherButton_, &QPushButton::clicked, this, &InAppNotificationBannerController::dismissBanner);
        connect(actionButton_, &QPushButton::clicked, this, [this] { Q_EMIT activated(kActionButton); });
    }

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect();
    layout_ = layoutBanner(
        m, BannerRect{double(area.x()), double(area.y()), double(area.width()), double(area.height())},
        kSlide);
    room_ = double(area.y() + area.height()) - layout_.shown.y;

    title_->setGeometry(toRect(layout_.title));
    subtitle_->setGeometry(toRect(layout_.subtitle));
    informativeText_->setGeometry(toRect(layout_.informative));
    const QFontMetrics titleMetrics(titleFont);
    title_->setText(
        titleMetrics.elidedText(fromStd(notification_.title), Qt::ElideRight, qRound(layout_.labelWidth)));
    subtitle_->setText(
        QFontMetrics(subtitleFont)
            .elidedText(fromStd(notification_.subtitle), Qt::ElideRight, qRound(layout_.labelWidth)));
    informativeText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (m.multiLine) {
        informativeText_->setWordWrap(true);
        informativeText_->setText(info);
    } else {
        informativeText_->setText(
            QFontMetrics(textFont).elidedText(info, elideMode(mode), qRound(layout_.labelWidth)));
    }
    image_->setGeometry(toRect(layout_.image));
    const QIcon icon = QApplication::windowIcon().isNull() ? QIcon(QStringLiteral(":/images/AppIcon.svg"))
                                                           : QApplication::windowIcon();
    image_->setPixmap(icon.pixmap(image_->size()));
    if (otherButton_) {
        otherButton_->setGeometry(toRect(layout_.otherButton));
        actionButton_->setGeometry(toRect(layout_.actionButton));
    }
    setGeometry(toRect(layout_.start));
    setAccessibleName(fromStd(notification_.title));
    setAccessibleDescription(fromStd(notification_.subtitle + "\n" + notification_.informativeText));
}

void InAppNotificationBannerController::presentBannerDismissAfter(double seconds) {
    presentBanner();
    if (seconds <= 0)
        return;
    if (!dismissTimer_) {
        dismissTimer_ = new QTimer(this);
        dismissTimer_->setSingleShot(true);
        connect(dismissTimer_, &QTimer::timeout, this, &InAppNotificationBannerController::dismissBanner);
    }
    dismissTimer_->start(qRound(seconds * 1000));
}

bool InAppNotificationBannerController::sameKind(const interfaces::InAppNotification& a,
                                                 const interfaces::InAppNotification& b) {
    // A button or a user-info entry makes a banner something to act on: it keeps a window of its own.
    return !a.hasActionButton && !b.hasActionButton && a.userInfo.empty() && b.userInfo.empty() &&
           a.title == b.title && a.subtitle == b.subtitle && a.soundName == b.soundName &&
           a.feature == b.feature;
}

bool InAppNotificationBannerController::canGather(const interfaces::InAppNotification& notification) const {
    return (phase_ == Phase::Showing || phase_ == Phase::Shown) && !dismissPending_ &&
           sameKind(notification_, notification);
}

void InAppNotificationBannerController::gather(const interfaces::InAppNotification& notification) {
    QString line = listed(notification.informativeText);
    const bool oldestLetGo = lines_.add(line);
    if (!list_)
        listLines();
    else
        appendToList(line, oldestLetGo);
    describe();
    if (dismissTimer_ && notification.feature.dismissDelayTime > 0)
        dismissTimer_->start(qRound(notification.feature.dismissDelayTime * 1000));
}

void InAppNotificationBannerController::gatherAll(const GatheredLines& lines) {
    if (phase_ != Phase::Prepared || lines.total() < 2)
        return;
    lines_ = lines;
    if (!list_)
        listLines();
    describe();
}

void InAppNotificationBannerController::relist(const GatheredLines& lines) {
    if (lines.kept().empty())
        return;
    lines_ = lines;
    if (!list_) {
        listLines();
    } else {
        list_->setPlainText(lines_.joined(moreLinesText(language_, lines_.dropped())));
        letGoBlocks_ = lines_.kept().front().count(QLatin1Char('\n')) + 1;
    }
    describe();
}

int InAppNotificationBannerController::lineAt(const QPoint& at) const {
    const QTextCursor cursor = list_->cursorForPosition(at);
    // Below the last line the nearest place is still on it.
    if (at.y() > list_->cursorRect(cursor).bottom())
        return -1;
    const int block = cursor.blockNumber();
    int first = 0;
    int index = 0;
    for (const QString& line : lines_.kept()) {
        first += int(line.count(QLatin1Char('\n'))) + 1;
        if (block < first)
            return index;
        ++index;
    }
    return -1;
}

void InAppNotificationBannerController::describe() {
    setAccessibleDescription(fromStd(notification_.subtitle) + QLatin1Char('\n') +
                             lines_.joined(moreLinesText(language_, lines_.dropped())));
}

void InAppNotificationBannerController::appendToList(const QString& line, bool oldestLetGo) {
    // The document is edited where it changes, never written again whole: the oldest line's blocks
    // leave from the top, the new line goes in above "and N more" (the last block once any left).
    QScrollBar* bar = list_->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    QTextDocument* document = list_->document();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    const QString more = moreLinesText(language_, lines_.dropped());
    if (oldestLetGo) {
        cursor.movePosition(QTextCursor::Start);
        const qsizetype blocks = letGoBlocks_;
        for (qsizetype n = 0; n < blocks; ++n)
            cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        letGoBlocks_ = lines_.kept().front().count(QLatin1Char('\n')) + 1;
    }
    if (lines_.dropped() == 0) {
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QLatin1Char('\n') + line);
    } else if (oldestLetGo && lines_.dropped() == 1) { // the first let go: "and 1 more" starts
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QLatin1Char('\n') + line + QLatin1Char('\n') + more);
    } else {
        cursor.setPosition(document->lastBlock().position());
        cursor.insertText(line + QLatin1Char('\n'));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.insertText(more);
    }
    cursor.endEditBlock();
    if (atBottom)
        bar->setValue(bar->maximum());
}

void InAppNotificationBannerController::listLines() {
    // Every line whole, wrapped, oldest first; the banner grows to a few lines and scrolls beyond.
    const QFont textFont = informativeText_->font();
    list_ = new QPlainTextEdit(this);
    list_->setObjectName(QStringLiteral("bannerLinesList"));
    list_->setReadOnly(true);
    list_->setTextInteractionFlags(Qt::NoTextInteraction);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setFont(textFont);
    list_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->document()->setDocumentMargin(0);
    // A plain text document neither mirrors its alignment nor takes the window's direction: a
    // right-to-left language would see its lines flush left, and one opening with "#600360" read
    // left to right.
    QTextOption option = list_->document()->defaultTextOption();
    option.setTextDirection(list_->layoutDirection());
    option.setAlignment(QStyle::visualAlignment(list_->layoutDirection(), Qt::AlignLeft));
    list_->document()->setDefaultTextOption(option);
    list_->setUndoRedoEnabled(false); // edited as lines join, never undone: no history to grow
    list_->viewport()->setAutoFillBackground(false);
    list_->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: transparent; color: %1; }").arg(kTextColour.name()));
    list_->viewport()->installEventFilter(this);
    list_->setPlainText(lines_.joined(moreLinesText(language_, lines_.dropped())));
    letGoBlocks_ = lines_.kept().front().count(QLatin1Char('\n')) + 1;
    informativeText_->hide();

    const int listHeight = QFontMetrics(textFont).lineSpacing() * kListedLines + 4;
    const int height =
        std::max(qRound(layout_.height), qRound(layout_.informative.y) + listHeight + qRound(kBannerPadding));
    for (BannerRect* frame : {&layout_.start, &layout_.shown, &layout_.end})
        frame->height = height;
    layout_.height = height;
    layout_.informative.height = listHeight;
    list_->setGeometry(toRect(layout_.informative));
    list_->show();
    resize(width(), height);
    list_->verticalScrollBar()->setValue(list_->verticalScrollBar()->maximum());
    Q_EMIT grew();
}

void InAppNotificationBannerController::placeAt(double offset) {
    const double by = offset - place_;
    if (by == 0)
        return;
    place_ = offset;
    layout_ = lowered(layout_, by);
    switch (phase_) {
    case Phase::Prepared:
        setGeometry(toRect(layout_.start));
        return;
    case Phase::Showing: // on its way to the new place instead
        animateTo(layout_.shown, 1.0, kShowMs);
        return;
    case Phase::Shown:
        move(qRound(layout_.shown.x), qRound(layout_.shown.y));
        return;
    case Phase::Hiding:
    case Phase::Closed:
        return;
    }
}

bool InAppNotificationBannerController::eventFilter(QObject* watched, QEvent* event) {
    // A click on the list is a click on the banner, or on the banner its line stands for; taken
    // here, or it would reach the banner as a second click.
    if (list_ && watched == list_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            Q_EMIT clicked(lineAt(mouse->position().toPoint()));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void InAppNotificationBannerController::presentBanner() {
    if (phase_ != Phase::Prepared)
        return;
    phase_ = Phase::Showing;
    setGeometry(toRect(layout_.start));
    show();
    raise();
    animateTo(layout_.shown, 1.0, kShowMs);
}

void InAppNotificationBannerController::dismissBanner() {
    switch (phase_) {
    case Phase::Prepared:
        phase_ = Phase::Closed;
        close();
        Q_EMIT closed();
        return;
    case Phase::Showing:
        dismissPending_ = true; // leaves as soon as it is in place
        return;
    case Phase::Shown:
        phase_ = Phase::Hiding;
        animateTo(layout_.end, 0.0, kHideMs);
        return;
    case Phase::Hiding:
    case Phase::Closed:
        return;
    }
}

void InAppNotificationBannerController::closeNow() {
    if (phase_ == Phase::Closed)
        return;
    delete animation_;
    animation_ = nullptr;
    phase_ = Phase::Closed;
    close();
    Q_EMIT closed();
}

void InAppNotificationBannerController::animateTo(const BannerRect& frame, double opacity, int durationMs) {
    delete animation_;
    animation_ = new QParallelAnimationGroup(this);
    auto* fade = new QPropertyAnimation(this, "fade", animation_);
    fade->setEndValue(opacity);
    auto* move = new QPropertyAnimation(this, "pos", animation_);
    move->setEndValue(QPoint(qRound(frame.x), qRound(frame.y)));
    for (QPropertyAnimation* a : {fade, move}) {
        a->setDuration(durationMs);
        a->setEasingCurve(QEasingCurve::InOutQuad);
        animation_->addAnimation(a);
    }
    connect(animation_, &QParallelAnimationGroup::finished, this,
            &InAppNotificationBannerController::animationEnded);
    animation_->start();
}

void InAppNotificationBannerController::animationEnded() {
    if (phase_ == Phase::Showing) {
        phase_ = Phase::Shown;
        Q_EMIT presented();
        if (dismissPending_)
            dismissBanner();
    } else if (phase_ == Phase::Hiding) {
        phase_ = Phase::Closed;
        close();
        Q_EMIT closed();
    }
}

void InAppNotificationBannerController::setFade(double value) {
    fade_ = value;
    // Platforms without window opacity (offscreen, minimal) show the banner without fading.
    static const bool supported = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                                  QGuiApplication::platformName() != QLatin1String("minimal");
    if (supported)
        setWindowOpacity(value);
}

void InAppNotificationBannerController::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, QColor::fromRgbF(0.975f, 0.975f, 0.975f, 0.95f));
    gradient.setColorAt(1.0, QColor::fromRgbF(0.82f, 0.82f, 0.82f, 0.95f));
    painter.fillPath(path, gradient);
    painter.setPen(QColor(0, 0, 0, 40));
    painter.drawPath(path);
}

void InAppNotificationBannerController::mouseReleaseEvent(QMouseEvent* event) {
    // Without a list its one line is all it says.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked(list_ ? -1 : 0);
}

InAppNotificationCenter::InAppNotificationCenter(const Language& language, SoundNotification& sounds,
                                                 QObject* parent)
    : QObject(parent), language_(language), sounds_(sounds) {}

InAppNotificationCenter::~InAppNotificationCenter() {
    for (const auto& banner : banners_)
        delete banner.data();
}

InAppNotificationBannerController*
InAppNotificationCenter::deliverNotification(const interfaces::InAppNotification& notification) {
    return deliver(notification, nullptr);
}

InAppNotificationBannerController*
InAppNotificationCenter::deliver(const interfaces::InAppNotification& notification,
                                 const interfaces::InAppNotification* foldedFrom) {
    // A line joining a banner is silent: a burst sounds once.
    if (!held_) {
        const QList<InAppNotificationBannerController*> open = onScreen();
        for (auto it = open.crbegin(); it != open.crend(); ++it)
            if ((*it)->canGather(notification)) {
                (*it)->gather(notification);
                if (foldedFrom)
                    (*it)->folded().add(*foldedFrom);
                return *it;
            }
    }
    for (Waiting& waiting : waiting_)
        if (InAppNotificationBannerController::sameKind(waiting.first, notification)) {
            waiting.lines.add(listed(notification.informativeText));
            if (foldedFrom)
                waiting.folded.add(*foldedFrom);
            return nullptr;
        }
    // Every kind waiting must be told: one more joins the banner of many kinds instead of growing
    // the list without end.
    if (!foldedFrom && !notification.keptElsewhere && waiting_.size() >= kMaxWaiting)
        return deliver(folded(notification), &notification);
    sounds_.playSoundNamed(notification.soundName);
    Waiting next;
    next.first = notification;
    next.lines.add(listed(notification.informativeText));
    if (foldedFrom)
        next.folded.add(*foldedFrom);
    if (!held_ && waiting_.empty())
        if (InAppNotificationBannerController* shown = present(next))
            return shown;
    waiting_.push_back(std::move(next));
    trimWaiting();
    return nullptr;
}

interfaces::InAppNotification
InAppNotificationCenter::folded(const interfaces::InAppNotification& notification) const {
    interfaces::InAppNotification line;
    line.title = kApplicationName;
    line.subtitle = language_.text(texts::kMoreBanners).toStdString();
    const std::string& about = notification.subtitle.empty() ? notification.title : notification.subtitle;
    line.informativeText =
        about.empty() ? notification.informativeText : about + ": " + notification.informativeText;
    // Its button is gone with its window: the line acts as it, and says so.
    if (notification.hasActionButton) {
        const QString button = notification.actionButtonTitle.empty()
                                   ? language_.text(texts::kNotificationShow)
                                   : fromStd(notification.actionButtonTitle);
        line.informativeText = language_.text(texts::kClickThisLine)
                                   .replace(QStringLiteral("{0}"), fromStd(line.informativeText))
                                   .replace(QStringLiteral("{1}"), button)
                                   .toStdString();
    }
    line.soundName = std::string(interfaces::kInAppNotificationDefaultSound);
    line.feature.dismissDelayTime = -1; // what it lists must be read: it stays until closed
    return line;
}

GatheredLines InAppNotificationCenter::foldedLines(const FoldedBanners& folded) const {
    GatheredLines lines{InAppNotificationBannerController::kBannerLines};
    lines.countLetGo(folded.forgotten());
    for (const interfaces::InAppNotification& banner : folded.kept())
        lines.add(listed(this->folded(banner).informativeText));
    return lines;
}

void InAppNotificationCenter::trimWaiting() {
    // What a chat message or a notice says stays in its window: those go first, oldest first. The
    // others stay whatever their number; their kinds are few, each gathering its lines. The banner
    // that says how many went takes no place of theirs.
    const auto notShown = [](const Waiting& waiting) {
        return waiting.first.userInfo.contains(kNotShownCount);
    };
    std::int64_t dropped = 0;
    while (waiting_.size() -
               static_cast<std::size_t>(std::count_if(waiting_.begin(), waiting_.end(), notShown)) >
           kMaxHeld) {
        const auto kept = std::find_if(waiting_.begin(), waiting_.end(),
                                       [](const Waiting& waiting) { return waiting.first.keptElsewhere; });
        if (kept == waiting_.end())
            break;
        dropped += kept->lines.total();
        waiting_.erase(kept);
    }
    if (dropped > 0)
        tellNotShown(dropped, held_ ? dropped : 0);
}

void InAppNotificationCenter::tellNotShown(std::int64_t count, std::int64_t locked) {
    const auto add = [&](const interfaces::InAppNotification& told) {
        count += std::stoll(told.userInfo.at(kNotShownCount));
        if (const auto behindLock = told.userInfo.find(kNotShownLocked); behindLock != told.userInfo.end())
            locked += std::stoll(behindLock->second);
    };
    const auto said = std::find_if(waiting_.begin(), waiting_.end(), [](const Waiting& waiting) {
        return waiting.first.userInfo.contains(kNotShownCount);
    });
    if (said != waiting_.end())
        add(said->first);
    // It stays on screen until closed: one there takes the new count too, never a second banner.
    InAppNotificationBannerController* shown = nullptr;
    for (InAppNotificationBannerController* open : onScreen())
        if (!open->isLeaving() && open->notification().userInfo.contains(kNotShownCount)) {
            shown = open;
            add(open->notification());
        }
    // The reason said is the one that dropped them: the lock's bound, the screen's room, or both.
    const auto many = [&](std::string_view key) {
        return language_.text(key).replace(QStringLiteral("{0}"), QString::number(count)).toStdString();
    };
    interfaces::InAppNotification n;
    n.title = kApplicationName;
    n.subtitle = language_.text(texts::kBannersNotShown).toStdString();
    if (locked == 0)
        n.informativeText = count == 1 ? language_.text(texts::kOneBannerChatMessageOr).toStdString()
                                       : many(texts::kBannersChatMessagesNoticesNot);
    else if (locked == count)
        n.informativeText = count == 1 ? language_.text(texts::kOneBannerDroppedBehindLock).toStdString()
                                       : many(texts::kBannersDroppedBehindLock);
    else
        n.informativeText = many(texts::kBannersDroppedBehindLockAndForRoom);
    n.userInfo.insert_or_assign(kNotShownCount, std::to_string(count));
    n.userInfo.insert_or_assign(kNotShownLocked, std::to_string(locked));
    n.feature.dismissDelayTime = -1;
    Waiting told;
    told.first = n;
    told.lines.add(listed(n.informativeText));
    if (shown) {
        // Shown again at once with the total, in the place it leaves.
        if (said != waiting_.end())
            waiting_.erase(said);
        shown->closeNow();
        if (!present(told))
            waiting_.push_front(std::move(told));
        return;
    }
    if (said != waiting_.end())
        *said = std::move(told);
    else
        waiting_.push_back(std::move(told));
}

QList<InAppNotificationBannerController*> InAppNotificationCenter::onScreen() const {
    QList<InAppNotificationBannerController*> open;
    for (const auto& banner : banners_)
        if (banner && banner->phase() != InAppNotificationBannerController::Phase::Closed &&
            banner->phase() != InAppNotificationBannerController::Phase::Prepared)
            open.append(banner);
    return open;
}

InAppNotificationBannerController* InAppNotificationCenter::present(const Waiting& waiting) {
    auto banner = std::make_unique<InAppNotificationBannerController>(waiting.first, language_);
    banner->gatherAll(waiting.lines);
    banner->folded() = waiting.folded;
    std::vector<BannerSpan> taken;
    for (InAppNotificationBannerController* open : onScreen())
        taken.push_back({open->place(), open->bannerLayout().height});
    const std::optional<double> place = freeBannerPlace(taken, banner->bannerLayout().height, banner->room());
    if (!place)
        return nullptr;
    banner->placeAt(*place);
    InAppNotificationBannerController* shown = banner.release();
    banners_.removeAll(nullptr);
    banners_.append(shown);
    connect(shown, &InAppNotificationBannerController::presented, this,
            &InAppNotificationCenter::bannerPresented);
    connect(shown, &InAppNotificationBannerController::activated, this,
            [this, shown](int type) { activate(shown, type); });
    connect(shown, &InAppNotificationBannerController::clicked, this, [this, shown](int line) {
        const interfaces::InAppNotification* folded =
            line < 0 ? nullptr : shown->folded().of(shown->lines(), static_cast<std::size_t>(line));
        if (!folded)
            activate(shown, InAppNotificationBannerController::kClicked);
        else
            activate(shown,
                     folded->hasActionButton ? InAppNotificationBannerController::kActionButton
                                             : InAppNotificationBannerController::kClicked,
                     folded);
    });
    connect(shown, &InAppNotificationBannerController::grew, this, &InAppNotificationCenter::restack);
    // A place freed: the next waiting may take it, once the closing banner is gone.
    connect(shown, &InAppNotificationBannerController::closed, this, &InAppNotificationCenter::presentWaiting,
            Qt::QueuedConnection);
    shown->presentBannerDismissAfter(waiting.first.feature.dismissDelayTime);
    return shown;
}

void InAppNotificationCenter::presentWaiting() {
    banners_.removeAll(nullptr);
    while (!held_ && !waiting_.empty() && present(waiting_.front()))
        waiting_.pop_front();
}

void InAppNotificationCenter::restack() {
    const QList<InAppNotificationBannerController*> open = onScreen();
    std::vector<BannerSpan> spans;
    for (InAppNotificationBannerController* banner : open)
        spans.push_back({banner->place(), banner->bannerLayout().height});
    const std::vector<double> places = clearedBannerPlaces(spans);
    // One pushed past the screen's end would stand there unread: it leaves at once and waits again,
    // first, as it would had it come now; the first place keeps its banner whatever its height.
    std::vector<std::pair<double, InAppNotificationBannerController*>> pushedOut;
    for (qsizetype i = 0; i < open.size(); ++i) {
        InAppNotificationBannerController* banner = open.at(i);
        const double place = places.at(static_cast<std::size_t>(i));
        if (place > 0 && place + banner->bannerLayout().height > banner->room())
            pushedOut.emplace_back(place, banner);
        else
            banner->placeAt(place);
    }
    std::sort(pushedOut.begin(), pushedOut.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [place, banner] : pushedOut) {
        if (!banner->isLeaving())
            waiting_.push_front(Waiting{banner->notification(), banner->lines(), banner->folded()});
        banner->closeNow();
    }
    trimWaiting();
}

void InAppNotificationCenter::setHeld(bool held) {
    if (held == held_)
        return;
    held_ = held;
    if (held_) {
        // Those on screen in their time go at once and wait with those delivered meanwhile: the lock
        // must not take away a late answer, or a banner kept until acted on, before it was read.
        std::deque<Waiting> shownAgain;
        for (InAppNotificationBannerController* banner : onScreen())
            if (!banner->isLeaving())
                shownAgain.push_back(Waiting{banner->notification(), banner->lines(), banner->folded()});
        for (const auto& banner : QList(banners_))
            if (banner)
                banner->closeNow();
        waiting_.insert(waiting_.begin(), std::make_move_iterator(shownAgain.begin()),
                        std::make_move_iterator(shownAgain.end()));
        trimWaiting();
        return;
    }
    presentWaiting();
}

void InAppNotificationCenter::setDelegate(interfaces::ApplicationInterface::BannerActivation delegate) {
    delegate_ = std::move(delegate);
}

void InAppNotificationCenter::forgetAll() {
    waiting_.clear();
    for (const auto& banner : QList(banners_))
        if (banner)
            banner->closeNow();
}

void InAppNotificationCenter::dismissAllBanners() {
    for (const auto& banner : QList(banners_))
        if (banner)
            banner->dismissBanner();
}

void InAppNotificationCenter::withdraw(
    const std::function<bool(const interfaces::InAppNotification&)>& which) {
    std::erase_if(waiting_, [&](Waiting& waiting) {
        if (which(waiting.first))
            return true;
        if (!waiting.folded.remove(which))
            return false;
        if (waiting.folded.kept().empty())
            return true;
        waiting.lines = foldedLines(waiting.folded);
        waiting.first.informativeText = waiting.lines.kept().front().toStdString(); // shown alone
        return false;
    });
    for (const auto& banner : QList(banners_)) {
        if (!banner)
            continue;
        if (which(banner->notification())) {
            banner->dismissBanner();
        } else if (banner->folded().remove(which)) {
            if (banner->folded().kept().empty())
                banner->dismissBanner();
            else
                banner->relist(foldedLines(banner->folded()));
        }
    }
}

std::vector<interfaces::InAppNotification> InAppNotificationCenter::waitingNotifications() const {
    std::vector<interfaces::InAppNotification> notifications;
    for (const Waiting& waiting : waiting_)
        notifications.push_back(waiting.first);
    return notifications;
}

QList<InAppNotificationBannerController*> InAppNotificationCenter::banners() const {
    QList<InAppNotificationBannerController*> open;
    for (const auto& banner : banners_)
        if (banner && banner->phase() != InAppNotificationBannerController::Phase::Closed)
            open.append(banner);
    return open;
}

void InAppNotificationCenter::activate(InAppNotificationBannerController* banner, int type,
                                       const interfaces::InAppNotification* on) {
    Q_EMIT activatedWithType(type);
    if (!delegate_)
        return;
    const interfaces::InAppNotification notification = on ? *on : banner->notification();
    auto delegate = delegate_;
    delegate(notification);
    dismissAllBanners();
}

} // namespace tc::gui
