#include "model/records/record_layout.h"

namespace tc::records {

std::optional<WallTime> isoDateFromText(std::string_view text) {
    return wallTimeFromIso(text);
}

} // namespace tc::records
