#pragma once
// The executed positions' day search: the criteria of one calendar day. No Qt here.
#include "model/records/request_records.h"

#include <optional>

namespace tc::gui {

// The whole chosen day of the server's clock, from 00:00:00 to 23:59:59 as its fields; nullopt for a
// day the calendar does not have.
std::optional<SearchInfo> executedDaySearch(int year, int month, int day);

} // namespace tc::gui
