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
//
// The ends of the pieces are found 64 bytes at a time into a bit mask, one bit per 0x03, so a piece
// costs a bit scan rather than a pass over its bytes (fields are about ten bytes long).
class FieldIterator {
public:
    explicit FieldIterator(std::string_view body) noexcept
        : p_(body.data()), e_(body.data() + body.size()), block_(p_), blockEnd_(p_) {}

    // For the text that the de-framer hands on (length, 0x03, body): the length piece is skipped, and a
    // text without any 0x03 has no fields at all.
    static FieldIterator overFrame(std::string_view frameText) noexcept;

    bool next(Field& out) noexcept {
        if (done_)
            return false;
        const char* const b = p_;
        const char* const cut = nextCut();
        const std::string_view piece(b, static_cast<std::size_t>(cut - b));
        if (cut == e_)
            done_ = true;
        else
            p_ = cut + 1;
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
    // The next 0x03 at or after p_ (the mask holds only those), or e_.
    const char* nextCut() noexcept {
        while (mask_ == 0) {
            if (blockEnd_ == e_)
                return e_;
            fill(blockEnd_);
        }
        const char* cut = block_ + __builtin_ctzll(mask_);
        mask_ &= mask_ - 1;
        return cut;
    }
    // The mask of the 0x03 bytes in [from, from + 64), cut at e_.
    void fill(const char* from) noexcept;

    FieldIterator() noexcept : done_(true) {}
    const char* p_ = nullptr; // start of the next piece
    const char* e_ = nullptr;
    const char* block_ = nullptr; // bit i of mask_ stands for block_[i]
    const char* blockEnd_ = nullptr;
    std::uint64_t mask_ = 0;
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
