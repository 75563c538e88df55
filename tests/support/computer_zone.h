#pragma once
// The computer's time zone (TZ, as the C library and Qt's local time read it) set for one scope; the
// previous one comes back when it goes. The device zone the program's wire dates are printed in, and
// with it the in-process server's clock, stays where it was: the computer and the server a zone
// apart, as a trader abroad finds them.
#include "platform/date_format.h"

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace tc::testing_support {

struct ComputerZone {
    std::optional<std::string> previous;
    explicit ComputerZone(const char* zone) {
        // The device zone taken from TZ as it stands, before TZ changes.
        (void)platform::deviceTimeZoneId();
        if (const char* tz = std::getenv("TZ"))
            previous = tz;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ComputerZone() {
        if (previous)
            ::setenv("TZ", previous->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ComputerZone(const ComputerZone&) = delete;
    ComputerZone& operator=(const ComputerZone&) = delete;
};

// A zone whose date is not universal time's at this hour, an hour or more from either change of
// day: Kiritimati (UTC+14) from 11:00 UTC on, a zone twelve hours behind before.
inline const char* zoneOfAnotherDay() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    return utc.tm_hour >= 11 ? "Pacific/Kiritimati" : "Etc/GMT+12";
}

} // namespace tc::testing_support
