#include "model/records/record_layout.h"

#include "model/text/formatter.h"

namespace tc::records {

std::optional<platform::Date> isoDateFromText(std::string_view text) {
    return Formatter::formatDateFromString(text);
}

} // namespace tc::records
