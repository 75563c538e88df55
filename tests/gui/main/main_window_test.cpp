// The main window against the in-process test server, signed in as demo.
#include "gui/app/access_key_rules.h"
#include "gui/app/app_delegate.h"
#include "gui/app/common_alert.h"
#include "gui/app/font_sizes.h"
#include "gui/app/gui_context.h"
#include "gui/app/gui_objects.h"
#include "gui/app/language.h"
#include "gui/app/theme_manager.h"
#include "gui/app/theme_table.h"
#include "gui/controls/grid_table.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/main/main_window_controller.h"
#include "gui/market/add_remove_window_controller.h"
#include "gui/market/watchlist_table_controller.h"
#include "gui/models/session_fixture.h"
#include "gui/news/news_table_controller.h"
#include "gui/resources/resources_view_controller.h"
#include "gui/screens/layout_check.h"
#include "gui/settings/settings_window_controller.h"
#include "gui/texts.h"
#include "gui/trading/trade_ticket_window_controller.h"
#include "model/data_service_collections.h"
#include "model/records/account_details.h"
#include "model/session_queries.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QGlyphRun>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolBar>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::MainWindowController;

class FakeIdle : public tc::gui::IdleSource {
public:
    std::int64_t idleSeconds() override { return seconds; }
    std::int64_t seconds = 0;
};

class MainWindowTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        // The positions listed and valued by the core's first refresh: until then the status bar
        // rightly shows no figure of theirs, while the account's record holds the server's.
        ASSERT_TRUE(waitFor([&] { return positionsValued(); }, 15000));
        window = new MainWindowController(*context, &idle);
        window->setUserName("demo");
        window->show();
        ASSERT_TRUE(guitest::waitForExposed(window));
    }
    QString label(const char* name) const { return window->findChild<QLabel*>(name)->text(); }
    QAction* action(const char* name) const { return window->findChild<QAction*>(name); }
    bool positionsValued() const {
        const auto& client = session->client();
        const auto positions = client.queries().getOpenOrderCollection();
        return client.dataService().openPositionsListed && !positions.empty() &&
               std::all_of(positions.begin(), positions.end(),
                           [](const auto& p) { return p && p->UnrealisedPLValued; });
    }

    FakeIdle idle;
    MainWindowController* window = nullptr;
};

// Right after the sign-in the session holds the accounts before their positions, and the positions
// before the core's first refresh values them: the figures that depend on them read blank until
// then, never the balance as the equity of an account with nothing at stake.
class MainWindowBeforeThePositionsTest : public MainWindowTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        context->setClientModel(session.get());
        server->setDataServiceSilent(true); // the positions' list waits
        ASSERT_TRUE(signIn());
        window = new MainWindowController(*context, &idle);
        window->setUserName("demo");
        window->show();
        ASSERT_TRUE(guitest::waitForExposed(window));
    }
};

TEST_F(MainWindowBeforeThePositionsTest, FiguresOfThePositionsAreBlankUntilTheyAreValued) {
    const auto accounts = session->client().queries().getAccountCollection();
    ASSERT_FALSE(accounts.empty());
    ASSERT_EQ(window->account(), accounts.front()->AccountId);
    const auto figure = [](const QString& text) {
        return text.contains(QRegularExpression(QStringLiteral("[0-9]")));
    };
    tc::gui::GridPane* positions = window->gridPane(tc::gui::Grid::OpenPositions);
    ASSERT_TRUE(positions);
    // The status strip's label of that name (the totals bar has labels of the same names).
    const auto strip = [&](const char* name) {
        for (QLabel* label : window->findChildren<QLabel*>(QString::fromLatin1(name))) {
            bool inGrid = false;
            for (QObject* up = label->parent(); up && !inGrid; up = up->parent())
                inGrid = qobject_cast<tc::gui::GridPane*>(up) != nullptr;
            if (!inGrid)
                return label->text();
        }
        return QStringLiteral("<no label>");
    };
    const auto noFigureOfThePositions = [&] {
        for (const char* name :
             {"equityValueTextField", "ProfitLossValueTextField", "AvailableMarginValueTextField"})
            EXPECT_FALSE(figure(strip(name))) << name << ": " << strip(name).toStdString();
        EXPECT_TRUE(figure(strip("BalanceValueTextField"))) << "the balance is the server's";
        EXPECT_FALSE(figure(positions->totalValue(texts::kPL)))
            << positions->totalValue(texts::kPL).toStdString();
    };
    session->tickNow();
    ASSERT_FALSE(session->client().dataService().openPositionsListed);
    noFigureOfThePositions();
    EXPECT_FALSE(figure(positions->totalValue(texts::kQuantity)))
        << positions->totalValue(texts::kQuantity).toStdString();

    server->setDataServiceSilent(false);
    // Listed and not yet valued, when the wait sees that moment.
    bool sawUnvalued = false;
    ASSERT_TRUE(waitFor(
        [&] {
            if (!sawUnvalued && session->client().dataService().openPositionsListed && !positionsValued()) {
                sawUnvalued = true;
                session->tickNow();
                noFigureOfThePositions();
            }
            return positionsValued();
        },
        15000));
    // Valued: the figures show, the strip's as the account's own.
    const tc::AccountDetails& account = *accounts.front();
    const auto amount = [](double v) {
        return QStringLiteral(": ") + QLocale(QLocale::English).toString(v, 'f', 2);
    };
    ASSERT_TRUE(waitFor([&] {
        session->tickNow();
        return figure(strip("ProfitLossValueTextField")) && figure(positions->totalValue(texts::kPL));
    }));
    EXPECT_EQ(strip("ProfitLossValueTextField"), amount(account.UnrealisedPL));
    EXPECT_EQ(strip("equityValueTextField"), amount(account.Equity));
    EXPECT_EQ(strip("AvailableMarginValueTextField"), amount(account.AvailableMargin));
    EXPECT_TRUE(figure(positions->totalValue(texts::kQuantity)));
}

