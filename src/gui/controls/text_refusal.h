#pragma once
// What a text field says of a text it cannot send (text_entry_rules.h), in the selected language.
#include "gui/controls/text_entry_rules.h"

#include <QString>

#include <cstdint>

namespace tc::gui {

// The refusal's text naming the field and its limit.
QString textRefusalText(std::int64_t language, const TextRefusal& refusal);

} // namespace tc::gui
