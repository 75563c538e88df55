#include "gui/screens/layout_check.h"

#include "gui/app/access_key_rules.h"
#include "gui/app/column_gap.h"
#include "gui/app/text_baseline.h"
#include "gui/grid/grid_model.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFocusFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRubberBand>
#include <QScrollArea>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSplitterHandle>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>
#include <QTabBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <optional>

namespace tc::gui {
namespace {

// A glyph may touch the edge of its room by this much without being cut.
constexpr int kSlack = 1;

int textWidth(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// Whether the letters of a text set in `contents` with `alignment` stay inside `clip` from top to
// bottom. The line's own height may pass the edge; only the ink counts.
QString quoted(const QString& text) {
    QString oneLine = text;
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QLatin1Char('"') + oneLine + QLatin1Char('"');
}

struct Ink {
    int top;
    int bottom;
    bool fits;
};

// Where the letters of a text fall when drawn as a label draws it (`contents` with `alignment`),
// and whether they stay inside rows 0 to `height` - 1. Drawn into an image of its own, with room
// above and below: glyphs of a fallback font (Arabic in a Latin font) can be taller than the
// font's own metrics say.
Ink inkOf(const QFont& font, const QString& text, Qt::Alignment alignment, const QRect& contents,
          int height) {
    const int pad = QFontMetrics(font).height();
    QImage image(std::max(1, contents.right() + 1), height + 2 * pad, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        // Unclipped, to see where the letters would go; the label itself cuts them at its edge.
        // On the baseline the program's style draws it on.
        const int shift = baselineShiftWithin(font, text, alignment, contents);
        painter.drawText(contents.translated(0, pad + shift), static_cast<int>(alignment) | Qt::TextDontClip,
                         text);
    }
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) > 96) {
                if (top < 0)
                    top = y;
                bottom = y;
                break;
            }
        }
    }
    if (top < 0)
        return {0, 0, true};
    return {top - pad, bottom - pad, top - pad + kSlack >= 0 && bottom - pad <= height - 1 + kSlack};
}

QString inkRoom(const QString& text, const Ink& ink, int height) {
    return QStringLiteral("%1: its letters reach from %2 to %3 px, it shows 0 to %4")
        .arg(quoted(text))
        .arg(ink.top)
        .arg(ink.bottom)
        .arg(height - 1);
}

QString room(const QString& text, int needs, int has) {
    return QStringLiteral("%1 needs %2 px, has %3").arg(quoted(text)).arg(needs).arg(has);
}

QRect inWindow(const QWidget* widget, const QWidget* window) {
    return {widget->mapTo(window, QPoint(0, 0)), widget->size()};
}

bool isInternal(const QWidget* widget) {
    return qobject_cast<const QScrollBar*>(widget) || qobject_cast<const QSplitterHandle*>(widget) ||
           qobject_cast<const QSizeGrip*>(widget) || qobject_cast<const QRubberBand*>(widget) ||
           qobject_cast<const QFocusFrame*>(widget) || qobject_cast<const QMenu*>(widget) ||
           // a tab bar's scroll arrows
           qobject_cast<const QTabBar*>(widget->parentWidget());
}

bool isControl(const QWidget* widget) {
    return qobject_cast<const QLabel*>(widget) || qobject_cast<const QAbstractButton*>(widget) ||
           qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) || qobject_cast<const QAbstractSlider*>(widget) ||
           qobject_cast<const QProgressBar*>(widget);
}

// A widget that draws itself (a graph, a price button's kin) rather than holding others.
bool isDrawnLeaf(const QWidget* widget) {
    for (const QObject* child : widget->children())
        if (const auto* w = qobject_cast<const QWidget*>(child); w && !w->isHidden() && !w->isWindow())
            return false;
    const QString name = QString::fromLatin1(widget->metaObject()->className());
    static const QStringList plain{QStringLiteral("QWidget"),        QStringLiteral("QFrame"),
                                   QStringLiteral("QStackedWidget"), QStringLiteral("QSplitter"),
                                   QStringLiteral("QMainWindow"),    QStringLiteral("QDialog")};
    // An empty chart slot is a place kept for a chart, not a control.
    return !plain.contains(name) && !name.startsWith(QLatin1String("QToolBar")) &&
           name != QLatin1String("tc::gui::ChartDropArea");
}

