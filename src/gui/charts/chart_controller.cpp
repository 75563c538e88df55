#include "gui/charts/chart_controller.h"

#include "gui/app/language.h"
#include "gui/charts/titled_graph.h"
#include "gui/models/client_model.h"
#include "gui/texts.h"

#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tc::gui {

namespace {

const QString kLinePlot = QStringLiteral("Scatter Plot");
const QString kOhlcPlot = QStringLiteral("OHLC Plot");
const QString kCandlePlot = QStringLiteral("Candlestick Plot");
const QString kBidSeries = QStringLiteral("Bid Price Line Plot");
const QString kAskSeries = QStringLiteral("Ask Price Line Plot");
const QString kBidLine = QStringLiteral("Bid Line Plot");
const QString kAskLine = QStringLiteral("Ask Line Plot");
const QString kLabelSuffix = QStringLiteral(" Label");

QFont pixelFont(const QFont& base, int pixels) {
    QFont f = base;
    f.setPixelSize(pixels);
    return f;
}

// A framed box standing over `graph`, holding `label` in a column with `margins` around it.
QFrame* addLabelBox(QWidget& graph, QLabel*& label, const QMargins& margins) {
    auto* box = new QFrame(&graph);
    box->setFrameShape(QFrame::StyledPanel);
    box->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(margins);
    layout->addWidget(label = new QLabel(box));
    return box;
}

} // namespace

ChartController::ChartController(tc::charts::ChartSource& source, QWidget* parent)
    : QWidget(parent), source_(source) {
    const TitledGraph parts = addTitledGraph(*this);
    title_ = parts.title;
    graph_ = parts.graph;
    graph_->defaultPlotSpace().setDelegate(this);

    overlay_ = addLabelBox(*graph_, overlayLabel_, {6, 4, 6, 4});
    overlay_->hide();
    // Loading, or why the bars could not be loaded, in the middle of the graph.
    status_ = addLabelBox(*graph_, statusLabel_, {10, 8, 10, 8});
    statusLabel_->setWordWrap(true);
    statusLabel_->setAlignment(Qt::AlignCenter);
    reloadButton_ = new QPushButton(status_);
    static_cast<QVBoxLayout*>(status_->layout())->addWidget(reloadButton_, 0, Qt::AlignCenter);
    connect(reloadButton_, &QPushButton::clicked, this, &ChartController::reload);
    auto* centre = new QGridLayout(graph_);
    centre->addWidget(status_, 0, 0, Qt::AlignCenter);
    status_->hide();

    // The crosshair's box (a date and four prices) stands whole inside the smallest graph.
    const int boxHeight = 5 * overlayLabel_->fontMetrics().lineSpacing() + 8 + 2 * overlay_->frameWidth();
    graph_->setMinimumHeight(std::max(graph_->minimumHeight(), boxHeight + 2 * 6 + 20));

    // The lower graph: no interaction of its own, it follows the price graph's window.
    indicatorView_ = new QWidget;
    const TitledGraph lower = addTitledGraph(*indicatorView_);
    indicatorTitle_ = lower.title;
    indicatorGraph_ = lower.graph;
    indicatorGraph_->setMinimumSize(120, 40);
    indicatorGraph_->setPlotAreaPadding(QMarginsF(0, 4, 60, 6));
    indicatorGraph_->defaultPlotSpace().setAllowsUserInteraction(false);
    indicatorView_->hide();

    setFocusPolicy(Qt::StrongFocus);
    applyChartTheme(0);
}

ChartController::~ChartController() {
    // The graph and its plots go with this widget; nothing may call back into it.
    live_ = false;
    graph_->defaultPlotSpace().setDelegate(nullptr);
    graph_->removeAllPlots();
    // The lower graph goes too, wherever its owner placed it (unless that went first).
    delete indicatorView_.data();
}

void ChartController::setValue(const QString& code, const QString& startKey) {
    const auto key = tc::charts::parseStartKey(startKey.toStdString());
    if (!key)
        return;
    resetCrosshairToggle();
    request_.reset();
    loadFailed_ = false;
    live_ = false;
    // The studies belonged to the bars of the previous start.
    dropStudies();
    graph_->removeAllPlots();
    graph_->removeAllAnnotations();
    graph_->setLegend(std::nullopt);
    const auto instrument = source_.instrument(code.toStdString());
    chart_.start(instrument ? instrument->code : code.toStdString(), instrument ? instrument->decimals : 0,
                 key->interval, key->type);
    retitle();
    refreshView();
    if (instrument)
        loadBars();
    showStatus();
}

