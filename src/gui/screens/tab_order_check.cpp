#include "gui/screens/tab_order_check.h"

#include "gui/screens/layout_check.h"
#include "gui/screens/screen_registry.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QTextStream>

#include <algorithm>

namespace tc::gui {
namespace {

// The most sections a date or time field steps through on Tab (date and time with seconds).
constexpr int kSections = 8;

// The control a widget belongs to: a combo box's or a number field's own line edit is the field.
QWidget* controlOf(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget())
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w))
            return w;
    return widget;
}

bool takesTab(const QWidget* w, const QWidget* window) {
    return w->window() == window && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
           !w->focusProxy();
}

// The controls Tab should reach: every one that takes Tab, once.
std::vector<QWidget*> expectedControls(QWidget* window) {
    std::vector<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>())
        if (takesTab(w, window)) {
            QWidget* control = controlOf(w);
            if (std::find(controls.begin(), controls.end(), control) == controls.end())
                controls.push_back(control);
        }
    return controls;
}

QRect rectIn(const QWidget* w, const QWidget* window) {
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

// The two panes, side by side or one above the other, that hold `a` and `b` apart: the children of
// their nearest common parent that each one lies in.
std::pair<const QWidget*, const QWidget*> panesApart(const QWidget* a, const QWidget* b) {
    std::vector<const QWidget*> up;
    for (const QWidget* w = a; w; w = w->parentWidget())
        up.push_back(w);
    const QWidget* below = b;
    for (const QWidget* w = b; w; below = w, w = w->parentWidget()) {
        const auto at = std::find(up.begin(), up.end(), w);
        if (at == up.end())
            continue;
        const QWidget* aside = at == up.begin() ? a : *(at - 1);
        return {aside, w == b ? b : below};
    }
    return {a, b};
}

// True when `b` comes after `a` in reading order.
bool readsAfter(const QWidget* a, const QWidget* b, const QWidget* window) {
    // A control holding others (a table with its row's fields) comes before them.
    if (a->isAncestorOf(b))
        return true;
    const auto [paneA, paneB] = panesApart(a, b);
    const QRect ra = rectIn(paneA, window), rb = rectIn(paneB, window);
    const int overlap = std::min(ra.bottom(), rb.bottom()) - std::max(ra.top(), rb.top());
    if (overlap * 2 > std::min(ra.height(), rb.height())) {
        const bool rightToLeft = window->layoutDirection() == Qt::RightToLeft;
        return rightToLeft ? rb.center().x() < ra.center().x() : rb.center().x() > ra.center().x();
    }
    return rb.center().y() > ra.center().y();
}

// The window's own focus widget: the one Tab moves on from, active window or not.
QWidget* focusedControl(QWidget* window) {
    QWidget* focus = window->focusWidget();
    return focus && focus->window() == window ? controlOf(focus) : nullptr;
}

void pressTab(QWidget* window) {
    QWidget* target = window->focusWidget();
    if (!target)
        target = window;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
    QCoreApplication::processEvents();
}

// Focuses the window and walks its chain once round: the controls in the order reached, and the
// faults met on the way (a control Tab does not leave, a focus that left the window).
std::vector<QWidget*> walk(QWidget* window, std::vector<TabFault>& faults) {
    window->activateWindow();
    QApplication::setActiveWindow(window);
    QCoreApplication::processEvents();
    std::vector<QWidget*> chain;
    QWidget* start = focusedControl(window);
    if (!start) {
        pressTab(window);
        start = focusedControl(window);
    }
    if (!start)
        return chain;
    const std::size_t controls = expectedControls(window).size();
    const std::size_t limit = controls * 2 + 4;
    chain.push_back(start);
    while (chain.size() <= limit && controls > 1) {
        QWidget* before = focusedControl(window);
        pressTab(window);
        QWidget* now = focusedControl(window);
        // A date field steps through its day, month and year first, and leaves after the last.
        for (int section = 0;
             now == before && now && qobject_cast<QDateTimeEdit*>(now) && section < kSections; ++section) {
            pressTab(window);
            now = focusedControl(window);
        }
        if (!now) {
            faults.push_back(
                {widgetPath(before, window), QStringLiteral("Tab takes the focus out of the window")});
            break;
        }
        if (now == before) {
            faults.push_back({widgetPath(now, window), QStringLiteral("Tab does not leave it")});
            break;
        }
        if (now == start)
            break;
        chain.push_back(now);
    }
    return chain;
}

} // namespace

QStringList tabChain(QWidget* window) {
    std::vector<TabFault> faults;
    QStringList names;
    for (QWidget* w : walk(window, faults))
        names << widgetPath(w, window);
    return names;
}

std::vector<TabFault> tabOrderFaults(QWidget* window) {
    std::vector<TabFault> faults;
    if (!window)
        return faults;
    const std::vector<QWidget*> chain = walk(window, faults);
    if (!faults.empty())
        return faults;
    for (QWidget* control : expectedControls(window))
        if (std::find(chain.begin(), chain.end(), control) == chain.end())
            faults.push_back({widgetPath(control, window), QStringLiteral("Tab never reaches it")});
    // Once round, the chain steps back up exactly once: from the last control to the first.
    std::vector<std::size_t> back;
    for (std::size_t i = 0; i < chain.size(); ++i) {
        QWidget* from = chain[i];
        QWidget* to = chain[(i + 1) % chain.size()];
        if (chain.size() > 1 && !readsAfter(from, to, window))
            back.push_back(i);
    }
    if (back.size() > 1) {
        // The longest step back is taken for the one from the end to the start.
        const auto rise = [&](std::size_t i) {
            return rectIn(chain[i], window).center().y() -
                   rectIn(chain[(i + 1) % chain.size()], window).center().y();
        };
        const std::size_t wrap = *std::max_element(
            back.begin(), back.end(), [&](std::size_t x, std::size_t y) { return rise(x) < rise(y); });
        for (std::size_t i : back)
            if (i != wrap)
                faults.push_back({widgetPath(chain[(i + 1) % chain.size()], window),
                                  QStringLiteral("reached after %1, which reads after it")
                                      .arg(widgetPath(chain[i], window))});
    }
    return faults;
}

void TabCheck::visit(const ShownScreen& shown) {
    const QString& name = shown.screen.name;
    if (!shown.widget) {
        log_ << "FAILED " << name << " [" << shown.folder << "]: nothing to walk\n";
        ++faults_;
        return;
    }
    QWidget* window = shown.widget->window();
    const std::vector<TabFault> found = tabOrderFaults(window);
    for (const TabFault& fault : found)
        log_ << "FAULT " << name << " [" << shown.folder << "] " << fault.widget << ": " << fault.detail
             << '\n';
    if (!found.empty())
        log_ << "  chain: " << tabChain(window).join(QStringLiteral(", ")) << '\n';
    faults_ += static_cast<int>(found.size());
    log_ << "checked tabs of " << name << " [" << shown.folder << "]\n";
    log_.flush();
}

} // namespace tc::gui
