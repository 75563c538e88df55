#pragma once
// A chart of one of the main window's slots: the price chart with a small tool bar (type and
// interval menus, crosshair, scroll to end, theme menu), no instrument chooser and no studies.
// The controller can be configured before its view exists; the view, made by view(), then starts
// the chart at once, and every later configuration restarts it.
//
//     ChartViewController slot(context);
//     slot.setValue({"EURUSD", 1, 3});    // kept: there is no view yet
//     layout->addWidget(slot.view());      // one-minute candlesticks from here on
#include "charts/chart_source.h"
#include "gui/charts/chart_slot_config.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class QToolButton;

namespace Ui {
class ChartViewController;
}

namespace tc::gui {

class ChartController;
class ChartModel;
class GuiContext;

class ChartViewController : public QObject {
    Q_OBJECT
public:
    // The chart reads the session through `source` when one is given (it must outlive the
    // controller), else through a chart model of its own.
    explicit ChartViewController(GuiContext& context, QObject* parent = nullptr,
                                 tc::charts::ChartSource* source = nullptr);
    ~ChartViewController() override;

    // The instrument, interval and type to show; starts the chart when the view exists.
    void setValue(const ChartSlotConfig& config);
    std::optional<ChartSlotConfig> configuration() const;
    unsigned currentInterval() const { return currentInterval_; }
    unsigned chartType() const { return chartType_; }

    // The view, made on the first call (owned by whoever it is placed in; it may go first).
    QWidget* view();
    bool isViewLoaded() const { return !view_.isNull(); }
    ChartController* chartController() const;

    // Menu choices: tags 0..2 line, OHLC, candlestick (in place); 0..7 M1 to W1 (restart); 0 dark,
    // 1 light.
    void chartTypeSelected(int tag);
    void intervalSelected(int tag);
    void chartThemeMenuClicked(int tag);
    void crosshairButtonClicked();
    void chartScrollToEnd();

Q_SIGNALS:
    // The user chose another type or interval (the owner keeps the slots' configurations).
    void configurationChanged();

private:
    void loadChart();
    void applyTheme();
    void updateLanguageStrings();
    void resetCrosshair();

    GuiContext& context_;
    std::unique_ptr<ChartModel> ownSource_;
    tc::charts::ChartSource& source_;
    std::unique_ptr<Ui::ChartViewController> ui_; // its widgets live while view_ does
    QPointer<QWidget> view_;
    QPointer<ChartController> chart_;
    QString itemCode_;
    unsigned currentInterval_ = 1;
    unsigned chartType_ = 3;
    bool configured_ = false;
    int chartTheme_ = -1; // the program's theme until one is chosen
};

} // namespace tc::gui
