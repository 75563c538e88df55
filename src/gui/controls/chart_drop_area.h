#pragma once
// A chart slot that takes an instrument code dragged from a watch list. Its objectName names the
// slot ("Chart1".."Chart4"); a drop announces the code and the slot.
#include <QWidget>

namespace tc::gui {

class ChartDropArea : public QWidget {
    Q_OBJECT
public:
    explicit ChartDropArea(QWidget* parent = nullptr);

Q_SIGNALS:
    // "ChartSymbolDragNotification".
    void symbolDropped(const QString& code, const QString& slot);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// Drags an instrument code from `source` to the chart slots, as plain text (copied). Returns when the
// drag ends.
void dragInstrumentCode(QWidget* source, const QString& code);

} // namespace tc::gui
