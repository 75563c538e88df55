// Arbitrary text handed to the session's dispatcher as if it came out of the stream: any sequence of
// frames, envelopes, snapshots and login replies. Whatever arrives, the session holds together: the
// dispatch returns, the main queue drains, and the session values stay readable.
#include "client/headless_application.h"
#include "client/session_wiring.h"
#include "fuzz_support.h"
#include "orders/session_orders.h"
#include "platform/bundle.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

using namespace tc;

struct Session {
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    std::unique_ptr<HeadlessApplication> app;
    std::unique_ptr<BusinessBase> business;

    Session() {
        platform::RunLoop::main().bindToCurrentThread();
        app = std::make_unique<HeadlessApplication>(*defaults);
        app->loginData().setUserName("demo");
        app->loginData().setPassword("demo1234");
        BusinessServices services;
        services.userDefaults = defaults.get();
        business = tc::makeSession(*app, app->loginData(), services);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Session* session = new Session; // lives as long as the process, as the real one does
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    session->business->ProcessMessage(text);
    platform::RunLoop::main().runOnce();
    platform::RunLoop::main().runOnce();
    if (session->business->networkSpeedStatus() < 0 || session->business->networkSpeedStatus() > 3)
        std::abort();
    (void)session->business->RequestId();
    (void)session->business->ServerTime();
    session->app->clearCalls();
    return 0;
}
