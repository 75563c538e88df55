#include "chat/rtf_reader.h"

#include "platform/utf8.h"

#include <algorithm>
#include <array>
#include <limits>

namespace tc::chat {
namespace {

enum class Kind : std::uint8_t { Character, Destination, Property, Special };

// Property numbers.
enum Property : int {
    kFontIndex = 0,
    kFontSize = 1,
    kBold = 2,
    kItalic = 3,
    kIndentLeft = 4,
    kIndentRight = 5,
    kIndentFirst = 6,
    kJustification = 7,
};

// Special actions.
enum Action : int {
    kBinary = 0,
    kHexPair = 1,
    kSkipIfUnknown = 2,
    kUnicode = 3,
    kFallbackCount = 4,
};

struct Keyword {
    std::string_view word;
    std::int32_t defaultValue;
    bool useDefault;
    Kind kind;
    int index;
};

constexpr Keyword character(std::string_view word, int code) {
    return {word, 0, false, Kind::Character, code};
}
constexpr Keyword destination(std::string_view word) {
    return {word, 0, false, Kind::Destination, 2};
}
constexpr Keyword special(std::string_view word, int action) {
    return {word, 0, false, Kind::Special, action};
}

// Searched in order, exactly (letter case matters).
constexpr std::array kKeywords = {
    Keyword{"f", 0, true, Kind::Property, kFontIndex},
    Keyword{"fs", 10, true, Kind::Property, kFontSize},
    Keyword{"b", 1, false, Kind::Property, kBold},
    Keyword{"i", 1, false, Kind::Property, kItalic},
    Keyword{"li", 0, false, Kind::Property, kIndentLeft},
    Keyword{"ri", 0, false, Kind::Property, kIndentRight},
    Keyword{"fi", 0, false, Kind::Property, kIndentFirst},
    Keyword{"qc", 2, true, Kind::Property, kJustification},
    Keyword{"ql", 0, true, Kind::Property, kJustification},
    Keyword{"qr", 1, true, Kind::Property, kJustification},
    Keyword{"qj", 3, true, Kind::Property, kJustification},
    character("par", '\n'),
    character("\n", '\n'),
    character("\r", '\n'),
    character("emspace", ' '),
    character("enspace", ' '),
    character("~", ' '),
    character("lquote", '\''),
    character("rquote", '\''),
    character("-", '-'),
    character("_", '-'),
    character("emdash", '-'),
    character("endash", '-'),
    character("line", '\n'),
    character("page", '\n'),
    character("pagebb", '\n'),
    character("outlinelevel", '\n'),
    character("tab", '\t'),
    character("ldblquote", '"'),
    character("rdblquote", '"'),
    special("bin", kBinary),
    special("*", kSkipIfUnknown),
    special("'", kHexPair),
    special("u", kUnicode),
    special("uc", kFallbackCount),
    destination("author"),
    destination("buptim"),
    destination("colortbl"),
    destination("comment"),
    destination("creatim"),
    destination("doccomm"),
    destination("fonttbl"),
    destination("footer"),
    destination("footerf"),
    destination("footerl"),
    destination("footerr"),
    destination("footnote"),
    destination("ftncn"),
    destination("ftnsep"),
    destination("ftnsepc"),
    destination("header"),
    destination("headerf"),
    destination("headerl"),
    destination("headerr"),
    destination("info"),
    destination("keywords"),
    destination("operator"),
    destination("pict"),
    destination("printim"),
    destination("private1"),
    destination("revtim"),
    destination("rxe"),
    destination("stylesheet"),
    destination("subject"),
    destination("tc"),
    destination("title"),
    destination("txe"),
    destination("xe"),
    character("{", '{'),
    character("}", '}'),
    character("\\", '\\'),
};

const Keyword* findKeyword(std::string_view word) {
    for (const Keyword& k : kKeywords)
        if (k.word == word)
            return &k;
    return nullptr;
}

// Windows-1252 0x80-0x9F; its five unassigned bytes stand for the C1 control of the same value.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t fromWindows1252(unsigned char b) {
    return b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : b;
}

bool isLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

constexpr char32_t kReplacement = 0xFFFD;

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {
        doc_.fontRuns.emplace_back();
        doc_.paragraphRuns.emplace_back();
    }

    RtfDocument run() {
        RtfError e = parse();
        if (e != RtfError::None) {
            RtfDocument failed;
            failed.error = e;
            return failed;
        }
        return std::move(doc_);
    }

private:
    enum class Destination : std::uint8_t { Normal, Skip };
    enum class Internal : std::uint8_t { Normal, Binary, Hex };

    struct Group {
        Destination destination;
        Internal internal;
        std::int64_t fallbackCount;
    };

