#include "connection/reachability_notifier.h"

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

std::shared_ptr<ReachabilityNotifier> forIPv4(std::uint8_t a, std::uint8_t b) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    address.sin_addr.s_addr =
        htonl(static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16);
    static_assert(sizeof address == 16);
    return ReachabilityNotifier::reachabilityWithAddress(reinterpret_cast<const sockaddr*>(&address),
                                                         sizeof address);
}

} // namespace

std::shared_ptr<ReachabilityNotifier>
ReachabilityNotifier::reachabilityWithHostName(std::string_view hostName) {
    return reachabilityWithHostname(hostName);
}

std::shared_ptr<ReachabilityNotifier>
ReachabilityNotifier::reachabilityWithHostname(std::string_view hostname) {
    return initWithReachabilityRef(platform::TargetWatch::createWithName(hostname));
}

std::shared_ptr<ReachabilityNotifier> ReachabilityNotifier::reachabilityWithAddress(const sockaddr* address,
                                                                                    socklen_t length) {
    return initWithReachabilityRef(platform::TargetWatch::createWithAddress(address, length));
}

std::shared_ptr<ReachabilityNotifier> ReachabilityNotifier::reachabilityForInternetConnection() {
    return forIPv4(0, 0);
}

std::shared_ptr<ReachabilityNotifier> ReachabilityNotifier::reachabilityForLocalWiFi() {
    return forIPv4(169, 254);
}

std::shared_ptr<ReachabilityNotifier>
ReachabilityNotifier::initWithReachabilityRef(std::unique_ptr<platform::TargetWatch> ref) {
    if (!ref)
        return nullptr;
    return std::make_shared<ReachabilityNotifier>(Passkey{}, std::move(ref));
}

ReachabilityNotifier::ReachabilityNotifier(Passkey, std::unique_ptr<platform::TargetWatch> ref)
    : reachabilityRef_(std::move(ref)) {}

ReachabilityNotifier::~ReachabilityNotifier() {
    stopNotifier();
    std::lock_guard lock(mutex_);
    reachableBlock_ = nullptr;
    unreachableBlock_ = nullptr;
}

void ReachabilityNotifier::setReachableBlock(Block block) {
    std::lock_guard lock(mutex_);
    reachableBlock_ = std::move(block);
}

void ReachabilityNotifier::setUnreachableBlock(Block block) {
    std::lock_guard lock(mutex_);
    unreachableBlock_ = std::move(block);
}

bool ReachabilityNotifier::startNotifier() {
    std::shared_ptr<ReachabilityNotifier> self; // released only after both locks
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
    std::weak_ptr<ReachabilityNotifier> weak = weak_from_this();
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

void ReachabilityNotifier::stopNotifier() {
    // Released after the locks: the self-reference may be the watcher's last one, and the queue may be
    // the one running this.
    std::shared_ptr<platform::SerialQueue> queue;
    std::shared_ptr<ReachabilityNotifier> self;
    std::lock_guard serial(notifierMutex_);
    ++generation_;
    reachabilityRef_->setCallback(nullptr);
    reachabilityRef_->setDispatchQueue(nullptr);
    std::lock_guard lock(mutex_);
    queue = std::move(reachabilitySerialQueue_);
    self = std::move(reachabilityObject_);
}

std::shared_ptr<platform::SerialQueue> ReachabilityNotifier::reachabilitySerialQueue() const {
    std::lock_guard lock(mutex_);
    return reachabilitySerialQueue_;
}

void ReachabilityNotifier::reachabilityChanged(Flags flags) {
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

bool ReachabilityNotifier::isReachableWithFlags(Flags flags) {
    if (!(flags & rf::kReachable))
        return false;
    return !((flags & rf::kConnectionRequired) && (flags & rf::kTransientConnection));
}

std::optional<ReachabilityNotifier::Flags> ReachabilityNotifier::currentFlags() const {
    return reachabilityRef_->flags();
}

bool ReachabilityNotifier::isReachable() const {
    const auto flags = currentFlags();
    return flags && isReachableWithFlags(*flags);
}

bool ReachabilityNotifier::isReachableViaWiFi() const {
    const auto flags = currentFlags();
    return flags && (*flags & rf::kReachable);
}

bool ReachabilityNotifier::isConnectionRequired() const {
    const auto flags = currentFlags();
    return flags && (*flags & rf::kConnectionRequired);
}

bool ReachabilityNotifier::isConnectionOnDemand() const {
    const Flags flags = reachabilityFlags();
    return (flags & rf::kConnectionRequired) &&
           (flags & (rf::kConnectionOnTraffic | rf::kConnectionOnDemand));
}

bool ReachabilityNotifier::isInterventionRequired() const {
    const Flags flags = reachabilityFlags();
    return (flags & rf::kConnectionRequired) && (flags & rf::kInterventionRequired);
}

ReachabilityNotifier::NetworkStatus ReachabilityNotifier::currentReachabilityStatus() const {
    const auto flags = currentFlags();
    if (flags && isReachableWithFlags(*flags) && (*flags & rf::kReachable))
        return ReachableViaWiFi;
    return NotReachable;
}

ReachabilityNotifier::Flags ReachabilityNotifier::reachabilityFlags() const {
    return currentFlags().value_or(0);
}

std::string ReachabilityNotifier::currentReachabilityString() const {
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

std::string ReachabilityNotifier::flagsDescription(Flags flags) {
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

std::string ReachabilityNotifier::currentReachabilityFlags() const {
    return flagsDescription(reachabilityFlags());
}

std::string ReachabilityNotifier::description() const {
    const auto low = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(this));
    return fmt::format("<ReachabilityNotifier: {:#x}>", low);
}

} // namespace tc
