#include "model/text/language_string.h"

#include "platform/bundle.h"
#include "platform/string_table.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;

using platform::StringTable;

TEST(LanguageStringKey, PadsShortKeysToFourDigits) {
    const std::pair<const char*, const char*> cases[] = {
        {"4", "0004"},      {"0", "0000"},        {"123", "0123"}, {"0004", "0004"},
        {"10980", "10980"}, {"123456", "123456"}, {"", ""},        {"-1", "00-1"}};
    for (const auto& [tag, key] : cases)
        EXPECT_EQ(LanguageString::setLanguageKey(tag), key) << tag;
}

TEST(LanguageStringFolder, NumbersOutsideTheListReadEnglish) {
    EXPECT_EQ(LanguageString::folderForLanguage(7), "fr");
    for (int64_t n : {int64_t{12}, int64_t{-1}, int64_t{1000}, std::numeric_limits<int64_t>::min(),
                      std::numeric_limits<int64_t>::max()})
        EXPECT_EQ(LanguageString::folderForLanguage(n), "en") << n;
}

class LanguageStringLookup : public ::testing::Test {
protected:
    LanguageStringLookup() {
        resources.strings("fr", "0004\tVeuillez saisir l'adresse du serveur.\n")
            .strings("albanian", "# nothing translated yet\n");
    }
    testing_support::ScopedResources resources{"0004\tPlease enter the server address.\n"
                                               "0005\tPlease enter the port.\n"
                                               "0006\tPlease enter the user name.\n"
                                               "10980\tValidation\n"};
};

TEST_F(LanguageStringLookup, ReadsTheTableOfTheChosenLanguage) {
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "0004"), "Please enter the server address.");
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(7, "0004"), "Veuillez saisir l'adresse du serveur.");
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "10980"), "Validation");
}

// A text is looked up for every cell of a list: the table stays in memory once read, and a new
// resources root is read afresh.
TEST_F(LanguageStringLookup, ATableReadOnceAnswersFromMemoryUntilTheRootChanges) {
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(7, "0004"), "Veuillez saisir l'adresse du serveur.");
    std::filesystem::remove_all(resources.path() / "fr.lproj");
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(7, "0004"), "Veuillez saisir l'adresse du serveur.");
    {
        testing_support::ScopedResources other{"0004\tServer address, please.\n"};
        other.strings("fr", "0004\tL'adresse du serveur, s'il vous plait.\n");
        EXPECT_EQ(LanguageString::stringForSelectedLanguage(7, "0004"),
                  "L'adresse du serveur, s'il vous plait.");
        EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "0004"), "Server address, please.");
    }
}

TEST_F(LanguageStringLookup, UnknownLanguageNumbersReadEnglish) {
    for (int64_t n : {int64_t{12}, int64_t{-1}, std::numeric_limits<int64_t>::min()})
        EXPECT_EQ(LanguageString::stringForSelectedLanguage(n, "0005"), "Please enter the port.") << n;
}

TEST_F(LanguageStringLookup, MissingKeyReadsAsItself) {
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "0999"), "0999");
    // No fallback to English: an untranslated label shows its number.
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(7, "0005"), "0005");
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(11, "0004"), "0004");
    // An unpadded tag is a different key.
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "4"), "4");
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, LanguageString::setLanguageKey("4")),
              "Please enter the server address.");
}

TEST_F(LanguageStringLookup, MissingFolderGivesNothing) {
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(1, "0004"), std::nullopt); // no zh-Hans.lproj
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(6, "0004"), std::nullopt); // no ru.lproj
    std::filesystem::remove_all(resources.path() / "en.lproj");
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(-1, "0004"), std::nullopt);
}

TEST_F(LanguageStringLookup, ProductListRedirectsKeysOnce) {
    LanguageString::setProductLocalizationList({{"0004", "0005"}, {"0005", "0006"}, {"0007", "0999"}});
    EXPECT_EQ(LanguageString::getProductBasedKeyForKey("0004"), "0005");
    EXPECT_EQ(LanguageString::getProductBasedKeyForKey("10980"), "10980");
    // The first key reads the second key's text; the redirected key is not redirected again.
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "0004"), "Please enter the port.");
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "0005"), "Please enter the user name.");
    // A redirect to a key the table lacks shows the redirected key.
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "0007"), "0999");
    // The redirect applies before the folder is chosen, so it holds in every language.
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(7, "0004"), "0005");

    LanguageString::setProductLocalizationList({});
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "0004"), "Please enter the server address.");
}

