#include "connection/message_builders.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace {

// Fields ended by 0x03, as the frame carries them. Written out per test from the tag lists of the
// protocol, so the layouts in the code are checked against an independent spelling.
std::string body(std::initializer_list<std::string_view> fields) {
    std::string out;
    for (std::string_view f : fields) {
        out.append(f);
        out.push_back('\x03');
    }
    return out;
}

// Frame of an ASCII body: its byte count is its length.
std::string asciiFrame(const std::string& b) {
    std::string out(1, '\x01');
    out += std::to_string(b.size());
    out += '\x03';
    out += b;
    out += '\x02';
    return out;
}

// Every tag any message of the client uses, plus a few no layout lists, each holding "v<tag>".
MessageBase::Dictionary everyTag(std::int64_t type) {
    static const int kTags[] = {
        1,    12,   17,   18,   19,   20,   21,   23,   24,   27,   32,   33,   34,   36,   37,   38,   39,
        40,   43,   54,   56,   60,   61,   62,   67,   77,   78,   79,   83,   90,   91,   103,  104,  105,
        114,  115,  117,  125,  145,  151,  152,  153,  159,  160,  501,  502,  503,  504,  505,  507,  520,
        530,  535,  551,  563,  564,  573,  575,  576,  581,  583,  1018, 1025, 1026, 1033, 1035, 1038, 1040,
        1059, 1060, 1063, 1132, 1133, 1134, 1135, 1136, 1137, 1138, 1139, 1140, 1152, 1153, 9999};
    MessageBase::Dictionary d;
    for (int t : kTags)
        d.emplace(t, std::string("v").append(std::to_string(t)));
    d[10] = std::to_string(type);
    return d;
}

enum class Sub { None, NewOrder, EditOrder, DataService };

MessageBase messageOf(std::int64_t type, Sub field = Sub::None, int sub = 0) {
    MessageBase m;
    m.setMessagetype(type);
    if (field == Sub::NewOrder)
        m.setNeworderrequestType(sub);
    if (field == Sub::EditOrder)
        m.setEditorderrequestType(sub);
    if (field == Sub::DataService)
        m.setDsrequestType(sub);
    return m;
}

enum class Route { Stream, Initial, Socket, SocketMultiFrame };

struct Golden {
    std::int64_t type;
    Sub field;
    int sub;
    std::string_view builder;
    Route route;
    std::initializer_list<std::string_view> fields;
};

