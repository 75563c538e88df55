#include "gui/app/sheet_controller.h"
#include "gui/app/theme_manager.h"
#include "gui/app/theme_table.h"
#include "gui/gui_test_support.h"
#include "gui/login/idle_timeout_window_controller.h"
#include "gui/settings/font_size_settings_window_controller.h"
#include "gui/settings/settings_window_controller.h"
#include "gui/texts.h"
#include "support/temp_resources.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;

class Settings : public guitest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        settings = new tc::gui::SettingsWindowController(*context);
        settings->show();
    }
    template <typename T>
    T* child(QObject* parent, const char* name) {
        auto* found = parent->findChild<T*>(name);
        EXPECT_TRUE(found) << name;
        return found;
    }
    tc::gui::SettingsWindowController* settings = nullptr;
};

TEST_F(Settings, TheSoundSwitchWritesTheDefaultAtOnce) {
    child<QCheckBox>(settings, "SoundsButton")->click();
    EXPECT_TRUE(defaults->boolForKey("SoundKey"));
    child<QCheckBox>(settings, "SoundsButton")->click();
    EXPECT_FALSE(defaults->boolForKey("SoundKey"));
}

// The theme's box names the dark theme and is ticked exactly while it is on, from the keyboard too.
TEST_F(Settings, TheThemeBoxIsTickedWhileTheThemeItNamesIsOn) {
    auto* box = child<QCheckBox>(settings, "themeButton");
    const QString name = context->text(texts::kTheme) + " " + context->text(texts::kDark);
    ASSERT_EQ(context->themes().getThemeForKey(), tc::gui::kDarkTheme);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(box->text(), name);
    ASSERT_TRUE(guitest::focusIn(settings));
    ASSERT_TRUE(guitest::tabTo(box));
    for (const auto theme : {tc::gui::kLightTheme, tc::gui::kDarkTheme}) {
        guitest::pressKey(Qt::Key_Space);
        EXPECT_EQ(defaults->integerForKey("Theme"), theme);
        EXPECT_EQ(box->isChecked(), theme == tc::gui::kDarkTheme);
        EXPECT_EQ(box->text(), name) << "the box's words stay what it names";
    }
    context->themes().saveTheme(tc::gui::kLightTheme); // chosen elsewhere
    EXPECT_FALSE(box->isChecked());
}

TEST_F(Settings, FontSizesAreWrittenByApplyOnlyAndASheetIsNotOpenedTwice) {
    defaults->set("PositionsFontSize", std::int64_t{14}); // not one of the four
    child<QPushButton>(settings, "fontSizeButton")->click();
    auto* sheet = settings->fontSizeSheet();
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    auto* watchlist = child<QComboBox>(sheet, "watchlistComboBox");
    auto* positions = child<QComboBox>(sheet, "positionsComboBox");
    auto* apply = child<QPushButton>(sheet, "applyButton");
    EXPECT_EQ(watchlist->currentText(), context->text(texts::kFontMedium)); // 12
    EXPECT_EQ(positions->currentText(), QString());                         // 14 has no name
    EXPECT_FALSE(apply->isEnabled());

    ASSERT_TRUE(guitest::focusIn(sheet));
    ASSERT_TRUE(guitest::tabTo(watchlist));
    guitest::pressKey(Qt::Key_Down); // 16
    EXPECT_TRUE(apply->isEnabled());
    guitest::pressKey(Qt::Key_Escape); // cancels: nothing written
    EXPECT_TRUE(waitFor([&] { return !sheet->isVisible(); }));
    EXPECT_EQ(defaults->integerForKey("WatchlistFontSize"), 12);

    settings->fontSizeSettingButtonClicked();
    settings->fontSizeSettingButtonClicked();
    EXPECT_EQ(settings->findChildren<tc::gui::FontSizeSettingsWindowController*>().size(), 1);
    EXPECT_EQ(watchlist->currentText(), context->text(texts::kFontMedium)); // prepared afresh
    ASSERT_TRUE(guitest::focusIn(sheet));
    ASSERT_TRUE(guitest::tabTo(watchlist));
    guitest::pressKey(Qt::Key_Down);
    apply->click();
    EXPECT_EQ(defaults->integerForKey("WatchlistFontSize"), 16);
    EXPECT_EQ(defaults->integerForKey("PositionsFontSize"), 14); // untouched stays as it was
    EXPECT_FALSE(sheet->isVisible());
}

