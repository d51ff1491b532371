// cover_bench: the cover sheet composed from the shipped template, with and
// without the shipped logo, against tiffcp copying the template (a process
// of its own), several runs each; the first composition of the process is
// shown apart, as it starts the font engine.
//
//   cover_bench [runs]        (default 15)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "base/FileReplace.h"
#include "bench/support/Growth.h"
#include "bench/support/Process.h"
#include "imaging/ImagingLibrary.h"
#include "wizard/job/FaxJob.h"

namespace {

namespace fs = std::filesystem;

void Runs(const char* name, const std::vector<double>& times, double reference) {
    std::printf("%-28s median %7.2f ms, ratio %.2f; runs:", name, bench::Median(times) * 1e3,
                bench::Median(times) / reference);
    for (double t : times) std::printf(" %.1f", t * 1e3);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    char pattern[] = "/tmp/cover-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = std::string(pattern) + "/";
    fs::create_directories(dir + "templates");
    fs::create_directories(dir + "outbox");
    const std::string artwork = CORVINAPORT_COVER_DIR;
    fs::copy_file(artwork + "/Template.tif", dir + "templates/Template.tif");
    const std::string logo = artwork + "/Orvelle.bmp";

    ImagingLibrary lib(nullptr);
    if (!lib.Bind()) {
        std::fprintf(stderr, "imaging libraries not found\n");
        return 1;
    }
    DirectorySettings directory;
    directory.LocalFolders = dir;
    FaxJob job;
    job.message.pageCount = 3;
    auto recipient = std::make_unique<Recipient>();
    recipient->name = "Ann Lee";
    recipient->faxNumber = "12125550100";
    job.RecipientList.push_back(std::move(recipient));
    bool ok = true;
    auto compose = [&](const std::string& logoPath) {
        CoverSheetFields fields{"Quorvane Ltd", "Jo Sender", "Quarterly figures",
                                "The figures follow.\r\nThanks", logoPath};
        const std::string made = lib.ComposeCoverSheet(fields, job, directory);
        if (made.empty()) ok = false;
        RemoveStaged(made);
    };

    const double first = bench::Seconds([&] { compose(logo); });
    std::vector<double> withLogo, without, tiffcp;
    for (int r = 0; r < runs; ++r) {
        withLogo.push_back(bench::Seconds([&] { compose(logo); }));
        without.push_back(bench::Seconds([&] { compose({}); }));
        tiffcp.push_back(bench::Seconds([&] {
            ok = bench::RunQuietly({"tiffcp", dir + "templates/Template.tif", dir + "copy.tif"}) &&
                 ok;
        }));
    }
    if (!ok) {
        std::fprintf(stderr, "a composition or tiffcp failed\n");
        return 1;
    }
    const double reference = bench::Median(tiffcp);
    std::printf("%d runs; first composition of the process (logo): %.2f ms\n", runs, first * 1e3);
    Runs("cover with the shipped logo", withLogo, reference);
    Runs("cover without a logo", without, reference);
    Runs("tiffcp of the template", tiffcp, reference);
    fs::remove_all(dir);
    return 0;
}
