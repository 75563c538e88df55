#include "gui/controls/chart_drop_area.h"

#include "platform/log.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tc::gui {
namespace {

// Instrument codes are short; anything longer is not one.
constexpr qsizetype kMaxCodeLength = 64;

} // namespace

ChartDropArea::ChartDropArea(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(true);
}

void ChartDropArea::dragEnterEvent(QDragEnterEvent* event) {
    if ((event->possibleActions() & Qt::CopyAction) && event->mimeData()->hasText()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void ChartDropArea::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasText()) {
        platform::Log::warning("chart slot {}: the dropped item is not text", objectName().toStdString());
        event->ignore();
        return;
    }
    const QString code = event->mimeData()->text().trimmed();
    if (code.isEmpty() || code.size() > kMaxCodeLength) {
        platform::Log::warning("chart slot {}: no instrument code in the dropped text",
                               objectName().toStdString());
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Q_EMIT symbolDropped(code, objectName());
}

void dragInstrumentCode(QWidget* source, const QString& code) {
    if (!source || code.isEmpty())
        return;
    auto* mime = new QMimeData;
    mime->setText(code);
    auto* drag = new QDrag(source);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
}

} // namespace tc::gui
