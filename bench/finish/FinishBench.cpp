// Finish with a printed document and a cover sheet, stored in the outbox, at
// 10, 100, 1000 and 3000 pages: the longest gap between two turns of the
// event loop and the total time, against the gap of a bare event loop
// turning as long and tiffcp of the same pages run as a process; then how
// soon a stop in the middle of the merge takes effect.
// Usage: finish_bench [runs] [largest page count]

#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "app/core/MessageBoxService.h"
#include "app/core/TaskProgress.h"
#include "base/FileReplace.h"
#include "bench/support/EventLoopGap.h"
#include "bench/support/FaxPages.h"
#include "bench/support/Growth.h"
#include "imaging/ImagingLibrary.h"
#include "wizard/job/FaxJob.h"
#include "wizard/job/Outbox.h"
#include "wizard/ui/CMainHostDlg.h"

namespace {

namespace fs = std::filesystem;

struct Boxes final : MessageBoxService {
    MbResult Show(const std::string&, const std::string&, MbButtons buttons, MbIcon) override {
        return buttons == MbButtons::YesNo ? MbResult::Yes : MbResult::Ok;
    }
};

// The progress window as the user meets it, without a window: it keeps the
// loop turning and, when asked, stands for a confirmed stop once stopAt
// pages are merged, timing how long the merge takes to end after it.
class UserAtProgress final : public TaskProgress {
  public:
    UserAtProgress(std::uint32_t stopAt, double& stopSeconds)
        : stopSeconds_(stopSeconds), stopAt_(stopAt) {}
    void SetConfirmPrompt(const std::string&) override {}
    void SetText(const std::string&) override {}
    void SetRange(int, int, int) override {}
    int StepIt() override { return 0; }
    int SetPos(int n) override {
        if (stopAt_ > 0 && !stopped_ && static_cast<std::uint32_t>(n) >= stopAt_) {
            stopped_ = true;
            since_.start();
        }
        return n;
    }
    void PumpMessages(bool) override { QCoreApplication::processEvents(); }
    bool cancelled() const override { return stopped_; }
    void Hide() override {
        if (stopped_ && stopSeconds_ < 0)
            stopSeconds_ = static_cast<double>(since_.nsecsElapsed()) / 1e9;
    }
    void Show() override {}

