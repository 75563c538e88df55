// The data path of StreamSocket: readiness events, the read and write engines and their time-outs.
#include "connection/socket/socket_poller.h"
#include "connection/socket/stream_socket.h"
#include "connection/socket/stream_socket_internal.h"
#include "platform/log.h"

#include <openssl/err.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace tc {

using stream_socket_detail::secondsToDuration;

namespace {
constexpr std::size_t kTLSReadDefault = 32768;
constexpr std::size_t kTLSReadExtra = 16384;
constexpr std::size_t kTLSWritePiece = 32768;

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Readiness

void StreamSocket::updateInterest() {
    if (ioSource_ == 0)
        return;
    std::uint32_t desired = 0;
    const bool handshaking = ssl_ && !(flags_ & kSocketSecure);
    if (handshaking && awaitingTrust_) {
        desired = 0; // nothing moves until the delegate has judged the peer
    } else if (handshaking) {
        desired = SocketPoller::Read | (handshakeWantsWrite_ ? std::uint32_t{SocketPoller::Write} : 0u);
    } else {
        if (!(flags_ & kReadSourceSuspended))
            desired |= SocketPoller::Read;
        if (!(flags_ & kWriteSourceSuspended))
            desired |= SocketPoller::Write;
    }
    if (desired != ioArmed_) {
        SocketPoller::shared().arm(ioSource_, ioSourceFD_, desired);
        ioArmed_ = desired;
    }
}

void StreamSocket::onIOEvent(std::uint64_t id, std::uint32_t events) {
    if (id == 0 || id != ioSource_)
        return; // an event of a descriptor this socket no longer watches
    ioArmed_ = 0;
    if (ssl_ && !(flags_ & kSocketSecure)) {
        continueHandshake();
        if (id == ioSource_)
            updateInterest();
        return;
    }
    if ((events & SocketPoller::Write) && !(flags_ & kWriteSourceSuspended)) {
        flags_ |= kSocketCanAcceptBytes;
        doWriteData();
    }
    if (id != ioSource_)
        return;
    if ((events & SocketPoller::Read) && !(flags_ & kReadSourceSuspended)) {
        const int fd = ioSourceFD_;
        int count = 0;
        if (ioctl(fd, FIONREAD, &count) != 0)
            count = 0;
        if (count == 0) {
            // Nothing counted: either the end of the stream or an event that is already stale.
            char probe;
            ssize_t r = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
            if (r > 0) {
                if (ioctl(fd, FIONREAD, &count) != 0 || count <= 0)
                    count = 1;
            } else if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                count = -1;
            }
        }
        if (count > 0) {
            socketFDBytesAvailable_ = static_cast<std::size_t>(count);
            doReadData();
        } else if (count == 0) {
            doReadEOF();
        }
    }
    if (id == ioSource_)
        updateInterest();
}

// ---------------------------------------------------------------------------------------------------------
// Reads

void StreamSocket::readDataWithTimeout(double timeout, long tag) {
    readDataWithTimeout(timeout, nullptr, 0, 0, tag);
}

void StreamSocket::readDataWithTimeout(double timeout, SocketBuffer buffer, std::size_t offset, long tag) {
    readDataWithTimeout(timeout, std::move(buffer), offset, 0, tag);
}

void StreamSocket::readDataWithTimeout(double timeout, SocketBuffer buffer, std::size_t offset,
                                       std::size_t maxLength, long tag) {
    if (buffer && offset > buffer->size())
        return;
    enqueueRead(std::make_shared<StreamReadPacket>(std::move(buffer), offset, maxLength, timeout, 0,
                                                   std::nullopt, tag));
}

void StreamSocket::readDataToLength(std::size_t length, double timeout, long tag) {
    readDataToLength(length, timeout, nullptr, 0, tag);
}

void StreamSocket::readDataToLength(std::size_t length, double timeout, SocketBuffer buffer,
                                    std::size_t offset, long tag) {
    if (length == 0 || (buffer && offset > buffer->size()))
        return;
    enqueueRead(
        std::make_shared<StreamReadPacket>(std::move(buffer), offset, 0, timeout, length, std::nullopt, tag));
}

void StreamSocket::readDataToData(SocketData data, double timeout, long tag) {
    readDataToData(std::move(data), timeout, nullptr, 0, 0, tag);
}

