#pragma once
// The texts and tones of the grids' cells, from the session's records as they stand. Pure
// functions: nothing here writes on a record, so painting a cell never changes what another cell
// or a total shows. No Qt here.
#include "gui/grid/grid_spec.h"
#include "gui/grid/tick_tracker.h"
#include "model/records/session_settings.h"
#include "model/records/wall_time.h"
#include "platform/compact_decimal.h"
#include "platform/decimal.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tc {
class AccountDetails;
class ItemDetails;
class Order;
class GroupDetails;
struct GroupInstruments;
struct SessionModel;
} // namespace tc

namespace tc::gui {

// How a cell is coloured; the table model maps each tone to the theme's colour.
enum class Tone : std::uint8_t {
    Plain,
    Gain,     // an amount at or above zero where the grid colours by sign
    Loss,     // below zero
    TickUp,   // a live price above the previous refresh's
    TickDown, // below it
    TickSame, // unchanged, or not known yet
    Frozen,   // the price of an account in equity hit: no tick colour
    Alert,    // the equity-hit status: bold red
    Stale,    // a live figure while the session is not signed in: greyed, no tick colour
};

struct Cell {
    Cell() = default;
    Cell(std::string text, Tone tone = Tone::Plain) : text(std::move(text)), tone(tone) {}
    Cell(const char* text) : text(text) {}

