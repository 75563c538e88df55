// The chart windows, the main window's chart slots and account pie, and the advanced detail window,
// against the in-process test server signed in as demo.
#include "charts/chart_interval.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/charts/chart_analysis_view_controller.h"
#include "gui/charts/chart_controller.h"
#include "gui/charts/chart_view_controller.h"
#include "gui/charts/chart_window_controller.h"
#include "gui/charts/pie_chart_controller.h"
#include "gui/charts/pie_chart_view_controller.h"
#include "gui/grid/grid_cells.h"
#include "gui/main/main_window_controller.h"
#include "gui/market/advanced_detail_window_controller.h"
#include "gui/market/advanced_watchlist_table_controller.h"
#include "gui/market/detail_window_controller.h"
#include "gui/market/watchlist_table_controller.h"
#include "gui/models/client_model.h"
#include "gui/models/session_fixture.h"
#include "gui/plot/plot_theme.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_queries.h"
#include "platform/decimal.h"
#include "platform/user_defaults.h"
#include "support/temp_resources.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using guitest::waitFor;
using tc::charts::Study;
using namespace tc::gui;

class NoIdle : public IdleSource {
public:
    std::int64_t idleSeconds() override { return 0; }
};

// How many connections a signal of the session model has: each chart request and each window that
// follows the session holds one.
int receivers(const ClientModel& model, const QMetaMethod& signal) {
    struct Peek : QObject {
        static int of(const QObject& o, const QByteArray& s) {
            return static_cast<const Peek&>(o).receivers(s);
        }
    };
    return Peek::of(model, QByteArray("2") + signal.methodSignature());
}

class ChartWindowTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        ASSERT_TRUE(waitFor([&] {
            const auto watch = session->client().watchList();
            return !watch.empty() && session->client().model().ItemCollection.contains(watch.front());
        }));
        first = QString::fromStdString(session->client().watchList().front());
    }
    ChartWindowController* openWindow() {
        auto* window = new ChartWindowController(*context);
        window->resize(1000, 640);
        window->show();
        window->NeedReload();
        return window;
    }
    bool loaded(const ChartController& chart) {
        return waitFor([&] { return !chart.chart().bars().empty(); }, 15000);
    }
    int chartRequests() const { return server->stats().chartRequests; }

    QString first;
    NoIdle idle;
};

TEST_F(ChartWindowTest, TheChartButtonOpensAWindowOnTheFirstWatchedInstrumentInOneMinuteCandles) {
    auto* main = new MainWindowController(*context, &idle);
    main->show();
    QAction* button = main->findChild<QAction*>("actionChart");
    ASSERT_TRUE(button);
    EXPECT_TRUE(button->isEnabled());
    button->trigger();
    button->trigger();
    const auto windows = main->findChildren<ChartWindowController*>();
    ASSERT_EQ(windows.size(), 2) << "a new window for every press";
    ChartWindowController& window = *windows.front();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isModal());
    EXPECT_EQ(window.itemCode(), first);
    EXPECT_EQ(window.intervalIndex(), 1);
    EXPECT_EQ(window.chartTypeIndex(), 3);
    EXPECT_EQ(window.windowTitle(), first + ", M1");
    ChartController& chart = window.chartController();
    EXPECT_EQ(chart.chart().interval().code, 1);
    EXPECT_EQ(chart.chart().type(), tc::charts::ChartType::Candlestick);
    ASSERT_TRUE(loaded(chart));
    EXPECT_TRUE(chart.graph().plot("Candlestick Plot"));
    EXPECT_FALSE(window.lowerPaneShown());
    // The crosshair follows its button's state, however it changed.
    auto* crosshair = window.findChild<QAbstractButton*>("crosshairButton");
    ASSERT_TRUE(guitest::accessibleToggle(crosshair));
    EXPECT_TRUE(chart.crosshairMode());
    crosshair->setChecked(false);
    EXPECT_FALSE(chart.crosshairMode());
    QTest::mouseClick(crosshair, Qt::LeftButton);
    EXPECT_TRUE(chart.crosshairMode());
    delete main;
}

// In the light theme a new window's chart is light from the start, and so are the slots'.
TEST_F(ChartWindowTest, NewChartsStartInTheProgramsTheme) {
    context->themes().saveTheme(1);
    const QColor light = PlotTheme::named(1)->background;
    ChartWindowController* window = openWindow();
    ChartController& chart = window->chartController();
    EXPECT_EQ(chart.chartTheme(), 1);
    EXPECT_EQ(chart.graph().theme().background, light);
    ASSERT_TRUE(loaded(chart));
    EXPECT_EQ(chart.graph().theme().background, light) << "the bars' arrival keeps it";
    ChartViewController slot(*context);
    slot.setValue({first.toStdString(), 1, 3});
    slot.view();
    EXPECT_EQ(slot.chartController()->graph().theme().background, light);
    delete window;
    context->themes().saveTheme(0);
}

