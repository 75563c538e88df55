#include "wire/message_base.h"

#include "platform/utf8.h"
#include "wire/separators.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <charconv>

namespace tc {

void MessageBase::setValue(int tag, std::int64_t number) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, number);
    (void)ec;
    messageDataDictionary_.insert_or_assign(tag, std::string(buf, end));
}

const std::string* MessageBase::value(int tag) const noexcept {
    auto it = messageDataDictionary_.find(tag);
    return it == messageDataDictionary_.end() ? nullptr : &it->second;
}

void MessageBase::startRequest(std::int64_t type) {
    setMessageType(type);
    messageDataDictionary_.clear();
    setValue(wire::tag::kMessageType, type);
}

void MessageBase::setMessage(const std::vector<std::string>& fields) {
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue)
            return;
        messageDataDictionary_.insert_or_assign(f.tag, std::string(f.value));
    }
}

void MessageBase::setMessageFromBody(std::string_view body) {
    wire::FieldIterator it(body);
    wire::Field f;
    while (it.next(f) && f.hasValue)
        messageDataDictionary_.insert_or_assign(f.tag, std::string(f.value));
}

std::vector<std::string> MessageBase::fieldsOfFrame(std::string_view frameText) {
    std::vector<std::string> fields;
    wire::FieldIterator it = wire::FieldIterator::overFrame(frameText);
    wire::Field f;
    while (it.next(f))
        fields.emplace_back(f.text);
    return fields;
}

std::int64_t MessageBase::typeOfFrame(std::string_view frameText) noexcept {
    wire::FieldIterator it = wire::FieldIterator::overFrame(frameText);
    wire::Field f;
    if (!it.next(f))
        return 0;
    // Exactly "10=" and digits: noise on the stream must not pass for a refusal or a login elsewhere
    // because a lenient reader found a number somewhere in it.
    constexpr std::string_view prefix = "10=";
    if (!f.text.starts_with(prefix))
        return 0;
    const std::string_view digits = f.text.substr(prefix.size());
    if (digits.empty() || digits.size() > kMaxTypeDigits)
        return 0;
    std::int64_t type = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        type = type * 10 + (c - '0');
    }
    return type;
}

std::size_t MessageBase::fieldCount(std::string_view frameText) noexcept {
    // The length piece ends at the first 0x03; every later one ends a field, and the piece after the
    // last is a field too (empty when the body ends in 0x03, as it should).
    const std::size_t separators =
        static_cast<std::size_t>(std::count(frameText.begin(), frameText.end(), wire::kFieldEnd));
    return separators;
}

std::int64_t MessageBase::loadFrame(std::string_view frameText, bool keepFields) {
    const std::int64_t type = typeOfFrame(frameText);
    messageType_ = type;
    messageDataDictionary_.clear();
    const std::size_t cut = frameText.find(wire::kFieldEnd);
    if (cut != std::string_view::npos)
        setMessageFromBody(frameText.substr(cut + 1));
    messageArray_.clear();
    if (keepFields)
        messageArray_ = fieldsOfFrame(frameText);
    return type;
}

std::uint64_t MessageBase::frameLength(std::string_view body) noexcept {
    return platform::utf16Length(body);
}

void MessageBase::appendFrame(std::string& out, std::string_view body) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, frameLength(body));
    (void)ec;
    out.reserve(out.size() + body.size() + static_cast<std::size_t>(end - digits) + 3);
    out.push_back(wire::kFrameStart);
    out.append(digits, end);
    out.push_back(wire::kFieldEnd);
    out.append(body);
    out.push_back(wire::kFrameEnd);
}

std::string MessageBase::frame(std::string_view body) {
    std::string out;
    appendFrame(out, body);
    return out;
}

} // namespace tc
