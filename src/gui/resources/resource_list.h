#pragma once
// The resources panel's rows, Qt-free: the login's resource list as the session lists it (captions
// holding "#" left out, ascending by key with digit runs compared by value), each with the address a
// click opens: http or https as given, one without a scheme as https, any other scheme none.
#include "model/session_queries.h"

#include <optional>
#include <string>
#include <vector>

namespace tc::gui {

struct ResourceRow {
    std::string caption;
    std::string iconResourceId;
    std::optional<std::string> address; // none: nothing to open
};

std::vector<ResourceRow> resourceRows(const SessionQueries& queries);

} // namespace tc::gui
