#include "gui/models/server_clock.h"

#include "model/text/formatter.h"
#include "platform/date_format.h"

#include <QTimeZone>

namespace tc::gui {
namespace {

const QString kWireFormat = QStringLiteral("yyyyMMddHHmmss");

} // namespace

bool ServerClock::heard(std::string_view wireText, const QDateTime& computerNow) {
    QDateTime server = QDateTime::fromString(
        QString::fromLatin1(wireText.data(), static_cast<qsizetype>(wireText.size())), kWireFormat);
    if (!server.isValid() || !computerNow.isValid())
        return false;
    // The server's fields as they are, with no zone of the computer's applied.
    server.setTimeZone(QTimeZone::utc());
    offsetMs_ = computerNow.toUTC().msecsTo(server);
    return true;
}

QDateTime ServerClock::now(const QDateTime& computerNow) const {
    if (!offsetMs_)
        return computerNow;
    const QDateTime server = computerNow.toUTC().addMSecs(*offsetMs_);
    return QDateTime(server.date(), server.time());
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
