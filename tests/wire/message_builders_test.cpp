#include "support/wire_text.h"
#include "wire/message_builders.h"

#include "wire/message_golden.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace {

using namespace tc;

using namespace golden;
using testing_support::wireText;

TEST(MessageBuilders, EveryBuilderWritesItsOwnTagsInItsOwnOrder) {
    std::set<std::string_view> seen;
    for (const Golden& g : goldenLayouts()) {
        SCOPED_TRACE(fmt::format("{} sub-type {}", g.builder, g.sub));
        MessageBase m = messageOf(g.type, g.field, g.sub);
        m.setMessageDataDictionary(everyTag(g.type));
        const ComposedMessage c = composeMessage(m);
        ASSERT_EQ(c.status, ComposeStatus::Built);
        ASSERT_NE(c.layout, nullptr);
        EXPECT_EQ(c.layout->builder, g.builder);
        EXPECT_EQ(c.framed, asciiFrame(g.fields));
        EXPECT_EQ(c.bodyLength, g.fields.size());
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

// Frame lengths count characters: worked out by hand for each golden frame.
TEST(MessageBuilders, PingFrameCountsThirtyOne) {
    MessageBase m = messageOf(1018);
    setFields(m, "10=1018|20=5|21=20240102030405|23=jdoe"); // the ping lists no user name
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, wireText("<B>31<F>10=1018<F>20=5<F>21=20240102030405<F><E>"));
    EXPECT_EQ(c.bodyLength, 31u);
}

TEST(MessageBuilders, LoginWithRealisticValues) {
    MessageBase m = messageOf(32);
    setFields(m, "10=32|23=jdoe|18=s3cret!|20=0|19=1|563=TradeDesk|114=4.2.1|105=192.168.1.20|"
                 "1018=ws-17#Debian GNU/Linux 12|504=John Doe|160=AMP|21=20240315093000");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed,
              wireText("<B>146<F>10=32<F>23=jdoe<F>18=s3cret!<F>20=0<F>19=1<F>563=TradeDesk<F>114=4.2.1<F>"
                       "105=192.168.1.20<F>1018=ws-17#Debian GNU/Linux 12<F>504=John Doe<F>160=AMP<F>"
                       "21=20240315093000<F><E>"));
}

TEST(MessageBuilders, NewOrderWithEmptyPricesAndMissingTimeInForce) {
    MessageBase m = messageOf(60, Sub::NewOrder, 0);
    // 43 left out: no time-in-force value, so it goes out as "(null)"; 20 and 21 put by habit.
    setFields(m, "10=60|34=100234|23=jdoe|33=512|19=REF77|12=EURUSD|32=29|117=3|37=1.00|38=1.08512|39=|40=|"
                 "90=0|36=45|77=-1|24=0|56=1.08510|54=1.08512|61=1.08511|60=1.08730|62=1.08201|"
                 "67=20240315093000|78=20240315093001|21=20240315093000|20=7");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    // Tag 60 inside type 60 is the high price; 39 and 40 empty; 43 "(null)"; no 20 or 21.
    EXPECT_EQ(c.framed,
              wireText("<B>212<F>10=60<F>34=100234<F>23=jdoe<F>33=512<F>19=REF77<F>12=EURUSD<F>32=29<F>"
                       "117=3<F>37=1.00<F>38=1.08512<F>39=<F>40=<F>90=0<F>36=45<F>77=-1<F>24=0<F>"
                       "43=(null)<F>56=1.08510<F>54=1.08512<F>61=1.08511<F>60=1.08730<F>62=1.08201<F>"
                       "67=20240315093000<F>78=20240315093001<F><E>"));
}

