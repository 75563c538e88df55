#pragma once
// What a numeric field says of a text that is no number it takes.
#include "gui/controls/input_rules.h"
#include "platform/number_entry.h"

#include <QString>
#include <QValidator>

#include <cstdint>

namespace tc::gui {

// Why `text` is no number the field takes, in the language, naming the field; empty when it is one.
// An empty text is refused too: a window that takes an empty field checks that first.
QString entryRefusal(std::int64_t language, const QString& text, const QString& fieldName,
                     platform::EntryRules rules = {});

// A validator's state for how a numeric field holds a text.
QValidator::State validatorState(EntryHold hold);

} // namespace tc::gui