// Each builder over a dictionary holding every tag: only its own tags, in its own order.
const Golden kGolden[] = {
    {32,
     Sub::None,
     0,
     "BuildLoginRequestMessage",
     Route::Initial,
     {"10=32", "23=v23", "18=v18", "20=v20", "19=v19", "563=v563", "114=v114", "105=v105", "1018=v1018",
      "504=v504", "160=v160", "21=v21"}},
    {1026,
     Sub::None,
     0,
     "BuildDemoUserCreationRequestMessage",
     Route::Initial,
     {"10=1026", "1152=v1152", "1033=v1033", "564=v564", "1132=v1132", "1133=v1133", "1134=v1134",
      "1135=v1135", "1136=v1136", "1137=v1137", "1138=v1138", "1139=v1139", "1140=v1140", "20=v20", "19=v19",
      "105=v105", "1018=v1018", "504=v504"}},
    {1018, Sub::None, 0, "BuildPingConnectionRequestMessage", Route::Stream, {"10=1018", "20=v20", "21=v21"}},
    {37,
     Sub::None,
     0,
     "BuildPasswordChangeRequestMessage",
     Route::Stream,
     {"10=37", "23=v23", "104=v104", "103=v103", "20=v20", "19=v19", "21=v21"}},
    {1002,
     Sub::None,
     0,
     "buildControlClientMessageRequest",
     Route::Socket,
     {"10=1002", "23=v23", "19=v19", "21=v21"}},
    {693,
     Sub::None,
     0,
     "buildApprovalRequest",
     Route::Stream,
     {"10=693", "1063=v1063", "1035=v1035", "535=v535", "20=v20", "1040=v1040", "1059=v1059", "1060=v1060",
      "23=v23", "19=v19", "21=v21"}},
    {93,
     Sub::None,
     0,
     "buildPayGateMasterRequest",
     Route::Stream,
     {"10=93", "145=v145", "1152=v1152", "34=v34", "1038=v1038", "564=v564", "535=v535", "20=v20",
      "1040=v1040", "23=v23", "19=v19", "21=v21"}},
    {60,
     Sub::NewOrder,
     0,
     "BuildPlaceNewOrderRequestMessage",
     Route::Stream,
     {"10=60",  "34=v34", "23=v23", "33=v33", "19=v19", "12=v12", "32=v32", "117=v117",
      "37=v37", "38=v38", "39=v39", "40=v40", "90=v90", "36=v36", "77=v77", "24=v24",
      "43=v43", "56=v56", "54=v54", "61=v61", "60=v60", "62=v62", "67=v67", "78=v78"}},
    {60,
     Sub::NewOrder,
     1,
     "BuildOffsetOrderRequestMessage",
     Route::Stream,
     {"10=60",    "34=v34", "125=v125", "23=v23", "33=v33", "19=v19", "12=v12", "32=v32",
      "117=v117", "37=v37", "38=v38",   "90=v90", "36=v36", "77=v77", "24=v24", "43=v43",
      "56=v56",   "54=v54", "61=v61",   "60=v60", "62=v62", "67=v67", "78=v78"}},
    {72,
     Sub::EditOrder,
     0,
     "BuildEditBracketOrderRequestMessage",
     Route::Stream,
     {"10=72",    "1035=v1035", "34=v34", "23=v23", "573=v573", "33=v33", "19=v19", "12=v12", "32=v32",
      "117=v117", "37=v37",     "38=v38", "39=v39", "40=v40",   "90=v90", "36=v36", "24=v24", "43=v43",
      "56=v56",   "54=v54",     "61=v61", "60=v60", "62=v62",   "67=v67", "78=v78"}},
    {72,
     Sub::EditOrder,
     1,
     "BuildEditWorkingOrderRequestMessage",
     Route::Stream,
     {"10=72",    "1035=v1035", "34=v34", "23=v23", "79=v79", "33=v33", "19=v19", "12=v12", "32=v32",
      "117=v117", "37=v37",     "38=v38", "39=v39", "40=v40", "90=v90", "36=v36", "24=v24", "43=v43",
      "56=v56",   "54=v54",     "61=v61", "60=v60", "62=v62", "67=v67", "78=v78"}},
    {72,
     Sub::EditOrder,
     2,
     "BuildEditWorkingOrderRequestMessage",
     Route::Stream,
     {"10=72",    "1035=v1035", "34=v34", "23=v23", "79=v79", "33=v33", "19=v19", "12=v12", "32=v32",
      "117=v117", "37=v37",     "38=v38", "39=v39", "40=v40", "90=v90", "36=v36", "24=v24", "43=v43",
      "56=v56",   "54=v54",     "61=v61", "60=v60", "62=v62", "67=v67", "78=v78"}},
    {77, Sub::None, 0, "BuildBulkOrderRequest", Route::Stream, {"10=77",  "23=v23",   "19=v19", "12=v12",
                                                                "32=v32", "117=v117", "38=v38", "39=v39",
                                                                "40=v40", "90=v90",   "36=v36", "77=v77",
                                                                "24=v24", "43=v43",   "56=v56", "54=v54",
                                                                "61=v61", "60=v60",   "62=v62", "67=v67",
                                                                "78=v78", "91=v91"}},
    {82,
     Sub::None,
     0,
     "buildClosePositionsRequest",
     Route::Stream,
     {"10=82", "583=v583", "20=v20", "23=v23", "19=v19", "21=v21"}},
    {1052,
     Sub::None,
     0,
     "BuildCloseHedgedPositions",
     Route::Stream,
     {"10=1052", "34=v34", "12=v12", "583=v583", "23=v23", "19=v19", "21=v21"}},
    {617,
     Sub::None,
     0,
     "BuildGetContacListInfoRequest",
     Route::Stream,
     {"10=617", "23=v23", "520=v520", "504=v504", "19=v19", "21=v21"}},
    {626,
     Sub::None,
     0,
     "BuildGetRecentConversationRequest",
     Route::Stream,
     {"10=626", "23=v23", "504=v504", "19=v19", "21=v21"}},
    {613,
     Sub::None,
     0,
     "BuildGetOfflineMessageRequest",
     Route::Stream,
     {"10=613", "23=v23", "504=v504", "19=v19", "21=v21"}},
    {615,
     Sub::None,
     0,
     "BuildGetRoomMessageRequest",
     Route::Stream,
     {"10=615", "23=v23", "502=v502", "501=v501", "504=v504", "19=v19", "21=v21"}},
    {608,
     Sub::None,
     0,
     "BuildChatMessageAcknowledgement",
     Route::Stream,
     {"10=608", "507=v507", "505=v505", "504=v504", "23=v23", "19=v19", "21=v21"}},
    {601,
     Sub::None,
     0,
     "BuildNewRoomCreationRequest",
     Route::Stream,
     {"10=601", "20=v20", "503=v503", "530=v530", "504=v504", "19=v19", "21=v21"}},
    {603,
     Sub::None,
     0,
     "BuildNewChatMessage",
     Route::Stream,
     {"10=603", "501=v501", "504=v504", "502=v502", "17=v17", "19=v19", "21=v21"}},
    {678,
     Sub::None,
     0,
     "BuildNewChatRequestToQueue",
     Route::Stream,
     {"10=678", "1026=v1026", "34=v34", "17=v17", "20=v20", "530=v530", "504=v504", "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     0,
     "BuildDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "20=v20", "115=v115", "23=v23", "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     1,
     "BuildEqityHitDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "160=v160", "153=v153", "20=v20", "34=v34", "115=v115", "23=v23",
      "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     2,
     "BuildFinancialTransactionsDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "34=v34", "575=v575", "576=v576", "551=v551", "20=v20",
      "115=v115", "23=v23", "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     3,
     "BuildAccountStatementDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "34=v34", "575=v575", "576=v576", "20=v20", "115=v115",
      "23=v23", "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     4,
     "BuildBankDetailsDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "34=v34", "1132=v1132", "20=v20", "115=v115", "23=v23",
      "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     5,
     "BuildExecutedPositionDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "575=v575", "576=v576", "20=v20", "115=v115", "23=v23",
      "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     6,
     "buildInstrumentDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "160=v160", "153=v153", "20=v20", "115=v115", "23=v23", "19=v19",
      "21=v21"}},
    {1023,
     Sub::DataService,
     7,
     "buildSessionScheduleDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "581=v581", "20=v20", "115=v115", "23=v23", "19=v19",
      "21=v21"}},
    {1023,
     Sub::DataService,
     8,
     "buildUserMapWithMyAccountDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "34=v34", "20=v20", "115=v115", "23=v23", "19=v19",
      "21=v21"}},
    {1023,
     Sub::DataService,
     9,
     "buildEditUserAccountAccessDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "1132=v1132", "159=v159", "20=v20", "115=v115", "23=v23",
      "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     10,
     "buildCancelledOrderHistoryDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "34=v34", "575=v575", "576=v576", "20=v20", "115=v115",
      "23=v23", "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     11,
     "buildDSRequestResourceSearch",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "159=v159", "160=v160", "20=v20", "115=v115", "23=v23",
      "19=v19", "21=v21"}},
    {1023,
     Sub::DataService,
     12,
     "buildDSRequestResourceDownload",
     Route::SocketMultiFrame,
     {"10=1023", "151=v151", "152=v152", "153=v153", "159=v159", "20=v20", "115=v115", "23=v23", "19=v19",
      "21=v21"}},
    {1023,
     Sub::DataService,
     13,
     "buildAllPayGateSettingsDSRequest",
     Route::Socket,
     {"10=1023", "151=v151", "152=v152", "153=v153", "20=v20", "115=v115", "23=v23", "19=v19", "21=v21"}},
    {1040,
     Sub::None,
     0,
     "BuildChartDataRequest",
     Route::Socket,
     {"10=1040", "12=v12", "83=v83", "20=v20", "1025=v1025", "23=v23", "19=v19", "21=v21"}},
};

