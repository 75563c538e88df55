#pragma once
// Session-style URL loading over the network thread: data, upload and download tasks that can be
// suspended and resumed, whose events reach the session's delegate one at a time on its delegate queue.
#include "http/resume_data.h"
#include "http/url_loader.h"

#include "platform/notification_center.h"

#include <filesystem>
#include <map>

namespace tc::http {

// Posted with the task as object whenever a task starts running or is suspended (from another state).
inline constexpr char kSessionTaskDidResumeHookNotification[] =
    "com.tradeclient.networking.nsurlsessiontask.resume";
inline constexpr char kSessionTaskDidSuspendHookNotification[] =
    "com.tradeclient.networking.nsurlsessiontask.suspend";

class URLSession;

class URLSessionTask : public std::enable_shared_from_this<URLSessionTask> {
public:
    enum class Kind { Data, Upload, Download };
    enum class State { Running = 0, Suspended = 1, Canceling = 2, Completed = 3 };

    unsigned taskIdentifier() const { return identifier_; }
    Kind kind() const { return kind_; }
    State state() const;
    const URLRequest& originalRequest() const { return original_; }
    std::shared_ptr<const HTTPURLResponse> response() const;
    std::string taskDescription() const;
    void setTaskDescription(std::string text);
    std::int64_t countOfBytesExpectedToSend() const { return expectedToSend_; }

    void resume();
    void suspend();
    void cancel();
    // A download's cancel that keeps what came: `handler` receives resume data on the session's delegate
    // queue, before the task completes, or nullopt when the download cannot be resumed (no answer yet,
    // no strong ETag or Last-Modified, an encoded body, not a GET); then the partial file is removed.
    void cancelByProducingResumeData(std::function<void(std::optional<Bytes>)> handler);

private:
    friend class URLSession;
    struct Adaptor;
    URLSessionTask(std::weak_ptr<URLSession> session, unsigned id, Kind kind, URLRequest request);
    void cancelTask(std::function<void(std::optional<Bytes>)> handler);
    std::weak_ptr<URLSession> session_;
    unsigned identifier_;
    Kind kind_;
    URLRequest original_;
    std::int64_t expectedToSend_ = -1;
    mutable std::mutex mutex_;
    State state_ = State::Suspended;
    bool started_ = false;
    std::string description_;
    std::shared_ptr<const HTTPURLResponse> response_;
    std::shared_ptr<URLConnection> connection_;
    std::weak_ptr<Adaptor> adaptor_;
    std::optional<DownloadResumeData> resumeData_;
    std::optional<Error> startError_; // fails the task when it is resumed (refused resume data)
};

enum class ResponseDisposition { Cancel = 0, Allow = 1, BecomeDownload = 2 };

// A response and its body as a cache would keep them.
struct CachedURLResponse {
    std::shared_ptr<const HTTPURLResponse> response;
    Bytes data;
};

// A store of successful GET answers in memory, oldest dropped first past its capacity. Sessions store
// into it; requests are not answered from it.
class URLCache {
public:
    explicit URLCache(std::size_t memoryCapacity) : capacity_(memoryCapacity) {}
    std::optional<CachedURLResponse> cachedResponseForRequest(const URLRequest& request) const;
    void storeCachedResponse(CachedURLResponse cached, const URLRequest& request);
    void removeAllCachedResponses();
    std::size_t memoryCapacity() const { return capacity_; }
    std::size_t currentMemoryUsage() const;

private:
    mutable std::mutex mutex_;
    std::size_t capacity_;
    std::size_t usage_ = 0;
    std::vector<std::pair<std::string, CachedURLResponse>> entries_; // oldest first
};

// What a session tells its delegate. Trust and redirect questions are answered on the network thread;
// everything else arrives on the delegate queue, in order.
class URLSessionDelegate {
public:
    virtual ~URLSessionDelegate() = default;
    virtual bool didReceiveServerTrustChallenge(const std::shared_ptr<URLSessionTask>& task,
                                                const ServerTrust& trust) = 0;
    virtual std::optional<URLRequest> willPerformHTTPRedirection(const std::shared_ptr<URLSessionTask>&,
                                                                 const HTTPURLResponse&,
                                                                 const URLRequest& request) {
        return request;
    }
    // A 401 with a Basic challenge (network thread); see URLConnectionDelegate.
    virtual ChallengeDisposition didReceiveHTTPAuthenticationChallenge(const std::shared_ptr<URLSessionTask>&,
                                                                       const HTTPAuthenticationChallenge&,
                                                                       std::optional<URLCredential>&) {
        return ChallengeDisposition::PerformDefaultHandling;
    }
    // A body stream for a request sent again (redirect, credentials) whose stream was read (network thread).
    virtual std::shared_ptr<InputStream> needNewBodyStream(const std::shared_ptr<URLSessionTask>& task) {
        const auto& stream = task->originalRequest().httpBodyStream;
        return stream ? stream->copy() : nullptr;
    }
    virtual void didSendBodyData(const std::shared_ptr<URLSessionTask>&, std::int64_t, std::int64_t,
                                 std::int64_t) {}
    // True to be asked for a data task's disposition: the body waits until didReceiveResponse answers.
    virtual bool decidesResponseDisposition() const { return false; }
    virtual ResponseDisposition didReceiveResponse(const std::shared_ptr<URLSessionTask>&,
                                                   const HTTPURLResponse&) {
        return ResponseDisposition::Allow;
    }
    // The data task is over; the rest of its body goes to the file of the download task.
    virtual void didBecomeDownloadTask(const std::shared_ptr<URLSessionTask>&,
                                       const std::shared_ptr<URLSessionTask>&) {}
    virtual void didReceiveData(const std::shared_ptr<URLSessionTask>&, const Bytes&) {}
    // What to store in the configuration's cache for a finished data task (nullopt: nothing).
    virtual std::optional<CachedURLResponse> willCacheResponse(const std::shared_ptr<URLSessionTask>&,
                                                               CachedURLResponse proposed) {
        return proposed;
    }
    virtual void didWriteData(const std::shared_ptr<URLSessionTask>&, std::int64_t, std::int64_t,
                              std::int64_t) {}
    // A resumed download's answer: the file goes on from `offset` (0 when the server sent it all again).
    virtual void didResumeAtOffset(const std::shared_ptr<URLSessionTask>&, std::int64_t offset,
                                   std::int64_t expectedTotal) {
        (void)offset;
        (void)expectedTotal;
    }
    virtual void didFinishDownloadingToURL(const std::shared_ptr<URLSessionTask>&, const URL&) {}
    virtual void didCompleteWithError(const std::shared_ptr<URLSessionTask>&,
                                      const std::optional<Error>&) = 0;
    // A session with an identifier delivered every event of its tasks (its last task completed).
    virtual void didFinishEventsForBackgroundURLSession() {}
    virtual void didBecomeInvalid(const std::optional<Error>&) {}
};

struct URLSessionConfiguration {
    std::string identifier;
    HeaderFields HTTPAdditionalHeaders;
    double timeoutIntervalForRequest = 60;
    // Bodies of data tasks past this are refused with kDataLengthExceedsMaximum.
    std::size_t maximumResponseBytes = std::size_t{8} << 20;
    // Downloads past this are refused the same way.
    std::uint64_t maximumDownloadBytes = std::uint64_t{4} << 30;
    // Partial downloads live here; resume data must name a file of this folder.
    std::filesystem::path temporaryDirectory = std::filesystem::temp_directory_path();
    // Where finished data tasks' answers are stored; none by default.
    std::shared_ptr<URLCache> urlCache;
};

class URLSession : public std::enable_shared_from_this<URLSession> {
public:
    static std::shared_ptr<URLSession> create(URLSessionConfiguration configuration,
                                              std::shared_ptr<URLSessionDelegate> delegate,
                                              std::shared_ptr<platform::SerialQueue> delegateQueue);
    const URLSessionConfiguration& configuration() const { return configuration_; }
    const std::shared_ptr<platform::SerialQueue>& delegateQueue() const { return delegateQueue_; }

