#include "http/request_serializer.h"
#include "platform/fake_host_info.h"
#include "platform/property_list.h"

#include <gtest/gtest.h>

using namespace tc::http;

namespace {

struct SerializerTest : ::testing::Test {
    void SetUp() override {
        auto host = std::make_shared<tc::testing_support::FakeHostInfoSource>();
        host->version = "Version 12 (Build 6.1.0-test)";
        previousHost = tc::platform::HostInfo::setSource(host);
        ApplicationInfo info;
        info.executableName = "TradeClient";
        info.shortVersion = "1.2.3";
        info.preferredLanguages = {"en-US", "de", "fr", "it", "ja", "es", "pt"};
        ApplicationInfo::setOverride(info);
    }
    void TearDown() override {
        ApplicationInfo::setOverride(std::nullopt);
        tc::platform::HostInfo::setSource(previousHost);
    }
    std::shared_ptr<const tc::platform::HostInfoSource> previousHost;
};

std::string bodyText(const URLRequest& r) {
    return r.httpBody ? std::string(asText(*r.httpBody)) : std::string("<none>");
}

// Reads a body stream to its end with reads of at most `room` bytes.
std::string drain(InputStream& s, std::size_t room) {
    std::string out;
    std::vector<std::uint8_t> buf(room);
    s.open();
    for (;;) {
        ssize_t n = s.read(buf.data(), room);
        if (n <= 0) {
            EXPECT_EQ(n, 0) << (s.streamError() ? s.streamError()->localizedDescription : "");
            break;
        }
        out.append(reinterpret_cast<char*>(buf.data()), static_cast<std::size_t>(n));
    }
    return out;
}

} // namespace

