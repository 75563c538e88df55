#include "gui/statements/statement_table_models.h"

#include "gui/app/language.h"
#include "gui/app/qt_text.h"
#include "gui/texts.h"

namespace tc::gui {
namespace {

constexpr std::string_view kSummaryCaptionColumn = texts::kItem;
constexpr std::string_view kJournalColumns[] = {texts::kTimeColumn, texts::kEvent};

} // namespace

KeyedColumnsModel::KeyedColumnsModel(Language& language, QObject* parent)
    : QAbstractTableModel(parent), language_(language) {
    connect(&language_, &Language::changed, this, [this] {
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        languageChanged();
    });
}

std::string_view KeyedColumnsModel::columnKey(int column) const {
    const auto columns = columnKeys();
    return column >= 0 && static_cast<std::size_t>(column) < columns.size()
               ? columns[static_cast<std::size_t>(column)]
               : std::string_view();
}

int KeyedColumnsModel::columnOf(std::string_view key) const {
    const auto columns = columnKeys();
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (columns[c] == key)
            return static_cast<int>(c);
    return -1;
}

int KeyedColumnsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columnKeys().size());
}

QVariant KeyedColumnsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const std::string_view key = columnKey(section);
    if (orientation != Qt::Horizontal || key.empty())
        return {};
    if (role == Qt::DisplayRole)
        return language_.text(key);
    if (role == IdentifierRole)
        return qt(key);
    return {};
}

Qt::ItemFlags KeyedColumnsModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

StatementTableModel::StatementTableModel(StatementTable table, Language& language, QObject* parent)
    : KeyedColumnsModel(language, parent), table_(table) {}

std::span<const std::string_view> StatementTableModel::columnKeys() const {
    return statementColumns(table_);
}

void StatementTableModel::languageChanged() {
    // The name columns read in the new language.
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
}

void StatementTableModel::setStatement(std::shared_ptr<const StatementData> data) {
    beginResetModel();
    data_ = std::move(data);
    endResetModel();
}

int StatementTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !data_ ? 0 : static_cast<int>(statementRowCount(*data_, table_));
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
    : KeyedColumnsModel(language, parent) {}

std::span<const std::string_view> JournalTableModel::columnKeys() const {
    return kJournalColumns;
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

} // namespace tc::gui
