// The position dialogs against the in-process test server, signed in as demo, opened from the main
// window's grids as a user would: close in part and in full, modify brackets and a pending order,
// cancel, offset (refusals, a server rejection, done), and close-all with one refused position.
#include "gui/app/access_key_rules.h"
#include "gui/app/common_alert.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/app/sound_notification.h"
#include "gui/controls/grid_table.h"
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/grid/grid_view_proxy.h"
#include "gui/main/main_window_controller.h"
#include "gui/models/session_fixture.h"
#include "gui/texts.h"
#include "gui/trading/close_all_window_controller.h"
#include "gui/trading/close_and_cancel_position_window_controller.h"
#include "gui/trading/close_position_status_window_controller.h"
#include "gui/trading/modify_position_window_controller.h"
#include "gui/trading/offset_position_window_controller.h"
#include "gui/trading/positions_window_fixture.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "platform/bundle.h"
#include "platform/lenient.h"
#include "support/temp_resources.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>

namespace {

// A decimal written in the test.
tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using guitest::waitFor;
using namespace tc::gui;

QString cellText(const QAbstractItemModel* model, int row, int column) {
    return model->index(row, column).data().toString();
}

// 300902: more lots than the group lets one order close (50), which the close-all check refuses.
class PositionDialogsTest : public guitest::PositionsWindowTest {
protected:
    PositionDialogsTest() : PositionsWindowTest("60") {}

    void seedMarket(testserver::Market& market) override {
        PositionsWindowTest::seedMarket(market);
        // 20001 may send a price deviation with a close.
        for (auto& account : market.accounts)
            if (account.id == 20001)
                account.settings |= 2;
    }

    std::optional<testserver::ServerPosition> serverPosition(std::int64_t id) {
        return server->book().with(
            [&](const testserver::Books& b) -> std::optional<testserver::ServerPosition> {
                for (const auto& p : b.positions)
                    if (p.positionId == id)
                        return p;
                return std::nullopt;
            });
    }
    std::shared_ptr<const tc::Order> record(DialogRecord list, const std::string& id) {
        return findRecord(session->client().queries(), list, id);
    }
    // The position sheet showing on the main window, if any.
    RecordSheet* visibleSheet() const {
        for (RecordSheet* sheet : window->findChildren<RecordSheet*>())
            if (sheet->isVisible())
                return sheet;
        return nullptr;
    }
    // What the trade menu's item says when chosen with nothing selected in the tab in view.
    QString nothingSelected(const QAction* item, const QString& tab) const {
        return actsOn(texts::kMenuCommandNothingSelected, item, tab);
    }
    QString actsOn(const char* key, const QAction* item, const QString& tab) const {
        return context->text(key)
            .replace("{0}", QString::fromStdString(withoutAccessKey(item->text().toStdString())))
            .replace("{1}", tab);
    }
    // The alert showing on a widget, if any.
    static QMessageBox* alertOn(QWidget* owner) {
        for (QMessageBox* box : owner->findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly))
            if (box->isVisible())
                return box;
        return nullptr;
    }
    // The open positions' totals bar opens the close-all window: it, once it shows; null when not.
    CloseAllWindowController* openCloseAll() {
        // The totals bar's button is pressed once a sign-in's positions are listed, as a trader sees
        // them; a window closed earlier may still stand hidden beside the one this opens.
        auto* button = open->findChild<QPushButton*>(QStringLiteral("closeAllButton"));
        if (!button || !waitFor([&] { return button->isEnabled() && open->gridModel().rowCount() > 0; }))
            return nullptr;
        QTest::mouseClick(button, Qt::LeftButton);
        CloseAllWindowController* shown = nullptr;
        waitFor([&] {
            for (auto* closeAll : window->findChildren<CloseAllWindowController*>())
                if (closeAll->isVisible())
                    shown = closeAll;
            return shown != nullptr;
        });
        return shown;
    }
    template <class W>
    static W* find(QObject* root, const char* name) {
        W* found = root->findChild<W*>(QLatin1String(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    // Clicked into, all of it selected and typed over, as a trader does.
    static void type(QComboBox* box, const QString& text) { guitest::typeOver(box->lineEdit(), text); }
    static void type(QLineEdit* field, const QString& text) { guitest::typeOver(field, text); }
    // A field's refusal as the sheets word it: the fault's text naming the field.
    QString words(const char* key, const char* field, const QString& limit = {}) const {
        return context->text(key).replace("{0}", context->text(field)).replace("{1}", limit);
    }
    // The sheet's refusal to `button`, then the alert gone; empty when none showed.
    static QString refusedBy(QWidget* sheet, QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QMessageBox* alert = alertOn(sheet);
        if (!alert)
            return {};
        const QString text = alert->informativeText();
        alert->accept();
        return text;
    }

    // A request sent from a sheet: the sheet stays open, says it waits and sends nothing more, until
    // the server's answer closes it.
    void waitsThenCloses(RecordSheet* sheet, QPushButton* send) {
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_TRUE(sheet->isWaitingForAnswer());
        EXPECT_FALSE(send->isEnabled());
        EXPECT_TRUE(sheet->answerLine()->isVisible());
        EXPECT_EQ(sheet->answerLine()->text(), context->text(texts::kSheetWaitingForAnswer));
        EXPECT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
        EXPECT_FALSE(alertOn(sheet));
    }

    // A limit order below the market placed for the test, and the cancel sheet opened on it from the
    // pending orders grid.
    void openCancelOfANewLimitOrder(std::string& id, CloseAndCancelPositionWindowController*& sheet) {
        ASSERT_NO_FATAL_FAILURE(placeALimitOrder(id));
        pending->runAction(RowAction::CancelOrder, id);
        sheet = window->findChild<CloseAndCancelPositionWindowController*>();
        ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
        ASSERT_EQ(sheet->job(), CloseJob::Cancel);
    }
    // A limit order of 1 lot below the market, once its row shows in the pending orders grid.
    void placeALimitOrder(std::string& id) {
        interfaces::OrderTicket ticket;
        ticket.instrument = "EURUSD";
        ticket.account = 20001;
        ticket.kind = interfaces::OrderKind::Limit;
        ticket.quantity = *interfaces::Decimal::fromString("1");
        ticket.price = *interfaces::Decimal::fromString("1.05000");
        std::set<std::string> before;
        for (const auto& o : session->client().queries().getPendingOrderCollection())
            before.insert(o->PendingOrderId);
        ASSERT_TRUE(session->client().orders().placeOrder(ticket).sent());
        // The new order, not a take profit or stop loss of a position listed beside it.
        ASSERT_TRUE(waitFor([&] {
            for (const auto& o : session->client().queries().getPendingOrderCollection())
                if (!o->PendingOrderId.empty() && !before.contains(o->PendingOrderId) &&
                    o->RefPositionIdOfBracket.empty() && pending->gridModel().rowOf(o->PendingOrderId) >= 0)
                    id = o->PendingOrderId;
            return !id.empty();
        }));
    }
    std::optional<testserver::ServerPendingOrder> serverOrder(const std::string& id) {
        return server->book().with(
            [&](const testserver::Books& b) -> std::optional<testserver::ServerPendingOrder> {
                for (const auto& o : b.pendingOrders)
                    if (std::to_string(o.pendingOrderId) == id)
                        return o;
                return std::nullopt;
            });
    }
    // The take profit the server holds for a position: the price of its limit leg.
    std::optional<tc::platform::Decimal> serverTakeProfit(std::int64_t position) {
        return server->book().with([&](const testserver::Books& b) -> std::optional<tc::platform::Decimal> {
            for (const auto& o : b.pendingOrders)
                if (o.refPositionId == position && o.orderTypeId == 2)
                    return dec(o.orderPrice);
            return std::nullopt;
        });
    }

    // A request sent while the server holds its order answers, then stands still: once the status
    // bar reads it as not answering, the sheet says so and that the request still waits (its button
    // off, nothing sent again), never that it may have been carried out; the server answering again
    // brings the waiting line back, and the answer closes the sheet.
    void waitsThroughASilence(RecordSheet* sheet, QPushButton* send) {
        QSignalSpy answering(session.get(), &ClientModel::answeringChanged);
        server->holdOrders(true);
        const int requestsBefore = server->stats().orderRequests;
        server->pauseStream(true);
        QTest::mouseClick(send, Qt::LeftButton);
        ASSERT_TRUE(sheet->isWaitingForAnswer());
        ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }, 30000));
        EXPECT_FALSE(answering.takeFirst().at(0).toBool());
        EXPECT_TRUE(sheet->isVisible());
        EXPECT_TRUE(sheet->isWaitingForAnswer());
        EXPECT_FALSE(send->isEnabled());
        EXPECT_TRUE(sheet->answerLine()->isVisible());
        EXPECT_EQ(sheet->answerLine()->text(), context->text(texts::kSheetServerNotAnswering));
        server->pauseStream(false);
        ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }));
        EXPECT_TRUE(answering.takeFirst().at(0).toBool());
        EXPECT_TRUE(sheet->isWaitingForAnswer());
        EXPECT_EQ(sheet->answerLine()->text(), context->text(texts::kSheetWaitingForAnswer));
        EXPECT_EQ(server->stats().orderRequests, requestsBefore + 1);
        server->holdOrders(false);
        EXPECT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
        EXPECT_FALSE(alertOn(sheet));
    }

    // The sheet's request goes out and the line drops before its answer: the sheet says it had none.
    // `carriedOut`: the server holds the request and carries it out while no client of the user is
    // signed in; else it stands still and the request is lost with the line, never read.
    void sendThenLoseTheLine(RecordSheet* sheet, QPushButton* send, bool carriedOut) {
        if (carriedOut)
            server->holdOrders(true);
        else
            server->pauseStream(true);
        const int heldBefore = server->stats().heldOrderRequests;
        QTest::mouseClick(send, Qt::LeftButton);
        ASSERT_TRUE(sheet->isWaitingForAnswer());
        if (carriedOut) {
            ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == heldBefore + 1; }));
        }
        server->dropStreams();
        ASSERT_TRUE(waitFor([&] { return !sheet->isWaitingForAnswer(); }));
        EXPECT_EQ(sheet->answerLine()->text(), context->text(texts::kSheetRequestNoAnswer));
        EXPECT_FALSE(send->isEnabled()) << "the lost session's figures beside a live send button";
        if (carriedOut) {
            ASSERT_TRUE(server->answerHeldOrders({0}));
            server->holdOrders(false);
        } else {
            server->pauseStream(false);
        }
    }
    // Signs in again as the same user and waits for the sheet's line to read `key`.
    void signInAgainUntil(RecordSheet* sheet, const char* key) {
        ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
        ASSERT_TRUE(signIn());
        ASSERT_TRUE(waitFor([&] { return sheet->answerLine()->text() == context->text(key); }))
            << sheet->answerLine()->text().toStdString();
    }

    // The close sheet of 300001 sends a close of 0.2 the server carries out while the line is lost; signed
    // in again, the sheet says so.
    void closeInPartBeforeTheLineWent(CloseAndCancelPositionWindowController*& sheet, QComboBox*& quantity,
                                      QPushButton*& close) {
        open->runAction(RowAction::ClosePosition, "300001");
        sheet = window->findChild<CloseAndCancelPositionWindowController*>();
        ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
        quantity = find<QComboBox>(sheet, "QuantityComboField");
        close = find<QPushButton>(sheet, "CloseAndCancelButton");
        type(quantity, "0.2");
        ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(sheet, close, true));
        ASSERT_TRUE(waitFor([&] { return serverPosition(300001)->qty == "1.3"; }));
        ASSERT_NO_FATAL_FAILURE(signInAgainUntil(sheet, texts::kSheetRequestCarriedOut));
    }

    // The line lost while a sheet shows (its send button `send` waits), then a sign-in as `user` whose
    // lists the sheets have taken up on a tick.
    void loseTheLineAndSignInAgain(QPushButton* send, const char* user = "demo",
                                   const char* password = "demo1234") {
        server->dropStreams();
        ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
        EXPECT_FALSE(send->isEnabled()) << "live on the lost session's figures";
        ASSERT_TRUE(signIn(user, password));
        ASSERT_TRUE(waitFor([&] {
            const auto& lists = session->client().dataService();
            return lists.openPositionsListed && lists.pendingOrdersListed;
        }));
        session->tickNow();
    }

    // The offset sheet of 300001, its one line (300901) ticked, with that line's quantity box.
    struct OffsetSheet {
        OffsetPositionWindowController* sheet = nullptr;
        QTableView* table = nullptr;
        QComboBox* quantity = nullptr;
        QPushButton* send = nullptr;
    };
    void openOffsetTicked(OffsetSheet& out) {
        open->runAction(RowAction::OffsetPosition, "300001");
        out.sheet = window->findChild<OffsetPositionWindowController*>();
        ASSERT_TRUE(out.sheet && waitFor([&] { return out.sheet->isVisible(); }));
        out.table = find<QTableView>(out.sheet, "offsetPositionTableView");
        QAbstractItemModel* lines = out.table->model();
        lines->setData(lines->index(0, 0), Qt::Checked, Qt::CheckStateRole);
        out.quantity = qobject_cast<QComboBox*>(out.table->indexWidget(lines->index(0, 8)));
        ASSERT_TRUE(out.quantity && out.quantity->isEnabled());
        out.send = find<QPushButton>(out.sheet, "offsetButton");
    }
};

TEST_F(PositionDialogsTest, CloseInPartThenInFullAndTheLimitCountsPendingCloses) {
    // The trade menu closes the open position selected in its grid.
    const GridModel& model = open->gridModel();
    open->table().setCurrentIndex(open->table().proxy().mapFromSource(model.index(model.rowOf("300001"), 0)));
    window->findChild<QAction*>(QStringLiteral("actionClosePosition"))->trigger();
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(find<QComboBox>(sheet, "QuantityComboField")->currentText(), "1.5");
    EXPECT_EQ(find<QComboBox>(sheet, "QuantityComboField")->count(), 1);
    EXPECT_EQ(find<QPushButton>(sheet, "CloseAndCancelButton")->text(),
              "Close #300001 (Sell 1.5 EURUSD @ Market Rate)");

    // More than is held is refused on the sheet, which stays open.
    type(find<QComboBox>(sheet, "QuantityComboField"), "5");
    EXPECT_EQ(find<QPushButton>(sheet, "CloseAndCancelButton")->text(),
              "Close #300001 (Sell EURUSD @ Market Rate)"); // lots it refuses are not named
    QTest::mouseClick(find<QPushButton>(sheet, "CloseAndCancelButton"), Qt::LeftButton);
    QMessageBox* refusal = alertOn(sheet);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->informativeText(),
              context->text(texts::kQuantityMoreThanPositionHolds).replace("{0}", "1.5"));
    // Shown once, on the sheet that asked: nothing on the main window.
    EXPECT_FALSE(alertOn(window.get()));
    refusal->accept();
    EXPECT_TRUE(sheet->isVisible());

    // The account may allow a deviation: ticking offers 0, and an emptied field is refused.
    auto* deviation = find<QCheckBox>(sheet, "DeviationCheckBox");
    ASSERT_TRUE(deviation->isVisible());
    QTest::mouseClick(deviation, Qt::LeftButton);
    EXPECT_EQ(find<QLineEdit>(sheet, "DeviationTextField")->text(), "0");
    find<QLineEdit>(sheet, "DeviationTextField")->clear();
    QTest::mouseClick(find<QPushButton>(sheet, "CloseAndCancelButton"), Qt::LeftButton);
    ASSERT_TRUE(alertOn(sheet));
    EXPECT_EQ(alertOn(sheet)->informativeText(), context->text(kDeviationMissingKey));
    alertOn(sheet)->accept();
    ASSERT_TRUE(guitest::clickInto(find<QLineEdit>(sheet, "DeviationTextField")));
    guitest::typeKeys("25");
    EXPECT_EQ(find<QLineEdit>(sheet, "DeviationTextField")->text(), "25");

    type(find<QComboBox>(sheet, "QuantityComboField"), "0.5");
    QTest::mouseClick(find<QPushButton>(sheet, "CloseAndCancelButton"), Qt::LeftButton);
    waitsThenCloses(sheet, find<QPushButton>(sheet, "CloseAndCancelButton"));
    ASSERT_TRUE(waitFor([&] { return serverPosition(300001) && serverPosition(300001)->qty == "1"; }));
    ASSERT_TRUE(
        waitFor([&] { return record(DialogRecord::OpenPosition, "300001")->RemainingQty == dec("1"); }));

    open->runAction(RowAction::ClosePosition, "300001");
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    EXPECT_EQ(find<QComboBox>(sheet, "QuantityComboField")->currentText(), "1");
    // Return in the quantity sends the close, the sheet's default.
    ASSERT_TRUE(guitest::clickInto(find<QComboBox>(sheet, "QuantityComboField")->lineEdit()));
    guitest::pressKey(Qt::Key_Return);
    waitsThenCloses(sheet, find<QPushButton>(sheet, "CloseAndCancelButton"));
    ASSERT_TRUE(waitFor([&] { return !serverPosition(300001); }));
    ASSERT_TRUE(waitFor([&] { return !record(DialogRecord::OpenPosition, "300001"); }));
}