void StreamSocket::readDataToData(SocketData data, double timeout, SocketBuffer buffer, std::size_t offset,
                                  long tag) {
    readDataToData(std::move(data), timeout, std::move(buffer), offset, 0, tag);
}

void StreamSocket::readDataToData(SocketData data, double timeout, std::size_t maxLength, long tag) {
    readDataToData(std::move(data), timeout, nullptr, 0, maxLength, tag);
}

void StreamSocket::readDataToData(SocketData data, double timeout, SocketBuffer buffer, std::size_t offset,
                                  std::size_t maxLength, long tag) {
    if (data.empty() || (buffer && offset > buffer->size()) || (maxLength > 0 && maxLength < data.size()))
        return;
    enqueueRead(std::make_shared<StreamReadPacket>(std::move(buffer), offset, maxLength, timeout, 0,
                                                   std::move(data), tag));
}

void StreamSocket::enqueueRead(std::shared_ptr<StreamReadPacket> packet) {
    onSocketQueueAsync([packet](StreamSocket& s) {
        if (!(s.flags_ & kSocketStarted) || (s.flags_ & kForbidReadsWrites))
            return;
        // Reads that would gather without bound get the socket's cap as their maximum.
        if (packet->isFixedLength() && packet->readLength > s.readLengthLimit_) {
            platform::Log::warning("StreamSocket: read of {} bytes exceeds the limit of {}; ignored",
                                   packet->readLength, s.readLengthLimit_);
            return;
        }
        if (packet->isDelimited() && (packet->maxLength == 0 || packet->maxLength > s.readLengthLimit_))
            packet->maxLength = std::max(s.readLengthLimit_, packet->term->size());
        s.readQueue_.push_back(packet);
        s.maybeDequeueRead();
        s.updateInterest();
    });
}

namespace {

struct Progress {
    long tag;
    std::size_t done;
    std::size_t total; // 0: length not known in advance
};

// Fills the out-arguments of a progress query: NaN and zeros when nothing is under way; a read of
// unknown length counts as complete.
float reportProgress(const std::optional<Progress>& p, long* tag, std::size_t* done, std::size_t* total) {
    if (tag)
        *tag = p ? p->tag : 0;
    if (done)
        *done = p ? p->done : 0;
    if (total)
        *total = p ? p->total : 0;
    if (!p)
        return std::numeric_limits<float>::quiet_NaN();
    if (p->total == 0)
        return 1.0f;
    return static_cast<float>(static_cast<double>(p->done) / static_cast<double>(p->total));
}

} // namespace

float StreamSocket::progressOfReadReturningTag(long* tag, std::size_t* done, std::size_t* total) const {
    return onSocketQueueSync([&]() -> float {
        auto* p = dynamic_cast<StreamReadPacket*>(currentRead_.get());
        return p ? reportProgress(Progress{p->tag, p->bytesDone, p->readLength}, tag, done, total)
                 : reportProgress(std::nullopt, tag, done, total);
    });
}

void StreamSocket::maybeDequeueRead() {
    if (currentRead_ || !(flags_ & kConnected))
        return;
    if (!readQueue_.empty()) {
        currentRead_ = readQueue_.front();
        readQueue_.pop_front();
        if (dynamic_cast<StreamSpecialPacket*>(currentRead_.get())) {
            flags_ |= kStartingReadTLS;
            maybeStartTLS();
        } else {
            setupTimer(IoSide::Read, static_cast<StreamReadPacket&>(*currentRead_).timeout);
            doReadData();
        }
    } else if (flags_ & kDisconnectAfterReads) {
        if (!(flags_ & kDisconnectAfterWrites) || (writeQueue_.empty() && !currentWrite_))
            closeWithError(std::nullopt);
    } else if (flags_ & kSocketSecure) {
        flushSSLBuffers();
        if (preBuffer_.availableBytes() == 0)
            resumeReadSource();
    } else if (socketFDBytesAvailable_ == 0 && !(flags_ & kSocketHasReadEOF)) {
        resumeReadSource(); // so a peer that closes while nothing is queued is noticed
    }
}

