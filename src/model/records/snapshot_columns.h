#pragma once
// One row of the login snapshot's XML form: column name -> text, entities decoded. Each record reads
// its columns through a column table beside its wire table.
#include "platform/ordered_map.h"

#include <string>

namespace tc {

using SnapshotColumns = platform::OrderedMap<std::string, std::string>;

} // namespace tc
