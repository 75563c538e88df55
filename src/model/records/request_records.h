#pragma once
// Records carried by data-service requests and replies: market session schedules, user access to
// accounts, history search criteria and resource files.
#include "model/records/wall_time.h"
#include "platform/date_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class RecordFields;

struct SessionScheduleInfo {
    std::uint64_t scheduleID = 0;
    std::uint64_t marketID = 0; // key of the market's schedule list
    std::uint64_t tradeSessionSettingID = 0;
    std::uint64_t dayOfTheWeekID = 0;
    std::optional<DayTime> startTime; // none when the row's text names no time of day
    std::optional<DayTime> stopTime;

    // Columns 0 to 5 of a "getsessionschedule" reply row.
    static SessionScheduleInfo fromFields(const RecordFields& fields);
};

struct UserAccountMaps {
    std::uint64_t userId = 0; // key of the access-map collection
    std::uint64_t accountId = 0;
    std::uint64_t accountAccessTypeId = 0;
    std::string userName;

    // Columns 0 to 3 of a "getusermapwithmyaccount" reply row.
    static UserAccountMaps fromFields(const RecordFields& fields);
    // The key of the access-map collection: one map per user and account ("<user>:<account>"), so
    // a user's access to one account never replaces the same user's access to another.
    std::string key() const;
};

// Periods are the server's date and time fields as the trader gave them, sent as they are: no zone of
// the computer's is applied (it might skip the hour given).
struct SearchInfo {
    std::optional<WallTime> FromDate;
    std::optional<WallTime> ToDate;
    std::string TransactionDetails;
    std::string AccountNumber;
};

// A statement window's selection: the account number as text and the period.
struct StatementSelection {
    std::string AccountId;
    WallTime FromDate;
    WallTime ToDate;
};

struct FileResource {
    // getString() modes: the request text of a resource download and of a resource search.
    static constexpr std::uint64_t kDownloadMode = 0;
    static constexpr std::uint64_t kSearchMode = 1;

    std::string resourceName; // key of the resource search collection
    std::uint64_t resourceType = 0;
    std::uint64_t productID = 0;
    std::uint64_t organization = 0;
    std::string resourceServerName;
    std::string searchKey; // the resource type text searched for, such as "ICO" or "CAL"
    std::string searchPattern;
    std::string fileCRC;
    std::uint64_t fileEncodeType = 0;

    // A search for one resource type of the signed-in user's product.
    static FileResource initWithResourceType(std::string_view resourceType, std::uint64_t productID);

    // The request text: the mode's fields, each followed by 0x05 except the last, which is followed
    // by 0x06; numbers in decimal. Mode 1 (search): all nine fields; mode 0 (download): without
    // searchKey and searchPattern; other modes: "". Separator bytes inside a text are dropped so a
    // field can never shift the columns after it.
    std::string getString(std::uint64_t mode) const;

    // A reply row laid out as getString() writes it for `mode` (0 or 1); other modes read only the
    // five leading columns.
    static FileResource fromFields(const RecordFields& fields, std::uint64_t mode);
};

} // namespace tc
