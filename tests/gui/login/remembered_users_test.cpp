#include "gui/login/remembered_users.h"

#include "gui/gui_test_support.h"
#include "gui/login/memory_secrets.h"
#include "platform/base64.h"
#include "platform/clock.h"
#include "platform/dispatch.h"
#include "platform/message_cipher.h"
#include "platform/user_defaults.h"
#include "support/temp_resources.h"
#include "wire/login_inputdata.h"

#include <gtest/gtest.h>

#include <map>

namespace tc::gui {
namespace {

using guitest::MemorySecrets;

// The entry's plain text, decrypted here with the configured key, apart from the code under test.
std::string plainEntry(const tc::platform::UserDefaults& defaults, std::string_view mode,
                       const std::string& key) {
    auto bytes = platform::Base64::decodeBase64WithString(*defaults.stringForKey(mode));
    auto plain = platform::Crypto::transformData(*bytes, platform::Crypto::kAlgorithmAES,
                                                 platform::Crypto::kDecrypt, key);
    return std::string(plain->begin(), plain->end());
}

class RememberedUsersTest : public ::testing::Test {
protected:
    std::unique_ptr<tc::platform::UserDefaults> defaults = tc::platform::UserDefaults::inMemory();
    MemorySecrets secrets;
    LoginInputData login; // the shipped property lists: the configured key
    std::string productKey = login.configuredSecurityKey().value();
};

TEST_F(RememberedUsersTest, FieldsWithHashesComeBackWholeAndThePasswordStaysOutOfTheEntry) {
    RememberedUsers users(*defaults, productKey, secrets);
    const RememberedForm form{"ann#1\\x", "pa#ss", "host#a", "5100"};
    users.store(kLiveMode, form);

    const std::string plain = plainEntry(*defaults, kLiveMode, productKey);
    EXPECT_EQ(plain.find("pa#ss"), std::string::npos);
    EXPECT_EQ(plain.find("pa\\#ss"), std::string::npos);

    auto loaded = users.load(kLiveMode);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded, (RememberedForm{"ann#1\\x", "", "host#a", "5100"}));
    std::optional<std::string> password;
    users.loadPassword(kLiveMode, *loaded, [&](auto secret) { password = secret; });
    EXPECT_EQ(password, "pa#ss");
    EXPECT_FALSE(users.load(kDemoMode)); // modes keep their own entries
}

TEST_F(RememberedUsersTest, AnEntryWrittenAfterALoginReadsAtTheNextStart) {
    // A retried login: the sign-in data now holds the session key, which must not be used.
    login.setSecurityKey(std::string("a-session-key-from-the-login-reply"));
    RememberedUsers(*defaults, login.configuredSecurityKey().value(), secrets)
        .store(kDemoMode, {"demo", "demo1234", "127.0.0.1", "5100"});

    LoginInputData nextStart;
    RememberedUsers reader(*defaults, nextStart.configuredSecurityKey().value(), secrets);
    ASSERT_TRUE(reader.load(kDemoMode));
    EXPECT_EQ(reader.load(kDemoMode)->userName, "demo");
}

TEST_F(RememberedUsersTest, ForgettingRemovesEntryAndPasswordAndAnotherUserLeavesNoOldPassword) {
    RememberedUsers users(*defaults, productKey, secrets);
    users.store(kLiveMode, {"ann", "one", "host", "5100"});
    users.store(kLiveMode, {"bob", "two", "host", "5100"});
    EXPECT_EQ(secrets.secrets.size(), 1u);
    users.remove(kLiveMode);
    EXPECT_FALSE(users.load(kLiveMode));
    EXPECT_TRUE(secrets.secrets.empty());
}

TEST_F(RememberedUsersTest, WithoutASecretServiceNoPasswordIsKeptAndTheLogSaysWhyOnce) {
    guitest::LogCapture log;
    secrets.available = false;
    RememberedUsers users(*defaults, productKey, secrets);
    users.store(kLiveMode, {"ann", "one", "host", "5100"});
    users.store(kLiveMode, {"ann", "two", "host", "5100"});
    EXPECT_TRUE(users.load(kLiveMode)); // the rest of the form is remembered
    EXPECT_EQ(log.count("no Secret Service in this test"), 1u);
}

TEST_F(RememberedUsersTest, AnEntryThatDoesNotDecryptShowsTheDefaults) {
    defaults->set(kLiveMode, std::string("not an entry"));
    guitest::LogCapture log;
    EXPECT_FALSE(RememberedUsers(*defaults, productKey, secrets).load(kLiveMode));
    // Another product's key cannot read ours either.
    RememberedUsers(*defaults, productKey, secrets).store(kDemoMode, {"a", "b", "c", "1"});
    EXPECT_FALSE(RememberedUsers(*defaults, "another key", secrets).load(kDemoMode));
}

TEST_F(RememberedUsersTest, AnAcceptedPasswordChangeReachesOnlyTheRememberedUsersSecret) {
    RememberedUsers users(*defaults, productKey, secrets);
    users.store(kDemoMode, {"ann", "old-pass", "127.0.0.1", "5100"});
    const std::string key = RememberedUsers::secretKey(kDemoMode, "127.0.0.1", "ann");

    EXPECT_FALSE(users.changePassword(kDemoMode, "bob", "other-pass")) << "another user is not remembered";
    EXPECT_FALSE(users.changePassword(kLiveMode, "ann", "other-pass")) << "nobody remembered in that mode";
    EXPECT_FALSE(users.changePassword(kDemoMode, "ann", ""));
    EXPECT_EQ(secrets.secrets.at(key), "old-pass");

    EXPECT_TRUE(users.changePassword(kDemoMode, "ann", "new-pass"));
    EXPECT_EQ(secrets.secrets.at(key), "new-pass");
    EXPECT_EQ(secrets.secrets.size(), 1u);
    EXPECT_EQ(users.load(kDemoMode)->userName, "ann") << "the entry itself stays";
}

// A keyring whose prompt stays open, or whose daemon restarts under it, may never answer: past the
// limit the password is told as not known to be kept, at this start and the next; the read-back as
// not given back. A late answer settles it.
TEST_F(RememberedUsersTest, AKeyringThatDoesNotAnswerInTimeIsToldAsNotKnownAndALateAnswerSettlesIt) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    const auto pass = [&](std::chrono::milliseconds by) {
        clock->advance(by);
        bool ran = false;
        platform::MainQueue::after(std::chrono::milliseconds(0), [&] { ran = true; });
        ASSERT_TRUE(guitest::waitFor([&] { return ran; }));
    };
    secrets.holdWrites = true;
    RememberedUsers users(*defaults, productKey, secrets);
    std::vector<RememberedUsers::PasswordNews> news;
    users.addPasswordListener([&](RememberedUsers::PasswordNews n) { news.push_back(n); });
    users.store(kDemoMode, {"ann", "pass", "127.0.0.1", "5100"});
    pass(kSecretAnswerLimit - std::chrono::milliseconds(1));
    EXPECT_TRUE(news.empty());
    pass(std::chrono::milliseconds(1));
    ASSERT_EQ(news, std::vector{RememberedUsers::PasswordNews::KeepNotKnown});
    EXPECT_TRUE(users.passwordKeepNotKnown(kDemoMode));
    EXPECT_FALSE(users.passwordNotKept());
    EXPECT_TRUE(RememberedUsers(*defaults, productKey, secrets).passwordKeepNotKnown(kDemoMode))
        << "the next start";

