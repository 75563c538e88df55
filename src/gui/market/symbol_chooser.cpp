#include "gui/market/symbol_chooser.h"

#include "model/records/item_details.h"
#include "model/session_model.h"

#include <unicode/unistr.h>

namespace tc::gui {
namespace {

icu::UnicodeString folded(std::string_view text) {
    icu::UnicodeString s =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
    s.foldCase();
    return s;
}

} // namespace

SymbolChooser::SymbolChooser(SymbolTypes types, const std::vector<std::string>& watchList,
                             const SessionModel& model)
    : types_(std::move(types)) {
    for (const std::string& code : watchList)
        if (model.ItemCollection.contains(code))
            members_.insert(code);
}

std::vector<std::string> SymbolChooser::typeNames() const {
    std::vector<std::string> names;
    names.reserve(types_.size());
    for (const auto& [name, entries] : types_)
        names.push_back(name);
    return names;
}

bool SymbolChooser::selectType(std::size_t index) {
    if (index >= types_.size())
        return false;
    typeRows_ = types_[index].second;
    rows_ = typeRows_;
    return true;
}

void SymbolChooser::search(std::string_view text) {
    if (text.empty()) {
        rows_ = typeRows_;
        return;
    }
    const icu::UnicodeString needle = folded(text);
    rows_.clear();
    for (const auto& [name, entries] : types_)
        for (const std::string& entry : entries)
            if (folded(entry).indexOf(needle) >= 0)
                rows_.push_back(entry);
}

std::string_view SymbolChooser::codeOf(std::string_view entry) {
    return entry.substr(0, entry.find(':'));
}

std::string_view SymbolChooser::nameOf(std::string_view entry) {
    const auto colon = entry.find(':');
    if (colon == std::string_view::npos)
        return {};
    const std::string_view rest = entry.substr(colon + 1);
    return rest.substr(0, rest.find(':'));
}

bool SymbolChooser::isMember(std::string_view code) const {
    return members_.contains(std::string(code));
}

SymbolChooser::Change SymbolChooser::changeForTag(int tag) {
    return tag == 100 ? Change::Add : tag == 200 ? Change::Remove : Change::Toggle;
}

void SymbolChooser::change(Change change, const std::vector<std::size_t>& rows, const SessionModel& model) {
    for (std::size_t row : rows) {
        if (row >= rows_.size())
            continue;
        std::string code(codeOf(rows_[row]));
        if (!model.ItemCollection.contains(code))
            continue;
        const bool member = members_.contains(code);
        const bool wanted = change == Change::Add ? true : change == Change::Remove ? false : !member;
        if (wanted)
            members_.insert(std::move(code));
        else
            members_.erase(code);
    }
}

std::vector<std::string> SymbolChooser::watchList(const SessionModel& model) const {
    std::vector<std::string> codes;
    for (const auto& [code, item] : model.ItemCollection)
        if (item && members_.contains(code))
            codes.push_back(code);
    return codes;
}

} // namespace tc::gui