// The crosshair button on looks on in both themes: the pressed shade of a toggle alone was hard to
// tell from off, and in the dark theme not there at all.
TEST_F(ChartWindowTest, TheCrosshairButtonLooksOnWhileItIsOn) {
    ChartWindowController* window = openWindow();
    auto* button = window->findChild<QAbstractButton*>("crosshairButton");
    ASSERT_TRUE(button && button->isCheckable());
    for (const std::int64_t theme : {0, 1}) {
        context->themes().saveTheme(theme);
        const QImage off = button->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
        button->setChecked(true);
        const QImage on = button->grab().toImage().convertToFormat(QImage::Format_Grayscale8);
        button->setChecked(false);
        ASSERT_EQ(on.size(), off.size());
        int changed = 0; // pixels more than a faint shade apart
        for (int y = 0; y < on.height(); ++y)
            for (int x = 0; x < on.width(); ++x)
                changed += std::abs(qGray(on.pixel(x, y)) - qGray(off.pixel(x, y))) > 16 ? 1 : 0;
        EXPECT_GT(changed, on.width() * on.height() / 3) << "theme " << theme;
    }
    context->themes().saveTheme(0);
    delete window;
}

// A tile dragged by its face carries its instrument's code; dropped on a slot, that slot charts it.
TEST_F(ChartWindowTest, ATileDraggedOntoASlotChartsItsInstrumentThere) {
    auto* main = new MainWindowController(*context, &idle);
    main->show();
    auto* tabs = main->findChild<QTabWidget*>(QStringLiteral("watchlistTabView"));
    ASSERT_TRUE(tabs);
    tabs->setCurrentWidget(main->findChild<QWidget*>(QStringLiteral("advancedWatchlistTab")));
    AdvancedWatchlistTableController& tiles = *main->advancedWatchlist();
    ASSERT_TRUE(waitFor([&] { return tiles.tileCount() > 1 && !tiles.tile(1)->code().isEmpty(); }));
    AdvancedTableCell& tile = *tiles.tile(1);
    const QString code = tile.code();
    ASSERT_NE(code, first);

    // Pressed on its face (not a price button) and moved past the drag distance.
    const QPoint at = tile.symbolTextLabel->geometry().center();
    const auto send = [&](QEvent::Type type, QPoint point, Qt::MouseButtons buttons) {
        QMouseEvent event(type, point, tile.mapToGlobal(point), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&tile, &event);
    };
    send(QEvent::MouseButtonPress, at, Qt::LeftButton);
    send(QEvent::MouseMove, at + QPoint(QApplication::startDragDistance() + 10, 0), Qt::LeftButton);
    const auto* drag = tile.findChild<QDrag*>();
    ASSERT_TRUE(drag) << "the tile started a drag";
    ASSERT_TRUE(drag->mimeData());
    EXPECT_EQ(drag->mimeData()->text(), code);

    // What the drag carries, dropped on the third slot.
    auto* slot = main->findChild<QWidget*>(QStringLiteral("Chart3"));
    ASSERT_TRUE(slot);
    QMimeData carried;
    carried.setText(drag->mimeData()->text());
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &carried, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slot, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &carried, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slot, &drop);
    EXPECT_EQ(QString::fromStdString(main->chartSlot(2)->chartController()->chart().code()), code);
    EXPECT_EQ(QString::fromStdString(main->chartSlot(1)->chartController()->chart().code()), first);
    delete main;
}

