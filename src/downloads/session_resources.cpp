#include "downloads/session_resources.h"

#include "model/records/request_records.h"
#include "model/session_model.h"
#include "platform/log.h"
#include "session/business/business_base.h"
#include "session/business/session_requests.h"

namespace tc {

SessionResources::SessionResources(BusinessBase& business, std::optional<resources::ResourceStore> store)
    : business_(business), store_(std::move(store)) {}

interfaces::RequestId SessionResources::searchResources(std::string_view resourceType) {
    if (resourceType.empty())
        return 0;
    return business_.sessionRequests().requestResourceSearch(resourceType).sequence;
}

interfaces::RequestId SessionResources::downloadResource(std::string_view resourceName) {
    const auto* found =
        business_.dataServiceCollections().resourceSearchCollection.get(std::string(resourceName));
    if (!found || !resources::safeBaseName(resourceName).ok())
        return 0;
    return business_.sessionRequests().requestFileResourceDownload(*found).sequence;
}

std::size_t SessionResources::requestFileResourceForExtension(std::string_view text) {
    if (!store_)
        store_ = resources::ResourceStore::standard();
    if (!store_ || text.empty())
        return 0;
    std::vector<std::string> names;
    for (const auto& [name, resource] : business_.dataServiceCollections().resourceSearchCollection)
        names.push_back(name);
    std::size_t asked = 0;
    for (const std::string& name : store_->missingFiles(names, text))
        if (downloadResource(name) != 0)
            ++asked;
    return asked;
}

std::vector<std::string> SessionResources::resourceKeys() const {
    // The calendars the user is offered are those of the login's resource list, not every file the
    // searches found: the merge waits only for those.
    std::vector<std::string> keys;
    for (const auto& [key, resource] : business_.session().resourceCollection)
        keys.push_back(key);
    return keys;
}

std::function<void()> SessionResources::readResourceDownload(const PendingRequest* request,
                                                             std::string payloadBase64) {
    interfaces::ResourceStored stored;
    stored.id = request ? request->sequence : 0;
    stored.name = request ? request->subject : std::string();
    std::optional<std::string> text;
    if (stored.name.empty())
        stored.error = "the download answers no request";
    else if (payloadBase64.empty())
        stored.error = "the server sent no file";
    else
        text = resources::decodeResourcePayload(payloadBase64, &stored.error);
    return [this, stored = std::move(stored), text = std::move(text)]() mutable {
        storeDownload(std::move(stored), text);
    };
}

void SessionResources::storeDownload(interfaces::ResourceStored stored,
                                     const std::optional<std::string>& text) {
    if (!store_)
        store_ = resources::ResourceStore::standard();
    if (!text) {
        // Why is in stored.error already.
    } else if (!store_) {
        stored.error = "no folder for resource files";
    } else {
        const resources::ResourceStore::Saved saved =
            store_->saveFileWithName(stored.name, *text, resourceKeys());
        stored.error = saved.error;
        stored.calendarMerged = saved.downloadCompleted;
        if (saved.error.empty())
            stored.path = resources::FileManager::getPathForFile(resources::safeBaseName(stored.name).name,
                                                                 store_->folder())
                              .string();
    }
    if (!stored.error.empty())
        platform::Log::warning("resource {} not stored: {}", stored.name, stored.error);
    if (listener_)
        listener_(stored);
}

} // namespace tc
