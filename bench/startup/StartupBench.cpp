// startup_bench: the wizard's start-up, from the process's start to the first
// page painted (the moment the program prints then), against a bare Qt dialog
// (startup_bare_dialog), each started as a process of its own (the median of
// several runs); and the wake-ups a second of the idle wizard (the real
// program) against an idle bare dialog, counted from the context switches of
// all their threads over a number of seconds.
//
//   startup_bench [runs] [idle seconds]        (defaults 9 and 10)
//
// It makes a registry store and folders of its own under /tmp; the platform
// is offscreen unless QT_QPA_PLATFORM says otherwise.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/CNetFaxApp.h"
#include "app/core/Translations.h"
#include "app/program/SendFaxProgram.h"
#include "app/secret_store/SecretServiceStore.h"
#include "bench/support/EventLoopGap.h"
#include "bench/support/FirstPaint.h"
#include "bench/support/Growth.h"
#include "bench/support/Process.h"
#include "controls/CaretRest.h"
#include "controls/HelpService.h"
#include "controls/QtMessageBoxService.h"
#include "res/Resources.h"
#include "wizard/ui/CMainHostDlg.h"

namespace {

namespace fs = std::filesystem;

// The program's start as main() makes it, ended at the first page painted.
int Wizard(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvinaport-sendfax"));
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quorvane.corvinaport.sendfax"));
    QApplication::setWindowIcon(res::Icon(res::IDI_PROGRAM));
    QTimer::singleShot(250, &qt, [] {
        QApplication::setWindowIcon(
            QIcon::fromTheme(QStringLiteral("corvinaport-sendfax"), res::Icon(res::IDI_PROGRAM)));
    });
    QApplication::setQuitOnLastWindowClosed(false);
    LoadTranslations(qt);
    SecretServicePasswordStore secrets;
    InstallPasswordStore(&secrets);
    QtMessageBoxService messageBox;
    bench::FirstPaint first("CSelRecipient");
    qt.installEventFilter(&first);
    SendFaxOptions options;
    options.messageBox = &messageBox;
    const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
    options.helpFolders = {InstalledHelpFolder(programDir)};
    options.artworkFolder = InstalledArtworkFolder(CORVINAPORT_BUILD_BIN);
    return RunSendFax("", options);
}

// The folders and registry store a wizard starts with, ready to send.
std::string MakeHome() {
    char pattern[] = "/tmp/startup-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return {};
    std::string root = std::string(pattern) + "/";
    for (const char* d : {"install", "folders/outbox", "run", "config", "windir"})
        fs::create_directories(root + d);
    fs::permissions(root + "run", fs::perms::owner_all, fs::perm_options::replace);
    const std::string key = "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\";
    auto sz = [](const char* name, const std::string& value) {
        return "\"" + std::string(name) + "\"=\"" + value + "\"\r\n";
    };
    std::ofstream(root + "registry.reg", std::ios::binary)
        << "Windows Registry Editor Version 5.00\r\n\r\n"
        << key << "General]\r\n"
        << sz("WebmailUserName", "jane") << sz("EmailSuffix", "corvinaport.example")
        << sz("ProductName", "Corvinaport") << sz("UserID", "1001") << sz("Gateway", "usa_east")
        << "\r\n"
        << key << "Connection]\r\n"
        << sz("ConnectionType", "") << "\r\n"
        << key << "Directory]\r\n"
        << sz("InstallPath", root + "install/") << sz("LocalFolders", root + "folders/")
        << sz("RmMessages", "http://127.0.0.1:9/relay") << "\r\n";
    setenv("CORVINAPORT_REGISTRY", (root + "registry.reg").c_str(), 1);
    setenv("CORVINAPORT_WINDIR", (root + "windir").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root + "run").c_str(), 1);
    return root;
}

