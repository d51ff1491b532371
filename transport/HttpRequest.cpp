#include "transport/HttpRequest.h"

#include <curl/curl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

#include "app/core/Clock.h"
#include "app/core/TaskProgress.h"
#include "app/core/Translate.h"
#include "base/DynamicLibrary.h"
#include "transport/CQrvHTTPException.h"
#include "transport/FailureWords.h"

namespace {

constexpr const char* kAgent = "QRVHTTP";
constexpr const char* kLocationKey = "&location=";
constexpr const char* kSuccessMark = "success=true";
// Guards against a broken peer that never stops talking.
constexpr std::size_t kMaxReplyHeaders = 1u << 20;
constexpr std::size_t kMaxReplyBody = 16u << 20;

// libcurl is loaded on the first exchange, not when the program starts: the
// wizard opens without it and the many libraries it brings.
constexpr const char* kCurlLibrary = "libcurl.so.4";

struct CurlApi {
    DynamicLibrary library;
    bool complete = false;
    decltype(&::curl_global_init) global_init = nullptr;
    decltype(&::curl_easy_init) easy_init = nullptr;
    decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&::curl_easy_setopt) easy_setopt = nullptr;
    decltype(&::curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&::curl_easy_strerror) easy_strerror = nullptr;
    decltype(&::curl_free) free = nullptr;
    decltype(&::curl_multi_init) multi_init = nullptr;
    decltype(&::curl_multi_cleanup) multi_cleanup = nullptr;
    decltype(&::curl_multi_add_handle) multi_add_handle = nullptr;
    decltype(&::curl_multi_remove_handle) multi_remove_handle = nullptr;
    decltype(&::curl_multi_perform) multi_perform = nullptr;
    decltype(&::curl_multi_poll) multi_poll = nullptr;
    decltype(&::curl_multi_info_read) multi_info_read = nullptr;
    decltype(&::curl_multi_wakeup) multi_wakeup = nullptr;
    decltype(&::curl_slist_append) slist_append = nullptr;
    decltype(&::curl_slist_free_all) slist_free_all = nullptr;
    decltype(&::curl_url) url = nullptr;
    decltype(&::curl_url_cleanup) url_cleanup = nullptr;
    decltype(&::curl_url_get) url_get = nullptr;
    decltype(&::curl_url_set) url_set = nullptr;
};

const CurlApi& Curl() {
    static const CurlApi api = [] {
        CurlApi a;
        a.library = DynamicLibrary::OpenForRun(kCurlLibrary);
        a.complete = a.library && a.library.Bind(a.global_init, "curl_global_init") &&
                     a.library.Bind(a.easy_init, "curl_easy_init") &&
                     a.library.Bind(a.easy_cleanup, "curl_easy_cleanup") &&
                     a.library.Bind(a.easy_setopt, "curl_easy_setopt") &&
                     a.library.Bind(a.easy_getinfo, "curl_easy_getinfo") &&
                     a.library.Bind(a.easy_strerror, "curl_easy_strerror") &&
                     a.library.Bind(a.free, "curl_free") &&
                     a.library.Bind(a.multi_init, "curl_multi_init") &&
                     a.library.Bind(a.multi_cleanup, "curl_multi_cleanup") &&
                     a.library.Bind(a.multi_add_handle, "curl_multi_add_handle") &&
                     a.library.Bind(a.multi_remove_handle, "curl_multi_remove_handle") &&
                     a.library.Bind(a.multi_perform, "curl_multi_perform") &&
                     a.library.Bind(a.multi_poll, "curl_multi_poll") &&
                     a.library.Bind(a.multi_info_read, "curl_multi_info_read") &&
                     a.library.Bind(a.multi_wakeup, "curl_multi_wakeup") &&
                     a.library.Bind(a.slist_append, "curl_slist_append") &&
                     a.library.Bind(a.slist_free_all, "curl_slist_free_all") &&
                     a.library.Bind(a.url, "curl_url") &&
                     a.library.Bind(a.url_cleanup, "curl_url_cleanup") &&
                     a.library.Bind(a.url_get, "curl_url_get") &&
                     a.library.Bind(a.url_set, "curl_url_set");
        if (a.complete) a.global_init(CURL_GLOBAL_DEFAULT);
        return a;
    }();
    return api;
}

