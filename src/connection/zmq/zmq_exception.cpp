#include "connection/zmq/zmq_exception.h"

#include <zmq.h>

namespace tc {

ZMQException::ZMQException(const std::string& reason, int code)
    : std::runtime_error(reason), reason_(reason), code_(code) {}

ZMQException ZMQException::fromErrorNumber(int code) {
    return ZMQException(zmq_strerror(code), code);
}

} // namespace tc
