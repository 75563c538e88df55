#include "model/records/tagged_fields.h"

#include "wire/wire_fields.h"

namespace tc::records {

std::optional<TaggedField> taggedField(std::string_view piece) {
    const wire::Field f = wire::parseField(piece);
    if (!f.hasValue)
        return std::nullopt;
    return TaggedField{f.tag, f.value};
}

std::vector<TaggedField> taggedFields(const std::vector<std::string>& pieces) {
    std::vector<TaggedField> out;
    out.reserve(pieces.size());
    for (const std::string& piece : pieces)
        if (const std::optional<TaggedField> field = taggedField(piece))
            out.push_back(*field);
    return out;
}

} // namespace tc::records
