#pragma once
// Prints tables on paper or to PDF: rows of texts laid out by layoutTable, drawn page by page in the
// 8-point system font with a shaded header row and thin dark-grey borders, under a page header (the
// job title and the date and time) and over a page footer (page number of page count). Every print
// action of the program goes through it; the rows of an on-screen table come from printRowsOf.
#include "gui/statements/table_print_layout.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QPrintDialog;
class QPrinter;
class QTableView;
class QWidget;

namespace tc::gui {

// An on-screen table as it prints, through the session's table copy: the visible columns in display
// order, titled by the text of their identifier (header data under `identifierRole`; the header's
// own text where a column has none), then every row of the view's model in the view's order.
PrintRows printRowsOf(const QTableView& view, std::int64_t language, int identifierRole);

class TablePrinter {
public:
    explicit TablePrinter(QString jobTitle);

    // A heading printed above the next table (kept on the page of the table's first rows).
    void addHeading(QString text);
    // A table; row 0 holds the header texts. A table without rows is left out.
    void addTable(PrintRows rows, TablePrintStyle style = {});

    // Names the job and draws every table on `printer`; false when the printer cannot be painted on.
    bool print(QPrinter& printer) const;
    // The pages the last print() drew.
    std::size_t pagesPrinted() const { return pagesPrinted_; }

private:
    struct Block {
        QString heading;
        PrintRows rows;
        TablePrintStyle style;
    };
    QString jobTitle_;
    std::vector<Block> blocks_;
    mutable std::size_t pagesPrinted_ = 0;
};

// The print dialog of `printer`, window-modal on `window` and opened with open() (no nested event
// loop); `accepted` runs when the user confirms, with the printer set up as chosen. The dialog
// deletes itself once closed.
QPrintDialog* openPrintDialog(QWidget* window, QPrinter& printer, std::function<void()> accepted);

} // namespace tc::gui
