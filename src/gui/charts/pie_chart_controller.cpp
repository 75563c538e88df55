#include "gui/charts/pie_chart_controller.h"

#include "gui/charts/titled_graph.h"

#include <QLabel>

#include <algorithm>
#include <array>
#include <string>

namespace tc::gui {

namespace {

const QString kPiePlot = QStringLiteral("Pie PLot");
constexpr double kLegendGap = 5;

} // namespace

PieChartController::PieChartController(QWidget* parent)
    : QWidget(parent), colours_(std::tuple_size_v<decltype(PlotTheme::pieSlices)>) {
    const TitledGraph parts = addTitledGraph(*this);
    title_ = parts.title;
    graph_ = parts.graph;
    graph_->xAxis().visible = false;
    graph_->yAxis().visible = false;
    graph_->border.setWidthF(1.0);
    empty_ = new QLabel(graph_);
    empty_->setObjectName(QStringLiteral("emptyPieLabel"));
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setWordWrap(true);
    empty_->hide();
    applyTheme(0);
}

void PieChartController::setEmptyText(const QString& text) {
    empty_->setText(text);
    layoutPie();
}

QString PieChartController::shownEmptyText() const {
    return empty_->isHidden() ? QString() : empty_->text();
}

PieChartController::~PieChartController() {
    graph_->removeAllPlots();
}

QColor PieChartController::sliceColor(std::size_t index) const {
    return graph_->theme().pieSlice(index);
}

QColor PieChartController::colourOfSlice(std::size_t record) const {
    return sliceColor(record < colourOf_.size() ? colourOf_[record] : record);
}

QColor PieChartController::hatchOfSlice(std::size_t record) const {
    // The ground's colour: stripes that read on every slice colour of the theme.
    return record < slices_.size() && tc::charts::isLoss(slices_[record]) ? graph_->theme().background
                                                                          : QColor();
}

void PieChartController::loadChart(const QStringList& titles, const QList<double>& values,
                                   const std::function<void(bool)>& completion) {
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(titles.size()));
    for (const QString& t : titles)
        texts.push_back(t.toStdString());
    const std::vector<double> numbers(values.begin(), values.end());
    slices_ = tc::charts::pieSlices(texts, numbers);
    sizes_.clear();
    for (const auto& s : slices_)
        sizes_.push_back(s.size);
    colourOf_ = colours_.assign(slices_);
    if (!constructed_) {
        constructGraph();
        if (completion)
            completion(true);
        return;
    }
    layoutPie();
}

void PieChartController::constructGraph() {
    constructed_ = true;
    auto pie = std::make_unique<PiePlot>(kPiePlot);
    pie->setDataSource(this);
    pie_ = static_cast<PiePlot*>(&graph_->addPlot(std::move(pie)));
    layoutPie();
}

void PieChartController::layoutPie() {
    if (!pie_)
        return;
    Legend legend;
    legend.anchor = Legend::Anchor::Right;
    legend.columns = 1;
    QFont font = this->font();
    font.setPixelSize(11);
    font.setBold(true);
    legend.font = font;
    for (std::size_t i = 0; i < slices_.size(); ++i)
        legend.entries.push_back(
            {QString::fromStdString(tc::charts::legendText(slices_[i])), colourOfSlice(i), hatchOfSlice(i)});
    legend.displacement = QPointF(-kLegendGap, 0);
    // The pie takes the room left of the legend, so the two never overlap.
    const double legendWidth = legend.entries.isEmpty() ? 0 : legend.size().width() + 2 * kLegendGap;
    graph_->setPlotAreaPadding(QMarginsF(0, 0, std::max(60.0, legendWidth), 0));
    graph_->setLegend(legend);
    const QRectF area = graph_->plotArea();
    const double frame = std::min(graph_->width(), graph_->height());
    pie_->radius = std::max(1.0, std::min(frame * 0.35, std::min(area.width(), area.height()) / 2 - 2));
    // Nothing to draw: the plot area says so instead of standing empty.
    const bool nothing = slices_.empty() && !empty_->text().isEmpty();
    empty_->setVisible(nothing);
    if (nothing) {
        // Over the whole view: the legend's room is free, and a small pie needs it for the words.
        empty_->setGeometry(graph_->rect().adjusted(6, 6, -6, -6));
        empty_->raise();
    }
    graph_->update();
}

QPointF PieChartController::pieCentre() const {
    return graph_->plotArea().center();
}

double PieChartController::pieRadius() const {
    return pie_ ? pie_->radius : 0;
}

void PieChartController::applyTheme(int theme) {
    const auto named = PlotTheme::named(theme);
    if (!named)
        return;
    graph_->setTheme(*named);
    applyTitleTheme(*title_, *named);
    QPalette palette = empty_->palette();
    palette.setColor(QPalette::WindowText, named->legendText);
    empty_->setPalette(palette);
    layoutPie(); // the legend's swatches take the theme's slice colours
}

void PieChartController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPie();
}

std::size_t PieChartController::numberOfRecords(const Plot&) const {
    return sizes_.size();
}

std::span<const double> PieChartController::numbers(const Plot&, PlotField field) const {
    if (field == PlotField::SliceWidth)
        return sizes_;
    return {};
}

QString PieChartController::legendTitle(const PiePlot&, std::size_t record) const {
    return record < slices_.size() ? QString::fromStdString(tc::charts::legendText(slices_[record]))
                                   : QString();
}

QColor PieChartController::sliceFill(const PiePlot&, std::size_t record) const {
    return colourOfSlice(record);
}

QColor PieChartController::sliceHatch(const PiePlot&, std::size_t record) const {
    return hatchOfSlice(record);
}

} // namespace tc::gui
