#pragma once
// The client's factory with its test seam: services given here replace the real ones (session
// wiring), and the connection's options its defaults. The program uses interfaces::MakeClient.
#include "client/session_wiring.h"
#include "interfaces/client.h"

#include <memory>

namespace tc {

class BusinessBase;
class SessionOrders;

// Main thread. `services.events` is the client's own and is ignored here.
std::unique_ptr<interfaces::Client> makeClient(interfaces::ApplicationInterface& application,
                                               const interfaces::ClientOptions& options,
                                               BusinessServices services = {},
                                               ConnectionOptions connection = {});

// The session behind a client made by makeClient, for tests that play the server's or the network's
// part (never for windows: they stay on the client's side of the seam).
BusinessBase& sessionOf(interfaces::Client& client);
SessionOrders& ordersOf(interfaces::Client& client);

} // namespace tc
