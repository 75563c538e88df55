#include "platform/countries.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace tc::platform {

std::vector<Country> countriesNamedIn(std::string_view locale) {
    const icu::Locale language(std::string(locale).c_str());
    std::vector<Country> countries;
    for (const char* const* code = icu::Locale::getISOCountries(); code && *code; ++code) {
        icu::UnicodeString name;
        icu::Locale("", *code).getDisplayCountry(language, name);
        std::string text;
        name.toUTF8String(text);
        // Without a name ICU hands the code back: such a country is not offered.
        if (text.empty() || text == *code)
            continue;
        countries.push_back({*code, std::move(text)});
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(language, status));
    if (U_FAILURE(status) || !collator) {
        std::sort(countries.begin(), countries.end(),
                  [](const Country& a, const Country& b) { return a.name < b.name; });
        return countries;
    }
    std::stable_sort(countries.begin(), countries.end(), [&](const Country& a, const Country& b) {
        UErrorCode s = U_ZERO_ERROR;
        return collator->compareUTF8(a.name, b.name, s) == UCOL_LESS;
    });
    return countries;
}

} // namespace tc::platform
