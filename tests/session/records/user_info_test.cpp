#include "session/records/record_fields.h"
#include "session/records/user_info.h"

#include "record_text.h"

#include <gtest/gtest.h>

namespace {

using namespace tc;

TEST(LoginInfoMessage, KnowsExactlyTheLoginCodes) {
    for (int code : {1, 15, 101, 103, 201, 202, 301, 401, 406, 1001})
        EXPECT_TRUE(LoginInfoMessage::isEnumDefined(code)) << code;
    for (int code : {0, 16, 100, 104, 200, 203, 300, 302, 400, 407, 1000, 1002, -1})
        EXPECT_FALSE(LoginInfoMessage::isEnumDefined(code)) << code;
}

TEST(LoginInfoMessage, SnapshotRecordsWithUnknownCodesOrTooFewFieldsAreSkipped) {
    auto ok =
        LoginInfoMessage::fromAmpRecord(RecordFields(recordText({"2", "Account locked", "1001", "extra"})));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->DisplayMode, 2);
    EXPECT_EQ(ok->Message, "Account locked");
    EXPECT_EQ(ok->ErrorCode, 1001);
    EXPECT_EQ(ok->serverError, 0);

    for (const char* code : {"0", "-5", "16", "1000", "", "x"})
        EXPECT_FALSE(LoginInfoMessage::fromAmpRecord(RecordFields(recordText({"1", "m", code})))) << code;
    // Two fields: no code at all. Only this record is lost, not the rest of the section.
    EXPECT_FALSE(LoginInfoMessage::fromAmpRecord(RecordFields(recordText({"1", "m"}))));
}

TEST(UserInfo, SnapshotRecordFillsByPositionAndSkipsTheUnreadOnes) {
    EXPECT_EQ(UserInfo().marketdepthPort, 0);
    EXPECT_EQ(UserInfo().hdServerPort, 0);
    EXPECT_EQ(UserInfo().productID, 0u);

    auto u = UserInfo::fromAmpRecord(
        RecordFields(recordText({"501", "11", "12", "Y", "1", "3", "4", "5", "6", "true", "7001", "7002",
                                 "7003", "99", "98", "8000000000"})));
    EXPECT_EQ(u.UserId, 501);
    EXPECT_EQ(u.LastRefId, 11);
    EXPECT_EQ(u.NewRefId, 12);
    EXPECT_EQ(u.DdeEnabled, 1);
    EXPECT_TRUE(u.UserEnabled);
    EXPECT_EQ(u.UserTypeId, 3);
    EXPECT_EQ(u.ForceLogoutRefId, 4);
    EXPECT_EQ(u.ForceLogoutLoadServerId, 5);
    EXPECT_EQ(u.AppModeId, 6);
    EXPECT_TRUE(u.CanChangePassword);
    EXPECT_EQ(u.tradePubPort, 7001);
    EXPECT_EQ(u.marketdepthPort, 7002);
    EXPECT_EQ(u.hdServerPort, 7003);
    EXPECT_EQ(u.systemCurrencyId, 8000000000u); // a 64-bit reading
    EXPECT_EQ(u.productID, 0u);
    EXPECT_EQ(u.OfflineMessageCount, 0);

    // A short record keeps the initial values past its end.
    auto shortUser = UserInfo::fromAmpRecord(RecordFields(recordText({"9", "", "", "N"})));
    EXPECT_EQ(shortUser.UserId, 9);
    EXPECT_EQ(shortUser.DdeEnabled, 0);
    EXPECT_EQ(shortUser.marketdepthPort, 0);
}

TEST(ProductInfo, SnapshotRecordSkipsPositionThree) {
    auto p = ProductInfo::fromAmpRecord(RecordFields(recordText({"5", "Trader", "2.1", "ignored", "1.9"})));
    EXPECT_EQ(p.ProductId, 5);
    EXPECT_EQ(p.ProductName, "Trader");
    EXPECT_EQ(p.LatestBuild, "2.1");
    EXPECT_EQ(p.LatestSupportedBuild, "1.9");
}

} // namespace
