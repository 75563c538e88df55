#pragma once
// The session's handler of data-service and chart replies. A reply is read on the thread that
// received it, into a value that shares nothing; the value is applied to the collections on the main
// queue, and the typed events follow from there. Which request a reply answers is taken from the
// pending request recorded when it was sent, so its sub-type is that request's own.
#include "session/business/business_services.h"

namespace tc {

class BusinessBase;

class SessionDataService final : public SessionRoom {
public:
    explicit SessionDataService(BusinessBase& business);

    // The data-service replies (read on their receiving thread) and the chart replies.
    void enterMessages(MessageRooms& rooms) override;

    // Receiving thread: the reply (tag 159, the tag-1050 field as received ("1050=..." or empty), tag
    // 151) read into a value that shares nothing, with the step that applies it on the main queue.
    std::function<void()> processDSResponse(const std::optional<std::string>& data,
                                            const std::string& compressedField,
                                            const std::optional<std::string>& requestName);
    // Main queue.
    void fillChartData(const std::optional<std::string>& data, std::uint64_t requestId);

private:
    BusinessBase& business_;
};

} // namespace tc
