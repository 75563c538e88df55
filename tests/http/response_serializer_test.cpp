#include "http/response_serializer.h"

#include <gtest/gtest.h>

#include <climits>

using namespace tc::http;

namespace {

HTTPURLResponse response(int status, std::string contentType) {
    HeaderFields h;
    if (!contentType.empty())
        h.set("Content-Type", contentType);
    return HTTPURLResponse(*URL::parse("http://h.test/doc"), status, h);
}

} // namespace

// Ranges merge when an insert closes a gap and split when a removal opens one.
TEST(ResponseSerializer, AcceptableStatusCodesAsRanges) {
    IndexSet codes(200, 299);
    EXPECT_EQ(codes.size(), 100u);
    EXPECT_TRUE(codes.contains(200) && codes.contains(299));
    EXPECT_FALSE(codes.contains(199) || codes.contains(300));
    codes.remove(250);
    EXPECT_FALSE(codes.contains(250));
    EXPECT_TRUE(codes.contains(249) && codes.contains(251));
    codes.insert(301);
    codes.insert(300); // joins 200-299 and 301
    codes.insert(250); // joins the halves again
    EXPECT_EQ(codes, IndexSet(200, 301));
    codes.insert(INT_MIN);
    codes.insert(INT_MAX);
    EXPECT_EQ(codes.size(), 104u);
    codes.remove(INT_MIN);
    EXPECT_FALSE(codes.contains(INT_MIN));
    EXPECT_EQ(IndexSet(5, 4).size(), 0u);
}

TEST(ResponseSerializer, StatusAndContentTypeRefusalsAndTheirChain) {
    auto plain = HTTPResponseSerializer::serializer();
    Bytes body = toBytes("<p>x</p>");
    std::optional<Error> error;
    auto ok = response(200, "text/html");
    auto object = plain->responseObjectForResponse(&ok, &body, &error);
    EXPECT_FALSE(error);
    EXPECT_EQ(std::any_cast<Bytes>(object), body);

    auto failed = response(500, "text/html");
    object = plain->responseObjectForResponse(&failed, &body, &error);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, -1011);
    EXPECT_EQ(error->localizedDescription, "Request failed: internal server error (500)");
    EXPECT_EQ(error->failingURL, "http://h.test/doc");
    EXPECT_EQ(error->data, body);
    ASSERT_TRUE(error->response);
    EXPECT_EQ(error->response->statusCode(), 500);
    EXPECT_EQ(std::any_cast<Bytes>(object), body);

    // Both refusals: the status error carries the content-type error beneath it.
    auto json = JSONResponseSerializer::serializer();
    error.reset();
    EXPECT_FALSE(json->responseObjectForResponse(&failed, &body, &error).has_value());
    ASSERT_TRUE(error && error->underlying);
    EXPECT_EQ(error->code, -1011);
    EXPECT_EQ(error->underlying->code, -1016);
    EXPECT_EQ(error->underlying->localizedDescription,
              "Request failed: unacceptable content-type: text/html");

    // An empty body of another type is refused without an error.
    Bytes none;
    error.reset();
    auto noContent = response(204, "text/plain");
    EXPECT_FALSE(json->validateResponse(&noContent, &none, &error));
    EXPECT_FALSE(error);
}

TEST(ResponseSerializer, JSONDecodingCases) {
    auto json = JSONResponseSerializer::serializer();
    auto ok = response(200, "application/json; charset=utf-8");
    struct Case {
        std::string body;
        bool object;
        bool error;
    } cases[] = {
        {R"({"a":[1,2]})", true, false},
        {" ", false, false},
        {"{\"a\":", false, true},
        {"17", false, true},
        {std::string(600, '[') + std::string(600, ']'), false, true},
    };
    for (const auto& c : cases) {
        Bytes body = toBytes(c.body);
        std::optional<Error> error;
        auto object = json->responseObjectForResponse(&ok, &body, &error);
        EXPECT_EQ(object.has_value(), c.object) << c.body.substr(0, 20);
        EXPECT_EQ(error.has_value(), c.error) << c.body.substr(0, 20);
    }
    // A 404 JSON answer still decodes, and reports the status.
    Bytes body = toBytes(R"({"message":"gone"})");
    std::optional<Error> error;
    auto missing = response(404, "application/json");
    auto object = json->responseObjectForResponse(&missing, &body, &error);
    EXPECT_EQ(std::any_cast<nlohmann::json>(object)["message"], "gone");
    EXPECT_EQ(error->code, -1011);
    // Latin-1 named by the response is decoded before parsing.
    Bytes latin = {'[', '"', 0xE9, '"', ']'};
    auto named = response(200, "application/json; charset=iso-8859-1");
    error.reset();
    object = json->responseObjectForResponse(&named, &latin, &error);
    EXPECT_EQ(std::any_cast<nlohmann::json>(object)[0], "\xC3\xA9");
}

