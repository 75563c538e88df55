#include "http/http_operation.h"

#include <fmt/format.h>

namespace tc::http {

// ---- state

std::shared_ptr<URLConnectionOperation> URLConnectionOperation::create(URLRequest request) {
    return std::shared_ptr<URLConnectionOperation>(new URLConnectionOperation(std::move(request)));
}

URLConnectionOperation::URLConnectionOperation(URLRequest request) : request_(std::move(request)) {}

URLConnectionOperation::~URLConnectionOperation() {
    if (outputStream_)
        outputStream_->close();
}

std::shared_ptr<URLConnectionOperation> URLConnectionOperation::self() {
    return std::static_pointer_cast<URLConnectionOperation>(shared_from_this());
}

std::shared_ptr<DispatchGroup> URLConnectionOperation::sharedCompletionGroup() {
    static auto group = std::make_shared<DispatchGroup>();
    return group;
}

// Changed only under the lock; read without it (the queue asks every operation often).
URLConnectionOperation::State URLConnectionOperation::state() const {
    return state_.load(std::memory_order_acquire);
}

bool URLConnectionOperation::setState(State to) {
    std::lock_guard lock(lock_);
    State from = state_.load(std::memory_order_relaxed);
    bool allowed = false;
    switch (from) {
    case State::Paused:
        allowed = to == State::Ready;
        break;
    case State::Ready:
        allowed = to == State::Paused || to == State::Executing || (to == State::Finished && isCancelled());
        break;
    case State::Executing:
        allowed = to == State::Paused || to == State::Finished;
        break;
    case State::Finished:
        break;
    }
    if (allowed)
        state_.store(to, std::memory_order_release);
    return allowed;
}

bool URLConnectionOperation::isReady() const {
    return state() == State::Ready && Operation::isReady();
}
bool URLConnectionOperation::isExecuting() const {
    return state() == State::Executing;
}
bool URLConnectionOperation::isFinished() const {
    return state() == State::Finished;
}
bool URLConnectionOperation::isPaused() const {
    return state() == State::Paused;
}

// ---- accessors

void URLConnectionOperation::setMaximumResponseDataLength(std::size_t bytes) {
    std::lock_guard lock(lock_);
    maximumResponseBytes_ = bytes;
}

std::size_t URLConnectionOperation::maximumResponseDataLength() const {
    std::lock_guard lock(lock_);
    return maximumResponseBytes_;
}

std::shared_ptr<OutputStream> URLConnectionOperation::outputStream() {
    std::lock_guard lock(lock_);
    if (!outputStream_)
        outputStream_ = std::make_shared<MemoryOutputStream>(maximumResponseBytes_);
    return outputStream_;
}

void URLConnectionOperation::setOutputStream(std::shared_ptr<OutputStream> stream) {
    std::lock_guard lock(lock_);
    if (stream == outputStream_)
        return;
    if (outputStream_)
        outputStream_->close();
    outputStream_ = std::move(stream);
}

std::shared_ptr<InputStream> URLConnectionOperation::inputStream() const {
    std::lock_guard lock(lock_);
    return request_.httpBodyStream;
}

void URLConnectionOperation::setInputStream(std::shared_ptr<InputStream> stream) {
    std::lock_guard lock(lock_);
    request_.httpBodyStream = std::move(stream);
    request_.httpBody.reset();
}

URLRequest URLConnectionOperation::request() const {
    std::lock_guard lock(lock_);
    return request_;
}

void URLConnectionOperation::setRequest(URLRequest request) {
    std::lock_guard lock(lock_);
    request_ = std::move(request);
}

std::shared_ptr<const HTTPURLResponse> URLConnectionOperation::response() const {
    std::lock_guard lock(lock_);
    return response_;
}

std::optional<Error> URLConnectionOperation::error() const {
    std::lock_guard lock(lock_);
    return error_;
}

std::optional<Bytes> URLConnectionOperation::responseData() const {
    std::lock_guard lock(lock_);
    return responseData_;
}

StringEncoding URLConnectionOperation::responseStringEncoding() {
    std::lock_guard lock(lock_);
    if (!responseStringEncoding_ && response_) {
        auto enc = encodingForIANACharsetName(response_->textEncodingName());
        responseStringEncoding_ = enc.value_or(StringEncoding::UTF8);
    }
    return responseStringEncoding_.value_or(StringEncoding::UTF8);
}

std::optional<std::string> URLConnectionOperation::responseString() {
    std::lock_guard lock(lock_);
    if (!responseString_ && response_ && responseData_)
        responseString_ = decodeText(asText(*responseData_), responseStringEncoding());
    return responseString_;
}

void URLConnectionOperation::setUploadProgressBlock(ProgressBlock block) {
    std::lock_guard lock(lock_);
    uploadProgress_ = std::move(block);
}
void URLConnectionOperation::setDownloadProgressBlock(ProgressBlock block) {
    std::lock_guard lock(lock_);
    downloadProgress_ = std::move(block);
}
void URLConnectionOperation::setWillSendRequestForAuthenticationChallengeBlock(ChallengeBlock block) {
    std::lock_guard lock(lock_);
    challenge_ = std::move(block);
}
void URLConnectionOperation::setRedirectResponseBlock(RedirectBlock block) {
    std::lock_guard lock(lock_);
    redirect_ = std::move(block);
}

void URLConnectionOperation::setCompletionBlock(std::function<void()> block, bool onCompletionQueue) {
    std::lock_guard lock(lock_);
    userCompletion_ = std::move(block);
    completionOnQueue_ = onCompletionQueue;
    if (!userCompletion_) {
        Operation::setCompletionBlock(nullptr);
        return;
    }
    std::weak_ptr<URLConnectionOperation> weak = self();
    Operation::setCompletionBlock([weak] {
        if (auto op = weak.lock())
            op->runCompletion();
    });
}

// Runs once the operation has finished. The callable is handed on, and so let go, which ends a cycle
// through the operation it may hold.
void URLConnectionOperation::runCompletion() {
    std::function<void()> block;
    bool onQueue;
    {
        std::lock_guard lock(lock_);
        block.swap(userCompletion_);
        onQueue = completionOnQueue_;
    }
    if (!block)
        return;
    if (!onQueue)
        return block();
    auto group = completionGroup ? completionGroup : sharedCompletionGroup();
    asyncInGroup(group, completionQueue.value_or(DispatchQueue::main()), std::move(block));
}

std::string URLConnectionOperation::description() const {
    std::lock_guard lock(lock_);
    State state = state_.load();
    const char* name = state == State::Paused      ? "isPaused"
                       : state == State::Ready     ? "isReady"
                       : state == State::Executing ? "isExecuting"
                                                   : "isFinished";
    return fmt::format("<URLConnectionOperation: {}, state: {}, cancelled: {} request: {} {}, response: {}>",
                       static_cast<const void*>(this), name, isCancelled() ? "YES" : "NO",
                       request_.httpMethod, request_.url.absoluteString(),
                       response_
                           ? fmt::format("{} {}", response_->statusCode(), response_->url().absoluteString())
                           : std::string("(null)"));
}

std::shared_ptr<URLConnectionOperation> URLConnectionOperation::copy() const {
    auto op = create(request());
    std::lock_guard lock(lock_);
    op->uploadProgress_ = uploadProgress_;
    op->downloadProgress_ = downloadProgress_;
    op->challenge_ = challenge_;
    op->redirect_ = redirect_;
    op->completionQueue = completionQueue;
    op->completionGroup = completionGroup;
    return op;
}

// ---- running

struct URLConnectionOperation::ConnectionCalls final : URLConnectionDelegate {
    ConnectionCalls(std::shared_ptr<URLConnectionOperation> operation, std::uint64_t run)
        : op(std::move(operation)), run(run) {}
    std::optional<URLRequest> willSendRequest(const URLRequest& request,
                                              const HTTPURLResponse& redirect) override {
        return op->willSendRequest(run, request, redirect);
    }
    bool didReceiveServerTrustChallenge(const ServerTrust& trust) override {
        return op->didReceiveServerTrustChallenge(run, trust);
    }
    void didReceiveResponse(std::shared_ptr<const HTTPURLResponse> response) override {
        op->didReceiveResponse(run, std::move(response));
    }
    void didReceiveData(const std::uint8_t* data, std::size_t length) override {
        op->didReceiveData(run, data, length);
    }
    void didSendBodyData(std::int64_t bytesWritten, std::int64_t totalWritten,
                         std::int64_t totalExpected) override {
        op->didSendBodyData(run, bytesWritten, totalWritten, totalExpected);
    }
    void didFinishLoading() override { op->didFinishLoading(run); }
    void didFailWithError(const Error& error) override { op->didFailWithError(run, error); }

