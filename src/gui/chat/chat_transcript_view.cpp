#include "gui/chat/chat_transcript_view.h"

#include "gui/app/qt_text.h"
#include "gui/app/theme_manager.h"
#include "gui/app/theme_table.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextLayout>

#include <cmath>

namespace tc::gui {
namespace {

constexpr int kHorizontalMargin = 6;
constexpr int kVerticalMargin = 3;

// What a row draws: the head, at least a space, the tab, the text, and the note on a line of its own.
QString drawnText(const QString& head, const QString& text, const QString& note) {
    return head + QStringLiteral(" \t") + text + (note.isEmpty() ? QString() : QChar::LineSeparator + note);
}

// Lays the line out at `width`; answers its height.
qreal layOut(QTextLayout& layout, qreal width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(QFontMetricsF(layout.font()).horizontalAdvance(QLatin1Char(' ')) * 4);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max<qreal>(width, 1));
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

} // namespace

// ---- model

TranscriptModel::TranscriptModel(QObject* parent) : QAbstractTableModel(parent) {}

void TranscriptModel::setRoom(std::shared_ptr<const chat::ChatRoom> room, std::string ownUserName) {
    const bool sameRoom = room && room == room_ && ownUserName == own_ &&
                          room->messages.size() >= lines_.size() &&
                          (lines_.empty() || room->messages[lines_.size() - 1].msg == lastText_);
    if (sameRoom) {
        const std::size_t from = lines_.size();
        if (room->messages.size() == from)
            return;
        beginInsertRows({}, static_cast<int>(from), static_cast<int>(room->messages.size() - 1));
        for (std::size_t i = from; i < room->messages.size(); ++i)
            lines_.push_back(transcriptLine(room->messages[i], own_, heldNote_, unconfirmedNote_));
        lastText_ = room->messages.back().msg;
        endInsertRows();
        return;
    }
    beginResetModel();
    room_ = std::move(room);
    own_ = std::move(ownUserName);
    lines_.clear();
    lastText_.clear();
    if (room_) {
        lines_.reserve(room_->messages.size());
        for (const chat::ChatMessageEntry& entry : room_->messages)
            lines_.push_back(transcriptLine(entry, own_, heldNote_, unconfirmedNote_));
        if (!room_->messages.empty())
            lastText_ = room_->messages.back().msg;
    }
    endResetModel();
}

void TranscriptModel::setNotes(std::string held, std::string unconfirmed) {
    if (held == heldNote_ && unconfirmed == unconfirmedNote_)
        return;
    heldNote_ = std::move(held);
    unconfirmedNote_ = std::move(unconfirmed);
    reread();
}

void TranscriptModel::reread() {
    auto room = std::move(room_);
    std::string own = own_;
    room_.reset();
    setRoom(std::move(room), std::move(own));
}

int TranscriptModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int TranscriptModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant TranscriptModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() != 0)
        return {};
    const TranscriptLine& l = line(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        return qt(l.whole());
    case OwnRole:
        return l.own;
    case HeadRole:
        return qt(l.head);
    case TextRole:
        return qt(l.text);
    case NoteRole:
        return qt(l.note);
    default:
        return {};
    }
}

// ---- delegate

TranscriptDelegate::TranscriptDelegate(ThemeManager& themes, QObject* parent)
    : QStyledItemDelegate(parent), themes_(themes) {}

int TranscriptDelegate::heightFor(const TranscriptLine& line, int width, const QFont& font) const {
    QTextLayout layout(drawnText(qt(line.head), qt(line.text), qt(line.note)), font);
    const qreal height = layOut(layout, width - 2 * kHorizontalMargin);
    return static_cast<int>(std::ceil(height)) + 2 * kVerticalMargin;
}

QSize TranscriptDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* model = qobject_cast<const TranscriptModel*>(index.model());
    if (!model || index.row() >= model->rowCount())
        return QStyledItemDelegate::sizeHint(option, index);
    const int width = option.rect.width() > 0 ? option.rect.width() : 400;
    return {width, heightFor(model->line(index.row()), width, option.font)};
}

void TranscriptDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const QString head = index.data(TranscriptModel::HeadRole).toString();
    const QString whole = drawnText(head, index.data(TranscriptModel::TextRole).toString(),
                                    index.data(TranscriptModel::NoteRole).toString());
    const bool own = index.data(TranscriptModel::OwnRole).toBool();
    const Rgba c =
        colourOf(themes_.getThemeForKey(), own ? ThemeRole::ChatOwnHead : ThemeRole::ChatOtherHead);
    QTextCharFormat headFormat;
    headFormat.setForeground(QColor(c.r, c.g, c.b, c.a));
    QTextLayout layout(whole, opt.font);
    layout.setFormats({QTextLayout::FormatRange{0, static_cast<int>(head.size()), headFormat}});
    layOut(layout, option.rect.width() - 2 * kHorizontalMargin);
    painter->save();
    const bool selected = opt.state & QStyle::State_Selected;
    painter->setPen(
        opt.palette.color(QPalette::Normal, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setClipRect(option.rect);
    layout.draw(painter,
                QPointF(option.rect.left() + kHorizontalMargin, option.rect.top() + kVerticalMargin));
    painter->restore();
}

// ---- view

TranscriptView::TranscriptView(QWidget* parent) : QTableView(parent) {
    model_ = new TranscriptModel(this);
    setModel(model_);
    horizontalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setShowGrid(false);
    setWordWrap(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::StrongFocus); // scrolls by the keyboard
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { rowsCame(first, last); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        sizedWidth_ = -1;
        if (model_->rowCount() > 0)
            rowsCame(0, model_->rowCount() - 1);
    });
}

void TranscriptView::setThemes(ThemeManager& themes) {
    delete delegate_;
    delegate_ = new TranscriptDelegate(themes, this);
    setItemDelegate(delegate_);
    connect(&themes, &ThemeManager::themeChanged, viewport(), qOverload<>(&QWidget::update));
}

void TranscriptView::sizeRows(int first, int last) {
    if (!delegate_ || last < first)
        return;
    const int width = viewport()->width();
    if (first == 0 && last == model_->rowCount() - 1 && last > 0) {
        // All at once: the header takes every size in one pass.
        verticalHeader()->resizeSections(QHeaderView::ResizeToContents);
    } else {
        for (int row = first; row <= last; ++row)
            verticalHeader()->resizeSection(row, delegate_->heightFor(model_->line(row), width, font()));
    }
    sizedWidth_ = width;
}

void TranscriptView::rowsCame(int first, int last) {
    sizeRows(first, last);
    scrollToBottom();
}

void TranscriptView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    if (viewport()->width() != sizedWidth_ && model_->rowCount() > 0)
        sizeRows(0, model_->rowCount() - 1);
}

} // namespace tc::gui
