#include "gui/screens/screen_registry.h"

#include "gui/app/gui_context.h"
#include "gui/app/qt_shell.h"
#include "gui/app/theme_manager.h"
#include "gui/app/theme_table.h"
#include "gui/screens/offscreen_desktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QTextStream>

namespace tc::gui {

ScreenContext::~ScreenContext() {
    for (auto it = owned_.rbegin(); it != owned_.rend(); ++it)
        delete it->data();
    while (!kept_.empty())
        kept_.pop_back(); // last kept, first released
}

ClientModel& ScreenContext::session() {
    return *context_.clientModel();
}

bool ScreenContext::waitUntil(const std::function<bool()>& done, int timeoutMs) {
    return waitForEvents(done, timeoutMs);
}

namespace {

// Lets layouts, palette changes and repaints run to the end.
void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

} // namespace

int captureScreens(GuiContext& gui, QtShell& shell, const ScreenRegistry& registry, const QString& dir,
                   QTextStream& log, const QStringList& only, const QString& tag) {
    QDir().mkpath(dir);
    const std::int64_t themeBefore = gui.themes().getThemeForKey();
    int failures = 0;
    for (const Screen& screen : registry.screens()) {
        if (!only.isEmpty() && !only.contains(screen.name))
            continue;
        ScreenContext context(gui, shell);
        QPointer<QWidget> widget = context.own(screen.build(context));
        if (!widget) {
            log << "FAILED " << screen.name << ": nothing to capture\n";
            ++failures;
            continue;
        }
        widget->show();
        for (const auto& [theme, suffix] : {std::pair{kDarkTheme, "dark"}, std::pair{kLightTheme, "light"}}) {
            gui.themes().saveTheme(theme);
            settle();
            if (!widget) {
                log << "FAILED " << screen.name << ": the window went away\n";
                ++failures;
                break;
            }
            const QString file = QDir(dir).filePath(
                QStringLiteral("%1%2-%3.png").arg(screen.name, tag, QLatin1String(suffix)));
            if (!widget->grab().save(file)) {
                log << "FAILED " << screen.name << ": cannot write " << file << "\n";
                ++failures;
                break;
            }
            log << file << "\n";
        }
        settle();
    }
    gui.themes().saveTheme(themeBefore);
    log.flush();
    return failures;
}

} // namespace tc::gui
