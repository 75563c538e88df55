#pragma once
// The login window and the lock: dialogs that stand before the whole program. Escape does not close
// them (Return still presses the default button), and each ends the program when it is closed.
#include <QDialog>

namespace tc::gui {

class ClientModel;
class GuiContext;
class QtShell;

class ProgramDialog : public QDialog {
    Q_OBJECT
protected:
    ProgramDialog(GuiContext& context, QtShell& shell, ClientModel& session, QWidget* parent);

    void keyPressEvent(QKeyEvent* event) override;

    GuiContext& context_;
    QtShell& shell_;
    ClientModel& session_;
};

} // namespace tc::gui
