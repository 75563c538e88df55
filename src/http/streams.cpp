#include "http/streams.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tc::http {

Error fileError(int err, std::string_view what, const std::filesystem::path& path) {
    Error e = Error::make(kFileErrorDomain, err, fmt::format("Could not {} \"{}\".", what, path.string()));
    e.failureReason = std::strerror(err);
    e.failingURL = URL::fileURL(path.string()).absoluteString();
    return e;
}

std::optional<Error> writeFully(OutputStream& out, const std::uint8_t* data, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        ssize_t n = out.write(data + done, length - done);
        if (n < 0)
            return out.streamError().value_or(Error::make(kURLErrorDomain, urlerror::kCannotWriteToFile,
                                                          "The response body could not be written."));
        if (n == 0)
            return out.streamError().value_or(Error::make(kURLErrorDomain, urlerror::kCannotWriteToFile,
                                                          "The response body could not be written: the "
                                                          "output stream took no bytes."));
        done += static_cast<std::size_t>(n);
    }
    return std::nullopt;
}

// ---- data

void DataInputStream::open() {
    if (status_ == StreamStatus::NotOpen)
        status_ = data_->empty() ? StreamStatus::AtEnd : StreamStatus::Open;
}

ssize_t DataInputStream::read(std::uint8_t* buffer, std::size_t maxLength) {
    if (status_ != StreamStatus::Open)
        return 0;
    std::size_t n = std::min(maxLength, data_->size() - offset_);
    std::memcpy(buffer, data_->data() + offset_, n);
    offset_ += n;
    if (offset_ == data_->size())
        status_ = StreamStatus::AtEnd;
    return static_cast<ssize_t>(n);
}

bool DataInputStream::hasBytesAvailable() const {
    return status_ == StreamStatus::Open || status_ == StreamStatus::NotOpen;
}

// ---- files in

FileInputStream::~FileInputStream() {
    close();
}

void FileInputStream::open() {
    if (status_ != StreamStatus::NotOpen)
        return;
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = fileError(errno, "open", path_);
        status_ = StreamStatus::Error;
        return;
    }
    status_ = StreamStatus::Open;
}

void FileInputStream::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (status_ != StreamStatus::Error)
        status_ = StreamStatus::Closed;
}

ssize_t FileInputStream::read(std::uint8_t* buffer, std::size_t maxLength) {
    if (status_ == StreamStatus::Error)
        return -1;
    if (status_ != StreamStatus::Open)
        return 0;
    ssize_t n;
    do
        n = ::read(fd_, buffer, maxLength);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        error_ = fileError(errno, "read", path_);
        status_ = StreamStatus::Error;
        return -1;
    }
    if (n == 0 && maxLength > 0)
        status_ = StreamStatus::AtEnd;
    return n;
}

bool FileInputStream::hasBytesAvailable() const {
    return status_ == StreamStatus::Open || status_ == StreamStatus::NotOpen;
}

// ---- memory out

void MemoryOutputStream::open() {
    std::lock_guard lock(mutex_);
    if (status_ == StreamStatus::NotOpen)
        status_ = StreamStatus::Open;
}

void MemoryOutputStream::close() {
    std::lock_guard lock(mutex_);
    if (status_ != StreamStatus::Error)
        status_ = StreamStatus::Closed;
}

ssize_t MemoryOutputStream::write(const std::uint8_t* buffer, std::size_t length) {
    std::lock_guard lock(mutex_);
    if (status_ == StreamStatus::Error)
        return -1;
    if (status_ != StreamStatus::Open)
        return 0;
    if (length > capacity_ - data_.size()) {
        error_ =
            Error::make(kURLErrorDomain, urlerror::kDataLengthExceedsMaximum,
                        fmt::format("The response body is larger than the limit of {} bytes.", capacity_));
        status_ = StreamStatus::Error;
        return -1;
    }
    data_.insert(data_.end(), buffer, buffer + length);
    return static_cast<ssize_t>(length);
}

bool MemoryOutputStream::hasSpaceAvailable() const {
    std::lock_guard lock(mutex_);
    return status_ == StreamStatus::Open || status_ == StreamStatus::Error;
}

StreamStatus MemoryOutputStream::streamStatus() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::optional<Error> MemoryOutputStream::streamError() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::optional<Bytes> MemoryOutputStream::dataWrittenToMemory() const {
    std::lock_guard lock(mutex_);
    return data_;
}

std::optional<Bytes> MemoryOutputStream::takeDataWrittenToMemory() {
    std::lock_guard lock(mutex_);
    return std::move(data_);
}

bool MemoryOutputStream::restart() {
    std::lock_guard lock(mutex_);
    data_.clear();
    return true;
}

// ---- files out

FileOutputStream::~FileOutputStream() {
    close();
}

void FileOutputStream::open() {
    std::lock_guard lock(mutex_);
    if (status_ != StreamStatus::NotOpen)
        return;
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append_ ? O_APPEND : O_TRUNC);
    fd_ = ::open(path_.c_str(), flags, 0600);
    if (fd_ < 0) {
        error_ = fileError(errno, "create", path_);
        status_ = StreamStatus::Error;
        return;
    }
    struct stat st {};
    offset_ = append_ && ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    status_ = StreamStatus::Open;
}

void FileOutputStream::close() {
    std::lock_guard lock(mutex_);
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (status_ != StreamStatus::Error)
        status_ = StreamStatus::Closed;
}

ssize_t FileOutputStream::write(const std::uint8_t* buffer, std::size_t length) {
    std::lock_guard lock(mutex_);
    if (status_ == StreamStatus::Error)
        return -1;
    if (status_ != StreamStatus::Open)
        return 0;
    ssize_t n;
    do
        n = ::write(fd_, buffer, length);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        error_ = fileError(errno, "write to", path_);
        status_ = StreamStatus::Error;
        return -1;
    }
    offset_ += static_cast<std::uint64_t>(n);
    return n;
}

bool FileOutputStream::hasSpaceAvailable() const {
    std::lock_guard lock(mutex_);
    return status_ == StreamStatus::Open || status_ == StreamStatus::Error;
}

StreamStatus FileOutputStream::streamStatus() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::optional<Error> FileOutputStream::streamError() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::optional<std::uint64_t> FileOutputStream::fileCurrentOffset() const {
    std::lock_guard lock(mutex_);
    return offset_;
}

bool FileOutputStream::restart() {
    std::lock_guard lock(mutex_);
    if (fd_ < 0 || ::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) < 0)
        return false;
    offset_ = 0;
    return true;
}

} // namespace tc::http
