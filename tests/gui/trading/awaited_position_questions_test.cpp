// A request on positions an earlier request still waits for, in the real windows against the
// in-process test server holding its order requests: the close and offset sheets ask first as Close
// All does, and each question says what the earlier request may do; a Close All row the server
// refused says whether its position is still open and what it holds.
#include "gui/app/common_alert.h"
#include "gui/app/language.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_pane.h"
#include "gui/main/main_window_controller.h"
#include "gui/texts.h"
#include "gui/trading/close_all_window_controller.h"
#include "gui/trading/close_and_cancel_position_window_controller.h"
#include "gui/trading/offset_position_window_controller.h"
#include "gui/trading/positions_window_fixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableView>

#include <functional>

namespace {

using guitest::waitFor;
using namespace tc::gui;

const QString kTopic = QStringLiteral("sheetSendAwaitedAgain");

// 300902 within the group's largest close, so that Close All may send every position.
class AwaitedQuestionsTest : public guitest::PositionsWindowTest {
protected:
    AwaitedQuestionsTest() : PositionsWindowTest("2") {}

    template <class W>
    W* shown() const {
        for (W* found : window->findChildren<W*>())
            if (found->isVisible())
                return found;
        return nullptr;
    }
    template <class W>
    static W* find(QObject* root, const char* name) {
        W* found = root->findChild<W*>(QLatin1String(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    // The close sheet of 300001 as the grid's row menu opens it, its whole quantity filled.
    CloseAndCancelPositionWindowController* closeSheet() {
        open->runAction(RowAction::ClosePosition, "300001");
        CloseAndCancelPositionWindowController* sheet = nullptr;
        waitFor([&] { return (sheet = shown<CloseAndCancelPositionWindowController>()) != nullptr; });
        return sheet;
    }
    // The offset sheet of 300001, 300901 ticked to give `quantity`.
    OffsetPositionWindowController* offsetSheet(const QString& quantity) {
        open->runAction(RowAction::OffsetPosition, "300001");
        OffsetPositionWindowController* sheet = nullptr;
        if (!waitFor([&] { return (sheet = shown<OffsetPositionWindowController>()) != nullptr; }))
            return nullptr;
        auto* table = find<QTableView>(sheet, "offsetPositionTableView");
        QAbstractItemModel* lines = table->model();
        lines->setData(lines->index(0, 0), Qt::Checked, Qt::CheckStateRole);
        auto* box = qobject_cast<QComboBox*>(table->indexWidget(lines->index(0, 8)));
        EXPECT_TRUE(box && box->isEnabled());
        if (box)
            guitest::typeOver(box->lineEdit(), quantity);
        return sheet;
    }
    static QPushButton* sendButton(RecordSheet* sheet) {
        if (auto* offset = qobject_cast<OffsetPositionWindowController*>(sheet))
            return find<QPushButton>(offset, "offsetButton");
        return find<QPushButton>(sheet, "CloseAndCancelButton");
    }
    CloseAllWindowController* openCloseAll() {
        auto* button = open->findChild<QPushButton*>(QStringLiteral("closeAllButton"));
        if (!button || !waitFor([&] { return button->isEnabled(); }))
            return nullptr;
        QTest::mouseClick(button, Qt::LeftButton);
        CloseAllWindowController* closeAll = nullptr;
        waitFor([&] { return (closeAll = shown<CloseAllWindowController>()) != nullptr; });
        return closeAll;
    }
    static void clickTickTitle(QTableView* table) {
        QHeaderView* titles = table->horizontalHeader();
        QTest::mouseClick(
            titles->viewport(), Qt::LeftButton, {},
            QPoint(titles->sectionViewportPosition(0) + titles->sectionSize(0) / 2, titles->height() / 2));
    }
    // The request's button pressed and the window's request held by the server, then its window
    // closed, giving it up: it still waits on its positions.
    void sendHeldAndGiveUp(QWidget* sheet, QPushButton* send, QPushButton* notNow) {
        const int held = server->stats().heldOrderRequests;
        QTest::mouseClick(send, Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == held + 1; }));
        QTest::mouseClick(notNow, Qt::LeftButton);
        ASSERT_FALSE(sheet->isVisible());
    }
    // The one earlier request waiting on 300001, in its own words.
    std::string earlierOn300001() {
        std::string said;
        for (const auto& request : session->client().orders().requestsOnPositions())
            for (const std::string& id : request.positions)
                if (id == "300001") {
                    EXPECT_TRUE(said.empty()) << "more than one earlier request";
                    said = request.description;
                }
        EXPECT_NE(said.find("300001"), std::string::npos) << said;
        return said;
    }
    // The held requests refused (EURUSD's market shut while the server answers them), the book
    // left as it was for the next row.
    void refuseWhatIsHeld() {
        ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
        server->holdOrders(false);
        ASSERT_TRUE(waitFor([&] { return session->client().orders().requestsOnPositions().empty(); }));
        ASSERT_TRUE(server->setMarketOpen("EURUSD", true));
    }
};

// A second whole close, a close after a Close All given up and a second offset each ask first,
// naming the earlier request and what it may do to the position; Cancel is the default, and Return
// or Escape at the question (the focus in it, as it opened) sends nothing. Send Again sends.
TEST_F(AwaitedQuestionsTest, ACloseOrOffsetOnAPositionAnEarlierRequestWaitsForAsksFirst) {
    struct Row {
        const char* what;
        std::function<void()> earlier;
        std::function<RecordSheet*()> again;
        const char* question;
        const char* mayDo;
    };
    const Row rows[] = {
        {"a second whole close",
         [&] {
             auto* sheet = closeSheet();
             ASSERT_TRUE(sheet);
             ASSERT_EQ(find<QComboBox>(sheet, "QuantityComboField")->currentText(), "1.5");
             sendHeldAndGiveUp(sheet, sendButton(sheet), find<QPushButton>(sheet, "notNowButton"));
         },
         [&] { return closeSheet(); }, texts::kCloseSendAwaitedQuestion, texts::kAwaitedCloseMayCloseFirst},
        {"a close after a Close All given up",
         [&] {
             auto* closeAll = openCloseAll();
             ASSERT_TRUE(closeAll);
             auto* table = find<QTableView>(closeAll, "closeAllTableView");
             clickTickTitle(table); // every row unticked, then 300001 alone ticked
             ASSERT_TRUE(closeAll->flow().ticked().empty());
             QAbstractItemModel* lines = table->model();
             for (int row = 0; row < lines->rowCount(); ++row)
                 if (lines->index(row, 2).data().toString() == "300001")
                     lines->setData(lines->index(row, 0), Qt::Checked, Qt::CheckStateRole);
             ASSERT_EQ(closeAll->flow().ticked(), std::vector<std::string>{"300001"});
             sendHeldAndGiveUp(closeAll, find<QPushButton>(closeAll, "closeAllButton"),
                               find<QPushButton>(closeAll, "notNowButton"));
         },
         [&] { return closeSheet(); }, texts::kCloseSendAwaitedQuestion,
         texts::kAwaitedCloseAllMayCloseFirst},
        {"a second offset",
         [&] {
             auto* sheet = offsetSheet(QStringLiteral("0.5"));
             ASSERT_TRUE(sheet);
             sendHeldAndGiveUp(sheet, sendButton(sheet), find<QPushButton>(sheet, "notNowButton"));
         },
         [&] { return offsetSheet(QStringLiteral("0.5")); }, texts::kOffsetSendAwaitedQuestion,
         texts::kAwaitedOffsetMayChangeFirst},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        server->holdOrders(true);
        ASSERT_NO_FATAL_FAILURE(row.earlier());
        const QString earlier = QString::fromStdString(earlierOn300001());
        RecordSheet* sheet = row.again();
        ASSERT_TRUE(sheet);
        QPushButton* send = sendButton(sheet);
        const int sent = server->stats().orderRequests;
        const auto ask = [&] {
            QTest::mouseClick(send, Qt::LeftButton);
            return QPointer<QMessageBox>(CommonAlert::showing(sheet, kTopic));
        };
        // Return, then Escape: the question goes, the sheet stays with nothing sent.
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            QPointer<QMessageBox> question = ask();
            ASSERT_TRUE(question) << "nothing was asked";
            EXPECT_EQ(question->informativeText(),
                      filledIn(context->text(row.question), {earlier, context->text(row.mayDo)}));
            ASSERT_TRUE(question->defaultButton());
            EXPECT_EQ(question->defaultButton()->text(), context->text(texts::kCancel));
            ASSERT_TRUE(guitest::focusIn(question));
            guitest::pressKey(key);
            ASSERT_TRUE(waitFor([&] { return !question || !question->isVisible(); }));
            EXPECT_TRUE(sheet->isVisible());
            EXPECT_FALSE(sheet->isWaitingForAnswer());
            EXPECT_EQ(server->stats().orderRequests, sent);
        }
        // Sent anyway: it goes, once.
        QPointer<QMessageBox> question = ask();
        ASSERT_TRUE(question);
        for (QAbstractButton* choice : question->buttons())
            if (choice->text() == context->text(texts::kSendRequestAgain))
                QTest::mouseClick(choice, Qt::LeftButton);
        EXPECT_TRUE(sheet->isWaitingForAnswer());
        EXPECT_TRUE(waitFor([&] { return server->stats().orderRequests == sent + 1; }));

        ASSERT_NO_FATAL_FAILURE(refuseWhatIsHeld());
        ASSERT_TRUE(waitFor([&] { return !sheet->isWaitingForAnswer(); }));
        for (QMessageBox* told : sheet->findChildren<QMessageBox*>())
            if (told->isVisible()) // the refusal, not a question answered before
                told->accept();
        sheet->reject();
    }
}

// The question left open while the line drops and the same user signs in again, the new lists not yet
// read: Send Again sends nothing on the lost session's figures.
TEST_F(AwaitedQuestionsTest, SendAgainAfterALostLineSendsNothingBeforeTheNextLists) {
    server->holdOrders(true);
    auto* first = closeSheet();
    ASSERT_TRUE(first);
    ASSERT_NO_FATAL_FAILURE(
        sendHeldAndGiveUp(first, sendButton(first), find<QPushButton>(first, "notNowButton")));
    RecordSheet* sheet = closeSheet();
    ASSERT_TRUE(sheet);
    QTest::mouseClick(sendButton(sheet), Qt::LeftButton);
    QPointer<QMessageBox> question = CommonAlert::showing(sheet, kTopic);
    ASSERT_TRUE(question) << "nothing was asked";
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return signalledState != interfaces::LoginState::SignedIn; }));
    server->setDataServiceSilent(true);
    ASSERT_TRUE(signIn());
    const int sent = server->stats().orderRequests;
    ASSERT_TRUE(question && question->isVisible());
    for (QAbstractButton* choice : question->buttons())
        if (choice->text() == context->text(texts::kSendRequestAgain))
            QTest::mouseClick(choice, Qt::LeftButton);
    EXPECT_FALSE(sheet->isWaitingForAnswer());
    EXPECT_EQ(server->stats().orderRequests, sent);
    server->setDataServiceSilent(false);
    server->holdOrders(false);
}

