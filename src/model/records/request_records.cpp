#include "model/records/request_records.h"

#include "model/collection_keys.h"
#include "model/records/record_fields.h"

namespace tc {

SessionScheduleInfo SessionScheduleInfo::fromFields(const RecordFields& f) {
    SessionScheduleInfo s;
    f.readInt64(0, s.scheduleID);
    f.readInt64(1, s.marketID);
    f.readInt64(2, s.tradeSessionSettingID);
    f.readInt64(3, s.dayOfTheWeekID);
    f.readText(4, s.startTime);
    f.readText(5, s.stopTime);
    return s;
}

UserAccountMaps UserAccountMaps::fromFields(const RecordFields& f) {
    UserAccountMaps m;
    f.readInt64(0, m.userId);
    f.readInt64(1, m.accountId);
    f.readInt64(2, m.accountAccessTypeId);
    f.readText(3, m.userName);
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
    std::string out;
    auto text = [&](std::string_view t) {
        appendText(out, t);
        out.push_back('\x05');
    };
    auto number = [&](std::uint64_t n) {
        out += sessionKey64(n);
        out.push_back('\x05');
    };
    text(resourceName);
    number(resourceType);
    number(productID);
    number(organization);
    text(resourceServerName);
    if (mode == kSearchMode) {
        text(searchKey);
        text(searchPattern);
    }
    text(fileCRC);
    number(fileEncodeType);
    out.back() = '\x06';
    return out;
}

FileResource FileResource::fromFields(const RecordFields& f, std::uint64_t mode) {
    FileResource r;
    f.readText(0, r.resourceName);
    f.readInt64(1, r.resourceType);
    f.readInt64(2, r.productID);
    f.readInt64(3, r.organization);
    f.readText(4, r.resourceServerName);
    if (mode == kSearchMode) {
        f.readText(5, r.searchKey);
        f.readText(6, r.searchPattern);
        f.readText(7, r.fileCRC);
        f.readInt64(8, r.fileEncodeType);
    } else if (mode == kDownloadMode) {
        f.readText(5, r.fileCRC);
        f.readInt64(6, r.fileEncodeType);
    }
    return r;
}

} // namespace tc
