#include "gui/app/column_gap.h"

#include <QFontMetrics>

namespace tc::gui {

int columnGap(const QFont& font) {
    return QFontMetrics(font).horizontalAdvance(QLatin1Char('M'));
}

int columnTextMargin(const QFont& font) {
    return (columnGap(font) + 1) / 2;
}

} // namespace tc::gui
