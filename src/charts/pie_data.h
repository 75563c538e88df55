#pragma once
// The slices of a pie chart from titled values, and the account pie's shares of equity.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tc::charts {

struct PieSlice {
    std::string title;
    double value = 0; // signed, shown in the legend
    double size = 0;  // the slice: the magnitude rounded to cents, 0 for a value that is not finite
};

// One slice per value, in the order given; a value without a title gets an empty title.
std::vector<PieSlice> pieSlices(std::span<const std::string> titles, std::span<const double> values);
// "X: 10.00", "Y: -5.00".
std::string legendText(const PieSlice& slice);
// A loss: a value that shows below 0 in the legend. Its slice is the loss's size, as a gain's is,
// so the chart marks it apart.
bool isLoss(const PieSlice& slice);

// The colour of each slice of one pie, by title: a title keeps the colour it had while no other
// slice shown takes it, whatever the order of the slices; a new title takes the first colour no
// slice shown holds (with more slices than colours, the least held that neither slice beside it
// has, the last slice bordering the first). Kept for as long as its pie.
class SliceColours {
public:
    explicit SliceColours(std::size_t colours) : colours_(colours == 0 ? 1 : colours) {}
    // The colour number (below the count given) of each slice, in their order.
    std::vector<std::size_t> assign(std::span<const PieSlice> slices);

private:
    std::size_t colours_;
    std::vector<std::pair<std::string, std::size_t>> kept_; // title, colour
};
// The angle of each slice of these sizes in radians (they add up to 2 pi); sizes that are not
// finite or not above 0 get none, and all are 0 when no slice has a size.
std::vector<double> sliceAngles(std::span<const double> sizes);

// What the open positions of an account hold in one instrument: margin, or floating profit and
// loss in the account currency.
struct PieHolding {
    std::string code;
    std::int64_t instrumentId = 0;
    double amount = 0;
};

// One holding per instrument with its positions' amounts summed (amounts that are not finite count
// as 0), in a stable order: the largest amount first, equal amounts by instrument id.
std::vector<PieHolding> byInstrument(std::span<const PieHolding> positions);

// The margin pie of an account: for each instrument (byInstrument's order) the margin held in it as
// a percentage of equity, then "Avl.Mgn", the available margin as a percentage of equity. An
// account whose equity was hit shows 0 for every instrument. An equity that is 0, negative or not
// finite cannot be divided by: there are then no slices at all.
std::vector<PieSlice> equityShares(std::span<const PieHolding> margins, double equity, double availableMargin,
                                   bool equityHit);
// The profit-and-loss pie: one slice per instrument, the signed sum of its positions.
std::vector<PieSlice> profitLossShares(std::span<const PieHolding> profits);

} // namespace tc::charts
