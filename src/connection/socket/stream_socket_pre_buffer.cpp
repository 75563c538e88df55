#include "connection/socket/stream_socket_pre_buffer.h"

#include <cassert>

namespace tc {

StreamSocketPreBuffer::StreamSocketPreBuffer(std::size_t capacity) : storage_(capacity) {}

void StreamSocketPreBuffer::ensureCapacityForWrite(std::size_t length) {
    std::size_t space = availableSpace();
    if (length > space)
        storage_.resize(storage_.size() + (length - space));
}

void StreamSocketPreBuffer::didRead(std::size_t count) {
    assert(count <= availableBytes());
    readOffset_ += count;
    if (readOffset_ == writeOffset_)
        reset();
}

void StreamSocketPreBuffer::didWrite(std::size_t count) {
    assert(count <= availableSpace());
    writeOffset_ += count;
}

} // namespace tc
