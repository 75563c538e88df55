#pragma once
// Every user-visible text is looked up here by a numeric key ("0004", "10980") and the user's
// language number; the texts live in the per-language string tables of the resource bundle.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class LanguageString {
public:
    // The text of `key` in the language's table. The key is first redirected through the product
    // localisation list. A key the table lacks reads as itself (an untranslated label shows its
    // number); nullopt when the language folder is missing from the bundle.
    static std::optional<std::string> stringForSelectedLanguage(int64_t language, std::string_view key);

    // Control tags double as keys: "4" -> "0004", "12" -> "0012", "123" -> "0123"; the empty text
    // and keys of four or more characters come back unchanged.
    static std::string setLanguageKey(std::string_view key);

    // The product's replacement key for `key`, or the key itself.
    static std::string getProductBasedKeyForKey(std::string_view key);

    // The bundle folder name ("<name>.lproj") of a language number; "en" for unknown numbers.
    static std::string_view folderForLanguage(int64_t language);

    // The application shell hands over the login settings' product localisation list (key -> key)
    // whenever it loads them; an empty map switches redirection off. Safe against concurrent lookups.
    static void setProductLocalizationList(std::map<std::string, std::string> list);
};

} // namespace tc
