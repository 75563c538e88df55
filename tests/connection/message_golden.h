#pragma once
// Expected frames of every outgoing builder, spelled out from the protocol's tag lists, shared by the
// composing and the sending tests.
#include "connection/message_base.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tc::golden {

// Fields ended by 0x03, as the frame carries them. Written out per test from the tag lists of the
// protocol, so the layouts in the code are checked against an independent spelling.
inline std::string body(std::initializer_list<std::string_view> fields) {
    std::string out;
    for (std::string_view f : fields) {
        out.append(f);
        out.push_back('\x03');
    }
    return out;
}

// Frame of an ASCII body: its byte count is its length.
inline std::string asciiFrame(const std::string& b) {
    std::string out(1, '\x01');
    out += std::to_string(b.size());
    out += '\x03';
    out += b;
    out += '\x02';
    return out;
}

// Every tag any message of the client uses, plus a few no layout lists, each holding "v<tag>".
inline MessageBase::Dictionary everyTag(std::int64_t type) {
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

inline MessageBase messageOf(std::int64_t type, Sub field = Sub::None, int sub = 0) {
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
inline const Golden kGolden[] = {
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

} // namespace tc::golden