// Seconds from the start of the process to its first paint, which it
// prints as it ends (its end, longer for a program with more to unmap, is
// not part of the start-up).
double Timed(const std::vector<std::string>& args) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) std::exit(1);
    const auto start = bench::Steady::now();
    const pid_t pid = bench::Spawn(args, pipeEnds[1]);
    close(pipeEnds[1]);
    std::string said;
    char buffer[64];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    const long long painted = std::atoll(said.c_str());
    if (pid <= 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0 || painted <= 0) {
        std::fprintf(stderr, "%s did not end well\n", args.back().c_str());
        std::exit(1);
    }
    const auto startNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
    return static_cast<double>(painted - startNs) / 1e9;
}

// Context switches of every thread of the process so far.
long Switches(pid_t pid) {
    long total = 0;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("voluntary_ctxt_switches:") ||
                line.starts_with("nonvoluntary_ctxt_switches:"))
                total += std::atol(line.substr(line.find(':') + 1).c_str());
    }
    return total;
}

// Wake-ups a second of the idle process: from 2 to 8 seconds after its start
// (the caret still blinking), and over the given seconds once the caret has
// come to rest.
std::pair<double, double> IdleWakeups(const std::vector<std::string>& args, int seconds) {
    const pid_t pid = bench::Spawn(args);
    if (pid <= 0) return {-1, -1};
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const long early = Switches(pid);
    std::this_thread::sleep_for(std::chrono::seconds(6));
    const double blinking = static_cast<double>(Switches(pid) - early) / 6;
    std::this_thread::sleep_for(std::chrono::milliseconds(CaretRest::kRestAfterMs - 6000));
    const long before = Switches(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long after = Switches(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return {blinking, static_cast<double>(after - before) / seconds};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string self = fs::canonical("/proc/self/exe").string();
    if (argc == 2 && std::string(argv[1]) == "--wizard") return Wizard(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    const std::string home = MakeHome();
    if (home.empty()) return 1;
    std::vector<double> ours, bare;
    // Each goes first in every other pair: a process started right after
    // another starts slower on this machine.
    for (int r = 0; r < runs; ++r) {
        if (r % 2 == 1) bare.push_back(Timed({CORVINAPORT_BARE_DIALOG}));
        ours.push_back(Timed({self, "--wizard"}));
        if (r % 2 == 0) bare.push_back(Timed({CORVINAPORT_BARE_DIALOG}));
    }
    const double a = bench::Median(ours), b = bench::Median(bare);
    std::printf("platform %s, median of %d runs\n", qgetenv("QT_QPA_PLATFORM").constData(), runs);
    std::printf(
        "start-up to the first page painted: wizard %7.2f ms, bare dialog %7.2f ms, "
        "ratio %.2f\n",
        a * 1e3, b * 1e3, a / b);
    // Each wizard run against the bare run beside it: a machine that slows
    // down for a while slows both of a pair.
    std::vector<double> pairs;
    for (std::size_t r = 0; r < ours.size(); ++r) pairs.push_back(ours[r] / bare[r]);
    std::printf("  median of the %zu paired ratios: %.2f\n", pairs.size(), bench::Median(pairs));
    // The fastest run of each: what each costs when nothing else slows it.
    const double fastOurs = *std::min_element(ours.begin(), ours.end());
    const double fastBare = *std::min_element(bare.begin(), bare.end());
    std::printf("  fastest runs: wizard %.2f ms, bare dialog %.2f ms, ratio %.2f\n", fastOurs * 1e3,
                fastBare * 1e3, fastOurs / fastBare);
    std::printf("  wizard runs:");
    for (double t : ours) std::printf(" %.1f", t * 1e3);
    std::printf("\n  bare runs:  ");
    for (double t : bare) std::printf(" %.1f", t * 1e3);
    std::printf("\n");

    const auto wizard = IdleWakeups({CORVINAPORT_SENDFAX}, seconds);
    const auto dialog = IdleWakeups({CORVINAPORT_BARE_DIALOG, "--idle"}, seconds);
    std::printf(
        "idle wake-ups a second: wizard %.1f (2-8 s after start, caret blinking), "
        "%.1f over %d s with the caret at rest; bare dialog %.1f / %.1f\n",
        wizard.first, wizard.second, seconds, dialog.first, dialog.second);
    fs::remove_all(home);
    return 0;
}
