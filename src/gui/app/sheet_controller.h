#pragma once
// A window shown as a sheet on another: modal to that window only, opened with open() so no event
// loop is nested, prepared afresh at every opening, closed by Escape. A sheet already showing is
// not opened again.
#include <QDialog>

namespace tc::gui {

class SheetController : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // Refreshes texts, values and buttons; runs before every opening.
    virtual void onWindowLoad() {}
    // Opens the sheet on `owner` (its parent), unless it is already showing.
    void openOn(QWidget* owner);
};

} // namespace tc::gui