TEST(MessageBuilders, EveryBuilderWritesItsOwnTagsInItsOwnOrder) {
    std::set<std::string_view> seen;
    for (const Golden& g : kGolden) {
        SCOPED_TRACE(fmt::format("{} sub-type {}", g.builder, g.sub));
        MessageBase m = messageOf(g.type, g.field, g.sub);
        m.setMessageDataDictionary(everyTag(g.type));
        const ComposedMessage c = composeMessage(m);
        ASSERT_EQ(c.status, ComposeStatus::Built);
        ASSERT_NE(c.layout, nullptr);
        EXPECT_EQ(c.layout->builder, g.builder);
        const std::string expected = body(g.fields);
        EXPECT_EQ(c.framed, asciiFrame(expected));
        EXPECT_EQ(c.bodyLength, expected.size());
        EXPECT_EQ(c.layout->isZMQ(), g.route == Route::Socket || g.route == Route::SocketMultiFrame);
        EXPECT_EQ(c.layout->isInitialRequest(), g.route == Route::Initial);
        EXPECT_EQ(c.layout->receivingStrategy, g.route == Route::SocketMultiFrame ? 1 : 0);
        EXPECT_EQ(c.layout->hook == BuildHook::PingSent, g.type == 1018);
        EXPECT_EQ(layoutNamed(g.builder), c.layout);
        // Composing reads the message without changing it.
        EXPECT_EQ(m.messageDataDictionary(), everyTag(g.type));
        seen.insert(g.builder);
    }
    // All 37 builders are covered, and the code has no others.
    EXPECT_EQ(seen.size(), 37u);
    EXPECT_EQ(messageLayouts().size(), 37u);
    for (const MessageLayout& l : messageLayouts())
        EXPECT_EQ(seen.count(l.builder), 1u) << l.builder;
}