TEST_F(MainWindowTest, ShowsTheDemosFirstAccountAndItsTablesAndFollowsTheTick) {
    EXPECT_TRUE(window->windowTitle().endsWith(" - demo")) << window->windowTitle().toStdString();
    const auto accounts = session->client().queries().getAccountCollection();
    ASSERT_FALSE(accounts.empty());
    ASSERT_EQ(window->account(), accounts.front()->AccountId);
    EXPECT_EQ(session->client().currentAccount(), accounts.front()->AccountId)
        << "the session follows it too";
    const tc::AccountDetails& figures = *accounts.front();
    session->tickNow(); // the summary as of now: the session moves the figures every second
    EXPECT_EQ(label("AccountIdTextField"), context->text(texts::kAccount));
    EXPECT_EQ(label("AccountIdValueTextField"), QStringLiteral(": %1").arg(figures.AccountId));
    // "%.2f", grouped, both decimals kept.
    const auto amount = [](double v) {
        QString text = QLocale(QLocale::English).toString(v, 'f', 2);
        return QStringLiteral(": ") + text;
    };
    EXPECT_EQ(label("BalanceValueTextField"), amount(figures.Balance.toDouble()));
    EXPECT_EQ(label("equityValueTextField"), amount(figures.Equity));
    EXPECT_EQ(label("AvailableMarginValueTextField"), amount(figures.AvailableMargin));
    EXPECT_EQ(label("ProfitLossValueTextField"), amount(figures.UnrealisedPL));

    // The grids show the demo's positions and pending orders.
    ASSERT_TRUE(window->watchlistBoard());
    EXPECT_TRUE(waitFor([&] { return window->watchlistBoard()->model()->rowCount() > 0; }));
    for (tc::gui::Grid grid :
         {tc::gui::Grid::OpenPositions, tc::gui::Grid::PendingOrders, tc::gui::Grid::Accounts}) {
        SCOPED_TRACE(static_cast<int>(grid));
        ASSERT_TRUE(window->gridTable(grid));
        EXPECT_TRUE(waitFor([&] { return window->gridTable(grid)->model()->rowCount() > 0; }));
    }

    // The summary follows the account set and the tick; the network line follows the pings.
    window->setAccount(0);
    EXPECT_EQ(label("AccountIdValueTextField"), ": 0");
    EXPECT_EQ(label("BalanceValueTextField"), ": 0.00");
    window->setAccount(accounts.front()->AccountId);
    EXPECT_TRUE(waitFor([&] { return !label("ServerTimeTextField").isEmpty(); }));
    EXPECT_EQ(label("ConnectionStatusTextField"), context->text(texts::kConnected));
}

// Where a label of selectable text draws each character of its text: the x of its glyph in the
// label's own layout (-1 for a mark that draws nothing).
std::vector<qreal> characterXs(QLabel* label) {
    label->adjustSize();
    auto* document = label->findChild<QTextDocument*>();
    if (!document)
        return {};
    document->size(); // lays the text out
    const QTextLayout* layout = document->firstBlock().layout();
    if (!layout || layout->lineCount() != 1)
        return {};
    std::vector<qreal> xs;
    for (int i = 0; i < label->text().size(); ++i) {
        const QList<QGlyphRun> runs = layout->glyphRuns(i, 1);
        xs.push_back(
            runs.isEmpty() || runs.front().positions().isEmpty() ? -1 : runs.front().positions().front().x());
    }
    return xs;
}

// Each "caption : value" pair of the summary strip and of the positions' totals reads from the right
// in Arabic: caption, colon, then the figure, its minus and digits in their own order.
TEST_F(MainWindowTest, PairsOfTheStatusBarAndTotalsReadRightToLeftInArabic) {
    ASSERT_TRUE(context->language().select(5));
    session->tickNow();
    ASSERT_TRUE(waitFor([&] {
        return window->findChild<QLabel*>("AccountIdTextField")->x() >
               window->findChild<QLabel*>("AccountIdValueTextField")->x();
    }));
    for (const char* name : {"AccountIdValueTextField", "equityValueTextField", "ProfitLossValueTextField",
                             "QuantityValueTextField", "MarginValueTextField", "CommisonValueTextField"}) {
        for (QLabel* value : window->findChildren<QLabel*>(name)) {
            SCOPED_TRACE(name);
            const QString text = value->text();
            ASSERT_FALSE(text.isEmpty());
            const std::vector<qreal> xs = characterXs(value);
            ASSERT_EQ(xs.size(), static_cast<std::size_t>(text.size())) << text.toStdString();
            const qsizetype colon = text.indexOf(QLatin1Char(':'));
            ASSERT_GE(colon, 0);
            std::vector<qreal> figure; // the digits, signs and separators, in the text's order
            for (qsizetype i = colon + 1; i < text.size(); ++i)
                if (text[i].isDigit() || text[i] == QLatin1Char('-') || text[i] == QLatin1Char(',') ||
                    text[i] == QLatin1Char('.'))
                    figure.push_back(xs[static_cast<std::size_t>(i)]);
            ASSERT_FALSE(figure.empty());
            for (qreal x : figure)
                EXPECT_GT(xs[static_cast<std::size_t>(colon)], x) << "the colon stands right of its figure";
            EXPECT_TRUE(std::is_sorted(figure.begin(), figure.end())) << "the figure reads left to right";
            // The caption is right of its value in the mirrored strip.
            const QWidget* caption =
                value->parentWidget()->findChild<QLabel*>(QString::fromLatin1(name).replace(
                    QStringLiteral("ValueTextField"), QStringLiteral("TextField")));
            if (caption && value->isVisible()) {
                EXPECT_GT(caption->mapTo(window, QPoint()).x(), value->mapTo(window, QPoint()).x());
            }
        }
    }
    ASSERT_TRUE(context->language().select(0));
    session->tickNow();
    EXPECT_EQ(label("AccountIdValueTextField"), QStringLiteral(": %1").arg(*window->account()));
}

