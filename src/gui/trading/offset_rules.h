#pragma once
// The offset sheet's state: the position to offset, the opposite positions of its account,
// instrument and delivery mode it may close against, which of them are ticked (in the order they
// were ticked) and how much each gives, the totals, the checks before sending and the legs sent.
// Rows are kept by position id; the records are read again from the session at every use. No Qt.
#include "gui/texts.h"
#include "gui/trading/position_dialog_rules.h"
#include "interfaces/orders.h"
#include "model/position_quantities.h"
#include "model/records/order.h"
#include "model/session_queries.h"
#include "platform/decimal.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {
struct SessionModel;
}

namespace tc::gui {

// Nothing is ticked: the sheet says so rather than doing nothing.
inline constexpr std::string_view kNothingTickedKey = texts::kTickLeastOnePositionOffset;
// Longest quantity list a row's combo box gets.
inline constexpr std::size_t kMaxOffsetEntries = 1000;

// A row: the opposite position, and its quantity box's text as typed or picked (read once, into
// offsetQty).
struct OffsetRow : OffsetPosition {
    std::string offsetText = "0";
};

class OffsetState {
public:
    // Fills from the session: false when the position is gone (nothing is kept then).
    bool fill(const SessionModel& model, const SessionQueries& queries, std::string_view positionId);
    // Reads the position and its rows again as the session now holds them; the rows still there keep
    // their tick and typed quantity (worked again on the new figures). False when the position is gone.
    bool reread(const SessionModel& model, const SessionQueries& queries);

    const std::string& positionId() const { return positionId_; }
    const std::string& account() const { return account_; }
    const std::string& symbol() const { return symbol_; }
    const std::string& openPrice() const { return openPrice_; }
    // The position's side (0 buy, else sell) as filled.
    std::int32_t side() const { return side_; }
    const platform::Decimal& quantity() const { return quantity_; }
    const std::vector<OffsetRow>& rows() const { return rows_; }
    bool isTicked(std::size_t row) const;
    // The ticked rows' ids in the order they were ticked.
    const std::vector<std::string>& ticked() const { return ticked_; }

    // Ticks or unticks a row; either resets its quantity to "0".
    void toggle(std::size_t row);
    // The quantity chosen for a row (the text as typed or picked; one that is not a plain number
    // takes nothing) and its result, valued as if closed at the position's open price.
    void setQuantity(const SessionModel& model, std::size_t row, std::string_view quantity);
    // The row's position's floating P/L as the positions grid shows it (its stored figure, which
    // the one-second refresh keeps current); none once the position is gone, or before it is worked out.
    std::optional<double> floatingPL(const SessionModel& model, std::size_t row) const;
    // A ticked row whose quantity the sheet refuses: its result and what it leaves are not shown.
    bool refusedEntry(std::size_t row) const;
    // The ticked rows' quantities summed, and the position's quantity less that; empty while a row's
    // quantity is refused, and the remainder also while the total is more than the position holds.
    std::string offsetTotal() const;
    std::string remaining() const;
    // A ticked row's list: 0, step, 2 × step, ... below its total, then the total; 0 and the total
    // when the group has no step; nothing for an unticked row.
    std::vector<std::string> quantityList(const SessionModel& model, std::size_t row) const;

    // The sheet's checks in their order; the key of the first that fails, nullopt when it may go.
    std::optional<std::string> refusalKey(const SessionModel& model, bool networkAvailable) const;
    // The same, a ticked row whose text is no number first, naming the field and its fault; then a
    // leg off the group's lot step (unless it is all its position holds), naming the step.
    std::optional<Refusal> refusal(const SessionModel& model, bool networkAvailable) const;
    // What the button would refuse in a ticked row's quantity, in its words and order: no number,
    // the rows together more than the position holds, 0, more than the row holds, off the step;
    // nullopt for a row it takes or an unticked one.
    std::optional<Refusal> rowRefusal(const SessionModel& model, std::size_t row) const;
    // The ticked quantities together more than the position holds, once each reads.
    std::optional<Refusal> totalRefusal() const;
    // What is sent: the ticked rows in tick order, each with its quantity.
    std::vector<interfaces::OffsetLeg> legs() const;

private:
    OffsetTotals totals() const;
    bool anyRefusedEntry() const;
    const GroupInstruments* settings(const SessionModel& model) const;
    static std::optional<Refusal> stepRefusal(const GroupInstruments* settings, const OffsetRow& row);

    std::string positionId_;
    std::string account_;
    std::string symbol_;
    std::string openPrice_;
    std::int32_t side_ = 0;
    platform::Decimal quantity_;
    std::vector<OffsetRow> rows_;
    std::vector<std::string> ticked_;
};

} // namespace tc::gui
