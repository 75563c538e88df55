#pragma once
// Account groups and their settings per instrument.
#include "model/records/snapshot_columns.h"
#include "platform/compact_decimal.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace tc {

class RecordFields;

struct GroupInstruments {
    // Margin mode 0 from the server means "not applicable", which the margin arithmetic knows as 926.
    static constexpr std::int32_t kMarginModeNotApplicable = 926;

    // The numbers first and the small fields after them: a 16-byte aligned number between two ints
    // would pad each (a group may hold 100,000 of these).
    platform::CompactDecimal OrderQtyStep;
    platform::CompactDecimal MaxOrderQty;
    platform::CompactDecimal MinOrderQty;
    platform::CompactDecimal InitialMargin;
    platform::CompactDecimal InitialSellMargin;
    platform::CompactDecimal LimitOrderMargin;
    platform::CompactDecimal LiquidationMargin;
    platform::CompactDecimal BuyInterestRate;
    platform::CompactDecimal SellInterestRate;
    platform::CompactDecimal IntradayOrderMargin;
    platform::CompactDecimal BTSTOrderMargin;
    platform::CompactDecimal OverNightMargin;
    platform::CompactDecimal Commission;
    std::int32_t GroupId = 0;
    std::int32_t InstrumentId = 0;
    std::int32_t SpreadBid = 0;
    std::int32_t SpreadAsk = 0;
    std::int32_t SpreadTypeId = 0;
    std::int32_t LimitMinPips = 0;
    std::int32_t StopMinPips = 0;
    std::int32_t PLCalcModeId = 0;
    std::int32_t AutoExecutionModeId = 0;
    std::int32_t MarginCalcModeId = 0;
    std::int32_t groupdetailsid = 0;
    std::int32_t marginCalculationMode = 0;
    std::int32_t availableOrderSettings = 0;
    bool AllowShortSelling = false;
    bool isAvailableForTrading = false;

    // Stores the server's mode and derives marginCalculationMode: 1 and 2 as they are, 0 as 926,
    // any other value leaves it unchanged.
    void loadMarginCalcModeId(std::int32_t mode);

    // A record of the snapshot's group-instrument section (PLCalcModeId is not in it).
    static GroupInstruments fromAmpRecord(const RecordFields& fields);
    // Its row of the snapshot's XML form, which carries PLCalcModeId as well; columns the row lacks
    // leave their members alone.
    void readSnapshotColumns(const SnapshotColumns& row);
};

// A group's settings per instrument, held by value and found by InstrumentId. Entries keep their
// filing order, and filing an id again replaces its entry in place. Entries live in blocks that
// never move, so a reference to one stays valid until the table is cleared or destroyed; the blocks
// and the index grow by doubling, so filing allocates nothing per entry. A const table hands out
// only const entries.
class GroupInstrumentTable {
    struct Block {
        GroupInstruments* entries = nullptr;
        std::size_t capacity = 0;
        std::size_t size = 0;
    };

public:
    template <class Entry>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = GroupInstruments;
        using difference_type = std::ptrdiff_t;
        using pointer = Entry*;
        using reference = Entry&;

        Iterator() = default;
        reference operator*() const { return block_->entries[at_]; }
        pointer operator->() const { return block_->entries + at_; }
        Iterator& operator++() {
            if (++at_ == block_->size) {
                ++block_;
                at_ = 0;
                // Blocks fill in order: past an empty one there is nothing.
                if (block_ != end_ && block_->size == 0)
                    block_ = end_;
            }
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) {
            return a.block_ == b.block_ && a.at_ == b.at_;
        }
        // A mutable iterator reads as a const one.
        template <class Other>
        requires(std::is_const_v<Entry> && !std::is_const_v<Other>) Iterator(const Iterator<Other>& other)
            : block_(other.block_), end_(other.end_), at_(other.at_) {}

    private:
        friend class GroupInstrumentTable;
        template <class>
        friend class Iterator;
        Iterator(const Block* block, const Block* end, std::size_t at) : block_(block), end_(end), at_(at) {}