struct EasyDeleter {
    void operator()(CURL* h) const { Curl().easy_cleanup(h); }
};
struct MultiDeleter {
    void operator()(CURLM* h) const { Curl().multi_cleanup(h); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { Curl().slist_free_all(l); }
};
struct UrlDeleter {
    void operator()(CURLU* u) const { Curl().url_cleanup(u); }
};
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
struct CurlStringDeleter {
    void operator()(char* p) const { Curl().free(p); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using Multi = std::unique_ptr<CURLM, MultiDeleter>;
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;
using Url = std::unique_ptr<CURLU, UrlDeleter>;
using File = std::unique_ptr<std::FILE, FileCloser>;
using CurlString = std::unique_ptr<char, CurlStringDeleter>;

bool IsWordByte(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// Only http and https addresses with a host name are posted to; anything else
// (file:, ftp:, a bare word) ends the exchange before a connection is made.
void CheckAddress(const std::string& address) {
    Url u(Curl().url());
    if (!u || Curl().url_set(u.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK)
        throw CQrvHTTPException(CURLE_URL_MALFORMAT, "unparsable address: " + address);
    char* raw = nullptr;
    if (Curl().url_get(u.get(), CURLUPART_SCHEME, &raw, 0) != CURLUE_OK)
        throw CQrvHTTPException(CURLE_URL_MALFORMAT, "address without scheme: " + address);
    CurlString scheme(raw);
    const std::string s = scheme.get();
    if (s != "http" && s != "https")
        throw CQrvHTTPException(CURLE_UNSUPPORTED_PROTOCOL, "not an http address: " + address);
    raw = nullptr;
    if (Curl().url_get(u.get(), CURLUPART_HOST, &raw, 0) != CURLUE_OK)
        throw CQrvHTTPException(CURLE_URL_MALFORMAT, "address without host: " + address);
    CurlString host(raw);
    if (host.get()[0] == '\0')
        throw CQrvHTTPException(CURLE_URL_MALFORMAT, "address without host: " + address);
}

// Every CR or LF separates header lines, so no header text can smuggle a
// line of its own into the request.
Slist HeaderList(const std::string& text) {
    curl_slist* list = nullptr;
    auto add = [&list](const std::string& line) {
        curl_slist* next = Curl().slist_append(list, line.c_str());
        if (!next) {
            Curl().slist_free_all(list);
            throw CQrvHTTPException(CURLE_OUT_OF_MEMORY, "out of memory");
        }
        list = next;
    };
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) add(text.substr(start, end - start));
        start = end + 1;
    }
    // The body goes at once; no waiting for an interim 100 reply.
    add("Expect:");
    return Slist(list);
}

struct Reply {
    long status = 0;
    std::string headers;
    std::string body;
    bool overflow = false;
};

// Keeps n bytes of a reply in to unless it would grow past limit; what
// libcurl is answered (anything but n stops the transfer).
std::size_t Keep(Reply& reply, std::string& to, std::size_t limit, const char* data,
                 std::size_t n) {
    if (to.size() + n > limit) {
        reply.overflow = true;
        return 0;
    }
    to.append(data, n);
    return n;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* reply = static_cast<Reply*>(user);
    const std::size_t n = size * count;
    // A new status line starts a new reply (after an interim 1xx one).
    if (n >= 5 && std::string_view(data, 5) == "HTTP/") reply->headers.clear();
    return Keep(*reply, reply->headers, kMaxReplyHeaders, data, n);
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* reply = static_cast<Reply*>(user);
    return Keep(*reply, reply->body, kMaxReplyBody, data, size * count);
}

// The class of a libcurl result, for telling the user why.
HttpFailure Classify(std::int32_t code) {
    switch (code) {
        case CURLE_URL_MALFORMAT:
        case CURLE_UNSUPPORTED_PROTOCOL:
            return HttpFailure::BadAddress;
        case CURLE_COULDNT_CONNECT:
            return HttpFailure::Refused;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return HttpFailure::NameNotFound;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            return HttpFailure::Certificate;
        case CURLE_OPERATION_TIMEDOUT:
            return HttpFailure::TimedOut;
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_WEIRD_SERVER_REPLY:
            return HttpFailure::Broken;
        case CURLE_ABORTED_BY_CALLBACK:
            return HttpFailure::Stopped;
        case CURLE_READ_ERROR:
            return HttpFailure::BodyFile;
        default:
            return HttpFailure::Other;
    }
}

template <typename T>
void Set(CURL* h, CURLoption option, T value) {
    if (Curl().easy_setopt(h, option, value) != CURLE_OK)
        throw CQrvHTTPException(CURLE_SETOPT_OPTION_SYNTAX, "cannot set a transfer option");
}

}  // namespace

// The worker's own copy of the request and its results: the caller's fields
// are written only after the worker has been joined, so a reply that comes
// after the time limit is never seen.
struct HttpRequest::Worker {
    std::string url;
    std::string headers;
    std::string formData;
    std::string bodyFilePath;
    std::int32_t maxRequests = 0;
    std::int32_t lowSpeedBytes = 0;
    std::int32_t lowSpeedSeconds = 0;

