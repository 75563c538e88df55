#include "http/multipart.h"

#include <fmt/format.h>
#include <openssl/rand.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <unordered_map>

namespace tc::http {

namespace {
constexpr std::string_view kCRLF = "\r\n";
}

std::string makeMultipartBoundary() {
    std::uint32_t v[2] = {0, 0};
    if (RAND_bytes(reinterpret_cast<unsigned char*>(v), sizeof v) != 1) {
        std::random_device rd;
        v[0] = rd();
        v[1] = rd();
    }
    return fmt::format("Boundary+{:08X}{:08X}", v[0], v[1]);
}

std::string escapeDispositionValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

std::string mimeTypeForPathExtension(std::string_view extension) {
    // The system's type table when there is one, else a few common types.
    static const std::unordered_map<std::string, std::string> table = [] {
        std::unordered_map<std::string, std::string> t = {
            {"txt", "text/plain"},        {"html", "text/html"},
            {"htm", "text/html"},         {"css", "text/css"},
            {"csv", "text/csv"},          {"xml", "application/xml"},
            {"json", "application/json"}, {"pdf", "application/pdf"},
            {"zip", "application/zip"},   {"gz", "application/gzip"},
            {"png", "image/png"},         {"jpg", "image/jpeg"},
            {"jpeg", "image/jpeg"},       {"gif", "image/gif"},
            {"bmp", "image/bmp"},         {"tif", "image/tiff"},
            {"tiff", "image/tiff"},       {"ico", "image/x-icon"},
            {"svg", "image/svg+xml"},     {"ics", "text/calendar"},
            {"rtf", "application/rtf"},   {"plist", "application/x-plist"}};
        std::ifstream in("/etc/mime.types");
        std::string line;
        std::size_t lines = 0;
        while (in && std::getline(in, line) && ++lines < 20000) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream words(line);
            std::string type, ext;
            words >> type;
            while (words >> ext)
                t.emplace(ext, type);
        }
        return t;
    }();
    auto it = table.find(toLowerASCII(extension));
    return it == table.end() ? std::string("application/octet-stream") : it->second;
}

// ---- parts

HTTPBodyPart::HTTPBodyPart(HeaderFields headers, Body body, std::uint64_t bodyContentLength,
                           std::string boundary)
    : headers_(std::move(headers)), body_(std::move(body)), bodyContentLength_(bodyContentLength),
      boundary_(std::move(boundary)) {
    transitionToNextPhase();
}

std::unique_ptr<HTTPBodyPart> HTTPBodyPart::copy() const {
    auto p = std::make_unique<HTTPBodyPart>(headers_, body_, bodyContentLength_, boundary_);
    // A stream body cannot be read twice: the copy shares it.
    if (std::holds_alternative<std::shared_ptr<InputStream>>(body_))
        p->inputStream_ = std::get<std::shared_ptr<InputStream>>(body_);
    return p;
}

std::string HTTPBodyPart::openingDelimiter() const {
    return hasInitialBoundary ? fmt::format("--{}{}", boundary_, kCRLF)
                              : fmt::format("{}--{}{}", kCRLF, boundary_, kCRLF);
}

std::string HTTPBodyPart::closingDelimiter() const {
    return hasFinalBoundary ? fmt::format("{}--{}--{}", kCRLF, boundary_, kCRLF) : std::string();
}

std::string HTTPBodyPart::stringForHeaders() const {
    std::string s;
    for (const auto& [name, value] : headers_)
        s += fmt::format("{}: {}{}", name, value, kCRLF);
    s += kCRLF;
    return s;
}

std::uint64_t HTTPBodyPart::contentLength() const {
    return openingDelimiter().size() + stringForHeaders().size() + bodyContentLength_ +
           closingDelimiter().size();
}

InputStream& HTTPBodyPart::inputStream() {
    if (!inputStream_) {
        if (auto data = std::get_if<std::shared_ptr<const Bytes>>(&body_))
            inputStream_ = std::make_shared<DataInputStream>(*data);
        else if (auto url = std::get_if<URL>(&body_))
            inputStream_ = std::make_shared<FileInputStream>(url->filePath());
        else if (auto stream = std::get_if<std::shared_ptr<InputStream>>(&body_); stream && *stream)
            inputStream_ = *stream;
        else
            inputStream_ = std::make_shared<DataInputStream>(Bytes{});
    }
    return *inputStream_;
}

void HTTPBodyPart::transitionToNextPhase() {
    switch (phase_) {
    case Opening:
        phase_ = Headers;
        break;
    case Headers:
        phase_ = Content;
        inputStream().open();
        break;
    case Content:
        inputStream().close();
        phase_ = Closing;
        break;
    default:
        phase_ = Opening;
        break;
    }
    phaseReadOffset_ = 0;
}

bool HTTPBodyPart::hasBytesAvailable() {
    if (error_)
        return true; // the next read reports it
    if (phase_ == Closing || phase_ == Content)
        return true; // the content phase ends only when the declared length is in, or it fails
    auto status = inputStream().streamStatus();
    return status < StreamStatus::AtEnd;
}

