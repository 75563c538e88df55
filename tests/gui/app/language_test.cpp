#include "gui/app/language.h"

#include "gui/app/language_list.h"
#include "gui/app/theme_manager.h"
#include "gui/gui_test_support.h"
#include "gui/texts.h"
#include "support/temp_resources.h"

#include <QAction>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTextLayout>

namespace texts = tc::gui::texts;

namespace {

TEST(LanguageWalker, EveryKindOfStaticTextTakesItsKeyAndNoneStaysEmpty) {
    tc::testing_support::ScopedResources resources("10992\tSettings\n11027\tFont Size\n0373\tApply\n"
                                                   "0060\tHelp\n0078\tPassword\n0013\tBalance\n0038\tQuit\n");
    resources.strings("fr", "0013\tSolde\n0373\t\n0038\tQuitter\n");
    auto defaults = tc::platform::UserDefaults::inMemory();
    tc::gui::Language language(*defaults);
    QWidget window;
    window.setProperty(tc::gui::kLangKeyProperty, texts::kSettings);
    auto* box = new QGroupBox(&window);
    box->setProperty(tc::gui::kLangKeyProperty, "kFontSizeBox"); // a form names its text
    auto* button = new QPushButton(box);
    button->setProperty(tc::gui::kLangKeyProperty, "373"); // a tag: padded to four digits
    auto* icon = new QPushButton(box);
    icon->setProperty(tc::gui::kLangToolTipKeyProperty, " kCancel ");
    auto* field = new QLineEdit(&window);
    field->setProperty(tc::gui::kLangKeyProperty, texts::kPassword);
    auto* missing = new QLabel(&window);
    missing->setProperty(tc::gui::kLangKeyProperty, "99999");
    auto* unnamed = new QLabel(&window);
    unnamed->setProperty(tc::gui::kLangKeyProperty, "kNoSuchText");
    auto* tabs = new QTabWidget(&window);
    auto* page = new QWidget;
    page->setProperty(tc::gui::kLangKeyProperty, texts::kBalance);
    tabs->addTab(page, QString());
    auto* action = new QAction(&window);
    action->setProperty(tc::gui::kLangKeyProperty, texts::kLogOut);

    tc::gui::bindLanguage(&window, language);
    EXPECT_EQ(window.windowTitle(), "Settings");
    EXPECT_EQ(box->title(), "Font Size");
    EXPECT_EQ(button->text(), "Apply");
    EXPECT_EQ(icon->toolTip(), "Help");
    EXPECT_EQ(icon->accessibleName(), icon->toolTip()); // an icon-only button is read by its tooltip
    EXPECT_EQ(field->placeholderText(), "Password");
    EXPECT_EQ(tabs->tabText(0), "Balance");
    EXPECT_EQ(action->text(), "Quit");
    EXPECT_EQ(missing->text(), "99999");
    EXPECT_EQ(unnamed->text(), "kNoSuchText");

    // Choosing a language is remembered and the window follows; a text the language lacks, or
    // holds empty, reads in English, never an empty label.
    ASSERT_TRUE(language.select(7));
    EXPECT_EQ(defaults->integerForKey("LanguageKey"), 7);
    EXPECT_EQ(tabs->tabText(0), "Solde");
    EXPECT_EQ(action->text(), "Quitter");
    EXPECT_EQ(button->text(), "Apply");
    EXPECT_EQ(window.windowTitle(), "Settings");
    EXPECT_EQ(missing->text(), "99999");
    EXPECT_FALSE(language.select(12));
    EXPECT_EQ(language.selected(), 7);
    ASSERT_TRUE(language.select(0));
    EXPECT_EQ(tabs->tabText(0), "Balance");
}

// Dari, Pashto and Arabic mirror the layout of windows already open and of those opened later;
// every other language lays out left to right again.
TEST(LanguageDirection, RightToLeftLanguagesMirrorEveryWindowAndTheOthersTurnItBack) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    defaults->set("LanguageKey", std::int64_t{5});
    tc::gui::Language language(*defaults);
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::RightToLeft); // Arabic stored: mirrored at start

    QWidget window;
    auto* row = new QHBoxLayout(&window);
    auto* first = new QPushButton(QStringLiteral("first"));
    auto* second = new QPushButton(QStringLiteral("second"));
    row->addWidget(first);
    row->addWidget(second);
    window.resize(300, 60);
    window.show();
    EXPECT_EQ(window.layoutDirection(), Qt::RightToLeft);
    EXPECT_TRUE(guitest::waitFor([&] { return first->x() > second->x(); }));

    for (std::int64_t n = 0; n < 12; ++n) {
        ASSERT_TRUE(language.select(n));
        const bool mirrored = n == 3 || n == 4 || n == 5;
        EXPECT_EQ(tc::gui::isRightToLeft(n), mirrored) << n;
        EXPECT_EQ(QGuiApplication::layoutDirection(), mirrored ? Qt::RightToLeft : Qt::LeftToRight) << n;
        EXPECT_TRUE(guitest::waitFor([&] { return (first->x() > second->x()) == mirrored; })) << n;
        EXPECT_EQ(window.layoutDirection(), mirrored ? Qt::RightToLeft : Qt::LeftToRight) << n;
        QWidget later;
        EXPECT_EQ(later.layoutDirection(), QGuiApplication::layoutDirection()) << n;
    }
    EXPECT_FALSE(language.select(-1));
    EXPECT_EQ(QGuiApplication::layoutDirection(), Qt::LeftToRight); // Albanian, the last chosen
    ASSERT_TRUE(language.select(0));
}

