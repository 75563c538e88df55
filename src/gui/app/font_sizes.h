#pragma once
// The font sizes of the quotes board and of the order and position tables: the choices the settings
// offer and their store in the user defaults. Free of Qt.
#include "gui/texts.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tc::platform {
class UserDefaults;
}

namespace tc::gui {

inline constexpr std::string_view kWatchlistFontSizeKey = "WatchlistFontSize";
inline constexpr std::string_view kPositionsFontSizeKey = "PositionsFontSize";

struct FontSizeChoice {
    std::int64_t size;
    std::string_view nameKey;
};
inline constexpr std::array<FontSizeChoice, 4> kFontSizeChoices = {{
    {10, texts::kFontSmall},
    {12, texts::kFontMedium},
    {16, texts::kFontLarge},
    {20, texts::kFontExtraLarge},
}};
inline constexpr std::int64_t kDefaultFontSize = 12;
// The row of a size in kFontSizeChoices; nullopt for any other size.
std::optional<std::size_t> fontSizeChoiceIndex(std::int64_t size);
// A column's width at a font size: the widths the grids are laid out with suit kDefaultFontSize, and a
// larger font widens them in proportion, so that symbols and prices stay whole. Never narrower.
int columnWidthForFontSize(int width, std::int64_t size);

class PreferenceManager {
public:
    static void saveFontSizeInfo(platform::UserDefaults& defaults, std::int64_t size, std::string_view key);
    // 0 when nothing is stored; kDefaultFontSize for a size outside the offered range.
    static std::int64_t getFontSizeInfoForKey(const platform::UserDefaults& defaults, std::string_view key);
    static bool isFontSizeAvailableForKey(const platform::UserDefaults& defaults, std::string_view key);
    // At start-up: both sizes that are not stored yet become kDefaultFontSize.
    static void setDefaultFontSize(platform::UserDefaults& defaults);
};

} // namespace tc::gui