    std::string replyHeaders;
    std::string replyBody;
    Failure failure;  // what the caught exception said
    std::int32_t requestsMade = 0;
    int exitCode = 1;
    HttpFailure kind = HttpFailure::None;
    long status = 0;

    // Bytes of the upload sent so far and in all, for the progress bar, and
    // handed to libcurl (read from the body file) so far.
    std::atomic<long long> sent{0};
    std::atomic<long long> total{0};
    std::atomic<long long> handed{0};
    std::FILE* body = nullptr;

    std::atomic<bool> done{false};
    std::atomic<bool> abort{false};
    std::mutex multiMutex;
    CURLM* multi = nullptr;  // the running transfer, for Abort's wake-up

    void Main(Kind postKind) noexcept {
        try {
            exitCode = postKind == Kind::Form ? RunForm() : RunFile();
        } catch (const CQrvHTTPException& e) {
            failure = Fail(e.what());
            if (kind == HttpFailure::None)
                kind = status != 0 ? HttpFailure::HttpStatus : Classify(e.code());
            exitCode = 1;
        } catch (const std::exception& e) {
            failure = Fail(e.what());
            kind = HttpFailure::Other;
            exitCode = 1;
        } catch (...) {
            failure = Fail("unexpected failure");
            kind = HttpFailure::Other;
            exitCode = 1;
        }
        done.store(true, std::memory_order_release);
    }

    // Called by the waiting thread: ends the transfer at its next wake-up.
    void Abort() {
        abort.store(true);
        std::lock_guard lock(multiMutex);
        if (multi) Curl().multi_wakeup(multi);
    }

    int RunForm() {
        std::string current = url;
        if (current.empty()) {
            failure =
                Fail(TranslatedText(QT_TRANSLATE_NOOP("Message", "no address is configured")));
            kind = HttpFailure::BadAddress;
            return 1;
        }
        requestsMade = 0;
        while (!current.empty() && requestsMade < maxRequests) {
            replyHeaders.clear();
            replyBody.clear();
            ++requestsMade;
            Reply reply;
            {
                CheckAddress(current);
                Easy easy = NewTransfer(current, reply);
                Set(easy.get(), CURLOPT_POSTFIELDSIZE_LARGE,
                    static_cast<curl_off_t>(formData.size()));
                Set(easy.get(), CURLOPT_POSTFIELDS, formData.data());
                Perform(easy.get(), reply);
            }
            replyHeaders = reply.headers;
            current = ExtractReplyValue(replyHeaders, kLocationKey);
            if (current.empty()) replyBody = std::move(reply.body);
        }
        return 0;
    }

