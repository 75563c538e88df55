#pragma once
// The screenshot tool's list of screens: every window and sheet of the program, each built in a
// state worth looking at. `make screenshots` renders each one offscreen in both themes to
// build/screenshots/<name>-dark.png and <name>-light.png, signed in as the demo user to the
// in-process test server, so windows show live data (ScreenContext::session()).
//
// A new window adds one line to its folder's screens.cpp (registerChatScreens() in gui/chat/...):
//     registry.add("order-ticket", [](ScreenContext& c) { ...; return window; });
// The builder returns the widget to capture, shown and settled; it is deleted after the capture,
// and so is everything else the builder hands to ScreenContext::own() (owners of sheets, sessions).
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTextStream;

namespace tc::gui {
class ClientModel;
class GuiContext;
class QtShell;
} // namespace tc::gui

namespace tc::gui {

class ScreenContext {
public:
    ScreenContext(GuiContext& context, QtShell& shell) : context_(context), shell_(shell) {}
    ~ScreenContext();
    ScreenContext(const ScreenContext&) = delete;
    ScreenContext& operator=(const ScreenContext&) = delete;

    GuiContext& context() { return context_; }
    // The demo user's session, signed in and loaded.
    ClientModel& session();
    QtShell& shell() { return shell_; }
    // Deleted once the screen has been captured.
    template <typename W>
    W* own(W* widget) {
        owned_.emplace_back(widget);
        return widget;
    }
    // Keeps anything else the screen needs (a test server, a session) until it has been captured.
    void keep(std::shared_ptr<void> anything) { kept_.push_back(std::move(anything)); }
    // Runs the event loop until `done` answers true (true) or the time is up (false).
    bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
    // Runs the event loop until the feed has moved the quote of every instrument named (true), or
    // the time is up (false): the moves a window then shows carry their arrows.
    bool waitForQuoteMoves(const std::vector<std::string>& codes, int timeoutMs);

private:
    GuiContext& context_;
    QtShell& shell_;
    std::vector<QPointer<QWidget>> owned_;
    std::vector<std::shared_ptr<void>> kept_; // released after the widgets
};

using ScreenBuilder = std::function<QWidget*(ScreenContext&)>;

struct Screen {
    QString name;
    ScreenBuilder build;
};

class ScreenRegistry {
public:
    void add(const QString& name, ScreenBuilder build) { screens_.push_back({name, std::move(build)}); }
    const std::vector<Screen>& screens() const { return screens_; }

private:
    std::vector<Screen> screens_;
};

// Every screen of the program: each feature folder's screens, in a fixed order.
void registerScreens(ScreenRegistry& registry);
void registerAppScreens(ScreenRegistry& registry);
void registerChartsScreens(ScreenRegistry& registry);
void registerChatScreens(ScreenRegistry& registry);
void registerFundingScreens(ScreenRegistry& registry);
void registerGridScreens(ScreenRegistry& registry);
void registerLoginScreens(ScreenRegistry& registry);
void registerMainScreens(ScreenRegistry& registry);
void registerMarketScreens(ScreenRegistry& registry);
void registerNewsScreens(ScreenRegistry& registry);
void registerResourcesScreens(ScreenRegistry& registry);
void registerSettingsScreens(ScreenRegistry& registry);
void registerStatementsScreens(ScreenRegistry& registry);
void registerTradingScreens(ScreenRegistry& registry);

// Which screens a walk builds, in which languages and at which font sizes.
struct ScreenWalk {
    QStringList only;                    // the screens' names; empty: every screen
    std::vector<std::int64_t> languages; // each in turn; empty: the one selected
    // The board's and the grids' font size, each in turn, as the settings store it; empty: as stored.
    // After the first size, only the screens showing a table in that size are built again: no
    // other screen changes with it.
    std::vector<std::int64_t> fontSizes;
    // Languages built at the first font size only.
    std::vector<std::int64_t> firstSizeOnly;
    // Each screen in every language before the next screen, instead of every screen in a language.
    bool screenByScreen = false;
    // The layout settled before the visit.
    bool settle = true;
    // Told as each font size's turn begins.
    std::function<void(std::int64_t size)> atFontSize;
};

// A screen built and shown in one language at one font size.
struct ShownScreen {
    const Screen& screen;
    std::int64_t language;
    QString folder;      // the language's folder: "en", "ar", ...
    QWidget* widget;     // null when the builder gave nothing
    QElapsedTimer clock; // started as the build began
};

// Builds each screen of the walk in turn, shows it, lets its layout settle and hands it to `visit`;
// deletes it (and all it owns) once `visit` returns. Selects the languages as it goes and puts the
// one selected before back at the end.
void walkScreens(GuiContext& context, QtShell& shell, const ScreenRegistry& registry, const ScreenWalk& walk,
                 const std::function<void(const ShownScreen&)>& visit);

// Captures each screen of the walk in the dark and the light theme into `dir` as <name>-dark.png and
// -light.png (<name>-<folder>-dark.png when the walk names languages), and reports each file on
// `log`. Returns the number of screens that could not be captured.
int captureScreens(GuiContext& context, QtShell& shell, const ScreenRegistry& registry,
                   const ScreenWalk& walk, const QString& dir, QTextStream& log);

} // namespace tc::gui
