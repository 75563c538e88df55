#pragma once
// What a field says of a text it refuses, in the language: the one wording of a numeric entry's
// fault (input_rules.h), of a text the wire cannot carry (text_entry_rules.h) and of every refusal
// that names its field, for every window alike.
#include "gui/controls/refusal.h"

#include <QString>

#include <cstdint>
#include <string_view>

namespace tc::gui {

// The refusal's text with its field's name (the text of its fieldKey) in {0} and its limit in {1}; a
// refusal that names no field has its limit, if any, in {0}. Empty when nothing is refused.
QString refusalWords(std::int64_t language, const Refusal& refusal);
// The same, naming the field of `fieldKey` (an entry's refusal, read before its field is known).
QString refusalWords(std::int64_t language, const Refusal& refusal, std::string_view fieldKey);
// The same, naming the field as the window shows it (a label's text).
QString refusalNaming(std::int64_t language, const Refusal& refusal, const QString& fieldName);

} // namespace tc::gui