        const Block* block_ = nullptr;
        const Block* end_ = nullptr;
        std::size_t at_ = 0;
    };
    using iterator = Iterator<GroupInstruments>;
    using const_iterator = Iterator<const GroupInstruments>;

    GroupInstrumentTable() = default;
    GroupInstrumentTable(const GroupInstrumentTable& other);
    GroupInstrumentTable& operator=(const GroupInstrumentTable& other);
    GroupInstrumentTable(GroupInstrumentTable&& other) noexcept;
    GroupInstrumentTable& operator=(GroupInstrumentTable&& other) noexcept;
    ~GroupInstrumentTable();

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    iterator begin() noexcept { return firstOf<iterator>(); }
    iterator end() noexcept { return endOf<iterator>(); }
    const_iterator begin() const noexcept { return firstOf<const_iterator>(); }
    const_iterator end() const noexcept { return endOf<const_iterator>(); }
    // The first entry filed. Precondition: not empty.
    GroupInstruments& front() { return *begin(); }
    const GroupInstruments& front() const { return *begin(); }

    // The settings of an instrument, or nullptr.
    GroupInstruments* find(std::int32_t instrumentId) noexcept;
    const GroupInstruments* find(std::int32_t instrumentId) const noexcept {
        return const_cast<GroupInstrumentTable*>(this)->find(instrumentId);
    }
    bool contains(std::int32_t instrumentId) const noexcept { return find(instrumentId) != nullptr; }

    // Files the settings under their InstrumentId: a new id goes to the end, a known one is replaced
    // where it stands. The entry, and whether its id was new.
    std::pair<GroupInstruments*, bool> file(const GroupInstruments& settings);
    // How claim leaves a new entry: default settings under its id, or unwritten storage that the
    // caller constructs (std::construct_at) before the table is read, so that a loader writes each
    // entry once, on whichever thread reads its record.
    enum class NewEntry { Defaults, Unwritten };
    // The entry of an id, for settings to be written in place: the one filed, or a new one at the
    // end. Whether the id was new.
    std::pair<GroupInstruments*, bool> claim(std::int32_t instrumentId, NewEntry fill = NewEntry::Defaults);
    // Room for `entries` in all without another block or a larger index.
    void reserve(std::size_t entries);
    void clear() noexcept;

private:
    template <class It>
    It firstOf() const noexcept {
        const Block* end = blocks_.data() + blocks_.size();
        return size_ == 0 ? It(end, end, 0) : It(blocks_.data(), end, 0);
    }
    template <class It>
    It endOf() const noexcept {
        const Block* end = blocks_.data() + blocks_.size();
        return It(end, end, 0);
    }
    std::size_t capacity() const noexcept;
    GroupInstruments* place(std::int32_t instrumentId, NewEntry fill);
    void growIndex(std::size_t slots);

    // Index slot: an instrument id and its entry; a null entry marks a free slot.
    struct Slot {
        std::int32_t id = 0;
        GroupInstruments* entry = nullptr;
    };

    std::vector<Block> blocks_;
    std::vector<Slot> index_; // open addressing, a power of two long, at most half full
    std::size_t size_ = 0;
};

class GroupDetails {
public:
    // Far above any real group; a longer list from the server is cut here.
    static constexpr std::size_t kMaxGroupInstruments = 100'000;

    std::int32_t GroupId = 0;
    std::string Name;
    bool TradingEnabled = false;
    std::int32_t CompanyId = 0;
    bool IsNewsEnabled = false;
    bool IsMailEnabled = false;
    bool IsChatEnabled = false;
    bool IsEAEnabled = false;
    std::int32_t InstrumentLimit = 0;
    std::int32_t WatchlistItemLimit = 0;
    platform::CompactDecimal MaxOrderQty;
    platform::CompactDecimal OrderQtyStep;
    bool IsTrailingStopEnabled = false;
    platform::CompactDecimal MarginCallLevel;
    platform::CompactDecimal StopOutLevel;
    std::int32_t LeverageOnFProfit = 0;
    std::int32_t RevLeverageOnFLoss = 0;
    std::int32_t ReportHistoryDaysLimit = 0;
    bool SendMailReports = false;
    bool SendExecutionSMS = false;
    std::int32_t CreditRating = 0;
    // Keyed by InstrumentId; empty (never missing) on a new group.
    GroupInstrumentTable GroupInstrumentCollection;

    // The group's settings for an instrument, or nullptr; read-only through a const group.
    GroupInstruments* groupInstrument(std::int32_t instrumentId) {
        return GroupInstrumentCollection.find(instrumentId);
    }
    const GroupInstruments* groupInstrument(std::int32_t instrumentId) const {
        return GroupInstrumentCollection.find(instrumentId);
    }
    // Files (or replaces) the settings under their InstrumentId. false, and nothing filed, for a
    // new instrument once the group holds kMaxGroupInstruments.
    bool fileGroupInstrument(const GroupInstruments& settings);
    // The entry an instrument's settings are to be read into: the one filed, or a new one of default
    // settings. nullptr, and nothing filed, for a new instrument once the group holds
    // kMaxGroupInstruments. second tells whether the instrument was new.
    std::pair<GroupInstruments*, bool>
    claimGroupInstrument(std::int32_t instrumentId,
                         GroupInstrumentTable::NewEntry fill = GroupInstrumentTable::NewEntry::Defaults);

    // A record of the snapshot's group section.
    static GroupDetails fromAmpRecord(const RecordFields& fields);
    // Its row of the snapshot's XML form; columns the row lacks leave their members alone.
    void readSnapshotColumns(const SnapshotColumns& row);
};

} // namespace tc
