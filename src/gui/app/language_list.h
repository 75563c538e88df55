#pragma once
// The languages the program offers, by the number "LanguageKey" stores. Free of Qt.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tc::gui {

inline constexpr std::string_view kLanguageKey = "LanguageKey"; // 0..11, absent = 0

// Languages by number, as the language chooser lists them and "LanguageKey" stores them.
inline constexpr std::array<std::string_view, 12> kLanguageNames = {
    "English", "中文",     "नेपाली",     "Dari",  "Pashto",  "العربية",
    "ру́сский", "français", "Indonesia", "বাংলা", "español", "Shqiptar",
};
// The ICU locale of each language, for names the locale data gives (countries).
inline constexpr std::array<std::string_view, 12> kLanguageLocales = {
    "en", "zh_Hans", "ne", "fa_AF", "ps_AF", "ar", "ru", "fr", "id", "bn", "es", "sq",
};
bool isLanguage(std::int64_t number);
// Dari, Pashto and Arabic are written right to left: their windows are laid out mirrored.
bool isRightToLeft(std::int64_t language);
// The language in force for a stored "LanguageKey": a number outside the list means English (0).
std::int64_t languageForStoredValue(std::optional<std::int64_t> stored);

} // namespace tc::gui
