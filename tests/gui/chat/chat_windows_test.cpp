// The chat windows against the in-process test server, signed in as demo and opened from the main
// window: texts typed before their room exists, the replies with their banners, the support queue's
// request, the notices with their pop-up, the recent conversations with their transcripts.
#include "gui/app/common_alert.h"
#include "gui/app/in_app_notification_center.h"
#include "gui/app/qt_text.h"
#include "gui/chat/chat_message_window_controller.h"
#include "gui/chat/chat_room_list_model.h"
#include "gui/chat/chat_transcript_view.h"
#include "gui/chat/chat_window_controller.h"
#include "gui/chat/messages_window_controller.h"
#include "gui/chat/recent_conversation_window_controller.h"
#include "gui/login/idle_time.h"
#include "gui/main/main_window_controller.h"
#include "gui/models/session_fixture.h"
#include "gui/texts.h"
#include "platform/rtf_writer.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>

#include <algorithm>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::ChatRoomListModel;
using tc::gui::ChatWindowController;
using tc::gui::TranscriptModel;

class NoIdle : public tc::gui::IdleSource {
public:
    std::int64_t idleSeconds() override { return 0; }
};

class ChatWindowsTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        main = std::make_unique<tc::gui::MainWindowController>(*context, &idle);
    }
    void TearDown() override {
        main.reset();
        SessionTest::TearDown();
    }
    QAction* action(const char* name) { return main->findChild<QAction*>(name); }
    int sent(int type) {
        const auto types = server->stats().streamTypes;
        return static_cast<int>(std::count(types.begin(), types.end(), type));
    }
    // Messages of the demo-trader conversation the server holds, from `first` on: "sender: text".
    std::vector<std::string> conversation(std::size_t first) {
        std::vector<std::string> out;
        const auto all = server->chatConversation("demo", "trader");
        for (std::size_t i = first; i < all.size(); ++i)
            out.push_back(all[i].first + ": " + all[i].second);
        return out;
    }
    static std::string line(const std::string& sender, const std::string& text) {
        return sender + ": " + tc::platform::rtfFromPlainText(text);
    }
    QTreeWidgetItem* contact(ChatWindowController* chat, const QString& userName) {
        QTreeWidget* tree = chat->contactsOutlineView();
        for (int g = 0; g < tree->topLevelItemCount(); ++g)
            for (int c = 0; c < tree->topLevelItem(g)->childCount(); ++c)
                if (tree->topLevelItem(g)->child(c)->data(0, Qt::UserRole + 1).toString() == userName)
                    return tree->topLevelItem(g)->child(c);
        return nullptr;
    }
    // Typed after what the field holds, at the focus a click into it gives.
    static void typeInto(QLineEdit* field, const QString& text) {
        ASSERT_TRUE(guitest::clickInto(field));
        guitest::pressKey(Qt::Key_End);
        guitest::typeKeys(text);
    }
    void type(ChatWindowController* chat, const QString& text, bool withReturn) {
        typeInto(chat->messageTextView(), text);
        if (withReturn)
            guitest::pressKey(Qt::Key_Return);
        else
            QTest::mouseClick(chat->sendButton(), Qt::LeftButton);
    }
    int bannersFrom(const std::string& text) {
        int n = 0;
        for (auto* banner : context->banners().banners())
            if (banner && banner->notification().informativeText == text)
                ++n;
        return n;
    }
    static void doubleClick(QTableView* table, int row) {
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }
    static int rowOf(QTableView* table, const QString& text) {
        for (int r = 0; r < table->model()->rowCount(); ++r)
            for (int c = 0; c < table->model()->columnCount(); ++c)
                if (table->model()->index(r, c).data().toString() == text)
                    return r;
        return -1;
    }

    NoIdle idle;
    std::unique_ptr<tc::gui::MainWindowController> main;
};

