// The quotes board, its tiles, the depth ladders and the watch-list chooser against the in-process
// test server, signed in as demo.
#include "gui/app/common_alert.h"
#include "gui/app/font_sizes.h"
#include "gui/charts/chart_window_controller.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_view_proxy.h"
#include "gui/login/idle_time.h"
#include "gui/main/main_window_controller.h"
#include "gui/market/add_remove_window_controller.h"
#include "gui/market/advanced_watchlist_table_controller.h"
#include "gui/market/detail_window_controller.h"
#include "gui/market/market_depth_table_controller.h"
#include "gui/market/watchlist_table_controller.h"
#include "gui/models/session_fixture.h"
#include "gui/screens/layout_check.h"
#include "gui/texts.h"
#include "model/market_depth.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "model/session_queries.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QTreeWidget>

#include <algorithm>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::Tick;
using tc::gui::WatchlistTableController;

class QuotesBoardTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        ASSERT_TRUE(signIn());
        context->setClientModel(session.get());
    }
    void TearDown() override {
        boards.clear();
        context->setClientModel(nullptr);
        SessionTest::TearDown();
    }
    WatchlistTableController& board() {
        boards.push_back(std::make_unique<WatchlistTableController>(*context));
        boards.back()->resize(1100, 300);
        return *boards.back();
    }
    static QString cell(const WatchlistTableController& view, int row, const char* identifier) {
        return view.model()->index(row, view.gridModel().columnOf(identifier)).data().toString();
    }
    static std::vector<std::string> codes(const WatchlistTableController& view) {
        std::vector<std::string> out;
        for (int row = 0; row < view.model()->rowCount(); ++row)
            out.push_back(view.codeAt(row));
        return out;
    }
    std::vector<std::unique_ptr<WatchlistTableController>> boards;
};

