#pragma once
// Expected frames of every outgoing builder (tests/fixtures/message_layouts.txt), shared by the
// composing and the sending tests.
#include "support/wire_text.h"
#include "wire/message_base.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tc::golden {

using testing_support::asciiFrame;
using testing_support::body;

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
    m.setMessageType(type);
    if (field == Sub::NewOrder)
        m.setNewOrderRequestType(sub);
    if (field == Sub::EditOrder)
        m.setEditOrderRequestType(sub);
    if (field == Sub::DataService)
        m.setDsRequestType(sub);
    return m;
}

// Sets the fields of "tag=value|tag=value" (values read by wireText) on the message.
inline void setFields(MessageBase& m, std::string_view fields) {
    while (!fields.empty()) {
        const std::size_t bar = fields.find('|');
        const std::string_view field = fields.substr(0, bar);
        const std::size_t eq = field.find('=');
        m.setValue(std::stoi(std::string(field.substr(0, eq))),
                   testing_support::wireText(field.substr(eq + 1)));
        if (bar == std::string_view::npos)
            break;
        fields.remove_prefix(bar + 1);
    }
}

enum class Route { Stream, Initial, Socket, SocketMultiFrame };

struct Golden {
    std::int64_t type;
    Sub field;
    int sub;
    std::string builder;
    Route route;
    std::string fields; // the body over everyTag(type): "10=<type>", then "<tag>=v<tag>"
};

// The layouts of tests/fixtures/message_layouts.txt.
inline const std::vector<Golden>& goldenLayouts() {
    static const std::vector<Golden> layouts = [] {
        std::vector<Golden> out;
        std::istringstream lines(testing_support::fixtureText("message_layouts.txt"));
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream words(line);
            Golden g;
            std::string field, route;
            words >> g.type >> field >> g.sub >> g.builder >> route;
            g.field = field == "order"  ? Sub::NewOrder
                      : field == "edit" ? Sub::EditOrder
                      : field == "data" ? Sub::DataService
                                        : Sub::None;
            g.route = route == "initial"  ? Route::Initial
                      : route == "socket" ? Route::Socket
                      : route == "frames" ? Route::SocketMultiFrame
                                          : Route::Stream;
            for (int tag; words >> tag;)
                g.fields += tag == 10 ? "10=" + std::to_string(g.type) + "\x03"
                                      : std::to_string(tag) + "=v" + std::to_string(tag) + "\x03";
            out.push_back(std::move(g));
        }
        return out;
    }();
    return layouts;
}

} // namespace tc::golden
