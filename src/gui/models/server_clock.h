#pragma once
// The server's clock as the windows offer it. Rows, grids, the journal and the status bar show the
// server's date and time as it sends them, whatever the computer's zone; a date a window offers or
// checks against the present (the executed search's day, a period's end, the moment a statement's
// figures are of) is read from the same clock, so searching on the day offered lists that day's
// rows. The clock is the time of the last ping reply, moved on by the computer's monotonic clock
// from the moment that reply came off the socket (as the core stamps it): it never runs back when
// the server falls silent or the network changes (those tell the same reply again), and neither
// the computer's zone nor a change of its time moves it. It runs at most the reply's travel and
// the second the server's whole seconds leave out behind the server's own. A new session keeps it
// until its own server's clock comes.
#include "model/records/wall_time.h"
#include "platform/clock.h"

#include <QDateTime>

#include <optional>
#include <string_view>

namespace tc::gui {

class ServerClock {
public:
    // The server's clock ("yyyyMMddHHmmss", its own fields, whatever the computer's zone) of a reply
    // that came off the socket at `heardAt`. False, keeping what was heard before, for a text that is
    // no time.
    bool heard(std::string_view wireText, platform::Clock::time_point heardAt);
    bool known() const { return server_.has_value(); }
    // The server's date and time at `moment`, as the date fields hold a date (serverMoment: the
    // server's fields, held in universal time so that no zone of the computer's moves them, an hour
    // it skips included); invalid until the server's is heard.
    QDateTime at(platform::Clock::time_point moment) const;
    // The server's now; the computer's own fields until the server's is heard.
    QDateTime now() const;

private:
    // The server's fields as if universal time, and when the reply bearing them arrived.
    std::optional<QDateTime> server_;
    platform::Clock::time_point heardAt_{};
};

// The server's date and time of these fields, as every window holds one (a field's text, the present
// moment a period is checked against): in universal time, which skips no hour, so the fields stay
// the ones given whatever the computer's zone. Compared and moved on (addDays) as they read.
QDateTime serverMoment(QDate date, QTime time);

// "MM/dd/yyyy HH:mm:ss" and "MM/dd/yyyy" of a moment as held: its own fields, no zone applied.
QString serverMomentText(const QDateTime& moment);
QString serverDateText(const QDateTime& moment);

// A date and time as a window shows it, as the moment a request carries: its fields as they read, so
// the server gets them as shown whatever the computer's zone (one that skips them too).
WallTime wireMomentOf(const QDateTime& shown);

} // namespace tc::gui
