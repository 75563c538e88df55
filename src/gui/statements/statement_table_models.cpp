#include "gui/statements/statement_table_models.h"

#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/texts.h"

namespace tc::gui {
namespace {

constexpr std::string_view kSummaryCaptionColumn = texts::kItem;
constexpr std::string_view kJournalColumns[] = {texts::kTimeColumn, texts::kEvent};

// Header data shared by the models: the title in the selected language, or the key.
QVariant header(const Language& language, std::string_view key, Qt::Orientation orientation, int role) {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return language.text(key);
    if (role == IdentifierRole)
        return qt(key);
    return {};
}

} // namespace

StatementTableModel::StatementTableModel(StatementTable table, Language& language, QObject* parent)
    : QAbstractTableModel(parent), table_(table), language_(language) {
    connect(&language_, &Language::changed, this, [this] {
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        // The name columns read in the new language.
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
    });
}

void StatementTableModel::setStatement(std::shared_ptr<const StatementData> data) {
    beginResetModel();
    data_ = std::move(data);
    endResetModel();
}

std::string_view StatementTableModel::columnKey(int column) const {
    const auto& columns = statementColumns(table_);
    return column >= 0 && static_cast<std::size_t>(column) < columns.size()
               ? columns[static_cast<std::size_t>(column)]
               : std::string_view();
}

int StatementTableModel::columnOf(std::string_view key) const {
    const auto& columns = statementColumns(table_);
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c] == key)
            return static_cast<int>(c);
    return -1;
}

int StatementTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !data_ ? 0 : static_cast<int>(statementRowCount(*data_, table_));
}

int StatementTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(statementColumns(table_).size());
}

QVariant StatementTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !data_)
        return {};
    if (role == Qt::TextAlignmentRole && isStatementNumberColumn(columnKey(index.column())))
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::DisplayRole)
        return {};
    return QString::fromStdString(statementShownCell(*data_, table_, static_cast<std::size_t>(index.row()),
                                                     columnKey(index.column()), language_.selected()));
}

QVariant StatementTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    return header(language_, columnKey(section), orientation, role);
}

Qt::ItemFlags StatementTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

namespace {

// Built outside the constructor's initializers: GCC 12 fails on the columns' default member
// initializers there.
std::vector<SummaryTableModel::Column> summaryColumns(std::string_view valueKey) {
    std::vector<SummaryTableModel::Column> columns(2);
    columns[0].titleKey = kSummaryCaptionColumn;
    columns[0].text = [](const SummaryRow& row) { return qt(row.caption); };
    columns[1].titleKey = valueKey;
    columns[1].text = [](const SummaryRow& row) { return qt(row.value); };
    columns[1].alignment = Qt::AlignRight | Qt::AlignVCenter;
    return columns;
}

} // namespace

SummaryTableModel::SummaryTableModel(Language& language, QObject* parent, std::string_view valueKey)
    : RecordTableModel(
          summaryColumns(valueKey), [](const SummaryRow& row) { return row.caption; },
          [&language](std::string_view key) { return language.text(key); }, parent) {
    setSelectable(false);
    setKeyRole(IdentifierRole);
    connect(&language, &Language::changed, this, [this] { retitle(); });
}

JournalTableModel::JournalTableModel(Language& language, QObject* parent)
    : QAbstractTableModel(parent), language_(language) {
    connect(&language_, &Language::changed, this, [this] { Q_EMIT headerDataChanged(Qt::Horizontal, 0, 1); });
}

void JournalTableModel::setLines(const std::vector<std::string>* lines) {
    beginResetModel();
    lines_ = lines;
    shown_ = lines_ ? static_cast<int>(lines_->size()) : 0;
    endResetModel();
}

void JournalTableModel::lineAppended() {
    const int now = lines_ ? static_cast<int>(lines_->size()) : 0;
    if (now == shown_ + 1) {
        // The newest line is row 0.
        beginInsertRows({}, 0, 0);
        shown_ = now;
        endInsertRows();
        return;
    }
    if (now != shown_)
        setLines(lines_);
}

int JournalTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

int JournalTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant JournalTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !lines_ || role != Qt::DisplayRole || index.row() >= shown_)
        return {};
    // Row r of what the view knows: lines added since are not shown yet.
    const std::size_t newest = static_cast<std::size_t>(shown_) - 1;
    const std::size_t at = newest - static_cast<std::size_t>(index.row());
    if (at >= lines_->size())
        return {};
    const JournalRow row = splitJournalLine((*lines_)[at]);
    return QString::fromStdString(index.column() == 0 ? row.time : row.event);
}

QVariant JournalTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (section < 0 || section > 1)
        return {};
    return header(language_, kJournalColumns[section], orientation, role);
}

Qt::ItemFlags JournalTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

} // namespace tc::gui
