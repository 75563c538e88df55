#pragma once
// What a field says of a text it refuses, in the language: the one wording of a numeric entry's
// fault (input_rules.h), of a text the wire cannot carry (text_entry_rules.h) and of every refusal
// that names its field, for every window alike.
#include "gui/controls/input_rules.h"
#include "gui/controls/text_entry_rules.h"

#include <QString>

#include <cstdint>
#include <string_view>

namespace tc::gui {

// The refusal's text with the field's name (the text of `fieldKey`) in {0} and its limit in {1}; a
// refusal that names no field has its limit, if any, in {0}. Empty when nothing is refused.
QString refusalWords(std::int64_t language, const EntryRefusal& refusal, std::string_view fieldKey);
// The same, naming the field as the window shows it (a label's text).
QString refusalNaming(std::int64_t language, const EntryRefusal& refusal, const QString& fieldName);
// A text's refusal, naming its field and limit.
QString refusalWords(std::int64_t language, const TextRefusal& refusal);

} // namespace tc::gui
