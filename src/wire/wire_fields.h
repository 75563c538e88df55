#pragma once
// Allocation-free walk over the fields of a message body ("tag=value" pieces ended by 0x03).
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace tc::wire {

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

    bool next(Field& out) noexcept {
        if (done_)
            return false;
        const char* const b = rest_.data();
        const char* const e = b + rest_.size();
        const char* cut = findFieldEnd(b, e);
        const std::string_view piece(b, static_cast<std::size_t>(cut - b));
        if (cut == e) {
            done_ = true;
        } else {
            rest_ = std::string_view(cut + 1, static_cast<std::size_t>(e - cut - 1));
        }
        // Usual case inline: canonical digits then '=', so "<tag>=" stands at position 0.
        const char* q = b;
        unsigned tag = 0;
        while (q < cut && q - b < 9 && static_cast<unsigned char>(*q - '0') < 10) {
            tag = tag * 10 + static_cast<unsigned>(*q - '0');
            ++q;
        }
        if (q > b && q < cut && *q == '=' && (*b != '0' || q - b == 1)) {
            out.tag = static_cast<int>(tag);
            out.text = piece;
            out.value = std::string_view(q + 1, static_cast<std::size_t>(cut - q - 1));
            out.hasValue = true;
            return true;
        }
        out = parseField(piece);
        return true;
    }

private:
    // First 0x03 in [p, e), or e; eight bytes at a time, values are mostly short printable text.
    static const char* findFieldEnd(const char* p, const char* e) noexcept {
        constexpr std::uint64_t ones = 0x0101010101010101ULL;
        while (e - p >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, sizeof w);
            const std::uint64_t x = w ^ (ones * 0x03);
            if (((x - ones) & ~x) & (ones * 0x80))
                break;
            p += 8;
        }
        while (p < e && *p != '\x03')
            ++p;
        return p;
    }

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

} // namespace tc::wire
