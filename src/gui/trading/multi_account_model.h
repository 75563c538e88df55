#pragma once
// The multi-account rows of the order ticket: a tick, the account number, the quantity (editable on
// ticked rows) and the account's available margin, which each refresh of the accounts' figures
// follows cell by cell.
// Rows are rebuilt whole when the order's settings change (ticks and quantities go with them).
#include "gui/trading/ticket_rules.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>

#include <functional>

namespace tc::gui {

struct Refusal;

class MultiAccountTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Tick, Account, Quantity, Margin, ColumnCount };

    // `text` looks a header's language key up.
    explicit MultiAccountTableModel(std::function<QString(std::string_view)> text, QObject* parent = nullptr);
    // How a cell whose text is refused is painted (its text and ground), as a refused field is, and
    // how its reason is worded (the quantity's refusal, naming the field).
    void setRefusedColours(const QColor& text, const QColor& ground);
    void setRefusalWords(std::function<QString(const Refusal&)> words);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // A new set of rows, none ticked, every quantity 0.
    void setAccounts(const AccountList& accounts);
    const std::vector<MultiAccountRow>& rows() const { return rows_; }
    // The row of an account, or -1.
    int rowOf(std::int32_t accountId) const;
    // Ticks a row (its quantity goes back to 0 whichever way it turns).
    void setTicked(int row, bool ticked);
    // The quantity of a ticked row; false for an unticked row. A text that is not a number is kept
    // in the cell as typed, marked with its reason, and announced; the row orders nothing meanwhile.
    bool setQuantity(int row, const QString& text);
    // Ticks every row or none; quantities stay.
    void tickAll(bool ticked);
    // The quantity column's header edit: every ticked row takes the quantity.
    void setTickedQuantity(const platform::Decimal& quantity);
    int tickedCount() const;
    // The accounts' figures of this moment (accountFigures, as the status bar and the accounts grid
    // read them): the margin cells whose text moved. A row's account missing from them keeps its cell.
    void refreshMargins(const std::vector<AccountDetails>& figures);
    // Headers in the language in force.
    void retitle();

Q_SIGNALS:
    // A tick or a quantity changed: the order's total moved.
    void orderChanged();
    // The user ticked or unticked one row.
    void rowTicked(int row);
    // A quantity typed into a ticked row is no number; the cell keeps the text, marked.
    void quantityRefused(const QString& text);

private:
    static QString marginText(const AccountDetails& figures);
    QString refusalOf(const MultiAccountRow& row) const;

    std::function<QString(std::string_view)> text_;
    std::vector<MultiAccountRow> rows_;
    QStringList margins_; // as last shown
    QStringList headers_;
    std::function<QString(const Refusal&)> words_;
    QColor refusedText_;
    QColor refusedGround_;
};

} // namespace tc::gui
