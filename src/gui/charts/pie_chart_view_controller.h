#pragma once
// The main window's account pie: for the current account, the floating profit and loss per
// instrument (segment 0) or the margin per instrument with the available margin as a share of equity
// (segment 1). It follows the session's one-second tick and every change of the positions or
// accounts; the session's records are only read. Without equity to share, the margin pie shows a
// text instead of slices.
#include "model/account_figures.h"

#include <QWidget>

#include <memory>

namespace Ui {
class PieChartViewController;
}

namespace tc::gui {

class GuiContext;
class PieChartController;

class PieChartViewController : public QWidget {
    Q_OBJECT
public:
    // Needs the context's client model.
    explicit PieChartViewController(GuiContext& context, QWidget* parent = nullptr);
    ~PieChartViewController() override;

    // 0 profit and loss, 1 margin: the title at once, the slices at the next refresh.
    void pieSegementButtonClicked(int segment);
    bool isProfitLossPieChart() const { return mode_ == PieMode::ProfitLoss; }
    // Rebuilds the slices from the session now.
    void reloadData();

    PieChartController& pieChartController() { return *pie_; }
    bool showsEmptyText() const;

private:
    void updateLanguageStrings();
    void applyTheme();

    std::unique_ptr<Ui::PieChartViewController> ui_;
    GuiContext& context_;
    PieChartController* pie_ = nullptr;
    PieMode mode_ = PieMode::ProfitLoss;
};

} // namespace tc::gui
