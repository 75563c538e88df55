#include "wire/wire_date.h"

namespace tc::wire {

std::string dateText(platform::Date date) {
    return platform::deviceFormatter(kDatePattern).format(date);
}

std::string nowText() {
    return dateText(platform::Date::now());
}

std::optional<platform::Date> parseDate(std::string_view text) {
    return platform::deviceFormatter(kDatePattern).parse(text);
}

} // namespace tc::wire
