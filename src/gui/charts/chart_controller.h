#pragma once
// The price chart of one instrument at one interval: line, OHLC bars, candlesticks or bid and ask
// lines, with the live bid and ask, dragging and zooming along the bars, a crosshair that reads
// out the bar under the pointer, and a one-second live update of the newest bar on the session's
// tick. It is the data source and the plot-space delegate of its graph.
#include "charts/chart_source.h"
#include "charts/price_chart.h"
#include "charts/study_board.h"
#include "gui/plot/graph_view.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QFrame;
class QPushButton;

namespace tc::gui {

class ClientModel;
class Language;

class ChartController : public QWidget, private PlotDataSource, private PlotSpaceDelegate {
    Q_OBJECT

public:
    explicit ChartController(tc::charts::ChartSource& source, QWidget* parent = nullptr);
    ~ChartController() override;

    // Starts the chart of `code` with the start key "interval#type" ("1#3": one-minute
    // candlesticks). Bars come from the cache when they are younger than one bar, else from a
    // request, while the chart says it is loading. A key without "#" starts nothing; an unknown
    // instrument leaves the chart empty. A request that fails is said in the chart with its reason
    // and a Reload button; the bars are asked for again at Reload, and (with followTick) once the
    // server answers again or a sign-in completes.
    void setValue(const QString& code, const QString& startKey);
    // 1 line, 2 OHLC, 3 candlesticks, 4 bid and ask; the bars and window stay.
    void setChartType(int type);
    // 0 dark, 1 light; other numbers are only stored.
    void applyChartTheme(int theme);
    int chartTheme() const { return themeNumber_; }
    // Crosshair mode: a press shows the bar under the pointer instead of dragging.
    void crosshairToggleSelection();
    void resetCrosshairToggle();
    bool crosshairMode() const { return crosshairMode_; }
    // Back to the newest bar, following it again.
    void chartScrollToEnd();
    // One live step from the instrument's quote (the session's tick once the bars are shown).
    void newChartData();
    // The live update follows this session's one-second tick (none: only newChartData moves it), and
    // bars that could not be loaded are asked for again when the session's server answers again.
    void followTick(const ClientModel* session);
    // After a load that failed: asks for the bars again (nothing otherwise).
    void reload();
    // The last request for bars failed and none is out.
    bool loadFailed() const { return loadFailed_; }
    // Where the chart says that its bars are loading or could not be loaded, with its Reload button.
    QLabel& statusLabel() { return *statusLabel_; }
    QPushButton& reloadButton() { return *reloadButton_; }
    // The bars are shown and each tick moves the newest one.
    bool isLive() const { return live_; }
    // Legend titles of the bid and ask series (the bid/ask chart).
    void setSeriesTitles(const QString& bid, const QString& ask);
    // Hides the title line ("EURUSD, One Minute") above the graph.
    void setHeaderHidden(bool hidden);
    // The title names the interval in this language from now on, and follows its changes; without
    // one it reads in English.
    void setLanguage(Language& language);

    // Studies, computed from the bars held now. The price studies draw over the prices in
    // `colours` (one per line: the SMA and EMA one, the bands one for all three, the Alligator's
    // jaws, teeth and lips); an oscillator replaces the one on the lower graph, titled `title`.
    // While any study is shown the live update waits. A refused parameter shows nothing and
    // returns the refusal.
    tc::charts::StudyError loadStudy(tc::charts::Study study, const tc::charts::StudyParams& params,
                                     const QList<QColor>& colours = {}, const QString& title = {});
    void removeStudy(tc::charts::Study study);
    const tc::charts::StudyBoard& studies() const { return board_; }
    // The live update stands still (a study is shown).
    bool liveUpdateFrozen() const { return board_.frozen(); }
    // The lower graph with its title, for the owner to place (it goes with this chart); hidden
    // until an oscillator is shown.
    QWidget& indicatorView();
    GraphView& indicatorGraph() { return *indicatorGraph_; }
    QLabel& indicatorTitle() { return *indicatorTitle_; }

    const tc::charts::PriceChart& chart() const { return chart_; }
    GraphView& graph() { return *graph_; }
    QLabel& titleLabel() { return *title_; }
    QLabel& overlayLabel() { return *overlayLabel_; }
    QFrame& overlay() { return *overlay_; }

protected:
    // Left and Right move one bar, + and - zoom about the middle, Home and End go to the first and
    // the newest bars.
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::size_t numberOfRecords(const Plot& plot) const override;
    std::span<const double> numbers(const Plot& plot, PlotField field) const override;
    QColor barFill(const BarPlot& plot, std::size_t record) const override;

    PlotRange willChangePlotRange(PlotSpace&, PlotRange proposed, Coordinate) override;
    QPointF willDisplaceBy(PlotSpace&, QPointF displacement) override;
    void didChangePlotRange(PlotSpace&, Coordinate) override;
    bool shouldHandlePointerDown(PlotSpace&, QPointF view) override;
    bool shouldHandlePointerDragged(PlotSpace&, QPointF view) override;
    bool shouldHandlePointerUp(PlotSpace&, QPointF view) override;
    bool shouldHandlePointerCancelled(PlotSpace&) override;

    void retitle();
    void loadBars();
    void barsArrived();
    void barsFailed(const std::string& reason);
    // The loading or failure line, in the language of the moment; hidden otherwise.
    void showStatus();
    void constructGraph();
    void addPricePlot();
    // Ranges, axis labels and the bid and ask lines from the chart's current state.
    void refreshView();
    void showCrosshair(QPointF view);
    void hideCrosshair();
    // Studies (chart_studies.cpp).
    struct ShownStudy {
        tc::charts::Study study;
        tc::charts::StudyResult result;
        tc::charts::StudyParams params;
        QList<QColor> colours;
        QString title;
    };
    void addStudyPlots(const ShownStudy& shown);
    void removeStudyPlots(tc::charts::Study study);
    void dropStudies();
    // The bars came after the studies were switched on: each is computed again over them.
    void recomputeStudies();
    void refreshIndicator();
    const tc::charts::Series* studySeries(const QString& identifier) const;

    tc::charts::ChartSource& source_;
    tc::charts::PriceChart chart_;
    std::unique_ptr<tc::charts::ChartRequest> request_;
    int themeNumber_ = 0;
    bool crosshairMode_ = false;
    std::optional<std::size_t> selected_;
    QString bidTitle_, askTitle_;
    QPointer<Language> language_;
    QLabel* title_ = nullptr;
    GraphView* graph_ = nullptr;
    QFrame* overlay_ = nullptr;
    QLabel* overlayLabel_ = nullptr;
    QFrame* status_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPushButton* reloadButton_ = nullptr;
    bool loadFailed_ = false;
    std::string failure_; // the reason of the failed load; empty: the session it went on is gone
    bool live_ = false;
    tc::charts::StudyBoard board_;
    std::vector<ShownStudy> shown_;
    QPointer<QWidget> indicatorView_;
    GraphView* indicatorGraph_ = nullptr;
    QLabel* indicatorTitle_ = nullptr;
};

} // namespace tc::gui