// A push button's text keeps the style's margin clear on both sides inside the button's frame:
// a button filled edge to edge reads as cut. Measured by the letters' ink as well as their advance,
// since some scripts reach past it. Empty when the text has its margins.
QString missingButtonMargin(const QPushButton* push, const QString& text) {
    if (text.isEmpty() || !push->icon().isNull() || push->menu() || push->isFlat())
        return {};
    QStyleOptionButton option;
    option.initFrom(push);
    option.text = text;
    if (push->autoDefault() || push->isDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    if (push->isDefault())
        option.features |= QStyleOptionButton::DefaultButton;
    const QStyle* style = push->style();
    const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, &option, push);
    const QRect contents = style->subElementRect(QStyle::SE_PushButtonContents, &option, push);
    const int beside = (contents.width() - inkWidth(push->fontMetrics(), text)) / 2;
    if (beside + kSlack >= margin)
        return {};
    return QStringLiteral("%1 leaves %2 px beside it, the style keeps %3")
        .arg(quoted(text))
        .arg(beside)
        .arg(margin);
}

// A cell's room as the view paints it: the grid line takes the last pixel of every cell.
int cellWidth(const QTableView* table, int column) {
    return table->columnWidth(column) - (table->showGrid() ? 1 : 0);
}

// The width a cell's delegate asks for, told of the cell as the view paints it.
int widthAskedFor(const QTableView* table, const QModelIndex& index) {
    QStyleOptionViewItem option;
    option.initFrom(table);
    option.widget = table;
    option.font = table->font();
    option.textElideMode = table->textElideMode();
    option.rect = QRect(0, 0, cellWidth(table, index.column()), table->rowHeight(index.row()));
    return table->itemDelegateForIndex(index)->sizeHint(option, index).width();
}

struct Placed {
    const QWidget* widget;
    QRect seen; // what shows of it in the window
};

class Walker {
public:
    explicit Walker(QWidget* window) : window_(window) {}

    std::vector<LayoutFault> run() {
        const QRect all = inWindow(window_, window_);
        visit(window_, all, all);
        findOverlaps();
        return std::move(faults_);
    }

private:
    void fault(LayoutFault::Kind kind, const QWidget* widget, QString detail) {
        faults_.push_back({kind, widgetPath(widget, window_), std::move(detail)});
    }

    void visitChildren(const QWidget* parent, const QRect& clipAll, const QRect& clipPage) {
        for (const QObject* child : parent->children()) {
            const auto* w = qobject_cast<const QWidget*>(child);
            if (!w || w->isHidden() || w->isWindow() || isInternal(w))
                continue;
            visit(w, clipAll, clipPage);
        }
    }

    void visit(const QWidget* w, const QRect& clipAll, const QRect& clipPage) {
        const QRect whole = inWindow(w, window_);
        const QRect seenAll = whole & clipAll;
        const QRect seenPage = whole & clipPage;
        if (const auto* header = qobject_cast<const QHeaderView*>(w)) {
            checkHeader(header);
            return;
        }
        if (const auto* bar = qobject_cast<const QToolBar*>(w))
            checkToolBar(bar);
        if (const auto* bar = qobject_cast<const QTabBar*>(w)) {
            checkTabs(bar);
            place(w, whole, seenAll, seenPage);
            return;
        }
        if (const auto* view = qobject_cast<const QAbstractItemView*>(w)) {
            place(w, whole, seenAll, seenPage);
            if (const auto* table = qobject_cast<const QTableView*>(view)) {
                checkCells(table);
                checkColumnsInSight(table, seenAll);
                checkColumnGaps(table);
            }
            // Its cells scroll; its headers are read on their own.
            for (const QObject* child : w->children())
                if (const auto* header = qobject_cast<const QHeaderView*>(child);
                    header && !header->isHidden())
                    checkHeader(header);
            return;
        }
        if (const auto* area = qobject_cast<const QAbstractScrollArea*>(w)) {
            place(w, whole, seenAll, seenPage);
            const auto* scroll = qobject_cast<const QScrollArea*>(area);
            if (scroll && scroll->widget() && !scroll->widget()->isHidden()) {
                // The page scrolls: judged against itself, seen through the viewport.
                const QWidget* page = scroll->widget();
                const QRect viewport = inWindow(scroll->viewport(), window_) & seenAll;
                const QRect pageRect = inWindow(page, window_);
                if (!qobject_cast<const QMenu*>(page))
                    visitChildren(page, pageRect & viewport, pageRect);
            }
            return;
        }
        if (isControl(w)) {
            checkText(w);
            place(w, whole, seenAll, seenPage);
            return;
        }
        if (const auto* box = qobject_cast<const QGroupBox*>(w))
            checkGroupTitle(box);
        if (isDrawnLeaf(w)) {
            place(w, whole, seenAll, seenPage);
            return;
        }
        visitChildren(w, seenAll, seenPage);
    }

