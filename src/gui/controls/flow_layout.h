#pragma once
// A layout that sets its items side by side while the row has room and starts a row under it when it
// has not: a strip of captions and figures stays whole on a narrow screen, rows growing downwards,
// instead of widening its window past the screen. Its smallest width is its widest item's; right to
// left, each row fills from the right.
#include <QLayout>
#include <QList>

namespace tc::gui {

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(int horizontalSpacing, int verticalSpacing, QWidget* parent = nullptr);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    // Every item in one row.
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // The height the items take in `rect`'s width; placed there when `place`.
    int arrange(const QRect& rect, bool place) const;

    QList<QLayoutItem*> items_;
    int horizontalSpacing_;
    int verticalSpacing_;
};

// Keeps `strip`'s least height at what its layout's rows take at its width, so that a window or pane
// holding it gives way to the rows a narrow width wraps to (the layouts above it may not ask).
void keepWrappedRowsWhole(QWidget* strip);

} // namespace tc::gui
