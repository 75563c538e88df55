#include "model/records/record_fields.h"
#include "model/records/user_info.h"

#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace tc;
using testing_support::wireText;

TEST(LoginInfoMessage, SnapshotRecordsWithUnknownCodesOrTooFewFieldsAreSkipped) {
    auto ok = LoginInfoMessage::fromAmpRecord(RecordFields(wireText("2<C>Account locked<C>1001<C>extra")));
    ASSERT_TRUE(ok);
    EXPECT_EQ(std::tuple(ok->DisplayMode, ok->Message, ok->ErrorCode, ok->serverError),
              std::tuple(2, "Account locked", 1001, 0));

    for (const char* code : {"0", "-5", "16", "1000", "", "x"})
        EXPECT_FALSE(LoginInfoMessage::fromAmpRecord(RecordFields(wireText(std::string("1<C>m<C>") + code))))
            << code;
    // Two fields: no code at all. Only this record is lost, not the rest of the section.
    EXPECT_FALSE(LoginInfoMessage::fromAmpRecord(RecordFields(wireText("1<C>m"))));
}

TEST(UserInfo, SnapshotRecordFillsByPositionAndSkipsTheUnreadOnes) {
    auto u = UserInfo::fromAmpRecord(RecordFields(wireText(
        "501<C>11<C>12<C>Y<C>1<C>3<C>4<C>5<C>6<C>true<C>7001<C>7002<C>7003<C>99<C>98<C>8000000000")));
    EXPECT_EQ(std::tuple(u.UserId, u.LastRefId, u.NewRefId, u.DdeEnabled, u.UserEnabled, u.UserTypeId),
              std::tuple(501, 11, 12, 1, true, 3));
    EXPECT_EQ(std::tuple(u.ForceLogoutRefId, u.ForceLogoutLoadServerId, u.AppModeId, u.CanChangePassword),
              std::tuple(4, 5, 6, true));
    EXPECT_EQ(std::tuple(u.tradePubPort, u.marketDepthPort, u.hdServerPort), std::tuple(7001, 7002, 7003));
    EXPECT_EQ(u.systemCurrencyId, 8000000000u); // a 64-bit reading
    EXPECT_EQ(std::tuple(u.productID, u.OfflineMessageCount), std::tuple(0u, 0));

    // A short record keeps the initial values past its end.
    auto shortUser = UserInfo::fromAmpRecord(RecordFields(wireText("9<C><C><C>N")));
    EXPECT_EQ(std::tuple(shortUser.UserId, shortUser.DdeEnabled, shortUser.marketDepthPort),
              std::tuple(9, 0, 0));
}

} // namespace