// A window made in a right-to-left language picks the board's first instrument (for the depth
// ladders) as one made left to right does.
TEST_F(MainWindowTest, AMirroredWindowStartsOnTheBoardsFirstInstrument) {
    ASSERT_TRUE(waitFor([&] { return window->watchlistBoard()->model()->rowCount() > 0; }));
    ASSERT_TRUE(context->language().select(5));
    auto* mirrored = new MainWindowController(*context, &idle);
    QTableView* board = mirrored->watchlistBoard();
    EXPECT_EQ(mirrored->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(board->selectionModel()->currentIndex().row(), 0);
    EXPECT_TRUE(board->selectionModel()->isRowSelected(0, {}));
    delete mirrored;
    ASSERT_TRUE(context->language().select(0));
}

TEST_F(MainWindowTest, TheSummaryShowsTheCoresRefreshOfTheAccountAsItIsAnnounced) {
    const auto accounts = session->client().queries().getAccountCollection();
    ASSERT_FALSE(accounts.empty());
    const tc::AccountDetails& figures = *accounts.front();
    const auto amount = [](double v) {
        return ": " + QLocale(QLocale::English).toString(v, 'f', 2).toStdString();
    };
    const auto text = [&](const char* name) { return label(name).toStdString(); };
    // What the summary showed and what the account held whenever the core announced a refresh of it.
    using Figures = std::vector<std::string>;
    std::vector<std::pair<Figures, Figures>> seen;
    QObject::connect(
        session.get(), &tc::gui::ClientModel::tablesChanged, window, [&](interfaces::TableSet t) {
            if (!t.contains(interfaces::Table::Accounts))
                return;
            seen.push_back(
                {{text("ProfitLossValueTextField"), text("equityValueTextField"),
                  text("AvailableMarginValueTextField")},
                 {amount(figures.UnrealisedPL), amount(figures.Equity), amount(figures.AvailableMargin)}});
        });
    // Seeded: 20001 buys 1.5 EURUSD at 1.08320. A bid a hundred points up moves its floating P/L by
    // about 1,500 at the core's next refresh, between two of the window's own ticks.
    ASSERT_TRUE(server->setQuote("EURUSD", "1.09320", "1.09332"));
    ASSERT_TRUE(waitFor([&] { return figures.UnrealisedPL > 1000 && !seen.empty(); }));
    ASSERT_TRUE(waitFor([&] { return seen.size() >= 2; }));
    for (const auto& [shown, held] : seen)
        EXPECT_EQ(shown, held);
}

// A screen reader names every table of the main window (the grids, the board, its tiles and the
// depth ladders) in the language chosen.
TEST_F(MainWindowTest, EveryGridAndLadderHasAnAccessibleNameInTheLanguageChosen) {
    const auto names = [&] {
        QStringList out;
        for (QAbstractItemView* view : window->findChildren<QAbstractItemView*>()) {
            // Headers and the lists of combo boxes (windows of their own) are parts of other widgets.
            if (qobject_cast<QHeaderView*>(view) || view->window() != window)
                continue;
            EXPECT_FALSE(view->accessibleName().isEmpty())
                << view->metaObject()->className() << " " << view->objectName().toStdString();
            out << view->accessibleName();
        }
        auto* tiles = window->findChild<QWidget*>("advancedWatchlistTableView");
        EXPECT_TRUE(tiles && !tiles->accessibleName().isEmpty());
        out << (tiles ? tiles->accessibleName() : QString());
        return out;
    };
    const QStringList english = names();
    for (const char* key : {texts::kWatchList, texts::kAccounts, texts::kOpenPositionsTab,
                            texts::kPendingOrdersTab, texts::kSettledPositionsTab, texts::kExecutedPositions,
                            texts::kCancelledOrders, texts::kBuyMarketDepth, texts::kSellMarketDepth})
        EXPECT_TRUE(english.contains(context->text(key))) << key;
    ASSERT_TRUE(context->language().select(7)); // French
    const QStringList french = names();
    EXPECT_TRUE(french.contains(context->text(texts::kBuyMarketDepth)));
    EXPECT_NE(french, english);
    ASSERT_TRUE(context->language().select(0));
    EXPECT_EQ(names(), english);
}

TEST_F(MainWindowTest, NetworkStatusTakesTheFourClassesAndNothingElse) {
    window->changeNetworkStatusImage({3, "20240307101500"});
    EXPECT_EQ(label("ConnectionStatusTextField"), context->text(texts::kNoConnectionTradingServer));
    EXPECT_EQ(label("ServerTimeTextField"), "Mar 07, 2024 10:15:00");
    const QImage poor = window->findChild<QLabel*>("NetworkStatusIndicatorImage")->pixmap().toImage();
    window->changeNetworkStatusImage({7, "not a time"});
    EXPECT_EQ(label("ConnectionStatusTextField"), context->text(texts::kNoConnectionTradingServer));
    EXPECT_EQ(label("ServerTimeTextField"), "Mar 07, 2024 10:15:00");
    window->changeNetworkStatusImage({0, ""});
    EXPECT_EQ(label("ConnectionStatusTextField"), context->text(texts::kConnected));
    EXPECT_NE(window->findChild<QLabel*>("NetworkStatusIndicatorImage")->pixmap().toImage(), poor);
}

TEST_F(MainWindowTest, ViewItemsAndTheNewsButtonBringForwardTheTabTheirIndexNames) {
    auto* tabs = window->findChild<QTabWidget*>("mainTabView");
    auto* view = window->findChild<QMenu*>("viewMenu");
    ASSERT_TRUE(tabs && view);
    const QList<QAction*> items = view->actions();
    ASSERT_EQ(items.size(), tabs->count()) << "one item per tab";
    window->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(window));
    // Last to first, so that no item finds its tab already in front.
    for (int i = tabs->count() - 1; i >= 0; --i) {
        QAction* item = items[i];
        SCOPED_TRACE(item->objectName().toStdString());
        EXPECT_EQ(item->data().toInt(), i);
        EXPECT_EQ(QString::fromStdString(tc::gui::withoutAccessKey(item->text().toStdString())),
                  tabs->tabText(i))
            << "named as its tab";
        item->trigger();
        EXPECT_EQ(tabs->currentIndex(), i);
        QWidget* focused = QApplication::focusWidget();
        EXPECT_TRUE(qobject_cast<QAbstractItemView*>(focused) && tabs->currentWidget()->isAncestorOf(focused))
            << "its table focused";
    }
    for (int i = tabs->count() - 1; i >= 0; --i) {
        guitest::pressKey(static_cast<Qt::Key>(Qt::Key_1 + i), Qt::ControlModifier);
        EXPECT_EQ(tabs->currentIndex(), i) << "Ctrl+" << i + 1;
    }
    // No other action of the window answers the same keys.
    QStringList keys;
    for (const QAction* a : window->findChildren<QAction*>())
        if (!a->shortcut().isEmpty())
            keys << a->shortcut().toString();
    EXPECT_EQ(keys.size(), QSet<QString>(keys.begin(), keys.end()).size()) << keys.join(' ').toStdString();

    QAction stray;
    stray.setData(tabs->count());
    window->mainToolbarButtonClicked(&stray);
    EXPECT_EQ(tabs->currentIndex(), 0);

    // News is on the toolbar too, in sight at the window's size.
    auto* toolbar = window->findChild<QToolBar*>("mainToolbar");
    ASSERT_TRUE(toolbar);
    QWidget* news = toolbar->widgetForAction(action("actionNews"));
    ASSERT_TRUE(news);
    ASSERT_TRUE(news->isVisible());
    QTest::mouseClick(news, Qt::LeftButton);
    EXPECT_EQ(tabs->currentWidget(), window->findChild<QWidget*>("newsTab"));
}