TEST(MessageBuilders, AcknowledgementCarriesEmptyTagAndRecordSeparator) {
    MessageBase m = messageOf(608);
    setFields(m, "10=608|507=|505=Desk<C>42|504=jdoe|23=jdoe|19=REF77|21=20240315093000");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, wireText("<B>68<F>10=608<F>507=<F>505=Desk<C>42<F>504=jdoe<F>23=jdoe<F>19=REF77<F>"
                                 "21=20240315093000<F><E>"));
}

TEST(MessageBuilders, NonAsciiLettersCountOneEach) {
    MessageBase m = messageOf(1023, Sub::DataService, 11);
    setFields(m, "10=1023|151=resourcesearch|152=1000|153=1|159=Caf\xC3\xA9 Men\xC3\xBC<C>CAL<R>|160=1|20=43|"
                 "115=901|23=jdoe|19=REF77|21=20240315093000");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    // 118 bytes, but e-acute and u-umlaut count one each.
    EXPECT_EQ(c.bodyLength, 116u);
    EXPECT_EQ(c.framed, wireText("<B>116<F>10=1023<F>151=resourcesearch<F>152=1000<F>153=1<F>"
                                 "159=Caf\xC3\xA9 Men\xC3\xBC<C>CAL<R><F>160=1<F>20=43<F>115=901<F>23=jdoe<F>"
                                 "19=REF77<F>21=20240315093000<F><E>"));
}

TEST(MessageBuilders, MissingTagsGoOutAsNull) {
    MessageBase m = messageOf(1002); // nothing in the dictionary, not even the type
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, asciiFrame(body("10=(null)|23=(null)|19=(null)|21=(null)")));
}

TEST(MessageBuilders, TypeTenComesFromTheDictionaryNotTheType) {
    MessageBase m = messageOf(1018);
    setFields(m, "10=1019|20=1|21=20240102030405");
    const ComposedMessage c = composeMessage(m);
    ASSERT_EQ(c.status, ComposeStatus::Built);
    EXPECT_EQ(c.framed, asciiFrame(body("10=1019|20=1|21=20240102030405")));
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
    m.setDsRequestType(10);
    m.setEditOrderRequestType(0);
    ASSERT_NE(findLayout(m), nullptr);
    EXPECT_EQ(findLayout(m)->builder, "BuildOffsetOrderRequestMessage");
    MessageBase d = messageOf(1023, Sub::DataService, 12);
    d.setNewOrderRequestType(5);
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
        {60, Sub::NewOrder, 0, 38, wireText("1.08<F>60=9"), ComposeStatus::SeparatorInValue},
        {60, Sub::NewOrder, 0, 37, wireText("<B>"), ComposeStatus::SeparatorInValue},
        {72, Sub::EditOrder, 2, 12, wireText("EUR<E>USD"), ComposeStatus::SeparatorInValue},
        {603, Sub::None, 0, 17, "hi\x04", ComposeStatus::SeparatorInValue},
        // Record separators outside the record text would cut the server's tables.
        {603, Sub::None, 0, 17, wireText("a<C>b"), ComposeStatus::SeparatorInValue},
        {37, Sub::None, 0, 103, wireText("pw<R>"), ComposeStatus::SeparatorInValue},
        {1040, Sub::None, 0, 12, wireText("X<S>"), ComposeStatus::SeparatorInValue},
        // Frame bytes are refused inside record texts too.
        {1023, Sub::DataService, 9, 159, wireText("7<C>1001<F><R>"), ComposeStatus::SeparatorInValue},
        {82, Sub::None, 0, 583, wireText("<B>"), ComposeStatus::SeparatorInValue},
        {608, Sub::None, 0, 505,
         "R\x04"
         "1",
         ComposeStatus::SeparatorInValue},
        // A record text is only allowed where its own layout carries it: 159 of a plain request is text.
        {1023, Sub::DataService, 0, 23, wireText("j<C>"), ComposeStatus::SeparatorInValue},
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
    const std::string record = wireText("7<C>1001<C>2<C><R>x<S>");
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
    m.setValue(23, wireText("bad<F><B>"));
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
