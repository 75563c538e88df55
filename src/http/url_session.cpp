#include "http/url_session.h"

#include <fmt/format.h>
#include <unistd.h>

namespace tc::http {

// One task's connection events, handed to the session's delegate queue.
struct URLSessionTask::Adaptor final : URLConnectionDelegate {
    std::shared_ptr<URLSessionTask> task;
    std::shared_ptr<URLSession> session;
    std::uint64_t received = 0;
    std::shared_ptr<FileOutputStream> file;
    std::filesystem::path filePath;

    void post(std::function<void(URLSessionDelegate&)> work) {
        auto s = session;
        s->delegateQueue()->async([s, work = std::move(work)] { work(*s->delegate_); });
    }
    void fail(Error e) {
        e.failingURL = task->original_.url.absoluteString();
        std::lock_guard lock(task->mutex_);
        if (task->connection_)
            task->connection_->failWithError(std::move(e));
    }
    std::optional<URLRequest> willSendRequest(const URLRequest& request,
                                              const HTTPURLResponse& redirect) override {
        return session->delegate_->willPerformHTTPRedirection(task, redirect, request);
    }
    bool didReceiveServerTrustChallenge(const ServerTrust& trust) override {
        return session->delegate_->didReceiveServerTrustChallenge(task, trust);
    }
    void didReceiveResponse(std::shared_ptr<const HTTPURLResponse> response) override {
        {
            std::lock_guard lock(task->mutex_);
            task->response_ = response;
        }
        if (task->kind_ == Kind::Download) {
            filePath = session->configuration().temporaryDirectory /
                       fmt::format("tc-download-{}-{}-{}.tmp", ::getpid(),
                                   static_cast<const void*>(session.get()), task->identifier_);
            file = std::make_shared<FileOutputStream>(filePath, false);
            file->open();
            if (auto e = file->streamError())
                return fail(*e);
        }
        auto t = task;
        post([t, response](URLSessionDelegate& d) { d.didReceiveResponse(t, *response); });
    }
    void didReceiveData(const std::uint8_t* data, std::size_t length) override {
        received += length;
        const auto& config = session->configuration();
        std::uint64_t cap =
            task->kind_ == Kind::Download ? config.maximumDownloadBytes : config.maximumResponseBytes;
        if (received > cap)
            return fail(
                Error::make(kURLErrorDomain, urlerror::kDataLengthExceedsMaximum,
                            fmt::format("The response body is larger than the limit of {} bytes.", cap)));
        auto t = task;
        if (task->kind_ == Kind::Download) {
            if (auto e = writeFully(*file, data, length))
                return fail(*e);
            std::int64_t total = static_cast<std::int64_t>(received);
            std::int64_t expected = task->response() ? task->response()->expectedContentLength() : -1;
            post([t, length, total, expected](URLSessionDelegate& d) {
                d.didWriteData(t, static_cast<std::int64_t>(length), total, expected);
            });
            return;
        }
        Bytes bytes(data, data + length);
        post([t, bytes = std::move(bytes)](URLSessionDelegate& d) { d.didReceiveData(t, bytes); });
    }
    void didSendBodyData(std::int64_t sent, std::int64_t total, std::int64_t expected) override {
        auto t = task;
        post([t, sent, total, expected](URLSessionDelegate& d) {
            d.didSendBodyData(t, sent, total, expected);
        });
    }
    void complete(std::optional<Error> error) {
        if (file)
            file->close();
        {
            std::lock_guard lock(task->mutex_);
            task->state_ = State::Completed;
            task->connection_.reset();
        }
        auto t = task;
        auto s = session;
        auto path = filePath;
        bool downloaded = file && !error;
        post([t, s, error, path, downloaded](URLSessionDelegate& d) {
            if (downloaded)
                d.didFinishDownloadingToURL(t, URL::fileURL(path.string()));
            d.didCompleteWithError(t, error);
            std::error_code ec;
            if (!path.empty())
                std::filesystem::remove(path, ec); // what the delegate did not move away
            s->taskEnded(t);
        });
    }
    void didFinishLoading() override { complete(std::nullopt); }
    void didFailWithError(const Error& error) override { complete(error); }
};

URLSessionTask::URLSessionTask(std::weak_ptr<URLSession> session, unsigned id, Kind kind, URLRequest request)
    : session_(std::move(session)), identifier_(id), kind_(kind), original_(std::move(request)) {}

URLSessionTask::State URLSessionTask::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::shared_ptr<const HTTPURLResponse> URLSessionTask::response() const {
    std::lock_guard lock(mutex_);
    return response_;
}

std::string URLSessionTask::taskDescription() const {
    std::lock_guard lock(mutex_);
    return description_;
}

void URLSessionTask::setTaskDescription(std::string text) {
    std::lock_guard lock(mutex_);
    description_ = std::move(text);
}

// The hook in place of the platform's resume and suspend: every change into running or suspended is
// announced, so that session managers can tell their own tasks' owners.
void URLSessionTask::resume() {
    std::shared_ptr<URLConnection> connection;
    bool start = false;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Suspended)
            return;
        state_ = State::Running;
        start = !started_;
        started_ = true;
        connection = connection_;
    }
    if (start) {
        if (auto s = session_.lock())
            s->startTask(shared_from_this());
    } else if (connection)
        connection->resume();
    platform::NotificationCenter::defaultCenter().post(kSessionTaskDidResumeHookNotification,
                                                       shared_from_this());
}

