#include "gui/grid/executed_search.h"

#include "model/text/formatter.h"

#include <fmt/format.h>

namespace tc::gui {

std::optional<SearchInfo> executedDaySearch(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    // Read with the pattern and zone the request prints its dates with, so the server gets exactly
    // these two texts.
    const auto reader = Formatter::getDateFormatter(Formatter::kWireDateTime);
    const std::string date = fmt::format("{:04}{:02}{:02}", year, month, day);
    const auto from = reader.parse(date + "000000");
    const auto to = reader.parse(date + "235959");
    if (!from || !to)
        return std::nullopt;
    SearchInfo search;
    search.FromDate = from;
    search.ToDate = to;
    return search;
}

} // namespace tc::gui
