#include "platform/property_list.h"

#include "platform/base64.h"
#include "platform/lenient.h"
#include "platform/utf8.h"
#include "platform/xml_entities.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tc::platform {

// ---------------------------------------------------------------------------------------------
// PlistDictionary

PlistDictionary::PlistDictionary() = default;
PlistDictionary::PlistDictionary(const PlistDictionary&) = default;
PlistDictionary::PlistDictionary(PlistDictionary&&) noexcept = default;
PlistDictionary& PlistDictionary::operator=(const PlistDictionary&) = default;
PlistDictionary& PlistDictionary::operator=(PlistDictionary&&) noexcept = default;
PlistDictionary::~PlistDictionary() = default;

PlistDictionary::PlistDictionary(std::initializer_list<Entry> entries) {
    for (const auto& e : entries)
        set(e.first, e.second);
}

const PlistValue* PlistDictionary::find(std::string_view key) const {
    auto it = index_.find(std::string(key));
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

PlistValue* PlistDictionary::find(std::string_view key) {
    auto it = index_.find(std::string(key));
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

void PlistDictionary::set(std::string key, PlistValue value) {
    if (auto it = index_.find(key); it != index_.end()) {
        entries_[it->second].second = std::move(value);
        return;
    }
    index_.emplace(key, entries_.size());
    entries_.emplace_back(std::move(key), std::move(value));
}

bool PlistDictionary::erase(std::string_view key) {
    auto it = index_.find(std::string(key));
    if (it == index_.end())
        return false;
    std::size_t at = it->second;
    index_.erase(it);
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
    for (std::size_t i = at; i < entries_.size(); ++i)
        index_[entries_[i].first] = i;
    return true;
}

void PlistDictionary::clear() {
    entries_.clear();
    index_.clear();
}

bool operator==(const PlistDictionary& a, const PlistDictionary& b) {
    if (a.size() != b.size())
        return false;
    for (const auto& [key, value] : a) {
        const PlistValue* other = b.find(key);
        if (!other || !(*other == value))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// PlistValue

namespace {

std::int64_t clampToInt64(double d) {
    if (std::isnan(d))
        return 0;
    // 2^63 is exactly representable; anything at or past it saturates.
    constexpr double limit = 9223372036854775808.0;
    if (d >= limit)
        return std::numeric_limits<std::int64_t>::max();
    if (d <= -limit)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

std::string realText(double d) {
    if (std::isnan(d))
        return "nan";
    if (std::isinf(d))
        return d > 0 ? "+infinity" : "-infinity";
    std::array<char, 64> buf{};
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), d);
    return std::string(buf.data(), r.ptr);
}

std::string integerText(std::int64_t i) {
    std::array<char, 32> buf{};
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), i);
    return std::string(buf.data(), r.ptr);
}

} // namespace

const PlistValue* PlistValue::find(std::string_view key) const {
    const PlistDictionary* d = dictionary();
    return d ? d->find(key) : nullptr;
}

bool PlistValue::asBool() const {
    switch (type()) {
    case Type::Boolean:
        return *boolean();
    case Type::Integer:
        return *integer() != 0;
    case Type::Real:
        return *real() != 0.0;
    case Type::String:
        return lenientFlag(*string());
    default:
        return false;
    }
}

std::int64_t PlistValue::asInt() const {
    switch (type()) {
    case Type::Integer:
        return *integer();
    case Type::Real:
        return clampToInt64(*real());
    case Type::Boolean:
        return *boolean() ? 1 : 0;
    case Type::String:
        return lenientInteger(*string());
    default:
        return 0;
    }
}

double PlistValue::asDouble() const {
    switch (type()) {
    case Type::Integer:
        return static_cast<double>(*integer());
    case Type::Real:
        return *real();
    case Type::Boolean:
        return *boolean() ? 1.0 : 0.0;
    case Type::String:
        return lenientReal(*string());
    default:
        return 0.0;
    }
}

std::optional<std::string> PlistValue::asString() const {
    switch (type()) {
    case Type::String:
        return *string();
    case Type::Integer:
        return integerText(*integer());
    case Type::Real:
        return realText(*real());
    case Type::Boolean:
        return std::string(*boolean() ? "1" : "0");
    default:
        return std::nullopt;
    }
}

bool operator==(const PlistValue& a, const PlistValue& b) {
    if (a.type() != b.type())
        return false;
    if (a.isReal()) {
        double x = *a.real(), y = *b.real();
        return x == y || (std::isnan(x) && std::isnan(y));
    }
    return a.v_ == b.v_;
}

const std::string& PlistResult::error() const {
    static const std::string none;
    const Error* e = std::get_if<Error>(&r_);
    return e ? e->text : none;
}

// ---------------------------------------------------------------------------------------------
// Base64 for <data>

namespace {

// Blanks anywhere are skipped; padding is optional but nothing may follow it, and a single digit left
// over cannot encode a byte.
std::optional<PlistData> decodeBase64(std::string_view text) {
    std::string digits;
    digits.reserve(text.size());
    bool padded = false;
    for (char c : text) {
        if (isBlank(c))
            continue;
        if (c == '=') {
            padded = true;
            continue;
        }
        if (padded || Base64::sextet(c) < 0)
            return std::nullopt;
        digits += c;
    }
    if (digits.size() % 4 == 1)
        return std::nullopt;
    return Base64::decodeBase64WithString(digits);
}

// ---------------------------------------------------------------------------------------------
// Dates: "YYYY-MM-DDTHH:MM:SSZ", always UTC

bool readDigits(std::string_view s, std::size_t at, std::size_t count, int& out) {
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

// The smaller units may be left out from the right ("2020-01-01Z", "2020Z"): a month or day left out is
// the first, a time left out is midnight.
std::optional<PlistDate> parseDate(std::string_view s) {
    if (s.empty() || s.back() != 'Z')
        return std::nullopt;
    s.remove_suffix(1);
    constexpr std::array<char, 6> separators = {0, '-', '-', 'T', ':', ':'};
    std::array<int, 6> units = {0, 1, 1, 0, 0, 0};
    std::size_t at = 0;
    for (std::size_t k = 0; k < units.size() && (k == 0 || at < s.size()); ++k) {
        if (k > 0 && s[at++] != separators[k])
            return std::nullopt;
        const std::size_t width = k == 0 ? 4 : 2;
        if (s.size() < at + width || !readDigits(s, at, width, units[k]))
            return std::nullopt;
        at += width;
    }
    if (at != s.size())
        return std::nullopt;
    const auto [y, mo, d, h, mi, sec] = units;
    if (h > 23 || mi > 59 || sec > 59)
        return std::nullopt;
    std::chrono::year_month_day ymd{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(mo)},
                                    std::chrono::day{static_cast<unsigned>(d)}};
    if (!ymd.ok())
        return std::nullopt;
    auto t = std::chrono::sys_days{ymd} + std::chrono::hours{h} + std::chrono::minutes{mi} +
             std::chrono::seconds{sec};
    return PlistDate{std::chrono::time_point_cast<std::chrono::seconds>(t)};
}

std::optional<std::string> formatDate(const PlistDate& date) {
    using namespace std::chrono;
    // Years outside 0000-9999 have no four-digit form; reject far-off times before the calendar maths.
    constexpr seconds span{400LL * 366 * 86400 * 25};
    if (date.time.time_since_epoch() > span || date.time.time_since_epoch() < -span)
        return std::nullopt;
    sys_days day = floor<days>(date.time);
    year_month_day ymd{day};
    int y = static_cast<int>(ymd.year());
    if (y < 0 || y > 9999)
        return std::nullopt;
    hh_mm_ss hms{date.time - day};
    char buf[32];
    auto put = [&buf](std::size_t at, int value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            buf[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    put(0, y, 4);
    buf[4] = '-';
    put(5, static_cast<int>(static_cast<unsigned>(ymd.month())), 2);
    buf[7] = '-';
    put(8, static_cast<int>(static_cast<unsigned>(ymd.day())), 2);
    buf[10] = 'T';
    put(11, static_cast<int>(hms.hours().count()), 2);
    buf[13] = ':';
    put(14, static_cast<int>(hms.minutes().count()), 2);
    buf[16] = ':';
    put(17, static_cast<int>(hms.seconds().count()), 2);
    buf[19] = 'Z';
    return std::string(buf, 20);
}

// ---------------------------------------------------------------------------------------------
// Reader

struct ParseError {
    std::string message;
    std::size_t at;
};

// Outside text quoted in an error message is kept short.
std::string excerpt(std::string_view s) {
    constexpr std::size_t max = 40;
    if (s.size() <= max)
        return std::string(s);
    return std::string(s.substr(0, max)) + "...";
}

class Reader {
public:
    Reader(std::string_view doc, const PlistLimits& limits) : s_(doc), limits_(limits) {}

    PlistValue document() {
        checkCharacters();
        // A UTF-8 byte-order mark is tolerated.
        if (s_.substr(0, 3) == "\xEF\xBB\xBF")
            pos_ = 3;
        skipMisc(true);
        if (atEnd())
            fail("the document has no root element");
        Tag root = startTag();
        PlistValue value;
        if (root.name == "plist") {
            if (root.selfClosing)
                fail("the <plist> element is empty");
            skipMisc(false);
            if (lookingAtEndTag())
                fail("the <plist> element is empty");
            value = element(startTag(), 0);
            skipMisc(false);
            endTag("plist");
        } else {
            // A bare value without the <plist> wrapper is accepted too.
            value = element(root, 0);
        }
        skipMisc(false);
        if (!atEnd())
            fail("unexpected content after the root element");
        return value;
    }

    [[noreturn]] void fail(std::string message) { throw ParseError{std::move(message), pos_}; }

private:
    struct Tag {
        std::string_view name;
        bool selfClosing = false;
    };

    bool atEnd() const { return pos_ >= s_.size(); }

    // Every byte belongs to an XML character: well-formed UTF-8, no control but tab and the line ends,
    // neither U+FFFE nor U+FFFF.
    void checkCharacters() {
        for (std::size_t i = 0; i < s_.size();) {
            const auto b = static_cast<unsigned char>(s_[i]);
            if (b >= 0x20 && b < 0x80) {
                ++i;
                continue;
            }
            char32_t cp = b;
            const std::size_t n = b < 0x80 ? 1 : decodeUtf8(s_, i, cp);
            pos_ = i;
            if (n == 0)
                fail("bytes that are not UTF-8");
            if ((cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r') || cp == 0xFFFE || cp == 0xFFFF) {
                std::array<char, 16> name{};
                std::snprintf(name.data(), name.size(), "U+%04X", static_cast<unsigned>(cp));
                fail(std::string("character ") + name.data() + " is not allowed in XML");
            }
            i += n;
        }
        pos_ = 0;
    }

    // XML reads a line end, CR LF or a CR alone, as one LF.
    static void appendText(std::string& out, std::string_view text) {
        for (std::size_t cr; (cr = text.find('\r')) != std::string_view::npos;) {
            out.append(text.substr(0, cr));
            out += '\n';
            text.remove_prefix(cr + (cr + 1 < text.size() && text[cr + 1] == '\n' ? 2 : 1));
        }
        out.append(text);
    }
    bool lookingAt(std::string_view t) const { return s_.substr(pos_, t.size()) == t; }
    bool lookingAtEndTag() const { return lookingAt("</"); }

    void skipSpace() {
        while (!atEnd() && isBlank(s_[pos_]))
            ++pos_;
    }

    void skipPast(std::string_view terminator, const char* what) {
        auto end = s_.find(terminator, pos_);
        if (end == std::string_view::npos)
            fail(std::string("unterminated ") + what);
        pos_ = end + terminator.size();
    }

    // Blanks, comments and processing instructions; in the prolog also the document type declaration.
    void skipMisc(bool prolog) {
        for (;;) {
            skipSpace();
            if (lookingAt("<!--")) {
                pos_ += 4;
                skipPast("-->", "comment");
            } else if (lookingAt("<?")) {
                pos_ += 2;
                skipPast("?>", "processing instruction");
            } else if (prolog && lookingAt("<!DOCTYPE")) {
                skipDoctype();
            } else {
                return;
            }
        }
    }

    void skipDoctype() {
        pos_ += 9;
        bool inSubset = false;
        char quote = 0;
        for (; !atEnd(); ++pos_) {
            char c = s_[pos_];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '[') {
                inSubset = true;
            } else if (c == ']') {
                inSubset = false;
            } else if (c == '>' && !inSubset) {
                ++pos_;
                return;
            }
        }
        fail("unterminated document type declaration");
    }

    static bool nameStart(char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
    }
    static bool nameChar(char c) { return nameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

    std::string_view name() {
        std::size_t start = pos_;
        if (atEnd() || !nameStart(s_[pos_]))
            fail("expected an element name");
        while (!atEnd() && nameChar(s_[pos_]))
            ++pos_;
        return s_.substr(start, pos_ - start);
    }

    Tag startTag() {
        if (!lookingAt("<") || lookingAtEndTag())
            fail("expected an element");
        ++pos_;
        Tag tag{name(), false};
        for (;;) {
            bool spaced = !atEnd() && isBlank(s_[pos_]);
            skipSpace();
            if (atEnd())
                fail("unterminated tag <" + std::string(tag.name) + ">");
            if (lookingAt("/>")) {
                pos_ += 2;
                tag.selfClosing = true;
                return tag;
            }
            if (s_[pos_] == '>') {
                ++pos_;
                return tag;
            }
            if (!spaced)
                fail("malformed tag <" + std::string(tag.name) + ">");
            // Attributes (the version of <plist>) are read over and not used.
            name();
            skipSpace();
            if (atEnd() || s_[pos_] != '=')
                fail("attribute without a value in <" + std::string(tag.name) + ">");
            ++pos_;
            skipSpace();
            if (atEnd() || (s_[pos_] != '"' && s_[pos_] != '\''))
                fail("attribute value without quotes in <" + std::string(tag.name) + ">");
            char quote = s_[pos_++];
            auto end = s_.find(quote, pos_);
            if (end == std::string_view::npos)
                fail("unterminated attribute value");
            if (s_.substr(pos_, end - pos_).find('<') != std::string_view::npos)
                fail("'<' in an attribute value");
            pos_ = end + 1;
        }
    }

    void endTag(std::string_view expected) {
        if (!lookingAtEndTag())
            fail("expected </" + std::string(expected) + ">");
        pos_ += 2;
        std::string_view n = name();
        skipSpace();
        if (atEnd() || s_[pos_] != '>')
            fail("malformed end tag </" + excerpt(n) + ">");
        ++pos_;
        if (n != expected)
            fail("</" + excerpt(n) + "> does not close <" + std::string(expected) + ">");
    }

    void reference(std::string& out) {
        // Leading zeros of a character reference say nothing: only the digits behind them are capped.
        std::size_t from = pos_ + 1;
        if (from < s_.size() && s_[from] == '#') {
            from += from + 1 < s_.size() && s_[from + 1] == 'x' ? 2 : 1;
            while (from + 1 < s_.size() && s_[from] == '0' && s_[from + 1] != ';')
                ++from;
        }
        const auto semi = s_.substr(from, 13).find(';');
        if (semi == std::string_view::npos)
            fail("malformed entity reference");
        const std::string_view ref = s_.substr(pos_ + 1, from + semi - pos_ - 1);
        if (const auto c = predefinedXmlEntity(ref)) {
            out += *c;
        } else if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const auto cp = characterReferenceValue(s_.substr(from, semi), hex);
            // Controls stay readable as references (the writer writes them so); U+FFFE and U+FFFF never.
            if (!cp || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF) || *cp == 0xFFFE || *cp == 0xFFFF)
                fail("invalid character reference &" + excerpt(ref) + ";");
            appendUtf8(out, *cp);
        } else {
            fail("unknown entity &" + excerpt(ref) + ";");
        }
        pos_ = from + semi + 1;
    }

    // Character content of a leaf element up to and including its end tag.
    std::string text(std::string_view element) {
        std::string out;
        for (;;) {
            std::size_t stop = s_.find_first_of("<&", pos_);
            if (stop == std::string_view::npos)
                fail("unterminated <" + std::string(element) + ">");
            appendText(out, s_.substr(pos_, stop - pos_));
            pos_ = stop;
            if (s_[pos_] == '&') {
                reference(out);
            } else if (lookingAt("<![CDATA[")) {
                pos_ += 9;
                auto end = s_.find("]]>", pos_);
                if (end == std::string_view::npos)
                    fail("unterminated CDATA section");
                appendText(out, s_.substr(pos_, end - pos_));
                pos_ = end + 3;
            } else if (lookingAt("<!--")) {
                pos_ += 4;
                skipPast("-->", "comment");
            } else if (lookingAtEndTag()) {
                endTag(element);
                return out;
            } else {
                fail("unexpected element inside <" + std::string(element) + ">");
            }
        }
    }

    std::string leaf(const Tag& tag) { return tag.selfClosing ? std::string() : text(tag.name); }

    void countValue() {
        if (++values_ > limits_.maxValues)
            fail("more than " + std::to_string(limits_.maxValues) + " values");
    }

    PlistValue element(const Tag& tag, int depth) {
        countValue();
        const std::string_view n = tag.name;
        if (n == "dict" || n == "array") {
            if (depth + 1 > limits_.maxDepth)
                fail("nesting deeper than " + std::to_string(limits_.maxDepth) + " levels");
            return n == "dict" ? dictionary(tag, depth + 1) : array(tag, depth + 1);
        }
        if (n == "string")
            return PlistValue(leaf(tag));
        if (n == "true" || n == "false") {
            if (!tag.selfClosing && !trimBlanks(text(n)).empty())
                fail("<" + std::string(n) + "> has content");
            return PlistValue(n == "true");
        }
        if (n == "integer")
            return integer(trimBlanks(leaf(tag)));
        if (n == "real")
            return real(trimBlanks(leaf(tag)));
        if (n == "date") {
            std::string t = leaf(tag);
            auto d = parseDate(trimBlanks(t));
            if (!d)
                fail("invalid date \"" + excerpt(t) + "\"");
            return PlistValue(*d);
        }
        if (n == "data") {
            auto d = decodeBase64(leaf(tag));
            if (!d)
                fail("invalid Base64 in <data>");
            return PlistValue(std::move(*d));
        }
        if (n == "key")
            fail("<key> outside a dictionary");
        fail("unknown element <" + excerpt(n) + ">");
    }

    PlistValue integer(std::string_view t) {
        std::string_view digits = t;
        if (!digits.empty() && digits[0] == '+')
            digits.remove_prefix(1);
        if (digits.size() != t.size() && !digits.empty() && digits[0] == '-')
            fail("invalid integer \"" + excerpt(t) + "\"");
        std::int64_t v = 0;
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        if (digits.empty() || r.ptr != digits.data() + digits.size() || r.ec == std::errc::invalid_argument)
            fail("invalid integer \"" + excerpt(t) + "\"");
        if (r.ec != std::errc())
            fail("integer out of range \"" + excerpt(t) + "\"");
        return PlistValue(v);
    }

    PlistValue real(std::string_view t) {
        std::string lower;
        for (char c : t)
            lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (lower == "nan")
            return PlistValue(std::numeric_limits<double>::quiet_NaN());
        if (lower == "inf" || lower == "+inf" || lower == "infinity" || lower == "+infinity")
            return PlistValue(std::numeric_limits<double>::infinity());
        if (lower == "-inf" || lower == "-infinity")
            return PlistValue(-std::numeric_limits<double>::infinity());
        std::string_view digits = t;
        if (!digits.empty() && digits[0] == '+')
            digits.remove_prefix(1);
        // from_chars would also take "nan(...)" and "infinity" spellings handled above; require a digit.
        if (digits.size() != t.size() && !digits.empty() && digits[0] == '-')
            fail("invalid real \"" + excerpt(t) + "\"");
        if (digits.empty() ||
            !(digits[0] == '-' || digits[0] == '.' || (digits[0] >= '0' && digits[0] <= '9')))
            fail("invalid real \"" + excerpt(t) + "\"");
        double v = 0;
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        if (r.ptr != digits.data() + digits.size() || r.ec == std::errc::invalid_argument)
            fail("invalid real \"" + excerpt(t) + "\"");
        if (r.ec != std::errc())
            fail("real out of range \"" + excerpt(t) + "\"");
        return PlistValue(v);
    }

    // Between the children of a container only blanks and comments may stand.
    void skipBetween(std::string_view container) {
        for (;;) {
            skipSpace();
            if (lookingAt("<!--")) {
                pos_ += 4;
                skipPast("-->", "comment");
            } else if (atEnd()) {
                fail("unterminated <" + std::string(container) + ">");
            } else if (s_[pos_] != '<') {
                fail("text inside <" + std::string(container) + ">");
            } else {
                return;
            }
        }
    }

    PlistValue array(const Tag& tag, int depth) {
        PlistArray items;
        if (tag.selfClosing)
            return PlistValue(std::move(items));
        for (;;) {
            skipBetween("array");
            if (lookingAtEndTag()) {
                endTag("array");
                return PlistValue(std::move(items));
            }
            items.push_back(element(startTag(), depth));
        }
    }

    PlistValue dictionary(const Tag& tag, int depth) {
        PlistDictionary dict;
        if (tag.selfClosing)
            return PlistValue(std::move(dict));
        for (;;) {
            skipBetween("dict");
            if (lookingAtEndTag()) {
                endTag("dict");
                return PlistValue(std::move(dict));
            }
            Tag keyTag = startTag();
            if (keyTag.name != "key")
                fail("expected <key> in <dict>, found <" + excerpt(keyTag.name) + ">");
            std::string key = leaf(keyTag);
            skipBetween("dict");
            if (lookingAtEndTag())
                fail("key \"" + excerpt(key) + "\" has no value");
            Tag valueTag = startTag();
            if (valueTag.name == "key")
                fail("key \"" + excerpt(key) + "\" has no value");
            // A repeated key keeps its first place and takes the last value.
            dict.set(std::move(key), element(valueTag, depth));
        }
    }

    std::string_view s_;
    const PlistLimits& limits_;
    std::size_t pos_ = 0;
    std::size_t values_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Writer

void appendEscaped(std::string& out, std::string_view s) {
    // Bytes that are not UTF-8, U+FFFE and U+FFFF would make the whole file unreadable to XML readers.
    std::string repaired;
    if (!isValidUtf8(s) || s.find("\xEF\xBF\xBE") != std::string_view::npos ||
        s.find("\xEF\xBF\xBF") != std::string_view::npos) {
        repaired = PropertyList::repairedText(s);
        s = repaired;
    }
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            // Control characters (and carriage returns, which XML tools fold) go as references.
            if (u < 0x20 && c != '\t' && c != '\n') {
                out += "&#";
                out += integerText(u);
                out += ';';
            } else {
                out += c;
            }
        }
    }
}

class Writer {
public:
    Writer(std::string& out, const PlistLimits& limits) : out_(out), limits_(limits) {}

    // Returns an error text, empty on success.
    std::string value(const PlistValue& v, int depth) {
        using Type = PlistValue::Type;
        switch (v.type()) {
        case Type::String:
            leaf("string", *v.string(), depth, true);
            break;
        case Type::Integer:
            leaf("integer", integerText(*v.integer()), depth, false);
            break;
        case Type::Real:
            leaf("real", realText(*v.real()), depth, false);
            break;
        case Type::Boolean:
            indent(depth);
            out_ += *v.boolean() ? "<true/>\n" : "<false/>\n";
            break;
        case Type::Date: {
            auto text = formatDate(*v.date());
            if (!text)
                return "date outside the years 0000-9999";
            leaf("date", *text, depth, false);
            break;
        }
        case Type::Data:
            if (!v.data()->empty()) {
                const auto text = Base64::encodeBase64WithData(*v.data());
                if (!text)
                    return "data too large to write";
                leaf("data", *text, depth, false);
            } else {
                leaf("data", "", depth, false);
            }
            break;
        case Type::Array:
        case Type::Dictionary:
            return container(v, depth);
        }
        return {};
    }

private:
    void indent(int depth) { out_.append(static_cast<std::size_t>(depth), '\t'); }

    void leaf(std::string_view name, std::string_view content, int depth, bool escape) {
        indent(depth);
        out_ += '<';
        out_ += name;
        out_ += '>';
        if (escape)
            appendEscaped(out_, content);
        else
            out_ += content;
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }

    std::string container(const PlistValue& v, int depth) {
        if (depth + 1 > limits_.maxDepth)
            return "nesting deeper than " + std::to_string(limits_.maxDepth) + " levels";
        const char* name = v.isArray() ? "array" : "dict";
        bool empty = v.isArray() ? v.array()->empty() : v.dictionary()->empty();
        indent(depth);
        if (empty) {
            out_ += '<';
            out_ += name;
            out_ += "/>\n";
            return {};
        }
        out_ += '<';
        out_ += name;
        out_ += ">\n";
        if (v.isArray()) {
            for (const auto& item : *v.array())
                if (auto err = value(item, depth + 1); !err.empty())
                    return err;
        } else {
            for (const auto& [key, item] : *v.dictionary()) {
                leaf("key", key, depth + 1, true);
                if (auto err = value(item, depth + 1); !err.empty())
                    return err;
            }
        }
        indent(depth);
        out_ += "</";
        out_ += name;
        out_ += ">\n";
        return {};
    }

    std::string& out_;
    const PlistLimits& limits_;
};

std::string systemError(std::string_view what, const std::filesystem::path& path, int err) {
    return std::string(what) + " " + path.string() + ": " +
           std::error_code(err, std::generic_category()).message();
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// PropertyList

PlistResult PropertyList::readBytes(std::string_view bytes, const PlistLimits& limits) {
    if (bytes.size() > limits.maxBytes)
        return PlistResult::failure("property list larger than " + std::to_string(limits.maxBytes) +
                                    " bytes");
    Reader reader(bytes, limits);
    try {
        return PlistResult::success(reader.document());
    } catch (const ParseError& e) {
        std::size_t at = std::min(e.at, bytes.size());
        auto line = 1 + std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at), '\n');
        return PlistResult::failure("line " + std::to_string(line) + ": " + e.message);
    }
}

std::string PropertyList::repairedText(std::string_view text) {
    std::string out = isValidUtf8(text) ? std::string(text) : repairUtf8(text);
    // In UTF-8 EF BF BE is U+FFFE, EF BF BF U+FFFF and EF BF BD U+FFFD.
    for (std::size_t at = 0; (at = out.find("\xEF\xBF", at)) != std::string::npos; at += 2) {
        if (at + 2 < out.size() && (out[at + 2] == '\xBE' || out[at + 2] == '\xBF'))
            out[at + 2] = '\xBD';
    }
    return out;
}

PlistResult PropertyList::readFile(const std::filesystem::path& path, const PlistLimits& limits) {
    return readFileWith(path, limits, false);
}

PlistResult PropertyList::readFileRepairingText(const std::filesystem::path& path,
                                                const PlistLimits& limits) {
    return readFileWith(path, limits, true);
}

PlistResult PropertyList::readFileWith(const std::filesystem::path& path, const PlistLimits& limits,
                                       bool repairText) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return PlistResult::failure(systemError("cannot open", path, errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return PlistResult::failure(path.string() + ": not a regular file");
    }
    std::string bytes;
    // Read at most one byte past the cap, so a huge or growing file is refused without reading it all.
    std::array<char, 65536> buf{};
    while (bytes.size() <= limits.maxBytes) {
        ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            return PlistResult::failure(systemError("cannot read", path, err));
        }
        if (n == 0)
            break;
        bytes.append(buf.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    auto r = readBytes(repairText ? repairedText(bytes) : bytes, limits);
    if (!r)
        return PlistResult::failure(path.string() + ": " + r.error());
    return r;
}

PlistStatus PropertyList::write(const PlistValue& value, std::string& out, const PlistLimits& limits) {
    out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
          "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
          "<plist version=\"1.0\">\n";
    Writer writer(out, limits);
    if (auto err = writer.value(value, 0); !err.empty()) {
        out.clear();
        return PlistStatus{std::move(err)};
    }
    out += "</plist>\n";
    return {};
}

std::string PropertyList::temporaryPrefix(const std::filesystem::path& path) {
    return path.filename().string() + ".tmp-";
}

PlistStatus PropertyList::writeFile(const std::filesystem::path& path, const PlistValue& value,
                                    const PlistLimits& limits) {
    std::string doc;
    if (auto st = write(value, doc, limits); !st)
        return st;

    static std::atomic<unsigned> counter{0};
    std::filesystem::path dir = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    std::filesystem::path tmp =
        dir / (temporaryPrefix(path) + std::to_string(::getpid()) + "-" + std::to_string(counter++));

    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int err = errno;
        return PlistStatus{systemError("cannot create", tmp, err), err};
    }
    bool written = writeAll(fd, doc);
    int err = errno;
    if (written && ::fsync(fd) != 0) {
        written = false;
        err = errno;
    }
    if (::close(fd) != 0 && written) {
        written = false;
        err = errno;
    }
    if (!written) {
        ::unlink(tmp.c_str());
        return PlistStatus{systemError("cannot write", tmp, err), err};
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        err = errno;
        ::unlink(tmp.c_str());
        return PlistStatus{systemError("cannot replace", path, err), err};
    }
    // Make the rename itself durable.
    if (int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

} // namespace tc::platform
