#include "model/text/positional_text.h"

namespace tc {

std::string fillPositional(std::string_view text, std::span<const std::string_view> args) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9' &&
            text[i + 2] == '}') {
            const auto n = static_cast<std::size_t>(text[i + 1] - '0');
            if (n < args.size()) {
                out.append(args[n]);
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
        ++i;
    }
    return out;
}

std::string fillPositional(std::string_view text, std::initializer_list<std::string_view> args) {
    return fillPositional(text, std::span<const std::string_view>(args.begin(), args.size()));
}

std::string withDetail(std::string_view text, std::string_view detail, bool bracketed) {
    if (text.find("{0}") != std::string_view::npos)
        return fillPositional(text, {detail});
    std::string out(text);
    if (detail.empty())
        return out;
    out.append(bracketed ? " (" : " ").append(detail);
    if (bracketed)
        out.push_back(')');
    return out;
}

} // namespace tc
