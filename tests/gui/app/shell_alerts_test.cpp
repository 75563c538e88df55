#include "gui/app/common_alert.h"
#include "gui/app/language.h"
#include "gui/app/language_list.h"
#include "gui/app/sound_notification.h"
#include "gui/gui_test_support.h"
#include "gui/texts.h"
#include "platform/dispatch.h"

#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;

class ShellAlerts : public guitest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        window = new QWidget;
        window->resize(400, 300);
        window->show();
        shell->setPrimaryWindow(window);
    }
    QList<QMessageBox*> alerts() const { return window->findChildren<QMessageBox*>(); }
    QWidget* window = nullptr;
};

TEST_F(ShellAlerts, AlertsAreWindowModalAndTheSameOneIsNotStacked) {
    shell->showMessageAlert("Margin is low", "Margin call");
    shell->showMessageAlert("Margin is low", "Margin call");
    ASSERT_EQ(alerts().size(), 1); // the call returned with the alert open: nothing nested
    QMessageBox* box = alerts().front();
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->text(), "Margin call");
}

// A message box's standard buttons speak the language chosen, in all twelve, as our own windows name
// the same buttons; Qt's other words come from its own translation where one is installed. A box
// already open follows a change.
TEST_F(ShellAlerts, StandardButtonsSpeakTheLanguageChosen) {
    struct Button {
        QMessageBox::StandardButton which;
        std::string_view key;
    };
    const Button buttons[] = {{QMessageBox::Ok, texts::kOK},
                              {QMessageBox::Cancel, texts::kCancel},
                              {QMessageBox::Yes, texts::kYes},
                              {QMessageBox::No, texts::kNo},
                              {QMessageBox::Close, texts::kCloseButton}};
    const auto shown = [](QMessageBox& box, QMessageBox::StandardButton which) {
        return box.button(which)->text().remove(QLatin1Char('&'));
    };
    for (std::int64_t language = 0; language < 12; ++language) {
        const std::string_view locale = tc::gui::kLanguageLocales[static_cast<std::size_t>(language)];
        SCOPED_TRACE(locale);
        ASSERT_TRUE(context->language().select(language));
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No |
                               QMessageBox::Close);
        for (const Button& button : buttons)
            EXPECT_EQ(shown(box, button.which), tc::gui::lookupText(language, button.key)) << button.key;
        QTranslator installed;
        if (language != 0 && installed.load(QLocale(QString::fromLatin1(locale.data(), locale.size())),
                                            QStringLiteral("qtbase"), QStringLiteral("_"),
                                            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            EXPECT_NE(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Copy"));
        }
    }
    ASSERT_TRUE(context->language().select(0));
    QMessageBox open;
    open.setStandardButtons(QMessageBox::Ok);
    open.show();
    ASSERT_EQ(shown(open, QMessageBox::Ok), "OK");
    ASSERT_TRUE(context->language().select(5)); // Arabic
    EXPECT_TRUE(waitFor([&] { return shown(open, QMessageBox::Ok) == tc::gui::lookupText(5, texts::kOK); }));
    ASSERT_TRUE(context->language().select(0));
    EXPECT_TRUE(waitFor([&] { return shown(open, QMessageBox::Ok) == "OK"; }));
}

// An alert's texts stand at the side its window reads from, also when they start with a word of a
// left-to-right script (the program's name, an address): at the right in Arabic, also after a switch.
TEST_F(ShellAlerts, AnAlertsTextsStandAtTheSideItsWindowReadsFrom) {
    const auto atReadingSide = [](QLabel* label) {
        const QImage shot = label->grab().toImage();
        const int ground = shot.pixelColor(0, 0).lightness();
        const auto [first, last] = guitest::columnsWhere(
            shot, [ground](const QColor& c) { return std::abs(c.lightness() - ground) > 60; });
        const QRect room = label->contentsRect();
        return first <= last && (label->isRightToLeft() ? room.right() - last : first - room.left()) <= 3;
    };
    QMessageBox* box = nullptr;
    for (const std::int64_t language : {0, 5, 0}) { // English, Arabic with the alert open, English
        ASSERT_TRUE(context->language().select(language));
        if (!box)
            box = tc::gui::CommonAlert::open(
                window, {QStringLiteral("TradeClient"),
                         QStringLiteral("127.0.0.1 \u0644\u0627 \u064a\u062c\u064a\u0628"),
                         tc::gui::AlertSpec::Critical,
                         {},
                         {}});
        for (const char* name : {"qt_msgbox_label", "qt_msgbox_informativelabel"})
            EXPECT_TRUE(waitFor([&] { return atReadingSide(box->findChild<QLabel*>(name)); }))
                << language << ' ' << name;
    }
}

TEST_F(ShellAlerts, MessageAlertsShowOneAtATimeInOrder) {
    // A confirmation per fill on an unattended desk must not keep a window per fill.
    for (const char* fill : {"Bought 2 USDJPY", "Sold 1 EURUSD", "Bought 2 USDJPY", "Bought 3 GER40"})
        shell->showMessageAlert(fill, "Trade Confirmation");
    for (const char* shown : {"Bought 2 USDJPY", "Sold 1 EURUSD", "Bought 3 GER40"}) {
        ASSERT_TRUE(waitFor([&] { return alerts().size() == 1 && alerts().front()->isVisible(); }));
        QMessageBox* box = alerts().front();
        EXPECT_EQ(box->informativeText(), shown);
        ASSERT_TRUE(guitest::focusIn(box)) << "the alert takes the focus as it shows";
        guitest::pressKey(Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] { return !alerts().contains(box); }));
    }
    EXPECT_TRUE(alerts().isEmpty());
}

