#pragma once
// Why an entry or a request is refused, free of Qt: every check of a window says it in this one form
// and refusalWords() (entry_refusal.h) words it alike for every window.
#include <string>

namespace tc::gui {

// The text that says what is refused (`key`), the key of the field's name that fills its {0} (none:
// the text names no field), and the limit or figure that fills {1} beside a field, else {0}.
// No key: nothing is refused.
struct Refusal {
    std::string key;
    std::string limit = {};
    std::string fieldKey = {};
    bool refused() const { return !key.empty(); }
    friend bool operator==(const Refusal&, const Refusal&) = default;
};

} // namespace tc::gui
