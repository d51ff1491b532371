// Throughput of writing a fax's multipart body and of uploading it to a
// loopback server, with the process's peak resident memory for each
// attachment size: the peak stays flat because the attachment is copied and
// uploaded in chunks, never held whole.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "transport/HttpRequest.h"
#include "transport/RelayMessage.h"

namespace fs = std::filesystem;

namespace {

const fs::path& WorkDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("upload-bench-" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

std::string Attachment(std::int64_t megabytes) {
    const fs::path path = WorkDir() / ("doc-" + std::to_string(megabytes) + ".tif");
    if (!fs::exists(path)) {
        std::ofstream out(path, std::ios::binary);
        std::string chunk(1 << 20, '\0');
        unsigned x = 12345;
        for (std::int64_t i = 0; i < megabytes; ++i) {
            for (auto& c : chunk) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
    }
    return path.string();
}

RelayMessage FaxMessage(const std::string& document) {
    RelayMessage m;
    m.SetFormData("cfunc=relaymail&username=bench&end=yes");
    m.SetFrom("bench@example.com");
    m.AddTo("\"Bench\" <5551234@fax.example>");
    m.AddCc("");
    m.SetSubject("FAXDOC");
    m.AddHeader("X-CORVN-UID: bench");
    m.AddHeader("X-Tessaline: MsgType=Fax");
    m.AddAttachment(document);
    return m;
}

// Peak resident set since the last reset, in MiB (Linux VmHWM).
double PeakRssMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0;
}
void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

class Sink {
  public:
    Sink() {
        port_ = server_.bind_to_any_port("127.0.0.1");
        server_.Post("/up", [](const httplib::Request&, httplib::Response& res,
                               const httplib::ContentReader& reader) {
            // The body is multipart, so the server hands it over part by part.
            std::size_t n = 0;
            reader([](const httplib::MultipartFormData&) { return true; },
                   [&n](const char*, std::size_t len) {
                       n += len;
                       return true;
                   });
            res.set_header("X-Relay-Result", "success=true");
        });
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Sink() {
        server_.stop();
        thread_.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/up"; }

  private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

void BM_WriteBody(benchmark::State& state) {
    const RelayMessage m = FaxMessage(Attachment(state.range(0)));
    const std::string body = (WorkDir() / "qrvmsg.txt").string();
    ResetPeakRss();
    for (auto _ : state)
        if (!m.WriteBody(body)) state.SkipWithError("body not written");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(body)));
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void BM_Upload(benchmark::State& state) {
    static Sink sink;
    const RelayMessage m = FaxMessage(Attachment(state.range(0)));
    const std::string body = (WorkDir() / "qrvmsg.txt").string();
    if (!m.WriteBody(body)) state.SkipWithError("body not written");
    ResetPeakRss();
    for (auto _ : state) {
        HttpRequest r;
        r.SetHeaders(kRelayUploadHeader);
        if (!r.PostFile(sink.Url(), body)) state.SkipWithError(r.failure.c_str());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(body)));
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

}  // namespace

BENCHMARK(BM_WriteBody)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Upload)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) ::unsetenv(v);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(WorkDir(), ec);
    return 0;
}
