#pragma once
// The session-based client: a URL session whose delegate keeps one record per task (received bytes,
// progress, download destination), serializes each finished task's response off the delegate queue and
// posts the task notifications; and its HTTP form with a base URL and a request serializer.
#include "http/request_operation_manager.h"
#include "http/url_session.h"
#include "platform/network_status_monitor.h"

namespace tc::http {

inline constexpr char kTaskDidResumeNotification[] = "com.tradeclient.networking.task.resume";
inline constexpr char kTaskDidSuspendNotification[] = "com.tradeclient.networking.task.suspend";
inline constexpr char kTaskDidCompleteNotification[] = "com.tradeclient.networking.task.complete";
inline constexpr char kSessionDidInvalidateNotification[] = "com.tradeclient.networking.session.invalidate";
inline constexpr char kDownloadMoveFailedNotification[] =
    "com.tradeclient.networking.session.download.file-manager-error";
inline constexpr char kTaskCompleteResponseSerializerKey[] =
    "com.tradeclient.networking.task.complete.responseserializer";
inline constexpr char kTaskCompleteAssetPathKey[] = "com.tradeclient.networking.task.complete.assetpath";
inline constexpr char kTaskCompleteResponseDataKey[] =
    "com.tradeclient.networking.complete.finish.responsedata";
inline constexpr char kTaskCompleteSerializedResponseKey[] =
    "com.tradeclient.networking.task.complete.serializedresponse";
inline constexpr char kTaskCompleteErrorKey[] = "com.tradeclient.networking.task.complete.error";

// Work counted in units (bytes), readable from any thread.
struct Progress {
    std::atomic<std::int64_t> totalUnitCount{0};
    std::atomic<std::int64_t> completedUnitCount{0};
    double fractionCompleted() const {
        auto total = totalUnitCount.load();
        return total > 0 ? static_cast<double>(completedUnitCount.load()) / static_cast<double>(total) : 0.0;
    }
};

// A challenge as the owner's blocks see it: the chain a TLS server presented, or a 401 answer's request
// for a user and password.
struct URLAuthenticationChallenge {
    enum class Method { ServerTrust, HTTPBasic };
    Method authenticationMethod = Method::ServerTrust;
    std::string protocol;
    std::string host;
    int port = 0;
    std::string realm;
    const ServerTrust* serverTrust = nullptr; // ServerTrust only
    int previousFailureCount = 0;
    std::shared_ptr<const HTTPURLResponse> failureResponse;
};

class URLSessionManager : public std::enable_shared_from_this<URLSessionManager> {
public:
    using CompletionHandler = std::function<void(std::shared_ptr<const HTTPURLResponse>,
                                                 const ResponseObject&, const std::optional<Error>&)>;
    using Destination =
        std::function<std::optional<URL>(const URL& temporary, const HTTPURLResponse* response)>;
    using SessionPtr = std::shared_ptr<URLSession>;
    using TaskPtr = std::shared_ptr<URLSessionTask>;
    // Challenge blocks answer on the network thread; they must not wait for other work.
    using SessionChallengeBlock = std::function<ChallengeDisposition(
        const SessionPtr&, const URLAuthenticationChallenge&, std::optional<URLCredential>& credential)>;
    using TaskChallengeBlock = std::function<ChallengeDisposition(
        const TaskPtr&, const URLAuthenticationChallenge&, std::optional<URLCredential>& credential)>;

    static std::shared_ptr<URLSessionManager> create(URLSessionConfiguration configuration = {});
    virtual ~URLSessionManager();
    // A new manager of the same class on this session's configuration, with its own session. Blocks,
    // response serializer and security policy start from their defaults.
    std::shared_ptr<URLSessionManager> copy() const { return makeCopy(); }

    const std::shared_ptr<URLSession>& session() const { return session_; }
    std::shared_ptr<HTTPResponseSerializer> responseSerializer() const;
    void setResponseSerializer(std::shared_ptr<HTTPResponseSerializer> serializer);
    std::shared_ptr<SecurityPolicy> securityPolicy = SecurityPolicy::defaultPolicy();
    // The process's reachability manager: held for the owner, never started here.
    std::shared_ptr<NetworkStatusMonitor> reachabilityManager = NetworkStatusMonitor::sharedManager();
    std::optional<DispatchQueue> completionQueue;
    std::shared_ptr<DispatchGroup> completionGroup;
    // Every task this manager makes carries it as its description.
    std::string taskDescriptionForSessionTasks() const;
    std::string description() const;