TEST_F(SerializerTest, QueryEncodingSortsKeysNestsAndEscapes) {
    struct Case {
        Parameters params;
        std::string query;
    } cases[] = {
        {{{"b", 1}, {"a", {{"y", {1, 2}}, {"x", "t"}}}}, "a%5Bx%5D=t&a%5By%5D%5B%5D=1&a%5By%5D%5B%5D=2&b=1"},
        {{{"q", "a b&c=d+e[f]/g?h~i-j.k_l"}}, "q=a%20b%26c%3Dd%2Be%5Bf%5D/g?h~i-j.k_l"},
        {{{"name", "\xC3\xA9t\xC3\xA9"}}, "name=%C3%A9t%C3%A9"},
        {{{"flag", nullptr}, {"on", true}, {"off", false}, {"f", 1.5}}, "f=1.5&flag&off=0&on=1"},
        {{{"Z", 1}, {"a", 2}, {"B", 3}}, "B=3&Z=1&a=2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(queryStringFromParameters(c.params), c.query) << c.params.dump();
}

TEST_F(SerializerTest, ParametersGoIntoTheURLForGetHeadDeleteAndIntoAFormBodyOtherwise) {
    auto s = HTTPRequestSerializer::serializer();
    auto get = s->requestWithMethod("get", "http://h.test/p?x=1", Parameters{{"y", "2"}});
    ASSERT_TRUE(get);
    EXPECT_EQ(get->url.absoluteString(), "http://h.test/p?x=1&y=2");
    EXPECT_FALSE(get->httpBody);
    auto plain = s->requestWithMethod("GET", "http://h.test/news//feed?c=Forex&n=", std::nullopt);
    EXPECT_EQ(plain->url.absoluteString(), "http://h.test/news//feed?c=Forex&n=");
    EXPECT_FALSE(plain->headers.contains("Content-Type"));

    auto post = s->requestWithMethod("POST", "http://h.test/p", Parameters{{"b", "x y"}, {"a", 1}});
    EXPECT_EQ(bodyText(*post), "a=1&b=x%20y");
    EXPECT_EQ(post->headers.value("Content-Type"), "application/x-www-form-urlencoded");
    auto empty = s->requestWithMethod("POST", "http://h.test/p", std::nullopt);
    EXPECT_EQ(bodyText(*empty), "");

    URLRequest own(*URL::parse("http://h.test/p"));
    own.httpMethod = "PUT";
    own.headers.set("Content-Type", "text/plain");
    own.headers.set("User-Agent", "mine");
    auto kept = s->requestBySerializingRequest(own, Parameters{{"a", 1}}, nullptr);
    EXPECT_EQ(kept->headers.value("Content-Type"), "text/plain");
    EXPECT_EQ(kept->headers.value("User-Agent"), "mine");
    EXPECT_THROW(s->requestWithMethod("GET", "http://bad host/", std::nullopt), InvalidParameter);
}

TEST_F(SerializerTest, DefaultHeadersNameTheProgramAndTheSystem) {
    auto s = HTTPRequestSerializer::serializer();
    auto r = s->requestWithMethod("GET", "http://h.test/", std::nullopt);
    EXPECT_EQ(r->headers.value("User-Agent"), "TradeClient/1.2.3 (Linux Version 12 (Build 6.1.0-test))");
    EXPECT_EQ(r->headers.value("Accept-Language"),
              "en-US;q=1, de;q=0.9, fr;q=0.8, it;q=0.7, ja;q=0.6, es;q=0.5");
    EXPECT_EQ(acceptLanguageValue({}), "");

    ApplicationInfo accented;
    accented.executableName = "Tr\xC3\xA4"
                              "de\xE2\x82\xAC";
    accented.shortVersion = "2";
    EXPECT_EQ(userAgentValue(accented, "Version 12"), "Trade/2 (Linux Version 12)");

    s->setAuthorizationHeaderFieldWithUsername("user", "p\xC3\xA4ss");
    EXPECT_EQ(s->valueForHTTPHeaderField("Authorization"), "Basic dXNlcjpww6Rzcw==");
    s->setAuthorizationHeaderFieldWithToken("abc");
    EXPECT_EQ(s->valueForHTTPHeaderField("Authorization"), "Token token=\"abc\"");
    s->clearAuthorizationHeader();
    EXPECT_FALSE(s->valueForHTTPHeaderField("Authorization"));

    EXPECT_DOUBLE_EQ(r->timeoutInterval, URLRequest().timeoutInterval);
    s->setTimeoutInterval(7);
    EXPECT_DOUBLE_EQ(s->requestWithMethod("GET", "http://h.test/", std::nullopt)->timeoutInterval, 7);
}

TEST_F(SerializerTest, JSONAndPropertyListBodies) {
    auto json = JSONRequestSerializer::serializer();
    auto r = json->requestWithMethod("POST", "http://h.test/", Parameters{{"b", {true, nullptr}}, {"a", 1}});
    ASSERT_TRUE(r);
    EXPECT_EQ(bodyText(*r), R"({"a":1,"b":[true,null]})");
    EXPECT_EQ(r->headers.value("Content-Type"), "application/json");
    auto none = json->requestWithMethod("POST", "http://h.test/", std::nullopt);
    EXPECT_FALSE(none->httpBody);
    EXPECT_FALSE(none->headers.contains("Content-Type"));
    auto get = json->requestWithMethod("GET", "http://h.test/", Parameters{{"a", 1}});
    EXPECT_EQ(get->url.absoluteString(), "http://h.test/?a=1");
    EXPECT_FALSE(get->httpBody);

    auto plist = PropertyListRequestSerializer::serializer();
    auto p = plist->requestWithMethod("POST", "http://h.test/",
                                      Parameters{{"n", 2}, {"s", "x"}, {"l", {1.5, false}}});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->headers.value("Content-Type"), "application/x-plist");
    auto back = tc::platform::PropertyList::readBytes(asText(*p->httpBody));
    ASSERT_TRUE(back) << back.error();
    tc::platform::PlistDictionary expected{{"n", 2}, {"s", "x"}, {"l", tc::platform::PlistArray{1.5, false}}};
    EXPECT_EQ(back.value(), tc::platform::PlistValue(expected));
}

// A body that cannot be written must not leave as a request without its body.
TEST_F(SerializerTest, AFailingBodyWriterReturnsNoRequestAndTheError) {
    struct Case {
        std::shared_ptr<HTTPRequestSerializer> serializer;
        Parameters params;
    } cases[] = {
        {JSONRequestSerializer::serializer(), Parameters{{"bad", std::string("\xFF\xFE")}}},
        {JSONRequestSerializer::serializer(), Parameters{{"nan", std::nan("")}}},
        {JSONRequestSerializer::serializer(), Parameters("bare text")},
        {PropertyListRequestSerializer::serializer(), Parameters{{"null", nullptr}}},
        {PropertyListRequestSerializer::serializerWithFormat(200, 0), Parameters{{"a", 1}}},
    };
    for (auto& c : cases) {
        Error error;
        auto r = c.serializer->requestWithMethod("POST", "http://h.test/", c.params, &error);
        EXPECT_FALSE(r) << c.params.dump();
        EXPECT_EQ(error.domain, kRequestSerializationErrorDomain);
        EXPECT_FALSE(error.localizedDescription.empty());
    }
}

TEST_F(SerializerTest, MultipartExampleByteForByteAtEveryReadSize) {
    StreamingMultipartFormData form(URLRequest(*URL::parse("http://h.test/up")));
    form.setBoundary("Boundary+0123456789ABCDEF");
    form.appendPartWithFormData(toBytes("1"), "a");
    form.appendPartWithFormData(toBytes("xy"), "b");
    URLRequest r = form.requestByFinalizingMultipartFormData();
    const std::string expected = "--Boundary+0123456789ABCDEF\r\n"
                                 "Content-Disposition: form-data; name=\"a\"\r\n\r\n"
                                 "1"
                                 "\r\n--Boundary+0123456789ABCDEF\r\n"
                                 "Content-Disposition: form-data; name=\"b\"\r\n\r\n"
                                 "xy"
                                 "\r\n--Boundary+0123456789ABCDEF--\r\n";
    ASSERT_EQ(expected.size(), 184u);
    EXPECT_EQ(r.headers.value("Content-Length"), "184");
    EXPECT_EQ(r.headers.value("Content-Type"), "multipart/form-data; boundary=Boundary+0123456789ABCDEF");
    for (std::size_t room : {1u, 2u, 3u, 7u, 28u, 29u, 30u, 100u, 4096u}) {
        auto copy = r.httpBodyStream->copy();
        EXPECT_EQ(drain(*copy, room), expected) << "room " << room;
    }
    // A read after the end, or after close, gives nothing.
    std::uint8_t byte;
    EXPECT_EQ(r.httpBodyStream->copy()->read(&byte, 1), 0);

    StreamingMultipartFormData emptyForm(URLRequest(*URL::parse("http://h.test/up")));
    URLRequest plain = emptyForm.requestByFinalizingMultipartFormData();
    EXPECT_FALSE(plain.httpBodyStream);
    EXPECT_FALSE(plain.headers.contains("Content-Length"));
}

TEST_F(SerializerTest, MultipartNamesAreEscapedAndFilePartsKeepTheirLength) {
    StreamingMultipartFormData form(URLRequest(*URL::parse("http://h.test/up")));
    form.appendPartWithFileData(toBytes("z"), "n\"a\r\nX-Evil: 1", "f\".txt", "text/plain");
    auto headers = form.requestByFinalizingMultipartFormData();
    std::string body = drain(*headers.httpBodyStream, 64);
    EXPECT_NE(body.find("name=\"n%22a%0D%0AX-Evil: 1\"; filename=\"f%22.txt\""), std::string::npos) << body;
    EXPECT_EQ(std::to_string(body.size()), headers.headers.value("Content-Length"));

    EXPECT_EQ(mimeTypeForPathExtension("txt"), "text/plain");
    EXPECT_EQ(mimeTypeForPathExtension("no-such-extension"), "application/octet-stream");
    Error error;
    StreamingMultipartFormData files(URLRequest(*URL::parse("http://h.test/up")));
    EXPECT_FALSE(files.appendPartWithFileURL(*URL::parse("http://h.test/x"), "f", &error));
    EXPECT_EQ(error.code, urlerror::kBadURL);
    EXPECT_FALSE(files.appendPartWithFileURL(URL::fileURL("/no/such/file"), "f", &error));
    EXPECT_EQ(error.localizedDescription, "File URL not reachable.");
}

// A stream part that delivers another count than it declared would send a corrupt body.
TEST_F(SerializerTest, AStreamPartOfTheWrongLengthFailsTheBody) {
    for (std::int64_t declared : {3, 5}) {
        StreamingMultipartFormData form(URLRequest(*URL::parse("http://h.test/up")));
        form.appendPartWithInputStream(std::make_shared<DataInputStream>(toBytes("four")), "f", "f.bin",
                                       declared, "application/octet-stream");
        URLRequest r = form.requestByFinalizingMultipartFormData();
        auto& s = *r.httpBodyStream;
        s.open();
        std::vector<std::uint8_t> buf(16);
        ssize_t n = 0;
        while ((n = s.read(buf.data(), buf.size())) > 0) {
        }
        EXPECT_EQ(n, -1) << "declared " << declared;
        ASSERT_TRUE(s.streamError());
        EXPECT_NE(s.streamError()->localizedDescription.find("declared"), std::string::npos);
    }
}

TEST_F(SerializerTest, MultipartRequestFromParametersRefusesGet) {
    auto s = HTTPRequestSerializer::serializer();
    EXPECT_THROW(s->multipartFormRequestWithMethod("GET", "http://h.test/", std::nullopt, nullptr),
                 InvalidParameter);
    bool called = false;
    auto r = s->multipartFormRequestWithMethod("POST", "http://h.test/", Parameters{{"k", "v"}},
                                               [&](MultipartFormData& form) {
                                                   called = true;
                                                   form.appendPartWithFormData(toBytes("w"), "extra");
                                               });
    ASSERT_TRUE(r && r->httpBodyStream);
    EXPECT_TRUE(called);
    std::string body = drain(*r->httpBodyStream, 5);
    EXPECT_NE(body.find("name=\"k\"\r\n\r\nv\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"extra\"\r\n\r\nw\r\n"), std::string::npos);
}
