#pragma once
// A pie chart with a legend from titled values: slices sized by the values' magnitudes in the
// order given, each legend entry "title: value" with the value's sign. Slice colours come from the
// theme's five; a title keeps its colour from one load to the next, and a loss is striped over its
// colour, in the pie and in the legend. Used by the account pie and the statement window.
#include "charts/pie_data.h"
#include "gui/plot/graph_view.h"

#include <QList>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;

namespace tc::gui {

class PieChartController : public QWidget, private PlotDataSource {
    Q_OBJECT

public:
    explicit PieChartController(QWidget* parent = nullptr);
    ~PieChartController() override;

    // Replaces the slices. The first load builds the graph and calls `completion` with true; later
    // loads only redraw and do not call it.
    void loadChart(const QStringList& titles, const QList<double>& values,
                   const std::function<void(bool)>& completion = {});
    bool isGraphConstructed() const { return constructed_; }
    // 0 dark, 1 light; other numbers change nothing.
    void applyTheme(int theme);

    // The theme's colour of that number (repeating after five).
    QColor sliceColor(std::size_t index) const;
    // The colour the slice of this record is filled with, and the stripes over a loss (invalid for
    // any other slice).
    QColor colourOfSlice(std::size_t record) const;
    QColor hatchOfSlice(std::size_t record) const;
    const std::vector<tc::charts::PieSlice>& slices() const { return slices_; }
    QLabel& titleLabel() { return *title_; }
    // Said in the pie's place once a load brought no slice (none by default).
    void setEmptyText(const QString& text);
    // The text showing in the pie's place, empty while the pie has slices.
    QString shownEmptyText() const;
    GraphView& graph() { return *graph_; }
    // The pie's centre and radius in the graph's coordinates.
    QPointF pieCentre() const;
    double pieRadius() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::size_t numberOfRecords(const Plot& plot) const override;
    std::span<const double> numbers(const Plot& plot, PlotField field) const override;
    QString legendTitle(const PiePlot& plot, std::size_t record) const override;
    QColor sliceFill(const PiePlot& plot, std::size_t record) const override;
    QColor sliceHatch(const PiePlot& plot, std::size_t record) const override;

    void constructGraph();
    void layoutPie();

    std::vector<tc::charts::PieSlice> slices_;
    std::vector<double> sizes_;
    tc::charts::SliceColours colours_;
    std::vector<std::size_t> colourOf_; // each record's colour number
    bool constructed_ = false;
    QLabel* title_ = nullptr;
    QLabel* empty_ = nullptr;
    GraphView* graph_ = nullptr;
    PiePlot* pie_ = nullptr;
};

} // namespace tc::gui
