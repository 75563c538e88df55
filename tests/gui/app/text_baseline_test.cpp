// Words of every script stand on the line the figures beside them stand on, in grid cells, labels
// and fields, as the program's style draws them.
#include "gui/gui_test_support.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <functional>

namespace {

// Nepali and Bengali "Sell" and a figure: their letters all end on the baseline.
const QStringList kTexts{QStringLiteral("1.08500"), QString::fromUtf8("बिक्री"), QString::fromUtf8("বিক্রয়")};

// The lowest pixel row of `area` in `image` that holds ink: a colour other than the area's
// commonest, its background.
int inkBottom(const QImage& image, const QRect& area) {
    QMap<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y)];
    QRgb background = 0;
    int most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            background = it.key();
        }
    const auto far = [background](QRgb c) {
        return std::abs(qRed(c) - qRed(background)) + std::abs(qGreen(c) - qGreen(background)) +
                   std::abs(qBlue(c) - qBlue(background)) >
               150;
    };
    for (int y = area.bottom(); y >= area.top(); --y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (far(image.pixel(x, y)))
                return y;
    return -1;
}

// The largest font size the settings offer, where a shift shows most.
QFont largeFont() {
    QFont font = QApplication::font();
    font.setPointSize(20);
    return font;
}

class TextBaseline : public guitest::ShellTest {};

TEST_F(TextBaseline, WordsOfEveryScriptStandOnTheFiguresLineInCellsLabelsAndFields) {
    QStandardItemModel model(1, static_cast<int>(kTexts.size()));
    for (int column = 0; column < kTexts.size(); ++column)
        model.setItem(0, column, new QStandardItem(kTexts[column]));
    QTableView table;
    table.setFont(largeFont());
    table.setModel(&model);
    table.verticalHeader()->hide();
    table.horizontalHeader()->hide();
    table.resizeColumnsToContents();
    table.setRowHeight(0, 60);
    table.resize(600, 120);
    table.show();
    ASSERT_TRUE(guitest::waitForExposed(&table));
    const QImage cells = table.viewport()->grab().toImage();

    QWidget form;
    auto* rows = new QVBoxLayout(&form);
    auto* captions = new QHBoxLayout;
    auto* fields = new QHBoxLayout;
    rows->addLayout(captions);
    rows->addLayout(fields);
    std::vector<QWidget*> labels;
    std::vector<QWidget*> boxes;
    for (const QString& text : kTexts) {
        labels.push_back(new QLabel(text));
        labels.back()->setFixedHeight(60);
        captions->addWidget(labels.back());
        boxes.push_back(new QLineEdit(text));
        fields->addWidget(boxes.back());
    }
    form.setFont(largeFont());
    form.show();
    ASSERT_TRUE(guitest::waitForExposed(&form));
    const QImage shown = form.grab().toImage();

    for (const auto& [where, ink] :
         {std::pair{"cell", std::function<int(int)>([&](int column) {
                        return inkBottom(cells,
                                         table.visualRect(model.index(0, column)).adjusted(2, 2, -2, -2));
                    })},
          std::pair{"label", std::function<int(int)>(
                                 [&](int column) { return inkBottom(shown, labels[column]->geometry()); })},
          std::pair{"field", std::function<int(int)>([&](int column) {
                        return inkBottom(shown, boxes[column]->geometry().adjusted(4, 4, -4, -4));
                    })}}) {
        const int figures = ink(0);
        ASSERT_GE(figures, 0) << where;
        for (int column = 1; column < kTexts.size(); ++column)
            EXPECT_NEAR(ink(column), figures, 1) << where << ' ' << kTexts[column].toStdString();
    }
}

// A Pashto word whose marks reach below its font's line keeps them in a label one line of the
// program's font tall: set on the baseline in full, they fell under the label's edge.
TEST_F(TextBaseline, ALabelOneLineTallKeepsTheLettersThatReachBelowTheLine) {
    ASSERT_TRUE(context->language().select(4)); // Pashto
    const QString word = QString::fromUtf8("سرچینې");
    QWidget form;
    auto* row = new QHBoxLayout(&form);
    auto* tight = new QLabel(word);
    auto* tall = new QLabel(word);
    tight->setFixedHeight(QFontMetrics(tight->font()).height());
    tall->setFixedHeight(3 * QFontMetrics(tall->font()).height());
    row->addWidget(tight);
    row->addWidget(tall);
    form.show();
    ASSERT_TRUE(guitest::waitForExposed(&form));
    const QImage shown = form.grab().toImage();
    // Its letters from top to foot, measured against the same word with room to spare.
    const auto reach = [&shown](const QLabel* label) {
        const QRect area = label->geometry();
        const QImage flipped = shown.copy(area).mirrored(false, true);
        return inkBottom(shown, area) - (area.bottom() - inkBottom(flipped, flipped.rect()));
    };
    EXPECT_GT(reach(tall), 0);
    EXPECT_EQ(reach(tight), reach(tall));
    ASSERT_TRUE(context->language().select(0));
}

} // namespace
