#include "gui/controls/filled_grid_table_view.h"
#include "gui/gui_test_support.h"

#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace {

using tc::gui::FilledGridTableView;

// Paints `view` over `region` of its viewport, on a background both views share.
QImage painted(QTableView& view, const QRegion& region) {
    QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    view.viewport()->render(&image, {}, region, QWidget::DrawChildren);
    return image;
}

// A grid line of its own colour: the program's themes (a half-transparent line in the dark one) may
// be applied by tests run before this one.
void setGridColour(QTableView& view, const char* colour) {
    view.setStyleSheet(QStringLiteral("QTableView { gridline-color: %1; }").arg(QLatin1String(colour)));
}

TEST(FilledGridTableView, PaintsTheSamePixelsAsTheStrokedGrid) {
    QStandardItemModel model(200, 6);
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column)
            model.setItem(row, column, new QStandardItem(QStringLiteral("%1.%2").arg(row).arg(column)));
    FilledGridTableView filled;
    filled.setWholeColumns(false); // the lines alone, against a view that shows columns in part
    QTableView stroked;
    for (QTableView* view : {static_cast<QTableView*>(&filled), &stroked}) {
        // Opaque: with a row hidden, Qt strokes a region's row lines again for each of its parts, so
        // a half-transparent line comes out twice as strong where the parts share columns.
        setGridColour(*view, "rgb(128, 128, 128)");
        view->setModel(&model);
        view->setAlternatingRowColors(true);
        view->setRowHidden(3, true);
        view->setColumnHidden(2, true);
        view->resize(500, 400);
        view->show();
    }
    ASSERT_TRUE(guitest::waitForExposed(&filled));
    const QRect whole = filled.viewport()->rect();
    // The whole view, a region of two parts, a right-to-left view and one scrolled to the end.
    const QRegion parts = QRegion(10, 5, 200, 150) + QRegion(150, 200, 300, 120);
    EXPECT_EQ(painted(filled, whole), painted(stroked, whole));
    EXPECT_EQ(painted(filled, parts), painted(stroked, parts));
    // A half-transparent line is filled once per pixel there: a region's parts read as the whole.
    setGridColour(filled, "rgba(255, 255, 255, 128)");
    const QImage all = painted(filled, whole);
    const QImage some = painted(filled, parts);
    const QPoint corner = parts.boundingRect().topLeft();
    for (const QRect& part : parts)
        EXPECT_EQ(some.copy(part.translated(-corner)), all.copy(part));
    setGridColour(filled, "rgb(128, 128, 128)");
    // The grid is there: a row's last pixel row differs from the cell above it, past the text.
    const QImage image = painted(filled, whole);
    const int x = filled.columnViewportPosition(1) + filled.columnWidth(1) - 4;
    const int y = filled.rowViewportPosition(0) + filled.rowHeight(0) - 1;
    EXPECT_NE(image.pixel(x, y), image.pixel(x, y - 3));
    for (QTableView* view : {static_cast<QTableView*>(&filled), &stroked}) {
        view->setLayoutDirection(Qt::RightToLeft);
        view->scrollToBottom();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(painted(filled, whole), painted(stroked, whole));

    // No line is tall enough to be handed to other threads; every shown row has its line.
    const auto lines = filled.gridLineRects(whole);
    int rows = 0;
    for (const QRect& line : lines) {
        EXPECT_LE(line.height(), FilledGridTableView::kPieceHeight);
        rows += line.height() == 1 && line.width() > 1;
    }
    EXPECT_EQ(rows, filled.rowAt(whole.bottom()) - filled.rowAt(0) + 1);
    filled.setShowGrid(false);
    stroked.setShowGrid(false);
    EXPECT_EQ(painted(filled, whole), painted(stroked, whole));
}

