// The password and account-access sheets against the in-process test server, signed in as demo and
// opened from the main window's actions as a user would.
#include "gui/app/common_alert.h"
#include "gui/funding/account_access_setting_window_controller.h"
#include "gui/funding/change_password_window_controller.h"
#include "gui/main/main_window_controller.h"
#include "gui/models/session_fixture.h"
#include "gui/settings/settings_window_controller.h"
#include "gui/texts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

#include <algorithm>

namespace {

using guitest::waitFor;
using namespace tc::gui;

class AccountAdminTest : public guitest::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        context->setClientModel(session.get());
        ASSERT_TRUE(signIn());
        window = std::make_unique<MainWindowController>(*context);
        window->setPasswordChangedHandler([this](const std::string& p) { remembered.push_back(p); });
        window->show();
        ASSERT_TRUE(guitest::waitForExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        SessionTest::TearDown();
    }
    QAction* action(const char* name) const { return window->findChild<QAction*>(name); }
    template <class W>
    static W* find(QObject* root, const char* name) {
        W* found = root->findChild<W*>(QLatin1String(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    static QMessageBox* alertOn(QWidget* owner) {
        for (QMessageBox* box : owner->findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly))
            if (box->isVisible())
                return box;
        return nullptr;
    }
    template <class Sheet>
    Sheet* openSheet(const char* actionName) {
        QAction* a = action(actionName);
        EXPECT_TRUE(a && a->isEnabled()) << actionName;
        if (!a)
            return nullptr;
        a->trigger();
        auto* sheet = window->settingsWindow() ? window->settingsWindow()->findChild<Sheet*>() : nullptr;
        EXPECT_TRUE(sheet && waitFor([&] { return sheet->isVisible(); }));
        return sheet;
    }
    int streamMessagesOf(int type) const {
        const auto types = server->stats().streamTypes;
        return static_cast<int>(std::count(types.begin(), types.end(), type));
    }
    void type(ChangePasswordWindowController* sheet, const QString& oldText, const QString& newText,
              const QString& confirm) {
        for (const auto& [name, text] :
             {std::pair{"OldPasswordTextField", oldText}, std::pair{"NewPasswordField", newText},
              std::pair{"ConfirmPasswordField", confirm}}) {
            // Selected whole and deleted, as a trader empties a field, then typed.
            ASSERT_TRUE(guitest::clickInto(find<QLineEdit>(sheet, name)));
            guitest::pressKey(Qt::Key_A, Qt::ControlModifier);
            guitest::pressKey(Qt::Key_Delete);
            guitest::typeKeys(text);
        }
    }

    std::unique_ptr<MainWindowController> window;
    std::vector<std::string> remembered;
};

TEST_F(AccountAdminTest, ARightGrantedToAMappedUserIsSeenOnTheServerAndAnAccountChangeReloadsTheUsers) {
    auto* sheet = openSheet<AccountAccessSettingWindowController>("actionAccessRights");
    ASSERT_TRUE(sheet);
    auto* accounts = find<QComboBox>(sheet, "accountComboBox");
    auto* users = find<QComboBox>(sheet, "userComboBox");
    auto* rights = find<QComboBox>(sheet, "rightsComboBox");
    auto* apply = find<QPushButton>(sheet, "applyButton");
    ASSERT_GE(accounts->count(), 2) << "demo holds 20001, 20002 and 20003";
    EXPECT_EQ(accounts->currentText(), "20001");
    EXPECT_EQ(find<QLabel>(sheet, "accountNameLabel")->text(), "Demo USD");
    EXPECT_EQ(rights->count(), 5);
    EXPECT_FALSE(apply->isEnabled());
    // trader (1002) may trade on 20001.
    ASSERT_TRUE(waitFor([&] { return users->count() == 1 && sheet->mapRequest() == 0; }));
    EXPECT_EQ(users->currentText(), "1002");
    EXPECT_EQ(find<QLabel>(sheet, "userNameLabel")->text(), "trader");
    EXPECT_EQ(rights->currentText(), "Trade");
    ASSERT_TRUE(rights->isEnabled());

    // Another account drops the listed user at once and asks for that account's maps.
    ASSERT_TRUE(guitest::focusIn(sheet));
    ASSERT_TRUE(guitest::tabTo(accounts));
    guitest::pressKey(Qt::Key_Down);
    EXPECT_EQ(accounts->currentText(), "20002");
    EXPECT_EQ(users->count(), 0);
    EXPECT_FALSE(rights->isEnabled());
    EXPECT_NE(sheet->mapRequest(), 0u);
    ASSERT_TRUE(waitFor([&] { return sheet->mapRequest() == 0; }));
    EXPECT_EQ(users->count(), 0) << "nobody else is mapped to 20002";
    EXPECT_FALSE(apply->isEnabled());
    guitest::pressKey(Qt::Key_Up);
    ASSERT_TRUE(waitFor([&] { return users->count() == 1 && sheet->mapRequest() == 0; }));

    // Close Only for trader on 20001; the sheet closes and says the server took it.
    ASSERT_TRUE(guitest::tabTo(rights));
    guitest::pressKey(Qt::Key_Down);
    EXPECT_EQ(rights->currentText(), "Close Only");
    ASSERT_TRUE(apply->isEnabled());
    QTest::mouseClick(apply, Qt::LeftButton);
    EXPECT_FALSE(apply->isEnabled()) << "one edit at a time";
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    QMessageBox* told = alertOn(window->settingsWindow());
    ASSERT_TRUE(told);
    EXPECT_EQ(told->informativeText(), context->text(texts::kAccessRightChanged));
    const auto maps = server->accessMaps();
    EXPECT_TRUE(std::any_of(maps.begin(), maps.end(), [](const testserver::AccessMap& m) {
        return m.userId == 1002 && m.account == 20001 && m.type == 2;
    }));
    EXPECT_TRUE(std::none_of(maps.begin(), maps.end(), [](const testserver::AccessMap& m) {
        return m.userId == 1002 && m.account != 20001;
    })) << "nothing granted on another account";
    told->close();

    // The next opening shows the right the server holds now.
    window->accountAccessClicked();
    ASSERT_TRUE(
        waitFor([&] { return sheet->isVisible() && sheet->mapRequest() == 0 && users->count() == 1; }));
    EXPECT_EQ(rights->currentText(), "Close Only");
}

TEST_F(AccountAdminTest, ARefusedEditClosesTheSheetAndSaysSo) {
    server->refuseDataServiceProcedure("addedituac");
    auto* sheet = openSheet<AccountAccessSettingWindowController>("actionAccessRights");
    ASSERT_TRUE(sheet);
    auto* rights = find<QComboBox>(sheet, "rightsComboBox");
    ASSERT_TRUE(waitFor([&] { return rights->isEnabled() && sheet->mapRequest() == 0; }));
    ASSERT_TRUE(guitest::focusIn(sheet));
    ASSERT_TRUE(guitest::tabTo(rights));
    guitest::pressKey(Qt::Key_End);
    EXPECT_EQ(rights->currentText(), "None");
    QTest::mouseClick(find<QPushButton>(sheet, "applyButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    QMessageBox* told = alertOn(window->settingsWindow());
    ASSERT_TRUE(told);
    EXPECT_EQ(told->informativeText(), context->text(texts::kServerRefusedChangeAccessRight));
    const auto maps = server->accessMaps();
    EXPECT_TRUE(std::any_of(maps.begin(), maps.end(), [](const testserver::AccessMap& m) {
        return m.userId == 1002 && m.account == 20001 && m.type == 1;
    })) << "the server's map keeps its right";
}

// An edit with no answer in time is no refusal: the sheet says the change may have been made, stays
// open, and once the server answers again shows the right it holds (the server made the change).
TEST_F(AccountAdminTest, AnEditWithoutAnAnswerMayHaveBeenMadeAndTheSheetShowsWhatTheServerHolds) {
    auto* sheet = openSheet<AccountAccessSettingWindowController>("actionAccessRights");
    ASSERT_TRUE(sheet);
    auto* rights = find<QComboBox>(sheet, "rightsComboBox");
    auto* apply = find<QPushButton>(sheet, "applyButton");
    ASSERT_TRUE(waitFor([&] { return rights->isEnabled() && sheet->mapRequest() == 0; }));
    EXPECT_EQ(rights->currentText(), "Trade");
    server->setDataServiceSilent(true);
    ASSERT_TRUE(guitest::focusIn(sheet));
    ASSERT_TRUE(guitest::tabTo(rights));
    guitest::pressKey(Qt::Key_Down);
    ASSERT_EQ(rights->currentText(), "Close Only");
    QTest::mouseClick(apply, Qt::LeftButton);
    const interfaces::RequestId edit = sheet->editRequest();
    ASSERT_NE(edit, 0u);
    // What the core says when the request's time limit passes.
    Q_EMIT session->requestFailed({edit, "addedituac", context->text(texts::kNoReplyCameTime).toStdString()});
    EXPECT_TRUE(sheet->isVisible());
    QMessageBox* told = alertOn(sheet);
    ASSERT_TRUE(told);
    EXPECT_EQ(told->informativeText(), context->text(texts::kAccessChangeOutcomeUnknown));
    told->close();
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_NE(sheet->mapRequest(), 0u) << "what the server holds is asked again";

    server->setDataServiceSilent(false);
    ASSERT_TRUE(waitFor([&] { return sheet->mapRequest() == 0; }));
    const auto maps = server->accessMaps();
    const auto held = std::find_if(maps.begin(), maps.end(), [](const testserver::AccessMap& m) {
        return m.userId == 1002 && m.account == 20001;
    });
    ASSERT_NE(held, maps.end());
    EXPECT_EQ(held->type, 2) << "the server made the change";
    EXPECT_EQ(rights->currentText(), "Close Only");
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(apply->isEnabled());

    // The line lost while the notice shows: the sheet closes with it, leaving the settings free.
    server->setDataServiceSilent(true);
    // The notice closed took the focus with it: a click on the sheet's margin brings it back.
    ASSERT_TRUE(guitest::clickInto(sheet, QPoint(2, 2)));
    ASSERT_TRUE(guitest::tabTo(rights));
    guitest::pressKey(Qt::Key_Down);
    QTest::mouseClick(apply, Qt::LeftButton);
    ASSERT_NE(sheet->editRequest(), 0u);
    Q_EMIT session->requestFailed(
        {sheet->editRequest(), "addedituac", context->text(texts::kNoReplyCameTime).toStdString()});
    ASSERT_TRUE(alertOn(sheet));
    session->replaceClient();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(alertOn(sheet)) << "no notice left over a sheet that is gone";
    server->setDataServiceSilent(false);
}

// An edit waiting while the server is silent: the sheet says the server is not answering and that
// the edit still waits, nothing sent again (the position sheets' line); answering again brings the
// waiting line back, and the answer closes the sheet.
TEST_F(AccountAdminTest, AnEditWaitingThroughASilenceSaysTheServerIsNotAnswering) {
    auto* sheet = openSheet<AccountAccessSettingWindowController>("actionAccessRights");
    ASSERT_TRUE(sheet);
    auto* rights = find<QComboBox>(sheet, "rightsComboBox");
    auto* apply = find<QPushButton>(sheet, "applyButton");
    ASSERT_TRUE(waitFor([&] { return rights->isEnabled() && sheet->mapRequest() == 0; }));
    EXPECT_FALSE(sheet->waitingLine()->isVisible());
    QSignalSpy answering(session.get(), &ClientModel::answeringChanged);
    server->setDataServiceSilent(true);
    server->pauseStream(true);
    ASSERT_TRUE(guitest::focusIn(sheet));
    ASSERT_TRUE(guitest::tabTo(rights));
    guitest::pressKey(Qt::Key_Down);
    QTest::mouseClick(apply, Qt::LeftButton);
    ASSERT_NE(sheet->editRequest(), 0u);
    EXPECT_TRUE(sheet->waitingLine()->isVisible());
    EXPECT_EQ(sheet->waitingLine()->text(), context->text(texts::kSheetWaitingForAnswer));
    ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }, 30000));
    EXPECT_FALSE(answering.takeFirst().at(0).toBool());
    EXPECT_NE(sheet->editRequest(), 0u);
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_TRUE(sheet->waitingLine()->isVisible());
    EXPECT_EQ(sheet->waitingLine()->text(), context->text(texts::kSheetServerNotAnswering));
    server->pauseStream(false);
    ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }));
    EXPECT_TRUE(answering.takeFirst().at(0).toBool());
    EXPECT_EQ(sheet->waitingLine()->text(), context->text(texts::kSheetWaitingForAnswer));
    QWidget* owner = sheet->parentWidget();
    server->setDataServiceSilent(false);
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    if (QMessageBox* told = alertOn(owner))
        told->close();
}

