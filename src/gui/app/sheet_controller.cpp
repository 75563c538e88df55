#include "gui/app/sheet_controller.h"

namespace tc::gui {

void SheetController::openOn(QWidget* owner) {
    if (isVisible()) {
        raise();
        return;
    }
    if (owner && parentWidget() != owner)
        setParent(owner, windowFlags());
    onWindowLoad();
    setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    open();
}

} // namespace tc::gui
