#pragma once
// How every window shows an account amount (a balance, a margin, a profit, a commission, a receipt's
// amount): two decimals, a comma between each three digits of the whole part ("10,299.70",
// "-1,234.50", "0.00"). One function and one rounding, so that one amount reads the same wherever
// it stands and whether a double or a decimal carries it: half away from zero on the decimal value,
// and never "-0.00".
#include <string>

namespace tc::platform {

class Decimal;

// The decimal the double stands for (its shortest text: 0.145, 10.125) as the decimal reads
// (-0.001 gives "0.00"); a value that is not finite as "%.2f" prints it.
std::string amountText(double value);
// A decimal rounded at its own digits, half away from zero (its cents kept at any size), grouped;
// NaN as the double's.
std::string amountText(const Decimal& value);

} // namespace tc::platform
