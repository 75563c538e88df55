#include "platform/rtf.h"

#include "platform/lenient.h"
#include "platform/utf8.h"

#include "platform/log.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace tc::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `i`, advancing it; a malformed sequence yields U+FFFD for its first byte.
char32_t nextCodePoint(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + len > s.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += len;
    return cp;
}

void appendUnicodeEscape(std::string& out, int unit) {
    // RTF parameters are signed 16-bit; "?" is the one fallback character for readers without \u.
    if (unit > 32767)
        unit -= 65536;
    out += "\\u";
    out += std::to_string(unit);
    out += '?';
}

// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 control of the same value.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Groups whose content is not document text.
bool isSkippedDestination(std::string_view w) {
    static constexpr std::string_view kNames[] = {"fonttbl",
                                                  "colortbl",
                                                  "stylesheet",
                                                  "info",
                                                  "pict",
                                                  "expandedcolortbl",
                                                  "listtable",
                                                  "listoverridetable",
                                                  "header",
                                                  "headerl",
                                                  "headerr",
                                                  "headerf",
                                                  "footer",
                                                  "footerl",
                                                  "footerr",
                                                  "footerf",
                                                  "footnote",
                                                  "object",
                                                  "fldinst",
                                                  "themedata",
                                                  "colorschememapping",
                                                  "datastore",
                                                  "latentstyles",
                                                  "rsidtbl",
                                                  "generator",
                                                  "xmlnstbl",
                                                  "revtbl",
                                                  "filetbl",
                                                  "nonshppict",
                                                  "shpinst",
                                                  "private",
                                                  "pgdsctbl",
                                                  "bkmkstart",
                                                  "bkmkend",
                                                  "title",
                                                  "author",
                                                  "operator",
                                                  "keywords",
                                                  "comment",
                                                  "doccomm",
                                                  "subject",
                                                  "company",
                                                  "creatim",
                                                  "revtim",
                                                  "printim",
                                                  "buptim"};
    return std::find(std::begin(kNames), std::end(kNames), w) != std::end(kNames);
}

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};

class RtfReader {
public:
    explicit RtfReader(std::string_view in) : in_(in) { out_.reserve(in.size() / 2); }

    std::string run() {
        while (pos_ < in_.size() && !finished_) {
            const char c = in_[pos_];
            if (c == '{') {
                ++pos_;
                openGroup();
            } else if (c == '}') {
                ++pos_;
                closeGroup();
            } else if (c == '\\') {
                ++pos_;
                controlSequence();
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                if (consumeFallback())
                    continue;
                if (static_cast<unsigned char>(c) >= 0x80)
                    byte(static_cast<unsigned char>(c));
                else if (c == '\t')
                    text(U'\t');
                else if (static_cast<unsigned char>(c) >= 0x20)
                    text(static_cast<char32_t>(c));
            }
        }
        flush();
        return std::move(out_);
    }

private:
    struct State {
        bool skip = false;
        int uc = 1;
    };

    bool skipping() const { return state_.skip || excessDepth_ > 0; }

    void openGroup() {
        fallbackLeft_ = 0;
        flush();
        if (static_cast<int>(stack_.size()) >= kMaxRtfGroupDepth) {
            ++excessDepth_;
            return;
        }
        stack_.push_back(state_);
    }

    void closeGroup() {
        fallbackLeft_ = 0;
        flush();
        if (excessDepth_ > 0) {
            --excessDepth_;
            return;
        }
        if (stack_.empty())
            return;
        state_ = stack_.back();
        stack_.pop_back();
        // The document ends with its outermost group.
        if (stack_.empty())
            finished_ = true;
    }

    // After \uN the next `uc` characters are the fallback for readers without Unicode.
    bool consumeFallback() {
        if (fallbackLeft_ == 0)
            return false;
        --fallbackLeft_;
        return true;
    }