void HTTPBodyPart::fail(Error e) {
    error_ = std::move(e);
}

std::size_t HTTPBodyPart::readText(std::string_view text, std::uint8_t* buffer, std::size_t room) {
    std::size_t n = std::min(text.size() - phaseReadOffset_, room);
    std::memcpy(buffer, text.data() + phaseReadOffset_, n);
    phaseReadOffset_ += n;
    if (phaseReadOffset_ >= text.size())
        transitionToNextPhase();
    return n;
}

ssize_t HTTPBodyPart::readContent(std::uint8_t* buffer, std::size_t room) {
    InputStream& in = inputStream();
    auto streamFailed = [&] {
        fail(in.streamError().value_or(Error::make(kURLErrorDomain, urlerror::kRequestBodyStreamExhausted,
                                                   "A part of the request body could not be read.")));
        return -1;
    };
    auto lengthMismatch = [&](std::string_view how) {
        fail(Error::make(
            kRequestSerializationErrorDomain, urlerror::kRequestBodyStreamExhausted,
            fmt::format("A part of the multipart body delivered {} bytes than the {} it declared.", how,
                        bodyContentLength_)));
        return -1;
    };
    // Once the declared length is in, the stream must be at its end.
    auto finishIfComplete = [&]() -> bool {
        if (contentRead_ < bodyContentLength_)
            return true;
        std::uint8_t probe;
        ssize_t extra = in.streamStatus() == StreamStatus::AtEnd ? 0 : in.read(&probe, 1);
        if (extra < 0)
            return streamFailed(), false;
        if (extra > 0)
            return lengthMismatch("more"), false;
        transitionToNextPhase();
        return true;
    };
    if (room == 0)
        return 0;
    if (contentRead_ >= bodyContentLength_)
        return finishIfComplete() ? 0 : -1;
    std::uint64_t remaining = bodyContentLength_ - contentRead_;
    ssize_t n = in.read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(room, remaining)));
    if (n < 0)
        return streamFailed();
    if (n == 0)
        return lengthMismatch("fewer");
    contentRead_ += static_cast<std::uint64_t>(n);
    if (!finishIfComplete())
        return -1;
    return n;
}

ssize_t HTTPBodyPart::read(std::uint8_t* buffer, std::size_t maxLength) {
    if (error_)
        return -1;
    std::size_t total = 0;
    if (phase_ == Opening)
        total += readText(openingDelimiter(), buffer + total, maxLength - total);
    if (phase_ == Headers)
        total += readText(stringForHeaders(), buffer + total, maxLength - total);
    if (phase_ == Content) {
        ssize_t n = readContent(buffer + total, maxLength - total);
        if (n < 0)
            return -1;
        total += static_cast<std::size_t>(n);
    }
    if (phase_ == Closing)
        total += readText(closingDelimiter(), buffer + total, maxLength - total);
    return static_cast<ssize_t>(total);
}

// ---- the body stream

MultipartBodyStream::MultipartBodyStream() = default;

void MultipartBodyStream::appendHTTPBodyPart(std::unique_ptr<HTTPBodyPart> part) {
    parts_.push_back(std::move(part));
}

void MultipartBodyStream::setInitialAndFinalBoundaries() {
    if (parts_.empty())
        return;
    for (auto& p : parts_)
        p->hasInitialBoundary = p->hasFinalBoundary = false;
    parts_.front()->hasInitialBoundary = true;
    parts_.back()->hasFinalBoundary = true;
}

std::uint64_t MultipartBodyStream::contentLength() const {
    std::uint64_t n = 0;
    for (const auto& p : parts_)
        n += p->contentLength();
    return n;
}

void MultipartBodyStream::open() {
    if (status_ == StreamStatus::Open)
        return;
    status_ = StreamStatus::Open;
    setInitialAndFinalBoundaries();
    next_ = 0;
    current_ = nullptr;
}

void MultipartBodyStream::close() {
    if (status_ != StreamStatus::Error)
        status_ = StreamStatus::Closed;
}

std::optional<Error> MultipartBodyStream::streamError() const {
    std::lock_guard lock(errorMutex_);
    return streamError_;
}

ssize_t MultipartBodyStream::read(std::uint8_t* buffer, std::size_t maxLength) {
    if (status_ == StreamStatus::Error)
        return -1;
    if (status_ == StreamStatus::Closed || status_ == StreamStatus::NotOpen)
        return 0;
    std::size_t total = 0;
    while (total < std::min<std::uint64_t>(maxLength, numberOfBytesInPacket)) {
        if (!current_ || !current_->hasBytesAvailable()) {
            if (next_ >= parts_.size())
                return static_cast<ssize_t>(total);
            current_ = parts_[next_++].get();
            continue;
        }
        ssize_t n = current_->read(buffer + total, maxLength - total);
        if (n < 0) {
            std::lock_guard lock(errorMutex_);
            streamError_ = current_->error();
            status_ = StreamStatus::Error;
            return total > 0 ? static_cast<ssize_t>(total) : -1;
        }
        total += static_cast<std::size_t>(n);
        if (delay > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(delay));
    }
    return static_cast<ssize_t>(total);
}

