#pragma once
// A growable byte buffer read from the front and written at the back. The space before the read
// position is reused only once the buffer has been emptied.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tc {

class StreamSocketPreBuffer {
public:
    explicit StreamSocketPreBuffer(std::size_t capacity);

    // Grows the storage by exactly the shortfall when fewer than `length` bytes are free.
    void ensureCapacityForWrite(std::size_t length);

    std::size_t availableBytes() const { return writeOffset_ - readOffset_; }
    const std::uint8_t* readBuffer() const { return storage_.data() + readOffset_; }
    void didRead(std::size_t count);

    std::size_t availableSpace() const { return storage_.size() - writeOffset_; }
    std::uint8_t* writeBuffer() { return storage_.data() + writeOffset_; }
    void didWrite(std::size_t count);

    void reset() { readOffset_ = writeOffset_ = 0; }
    std::size_t size() const { return storage_.size(); }

private:
    std::vector<std::uint8_t> storage_;
    std::size_t readOffset_ = 0;
    std::size_t writeOffset_ = 0;
};

} // namespace tc