TEST_F(ChartWindowTest, IntervalsRestartTheChartWhileATypeChangeAsksNothingAndKeepsTheStudies) {
    ChartWindowController* window = openWindow();
    ChartController& chart = window->chartController();
    ASSERT_TRUE(loaded(chart));

    window->IntervalItemSelected(7);
    EXPECT_EQ(window->windowTitle(), first + ", W1");
    EXPECT_EQ(chart.chart().interval().code, 8) << "W1 asks interval code 8";
    EXPECT_EQ(chart.chart().key(), tc::charts::chartKey(first.toStdString(), "W"));
    ASSERT_TRUE(loaded(chart));
    const std::size_t weeks = chart.chart().bars().size();

    ChartAnalysisViewController& panel = window->analysisPanel();
    panel.checkBox(Study::SimpleMovingAverage)->click();
    ASSERT_TRUE(chart.studies().shows(Study::SimpleMovingAverage));
    ASSERT_TRUE(chart.graph().plot("SMA"));
    const int before = chartRequests();
    window->ChartTypeControlSelected(1);
    EXPECT_EQ(chart.chart().type(), tc::charts::ChartType::Ohlc);
    EXPECT_TRUE(chart.graph().plot("OHLC Plot"));
    EXPECT_FALSE(chart.graph().plot("Candlestick Plot"));
    EXPECT_TRUE(chart.graph().plot("SMA")) << "the type change keeps the studies";
    EXPECT_TRUE(panel.checkBox(Study::SimpleMovingAverage)->isChecked());
    EXPECT_EQ(chart.chart().bars().size(), weeks);

    // A new interval asks once and starts again with the type chosen, without studies. Requests are
    // answered in order: once its reply is in, a request of the type change would have been counted.
    window->IntervalItemSelected(6);
    EXPECT_EQ(chart.chart().interval().code, 7);
    EXPECT_EQ(chart.chart().type(), tc::charts::ChartType::Ohlc);
    ASSERT_TRUE(waitFor([&] { return chartRequests() == before + 1 && !chart.chart().bars().empty(); }));
    EXPECT_EQ(chartRequests(), before + 1);
    EXPECT_FALSE(panel.checkBox(Study::SimpleMovingAverage)->isChecked()) << "unticked: no longer drawn";
    EXPECT_FALSE(chart.graph().plot("SMA"));
    EXPECT_FALSE(chart.liveUpdateFrozen());

    // Its own chart theme until the next instrument or interval, then the program's again.
    window->chartThemeMenuClicked(1);
    EXPECT_EQ(chart.chartTheme(), 1);
    window->IntervalItemSelected(0);
    EXPECT_EQ(chart.chartTheme(), static_cast<int>(context->themes().getThemeForKey()));

    // A watch list that changed since the choosers were filled starts again on its first instrument.
    auto watch = session->client().watchList();
    ASSERT_GE(watch.size(), 2u);
    std::swap(watch[0], watch[1]);
    session->client().setWatchList(watch);
    window->NeedReload();
    EXPECT_EQ(window->itemCode().toStdString(), watch.front());
    EXPECT_EQ(chart.chart().code(), watch.front());
    EXPECT_EQ(chart.chart().type(), tc::charts::ChartType::Candlestick);
    window->close();
}

// Prices stay put: a market order fills at the quote the client sees, and a quote the test sets
// is not moved on by the feed before the test looks.
class HeldPriceChartTest : public ChartWindowTest {
protected:
    void SetUp() override {
        holdPrices = true;
        ChartWindowTest::SetUp();
    }
};

TEST_F(HeldPriceChartTest, OscillatorsTakeTheLowerPaneOneAtATimeAndAnyStudyHoldsTheLiveBars) {
    ChartWindowController* window = openWindow();
    ChartController& chart = window->chartController();
    ASSERT_TRUE(loaded(chart));
    window->analysisButtonClicked();
    ASSERT_TRUE(window->analysisPopup() && window->analysisPopup()->isVisible());
    ChartAnalysisViewController& panel = window->analysisPanel();

    panel.checkBox(Study::SimpleMovingAverage)->click();
    panel.checkBox(Study::Macd)->click();
    EXPECT_TRUE(window->lowerPaneShown());
    EXPECT_TRUE(chart.indicatorGraph().plot("MACDLinePlot"));
    EXPECT_TRUE(chart.indicatorGraph().plot("MACDBarPlot"));
    // The RSI replaces MACD quietly: its box goes off, the lower graph changes.
    panel.checkBox(Study::RelativeStrengthIndex)->click();
    EXPECT_FALSE(panel.checkBox(Study::Macd)->isChecked());
    EXPECT_FALSE(chart.indicatorGraph().plot("MACDLinePlot"));
    EXPECT_TRUE(chart.indicatorGraph().plot("RSILinePlot"));
    const auto y = chart.indicatorGraph().defaultPlotSpace().yRange();
    EXPECT_GT(y.length, 0);
    EXPECT_GE(y.location, -1);
    EXPECT_LE(y.end(), 111) << "the RSI's range follows its values";
    panel.checkBox(Study::RelativeStrengthIndex)->click();
    panel.checkBox(Study::Macd)->click();
    ASSERT_TRUE(window->lowerPaneShown());

    // A quote away from the newest bar's close: nothing grows while a study is shown.
    const std::size_t bars = chart.chart().bars().size();
    const double close = chart.chart().bars().back().close;
    ASSERT_TRUE(server->setQuote(first.toStdString(), "1.20000", "1.20020"));
    ASSERT_TRUE(waitFor([&] {
        const auto* item = tc::gui::instrumentOf(session->client().model(), first.toStdString());
        return item && item->Bid.toDouble() == 1.2;
    }));
    chart.newChartData();
    EXPECT_EQ(chart.chart().bars().back().close, close);

    panel.checkBox(Study::Macd)->click();
    EXPECT_FALSE(window->lowerPaneShown()) << "MACD off hides the lower pane";
    EXPECT_TRUE(chart.graph().plot("SMA"));
    EXPECT_TRUE(chart.liveUpdateFrozen()) << "the SMA still stands on the bars it was computed from";
    chart.newChartData();
    EXPECT_EQ(chart.chart().bars().back().close, close);
    EXPECT_EQ(chart.chart().bars().size(), bars);

    panel.checkBox(Study::SimpleMovingAverage)->click();
    EXPECT_FALSE(chart.liveUpdateFrozen());
    chart.newChartData();
    EXPECT_NE(chart.chart().bars().back().close, close) << "the last study off lets the bars grow again";

    // A refused period draws nothing and says why beside the field.
    panel.field(Study::CommodityChannelIndex, 0)->setText("0");
    panel.checkBox(Study::CommodityChannelIndex)->click();
    EXPECT_FALSE(panel.checkBox(Study::CommodityChannelIndex)->isChecked());
    EXPECT_TRUE(panel.refusalLabel(Study::CommodityChannelIndex)->text().contains(QStringLiteral(" 1 ")));
    EXPECT_FALSE(chart.indicatorGraph().plot("CCILinePlot"));
    EXPECT_FALSE(window->lowerPaneShown());
    EXPECT_FALSE(chart.liveUpdateFrozen());
    window->close();
}