// Requests to the data service fail after a second and a half, as they would after the client's own
// limit: a request given up takes no late reply.
class AccountAdminShortLimitTest : public AccountAdminTest {
protected:
    void SetUp() override {
        dataReplyTimeout = std::chrono::milliseconds(1500);
        AccountAdminTest::SetUp();
    }
};

// An edit without an answer, and the maps asked again after it without one either: the sheet asks
// the server once more as soon as it answers again, and shows the right it holds (the server made
// the change once it read the edit).
TEST_F(AccountAdminShortLimitTest, AfterAnEditWithoutAnAnswerTheSheetAsksAgainOnceTheServerAnswers) {
    auto* sheet = openSheet<AccountAccessSettingWindowController>("actionAccessRights");
    ASSERT_TRUE(sheet);
    auto* rights = find<QComboBox>(sheet, "rightsComboBox");
    ASSERT_TRUE(waitFor([&] { return rights->isEnabled() && sheet->mapRequest() == 0; }));
    EXPECT_EQ(rights->currentText(), "Trade");
    QSignalSpy answering(session.get(), &ClientModel::answeringChanged);
    server->setDataServiceSilent(true);
    server->pauseStream(true);
    ASSERT_TRUE(guitest::focusIn(sheet));
    ASSERT_TRUE(guitest::tabTo(rights));
    guitest::pressKey(Qt::Key_Down);
    ASSERT_EQ(rights->currentText(), "Close Only");
    QTest::mouseClick(find<QPushButton>(sheet, "applyButton"), Qt::LeftButton);
    ASSERT_NE(sheet->editRequest(), 0u);
    // The edit fails at its limit: the sheet says the change may have been made and asks the maps
    // again, which fail in turn.
    ASSERT_TRUE(waitFor([&] { return alertOn(sheet) != nullptr; }));
    EXPECT_EQ(alertOn(sheet)->informativeText(), context->text(texts::kAccessChangeOutcomeUnknown));
    alertOn(sheet)->close();
    ASSERT_TRUE(waitFor([&] { return sheet->editRequest() == 0 && sheet->mapRequest() == 0; }));
    ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }, 30000));
    EXPECT_FALSE(answering.takeFirst().at(0).toBool());
    // The server reads what waited: the edit is made; the replies come to requests given up.
    server->setDataServiceSilent(false);
    ASSERT_TRUE(waitFor([&] {
        const auto maps = server->accessMaps();
        return std::any_of(maps.begin(), maps.end(), [](const testserver::AccessMap& m) {
            return m.userId == 1002 && m.account == 20001 && m.type == 2;
        });
    }));
    // It answers again: the sheet asks what it holds, and shows it.
    QSignalSpy arrived(session.get(), &ClientModel::userAccessArrived);
    server->pauseStream(false);
    ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }));
    EXPECT_TRUE(answering.takeFirst().at(0).toBool());
    ASSERT_TRUE(waitFor([&] { return !arrived.isEmpty(); })) << "the sheet asked nothing again";
    EXPECT_EQ(arrived.takeFirst().at(0).value<interfaces::UserAccessArrival>().accountId, 20001);
    EXPECT_EQ(sheet->mapRequest(), 0u);
    EXPECT_EQ(rights->currentText(), "Close Only");
    EXPECT_FALSE(find<QPushButton>(sheet, "applyButton")->isEnabled());
    EXPECT_TRUE(sheet->isVisible());
}

