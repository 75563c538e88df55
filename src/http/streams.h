#pragma once
// Pull streams for request bodies and push streams for response bodies. They are read and written
// synchronously by whoever holds them (the network thread, a file copy); none of them sends events.
#include "http/http_types.h"

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <sys/types.h>

namespace tc::http {

enum class StreamStatus {
    NotOpen = 0,
    Opening = 1,
    Open = 2,
    Reading = 3,
    Writing = 4,
    AtEnd = 5,
    Closed = 6,
    Error = 7
};

class InputStream {
public:
    virtual ~InputStream() = default;
    virtual void open() = 0;
    virtual void close() = 0;
    // Bytes copied (0 at the end), or -1 with streamError() set.
    virtual ssize_t read(std::uint8_t* buffer, std::size_t maxLength) = 0;
    virtual bool hasBytesAvailable() const = 0;
    virtual StreamStatus streamStatus() const = 0;
    virtual std::optional<Error> streamError() const = 0;
    // A fresh stream over the same content, read from its start; null when the content cannot be read again.
    virtual std::shared_ptr<InputStream> copy() const { return nullptr; }
};

class DataInputStream final : public InputStream {
public:
    explicit DataInputStream(Bytes data) : data_(std::make_shared<const Bytes>(std::move(data))) {}
    explicit DataInputStream(std::shared_ptr<const Bytes> data) : data_(std::move(data)) {}
    void open() override;
    void close() override { status_ = StreamStatus::Closed; }
    ssize_t read(std::uint8_t* buffer, std::size_t maxLength) override;
    bool hasBytesAvailable() const override;
    StreamStatus streamStatus() const override { return status_; }
    std::optional<Error> streamError() const override { return std::nullopt; }
    std::shared_ptr<InputStream> copy() const override { return std::make_shared<DataInputStream>(data_); }

private:
    std::shared_ptr<const Bytes> data_;
    std::size_t offset_ = 0;
    StreamStatus status_ = StreamStatus::NotOpen;
};

class FileInputStream final : public InputStream {
public:
    explicit FileInputStream(std::filesystem::path path) : path_(std::move(path)) {}
    ~FileInputStream() override;
    void open() override;
    void close() override;
    ssize_t read(std::uint8_t* buffer, std::size_t maxLength) override;
    bool hasBytesAvailable() const override;
    StreamStatus streamStatus() const override { return status_; }
    std::optional<Error> streamError() const override { return error_; }
    std::shared_ptr<InputStream> copy() const override { return std::make_shared<FileInputStream>(path_); }

private:
    std::filesystem::path path_;
    int fd_ = -1;
    StreamStatus status_ = StreamStatus::NotOpen;
    std::optional<Error> error_;
};

class OutputStream {
public:
    virtual ~OutputStream() = default;
    virtual void open() = 0;
    virtual void close() = 0;
    // Bytes taken (possibly fewer than offered), or -1 with streamError() set.
    virtual ssize_t write(const std::uint8_t* buffer, std::size_t length) = 0;
    virtual bool hasSpaceAvailable() const = 0;
    virtual StreamStatus streamStatus() const = 0;
    virtual std::optional<Error> streamError() const = 0;
    // The bytes written so far, for a stream to memory; nullopt otherwise.
    virtual std::optional<Bytes> dataWrittenToMemory() const { return std::nullopt; }
    // The same, moved out of a stream that nobody reads again.
    virtual std::optional<Bytes> takeDataWrittenToMemory() { return dataWrittenToMemory(); }
    // The write offset of a stream to a file; nullopt otherwise.
    virtual std::optional<std::uint64_t> fileCurrentOffset() const { return std::nullopt; }
    // Drops what was written so far (a resumed body that the server sends whole again).
    virtual bool restart() { return false; }
};

// The default body sink: memory, up to `capacity` bytes. Past it a write fails with
// kDataLengthExceedsMaximum, so an endless or hostile body cannot take the process's memory.
class MemoryOutputStream final : public OutputStream {
public:
    explicit MemoryOutputStream(std::size_t capacity) : capacity_(capacity) {}
    void open() override;
    void close() override;
    ssize_t write(const std::uint8_t* buffer, std::size_t length) override;
    bool hasSpaceAvailable() const override;
    StreamStatus streamStatus() const override;
    std::optional<Error> streamError() const override;
    std::optional<Bytes> dataWrittenToMemory() const override;
    std::optional<Bytes> takeDataWrittenToMemory() override;
    bool restart() override;
    std::size_t capacity() const { return capacity_; }

private:
    mutable std::mutex mutex_;
    Bytes data_;
    std::size_t capacity_;
    StreamStatus status_ = StreamStatus::NotOpen;
    std::optional<Error> error_;
};

class FileOutputStream final : public OutputStream {
public:
    FileOutputStream(std::filesystem::path path, bool append) : path_(std::move(path)), append_(append) {}
    ~FileOutputStream() override;
    void open() override;
    void close() override;
    ssize_t write(const std::uint8_t* buffer, std::size_t length) override;
    bool hasSpaceAvailable() const override;
    StreamStatus streamStatus() const override;
    std::optional<Error> streamError() const override;
    std::optional<std::uint64_t> fileCurrentOffset() const override;
    bool restart() override;

private:
    mutable std::mutex mutex_;
    std::filesystem::path path_;
    bool append_;
    int fd_ = -1;
    std::uint64_t offset_ = 0;
    StreamStatus status_ = StreamStatus::NotOpen;
    std::optional<Error> error_;
};

// A file-system error in the file error domain, its description naming the operation and the path.
Error fileError(int err, std::string_view what, const std::filesystem::path& path);

// Writes all of `length` bytes; a failed or empty write is an error (never a silent truncation or a
// loop without end). Returns nullopt on success.
std::optional<Error> writeFully(OutputStream& out, const std::uint8_t* data, std::size_t length);

} // namespace tc::http