// Every menu and item has one access key, unique within its menu, in every language.
TEST_F(MainWindowTest, EveryMenuAndItemHasAnAccessKeyOfItsOwnInEveryLanguage) {
    auto* bar = window->findChild<QMenuBar*>("menuBar");
    const auto checkKeys = [](const QList<QAction*>& actions, const std::string& where) {
        QStringList keys;
        for (const QAction* a : actions) {
            if (a->isSeparator())
                continue;
            SCOPED_TRACE(where + ": " + a->text().toStdString());
            EXPECT_EQ(tc::gui::accessKeysOf(a->text().toStdString()).size(), 1u);
            keys << QKeySequence::mnemonic(a->text()).toString();
        }
        EXPECT_FALSE(keys.contains(QString())) << where;
        EXPECT_EQ(QSet<QString>(keys.begin(), keys.end()).size(), keys.size())
            << where << ": " << keys.join(' ').toStdString();
    };
    auto* toolbar = window->findChild<QToolBar*>("mainToolbar");
    for (std::int64_t language = 0; language < 12; ++language) {
        ASSERT_TRUE(context->language().select(language));
        const std::string name = std::to_string(language);
        checkKeys(bar->actions(), name + " menu bar");
        for (QAction* entry : bar->actions())
            checkKeys(entry->menu()->actions(), name + " " + entry->text().toStdString());
        // The toolbar names its commands without the keys.
        EXPECT_EQ(
            qobject_cast<QAbstractButton*>(toolbar->widgetForAction(action("actionTradeTicket")))->text(),
            context->text(texts::kNewOrder))
            << name;
    }
    ASSERT_TRUE(context->language().select(0));
}

// Alt with a menu's key opens it and Return acts on its item; F10 and Alt alone reach the menu bar;
// New Order has its shortcut, shown in the menu.
TEST_F(MainWindowTest, TheMenusOpenFromTheKeyboardAndNewOrderHasItsShortcut) {
    window->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(window));
    auto* bar = window->findChild<QMenuBar*>("menuBar");
    auto* trade = window->findChild<QMenu*>("tradeMenu");
    const auto focused = [] { return QApplication::focusWidget(); };
    const auto ticketShown = [&] {
        auto* ticket = context->guiObjects().tradeTicketWindowController();
        return ticket && ticket->isVisible();
    };

    guitest::pressKey(Qt::Key_T, Qt::AltModifier);
    ASSERT_TRUE(waitFor([&] { return trade->isVisible(); }));
    EXPECT_EQ(trade->activeAction(), action("actionTradeTicket"));
    guitest::pressKey(Qt::Key_Return); // to the open menu
    EXPECT_TRUE(waitFor(ticketShown)) << "Return on New Order opens the ticket";
    context->guiObjects().tradeTicketWindowController()->close();

    window->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(window));
    auto* tabs = window->findChild<QTabWidget*>("mainTabView");
    guitest::pressKey(Qt::Key_V, Qt::AltModifier);
    auto* view = window->findChild<QMenu*>("viewMenu");
    ASSERT_TRUE(waitFor([&] { return view->isVisible(); }));
    guitest::pressKey(Qt::Key_J); // the Journal's key
    EXPECT_EQ(tabs->currentWidget(), window->findChild<QWidget*>("journalTab"));
    EXPECT_FALSE(view->isVisible());

    QTableView* board = window->watchlistBoard();
    ASSERT_TRUE(waitFor([&] { return board->model()->rowCount() > 0; }));
    ASSERT_TRUE(
        guitest::clickInto(board->viewport(), board->visualRect(board->model()->index(0, 0)).center()));
    ASSERT_EQ(focused(), board);
    QTest::keyPress(QApplication::focusWidget(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Alt);
    EXPECT_EQ(bar->activeAction(), bar->actions().front()) << "Alt alone puts the menu bar under the keys";
    guitest::pressKey(Qt::Key_Escape);
    EXPECT_EQ(focused(), board) << "Escape gives the focus back";

    guitest::pressKey(Qt::Key_F10);
    auto* app = window->findChild<QMenu*>("appMenu");
    ASSERT_TRUE(waitFor([&] { return app->isVisible(); }));
    EXPECT_EQ(app->activeAction(), action("actionAbout"));
    guitest::pressKey(Qt::Key_Escape); // to the open menu
    ASSERT_TRUE(waitFor([&] { return !app->isVisible(); }));
    guitest::pressKey(Qt::Key_Escape);

    EXPECT_EQ(action("actionTradeTicket")->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    window->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(window));
    guitest::pressKey(Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(waitFor(ticketShown));
    context->guiObjects().tradeTicketWindowController()->close();
}

// Tab leaves the quotes board for the next control and leaves its selected instrument as it was.
TEST_F(MainWindowTest, TabLeavesTheQuotesBoardWithoutChangingTheInstrument) {
    window->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(window));
    QTableView* board = window->watchlistBoard();
    ASSERT_TRUE(waitFor([&] { return board->model()->rowCount() > 1; }));
    // Clicked into on its first row's symbol, as a trader enters the board.
    const auto clickFirstRow = [&] {
        return guitest::clickInto(board->viewport(), board->visualRect(board->model()->index(0, 0)).center());
    };
    ASSERT_TRUE(clickFirstRow());
    ASSERT_TRUE(board->hasFocus());
    const QModelIndex current = board->currentIndex();
    ASSERT_EQ(current.row(), 0);
    guitest::pressKey(Qt::Key_Tab);
    EXPECT_FALSE(board->hasFocus());
    EXPECT_EQ(board->currentIndex(), current);
    ASSERT_TRUE(clickFirstRow());
    guitest::pressKey(Qt::Key_Down);
    EXPECT_EQ(board->currentIndex().row(), current.row() + 1) << "the arrows move inside";
}

