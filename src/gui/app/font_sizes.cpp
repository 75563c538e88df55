#include "gui/app/font_sizes.h"

#include "platform/user_defaults.h"

namespace tc::gui {

std::optional<std::size_t> fontSizeChoiceIndex(std::int64_t size) {
    for (std::size_t i = 0; i < kFontSizeChoices.size(); ++i)
        if (kFontSizeChoices[i].size == size)
            return i;
    return std::nullopt;
}

int columnWidthForFontSize(int width, std::int64_t size) {
    if (size <= kDefaultFontSize)
        return width;
    return static_cast<int>((width * size + kDefaultFontSize - 1) / kDefaultFontSize);
}

void PreferenceManager::saveFontSizeInfo(platform::UserDefaults& defaults, std::int64_t size,
                                         std::string_view key) {
    defaults.set(key, size);
    defaults.synchronize();
}

std::int64_t PreferenceManager::getFontSizeInfoForKey(const platform::UserDefaults& defaults,
                                                      std::string_view key) {
    if (!isFontSizeAvailableForKey(defaults, key))
        return 0;
    // A size the settings window does not offer (a hand-edited or damaged file) would draw rows as
    // empty boxes or unreadably small: the default stands in.
    const std::int64_t size = defaults.integerForKey(key);
    if (size < kFontSizeChoices.front().size || size > kFontSizeChoices.back().size)
        return kDefaultFontSize;
    return size;
}

bool PreferenceManager::isFontSizeAvailableForKey(const platform::UserDefaults& defaults,
                                                  std::string_view key) {
    return defaults.objectForKey(key).has_value();
}

void PreferenceManager::setDefaultFontSize(platform::UserDefaults& defaults) {
    for (std::string_view key : {kWatchlistFontSizeKey, kPositionsFontSizeKey})
        if (!isFontSizeAvailableForKey(defaults, key))
            saveFontSizeInfo(defaults, kDefaultFontSize, key);
}

} // namespace tc::gui
