#pragma once
// Property-list values and their XML form (the <plist version="1.0"> document type), as used by the
// shipped resource files and the user defaults.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace tc::platform {

class PlistValue;

// A point in time with whole-second precision, which is all the XML form carries.
struct PlistDate {
    std::chrono::sys_seconds time{};
    friend bool operator==(const PlistDate&, const PlistDate&) = default;
};

using PlistData = std::vector<std::uint8_t>;
using PlistArray = std::vector<PlistValue>;

// A dictionary that keeps its keys in insertion order; setting an existing key replaces the value
// in place. Equality ignores order, as for any dictionary.
class PlistDictionary {
public:
    using Entry = std::pair<std::string, PlistValue>;

    PlistDictionary();
    PlistDictionary(std::initializer_list<Entry> entries);
    PlistDictionary(const PlistDictionary&);
    PlistDictionary(PlistDictionary&&) noexcept;
    PlistDictionary& operator=(const PlistDictionary&);
    PlistDictionary& operator=(PlistDictionary&&) noexcept;
    ~PlistDictionary();

    std::size_t size() const;
    bool empty() const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }

    const PlistValue* find(std::string_view key) const;
    PlistValue* find(std::string_view key);
    void set(std::string key, PlistValue value);
    bool erase(std::string_view key);
    void clear();

    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;

    friend bool operator==(const PlistDictionary& a, const PlistDictionary& b);

private:
    std::vector<Entry> entries_;
    std::unordered_map<std::string, std::size_t> index_;
};

class PlistValue {
public:
    enum class Type { String, Integer, Real, Boolean, Date, Data, Array, Dictionary };

