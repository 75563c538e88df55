#include "gui/app/column_gap.h"

#include <QFontMetrics>
#include <QStyle>
#include <QTableView>

namespace tc::gui {

int columnGap(const QFont& font) {
    return QFontMetrics(font).horizontalAdvance(QLatin1Char('M'));
}

int columnTextMargin(const QFont& font) {
    return (columnGap(font) + 1) / 2;
}

int cellTextMargin(const QWidget& view) {
    return view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
}

int cellPadding(const QTableView& view) {
    return 2 * cellTextMargin(view) + (view.showGrid() ? 1 : 0);
}

} // namespace tc::gui
