#pragma once
// One URL request run as an operation on the network thread, with pause, resume and cancel; its HTTP
// specialisation that serializes the response and calls success or failure; and batches of them.
#include "http/operation.h"
#include "http/response_serializer.h"
#include "http/url_loader.h"

#include "platform/notification_center.h"

#include <mutex>

namespace tc::http {

inline constexpr char kOperationDidStartNotification[] = "com.tradeclient.networking.operation.start";
inline constexpr char kOperationDidFinishNotification[] = "com.tradeclient.networking.operation.finish";

// The body cap of operations and tasks that keep the body in memory (the news feed's documents).
inline constexpr std::size_t kDefaultMaximumResponseBytes = std::size_t{8} << 20;

// A server-trust challenge as the owner's challenge callable sees it.
struct AuthenticationChallenge {
    std::string host;
    const ServerTrust* serverTrust = nullptr;
};

class URLConnectionOperation : public Operation {
public:
    enum class State { Paused = -1, Ready = 1, Executing = 2, Finished = 3 };
    using ProgressBlock = std::function<void(std::uint64_t bytes, std::int64_t total, std::int64_t expected)>;
    using ChallengeBlock = std::function<ChallengeDisposition(const AuthenticationChallenge&)>;
    using RedirectBlock =
        std::function<std::optional<URLRequest>(const URLRequest& request, const HTTPURLResponse* redirect)>;

    static std::shared_ptr<URLConnectionOperation> create(URLRequest request);
    ~URLConnectionOperation() override;

    // Operation
    void start() override;
    void cancel() override;
    bool isConcurrent() const override { return true; }
    bool isReady() const override;
    bool isExecuting() const override;
    bool isFinished() const override;
    bool isPaused() const;
    virtual void pause();
    void resume();
    State state() const;

    bool shouldUseCredentialStorage = true;
    std::optional<URLCredential> credential;
    std::shared_ptr<SecurityPolicy> securityPolicy = SecurityPolicy::defaultPolicy();
    std::optional<DispatchQueue> completionQueue;
    std::shared_ptr<DispatchGroup> completionGroup;
    platform::UserInfo userInfo;

    // The most bytes the default memory sink takes; a larger body fails with a clear error.
    void setMaximumResponseDataLength(std::size_t bytes);
    std::size_t maximumResponseDataLength() const;
    std::shared_ptr<OutputStream> outputStream();
    void setOutputStream(std::shared_ptr<OutputStream> stream);
    // The request's body stream; setting one replaces the request by a copy carrying it.
    std::shared_ptr<InputStream> inputStream() const;
    void setInputStream(std::shared_ptr<InputStream> stream);

    URLRequest request() const;
    std::shared_ptr<const HTTPURLResponse> response() const;
    virtual std::optional<Error> error() const;
    std::optional<Bytes> responseData() const;
    std::optional<std::string> responseString();
    StringEncoding responseStringEncoding();
    std::int64_t totalBytesRead() const { return totalBytesRead_.load(); }

    void setUploadProgressBlock(ProgressBlock block);
    void setDownloadProgressBlock(ProgressBlock block);
    void setWillSendRequestForAuthenticationChallengeBlock(ChallengeBlock block);
    void setRedirectResponseBlock(RedirectBlock block);
    // Runs `block` on completionQueue (main when unset) within completionGroup (a shared one when unset).
    void setCompletionBlock(std::function<void()> block) override {
        setCompletionBlock(std::move(block), true);
    }
    // Without the hop, `block` runs on the thread that finished the operation and must only hand work on.
    void setCompletionBlock(std::function<void()> block, bool onCompletionQueue);

    std::string description() const;
    // A ready copy for the same request with the same callables, queue and group.
    std::shared_ptr<URLConnectionOperation> copy() const;

    // The given operations followed by one that depends on them all and calls `completion` with them on
    // the main queue once each one's own completion ran; `progress` gets (finished, total) as they end.
    static std::vector<std::shared_ptr<Operation>> batchOfRequestOperations(
        const std::vector<std::shared_ptr<URLConnectionOperation>>& operations,
        std::function<void(std::size_t finished, std::size_t total)> progress,
        std::function<void(const std::vector<std::shared_ptr<URLConnectionOperation>>&)> completion);

