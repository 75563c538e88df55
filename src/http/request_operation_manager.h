#pragma once
// The entry point of the operation-based client: a base URL, serializers, a security policy, and one
// call per HTTP verb that builds the request, queues its operation and returns it.
#include "http/http_operation.h"
#include "http/request_serializer.h"

namespace tc::http {

// The base URL as stored: a non-empty path gets a trailing "/" so relative texts resolve below it.
URL normalizedBaseURL(const URL& url);
// `text` resolved against `base` (unchanged without a base); nullopt when it does not parse.
std::optional<std::string> resolveAgainstBase(std::string_view text, const std::optional<URL>& base);

class HTTPRequestOperationManager {
public:
    using Success = HTTPRequestOperation::Success;
    using Failure = HTTPRequestOperation::Failure;
    using HeadSuccess = std::function<void(const std::shared_ptr<HTTPRequestOperation>&)>;

    static std::shared_ptr<HTTPRequestOperationManager> manager() { return create(std::nullopt); }
    static std::shared_ptr<HTTPRequestOperationManager> create(std::optional<URL> baseURL);

    const std::optional<URL>& baseURL() const { return baseURL_; }
    bool shouldUseCredentialStorage = true;
    std::optional<URLCredential> credential;
    std::shared_ptr<SecurityPolicy> securityPolicy = SecurityPolicy::defaultPolicy();
    std::optional<DispatchQueue> completionQueue;
    std::shared_ptr<DispatchGroup> completionGroup;
    // The cap on bodies kept in memory; the default suits documents such as the news feed.
    std::size_t maximumResponseDataLength = kDefaultMaximumResponseBytes;

    std::shared_ptr<HTTPRequestSerializer> requestSerializer() const { return requestSerializer_; }
    void setRequestSerializer(std::shared_ptr<HTTPRequestSerializer> serializer);
    std::shared_ptr<HTTPResponseSerializer> responseSerializer() const { return responseSerializer_; }
    void setResponseSerializer(std::shared_ptr<HTTPResponseSerializer> serializer);
    const std::shared_ptr<OperationQueue>& operationQueue() const { return operationQueue_; }

    std::shared_ptr<HTTPRequestOperation> HTTPRequestOperationWithRequest(URLRequest request, Success success,
                                                                          Failure failure);
    std::shared_ptr<HTTPRequestOperation>
    HTTPRequestOperationWithHTTPMethod(std::string_view method, std::string_view URLString,
                                       const std::optional<Parameters>& parameters, Success success,
                                       Failure failure);

    std::shared_ptr<HTTPRequestOperation> GET(std::string_view URLString,
                                              const std::optional<Parameters>& parameters, Success success,
                                              Failure failure);
    std::shared_ptr<HTTPRequestOperation> HEAD(std::string_view URLString,
                                               const std::optional<Parameters>& parameters,
                                               HeadSuccess success, Failure failure);
    std::shared_ptr<HTTPRequestOperation> POST(std::string_view URLString,
                                               const std::optional<Parameters>& parameters, Success success,
                                               Failure failure);
    std::shared_ptr<HTTPRequestOperation> POST(std::string_view URLString,
                                               const std::optional<Parameters>& parameters,
                                               const std::function<void(MultipartFormData&)>& block,
                                               Success success, Failure failure);
    std::shared_ptr<HTTPRequestOperation> PUT(std::string_view URLString,
                                              const std::optional<Parameters>& parameters, Success success,
                                              Failure failure);
    std::shared_ptr<HTTPRequestOperation> PATCH(std::string_view URLString,
                                                const std::optional<Parameters>& parameters, Success success,
                                                Failure failure);
    std::shared_ptr<HTTPRequestOperation> DELETE(std::string_view URLString,
                                                 const std::optional<Parameters>& parameters, Success success,
                                                 Failure failure);

    std::string description() const;
    std::shared_ptr<HTTPRequestOperationManager> copy() const;

private:
    std::shared_ptr<HTTPRequestOperation> queued(std::shared_ptr<HTTPRequestOperation> operation);
    void reportBuildFailure(const Failure& failure, const Error& error) const;

    std::optional<URL> baseURL_;
    std::shared_ptr<HTTPRequestSerializer> requestSerializer_ = HTTPRequestSerializer::serializer();
    std::shared_ptr<HTTPResponseSerializer> responseSerializer_ = JSONResponseSerializer::serializer();
    std::shared_ptr<OperationQueue> operationQueue_ =
        OperationQueue::create("com.tradeclient.networking.manager");
};

} // namespace tc::http