    std::shared_ptr<URLSessionTask> dataTaskWithRequest(const URLRequest& request,
                                                        CompletionHandler completion);
    std::shared_ptr<URLSessionTask> uploadTaskWithRequest(const URLRequest& request, const URL& fromFile,
                                                          std::shared_ptr<Progress>* progress,
                                                          CompletionHandler completion);
    std::shared_ptr<URLSessionTask> uploadTaskWithRequest(const URLRequest& request, Bytes body,
                                                          std::shared_ptr<Progress>* progress,
                                                          CompletionHandler completion);
    std::shared_ptr<URLSessionTask> uploadTaskWithStreamedRequest(const URLRequest& request,
                                                                  std::shared_ptr<Progress>* progress,
                                                                  CompletionHandler completion);
    std::shared_ptr<URLSessionTask> downloadTaskWithRequest(const URLRequest& request,
                                                            std::shared_ptr<Progress>* progress,
                                                            Destination destination,
                                                            CompletionHandler completion);
    // Resume data comes from URLSessionTask::cancelByProducingResumeData; refused resume data gives a task
    // that completes with a kCannotResumeDownload error once resumed.
    std::shared_ptr<URLSessionTask> downloadTaskWithResumeData(const Bytes& resumeData,
                                                               std::shared_ptr<Progress>* progress,
                                                               Destination destination,
                                                               CompletionHandler completion);
    std::shared_ptr<Progress> uploadProgressForTask(const std::shared_ptr<URLSessionTask>& task) const;
    std::shared_ptr<Progress> downloadProgressForTask(const std::shared_ptr<URLSessionTask>& task) const;
    // The session's live tasks: data, then upload, then download tasks.
    std::vector<TaskPtr> tasks() const;
    std::vector<TaskPtr> dataTasks() const { return session_->getTasks().data; }
    std::vector<TaskPtr> uploadTasks() const { return session_->getTasks().upload; }
    std::vector<TaskPtr> downloadTasks() const { return session_->getTasks().download; }
    void invalidateSessionCancelingTasks(bool cancelPendingTasks);

    // Owner callbacks beside the per-task records; each setter keeps a copy. They run on the session's
    // delegate queue, except where said.
    void
    setSessionDidBecomeInvalidBlock(std::function<void(const SessionPtr&, const std::optional<Error>&)> b);
    // Server-trust challenges. Without the block the security policy decides. A block's "use credential"
    // is still checked by the security policy and "default handling" by the default policy: no answer
    // takes a chain unexamined.
    void setSessionDidReceiveAuthenticationChallengeBlock(SessionChallengeBlock block);
    // Runs on the main queue when a session with an identifier has delivered every event of its tasks.
    void setDidFinishEventsForBackgroundURLSessionBlock(std::function<void(const SessionPtr&)> block);
    // Network thread. nullopt takes the redirect response as the answer.
    void setTaskWillPerformHTTPRedirectionBlock(
        std::function<std::optional<URLRequest>(const TaskPtr&, const HTTPURLResponse&, const URLRequest&)>
            b);
    // 401 answers with a Basic challenge (network thread). Without the block the 401 is the answer.
    void setTaskDidReceiveAuthenticationChallengeBlock(TaskChallengeBlock block);
    // Network thread: the body again for a request sent again. Without the block, a copy of the original
    // request's body stream.
    void setTaskNeedNewBodyStreamBlock(std::function<std::shared_ptr<InputStream>(const TaskPtr&)> block);
    void setTaskDidSendBodyDataBlock(std::function<void(const TaskPtr&, std::int64_t bytesSent,
                                                        std::int64_t totalSent, std::int64_t totalExpected)>
                                         block);
    void setTaskDidCompleteBlock(std::function<void(const TaskPtr&, const std::optional<Error>&)> block);
    // With the block set, a data task's body waits for its answer.
    void setDataTaskDidReceiveResponseBlock(
        std::function<ResponseDisposition(const TaskPtr&, const HTTPURLResponse&)> block);
    void setDataTaskDidBecomeDownloadTaskBlock(
        std::function<void(const TaskPtr& dataTask, const TaskPtr& downloadTask)> block);
    void setDataTaskDidReceiveDataBlock(std::function<void(const TaskPtr&, const Bytes&)> block);
    // Asked only when the configuration has a cache; nullopt stores nothing.
    void setDataTaskWillCacheResponseBlock(
        std::function<std::optional<CachedURLResponse>(const TaskPtr&, const CachedURLResponse& proposed)>
            block);
    void setDownloadTaskDidFinishDownloadingBlock(
        std::function<std::optional<URL>(const TaskPtr&, const URL& temporary)> block);
    void setDownloadTaskDidWriteDataBlock(
        std::function<void(const TaskPtr&, std::int64_t bytesWritten, std::int64_t totalWritten,
                           std::int64_t totalExpected)>
            block);
    void setDownloadTaskDidResumeBlock(
        std::function<void(const TaskPtr&, std::int64_t fileOffset, std::int64_t expectedTotal)> block);

