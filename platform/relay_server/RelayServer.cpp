#include "platform/relay_server/RelayServer.h"

#include "base/FileReplace.h"
#include "platform/relay_server/FormParts.h"

#include <fcntl.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char* kReplyHeader = "X-Relay-Reply";
constexpr const char* kFormTypeHeader = "X-Relay-Form-Type";

// The boundary parameter of a multipart Content-Type value, or empty.
std::string BoundaryOf(const std::string& contentType) {
    if (contentType.rfind("multipart/form-data", 0) != 0) return {};
    const std::size_t at = contentType.find("boundary=");
    if (at == std::string::npos) return {};
    std::string b = contentType.substr(at + 9);
    b = b.substr(0, b.find(';'));
    if (b.size() >= 2 && b.front() == '"' && b.back() == '"') b = b.substr(1, b.size() - 2);
    return b;
}

std::string EscapeLineBreaks(const std::string& value) {
    std::string out;
    for (char c : value) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// The base name of a sender's file name, never a path out of the folder.
std::string SafeFileName(const std::string& name, std::size_t index) {
    std::string base = name.substr(name.find_last_of("/\\") + 1);
    base.erase(std::remove_if(base.begin(), base.end(),
                              [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
               base.end());
    if (base.empty() || base == "." || base == ".." || base == "fields.txt" || base == "query.txt")
        base = "attachment-" + std::to_string(index);
    return base;
}

}  // namespace

std::optional<RelayFault> ParseRelayFault(const std::string& name) {
    static const std::map<std::string, RelayFault> kNames = {
        {"none", RelayFault::None},
        {"500", RelayFault::Status500},
        {"no-location", RelayFault::NoLocation},
        {"stall", RelayFault::Stall},
        {"broken", RelayFault::BrokenReply},
        {"no-success", RelayFault::NoSuccess},
        {"fill-disk", RelayFault::FillDisk},
    };
    const auto it = kNames.find(name);
    if (it == kNames.end()) return std::nullopt;
    return it->second;
}

struct RelayServer::State {
    fs::path store;
    RelayFault fault;
    httplib::Server server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable released;
    bool stopping = false;
    unsigned nextToken = 1;
    unsigned nextMessage = 1;
    // Upload token -> the location request that asked for it.
    std::map<unsigned, std::string> pending;
    std::vector<fs::path> received;

    void Location(const httplib::Request& req, httplib::Response& res) {
        if (fault == RelayFault::Status500) {
            res.status = 500;
            res.set_content("relay unavailable", "text/plain");
            return;
        }
        if (req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) !=
                0 ||
            req.body.find("cfunc=") == std::string::npos) {
            res.status = 400;
            res.set_content("not a relay request", "text/plain");
            return;
        }
        if (fault == RelayFault::Stall) {
            std::unique_lock lock(mutex);
            released.wait(lock, [this] { return stopping; });
            return;
        }
        if (fault == RelayFault::NoLocation) {
            res.set_header(kReplyHeader, "ok");
            return;
        }
        unsigned token = 0;
        {
            std::lock_guard lock(mutex);
            token = nextToken++;
            pending[token] = req.body;
        }
        res.set_header(kReplyHeader, "ok&location=http://127.0.0.1:" + std::to_string(port) +
                                         "/upload/" + std::to_string(token) + "&");
        res.set_content("ok", "text/plain");
    }

    void Upload(const httplib::Request& req, httplib::Response& res,
                const httplib::ContentReader& content) {
        std::string query;
        bool known = false;
        {
            std::lock_guard lock(mutex);
            const auto it = pending.find(static_cast<unsigned>(std::stoul(req.matches[1])));
            if (it != pending.end()) {
                query = it->second;
                pending.erase(it);
                known = true;
            }
        }
        if (!known) {
            (void)content([](const char*, size_t) { return true; });
            res.status = 404;
            res.set_content("unknown upload address", "text/plain");
            return;
        }
        // The body goes to disk as it arrives; a fax of any size costs the
        // relay no more memory than one piece of it.
        // The body on its way to disk: a file of its own in the store
        // folder, readable by the relay's user alone, removed when done with.
        std::optional<ScratchFile> upload;
        const ScratchFile& body = upload.emplace((store / ".upload-").string());
        const bool received = body.made() && content([&body](const char* data, size_t n) {
                                  return WriteAll(body.fd(), std::string_view(data, n));
                              });
        if (!received) {
            res.status = 500;
            res.set_content("cannot receive the upload", "text/plain");
            return;
        }
        const std::vector<FormPart> parts =
            ParseFormPartsInFile(body.path(), BoundaryOf(req.get_header_value(kFormTypeHeader)));
        if (parts.empty()) {
            res.status = 400;
            res.set_content("not a multipart/form-data upload", "text/plain");
            return;
        }
        if (!Store(query, body.path(), parts)) {
            res.status = 500;
            res.set_content("cannot store the message", "text/plain");
            return;
        }
        upload.reset();  // its inode is free again before the disk fills
        if (fault == RelayFault::FillDisk) FillStore();
        switch (fault) {
            case RelayFault::NoSuccess:
                res.set_header("X-Relay-Result", "failed");
                break;
            case RelayFault::BrokenReply:
                // Promises a body and ends the connection half-way through it.
                res.set_content_provider(64, "text/plain",
                                         [](size_t, size_t, httplib::DataSink& sink) {
                                             sink.write("success=tr", 10);
                                             return false;
                                         });
                break;
            default:
                res.set_header("X-Relay-Result", "success=true");
                res.set_content("success=true", "text/plain");
        }
    }

    // Empty files until the file system has no inode (or room) left; a test
    // frees them again.
    void FillStore() {
        for (unsigned n = 0; n < 1000000; ++n) {
            const std::string name = (store / ("filler-" + std::to_string(n))).string();
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return;
            }
            ::close(fd);
        }
    }

    bool Store(const std::string& query, const std::string& bodyFile,
               const std::vector<FormPart>& parts) {
        // Only the number is taken under the lock; the files, which may be
        // large, are written without holding up the other requests.
        char name[32];
        fs::path final;
        std::error_code ec;
        {
            std::lock_guard lock(mutex);
            // Numbers go on from what an earlier run left in the folder.
            do {
                std::snprintf(name, sizeof name, "msg-%04u", nextMessage++);
                final = store / name;
            } while (fs::exists(final, ec));
        }
        // Built in a hidden folder of its own, then renamed in one step.
        const fs::path partial =
            fs::path(MakePrivateFolder(store.string(), ".partial-")).parent_path();
        if (partial.empty()) return false;

        bool ok = WriteFileReplacing(partial / "query.txt", query + "\n");
        std::string fields;
        std::size_t attachments = 0;
        for (const FormPart& part : parts) {
            if (part.filename.empty()) {
                fields +=
                    EscapeLineBreaks(part.name) + ": " + EscapeLineBreaks(part.content) + "\n";
            } else {
                ++attachments;
                const std::string file = SafeFileName(part.filename, attachments);
                ok = ok && CopyFileRange(bodyFile, part.offset, part.size, partial / file);
                fields += EscapeLineBreaks(part.name) + ": <file " + file + ">\n";
            }
        }
        ok = ok && WriteFileReplacing(partial / "fields.txt", fields);
        if (ok) fs::rename(partial, final, ec);
        if (!ok || ec) {
            fs::remove_all(partial, ec);
            return false;
        }
        std::lock_guard lock(mutex);
        received.push_back(final);
        return true;
    }
};