    std::string text;
    Tone tone = Tone::Plain;
    // The board's instrument code: the colour of its current trading session, when it has one.
    std::optional<CalibratedColor> background;
    // The language key of a name shown in the user's language (see nameKey); the text stays English
    // for sorting.
    std::string_view textKey;
    friend bool operator==(const Cell&, const Cell&) = default;
};

// The records a row of an order grid names, looked up once for the row.
struct RowRecords {
    const ItemDetails* item = nullptr;
    const AccountDetails* account = nullptr;
    const GroupInstruments* settings = nullptr; // the account group's settings for the instrument
};
RowRecords recordsOf(const SessionModel& model, const Order& order);

// The records of many rows in one pass (a refresh): each account, its group and the group's
// settings of each instrument are looked up once. Valid while the model's collections stand.
class RowRecordsCache {
public:
    explicit RowRecordsCache(const SessionModel& model) : model_(model) {}
    RowRecords of(const Order& order);

private:
    RowRecords recordsOf(const Order& order, bool withSettings);
    struct AccountEntry {
        const AccountDetails* account = nullptr;
        const GroupDetails* group = nullptr;
    };
    const SessionModel& model_;
    std::unordered_map<std::string_view, AccountEntry> accounts_;
    std::unordered_map<const GroupDetails*, std::unordered_map<std::int32_t, const GroupInstruments*>>
        settings_;
};
// The account group's settings for the instrument; nullptr when either is missing.
const GroupInstruments* groupSettings(const SessionModel& model, const AccountDetails* account,
                                      const ItemDetails* item);
const ItemDetails* instrumentOf(const SessionModel& model, std::string_view code);

// ---- shared formats

// The price with the instrument's decimal places (two without an instrument or with none).
std::string priceText(double value, const ItemDetails* item);
std::string priceText(const platform::Decimal& value, const ItemDetails* item);
// An absent price shows as 0, as its empty text did.
std::string priceText(const std::optional<platform::Decimal>& value, const ItemDetails* item);
std::string priceText(const platform::CompactDecimal& value, const ItemDetails* item);
// A quantity as its plain text, without trailing fraction zeros ("1.5", "5").
std::string quantityText(const platform::Decimal& value);
// A double at six decimals, as "%f" rounds it; NaN for a value that is not finite.
platform::Decimal sixDecimals(double value);
// A double written with six decimals and then with its trailing zeros dropped ("10.000000" -> "10").
std::string sixDecimalText(double value);
// The same of a decimal's nearest double, so a number reads as its double did.
std::string sixDecimalText(const platform::Decimal& value);
std::string_view sideText(std::int32_t tradingMode);    // "B" for 0, else "S"
std::string_view orderTypeText(std::int32_t orderType); // None, Market, Limit, Stop; "" otherwise
std::string_view deliveryModeText(std::int32_t mode);   // Regular, Intraday, BTST; "Unknown" otherwise
std::string_view timeInForceText(std::int32_t tif);     // Unknown (0), GTC, GTF, Day; "" otherwise
// Every English name above a field of names can show (none for any other field), so that its
// column can be wide enough for the longest in any language.
std::span<const std::string_view> namesOf(Field field);
// The language key of one of the English names above (and of the ticket's order type, validity and
// time in force names); "" for any other text.
std::string_view nameKey(std::string_view name);
// The name in the language; a text without a key as it is.
std::string shownName(std::int64_t language, std::string_view name);
// A "MM/dd/yyyy HH:mm:ss" text as a date column of that width shows it: only the time when the
// column is kNarrowDateColumnWidth or narrower.
std::string dateTimeForWidth(std::string_view text, double columnWidth);
// The same of a time; "" without one.
std::string dateTimeForWidth(std::optional<WallTime> time, double columnWidth);
// Only the time of a "MM/dd/yyyy HH:mm:ss" text naming a real calendar second; the text as it is
// when it is not one.
std::string timeOnly(std::string_view text);
// The spread in ticks: (Ask - Bid) / priceTick with its trailing zeros dropped; "0" when the
// instrument has no tick price.
std::string spreadText(const ItemDetails& item);
// The literal text of a language key in the user's language; the key itself when there is none.
std::string languageText(std::int64_t language, std::string_view key);

// ---- cells

struct CellOptions {
    double columnWidth = 1e9; // for the date columns
    Tick tick = Tick::Same;   // the view's tick of the row's live price
};

// A board row: the instrument of the watch-list code (nullptr when it is not loaded).
Cell boardCell(const SessionModel& model, const ItemDetails* item, Field field,
               const CellOptions& options = {});
// An accounts row: the account with its figures already worked out for this refresh.
Cell accountCell(const AccountDetails& account, Field field);
// A row of the open, pending, settled, executed or cancelled grid.
Cell orderCell(const Order& order, const RowRecords& records, Field field, const CellOptions& options = {});

// The numbers some cells show, as their records hold them (what the grids sort those columns by).
// An account's figure or id; 0 for a field that is no number of an account.
double accountFigure(const AccountDetails& account, Field field);
// A position's margin in two decimals; 0 without its instrument or a margin for its group.
double positionMarginValue(const Order& position, const RowRecords& records);
// The executed grid's quantity: the remaining quantity, or the order quantity once nothing remains.
platform::Decimal executedQuantity(const Order& order);

// Every tile of the advanced board is this tall, in points.
inline constexpr double kAdvancedTileHeight = 129.0;
// One tile of the advanced board: the instrument's code, update time, day's low and high, spread
// and the two price buttons (buy at the ask, sell at the bid) with their arrows.
struct AdvancedTile {
    std::string code;
    std::string time;
    std::string low;  // "L : <low>"
    std::string high; // "H : <high>"
    std::string spread;
    std::string buyPrice;
    std::string sellPrice;
    Tick buyTick = Tick::Same;
    Tick sellTick = Tick::Same;
};
// `item` nullptr: a code the session does not hold shows its code and zero prices.
AdvancedTile advancedTile(std::string_view code, const ItemDetails* item, const QuoteTicks& ticks);

// The live price of an open position's row: its instrument's Bid for a buy, Ask for a sell;
// nullopt for an account in equity hit (which shows the equity-hit price and keeps no ticks) or a
// position without its instrument.
std::optional<double> closingPrice(const Order& position, const RowRecords& records);
bool isEquityHit(const AccountDetails* account);

// ---- the one-second refresh of a view's ticks

// Notes the bid and ask of every listed instrument (codes without an instrument are skipped) and
// ends the refresh.
void refreshQuoteTicks(QuoteTicks& ticks, const SessionModel& model, const std::vector<std::string>& codes);
// Notes the closing price of every listed position under its position id; positions of accounts in
// equity hit keep their previous price. Ends the refresh.
void refreshPositionTicks(TickTracker& ticks, const SessionModel& model, const OrderView& positions);

} // namespace tc::gui
