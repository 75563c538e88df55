#include "gui/controls/entry_refusal.h"

#include "gui/app/language.h"

#include <string>

namespace tc::gui {

QString refusalWords(std::int64_t language, const Refusal& refusal) {
    return refusalWords(language, refusal, refusal.fieldKey);
}

QString refusalWords(std::int64_t language, const Refusal& refusal, std::string_view fieldKey) {
    if (!refusal.refused())
        return {};
    if (fieldKey.empty())
        return refusal.limit.empty()
                   ? lookupText(language, refusal.key)
                   : filledIn(lookupText(language, refusal.key), {QString::fromStdString(refusal.limit)});
    return refusalNaming(language, refusal, lookupText(language, fieldKey));
}

QString refusalNaming(std::int64_t language, const Refusal& refusal, const QString& fieldName) {
    if (!refusal.refused())
        return {};
    return filledIn(lookupText(language, refusal.key), {fieldName, QString::fromStdString(refusal.limit)});
}

} // namespace tc::gui
