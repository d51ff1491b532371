// Times MergePages against libtiff's tiffcp on the same files, and one cover
// composition. Usage: merge_bench [runs]

#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "imaging/ImagingLibrary.h"
#include "wizard/FaxJob.h"

namespace {

using Steady = std::chrono::steady_clock;

// A fax page that looks like printed text: rows of word-like black runs.
bool TextLike(int page, int x, int y) {
    const int line = y / 48;
    if (y % 48 >= 30 || x < 120 || x > 1600) return false;
    const int word = (x + line * 37 + page * 11) / 90;
    return (x % 90) < 70 && ((word * 7 + line) % 5 != 0) && ((x / 3 + y / 2) % 4 != 0);
}

bool WritePages(const std::string& path, int pages, int height, bool (*paint)(int, int, int)) {
    TIFF* tif = TIFFOpen(path.c_str(), "wl");
    if (tif == nullptr) return false;
    std::vector<unsigned char> row(1728 / 8);
    for (int p = 0; p < pages; ++p) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1728u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<unsigned>(height));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 196.0);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<unsigned>(height));
        for (int y = 0; y < height; ++y) {
            std::fill(row.begin(), row.end(), 0);
            for (int x = 0; x < 1728; ++x)
                if (paint(p, x, y)) row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            TIFFWriteScanline(tif, row.data(), static_cast<unsigned>(y), 0);
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Seconds(Steady::time_point since) {
    return std::chrono::duration<double>(Steady::now() - since).count();
}

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

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
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
    const std::string document = dir + "document.tif";
    if (!WritePages(cover, 1, 2200, TextLike) || !WritePages(document, 50, 2200, TextLike) ||
        !WritePages(dir + "templates/Template.tif", 1, 2200,
                    [](int, int x, int y) { return x < 1728 && (y == 250 || y == 660); })) {
        std::fprintf(stderr, "cannot write the test files\n");
        return 1;
    }
    std::printf("document: 50 G3 pages, %ju bytes\n",
                static_cast<std::uintmax_t>(std::filesystem::file_size(document)));

    std::vector<double> ours, theirs;
    for (int i = 0; i < runs; ++i) {
        auto start = Steady::now();
        if (!lib.MergePages(cover, document, dir + "ours.tif")) {
            std::fprintf(stderr, "MergePages failed\n");
            return 1;
        }
        ours.push_back(Seconds(start));
        start = Steady::now();
        if (!RunTiffcp(cover, document, dir + "theirs.tif")) {
            std::fprintf(stderr, "tiffcp failed (libtiff-tools installed?)\n");
            return 1;
        }
        theirs.push_back(Seconds(start));
    }
    const unsigned pages = lib.CountImages(dir + "ours.tif");
    const double a = Median(ours) * 1000, b = Median(theirs) * 1000;
    std::printf("MergePages: %.2f ms (median of %d), %u pages\n", a, runs, pages);
    std::printf("tiffcp:     %.2f ms (median of %d, process start included)\n", b, runs);
    std::printf("ratio MergePages / tiffcp: %.2f\n", a / b);

    DirectorySettings directory;
    directory.LocalFolders = dir;
    FaxJob job;
    job.message.pageCount = 50;
    std::vector<double> compose;
    for (int i = 0; i < std::min(runs, 5); ++i) {
        CoverSheetFields fields{"Quorvane Ltd", "Jo Sender", "Quarterly figures",
                                std::string(400, 'w') + "\r\nThanks", ""};
        const auto start = Steady::now();
        if (lib.ComposeCoverSheet(fields, job, directory).empty()) {
            std::fprintf(stderr, "cover composition failed\n");
            return 1;
        }
        compose.push_back(Seconds(start));
    }
    std::printf("cover composition: %.2f ms (median)\n", Median(compose) * 1000);
    std::filesystem::remove_all(dir);
    return pages == 51 ? 0 : 1;
}
