#pragma once
// The market-depth ladders: the buy and the sell side of one instrument's depth, at most five levels
// each, in the order the feed sent them. A ladder follows the instrument it is handed (setValue) and
// reloads when the feed changes that instrument's depth and on the session's tick. The pane holds both
// ladders under the instrument's code; the main window hands it the board's selected instrument.
#include "gui/controls/filled_grid_table_view.h"
#include "gui/market/depth_ladder.h"

#include <QWidget>

#include <string>

class QLabel;

namespace tc::gui {

class GridModel;
class GuiContext;

class MarketDepthTableController : public FilledGridTableView {
    Q_OBJECT
public:
    MarketDepthTableController(GuiContext& context, DepthSide side, QWidget* parent = nullptr);
    ~MarketDepthTableController() override;

    GridModel& gridModel() const { return *model_; }
    // The instrument whose levels the ladder shows; an empty code keeps the one it has.
    void setValue(const std::string& code);
    const std::string& itemCode() const;

private:
    void setHeaderTitles();

    GuiContext& context_;
    GridModel* model_ = nullptr;
};

class MarketDepthPane : public QWidget {
    Q_OBJECT
public:
    explicit MarketDepthPane(GuiContext& context, QWidget* parent = nullptr);

    MarketDepthTableController& buyLadder() const { return *buy_; }
    MarketDepthTableController& sellLadder() const { return *sell_; }
    void setInstrument(const QString& code);

private:
    void retitle();

    GuiContext& context_;
    QLabel* title_ = nullptr;
    MarketDepthTableController* buy_ = nullptr;
    MarketDepthTableController* sell_ = nullptr;
};

} // namespace tc::gui