TEST_F(LanguageStringLookup, LookupsRaceSafelyWithProductListChanges) {
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
        readers.emplace_back([&] {
            while (!stop.load()) {
                auto s = LanguageString::stringForSelectedLanguage(0, "0004");
                if (s != "Please enter the server address." && s != "Please enter the port.")
                    ++unexpected;
            }
        });
    for (int n = 0; n < 500; ++n) {
        LanguageString::setProductLocalizationList({{"0004", "0005"}});
        LanguageString::setProductLocalizationList({});
        if (n % 100 == 0)
            platform::StringTableCache::clear();
    }
    stop = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(unexpected.load(), 0);
}

// The tables that ship with the application.
class ShippedStringTables : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        platform::StringTableCache::clear();
        LanguageString::setProductLocalizationList({});
    }
    void TearDown() override {
        platform::StringTableCache::clear();
        platform::Bundle::setResourcesRoot({});
    }
    static StringTable loadClean(int64_t language) {
        const auto folder = platform::Bundle::localizationFolder(LanguageString::folderForLanguage(language));
        EXPECT_TRUE(folder) << "language " << language;
        if (!folder)
            return {};
        StringTable::ParseReport report;
        auto table = StringTable::load(*folder / std::string(StringTable::kFileName), &report);
        EXPECT_TRUE(table) << folder->string();
        EXPECT_TRUE(report.malformedLines.empty()) << folder->string();
        EXPECT_TRUE(report.duplicateLines.empty()) << folder->string();
        return table ? std::move(*table) : StringTable{};
    }
    // The "{n}" placeholders of a text; any other use of braces is a fault.
    static std::multiset<int> placeholders(const std::string& text, bool& wellFormed) {
        std::multiset<int> found;
        wellFormed = true;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '}') {
                wellFormed = false;
            } else if (text[i] == '{') {
                if (i + 2 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9' && text[i + 2] == '}') {
                    found.insert(text[i + 1] - '0');
                    i += 2;
                } else {
                    wellFormed = false;
                }
            }
        }
        return found;
    }
};

TEST_F(ShippedStringTables, EveryLanguageFolderHasAWellFormedTable) {
    for (int64_t n = 0; n < 12; ++n)
        loadClean(n);
}

TEST_F(ShippedStringTables, EnglishHasATextForEveryKey) {
    const StringTable en = loadClean(0);
    ASSERT_FALSE(en.empty());
    for (const auto& [key, text] : en.entries()) {
        EXPECT_TRUE(key.size() == 4 || key.size() == 5) << key;
        EXPECT_FALSE(text.empty()) << key;
        EXPECT_NE(text, key);
        bool wellFormed = false;
        const auto used = placeholders(text, wellFormed);
        EXPECT_TRUE(wellFormed) << key << ": " << text;
        // Placeholders are numbered from 0 without gaps, so every argument is shown.
        int next = 0;
        for (int p : std::set<int>(used.begin(), used.end()))
            EXPECT_EQ(p, next++) << key << ": " << text;
    }
    // The keys the lookup rules name as examples come back translated.
    EXPECT_NE(LanguageString::stringForSelectedLanguage(0, "10980"), "10980");
    EXPECT_NE(LanguageString::stringForSelectedLanguage(0, LanguageString::setLanguageKey("4")), "0004");
}

TEST_F(ShippedStringTables, SharedTitlesReadRightForEachUse) {
    for (int64_t n = 0; n < 12; ++n) {
        const StringTable table = loadClean(n);
        const auto text = [&](const char* key) {
            const std::string* found = table.find(key);
            return found ? *found : std::string(key);
        };
        // The settled tables' column of the opening position's time reads as the open grid's does.
        EXPECT_EQ(text("0325"), text("0137")) << LanguageString::folderForLanguage(n);
    }
    // The title of refusals is also the settlement banner's: a word that fits a settlement as well.
    EXPECT_EQ(LanguageString::stringForSelectedLanguage(0, "10980"), "Notice");
}

TEST_F(ShippedStringTables, TranslationsUseEnglishKeysAndPlaceholders) {
    const StringTable en = loadClean(0);
    for (int64_t n = 1; n < 12; ++n) {
        const StringTable table = loadClean(n);
        for (const auto& [key, text] : table.entries()) {
            const std::string* english = en.find(key);
            EXPECT_NE(english, nullptr) << LanguageString::folderForLanguage(n) << " has unknown key " << key;
            if (!english)
                continue;
            bool a = false, b = false;
            EXPECT_EQ(placeholders(text, a), placeholders(*english, b))
                << LanguageString::folderForLanguage(n) << " " << key;
            EXPECT_TRUE(a) << LanguageString::folderForLanguage(n) << " " << key;
        }
    }
}

} // namespace
