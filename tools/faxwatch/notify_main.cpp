// corvinaport-desktop-notify: shows one desktop notification for the fax
// watcher and reports what the user did with it.
//
//   corvinaport-desktop-notify --summary TEXT --body TEXT [--replaces ID]
//       [--action KEY LABEL]... [--desktop-entry NAME] [--wait SECONDS]
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/core/ProgramInfo.h"
#include "tools/faxwatch/NotificationClient.h"

namespace {

constexpr const char* kHelp =
    "usage: corvinaport-desktop-notify --summary TEXT --body TEXT [--replaces ID]\n"
    "       [--action KEY LABEL]... [--desktop-entry NAME] [--wait SECONDS]\n"
    "Shows one desktop notification and prints \"id N\", then \"action KEY\" or\n"
    "\"closed\" when the user acts on it (with --wait). Used by the fax watcher.\n"
    "  --help      display this help and exit\n"
    "  --version   display the version and exit\n";

int Usage() {
    std::fputs(kHelp, stderr);
    return 2;
}

bool Number(const char* text, long max, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out >= 0 && out <= max;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answered = AnswerHelpOrVersion(argc, argv, "corvinaport-desktop-notify", kHelp))
        return *answered;
    QCoreApplication app(argc, argv);
    NotificationClient::Request request;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const int left = argc - i - 1;
        long n = 0;
        if (arg == "--summary" && left >= 1) {
            request.summary = QString::fromUtf8(argv[++i]);
        } else if (arg == "--body" && left >= 1) {
            request.body = QString::fromUtf8(argv[++i]);
        } else if (arg == "--replaces" && left >= 1 && Number(argv[i + 1], 0xFFFFFFFFL, n)) {
            request.replacesId = static_cast<std::uint32_t>(n);
            ++i;
        } else if (arg == "--action" && left >= 2) {
            request.actions << QString::fromUtf8(argv[i + 1]) << QString::fromUtf8(argv[i + 2]);
            i += 2;
        } else if (arg == "--desktop-entry" && left >= 1) {
            request.desktopEntry = QString::fromUtf8(argv[++i]);
        } else if (arg == "--wait" && left >= 1 && Number(argv[i + 1], 86400, n)) {
            request.waitSeconds = static_cast<int>(n);
            ++i;
        } else {
            return Usage();
        }
    }
    NotificationClient client;
    if (!client.Show(request)) return 1;
    if (request.waitSeconds <= 0 || request.actions.isEmpty()) return 0;
    QObject::connect(&client, &NotificationClient::finished, &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}