    // Callbacks the session sees only while their block is set.
    enum class OptionalCallback {
        TaskWillPerformHTTPRedirection,
        DataTaskDidReceiveResponse,
        DataTaskWillCacheResponse,
        DidFinishEventsForBackgroundURLSession
    };
    bool respondsTo(OptionalCallback callback) const;

protected:
    URLSessionManager() = default;
    void setUp(URLSessionConfiguration configuration);
    // Each class of manager answers a copy of its own class.
    virtual std::shared_ptr<URLSessionManager> makeCopy() const;

private:
    struct TaskDelegate;
    struct SessionDelegate;
    struct Blocks;
    std::shared_ptr<TaskDelegate> addDelegate(const std::shared_ptr<URLSessionTask>& task,
                                              CompletionHandler completion);
    std::shared_ptr<TaskDelegate> delegateForTask(const URLSessionTask& task) const;
    void removeDelegateForTask(const URLSessionTask& task);
    std::shared_ptr<TaskDelegate> addDownloadDelegate(const std::shared_ptr<URLSessionTask>& task,
                                                      std::shared_ptr<Progress>* progress,
                                                      Destination destination, CompletionHandler completion);
    template <typename F>
    void setBlock(F Blocks::*field, F block);
    template <typename F>
    F block(F Blocks::*field) const;

    std::shared_ptr<URLSession> session_;
    mutable std::mutex mutex_; // the registry, the serializer and the blocks
    std::map<unsigned, std::shared_ptr<TaskDelegate>> delegates_;
    std::shared_ptr<HTTPResponseSerializer> responseSerializer_ = JSONResponseSerializer::serializer();
    std::shared_ptr<Blocks> blocks_;
    platform::ObserverId resumeObserver_, suspendObserver_;
};

class HTTPSessionManager : public URLSessionManager {
public:
    using Success = std::function<void(const std::shared_ptr<URLSessionTask>&, const ResponseObject&)>;
    using Failure = std::function<void(const std::shared_ptr<URLSessionTask>&, const Error&)>;

    static std::shared_ptr<HTTPSessionManager> create(std::optional<URL> baseURL,
                                                      URLSessionConfiguration configuration = {});
    // Same base URL and session configuration, with copies of both serializers and the security
    // policy (changing them leaves this manager's alone); blocks are not copied.
    std::shared_ptr<HTTPSessionManager> copy() const {
        return std::static_pointer_cast<HTTPSessionManager>(makeCopy());
    }
    const std::optional<URL>& baseURL() const { return baseURL_; }
    std::shared_ptr<HTTPRequestSerializer> requestSerializer() const { return requestSerializer_; }
    void setRequestSerializer(std::shared_ptr<HTTPRequestSerializer> serializer);

    // Not resumed; nullptr (and failure on the completion queue) when the request cannot be built.
    std::shared_ptr<URLSessionTask> dataTaskWithHTTPMethod(std::string_view method,
                                                           std::string_view URLString,
                                                           const std::optional<Parameters>& parameters,
                                                           Success success, Failure failure);
    std::shared_ptr<URLSessionTask> GET(std::string_view URLString, const std::optional<Parameters>& p,
                                        Success s, Failure f);
    std::shared_ptr<URLSessionTask> HEAD(std::string_view URLString, const std::optional<Parameters>& p,
                                         std::function<void(const std::shared_ptr<URLSessionTask>&)> s,
                                         Failure f);
    std::shared_ptr<URLSessionTask> POST(std::string_view URLString, const std::optional<Parameters>& p,
                                         Success s, Failure f);
    std::shared_ptr<URLSessionTask> POST(std::string_view URLString, const std::optional<Parameters>& p,
                                         const std::function<void(MultipartFormData&)>& block, Success s,
                                         Failure f);
    std::shared_ptr<URLSessionTask> PUT(std::string_view URLString, const std::optional<Parameters>& p,
                                        Success s, Failure f);
    std::shared_ptr<URLSessionTask> PATCH(std::string_view URLString, const std::optional<Parameters>& p,
                                          Success s, Failure f);
    std::shared_ptr<URLSessionTask> DELETE(std::string_view URLString, const std::optional<Parameters>& p,
                                           Success s, Failure f);

protected:
    std::shared_ptr<URLSessionManager> makeCopy() const override;

private:
    CompletionHandler dispatchTo(std::shared_ptr<std::weak_ptr<URLSessionTask>> task, Success success,
                                 Failure failure);
    std::shared_ptr<URLSessionTask> resumed(std::shared_ptr<URLSessionTask> task);
    std::optional<URL> baseURL_;
    std::shared_ptr<HTTPRequestSerializer> requestSerializer_ = HTTPRequestSerializer::serializer();
};

} // namespace tc::http
