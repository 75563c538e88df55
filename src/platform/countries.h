#pragma once
// The ISO 3166 countries named in a language, from ICU's locale data: the demo registration lists
// them by these names and sends the name shown.
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {

struct Country {
    std::string code; // "DE"
    std::string name; // "Germany", "Allemagne", ...
};

// Every country ICU names in the language of `locale` (an ICU locale id: "en", "fr", "zh_Hans",
// "fa_AF", ...), sorted by name as that language sorts; codes ICU has no name for are left out.
std::vector<Country> countriesNamedIn(std::string_view locale);

} // namespace tc::platform