    PlistValue() : v_(std::string()) {}
    PlistValue(std::string s) : v_(std::move(s)) {}
    PlistValue(std::string_view s) : v_(std::string(s)) {}
    PlistValue(const char* s) : v_(std::string(s)) {}
    PlistValue(std::int64_t i) : v_(i) {}
    PlistValue(int i) : v_(std::int64_t{i}) {}
    PlistValue(double d) : v_(d) {}
    PlistValue(bool b) : v_(b) {}
    PlistValue(PlistDate d) : v_(d) {}
    PlistValue(PlistData d) : v_(std::move(d)) {}
    PlistValue(PlistArray a) : v_(std::move(a)) {}
    PlistValue(PlistDictionary d) : v_(std::move(d)) {}

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isString() const { return type() == Type::String; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isBoolean() const { return type() == Type::Boolean; }
    bool isDate() const { return type() == Type::Date; }
    bool isData() const { return type() == Type::Data; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isNumber() const { return isInteger() || isReal(); }

    // Typed access: nullptr when the value is of another type.
    const std::string* string() const { return std::get_if<std::string>(&v_); }
    const std::int64_t* integer() const { return std::get_if<std::int64_t>(&v_); }
    const double* real() const { return std::get_if<double>(&v_); }
    const bool* boolean() const { return std::get_if<bool>(&v_); }
    const PlistDate* date() const { return std::get_if<PlistDate>(&v_); }
    const PlistData* data() const { return std::get_if<PlistData>(&v_); }
    const PlistArray* array() const { return std::get_if<PlistArray>(&v_); }
    const PlistDictionary* dictionary() const { return std::get_if<PlistDictionary>(&v_); }
    PlistArray* array() { return std::get_if<PlistArray>(&v_); }
    PlistDictionary* dictionary() { return std::get_if<PlistDictionary>(&v_); }

    // Dictionary lookup; nullptr when this is not a dictionary or the key is missing.
    const PlistValue* find(std::string_view key) const;

    // Lenient readings, as the rest of the system reads settings:
    // asBool: booleans as they are, numbers when non-zero, texts starting (after blanks, one sign and
    //   leading zeros) with 'Y', 'y', 'T', 't' or a digit 1-9; anything else false.
    bool asBool() const;
    // asInt: integers; reals truncated towards zero (clamped, NaN gives 0); booleans 0/1; texts by
    //   their leading integer (after blanks, with an optional sign, clamped), 0 when there is none.
    std::int64_t asInt() const;
    // asDouble: numbers; booleans 0/1; texts by their leading decimal number, 0 when there is none.
    double asDouble() const;
    // asString: texts as they are, numbers and booleans as decimal text; nullopt for other types.
    std::optional<std::string> asString() const;

    // Reals compare NaN equal to NaN so that a value always equals its own copy.
    friend bool operator==(const PlistValue& a, const PlistValue& b);

private:
    std::variant<std::string, std::int64_t, double, bool, PlistDate, PlistData, PlistArray, PlistDictionary>
        v_;
};

// Defined here because they need the complete value type.
inline std::size_t PlistDictionary::size() const {
    return entries_.size();
}
inline bool PlistDictionary::empty() const {
    return entries_.empty();
}
inline std::vector<PlistDictionary::Entry>::const_iterator PlistDictionary::begin() const {
    return entries_.begin();
}
inline std::vector<PlistDictionary::Entry>::const_iterator PlistDictionary::end() const {
    return entries_.end();
}

struct PlistLimits {
    std::size_t maxBytes = 16u << 20; // whole document
    int maxDepth = 64;                // nested arrays and dictionaries
    std::size_t maxValues = 1u << 20; // values of every kind in one document
};

// The outcome of reading: a value or the reason there is none.
class PlistResult {
public:
    static PlistResult success(PlistValue v) { return PlistResult(std::move(v)); }
    static PlistResult failure(std::string error) { return PlistResult(Error{std::move(error)}); }

    bool ok() const { return r_.index() == 0; }
    explicit operator bool() const { return ok(); }
    // Only valid when ok().
    const PlistValue& value() const& { return std::get<0>(r_); }
    PlistValue&& value() && { return std::get<0>(std::move(r_)); }
    // Empty when ok().
    const std::string& error() const;

private:
    struct Error {
        std::string text;
    };
    explicit PlistResult(PlistValue v) : r_(std::move(v)) {}
    explicit PlistResult(Error e) : r_(std::move(e)) {}
    std::variant<PlistValue, Error> r_;
};

// The outcome of writing: empty error text on success.
struct PlistStatus {
    std::string error;
    int errorNumber = 0; // the system's errno of a failed file operation, 0 otherwise
    bool ok() const { return error.empty(); }
    explicit operator bool() const { return ok(); }
};

class PropertyList {
public:
    // Only well-formed XML is read: UTF-8 made of XML characters (no controls but tab and line ends, no
    // U+FFFE or U+FFFF); line ends read as "\n".
    static PlistResult readBytes(std::string_view bytes, const PlistLimits& limits = {});
    // Only a regular file is read; it is opened without blocking, so a named pipe in its place is
    // refused instead of waited on.
    static PlistResult readFile(const std::filesystem::path& path, const PlistLimits& limits = {});
    // Reads a file an earlier writer may have filled with bytes that are not UTF-8, or with U+FFFE and
    // U+FFFF: those read as U+FFFD, as the writer now writes them.
    static PlistResult readFileRepairingText(const std::filesystem::path& path,
                                             const PlistLimits& limits = {});
    // The text with every ill-formed UTF-8 sequence, U+FFFE and U+FFFF replaced by U+FFFD.
    static std::string repairedText(std::string_view text);

    // The XML document for a value; an error only when the value nests deeper than the limits allow
    // (such a document could not be read back).
    static PlistStatus write(const PlistValue& value, std::string& out, const PlistLimits& limits = {});
    // Writes atomically: a temporary file in the same folder, flushed to disk, then renamed over the
    // target. The file is created readable by its owner only.
    static PlistStatus writeFile(const std::filesystem::path& path, const PlistValue& value,
                                 const PlistLimits& limits = {});

    // The name prefix of writeFile's temporary files for a target ("<file name>.tmp-").
    static std::string temporaryPrefix(const std::filesystem::path& path);

private:
    static PlistResult readFileWith(const std::filesystem::path& path, const PlistLimits& limits,
                                    bool repairText);
};

} // namespace tc::platform
