// The funding requests' frames, spelled out from the protocol's tag lists, and the lines and banners
// of approval notices.
#include "client/session_wiring.h"
#include "funding/session_funding.h"
#include "model/records/account_details.h"
#include "model/records/wall_time.h"
#include "model/text/event_texts.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/business/business_test_support.h"
#include "support/wire_text.h"
#include "wire/message_builders.h"
#include "wire/message_golden.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace tc;
using namespace tc::funding;

std::shared_ptr<const AccountDetails> account(std::int32_t id) {
    auto a = std::make_shared<AccountDetails>();
    a->AccountId = id;
    return a;
}

// Label and value apart by 0x03, written "Label<F>value|Label<F>value".
std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t start = 0;;) {
        const std::size_t bar = text.find('|', start);
        out.push_back(testing_support::wireText(text.substr(start, bar - start)));
        if (bar == std::string_view::npos)
            return out;
        start = bar + 1;
    }
}

// The frame once the sender added the request number, the user id and the header.
std::string framed(FundingMessage composed) {
    EXPECT_EQ(composed.error, "");
    MessageBase& m = composed.message;
    m.setValue(20, "8");
    m.setValue(1040, "1001");
    m.setValue(23, "demo");
    m.setValue(19, "7001");
    m.setValue(21, "20240102030405");
    return composeMessage(m).framed;
}

TEST(FundingFrames, DepositsAndWithdrawalsInTheirLayouts) {
    NewDeposit online;
    online.accountDetail = account(20001);
    online.mode = kOnlinePayment;
    online.amount = platform::Decimal::fromInt64(250);
    online.estimatedAmount = *platform::Decimal::fromString("99.5");
    online.email = "a@b.test";
    online.payGateId = 1;
    EXPECT_EQ(framed(depositMessage(online)),
              golden::asciiFrame(golden::body("10=93|145=1|1152=a@b.test|34=20001|1038=250|564=99.5|535=("
                                              "null)|20=8|1040=1001|23=demo|19=7001|21=20240102030405")));

    NewDeposit bank;
    bank.accountDetail = account(20003);
    bank.mode = kBankTransfer;
    bank.amount = platform::Decimal::fromInt64(100);
    bank.depositDate = "20240601";
    bank.bankName = "B";
    bank.bankBranch = "Br";
    bank.sourceAccount = "S";
    bank.depositedAccount = "D";
    bank.remarks = "r/1";
    EXPECT_EQ(framed(depositMessage(bank)),
              golden::asciiFrame(
                  golden::body("10=693|1063=1|1035=801|535=r/"
                               "1|20=8|1040=1001|1059=0<C>0<C>20003<C>(null)<C>100.00<C>0.00<C>1<C>0<C>2<C>"
                               "20240601<C>B<C>Br<C>S<C>D<R>|1060=0|23=demo|19=7001|21=20240102030405")));

    NewWithdrawal out;
    out.accountDetail = account(20001);
    out.amount = *platform::Decimal::fromString("50.5");
    EXPECT_EQ(
        framed(withdrawalMessage(out)),
        golden::asciiFrame(golden::body("10=693|1063=1|1035=802|535=(null)|20=8|1040=1001|1059=0<C>0<C>(null)"
                                        "<C>20001<C>50.50<C>0.00<C>2<C>0<C>0<C>(null)<C>(null)<C>(null)<C>("
                                        "null)<C>(null)<R>|1060=0|23=demo|19=7001|21=20240102030405")));

    // A typed text the record cannot carry is refused with its field's name, nothing composed.
    bank.bankName = testing_support::wireText("B<C>x");
    EXPECT_NE(depositMessage(bank).error.find("bankName"), std::string::npos);
}

