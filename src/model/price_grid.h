#pragma once
// Price arithmetic of the order rules: the tick-grid test, moving a price onto the grid, offsets by
// a minimum distance and the instrument's daily price band. The grid test and the band rounding
// work in decimals made from the prices written with six decimals, so a price such as 1.2345 on a
// 0.0005 grid is recognised exactly; everything else is doubles.
#include "platform/decimal.h"

#include <cstdint>

namespace tc {

struct GroupInstruments;
class ItemDetails;

// Remainder of the price by the tick on the instrument's decimal scale (10^decimals, decimals
// clamped to 0..ItemDetails::kMaxDecimalPlaces); zero means the price is on the grid. A tick that
// is not a positive finite number, or too fine to show on that scale, means the instrument has no
// grid: the result is zero. A price that is not finite gives NaN, which is never on the grid.
platform::Decimal CheckTickPrice(double price, std::int32_t decimalPlaces, double tickSize);

// price + offset when `add`, price - offset otherwise.
double CalculateContingentPrice(double price, double offset, bool add);

// The price moved onto the tick grid: down, or up when `add`; a price on the grid stays. The price
// unchanged for a tick that is not above 0. The grid point is worked in decimals and then read as
// the nearest double. The decimal places do not change the result.
double doPriceTickCorrection(double tickSize, double price, std::uint32_t decimalPlaces, bool add);

// The price a take profit (`takeProfit`) or stop loss gets when it is asked for: `base` moved by the
// group's minimum distance in ticks, up for a buy's take profit and a sell's stop loss, down for the
// others. No distance without the instrument or the settings.
double bracketDefaultPrice(double base, bool buy, bool takeProfit, const ItemDetails* item,
                           const GroupInstruments* settings);
// A price moved by `steps` ticks, never below 0.
double steppedPrice(double price, double tickSize, int steps);

// Upper and lower limits of the daily band, 0 when there is none (no instrument, no absolute limit
// and no percentage). A percentage band is rounded inwards onto the tick grid.
double getFluctuationLimitUpPrice(const ItemDetails* item);
double getFluctuationLimitDownPrice(const ItemDetails* item);

// Stores both limits and tells whether the price lies inside the band (bounds inclusive; a limit
// of 0 does not bound).
bool verifyFluctuationLimit(const ItemDetails* item, double price, double* up, double* down);

} // namespace tc