  private:
    double& stopSeconds_;
    std::uint32_t stopAt_;
    bool stopped_ = false;
    QElapsedTimer since_;
};

bool RunTiffcp(const std::string& a, const std::string& b, const std::string& out) {
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("tiffcp", "tiffcp", a.c_str(), b.c_str(), out.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

struct RunResult {
    double gap = 0, total = 0, stop = -1;
    bool ok = false;
    bool coverApart = false;  // stopped before the merge ended: stored as two documents
};

// One Finish: the wizard filled in (number, cover page, outbox choice), then
// Finish timed from its click until the host has ended.
RunResult FinishOnce(ImagingLibrary& imaging, const std::string& dir, const std::string& print,
                     std::uint32_t stopAt) {
    RunResult result;
    AppSettings settings;
    settings.directory.LocalFolders = dir;
    FaxJob job;
    job.faxNumbersAllowed = 1;
    job.attachMode = 0;
    // As the hand-over leaves it: the print in a staging folder of its own.
    const std::string staged = StagingPath(dir + "outbox/", "print.tif");
    if (staged.empty() || !CopyFileReplacing(print, staged, FileAccess::Private)) return result;
    job.message.documentPath = staged;
    job.message.pageCount = imaging.CountImages(staged);
    Boxes boxes;
    HostEnvironment env{job, settings, imaging, boxes, "", nullptr, nullptr, false, "", 0};
    FinishSteps steps;
    steps.buildRecipientLine = [&job] { return job.BuildRecipientLine(); };
    steps.saveToOutbox = [&](const std::string& folder) {
        return SaveToOutbox(dir, folder, job.message).ok();
    };
    double stopSeconds = -1;
    steps.mergeProgress = [&stopSeconds, stopAt] {
        auto p = std::make_unique<UserAtProgress>(stopAt, stopSeconds);
        return std::unique_ptr<TaskProgress>(std::move(p));
    };
    {
        CMainHostDlg host(env, std::move(steps));
        bench::EventLoopGap gap;
        QElapsedTimer clock;
        QTimer::singleShot(0, [&] {
            host.recipientsPage().numberEdit()->setText(QStringLiteral("5550100"));
            host.sheet().nextButton()->click();
            host.sheet().nextButton()->click();
            host.schedulePage().outboxButton()->click();
            gap.Start();
            clock.start();
            host.sheet().finishButton()->click();
        });
        (void)host.DoModal();
        gap.Stop();
        result.total = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        result.gap = gap.LongestSeconds();
    }
    result.stop = stopSeconds;
    // Stored whole: one fax in the outbox, nothing staged left over.
    int stored = 0;
    for (const auto& e : fs::directory_iterator(dir + "outbox")) {
        if (e.path().filename().string().starts_with(".")) {
            std::fprintf(stderr, "left in the outbox: %s\n", e.path().c_str());
            return result;
        }
        result.coverApart = fs::exists(e.path() / "Cover.tif");
        ++stored;
        fs::remove_all(e.path());
    }
    result.ok = stored == 1;
    return result;
}

// The longest gap of a loop with nothing to do, turning as long as seconds.
double BareLoopGap(double seconds) {
    bench::EventLoopGap gap;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1e3) + 1, &loop, &QEventLoop::quit);
    gap.Start();
    loop.exec();
    gap.Stop();
    return gap.LongestSeconds();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const auto [runs, largest] = bench::ReadArguments(argc, argv, 3000, 10);
    char pattern[] = "/tmp/finish-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = std::string(pattern) + "/";
    fs::create_directories(dir + "templates");
    fs::create_directories(dir + "outbox");
    ImagingLibrary imaging(nullptr);
    if (!imaging.Bind()) {
        std::fprintf(stderr, "imaging libraries not found\n");
        return 1;
    }
    const std::string cover = dir + "cover.tif";
    if (!bench::WritePages(cover, 1, 2200, bench::TextLike) ||
        !bench::WritePages(dir + "templates/Template.tif", 1, 2200,
                           [](int, int x, int y) { return x < 1728 && (y == 250 || y == 660); })) {
        std::fprintf(stderr, "cannot write the test files\n");
        return 1;
    }

    bench::Series ourTotal("Finish total"), theirTotal("tiffcp (process start included)"),
        ourGap("Finish longest gap"), bareGap("bare event loop longest gap");
    bool whole = true;
    std::printf("median of %d runs; G3 pages of 1728 x 2200; cover composed, merged, stored\n",
                runs);
    std::vector<int> sizes;
    for (int pages : {10, 100, 1000, 3000})
        if (pages <= largest) sizes.push_back(pages);
    const std::string print = dir + "print.tif";
    for (const int pages : sizes) {
        if (!bench::WritePages(print, pages, 2200, bench::TextLike)) {
            std::fprintf(stderr, "cannot write the document\n");
            return 1;
        }
        std::vector<double> gaps, totals, bare;
        for (int r = 0; r < runs; ++r) {
            const RunResult run = FinishOnce(imaging, dir, print, 0);
            whole = whole && run.ok;
            gaps.push_back(run.gap);
            totals.push_back(run.total);
            bare.push_back(BareLoopGap(run.total));
        }
        bool ok = true;
        const double tiffcp =
            bench::MedianSeconds(runs, [&] { ok = ok && RunTiffcp(cover, print, dir + "t.tif"); });
        if (!ok) {
            std::fprintf(stderr, "tiffcp failed (installed?)\n");
            return 1;
        }
        const double gap = bench::Median(gaps), total = bench::Median(totals),
                     loop = bench::Median(bare);
        ourTotal.Add(pages, total);
        theirTotal.Add(pages, tiffcp);
        ourGap.Add(pages, gap);
        bareGap.Add(pages, loop);
        std::printf(
            "%5d pages: longest gap %7.2f ms (bare loop %5.2f ms); total %9.2f ms, tiffcp %9.2f "
            "ms, ratio %.2f\n",
            pages, gap * 1e3, loop * 1e3, total * 1e3, tiffcp * 1e3, total / tiffcp);
    }
    ourTotal.Print();
    theirTotal.Print();
    ourGap.Print();
    bareGap.Print();

    // A stop half-way through the merge of the largest document.
    std::vector<double> stops, stopGaps;
    int apart = 0;
    for (int r = 0; r < runs; ++r) {
        const RunResult run =
            FinishOnce(imaging, dir, print, static_cast<std::uint32_t>(sizes.back() / 2));
        whole = whole && run.ok && run.stop >= 0;
        apart += run.coverApart;
        stops.push_back(run.stop);
        stopGaps.push_back(run.gap);
    }
    std::printf(
        "stop at page %d of %d: merge ended %.2f ms after the stop (median; %d of %d runs "
        "stopped before the merge ended), longest gap %.2f ms\n",
        sizes.back() / 2, sizes.back(), bench::Median(stops) * 1e3, apart, runs,
        bench::Median(stopGaps) * 1e3);
    fs::remove_all(dir);
    if (!whole) std::fprintf(stderr, "a Finish did not store the fax whole\n");
    return whole ? 0 : 1;
}
