// The account-access sheet's rules without widgets: the five rights, the accounts offered, the users
// of the chosen account only, and the edit Apply sends.
#include "gui/funding/account_access_rules.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

std::shared_ptr<const AccountDetails> account(std::int32_t id, std::uint64_t holder, const char* name = "") {
    auto a = std::make_shared<AccountDetails>();
    a->AccountId = id;
    a->primaryAccountHolderUserid = holder;
    a->AccountName = name;
    return a;
}

std::shared_ptr<const UserAccountMaps> map(std::uint64_t user, std::uint64_t acc, std::uint64_t right,
                                           const char* name = "") {
    return std::make_shared<UserAccountMaps>(UserAccountMaps{user, acc, right, name});
}

TEST(AccessRights, FiveRightsInOrderWithNoneAsTenAndTextsBothWays) {
    std::vector<std::string_view> texts;
    for (const AccessRight& r : kAccessRights)
        texts.push_back(r.text);
    EXPECT_EQ(texts,
              (std::vector<std::string_view>{"Trade", "Close Only", "View Trade", "View Market", "None"}));
    EXPECT_EQ(accessRightOfText("None"), 10u);
    EXPECT_EQ(accessRightOfText("View Market"), 4u);
    EXPECT_FALSE(accessRightOfText("none")) << "the texts are compared as they stand";
    EXPECT_FALSE(accessRightOfText(""));
    EXPECT_EQ(accessRightText(2), "Close Only");
    EXPECT_FALSE(accessRightText(5)) << "5 is not a right; None is 10";
    EXPECT_FALSE(accessRightText(0));
}

TEST(AccountAccessForm, OffersOnlyTheAccountsTheUserHoldsAndSendsNothingWithoutOne) {
    AccountAccessForm form;
    form.loadAccounts({account(20001, 1001, "Demo USD"), account(20011, 1002), nullptr, account(20003, 1001)},
                      1001);
    ASSERT_EQ(form.accounts().size(), 2u);
    EXPECT_EQ(form.accounts()[0].id, 20001u);
    EXPECT_EQ(form.accounts()[1].id, 20003u);
    ASSERT_TRUE(form.account());
    EXPECT_EQ(form.account()->name, "Demo USD");
    EXPECT_FALSE(form.chooseAccount(20011)) << "another holder's account is not offered";
    EXPECT_EQ(form.account()->id, 20001u);

    AccountAccessForm none;
    none.loadAccounts({account(20011, 1002)}, 1001);
    EXPECT_TRUE(none.accounts().empty());
    EXPECT_FALSE(none.account());
    none.setUsers(20011, {map(1003, 20011, 1)});
    EXPECT_TRUE(none.users().empty());
    EXPECT_FALSE(none.rightsEnabled());
    EXPECT_FALSE(none.edit()) << "nothing goes out for no account";

    AccountAccessForm signedOut;
    signedOut.loadAccounts({account(20001, 0)}, 0);
    EXPECT_TRUE(signedOut.accounts().empty()) << "no user id holds nothing";
}

TEST(AccountAccessForm, UsersAreTheChosenAccountsOnlySoARightNeverCrossesAccounts) {
    AccountAccessForm form;
    form.loadAccounts({account(20001, 1001), account(20003, 1001)}, 1001);
    // Maps of another account and the holder's own are passed over.
    form.setUsers(20001, {map(1001, 20001, 1), map(1002, 20001, 3, "trader"), map(1003, 20003, 1),
                          map(1004, 20001, 10)});
    ASSERT_EQ(form.users().size(), 2u);
    ASSERT_TRUE(form.user());
    EXPECT_EQ(form.user()->userId, 1002u);
    EXPECT_EQ(form.right(), 3u) << "the box shows the user's right";
    EXPECT_TRUE(form.rightsEnabled());

    // Another account: the users of the first are gone at once.
    ASSERT_TRUE(form.chooseAccount(20003));
    EXPECT_TRUE(form.users().empty());
    EXPECT_FALSE(form.edit());
    // A late reply for the first account is not shown under the second.
    form.setUsers(20001, {map(1002, 20001, 3)});
    EXPECT_TRUE(form.users().empty());
    EXPECT_FALSE(form.chooseUser(1002));
    EXPECT_FALSE(form.edit());
    form.setUsers(20003, {map(1003, 20003, 4)});
    ASSERT_TRUE(form.user());
    ASSERT_TRUE(form.chooseRight("Close Only"));
    const auto edit = form.edit();
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->userId, 1003u);
    EXPECT_EQ(edit->accountId, 20003u);
    EXPECT_EQ(edit->accountAccessTypeId, 2u);
}

TEST(AccountAccessForm, RightsFollowTheChosenUserAndCloseForTheSignedInUser) {
    AccountAccessForm form;
    form.loadAccounts({account(20001, 9)}, 1001); // 1001 is not the holder: nothing offered
    EXPECT_TRUE(form.accounts().empty());

    form.loadAccounts({account(20001, 1001)}, 1001);
    form.setUsers(20001, {map(1002, 20001, 7), map(1005, 20001, 4)});
    EXPECT_EQ(form.right(), 1u) << "an unknown stored right leaves the box at Trade";
    ASSERT_TRUE(form.chooseRight("None"));
    EXPECT_EQ(form.edit()->accountAccessTypeId, 10u);
    EXPECT_FALSE(form.chooseRight("Everything"));
    EXPECT_EQ(form.right(), 10u);

    // A reload keeps the chosen user while still listed, else takes the first.
    ASSERT_TRUE(form.chooseUser(1005));
    form.setUsers(20001, {map(1002, 20001, 1), map(1005, 20001, 2)});
    EXPECT_EQ(form.user()->userId, 1005u);
    EXPECT_EQ(form.right(), 2u);
    form.setUsers(20001, {map(1002, 20001, 1)});
    EXPECT_EQ(form.user()->userId, 1002u);
    form.setUsers(20001, {});
    EXPECT_FALSE(form.user());
    EXPECT_FALSE(form.rightsEnabled());
    EXPECT_FALSE(form.edit());
}

} // namespace
} // namespace tc::gui
