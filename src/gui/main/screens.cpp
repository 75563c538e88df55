// The main window as it first opens and on its journal tab, and the about window.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerMainScreens().
#include "gui/screens/screen_registry.h"

#include "gui/app/app_delegate.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/charts/chart_controller.h"
#include "gui/charts/chart_view_controller.h"
#include "gui/charts/pie_chart_view_controller.h"
#include "gui/controls/grid_table.h"
#include "gui/grid/grid_pane.h"
#include "gui/main/about_window_controller.h"
#include "gui/main/main_window_controller.h"
#include "gui/models/client_model.h"

#include <QLabel>
#include <QTabWidget>

#include <algorithm>

namespace tc::gui {
namespace {

// A laptop's screen, 1600 by 1000 free of panels: the main window's first-run size there.
const QRect kFirstRunScreen(0, 0, 1600, 1000);

QWidget* about(ScreenContext& c) {
    AboutWindowController* window = c.context().guiObjects().getAboutWindowController();
    c.context().guiObjects().showAbout(nullptr);
    return window;
}

// The main window signed in as demo, as it first opens on a screen whose free room is `screen`.
QWidget* mainWindow(ScreenContext& c, const QRect& screen) {
    auto* window = c.own(new MainWindowController(c.context()));
    window->setUserName(QStringLiteral("demo"));
    fillScreen(window, screen);
    window->show();
    c.session().tickNow();
    GridTable* positions = window->gridTable(Grid::OpenPositions);
    auto* serverTime = window->findChild<QLabel*>(QStringLiteral("ServerTimeTextField"));
    // The demo's positions valued by the core's first refresh: neither the sign-in's zeros nor the
    // blank of figures not valued yet.
    auto* profit = window->findChild<QLabel*>(QStringLiteral("ProfitLossValueTextField"));
    c.waitUntil([positions, serverTime, profit] {
        const QString figure = profit->text();
        return positions->model()->rowCount() > 0 && !serverTime->text().isEmpty() &&
               figure != QStringLiteral(": 0.00") &&
               std::any_of(figure.begin(), figure.end(), [](QChar ch) { return ch.isDigit(); });
    });
    // The four slots' charts drawn, the account pie built.
    c.waitUntil(
        [window] {
            for (std::size_t i = 0; i < 4; ++i) {
                const ChartController* chart = window->chartSlot(i)->chartController();
                if (!chart || chart->chart().bars().empty())
                    return false;
            }
            return true;
        },
        15000);
    window->accountPie()->reloadData();
    return window;
}

QWidget* mainWindow(ScreenContext& c) {
    return mainWindow(c, kFirstRunScreen);
}

QWidget* journal(ScreenContext& c) {
    auto* window = static_cast<MainWindowController*>(mainWindow(c));
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("mainTabView"));
    tabs->setCurrentWidget(window->findChild<QWidget*>(QStringLiteral("journalTab")));
    c.waitUntil([window] { return window->journalTable()->model()->rowCount() > 0; });
    return window;
}

} // namespace

void registerMainScreens(ScreenRegistry& r) {
    r.add("main-window", [](ScreenContext& c) { return mainWindow(c); });
    r.add("main-window-wide", [](ScreenContext& c) { return mainWindow(c, QRect(0, 0, 1920, 1050)); });
    // The smallest screen the program opens on: the window within it, everything whole.
    r.add("main-window-small", [](ScreenContext& c) { return mainWindow(c, QRect(0, 0, 800, 600)); });
    r.add("about", about);
    r.add("journal", journal);
}

} // namespace tc::gui