void ChartController::loadBars() {
    loadFailed_ = false;
    if (auto bars = source_.cachedBars(chart_.key(), std::chrono::seconds(chart_.interval().seconds))) {
        chart_.load(*bars);
        constructGraph();
        showStatus();
        return;
    }
    request_ = source_.requestBars(
        chart_.code(), chart_.interval().text, tc::charts::PriceChart::kRequestedBars,
        [this] { barsArrived(); }, [this](const std::string& reason) { barsFailed(reason); });
    if (!request_) {
        loadFailed_ = true;
        failure_ =
            lookupText(language_ ? language_->selected() : 0, texts::kRequestCouldNotSent93304).toStdString();
    }
    showStatus();
}

void ChartController::reload() {
    if (loadFailed_ && !request_ && !chart_.code().empty())
        loadBars();
}

void ChartController::barsFailed(const std::string& reason) {
    request_.reset();
    loadFailed_ = true;
    failure_ = reason;
    showStatus();
}

void ChartController::showStatus() {
    if (!request_ && !loadFailed_) {
        status_->hide();
        return;
    }
    const std::int64_t language = language_ ? language_->selected() : 0;
    if (loadFailed_) {
        // A request dropped with its session has no reason of its own: the connection went.
        const QString reason = failure_.empty()
                                   ? lookupText(language, texts::kConnectionDroppedBeforeReplyCame)
                                   : QString::fromStdString(failure_);
        statusLabel_->setText(filledText(language, texts::kChartCouldNotBeLoaded, {reason}));
    } else {
        statusLabel_->setText(lookupText(language, texts::kChartLoading));
    }
    reloadButton_->setText(lookupText(language, texts::kChartReload));
    reloadButton_->setVisible(loadFailed_);
    status_->show();
    status_->raise();
}

void ChartController::barsArrived() {
    request_.reset();
    loadFailed_ = false;
    showStatus();
    // Whatever reply is cached for this chart's key now, however old.
    if (auto bars = source_.cachedBars(chart_.key(), std::chrono::seconds::max()))
        chart_.load(*bars);
    recomputeStudies();
    constructGraph();
}

void ChartController::constructGraph() {
    graph_->removeAllPlots();
    graph_->removeAllAnnotations();
    graph_->setLegend(std::nullopt);
    addPricePlot();
    for (const ShownStudy& shown : shown_)
        if (tc::charts::isPriceStudy(shown.study))
            addStudyPlots(shown);
    newChartData();
    refreshView();
    live_ = true;
}

void ChartController::followTick(const ClientModel* session) {
    if (!session)
        return;
    connect(session, &ClientModel::tick, this, [this] {
        if (live_)
            newChartData();
    });
    // Bars that could not be loaded are asked for again once they can come.
    connect(session, &ClientModel::answeringChanged, this, [this](bool answering) {
        if (answering)
            reload();
    });
    connect(session, &ClientModel::loginStateChanged, this, [this](interfaces::LoginState state) {
        if (state == interfaces::LoginState::SignedIn)
            reload();
    });
}

void ChartController::addPricePlot() {
    const auto type = chart_.type();
    if (!type)
        return;
    std::unique_ptr<Plot> price;
    switch (*type) {
    case tc::charts::ChartType::Line: {
        auto line = std::make_unique<LinePlot>(kLinePlot);
        line->pen = QPen(graph_->theme().priceLine, 1.5);
        price = std::move(line);
        break;
    }
    case tc::charts::ChartType::Ohlc:
        price = std::make_unique<TradingRangePlot>(kOhlcPlot, TradingRangePlot::Style::Ohlc);
        break;
    case tc::charts::ChartType::Candlestick:
        price = std::make_unique<TradingRangePlot>(kCandlePlot, TradingRangePlot::Style::Candlestick);
        break;
    case tc::charts::ChartType::BidAsk: {
        resetCrosshairToggle();
        Legend legend;
        legend.font = pixelFont(font(), 11);
        const PlotTheme& theme = graph_->theme();
        for (const auto& [id, colour, title] : {std::tuple{kBidSeries, theme.bidSeries, bidTitle_},
                                                std::tuple{kAskSeries, theme.askSeries, askTitle_}}) {
            auto line = std::make_unique<LinePlot>(id);
            line->pen = QPen(colour, 1.5);
            line->setTitle(title);
            line->setDataSource(this);
            legend.entries.push_back({title, colour, {}});
            graph_->addPlot(std::move(line));
        }
        legend.displacement = QPointF(4, 4);
        graph_->setLegend(legend);
        break;
    }
    }
    if (price) {
        price->setDataSource(this);
        graph_->addPlot(std::move(price));
    }
    graph_->defaultPlotSpace().setAllowsUserInteraction(!crosshairMode_ &&
                                                        type != tc::charts::ChartType::BidAsk);
}

