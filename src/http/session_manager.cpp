#include "http/session_manager.h"

#include <fmt/format.h>

namespace tc::http {

struct URLSessionManager::TaskDelegate {
    Bytes data;
    std::shared_ptr<Progress> uploadProgress = std::make_shared<Progress>();
    std::shared_ptr<Progress> downloadProgress = std::make_shared<Progress>();
    std::optional<URL> downloadFileURL;
    std::optional<Error> fileError;
    Destination destination;
    CompletionHandler completion;
};

namespace {

// Moves a finished download; across file systems it copies and removes.
std::optional<Error> moveFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    if (std::filesystem::exists(to, ec))
        return fileError(EEXIST, "move the download to", to); // files are written once, never replaced
    std::filesystem::rename(from, to, ec);
    if (ec == std::errc::cross_device_link) {
        ec.clear();
        std::filesystem::copy_file(from, to, ec);
        if (!ec)
            std::filesystem::remove(from, ec);
    }
    if (ec)
        return fileError(ec.value(), "move the download to", to);
    return std::nullopt;
}

} // namespace

struct URLSessionManager::SessionDelegate final : URLSessionDelegate {
    std::weak_ptr<URLSessionManager> manager;

    bool didReceiveServerTrustChallenge(const std::shared_ptr<URLSessionTask>&,
                                        const ServerTrust& trust) override {
        auto m = manager.lock();
        return m && m->securityPolicy && m->securityPolicy->evaluateServerTrust(trust, trust.host());
    }
    std::optional<URLRequest> willPerformHTTPRedirection(const std::shared_ptr<URLSessionTask>& task,
                                                         const HTTPURLResponse& response,
                                                         const URLRequest& request) override {
        auto m = manager.lock();
        if (m && m->taskWillPerformHTTPRedirection)
            return m->taskWillPerformHTTPRedirection(task, response, request);
        return request;
    }
    void didSendBodyData(const std::shared_ptr<URLSessionTask>& task, std::int64_t, std::int64_t total,
                         std::int64_t expected) override {
        auto m = manager.lock();
        if (!m)
            return;
        if (expected < 0)
            if (auto cl = task->originalRequest().headers.value("Content-Length"))
                expected = std::atoll(cl->c_str());
        if (auto td = m->delegateForTask(*task)) {
            td->uploadProgress->totalUnitCount = expected;
            td->uploadProgress->completedUnitCount = total;
        }
    }
    void didReceiveData(const std::shared_ptr<URLSessionTask>& task, const Bytes& bytes) override {
        auto m = manager.lock();
        if (!m)
            return;
        if (auto td = m->delegateForTask(*task))
            td->data.insert(td->data.end(), bytes.begin(), bytes.end());
        if (m->dataTaskDidReceiveData)
            m->dataTaskDidReceiveData(task, bytes);
    }
    void didWriteData(const std::shared_ptr<URLSessionTask>& task, std::int64_t written, std::int64_t total,
                      std::int64_t expected) override {
        auto m = manager.lock();
        if (!m)
            return;
        if (auto td = m->delegateForTask(*task)) {
            td->downloadProgress->totalUnitCount = expected;
            td->downloadProgress->completedUnitCount = total;
        }
        if (m->downloadTaskDidWriteData)
            m->downloadTaskDidWriteData(task, written, total, expected);
    }
    void didFinishDownloadingToURL(const std::shared_ptr<URLSessionTask>& task,
                                   const URL& temporary) override {
        auto m = manager.lock();
        if (!m)
            return;
        auto td = m->delegateForTask(*task);
        std::optional<URL> target;
        if (m->downloadTaskDidFinishDownloading)
            target = m->downloadTaskDidFinishDownloading(task, temporary);
        else if (td && td->destination) {
            auto response = task->response();
            target = td->destination(temporary, response.get());
        }
        if (td)
            td->downloadFileURL = target;
        if (!target)
            return;
        if (auto e = moveFile(temporary.filePath(), target->filePath())) {
            platform::UserInfo info{{"error", *e}};
            platform::NotificationCenter::defaultCenter().post(kDownloadMoveFailedNotification, task, info);
            if (td)
                td->fileError = e; // the completion reports it: the file is not where it was asked to be
        }
    }
    void didCompleteWithError(const std::shared_ptr<URLSessionTask>& task,
                              const std::optional<Error>& error) override {
        auto m = manager.lock();
        if (!m)
            return;
        if (auto td = m->delegateForTask(*task)) {
            m->removeDelegateForTask(*task);
            complete(*m, task, *td, error);
        }
        if (m->taskDidComplete)
            m->taskDidComplete(task, error);
    }
    void didBecomeInvalid(const std::optional<Error>&) override {
        auto m = manager.lock();
        if (!m)
            return;
        {
            std::lock_guard lock(m->mutex_);
            m->delegates_.clear();
        }
        platform::NotificationCenter::defaultCenter().post(kSessionDidInvalidateNotification, m->session_);
    }