// The close sheet reads what is typed whole or refuses it with its reason, and works no figure from
// lots it refuses or the group's rules refuse (Standard: steps of 0.01).
TEST_F(PositionDialogsTest, CloseRefusesWhatIsNoNumberAndShowsNoFigureTheRulesRefuse) {
    open->runAction(RowAction::ClosePosition, "300001");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    auto* quantity = find<QComboBox>(sheet, "QuantityComboField");
    auto* button = find<QPushButton>(sheet, "CloseAndCancelButton");
    const auto figures = [&] {
        return find<QLineEdit>(sheet, "QuantityDescriptionTextField")->text() +
               find<QLineEdit>(sheet, "EstimatedPLTextField")->text();
    };
    type(quantity, "0,05");
    EXPECT_EQ(quantity->currentText(), "0,05");
    EXPECT_FALSE(button->text().contains("0,05")) << button->text().toStdString();
    EXPECT_EQ(quantity->toolTip(), words(texts::kHoldsAComma, texts::kQuantity));
    EXPECT_TRUE(figures().isEmpty());
    EXPECT_EQ(refusedBy(sheet, button), words(texts::kHoldsAComma, texts::kQuantity));
    // A paste past any number's length stays, marked and refused as too long: it was dropped.
    QApplication::clipboard()->setText(QString(70, QLatin1Char('1')));
    ASSERT_TRUE(guitest::clickInto(quantity->lineEdit()));
    guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
    guitest::pressKey(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(quantity->currentText(), QString(70, QLatin1Char('1')));
    EXPECT_EQ(quantity->toolTip(), words(texts::kLongerThanCharacters, texts::kQuantity, "64"));
    EXPECT_EQ(refusedBy(sheet, button), quantity->toolTip());
    // Lots the close refuses are marked at once with the words its button gives: the group's
    // minimum and step as much as nothing to close or more than it holds.
    for (const char* lots : {"0.005", "0.5000001", "0", "5"}) {
        type(quantity, lots);
        EXPECT_FALSE(quantity->toolTip().isEmpty()) << lots;
        EXPECT_TRUE(figures().isEmpty()) << lots;
        EXPECT_EQ(refusedBy(sheet, button), quantity->toolTip()) << lots;
    }
    EXPECT_EQ(quantity->toolTip(),
              context->text(texts::kQuantityMoreThanPositionHolds).replace("{0}", "1.5"));
    // The button names no lots the rules refuse; lots off the step get no figure and are refused
    // with the step, however far past the sixth decimal.
    type(quantity, "0.5000001");
    EXPECT_FALSE(button->text().contains("0.5000001")) << button->text().toStdString();
    EXPECT_TRUE(figures().isEmpty());
    EXPECT_EQ(refusedBy(sheet, button),
              context->text(texts::kQuantityMustMultipleLots).replace("{0}", "0.01"));
    EXPECT_EQ(serverPosition(300001)->qty, "1.5");
    type(quantity, "0.05");
    EXPECT_TRUE(find<QLineEdit>(sheet, "QuantityDescriptionTextField")->text().startsWith("0.05 x "));
    EXPECT_FALSE(find<QLineEdit>(sheet, "EstimatedPLTextField")->text().isEmpty());
    EXPECT_TRUE(button->text().contains(" 0.05 EURUSD")) << button->text().toStdString();

    // The deviation keeps a comma as typed and says why it is refused.
    QTest::mouseClick(find<QCheckBox>(sheet, "DeviationCheckBox"), Qt::LeftButton);
    auto* deviation = find<QLineEdit>(sheet, "DeviationTextField");
    type(deviation, "1,5");
    EXPECT_EQ(deviation->text(), "1,5");
    EXPECT_EQ(deviation->toolTip(), words(texts::kHoldsAComma92601, texts::kDeviation));
    EXPECT_EQ(refusedBy(sheet, button), words(texts::kHoldsAComma92601, texts::kDeviation));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(serverPosition(300001)->qty, "1.5");
}

TEST_F(PositionDialogsTest, TheTradeMenuActsOnTheSelectedPositionWhichIsTheFocusedOne) {
    auto* close = window->findChild<QAction*>(QStringLiteral("actionClosePosition"));
    auto* modify = window->findChild<QAction*>(QStringLiteral("actionModifyPosition"));
    auto* offset = window->findChild<QAction*>(QStringLiteral("actionOffsetPosition"));
    ASSERT_TRUE(close && modify && offset);
    // Nothing selected: nothing to act on.
    GridTable& table = open->table();
    const auto selected = [&] {
        QStringList ids;
        for (const QModelIndex& row : table.selectionModel()->selectedRows())
            ids << row.data(GridModel::IdRole).toString();
        return ids;
    };
    table.clearSelection();
    // Nothing selected: each item stays on and says so when chosen, opening nothing.
    for (QAction* item : {close, modify, offset}) {
        EXPECT_TRUE(item->isEnabled());
        item->trigger();
        ASSERT_TRUE(alertOn(window.get()));
        EXPECT_EQ(alertOn(window.get())->informativeText(),
                  nothingSelected(item, context->text(texts::kOpenPositionsTab)));
        alertOn(window.get())->accept();
        EXPECT_FALSE(visibleSheet());
    }

    // Ctrl+End: the focus goes to the last row and takes the selection with it.
    const GridModel& model = open->gridModel();
    ASSERT_TRUE(guitest::clickInto(table.viewport(), table.visualRect(table.model()->index(0, 0)).center()));
    guitest::pressKey(Qt::Key_End, Qt::ControlModifier);
    ASSERT_EQ(table.currentIndex().row(), table.model()->rowCount() - 1);
    EXPECT_EQ(selected(), QStringList{table.currentIndex().data(GridModel::IdRole).toString()});
    // A click on 300001 (on its id, not its price).
    const QModelIndex clicked = table.proxy().mapFromSource(model.index(model.rowOf("300001"), 0));
    ASSERT_TRUE(waitFor([&] { return table.visualRect(clicked).isValid(); }));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(clicked).center());
    ASSERT_EQ(selected(), QStringList{"300001"});
    EXPECT_EQ(table.currentIndex().data(GridModel::IdRole).toString(), "300001");
    EXPECT_TRUE(close->isEnabled());
    EXPECT_TRUE(modify->isEnabled());
    EXPECT_TRUE(offset->isEnabled()); // 300901 is its opposite

    close->trigger();
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    EXPECT_EQ(sheet->record(), "300001");
    sheet->reject();
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));

    // 300002 has no opposite position: no offset for it.
    const QModelIndex other = table.proxy().mapFromSource(model.index(model.rowOf("300002"), 0));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(other).center());
    ASSERT_EQ(selected(), QStringList{"300002"});
    EXPECT_TRUE(close->isEnabled());
    EXPECT_FALSE(offset->isEnabled());
    // One row at a time: Ctrl+click selects the row clicked alone; on the selected row it leaves
    // none selected, and no focused row.
    QTest::mouseClick(table.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      table.visualRect(clicked).center());
    EXPECT_EQ(selected(), QStringList{"300001"});
    QTest::mouseClick(table.viewport(), Qt::LeftButton, Qt::ControlModifier,
                      table.visualRect(clicked).center());
    EXPECT_TRUE(selected().isEmpty());
    EXPECT_FALSE(table.currentIndex().isValid());
    EXPECT_TRUE(close->isEnabled());
}

// The trade menu acts on the row selected in the grid in view, never on a selection left in a tab
// out of sight: Pending Orders in view, its modify and close items edit and cancel the order selected
// there (and are titled so), whatever position Open Positions still has selected; with nothing
// selected there, or a tab in view that holds neither, the item says so and opens nothing.
TEST_F(PositionDialogsTest, TheTradeMenuActsOnTheSelectionOfTheGridInView) {
    std::string order;
    ASSERT_NO_FATAL_FAILURE(placeALimitOrder(order));
    auto* close = window->findChild<QAction*>(QStringLiteral("actionClosePosition"));
    auto* modify = window->findChild<QAction*>(QStringLiteral("actionModifyPosition"));
    auto* offset = window->findChild<QAction*>(QStringLiteral("actionOffsetPosition"));
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("mainTabView"));
    ASSERT_TRUE(close && modify && offset && tabs);
    const auto clickRow = [](GridPane* pane, const std::string& id) {
        GridTable& table = pane->table();
        const QModelIndex at =
            table.proxy().mapFromSource(pane->gridModel().index(pane->gridModel().rowOf(id), 0));
        ASSERT_TRUE(waitFor([&] { return table.visualRect(at).isValid(); }));
        ASSERT_TRUE(guitest::clickInto(table.viewport(), table.visualRect(at).center()));
        ASSERT_EQ(pane->selectedId(), id);
    };
    const auto saysNothingIsSelected = [&](QAction* item, const QString& text) {
        item->trigger();
        QMessageBox* alert = alertOn(window.get());
        ASSERT_TRUE(alert) << item->objectName().toStdString();
        EXPECT_EQ(alert->informativeText(), text);
        alert->accept();
        EXPECT_FALSE(visibleSheet()) << item->objectName().toStdString();
    };
    ASSERT_NO_FATAL_FAILURE(clickRow(open, "300001"));

    // Pending Orders brought forward from the keyboard, nothing selected in it.
    guitest::pressKey(Qt::Key_2, Qt::ControlModifier);
    ASSERT_TRUE(tabs->currentWidget()->isAncestorOf(pending));
    pending->table().clearSelection();
    const QString pendingTab = tabs->tabText(tabs->currentIndex());
    EXPECT_EQ(modify->text(), context->text(texts::kMenuModifyOrder));
    EXPECT_EQ(close->text(), context->text(texts::kMenuCancelOrder));
    EXPECT_TRUE(modify->isEnabled());
    ASSERT_NO_FATAL_FAILURE(saysNothingIsSelected(modify, nothingSelected(modify, pendingTab)));
    ASSERT_NO_FATAL_FAILURE(saysNothingIsSelected(close, nothingSelected(close, pendingTab)));
    // An offset acts on positions only.
    ASSERT_NO_FATAL_FAILURE(
        saysNothingIsSelected(offset, actsOn(texts::kMenuCommandActsOnPosition, offset, pendingTab)));

    // The order selected: modify edits it, close cancels it.
    ASSERT_NO_FATAL_FAILURE(clickRow(pending, order));
    EXPECT_TRUE(modify->isEnabled() && close->isEnabled());
    modify->trigger();
    auto* edit = qobject_cast<ModifyPositionWindowController*>(visibleSheet());
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->record(), order);
    edit->reject();
    ASSERT_TRUE(waitFor([&] { return !visibleSheet(); }));
    close->trigger();
    auto* cancel = qobject_cast<CloseAndCancelPositionWindowController*>(visibleSheet());
    ASSERT_TRUE(cancel);
    EXPECT_EQ(cancel->record(), order);
    EXPECT_EQ(cancel->job(), CloseJob::Cancel);
    cancel->reject();
    ASSERT_TRUE(waitFor([&] { return !visibleSheet(); }));

    // Settled Positions in view: neither a position nor an order to act on there.
    ASSERT_TRUE(guitest::clickInto(pending->table().viewport()));
    guitest::pressKey(Qt::Key_3, Qt::ControlModifier);
    const QString settledTab = tabs->tabText(tabs->currentIndex());
    ASSERT_NE(settledTab, pendingTab);
    EXPECT_EQ(modify->text(), context->text(texts::kMenuModifyPosition));
    ASSERT_NO_FATAL_FAILURE(
        saysNothingIsSelected(modify, actsOn(texts::kMenuCommandActsOnPositionOrOrder, modify, settledTab)));

    // Open Positions in view again: the position still selected there.
    guitest::pressKey(Qt::Key_1, Qt::ControlModifier);
    modify->trigger();
    auto* brackets = qobject_cast<ModifyPositionWindowController*>(visibleSheet());
    ASSERT_TRUE(brackets);
    EXPECT_EQ(brackets->record(), "300001");
    brackets->reject();
}

// Escape cancels a sheet at once while nothing typed in it would be lost; once something is, it
// asks first, and a second Escape is "Keep Editing": the sheet stays as typed. Only Discard drops it.
TEST_F(PositionDialogsTest, EscapeAsksBeforeASheetDropsWhatWasTyped) {
    const auto openSheet = [&] {
        open->runAction(RowAction::ClosePosition, "300001");
        auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
        EXPECT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
        return sheet;
    };
    auto* sheet = openSheet();
    ASSERT_TRUE(sheet);
    auto* quantity = find<QComboBox>(sheet, "QuantityComboField");
    ASSERT_TRUE(guitest::focusIn(sheet));
    guitest::pressKey(Qt::Key_Escape);
    EXPECT_FALSE(alertOn(sheet));
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); })) << "the filled quantity is not the trader's";

    ASSERT_EQ(openSheet(), sheet);
    guitest::typeOver(quantity->lineEdit(), "0.5");
    EXPECT_TRUE(guitest::secondEscapeKeeps(sheet, context->text(texts::kKeepEditing)));
    EXPECT_EQ(quantity->currentText(), "0.5");
    EXPECT_TRUE(guitest::escapeAndDiscard(quantity->lineEdit(), context->text(texts::kDiscard)));
    EXPECT_EQ(serverPosition(300001)->qty, "1.5");
}

TEST_F(PositionDialogsTest, AClosedPositionIsAnnouncedWithTheSettlementBannerAndItsSound) {
    QSignalSpy sounds(&context->sounds(), &SoundNotification::soundRequested);
    open->runAction(RowAction::ClosePosition, "300002");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    QTest::mouseClick(find<QPushButton>(sheet, "CloseAndCancelButton"), Qt::LeftButton);
    waitsThenCloses(sheet, find<QPushButton>(sheet, "CloseAndCancelButton"));

    std::shared_ptr<const tc::Order> settled;
    ASSERT_TRUE(waitFor([&] {
        for (const auto& s : session->client().queries().getSettledOrderCollection())
            if (s->OpenPositionId == "300002")
                settled = s;
        return settled != nullptr;
    }));
    // The price as the server writes it: with the instrument's digits.
    const tc::ItemDetails* item = instrumentOf(session->client().model(), settled->ItemCode);
    ASSERT_NE(item, nullptr);
    const std::string expected =
        "#" + settled->SettlementId + "\n" + context->text(texts::kSettled).toStdString() + " " +
        settled->ItemCode + " @" + tc::decimalText(settled->SettledPrice, item->DisplayDecimalPlaces()) + " ";
    InAppNotificationBannerController* shown = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (auto* banner : context->banners().banners())
            if (banner->notification().informativeText == expected)
                shown = banner;
        return shown != nullptr;
    })) << expected;
    EXPECT_EQ(shown->notification().subtitle, context->text(kValidationTitleKey).toStdString());
    // On screen, not only made.
    EXPECT_TRUE(waitFor([&] { return shown->phase() == InAppNotificationBannerController::Phase::Shown; }));
    EXPECT_TRUE(shown->isVisible());
    ASSERT_TRUE(settled->SettledPrice.has_value());
    EXPECT_FALSE(settled->SettledPrice->isZero());
    EXPECT_TRUE(
        sounds.contains(QVariantList{QString::fromUtf8(interfaces::kInAppNotificationDefaultSound.data(),
                                                       interfaces::kInAppNotificationDefaultSound.size())}));
}

