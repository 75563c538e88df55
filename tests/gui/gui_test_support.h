#pragma once
// Shared helpers of the window tests.
#include "gui/app/gui_context.h"
#include "gui/app/qt_shell.h"
#include "platform/log.h"
#include "platform/user_defaults.h"
#include "support/log_capture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QColor>
#include <QFile>
#include <QGlyphRun>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QRectF>
#include <QTest>
#include <QTextLayout>
#include <QWidget>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace guitest {

// The limit of every wait for the screen: generous for a loaded machine running many tests in one
// process (Qt's own waits give up after 5 s). tools/check_waits.py holds the tests to it.
inline constexpr int kWaitLimitMs = 15000;

// Runs the event loop until `done` (true) or the limit (false).
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = kWaitLimitMs) {
    return QTest::qWaitFor(done, timeoutMs);
}

// Runs the event loop for `ms`, for a test that checks that something does not come and has no
// event to wait on: `why` says what would have come. Never a stand-in for a wait on what does come
// (tools/check_waits.py holds settles to this limit and to a reason).
inline constexpr int kSettleLimitMs = 500;
inline void settle(int ms, const char* why) {
    static_cast<void>(why);
    QTest::qWait(std::min(ms, kSettleLimitMs));
}

// Until the window is the active one, asking for it again while it is not: an alert closed or a
// window shown just before may take the activation back after the first request (a test of the
// ticket waited 15 s in vain so, on a loaded machine).
inline bool waitForActive(QWidget* window) {
    return waitFor([window] {
        if (QApplication::activeWindow() == window && window->isActiveWindow())
            return true;
        window->activateWindow();
        return false;
    });
}
// Keys go where the window system sends them: to the application's focus widget, which the test
// gives first as a trader would (a click into a field, Tab, or the window's own opening focus). A
// key sent straight to a child it picked passes by the widget that has the key, and its filters (a
// combo box holds the focus of its line edit and hands keys on past the line edit's filters).

// A click into `widget` (at its centre, or `at`), its window brought forward first as the trader's
// own click would: true once the focus is on it, or on the widget that holds its focus (a combo box
// holds its line edit's, a table its viewport's). A window that comes forward between the activation
// and the click (the offscreen platform activates every banner it shows) takes the activation: the
// window is brought forward and clicked again, as the trader would.
inline bool clickInto(QWidget* widget, QPoint at = {}) {
    QWidget* holder = widget;
    while (holder->focusProxy())
        holder = holder->focusProxy();
    QWidget* window = widget->window();
    bool clicked = false;
    return waitFor([&] {
        QWidget* focused = QApplication::focusWidget();
        if (clicked && focused &&
            (focused == holder || widget->isAncestorOf(focused) ||
             (!focused->isWindow() && focused->isAncestorOf(widget))))
            return true;
        // An open popup (a menu, a panel under its button) is never the active window: it is
        // forward while it shows.
        const bool popup = window->windowType() == Qt::Popup;
        if (!window->isActiveWindow() || (!popup && QApplication::activeWindow() != window)) {
            window->activateWindow();
            clicked = false;
        } else if (!clicked) {
            QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
            clicked = true;
        }
        return false;
    });
}
// Tab pressed at the focus until it reaches `target`, as a trader reaches a button from a field;
// false when it does not within the window's controls.
inline bool tabTo(const QWidget* target, int mostPresses = 40) {
    for (int i = 0; i < mostPresses; ++i) {
        QWidget* focused = QApplication::focusWidget();
        if (!focused)
            return false;
        if (focused == target)
            return true;
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    return QApplication::focusWidget() == target;
}
// Where the window system sends a key: a widget that grabbed the keyboard, else while a popup is
// open (a menu, a combo box's list) the popup's own focus widget or, when it has none (a menu), the
// popup, else the focus widget.
inline QWidget* keyTarget() {
    if (QWidget* grabber = QWidget::keyboardGrabber())
        return grabber;
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    return QApplication::focusWidget();
}
// A key pressed and released where the window system sends it; a failure when nothing has the focus.
inline void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focused = keyTarget();
    ASSERT_NE(focused, nullptr) << "no widget has the focus for the key";
    QTest::keyClick(focused, key, modifiers);
}
// Text typed where the window system sends it, key by key.
inline void typeKeys(const QString& text) {
    QWidget* focused = keyTarget();
    ASSERT_NE(focused, nullptr) << "no widget has the focus for the text";
    QTest::keyClicks(focused, text);
}
// Clicks into the field and types `text` over all it holds (Ctrl+A, as a trader selects it).
inline void typeOver(QWidget* field, const QString& text) {
    ASSERT_TRUE(clickInto(field));
    pressKey(Qt::Key_A, Qt::ControlModifier);
    typeKeys(text);
}
// Until the focus is in `window`: its own opening focus, or back from an alert that closed on it.
// The offscreen platform activates every banner it shows, though a banner takes no focus: the window
// system a trader has leaves the activation where it was, so the window is brought back forward.
inline bool focusIn(QWidget* window) {
    return waitFor([window] {
        const QWidget* focused = QApplication::focusWidget();
        if (focused && focused->window() == window)
            return true;
        const QWidget* active = QApplication::activeWindow();
        if (window->isVisible() && active && active->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus))
            window->activateWindow();
        return false;
    });
}
// The alert showing on `window`, or nullptr.
inline QMessageBox* alertShowingOn(const QWidget* window) {
    for (QMessageBox* box : window->findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly))
        if (box->isVisible())
            return box;
    return nullptr;
}
// Escape at the focus in `window`, which holds typed text, then Escape again on the question it
// asks: the question has `keep` ("Keep Editing") as its default, and the second Escape is that
// default, so the window stays as typed. (The offscreen platform gives the focus back to no window
// when an alert closes: the trader's next key goes where their next click puts it.)
inline ::testing::AssertionResult secondEscapeKeeps(QWidget* window, const QString& keep) {
    if (!focusIn(window))
        return ::testing::AssertionFailure() << "the focus is not in the window";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QMessageBox* ask = alertShowingOn(window);
    if (!ask)
        return ::testing::AssertionFailure() << "Escape asked nothing";
    if (!ask->defaultButton() || ask->defaultButton()->text() != keep)
        return ::testing::AssertionFailure() << "the question's default is not " << keep.toStdString();
    if (!focusIn(ask))
        return ::testing::AssertionFailure() << "the question never had the focus";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    if (!waitFor([&] { return !alertShowingOn(window); }))
        return ::testing::AssertionFailure() << "the second Escape left the question open";
    if (!window->isVisible())
        return ::testing::AssertionFailure() << "the second Escape dropped what was typed";
    return ::testing::AssertionSuccess();
}
// A click into `field`, Escape, then the question's `discard` button clicked: true once the window
// is gone.
inline bool escapeAndDiscard(QWidget* field, const QString& discard) {
    QWidget* window = field->window();
    if (!clickInto(field))
        return false;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QMessageBox* ask = alertShowingOn(window);
    if (!ask)
        return false;
    for (QAbstractButton* button : ask->buttons())
        if (button->text() == discard)
            QTest::mouseClick(button, Qt::LeftButton);
    return waitFor([window] { return !window->isVisible(); });
}
// Types `text` over what the field holds, as a trader selecting it all does, and leaves with Tab.
inline void retype(QLineEdit* field, const QString& text) {
    typeOver(field, text);
    pressKey(Qt::Key_Tab);
}