TEST_F(ChatWindowsTest, TextsTypedBeforeTheRoomExistsGoOutOnceInOrderAndRepliesShowWithBanners) {
    action("actionChat")->trigger();
    ChatWindowController* chat = main->chatWindow();
    ASSERT_TRUE(chat && chat->isVisible());
    EXPECT_EQ(chat->windowTitle(), context->text(texts::kChat));
    EXPECT_FALSE(chat->sendButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return contact(chat, "trader") != nullptr; }));
    QAbstractItemModelTester tester(chat->messageTableView()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    const std::size_t before = server->chatConversation("demo", "trader").size();

    // The server stands still until both are typed: a click into the field runs the event loop,
    // where its confirmation of the room would otherwise come first.
    server->pauseStream(true);
    chat->contactsOutlineView()->setCurrentItem(contact(chat, "trader"));
    EXPECT_EQ(chat->openConversation(), "trader");
    EXPECT_EQ(chat->windowTitle(), "Trader Two");
    ASSERT_TRUE(chat->sendButton()->isEnabled());
    // Both typed before the server confirmed the room: they wait for it, one room request out.
    type(chat, "first", false);
    type(chat, "second", true);
    const auto* room = session->client().chat().collections().ChatRoomCollection.get("trader");
    ASSERT_TRUE(room && *room);
    EXPECT_FALSE((*room)->isChatRoomCreated);
    EXPECT_TRUE(chat->messageTextView()->text().isEmpty());
    TranscriptModel* transcript = chat->messageTableView()->transcript();
    ASSERT_EQ(transcript->rowCount(), 2);
    EXPECT_TRUE(transcript->line(0).own);
    EXPECT_EQ(transcript->line(1).text, "second");
    // trader is signed out: each text says the server keeps it for them.
    EXPECT_EQ(tc::gui::qt(transcript->line(1).note), context->text(texts::kHeldForSignedOutContact));
    // Pressing send with an empty field sends nothing.
    QTest::mouseClick(chat->sendButton(), Qt::LeftButton);
    EXPECT_EQ(transcript->rowCount(), 2);
    server->pauseStream(false);

    ASSERT_TRUE(waitFor([&] { return conversation(before).size() >= 2; }));
    type(chat, "third", true);
    ASSERT_TRUE(waitFor([&] { return conversation(before).size() >= 3; }));
    EXPECT_EQ(sent(601), 1);

    // The reply shows in the open transcript; the open conversation raises no banner.
    server->sendChatAs("trader", "demo", "Reply one");
    ASSERT_TRUE(waitFor([&] { return transcript->rowCount() == 4; }));
    EXPECT_EQ(transcript->line(3).text, "Reply one");
    EXPECT_FALSE(transcript->line(3).own);
    EXPECT_TRUE(transcript->line(3).head.starts_with("Trader Two["));
    EXPECT_EQ(bannersFrom("Reply one"), 0);

    // With another conversation open, the next reply comes with a banner and waits in its transcript.
    chat->contactsOutlineView()->setCurrentItem(contact(chat, "suspended"));
    EXPECT_EQ(chat->openConversation(), "suspended");
    EXPECT_EQ(transcript->rowCount(), 0);
    server->sendChatAs("trader", "demo", "Reply two");
    ASSERT_TRUE(waitFor([&] { return bannersFrom("Reply two") == 1; }));
    chat->contactsOutlineView()->setCurrentItem(contact(chat, "trader"));
    ASSERT_EQ(transcript->rowCount(), 5);
    EXPECT_EQ(transcript->line(4).text, "Reply two");

    // Nothing received went back as the user's own text, and nothing was sent twice.
    type(chat, "fourth", true);
    ASSERT_TRUE(waitFor([&] { return conversation(before).size() >= 6; }));
    EXPECT_EQ(conversation(before),
              (std::vector<std::string>{line("demo", "first"), line("demo", "second"), line("demo", "third"),
                                        line("trader", "Reply one"), line("trader", "Reply two"),
                                        line("demo", "fourth")}));
    EXPECT_EQ(sent(603), 4);

    // The first group's heading changes nothing; any other heading empties the window.
    QTreeWidget* tree = chat->contactsOutlineView();
    tree->setCurrentItem(tree->topLevelItem(0));
    EXPECT_EQ(chat->openConversation(), "trader");
    tree->setCurrentItem(tree->topLevelItem(1));
    EXPECT_TRUE(chat->openConversation().empty());
    EXPECT_FALSE(chat->sendButton()->isEnabled());
    EXPECT_EQ(chat->windowTitle(), context->text(texts::kChat));
    tree->setCurrentItem(contact(chat, "trader"));

    // Closing returns the window to its empty state: banners for every conversation again.
    chat->close();
    EXPECT_TRUE(chat->openConversation().empty());
    EXPECT_EQ(transcript->rowCount(), 0);
}

