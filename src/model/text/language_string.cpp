#include "model/text/language_string.h"

#include "platform/string_table.h"

#include <array>
#include <memory>
#include <mutex>
#include <utility>

namespace tc {

namespace {

constexpr std::array<std::string_view, 12> kFolders = {
    "en", "zh-Hans", "ne", "fa-AF", "ps-AF", "ar", "ru", "fr", "indonesien", "Bengali", "spanish", "albanian",
};

using ProductMap = std::map<std::string, std::string, std::less<>>;

struct ProductList {
    std::mutex mutex;
    std::shared_ptr<const ProductMap> map = std::make_shared<const ProductMap>();
};

ProductList& productList() {
    static ProductList p;
    return p;
}

std::shared_ptr<const ProductMap> currentProductMap() {
    auto& p = productList();
    std::lock_guard lock(p.mutex);
    return p.map;
}

} // namespace

std::optional<std::string> LanguageString::stringForSelectedLanguage(int64_t language, std::string_view key) {
    const std::string productKey = getProductBasedKeyForKey(key);
    const auto table = platform::StringTableCache::tableForLocalization(folderForLanguage(language));
    if (!table)
        return std::nullopt;
    if (const std::string* text = table->find(productKey))
        return *text;
    return productKey;
}

std::string LanguageString::setLanguageKey(std::string_view key) {
    if (key.empty() || key.size() >= 4)
        return std::string(key);
    return std::string(4 - key.size(), '0').append(key);
}

std::string LanguageString::getProductBasedKeyForKey(std::string_view key) {
    const auto map = currentProductMap();
    if (auto it = map->find(key); it != map->end())
        return it->second;
    return std::string(key);
}

std::string_view LanguageString::folderForLanguage(int64_t language) {
    if (language < 0 || language >= static_cast<int64_t>(kFolders.size()))
        return kFolders[0];
    return kFolders[static_cast<std::size_t>(language)];
}

void LanguageString::setProductLocalizationList(std::map<std::string, std::string> list) {
    auto map = std::make_shared<const ProductMap>(std::make_move_iterator(list.begin()),
                                                  std::make_move_iterator(list.end()));
    auto& p = productList();
    std::lock_guard lock(p.mutex);
    p.map = std::move(map);
}

} // namespace tc
