// Any body through the JSON response serializer: no crash, and what it accepts writes and reads back equal.
#include "fuzz_support.h"
#include "http/request_serializer.h"
#include "http/response_serializer.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tc::http;
    static const HTTPURLResponse response(*URL::parse("http://h.test/"), 200, [] {
        HeaderFields h;
        h.set("Content-Type", "application/json");
        return h;
    }());
    auto serializer =
        JSONResponseSerializer::serializerWithReadingOptions(JSONResponseSerializer::kAllowFragments);
    serializer->removesKeysWithNullValues = size % 2;
    Bytes body(data, data + size);
    std::optional<Error> error;
    auto object = serializer->responseObjectForResponse(&response, &body, &error);
    if (!object.has_value())
        return 0;
    const auto& value = std::any_cast<const nlohmann::json&>(object);
    Error writeError;
    auto text = writeJSON(value, 4, &writeError);
    if (!text)
        return 0; // numbers such as 1e999 read as infinity, which JSON cannot write back
    Error readError;
    auto again = readJSON(*text, JSONResponseSerializer::kAllowFragments, &readError);
    if (!again || *again != value) {
        std::fprintf(stderr, "JSON changed on the way through the writer\n");
        std::abort();
    }
    return 0;
}
