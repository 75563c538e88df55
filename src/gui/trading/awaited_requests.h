#pragma once
// What a window asks before it sends a request on positions an earlier request still waits for (the
// core's requestsOnPositions): the earlier requests named, and what each kind of them may do to the
// positions first, which decides what becomes of the new request. The close and offset sheets and
// Close All ask alike: the question's words differ only where the outcome does (Close All names each
// position's listed quantity, so any change refuses it; a sheet's close or offset of less may be
// carried out besides). No Qt.
#include "interfaces/orders.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tc::gui {

// The window that asks: its request is refused, or carried out besides, by what an earlier one did.
enum class AskingWindow : std::uint8_t { CloseSheet, OffsetSheet, CloseAll };

// The earlier requests named one by one in a question; the rest are counted.
inline constexpr std::size_t kNamedAwaitedRequests = 3;

// The requests of `awaited` (oldest first) acting on any of `positions`, oldest first.
std::vector<const interfaces::AwaitedPositions*>
awaitedOn(std::span<const interfaces::AwaitedPositions> awaited, std::span<const std::string> positions);

// The requests' own words, the first kNamedAwaitedRequests of them, then how many more.
std::string awaitedNames(std::int64_t language,
                         std::span<const interfaces::AwaitedPositions* const> requests);

// For each kind among the requests, once and in one order (close, Close All, offset, edit), what it
// may do to the positions first and what then becomes of the window's request; one sentence a line.
std::string whatAwaitedMayDo(std::int64_t language,
                             std::span<const interfaces::AwaitedPositions* const> requests,
                             AskingWindow window);

// Whether every request is a Close All: what may come of them is then only that they close the
// positions first.
bool onlyCloseAlls(std::span<const interfaces::AwaitedPositions* const> requests);

// A sheet's whole question (the close or the offset sheet): the earlier requests, what they may do,
// and whether to send anyway.
std::string sheetAwaitedQuestion(std::int64_t language,
                                 std::span<const interfaces::AwaitedPositions* const> requests,
                                 AskingWindow window);

} // namespace tc::gui
