#pragma once
// One grid of the main window's tabs with what belongs to it: the table (a GridTable), its header
// menu that hides and shows columns (remembered per grid in the user defaults), its row menu, and
// what the grid shows beside its rows: the open positions' totals bar, the settled positions' status
// line, the executed positions' day search and the accounts' funding request buttons.
//
// Rows are record ids: double clicks and menu actions hand ids on, never row numbers. The row menus
// open the close, cancel, modify and offset sheets and the delivery receipt on the main window; the
// totals bar opens the close-all window.
// Totals come from the grid model's refresh, so they do not depend on which columns are shown.
#include "gui/grid/grid_spec.h"
#include "gui/market/row_menu_rules.h"

#include <QDate>
#include <QWidget>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QDateEdit;
class QLabel;
class QMenu;
class QPushButton;

namespace tc::gui {

class GridModel;
class GridTable;
class GuiContext;

// The login property list's switches that take columns away.
ColumnSwitches loadColumnSwitches();

class GridPane : public QWidget {
    Q_OBJECT
public:
    // Needs the context's client model. `switches`: the columns the login settings take away.
    GridPane(GuiContext& context, Grid grid, const ColumnSwitches& switches, QWidget* parent = nullptr);
    GridPane(GuiContext& context, Grid grid, QWidget* parent = nullptr);
    ~GridPane() override;

    Grid grid() const { return grid_; }
    GridTable& table() const { return *table_; }
    GridModel& gridModel() const;

    // The header menu: one checkable action per column the user may hide (data: its id).
    QMenu& headerMenu() const { return *headerMenu_; }
    bool isColumnShown(std::string_view identifier) const;
    // Shows or hides a column as its header menu item does, and remembers the choice.
    void setColumnShown(std::string_view identifier, bool shown);

    // The row menu of a record, as a right click on its row opens it; null when the row offers
    // nothing. Owned by the pane, replaced at the next call.
    QMenu* rowMenu(const std::string& id);
    // Whether the row's menu offers the action now (shown and enabled).
    bool offers(RowAction action, const std::string& id) const;
    // What the menu's action does: its sheet opens on the pane's window for the record.
    void runAction(RowAction action, const std::string& id);
    // The record of the selected row (the focused one too); empty when no row is selected.
    std::string selectedId() const;
    // Selects the record's row, or none when the grid has no row of it.
    void selectRecord(const std::string& id);

    // The open positions' totals: caption and value texts by the caption's key (kQuantity, kPL,
    // kCommission, kMargin, kStorage); empty for other grids.
    QString totalValue(std::string_view key) const;
    // The settled positions' status line.
    QString statusLine() const;

    // The executed positions' day search: the table shows that day's executions until endSearch.
    // The day offered is the server's today, as the rows' times are the server's; it follows the
    // server's day until the trader picks one.
    bool search(const QDate& day);
    void endSearch();
    bool isSearching() const { return searching_; }
    QDate searchDay() const;
    // The text a cell shows in this view (date columns follow the column's width).
    QString shownText(const std::string& id, std::string_view identifier) const;

Q_SIGNALS:
    // A double click on a row (not on the header): the row's record id.
    void rowDoubleClicked(tc::gui::Grid grid, const QString& id);
    // The selected rows changed, or rows came or went.
    void selectionChanged();
    // The accounts grid: a row selected, with the mouse or the keys, makes its account the current
    // one.
    void accountChosen(std::int32_t accountId);
    // The accounts grid's request buttons.
    void newDepositRequested();
    void newWithdrawalRequested();

private:
    void buildHeaderMenu();
    void updateHeaderMenu();
    void addTotalsBar();
    void addStatusLine();
    void addSearchBar();
    void addRequestButtons();
    void updateTotals();
    void applyFontSize();
    // While the session is not signed in the totals read as stale and no order action starts.
    void followLoginState();
    void showRowMenu(const QPoint& at);
    std::string idAt(const QModelIndex& index) const;
    std::vector<MenuItem> menuItems(const std::string& id) const;
    bool sheetOpen() const;

    GuiContext& context_;
    const Grid grid_;
    GridTable* table_ = nullptr;
    QMenu* headerMenu_ = nullptr;
    QMenu* rowMenu_ = nullptr;
    std::vector<QLabel*> totalValues_;
    QPushButton* closeAllButton_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QDateEdit* searchDate_ = nullptr;
    QDate offeredDay_; // the server's day last offered in searchDate_
    bool searching_ = false;

    // Puts the server's today in the day field.
    void offerToday();
};

} // namespace tc::gui
