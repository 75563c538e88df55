#pragma once

#include "interfaces/client.h"
#include "model/records/account_details.h"
#include "model/session_queries.h"

#include <QComboBox>
#include <QSignalBlocker>

#include <cstdint>
#include <vector>

namespace tc::gui {

// Lists in `chooser` the accounts whose settings carry `allowedBit` (deposits or withdrawals) and
// returns their ids in the chooser's order; none without a client.
inline std::vector<std::int32_t> listFundingAccounts(QComboBox* chooser, interfaces::Client* client,
                                                     std::int64_t allowedBit) {
    std::vector<std::int32_t> ids;
    QSignalBlocker block(chooser);
    chooser->clear();
    if (!client)
        return ids;
    for (const auto& account : client->queries().getAccountCollection()) {
        if (!account || (account->accountSettings & allowedBit) == 0)
            continue;
        ids.push_back(account->AccountId);
        chooser->addItem(QString::number(account->AccountId));
    }
    return ids;
}

} // namespace tc::gui
