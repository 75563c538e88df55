// The account, position and order grids of the main window against the in-process test server,
// signed in as demo: orders placed and closed through the core travel through the grids, the row
// menus, the executed day search, hidden columns across a restart, and totals that do not depend on
// the columns shown.
#include "gui/app/font_sizes.h"
#include "gui/app/language.h"
#include "gui/controls/grid_table.h"
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/grid/grid_view_proxy.h"
#include "gui/main/main_window_controller.h"
#include "gui/market/detail_window_controller.h"
#include "gui/models/session_fixture.h"
#include "gui/screens/layout_check.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "platform/lenient.h"
#include "support/computer_zone.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QAction>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::Grid;
using tc::gui::GridModel;
using tc::gui::GridPane;

interfaces::Decimal dec(const char* text) {
    return *interfaces::Decimal::fromString(text);
}

// A grouped amount as a number ("1,234.50" -> 1234.5).
double amountOf(const QString& text) {
    QString plain = text;
    plain.remove(QLatin1Char(','));
    return tc::platform::lenientReal(plain.toStdString());
}

class GridPaneTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        holdPrices = true; // the client's quote and the server's fill price agree
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        ASSERT_TRUE(
            waitFor([&] { return session->client().queries().getOpenOrderCollection().size() >= 2; }, 15000));
        // The login's settled and cancelled lists in too, so the ids a test takes as "before" hold the
        // records the server already had.
        ASSERT_TRUE(waitFor(
            [&] {
                const auto& queries = session->client().queries();
                return !queries.getSettledOrderCollection().empty() &&
                       !queries.getCancelledOrderCollection().empty();
            },
            15000));
        // The totals are the current account's, as the main window chooses it at sign-in.
        ASSERT_TRUE(session->client().setCurrentAccount(20001));
    }
    void TearDown() override {
        testers.clear();
        SessionTest::TearDown();
    }

    // A pane in a window of its own, its model under the model tester.
    GridPane& pane(Grid grid) {
        auto* window = new QWidget;
        window->resize(1200, 400);
        auto* pane = new GridPane(*context, grid, tc::gui::ColumnSwitches{true, true}, window);
        pane->resize(window->size());
        window->show();
        testers.push_back(std::make_unique<QAbstractItemModelTester>(
            &pane->gridModel(), QAbstractItemModelTester::FailureReportingMode::Fatal));
        return *pane;
    }
    static QString cell(const GridPane& pane, const std::string& id, std::string_view column) {
        const GridModel& model = pane.gridModel();
        const int row = model.rowOf(id);
        return row < 0 ? QString() : model.index(row, model.columnOf(column)).data().toString();
    }
    static std::set<std::string> ids(const GridPane& pane) {
        std::set<std::string> out;
        for (int row = 0; row < pane.gridModel().rowCount(); ++row)
            out.insert(pane.gridModel().rowId(row));
        return out;
    }
    // The first of `now` that `before` lacks.
    static std::string newIn(const std::set<std::string>& now, const std::set<std::string>& before) {
        for (const std::string& id : now)
            if (!before.contains(id))
                return id;
        return {};
    }
    interfaces::OrderTicket ticket(const char* quantity) {
        interfaces::OrderTicket t;
        t.instrument = "EURUSD";
        t.account = 20001;
        t.quantity = dec(quantity);
        return t;
    }
    // The ids of the server's pending orders, and of the settlements of position `position`. The grids
    // fill from the login and from data-service replies that may still be on their way, so a new row
    // is told by the id the server gave it, never by what a grid did not hold a moment before.
    std::set<std::string> serverPendingIds() {
        return server->book().with([](const testserver::Books& b) {
            std::set<std::string> out;
            for (const auto& o : b.pendingOrders)
                out.insert(std::to_string(o.pendingOrderId));
            return out;
        });
    }
    std::set<std::string> serverPositionIds() {
        return server->book().with([](const testserver::Books& b) {
            std::set<std::string> out;
            for (const auto& p : b.positions)
                out.insert(std::to_string(p.positionId));
            return out;
        });
    }
    std::string serverSettlementOf(const std::string& position) {
        return server->book().with([&](const testserver::Books& b) {
            for (const auto& s : b.settlements)
                if (std::to_string(s.refPositionId) == position)
                    return std::to_string(s.settlementId);
            return std::string();
        });
    }
    std::optional<testserver::ServerPosition> serverPosition(const std::string& id) {
        return server->book().with(
            [&](const testserver::Books& b) -> std::optional<testserver::ServerPosition> {
                for (const auto& p : b.positions)
                    if (std::to_string(p.positionId) == id)
                        return p;
                return std::nullopt;
            });
    }
    // The sum of the margin cells of every row, as the grid shows them.
    static double marginColumnSum(const GridPane& pane) {
        double sum = 0;
        const int column = pane.gridModel().columnOf("PositionMargin");
        for (int row = 0; row < pane.gridModel().rowCount(); ++row)
            sum += amountOf(pane.gridModel().index(row, column).data().toString());
        return sum;
    }

    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
};

