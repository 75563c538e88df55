#pragma once
// A read-only table of records for the small windows that list a few of them (a sheet's status
// lines, the support queues, the positions a sheet closes or offsets): the columns are described
// once, each with the text key of its title, the cell's text and its alignment, and a row is
// addressed by its record's id. The rows are taken whole at each refresh: rows whose ids stay in
// place report the cells that changed, any other change of ids replaces the rows. A column may be a
// tick box: the model does not keep what a person ticks, it tells the owner, whose next rows say it;
// its title answers the rows' ticks together (all, none or some) under Qt::CheckStateRole.
#include <QAbstractTableModel>
#include <QVariant>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tc::gui {

template <class Record>
class RecordTableModel : public QAbstractTableModel {
public:
    struct Column {
        std::string_view titleKey; // empty: a blank title
        std::function<QString(const Record&)> text;
        std::optional<Qt::Alignment> alignment = {}; // none: the view's own
        // Any other role the cell answers (a colour, an icon); an invalid variant for none.
        std::function<QVariant(const Record&, int role)> role = {};
        // Set for a tick box: whether the row is ticked.
        std::function<bool(const Record&)> ticked = {};
        std::string_view tipKey = {}; // the title's tooltip; empty: none
    };
    using IdOf = std::function<std::string(const Record&)>;
    using Title = std::function<QString(std::string_view key)>;
    // A person ticked (true) or unticked the box of the row with this id.
    using Tick = std::function<void(const std::string& id, bool ticked)>;

    RecordTableModel(std::vector<Column> columns, IdOf idOf, Title title, QObject* parent = nullptr)
        : QAbstractTableModel(parent), columns_(std::move(columns)), idOf_(std::move(idOf)),
          title_(std::move(title)), tickedRows_(columns_.size(), 0) {}

    // Rows that show text only, never a selection (a list to read, not to choose from).
    void setSelectable(bool selectable) { selectable_ = selectable; }
    void onTick(Tick tick) { tick_ = std::move(tick); }
    // The header answers a column's title key under `role` too (what a printed copy titles by).
    void setKeyRole(int role) { keyRole_ = role; }

