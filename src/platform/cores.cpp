#include "platform/cores.h"

#include <sched.h>

namespace tc::platform {

std::size_t usableCores() noexcept {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0)
            return static_cast<std::size_t>(n);
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace tc::platform