TEST_F(GridPaneTest, MarketOrderShowsWithTheServersFiguresAndItsCloseMovesItToSettled) {
    GridPane& open = pane(Grid::OpenPositions);
    GridPane& settled = pane(Grid::SettledPositions);
    const auto openBefore = serverPositionIds();
    const auto settledBefore = ids(settled);
    const double quantityBefore = amountOf(open.totalValue(texts::kQuantity));
    ASSERT_TRUE(session->client().orders().placeOrder(ticket("2")).sent());

    std::string id;
    ASSERT_TRUE(waitFor([&] { return !(id = newIn(serverPositionIds(), openBefore)).empty(); }, 30000));
    ASSERT_TRUE(waitFor([&] { return open.gridModel().rowOf(id) >= 0; }, 30000));
    const auto held = serverPosition(id);
    ASSERT_TRUE(held) << id;
    EXPECT_EQ(cell(open, id, "AccountNumber"), "20001");
    EXPECT_EQ(cell(open, id, "ItemCode"), "EURUSD");
    EXPECT_EQ(cell(open, id, "Side"), "B");
    EXPECT_EQ(cell(open, id, "RemainingQty").toStdString(), held->qty);
    EXPECT_EQ(cell(open, id, "OrderPrice").toStdString(), held->openPrice);
    // The totals bar counts the new lots at the next refresh.
    session->tickNow();
    EXPECT_DOUBLE_EQ(amountOf(open.totalValue(texts::kQuantity)), quantityBefore + 2);

    ASSERT_TRUE(session->client().orders().closePosition(id, dec("2")).sent());
    ASSERT_TRUE(waitFor([&] { return open.gridModel().rowOf(id) < 0; }, 15000));
    std::string settlement;
    ASSERT_TRUE(waitFor([&] { return !(settlement = serverSettlementOf(id)).empty(); }, 30000));
    EXPECT_FALSE(settledBefore.contains(settlement));
    ASSERT_TRUE(waitFor([&] { return settled.gridModel().rowOf(settlement) >= 0; }, 30000));
    EXPECT_EQ(cell(settled, settlement, "OpenPositionId").toStdString(), id);
    EXPECT_EQ(cell(settled, settlement, "SettledQty"), "2");
    // The status line adds the settlement's lots; every segment ends in five spaces.
    const QString line = settled.statusLine();
    EXPECT_TRUE(line.endsWith(QStringLiteral("     "))) << line.toStdString();
    double lots = 0;
    for (const std::string& row : ids(settled))
        if (cell(settled, row, "AccountNumber") == "20001")
            lots += amountOf(cell(settled, row, "SettledQty"));
    EXPECT_TRUE(line.startsWith(QStringLiteral("Totals of account : 20001     Quantity : ") +
                                QString::number(lots) + QStringLiteral("     ")))
        << line.toStdString();
}

// A position stored has no result until the client works it out at its quotes (the next second's
// refresh): its cell stays blank until then rather than read 0.00.
TEST_F(GridPaneTest, AFillsResultIsBlankUntilWorkedOut) {
    GridPane& open = pane(Grid::OpenPositions);
    const GridModel& model = open.gridModel();
    const int pl = model.columnOf("UnrealisedPL");
    std::map<std::string, QString> arrived; // each row's result as it came
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
        for (int row = first; row <= last; ++row)
            arrived.emplace(model.rowId(row), model.index(row, pl).data().toString());
    });
    const auto before = serverPositionIds();
    ASSERT_TRUE(session->client().orders().placeOrder(ticket("1")).sent());
    std::string id;
    ASSERT_TRUE(waitFor([&] { return !(id = newIn(serverPositionIds(), before)).empty(); }, 30000));
    ASSERT_TRUE(waitFor([&] { return model.rowOf(id) >= 0; }, 30000));
    ASSERT_TRUE(arrived.contains(id));
    EXPECT_EQ(arrived[id], QString()) << "no figure before the client's refresh";
    EXPECT_EQ(model.index(model.rowOf(id), pl).data(GridModel::ToneRole).toInt(),
              static_cast<int>(tc::gui::Tone::Plain));
    // At the quote it was filled at, the spread is its loss.
    ASSERT_TRUE(waitFor([&] { return !cell(open, id, "UnrealisedPL").isEmpty(); }, 15000));
    EXPECT_LT(amountOf(cell(open, id, "UnrealisedPL")), 0);
}

TEST_F(GridPaneTest, PendingOrderShowsAndItsCancelMovesItToCancelled) {
    GridPane& pending = pane(Grid::PendingOrders);
    GridPane& cancelled = pane(Grid::CancelledOrders);
    const auto pendingBefore = serverPendingIds();
    const auto cancelledBefore = ids(cancelled);
    interfaces::OrderTicket limit = ticket("0.5");
    limit.kind = interfaces::OrderKind::Limit;
    limit.price = dec("1.00000"); // far below the market: it waits
    ASSERT_TRUE(session->client().orders().placeOrder(limit).sent());

    std::string id;
    ASSERT_TRUE(waitFor([&] { return !(id = newIn(serverPendingIds(), pendingBefore)).empty(); }, 30000));
    ASSERT_TRUE(waitFor([&] { return pending.gridModel().rowOf(id) >= 0; }, 30000));
    EXPECT_EQ(cell(pending, id, "OrderType"), "Limit");
    EXPECT_EQ(cell(pending, id, "OrderQty"), "0.5");
    EXPECT_EQ(cell(pending, id, "OrderPrice"), "1.00000");
    EXPECT_EQ(cell(pending, id, "BracketPosition"), "0");

    // A limit order's row menu: edit and cancel.
    QMenu* menu = pending.rowMenu(id);
    ASSERT_TRUE(menu);
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 2);
    for (const QAction* action : actions) {
        EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
        EXPECT_TRUE(action->toolTip().isEmpty() || action->toolTip() == action->text());
    }
    EXPECT_EQ(actions[0]->text(), context->text(texts::kModifyLimitOrder));
    EXPECT_EQ(actions[1]->text(), context->text(texts::kCancelLimitOrder));

    ASSERT_TRUE(session->client().orders().cancelPendingOrder(id).sent());
    ASSERT_TRUE(waitFor([&] { return pending.gridModel().rowOf(id) < 0; }, 30000));
    ASSERT_TRUE(waitFor([&] { return cancelled.gridModel().rowOf(id) >= 0; }, 30000));
    EXPECT_EQ(cell(cancelled, id, "ItemCode"), "EURUSD");
    EXPECT_EQ(cell(cancelled, id, "OrderQty"), "0.5");
    EXPECT_FALSE(cancelledBefore.contains(id));
}

