// Any body through the XML document serializer: no crash, and a document it accepts, written out and
// read again, gives the same tree.
#include "fuzz_support.h"
#include "http/response_serializer.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tc::http;
    static const HTTPURLResponse response(*URL::parse("http://h.test/"), 200, [] {
        HeaderFields h;
        h.set("Content-Type", "text/xml");
        return h;
    }());
    Bytes body(data, data + size);
    std::optional<Error> error;
    auto object =
        XMLDocumentResponseSerializer::serializer()->responseObjectForResponse(&response, &body, &error);
    auto parser = std::any_cast<std::shared_ptr<XMLParser>>(
        XMLParserResponseSerializer::serializer()->responseObjectForResponse(&response, &body, nullptr));
    bool parsed = parser->parse();
    if (parsed != object.has_value()) {
        std::fprintf(stderr, "the event parser and the document disagree\n");
        std::abort();
    }
    if (!object.has_value())
        return 0;
    const auto& doc = std::any_cast<const XMLDocument&>(object);
    Error again;
    auto reread = XMLDocument::fromData(toBytes(doc.xmlString()), 0, &again);
    if (!reread || !(reread->rootElement() == doc.rootElement())) {
        std::fprintf(stderr, "document changed on the way through the writer\n");
        std::abort();
    }
    return 0;
}
