#include "http/request_operation_manager.h"

#include <fmt/format.h>

namespace tc::http {

URL normalizedBaseURL(const URL& url) {
    if (!url.path().empty() && !url.path().ends_with("/"))
        return url.withPath(url.path() + "/");
    return url;
}

std::optional<std::string> resolveAgainstBase(std::string_view text, const std::optional<URL>& base) {
    if (!base)
        return std::string(text);
    auto url = URL::resolve(text, *base);
    if (!url)
        return std::nullopt;
    return url->absoluteString();
}

std::shared_ptr<HTTPRequestOperationManager> HTTPRequestOperationManager::create(std::optional<URL> baseURL) {
    auto m = std::make_shared<HTTPRequestOperationManager>();
    if (baseURL)
        m->baseURL_ = normalizedBaseURL(*baseURL);
    return m;
}

void HTTPRequestOperationManager::setRequestSerializer(std::shared_ptr<HTTPRequestSerializer> serializer) {
    require(serializer != nullptr, "requestSerializer");
    requestSerializer_ = std::move(serializer);
}

void HTTPRequestOperationManager::setResponseSerializer(std::shared_ptr<HTTPResponseSerializer> serializer) {
    require(serializer != nullptr, "responseSerializer");
    responseSerializer_ = std::move(serializer);
}

std::shared_ptr<HTTPRequestOperation>
HTTPRequestOperationManager::HTTPRequestOperationWithRequest(URLRequest request, Success success,
                                                             Failure failure) {
    auto op = HTTPRequestOperation::create(std::move(request));
    op->setResponseSerializer(responseSerializer_);
    op->shouldUseCredentialStorage = shouldUseCredentialStorage;
    op->credential = credential;
    op->securityPolicy = securityPolicy;
    op->setMaximumResponseDataLength(maximumResponseDataLength);
    op->setCompletionBlockWithSuccess(std::move(success), std::move(failure));
    op->completionQueue = completionQueue;
    op->completionGroup = completionGroup;
    return op;
}

void HTTPRequestOperationManager::reportBuildFailure(const Failure& failure, const Error& error) const {
    if (failure)
        completionQueue.value_or(DispatchQueue::main()).async([failure, error] { failure(nullptr, error); });
}

std::shared_ptr<HTTPRequestOperation> HTTPRequestOperationManager::HTTPRequestOperationWithHTTPMethod(
    std::string_view method, std::string_view URLString, const std::optional<Parameters>& parameters,
    Success success, Failure failure) {
    auto text = resolveAgainstBase(URLString, baseURL_);
    require(text.has_value(), "url");
    Error error;
    auto request = requestSerializer_->requestWithMethod(method, *text, parameters, &error);
    if (!request) {
        reportBuildFailure(failure, error);
        return nullptr;
    }
    return HTTPRequestOperationWithRequest(std::move(*request), std::move(success), std::move(failure));
}

std::shared_ptr<HTTPRequestOperation>
HTTPRequestOperationManager::queued(std::shared_ptr<HTTPRequestOperation> op) {
    if (op)
        operationQueue_->addOperation(op);
    return op;
}

std::shared_ptr<HTTPRequestOperation>
HTTPRequestOperationManager::GET(std::string_view URLString, const std::optional<Parameters>& parameters,
                                 Success success, Failure failure) {
    return queued(HTTPRequestOperationWithHTTPMethod("GET", URLString, parameters, std::move(success),
                                                     std::move(failure)));
}

std::shared_ptr<HTTPRequestOperation>
HTTPRequestOperationManager::HEAD(std::string_view URLString, const std::optional<Parameters>& parameters,
                                  HeadSuccess success, Failure failure) {
    Success wrapped = [success](const std::shared_ptr<HTTPRequestOperation>& op, const ResponseObject&) {
        if (success)
            success(op);
    };
    return queued(
        HTTPRequestOperationWithHTTPMethod("HEAD", URLString, parameters, wrapped, std::move(failure)));
}

std::shared_ptr<HTTPRequestOperation>
HTTPRequestOperationManager::POST(std::string_view URLString, const std::optional<Parameters>& parameters,
                                  Success success, Failure failure) {
    return queued(HTTPRequestOperationWithHTTPMethod("POST", URLString, parameters, std::move(success),
                                                     std::move(failure)));
}

std::shared_ptr<HTTPRequestOperation>
HTTPRequestOperationManager::POST(std::string_view URLString, const std::optional<Parameters>& parameters,
                                  const std::function<void(MultipartFormData&)>& block, Success success,
                                  Failure failure) {
    auto text = resolveAgainstBase(URLString, baseURL_);
    require(text.has_value(), "url");
    Error error;
    auto request =
        requestSerializer_->multipartFormRequestWithMethod("POST", *text, parameters, block, &error);
    if (!request) {
        reportBuildFailure(failure, error);
        return nullptr;
    }
    return queued(
        HTTPRequestOperationWithRequest(std::move(*request), std::move(success), std::move(failure)));
}

std::shared_ptr<HTTPRequestOperation>
HTTPRequestOperationManager::PUT(std::string_view URLString, const std::optional<Parameters>& parameters,
                                 Success success, Failure failure) {
    return queued(HTTPRequestOperationWithHTTPMethod("PUT", URLString, parameters, std::move(success),
                                                     std::move(failure)));
}

std::shared_ptr<HTTPRequestOperation>
HTTPRequestOperationManager::PATCH(std::string_view URLString, const std::optional<Parameters>& parameters,
                                   Success success, Failure failure) {
    return queued(HTTPRequestOperationWithHTTPMethod("PATCH", URLString, parameters, std::move(success),
                                                     std::move(failure)));
}

std::shared_ptr<HTTPRequestOperation>
HTTPRequestOperationManager::DELETE(std::string_view URLString, const std::optional<Parameters>& parameters,
                                    Success success, Failure failure) {
    return queued(HTTPRequestOperationWithHTTPMethod("DELETE", URLString, parameters, std::move(success),
                                                     std::move(failure)));
}

std::string HTTPRequestOperationManager::description() const {
    return fmt::format(
        "<HTTPRequestOperationManager: {}, baseURL: {}, operationQueue: {}>", static_cast<const void*>(this),
        baseURL_ ? baseURL_->absoluteString() : std::string("(null)"), operationQueue_->name());
}

std::shared_ptr<HTTPRequestOperationManager> HTTPRequestOperationManager::copy() const {
    auto m = create(baseURL_);
    m->requestSerializer_ = requestSerializer_->copy();
    m->responseSerializer_ = responseSerializer_->copy();
    m->securityPolicy = securityPolicy->copy();
    return m;
}

} // namespace tc::http