// A screen reader is told every item of a menu on screen as shown, News in the Messages menu too
// (the View menu has one, and a screen reader may have read that menu first).
TEST_F(MainWindowTest, EveryItemOfAMenuOnScreenIsToldAsShown) {
    int news = 0;
    for (QAction* entry : window->findChild<QMenuBar*>("menuBar")->actions()) {
        QMenu* menu = entry->menu();
        menu->popup(window->mapToGlobal(QPoint(40, 40)));
        ASSERT_TRUE(waitFor([&] { return menu->isVisible(); }));
        QAccessibleInterface* told = QAccessible::queryAccessibleInterface(menu);
        ASSERT_EQ(told->childCount(), menu->actions().size());
        for (int i = 0; i < told->childCount(); ++i) {
            const QString name = told->child(i)->text(QAccessible::Name);
            if (menu->actions()[i]->isVisible() && !menu->actions()[i]->isSeparator()) {
                EXPECT_FALSE(told->child(i)->state().invisible) << name.toStdString();
            }
            news += name == context->text(texts::kNews) ? 1 : 0;
        }
        menu->close();
    }
    EXPECT_EQ(news, 2) << "View and Messages";
}

TEST_F(MainWindowTest, TheNewsActionShowsTheNewsTabAndResourcesOpensThePanel) {
    for (const char* name : {"actionNews", "actionResources"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(action(name));
        EXPECT_TRUE(action(name)->isEnabled());
        EXPECT_NE(action(name)->toolTip(), context->text(texts::kNotAvailableVersion));
    }
    tc::gui::NewsTableController* news = window->newsView();
    ASSERT_TRUE(news);
    bool shown = false;
    QObject::connect(news, &tc::gui::NewsTableController::newsShown, [&] { shown = true; });
    action("actionNews")->trigger();
    EXPECT_TRUE(news->isVisible());
    // Shown for the first time, it reads the first category (items, or why there are none).
    EXPECT_TRUE(waitFor([&] { return shown; }, 20000));
    EXPECT_EQ(news->shownCategory(), "BreakingNews");

    // The panel's first showing downloads the files its entries name: into a folder of this test.
    const auto home =
        std::filesystem::temp_directory_path() / ("tc_main_resources_" + std::to_string(::getpid()));
    const char* before = std::getenv("XDG_DATA_HOME");
    const std::string saved = before ? before : "";
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    ASSERT_TRUE(waitFor(
        [&] { return session->client().dataService().resourceSearchCollection.contains("holidays.ics"); }));
    EXPECT_FALSE(window->resourcesPanel());
    action("actionResources")->trigger();
    tc::gui::ResourcesViewController* panel = window->resourcesPanel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->rows().size(), 4u);
    panel->hide();
    action("actionResources")->trigger();
    EXPECT_EQ(window->resourcesPanel(), panel); // one panel, shown again
    EXPECT_TRUE(panel->isVisible());
    panel->hide();
    EXPECT_TRUE(waitFor(
        [&] { return std::filesystem::exists(home / "tradeclient" / "Resources" / "holidays.ics"); }));
    if (before)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(home);
}

TEST_F(MainWindowTest, TheShellsActionsWork) {
    // Settings: one window, however often it is asked for.
    action("actionSettings")->trigger();
    auto* settings = window->settingsWindow();
    ASSERT_TRUE(settings);
    action("actionSettings")->trigger();
    EXPECT_EQ(window->settingsWindow(), settings);
    EXPECT_TRUE(settings->isVisible());

    QSignalSpy locks(window, &MainWindowController::lockRequested);
    action("actionLockConsole")->trigger();
    EXPECT_EQ(locks.count(), 1);
}

TEST_F(MainWindowTest, LogoutAsksAndOnlyItsDefaultButtonEndsTheProgram) {
    QSignalSpy quits(window, &MainWindowController::quitRequested);
    window->logout();
    QMessageBox* box = tc::gui::CommonAlert::showing(window, "logout");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text(), context->text(texts::kDoWantLogOut));
    ASSERT_EQ(box->buttons().size(), 2);
    QAbstractButton* cancel = nullptr;
    QAbstractButton* logOut = nullptr;
    for (QAbstractButton* b : box->buttons())
        (b->text() == context->text(texts::kCancel) ? cancel : logOut) = b;
    ASSERT_TRUE(cancel && logOut);
    cancel->click();
    EXPECT_TRUE(waitFor([&] { return !tc::gui::CommonAlert::showing(window, "logout"); }));
    EXPECT_EQ(quits.count(), 0) << "still running and signed in";
    EXPECT_EQ(session->loginState(), interfaces::LoginState::SignedIn);

    window->logout();
    box = tc::gui::CommonAlert::showing(window, "logout");
    ASSERT_TRUE(box);
    for (QAbstractButton* b : box->buttons())
        if (b->text() == context->text(texts::kLogOut))
            b->click();
    EXPECT_TRUE(waitFor([&] { return quits.count() == 1; }));
}