void ChartController::refreshView() {
    PlotSpace& space = graph_->defaultPlotSpace();
    space.setXRange(chart_.viewport().xRange());
    space.setYRange(chart_.yRange());
    QVector<AxisLabel> times, prices;
    for (const auto& label : chart_.timeLabels())
        times.push_back({static_cast<double>(label.bar), QString::fromStdString(label.text)});
    for (const auto& tick : chart_.priceTicks())
        prices.push_back({tick.value, QString::fromStdString(tick.text)});
    graph_->xAxis().labels = std::move(times);
    graph_->yAxis().labels = std::move(prices);

    const bool lines = !chart_.bars().empty() && chart_.type().has_value();
    for (const auto& [id, price, colour] : {std::tuple{kBidLine, chart_.bid(), graph_->theme().bidLine},
                                            std::tuple{kAskLine, chart_.ask(), graph_->theme().askLine}}) {
        if (!lines || !price) {
            graph_->removeAnnotation(id);
            graph_->removeAnnotation(id + kLabelSuffix);
            continue;
        }
        graph_->setHorizontalLine({id, *price, QPen(colour, 1.2)});
        TextAnnotation label;
        label.identifier = id + kLabelSuffix;
        label.x = space.xRange().end();
        label.y = *price;
        label.displacement = QPointF(2, 0);
        label.text = QString::fromStdString(tc::charts::formatPrice(*price, chart_.decimals()));
        label.fill = colour;
        label.textColor = graph_->theme().tagText;
        label.font = pixelFont(font(), 12);
        label.pinned = true;
        graph_->setTextAnnotation(label);
    }
    graph_->update();
    refreshIndicator();
}

void ChartController::setChartType(int type) {
    if (chart_.type() && static_cast<int>(*chart_.type()) == type)
        return;
    chart_.setType(type);
    if (chart_.bars().empty() && (request_ || loadFailed_))
        return;
    constructGraph();
}

void ChartController::applyChartTheme(int theme) {
    themeNumber_ = theme;
    const auto named = PlotTheme::named(theme);
    if (!named)
        return;
    graph_->setTheme(*named);
    indicatorGraph_->setTheme(*named);
    // The price and study plots take the theme's colours: built again in them.
    if (!graph_->plots().empty()) {
        graph_->removeAllPlots();
        graph_->setLegend(std::nullopt);
        addPricePlot();
    }
    indicatorGraph_->removeAllPlots();
    for (const ShownStudy& shown : shown_)
        addStudyPlots(shown);
    applyTitleTheme(*title_, *named);
    applyTitleTheme(*indicatorTitle_, *named);
    QPalette box = overlay_->palette();
    box.setColor(QPalette::Window, named->overlayFill);
    box.setColor(QPalette::WindowText, named->legendText);
    overlay_->setPalette(box);
    overlayLabel_->setPalette(box);
    status_->setPalette(box);
    statusLabel_->setPalette(box);
    graph_->update();
}

void ChartController::crosshairToggleSelection() {
    crosshairMode_ = !crosshairMode_;
    if (!crosshairMode_)
        hideCrosshair();
    graph_->defaultPlotSpace().setAllowsUserInteraction(!crosshairMode_ &&
                                                        chart_.type() != tc::charts::ChartType::BidAsk);
}

void ChartController::resetCrosshairToggle() {
    crosshairMode_ = false;
    hideCrosshair();
    graph_->defaultPlotSpace().setAllowsUserInteraction(chart_.type() != tc::charts::ChartType::BidAsk);
}

void ChartController::chartScrollToEnd() {
    chart_.scrollToEnd();
    refreshView();
}