TEST_F(QuotesBoardTest, ShowsEveryWatchedInstrumentAndFollowsTheFeed) {
    WatchlistTableController& view = board();
    QAbstractItemModelTester tester(view.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto watched = session->client().watchList();
    ASSERT_FALSE(watched.empty());
    EXPECT_EQ(codes(view), watched);
    const tc::ItemDetails* item = tc::gui::instrumentOf(session->client().model(), watched.front());
    ASSERT_TRUE(item);
    EXPECT_EQ(cell(view, 0, "Code").toStdString(), item->Code);
    EXPECT_EQ(cell(view, 0, "Name").toStdString(), item->Name);

    // The feed moves some bid or ask within a few refreshes.
    std::vector<QString> before;
    for (int row = 0; row < view.model()->rowCount(); ++row)
        before.push_back(cell(view, row, "Bid") + cell(view, row, "Ask"));
    EXPECT_TRUE(waitFor(
        [&] {
            session->tickNow();
            for (int row = 0; row < view.model()->rowCount(); ++row)
                if (cell(view, row, "Bid") + cell(view, row, "Ask") != before[static_cast<std::size_t>(row)])
                    return true;
            return false;
        },
        15000));
}

// At every size the settings offer, the board's symbols, prices and titles fit their columns.
TEST_F(QuotesBoardTest, SymbolsAndPricesFitTheirColumnsAtEveryFontSize) {
    for (const tc::gui::FontSizeChoice& choice : tc::gui::kFontSizeChoices) {
        SCOPED_TRACE(choice.size);
        tc::gui::PreferenceManager::saveFontSizeInfo(context->defaults(), choice.size,
                                                     tc::gui::kWatchlistFontSizeKey);
        WatchlistTableController& view = board();
        view.show();
        ASSERT_TRUE(waitFor([&] { return view.model()->rowCount() > 0 && !cell(view, 0, "Bid").isEmpty(); }));
        for (const tc::gui::LayoutFault& fault : tc::gui::layoutFaults(&view))
            ADD_FAILURE() << tc::gui::kindName(fault.kind).toStdString() << ": "
                          << fault.detail.toStdString();
    }
}

TEST_F(QuotesBoardTest, HiddenColumnsThroughTheHeaderMenuSurviveARestart) {
    const auto menuItem = [](WatchlistTableController& view, const char* identifier) -> QAction* {
        for (QAction* item : view.headerMenu()->actions())
            if (item->data().toString() == QLatin1String(identifier))
                return item;
        return nullptr;
    };
    {
        WatchlistTableController& first = board();
        QAction* name = menuItem(first, "Name");
        ASSERT_TRUE(name);
        EXPECT_EQ(name->text(), context->text(texts::kName));
        ASSERT_TRUE(name->isChecked());
        EXPECT_FALSE(first.isColumnHiddenById("Name"));
        name->trigger();
        EXPECT_TRUE(first.isColumnHiddenById("Name"));
        EXPECT_FALSE(name->isChecked());
        boards.clear();
    }
    // The next start: a new board over the same defaults.
    WatchlistTableController& second = board();
    EXPECT_TRUE(second.isColumnHiddenById("Name"));
    EXPECT_FALSE(menuItem(second, "Name")->isChecked());
    EXPECT_FALSE(second.isColumnHiddenById("Code"));
    // Shown again, it stands at its place with its width, and that is remembered too.
    menuItem(second, "Name")->trigger();
    EXPECT_FALSE(second.isColumnHiddenById("Name"));
    EXPECT_GT(second.columnWidth(second.gridModel().columnOf("Name")), 0);
    boards.clear();
    EXPECT_FALSE(board().isColumnHiddenById("Name"));
}

TEST_F(QuotesBoardTest, RowMenuOffersTheTicketTheRowsChartAndDetails) {
    WatchlistTableController& view = board();
    ASSERT_GT(view.model()->rowCount(), 1);
    std::unique_ptr<QMenu> menu(view.rowMenu(0));
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 4); // ticket, chart, separator, details
    EXPECT_TRUE(actions[0]->isEnabled());
    EXPECT_EQ(actions[0]->text(), context->text(texts::kNewOrder));
    EXPECT_EQ(actions[1]->text(), context->text(texts::kNewChart));
    ASSERT_TRUE(actions[3]->isEnabled());
    auto* owner = new QWidget;
    owner->resize(900, 600);
    view.setParent(owner);
    owner->show();
    actions[3]->trigger();
    EXPECT_TRUE(waitFor([&] {
        const auto* detail = owner->findChild<tc::gui::DetailWindowController*>();
        return detail && detail->isVisible();
    }));

    // The chart item of the second row opens a chart window of that row's instrument, not the first's.
    std::unique_ptr<QMenu> second(view.rowMenu(1));
    QAction* chart = second->findChild<QAction*>(QStringLiteral("chartAction"));
    ASSERT_TRUE(chart);
    ASSERT_TRUE(chart->isEnabled());
    chart->trigger();
    const auto* window = owner->findChild<tc::gui::ChartWindowController*>();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->itemCode().toStdString(), view.codeAt(1));
    EXPECT_NE(view.codeAt(1), view.codeAt(0));
    view.setParent(nullptr);
    delete owner;
}

class BoardHeldPrices : public QuotesBoardTest {
protected:
    BoardHeldPrices() { holdPrices = true; }
};

