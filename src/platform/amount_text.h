#pragma once
// How every window shows an account amount (a balance, a margin, a profit, a commission, a receipt's
// amount): two decimals, a comma between each three digits of the whole part ("10,299.70",
// "-1,234.50", "0.00"). One function, so that one amount reads the same wherever it stands.
#include <string>

namespace tc::platform {

class Decimal;

// "%.2f" of the double (-0.001 gives "-0.00"), grouped; a value that is not finite as "%.2f" prints it.
std::string amountText(double value);
// A decimal rounded at its own digits, half away from zero (its cents kept at any size), grouped;
// NaN as the double's.
std::string amountText(const Decimal& value);

} // namespace tc::platform