TEST_F(ChatWindowsTest, ATextTheCoreRefusesStaysInTheFieldAndTheWindowSaysWhy) {
    action("actionChat")->trigger();
    ChatWindowController* chat = main->chatWindow();
    ASSERT_TRUE(waitFor([&] { return contact(chat, "trader") != nullptr; }));
    chat->contactsOutlineView()->setCurrentItem(contact(chat, "trader"));
    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return !session->client().isNetworkAvailable(); }));
    // The core's reason reads in the trader's language, as every text of the window does.
    ASSERT_TRUE(context->language().select(7)); // French
    type(chat, "kept", true);
    EXPECT_EQ(chat->messageTextView()->text(), "kept");
    QMessageBox* alert = tc::gui::CommonAlert::showing(chat, QStringLiteral("chat"));
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->informativeText(), QStringLiteral("Aucune connexion au serveur de trading."));
    alert->close();
    ASSERT_TRUE(context->language().select(0));
    EXPECT_EQ(chat->messageTableView()->transcript()->rowCount(), 0);
    EXPECT_EQ(sent(601) + sent(603), 0);
}

// A pasted control character is refused with its reason; a draft stays with its conversation.
TEST_F(ChatWindowsTest, AnUnsendableTextIsRefusedWithItsReasonAndDraftsStayWithTheirConversation) {
    action("actionChat")->trigger();
    ChatWindowController* chat = main->chatWindow();
    ASSERT_TRUE(waitFor([&] { return contact(chat, "trader") != nullptr && contact(chat, "suspended"); }));
    EXPECT_FALSE(chat->messageTextView()->isEnabled()) << "nothing is typed for no one";
    const auto pasteAndRefuse = [&](QLineEdit* field, QAbstractButton* press, const char* fieldKey) {
        QApplication::clipboard()->setText(QStringLiteral("for trader\x03"));
        ASSERT_TRUE(guitest::clickInto(field));
        guitest::pressKey(Qt::Key_End);
        guitest::pressKey(Qt::Key_V, Qt::ControlModifier);
        QTest::mouseClick(press, Qt::LeftButton);
        QMessageBox* alert = tc::gui::CommonAlert::showing(press->window(), QStringLiteral("chat"));
        ASSERT_TRUE(alert);
        EXPECT_EQ(
            alert->informativeText(),
            context->text(texts::kHoldsCharacterCannotSentControl).replace("{0}", context->text(fieldKey)));
        alert->close();
    };
    chat->contactsOutlineView()->setCurrentItem(contact(chat, "trader"));
    QLineEdit* field = chat->messageTextView();
    pasteAndRefuse(field, chat->sendButton(), texts::kMessage);
    EXPECT_EQ(field->text(), QStringLiteral("for trader\x03"));
    chat->contactsOutlineView()->setCurrentItem(contact(chat, "suspended"));
    EXPECT_TRUE(field->text().isEmpty());
    chat->contactsOutlineView()->setCurrentItem(contact(chat, "trader"));
    EXPECT_EQ(field->text(), QStringLiteral("for trader\x03"));

    // A support request that cannot be sent keeps its sheet open.
    chat->chatQueueTableView()->selectRow(0);
    ASSERT_TRUE(chat->queueRequestSheet() && chat->queueRequestSheet()->isVisible());
    chat->queueRequestSheet()->messageField()->clear();
    pasteAndRefuse(chat->queueRequestSheet()->messageField(), chat->queueRequestSheet()->requestButton(),
                   texts::kRequestMessage);
    EXPECT_TRUE(chat->queueRequestSheet()->isVisible());
    EXPECT_EQ(sent(601) + sent(603) + sent(678), 0);
}

