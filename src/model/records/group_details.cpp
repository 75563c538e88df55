#include "model/records/group_details.h"

#include "model/records/record_layout.h"
#include "platform/log.h"

#include <algorithm>
#include <memory>
#include <type_traits>

namespace tc {

void GroupInstruments::loadMarginCalcModeId(std::int32_t mode) {
    MarginCalcModeId = mode;
    if (mode == 1 || mode == 2)
        marginCalculationMode = mode;
    else if (mode == 0)
        marginCalculationMode = kMarginModeNotApplicable;
}

namespace {

using namespace records;

constexpr auto loadMarginMode = [](GroupInstruments& g, std::int32_t mode) { g.loadMarginCalcModeId(mode); };

constexpr auto kGroupInstrumentLayout = recordLayout(
    int32(0, &GroupInstruments::groupdetailsid), int32(1, &GroupInstruments::GroupId),
    int32(2, &GroupInstruments::InstrumentId), decimal(3, &GroupInstruments::OrderQtyStep),
    decimal(4, &GroupInstruments::MaxOrderQty), decimal(5, &GroupInstruments::MinOrderQty),
    int32(6, &GroupInstruments::SpreadBid), int32(7, &GroupInstruments::SpreadAsk),
    int32(8, &GroupInstruments::SpreadTypeId), decimal(9, &GroupInstruments::BuyInterestRate),
    decimal(10, &GroupInstruments::SellInterestRate), int32(11, &GroupInstruments::LimitMinPips),
    int32(12, &GroupInstruments::StopMinPips), flag(13, &GroupInstruments::AllowShortSelling),
    decimal(14, &GroupInstruments::InitialMargin), decimal(15, &GroupInstruments::LimitOrderMargin),
    decimal(16, &GroupInstruments::LiquidationMargin), decimal(17, &GroupInstruments::IntradayOrderMargin),
    decimal(18, &GroupInstruments::BTSTOrderMargin), decimal(19, &GroupInstruments::OverNightMargin),
    decimal(20, &GroupInstruments::Commission), int32(21, &GroupInstruments::AutoExecutionModeId),
    int32(22, loadMarginMode), decimal(25, &GroupInstruments::InitialSellMargin),
    int32(26, &GroupInstruments::availableOrderSettings), flag(27, &GroupInstruments::isAvailableForTrading));

constexpr auto kGroupLayout = recordLayout(
    int32(0, &GroupDetails::GroupId), text(1, &GroupDetails::Name), flag(2, &GroupDetails::TradingEnabled),
    int32(3, &GroupDetails::CompanyId), flag(5, &GroupDetails::IsNewsEnabled),
    flag(6, &GroupDetails::IsMailEnabled), flag(7, &GroupDetails::IsChatEnabled),
    flag(8, &GroupDetails::IsEAEnabled), int32(9, &GroupDetails::InstrumentLimit),
    int32(10, &GroupDetails::WatchlistItemLimit), decimal(11, &GroupDetails::MaxOrderQty),
    decimal(12, &GroupDetails::OrderQtyStep), flag(13, &GroupDetails::IsTrailingStopEnabled),
    decimal(14, &GroupDetails::MarginCallLevel), decimal(15, &GroupDetails::StopOutLevel),
    int32(16, &GroupDetails::LeverageOnFProfit), int32(17, &GroupDetails::RevLeverageOnFLoss),
    int32(18, &GroupDetails::ReportHistoryDaysLimit), flag(19, &GroupDetails::SendMailReports),
    flag(20, &GroupDetails::SendExecutionSMS), int32(21, &GroupDetails::CreditRating));

constexpr auto kGroupInstrumentColumns = recordLayout(
    flag("AllowShortSelling", &GroupInstruments::AllowShortSelling),
    int32("AutoExecutionModeId", &GroupInstruments::AutoExecutionModeId),
    decimal("BTSTOrderMargin", &GroupInstruments::BTSTOrderMargin),
    decimal("Commission", &GroupInstruments::Commission),
    decimal("Initialmargin", &GroupInstruments::InitialMargin),
    int32("InstrumentId", &GroupInstruments::InstrumentId),
    decimal("IntradayOrderMargin", &GroupInstruments::IntradayOrderMargin),
    int32("LimitMinPips", &GroupInstruments::LimitMinPips),
    decimal("LimitOrderMargin", &GroupInstruments::LimitOrderMargin),
    decimal("LiquidationMargin", &GroupInstruments::LiquidationMargin),
    int32("MarginCalcModeId", loadMarginMode), decimal("MaxOrderQty", &GroupInstruments::MaxOrderQty),
    decimal("MinOrderQty", &GroupInstruments::MinOrderQty),
    decimal("OrderQtyStep", &GroupInstruments::OrderQtyStep),
    decimal("OverNightMargin", &GroupInstruments::OverNightMargin),
    int32("PLCalcModeId", &GroupInstruments::PLCalcModeId), int32("SpreadAsk", &GroupInstruments::SpreadAsk),
    int32("SpreadBid", &GroupInstruments::SpreadBid), int32("SpreadTypeId", &GroupInstruments::SpreadTypeId),
    int32("StopMinPips", &GroupInstruments::StopMinPips),
    decimal("buyInterestRate", &GroupInstruments::BuyInterestRate),
    int32("groupdetailsid", &GroupInstruments::groupdetailsid), int32("groupid", &GroupInstruments::GroupId),
    decimal("sellInterestRate", &GroupInstruments::SellInterestRate),
    decimal("InitialSellMargin", &GroupInstruments::InitialSellMargin),
    int32("availableOrderSettings", &GroupInstruments::availableOrderSettings),
    flag("isAvailableForTrading", &GroupInstruments::isAvailableForTrading));

constexpr auto kGroupColumns = recordLayout(
    int32("CompanyId", &GroupDetails::CompanyId), int32("CreditRating", &GroupDetails::CreditRating),
    int32("GroupId", &GroupDetails::GroupId), int32("InstrumentLimit", &GroupDetails::InstrumentLimit),
    flag("IsChatEnabled", &GroupDetails::IsChatEnabled), flag("IsEAEnabled", &GroupDetails::IsEAEnabled),
    flag("IsMailEnabled", &GroupDetails::IsMailEnabled), flag("IsNewsEnabled", &GroupDetails::IsNewsEnabled),
    flag("IsTrailingStopEnabled", &GroupDetails::IsTrailingStopEnabled),
    int32("LeverageOnFProfit", &GroupDetails::LeverageOnFProfit),
    decimal("MarginCallLevel", &GroupDetails::MarginCallLevel),
    decimal("MaxOrderQty", &GroupDetails::MaxOrderQty), text("Name", &GroupDetails::Name),
    decimal("OrderQtyStep", &GroupDetails::OrderQtyStep),
    int32("ReportHistoryDaysLimit", &GroupDetails::ReportHistoryDaysLimit),
    int32("RevLeverageOnFLoss", &GroupDetails::RevLeverageOnFLoss),
    flag("SendExecutionSMS", &GroupDetails::SendExecutionSMS),
    flag("SendMailReports", &GroupDetails::SendMailReports),
    decimal("StopOutLevel", &GroupDetails::StopOutLevel),
    flag("TradingEnabled", &GroupDetails::TradingEnabled),
    int32("WatchListItemLimit", &GroupDetails::WatchlistItemLimit));

} // namespace

GroupInstruments GroupInstruments::fromAmpRecord(const RecordFields& f) {
    GroupInstruments g;
    readRecord(f, kGroupInstrumentLayout, g);
    return g;
}

void GroupInstruments::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kGroupInstrumentColumns, *this);
}

