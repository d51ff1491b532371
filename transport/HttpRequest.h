#pragma once

#include <cstdint>
#include <string>

#include "base/Failure.h"

class Clock;
class TaskProgress;

// Why a post failed, in classes the caller can tell the user about.
enum class HttpFailure {
    None,
    BadAddress,     // not an http(s) address with a host
    Refused,        // no connection could be made
    NameNotFound,   // the server's name did not resolve
    Certificate,    // the server's certificate was not accepted
    HttpStatus,     // a reply other than 200 (see httpStatus)
    NoSuccessMark,  // an upload answered without "success=true"
    TimedOut,       // no reply within the time limit
    TooSlow,        // the upload fell below the low-speed limit
    Broken,         // the connection broke off, or the reply was not HTTP
    Stopped,        // the user's confirmed stop
    BodyFile,       // the body file could not be read
    Other,
};

// One HTTP POST to the service, done on a worker thread while the calling
// (user-interface) thread polls every millisecond and pumps the attached
// progress window. Fill the fields, post once, read the reply fields after the
// post has returned, destroy. Each request holds its own libcurl handles, so
// requests of different threads never share state.
class HttpRequest {
  public:
    HttpRequest();
    ~HttpRequest();
    HttpRequest(const HttpRequest&) = delete;
    HttpRequest& operator=(const HttpRequest&) = delete;

    // Replaces the additional request header text (lines separated by CR LF).
    void SetHeaders(const std::string& text);

    // Posts formData url-encoded to url, following "&location=" values of the
    // replies up to maxRequests requests. True when the exchange ended well
    // within timeoutSeconds and before the user's confirmed stop.
    [[nodiscard]] bool PostForm(const std::string& url, const std::string& formData);

    // Posts the whole content of bodyFilePath, streamed from disk. No overall
    // time limit, but the low-speed guard and the user's confirmed stop end
    // it; the attached window's bar (0 to 100) follows the bytes sent. True
    // when the reply is 200 and its header block carries "success=true".
    [[nodiscard]] bool PostFile(const std::string& url, const std::string& bodyFilePath);

    [[nodiscard]] std::string ReplyHeaders() const { return replyHeaders; }

    // The value that follows key in text, up to the first '&', line feed or
    // tab, trimmed of white space; empty when key does not occur.
    [[nodiscard]] static std::string ExtractReplyValue(const std::string& text,
                                                       const std::string& key);

    // True when text carries "success=true" as a whole token (not inside a
    // longer word such as "nosuccess=true" or "success=trueness").
    [[nodiscard]] static bool HasSuccessMark(const std::string& text);

    std::string url;
    std::string requestHeaders = "Content-Type: application/x-www-form-urlencoded";
    std::string formData;
    std::string bodyFilePath;
    std::int32_t maxRequests = 5;
    std::int32_t requestsMade = 0;
    std::int32_t timeoutSeconds = 45;
    std::string replyHeaders;
    std::string replyBody;
    TaskProgress* progressWindow = nullptr;  // not owned

    // Seam for the poll's 1 ms sleeps and the time limit; the process's clock
    // by default.
    Clock* clock = nullptr;
    // PostFile: a transfer slower than lowSpeedBytes per second for
    // lowSpeedSeconds fails, so a dead or trickling peer cannot hold the
    // upload for ever (0 seconds: no such guard).
    std::int32_t lowSpeedBytes = 256;
    std::int32_t lowSpeedSeconds = 60;
    // Why the last post failed (TechnicalCause, in the user's language; the
    // caller words the sentence); empty after a success.
    Failure failure;
    HttpFailure failureKind = HttpFailure::None;
    long httpStatus = 0;  // the status of a reply other than 200
    // PostFile: every byte of the body was handed to the connection, so the
    // peer may have received all of it even when no reply came.
    bool wholeBodyHandedOver = false;

  private:
    enum class Kind { Form, File };
    struct Worker;

    bool Run(Kind kind);
    // Wait for the worker while the progress window is pumped; false when the
    // form's time ran out or the user stopped it (stopped says which).
    bool AwaitForm(Worker& worker, Clock& clock, bool& stopped);
    // The upload's wait, with its progress shown: a stop aborts the transfer.
    void AwaitUpload(Worker& worker, Clock& clock, bool& stopped);
};
