#include "gui/statements/table_printer.h"

#include "model/text/consolidated_table_data.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTableView>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>

namespace tc::gui {
namespace {

// The on-screen table read through the view: display order, hidden columns, the view's row order.
class ItemViewTable : public TableView {
public:
    ItemViewTable(const QTableView& view, int identifierRole) : view_(view) {
        const QAbstractItemModel* model = view.model();
        const QHeaderView* header = view.horizontalHeader();
        const int count = model ? model->columnCount() : 0;
        for (int visual = 0; visual < count; ++visual) {
            const int logical = header ? header->logicalIndex(visual) : visual;
            if (logical < 0)
                continue;
            const QString identifier = model->headerData(logical, Qt::Horizontal, identifierRole).toString();
            columns_.push_back({identifier.toStdString(), static_cast<double>(view.columnWidth(logical)),
                                view.isColumnHidden(logical)});
            logical_.push_back(logical);
            // A column without an identifier is titled by its header's text as it stands: read as a
            // key, a title such as "2" would turn into some other text.
            if (view.isColumnHidden(logical))
                continue;
            plainTitles_.push_back(
                identifier.isEmpty()
                    ? std::optional<std::string>(
                          model->headerData(logical, Qt::Horizontal).toString().toStdString())
                    : std::nullopt);
            // As the view shows the column's cells (its header where it has no rows).
            const QVariant aligned = model->rowCount() > 0
                                         ? model->index(0, logical).data(Qt::TextAlignmentRole)
                                         : model->headerData(logical, Qt::Horizontal, Qt::TextAlignmentRole);
            alignments_.push_back(alignmentOf(aligned));
        }
    }

    std::vector<TableColumn> tableColumns() const override { return columns_; }
    // Per visible column: the header's own text where the column has no identifier.
    const std::vector<std::optional<std::string>>& plainTitles() const { return plainTitles_; }
    // Per visible column: where its texts stand.
    const std::vector<CellAlignment>& alignments() const { return alignments_; }
    std::optional<std::string> objectValueForTableColumn(const TableColumn&, std::uint64_t row,
                                                         std::size_t columnIndex) const override {
        const QAbstractItemModel* model = view_.model();
        if (!model || columnIndex >= logical_.size() || row >= static_cast<std::uint64_t>(model->rowCount()))
            return std::nullopt;
        const QVariant value =
            model->index(static_cast<int>(row), logical_[columnIndex]).data(Qt::DisplayRole);
        if (!value.isValid())
            return std::nullopt;
        return value.toString().toStdString();
    }

private:
    const QTableView& view_;
    std::vector<TableColumn> columns_;
    std::vector<int> logical_;
    std::vector<std::optional<std::string>> plainTitles_;
    std::vector<CellAlignment> alignments_;

    static CellAlignment alignmentOf(const QVariant& value) {
        const Qt::Alignment alignment = value.isValid() ? Qt::Alignment(value.toInt()) : Qt::Alignment();
        if (alignment & (Qt::AlignRight | Qt::AlignTrailing))
            return CellAlignment::Right;
        return alignment & Qt::AlignHCenter ? CellAlignment::Center : CellAlignment::Left;
    }
};

// Points of the layout to the printer's device units and back.
struct Scale {
    double k = 1;
    double operator()(double points) const { return points * k; }
};

constexpr double kHeaderBand = 18; // points above the tables: the job title and the date
constexpr double kFooterBand = 16; // points below them: the page number

class PageDrawer {
public:
    PageDrawer(QPrinter& printer, QPainter& painter, const QString& title, const QDateTime& printedAt)
        : printer_(printer), painter_(painter), title_(title) {
        scale_.k = printer.resolution() / 72.0;
        font_ = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font_.setPointSizeF(8);
        metrics_ = std::make_shared<QFontMetricsF>(font_, &printer);
        const QRectF area = printer.pageRect(QPrinter::Point);
        page_ = {area.width(), area.height()};
        stamp_ = (printedAt.isValid() ? printedAt : QDateTime::currentDateTime())
                     .toString(QStringLiteral("MM/dd/yyyy HH:mm"));
    }

    TextMetrics textMetrics() const { return measuring(metrics_); }
    // The area the tables take on every page.
    PageArea tableArea() const {
        return {page_.width, std::max(1.0, page_.height - kHeaderBand - kFooterBand)};
    }

    // Moves the drawing on to `page` (counting from 0), opening pages as needed.
    bool goTo(std::size_t page) {
        while (current_ < page) {
            if (!printer_.newPage())
                return false;
            ++current_;
            decorated_ = false;
        }
        if (!decorated_) {
            decorate();
            decorated_ = true;
        }
        return true;
    }
    void setPageCount(std::size_t count) { pageCount_ = count; }

