#pragma once
// Readiness of socket descriptors for all stream sockets, from one epoll thread shared by the process.
// Registrations are one-shot: after an event fires, the descriptor stays quiet until armed again, so
// each owner decides on its own queue when it wants to hear about a descriptor next.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace tc {

class SocketPoller {
public:
    enum Interest : std::uint32_t { Read = 1, Write = 2 };
    // Runs on the poller thread with the Interest bits that fired (hang-ups and errors count as both);
    // it must only hand the event over to the owner's queue.
    using Handler = std::function<void(std::uint32_t)>;

    static SocketPoller& shared();

    // Registers a descriptor, not yet armed. The id names the registration in every later call.
    std::uint64_t add(int fd, Handler handler);
    // Arms the registration for the given interest (0 disarms).
    void arm(std::uint64_t id, int fd, std::uint32_t interest);
    // Forgets the registration; call before closing the descriptor. An event already taken off the
    // kernel may still reach the handler afterwards, so owners check that the id is still theirs.
    void remove(std::uint64_t id, int fd);

private:
    SocketPoller();
    void run();

    int epollFd_ = -1;
    std::mutex mutex_;
    std::uint64_t nextId_ = 1;
    std::unordered_map<std::uint64_t, std::shared_ptr<Handler>> handlers_;
};

} // namespace tc
