#pragma once
// The one exception every failing ZeroMQ library call raises: the library's error text as the reason and
// the error number under "errorCode".
#include <map>
#include <stdexcept>
#include <string>

namespace tc {

class ZMQException : public std::runtime_error {
public:
    static constexpr const char* kName = "ZMQException";
    static constexpr const char* kErrorCodeKey = "errorCode";

    ZMQException(const std::string& reason, int code);
    // The library's text for the error number.
    static ZMQException fromErrorNumber(int code);

    const char* name() const noexcept { return kName; }
    const std::string& reason() const noexcept { return reason_; }
    int errorCode() const noexcept { return code_; }
    std::map<std::string, int> userInfo() const { return {{kErrorCodeKey, code_}}; }

private:
    std::string reason_;
    int code_;
};

} // namespace tc
