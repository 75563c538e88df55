#include "connection/socket/stream_socket_packets.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace tc {

StreamReadPacket::StreamReadPacket(SocketBuffer data, std::size_t startOffset, std::size_t maxLength,
                                   double timeout, std::size_t readLength,
                                   std::optional<SocketData> terminator, long tag)
    : startOffset(startOffset), maxLength(maxLength), timeout(timeout), readLength(readLength),
      term(std::move(terminator)), tag(tag) {
    if (data) {
        buffer = std::move(data);
        bufferOwner = false;
        originalBufferLength = buffer->size();
    } else {
        // Storage grows as bytes arrive, so a large announced length costs nothing up front.
        buffer = std::make_shared<SocketData>();
        this->startOffset = 0;
        bufferOwner = true;
        originalBufferLength = 0;
    }
}

void StreamReadPacket::ensureCapacityForAdditionalDataOfLength(std::size_t length) {
    std::size_t needed = startOffset + bytesDone + length;
    if (buffer->size() < needed)
        buffer->resize(needed);
}

std::size_t StreamReadPacket::readLengthForNonTermWithHint(std::size_t hint) const {
    assert(!term && "This method does not apply to term reads");
    assert(hint > 0 && "Invalid parameter: bytesAvailable");
    if (readLength > 0)
        return std::min(hint, readLength - bytesDone);
    if (maxLength > 0)
        return std::min(hint, maxLength - bytesDone);
    return hint;
}

std::size_t StreamReadPacket::readLengthForTermWithHint(std::size_t hint) const {
    assert(term && "This method only applies to term reads");
    if (maxLength > 0)
        return std::min(hint, maxLength - bytesDone);
    return hint;
}

std::size_t StreamReadPacket::readLengthForTermWithPreBuffer(const StreamSocketPreBuffer& preBuffer,
                                                             bool& found) const {
    assert(term && "This method only applies to term reads");
    found = false;
    const SocketData& t = *term;
    const std::size_t termLength = t.size();
    std::size_t available = preBuffer.availableBytes();
    if (maxLength > 0)
        available = std::min(available, maxLength - bytesDone);
    const std::uint8_t* pre = preBuffer.readBuffer();
    const std::uint8_t* held = buffer->data() + startOffset;

    // A terminator that begins in bytes already held ends earliest when most of it is held.
    std::size_t maxHeld = std::min(termLength - 1, bytesDone);
    for (std::size_t j = maxHeld; j >= 1; --j) {
        std::size_t rest = termLength - j;
        if (rest > available)
            continue;
        if (std::memcmp(held + bytesDone - j, t.data(), j) == 0 &&
            std::memcmp(pre, t.data() + j, rest) == 0) {
            found = true;
            return rest;
        }
    }
    const std::uint8_t* end = pre + available;
    const std::uint8_t* at = std::search(pre, end, t.begin(), t.end());
    if (at != end) {
        found = true;
        return static_cast<std::size_t>(at - pre) + termLength;
    }
    return available;
}

} // namespace tc
