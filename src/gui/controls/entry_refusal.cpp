#include "gui/controls/entry_refusal.h"

#include "gui/app/language.h"
#include "model/text/positional_text.h"

#include <string>

namespace tc::gui {
namespace {

// One pass, so that a name holding "{1}" stays as it is.
QString filled(std::int64_t language, std::string_view key, std::initializer_list<std::string_view> values) {
    return QString::fromStdString(fillPositional(lookupText(language, key).toStdString(), values));
}

} // namespace

QString refusalWords(std::int64_t language, const EntryRefusal& refusal, std::string_view fieldKey) {
    if (!refusal.refused())
        return {};
    if (fieldKey.empty())
        return refusal.limit.empty() ? lookupText(language, refusal.key)
                                     : filled(language, refusal.key, {refusal.limit});
    return refusalNaming(language, refusal, lookupText(language, fieldKey));
}

QString refusalNaming(std::int64_t language, const EntryRefusal& refusal, const QString& fieldName) {
    if (!refusal.refused())
        return {};
    const std::string name = fieldName.toStdString();
    return filled(language, refusal.key, {name, refusal.limit});
}

QString refusalWords(std::int64_t language, const TextRefusal& refusal) {
    const std::string limit = refusal.limit != 0 ? std::to_string(refusal.limit) : std::string();
    return refusalWords(language, {std::string(refusal.key), limit}, refusal.fieldKey);
}

} // namespace tc::gui
