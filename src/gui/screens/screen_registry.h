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
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
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

// Builds each screen (or those whose name is in `only`, when not empty), captures it in the dark and
// the light theme into `dir` as <name><tag>-dark.png and -light.png, and reports each file on `log`.
// Returns the number of screens that could not be captured.
int captureScreens(GuiContext& context, QtShell& shell, const ScreenRegistry& registry, const QString& dir,
                   QTextStream& log, const QStringList& only = {}, const QString& tag = {});

} // namespace tc::gui