TEST_F(ChatWindowsTest, TheSameUserSigningInAgainFindsTheOpenConversationWithItsTextsAndTheUnsentOne) {
    action("actionChat")->trigger();
    ChatWindowController* chat = main->chatWindow();
    ASSERT_TRUE(waitFor([&] { return contact(chat, "trader") != nullptr; }));
    chat->contactsOutlineView()->setCurrentItem(contact(chat, "trader"));
    const std::size_t before = server->chatConversation("demo", "trader").size();
    type(chat, "before the loss", false);
    ASSERT_TRUE(waitFor([&] { return conversation(before).size() == 1; }));
    typeInto(chat->messageTextView(), "unsent");
    TranscriptModel* transcript = chat->messageTableView()->transcript();
    ASSERT_EQ(transcript->rowCount(), 1);

    server->dropStreams();
    ASSERT_TRUE(waitFor([&] { return !session->client().isNetworkAvailable(); }));
    ASSERT_TRUE(signIn());
    EXPECT_EQ(chat->openConversation(), "trader");
    EXPECT_EQ(chat->windowTitle(), "Trader Two");
    EXPECT_EQ(chat->messageTextView()->text(), "unsent");
    // The transcript as it was, then with the room's earlier messages the server holds, each once.
    const auto texts = [&] {
        std::vector<std::string> out;
        for (int row = 0; row < transcript->rowCount(); ++row)
            out.push_back(transcript->line(row).text);
        return out;
    };
    ASSERT_TRUE(waitFor([&] { return texts().size() == before + 1; })) << texts().size();
    EXPECT_EQ(texts().back(), "before the loss");
    EXPECT_TRUE(waitFor([&] { return chat->sendButton()->isEnabled(); }));
    QTest::mouseClick(chat->sendButton(), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return conversation(before).size() == 2; }));
    EXPECT_EQ(conversation(before).back(), line("demo", "unsent"));
    EXPECT_EQ(texts().back(), "unsent");
}

TEST_F(ChatWindowsTest, ASupportQueueIsAskedFirstThenItsConversationOpens) {
    action("actionChat")->trigger();
    ChatWindowController* chat = main->chatWindow();
    QTableView* queues = chat->chatQueueTableView();
    QAbstractItemModelTester tester(queues->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    const auto queueText = [&] { return queues->model()->index(0, 0).data().toString(); };
    ASSERT_TRUE(waitFor([&] { return queues->model()->rowCount() == 1; }));
    EXPECT_EQ(queueText(), "Client Support");
    EXPECT_EQ(queues->model()->headerData(0, Qt::Horizontal).toString(), context->text(texts::kSupport));

    queues->selectRow(0);
    EXPECT_EQ(chat->openConversation(), "1");
    EXPECT_EQ(chat->windowTitle(), "Client Support");
    ASSERT_TRUE(chat->queueRequestSheet() && chat->queueRequestSheet()->isVisible());
    EXPECT_EQ(chat->queueRequestSheet()->messageField()->text(), context->text(texts::kHi));
    // Cancel: back to the empty state, nothing asked.
    chat->queueRequestSheet()->reject();
    EXPECT_TRUE(chat->openConversation().empty());
    EXPECT_EQ(sent(678), 0);

    queues->selectRow(0);
    ASSERT_TRUE(chat->queueRequestSheet()->isVisible());
    QLineEdit* question = chat->queueRequestSheet()->messageField();
    guitest::typeOver(question, "I need help with a withdrawal");
    QTest::mouseClick(chat->queueRequestSheet()->requestButton(), Qt::LeftButton);
    TranscriptModel* transcript = chat->messageTableView()->transcript();
    // The question heads the transcript, before the agent's greeting.
    ASSERT_TRUE(waitFor([&] { return transcript->rowCount() == 2; }));
    EXPECT_EQ(transcript->line(0).text, "I need help with a withdrawal");
    EXPECT_TRUE(transcript->line(0).own);
    EXPECT_EQ(transcript->line(1).text, "Hello, how can we help?");
    EXPECT_EQ(sent(678), 1);
    ASSERT_TRUE(waitFor([&] { return queueText() == "Client Support"; }));

    // Accepted: chosen again, it opens without asking.
    chat->showWindow();
    queues->selectRow(0);
    EXPECT_FALSE(chat->queueRequestSheet()->isVisible());
    EXPECT_EQ(chat->openConversation(), "1");
    type(chat, "Thanks", true);
    EXPECT_TRUE(waitFor([&] { return sent(603) == 1; }));
}

TEST_F(ChatWindowsTest, ANoticeArrivesBoldAndOpeningItClearsTheMarkAndPopsUpItsFirstMessage) {
    action("actionMessages")->trigger();
    tc::gui::MessagesWindowController* notices = main->noticesWindow();
    ASSERT_TRUE(notices && notices->isVisible());
    QTableView* table = notices->messagesTableView();
    QAbstractItemModelTester tester(table->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    const auto bold = [&](int row) {
        return table->model()->index(row, 0).data(Qt::FontRole).value<QFont>().bold();
    };
    // The rows come with the recent conversations, the unread mark with the offline messages after them.
    ASSERT_TRUE(waitFor([&] {
        return rowOf(table, "Welcome") >= 0 && rowOf(table, "Holiday hours") >= 0 &&
               bold(rowOf(table, "Holiday hours"));
    }));
    EXPECT_FALSE(bold(rowOf(table, "Welcome")));
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), context->text(texts::kSubject));

    server->sendNotice("demo", "Rate change", "Margins rise on Friday.");
    // The notice's room comes first, its text in a message of its own.
    ASSERT_TRUE(waitFor([&] {
        const int at = rowOf(table, "Rate change");
        return at >= 0 && !table->model()->index(at, 1).data().toString().isEmpty();
    }));
    const int row = rowOf(table, "Rate change");
    EXPECT_TRUE(bold(row));
    EXPECT_EQ(table->model()->index(row, 1).data().toString(), "Margins rise on Friday.");
    const int acknowledged = sent(608);
    doubleClick(table, row);
    ASSERT_TRUE(notices->noticeWindow() && notices->noticeWindow()->isVisible());
    EXPECT_EQ(notices->noticeWindow()->subjectLabel()->text(), "Subject: Rate change");
    EXPECT_TRUE(notices->noticeWindow()->timeLabel()->text().startsWith("Time: "));
    EXPECT_EQ(notices->noticeWindow()->messageTextView()->toPlainText(), "Margins rise on Friday.");
    EXPECT_FALSE(bold(rowOf(table, "Rate change")));
    EXPECT_TRUE(waitFor([&] { return sent(608) == acknowledged + 1; }));
    EXPECT_EQ(sent(615), 0);

    // A notice whose message is not here is asked for, and pops up when it comes.
    const int held = rowOf(table, "Holiday hours");
    doubleClick(table, held);
    EXPECT_FALSE(bold(rowOf(table, "Holiday hours")));
    ASSERT_TRUE(
        waitFor([&] { return notices->noticeWindow()->subjectLabel()->text() == "Subject: Holiday hours"; }));
    EXPECT_EQ(sent(615), 1);
    EXPECT_TRUE(notices->noticeWindow()->messageTextView()->toPlainText().startsWith("Markets close early"));
    EXPECT_EQ(notices->noticeWindow()->timeLabel()->text(), "Time: 01/05/2024 09:00:00");
}

