#pragma once
// A window's layout read without painting it: texts that do not fit their labels, buttons, tabs,
// group titles, table headers or the symbols and figures of table cells (cut or elided), toolbar
// items hidden behind the toolbar's arrow, controls that overlap one another, and controls cut by
// the pane they stand in. Content that scrolls (a scroll area's page, a table's cells) is judged
// against its page, not the scrolled view; but a table column that the view's edge cuts through
// must show its title and its symbols and figures whole in the part in sight. The texts of
// neighbouring columns, titles and cells alike, keep a column gap between them (`columnGap`).
//
//     window->resize(smallestSize(window));
//     settleLayout();
//     for (const LayoutFault& fault : layoutFaults(window)) ...
#include <QSize>
#include <QString>

#include <vector>

class QWidget;

namespace tc::gui {

// The rows of a table whose cells are read: enough for every screen's rows, few enough for a long list.
inline constexpr int kCellRows = 200;

struct LayoutFault {
    enum class Kind { TextCut, Elided, Overlap, CutByPane, ColumnsTouch };
    Kind kind;
    // The control, as a path of object names (or class names) from the window down.
    QString widget;
    // What does not fit: the text and the room it has, or the other control.
    QString detail;
};

QString kindName(LayoutFault::Kind kind);

std::vector<LayoutFault> layoutFaults(QWidget* window);

// The smallest size the window can take: its minimum size once its layout has run (the layout's own
// minimum when nothing else is set), its present size for windows that cannot be resized (popups,
// alerts, fixed-size sheets).
QSize smallestSize(QWidget* window);

// Runs pending layouts and resizes to the end.
void settleLayout();

// The text as drawn: mnemonic marks gone, "&&" kept as one "&".
QString shownText(const QString& text);

// A control's path as layoutFaults() names it.
QString widgetPath(const QWidget* widget, const QWidget* window);

} // namespace tc::gui