TEST_F(PositionDialogsTest, ASheetWhoseRecordGoesClosesWithAMessageAndOthersAnswersLeaveItOpen) {
    open->runAction(RowAction::ClosePosition, "300002");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    // Another request answered (sent) elsewhere does not touch this sheet.
    ASSERT_TRUE(
        session->client().orders().closePosition("300902", *interfaces::Decimal::fromString("1")).sent());
    ASSERT_TRUE(waitFor([&] { return serverPosition(300902) && serverPosition(300902)->qty == "59"; }));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(alertOn(sheet));

    // The position goes: the sheet closes and says so on the main window.
    bool gone = false;
    QObject::connect(sheet, &RecordSheet::recordGone, [&] { gone = true; });
    ASSERT_TRUE(
        session->client().orders().closePosition("300002", *interfaces::Decimal::fromString("0.2")).sent());
    ASSERT_TRUE(waitFor([&] { return gone; }));
    EXPECT_FALSE(sheet->isVisible());
    QMessageBox* told = CommonAlert::showing(window.get(), QStringLiteral("dialogRecordGone"));
    ASSERT_TRUE(told);
    EXPECT_TRUE(told->text().contains("300002"));
}

// A request the server does not answer leaves its sheet open: waiting, one send only, saying so
// while the server is silent, then that it had no answer when the line goes; an answer that comes
// after a silence still counts.
TEST_F(PositionDialogsTest, ASheetWhoseRequestHasNoAnswerStaysOpenAndSaysSo) {
    open->runAction(RowAction::ClosePosition, "300001");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    auto* quantity = find<QComboBox>(sheet, "QuantityComboField");
    auto* close = find<QPushButton>(sheet, "CloseAndCancelButton");
    type(quantity, "0.5");
    // A rejection shows its reason on the sheet, which stays, ready to send again.
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    QTest::mouseClick(close, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return alertOn(sheet) != nullptr; }));
    EXPECT_FALSE(alertOn(sheet)->informativeText().isEmpty());
    alertOn(sheet)->accept();
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(close->isEnabled());
    EXPECT_FALSE(sheet->answerLine()->isVisible());
    ASSERT_TRUE(server->setMarketOpen("EURUSD", true));

    server->pauseStream(true);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_TRUE(sheet->isWaitingForAnswer());
    EXPECT_FALSE(close->isEnabled());
    EXPECT_EQ(sheet->answerLine()->text(), context->text(texts::kSheetWaitingForAnswer));
    // Return sends nothing more while the answer is awaited.
    ASSERT_TRUE(guitest::clickInto(quantity->lineEdit()));
    guitest::pressKey(Qt::Key_Return);
    EXPECT_TRUE(sheet->isVisible());
    // The server falls silent: the request still waits, and the sheet says the server is not
    // answering.
    ASSERT_TRUE(
        waitFor([&] { return sheet->answerLine()->text() == context->text(texts::kSheetServerNotAnswering); },
                30000));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(sheet->isWaitingForAnswer());
    EXPECT_FALSE(close->isEnabled());
    // Its answer comes after the silence: it is taken, and only the one close went.
    server->pauseStream(false);
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    ASSERT_TRUE(waitFor([&] { return serverPosition(300001)->qty == "1"; }));
    EXPECT_FALSE(alertOn(sheet));

    // The server stops, then the line goes before any answer: the sheet stays and says so. (Its take
    // profit unticked: an edit that changes nothing is not sent.)
    open->runAction(RowAction::ModifyBrackets, "300001");
    auto* modify = window->findChild<ModifyPositionWindowController*>();
    ASSERT_TRUE(modify && waitFor([&] { return modify->isVisible(); }));
    server->pauseStream(true);
    QTest::mouseClick(find<QCheckBox>(modify, "takeProfitCheckBox"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>(modify, "ModifyButton"), Qt::LeftButton);
    ASSERT_TRUE(modify->isWaitingForAnswer());
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return !modify->isWaitingForAnswer(); }));
    EXPECT_TRUE(modify->isVisible());
    EXPECT_EQ(modify->answerLine()->text(), context->text(texts::kSheetRequestNoAnswer));
    // No session to send on, the figures the lost one's: the send button waits for the next sign-in.
    EXPECT_FALSE(find<QPushButton>(modify, "ModifyButton")->isEnabled());
    // All of it shows, wrapped at the sheet's width.
    QLabel* line = modify->answerLine();
    EXPECT_GE(line->height(), line->heightForWidth(line->width()));
    server->pauseStream(false);
}

// Each sheet's request into a server that stands still past the status bar's "not answering".
TEST_F(PositionDialogsTest, ACloseIntoASilenceStillWaitsAndSaysTheServerIsNotAnswering) {
    open->runAction(RowAction::ClosePosition, "300001");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    type(find<QComboBox>(sheet, "QuantityComboField"), "0.5");
    waitsThroughASilence(sheet, find<QPushButton>(sheet, "CloseAndCancelButton"));
    EXPECT_TRUE(waitFor([&] { return serverPosition(300001)->qty == "1"; }));
}

TEST_F(PositionDialogsTest, AnEditIntoASilenceStillWaitsAndSaysTheServerIsNotAnswering) {
    open->runAction(RowAction::ModifyBrackets, "300001");
    auto* sheet = window->findChild<ModifyPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    QTest::mouseClick(find<QCheckBox>(sheet, "takeProfitCheckBox"), Qt::LeftButton);
    waitsThroughASilence(sheet, find<QPushButton>(sheet, "ModifyButton"));
    EXPECT_TRUE(
        waitFor([&] { return !record(DialogRecord::OpenPosition, "300001")->LimitPrice.has_value(); }));
}

TEST_F(PositionDialogsTest, ACancelIntoASilenceStillWaitsAndSaysTheServerIsNotAnswering) {
    std::string id;
    CloseAndCancelPositionWindowController* sheet = nullptr;
    ASSERT_NO_FATAL_FAILURE(openCancelOfANewLimitOrder(id, sheet));
    waitsThroughASilence(sheet, find<QPushButton>(sheet, "CloseAndCancelButton"));
    EXPECT_TRUE(waitFor([&] { return !record(DialogRecord::PendingOrder, id); }));
}

TEST_F(PositionDialogsTest, AnOffsetIntoASilenceStillWaitsAndSaysTheServerIsNotAnswering) {
    OffsetSheet opened;
    ASSERT_NO_FATAL_FAILURE(openOffsetTicked(opened));
    type(opened.quantity, "1");
    waitsThroughASilence(opened.sheet, opened.send);
    EXPECT_TRUE(waitFor([&] { return !serverPosition(300901) && serverPosition(300001)->qty == "0.5"; }));
}

// A close sent before the line went is told from the new session's lists once the trader signs in
// again: carried out in part, the sheet shows what is left and sends nothing until the trader asks
// anew; not carried out, it may be sent again as typed; carried out whole, the sheet closes saying so.
TEST_F(PositionDialogsTest, ACloseWithoutAnAnswerIsToldFromTheListsOfTheNextSignIn) {
    CloseAndCancelPositionWindowController* sheet = nullptr;
    QComboBox* quantity = nullptr;
    QPushButton* close = nullptr;
    ASSERT_NO_FATAL_FAILURE(closeInPartBeforeTheLineWent(sheet, quantity, close));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(quantity->currentText(), QStringLiteral("1.3"));
    EXPECT_FALSE(close->isEnabled());
    // Nothing goes on the figures left: the press is no request the trader made.
    const int requestsBefore = server->stats().orderRequests;
    QTest::mouseClick(close, Qt::LeftButton);
    ASSERT_TRUE(guitest::clickInto(quantity->lineEdit()));
    EXPECT_EQ(server->stats().orderRequests, requestsBefore);
    EXPECT_EQ(serverPosition(300001)->qty, "1.3");
    // A quantity of the trader's own is a new request.
    type(quantity, "0.3");
    EXPECT_TRUE(close->isEnabled());
    QTest::mouseClick(close, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    ASSERT_TRUE(waitFor([&] { return serverPosition(300001)->qty == "1"; }));

    // Lost unread with the line: as it was, the typed quantity stays and may be sent again.
    open->runAction(RowAction::ClosePosition, "300001");
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    type(quantity, "0.2");
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(sheet, close, false));
    ASSERT_NO_FATAL_FAILURE(signInAgainUntil(sheet, texts::kSheetRequestNotCarriedOut));
    EXPECT_EQ(serverPosition(300001)->qty, "1");
    EXPECT_EQ(quantity->currentText(), QStringLiteral("0.2"));
    EXPECT_TRUE(close->isEnabled());
    QTest::mouseClick(close, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    ASSERT_TRUE(waitFor([&] { return serverPosition(300001)->qty == "0.8"; }));

    // The whole position closed: the sheet closes and says the request was carried out.
    open->runAction(RowAction::ClosePosition, "300001");
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    ASSERT_EQ(quantity->currentText(), QStringLiteral("0.8"));
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(sheet, close, true));
    ASSERT_TRUE(waitFor([&] { return !serverPosition(300001); }));
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    QMessageBox* told = CommonAlert::showing(window.get(), QStringLiteral("dialogRecordGone"));
    ASSERT_TRUE(told);
    EXPECT_EQ(told->text(), context->text(texts::kSheetRequestCarriedOutGone).replace("{0}", "300001"));
}

// Changed by more than the close sent (another close went too), the sheet cannot say its close was
// carried out: it says the record changed, shows what is left and waits for the trader's new request.
TEST_F(PositionDialogsTest, ACloseWithoutAnAnswerBesideAnotherChangeSaysTheRecordChanged) {
    open->runAction(RowAction::ClosePosition, "300001");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    auto* quantity = find<QComboBox>(sheet, "QuantityComboField");
    auto* close = find<QPushButton>(sheet, "CloseAndCancelButton");
    type(quantity, "0.2");
    server->holdOrders(true);
    QTest::mouseClick(close, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 1; }));
    ASSERT_TRUE(
        session->client().orders().closePosition("300001", *interfaces::Decimal::fromString("0.1")).sent());
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 2; }));
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return !sheet->isWaitingForAnswer(); }));
    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    server->holdOrders(false);
    ASSERT_TRUE(waitFor([&] { return serverPosition(300001)->qty == "1.2"; }));
    ASSERT_NO_FATAL_FAILURE(signInAgainUntil(sheet, texts::kSheetRequestChangedSinceSent));
    EXPECT_EQ(quantity->currentText(), QStringLiteral("1.2"));
    EXPECT_FALSE(close->isEnabled());
    type(quantity, "0.2");
    EXPECT_TRUE(close->isEnabled());
}

// A cancel without an answer, told the same way: lost unread, the order stands and the cancel may be
// sent again; carried out, the sheet closes saying so.
TEST_F(PositionDialogsTest, ACancelWithoutAnAnswerIsToldFromTheListsOfTheNextSignIn) {
    std::string id;
    CloseAndCancelPositionWindowController* sheet = nullptr;
    ASSERT_NO_FATAL_FAILURE(openCancelOfANewLimitOrder(id, sheet));
    auto* cancel = find<QPushButton>(sheet, "CloseAndCancelButton");
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(sheet, cancel, false));
    ASSERT_NO_FATAL_FAILURE(signInAgainUntil(sheet, texts::kSheetRequestNotCarriedOut));
    EXPECT_TRUE(record(DialogRecord::PendingOrder, id));
    EXPECT_TRUE(cancel->isEnabled());

    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(sheet, cancel, true));
    ASSERT_TRUE(waitFor([&] {
        return server->book().with([&](const testserver::Books& b) {
            return std::none_of(b.pendingOrders.begin(), b.pendingOrders.end(),
                                [&](const auto& o) { return std::to_string(o.pendingOrderId) == id; });
        });
    }));
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    QMessageBox* told = CommonAlert::showing(window.get(), QStringLiteral("dialogRecordGone"));
    ASSERT_TRUE(told);
    EXPECT_EQ(told->text(), context->text(texts::kSheetRequestCarriedOutGone).replace("{0}", qt(id)));
}

// The offset sheet after a sign-in again reads its position and rows as the server holds them: an
// offset carried out leaves the figures of what is left and nothing ticked, its button off until the
// trader ticks; one lost with the line keeps the tick and quantity typed, to be sent again.
TEST_F(PositionDialogsTest, AnOffsetWithoutAnAnswerIsToldFromTheListsOfTheNextSignIn) {
    OffsetSheet opened;
    ASSERT_NO_FATAL_FAILURE(openOffsetTicked(opened));
    auto* held = find<QLineEdit>(opened.sheet, "QuantityTextField");
    type(opened.quantity, "0.5");
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(opened.sheet, opened.send, true));
    ASSERT_TRUE(
        waitFor([&] { return serverPosition(300001)->qty == "1" && serverPosition(300901)->qty == "0.5"; }));
    ASSERT_NO_FATAL_FAILURE(signInAgainUntil(opened.sheet, texts::kSheetRequestCarriedOut));
    QAbstractItemModel* lines = opened.table->model();
    EXPECT_EQ(held->text(), qt(quantityText(dec("1"))));
    ASSERT_EQ(lines->rowCount(), 1);
    EXPECT_EQ(cellText(lines, 0, 6), qt(quantityText(dec("0.5"))));
    EXPECT_TRUE(opened.sheet->state().ticked().empty());
    EXPECT_FALSE(opened.send->isEnabled());
    // Another lost line and sign-in, nothing sent since: the sheet fills itself afresh, and its figures are
    // still none the trader asked for.
    ASSERT_NO_FATAL_FAILURE(loseTheLineAndSignInAgain(opened.send));
    EXPECT_TRUE(opened.sheet->isVisible());
    EXPECT_FALSE(opened.send->isEnabled());
    // Ticking is the trader's new request.
    lines->setData(lines->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(opened.send->isEnabled());
    opened.quantity = qobject_cast<QComboBox*>(opened.table->indexWidget(lines->index(0, 8)));
    ASSERT_TRUE(opened.quantity && opened.quantity->isEnabled());

    // Lost unread: the tick and the typed quantity stay, to be sent again.
    type(opened.quantity, "0.2");
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(opened.sheet, opened.send, false));
    ASSERT_NO_FATAL_FAILURE(signInAgainUntil(opened.sheet, texts::kSheetRequestNotCarriedOut));
    EXPECT_EQ(serverPosition(300001)->qty, "1");
    EXPECT_EQ(opened.sheet->state().ticked(), std::vector<std::string>{"300901"});
    opened.quantity = qobject_cast<QComboBox*>(opened.table->indexWidget(lines->index(0, 8)));
    ASSERT_TRUE(opened.quantity);
    EXPECT_EQ(opened.quantity->currentText(), QStringLiteral("0.2"));
    EXPECT_TRUE(opened.send->isEnabled());
    QTest::mouseClick(opened.send, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !opened.sheet->isVisible(); }));
    EXPECT_TRUE(waitFor([&] { return serverPosition(300001)->qty == "0.8"; }));
}

// An edit sent before the line went is told from the new session's lists: the record holding what
// was sent, it was carried out, the sheet shows it and sends nothing until the trader changes a field;
// as it was, it was not carried out and may be sent again as typed.
TEST_F(PositionDialogsTest, AnEditWithoutAnAnswerIsToldFromTheListsOfTheNextSignIn) {
    ASSERT_TRUE(
        waitFor([&] { return record(DialogRecord::OpenPosition, "300001")->LimitPrice.has_value(); }));
    open->runAction(RowAction::ModifyBrackets, "300001");
    auto* sheet = window->findChild<ModifyPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    auto* takeProfit = find<QLineEdit>(sheet, "TakeProfitTextField");
    auto* raise = find<QToolButton>(sheet, "takeProfitStepperUp");
    auto* send = find<QPushButton>(sheet, "ModifyButton");
    ASSERT_TRUE(find<QCheckBox>(sheet, "takeProfitCheckBox")->isChecked());
    QTest::mouseClick(raise, Qt::LeftButton);
    const QString raised = takeProfit->text();
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(sheet, send, true));
    ASSERT_TRUE(waitFor([&] { return serverTakeProfit(300001) == dec(raised.toStdString()); }));
    ASSERT_NO_FATAL_FAILURE(signInAgainUntil(sheet, texts::kSheetRequestCarriedOut));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(takeProfit->text(), raised);
    EXPECT_FALSE(send->isEnabled());
    const int requestsBefore = server->stats().orderRequests;
    QTest::mouseClick(send, Qt::LeftButton);
    EXPECT_EQ(server->stats().orderRequests, requestsBefore);
    // A step of the trader's is a new request.
    QTest::mouseClick(raise, Qt::LeftButton);
    EXPECT_TRUE(send->isEnabled());
    const QString again = takeProfit->text();
    ASSERT_NE(again, raised);

    // Lost unread: as it was, the price typed stays and may be sent again.
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(sheet, send, false));
    ASSERT_NO_FATAL_FAILURE(signInAgainUntil(sheet, texts::kSheetRequestNotCarriedOut));
    EXPECT_EQ(serverTakeProfit(300001), dec(raised.toStdString()));
    EXPECT_EQ(takeProfit->text(), again);
    EXPECT_TRUE(send->isEnabled());
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    EXPECT_TRUE(waitFor([&] { return serverTakeProfit(300001) == dec(again.toStdString()); }));
}

