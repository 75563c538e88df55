#pragma once
// multipart/form-data bodies as a pull stream: each part's delimiter, header block and body are produced
// only when the stream is read; files are read from disk, and the length is known without reading.
#include "http/streams.h"

#include <variant>

namespace tc::http {

// The builder's operations, as the constructing callback of a multipart request sees them.
class MultipartFormData {
public:
    virtual ~MultipartFormData() = default;
    // File name from the URL's last component, MIME type from its extension.
    virtual bool appendPartWithFileURL(const URL& fileURL, std::string_view name, Error* error) = 0;
    virtual bool appendPartWithFileURL(const URL& fileURL, std::string_view name, std::string_view fileName,
                                       std::string_view mimeType, Error* error) = 0;
    // `length` is what the stream will deliver; a stream that delivers another count fails the body.
    virtual void appendPartWithInputStream(std::shared_ptr<InputStream> stream, std::string_view name,
                                           std::string_view fileName, std::int64_t length,
                                           std::string_view mimeType) = 0;
    virtual void appendPartWithFileData(Bytes data, std::string_view name, std::string_view fileName,
                                        std::string_view mimeType) = 0;
    virtual void appendPartWithFormData(Bytes data, std::string_view name) = 0;
    virtual void appendPartWithHeaders(HeaderFields headers, Bytes body) = 0;
    virtual void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) = 0;
};

class HTTPBodyPart {
public:
    using Body = std::variant<std::shared_ptr<const Bytes>, URL, std::shared_ptr<InputStream>>;
    enum Phase { Created = 0, Opening = 1, Headers = 2, Content = 3, Closing = 4 };

    HTTPBodyPart(HeaderFields headers, Body body, std::uint64_t bodyContentLength, std::string boundary);
    std::unique_ptr<HTTPBodyPart> copy() const;

    bool hasInitialBoundary = false;
    bool hasFinalBoundary = false;

    const HeaderFields& headers() const { return headers_; }
    std::uint64_t bodyContentLength() const { return bodyContentLength_; }
    std::string stringForHeaders() const;
    std::uint64_t contentLength() const;
    bool hasBytesAvailable();
    // Fills the buffer phase by phase; -1 when the body's stream failed or delivered another length than
    // declared (error() then says which).
    ssize_t read(std::uint8_t* buffer, std::size_t maxLength);
    const std::optional<Error>& error() const { return error_; }
    int phase() const { return phase_; }

private:
    std::string openingDelimiter() const;
    std::string closingDelimiter() const;
    std::size_t readText(std::string_view text, std::uint8_t* buffer, std::size_t room);
    ssize_t readContent(std::uint8_t* buffer, std::size_t room);
    InputStream& inputStream();
    void transitionToNextPhase();
    void fail(Error e);

    HeaderFields headers_;
    Body body_;
    std::uint64_t bodyContentLength_;
    std::string boundary_;
    std::shared_ptr<InputStream> inputStream_;
    int phase_ = Created;
    std::size_t phaseReadOffset_ = 0;
    std::uint64_t contentRead_ = 0;
    std::optional<Error> error_;
};

class MultipartBodyStream final : public InputStream {
public:
    MultipartBodyStream();
    void appendHTTPBodyPart(std::unique_ptr<HTTPBodyPart> part);
    bool isEmpty() const { return parts_.empty(); }
    void setInitialAndFinalBoundaries();
    std::uint64_t contentLength() const;
    std::size_t partCount() const { return parts_.size(); }

    std::uint64_t numberOfBytesInPacket = 9223372036854775807ull;
    double delay = 0;

    void open() override;
    void close() override;
    ssize_t read(std::uint8_t* buffer, std::size_t maxLength) override;
    bool hasBytesAvailable() const override { return status_ == StreamStatus::Open; }
    StreamStatus streamStatus() const override { return status_; }
    std::optional<Error> streamError() const override;
    std::shared_ptr<InputStream> copy() const override;

private:
    std::vector<std::unique_ptr<HTTPBodyPart>> parts_;
    std::size_t next_ = 0;
    HTTPBodyPart* current_ = nullptr;
    StreamStatus status_ = StreamStatus::NotOpen;
    mutable std::mutex errorMutex_;
    std::optional<Error> streamError_;
};

class StreamingMultipartFormData final : public MultipartFormData {
public:
    explicit StreamingMultipartFormData(URLRequest request);

    bool appendPartWithFileURL(const URL& fileURL, std::string_view name, Error* error) override;
    bool appendPartWithFileURL(const URL& fileURL, std::string_view name, std::string_view fileName,
                               std::string_view mimeType, Error* error) override;
    void appendPartWithInputStream(std::shared_ptr<InputStream> stream, std::string_view name,
                                   std::string_view fileName, std::int64_t length,
                                   std::string_view mimeType) override;
    void appendPartWithFileData(Bytes data, std::string_view name, std::string_view fileName,
                                std::string_view mimeType) override;
    void appendPartWithFormData(Bytes data, std::string_view name) override;
    void appendPartWithHeaders(HeaderFields headers, Bytes body) override;
    void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) override;

    // The request with the body stream, "Content-Type" and "Content-Length"; unchanged with no parts.
    URLRequest requestByFinalizingMultipartFormData();

    const std::string& boundary() const { return boundary_; }
    // For tests that need a fixed boundary.
    void setBoundary(std::string boundary) { boundary_ = std::move(boundary); }

private:
    void append(HeaderFields headers, HTTPBodyPart::Body body, std::uint64_t length);

    URLRequest request_;
    std::string boundary_;
    std::shared_ptr<MultipartBodyStream> bodyStream_;
};

// "Boundary+" and 16 upper-case hexadecimal digits from the system's random source.
std::string makeMultipartBoundary();

// A quoted-string value for Content-Disposition: quotes and line breaks become %22, %0D and %0A, so a
// name cannot end the quoted value or start a header line of its own.
std::string escapeDispositionValue(std::string_view value);

// The MIME type for a file name extension ("application/octet-stream" when unknown).
std::string mimeTypeForPathExtension(std::string_view extension);

} // namespace tc::http