TEST_F(MainWindowTest, AModalAlertOpenedFromTheRefreshDoesNotReEnterIt) {
    int entered = 0;
    int nested = 0;
    QObject::connect(window, &MainWindowController::accountSummaryRefreshed, window, [&] {
        ++entered;
        if (entered > 1)
            return;
        // A modal alert run from inside the refresh: its event loop lets ticks through.
        QEventLoop alert;
        QTimer::singleShot(0, [&] {
            session->tickNow();
            session->tickNow();
            nested = entered;
            alert.quit();
        });
        alert.exec();
    });
    session->tickNow();
    EXPECT_EQ(nested, 1) << "the ticks inside the alert did not run the refresh again";
    session->tickNow();
    EXPECT_EQ(entered, 2) << "the next tick after it refreshes";
}

// On a small screen (800 by 600) the window opens within it in every language,
// everything whole: no control cut, elided or overlapping (the tabs' short titles standing in, the
// toolbar's groups and the status figures wrapped to rows, the panes scrolled up and down), the
// account pie folded away; on a large screen the pie and the tabs' full titles are back.
TEST_F(MainWindowTest, OpensWithinASmallScreenInEveryLanguageEverythingWhole) {
    const QRect room(0, 0, 800, 600);
    auto* pie = window->findChild<QWidget*>("pieChartPane");
    auto* tabs = window->findChild<QTabWidget*>("mainTabView");
    ASSERT_TRUE(pie && tabs);
    for (std::int64_t language = 0; language < 12; ++language) {
        SCOPED_TRACE(language);
        ASSERT_TRUE(context->language().select(language));
        session->tickNow();
        tc::gui::fillScreen(window, room);
        tc::gui::settleLayout();
        EXPECT_EQ(window->size(), room.size()) << window->width() << "x" << window->height();
        for (const tc::gui::LayoutFault& fault : tc::gui::layoutFaults(window))
            ADD_FAILURE() << tc::gui::kindName(fault.kind).toStdString() << " " << fault.widget.toStdString()
                          << ": " << fault.detail.toStdString();
        EXPECT_FALSE(pie->isVisible());
        // A short title names its tab in full in its tooltip.
        for (int i = 0; i < tabs->count(); ++i) {
            const QString full = context->text(tabs->widget(i)->property("langKey").toString().toStdString());
            EXPECT_TRUE(tabs->tabText(i) == full || tabs->tabToolTip(i) == full) << i;
        }
    }
    ASSERT_TRUE(context->language().select(0));
    window->setGeometry(0, 0, 1600, 1000);
    ASSERT_TRUE(waitFor([&] { return pie->isVisible(); }));
    EXPECT_EQ(tabs->tabText(0), context->text(texts::kOpenPositionsTab));
    EXPECT_TRUE(tabs->tabToolTip(0).isEmpty());
}

TEST_F(MainWindowTest, PanesKeepTheirLimitsThePieFoldsAwayAndClosingEndsTheProgram) {
    auto* market = window->findChild<QSplitter*>("marketSplitView");
    ASSERT_TRUE(market);
    EXPECT_EQ(market->property("identifier").toString(), "1000");
    window->resize(1600, 1000);
    // The divider dragged as far as it goes either way.
    QSplitterHandle* divider = market->handle(1);
    const auto drag = [&](int x) {
        const QPoint from = divider->rect().center();
        QTest::mousePress(divider, Qt::LeftButton, {}, from);
        QTest::mouseMove(divider, from + QPoint(x, 0));
        QTest::mouseRelease(divider, Qt::LeftButton, {}, from + QPoint(x, 0));
        return market->widget(0)->width();
    };
    EXPECT_EQ(drag(-2000), 330);
    EXPECT_EQ(drag(2000), 900);

    EXPECT_EQ(window->findChild<QWidget*>("toggleLeftViewButton")->accessibleName(),
              context->text(texts::kShowOrHideAccountPie));
    QWidget* pie = window->findChild<QWidget*>("pieChartPane");
    ASSERT_TRUE(pie && pie->isVisible());
    // The pie keeps its one width: its divider does not squeeze it.
    auto* positions = window->findChild<QSplitter*>("openPositionSplitView");
    ASSERT_TRUE(positions);
    QSplitterHandle* pieDivider = positions->handle(1);
    const QPoint at = pieDivider->rect().center();
    QTest::mousePress(pieDivider, Qt::LeftButton, {}, at);
    QTest::mouseMove(pieDivider, at - QPoint(200, 0));
    QTest::mouseRelease(pieDivider, Qt::LeftButton, {}, at - QPoint(200, 0));
    EXPECT_EQ(pie->width(), 300);
    window->toggleLeftViewSelectedIndex(0);
    EXPECT_FALSE(pie->isVisible());
    window->toggleLeftViewSelectedIndex(0); // already folded: nothing
    EXPECT_FALSE(pie->isVisible());
    window->toggleLeftViewSelectedIndex(1);
    EXPECT_TRUE(pie->isVisible());
    for (int slot = 1; slot <= 4; ++slot)
        EXPECT_TRUE(window->findChild<QWidget*>(QStringLiteral("Chart%1").arg(slot))) << slot;

    QSignalSpy quits(window, &MainWindowController::quitRequested);
    window->close();
    EXPECT_EQ(quits.count(), 1);
}

