#include "gui/models/session_follow.h"

#include "gui/models/client_model.h"

#include <QDialog>

namespace tc::gui {

void SessionFollow::start(QDialog* sheet, ClientModel* session, std::function<void()> letGo) {
    drop();
    if (!session)
        return;
    add(QObject::connect(session, &ClientModel::clientAboutToBeReplaced, sheet,
                         [this, sheet, letGo = std::move(letGo)] {
                             drop();
                             if (letGo)
                                 letGo();
                             if (sheet->isVisible())
                                 sheet->reject();
                         }));
}

void SessionFollow::drop() {
    for (const QMetaObject::Connection& connection : connections_)
        QObject::disconnect(connection);
    connections_.clear();
}

} // namespace tc::gui