void StreamSocket::doReadData() {
    auto* packet = dynamic_cast<StreamReadPacket*>(currentRead_.get());
    const bool secure = flags_ & kSocketSecure;
    if (!packet || (flags_ & kReadsPaused)) {
        if (secure)
            flushSSLBuffers();
        // A level-triggered source would fire again and again for bytes nobody asked for yet.
        if (socketFDBytesAvailable_ > 0)
            suspendReadSource();
        return;
    }
    if (secure)
        flushSSLBuffers();
    const std::size_t estimate = socketFDBytesAvailable_ + (secure ? sslBufferedBytes() : 0);
    bool socketEOF = flags_ & kSocketHasReadEOF;
    if (estimate == 0 && preBuffer_.availableBytes() == 0) {
        if (socketEOF)
            doReadEOF();
        else
            resumeReadSource();
        return;
    }

    StreamReadPacket& p = *packet;
    bool done = false;
    bool waiting = false;
    std::optional<SocketError> error;
    std::size_t totalTaken = 0;

    const auto takeFromPreBuffer = [&] {
        std::size_t take;
        bool found = false;
        if (p.isDelimited())
            take = p.readLengthForTermWithPreBuffer(preBuffer_, found);
        else
            take = p.readLengthForNonTermWithHint(preBuffer_.availableBytes());
        p.ensureCapacityForAdditionalDataOfLength(take);
        std::memcpy(p.writePosition(), preBuffer_.readBuffer(), take);
        preBuffer_.didRead(take);
        p.bytesDone += take;
        totalTaken += take;
        if (p.isFixedLength())
            done = p.bytesDone == p.readLength;
        else if (p.isDelimited()) {
            if (found)
                done = true;
            else if (p.maxLength > 0 && p.bytesDone >= p.maxLength)
                error = SocketError::fixed(StreamSocketReadMaxedOutError);
        } else {
            done = p.maxLength > 0 && p.bytesDone == p.maxLength;
        }
    };

    // 1. Bytes read ahead earlier.
    if (preBuffer_.availableBytes() > 0)
        takeFromPreBuffer();

    // 2. The descriptor (or the TLS layer above it).
    if (!done && !error && !socketEOF && estimate > 0) {
        std::size_t size;
        if (secure) {
            std::size_t want = estimate > kTLSReadDefault ? estimate + kTLSReadExtra : kTLSReadDefault;
            size = p.isDelimited() ? p.readLengthForTermWithHint(want) : p.readLengthForNonTermWithHint(want);
        } else {
            size = p.isDelimited() ? p.readLengthForTermWithHint(estimate)
                                   : p.readLengthForNonTermWithHint(estimate);
        }
        // Delimited reads go through the read-ahead buffer so bytes past the terminator stay there.
        std::uint8_t* target;
        if (p.isDelimited()) {
            assert(preBuffer_.availableBytes() == 0 && "Invalid logic");
            preBuffer_.ensureCapacityForWrite(size);
            target = preBuffer_.writeBuffer();
        } else {
            p.ensureCapacityForAdditionalDataOfLength(size);
            target = p.writePosition();
        }
        std::size_t n = 0;
        if (secure) {
            while (n < size) {
                ERR_clear_error();
                int r =
                    SSL_read(ssl_, target + n, static_cast<int>(std::min<std::size_t>(size - n, INT32_MAX)));
                if (r > 0) {
                    n += static_cast<std::size_t>(r);
                    continue;
                }
                int e = SSL_get_error(ssl_, r);
                if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
                    sslErrCode_ = errSSLWouldBlock;
                    waiting = true;
                } else if (e == SSL_ERROR_ZERO_RETURN) {
                    sslErrCode_ = errSSLClosedGraceful;
                    socketEOF = true;
                } else if (e == SSL_ERROR_SYSCALL ||
                           (e == SSL_ERROR_SSL &&
                            ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING)) {
                    sslErrCode_ = errSSLClosedAbort;
                    socketEOF = true;
                    ERR_clear_error();
                } else {
                    sslErrCode_ = errSSLProtocol;
                    error = SocketError::tls(errSSLProtocol, stream_socket_detail::openSSLErrorText());
                }
                break;
            }
            socketFDBytesAvailable_ = 0;
            if (!socketEOF && !error)
                waiting = waiting || n < size;
        } else {
            ssize_t r = ::recv(ioSourceFD_, target, size, 0);
            if (r < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    waiting = true;
                else
                    error = SocketError::posix(errno, "Error in read() function");
                socketFDBytesAvailable_ = 0;
            } else if (r == 0) {
                socketEOF = true;
                socketFDBytesAvailable_ = 0;
            } else {
                n = static_cast<std::size_t>(r);
                if (n < size || n >= socketFDBytesAvailable_)
                    socketFDBytesAvailable_ = 0;
                else
                    socketFDBytesAvailable_ -= n;
                if (socketFDBytesAvailable_ == 0)
                    waiting = true;
            }
        }
        if (n > 0) {
            if (p.isDelimited()) {
                preBuffer_.didWrite(n);
                takeFromPreBuffer();
            } else {
                p.bytesDone += n;
                totalTaken += n;
                if (p.isFixedLength())
                    done = p.bytesDone == p.readLength;
                else
                    done = true;
            }
        }
    }

    // A read of whatever is available ends as soon as it holds anything.
    if (!done && !error && p.isReadAny() && totalTaken > 0)
        done = true;

    if (done) {
        completeCurrentRead();
        if (!error && (!socketEOF || preBuffer_.availableBytes() > 0))
            onSocketQueueAsync([](StreamSocket& s) {
                s.maybeDequeueRead();
                s.updateInterest();
            });
    } else if (totalTaken > 0) {
        const long tag = p.tag;
        notifyDelegate([totalTaken, tag](StreamSocketDelegate& d, const std::shared_ptr<StreamSocket>& s) {
            d.socketDidReadPartialDataOfLength(s, totalTaken, tag);
        });
    }

    if (error) {
        closeWithError(std::move(error));
    } else if (socketEOF) {
        doReadEOF();
    } else if (!done || waiting || socketFDBytesAvailable_ == 0) {
        // Listen again: for the bytes this read still needs, or for the end of the stream when idle.
        resumeReadSource();
    }
}