// No answer in time is no refusal either: the sheet says the password may have been changed and
// which one then signs in, never to try again; the answer that comes later is still told. The line
// lost before the answer says the same.
TEST_F(AccountAdminTest, APasswordChangeWithoutAnAnswerMayHaveBeenMade) {
    auto* sheet = openSheet<ChangePasswordWindowController>("actionChangePassword");
    ASSERT_TRUE(sheet);
    sheet->setReplyTimeLimit(std::chrono::milliseconds(100));
    type(sheet, "demo1234", "n3w-password", "n3w-password");
    server->pauseStream(true);
    QTest::mouseClick(find<QPushButton>(sheet, "changeButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return sheet->OutcomeUnknown(); }));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->StatusText(), context->text(texts::kPasswordChangeOutcomeUnknown));
    EXPECT_FALSE(find<QPushButton>(sheet, "changeButton")->isEnabled());
    server->pauseStream(false);
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    QMessageBox* told = alertOn(window->settingsWindow());
    ASSERT_TRUE(told);
    EXPECT_EQ(told->informativeText(), context->text(texts::kPasswordChanged));
    EXPECT_EQ(remembered, std::vector<std::string>{"n3w-password"});
    told->close();

    window->changePasswordClicked();
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    type(sheet, "n3w-password", "n3w-password-2", "n3w-password-2");
    server->pauseStream(true);
    QTest::mouseClick(find<QPushButton>(sheet, "changeButton"), Qt::LeftButton);
    ASSERT_TRUE(sheet->Waiting());
    session->replaceClient();
    server->pauseStream(false);
    EXPECT_FALSE(sheet->isVisible());
    told = alertOn(window->settingsWindow());
    ASSERT_TRUE(told);
    EXPECT_EQ(told->informativeText(), context->text(texts::kPasswordChangeOutcomeUnknown));
}

// A change whose answer the lost line took: the Notice that it may have been made holds only until a
// sign-in tells. The old password signing in takes it back; the new one says the change was made.
TEST_F(AccountAdminTest, ThePasswordChangeNoticeOfALostLineHoldsOnlyUntilASignInTells) {
    for (const bool made : {false, true}) {
        SCOPED_TRACE(made ? "signed in with the new password" : "signed in with the old password");
        auto* sheet = openSheet<ChangePasswordWindowController>("actionChangePassword");
        ASSERT_TRUE(sheet);
        type(sheet, "demo1234", "n3w-password", "n3w-password");
        server->pauseStream(true);
        QTest::mouseClick(find<QPushButton>(sheet, "changeButton"), Qt::LeftButton);
        ASSERT_TRUE(sheet->Waiting());
        server->dropStreams();
        ASSERT_TRUE(waitFor([&] { return signalledState == interfaces::LoginState::Lost; }));
        server->pauseStream(false);
        // The server made the change, or never read it.
        ASSERT_TRUE(!made || server->setPassword("demo", "n3w-password"));
        ASSERT_TRUE(session->signIn(loginOf("demo", made ? "n3w-password" : "demo1234")));
        QMessageBox* notice = alertOn(window->settingsWindow());
        ASSERT_TRUE(notice);
        EXPECT_EQ(notice->informativeText(), context->text(texts::kPasswordChangeOutcomeUnknown));
        ASSERT_TRUE(waitFor([&] { return signalledState == interfaces::LoginState::SignedIn; }));
        ASSERT_TRUE(waitFor([&] {
            QMessageBox* shown = alertOn(window->settingsWindow());
            return !shown || shown->informativeText() != context->text(texts::kPasswordChangeOutcomeUnknown);
        }));
        QMessageBox* told = alertOn(window->settingsWindow());
        if (!made) {
            EXPECT_EQ(told, nullptr);
            continue;
        }
        ASSERT_TRUE(told);
        EXPECT_EQ(told->informativeText(), context->text(texts::kPasswordChanged));
        told->close();
    }
}

// A change waiting while the server is silent: the sheet says the server is not answering and that
// the change still waits, nothing sent again (the other sheets' line); the answer still closes it.
TEST_F(AccountAdminTest, APasswordChangeWaitingThroughASilenceSaysTheServerIsNotAnswering) {
    auto* sheet = openSheet<ChangePasswordWindowController>("actionChangePassword");
    ASSERT_TRUE(sheet);
    type(sheet, "demo1234", "n3w-password", "n3w-password");
    QSignalSpy answering(session.get(), &ClientModel::answeringChanged);
    server->pauseStream(true);
    QTest::mouseClick(find<QPushButton>(sheet, "changeButton"), Qt::LeftButton);
    ASSERT_TRUE(sheet->Waiting());
    EXPECT_EQ(sheet->StatusText(), context->text(texts::kSheetWaitingForAnswer));
    ASSERT_TRUE(waitFor([&] { return !answering.isEmpty(); }, 30000));
    EXPECT_FALSE(answering.takeFirst().at(0).toBool());
    EXPECT_TRUE(sheet->Waiting());
    EXPECT_FALSE(sheet->OutcomeUnknown());
    EXPECT_FALSE(find<QPushButton>(sheet, "changeButton")->isEnabled());
    EXPECT_EQ(sheet->StatusText(), context->text(texts::kSheetServerNotAnswering));
    server->pauseStream(false);
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    QMessageBox* told = alertOn(window->settingsWindow());
    ASSERT_TRUE(told);
    EXPECT_EQ(told->informativeText(), context->text(texts::kPasswordChanged));
    EXPECT_EQ(remembered, std::vector<std::string>{"n3w-password"});
    EXPECT_EQ(streamMessagesOf(37), 1);
    told->close();
}

TEST_F(AccountAdminTest, AWrongOldPasswordIsRefusedAndTheSheetStaysOpenWithTheFieldsKept) {
    auto* sheet = openSheet<ChangePasswordWindowController>("actionChangePassword");
    ASSERT_TRUE(sheet);
    // Headed without the ellipsis of the menu item that opened it.
    EXPECT_EQ(find<QGroupBox>(sheet, "changePasswordBox")->title(),
              context->text(texts::kChangePasswordTitle));
    // Refused here: nothing goes to the server.
    type(sheet, "demo12345", "n3w-password", "n3w-password");
    ASSERT_TRUE(guitest::clickInto(find<QLineEdit>(sheet, "ConfirmPasswordField")));
    guitest::pressKey(Qt::Key_Return);
    QMessageBox* alert = alertOn(sheet);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->informativeText(), context->text(texts::kCurrentPasswordNotCorrect));
    alert->close();
    // A control byte comes only by pasting: keys do not type one.
    type(sheet, "demo1234", "", "");
    find<QLineEdit>(sheet, "NewPasswordField")->setText(QStringLiteral("n3w\x01pass"));
    find<QLineEdit>(sheet, "ConfirmPasswordField")->setText(QStringLiteral("n3w\x01pass"));
    QTest::mouseClick(find<QPushButton>(sheet, "changeButton"), Qt::LeftButton);
    alert = alertOn(sheet);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->informativeText(), context->text(texts::kHoldsCharacterCannotSentControl)
                                            .replace("{0}", context->text(texts::kNewPassword)));
    alert->close();
    EXPECT_EQ(streamMessagesOf(37), 0);

    // Refused by the server: the password was changed elsewhere since this session signed in.
    ASSERT_TRUE(server->setPassword("demo", "changed-elsewhere"));
    type(sheet, "demo1234", "n3w-password", "n3w-password");
    QTest::mouseClick(find<QPushButton>(sheet, "changeButton"), Qt::LeftButton);
    EXPECT_TRUE(sheet->Waiting());
    EXPECT_FALSE(find<QPushButton>(sheet, "changeButton")->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !sheet->Waiting(); }));
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(sheet->StatusText().contains("The old password is not correct."))
        << sheet->StatusText().toStdString();
    EXPECT_EQ(find<QLineEdit>(sheet, "NewPasswordField")->text(), "n3w-password");
    EXPECT_TRUE(find<QPushButton>(sheet, "changeButton")->isEnabled());
    EXPECT_TRUE(remembered.empty()) << "a refusal leaves the remembered password alone";
    EXPECT_TRUE(session->isAcceptedPassword(*session->signedInUser(), "demo1234"));
    EXPECT_FALSE(session->isAcceptedPassword(*session->signedInUser(), "n3w-password"));

    // A rule of the server's own, which only its answer tells.
    ASSERT_TRUE(server->setPassword("demo", "demo1234"));
    type(sheet, "demo1234", "short", "short");
    QTest::mouseClick(find<QPushButton>(sheet, "changeButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sheet->Waiting(); }));
    EXPECT_TRUE(sheet->StatusText().contains("at least 8 characters")) << sheet->StatusText().toStdString();
    EXPECT_TRUE(sheet->isVisible());
}

// A pasted password is taken whole up to the limit every password field shares and refused past
// it: never cut to fit and then confirmed.
TEST_F(AccountAdminTest, ALongPasswordIsTakenWholeOrRefusedNeverCutAndConfirmed) {
    auto* sheet = openSheet<ChangePasswordWindowController>("actionChangePassword");
    ASSERT_TRUE(sheet);
    for (const QString& password : {QString(257, QLatin1Char('p')), QString(200, QLatin1Char('7'))}) {
        type(sheet, "demo1234", "", "");
        for (const char* name : {"NewPasswordField", "ConfirmPasswordField"}) {
            QApplication::clipboard()->setText(password);
            ASSERT_TRUE(guitest::clickInto(find<QLineEdit>(sheet, name)));
            guitest::pressKey(Qt::Key_V, Qt::ControlModifier);
            EXPECT_EQ(find<QLineEdit>(sheet, name)->text(), password) << name << " holds the paste whole";
        }
        QTest::mouseClick(find<QPushButton>(sheet, "changeButton"), Qt::LeftButton);
        if (QMessageBox* alert = alertOn(sheet)) {
            EXPECT_EQ(alert->informativeText(), context->text(texts::kLongerThanCharacters)
                                                    .replace("{0}", context->text(texts::kNewPassword))
                                                    .replace("{1}", "256"));
            alert->close();
        }
    }
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); })); // the server's answer came
    EXPECT_EQ(streamMessagesOf(37), 1) << "the longer one was refused";
    const std::string taken(200, '7');
    EXPECT_EQ(remembered, std::vector<std::string>{taken});
    signalledState = interfaces::LoginState::SignedOut;
    EXPECT_TRUE(signIn("demo", taken)) << "the password confirmed is the one that signs in";
}