    void setRecords(std::vector<Record> records) {
        const std::vector<QVariant> ticksBefore = titleTicks();
        std::vector<std::string> ids;
        ids.reserve(records.size());
        for (const Record& record : records)
            ids.push_back(idOf_(record));
        if (ids != ids_) {
            beginResetModel();
            ids_ = std::move(ids);
            records_ = std::move(records);
            indexRows();
            endResetModel();
            retitleTicks(ticksBefore);
            return;
        }
        for (std::size_t row = 0; row < records.size(); ++row) {
            int first = -1;
            int last = -1;
            for (int column = 0; column < columnCount(); ++column) {
                if (cellOf(records_[row], column) == cellOf(records[row], column))
                    continue;
                first = first < 0 ? column : first;
                last = column;
            }
            records_[row] = std::move(records[row]);
            if (first >= 0)
                Q_EMIT dataChanged(index(static_cast<int>(row), first), index(static_cast<int>(row), last));
        }
        countTicks();
        retitleTicks(ticksBefore);
    }
    // Rows of another request: always a reset, whatever their ids.
    void replaceRecords(std::vector<Record> records) {
        const std::vector<QVariant> ticksBefore = titleTicks();
        beginResetModel();
        ids_.clear();
        for (const Record& record : records)
            ids_.push_back(idOf_(record));
        records_ = std::move(records);
        indexRows();
        endResetModel();
        retitleTicks(ticksBefore);
    }
    const std::vector<Record>& records() const { return records_; }
    // The rows changed where they stand, ids kept: `change` edits a record and says whether it did;
    // the changed rows' cells of columns first..last are told in one notice. A pass over thousands of
    // rows that change a cell or two each (the live prices) builds and compares no other cell.
    template <class Change>
    void changeInPlace(Change&& change, int firstColumn, int lastColumn) {
        const std::vector<QVariant> ticksBefore = titleTicks();
        int first = -1;
        int last = -1;
        for (std::size_t row = 0; row < records_.size(); ++row) {
            const Record& record = records_[row];
            untallyTicks(record);
            if (change(records_[row])) {
                first = first < 0 ? static_cast<int>(row) : first;
                last = static_cast<int>(row);
            }
            tallyTicks(record);
        }
        if (first >= 0)
            Q_EMIT dataChanged(index(first, firstColumn), index(last, lastColumn));
        retitleTicks(ticksBefore);
    }
    // One row changed where it stands, as changeInPlace for that row alone (a click on its tick box):
    // no other row is read. False for a row out of range or one `change` left as it was.
    template <class Change>
    bool changeRow(int row, Change&& change, int firstColumn, int lastColumn) {
        if (row < 0 || row >= rowCount())
            return false;
        const std::vector<QVariant> ticksBefore = titleTicks();
        Record& record = records_[static_cast<std::size_t>(row)];
        untallyTicks(record);
        const bool changed = change(record);
        tallyTicks(record);
        if (changed)
            Q_EMIT dataChanged(index(row, firstColumn), index(row, lastColumn));
        retitleTicks(ticksBefore);
        return changed;
    }
    // changeRow for each row of `id` (each of them when the id is listed more than once).
    template <class Change>
    void changeRowsOf(const std::string& id, Change&& change, int firstColumn, int lastColumn) {
        if (!repeatedIds_) {
            changeRow(rowOf(id), change, firstColumn, lastColumn);
            return;
        }
        for (std::size_t row = 0; row < ids_.size(); ++row)
            if (ids_[row] == id)
                changeRow(static_cast<int>(row), change, firstColumn, lastColumn);
    }
    // One row's record again, its id kept: every cell of that row told changed.
    void setRecordAt(int row, Record record) {
        if (row < 0 || row >= rowCount())
            return;
        const std::vector<QVariant> ticksBefore = titleTicks();
        untallyTicks(records_[static_cast<std::size_t>(row)]);
        records_[static_cast<std::size_t>(row)] = std::move(record);
        tallyTicks(records_[static_cast<std::size_t>(row)]);
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
        retitleTicks(ticksBefore);
    }
    // The titles in the current language.
    void retitle() {
        if (columnCount() > 0)
            Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    }
    // Every cell again, for what the rows do not hold (the language, the theme).
    void refreshAll() {
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }

    const Record* recordAt(int row) const {
        return row >= 0 && row < rowCount() ? &records_[static_cast<std::size_t>(row)] : nullptr;
    }
    std::string idAt(int row) const {
        return row >= 0 && row < rowCount() ? ids_[static_cast<std::size_t>(row)] : "";
    }
    // -1 for an id not listed (the first row of an id listed twice).
    int rowOf(const std::string& id) const {
        const auto at = rows_.find(id);
        return at == rows_.end() ? -1 : at->second;
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(records_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns_.size());
    }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override {
        const Record* record = index.isValid() ? recordAt(index.row()) : nullptr;
        if (!record || index.column() >= columnCount())
            return {};
        const Column& column = columns_[static_cast<std::size_t>(index.column())];
        if (role == Qt::DisplayRole)
            return column.text ? QVariant(column.text(*record)) : QVariant();
        if (role == Qt::CheckStateRole && column.ticked)
            return column.ticked(*record) ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::TextAlignmentRole)
            return column.alignment ? QVariant(static_cast<int>(column.alignment->toInt())) : QVariant();
        return column.role ? column.role(*record, role) : QVariant();
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override {
        // Rows have no titles.
        if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
            return {};
        const Column& column = columns_[static_cast<std::size_t>(section)];
        const std::string_view key = column.titleKey;
        if (role == Qt::DisplayRole)
            return key.empty() ? QStringLiteral(" ") : title_(key);
        if (role == Qt::ToolTipRole && !column.tipKey.empty())
            return title_(column.tipKey);
        if (role == Qt::CheckStateRole && column.ticked)
            return titleTick(column);
        if (keyRole_ && role == *keyRole_)
            return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid())
            return Qt::NoItemFlags;
        Qt::ItemFlags flags = selectable_ ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled;
        if (index.column() < columnCount() && columns_[static_cast<std::size_t>(index.column())].ticked)
            flags |= Qt::ItemIsUserCheckable;
        return flags;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override {
        if (role != Qt::CheckStateRole || !tick_ || !(flags(index) & Qt::ItemIsUserCheckable))
            return false;
        tick_(idAt(index.row()), value.value<Qt::CheckState>() == Qt::Checked);
        return true;
    }

private:
    // The rows' ticks together: checked when every row is ticked, unchecked when none is (or no row).
    // Told from the count kept as rows change: the title is painted and asked at every click.
    QVariant titleTick(const Column& column) const {
        const std::ptrdiff_t ticked = tickedRows_[static_cast<std::size_t>(&column - columns_.data())];
        if (ticked == 0)
            return Qt::Unchecked;
        return ticked == static_cast<std::ptrdiff_t>(records_.size()) ? Qt::Checked : Qt::PartiallyChecked;
    }
    // The ticked rows of each tick column, counted again over every row.
    void countTicks() {
        tickedRows_.assign(columns_.size(), 0);
        for (const Record& record : records_)
            tallyTicks(record);
    }
    void tallyTicks(const Record& record, std::ptrdiff_t by = 1) {
        for (std::size_t column = 0; column < columns_.size(); ++column)
            if (columns_[column].ticked && columns_[column].ticked(record))
                tickedRows_[column] += by;
    }
    void untallyTicks(const Record& record) { tallyTicks(record, -1); }
    // The rows by id, again after the ids changed; then the ticks counted.
    void indexRows() {
        rows_.clear();
        rows_.reserve(ids_.size());
        repeatedIds_ = false;
        for (std::size_t row = 0; row < ids_.size(); ++row)
            repeatedIds_ |= !rows_.emplace(ids_[row], static_cast<int>(row)).second;
        countTicks();
    }
    std::vector<QVariant> titleTicks() const {
        std::vector<QVariant> ticks;
        for (const Column& column : columns_)
            ticks.push_back(column.ticked ? titleTick(column) : QVariant());
        return ticks;
    }
    void retitleTicks(const std::vector<QVariant>& before) {
        const std::vector<QVariant> now = titleTicks();
        for (std::size_t column = 0; column < now.size(); ++column)
            if (now[column] != before[column])
                Q_EMIT headerDataChanged(Qt::Horizontal, static_cast<int>(column), static_cast<int>(column));
    }
    // What a cell shows, to tell a changed one.
    std::pair<QString, QVariantList> cellOf(const Record& record, int column) const {
        const Column& c = columns_[static_cast<std::size_t>(column)];
        QVariantList roles;
        if (c.ticked)
            roles.push_back(c.ticked(record));
        // An icon has no equality: such a cell counts as changed at every refresh.
        if (c.role)
            roles << c.role(record, Qt::ForegroundRole) << c.role(record, Qt::DecorationRole);
        return {c.text ? c.text(record) : QString(), roles};
    }

    std::vector<Column> columns_;
    IdOf idOf_;
    Title title_;
    std::vector<std::string> ids_;
    std::unordered_map<std::string, int> rows_; // each id's first row
    bool repeatedIds_ = false;                  // some id has more than one row
    std::vector<Record> records_;
    std::vector<std::ptrdiff_t> tickedRows_; // for each column: its ticked rows (0 for no tick box)
    Tick tick_;
    std::optional<int> keyRole_;
    bool selectable_ = true;
};

} // namespace tc::gui