TEST_F(MainWindowTest, TheIdleTimeOutEndsTheProgramAtTheNextTick) {
    QSignalSpy quits(window, &MainWindowController::quitRequested);
    defaults->set("IdleTime", std::int64_t{300});
    idle.seconds = 299;
    session->tickNow();
    EXPECT_EQ(quits.count(), 0);
    idle.seconds = 301; // a late check still fires
    session->tickNow();
    EXPECT_EQ(quits.count(), 1);
}

TEST_F(MainWindowTest, AThemeSwitchRepaintsTheMainWindowAndItsGrids) {
    auto* settings = new tc::gui::SettingsWindowController(*context);
    settings->show();
    const auto windowColour = [](int theme) {
        const tc::gui::Rgba c = tc::gui::colourOf(theme, tc::gui::ThemeRole::Window);
        return QColor(c.r, c.g, c.b);
    };
    EXPECT_EQ(window->palette().color(QPalette::Window), windowColour(0));
    int paints = 0;
    struct Counter : QObject {
        int& n;
        explicit Counter(int& n) : n(n) {}
        bool eventFilter(QObject*, QEvent* e) override {
            n += e->type() == QEvent::Paint;
            return false;
        }
    } counter(paints);
    window->installEventFilter(&counter);
    context->themes().saveTheme(1);
    EXPECT_EQ(window->palette().color(QPalette::Window), windowColour(1));
    EXPECT_EQ(settings->palette().color(QPalette::Window), windowColour(1));
    EXPECT_EQ(window->watchlistBoard()->gridModel().theme(), 1);
    EXPECT_TRUE(waitFor([&] { return paints > 0; }));
    window->removeEventFilter(&counter);
}

} // namespace

namespace {

// A theme switch keeps the board and the grids in the font size the settings chose, in rows of that
// size, under headers in the window's font.
TEST_F(MainWindowTest, AThemeSwitchKeepsTheChosenFontSizes) {
    for (std::string_view key : {tc::gui::kWatchlistFontSizeKey, tc::gui::kPositionsFontSizeKey})
        tc::gui::PreferenceManager::saveFontSizeInfo(*defaults, 16, key);
    const QTableView* board = window->watchlistBoard();
    const QTableView* positions = &window->gridPane(tc::gui::Grid::OpenPositions)->table();
    const auto looks = [&] {
        return std::tuple{board->font().pointSize(), positions->font().pixelSize(),
                          board->verticalHeader()->defaultSectionSize(),
                          board->horizontalHeader()->font().pointSizeF()};
    };
    session->tickNow();
    ASSERT_TRUE(waitFor([&] { return std::get<0>(looks()) == 16 && std::get<1>(looks()) == 16; }));
    const auto large = looks();
    EXPECT_EQ(std::get<3>(large), positions->horizontalHeader()->font().pointSizeF());

    auto* settings = new tc::gui::SettingsWindowController(*context);
    settings->show();
    for (int theme : {1, 0}) {
        settings->findChild<QAbstractButton*>("themeButton")->click();
        ASSERT_EQ(defaults->integerForKey("Theme"), theme);
        session->tickNow();
        EXPECT_EQ(looks(), large) << theme;
    }
}

// At every font size the settings offer, chosen while the window shows, the board's pane widens
// until the board shows its bid and ask whole, never narrower than it was.
TEST_F(MainWindowTest, TheBoardShowsItsPricesWholeAtEveryFontSize) {
    window->resize(1600, 1000); // as on the screen the program first opens on
    const tc::gui::WatchlistTableController& board = *window->watchlistBoard();
    const QWidget* pane = window->findChild<QWidget*>("watchlistTabView");
    const auto wholeInSight = [&](const char* identifier) {
        const int column = board.gridModel().columnOf(identifier);
        const int left = board.columnViewportPosition(column);
        return left >= 0 && left + board.columnWidth(column) <= board.viewport()->width();
    };
    int width = pane->width();
    for (const tc::gui::FontSizeChoice& choice : tc::gui::kFontSizeChoices) {
        SCOPED_TRACE(choice.size);
        tc::gui::PreferenceManager::saveFontSizeInfo(*defaults, choice.size, tc::gui::kWatchlistFontSizeKey);
        session->tickNow();
        EXPECT_TRUE(waitFor([&] {
            return board.font().pointSize() == choice.size && wholeInSight("Bid") && wholeInSight("Ask");
        }));
        EXPECT_GE(pane->width(), width);
        width = pane->width();
    }
}

// From the keys alone: a grid brought forward has no focused row of its own, the first Down selects
// the first row, and the focused row is the selected one whatever key moved it.
TEST_F(MainWindowTest, TheFirstDownSelectsTheFirstRowAndTheFocusedRowIsTheSelectedOne) {
    window->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(window));
    auto* tabs = window->findChild<QTabWidget*>("mainTabView");
    for (const tc::gui::Grid grid : {tc::gui::Grid::PendingOrders, tc::gui::Grid::OpenPositions}) {
        SCOPED_TRACE(static_cast<int>(grid));
        tc::gui::GridPane* pane = window->gridPane(grid);
        QTableView& table = pane->table();
        ASSERT_TRUE(waitFor([&] { return table.model()->rowCount() > 1; }));
        const auto idOfRow = [&](int row) {
            return table.model()->index(row, 0).data(tc::gui::GridModel::IdRole).toString().toStdString();
        };
        const int tab = tabs->indexOf(pane->parentWidget());
        guitest::pressKey(static_cast<Qt::Key>(Qt::Key_1 + tab), Qt::ControlModifier);
        ASSERT_TRUE(table.hasFocus());
        EXPECT_FALSE(table.currentIndex().isValid()) << "no frame on a row that is not selected";
        guitest::pressKey(Qt::Key_Down);
        EXPECT_EQ(table.currentIndex().row(), 0);
        EXPECT_EQ(pane->selectedId(), idOfRow(0));
        guitest::pressKey(Qt::Key_Down, Qt::ControlModifier);
        EXPECT_EQ(table.currentIndex().row(), 1);
        EXPECT_EQ(pane->selectedId(), idOfRow(1)) << "Ctrl moves the selection with the focus";
        guitest::pressKey(Qt::Key_Space, Qt::ControlModifier);
        EXPECT_EQ(pane->selectedId(), "");
        EXPECT_FALSE(table.currentIndex().isValid()) << "the focus went with the selection";
    }
}

