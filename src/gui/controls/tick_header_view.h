#pragma once
// A table's column titles that draw a tick box in the title of a tick column: the model's title
// answers the rows' ticks together under Qt::CheckStateRole (ticked, unticked or partly), drawn
// where the cells draw theirs, so the blank title of a tick list shows what a click on it does.
#include <QHeaderView>

namespace tc::gui {

class TickHeaderView : public QHeaderView {
    Q_OBJECT
public:
    explicit TickHeaderView(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

} // namespace tc::gui