void URLSessionTask::suspend() {
    std::shared_ptr<URLConnection> connection;
    {
        std::lock_guard lock(mutex_);
        if (state_ != State::Running)
            return;
        state_ = State::Suspended;
        connection = connection_;
    }
    if (connection)
        connection->suspend();
    platform::NotificationCenter::defaultCenter().post(kSessionTaskDidSuspendHookNotification,
                                                       shared_from_this());
}

void URLSessionTask::cancel() {
    std::shared_ptr<URLConnection> connection;
    bool wasStarted;
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Canceling || state_ == State::Completed)
            return;
        state_ = State::Canceling;
        connection = connection_;
        connection_.reset();
        wasStarted = started_;
    }
    if (connection)
        connection->cancel();
    auto s = session_.lock();
    if (!s)
        return;
    Error e = Error::make(kURLErrorDomain, urlerror::kCancelled, "cancelled");
    e.failingURL = original_.url.absoluteString();
    auto t = shared_from_this();
    (void)wasStarted;
    s->delegateQueue()->async([s, t, e] {
        {
            std::lock_guard lock(t->mutex_);
            t->state_ = State::Completed;
        }
        s->delegate_->didCompleteWithError(t, e);
        s->taskEnded(t);
    });
}

// ---- the session

std::shared_ptr<URLSession> URLSession::create(URLSessionConfiguration configuration,
                                               std::shared_ptr<URLSessionDelegate> delegate,
                                               std::shared_ptr<platform::SerialQueue> delegateQueue) {
    require(delegate != nullptr, "delegate");
    auto s = std::shared_ptr<URLSession>(new URLSession());
    s->configuration_ = std::move(configuration);
    s->delegate_ = std::move(delegate);
    s->delegateQueue_ = delegateQueue
                            ? std::move(delegateQueue)
                            : std::make_shared<platform::SerialQueue>("com.tradeclient.networking.session");
    return s;
}

std::shared_ptr<URLSessionTask> URLSession::make(URLSessionTask::Kind kind, URLRequest request) {
    for (const auto& [name, value] : configuration_.HTTPAdditionalHeaders)
        if (!request.headers.contains(name))
            request.headers.set(name, value);
    std::lock_guard lock(mutex_);
    require(!invalidating_, "the session is not invalidated");
    auto task = std::shared_ptr<URLSessionTask>(
        new URLSessionTask(weak_from_this(), nextId_++, kind, std::move(request)));
    tasks_[task->identifier_] = task;
    return task;
}

std::shared_ptr<URLSessionTask> URLSession::dataTask(const URLRequest& request) {
    return make(URLSessionTask::Kind::Data, request);
}

std::shared_ptr<URLSessionTask> URLSession::uploadTask(const URLRequest& request, const URL& fromFile) {
    URLRequest r = request;
    r.httpBody.reset();
    r.httpBodyStream = std::make_shared<FileInputStream>(fromFile.filePath());
    std::error_code ec;
    auto size = std::filesystem::file_size(fromFile.filePath(), ec);
    auto task = make(URLSessionTask::Kind::Upload, std::move(r));
    if (!ec) {
        task->expectedToSend_ = static_cast<std::int64_t>(size);
        task->original_.headers.set("Content-Length", std::to_string(size));
    }
    return task;
}

std::shared_ptr<URLSessionTask> URLSession::uploadTask(const URLRequest& request, Bytes body) {
    URLRequest r = request;
    r.httpBodyStream.reset();
    std::int64_t size = static_cast<std::int64_t>(body.size());
    r.httpBody = std::move(body);
    auto task = make(URLSessionTask::Kind::Upload, std::move(r));
    task->expectedToSend_ = size;
    return task;
}

std::shared_ptr<URLSessionTask> URLSession::uploadTaskWithStreamedRequest(const URLRequest& request) {
    return make(URLSessionTask::Kind::Upload, request); // the expected size is unknown to the session
}

std::shared_ptr<URLSessionTask> URLSession::downloadTask(const URLRequest& request) {
    return make(URLSessionTask::Kind::Download, request);
}

std::vector<std::shared_ptr<URLSessionTask>> URLSession::tasks() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<URLSessionTask>> out;
    for (const auto& [id, t] : tasks_)
        out.push_back(t);
    return out;
}

void URLSession::startTask(const std::shared_ptr<URLSessionTask>& task) {
    auto adaptor = std::make_shared<URLSessionTask::Adaptor>();
    adaptor->task = task;
    adaptor->session = shared_from_this();
    URLRequest request = task->original_;
    if (request.timeoutInterval == URLRequest().timeoutInterval)
        request.timeoutInterval = configuration_.timeoutIntervalForRequest;
    URLConnectionOptions options;
    options.shareConnections = false; // the delegate judges trust per task
    auto connection = URLConnection::create(request, adaptor, options);
    {
        std::lock_guard lock(task->mutex_);
        task->connection_ = connection;
    }
    connection->start();
}

void URLSession::taskEnded(const std::shared_ptr<URLSessionTask>& task) {
    bool invalidateNow = false;
    {
        std::lock_guard lock(mutex_);
        tasks_.erase(task->identifier_);
        invalidateNow = invalidating_ && tasks_.empty();
    }
    if (invalidateNow)
        delegate_->didBecomeInvalid(std::nullopt);
}

void URLSession::finishTasksAndInvalidate() {
    bool now;
    {
        std::lock_guard lock(mutex_);
        invalidating_ = true;
        now = tasks_.empty();
    }
    if (now) {
        auto self = shared_from_this();
        delegateQueue_->async([self] { self->delegate_->didBecomeInvalid(std::nullopt); });
    }
}

void URLSession::invalidateAndCancel() {
    auto live = tasks();
    finishTasksAndInvalidate();
    for (auto& t : live)
        t->cancel();
}

} // namespace tc::http
