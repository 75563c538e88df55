#include "gui/app/language_list.h"

namespace tc::gui {

bool isLanguage(std::int64_t number) {
    return number >= 0 && number < static_cast<std::int64_t>(kLanguageNames.size());
}

bool isRightToLeft(std::int64_t language) {
    return language == 3 || language == 4 || language == 5;
}

std::int64_t languageForStoredValue(std::optional<std::int64_t> stored) {
    return stored && isLanguage(*stored) ? *stored : 0;
}

} // namespace tc::gui