    secrets.answerWrites();
    EXPECT_EQ(news.back(), RememberedUsers::PasswordNews::Kept);
    EXPECT_FALSE(users.passwordKeepNotKnown(kDemoMode));
    EXPECT_FALSE(RememberedUsers(*defaults, productKey, secrets).passwordKeepNotKnown(kDemoMode));

    secrets.holdReads = true;
    std::vector<std::optional<std::string>> given;
    users.loadPassword(kDemoMode, *users.load(kDemoMode), [&](auto secret) { given.push_back(secret); });
    pass(kSecretAnswerLimit);
    EXPECT_EQ(given, std::vector<std::optional<std::string>>{std::nullopt});
    EXPECT_TRUE(users.passwordNotReadBack(kDemoMode));
    secrets.answerReads();
    EXPECT_EQ(given.back(), "pass");
    EXPECT_FALSE(users.passwordNotReadBack(kDemoMode));
}

// Tests of answers that come late: the main queue's clock is moved by hand.
class RememberedUsersOnAClock : public RememberedUsersTest {
protected:
    void pass(std::chrono::milliseconds by) {
        clock->advance(by);
        bool ran = false;
        platform::MainQueue::after(std::chrono::milliseconds(0), [&] { ran = true; });
        ASSERT_TRUE(guitest::waitFor([&] { return ran; }));
    }
    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped{clock};
    RememberedUsers users{*defaults, productKey, secrets};
    std::vector<RememberedUsers::PasswordNews> news;
};

