#pragma once
// A window's tab chain walked with the Tab key, as a keyboard user walks it: every control that
// takes Tab is reached, Tab leaves each one (no grid or field keeps it), and the chain runs in
// reading order, top to bottom and along each row (right to left in a right-to-left layout), so
// that a window's buttons, at its foot, come last. Controls side by side in their own panes are
// read pane by pane.
//
//   tradegui_screens --check-tabs [--languages en,ar] [SCREEN...]
#include <QString>
#include <QStringList>

#include <vector>

class QTextStream;
class QWidget;

namespace tc::gui {

struct ShownScreen;

struct TabFault {
    // The control, as a path of object names from the window down.
    QString widget;
    QString detail;
};

// Walks the tab chain of a shown window, from the control that has the focus (the first control of
// the chain when none has). Leaves the focus where the walk ended.
std::vector<TabFault> tabOrderFaults(QWidget* window);

// The controls in the order Tab reached them from the window's first control (for a report).
QStringList tabChain(QWidget* window);

// Walks the tab chain of each screen shown to it; reports every fault on `log`.
class TabCheck {
public:
    explicit TabCheck(QTextStream& log) : log_(log) {}
    void visit(const ShownScreen& shown);
    int faults() const { return faults_; }

private:
    QTextStream& log_;
    int faults_ = 0;
};

} // namespace tc::gui
