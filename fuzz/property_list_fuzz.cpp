// Any bytes: the reader must not crash, and whatever it accepts must survive writing and reading back.
#include "fuzz_support.h"
#include "platform/property_list.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using platform::PropertyList;
    auto first = PropertyList::readBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!first)
        return 0;
    std::string doc;
    if (auto st = PropertyList::write(first.value(), doc); !st) {
        std::fprintf(stderr, "a value that was read cannot be written: %s\n", st.error.c_str());
        std::abort();
    }
    auto second = PropertyList::readBytes(doc);
    if (!second) {
        std::fprintf(stderr, "written document does not read back: %s\n", second.error().c_str());
        std::abort();
    }
    if (!(second.value() == first.value())) {
        std::fprintf(stderr, "value changed on the way through the writer\n");
        std::abort();
    }
    return 0;
}