    std::shared_ptr<URLConnectionOperation> op;
    std::uint64_t run;
};

void URLConnectionOperation::start() {
    bool started = false;
    {
        std::lock_guard lock(lock_);
        if (isCancelled()) {
            auto me = self();
            NetworkThread::post([me] { me->cancelConnection(); });
            return;
        }
        if (isReady())
            started = setState(State::Executing);
    }
    if (started) {
        stateDidChange();
        // Started on the network thread (from a completion that runs there), it needs no second hop.
        if (NetworkThread::isCurrent())
            operationDidStart();
        else
            NetworkThread::post([me = self()] { me->operationDidStart(); });
    }
}

// Nothing in the program observes these; posted only when someone listens, a request costs the main
// thread nothing.
void URLConnectionOperation::postNotification(const char* name) {
    auto& center = platform::NotificationCenter::defaultCenter();
    if (center.hasObservers(name))
        center.postOnMainQueue(name, self());
}

void URLConnectionOperation::operationDidStart() {
    {
        std::lock_guard lock(lock_);
        // Paused and resumed before the first start ran, the second start finds its connection made.
        if (!isCancelled() && state_ == State::Executing && !connection_) {
            URLConnectionOptions options;
            options.credential = credential;
            options.shareConnections = securityPolicy && securityPolicy->isDefault() && !challenge_;
            auto out = outputStream();
            out->open();
            connection_ =
                URLConnection::create(request_, std::make_shared<ConnectionCalls>(self(), ++run_), options);
            connection_->start();
        }
    }
    postNotification(kOperationDidStartNotification);
}

void URLConnectionOperation::cancel() {
    bool changed = false;
    bool wasPaused = false;
    {
        std::lock_guard lock(lock_);
        if (!isFinished() && !isCancelled()) {
            markCancelled();
            changed = true;
            if (isExecuting()) {
                auto me = self();
                NetworkThread::post([me] { me->cancelConnection(); });
            }
            // A paused operation would otherwise stay in its queue for ever: it finishes cancelled.
            wasPaused = isPaused() && setState(State::Ready);
        }
    }
    if (changed)
        stateDidChange();
    if (wasPaused)
        start();
}

void URLConnectionOperation::cancelConnection() {
    std::unique_lock lock(lock_);
    Error e = Error::make(kURLErrorDomain, urlerror::kCancelled, "cancelled");
    e.failingURL = request_.url.absoluteString();
    if (isFinished())
        return;
    if (connection_) {
        connection_->cancel();
        const std::uint64_t run = run_;
        lock.unlock();
        didFailWithError(run, e);
    } else {
        error_ = e;
        lock.unlock();
        finish();
    }
}

void URLConnectionOperation::finish() {
    if (setState(State::Finished)) {
        stateDidChange();
        postNotification(kOperationDidFinishNotification);
    }
}

void URLConnectionOperation::pause() {
    bool changed = false;
    {
        std::lock_guard lock(lock_);
        if (isPaused() || isFinished() || isCancelled())
            return;
        if (isExecuting()) {
            // The connection is let go now, not when its cancel reaches the network thread: a resume
            // before then would take its remaining calls for those of the next connection.
            ++run_;
            if (connection_) {
                connection_->cancel();
                connection_.reset();
            }
            postNotification(kOperationDidFinishNotification);
        }
        changed = setState(State::Paused);
    }
    if (changed)
        stateDidChange();
}

void URLConnectionOperation::resume() {
    {
        std::lock_guard lock(lock_);
        if (!isPaused())
            return;
        setState(State::Ready);
        resuming_ = true;
    }
    start();
}

// ---- connection callbacks (network thread)

std::optional<URLRequest> URLConnectionOperation::willSendRequest(std::uint64_t run,
                                                                  const URLRequest& request,
                                                                  const HTTPURLResponse& redirect) {
    RedirectBlock block;
    {
        std::lock_guard lock(lock_);
        if (!isCurrentRun(run))
            return std::nullopt;
        block = redirect_;
    }
    return block ? block(request, &redirect) : std::optional<URLRequest>(request);
}

bool URLConnectionOperation::didReceiveServerTrustChallenge(std::uint64_t run, const ServerTrust& trust) {
    ChallengeBlock block;
    std::shared_ptr<SecurityPolicy> policy;
    {
        std::lock_guard lock(lock_);
        if (!isCurrentRun(run))
            return false;
        block = challenge_;
        policy = securityPolicy;
    }
    if (block) {
        switch (block(AuthenticationChallenge{trust.host(), &trust})) {
        case ChallengeDisposition::UseCredential:
            // The block cannot vouch for a chain: it is still examined, under the operation's policy.
            return policy && policy->evaluateServerTrust(trust, trust.host());
        case ChallengeDisposition::PerformDefaultHandling:
            return SecurityPolicy::defaultPolicy()->evaluateServerTrust(trust, trust.host());
        case ChallengeDisposition::CancelChallenge:
            return false;
        }
    }
    return policy && policy->evaluateServerTrust(trust, trust.host());
}

void URLConnectionOperation::didReceiveResponse(std::uint64_t run,
                                                std::shared_ptr<const HTTPURLResponse> response) {
    std::lock_guard lock(lock_);
    if (!isCurrentRun(run))
        return; // a paused connection on its way out
    response_ = response;
    auto out = outputStream();
    if (resuming_ && response->statusCode() == 200 && request_.headers.contains("Range")) {
        // The server sent the whole body again (changed, or no ranges): start over instead of appending.
        if (!out->restart()) {
            if (connection_)
                connection_->failWithError(Error::make(kURLErrorDomain, urlerror::kCannotWriteToFile,
                                                       "The partly received body could not be restarted."));
            return;
        }
        totalBytesRead_ = 0;
    }
    if (auto memory = std::dynamic_pointer_cast<MemoryOutputStream>(out);
        memory && response->expectedContentLength() > 0 &&
        static_cast<std::uint64_t>(response->expectedContentLength()) > memory->capacity() && connection_) {
        Error e =
            Error::make(kURLErrorDomain, urlerror::kDataLengthExceedsMaximum,
                        fmt::format("The response body ({} bytes) is larger than the limit of {} bytes.",
                                    response->expectedContentLength(), memory->capacity()));
        e.failingURL = request_.url.absoluteString();
        connection_->failWithError(e);
    }
}

void URLConnectionOperation::didReceiveData(std::uint64_t run, const std::uint8_t* data, std::size_t length) {
    ProgressBlock progress;
    std::int64_t expected = -1;
    {
        std::lock_guard lock(lock_);
        if (!isCurrentRun(run))
            return; // paused: these bytes are asked for again on resume
        auto out = outputStream();
        std::optional<Error> failure;
        if (!out->hasSpaceAvailable())
            failure =
                out->streamError().value_or(Error::make(kURLErrorDomain, urlerror::kCannotWriteToFile,
                                                        "The output stream has no space for the body."));
        else
            failure = writeFully(*out, data, length);
        if (failure) {
            if (failure->failingURL.empty())
                failure->failingURL = request_.url.absoluteString();
            if (connection_)
                connection_->failWithError(*failure);
            return;
        }
        progress = downloadProgress_;
        expected = response_ ? response_->expectedContentLength() : -1;
    }
    std::int64_t total =
        totalBytesRead_.fetch_add(static_cast<std::int64_t>(length)) + static_cast<std::int64_t>(length);
    if (progress)
        platform::MainQueue::async(
            [progress, length, total, expected] { progress(length, total, expected); });
}

void URLConnectionOperation::didSendBodyData(std::uint64_t run, std::int64_t bytesWritten,
                                             std::int64_t totalWritten, std::int64_t totalExpected) {
    ProgressBlock progress;
    {
        std::lock_guard lock(lock_);
        if (!isCurrentRun(run))
            return;
        progress = uploadProgress_;
    }
    if (progress)
        platform::MainQueue::async([progress, bytesWritten, totalWritten, totalExpected] {
            progress(static_cast<std::uint64_t>(bytesWritten), totalWritten, totalExpected);
        });
}

void URLConnectionOperation::didFinishLoading(std::uint64_t run) {
    {
        std::lock_guard lock(lock_);
        if (!isCurrentRun(run))
            return;
        outputStream(); // the default sink when none was set
        // A sink that only this operation holds is let go below: its bytes move instead of being copied.
        responseData_ = outputStream_.use_count() == 1 ? outputStream_->takeDataWrittenToMemory()
                                                       : outputStream_->dataWrittenToMemory();
        outputStream_->close();
        if (responseData_)
            outputStream_.reset();
        connection_.reset();
    }
    finish();
}

void URLConnectionOperation::didFailWithError(std::uint64_t run, const Error& error) {
    {
        std::lock_guard lock(lock_);
        if (run != run_ || (state_ != State::Executing && !(state_ == State::Ready && isCancelled())))
            return;
        error_ = error;
        if (outputStream_) {
            outputStream_->close();
            if (responseData_)
                outputStream_.reset();
        }
        connection_.reset();
    }
    finish();
}

// ---- batches

std::vector<std::shared_ptr<Operation>> URLConnectionOperation::batchOfRequestOperations(
    const std::vector<std::shared_ptr<URLConnectionOperation>>& operations,
    std::function<void(std::size_t, std::size_t)> progress,
    std::function<void(const std::vector<std::shared_ptr<URLConnectionOperation>>&)> completion) {
    std::vector<std::shared_ptr<Operation>> out;
    if (operations.empty()) {
        out.push_back(BlockOperation::create([completion] {
            platform::MainQueue::async([completion] {
                if (completion)
                    completion({});
            });
        }));
        return out;
    }
    auto group = std::make_shared<DispatchGroup>();
    auto finished = std::make_shared<std::atomic<std::size_t>>(0);
    const std::size_t total = operations.size();
    auto batch = BlockOperation::create([group, completion, operations] {
        group->notify(DispatchQueue::main(), [completion, operations] {
            if (completion)
                completion(operations);
        });
    });
    for (const auto& op : operations) {
        op->completionGroup = group;
        group->enter();
        batch->addDependency(op);
        std::function<void()> former;
        {
            std::lock_guard lock(op->lock_);
            former = op->userCompletion_;
        }
        op->setCompletionBlock([former, finished, total, progress, group] {
            if (former)
                former();
            std::size_t count = ++*finished;
            if (progress)
                progress(count, total);
            group->leave();
        });
        out.push_back(op);
    }
    out.push_back(batch);
    return out;
}

// ---- HTTP

std::shared_ptr<HTTPRequestOperation> HTTPRequestOperation::create(URLRequest request) {
    struct Made final : HTTPRequestOperation {
        explicit Made(URLRequest r) : HTTPRequestOperation(std::move(r)) {}
    };
    return std::make_shared<Made>(std::move(request));
}

HTTPRequestOperation::HTTPRequestOperation(URLRequest request)
    : URLConnectionOperation(std::move(request)), responseSerializer_(HTTPResponseSerializer::serializer()) {}

std::shared_ptr<HTTPResponseSerializer> HTTPRequestOperation::responseSerializer() const {
    std::lock_guard lock(lock_);
    return responseSerializer_;
}

void HTTPRequestOperation::setResponseSerializer(std::shared_ptr<HTTPResponseSerializer> serializer) {
    require(serializer != nullptr, "responseSerializer");
    std::lock_guard lock(lock_);
    responseSerializer_ = std::move(serializer);
    responseObject_.reset();
    responseSerializationError_.reset();
}

std::optional<Error> HTTPRequestOperation::error() const {
    std::lock_guard lock(lock_);
    if (responseSerializationError_)
        return responseSerializationError_;
    return URLConnectionOperation::error();
}

ResponseObject HTTPRequestOperation::responseObject() {
    std::lock_guard lock(lock_);
    if (!responseObject_ && isFinished() && !error()) {
        const auto& data = responseDataLocked();
        std::optional<Error> serializationError;
        responseObject_ = responseSerializer_->responseObjectForResponse(
            responseLocked().get(), data ? &*data : nullptr, &serializationError);
        responseSerializationError_ = serializationError;
    }
    return responseObject_.value_or(ResponseObject());
}

void HTTPRequestOperation::setCompletionBlockWithSuccess(Success success, Failure failure) {
    // The response is serialized on the processing queue straight from the finishing thread; success or
    // failure then runs on the completion queue. The callable runs once, so it hands its callables on.
    std::weak_ptr<HTTPRequestOperation> weak =
        std::static_pointer_cast<HTTPRequestOperation>(shared_from_this());
    setCompletionBlock(
        [weak, success = std::move(success), failure = std::move(failure)]() mutable {
            auto op = weak.lock();
            if (!op)
                return;
            auto group = op->completionGroup;
            if (group)
                group->enter();
            auto process = [op, success = std::move(success), failure = std::move(failure), group]() mutable {
                auto queue = op->completionQueue.value_or(DispatchQueue::main());
                auto scheduleGroup = group ? group : sharedCompletionGroup();
                if (auto e = op->error()) {
                    if (failure)
                        asyncInGroup(
                            scheduleGroup, queue,
                            [op, failure = std::move(failure), e = std::move(*e)] { failure(op, e); });
                } else {
                    ResponseObject object = op->responseObject();
                    if (auto serializationError = op->error()) {
                        if (failure)
                            asyncInGroup(scheduleGroup, queue,
                                         [op, failure = std::move(failure),
                                          e = std::move(*serializationError)] { failure(op, e); });
                    } else if (success) {
                        asyncInGroup(scheduleGroup, queue,
                                     [op, success = std::move(success), object = std::move(object)] {
                                         success(op, object);
                                     });
                    }
                }
                if (group)
                    group->leave();
            };
            // Decoding runs on the processing queue, off the network thread; validation alone runs here.
            if (op->responseSerializer()->decodesBody())
                platform::GlobalQueue::async(std::move(process));
            else
                process();
        },
        false);
}

void HTTPRequestOperation::pause() {
    URLConnectionOperation::pause();
    std::lock_guard lock(lock_);
    if (!isPaused())
        return;
    auto out = outputStream();
    std::uint64_t offset = 0;
    if (auto fileOffset = out->fileCurrentOffset())
        offset = *fileOffset;
    else if (auto data = out->dataWrittenToMemory())
        offset = data->size();
    URLRequest copy = request();
    if (auto r = response())
        if (auto etag = r->valueForHTTPHeaderField("ETag"))
            copy.headers.set("If-Range", *etag);
    copy.headers.set("Range", fmt::format("bytes={}-", offset));
    setRequest(std::move(copy));
}

std::shared_ptr<HTTPRequestOperation> HTTPRequestOperation::copyHTTPOperation() const {
    auto op = create(request());
    op->setResponseSerializer(responseSerializer()->copy());
    op->completionQueue = completionQueue;
    op->completionGroup = completionGroup;
    return op;
}

} // namespace tc::http