TEST_F(AccountAdminTest, ARightPasswordChangesItAndTheNextSignInNeedsTheNewOne) {
    auto* sheet = openSheet<ChangePasswordWindowController>("actionChangePassword");
    ASSERT_TRUE(sheet);
    type(sheet, "demo1234", "n3w-password", "n3w-password");
    QTest::mouseClick(find<QPushButton>(sheet, "changeButton"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    QMessageBox* told = alertOn(window->settingsWindow());
    ASSERT_TRUE(told);
    EXPECT_EQ(told->informativeText(), context->text(texts::kPasswordChanged));
    EXPECT_EQ(remembered, std::vector<std::string>{"n3w-password"});
    EXPECT_TRUE(session->isAcceptedPassword(*session->signedInUser(), "n3w-password"));
    EXPECT_FALSE(session->isAcceptedPassword(*session->signedInUser(), "demo1234"));
    told->close();

    // Opened again, the sheet starts empty.
    window->changePasswordClicked();
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    EXPECT_TRUE(find<QLineEdit>(sheet, "OldPasswordTextField")->text().isEmpty());
    EXPECT_TRUE(sheet->StatusText().isEmpty());
    sheet->reject();

    const int refusals = server->stats().refusals;
    ASSERT_TRUE(session->signIn(loginOf("demo", "demo1234")));
    ASSERT_TRUE(server->waitFor([&](const testserver::ServerStats& s) { return s.refusals > refusals; },
                                std::chrono::seconds(15)))
        << "the old password no longer signs in";
    EXPECT_TRUE(waitFor([&] { return session->loginState() == interfaces::LoginState::SignedOut; }));
    signalledState = interfaces::LoginState::SignedOut;
    EXPECT_TRUE(signIn("demo", "n3w-password"));
}

} // namespace
