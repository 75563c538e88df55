// Any body through the property-list response serializer: no crash; a refusal always says why.
#include "fuzz_support.h"
#include "http/response_serializer.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tc::http;
    static const HTTPURLResponse response(*URL::parse("http://h.test/"), 200, [] {
        HeaderFields h;
        h.set("Content-Type", "application/x-plist");
        return h;
    }());
    Bytes body(data, data + size);
    std::optional<Error> error;
    auto object =
        PropertyListResponseSerializer::serializer()->responseObjectForResponse(&response, &body, &error);
    if (!object.has_value() && size > 0 && (!error || error->failureReason.empty())) {
        std::fprintf(stderr, "a refused property list came back without a reason\n");
        std::abort();
    }
    if (object.has_value() && error) {
        std::fprintf(stderr, "a property list came back with an error\n");
        std::abort();
    }
    return 0;
}
