#include "platform/numeric_order.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>

#include <climits>
#include <cstdint>

namespace tc::platform {

NumericOrder::NumericOrder() {
    UErrorCode status = U_ZERO_ERROR;
    collator_.reset(icu::Collator::createInstance(icu::Locale("en", "US"), status));
    if (U_FAILURE(status))
        collator_.reset();
    if (collator_) {
        collator_->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        if (U_FAILURE(status))
            collator_.reset();
    }
}

NumericOrder::~NumericOrder() = default;

bool NumericOrder::less(std::string_view a, std::string_view b) const {
    if (collator_ && a.size() <= INT32_MAX && b.size() <= INT32_MAX) {
        UErrorCode status = U_ZERO_ERROR;
        const auto r =
            collator_->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                                   icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
        if (U_SUCCESS(status))
            return r == UCOL_LESS;
    }
    return a < b;
}

} // namespace tc::platform