    RtfError parse() {
        while (pos_ < in_.size()) {
            const auto c = static_cast<unsigned char>(in_[pos_++]);
            RtfError e = RtfError::None;
            if (internal_ == Internal::Binary) {
                binaryByte();
                continue;
            }
            switch (c) {
            case '\\':
                e = parseKeyword();
                break;
            case '{':
                e = pushState();
                break;
            case '}':
                e = popState();
                break;
            case '\r':
            case '\n':
                break;
            default:
                if (internal_ == Internal::Normal)
                    rawByte(c);
                else if (internal_ == Internal::Hex)
                    e = hexDigit(c);
                else
                    e = RtfError::BadState;
            }
            if (e != RtfError::None)
                return e;
        }
        if (!groups_.empty())
            return RtfError::OpenGroups;
        flushBytes();
        flushSurrogate();
        doc_.fontRuns.back().end = doc_.text.size();
        doc_.paragraphRuns.back().end = doc_.text.size();
        return RtfError::None;
    }

    RtfError parseKeyword() {
        if (pos_ >= in_.size())
            return RtfError::TruncatedControl;
        const auto first = static_cast<unsigned char>(in_[pos_]);
        if (!isLetter(first)) {
            ++pos_;
            return translate(in_.substr(pos_ - 1, 1), 0, false, false);
        }
        const std::size_t start = pos_;
        while (pos_ < in_.size() && isLetter(static_cast<unsigned char>(in_[pos_])))
            ++pos_;
        const std::string_view word = in_.substr(start, pos_ - start);
        bool overlong = word.size() > RtfReader::kMaxKeywordLetters;

        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            if (++pos_ >= in_.size())
                return RtfError::TruncatedControl;
        }
        bool hasParam = false;
        std::int64_t magnitude = 0;
        std::size_t digits = 0;
        while (pos_ < in_.size() && isDigit(static_cast<unsigned char>(in_[pos_]))) {
            // Saturates: a parameter this long is refused below anyway.
            if (magnitude < std::numeric_limits<std::int64_t>::max() / 10)
                magnitude = magnitude * 10 + (in_[pos_] - '0');
            ++digits;
            ++pos_;
            hasParam = true;
        }
        overlong = overlong || digits > RtfReader::kMaxParameterDigits;
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;
        const std::int64_t value = negative ? -magnitude : magnitude;
        const auto param = static_cast<std::int32_t>(std::clamp<std::int64_t>(
            value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
        return translate(word, param, hasParam, overlong);
    }

    RtfError translate(std::string_view word, std::int32_t param, bool hasParam, bool overlong) {
        const Keyword* k = overlong ? nullptr : findKeyword(word);
        if (!k) {
            if (skipIfUnknown_)
                destination_ = Destination::Skip;
            skipIfUnknown_ = false;
            return RtfError::None;
        }
        skipIfUnknown_ = false;
        switch (k->kind) {
        case Kind::Character:
            if (!consumeFallback())
                emit(static_cast<char32_t>(k->index));
            return RtfError::None;
        case Kind::Destination:
            destination_ = Destination::Skip;
            return RtfError::None;
        case Kind::Property:
            return applyProperty(k->index, k->useDefault || !hasParam ? k->defaultValue : param);
        case Kind::Special:
            return specialAction(k->index, param, hasParam);
        }
        return RtfError::UnknownAction;
    }

    RtfError specialAction(int action, std::int32_t param, bool hasParam) {
        if (destination_ == Destination::Skip && action != kBinary)
            return RtfError::None;
        switch (action) {
        case kBinary:
            // The count is this word's own parameter; none, or 0, holds no data.
            if (hasParam && param > 0) {
                internal_ = Internal::Binary;
                binaryLeft_ = param;
            }
            return RtfError::None;
        case kHexPair:
            internal_ = Internal::Hex;
            hexValue_ = 0;
            hexDigitsLeft_ = 2;
            return RtfError::None;
        case kSkipIfUnknown:
            skipIfUnknown_ = true;
            return RtfError::None;
        case kUnicode:
            if (hasParam)
                unicodeUnit(param);
            fallbackLeft_ = fallbackCount_;
            return RtfError::None;
        case kFallbackCount:
            fallbackCount_ =
                std::clamp<std::int64_t>(hasParam ? param : 1, 0, RtfReader::kMaxFallbackCharacters);
            return RtfError::None;
        default:
            return RtfError::UnknownAction;
        }
    }

    RtfError applyProperty(int property, std::int32_t value) {
        if (destination_ == Destination::Skip)
            return RtfError::None;
        if (property <= kItalic) {
            RtfFontRun& run = pushRun(doc_.fontRuns);
            switch (property) {
            case kFontIndex:
                run.fontIndex = value;
                break;
            case kFontSize:
                run.fontSize = static_cast<float>(value);
                break;
            case kBold:
                run.isBold = value != 0;
                break;
            default:
                run.isItalic = value != 0;
                break;
            }
            return RtfError::None;
        }
        if (property <= kJustification) {
            RtfParagraphRun& run = pushRun(doc_.paragraphRuns);
            switch (property) {
            case kIndentLeft:
                run.indentLeft = value;
                break;
            case kIndentRight:
                run.indentRight = value;
                break;
            case kIndentFirst:
                run.indentFirst = value;
                break;
            default:
                run.just = value;
                break;
            }
            return RtfError::None;
        }
        return RtfError::UnknownAction;
    }

    // Changes at one output position merge into one run; a new run starts only after text, and only
    // while there are fewer than kMaxRuns (a run every few bytes would otherwise cost many times the
    // document's size).
    template <class Run>
    Run& pushRun(std::vector<Run>& runs) {
        flushBytes();
        flushSurrogate();
        const std::size_t here = doc_.text.size();
        if (runs.back().end < here && runs.size() < RtfReader::kMaxRuns) {
            runs.back().end = here;
            Run next = runs.back();
            next.start = next.end = here;
            runs.push_back(next);
        }
        return runs.back();
    }

    RtfError pushState() {
        if (groups_.size() >= static_cast<std::size_t>(RtfReader::kMaxGroupDepth))
            return RtfError::TooDeep;
        groups_.push_back({destination_, internal_, fallbackCount_});
        internal_ = Internal::Normal;
        fallbackLeft_ = 0;
        return RtfError::None;
    }

    RtfError popState() {
        if (groups_.empty())
            return RtfError::UnmatchedClose;
        const Group g = groups_.back();
        groups_.pop_back();
        destination_ = g.destination;
        internal_ = g.internal;
        fallbackCount_ = g.fallbackCount;
        fallbackLeft_ = 0;
        return RtfError::None;
    }

    RtfError hexDigit(unsigned char c) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return RtfError::BadHexDigit;
        hexValue_ = hexValue_ * 16 + digit;
        if (--hexDigitsLeft_ > 0)
            return RtfError::None;
        internal_ = Internal::Normal;
        if (!consumeFallback())
            emit(fromWindows1252(static_cast<unsigned char>(hexValue_)));
        return RtfError::None;
    }