// A pending order's edit beside another change: changed otherwise, the sheet shows the order as the
// server holds it and waits for the trader; the order gone (cancelled beside the edit), the sheet
// closes saying so, and that whether the edit went first cannot be told.
TEST_F(PositionDialogsTest, AnEditWithoutAnAnswerBesideAnotherChangeOrACancelSaysSo) {
    std::string id;
    ASSERT_NO_FATAL_FAILURE(placeALimitOrder(id));
    pending->runAction(RowAction::EditOrder, id);
    auto* sheet = window->findChild<ModifyPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    auto* price = find<QLineEdit>(sheet, "OrderPriceTextField");
    auto* send = find<QPushButton>(sheet, "ModifyButton");
    const auto sendBeside = [&](const std::function<bool()>& other) {
        server->holdOrders(true);
        QTest::mouseClick(send, Qt::LeftButton);
        ASSERT_FALSE(alertOn(sheet)) << alertOn(sheet)->informativeText().toStdString();
        ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 1; }));
        ASSERT_TRUE(other());
        ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 2; }));
        server->dropStreams();
        ASSERT_TRUE(waitFor([&] { return !sheet->isWaitingForAnswer(); }));
        ASSERT_TRUE(server->answerHeldOrders({0, 1}));
        server->holdOrders(false);
    };
    type(price, "1.04000");
    ASSERT_NO_FATAL_FAILURE(sendBeside([&] {
        return session->client()
            .orders()
            .editPendingOrder(id, dec("1"), dec("1.03"), std::nullopt, std::nullopt)
            .sent();
    }));
    ASSERT_TRUE(waitFor([&] { return serverOrder(id) && dec(serverOrder(id)->orderPrice) == dec("1.03"); }));
    ASSERT_NO_FATAL_FAILURE(signInAgainUntil(sheet, texts::kSheetRequestChangedSinceSent));
    EXPECT_EQ(dec(price->text().toStdString()), dec("1.03"));
    EXPECT_FALSE(send->isEnabled());
    type(price, "1.04000");
    EXPECT_TRUE(send->isEnabled());

    ASSERT_NO_FATAL_FAILURE(
        sendBeside([&] { return session->client().orders().cancelPendingOrder(id).sent(); }));
    ASSERT_TRUE(waitFor([&] { return !serverOrder(id); }));
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    QMessageBox* told = CommonAlert::showing(window.get(), QStringLiteral("dialogRecordGone"));
    ASSERT_TRUE(told);
    EXPECT_EQ(told->text().toStdString(),
              context->text(texts::kSheetEditRecordGone).replace("{0}", qt(id)).toStdString());
}

// An edit that changes nothing is refused on the sheet and not sent. A request sent waits at most the
// sheet's time limit: then the sheet says so and lets the trader act, and the answer that comes later
// is told as late, in a banner, and taken for no other request.
TEST_F(PositionDialogsTest, AnUnchangedEditIsNotSentAndASheetWaitsNoLongerThanItsTimeLimit) {
    ASSERT_TRUE(
        waitFor([&] { return record(DialogRecord::OpenPosition, "300001")->LimitPrice.has_value(); }));
    open->runAction(RowAction::ModifyBrackets, "300001");
    auto* modify = window->findChild<ModifyPositionWindowController*>();
    ASSERT_TRUE(modify && waitFor([&] { return modify->isVisible(); }));
    auto* send = find<QPushButton>(modify, "ModifyButton");
    const int requestsBefore = server->stats().orderRequests;
    EXPECT_EQ(refusedBy(modify, send), context->text(texts::kNothingToChange));
    EXPECT_TRUE(modify->isVisible());
    EXPECT_FALSE(modify->isWaitingForAnswer());
    EXPECT_TRUE(send->isEnabled());

    modify->setAnswerTimeLimit(std::chrono::milliseconds(300));
    server->pauseStream(true);
    QTest::mouseClick(find<QCheckBox>(modify, "takeProfitCheckBox"), Qt::LeftButton);
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_TRUE(modify->isWaitingForAnswer());
    ASSERT_TRUE(
        waitFor([&] { return modify->answerLine()->text() == context->text(texts::kSheetRequestTimedOut); }));
    EXPECT_FALSE(modify->isWaitingForAnswer());
    EXPECT_TRUE(send->isEnabled());
    EXPECT_TRUE(modify->isVisible());

    server->pauseStream(false);
    InAppNotificationBannerController* late = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (auto* banner : context->banners().banners())
            if (banner->notification().subtitle == context->text(texts::kLateAnswerTitle).toStdString())
                late = banner;
        return late != nullptr;
    }));
    EXPECT_NE(late->notification().informativeText.find("300001"), std::string::npos);
    // The sheet stays, with what the trader typed; its record reads as the server left it.
    EXPECT_TRUE(modify->isVisible());
    EXPECT_FALSE(modify->answerLine()->isVisible());
    EXPECT_FALSE(record(DialogRecord::OpenPosition, "300001")->LimitPrice.has_value());
    EXPECT_FALSE(find<QCheckBox>(modify, "takeProfitCheckBox")->isChecked());
    EXPECT_EQ(server->stats().orderRequests, requestsBefore + 1);
    // The next edit is answered as its own: done closes the sheet, a rejection (the default take
    // profit may lie on the wrong side of a moving market) shows on it.
    modify->setAnswerTimeLimit(RecordSheet::kAnswerTimeLimit);
    QTest::mouseClick(find<QCheckBox>(modify, "takeProfitCheckBox"), Qt::LeftButton);
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !modify->isVisible() || alertOn(modify); }));
    EXPECT_FALSE(modify->isWaitingForAnswer());
}

// A take profit or stop loss past its bound is marked at once with the reason Modify gives, as the
// quantity is; a price within it is not.
TEST_F(PositionDialogsTest, ModifyMarksABracketPastItsBoundWithTheButtonsReason) {
    open->runAction(RowAction::ModifyBrackets, "300001");
    auto* modify = window->findChild<ModifyPositionWindowController*>();
    ASSERT_TRUE(modify && waitFor([&] { return modify->isVisible(); }));
    auto* takeProfitBox = find<QCheckBox>(modify, "takeProfitCheckBox");
    auto* stopLossBox = find<QCheckBox>(modify, "stopLossCheckBox");
    auto* takeProfit = find<QLineEdit>(modify, "TakeProfitTextField");
    auto* stopLoss = find<QLineEdit>(modify, "StopLossTextField");
    auto* button = find<QPushButton>(modify, "ModifyButton");
    modify->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(modify));
    for (QCheckBox* box : {takeProfitBox, stopLossBox})
        if (!box->isChecked())
            QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(takeProfitBox->isChecked() && stopLossBox->isChecked());
    // The defaults keep their bounds: nothing is marked.
    EXPECT_TRUE(takeProfit->toolTip().isEmpty());
    EXPECT_TRUE(stopLoss->toolTip().isEmpty());
    const auto typeOver = [](QLineEdit* field, const QString& text) { guitest::typeOver(field, text); };
    // A buy's take profit below its price, then its stop loss above: each marked with Modify's reason.
    const QString takeProfitWas = takeProfit->text();
    typeOver(takeProfit, "0.50000");
    const QString takeProfitMark = takeProfit->toolTip();
    EXPECT_FALSE(takeProfitMark.isEmpty());
    EXPECT_EQ(refusedBy(modify, button), takeProfitMark);
    EXPECT_FALSE(modify->isWaitingForAnswer());
    typeOver(takeProfit, takeProfitWas);
    EXPECT_TRUE(takeProfit->toolTip().isEmpty());
    typeOver(stopLoss, "5.00000");
    const QString stopLossMark = stopLoss->toolTip();
    EXPECT_FALSE(stopLossMark.isEmpty());
    EXPECT_NE(stopLossMark, takeProfitMark);
    EXPECT_EQ(refusedBy(modify, button), stopLossMark);
}

TEST_F(PositionDialogsTest, ModifyBracketsThenEditAndCancelAPendingOrder) {
    // The demo's take profit of 300001 comes with the pending orders, after the login.
    ASSERT_TRUE(waitFor(
        [&] { return !record(DialogRecord::OpenPosition, "300001")->LimitPrice.has_value() == false; }));
    open->runAction(RowAction::ModifyBrackets, "300001");
    auto* modify = window->findChild<ModifyPositionWindowController*>();
    ASSERT_TRUE(modify && waitFor([&] { return modify->isVisible(); }));
    EXPECT_FALSE(find<QComboBox>(modify, "QuantityComboField")->isEnabled());
    EXPECT_TRUE(find<QLineEdit>(modify, "OrderPriceTextField")->isReadOnly());
    ASSERT_TRUE(find<QCheckBox>(modify, "takeProfitCheckBox")->isVisible());
    // The demo's position holds a take profit: unticking empties it, ticking again offers the default.
    ASSERT_TRUE(find<QCheckBox>(modify, "takeProfitCheckBox")->isChecked());
    EXPECT_FALSE(find<QLineEdit>(modify, "TakeProfitTextField")->text().isEmpty());
    QTest::mouseClick(find<QCheckBox>(modify, "takeProfitCheckBox"), Qt::LeftButton);
    EXPECT_TRUE(find<QLineEdit>(modify, "TakeProfitTextField")->text().isEmpty());
    EXPECT_FALSE(find<QLineEdit>(modify, "TakeProfitTextField")->isEnabled());
    QTest::mouseClick(find<QCheckBox>(modify, "takeProfitCheckBox"), Qt::LeftButton);
    ASSERT_TRUE(find<QCheckBox>(modify, "takeProfitCheckBox")->isChecked());
    const QString takeProfit = find<QLineEdit>(modify, "TakeProfitTextField")->text();
    EXPECT_FALSE(takeProfit.isEmpty());
    QTest::mouseClick(find<QToolButton>(modify, "takeProfitStepperUp"), Qt::LeftButton);
    const QString raised = find<QLineEdit>(modify, "TakeProfitTextField")->text();
    EXPECT_NEAR(tc::platform::lenientReal(raised.toStdString()) -
                    tc::platform::lenientReal(takeProfit.toStdString()),
                0.00001, 1e-9);
    QTest::mouseClick(find<QPushButton>(modify, "ModifyButton"), Qt::LeftButton);
    EXPECT_FALSE(alertOn(modify)) << alertOn(modify)->informativeText().toStdString();
    waitsThenCloses(modify, find<QPushButton>(modify, "ModifyButton"));
    ASSERT_TRUE(waitFor([&] {
        const auto p = record(DialogRecord::OpenPosition, "300001");
        return p && p->LimitPrice == dec(raised.toStdString());
    }));

    // A limit order below the market, edited to another price, then cancelled.
    const auto before = session->client().queries().getPendingOrderCollection().size();
    interfaces::OrderTicket ticket;
    ticket.instrument = "EURUSD";
    ticket.account = 20001;
    ticket.kind = interfaces::OrderKind::Limit;
    ticket.quantity = *interfaces::Decimal::fromString("1");
    ticket.price = *interfaces::Decimal::fromString("1.05000");
    ASSERT_TRUE(session->client().orders().placeOrder(ticket).sent());
    std::string id;
    ASSERT_TRUE(waitFor([&] {
        const auto orders = session->client().queries().getPendingOrderCollection();
        for (const auto& o : orders)
            if (o->orderType == 2 && o->OrderPrice == dec("1.05") && !o->PendingOrderId.empty() &&
                pending->gridModel().rowOf(o->PendingOrderId) >= 0)
                id = o->PendingOrderId;
        return orders.size() > before && !id.empty();
    }));
    pending->runAction(RowAction::EditOrder, id);
    ASSERT_TRUE(waitFor([&] { return modify->isVisible(); }));
    EXPECT_EQ(modify->mode(), ModifyMode::PendingOrder);
    EXPECT_FALSE(find<QLineEdit>(modify, "OrderPriceTextField")->isReadOnly());
    // The order type follows a language change while the sheet is open.
    EXPECT_EQ(find<QLineEdit>(modify, "orderTypeTextField")->text(), "Limit");
    ASSERT_TRUE(context->language().select(7)); // French
    EXPECT_EQ(find<QLineEdit>(modify, "orderTypeTextField")->text(), "Limite");
    ASSERT_TRUE(context->language().select(0));
    EXPECT_EQ(find<QLineEdit>(modify, "orderTypeTextField")->text(), "Limit");
    // An empty quantity is refused here; the sheet stays.
    find<QComboBox>(modify, "QuantityComboField")->lineEdit()->clear();
    QTest::mouseClick(find<QPushButton>(modify, "ModifyButton"), Qt::LeftButton);
    ASSERT_TRUE(alertOn(modify));
    alertOn(modify)->accept();
    EXPECT_TRUE(modify->isVisible());
    // Lots the group's rules refuse get no units line, and are marked at once with the words the
    // button gives.
    auto* lots = find<QComboBox>(modify, "QuantityComboField");
    for (const char* typed : {"0.005", "1.0000001", "0", "99999999999"}) {
        type(lots, typed);
        EXPECT_TRUE(find<QLineEdit>(modify, "QuantityDescriptionTextField")->text().isEmpty()) << typed;
        EXPECT_FALSE(lots->toolTip().isEmpty()) << typed;
        EXPECT_EQ(refusedBy(modify, find<QPushButton>(modify, "ModifyButton")), lots->toolTip()) << typed;
    }
    EXPECT_EQ(lots->toolTip(), context->text(texts::kQuantityAboveMaximumLots).replace("{0}", "50"));
    type(lots, "2");
    EXPECT_TRUE(find<QLineEdit>(modify, "QuantityDescriptionTextField")->text().startsWith("2 x "));
    EXPECT_TRUE(lots->toolTip().isEmpty());
    // A price that is no price is marked and refused with its reason.
    type(find<QLineEdit>(modify, "OrderPriceTextField"), "1,04");
    EXPECT_EQ(find<QLineEdit>(modify, "OrderPriceTextField")->toolTip(),
              words(texts::kHoldsAComma, texts::kPriceField));
    EXPECT_EQ(refusedBy(modify, find<QPushButton>(modify, "ModifyButton")),
              words(texts::kHoldsAComma, texts::kPriceField));
    // So is an empty price, named as such.
    find<QLineEdit>(modify, "OrderPriceTextField")->clear();
    QTest::mouseClick(find<QPushButton>(modify, "ModifyButton"), Qt::LeftButton);
    ASSERT_TRUE(alertOn(modify));
    EXPECT_EQ(alertOn(modify)->informativeText(), context->text(kBadOrderPriceKey));
    alertOn(modify)->accept();
    EXPECT_TRUE(modify->isVisible());
    type(find<QLineEdit>(modify, "OrderPriceTextField"), "1.04000");
    // A sixth decimal or a second point stays as typed, never cut back to another price.
    guitest::typeKeys("1.");
    EXPECT_EQ(find<QLineEdit>(modify, "OrderPriceTextField")->text(), "1.040001.");
    type(find<QLineEdit>(modify, "OrderPriceTextField"), "1.040001");
    EXPECT_EQ(refusedBy(modify, find<QPushButton>(modify, "ModifyButton")),
              words(texts::kTooManyDecimals, texts::kPriceField, "5"));
    type(find<QLineEdit>(modify, "OrderPriceTextField"), "1.04000");
    QTest::mouseClick(find<QPushButton>(modify, "ModifyButton"), Qt::LeftButton);
    waitsThenCloses(modify, find<QPushButton>(modify, "ModifyButton"));
    ASSERT_TRUE(waitFor([&] {
        const auto o = record(DialogRecord::PendingOrder, id);
        return o && o->OrderPrice == dec("1.04") && o->RemainingQty == dec("2");
    }));

    pending->runAction(RowAction::CancelOrder, id);
    auto* cancel = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(cancel && waitFor([&] { return cancel->isVisible(); }));
    EXPECT_EQ(cancel->job(), CloseJob::Cancel);
    EXPECT_FALSE(find<QComboBox>(cancel, "QuantityComboField")->isEnabled());
    EXPECT_FALSE(find<QLineEdit>(cancel, "EstimatedPLTextField")->isVisible());
    EXPECT_EQ(find<QPushButton>(cancel, "CloseAndCancelButton")->text(),
              QString("Cancel Limit Order #%1").arg(QString::fromStdString(id)));
    QTest::mouseClick(find<QPushButton>(cancel, "CloseAndCancelButton"), Qt::LeftButton);
    waitsThenCloses(cancel, find<QPushButton>(cancel, "CloseAndCancelButton"));
    ASSERT_TRUE(waitFor([&] { return !record(DialogRecord::PendingOrder, id); }));
}

