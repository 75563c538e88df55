#pragma once
// Cuts a byte stream into frames (0x01 ... 0x02). Works on raw bytes so that a read may end anywhere,
// even inside a multi-byte character; each whole frame is checked as UTF-8 once it is complete.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace tc {

class StreamDeframer {
public:
    static constexpr std::size_t kDefaultMaxFrameBytes = std::size_t{16} << 20;

    // Called once per complete frame with the bytes between 0x01 and 0x02 (the length digits, 0x03 and
    // the body). The view is valid only during the call.
    class FrameSink {
    public:
        template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FrameSink>>>
        FrameSink(F&& f) noexcept // NOLINT: implicit on purpose, like a function reference
            : object_(const_cast<void*>(static_cast<const void*>(&f))),
              call_([](void* o, std::string_view s) { (*static_cast<std::remove_reference_t<F>*>(o))(s); }) {}
        void operator()(std::string_view frame) const { call_(object_, frame); }

    private:
        void* object_;
        void (*call_)(void*, std::string_view);
    };

    struct Stats {
        std::uint64_t frames = 0;          // frames handed to the sink
        std::uint64_t oversizeDropped = 0; // frames longer than the cap
        std::uint64_t abandoned = 0;       // partial frames cut short by a new 0x01
        std::uint64_t emptyDropped = 0;    // 0x01 0x02 with nothing inside
        std::uint64_t invalidUtf8 = 0;     // frames passed on with U+FFFD replacements
        std::uint64_t garbageBytes = 0;    // bytes outside any frame
    };

    explicit StreamDeframer(std::size_t maxFrameBytes = kDefaultMaxFrameBytes) noexcept
        : maxFrameBytes_(maxFrameBytes) {}

    void setMaxFrameBytes(std::size_t maxFrameBytes) noexcept { maxFrameBytes_ = maxFrameBytes; }
    std::size_t maxFrameBytes() const noexcept { return maxFrameBytes_; }

    // Takes the next read of the stream; complete frames go to the sink in order.
    void feed(std::string_view bytes, FrameSink sink);
    // The same, collecting the frames.
    std::vector<std::string> feed(std::string_view bytes);

    // Forgets any unfinished frame (after a reconnect).
    void reset() noexcept;

    // Bytes of the unfinished frame held over for the next read.
    std::size_t pendingBytes() const noexcept { return partial_.size(); }
    bool insideFrame() const noexcept { return state_ == State::InFrame; }
    const Stats& stats() const noexcept { return stats_; }

private:
    enum class State { Seeking, InFrame, Discarding };

    void emit(std::string_view frame, const FrameSink& sink);
    void appendPartial(const char* begin, const char* end);

    std::size_t maxFrameBytes_;
    State state_ = State::Seeking;
    std::string partial_;
    std::string repaired_;
    Stats stats_;
};

} // namespace tc
