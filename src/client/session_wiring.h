#pragma once
// The composition of a session: the business object with the real part for every service it needs
// (notifications and banners, the login requests, the data service, the feed, the snapshot loaders,
// the watch list's subscription set) and its order side (the order rules, requests and live lists),
// wired explicitly, with the funding, chat, statement and resource parts.
//
// BusinessServices is the test seam: a service given here is used in place of the real one.
#include "connection/connection_base.h"
#include "interfaces/application_interface.h"
#include "session/business/business_services.h"
#include "wire/login_inputdata.h"

#include <memory>

namespace tc {

class BusinessBase;
class SessionOrders;
class SessionResources;
namespace funding {
class SessionFunding;
}
namespace chat {
class SessionChat;
}
namespace statements {
class SessionStatements;
}

// The parts the business object owns; null where the caller gave a service of its own in their place.
struct WiredSession {
    std::unique_ptr<BusinessBase> business;
    SessionOrders* orders = nullptr; // the order side the business object owns
    funding::SessionFunding* funding = nullptr;
    chat::SessionChat* chat = nullptr;
    statements::SessionStatements* statements = nullptr;
    SessionResources* resources = nullptr;
};

// Create and destroy the business object on the main thread; `login` (the session's sign-in data) must
// outlive it.
WiredSession wireSession(interfaces::ApplicationInterface& application, LoginInputData& login,
                         BusinessServices services = {}, ConnectionOptions connection = {});
// The same when the order side is not wanted by name.
std::unique_ptr<BusinessBase> makeSession(interfaces::ApplicationInterface& application,
                                          LoginInputData& login, BusinessServices services = {},
                                          ConnectionOptions connection = {});

} // namespace tc
