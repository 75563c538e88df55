#include "gui/app/label_line_height.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>

namespace tc::gui {
namespace {

// The height this filter set, so that a smaller font can lower it again.
constexpr char kKeptHeight[] = "tcLineHeightKept";

} // namespace

LabelLineHeight::LabelLineHeight(QObject* parent) : QObject(parent) {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

LabelLineHeight::~LabelLineHeight() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void LabelLineHeight::fit(QLabel* label) {
    if (!label || label->wordWrap() || !label->pixmap().isNull() || label->movie() ||
        !label->picture().isNull() || label->text().contains(QLatin1Char('\n')))
        return;
    const int line = QFontMetrics(label->font()).height();
    const QVariant kept = label->property(kKeptHeight);
    // A height of its own (set in code or a .ui) stays.
    if (!kept.isValid() ? label->minimumHeight() > 0 : label->minimumHeight() != kept.toInt())
        return;
    if (label->maximumHeight() < line)
        return;
    label->setMinimumHeight(line);
    label->setProperty(kKeptHeight, line);
}

bool LabelLineHeight::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Polish || event->type() == QEvent::FontChange)
        if (auto* label = qobject_cast<QLabel*>(watched))
            fit(label);
    return QObject::eventFilter(watched, event);
}

} // namespace tc::gui
