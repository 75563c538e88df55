#pragma once
// The login form's checks before it is sent. Free of Qt.
#include <cstdint>
#include <optional>
#include <string_view>

namespace tc::gui {

// The login form as typed.
struct LoginFields {
    std::string_view server;
    std::string_view port;
    std::string_view userName;
    std::string_view password;
};
// The port of the form: 1..65535 written in digits, else nullopt.
std::optional<std::int32_t> parsePort(std::string_view text);
// The server and port the login and the demo registration both go to: kEnterServerAddress for a
// server of blanks, kEnterPortNumberFrom1 for a port that is not 1..65535 in digits (never read as
// another port or the default); nullopt when both may be used.
std::optional<std::string_view> serverValidationKey(std::string_view server, std::string_view port);
// The text key of the first field that keeps the form from being sent, in the order server, port,
// user name, password: kEnterServerAddress, kEnterPortNumberFrom1, kEnterUserName, kEnterPassword. Server,
// port and user name made of blanks count as empty, and so does a port outside 1..65535; the password is
// taken as typed. nullopt when the form may be sent.
std::optional<std::string_view> loginValidationKey(const LoginFields& fields);

} // namespace tc::gui
