#pragma once
// The contract details of one instrument in a floating window: seven two-column panes (symbol and
// contract terms, margin requirement, daily price limits, market sessions, storage, related
// dates), the instrument's description and its live bid and ask chart. Not modal; opening it for
// another instrument replaces everything and brings it to the front. Each pane is a detail window
// controller that only feeds its table, which sits in a box of this window.
#include <QWidget>

#include <array>
#include <memory>
#include <string>

namespace Ui {
class AdvancedDetailWindowController;
}

class QTableWidget;

namespace tc::gui {

class ChartController;
class ChartModel;
class DetailWindowController;
class GuiContext;

class AdvancedDetailWindowController : public QWidget {
    Q_OBJECT
public:
    static constexpr std::size_t kPanes = 7;

    // Needs the context's client model.
    explicit AdvancedDetailWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~AdvancedDetailWindowController() override;

    // Shows the instrument (its code) and brings the window to the front.
    void runModalWindowForItem(const std::string& code);

    const std::string& itemCode() const { return code_; }
    // Panes of types 3 to 9, in that order.
    DetailWindowController& pane(std::size_t index) const { return *panes_.at(index); }
    QTableWidget* paneTable(std::size_t index) const;
    ChartController& chartController() { return *chart_; }
    QString description() const;

private:
    void loadDetails();
    void showDescription();

    std::unique_ptr<Ui::AdvancedDetailWindowController> ui_;
    GuiContext& context_;
    std::unique_ptr<ChartModel> source_;
    std::array<DetailWindowController*, kPanes> panes_{};
    ChartController* chart_ = nullptr;
    std::string code_;
};

// The board's one advanced detail window for `owner` (made on first use and kept), showing `code`.
AdvancedDetailWindowController* openAdvancedDetail(GuiContext& context, QWidget* owner,
                                                   const std::string& code);

} // namespace tc::gui