    void place(const QWidget* w, const QRect& whole, const QRect& seenAll, const QRect& seenPage) {
        if (whole.isEmpty())
            return;
        if (seenPage.width() + kSlack < whole.width() || seenPage.height() + kSlack < whole.height())
            fault(LayoutFault::Kind::CutByPane, w,
                  QStringLiteral("%1x%2 of %3x%4 shows")
                      .arg(seenPage.width())
                      .arg(seenPage.height())
                      .arg(whole.width())
                      .arg(whole.height()));
        placed_.push_back({w, seenAll});
    }

    void checkText(const QWidget* w) {
        if (const auto* label = qobject_cast<const QLabel*>(w)) {
            checkLabel(label);
            return;
        }
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        if (!button)
            return;
        const QString text = shownText(button->text());
        if (text.isEmpty())
            return;
        const QFontMetrics metrics = button->fontMetrics();
        QSize needs;
        if (const auto* push = qobject_cast<const QPushButton*>(button)) {
            QStyleOptionButton option;
            option.initFrom(push);
            option.features = QStyleOptionButton::None;
            if (push->isFlat())
                option.features |= QStyleOptionButton::Flat;
            if (push->menu())
                option.features |= QStyleOptionButton::HasMenu;
            if (push->autoDefault() || push->isDefault())
                option.features |= QStyleOptionButton::AutoDefaultButton;
            if (push->isDefault())
                option.features |= QStyleOptionButton::DefaultButton;
            option.icon = push->icon();
            option.iconSize = push->iconSize();
            // No text in the option: some styles widen every button with text to a floor of theirs.
            QSize contents(textWidth(metrics, text), metrics.height());
            if (!push->icon().isNull())
                contents = QSize(contents.width() + push->iconSize().width() + 4,
                                 std::max(contents.height(), push->iconSize().height()));
            if (push->menu())
                contents.rwidth() +=
                    push->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, &option, push);
            needs = push->style()->sizeFromContents(QStyle::CT_PushButton, &option, contents, push);
        } else if (const auto* tool = qobject_cast<const QToolButton*>(button)) {
            if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly && !tool->icon().isNull())
                return;
            needs = tool->sizeHint();
        } else {
            needs = button->sizeHint();
        }
        if (button->width() + kSlack < needs.width())
            fault(LayoutFault::Kind::TextCut, w, room(text, needs.width(), button->width()));
        else if (const Ink ink =
                     inkOf(button->font(), text, Qt::AlignCenter, button->rect(), button->height());
                 !ink.fits)
            fault(LayoutFault::Kind::TextCut, w, inkRoom(text, ink, button->height()));
        else if (const auto* push = qobject_cast<const QPushButton*>(button))
            if (QString missing = missingButtonMargin(push, text); !missing.isEmpty())
                fault(LayoutFault::Kind::TextCut, w, std::move(missing));
    }

    void checkLabel(const QLabel* label) {
        if (!label->pixmap().isNull() || label->text().isEmpty())
            return;
        const QSize least = label->minimumSizeHint();
        if (label->wordWrap()) {
            const int high = label->heightForWidth(label->width());
            if (label->width() + kSlack < least.width())
                fault(LayoutFault::Kind::TextCut, label, room(label->text(), least.width(), label->width()));
            else if (high > 0 && label->height() + kSlack < high)
                fault(LayoutFault::Kind::TextCut, label,
                      QStringLiteral("%1 needs %2 px of height, has %3")
                          .arg(quoted(label->text()))
                          .arg(high)
                          .arg(label->height()));
            return;
        }
        if (label->width() + kSlack < least.width())
            fault(LayoutFault::Kind::TextCut, label, room(label->text(), least.width(), label->width()));
        else if (const Ink ink = inkOf(label->font(), label->text(), label->alignment(),
                                       label->contentsRect(), label->height());
                 !ink.fits)
            fault(LayoutFault::Kind::TextCut, label, inkRoom(label->text(), ink, label->height()));
    }

    void checkGroupTitle(const QGroupBox* box) {
        const QString title = shownText(box->title());
        if (title.isEmpty())
            return;
        int needs = box->fontMetrics().horizontalAdvance(title) + 8;
        if (box->isCheckable())
            needs += box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) + 4;
        if (box->width() + kSlack < needs)
            fault(LayoutFault::Kind::TextCut, box, room(title, needs, box->width()));
    }

    void checkHeader(const QHeaderView* header) {
        const QAbstractItemModel* model = header->model();
        if (!model || header->orientation() != Qt::Horizontal || header->isHidden())
            return;
        for (int section = 0; section < header->count(); ++section) {
            const int width = header->sectionSize(section);
            if (header->isSectionHidden(section) || width <= 0)
                continue;
            const QString title = model->headerData(section, Qt::Horizontal, Qt::DisplayRole).toString();
            if (title.isEmpty())
                continue;
            const QVariant font = model->headerData(section, Qt::Horizontal, Qt::FontRole);
            const QFontMetrics metrics(font.canConvert<QFont>() ? font.value<QFont>() : header->font());
            // The title's room as the style lays the section out: its margins, and the sort arrow's
            // room on the column the rows are sorted by, or on a grid's column that a click sorts.
            QStyleOptionHeader option;
            option.initFrom(header);
            option.state |= QStyle::State_Horizontal;
            option.orientation = Qt::Horizontal;
            option.rect = QRect(0, 0, width, header->height());
            if (header->isSortIndicatorShown() &&
                (header->sortIndicatorSection() == section ||
                 model->headerData(section, Qt::Horizontal, GridModel::SortsRole).toBool()))
                option.sortIndicator = header->sortIndicatorOrder() == Qt::AscendingOrder
                                           ? QStyleOptionHeader::SortUp
                                           : QStyleOptionHeader::SortDown;
            const int label =
                header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header).width();
            const int needs = textWidth(metrics, title) + width - label;
            if (width + kSlack < needs)
                fault(LayoutFault::Kind::Elided, header,
                      QStringLiteral("column %1: %2").arg(section).arg(room(title, needs, width)));
        }
    }

    // A symbol or a figure (a cell's text without a space) elided by its column: what its delegate
    // asks for against the column's width. Names and sentences may end in "..." by design. Cells
    // scroll, columns do not: every row counts, not only those in sight.
    void checkCells(const QTableView* table) {
        const QAbstractItemModel* model = table->model();
        if (!model)
            return;
        const QModelIndex root = table->rootIndex();
        const int rows = std::min(model->rowCount(root), kCellRows);
        for (int column = 0; column < model->columnCount(root); ++column) {
            if (table->isColumnHidden(column) || table->columnWidth(column) <= 0)
                continue;
            // The delegate elides what needs more than the cell's room, to the pixel.
            const int width = cellWidth(table, column);
            for (int row = 0; row < rows; ++row) {
                const QModelIndex index = model->index(row, column, root);
                const QString text = index.data(Qt::DisplayRole).toString();
                if (table->isRowHidden(row) || text.isEmpty() || text.contains(QLatin1Char(' ')))
                    continue;
                const int needs = widthAskedFor(table, index);
                if (width < needs) {
                    fault(LayoutFault::Kind::Elided, table,
                          QStringLiteral("row %1, column %2: %3")
                              .arg(row)
                              .arg(column)
                              .arg(room(text, needs, width)));
                    break; // one cut cell names its column
                }
            }
        }
    }

    // A column the view's edge cuts through: the part of it in sight must hold its title and its
    // symbols and figures whole. The view scrolls to the rest, but a column that shows only part of
    // a price, or a price without its title, reads wrong. Columns wholly out of sight are fine.
    void checkColumnsInSight(const QTableView* table, const QRect& seen) {
        const QAbstractItemModel* model = table->model();
        const QHeaderView* header = table->horizontalHeader();
        if (!model)
            return;
        const QRect port = inWindow(table->viewport(), window_);
        const QRect shown = port & seen;
        if (shown.isEmpty())
            return;
        // In the viewport's own coordinates.
        const int from = shown.left() - port.left();
        const int to = shown.right() - port.left();
        const QModelIndex root = table->rootIndex();
        const int rows = std::min(model->rowCount(root), kCellRows);
        const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        for (int column = 0; column < model->columnCount(root); ++column) {
            const int width = table->columnWidth(column);
            const int left = table->columnViewportPosition(column);
            const int right = left + width - 1;
            if (table->isColumnHidden(column) || width <= 0 || right < from || left > to ||
                (left + kSlack >= from && right - kSlack <= to))
                continue;
            const auto cut = [&](const QString& what, int needs, const QVariant& alignment) {
                const auto [a, b] = spanIn(left, width, needs, alignment, table->layoutDirection());
                if (a + kSlack >= from && b - kSlack <= to)
                    return false;
                fault(LayoutFault::Kind::CutByPane, table,
                      QStringLiteral("column %1: %2 lies at %3 to %4 px, the view shows %5 to %6")
                          .arg(column)
                          .arg(what)
                          .arg(a)
                          .arg(b)
                          .arg(from)
                          .arg(to));
                return true;
            };
            const QString title = model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
            if (!header->isHidden() && !title.isEmpty()) {
                const int needs = textWidth(header->fontMetrics(), title) + 2 * margin;
                const QVariant alignment = model->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
                if (cut(QStringLiteral("its title ") + quoted(title), needs,
                        alignment.isValid() ? alignment : QVariant::fromValue(header->defaultAlignment())))
                    continue; // one fault names its column
            }
            for (int row = 0; row < rows; ++row) {
                const QModelIndex index = model->index(row, column, root);
                const QString text = index.data(Qt::DisplayRole).toString();
                if (table->isRowHidden(row) || text.isEmpty() || text.contains(QLatin1Char(' ')))
                    continue;
                const int needs = widthAskedFor(table, index);
                if (cut(QStringLiteral("row %1, ").arg(row) + quoted(text), needs,
                        index.data(Qt::TextAlignmentRole)))
                    break;
            }
        }
    }

    // Two neighbouring columns whose texts stand closer than a column gap read as one phrase
    // ("Quantity Side", "1.5 B"): the titles, and every row in which both cells hold a text, each
    // text placed as the view draws it (in its room less the style's margins, by its alignment).
    void checkColumnGaps(const QTableView* table) {
        const QAbstractItemModel* model = table->model();
        const QHeaderView* header = table->horizontalHeader();
        if (!model)
            return;
        const QModelIndex root = table->rootIndex();
        const Qt::LayoutDirection direction = table->layoutDirection();
        // The columns that show, left to right on the screen.
        std::vector<int> columns;
        for (int column = 0; column < model->columnCount(root); ++column)
            if (!table->isColumnHidden(column) && table->columnWidth(column) > 0)
                columns.push_back(column);
        std::sort(columns.begin(), columns.end(), [&](int a, int b) {
            return table->columnViewportPosition(a) < table->columnViewportPosition(b);
        });
        if (columns.size() < 2)
            return;
        const int headerMargin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        const int cellMargin = cellTextMargin(*table);
        const int grid = table->showGrid() ? 1 : 0;
        // A text's first and last pixel in the viewport, empty text as none.
        using Span = std::optional<std::pair<int, int>>;
        const auto titleAt = [&](int column) -> Span {
            const QString title = model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
            if (title.isEmpty())
                return std::nullopt;
            const QVariant alignment = model->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole);
            return spanIn(
                table->columnViewportPosition(column) + headerMargin,
                table->columnWidth(column) - 2 * headerMargin, textWidth(header->fontMetrics(), title),
                alignment.isValid() ? alignment : QVariant::fromValue(header->defaultAlignment()), direction);
        };
        const auto cellAt = [&](int row, int column) -> Span {
            const QModelIndex index = model->index(row, column, root);
            if (index.data(Qt::DisplayRole).toString().isEmpty())
                return std::nullopt;
            // The grid line takes the cell's last pixel, its first right to left.
            const int left =
                table->columnViewportPosition(column) + (direction == Qt::RightToLeft ? grid : 0);
            return spanIn(left + cellMargin, cellWidth(table, column) - 2 * cellMargin,
                          widthAskedFor(table, index) - 2 * cellMargin, index.data(Qt::TextAlignmentRole),
                          direction);
        };
        const auto tooClose = [&](const Span& a, const Span& b, const QFont& font) {
            return a && b && b->first - a->second - 1 + kSlack < columnGap(font);
        };
        const int rows = std::min(model->rowCount(root), kCellRows);
        for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
            const int a = columns[i];
            const int b = columns[i + 1];
            const auto report = [&](const QString& what, const Span& sa, const Span& sb, const QFont& font) {
                fault(LayoutFault::Kind::ColumnsTouch, table,
                      QStringLiteral("columns %1 and %2: %3 stand %4 px apart, columns keep %5")
                          .arg(a)
                          .arg(b)
                          .arg(what)
                          .arg(sb->first - sa->second - 1)
                          .arg(columnGap(font)));
            };
            if (!header->isHidden()) {
                const Span ta = titleAt(a);
                const Span tb = titleAt(b);
                if (tooClose(ta, tb, header->font())) {
                    report(QStringLiteral("the titles %1 and %2")
                               .arg(quoted(model->headerData(a, Qt::Horizontal).toString()),
                                    quoted(model->headerData(b, Qt::Horizontal).toString())),
                           ta, tb, header->font());
                    continue; // one fault names a pair of columns
                }
            }
            for (int row = 0; row < rows; ++row) {
                if (table->isRowHidden(row))
                    continue;
                const Span ca = cellAt(row, a);
                const Span cb = cellAt(row, b);
                if (tooClose(ca, cb, table->font())) {
                    report(QStringLiteral("row %1, %2 and %3")
                               .arg(row)
                               .arg(quoted(model->index(row, a, root).data().toString()),
                                    quoted(model->index(row, b, root).data().toString())),
                           ca, cb, table->font());
                    break;
                }
            }
        }
    }

    // Where content `needs` px wide sits in a column at `left`, `width` wide, by its alignment (the
    // start side when it has none).
    static std::pair<int, int> spanIn(int left, int width, int needs, const QVariant& alignment,
                                      Qt::LayoutDirection direction) {
        needs = std::min(needs, width);
        Qt::Alignment align = Qt::AlignLeft;
        if (alignment.typeId() == QMetaType::Int)
            align = Qt::Alignment(alignment.toInt());
        else if (alignment.isValid())
            align = alignment.value<Qt::Alignment>();
        align = QStyle::visualAlignment(direction, align & Qt::AlignHorizontal_Mask);
        int start = left;
        if (align & Qt::AlignRight)
            start = left + width - needs;
        else if (align & Qt::AlignHCenter)
            start = left + (width - needs) / 2;
        return {start, start + needs - 1};
    }

    void checkTabs(const QTabBar* bar) {
        const bool vertical = bar->shape() == QTabBar::RoundedWest || bar->shape() == QTabBar::RoundedEast ||
                              bar->shape() == QTabBar::TriangularWest ||
                              bar->shape() == QTabBar::TriangularEast;
        const QSize needs = bar->sizeHint();
        const int has = vertical ? bar->height() : bar->width();
        const int wants = vertical ? needs.height() : needs.width();
        if (has + kSlack >= wants)
            return;
        // Elided, or out of sight behind the scroll arrows.
        QStringList hidden;
        const QRect inside = bar->rect();
        for (int i = 0; i < bar->count(); ++i)
            if (bar->isTabVisible(i) &&
                (!inside.contains(bar->tabRect(i)) || bar->elideMode() != Qt::ElideNone))
                hidden << quoted(bar->tabText(i));
        fault(LayoutFault::Kind::Elided, bar,
              QStringLiteral("tabs need %1 px, have %2: %3")
                  .arg(wants)
                  .arg(has)
                  .arg(hidden.join(QStringLiteral(", "))));
    }

    // A toolbar too narrow for its items hides the last ones behind its extension arrow.
    void checkToolBar(const QToolBar* bar) {
        QStringList hidden;
        for (QAction* action : bar->actions()) {
            const QWidget* item = bar->widgetForAction(action);
            if (action->isVisible() && !action->isSeparator() && item && item->isHidden())
                hidden << quoted(shownText(action->text()));
        }
        if (!hidden.isEmpty())
            fault(LayoutFault::Kind::Elided, bar,
                  QStringLiteral("toolbar items out of sight: %1").arg(hidden.join(QStringLiteral(", "))));
    }

    void findOverlaps() {
        for (std::size_t i = 0; i < placed_.size(); ++i) {
            for (std::size_t j = i + 1; j < placed_.size(); ++j) {
                const QRect common = placed_[i].seen & placed_[j].seen;
                if (common.width() <= kSlack || common.height() <= kSlack)
                    continue;
                const QWidget* a = placed_[i].widget;
                const QWidget* b = placed_[j].widget;
                if (a->isAncestorOf(b) || b->isAncestorOf(a))
                    continue;
                fault(LayoutFault::Kind::Overlap, a,
                      QStringLiteral("overlaps %1 by %2x%3")
                          .arg(widgetPath(b, window_))
                          .arg(common.width())
                          .arg(common.height()));
            }
        }
    }

    QWidget* window_;
    std::vector<Placed> placed_;
    std::vector<LayoutFault> faults_;
};

} // namespace

