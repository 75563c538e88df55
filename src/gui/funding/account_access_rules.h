#pragma once
// What the account-access sheet decides, free of Qt: the five rights and their texts, the accounts
// the signed-in user may grant rights on, the users listed for the chosen account and the edit that
// Apply sends. Users are always those of the chosen account: choosing another account drops them
// until that account's maps arrive, so a right is never granted on one account to a user listed for
// another.
#include "model/records/account_details.h"
#include "model/records/request_records.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc::gui {

struct AccessRight {
    std::uint64_t value = 0;
    std::string_view text; // shown as it stands, not a language key
};

// In the order the rights box lists them; "None" is 10.
inline constexpr std::array<AccessRight, 5> kAccessRights{{
    {1, "Trade"},
    {2, "Close Only"},
    {3, "View Trade"},
    {4, "View Market"},
    {10, "None"},
}};

std::optional<std::uint64_t> accessRightOfText(std::string_view text);
std::optional<std::string_view> accessRightText(std::uint64_t value);

struct AccessAccount {
    std::uint64_t id = 0;
    std::string name;
    std::uint64_t holder = 0; // the primary holder's user id
};

class AccountAccessForm {
public:
    // The visible accounts of which `userId` is the primary holder, in their order; the first is
    // chosen. The signed-in user is never offered a right on an account of his own choosing.
    void loadAccounts(const std::vector<std::shared_ptr<const AccountDetails>>& visible,
                      std::uint64_t userId);
    const std::vector<AccessAccount>& accounts() const { return accounts_; }
    const AccessAccount* account() const;
    // Chooses an offered account; its users are dropped until setUsers brings them. False (nothing
    // changed) for an account not offered.
    bool chooseAccount(std::uint64_t accountId);

    // The maps of `accountId` (other accounts' maps and the holder's own are passed over). Ignored
    // unless it is the chosen account. The chosen user stays when still listed, else the first.
    void setUsers(std::uint64_t accountId, const std::vector<std::shared_ptr<const UserAccountMaps>>& maps);
    const std::vector<UserAccountMaps>& users() const { return users_; }
    const UserAccountMaps* user() const;
    bool chooseUser(std::uint64_t userId);

    // The right picked in the rights box; false for a text that is not one of the five.
    bool chooseRight(std::string_view text);
    std::uint64_t right() const { return right_; }
    // The rights box is closed for no user and for the signed-in user.
    bool rightsEnabled() const;

    // What Apply sends: the chosen user on the chosen account with the chosen right; none without an
    // account, a user of that account or a right.
    std::optional<UserAccountMaps> edit() const;

private:
    std::uint64_t signedIn_ = 0;
    std::vector<AccessAccount> accounts_;
    std::optional<std::size_t> account_;
    std::vector<UserAccountMaps> users_;
    std::optional<std::size_t> user_;
    std::uint64_t right_ = kAccessRights.front().value;
};

} // namespace tc::gui