TEST(FundingNotices, ApprovalRequestsBecomeLabelledLinesAndBanners) {
    EventTextsBundle bundle;
    ApprovalReq req;
    req.approvalRequestId = 55;
    req.requestedDateTime = wallTimeFromWire("20240315143005");
    req.remarks = "pls %s";
    auto info = std::make_shared<FinancialApproval>();
    info->beneficiaryAccount = 1001;
    info->benefactorAccount = 2002;
    info->approvedAmount = *platform::Decimal::fromString("1234.5");
    info->transferMode = kBankTransfer;
    info->dateOfTransaction = "20240301000000";
    info->bankName = "Bank A";
    info->branch = "North";
    info->sourceBankAccount = "SRC1";
    info->destinationBankAccount = "DST2";
    req.information = info;
    EXPECT_EQ(approvalLines(801, req, 0),
              lines("ReqNo<F>55|Acct<F>1001|ReqOn<F>03/15/2024|Mode<F>BankTransfer|TxDate<F>03/01/2024|"
                    "Amt<F>1,234.50|Bank<F>Bank A|Branch<F>North|Src<F>SRC1|Dst<F>DST2|Rem<F>pls %s"));
    EXPECT_EQ(approvalLines(802, req, 0),
              lines("ReqNo<F>55|Acct<F>2002|ReqOn<F>03/15/2024|Amt<F>1,234.50|Rem<F>pls %s"));
    EXPECT_TRUE(approvalLines(700, req, 0).empty());
    // An open request has nothing approved yet: its receipt shows the amount asked for, as every
    // window shows an amount.
    info->requestedAmount = platform::Decimal::fromInt64(1000);
    info->approvedAmount = platform::Decimal();
    EXPECT_EQ(approvalLines(801, req, 0)[5], testing_support::wireText("Amt<F>1,000.00"));
    EXPECT_EQ(approvalLines(802, req, 0)[3], testing_support::wireText("Amt<F>1,000.00"));

    info->approvedAmount =
        *platform::Decimal::fromString("0.125"); // two decimals round half away from zero, as every amount
    struct Case {
        std::int64_t subType, action;
        std::string title, message;
    };
    for (const Case& c :
         {Case{1, 930, "Dep approved", "Acct : 1001\nAmt : 0.13"},
          Case{1, 931, "Dep done", "Acct : 1001\nAmt : 0.13"},
          Case{2, 930, "Wd approved", "Acct : 2002\nAmt : 0.13"},
          Case{2, 931, "Wd done", "Acct : 2002\nAmt : 0.13"}, Case{3, 930, "", ""}, Case{1, 929, "", ""}}) {
        req.approvalSubType = c.subType;
        const ApprovalBanner b = approvalBanner(c.action, req, 0);
        EXPECT_EQ(b.title, c.title) << c.subType << " " << c.action;
        EXPECT_EQ(b.message, c.message) << c.subType << " " << c.action;
    }
}

// A wired session's funding room, its replies collected.
class FundingReplies : public ::testing::Test {
protected:
    void SetUp() override {
        platform::RunLoop::main().bindToCurrentThread();
        services.notifications = std::make_shared<sessiontest::FakeNotifications>();
        services.requests = std::make_shared<sessiontest::FakeRequests>();
        services.userDefaults = defaults.get();
        wired = wireSession(app, app.loginData(), services);
        wired.funding->setListeners([this](const interfaces::FundingReply& r) { replies.push_back(r); }, {});
    }
    void TearDown() override {
        wired.business.reset();
        platform::RunLoop::main().discardPending();
    }

    sessiontest::FakeApplication app;
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    BusinessServices services;
    WiredSession wired;
    std::vector<interfaces::FundingReply> replies;
};

// The login's list of requests can bring a request's record before the answer to the request itself.
TEST_F(FundingReplies, TheAnswerToARequestIsToldOnceEvenWhenTheListBroughtItsRecordFirst) {
    SessionFunding& funding = *wired.funding;

    // Request 55, open, listed by the data service before its answer arrives.
    funding.fillApprovalRequests({"55\x05"
                                  "1\x05"
                                  "1\x05"
                                  "0\x05"
                                  "0\x05"
                                  "20240601090000\x05"
                                  "0\x05"
                                  "7\x05"
                                  "June\x05"
                                  "1"});
    const std::vector<std::string> answer = {"10=694",
                                             "1035=801",
                                             "1054=55",
                                             "1055=1",
                                             "1059=55\x05"
                                             "9055\x05"
                                             "20003\x05"
                                             "0\x05"
                                             "750\x05"
                                             "0\x05"
                                             "1",
                                             "1060=0",
                                             "1063=1",
                                             "1040=7",
                                             "535=June"};
    funding.createApprovalAction(801, answer);
    funding.createApprovalAction(801, answer); // a repeat tells nothing new
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].kind, interfaces::FundingReply::Kind::DepositRequested);
    EXPECT_EQ(replies[0].id, 55u);
    const ApprovalReq& request = *funding.collections().approvalRequests.at(55);
    ASSERT_TRUE(request.information);
    EXPECT_EQ(request.information->beneficiaryAccount, 20003u);
    EXPECT_EQ(request.information->requestedAmount, platform::Decimal::fromInt64(750));
}