// Entries are copied into raw block storage and never destroyed one by one.
static_assert(std::is_trivially_copyable_v<GroupInstruments> &&
              std::is_trivially_destructible_v<GroupInstruments>);

namespace {

constexpr std::size_t kFirstBlock = 16;

std::size_t slotOf(std::int32_t id, std::size_t mask) {
    // Fibonacci hashing spreads the dense ids servers use over the whole table.
    const std::uint64_t h = std::uint64_t{static_cast<std::uint32_t>(id)} * 0x9E3779B97F4A7C15ull;
    return static_cast<std::size_t>(h >> 32) & mask;
}

} // namespace

GroupInstrumentTable::GroupInstrumentTable(const GroupInstrumentTable& other) {
    reserve(other.size());
    for (const auto& settings : other)
        file(settings);
}

GroupInstrumentTable& GroupInstrumentTable::operator=(const GroupInstrumentTable& other) {
    if (this != &other) {
        GroupInstrumentTable copy(other);
        *this = std::move(copy);
    }
    return *this;
}

GroupInstrumentTable::GroupInstrumentTable(GroupInstrumentTable&& other) noexcept
    : blocks_(std::exchange(other.blocks_, {})), index_(std::exchange(other.index_, {})),
      size_(std::exchange(other.size_, 0)) {}