// Each study's fields take whole numbers in the range the study draws on the bars held: anything
// else stays as typed, is marked, says why beside the row at once, and its box does not go on.
TEST_F(HeldPriceChartTest, StudyParametersOutsideTheirRangeAreRefusedWithTheRange) {
    ChartWindowController* window = openWindow();
    ChartController& chart = window->chartController();
    ASSERT_TRUE(loaded(chart));
    window->analysisButtonClicked();
    ChartAnalysisViewController& panel = window->analysisPanel();
    const auto held = [&chart] { return QString::number(chart.chart().bars().size()); };
    // Typed over at the focus a click into the field gives, in the panel under its button.
    const auto retype = [](QLineEdit* field, const char* text) { guitest::typeOver(field, text); };

    QLineEdit* sma = panel.field(Study::SimpleMovingAverage, 0);
    retype(sma, "99999");
    const QString range = context->text(texts::kMustFromBarsChartHolds)
                              .replace("{0}", context->text(texts::kIndicatorPeriod))
                              .replace("{1}", "1")
                              .replace("{2}", held())
                              .replace("{3}", held());
    EXPECT_EQ(panel.refusalLabel(Study::SimpleMovingAverage)->text(), range) << "said as it is typed";
    EXPECT_TRUE(sma->property("refused").toBool());
    EXPECT_EQ(sma->toolTip(), range);
    panel.checkBox(Study::SimpleMovingAverage)->click();
    EXPECT_FALSE(panel.checkBox(Study::SimpleMovingAverage)->isChecked());
    EXPECT_FALSE(chart.graph().plot("SMA"));
    EXPECT_FALSE(chart.liveUpdateFrozen());
    retype(sma, "20");
    EXPECT_TRUE(panel.refusalLabel(Study::SimpleMovingAverage)->text().isEmpty());
    EXPECT_FALSE(sma->property("refused").toBool());
    panel.checkBox(Study::SimpleMovingAverage)->click();
    EXPECT_TRUE(chart.graph().plot("SMA"));

    // Texts that are no whole number stay as typed, each with its own reason.
    QLineEdit* deviation = panel.field(Study::BollingerBands, 1);
    const std::pair<const char*, const char*> faults[] = {{"2.5", texts::kHoldsDecimals},
                                                          {"1,5", texts::kHoldsAComma92601},
                                                          {"x12", texts::kNotWholeNumber},
                                                          {"1 2", texts::kHoldsSpaceInsideNumber92602},
                                                          {"", texts::kIsEmpty92600}};
    for (const auto& [typed, key] : faults) {
        retype(deviation, typed);
        if (!*typed)
            guitest::pressKey(Qt::Key_Backspace);
        EXPECT_EQ(deviation->text(), QString::fromLatin1(typed));
        EXPECT_EQ(panel.refusalLabel(Study::BollingerBands)->text(),
                  context->text(key).replace("{0}", context->text(texts::kIndicatorDeviation)));
        EXPECT_TRUE(deviation->property("refused").toBool());
        EXPECT_FALSE(panel.field(Study::BollingerBands, 0)->property("refused").toBool());
    }
    retype(deviation, "9");
    EXPECT_EQ(panel.refusalLabel(Study::BollingerBands)->text(),
              context->text(texts::kMustFrom)
                  .replace("{0}", context->text(texts::kIndicatorDeviation))
                  .replace("{1}", "1")
                  .replace("{2}", "5"));

    // A refused oscillator leaves the one shown, and its box, as they were.
    panel.checkBox(Study::Macd)->click();
    ASSERT_TRUE(chart.indicatorGraph().plot("MACDLinePlot"));
    retype(panel.field(Study::Trix, 0), "100");
    EXPECT_TRUE(panel.refusalLabel(Study::Trix)->text().contains(QStringLiteral(" 1 ")));
    panel.checkBox(Study::Trix)->click();
    EXPECT_FALSE(panel.checkBox(Study::Trix)->isChecked());
    EXPECT_TRUE(panel.checkBox(Study::Macd)->isChecked());
    EXPECT_TRUE(chart.indicatorGraph().plot("MACDLinePlot"));
    EXPECT_FALSE(chart.indicatorGraph().plot("TRIXLinePlot"));

    // Periods that each fit but not together: the study names the bars it needs, every field marked.
    retype(panel.field(Study::MacdHistogram, 1), held().toLatin1().constData());
    panel.checkBox(Study::MacdHistogram)->click();
    EXPECT_FALSE(panel.checkBox(Study::MacdHistogram)->isChecked());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(panel.field(Study::MacdHistogram, i)->property("refused").toBool());
    EXPECT_TRUE(
        panel.refusalLabel(Study::MacdHistogram)->text().startsWith(panel.title(Study::MacdHistogram)));
    window->close();
}

