#include "session/snapshot/session_snapshot_loader.h"

#include "platform/log.h"
#include "session/snapshot/amp_snapshot_loader.h"
#include "session/snapshot/xml_snapshot_loader.h"
#include "wire/envelope_opener.h"

namespace tc {

namespace {

std::optional<SessionModel> refuse(std::string_view form, std::string_view why) {
    platform::Log::error("login snapshot in {} form not read: {}", form, why);
    return std::nullopt;
}

} // namespace

std::optional<SessionModel> SessionSnapshotLoader::load(std::string_view compressedField, bool isAmp) {
    // A snapshot read only in part would sign the user in to a session that lacks what was cut off:
    // past a cap it is refused whole, as is one the reader could not take.
    if (isAmp) {
        AmpLoadStats stats;
        std::optional<SessionModel> model =
            AmpSnapshotLoader().loadFromCompressedField(compressedField, &stats);
        if (!model)
            return refuse("AMP", "it does not decode, inflate or fit the size cap");
        if (stats.recordsDropped > 0)
            return refuse("AMP", fmt::format("{} records are past its caps", stats.recordsDropped));
        return model;
    }
    const std::optional<std::string> xml = decompressedPayloadOfField(compressedField);
    if (!xml)
        return refuse("XML", "it does not decode or inflate");
    const XmlSnapshotTables tables = XmlSnapshotLoader::collectTables(*xml);
    if (!tables.error.empty())
        return refuse("XML", tables.error);
    if (tables.unknownEntities > 0)
        return refuse("XML", fmt::format("{} references to unknown entities", tables.unknownEntities));
    if (tables.rowsPastCaps > 0)
        return refuse("XML", fmt::format("{} rows are past its caps", tables.rowsPastCaps));
    SessionModel model;
    XmlSnapshotLoader::fillTableDetails(tables, model);
    return model;
}

} // namespace tc
