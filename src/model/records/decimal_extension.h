#pragma once
// Decimal helpers of the order and ticket code: is a price or quantity on its tick or step grid?
#include "platform/decimal.h"

namespace tc {

// Remainder of receiver by divisor: the quotient is rounded to an integer Up (toward +infinity)
// when the 32-bit integer parts of receiver and divisor differ in sign (one negative, the other
// not), else Down (toward -infinity), and the remainder is receiver - quotient * divisor.
// For integer parts of both operands nonzero this truncates the quotient toward zero
// (-7 by 2 gives -1). A fractional negative operand has integer part 0, which counts as not
// negative, so -0.35 by 0.1 floors the quotient and gives 0.05. Integer parts beyond 32 bits
// saturate, keeping their sign. A zero divisor, or a NaN operand, gives NaN. The result is exact
// while quotient * divisor fits in 38 digits (always so for prices against their tick).
platform::Decimal moduloFor(const platform::Decimal& receiver, const platform::Decimal& divisor);
// moduloFor() with the divisor read from its six-decimal fixed text (so 0.00005 is exact and
// divisors below 0.0000005 become 0, giving NaN).
platform::Decimal moduloForDouble(const platform::Decimal& receiver, double divisor);
// moduloFor() by 1: the fractional part.
platform::Decimal decimalPlaces(const platform::Decimal& receiver);
// The receiver when zero or positive, else the receiver times -1.
platform::Decimal absoluteNumber(const platform::Decimal& receiver);
// The receiver unless it compares smaller than other (NaN compares smallest).
platform::Decimal greaterNumber(const platform::Decimal& receiver, const platform::Decimal& other);
// The other when the receiver compares greater, else the receiver.
platform::Decimal smallerNumber(const platform::Decimal& receiver, const platform::Decimal& other);

} // namespace tc
