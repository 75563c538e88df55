#include "gui/funding/account_access_rules.h"

#include <algorithm>

namespace tc::gui {

std::optional<std::uint64_t> accessRightOfText(std::string_view text) {
    for (const AccessRight& r : kAccessRights)
        if (r.text == text)
            return r.value;
    return std::nullopt;
}

std::optional<std::string_view> accessRightText(std::uint64_t value) {
    for (const AccessRight& r : kAccessRights)
        if (r.value == value)
            return r.text;
    return std::nullopt;
}

void AccountAccessForm::loadAccounts(const std::vector<std::shared_ptr<const AccountDetails>>& visible,
                                     std::uint64_t userId) {
    signedIn_ = userId;
    accounts_.clear();
    account_.reset();
    users_.clear();
    user_.reset();
    right_ = kAccessRights.front().value;
    if (userId == 0)
        return;
    for (const auto& a : visible)
        if (a && a->AccountId > 0 && a->primaryAccountHolderUserid == userId)
            accounts_.push_back(
                {static_cast<std::uint64_t>(a->AccountId), a->AccountName, a->primaryAccountHolderUserid});
    if (!accounts_.empty())
        account_ = 0;
}

const AccessAccount* AccountAccessForm::account() const {
    return account_ ? &accounts_[*account_] : nullptr;
}

bool AccountAccessForm::chooseAccount(std::uint64_t accountId) {
    const auto it = std::find_if(accounts_.begin(), accounts_.end(),
                                 [&](const AccessAccount& a) { return a.id == accountId; });
    if (it == accounts_.end())
        return false;
    account_ = static_cast<std::size_t>(it - accounts_.begin());
    users_.clear();
    user_.reset();
    right_ = kAccessRights.front().value;
    return true;
}

void AccountAccessForm::setUsers(std::uint64_t accountId,
                                 const std::vector<std::shared_ptr<const UserAccountMaps>>& maps) {
    const AccessAccount* chosen = account();
    if (!chosen || chosen->id != accountId)
        return;
    const std::optional<std::uint64_t> kept = user() ? std::optional(user()->userId) : std::nullopt;
    users_.clear();
    user_.reset();
    for (const auto& m : maps)
        if (m && m->accountId == accountId && m->userId != 0 && m->userId != chosen->holder)
            users_.push_back(*m);
    if (users_.empty())
        return;
    if (!kept || !chooseUser(*kept))
        chooseUser(users_.front().userId);
}

const UserAccountMaps* AccountAccessForm::user() const {
    return user_ ? &users_[*user_] : nullptr;
}

bool AccountAccessForm::chooseUser(std::uint64_t userId) {
    const auto it = std::find_if(users_.begin(), users_.end(),
                                 [&](const UserAccountMaps& m) { return m.userId == userId; });
    if (it == users_.end())
        return false;
    user_ = static_cast<std::size_t>(it - users_.begin());
    // The box shows the user's right as stored; one outside the five leaves the choice as it was.
    if (accessRightText(it->accountAccessTypeId))
        right_ = it->accountAccessTypeId;
    return true;
}

bool AccountAccessForm::chooseRight(std::string_view text) {
    const std::optional<std::uint64_t> value = accessRightOfText(text);
    if (!value)
        return false;
    right_ = *value;
    return true;
}

bool AccountAccessForm::rightsEnabled() const {
    const UserAccountMaps* u = user();
    return u && u->userId != 0 && u->userId != signedIn_;
}

std::optional<UserAccountMaps> AccountAccessForm::edit() const {
    const AccessAccount* a = account();
    const UserAccountMaps* u = user();
    if (!a || !u || !rightsEnabled() || u->accountId != a->id || !accessRightText(right_))
        return std::nullopt;
    UserAccountMaps map = *u;
    map.accountId = a->id;
    map.accountAccessTypeId = right_;
    return map;
}

} // namespace tc::gui
