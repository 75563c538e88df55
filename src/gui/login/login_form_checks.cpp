#include "gui/login/login_form_checks.h"
#include "gui/texts.h"

#include <algorithm>

namespace tc::gui {
namespace {

bool isBlank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

} // namespace

std::optional<std::int32_t> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    std::int32_t port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

std::optional<std::string_view> serverValidationKey(std::string_view server, std::string_view port) {
    if (isBlank(server))
        return texts::kEnterServerAddress;
    if (!parsePort(port))
        return texts::kEnterPortNumberFrom1;
    return std::nullopt;
}

std::optional<std::string_view> loginValidationKey(const LoginFields& fields) {
    if (const auto key = serverValidationKey(fields.server, fields.port))
        return key;
    if (isBlank(fields.userName))
        return texts::kEnterUserName;
    if (fields.password.empty())
        return texts::kEnterPassword;
    return std::nullopt;
}

} // namespace tc::gui