QString kindName(LayoutFault::Kind kind) {
    switch (kind) {
    case LayoutFault::Kind::TextCut:
        return QStringLiteral("text cut");
    case LayoutFault::Kind::Elided:
        return QStringLiteral("elided");
    case LayoutFault::Kind::Overlap:
        return QStringLiteral("overlap");
    case LayoutFault::Kind::CutByPane:
        return QStringLiteral("cut by its pane");
    case LayoutFault::Kind::ColumnsTouch:
        return QStringLiteral("columns touch");
    }
    return {};
}

QString shownText(const QString& text) {
    return QString::fromStdString(withoutAccessMarks(text.toStdString()));
}

QString widgetPath(const QWidget* widget, const QWidget* window) {
    QStringList parts;
    for (const QWidget* w = widget; w && w != window; w = w->parentWidget()) {
        QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) {
            name = QString::fromLatin1(w->metaObject()->className());
            name.remove(QStringLiteral("tc::gui::"));
        }
        parts.prepend(name);
    }
    return parts.join(QLatin1Char('/'));
}

std::vector<LayoutFault> layoutFaults(QWidget* window) {
    if (!window)
        return {};
    return Walker(window).run();
}

QSize smallestSize(QWidget* window) {
    if (!window)
        return {};
    const bool fixed = window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip ||
                       qobject_cast<QMessageBox*>(window) || window->minimumSize() == window->maximumSize() ||
                       (window->layout() && window->layout()->sizeConstraint() == QLayout::SetFixedSize);
    if (fixed)
        return window->size();
    if (window->layout())
        window->layout()->activate();
    QSize least = window->minimumSize();
    if (least.width() <= 0 || least.height() <= 0)
        least = least.expandedTo(window->minimumSizeHint());
    if (least.width() <= 0 || least.height() <= 0)
        return window->size();
    return least.boundedTo(window->maximumSize());
}

void settleLayout() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace tc::gui
