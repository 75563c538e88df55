#pragma once
// A chart window: one instrument's price chart above a lower pane for the oscillators, with the
// instrument, interval and type choosers, the analysis panel (a popup under its button), the
// crosshair, scroll-to-end and the chart theme. Each window keeps its own instrument, interval, type,
// theme and studies; it opens on the first instrument of the watch list, at one minute, as
// candlesticks. A new instrument or interval restarts the chart without studies; a new type keeps
// them and sends nothing. Not modal; closing it deletes it, and its chart's timer and requests go
// with it.
#include "charts/chart_source.h"
#include "charts/studies.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class QFrame;

namespace Ui {
class ChartWindowController;
}

namespace tc::gui {

class ChartAnalysisViewController;
class ChartController;
class ChartModel;
class GuiContext;

class ChartWindowController : public QWidget {
    Q_OBJECT
public:
    // The interval titles, codes 1 to 8.
    static const std::vector<QString>& intervalTitles();

    // Needs the context's client model. The chart reads the session through `source` when one is
    // given (it must outlive the window), else through a chart model of its own.
    explicit ChartWindowController(GuiContext& context, QWidget* parent = nullptr,
                                   tc::charts::ChartSource* source = nullptr);
    ~ChartWindowController() override;

    // Theme and texts; when the watch list changed since the choosers were filled, fills them again
    // and starts on its first instrument.
    void NeedReload();
    // Fills the choosers and starts the chart.
    void windowDidAppear();

    // Restarts on an instrument of the watch list, as choosing it would; false for one not in it.
    bool showInstrument(const QString& code);
    void SymbolPopUpItemSelected(int index);
    void IntervalItemSelected(int index);
    void ChartTypeControlSelected(int index);
    // Shows the analysis panel under its button (closing on a click outside it).
    void analysisButtonClicked();
    void crosshairButtonClicked();
    void chartScrollToEnd();
    // 0 dark, 1 light.
    void chartThemeMenuClicked(int theme);

    const QString& itemCode() const { return itemCode_; }
    int intervalIndex() const { return intervalIndex_; }
    int chartTypeIndex() const { return chartTypeIndex_; }
    bool lowerPaneShown() const;
    ChartController& chartController() { return *chart_; }
    ChartAnalysisViewController& analysisPanel();
    // The popup holding the panel (null before the first showing).
    QFrame* analysisPopup() const { return popup_; }

private:
    void LoadChart();
    void restartWithoutStudies();
    void studySwitchedOn(tc::charts::Study study);
    void studySwitchedOff(tc::charts::Study study);
    void applyTheme();
    void updateLanguageStrings();

    std::unique_ptr<Ui::ChartWindowController> ui_;
    GuiContext& context_;
    std::unique_ptr<ChartModel> ownSource_;
    tc::charts::ChartSource& source_;
    ChartController* chart_ = nullptr;
    ChartAnalysisViewController* panel_ = nullptr;
    QFrame* popup_ = nullptr;
    std::vector<std::string> backupSymbols_;
    QString itemCode_;
    QString intervalTitle_;
    int intervalIndex_ = 1;
    int chartTypeIndex_ = 3;
    // The theme chosen from the menu; the program's theme until one is.
    int chartTheme_ = -1;
    bool filling_ = false;
};

// A new chart window above `parent`, shown and brought forward: on the watch list's first instrument,
// or on `code` when the watch list holds it. It deletes itself once closed.
ChartWindowController* openChartWindow(GuiContext& context, QWidget* parent, const QString& code = {});

} // namespace tc::gui