    void controlSequence() {
        if (pos_ >= in_.size())
            return;
        const char c = in_[pos_];
        if (!isLetter(c)) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        const size_t start = pos_;
        while (pos_ < in_.size() && isLetter(in_[pos_]))
            ++pos_;
        // No control word is longer than 32 letters; longer runs are read whole and ignored.
        std::string_view word = in_.substr(start, std::min<size_t>(pos_ - start, 33));
        std::optional<long long> param;
        bool negative = false;
        if (pos_ + 1 < in_.size() && in_[pos_] == '-' && isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        if (pos_ < in_.size() && isDigit(in_[pos_])) {
            long long v = 0;
            while (pos_ < in_.size() && isDigit(in_[pos_])) {
                v = std::min<long long>(v * 10 + (in_[pos_] - '0'), 1'000'000'000'000LL);
                ++pos_;
            }
            param = negative ? -v : v;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;
        controlWord(word, param);
    }

    void controlSymbol(char c) {
        switch (c) {
        case '\'': {
            int value = 0;
            int digits = 0;
            while (digits < 2 && pos_ < in_.size() && hexDigitValue(in_[pos_]) >= 0) {
                value = value * 16 + hexDigitValue(in_[pos_]);
                ++pos_;
                ++digits;
            }
            if (consumeFallback() || digits < 2)
                return;
            byte(static_cast<unsigned char>(value));
            return;
        }
        case '*':
            state_.skip = true;
            return;
        default:
            break;
        }
        if (consumeFallback())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(static_cast<char32_t>(c));
            break;
        case '~':
            text(0x00A0);
            break;
        case '_':
            text(0x2011);
            break;
        case '\n':
        case '\r':
            text(U'\n');
            break;
        default: // \- optional hyphen, \| \: index marks and unknown symbols carry no text
            break;
        }
    }

    void controlWord(std::string_view w, std::optional<long long> param) {
        if (w == "bin") {
            // Raw bytes follow; never read them as RTF.
            const long long n = std::max(0LL, param.value_or(0));
            pos_ += static_cast<size_t>(std::min<long long>(n, static_cast<long long>(in_.size() - pos_)));
            consumeFallback();
            return;
        }
        if (w == "u") {
            if (consumeFallback())
                return;
            if (!param)
                return;
            unicode(*param);
            fallbackLeft_ = state_.uc;
            return;
        }
        if (consumeFallback())
            return;
        if (isSkippedDestination(w)) {
            state_.skip = true;
            return;
        }
        if (w == "uc") {
            state_.uc = static_cast<int>(std::clamp(param.value_or(1), 0LL, 16LL));
            return;
        }
        if (w == "ansicpg") {
            setCodePage(static_cast<int>(std::clamp(param.value_or(1252), 0LL, 100000LL)));
            return;
        }
        if (w == "ansi")
            return setCodePage(1252);
        if (w == "mac")
            return setCodePage(10000);
        if (w == "pc")
            return setCodePage(437);
        if (w == "pca")
            return setCodePage(850);

        struct Named {
            std::string_view word;
            char32_t cp;
        };
        static constexpr Named kText[] = {
            {"par", U'\n'},        {"line", U'\n'},       {"sect", U'\n'},     {"page", U'\n'},
            {"row", U'\n'},        {"tab", U'\t'},        {"cell", U'\t'},     {"emdash", 0x2014},
            {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},  {"rquote", 0x2019},
            {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003}, {"enspace", 0x2002},
            {"qmspace", 0x2005},   {"zwj", 0x200D},       {"zwnj", 0x200C},    {"zwbo", 0x200B},
            {"zwnbo", 0xFEFF},     {"ltrmark", 0x200E},   {"rtlmark", 0x200F}};
        for (const auto& n : kText) {
            if (n.word == w) {
                text(n.cp);
                return;
            }
        }
    }

    void setCodePage(int cp) {
        if (skipping() || cp == codePage_)
            return;
        flush();
        codePage_ = cp;
        converter_.reset();
        if (cp == 1252)
            return;
        std::string name = cp == 10000 ? "macintosh" : cp == 65001 ? "UTF-8" : "cp" + std::to_string(cp);
        UErrorCode status = U_ZERO_ERROR;
        UConverter* conv = ucnv_open(name.c_str(), &status);
        if (U_FAILURE(status) || !conv) {
            // Unknown code pages are read as Windows-1252, the RTF default.
            if (conv)
                ucnv_close(conv);
            return;
        }
        converter_.reset(conv);
    }

    // A UTF-16 unit or, past 0xFFFF, a code point from \uN.
    void unicode(long long n) {
        if (skipping())
            return;
        flushBytes();
        if (n < 0 && n >= -32768)
            n += 65536;
        if (n < 0 || n > 0x10FFFF) {
            flushSurrogate();
            appendUtf8(out_, kReplacement);
            return;
        }
        const auto v = static_cast<char32_t>(n);
        if (v >= 0xD800 && v <= 0xDBFF) {
            flushSurrogate();
            highSurrogate_ = v;
            return;
        }
        if (v >= 0xDC00 && v <= 0xDFFF) {
            if (highSurrogate_) {
                const char32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (v - 0xDC00);
                highSurrogate_ = 0;
                appendUtf8(out_, cp);
            } else {
                appendUtf8(out_, kReplacement);
            }
            return;
        }
        flushSurrogate();
        appendUtf8(out_, v);
    }

    void text(char32_t cp) {
        if (skipping())
            return;
        flush();
        appendUtf8(out_, cp);
    }

    void byte(unsigned char b) {
        if (skipping())
            return;
        flushSurrogate();
        bytes_ += static_cast<char>(b);
    }

    void flush() {
        flushBytes();
        flushSurrogate();
    }

    void flushSurrogate() {
        if (highSurrogate_) {
            highSurrogate_ = 0;
            appendUtf8(out_, kReplacement);
        }
    }

    // Code-page bytes are decoded in runs, so double-byte code pages come out whole.
    void flushBytes() {
        if (bytes_.empty())
            return;
        if (!converter_) {
            for (char ch : bytes_) {
                const auto b = static_cast<unsigned char>(ch);
                appendUtf8(out_, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
            }
        } else {
            std::vector<UChar> units(bytes_.size() * 2 + 4);
            UErrorCode status = U_ZERO_ERROR;
            ucnv_reset(converter_.get());
            const int32_t n =
                ucnv_toUChars(converter_.get(), units.data(), static_cast<int32_t>(units.size()),
                              bytes_.data(), static_cast<int32_t>(bytes_.size()), &status);
            if (U_SUCCESS(status)) {
                for (int32_t i = 0; i < n; ++i) {
                    char32_t u = units[i];
                    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && units[i + 1] >= 0xDC00 &&
                        units[i + 1] <= 0xDFFF) {
                        u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
                        ++i;
                    }
                    appendUtf8(out_, u);
                }
            } else {
                appendUtf8(out_, kReplacement);
            }
        }
        bytes_.clear();
    }

    std::string_view in_;
    size_t pos_ = 0;
    bool finished_ = false;
    State state_;
    std::vector<State> stack_;
    int excessDepth_ = 0;
    int fallbackLeft_ = 0;
    char32_t highSurrogate_ = 0;
    std::string bytes_;
    int codePage_ = 1252;
    std::unique_ptr<UConverter, ConverterCloser> converter_;
    std::string out_;
};

} // namespace