    std::shared_ptr<URLSessionTask> dataTask(const URLRequest& request);
    std::shared_ptr<URLSessionTask> uploadTask(const URLRequest& request, const URL& fromFile);
    std::shared_ptr<URLSessionTask> uploadTask(const URLRequest& request, Bytes body);
    std::shared_ptr<URLSessionTask> uploadTaskWithStreamedRequest(const URLRequest& request);
    std::shared_ptr<URLSessionTask> downloadTask(const URLRequest& request);
    // A download that asks only for what `resumeData` lacks. Resume data that is malformed, too large or
    // names a file outside the temporary directory gives a task that fails with that error when resumed.
    std::shared_ptr<URLSessionTask> downloadTaskWithResumeData(const Bytes& resumeData);
    // Live tasks in creation order.
    std::vector<std::shared_ptr<URLSessionTask>> tasks() const;
    struct TaskLists {
        std::vector<std::shared_ptr<URLSessionTask>> data, upload, download;
    };
    TaskLists getTasks() const;

    void finishTasksAndInvalidate();
    void invalidateAndCancel();

private:
    friend class URLSessionTask;
    std::shared_ptr<URLSessionTask> make(URLSessionTask::Kind kind, URLRequest request);
    void startTask(const std::shared_ptr<URLSessionTask>& task);
    void failBeforeStart(const std::shared_ptr<URLSessionTask>& task, Error error);
    void taskEnded(const std::shared_ptr<URLSessionTask>& task);
    // The download task that takes over a data task's transfer (network thread).
    std::shared_ptr<URLSessionTask> becomeDownload(const std::shared_ptr<URLSessionTask>& dataTask);
    void storeInCache(const std::shared_ptr<URLSessionTask>& task, const Bytes& body);

    URLSessionConfiguration configuration_;
    std::shared_ptr<URLSessionDelegate> delegate_;
    std::shared_ptr<platform::SerialQueue> delegateQueue_;
    mutable std::mutex mutex_;
    std::map<unsigned, std::shared_ptr<URLSessionTask>> tasks_;
    unsigned nextId_ = 1;
    bool invalidating_ = false;
};

} // namespace tc::http
