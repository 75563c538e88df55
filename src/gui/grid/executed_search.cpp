#include "gui/grid/executed_search.h"

#include <chrono>

namespace tc::gui {

std::optional<SearchInfo> executedDaySearch(int year, int month, int day) {
    using namespace std::chrono;
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    const year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                              std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok())
        return std::nullopt;
    // The server's day as its fields: no zone of the computer's (which might skip its midnight).
    SearchInfo search;
    search.FromDate = sys_days(date);
    search.ToDate = sys_days(date) + hours(23) + minutes(59) + seconds(59);
    return search;
}

} // namespace tc::gui
