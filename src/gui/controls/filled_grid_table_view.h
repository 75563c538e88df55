#pragma once
// A table view that fills its grid lines as rectangles instead of stroking them. Qt strokes a
// one-pixel line as a run of one-pixel spans and hands any run of more than 95 spans to the global
// thread pool, waking other cores and waiting for them: a repaint of a grid the size of a window
// woke them twice per row and column, which on a busy machine kept a key press from its repaint
// for several frames. A filled rectangle is drawn on the painting thread; the pixels are the same.
// Only solid lines are drawn, as the grids use.
// It shows whole columns only: where the columns reach past the view, the view ends at the last
// column that shows whole (the rest of its width left empty) and scrolls a column at a time, starting
// at a column's edge at the scroll bar's end too, so no price, symbol or title stands cut in half at
// either edge.
#include <QTableView>

#include <optional>
#include <vector>

namespace tc::gui {

class FilledGridTableView : public QTableView {
    Q_OBJECT
public:
    explicit FilledGridTableView(QWidget* parent = nullptr);

    // The rectangles of the grid lines within a dirty rectangle of the viewport, as QTableView
    // would stroke them: the last pixel row of every row shown, the last pixel column of every
    // column shown (the first in a right-to-left view), over the part of `dirty` the cells cover.
    // Tall lines come in pieces of at most kPieceHeight pixels, which are never handed on.
    std::vector<QRect> gridLineRects(const QRect& dirty) const;
    static constexpr int kPieceHeight = 64;

    // Sets the cells' font and keeps it: a style sheet set on the program (a theme switch) gives
    // every widget back the font it had when first polished, which would undo a size chosen later.
    void setCellFont(const QFont& font);
    bool hasCellFont() const { return cellFont_.has_value(); }

    // On by default; off, the view shows a column in part where it reaches past the edge.
    void setWholeColumns(bool whole);
    // The width the columns have in sight: the viewport's and the width left empty.
    int columnRoom() const;

    // One row at a time, and the focused row is the selected row: the view takes the focus with
    // no current row (the first Down selects the first row, not the second), keys move the
    // selection with the focus (Ctrl too), and a row that stops being selected (deselected, or gone
    // with its record) leaves no focus frame of its own behind.
    void setFocusOnSelectedRow();
    // Wide enough for its widest column whole (a stretched one aside), wherever it is scrolled to.
    QSize minimumSizeHint() const override;

    void setSelectionModel(QItemSelectionModel* selection) override;

protected:
    void focusInEvent(QFocusEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // At the side scroll bar's end, the view starts at a column's edge, not at a cut column.
    void startAtAColumnsEdge();
    int widthPastWholeColumns(int room) const;
    void restretchLastColumn();
    void followSelection();
    void dropUnselectedCurrent();
    void tellLeastWidth();

    std::optional<QFont> cellFont_;
    bool focusOnSelected_ = false;
    bool wholeColumns_ = true;
    bool fitting_ = false;
    int cut_ = 0;
    int leastWidth_ = 0;
};

} // namespace tc::gui
