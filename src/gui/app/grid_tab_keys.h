#pragma once
// Tab and Ctrl+Tab leave every table, list and tree of the program for the next control (Shift
// for the one before); the arrow keys move inside. Qt's tables step through their cells on Tab
// and wrap, so a keyboard user never got past a grid to the buttons under it, and a grid that
// follows its current row (the quotes board) changed the selection at every press.
#include <QObject>

namespace tc::gui {

class GridTabKeys : public QObject {
    Q_OBJECT
public:
    // Watches every widget of the application while it lives.
    explicit GridTabKeys(QObject* parent = nullptr);
    ~GridTabKeys() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tc::gui