    static void complete(URLSessionManager& m, const std::shared_ptr<URLSessionTask>& task, TaskDelegate& td,
                         std::optional<Error> error) {
        auto serializer = m.responseSerializer();
        platform::UserInfo info{{kTaskCompleteResponseSerializerKey, serializer}};
        auto data = std::make_shared<const Bytes>(std::move(td.data));
        if (td.downloadFileURL)
            info[kTaskCompleteAssetPathKey] = *td.downloadFileURL;
        else if (!data->empty())
            info[kTaskCompleteResponseDataKey] = *data;
        if (!error)
            error = td.fileError;
        auto queue = m.completionQueue.value_or(DispatchQueue::main());
        auto group = m.completionGroup ? m.completionGroup : URLConnectionOperation::sharedCompletionGroup();
        auto completion = td.completion;
        auto response = task->response();
        if (error) {
            info[kTaskCompleteErrorKey] = *error;
            asyncInGroup(group, queue, [completion, response, error, task, info] {
                if (completion)
                    completion(response, {}, error);
                platform::NotificationCenter::defaultCenter().postOnMainQueue(kTaskDidCompleteNotification,
                                                                              task, info);
            });
            return;
        }
        auto fileURL = td.downloadFileURL;
        platform::GlobalQueue::async([serializer, data, response, fileURL, group, queue, completion, task,
                                      info]() mutable {
            std::optional<Error> serializationError;
            ResponseObject object = serializer->responseObjectForResponse(
                response.get(), data->empty() && !response ? nullptr : data.get(), &serializationError);
            if (fileURL)
                object = *fileURL;
            if (object.has_value())
                info[kTaskCompleteSerializedResponseKey] = object;
            if (serializationError)
                info[kTaskCompleteErrorKey] = *serializationError;
            asyncInGroup(group, queue, [completion, response, object, serializationError, task, info] {
                if (completion)
                    completion(response, object, serializationError);
                platform::NotificationCenter::defaultCenter().postOnMainQueue(kTaskDidCompleteNotification,
                                                                              task, info);
            });
        });
    }
};

std::shared_ptr<URLSessionManager> URLSessionManager::create(URLSessionConfiguration configuration) {
    auto m = std::shared_ptr<URLSessionManager>(new URLSessionManager());
    m->setUp(std::move(configuration));
    return m;
}

void URLSessionManager::setUp(URLSessionConfiguration configuration) {
    auto delegate = std::make_shared<SessionDelegate>();
    delegate->manager = weak_from_this();
    session_ = URLSession::create(
        std::move(configuration), delegate,
        std::make_shared<platform::SerialQueue>("com.tradeclient.networking.session.delegate"));
    std::weak_ptr<URLSessionManager> weak = weak_from_this();
    auto relay = [weak](const std::string& name) {
        return [weak, name](const platform::Notification& n) {
            auto m = weak.lock();
            auto task = n.objectAs<std::shared_ptr<URLSessionTask>>();
            if (m && task && *task && (*task)->taskDescription() == m->taskDescriptionForSessionTasks())
                platform::NotificationCenter::defaultCenter().postOnMainQueue(name, *task);
        };
    };
    auto& center = platform::NotificationCenter::defaultCenter();
    resumeObserver_ =
        center.addObserver(kSessionTaskDidResumeHookNotification, relay(kTaskDidResumeNotification));
    suspendObserver_ =
        center.addObserver(kSessionTaskDidSuspendHookNotification, relay(kTaskDidSuspendNotification));
}

URLSessionManager::~URLSessionManager() {
    auto& center = platform::NotificationCenter::defaultCenter();
    center.removeObserver(resumeObserver_);
    center.removeObserver(suspendObserver_);
}

std::string URLSessionManager::taskDescriptionForSessionTasks() const {
    return fmt::format("{}", static_cast<const void*>(this));
}

std::shared_ptr<HTTPResponseSerializer> URLSessionManager::responseSerializer() const {
    std::lock_guard lock(mutex_);
    return responseSerializer_;
}

void URLSessionManager::setResponseSerializer(std::shared_ptr<HTTPResponseSerializer> serializer) {
    require(serializer != nullptr, "responseSerializer");
    std::lock_guard lock(mutex_);
    responseSerializer_ = std::move(serializer);
}