GroupInstrumentTable& GroupInstrumentTable::operator=(GroupInstrumentTable&& other) noexcept {
    if (this != &other) {
        clear();
        blocks_ = std::exchange(other.blocks_, {});
        index_ = std::exchange(other.index_, {});
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

GroupInstrumentTable::~GroupInstrumentTable() {
    clear();
}

void GroupInstrumentTable::clear() noexcept {
    std::allocator<GroupInstruments> alloc;
    for (const Block& b : blocks_)
        alloc.deallocate(b.entries, b.capacity);
    blocks_.clear();
    index_.clear();
    size_ = 0;
}

std::size_t GroupInstrumentTable::capacity() const noexcept {
    std::size_t total = 0;
    for (const Block& b : blocks_)
        total += b.capacity;
    return total;
}

GroupInstruments* GroupInstrumentTable::find(std::int32_t instrumentId) noexcept {
    if (index_.empty())
        return nullptr;
    const std::size_t mask = index_.size() - 1;
    for (std::size_t i = slotOf(instrumentId, mask);; i = (i + 1) & mask) {
        const Slot& slot = index_[i];
        if (!slot.entry)
            return nullptr;
        if (slot.id == instrumentId)
            return slot.entry;
    }
}

void GroupInstrumentTable::growIndex(std::size_t slots) {
    std::vector<Slot> grown(slots);
    const std::size_t mask = slots - 1;
    for (const Slot& slot : index_) {
        if (!slot.entry)
            continue;
        std::size_t i = slotOf(slot.id, mask);
        while (grown[i].entry)
            i = (i + 1) & mask;
        grown[i] = slot;
    }
    index_.swap(grown);
}

void GroupInstrumentTable::reserve(std::size_t entries) {
    const std::size_t have = capacity();
    if (entries > have) {
        std::allocator<GroupInstruments> alloc;
        const std::size_t more = entries - have;
        blocks_.reserve(blocks_.size() + 1);
        blocks_.push_back(Block{alloc.allocate(more), more, 0});
    }
    std::size_t slots = index_.empty() ? kFirstBlock : index_.size();
    while (slots < 2 * entries)
        slots *= 2;
    if (slots != index_.size())
        growIndex(slots);
}

GroupInstruments* GroupInstrumentTable::place(std::int32_t instrumentId, NewEntry fill) {
    // The first block with room: blocks fill in order, and reserve may have added empty ones.
    auto block =
        std::find_if(blocks_.begin(), blocks_.end(), [](const Block& b) { return b.size < b.capacity; });
    if (block == blocks_.end()) {
        std::allocator<GroupInstruments> alloc;
        const std::size_t more = std::max(kFirstBlock, size_);
        blocks_.reserve(blocks_.size() + 1);
        blocks_.push_back(Block{alloc.allocate(more), more, 0});
        block = std::prev(blocks_.end());
    }
    GroupInstruments* entry = block->entries + block->size;
    if (fill == NewEntry::Defaults)
        std::construct_at(entry)->InstrumentId = instrumentId;
    ++block->size;
    ++size_;
    return entry;
}

std::pair<GroupInstruments*, bool> GroupInstrumentTable::claim(std::int32_t instrumentId, NewEntry fill) {
    if (GroupInstruments* known = find(instrumentId))
        return {known, false};
    if (2 * (size_ + 1) > index_.size())
        growIndex(index_.empty() ? kFirstBlock : 2 * index_.size());
    GroupInstruments* entry = place(instrumentId, fill);
    const std::size_t mask = index_.size() - 1;
    std::size_t i = slotOf(instrumentId, mask);
    while (index_[i].entry)
        i = (i + 1) & mask;
    index_[i] = Slot{instrumentId, entry};
    return {entry, true};
}

std::pair<GroupInstruments*, bool> GroupInstrumentTable::file(const GroupInstruments& settings) {
    auto claimed = claim(settings.InstrumentId);
    *claimed.first = settings;
    return claimed;
}

std::pair<GroupInstruments*, bool> GroupDetails::claimGroupInstrument(std::int32_t instrumentId,
                                                                      GroupInstrumentTable::NewEntry fill) {
    if (GroupInstrumentCollection.size() >= kMaxGroupInstruments) {
        if (GroupInstruments* known = GroupInstrumentCollection.find(instrumentId))
            return {known, false};
        platform::Log::warning("group {}: more than {} instrument settings, instrument {} dropped", GroupId,
                               kMaxGroupInstruments, instrumentId);
        return {nullptr, false};
    }
    return GroupInstrumentCollection.claim(instrumentId, fill);
}

bool GroupDetails::fileGroupInstrument(const GroupInstruments& settings) {
    GroupInstruments* entry = claimGroupInstrument(settings.InstrumentId).first;
    if (entry)
        *entry = settings;
    return entry != nullptr;
}

GroupDetails GroupDetails::fromAmpRecord(const RecordFields& f) {
    GroupDetails g;
    readRecord(f, kGroupLayout, g);
    return g;
}

void GroupDetails::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kGroupColumns, *this);
}

} // namespace tc