    int RunFile() {
        CheckAddress(url);
        File file(std::fopen(bodyFilePath.c_str(), "rb"));
        if (!file) throw CQrvHTTPException(CURLE_READ_ERROR, "cannot open " + bodyFilePath);
        struct stat st {};
        if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode))
            throw CQrvHTTPException(CURLE_READ_ERROR, "cannot read " + bodyFilePath);
        Reply reply;
        {
            Easy easy = NewTransfer(url, reply);
            Set(easy.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(st.st_size));
            body = file.get();
            Set(easy.get(), CURLOPT_READFUNCTION, &OnRead);
            Set(easy.get(), CURLOPT_READDATA, static_cast<void*>(this));
            if (lowSpeedSeconds > 0) {
                Set(easy.get(), CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(lowSpeedBytes));
                Set(easy.get(), CURLOPT_LOW_SPEED_TIME, static_cast<long>(lowSpeedSeconds));
                Set(easy.get(), CURLOPT_CONNECTTIMEOUT, static_cast<long>(lowSpeedSeconds));
            }
            total.store(static_cast<long long>(st.st_size));
            Set(easy.get(), CURLOPT_NOPROGRESS, 0L);
            Set(easy.get(), CURLOPT_XFERINFOFUNCTION, &OnTransferInfo);
            Set(easy.get(), CURLOPT_XFERINFODATA, static_cast<void*>(this));
            try {
                Perform(easy.get(), reply);
            } catch (const CQrvHTTPException& e) {
                // libcurl reports the low-speed guard as a time-out.
                if (e.code() == CURLE_OPERATION_TIMEDOUT) {
                    kind = HttpFailure::TooSlow;
                    throw CQrvHTTPException(-1, e.what());
                }
                throw;
            }
        }
        replyHeaders = std::move(reply.headers);
        replyBody = std::move(reply.body);
        return 0;
    }

    Slist requestHeaders;
    char errorText[CURL_ERROR_SIZE] = {};

    static std::size_t OnRead(char* buffer, std::size_t size, std::size_t count, void* user) {
        auto* w = static_cast<Worker*>(user);
        const std::size_t n = std::fread(buffer, 1, size * count, w->body);
        if (n == 0 && std::ferror(w->body)) return CURL_READFUNC_ABORT;
        w->handed.fetch_add(static_cast<long long>(n));
        return n;
    }

    // Counts the bytes sent; a stop ends the transfer from inside libcurl.
    static int OnTransferInfo(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
        auto* w = static_cast<Worker*>(user);
        w->sent.store(static_cast<long long>(ulnow));
        return w->abort.load() ? 1 : 0;
    }