TEST_F(BoardHeldPrices, BoardAndTilesKeepTheirOwnTicksNotedOncePerRefresh) {
    session->client().setWatchList({"EURUSD", "GBPUSD"});
    WatchlistTableController& view = board();
    tc::gui::AdvancedWatchlistTableController tiles(*context);
    view.show();
    tiles.show();
    session->tickNow();
    ASSERT_EQ(view.model()->rowCount(), 2);
    ASSERT_EQ(tiles.tileCount(), 2);
    const int bid = view.gridModel().columnOf("Bid");
    const auto boardTick = [&] { return view.proxy().tick(view.gridModel().rowOf("EURUSD"), bid); };
    const auto tileTick = [&] { return tiles.tile(0)->sellIndicatorImageView->property("tick").toInt(); };

    const QString before = cell(view, 0, "Bid");
    ASSERT_TRUE(server->setQuote("EURUSD", "1.09700", "1.09712"));
    ASSERT_TRUE(waitFor([&] {
        // Look before ticking: the session's own second may have shown the change, and another
        // refresh would end its tick.
        if (cell(view, 0, "Bid") != before)
            return true;
        session->tickNow();
        return cell(view, 0, "Bid") != before;
    }));
    // Both views see the rise: neither takes the other's tick away.
    EXPECT_EQ(boardTick(), Tick::Up);
    EXPECT_EQ(tileTick(), 1);
    EXPECT_EQ(tiles.tile(0)->sellButton->price(), cell(view, 0, "Bid"));
    // Painting does not note prices: the tick stands until the next refresh.
    view.grab();
    tiles.grab();
    EXPECT_EQ(boardTick(), Tick::Up);
    EXPECT_EQ(tileTick(), 1);
    session->tickNow();
    EXPECT_EQ(boardTick(), Tick::Same);
    EXPECT_EQ(tileTick(), 0);

    ASSERT_TRUE(server->setQuote("EURUSD", "1.08100", "1.08112"));
    ASSERT_TRUE(waitFor([&] {
        if (tileTick() == -1)
            return true;
        session->tickNow();
        return tileTick() == -1;
    }));
    EXPECT_EQ(boardTick(), Tick::Down);
    EXPECT_EQ(tiles.tile(1)->sellIndicatorImageView->property("tick").toInt(), 0);
}