void StreamSocket::doReadEOF() {
    flags_ |= kSocketHasReadEOF;
    if ((flags_ & kStartingReadTLS) || (ssl_ && !(flags_ & kSocketSecure))) {
        closeWithError(SocketError::tls(errSSLClosedAbort, "Connection closed during the TLS handshake"));
        return;
    }
    const bool secure = flags_ & kSocketSecure;
    if (secure)
        flushSSLBuffers();
    // The end of the stream is sticky, so a level-triggered source must not keep reporting it.
    suspendReadSource();
    if (preBuffer_.availableBytes() > 0) {
        // Reads still to come may drain what was read ahead; a waiting read found it insufficient.
        auto* packet = dynamic_cast<StreamReadPacket*>(currentRead_.get());
        if (!packet)
            return;
        doReadData();
        return;
    }
    if (flags_ & kReadStreamClosed)
        return;
    if (secure && sslErrCode_ != 0 && sslErrCode_ != errSSLClosedGraceful &&
        sslErrCode_ != errSSLWouldBlock) {
        closeWithError(SocketError::tls(sslErrCode_, "TLS connection closed abortively"));
        return;
    }
    if (config_ & kAllowHalfDuplexConnection) {
        pollfd pfd{connectedFD(), POLLOUT, 0};
        ::poll(&pfd, 1, 0);
        if ((pfd.revents & POLLOUT) && !(pfd.revents & (POLLHUP | POLLERR))) {
            flags_ |= kReadStreamClosed;
            notifyDelegate([](StreamSocketDelegate& d, const std::shared_ptr<StreamSocket>& s) {
                d.socketDidCloseReadStream(s);
            });
            return;
        }
    }
    closeWithError(SocketError::fixed(StreamSocketClosedError));
}

void StreamSocket::completeCurrentRead() {
    assert(currentRead_ && "Trying to complete current read when there is no current read.");
    auto& p = static_cast<StreamReadPacket&>(*currentRead_);
    SocketData result;
    if (p.bufferOwner) {
        p.buffer->resize(p.bytesDone);
        result = std::move(*p.buffer);
    } else {
        std::size_t keep = std::max(p.originalBufferLength, p.startOffset + p.bytesDone);
        if (p.buffer->size() > keep)
            p.buffer->resize(keep);
        auto begin = p.buffer->begin() + static_cast<std::ptrdiff_t>(p.startOffset);
        result.assign(begin, begin + static_cast<std::ptrdiff_t>(p.bytesDone));
    }
    const long tag = p.tag;
    notifyDelegate([result = std::move(result), tag](StreamSocketDelegate& d,
                                                     const std::shared_ptr<StreamSocket>& s) mutable {
        d.socketDidReadData(s, std::move(result), tag);
    });
    endCurrentRead();
}

