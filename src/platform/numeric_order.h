#pragma once
// Orders texts as the user's lists do: letters without regard to case, digit runs by value ("9"
// before "10"). One collator serves a whole sort; without ICU data the bytes decide.
#include <unicode/uversion.h>

#include <memory>
#include <string_view>

U_NAMESPACE_BEGIN
class Collator;
U_NAMESPACE_END

namespace tc::platform {

class NumericOrder {
public:
    NumericOrder();
    ~NumericOrder();
    NumericOrder(const NumericOrder&) = delete;
    NumericOrder& operator=(const NumericOrder&) = delete;

    bool less(std::string_view a, std::string_view b) const;

private:
    std::unique_ptr<icu::Collator> collator_;
};

} // namespace tc::platform