// The form asks again (the trader switched modes and back) while an earlier read still waits: what
// that read answers late, or its limit, changes nothing of what the newer read found.
TEST_F(RememberedUsersOnAClock, ASupersededReadChangesNothing) {
    users.store(kDemoMode, {"ann", "pass", "127.0.0.1", "5100"});
    users.addPasswordListener([&](RememberedUsers::PasswordNews n) { news.push_back(n); });
    std::vector<std::optional<std::string>> given;
    const auto readTwice = [&] {
        secrets.holdReads = true;
        users.loadPassword(kDemoMode, *users.load(kDemoMode), [&](auto secret) { given.push_back(secret); });
        secrets.holdReads = false;
        users.loadPassword(kDemoMode, *users.load(kDemoMode), [&](auto secret) { given.push_back(secret); });
    };
    readTwice();
    pass(kSecretAnswerLimit); // the first read's limit
    readTwice();
    secrets.readable = false;
    secrets.answerReads(); // the third read answers late, before its limit, with nothing
    pass(kSecretAnswerLimit);
    EXPECT_EQ(given, (std::vector<std::optional<std::string>>{"pass", "pass"}));
    EXPECT_EQ(news, (std::vector{RememberedUsers::PasswordNews::ReadBack,
                                 RememberedUsers::PasswordNews::ReadBack}));
    EXPECT_FALSE(users.passwordNotReadBack(kDemoMode));
}

// The program may end while the keyring still holds a keep (its unlock prompt open): the settings
// file says from the start of the keep that its outcome is not known, merged with another program's
// changes, and the answer settles it.
TEST_F(RememberedUsersTest, AKeepStillWaitingWhenTheProgramEndsIsNotKnownAtTheNextStart) {
    tc::testing_support::TempDir folder;
    const auto file = folder.path() / "defaults.plist";
    const auto nextStart = [&] {
        platform::UserDefaults next(file);
        EXPECT_EQ(next.integerForKey("LanguageKey"), 7) << "another program's change stays";
        return RememberedUsers(next, productKey, secrets).passwordKeepNotKnown(kDemoMode);
    };
    platform::UserDefaults disk(file);
    platform::UserDefaults other(file);
    other.set("LanguageKey", std::int64_t{7});
    ASSERT_TRUE(other.synchronize());
    secrets.holdWrites = true;
    RememberedUsers users(disk, productKey, secrets);
    users.store(kDemoMode, {"ann", "pass", "127.0.0.1", "5100"});
    EXPECT_FALSE(users.passwordKeepNotKnown(kDemoMode)) << "not said before the limit";
    EXPECT_TRUE(nextStart());
    secrets.answerWrites();
    EXPECT_FALSE(nextStart());
}

// "Remember me" unticked while the keyring still holds the keep: the settings say nothing is
// remembered, the keep's limit and answer tell nothing, and a password it kept is taken out again,
// though not one kept anew since.
TEST_F(RememberedUsersOnAClock, UntickingWhileAKeepWaitsLeavesNoPasswordKept) {
    users.addPasswordListener([&](RememberedUsers::PasswordNews n) {
        if (n != RememberedUsers::PasswordNews::Removed) // the removals' confirmations
            news.push_back(n);
    });
    secrets.holdWrites = true;
    users.store(kDemoMode, {"ann", "pass", "127.0.0.1", "5100"});
    users.remove(kDemoMode);
    EXPECT_FALSE(RememberedUsers(*defaults, productKey, secrets).passwordKeepNotKnown(kDemoMode));
    pass(kSecretAnswerLimit);
    secrets.answerWrites();
    EXPECT_TRUE(secrets.secrets.empty());
    EXPECT_TRUE(news.empty());
    EXPECT_FALSE(users.passwordKeepNotKnown(kDemoMode));

    secrets.holdWrites = true;
    users.store(kDemoMode, {"ann", "pass", "127.0.0.1", "5100"});
    users.remove(kDemoMode);
    users.store(kDemoMode, {"ann", "new", "127.0.0.1", "5100"});
    secrets.removals = 0;
    secrets.answerWrites();
    EXPECT_EQ(secrets.removals, 0) << "the keyring would take it out after the new one";
    EXPECT_EQ(news, std::vector{RememberedUsers::PasswordNews::Kept});
}

