#pragma once
// The watch-list chooser's logic: instrument types, the instruments of the selected type or of a
// search across all types, membership of the watch list while the user works, and the list to save
// (the session stores it under the user's name). Membership is the chooser's own: the session's
// instrument records are not written. No Qt here.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tc {
struct SessionModel;
} // namespace tc

namespace tc::gui {

class SymbolChooser {
public:
    // The outline's one group item (a literal title).
    static constexpr std::string_view kGroupTitle = "Item Type";
    // Per instrument type, its "CODE:Name" entries (as the session's symbol types list them).
    using SymbolTypes = std::vector<std::pair<std::string, std::vector<std::string>>>;

    // `watchList`: the codes on the watch list now; codes the model does not hold are not members.
    SymbolChooser(SymbolTypes types, const std::vector<std::string>& watchList, const SessionModel& model);

    std::vector<std::string> typeNames() const;
    // Shows the entries of the type at `index` and keeps them for when a search is cleared; false,
    // changing nothing, for an index past the types.
    bool selectType(std::size_t index);
    // Every entry of every type holding the text anywhere (code, colon and name), without regard to
    // case, in type order; an empty text shows the selected type's entries again.
    void search(std::string_view text);
    const std::vector<std::string>& rows() const { return rows_; }

    // The code of an entry: the text before its first ":".
    static std::string_view codeOf(std::string_view entry);
    // The name: the text after the first ":" up to a further one.
    static std::string_view nameOf(std::string_view entry);

    bool isMember(std::string_view code) const;

    enum class Change { Add, Remove, Toggle };
    // The add button (tag 100), the remove button (tag 200), anything else (the double click).
    static Change changeForTag(int tag);
    // Applies the change to the instruments of the given rows; rows past the list and codes the model
    // does not hold are passed over.
    void change(Change change, const std::vector<std::size_t>& rows, const SessionModel& model);

    // The watch list to save: the members in the order of the session's instrument collection.
    std::vector<std::string> watchList(const SessionModel& model) const;

private:
    SymbolTypes types_;
    std::vector<std::string> rows_;
    std::vector<std::string> typeRows_;
    std::unordered_set<std::string> members_;
};

} // namespace tc::gui
