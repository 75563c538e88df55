#pragma once
// The session's snapshot loader: the control-character form through AmpSnapshotLoader, the XML form
// through XmlSnapshotLoader, each into a fresh model. A snapshot the reader refuses (not XML, nested
// too deep, unknown entities) or that is past a cap anywhere is not read at all: nullopt, with the
// reason logged. Stateless; callable from any thread.
#include "session/business/business_services.h"

namespace tc {

class SessionSnapshotLoader final : public SnapshotLoader {
public:
    std::optional<SessionModel> load(std::string_view compressedField, bool isAmp) override;
};

} // namespace tc
