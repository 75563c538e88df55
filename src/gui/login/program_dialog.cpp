#include "gui/login/program_dialog.h"

#include <QKeyEvent>

namespace tc::gui {

ProgramDialog::ProgramDialog(GuiContext& context, QtShell& shell, ClientModel& session, QWidget* parent)
    : QDialog(parent), context_(context), shell_(shell), session_(session) {}

void ProgramDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tc::gui