TEST_F(GridPaneTest, ExecutedDaySearchShowsTheServersRowsUntilItEnds) {
    GridPane& executed = pane(Grid::ExecutedPositions);
    ASSERT_TRUE(waitFor([&] { return executed.gridModel().rowCount() > 0; }, 15000));
    const auto live = ids(executed);
    std::set<std::int32_t> accounts;
    for (const auto& account : session->client().queries().getAccountCollection())
        accounts.insert(account->AccountId);
    // What the server holds of the demo's accounts for 3 January 2024.
    const auto expected = server->book().with([&](const testserver::Books& b) {
        std::set<std::string> out;
        for (const auto& p : b.executed)
            if (accounts.contains(p.accountId) && p.openedAt.starts_with("20240103"))
                out.insert(std::to_string(p.positionId));
        return out;
    });
    ASSERT_FALSE(expected.empty());

    executed.findChild<QDateEdit*>("searchDatePicker")->setDate(QDate(2024, 1, 3));
    executed.findChild<QPushButton*>("searchButton")->click();
    EXPECT_TRUE(executed.isSearching());
    ASSERT_TRUE(waitFor([&] { return ids(executed) == expected; }, 15000));
    // The live table's change does not bring its rows back while the search stands.
    session->tickNow();
    EXPECT_EQ(ids(executed), expected);

    // A day without executions empties the table.
    ASSERT_TRUE(executed.search(QDate(2023, 6, 1)));
    ASSERT_TRUE(waitFor([&] { return executed.gridModel().rowCount() == 0; }, 15000));

    executed.findChild<QPushButton*>("resetButton")->click();
    EXPECT_FALSE(executed.isSearching());
    EXPECT_EQ(executed.searchDay(), session->serverNow().date());
    ASSERT_TRUE(waitFor([&] { return ids(executed) == live; }, 15000));
}

// The computer a day ahead of or behind the server: the day offered is the server's, the day of the
// rows, so a search on it lists the fill just made.
TEST_F(GridPaneTest, TheDayOfferedIsTheServersAndASearchOnItListsTodaysFill) {
    tc::testing_support::ComputerZone zone(tc::testing_support::zoneOfAnotherDay());
    ASSERT_TRUE(waitFor([&] { return session->serverClock().known(); }, 15000));
    const auto before = serverPositionIds();
    ASSERT_TRUE(session->client().orders().placeOrder(ticket("1")).sent());
    std::string id;
    ASSERT_TRUE(waitFor([&] { return !(id = newIn(serverPositionIds(), before)).empty(); }, 30000));
    const auto fill = serverPosition(id);
    ASSERT_TRUE(fill);
    const QDate day = QDate::fromString(QString::fromStdString(fill->openedAt.substr(0, 8)), "yyyyMMdd");
    ASSERT_NE(day, QDate::currentDate()) << "the computer's date is another day";

    GridPane& executed = pane(Grid::ExecutedPositions);
    EXPECT_EQ(executed.searchDay(), day);
    auto* search = executed.findChild<QPushButton*>("searchButton");
    QTest::mouseClick(search, Qt::LeftButton);
    ASSERT_TRUE(executed.isSearching());
    EXPECT_TRUE(waitFor([&] { return ids(executed).contains(id); }, 15000));

    // Reset offers the server's day again, not the computer's.
    executed.findChild<QDateEdit*>("searchDatePicker")->setDate(day.addDays(-3));
    QTest::mouseClick(executed.findChild<QPushButton*>("resetButton"), Qt::LeftButton);
    EXPECT_EQ(executed.searchDay(), day);
}

TEST_F(GridPaneTest, HiddenColumnsSurviveARestartAndTotalsStayRight) {
    auto first =
        std::make_unique<GridPane>(*context, Grid::OpenPositions, tc::gui::ColumnSwitches{true, true});
    ASSERT_TRUE(waitFor([&] { return first->gridModel().rowCount() >= 2; }, 15000));
    ASSERT_TRUE(first->isColumnShown("PositionMargin"));
    QAction* margin = first->headerMenu().findChild<QAction*>("column_PositionMargin");
    ASSERT_TRUE(margin);
    EXPECT_TRUE(margin->isChecked());
    EXPECT_EQ(margin->text(),
              first->gridModel().headerData(first->gridModel().columnOf("PositionMargin"), Qt::Horizontal));
    margin->trigger(); // as the header menu does
    EXPECT_FALSE(first->isColumnShown("PositionMargin"));
    first.reset();

    GridPane& again = pane(Grid::OpenPositions);
    EXPECT_FALSE(again.isColumnShown("PositionMargin"));
    EXPECT_FALSE(again.headerMenu().findChild<QAction*>("column_PositionMargin")->isChecked());
    EXPECT_TRUE(again.isColumnShown("OpenPositionId"));

    // A position opened while the margin column is hidden still counts in the margin total.
    const auto before = serverPositionIds();
    ASSERT_TRUE(session->client().orders().placeOrder(ticket("3")).sent());
    std::string id;
    ASSERT_TRUE(waitFor([&] { return !(id = newIn(serverPositionIds(), before)).empty(); }, 30000));
    ASSERT_TRUE(waitFor([&] { return again.gridModel().rowOf(id) >= 0; }, 30000));
    session->tickNow();
    const double perPosition = amountOf(cell(again, id, "PositionMargin"));
    EXPECT_GT(perPosition, 0);
    EXPECT_NEAR(amountOf(again.totalValue(texts::kMargin)), marginColumnSum(again),
                0.011 * again.gridModel().rowCount());
    EXPECT_GT(amountOf(again.totalValue(texts::kMargin)), perPosition);

    // Shown again, and remembered so.
    again.setColumnShown("PositionMargin", true);
    EXPECT_TRUE(again.isColumnShown("PositionMargin"));
    GridPane& third = pane(Grid::OpenPositions);
    EXPECT_TRUE(third.isColumnShown("PositionMargin"));
}