std::shared_ptr<InputStream> MultipartBodyStream::copy() const {
    auto s = std::make_shared<MultipartBodyStream>();
    for (const auto& p : parts_)
        s->appendHTTPBodyPart(p->copy());
    s->setInitialAndFinalBoundaries();
    return s;
}

// ---- the form

StreamingMultipartFormData::StreamingMultipartFormData(URLRequest request)
    : request_(std::move(request)), boundary_(makeMultipartBoundary()),
      bodyStream_(std::make_shared<MultipartBodyStream>()) {}

void StreamingMultipartFormData::append(HeaderFields headers, HTTPBodyPart::Body body, std::uint64_t length) {
    bodyStream_->appendHTTPBodyPart(
        std::make_unique<HTTPBodyPart>(std::move(headers), std::move(body), length, boundary_));
}

namespace {
HeaderFields fileHeaders(std::string_view name, std::string_view fileName, std::string_view mimeType) {
    HeaderFields h;
    h.set("Content-Disposition", fmt::format("form-data; name=\"{}\"; filename=\"{}\"",
                                             escapeDispositionValue(name), escapeDispositionValue(fileName)));
    h.set("Content-Type", mimeType);
    return h;
}
} // namespace

bool StreamingMultipartFormData::appendPartWithFileURL(const URL& fileURL, std::string_view name,
                                                       Error* error) {
    return appendPartWithFileURL(fileURL, name, fileURL.lastPathComponent(),
                                 mimeTypeForPathExtension(fileURL.pathExtension()), error);
}

bool StreamingMultipartFormData::appendPartWithFileURL(const URL& fileURL, std::string_view name,
                                                       std::string_view fileName, std::string_view mimeType,
                                                       Error* error) {
    require(!name.empty(), "name");
    require(!fileName.empty(), "fileName");
    require(!mimeType.empty(), "mimeType");
    auto refuse = [&](Error e) {
        if (error)
            *error = std::move(e);
        return false;
    };
    if (!fileURL.isFileURL()) {
        Error e =
            Error::make(kRequestSerializationErrorDomain, urlerror::kBadURL, "Expected URL to be a file URL");
        e.failureReason = e.localizedDescription;
        return refuse(std::move(e));
    }
    std::error_code ec;
    std::filesystem::path path = fileURL.filePath();
    if (!std::filesystem::exists(path, ec)) {
        Error e = Error::make(kRequestSerializationErrorDomain, urlerror::kBadURL, "File URL not reachable.");
        e.failureReason = e.localizedDescription;
        return refuse(std::move(e));
    }
    auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return refuse(fileError(ec.value(), "read the size of", path));
    append(fileHeaders(name, fileName, mimeType), fileURL, size);
    return true;
}

void StreamingMultipartFormData::appendPartWithInputStream(std::shared_ptr<InputStream> stream,
                                                           std::string_view name, std::string_view fileName,
                                                           std::int64_t length, std::string_view mimeType) {
    require(!name.empty(), "name");
    require(!fileName.empty(), "fileName");
    require(!mimeType.empty(), "mimeType");
    require(length >= 0, "length >= 0");
    append(fileHeaders(name, fileName, mimeType), std::move(stream), static_cast<std::uint64_t>(length));
}

void StreamingMultipartFormData::appendPartWithFileData(Bytes data, std::string_view name,
                                                        std::string_view fileName,
                                                        std::string_view mimeType) {
    require(!name.empty(), "name");
    require(!fileName.empty(), "fileName");
    require(!mimeType.empty(), "mimeType");
    appendPartWithHeaders(fileHeaders(name, fileName, mimeType), std::move(data));
}

void StreamingMultipartFormData::appendPartWithFormData(Bytes data, std::string_view name) {
    require(!name.empty(), "name");
    HeaderFields h;
    h.set("Content-Disposition", fmt::format("form-data; name=\"{}\"", escapeDispositionValue(name)));
    appendPartWithHeaders(std::move(h), std::move(data));
}

void StreamingMultipartFormData::appendPartWithHeaders(HeaderFields headers, Bytes body) {
    std::uint64_t length = body.size();
    append(std::move(headers), std::make_shared<const Bytes>(std::move(body)), length);
}

void StreamingMultipartFormData::throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) {
    bodyStream_->numberOfBytesInPacket = numberOfBytes;
    bodyStream_->delay = delay;
}

URLRequest StreamingMultipartFormData::requestByFinalizingMultipartFormData() {
    if (bodyStream_->isEmpty())
        return request_;
    // Parts were made with the boundary current when they were appended; a later setBoundary applies to
    // the header only if no part exists, so tests set it first.
    bodyStream_->setInitialAndFinalBoundaries();
    request_.httpBodyStream = bodyStream_;
    request_.httpBody.reset();
    request_.headers.set("Content-Type", fmt::format("multipart/form-data; boundary={}", boundary_));
    request_.headers.set("Content-Length", std::to_string(bodyStream_->contentLength()));
    return request_;
}

} // namespace tc::http
