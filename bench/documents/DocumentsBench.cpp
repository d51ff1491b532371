// Times what the wizard does on its interface thread for a fax of many
// documents: attaching them, counting their pages for the cover, the
// preview, staging each and storing the fax. Every figure is one wait of the
// interface, the time between two chances to paint and answer input.
// Usage: documents_bench [documents] [pages]   (20 and 50 by default)

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/Clock.h"
#include "bench/support/FaxPages.h"
#include "pages/CAttachFile.h"
#include "pages/CPageViewer.h"
#include "wizard/job/FaxJob.h"
#include "wizard/job/Outbox.h"

namespace {

double Ms(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

struct Waits {
    double longest = 0;
    void Add(const char* what, double ms) {
        std::printf("  %-44s %9.1f ms\n", what, ms);
        longest = std::max(longest, ms);
    }
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int documents = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int pages = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    char pattern[] = "/tmp/documents-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = std::string(pattern) + "/";
    std::vector<std::string> files;
    std::uintmax_t bytes = 0;
    for (int i = 0; i < documents; ++i) {
        files.push_back(dir + "document-" + std::to_string(i + 1) + ".tif");
        if (!bench::WritePages(files.back(), pages, 2200, bench::TextLike)) {
            std::fprintf(stderr, "cannot write %s\n", files.back().c_str());
            return 1;
        }
        bytes += std::filesystem::file_size(files.back());
    }
    std::printf("%d documents of %d G3 pages of 1728 x 2200 (%.1f MB in all)\n", documents, pages,
                static_cast<double>(bytes) / 1e6);

    Waits waits;
    QElapsedTimer t;
    FaxJob job;
    CAttachFile page(job);
    page.EnsureInitialized();
    t.start();
    (void)page.AddFiles(files);
    waits.Add("attach every document (one drop)", Ms(t));
    page.coverCheck()->setChecked(true);
    t.start();
    (void)page.OnWizardNext();
    waits.Add("count the pages for the cover", Ms(t));
    if (job.message.pageCount != static_cast<std::uint32_t>(documents * pages))
        std::fprintf(stderr, "counted %u pages\n", job.message.pageCount);

    t.start();
    {
        CPageViewer viewer(files);
        waits.Add("open the preview on its first page", Ms(t));
        t.start();
        viewer.ShowPage(viewer.pages().count() - 1);
        waits.Add("show the last page", Ms(t));
        t.start();
    }
    waits.Add("close the preview", Ms(t));

    const std::string folders = dir + "folders/";
    std::filesystem::create_directories(folders + "outbox");
    FaxMessage message;
    message.to = "\"Fax Recipient\" <5551234>";
    const std::vector<std::string> names = DistinctFileNames(files);
    double longestStage = 0, allStaging = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        t.start();
        message.documentPaths.push_back(StageAttachment(folders, files[i], names[i]));
        longestStage = std::max(longestStage, Ms(t));
        allStaging += Ms(t);
    }
    message.documentPath = message.documentPaths.front();
    waits.Add("stage one document (the longest)", longestStage);
    std::printf("  %-44s %9.1f ms\n", "(staging all of them)", allStaging);
    // Storing lets the wizard's window answer after every document copied.
    double longestStore = 0;
    QElapsedTimer all;
    all.start();
    t.start();
    const auto gap = [&] {
        longestStore = std::max(longestStore, Ms(t));
        t.start();
    };
    const bool stored =
        SaveToOutbox(folders, "outbox", message, DefaultClock(), kFaxGatewayDomain, nullptr, gap)
            .ok();
    gap();
    waits.Add("store the fax: the longest stretch", longestStore);
    std::printf("  %-44s %9.1f ms\n", "(storing all of it)", Ms(all));

    std::printf("longest wait of the interface: %.1f ms (%s 100 ms)\n", waits.longest,
                waits.longest < 100 ? "under" : "NOT under");
    std::filesystem::remove_all(dir);
    return stored && waits.longest < 100 ? 0 : 1;
}