RelayServer::RelayServer(fs::path storeDir, RelayFault fault) : state_(std::make_unique<State>()) {
    state_->store = std::move(storeDir);
    state_->fault = fault;
    auto* s = state_.get();
    // The service's body has parts of headers alone, which the library's own
    // multipart reader refuses; the raw body is streamed to disk and read here.
    s->server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        auto& r = const_cast<httplib::Request&>(req);  // the server's own, not const
        const auto it = r.headers.find("Content-Type");
        if (it != r.headers.end() && it->second.rfind("multipart/", 0) == 0) {
            const std::string type = it->second;
            r.headers.erase(it);
            r.headers.emplace(kFormTypeHeader, type);
            r.headers.emplace("Content-Type", "application/octet-stream");
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    s->server.Post(R"(/upload/(\d{1,9}))",
                   [s](const httplib::Request& req, httplib::Response& res,
                       const httplib::ContentReader& content) { s->Upload(req, res, content); });
    s->server.Post(
        ".*", [s](const httplib::Request& req, httplib::Response& res) { s->Location(req, res); });
}

RelayServer::~RelayServer() { Stop(); }

bool RelayServer::Start(int port) {
    std::error_code ec;
    fs::create_directories(state_->store, ec);
    if (!fs::is_directory(state_->store)) return false;
    // Uploads go to disk as they arrive; location requests are small.
    state_->server.set_payload_max_length(std::size_t{4} << 30);
    state_->server.set_read_timeout(60, 0);
    if (port == 0) {
        state_->port = state_->server.bind_to_any_port("127.0.0.1");
        if (state_->port <= 0) return false;
    } else {
        if (!state_->server.bind_to_port("127.0.0.1", port)) return false;
        state_->port = port;
    }
    state_->thread = std::thread([s = state_.get()] { s->server.listen_after_bind(); });
    while (!state_->server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void RelayServer::Stop() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->released.notify_all();
    state_->server.stop();
    if (state_->thread.joinable()) state_->thread.join();
}

int RelayServer::port() const { return state_->port; }

std::string RelayServer::serviceUrl() const {
    return "http://127.0.0.1:" + std::to_string(state_->port) + "/relay";
}

std::vector<fs::path> RelayServer::ReceivedMessages() const {
    std::lock_guard lock(state_->mutex);
    return state_->received;
}