// At every size the settings offer, the order grids' symbols, prices (a take profit among them) and
// names (a time in force, longest in Chinese; an order type, longest in Russian) fit their columns.
TEST_F(GridPaneTest, SymbolsPricesAndNamesFitTheirColumnsAtEveryFontSize) {
    for (const std::int64_t language : {0, 1, 6}) // English, Chinese, Russian
        for (const tc::gui::FontSizeChoice& choice : tc::gui::kFontSizeChoices) {
            SCOPED_TRACE(testing::Message() << "language " << language << ", size " << choice.size);
            context->language().select(language);
            tc::gui::PreferenceManager::saveFontSizeInfo(context->defaults(), choice.size,
                                                         tc::gui::kPositionsFontSizeKey);
            for (Grid grid : {Grid::OpenPositions, Grid::PendingOrders}) {
                GridPane& shown = pane(grid);
                ASSERT_TRUE(waitFor([&] { return shown.gridModel().rowCount() > 0; }, 15000));
                auto* table = shown.findChild<QTableView*>();
                ASSERT_TRUE(table);
                EXPECT_EQ(table->font().pixelSize(), choice.size);
                for (const tc::gui::LayoutFault& fault : tc::gui::layoutFaults(table))
                    ADD_FAILURE() << tc::gui::kindName(fault.kind).toStdString() << ": "
                                  << fault.detail.toStdString();
                shown.window()->close();
            }
        }
    context->language().select(0);
}

// A value stored before columns had ids hides the column it named; the next change stores ids.
TEST_F(GridPaneTest, HiddenColumnsStoredByHeaderKeysStillHideTheirColumns) {
    const std::string key = tc::gui::hiddenColumnsKey(Grid::SettledPositions);
    context->defaults().setStringArray(key, {"0027", "0077"}); // as stored before ids
    GridPane& settled = pane(Grid::SettledPositions);
    EXPECT_FALSE(settled.isColumnShown("SettledQty"));
    EXPECT_FALSE(settled.isColumnShown("SettledPrice"));
    EXPECT_FALSE(settled.headerMenu().findChild<QAction*>("column_SettledQty")->isChecked());
    EXPECT_TRUE(settled.isColumnShown("OrderPrice"));
    settled.setColumnShown("SettledPrice", true);
    EXPECT_EQ(context->defaults().stringArrayForKey(key), std::vector<std::string>{"SettledQty"});
}

TEST_F(GridPaneTest, NarrowDateColumnsShowTheTimeAndSortingLeavesTheTotals) {
    GridPane& open = pane(Grid::OpenPositions);
    ASSERT_TRUE(waitFor([&] { return open.gridModel().rowOf("300001") >= 0; }, 15000));
    const int column = open.gridModel().columnOf("TransactionTime");
    open.table().setColumnWidth(column, 135);
    EXPECT_EQ(open.shownText("300001", "TransactionTime"), "09:15:00");
    open.table().setColumnWidth(column, 136);
    EXPECT_EQ(open.shownText("300001", "TransactionTime"), "01/03/2024 09:15:00");
    EXPECT_EQ(open.shownText("300001", "ItemCode"), "EURUSD");

    // Sorting reorders the view, not the figures under it.
    session->tickNow();
    const QString quantity = open.totalValue(texts::kQuantity);
    const QString margin = open.totalValue(texts::kMargin);
    open.table().sortByColumn(open.gridModel().columnOf("RemainingQty"), Qt::AscendingOrder);
    session->tickNow();
    EXPECT_EQ(open.totalValue(texts::kQuantity), quantity);
    EXPECT_EQ(open.totalValue(texts::kMargin), margin);
    EXPECT_EQ(open.table().model()->index(0, 0).data(GridModel::IdRole).toString(), "300002"); // 0.2 lots
}

// A book longer than the view: forty more EURUSD positions of demo's first account, buys and sells
// of different sizes, whose results change places when the price crosses their opening price.
class LargeBook : public GridPaneTest {
protected:
    void seedMarket(testserver::Market& market) override {
        auto position = market.positions.front(); // 300001, 20001, EURUSD at 1.08320
        for (int i = 0; i < 40; ++i) {
            position.positionId = 300100 + i;
            position.isBuy = i % 2 == 0;
            position.qty = position.initialQty = std::to_string(1 + i % 7);
            market.positions.push_back(position);
        }
    }
    // The rows' ids as the view shows them, top to bottom.
    static std::vector<std::string> shownIds(const GridPane& pane) {
        std::vector<std::string> out;
        const QAbstractItemModel& view = *pane.table().model();
        for (int row = 0; row < view.rowCount(); ++row)
            out.push_back(view.index(row, 0).data(GridModel::IdRole).toString().toStdString());
        return out;
    }
    static std::string idAtTop(const GridPane& pane) {
        const int row = pane.table().rowAt(0);
        return row < 0 ? std::string()
                       : pane.table().model()->index(row, 0).data(GridModel::IdRole).toString().toStdString();
    }
    // A click on a column's title, as the trader sorts.
    static void clickTitle(GridPane& pane, std::string_view column) {
        QHeaderView& header = *pane.table().horizontalHeader();
        const int section = pane.gridModel().columnOf(column);
        QTest::mouseClick(header.viewport(), Qt::LeftButton, {},
                          QPoint(header.sectionViewportPosition(section) + header.sectionSize(section) / 2,
                                 header.height() / 2));
    }
    // A market buy of one lot, once the pane's grid has its row: the new position's id, empty when it
    // did not come.
    std::string fillInto(const GridPane& pane) {
        const auto before = serverPositionIds();
        if (!session->client().orders().placeOrder(ticket("1")).sent())
            return {};
        std::string id;
        if (!waitFor([&] { return !(id = newIn(serverPositionIds(), before)).empty(); }, 30000))
            return {};
        return waitFor([&] { return pane.gridModel().rowOf(id) >= 0; }, 30000) ? id : std::string();
    }
    // Waits until every row's result is worked out at the price set.
    bool priced(GridPane& pane, const char* bid, const char* ask) {
        if (!server->setQuote("EURUSD", bid, ask))
            return false;
        const auto pl = [&](const char* id) { return amountOf(cell(pane, id, "UnrealisedPL")); };
        // 300100 is a buy of 1 lot at 1.08320: its result names the bid it was worked at.
        const double wanted = (tc::platform::lenientReal(bid) - 1.08320) * 100000;
        return waitFor([&] { return std::abs(pl("300100") - wanted) < 0.02; }, 15000);
    }
};