TEST(ResponseSerializer, NullValuesRemovedAtEveryDepth) {
    auto v = nlohmann::json::parse(R"({"a":null,"b":{"c":null,"d":[null,{"e":null,"f":1}]}})");
    EXPECT_EQ(removingNullValues(v), nlohmann::json::parse(R"({"b":{"d":[null,{"f":1}]}})"));
}

TEST(ResponseSerializer, CompoundXMLPropertyListAndImage) {
    auto compound = CompoundResponseSerializer::compoundSerializerWithResponseSerializers(
        {JSONResponseSerializer::serializer(), HTTPResponseSerializer::serializer()});
    Bytes json = toBytes("[1]");
    auto j = response(200, "application/json");
    auto t = response(200, "text/plain");
    EXPECT_EQ(std::any_cast<nlohmann::json>(compound->responseObjectForResponse(&j, &json, nullptr)),
              nlohmann::json::parse("[1]"));
    EXPECT_EQ(std::any_cast<Bytes>(compound->responseObjectForResponse(&t, &json, nullptr)), json);

    auto xml = response(200, "text/xml");
    Bytes doc = toBytes("<?xml version=\"1.0\"?><rss><channel><item><title>A &amp; B</title></item>"
                        "<item><title><![CDATA[<C>]]></title></item></channel></rss>");
    std::optional<Error> error;
    auto tree = std::any_cast<XMLDocument>(
        XMLDocumentResponseSerializer::serializer()->responseObjectForResponse(&xml, &doc, &error));
    EXPECT_FALSE(error);
    auto items = tree.rootElement().elementsForName("channel")[0]->elementsForName("item");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->stringValue(), "A & B");
    EXPECT_EQ(items[1]->stringValue(), "<C>");
    auto parser = std::any_cast<std::shared_ptr<XMLParser>>(
        XMLParserResponseSerializer::serializer()->responseObjectForResponse(&xml, &doc, &error));
    EXPECT_TRUE(parser->parse());
    for (std::string bad :
         {"<a><b></a>", "<a>&bogus;</a>", "<a></a><b/>", "<!DOCTYPE a [<!ENTITY x \"y\">]><a>&x;</a>"}) {
        Bytes b = toBytes(bad);
        error.reset();
        XMLDocumentResponseSerializer::serializer()->responseObjectForResponse(&xml, &b, &error);
        EXPECT_TRUE(error) << bad;
    }

    auto plist = response(200, "application/x-plist");
    Bytes p = toBytes("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key><integer>3</integer>"
                      "</dict></plist>");
    error.reset();
    auto value = std::any_cast<tc::platform::PlistValue>(
        PropertyListResponseSerializer::serializer()->responseObjectForResponse(&plist, &p, &error));
    EXPECT_EQ(value.find("k")->asInt(), 3);

    auto png = response(200, "image/png");
    Bytes header = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13,
                    'I',  'H', 'D', 'R', 0,    0,    1,    2,    0, 0, 0, 3};
    auto image = std::any_cast<Image>(
        ImageResponseSerializer::serializer()->responseObjectForResponse(&png, &header, nullptr));
    EXPECT_EQ(image.pixelWidth, 258);
    EXPECT_EQ(image.pixelHeight, 3);
    Bytes junk = toBytes("not an image");
    error.reset();
    EXPECT_FALSE(
        ImageResponseSerializer::serializer()->responseObjectForResponse(&png, &junk, &error).has_value());
    EXPECT_EQ(error->code, -1016);
}
