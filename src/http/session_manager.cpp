#include "http/session_manager.h"
#include "platform/strict_integer.h"

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

struct URLSessionManager::Blocks {
    std::function<void(const SessionPtr&, const std::optional<Error>&)> sessionDidBecomeInvalid;
    SessionChallengeBlock sessionDidReceiveAuthenticationChallenge;
    std::function<void(const SessionPtr&)> didFinishEventsForBackgroundURLSession;
    std::function<std::optional<URLRequest>(const TaskPtr&, const HTTPURLResponse&, const URLRequest&)>
        taskWillPerformHTTPRedirection;
    TaskChallengeBlock taskDidReceiveAuthenticationChallenge;
    std::function<std::shared_ptr<InputStream>(const TaskPtr&)> taskNeedNewBodyStream;
    std::function<void(const TaskPtr&, std::int64_t, std::int64_t, std::int64_t)> taskDidSendBodyData;
    std::function<void(const TaskPtr&, const std::optional<Error>&)> taskDidComplete;
    std::function<ResponseDisposition(const TaskPtr&, const HTTPURLResponse&)> dataTaskDidReceiveResponse;
    std::function<void(const TaskPtr&, const TaskPtr&)> dataTaskDidBecomeDownloadTask;
    std::function<void(const TaskPtr&, const Bytes&)> dataTaskDidReceiveData;
    std::function<std::optional<CachedURLResponse>(const TaskPtr&, const CachedURLResponse&)>
        dataTaskWillCacheResponse;
    std::function<std::optional<URL>(const TaskPtr&, const URL&)> downloadTaskDidFinishDownloading;
    std::function<void(const TaskPtr&, std::int64_t, std::int64_t, std::int64_t)> downloadTaskDidWriteData;
    std::function<void(const TaskPtr&, std::int64_t, std::int64_t)> downloadTaskDidResume;
};

template <typename F>
void URLSessionManager::setBlock(F Blocks::*field, F block) {
    std::lock_guard lock(mutex_);
    (*blocks_).*field = std::move(block);
}

template <typename F>
F URLSessionManager::block(F Blocks::*field) const {
    std::lock_guard lock(mutex_);
    return (*blocks_).*field;
}

namespace {

std::int64_t contentLength(const URLRequest& request) {
    if (auto cl = request.headers.value("Content-Length")) {
        if (const auto n = platform::strictInteger<std::int64_t>(*cl); n && *n >= 0)
            return *n;
    }
    return -1;
}

// What an upload will send: the session's count, else the request's Content-Length (-1 when unknown).
std::int64_t expectedToSend(const URLSessionTask& task) {
    auto expected = task.countOfBytesExpectedToSend();
    return expected >= 0 ? expected : contentLength(task.originalRequest());
}

} // namespace

struct URLSessionManager::SessionDelegate final : URLSessionDelegate {
    std::weak_ptr<URLSessionManager> manager;

