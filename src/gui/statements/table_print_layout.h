#pragma once
// Printing of any table: the shading of its cells (a shaded header row, optional banded rows and
// header column) and the layout of its rows on pages: column widths that fit the page width, cell
// texts wrapped to their column, rows placed page by page with the header row repeated at the top of
// every further page. Text is measured by the caller's font; the drawing itself is the printing
// window's. No Qt here.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::gui {

// Row 0 holds the header texts; its length fixes the number of columns.
using PrintRows = std::vector<std::vector<std::string>>;

// Where a column's texts stand in their cells: figures stand right, as the on-screen tables show
// them, and their header over them.
enum class CellAlignment : std::uint8_t { Left, Right, Center };

struct TablePrintStyle {
    bool headerRow = true;                 // row 0 is a header row
    bool headerColumn = false;             // column 0 of every row is a header cell
    bool alternateRows = true;             // every second data row gets the alternate fill
    bool alternateTextRows = false;        // and the alternate text style
    double borderWidth = 0.1;              // points
    double horizontalPadding = 2.0;        // points, left and right of the text
    double verticalPadding = 1.0;          // points, above and below the text
    std::vector<CellAlignment> alignments; // per column; a column without one reads from the left
};

enum class CellFill : std::uint8_t { Row, AlternateRow, Header };
enum class CellTextStyle : std::uint8_t { Row, AlternateRow, Header };

// The second, fourth, ... data row: rows 2, 4, ... with a header row, 1, 3, ... without.
bool isBandedRow(std::size_t row, const TablePrintStyle& style);
CellFill cellFill(std::size_t row, std::size_t column, const TablePrintStyle& style);
CellTextStyle cellTextStyle(std::size_t row, std::size_t column, const TablePrintStyle& style);

struct TextMetrics {
    // The width of a text in points, in the font cells are printed in.
    std::function<double(std::string_view)> width;
    double lineHeight = 10;
};

struct PageArea {
    double width = 0;  // the imageable width in points
    double height = 0; // the imageable height in points
};

struct PrintCell {
    std::vector<std::string> lines; // the text wrapped to its column
    CellFill fill = CellFill::Row;
    CellTextStyle textStyle = CellTextStyle::Row;
    CellAlignment alignment = CellAlignment::Left;
};

struct PlacedRow {
    std::size_t row;  // index into the rows; 0 again for a repeated header
    std::size_t page; // counting from the layout's start page
    double top;       // from the top of the page's imageable area
};

struct TableLayout {
    std::vector<double> columnWidths;          // outer widths, padding and border included
    std::vector<double> rowHeights;            // per row
    std::vector<std::vector<PrintCell>> cells; // [row][column], every row as wide as the header
    std::vector<PlacedRow> placed;             // in drawing order
    std::size_t lastPage = 0;                  // the page the table ends on
    double endTop = 0;                         // where content after the table starts on that page
};

// Lays the table out from `startTop` on page `startPage` (a caller printing several tables, with
// headings between them, chains them through lastPage and endTop). Columns keep their natural
// width when the table fits the page; otherwise they give up what their texts can wrap at spaces.
// Where even the widest words cannot stand side by side, each column keeps the widest word of its
// header and, in a right-aligned column, of its figures, and the columns share what is left; only
// other texts are then cut within a word longer than their column. A row never splits across
// pages; one taller than a page stands alone on its page. The header is not left alone at the foot
// of a page.
TableLayout layoutTable(const PrintRows& rows, const TextMetrics& metrics, PageArea page,
                        const TablePrintStyle& style = {}, std::size_t startPage = 0, double startTop = 0);

} // namespace tc::gui
