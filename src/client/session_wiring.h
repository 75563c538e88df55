#pragma once
// The composition of a session: the business object with the real part for every service it needs
// (notifications and banners, the login requests, the order lists over its model, the data service,
// the feed, the snapshot loaders, the watch list's subscription set), wired explicitly. Chat and
// funding messages are logged and dropped until those parts exist.
//
// BusinessServices is the test seam: a service given here is used in place of the real one.
#include "connection/connection_base.h"
#include "interfaces/application_interface.h"
#include "session/business_services.h"

#include <memory>

class BusinessBase;

namespace tc {

// Create and destroy it on the main thread.
std::unique_ptr<BusinessBase> makeSession(interfaces::ApplicationInterface& application,
                                          BusinessServices services = {}, ConnectionOptions connection = {});

} // namespace tc
