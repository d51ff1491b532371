// upload_bench: uploads a fax with a 50 MB document to the stand-in relay
// (run as its own process) through HttpRequest::PostFile, and the same body
// file with the curl command-line tool to the same relay, a few rounds each.
// Prints the median times, the speed ratio (ours / curl's) and how far this
// process's peak resident memory rose above its idle size during our
// uploads: the body is streamed from disk, so it should not grow with the
// document.
//
//   upload_bench [megabytes] [rounds]        (defaults 50 and 5)
#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "transport/HttpRequest.h"
#include "transport/RelayMessage.h"

extern char** environ;

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

namespace {

double Kib(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::strtod(line.c_str() + std::string(key).size(), nullptr);
    return 0;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Starts argv with its output going to the file out (or nowhere); the
// process id, or 0 when it could not be started.
pid_t Spawn(const std::vector<std::string>& args, const std::string& out = "/dev/null") {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

// Runs argv and waits; its exit status (or -1).
int Run(const std::vector<std::string>& args) {
    const pid_t pid = Spawn(args);
    if (pid == 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The stand-in relay in a process of its own, so its memory is not ours.
class RelayProcess {
  public:
    RelayProcess(const std::string& program, const fs::path& store) {
        const fs::path log = store.parent_path() / "relay.log";
        pid_ = Spawn({program, "--port", "0", "--print-port", "--store", store.string()},
                     log.string());
        for (int i = 0; i < 200 && pid_ > 0 && port_ == 0; ++i) {
            std::ifstream in(log);
            std::string word;
            in >> word >> port_;
            if (word != "port") port_ = 0;
            usleep(20'000);
        }
    }
    ~RelayProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    [[nodiscard]] int port() const { return port_; }

    // A fresh upload address from the relay's location step.
    [[nodiscard]] std::string UploadAddress() const {
        httplib::Client c("127.0.0.1", port_);
        auto r = c.Post("/relay", "cfunc=relaymail&username=bench&end=yes",
                        "application/x-www-form-urlencoded");
        if (!r) return {};
        return HttpRequest::ExtractReplyValue(r->get_header_value("X-Relay-Reply"), "&location=");
    }

  private:
    pid_t pid_ = 0;
    int port_ = 0;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) ::unsetenv(v);
    const long megabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 50;
    const int rounds = argc > 2 ? static_cast<int>(std::strtol(argv[2], nullptr, 10)) : 5;

    const fs::path work =
        fs::temp_directory_path() / ("upload-bench-" + std::to_string(::getpid()));
    fs::create_directories(work / "store");
    const fs::path document = work / "document.tif";
    {
        std::ofstream out(document, std::ios::binary);
        std::string chunk(1 << 20, '\0');
        unsigned x = 12345;
        for (long i = 0; i < megabytes; ++i) {
            for (auto& c : chunk) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
    }
    RelayMessage m;
    m.SetFormData("cfunc=relaymail&username=bench&end=yes");
    m.SetFrom("bench@example.com");
    m.AddTo("\"Bench\" <5551234@fax.example>");
    m.SetSubject("FAXDOC");
    m.AddAttachment(document.string());
    const fs::path body = work / "qrvmsg.txt";
    if (!m.WriteBody(body.string())) {
        std::fprintf(stderr, "cannot write the body file\n");
        return 1;
    }
    const double mib = static_cast<double>(fs::file_size(body)) / (1 << 20);

    RelayProcess relay(RELAY_PROGRAM, work / "store");
    if (relay.port() == 0) {
        std::fprintf(stderr, "the stand-in relay did not start\n");
        return 1;
    }

    std::vector<double> ours, curls;
    // Warm both paths (page cache, connection set-up) once before timing.
    {
        HttpRequest r;
        r.SetHeaders(kRelayUploadHeader);
        (void)r.PostFile(relay.UploadAddress(), body.string());
    }
    const double idleKib = Kib("VmRSS:");
    ResetPeak();
    double peakKib = 0;
    for (int i = 0; i < rounds; ++i) {
        const std::string address = relay.UploadAddress();
        HttpRequest r;
        r.SetHeaders(kRelayUploadHeader);
        const auto t0 = Steady::now();
        const bool ok = r.PostFile(address, body.string());
        ours.push_back(std::chrono::duration<double>(Steady::now() - t0).count());
        peakKib = std::max(peakKib, Kib("VmHWM:"));
        if (!ok) {
            std::fprintf(stderr, "upload failed: %s\n", r.failure.cause.c_str());
            return 1;
        }

        const std::string curlAddress = relay.UploadAddress();
        const auto t1 = Steady::now();
        // curl is told not to wait for an interim 100 reply, as HttpRequest
        // does not either.
        const int rc = Run({"curl", "-sS", "-o", "/dev/null", "-H", std::string(kRelayUploadHeader),
                            "-H", "Expect:", "--data-binary", "@" + body.string(), curlAddress});
        curls.push_back(std::chrono::duration<double>(Steady::now() - t1).count());
        if (rc != 0) {
            std::fprintf(stderr, "curl failed (%d)\n", rc);
            return 1;
        }
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(work / "store")) fs::remove_all(e.path(), ec);
    }

    const double a = Median(ours), b = Median(curls);
    std::printf("body %.1f MiB, %d rounds, medians\n", mib, rounds);
    std::printf("  HttpRequest::PostFile  %8.1f ms  %7.1f MiB/s\n", a * 1e3, mib / a);
    std::printf("  curl --data-binary     %8.1f ms  %7.1f MiB/s\n", b * 1e3, mib / b);
    std::printf("  speed ratio (ours / curl): %.2f\n", b / a);
    std::printf("  peak resident memory during our uploads: %.1f MiB above idle (%.1f MiB)\n",
                (peakKib - idleKib) / 1024.0, idleKib / 1024.0);
    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
