#include "model/records/user_info.h"

#include "model/records/record_layout.h"

namespace tc {

namespace {

using namespace records;

constexpr auto kUserLayout = recordLayout(
    int32(0, &UserInfo::UserId), int32(1, &UserInfo::LastRefId), int32(2, &UserInfo::NewRefId),
    flag(3, &UserInfo::DdeEnabled), flag(4, &UserInfo::UserEnabled), int32(5, &UserInfo::UserTypeId),
    int32(6, &UserInfo::ForceLogoutRefId), int32(7, &UserInfo::ForceLogoutLoadServerId),
    int32(8, &UserInfo::AppModeId), flag(9, &UserInfo::CanChangePassword), int32(10, &UserInfo::tradePubPort),
    int32(11, &UserInfo::marketDepthPort), int32(12, &UserInfo::hdServerPort),
    int64(15, &UserInfo::systemCurrencyId));

constexpr auto kUserColumns = recordLayout(
    int32("NewRefid", &UserInfo::NewRefId), int32("OfflineMessageCount", &UserInfo::OfflineMessageCount),
    int32("appModeId", &UserInfo::AppModeId), flag("canChangePassword", &UserInfo::CanChangePassword),
    int32("ddeenabled", &UserInfo::DdeEnabled),
    int32("forceLogoutLoadServerId", &UserInfo::ForceLogoutLoadServerId),
    int32("forceLogoutRefid", &UserInfo::ForceLogoutRefId), int32("hdserverPort", &UserInfo::hdServerPort),
    int32("lastrefid", &UserInfo::LastRefId), int32("marketdepthPort", &UserInfo::marketDepthPort),
    int32("tradePubPort", &UserInfo::tradePubPort), int32("userTypeId", &UserInfo::UserTypeId),
    flag("userenabled", &UserInfo::UserEnabled), int32("userid", &UserInfo::UserId),
    int64("systemCurrencyId", &UserInfo::systemCurrencyId));

constexpr auto kProductLayout =
    recordLayout(int32(0, &ProductInfo::ProductId), text(1, &ProductInfo::ProductName),
                 text(2, &ProductInfo::LatestBuild), text(4, &ProductInfo::LatestSupportedBuild));

constexpr auto kLoginMessageLayout =
    recordLayout(int32(0, &LoginInfoMessage::DisplayMode), text(1, &LoginInfoMessage::Message));

constexpr auto kLoginMessageColumns = recordLayout(int32("DisplayMode", &LoginInfoMessage::DisplayMode),
                                                   text("Message", &LoginInfoMessage::Message));

} // namespace

UserInfo UserInfo::fromAmpRecord(const RecordFields& f) {
    UserInfo u;
    readRecord(f, kUserLayout, u);
    return u;
}

void UserInfo::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kUserColumns, *this);
}

ProductInfo ProductInfo::fromAmpRecord(const RecordFields& f) {
    ProductInfo p;
    readRecord(f, kProductLayout, p);
    return p;
}

bool LoginInfoMessage::isEnumDefined(std::int32_t code) {
    return (code >= 1 && code <= 15) || (code >= 101 && code <= 103) || code == 201 || code == 202 ||
           code == 301 || (code >= 401 && code <= 406) || code == 1001;
}

std::optional<LoginInfoMessage> LoginInfoMessage::fromAmpRecord(const RecordFields& f) {
    if (!f.has(2))
        return std::nullopt;
    std::int32_t code = RecordFields::toInt(f.text(2));
    if (code <= 0 || !isEnumDefined(code))
        return std::nullopt;
    LoginInfoMessage m;
    readRecord(f, kLoginMessageLayout, m);
    m.ErrorCode = code;
    return m;
}

void LoginInfoMessage::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kLoginMessageColumns, *this);
}

} // namespace tc
