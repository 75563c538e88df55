// The check of texts shown together: what it reads from a window and what it calls the same.
#include "gui/gui_test_support.h"
#include "gui/screens/text_check.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

using tc::gui::shownTexts;
using tc::gui::textClashes;

// A form as a window shows it in one language: two captions, a button, a list and a menu.
struct Form {
    QWidget window;
    QLabel* first = new QLabel;
    QLabel* second = new QLabel;
    QLabel* figure = new QLabel(QStringLiteral("1.08500"));
    QPushButton* button = new QPushButton;
    QComboBox* list = new QComboBox;
    QMenu* menu = new QMenu(&window);

    Form(const QStringList& texts) {
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* w : std::initializer_list<QWidget*>{first, second, figure, button, list})
            layout->addWidget(w);
        first->setText(texts[0]);
        second->setText(texts[1]);
        button->setText(texts[2]);
        list->addItems({texts[3], texts[4]});
        menu->addAction(texts[5]);
        menu->addAction(texts[6]);
        window.show();
    }
};

QStringList readings(const std::vector<tc::gui::TextClash>& clashes) {
    QStringList out;
    for (const auto& clash : clashes)
        out << clash.text + QLatin1Char('=') + clash.english.join(QLatin1Char('|'));
    return out;
}

TEST(TextCheck, TextsShownTogetherThatReadTheSameWhereEnglishDiffersAreFound) {
    Form english({"Time in Force", "Validity", "&Close", "Regular", "IntraDay", "Close", "Close All"});
    // The button reads as the first caption only by its mark and colon: English differs there too.
    Form russian({"Срок действия", "Срок действия:", "&Закрыть", "Обычный", "Обычный", "Закрыть", "Закрыть"});

    const auto englishTexts = shownTexts(&english.window);
    for (const auto& shown : englishTexts)
        EXPECT_NE(shown.text, QStringLiteral("1.08500")) << "figures are no texts to compare";
    const auto clashes = textClashes(englishTexts, shownTexts(&russian.window));
    EXPECT_EQ(readings(clashes).join(QLatin1Char(';')).toStdString(), "Обычный=IntraDay|Regular;"
                                                                      "Закрыть=Close|Close All;"
                                                                      "Срок действия:=Time in Force|Validity")
        << "the captions in the window, the items of the list and of the menu, each in its group";

    // The button's "Закрыть" is no clash with the menu's: they are not shown together.
    Form mended({"Тип срока действия", "Срок действия", "&Закрыть", "Обычный", "Внутридневной", "Закрыть",
                 "Закрыть все"});
    EXPECT_TRUE(textClashes(englishTexts, shownTexts(&mended.window)).empty());
}

} // namespace