std::shared_ptr<URLSessionManager::TaskDelegate>
URLSessionManager::addDelegate(const std::shared_ptr<URLSessionTask>& task, CompletionHandler completion) {
    require(task != nullptr, "task");
    auto td = std::make_shared<TaskDelegate>();
    td->completion = std::move(completion);
    task->setTaskDescription(taskDescriptionForSessionTasks());
    std::lock_guard lock(mutex_);
    delegates_[task->taskIdentifier()] = td;
    return td;
}

std::shared_ptr<URLSessionManager::TaskDelegate>
URLSessionManager::delegateForTask(const URLSessionTask& task) const {
    std::lock_guard lock(mutex_);
    auto it = delegates_.find(task.taskIdentifier());
    return it == delegates_.end() ? nullptr : it->second;
}

void URLSessionManager::removeDelegateForTask(const URLSessionTask& task) {
    std::lock_guard lock(mutex_);
    delegates_.erase(task.taskIdentifier());
}

std::shared_ptr<URLSessionTask> URLSessionManager::dataTaskWithRequest(const URLRequest& request,
                                                                       CompletionHandler completion) {
    auto task = session_->dataTask(request);
    addDelegate(task, std::move(completion));
    return task;
}

namespace {
void handOut(const std::shared_ptr<Progress>& p, std::shared_ptr<Progress>* out) {
    if (out)
        *out = p;
}
} // namespace

std::shared_ptr<URLSessionTask> URLSessionManager::uploadTaskWithRequest(const URLRequest& request,
                                                                         const URL& fromFile,
                                                                         std::shared_ptr<Progress>* progress,
                                                                         CompletionHandler completion) {
    auto task = session_->uploadTask(request, fromFile);
    auto td = addDelegate(task, std::move(completion));
    td->uploadProgress->totalUnitCount = task->countOfBytesExpectedToSend();
    handOut(td->uploadProgress, progress);
    return task;
}

std::shared_ptr<URLSessionTask> URLSessionManager::uploadTaskWithRequest(const URLRequest& request,
                                                                         Bytes body,
                                                                         std::shared_ptr<Progress>* progress,
                                                                         CompletionHandler completion) {
    auto task = session_->uploadTask(request, std::move(body));
    auto td = addDelegate(task, std::move(completion));
    td->uploadProgress->totalUnitCount = task->countOfBytesExpectedToSend();
    handOut(td->uploadProgress, progress);
    return task;
}

std::shared_ptr<URLSessionTask> URLSessionManager::uploadTaskWithStreamedRequest(
    const URLRequest& request, std::shared_ptr<Progress>* progress, CompletionHandler completion) {
    auto task = session_->uploadTaskWithStreamedRequest(request);
    auto td = addDelegate(task, std::move(completion));
    if (auto cl = request.headers.value("Content-Length"))
        td->uploadProgress->totalUnitCount = std::atoll(cl->c_str());
    handOut(td->uploadProgress, progress);
    return task;
}

std::shared_ptr<URLSessionTask>
URLSessionManager::downloadTaskWithRequest(const URLRequest& request, std::shared_ptr<Progress>* progress,
                                           Destination destination, CompletionHandler completion) {
    auto task = session_->downloadTask(request);
    auto td = addDelegate(task, std::move(completion));
    td->destination = std::move(destination);
    handOut(td->downloadProgress, progress);
    return task;
}

std::shared_ptr<Progress>
URLSessionManager::uploadProgressForTask(const std::shared_ptr<URLSessionTask>& task) const {
    auto td = delegateForTask(*task);
    return td ? td->uploadProgress : nullptr;
}

std::shared_ptr<Progress>
URLSessionManager::downloadProgressForTask(const std::shared_ptr<URLSessionTask>& task) const {
    auto td = delegateForTask(*task);
    return td ? td->downloadProgress : nullptr;
}

void URLSessionManager::invalidateSessionCancelingTasks(bool cancelPendingTasks) {
    auto session = session_;
    platform::MainQueue::async([session, cancelPendingTasks] {
        if (cancelPendingTasks)
            session->invalidateAndCancel();
        else
            session->finishTasksAndInvalidate();
    });
}

// ---- HTTP

std::shared_ptr<HTTPSessionManager> HTTPSessionManager::create(std::optional<URL> baseURL,
                                                               URLSessionConfiguration configuration) {
    auto m = std::shared_ptr<HTTPSessionManager>(new HTTPSessionManager());
    m->setUp(std::move(configuration));
    if (baseURL)
        m->baseURL_ = normalizedBaseURL(*baseURL);
    return m;
}