TEST_F(FundingReplies, GatewayAndApprovalRepliesReadIntoTheirRecords) {
    SessionFunding& funding = *wired.funding;
    const auto message = [](std::vector<std::string> fields) {
        MessageBase m;
        m.setMessageArray(std::move(fields));
        return m;
    };

    // A repeated tag keeps its last value; a piece without "<tag>=" is passed over.
    funding.payGateMasterResponse(
        message({"10=94", "147=40", "147=41", "19=9", "34=7", "145=3", "535=note", "1152=a@b.test",
                 "551=TK-41", "1038=250.5", "1040=1001", "572=1", "1058=20240102030405", "junk"}));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].kind, interfaces::FundingReply::Kind::PayGateStarted);
    const PayGateTransaction& tx = **funding.collections().payGateTransactions.get("41");
    EXPECT_EQ(std::tie(tx.requestId, tx.clientSessionId, tx.accountId, tx.payGateId, tx.requestedByUserId),
              std::tuple(41u, 9u, 7u, 3u, 1001u));
    EXPECT_EQ(std::tie(tx.remarks, tx.email, tx.transactionKey), std::tuple("note", "a@b.test", "TK-41"));
    EXPECT_EQ(tx.payRequestAmount, *platform::Decimal::fromString("250.5"));
    EXPECT_EQ(tx.status, 1);
    EXPECT_EQ(tx.requestTime, wallTimeFromWire("20240102030405"));
    EXPECT_FALSE(tx.payGate);

    // Status: its state replaces the held one (0 when missing); a missing time clears, an empty one keeps.
    funding.payGateStatusResponse(message({"10=98", "147=41", "572=2", "150=4", "49=1", "146=20240102030506",
                                           "148=20240102030607", "149=20240102030708"}));
    EXPECT_EQ(std::tie(tx.status, tx.apiStatus, tx.isClosed), std::tuple(2, 4, true));
    EXPECT_EQ(tx.initiatedTime, wallTimeFromWire("20240102030506"));
    funding.payGateStatusResponse(message({"10=98", "147=41", "148=", "149=20240102030809"}));
    EXPECT_EQ(std::tie(tx.status, tx.apiStatus, tx.isClosed), std::tuple(0, 0, false));
    EXPECT_FALSE(tx.initiatedTime);
    EXPECT_EQ(tx.redirectedTime, wallTimeFromWire("20240102030607"));
    EXPECT_EQ(tx.notifiedTime, wallTimeFromWire("20240102030809"));
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[1].status, 2);

    // A withdrawal request, then updates: a status tag sets its flag only when present, and 929 takes
    // the amounts of the record it carries.
    funding.createApprovalAction(802, {"10=694", "1054=60", "1055=1",
                                       "1059=60\x05"
                                       "1\x05"
                                       "0\x05"
                                       "20004\x05"
                                       "300\x05"
                                       "0\x05"
                                       "2",
                                       "1060=0", "1063=2", "1040=1001", "1058=20240601090000", "535=Rent",
                                       "147=0"});
    const ApprovalReq& request = *funding.collections().approvalRequests.at(60);
    EXPECT_EQ(std::tie(request.approvalRequestId, request.approvalType, request.requestedByUserId),
              std::tuple(60u, 2, 1001u));
    EXPECT_EQ(request.remarks, "Rent");
    EXPECT_EQ(request.requestedDateTime, wallTimeFromWire("20240601090000"));
    EXPECT_EQ(std::tie(request.isOpen, request.isReadyToPost, request.isRequestSentToCMS),
              std::tuple(true, false, false));
    funding.createApprovalAction(927, {"10=694", "1054=60", "1057=1", "1064=77"});
    EXPECT_EQ(std::tie(request.isOpen, request.isReadyToPost, request.refRequestId),
              std::tuple(true, true, 77u));
    funding.createApprovalAction(929, {"10=694", "1054=60", "1055=0", "1056=Y",
                                       "1059=60\x05"
                                       "1\x05"
                                       "0\x05"
                                       "20004\x05"
                                       "310\x05"
                                       "290",
                                       "1060=1"});
    EXPECT_EQ(std::tie(request.isOpen, request.isRequestSentToCMS), std::tuple(false, true));
    EXPECT_EQ(request.information->requestedAmount, platform::Decimal::fromInt64(310));
    EXPECT_EQ(request.information->approvedAmount, platform::Decimal::fromInt64(290));
    EXPECT_EQ(replies.back().kind, interfaces::FundingReply::Kind::ApprovalUpdated);
}

} // namespace
