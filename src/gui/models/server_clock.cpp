#include "gui/models/server_clock.h"

#include "model/text/formatter.h"
#include "platform/date_format.h"

#include <QTimeZone>

namespace tc::gui {
namespace {

const QString kWireFormat = QStringLiteral("yyyyMMddHHmmss");

} // namespace

bool ServerClock::heard(std::string_view wireText, platform::Clock::time_point heardAt) {
    // The fields as they are: no zone of the computer's applied, so an hour it skips for daylight
    // saving reads as any other.
    const QString text = QString::fromLatin1(wireText.data(), static_cast<qsizetype>(wireText.size()));
    if (text.size() != kWireFormat.size())
        return false;
    const QDate date = QDate::fromString(text.left(8), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(text.mid(8), QStringLiteral("HHmmss"));
    if (!date.isValid() || !time.isValid())
        return false;
    const QDateTime server(date, time, QTimeZone::utc());
    // The server sends whole seconds, so a reply can read behind the clock already running by the part
    // of a second left out and its travel: under two seconds behind, that clock is kept, so the time
    // shown never runs back. A reply further behind is the server's clock set back (or the computer's
    // running fast that far), and taken.
    if (server_) {
        const QDateTime running = server_->addMSecs(
            std::chrono::duration_cast<std::chrono::milliseconds>(heardAt - heardAt_).count());
        if (server < running && server.msecsTo(running) < 2000)
            return true;
    }
    server_ = server;
    heardAt_ = heardAt;
    return true;
}

QDateTime ServerClock::at(platform::Clock::time_point moment) const {
    if (!server_)
        return {};
    const QDateTime server =
        server_->addMSecs(std::chrono::duration_cast<std::chrono::milliseconds>(moment - heardAt_).count());
    QDateTime local(server.date(), server.time());
    // A time the computer's zone skips cannot be held in local time: the first minute after the gap,
    // the seconds kept (02:15:20 reads 03:00:20 where 02:00-03:00 is skipped).
    const QTime seconds(server.time().hour(), server.time().minute(), server.time().second());
    for (int step = 1; !local.isValid() && step <= 4 * 60; ++step)
        local = QDateTime(server.date(), seconds.addSecs(step * 60));
    return local;
}

QDateTime ServerClock::now() const {
    return server_ ? at(platform::Clock::currentTime()) : QDateTime::currentDateTime();
}

platform::Date wireMomentOf(const QDateTime& shown) {
    // Read with the pattern and zone the request prints its dates with.
    if (auto moment = Formatter::getDateFormatter(Formatter::kWireDateTime)
                          .parse(shown.toString(kWireFormat).toStdString()))
        return *moment;
    // A time the device's zone skips (a daylight-saving change): the computer's reading of it.
    return platform::Date{static_cast<double>(shown.toSecsSinceEpoch())};
}

} // namespace tc::gui