// The bracket boxes act on their state: a screen reader's toggle or setChecked() opens the field
// with the default level and closing it empties it, as a click does.
TEST_F(PositionDialogsTest, ModifyBracketBoxesActOnTheirStateNotOnlyOnClicks) {
    open->runAction(RowAction::ModifyBrackets, "300001");
    auto* modify = window->findChild<ModifyPositionWindowController*>();
    ASSERT_TRUE(modify && waitFor([&] { return modify->isVisible(); }));
    auto* stopLoss = find<QCheckBox>(modify, "stopLossCheckBox");
    auto* field = find<QLineEdit>(modify, "StopLossTextField");
    ASSERT_TRUE(stopLoss->isVisible());
    if (stopLoss->isChecked())
        QTest::mouseClick(stopLoss, Qt::LeftButton);
    ASSERT_FALSE(stopLoss->isChecked());
    EXPECT_FALSE(field->isEnabled());
    ASSERT_TRUE(guitest::accessibleToggle(stopLoss));
    EXPECT_TRUE(stopLoss->isChecked());
    EXPECT_TRUE(field->isEnabled());
    EXPECT_TRUE(find<QToolButton>(modify, "stopLossStepperUp")->isEnabled());
    EXPECT_FALSE(field->text().isEmpty());
    stopLoss->setChecked(false);
    EXPECT_FALSE(field->isEnabled());
    EXPECT_TRUE(field->text().isEmpty());
    auto* takeProfit = find<QCheckBox>(modify, "takeProfitCheckBox");
    takeProfit->setChecked(!takeProfit->isChecked());
    EXPECT_EQ(find<QLineEdit>(modify, "TakeProfitTextField")->isEnabled(), takeProfit->isChecked());
    EXPECT_EQ(find<QLineEdit>(modify, "TakeProfitTextField")->text().isEmpty(), !takeProfit->isChecked());
    // Both ticked and emptied: the refusal names the box to fill, first the take profit, then the
    // stop loss, and the sheet stays.
    takeProfit->setChecked(true);
    stopLoss->setChecked(true);
    find<QLineEdit>(modify, "TakeProfitTextField")->clear();
    field->clear();
    for (const auto key : {kBadTakeProfitKey, kBadStopLossKey}) {
        QTest::mouseClick(find<QPushButton>(modify, "ModifyButton"), Qt::LeftButton);
        ASSERT_TRUE(alertOn(modify)) << key;
        EXPECT_EQ(alertOn(modify)->informativeText(), context->text(key));
        alertOn(modify)->accept();
        EXPECT_TRUE(modify->isVisible());
        takeProfit->setChecked(false);
    }
    find<QPushButton>(modify, "notNowButton")->click();
    EXPECT_FALSE(modify->isVisible());
}

TEST_F(PositionDialogsTest, OffsetRefusalsARejectionAndTheOffset) {
    open->runAction(RowAction::OffsetPosition, "300001");
    auto* offset = window->findChild<OffsetPositionWindowController*>();
    ASSERT_TRUE(offset && waitFor([&] { return offset->isVisible(); }));
    auto* table = find<QTableView>(offset, "offsetPositionTableView");
    QAbstractItemModel* lines = table->model();
    QAbstractItemModelTester tester(lines, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(lines->rowCount(), 1);
    EXPECT_EQ(cellText(lines, 0, 1), "300901");
    // The row's floating P/L reads as the grid's, moving with it; the offset's result has a column.
    const GridModel& grid = open->gridModel();
    const auto gridPL = [&] {
        return grid.index(grid.rowOf("300901"), grid.columnOf("UnrealisedPL")).data().toString();
    };
    const QString before = gridPL();
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08100", "1.08112"));
    EXPECT_TRUE(waitFor([&] { return gridPL() != before && cellText(lines, 0, 4) == gridPL(); }));
    EXPECT_EQ(cellText(lines, 0, 5), "0.00");

    // Nothing ticked says so.
    QTest::mouseClick(find<QPushButton>(offset, "offsetButton"), Qt::LeftButton);
    QMessageBox* told = alertOn(offset);
    ASSERT_TRUE(told);
    EXPECT_EQ(told->informativeText(), context->text(kNothingTickedKey));
    told->accept();

    lines->setData(lines->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    auto* quantity = qobject_cast<QComboBox*>(table->indexWidget(lines->index(0, 8)));
    ASSERT_TRUE(quantity && quantity->isEnabled());
    // 0 up to the whole position in the group's steps.
    EXPECT_EQ(quantity->itemText(0), "0");
    EXPECT_EQ(quantity->itemText(quantity->count() - 1), "1");
    // A quantity that is no number is marked, worked into no total, and refused with its reason.
    type(quantity, "0,5");
    EXPECT_EQ(quantity->toolTip(), words(texts::kHoldsAComma, texts::kOffsetQty));
    EXPECT_TRUE(find<QLineEdit>(offset, "OffsetQtyTextField")->text().isEmpty());
    EXPECT_EQ(refusedBy(offset, find<QPushButton>(offset, "offsetButton")),
              words(texts::kHoldsAComma, texts::kOffsetQty));
    type(quantity, "1");
    EXPECT_EQ(cellText(lines, 0, 4), gridPL());
    EXPECT_EQ(find<QLineEdit>(offset, "OffsetQtyTextField")->text(), "1");
    EXPECT_EQ(find<QLineEdit>(offset, "RemainingQtyTextField")->text(), "0.5");
    // The side letters follow a language change; the tick and the quantity typed stay.
    const auto side = [&] { return cellText(lines, 0, 3); };
    const QString english = side();
    ASSERT_TRUE(english == "B" || english == "S") << english.toStdString();
    ASSERT_TRUE(context->language().select(7)); // French
    EXPECT_EQ(side(), english == "B" ? "A" : "V");
    EXPECT_TRUE(offset->windowTitle().endsWith("(A)") || offset->windowTitle().endsWith("(V)"))
        << offset->windowTitle().toStdString();
    EXPECT_EQ(quantity->currentText(), "1");
    EXPECT_EQ(lines->index(0, 0).data(Qt::CheckStateRole), Qt::Checked);
    ASSERT_TRUE(context->language().select(0));
    EXPECT_EQ(side(), english);

    // The server rejects it: the reason shows and the sheet stays, ready to send again.
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    QTest::mouseClick(find<QPushButton>(offset, "offsetButton"), Qt::LeftButton);
    EXPECT_TRUE(offset->isWaitingForAnswer());
    EXPECT_FALSE(find<QPushButton>(offset, "offsetButton")->isEnabled());
    EXPECT_EQ(offset->answerLine()->text(), context->text(texts::kSheetWaitingForAnswer));
    ASSERT_TRUE(waitFor([&] { return alertOn(offset) != nullptr; }));
    EXPECT_FALSE(alertOn(offset)->informativeText().isEmpty());
    alertOn(offset)->accept();
    EXPECT_TRUE(offset->isVisible());
    EXPECT_TRUE(find<QPushButton>(offset, "offsetButton")->isEnabled());
    EXPECT_EQ(serverPosition(300001)->qty, "1.5");

    ASSERT_TRUE(server->setMarketOpen("EURUSD", true));
    QTest::mouseClick(find<QPushButton>(offset, "offsetButton"), Qt::LeftButton);
    waitsThenCloses(offset, find<QPushButton>(offset, "offsetButton"));
    EXPECT_FALSE(CommonAlert::showing(window.get(), QStringLiteral("dialogRecordGone")));
    ASSERT_TRUE(waitFor([&] { return !serverPosition(300901) && serverPosition(300001)->qty == "0.5"; }));
}

// Return in a row's quantity box ends the entry and sends nothing; the Offset button sends. A leg
// off the lot step is refused with the step.
TEST_F(PositionDialogsTest, OffsetReturnInAQuantityEndsTheEntryOnlyAndLegsKeepTheStep) {
    OffsetSheet opened;
    ASSERT_NO_FATAL_FAILURE(openOffsetTicked(opened));
    auto* offset = opened.sheet;
    auto* quantity = opened.quantity;
    auto* send = opened.send;
    // Clicked into the row's Offset Qty cell, typed, then Return (Enter on the keypad) where the
    // window system sends it: to the box that holds its line edit's focus.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        guitest::typeOver(quantity->lineEdit(), "0.3");
        guitest::pressKey(key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        EXPECT_TRUE(offset->isVisible());
        EXPECT_FALSE(offset->isWaitingForAnswer());
        EXPECT_EQ(quantity->currentText(), "0.3");
        EXPECT_EQ(find<QLineEdit>(offset, "OffsetQtyTextField")->text(), "0.3");
    }
    type(quantity, "0.3000001");
    EXPECT_EQ(refusedBy(offset, send),
              context->text(texts::kQuantityMustMultipleLots).replace("{0}", "0.01"));
    EXPECT_FALSE(offset->isWaitingForAnswer());
    EXPECT_EQ(serverPosition(300001)->qty, "1.5");

    type(quantity, "0.3");
    QTest::mouseClick(send, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !offset->isVisible(); }));
    ASSERT_TRUE(waitFor([&] { return serverPosition(300001)->qty == "1.2"; }));
}

// A row's quantity is marked at once with what the Offset button would say of it (300901 holds 1,
// 300001 1.5, steps of 0.01); a quantity typed there is not dropped by Escape without asking.
TEST_F(PositionDialogsTest, OffsetQuantitiesAreMarkedAsTheButtonRefusesAndEscapeAsksFirst) {
    OffsetSheet opened;
    ASSERT_NO_FATAL_FAILURE(openOffsetTicked(opened));
    auto* offset = opened.sheet;
    auto* table = opened.table;
    auto* quantity = opened.quantity;
    auto* send = opened.send;
    const std::pair<const char*, QString> refused[] = {
        {"0", context->text(texts::kEnterOffsetQuantityGreaterThan)},
        {"1.2", context->text(texts::kQuantityTakenFromPositionMore)},
        {"2", context->text(texts::kOffsetQuantityMoreThanPosition)},
        {"0.3000001", context->text(texts::kQuantityMustMultipleLots).replace("{0}", "0.01")},
        {"0,3", words(texts::kHoldsAComma, texts::kOffsetQty)}};
    // What is typed is the entry: never completed with the rest of the first listed quantity that
    // begins with it (0.01 for "0.").
    ASSERT_GE(quantity->findText("0.01"), 0);
    type(quantity, "0.");
    EXPECT_EQ(quantity->currentText(), "0.");
    for (const auto& [lots, reason] : refused) {
        type(quantity, lots);
        EXPECT_EQ(quantity->toolTip(), reason) << lots;
        EXPECT_EQ(refusedBy(offset, send), reason) << lots;
    }
    type(quantity, "0.3");
    EXPECT_TRUE(quantity->toolTip().isEmpty());

    // Typed and left with Tab, then from the table: Escape asks either way, a second Escape keeps
    // what was typed, and only Discard drops it.
    ASSERT_TRUE(guitest::clickInto(quantity->lineEdit()));
    guitest::pressKey(Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), quantity);
    EXPECT_TRUE(guitest::secondEscapeKeeps(offset, context->text(texts::kKeepEditing)));
    EXPECT_EQ(quantity->currentText(), "0.3");
    const QModelIndex idCell = table->model()->index(0, 1);
    ASSERT_TRUE(guitest::clickInto(table->viewport(), table->visualRect(idCell).center()));
    ASSERT_EQ(QApplication::focusWidget(), table);
    EXPECT_TRUE(guitest::secondEscapeKeeps(offset, context->text(texts::kKeepEditing)));
    EXPECT_EQ(quantity->currentText(), "0.3");
    EXPECT_TRUE(guitest::escapeAndDiscard(quantity->lineEdit(), context->text(texts::kDiscard)));
    EXPECT_FALSE(offset->isWaitingForAnswer());
    EXPECT_EQ(serverPosition(300001)->qty, "1.5");
}

