// The funding requests' frames, spelled out from the protocol's tag lists, and the lines and banners
// of approval notices.
#include "client/session_wiring.h"
#include "funding/session_funding.h"
#include "model/records/account_details.h"
#include "model/text/event_texts.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/business/business_test_support.h"
#include "support/wire_text.h"
#include "wire/message_builders.h"
#include "wire/message_golden.h"

#include <gtest/gtest.h>

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
                    "Amt<F>1234.50|Bank<F>Bank A|Branch<F>North|Src<F>SRC1|Dst<F>DST2|Rem<F>pls %s"));
    EXPECT_EQ(approvalLines(802, req, 0),
              lines("ReqNo<F>55|Acct<F>2002|ReqOn<F>03/15/2024|Amt<F>1234.50|Rem<F>pls %s"));
    EXPECT_TRUE(approvalLines(700, req, 0).empty());

    info->approvedAmount =
        *platform::Decimal::fromString("0.125"); // two decimals round it as the double prints: to even
    struct Case {
        std::int64_t subType, action;
        std::string title, message;
    };
    for (const Case& c :
         {Case{1, 930, "Dep approved", "Acct : 1001\nAmt : 0.12"},
          Case{1, 931, "Dep done", "Acct : 1001\nAmt : 0.12"},
          Case{2, 930, "Wd approved", "Acct : 2002\nAmt : 0.12"},
          Case{2, 931, "Wd done", "Acct : 2002\nAmt : 0.12"}, Case{3, 930, "", ""}, Case{1, 929, "", ""}}) {
        req.approvalSubType = c.subType;
        const ApprovalBanner b = approvalBanner(c.action, req, 0);
        EXPECT_EQ(b.title, c.title) << c.subType << " " << c.action;
        EXPECT_EQ(b.message, c.message) << c.subType << " " << c.action;
    }
}

// The login's list of requests can bring a request's record before the answer to the request itself.
TEST(FundingNotices, TheAnswerToARequestIsToldOnceEvenWhenTheListBroughtItsRecordFirst) {
    platform::RunLoop::main().bindToCurrentThread();
    sessiontest::FakeApplication app;
    auto defaults = platform::UserDefaults::inMemory();
    BusinessServices services;
    services.notifications = std::make_shared<sessiontest::FakeNotifications>();
    services.requests = std::make_shared<sessiontest::FakeRequests>();
    services.userDefaults = defaults.get();
    WiredSession wired = wireSession(app, app.loginData(), services);
    SessionFunding& funding = *wired.funding;
    std::vector<interfaces::FundingReply> replies;
    funding.setListeners([&](const interfaces::FundingReply& r) { replies.push_back(r); }, {});

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

    wired.business.reset();
    platform::RunLoop::main().discardPending();
}

} // namespace