TEST_F(ChatWindowsTest, RecentConversationsOpenTheirTranscripts) {
    action("actionChat")->trigger();
    ChatWindowController* chat = main->chatWindow();
    chat->findChild<QAction*>("rcToolbarItem")->trigger();
    tc::gui::RecentConversationWindowController* recent = chat->recentConversations();
    ASSERT_TRUE(recent && recent->isVisible());
    QTableView* table = recent->recentConversationTableView();
    QAbstractItemModelTester tester(table->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    ASSERT_TRUE(waitFor([&] { return rowOf(table, "Trader Two") >= 0; }));
    const int row = rowOf(table, "Trader Two");
    EXPECT_EQ(table->model()->index(row, 1).data().toString(), "Thank you, please keep me posted.");
    EXPECT_EQ(rowOf(table, "Holiday hours"), -1) << "notices are not conversations";

    doubleClick(table, row);
    ASSERT_TRUE(
        waitFor([&] { return recent->transcriptWindow() && recent->transcriptWindow()->isVisible(); }));
    tc::gui::ChatMessageWindowController* window = recent->transcriptWindow();
    EXPECT_EQ(window->windowTitle(), "Trader Two");
    TranscriptModel* transcript = window->chatMessageTableView()->transcript();
    ASSERT_EQ(transcript->rowCount(), 2);
    EXPECT_EQ(transcript->line(0).whole(),
              "Trader Two[04/01/2024 10:15:00 AM]:\tYour EURUSD order is filled at 1.0850.");
    EXPECT_FALSE(transcript->line(0).own);
    EXPECT_TRUE(transcript->line(1).own);
    EXPECT_EQ(sent(615), 1);
    EXPECT_EQ(sent(608), 0) << "a conversation is not acknowledged";

    // Its messages are here now: opened again at once, nothing asked.
    window->close();
    doubleClick(table, rowOf(table, "Trader Two"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(sent(615), 1);
}

} // namespace
