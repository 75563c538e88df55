#include "model/records/user_info.h"

#include "model/records/record_fields.h"

namespace tc {

UserInfo UserInfo::fromAmpRecord(const RecordFields& f) {
    UserInfo u;
    f.readInt(0, u.UserId);
    f.readInt(1, u.LastRefId);
    f.readInt(2, u.NewRefId);
    f.readBool(3, u.DdeEnabled);
    f.readBool(4, u.UserEnabled);
    f.readInt(5, u.UserTypeId);
    f.readInt(6, u.ForceLogoutRefId);
    f.readInt(7, u.ForceLogoutLoadServerId);
    f.readInt(8, u.AppModeId);
    f.readBool(9, u.CanChangePassword);
    f.readInt(10, u.tradePubPort);
    f.readInt(11, u.marketdepthPort);
    f.readInt(12, u.hdServerPort);
    f.readInt64(15, u.systemCurrencyId);
    return u;
}

ProductInfo ProductInfo::fromAmpRecord(const RecordFields& f) {
    ProductInfo p;
    f.readInt(0, p.ProductId);
    f.readText(1, p.ProductName);
    f.readText(2, p.LatestBuild);
    f.readText(4, p.LatestSupportedBuild);
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
    f.readInt(0, m.DisplayMode);
    f.readText(1, m.Message);
    m.ErrorCode = code;
    return m;
}

} // namespace tc