    bool didReceiveServerTrustChallenge(const std::shared_ptr<URLSessionTask>&,
                                        const ServerTrust& trust) override {
        auto m = manager.lock();
        if (!m)
            return false;
        auto policy = m->securityPolicy;
        auto byPolicy = [&] { return policy && policy->evaluateServerTrust(trust, trust.host()); };
        auto answer = m->block(&Blocks::sessionDidReceiveAuthenticationChallenge);
        if (!answer)
            return byPolicy();
        URLAuthenticationChallenge challenge;
        challenge.authenticationMethod = URLAuthenticationChallenge::Method::ServerTrust;
        challenge.protocol = "https";
        challenge.host = trust.host();
        challenge.serverTrust = &trust;
        std::optional<URLCredential> credential;
        switch (answer(m->session_, challenge, credential)) {
        case ChallengeDisposition::UseCredential:
            return byPolicy(); // the block cannot vouch for a chain the policy refuses
        case ChallengeDisposition::PerformDefaultHandling:
            return SecurityPolicy::defaultPolicy()->evaluateServerTrust(trust, trust.host());
        case ChallengeDisposition::CancelChallenge:
            return false;
        }
        return false;
    }
    ChallengeDisposition
    didReceiveHTTPAuthenticationChallenge(const std::shared_ptr<URLSessionTask>& task,
                                          const HTTPAuthenticationChallenge& http,
                                          std::optional<URLCredential>& credential) override {
        auto m = manager.lock();
        auto answer = m ? m->block(&Blocks::taskDidReceiveAuthenticationChallenge) : nullptr;
        if (!answer)
            return ChallengeDisposition::PerformDefaultHandling;
        URLAuthenticationChallenge challenge;
        challenge.authenticationMethod = URLAuthenticationChallenge::Method::HTTPBasic;
        challenge.protocol = http.protocol;
        challenge.host = http.host;
        challenge.port = http.port;
        challenge.realm = http.realm;
        challenge.previousFailureCount = http.previousFailureCount;
        challenge.failureResponse = http.failureResponse;
        return answer(task, challenge, credential);
    }
    std::shared_ptr<InputStream> needNewBodyStream(const std::shared_ptr<URLSessionTask>& task) override {
        auto m = manager.lock();
        if (auto b = m ? m->block(&Blocks::taskNeedNewBodyStream) : nullptr)
            return b(task);
        return URLSessionDelegate::needNewBodyStream(task);
    }
    std::optional<URLRequest> willPerformHTTPRedirection(const std::shared_ptr<URLSessionTask>& task,
                                                         const HTTPURLResponse& response,
                                                         const URLRequest& request) override {
        auto m = manager.lock();
        if (auto b = m ? m->block(&Blocks::taskWillPerformHTTPRedirection) : nullptr)
            return b(task, response, request);
        return request;
    }
    void didSendBodyData(const std::shared_ptr<URLSessionTask>& task, std::int64_t sent, std::int64_t total,
                         std::int64_t expected) override {
        auto m = manager.lock();
        if (!m)
            return;
        if (expected < 0)
            expected = contentLength(task->originalRequest());
        if (auto td = m->delegateForTask(*task)) {
            td->uploadProgress->totalUnitCount = expected;
            td->uploadProgress->completedUnitCount = total;
        }
        if (auto b = m->block(&Blocks::taskDidSendBodyData))
            b(task, sent, total, expected);
    }
    bool decidesResponseDisposition() const override {
        auto m = manager.lock();
        return m && m->respondsTo(OptionalCallback::DataTaskDidReceiveResponse);
    }
    ResponseDisposition didReceiveResponse(const std::shared_ptr<URLSessionTask>& task,
                                           const HTTPURLResponse& response) override {
        auto m = manager.lock();
        if (task->kind() != URLSessionTask::Kind::Data)
            return ResponseDisposition::Allow;
        if (auto b = m ? m->block(&Blocks::dataTaskDidReceiveResponse) : nullptr)
            return b(task, response);
        return ResponseDisposition::Allow;
    }
    void didBecomeDownloadTask(const std::shared_ptr<URLSessionTask>& dataTask,
                               const std::shared_ptr<URLSessionTask>& downloadTask) override {
        auto m = manager.lock();
        if (!m)
            return;
        if (auto td = m->delegateForTask(*dataTask)) {
            m->removeDelegateForTask(*dataTask);
            std::lock_guard lock(m->mutex_);
            m->delegates_[downloadTask->taskIdentifier()] = td;
        }
        if (auto b = m->block(&Blocks::dataTaskDidBecomeDownloadTask))
            b(dataTask, downloadTask);
    }
    void didReceiveData(const std::shared_ptr<URLSessionTask>& task, const Bytes& bytes) override {
        auto m = manager.lock();
        if (!m)
            return;
        if (auto td = m->delegateForTask(*task))
            td->data.insert(td->data.end(), bytes.begin(), bytes.end());
        if (auto b = m->block(&Blocks::dataTaskDidReceiveData))
            b(task, bytes);
    }
    std::optional<CachedURLResponse> willCacheResponse(const std::shared_ptr<URLSessionTask>& task,
                                                       CachedURLResponse proposed) override {
        auto m = manager.lock();
        if (auto b = m ? m->block(&Blocks::dataTaskWillCacheResponse) : nullptr)
            return b(task, proposed);
        return proposed;
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
        if (auto b = m->block(&Blocks::downloadTaskDidWriteData))
            b(task, written, total, expected);
    }
    void didResumeAtOffset(const std::shared_ptr<URLSessionTask>& task, std::int64_t offset,
                           std::int64_t expected) override {
        auto m = manager.lock();
        if (!m)
            return;
        if (auto td = m->delegateForTask(*task)) {
            td->downloadProgress->totalUnitCount = expected;
            td->downloadProgress->completedUnitCount = offset;
        }
        if (auto b = m->block(&Blocks::downloadTaskDidResume))
            b(task, offset, expected);
    }
    void didFinishDownloadingToURL(const std::shared_ptr<URLSessionTask>& task,
                                   const URL& temporary) override {
        auto m = manager.lock();
        if (!m)
            return;
        auto td = m->delegateForTask(*task);
        std::optional<URL> target;
        if (auto b = m->block(&Blocks::downloadTaskDidFinishDownloading))
            target = b(task, temporary);
        // A manager block that names no place leaves the file to the task's own destination.
        if (!target && td && td->destination) {
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
        if (auto b = m->block(&Blocks::taskDidComplete))
            b(task, error);
    }
    void didFinishEventsForBackgroundURLSession() override {
        auto m = manager.lock();
        auto b = m ? m->block(&Blocks::didFinishEventsForBackgroundURLSession) : nullptr;
        if (b)
            platform::MainQueue::async([b, session = m->session_] { b(session); });
    }
    void didBecomeInvalid(const std::optional<Error>& error) override {
        auto m = manager.lock();
        if (!m)
            return;
        if (auto b = m->block(&Blocks::sessionDidBecomeInvalid))
            b(m->session_, error);
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
    blocks_ = std::make_shared<Blocks>();
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

std::shared_ptr<URLSessionManager> URLSessionManager::makeCopy() const {
    return create(session_->configuration());
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
    td->uploadProgress->totalUnitCount = expectedToSend(*task);
    handOut(td->uploadProgress, progress);
    return task;
}

std::shared_ptr<URLSessionTask> URLSessionManager::uploadTaskWithRequest(const URLRequest& request,
                                                                         Bytes body,
                                                                         std::shared_ptr<Progress>* progress,
                                                                         CompletionHandler completion) {
    auto task = session_->uploadTask(request, std::move(body));
    auto td = addDelegate(task, std::move(completion));
    td->uploadProgress->totalUnitCount = expectedToSend(*task);
    handOut(td->uploadProgress, progress);
    return task;
}

std::shared_ptr<URLSessionTask> URLSessionManager::uploadTaskWithStreamedRequest(
    const URLRequest& request, std::shared_ptr<Progress>* progress, CompletionHandler completion) {
    auto task = session_->uploadTaskWithStreamedRequest(request);
    auto td = addDelegate(task, std::move(completion));
    if (auto length = contentLength(request); length >= 0)
        td->uploadProgress->totalUnitCount = length;
    handOut(td->uploadProgress, progress);
    return task;
}

std::shared_ptr<URLSessionManager::TaskDelegate>
URLSessionManager::addDownloadDelegate(const std::shared_ptr<URLSessionTask>& task,
                                       std::shared_ptr<Progress>* progress, Destination destination,
                                       CompletionHandler completion) {
    auto td = addDelegate(task, std::move(completion));
    td->destination = std::move(destination);
    handOut(td->downloadProgress, progress);
    return td;
}

std::shared_ptr<URLSessionTask>
URLSessionManager::downloadTaskWithRequest(const URLRequest& request, std::shared_ptr<Progress>* progress,
                                           Destination destination, CompletionHandler completion) {
    auto task = session_->downloadTask(request);
    addDownloadDelegate(task, progress, std::move(destination), std::move(completion));
    return task;
}

std::shared_ptr<URLSessionTask>
URLSessionManager::downloadTaskWithResumeData(const Bytes& resumeData, std::shared_ptr<Progress>* progress,
                                              Destination destination, CompletionHandler completion) {
    auto task = session_->downloadTaskWithResumeData(resumeData);
    addDownloadDelegate(task, progress, std::move(destination), std::move(completion));
    return task;
}

std::vector<std::shared_ptr<URLSessionTask>> URLSessionManager::tasks() const {
    auto lists = session_->getTasks();
    auto out = std::move(lists.data);
    out.insert(out.end(), lists.upload.begin(), lists.upload.end());
    out.insert(out.end(), lists.download.begin(), lists.download.end());
    return out;
}

std::string URLSessionManager::description() const {
    return fmt::format("<URLSessionManager: {}, session: {}, operationQueue: {}>",
                       static_cast<const void*>(this), static_cast<const void*>(session_.get()),
                       static_cast<const void*>(session_->delegateQueue().get()));
}

bool URLSessionManager::respondsTo(OptionalCallback callback) const {
    std::lock_guard lock(mutex_);
    switch (callback) {
    case OptionalCallback::TaskWillPerformHTTPRedirection:
        return static_cast<bool>(blocks_->taskWillPerformHTTPRedirection);
    case OptionalCallback::DataTaskDidReceiveResponse:
        return static_cast<bool>(blocks_->dataTaskDidReceiveResponse);
    case OptionalCallback::DataTaskWillCacheResponse:
        return static_cast<bool>(blocks_->dataTaskWillCacheResponse);
    case OptionalCallback::DidFinishEventsForBackgroundURLSession:
        return static_cast<bool>(blocks_->didFinishEventsForBackgroundURLSession);
    }
    return false;
}

void URLSessionManager::setSessionDidBecomeInvalidBlock(
    std::function<void(const SessionPtr&, const std::optional<Error>&)> b) {
    setBlock(&Blocks::sessionDidBecomeInvalid, std::move(b));
}
void URLSessionManager::setSessionDidReceiveAuthenticationChallengeBlock(SessionChallengeBlock b) {
    setBlock(&Blocks::sessionDidReceiveAuthenticationChallenge, std::move(b));
}
void URLSessionManager::setDidFinishEventsForBackgroundURLSessionBlock(
    std::function<void(const SessionPtr&)> b) {
    setBlock(&Blocks::didFinishEventsForBackgroundURLSession, std::move(b));
}
void URLSessionManager::setTaskWillPerformHTTPRedirectionBlock(
    std::function<std::optional<URLRequest>(const TaskPtr&, const HTTPURLResponse&, const URLRequest&)> b) {
    setBlock(&Blocks::taskWillPerformHTTPRedirection, std::move(b));
}
void URLSessionManager::setTaskDidReceiveAuthenticationChallengeBlock(TaskChallengeBlock b) {
    setBlock(&Blocks::taskDidReceiveAuthenticationChallenge, std::move(b));
}
void URLSessionManager::setTaskNeedNewBodyStreamBlock(
    std::function<std::shared_ptr<InputStream>(const TaskPtr&)> b) {
    setBlock(&Blocks::taskNeedNewBodyStream, std::move(b));
}
void URLSessionManager::setTaskDidSendBodyDataBlock(
    std::function<void(const TaskPtr&, std::int64_t, std::int64_t, std::int64_t)> b) {
    setBlock(&Blocks::taskDidSendBodyData, std::move(b));
}
void URLSessionManager::setTaskDidCompleteBlock(
    std::function<void(const TaskPtr&, const std::optional<Error>&)> b) {
    setBlock(&Blocks::taskDidComplete, std::move(b));
}
void URLSessionManager::setDataTaskDidReceiveResponseBlock(
    std::function<ResponseDisposition(const TaskPtr&, const HTTPURLResponse&)> b) {
    setBlock(&Blocks::dataTaskDidReceiveResponse, std::move(b));
}
void URLSessionManager::setDataTaskDidBecomeDownloadTaskBlock(
    std::function<void(const TaskPtr&, const TaskPtr&)> b) {
    setBlock(&Blocks::dataTaskDidBecomeDownloadTask, std::move(b));
}
void URLSessionManager::setDataTaskDidReceiveDataBlock(std::function<void(const TaskPtr&, const Bytes&)> b) {
    setBlock(&Blocks::dataTaskDidReceiveData, std::move(b));
}
void URLSessionManager::setDataTaskWillCacheResponseBlock(
    std::function<std::optional<CachedURLResponse>(const TaskPtr&, const CachedURLResponse&)> b) {
    setBlock(&Blocks::dataTaskWillCacheResponse, std::move(b));
}
void URLSessionManager::setDownloadTaskDidFinishDownloadingBlock(
    std::function<std::optional<URL>(const TaskPtr&, const URL&)> b) {
    setBlock(&Blocks::downloadTaskDidFinishDownloading, std::move(b));
}
void URLSessionManager::setDownloadTaskDidWriteDataBlock(
    std::function<void(const TaskPtr&, std::int64_t, std::int64_t, std::int64_t)> b) {
    setBlock(&Blocks::downloadTaskDidWriteData, std::move(b));
}
void URLSessionManager::setDownloadTaskDidResumeBlock(
    std::function<void(const TaskPtr&, std::int64_t, std::int64_t)> b) {
    setBlock(&Blocks::downloadTaskDidResume, std::move(b));
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

std::shared_ptr<URLSessionManager> HTTPSessionManager::makeCopy() const {
    auto m = create(baseURL_, session()->configuration());
    m->setRequestSerializer(requestSerializer_->copy());
    m->setResponseSerializer(responseSerializer()->copy());
    m->securityPolicy = securityPolicy ? securityPolicy->copy() : nullptr;
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
