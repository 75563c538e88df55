#include "gui/app/theme_manager.h"
#include "gui/gui_test_support.h"
#include "gui/market/ladder_cell_delegate.h"

#include <QHeaderView>
#include <QImage>
#include <QStandardItemModel>
#include <QTableView>

namespace {

using tc::gui::LadderCellDelegate;

QImage shown(QTableView& view) {
    return view.viewport()->grab().toImage();
}

// Two views of one ladder-like model, one drawn by the style alone and one through the kept cells,
// in each theme: every pixel the same, after a change of a cell too, and an unchanged cell is not
// drawn again.
TEST(LadderCellDelegate, ShowsWhatTheStyleDrawsAndDrawsOnlyChangedCells) {
    QStandardItemModel model(5, 2);
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column) {
            auto* item = new QStandardItem(column == 0 ? QStringLiteral("1.0%1").arg(row * 37)
                                                       : QString::number(100000 * (row + 1)));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            model.setItem(row, column, item);
        }
    // A coloured ground, a coloured text and a bold one, as the tones give.
    model.item(1, 0)->setBackground(QColor(40, 120, 40));
    model.item(2, 1)->setForeground(QColor(200, 30, 30));
    QFont bold;
    bold.setBold(true);
    model.item(3, 0)->setFont(bold);
    // Wider than its column: the style cuts it short.
    model.item(4, 1)->setText(QStringLiteral("123456789012345678901234567890"));

    QTableView byStyle;
    QTableView kept;
    auto* delegate = new LadderCellDelegate(&kept);
    kept.setItemDelegate(delegate);
    for (QTableView* view : {&byStyle, &kept}) {
        view->setModel(&model);
        view->setAlternatingRowColors(true);
        view->setSelectionMode(QAbstractItemView::NoSelection);
        view->setFocusPolicy(Qt::NoFocus);
        view->verticalHeader()->hide();
        view->resize(260, 200);
        view->show();
    }
    ASSERT_TRUE(guitest::waitForExposed(&kept));
    ASSERT_TRUE(guitest::waitForExposed(&byStyle));
    const int cells = model.rowCount() * model.columnCount();
    for (const std::int64_t theme : {0, 1}) {
        for (QTableView* view : {&byStyle, &kept})
            view->setPalette(tc::gui::ThemeManager::palette(theme));
        const int before = delegate->drawnByStyle();
        const QImage first = shown(kept);
        EXPECT_EQ(first, shown(byStyle)) << "theme " << theme;
        EXPECT_EQ(delegate->drawnByStyle() - before, cells); // another palette: every cell anew
        // Nothing changed: every cell shown as kept.
        const int drawn = delegate->drawnByStyle();
        EXPECT_EQ(first, shown(kept));
        EXPECT_EQ(delegate->drawnByStyle(), drawn);
        // One cell's text and another's colour change: those two alone are drawn again.
        model.item(0, 1)->setText(QStringLiteral("4%1").arg(theme));
        model.item(2, 1)->setForeground(theme == 0 ? QColor(20, 20, 220) : QColor(200, 30, 30));
        EXPECT_EQ(shown(kept), shown(byStyle)) << "theme " << theme;
        EXPECT_EQ(delegate->drawnByStyle(), drawn + 2);
    }
}

} // namespace
