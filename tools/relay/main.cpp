// corvinaport-relay: the stand-in for the service's relay function, on
// loopback. It answers the location request with an upload address, accepts
// the multipart upload and stores every received fax in the store folder.
//
//   corvinaport-relay --store DIR [--port N] [--print-port] [--fault KIND]
//
// KIND is none, 500, no-location, stall, broken, no-success or fill-disk. With
// --print-port the first line of output is "port N". It serves until
// interrupted (SIGINT or SIGTERM).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "app/core/ProgramInfo.h"
#include "platform/relay_server/RelayServer.h"

namespace {

volatile std::sig_atomic_t gStop = 0;
void OnSignal(int) { gStop = 1; }

constexpr const char* kHelp =
    "usage: corvinaport-relay --store DIR [--port N] [--print-port] [--fault KIND]\n"
    "The stand-in for the fax service's relay function, on 127.0.0.1: answers the\n"
    "location request with an upload address, takes the upload and stores each fax\n"
    "in a folder of DIR. It serves until interrupted.\n"
    "  --store DIR    where received faxes are stored\n"
    "  --port N       the port (0, the default: any free one)\n"
    "  --print-port   print \"port N\" as the first line\n"
    "  --fault KIND   misbehave: none, 500, no-location, stall, broken, no-success,\n"
    "                 fill-disk\n"
    "  --help         display this help and exit\n"
    "  --version      display the version and exit\n";

int Usage(const char* why) {
    std::fprintf(stderr, "corvinaport-relay: %s\n%s", why, kHelp);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answered = AnswerHelpOrVersion(argc, argv, "corvinaport-relay", kHelp))
        return *answered;
    std::string store;
    int port = 0;
    bool printPort = false;
    RelayFault fault = RelayFault::None;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--store" && hasValue) {
            store = argv[++i];
        } else if (arg == "--port" && hasValue) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || n < 0 || n > 65535) return Usage("the port must be 0 to 65535");
            port = static_cast<int>(n);
        } else if (arg == "--fault" && hasValue) {
            const auto f = ParseRelayFault(argv[++i]);
            if (!f) return Usage("unknown fault");
            fault = *f;
        } else if (arg == "--print-port") {
            printPort = true;
        } else {
            return Usage(("unexpected argument: " + arg).c_str());
        }
    }
    if (store.empty()) return Usage("--store DIR is required");

    RelayServer relay(store, fault);
    if (!relay.Start(port)) {
        std::fprintf(stderr, "corvinaport-relay: cannot listen on 127.0.0.1:%d or make %s\n", port,
                     store.c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (printPort) std::printf("port %d\n", relay.port());
    std::printf("relay function at %s, storing in %s\n", relay.serviceUrl().c_str(), store.c_str());
    std::fflush(stdout);

    std::size_t reported = 0;
    while (!gStop) {
        struct timespec pause {
            0, 100'000'000
        };
        nanosleep(&pause, nullptr);
        const auto received = relay.ReceivedMessages();
        for (; reported < received.size(); ++reported)
            std::printf("received %s\n", received[reported].c_str());
        std::fflush(stdout);
    }
    relay.Stop();
    return 0;
}