// The charts keep no timer: the session's one-second tick steps every live chart, so one tick moves
// them all, and a closed window stops following it.
TEST_F(HeldPriceChartTest, OneTickOfTheSessionStepsEveryLiveChart) {
    const QMetaMethod tick = QMetaMethod::fromSignal(&ClientModel::tick);
    const int followers = receivers(*session, tick);
    ChartWindowController* candles = openWindow();
    auto* detail = new AdvancedDetailWindowController(*context);
    detail->runModalWindowForItem(first.toStdString());
    EXPECT_GT(receivers(*session, tick), followers);
    ChartController& a = candles->chartController();
    ChartController& b = detail->chartController();
    ASSERT_TRUE(loaded(a));
    ASSERT_TRUE(loaded(b));
    ASSERT_TRUE(a.isLive() && b.isLive());
    EXPECT_TRUE(a.findChildren<QTimer*>().isEmpty() && b.findChildren<QTimer*>().isEmpty());

    ASSERT_TRUE(server->setQuote(first.toStdString(), "1.20000", "1.20020"));
    ASSERT_TRUE(waitFor([&] {
        const auto* item = tc::gui::instrumentOf(session->client().model(), first.toStdString());
        return item && item->Bid.toDouble() == 1.2;
    }));
    session->tickNow();
    EXPECT_NEAR(a.chart().bid().value_or(0), 1.2, 1e-9);
    EXPECT_NEAR(a.chart().bars().back().close, 1.2, 1e-9) << "the newest bar took the quote";
    EXPECT_NEAR(b.chart().bid().value_or(0), 1.2, 1e-9);
    EXPECT_NEAR(b.chart().ask().value_or(0), 1.2002, 1e-9);

    candles->close();
    delete detail;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(receivers(*session, tick), followers);
}

TEST_F(ChartWindowTest, AColourChosenForAPriceStudyDrawsItsLineAndStaysWithThePanel) {
    ChartWindowController* window = openWindow();
    ASSERT_TRUE(loaded(window->chartController()));
    window->analysisButtonClicked();
    ChartAnalysisViewController& panel = window->analysisPanel();
    panel.colourButton(Study::SimpleMovingAverage, 0)->click();
    QColorDialog* dialog = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (dialog = window->findChild<QColorDialog*>()) && dialog->isVisible(); }));
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    dialog->setCurrentColor(QColor(10, 200, 30));
    dialog->accept();
    EXPECT_EQ(panel.colours(Study::SimpleMovingAverage).value(0), QColor(10, 200, 30));
    panel.checkBox(Study::SimpleMovingAverage)->click();
    const auto* sma = dynamic_cast<const LinePlot*>(window->chartController().graph().plot("SMA"));
    ASSERT_TRUE(sma);
    EXPECT_EQ(sma->pen.color(), QColor(10, 200, 30));
    window->close();
}

TEST_F(ChartWindowTest, ChartTitlesNameTheIntervalInTheSelectedLanguageAndFollowItsChanges) {
    constexpr std::int64_t kFrench = 7, kRussian = 6;
    const auto titled = [&](std::int64_t language, const char* key) {
        return first + ", " + lookupText(language, key);
    };
    ASSERT_NE(lookupText(kFrench, texts::kOneMinute), lookupText(0, texts::kOneMinute))
        << "the French name is French";
    ASSERT_TRUE(context->language().select(kFrench));
    ChartWindowController* window = openWindow();
    ChartController& chart = window->chartController();
    EXPECT_EQ(chart.titleLabel().text(), titled(kFrench, texts::kOneMinute));
    window->IntervalItemSelected(7);
    EXPECT_EQ(chart.titleLabel().text(), titled(kFrench, texts::kWeekly));
    auto* main = new MainWindowController(*context, &idle);
    ChartController* slot = main->chartSlot(1)->chartController();
    ASSERT_TRUE(slot);
    EXPECT_EQ(slot->titleLabel().text(), titled(kFrench, texts::kFiveMinutes))
        << "the second slot starts at M5";

    // A language change re-titles the open charts, and the stored chart key stays as it was.
    ASSERT_TRUE(context->language().select(kRussian));
    EXPECT_EQ(chart.titleLabel().text(), titled(kRussian, texts::kWeekly));
    EXPECT_EQ(slot->titleLabel().text(), titled(kRussian, texts::kFiveMinutes));
    EXPECT_EQ(chart.chart().key(), tc::charts::chartKey(first.toStdString(), "W"));
    ASSERT_TRUE(context->language().select(0));
    EXPECT_EQ(chart.titleLabel().text(), first + ", Weekly");
    EXPECT_EQ(chart.titleLabel().text().toStdString(), chart.chart().title());
    delete main;
    delete window;
}

