// Built in the GUI's include setting. Plain, it reads a record through the client's views and
// compiles; with TC_PROBE_WRITE or TC_PROBE_COPY it tries to write a record, or to make a writable
// owner of one, through those const views, and must not compile (ctest: layers.readonly_view_*).
#include "interfaces/client.h"
#include "model/records/order.h"

double readThroughTheView(const interfaces::Client& client) {
    const auto& positions = client.model().OpenOrderCollection;
#if defined(TC_PROBE_WRITE)
    positions.front()->UnrealisedPL = 0;
#elif defined(TC_PROBE_COPY)
    tc::RecordPtr<tc::Order> owner = positions.front();
    owner->UnrealisedPL = 0;
#endif
    return positions.empty() ? 0.0 : positions.front()->UnrealisedPL;
}
