#pragma once
// The server's clock as the windows offer it. Rows, grids, the journal and the status bar show the
// server's date and time as it sends them, whatever the computer's zone; a date a window offers or
// checks against the present (the executed search's day, a period's end, the moment a statement's
// figures are of) is read from the same clock, so searching on the day offered lists that day's
// rows. The clock is the last one the server sent (each ping reply), moved on by the computer's
// own since then: a second of drift at most, never a zone apart. A new session keeps it until its
// own server's clock comes.
#include <QDateTime>

#include <optional>
#include <string_view>

namespace tc::platform {
struct Date;
}

namespace tc::gui {

class ServerClock {
public:
    // The server's clock ("yyyyMMddHHmmss") of a reply that came when the computer's clock read
    // `computerNow`. False, keeping what was heard before, for a text that is no time.
    bool heard(std::string_view wireText, const QDateTime& computerNow);
    bool known() const { return offsetMs_.has_value(); }
    // The server's date and time when the computer's clock reads `computerNow`, as the date fields
    // hold a date (the fields of the server's clock, in local time); the computer's own until the
    // server's is heard.
    QDateTime now(const QDateTime& computerNow) const;
    QDateTime now() const { return now(QDateTime::currentDateTime()); }

private:
    // The server's wall clock counted as if universal time, less the computer's universal time.
    std::optional<qint64> offsetMs_;
};

// A date and time as a window shows it, as the moment a request carries: its fields read in the zone
// the request prints its dates in, so the server gets them as shown whatever the computer's zone.
platform::Date wireMomentOf(const QDateTime& shown);

} // namespace tc::gui
