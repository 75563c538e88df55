#include "model/text/journal_data.h"

#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/text/formatter.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "wire/login_inputdata.h"

#include <string>

namespace tc {

namespace {

std::string text(std::int64_t language, std::string_view key) {
    return LanguageString::stringForSelectedLanguage(language, key).value_or(std::string(key));
}

// The moment a line the client stamps itself is written, from a formatter kept for the thread, never
// one built per line (building an ICU formatter costs more than the rest of a report's journal line).
std::string clockNow(const JournalContext& context) {
    return platform::cachedFormatter(Formatter::kEventDateTime, Formatter::kLocale, "GMT")
        .format(context.now.value_or(platform::Date::now()));
}

std::string orderTime(const Order& order, const JournalContext& context) {
    if (auto t = JournalData::reformatClockText(context.ServerTime, Formatter::kWireDateTime,
                                                Formatter::kEventDateTime);
        t && !t->empty())
        return *t;
    // The server's clock not heard yet (a fill during the sign-in) or unreadable: the order's own
    // time, else the moment the line is written, as the login lines. A line never goes without one.
    if (order.TransactionDateTime)
        return eventDateTime12h(order.TransactionDateTime);
    return clockNow(context);
}

std::string serverTime(const JournalContext& context) {
    return JournalData::reformatClockText(context.ServerTime, Formatter::kWireDateTime,
                                          Formatter::kEventDateTime)
        .value_or("");
}

// A line the session writes of itself: the server's clock, as every other line; the computer's only
// when the server has told no time yet (a stream that ended before its first reply).
std::string sessionTime(const JournalContext& context) {
    std::string time = serverTime(context);
    return time.empty() ? clockNow(context) : time;
}

std::string line(std::string time, std::string_view event) {
    time.append(JournalData::kSeparator).append(event);
    return time;
}

} // namespace

JournalContext JournalContext::from(const LoginInputData& loginData, std::int64_t language,
                                    std::string serverTime) {
    JournalContext c;
    c.language = language;
    c.ServerTime = std::move(serverTime);
    c.IPAddress = loginData.IPAddress().value_or("");
    c.PortNo = loginData.PortNo();
    c.userName = loginData.userName().value_or("");
    return c;
}

std::optional<std::string> JournalData::reformatClockText(std::string_view text,
                                                          std::string_view sourceFormat,
                                                          std::string_view destinationFormat) {
    return Formatter::wireDateString(text, sourceFormat, destinationFormat);
}

std::string JournalData::getLoginJournalData(std::int32_t kind, const JournalContext& context) {
    std::string_view key;
    switch (kind) {
    case kConnected:
        key = "20203";
        break;
    case kSnapshotReceived:
        key = "20204";
        break;
    case kLoginCompleted:
        key = "20205";
        break;
    default:
        return {};
    }
    const std::string port = std::to_string(context.PortNo);
    return line(sessionTime(context),
                fillPositional(text(context.language, key), {context.IPAddress, port, context.userName}));
}

std::string JournalData::getSessionNoteJournalData(std::string_view event, const JournalContext& context) {
    return line(sessionTime(context), std::string(event));
}

std::string JournalData::getOrderJournalData(std::int32_t kind, const Order& order,
                                             const JournalContext& context, std::int32_t priceDecimals) {
    const auto t = [&](std::string_view key) { return text(context.language, key); };
    std::string event;
    switch (kind) {
    case kNewOrder:
        event = t("0073") + ' ' + order.ItemCode + ' ' + t("0074") + " : " + std::to_string(order.RequestId);
        break;
    case kPendingOrder:
        event = t("1019") + ' ' + order.ItemCode + ' ' + t("0070") + " : " + order.PendingOrderId + ' ' +
                t("0071") + " : " + order.RemainingQty.toString();
        break;
    case kPendingOrderShort:
        event = order.ItemCode + ' ' + t("0070") + " : " + order.PendingOrderId;
        break;
    case kOrderExecuted:
        event = t("0019") + ' ' + order.ItemCode + " #" + order.OpenPositionId + " @" +
                decimalText(order.OrderPrice, priceDecimals);
        break;
    case kPositionSettled:
        event = t("1020") + ' ' + order.ItemCode + " #" + order.SettlementId + " @" +
                decimalText(order.SettledPrice, priceDecimals);
        break;
    case kOrderCancelled:
        event = t("1018") + ' ' + order.ItemCode;
        break;
    case kOrderRejected:
        event = t("0538") + ' ' + order.ItemCode;
        break;
    default:
        return {};
    }
    return line(orderTime(order, context), event);
}

std::string JournalData::getPaymentTransactionJournalData(const PaymentOutcome& tx,
                                                          const JournalContext& context) {
    if (tx.error == 0 && tx.transStatus == PaymentOutcome::kStatusSuccess)
        return line(serverTime(context),
                    fillPositional(text(context.language, "20303"), {tx.payTransactionId}));
    if (tx.error != 0 || tx.transStatus == PaymentOutcome::kStatusFailure)
        return line(serverTime(context), text(context.language, "0074") + " : " +
                                             std::to_string(tx.requestId) + ' ' +
                                             text(context.language, "20300"));
    return {};
}

} // namespace tc
