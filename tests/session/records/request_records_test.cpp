#include "session/records/record_fields.h"
#include "session/records/request_records.h"

#include "support/wire_text.h"

#include <gtest/gtest.h>

namespace {

using namespace tc;
using testing_support::wireText;

TEST(FileResource, SearchAndDownloadRequestTexts) {
    auto r = FileResource::initWithResourceType("ICO", 5);
    EXPECT_EQ(r.getString(1), wireText("<C>0<C>5<C>0<C><C>ICO<C><C><C>0<R>"));
    EXPECT_EQ(r.getString(0), wireText("<C>0<C>5<C>0<C><C><C>0<R>"));
    EXPECT_EQ(r.getString(2), "");
    EXPECT_EQ(r.getString(UINT64_MAX), "");
}

TEST(FileResource, RequestTextRoundTripsThroughTheReplyLayout) {
    FileResource r;
    r.resourceName = "calendar.ics";
    r.resourceType = 4000000000u; // past 32 bits
    r.productID = 5;
    r.organization = 12;
    r.resourceServerName = "srv";
    r.searchKey = "CAL";
    r.searchPattern = "*.ics";
    r.fileCRC = "abcd";
    r.fileEncodeType = 2;
    for (std::uint64_t mode : {FileResource::kSearchMode, FileResource::kDownloadMode}) {
        std::string text = r.getString(mode);
        ASSERT_EQ(text.back(), '\x06');
        text.pop_back();
        auto back = FileResource::fromFields(RecordFields(text), mode);
        EXPECT_EQ(back.resourceName, r.resourceName);
        EXPECT_EQ(back.resourceType, r.resourceType);
        EXPECT_EQ(back.organization, 12u);
        EXPECT_EQ(back.fileCRC, "abcd");
        EXPECT_EQ(back.fileEncodeType, 2u);
        EXPECT_EQ(back.searchKey, mode == FileResource::kSearchMode ? "CAL" : "");
    }
}

TEST(FileResource, SeparatorsInsideTextsCannotShiftColumns) {
    auto r = FileResource::initWithResourceType(wireText("IC<C>O<R>"), 1);
    r.resourceName = wireText("a<C>b");
    std::string text = r.getString(1);
    EXPECT_EQ(text.back(), '\x06');
    text.pop_back();
    RecordFields f(text);
    EXPECT_EQ(f.size(), 9u);
    EXPECT_EQ(f.text(0), "ab");
    EXPECT_EQ(f.text(5), "ICO");
}

TEST(ReplyRecords, ScheduleAndAccessMapRows) {
    auto s = SessionScheduleInfo::fromFields(RecordFields(wireText("1<C>7<C>3<C>2<C>09:00<C>17:30")));
    EXPECT_EQ(s.scheduleID, 1u);
    EXPECT_EQ(s.marketID, 7u);
    EXPECT_EQ(s.tradeSessionSettingID, 3u);
    EXPECT_EQ(s.dayOfTheWeekID, 2u);
    EXPECT_EQ(s.startTime, "09:00");
    EXPECT_EQ(s.stopTime, "17:30");

    auto m = UserAccountMaps::fromFields(RecordFields(wireText("501<C>9000000000<C>2")));
    EXPECT_EQ(m.userId, 501u);
    EXPECT_EQ(m.accountId, 9000000000u);
    EXPECT_EQ(m.accountAccessTypeId, 2u);
    EXPECT_EQ(m.userName, ""); // missing column
}

} // namespace
