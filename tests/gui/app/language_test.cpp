#include "gui/app/language.h"

#include "gui/gui_test_support.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

TEST(LanguageWalker, EveryKindOfStaticTextTakesItsKeyAndNoneStaysEmpty) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    tc::gui::Language language(*defaults);
    QWidget window;
    window.setProperty(tc::gui::kLangKeyProperty, "10992");
    auto* box = new QGroupBox(&window);
    box->setProperty(tc::gui::kLangKeyProperty, "11027");
    auto* button = new QPushButton(box);
    button->setProperty(tc::gui::kLangKeyProperty, "373"); // a tag: padded to four digits
    auto* icon = new QPushButton(box);
    icon->setProperty(tc::gui::kLangToolTipKeyProperty, "0060");
    auto* field = new QLineEdit(&window);
    field->setProperty(tc::gui::kLangKeyProperty, "0078");
    auto* missing = new QLabel(&window);
    missing->setProperty(tc::gui::kLangKeyProperty, "99999");
    auto* tabs = new QTabWidget(&window);
    auto* page = new QWidget;
    page->setProperty(tc::gui::kLangKeyProperty, "0013");
    tabs->addTab(page, QString());
    auto* action = new QAction(&window);
    action->setProperty(tc::gui::kLangKeyProperty, "0038");

    tc::gui::bindLanguage(&window, language);
    EXPECT_EQ(window.windowTitle(), language.text("10992"));
    EXPECT_EQ(box->title(), language.text("11027"));
    EXPECT_EQ(button->text(), language.text("0373"));
    EXPECT_EQ(icon->toolTip(), language.text("0060"));
    EXPECT_EQ(icon->accessibleName(), icon->toolTip()); // an icon-only button is read by its tooltip
    EXPECT_EQ(field->placeholderText(), language.text("0078"));
    EXPECT_EQ(tabs->tabText(0), language.text("0013"));
    EXPECT_EQ(action->text(), language.text("0038"));
    EXPECT_EQ(missing->text(), "99999");
    EXPECT_NE(button->text(), "0373"); // English has the text

    // A language whose table lacks the texts shows English, never an empty label; choosing it is
    // remembered, and the window follows.
    button->setText(QString());
    ASSERT_TRUE(language.select(7));
    EXPECT_EQ(defaults->integerForKey("LanguageKey"), 7);
    EXPECT_EQ(button->text(), tc::gui::lookupText(0, "0373"));
    EXPECT_FALSE(language.select(12));
    EXPECT_EQ(language.selected(), 7);
}

TEST(LanguageWalker, AStoredLanguageOutsideTheListShowsEnglishAndIsKept) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    defaults->set("LanguageKey", std::int64_t{12});
    tc::gui::Language language(*defaults);
    EXPECT_EQ(language.selected(), 0);
    EXPECT_EQ(defaults->integerForKey("LanguageKey"), 12);
}

} // namespace