TEST_F(LargeBook, SortedByResultTheRowsKeepTheirPlacesUntilTheNextClick) {
    GridPane& open = pane(Grid::OpenPositions);
    QHeaderView& header = *open.table().horizontalHeader();
    ASSERT_TRUE(waitFor([&] { return open.gridModel().rowCount() >= 42; }, 15000));
    ASSERT_TRUE(priced(open, "1.09000", "1.09012"));
    const int pl = open.gridModel().columnOf("UnrealisedPL");

    // The market price does not sort: its title takes no arrow, and the rows stay as listed.
    const auto listed = shownIds(open);
    clickTitle(open, "ClosingPrice");
    EXPECT_EQ(header.sortIndicatorSection(), -1);
    EXPECT_EQ(shownIds(open), listed);

    clickTitle(open, "UnrealisedPL");
    ASSERT_EQ(header.sortIndicatorSection(), pl);
    const Qt::SortOrder order = header.sortIndicatorOrder();
    const auto inOrder = [&](const std::vector<std::string>& ids) {
        for (std::size_t i = 1; i < ids.size(); ++i) {
            const double a = amountOf(cell(open, ids[i - 1], "UnrealisedPL"));
            const double b = amountOf(cell(open, ids[i], "UnrealisedPL"));
            if (order == Qt::AscendingOrder ? a > b : a < b)
                return false;
        }
        return true;
    };
    const auto sorted = shownIds(open);
    EXPECT_TRUE(inOrder(sorted));

    // Below the opening price the buys lose and the sells gain: every second's refresh leaves the rows
    // where the click put them.
    ASSERT_TRUE(priced(open, "1.07500", "1.07512"));
    session->tickNow();
    EXPECT_EQ(shownIds(open), sorted);
    EXPECT_FALSE(inOrder(shownIds(open)));
    // A title that does not sort leaves the arrow and the order as they are.
    clickTitle(open, "ClosingPrice");
    EXPECT_EQ(header.sortIndicatorSection(), pl);
    EXPECT_EQ(shownIds(open), sorted);

    // The next click sorts again, by the results as they are now.
    clickTitle(open, "UnrealisedPL");
    EXPECT_EQ(header.sortIndicatorSection(), pl);
    EXPECT_NE(header.sortIndicatorOrder(), order);
    const auto again = shownIds(open);
    EXPECT_TRUE(std::is_sorted(again.begin(), again.end(), [&](const std::string& a, const std::string& b) {
        const double x = amountOf(cell(open, a, "UnrealisedPL"));
        const double y = amountOf(cell(open, b, "UnrealisedPL"));
        return header.sortIndicatorOrder() == Qt::AscendingOrder ? x < y : x > y;
    }));

    // Pending orders: the market price's title takes no arrow either.
    GridPane& pending = pane(Grid::PendingOrders);
    ASSERT_TRUE(waitFor([&] { return pending.gridModel().rowCount() >= 1; }, 15000));
    clickTitle(pending, "MarketPrice");
    EXPECT_EQ(pending.table().horizontalHeader()->sortIndicatorSection(), -1);
}

// Newest first, a fill lands above the rows in sight, the view scrolled down from the top: they stay
// where they stand, the selected one under the pointer that aimed at it. And every title that sorts
// holds beside its arrow.
TEST_F(LargeBook, ARowArrivingAboveLeavesTheRowsInSightWhereTheyStand) {
    GridPane& open = pane(Grid::OpenPositions);
    tc::gui::GridTable& table = open.table();
    ASSERT_TRUE(waitFor([&] { return open.gridModel().rowCount() >= 42; }, 15000));
    for (int column = 0; column < open.gridModel().columnCount(); ++column) {
        if (table.isColumnHidden(column) || !open.gridModel().columnSpec(column).sortable)
            continue;
        table.sortByColumn(column, Qt::DescendingOrder);
        for (const tc::gui::LayoutFault& fault : tc::gui::layoutFaults(&table))
            ADD_FAILURE() << open.gridModel().columnSpec(column).id
                          << " sorted: " << tc::gui::kindName(fault.kind).toStdString() << ": "
                          << fault.detail.toStdString();
    }
    table.sortByColumn(open.gridModel().columnOf("OpenPositionId"), Qt::DescendingOrder);
    ASSERT_EQ(shownIds(open).front(), "300139");
    ASSERT_GT(table.verticalScrollBar()->maximum(), 0) << "the book is longer than the view";
    // A row down, as the scroll bar's arrow takes it.
    table.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ASSERT_EQ(idAtTop(open), "300138");

    const QModelIndex third = table.model()->index(3, 0);
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(third).center());
    const std::string selected = open.selectedId();
    ASSERT_EQ(selected, "300136");
    const QRect place = table.visualRect(third);
    const std::string id = fillInto(open);
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(shownIds(open).front(), id) << "newest first";
    EXPECT_EQ(idAtTop(open), "300138");
    EXPECT_EQ(open.selectedId(), selected);
    const QModelIndex now = table.model()->index(table.currentIndex().row(), 0);
    EXPECT_EQ(table.visualRect(now), place);
}