// Two programs on one home: B chose Extra Large for the board; A's Apply of a grid size writes that
// size only, and B's board size stays.
class SettingsOnAFile : public Settings {
protected:
    void SetUp() override {
        defaults = std::make_unique<tc::platform::UserDefaults>(folder.path() / "defaults.plist");
        Settings::SetUp();
    }
    tc::testing_support::TempDir folder;
};

TEST_F(SettingsOnAFile, ApplyWritesOnlyTheFontSizeTheTraderChanged) {
    tc::platform::UserDefaults other(folder.path() / "defaults.plist");
    child<QPushButton>(settings, "fontSizeButton")->click();
    auto* sheet = settings->fontSizeSheet();
    ASSERT_TRUE(waitFor([&] { return sheet->isVisible(); }));
    other.set("WatchlistFontSize", std::int64_t{20});
    ASSERT_TRUE(other.synchronize());
    ASSERT_TRUE(guitest::focusIn(sheet));
    ASSERT_TRUE(guitest::tabTo(child<QComboBox>(sheet, "positionsComboBox")));
    guitest::pressKey(Qt::Key_Down); // Large
    child<QPushButton>(sheet, "applyButton")->click();
    tc::platform::UserDefaults file(folder.path() / "defaults.plist");
    EXPECT_EQ(file.integerForKey("PositionsFontSize"), 16);
    EXPECT_EQ(file.integerForKey("WatchlistFontSize"), 20);
    EXPECT_EQ(defaults->integerForKey("WatchlistFontSize"), 20) << "read from the file at the save";
}

TEST_F(Settings, TheIdleSheetStoresTheChosenSeconds) {
    defaults->set("IdleTime", std::int64_t{600});
    settings->IdleTimeoutButtonClicked();
    auto* sheet = settings->idleTimeoutSheet();
    auto* combo = child<QComboBox>(sheet, "timeoutComboBox");
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(combo->itemText(1), "5 " + context->text(texts::kMinutesWithoutInput));
    ASSERT_TRUE(guitest::focusIn(sheet));
    ASSERT_TRUE(guitest::tabTo(combo));
    guitest::pressKey(Qt::Key_Down);
    ASSERT_TRUE(guitest::tabTo(child<QPushButton>(sheet, "applyButton")));
    guitest::pressKey(Qt::Key_Space);
    EXPECT_EQ(defaults->integerForKey("IdleTime"), 1800);
}

// The ellipsis belongs to the button that opens a dialog, not to the dialog's title or its box.
TEST_F(Settings, SheetsAreTitledWithoutTheEllipsisOfTheirButtons) {
    child<QPushButton>(settings, "fontSizeButton")->click();
    child<QPushButton>(settings, "idleTimeoutButton")->click();
    EXPECT_TRUE(child<QPushButton>(settings, "fontSizeButton")->text().endsWith(QChar(0x2026)));
    for (QWidget* sheet : {static_cast<QWidget*>(settings->fontSizeSheet()),
                           static_cast<QWidget*>(settings->idleTimeoutSheet())})
        EXPECT_EQ(sheet->windowTitle(), sheet->findChild<QGroupBox*>()->title());
    EXPECT_EQ(settings->fontSizeSheet()->windowTitle(), context->text(texts::kFontSizeBox));
    EXPECT_EQ(settings->idleTimeoutSheet()->windowTitle(), context->text(texts::kIdleTimeOut));
}

TEST_F(Settings, AccountSheetsWaitForTheirWindowsAndThePasswordNeedsTheNetwork) {
    auto* password = child<QPushButton>(settings, "ChangePasswordButton");
    EXPECT_FALSE(password->isEnabled());
    EXPECT_FALSE(password->toolTip().isEmpty());

    int made = 0;
    settings->setChangePasswordSheet([&](QWidget* owner) {
        ++made;
        return new tc::gui::SheetController(owner);
    });
    bool network = false;
    settings->setNetworkAvailableQuery([&] { return network; });
    ASSERT_TRUE(password->isEnabled());
    password->click();
    EXPECT_EQ(made, 0);
    EXPECT_EQ(settings->findChildren<QMessageBox*>().size(), 1); // kNoConnectionTradingServer
    network = true;
    password->click();
    password->click();
    EXPECT_EQ(made, 1);

    settings->setAccountCapabilities(false, false);
    EXPECT_FALSE(password->isEnabled());
    EXPECT_FALSE(child<QGroupBox>(settings, "accountAccessSettingsBox")->isVisible());
}

} // namespace
