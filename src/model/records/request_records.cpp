#include "model/records/request_records.h"

#include "model/collection_keys.h"
#include "model/records/record_layout.h"

#include <type_traits>

namespace tc {
namespace {

using namespace records;

constexpr auto kScheduleLayout = recordLayout(
    int64(0, &SessionScheduleInfo::scheduleID), int64(1, &SessionScheduleInfo::marketID),
    int64(2, &SessionScheduleInfo::tradeSessionSettingID), int64(3, &SessionScheduleInfo::dayOfTheWeekID),
    text(4, [](SessionScheduleInfo& s, std::string_view v) { s.startTime = dayTimeFromWire(v); }),
    text(5, [](SessionScheduleInfo& s, std::string_view v) { s.stopTime = dayTimeFromWire(v); }));

constexpr auto kAccessMapLayout =
    recordLayout(int64(0, &UserAccountMaps::userId), int64(1, &UserAccountMaps::accountId),
                 int64(2, &UserAccountMaps::accountAccessTypeId), text(3, &UserAccountMaps::userName));

// The five leading columns of every mode, then each mode's own.
constexpr auto kResourceHeadLayout =
    recordLayout(text(0, &FileResource::resourceName), int64(1, &FileResource::resourceType),
                 int64(2, &FileResource::productID), int64(3, &FileResource::organization),
                 text(4, &FileResource::resourceServerName));
constexpr auto kResourceSearchTailLayout =
    recordLayout(text(5, &FileResource::searchKey), text(6, &FileResource::searchPattern),
                 text(7, &FileResource::fileCRC), int64(8, &FileResource::fileEncodeType));
constexpr auto kResourceDownloadTailLayout =
    recordLayout(text(5, &FileResource::fileCRC), int64(6, &FileResource::fileEncodeType));

} // namespace

SessionScheduleInfo SessionScheduleInfo::fromFields(const RecordFields& f) {
    SessionScheduleInfo s;
    readRecord(f, kScheduleLayout, s);
    return s;
}

UserAccountMaps UserAccountMaps::fromFields(const RecordFields& f) {
    UserAccountMaps m;
    readRecord(f, kAccessMapLayout, m);
    return m;
}

std::string UserAccountMaps::key() const {
    return std::to_string(userId) + ":" + std::to_string(accountId);
}

FileResource FileResource::initWithResourceType(std::string_view resourceType, std::uint64_t productID) {
    FileResource r;
    r.searchKey.assign(resourceType);
    r.productID = productID;
    return r;
}

namespace {

void appendText(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c != '\x05' && c != '\x06')
            out.push_back(c);
    }
}

} // namespace

std::string FileResource::getString(std::uint64_t mode) const {
    if (mode != kSearchMode && mode != kDownloadMode)
        return {};
    // Written through the layouts the reply is read with, so both keep one column order.
    std::string out;
    const auto write = [&](std::size_t, FieldType, const auto& value) {
        if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>)
            appendText(out, value);
        else
            out += sessionKey64(value);
        out.push_back('\x05');
    };
    visitRecord(*this, kResourceHeadLayout, write);
    if (mode == kSearchMode)
        visitRecord(*this, kResourceSearchTailLayout, write);
    else
        visitRecord(*this, kResourceDownloadTailLayout, write);
    out.back() = '\x06';
    return out;
}

FileResource FileResource::fromFields(const RecordFields& f, std::uint64_t mode) {
    FileResource r;
    readRecord(f, kResourceHeadLayout, r);
    if (mode == kSearchMode)
        readRecord(f, kResourceSearchTailLayout, r);
    else if (mode == kDownloadMode)
        readRecord(f, kResourceDownloadTailLayout, r);
    return r;
}

} // namespace tc
