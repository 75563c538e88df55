#include "gui/controls/text_refusal.h"

#include "gui/app/language.h"

namespace tc::gui {

QString textRefusalText(std::int64_t language, const TextRefusal& refusal) {
    QString text = lookupText(language, refusal.key);
    if (!refusal.fieldKey.empty())
        text.replace(QLatin1String("{0}"), lookupText(language, refusal.fieldKey));
    return text.replace(QLatin1String("{1}"), QString::number(refusal.limit));
}

} // namespace tc::gui