    QFont fontOf(const PrintTextStyle& style) const {
        QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setPointSizeF(style.pointSize);
        font.setBold(style.bold);
        font.setUnderline(style.underline);
        return font;
    }
    // Metrics of a text style in points.
    TextMetrics metricsOf(const PrintTextStyle& style) const {
        return measuring(std::make_shared<const QFontMetricsF>(fontOf(style), &printer_));
    }

    void drawHeading(const QString& text, double top) {
        QFont bold = font_;
        bold.setBold(true);
        painter_.setFont(bold);
        painter_.setPen(Qt::black);
        painter_.drawText(QPointF(0, scale_(kHeaderBand + top) + metrics_->ascent()), text);
    }

    // One line of styled text, its background behind the text only.
    void drawText(const QString& text, double top, const PrintTextStyle& style) {
        const QFont font = fontOf(style);
        const QFontMetricsF metrics(font, &printer_);
        const QPointF at(0, scale_(kHeaderBand + top));
        if (style.background.alpha() > 0)
            painter_.fillRect(QRectF(at, QSizeF(metrics.horizontalAdvance(text), metrics.height())),
                              style.background);
        painter_.setFont(font);
        painter_.setPen(style.foreground);
        // Text, never markup: drawText lays out the string as it is.
        painter_.drawText(QPointF(at.x(), at.y() + metrics.ascent()), text);
    }

    void drawImage(const QImage& image, double top, double width, double height) {
        painter_.drawImage(QRectF(0, scale_(kHeaderBand + top), scale_(width), scale_(height)), image);
    }

    void drawRow(const TableLayout& layout, std::size_t row, double top, const TablePrintStyle& style) {
        double left = 0;
        const double height = layout.rowHeights[row];
        painter_.setFont(font_);
        for (std::size_t c = 0; c < layout.columnWidths.size(); ++c) {
            const double width = layout.columnWidths[c];
            const PrintCell& cell = layout.cells[row][c];
            const QRectF box(scale_(left), scale_(kHeaderBand + top), scale_(width), scale_(height));
            // The paper is white already: only shaded cells are filled.
            if (cell.fill == CellFill::Header)
                painter_.fillRect(box, QColor(Qt::lightGray));
            QPen border(QColor(Qt::darkGray));
            border.setWidthF(scale_(style.borderWidth));
            painter_.setPen(border);
            painter_.drawRect(box);
            painter_.setPen(Qt::black);
            // Lines sit in the middle of the row, as a vertically centred paragraph does.
            const double lineHeight = metrics_->height();
            const double textHeight = lineHeight * static_cast<double>(cell.lines.size());
            double y = box.top() + (box.height() - textHeight) / 2 + metrics_->ascent();
            const double padding = scale_(style.horizontalPadding);
            for (const std::string& line : cell.lines) {
                const QString text = QString::fromStdString(line);
                double x = box.left() + padding;
                if (cell.alignment != CellAlignment::Left) {
                    const double room = box.width() - 2 * padding - metrics_->horizontalAdvance(text);
                    x += cell.alignment == CellAlignment::Right ? room : room / 2;
                }
                painter_.drawText(QPointF(x, y), text);
                y += lineHeight;
            }
            left += width;
        }
    }

private:
    // Widths in points. Plain ASCII texts (most cells: numbers, codes, dates) are summed from the
    // advances of their characters, which is never narrower than the shaped text; shaping each of
    // a long table's cells again and again would take seconds. Other texts are shaped.
    TextMetrics measuring(std::shared_ptr<const QFontMetricsF> metrics) const {
        const double k = scale_.k;
        auto advances = std::make_shared<std::array<double, 128>>();
        for (int c = 32; c < 127; ++c)
            (*advances)[static_cast<std::size_t>(c)] = metrics->horizontalAdvance(QChar(c)) / k;
        return {[metrics, advances, k](std::string_view text) {
                    double width = 0;
                    for (const char c : text) {
                        const auto byte = static_cast<unsigned char>(c);
                        if (byte < 32 || byte > 126)
                            return metrics->horizontalAdvance(
                                       QString::fromUtf8(text.data(), static_cast<int>(text.size()))) /
                                   k;
                        width += (*advances)[byte];
                    }
                    return width;
                },
                metrics->height() / k};
    }

