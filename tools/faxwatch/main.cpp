// corvinaport-faxwatch: hands the prints of the fax printer to this user's
// Send a Fax wizard, and retries the faxes stored in the outbox. Started with
// the desktop session.
//
//   corvinaport-faxwatch [--folder DIR] [--wizard PROGRAM] [--grace SECONDS]
//                        [--retry SECONDS] [--once]
#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/core/ProgramInfo.h"
#include "app/core/Translations.h"
#include "app/fax_watch/FaxWatcher.h"
#include "app/fax_watch/OutboxRetry.h"
#include "app/window_messages/WindowMessage.h"

namespace {

constexpr const char* kHelp =
    "usage: corvinaport-faxwatch [--folder DIR] [--wizard PROGRAM] [--grace SECONDS] "
    "[--retry SECONDS] [--once]\n"
    "Watches the fax printer's folder of this user (CORVINAPORT_WINDIR, else\n"
    "/var/spool/corvinaport/<user>/) and hands every print to the running Send a\n"
    "Fax wizard, or starts one for it. --once handles the prints present and ends.\n"
    "Every --retry SECONDS (60; 0: never) the waiting faxes of the outbox whose\n"
    "next attempt is due are sent with corvinaport-outbox.\n"
    "  --help      display this help and exit\n"
    "  --version   display the version and exit\n";

int Usage() {
    std::fputs(kHelp, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answered = AnswerHelpOrVersion(argc, argv, "corvinaport-faxwatch", kHelp))
        return *answered;
    QCoreApplication app(argc, argv);
    // The notifications speak the user's language.
    LoadTranslations(app);
    // Body files left by a sender that stopped hold the password: gone.
    (void)RemoveAbandonedBodyFiles();
    FaxWatchOptions options = DefaultFaxWatchOptions(
        QFileInfo(QCoreApplication::applicationFilePath()).path().toStdString());
    bool once = false;
    long retrySeconds = 60;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--folder") == 0 && hasValue) {
            options.folder = argv[++i];
        } else if (std::strcmp(argv[i], "--wizard") == 0 && hasValue) {
            options.wizard = argv[++i];
        } else if (std::strcmp(argv[i], "--grace") == 0 && hasValue) {
            char* end = nullptr;
            const double seconds = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || seconds < 0 || seconds > 3600) return Usage();
            options.grace = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
        } else if (std::strcmp(argv[i], "--retry") == 0 && hasValue) {
            char* end = nullptr;
            retrySeconds = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || retrySeconds < 0 || retrySeconds > 86400)
                return Usage();
        } else if (std::strcmp(argv[i], "--once") == 0) {
            once = true;
        } else {
            return Usage();
        }
    }
    if (options.folder.empty()) return Usage();

    FaxWatcher watcher(options);
    QObject::connect(&watcher, &FaxWatcher::report, [](const QString& line) {
        std::printf("corvinaport-faxwatch: %s\n", line.toLocal8Bit().constData());
        std::fflush(stdout);
    });
    if (auto started = watcher.Start(); !started) {
        std::fprintf(stderr, "corvinaport-faxwatch: %s\n", started.failure().cause.c_str());
        return 1;
    }
    if (once) {
        if (!watcher.watching()) {
            std::fprintf(stderr, "corvinaport-faxwatch: %s is not a folder of this user\n",
                         watcher.options().folder.c_str());
            return 1;
        }
        QTimer done;
        QObject::connect(&done, &QTimer::timeout, [&] {
            if (watcher.pendingCount() == 0) QCoreApplication::quit();
        });
        done.start(100);
        return QCoreApplication::exec();
    }
    OutboxRetry retry(QFileInfo(QCoreApplication::applicationFilePath()).path().toStdString(),
                      std::chrono::seconds(retrySeconds > 0 ? retrySeconds : 60));
    QObject::connect(&retry, &OutboxRetry::report, [](const QString& line) {
        std::printf("corvinaport-faxwatch: outbox: %s\n", line.toLocal8Bit().constData());
        std::fflush(stdout);
    });
    if (retrySeconds > 0) retry.Start();
    return QCoreApplication::exec();
}
