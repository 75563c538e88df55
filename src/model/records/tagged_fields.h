#pragma once
// The fields of a tag=value message as `readTagged` reads them.
#include "model/records/record_layout.h"

#include <string>
#include <vector>

namespace tc::records {

// Each piece that holds "<tag>=" as one field, in the message's order; pieces without it are left
// out. The values point into `pieces`, which must outlive them.
std::vector<TaggedField> taggedFields(const std::vector<std::string>& pieces);

} // namespace tc::records
