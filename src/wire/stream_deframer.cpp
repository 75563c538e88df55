#include "wire/stream_deframer.h"

#include "platform/log.h"
#include "platform/utf8.h"
#include "wire/separators.h"

#include <cstring>

namespace tc {

namespace {

// First 0x01 or 0x02 in [p, end), or end. Eight bytes at a time: frames are mostly printable text.
const char* findStartOrEnd(const char* p, const char* end) noexcept {
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t highs = 0x8080808080808080ULL;
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, sizeof w);
        const std::uint64_t a = w ^ (ones * static_cast<unsigned char>(wire::kFrameStart));
        const std::uint64_t b = w ^ (ones * static_cast<unsigned char>(wire::kFrameEnd));
        if ((((a - ones) & ~a) | ((b - ones) & ~b)) & highs)
            break;
        p += 8;
    }
    for (; p < end; ++p) {
        if (*p == wire::kFrameStart || *p == wire::kFrameEnd)
            return p;
    }
    return end;
}

} // namespace

void StreamDeframer::feed(std::string_view bytes, FrameSink sink) {
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
        if (state_ != State::InFrame) {
            const auto* start = static_cast<const char*>(std::memchr(p, wire::kFrameStart, end - p));
            const char* stop = start ? start : end;
            if (state_ == State::Seeking && stop != p) {
                stats_.garbageBytes += stop - p;
                platform::Log::debug("deframer: skipped {} bytes outside a frame", stop - p);
            }
            if (!start)
                return;
            p = start + 1;
            state_ = State::InFrame;
            partial_.clear();
            continue;
        }
        const char* q = findStartOrEnd(p, end);
        if (q == end) {
            appendPartial(p, end);
            return;
        }
        const std::size_t total = partial_.size() + static_cast<std::size_t>(q - p);
        if (*q == wire::kFrameStart) {
            // A new frame begins before the old one ended: the old one is lost, never glued to the new.
            ++stats_.abandoned;
            platform::Log::warning("deframer: unfinished frame of {} bytes abandoned at a new frame start",
                                   total);
            partial_.clear();
        } else if (total > maxFrameBytes_) {
            ++stats_.oversizeDropped;
            platform::Log::warning("deframer: frame of {} bytes dropped, the cap is {}", total,
                                   maxFrameBytes_);
            partial_.clear();
            state_ = State::Seeking;
        } else if (total == 0) {
            ++stats_.emptyDropped;
            state_ = State::Seeking;
        } else {
            if (partial_.empty()) {
                emit(std::string_view(p, total), sink);
            } else {
                partial_.append(p, q);
                emit(partial_, sink);
                partial_.clear();
            }
            state_ = State::Seeking;
        }
        p = q + 1;
    }
}

std::vector<std::string> StreamDeframer::feed(std::string_view bytes) {
    std::vector<std::string> frames;
    feed(bytes, [&frames](std::string_view f) { frames.emplace_back(f); });
    return frames;
}

void StreamDeframer::reset() noexcept {
    state_ = State::Seeking;
    partial_.clear();
    partial_.shrink_to_fit();
}

void StreamDeframer::appendPartial(const char* begin, const char* end) {
    const std::size_t n = static_cast<std::size_t>(end - begin);
    if (partial_.size() + n > maxFrameBytes_) {
        ++stats_.oversizeDropped;
        platform::Log::warning("deframer: frame longer than the cap of {} bytes dropped", maxFrameBytes_);
        partial_.clear();
        if (partial_.capacity() > (std::size_t{1} << 20))
            partial_.shrink_to_fit();
        state_ = State::Discarding;
        return;
    }
    partial_.append(begin, end);
}

void StreamDeframer::emit(std::string_view frame, const FrameSink& sink) {
    ++stats_.frames;
    if (platform::isValidUtf8(frame)) {
        sink(frame);
        return;
    }
    // Keep the frame: one bad character in a chat text should not cost the whole message.
    ++stats_.invalidUtf8;
    platform::Log::warning("deframer: frame of {} bytes held invalid UTF-8, replaced with U+FFFD",
                           frame.size());
    repaired_ = platform::repairUtf8(frame);
    sink(repaired_);
}

} // namespace tc