    // Binary data is not text: it is passed over.
    void binaryByte() {
        const auto left =
            static_cast<std::size_t>(std::min<std::int64_t>(binaryLeft_ - 1, in_.size() - pos_));
        pos_ += left;
        binaryLeft_ = 0;
        internal_ = Internal::Normal;
    }

    void rawByte(unsigned char c) {
        if (consumeFallback() || destination_ == Destination::Skip)
            return;
        if (c < 0x80) {
            emit(c);
            return;
        }
        flushSurrogate();
        pendingBytes_.push_back(static_cast<char>(c));
    }

    // A UTF-16 unit of "\uN"; the parameter is a signed 16-bit value.
    void unicodeUnit(std::int32_t n) {
        if (destination_ == Destination::Skip)
            return;
        if (n < 0 && n >= -32768)
            n += 65536;
        if (n < 0 || n > 0xFFFF) {
            emit(kReplacement);
            return;
        }
        const auto unit = static_cast<char32_t>(n);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            flushBytes();
            flushSurrogate();
            highSurrogate_ = unit;
            return;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (highSurrogate_ == 0) {
                emit(kReplacement);
                return;
            }
            const char32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
            highSurrogate_ = 0;
            emit(cp);
            return;
        }
        emit(unit);
    }

    bool consumeFallback() {
        if (fallbackLeft_ <= 0)
            return false;
        --fallbackLeft_;
        return true;
    }

    void emit(char32_t cp) {
        if (destination_ == Destination::Skip)
            return;
        flushBytes();
        flushSurrogate();
        if (cp < 0x20 && cp != '\t' && cp != '\n')
            return;
        platform::appendUtf8(doc_.text, cp);
    }

    void flushBytes() {
        if (pendingBytes_.empty())
            return;
        doc_.text += platform::repairUtf8(pendingBytes_);
        pendingBytes_.clear();
    }

    void flushSurrogate() {
        if (highSurrogate_ == 0)
            return;
        highSurrogate_ = 0;
        platform::appendUtf8(doc_.text, kReplacement);
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    RtfDocument doc_;
    Destination destination_ = Destination::Normal;
    Internal internal_ = Internal::Normal;
    bool skipIfUnknown_ = false;
    std::int64_t binaryLeft_ = 0;
    int hexValue_ = 0;
    int hexDigitsLeft_ = 2;
    std::int64_t fallbackCount_ = 1;
    std::int64_t fallbackLeft_ = 0;
    char32_t highSurrogate_ = 0;
    std::string pendingBytes_;
    std::vector<Group> groups_;
};

} // namespace

RtfDocument RtfReader::read(std::string_view rtf) {
    if (rtf.size() > kMaxDocumentBytes) {
        RtfDocument refused;
        refused.error = RtfError::TooLarge;
        return refused;
    }
    return Reader(rtf).run();
}

std::string RtfReader::ConvertRTFToString(std::string_view rtf) {
    return read(rtf).text;
}

} // namespace tc::chat
