#pragma once
// What a cancelled download keeps so that a later task can ask only for the rest: our own small text
// form, read back only after it has been checked line by line.
#include "http/http_types.h"

#include <filesystem>

namespace tc::http {

inline constexpr std::size_t kMaximumResumeDataBytes = 16 * 1024;
inline constexpr std::size_t kMaximumResumeDataHeaders = 32;

struct DownloadResumeData {
    URL url;                    // http or https
    std::filesystem::path file; // the bytes received so far (absolute)
    std::uint64_t offset = 0;   // how many of them count
    std::string entityTag;      // a strong ETag, or
    std::string lastModified;   // the Last-Modified date: the body the bytes belong to
    HeaderFields headers;       // the request's own fields (no Range, If-Range)

    // The text form; nullopt when it would pass the caps or a value cannot be written on one line.
    std::optional<Bytes> encode() const;
    // nullopt, with a kCannotResumeDownload error saying what is wrong, for anything but a well-formed text.
    static std::optional<DownloadResumeData> decode(const Bytes& data, Error* error);
};

} // namespace tc::http