TEST(MessageBuilders, PingFrameCountsThirtyOne) {
    MessageBase m = messageOf(1018);
    m.setValue(10, 1018);
    m.setValue(20, 5);
    m.setValue(21, "20240102030405");
    m.setValue(23, "jdoe"); // the ping lists no user name
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, "\x01"
                        "31\x03"
                        "10=1018\x03"
                        "20=5\x03"
                        "21=20240102030405\x03"
                        "\x02");
    EXPECT_EQ(c.bodyLength, 31u);
}

TEST(MessageBuilders, LoginWithRealisticValues) {
    MessageBase m = messageOf(32);
    m.setValue(10, 32);
    m.setValue(23, "jdoe");
    m.setValue(18, "s3cret!");
    m.setValue(20, "0");
    m.setValue(19, "1");
    m.setValue(563, "TradeDesk");
    m.setValue(114, "4.2.1");
    m.setValue(105, "192.168.1.20");
    m.setValue(1018, "ws-17#Debian GNU/Linux 12");
    m.setValue(504, "John Doe");
    m.setValue(160, "AMP");
    m.setValue(21, "20240315093000");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, "\x01"
                        "146\x03"
                        "10=32\x03"
                        "23=jdoe\x03"
                        "18=s3cret!\x03"
                        "20=0\x03"
                        "19=1\x03"
                        "563=TradeDesk\x03"
                        "114=4.2.1\x03"
                        "105=192.168.1.20\x03"
                        "1018=ws-17#Debian GNU/Linux 12\x03"
                        "504=John Doe\x03"
                        "160=AMP\x03"
                        "21=20240315093000\x03"
                        "\x02");
}