// In Dari the title stands at the right and reads from there: the code, the comma, the period; in
// English from the left. As the label lays it out (in the direction of its first strong letter)
// and paints it.
TEST_F(ChartWindowTest, ChartTitlesReadInOrderInEitherDirection) {
    for (const std::int64_t language : {3, 0}) {
        SCOPED_TRACE(language);
        ASSERT_TRUE(context->language().select(language));
        ChartWindowController* window = openWindow();
        QLabel& title = window->chartController().titleLabel();
        const QString text = title.text(), period = lookupText(language, texts::kOneMinute);
        const auto middle = [&](qsizetype from, qsizetype length) {
            EXPECT_GE(from, 0) << text.toStdString();
            const auto direction = text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
            return guitest::laidOut(text, title.font(), direction, from, length).first.center().x();
        };
        const double code = middle(text.indexOf(first), first.size()),
                     comma = middle(text.indexOf(QRegularExpression(QStringLiteral("[,\\x{060C}]"))), 1),
                     named = middle(text.indexOf(period), period.size());
        const bool rightToLeft = language == 3;
        EXPECT_EQ(rightToLeft, code > comma && comma > named);
        EXPECT_EQ(!rightToLeft, code < comma && comma < named);
        // The painted text keeps to the reading side's half.
        ASSERT_TRUE(waitFor([&] { return title.isVisible() && title.width() > 200; }));
        const QImage image = title.grab().toImage();
        int inked = 0, far = 0;
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (image.pixel(x, y) != image.pixel(1, 1)) {
                    ++inked;
                    far += (x < image.width() / 2) == rightToLeft;
                }
        EXPECT_GT(inked, 0);
        EXPECT_EQ(far, 0);
        delete window;
    }
}

TEST_F(ChartWindowTest, ASlotConfiguredBeforeItsViewDrawsOnceTheViewIsMade) {
    ChartViewController slot(*context);
    slot.setValue({first.toStdString(), 1, 3});
    EXPECT_FALSE(slot.isViewLoaded());
    EXPECT_FALSE(slot.chartController()) << "nothing is drawn without a view";
    QWidget* view = slot.view();
    view->resize(480, 300);
    view->show();
    ASSERT_TRUE(slot.chartController());
    ChartController& chart = *slot.chartController();
    EXPECT_EQ(chart.chart().interval().code, 1);
    EXPECT_EQ(chart.chart().type(), tc::charts::ChartType::Candlestick);
    ASSERT_TRUE(loaded(chart));
    // H1 (tag 5) restarts at interval code 6; OHLC keeps the interval.
    slot.intervalSelected(5);
    EXPECT_EQ(chart.chart().interval().code, 6);
    slot.chartTypeSelected(1);
    EXPECT_EQ(chart.chart().interval().code, 6);
    EXPECT_EQ(chart.chart().type(), tc::charts::ChartType::Ohlc);
    EXPECT_EQ(tc::gui::slotText(*slot.configuration()), first.toStdString() + "#6#2");
}

TEST_F(ChartWindowTest, SlotsFollowDropsAndComeBackAtTheNextSignIn) {
    auto* main = new MainWindowController(*context, &idle);
    main->show();
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(main->chartSlot(i)->chartController()) << i;
        EXPECT_EQ(main->chartSlot(i)->chartController()->chart().interval().code, int(i) + 1);
        ASSERT_TRUE(loaded(*main->chartSlot(i)->chartController()));
    }
    main->ReloadDataForChart("XAUUSD", "Chart3");
    main->ReloadDataForChart("GBPUSD", "Chart9"); // no such slot
    EXPECT_EQ(main->chartSlot(2)->chartController()->chart().code(), "XAUUSD");
    EXPECT_EQ(main->chartSlot(2)->currentInterval(), 3u) << "the drop keeps interval and type";
    EXPECT_EQ(main->chartSlot(1)->chartController()->chart().code(), first.toStdString());
    main->chartSlot(0)->chartTypeSelected(0);
    delete main;

    const auto stored = defaults->stringArrayForKey(tc::gui::kChartSlotsKey);
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 4u);
    EXPECT_EQ((*stored)[0], first.toStdString() + "#1#1");
    EXPECT_EQ((*stored)[2], "XAUUSD#3#3");
    main = new MainWindowController(*context, &idle);
    EXPECT_EQ(main->chartSlot(2)->chartController()->chart().code(), "XAUUSD");
    EXPECT_EQ(main->chartSlot(0)->chartType(), 1u);
    delete main;
}

