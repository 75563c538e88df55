#pragma once
// The table models of the statement window and the journal. A statement model reads the rows of
// one arrival (StatementData, fresh records that nothing refills) and is reset when the next one
// comes: statements arrive on request, never on the tick. Column titles are the selected language's
// texts of the columns' keys; header data under IdentifierRole is the key itself, which the printed
// copy titles its columns by. No row can be selected.
#include "gui/models/record_table_model.h"
#include "gui/statements/statement_sections.h"
#include "gui/texts.h"

#include <QAbstractTableModel>

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc::gui {

class Language;

enum StatementRole {
    IdentifierRole = Qt::UserRole + 3, // header data: the column's language key (QString)
};

// A read-only table whose columns are language keys: titled in the selected language (the key itself
// under IdentifierRole), retitled when the language changes, no cell selectable.
class KeyedColumnsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    std::string_view columnKey(int column) const;
    int columnOf(std::string_view key) const;

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

protected:
    KeyedColumnsModel(Language& language, QObject* parent);
    virtual std::span<const std::string_view> columnKeys() const = 0;
    // The language changed: the titles are retitled already.
    virtual void languageChanged() {}

    Language& language_;
};

class StatementTableModel : public KeyedColumnsModel {
    Q_OBJECT
public:
    StatementTableModel(StatementTable table, Language& language, QObject* parent = nullptr);

    StatementTable table() const { return table_; }
    void setStatement(std::shared_ptr<const StatementData> data);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::span<const std::string_view> columnKeys() const override;
    void languageChanged() override;

    StatementTable table_;
    std::shared_ptr<const StatementData> data_;
};

// A two-column table of captions and values: the account, order and margin summaries. The value
// column is titled by `valueKey`: the order summary's figures are quantities, not counts.
class SummaryTableModel : public RecordTableModel<SummaryRow> {
public:
    explicit SummaryTableModel(Language& language, QObject* parent = nullptr,
                               std::string_view valueKey = texts::kValue);

    void setRows(std::vector<SummaryRow> rows) { replaceRecords(std::move(rows)); }
    const std::vector<SummaryRow>& rows() const { return records(); }
};

// The session's journal, newest line first: the time (kTimeColumn) and the event (kEvent). It reads the
// client's journal as it stands; a line added is one row inserted at the top.
class JournalTableModel : public KeyedColumnsModel {
    Q_OBJECT
public:
    // `lines` must outlive the model, or be replaced with setLines before it goes.
    JournalTableModel(Language& language, QObject* parent = nullptr);

    void setLines(const std::vector<std::string>* lines);
    // The journal grew by one line (added last to the collection, shown first).
    void lineAppended();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    std::span<const std::string_view> columnKeys() const override;

    const std::vector<std::string>* lines_ = nullptr;
    int shown_ = 0; // the rows the view knows of
};

} // namespace tc::gui
