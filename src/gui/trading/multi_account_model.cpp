#include "gui/trading/multi_account_model.h"

#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "gui/trading/trade_entries.h"
#include "model/records/account_details.h"
#include "platform/amount_text.h"

#include <algorithm>

namespace tc::gui {

MultiAccountTableModel::MultiAccountTableModel(std::function<QString(std::string_view)> text, QObject* parent)
    : QAbstractTableModel(parent), text_(std::move(text)) {
    retitle();
}

int MultiAccountTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MultiAccountTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString MultiAccountTableModel::marginText(const AccountDetails& figures) {
    return QString::fromStdString(platform::amountText(figures.AvailableMargin));
}

QVariant MultiAccountTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const MultiAccountRow& row = rows_[static_cast<std::size_t>(index.row())];
    if (index.column() == Tick && role == Qt::CheckStateRole)
        return row.ticked ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole && index.column() != Tick)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (index.column() == Quantity && !row.refusedText.empty()) {
        switch (role) {
        case Qt::ToolTipRole:
        case Qt::AccessibleDescriptionRole:
            return refusalOf(row);
        case Qt::ForegroundRole:
            return refusedText_.isValid() ? QVariant(refusedText_) : QVariant();
        case Qt::BackgroundRole:
            return refusedGround_.isValid() ? QVariant(refusedGround_) : QVariant();
        default:
            break;
        }
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case Account:
        return row.accountDet ? QString::number(row.accountDet->AccountId) : QString();
    case Quantity:
        return QString::fromStdString(row.refusedText.empty() ? row.quantity.toString() : row.refusedText);
    case Margin:
        return margins_.value(index.row());
    default:
        return {};
    }
}

bool MultiAccountTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.row() >= rowCount())
        return false;
    if (index.column() == Tick && role == Qt::CheckStateRole) {
        setTicked(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    if (index.column() == Quantity && role == Qt::EditRole)
        return setQuantity(index.row(), value.toString());
    return false;
}

Qt::ItemFlags MultiAccountTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == Tick)
        flags |= Qt::ItemIsUserCheckable;
    if (index.column() == Quantity && rows_[static_cast<std::size_t>(index.row())].ticked)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant MultiAccountTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return headers_.value(section);
}

void MultiAccountTableModel::setAccounts(const AccountList& accounts) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(accounts.size());
    for (const auto& account : accounts)
        rows_.push_back({account, platform::Decimal::fromInt64(0), false});
    margins_.clear();
    for (const auto& row : rows_)
        margins_.push_back(row.accountDet ? marginText(*row.accountDet) : QString());
    endResetModel();
    Q_EMIT orderChanged();
}

int MultiAccountTableModel::rowOf(std::int32_t accountId) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].accountDet && rows_[i].accountDet->AccountId == accountId)
            return static_cast<int>(i);
    return -1;
}

void MultiAccountTableModel::setTicked(int row, bool ticked) {
    if (row < 0 || row >= rowCount())
        return;
    MultiAccountRow& r = rows_[static_cast<std::size_t>(row)];
    r.ticked = ticked;
    r.quantity = platform::Decimal::fromInt64(0);
    r.refusedText.clear();
    Q_EMIT dataChanged(index(row, Tick), index(row, Quantity));
    Q_EMIT rowTicked(row);
    Q_EMIT orderChanged();
}

bool MultiAccountTableModel::setQuantity(int row, const QString& text) {
    if (row < 0 || row >= rowCount() || !rows_[static_cast<std::size_t>(row)].ticked)
        return false;
    MultiAccountRow& r = rows_[static_cast<std::size_t>(row)];
    const TradeEntry entry = readQuantityEntry(text.toStdString());
    // A refused text stays as typed: the row orders nothing until it reads.
    r.quantity = entry.ok() ? *entry.value : platform::Decimal::fromInt64(0);
    r.refusedText = entry.ok() ? std::string() : text.toStdString();
    Q_EMIT dataChanged(index(row, Quantity), index(row, Quantity));
    Q_EMIT orderChanged();
    if (!entry.ok())
        Q_EMIT quantityRefused(text);
    return true;
}

QString MultiAccountTableModel::refusalOf(const MultiAccountRow& row) const {
    const Refusal refusal = readQuantityEntry(row.refusedText).refusal;
    return words_ ? words_(refusal) : text_(refusal.key);
}

void MultiAccountTableModel::setRefusalWords(std::function<QString(const Refusal&)> words) {
    words_ = std::move(words);
}

void MultiAccountTableModel::setRefusedColours(const QColor& text, const QColor& ground) {
    refusedText_ = text;
    refusedGround_ = ground;
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, Quantity), index(rowCount() - 1, Quantity));
}

void MultiAccountTableModel::tickAll(bool ticked) {
    for (auto& row : rows_)
        row.ticked = ticked;
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, Tick), index(rowCount() - 1, Quantity));
    Q_EMIT orderChanged();
}

void MultiAccountTableModel::setTickedQuantity(const platform::Decimal& quantity) {
    for (auto& row : rows_)
        if (row.ticked) {
            row.quantity = quantity;
            row.refusedText.clear();
        }
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0, Quantity), index(rowCount() - 1, Quantity));
    Q_EMIT orderChanged();
}

int MultiAccountTableModel::tickedCount() const {
    return static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const auto& r) { return r.ticked; }));
}

void MultiAccountTableModel::refreshMargins(const std::vector<AccountDetails>& figures) {
    for (int row = 0; row < rowCount(); ++row) {
        const auto& account = rows_[static_cast<std::size_t>(row)].accountDet;
        const auto found = std::find_if(figures.begin(), figures.end(), [&](const AccountDetails& f) {
            return account && f.AccountId == account->AccountId;
        });
        if (found == figures.end())
            continue;
        QString now = marginText(*found);
        if (now == margins_[row])
            continue;
        margins_[row] = std::move(now);
        Q_EMIT dataChanged(index(row, Margin), index(row, Margin), {Qt::DisplayRole});
    }
}

void MultiAccountTableModel::retitle() {
    headers_ = {QStringLiteral(" "), text_(texts::kAccountNo), text_(texts::kQuantity),
                text_(texts::kAvailableMargin)};
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

} // namespace tc::gui