    void decorate() {
        painter_.setFont(font_);
        painter_.setPen(Qt::black);
        const double width = scale_(page_.width);
        const double ascent = metrics_->ascent();
        painter_.drawText(QPointF(0, ascent), title_);
        painter_.drawText(QPointF(width - metrics_->horizontalAdvance(stamp_), ascent), stamp_);
        const QString number =
            QStringLiteral("%1 / %2").arg(current_ + 1).arg(std::max(pageCount_, current_ + 1));
        painter_.drawText(QPointF((width - metrics_->horizontalAdvance(number)) / 2,
                                  scale_(page_.height) - metrics_->descent()),
                          number);
    }

    QPrinter& printer_;
    QPainter& painter_;
    QString title_;
    Scale scale_;
    QFont font_;
    std::shared_ptr<QFontMetricsF> metrics_;
    PageArea page_;
    QString stamp_;
    std::size_t current_ = 0;
    std::size_t pageCount_ = 1;
    bool decorated_ = false;
};

// What goes where: a heading, a table row, a line of text or an image, on a page at a height.
struct Placed {
    enum class What : std::uint8_t { Heading, Row, Text, Image } what = What::Row;
    std::size_t block = 0;
    std::size_t page = 0;
    double top = 0;
    std::size_t row = 0; // of a table, or the line of a text
    double width = 0;    // of an image
    double height = 0;
};

// The lines of a text wrapped to `width` points: at blanks, and within a word longer than a line.
std::vector<QString> wrapLines(const QString& text, const TextMetrics& metrics, double width) {
    std::vector<QString> out;
    const auto fits = [&](const QString& line) { return metrics.width(line.toStdString()) <= width; };
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '))) {
            const QString joined = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (fits(joined)) {
                line = joined;
                continue;
            }
            if (!line.isEmpty())
                out.push_back(line);
            line = word;
            while (line.size() > 1 && !fits(line)) {
                qsizetype cut = line.size() - 1;
                while (cut > 1 && !fits(line.left(cut)))
                    --cut;
                out.push_back(line.left(cut));
                line = line.mid(cut);
            }
        }
        out.push_back(line);
    }
    return out;
}

} // namespace

namespace {

PrintRows rowsOf(const ItemViewTable& table, const QTableView& view, std::int64_t language) {
    const int rows = view.model() ? view.model()->rowCount() : 0;
    PrintRows out = ConsolidatedTableData::getConsolidatedDataFromTableView(
        table, static_cast<std::uint64_t>(rows), language);
    for (std::size_t c = 0; c < table.plainTitles().size() && c < out.front().size(); ++c)
        if (table.plainTitles()[c])
            out.front()[c] = *table.plainTitles()[c];
    return out;
}

} // namespace

PrintRows printRowsOf(const QTableView& view, std::int64_t language, int identifierRole) {
    return rowsOf(ItemViewTable(view, identifierRole), view, language);
}

std::vector<CellAlignment> printAlignmentsOf(const QTableView& view) {
    return ItemViewTable(view, Qt::DisplayRole).alignments();
}

TablePrinter::TablePrinter(QString jobTitle) : jobTitle_(std::move(jobTitle)) {}

void TablePrinter::addHeading(QString text) {
    Block block;
    block.heading = std::move(text);
    blocks_.push_back(std::move(block));
}

void TablePrinter::addHeading(QString text, const PrintTextStyle& style) {
    addHeading(std::move(text));
    blocks_.back().textStyle = style;
}

void TablePrinter::addTable(PrintRows rows, TablePrintStyle style) {
    if (rows.empty())
        return;
    if (!blocks_.empty() && blocks_.back().kind == Kind::Table && blocks_.back().rows.empty()) {
        blocks_.back().rows = std::move(rows);
        blocks_.back().style = style;
        return;
    }
    Block block;
    block.rows = std::move(rows);
    block.style = style;
    blocks_.push_back(std::move(block));
}

void TablePrinter::addTable(const QTableView& view, std::int64_t language, int identifierRole,
                            TablePrintStyle style) {
    const ItemViewTable table(view, identifierRole);
    style.alignments = table.alignments();
    addTable(rowsOf(table, view, language), std::move(style));
}

void TablePrinter::addText(QString text, PrintTextStyle style) {
    Block block;
    block.kind = Kind::Text;
    block.heading = std::move(text);
    block.textStyle = style;
    blocks_.push_back(std::move(block));
}

void TablePrinter::addImage(QImage image, double height) {
    if (image.isNull() || height <= 0)
        return;
    Block block;
    block.kind = Kind::Image;
    block.image = std::move(image);
    block.height = height;
    blocks_.push_back(std::move(block));
}

