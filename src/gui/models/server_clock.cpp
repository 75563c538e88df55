#include "gui/models/server_clock.h"

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
    return server_->addMSecs(
        std::chrono::duration_cast<std::chrono::milliseconds>(moment - heardAt_).count());
}

QDateTime ServerClock::now() const {
    if (server_)
        return at(platform::Clock::currentTime());
    const QDateTime computer = QDateTime::currentDateTime();
    return serverMoment(computer.date(), computer.time());
}

QDateTime serverMoment(QDate date, QTime time) {
    return QDateTime(date, time, QTimeZone::utc());
}

QString serverMomentText(const QDateTime& moment) {
    return moment.toString(QStringLiteral("MM/dd/yyyy HH:mm:ss"));
}

QString serverDateText(const QDateTime& moment) {
    return moment.toString(QStringLiteral("MM/dd/yyyy"));
}

WallTime wireMomentOf(const QDateTime& shown) {
    using namespace std::chrono;
    const QDate date = shown.date();
    const QTime time = shown.time();
    return sys_days(year(date.year()) / month(static_cast<unsigned>(date.month())) /
                    day(static_cast<unsigned>(date.day()))) +
           hours(time.hour()) + minutes(time.minute()) + seconds(time.second());
}

} // namespace tc::gui
