// corvinaport-notify: sends one window message to every running wizard of
// the user.
//
//   corvinaport-notify reload
//   corvinaport-notify kestro <wparam> [lparam]
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/core/ProgramInfo.h"
#include "app/window_messages/WindowMessage.h"

namespace {

constexpr const char* kHelp =
    "usage: corvinaport-notify reload\n"
    "       corvinaport-notify kestro <wparam> [lparam]\n"
    "Sends the settings reload or the printed-document hand-over to every\n"
    "running Send a Fax wizard of this user.\n"
    "  --help      display this help and exit\n"
    "  --version   display the version and exit\n";

int Usage() {
    std::fputs(kHelp, stderr);
    return 2;
}

bool Number(const char* text, std::uint64_t& out) {
    auto value = ParseParameter(text);
    if (!value) return false;
    out = *value;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answered = AnswerHelpOrVersion(argc, argv, "corvinaport-notify", kHelp))
        return *answered;
    QCoreApplication app(argc, argv);
    if (argc < 2) return Usage();
    WindowMessage message;
    if (std::strcmp(argv[1], "reload") == 0 && argc == 2) {
        message.id = WM_RELOADSETTINGS;
    } else if (std::strcmp(argv[1], "kestro") == 0 && (argc == 3 || argc == 4)) {
        message.registeredName = kKestroMessage;
        if (!Number(argv[2], message.wParam) || (argc == 4 && !Number(argv[3], message.lParam))) {
            std::fprintf(stderr, "corvinaport-notify: the parameters must be numbers\n");
            return 2;
        }
    } else {
        return Usage();
    }
    const std::string folder = MessageFolder();
    BroadcastResult r = Broadcast(message, folder);
    if (r.removedStale)
        std::printf("removed %d stale socket%s\n", r.removedStale, r.removedStale == 1 ? "" : "s");
    if (r.delivered == 0 && r.failed == 0) {
        std::printf("no running wizard\n");
        return 0;
    }
    std::printf("sent to %d wizard%s\n", r.delivered, r.delivered == 1 ? "" : "s");
    if (r.failed) {
        std::fprintf(stderr, "corvinaport-notify: %d wizard%s did not take the message\n", r.failed,
                     r.failed == 1 ? "" : "s");
        return 1;
    }
    return 0;
}
