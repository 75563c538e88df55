#include "model/records/record_fields.h"
#include "model/records/request_records.h"

#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <tuple>

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
        EXPECT_EQ(std::tuple(back.resourceName, back.resourceType, back.organization, back.fileCRC,
                             back.fileEncodeType, back.searchKey),
                  std::tuple(r.resourceName, r.resourceType, 12u, "abcd", 2u,
                             mode == FileResource::kSearchMode ? "CAL" : ""));
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
    EXPECT_EQ(std::tuple(s.scheduleID, s.marketID, s.tradeSessionSettingID, s.dayOfTheWeekID,
                         dayTimeText(s.startTime), dayTimeText(s.stopTime)),
              std::tuple(1u, 7u, 3u, 2u, "09:00", "17:30"));
    EXPECT_EQ(s.stopTime, std::chrono::hours(17) + std::chrono::minutes(30));

    auto m = UserAccountMaps::fromFields(RecordFields(wireText("501<C>9000000000<C>2")));
    // userName missing column.
    EXPECT_EQ(std::tuple(m.userId, m.accountId, m.accountAccessTypeId, m.userName),
              std::tuple(501u, 9000000000u, 2u, ""));
}

} // namespace