// The settings kept in a file, as the program keeps them, so what reaches the disk can be read back.
class StoredChartSlotsTest : public ChartWindowTest {
protected:
    void SetUp() override {
        defaults = std::make_unique<tc::platform::UserDefaults>(file());
        ChartWindowTest::SetUp();
    }
    std::filesystem::path file() const { return folder.path() / "defaults.plist"; }
    // The slots as the file holds them now, as the next start would read them.
    std::vector<std::string> slotsOnDisk() const {
        return tc::platform::UserDefaults(file())
            .stringArrayForKey(kChartSlotsKey)
            .value_or(std::vector<std::string>{});
    }
    // Picks entry `index` of a slot's interval or type menu, as a click on it does.
    static void pick(ChartViewController& slot, const char* button, int index) {
        auto* menuButton = slot.view()->findChild<QToolButton*>(QLatin1String(button));
        ASSERT_TRUE(menuButton && menuButton->menu()) << button;
        const auto items = menuButton->menu()->actions();
        ASSERT_LT(index, items.size()) << button;
        items[index]->trigger();
    }

    tc::testing_support::TempDir folder;
};

TEST_F(StoredChartSlotsTest, ASlotsIntervalAndTypeReachTheFileWhenChosen) {
    auto* main = new MainWindowController(*context, &idle);
    main->show();
    ChartViewController& second = *main->chartSlot(1);
    ASSERT_TRUE(second.chartController());
    ASSERT_TRUE(loaded(*second.chartController()));
    ASSERT_EQ(second.chartController()->chart().interval().code, 2) << "slot 2 starts at M5";

    // D1 from the slot's menu: on disk at once, with nothing else saved after it.
    pick(second, "chartIntervalButton", 6);
    EXPECT_EQ(second.chartController()->chart().interval().code, 7);
    auto stored = slotsOnDisk();
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[1], first.toStdString() + "#7#3");
    // The type too.
    pick(second, "chartTypeButton", 1);
    stored = slotsOnDisk();
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[1], first.toStdString() + "#7#2");
    // An instrument dropped on a slot as well.
    main->ReloadDataForChart("XAUUSD", "Chart4");
    stored = slotsOnDisk();
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[3].rfind("XAUUSD#", 0), 0u) << stored[3];
    delete main;
}

