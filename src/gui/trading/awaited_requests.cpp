#include "gui/trading/awaited_requests.h"

#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "model/text/formatter.h"
#include "model/text/positional_text.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_set>

namespace tc::gui {
namespace {

using Kind = interfaces::AwaitedPositions::Kind;

// The kinds in the order their sentences are read, each with its sentence in a sheet and in Close All.
struct KindWords {
    Kind kind;
    std::string_view sheet;
    std::string_view closeAll;
};
constexpr std::array<KindWords, 4> kKindWords{{
    {Kind::Close, texts::kAwaitedCloseMayCloseFirst, texts::kCloseAllAwaitedCloseMayCloseFirst},
    {Kind::CloseAll, texts::kAwaitedCloseAllMayCloseFirst, texts::kCloseAllAwaitedCloseAllMayCloseFirst},
    {Kind::Offset, texts::kAwaitedOffsetMayChangeFirst, texts::kCloseAllAwaitedOffsetMayChangeFirst},
    {Kind::PositionEdit, texts::kAwaitedEditMayCloseFirst, texts::kCloseAllAwaitedEditMayCloseFirst},
}};

std::string countText(std::size_t count) {
    const std::string digits = std::to_string(count);
    return Formatter::formatDecimalWithString(digits).value_or(digits);
}

} // namespace

std::vector<const interfaces::AwaitedPositions*>
awaitedOn(std::span<const interfaces::AwaitedPositions> awaited, std::span<const std::string> positions) {
    const std::unordered_set<std::string_view> wanted(positions.begin(), positions.end());
    std::vector<const interfaces::AwaitedPositions*> found;
    for (const interfaces::AwaitedPositions& request : awaited)
        if (std::any_of(request.positions.begin(), request.positions.end(),
                        [&](const std::string& id) { return wanted.contains(id); }))
            found.push_back(&request);
    return found;
}

std::string awaitedNames(std::int64_t language,
                         std::span<const interfaces::AwaitedPositions* const> requests) {
    std::string named;
    for (std::size_t at = 0; at < requests.size() && at < kNamedAwaitedRequests; ++at)
        named += (at == 0 ? "" : "; ") + requests[at]->description;
    if (requests.size() <= kNamedAwaitedRequests)
        return named;
    return fillPositional(languageText(language, texts::kNamedAndMore),
                          {named, countText(requests.size() - kNamedAwaitedRequests)});
}

std::string whatAwaitedMayDo(std::int64_t language,
                             std::span<const interfaces::AwaitedPositions* const> requests,
                             AskingWindow window) {
    std::string said;
    for (const KindWords& words : kKindWords)
        if (std::any_of(requests.begin(), requests.end(),
                        [&](const interfaces::AwaitedPositions* r) { return r->kind == words.kind; }))
            said += (said.empty() ? "" : "\n") +
                    languageText(language, window == AskingWindow::CloseAll ? words.closeAll : words.sheet);
    return said;
}

bool onlyCloseAlls(std::span<const interfaces::AwaitedPositions* const> requests) {
    return std::all_of(requests.begin(), requests.end(),
                       [](const interfaces::AwaitedPositions* r) { return r->kind == Kind::CloseAll; });
}

std::string sheetAwaitedQuestion(std::int64_t language,
                                 std::span<const interfaces::AwaitedPositions* const> requests,
                                 AskingWindow window) {
    return fillPositional(languageText(language, window == AskingWindow::OffsetSheet
                                                     ? texts::kOffsetSendAwaitedQuestion
                                                     : texts::kCloseSendAwaitedQuestion),
                          {awaitedNames(language, requests), whatAwaitedMayDo(language, requests, window)});
}

} // namespace tc::gui