    static std::shared_ptr<DispatchGroup> sharedCompletionGroup();

protected:
    explicit URLConnectionOperation(URLRequest request);
    void setRequest(URLRequest request);
    // For subclasses that hold lock_.
    const std::optional<Bytes>& responseDataLocked() const { return responseData_; }
    const std::shared_ptr<const HTTPURLResponse>& responseLocked() const { return response_; }
    mutable std::recursive_mutex lock_;

private:
    // The calls of one connection (network thread), each naming the run of the operation it belongs to.
    struct ConnectionCalls;
    std::optional<URLRequest> willSendRequest(std::uint64_t run, const URLRequest& request,
                                              const HTTPURLResponse& redirect);
    bool didReceiveServerTrustChallenge(std::uint64_t run, const ServerTrust& trust);
    void didReceiveResponse(std::uint64_t run, std::shared_ptr<const HTTPURLResponse> response);
    void didReceiveData(std::uint64_t run, const std::uint8_t* data, std::size_t length);
    void didSendBodyData(std::uint64_t run, std::int64_t bytesWritten, std::int64_t totalWritten,
                         std::int64_t totalExpected);
    void didFinishLoading(std::uint64_t run);
    void didFailWithError(std::uint64_t run, const Error& error);
    // True under lock_ while `run` is the connection the operation executes on.
    bool isCurrentRun(std::uint64_t run) const { return run == run_ && state_ == State::Executing; }

    bool setState(State state);
    void operationDidStart();
    void cancelConnection();
    void finish();
    void runCompletion();
    void postNotification(const char* name);
    std::shared_ptr<URLConnectionOperation> self();

    std::atomic<State> state_{State::Ready};
    URLRequest request_;
    std::shared_ptr<const HTTPURLResponse> response_;
    std::optional<Error> error_;
    std::optional<Bytes> responseData_;
    std::optional<std::string> responseString_;
    std::optional<StringEncoding> responseStringEncoding_;
    std::shared_ptr<OutputStream> outputStream_;
    std::size_t maximumResponseBytes_ = kDefaultMaximumResponseBytes;
    std::shared_ptr<URLConnection> connection_;
    // Moves on with each connection made and each one let go: a paused connection is cancelled on the
    // network thread later, and its last bytes must not join the body of the one a resume started.
    std::uint64_t run_ = 0;
    std::atomic<std::int64_t> totalBytesRead_{0};
    bool resuming_ = false;
    ProgressBlock uploadProgress_;
    ProgressBlock downloadProgress_;
    ChallengeBlock challenge_;
    RedirectBlock redirect_;
    std::function<void()> userCompletion_;
    bool completionOnQueue_ = true;
};

class HTTPRequestOperation : public URLConnectionOperation {
public:
    using Success = std::function<void(const std::shared_ptr<HTTPRequestOperation>&, const ResponseObject&)>;
    using Failure = std::function<void(const std::shared_ptr<HTTPRequestOperation>&, const Error&)>;

    static std::shared_ptr<HTTPRequestOperation> create(URLRequest request);

    std::shared_ptr<HTTPResponseSerializer> responseSerializer() const;
    // The next responseObject() read serializes again with the new serializer.
    void setResponseSerializer(std::shared_ptr<HTTPResponseSerializer> serializer);
    // Serializes once, when finished without a connection error.
    ResponseObject responseObject();
    std::optional<Error> error() const override;
    void setCompletionBlockWithSuccess(Success success, Failure failure);
    // Asks the server for the rest of the body when resumed: Range from the bytes already kept, If-Range
    // from the response's ETag.
    void pause() override;
    std::shared_ptr<HTTPRequestOperation> copyHTTPOperation() const;

protected:
    explicit HTTPRequestOperation(URLRequest request);

private:
    std::shared_ptr<HTTPResponseSerializer> responseSerializer_;
    std::optional<ResponseObject> responseObject_;
    std::optional<Error> responseSerializationError_;
};

} // namespace tc::http
