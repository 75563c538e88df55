#include "gui/resources/resource_list.h"

#include "gui/controls/web_address.h"

namespace tc::gui {

std::vector<ResourceRow> resourceRows(const SessionQueries& queries) {
    std::vector<ResourceRow> rows;
    for (const auto& resource : queries.getResourceCollection()) {
        if (!resource)
            continue;
        rows.push_back({resource->caption, resource->iconResourceId,
                        webAddressToOpen(resource->URL, MissingScheme::AssumeHttps)});
    }
    return rows;
}

} // namespace tc::gui
