#pragma once
// Allocation-free walk over the fields of a message body ("tag=value" pieces ended by 0x03).
#include <string_view>
#include <type_traits>

namespace wire {

struct Field {
    int tag = 0;            // leading decimal integer before the first '=' (0 when none)
    std::string_view text;  // the whole piece as received
    std::string_view value; // the rest of the piece after the first "<tag>="
    bool hasValue = false;  // false when "<tag>=" does not occur in the piece (always so for "")
};

// Reads one piece. The value runs to the end of the piece, so a value may itself hold "=" or even
// its own "<tag>=" (chat texts and replies do).
Field parseField(std::string_view piece) noexcept;

// Yields every piece of the body split at 0x03, in order; a body ending in 0x03 yields a last empty
// piece, as the split does.
class FieldIterator {
public:
    explicit FieldIterator(std::string_view body) noexcept : rest_(body) {}

    // For the text that the de-framer hands on (length, 0x03, body): the length piece is skipped, and a
    // text without any 0x03 has no fields at all.
    static FieldIterator overFrame(std::string_view frameText) noexcept;

    bool next(Field& out) noexcept;

private:
    FieldIterator() noexcept : done_(true) {}
    std::string_view rest_;
    bool done_ = false;
};

// Calls f(const Field&) for each piece; f may return false to stop early.
template <typename F>
void forEachField(std::string_view body, F&& f) {
    FieldIterator it(body);
    Field field;
    while (it.next(field)) {
        if constexpr (std::is_same_v<decltype(f(field)), bool>) {
            if (!f(field))
                return;
        } else {
            f(field);
        }
    }
}

} // namespace wire
