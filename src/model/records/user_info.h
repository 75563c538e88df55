#pragma once
// Who the signed-in user is, the product of the session, and the server's texts for login codes.
#include "model/records/snapshot_columns.h"
#include <cstdint>
#include <optional>
#include <string>

namespace tc {

class RecordFields;

struct UserInfo {
    std::int32_t UserId = 0;
    std::int32_t LastRefId = 0;
    std::int32_t DdeEnabled = 0; // 0 or 1
    bool UserEnabled = false;
    std::int32_t UserTypeId = 0;
    std::int32_t NewRefId = 0;
    std::int32_t ForceLogoutRefId = 0;
    std::int32_t ForceLogoutLoadServerId = 0;
    std::int32_t AppModeId = 0;
    bool CanChangePassword = false;
    std::int32_t OfflineMessageCount = 0; // only the XML snapshot brings it
    std::int32_t tradePubPort = 0;
    std::int32_t marketDepthPort = 0; // price and depth subscriber socket
    std::int32_t hdServerPort = 0;    // data-service request socket
    std::uint64_t productID = 0;
    std::uint64_t systemCurrencyId = 0;

    // The first record of the snapshot's user section. productID stays 0: the product record brings it.
    static UserInfo fromAmpRecord(const RecordFields& fields);
    // Its row of the snapshot's XML form; columns the row lacks leave their members alone.
    void readSnapshotColumns(const SnapshotColumns& row);
};

struct ProductInfo {
    std::int32_t ProductId = 0;
    std::string ProductName;
    std::string LatestBuild;
    std::string LatestSupportedBuild;

    static ProductInfo fromAmpRecord(const RecordFields& fields);
};

struct LoginInfoMessage {
    std::int32_t DisplayMode = 0;
    std::string Message;
    std::int32_t ErrorCode = 0;
    std::int32_t serverError = 0; // never sent

    // One of the login codes the client knows: 1-15, 101-103, 201, 202, 301, 401-406, 1001.
    static bool isEnumDefined(std::int32_t code);

    // A record of the snapshot's login-message section: display mode, message, code. nullopt for a
    // record without a code field, or whose code is not a known login code; such a record is skipped
    // and the records after it are still read.
    static std::optional<LoginInfoMessage> fromAmpRecord(const RecordFields& fields);
    // The display mode and message of its row in the snapshot's XML form (the code is the loader's,
    // which decides whether the row is kept).
    void readSnapshotColumns(const SnapshotColumns& row);
};

} // namespace tc
