#include "model/records/decimal_extension.h"

namespace tc {

using platform::Decimal;
using platform::DecimalRounding;
using platform::RoundingMode;

Decimal moduloFor(const Decimal& receiver, const Decimal& divisor) {
    const bool signsDiffer = (receiver.int32Value() < 0) != (divisor.int32Value() < 0);
    const RoundingMode mode = signsDiffer ? RoundingMode::Up : RoundingMode::Down;
    const Decimal quotient = receiver.divide(divisor, DecimalRounding{mode, 0});
    return receiver.subtract(quotient.multiply(divisor));
}

Decimal moduloForDouble(const Decimal& receiver, double divisor) {
    return moduloFor(receiver, Decimal::fromDouble(divisor));
}

Decimal decimalPlaces(const Decimal& receiver) {
    return moduloFor(receiver, Decimal::fromInt64(1));
}

Decimal absoluteNumber(const Decimal& receiver) {
    if (receiver >= Decimal{})
        return receiver;
    return receiver.multiply(Decimal::fromInt64(-1));
}

Decimal greaterNumber(const Decimal& receiver, const Decimal& other) {
    return receiver < other ? other : receiver;
}

Decimal smallerNumber(const Decimal& receiver, const Decimal& other) {
    return receiver > other ? other : receiver;
}

} // namespace tc