TEST_F(QuotesBoardTest, LaddersShowTheServersDepthOfTheSelectedInstrument) {
    const std::string code = session->client().watchList().front();
    tc::gui::MarketDepthPane pane(*context);
    QAbstractItemModelTester buyTester(pane.buyLadder().model(),
                                       QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(pane.buyLadder().model()->rowCount(), 0);
    pane.setInstrument(QString::fromStdString(code));
    EXPECT_EQ(pane.sellLadder().itemCode(), code);
    const tc::MarketDepthStore& depth = session->client().depth();
    ASSERT_TRUE(waitFor([&] { return depth.buy(code) && depth.sell(code); }, 15000));
    const tc::ItemDetails* item = tc::gui::instrumentOf(session->client().model(), code);
    for (auto [side, ladder] : {std::pair{tc::gui::DepthSide::Buy, &pane.buyLadder()},
                                std::pair{tc::gui::DepthSide::Sell, &pane.sellLadder()}}) {
        SCOPED_TRACE(static_cast<int>(side));
        const auto levels = side == tc::gui::DepthSide::Buy ? depth.buy(code) : depth.sell(code);
        ASSERT_TRUE(waitFor([&] {
            session->tickNow();
            const auto rows = tc::gui::ladderRows(depth, code, side, item);
            const QAbstractItemModel& m = *ladder->model();
            if (m.rowCount() != static_cast<int>(rows.size()))
                return false;
            for (int r = 0; r < m.rowCount(); ++r)
                if (m.index(r, 0).data().toString().toStdString() !=
                        rows[static_cast<std::size_t>(r)].price ||
                    m.index(r, 1).data().toString().toStdString() !=
                        rows[static_cast<std::size_t>(r)].quantity)
                    return false;
            return true;
        }));
        EXPECT_EQ(ladder->model()->rowCount(),
                  static_cast<int>(std::min(levels->size(), tc::gui::kLadderLevels)));
        EXPECT_GT(ladder->model()->rowCount(), 0);
    }
    // The buy and the sell ladder name their columns differently.
    EXPECT_EQ(pane.buyLadder().model()->headerData(0, Qt::Horizontal).toString(),
              context->text(texts::kBuyPrice));
    EXPECT_EQ(pane.sellLadder().model()->headerData(0, Qt::Horizontal).toString(),
              context->text(texts::kSellPrice));
}

class NoIdle : public tc::gui::IdleSource {
public:
    std::int64_t idleSeconds() override { return 0; }
};

TEST_F(QuotesBoardTest, ChooserAddsAndRemovesAndTheBoardAndTilesFollow) {
    NoIdle idle;
    auto* window = new tc::gui::MainWindowController(*context, &idle);
    window->show();
    WatchlistTableController& view = *window->watchlistBoard();
    const auto watched = session->client().watchList();
    ASSERT_EQ(codes(view), watched);
    // The ladders follow the board's selection, the first row to begin with.
    EXPECT_EQ(window->marketDepth()->buyLadder().itemCode(), watched.front());

    // An instrument the demo does not watch.
    std::string extra;
    for (const auto& [code, item] : session->client().model().ItemCollection)
        if (std::find(watched.begin(), watched.end(), code) == watched.end()) {
            extra = code;
            break;
        }
    ASSERT_FALSE(extra.empty());

    window->AddRemoveSymbolsToWatchlistClicked();
    tc::gui::AddRemoveWindowController* chooser = window->addRemoveWindow();
    ASSERT_TRUE(chooser && waitFor([&] { return chooser->isVisible(); }));
    EXPECT_GT(chooser->Outline()->topLevelItem(0)->childCount(), 0);
    // A search in lower case finds the code across every type.
    guitest::typeOver(chooser->SearchField(), QString::fromStdString(extra).toLower());
    QTableView& table = *chooser->Table();
    QAbstractItemModelTester tester(table.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto watchedMark = [&](int r) { return table.model()->index(r, 0).data(Qt::UserRole).toBool(); };
    int row = -1;
    for (int r = 0; r < table.model()->rowCount(); ++r)
        if (table.model()->index(r, 0).data().toString().toStdString() == extra)
            row = r;
    ASSERT_GE(row, 0);
    EXPECT_FALSE(watchedMark(row));
    table.selectRow(row);
    chooser->findChild<QPushButton*>(QStringLiteral("addButton"))->click();
    const auto nowWatched = session->client().watchList();
    EXPECT_NE(std::find(nowWatched.begin(), nowWatched.end(), extra), nowWatched.end());
    EXPECT_TRUE(watchedMark(row));
    EXPECT_EQ(codes(view), nowWatched);
    EXPECT_EQ(window->advancedWatchlist()->tileCount(), static_cast<int>(nowWatched.size()));

    // The remove button takes it away again; adding twice changes nothing.
    chooser->findChild<QPushButton*>(QStringLiteral("addButton"))->click();
    EXPECT_EQ(session->client().watchList(), nowWatched);
    chooser->findChild<QPushButton*>(QStringLiteral("removeButton"))->click();
    EXPECT_EQ(session->client().watchList(), watched);
    EXPECT_EQ(codes(view), watched);
    EXPECT_EQ(window->advancedWatchlist()->tileCount(), static_cast<int>(watched.size()));

    // A double click toggles the row's membership both ways.
    const QRect at = table.visualRect(table.model()->index(row, 0));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, at.center());
    QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, at.center());
    EXPECT_EQ(session->client().watchList(), nowWatched);
    table.selectRow(row);
    chooser->ShowAndHideSymbolsInWatchlist(0);
    EXPECT_EQ(session->client().watchList(), watched);
    EXPECT_EQ(codes(view), watched);
    delete window;
}

TEST_F(QuotesBoardTest, AnInstrumentThatCannotTradeRefusesTheTicketWithTheAlert) {
    // A watched code the session holds no instrument for: empty texts, zero prices, spread "0".
    session->client().setWatchList({"EURUSD", "NOSUCH"});
    WatchlistTableController& view = board();
    session->tickNow();
    ASSERT_EQ(codes(view), (std::vector<std::string>{"EURUSD", "NOSUCH"}));
    EXPECT_EQ(cell(view, 1, "Name"), QString());
    EXPECT_EQ(cell(view, 1, "SpreadTicks"), QStringLiteral("0"));
    auto* owner = new QWidget;
    view.setParent(owner);
    owner->show();
    view.doubleAction(view.model()->index(1, view.gridModel().columnOf("Bid")));
    QMessageBox* alert = tc::gui::CommonAlert::showing(owner, QStringLiteral("ticketRefused"));
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), context->text(texts::kInstrumentNotAvailableTradingAccount));
    view.setParent(nullptr);
    delete owner;
}

} // namespace
