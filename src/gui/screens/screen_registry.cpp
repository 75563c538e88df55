#include "gui/screens/screen_registry.h"

#include "gui/app/font_sizes.h"
#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/qt_shell.h"
#include "gui/app/theme_manager.h"
#include "gui/app/theme_table.h"
#include "gui/controls/filled_grid_table_view.h"
#include "gui/grid/grid_cells.h"
#include "gui/models/client_model.h"
#include "gui/screens/layout_check.h"
#include "gui/screens/offscreen_desktop.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "model/text/language_string.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QTextStream>

#include <algorithm>

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

bool ScreenContext::waitForQuoteMoves(const std::vector<std::string>& codes, int timeoutMs) {
    const SessionModel& model = session().client().model();
    const auto quotes = [&] {
        std::vector<std::pair<platform::CompactDecimal, platform::CompactDecimal>> now;
        for (const std::string& code : codes) {
            const ItemDetails* item = instrumentOf(model, code);
            now.emplace_back(item ? item->Bid : platform::CompactDecimal(),
                             item ? item->Ask : platform::CompactDecimal());
        }
        return now;
    };
    const auto before = quotes();
    return waitUntil(
        [&] {
            const auto now = quotes();
            for (std::size_t i = 0; i < now.size(); ++i)
                if (now[i] == before[i])
                    return false;
            return true;
        },
        timeoutMs);
}

namespace {

// Lets layouts, palette changes and repaints run to the end.
void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

bool showsChosenFontSize(const QWidget* widget) {
    const auto tables = widget->findChildren<const FilledGridTableView*>();
    return std::any_of(tables.begin(), tables.end(),
                       [](const FilledGridTableView* table) { return table->hasCellFont(); });
}

} // namespace

void walkScreens(GuiContext& gui, QtShell& shell, const ScreenRegistry& registry, const ScreenWalk& walk,
                 const std::function<void(const ShownScreen&)>& visit) {
    const std::int64_t languageBefore = gui.language().selected();
    const std::vector<std::int64_t> languages =
        walk.languages.empty() ? std::vector<std::int64_t>{languageBefore} : walk.languages;
    const std::vector<std::int64_t> sizes =
        walk.fontSizes.empty() ? std::vector<std::int64_t>{0} : walk.fontSizes;
    QStringList fontSized;
    const auto buildAndVisit = [&](const Screen& screen, std::int64_t language, bool firstSize) {
        if (!walk.languages.empty())
            gui.language().select(language);
        const QString folder = QString::fromLatin1(LanguageString::folderForLanguage(language));
        ShownScreen shown{screen, language, folder, nullptr, {}};
        shown.clock.start();
        ScreenContext context(gui, shell);
        QPointer<QWidget> widget = context.own(screen.build(context));
        if (widget) {
            widget->show();
            if (walk.settle)
                settleLayout();
            if (firstSize && !fontSized.contains(screen.name) && showsChosenFontSize(widget))
                fontSized.append(screen.name);
        }
        shown.widget = widget;
        visit(shown);
    };
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i] > 0)
            for (std::string_view key : {kWatchlistFontSizeKey, kPositionsFontSizeKey})
                PreferenceManager::saveFontSizeInfo(gui.defaults(), sizes[i], key);
        if (walk.atFontSize)
            walk.atFontSize(sizes[i]);
        const QStringList only = i == 0 ? walk.only : fontSized;
        if (i > 0 && only.isEmpty())
            break;
        std::vector<const Screen*> screens;
        for (const Screen& screen : registry.screens())
            if (only.isEmpty() || only.contains(screen.name))
                screens.push_back(&screen);
        std::vector<std::int64_t> inTurn = languages;
        if (i > 0)
            std::erase_if(inTurn, [&walk](std::int64_t language) {
                return std::find(walk.firstSizeOnly.begin(), walk.firstSizeOnly.end(), language) !=
                       walk.firstSizeOnly.end();
            });
        if (walk.screenByScreen) {
            for (const Screen* screen : screens)
                for (const std::int64_t language : inTurn)
                    buildAndVisit(*screen, language, i == 0);
        } else {
            for (const std::int64_t language : inTurn)
                for (const Screen* screen : screens)
                    buildAndVisit(*screen, language, i == 0);
        }
    }
    gui.language().select(languageBefore);
}

int captureScreens(GuiContext& gui, QtShell& shell, const ScreenRegistry& registry, const ScreenWalk& walk,
                   const QString& dir, QTextStream& log) {
    QDir().mkpath(dir);
    const std::int64_t themeBefore = gui.themes().getThemeForKey();
    int failures = 0;
    // Each screen is first painted in the theme it is captured in first.
    ScreenWalk unsettled = walk;
    unsettled.settle = false;
    walkScreens(gui, shell, registry, unsettled, [&](const ShownScreen& shown) {
        const QString& name = shown.screen.name;
        QPointer<QWidget> widget = shown.widget;
        if (!widget) {
            log << "FAILED " << name << ": nothing to capture\n";
            ++failures;
            return;
        }
        const QString tag = walk.languages.empty() ? QString() : QLatin1Char('-') + shown.folder;
        for (const auto& [theme, suffix] : {std::pair{kDarkTheme, "dark"}, std::pair{kLightTheme, "light"}}) {
            gui.themes().saveTheme(theme);
            settle();
            if (!widget) {
                log << "FAILED " << name << ": the window went away\n";
                ++failures;
                break;
            }
            const QString file =
                QDir(dir).filePath(QStringLiteral("%1%2-%3.png").arg(name, tag, QLatin1String(suffix)));
            if (!widget->grab().save(file)) {
                log << "FAILED " << name << ": cannot write " << file << "\n";
                ++failures;
                break;
            }
            log << file << "\n";
        }
        settle();
    });
    gui.themes().saveTheme(themeBefore);
    log.flush();
    return failures;
}

} // namespace tc::gui
