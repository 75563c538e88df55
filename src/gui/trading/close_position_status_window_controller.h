#pragma once
// The sheet the close-all window shows over itself when its check refused some ticked positions:
// each refused position with its reason, and either a button to close the others and one to go
// back, or (every ticked position refused) only the one to go back. It knows nothing of orders:
// going on is the goOn signal.
#include "gui/app/sheet_controller.h"
#include "gui/models/record_table_model.h"
#include "gui/trading/close_all_rules.h"

#include <memory>
#include <string>
#include <vector>

class QTableView;

namespace Ui {
class ClosePositionStatusWindowController;
}

namespace tc::gui {

class GuiContext;

// The status tables' rows by position: account, position, instrument, side, quantity, price, status.
using StatusTableModel = RecordTableModel<CloseAllStatusRow>;
// Gives `table` its status model (owned by the table) and its headers.
void setUpStatusTable(QTableView& table, GuiContext& context);
// The rows of a table set up as above, sized to their texts: long reasons wrap in the status column.
void fillStatusTable(QTableView& table, const std::vector<CloseAllStatusRow>& rows);
// The columns and rows of such a table sized to their texts again (after a change of language).
void fitStatusTable(QTableView& table);
// One row's record changed in place, its row and columns grown to fit it; the other rows are not read.
void showStatusRecord(QTableView& table, int row, const CloseAllStatusRow& record);

class ClosePositionStatusWindowController : public SheetController {
    Q_OBJECT
public:
    explicit ClosePositionStatusWindowController(GuiContext& context, QWidget* parent = nullptr);
    ~ClosePositionStatusWindowController() override;

    // The refused rows; `canGoOn`: some ticked position passed; `leftOneSided`: the holdings going on
    // would leave open on one side only (CloseAllFlow::leftOneSided), said above the rows.
    void setRows(std::vector<CloseAllStatusRow> rows, bool canGoOn,
                 std::vector<std::string> leftOneSided = {});
    Ui::ClosePositionStatusWindowController& ui() const { return *ui_; }
    void onWindowLoad() override;

Q_SIGNALS:
    // Close the positions that passed.
    void goOn();

private:
    std::unique_ptr<Ui::ClosePositionStatusWindowController> ui_;
    GuiContext& context_;
    std::vector<CloseAllStatusRow> rows_;
    bool canGoOn_ = false;
    std::vector<std::string> leftOneSided_;
};

} // namespace tc::gui