TEST_F(ShellAlerts, ServerTextsShowAsPlainText) {
    shell->onLoginRefused({"<b>refused</b>", "0", std::nullopt});
    ASSERT_EQ(alerts().size(), 1);
    EXPECT_EQ(alerts().front()->textFormat(), Qt::PlainText);
    auto* informative = alerts().front()->findChild<QLabel*>("qt_msgbox_informativelabel");
    ASSERT_TRUE(informative);
    EXPECT_EQ(informative->textFormat(), Qt::PlainText);
}

TEST_F(ShellAlerts, LoginElsewhereQuitsWhenTheAlertCloses) {
    shell->onSignedInElsewhere("from 10.0.0.9");
    ASSERT_EQ(alerts().size(), 1);
    EXPECT_TRUE(alerts().front()->informativeText().contains("from 10.0.0.9"));
    EXPECT_EQ(terminations, 0);
    ASSERT_TRUE(guitest::focusIn(alerts().front())) << "the alert takes the focus as it shows";
    guitest::pressKey(Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return terminations == 1; }));
}

TEST_F(ShellAlerts, AnUnsupportedVersionOffersUpdateOrLaterAndLaterKeepsTheProgram) {
    QSignalSpy refused(shell.get(), &tc::gui::QtShell::loginRefused);
    shell->onLoginRefused({"Please update", "3", std::string("https://example.invalid/get")});
    EXPECT_EQ(refused.count(), 1);
    ASSERT_EQ(alerts().size(), 1);
    const auto buttons = alerts().front()->buttons();
    ASSERT_EQ(buttons.size(), 2);
    QAbstractButton* later = alerts().front()->escapeButton();
    EXPECT_EQ(later->text(), context->text(texts::kLater));
    later->click();
    EXPECT_TRUE(waitFor([&] { return alerts().isEmpty(); }));
    EXPECT_EQ(terminations, 0);
}

TEST_F(ShellAlerts, ALostStreamPlaysItsSoundReopensTheFormAlertsAndChecksTheNetworkLater) {
    auto clock = std::make_shared<tc::platform::ManualClock>();
    tc::platform::ScopedClock scoped(clock);
    QSignalSpy sounds(&context->sounds(), &tc::gui::SoundNotification::soundRequested);
    QSignalSpy lost(shell.get(), &tc::gui::QtShell::connectionLost);
    int followUps = 0;
    shell->setConnectionFailureFollowUp([&] { ++followUps; });

    shell->onConnectionLost({});
    shell->onConnectionLost({}); // a second loss does not stack its alert
    EXPECT_EQ(lost.count(), 2);
    ASSERT_GE(sounds.count(), 1);
    EXPECT_EQ(sounds.front().front().toString(), "connectionLost");
    EXPECT_EQ(alerts().size(), 1);
    EXPECT_EQ(alerts().front()->text(), context->text(texts::kConnectionLost));

    // Work due at 3.4 s has run: the follow-up, due at 3.5 s, has not.
    clock->advance(std::chrono::milliseconds(3400));
    bool dueRan = false;
    tc::platform::MainQueue::after(std::chrono::milliseconds(0), [&] { dueRan = true; });
    ASSERT_TRUE(waitFor([&] { return dueRan; }));
    EXPECT_EQ(followUps, 0);
    clock->advance(std::chrono::milliseconds(200));
    EXPECT_TRUE(waitFor([&] { return followUps == 2; }));
}

TEST_F(ShellAlerts, SoundsAreSilentWhenSwitchedOffOrUnknown) {
    QSignalSpy sounds(&context->sounds(), &tc::gui::SoundNotification::soundRequested);
    defaults->set("SoundKey", true);
    shell->playSound("order");
    EXPECT_EQ(sounds.count(), 0);
    defaults->set("SoundKey", false);
    shell->playSound("no such sound");
    shell->playSound("");
    shell->playSound("../order");
    EXPECT_EQ(sounds.count(), 0);
    for (const char* name : {"connectionLost", "welcome", "order", "cancelOrder",
                             "InAppNotificationDefaultSound", "InAppNotificationDefaultSound2"})
        shell->playSound(name);
    EXPECT_EQ(sounds.count(), 6); // every sound the program names ships with it
}

TEST_F(ShellAlerts, OnlyWebAddressesAreOpenedAndOneNoBrowserTookIsSaid) {
    guitest::LogCapture log;
    std::vector<QString> opened;
    bool browser = true;
    shell->setUrlOpener([&](const QUrl& url) {
        opened.push_back(url.toString());
        return browser;
    });
    for (const char* url :
         {"file:///etc/passwd", "javascript:alert(1)", "ftp://host/x", "https://", "not a url"})
        shell->openAddress(url);
    EXPECT_EQ(log.count("not opened"), 5u);
    EXPECT_TRUE(opened.empty());
    shell->openAddress("https://example.org/update");
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_TRUE(alerts().isEmpty());
    browser = false;
    shell->openAddress("https://example.org/update");
    ASSERT_EQ(alerts().size(), 1);
    EXPECT_EQ(alerts().front()->text(), context->text(texts::kLinkCouldNotOpenedWeb));
    EXPECT_EQ(alerts().front()->informativeText(), "https://example.org/update");
}

} // namespace
