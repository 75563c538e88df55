#include "charts/chart_cache.h"
#include "charts/chart_source.h"
#include "gui/app/language.h"
#include "gui/charts/chart_controller.h"
#include "gui/charts/pie_chart_controller.h"
#include "gui/gui_test_support.h"
#include "gui/texts.h"
#include "platform/clock.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace tc::gui;

namespace {

class FakeSource final : public tc::charts::ChartSource {
public:
    std::optional<tc::charts::LiveQuote> live;
    tc::charts::ChartDataStore store;
    int requests = 0;
    std::function<void()> arrive;
    std::function<void(const std::string&)> fail;

    std::optional<tc::charts::InstrumentInfo> instrument(std::string_view code) override {
        if (code != "EURUSD")
            return std::nullopt;
        return tc::charts::InstrumentInfo{"EURUSD", 2};
    }
    std::optional<tc::charts::LiveQuote> quote(std::string_view) override { return live; }
    std::shared_ptr<const tc::charts::BarSeries> cachedBars(std::string_view key,
                                                            std::chrono::seconds age) override {
        return store.freshBars(key, age);
    }
    std::unique_ptr<tc::charts::ChartRequest>
    requestBars(std::string_view, std::string_view, int, std::function<void()> arrived,
                std::function<void(const std::string&)> failed) override {
        ++requests;
        arrive = std::move(arrived);
        fail = std::move(failed);
        return std::make_unique<tc::charts::ChartRequest>();
    }
};

// A one-minute reply: bar i closes at 100 + 2i with a two-point wick; bar 3 rises from 100 to 110
// (high 115, low 95) and bar 4 falls from 110 to 100 (high 112, low 98).
std::string reply(int bars) {
    std::string dates, times, closes, highs, lows, opens;
    for (int i = 0; i < bars; ++i) {
        double o = 99 + 2 * i, c = 100 + 2 * i, h = c + 2, l = o - 2;
        if (i == 3)
            o = 100, c = 110, h = 115, l = 95;
        if (i == 4)
            o = 110, c = 100, h = 112, l = 98;
        const char* sep = i ? "," : "";
        dates += sep + std::string("03/11/24");
        times += sep + std::to_string(10 + i / 60) + ":" + (i % 60 < 10 ? "0" : "") + std::to_string(i % 60) +
                 ":00";
        closes += sep + std::to_string(c);
        highs += sep + std::to_string(h);
        lows += sep + std::to_string(l);
        opens += sep + std::to_string(o);
    }
    return "<0~EURUSD^O~x>" + dates + "#" + times + "#" + closes + "#" + highs + "#" + lows + "#" + opens +
           "<END>";
}

// Some pixel within `radius` of `at` has the colour.
bool colourNear(const QImage& image, QPoint at, QColor colour, int radius = 1) {
    for (int dx = -radius; dx <= radius; ++dx)
        for (int dy = -radius; dy <= radius; ++dy) {
            const QPoint p = at + QPoint(dx, dy);
            if (image.rect().contains(p) && image.pixelColor(p).rgb() == colour.rgb())
                return true;
        }
    return false;
}

class ChartViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(500, 340);
        view.show(); // lays the graph out at its size
        source.store.fillChartData(reply(10), 1);
    }
    PlotSpace& space() { return view.graph().defaultPlotSpace(); }
    QPoint at(double x, double y) { return space().viewPoint(x, y).toPoint(); }
    // Halfway up the plot area at bar x.
    QPointF mid(double x) {
        return space().viewPoint(x, space().yRange().location + space().yRange().length / 2);
    }
    QImage image() { return view.graph().grab().toImage(); }
    void send(QEvent::Type type, QPointF p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, view.graph().mapToGlobal(p), Qt::LeftButton, buttons, {});
        QApplication::sendEvent(&view.graph(), &e);
    }
    void drag(QPointF from, QPointF to) {
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    void wheel(QPointF p, int notches) {
        QWheelEvent e(p, view.graph().mapToGlobal(p), {}, QPoint(0, 120 * notches), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view.graph(), &e);
    }

    FakeSource source;
    ChartController view{source};
};