MessageBase newOrder() {
    MessageBase m = messageOf(60, Sub::NewOrder, 0);
    m.setValue(10, 60);
    m.setValue(34, "100234");
    m.setValue(23, "jdoe");
    m.setValue(33, "512");
    m.setValue(19, "REF77");
    m.setValue(12, "EURUSD");
    m.setValue(32, "29");
    m.setValue(117, "3");
    m.setValue(37, "1.00");
    m.setValue(38, "1.08512");
    m.setValue(39, "");
    m.setValue(40, "");
    m.setValue(90, "0");
    m.setValue(36, "45");
    m.setValue(77, "-1");
    m.setValue(24, "0");
    // 43 left out: no time-in-force value, so it goes out as "(null)".
    m.setValue(56, "1.08510");
    m.setValue(54, "1.08512");
    m.setValue(61, "1.08511");
    m.setValue(60, "1.08730");
    m.setValue(62, "1.08201");
    m.setValue(67, "20240315093000");
    m.setValue(78, "20240315093001");
    return m;
}

TEST(MessageBuilders, NewOrderWithEmptyPricesAndMissingTimeInForce) {
    MessageBase m = newOrder();
    m.setValue(21, "20240315093000"); // put by habit, not part of an order
    m.setValue(20, 7);
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    // Tag 60 inside type 60 is the high price; 39 and 40 empty; 43 "(null)"; no 20 or 21.
    EXPECT_EQ(c.framed, "\x01"
                        "212\x03"
                        "10=60\x03"
                        "34=100234\x03"
                        "23=jdoe\x03"
                        "33=512\x03"
                        "19=REF77\x03"
                        "12=EURUSD\x03"
                        "32=29\x03"
                        "117=3\x03"
                        "37=1.00\x03"
                        "38=1.08512\x03"
                        "39=\x03"
                        "40=\x03"
                        "90=0\x03"
                        "36=45\x03"
                        "77=-1\x03"
                        "24=0\x03"
                        "43=(null)\x03"
                        "56=1.08510\x03"
                        "54=1.08512\x03"
                        "61=1.08511\x03"
                        "60=1.08730\x03"
                        "62=1.08201\x03"
                        "67=20240315093000\x03"
                        "78=20240315093001\x03"
                        "\x02");
}

TEST(MessageBuilders, AcknowledgementCarriesEmptyTagAndRecordSeparator) {
    MessageBase m = messageOf(608);
    m.setValue(10, 608);
    m.setValue(507, "");
    m.setValue(505, "Desk\x05"
                    "42");
    m.setValue(504, "jdoe");
    m.setValue(23, "jdoe");
    m.setValue(19, "REF77");
    m.setValue(21, "20240315093000");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, "\x01"
                        "68\x03"
                        "10=608\x03"
                        "507=\x03"
                        "505=Desk\x05"
                        "42\x03"
                        "504=jdoe\x03"
                        "23=jdoe\x03"
                        "19=REF77\x03"
                        "21=20240315093000\x03"
                        "\x02");
}

TEST(MessageBuilders, NonAsciiLettersCountOneEach) {
    MessageBase m = messageOf(1023, Sub::DataService, 11);
    m.setValue(10, 1023);
    m.setValue(151, "resourcesearch");
    m.setValue(152, "1000");
    m.setValue(153, "1");
    m.setValue(159, "Caf\xC3\xA9 Men\xC3\xBC\x05"
                    "CAL\x06");
    m.setValue(160, 1);
    m.setValue(20, 43);
    m.setValue(115, 901);
    m.setValue(23, "jdoe");
    m.setValue(19, "REF77");
    m.setValue(21, "20240315093000");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    // 118 bytes, but e-acute and u-umlaut count one each.
    EXPECT_EQ(c.bodyLength, 116u);
    EXPECT_EQ(c.framed, "\x01"
                        "116\x03"
                        "10=1023\x03"
                        "151=resourcesearch\x03"
                        "152=1000\x03"
                        "153=1\x03"
                        "159=Caf\xC3\xA9 Men\xC3\xBC\x05"
                        "CAL\x06\x03"
                        "160=1\x03"
                        "20=43\x03"
                        "115=901\x03"
                        "23=jdoe\x03"
                        "19=REF77\x03"
                        "21=20240315093000\x03"
                        "\x02");
}

