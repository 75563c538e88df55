// Decimal text and arithmetic on arbitrary bytes: "<a>[|<b>]", optionally preceded by one
// control byte picking the rounding of the arithmetic.
#include "fuzz_support.h"
#include "model/records/decimal_extension.h"
#include "platform/compact_decimal.h"
#include "platform/decimal.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace tc;
using platform::Decimal;
using platform::DecimalRounding;
using platform::RoundingMode;

void check(bool condition) {
    if (!condition)
        std::abort();
}

// Every value must print to text that reads back as the same value.
void checkText(const Decimal& d) {
    const auto again = Decimal::fromString(d.toString());
    check(again.has_value());
    check(*again == d);
    check(again->toString() == d.toString());
    check(!(d.isNegative() && d.isZero()));
    // The double is the correctly rounded reading of the text, whichever path produced it.
    const std::string text = d.toString();
    double expected = 0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    const double value = d.toDouble();
    check(value == expected || (std::isnan(value) && std::isnan(expected)));
    // The stored form keeps 16 digits exactly, prints the same text and keeps Decimal's order.
    const platform::CompactDecimal compact(d);
    if (!compact.isNaN() && compact.toDecimal() == d) {
        check(compact.toString() == text);
        check(compact.toDouble() == value || (std::isnan(value) && compact.isNaN()));
    }
    check(d.isNaN() || compact.isNaN() || compact.toDecimal() == d || d.mantissa() > 9'999'999'999'999'999u);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::optional<DecimalRounding> rounding;
    if (!input.empty() && static_cast<unsigned char>(input.front()) >= 0x80) {
        const auto control = static_cast<unsigned char>(input.front());
        rounding = DecimalRounding{static_cast<RoundingMode>(control & 3),
                                   static_cast<int>((control >> 2) & 31) - 10};
        input.remove_prefix(1);
    }
    const std::size_t bar = input.find('|');
    const auto a = Decimal::fromString(input.substr(0, bar));
    // The plain wire form reads into the stored form as Decimal reads it.
    if (const auto plain = platform::CompactDecimal::fromPlainText(input.substr(0, bar)))
        check(a && *plain == platform::CompactDecimal(*a));
    if (a)
        checkText(*a);
    if (bar == std::string_view::npos || !a)
        return 0;
    const auto b = Decimal::fromString(input.substr(bar + 1));
    if (!b)
        return 0;
    checkText(*b);

    check((a->compare(*b) < 0) == (b->compare(*a) > 0));
    check((*a == *b) == (b->compare(*a) == 0));
    const platform::CompactDecimal ca(*a), cb(*b);
    if (ca.toDecimal() == *a && cb.toDecimal() == *b)
        check((ca <=> cb) == a->compare(*b));
    for (const Decimal& r : {a->add(*b, rounding), a->subtract(*b, rounding), a->multiply(*b, rounding),
                             a->divide(*b, rounding), moduloFor(*a, *b), decimalPlaces(*a),
                             absoluteNumber(*a), greaterNumber(*a, *b), smallerNumber(*a, *b)})
        checkText(r);
    if (rounding)
        checkText(a->rounded(rounding->scale, rounding->mode));
    if (!a->isNaN()) {
        check((*a - *a).isZero());
        check(*a * Decimal::fromInt64(1) == *a);
        check(a->add(*b) == b->add(*a));
        check(a->multiply(*b) == b->multiply(*a));
    }
    (void)a->toDouble();
    (void)a->int32Value();
    return 0;
}