// The accounts grid highlights the status bar's account, and the arrows make the account they
// highlight the current one, as a click does.
TEST_F(MainWindowTest, TheHighlightedAccountIsTheCurrentOneFromTheKeysToo) {
    window->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(window));
    tc::gui::GridPane* pane = window->gridPane(tc::gui::Grid::Accounts);
    QTableView& table = pane->table();
    ASSERT_TRUE(waitFor([&] { return table.model()->rowCount() > 1; }));
    ASSERT_TRUE(window->account());
    const std::string first = std::to_string(*window->account());
    EXPECT_EQ(pane->selectedId(), first);
    auto* tabs = window->findChild<QTabWidget*>("mainTabView");
    const int tab = tabs->indexOf(pane->parentWidget());
    guitest::pressKey(static_cast<Qt::Key>(Qt::Key_1 + tab), Qt::ControlModifier);
    ASSERT_TRUE(table.hasFocus());
    guitest::pressKey(Qt::Key_Down);
    const std::string next = pane->selectedId();
    ASSERT_FALSE(next.empty());
    EXPECT_NE(next, first);
    EXPECT_EQ(std::to_string(window->account().value_or(0)), next);
    EXPECT_EQ(std::to_string(session->client().currentAccount()), next);
    EXPECT_EQ(label("AccountIdValueTextField").toStdString(), ": " + next);
    // Chosen elsewhere, the highlight follows.
    window->setAccount(std::stoi(first));
    EXPECT_EQ(pane->selectedId(), first);
    EXPECT_EQ(table.currentIndex().row(), table.selectionModel()->selectedRows().front().row());
}

} // namespace

namespace {

// At Large, instruments added through the chooser until the board scrolls: the scroll bar that
// comes takes no room from the bid and ask, which stay whole in sight in the room the pane kept for
// it (the pane does not jump wider when the bar comes); and rows added with the bar already there
// widen a pane narrowed since until the ask shows whole again.
TEST_F(MainWindowTest, TheBoardKeepsItsPricesInSightWhenAddedRowsBringAScrollBar) {
    window->resize(1400, 880);
    // A short list to begin with, which the board shows without scrolling.
    auto shortList = session->client().watchList();
    shortList.resize(std::min<std::size_t>(shortList.size(), 3));
    session->client().setWatchList(shortList);
    tc::gui::PreferenceManager::saveFontSizeInfo(*defaults, 16, tc::gui::kWatchlistFontSizeKey);
    session->tickNow();
    tc::gui::WatchlistTableController& board = *window->watchlistBoard();
    const auto wholeInSight = [&](const char* identifier) {
        const int column = board.gridModel().columnOf(identifier);
        const int left = board.columnViewportPosition(column);
        return left >= 0 && left + board.columnWidth(column) <= board.viewport()->width();
    };
    ASSERT_TRUE(waitFor([&] { return board.font().pointSize() == 16 && wholeInSight("Ask"); }, 15000));
    ASSERT_FALSE(board.verticalScrollBar()->isVisible());

    window->AddRemoveSymbolsToWatchlistClicked();
    tc::gui::AddRemoveWindowController* chooser = window->addRemoveWindow();
    ASSERT_TRUE(chooser && waitFor([&] { return chooser->isVisible(); }, 15000));
    QTableView& table = *chooser->Table();
    const auto watched = session->client().watchList();
    const auto rowsPastTheView = [&] {
        return board.model()->rowCount() * board.verticalHeader()->defaultSectionSize() >
               board.viewport()->height();
    };
    std::vector<std::string> toAdd;
    for (const auto& [code, item] : session->client().model().ItemCollection)
        if (std::find(watched.begin(), watched.end(), code) == watched.end())
            toAdd.push_back(code);
    const auto addNext = [&] {
        ASSERT_FALSE(toAdd.empty());
        const std::string code = toAdd.front();
        toAdd.erase(toAdd.begin());
        guitest::typeOver(chooser->SearchField(), QString::fromStdString(code));
        for (int r = 0; r < table.model()->rowCount(); ++r)
            if (table.model()->index(r, 0).data().toString().toStdString() == code)
                table.selectRow(r);
        QTest::mouseClick(chooser->findChild<QPushButton*>(QStringLiteral("addButton")), Qt::LeftButton);
    };
    const int paneWidth = board.width();
    while (!rowsPastTheView() && !toAdd.empty())
        ASSERT_NO_FATAL_FAILURE(addNext());
    ASSERT_TRUE(waitFor([&] { return board.verticalScrollBar()->isVisible(); }, 15000));
    EXPECT_TRUE(waitFor([&] { return wholeInSight("Bid") && wholeInSight("Ask"); }, 15000));
    EXPECT_EQ(board.width(), paneWidth) << "the room for the bar was kept before it came";

    // The trader narrows the board's pane until the ask is cut; the next instrument added, with the
    // bar already there, widens it again.
    auto* split = window->findChild<QSplitter*>(QStringLiteral("marketSplitView"));
    ASSERT_TRUE(split);
    QList<int> sizes = split->sizes();
    const int narrowed = board.columnWidth(board.gridModel().columnOf("Ask")) / 2;
    sizes[0] -= narrowed;
    sizes[1] += narrowed;
    split->setSizes(sizes);
    ASSERT_TRUE(waitFor([&] { return !wholeInSight("Ask"); }));
    const int rows = board.model()->rowCount();
    ASSERT_NO_FATAL_FAILURE(addNext());
    ASSERT_TRUE(waitFor([&] { return board.model()->rowCount() > rows; }));
    EXPECT_TRUE(waitFor([&] { return wholeInSight("Bid") && wholeInSight("Ask"); }, 15000));
}

} // namespace
