#pragma once
// The wire's date-time text, "yyyyMMddHHmmss" in the device's time zone: the time stamp of every
// request (tag 21), the date ranges of history requests and the times the server sends back.
#include "platform/date_format.h"

#include <optional>
#include <string>
#include <string_view>

namespace tc::wire {

inline constexpr std::string_view kDatePattern = platform::kCompactDateTimePattern;

std::string dateText(platform::Date date);
// The time stamp of a request sent now.
std::string nowText();
// nullopt when the text is not a real date in the wire form.
std::optional<platform::Date> parseDate(std::string_view text);

} // namespace tc::wire