TEST_F(ChartWindowTest, ClosedWindowsLeaveNoChartTimerOrHandlerBehind) {
    const QMetaMethod arrived = QMetaMethod::fromSignal(&ClientModel::chartArrived);
    const QMetaMethod replaced = QMetaMethod::fromSignal(&ClientModel::clientAboutToBeReplaced);
    const int arrivedBefore = receivers(*session, arrived), replacedBefore = receivers(*session, replaced);
    auto charts = [] {
        int n = 0;
        for (QWidget* w : QApplication::allWidgets())
            n += qobject_cast<ChartController*>(w) != nullptr;
        return n;
    };
    ASSERT_EQ(charts(), 0);
    for (int i = 0; i < 100; ++i) {
        ChartWindowController* window = openWindow();
        window->analysisPanel().checkBox(Study::Macd)->click();
        EXPECT_TRUE(window->chartController().isLive() || receivers(*session, arrived) > arrivedBefore)
            << "each window is live or waiting for its bars";
        window->close();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(charts(), 0) << "every chart went with its window";
    EXPECT_EQ(receivers(*session, arrived), arrivedBefore) << "no request is left waiting";
    EXPECT_EQ(receivers(*session, replaced), replacedBefore);
}

TEST_F(HeldPriceChartTest, TheAccountPieFollowsAFillAndKeepsToTheCurrentAccount) {
    ASSERT_TRUE(waitFor([&] { return !session->client().queries().getOpenOrderCollection().empty(); }));
    PieChartViewController pie(*context);
    pie.resize(300, 300);
    pie.show();
    ASSERT_TRUE(session->client().setCurrentAccount(20001));
    auto titles = [&pie] {
        QStringList out;
        for (const auto& slice : pie.pieChartController().slices())
            out << QString::fromStdString(slice.title);
        return out;
    };
    EXPECT_FALSE(pie.pieChartController().isGraphConstructed()) << "built at the first refresh";
    session->tickNow();
    ASSERT_TRUE(pie.pieChartController().isGraphConstructed());
    EXPECT_TRUE(pie.isProfitLossPieChart());
    EXPECT_EQ(pie.pieChartController().titleLabel().text(), context->text(texts::kFloatingPLPie));
    EXPECT_FALSE(titles().contains("GBPUSD"));

    interfaces::OrderTicket ticket;
    ticket.instrument = "GBPUSD";
    ticket.account = 20001;
    ticket.quantity = tc::platform::Decimal::fromInt64(1);
    ASSERT_TRUE(session->client().orders().placeOrder(ticket).sent());
    EXPECT_TRUE(waitFor([&] { return titles().contains("GBPUSD"); }))
        << "the fill's instrument gets its slice";

    pie.pieSegementButtonClicked(1);
    EXPECT_EQ(pie.pieChartController().titleLabel().text(), context->text(texts::kMargin))
        << "the title at once";
    session->tickNow();
    ASSERT_FALSE(titles().isEmpty());
    EXPECT_EQ(titles().back(), "Avl.Mgn");
    EXPECT_FALSE(pie.showsEmptyText());

    // The segments act on their state: a screen reader's toggle switches the pie as a click does.
    ASSERT_TRUE(guitest::accessibleToggle(pie.findChild<QAbstractButton*>("profitLossSegment")));
    EXPECT_TRUE(pie.isProfitLossPieChart());
    EXPECT_EQ(pie.pieChartController().titleLabel().text(), context->text(texts::kFloatingPLPie));
    pie.findChild<QAbstractButton*>("marginSegment")->setChecked(true);
    EXPECT_FALSE(pie.isProfitLossPieChart());
}

TEST_F(HeldPriceChartTest, TheMarginPieNetsTheLotsBoughtAgainstTheLotsSoldOfAnInstrument) {
    ASSERT_TRUE(waitFor([&] { return !session->client().queries().getOpenOrderCollection().empty(); }));
    PieChartViewController pie(*context);
    pie.resize(300, 300);
    pie.show();
    ASSERT_TRUE(session->client().setCurrentAccount(20001));
    pie.pieSegementButtonClicked(1);
    // Seeded: 20001 holds 1.5 EURUSD bought; 0.5 sold beside it.
    interfaces::OrderTicket ticket;
    ticket.instrument = "EURUSD";
    ticket.account = 20001;
    ticket.side = interfaces::Side::Sell;
    ticket.quantity = *tc::platform::Decimal::fromString("0.5");
    ASSERT_TRUE(session->client().orders().placeOrder(ticket).sent());
    const tc::SessionModel& model = session->client().model();
    ASSERT_TRUE(waitFor([&] {
        for (const auto& p : session->client().queries().getOpenOrderCollection())
            if (p->AccountNumber == "20001" && p->ItemCode == "EURUSD" && p->tradingMode == 1)
                return true;
        return false;
    }));
    // The group holds 1 per lot and the account is charged its net lots: |1.5 - 0.5| x 1 = 1 of
    // equity, not the 2 of both sides.
    const auto euroShare = [&]() -> std::optional<double> {
        for (const auto& slice : pie.pieChartController().slices())
            if (slice.title == "EURUSD")
                return slice.value;
        return std::nullopt;
    };
    const auto equity = [&] { return (*model.AccountDetailCollection.get("20001"))->Equity; };
    EXPECT_TRUE(waitFor([&] {
        session->tickNow();
        const auto share = euroShare();
        return share && std::abs(*share - 1.0 / equity() * 100) < 1e-9;
    })) << euroShare().value_or(-1)
        << " against " << 1.0 / equity() * 100;
}

TEST_F(ChartWindowTest, TheAdvancedDetailWindowShowsTheInstrumentsPanesAndChart) {
    AdvancedDetailWindowController window(*context);
    window.resize(1300, 820);
    window.runModalWindowForItem(first.toStdString());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), first);
    ASSERT_TRUE(waitFor([&] {
        for (std::size_t i = 0; i < AdvancedDetailWindowController::kPanes; ++i)
            if (window.paneTable(i)->rowCount() == 0)
                return false;
        return true;
    }));
    for (std::size_t i = 0; i < AdvancedDetailWindowController::kPanes; ++i) {
        EXPECT_EQ(int(window.pane(i).detailViewType()), 3 + int(i));
        EXPECT_FALSE(window.pane(i).isVisible()) << "a pane is never a window of its own";
        EXPECT_EQ(window.paneTable(i)->window(), &window);
    }
    const auto* item = session->client().model().ItemCollection.at(first.toStdString()).get();
    session->tickNow(); // the description as the session holds it now
    EXPECT_EQ(window.description().toStdString(), item->descriptions);
    ChartController& chart = window.chartController();
    EXPECT_EQ(chart.chart().key(), tc::charts::chartKey(first.toStdString(), "BA"));
    EXPECT_EQ(chart.chart().type(), tc::charts::ChartType::BidAsk);
    ASSERT_TRUE(loaded(chart));

    window.runModalWindowForItem("XAUUSD");
    EXPECT_EQ(window.windowTitle(), "XAUUSD");
    EXPECT_EQ(chart.chart().code(), "XAUUSD");
    EXPECT_EQ(window.pane(0).record(), "XAUUSD");

    // The quotes board's contract-detail button opens one such window, kept for the next click.
    QWidget owner;
    auto* board = new WatchlistTableController(*context, &owner);
    owner.show();
    ASSERT_TRUE(waitFor([&] { return board->model()->rowCount() > 1; }));
    board->contractDetailButtonClicked(0);
    board->contractDetailButtonClicked(1);
    const auto opened = owner.findChildren<AdvancedDetailWindowController*>();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.front()->isVisible());
    EXPECT_EQ(opened.front()->itemCode(), board->codeAt(1));
}

} // namespace