    Easy NewTransfer(const std::string& address, Reply& reply) {
        Easy easy(Curl().easy_init());
        if (!easy) throw CQrvHTTPException(CURLE_FAILED_INIT, "cannot start a transfer");
        CURL* h = easy.get();
        requestHeaders = HeaderList(headers);
        errorText[0] = '\0';
        Set(h, CURLOPT_URL, address.c_str());
        Set(h, CURLOPT_USERAGENT, kAgent);
        Set(h, CURLOPT_NOSIGNAL, 1L);
        Set(h, CURLOPT_POST, 1L);
        Set(h, CURLOPT_PROTOCOLS_STR, "http,https");
        Set(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        // Only the "&location=" value of a reply redirects, never a header.
        Set(h, CURLOPT_FOLLOWLOCATION, 0L);
        Set(h, CURLOPT_SSL_VERIFYPEER, 1L);
        Set(h, CURLOPT_SSL_VERIFYHOST, 2L);
        // The system's trusted certificates, or the bundle SSL_CERT_FILE names,
        // as OpenSSL's own tools take it.
        if (const char* bundle = std::getenv("SSL_CERT_FILE"); bundle && *bundle)
            Set(h, CURLOPT_CAINFO, bundle);
        Set(h, CURLOPT_HTTPHEADER, requestHeaders.get());
        Set(h, CURLOPT_HEADERFUNCTION, &OnHeader);
        Set(h, CURLOPT_HEADERDATA, static_cast<void*>(&reply));
        Set(h, CURLOPT_WRITEFUNCTION, &OnBody);
        Set(h, CURLOPT_WRITEDATA, static_cast<void*>(&reply));
        Set(h, CURLOPT_ERRORBUFFER, errorText);
        return easy;
    }

    // Runs one transfer to its end or to Abort; a status other than 200
    // ends the exchange too.
    void Perform(CURL* easy, Reply& reply) {
        if (abort.load()) throw CQrvHTTPException(CURLE_ABORTED_BY_CALLBACK, "stopped");
        Multi m(Curl().multi_init());
        if (!m) throw CQrvHTTPException(CURLE_FAILED_INIT, "cannot start a transfer");
        if (Curl().multi_add_handle(m.get(), easy) != CURLM_OK)
            throw CQrvHTTPException(CURLE_FAILED_INIT, "cannot start a transfer");
        {
            std::lock_guard lock(multiMutex);
            multi = m.get();
        }
        CURLcode result = CURLE_OK;
        bool finished = false;
        bool multiFailed = false;
        int running = 1;
        while (!abort.load()) {
            if (Curl().multi_perform(m.get(), &running) != CURLM_OK) {
                multiFailed = true;
                break;
            }
            if (running == 0) break;
            if (Curl().multi_poll(m.get(), nullptr, 0, 1000, nullptr) != CURLM_OK) {
                multiFailed = true;
                break;
            }
        }
        int queued = 0;
        while (CURLMsg* msg = Curl().multi_info_read(m.get(), &queued)) {
            if (msg->msg == CURLMSG_DONE) {
                result = msg->data.result;
                finished = true;
            }
        }
        {
            std::lock_guard lock(multiMutex);
            multi = nullptr;
        }
        Curl().multi_remove_handle(m.get(), easy);
        if (abort.load() && !finished)
            throw CQrvHTTPException(CURLE_ABORTED_BY_CALLBACK, "stopped");
        if (multiFailed || !finished) throw CQrvHTTPException(CURLE_FAILED_INIT, "transfer failed");
        if (reply.overflow) throw CQrvHTTPException(CURLE_WRITE_ERROR, "reply too large");
        if (result != CURLE_OK) {
            std::string text = errorText[0] ? errorText : Curl().easy_strerror(result);
            throw CQrvHTTPException(result, text);
        }
        Curl().easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply.status);
        if (reply.status != 200) {
            status = reply.status;
            throw CQrvHTTPException(static_cast<std::int32_t>(reply.status),
                                    "status " + std::to_string(reply.status));
        }
    }
};

HttpRequest::HttpRequest() = default;

HttpRequest::~HttpRequest() = default;

void HttpRequest::SetHeaders(const std::string& text) { requestHeaders = text; }

bool HttpRequest::PostForm(const std::string& address, const std::string& data) {
    url = address;
    formData = data;
    return Run(Kind::Form);
}

bool HttpRequest::PostFile(const std::string& address, const std::string& path) {
    url = address;
    bodyFilePath = path;
    if (!Run(Kind::File)) return false;
    if (HasSuccessMark(replyHeaders)) return true;
    failureKind = HttpFailure::NoSuccessMark;
    failure = Fail(TechnicalCause(failureKind, 0, 0, 0, {}));
    return false;
}

