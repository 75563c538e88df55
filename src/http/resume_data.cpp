#include "http/resume_data.h"

#include <fmt/format.h>

#include <charconv>

namespace tc::http {

namespace {

constexpr std::string_view kMagic = "tradeclient-resume-data 1";

bool isLineSafe(std::string_view s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

bool isToken(std::string_view s) {
    if (s.empty())
        return false;
    for (unsigned char c : s)
        if (c <= 0x20 || c >= 0x7f ||
            std::string_view("()<>@,;:\\\"/[]?={}").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    return true;
}

bool isRangeField(std::string_view name) {
    return equalsIgnoringCase(name, "Range") || equalsIgnoringCase(name, "If-Range");
}

Error refuse(std::string why) {
    return Error::make(kURLErrorDomain, urlerror::kCannotResumeDownload,
                       "The download cannot be resumed: " + std::move(why));
}

} // namespace

std::optional<Bytes> DownloadResumeData::encode() const {
    std::string path = file.string();
    if (!url.isHTTP() || !file.is_absolute() || (entityTag.empty() && lastModified.empty()))
        return std::nullopt;
    std::string out(kMagic);
    out += "\n";
    auto line = [&](std::string_view key, std::string_view value) {
        out += key;
        out += ' ';
        out += value;
        out += '\n';
        return isLineSafe(value);
    };
    bool ok =
        line("url", url.absoluteString()) && line("file", path) && line("offset", std::to_string(offset));
    if (!entityTag.empty())
        ok = ok && line("etag", entityTag);
    if (!lastModified.empty())
        ok = ok && line("last-modified", lastModified);
    std::size_t count = 0;
    for (const auto& [name, value] : headers) {
        if (isRangeField(name))
            continue;
        ok = ok && isToken(name) && ++count <= kMaximumResumeDataHeaders &&
             line("header", fmt::format("{}: {}", name, value));
    }
    if (!ok || out.size() > kMaximumResumeDataBytes)
        return std::nullopt;
    return toBytes(out);
}

std::optional<DownloadResumeData> DownloadResumeData::decode(const Bytes& data, Error* error) {
    auto fail = [&](std::string why) -> std::optional<DownloadResumeData> {
        if (error)
            *error = refuse(std::move(why));
        return std::nullopt;
    };
    if (data.empty())
        return fail("the resume data is empty.");
    if (data.size() > kMaximumResumeDataBytes)
        return fail(fmt::format("the resume data is larger than {} bytes.", kMaximumResumeDataBytes));
    std::string_view text = asText(data);
    if (text.back() != '\n')
        return fail("the resume data is cut short.");
    DownloadResumeData out;
    bool seenURL = false, seenFile = false, seenOffset = false, seenTag = false, seenDate = false;
    std::size_t headers = 0;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        ++lineNumber;
        if (!isLineSafe(line))
            return fail(fmt::format("line {} holds a control character.", lineNumber));
        if (lineNumber == 1) {
            if (line != kMagic)
                return fail("it is not resume data of this program, or of another version.");
            continue;
        }
        std::size_t space = line.find(' ');
        if (space == std::string_view::npos)
            return fail(fmt::format("line {} has no value.", lineNumber));
        std::string_view key = line.substr(0, space), value = line.substr(space + 1);
        auto once = [&](bool& seen) {
            bool first = !seen;
            seen = true;
            return first;
        };
        if (key == "url") {
            if (!once(seenURL))
                return fail("the address is given twice.");
            auto url = URL::parse(value);
            if (!url || !url->isHTTP() || url->host().empty())
                return fail("the address is not an http or https URL.");
            out.url = *url;
        } else if (key == "file") {
            if (!once(seenFile))
                return fail("the file is given twice.");
            out.file = std::filesystem::path(std::string(value));
            if (!out.file.is_absolute() || out.file.filename().empty() ||
                out.file.lexically_normal() != out.file)
                return fail("the file is not a plain absolute path.");
        } else if (key == "offset") {
            if (!once(seenOffset))
                return fail("the offset is given twice.");
            auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), out.offset);
            if (ec != std::errc() || p != value.data() + value.size() || value.empty() ||
                value.front() == '+')
                return fail("the offset is not a number of bytes.");
        } else if (key == "etag") {
            if (!once(seenTag))
                return fail("the entity tag is given twice.");
            if (value.size() < 2 || value.front() != '"' || value.back() != '"')
                return fail("the entity tag is not a strong one.");
            out.entityTag = std::string(value);
        } else if (key == "last-modified") {
            if (!once(seenDate) || value.empty())
                return fail("the modification date is missing or given twice.");
            out.lastModified = std::string(value);
        } else if (key == "header") {
            if (++headers > kMaximumResumeDataHeaders)
                return fail(fmt::format("it holds more than {} header fields.", kMaximumResumeDataHeaders));
            std::size_t colon = value.find(": ");
            if (colon == std::string_view::npos || !isToken(value.substr(0, colon)))
                return fail(fmt::format("the header field on line {} is malformed.", lineNumber));
            std::string_view name = value.substr(0, colon);
            if (isRangeField(name))
                return fail("it asks for a range of its own.");
            out.headers.set(name, value.substr(colon + 2));
        } else
            return fail(fmt::format("line {} has an unknown key.", lineNumber));
    }
    if (!seenURL || !seenFile || !seenOffset)
        return fail("the address, the file or the offset is missing.");
    if (!seenTag && !seenDate)
        return fail("nothing tells which version of the body the bytes belong to.");
    return out;
}

} // namespace tc::http
