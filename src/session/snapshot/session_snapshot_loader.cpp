#include "session/snapshot/session_snapshot_loader.h"

#include "connection/envelope_opener.h"
#include "platform/log.h"
#include "session/snapshot/amp_snapshot_loader.h"
#include "session/snapshot/xml_snapshot_loader.h"

namespace tc {

std::optional<SessionModel> SessionSnapshotLoader::load(std::string_view compressedField, bool isAmp) {
    if (isAmp)
        return AmpSnapshotLoader().loadFromCompressedField(compressedField);
    const std::optional<std::string> xml = decompressedPayloadOfField(compressedField);
    if (!xml) {
        platform::Log::warning("login snapshot in XML form did not inflate");
        return std::nullopt;
    }
    return XmlSnapshotLoader::load(*xml);
}

} // namespace tc
