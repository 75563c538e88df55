#pragma once
// Lines of the session journal: a time text, "#$#", and an event text. The caller appends them to the
// session's journal collection; an empty line means there is nothing to log. Stateless and
// thread-safe: everything a line needs of the session comes in the JournalContext.
#include "platform/date_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class LoginInputData;
class Order;

// What a payment-gateway result came to, as its journal line reads it.
struct PaymentOutcome {
    static constexpr std::int64_t kStatusSuccess = 3;
    static constexpr std::int64_t kStatusFailure = 4;

    std::int64_t transStatus = 0;
    std::string payTransactionId;
    std::uint64_t requestId = 0;
    std::int64_t error = 0; // the server's error code, 0 for none
};

struct JournalContext {
    std::int64_t language = 0;
    // The server's clock in wire form ("yyyyMMddHHmmss"); order and payment lines carry it.
    std::string ServerTime;
    // From the sign-in data, for the login lines.
    std::string IPAddress;
    std::int32_t PortNo = 0;
    std::string userName;
    // The moment of a login line or note when the server's clock is not known; none means now.
    std::optional<platform::Date> now;

    static JournalContext from(const LoginInputData& loginData, std::int64_t language,
                               std::string serverTime);
};

class JournalData {
public:
    static constexpr std::string_view kSeparator = "#$#";

    enum LoginEvent : std::int32_t { kConnected = 0, kSnapshotReceived = 1, kLoginCompleted = 2 };
    enum OrderEvent : std::int32_t {
        kNewOrder = 3,
        kPendingOrder = 4,
        kPendingOrderShort = 5, // sent by no event, kept for the table's sake
        kOrderExecuted = 6,
        kPositionSettled = 7,
        kOrderCancelled = 8,
        kOrderRejected = 9, // the server refused the order: never written as a cancel
    };

    // Time from the server clock, else (no server time yet) in GMT of the context's moment; "" for an
    // unknown event.
    static std::string getLoginJournalData(std::int32_t kind, const JournalContext& context);
    // Time from the server clock, or from the order's TransactionDateTime (12-hour clock) when the
    // server clock does not read; "" for an unknown event. Prices show at least `priceDecimals`
    // digits after the point (the instrument's), as the server writes them.
    static std::string getOrderJournalData(std::int32_t kind, const Order& order,
                                           const JournalContext& context, std::int32_t priceDecimals);
    // A line of the session's own about something it could not settle (a request without an answer
    // when the line was lost): stamped as a login line.
    static std::string getSessionNoteJournalData(std::string_view event, const JournalContext& context);
    // Success (error 0, status 3) or failure (an error, or status 4) line; "" otherwise.
    static std::string getPaymentTransactionJournalData(const PaymentOutcome& outcome,
                                                        const JournalContext& context);

    // A wire-clock text re-printed with another pattern, wall-clock for wall-clock: read and printed
    // in one fixed zone, so no device zone (nor its daylight-saving gaps) can move it. "" for an empty
    // text or the null wire date; nullopt when the text does not match.
    static std::optional<std::string> reformatClockText(std::string_view text, std::string_view sourceFormat,
                                                        std::string_view destinationFormat);
};

} // namespace tc
