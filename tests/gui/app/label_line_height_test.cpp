#include "gui/app/label_line_height.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

using tc::gui::LabelLineHeight;

int lineOf(const QLabel& label) {
    return QFontMetrics(label.font()).height();
}

TEST(LabelLineHeight, AnArabicLabelIsAtLeastALineOfItsOwnFontTall) {
    LabelLineHeight keeper;
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* title =
        new QLabel(QString::fromUtf8("\u0627\u0693\u06cc\u06a9\u0647 \u067e\u0631\u06d0 \u0634\u0648\u0647"));
    layout->addWidget(title);
    layout->addStretch(1);
    window.show();
    EXPECT_GE(title->minimumHeight(), lineOf(*title));
    EXPECT_GE(title->height(), lineOf(*title));

    QFont bigger = title->font();
    bigger.setPointSize(bigger.pointSize() * 2);
    title->setFont(bigger);
    EXPECT_EQ(title->minimumHeight(), lineOf(*title)); // follows its font
    bigger.setPointSize(bigger.pointSize() / 2);
    title->setFont(bigger);
    EXPECT_EQ(title->minimumHeight(), lineOf(*title)); // and comes down again
}

TEST(LabelLineHeight, ImagesWrappedTextsAndHeightsOfTheirOwnAreLeftAlone) {
    LabelLineHeight keeper;
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* arrow = new QLabel;
    arrow->setFixedSize(8, 8);
    auto* wrapped = new QLabel(QStringLiteral("a sentence long enough to be wrapped over lines"));
    wrapped->setWordWrap(true);
    auto* tall = new QLabel(QStringLiteral("tall"));
    tall->setMinimumHeight(60);
    for (QLabel* label : {arrow, wrapped, tall})
        layout->addWidget(label);
    window.show();
    EXPECT_EQ(arrow->size(), QSize(8, 8));
    EXPECT_EQ(wrapped->minimumHeight(), 0);
    EXPECT_EQ(tall->minimumHeight(), 60);
}

TEST(LabelLineHeight, NothingChangesOnceTheKeeperIsGone) {
    QLabel label(QStringLiteral("plain"));
    { LabelLineHeight keeper; }
    label.show();
    EXPECT_EQ(label.minimumHeight(), 0);
}

} // namespace
