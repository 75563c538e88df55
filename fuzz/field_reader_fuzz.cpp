// The body reader, the field-string reader and the extractor must agree on every input, and the
// markup stripping must never fail.
#include "platform/log.h"
#include "platform/utf8.h"
#include "wire/message_base.h"
#include "wire/message_cracker.h"
#include "wire/stream_deframer.h"
#include "wire/wire_fields.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tc;

// Literal global replacements in scan order, for comparison on texts without nested brackets.
std::string referenceStrip(std::string_view text, std::string_view with) {
    std::string work(text);
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lt = text.find('<', pos);
        if (lt == std::string_view::npos)
            break;
        const std::size_t gt = text.find('>', lt);
        if (gt == std::string_view::npos)
            break;
        const std::string tag(text.substr(lt, gt - lt + 1));
        std::string next;
        std::size_t p = 0;
        for (std::size_t at; (at = work.find(tag, p)) != std::string::npos; p = at + tag.size())
            next.append(work, p, at - p).append(with);
        next.append(work, p);
        work = std::move(next);
        pos = gt;
    }
    return work;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::Log::setLevel(platform::LogLevel::Off);
    const std::string_view body(reinterpret_cast<const char*>(data), size);

    std::vector<std::string> pieces;
    wire::FieldIterator it(body);
    wire::Field f;
    while (it.next(f)) {
        pieces.emplace_back(f.text);
        if (f.hasValue) {
            const std::string prefix = std::to_string(f.tag) + "=";
            const auto v = MessageCracker::GetMessageValue(f.text, prefix);
            if (!v || *v != f.value)
                std::abort();
        } else if (f.text.find(std::to_string(f.tag) + "=") != std::string_view::npos) {
            std::abort();
        }
    }
    if (pieces.empty())
        std::abort();

    MessageBase a, b;
    a.setMessage(pieces);
    b.setMessageFromBody(body);
    if (a.messageDataDictionary() != b.messageDataDictionary())
        std::abort();
    MessageBase c;
    c.loadFrame(body);

    // A body without frame bytes survives framing and de-framing unchanged.
    if (!body.empty() && body.find_first_of("\x01\x02") == std::string_view::npos &&
        platform::isValidUtf8(body)) {
        StreamDeframer d;
        const auto frames = d.feed(MessageBase::frame(body));
        if (frames.size() != 1 ||
            frames[0] != std::to_string(platform::utf16Length(body)) + "\x03" + std::string(body))
            std::abort();
    }

    if (size <= 4096) {
        const std::string removed = MessageChecker::removeTags(body);
        const std::string flat = MessageChecker::flattenHTML(body);
        bool nested = false;
        for (std::size_t pos = 0; pos < body.size();) {
            const std::size_t lt = body.find('<', pos);
            if (lt == std::string_view::npos)
                break;
            const std::size_t gt = body.find('>', lt);
            if (gt == std::string_view::npos)
                break;
            nested = nested || body.substr(lt + 1, gt - lt).find('<') != std::string_view::npos;
            pos = gt;
        }
        if (!nested && (removed != referenceStrip(body, "") || flat != referenceStrip(body, " ")))
            std::abort();
    }
    try {
        MessageChecker::CheckMessage(body);
    } catch (const std::out_of_range&) {
    }
    MessageCracker::GetXML(body, "<P>");
    return 0;
}
