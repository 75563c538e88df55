#pragma once
// What a subscriber to a client event holds: destroying it (or disconnect()) ends the subscription.
// The same handler type serves the core for every "still observing" it does.
#include "platform/handler.h"

namespace interfaces {

using tc::platform::Handler;
using tc::platform::MakeCleanupHandler;

} // namespace interfaces
