#include "connection/reachability.h"

#include "connection/connection_notifications.h"
#include "platform/log.h"
#include "platform/notification_center.h"

#include <cstring>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace tc {

namespace rf = platform::reachability_flags;

namespace {

std::shared_ptr<Reachability> forIPv4(std::uint8_t a, std::uint8_t b) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr =
        htonl(static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16);
    static_assert(sizeof address == 16);
    return Reachability::reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

} // namespace

std::shared_ptr<Reachability> Reachability::reachabilityWithHostName(std::string_view hostName) {
    return reachabilityWithHostname(hostName);
}

std::shared_ptr<Reachability> Reachability::reachabilityWithHostname(std::string_view hostname) {
    return initWithReachabilityRef(platform::NetworkReachability::createWithName(hostname));
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr* address,
                                                                    socklen_t length) {
    return initWithReachabilityRef(platform::NetworkReachability::createWithAddress(address, length));
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
    return forIPv4(0, 0);
}

std::shared_ptr<Reachability> Reachability::reachabilityForLocalWiFi() {
    return forIPv4(169, 254);
}

std::shared_ptr<Reachability>
Reachability::initWithReachabilityRef(std::unique_ptr<platform::NetworkReachability> ref) {
    if (!ref)
        return nullptr;
    return std::make_shared<Reachability>(Passkey{}, std::move(ref));
}

Reachability::Reachability(Passkey, std::unique_ptr<platform::NetworkReachability> ref)
    : reachabilityRef_(std::move(ref)) {}

Reachability::~Reachability() {
    stopNotifier();
    std::lock_guard lock(mutex_);
    reachableBlock_ = nullptr;
    unreachableBlock_ = nullptr;
}

void Reachability::setReachableBlock(Block block) {
    std::lock_guard lock(mutex_);
    reachableBlock_ = std::move(block);
}

void Reachability::setUnreachableBlock(Block block) {
    std::lock_guard lock(mutex_);
    unreachableBlock_ = std::move(block);
}

bool Reachability::startNotifier() {
    std::shared_ptr<Reachability> self; // released only after both locks
    std::lock_guard serial(notifierMutex_);
    std::shared_ptr<platform::SerialQueue> queue;
    {
        std::lock_guard lock(mutex_);
        if (reachabilitySerialQueue_)
            return true;
        reachabilityObject_ = shared_from_this();
        queue = std::make_shared<platform::SerialQueue>(std::string(kQueueLabel));
        reachabilitySerialQueue_ = queue;
    }
    std::weak_ptr<Reachability> weak = weak_from_this();
    if (reachabilityRef_->setCallback([weak](Flags flags) {
            if (auto strong = weak.lock())
                strong->reachabilityChanged(flags);
        })) {
        if (reachabilityRef_->setDispatchQueue(queue))
            return true;
        reachabilityRef_->setCallback(nullptr);
    }
    platform::Log::error("reachability: could not start watching {}", description());
    std::lock_guard lock(mutex_);
    reachabilitySerialQueue_.reset();
    self = std::move(reachabilityObject_);
    return false;
}

void Reachability::stopNotifier() {
    // Released after the locks: the self-reference may be the watcher's last one, and the queue may be
    // the one running this.
    std::shared_ptr<platform::SerialQueue> queue;
    std::shared_ptr<Reachability> self;
    std::lock_guard serial(notifierMutex_);
    ++generation_;
    reachabilityRef_->setCallback(nullptr);
    reachabilityRef_->setDispatchQueue(nullptr);
    std::lock_guard lock(mutex_);
    queue = std::move(reachabilitySerialQueue_);
    self = std::move(reachabilityObject_);
}

std::shared_ptr<platform::SerialQueue> Reachability::reachabilitySerialQueue() const {
    std::lock_guard lock(mutex_);
    return reachabilitySerialQueue_;
}

void Reachability::reachabilityChanged(Flags flags) {
    auto self = shared_from_this();
    // Read first, so that a block which stops the watcher also stops this notification.
    const std::uint64_t generation = generation_.load();
    Block block;
    {
        std::lock_guard lock(mutex_);
        block = isReachableWithFlags(flags) ? reachableBlock_ : unreachableBlock_;
    }
    if (block)
        block(self);
    platform::MainQueue::async([self = std::move(self), generation] {
        if (self->generation_.load() != generation)
            return;
        platform::NotificationCenter::defaultCenter().post(std::string(kkReachabilityChangedNotification),
                                                           self);
    });
}

bool Reachability::isReachableWithFlags(Flags flags) {
    if (!(flags & rf::kReachable))
        return false;
    return !((flags & rf::kConnectionRequired) && (flags & rf::kTransientConnection));
}

std::optional<Reachability::Flags> Reachability::currentFlags() const {
    return reachabilityRef_->flags();
}

bool Reachability::isReachable() const {
    const auto flags = currentFlags();
    return flags && isReachableWithFlags(*flags);
}

bool Reachability::isReachableViaWiFi() const {
    const auto flags = currentFlags();
    return flags && (*flags & rf::kReachable);
}

bool Reachability::isConnectionRequired() const {
    const auto flags = currentFlags();
    return flags && (*flags & rf::kConnectionRequired);
}

bool Reachability::isConnectionOnDemand() const {
    const Flags flags = reachabilityFlags();
    return (flags & rf::kConnectionRequired) &&
           (flags & (rf::kConnectionOnTraffic | rf::kConnectionOnDemand));
}

bool Reachability::isInterventionRequired() const {
    const Flags flags = reachabilityFlags();
    return (flags & rf::kConnectionRequired) && (flags & rf::kInterventionRequired);
}

Reachability::NetworkStatus Reachability::currentReachabilityStatus() const {
    const auto flags = currentFlags();
    if (flags && isReachableWithFlags(*flags) && (*flags & rf::kReachable))
        return ReachableViaWiFi;
    return NotReachable;
}

Reachability::Flags Reachability::reachabilityFlags() const {
    return currentFlags().value_or(0);
}

std::string Reachability::currentReachabilityString() const {
    // The string tables hold numbered texts only, so these words have no translation and stand as
    // they are.
    switch (currentReachabilityStatus()) {
    case ReachableViaWWAN:
        return "Cellular";
    case ReachableViaWiFi:
        return "WiFi";
    default:
        return "No Connection";
    }
}

std::string Reachability::flagsDescription(Flags flags) {
    auto letter = [flags](Flags bit, char c) { return (flags & bit) ? c : '-'; };
    std::string text;
    text += 'X'; // no cellular interfaces on this platform
    text += letter(rf::kReachable, 'R');
    text += ' ';
    text += letter(rf::kConnectionRequired, 'c');
    text += letter(rf::kTransientConnection, 't');
    text += letter(rf::kInterventionRequired, 'i');
    text += letter(rf::kConnectionOnTraffic, 'C');
    text += letter(rf::kConnectionOnDemand, 'D');
    text += letter(rf::kIsLocalAddress, 'l');
    text += letter(rf::kIsDirect, 'd');
    return text;
}

std::string Reachability::currentReachabilityFlags() const {
    return flagsDescription(reachabilityFlags());
}

std::string Reachability::description() const {
    const auto low = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(this));
    return fmt::format("<Reachability: {:#x}>", low);
}

} // namespace tc