// Until the window is shown on the screen, within the same limit.
inline bool waitForExposed(QWidget* window) {
    return QTest::qWaitForWindowExposed(window, kWaitLimitMs);
}

using LogCapture = tc::testing_support::LogCapture;

// The first and last columns of an image where some pixel is `ink`; first > last when none is.
inline std::pair<int, int> columnsWhere(const QImage& image, const std::function<bool(const QColor&)>& ink) {
    std::pair<int, int> span{image.width(), -1};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (ink(image.pixelColor(x, y)))
                span = {std::min(span.first, x), std::max(span.second, x)};
    return span;
}

// What a screen reader does to a check box, radio or toggle button: its accessible toggle action
// (the button's state changes; no click). False when the button offers no such action.
inline bool accessibleToggle(QAbstractButton* button) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    QAccessibleActionInterface* actions = accessible ? accessible->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(QAccessibleActionInterface::toggleAction()))
        return false;
    actions->doAction(QAccessibleActionInterface::toggleAction());
    return true;
}

// The text of a PDF as pdftotext reads it (poppler-utils), in reading order; empty when it cannot.
// Started with posix_spawn, not QProcess: under ThreadSanitizer the child of QProcess's fork shares
// the test's memory and leaves the sanitizer's state of the test broken (it dies at its next thread).
// With `boxes`, pdftotext's -bbox listing of every word and its box instead of the laid-out text.
inline QString pdfText(const QString& path, bool boxes = false) {
    int out[2];
    if (::pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    QByteArray file = QFile::encodeName(path);
    char program[] = "pdftotext", layout[] = "-layout", bbox[] = "-bbox", toStdout[] = "-";
    char* argv[] = {program, boxes ? bbox : layout, file.data(), toStdout, nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    QByteArray text;
    char buffer[4096];
    while (spawned == 0) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(out[0]);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};
    return QString::fromUtf8(text);
}

// The words of a PDF with their boxes (points from the top left of their page), in reading order.
struct PdfWord {
    QString text;
    QRectF box;
};
inline std::vector<PdfWord> pdfWords(const QString& path) {
    std::vector<PdfWord> words;
    QXmlStreamReader xml(pdfText(path, true));
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("word")) {
            const auto at = [&](const char* name) {
                return xml.attributes().value(QLatin1String(name)).toDouble();
            };
            const QRectF box(QPointF(at("xMin"), at("yMin")), QPointF(at("xMax"), at("yMax")));
            words.push_back({xml.readElementText(), box});
        }
    return words;
}

// Where the characters [from, from + length) of a text stand as Qt lays it out on one line in
// `direction`, and whether they run right to left (where "<" shows mirrored).
inline std::pair<QRectF, bool> laidOut(const QString& text, const QFont& font, Qt::LayoutDirection direction,
                                       qsizetype from, qsizetype length) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setTextDirection(direction);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine().setLineWidth(10000);
    layout.endLayout();
    QRectF box;
    bool rightToLeft = false;
    for (const QGlyphRun& run : layout.glyphRuns(static_cast<int>(from), static_cast<int>(length))) {
        box |= run.boundingRect();
        rightToLeft = run.isRightToLeft();
    }
    return {box, rightToLeft};
}

// The program's context and shell over settings kept in memory; quitting is counted instead of done.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        context = std::make_unique<tc::gui::GuiContext>(*defaults);
        shell = std::make_unique<tc::gui::QtShell>(*context);
        shell->setTerminationHandler([this] { ++terminations; });
    }
    void TearDown() override {
        // Windows first: one closing as it goes still reads the context (its language, its theme).
        QList<QPointer<QWidget>> windows;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows << w;
        for (const auto& w : windows)
            delete w.data(); // a parent may already have taken its children along
        shell.reset();
        context.reset();
    }

    std::unique_ptr<tc::platform::UserDefaults> defaults = tc::platform::UserDefaults::inMemory();
    std::unique_ptr<tc::gui::GuiContext> context;
    std::unique_ptr<tc::gui::QtShell> shell;
    int terminations = 0;
};

} // namespace guitest
