#pragma once
// The session-based client: a URL session whose delegate keeps one record per task (received bytes,
// progress, download destination), serializes each finished task's response off the delegate queue and
// posts the task notifications; and its HTTP form with a base URL and a request serializer.
#include "http/request_operation_manager.h"
#include "http/url_session.h"

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

class URLSessionManager : public std::enable_shared_from_this<URLSessionManager> {
public:
    using CompletionHandler = std::function<void(std::shared_ptr<const HTTPURLResponse>,
                                                 const ResponseObject&, const std::optional<Error>&)>;
    using Destination =
        std::function<std::optional<URL>(const URL& temporary, const HTTPURLResponse* response)>;

    static std::shared_ptr<URLSessionManager> create(URLSessionConfiguration configuration = {});
    virtual ~URLSessionManager();

    const std::shared_ptr<URLSession>& session() const { return session_; }
    std::shared_ptr<HTTPResponseSerializer> responseSerializer() const;
    void setResponseSerializer(std::shared_ptr<HTTPResponseSerializer> serializer);
    std::shared_ptr<SecurityPolicy> securityPolicy = SecurityPolicy::defaultPolicy();
    std::optional<DispatchQueue> completionQueue;
    std::shared_ptr<DispatchGroup> completionGroup;
    // Every task this manager makes carries it as its description.
    std::string taskDescriptionForSessionTasks() const;

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
    std::shared_ptr<Progress> uploadProgressForTask(const std::shared_ptr<URLSessionTask>& task) const;
    std::shared_ptr<Progress> downloadProgressForTask(const std::shared_ptr<URLSessionTask>& task) const;
    std::vector<std::shared_ptr<URLSessionTask>> tasks() const { return session_->tasks(); }
    void invalidateSessionCancelingTasks(bool cancelPendingTasks);

    // Owner callbacks beside the per-task records.
    std::function<void(const std::shared_ptr<URLSessionTask>&, const std::optional<Error>&)> taskDidComplete;
    std::function<void(const std::shared_ptr<URLSessionTask>&, const Bytes&)> dataTaskDidReceiveData;
    std::function<void(const std::shared_ptr<URLSessionTask>&, std::int64_t, std::int64_t, std::int64_t)>
        downloadTaskDidWriteData;
    std::function<std::optional<URL>(const std::shared_ptr<URLSessionTask>&, const URL&)>
        downloadTaskDidFinishDownloading;
    std::function<std::optional<URLRequest>(const std::shared_ptr<URLSessionTask>&, const HTTPURLResponse&,
                                            const URLRequest&)>
        taskWillPerformHTTPRedirection;

protected:
    URLSessionManager() = default;
    void setUp(URLSessionConfiguration configuration);

private:
    struct TaskDelegate;
    struct SessionDelegate;
    std::shared_ptr<TaskDelegate> addDelegate(const std::shared_ptr<URLSessionTask>& task,
                                              CompletionHandler completion);
    std::shared_ptr<TaskDelegate> delegateForTask(const URLSessionTask& task) const;
    void removeDelegateForTask(const URLSessionTask& task);

    std::shared_ptr<URLSession> session_;
    mutable std::mutex mutex_; // the registry and the serializer
    std::map<unsigned, std::shared_ptr<TaskDelegate>> delegates_;
    std::shared_ptr<HTTPResponseSerializer> responseSerializer_ = JSONResponseSerializer::serializer();
    platform::ObserverId resumeObserver_, suspendObserver_;
};

class HTTPSessionManager : public URLSessionManager {
public:
    using Success = std::function<void(const std::shared_ptr<URLSessionTask>&, const ResponseObject&)>;
    using Failure = std::function<void(const std::shared_ptr<URLSessionTask>&, const Error&)>;

    static std::shared_ptr<HTTPSessionManager> create(std::optional<URL> baseURL,
                                                      URLSessionConfiguration configuration = {});
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

private:
    CompletionHandler dispatchTo(std::shared_ptr<std::weak_ptr<URLSessionTask>> task, Success success,
                                 Failure failure);
    std::shared_ptr<URLSessionTask> resumed(std::shared_ptr<URLSessionTask> task);
    std::optional<URL> baseURL_;
    std::shared_ptr<HTTPRequestSerializer> requestSerializer_ = HTTPRequestSerializer::serializer();
};

} // namespace tc::http