// A mirrored table keeps a figure whole: "-95.50" in a right-to-left cell aligned to the (mirrored)
// right edge reads exactly as in a left-to-right cell aligned to the left.
TEST(LanguageDirection, MirroredCellsAndFieldsStillReadFiguresAndDatesLeftToRight) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    tc::gui::ThemeManager themes(*defaults);
    themes.saveTheme(1);
    auto cell = [](Qt::LayoutDirection direction, Qt::Alignment alignment, const QString& text) {
        QStandardItemModel model(1, 1);
        model.setData(model.index(0, 0), text);
        model.setData(model.index(0, 0), QVariant::fromValue(alignment | Qt::AlignVCenter),
                      Qt::TextAlignmentRole);
        QTableView view;
        view.setLayoutDirection(direction);
        view.setModel(&model);
        view.horizontalHeader()->hide();
        view.verticalHeader()->hide();
        view.setShowGrid(false);
        view.setFocusPolicy(Qt::NoFocus);
        view.horizontalHeader()->setStretchLastSection(true);
        view.resize(200, 60);
        view.show();
        return view.viewport()->grab().toImage();
    };
    // Date and number fields too, in a mirrored window.
    QWidget window;
    window.setLayoutDirection(Qt::RightToLeft);
    auto* date = new QDateTimeEdit(QDateTime(QDate(2024, 1, 31), QTime(23, 59)), &window);
    date->setFocusPolicy(Qt::NoFocus); // no blinking cursor to tell it from the one below
    auto* amount = new QDoubleSpinBox(&window);
    auto* name = new QLineEdit(&window);
    window.show();
    EXPECT_EQ(date->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(date->findChild<QLineEdit*>()->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(amount->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(name->layoutDirection(), Qt::RightToLeft);
    QWidget plain;
    auto* same = new QDateTimeEdit(date->dateTime(), &plain);
    same->setFocusPolicy(Qt::NoFocus);
    plain.show();
    same->resize(date->size());
    EXPECT_EQ(date->grab().toImage(), same->grab().toImage());
    // A field shown before the language turns right to left stays as it is.
    QGuiApplication::setLayoutDirection(Qt::RightToLeft);
    QCoreApplication::processEvents();
    EXPECT_EQ(same->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(plain.layoutDirection(), Qt::RightToLeft);
    QGuiApplication::setLayoutDirection(Qt::LeftToRight);

    for (const QString& text : {QStringLiteral("-95.50"), QStringLiteral("01/03/2024 09:15:00")}) {
        const QImage mirrored = cell(Qt::RightToLeft, Qt::AlignRight, text);
        EXPECT_EQ(mirrored, cell(Qt::LeftToRight, Qt::AlignLeft, text)) << text.toStdString();
        EXPECT_NE(mirrored, cell(Qt::LeftToRight, Qt::AlignRight, text)) << text.toStdString();
    }
    // A sentence in a right-to-left script keeps its own direction: its closing stop stands at its
    // left end, where the reader ends it, as a right-to-left mark after the stop would put it.
    const QString sentence =
        QStringLiteral("\u0627\u0644\u0643\u0645\u064A\u0629 \u0623\u0639\u0644\u0649 50.");
    EXPECT_EQ(cell(Qt::RightToLeft, Qt::AlignRight, sentence),
              cell(Qt::RightToLeft, Qt::AlignRight, sentence + QChar(0x200F)));
}

// A line of captions and figures keeps each minus sign before its number in a right-to-left
// language: it shows as the same line written left to right in reverse order would.
TEST(LanguageDirection, ALineOfFiguresKeepsEachMinusBeforeItsNumber) {
    const QString line = QStringLiteral("ع : -24.69");
    EXPECT_EQ(tc::gui::figuresKeptWhole(0, line), line);
    EXPECT_EQ(tc::gui::figuresKeptWhole(7, line), line);
    EXPECT_EQ(tc::gui::figuresKeptWhole(5, QStringLiteral("a : -1  b : 2 - 3  c : -4.5")),
              QStringLiteral("a : \u200E-1  b : 2 - 3  c : \u200E-4.5"));
    EXPECT_EQ(tc::gui::figuresKeptWhole(3, QStringLiteral("-")), QStringLiteral("-"));

    // Where a right-to-left line shows the minus: left of the digits, or after them ("24.69- : ع").
    auto minusLeftOfDigits = [](const QString& text) {
        QTextLayout layout(text, QFont());
        QTextOption option;
        option.setTextDirection(Qt::RightToLeft);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine row = layout.createLine();
        layout.endLayout();
        const int minus = static_cast<int>(text.indexOf(QLatin1Char('-')));
        return row.cursorToX(minus) < row.cursorToX(minus + 1);
    };
    EXPECT_TRUE(minusLeftOfDigits(tc::gui::figuresKeptWhole(5, line)));
    EXPECT_FALSE(minusLeftOfDigits(line));
}

TEST(LanguageWalker, AStoredLanguageOutsideTheListShowsEnglishAndIsKept) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    defaults->set("LanguageKey", std::int64_t{12});
    tc::gui::Language language(*defaults);
    EXPECT_EQ(language.selected(), 0);
    EXPECT_EQ(defaults->integerForKey("LanguageKey"), 12);
}

} // namespace
