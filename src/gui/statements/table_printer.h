#pragma once
// Prints tables on paper or to PDF: rows of texts laid out by layoutTable, drawn page by page in the
// 8-point system font with a shaded header row and thin dark-grey borders, under a page header (the
// job title and the date and time) and over a page footer (page number of page count). Every print
// action of the program goes through it; the rows of an on-screen table come from printRowsOf.
#include "gui/statements/table_print_layout.h"

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
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
// Where the texts of those columns stand, as the view shows its cells (its header's alignment when
// it has no rows): figures the grid right-aligns print right-aligned.
std::vector<CellAlignment> printAlignmentsOf(const QTableView& view);

// A run of text in the system font: its size, colours and underline.
struct PrintTextStyle {
    double pointSize = 12;
    QColor foreground = Qt::black;
    QColor background = Qt::transparent; // behind each line's text
    bool bold = false;
    bool underline = false;
};

class TablePrinter {
public:
    explicit TablePrinter(QString jobTitle);

    // A heading printed above the next table (kept on the page of the table's first rows); bold
    // 8-point text unless a style is given.
    void addHeading(QString text);
    void addHeading(QString text, const PrintTextStyle& style);
    // A table; row 0 holds the header texts. A table without rows is left out.
    void addTable(PrintRows rows, TablePrintStyle style = {});
    // An on-screen table as it prints (printRowsOf), each column aligned as the view shows it.
    void addTable(const QTableView& view, std::int64_t language, int identifierRole,
                  TablePrintStyle style = {});
    // Plain text (never read as markup): its lines as given, each wrapped to the page width.
    void addText(QString text, PrintTextStyle style = {});
    // An image at its aspect ratio, `height` points tall (narrowed to the page width).
    void addImage(QImage image, double height);
    // Empty lines of the 12-point font.
    void addLineFeeds(int count);

    // The moment each page's header says it was printed: the windows give the server's clock, as
    // their rows' times are the server's; the computer's clock when none is given.
    void setPrintedAt(QDateTime moment) { printedAt_ = std::move(moment); }

    // Names the job and draws every table on `printer`; false when the printer cannot be painted on.
    bool print(QPrinter& printer) const;
    // The pages the last print() drew.
    std::size_t pagesPrinted() const { return pagesPrinted_; }

private:
    enum class Kind : std::uint8_t { Table, Text, Image, Space };
    struct Block {
        Kind kind = Kind::Table;
        QString heading; // a table's heading, or the text of a text block
        PrintRows rows;
        TablePrintStyle style;
        std::optional<PrintTextStyle> textStyle; // of the heading or the text
        QImage image;
        double height = 0; // an image's height, or a space's number of lines
    };
    QString jobTitle_;
    QDateTime printedAt_;
    std::vector<Block> blocks_;
    mutable std::size_t pagesPrinted_ = 0;
};

// The print dialog of `printer`, window-modal on `window` and opened with open() (no nested event
// loop); `accepted` runs when the user confirms, with the printer set up as chosen. The dialog
// deletes itself once closed.
QPrintDialog* openPrintDialog(QWidget* window, QPrinter& printer, std::function<void()> accepted);

} // namespace tc::gui