// The keyring takes requests in turn, so a removal asked behind a keep that never answers waits as
// long: its limit says so, the settings owe it, and the next start takes the password out again
// before anything is read, never filling it in meanwhile.
TEST_F(RememberedUsersOnAClock, AForgottenPasswordTheKeyringHoldsIsTakenOutAtTheNextStartNeverFilledIn) {
    users.store(kDemoMode, {"ann", "old", "127.0.0.1", "5100"});
    users.addPasswordListener([&](RememberedUsers::PasswordNews n) { news.push_back(n); });
    secrets.holdWrites = secrets.holdRemoves = true;
    users.store(kDemoMode, {"ann", "new", "127.0.0.1", "5100"});
    users.remove(kDemoMode);
    pass(kSecretAnswerLimit);
    EXPECT_EQ(news, std::vector{RememberedUsers::PasswordNews::RemovalNotKnown});
    EXPECT_EQ(users.passwordRemovalTrouble(kDemoMode), RememberedUsers::PasswordNews::RemovalNotKnown);
    EXPECT_FALSE(users.passwordRemovalTrouble(kLiveMode));

    // The daemon restarted and lost both requests; the trader had ticked the box again meanwhile.
    secrets.held.clear();
    secrets.heldRemoves.clear();
    defaults->set(kDemoMode,
                  *RememberedUsers::encryptEntry(
                      RememberedUsers::encodeFields({"ann", {}, "127.0.0.1", "5100"}), productKey));
    RememberedUsers next(*defaults, productKey, secrets);
    std::vector<std::optional<std::string>> given;
    next.loadPassword(kDemoMode, *next.load(kDemoMode), [&](auto secret) { given.push_back(secret); });
    EXPECT_TRUE(given.empty());
    ASSERT_EQ(secrets.heldRemoves.size(), 1u);
    secrets.answerRemoves();
    EXPECT_TRUE(secrets.secrets.empty());
    EXPECT_FALSE(defaults->objectForKey(kPasswordRemovalsOwedKey)) << "confirmed: no longer owed";
}

// A removal the keyring refuses is told, owed, and done at the next start.
TEST_F(RememberedUsersTest, ARemovalTheKeyringRefusesIsToldAndDoneAtTheNextStart) {
    RememberedUsers users(*defaults, productKey, secrets);
    std::vector<RememberedUsers::PasswordNews> news;
    users.addPasswordListener([&](RememberedUsers::PasswordNews n) { news.push_back(n); });
    users.store(kLiveMode, {"ann", "pass", "127.0.0.1", "5100"});
    secrets.removes = false;
    users.remove(kLiveMode);
    EXPECT_EQ(news.back(), RememberedUsers::PasswordNews::RemovalFailed);
    EXPECT_EQ(users.passwordRemovalTrouble(kLiveMode), RememberedUsers::PasswordNews::RemovalFailed);
    secrets.removes = true;
    RememberedUsers next(*defaults, productKey, secrets);
    EXPECT_TRUE(secrets.secrets.empty());
    EXPECT_FALSE(next.passwordRemovalTrouble(kLiveMode));
}

// A password kept anew after a removal the keyring refused is the trader's last word: the removal is
// not done over it at the next start, though the keep was answered only after the program ended. Where
// the keyring refuses that keep too, the forgotten password may still be there: the removal is owed.
TEST_F(RememberedUsersTest, APasswordKeptAnewAfterARefusedRemovalIsNotTakenOutAtTheNextStart) {
    {
        RememberedUsers users(*defaults, productKey, secrets);
        users.store(kLiveMode, {"ann", "old", "127.0.0.1", "5100"});
        secrets.removes = false;
        users.remove(kLiveMode);
        secrets.removes = true;
        secrets.holdWrites = true;
        users.store(kLiveMode, {"ann", "new", "127.0.0.1", "5100"});
    }
    secrets.answerWrites();
    { RememberedUsers next(*defaults, productKey, secrets); }
    ASSERT_EQ(secrets.secrets.size(), 1u);
    EXPECT_EQ(secrets.secrets.begin()->second, "new");

    RememberedUsers users(*defaults, productKey, secrets);
    secrets.removes = false;
    users.remove(kLiveMode);
    secrets.removes = true;
    secrets.keeps = false;
    users.store(kLiveMode, {"ann", "newer", "127.0.0.1", "5100"});
    RememberedUsers next(*defaults, productKey, secrets);
    EXPECT_TRUE(secrets.secrets.empty());
}

// Whether a keep was answered is of the entry it was for: a Demo keep still waiting says nothing of
// the Live user, and forgetting the Live user leaves the Demo keep not known. A bare true written
// by the earlier version stands for the entries remembered then.
TEST_F(RememberedUsersTest, AKeepNotKnownIsOfItsOwnEntryAndTheEarlierFlagStillReads) {
    RememberedUsers users(*defaults, productKey, secrets);
    users.store(kLiveMode, {"ann", "pass", "127.0.0.1", "5100"});
    secrets.holdWrites = true;
    users.store(kDemoMode, {"bob", "pass", "127.0.0.1", "5100"});
    const auto next = [&](std::string_view mode) {
        return RememberedUsers(*defaults, productKey, secrets).passwordKeepNotKnown(mode);
    };
    EXPECT_TRUE(next(kDemoMode));
    EXPECT_FALSE(next(kLiveMode));
    users.remove(kLiveMode);
    EXPECT_TRUE(next(kDemoMode));

    defaults->set(kPasswordKeepNotKnownKey, true);
    EXPECT_TRUE(next(kDemoMode));
    EXPECT_FALSE(next(kLiveMode)) << "no Live user is remembered";
}

} // namespace
} // namespace tc::gui