std::string rtfFromPlainText(std::string_view utf8) {
    if (utf8.size() > kMaxRtfPlainTextBytes) {
        Log::warning("text of {} bytes is too long for an RTF document", utf8.size());
        return {};
    }
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0 Helvetica;}}\\f0\\fs24 ";
    out.reserve(out.size() + utf8.size() + utf8.size() / 4 + 2);
    size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = nextCodePoint(utf8, i);
        switch (cp) {
        case '\\':
            out += "\\\\";
            continue;
        case '{':
            out += "\\{";
            continue;
        case '}':
            out += "\\}";
            continue;
        case '\n':
            out += "\\par\n";
            continue;
        case '\t':
            out += "\\tab ";
            continue;
        default:
            break;
        }
        if (cp >= 0x20 && cp < 0x7F) {
            out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
            // Other controls too: readers drop raw control bytes.
            appendUnicodeEscape(out, static_cast<int>(cp));
        } else {
            const char32_t v = cp - 0x10000;
            appendUnicodeEscape(out, static_cast<int>(0xD800 + (v >> 10)));
            appendUnicodeEscape(out, static_cast<int>(0xDC00 + (v & 0x3FF)));
        }
    }
    out += '}';
    return out;
}

std::string plainTextFromRtf(std::string_view rtf) {
    if (rtf.size() > kMaxRtfDocumentBytes) {
        Log::warning("RTF document of {} bytes refused", rtf.size());
        return {};
    }
    if (rtf.substr(0, 5) != "{\\rtf")
        return std::string(rtf);
    return RtfReader(rtf).run();
}

} // namespace tc::platform
