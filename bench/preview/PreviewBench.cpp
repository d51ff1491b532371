// preview_bench: the page viewer opened on a fax TIFF of 10, 100, 1,000 and
// 3,000 pages until its first page is shown, against tiffinfo reading the
// same file (a process of its own), with the fitted growth exponent of each
// and the longest the event loop is held while the viewer opens.
//
//   preview_bench [runs] [largest]        (defaults 5 and 3000)
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/EventLoopGap.h"
#include "bench/support/FaxPages.h"
#include "bench/support/Growth.h"
#include "bench/support/Process.h"
#include "pages/CPageViewer.h"

namespace {

bool Shown(const CPageViewer& viewer) {
    return !viewer.picture()->pixmap().isNull() && viewer.currentPage() == 0;
}

// Seconds from opening the viewer to its first page shown.
double Open(const std::string& file, bool& ok) {
    std::unique_ptr<CPageViewer> viewer;
    const double t = bench::Seconds([&] {
        viewer = std::make_unique<CPageViewer>(std::vector<std::string>{file});
        viewer->show();
        QCoreApplication::processEvents();
    });
    ok = ok && Shown(*viewer);
    return t;
}

// The longest the event loop is held while the viewer opens and shows a page.
double OpenGap(const std::string& file) {
    std::unique_ptr<CPageViewer> viewer;
    bench::EventLoopGap gap;
    QEventLoop loop;
    gap.Start();
    QTimer::singleShot(5, [&] {
        viewer = std::make_unique<CPageViewer>(std::vector<std::string>{file});
        viewer->show();
    });
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();
    gap.Stop();
    return gap.LongestSeconds();
}

template <class F>
double MedianOf(int runs, F&& f) {
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) times.push_back(f());
    return bench::Median(times);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto [runs, largest] = bench::ReadArguments(argc, argv, 3000, 10);
    char pattern[] = "/tmp/preview-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = std::string(pattern) + "/";

    bench::Series ours("viewer, first page shown"), theirs("  tiffinfo (process)"),
        gap("longest event-loop gap, opening");
    bool ok = true;
    // Once before the series, so that Qt's image plugins are loaded.
    const std::string warm = dir + "warm.tif";
    ok = bench::WritePages(warm, 1, 2200, bench::TextLike);
    (void)Open(warm, ok);
    std::printf("median of %d runs; G3 pages of 1728 x 2200\n", runs);
    for (int pages = 10; pages <= largest; pages = pages == 1000 ? 3000 : pages * 10) {
        const std::string file = dir + "fax.tif";
        if (!bench::WritePages(file, pages, 2200, bench::TextLike)) {
            std::fprintf(stderr, "cannot write the document\n");
            return 1;
        }
        const double a = MedianOf(runs, [&] { return Open(file, ok); });
        const double b = bench::MedianSeconds(runs, [&] {
            ok = bench::RunQuietly({"tiffinfo", file}) && ok;
        });
        const double g = MedianOf(runs, [&] { return OpenGap(file); });
        ours.Add(pages, a);
        theirs.Add(pages, b);
        gap.Add(pages, g);
        std::printf(
            "%5d pages: viewer %8.2f ms, tiffinfo %8.2f ms, ratio %.2f; longest gap %.2f ms\n",
            pages, a * 1e3, b * 1e3, a / b, g * 1e3);
        if (pages == 3000) break;
    }
    if (!ok) {
        std::fprintf(stderr, "a page was not shown, or tiffinfo failed\n");
        return 1;
    }
    ours.Print();
    theirs.Print();
    gap.Print();
    std::filesystem::remove_all(dir);
    return 0;
}