TEST(MessageBuilders, MissingTagsGoOutAsNull) {
    MessageBase m = messageOf(1002); // nothing in the dictionary, not even the type
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, asciiFrame(body({"10=(null)", "23=(null)", "19=(null)", "21=(null)"})));
}

TEST(MessageBuilders, TypeTenComesFromTheDictionaryNotTheType) {
    MessageBase m = messageOf(1018);
    m.setValue(10, "1019");
    m.setValue(20, 1);
    m.setValue(21, "20240102030405");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, asciiFrame(body({"10=1019", "20=1", "21=20240102030405"})));
}

TEST(MessageBuilders, UnknownTypesAndSubtypesHaveNoLayout) {
    for (std::int64_t type : {0, 1, 33, 38, 76, 609, 610, 611, 612, 614, 616, 1019, 1024, -60}) {
        MessageBase m = messageOf(type);
        m.setMessageDataDictionary(everyTag(type));
        const ComposedMessage c = composeMessage(m);
        EXPECT_EQ(c.status, ComposeStatus::NoLayout) << type;
        EXPECT_TRUE(c.framed.empty());
    }
    for (int sub : {2, 3, -1, 16, 1 << 20})
        EXPECT_EQ(composeMessage(messageOf(60, Sub::NewOrder, sub)).status, ComposeStatus::NoLayout) << sub;
    for (int sub : {3, -1, 15, 16, 17})
        EXPECT_EQ(composeMessage(messageOf(72, Sub::EditOrder, sub)).status, ComposeStatus::NoLayout) << sub;
    for (int sub : {14, 15, -1, 16, 31})
        EXPECT_EQ(composeMessage(messageOf(1023, Sub::DataService, sub)).status, ComposeStatus::NoLayout)
            << sub;
}

TEST(MessageBuilders, SubtypeFieldsOfOtherTypesDoNotChooseTheLayout) {
    // A data-service sub-type left over from an earlier request does not disturb an order.
    MessageBase m = messageOf(60, Sub::NewOrder, 1);
    m.setDsrequestType(10);
    m.setEditorderrequestType(0);
    ASSERT_NE(findLayout(m), nullptr);
    EXPECT_EQ(findLayout(m)->builder, "BuildOffsetOrderRequestMessage");
    MessageBase d = messageOf(1023, Sub::DataService, 12);
    d.setNeworderrequestType(5);
    ASSERT_NE(findLayout(d), nullptr);
    EXPECT_EQ(findLayout(d)->builder, "buildDSRequestResourceDownload");
}

TEST(MessageBuilders, NoTwoLayoutsClaimTheSameMessage) {
    for (const MessageLayout& l : messageLayouts()) {
        for (const MessageLayout& other : messageLayouts()) {
            if (&other == &l || other.type != l.type)
                continue;
            // Two rows of one type must both be chosen by the same sub-type field, on disjoint values.
            EXPECT_NE(l.subtypeField, SubtypeField::None) << l.builder;
            EXPECT_EQ(l.subtypeField, other.subtypeField) << l.builder;
            EXPECT_EQ(l.subtypeMask & other.subtypeMask, 0) << l.builder << " / " << other.builder;
        }
        std::set<std::uint16_t> unique(l.tags.view().begin(), l.tags.view().end());
        EXPECT_EQ(unique.size(), l.tags.count) << l.builder << " lists a tag twice";
        EXPECT_EQ(l.tags.view().front(), 10) << l.builder;
    }
}

// Separator bytes in values: refused, never cleaned.
struct Poisoned {
    std::int64_t type;
    Sub field;
    int sub;
    int tag;
    std::string value;
    ComposeStatus expected;
};