void HTTPSessionManager::setRequestSerializer(std::shared_ptr<HTTPRequestSerializer> serializer) {
    require(serializer != nullptr, "requestSerializer");
    requestSerializer_ = std::move(serializer);
}

URLSessionManager::CompletionHandler
HTTPSessionManager::dispatchTo(std::shared_ptr<std::weak_ptr<URLSessionTask>> task, Success success,
                               Failure failure) {
    return [task, success, failure](std::shared_ptr<const HTTPURLResponse>, const ResponseObject& object,
                                    const std::optional<Error>& error) {
        auto t = task->lock();
        if (error) {
            if (failure)
                failure(t, *error);
        } else if (success)
            success(t, object);
    };
}

std::shared_ptr<URLSessionTask>
HTTPSessionManager::dataTaskWithHTTPMethod(std::string_view method, std::string_view URLString,
                                           const std::optional<Parameters>& parameters, Success success,
                                           Failure failure) {
    auto text = resolveAgainstBase(URLString, baseURL_);
    require(text.has_value(), "url");
    Error error;
    auto request = requestSerializer_->requestWithMethod(method, *text, parameters, &error);
    if (!request) {
        if (failure)
            completionQueue.value_or(DispatchQueue::main()).async([failure, error] {
                failure(nullptr, error);
            });
        return nullptr;
    }
    auto slot = std::make_shared<std::weak_ptr<URLSessionTask>>();
    auto task = dataTaskWithRequest(*request, dispatchTo(slot, std::move(success), std::move(failure)));
    *slot = task;
    return task;
}

std::shared_ptr<URLSessionTask> HTTPSessionManager::resumed(std::shared_ptr<URLSessionTask> task) {
    if (task)
        task->resume();
    return task;
}

std::shared_ptr<URLSessionTask>
HTTPSessionManager::GET(std::string_view u, const std::optional<Parameters>& p, Success s, Failure f) {
    return resumed(dataTaskWithHTTPMethod("GET", u, p, std::move(s), std::move(f)));
}

std::shared_ptr<URLSessionTask>
HTTPSessionManager::HEAD(std::string_view u, const std::optional<Parameters>& p,
                         std::function<void(const std::shared_ptr<URLSessionTask>&)> s, Failure f) {
    Success wrapped = [s](const std::shared_ptr<URLSessionTask>& t, const ResponseObject&) {
        if (s)
            s(t);
    };
    return resumed(dataTaskWithHTTPMethod("HEAD", u, p, wrapped, std::move(f)));
}

std::shared_ptr<URLSessionTask>
HTTPSessionManager::POST(std::string_view u, const std::optional<Parameters>& p, Success s, Failure f) {
    return resumed(dataTaskWithHTTPMethod("POST", u, p, std::move(s), std::move(f)));
}

std::shared_ptr<URLSessionTask> HTTPSessionManager::POST(std::string_view u,
                                                         const std::optional<Parameters>& p,
                                                         const std::function<void(MultipartFormData&)>& block,
                                                         Success s, Failure f) {
    auto text = resolveAgainstBase(u, baseURL_);
    require(text.has_value(), "url");
    Error error;
    auto request = requestSerializer_->multipartFormRequestWithMethod("POST", *text, p, block, &error);
    if (!request) {
        if (f)
            completionQueue.value_or(DispatchQueue::main()).async([f, error] { f(nullptr, error); });
        return nullptr;
    }
    auto slot = std::make_shared<std::weak_ptr<URLSessionTask>>();
    auto task =
        uploadTaskWithStreamedRequest(*request, nullptr, dispatchTo(slot, std::move(s), std::move(f)));
    *slot = task;
    return resumed(task);
}

std::shared_ptr<URLSessionTask>
HTTPSessionManager::PUT(std::string_view u, const std::optional<Parameters>& p, Success s, Failure f) {
    return resumed(dataTaskWithHTTPMethod("PUT", u, p, std::move(s), std::move(f)));
}

std::shared_ptr<URLSessionTask>
HTTPSessionManager::PATCH(std::string_view u, const std::optional<Parameters>& p, Success s, Failure f) {
    return resumed(dataTaskWithHTTPMethod("PATCH", u, p, std::move(s), std::move(f)));
}

std::shared_ptr<URLSessionTask>
HTTPSessionManager::DELETE(std::string_view u, const std::optional<Parameters>& p, Success s, Failure f) {
    return resumed(dataTaskWithHTTPMethod("DELETE", u, p, std::move(s), std::move(f)));
}

} // namespace tc::http
