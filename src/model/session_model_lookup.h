#pragma once
// The session look-ups answered from a session model's collections.
#include "model/session_services.h"

namespace tc {

struct GroupInstruments;
struct SessionModel;
struct SessionSettings;

// The records an order is judged by: its account, its instrument, the account's group and that
// group's settings for the instrument; each null when not loaded.
struct OrderRecords {
    std::shared_ptr<const AccountDetails> account;
    std::shared_ptr<const ItemDetails> item;
    std::shared_ptr<const GroupDetails> group;
    const GroupInstruments* settings = nullptr; // held by `group`
};

class SessionModelLookup : public SessionLookup {
public:
    explicit SessionModelLookup(const SessionModel& model) : model_(model) {}

    std::shared_ptr<const ItemDetails> instrumentForCode(std::string_view code) const override;
    const ItemDetails* instrumentRecordForCode(std::string_view code) const override;
    std::shared_ptr<const ItemDetails> instrumentForId(std::int64_t instrumentId) const override;
    std::shared_ptr<const GroupDetails> groupForId(std::string_view groupId) const override;
    std::shared_ptr<const TradeCurrency> currencyForId(std::uint64_t currencyId) const override;
    std::shared_ptr<const AccountDetails> accountForId(std::string_view accountId) const override;
    std::vector<std::shared_ptr<const Order>> getOpenOrderCollection() const override;
    // The displayable working orders, filtered as getOpenOrderCollection filters positions.
    std::vector<std::shared_ptr<const Order>> getPendingOrderCollection() const;
    // The records of an order on this instrument and account. Without the instrument, the group's
    // settings are those of instrument id 0.
    OrderRecords recordsFor(std::string_view itemCode, std::string_view accountId) const;
    // SessionSettingCollection by settingsID; null for a negative id.
    std::shared_ptr<const SessionSettings> sessionSettingsForId(std::int64_t settingsId) const;

    // Whether the orders of the account under `accountNumber` may be listed: not when that account
    // is suspended (3) or closed (6) or has access type 4 (view market) or 10 (none); orders of
    // accounts that are not loaded are listed.
    bool isOrderOfVisibleAccount(const Order& order) const;

private:
    const SessionModel& model_;
};

// Settles one spread per instrument from the groups of all loaded accounts and puts it on the
// quote each instrument holds. Groups that disagree leave the instrument without spread (type 4).
void SetAllSymbolsSpread(SessionModel& model);

} // namespace tc
