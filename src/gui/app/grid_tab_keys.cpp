#include "gui/app/grid_tab_keys.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QKeyEvent>

namespace tc::gui {

GridTabKeys::GridTabKeys(QObject* parent) : QObject(parent) {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

GridTabKeys::~GridTabKeys() {
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

bool GridTabKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::Polish && type != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* view = qobject_cast<QAbstractItemView*>(watched);
    if (!view)
        return QObject::eventFilter(watched, event);
    if (type == QEvent::Polish) {
        view->setTabKeyNavigation(false);
        return QObject::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (!tab || !(key->modifiers() & Qt::ControlModifier) || (key->modifiers() & Qt::AltModifier))
        return QObject::eventFilter(watched, event);
    // Ctrl+Tab is the key that leaves a control which takes Tab itself: here it does as Tab does.
    view->setTabKeyNavigation(false);
    QKeyEvent plain(QEvent::KeyPress, key->key(), key->modifiers() & ~Qt::ControlModifier, key->text());
    QCoreApplication::sendEvent(view, &plain);
    return true;
}

} // namespace tc::gui