void ChartController::keyPressEvent(QKeyEvent* event) {
    const tc::charts::AxisRange x = chart_.viewport().xRange();
    const double middle = x.location + x.length / 2;
    switch (event->key()) {
    case Qt::Key_Left:
        chart_.dragBy(1);
        break;
    case Qt::Key_Right:
        chart_.dragBy(-1);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        chart_.zoomBy(1 / 1.2, middle);
        break;
    case Qt::Key_Minus:
        chart_.zoomBy(1.2, middle);
        break;
    case Qt::Key_Home:
        chart_.setXRange({-0.5, x.length});
        break;
    case Qt::Key_End:
        chart_.scrollToEnd();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    refreshView();
}

void ChartController::newChartData() {
    // A study is drawn from the bars it was computed from: nothing grows while one is shown; nor
    // without the bars, which are still asked for or could not be loaded.
    if (request_ || loadFailed_ || chart_.code().empty() || board_.frozen())
        return;
    const auto quote = source_.quote(chart_.code());
    if (!quote)
        return;
    const auto bid = chart_.bid(), ask = chart_.ask();
    const tc::charts::LiveStep step = chart_.applyQuote(*quote);
    if (step == tc::charts::LiveStep::Updated || step == tc::charts::LiveStep::Rolled ||
        bid != chart_.bid() || ask != chart_.ask())
        refreshView();
}

void ChartController::setSeriesTitles(const QString& bid, const QString& ask) {
    bidTitle_ = bid;
    askTitle_ = ask;
}

void ChartController::setHeaderHidden(bool hidden) {
    title_->setHidden(hidden);
}

void ChartController::setLanguage(Language& language) {
    if (language_ == &language)
        return;
    if (language_)
        disconnect(language_, nullptr, this, nullptr);
    language_ = &language;
    connect(&language, &Language::changed, this, &ChartController::retitle);
    retitle();
}

void ChartController::retitle() {
    showStatus();
    const std::string& key = chart_.intervalTextKey();
    if (!language_ || key.empty()) {
        title_->setText(QString::fromStdString(chart_.title()));
        return;
    }
    // In a right-to-left language the code still leads, from the right.
    title_->setText(filledText(language_->selected(), texts::kChartTitleFormat,
                               {QString::fromStdString(chart_.code()), language_->text(key)}));
}

std::size_t ChartController::numberOfRecords(const Plot& plot) const {
    if (const tc::charts::Series* series = studySeries(plot.identifier()))
        return std::min(series->size(), chart_.bars().size()); // never past either end
    return chart_.bars().size();
}

std::span<const double> ChartController::numbers(const Plot& plot, PlotField field) const {
    const tc::charts::BarSeries& bars = chart_.bars();
    const QString& id = plot.identifier();
    if (const tc::charts::Series* series = studySeries(id))
        return field == PlotField::Y ? std::span<const double>(*series).first(numberOfRecords(plot))
                                     : std::span<const double>();
    switch (field) {
    case PlotField::Y:
        if (id == kLinePlot)
            return bars.closes();
        if (id == kBidSeries)
            return bars.bids();
        if (id == kAskSeries)
            return bars.asks();
        return {};
    case PlotField::Open:
        return bars.opens();
    case PlotField::High:
        return bars.highs();
    case PlotField::Low:
        return bars.lows();
    case PlotField::Close:
        return bars.closes();
    default:
        return {};
    }
}

PlotRange ChartController::willChangePlotRange(PlotSpace&, PlotRange proposed, Coordinate coordinate) {
    if (coordinate == Coordinate::Y)
        return chart_.yRange();
    chart_.setXRange(proposed);
    return chart_.viewport().xRange();
}

QPointF ChartController::willDisplaceBy(PlotSpace&, QPointF displacement) {
    // Along the bars only, and not at all while every bar is in view.
    if (static_cast<double>(chart_.bars().size()) <= chart_.viewport().width())
        return {};
    return {displacement.x(), 0};
}

void ChartController::didChangePlotRange(PlotSpace&, Coordinate coordinate) {
    if (coordinate == Coordinate::X)
        refreshView();
}

bool ChartController::shouldHandlePointerDown(PlotSpace&, QPointF view) {
    if (crosshairMode_)
        showCrosshair(view);
    return true;
}

bool ChartController::shouldHandlePointerDragged(PlotSpace&, QPointF view) {
    if (graph_->crosshair())
        showCrosshair(view);
    return true;
}

bool ChartController::shouldHandlePointerUp(PlotSpace&, QPointF) {
    hideCrosshair();
    return true;
}

bool ChartController::shouldHandlePointerCancelled(PlotSpace&) {
    hideCrosshair();
    return true;
}

void ChartController::showCrosshair(QPointF view) {
    const PlotSpace& space = graph_->defaultPlotSpace();
    const auto bar = chart_.barAt(space.plotPoint(view).x());
    if (!bar) {
        hideCrosshair();
        return;
    }
    if (selected_ == bar && graph_->crosshair())
        return;
    selected_ = bar;
    const double close = chart_.bars().closes()[*bar];
    Crosshair marker;
    marker.x = static_cast<double>(*bar);
    marker.y = close;
    marker.pen = QPen(graph_->theme().crosshair, 2.0);
    marker.tagText = graph_->theme().tagText;
    marker.tagFill = graph_->theme().crosshairTag;
    marker.tag = QString::fromStdString(tc::charts::formatPrice(close, chart_.decimals()));
    marker.font = pixelFont(font(), 12);
    graph_->setCrosshair(marker);
    overlayLabel_->setText(QString::fromStdString(chart_.crosshairText(*bar)));
    overlay_->adjustSize();
    overlay_->move((space.area().topLeft() + QPointF(6, 6)).toPoint());
    overlay_->show();
    overlay_->raise();
}

void ChartController::hideCrosshair() {
    selected_.reset();
    if (graph_ && graph_->crosshair())
        graph_->setCrosshair(std::nullopt);
    if (overlay_)
        overlay_->hide();
}

} // namespace tc::gui
