#include "model/records/tagged_fields.h"

#include "wire/wire_fields.h"

namespace tc::records {

std::vector<TaggedField> taggedFields(const std::vector<std::string>& pieces) {
    std::vector<TaggedField> out;
    out.reserve(pieces.size());
    for (const std::string& piece : pieces)
        if (const wire::Field f = wire::parseField(piece); f.hasValue)
            out.push_back({f.tag, f.value});
    return out;
}

} // namespace tc::records
