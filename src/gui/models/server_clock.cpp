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
    server_ = QDateTime(date, time, QTimeZone::utc());
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