// An offset still waits when Close All is sent over its positions: the question says that the
// offset may change their quantity and that they are then refused here (not that it may close them).
// The offset reduces 300001 to 1.49 and 300901 to 0.99, the Close All of the listed 1.5 and 1 is
// refused them for quantity, and their rows say they are still open and what they hold.
TEST_F(AwaitedQuestionsTest, ACloseAllOverAWaitingOffsetSaysWhatItMayDoAndARefusedRowWhatIsHeld) {
    server->holdOrders(true);
    auto* offset = offsetSheet(QStringLiteral("0.01"));
    ASSERT_TRUE(offset);
    ASSERT_NO_FATAL_FAILURE(
        sendHeldAndGiveUp(offset, sendButton(offset), find<QPushButton>(offset, "notNowButton")));
    const QString earlier = QString::fromStdString(earlierOn300001());

    auto* closeAll = openCloseAll();
    ASSERT_TRUE(closeAll);
    auto* table = find<QTableView>(closeAll, "closeAllTableView");
    ASSERT_EQ(table->model()->rowCount(), 4);
    EXPECT_EQ(closeAll->flow().ticked().size(), 2u); // the offset's two unticked
    clickTickTitle(table);
    ASSERT_EQ(closeAll->flow().ticked().size(), 4u);
    auto* button = find<QPushButton>(closeAll, "closeAllButton");
    QTest::mouseClick(button, Qt::LeftButton);
    QPointer<QMessageBox> question =
        CommonAlert::showing(closeAll, QStringLiteral("closeAllSendAwaitedAgain"));
    ASSERT_TRUE(question);
    EXPECT_EQ(question->informativeText(),
              filledIn(context->text(texts::kCloseAllSendAwaitedQuestion),
                       {"2", earlier, context->text(texts::kCloseAllAwaitedOffsetMayChangeFirst)}));
    EXPECT_EQ(question->defaultButton()->text(), context->text(texts::kCancel));
    ASSERT_TRUE(guitest::focusIn(question));
    guitest::pressKey(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return !question || !question->isVisible(); }));
    EXPECT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Choosing);
    EXPECT_EQ(server->stats().heldOrderRequests, 1);

    QTest::mouseClick(button, Qt::LeftButton);
    question = CommonAlert::showing(closeAll, QStringLiteral("closeAllSendAwaitedAgain"));
    ASSERT_TRUE(question);
    for (QAbstractButton* choice : question->buttons())
        if (choice->text() == context->text(texts::kSendRequestAgain))
            QTest::mouseClick(choice, Qt::LeftButton);
    ASSERT_EQ(closeAll->flow().phase(), CloseAllFlow::Phase::Sent);
    ASSERT_TRUE(waitFor([&] { return server->stats().heldOrderRequests == 2; }));

    // The offset first, then the Close All.
    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    server->holdOrders(false);
    ASSERT_TRUE(waitFor([&] { return !closeAll->flow().waiting(); }));
    const QAbstractItemModel* sent = find<QTableView>(closeAll, "closeAllStatusTableView")->model();
    const auto status = [&](const QString& id) {
        for (int row = 0; row < sent->rowCount(); ++row)
            if (sent->index(row, 1).data().toString() == id)
                return sent->index(row, 6).data().toString();
        return QString();
    };
    const QString quantityRefused = context->text("1058");
    struct Held {
        QString id;
        QString quantity;
    };
    for (const Held& held : {Held{"300001", "1.49"}, Held{"300901", "0.99"}}) {
        const QString stillHeld =
            filledIn(context->text(texts::kCloseAllRowRefusedStillHeld), {quantityRefused, held.quantity});
        EXPECT_TRUE(waitFor([&] { return status(held.id) == stillHeld; }))
            << held.id.toStdString() << ": " << status(held.id).toStdString();
    }
    EXPECT_EQ(status("300902"), context->text(texts::kExecuted));
}

} // namespace