// Where the columns reach past the view, it ends at the last whole one, either way round and
// wherever it is scrolled to, a column at a time; it is never too narrow for its widest column.
TEST(FilledGridTableView, ShowsWholeColumnsOnlyAndScrollsAColumnAtATime) {
    QStandardItemModel model(3, 6);
    FilledGridTableView view;
    view.setModel(&model);
    view.verticalHeader()->hide();
    view.horizontalHeader()->setStretchLastSection(false);
    for (int column = 0; column < model.columnCount(); ++column)
        view.setColumnWidth(column, column == 3 ? 180 : 100);
    view.show();
    ASSERT_TRUE(guitest::waitForExposed(&view));
    EXPECT_GE(view.minimumSizeHint().width(), 180 + 2 * view.frameWidth());
    for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        view.setLayoutDirection(direction);
        view.horizontalScrollBar()->setValue(0);
        view.resize(250 + 2 * view.frameWidth(), 200);
        QCoreApplication::processEvents();
        EXPECT_EQ(view.columnRoom(), 250) << direction;
        EXPECT_EQ(view.horizontalHeader()->width(), view.viewport()->width()) << direction;
        // What is left empty is on the trailing side.
        EXPECT_EQ(view.viewport()->geometry().center().x() < view.width() / 2, direction == Qt::LeftToRight);
        for (int step = 0; step <= view.horizontalScrollBar()->maximum(); ++step) {
            view.horizontalScrollBar()->setValue(step);
            QCoreApplication::processEvents();
            // Each column wholly in sight or out of it; the viewport as wide as those in sight,
            // unless the last one is among them.
            int inSight = 0;
            bool last = false;
            for (int column = 0; column < model.columnCount(); ++column) {
                const int left = view.columnViewportPosition(column);
                const int right = left + view.columnWidth(column);
                const bool whole = left >= 0 && right <= view.viewport()->width();
                EXPECT_TRUE(whole || right <= 0 || left >= view.viewport()->width())
                    << direction << " step " << step << " column " << column;
                inSight += whole ? view.columnWidth(column) : 0;
                last = whole && column == model.columnCount() - 1;
            }
            EXPECT_TRUE(last || inSight == view.viewport()->width()) << direction << " step " << step;
        }
    }
}

// A stretched last column takes the room left, whatever width it stood at: rows coming bring the
// vertical scroll bar, which narrows the room, and the column must not be cut away as one that no
// longer fits whole (the funding history lost its date column so).
TEST(FilledGridTableView, AStretchedLastColumnIsNeverCutAway) {
    QStandardItemModel model(2, 4);
    FilledGridTableView view;
    view.setModel(&model);
    view.verticalHeader()->hide();
    view.horizontalHeader()->setStretchLastSection(true);
    for (int column = 0; column < model.columnCount(); ++column)
        view.setColumnWidth(column, column == 3 ? 150 : 100);
    view.resize(500 + 2 * view.frameWidth(), 200);
    view.show();
    ASSERT_TRUE(guitest::waitForExposed(&view));
    for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
        view.setLayoutDirection(direction);
        model.setRowCount(2);
        ASSERT_TRUE(guitest::waitFor([&] { return !view.verticalScrollBar()->isVisible(); })) << direction;
        model.setRowCount(200);
        ASSERT_TRUE(guitest::waitFor([&] { return view.verticalScrollBar()->isVisible(); })) << direction;
        QCoreApplication::processEvents();
        EXPECT_EQ(view.columnRoom(), view.viewport()->width()) << direction;
        const int left = view.columnViewportPosition(3);
        EXPECT_GE(left, 0) << direction;
        EXPECT_LE(left + view.columnWidth(3), view.viewport()->width()) << direction;
        EXPECT_GE(view.columnWidth(3), 150) << direction;
    }
}

// The window's layout keeps the least width it last asked for until told; a column widened
// before the view lays itself out again must still widen the window's least size.
TEST(FilledGridTableView, AWiderColumnWidensTheWindowsLeastSizeAtOnce) {
    QStandardItemModel model(3, 3);
    QWidget window;
    auto* view = new FilledGridTableView(&window);
    (new QVBoxLayout(&window))->addWidget(view);
    view->setModel(&model);
    view->horizontalHeader()->setStretchLastSection(false);
    window.show();
    ASSERT_TRUE(guitest::waitForExposed(&window));
    const int before = window.minimumSize().width();
    view->setColumnWidth(1, before + 200);
    window.layout()->activate();
    EXPECT_GE(window.minimumSize().width(), before + 200);
}

} // namespace