TEST_F(ChartViewTest, CandlesAndOhlcBarsStandWhereTheirPricesAre) {
    for (int theme : {0, 1}) {
        SCOPED_TRACE(theme);
        const auto colours = *PlotTheme::named(theme);
        view.applyChartTheme(theme);
        view.setValue("EURUSD", "1#3");
        ASSERT_EQ(view.chart().bars().size(), 10u);
        QImage img = image();
        const int x3 = at(3, 0).x(), x4 = at(4, 0).x();
        // Rising bar 3: green top edge at its close, wick up to its high, nothing above it.
        EXPECT_TRUE(colourNear(img, {x3, at(3, 110).y()}, colours.risingOutline));
        EXPECT_TRUE(colourNear(img, {x3, at(3, 113).y()}, colours.wick));
        EXPECT_TRUE(colourNear(img, {x3, at(3, 96).y()}, colours.wick));
        EXPECT_FALSE(colourNear(img, {x3, at(3, 115).y() - 4}, colours.wick));
        // Falling bar 4: its body filled between open and close (beside the wick), its wick down
        // to its low and no further.
        EXPECT_TRUE(colourNear(img, {x4 + 2, at(4, 105).y()}, colours.fallingFill, 0));
        EXPECT_FALSE(colourNear(img, {x4 + 2, at(4, 111.5).y()}, colours.fallingFill, 0));
        EXPECT_TRUE(colourNear(img, {x4, at(4, 99).y()}, colours.wick));
        EXPECT_FALSE(colourNear(img, {x4, at(4, 98).y() + 4}, colours.wick));
        EXPECT_EQ(img.pixelColor(img.width() - 2, img.height() - 2).rgb(), colours.background.rgb());
        // Bar 3's time label hangs from a tick on the bar's own x.
        const int below = static_cast<int>(view.graph().plotArea().bottom()) + 2;
        EXPECT_TRUE(colourNear(img, {x3, below}, colours.axis, 0));
        EXPECT_FALSE(colourNear(img, {x4, below}, colours.axis, 0));

        view.setChartType(2);
        img = image();
        // OHLC: the open to the left of the stick, the close to the right.
        EXPECT_TRUE(colourNear(img, {x3 - 4, at(3, 100).y()}, colours.priceLine));
        EXPECT_TRUE(colourNear(img, {x3 + 4, at(3, 110).y()}, colours.priceLine));
        EXPECT_FALSE(colourNear(img, {x3 - 4, at(3, 110).y()}, colours.priceLine));
        EXPECT_TRUE(colourNear(img, {x3, at(3, 114).y()}, colours.priceLine));
        view.setChartType(1);
        EXPECT_TRUE(colourNear(image(), {x3, at(3, 110).y()}, colours.priceLine))
            << "the line at bar 3's close";
    }
}

