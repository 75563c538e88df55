#include "session/session_snapshot_loader.h"

#include "platform/log.h"
#include "session/amp_snapshot_loader.h"

std::optional<SessionModel> SessionSnapshotLoader::load(std::string_view compressedField, bool isAmp) {
    if (isAmp)
        return AmpSnapshotLoader().loadFromCompressedField(compressedField);
    // The XML form is read once its loader is part of the build; until then such a login ends with
    // the unreadable-snapshot error.
    platform::Log::error("login snapshot in XML form: no reader for it in this build");
    return std::nullopt;
}
