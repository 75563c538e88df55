#pragma once
// The session's resource files: searches by type, downloads of found resources, and each download
// stored once in the resource store (names reduced to safe base names, payloads decoded within the
// store's cap, nothing written when a payload does not decode), the calendars merged. The business
// object owns it (through its services); main queue, but for the decoding of a download.
#include "interfaces/resources.h"
#include "resources/resource_files.h"
#include "session/business/business_services.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class BusinessBase;

class SessionResources final : public ResourceHandlers {
public:
    using Listener = std::function<void(const interfaces::ResourceStored&)>;

    // `store` null: the standard store under the user's XDG data folder (made on first use).
    SessionResources(BusinessBase& business, std::optional<resources::ResourceStore> store = std::nullopt);

    interfaces::RequestId searchResources(std::string_view resourceType);
    // A resource the searches found; 0 (nothing sent) for an unknown or unsafe name.
    interfaces::RequestId downloadResource(std::string_view resourceName);
    // Downloads the found files whose name holds `text` and which the store lacks; how many were asked.
    std::size_t requestFileResourceForExtension(std::string_view text);
    void setListener(Listener listener) { listener_ = std::move(listener); }
    const resources::ResourceStore* store() const { return store_ ? &*store_ : nullptr; }

    // ResourceHandlers. The payload is decoded on the receiving thread; the file is stored on the main
    // queue.
    std::function<void()> readResourceDownload(const PendingRequest* request,
                                               std::string payloadBase64) override;

private:
    // Main queue: stores the decoded text (none when `stored` holds why) and tells the listener.
    void storeDownload(interfaces::ResourceStored stored, const std::optional<std::string>& text);
    std::vector<std::string> resourceKeys() const;

    BusinessBase& business_;
    std::optional<resources::ResourceStore> store_;
    Listener listener_;
};

} // namespace tc
