// Any bytes as download resume data: no crash, a refusal says why, and what is accepted reads back equal.
#include "fuzz_support.h"
#include "http/resume_data.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tc::http;
    Error error;
    auto decoded = DownloadResumeData::decode(Bytes(data, data + size), &error);
    if (!decoded) {
        if (error.code != urlerror::kCannotResumeDownload || error.localizedDescription.empty()) {
            std::fprintf(stderr, "a refusal without its reason\n");
            std::abort();
        }
        return 0;
    }
    auto encoded = decoded->encode();
    if (!encoded)
        return 0; // the address written in full may pass the cap
    auto again = DownloadResumeData::decode(*encoded, &error);
    if (!again || again->url.absoluteString() != decoded->url.absoluteString() ||
        again->file != decoded->file || again->offset != decoded->offset ||
        again->entityTag != decoded->entityTag || again->lastModified != decoded->lastModified ||
        again->headers != decoded->headers) {
        std::fprintf(stderr, "resume data changed on the way through the writer\n");
        std::abort();
    }
    return 0;
}
