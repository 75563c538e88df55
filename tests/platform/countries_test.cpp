// Countries named in each of the program's languages, in that language's order.
#include "platform/countries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

using tc::platform::countriesNamedIn;
using tc::platform::Country;

std::string nameOf(const std::vector<Country>& countries, std::string_view code) {
    const auto at =
        std::find_if(countries.begin(), countries.end(), [&](const Country& c) { return c.code == code; });
    return at == countries.end() ? std::string() : at->name;
}

std::size_t placeOf(const std::vector<Country>& countries, std::string_view code) {
    return static_cast<std::size_t>(
        std::find_if(countries.begin(), countries.end(), [&](const Country& c) { return c.code == code; }) -
        countries.begin());
}

TEST(Countries, EachLanguageNamesEveryCountryOnceInItsOwnWords) {
    const auto english = countriesNamedIn("en");
    ASSERT_GT(english.size(), 230u);
    EXPECT_EQ(nameOf(english, "DE"), "Germany");
    EXPECT_EQ(nameOf(english, "NP"), "Nepal");
    EXPECT_EQ(nameOf(countriesNamedIn("fr"), "DE"), "Allemagne");
    EXPECT_EQ(nameOf(countriesNamedIn("es"), "DE"), "Alemania");
    EXPECT_EQ(nameOf(countriesNamedIn("ru"), "DE"), "Германия");
    EXPECT_EQ(nameOf(countriesNamedIn("sq"), "DE"), "Gjermani");
    EXPECT_EQ(nameOf(countriesNamedIn("zh_Hans"), "DE"), "德国");
    EXPECT_EQ(nameOf(countriesNamedIn("ar"), "DE"), "ألمانيا");
    for (const char* language :
         {"en", "zh_Hans", "ne", "fa_AF", "ps_AF", "ar", "ru", "fr", "id", "bn", "es", "sq"}) {
        const auto countries = countriesNamedIn(language);
        EXPECT_EQ(countries.size(), english.size()) << language;
        std::set<std::string> codes;
        std::set<std::string> names;
        for (const Country& c : countries) {
            codes.insert(c.code);
            names.insert(c.name);
            EXPECT_EQ(c.code.size(), 2u) << language;
            EXPECT_NE(c.name, c.code) << language;
        }
        EXPECT_EQ(codes.size(), countries.size()) << language;
        EXPECT_EQ(names.size(), countries.size()) << language << ": two countries under one name";
    }
}

TEST(Countries, ListedAsTheLanguageSortsNotByCode) {
    const auto english = countriesNamedIn("en");
    EXPECT_EQ(english.front().name, "Afghanistan");
    EXPECT_LT(placeOf(english, "DE"), placeOf(english, "AE")); // Germany before United Arab Emirates
    // French sorts accented capitals with their letter: Égypte between Danemark and Espagne.
    const auto french = countriesNamedIn("fr");
    EXPECT_LT(placeOf(french, "DK"), placeOf(french, "EG"));
    EXPECT_LT(placeOf(french, "EG"), placeOf(french, "ES"));
    EXPECT_LT(placeOf(french, "ZA"), placeOf(french, "DE")); // Afrique du Sud before Allemagne
}

} // namespace