// Newest first, at the top: the view stays at the top, as one at the end of an oldest-first list stays
// at its end, so a fill arriving there shows; the selected row goes down one with the rest.
TEST_F(LargeBook, ARowArrivingAtTheTopShowsWhereTheViewIsAtTheTop) {
    GridPane& open = pane(Grid::OpenPositions);
    tc::gui::GridTable& table = open.table();
    const QScrollBar& scroll = *table.verticalScrollBar();
    ASSERT_TRUE(waitFor([&] { return open.gridModel().rowCount() >= 42; }, 15000));
    ASSERT_GT(scroll.maximum(), 0) << "the book is longer than the view";
    clickTitle(open, "TransactionTime");
    if (table.horizontalHeader()->sortIndicatorOrder() != Qt::DescendingOrder)
        clickTitle(open, "TransactionTime");
    ASSERT_EQ(table.horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    ASSERT_TRUE(guitest::clickInto(table.viewport(), table.visualRect(table.model()->index(4, 0)).center()));
    guitest::pressKey(Qt::Key_End, Qt::ControlModifier);
    ASSERT_EQ(scroll.value(), scroll.maximum());
    guitest::pressKey(Qt::Key_Home, Qt::ControlModifier);
    ASSERT_EQ(scroll.value(), 0);
    const std::string first = idAtTop(open);
    ASSERT_EQ(open.selectedId(), first);
    const QRect place = table.visualRect(table.currentIndex());

    const std::string id = fillInto(open);
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(shownIds(open).front(), id) << "newest first";
    EXPECT_EQ(scroll.value(), 0);
    EXPECT_EQ(idAtTop(open), id) << "the new row in sight at the top";
    EXPECT_EQ(open.selectedId(), first);
    EXPECT_EQ(table.visualRect(table.currentIndex()),
              place.translated(0, table.rowHeight(table.currentIndex().row())));
}

// Every column switched on in a window too narrow for them: Ctrl+End goes to the last row, and the view,
// taken sideways to the last column, starts at a column's edge, as it does at the scroll bar's end; no
// column stands cut at the left.
TEST_F(LargeBook, CtrlEndAndTheSideScrollsEndShowWholeColumnsOnly) {
    GridPane& open = pane(Grid::OpenPositions);
    open.window()->resize(1680, 500);
    open.resize(open.window()->size());
    for (int column = 0; column < open.gridModel().columnCount(); ++column)
        open.setColumnShown(open.gridModel().columnSpec(column).id, true);
    tc::gui::GridTable& table = open.table();
    QScrollBar& sideways = *table.horizontalScrollBar();
    ASSERT_TRUE(waitFor([&] { return open.gridModel().rowCount() >= 42; }, 15000));
    ASSERT_TRUE(waitFor([&] { return sideways.maximum() > 0; }, 15000)) << "the columns reach past the view";
    const auto cutColumns = [&] {
        std::vector<std::string> cut;
        for (int column = 0; column < open.gridModel().columnCount(); ++column) {
            const int x = table.columnViewportPosition(column);
            if (!table.isColumnHidden(column) && x < 0 && x + table.columnWidth(column) > 0)
                cut.push_back(std::string(open.gridModel().columnSpec(column).id));
        }
        return cut;
    };

    const int account = open.gridModel().columnOf("AccountNumber");
    ASSERT_TRUE(
        guitest::clickInto(table.viewport(), table.visualRect(table.model()->index(0, account)).center()));
    guitest::pressKey(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(table.currentIndex().row(), table.model()->rowCount() - 1);
    EXPECT_EQ(sideways.value(), sideways.maximum());
    EXPECT_EQ(cutColumns(), std::vector<std::string>());
    const QHeaderView& header = *table.horizontalHeader();
    const int first = header.logicalIndexAt(0);
    ASSERT_GE(first, 0);
    EXPECT_EQ(header.sectionViewportPosition(first), 0) << "the header starts at a column's edge";

    guitest::pressKey(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(sideways.value(), 0);
    EXPECT_EQ(table.columnViewportPosition(0), 0);
    // The scroll bar dragged to its end shows whole columns too.
    sideways.triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(sideways.value(), sideways.maximum());
    EXPECT_EQ(cutColumns(), std::vector<std::string>());
}

// Oldest first, fills land below the rows in sight. At the end of the book the view stays at its end:
// the new row shows whole at the bottom, every other row up by one. Anywhere else not one of them
// moves, the selected one under the pointer that aimed at it.
TEST_F(LargeBook, ARowArrivingBelowShowsAtTheEndAndElsewhereMovesNothing) {
    GridPane& open = pane(Grid::OpenPositions);
    tc::gui::GridTable& table = open.table();
    const QScrollBar& scroll = *table.verticalScrollBar();
    ASSERT_TRUE(waitFor([&] { return open.gridModel().rowCount() >= 42; }, 15000));
    ASSERT_GT(scroll.maximum(), 0) << "the book is longer than the view";
    ASSERT_TRUE(guitest::clickInto(table.viewport(), table.visualRect(table.model()->index(0, 0)).center()));
    const auto endsAtTheBottom = [&](int row) {
        return table.rowViewportPosition(row) + table.rowHeight(row) == table.viewport()->height();
    };

    guitest::pressKey(Qt::Key_End, Qt::ControlModifier);
    ASSERT_EQ(scroll.value(), scroll.maximum());
    std::string selected = open.selectedId();
    QRect place = table.visualRect(table.currentIndex());
    ASSERT_TRUE(endsAtTheBottom(table.currentIndex().row())) << "the last row whole at the bottom";
    const std::string id = fillInto(open);
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(shownIds(open).back(), id) << "oldest first";
    EXPECT_EQ(scroll.value(), scroll.maximum());
    EXPECT_EQ(open.selectedId(), selected);
    EXPECT_EQ(table.visualRect(table.currentIndex()),
              place.translated(0, -table.rowHeight(table.currentIndex().row())));
    EXPECT_TRUE(endsAtTheBottom(table.model()->rowCount() - 1)) << id << " whole at the bottom";

    // Back in the list (the fill's banner took the window), pages up from the end: the rows in sight
    // stay where they stand.
    ASSERT_TRUE(guitest::clickInto(table.viewport(), table.visualRect(table.currentIndex()).center()));
    guitest::pressKey(Qt::Key_PageUp);
    guitest::pressKey(Qt::Key_PageUp);
    ASSERT_LT(scroll.value(), scroll.maximum());
    selected = open.selectedId();
    place = table.visualRect(table.currentIndex());
    const std::string top = idAtTop(open);
    const int topAt = table.rowViewportPosition(table.rowAt(0));
    ASSERT_FALSE(fillInto(open).empty());
    EXPECT_EQ(open.selectedId(), selected);
    EXPECT_EQ(table.visualRect(table.currentIndex()), place);
    EXPECT_EQ(idAtTop(open), top);
    EXPECT_EQ(table.rowViewportPosition(table.rowAt(0)), topAt);
}

// A book of a thousand positions, every cell of which an accessibility client read: Qt keeps a
// persistent index per cell read. Newest first, a close of the top row, a fill arriving at the top
// and a sort each take a moment, not minutes, and the cells read still name the rows they stand on.
class ReadAloudBook : public LargeBook {
protected:
    static constexpr int kPositions = 1000;
    static constexpr qint64 kGenerousMs = 10000; // the hash cluster took minutes at this size
    void seedMarket(testserver::Market& market) override {
        LargeBook::seedMarket(market);
        auto position = market.positions.front(); // 300001, 20001, EURUSD
        for (int i = 0; i < kPositions; ++i) {
            position.positionId = 400000 + i;
            position.qty = position.initialQty = std::to_string(1 + i % 7);
            market.positions.push_back(position);
        }
    }
    void SetUp() override {
        QAccessible::setActive(true);
        LargeBook::SetUp();
    }
    void TearDown() override {
        LargeBook::TearDown();
        QAccessible::setActive(false);
    }
    static std::string idAt(const GridPane& pane, int row) {
        return pane.table().model()->index(row, 0).data(GridModel::IdRole).toString().toStdString();
    }
};

TEST_F(ReadAloudBook, RowsGoComeAndSortAtOnceAfterEveryCellWasRead) {
    GridPane& open = pane(Grid::OpenPositions);
    tc::gui::GridTable& table = open.table();
    const GridModel& grid = open.gridModel();
    ASSERT_TRUE(waitFor([&] { return grid.rowCount() > kPositions; }, 30000));
    ASSERT_GE(grid.columnCount(), 17) << "wide enough for every cell of a row to share one cluster";
    table.sortByColumn(grid.columnOf("OpenPositionId"), Qt::DescendingOrder);

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&table);
    ASSERT_TRUE(accessible && accessible->tableInterface());
    QAccessibleTableInterface& cells = *accessible->tableInterface();
    int read = 0;
    for (int row = 0; row < cells.rowCount(); ++row)
        for (int column = 0; column < cells.columnCount(); ++column)
            read += cells.cellAt(row, column) != nullptr;
    ASSERT_GE(read, kPositions * grid.columnCount());
    // A row further down selected, and its first cell as the client read it: both follow the row
    // through every change.
    table.selectRow(10);
    const std::string selected = open.selectedId();
    ASSERT_EQ(selected, idAt(open, 10));
    QAccessibleInterface* selectedCell = cells.cellAt(10, 0);
    ASSERT_TRUE(selectedCell && selectedCell->tableCellInterface());
    const auto followed = [&](int row) {
        EXPECT_EQ(open.selectedId(), selected);
        EXPECT_EQ(idAt(open, row), selected);
        // A live accessibility bridge drops the table's cells at a sort; offscreen they stay.
        if (QAccessible::isActive())
            return;
        EXPECT_EQ(selectedCell->tableCellInterface()->rowIndex(), row);
        EXPECT_EQ(selectedCell->text(QAccessible::Name).toStdString(), selected);
    };
    QElapsedTimer clock;

    // The top row closed.
    const std::string top = idAt(open, 0);
    clock.start();
    ASSERT_TRUE(session->client()
                    .orders()
                    .closePosition(top, dec(cell(open, top, "RemainingQty").toUtf8().constData()))
                    .sent());
    ASSERT_TRUE(waitFor([&] { return grid.rowOf(top) < 0; }, 15000));
    EXPECT_LT(clock.elapsed(), kGenerousMs) << "removal";
    followed(9);

    // A fill lands at the top.
    clock.restart();
    const std::string id = fillInto(open);
    ASSERT_FALSE(id.empty());
    EXPECT_LT(clock.elapsed(), kGenerousMs) << "insertion";
    EXPECT_EQ(idAt(open, 0), id) << "newest first";
    followed(10);

    // Sorted by quantity, and back.
    clock.restart();
    table.sortByColumn(grid.columnOf("RemainingQty"), Qt::AscendingOrder);
    table.sortByColumn(grid.columnOf("OpenPositionId"), Qt::DescendingOrder);
    EXPECT_LT(clock.elapsed(), kGenerousMs) << "sorts";
    EXPECT_EQ(idAt(open, 0), id);
    followed(10);
}

TEST_F(GridPaneTest, SwitchedOffColumnsStayHiddenAndOutOfTheMenu) {
    auto pane =
        std::make_unique<GridPane>(*context, Grid::SettledPositions, tc::gui::ColumnSwitches{false, false});
    EXPECT_FALSE(pane->isColumnShown("AccountCurrencyRate"));
    EXPECT_FALSE(pane->headerMenu().findChild<QAction*>("column_AccountCurrencyRate"));
    pane->setColumnShown("AccountCurrencyRate", true);
    EXPECT_FALSE(pane->isColumnShown("AccountCurrencyRate"));
    auto shown =
        std::make_unique<GridPane>(*context, Grid::SettledPositions, tc::gui::ColumnSwitches{true, true});
    EXPECT_TRUE(shown->headerMenu().findChild<QAction*>("column_AccountCurrencyRate"));
}

// The totals under the position grids are the chosen account's alone, in its currency, and read as
// the status bar does; another account chosen in the accounts grid moves them to its rows.
// A real click on an account's row, its tab brought forward first.
void clickAccount(tc::gui::MainWindowController& window, GridPane& accounts, const std::string& id) {
    window.findChild<QTabWidget*>(QStringLiteral("mainTabView"))->setCurrentWidget(accounts.parentWidget());
    QTableView& table = accounts.table();
    const GridModel& model = accounts.gridModel();
    const QModelIndex index = table.model()->index(
        accounts.table().proxy().mapFromSource(model.index(model.rowOf(id), 0)).row(), 0);
    ASSERT_TRUE(waitFor([&] { return table.isVisible() && table.visualRect(index).isValid(); }));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(index).center());
}

TEST_F(GridPaneTest, TotalsAreTheChosenAccountsAndAgreeWithTheStatusBar) {
    tc::gui::MainWindowController window(*context);
    window.show();
    GridPane* open = window.gridPane(Grid::OpenPositions);
    GridPane* settled = window.gridPane(Grid::SettledPositions);
    GridPane* accounts = window.gridPane(Grid::Accounts);
    // A position of the EUR account beside the USD account's, with a figure of its own once the
    // price moves (below 300001's take profit).
    const auto before = serverPositionIds();
    auto euros = ticket("1");
    euros.account = 20002;
    ASSERT_TRUE(session->client().orders().placeOrder(euros).sent());
    std::string id;
    ASSERT_TRUE(waitFor([&] { return !(id = newIn(serverPositionIds(), before)).empty(); }, 30000));
    ASSERT_TRUE(server->setQuote("EURUSD", "1.09200", "1.09212"));
    ASSERT_TRUE(
        waitFor([&] { return session->tickNow(), amountOf(cell(*open, id, "UnrealisedPL")) != 0; }, 30000));
    QLabel* statusPL = nullptr; // the status bar's, not the totals bar's label of the same name
    for (QLabel* label : window.findChildren<QLabel*>(QStringLiteral("ProfitLossValueTextField")))
        statusPL = open->isAncestorOf(label) ? statusPL : label;
    const auto sumOf = [](const GridPane& pane, const char* account, std::string_view column) {
        double sum = 0;
        for (const std::string& row : ids(pane))
            sum += cell(pane, row, "AccountNumber") == account ? amountOf(cell(pane, row, column)) : 0;
        return sum;
    };
    for (const char* account : {"20001", "20002"}) {
        SCOPED_TRACE(account);
        if (std::string_view(account) == "20002")
            clickAccount(window, *accounts, account);
        const QString line = QStringLiteral("Totals of account : ") + account;
        EXPECT_TRUE(waitFor(
            [&] {
                session->tickNow();
                return open->totalValue(texts::kTotalsOfAccount) == account &&
                       open->totalValue(texts::kPL) == tc::gui::valueOfPair(statusPL->text()) &&
                       settled->statusLine().startsWith(line);
            },
            15000))
            << open->totalValue(texts::kPL).toStdString() << " beside " << statusPL->text().toStdString();
        EXPECT_DOUBLE_EQ(amountOf(open->totalValue(texts::kQuantity)), sumOf(*open, account, "RemainingQty"));
        EXPECT_TRUE(settled->statusLine().contains(
            QStringLiteral("P/L : %1 ").arg(sumOf(*settled, account, "SettledPL"), 0, 'f', 2)))
            << settled->statusLine().toStdString();
    }
}

TEST_F(GridPaneTest, MainWindowRowMenusAndAccountClicks) {
    tc::gui::MainWindowController window(*context);
    window.show();
    GridPane* open = window.gridPane(Grid::OpenPositions);
    ASSERT_TRUE(open);
    ASSERT_TRUE(waitFor([&] { return open->gridModel().rowOf("300001") >= 0; }, 15000));
    EXPECT_EQ(window.gridTable(Grid::OpenPositions), &open->table());
    EXPECT_EQ(window.gridPane(Grid::Watchlist), nullptr);

    // The row menu offers what the position's settings allow, each opening its sheet.
    QMenu* menu = open->rowMenu("300001");
    ASSERT_TRUE(menu);
    std::vector<std::string> names;
    for (QAction* action : menu->actions()) {
        names.push_back(action->objectName().toStdString());
        EXPECT_TRUE(action->isEnabled()) << names.back();
    }
    EXPECT_FALSE(names.empty());

    // The executed grid's receipt opens as a sheet on the main window; while it shows, row menus
    // offer nothing.
    GridPane* executed = window.gridPane(Grid::ExecutedPositions);
    ASSERT_TRUE(waitFor([&] { return executed->gridModel().rowOf("300001") >= 0; }, 15000));
    QMenu* receiptMenu = executed->rowMenu("300001");
    ASSERT_TRUE(receiptMenu);
    ASSERT_EQ(receiptMenu->actions().size(), 1);
    QAction* receipt = receiptMenu->actions().front();
    EXPECT_EQ(receipt->objectName(), "deliveryReceipt");
    EXPECT_TRUE(receipt->isEnabled());
    receipt->trigger();
    auto* sheet = window.findChild<tc::gui::DetailWindowController*>();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    EXPECT_EQ(sheet->record(), "300001");
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(open->rowMenu("300001"), nullptr);
    EXPECT_EQ(executed->rowMenu("300001"), nullptr);
    sheet->close();
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    EXPECT_TRUE(open->rowMenu("300001"));
    // Nothing for a record the grid does not hold.
    EXPECT_EQ(open->rowMenu("no such id"), nullptr);

    // A double click hands the record id on.
    QString clicked;
    QObject::connect(open, &GridPane::rowDoubleClicked, [&](Grid grid, const QString& id) {
        EXPECT_EQ(grid, Grid::OpenPositions);
        clicked = id;
    });
    const QModelIndex first = open->table().model()->index(0, 0);
    Q_EMIT open->table().doubleClicked(first);
    EXPECT_EQ(clicked, first.data(GridModel::IdRole).toString());

    // A click on an account makes it the main window's account.
    GridPane* accounts = window.gridPane(Grid::Accounts);
    ASSERT_TRUE(accounts);
    ASSERT_TRUE(waitFor([&] { return accounts->gridModel().rowOf("20002") >= 0; }, 15000));
    clickAccount(window, *accounts, "20002");
    EXPECT_EQ(window.account(), 20002);
    EXPECT_EQ(session->client().currentAccount(), 20002);
}

} // namespace
