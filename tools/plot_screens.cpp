// Writes PNGs of the price chart (line, OHLC bars, candlesticks, and candlesticks with the
// crosshair held on a bar) and of a pie chart, in the dark and the light theme, offscreen. The bars
// are the loopback test server's chart reply for the first instrument of its market, read through
// the chart cache as a real reply would be.
//
//     tradeplot_screens [OUTPUT_DIR]        (default: build/screenshots)
#include "charts/chart_cache.h"
#include "charts/chart_source.h"
#include "gui/charts/chart_controller.h"
#include "gui/charts/pie_chart_controller.h"
#include "model/text/language_string.h"
#include "options.h"
#include "price_book.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace tc::gui;

namespace {

class PriceBookSource final : public tc::charts::ChartSource {
public:
    explicit PriceBookSource(testserver::PriceBook& book) : book_(book) {}

    std::optional<tc::charts::InstrumentInfo> instrument(std::string_view code) override {
        const std::size_t i = book_.indexOf(code);
        if (i == book_.size())
            return std::nullopt;
        return tc::charts::InstrumentInfo{book_.instrument(i).code, book_.instrument(i).decimals};
    }
    std::optional<tc::charts::LiveQuote> quote(std::string_view code) override {
        const std::size_t i = book_.indexOf(code);
        if (i == book_.size())
            return std::nullopt;
        const testserver::Quote q = book_.quote(i);
        const double unit = std::pow(10.0, -book_.instrument(i).decimals);
        return tc::charts::LiveQuote{wallNow(), q.last * unit, q.bid * unit, q.ask * unit};
    }
    std::shared_ptr<const tc::charts::BarSeries> cachedBars(std::string_view key,
                                                            std::chrono::seconds age) override {
        return store_.freshBars(key, age);
    }
    std::unique_ptr<tc::charts::ChartRequest> requestBars(std::string_view code, std::string_view interval,
                                                          int count, std::function<void()> arrived) override {
        const std::size_t i = book_.indexOf(code);
        const std::string reply =
            i == book_.size() ? testserver::PriceBook::emptyChartText(code, interval)
                              : book_.chartText(i, interval, count, static_cast<double>(std::time(nullptr)));
        store_.fillChartData(reply, 1);
        arrived();
        return nullptr;
    }

private:
    // The test server writes bar times in the machine's zone; quotes are read the same way.
    static std::int64_t wallNow() {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return tc::charts::wallSeconds({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                        local.tm_min, local.tm_sec});
    }

    testserver::PriceBook& book_;
    tc::charts::ChartDataStore store_;
};

QString text(const char* key) {
    return QString::fromStdString(tc::LanguageString::stringforSelectedLanguage(0, key).value_or(key));
}

bool save(QWidget& widget, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screenshots"));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir.path()));
        return 1;
    }
    auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
    if (!market.market || market.market->instruments.empty()) {
        std::fprintf(stderr, "no market: %s\n", market.error.c_str());
        return 1;
    }
    testserver::PriceBook book(market.market->instruments, 1);
    PriceBookSource source(book);
    const QString code = QString::fromStdString(book.instrument(0).code);

    bool ok = true;
    for (int theme : {0, 1}) {
        const QString suffix = theme == 0 ? QStringLiteral("-dark") : QStringLiteral("-light");
        ChartController chart(source);
        chart.resize(900, 520);
        chart.applyChartTheme(theme);
        chart.setSeriesTitles(text("0192"), text("0193"));
        const struct {
            int type;
            const char* name;
        } forms[] = {{1, "chart-line"}, {2, "chart-ohlc"}, {3, "chart-candle"}};
        for (const auto& form : forms) {
            chart.setValue(code, QStringLiteral("1#%1").arg(form.type));
            ok &= save(chart, dir, QString::fromLatin1(form.name) + suffix);
        }
        // The crosshair held on the 25th visible bar.
        chart.crosshairToggleSelection();
        QWidget& graph = chart.graph();
        chart.show();
        const PlotSpace& space = chart.graph().defaultPlotSpace();
        const QPoint at =
            space.viewPoint(chart.chart().viewport().from() + 24, space.yRange().location).toPoint() -
            QPoint(0, 40);
        QTest::mousePress(&graph, Qt::LeftButton, {}, at);
        ok &= save(chart, dir, QStringLiteral("chart-crosshair") + suffix);
        QTest::mouseRelease(&graph, Qt::LeftButton, {}, at);
        chart.hide();

        PieChartController pie;
        pie.resize(420, 260);
        pie.applyTheme(theme);
        pie.titleLabel().hide(); // its owner (the account pie) writes it
        pie.loadChart({code, QStringLiteral("GBPUSD"), QStringLiteral("XAUUSD"), QStringLiteral("Avl.Mgn")},
                      {12.5, 7.25, 20.0, 60.25});
        ok &= save(pie, dir, QStringLiteral("pie") + suffix);
    }
    return ok ? 0 : 1;
}