TEST(MessageBuilders, ValuesThatWouldCutTheFrameAreRefused) {
    const Poisoned cases[] = {
        {60, Sub::NewOrder, 0, 38,
         "1.08\x03"
         "60=9",
         ComposeStatus::SeparatorInValue},
        {60, Sub::NewOrder, 0, 37, "\x01", ComposeStatus::SeparatorInValue},
        {72, Sub::EditOrder, 2, 12, "EUR\x02USD", ComposeStatus::SeparatorInValue},
        {603, Sub::None, 0, 17, "hi\x04", ComposeStatus::SeparatorInValue},
        // Record separators outside the record text would cut the server's tables.
        {603, Sub::None, 0, 17,
         "a\x05"
         "b",
         ComposeStatus::SeparatorInValue},
        {37, Sub::None, 0, 103, "pw\x06", ComposeStatus::SeparatorInValue},
        {1040, Sub::None, 0, 12, "X\x07", ComposeStatus::SeparatorInValue},
        // Frame bytes are refused inside record texts too.
        {1023, Sub::DataService, 9, 159,
         "7\x05"
         "1001\x03\x06",
         ComposeStatus::SeparatorInValue},
        {82, Sub::None, 0, 583, "\x01", ComposeStatus::SeparatorInValue},
        {608, Sub::None, 0, 505,
         "R\x04"
         "1",
         ComposeStatus::SeparatorInValue},
        // A record text is only allowed where its own layout carries it: 159 of a plain request is text.
        {1023, Sub::DataService, 0, 23, "j\x05", ComposeStatus::SeparatorInValue},
        {1026, Sub::None, 0, 1139, "Jos\xC3", ComposeStatus::InvalidText},
        {617, Sub::None, 0, 504, "\xFF", ComposeStatus::InvalidText},
    };
    for (const Poisoned& p : cases) {
        SCOPED_TRACE(fmt::format("type {} tag {}", p.type, p.tag));
        MessageBase m = messageOf(p.type, p.field, p.sub);
        m.setMessageDataDictionary(everyTag(p.type));
        m.setValue(p.tag, p.value);
        const ComposedMessage c = composeMessage(m);
        EXPECT_EQ(c.status, p.expected);
        EXPECT_EQ(c.refusedTag, p.tag);
        EXPECT_TRUE(c.framed.empty());
    }
}

TEST(MessageBuilders, RecordSeparatorsPassInRecordTexts) {
    struct Record {
        std::int64_t type;
        Sub field;
        int sub;
        int tag;
    };
    const std::string record = "7\x05"
                               "1001\x05"
                               "2\x05\x06"
                               "x\x07";
    for (const Record& r : {Record{1023, Sub::DataService, 9, 159}, Record{1023, Sub::DataService, 11, 159},
                            Record{1023, Sub::DataService, 12, 159}, Record{608, Sub::None, 0, 505},
                            Record{82, Sub::None, 0, 583}, Record{1052, Sub::None, 0, 583},
                            Record{693, Sub::None, 0, 1059}, Record{77, Sub::None, 0, 91}}) {
        SCOPED_TRACE(fmt::format("type {} tag {}", r.type, r.tag));
        MessageBase m = messageOf(r.type, r.field, r.sub);
        m.setMessageDataDictionary(everyTag(r.type));
        m.setValue(r.tag, record);
        const ComposedMessage c = composeMessage(m);
        ASSERT_EQ(c.status, ComposeStatus::Built);
        const std::string field = fmt::format("{}={}\x03", r.tag, record);
        EXPECT_NE(c.framed.find(field), std::string::npos);
    }
}

TEST(MessageBuilders, AnUnlistedTagMayHoldAnything) {
    // Only what reaches the wire is checked: tag 23 is not part of a room request.
    MessageBase m = messageOf(601);
    m.setMessageDataDictionary(everyTag(601));
    m.setValue(23, "bad\x03\x01");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed.find("23="), std::string::npos);
}

TEST(MessageBuilders, OverlongBodyIsRefused) {
    MessageBase m = messageOf(603);
    m.setMessageDataDictionary(everyTag(603));
    m.setValue(17, std::string(kMaxMessageBody, 'a'));
    const ComposedMessage c = composeMessage(m);
    EXPECT_EQ(c.status, ComposeStatus::TooLong);
    EXPECT_EQ(c.refusedTag, 17);
    // Just under the ceiling still goes.
    m.setValue(17, std::string(kMaxMessageBody / 2, 'a'));
    EXPECT_EQ(composeMessage(m).status, ComposeStatus::Built);
}

} // namespace
