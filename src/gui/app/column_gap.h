#pragma once
// The room between the texts of neighbouring columns of a table: a right-aligned quantity beside a
// left-aligned side, or two headers in a script that sets words close, must not read as one
// phrase. The gap grows with the font; each cell and header keeps half of it on either side, so
// whatever the alignments of two neighbours, their texts stand at least a gap apart.
#include <QFont>

class QTableView;
class QWidget;

namespace tc::gui {

// The least room between the texts of two neighbouring columns set in `font`: the width of an "M".
int columnGap(const QFont& font);

// What a cell or a header keeps clear on each side of its text in `font`.
int columnTextMargin(const QFont& font);

// The margin a table's cell keeps on each side of its text, as the view's style draws it.
int cellTextMargin(const QWidget& view);
// What a column needs beyond its cells' text: the margin on both sides, and the grid line on the
// cell's last pixel.
int cellPadding(const QTableView& view);

} // namespace tc::gui
