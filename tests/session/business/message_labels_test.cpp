#include "session/business/message_labels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <tuple>

namespace {

using tc::inboundMessageLabel;

TEST(MessageLabels, NamesTypesByWireNumberAndReportsByStatus) {
    // Wire numbers as written, so a constant that names the wrong number shows here.
    const std::tuple<std::int64_t, std::int64_t, std::string_view> named[] = {
        {38, 0, "PasswordChangeResponseMessage"},
        {66, 0, "OrderSettled"},
        {94, 0, "PayGateMasterResponse"},
        {105, 0, "CompressedMessage"},
        {618, 0, "GetContacListInfoResponse"},
        {619, 0, "statusChange"},
        {643, 0, "AddUserResponse"},
        {680, 0, "ChatQueueStatus"},
        {1024, 0, "DSResponse"},
        {1028, 0, "UserReloginRequest"},
        {1052, 0, "CloseHedgedPositions"},
        {62, 21, "OrderStatusNew"},
        {62, 24, "OrderCancelled"},
        {62, 75, "OrderEdited"},
        {62, 826, "OrderExchangeRejected"},
        {67, 73, "StatusUpdate"},
        {67, 74, "OrderExecuted"},
        // The status belongs to reports only.
        {66, 73, "OrderSettled"},
    };
    for (const auto& [type, status, label] : named)
        EXPECT_EQ(inboundMessageLabel(type, status), label) << type << "/" << status;

    // The login road, the envelope, the ping reply, other statuses and unknown types have no name.
    const std::pair<std::int64_t, std::int64_t> unnamed[] = {{18, 0}, {33, 0},  {47, 0},  {76, 0}, {1019, 0},
                                                             {62, 0}, {62, 73}, {67, 21}, {67, 0}, {615, 0},
                                                             {0, 0},  {-66, 0}, {4242, 0}};
    for (const auto& [type, status] : unnamed)
        EXPECT_EQ(inboundMessageLabel(type, status), "") << type << "/" << status;
}

} // namespace
