#pragma once
// The fields of a tag=value message as `readTagged` reads them.
#include "model/records/record_layout.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc::records {

// The piece as one field when it holds "<tag>="; none otherwise. The value points into the piece.
std::optional<TaggedField> taggedField(std::string_view piece);

// Each piece that holds "<tag>=" as one field, in the message's order; pieces without it are left
// out. The values point into `pieces`, which must outlive them.
std::vector<TaggedField> taggedFields(const std::vector<std::string>& pieces);

// `readTagged` straight over the message's pieces, split one at a time: the readers of messages that
// stream in read them without a list of their fields in between.
template <class R, class... Rows>
void readTagged(const std::vector<std::string>& pieces, const RecordLayout<Rows...>& layout, R& out) {
    for (const std::string& piece : pieces)
        if (const std::optional<TaggedField> field = taggedField(piece))
            readTagged(std::span(&*field, 1), layout, out);
}

} // namespace tc::records
