// Times MergePages against libtiff's tiffcp on the same files at 10, 100 and
// 1000 pages, with the fitted growth exponent of each, and one cover
// composition. Usage: merge_bench [runs] [largest page count]

#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "bench/support/FaxPages.h"
#include "bench/support/Growth.h"
#include "bench/support/Process.h"
#include "imaging/ImagingLibrary.h"
#include "wizard/job/FaxJob.h"

int main(int argc, char** argv) {
    const auto [runs, largest] = bench::ReadArguments(argc, argv, 1000, 10);
    char pattern[] = "/tmp/merge-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = std::string(pattern) + "/";
    std::filesystem::create_directories(dir + "templates");
    std::filesystem::create_directories(dir + "outbox");

    ImagingLibrary lib(nullptr);
    if (!lib.Bind()) {
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

    bench::Series ours("MergePages"), theirs("tiffcp (process start included)");
    bool whole = true;
    std::printf("median of %d runs; G3 pages of 1728 x 2200\n", runs);
    for (int pages = 10; pages <= largest; pages *= 10) {
        const std::string document = dir + "document.tif";
        if (!bench::WritePages(document, pages, 2200, bench::TextLike)) {
            std::fprintf(stderr, "cannot write the document\n");
            return 1;
        }
        bool ok = true;
        const double a = bench::MedianSeconds(
            runs, [&] { ok = ok && lib.MergePages(cover, document, dir + "ours.tif"); });
        const double b = bench::MedianSeconds(runs, [&] {
            ok = ok && bench::RunQuietly({"tiffcp", cover, document, dir + "theirs.tif"});
        });
        if (!ok) {
            std::fprintf(stderr, "merge failed at %d pages (tiffcp installed?)\n", pages);
            return 1;
        }
        whole = whole && lib.CountImages(dir + "ours.tif") == static_cast<unsigned>(pages + 1);
        ours.Add(pages, a);
        theirs.Add(pages, b);
        std::printf("%5d pages: MergePages %9.2f ms, tiffcp %9.2f ms, ratio %.2f\n", pages, a * 1e3,
                    b * 1e3, a / b);
    }
    ours.Print();
    theirs.Print();

    DirectorySettings directory;
    directory.LocalFolders = dir;
    FaxJob job;
    job.message.pageCount = 50;
    const double compose = bench::MedianSeconds(runs, [&] {
        CoverSheetFields fields{"Quorvane Ltd", "Jo Sender", "Quarterly figures",
                                std::string(400, 'w') + "\r\nThanks", ""};
        if (lib.ComposeCoverSheet(fields, job, directory).empty()) whole = false;
    });
    std::printf("cover composition: %.2f ms (median)\n", compose * 1e3);
    std::filesystem::remove_all(dir);
    return whole ? 0 : 1;
}