TEST_F(PositionDialogsTest, CloseAllWithOneRefusalSendsTheOthersAndFollowsTheirReports) {
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* table = find<QTableView>(closeAll, "closeAllTableView");
    QAbstractItemModel* lines = table->model();
    QAbstractItemModelTester linesTester(lines, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const int positions = lines->rowCount();
    ASSERT_GE(positions, 4);
    EXPECT_EQ(find<QPushButton>(closeAll, "closeAllButton")->text(), context->text(texts::kCloseAll));
    // The side letters read in the language chosen, and in English again.
    const auto side = [&] { return cellText(lines, 0, 4); };
    ASSERT_TRUE(context->language().select(7)); // French
    EXPECT_TRUE(side() == "A" || side() == "V") << side().toStdString();
    ASSERT_TRUE(context->language().select(0));
    EXPECT_TRUE(side() == "B" || side() == "S") << side().toStdString();
    // Unticking one and ticking it again gives "all" back.
    lines->setData(lines->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_EQ(lines->index(0, 0).data(Qt::CheckStateRole), Qt::Unchecked);
    EXPECT_EQ(find<QPushButton>(closeAll, "closeAllButton")->text(),
              QString("%1 (%2)").arg(context->text(texts::kCloseSelected)).arg(positions - 1));
    // From the keyboard: Space on the tick cell ticks it again (a click on the row's id, Home to its
    // tick cell).
    ASSERT_TRUE(guitest::clickInto(table->viewport(), table->visualRect(lines->index(0, 1)).center()));
    guitest::pressKey(Qt::Key_Home);
    ASSERT_EQ(table->currentIndex(), lines->index(0, 0));
    guitest::pressKey(Qt::Key_Space);
    EXPECT_EQ(lines->index(0, 0).data(Qt::CheckStateRole), Qt::Checked);
    EXPECT_EQ(find<QPushButton>(closeAll, "closeAllButton")->text(), context->text(texts::kCloseAll));
    // A click on the tick column's title unticks every row, and the next ticks them all again.
    QHeaderView* titles = table->horizontalHeader();
    const auto clickTickTitle = [&] {
        QTest::mouseClick(
            titles->viewport(), Qt::LeftButton, {},
            QPoint(titles->sectionViewportPosition(0) + titles->sectionSize(0) / 2, titles->height() / 2));
    };
    const auto ticks = [&] {
        int ticked = 0;
        for (int row = 0; row < lines->rowCount(); ++row)
            ticked += lines->index(row, 0).data(Qt::CheckStateRole) == Qt::Checked;
        return ticked;
    };
    clickTickTitle();
    EXPECT_EQ(ticks(), 0);
    EXPECT_FALSE(find<QPushButton>(closeAll, "closeAllButton")->isEnabled());
    lines->setData(lines->index(1, 0), Qt::Checked, Qt::CheckStateRole);
    clickTickTitle(); // some ticked, not all: every row
    EXPECT_EQ(ticks(), positions);
    EXPECT_EQ(find<QPushButton>(closeAll, "closeAllButton")->text(), context->text(texts::kCloseAll));

    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    ClosePositionStatusWindowController* status = closeAll->statusSheet();
    ASSERT_TRUE(status && waitFor([&] { return status->isVisible(); }));
    const QAbstractItemModel* refused = find<QTableView>(status, "statusTableView")->model();
    ASSERT_EQ(refused->rowCount(), 1);
    EXPECT_EQ(cellText(refused, 0, 1), "300902");
    EXPECT_TRUE(find<QPushButton>(status, "button1")->isVisible());
    EXPECT_EQ(find<QLabel>(status, "statusTextField")->text(), context->text(kSomeRefusedKey));
    QTest::mouseClick(find<QPushButton>(status, "button1"), Qt::LeftButton);
    EXPECT_FALSE(status->isVisible());
    EXPECT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
    EXPECT_EQ(find<QStackedWidget>(closeAll, "closeAllTabView")->currentIndex(), 1);
    const QAbstractItemModel* sent = find<QTableView>(closeAll, "closeAllStatusTableView")->model();
    QAbstractItemModelTester tester(const_cast<QAbstractItemModel*>(sent),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(sent->rowCount(), positions - 1);
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    EXPECT_NE(heading->text(), context->text(texts::kPositionsToClose));
    ASSERT_TRUE(waitFor([&] {
        for (int row = 0; row < sent->rowCount(); ++row)
            if (cellText(sent, row, 6) != context->text(kStatusClosedKey))
                return false;
        return true;
    }));
    // Once closed it says so, and each row shows the price its settlement closed at, as the
    // settled positions grid does.
    EXPECT_EQ(heading->text(), context->text(kHeaderClosedKey));
    const tc::OrderView settled = session->client().queries().getSettledOrderCollection();
    for (int row = 0; row < sent->rowCount(); ++row) {
        const auto settlement = std::find_if(settled.begin(), settled.end(), [&](const auto& s) {
            return s && QString::fromStdString(s->OpenPositionId) == cellText(sent, row, 1);
        });
        ASSERT_NE(settlement, settled.end()) << row;
        const tc::ItemDetails* item = instrumentOf(session->client().model(), (*settlement)->ItemCode);
        EXPECT_EQ(cellText(sent, row, 5).toStdString(), priceText((*settlement)->SettledPrice, item)) << row;
    }
    ASSERT_TRUE(waitFor([&] { return !serverPosition(300001) && !serverPosition(300002); }));
    EXPECT_TRUE(serverPosition(300902));

    // Opening again starts over with what is open now, all ticked.
    closeAll->reject();
    window->closeAllButtonClicked();
    ASSERT_TRUE(waitFor([&] { return closeAll->isVisible(); }));
    EXPECT_EQ(find<QStackedWidget>(closeAll, "closeAllTabView")->currentIndex(), 0);
    EXPECT_EQ(closeAll->flow().ticked().size(), session->client().queries().getOpenOrderCollection().size());
}

TEST_F(PositionDialogsTest, CloseAllRefusedAsAWholeSaysSoInTheWindow) {
    // The server takes fewer positions in one request than the client knows of.
    server->limitCloseAll(2);
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    const int positions = find<QTableView>(closeAll, "closeAllTableView")->model()->rowCount();
    ASSERT_GE(positions, 4);
    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    ClosePositionStatusWindowController* status = closeAll->statusSheet();
    ASSERT_TRUE(status && waitFor([&] { return status->isVisible(); }));
    QTest::mouseClick(find<QPushButton>(status, "button1"), Qt::LeftButton); // close the others
    const QAbstractItemModel* sent = find<QTableView>(closeAll, "closeAllStatusTableView")->model();
    ASSERT_EQ(sent->rowCount(), positions - 1);
    // The one refusal names no position: every row reads it, and the heading says the server refused
    // the request, long before the time limit.
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    ASSERT_TRUE(waitFor([&] { return heading->text() == context->text(kHeaderRefusedWholeKey); }))
        << heading->text().toStdString();
    const QString reason = QString::fromStdString(closeAll->flow().statusRows().front().reason);
    EXPECT_FALSE(reason.isEmpty());
    // Each row reads it, and that its position is still open with what it was sent with.
    for (int row = 0; row < sent->rowCount(); ++row) {
        const QString stillHeld =
            filledIn(context->text(texts::kCloseAllRowRefusedStillHeld), {reason, cellText(sent, row, 4)});
        EXPECT_TRUE(waitFor([&] { return cellText(sent, row, 6) == stillHeld; }))
            << row << ": " << cellText(sent, row, 6).toStdString();
    }
    EXPECT_FALSE(closeAll->flow().waiting());
    EXPECT_TRUE(serverPosition(300001) && serverPosition(300002));
    // The trader can close the window and choose again.
    auto* closeButton = find<QPushButton>(closeAll, "notNowButton");
    EXPECT_EQ(closeButton->text(), context->text(texts::kCloseButton));
    QTest::mouseClick(closeButton, Qt::LeftButton);
    EXPECT_FALSE(closeAll->isVisible());
}

TEST_F(PositionDialogsTest, CloseAllSpaceTicksTheSelectedRowsTogetherAndItsTitleShowsTheTicks) {
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* table = find<QTableView>(closeAll, "closeAllTableView");
    QAbstractItemModel* lines = table->model();
    QAbstractItemModelTester tester(lines, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_GE(lines->rowCount(), 4);
    // Rows by position id: the list's rows come and go.
    const auto rowOf = [&](const QString& id) {
        for (int row = 0; row < lines->rowCount(); ++row)
            if (cellText(lines, row, 2) == id)
                return row;
        return -1;
    };
    const auto idAt = [&](int row) { return cellText(lines, row, 2); };
    const auto ticked = [&](const QString& id) {
        return lines->index(rowOf(id), 0).data(Qt::CheckStateRole) == Qt::Checked;
    };
    const auto unticked = [&] {
        QStringList ids;
        for (int row = 0; row < lines->rowCount(); ++row)
            if (lines->index(row, 0).data(Qt::CheckStateRole) != Qt::Checked)
                ids << idAt(row);
        ids.sort();
        return ids;
    };
    const auto sorted = [](QStringList ids) {
        ids.sort();
        return ids;
    };
    const auto cell = [&](const QString& id) {
        return table->visualRect(lines->index(rowOf(id), 2)).center();
    };
    // The title's tick box shows the rows' ticks: all, some or none, each drawn apart.
    const auto titleTick = [&] { return lines->headerData(0, Qt::Horizontal, Qt::CheckStateRole); };
    QHeaderView* titles = table->horizontalHeader();
    const auto titleLook = [&] {
        return titles
            ->grab(QRect(titles->sectionViewportPosition(0), 0, titles->sectionSize(0), titles->height()))
            .toImage();
    };
    std::vector<QImage> looks{titleLook()};
    EXPECT_EQ(titleTick(), Qt::Checked);

    // A click on a row and Shift+Down twice: three rows, which Space unticks together.
    const QString first = idAt(0);
    const QString second = idAt(1);
    const QString third = idAt(2);
    const QString fourth = idAt(3);
    ASSERT_TRUE(guitest::clickInto(table->viewport(), cell(first)));
    guitest::pressKey(Qt::Key_Down, Qt::ShiftModifier);
    guitest::pressKey(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(table->selectionModel()->selectedRows().size(), 3);
    guitest::pressKey(Qt::Key_Space);
    EXPECT_EQ(unticked(), sorted({first, second, third}));
    EXPECT_EQ(titleTick(), Qt::PartiallyChecked);
    looks.push_back(titleLook());
    // Ctrl+click adds a ticked row: one of them ticked, Space ticks all four; again, it unticks all.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, cell(fourth));
    guitest::pressKey(Qt::Key_Space);
    EXPECT_EQ(unticked(), QStringList{});
    EXPECT_EQ(titleTick(), Qt::Checked);
    guitest::pressKey(Qt::Key_Space);
    EXPECT_EQ(unticked(), sorted({first, second, third, fourth}));
    // One row: Space ticks it alone.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell(second));
    guitest::pressKey(Qt::Key_Space);
    EXPECT_EQ(unticked(), sorted({first, third, fourth}));
    // Ctrl+A and Space: every row ticked (some was not), then every row unticked.
    guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
    guitest::pressKey(Qt::Key_Space);
    EXPECT_EQ(unticked(), QStringList{});
    guitest::pressKey(Qt::Key_Space);
    EXPECT_EQ(unticked().size(), lines->rowCount());
    EXPECT_EQ(titleTick(), Qt::Unchecked);
    looks.push_back(titleLook());
    EXPECT_TRUE(looks[0] != looks[1] && looks[1] != looks[2] && looks[0] != looks[2]);
    EXPECT_FALSE(find<QPushButton>(closeAll, "closeAllButton")->isEnabled());
    // A click on a row's tick box ticks that row alone.
    QStyleOptionViewItem box;
    box.initFrom(table);
    box.rect = table->visualRect(lines->index(rowOf(third), 0));
    box.features = QStyleOptionViewItem::HasCheckIndicator;
    const QPoint tick =
        table->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &box, table).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, tick);
    EXPECT_TRUE(ticked(third));
    EXPECT_EQ(unticked().size(), lines->rowCount() - 1);

    // The selection follows its positions when a row before them goes: a row beside 300901 and
    // another, selected, and 300901 closed elsewhere.
    const int gone = rowOf("300901");
    ASSERT_GE(gone, 0);
    const QString beside = idAt(gone + 1 < lines->rowCount() ? gone + 1 : gone - 1);
    const QString other = idAt(gone + 1 < lines->rowCount() ? gone - 1 : gone - 2);
    ASSERT_FALSE(other.isEmpty());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell(beside));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier, cell(other));
    const QStringList before = unticked();
    ASSERT_TRUE(
        session->client().orders().closePosition("300901", *interfaces::Decimal::fromString("1")).sent());
    ASSERT_TRUE(waitFor([&] { return rowOf("300901") < 0; }));
    // Its settlement's banner came forward: the trader brings the window back.
    closeAll->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(closeAll));
    ASSERT_TRUE(guitest::focusIn(closeAll));
    guitest::pressKey(Qt::Key_Space);
    QStringList after = before;
    after.removeAll("300901");
    after.removeAll(beside);
    after.removeAll(other);
    EXPECT_EQ(unticked(), sorted(after));
    EXPECT_TRUE(ticked(beside) && ticked(other));

    // The tick column's title tells what a click on it does, in the language chosen.
    const QString tip = lines->headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString();
    EXPECT_EQ(tip, context->text(texts::kTickEveryRowTip));
    ASSERT_TRUE(context->language().select(7)); // French
    EXPECT_NE(lines->headerData(0, Qt::Horizontal, Qt::ToolTipRole).toString(), tip);
    ASSERT_TRUE(context->language().select(0));
}

// A click on a row's tick box tells that row and the button without reading the book again (a read
// for each click held a large book's paint); a change of the book is read once, and the button
// answers for it.
TEST_F(PositionDialogsTest, CloseAllTickBoxesReadNoBookAndTheButtonFollowsTheBook) {
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* table = find<QTableView>(closeAll, "closeAllTableView");
    QAbstractItemModel* lines = table->model();
    const int positions = lines->rowCount();
    ASSERT_GE(positions, 3);
    auto* button = find<QPushButton>(closeAll, "closeAllButton");
    const auto selected = [&](int ticked) {
        return QString("%1 (%2)").arg(context->text(texts::kCloseSelected)).arg(ticked);
    };
    const auto rowOf = [&](const QString& id) {
        for (int row = 0; row < lines->rowCount(); ++row)
            if (cellText(lines, row, 2) == id)
                return row;
        return -1;
    };
    const auto isTicked = [&](int row) {
        return lines->index(row, 0).data(Qt::CheckStateRole) == Qt::Checked;
    };
    const auto clickBox = [&](int row) {
        QStyleOptionViewItem box;
        box.initFrom(table);
        box.rect = table->visualRect(lines->index(row, 0));
        box.features = QStyleOptionViewItem::HasCheckIndicator;
        QTest::mouseClick(
            table->viewport(), Qt::LeftButton, {},
            table->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &box, table).center());
    };
    const auto title = [&] { return lines->headerData(0, Qt::Horizontal, Qt::CheckStateRole); };
    const std::size_t read = closeAll->flow().booksRead();
    const int kept = rowOf("300901") == 0 ? 1 : 0; // a row that stays
    const QString keptId = cellText(lines, kept, 2);
    clickBox(kept);
    EXPECT_FALSE(isTicked(kept));
    EXPECT_EQ(button->text(), selected(positions - 1));
    EXPECT_EQ(title(), Qt::PartiallyChecked);
    clickBox(2);
    EXPECT_EQ(button->text(), selected(positions - 2));
    clickBox(2);
    clickBox(kept);
    EXPECT_TRUE(isTicked(kept));
    EXPECT_EQ(button->text(), context->text(texts::kCloseAll));
    EXPECT_EQ(title(), Qt::Checked);
    EXPECT_EQ(closeAll->flow().booksRead(), read) << "no click reads the book";

    // One row unticked and another position closed elsewhere: the book is read, the button counts the
    // ticks that remain.
    clickBox(kept);
    ASSERT_TRUE(
        session->client().orders().closePosition("300901", *interfaces::Decimal::fromString("1")).sent());
    ASSERT_TRUE(waitFor([&] { return rowOf("300901") < 0; }));
    EXPECT_GT(closeAll->flow().booksRead(), read);
    EXPECT_EQ(button->text(), selected(positions - 2));
    clickBox(rowOf(keptId));
    EXPECT_EQ(button->text(), context->text(texts::kCloseAll));

    // The line lost: the rows are the lost session's, and nothing goes on them.
    EXPECT_TRUE(button->isEnabled());
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    EXPECT_TRUE(closeAll->isVisible());
    EXPECT_FALSE(button->isEnabled());
}

TEST_F(PositionDialogsTest, CloseAllWithoutAnAnswerInTimeSaysSoAndALateReportStillCounts) {
    server->holdOrders(true);
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    closeAll->setAnswerTimeLimit(std::chrono::milliseconds(300));
    closeAll->hitCheckbox("300902"); // the one the check refuses: the others go at once
    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    const QAbstractItemModel* sent = find<QTableView>(closeAll, "closeAllStatusTableView")->model();
    ASSERT_GE(sent->rowCount(), 3);
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    EXPECT_EQ(heading->text(), context->text(kHeaderWaitingKey));
    // The server keeps the request: past the limit every row says no answer came, not that it failed.
    ASSERT_TRUE(waitFor([&] { return heading->text() == context->text(kHeaderNoAnswerKey); }))
        << heading->text().toStdString();
    for (int row = 0; row < sent->rowCount(); ++row)
        EXPECT_EQ(cellText(sent, row, 6), context->text(kStatusNoAnswerKey)) << row;
    // Its reports, late, still tell what became of each.
    server->holdOrders(false);
    ASSERT_TRUE(waitFor([&] { return heading->text() == context->text(kHeaderClosedKey); }))
        << heading->text().toStdString();
}

TEST_F(PositionDialogsTest, CloseAllWhileTheServerIsSilentSaysItStillWaitsAndNoRowReadsNoAnswer) {
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    closeAll->hitCheckbox("300902"); // the one the check refuses: the others go at once
    server->pauseStream(true);
    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    const QAbstractItemModel* sent = find<QTableView>(closeAll, "closeAllStatusTableView")->model();
    ASSERT_GE(sent->rowCount(), 3);
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    EXPECT_EQ(heading->text(), context->text(kHeaderWaitingKey));
    // Some seconds of silence: the status bar's "Server not answering". The request is still within
    // its time limit: the heading says the server is silent, every row still reads sent.
    ASSERT_TRUE(waitFor([&] { return heading->text() == context->text(kHeaderServerSilentKey); }, 30000))
        << heading->text().toStdString();
    EXPECT_FALSE(session->isLive());
    for (int row = 0; row < sent->rowCount(); ++row)
        EXPECT_EQ(cellText(sent, row, 6), context->text(kStatusSentKey)) << row;
    EXPECT_TRUE(closeAll->flow().waiting());
    // The server answers: every row reads its own outcome.
    server->pauseStream(false);
    ASSERT_TRUE(waitFor([&] { return heading->text() == context->text(kHeaderClosedKey); }))
        << heading->text().toStdString();
    for (int row = 0; row < sent->rowCount(); ++row)
        EXPECT_EQ(cellText(sent, row, 6), context->text(kStatusClosedKey)) << row;
}