void TablePrinter::addLineFeeds(int count) {
    if (count <= 0)
        return;
    Block block;
    block.kind = Kind::Space;
    block.height = count;
    blocks_.push_back(std::move(block));
}

bool TablePrinter::print(QPrinter& printer) const {
    pagesPrinted_ = 0;
    printer.setDocName(jobTitle_);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    PageDrawer drawer(printer, painter, jobTitle_, printedAt_);
    const TextMetrics metrics = drawer.textMetrics();
    const PageArea area = drawer.tableArea();
    const double gap = metrics.lineHeight; // the empty paragraph before and after each table
    const double feed = drawer.metricsOf(PrintTextStyle{}).lineHeight;

    // Lay everything out first, so every page can say how many there are.
    std::vector<Placed> placed;
    std::vector<TableLayout> layouts(blocks_.size());
    std::vector<std::vector<QString>> lines(blocks_.size());
    std::size_t page = 0;
    double top = 0;
    // Moves on to the next page when `height` does not fit below `top` (unless the page is empty).
    const auto makeRoom = [&](double height) {
        if (top > 0 && top + height > area.height) {
            ++page;
            top = 0;
        }
    };
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
        const Block& block = blocks_[b];
        switch (block.kind) {
        case Kind::Table: {
            if (block.rows.empty())
                continue;
            const bool heading = !block.heading.isEmpty();
            const double headingHeight =
                (block.textStyle ? drawer.metricsOf(*block.textStyle).lineHeight : metrics.lineHeight) * 1.6;
            const double tableTop = top + gap + (heading ? headingHeight : 0);
            TableLayout& layout = layouts[b];
            layout = layoutTable(block.rows, metrics, area, block.style, page, tableTop);
            double headingTop = top + gap;
            if (heading && !layout.placed.empty() && layout.placed.front().page != page) {
                // The table's first rows went on: its heading goes with them.
                page = layout.placed.front().page;
                layout = layoutTable(block.rows, metrics, area, block.style, page, headingHeight);
                headingTop = 0;
            }
            if (heading)
                placed.push_back({Placed::What::Heading, b, page, headingTop});
            for (const PlacedRow& row : layout.placed)
                placed.push_back({Placed::What::Row, b, row.page, row.top, row.row});
            page = layout.lastPage;
            top = layout.endTop;
            break;
        }
        case Kind::Text: {
            const TextMetrics styled = drawer.metricsOf(*block.textStyle);
            lines[b] = wrapLines(block.heading, styled, area.width);
            for (std::size_t l = 0; l < lines[b].size(); ++l) {
                makeRoom(styled.lineHeight);
                placed.push_back({Placed::What::Text, b, page, top, l});
                top += styled.lineHeight;
            }
            break;
        }
        case Kind::Image: {
            const double aspect =
                static_cast<double>(block.image.width()) / std::max(1, block.image.height());
            double height = std::min(block.height, area.height);
            double width = height * aspect;
            if (width > area.width) {
                width = area.width;
                height = width / aspect;
            }
            makeRoom(height);
            placed.push_back({Placed::What::Image, b, page, top, 0, width, height});
            top += height;
            break;
        }
        case Kind::Space:
            top += block.height * feed;
            if (top >= area.height) {
                ++page;
                top = 0;
            }
            break;
        }
    }
    drawer.setPageCount(page + 1);

    bool ok = drawer.goTo(0);
    for (const Placed& item : placed) {
        if (!ok || !(ok = drawer.goTo(item.page)))
            break;
        const Block& block = blocks_[item.block];
        switch (item.what) {
        case Placed::What::Heading:
            if (block.textStyle)
                drawer.drawText(block.heading, item.top, *block.textStyle);
            else
                drawer.drawHeading(block.heading, item.top);
            break;
        case Placed::What::Row:
            drawer.drawRow(layouts[item.block], item.row, item.top, block.style);
            break;
        case Placed::What::Text:
            drawer.drawText(lines[item.block][item.row], item.top, *block.textStyle);
            break;
        case Placed::What::Image:
            drawer.drawImage(block.image, item.top, item.width, item.height);
            break;
        }
    }
    painter.end();
    pagesPrinted_ = page + 1;
    return ok;
}

QPrintDialog* openPrintDialog(QWidget* window, QPrinter& printer, std::function<void()> accepted) {
    auto* dialog = new QPrintDialog(&printer, window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(dialog, &QDialog::accepted, dialog, [accepted = std::move(accepted)] {
        if (accepted)
            accepted();
    });
    dialog->open();
    return dialog;
}

} // namespace tc::gui
