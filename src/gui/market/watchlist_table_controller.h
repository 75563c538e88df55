#pragma once
// The quotes board: one row per instrument of the watch list, its bid and ask on the ground of the
// direction of their last tick (this view's own ticks, noted once per refresh), the day's prices, the
// spread in ticks, the update time, the session and the trading status, and a contract-detail button.
//
// The header's menu hides and shows columns; the choice is kept per grid in the user defaults, so a
// new board (the next start) shows the same columns. The row menu offers the order ticket, a chart
// window and the instrument's details sheet. A double click opens the order
// ticket of an active instrument (refused with an alert for one that is not), and on the
// contract-detail column the advanced detail window. The selected instrument goes out as instrumentSelected,
// for the depth ladders.
#include "gui/controls/filled_grid_table_view.h"
#include "gui/grid/grid_spec.h"

#include <string>

class QMenu;

namespace tc::gui {

class GridModel;
class GridViewProxy;
class GuiContext;

class WatchlistTableController : public FilledGridTableView {
    Q_OBJECT
public:
    explicit WatchlistTableController(GuiContext& context, QWidget* parent = nullptr);
    ~WatchlistTableController() override;

    GridModel& gridModel() const { return *model_; }
    GridViewProxy& proxy() const { return *proxy_; }
    // The column menu the header shows: one checkable item per column it offers, its identifier as
    // the action's data.
    QMenu* headerMenu() const { return headerMenu_; }
    // Hides or shows the column of an identifier and remembers the board's hidden columns.
    void HideAndShowTableColumns(const std::string& identifier, bool hide);
    bool isColumnHiddenById(const std::string& identifier) const;
    // The menu of a row of the view (built afresh; the caller owns it).
    QMenu* rowMenu(int row);
    // The instrument code of a row of the view; empty past the rows.
    std::string codeAt(int row) const;
    // What a double click on a cell does (the header's clicks never reach it).
    void doubleAction(const QModelIndex& index);
    // The order ticket for the row's instrument; an instrument that cannot trade gets the alert
    // kInstrumentNotAvailableTradingAccount.
    void openTicket(int row);
    void contractDetailButtonClicked(int row);
    // The width of the columns in sight up to and with the column of an identifier (0 when it is
    // hidden or unknown).
    int widthThrough(std::string_view identifier) const;

Q_SIGNALS:
    void instrumentSelected(const QString& code);
    // The columns took new widths (a font size or a language).
    void columnsFitted();

protected:
    void startDrag(Qt::DropActions supportedActions) override;

private:
    void SetHeaderMenuItems();
    void retitleHeaderMenu();
    void applyFontSize();
    void fitColumns();

    GuiContext& context_;
    GridModel* model_ = nullptr;
    GridViewProxy* proxy_ = nullptr;
    QMenu* headerMenu_ = nullptr;
    int detailColumn_ = -1;
    std::int64_t fontSize_ = 0;
};

} // namespace tc::gui