bool HttpRequest::Run(Kind kind) {
    Clock& clk = clock ? *clock : DefaultClock();
    failure = {};
    failureKind = HttpFailure::None;
    httpStatus = 0;
    wholeBodyHandedOver = false;

    if (!Curl().complete) {
        failureKind = HttpFailure::Other;
        failure = Fail(std::string("the HTTP library ") + kCurlLibrary + " could not be loaded");
        return false;
    }

    auto worker = std::make_unique<Worker>();
    worker->url = url;
    worker->headers = requestHeaders;
    worker->formData = formData;
    worker->bodyFilePath = bodyFilePath;
    worker->maxRequests = maxRequests;
    worker->lowSpeedBytes = lowSpeedBytes;
    worker->lowSpeedSeconds = lowSpeedSeconds;
    const Kind postKind = kind;

    std::thread thread;
    try {
        thread = std::thread([w = worker.get(), postKind] { w->Main(postKind); });
    } catch (const std::exception& e) {
        failureKind = HttpFailure::Other;
        failure = Fail(std::string("cannot start the worker: ") + e.what());
        return false;
    }

    bool stopped = false;
    bool ended = true;
    if (kind == Kind::Form)
        ended = AwaitForm(*worker, clk, stopped);
    else
        AwaitUpload(*worker, clk, stopped);

    if (!ended) {
        worker->Abort();
        thread.join();
        requestsMade = worker->requestsMade;
        replyHeaders.clear();
        replyBody.clear();
        failureKind = stopped ? HttpFailure::Stopped : HttpFailure::TimedOut;
        failure = Fail(TechnicalCause(failureKind, 0, 0, 0, {}));
        return false;
    }
    thread.join();
    requestsMade = worker->requestsMade;
    wholeBodyHandedOver = kind == Kind::File && worker->total.load() > 0 &&
                          worker->handed.load() >= worker->total.load();
    replyHeaders = std::move(worker->replyHeaders);
    replyBody = std::move(worker->replyBody);
    if (worker->exitCode == 0) return true;
    // A stop that came after the relay's answer does not undo the answer.
    failureKind = stopped ? HttpFailure::Stopped : worker->kind;
    httpStatus = worker->status;
    failure = Fail(TechnicalCause(failureKind, httpStatus, lowSpeedBytes, lowSpeedSeconds,
                                  worker->failure.cause));
    return false;
}

bool HttpRequest::AwaitForm(Worker& worker, Clock& clk, bool& stopped) {
    // The limit is clock time, however long each poll really takes.
    const auto deadline = clk.Steady() + std::chrono::seconds(timeoutSeconds);
    while (clk.Steady() < deadline) {
        if (worker.done.load(std::memory_order_acquire)) return true;
        clk.Sleep(std::chrono::milliseconds(1));
        if (progressWindow) {
            progressWindow->PumpMessages(true);
            if (progressWindow->cancelled()) {
                stopped = true;
                return false;
            }
        }
    }
    return worker.done.load(std::memory_order_acquire);
}

void HttpRequest::AwaitUpload(Worker& worker, Clock& clk, bool& stopped) {
    // No overall limit: the low-speed guard ends a dead peer's upload, and
    // the user's confirmed stop ends it at once.
    int shown = -1;
    while (!worker.done.load(std::memory_order_acquire)) {
        clk.Sleep(std::chrono::milliseconds(1));
        if (!progressWindow) continue;
        const long long all = worker.total.load();
        const int percent =
            all > 0 ? static_cast<int>(std::min(100LL, worker.sent.load() * 100 / all)) : 0;
        if (percent != shown) {
            shown = percent;
            (void)progressWindow->SetPos(percent);
        }
        progressWindow->PumpMessages(true);
        if (progressWindow->cancelled() && !stopped) {
            stopped = true;
            worker.Abort();
        }
    }
}

std::string HttpRequest::ExtractReplyValue(const std::string& text, const std::string& key) {
    const std::size_t at = text.find(key);
    if (at == std::string::npos) return {};
    std::string value = text.substr(at + key.size());
    value = value.substr(0, value.find_first_of("&\n\t"));
    const char* blanks = " \t\r\n\v\f";
    const std::size_t first = value.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    const std::size_t last = value.find_last_not_of(blanks);
    return value.substr(first, last - first + 1);
}

bool HttpRequest::HasSuccessMark(const std::string& text) {
    const std::string mark = kSuccessMark;
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) {
        const bool startsWord = at == 0 || !IsWordByte(text[at - 1]);
        const std::size_t end = at + mark.size();
        const bool endsWord = end == text.size() || !IsWordByte(text[end]);
        if (startsWord && endsWord) return true;
    }
    return false;
}
