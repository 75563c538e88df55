#pragma once
// What the close and cancel sheet and the modify sheet show and send, worked out from the session's
// records as they stand. The sheets keep only the record's id and call these at every fill, refresh
// and send, so a record that went away is noticed (nullopt) instead of another row being used. No Qt.
#include "gui/controls/refusal.h"
#include "gui/texts.h"
#include "model/session_queries.h"
#include "platform/decimal.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {
struct GroupInstruments;
class ItemDetails;
class Order;
struct SessionModel;
} // namespace tc

namespace tc::gui {

struct TradeEntry;
using platform::Decimal;

// Alert title of every refusal a dialog finds itself.
inline constexpr std::string_view kRefusalTitleKey = texts::kValidation;
// Refusals of the dialogs themselves.
inline constexpr std::string_view kDeviationMissingKey = texts::kEnterPriceDeviationAllowed;
inline constexpr std::string_view kBadQuantityKey = texts::kEnterQuantityGreaterThanZero;
inline constexpr std::string_view kAboveClosableKey = texts::kQuantityMoreThanPositionHolds;
// The record a dialog shows has gone (its id fills {0}).
inline constexpr std::string_view kRecordGoneKey = texts::kPositionOrOrderNoLongerHeld;
// Longest quantity list a combo box gets: a huge remaining quantity lists its first lots only.
inline constexpr std::size_t kMaxQuantityEntries = 1000;

// The record's id and the list it lives in.
enum class DialogRecord : std::uint8_t { OpenPosition, PendingOrder };
std::shared_ptr<const Order> findRecord(const SessionQueries& queries, DialogRecord list,
                                        std::string_view id);

// "1", "2", ... up to the whole lots of `upTo`, at most `cap` entries; fractions get no entry.
std::vector<std::string> wholeQuantityList(const Decimal& upTo, std::size_t cap = kMaxQuantityEntries);
// "<quantity> x <contract %.2f> = <quantity × contract %.2f>", the quantity as written; empty for a
// text that is no number (readQuantityEntry), so no figure is worked from it.
std::string quantityDescription(std::string_view quantityText, double contractSize);
// The description of a quantity typed into a sheet that sends it as typed; empty for one the sheet
// refuses (quantityRefusal) or the group's quantity rules break, so no figure stands beside it.
std::string typedQuantityDescription(std::string_view quantityText, double contractSize,
                                     const GroupInstruments* settings);

// What both sheets show of their record, in the same fields.
struct RecordLines {
    std::string boxTitle;
    std::string account;
    std::string symbol;
    std::string name;
    std::string quantity;
    std::vector<std::string> quantityList;
    bool quantityEditable = false;
    std::string quantityDescription;
    std::string orderType;
    std::string buttonTitle;
};

// ---- the close and cancel sheet

enum class CloseJob : std::uint8_t { Close, Cancel };

// `quantity`: the closable (close) or remaining (cancel) quantity. A typed quantity the sheet refuses,
// or one the group's quantity rules break (a close of the whole remainder keeps them), gets no
// estimate and no description.
struct CloseView : RecordLines {
    // Why the close would refuse the quantity: the sheet's own checks (closeRefusal), then the
    // order rules' (closeQuantityRefusal); the field's mark and the button say the same.
    std::optional<Refusal> quantityRefused;
    std::string orderPrice;
    std::string currentPrice;
    bool resultShown = false;
    std::string estimatedResult;
    bool deviationShown = false;
};

// The sheet's whole view for the record; nullopt when the record is gone. `quantity`: the quantity
// typed, or none for the opening fill (then the closable quantity).
std::optional<CloseView> closeView(const SessionModel& model, const SessionQueries& queries, CloseJob job,
                                   std::string_view id, std::int64_t language,
                                   std::optional<std::string_view> quantity = std::nullopt);

// The refusal of a field's text that is no number; nullopt when it reads.
std::optional<Refusal> refusedEntry(const TradeEntry& entry, std::string_view fieldKey);
// A typed quantity that is not one plain number (named by its fault) or not above 0.
std::optional<Refusal> quantityRefusal(std::string_view quantity);
// A close the sheet refuses; `deviation`: nullopt when the box is not ticked, else the field's text.
std::optional<Refusal> closeRefusal(std::string_view quantity, const Decimal& closable,
                                    std::optional<std::string_view> deviation);
// The close's quantity as its button takes it: closeRefusal's checks, then the group's minimum,
// step and maximum as the order rules test them (the whole remainder may go below the minimum and
// off the step), in their words.
std::optional<Refusal> closeQuantityRefusal(std::string_view quantity, const Decimal& closable,
                                            const Decimal& remaining, const GroupInstruments* settings);
// A quantity typed for a new or edited order: quantityRefusal's checks, then the group's rules.
std::optional<Refusal> typedQuantityRefusal(std::string_view quantity, const GroupInstruments* settings);

// ---- the modify sheet

enum class ModifyMode : std::uint8_t { PositionBrackets, PendingOrder };

struct ModifyView : RecordLines {
    std::string price;
    bool priceEditable = false;
    bool takeProfitOn = false;
    std::string takeProfit;
    bool stopLossOn = false;
    std::string stopLoss;
    bool takeProfitShown = false;
    bool stopLossShown = false;
    double tickSize = 0;
    std::int32_t decimals = 0;
};

std::optional<ModifyView> modifyView(const SessionModel& model, const SessionQueries& queries,
                                     ModifyMode mode, std::string_view id, std::int64_t language);
// A quantity typed for the record, with its instrument and its group's rules as they stand: the
// description beside it (typedQuantityDescription) and why the edit would refuse it
// (typedQuantityRefusal); both empty when the record is gone.
struct TypedQuantity {
    std::string description;
    std::optional<Refusal> refusal;
};
TypedQuantity modifyQuantity(const SessionModel& model, const SessionQueries& queries, ModifyMode mode,
                             std::string_view id, std::string_view quantityText);

// The price a bracket box gets when it is ticked: the live price (position: a buy's Bid, a sell's Ask,
// Last when 0) or the stored order price (pending order), moved by the group's minimum distance in
// ticks, up for a buy's take profit and a sell's stop loss, down for the others.
std::string defaultBracketPrice(const SessionModel& model, const Order& record, ModifyMode mode,
                                bool takeProfit);

// A price field's text moved by `steps` ticks of the instrument, at its decimals; an empty field
// starts from 0, and a text that is no price stays as typed.
std::string steppedPrice(std::string_view text, double tickSize, std::int32_t decimals, int steps);

// A modify the sheet refuses before asking the core, naming the field to fill: the order price
// (`price`: a pending order's field; nullopt for a position, whose price is not edited) or a ticked
// bracket (nullopt when unticked) that is empty, or whose text is no price at `decimals` (then the
// refusal says why).
inline constexpr std::string_view kBadOrderPriceKey = texts::kOrderPriceMissingOrNot;
inline constexpr std::string_view kBadTakeProfitKey = texts::kTakeProfitPriceMissingOr;
inline constexpr std::string_view kBadStopLossKey = texts::kStopLossPriceMissingOr;
std::optional<Refusal> modifyRefusal(std::optional<std::string_view> price,
                                     std::optional<std::string_view> takeProfit,
                                     std::optional<std::string_view> stopLoss, std::int32_t decimals);

// The modify sheet's price field an order rule's refusal names (its key): the entry price's grid and
// limits, the take profit's or the stop loss's grid and bound; none for a refusal of the whole edit.
enum class ModifyField : std::uint8_t { Price, TakeProfit, StopLoss };
std::optional<ModifyField> modifyFieldOf(std::string_view refusalKey);

} // namespace tc::gui