void StreamSocket::endCurrentRead() {
    ++readTimerGeneration_;
    currentRead_.reset();
    flags_ &= ~kReadsPaused;
}

// ---------------------------------------------------------------------------------------------------------
// Writes

void StreamSocket::writeData(SocketData data, double timeout, long tag) {
    if (data.empty())
        return;
    auto packet = std::make_shared<StreamWritePacket>(std::make_shared<const SocketData>(std::move(data)),
                                                      timeout, tag);
    onSocketQueueAsync([packet](StreamSocket& s) {
        if (!(s.flags_ & kSocketStarted) || (s.flags_ & kForbidReadsWrites))
            return;
        s.writeQueue_.push_back(packet);
        s.maybeDequeueWrite();
        s.updateInterest();
    });
}

float StreamSocket::progressOfWriteReturningTag(long* tag, std::size_t* done, std::size_t* total) const {
    return onSocketQueueSync([&]() -> float {
        auto* p = dynamic_cast<StreamWritePacket*>(currentWrite_.get());
        return p ? reportProgress(Progress{p->tag, p->bytesDone, p->buffer->size()}, tag, done, total)
                 : reportProgress(std::nullopt, tag, done, total);
    });
}

void StreamSocket::maybeDequeueWrite() {
    if (currentWrite_ || !(flags_ & kConnected))
        return;
    if (!writeQueue_.empty()) {
        currentWrite_ = writeQueue_.front();
        writeQueue_.pop_front();
        if (dynamic_cast<StreamSpecialPacket*>(currentWrite_.get())) {
            flags_ |= kStartingWriteTLS;
            maybeStartTLS();
        } else {
            setupTimer(IoSide::Write, static_cast<StreamWritePacket&>(*currentWrite_).timeout);
            doWriteData();
        }
    } else if (flags_ & kDisconnectAfterWrites) {
        if (!(flags_ & kDisconnectAfterReads) || (readQueue_.empty() && !currentRead_))
            closeWithError(std::nullopt);
    }
}

void StreamSocket::doWriteData() {
    auto* p = dynamic_cast<StreamWritePacket*>(currentWrite_.get());
    if (!p || (flags_ & kWritesPaused)) {
        if (flags_ & kSocketCanAcceptBytes)
            suspendWriteSource();
        return;
    }
    if (!(flags_ & kSocketCanAcceptBytes)) {
        resumeWriteSource();
        return;
    }
    if (flags_ & kStartingWriteTLS)
        return;

    const SocketData& data = *p->buffer;
    std::size_t remaining = data.size() - p->bytesDone;
    std::size_t written = 0;
    bool waiting = false;
    std::optional<SocketError> error;

    if (flags_ & kSocketSecure) {
        while (remaining > 0) {
            std::size_t piece =
                sslWriteCachedLength_ ? sslWriteCachedLength_ : std::min(remaining, kTLSWritePiece);
            ERR_clear_error();
            int r = SSL_write(ssl_, data.data() + p->bytesDone + written, static_cast<int>(piece));
            if (r > 0) {
                written += static_cast<std::size_t>(r);
                remaining -= static_cast<std::size_t>(r);
                sslWriteCachedLength_ = 0;
                continue;
            }
            int e = SSL_get_error(ssl_, r);
            if (e == SSL_ERROR_WANT_WRITE || e == SSL_ERROR_WANT_READ) {
                sslWriteCachedLength_ = piece;
                waiting = true;
            } else {
                sslErrCode_ = errSSLProtocol;
                error = SocketError::tls(errSSLProtocol, stream_socket_detail::openSSLErrorText());
            }
            break;
        }
    } else {
        ssize_t r = ::send(ioSourceFD_, data.data() + p->bytesDone, remaining, MSG_NOSIGNAL);
        if (r < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                waiting = true;
            else
                error = SocketError::posix(errno, "Error in write() function");
        } else {
            written = static_cast<std::size_t>(r);
            if (written < remaining)
                waiting = true;
        }
    }

    if (waiting) {
        flags_ &= ~kSocketCanAcceptBytes;
        resumeWriteSource();
    }
    p->bytesDone += written;
    if (!error && p->bytesDone == data.size()) {
        completeCurrentWrite();
        onSocketQueueAsync([](StreamSocket& s) {
            s.maybeDequeueWrite();
            s.updateInterest();
        });
    } else if (written > 0) {
        const long tag = p->tag;
        notifyDelegate([written, tag](StreamSocketDelegate& d, const std::shared_ptr<StreamSocket>& s) {
            d.socketDidWritePartialDataOfLength(s, written, tag);
        });
    }
    if (error)
        closeWithError(std::move(error));
}

