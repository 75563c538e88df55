// Price charts, chart windows and pies over the demo session's data.
// Screenshot screens; the screen list (gui/screens/screen_list.cpp) calls registerChartsScreens().
#include "gui/screens/screen_registry.h"

#include "gui/app/gui_context.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/chart_analysis_view_controller.h"
#include "gui/charts/chart_controller.h"
#include "gui/charts/chart_window_controller.h"
#include "gui/charts/pie_chart_controller.h"
#include "gui/models/chart_model.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"
#include "model/account_figures.h"

#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>

#include <memory>

namespace tc::gui {
namespace {

// The price chart of the first watched instrument from the session's chart replies, in the theme in
// force; type 1 line, 2 OHLC bars, 3 candlesticks. With the crosshair held on the 25th visible bar.
QWidget* chart(ScreenContext& c, int type, bool crosshair) {
    auto source = std::make_shared<ChartModel>(c.session());
    c.keep(source);
    auto* view = c.own(new ChartController(*source));
    view->followTick(&c.session());
    view->resize(900, 520);
    view->setSeriesTitles(c.context().text(texts::kBid), c.context().text(texts::kAsk));
    view->applyChartTheme(static_cast<int>(c.context().themes().getThemeForKey()));
    QObject::connect(&c.context().themes(), &ThemeManager::themeChanged, view,
                     [view](std::int64_t theme) { view->applyChartTheme(static_cast<int>(theme)); });
    const std::string code = c.session().client().watchList().front();
    view->setValue(QString::fromStdString(code), QStringLiteral("1#%1").arg(type));
    view->show();
    c.waitUntil([view] { return !view->chart().bars().empty(); }, 15000);
    if (crosshair) {
        view->crosshairToggleSelection();
        GraphView& graph = view->graph();
        const PlotSpace& space = graph.defaultPlotSpace();
        const QPointF at =
            space.viewPoint(view->chart().viewport().from() + 24, space.yRange().location) - QPointF(0, 40);
        QMouseEvent press(QEvent::MouseButtonPress, at, graph.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&graph, &press);
    }
    return view;
}

// A chart window on the first watched instrument with the SMA, the Bollinger bands and MACD shown,
// as `type` (1 line, 2 OHLC bars, 3 candlesticks); with the analysis panel open when asked, and
// with some of its fields refused.
QWidget* chartWindow(ScreenContext& c, int type, bool panel, bool refused = false) {
    auto* window = c.own(new ChartWindowController(c.context()));
    window->setAttribute(Qt::WA_DeleteOnClose, false); // the screenshot tool deletes it
    window->resize(1100, 680);
    window->show();
    window->NeedReload();
    ChartController& chart = window->chartController();
    c.waitUntil([&chart] { return !chart.chart().bars().empty(); }, 15000);
    window->ChartTypeControlSelected(type - 1);
    ChartAnalysisViewController& studies = window->analysisPanel();
    for (auto study :
         {tc::charts::Study::SimpleMovingAverage, tc::charts::Study::BollingerBands, tc::charts::Study::Macd})
        studies.checkBox(study)->setChecked(true);
    if (refused) {
        using tc::charts::Study;
        studies.field(Study::ExponentialMovingAverage, 0)->setText(QString::number(99999));
        studies.checkBox(Study::ExponentialMovingAverage)->setChecked(true);
        studies.field(Study::RateOfChange, 0)->setText(QStringLiteral("1,5"));
        studies.field(Study::StochasticOscillator, 0)->setText(QStringLiteral("150"));
        studies.field(Study::StochasticOscillator, 1)->setText(QStringLiteral("60"));
        studies.checkBox(Study::StochasticOscillator)->setChecked(true);
        studies.recheck();
    }
    if (!panel)
        return window;
    window->analysisButtonClicked();
    c.waitUntil([window] { return window->analysisPopup()->isVisible(); });
    return window->analysisPopup();
}

// The margin pie of the demo's first account: the session's hedged figures per instrument.
QWidget* pie(ScreenContext& c) {
    interfaces::Client& client = c.session().client();
    const std::int32_t accountId = client.queries().getAccountCollection().front()->AccountId;
    client.setCurrentAccount(accountId);
    QStringList titles;
    QList<double> values;
    for (const auto& slice : accountPieSlices(client.model(), client.queries().getOpenOrderCollection(),
                                              accountId, PieMode::Margin))
        titles << QString::fromStdString(slice.title), values << slice.value;
    auto* view = c.own(new PieChartController);
    view->resize(420, 260);
    view->applyTheme(static_cast<int>(c.context().themes().getThemeForKey()));
    QObject::connect(&c.context().themes(), &ThemeManager::themeChanged, view,
                     [view](std::int64_t theme) { view->applyTheme(static_cast<int>(theme)); });
    view->titleLabel().hide(); // its owner (the account pie) writes it
    view->loadChart(titles, values);
    view->show();
    return view;
}

// A pie with nothing to show, as the statement's settled pie of a period without settlements.
QWidget* emptyPie(ScreenContext& c) {
    auto* view = c.own(new PieChartController);
    view->resize(420, 260);
    view->applyTheme(static_cast<int>(c.context().themes().getThemeForKey()));
    QObject::connect(&c.context().themes(), &ThemeManager::themeChanged, view,
                     [view](std::int64_t theme) { view->applyTheme(static_cast<int>(theme)); });
    view->titleLabel().setText(c.context().text(texts::kSettledPL));
    view->setEmptyText(c.context().text(texts::kNoSettledPositionsPeriod));
    view->loadChart({}, {});
    view->show();
    return view;
}

} // namespace

void registerChartsScreens(ScreenRegistry& r) {
    r.add("chart-line", [](ScreenContext& c) { return chart(c, 1, false); });
    r.add("chart-ohlc", [](ScreenContext& c) { return chart(c, 2, false); });
    r.add("chart-candle", [](ScreenContext& c) { return chart(c, 3, false); });
    r.add("chart-crosshair", [](ScreenContext& c) { return chart(c, 3, true); });
    r.add("pie", pie);
    r.add("pie-empty", emptyPie);
    r.add("chart-window-line", [](ScreenContext& c) { return chartWindow(c, 1, false); });
    r.add("chart-window-ohlc", [](ScreenContext& c) { return chartWindow(c, 2, false); });
    r.add("chart-window-candle", [](ScreenContext& c) { return chartWindow(c, 3, false); });
    r.add("chart-analysis", [](ScreenContext& c) { return chartWindow(c, 3, true); });
    r.add("chart-analysis-refused", [](ScreenContext& c) { return chartWindow(c, 3, true, true); });
}

} // namespace tc::gui