TEST_F(PositionDialogsTest, ClosingTheCloseAllWindowWhileItWaitsGivesItsRequestUp) {
    std::vector<interfaces::RequestAnswer> answers;
    QObject::connect(session.get(), &ClientModel::requestAnswered, window.get(),
                     [&](const interfaces::RequestAnswer& answer) { answers.push_back(answer); });
    server->holdOrders(true);
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    closeAll->hitCheckbox("300902");
    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    ASSERT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
    ASSERT_TRUE(closeAll->flow().waiting());
    // The trader closes the window before any answer: the request is given up, so its answer, when
    // it comes, is told as late (the banner's), not as the answer a window waits for.
    auto* closeButton = find<QPushButton>(closeAll, "notNowButton");
    ASSERT_EQ(closeButton->text(), context->text(texts::kCloseButton));
    QTest::mouseClick(closeButton, Qt::LeftButton);
    EXPECT_FALSE(closeAll->isVisible());
    server->holdOrders(false);
    ASSERT_TRUE(waitFor([&] { return !serverPosition(300001) && !serverPosition(300002); }));
    ASSERT_TRUE(waitFor([&] { return !answers.empty(); }));
    for (const auto& answer : answers)
        EXPECT_TRUE(answer.late) << answer.request << " " << answer.reason;
}

TEST_F(PositionDialogsTest, CloseAllWithOnePositionRefusedReadsEachRowsOwnReport) {
    server->holdOrders(true);
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    closeAll->hitCheckbox("300902"); // the one the check refuses: the others go at once
    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    ASSERT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
    const QAbstractItemModel* sent = find<QTableView>(closeAll, "closeAllStatusTableView")->model();
    const auto rowOf = [&](const QString& id) {
        for (int row = 0; row < sent->rowCount(); ++row)
            if (cellText(sent, row, 1) == id)
                return row;
        return -1;
    };
    ASSERT_TRUE(rowOf("300001") >= 0 && rowOf("300901") >= 0 && rowOf("300002") >= 0);
    // EURUSD's market closes before the server takes the request: its positions are refused, the
    // gold one closes.
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    server->holdOrders(false);
    ASSERT_TRUE(waitFor([&] { return !closeAll->flow().waiting(); }));
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    EXPECT_EQ(heading->text(), context->text(kHeaderSomeRejectedKey));
    EXPECT_EQ(cellText(sent, rowOf("300002"), 6), context->text(kStatusClosedKey));
    for (const char* id : {"300001", "300901"}) {
        const QString status = cellText(sent, rowOf(id), 6);
        EXPECT_NE(status, context->text(kStatusClosedKey)) << id;
        EXPECT_NE(status, context->text(kStatusNoAnswerKey)) << id;
        EXPECT_FALSE(status.isEmpty()) << id;
    }
    EXPECT_TRUE(serverPosition(300001) && serverPosition(300901));
    EXPECT_FALSE(serverPosition(300002));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", true));
}

// A close-all sent before the line went stays through the same user's sign-in again; the new
// session's list tells each row that had no answer what became of it (here the server, holding the
// request, carried it out while the user was signed out: EURUSD's market shut, only the gold
// position closed), and nothing is sent again.
TEST_F(PositionDialogsTest, CloseAllSentBeforeALossStaysAndTheNextSignInsListTellsEachRow) {
    server->holdOrders(true);
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    closeAll->hitCheckbox("300902"); // the one the check refuses: the others go at once
    const int heldBefore = server->stats().heldOrderRequests;
    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    ASSERT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == heldBefore + 1; }));
    const QAbstractItemModel* sent = find<QTableView>(closeAll, "closeAllStatusTableView")->model();
    const auto rowOf = [&](const QString& id) {
        for (int row = 0; row < sent->rowCount(); ++row)
            if (cellText(sent, row, 1) == id)
                return row;
        return -1;
    };
    ASSERT_TRUE(rowOf("300001") >= 0 && rowOf("300901") >= 0 && rowOf("300002") >= 0);
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return heading->text() == context->text(kHeaderNoAnswerKey); }))
        << heading->text().toStdString();
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({0}));
    server->holdOrders(false);
    ASSERT_TRUE(server->setMarketOpen("EURUSD", true));
    ASSERT_FALSE(serverPosition(300002));
    ASSERT_TRUE(serverPosition(300001) && serverPosition(300901));
    const int requestsBefore = server->stats().orderRequests;

    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return heading->text() == context->text(kHeaderListSomeClosedKey); }))
        << heading->text().toStdString();
    EXPECT_TRUE(closeAll->isVisible());
    EXPECT_EQ(cellText(sent, rowOf("300002"), 6), context->text(kStatusClosedByListKey));
    for (const char* id : {"300001", "300901"})
        EXPECT_EQ(cellText(sent, rowOf(id), 6), context->text(kStatusStillHeldKey)) << id;
    // Every row as the server holds its position now.
    for (int row = 0; row < sent->rowCount(); ++row) {
        const bool held = serverPosition(cellText(sent, row, 1).toLongLong()).has_value();
        EXPECT_EQ(cellText(sent, row, 6), context->text(held ? kStatusStillHeldKey : kStatusClosedByListKey))
            << cellText(sent, row, 1).toStdString();
    }
    EXPECT_FALSE(closeAll->flow().waiting());
    // Nothing goes out again until the trader chooses anew: the window offers no send button.
    EXPECT_FALSE(find<QPushButton>(closeAll, "closeAllButton")->isVisible());
    EXPECT_EQ(server->stats().orderRequests, requestsBefore);
    // A language change reads the heading of this moment.
    ASSERT_TRUE(context->language().select(7)); // French
    EXPECT_EQ(heading->text(), context->text(kHeaderListSomeClosedKey));
    ASSERT_TRUE(context->language().select(0));
}

// Lost unread, every row still held as sent: the list says none was closed. The trader's own Close
// between two sessions goes without a word; another user's sign-in closes the window with a word that
// a Close All of the last user had no answer, naming none of that user's positions.
TEST_F(PositionDialogsTest, CloseAllSentBeforeALossGoesWithAWordWhenAnotherUserSignsIn) {
    const auto sendAndLose = [&](CloseAllWindowController* closeAll) {
        closeAll->hitCheckbox("300902");
        server->pauseStream(true);
        QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
        ASSERT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
        server->dropStreams();
        ASSERT_TRUE(waitFor([&] {
            return !closeAll->flow().unanswered().empty() &&
                   find<QLabel>(closeAll, "headerTextField")->text() == context->text(kHeaderNoAnswerKey);
        }));
        server->pauseStream(false);
        ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    };
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    ASSERT_NO_FATAL_FAILURE(sendAndLose(closeAll));
    ASSERT_TRUE(signIn());
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    ASSERT_TRUE(waitFor([&] { return heading->text() == context->text(kHeaderListNoneClosedKey); }))
        << heading->text().toStdString();
    EXPECT_TRUE(serverPosition(300001) && serverPosition(300002));
    QTest::mouseClick(find<QPushButton>(closeAll, "notNowButton"), Qt::LeftButton);
    ASSERT_FALSE(closeAll->isVisible());

    // Sent and lost again; the trader closes the window before signing in: no word.
    closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    ASSERT_NO_FATAL_FAILURE(sendAndLose(closeAll));
    QTest::mouseClick(find<QPushButton>(closeAll, "notNowButton"), Qt::LeftButton);
    EXPECT_FALSE(CommonAlert::showing(window.get(), QStringLiteral("dialogCloseAllGone")));
    ASSERT_TRUE(signIn());

    // Once more, and another user signs in.
    closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    ASSERT_NO_FATAL_FAILURE(sendAndLose(closeAll));
    const QAbstractItemModel* sent = find<QTableView>(closeAll, "closeAllStatusTableView")->model();
    QStringList ids;
    for (int row = 0; row < sent->rowCount(); ++row)
        ids.append(cellText(sent, row, 1));
    ASSERT_TRUE(ids.contains("300001") && ids.contains("300002"));
    ASSERT_TRUE(signIn("trader", "trader1234"));
    ASSERT_TRUE(waitFor([&] { return !closeAll->isVisible(); }));
    QMessageBox* told = CommonAlert::showing(window.get(), QStringLiteral("dialogCloseAllGone"));
    ASSERT_TRUE(told);
    EXPECT_EQ(told->text(), context->text(kGoneForAnotherUserKey));
    for (const QString& id : ids)
        EXPECT_FALSE(told->text().contains(id)) << id.toStdString();
}

// The close-all window over a login whose server list takes at most two positions in one request.
class CloseAllLimitTest : public PositionDialogsTest {
protected:
    void SetUp() override {
        before_ = tc::platform::Bundle::resourcesRoot();
        std::filesystem::copy(before_, resources_.path(), std::filesystem::copy_options::recursive);
        const auto list = resources_.path() / "LoginPropertyList.plist";
        std::string text;
        {
            std::ifstream in(list);
            text.assign(std::istreambuf_iterator<char>(in), {});
        }
        const std::string limit = "<key>CloseAllPositionLimit</key>\n\t\t<integer>200</integer>";
        const auto at = text.find(limit);
        ASSERT_NE(at, std::string::npos) << "the simulation's limit in the login's server list";
        text.replace(at, limit.size(), "<key>CloseAllPositionLimit</key><integer>2</integer>");
        std::ofstream(list, std::ios::trunc) << text;
        tc::platform::Bundle::setResourcesRoot(resources_.path());
        PositionDialogsTest::SetUp();
    }
    void TearDown() override {
        PositionDialogsTest::TearDown();
        tc::platform::Bundle::setResourcesRoot(before_);
    }

    tc::testing_support::TempDir resources_;
    std::filesystem::path before_;
};

TEST_F(CloseAllLimitTest, MoreTickedThanTheLoginsLimitSendsNothingAndTheHeadingSaysWhy) {
    EXPECT_EQ(session->client().orders().closeAllLimit(), 2u);
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* table = find<QTableView>(closeAll, "closeAllTableView");
    QAbstractItemModel* lines = table->model();
    const int positions = lines->rowCount();
    ASSERT_GE(positions, 4);
    auto* button = find<QPushButton>(closeAll, "closeAllButton");
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    const auto aboveLimit = [&](int ticked) {
        return context->text(kAboveLimitKey).replace("{0}", "2").replace("{1}", QString::number(ticked));
    };
    // Every position ticked, more than two: the button is off and the heading says why.
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(heading->text(), aboveLimit(positions));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Choosing);
    EXPECT_FALSE(closeAll->statusSheet() && closeAll->statusSheet()->isVisible());
    // Unticked down to three (300902, which the check refuses, first): still too many.
    closeAll->hitCheckbox("300902");
    for (int row = 0; closeAll->flow().ticked().size() > 3; ++row)
        if (lines->index(row, 2).data().toString() != "300902")
            lines->setData(lines->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(heading->text(), aboveLimit(3));
    // Two: it may go, and goes.
    closeAll->hitCheckbox(closeAll->flow().ticked().back());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(heading->text(), context->text(kHeaderChoosingKey));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
    EXPECT_EQ(closeAll->flow().statusRows().size(), 2u);
    ASSERT_TRUE(waitFor([&] { return !closeAll->flow().waiting(); }));
    EXPECT_EQ(heading->text(), context->text(kHeaderClosedKey));
}

// A book the close-all check passes whole (300902 within the group's largest close), so that every
// listed position can go ticked in one request.
class CloseAllEveryPositionTest : public PositionDialogsTest {
protected:
    void seedMarket(testserver::Market& market) override {
        PositionDialogsTest::seedMarket(market);
        for (auto& p : market.positions)
            if (p.positionId == 300902)
                p.qty = p.initialQty = "2";
    }
    // The ids of the positions the server holds for demo's account 20001.
    std::set<std::string> serverBook() {
        return server->book().with([](const testserver::Books& b) {
            std::set<std::string> ids;
            for (const auto& p : b.positions)
                if (p.accountId == 20001)
                    ids.insert(std::to_string(p.positionId));
            return ids;
        });
    }
    // How many ticks the close-all list shows.
    static int ticks(const QAbstractItemModel* lines) {
        int ticked = 0;
        for (int row = 0; row < lines->rowCount(); ++row)
            ticked += lines->index(row, 0).data(Qt::CheckStateRole) == Qt::Checked;
        return ticked;
    }
    static void clickTickTitle(QTableView* table) {
        QHeaderView* titles = table->horizontalHeader();
        QTest::mouseClick(
            titles->viewport(), Qt::LeftButton, {},
            QPoint(titles->sectionViewportPosition(0) + titles->sectionSize(0) / 2, titles->height() / 2));
    }
    // The texts of the late answers' banners.
    QStringList lateBanners() const {
        QStringList texts;
        for (auto* banner : context->banners().banners())
            if (banner->notification().subtitle == context->text(texts::kLateAnswerTitle).toStdString())
                texts << QString::fromStdString(banner->notification().informativeText);
        return texts;
    }
};

// A Close All sent while an earlier one of the same positions still waits (its window closed): the
// new list names the earlier request in each of its rows and ticks none of them; sending them asks
// first, naming it, with Cancel the default (Return sends nothing); sent anyway, the server closes
// them once, and the second request reads its refusals, never closed.
TEST_F(CloseAllEveryPositionTest, APositionAnEarlierCloseAllWaitsForIsNamedUntickedAndAskedAbout) {
    std::vector<interfaces::RequestAnswer> answers;
    QObject::connect(session.get(), &ClientModel::requestAnswered, window.get(),
                     [&](const interfaces::RequestAnswer& answer) { answers.push_back(answer); });
    const std::set<std::string> book = serverBook();
    ASSERT_EQ(book.size(), 4u);
    server->holdOrders(true);
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    EXPECT_EQ(find<QPushButton>(closeAll, "closeAllButton")->text(), context->text(texts::kCloseAll));
    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    ASSERT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 1; }));
    QTest::mouseClick(find<QPushButton>(closeAll, "notNowButton"), Qt::LeftButton);
    ASSERT_FALSE(closeAll->isVisible());

    closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* table = find<QTableView>(closeAll, "closeAllTableView");
    QAbstractItemModel* lines = table->model();
    QAbstractItemModelTester tester(lines, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(lines->rowCount(), 4);
    const int column = lines->columnCount() - 1;
    EXPECT_EQ(lines->headerData(column, Qt::Horizontal).toString(),
              context->text(texts::kCloseAllAwaitedColumn));
    const QString earlier = cellText(lines, 0, column);
    EXPECT_TRUE(earlier.contains("#300001") && earlier.contains("#300902")) << earlier.toStdString();
    for (int row = 0; row < lines->rowCount(); ++row)
        EXPECT_EQ(cellText(lines, row, column), earlier) << row;
    EXPECT_EQ(ticks(lines), 0);
    auto* button = find<QPushButton>(closeAll, "closeAllButton");
    EXPECT_FALSE(button->isEnabled());
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    EXPECT_EQ(heading->text(), filledIn(context->text(texts::kCloseAllSomeAwaitedHeading), {"4"}));

    // Ticked anyway: the question names the earlier request, and Return (Cancel) sends nothing.
    clickTickTitle(table);
    ASSERT_EQ(ticks(lines), 4);
    ASSERT_EQ(button->text(), context->text(texts::kCloseAll));
    const auto question = [&] {
        return CommonAlert::showing(closeAll, QStringLiteral("closeAllSendAwaitedAgain"));
    };
    QTest::mouseClick(button, Qt::LeftButton);
    QMessageBox* ask = question();
    ASSERT_TRUE(ask);
    EXPECT_EQ(ask->informativeText(),
              filledIn(context->text(texts::kCloseAllSendAwaitedAgainQuestion), {"4", earlier}));
    EXPECT_EQ(ask->defaultButton()->text(), context->text(texts::kCancel));
    ask->activateWindow();
    ASSERT_TRUE(guitest::waitForActive(ask));
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return !question(); }));
    EXPECT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Choosing);
    EXPECT_EQ(server->stats().heldOrderRequests, 1);

    QTest::mouseClick(button, Qt::LeftButton);
    ask = question();
    ASSERT_TRUE(ask);
    for (QAbstractButton* choice : ask->buttons())
        if (choice->text() == context->text(texts::kSendRequestAgain))
            QTest::mouseClick(choice, Qt::LeftButton);
    ASSERT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 2; }));

    // Answered in the order sent: the first closes all four, the second is refused each of them. The
    // wire cannot tell the two apart: which closed them is not known, but each position is closed
    // whichever did, and each row reads closed, with what is known, never refused.
    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    server->holdOrders(false);
    ASSERT_TRUE(waitFor([&] { return !closeAll->flow().waiting(); }));
    EXPECT_TRUE(serverBook().empty());
    const QAbstractItemModel* sent = find<QTableView>(closeAll, "closeAllStatusTableView")->model();
    ASSERT_EQ(sent->rowCount(), 4);
    for (int row = 0; row < sent->rowCount(); ++row)
        EXPECT_TRUE(cellText(sent, row, 6).startsWith(context->text(kStatusClosedKey) + ": ")) << row;
    EXPECT_EQ(heading->text(), context->text(kHeaderClosedSomeByOneOfLikeKey));
    // The first, given up, is told late: all four closed, by which request not known; once.
    const QString closed =
        filledIn(context->text(texts::kLateClosedSomeByOneOfLike), {earlier, "4", "4", ""});
    ASSERT_TRUE(waitFor([&] { return lateBanners().join("\n").contains(closed); }))
        << lateBanners().join("\n").toStdString();
    EXPECT_EQ(lateBanners().join("\n").count(closed), 1);
    for (const auto& answer : answers)
        EXPECT_TRUE(!answer.known && answer.closedByOne) << answer.request << " " << answer.position;
}