void StreamSocket::completeCurrentWrite() {
    assert(currentWrite_ && "Trying to complete current write when there is no current write.");
    const long tag = static_cast<StreamWritePacket&>(*currentWrite_).tag;
    notifyDelegate([tag](StreamSocketDelegate& d, const std::shared_ptr<StreamSocket>& s) {
        d.socketDidWriteDataWithTag(s, tag);
    });
    endCurrentWrite();
}

void StreamSocket::endCurrentWrite() {
    ++writeTimerGeneration_;
    currentWrite_.reset();
    flags_ &= ~kWritesPaused;
}

std::uint64_t& StreamSocket::timerGeneration(IoSide side) {
    return side == IoSide::Read ? readTimerGeneration_ : writeTimerGeneration_;
}

std::optional<StreamSocket::TimedPacket> StreamSocket::timedPacket(IoSide side) {
    if (side == IoSide::Read) {
        if (auto* p = dynamic_cast<StreamReadPacket*>(currentRead_.get()))
            return TimedPacket{p->tag, &p->timeout, p->bytesDone};
    } else if (auto* p = dynamic_cast<StreamWritePacket*>(currentWrite_.get())) {
        return TimedPacket{p->tag, &p->timeout, p->bytesDone};
    }
    return std::nullopt;
}

void StreamSocket::setupTimer(IoSide side, double timeout) {
    if (timeout < 0)
        return;
    const std::uint64_t generation = ++timerGeneration(side);
    std::weak_ptr<StreamSocket> weak = weak_from_this();
    socketQueue_->after(secondsToDuration(timeout), [weak, side, generation] {
        auto s = weak.lock();
        if (s && s->timerGeneration(side) == generation) {
            s->doTimeout(side);
            s->updateInterest();
        }
    });
}

void StreamSocket::doTimeout(IoSide side) {
    const auto packet = timedPacket(side);
    if (!packet)
        return;
    flags_ |= side == IoSide::Read ? kReadsPaused : kWritesPaused;
    if (!delegateQueue_) {
        doTimeoutWithExtension(side, 0);
        return;
    }
    const long tag = packet->tag;
    const double elapsed = *packet->timeout;
    const std::size_t bytesDone = packet->bytesDone;
    const std::uint64_t generation = timerGeneration(side);
    std::weak_ptr<StreamSocket> weak = weak_from_this();
    auto queue = socketQueue_;
    auto self = selfForCallbacks();
    std::weak_ptr<StreamSocketDelegate> weakDelegate = delegate_;
    delegateQueue_.async([=] {
        double extension = 0;
        if (auto d = weakDelegate.lock())
            extension = side == IoSide::Read
                            ? d->socketShouldTimeoutReadWithTag(self, tag, elapsed, bytesDone)
                            : d->socketShouldTimeoutWriteWithTag(self, tag, elapsed, bytesDone);
        queue->async([weak, side, generation, extension] {
            auto s = weak.lock();
            if (s && s->timerGeneration(side) == generation) {
                s->doTimeoutWithExtension(side, extension);
                s->updateInterest();
            }
        });
    });
}

void StreamSocket::doTimeoutWithExtension(IoSide side, double extension) {
    const auto packet = timedPacket(side);
    if (!packet)
        return;
    if (extension > 0 && std::isfinite(extension)) {
        *packet->timeout += extension;
        setupTimer(side, extension);
        if (side == IoSide::Read) {
            flags_ &= ~kReadsPaused;
            doReadData();
        } else {
            flags_ &= ~kWritesPaused;
            doWriteData();
        }
    } else {
        closeWithError(SocketError::fixed(side == IoSide::Read ? StreamSocketReadTimeoutError
                                                               : StreamSocketWriteTimeoutError));
    }
}

} // namespace tc
