#pragma once
// Packets describing queued reads and writes, and the marker that starts TLS.
#include "connection/socket/stream_socket_pre_buffer.h"
#include "connection/socket/stream_socket_tls_settings.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tc {

using SocketData = std::vector<std::uint8_t>;
using SocketBuffer = std::shared_ptr<SocketData>;

struct StreamPacket {
    virtual ~StreamPacket() = default;
};

class StreamReadPacket final : public StreamPacket {
public:
    // Without a caller's buffer the packet makes its own, starting at offset 0.
    StreamReadPacket(SocketBuffer data, std::size_t startOffset, std::size_t maxLength, double timeout,
                     std::size_t readLength, std::optional<SocketData> terminator, long tag);

    bool isReadAny() const { return readLength == 0 && !term; }
    bool isFixedLength() const { return readLength > 0; }
    bool isDelimited() const { return term.has_value(); }

    void ensureCapacityForAdditionalDataOfLength(std::size_t length);
    std::uint8_t* writePosition() { return buffer->data() + startOffset + bytesDone; }

    // How much of `hint` readable bytes a read-any or fixed-length read may take.
    std::size_t readLengthForNonTermWithHint(std::size_t hint) const;
    // How much of `hint` readable bytes a delimited read may take.
    std::size_t readLengthForTermWithHint(std::size_t hint) const;
    // How many read-ahead bytes a delimited read may take; `found` tells whether they end with the
    // terminator (which may begin in bytes this packet already holds).
    std::size_t readLengthForTermWithPreBuffer(const StreamSocketPreBuffer& preBuffer, bool& found) const;

    SocketBuffer buffer;
    std::size_t startOffset;
    std::size_t bytesDone = 0;
    std::size_t maxLength;
    double timeout;
    std::size_t readLength;
    std::optional<SocketData> term;
    bool bufferOwner;
    std::size_t originalBufferLength;
    long tag;
};

class StreamWritePacket final : public StreamPacket {
public:
    StreamWritePacket(std::shared_ptr<const SocketData> data, double timeout, long tag)
        : buffer(std::move(data)), timeout(timeout), tag(tag) {}

    std::shared_ptr<const SocketData> buffer;
    std::size_t bytesDone = 0;
    double timeout;
    long tag;
};

class StreamSpecialPacket final : public StreamPacket {
public:
    explicit StreamSpecialPacket(StreamSocketTLSSettings settings) : tlsSettings(std::move(settings)) {}
    StreamSocketTLSSettings tlsSettings;
};

} // namespace tc