// Contrast of two colours as the web's accessibility guidelines measure it (1 to 21).
double contrast(QColor a, QColor b) {
    auto luminance = [](QColor c) {
        auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

TEST(PlotThemes, EveryMarkStandsOutFromItsGround) {
    for (int number : {0, 1}) {
        const PlotTheme t = *PlotTheme::named(number);
        // Lines and fills at least 3:1, texts 4.5:1; grid lines are meant to recede.
        for (const QColor& mark : {t.border, t.priceLine, t.wick, t.risingOutline, t.fallingFill, t.crosshair,
                                   t.bidSeries, t.askSeries})
            EXPECT_GE(contrast(mark, t.background), 3.0) << number << " " << mark.name().toStdString();
        for (const QColor& text : {t.axis, t.legendText})
            EXPECT_GE(contrast(text, t.background), 4.5) << number << " " << text.name().toStdString();
        EXPECT_GE(contrast(t.legendText, t.overlayFill), 4.5) << number << ": the crosshair box";
    }
}

TEST_F(ChartViewTest, TheCrosshairReadsOutTheBarUnderThePointer) {
    view.setValue("EURUSD", "1#3");
    view.crosshairToggleSelection();
    const QPoint press = at(4.3, 105);
    send(QEvent::MouseButtonPress, press, Qt::LeftButton);
    ASSERT_FALSE(view.overlay().isHidden());
    EXPECT_EQ(view.overlayLabel().text(),
              "11 Mar 10:04\nHigh: 112.00\nLow: 98.00\nOpen: 110.00\nClose: 100.00");
    ASSERT_TRUE(view.graph().crosshair());
    EXPECT_EQ(view.graph().crosshair()->tag, "100.00");
    // The tag sits on the price axis at the close, the vertical line on the bar's own x.
    const QImage img = image();
    EXPECT_TRUE(colourNear(img, {int(view.graph().plotArea().right()) + 4, at(4, 100).y()},
                           view.graph().theme().crosshairTag));
    EXPECT_TRUE(colourNear(img, {at(4, 0).x(), at(4, 104).y()}, view.graph().theme().crosshair));
    // Dragging along moves it from bar to bar, never past the last.
    send(QEvent::MouseMove, at(40, 105), Qt::LeftButton);
    EXPECT_TRUE(view.overlayLabel().text().endsWith("Close: 118.00"));
    EXPECT_EQ(space().xRange(), (PlotRange{-0.5, 10})) << "no scrolling in crosshair mode";
    send(QEvent::MouseButtonRelease, at(40, 105), Qt::NoButton);
    EXPECT_TRUE(view.overlay().isHidden());
    EXPECT_FALSE(view.graph().crosshair());
}

TEST_F(ChartViewTest, DragAndWheelMoveTheWindowAlongTheBars) {
    source.store.fillChartData(reply(100), 2);
    view.setValue("EURUSD", "1#3");
    ASSERT_EQ(space().xRange(), (PlotRange{64.5, 35}));
    // Five bars to the right: the window moves five bars back; prices follow the window.
    drag(mid(80), mid(85));
    EXPECT_NEAR(space().xRange().location, 59.5, 1e-6);
    EXPECT_EQ(space().yRange(), view.chart().yRange());
    EXPECT_FALSE(view.chart().viewport().following());
    drag(mid(60), mid(160));
    EXPECT_EQ(space().xRange().location, -0.5) << "not before the first bar";
    view.chartScrollToEnd();
    EXPECT_EQ(space().xRange().end(), 99.5) << "the newest bar is the last one shown";
    // The keys go to the chart once the trader has clicked on its graph (the chart, a window of its
    // own here, takes the focus for the graph).
    view.activateWindow();
    ASSERT_TRUE(guitest::waitForActive(&view));
    QTest::mouseClick(&view.graph(), Qt::LeftButton, {}, mid(90).toPoint());
    ASSERT_EQ(QApplication::focusWidget(), &view);
    ASSERT_EQ(space().xRange().end(), 99.5) << "a click does not move the window";
    guitest::pressKey(Qt::Key_Left);
    EXPECT_EQ(space().xRange().end(), 98.5);
    guitest::pressKey(Qt::Key_End);
    EXPECT_EQ(space().xRange().end(), 99.5);

    // One notch zooms in by a fifth about the pointer.
    const QPointF pointer = mid(90);
    const double under = space().plotPoint(pointer).x();
    wheel(pointer, 1);
    EXPECT_NEAR(space().xRange().length, 35 / 1.2, 1e-9);
    EXPECT_NEAR(space().plotPoint(pointer).x(), under, 1e-6);
    wheel(pointer, 40);
    EXPECT_EQ(space().xRange().length, 3) << "never fewer than three bars";
    wheel(pointer, -60);
    EXPECT_EQ(space().xRange(), (PlotRange{-0.5, 100})) << "never more than the bars";
    drag(mid(50), mid(60));
    EXPECT_EQ(space().xRange(), (PlotRange{-0.5, 100})) << "no drag while every bar is shown";
}

TEST_F(ChartViewTest, BarsComeFromTheCacheWhileYoungerThanOneBarAndTheTimerGoesWithTheChart) {
    auto clock = std::make_shared<tc::platform::ManualClock>();
    tc::platform::ScopedClock scoped(clock);
    source.store.clear();
    view.setValue("EURUSD", "1#1");
    EXPECT_EQ(source.requests, 1);
    EXPECT_TRUE(view.chart().bars().empty());
    source.store.fillChartData(reply(10), 3);
    source.arrive();
    EXPECT_EQ(view.chart().bars().size(), 10u);
    view.setValue("EURUSD", "1#2");
    EXPECT_EQ(source.requests, 1) << "a minute-old reply still serves a one-minute chart";
    clock->advance(std::chrono::seconds(60));
    view.setValue("EURUSD", "1#2");
    EXPECT_EQ(source.requests, 2);

    // A live quote in the next minute starts a bar; the following window moves along.
    source.store.fillChartData(reply(10), 4);
    source.arrive();
    source.live =
        tc::charts::LiveQuote{tc::charts::wallSeconds({2024, 3, 11, 10, 10, 30}), 121, 120.9, 121.1};
    view.newChartData();
    EXPECT_EQ(view.chart().bars().size(), 11u);
    EXPECT_EQ(space().xRange().end(), 10.5);

    // Live once its bars are shown, on no timer of its own: the session's tick drives it.
    auto* owned = new ChartController(source);
    EXPECT_FALSE(owned->isLive());
    owned->setValue("EURUSD", "1#3");
    EXPECT_TRUE(owned->isLive());
    EXPECT_TRUE(owned->findChildren<QTimer*>().isEmpty());
    delete owned;
}

TEST_F(ChartViewTest, ABarRequestThatFailsIsSaidInTheChartAndReloadAsksForTheBarsAgain) {
    source.store.clear();
    view.setValue("EURUSD", "1#3");
    ASSERT_EQ(source.requests, 1);
    EXPECT_TRUE(view.statusLabel().isVisible());
    EXPECT_EQ(view.statusLabel().text(), lookupText(0, tc::gui::texts::kChartLoading));
    EXPECT_FALSE(view.reloadButton().isVisible());

    // No reply in time: the chart says why, and stays without bars rather than building them from
    // quotes; a change of chart type asks nothing.
    source.fail("No reply came in time.");
    EXPECT_TRUE(view.loadFailed());
    EXPECT_TRUE(view.statusLabel().text().contains(QStringLiteral("No reply came in time.")));
    ASSERT_TRUE(view.reloadButton().isVisible());
    view.setChartType(1);
    source.live =
        tc::charts::LiveQuote{tc::charts::wallSeconds({2024, 3, 11, 10, 10, 30}), 121, 120.9, 121.1};
    view.newChartData();
    EXPECT_TRUE(view.chart().bars().empty());
    EXPECT_EQ(source.requests, 1);
    source.live.reset();

    QTest::mouseClick(&view.reloadButton(), Qt::LeftButton);
    EXPECT_EQ(source.requests, 2);
    EXPECT_EQ(view.statusLabel().text(), lookupText(0, tc::gui::texts::kChartLoading));
    EXPECT_FALSE(view.reloadButton().isVisible());
    view.reload(); // nothing while a request is out
    EXPECT_EQ(source.requests, 2);
    source.store.fillChartData(reply(10), 1);
    source.arrive();
    EXPECT_EQ(view.chart().bars().size(), 10u);
    EXPECT_FALSE(view.statusLabel().isVisible());
    EXPECT_TRUE(view.isLive());
}

TEST_F(ChartViewTest, StudiesWaitForTheBarsHoldTheLiveUpdateAndReadOnlyTheirSeries) {
    using tc::charts::Study;
    source.store.clear();
    view.setValue("EURUSD", "1#3");
    ASSERT_EQ(source.requests, 1);
    tc::charts::StudyParams three;
    three.period = 3;
    EXPECT_EQ(view.loadStudy(Study::SimpleMovingAverage, three, {QColor(Qt::blue)}),
              tc::charts::StudyError::None);
    source.store.fillChartData(reply(10), 1);
    source.arrive();
    const Plot* sma = view.graph().plot("SMA");
    ASSERT_TRUE(sma);
    ASSERT_EQ(sma->dataSource()->numberOfRecords(*sma), 10u) << "computed again over the bars that came";
    EXPECT_DOUBLE_EQ(sma->dataSource()->numbers(*sma, PlotField::Y)[9], (114 + 116 + 118) / 3.0);

    // The awesome oscillator's bars: green exactly where a bar is at least the one before, however
    // the bars are asked for.
    EXPECT_EQ(view.loadStudy(Study::AwesomeOscillator, {}), tc::charts::StudyError::None);
    EXPECT_FALSE(view.indicatorView().isHidden());
    const auto* ao = dynamic_cast<const BarPlot*>(view.indicatorGraph().plot("AOBarPlot"));
    ASSERT_TRUE(ao);
    const auto values = ao->dataSource()->numbers(*ao, PlotField::Y);
    const PlotTheme& theme = view.indicatorGraph().theme();
    for (std::size_t i = values.size(); i-- > 1;) {
        if (std::isfinite(values[i]) && std::isfinite(values[i - 1])) {
            EXPECT_EQ(ao->dataSource()->barFill(*ao, i).rgb(),
                      (values[i] >= values[i - 1] ? theme.studyRising : theme.studyFalling).rgb())
                << i;
        }
    }

    // Nothing grows while a study is shown, until the last one goes.
    source.live =
        tc::charts::LiveQuote{tc::charts::wallSeconds({2024, 3, 11, 10, 10, 30}), 121, 120.9, 121.1};
    view.newChartData();
    EXPECT_EQ(view.chart().bars().size(), 10u);
    view.removeStudy(Study::AwesomeOscillator);
    EXPECT_TRUE(view.indicatorView().isHidden());
    view.newChartData();
    EXPECT_EQ(view.chart().bars().size(), 10u) << "the SMA still holds the bars";
    view.removeStudy(Study::SimpleMovingAverage);
    view.newChartData();
    EXPECT_EQ(view.chart().bars().size(), 11u);

    // A refused period shows nothing and holds nothing.
    three.period = 0;
    EXPECT_EQ(view.loadStudy(Study::RelativeStrengthIndex, three), tc::charts::StudyError::PeriodBelowOne);
    EXPECT_FALSE(view.indicatorGraph().plot("RSILinePlot"));
    EXPECT_FALSE(view.liveUpdateFrozen());
}

// On a chart dragged short, a bid and an ask a pip apart: both tags stand whole on the price axis.
TEST_F(ChartViewTest, TheBidAndAskTagsNeverCoverEachOther) {
    view.setValue("EURUSD", "1#1");
    source.live = tc::charts::LiveQuote{tc::charts::wallSeconds({2024, 3, 11, 10, 10, 30}), 0, 110, 110.01};
    view.newChartData();
    view.resize(500, 0); // as short as the chart gets
    ASSERT_TRUE(guitest::waitFor([&] { return view.graph().height() == view.graph().minimumHeight(); }));
    const QImage img = image();
    const std::vector<QRectF> boxes = view.graph().textBoxes();
    const auto& tags = view.graph().textAnnotations(); // the bid's, then the ask's
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_LT(boxes[1].bottom(), boxes[0].top() + 1) << "the ask's above the bid's, clear of it";
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(view.graph().plotArea().adjusted(-1e3, 0, 1e3, 0).contains(boxes[i]));
        // Its own colour all down its left margin: nothing lies over it.
        const int x = static_cast<int>(std::ceil(boxes[i].left())) + 1;
        for (int y = static_cast<int>(std::ceil(boxes[i].top())) + 2; y < boxes[i].bottom() - 2; ++y)
            ASSERT_EQ(img.pixelColor(x, y).rgb(), tags[i].fill.rgb())
                << tags[i].text.toStdString() << " at " << y;
    }
}

// Zoomed in until the quotes fall below the view: their tags stand at the foot in price order (the
// ask's above the bid's), and the crosshair's tag on the lowest price shown covers neither, nor
// takes the colour of either.
TEST(GraphViewTags, TagsKeepThePricesOrderAndNoneCoversAnother) {
    tc::gui::GraphView view;
    PlotSpace& space = view.defaultPlotSpace();
    space.setXRange({0, 10});
    space.setYRange({1.1000, 0.0010});
    const PlotTheme& theme = view.theme();
    TextAnnotation bid, ask;
    for (auto [tag, id, price, fill] :
         {std::tuple{&bid, "bid", 1.0900, theme.bidLine}, std::tuple{&ask, "ask", 1.0901, theme.askLine}}) {
        tag->identifier = id;
        tag->x = 10;
        tag->y = price;
        tag->text = QString::number(price, 'f', 5);
        tag->fill = fill;
        tag->pinned = true;
        view.setTextAnnotation(*tag);
    }
    Crosshair cross;
    cross.x = 5;
    cross.y = 1.1000;
    cross.tag = "1.10000";
    cross.tagFill = theme.crosshairTag;
    view.setCrosshair(cross);
    QImage img(300, 200, QImage::Format_ARGB32);
    {
        QPainter painter(&img);
        view.paint(painter, img.rect());
    }
    const std::vector<QRectF> boxes = view.textBoxes();
    const QRectF crossTag = view.crosshairTagBox();
    ASSERT_EQ(boxes.size(), 2u);
    ASSERT_FALSE(crossTag.isEmpty());
    EXPECT_LE(crossTag.bottom(), boxes[1].top() + 1e-9) << "the crosshair's price is the highest";
    EXPECT_LE(boxes[1].bottom(), boxes[0].top() + 1e-9) << "the ask's above the bid's";
    EXPECT_LE(boxes[0].bottom(), view.plotArea().bottom() + 1e-9);
    const QPoint inside = (crossTag.topLeft() + QPointF(2, crossTag.height() / 2)).toPoint();
    EXPECT_EQ(img.pixelColor(inside).rgb(), theme.crosshairTag.rgb());
    EXPECT_NE(theme.crosshairTag.rgb(), theme.askLine.rgb());
    EXPECT_NE(theme.crosshairTag.rgb(), theme.bidLine.rgb());
}

TEST(GraphViewAxis, LabelsStayWholeApartAndClearOfPriceTags) {
    PlotSpace space("Graph");
    space.setArea(QRectF(0, 0, 200, 100));
    space.setXRange({-0.5, 10});
    space.setYRange({0, 8});
    Axis time(Axis::Edge::Bottom), price(Axis::Edge::Right);
    for (int i = 0; i < 10; ++i) {
        time.labels.push_back({double(i), "11 Mar 11:06"});
        if (i <= 8)
            price.labels.push_back({double(i), "1.08500"});
    }
    // Labels a narrow chart cannot all hold, the last price on the top edge, a price tag at 4.5; below
    // the plot the room a graph view leaves for its time labels in the system's font.
    const double below = std::max(20.0, std::ceil(time.tickLength + 1 + QFontMetricsF(time.font).height()));
    const QRectF bounds(0, 0, 260, 100 + below), tag(200, space.viewY(4.5) - 8, 60, 16);
    for (const Axis* axis : {&time, &price}) {
        const auto laid = axis->layoutLabels(space, bounds, {tag});
        ASSERT_GE(laid.size(), 2u);
        EXPECT_EQ(laid.front().label, &axis->labels.front());
        for (std::size_t i = 0; i < laid.size(); ++i) {
            SCOPED_TRACE(laid[i].label->location);
            EXPECT_TRUE(bounds.contains(laid[i].box));
            EXPECT_FALSE(laid[i].box.intersects(tag));
            EXPECT_FALSE(i > 0 && laid[i - 1].box.intersects(laid[i].box));
        }
    }

    // A graph view leaves its time labels room enough, however tall the system's font.
    tc::gui::GraphView view;
    view.resize(300, 200);
    const Axis& x = view.xAxis();
    EXPECT_LE(view.plotArea().bottom() + x.tickLength + 1 + QFontMetricsF(x.font).height(), 200.0);
}

TEST(PieChartView, SlicesLegendAndAnglesFollowTheValuesInOrder) {
    PieChartController pie;
    pie.resize(420, 260);
    int completions = 0;
    pie.loadChart({"X", "Y", "Z"}, {10, -5, 0}, [&](bool built) { completions += built; });
    pie.loadChart({"X", "Y", "Z"}, {10, -5, 0}, [&](bool built) { completions += built; });
    EXPECT_EQ(completions, 1);
    ASSERT_TRUE(pie.graph().legend());
    QStringList legend;
    for (const auto& entry : pie.graph().legend()->entries)
        legend << entry.title;
    EXPECT_EQ(legend, (QStringList{"X: 10.00", "Y: -5.00", "Z: 0.00"}));
    EXPECT_EQ(pie.sliceColor(5).rgb(), pie.sliceColor(0).rgb());

    // X takes two thirds from 45 degrees counter-clockwise, Y the last third; Z nothing.
    auto pixelAt = [&](const QImage& img, double degrees) {
        const double a = degrees * std::numbers::pi / 180, r = pie.pieRadius() / 2;
        const QPointF c = pie.pieCentre();
        return img.pixelColor(QPointF(c.x() + r * std::cos(a), c.y() - r * std::sin(a)).toPoint()).rgb();
    };
    QImage img = pie.graph().grab().toImage();
    EXPECT_EQ(pixelAt(img, 45 + 120), pie.sliceColor(0).rgb());
    // The loss is striped in the ground's colour over its own, in the pie and the legend; the gain is
    // not. Along a ray through each slice's middle:
    const auto groundOnRay = [&](double degrees) {
        const double a = degrees * std::numbers::pi / 180;
        int ground = 0;
        for (double part = 0.2; part < 0.9; part += 0.02) {
            const QPointF at = pie.pieCentre() + part * pie.pieRadius() * QPointF(std::cos(a), -std::sin(a));
            ground += img.pixelColor(at.toPoint()).rgb() == pie.graph().theme().background.rgb();
        }
        return ground;
    };
    EXPECT_EQ(groundOnRay(45 + 120), 0);
    EXPECT_GT(groundOnRay(45 + 300), 2);
    EXPECT_EQ(pie.graph().legend()->entries[1].hatch, pie.graph().theme().background);
    EXPECT_FALSE(pie.graph().legend()->entries[0].hatch.isValid());
    // Another order and sign: each title keeps its colour, the stripes follow the loss.
    pie.loadChart({"Y", "X"}, {7, -2});
    EXPECT_EQ(std::pair(pie.colourOfSlice(0), pie.colourOfSlice(1)),
              std::pair(pie.sliceColor(1), pie.sliceColor(0)));
    EXPECT_EQ(std::pair(pie.hatchOfSlice(0).isValid(), pie.hatchOfSlice(1).isValid()),
              std::pair(false, true));

    // An account without equity has no shares at all: nothing is drawn.
    const std::vector<tc::charts::PieHolding> margins{{"EURUSD", 1, 50.0}};
    const auto shares = tc::charts::equityShares(margins, 0, 100, false);
    QStringList titles;
    QList<double> values;
    for (const auto& s : shares)
        titles << QString::fromStdString(s.title), values << s.value;
    pie.loadChart(titles, values);
    img = pie.graph().grab().toImage();
    EXPECT_EQ(img.pixelColor(pie.pieCentre().toPoint()).rgb(), pie.graph().theme().background.rgb());
    EXPECT_TRUE(pie.graph().legend()->entries.isEmpty()) << "no slices, so no legend either";
}

// A pie that fills its view keeps its frame on all four sides, and one without slices says so.
TEST(PieChartView, TheFrameStaysWholeAndAnEmptyPieSaysThereIsNothing) {
    tc::gui::PieChartController pie;
    pie.resize(300, 200);
    pie.titleLabel().hide();
    pie.show();
    pie.loadChart({"EURUSD"}, {50});
    const QImage img = pie.graph().grab().toImage();
    const QRgb frame = pie.graph().theme().border.rgb();
    const QPoint middle(static_cast<int>(pie.graph().plotArea().center().x()), img.height() / 2);
    EXPECT_EQ(img.pixelColor(middle.x(), 0).rgb(), frame) << "top";
    EXPECT_EQ(img.pixelColor(middle.x(), img.height() - 1).rgb(), frame) << "bottom, at the view's edge";
    EXPECT_EQ(img.pixelColor(0, middle.y()).rgb(), frame) << "left";
    EXPECT_EQ(pie.shownEmptyText(), "") << "slices: nothing to say";

    pie.setEmptyText(QStringLiteral("No settled positions in this period."));
    EXPECT_EQ(pie.shownEmptyText(), "") << "the pie still has its slice";
    pie.loadChart({}, {});
    EXPECT_EQ(pie.shownEmptyText(), "No settled positions in this period.");
    auto* said = pie.findChild<QLabel*>(QStringLiteral("emptyPieLabel"));
    ASSERT_TRUE(said);
    EXPECT_TRUE(pie.graph().rect().contains(said->geometry())) << "inside the pie's frame";
    pie.loadChart({"EURUSD"}, {50});
    EXPECT_EQ(pie.shownEmptyText(), "");
}

} // namespace
