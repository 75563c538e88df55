#pragma once
// Session-style URL loading over the network thread: data, upload and download tasks that can be
// suspended and resumed, whose events reach the session's delegate one at a time on its delegate queue.
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

private:
    friend class URLSession;
    struct Adaptor;
    URLSessionTask(std::weak_ptr<URLSession> session, unsigned id, Kind kind, URLRequest request);
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
    std::filesystem::path uploadFile_;
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
    virtual void didSendBodyData(const std::shared_ptr<URLSessionTask>&, std::int64_t, std::int64_t,
                                 std::int64_t) {}
    virtual void didReceiveResponse(const std::shared_ptr<URLSessionTask>&, const HTTPURLResponse&) {}
    virtual void didReceiveData(const std::shared_ptr<URLSessionTask>&, const Bytes&) {}
    virtual void didWriteData(const std::shared_ptr<URLSessionTask>&, std::int64_t, std::int64_t,
                              std::int64_t) {}
    virtual void didFinishDownloadingToURL(const std::shared_ptr<URLSessionTask>&, const URL&) {}
    virtual void didCompleteWithError(const std::shared_ptr<URLSessionTask>&,
                                      const std::optional<Error>&) = 0;
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
    std::filesystem::path temporaryDirectory = std::filesystem::temp_directory_path();
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
    // Live tasks in creation order.
    std::vector<std::shared_ptr<URLSessionTask>> tasks() const;

    void finishTasksAndInvalidate();
    void invalidateAndCancel();

private:
    friend class URLSessionTask;
    std::shared_ptr<URLSessionTask> make(URLSessionTask::Kind kind, URLRequest request);
    void startTask(const std::shared_ptr<URLSessionTask>& task);
    void taskEnded(const std::shared_ptr<URLSessionTask>& task);

    URLSessionConfiguration configuration_;
    std::shared_ptr<URLSessionDelegate> delegate_;
    std::shared_ptr<platform::SerialQueue> delegateQueue_;
    mutable std::mutex mutex_;
    std::map<unsigned, std::shared_ptr<URLSessionTask>> tasks_;
    unsigned nextId_ = 1;
    bool invalidating_ = false;
};

} // namespace tc::http