// One position waiting for an earlier request is told of as one, not as "1 of them still wait".
TEST_F(CloseAllEveryPositionTest, OnePositionAnEarlierCloseAllWaitsForIsToldOfAsOne) {
    server->holdOrders(true);
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* lines = find<QTableView>(closeAll, "closeAllTableView")->model();
    for (int row = 1; row < lines->rowCount(); ++row)
        lines->setData(lines->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
    ASSERT_EQ(closeAll->flow().ticked().size(), 1u);
    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 1; }));
    QTest::mouseClick(find<QPushButton>(closeAll, "notNowButton"), Qt::LeftButton);

    closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* table = find<QTableView>(closeAll, "closeAllTableView");
    lines = table->model();
    EXPECT_EQ(find<QLabel>(closeAll, "headerTextField")->text(),
              context->text(texts::kCloseAllOneAwaitedHeading));
    QString earlier;
    for (int row = 0; row < lines->rowCount(); ++row)
        if (const QString named = cellText(lines, row, lines->columnCount() - 1); !named.isEmpty())
            earlier = named;
    ASSERT_FALSE(earlier.isEmpty());
    clickTickTitle(table);
    QTest::mouseClick(find<QPushButton>(closeAll, "closeAllButton"), Qt::LeftButton);
    QMessageBox* ask = CommonAlert::showing(closeAll, QStringLiteral("closeAllSendAwaitedAgain"));
    ASSERT_TRUE(ask);
    EXPECT_EQ(ask->informativeText(),
              filledIn(context->text(texts::kCloseAllSendOneAwaitedAgainQuestion), {earlier}));
    ask->reject();
    EXPECT_TRUE(server->answerHeldOrders({0}));
    server->holdOrders(false);
}

// Every listed position ticked closes those positions only: a new order still waiting when Close
// All is pressed, filled before the server takes the Close All, keeps its position. The server's
// limit holds for that request as for any other.
TEST_F(CloseAllEveryPositionTest, EveryListedPositionTickedClosesOnlyWhatTheWindowListed) {
    const std::set<std::string> listed = serverBook();
    ASSERT_EQ(listed.size(), 4u);
    server->limitCloseAll(3);
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* button = find<QPushButton>(closeAll, "closeAllButton");
    auto* heading = find<QLabel>(closeAll, "headerTextField");
    ASSERT_EQ(button->text(), context->text(texts::kCloseAll));
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return heading->text() == context->text(kHeaderRefusedWholeKey); }))
        << heading->text().toStdString();
    EXPECT_EQ(serverBook(), listed);
    QTest::mouseClick(find<QPushButton>(closeAll, "notNowButton"), Qt::LeftButton);
    server->limitCloseAll(200);

    server->holdOrders(true);
    interfaces::OrderTicket ticket;
    ticket.instrument = "EURUSD";
    ticket.account = 20001;
    ticket.quantity = dec("1");
    ASSERT_TRUE(session->client().orders().placeOrder(ticket).sent());
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 1; }));
    closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    button = find<QPushButton>(closeAll, "closeAllButton");
    heading = find<QLabel>(closeAll, "headerTextField");
    ASSERT_EQ(closeAll->flow().ticked().size(), 4u);
    ASSERT_EQ(button->text(), context->text(texts::kCloseAll));
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 2; }));
    // The order is filled first, then the Close All taken.
    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    server->holdOrders(false);
    ASSERT_TRUE(waitFor([&] { return !closeAll->flow().waiting(); }));
    EXPECT_EQ(heading->text(), context->text(kHeaderClosedKey));
    const std::set<std::string> left = serverBook();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(listed.contains(*left.begin())) << *left.begin();
    EXPECT_TRUE(waitFor([&] { return record(DialogRecord::OpenPosition, *left.begin()) != nullptr; }));
}

} // namespace

TEST_F(PositionDialogsTest, CloseAllMarketPriceReadsAsTheOpenPositionsGridsOfTheSameMoment) {
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    QAbstractItemModel* lines = find<QTableView>(closeAll, "closeAllTableView")->model();
    QAbstractItemModel& grid = open->gridModel();
    const auto columnTitled = [](const QAbstractItemModel& model, const QString& title) {
        for (int column = 0; column < model.columnCount(); ++column)
            if (model.headerData(column, Qt::Horizontal).toString() == title)
                return column;
        return -1;
    };
    const QString marketPrice = context->text(texts::kMarketPrice);
    const int gridPrice = columnTitled(grid, marketPrice);
    const int gridId = columnTitled(grid, context->text(texts::kPositionIDColumn));
    const int linePrice = columnTitled(*lines, marketPrice);
    ASSERT_GE(gridPrice, 0);
    ASSERT_GE(gridId, 0);
    ASSERT_GE(linePrice, 0);
    // Prices held: both come to read one moment, each row's price the grid's at its instrument's digits.
    server->holdPrices(true);
    const auto rowsAgree = [&] {
        session->tickNow();
        for (int row = 0; row < lines->rowCount(); ++row) {
            const QString id = cellText(lines, row, 2);
            int listed = -1;
            for (int g = 0; g < grid.rowCount(); ++g)
                if (cellText(&grid, g, gridId) == id)
                    listed = g;
            const QString price = cellText(lines, row, linePrice);
            if (listed < 0 || price.isEmpty() || price != cellText(&grid, listed, gridPrice))
                return false;
        }
        return lines->rowCount() > 0;
    };
    EXPECT_TRUE(waitFor(rowsAgree));
}

// A close refused by the server while its position then goes (closed by another request): one alert
// on the main window says that the position is no longer held and that the server refused the close,
// with its reason; the refusal does not stay stacked under it.
TEST_F(PositionDialogsTest, ARefusedCloseWhosePositionThenGoesIsToldInOneAlert) {
    open->runAction(RowAction::ClosePosition, "300002");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    ASSERT_TRUE(server->setMarketOpen("XAUUSD", false));
    QTest::mouseClick(find<QPushButton>(sheet, "CloseAndCancelButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return alertOn(sheet) != nullptr; }));
    const QString reason = alertOn(sheet)->informativeText();
    ASSERT_FALSE(reason.isEmpty());
    ASSERT_TRUE(server->setMarketOpen("XAUUSD", true));
    // The refusal still on screen, the position closes by another request.
    const auto held = record(DialogRecord::OpenPosition, "300002");
    ASSERT_TRUE(held);
    const auto other = session->client().orders().closePosition("300002", held->RemainingQty);
    ASSERT_TRUE(other.sent());
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible() && alertOn(window.get()); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList shown;
    for (QWidget* widget : QApplication::allWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            shown << box->text() + " / " + box->informativeText();
    ASSERT_EQ(shown.size(), 1) << shown.join(" | ").toStdString();
    QMessageBox* alert = alertOn(window.get());
    EXPECT_EQ(alert->text(), context->text(texts::kPositionOrOrderNoLongerHeld).replace("{0}", "300002"));
    EXPECT_EQ(alert->informativeText(), context->text(texts::kSheetRefusedThenGone).replace("{0}", reason));
    alert->accept();
}

// A close whose outcome is not known (a like close of the whole position sent in the same pass: the
// server closes the position for one and refuses it to the other) keeps what it was told when its
// position then goes: the one alert that says the position is no longer held says that too.
TEST_F(PositionDialogsTest, ACloseWhoseOutcomeIsNotKnownKeepsItWhenItsPositionGoes) {
    // Each request's text marks it among its like ones: the sheet's is the one the interface did not send.
    std::map<std::uint64_t, QString> known;
    QObject::connect(session.get(), &ClientModel::requestAnswered, window.get(),
                     [&](const interfaces::RequestAnswer& answer) {
                         if (answer.notKnown())
                             known[answer.request] = QString::fromStdString(answer.whatIsKnown);
                     });
    open->runAction(RowAction::ClosePosition, "300002");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    const auto held = record(DialogRecord::OpenPosition, "300002");
    ASSERT_TRUE(held);
    // The sheet offers the whole position: the two closes are alike.
    ASSERT_EQ(dec(find<QComboBox>(sheet, "QuantityComboField")->currentText().toStdString()),
              held->RemainingQty);
    server->holdOrders(true);
    QTest::mouseClick(find<QPushButton>(sheet, "CloseAndCancelButton"), Qt::LeftButton);
    // In the same pass: both go out with one request number.
    const auto other = session->client().orders().closePosition("300002", held->RemainingQty);
    ASSERT_TRUE(other.sent());
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 2; }));
    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    server->holdOrders(false);
    // The sheet shows what is known (the answer's text); its next refresh finds the position gone.
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible() && alertOn(window.get()); }));
    ASSERT_EQ(known.size(), 2u);
    known.erase(other.request);
    ASSERT_EQ(known.size(), 1u);
    QMessageBox* alert = alertOn(window.get());
    EXPECT_EQ(alert->text(), context->text(texts::kPositionOrOrderNoLongerHeld).replace("{0}", "300002"));
    EXPECT_EQ(alert->informativeText(),
              context->text(texts::kSheetNotKnownThenGone).replace("{0}", known.begin()->second));
    alert->accept();
}

// The close-all list's live cells are told to its view when they change, not only held by the model:
// a quote's move repaints the market price and the floating P/L of its rows.
TEST_F(PositionDialogsTest, CloseAllTellsItsViewOfEachMoveOfTheLiveCells) {
    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* view = find<QTableView>(closeAll, "closeAllTableView");
    QAbstractItemModel* lines = view->model();
    const auto columnTitled = [&](const char* key) {
        for (int column = 0; column < lines->columnCount(); ++column)
            if (lines->headerData(column, Qt::Horizontal).toString() == context->text(key))
                return column;
        return -1;
    };
    const int price = columnTitled(texts::kMarketPrice);
    const int profit = columnTitled(texts::kFloatingPL);
    ASSERT_GE(price, 0);
    ASSERT_GE(profit, 0);
    int row = -1;
    for (int r = 0; r < lines->rowCount(); ++r)
        if (cellText(lines, r, 2) == "300001")
            row = r;
    ASSERT_GE(row, 0);
    view->scrollTo(lines->index(row, price));
    ASSERT_TRUE(waitFor(
        [&] { return !cellText(lines, row, price).isEmpty() && !cellText(lines, row, profit).isEmpty(); }));
    const QString priceBefore = cellText(lines, row, price);
    const QString profitBefore = cellText(lines, row, profit);

    // What the view is told, and what it paints, from here on.
    QSignalSpy told(lines, &QAbstractItemModel::dataChanged);
    struct PaintLog : QObject {
        QRegion painted;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                painted += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } log;
    QCoreApplication::processEvents();
    view->viewport()->installEventFilter(&log);
    log.painted = {};
    // EURUSD moves, short of 300001's take profit (1.09500): a buy is valued at the bid.
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08900", "1.08920"));
    ASSERT_TRUE(waitFor([&] {
        session->tickNow();
        return cellText(lines, row, price) != priceBefore && cellText(lines, row, profit) != profitBefore;
    }));
    ASSERT_EQ(cellText(lines, row, 2), "300001");
    const auto toldOf = [&](int column) {
        for (const QList<QVariant>& change : told) {
            const auto from = change.at(0).value<QModelIndex>();
            const auto to = change.at(1).value<QModelIndex>();
            if (from.row() <= row && row <= to.row() && from.column() <= column && column <= to.column())
                return true;
        }
        return false;
    };
    EXPECT_TRUE(toldOf(price));
    EXPECT_TRUE(toldOf(profit));
    const QRect priceCell = view->visualRect(lines->index(row, price));
    const QRect profitCell = view->visualRect(lines->index(row, profit));
    EXPECT_TRUE(waitFor([&] { return log.painted.contains(priceCell) && log.painted.contains(profitCell); }))
        << "the cells changed are painted again";
    view->viewport()->removeEventFilter(&log);
}

// A sheet whose close was carried out waits for the trader's edit; a line lost and a sign-in again with
// nothing sent since changes nothing of that: the figures are still no request the trader made.
TEST_F(PositionDialogsTest, ASheetHeldForAnEditStaysHeldThroughAnotherSignIn) {
    CloseAndCancelPositionWindowController* sheet = nullptr;
    QComboBox* quantity = nullptr;
    QPushButton* close = nullptr;
    ASSERT_NO_FATAL_FAILURE(closeInPartBeforeTheLineWent(sheet, quantity, close));
    ASSERT_FALSE(close->isEnabled());

    ASSERT_NO_FATAL_FAILURE(loseTheLineAndSignInAgain(close));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(close->isEnabled()) << "live on figures the trader did not ask for";
    const int requestsBefore = server->stats().orderRequests;
    QTest::mouseClick(close, Qt::LeftButton);
    ASSERT_TRUE(guitest::clickInto(quantity->lineEdit()));
    EXPECT_EQ(server->stats().orderRequests, requestsBefore);

    // An edit of the trader's own while the line is lost: still nothing to send on until the next lists;
    // after them, the edit stands and may be sent.
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    type(quantity, "0.1");
    EXPECT_FALSE(close->isEnabled()) << "live on the lost session's figures";
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return close->isEnabled(); }));
    EXPECT_EQ(quantity->currentText(), QStringLiteral("0.1"));
}

// A sheet with nothing sent: its button waits through the lost line and comes back at its user's
// next sign-in, once the lists are read; another user's sign-in gives it no button.
TEST_F(PositionDialogsTest, ASheetWithNothingSentTakesItsButtonBackAtItsUsersSignIn) {
    open->runAction(RowAction::ClosePosition, "300001");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    auto* close = find<QPushButton>(sheet, "CloseAndCancelButton");
    ASSERT_TRUE(close->isEnabled());

    ASSERT_NO_FATAL_FAILURE(loseTheLineAndSignInAgain(close));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(close->isEnabled()) << "never back after its user's sign-in";

    ASSERT_NO_FATAL_FAILURE(loseTheLineAndSignInAgain(close, "trader", "trader1234"));
    if (sheet->isVisible()) {
        EXPECT_FALSE(close->isEnabled()) << "live on another user's session";
    }

    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] {
        const auto& lists = session->client().dataService();
        return lists.openPositionsListed && lists.pendingOrdersListed;
    }));
    session->tickNow();
    if (sheet->isVisible()) {
        EXPECT_TRUE(close->isEnabled()) << "never back after its user signed in again";
    }
}

// The line lost with a request waiting: the sheet's time limit stops with it, so nothing makes the button
// live on the lost session's figures before the next sign-in.
TEST_F(PositionDialogsTest, ALostLineStopsTheSheetsTimeLimit) {
    open->runAction(RowAction::ClosePosition, "300001");
    auto* sheet = window->findChild<CloseAndCancelPositionWindowController*>();
    ASSERT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
    auto* close = find<QPushButton>(sheet, "CloseAndCancelButton");
    type(find<QComboBox>(sheet, "QuantityComboField"), "0.2");
    ASSERT_NO_FATAL_FAILURE(sendThenLoseTheLine(sheet, close, false));
    EXPECT_NE(signalledState, interfaces::LoginState::SignedIn);
    EXPECT_FALSE(sheet->answerTimeLimitRuns());
    EXPECT_FALSE(close->isEnabled());
    EXPECT_EQ(sheet->answerLine()->text(), context->text(texts::kSheetRequestNoAnswer));
}
