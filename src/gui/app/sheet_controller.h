#pragma once
// A window shown as a sheet on another: modal to that window only, opened with open() so no event
// loop is nested, prepared afresh at every opening, closed by Escape. A sheet already showing is
// not opened again.
#include <QDialog>

namespace tc::gui {

class Language;

class SheetController : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // Refreshes texts, values and buttons; runs before every opening.
    virtual void onWindowLoad() {}
    // Opens the sheet on `owner` (its parent), unless it is already showing.
    void openOn(QWidget* owner);

protected:
    // Escape then cancels only once the trader agrees to drop what was typed in the sheet, if
    // anything (EscapeClose); texts in `language`.
    void askBeforeDroppingTyped(const Language& language);
};

} // namespace tc::gui
