#pragma once
// The session's tables as the windows know them, and sets of them: what a change touched. A plain
// record shared by the core (which marks what each message changed) and the program.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace tc {
class Order;
}

namespace interfaces {

enum class Table : std::uint8_t {
    Accounts,
    OpenPositions,
    PendingOrders,
    SettledPositions,
    CancelledOrders,
    ExecutedPositions,
    Journal,
    // The one-second refresh worked out the open positions' floating results again: the same rows,
    // only their live values moved (a whole table change is OpenPositions).
    OpenPositionFigures,
};

class TableSet {
public:
    constexpr TableSet() = default;
    constexpr TableSet(std::initializer_list<Table> tables) {
        for (Table t : tables)
            add(t);
    }
    static constexpr TableSet all() {
        return {Table::Accounts,         Table::OpenPositions,      Table::PendingOrders,
                Table::SettledPositions, Table::CancelledOrders,    Table::ExecutedPositions,
                Table::Journal,          Table::OpenPositionFigures};
    }
    constexpr TableSet& add(Table t) {
        bits_ |= bit(t);
        return *this;
    }
    constexpr TableSet& operator|=(TableSet other) {
        bits_ |= other.bits_;
        return *this;
    }
    constexpr bool contains(Table t) const { return (bits_ & bit(t)) != 0; }
    constexpr bool empty() const { return bits_ == 0; }
    friend constexpr bool operator==(TableSet, TableSet) = default;

private:
    static constexpr std::uint32_t bit(Table t) { return 1u << static_cast<unsigned>(t); }
    std::uint32_t bits_ = 0;
};

// One announcement: its tables, and the order records its messages rewrote in place when it can name
// them all (rows that came or went show in the lists themselves). Without `rowsNamed` (a list loaded
// again, a sign-in, a search) any row of its order tables may have changed.
struct TableChange : TableSet {
    using TableSet::TableSet;
    TableChange(TableSet tables) : TableSet(tables) {}
    bool rowsNamed = false;
    std::vector<std::shared_ptr<const tc::Order>> rewritten;
};

} // namespace interfaces
