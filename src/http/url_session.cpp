#include "http/url_session.h"

#include <fmt/format.h>

#include <charconv>
#include <unistd.h>

namespace tc::http {

namespace {

constexpr std::string_view kDownloadFilePrefix = "tc-download-";
constexpr std::string_view kDownloadFileSuffix = ".tmp";

// "bytes first-last/total": the first byte and the total (-1 when "*"); nullopt when malformed.
std::optional<std::pair<std::uint64_t, std::int64_t>> parseContentRange(std::string_view v) {
    if (!v.starts_with("bytes "))
        return std::nullopt;
    v.remove_prefix(6);
    std::uint64_t first = 0;
    auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), first);
    if (ec != std::errc() || p == v.data() + v.size() || *p != '-')
        return std::nullopt;
    auto slash = v.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    std::string_view total = v.substr(slash + 1);
    if (total == "*")
        return std::pair{first, std::int64_t{-1}};
    std::int64_t n = -1;
    auto [q, ec2] = std::from_chars(total.data(), total.data() + total.size(), n);
    if (ec2 != std::errc() || q != total.data() + total.size() || n < 0)
        return std::nullopt;
    return std::pair{first, n};
}

bool isIdentityEncoded(const HTTPURLResponse& response) {
    auto encoding = response.valueForHTTPHeaderField("Content-Encoding");
    return !encoding || encoding->empty() || equalsIgnoringCase(*encoding, "identity");
}

} // namespace

