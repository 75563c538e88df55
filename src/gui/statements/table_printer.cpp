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
            if (!view.isColumnHidden(logical))
                plainTitles_.push_back(
                    identifier.isEmpty()
                        ? std::optional<std::string>(
                              model->headerData(logical, Qt::Horizontal).toString().toStdString())
                        : std::nullopt);
        }
    }

    std::vector<TableColumn> tableColumns() const override { return columns_; }
    // Per visible column: the header's own text where the column has no identifier.
    const std::vector<std::optional<std::string>>& plainTitles() const { return plainTitles_; }
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
    PageDrawer(QPrinter& printer, QPainter& painter, const QString& title)
        : printer_(printer), painter_(painter), title_(title) {
        scale_.k = printer.resolution() / 72.0;
        font_ = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font_.setPointSizeF(8);
        metrics_ = std::make_unique<QFontMetricsF>(font_, &printer);
        const QRectF area = printer.pageRect(QPrinter::Point);
        page_ = {area.width(), area.height()};
        stamp_ = QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy HH:mm"));
    }

    TextMetrics textMetrics() const {
        const QFontMetricsF* metrics = metrics_.get();
        const double k = scale_.k;
        return {[metrics, k](std::string_view text) {
                    return metrics->horizontalAdvance(
                               QString::fromUtf8(text.data(), static_cast<int>(text.size()))) /
                           k;
                },
                metrics->height() / k};
    }
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

    void drawHeading(const QString& text, double top) {
        QFont bold = font_;
        bold.setBold(true);
        painter_.setFont(bold);
        painter_.setPen(Qt::black);
        painter_.drawText(QPointF(0, scale_(kHeaderBand + top) + metrics_->ascent()), text);
    }

    void drawRow(const TableLayout& layout, std::size_t row, double top, const TablePrintStyle& style) {
        double left = 0;
        const double height = layout.rowHeights[row];
        painter_.setFont(font_);
        for (std::size_t c = 0; c < layout.columnWidths.size(); ++c) {
            const double width = layout.columnWidths[c];
            const PrintCell& cell = layout.cells[row][c];
            const QRectF box(scale_(left), scale_(kHeaderBand + top), scale_(width), scale_(height));
            painter_.fillRect(box, cell.fill == CellFill::Header ? QColor(Qt::lightGray) : QColor(Qt::white));
            QPen border(QColor(Qt::darkGray));
            border.setWidthF(scale_(style.borderWidth));
            painter_.setPen(border);
            painter_.drawRect(box);
            painter_.setPen(Qt::black);
            // Lines sit in the middle of the row, as a vertically centred paragraph does.
            const double lineHeight = metrics_->height();
            const double textHeight = lineHeight * static_cast<double>(cell.lines.size());
            double y = box.top() + (box.height() - textHeight) / 2 + metrics_->ascent();
            for (const std::string& line : cell.lines) {
                painter_.drawText(QPointF(box.left() + scale_(style.horizontalPadding), y),
                                  QString::fromStdString(line));
                y += lineHeight;
            }
            left += width;
        }
    }

private:
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
    std::unique_ptr<QFontMetricsF> metrics_;
    PageArea page_;
    QString stamp_;
    std::size_t current_ = 0;
    std::size_t pageCount_ = 1;
    bool decorated_ = false;
};

struct PlacedBlock {
    std::size_t headingPage = 0;
    double headingTop = -1; // < 0: no heading
    TableLayout layout;
};

} // namespace

PrintRows printRowsOf(const QTableView& view, std::int64_t language, int identifierRole) {
    const ItemViewTable table(view, identifierRole);
    const int rows = view.model() ? view.model()->rowCount() : 0;
    PrintRows out = ConsolidatedTableData::getConsolidatedDataFromTableView(
        table, static_cast<std::uint64_t>(rows), language);
    for (std::size_t c = 0; c < table.plainTitles().size() && c < out.front().size(); ++c)
        if (table.plainTitles()[c])
            out.front()[c] = *table.plainTitles()[c];
    return out;
}

TablePrinter::TablePrinter(QString jobTitle) : jobTitle_(std::move(jobTitle)) {}

void TablePrinter::addHeading(QString text) {
    blocks_.push_back({std::move(text), {}, {}});
}

void TablePrinter::addTable(PrintRows rows, TablePrintStyle style) {
    if (rows.empty())
        return;
    if (!blocks_.empty() && blocks_.back().rows.empty()) {
        blocks_.back().rows = std::move(rows);
        blocks_.back().style = style;
        return;
    }
    blocks_.push_back({QString(), std::move(rows), style});
}

bool TablePrinter::print(QPrinter& printer) const {
    pagesPrinted_ = 0;
    printer.setDocName(jobTitle_);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    PageDrawer drawer(printer, painter, jobTitle_);
    const TextMetrics metrics = drawer.textMetrics();
    const PageArea area = drawer.tableArea();
    const double gap = metrics.lineHeight; // the empty paragraph before and after each table
    const double headingHeight = metrics.lineHeight * 1.6;

    // Lay everything out first, so every page can say how many there are.
    std::vector<PlacedBlock> placed;
    std::size_t page = 0;
    double top = 0;
    for (const Block& block : blocks_) {
        if (block.rows.empty())
            continue;
        PlacedBlock out;
        const bool heading = !block.heading.isEmpty();
        const double tableTop = top + gap + (heading ? headingHeight : 0);
        out.layout = layoutTable(block.rows, metrics, area, block.style, page, tableTop);
        if (heading && !out.layout.placed.empty() && out.layout.placed.front().page != page) {
            // The table's first rows went on: its heading goes with them.
            page = out.layout.placed.front().page;
            out.layout = layoutTable(block.rows, metrics, area, block.style, page, headingHeight);
            out.headingTop = 0;
        } else if (heading) {
            out.headingTop = top + gap;
        }
        out.headingPage = page;
        page = out.layout.lastPage;
        top = out.layout.endTop;
        placed.push_back(std::move(out));
    }
    drawer.setPageCount(page + 1);

    bool ok = drawer.goTo(0);
    for (std::size_t b = 0, index = 0; ok && b < blocks_.size(); ++b) {
        if (blocks_[b].rows.empty())
            continue;
        const PlacedBlock& block = placed[index++];
        if (block.headingTop >= 0) {
            ok = drawer.goTo(block.headingPage);
            drawer.drawHeading(blocks_[b].heading, block.headingTop);
        }
        for (const PlacedRow& row : block.layout.placed) {
            if (!(ok = drawer.goTo(row.page)))
                break;
            drawer.drawRow(block.layout, row.row, row.top, blocks_[b].style);
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
