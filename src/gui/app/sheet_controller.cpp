#include "gui/app/sheet_controller.h"

#include "gui/app/escape_close.h"

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

void SheetController::askBeforeDroppingTyped(const Language& language) {
    EscapeClose::install(this, language, [this] { reject(); });
}

} // namespace tc::gui