// One task's connection events, handed to the session's delegate queue. Its fields belong to the network
// thread.
struct URLSessionTask::Adaptor final : URLConnectionDelegate, std::enable_shared_from_this<Adaptor> {
    std::shared_ptr<URLSessionTask> task;
    std::shared_ptr<URLSession> session;
    std::uint64_t received = 0;
    std::uint64_t base = 0; // bytes of a resumed download kept from before
    std::shared_ptr<FileOutputStream> file;
    std::filesystem::path filePath;
    std::optional<DownloadResumeData> resume;
    bool awaitingDisposition = false;
    std::optional<Bytes> cacheBody; // kept for the configuration's cache while it fits
    std::size_t cacheLimit = 0;

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
    ChallengeDisposition
    didReceiveHTTPAuthenticationChallenge(const HTTPAuthenticationChallenge& challenge,
                                          std::optional<URLCredential>& credential) override {
        return session->delegate_->didReceiveHTTPAuthenticationChallenge(task, challenge, credential);
    }
    std::shared_ptr<InputStream> needNewBodyStream(const URLRequest&) override {
        return session->delegate_->needNewBodyStream(task);
    }
    bool openDownloadFile(const HTTPURLResponse& response) {
        bool append = false;
        if (resume) {
            filePath = resume->file;
            if (response.statusCode() == 206) {
                auto range =
                    parseContentRange(response.valueForHTTPHeaderField("Content-Range").value_or(""));
                if (!range || range->first != resume->offset) {
                    fail(Error::make(kURLErrorDomain, urlerror::kCannotResumeDownload,
                                     fmt::format("The download cannot be resumed: the server sent the body "
                                                 "from another place than byte {}.",
                                                 resume->offset)));
                    return false;
                }
                append = true;
                base = resume->offset;
            }
        } else
            filePath =
                session->configuration().temporaryDirectory /
                fmt::format("{}{}-{}-{}{}", kDownloadFilePrefix, ::getpid(),
                            static_cast<const void*>(session.get()), task->identifier_, kDownloadFileSuffix);
        file = std::make_shared<FileOutputStream>(filePath, append);
        file->open();
        if (auto e = file->streamError()) {
            fail(*e);
            return false;
        }
        return true;
    }
    std::int64_t expectedTotal(const HTTPURLResponse& response) const {
        auto length = response.expectedContentLength();
        if (response.statusCode() == 206)
            if (auto range =
                    parseContentRange(response.valueForHTTPHeaderField("Content-Range").value_or(""));
                range && range->second >= 0)
                return range->second;
        return length < 0 ? -1 : static_cast<std::int64_t>(base) + length;
    }
    void didReceiveResponse(std::shared_ptr<const HTTPURLResponse> response) override {
        {
            std::lock_guard lock(task->mutex_);
            task->response_ = response;
        }
        auto t = task;
        if (task->kind_ == Kind::Download) {
            if (!openDownloadFile(*response))
                return;
            if (resume) {
                auto offset = static_cast<std::int64_t>(base);
                auto expected = expectedTotal(*response);
                post([t, offset, expected](URLSessionDelegate& d) {
                    d.didResumeAtOffset(t, offset, expected);
                });
            }
            post([t, response](URLSessionDelegate& d) { d.didReceiveResponse(t, *response); });
            return;
        }
        const auto& cache = session->configuration().urlCache;
        if (cache && task->kind_ == Kind::Data && equalsIgnoringCase(task->original_.httpMethod, "GET") &&
            response->statusCode() == 200) {
            cacheBody.emplace();
            cacheLimit = cache->memoryCapacity() / 20; // one answer takes at most a twentieth
        }
        if (!session->delegate_->decidesResponseDisposition()) {
            post([t, response](URLSessionDelegate& d) { d.didReceiveResponse(t, *response); });
            return;
        }
        // The body waits for the owner's answer.
        awaitingDisposition = true;
        auto self = shared_from_this();
        post([self, t, response](URLSessionDelegate& d) {
            ResponseDisposition answer = d.didReceiveResponse(t, *response);
            NetworkThread::post([self, answer] { self->apply(answer); });
        });
    }
    void apply(ResponseDisposition answer) {
        auto state = task->state();
        if (state == State::Canceling || state == State::Completed)
            return;
        if (answer == ResponseDisposition::Cancel) {
            task->cancel();
            return;
        }
        if (answer == ResponseDisposition::BecomeDownload) {
            auto dataTask = task;
            auto response = dataTask->response();
            auto downloadTask = session->becomeDownload(dataTask);
            if (!downloadTask)
                return;
            task = downloadTask;
            cacheBody.reset();
            {
                std::lock_guard lock(downloadTask->mutex_);
                downloadTask->adaptor_ = weak_from_this();
            }
            post([dataTask, downloadTask](URLSessionDelegate& d) {
                d.didBecomeDownloadTask(dataTask, downloadTask);
            });
            if (!response || !openDownloadFile(*response))
                return;
        }
        awaitingDisposition = false;
        std::shared_ptr<URLConnection> connection;
        {
            std::lock_guard lock(task->mutex_);
            connection = task->connection_;
        }
        if (connection)
            connection->resumeReceiving();
    }
    bool shouldPauseReceiving() override { return awaitingDisposition; }
    void didReceiveData(const std::uint8_t* data, std::size_t length) override {
        received += length;
        const auto& config = session->configuration();
        std::uint64_t cap =
            task->kind_ == Kind::Download ? config.maximumDownloadBytes : config.maximumResponseBytes;
        if (base + received > cap)
            return fail(
                Error::make(kURLErrorDomain, urlerror::kDataLengthExceedsMaximum,
                            fmt::format("The response body is larger than the limit of {} bytes.", cap)));
        auto t = task;
        if (task->kind_ == Kind::Download) {
            if (auto e = writeFully(*file, data, length))
                return fail(*e);
            auto total = static_cast<std::int64_t>(base + received);
            auto response = task->response();
            std::int64_t expected = response ? expectedTotal(*response) : -1;
            post([t, length, total, expected](URLSessionDelegate& d) {
                d.didWriteData(t, static_cast<std::int64_t>(length), total, expected);
            });
            return;
        }
        if (cacheBody) {
            if (cacheBody->size() + length > cacheLimit)
                cacheBody.reset();
            else
                cacheBody->insert(cacheBody->end(), data, data + length);
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
    // Resume data for the download's closed file: nullopt unless the bytes can be asked for again.
    std::optional<Bytes> resumeData() const {
        auto response = task->response();
        const URLRequest& request = task->original_;
        if (task->kind_ != Kind::Download || !response ||
            (response->statusCode() != 200 && response->statusCode() != 206) ||
            !isIdentityEncoded(*response) || !equalsIgnoringCase(request.httpMethod, "GET") ||
            request.httpBody || request.httpBodyStream)
            return std::nullopt;
        DownloadResumeData r;
        r.url = request.url;
        r.file = filePath;
        r.offset = base + received;
        auto tag = response->valueForHTTPHeaderField("ETag").value_or("");
        if (tag.size() >= 2 && tag.front() == '"' && tag.back() == '"')
            r.entityTag = tag;
        r.lastModified = response->valueForHTTPHeaderField("Last-Modified").value_or("");
        r.headers = request.headers;
        r.headers.remove("Accept-Encoding");
        return r.encode();
    }
    // After a cancel (network thread): resume data for a download that can go on, else the file goes.
    std::optional<Bytes> stopFile(bool keep) {
        if (!file)
            return std::nullopt;
        file->close();
        file.reset();
        std::optional<Bytes> data = keep ? resumeData() : std::nullopt;
        if (!data) {
            std::error_code ec;
            std::filesystem::remove(filePath, ec);
        }
        return data;
    }
    void complete(std::optional<Error> error) {
        if (file)
            file->close();
        {
            std::lock_guard lock(task->mutex_);
            if (task->state_ == State::Canceling)
                return; // the cancel ends the task and deals with the file
            task->state_ = State::Completed;
            task->connection_.reset();
        }
        // A download the network broke off keeps its bytes for a later task.
        if (error && file && error->domain == kURLErrorDomain &&
            (error->code == urlerror::kNetworkConnectionLost || error->code == urlerror::kTimedOut))
            error->resumeData = resumeData();
        auto t = task;
        auto s = session;
        auto path = error && error->resumeData ? std::filesystem::path() : filePath;
        bool downloaded = file && !error;
        std::optional<Bytes> cached;
        if (!error && cacheBody)
            cached = std::move(cacheBody);
        post([t, s, error, path, downloaded, cached](URLSessionDelegate& d) {
            if (downloaded)
                d.didFinishDownloadingToURL(t, URL::fileURL(path.string()));
            if (cached)
                s->storeInCache(t, *cached);
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
    cancelTask(nullptr);
}

void URLSessionTask::cancelByProducingResumeData(std::function<void(std::optional<Bytes>)> handler) {
    cancelTask(handler ? std::move(handler) : [](std::optional<Bytes>) {});
}

void URLSessionTask::cancelTask(std::function<void(std::optional<Bytes>)> handler) {
    std::shared_ptr<URLConnection> connection;
    std::shared_ptr<Adaptor> adaptor;
    {
        std::lock_guard lock(mutex_);
        if (state_ == State::Canceling || state_ == State::Completed) {
            if (auto s = session_.lock(); s && handler)
                s->delegateQueue()->async([handler] { handler(std::nullopt); });
            return;
        }
        state_ = State::Canceling;
        connection = std::move(connection_);
        connection_.reset();
        adaptor = adaptor_.lock();
    }
    if (connection)
        connection->cancel();
    auto s = session_.lock();
    if (!s)
        return;
    Error e = Error::make(kURLErrorDomain, urlerror::kCancelled, "cancelled");
    e.failingURL = original_.url.absoluteString();
    auto t = shared_from_this();
    auto end = [s, t, e, handler](std::optional<Bytes> resumeData) {
        s->delegateQueue()->async([s, t, e, handler, resumeData] {
            {
                std::lock_guard lock(t->mutex_);
                t->state_ = State::Completed;
            }
            if (handler)
                handler(resumeData);
            s->delegate_->didCompleteWithError(t, e);
            s->taskEnded(t);
        });
    };
    if (!adaptor)
        return end(std::nullopt);
    // After the connection's cancel on the network thread, which owns the partial file.
    bool keep = handler != nullptr;
    NetworkThread::post([adaptor, keep, end] { end(adaptor->stopFile(keep)); });
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

std::shared_ptr<URLSessionTask> URLSession::downloadTaskWithResumeData(const Bytes& resumeData) {
    Error error;
    auto data = DownloadResumeData::decode(resumeData, &error);
    if (data) {
        // Only a partial file this session's kind wrote: resume data from elsewhere must not make the
        // download write into (and then move) an arbitrary file.
        auto name = data->file.filename().string();
        std::error_code ec;
        auto folder = std::filesystem::weakly_canonical(configuration_.temporaryDirectory, ec);
        auto parent = ec ? folder : std::filesystem::weakly_canonical(data->file.parent_path(), ec);
        if (ec || parent != folder || !name.starts_with(kDownloadFilePrefix) ||
            !name.ends_with(kDownloadFileSuffix) || data->offset > configuration_.maximumDownloadBytes) {
            error = Error::make(kURLErrorDomain, urlerror::kCannotResumeDownload,
                                "The download cannot be resumed: the resume data names a file that is not a "
                                "partial download of this session's temporary folder.");
            data.reset();
        }
    }
    URLRequest request;
    if (data) {
        request.url = data->url;
        request.headers = data->headers;
    }
    auto task = make(URLSessionTask::Kind::Download, std::move(request));
    if (data)
        task->resumeData_ = std::move(data);
    else
        task->startError_ = error;
    return task;
}

std::vector<std::shared_ptr<URLSessionTask>> URLSession::tasks() const {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<URLSessionTask>> out;
    for (const auto& [id, t] : tasks_)
        out.push_back(t);
    return out;
}

URLSession::TaskLists URLSession::getTasks() const {
    TaskLists lists;
    for (auto& t : tasks()) {
        switch (t->kind()) {
        case URLSessionTask::Kind::Data:
            lists.data.push_back(t);
            break;
        case URLSessionTask::Kind::Upload:
            lists.upload.push_back(t);
            break;
        case URLSessionTask::Kind::Download:
            lists.download.push_back(t);
            break;
        }
    }
    return lists;
}

void URLSession::startTask(const std::shared_ptr<URLSessionTask>& task) {
    if (task->startError_)
        return failBeforeStart(task, *task->startError_);
    auto adaptor = std::make_shared<URLSessionTask::Adaptor>();
    adaptor->task = task;
    adaptor->session = shared_from_this();
    URLRequest request = task->original_;
    if (request.timeoutInterval == URLRequest().timeoutInterval)
        request.timeoutInterval = configuration_.timeoutIntervalForRequest;
    URLConnectionOptions options;
    options.shareConnections = false; // the delegate judges trust per task
    if (const auto& resume = task->resumeData_) {
        std::error_code ec;
        auto status = std::filesystem::symlink_status(resume->file, ec);
        auto size = ec ? 0 : std::filesystem::file_size(resume->file, ec);
        if (ec || !std::filesystem::is_regular_file(status) || size < resume->offset)
            return failBeforeStart(
                task,
                Error::make(kURLErrorDomain, urlerror::kCannotResumeDownload,
                            "The download cannot be resumed: its partial file is missing or shorter than "
                            "the resume data says."));
        std::filesystem::resize_file(resume->file, resume->offset, ec);
        options.resumeOffset = resume->offset;
        options.ifRange = !resume->entityTag.empty() ? resume->entityTag : resume->lastModified;
        request.headers.set("Accept-Encoding", "identity"); // byte offsets of the body as stored
        adaptor->resume = resume;
    }
    auto connection = URLConnection::create(request, adaptor, options);
    {
        std::lock_guard lock(task->mutex_);
        task->connection_ = connection;
        task->adaptor_ = adaptor;
    }
    connection->start();
}

void URLSession::failBeforeStart(const std::shared_ptr<URLSessionTask>& task, Error error) {
    if (error.failingURL.empty())
        error.failingURL = task->original_.url.absoluteString();
    {
        std::lock_guard lock(task->mutex_);
        task->state_ = URLSessionTask::State::Completed;
    }
    auto self = shared_from_this();
    delegateQueue_->async([self, task, error] {
        self->delegate_->didCompleteWithError(task, error);
        self->taskEnded(task);
    });
}

std::shared_ptr<URLSessionTask> URLSession::becomeDownload(const std::shared_ptr<URLSessionTask>& dataTask) {
    std::shared_ptr<URLSessionTask> download;
    {
        std::lock_guard lock(mutex_);
        download = std::shared_ptr<URLSessionTask>(new URLSessionTask(
            weak_from_this(), nextId_++, URLSessionTask::Kind::Download, dataTask->original_));
        tasks_[download->identifier_] = download;
        tasks_.erase(dataTask->identifier_);
    }
    std::lock_guard lock(dataTask->mutex_);
    download->state_ = dataTask->state_;
    download->started_ = true;
    download->description_ = dataTask->description_;
    download->response_ = dataTask->response_;
    download->connection_ = std::move(dataTask->connection_);
    dataTask->connection_.reset();
    dataTask->state_ = URLSessionTask::State::Completed;
    return download;
}

void URLSession::storeInCache(const std::shared_ptr<URLSessionTask>& task, const Bytes& body) {
    const auto& cache = configuration_.urlCache;
    auto response = task->response();
    if (!cache || !response)
        return;
    auto noStore = [](const std::optional<std::string>& field) {
        return field && toLowerASCII(*field).find("no-store") != std::string::npos;
    };
    if (noStore(response->valueForHTTPHeaderField("Cache-Control")) ||
        noStore(task->original_.valueForHTTPHeaderField("Cache-Control")))
        return;
    if (auto chosen = delegate_->willCacheResponse(task, CachedURLResponse{response, body}))
        cache->storeCachedResponse(std::move(*chosen), task->original_);
}

void URLSession::taskEnded(const std::shared_ptr<URLSessionTask>& task) {
    bool invalidateNow = false;
    bool eventsDone = false;
    {
        std::lock_guard lock(mutex_);
        eventsDone =
            tasks_.erase(task->identifier_) > 0 && tasks_.empty() && !configuration_.identifier.empty();
        invalidateNow = invalidating_ && tasks_.empty();
    }
    if (eventsDone)
        delegate_->didFinishEventsForBackgroundURLSession();
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

// ---- the cache

namespace {
std::string cacheKey(const URLRequest& request) {
    return request.url.absoluteString();
}
} // namespace

std::optional<CachedURLResponse> URLCache::cachedResponseForRequest(const URLRequest& request) const {
    std::lock_guard lock(mutex_);
    auto key = cacheKey(request);
    for (const auto& [k, cached] : entries_)
        if (k == key)
            return cached;
    return std::nullopt;
}

void URLCache::storeCachedResponse(CachedURLResponse cached, const URLRequest& request) {
    std::lock_guard lock(mutex_);
    auto key = cacheKey(request);
    std::erase_if(entries_, [&](const auto& e) {
        if (e.first != key)
            return false;
        usage_ -= e.second.data.size();
        return true;
    });
    if (cached.data.size() > capacity_)
        return;
    usage_ += cached.data.size();
    entries_.emplace_back(std::move(key), std::move(cached));
    while (usage_ > capacity_ && !entries_.empty()) {
        usage_ -= entries_.front().second.data.size();
        entries_.erase(entries_.begin());
    }
}

void URLCache::removeAllCachedResponses() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    usage_ = 0;
}

std::size_t URLCache::currentMemoryUsage() const {
    std::lock_guard lock(mutex_);
    return usage_;
}

} // namespace tc::http
